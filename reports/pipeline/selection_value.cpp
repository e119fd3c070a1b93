#include "reports/pipeline/selection_value.h"

#include "core/store/format.h"
#include "core/store/table.h"

#include <QStringList>

namespace reports {

QChar GetChar(const QString& text, int pos)
{
    return pos >= 1 && pos <= text.size() ? text[pos - 1] : QLatin1Char(' ');
}

bool MaskSelection(const QString& mask, const QString& value) { return store::maskMatches(mask, value); }

QDate textDate(const QString& text)
{
    const auto d = store::parseDate(text);
    return d && d->isValid() ? *d : nullDate();
}

double CalcSumTable(store::Table& t, const QString& field)
{
    // One aggregate over what the table shows now, where the store can say
    // it in SQL; otherwise a walk from the first row to the end.
    if (auto s = t.viewSum(field))
        return *s;
    double sum = 0;
    for (t.first(); !t.eof(); t.next()) {
        const QVariant v = t.fieldByName(field).value();
        if (!v.isNull())
            sum += v.toDouble();
    }
    return sum;
}

namespace {
QString quotedLiteral(const QString& s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}
} // namespace

QString Selection::tickedMask(const QString& text, int width)
{
    const QString full = text.leftJustified(width, QLatin1Char(' '));
    return full.trimmed().isEmpty() ? QString(width, QLatin1Char('*')) : full;
}

bool Selection::periodAccepts(const QDate& date) const
{
    const QDate d = date.isValid() ? date : nullDate();
    if (d > end())
        return false;
    return !(d < start());
}

bool Selection::acceptsReceipt(store::Table& t) const
{
    if (period && !periodAccepts(t.fieldByName(QStringLiteral("FiDate")).asDate()))
        return false;
    if (cbc && !MaskSelection(cbcMask, t.fieldByName(QStringLiteral("CBC")).asString()))
        return false;
    if (law && !MaskSelection(lawMask, t.fieldByName(QStringLiteral("LawRef")).asString()))
        return false;
    return true;
}

bool Selection::acceptsExpenditure(store::Table& t) const
{
    if (org && !MaskSelection(orgMask, t.fieldByName(QStringLiteral("Org")).asString()))
        return false;
    return acceptsReceipt(t);
}

namespace {
QString expression(const Selection& s, bool withOrg)
{
    QStringList c;
    if (s.period) {
        // An empty date is the null date, before every real one: an empty
        // end selects nothing dated, an empty start sets no lower bound (an
        // undated row counts as the null date too).
        c << QStringLiteral("FiDate <= %1").arg(quotedLiteral(store::formatDate(s.end())));
        const QDate start = s.start();
        if (start != nullDate())
            c << QStringLiteral("FiDate >= %1").arg(quotedLiteral(store::formatDate(start)));
    }
    if (withOrg && s.org)
        c << QStringLiteral("MASK(Org, %1)").arg(quotedLiteral(s.orgMask));
    if (s.cbc)
        c << QStringLiteral("MASK(CBC, %1)").arg(quotedLiteral(s.cbcMask));
    if (s.law)
        c << QStringLiteral("MASK(LawRef, %1)").arg(quotedLiteral(s.lawMask));
    return c.join(QStringLiteral(" and "));
}
} // namespace

QString Selection::receiptExpression() const { return expression(*this, false); }
QString Selection::expenditureExpression() const { return expression(*this, true); }

QString Selection::periodText() const
{
    // The "c" is the Latin letter, as the printed forms always had it.
    return period ? QStringLiteral("Период: c ") + startText + QStringLiteral(" по ") + endText
                  : QStringLiteral("Период: Не задан");
}

QString Selection::orgText() const
{
    return org ? QStringLiteral("Отбор организаций: по маске ") + orgMask : QStringLiteral("Отбор организаций: Все");
}

QString Selection::cbcText() const
{
    return cbc ? QStringLiteral("Отбор КБК: по маске ") + cbcMask : QStringLiteral("Отбор КБК: Все");
}

QString Selection::lawText() const
{
    return law ? QStringLiteral("Отбор назначений: по маске ") + lawMask : QStringLiteral("Отбор назначений: Все");
}

} // namespace reports
