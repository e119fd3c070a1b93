#include "reports/schedule/schedule_windows.h"

#include "core/datamodule/datamodule.h"
#include "core/store/table.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"
#include "core/ui/dblookupcombo.h"
#include "core/ui/messagebox.h"
#include "core/store/storeerror.h"
#include "books/books.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace reports {

TMDForm12::TMDForm12(const ReportContext& ctx, QWidget* parent)
    : TReportForm(ctx, QStringLiteral("Утвержденная роспись по лицевым счетам"), Organization | Code, parent),
      report_(*ctx.db)
{
    setObjectName(QStringLiteral("MDForm12"));
    auto* group = new QGroupBox(QStringLiteral("Параметры отчета"));
    group->setObjectName(QStringLiteral("ParamGroup"));
    EveryOneRB = new QRadioButton(QStringLiteral("По каждому лицевому отдельно"));
    EveryOneRB->setObjectName(QStringLiteral("EveryOneRB"));
    OnlyOneRB = new QRadioButton(QStringLiteral("Только по"));
    OnlyOneRB->setObjectName(QStringLiteral("OnlyOneRB"));
    SumAllRB = new QRadioButton(QStringLiteral("В сумме по всем лицевым"));
    SumAllRB->setObjectName(QStringLiteral("SumAllRB"));
    FaceBillRxDBLookupCombo = new ui::DBLookupCombo;
    FaceBillRxDBLookupCombo->setObjectName(QStringLiteral("FaceBillRxDBLookupCombo"));
    FaceBillRxDBLookupCombo->setToolTip(QStringLiteral("Выберите лицевой счет по которому следует отобразить роспись"));
    FaceBillRxDBLookupCombo->setTable(&ctx.db->T1, QStringLiteral("Facebill"));
    FaceBillBrowseButton = new QPushButton(QStringLiteral(". . ."));
    FaceBillBrowseButton->setObjectName(QStringLiteral("FaceBillBrowseButton"));
    FaceBillBrowseButton->setToolTip(QStringLiteral("Обзор"));
    FaceBillBrowseButton->setFixedWidth(30);
    auto* col = new QVBoxLayout(group);
    col->addWidget(EveryOneRB);
    auto* row = new QHBoxLayout;
    row->addWidget(OnlyOneRB);
    row->addWidget(FaceBillRxDBLookupCombo);
    row->addWidget(FaceBillBrowseButton);
    row->addStretch();
    col->addLayout(row);
    col->addWidget(SumAllRB);
    static_cast<QVBoxLayout*>(QDialog::layout())->insertWidget(0, group);
    EveryOneRB->setChecked(true);

    connect(OnlyOneRB, &QRadioButton::clicked, this, &TMDForm12::OnlyOneRBClick);
    connect(FaceBillBrowseButton, &QPushButton::clicked, this, &TMDForm12::FaceBillBrowseButtonClick);

    // Tab order: the choice with the list and its button, then the selections.
    const QList<QWidget*> order{EveryOneRB, OnlyOneRB, FaceBillRxDBLookupCombo, FaceBillBrowseButton, SumAllRB, OrgCheckBox};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

Selection TMDForm12::selection() const
{
    Selection s = TReportForm::selection();
    s.accounts = OnlyOneRB->isChecked() ? Selection::Accounts::OnlyOne
                 : SumAllRB->isChecked() ? Selection::Accounts::SumAll
                                         : Selection::Accounts::EveryOne;
    s.account = FaceBillRxDBLookupCombo->text();
    return s;
}

void TMDForm12::CreateAndShow()
{
    if (waitForm())
        waitForm()->setWindowTitle(QStringLiteral("Подготовка к подсчету"));
    TReportForm::CreateAndShow();
}

void TMDForm12::OnlyOneRBClick()
{
    FaceBillRxDBLookupCombo->setText(db().T1.fieldByName(QStringLiteral("Facebill")).asString());
}

void TMDForm12::FaceBillBrowseButtonClick()
{
    if (!accountPicker_)
        return;
    if (const std::optional<QString> account = accountPicker_())
        FaceBillRxDBLookupCombo->setText(*account);
}

// ------------------------------------------------------------------ the schedule execution

TMD9Form::TMD9Form(const ReportContext& ctx, QWidget* parent)
    : TSelectionDialog(QStringLiteral("Исполнение росписи по организациям"), Code, parent), ctx_(ctx), report_(*ctx.db)
{
    setObjectName(QStringLiteral("MD9Form"));
    setPickers(ctx.pickers);
    auto* outer = static_cast<QVBoxLayout*>(QDialog::layout());
    auto browseButton = [](const char* name, const QString& hint) {
        auto* b = new QPushButton(QStringLiteral(". . ."));
        b->setObjectName(QLatin1String(name));
        b->setToolTip(hint);
        b->setFixedWidth(30);
        return b;
    };

    auto* accounts = new QGroupBox(QStringLiteral("Учитывать лицевой счет"));
    AllRospRB = new QRadioButton(QStringLiteral("Все"));
    AllRospRB->setObjectName(QStringLiteral("AllRospRB"));
    AllRospRB->setToolTip(QStringLiteral("В отчете будет общая роспись и общий расход для каждой организации\nв сумме по всем лицевым счетам"));
    FaceOnlyRospRB = new QRadioButton(QStringLiteral("Только по л/счету"));
    FaceOnlyRospRB->setObjectName(QStringLiteral("FaceOnlyRospRB"));
    FaceOnlyRospRB->setToolTip(QStringLiteral("В отчете будет  роспись и  расход для каждой организации,\nно только по указанному л/с счету"));
    FaceBillRxDBLookupCombo = new ui::DBLookupCombo;
    FaceBillRxDBLookupCombo->setObjectName(QStringLiteral("FaceBillRxDBLookupCombo"));
    FaceBillRxDBLookupCombo->setToolTip(QStringLiteral("Выберите лицевой счет по которому следует отобразить роспись"));
    FaceBillRxDBLookupCombo->setTable(&ctx.db->T1, QStringLiteral("Facebill"));
    FaceBillBrowseButton = browseButton("FaceBillBrowseButton", QStringLiteral("Обзор"));
    auto* accCol = new QVBoxLayout(accounts);
    accCol->addWidget(AllRospRB);
    auto* accRow = new QHBoxLayout;
    accRow->addWidget(FaceOnlyRospRB);
    accRow->addWidget(FaceBillRxDBLookupCombo);
    accRow->addWidget(FaceBillBrowseButton);
    accRow->addStretch();
    accCol->addLayout(accRow);
    outer->insertWidget(0, accounts);

    auto* orgs = new QGroupBox(QStringLiteral("Включить в отчет только"));
    OrgCheckBox = new QCheckBox(QStringLiteral("организации с"));
    OrgCheckBox->setObjectName(QStringLiteral("OrgCheckBox"));
    OrgCheckBox->setToolTip(QStringLiteral("Если флажок не установлен, то учитываются все организации"));
    OrgEditField1 = TOrgEdit::createOrganization();
    OrgEditField1->setObjectName(QStringLiteral("OrgEditField1"));
    OrgEditField2 = TOrgEdit::createOrganization();
    OrgEditField2->setObjectName(QStringLiteral("OrgEditField2"));
    ORGBrowse1 = browseButton("ORGBrowse1", QStringLiteral("Выбрать организацию из справочника"));
    ORGBrowse2 = browseButton("ORGBrowse2", QStringLiteral("Выбрать организацию из справочника"));
    auto* orgRow = new QHBoxLayout(orgs);
    orgRow->addWidget(OrgCheckBox);
    orgRow->addWidget(OrgEditField1);
    orgRow->addWidget(ORGBrowse1);
    orgRow->addWidget(new QLabel(QStringLiteral("по")));
    orgRow->addWidget(OrgEditField2);
    orgRow->addWidget(ORGBrowse2);
    orgRow->addStretch();
    outer->insertWidget(1, orgs);
    CBCGroup->setTitle(QStringLiteral("Включть в отчет только КБК"));
    CBCCheckBox->setToolTip(QStringLiteral("Если флажок не установлен, то учитываются все КБК"));

    auto* quarters = new QGroupBox(QStringLiteral("Уточненную и утвержденную роспись взять за кварталы"));
    quarters->setToolTip(QStringLiteral("Год"));
    Quarter1RB = new QRadioButton(QStringLiteral("I"));
    Quarter12RB = new QRadioButton(QStringLiteral("I + II"));
    Quarter123RB = new QRadioButton(QStringLiteral("I + II + III"));
    Quarter1234RB = new QRadioButton(QStringLiteral("I + II + III + IV"));
    auto* qRow = new QHBoxLayout(quarters);
    int q = 1;
    for (QRadioButton* b : {Quarter1RB, Quarter12RB, Quarter123RB, Quarter1234RB}) {
        static const char* names[] = {"Quarter1RB", "Quarter12RB", "Quarter123RB", "Quarter1234RB"};
        b->setObjectName(QLatin1String(names[q - 1]));
        qRow->addWidget(b);
        connect(b, &QRadioButton::clicked, this, [this, q] { QuarterClick(q); });
        ++q;
    }
    outer->insertWidget(3, quarters);

    auto* period = new QGroupBox(QStringLiteral("Расходы организаций взять за период"));
    OrgRasStartDateEdit = new ui::DateEdit;
    OrgRasStartDateEdit->setObjectName(QStringLiteral("OrgRasStartDateEdit"));
    OrgRasEndDateEdit = new ui::DateEdit;
    OrgRasEndDateEdit->setObjectName(QStringLiteral("OrgRasEndDateEdit"));
    OrgRasStartDateEdit->setCheckOnLeave(false);
    OrgRasEndDateEdit->setCheckOnLeave(false);
    auto* pRow = new QHBoxLayout(period);
    pRow->addWidget(new QLabel(QStringLiteral("с")));
    pRow->addWidget(OrgRasStartDateEdit);
    pRow->addWidget(new QLabel(QStringLiteral("по")));
    pRow->addWidget(OrgRasEndDateEdit);
    pRow->addStretch();
    outer->insertWidget(4, period);

    connect(AllRospRB, &QRadioButton::clicked, this, &TMD9Form::AllRospRBClick);
    connect(FaceOnlyRospRB, &QRadioButton::clicked, this, &TMD9Form::FaceOnlyRospRBClick);
    connect(FaceBillRxDBLookupCombo, &ui::DBLookupCombo::changed, this, &TMD9Form::FaceBillRxDBLookupComboChange);
    connect(FaceBillBrowseButton, &QPushButton::clicked, this, &TMD9Form::FaceBillBrowseButtonClick);
    connect(OrgCheckBox, &QCheckBox::clicked, this, [this] {
        for (TOrgEdit* e : {OrgEditField1, OrgEditField2})
            if (OrgCheckBox->isChecked() && e->text() == QString(5, QLatin1Char(' ')))
                e->setText(QString(5, QLatin1Char('*')));
    });
    for (auto [button, edit] : {std::pair{ORGBrowse1, OrgEditField1}, std::pair{ORGBrowse2, OrgEditField2}})
        connect(button, &QPushButton::clicked, this, [this, edit = edit] {
            if (pickers_.org)
                if (auto code = pickers_.org->choose())
                    edit->setText(*code);
        });

    const QList<QWidget*> order{AllRospRB, FaceOnlyRospRB, FaceBillRxDBLookupCombo, FaceBillBrowseButton, OrgCheckBox,
                                OrgEditField1, ORGBrowse1, OrgEditField2, ORGBrowse2, CBCCheckBox};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    const QList<QWidget*> tail{CBCBrowse, Quarter1RB, Quarter12RB, Quarter123RB, Quarter1234RB, OrgRasStartDateEdit,
                               OrgRasEndDateEdit, ReportOkButton};
    for (int i = 0; i + 1 < tail.size(); ++i)
        setTabOrder(tail[i], tail[i + 1]);

    // FormCreate: "Все" and the quarter of today.
    AllRospRB->setChecked(true);
    AllRospRBClick();
    const int today = (QDate::currentDate().month() + 2) / 3;
    QRadioButton* qs[] = {Quarter1RB, Quarter12RB, Quarter123RB, Quarter1234RB};
    qs[today - 1]->setChecked(true);
    QuarterClick(today);
}

void TMD9Form::AllRospRBClick()
{
    accountMask_ = QString(11, QLatin1Char('*'));
    FaceBillRxDBLookupCombo->setEnabled(false);
    FaceBillBrowseButton->setEnabled(false);
}

void TMD9Form::FaceOnlyRospRBClick()
{
    const QString acc = ctx_.db->T1.fieldByName(QStringLiteral("Facebill")).asString();
    FaceBillRxDBLookupCombo->setText(acc);
    accountMask_ = acc;
    FaceBillRxDBLookupCombo->setEnabled(true);
    FaceBillBrowseButton->setEnabled(true);
}

void TMD9Form::FaceBillRxDBLookupComboChange()
{
    if (FaceOnlyRospRB->isChecked())
        accountMask_ = ctx_.db->T1.fieldByName(QStringLiteral("Facebill")).asString();
}

void TMD9Form::FaceBillBrowseButtonClick()
{
    if (!accountPicker_)
        return;
    if (const std::optional<QString> acc = accountPicker_()) {
        FaceBillRxDBLookupCombo->setText(*acc);
        accountMask_ = *acc;
    }
}

void TMD9Form::QuarterClick(int q)
{
    const int year = ctx_.db->settingsYear();
    OrgRasStartDateEdit->setDate(QDate(year, 1, 1));
    OrgRasEndDateEdit->setDate(QDate(year, q * 3, 1).addMonths(1).addDays(-1));
    corStart_ = EditDate(*OrgRasStartDateEdit);
    corEnd_ = EditDate(*OrgRasEndDateEdit);
    quarter_ = q;
}

ExecutionSelection TMD9Form::executionSelection() const
{
    ExecutionSelection s;
    s.accountMask = accountMask_;
    s.orgRange = OrgCheckBox->isChecked();
    s.orgFirst = OrgEditField1->text();
    s.orgLast = OrgEditField2->text();
    s.cbc = CBCCheckBox->isChecked();
    s.cbcMask = CBCEditField->text();
    s.quarter = quarter_;
    s.correctionStart = corStart_;
    s.correctionEnd = corEnd_;
    s.start = EditDate(*OrgRasStartDateEdit);
    s.end = EditDate(*OrgRasEndDateEdit);
    s.startText = OrgRasStartDateEdit->text();
    s.endText = OrgRasEndDateEdit->text();
    s.year = ctx_.db->settingsYear();
    return s;
}

void TMD9Form::CreateAndShow()
{
    if (ctx_.wait)
        ctx_.wait->setWindowTitle(QStringLiteral("Подготовка отчета..."));
    WaitProgress progress(ctx_.wait);
    std::optional<PageSet> pages;
    try {
        pages = report_.run(executionSelection(), &progress);
    } catch (const store::StoreError& e) {
        cancelled_ = true;
        ui::showError(e.text());
        return;
    }
    cancelled_ = !pages;
    if (pages)
        preview(std::move(*pages), report_.layout(), PreviewMode::Ordinary, parentWidget(), windowTitle());
}

} // namespace reports
