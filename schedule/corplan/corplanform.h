#pragma once
// The correction notices of the spending schedule (TCorPlanForm): the
// notices of one account listed, entered and deleted. While the window is
// open corPln is a detail of t1 and holds the current account's notices.
#include "core/datamodule/datamodule.h"

#include <QDialog>

class QLabel;
class QPushButton;
class TCBCEdit;
class TOrgEdit;

namespace accounts {
class TLichSprForm;
}
namespace books {
class TBookSelectForm;
}
namespace ui {
class AmountEdit;
class DateEdit;
class DBGrid;
class DBLookupCombo;
class IntSpinEdit;
}

namespace schedule {

class TCorPlanForm : public QDialog {
    Q_OBJECT
public:
    explicit TCorPlanForm(dm::TDataBase1& db, QWidget* parent = nullptr);

    void setPickers(accounts::TLichSprForm* accounts, books::TBookSelectForm* orgs, books::TBookSelectForm* codes);

    ui::DBLookupCombo* FaceBillRxDBLookupCombo;
    QPushButton* FaceBillBrowseButton;
    ui::DBLookupCombo* OrgRxDBLookupCombo1;
    ui::DBLookupCombo* NumRxDBLookupCombo;
    ui::DBLookupCombo* AbsNumRxDBLookupCombo;
    ui::DBGrid* CorDBGrid;
    QPushButton* DeleteCorRowBtn;
    TOrgEdit* OrgEdit;
    QPushButton* ORGBrowseButton;
    ui::IntSpinEdit* NumEdit;
    ui::DateEdit* CorDateEdit;
    TCBCEdit* CBCEdit;
    QPushButton* CBCBrowseBtn;
    ui::AmountEdit* Sum1Edit;
    ui::AmountEdit* Sum2Edit;
    ui::AmountEdit* Sum3Edit;
    ui::AmountEdit* Sum4Edit;
    QPushButton* AddCorBtn;
    QLabel* HintLabel;
    QPushButton* CloseButton;

    // Called by the main window before it shows the window.
    void EnableReference();
    void AddCorBtnClick();
    void DeleteCorRowBtnClick();
    void CorDBGridCellClick();
    void CBCBrowseBtnClick();
    void ORGBrowseButtonClick();
    void FaceBillBrowseButtonClick();
    void CloseButtonClick();
    void DisableReference();

    void done(int result) override;   // every way of closing: FormCloseQuery

private:
    bool gridKey(QKeyEvent* e);

    dm::TDataBase1& db_;
    accounts::TLichSprForm* accounts_ = nullptr;
    books::TBookSelectForm* orgs_ = nullptr;
    books::TBookSelectForm* codes_ = nullptr;
};

} // namespace schedule
