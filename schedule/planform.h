#pragma once
// The approved spending schedule of one account: the window that shows and
// edits it (TPlanSelectForm) and the dialog of one row (TEditPlanForm). Both
// work on the data module's planTbl, linked to the current account of t1
// while the window is open.
#include "core/datamodule/datamodule.h"

#include <QDate>
#include <QDialog>
#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QToolBar;
class QToolButton;
class TOrgEdit;
class TCBCEdit;

namespace books {
class TBookSelectForm;
}
namespace accounts {
class TLichSprForm;
}
namespace ui {
class DBEdit;
class DBGrid;
class DBLookupCombo;
}

namespace schedule {

// A schedule row added or changed: the codes and the four quarters of the
// pending row of planTbl. OK posts it, Cancel (Esc, the close box) cancels it.
class TEditPlanForm : public QDialog {
    Q_OBJECT
public:
    explicit TEditPlanForm(dm::TDataBase1& db, QWidget* parent = nullptr);

    void setPickers(books::TBookSelectForm* orgs, books::TBookSelectForm* codes)
    {
        orgs_ = orgs;
        codes_ = codes;
    }

    TOrgEdit* OrgEditField;
    QPushButton* ORGBrowseButton;
    TCBCEdit* CBCEditField;
    QPushButton* CBCBrowse;
    ui::DBEdit* Sum1Edit;
    ui::DBEdit* Sum2Edit;
    ui::DBEdit* Sum3Edit;
    ui::DBEdit* Sum4Edit;
    ui::DBEdit* SumAllEdit;
    ui::DBEdit* RefEditDB;    // hidden: planTbl.Org
    ui::DBEdit* CDCDBEdit;    // hidden: planTbl.Cbc
    QPushButton* OkButton;
    QPushButton* CancelButton;

    void FormActivate();
    void OrgEditFieldChange();
    void CBCEditFieldChange();
    void ORGBrowseButtonClick();
    void CBCBrowseClick();
    void OkButtonClick();
    void CancelButtonClick();

    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    dm::TDataBase1& db_;
    books::TBookSelectForm* orgs_ = nullptr;
    books::TBookSelectForm* codes_ = nullptr;
    bool closing_ = false;
};

// The schedule of the account chosen in "Лиц. счет:".
class TPlanSelectForm : public QDialog {
    Q_OBJECT
public:
    explicit TPlanSelectForm(dm::TDataBase1& db, QWidget* parent = nullptr);

    void setRowDialog(TEditPlanForm* f) { dialog_ = f; }
    void setAccountPicker(accounts::TLichSprForm* f) { accounts_ = f; }
    // The print of the shown schedule; run by PrintButton.
    void setPrint(std::function<void(QWidget*)> p) { print_ = std::move(p); }

    QToolBar* ToolBar1;
    QToolButton* AddPlanButton;
    QToolButton* EditPlanButton;
    QToolButton* DeletePlanButton;
    QToolButton* PrintButton;
    ui::DBLookupCombo* FaceBillRxDBLookupCombo;
    QPushButton* FaceBillBrowseButton;
    ui::DBEdit* DBCBCInfo;
    ui::DBLookupCombo* RxDBLookupCombo1;   // quick search by Org
    ui::DBLookupCombo* RxDBLookupCombo2;   // quick search by Cbc
    ui::DBGrid* PlanRxDBGrid;
    QPushButton* ChangeButton;
    QPushButton* CancelButton;
    QWidget* InfoBox;
    QLineEdit *PlView1, *PlView2, *PlView3, *PlView4;
    QLineEdit *RView1, *RView2, *RView3, *RView4;
    QLineEdit *OstView1, *OstView2, *OstView3, *OstView4;
    QStatusBar* StatusBar1;
    QMenu* PopupMenu1;
    QAction *AddMenu, *EditMenu, *DelMenu, *CalcItog1;

    void EnableReference();
    void DisableReference();
    void ClearItog();
    void AddPlanButtonClick();
    void EditPlanButtonClick();
    void DeletePlanButtonClick();
    void ChangeButtonClick() { EditPlanButtonClick(); }
    void PlanRxDBGridDblClick() { EditPlanButtonClick(); }
    void PlanRxDBGridCellClick() { ClearItog(); }
    void FormDblClick() { done(QDialog::Accepted); }
    void CalcItog1Click() { CalcItog(); }
    void CalcItog();
    double CalcSumTable();
    bool FilterT2_2(store::Table& t) const;
    void PrintButtonClick();
    void FaceBillBrowseButtonClick();
    bool FormCloseQuery();

    // Position by position over the value: "*" accepts any character, a
    // position beyond the pattern counts as a blank.
    static bool matches(const QString& value, const QString& pattern);

protected:
    void done(int r) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    dm::TDataBase1& db_;
    TEditPlanForm* dialog_ = nullptr;
    accounts::TLichSprForm* accounts_ = nullptr;
    std::function<void(QWidget*)> print_;
    // The totals' filter of t2_2.
    QString orgPattern_, cbcPattern_, account_;
    QDate from_, to_;
};

} // namespace schedule
