#pragma once
// A date line that may stay empty, with a calendar to drop down (the button
// at its right end, Alt+Down or F4). The text is dd.MM.yyyy; date() reads
// the text as shown, so what the user sees is what the program gets. The
// day, month and year are reached by typing, the arrow keys and the point;
// Tab and Shift+Tab leave the line for the next or previous control wherever
// the cursor stands, as in every other field.
#include <QDate>
#include <QLineEdit>

class QCalendarWidget;
class QFrame;

namespace ui {

class DateEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DateEdit(QWidget* parent = nullptr);
    ~DateEdit() override;

    // The date of the text as shown; a null date when the text is empty or
    // is not a date.
    QDate date() const;
    // A null date empties the text.
    void setDate(const QDate& d);
    void clear() { setDate(QDate()); }
    bool isEmpty() const { return text().trimmed().isEmpty(); }
    // Empty, or a date.
    bool hasValidText() const;

    // Leaving the line with a text that is not a date reports it and keeps
    // the focus (on by default).
    void setCheckOnLeave(bool on) { checkOnLeave_ = on; }
    bool checkOnLeave() const { return checkOnLeave_; }

    void showCalendar();
    void hideCalendar();
    bool isCalendarVisible() const;
    QCalendarWidget* calendar() const { return calendar_; }   // null until first shown

    // The text of a date as typed in a short form ("1.2.04", "01022004"),
    // in dd.MM.yyyy; the text unchanged when it is not a date.
    static QString normalized(const QString& text);

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void pick(const QDate& d);

    QFrame* popup_ = nullptr;
    QCalendarWidget* calendar_ = nullptr;
    bool checkOnLeave_ = true;
    bool reporting_ = false;
};

} // namespace ui
