#include "income/orgtotals.h"

#include "core/store/table.h"

namespace income {

bool recountOrganization(store::Table& dorg, store::Table& entries, EntrySide side)
{
    const QString orgField = QStringLiteral("Org");
    const QVariant org = dorg.value(orgField);
    const double sum = entries.storedTotal(QStringLiteral("Sum"), orgField, org);
    dorg.refresh();
    if (dorg.isEmpty() || dorg.value(orgField) != org)
        return false;
    const bool receipts = side == EntrySide::Receipts;
    dorg.edit();
    dorg.fieldByName(receipts ? QStringLiteral("InSum") : QStringLiteral("OutSum")).setAsFloat(sum);
    const double in = dorg.fieldByName(QStringLiteral("InSum")).asFloat();
    const double out = dorg.fieldByName(QStringLiteral("OutSum")).asFloat();
    dorg.fieldByName(QStringLiteral("Remainder")).setAsFloat(in - out);
    dorg.post();
    return true;
}

} // namespace income
