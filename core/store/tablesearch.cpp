// Table: the searches on the current order within the view, exact and
// nearest, by a binary search over the view's rows.
#include "core/store/table.h"

#include <algorithm>

namespace store {

namespace {

bool isNull(const QVariant& v) { return !v.isValid() || v.isNull(); }

} // namespace

const std::vector<int>& Table::orderFields()
{
    if (orderIdx_.size() != size_t(order_.size()))
        orderIdx_ = orderIndexes();
    return orderIdx_;
}

static QVariantList searchValues(Table& t, const QStringList& order, const QVariantList& values, int n)
{
    QVariantList out;
    for (int i = 0; i < n; ++i) {
        const Field& f = t.fieldByName(order[i]);
        QVariant v = values[i];
        if (f.type() == schema::FieldType::Text && !isNull(v)) {
            QString s = v.toString();
            while (s.endsWith(QLatin1Char(' ')))
                s.chop(1);
            v = s.isEmpty() ? QVariant() : QVariant(s);
        } else {
            v = f.convert(v);
        }
        out << v;
    }
    return out;
}

int Table::keyIndex(const QVariantList& values)
{
    ensureView();
    const int n = std::min<int>(int(values.size()), int(order_.size()));
    if (n == 0 || rows_.empty())
        return -1;
    const QVariantList v = searchValues(*this, order_, values, n);
    const std::vector<int>& fields = orderFields();
    const int lb = rows_.lowerBound(fields, v, n);
    if (lb >= rows_.size() || rows_.compareKey(lb, fields, v, n) != 0)
        return -1;
    return lb;
}

int Table::nearestIndex(const QVariantList& values)
{
    ensureView();
    if (rows_.empty())
        return -1;
    const int n = std::min<int>(int(values.size()), int(order_.size()));
    const QVariantList v = searchValues(*this, order_, values, n);
    const int lb = n == 0 ? 0 : rows_.lowerBound(orderFields(), v, n);
    return std::min(lb, rows_.size() - 1);
}

QVariant Table::storedValueAt(int pos, const QString& field)
{
    const Field& f = fieldByName(field);
    ensureView();
    if (pos < 0 || pos >= rows_.size())
        throw StoreError(QStringLiteral("Record index out of range"));
    return rows_.row(pos)[size_t(f.index())];
}

bool Table::findKey(const QVariantList& values)
{
    checkBrowse();
    const int pos = keyIndex(values);
    if (pos < 0)
        return false;
    eof_ = bof_ = false;
    setPos(pos);
    return true;
}

void Table::findNearest(const QVariantList& values)
{
    checkBrowse();
    const int pos = nearestIndex(values);
    if (pos < 0)
        return;
    eof_ = bof_ = false;
    setPos(pos);
}

} // namespace store
