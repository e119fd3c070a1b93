#include "accounts/recount.h"

#include "core/store/session.h"
#include "core/store/table.h"

namespace accounts {

namespace {

const char* totalField(PostingSide side) { return side == PostingSide::Receipts ? "InAmount" : "OutAmount"; }

// The receipts name the account "FaceBill", the expenditures "Facebill";
// field names are found without regard to case.
const QString AccountField = QStringLiteral("Facebill");

void writeTotals(store::Table& t1)
{
    t1.fieldByName(QStringLiteral("Remainder"))
        .setAsFloat(t1.fieldByName(QStringLiteral("InAmount")).asFloat() -
                    t1.fieldByName(QStringLiteral("OutAmount")).asFloat());
}

} // namespace

double storedPostingSum(store::Table& postings, PostingSide, const QVariant& account)
{
    return postings.storedTotal(QStringLiteral("Amount"), AccountField, account);
}

bool recountAccount(store::Table& t1, store::Table& postings, PostingSide side)
{
    const QVariant account = t1.value(AccountField);
    const double sum = storedPostingSum(postings, side, account);
    // The account's row as stored, so the other side's total is not written
    // back as this copy last read it.
    t1.refresh();
    if (t1.value(AccountField) != account)
        return false;
    t1.edit();
    t1.fieldByName(QLatin1String(totalField(side))).setAsFloat(sum);
    writeTotals(t1);
    t1.post();
    return true;
}

void recountAllAccounts(store::Table& t1, store::Table& t2_1, store::Table& t2_2)
{
    store::BatchScope batch(t1.connection());
    t1.disableControls();
    try {
        for (t1.first(); !t1.eof(); t1.next()) {
            const QVariant account = t1.value(AccountField);
            t1.edit();
            t1.fieldByName(QStringLiteral("InAmount")).setAsFloat(storedPostingSum(t2_1, PostingSide::Receipts, account));
            t1.fieldByName(QStringLiteral("OutAmount"))
                .setAsFloat(storedPostingSum(t2_2, PostingSide::Expenditures, account));
            writeTotals(t1);
            t1.post();
        }
    } catch (...) {
        t1.cancel();
        t1.enableControls();
        throw;
    }
    t1.enableControls();
    batch.commit();
}

} // namespace accounts
