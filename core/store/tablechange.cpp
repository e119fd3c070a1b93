// Table: the changes of a table. Append, edit, post and cancel of a row,
// delete, rows restored from saved values, emptying and packing the table.
#include "core/store/table.h"

namespace store {

namespace {

bool isNull(const QVariant& v) { return !v.isValid() || v.isNull(); }

} // namespace

void Table::setFieldValue(int index, const QVariant& v)
{
    requireOpen("set field");
    const schema::FieldDef& fd = def_->fields[index];
    Field& f = *fields_[index];
    if (state_ == TableState::CalcFields) {
        if (!fd.calculated)
            throw StoreError(QStringLiteral("Field '%1' cannot be modified while calculating").arg(fd.name));
        QVariant c = isNull(v) ? QVariant() : v;
        if (fd.type == schema::FieldType::Text && !isNull(c)) {
            QString s = c.toString().left(fd.size);
            while (s.endsWith(QLatin1Char(' ')))
                s.chop(1);
            c = s.isEmpty() ? QVariant() : QVariant(s);
        } else {
            c = f.convert(c);
        }
        (*calcTarget_)[index] = c;
        return;
    }
    if (state_ != TableState::Edit && state_ != TableState::Insert)
        throw StoreError(QStringLiteral("%1: Dataset not in edit or insert mode").arg(tableName()));
    if (fd.type == schema::FieldType::AutoInc)
        throw StoreError(QStringLiteral("Field '%1' cannot be modified").arg(fd.name));
    edit_[index] = f.convert(v);
    if (!fd.calculated)
        runCalc(edit_);
    notify(TableEvent::RecordChanged);
}

void Table::append()
{
    checkBrowse();
    edit_.assign(fields_.size(), QVariant());
    for (int i : storedIdx_)
        if (def_->fields[i].defaultValue.isValid())
            edit_[i] = def_->fields[i].defaultValue;
    if (master_ && master_->isOpen()) {
        const QVariantList mv = masterValues();
        for (int i = 0; i < linkFields_.size(); ++i) {
            const Field& f = *fields_[size_t(linkIdx_[size_t(i)])];
            try {
                edit_[f.index()] = f.convert(mv.value(i));
            } catch (const StoreError&) {
                edit_[f.index()] = QVariant();
            }
        }
    }
    editRowId_ = 0;
    state_ = TableState::Insert;
    active_ = &edit_;
    runCalc(edit_);
    notify(TableEvent::StateChanged);
}

void Table::edit()
{
    requireOpen("edit");
    if (state_ == TableState::Edit || state_ == TableState::Insert)
        return;
    ensureView();
    if (rows_.empty()) {
        append();
        return;
    }
    edit_ = current_;
    editRowId_ = rows_.id(pos_);
    state_ = TableState::Edit;
    active_ = &edit_;
    notify(TableEvent::StateChanged);
}

void Table::post()
{
    requireOpen("post");
    if (state_ != TableState::Edit && state_ != TableState::Insert)
        return;
    postDetails();
    if (beforePost_)
        beforePost_(*this);
    // The stored fields; the serial number only when a new row brings its own.
    std::vector<int> idx;
    const bool inserting = state_ == TableState::Insert;
    for (int i : storedIdx_)
        if (i != autoIdx_ || (inserting && !isNull(edit_[i])))
            idx.push_back(i);
    qint64 id = editRowId_;
    const quint64 genBefore = conn_->generation();
    conn_->write([&] {
        if (inserting)
            id = sql_.insert(*conn_, idx, edit_);
        else if (!sql_.update(*conn_, id, idx, edit_))
            throw StoreError(QStringLiteral("Запись была удалена другой копией программы. Перечитайте таблицу."));
    });
    // The cache stays coherent with our own change.
    rows_.keepCoherent(genBefore);
    if (autoIdx_ >= 0 && inserting)
        edit_[autoIdx_] = id;
    Record rec = edit_;
    for (int i = 0; i < int(fields_.size()); ++i)
        if (def_->fields[i].calculated)
            rec[i] = QVariant();
    rows_.put(id, rec);
    state_ = TableState::Browse;
    active_ = &current_;
    pendingRowId_ = id;
    repositionFirst_ = false;   // the posted row stays current
    viewValid_ = false;
    notify(TableEvent::StateChanged);
    notify(TableEvent::DataSetChanged);
    for (Table* d : details_)
        d->masterMoved();
}

void Table::cancel()
{
    requireOpen("cancel");
    if (state_ != TableState::Edit && state_ != TableState::Insert)
        return;
    state_ = TableState::Browse;
    active_ = &current_;
    edit_.assign(fields_.size(), QVariant());
    notify(TableEvent::StateChanged);
    notify(TableEvent::RecordChanged);
}

void Table::remove()
{
    requireOpen("delete");
    if (state_ == TableState::Insert) {
        cancel();
        return;
    }
    if (state_ == TableState::Edit)
        cancel();
    ensureView();
    if (rows_.empty())
        throw StoreError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    postDetails();
    const qint64 id = rows_.id(pos_);
    const quint64 genBefore = conn_->generation();
    conn_->write([&] { sql_.remove(*conn_, id); });
    rows_.keepCoherent(genBefore);
    rows_.erase(pos_);
    const int n = rows_.size();
    if (pos_ >= n)
        pos_ = n - 1;
    eof_ = bof_ = n == 0;
    loadCurrent();
    notify(TableEvent::DataSetChanged);
    for (Table* d : details_)
        d->masterMoved();
}

void Table::assignAutoInc(qint64 value)
{
    if (state_ != TableState::Insert || autoIdx_ < 0)
        throw StoreError(QStringLiteral("%1: no new row to number").arg(tableName()));
    // The serial numbers the store gives are whole numbers from 1 up; one
    // that a row brings itself must be one of them.
    constexpr qint64 Max = 2147483647;
    if (value < 1 || value > Max)
        throw StoreError(QStringLiteral("Value must be between 1 and %1").arg(Max));
    edit_[autoIdx_] = value;
}

void Table::appendRecord(const QVariantList& values)
{
    append();
    int k = 0;
    for (int i : storedIdx_) {
        if (k >= values.size())
            break;
        const QVariant v = values[k++];
        // An invalid value leaves the field as append made it (default, link value).
        if (i == autoIdx_ || !v.isValid())
            continue;
        setFieldValue(i, v);
    }
    post();
}

void Table::emptyTable()
{
    def();
    if (isOpen()) {
        postDetails();
        if (state_ == TableState::Edit || state_ == TableState::Insert)
            cancel();
        conn_->write([&] { sql_.removeAll(*conn_); });
        rows_.dropRows();
        repositionFirst_ = true;
        invalidateView();
        for (Table* d : details_)
            d->masterMoved();
        return;
    }
    Connection& c = session_->connection(dir_, def_->location);
    c.write([&] { sql_.removeAll(c); });
}

void Table::pack()
{
    requireOpen("pack");
    Connection* c = conn_;
    close();
    try {
        c->pack(def_->name);
        // The rewrite copies the rows as they are stored; a row that breaks
        // a rule of the table (written by anything but the store) or a
        // damaged page shows here, and the table is reported, not taken as
        // packed.
        const QStringList problems = c->integrityCheck(def_->name);
        if (problems != QStringList{QStringLiteral("ok")})
            throw StoreError(QStringLiteral("Таблица %1 не прошла проверку целостности после упаковки: %2")
                                 .arg(def_->name, problems.join(QStringLiteral("; "))));
    } catch (...) {
        open();
        throw;
    }
    open();
}

} // namespace store
