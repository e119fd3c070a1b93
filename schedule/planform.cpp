#include "schedule/planform.h"

#include "accounts/lichform.h"
#include "books/books.h"
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
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace schedule {

namespace {

using store::Table;
using store::TableState;

using ui::command;
using ui::editing;
using ui::popupOver;
using ui::toolButton;

const QString NoOrg = QStringLiteral("00000");
const QString NoCbc = QStringLiteral("0000000000000000000");

ui::DBEdit* quarterEdit(Table& t, const char* name, const char* field)
{
    auto* e = new ui::DBEdit;
    e->setObjectName(QString::fromLatin1(name));
    e->setField(&t, QString::fromLatin1(field));
    e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    e->setFixedWidth(120);
    return e;
}

QPushButton* browseButton(const char* name, const QString& hint)
{
    auto* b = new QPushButton(QStringLiteral(". . ."));
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setFixedSize(30, TSegmentedEdit::DefaultHeight + 2);
    return b;
}

} // namespace

// ---------------------------------------------------------------- the row dialog

TEditPlanForm::TEditPlanForm(dm::TDataBase1& db, QWidget* parent) : QDialog(parent), db_(db)
{
    setObjectName("EditPlanForm");
    setWindowTitle(QStringLiteral("Добавление/изменение"));
    setModal(true);
    Table& t = db.PlanTable;

    OrgEditField = TOrgEdit::createOrganization();
    OrgEditField->setObjectName("OrgEditField");
    connect(OrgEditField, &TSegmentedEdit::changed, this, &TEditPlanForm::OrgEditFieldChange);
    ORGBrowseButton = browseButton("ORGBrowseButton", QStringLiteral("Выбрать организацию из справочника"));
    connect(ORGBrowseButton, &QPushButton::clicked, this, &TEditPlanForm::ORGBrowseButtonClick);

    CBCEditField = TCBCEdit::createCode();
    CBCEditField->setObjectName("CBCEditField");
    connect(CBCEditField, &TSegmentedEdit::changed, this, &TEditPlanForm::CBCEditFieldChange);
    CBCBrowse = browseButton("CBCBrowse", QStringLiteral("Выбрать КБК из справочника"));
    connect(CBCBrowse, &QPushButton::clicked, this, &TEditPlanForm::CBCBrowseClick);

    Sum1Edit = quarterEdit(t, "Sum1Edit", "Sum1");
    Sum2Edit = quarterEdit(t, "Sum2Edit", "Sum2");
    Sum3Edit = quarterEdit(t, "Sum3Edit", "Sum3");
    Sum4Edit = quarterEdit(t, "Sum4Edit", "Sum4");
    SumAllEdit = quarterEdit(t, "SumAllEdit", "AllSum");
    SumAllEdit->setReadOnly(true);
    SumAllEdit->setDataReadOnly(true);
    SumAllEdit->setFocusPolicy(Qt::ClickFocus);
    QPalette pal = SumAllEdit->palette();
    pal.setColor(QPalette::Base, QColor(255, 255, 0));
    pal.setColor(QPalette::Text, Qt::black);
    SumAllEdit->setPalette(pal);

    RefEditDB = new ui::DBEdit(this);
    RefEditDB->setObjectName("RefEditDB");
    RefEditDB->setField(&t, QStringLiteral("Org"));
    RefEditDB->setDataReadOnly(true);
    RefEditDB->hide();
    CDCDBEdit = new ui::DBEdit(this);
    CDCDBEdit->setObjectName("CDCDBEdit");
    CDCDBEdit->setField(&t, QStringLiteral("Cbc"));
    CDCDBEdit->setDataReadOnly(true);
    CDCDBEdit->hide();

    OkButton = new QPushButton(QStringLiteral("&ОК"));
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("О&тмена"));
    CancelButton->setObjectName("CancelButton");
    connect(OkButton, &QPushButton::clicked, this, &TEditPlanForm::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TEditPlanForm::CancelButtonClick);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    grid->addWidget(new QLabel(QStringLiteral("Код\nорг.:")), 0, 0, right);
    auto* orgRow = new QHBoxLayout;
    orgRow->addWidget(OrgEditField);
    orgRow->addWidget(ORGBrowseButton);
    orgRow->addStretch();
    grid->addLayout(orgRow, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("КБК:")), 1, 0, right);
    auto* cbcRow = new QHBoxLayout;
    cbcRow->addWidget(CBCEditField);
    cbcRow->addWidget(CBCBrowse);
    cbcRow->addStretch();
    grid->addLayout(cbcRow, 1, 1);
    const std::pair<const char*, ui::DBEdit*> sums[] = {{"I квартал:", Sum1Edit},
                                                        {"II квартал:", Sum2Edit},
                                                        {"III квартал:", Sum3Edit},
                                                        {"IV квартал:", Sum4Edit},
                                                        {"Итого:", SumAllEdit}};
    int row = 2;
    for (const auto& [text, edit] : sums) {
        auto* l = new QLabel(QString::fromUtf8(text));
        l->setBuddy(edit);
        grid->addWidget(l, row, 0, right);
        grid->addWidget(edit, row, 1, Qt::AlignLeft);
        ++row;
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);

    QWidget* prev = OrgEditField->segment(1);
    auto chain = [&prev, this](QWidget* w) {
        setTabOrder(prev, w);
        prev = w;
    };
    chain(OrgEditField->segment(2));
    chain(ORGBrowseButton);
    for (int k = 1; k <= CBCEditField->segmentCount(); ++k)
        chain(CBCEditField->segment(k));
    chain(CBCBrowse);
    chain(Sum1Edit);
    chain(Sum2Edit);
    chain(Sum3Edit);
    chain(Sum4Edit);
    chain(OkButton);
    chain(CancelButton);
    ui::installButtonKeys(this);
}

void TEditPlanForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormActivate();
    if (parentWidget()) {
        const QRect p = parentWidget()->window()->frameGeometry();
        move(p.center() - rect().center());
    }
}

void TEditPlanForm::FormActivate()
{
    closing_ = false;
    Table& t = db_.PlanTable;
    try {
        // Change on an empty schedule starts a new row.
        if (t.isOpen() && t.state() == TableState::Browse) {
            if (t.isEmpty())
                t.append();
            else
                t.edit();
        }
        if (t.isOpen()) {
            const QSignalBlocker q1(OrgEditField);
            const QSignalBlocker q2(CBCEditField);
            OrgEditField->setText(t.fieldByName(QStringLiteral("Org")).asString());
            CBCEditField->setText(t.fieldByName(QStringLiteral("Cbc")).asString());
        }
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    for (ui::DBEdit* e : {Sum1Edit, Sum2Edit, Sum3Edit, Sum4Edit, SumAllEdit})
        e->reload();
    Sum1Edit->setFocus(Qt::OtherFocusReason);
    Sum1Edit->selectAll();
}

void TEditPlanForm::OrgEditFieldChange()
{
    Table& t = db_.PlanTable;
    if (!t.isOpen() || !editing(t))
        return;
    try {
        t.fieldByName(QStringLiteral("Org")).setAsString(OrgEditField->text());
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

void TEditPlanForm::CBCEditFieldChange()
{
    Table& t = db_.PlanTable;
    if (!t.isOpen() || !editing(t))
        return;
    try {
        t.fieldByName(QStringLiteral("Cbc")).setAsString(CBCEditField->text());
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

void TEditPlanForm::ORGBrowseButtonClick()
{
    if (!orgs_)
        return;
    try {
        if (db_.Org_Table.isOpen())
            db_.Org_Table.findNearest({OrgEditField->text().trimmed()});
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    if (const std::optional<QString> code = orgs_->choose()) {
        OrgEditField->setText(*code);
        const QString cbc = db_.Org_Table.isOpen() ? db_.Org_Table.fieldByName(QStringLiteral("Cbc")).asString() : QString();
        if (!cbc.trimmed().isEmpty())
            CBCEditField->setText(cbc);
    }
}

void TEditPlanForm::CBCBrowseClick()
{
    Table& c = db_.CBCSPRTable;
    std::optional<QString> code;
    try {
        // The whole book, not only the row's code.
        c.clearMaster();
        if (c.isOpen())
            c.findNearest({CBCEditField->text().trimmed()});
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    if (codes_)
        code = codes_->choose();
    if (code)
        CBCEditField->setText(*code);
    try {
        c.setMaster(&db_.PlanTable, QStringLiteral("CBC"), QStringLiteral("Cbc"));
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
}

void TEditPlanForm::OkButtonClick()
{
    Table& t = db_.PlanTable;
    closing_ = true;
    try {
        // The quarter being typed goes in first; a refused one keeps the dialog.
        for (ui::DBEdit* e : {Sum1Edit, Sum2Edit, Sum3Edit, Sum4Edit})
            if (e->hasFocus() && !e->commit()) {
                closing_ = false;
                return;
            }
        t.post();
    } catch (const std::exception& e) {
        const QString err = store::errorText(e);
        if (err == QLatin1String(schema::KeyViolation))
            ui::message(QStringLiteral("Введенный код организации и КБК уже добавлен в план. Добавте суммы к уже "
                                       "существующей строке. PlanEditF:") + err);
        if (err == QLatin1String("Field value out of lookup table range."))
            ui::message(QStringLiteral("Ошибка. PlanEditF:") + err);
        if (err != QLatin1String(schema::KeyViolation) && err != QLatin1String("Field value out of lookup table range."))
            ui::message(QStringLiteral("Обратитесь к разработчику. PlanEditF:") + err);
        try {
            if (t.isOpen())
                t.cancel();
        } catch (const std::exception&) {
        }
    }
    QDialog::accept();
}

void TEditPlanForm::CancelButtonClick()
{
    Table& t = db_.PlanTable;
    closing_ = true;
    try {
        if (t.isOpen())
            t.cancel();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    QDialog::reject();
}

void TEditPlanForm::reject()
{
    if (closing_) {
        QDialog::reject();
        return;
    }
    CancelButtonClick();
}

// ---------------------------------------------------------------- the schedule window

TPlanSelectForm::TPlanSelectForm(dm::TDataBase1& db, QWidget* parent) : QDialog(parent), db_(db)
{
    setObjectName("PlanSelectForm");
    setWindowTitle(QStringLiteral("Утвержденная роспись расходов"));
    setModal(true);
    Table& t = db.PlanTable;

    ToolBar1 = new QToolBar;
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setIconSize(QSize(ui::ImageSize, ui::ImageSize));
    AddPlanButton = toolButton(ToolBar1, "AddPlanButton", QStringLiteral("Добавить"), '+', [this] { AddPlanButtonClick(); });
    EditPlanButton =
        toolButton(ToolBar1, "EditPlanButton", QStringLiteral("Изменить"), 'e', [this] { EditPlanButtonClick(); });
    DeletePlanButton =
        toolButton(ToolBar1, "DeletePlanButton", QStringLiteral("Удалить"), 'x', [this] { DeletePlanButtonClick(); });
    ToolBar1->addSeparator();
    PrintButton = toolButton(ToolBar1, "PrintButton", QStringLiteral("Печатать роспись"), 'p', [this] { PrintButtonClick(); });

    FaceBillRxDBLookupCombo = new ui::DBLookupCombo;
    FaceBillRxDBLookupCombo->setObjectName("FaceBillRxDBLookupCombo");
    FaceBillRxDBLookupCombo->setTable(&db.T1, QStringLiteral("Facebill"));
    FaceBillRxDBLookupCombo->setToolTip(QStringLiteral("Выберите лицевой счет по которому следует отобразить роспись"));
    FaceBillRxDBLookupCombo->setFixedWidth(150);
    FaceBillBrowseButton = new QPushButton(QStringLiteral(". . ."));
    FaceBillBrowseButton->setObjectName("FaceBillBrowseButton");
    FaceBillBrowseButton->setToolTip(QStringLiteral("Обзор"));
    FaceBillBrowseButton->setFixedWidth(30);
    connect(FaceBillBrowseButton, &QPushButton::clicked, this, &TPlanSelectForm::FaceBillBrowseButtonClick);

    DBCBCInfo = new ui::DBEdit;
    DBCBCInfo->setObjectName("DBCBCInfo");
    DBCBCInfo->setField(&db.CBCSPRTable, QStringLiteral("SNAME"));
    DBCBCInfo->setReadOnly(true);
    DBCBCInfo->setDataReadOnly(true);
    DBCBCInfo->setFocusPolicy(Qt::NoFocus);

    auto search = [&t](const char* name, const char* field, int width) {
        auto* c = new ui::DBLookupCombo;
        c->setObjectName(QString::fromLatin1(name));
        c->setTable(&t, QString::fromLatin1(field));
        c->setToolTip(QStringLiteral("Используйте для быстрого поиска"));
        c->setDropDownRows(8);
        c->setFocusPolicy(Qt::ClickFocus);
        c->setFixedWidth(width);
        return c;
    };
    RxDBLookupCombo1 = search("RxDBLookupCombo1", "Org", 110);
    RxDBLookupCombo2 = search("RxDBLookupCombo2", "Cbc", 180);

    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    PlanRxDBGrid = new ui::DBGrid;
    PlanRxDBGrid->setObjectName("PlanRxDBGrid");
    PlanRxDBGrid->setTable(&t);
    PlanRxDBGrid->setColumns({{QStringLiteral("Org"), QStringLiteral("Код"), 60},
                              {QStringLiteral("OrgName"), QStringLiteral("Организация"), 160},
                              {QStringLiteral("Cbc"), QStringLiteral("КБК"), 150},
                              {QStringLiteral("AllSum"), QStringLiteral("Всего"), 90, right},
                              {QStringLiteral("Sum1"), QStringLiteral("I квартал"), 90, right},
                              {QStringLiteral("Sum2"), QStringLiteral("II квартал"), 90, right},
                              {QStringLiteral("Sum3"), QStringLiteral("III квартал"), 90, right},
                              {QStringLiteral("Sum4"), QStringLiteral("IV квартал"), 90, right}});
    PlanRxDBGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    PlanRxDBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QPalette gp = PlanRxDBGrid->palette();
    gp.setColor(QPalette::Inactive, QPalette::Highlight, gp.color(QPalette::Active, QPalette::Highlight));
    gp.setColor(QPalette::Inactive, QPalette::HighlightedText, gp.color(QPalette::Active, QPalette::HighlightedText));
    PlanRxDBGrid->setPalette(gp);
    PlanRxDBGrid->viewport()->installEventFilter(this);
    PlanRxDBGrid->installEventFilter(this);

    ChangeButton = new QPushButton(QStringLiteral("Изменить"));
    ChangeButton->setObjectName("ChangeButton");
    ChangeButton->setDefault(true);
    ChangeButton->installEventFilter(this);
    connect(ChangeButton, &QPushButton::clicked, this, &TPlanSelectForm::ChangeButtonClick);
    CancelButton = new QPushButton(QStringLiteral("Закрыть"));
    CancelButton->setObjectName("CancelButton");
    CancelButton->installEventFilter(this);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    // The totals panel.
    auto* box = new QGroupBox(QStringLiteral("F2 - Дополнительная информация"));
    box->setObjectName("InfoBox");
    InfoBox = box;
    auto* info = new QGridLayout(box);
    info->setSpacing(2);
    const char* heads[] = {"I кв.", "I - II кв.", "I - III кв.", "I - IV кв."};
    for (int c = 0; c < 4; ++c)
        info->addWidget(new QLabel(QString::fromUtf8(heads[c])), 0, c + 1, Qt::AlignCenter);
    auto view = [box](const QString& name) {
        auto* e = new QLineEdit(box);
        e->setObjectName(name);
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return e;
    };
    QLineEdit** rows[3][4] = {{&PlView1, &PlView2, &PlView3, &PlView4},
                              {&RView1, &RView2, &RView3, &RView4},
                              {&OstView1, &OstView2, &OstView3, &OstView4}};
    const char* rowNames[] = {"PlView", "RView", "OstView"};
    const char* rowTitles[] = {"План", "Расход", "Остаток"};
    for (int r = 0; r < 3; ++r) {
        info->addWidget(new QLabel(QString::fromUtf8(rowTitles[r])), r + 1, 0);
        for (int c = 0; c < 4; ++c) {
            *rows[r][c] = view(QString::fromLatin1(rowNames[r]) + QString::number(c + 1));
            info->addWidget(*rows[r][c], r + 1, c + 1);
        }
    }

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    AddMenu = command(PopupMenu1, this, "AddMenu", QStringLiteral("Добавить"), QKeySequence(Qt::Key_Insert),
                      [this] { AddPlanButtonClick(); });
    EditMenu = command(PopupMenu1, this, "EditMenu", QStringLiteral("Изменить"), {}, [this] { EditPlanButtonClick(); });
    DelMenu = command(PopupMenu1, this, "DelMenu", QStringLiteral("Удалить"), QKeySequence(Qt::Key_Delete),
                      [this] { DeletePlanButtonClick(); });
    PopupMenu1->addSeparator();
    CalcItog1 = command(PopupMenu1, this, "CalcItog1", QStringLiteral("Подсчитать итоги"), QKeySequence(Qt::Key_F2),
                        [this] { CalcItog1Click(); });
    popupOver(PlanRxDBGrid, PopupMenu1);
    popupOver(RxDBLookupCombo1, PopupMenu1);
    popupOver(RxDBLookupCombo2, PopupMenu1);

    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->addWidget(new QLabel(QStringLiteral("INS - Добавить        Del - Удалить")), 1);

    auto* account = new QHBoxLayout;
    account->addWidget(new QLabel(QStringLiteral("Лиц. счет:")));
    account->addWidget(FaceBillRxDBLookupCombo);
    account->addWidget(FaceBillBrowseButton);
    account->addSpacing(12);
    account->addWidget(new QLabel(QStringLiteral("Расшифровка КБК:")));
    account->addWidget(DBCBCInfo, 1);
    auto* quick = new QHBoxLayout;
    quick->addWidget(RxDBLookupCombo1);
    quick->addWidget(RxDBLookupCombo2);
    quick->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(InfoBox, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ChangeButton);
    buttons->addWidget(CancelButton);
    bottom->addLayout(buttons);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(4, 0, 4, 0);
    top->setSpacing(4);
    top->addWidget(ToolBar1);
    top->addLayout(account);
    top->addLayout(quick);
    top->addWidget(PlanRxDBGrid, 1);
    top->addLayout(bottom);
    top->addWidget(StatusBar1);
    setTabOrder(PlanRxDBGrid, ChangeButton);
    setTabOrder(ChangeButton, CancelButton);
    resize(900, 520);
    ui::installButtonKeys(this);
}

void TPlanSelectForm::EnableReference()
{
    try {
        db_.T1.clearMaster();
        db_.T1.setFiltered(false);
        Table& p = db_.PlanTable;
        p.setOrder(QStringLiteral("FaceBill"));
        p.setMaster(&db_.T1, QStringLiteral("FaceBill"), QStringLiteral("Facebill"));
        p.setFiltered(false);
        db_.Org_Table.clearMaster();
        db_.CBCSPRTable.setMaster(&p, QStringLiteral("CBC"), QStringLiteral("Cbc"));
        db_.T2_2.setFiltered(false);
        db_.T2_2.setFilterCallback([this](Table& t) { return FilterT2_2(t); });
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    PlanRxDBGrid->setFocus(Qt::OtherFocusReason);
}

void TPlanSelectForm::DisableReference()
{
    db_.PlanTable.setCalcFields({});
    db_.CBCSPRTable.clearMaster();
    db_.T2_2.setFiltered(false);
    db_.T2_2.setFilterCallback({});
    db_.PlanTable.clearMaster();
    db_.PlanTable.setOrder(QStringLiteral("Org;Cbc;FaceBill"));
}

void TPlanSelectForm::ClearItog()
{
    for (QLineEdit* e : {PlView1, PlView2, PlView3, PlView4, RView1, RView2, RView3, RView4, OstView1, OstView2, OstView3,
                         OstView4})
        e->clear();
}

void TPlanSelectForm::AddPlanButtonClick()
{
    Table& t = db_.PlanTable;
    try {
        if (!t.isOpen())
            return;
        QString org, cbc;
        if (!t.isEmpty()) {
            org = t.fieldByName(QStringLiteral("Org")).asString();
            cbc = t.fieldByName(QStringLiteral("Cbc")).asString();
        }
        const QString account = db_.T1.isOpen() && !db_.T1.isEmpty() ? db_.T1.fieldByName(QStringLiteral("Facebill")).asString()
                                                                      : QString();
        t.append();
        t.fieldByName(QStringLiteral("Org")).setAsString(org.isEmpty() ? NoOrg : org);
        t.fieldByName(QStringLiteral("Cbc")).setAsString(cbc.isEmpty() ? NoCbc : cbc);
        t.fieldByName(QStringLiteral("FaceBill")).setAsString(account);
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        return;
    }
    if (dialog_)
        dialog_->exec();
    ClearItog();
}

void TPlanSelectForm::EditPlanButtonClick()
{
    try {
        Table& t = db_.PlanTable;
        if (t.isOpen() && t.state() == TableState::Browse && !t.isEmpty())
            t.edit();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        return;
    }
    if (dialog_)
        dialog_->exec();
    ClearItog();
}

void TPlanSelectForm::DeletePlanButtonClick()
{
    Table& t = db_.PlanTable;
    try {
        if (t.isOpen() && !t.isEmpty())
            t.remove();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    ClearItog();
}

bool TPlanSelectForm::matches(const QString& value, const QString& pattern)
{
    for (int i = 0; i < value.size(); ++i) {
        const QChar p = i < pattern.size() ? pattern.at(i) : QLatin1Char(' ');
        if (p != QLatin1Char('*') && p != value.at(i))
            return false;
    }
    return true;
}

bool TPlanSelectForm::FilterT2_2(Table& t) const
{
    if (!matches(t.fieldByName(QStringLiteral("Org")).asString(), orgPattern_))
        return false;
    if (!matches(t.fieldByName(QStringLiteral("CBC")).asString(), cbcPattern_))
        return false;
    const QDate d = t.fieldByName(QStringLiteral("FiDate")).asDate();
    if (!d.isValid() || d > to_ || d < from_)
        return false;
    return matches(t.fieldByName(QStringLiteral("Facebill")).asString(), account_);
}

double TPlanSelectForm::CalcSumTable()
{
    Table& t = db_.T2_2;
    double s = 0;
    t.disableControls();
    try {
        for (t.first(); !t.eof(); t.next()) {
            const store::Field& f = t.fieldByName(QStringLiteral("Amount"));
            if (!f.isNull())
                s += f.asFloat();
        }
    } catch (...) {
        t.enableControls();
        throw;
    }
    t.enableControls();
    return s;
}

void TPlanSelectForm::CalcItog()
{
    Table& p = db_.PlanTable;
    double plan[4] = {0, 0, 0, 0}, spent[4] = {0, 0, 0, 0};
    try {
        if (!p.isOpen() || editing(p))
            return;
        const int year = db_.settingsYear();
        if (!p.isEmpty()) {
            orgPattern_ = p.fieldByName(QStringLiteral("Org")).asString();
            cbcPattern_ = p.fieldByName(QStringLiteral("Cbc")).asString();
            account_ = db_.T1.isEmpty() ? QString() : db_.T1.fieldByName(QStringLiteral("Facebill")).asString();
            from_ = QDate(year, 1, 1);
            double run = 0;
            for (int q = 0; q < 4; ++q) {
                const store::Field& f = p.fieldByName(QStringLiteral("Sum%1").arg(q + 1));
                run += f.isNull() ? 0.0 : f.asFloat();
                plan[q] = run;
            }
            for (int q = 0; q < 4; ++q) {
                // The first day of the following month minus one day.
                to_ = (q == 3 ? QDate(year + 1, 1, 1) : QDate(year, 3 * (q + 1) + 1, 1)).addDays(-1);
                db_.T2_2.setFiltered(false);
                db_.T2_2.setFiltered(true);
                spent[q] = CalcSumTable();
            }
        }
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
        return;
    }
    const QString format = QStringLiteral("#0.00");
    QLineEdit* pl[] = {PlView1, PlView2, PlView3, PlView4};
    QLineEdit* r[] = {RView1, RView2, RView3, RView4};
    QLineEdit* o[] = {OstView1, OstView2, OstView3, OstView4};
    for (int q = 0; q < 4; ++q) {
        pl[q]->setText(store::formatNumber(plan[q], format));
        r[q]->setText(store::formatNumber(spent[q], format));
        o[q]->setText(store::formatNumber(plan[q] - spent[q], format));
    }
}

void TPlanSelectForm::PrintButtonClick()
{
    if (print_)
        print_(this);
}

void TPlanSelectForm::FaceBillBrowseButtonClick()
{
    if (!accounts_)
        return;
    if (const std::optional<QString> bill = accounts_->choose())
        FaceBillRxDBLookupCombo->setText(*bill);
}

bool TPlanSelectForm::FormCloseQuery()
{
    if (!db_.isOpen())
        return true;
    try {
        db_.PlanTable.setFiltered(false);
        db_.PlanTable.setFilterExpression(QString());
        db_.SyncAllTables();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    try {
        DisableReference();
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    return true;
}

void TPlanSelectForm::done(int r)
{
    FormCloseQuery();
    QDialog::done(r);
}

void TPlanSelectForm::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && childAt(e->position().toPoint()) == nullptr) {
        FormDblClick();
        return;
    }
    QDialog::mouseDoubleClickEvent(e);
}

bool TPlanSelectForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == PlanRxDBGrid->viewport()) {
        if (event->type() == QEvent::MouseButtonDblClick && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            PlanRxDBGridDblClick();
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress)
            PlanRxDBGridCellClick();
    }
    if ((watched == PlanRxDBGrid || watched == ChangeButton || watched == CancelButton) && event->type() == QEvent::KeyPress)
        ClearItog();
    return QDialog::eventFilter(watched, event);
}

} // namespace schedule
