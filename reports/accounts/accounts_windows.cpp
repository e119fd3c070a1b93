#include "reports/accounts/accounts_windows.h"

#include "core/datamodule/datamodule.h"

namespace reports {

TMDForm::TMDForm(const ReportContext& ctx, QWidget* parent)
    : TReportForm(ctx, QStringLiteral("Поступления/расходы по лицевым счетам"), AllGroups, parent), report_(*ctx.db)
{
    setObjectName(QStringLiteral("MDForm"));
}

TMDForm11::TMDForm11(const ReportContext& ctx, QWidget* parent)
    : TReportForm(ctx, QStringLiteral("Поступления/расходы по лицевым счетам. Кратко"), AllGroups, parent),
      report_(*ctx.db)
{
    setObjectName(QStringLiteral("MDForm11"));
}

} // namespace reports
