#pragma once
// The About window: the version, a moving picture and the link to the
// program's web page.
#include <QDialog>

class QLabel;
class QPushButton;

class TAboutPicture : public QWidget {
    Q_OBJECT
public:
    explicit TAboutPicture(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {96, 96}; }
    int frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void timerEvent(QTimerEvent*) override;

private:
    int frame_ = 0;
    int timer_ = 0;
};

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
    QLabel* VersionLabel;
    QLabel* LinkLabel;
    TAboutPicture* Picture;
    QPushButton* OKButton;
};
