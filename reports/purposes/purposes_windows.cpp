#include "reports/purposes/purposes_windows.h"

#include "core/datamodule/datamodule.h"

namespace reports {

TMD3Form::TMD3Form(const ReportContext& ctx, QWidget* parent)
    : TReportForm(ctx, QStringLiteral("Поступления/расходы по назначениям"), AllGroups, parent), report_(*ctx.db)
{
    setObjectName(QStringLiteral("MD3Form"));
}

TMD6Form::TMD6Form(const ReportContext& ctx, QWidget* parent)
    : TReportForm(ctx, QStringLiteral("Движение средств по назначениям"), AllGroups, parent), report_(*ctx.db)
{
    setObjectName(QStringLiteral("MD6Form"));
}

TMDForm1::TMDForm1(const ReportContext& ctx, QWidget* parent)
    : TReportForm(ctx, QStringLiteral("Финансирование организаций"), AllGroups, parent), report_(*ctx.db)
{
    setObjectName(QStringLiteral("MDForm1"));
}

} // namespace reports
