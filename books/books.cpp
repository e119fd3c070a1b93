#include "books/books.h"
#include "books/listprint.h"
#include "core/schema/schema.h"
#include "core/store/storeerror.h"
#include "core/ui/commands.h"
#include "core/ui/buttonkeys.h"
#include "core/ui/codeedit.h"
#include "core/ui/dbedit.h"
#include "core/ui/dblookupcombo.h"
#include "core/ui/icons.h"
#include "core/ui/messagebox.h"

#include <QAction>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace books {

namespace {

using ui::toolIcon;

} // namespace

// ---------------------------------------------------------------- the dialog

TBookEditForm::TBookEditForm(const BookDef& def, dm::TDataBase1& db, QWidget* parent)
    : QDialog(parent, Qt::Tool), def_(def), db_(db)
{
    setObjectName(QString::fromLatin1(def.editName));
    setWindowTitle(QStringLiteral("Добавление/изменение"));
    setModal(true);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    store::Table& t = table();
    bound_.reserve(def.fields.size());
    for (const EditFieldDef& f : def.fields) {
        Bound b{&f, nullptr};
        switch (f.kind) {
        case EditFieldDef::OrgCode:
        case EditFieldDef::LawCode: {
            TOrgEdit* e = f.kind == EditFieldDef::OrgCode ? TOrgEdit::createOrganization() : TOrgEdit::createPurpose();
            b.code = e;
            b.widget = e;
            break;
        }
        case EditFieldDef::CbcCode: {
            TCBCEdit* e = TCBCEdit::createCode();
            b.code = e;
            // The five segment captions over the segments.
            QWidget* box = captionedCode(e);
            b.widget = e;
            b.row = box;
            break;
        }
        case EditFieldDef::Text: {
            auto* e = new ui::DBEdit;
            e->setField(&t, QString::fromLatin1(f.field));
            int size = f.maxLength;
            if (size <= 0)
                if (store::Field* fd = t.findField(QString::fromLatin1(f.field)))
                    size = fd->size();
            if (size > 0)
                e->setMaxLength(size);
            b.edit = e;
            b.widget = e;
            break;
        }
        }
        b.widget->setObjectName(QString::fromLatin1(f.control));
        if (b.code) {
            TSegmentedEdit* e = b.code;
            const char* field = f.field;
            connect(e, &TSegmentedEdit::changed, this, [this, e, field] { writeCode(e, field); });
        }
        if (!b.row) {
            auto* box = new QWidget;
            auto* h = new QHBoxLayout(box);
            h->setContentsMargins(0, 0, 0, 0);
            h->setSpacing(4);
            h->addWidget(b.widget, b.edit ? 1 : 0);
            if (!b.edit)
                h->addStretch();
            b.row = box;
        }
        form->addRow(f.label && *f.label ? QString::fromUtf8(f.label) : QString(), b.row);
        if (QString::fromLatin1(f.field).compare(QString::fromLatin1(def.codeField), Qt::CaseInsensitive) == 0)
            code_ = b.widget;
        bound_.push_back(b);
    }

    OkButton = new QPushButton(QStringLiteral("&ОК"));
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("О&тмена"));
    CancelButton->setObjectName("CancelButton");
    connect(OkButton, &QPushButton::clicked, this, &TBookEditForm::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TBookEditForm::CancelButtonClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(buttons);
    resize(520, sizeHint().height());

    // Tab order: the fields in their order, the segments of a code edit one
    // after another, then the buttons.
    QWidget* prev = nullptr;
    auto chain = [&prev](QWidget* w) {
        if (prev)
            QWidget::setTabOrder(prev, w);
        prev = w;
    };
    for (const Bound& b : bound_) {
        if (b.code)
            for (int k = 1; k <= b.code->segmentCount(); ++k)
                chain(b.code->segment(k));
        else
            chain(b.widget);
    }
    chain(OkButton);
    chain(CancelButton);
    ui::installButtonKeys(this);
}

QWidget* TBookEditForm::control(const QString& name) const
{
    for (const Bound& b : bound_)
        if (b.widget->objectName() == name)
            return b.widget;
    return findChild<QWidget*>(name);
}

void TBookEditForm::addBeside(const QString& name, QWidget* w)
{
    for (const Bound& b : bound_) {
        if (b.widget->objectName() != name)
            continue;
        // The control's own line: the one holding it.
        QWidget* p = b.widget->parentWidget();
        for (QHBoxLayout* h : p->findChildren<QHBoxLayout*>()) {
            if (h->indexOf(b.widget) >= 0) {
                h->insertWidget(h->indexOf(b.widget) + 1, w);
                break;
            }
        }
        QWidget::setTabOrder(b.code ? b.code->segment(b.code->segmentCount()) : b.widget, w);
        return;
    }
}

void TBookEditForm::writeCode(TSegmentedEdit* edit, const char* field)
{
    store::Table& t = table();
    if (!t.isOpen() || (t.state() != store::TableState::Edit && t.state() != store::TableState::Insert))
        return;
    try {
        t.fieldByName(QString::fromLatin1(field)).setAsString(edit->text());
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

void TBookEditForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TBookEditForm::FormActivate()
{
    store::Table& t = table();
    closing_ = false;
    // The stored codes of the pending row into the code edits.
    for (const Bound& b : bound_) {
        if (b.code && t.isOpen())
            b.code->setText(t.fieldByName(QString::fromLatin1(b.def->field)).asString());
        if (b.edit)
            b.edit->reload();
    }
    if (code_) {
        if (auto* s = qobject_cast<TSegmentedEdit*>(code_))
            s->segment(1)->setFocus(Qt::OtherFocusReason);
        else
            code_->setFocus(Qt::OtherFocusReason);
    }
}

void TBookEditForm::OkButtonClick()
{
    store::Table& t = table();
    closing_ = true;
    try {
        t.post();
    } catch (const std::exception& e) {
        const QString err = store::errorText(e);
        QString prefix;
        bool silent = false;
        if (err == QLatin1String(schema::KeyViolation)) {
            prefix = QString::fromUtf8(def_.keyText);
        } else if (err == QLatin1String(schema::LookupViolation) && def_.lookup != LookupReport::AsOther) {
            if (def_.lookup == LookupReport::Silent)
                silent = true;
            else
                prefix = QString::fromUtf8(def_.lookupText);
        } else {
            prefix = QString::fromUtf8(def_.postOtherText);
        }
        if (!silent)
            ui::message(prefix + err);
        try {
            t.cancel();
        } catch (const std::exception&) {
        }
    }
    QDialog::accept();
}

void TBookEditForm::CancelButtonClick()
{
    store::Table& t = table();
    closing_ = true;
    if (t.isOpen())
        t.cancel();
    QDialog::reject();
}

void TBookEditForm::reject()
{
    // Esc and the frame's close box cancel the pending row as Cancel does.
    if (closing_) {
        QDialog::reject();
        return;
    }
    CancelButtonClick();
}

// ---------------------------------------------------------------- organizations dialog

TEditOrgForm::TEditOrgForm(dm::TDataBase1& db, QWidget* parent) : TBookEditForm(organizationsBook(), db, parent)
{
    CBCBrowse = new QPushButton(QStringLiteral(". . ."));
    CBCBrowse->setObjectName("CBCBrowse");
    CBCBrowse->setToolTip(QStringLiteral("Выбрать КБК из справочника"));
    CBCBrowse->setFixedWidth(30);
    connect(CBCBrowse, &QPushButton::clicked, this, &TEditOrgForm::CBCBrowseClick);
    addBeside(QStringLiteral("CBCEditField"), CBCBrowse);
    ui::installButtonKeys(this);
}

void TEditOrgForm::CBCBrowseClick()
{
    if (!codes_)
        return;
    if (const std::optional<QString> code = codes_->choose())
        if (auto* e = qobject_cast<TSegmentedEdit*>(control(QStringLiteral("CBCEditField"))))
            e->setText(*code);   // writes org_spr.Cbc as it changes
}

// ---------------------------------------------------------------- the list

TBookSelectForm::TBookSelectForm(const BookDef& def, dm::TDataBase1& db, QWidget* parent)
    : QDialog(parent, Qt::Tool), def_(def), db_(db)
{
    setObjectName(QString::fromLatin1(def.listName));
    setWindowTitle(QString::fromUtf8(def.caption));
    setWindowIcon(ui::icon(def.image));
    setModal(true);
    store::Table& t = table();

    ToolBar1 = new QToolBar;
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setIconSize(QSize(ui::ImageSize, ui::ImageSize));
    AddButton = toolButton(def.addButton, QStringLiteral("Добавить"), toolIcon('+'), &TBookSelectForm::AddButtonClick);
    EditButton = toolButton(def.editButton, QStringLiteral("Изменить"), toolIcon('e'), &TBookSelectForm::EditButtonClick);
    DeleteButton =
        toolButton(def.deleteButton, QStringLiteral("Удалить"), toolIcon('x'), &TBookSelectForm::DeleteButtonClick);
    PrintButton = nullptr;
    if (def.printButton) {
        ToolBar1->addSeparator();
        PrintButton = toolButton(def.printButton, QString::fromUtf8(def.printHint), toolIcon('p'),
                                 &TBookSelectForm::PrintButtonClick);
    }

    const QString hint = QStringLiteral("Используйте для быстрого поиска");
    RxDBLookupCombo1 = new ui::DBLookupCombo;
    RxDBLookupCombo1->setObjectName("RxDBLookupCombo1");
    RxDBLookupCombo1->setTable(&t, QString::fromLatin1(def.searchKeyField));
    RxDBLookupCombo2 = new ui::DBLookupCombo;
    RxDBLookupCombo2->setObjectName("RxDBLookupCombo2");
    RxDBLookupCombo2->setTable(&t, QString::fromLatin1(def.searchNameField));
    for (ui::DBLookupCombo* c : {RxDBLookupCombo1, RxDBLookupCombo2}) {
        c->setToolTip(hint);
        c->setDropDownRows(8);
    }
    RxDBLookupCombo1->setFixedWidth(170);
    auto* search = new QHBoxLayout;
    search->addWidget(RxDBLookupCombo1);
    search->addWidget(RxDBLookupCombo2, 1);

    Grid = new ui::DBGrid;
    Grid->setObjectName(QString::fromLatin1(def.gridName));
    Grid->setTable(&t);
    Grid->setColumns(def.columns);
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    if (def.groupLength > 0)
        Grid->setCellColorHook([this](store::Table& tt, const QString& f) { return cellColor(tt, f); });
    Grid->setKeyFilter([this](QKeyEvent* e) { return gridKey(e); });
    // A double-click on a row is OK (watched on the viewport: the grid may
    // rebuild its rows between the press and the second click).
    Grid->viewport()->installEventFilter(this);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    auto menuItem = [this](const char* name, const QString& text, QKeySequence key, void (TBookSelectForm::*h)()) {
        QAction* a = PopupMenu1->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WidgetShortcut);   // the grid's own keys do the work outside the menu
            a->setShortcutVisibleInContextMenu(true);
        }
        connect(a, &QAction::triggered, this, [this, h] { (this->*h)(); });
        return a;
    };
    AddItem = menuItem("AddItem", QStringLiteral("Добавить"), QKeySequence(Qt::Key_Insert), &TBookSelectForm::AddButtonClick);
    EditItem = menuItem("EditItem", QStringLiteral("Изменить"), QKeySequence(), &TBookSelectForm::EditButtonClick);
    DeleteItem =
        menuItem("DeleteItem", QStringLiteral("Удалить"), QKeySequence(Qt::Key_Delete), &TBookSelectForm::DeleteButtonClick);
    Grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->popup(Grid->viewport()->mapToGlobal(p)); });

    OkButton = new QPushButton(QStringLiteral("Выбрать"));
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"));
    CancelButton->setObjectName("CancelButton");
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    auto* status = new QLabel(QStringLiteral("    INS - Добавить        Del - Удалить"));
    status->setObjectName("StatusText");
    StatusBar1->addWidget(status, 1);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 0, 4, 0);
    top->setSpacing(4);
    top->addWidget(ToolBar1);
    top->addLayout(search);
    top->addWidget(Grid, 1);
    top->addLayout(buttons);
    top->addWidget(StatusBar1);
    int w = 40;
    for (const ui::Column& c : def.columns)
        w += c.width;
    resize(std::max(w, 420), 420);
    ui::installButtonKeys(this);
}

QToolButton* TBookSelectForm::toolButton(const char* name, const QString& hint, QIcon icon,
                                         void (TBookSelectForm::*handler)())
{
    auto* a = new QAction(icon, hint, this);
    a->setObjectName(QString::fromLatin1(name) + QStringLiteral("Action"));
    a->setToolTip(hint);
    connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    ToolBar1->addAction(a);
    auto* b = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(a));
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    return b;
}

std::optional<QString> TBookSelectForm::choose()
{
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    store::Table& t = table();
    if (!t.isOpen() || t.isEmpty())
        return std::nullopt;
    return t.fieldByName(QString::fromLatin1(def_.codeField)).asString();
}

void TBookSelectForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    Grid->setFocus(Qt::OtherFocusReason);
}

QColor TBookSelectForm::cellColor(store::Table& t, const QString& field) const
{
    if (def_.groupLength <= 0 || field.compare(QString::fromLatin1(def_.codeField), Qt::CaseInsensitive) != 0)
        return {};
    if (t.fieldByName(field).asString().trimmed().size() == def_.groupLength)
        return def_.groupColor;
    return {};
}

bool TBookSelectForm::gridKey(QKeyEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return false;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    switch (e->key()) {
    case Qt::Key_Insert:
        if (mods == Qt::NoModifier) {
            AddButtonClick();
            return true;
        }
        break;
    case Qt::Key_Delete:
        if (mods == Qt::NoModifier) {
            DeleteButtonClick();
            return true;
        }
        if (mods == Qt::ControlModifier) {
            GridCtrlDelete();
            return true;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    default:
        break;
    }
    return false;
}

void TBookSelectForm::AddButtonClick()
{
    store::Table& t = table();
    if (!editForm_)
        return;
    t.append();
    editForm_->exec();
}

void TBookSelectForm::EditButtonClick()
{
    store::Table& t = table();
    if (!editForm_)
        return;
    // An empty book starts a new row, as Add does.
    if (t.isEmpty())
        t.append();
    else
        t.edit();
    editForm_->exec();
}

void TBookSelectForm::DeleteButtonClick()
{
    store::Table& t = table();
    if (!t.isOpen() || t.isEmpty())
        return;
    try {
        t.remove();
    } catch (const std::exception& e) {
        const QString err = store::errorText(e);
        const char* prefix = err == QLatin1String(schema::MasterHasDetails) ? def_.detailText : def_.deleteOtherText;
        ui::message(QString::fromUtf8(prefix) + err);
        t.cancel();
    }
}

void TBookSelectForm::GridCtrlDelete()
{
    store::Table& t = table();
    if (!t.isOpen() || t.isEmpty())
        return;
    if (!ui::confirm(QStringLiteral("Delete record?")))
        return;
    try {
        t.remove();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        t.cancel();
    }
}

void TBookSelectForm::PrintButtonClick()
{
    if (print_)
        print_->Run(this);
}

void TBookSelectForm::GridDblClick() { accept(); }

bool TBookSelectForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Grid->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && Grid->indexAt(me->position().toPoint()).isValid()) {
            GridDblClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace books
