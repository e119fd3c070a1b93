#pragma once
// Filter expressions such as  Md2Use='*'  or  (Org = '123' or Org = '124') and not Cbc = ''.
// Parsed against the table's fields and turned into SQL with every literal
// bound as a parameter; the text itself never reaches SQL.
#include "core/schema/schema.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <utility>
#include <vector>

namespace store {

using SqlParams = std::vector<std::pair<QVariant, schema::FieldType>>;

// SQL comparisons in the store's order, where an empty (null) value is less
// than every other value; `value` is bound as a parameter.
QString sqlCompare(const QString& column, const QString& op, const QVariant& value, schema::FieldType type,
                   SqlParams& params);

class FilterExpr {
public:
    struct Node;
    // Refused with a StoreError naming the fault when the text is malformed.
    static std::unique_ptr<FilterExpr> parse(const QString& text, const schema::TableDef& def);
    ~FilterExpr();
    QString sql(SqlParams& params) const;

private:
    FilterExpr() = default;
    std::unique_ptr<Node> root_;
};

} // namespace store
