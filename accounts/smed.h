#pragma once
// TSmEd, the ledger of one personal account ("Состояние лицевого счета"):
// the receipts (t2_1) and expenditures (t2_2) of the current row of t1, the
// entry rows that post new ones, and the account's totals, which the window
// recomputes from the stored postings after every posting and deletion.
//
// The two sides are one design: a Side names the controls, the table and
// the texts of either, and every handler of a side is a call of the same
// code with its Side.
#include "core/datamodule/datamodule.h"

#include <QDialog>
#include <QString>
#include <memory>
#include <optional>

class QGroupBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class TCBCEdit;
class TOrgEdit;

namespace books {
class TBookSelectForm;
}

namespace ui {
class AmountEdit;
class DateEdit;
class DBGrid;
class DBText;
}

namespace accounts {

class TSmEd : public QDialog {
    Q_OBJECT
public:
    explicit TSmEd(dm::TDataBase1& db, QWidget* parent = nullptr);
    ~TSmEd() override;

    // The reference-book windows serving as pickers for the browse buttons
    // (organizations, budget classification codes, purposes). A button
    // without its picker does nothing.
    void setPickers(books::TBookSelectForm* org, books::TBookSelectForm* cbc, books::TBookSelectForm* law);

    // --- header
    ui::DBText* FacebillDBText;   // t1.Facebill
    ui::DBText* LawSNameDBText;   // t1.LawSName

    // --- receipts
    QGroupBox* InGroupBox;
    ui::DBGrid* InDBGrid;
    QPushButton* InOkBtn;        // add
    QPushButton* InCancelBtn;    // delete
    ui::AmountEdit* InAmountEdit;
    ui::DateEdit* InDateEdit;
    TCBCEdit* InCBCEditField;
    QPushButton* InCBCBrowse;
    TOrgEdit* InLawEditField;
    QPushButton* InLawBrowse;
    QLabel* InTotalLabel;        // "Итого" over "поступило:"
    ui::DBText* InAmountDBText;  // t1.InAmount

    // --- expenditures
    QGroupBox* OutGroupBox;
    ui::DBGrid* OutDBGrid;
    QPushButton* OutOkBtn;
    QPushButton* OutCancelBtn;
    ui::AmountEdit* OutAmountEdit;
    ui::DateEdit* OutDateEdit;
    TOrgEdit* OutOrgEditField;
    QPushButton* ORGBrowseButton;
    TCBCEdit* OutCBCEditField;
    QPushButton* OutCBCBrowse;
    TOrgEdit* OutLawEditField;
    QPushButton* OutLawBrowse;
    QLabel* OutTotalLabel;        // "Итого" over "израсходовано:"
    ui::DBText* OutAmountDBText;  // t1.OutAmount
    // Under the expenditure's entry row: what is left of the schedule of the
    // typed organization and code up to the end of the typed date's quarter,
    // "План: X  Израсходовано: Y  Остаток:", or "Нет росписи"; the remainder
    // beside it, red when it is below zero after the typed amount.
    QLabel* OutPlanLabel;
    QLabel* OutPlanRemainderLabel;
    void OutPlanLineUpdate();

    // --- footer
    QPushButton* OkButton;          // "ОК", also Esc and the close box
    ui::DBText* RemainderDBText;    // t1.Remainder

    // --- handlers
    void FormActivate();     // the window opens
    void FormDeactivate();   // the window closes
    void InAmountEditChange();
    void OutAmountEditChange();
    // Keys in the style of the window's handlers: setting `key` to 0
    // discards the key.
    void InAmountEditKeyDown(int& key, Qt::KeyboardModifiers shift);
    void InOkBtnClick();
    void OutOkBtnClick();
    void InCancelBtnClick();
    void OutCancelBtnClick();
    void Grid1CalcSum();
    void Grid2CalcSum();
    void InDBGridCellClick();
    void OutDBGridCellClick();
    void InDBGridKeyDown(int& key, Qt::KeyboardModifiers shift);
    void OutDBGridKeyDown(int& key, Qt::KeyboardModifiers shift);
    void InDBGridKeyUp(int& key, Qt::KeyboardModifiers shift);
    void OutDBGridKeyUp(int& key, Qt::KeyboardModifiers shift);
    void InCBCBrowseClick();
    void InLawBrowseClick();
    void OutCBCBrowseClick();
    void OutLawBrowseClick();
    void ORGBrowseButtonClick();
    void OkButtonClick();

    // Closing the window in any way (ОК, Esc, the close box) runs
    // FormDeactivate once.
    void done(int result) override;
    void reject() override;   // Esc and the close box: ОК

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Side;
    QGroupBox* buildSide(Side& s, const QString& prefix, const QString& title, const QString& totalText);
    void chainFocus();
    bool hasAccount();
    void amountChange(Side& s);
    void focusAmount(Side& s);
    void post(Side& s);
    void calcSum(Side& s);
    void removeRow(Side& s);
    void copyRow(Side& s);
    bool gridKey(QKeyEvent* e, void (TSmEd::*down)(int&, Qt::KeyboardModifiers),
                 void (TSmEd::*up)(int&, Qt::KeyboardModifiers));
    std::optional<QString> pick(books::TBookSelectForm* picker, store::Table& book, Side& s, const char* field);
    void browseCode(Side& s);
    void browseLaw(Side& s);

    dm::TDataBase1& db_;
    std::unique_ptr<Side> in_, out_;
    books::TBookSelectForm* orgPicker_ = nullptr;
    books::TBookSelectForm* cbcPicker_ = nullptr;
    books::TBookSelectForm* lawPicker_ = nullptr;
    bool open_ = false;   // between FormActivate and FormDeactivate
};

} // namespace accounts
