#pragma once
// The four reference books: organizations (org_spr), budget classification
// codes (cbc_spr), purposes (law_spr) and income/expense kinds (SumTypeSpr).
// Each book has a list window, which doubles as the picker of every window
// that needs one of its codes, and an add/change dialog. The four pairs are
// one design: TBookSelectForm and TBookEditForm do the work, and a BookDef
// says what differs between the books.
#include "core/datamodule/datamodule.h"
#include "core/store/table.h"
#include "core/ui/dbgrid.h"

#include <QColor>
#include <QDialog>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QToolBar;
class QToolButton;
class TSegmentedEdit;
class TCBCEdit;

namespace ui {
class DBEdit;
class DBLookupCombo;
}

namespace books {

// One field of an add/change dialog, in tab order.
struct EditFieldDef {
    enum Kind {
        OrgCode,   // organization code edit, 3 + 2
        LawCode,   // purpose code edit, 2 + 1
        CbcCode,   // budget classification code edit with its segment captions
        Text,      // a bound edit
    };
    Kind kind;
    const char* label;     // "Код:"; empty for none
    const char* control;   // object name of the control
    const char* field;     // the field of the book it writes
    int maxLength = 0;     // for a bound edit: typed input beyond it is cut; 0: the field's size
};

// How a dialog reports a refused post.
enum class LookupReport {
    Own,       // its own text for the lookup condition
    AsOther,   // the lookup condition is reported as any other error
    Silent,    // no message at all; the row is cancelled
};

// Everything in which the four books differ.
struct BookDef {
    store::Table dm::TDataBase1::*table;   // the data module's table object
    const char* codeField;                 // the code the pickers return
    // The list window.
    const char* listName;        // object name of the list window
    const char* caption;
    const char* addButton;
    const char* editButton;
    const char* deleteButton;
    const char* printButton;     // nullptr: no print button
    const char* printHint;       // hint of the print button (may be empty)
    const char* searchKeyField;  // the two quick-search drop-downs
    const char* searchNameField;
    const char* gridName;
    QList<ui::Column> columns;
    int groupLength = 0;         // a code of exactly this many characters is a group heading
    QColor groupColor;
    // The dialog.
    const char* editName;        // object name of the dialog
    std::vector<EditFieldDef> fields;
    const char* keyText;         // shown before "Key violation."
    LookupReport lookup;
    const char* lookupText;      // with LookupReport::Own
    const char* postOtherText;   // any other refusal of a post
    const char* detailText;      // shown before the referential condition on delete
    const char* deleteOtherText;
    int image;                   // icon of the window
};

const BookDef& organizationsBook();
const BookDef& codesBook();
const BookDef& purposesBook();
const BookDef& kindsBook();

class TBookSelectForm;
class TBookListPrint;

// The add/change dialog of a book. The book's table is in edit or insert
// state while it is shown: OK posts, Cancel (also Esc and the close box)
// cancels; it closes in every case.
class TBookEditForm : public QDialog {
    Q_OBJECT
public:
    TBookEditForm(const BookDef& def, dm::TDataBase1& db, QWidget* parent = nullptr);

    const BookDef& def() const { return def_; }
    store::Table& table() const { return db_.*(def_.table); }

    // The control of a field of the dialog by its object name.
    QWidget* control(const QString& name) const;
    // The code edit that gets the focus on activation (a segmented edit or
    // the bound code edit).
    QWidget* codeControl() const { return code_; }

    QPushButton* OkButton;
    QPushButton* CancelButton;

    void FormActivate();
    void OkButtonClick();
    void CancelButtonClick();

    void reject() override;   // Esc and the close box: Cancel

protected:
    void showEvent(QShowEvent* e) override;
    // Adds a widget to the right of a field's control (the browse button of
    // the organizations dialog).
    void addBeside(const QString& control, QWidget* w);

    const BookDef& def_;
    dm::TDataBase1& db_;

private:
    void writeCode(TSegmentedEdit* edit, const char* field);

    struct Bound {
        const EditFieldDef* def;
        QWidget* widget;   // what the tab order and the layout see
        TSegmentedEdit* code = nullptr;
        ui::DBEdit* edit = nullptr;
        QWidget* row = nullptr;
    };
    std::vector<Bound> bound_;
    QWidget* code_ = nullptr;
    bool closing_ = false;
};

// The list window of a book: maintenance from the main menu, picker for
// every other window (exec() == Accepted: the book's current row is the
// chosen one).
class TBookSelectForm : public QDialog {
    Q_OBJECT
public:
    TBookSelectForm(const BookDef& def, dm::TDataBase1& db, QWidget* parent = nullptr);

    const BookDef& def() const { return def_; }
    store::Table& table() const { return db_.*(def_.table); }

    void setEditForm(TBookEditForm* f) { editForm_ = f; }
    void setListPrint(TBookListPrint* p) { print_ = p; }
    TBookEditForm* editForm() const { return editForm_; }

    // The picker: shows the list modally with the book where it stands;
    // the code of the chosen row on OK, nothing on cancel.
    std::optional<QString> choose();

    QToolBar* ToolBar1;
    QToolButton* AddButton;      // named after the book (AddOrgButton, ...)
    QToolButton* EditButton;
    QToolButton* DeleteButton;
    QToolButton* PrintButton;    // nullptr for the books without a print
    ui::DBLookupCombo* RxDBLookupCombo1;
    ui::DBLookupCombo* RxDBLookupCombo2;
    ui::DBGrid* Grid;            // named after the book (OrgRxDBGrid, ...)
    QPushButton* OkButton;       // "Выбрать"
    QPushButton* CancelButton;   // "Отмена"
    QStatusBar* StatusBar1;
    QMenu* PopupMenu1;
    QAction *AddItem, *EditItem, *DeleteItem;

    void AddButtonClick();
    void EditButtonClick();
    void DeleteButtonClick();
    void PrintButtonClick();   // the book's printed list in the preview
    void GridDblClick();
    // Ctrl+Del in the grid: the grid's own deletion after its question.
    void GridCtrlDelete();

    // The background of a grid cell: the group-heading colour for the code
    // cell of a group heading.
    QColor cellColor(store::Table& t, const QString& field) const;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool gridKey(QKeyEvent* e);
    QToolButton* toolButton(const char* name, const QString& hint, QIcon icon, void (TBookSelectForm::*handler)());

    const BookDef& def_;
    dm::TDataBase1& db_;
    TBookEditForm* editForm_ = nullptr;
    TBookListPrint* print_ = nullptr;
};

// The eight windows under their names.
class TOrgSelectForm : public TBookSelectForm {
    Q_OBJECT
public:
    explicit TOrgSelectForm(dm::TDataBase1& db, QWidget* parent = nullptr)
        : TBookSelectForm(organizationsBook(), db, parent) {}
};
class TCBCSelectForm : public TBookSelectForm {
    Q_OBJECT
public:
    explicit TCBCSelectForm(dm::TDataBase1& db, QWidget* parent = nullptr) : TBookSelectForm(codesBook(), db, parent) {}
};
class TLawSelectForm : public TBookSelectForm {
    Q_OBJECT
public:
    explicit TLawSelectForm(dm::TDataBase1& db, QWidget* parent = nullptr) : TBookSelectForm(purposesBook(), db, parent) {}
};
class TSumTypeSprForm : public TBookSelectForm {
    Q_OBJECT
public:
    explicit TSumTypeSprForm(dm::TDataBase1& db, QWidget* parent = nullptr) : TBookSelectForm(kindsBook(), db, parent) {}
};

// The organizations dialog also picks the organization's code from the
// codes book (CBCBrowse).
class TEditOrgForm : public TBookEditForm {
    Q_OBJECT
public:
    explicit TEditOrgForm(dm::TDataBase1& db, QWidget* parent = nullptr);
    void setCodesPicker(TBookSelectForm* f) { codes_ = f; }

    QPushButton* CBCBrowse;
    void CBCBrowseClick();

private:
    TBookSelectForm* codes_ = nullptr;
};
class TEditCBCForm : public TBookEditForm {
    Q_OBJECT
public:
    explicit TEditCBCForm(dm::TDataBase1& db, QWidget* parent = nullptr) : TBookEditForm(codesBook(), db, parent) {}
};
class TEditLawForm : public TBookEditForm {
    Q_OBJECT
public:
    explicit TEditLawForm(dm::TDataBase1& db, QWidget* parent = nullptr) : TBookEditForm(purposesBook(), db, parent) {}
};
class TSumTypeSprEditForm : public TBookEditForm {
    Q_OBJECT
public:
    explicit TSumTypeSprEditForm(dm::TDataBase1& db, QWidget* parent = nullptr)
        : TBookEditForm(kindsBook(), db, parent) {}
};

} // namespace books
