#include "core/store/rowview.h"
#include "core/store/session.h"
#include "core/store/tablesql.h"

#include <QDate>
#include <algorithm>

namespace store {

namespace {

// The order of values in the store: empty first, then by type.
int compareValues(const QVariant& a, const QVariant& b, schema::FieldType type)
{
    const bool an = !a.isValid() || a.isNull(), bn = !b.isValid() || b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    switch (type) {
    case schema::FieldType::Text: {
        const int c = QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case schema::FieldType::Float: {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case schema::FieldType::Date: {
        const QDate x = a.toDate(), y = b.toDate();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case schema::FieldType::AutoInc: {
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    }
    return 0;
}

} // namespace

void RowView::setTable(const schema::TableDef* def, const std::vector<int>& storedIdx)
{
    def_ = def;
    storedIdx_ = storedIdx;
    cache_.clear();
    blockSql_.clear();
}

void RowView::attach(Connection& c)
{
    conn_ = &c;
    if (connSerial_ != c.serial()) {
        cache_.clear();
        dataVersion_ = -1;
        connSerial_ = c.serial();
    }
}

void RowView::detach()
{
    conn_ = nullptr;
    ids_.clear();
    ids_.shrink_to_fit();
}

bool RowView::stale() const
{
    return conn_->dataVersion() != dataVersion_ || conn_->generation() != generation_;
}

void RowView::revalidate()
{
    const qint64 dv = conn_->dataVersion();
    if (dv != dataVersion_ || conn_->generation() != generation_) {
        cache_.clear();
        dataVersion_ = dv;
        generation_ = conn_->generation();
    }
}

bool RowView::ownWriteSince() const { return conn_->generation() != generation_; }

void RowView::keepCoherent(quint64 before)
{
    if (generation_ == before)
        generation_ = conn_->generation();
}

int RowView::indexOf(qint64 id) const
{
    auto it = std::find(ids_.begin(), ids_.end(), id);
    return it != ids_.end() ? int(it - ids_.begin()) : -1;
}

void RowView::erase(int pos)
{
    cache_.remove(ids_[size_t(pos)]);
    ids_.erase(ids_.begin() + pos);
}

const Record& RowView::fetch(int pos)
{
    const qint64 id = ids_[size_t(pos)];
    const int fieldCount = int(def_->fields.size());
    if (cache_.size() >= CacheLimit)
        cache_.clear();
    const int start = pos - pos % BlockSize;
    const int end = std::min<int>(start + BlockSize, int(ids_.size()));
    if (blockSql_.isEmpty()) {
        QString cols = QStringLiteral("rowid");
        for (int i : storedIdx_)
            cols += QStringLiteral(", ") + sqlName(def_->fields[i].name);
        QString marks = QStringLiteral("?");
        for (int i = 1; i < BlockSize; ++i)
            marks += QStringLiteral(",?");
        blockSql_ = QStringLiteral("SELECT %1 FROM %2 WHERE rowid IN (%3)").arg(cols, sqlName(def_->name), marks);
    }
    Statement st(*conn_, blockSql_);
    for (int i = 0; i < BlockSize; ++i)
        st.bindInt(i + 1, start + i < end ? ids_[start + i] : 0);
    while (st.step()) {
        Record rec(fieldCount);
        for (int k = 0; k < int(storedIdx_.size()); ++k)
            rec[storedIdx_[k]] = st.column(k + 1, def_->fields[storedIdx_[k]].type);
        cache_.insert(st.columnInt(0), std::move(rec));
    }
    // A row another copy deleted meanwhile reads as empty until the next re-read.
    for (int i = start; i < end; ++i)
        if (!cache_.contains(ids_[i]))
            cache_.insert(ids_[i], Record(fieldCount));
    return *cache_.constFind(id);
}

int RowView::compareKey(int pos, const std::vector<int>& fields, const QVariantList& values, int n)
{
    const Record& r = row(pos);
    for (int i = 0; i < n; ++i) {
        const int fi = fields[i];
        const int c = compareValues(r[fi], values[i], def_->fields[fi].type);
        if (c != 0)
            return c;
    }
    return 0;
}

int RowView::lowerBound(const std::vector<int>& fields, const QVariantList& values, int n)
{
    int lo = 0, hi = int(ids_.size());
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (compareKey(mid, fields, values, n) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

} // namespace store
