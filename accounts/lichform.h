#pragma once
// The personal accounts: the list of accounts (TLichForm), the dialog that
// adds or changes one (TLichChForm) and the account picker of the windows
// that need an account (TLichSprForm). All three work on the data module's
// table t1: its current row is the current account for each of them.
#include "core/datamodule/datamodule.h"

#include <QDialog>
#include <optional>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QToolBar;
class QToolButton;
class TOrgEdit;

namespace books {
class TBookSelectForm;
}
namespace ui {
class DBEdit;
class DBGrid;
class DBLookupCombo;
}

namespace accounts {

class TMDForm5;

// The account dialog: the number and the purpose of the current row of t1.
// The row is in edit or insert state while the dialog is shown; OK posts it,
// Cancel (also Esc and the frame's close box) cancels it. The dialog closes
// in every case.
class TLichChForm : public QDialog {
    Q_OBJECT
public:
    explicit TLichChForm(dm::TDataBase1& db, QWidget* parent = nullptr);

    // The purposes book, shown by LawBrowse.
    void setPurposesPicker(books::TBookSelectForm* f) { purposes_ = f; }

    ui::DBEdit* facebillEdit;    // t1.Facebill
    TOrgEdit* LawEditField;      // the purpose code, 2 + 1
    QPushButton* LawBrowse;
    ui::DBEdit* LawDBView;       // law_spr.Sname of the purpose found for the code
    ui::DBEdit* LawDBEdit;       // hidden: t1.LawRef
    QPushButton* OkButton;
    QPushButton* CancelButton;

    void FormActivate();
    void LawEditFieldChange();
    void LawBrowseClick();
    void OkButtonClick();
    void CancelButtonClick();

    void reject() override;   // Esc and the close box: Cancel

protected:
    void showEvent(QShowEvent* e) override;

private:
    dm::TDataBase1& db_;
    books::TBookSelectForm* purposes_ = nullptr;
    bool closing_ = false;
};

// The list of accounts. Opening it re-reads t1 and clears the totals;
// closing it closes and reopens all year tables. The dialog, the picker and
// the ledger shown on top of it count as neither.
class TLichForm : public QDialog {
    Q_OBJECT
public:
    explicit TLichForm(dm::TDataBase1& db, QWidget* parent = nullptr);

    void setAccountDialog(TLichChForm* f) { dialog_ = f; }
    // The ledger of the current account, shown modally by Open.
    void setLedger(QDialog* f) { ledger_ = f; }
    void setPrint(TMDForm5* p) { print_ = p; }

    QToolBar* ToolBar1;
    QToolButton* AddButton;
    QToolButton* EditButton;
    QToolButton* DeleteButton;
    QToolButton* PrintButton;
    QGroupBox* GroupBox1;
    ui::DBLookupCombo* RxDBLookupCombo1;
    ui::DBGrid* LichRxDBGrid;
    QLabel* ItogLabel;           // "Итого (F2):"
    QLineEdit* InAllV;
    QLineEdit* OutAllV;
    QLineEdit* RemainderAllV;
    QPushButton* OpenButton;
    QPushButton* ExitButton;
    QStatusBar* StatusBar1;
    QMenu* PopupMenu1;
    QAction *AddMenu, *EditMenu, *DelMenu, *CalcItogSumMenu;

    void FormActivate();     // the list opens
    void FormDeactivate();   // the list closes
    void AddButtonClick();
    void EditButtonClick();
    void DeleteButtonClick();
    void PrintButtonClick();
    void OpenButtonClick();
    void CalcItogSumMenuClick();
    void clearTotals();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeTotals();

    dm::TDataBase1& db_;
    TLichChForm* dialog_ = nullptr;
    QDialog* ledger_ = nullptr;
    TMDForm5* print_ = nullptr;
    QWidget* totalsRow_ = nullptr;
};

// The account picker: on OK the chosen account is the current row of t1.
// It has no opening or closing actions of its own.
class TLichSprForm : public QDialog {
    Q_OBJECT
public:
    explicit TLichSprForm(dm::TDataBase1& db, QWidget* parent = nullptr);

    void setAccountDialog(TLichChForm* f) { dialog_ = f; }

    // Shows the picker modally with t1 where it stands; the number of the
    // chosen account on OK, nothing on cancel (t1 stays where the user left it).
    std::optional<QString> choose();

    QToolBar* ToolBar1;
    QToolButton* AddOrgButton;
    QToolButton* EditOrgButton;
    QToolButton* DeleteOrgButton;
    ui::DBLookupCombo* RxDBLookupCombo1;
    ui::DBGrid* OrgRxDBGrid;
    QPushButton* OkButton;       // "Выбрать"
    QPushButton* CancelButton;   // "Отмена"
    QStatusBar* StatusBar1;
    QMenu* PopupMenu1;
    QAction *AddMenu, *EditMenu, *DelMenu;

    void AddOrgButtonClick();
    void EditOrgButtonClick();
    void DeleteOrgButtonClick();
    void OrgRxDBGridDblClick();

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    dm::TDataBase1& db_;
    TLichChForm* dialog_ = nullptr;
};

} // namespace accounts
