#pragma once
// The wait window shown while a report fills its work table: a gauge from
// 0 to 100 and a cancel button. It stays on top, is not modal, and only sets
// the program-wide cancel request; the running report closes it.
#include <QDialog>

class QPushButton;

namespace reports {

// A horizontal gauge from 0 to 100 filled in blue with the percentage over
// it. Setting a value only schedules a repaint: the fill loop lets the
// window paint once per row, whatever the number of values given.
class TGauge : public QWidget {
    Q_OBJECT
public:
    explicit TGauge(QWidget* parent = nullptr);
    int value() const { return value_; }
    void setValue(int v);
    QSize sizeHint() const override { return QSize(400, 24); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    int value_ = 0;
};

// The one cancel request of the program: set by the wait window's button,
// cleared whenever the wait window opens, read by the fill loops.
bool cancelRequested();
void setCancelRequested(bool on);

class TWaitForm : public QDialog {
    Q_OBJECT
public:
    explicit TWaitForm(QWidget* parent = nullptr);

    TGauge* Gauge1;
    QPushButton* CBtn;

    void SetProgress(quint8 value);
    int progress() const;
    // Gauge to 0, cancel request cleared.
    void FormActivate();
    // Sets the cancel request; the window stays until the report closes it.
    void CBtnClick();

    // Opens the window over the main window without waiting; its opening
    // is its activation.
    void Show();

    // Every value given to SetProgress since the last Show (tests).
    const QList<int>& progressHistory() const { return history_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    QList<int> history_;
};

} // namespace reports
