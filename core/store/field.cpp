// Field: the values of a table's active row, their conversion to and from
// the field's type, and the texts that controls show and enter.
#include "core/store/format.h"
#include "core/store/table.h"

#include <QDateTime>
#include <cmath>

namespace store {

namespace {

bool isNull(const QVariant& v) { return !v.isValid() || v.isNull(); }

} // namespace

QVariant Field::value() const { return table_->activeValue(index_); }

bool Field::isNull() const { return store::isNull(value()); }

QString Field::asString() const
{
    const QVariant v = value();
    if (store::isNull(v))
        return {};
    switch (type()) {
    case schema::FieldType::Text:
        return v.toString();
    case schema::FieldType::Float:
        return formatFloat(v.toDouble());
    case schema::FieldType::Date:
        return formatDate(v.toDate());
    case schema::FieldType::AutoInc:
        return QString::number(v.toLongLong());
    }
    return {};
}

double Field::asFloat() const
{
    const QVariant v = value();
    if (store::isNull(v))
        return 0.0;
    if (type() == schema::FieldType::Text) {
        if (auto d = parseFloat(v.toString()))
            return *d;
        throw StoreError(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
    }
    return v.toDouble();
}

QDate Field::asDate() const
{
    const QVariant v = value();
    if (store::isNull(v))
        return {};
    if (type() == schema::FieldType::Date)
        return v.toDate();
    if (auto d = parseDate(v.toString()))
        return *d;
    throw StoreError(QStringLiteral("'%1' is not a valid date").arg(v.toString()));
}

qint64 Field::asInteger() const
{
    const QVariant v = value();
    if (store::isNull(v))
        return 0;
    if (type() == schema::FieldType::Float)
        return qint64(std::llround(v.toDouble()));
    if (type() == schema::FieldType::Text) {
        bool ok = false;
        const qint64 n = v.toString().trimmed().toLongLong(&ok);
        if (!ok)
            throw StoreError(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
        return n;
    }
    return v.toLongLong();
}

QVariant Field::convert(const QVariant& v) const
{
    if (store::isNull(v))
        return {};
    switch (type()) {
    case schema::FieldType::Text: {
        QString s = v.toString();
        qsizetype n = s.size();
        while (n > 0 && s[n - 1] == QLatin1Char(' '))
            --n;
        s.truncate(n);
        if (s.isEmpty())
            return {};
        if (s.size() > size())
            throw StoreError(QStringLiteral("Значение \"%1\" длиннее поля %2 (не более %3 знаков).")
                                 .arg(s, name())
                                 .arg(size()));
        return s;
    }
    case schema::FieldType::Float: {
        if (v.typeId() == QMetaType::QString) {
            const QString s = v.toString();
            if (s.trimmed().isEmpty())
                return {};
            if (auto d = parseFloat(s))
                return *d;
            throw StoreError(QStringLiteral("'%1' is not a valid floating point value").arg(s));
        }
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (!ok || !std::isfinite(d))
            throw StoreError(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
        return d;
    }
    case schema::FieldType::Date: {
        if (v.typeId() == QMetaType::QDate) {
            if (!v.toDate().isValid())
                return {};
            return v.toDate();
        }
        if (v.typeId() == QMetaType::QDateTime)
            return v.toDateTime().date();
        const QString s = v.toString();
        if (s.trimmed().isEmpty())
            return {};
        if (auto d = parseDate(s))
            return *d;
        throw StoreError(QStringLiteral("'%1' is not a valid date").arg(s));
    }
    case schema::FieldType::AutoInc: {
        // A whole number of the counter's range; text as it is typed.
        bool ok = false;
        const qint64 n = v.typeId() == QMetaType::QString ? v.toString().trimmed().toLongLong(&ok) : v.toLongLong(&ok);
        if (!ok || (v.typeId() == QMetaType::Double && double(n) != v.toDouble()))
            throw StoreError(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
        return n;
    }
    }
    return {};
}

void Field::setValue(const QVariant& v) { table_->setFieldValue(index_, v); }

void Field::setAsString(const QString& s) { setValue(s.isEmpty() ? QVariant() : QVariant(s)); }

QString Field::displayText() const
{
    if (display_)
        return display_(*this);
    const QVariant v = value();
    if (store::isNull(v))
        return {};
    if (type() == schema::FieldType::Float)
        return formatNumber(v.toDouble(), displayFormat());
    return asString();
}

void Field::setText(const QString& text)
{
    if (entry_)
        entry_(*this, text);
    else
        setAsString(text);
}

} // namespace store
