#include "accounts/lichform.h"

#include "books/books.h"
#include "accounts/mdform5.h"
#include "core/schema/schema.h"
#include "core/store/format.h"
#include "core/store/storeerror.h"
#include "core/ui/commands.h"
#include "core/ui/buttonkeys.h"
#include "core/ui/codeedit.h"
#include "core/ui/dbedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/dblookupcombo.h"
#include "core/ui/icons.h"
#include "core/ui/messagebox.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>

namespace accounts {

namespace {

using store::TableState;

using ui::command;
using ui::editing;
using ui::popupOver;
using ui::toolButton;

QToolBar* toolBar()
{
    auto* bar = new QToolBar;
    bar->setObjectName("ToolBar1");
    bar->setIconSize(QSize(ui::ImageSize, ui::ImageSize));
    return bar;
}


// The quick search over the account numbers.
ui::DBLookupCombo* quickSearch(store::Table& t)
{
    auto* c = new ui::DBLookupCombo;
    c->setObjectName("RxDBLookupCombo1");
    c->setTable(&t, QStringLiteral("Facebill"));
    c->setToolTip(QStringLiteral("Используйте для быстрого поиска"));
    c->setDropDownRows(8);
    c->setFocusPolicy(Qt::ClickFocus);   // not in the Tab chain
    c->setFixedWidth(150);
    return c;
}

ui::DBGrid* accountGrid(store::Table& t, const char* name, const QList<ui::Column>& columns)
{
    auto* g = new ui::DBGrid;
    g->setObjectName(QString::fromLatin1(name));
    g->setTable(&t);
    g->setColumns(columns);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The current row stays highlighted when the grid loses the focus.
    QPalette pal = g->palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    g->setPalette(pal);
    return g;
}

QStatusBar* statusBar(const QString& text)
{
    auto* bar = new QStatusBar;
    bar->setObjectName("StatusBar1");
    bar->setSizeGripEnabled(false);
    auto* label = new QLabel(text);
    label->setObjectName("StatusText");
    bar->addWidget(label, 1);
    return bar;
}

// Add, Change and Delete of an account, the same from the list and the picker.
void addAccount(dm::TDataBase1& db, TLichChForm* dialog)
{
    if (!dialog)
        return;
    try {
        db.T1.append();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        return;
    }
    dialog->exec();
}

void changeAccount(TLichChForm* dialog)
{
    // The dialog puts the row into edit mode, or starts a new one in an
    // empty list.
    if (dialog)
        dialog->exec();
}

void deleteAccount(dm::TDataBase1& db)
{
    store::Table& t = db.T1;
    try {
        if (!t.isOpen() || t.isEmpty())
            return;
        t.remove();
    } catch (const std::exception& e) {
        const QString err = store::errorText(e);
        if (err == QLatin1String(schema::MasterHasDetails))
            ui::message(QStringLiteral("Удалите, вначале, все начисления по счету, а потом сам лицевой счет. LichSelect:") + err);
        else
            ui::message(QStringLiteral("Обратитесь к разработчику. LichSelect:") + err);
        try {
            if (t.isOpen())
                t.cancel();
        } catch (const std::exception&) {
        }
    }
}

// A left double-click on the viewport of a grid.
bool isDoubleClick(QEvent* event)
{
    if (event->type() != QEvent::MouseButtonDblClick)
        return false;
    return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
}

} // namespace

// ---------------------------------------------------------------- the account dialog

TLichChForm::TLichChForm(dm::TDataBase1& db, QWidget* parent) : QDialog(parent), db_(db)
{
    setObjectName("LichChForm");
    setWindowTitle(QStringLiteral("Добавление / Изменение лицевого счета"));
    setWindowIcon(ui::icon(ui::ImgAccounts));
    setModal(true);

    facebillEdit = new ui::DBEdit;
    facebillEdit->setObjectName("facebillEdit");
    facebillEdit->setField(&db.T1, QStringLiteral("Facebill"));   // up to 11 characters
    facebillEdit->setFixedWidth(facebillEdit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 11 + 16);

    LawEditField = TOrgEdit::createPurpose();
    LawEditField->setObjectName("LawEditField");
    connect(LawEditField, &TSegmentedEdit::changed, this, &TLichChForm::LawEditFieldChange);

    LawBrowse = new QPushButton(QStringLiteral(". . ."));
    LawBrowse->setObjectName("LawBrowse");
    LawBrowse->setToolTip(QStringLiteral("Выбрать назначение из справочника"));
    LawBrowse->setFixedSize(30, TSegmentedEdit::DefaultHeight + 2);
    connect(LawBrowse, &QPushButton::clicked, this, &TLichChForm::LawBrowseClick);

    LawDBView = new ui::DBEdit;
    LawDBView->setObjectName("LawDBView");
    LawDBView->setField(&db.LawSprTable, QStringLiteral("Sname"));
    LawDBView->setDataReadOnly(true);
    LawDBView->setReadOnly(true);
    LawDBView->setEnabled(false);
    LawDBView->setMinimumWidth(220);

    // The stored purpose code of the row; the dialog itself writes it from
    // LawEditField.
    LawDBEdit = new ui::DBEdit(this);
    LawDBEdit->setObjectName("LawDBEdit");
    LawDBEdit->setField(&db.T1, QStringLiteral("LawRef"));
    LawDBEdit->setMaxLength(8);   // room for the displayed form "AB-C"
    LawDBEdit->setDataReadOnly(true);
    LawDBEdit->hide();

    OkButton = new QPushButton(QStringLiteral("OK"));
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"));
    CancelButton->setObjectName("CancelButton");
    connect(OkButton, &QPushButton::clicked, this, &TLichChForm::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TLichChForm::CancelButtonClick);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);
    auto* numberLabel = new QLabel(QStringLiteral("Лицевой счет:"));
    numberLabel->setBuddy(facebillEdit);
    grid->addWidget(numberLabel, 0, 0, Qt::AlignRight | Qt::AlignVCenter);
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(facebillEdit);
    numberRow->addStretch();
    grid->addLayout(numberRow, 0, 1);
    auto* lawLabel = new QLabel(QStringLiteral("Назначение:"));
    grid->addWidget(lawLabel, 1, 0, Qt::AlignRight | Qt::AlignVCenter);
    auto* lawRow = new QHBoxLayout;
    lawRow->setSpacing(4);
    lawRow->addWidget(LawEditField);
    lawRow->addWidget(LawBrowse);
    lawRow->addWidget(LawDBView, 1);
    grid->addLayout(lawRow, 1, 1);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addSpacing(6);
    top->addLayout(buttons);
    resize(480, sizeHint().height());

    setTabOrder(facebillEdit, LawEditField->segment(1));
    setTabOrder(LawEditField->segment(1), LawEditField->segment(2));
    setTabOrder(LawEditField->segment(2), LawBrowse);
    setTabOrder(LawBrowse, OkButton);
    setTabOrder(OkButton, CancelButton);
    ui::installButtonKeys(this);
}

void TLichChForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormActivate();
}

void TLichChForm::FormActivate()
{
    closing_ = false;
    store::Table& t = db_.T1;
    try {
        // Change on an empty list starts a new row, as Add does.
        if (t.state() == TableState::Browse) {
            if (t.isEmpty())
                t.append();
            else
                t.edit();
        }
        if (t.isOpen()) {
            {
                const QSignalBlocker quiet(LawEditField);
                LawEditField->setText(t.fieldByName(QStringLiteral("LawRef")).asString());
            }
            // Written back once, so that the purpose shown beside the code is
            // the one found for it now.
            LawEditFieldChange();
        }
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    facebillEdit->reload();
    facebillEdit->setFocus(Qt::OtherFocusReason);
    facebillEdit->selectAll();
}

void TLichChForm::LawEditFieldChange()
{
    store::Table& t = db_.T1;
    if (!t.isOpen() || !editing(t))
        return;
    try {
        // Recomputing LawSName moves law_spr to the purpose shown in LawDBView.
        t.fieldByName(QStringLiteral("LawRef")).setAsString(LawEditField->text());
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

void TLichChForm::LawBrowseClick()
{
    if (!purposes_)
        return;
    if (const std::optional<QString> code = purposes_->choose())
        LawEditField->setText(*code);   // writes t1.LawRef as it changes
}

void TLichChForm::OkButtonClick()
{
    store::Table& t = db_.T1;
    closing_ = true;
    try {
        t.post();
    } catch (const std::exception& e) {
        const QString err = store::errorText(e);
        if (err == QLatin1String(schema::KeyViolation))
            ui::message(QStringLiteral("Лицевой счет с указанным номером уже открыт. Lichch:") + err);
        else if (err.contains(QLatin1String(schema::RequiredViolation)))
            ui::message(QStringLiteral("Лицевой счет должен быть обязательно задан. Lichch:") + err);
        else
            ui::message(QStringLiteral("Обратитесь к разработчику. Lichch:") + err);
        try {
            if (t.isOpen())
                t.cancel();
        } catch (const std::exception&) {
        }
    }
    QDialog::accept();
}

void TLichChForm::CancelButtonClick()
{
    store::Table& t = db_.T1;
    closing_ = true;
    try {
        if (t.isOpen())
            t.cancel();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    QDialog::reject();
}

void TLichChForm::reject()
{
    // Esc and the frame's close box cancel the pending change as Отмена does.
    if (closing_) {
        QDialog::reject();
        return;
    }
    CancelButtonClick();
}

// ---------------------------------------------------------------- the accounts list

namespace {
// Columns of the list; the totals stand under the three amounts.
constexpr int InColumn = 2, OutColumn = 3, RemainderColumn = 4;
} // namespace

TLichForm::TLichForm(dm::TDataBase1& db, QWidget* parent) : QDialog(parent), db_(db)
{
    setObjectName("LichForm");
    setWindowTitle(QStringLiteral("Лицевые счета"));
    setWindowIcon(ui::icon(ui::ImgAccounts));
    setModal(true);
    store::Table& t = db.T1;

    ToolBar1 = toolBar();
    AddButton = toolButton(ToolBar1, "AddButton", QStringLiteral("Добавить лицевой счет"), '+', [this] { AddButtonClick(); });
    EditButton =
        toolButton(ToolBar1, "EditButton", QStringLiteral("Изменить лицевой счет"), 'e', [this] { EditButtonClick(); });
    DeleteButton =
        toolButton(ToolBar1, "DeleteButton", QStringLiteral("Удалить лицевой счет"), 'x', [this] { DeleteButtonClick(); });
    ToolBar1->addSeparator();
    PrintButton = toolButton(ToolBar1, "PrintButton", QStringLiteral("Печать"), 'p', [this] { PrintButtonClick(); });

    GroupBox1 = new QGroupBox;
    GroupBox1->setObjectName("GroupBox1");
    RxDBLookupCombo1 = quickSearch(t);
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    LichRxDBGrid = accountGrid(t, "LichRxDBGrid",
                               {{QStringLiteral("Facebill"), QStringLiteral("Лицевой счет"), 110},
                                {QStringLiteral("LawSName"), QStringLiteral("Назначение"), 250},
                                {QStringLiteral("InAmount"), QStringLiteral("Поступило"), 110, right},
                                {QStringLiteral("OutAmount"), QStringLiteral("Израсходовано"), 110, right},
                                {QStringLiteral("Remainder"), QStringLiteral("Остаток"), 110, right}});
    LichRxDBGrid->viewport()->installEventFilter(this);   // double-click: Open
    LichRxDBGrid->installEventFilter(this);
    connect(LichRxDBGrid->horizontalHeader(), &QHeaderView::sectionResized, this, [this] { placeTotals(); });
    connect(LichRxDBGrid->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { placeTotals(); });

    // "Итого (F2):" and the three totals, each under its column.
    totalsRow_ = new QWidget;
    totalsRow_->setObjectName("TotalsRow");
    totalsRow_->installEventFilter(this);
    ItogLabel = new QLabel(QStringLiteral("Итого (F2):"), totalsRow_);
    ItogLabel->setObjectName("ItogLabel");
    ItogLabel->setAlignment(right);
    auto total = [this](const char* name) {
        auto* e = new QLineEdit(totalsRow_);
        e->setObjectName(QString::fromLatin1(name));
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::ClickFocus);
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        QPalette pal = e->palette();
        pal.setColor(QPalette::Base, QColor(255, 255, 0));
        pal.setColor(QPalette::Text, Qt::black);
        e->setPalette(pal);
        return e;
    };
    InAllV = total("InAllV");
    OutAllV = total("OutAllV");
    RemainderAllV = total("RemainderAllV");
    totalsRow_->setFixedHeight(InAllV->sizeHint().height());

    auto* box = new QVBoxLayout(GroupBox1);
    box->setContentsMargins(6, 6, 6, 6);
    box->setSpacing(4);
    auto* search = new QHBoxLayout;
    search->addWidget(RxDBLookupCombo1);
    search->addStretch();
    box->addLayout(search);
    box->addWidget(LichRxDBGrid, 1);
    box->addWidget(totalsRow_);

    OpenButton = new QPushButton(QStringLiteral("Открыть"));
    OpenButton->setObjectName("OpenButton");
    OpenButton->setDefault(true);
    ExitButton = new QPushButton(QStringLiteral("Выход"));
    ExitButton->setObjectName("ExitButton");
    connect(OpenButton, &QPushButton::clicked, this, &TLichForm::OpenButtonClick);
    connect(ExitButton, &QPushButton::clicked, this, &QDialog::reject);   // Esc as well
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OpenButton);
    buttons->addWidget(ExitButton);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    AddMenu = command(PopupMenu1, this, "AddMenu", QStringLiteral("Добавить"), QKeySequence(Qt::Key_Insert),
                      [this] { AddButtonClick(); });
    EditMenu = command(PopupMenu1, this, "EditMenu", QStringLiteral("Изменить"), {}, [this] { EditButtonClick(); });
    DelMenu = command(PopupMenu1, this, "DelMenu", QStringLiteral("Удалить"), QKeySequence(Qt::Key_Delete),
                      [this] { DeleteButtonClick(); });
    PopupMenu1->addSeparator();
    CalcItogSumMenu = command(PopupMenu1, this, "CalcItogSumMenu", QStringLiteral("Подсчитать итоговую сумму"),
                              QKeySequence(Qt::Key_F2), [this] { CalcItogSumMenuClick(); });
    popupOver(LichRxDBGrid, PopupMenu1);
    popupOver(GroupBox1, PopupMenu1);

    StatusBar1 = statusBar(QStringLiteral("    INS - Добавить        Del - Удалить        "
                                          "ENTER - Открыть состояние лицевого счета        ESC - Выход"));

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 0, 4, 0);
    top->setSpacing(4);
    top->addWidget(ToolBar1);
    top->addWidget(GroupBox1, 1);
    top->addLayout(buttons);
    top->addWidget(StatusBar1);

    setTabOrder(LichRxDBGrid, OpenButton);
    setTabOrder(OpenButton, ExitButton);
    int w = 60;
    for (const ui::Column& c : LichRxDBGrid->columns())
        w += c.width;
    resize(w, 460);
    ui::installButtonKeys(this);
}

void TLichForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormActivate();
    placeTotals();
}

void TLichForm::hideEvent(QHideEvent* e)
{
    QDialog::hideEvent(e);
    if (!e->spontaneous())
        FormDeactivate();
}

void TLichForm::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    placeTotals();
}

void TLichForm::FormActivate()
{
    clearTotals();
    try {
        // The stored state of t1, from its first row.
        db_.SyncTable(db_.T1);
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    LichRxDBGrid->setFocus(Qt::OtherFocusReason);
}

void TLichForm::FormDeactivate()
{
    if (!db_.isOpen())
        return;
    try {
        db_.SyncAllTables();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

void TLichForm::clearTotals()
{
    InAllV->clear();
    OutAllV->clear();
    RemainderAllV->clear();
}

void TLichForm::AddButtonClick()
{
    addAccount(db_, dialog_);
    clearTotals();
}

void TLichForm::EditButtonClick()
{
    changeAccount(dialog_);
    clearTotals();
}

void TLichForm::DeleteButtonClick()
{
    deleteAccount(db_);
    clearTotals();
}

void TLichForm::PrintButtonClick()
{
    if (print_)
        print_->Run(this);
}

void TLichForm::OpenButtonClick()
{
    store::Table& t = db_.T1;
    bool empty = true;
    try {
        empty = !t.isOpen() || t.isEmpty();
    } catch (const std::exception&) {
    }
    if (empty) {
        // There is no account whose ledger could be shown.
        ui::message(QStringLiteral("Нет ни одного лицевого счета. Добавьте лицевой счет (Ins)."));
        LichRxDBGrid->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (ledger_)
        ledger_->exec();
    // The ledger may have changed the amounts.
    clearTotals();
    LichRxDBGrid->setFocus(Qt::OtherFocusReason);
}

void TLichForm::CalcItogSumMenuClick()
{
    store::Table& t = db_.T1;
    if (!t.isOpen() || editing(t))
        return;
    double in = 0, out = 0, remainder = 0;
    try {
        const int rec = t.recNo();
        t.disableControls();   // the grid neither follows nor repaints the walk
        auto sum = [&t](const QString& name) {
            double s = 0;
            for (t.first(); !t.eof(); t.next()) {
                const store::Field& f = t.fieldByName(name);
                if (!f.isNull())
                    s += f.asFloat();
            }
            return s;
        };
        try {
            in = sum(QStringLiteral("InAmount"));
            out = sum(QStringLiteral("OutAmount"));
            remainder = sum(QStringLiteral("Remainder"));
        } catch (...) {
            t.setRecNo(rec);
            t.enableControls();
            throw;
        }
        t.setRecNo(rec);
        t.enableControls();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        return;
    }
    const QString format = QStringLiteral("#0.00");
    InAllV->setText(store::formatNumber(in, format));
    OutAllV->setText(store::formatNumber(out, format));
    RemainderAllV->setText(store::formatNumber(remainder, format));
}

void TLichForm::placeTotals()
{
    if (!totalsRow_)
        return;
    QHeaderView* header = LichRxDBGrid->horizontalHeader();
    // The grid's viewport in the coordinates of the totals row.
    const int x0 = LichRxDBGrid->viewport()->mapTo(GroupBox1, QPoint(0, 0)).x() -
                   totalsRow_->mapTo(GroupBox1, QPoint(0, 0)).x();
    const int h = totalsRow_->height();
    const std::pair<QLineEdit*, int> totals[] = {{InAllV, InColumn}, {OutAllV, OutColumn}, {RemainderAllV, RemainderColumn}};
    for (const auto& [edit, column] : totals)
        edit->setGeometry(x0 + header->sectionViewportPosition(column), 0, header->sectionSize(column), h);
    const int labelRight = InAllV->x() - 6;
    ItogLabel->setGeometry(0, 0, std::max(0, labelRight), h);
}

bool TLichForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == LichRxDBGrid->viewport() && isDoubleClick(event)) {
        OpenButtonClick();
        return true;
    }
    if ((watched == totalsRow_ || watched == LichRxDBGrid) && event->type() == QEvent::Resize)
        placeTotals();
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- the account picker

TLichSprForm::TLichSprForm(dm::TDataBase1& db, QWidget* parent) : QDialog(parent), db_(db)
{
    setObjectName("LichSprForm");
    setWindowTitle(QStringLiteral("Лицевые счета. Справочник"));
    setWindowIcon(ui::icon(ui::ImgAccounts));
    setModal(true);
    store::Table& t = db.T1;

    ToolBar1 = toolBar();
    AddOrgButton = toolButton(ToolBar1, "AddOrgButton", QStringLiteral("Добавить"), '+', [this] { AddOrgButtonClick(); });
    EditOrgButton =
        toolButton(ToolBar1, "EditOrgButton", QStringLiteral("Изменить"), 'e', [this] { EditOrgButtonClick(); });
    DeleteOrgButton =
        toolButton(ToolBar1, "DeleteOrgButton", QStringLiteral("Удалить"), 'x', [this] { DeleteOrgButtonClick(); });

    RxDBLookupCombo1 = quickSearch(t);
    auto* search = new QHBoxLayout;
    search->addWidget(RxDBLookupCombo1);
    search->addStretch();

    OrgRxDBGrid = accountGrid(t, "OrgRxDBGrid",
                              {{QStringLiteral("Facebill"), QStringLiteral("Лицевой счет"), 110},
                               {QStringLiteral("LawRef"), QStringLiteral("Код"), 50},
                               {QStringLiteral("LawSName"), QStringLiteral("Назначение"), 250}});
    OrgRxDBGrid->viewport()->installEventFilter(this);   // double-click: OK

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

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    AddMenu = command(PopupMenu1, this, "AddMenu", QStringLiteral("Добавить"), QKeySequence(Qt::Key_Insert),
                      [this] { AddOrgButtonClick(); });
    EditMenu = command(PopupMenu1, this, "EditMenu", QStringLiteral("Изменить"), {}, [this] { EditOrgButtonClick(); });
    DelMenu = command(PopupMenu1, this, "DelMenu", QStringLiteral("Удалить"), QKeySequence(Qt::Key_Delete),
                      [this] { DeleteOrgButtonClick(); });
    popupOver(OrgRxDBGrid, PopupMenu1);

    StatusBar1 = statusBar(QStringLiteral("INS - Добавить        Del - Удалить"));

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 0, 4, 0);
    top->setSpacing(4);
    top->addWidget(ToolBar1);
    top->addLayout(search);
    top->addWidget(OrgRxDBGrid, 1);
    top->addLayout(buttons);
    top->addWidget(StatusBar1);
    int w = 60;
    for (const ui::Column& c : OrgRxDBGrid->columns())
        w += c.width;
    resize(w, 420);
    ui::installButtonKeys(this);
}

std::optional<QString> TLichSprForm::choose()
{
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    store::Table& t = db_.T1;
    if (!t.isOpen() || t.isEmpty())
        return std::nullopt;
    return t.fieldByName(QStringLiteral("Facebill")).asString();
}

void TLichSprForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    OrgRxDBGrid->setFocus(Qt::OtherFocusReason);
}

void TLichSprForm::AddOrgButtonClick() { addAccount(db_, dialog_); }
void TLichSprForm::EditOrgButtonClick() { changeAccount(dialog_); }
void TLichSprForm::DeleteOrgButtonClick() { deleteAccount(db_); }
void TLichSprForm::OrgRxDBGridDblClick() { accept(); }

bool TLichSprForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == OrgRxDBGrid->viewport() && isDoubleClick(event) &&
        OrgRxDBGrid->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).isValid()) {
        OrgRxDBGridDblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace accounts
