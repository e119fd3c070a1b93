#pragma once
// A report data source over a store table: the table's current order, link
// and filter, and its fields' display texts (display hooks included).
#include "reports/model/report.h"

#include <QHash>

namespace store {
class Table;
class Field;
}

namespace reports {

class TableSource : public DataSource {
public:
    explicit TableSource(store::Table& t, QString name = {});
    QString name() const override { return name_; }
    void first() override;
    void next() override;
    bool eof() const override;
    QString displayText(const QString& field) const override;
    double number(const QString& field) const override;
    QVariant value(const QString& field, QString* format) const override;
    void beginPass() override;
    void endPass() override;
    store::Table& table() const { return t_; }

private:
    store::Field& field(const QString& name) const;
    store::Table& t_;
    QString name_;
    // Fields by the text their items hold: the same strings come back for
    // every row, so their data pointer finds them without hashing the text.
    // Each entry keeps its string, so that no other text can come to stand
    // at its address: the same data is the same name.
    struct Known {
        QString name;
        store::Field* field;
    };
    mutable QHash<const void*, Known> fields_;
};

} // namespace reports
