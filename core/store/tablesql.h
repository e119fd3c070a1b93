#pragma once
// TableSql: the SQL a table runs. The SELECT of its view in its order, with
// the WHERE of its master link, range and filter expression; the sums over
// the view and over stored rows; the INSERT, UPDATE and DELETE of a post and
// a delete. Names come from the schema; every value is bound as a parameter.
#include "core/store/filterexpr.h"
#include "core/store/rowview.h"
#include "core/schema/schema.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace store {

class Connection;
class Statement;

// A table or column name as SQL.
QString sqlName(const QString& name);

void bindParams(Statement& st, const SqlParams& params);

// What a view lets through, values already converted to their fields' types.
struct ViewConditions {
    struct Value {
        const schema::FieldDef* field;
        QVariant value;
    };
    std::vector<Value> link;       // each field equals its value
    std::vector<Value> from, to;   // a range on the leading fields of the order, both ends inclusive
    const FilterExpr* filter = nullptr;
};

// " WHERE ..." of the conditions, empty when there are none.
QString viewWhere(const ViewConditions& c, SqlParams& params);

class TableSql {
public:
    // The table the SQL is for; the texts kept are built anew.
    void setTable(const schema::TableDef* def, const std::vector<int>& storedIdx);
    void clearTexts();
    // The store the SQL runs on: empty values come first in an order on
    // either, as SQLite puts them.
    void setDialect(schema::Dialect d)
    {
        if (d != dialect_)
            orderBy_.clear();
        dialect_ = d;
    }
    // Another order: its ORDER BY is built anew.
    void clearOrder() { orderBy_.clear(); }

    // The view in `order`: the row ids, with the rows' stored values after
    // them when `withRows`; equal keys follow the primary key, then the
    // order of entry.
    QString viewQuery(bool withRows, const QStringList& order, const ViewConditions& c, SqlParams& params);

    bool exists(Connection& c) const;   // the table is in the database of `c`
    // The sum of `field` over the rows of the conditions, empty values skipped.
    double total(Connection& c, const schema::FieldDef& field, const ViewConditions& cond) const;
    // The same for each value of `group`.
    QHash<QString, double> groupTotals(Connection& c, const schema::FieldDef& group, const schema::FieldDef& field,
                                       const ViewConditions& cond) const;
    // The text of `field` in the last row of each value of `group`, the
    // rows in `order` under the conditions.
    QHash<QString, QString> groupLast(Connection& c, const schema::FieldDef& group, const schema::FieldDef& field,
                                      const QStringList& order, const ViewConditions& cond);
    // The sum of `field` over every stored row whose `key` is `value`.
    double keyTotal(Connection& c, const schema::FieldDef& field, const schema::FieldDef& key,
                    const QVariant& value) const;
    // COUNT(*) and TOTAL(f) of each of `sums` over the rows whose `equal`
    // fields are the given values (already converted) and whose `date`
    // field, when given, lies within [from, to]; an invalid bound is none.
    std::vector<double> keySums(Connection& c, const std::vector<const schema::FieldDef*>& sums,
                                const std::vector<std::pair<const schema::FieldDef*, QVariant>>& equal,
                                const schema::FieldDef* date, const QVariant& from, const QVariant& to) const;

    // The fields `fields` (indexes) of `rec` as a new row: its row id.
    qint64 insert(Connection& c, const std::vector<int>& fields, const Record& rec) const;
    // The same into row `rowid`: false when the row is no longer there.
    bool update(Connection& c, qint64 rowid, const std::vector<int>& fields, const Record& rec) const;
    void remove(Connection& c, qint64 rowid) const;
    void removeAll(Connection& c) const;

private:
    const schema::TableDef* def_ = nullptr;
    schema::Dialect dialect_ = schema::Dialect::Sqlite;
    std::vector<int> storedIdx_;   // field indexes of the stored fields
    QString select_[2];            // "SELECT rowid[, fields] FROM t" without / with the rows' fields
    QString orderBy_;              // " ORDER BY ..." of the current order
    const QString& orderClause(const QStringList& order);
};

} // namespace store
