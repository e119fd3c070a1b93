#pragma once
// RowView: the rows of a table's current view. The view is the list of its
// row ids in the view's order; the rows' stored values are fetched a block at
// a time and cached by row id. The cache holds while nothing was written
// since it was read: neither another copy (the connection's data version)
// nor this program (the connection's generation).
#include "core/schema/schema.h"

#include <QHash>
#include <QVariant>
#include <QVariantList>
#include <vector>

namespace store {

class Connection;

using Record = std::vector<QVariant>;   // one value per field, stored and calculated

class RowView {
public:
    // The table whose rows these are: another table drops the cached rows.
    void setTable(const schema::TableDef* def, const std::vector<int>& storedIdx);

    // An opened table reads through `c`. Rows read on another connection
    // are dropped; those read before a close on the same connection stay
    // for as long as nobody writes.
    void attach(Connection& c);
    // A closed table: the ids go, the cached rows stay.
    void detach();

    // --- staleness
    // Somebody (another copy or this program) wrote since the rows were read.
    bool stale() const;
    // Before the view is read anew: the cached rows go when stale, and the
    // cache counts from the present version.
    void revalidate();
    // This program wrote since the rows were read.
    bool ownWriteSince() const;
    // After a write of this program begun at generation `before`: the cache
    // takes the write as its own when it was coherent before it.
    void keepCoherent(quint64 before);
    // The next revalidate drops the cached rows whatever the versions say.
    void forgetVersion() { dataVersion_ = -1; }
    void dropRows() { cache_.clear(); }

    // --- the ids of the view
    int size() const { return int(ids_.size()); }
    bool empty() const { return ids_.empty(); }
    qint64 id(int pos) const { return ids_[size_t(pos)]; }
    int indexOf(qint64 id) const;   // -1 when the view does not hold it
    void clear() { ids_.clear(); }
    void append(qint64 id) { ids_.push_back(id); }
    // A row read with its values: they are cached while the cache has room.
    void append(qint64 id, const Record& rec)
    {
        ids_.push_back(id);
        if (cache_.size() < CacheLimit)
            cache_.insert(id, rec);
    }
    // The values of a row just posted.
    void put(qint64 id, const Record& rec) { cache_.insert(id, rec); }
    // A row just deleted: out of the view and the cache.
    void erase(int pos);

    // --- the values
    // The stored values of row `pos` (0-based) of the view; a reference good
    // until the next read of another row.
    const Record& row(int pos)
    {
        auto it = cache_.constFind(ids_[size_t(pos)]);
        if (it == cache_.constEnd())
            return fetch(pos);
        return *it;
    }

    // --- search in the view's order
    // The comparison of row `pos` with the first `n` key values, field by
    // field in the order of `fields` (field indexes): -1, 0 or 1.
    int compareKey(int pos, const std::vector<int>& fields, const QVariantList& values, int n);
    // The first row not less than the first `n` key values; size() when none.
    int lowerBound(const std::vector<int>& fields, const QVariantList& values, int n);

private:
    static constexpr int BlockSize = 32;
    static constexpr int CacheLimit = 50000;

    const Record& fetch(int pos);

    const schema::TableDef* def_ = nullptr;
    std::vector<int> storedIdx_;   // field indexes of the stored fields
    QString blockSql_;
    Connection* conn_ = nullptr;

    std::vector<qint64> ids_;
    QHash<qint64, Record> cache_;   // stored values by row id
    qint64 dataVersion_ = -1;       // what the cache was read under
    quint64 generation_ = 0;
    quint64 connSerial_ = 0;        // the connection's serial; the cache outlives a close
};

} // namespace store
