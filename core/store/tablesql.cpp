#include "core/store/tablesql.h"
#include "core/store/session.h"


namespace store {

QString sqlName(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

void bindParams(Statement& st, const SqlParams& params)
{
    for (int i = 0; i < int(params.size()); ++i)
        st.bind(i + 1, params[i].first, params[i].second);
}

namespace {

// Lexicographic bound on the leading fields of the order: f1 beyond v1, or
// f1 = v1 and the rest within the bound.
QString rangeBound(const std::vector<ViewConditions::Value>& vals, bool lower, size_t i, SqlParams& params)
{
    const schema::FieldDef& f = *vals[i].field;
    const QVariant& v = vals[i].value;
    if (i == vals.size() - 1)
        return sqlCompare(f.name, lower ? QStringLiteral(">=") : QStringLiteral("<="), v, f.type, params);
    const QString strict = sqlCompare(f.name, lower ? QStringLiteral(">") : QStringLiteral("<"), v, f.type, params);
    const QString eq = sqlCompare(f.name, QStringLiteral("="), v, f.type, params);
    const QString rest = rangeBound(vals, lower, i + 1, params);
    return QStringLiteral("(%1 OR (%2 AND %3))").arg(strict, eq, rest);
}

} // namespace

QString viewWhere(const ViewConditions& c, SqlParams& params)
{
    QStringList conds;
    for (const auto& l : c.link)
        conds << sqlCompare(l.field->name, QStringLiteral("="), l.value, l.field->type, params);
    if (!c.from.empty())
        conds << rangeBound(c.from, true, 0, params);
    if (!c.to.empty())
        conds << rangeBound(c.to, false, 0, params);
    if (c.filter)
        conds << c.filter->sql(params);
    return conds.isEmpty() ? QString() : QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
}

// ------------------------------------------------------------------ TableSql

void TableSql::setTable(const schema::TableDef* def, const std::vector<int>& storedIdx)
{
    def_ = def;
    storedIdx_ = storedIdx;
    clearTexts();
}

void TableSql::clearTexts()
{
    select_[0].clear();
    select_[1].clear();
    orderBy_.clear();
}

QString TableSql::viewQuery(bool withRows, const QStringList& order, const ViewConditions& c, SqlParams& params)
{
    const QString where = viewWhere(c, params);
    orderClause(order);
    QString& head = select_[withRows ? 1 : 0];
    if (head.isEmpty()) {
        QString cols = QStringLiteral("rowid");
        if (withRows)
            for (int i : storedIdx_)
                cols += QStringLiteral(", ") + sqlName(def_->fields[i].name);
        head = QStringLiteral("SELECT %1 FROM %2").arg(cols, sqlName(def_->name));
    }
    return head + where + orderBy_;
}

const QString& TableSql::orderClause(const QStringList& order)
{
    if (orderBy_.isEmpty()) {
        QStringList ob;
        QStringList seen;
        const QString nulls = dialect_ == schema::Dialect::PostgreSql ? QStringLiteral(" NULLS FIRST") : QString();
        for (const auto& f : order) {
            ob << sqlName(def_->field(f)->name) + nulls;
            seen << f.toLower();
        }
        if (const auto* pk = def_->primaryKey())
            for (const auto& f : pk->fields)
                if (!seen.contains(f.toLower()))
                    ob << sqlName(f) + nulls;
        // The order of entry among equal keys. On the server a key's own
        // index refuses duplicates, so the key's fields already order every
        // row, and the view is read from the index alone.
        if (dialect_ != schema::Dialect::PostgreSql || !def_->primaryKey())
            ob << QStringLiteral("rowid");
        orderBy_ = QStringLiteral(" ORDER BY ") + ob.join(QStringLiteral(", "));
    }
    return orderBy_;
}

QHash<QString, QString> TableSql::groupLast(Connection& c, const schema::FieldDef& group, const schema::FieldDef& field,
                                            const QStringList& order, const ViewConditions& cond)
{
    SqlParams params;
    const QString where = viewWhere(cond, params);
    Statement st(c, QStringLiteral("SELECT %1, %2 FROM %3%4%5")
                        .arg(sqlName(group.name), sqlName(field.name), sqlName(def_->name), where, orderClause(order)));
    bindParams(st, params);
    QHash<QString, QString> out;
    while (st.step())
        out.insert(st.columnText(0), st.columnText(1));
    return out;
}

bool TableSql::exists(Connection& c) const
{
    return c.tableExists(def_->name);
}

double TableSql::total(Connection& c, const schema::FieldDef& field, const ViewConditions& cond) const
{
    SqlParams params;
    const QString where = viewWhere(cond, params);
    Statement st(c, QStringLiteral("SELECT TOTAL(%1) FROM %2%3").arg(sqlName(field.name), sqlName(def_->name), where));
    bindParams(st, params);
    st.step();
    return st.column(0, schema::FieldType::Float).toDouble();
}

QHash<QString, double> TableSql::groupTotals(Connection& c, const schema::FieldDef& group,
                                             const schema::FieldDef& field, const ViewConditions& cond) const
{
    SqlParams params;
    const QString where = viewWhere(cond, params);
    Statement st(c, QStringLiteral("SELECT %1, TOTAL(%2) FROM %3%4 GROUP BY %1")
                        .arg(sqlName(group.name), sqlName(field.name), sqlName(def_->name), where));
    bindParams(st, params);
    QHash<QString, double> out;
    while (st.step())
        out.insert(st.columnText(0), st.column(1, schema::FieldType::Float).toDouble());
    return out;
}

namespace {
// "f = ?" for a value, "f IS NULL" for none: the same rows as "f IS ?" in
// either store, and a condition that the indexes serve.
QString equalTo(const schema::FieldDef& f, const QVariant& v)
{
    return sqlName(f.name) + (v.isNull() ? QStringLiteral(" IS NULL") : QStringLiteral(" = ?"));
}

// SELECT of `aggregates` over the rows of `where`, each sum adding the rows
// in the order of entry on either store, so that both give the same double
// to the last bit. SQLite aggregates the rows of an ordered subquery in its
// order; PostgreSQL is told the order inside each sum.
QString sumsInEntryOrder(schema::Dialect d, const QString& table, const std::vector<const schema::FieldDef*>& sums,
                         bool count, const QString& where)
{
    QStringList cols, inner{QStringLiteral("rowid")};
    if (count)
        cols << QStringLiteral("COUNT(*)");
    for (const schema::FieldDef* f : sums) {
        if (d == schema::Dialect::PostgreSql) {
            cols << QStringLiteral("TOTAL(%1 ORDER BY rowid)").arg(sqlName(f->name));
        } else {
            cols << QStringLiteral("TOTAL(%1)").arg(sqlName(f->name));
            inner << sqlName(f->name);
        }
    }
    if (d == schema::Dialect::PostgreSql)
        return QStringLiteral("SELECT %1 FROM %2%3").arg(cols.join(QStringLiteral(", ")), table, where);
    return QStringLiteral("SELECT %1 FROM (SELECT %2 FROM %3%4 ORDER BY rowid)")
        .arg(cols.join(QStringLiteral(", ")), inner.join(QStringLiteral(", ")), table, where);
}
} // namespace

double TableSql::keyTotal(Connection& c, const schema::FieldDef& field, const schema::FieldDef& key,
                          const QVariant& value) const
{
    Statement st(c, sumsInEntryOrder(c.dialect(), sqlName(def_->name), {&field}, false,
                                     QStringLiteral(" WHERE ") + equalTo(key, value)));
    if (!value.isNull())
        st.bind(1, value, key.type);
    return st.step() ? st.column(0, schema::FieldType::Float).toDouble() : 0.0;
}

std::vector<double> TableSql::keySums(Connection& c, const std::vector<const schema::FieldDef*>& sums,
                                     const std::vector<std::pair<const schema::FieldDef*, QVariant>>& equal,
                                     const schema::FieldDef* date, const QVariant& from, const QVariant& to) const
{
    QStringList where;
    for (const auto& [f, v] : equal)
        where << equalTo(*f, v);
    if (date && from.isValid())
        where << sqlName(date->name) + QStringLiteral(" >= ?");
    if (date && to.isValid())
        where << sqlName(date->name) + QStringLiteral(" <= ?");
    Statement st(c, sumsInEntryOrder(c.dialect(), sqlName(def_->name), sums, true,
                                     where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "))));
    int i = 1;
    for (const auto& [f, v] : equal)
        if (!v.isNull())
            st.bind(i++, v, f->type);
    if (date && from.isValid())
        st.bind(i++, from, date->type);
    if (date && to.isValid())
        st.bind(i++, to, date->type);
    std::vector<double> out(sums.size() + 1, 0.0);
    if (st.step()) {
        out[0] = double(st.columnInt(0));
        for (size_t k = 0; k < sums.size(); ++k)
            out[k + 1] = st.column(int(k) + 1, schema::FieldType::Float).toDouble();
    }
    return out;
}

qint64 TableSql::insert(Connection& c, const std::vector<int>& fields, const Record& rec) const
{
    QStringList cols, marks;
    for (int i : fields) {
        cols << sqlName(def_->fields[i].name);
        marks << QStringLiteral("?");
    }
    const QString returning = c.insertReturning();
    Statement st(c, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)%4")
                        .arg(sqlName(def_->name), cols.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")),
                             returning));
    for (int k = 0; k < int(fields.size()); ++k)
        st.bind(k + 1, rec[fields[k]], def_->fields[fields[k]].type);
    if (returning.isEmpty()) {
        st.run();
        return c.lastInsertRowid();
    }
    const qint64 id = st.step() ? st.columnInt(0) : 0;
    st.run();
    return id;
}

bool TableSql::update(Connection& c, qint64 rowid, const std::vector<int>& fields, const Record& rec) const
{
    QStringList sets;
    for (int i : fields)
        sets << sqlName(def_->fields[i].name) + QStringLiteral(" = ?");
    Statement st(c, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(sqlName(def_->name), sets.join(QStringLiteral(", "))));
    for (int k = 0; k < int(fields.size()); ++k)
        st.bind(k + 1, rec[fields[k]], def_->fields[fields[k]].type);
    st.bindInt(int(fields.size()) + 1, rowid);
    st.run();
    return st.changes() != 0;
}

void TableSql::remove(Connection& c, qint64 rowid) const
{
    Statement st(c, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(sqlName(def_->name)));
    st.bindInt(1, rowid);
    st.run();
}

void TableSql::removeAll(Connection& c) const
{
    Statement st(c, QStringLiteral("DELETE FROM %1").arg(sqlName(def_->name)));
    st.run();
}

} // namespace store
