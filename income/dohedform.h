#pragma once
// TDohEdForm, "Приход/расход": the receipts (DIn) and the expenses (DOut)
// of the current organization of DOrg, an entry line for each side, and the
// organization's totals, which the window recounts from the stored entries
// after every add and delete. Entries are not changed in place: a wrong one
// is deleted and entered again.
//
// The two sides are one design: a Side names the controls and the table of
// either, and every handler of a side is a call of the same code.
#include "core/datamodule/datamodule.h"

#include <QDialog>
#include <memory>

class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace books {
class TBookSelectForm;
}
namespace ui {
class AmountEdit;
class DateEdit;
class DBGrid;
class DBText;
}

namespace income {

class TDohEdForm : public QDialog {
    Q_OBJECT
public:
    explicit TDohEdForm(dm::TDataBase1& db, QWidget* parent = nullptr);
    ~TDohEdForm() override;

    // The kinds book, shown by either ". . ." button.
    void setKindsPicker(books::TBookSelectForm* f) { kinds_ = f; }
    // Focused when the window is left by "ОК" (the list's grid).
    void setReturnFocus(QWidget* w) { returnFocus_ = w; }

    ui::DBText* DBOrgNameText;   // DOrg.Name

    QGroupBox* InGroupBox;
    ui::DBGrid* InDBGrid;
    ui::AmountEdit* InAmountEdit;
    ui::DateEdit* InDateEdit;
    QLineEdit* InNoteEdit;
    QLineEdit* InSumType;
    QPushButton* InSumTypeBrowse;
    QPushButton* InOkBtn;        // add
    QPushButton* InCancelBtn;    // delete
    ui::DBText* DBText2;         // DOrg.InSum

    QGroupBox* OutGroupBox;
    ui::DBGrid* OutDBGrid;
    ui::AmountEdit* OutAmountEdit;
    ui::DateEdit* OutDateEdit;
    QLineEdit* OutNoteEdit;
    QLineEdit* OutSumType;
    QPushButton* OutSumTypeBrowse;
    QPushButton* OutOkBtn;
    QPushButton* OutCancelBtn;
    ui::DBText* DBText3;         // DOrg.OutSum

    ui::DBText* DBText4;         // DOrg.Remainder
    QPushButton* OkButton;       // "ОК", also Esc and the close box

    void FormActivate();
    void FormDeactivate();
    void InAmountEditChange();
    void OutAmountEditChange();
    // Keys in the style of the window's handlers: setting `key` to 0
    // discards the key.
    void InAmountEditKeyDown(int& key);
    void InOkBtnClick();
    void OutOkBtnClick();
    void InCancelBtnClick();
    void OutCancelBtnClick();
    void Grid1CalcSum();
    void Grid2CalcSum();
    void InDBGridCellClick();
    void OutDBGridCellClick();
    void InDBGridKeyDown(int& key);
    void OutDBGridKeyDown(int& key);
    void InDBGridKeyUp(int& key);
    void OutDBGridKeyUp(int& key);
    void InSumTypeBrowseClick();
    void OutSumTypeBrowseClick();
    void OkButtonClick();

    void done(int result) override;   // FormDeactivate, however the window closes
    void reject() override;           // Esc and the close box: ОК

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Side;
    QGroupBox* buildSide(Side& s, const QString& prefix, const QString& title, const QString& kindLabel,
                         const QString& kindHint, const QString& totalText);
    bool hasOrganization();
    void amountChange(Side& s);
    void focusAmount(Side& s);
    void post(Side& s);
    void removeRow(Side& s);
    void calcSum(Side& s);
    void copyRow(Side& s);
    void browseKind(Side& s);

    dm::TDataBase1& db_;
    std::unique_ptr<Side> in_, out_;
    books::TBookSelectForm* kinds_ = nullptr;
    QWidget* returnFocus_ = nullptr;
    bool open_ = false;   // between FormActivate and FormDeactivate
};

} // namespace income
