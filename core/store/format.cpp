#include "core/store/format.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>

namespace store {

namespace {

// Rounds the exact decimal expansion of |v| to `decimals` digits, half away from zero.
QString fixed(double v, int decimals)
{
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.40f", std::fabs(v));
    QByteArray s(buf);
    const int dot = s.indexOf('.');
    QByteArray intPart = s.left(dot);
    QByteArray frac = s.mid(dot + 1);
    const bool up = frac.size() > decimals && frac[decimals] >= '5';
    frac = frac.left(decimals);
    QByteArray digits = intPart + frac;
    if (up) {
        int i = digits.size() - 1;
        while (i >= 0 && digits[i] == '9') {
            digits[i] = '0';
            --i;
        }
        if (i < 0)
            digits.prepend('1');
        else
            digits[i] = char(digits[i] + 1);
    }
    QByteArray ip = digits.left(digits.size() - decimals);
    QByteArray fp = digits.right(decimals);
    bool allZero = true;
    for (char c : digits)
        if (c != '0')
            allZero = false;
    QString out = QString::fromLatin1(ip);
    if (decimals > 0)
        out += QLatin1Char(',') + QString::fromLatin1(fp);
    if (v < 0 && !allZero)
        out.prepend(QLatin1Char('-'));
    return out;
}

} // namespace

QString formatNumber(double v, const QString& displayFormat)
{
    if (displayFormat.isEmpty())
        return formatFloat(v);
    if (!std::isfinite(v))
        return formatFloat(v);
    const int dot = displayFormat.indexOf(QLatin1Char('.'));
    const int decimals = dot < 0 ? 0 : int(displayFormat.size() - dot - 1);
    return fixed(v, decimals);
}

QString formatFloat(double v)
{
    if (std::isnan(v))
        return QStringLiteral("NAN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    QString s = QString::number(v, 'g', 15);
    s.replace(QLatin1Char('.'), QLatin1Char(','));
    s.replace(QLatin1String("e+"), QLatin1String("E"));
    s.replace(QLatin1String("e-"), QLatin1String("E-"));
    return s;
}

QString formatDate(const QDate& d)
{
    return d.isValid() ? d.toString(QString::fromLatin1(ShortDateFormat)) : QString();
}

std::optional<double> parseFloat(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?(\\d+([.,]\\d*)?|[.,]\\d+)([eE][+-]?\\d+)?$"));
    const QString t = text.trimmed();
    if (!re.match(t).hasMatch())
        return std::nullopt;
    QString c = t;
    c.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = c.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<QDate> parseDate(const QString& text)
{
    static const QRegularExpression ru(QStringLiteral("^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{2}|\\d{4})$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    const QString t = text.trimmed();
    QDate d;
    if (auto m = ru.match(t); m.hasMatch()) {
        int y = m.captured(3).toInt();
        if (m.captured(3).size() == 2)
            y += y < 50 ? 2000 : 1900;
        d = QDate(y, m.captured(2).toInt(), m.captured(1).toInt());
    } else if (auto m2 = iso.match(t); m2.hasMatch()) {
        d = QDate(m2.captured(1).toInt(), m2.captured(2).toInt(), m2.captured(3).toInt());
    }
    if (!d.isValid())
        return std::nullopt;
    return d;
}

QString roundTripFloat(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

bool maskMatches(QStringView mask, QStringView value)
{
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar m = i < mask.size() ? mask[i] : QLatin1Char(' ');
        if (m != QLatin1Char('*') && m != value[i])
            return false;
    }
    return true;
}

} // namespace store
