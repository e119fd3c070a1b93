#include "schedule/corplan/corplanform.h"

#include "accounts/lichform.h"
#include "books/books.h"
#include "core/schema/schema.h"
#include "core/store/storeerror.h"
#include "core/ui/amountedit.h"
#include "core/ui/buttonkeys.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/dblookupcombo.h"
#include "core/ui/icons.h"
#include "core/ui/messagebox.h"

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace schedule {

namespace {

const QString Handler = QStringLiteral("TCorPlanForm.AddBtnClick:");

// One message for each condition the store's text meets, in this order,
// each followed at once by the store's text.
void reportRefusal(const QString& error)
{
    bool known = false;
    const auto say = [&](const QString& text) {
        ui::message(text + Handler + error);
        known = true;
    };
    if (error == QLatin1String(schema::KeyViolation))
        say(QStringLiteral("Точно такое уведомление уже внесено. Если его всеравно необходимо внести - добавте "
                           "указанные суммы к уже внесенному уведомлению. "));
    if (error == QLatin1String(schema::LookupViolation))
        say(QStringLiteral("Введено значение, которое не содержится в справочниках. Добавте его в справочник. "));
    if (error.contains(QLatin1String(schema::RequiredViolation)))
        say(QStringLiteral("Одно из обязательных полей не заполнено. Проверте заполнены ли все поля ввода. "));
    if (!known)
        say(QStringLiteral("Обратитесь к разработчику. "));
}

QPushButton* browseButton(const char* name, const QString& hint)
{
    auto* b = new QPushButton(QStringLiteral(". . ."));
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setFixedSize(24, TSegmentedEdit::DefaultHeight + 2);
    return b;
}

ui::DBLookupCombo* combo(const char* name, store::Table* t, const char* field, const QString& hint, int width)
{
    auto* c = new ui::DBLookupCombo;
    c->setObjectName(QString::fromLatin1(name));
    c->setTable(t, QString::fromLatin1(field));
    c->setToolTip(hint);
    c->setDropDownRows(8);
    c->setFixedWidth(width);
    return c;
}

ui::AmountEdit* amount(const char* name)
{
    auto* e = new ui::AmountEdit;
    e->setObjectName(QString::fromLatin1(name));
    e->setMinimumWidth(90);
    e->setValue(0);
    return e;
}

} // namespace

TCorPlanForm::TCorPlanForm(dm::TDataBase1& db, QWidget* parent) : QDialog(parent), db_(db)
{
    setObjectName(QStringLiteral("CorPlanForm"));
    setWindowTitle(QStringLiteral("Уведомления к росписи расходов"));
    setWindowIcon(ui::icon(ui::ImgCorrections));
    setModal(true);
    store::Table* cor = &db_.CorPlanTable;
    const QString search = QStringLiteral("Используйте для быстрого поиска");

    // --- header: the account
    FaceBillRxDBLookupCombo =
        combo("FaceBillRxDBLookupCombo", &db_.T1, "Facebill",
              QStringLiteral("Выберите лицевой счет по которому следует отобразить роспись"), 150);
    FaceBillBrowseButton = browseButton("FaceBillBrowseButton", QStringLiteral("Обзор"));
    auto* header = new QHBoxLayout;
    header->addWidget(new QLabel(QStringLiteral("Лицевой счет:")));
    header->addWidget(FaceBillRxDBLookupCombo);
    header->addWidget(FaceBillBrowseButton);
    header->addStretch();

    // --- quick search and the grid
    OrgRxDBLookupCombo1 = combo("OrgRxDBLookupCombo1", cor, "Org", search, 110);
    NumRxDBLookupCombo = combo("NumRxDBLookupCombo", cor, "Num", search, 90);
    AbsNumRxDBLookupCombo = combo("AbsNumRxDBLookupCombo", cor, "AbsNum", search, 90);
    auto* quick = new QHBoxLayout;
    quick->addWidget(OrgRxDBLookupCombo1);
    quick->addWidget(NumRxDBLookupCombo);
    quick->addWidget(AbsNumRxDBLookupCombo);
    quick->addStretch();

    CorDBGrid = new ui::DBGrid;
    CorDBGrid->setObjectName(QStringLiteral("CorDBGrid"));
    CorDBGrid->setTable(cor);
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    CorDBGrid->setColumns({{QStringLiteral("Org"), QStringLiteral("Код"), 60},
                           {QStringLiteral("Orgname"), QStringLiteral("Организация"), 180},
                           {QStringLiteral("Num"), QStringLiteral("Номер"), 60, right},
                           {QStringLiteral("CorDate"), QStringLiteral("Дата"), 80},
                           {QStringLiteral("Cbc"), QStringLiteral("КБК"), 150},
                           {QStringLiteral("Sum1"), QStringLiteral("I"), 80, right},
                           {QStringLiteral("Sum2"), QStringLiteral("II"), 80, right},
                           {QStringLiteral("Sum3"), QStringLiteral("III"), 80, right},
                           {QStringLiteral("Sum4"), QStringLiteral("IV"), 80, right},
                           {QStringLiteral("AbsNum"), QStringLiteral("Поряд.№"), 60, right}});
    CorDBGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    CorDBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CorDBGrid->horizontalHeader()->setStretchLastSection(true);
    DeleteCorRowBtn = new QPushButton(QStringLiteral("X"));
    DeleteCorRowBtn->setObjectName(QStringLiteral("DeleteCorRowBtn"));
    DeleteCorRowBtn->setToolTip(QStringLiteral("Удалить выбранное уведомление"));
    DeleteCorRowBtn->setFixedSize(28, 28);
    auto* gridRow = new QHBoxLayout;
    gridRow->addWidget(CorDBGrid, 1);
    auto* side = new QVBoxLayout;
    side->addWidget(DeleteCorRowBtn);
    side->addStretch();
    gridRow->addLayout(side);

    // --- the entry row
    OrgEdit = TOrgEdit::createOrganization();
    OrgEdit->setObjectName(QStringLiteral("OrgEdit"));
    ORGBrowseButton = browseButton("ORGBrowseButton", QStringLiteral("Выбрать организацию из справочника"));
    NumEdit = new ui::IntSpinEdit;
    NumEdit->setObjectName(QStringLiteral("NumEdit"));
    NumEdit->setValue(0);
    NumEdit->setMinimumWidth(70);
    CorDateEdit = new ui::DateEdit;
    CorDateEdit->setObjectName(QStringLiteral("CorDateEdit"));
    CorDateEdit->setDate(QDate::currentDate());
    CBCEdit = TCBCEdit::createCode();
    CBCEdit->setObjectName(QStringLiteral("CBCEdit"));
    CBCBrowseBtn = browseButton("CBCBrowseBtn", QStringLiteral("Выбрать КБК из справочника"));
    QHBoxLayout* codeLine = nullptr;
    QWidget* code = captionedCode(CBCEdit, &codeLine);
    codeLine->insertWidget(1, CBCBrowseBtn);
    auto* entry = new QHBoxLayout;
    entry->addWidget(new QLabel(QStringLiteral("Организация:")), 0, Qt::AlignBottom);
    entry->addWidget(OrgEdit, 0, Qt::AlignBottom);
    entry->addWidget(ORGBrowseButton, 0, Qt::AlignBottom);
    entry->addWidget(new QLabel(QStringLiteral("№ увед.:")), 0, Qt::AlignBottom);
    entry->addWidget(NumEdit, 0, Qt::AlignBottom);
    entry->addWidget(new QLabel(QStringLiteral("Дата:")), 0, Qt::AlignBottom);
    entry->addWidget(CorDateEdit, 0, Qt::AlignBottom);
    entry->addWidget(code, 0, Qt::AlignBottom);
    entry->addStretch();

    Sum1Edit = amount("Sum1Edit");
    Sum2Edit = amount("Sum2Edit");
    Sum3Edit = amount("Sum3Edit");
    Sum4Edit = amount("Sum4Edit");
    AddCorBtn = new QPushButton(QStringLiteral("Добавить"));
    AddCorBtn->setObjectName(QStringLiteral("AddCorBtn"));
    AddCorBtn->setToolTip(QStringLiteral("Добавить уведомление"));
    auto* sums = new QHBoxLayout;
    const QStringList quarters = {QStringLiteral("I кв."), QStringLiteral("II кв."), QStringLiteral("III кв."),
                                  QStringLiteral("IV кв.")};
    const ui::AmountEdit* edits[] = {Sum1Edit, Sum2Edit, Sum3Edit, Sum4Edit};
    for (int q = 0; q < 4; ++q) {
        sums->addWidget(new QLabel(quarters[q]));
        sums->addWidget(const_cast<ui::AmountEdit*>(edits[q]));
    }
    sums->addWidget(AddCorBtn);
    sums->addStretch();

    auto* group = new QGroupBox;
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto* g = new QVBoxLayout(group);
    g->addLayout(quick);
    g->addLayout(gridRow, 1);
    g->addLayout(entry);
    g->addLayout(sums);

    HintLabel = new QLabel(QStringLiteral("Используйте клавишу <TAB> для быстрого перемещения по полям"));
    HintLabel->setObjectName(QStringLiteral("HintLabel"));
    HintLabel->setTextFormat(Qt::PlainText);
    CloseButton = new QPushButton(QStringLiteral("&Закрыть"));
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(HintLabel);
    bottom->addStretch();
    bottom->addWidget(CloseButton);

    auto* top = new QVBoxLayout(this);
    top->addLayout(header);
    top->addWidget(group, 1);
    top->addLayout(bottom);

    // --- focus order
    const std::vector<QWidget*> order = {FaceBillRxDBLookupCombo, FaceBillBrowseButton, OrgRxDBLookupCombo1,
                                         NumRxDBLookupCombo,      AbsNumRxDBLookupCombo, CorDBGrid,
                                         DeleteCorRowBtn,         OrgEdit,               ORGBrowseButton,
                                         NumEdit,                 CorDateEdit,           CBCEdit,
                                         CBCBrowseBtn,            Sum1Edit,              Sum2Edit,
                                         Sum3Edit,                Sum4Edit,              AddCorBtn,
                                         CloseButton};
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    // --- handlers
    connect(FaceBillBrowseButton, &QPushButton::clicked, this, &TCorPlanForm::FaceBillBrowseButtonClick);
    connect(DeleteCorRowBtn, &QPushButton::clicked, this, &TCorPlanForm::DeleteCorRowBtnClick);
    connect(ORGBrowseButton, &QPushButton::clicked, this, &TCorPlanForm::ORGBrowseButtonClick);
    connect(CBCBrowseBtn, &QPushButton::clicked, this, &TCorPlanForm::CBCBrowseBtnClick);
    connect(AddCorBtn, &QPushButton::clicked, this, &TCorPlanForm::AddCorBtnClick);
    connect(CloseButton, &QPushButton::clicked, this, &TCorPlanForm::CloseButtonClick);
    connect(CorDBGrid, &ui::DBGrid::cellClicked, this, &TCorPlanForm::CorDBGridCellClick);
    CorDBGrid->setKeyFilter([this](QKeyEvent* e) { return gridKey(e); });

    resize(980, 560);
    ui::installButtonKeys(this);
}

void TCorPlanForm::setPickers(accounts::TLichSprForm* accounts, books::TBookSelectForm* orgs,
                              books::TBookSelectForm* codes)
{
    accounts_ = accounts;
    orgs_ = orgs;
    codes_ = codes;
}

// ---------------------------------------------------------------- opening and closing

void TCorPlanForm::EnableReference()
{
    try {
        db_.T1.clearMaster();
        db_.T1.setFiltered(false);
        store::Table& c = db_.CorPlanTable;
        c.setFiltered(false);
        c.setOrder(QStringLiteral("FaceBill"));
        c.setMaster(&db_.T1, QStringLiteral("FaceBill"), QStringLiteral("Facebill"));
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

void TCorPlanForm::CloseButtonClick() { reject(); }

void TCorPlanForm::done(int result)
{
    if (isVisible())
        DisableReference();
    QDialog::done(result);
}

void TCorPlanForm::DisableReference()
{
    try {
        store::Table& c = db_.CorPlanTable;
        c.setCalcFields({});
        db_.CBCSPRTable.clearMaster();
        c.clearMaster();
        c.setOrder(QStringLiteral("Org;Cbc;FaceBill;Num;CorDate"));
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

// ---------------------------------------------------------------- entry

void TCorPlanForm::AddCorBtnClick()
{
    store::Table& t = db_.CorPlanTable;
    try {
        t.append();
        t.fieldByName(QStringLiteral("Org")).setAsString(OrgEdit->text());
        t.fieldByName(QStringLiteral("Cbc")).setAsString(CBCEdit->text());
        t.fieldByName(QStringLiteral("FaceBill")).setAsString(FaceBillRxDBLookupCombo->text());
        t.fieldByName(QStringLiteral("Num")).setAsFloat(NumEdit->valueOr(0));
        const QDate d = CorDateEdit->date();
        t.fieldByName(QStringLiteral("CorDate")).setAsDate(d.isValid() ? d : QDate::currentDate());
        const ui::AmountEdit* edits[] = {Sum1Edit, Sum2Edit, Sum3Edit, Sum4Edit};
        for (int q = 0; q < 4; ++q)
            t.fieldByName(QStringLiteral("Sum%1").arg(q + 1)).setAsFloat(edits[q]->value());
        t.post();
    } catch (const std::exception& e) {
        reportRefusal(store::errorText(e));
        try {
            if (t.isOpen())
                t.cancel();
        } catch (const std::exception&) {
        }
    }
    // Organization, number, date and code stay: the next code of the same
    // notice is typed at once.
    for (ui::AmountEdit* e : {Sum1Edit, Sum2Edit, Sum3Edit, Sum4Edit})
        e->setValue(0);
    CBCEdit->setFocus(Qt::TabFocusReason);
}

void TCorPlanForm::DeleteCorRowBtnClick()
{
    store::Table& t = db_.CorPlanTable;
    try {
        if (t.isOpen() && !t.isEmpty())
            t.remove();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    CorDBGrid->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- the grid

// The highlighted notice into the entry fields; with no notices the fields
// are emptied: codes blank, number 0, date today, amounts 0.
void TCorPlanForm::CorDBGridCellClick()
{
    store::Table& t = db_.CorPlanTable;
    try {
        const bool any = t.isOpen() && !t.isEmpty();
        auto field = [&](const char* name) -> store::Field& { return t.fieldByName(QLatin1String(name)); };
        OrgEdit->setText(any ? field("Org").asString() : QString());
        CBCEdit->setText(any ? field("Cbc").asString() : QString());
        NumEdit->setValue(any ? int(std::lround(field("Num").asFloat())) : 0);
        const QDate d = any ? field("CorDate").asDate() : QDate();
        CorDateEdit->setDate(d.isValid() ? d : QDate::currentDate());
        ui::AmountEdit* edits[] = {Sum1Edit, Sum2Edit, Sum3Edit, Sum4Edit};
        for (int q = 0; q < 4; ++q)
            edits[q]->setValue(any ? t.fieldByName(QStringLiteral("Sum%1").arg(q + 1)).asFloat() : 0.0);
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    CorDBGrid->setFocus(Qt::OtherFocusReason);
}

// Tab, with or without Shift, is discarded in the grid; every key released
// there copies the notice it lands on.
bool TCorPlanForm::gridKey(QKeyEvent* e)
{
    const bool tab = e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab;
    if (e->type() == QEvent::KeyRelease && !e->isAutoRepeat())
        CorDBGridCellClick();
    return tab;
}

// ---------------------------------------------------------------- the pickers

void TCorPlanForm::FaceBillBrowseButtonClick()
{
    if (!accounts_)
        return;
    if (const auto bill = accounts_->choose())
        FaceBillRxDBLookupCombo->setText(*bill);
}

void TCorPlanForm::ORGBrowseButtonClick()
{
    if (!orgs_)
        return;
    try {
        if (db_.Org_Table.isOpen())
            db_.Org_Table.findNearest({OrgEdit->text()});
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        return;
    }
    const auto org = orgs_->choose();
    if (!org)
        return;
    const QString cbc = db_.Org_Table.fieldByName(QStringLiteral("Cbc")).asString();
    OrgEdit->setText(*org);
    if (!cbc.isEmpty())
        CBCEdit->setText(cbc);
}

void TCorPlanForm::CBCBrowseBtnClick()
{
    if (!codes_)
        return;
    try {
        if (db_.CBCSPRTable.isOpen())
            db_.CBCSPRTable.findNearest({CBCEdit->text()});
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        return;
    }
    if (const auto code = codes_->choose())
        CBCEdit->setText(*code);
}

} // namespace schedule
