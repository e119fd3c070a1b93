#include "income/dorgform.h"

#include "books/books.h"
#include "core/schema/schema.h"
#include "core/store/storeerror.h"
#include "core/ui/buttonkeys.h"
#include "core/ui/commands.h"
#include "core/ui/dbgrid.h"
#include "core/ui/dblookupcombo.h"
#include "core/ui/icons.h"
#include "core/ui/messagebox.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>
#include <optional>

namespace income {

namespace {

const QString Here = QStringLiteral("DOrgFormSelect:");
const QString DuplicateText = QStringLiteral("Выбранная организация уже добавлена. ");
const QString DeveloperText = QStringLiteral("Обратитесь к разработчику. ");
const QString EntriesText = QStringLiteral("Удалите, вначале, все начисления по организации, а потом саму организацию. ");
const QString EmptyListText = QStringLiteral("Нет ни одной организации. Добавьте организацию (Ins).");

// The pale background of tips, under the code and the name.
const QColor InfoBackground(255, 255, 225);

ui::DBLookupCombo* quickSearch(store::Table& t, const char* name, const char* field, int width)
{
    auto* c = new ui::DBLookupCombo;
    c->setObjectName(QString::fromLatin1(name));
    c->setTable(&t, QString::fromLatin1(field));
    c->setToolTip(QStringLiteral("Используйте для быстрого поиска"));
    c->setDropDownRows(8);
    c->setFocusPolicy(Qt::ClickFocus);   // not in the Tab chain
    c->setFixedWidth(width);
    return c;
}

void cancelQuietly(store::Table& t)
{
    try {
        if (t.isOpen())
            t.cancel();
    } catch (const std::exception&) {
    }
}

} // namespace

TDOrgFormSelect::TDOrgFormSelect(dm::TDataBase1& db, QWidget* parent) : QDialog(parent, Qt::Tool), db_(db)
{
    setObjectName("DOrgFormSelect");
    setWindowTitle(QStringLiteral("Доход/расход организаций"));
    setWindowIcon(ui::icon(5));
    setModal(true);
    store::Table& t = db.DOrgTable;

    // Wide enough for the code in its shown form ("100-01") beside the arrow.
    RxDBLookupCombo1 = quickSearch(t, "RxDBLookupCombo1", "Org", 76);
    RxDBLookupCombo2 = quickSearch(t, "RxDBLookupCombo2", "Name", 308);

    RxDBGrid1 = new ui::DBGrid;
    RxDBGrid1->setObjectName("RxDBGrid1");
    RxDBGrid1->setTable(&t);
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    RxDBGrid1->setColumns({{QStringLiteral("Org"), QStringLiteral("Код"), 52},
                           {QStringLiteral("Name"), QStringLiteral("Организация"), 308},
                           {QStringLiteral("InSum"), QStringLiteral("Поступило"), 94, right},
                           {QStringLiteral("OutSum"), QStringLiteral("Израсходовано"), 105, right},
                           {QStringLiteral("Remainder"), QStringLiteral("Остаток"), 85, right}});
    RxDBGrid1->setCellColorHook([](store::Table&, const QString& field) {
        return field == QLatin1String("Org") || field == QLatin1String("Name") ? InfoBackground : QColor();
    });
    RxDBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    RxDBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette pal = RxDBGrid1->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    RxDBGrid1->setPalette(pal);
    RxDBGrid1->viewport()->installEventFilter(this);   // double click: Open

    auto button = [](const char* name, const QString& text) {
        auto* b = new QPushButton(text);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    AddButton = button("AddButton", QStringLiteral("Добавить"));
    ChButton = button("ChButton", QStringLiteral("Изменить"));
    DelButton = button("DelButton", QStringLiteral("Удалить"));
    OpenButton = button("OpenButton", QStringLiteral("Открыть"));
    OpenButton->setDefault(true);
    ExitButton = button("ExitButton", QStringLiteral("Выход"));
    connect(AddButton, &QPushButton::clicked, this, &TDOrgFormSelect::AddButtonClick);
    connect(ChButton, &QPushButton::clicked, this, &TDOrgFormSelect::ChButtonClick);
    connect(DelButton, &QPushButton::clicked, this, &TDOrgFormSelect::DelButtonClick);
    connect(OpenButton, &QPushButton::clicked, this, &TDOrgFormSelect::OpenButtonClick);
    connect(ExitButton, &QPushButton::clicked, this, &QDialog::reject);   // Esc as well

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    AddMenu = ui::command(PopupMenu1, this, "AddMenu", QStringLiteral("Добавить"), QKeySequence(Qt::Key_Insert),
                          [this] { AddButtonClick(); });
    EditMenu = ui::command(PopupMenu1, this, "EditMenu", QStringLiteral("Изменить"), {}, [this] { ChButtonClick(); });
    DelMenu = ui::command(PopupMenu1, this, "DelMenu", QStringLiteral("Удалить"), QKeySequence(Qt::Key_Delete),
                          [this] { DelButtonClick(); });
    ui::popupOver(RxDBGrid1, PopupMenu1);

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    auto* status = new QLabel(QStringLiteral("    INS - Добавить        Del - Удалить              ENTER - Открыть "
                                             "состояние лицевого счета             ESC - Выход"));
    status->setObjectName("StatusText");
    StatusBar1->addWidget(status, 1);

    auto* search = new QHBoxLayout;
    search->addWidget(RxDBLookupCombo1);
    search->addWidget(RxDBLookupCombo2);
    search->addStretch();
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {AddButton, ChButton, DelButton})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(OpenButton);
    buttons->addWidget(ExitButton);
    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(6, 6, 6, 0);
    top->setSpacing(4);
    top->addLayout(search);
    top->addWidget(RxDBGrid1, 1);
    top->addLayout(buttons);
    top->addWidget(StatusBar1);

    setTabOrder(RxDBGrid1, AddButton);
    setTabOrder(AddButton, ChButton);
    setTabOrder(ChButton, DelButton);
    setTabOrder(DelButton, OpenButton);
    setTabOrder(OpenButton, ExitButton);
    setFixedSize(720, 419);
    ui::installButtonKeys(this);
}

void TDOrgFormSelect::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    FormActivate();
    if (parentWidget()) {
        const QRect screen = parentWidget()->screen()->availableGeometry();
        move(screen.center() - rect().center());
    }
}

void TDOrgFormSelect::hideEvent(QHideEvent* e)
{
    QDialog::hideEvent(e);
    if (!e->spontaneous())
        FormDeactivate();
}

void TDOrgFormSelect::FormActivate()
{
    try {
        // The organization names are found on the code order of the book.
        db_.Org_Table.setOrder(QStringLiteral("Org"));
        db_.SyncTable(db_.DOrgTable);
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    RxDBGrid1->setFocus(Qt::OtherFocusReason);
}

void TDOrgFormSelect::FormDeactivate()
{
    if (!db_.isOpen())
        return;
    try {
        db_.SyncAllTables();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

// The row of DOrg is inserting or editing; the organization chosen in the
// book becomes its code, or the row is cancelled.
void TDOrgFormSelect::pickInto()
{
    store::Table& t = db_.DOrgTable;
    const std::optional<QString> org = orgs_ ? orgs_->choose() : std::nullopt;
    if (!org) {
        cancelQuietly(t);
        return;
    }
    try {
        t.fieldByName(QStringLiteral("Org")).setAsString(*org);
        t.post();
    } catch (const std::exception& e) {
        const QString err = store::errorText(e);
        if (err == QLatin1String(schema::KeyViolation))
            ui::message(DuplicateText + Here + err);
        else
            ui::message(DeveloperText + Here + err);
        cancelQuietly(t);
    }
}

void TDOrgFormSelect::AddButtonClick()
{
    try {
        db_.DOrgTable.append();
    } catch (const std::exception& e) {
        ui::message(DeveloperText + Here + store::errorText(e));
        RxDBGrid1->setFocus(Qt::OtherFocusReason);
        return;
    }
    pickInto();
    RxDBGrid1->setFocus(Qt::OtherFocusReason);
}

void TDOrgFormSelect::ChButtonClick()
{
    store::Table& t = db_.DOrgTable;
    try {
        // The book opens on the organization of the row.
        if (!t.isEmpty() && db_.Org_Table.isOpen())
            db_.Org_Table.findNearest({t.value(QStringLiteral("Org"))});
        // On an empty list this starts a new row, as Add does.
        if (t.isEmpty())
            t.append();
        else
            t.edit();
    } catch (const std::exception& e) {
        ui::message(DeveloperText + Here + store::errorText(e));
        cancelQuietly(t);
        RxDBGrid1->setFocus(Qt::OtherFocusReason);
        return;
    }
    pickInto();
    RxDBGrid1->setFocus(Qt::OtherFocusReason);
}

void TDOrgFormSelect::DelButtonClick()
{
    store::Table& t = db_.DOrgTable;
    try {
        if (!t.isOpen() || t.isEmpty())
            return;
    } catch (const std::exception&) {
        return;
    }
    store::Table* sides[] = {&db_.DInTable, &db_.DOutTable};
    try {
        // The entries as stored now, the current organization's only.
        bool none = true;
        for (store::Table* s : sides)
            db_.SyncTable(*s);
        for (store::Table* s : sides) {
            s->setOrder(QStringLiteral("Org"));
            s->setMaster(&t, QStringLiteral("Org"), QStringLiteral("Org"));
        }
        for (store::Table* s : sides) {
            s->first();
            none = none && s->eof();
        }
        if (none)
            t.remove();
        else
            ui::message(EntriesText + Here);
    } catch (const std::exception& e) {
        ui::message(DeveloperText + Here + store::errorText(e));
        cancelQuietly(t);
    }
    for (store::Table* s : sides) {
        try {
            s->clearMaster();
        } catch (const std::exception&) {
        }
    }
    RxDBGrid1->setFocus(Qt::OtherFocusReason);
}

void TDOrgFormSelect::OpenButtonClick()
{
    bool empty = true;
    try {
        empty = !db_.DOrgTable.isOpen() || db_.DOrgTable.isEmpty();
    } catch (const std::exception&) {
    }
    if (empty) {
        // The entries belong to an organization; there is none to open.
        ui::message(EmptyListText);
    } else if (entries_) {
        entries_->exec();
    }
    RxDBGrid1->setFocus(Qt::OtherFocusReason);
}

void TDOrgFormSelect::RxDBGrid1DblClick() { OpenButtonClick(); }

bool TDOrgFormSelect::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == RxDBGrid1->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        RxDBGrid1DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace income
