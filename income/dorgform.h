#pragma once
// TDOrgFormSelect, "Доход/расход организаций": the organizations of the
// income accounting (DOrg) with their totals. It adds an organization,
// changes the organization of a row, removes one without entries and opens
// the receipts/expenses of the current one. It never changes a sum.
#include "core/datamodule/datamodule.h"

#include <QDialog>

class QAction;
class QMenu;
class QPushButton;
class QStatusBar;

namespace books {
class TBookSelectForm;
}
namespace ui {
class DBGrid;
class DBLookupCombo;
}

namespace income {

class TDOrgFormSelect : public QDialog {
    Q_OBJECT
public:
    explicit TDOrgFormSelect(dm::TDataBase1& db, QWidget* parent = nullptr);

    // The organizations book, shown by Add and Change.
    void setOrgPicker(books::TBookSelectForm* f) { orgs_ = f; }
    // The receipts/expenses of the current organization, shown by Open.
    void setEntryWindow(QDialog* f) { entries_ = f; }

    ui::DBLookupCombo* RxDBLookupCombo1;   // by code
    ui::DBLookupCombo* RxDBLookupCombo2;   // by name
    ui::DBGrid* RxDBGrid1;
    QPushButton* AddButton;
    QPushButton* ChButton;
    QPushButton* DelButton;
    QPushButton* OpenButton;
    QPushButton* ExitButton;
    QStatusBar* StatusBar1;
    QMenu* PopupMenu1;
    QAction *AddMenu, *EditMenu, *DelMenu;

    void FormActivate();     // the window opens
    void FormDeactivate();   // the window closes
    void AddButtonClick();
    void ChButtonClick();
    void DelButtonClick();
    void OpenButtonClick();
    void RxDBGrid1DblClick();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pickInto();

    dm::TDataBase1& db_;
    books::TBookSelectForm* orgs_ = nullptr;
    QDialog* entries_ = nullptr;
};

} // namespace income
