#include "tablesource.h"

#include "store/table.h"

namespace reports {

TableSource::TableSource(store::Table& t, QString name)
    : t_(t), name_(name.isEmpty() ? t.objectName() : std::move(name)) {}

void TableSource::first() { t_.first(); }
void TableSource::next() { t_.next(); }
bool TableSource::eof() const { return t_.eof(); }
QString TableSource::displayText(const QString& field) const { return t_.fieldByName(field).displayText(); }
double TableSource::number(const QString& field) const { return t_.fieldByName(field).asFloat(); }

} // namespace reports
