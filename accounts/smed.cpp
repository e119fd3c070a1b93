#include "accounts/smed.h"

#include "accounts/plancontrol.h"
#include "accounts/recount.h"

#include "books/books.h"
#include "core/schema/schema.h"
#include "core/store/storeerror.h"
#include "core/ui/amountedit.h"
#include "core/ui/buttonkeys.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"
#include "core/ui/dbedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/icons.h"
#include "core/ui/messagebox.h"

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace accounts {

namespace {

// The refusals of a posting, each text followed at once by the store's text.
const QString KeyText = QStringLiteral(
    "Такое начисление уже внесено. Добавте указанную сумму к уже внесенному начислениею. ");
const QString LookupText =
    QStringLiteral("Введено значение, которое не содержится в справочниках. Добавте его в справочник. ");
const QString RequiredText = QStringLiteral("Одно из обязательных полей не заполнено. ");
const QString DeveloperText = QStringLiteral("Обратитесь к разработчику. ");
const QString NoAccountText =
    QStringLiteral("Нет лицевого счета, на который можно внести запись. Сначала добавьте лицевой счет.");

// One message for each condition the store's text meets, in this order;
// an unexpected refusal names the handler without a colon.
void reportPostRefusal(const QString& handler, const QString& error)
{
    bool known = false;
    const auto say = [&](const QString& text) {
        ui::message(text + handler + QLatin1Char(':') + error);
        known = true;
    };
    if (error == QLatin1String(schema::KeyViolation))
        say(KeyText);
    if (error == QLatin1String(schema::LookupViolation))
        say(LookupText);
    if (error.contains(QLatin1String(schema::RequiredViolation)))
        say(RequiredText);
    if (!known)
        ui::message(DeveloperText + handler + error);
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

QPushButton* browseButton(const QString& name, const QString& hint)
{
    auto* b = new QPushButton(QStringLiteral(". . ."));
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setFixedSize(24, TSegmentedEdit::DefaultHeight + 2);
    return b;
}

ui::DBText* amountText(const QString& name, store::Table* t, const char* field)
{
    auto* l = new ui::DBText;
    l->setObjectName(name);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMinimumWidth(110);
    l->setField(t, QString::fromLatin1(field));
    return l;
}

} // namespace

// Everything in which the receipts and the expenditures differ.
struct TSmEd::Side {
    store::Table* table;
    const char* accountField;   // the link to t1.Facebill
    const char* keyOrder;       // the primary key, which begins with the account
    const char* totalField;     // the total of t1 this side keeps
    QString postName;           // the names its messages end with
    QString deleteName;
    QString sumName;

    ui::DBGrid* grid = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    ui::AmountEdit* amount = nullptr;
    ui::DateEdit* date = nullptr;
    TOrgEdit* org = nullptr;   // expenditures only
    QPushButton* orgBrowse = nullptr;
    TCBCEdit* cbc = nullptr;
    QPushButton* cbcBrowse = nullptr;
    TOrgEdit* law = nullptr;
    QPushButton* lawBrowse = nullptr;
    QLabel* totalLabel = nullptr;
    ui::DBText* total = nullptr;
};

TSmEd::TSmEd(dm::TDataBase1& db, QWidget* parent)
    : QDialog(parent), db_(db),
      in_(new Side{&db.T2_1, "FaceBill", "FaceBill;LawRef;Amount;FiDate;CBC", "InAmount",
                   QStringLiteral("SmetEd.InOkBtnClick"), QStringLiteral("SmetEd.InCancelBtnClick"),
                   QStringLiteral("SmetEd.Grid1CalcSum")}),
      out_(new Side{&db.T2_2, "Facebill", "Facebill;LawRef;Amount;FiDate;CBC;Org", "OutAmount",
                    QStringLiteral("SmetEd.OutOkBtnClick"), QStringLiteral("SmetEd.OutCancelBtnClick"),
                    QStringLiteral("SmetEd.Grid2CalcSum")})
{
    setObjectName(QStringLiteral("SmEd"));
    setWindowTitle(QStringLiteral("Состояние лицевого счета"));
    setWindowIcon(ui::icon(ui::ImgAccounts));
    setModal(true);

    // --- header
    auto* header = new QFrame;
    header->setObjectName(QStringLiteral("HeaderPanel"));
    header->setFrameStyle(QFrame::Panel | QFrame::Raised);
    FacebillDBText = new ui::DBText;
    FacebillDBText->setObjectName(QStringLiteral("FacebillDBText"));
    QFont bold = font();
    bold.setBold(true);
    FacebillDBText->setFont(bold);
    FacebillDBText->setMinimumWidth(110);
    FacebillDBText->setField(&db_.T1, QStringLiteral("Facebill"));
    LawSNameDBText = new ui::DBText;
    LawSNameDBText->setObjectName(QStringLiteral("LawSNameDBText"));
    LawSNameDBText->setField(&db_.T1, QStringLiteral("LawSName"));
    auto* h = new QHBoxLayout(header);
    h->addWidget(new QLabel(QStringLiteral("Лицевой счет:")));
    h->addWidget(FacebillDBText);
    h->addSpacing(24);
    h->addWidget(new QLabel(QStringLiteral("Назначение:")));
    h->addWidget(LawSNameDBText, 1);

    // --- the two sides
    InGroupBox = buildSide(*in_, QStringLiteral("In"), QStringLiteral("Приход"), QStringLiteral("Итого\nпоступило:"));
    OutGroupBox =
        buildSide(*out_, QStringLiteral("Out"), QStringLiteral("Расход"), QStringLiteral("Итого\nизрасходовано:"));
    InDBGrid = in_->grid;
    InOkBtn = in_->ok;
    InCancelBtn = in_->cancel;
    InAmountEdit = in_->amount;
    InDateEdit = in_->date;
    InCBCEditField = in_->cbc;
    InCBCBrowse = in_->cbcBrowse;
    InLawEditField = in_->law;
    InLawBrowse = in_->lawBrowse;
    InTotalLabel = in_->totalLabel;
    InAmountDBText = in_->total;
    OutDBGrid = out_->grid;
    OutOkBtn = out_->ok;
    OutCancelBtn = out_->cancel;
    OutAmountEdit = out_->amount;
    OutDateEdit = out_->date;
    OutOrgEditField = out_->org;
    ORGBrowseButton = out_->orgBrowse;
    OutCBCEditField = out_->cbc;
    OutCBCBrowse = out_->cbcBrowse;
    OutLawEditField = out_->law;
    OutLawBrowse = out_->lawBrowse;
    OutTotalLabel = out_->totalLabel;
    OutAmountDBText = out_->total;

    InDBGrid->setColumns({{QStringLiteral("Amount"), QStringLiteral("Сумма"), 100, Qt::AlignRight},
                          {QStringLiteral("FiDate"), QStringLiteral("Дата"), 80},
                          {QStringLiteral("CBC"), QStringLiteral("КБК"), 160},
                          {QStringLiteral("LawSName"), QStringLiteral("Назначение"), 260}});
    OutDBGrid->setColumns({{QStringLiteral("Amount"), QStringLiteral("Сумма"), 100, Qt::AlignRight},
                           {QStringLiteral("OrgName"), QStringLiteral("Организация"), 230},
                           {QStringLiteral("FiDate"), QStringLiteral("Дата"), 80},
                           {QStringLiteral("CBC"), QStringLiteral("КБК"), 160},
                           {QStringLiteral("LawSName"), QStringLiteral("Назначение"), 200}});

    // --- footer
    OkButton = new QPushButton(QStringLiteral("ОК"));
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setMinimumWidth(90);
    RemainderDBText = amountText(QStringLiteral("RemainderDBText"), &db_.T1, "Remainder");
    RemainderDBText->setFont(bold);
    auto* footer = new QHBoxLayout;
    footer->addWidget(OkButton);
    footer->addStretch();
    footer->addWidget(new QLabel(QStringLiteral("Остаток:")));
    footer->addWidget(RemainderDBText);

    auto* top = new QVBoxLayout(this);
    top->addWidget(header);
    top->addWidget(InGroupBox, 1);
    top->addWidget(OutGroupBox, 1);
    top->addLayout(footer);

    // --- handlers
    connect(InAmountEdit, &ui::AmountEdit::textChanged, this, &TSmEd::InAmountEditChange);
    connect(OutAmountEdit, &ui::AmountEdit::textChanged, this, &TSmEd::OutAmountEditChange);
    InAmountEdit->installEventFilter(this);
    connect(InOkBtn, &QPushButton::clicked, this, &TSmEd::InOkBtnClick);
    connect(OutOkBtn, &QPushButton::clicked, this, &TSmEd::OutOkBtnClick);
    connect(InCancelBtn, &QPushButton::clicked, this, &TSmEd::InCancelBtnClick);
    connect(OutCancelBtn, &QPushButton::clicked, this, &TSmEd::OutCancelBtnClick);
    connect(InDBGrid, &ui::DBGrid::cellClicked, this, &TSmEd::InDBGridCellClick);
    connect(OutDBGrid, &ui::DBGrid::cellClicked, this, &TSmEd::OutDBGridCellClick);
    InDBGrid->setKeyFilter(
        [this](QKeyEvent* e) { return gridKey(e, &TSmEd::InDBGridKeyDown, &TSmEd::InDBGridKeyUp); });
    OutDBGrid->setKeyFilter(
        [this](QKeyEvent* e) { return gridKey(e, &TSmEd::OutDBGridKeyDown, &TSmEd::OutDBGridKeyUp); });
    connect(InCBCBrowse, &QPushButton::clicked, this, &TSmEd::InCBCBrowseClick);
    connect(InLawBrowse, &QPushButton::clicked, this, &TSmEd::InLawBrowseClick);
    connect(OutCBCBrowse, &QPushButton::clicked, this, &TSmEd::OutCBCBrowseClick);
    connect(OutLawBrowse, &QPushButton::clicked, this, &TSmEd::OutLawBrowseClick);
    connect(ORGBrowseButton, &QPushButton::clicked, this, &TSmEd::ORGBrowseButtonClick);
    connect(OkButton, &QPushButton::clicked, this, &TSmEd::OkButtonClick);
    // The plan line follows every field it depends on as it is typed.
    connect(OutAmountEdit, &ui::AmountEdit::textChanged, this, &TSmEd::OutPlanLineUpdate);
    connect(OutDateEdit, &ui::DateEdit::changed, this, &TSmEd::OutPlanLineUpdate);
    connect(OutOrgEditField, &TSegmentedEdit::changed, this, &TSmEd::OutPlanLineUpdate);
    connect(OutCBCEditField, &TSegmentedEdit::changed, this, &TSmEd::OutPlanLineUpdate);

    chainFocus();
    resize(900, 660);
    // Enter presses the focused button; elsewhere it has no meaning but the
    // receipt amount's, for the window has no default button.
    ui::installButtonKeys(this);
}

TSmEd::~TSmEd() = default;

QGroupBox* TSmEd::buildSide(Side& s, const QString& prefix, const QString& title, const QString& totalText)
{
    const bool expenditure = &s == out_.get();
    auto named = [&prefix](QWidget* w, const char* suffix) {
        w->setObjectName(prefix + QLatin1String(suffix));
        return w;
    };

    auto* box = new QGroupBox(title);
    box->setObjectName(prefix + QStringLiteral("GroupBox"));

    s.grid = new ui::DBGrid;
    named(s.grid, "DBGrid");
    s.grid->setTable(s.table);
    s.grid->horizontalHeader()->setStretchLastSection(true);

    s.ok = new QPushButton(buttonIcon(true), QString());
    named(s.ok, "OkBtn");
    s.ok->setToolTip(QStringLiteral("Добавить запись"));
    s.ok->setEnabled(false);
    s.cancel = new QPushButton(buttonIcon(false), QString());
    named(s.cancel, "CancelBtn");
    s.cancel->setToolTip(QStringLiteral("Удалить запись"));
    for (QPushButton* b : {s.ok, s.cancel})
        b->setFixedSize(28, 28);
    // Beside the grid: the buttons at the top, the side's total at the bottom.
    s.totalLabel = new QLabel(totalText);
    s.totalLabel->setObjectName(prefix + QStringLiteral("TotalLabel"));
    s.totalLabel->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    s.total = amountText(prefix + QStringLiteral("AmountDBText"), &db_.T1, s.totalField);
    auto* side = new QVBoxLayout;
    side->addWidget(s.ok, 0, Qt::AlignLeft);
    side->addWidget(s.cancel, 0, Qt::AlignLeft);
    side->addStretch();
    side->addWidget(s.totalLabel);
    side->addWidget(s.total);
    auto* upper = new QHBoxLayout;
    upper->addWidget(s.grid, 1);
    upper->addLayout(side);

    s.amount = new ui::AmountEdit;
    named(s.amount, "AmountEdit");
    s.amount->setMinimumWidth(100);
    s.date = new ui::DateEdit;
    named(s.date, "DateEdit");
    s.date->setDate(QDate::currentDate());
    s.date->setEnabled(false);
    s.cbc = TCBCEdit::createCode();
    named(s.cbc, "CBCEditField");
    s.cbcBrowse = browseButton(prefix + QStringLiteral("CBCBrowse"), QStringLiteral("Выбрать КБК из справочника"));
    s.law = TOrgEdit::createPurpose(nullptr, 48);
    named(s.law, "LawEditField");
    s.lawBrowse =
        browseButton(prefix + QStringLiteral("LawBrowse"), QStringLiteral("Выбрать назначение из справочника"));
    if (expenditure) {
        s.org = TOrgEdit::createOrganization();
        named(s.org, "OrgEditField");
        s.orgBrowse =
            browseButton(QStringLiteral("ORGBrowseButton"), QStringLiteral("Выбрать организацию из справочника"));
    }

    // The entry row; the code has its five small headings over the segments.
    QHBoxLayout* codeLine = nullptr;
    QWidget* code = captionedCode(s.cbc, &codeLine);
    codeLine->insertWidget(1, s.cbcBrowse);
    auto* entry = new QGridLayout;
    entry->setHorizontalSpacing(4);
    entry->setVerticalSpacing(0);
    int col = 0;
    auto add = [&](QWidget* w, int gapBefore = 0, int rows = 1) {
        if (gapBefore)
            entry->setColumnMinimumWidth(col++, gapBefore);
        entry->addWidget(w, 2 - rows, col++, rows, 1, rows > 1 ? Qt::AlignBottom : Qt::AlignVCenter);
    };
    add(new QLabel(QStringLiteral("Сумма:")));
    add(s.amount);
    add(new QLabel(QStringLiteral("Дата:")), 6);
    add(s.date);
    if (expenditure) {
        add(new QLabel(QStringLiteral("Организация:")), 6);
        add(s.org);
        add(s.orgBrowse);
    }
    add(code, 6, 2);
    add(new QLabel(QStringLiteral("Назначение:")), 6);
    add(s.law);
    add(s.lawBrowse);
    entry->setColumnStretch(col, 1);

    auto* v = new QVBoxLayout(box);
    v->addLayout(upper, 1);
    v->addLayout(entry);
    if (expenditure) {
        OutPlanLabel = new QLabel;
        OutPlanLabel->setObjectName(QStringLiteral("OutPlanLabel"));
        OutPlanRemainderLabel = new QLabel;
        OutPlanRemainderLabel->setObjectName(QStringLiteral("OutPlanRemainderLabel"));
        for (QLabel* l : {OutPlanLabel, OutPlanRemainderLabel}) {
            l->setFocusPolicy(Qt::NoFocus);
            l->setTextFormat(Qt::PlainText);
        }
        auto* planLine = new QHBoxLayout;
        planLine->addWidget(OutPlanLabel);
        planLine->addWidget(OutPlanRemainderLabel);
        planLine->addStretch();
        v->addLayout(planLine);
    }
    return box;
}

// Receipts, then expenditures, each from its grid to its delete button, then
// ОК. A code edit takes its segments along: Tab goes through them in order.
void TSmEd::chainFocus()
{
    std::vector<QWidget*> order;
    for (Side* s : {in_.get(), out_.get()}) {
        order.insert(order.end(), {s->grid, s->amount, s->date});
        if (s->org)
            order.insert(order.end(), {s->org, s->orgBrowse});
        order.insert(order.end(), {s->cbc, s->cbcBrowse, s->law, s->lawBrowse, s->ok, s->cancel});
    }
    order.push_back(OkButton);
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TSmEd::setPickers(books::TBookSelectForm* org, books::TBookSelectForm* cbc, books::TBookSelectForm* law)
{
    orgPicker_ = org;
    cbcPicker_ = cbc;
    lawPicker_ = law;
}

// ---------------------------------------------------------------- opening and closing

void TSmEd::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous() && !open_)
        FormActivate();
}

void TSmEd::FormActivate()
{
    open_ = true;
    try {
        // The postings as stored now, only the current account's, in key order.
        for (Side* s : {in_.get(), out_.get()}) {
            db_.SyncTable(*s->table);
            s->table->setOrder(QString::fromLatin1(s->keyOrder));
            s->table->setMaster(&db_.T1, QString::fromLatin1(s->accountField), QStringLiteral("Facebill"));
        }
        // The books in code order, for the nearest-code positioning.
        db_.Org_Table.setOrder(QStringLiteral("Org"));
        db_.CBCSPRTable.setOrder(QStringLiteral("CBC"));
        db_.LawSprTable.setOrder(QStringLiteral("LawRef"));
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    InAmountEditChange();
    OutAmountEditChange();
    OutPlanLineUpdate();
    focusAmount(*in_);
}

void TSmEd::OutPlanLineUpdate()
{
    auto clear = [this] {
        OutPlanLabel->clear();
        OutPlanRemainderLabel->clear();
    };
    const QString org = OutOrgEditField->text(), code = OutCBCEditField->text();
    // Nothing to say until both codes are whole and the date is a date.
    const QString dateText = OutDateEdit->text().trimmed();
    const bool emptyDate = dateText.isEmpty() || dateText == QLatin1String("..");
    if (!open_ || !hasAccount() || org.size() != 5 || org.contains(QLatin1Char(' ')) || code.size() != 19
        || code.contains(QLatin1Char(' ')) || (!emptyDate && !OutDateEdit->date().isValid())) {
        clear();
        return;
    }
    const QDate date = emptyDate ? QDate::currentDate() : OutDateEdit->date();
    PlanFigures f;
    try {
        f = planFigures(db_.PlanTable, db_.CorPlanTable, db_.T2_2,
                        db_.T1.fieldByName(QStringLiteral("Facebill")).asString(), org, code, date);
    } catch (const std::exception&) {
        // Typing goes on undisturbed: a store that cannot answer now only
        // leaves the line empty.
        clear();
        return;
    }
    if (!f.scheduled) {
        OutPlanLabel->setText(QStringLiteral("Нет росписи"));
        OutPlanRemainderLabel->clear();
        return;
    }
    OutPlanLabel->setText(QStringLiteral("План: %1  Израсходовано: %2  Остаток:")
                              .arg(ui::AmountEdit::format(f.plan), ui::AmountEdit::format(f.spent)));
    OutPlanRemainderLabel->setText(ui::AmountEdit::format(f.remainder()));
    const bool over = cents(f.remainder()) - cents(OutAmountEdit->value()) < 0;
    QPalette pal = OutPlanRemainderLabel->palette();
    pal.setColor(QPalette::WindowText, over ? QColor(Qt::red) : palette().color(QPalette::WindowText));
    OutPlanRemainderLabel->setPalette(pal);
}

// The amount with its text selected, so that the next amount is typed over it.
void TSmEd::focusAmount(Side& s)
{
    s.amount->setFocus(Qt::TabFocusReason);
    s.amount->selectAll();
}

void TSmEd::done(int result)
{
    if (open_)
        FormDeactivate();
    QDialog::done(result);
}

void TSmEd::reject() { OkButtonClick(); }

void TSmEd::OkButtonClick() { accept(); }

void TSmEd::FormDeactivate()
{
    open_ = false;
    try {
        db_.T2_1.clearMaster();
        db_.T2_2.clearMaster();
        // Every table read anew, and the accounts list back on this account.
        const int account = db_.T1.isOpen() ? db_.T1.recNo() : 0;
        db_.SyncAllTables();
        if (account > 0)
            db_.T1.setRecNo(account);
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

// ---------------------------------------------------------------- entry

bool TSmEd::hasAccount()
{
    try {
        return db_.T1.isOpen() && !db_.T1.isEmpty();
    } catch (const std::exception&) {
        return false;
    }
}

void TSmEd::InAmountEditChange() { amountChange(*in_); }

void TSmEd::OutAmountEditChange() { amountChange(*out_); }

// A side can post while its amount reads anything but nothing or "0,00",
// and only to an account.
void TSmEd::amountChange(Side& s)
{
    const QString text = s.amount->text();
    const bool on = !text.isEmpty() && text != QLatin1String("0,00") && hasAccount();
    s.ok->setEnabled(on);
    s.date->setEnabled(on);
}

void TSmEd::InAmountEditKeyDown(int& key, Qt::KeyboardModifiers)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    if (InAmountEdit->value() != 0)
        InDateEdit->setFocus(Qt::TabFocusReason);
    else
        focusAmount(*out_);
    key = 0;
}

bool TSmEd::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == InAmountEdit && event->type() == QEvent::KeyPress) {
        auto* e = static_cast<QKeyEvent*>(event);
        int key = e->key();
        InAmountEditKeyDown(key, e->modifiers());
        if (key == 0)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- posting and deleting

void TSmEd::InOkBtnClick() { post(*in_); }

void TSmEd::OutOkBtnClick() { post(*out_); }

void TSmEd::post(Side& s)
{
    if (!hasAccount()) {
        ui::message(NoAccountText);
        return;
    }
    store::Table& t = *s.table;
    try {
        t.append();   // the link gives the account
        t.fieldByName(QStringLiteral("Amount")).setAsFloat(s.amount->value());
        const QDate typed = s.date->date();
        t.fieldByName(QStringLiteral("FiDate")).setAsDate(typed.isValid() ? typed : QDate::currentDate());
        t.fieldByName(QStringLiteral("CBC")).setAsString(s.cbc->text());
        t.fieldByName(QStringLiteral("LawRef")).setAsString(s.law->text());
        if (s.org)
            t.fieldByName(QStringLiteral("Org")).setAsString(s.org->text());
        t.post();
    } catch (const std::exception& e) {
        reportPostRefusal(s.postName, store::errorText(e));
        try {
            if (t.isOpen())
                t.cancel();
        } catch (const std::exception&) {
        }
    }
    calcSum(s);
    // Only the amount is typed anew; date and codes stay for the next posting.
    s.amount->setValue(0);
    if (&s == out_.get())
        OutPlanLineUpdate();
    focusAmount(s);
}

void TSmEd::InCancelBtnClick() { removeRow(*in_); }

void TSmEd::OutCancelBtnClick() { removeRow(*out_); }

void TSmEd::removeRow(Side& s)
{
    store::Table& t = *s.table;
    try {
        if (t.isOpen() && !t.isEmpty())
            t.remove();
    } catch (const std::exception& e) {
        ui::message(DeveloperText + s.deleteName + QLatin1Char(':') + store::errorText(e));
        try {
            t.cancel();
        } catch (const std::exception&) {
        }
    }
    calcSum(s);
    if (&s == out_.get())
        OutPlanLineUpdate();
    s.grid->setFocus(Qt::OtherFocusReason);
}

void TSmEd::Grid1CalcSum() { calcSum(*in_); }

void TSmEd::Grid2CalcSum() { calcSum(*out_); }

// The side's total from every posting of the account as stored now, and the
// remainder from it and the other side's stored total.
void TSmEd::calcSum(Side& s)
{
    store::Table& t1 = db_.T1;
    if (!hasAccount())
        return;
    try {
        recountAccount(t1, *s.table,
                       s.table == in_->table ? PostingSide::Receipts : PostingSide::Expenditures);
        // The grid shows the account's postings as stored now, other
        // copies' included, and stays on its row.
        s.table->refresh();
    } catch (const std::exception& e) {
        ui::message(DeveloperText + s.sumName + QLatin1Char(':') + store::errorText(e));
        try {
            t1.cancel();
        } catch (const std::exception&) {
        }
    }
}

// ---------------------------------------------------------------- the grids

void TSmEd::InDBGridCellClick() { copyRow(*in_); }

void TSmEd::OutDBGridCellClick() { copyRow(*out_); }

// The highlighted posting into the entry row; with no rows the amount
// becomes 0, the date today and the codes blank.
void TSmEd::copyRow(Side& s)
{
    store::Table& t = *s.table;
    if (!open_ || !t.isOpen())
        return;
    try {
        s.amount->setValue(t.fieldByName(QStringLiteral("Amount")).asFloat());
        const QDate d = t.fieldByName(QStringLiteral("FiDate")).asDate();
        s.date->setDate(d.isValid() ? d : QDate::currentDate());
        s.cbc->setText(t.fieldByName(QStringLiteral("CBC")).asString());
        const QVariant law = t.fieldByName(QStringLiteral("LawRef")).value();
        s.law->setText(law.toString());
        QVariant org;
        if (s.org) {
            org = t.fieldByName(QStringLiteral("Org")).value();
            s.org->setText(org.toString());
        }
        if (db_.LawSprTable.isOpen())
            db_.LawSprTable.findNearest({law});
        if (s.org && db_.Org_Table.isOpen())
            db_.Org_Table.findNearest({org});
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    s.grid->setFocus(Qt::OtherFocusReason);
}

// Tab, with or without Shift, does nothing in a grid.
void TSmEd::InDBGridKeyDown(int& key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        key = 0;
}

void TSmEd::OutDBGridKeyDown(int& key, Qt::KeyboardModifiers shift) { InDBGridKeyDown(key, shift); }

void TSmEd::InDBGridKeyUp(int&, Qt::KeyboardModifiers) { InDBGridCellClick(); }

void TSmEd::OutDBGridKeyUp(int& key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
        key = 0;
    OutDBGridCellClick();
}

bool TSmEd::gridKey(QKeyEvent* e, void (TSmEd::*down)(int&, Qt::KeyboardModifiers),
                    void (TSmEd::*up)(int&, Qt::KeyboardModifiers))
{
    int key = e->key();
    if (e->type() == QEvent::KeyPress)
        (this->*down)(key, e->modifiers());
    else
        (this->*up)(key, e->modifiers());
    return key == 0;
}

// ---------------------------------------------------------------- the pickers

// The book at the code of the highlighted posting (the nearest at or after
// it), then the picker; the chosen code on OK.
std::optional<QString> TSmEd::pick(books::TBookSelectForm* picker, store::Table& book, Side& s, const char* field)
{
    if (!picker)
        return std::nullopt;
    try {
        if (book.isOpen() && s.table->isOpen())
            book.findNearest({s.table->fieldByName(QLatin1String(field)).value()});
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        return std::nullopt;
    }
    return picker->choose();
}

void TSmEd::browseCode(Side& s)
{
    if (const auto code = pick(cbcPicker_, db_.CBCSPRTable, s, "CBC"))
        s.cbc->setText(*code);
}

void TSmEd::browseLaw(Side& s)
{
    if (const auto code = pick(lawPicker_, db_.LawSprTable, s, "LawRef"))
        s.law->setText(*code);
}

void TSmEd::InCBCBrowseClick() { browseCode(*in_); }

void TSmEd::InLawBrowseClick() { browseLaw(*in_); }

void TSmEd::OutCBCBrowseClick() { browseCode(*out_); }

void TSmEd::OutLawBrowseClick() { browseLaw(*out_); }

// The organization, and its own code when it has one.
void TSmEd::ORGBrowseButtonClick()
{
    const auto org = pick(orgPicker_, db_.Org_Table, *out_, "Org");
    if (!org)
        return;
    // The chosen organization's own code, from the row the picker left current.
    const QString cbc = db_.Org_Table.fieldByName(QStringLiteral("Cbc")).asString();
    OutOrgEditField->setText(*org);
    if (!cbc.isEmpty())
        OutCBCEditField->setText(cbc);
}

} // namespace accounts
