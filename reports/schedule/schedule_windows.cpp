#include "reports/schedule/schedule_windows.h"

#include "core/datamodule/datamodule.h"
#include "core/store/table.h"
#include "core/ui/dblookupcombo.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
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

} // namespace reports
