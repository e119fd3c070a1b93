#include "income/dohedform.h"

#include "books/books.h"
#include "core/schema/schema.h"
#include "core/store/storeerror.h"
#include "core/ui/amountedit.h"
#include "core/ui/buttonkeys.h"
#include "core/ui/dateedit.h"
#include "core/ui/dbedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/icons.h"
#include "core/ui/messagebox.h"
#include "income/orgtotals.h"

#include <QDate>
#include <algorithm>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <optional>

namespace income {

namespace {

// Both sides end their messages with the receipt side's name.
const QString PostName = QStringLiteral("UDohEd.InOkBtnClick");
const QString KeyText = QStringLiteral(
    "Такое начисление уже внесено. Добавте указанную сумму к уже внесенному начислениею. ");
const QString LookupText =
    QStringLiteral("Введено значение, которое не содержится в справочниках. Добавте его в справочник. ");
const QString RequiredText = QStringLiteral("Одно из обязательных полей не заполнено. ");
const QString DeveloperText = QStringLiteral("Обратитесь к разработчику. ");
const QString NoOrgText =
    QStringLiteral("Нет организации, к которой можно внести запись. Сначала добавьте организацию.");

const QColor InfoBackground(255, 255, 225);
const QColor Aqua(0, 255, 255);

// Exactly one message for a refused post, followed at once by the store's text.
void reportPostRefusal(const QString& error)
{
    if (error == QLatin1String(schema::KeyViolation))
        ui::message(KeyText + PostName + QLatin1Char(':') + error);
    else if (error == QLatin1String(schema::LookupViolation))
        ui::message(LookupText + PostName + QLatin1Char(':') + error);
    else if (error.contains(QLatin1String(schema::RequiredViolation)))
        ui::message(RequiredText + PostName + QLatin1Char(':') + error);
    else
        ui::message(DeveloperText + PostName + error);
}

// The add and delete buttons: a green plus and a red cross.
QIcon buttonIcon(bool add)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (add) {
        p.setPen(QPen(QColor(0, 120, 0), 3.2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(8, 2), QPointF(8, 14));
        p.drawLine(QPointF(2, 8), QPointF(14, 8));
    } else {
        p.setPen(QPen(QColor(190, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    }
    return QIcon(pm);
}

ui::DBText* aquaText(const QString& name, store::Table* t, const char* field, int width)
{
    auto* l = new ui::DBText;
    l->setObjectName(name);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMinimumWidth(width);
    l->setAutoFillBackground(true);
    QPalette pal = l->palette();
    pal.setColor(QPalette::Window, Aqua);
    pal.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(pal);
    l->setField(t, QString::fromLatin1(field));
    return l;
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

struct TDohEdForm::Side {
    store::Table* table;
    income::EntrySide side;

    ui::DBGrid* grid = nullptr;
    ui::AmountEdit* amount = nullptr;
    ui::DateEdit* date = nullptr;
    QLineEdit* note = nullptr;
    QLineEdit* kind = nullptr;
    QPushButton* kindBrowse = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    ui::DBText* total = nullptr;
};

TDohEdForm::TDohEdForm(dm::TDataBase1& db, QWidget* parent)
    : QDialog(parent, Qt::Tool), db_(db), in_(new Side{&db.DInTable, EntrySide::Receipts}),
      out_(new Side{&db.DOutTable, EntrySide::Expenses})
{
    setObjectName("DohEdForm");
    setWindowTitle(QStringLiteral("Приход/расход"));
    setWindowIcon(ui::icon(5));
    setModal(true);

    QFont large = font();
    large.setPointSize(large.pointSize() + 3);
    large.setBold(true);

    auto* header = new QFrame;
    header->setObjectName("Panel1");
    header->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* orgLabel = new QLabel(QStringLiteral("Организация:"));
    orgLabel->setFont(large);
    DBOrgNameText = aquaText(QStringLiteral("DBOrgNameText"), &db.DOrgTable, "Name", 300);
    DBOrgNameText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    DBOrgNameText->setFont(large);
    auto* h = new QHBoxLayout(header);
    h->setContentsMargins(6, 3, 6, 3);
    h->addWidget(orgLabel);
    h->addWidget(DBOrgNameText, 1);

    InGroupBox = buildSide(*in_, QStringLiteral("In"), QStringLiteral("Приход"), QStringLiteral("Вид дохода:"),
                           QStringLiteral("Выбрать вид дохода из справочника"), QStringLiteral("Итого \nпоступило:"));
    OutGroupBox = buildSide(*out_, QStringLiteral("Out"), QStringLiteral("Расход"), QStringLiteral("Вид расхода:"),
                            QStringLiteral("Выбрать вид расхода из справочника"),
                            QStringLiteral("Итого\nизрасходовано:"));
    InDBGrid = in_->grid;
    InAmountEdit = in_->amount;
    InDateEdit = in_->date;
    InNoteEdit = in_->note;
    InSumType = in_->kind;
    InSumTypeBrowse = in_->kindBrowse;
    InOkBtn = in_->ok;
    InCancelBtn = in_->cancel;
    DBText2 = in_->total;
    DBText2->setObjectName("DBText2");
    OutDBGrid = out_->grid;
    OutAmountEdit = out_->amount;
    OutDateEdit = out_->date;
    OutNoteEdit = out_->note;
    OutSumType = out_->kind;
    OutSumTypeBrowse = out_->kindBrowse;
    OutOkBtn = out_->ok;
    OutCancelBtn = out_->cancel;
    DBText3 = out_->total;
    DBText3->setObjectName("DBText3");

    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    InDBGrid->setColumns({{QStringLiteral("Sum"), QStringLiteral("Сумма"), 102, right},
                          {QStringLiteral("Date"), QStringLiteral("Дата"), 86},
                          {QStringLiteral("Note"), QStringLiteral("Примечание"), 301},
                          {QStringLiteral("Comment"), QStringLiteral("Вид дохода"), 135}});
    InDBGrid->setCellColorHook([](store::Table&, const QString& field) {
        if (field == QLatin1String("Sum"))
            return InfoBackground;
        return field == QLatin1String("Date") ? QColor(Qt::white) : QColor();
    });
    OutDBGrid->setColumns({{QStringLiteral("Sum"), QStringLiteral("Сумма"), 95, right},
                           {QStringLiteral("Date"), QStringLiteral("Дата"), 93},
                           {QStringLiteral("Note"), QStringLiteral("Примечание"), 307},
                           {QStringLiteral("Comment"), QStringLiteral("Вид расхода"), 135}});
    OutDBGrid->setCellColorHook([](store::Table&, const QString& field) {
        return field == QLatin1String("Sum") ? InfoBackground : QColor();
    });

    OkButton = new QPushButton(QStringLiteral("ОК"));
    OkButton->setObjectName("OkButton");
    OkButton->setMinimumWidth(90);
    auto* remainderLabel = new QLabel(QStringLiteral("Остаток:"));
    remainderLabel->setFont(large);
    DBText4 = aquaText(QStringLiteral("DBText4"), &db.DOrgTable, "Remainder", 110);
    DBText4->setFont(large);
    auto* footer = new QHBoxLayout;
    footer->addWidget(remainderLabel);
    footer->addWidget(DBText4);
    footer->addStretch();
    footer->addWidget(OkButton);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(6, 6, 6, 6);
    top->setSpacing(4);
    top->addWidget(header);
    top->addWidget(InGroupBox, 1);
    top->addWidget(OutGroupBox, 1);
    top->addLayout(footer);

    connect(InAmountEdit, &ui::AmountEdit::textChanged, this, &TDohEdForm::InAmountEditChange);
    connect(OutAmountEdit, &ui::AmountEdit::textChanged, this, &TDohEdForm::OutAmountEditChange);
    InAmountEdit->installEventFilter(this);
    connect(InOkBtn, &QPushButton::clicked, this, &TDohEdForm::InOkBtnClick);
    connect(OutOkBtn, &QPushButton::clicked, this, &TDohEdForm::OutOkBtnClick);
    connect(InCancelBtn, &QPushButton::clicked, this, &TDohEdForm::InCancelBtnClick);
    connect(OutCancelBtn, &QPushButton::clicked, this, &TDohEdForm::OutCancelBtnClick);
    connect(InDBGrid, &ui::DBGrid::cellClicked, this, &TDohEdForm::InDBGridCellClick);
    connect(OutDBGrid, &ui::DBGrid::cellClicked, this, &TDohEdForm::OutDBGridCellClick);
    InDBGrid->setKeyFilter([this](QKeyEvent* e) {
        int key = e->key();
        if (e->type() == QEvent::KeyPress)
            InDBGridKeyDown(key);
        else
            InDBGridKeyUp(key);
        return key == 0;
    });
    OutDBGrid->setKeyFilter([this](QKeyEvent* e) {
        int key = e->key();
        if (e->type() == QEvent::KeyPress)
            OutDBGridKeyDown(key);
        else
            OutDBGridKeyUp(key);
        return key == 0;
    });
    connect(InSumTypeBrowse, &QPushButton::clicked, this, &TDohEdForm::InSumTypeBrowseClick);
    connect(OutSumTypeBrowse, &QPushButton::clicked, this, &TDohEdForm::OutSumTypeBrowseClick);
    connect(OkButton, &QPushButton::clicked, this, &TDohEdForm::OkButtonClick);

    // Within each side: grid, amount, date, note, kind, ". . .", add, delete.
    std::vector<QWidget*> order;
    for (Side* s : {in_.get(), out_.get()})
        order.insert(order.end(), {s->grid, s->amount, s->date, s->note, s->kind, s->kindBrowse, s->ok, s->cancel});
    order.push_back(OkButton);
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    setFixedSize(730, 501);
    // Enter presses the focused button; the window has no default button.
    ui::installButtonKeys(this);
}

TDohEdForm::~TDohEdForm() = default;

QGroupBox* TDohEdForm::buildSide(Side& s, const QString& prefix, const QString& title, const QString& kindLabel,
                                 const QString& kindHint, const QString& totalText)
{
    auto named = [&prefix](QWidget* w, const char* suffix) {
        w->setObjectName(prefix + QLatin1String(suffix));
        return w;
    };
    auto* box = new QGroupBox(title);
    named(box, "GroupBox");

    s.grid = new ui::DBGrid;
    named(s.grid, "DBGrid");
    s.grid->setTable(s.table);
    s.grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    s.grid->setEditTriggers(QAbstractItemView::NoEditTriggers);

    s.amount = new ui::AmountEdit;
    named(s.amount, "AmountEdit");
    s.amount->setFixedWidth(100);
    s.date = new ui::DateEdit;
    named(s.date, "DateEdit");
    s.date->setDate(QDate::currentDate());
    s.date->setEnabled(false);
    s.note = new QLineEdit;
    named(s.note, "NoteEdit");
    s.note->setMaxLength(50);
    s.kind = new QLineEdit;
    s.kind->setObjectName(prefix + QStringLiteral("SumType"));
    s.kind->setMaxLength(3);
    s.kind->setFixedWidth(s.kind->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 14);
    s.kindBrowse = new QPushButton(QStringLiteral(". . ."));
    named(s.kindBrowse, "SumTypeBrowse");
    s.kindBrowse->setToolTip(kindHint);
    s.kindBrowse->setFixedSize(24, s.kind->sizeHint().height());
    s.ok = new QPushButton(buttonIcon(true), QString());
    named(s.ok, "OkBtn");
    s.ok->setToolTip(QStringLiteral("Добавить запись"));
    s.ok->setEnabled(false);
    s.cancel = new QPushButton(buttonIcon(false), QString());
    named(s.cancel, "CancelBtn");
    s.cancel->setToolTip(QStringLiteral("Удалить запись"));
    for (QPushButton* b : {s.ok, s.cancel})
        b->setFixedSize(26, 26);

    auto* totalLabel = new QLabel(totalText);
    totalLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    s.total = aquaText(prefix + QStringLiteral("Total"), &db_.DOrgTable, &s == in_.get() ? "InSum" : "OutSum", 95);

    // Under the grid, the whole width its own: the entry line in two rows,
    // the side's buttons and total at the end of the second.
    auto* noteLabel = new QLabel(QStringLiteral("Примечание:"));
    QFont small = noteLabel->font();
    small.setPointSize(std::max(6, small.pointSize() - 1));
    noteLabel->setFont(small);
    auto* first = new QHBoxLayout;
    first->setSpacing(4);
    first->addWidget(new QLabel(QStringLiteral("Сумма:")));
    first->addWidget(s.amount);
    first->addSpacing(6);
    first->addWidget(new QLabel(QStringLiteral("Дата:")));
    first->addWidget(s.date);
    first->addSpacing(6);
    first->addWidget(noteLabel);
    first->addWidget(s.note, 1);
    auto* second = new QHBoxLayout;
    second->setSpacing(4);
    second->addWidget(new QLabel(kindLabel));
    second->addWidget(s.kind);
    second->addWidget(s.kindBrowse);
    second->addSpacing(12);
    second->addWidget(s.ok);
    second->addWidget(s.cancel);
    second->addStretch();
    second->addWidget(totalLabel);
    second->addWidget(s.total);

    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(4, 4, 4, 4);
    v->setSpacing(3);
    v->addWidget(s.grid, 1);
    v->addLayout(first);
    v->addLayout(second);
    return box;
}

// ---------------------------------------------------------------- opening and closing

void TDohEdForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous() || open_)
        return;
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    FormActivate();
}

void TDohEdForm::FormActivate()
{
    open_ = true;
    try {
        // The entries as stored now, the current organization's only.
        for (Side* s : {in_.get(), out_.get()}) {
            db_.SyncTable(*s->table);
            s->table->setOrder(QStringLiteral("Org"));
            s->table->setMaster(&db_.DOrgTable, QStringLiteral("Org"), QStringLiteral("Org"));
        }
        // The organization's name is found on the code order of the book.
        db_.Org_Table.setOrder(QStringLiteral("Org"));
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    // The entry lines keep what they held when the window was last closed.
    InAmountEditChange();
    OutAmountEditChange();
    focusAmount(*in_);
}

void TDohEdForm::done(int result)
{
    if (open_)
        FormDeactivate();
    QDialog::done(result);
}

void TDohEdForm::reject() { OkButtonClick(); }

void TDohEdForm::OkButtonClick()
{
    accept();
    if (returnFocus_)
        returnFocus_->setFocus(Qt::OtherFocusReason);
}

void TDohEdForm::FormDeactivate()
{
    open_ = false;
    try {
        db_.DInTable.clearMaster();
        db_.DOutTable.clearMaster();
        // Every table read anew, and the list back on this organization.
        const int org = db_.DOrgTable.isOpen() ? db_.DOrgTable.recNo() : 0;
        db_.SyncAllTables();
        if (org > 0)
            db_.DOrgTable.setRecNo(org);
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

// ---------------------------------------------------------------- the entry lines

bool TDohEdForm::hasOrganization()
{
    try {
        return db_.DOrgTable.isOpen() && !db_.DOrgTable.isEmpty();
    } catch (const std::exception&) {
        return false;
    }
}

void TDohEdForm::InAmountEditChange() { amountChange(*in_); }

void TDohEdForm::OutAmountEditChange() { amountChange(*out_); }

// A side can add while its amount reads anything but nothing or "0,00".
void TDohEdForm::amountChange(Side& s)
{
    const QString text = s.amount->text();
    const bool on = !text.isEmpty() && text != QLatin1String("0,00");
    s.ok->setEnabled(on);
    s.date->setEnabled(on);
}

void TDohEdForm::focusAmount(Side& s)
{
    s.amount->setFocus(Qt::TabFocusReason);
    s.amount->selectAll();
}

void TDohEdForm::InAmountEditKeyDown(int& key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    if (InAmountEdit->value() != 0)
        InDateEdit->setFocus(Qt::TabFocusReason);
    else
        focusAmount(*out_);
    key = 0;
}

bool TDohEdForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == InAmountEdit && event->type() == QEvent::KeyPress) {
        auto* e = static_cast<QKeyEvent*>(event);
        int key = e->key();
        InAmountEditKeyDown(key);
        if (key == 0)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- adding and deleting

void TDohEdForm::InOkBtnClick() { post(*in_); }

void TDohEdForm::OutOkBtnClick() { post(*out_); }

void TDohEdForm::post(Side& s)
{
    if (!hasOrganization()) {
        // An entry belongs to an organization; the list has none.
        ui::message(NoOrgText);
        return;
    }
    store::Table& t = *s.table;
    try {
        t.append();   // the link gives the organization
        t.fieldByName(QStringLiteral("Sum")).setAsFloat(s.amount->value());
        const QDate typed = s.date->date();
        t.fieldByName(QStringLiteral("Date")).setAsDate(typed.isValid() ? typed : QDate::currentDate());
        t.fieldByName(QStringLiteral("Note")).setAsString(s.note->text());
        // No kind given: "000", and the user sees it.
        if (s.kind->text().trimmed().isEmpty())
            s.kind->setText(QStringLiteral("000"));
        t.fieldByName(QStringLiteral("SumType")).setAsString(s.kind->text());
        t.post();
    } catch (const std::exception& e) {
        reportPostRefusal(store::errorText(e));
        cancelQuietly(t);
    }
    calcSum(s);
    // Only the amount is typed anew; date, note and kind stay.
    s.amount->setValue(0);
    focusAmount(s);
}

void TDohEdForm::InCancelBtnClick() { removeRow(*in_); }

void TDohEdForm::OutCancelBtnClick() { removeRow(*out_); }

void TDohEdForm::removeRow(Side& s)
{
    store::Table& t = *s.table;
    try {
        if (t.isOpen() && !t.isEmpty())
            t.remove();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        cancelQuietly(t);
    }
    calcSum(s);
    s.grid->setFocus(Qt::OtherFocusReason);
}

void TDohEdForm::Grid1CalcSum() { calcSum(*in_); }

void TDohEdForm::Grid2CalcSum() { calcSum(*out_); }

// The side's total from every entry of the organization as stored now, and
// the remainder from it and the other side's stored total.
void TDohEdForm::calcSum(Side& s)
{
    if (!hasOrganization())
        return;
    store::Table& t = *s.table;
    try {
        recountOrganization(db_.DOrgTable, t, s.side);
        // The grid shows the organization's entries as stored now, other
        // copies' included, on the last of them.
        t.disableControls();
        try {
            t.refresh();
            t.last();
        } catch (...) {
            t.enableControls();
            throw;
        }
        t.enableControls();
    } catch (const std::exception& e) {
        cancelQuietly(db_.DOrgTable);
        ui::showError(store::errorText(e));
    }
}

// ---------------------------------------------------------------- the grids

void TDohEdForm::InDBGridCellClick() { copyRow(*in_); }

void TDohEdForm::OutDBGridCellClick() { copyRow(*out_); }

// The highlighted entry into the entry line; with no rows the amount
// becomes 0, the date today, note and kind blank.
void TDohEdForm::copyRow(Side& s)
{
    store::Table& t = *s.table;
    if (!open_ || !t.isOpen())
        return;
    try {
        s.amount->setValue(t.fieldByName(QStringLiteral("Sum")).asFloat());
        const QDate d = t.fieldByName(QStringLiteral("Date")).asDate();
        s.date->setDate(d.isValid() ? d : QDate::currentDate());
        s.note->setText(t.fieldByName(QStringLiteral("Note")).asString());
        s.kind->setText(t.fieldByName(QStringLiteral("SumType")).asString());
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    s.grid->setFocus(Qt::OtherFocusReason);
}

// Tab, with or without Shift, does nothing in a grid.
void TDohEdForm::InDBGridKeyDown(int& key)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        key = 0;
}

void TDohEdForm::OutDBGridKeyDown(int& key) { InDBGridKeyDown(key); }

// Every key released in a grid: arrow moves count as clicks.
void TDohEdForm::InDBGridKeyUp(int&) { InDBGridCellClick(); }

void TDohEdForm::OutDBGridKeyUp(int&) { OutDBGridCellClick(); }

// ---------------------------------------------------------------- the kinds

void TDohEdForm::InSumTypeBrowseClick() { browseKind(*in_); }

void TDohEdForm::OutSumTypeBrowseClick() { browseKind(*out_); }

void TDohEdForm::browseKind(Side& s)
{
    if (!kinds_)
        return;
    try {
        store::Table& book = db_.SumTypeSprTable;
        if (book.isOpen()) {
            book.setOrder(QStringLiteral("SumType"));
            book.findNearest({s.kind->text()});
        }
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        return;
    }
    if (const std::optional<QString> code = kinds_->choose())
        s.kind->setText(*code);
}

} // namespace income
