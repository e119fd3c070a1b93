#include "reports/pipeline/tablesource.h"

#include "core/store/table.h"

namespace reports {

TableSource::TableSource(store::Table& t, QString name)
    : t_(t), name_(name.isEmpty() ? t.objectName() : std::move(name)) {}

void TableSource::first() { t_.first(); }
void TableSource::next() { t_.next(); }
bool TableSource::eof() const { return t_.eof(); }
store::Field& TableSource::field(const QString& name) const
{
    const void* key = name.constData();
    if (auto it = fields_.constFind(key); it != fields_.constEnd() && it->name.size() == name.size())
        return *it->field;
    store::Field& f = t_.fieldByName(name);
    if (fields_.size() >= 256)   // names made afresh for each call
        fields_.clear();
    fields_.insert(key, {name, &f});
    return f;
}

QString TableSource::displayText(const QString& f) const { return field(f).displayText(); }
double TableSource::number(const QString& f) const { return field(f).asFloat(); }

QVariant TableSource::value(const QString& name, QString* format) const
{
    const store::Field& f = field(name);
    if (f.hasDisplayHook() || f.isNull())
        return {};
    switch (f.type()) {
    case schema::FieldType::Float:
        if (format)
            *format = f.displayFormat();
        return f.asFloat();
    case schema::FieldType::Date:
        return f.asDate();
    default:
        return {};
    }
}

void TableSource::beginPass()
{
    if (t_.session())
        t_.session()->beginRead();
}

void TableSource::endPass()
{
    if (t_.session())
        t_.session()->endRead();
}

} // namespace reports
