#pragma once
// The settings dialog: the accounting year, the user name, the name of the
// finance body and the two directories of prog.ini. Its year field is where
// the rest of the program reads the current year.
#include <QDialog>
#include <QSpinBox>
#include <functional>

class QLineEdit;
class QPushButton;
class QGroupBox;

// The year spin edit: four digits; a value beyond 1987..2099 is pulled to the
// nearer bound when the field is left.
class TYearSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TYearSpinEdit(QWidget* parent = nullptr);
    QLineEdit* edit() const { return lineEdit(); }
    // A typed number beyond the bounds is pulled to the nearer one.
    void clampTyped();

protected:
    void focusOutEvent(QFocusEvent* e) override;
    // Up to four digits may be typed freely; the bounds apply on leaving.
    QValidator::State validate(QString& text, int& pos) const override;
};

class TUchFinChForm : public QDialog {
    Q_OBJECT
public:
    explicit TUchFinChForm(QWidget* parent = nullptr);

    // The year shown in the field; a text that is not a number reads as 1987.
    int YearValue() const;

    // The file-open dialog, replaceable in tests: (parent, start directory,
    // filter) -> the chosen file or empty.
    std::function<QString(QWidget*, const QString&, const QString&)> openFileDialog;

    TYearSpinEdit* YearEdit;
    QLineEdit* UserNameEdit;
    QLineEdit* FinUchEdit;
    QLineEdit* DataBasePathEdit;
    QPushButton* BrowseButton;
    QPushButton* OkButton;
    QPushButton* CancelButton;
    QLineEdit* LocalBasePathEdit;
    QPushButton* BrowseButton1;

    void FormCreate();
    void BrowseButtonClick();
    void BrowseButton1Click();
    void OkButtonClick();
    void CancelButtonClick();

private:
    void browse(QLineEdit* edit);
};
