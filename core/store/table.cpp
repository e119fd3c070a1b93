// Table: open and close, the view and the moves over it, what the view
// holds (order, master link, filter, range), its sums, calculated fields and
// the bound controls. The changes are in tablechange.cpp, the searches in
// tablesearch.cpp, the values of fields in field.cpp.
#include "core/store/table.h"
#include "core/store/filterexpr.h"

#include <algorithm>

namespace store {

Table::Table(Session* session, QString objectName) : session_(session), objectName_(std::move(objectName)) {}

Table::~Table()
{
    try {
        close();
    } catch (...) {
    }
    if (master_)
        clearMaster();
    for (Table* d : details_)
        d->master_ = nullptr;
}

void Table::setDirectory(const QString& dir)
{
    if (isOpen())
        throw StoreError(QStringLiteral("Cannot perform this operation on an open dataset"));
    dir_ = dir;
}

void Table::setTableName(const QString& name)
{
    if (isOpen())
        throw StoreError(QStringLiteral("Cannot perform this operation on an open dataset"));
    const schema::TableDef* d = schema::table(name);
    if (!d)
        throw StoreError(QStringLiteral("Table '%1' does not exist").arg(name));
    if (d == def_) {
        sql_.clearTexts();
        return;
    }
    def_ = d;
    fieldIndex_.clear();
    fields_.clear();
    storedIdx_.clear();
    autoIdx_ = -1;
    for (int i = 0; i < d->fields.size(); ++i) {
        auto f = std::make_unique<Field>();
        f->table_ = this;
        f->def_ = &d->fields[i];
        f->index_ = i;
        fields_.push_back(std::move(f));
        if (!d->fields[i].calculated)
            storedIdx_.push_back(i);
        if (d->fields[i].type == schema::FieldType::AutoInc)
            autoIdx_ = i;
        fieldIndex_.insert(d->fields[i].name.toLower(), i);
        fieldIndex_.insert(d->fields[i].name, i);   // as spelled: no case folding on the usual path
    }
    current_.assign(fields_.size(), QVariant());
    edit_ = current_;
    order_.clear();
    if (const auto* pk = d->primaryKey())
        order_ = pk->fields;
    orderIdx_ = orderIndexes();
    sql_.setTable(d, storedIdx_);
    rows_.setTable(d, storedIdx_);
    filterExpr_.reset();
    filterText_.clear();
}

QString Table::tableName() const { return def_ ? def_->name : QString(); }

const schema::TableDef& Table::def() const
{
    if (!def_)
        throw StoreError(QStringLiteral("Table name is missing"));
    return *def_;
}

Connection& Table::connection()
{
    requireOpen("connection");
    return *conn_;
}

void Table::requireOpen(const char* what) const
{
    if (state_ == TableState::Inactive)
        throw StoreError(QStringLiteral("Cannot perform this operation on a closed dataset (%1 %2)")
                             .arg(objectName_.isEmpty() ? tableName() : objectName_, QLatin1String(what)));
}

bool Table::eof() const
{
    if (state_ == TableState::Browse && !viewValid_)
        const_cast<Table*>(this)->buildView();
    return eof_;
}

bool Table::bof() const
{
    if (state_ == TableState::Browse && !viewValid_)
        const_cast<Table*>(this)->buildView();
    return bof_;
}

void Table::open()
{
    if (isOpen())
        return;
    def();
    Connection& c = session_->connection(dir_, def_->location);
    if (!sql_.exists(c))
        throw StoreError(QStringLiteral("Table '%1' does not exist in %2").arg(def_->name, c.file()));
    conn_ = &c;
    sql_.setDialect(c.dialect());
    session_->registerTable(this);
    state_ = TableState::Browse;
    active_ = &current_;
    // The rows read before a close stay good while nobody has written since
    // (the view checks that); another connection is another file, or the
    // same file opened anew.
    rows_.attach(c);
    repositionFirst_ = true;   // an opened table stands on its first row
    invalidateView();
    notify(TableEvent::Opened);
    for (Table* d : details_)
        d->masterMoved();
}

void Table::close()
{
    if (!isOpen())
        return;
    // The details' pending rows are stored before their master goes; a
    // refusal leaves everything open as it was.
    postDetails();
    state_ = TableState::Inactive;
    active_ = &current_;
    session_->unregisterTable(this);
    conn_ = nullptr;
    viewValid_ = false;
    rows_.detach();
    pos_ = -1;
    eof_ = bof_ = true;
    current_.assign(fields_.size(), QVariant());
    notify(TableEvent::Closed);
    for (Table* d : details_)
        d->masterMoved();
}

// ---------------------------------------------------------------- the view

void Table::invalidateView()
{
    viewValid_ = false;
    notify(TableEvent::DataSetChanged);
}

std::vector<int> Table::orderIndexes() const
{
    std::vector<int> out;
    for (const auto& f : order_)
        out.push_back(def_->fieldIndex(f));
    return out;
}

QVariantList Table::masterValues() const
{
    QVariantList out;
    for (int i : masterLinkIdx_)
        out << master_->fields_[size_t(i)]->value();
    return out;
}

ViewConditions Table::viewConditions(bool withLink)
{
    ViewConditions c;
    if (withLink && master_) {
        const QVariantList mv = masterValues();
        for (int i = 0; i < linkFields_.size(); ++i) {
            const Field& f = *fields_[size_t(linkIdx_[size_t(i)])];
            QVariant v;
            try {
                v = f.convert(mv.value(i));
            } catch (const StoreError&) {
                v = mv.value(i);
            }
            c.link.push_back({&f.def(), v});
        }
    }
    if (rangeOn_) {
        // Both ends on as many leading fields of the order as they give values for.
        auto bound = [&](const QVariantList& vals, std::vector<ViewConditions::Value>& out) {
            const int n = std::min<int>(int(vals.size()), int(order_.size()));
            for (int i = 0; i < n; ++i) {
                const Field& f = fieldByName(order_[i]);
                out.push_back({&f.def(), f.convert(vals[i])});
            }
        };
        bound(rangeFrom_, c.from);
        bound(rangeTo_, c.to);
    }
    if (filtered_ && filterExpr_)
        c.filter = filterExpr_.get();
    return c;
}

std::optional<double> Table::viewSum(const QString& name)
{
    requireOpen("viewSum");
    if (filtered_ && filterCb_)
        return std::nullopt;
    const Field& f = fieldByName(name);
    if (f.isCalculated() || (f.type() != schema::FieldType::Float && f.type() != schema::FieldType::AutoInc))
        throw StoreError(QStringLiteral("Поле %1 не числовое").arg(f.name()));
    if (master_ && (!master_->isOpen() || master_->recordCountConst() == 0))
        return 0.0;
    return sql_.total(*conn_, f.def(), viewConditions(true));
}

std::optional<QHash<QString, double>> Table::groupSums(const QString& groupField, const QString& sumField)
{
    requireOpen("groupSums");
    if (filtered_ && filterCb_)
        return std::nullopt;
    const Field& g = fieldByName(groupField);
    const Field& f = fieldByName(sumField);
    if (f.isCalculated() || g.isCalculated() || (f.type() != schema::FieldType::Float && f.type() != schema::FieldType::AutoInc))
        throw StoreError(QStringLiteral("Поле %1 не числовое").arg(f.name()));
    // The view's conditions without its link.
    return sql_.groupTotals(*conn_, g.def(), f.def(), viewConditions(false));
}

std::optional<QHash<QString, QString>> Table::groupLast(const QString& groupField, const QString& field)
{
    requireOpen("groupLast");
    if (filtered_ && filterCb_)
        return std::nullopt;
    const Field& g = fieldByName(groupField);
    const Field& f = fieldByName(field);
    if (f.isCalculated() || g.isCalculated())
        throw StoreError(QStringLiteral("Поле %1 вычисляемое").arg(f.isCalculated() ? f.name() : g.name()));
    return sql_.groupLast(*conn_, g.def(), f.def(), order_, viewConditions(false));
}

void Table::buildView()
{
    rows_.revalidate();
    const qint64 keepId = pendingRowId_ ? pendingRowId_ : (pos_ >= 0 && pos_ < rows_.size() ? rows_.id(pos_) : 0);
    rows_.clear();

    const bool masterEmpty = master_ && (!master_->isOpen() || master_->recordCountConst() == 0);
    if (!masterEmpty) {
        const bool callback = filtered_ && filterCb_;
        // A linked or ranged view is small: its rows come with it.
        const bool withRows = callback || master_ || rangeOn_;
        SqlParams params;
        const QString sql = sql_.viewQuery(withRows, order_, viewConditions(true), params);
        Statement st(*conn_, sql);
        bindParams(st, params);
        if (!withRows) {
            while (st.step())
                rows_.append(st.columnInt(0));
        } else {
            // The callback sees each candidate row as the active row.
            Record rec(fields_.size());
            const Record* saved = active_;
            active_ = &rec;
            try {
                while (st.step()) {
                    std::fill(rec.begin(), rec.end(), QVariant());
                    for (int k = 0; k < int(storedIdx_.size()); ++k)
                        rec[storedIdx_[k]] = st.column(k + 1, def_->fields[storedIdx_[k]].type);
                    if (!callback || filterCb_(*this)) {
                        rows_.append(st.columnInt(0), rec);
                    }
                }
            } catch (...) {
                active_ = saved;
                throw;
            }
            active_ = saved;
        }
    }
    viewValid_ = true;
    builtLink_ = master_ ? masterValues() : QVariantList();

    const int n = rows_.size();
    int pos = -1;
    if (n > 0) {
        pos = 0;
        if (!repositionFirst_ && keepId) {
            const int at = rows_.indexOf(keepId);
            pos = at >= 0 ? at : std::clamp(pos_, 0, n - 1);
        }
    }
    if (repositionFirst_ || n == 0) {
        bof_ = true;
        eof_ = n == 0;
    }
    repositionFirst_ = false;
    pendingRowId_ = 0;
    pos_ = pos;
    loadCurrent();
}

void Table::ensureView()
{
    requireOpen("read");
    if (!viewValid_)
        buildView();
}

int Table::recordCountConst() const { return const_cast<Table*>(this)->recordCount(); }

const Field& Table::fieldByNameConst(const QString& name) const { return const_cast<Table*>(this)->fieldByName(name); }

void Table::runCalc(Record& rec)
{
    for (int i = 0; i < int(fields_.size()); ++i)
        if (def_->fields[i].calculated)
            rec[i] = QVariant();
    if (!calc_)
        return;
    const Record* savedActive = active_;
    Record* savedTarget = calcTarget_;
    const TableState savedState = state_;
    active_ = &rec;
    calcTarget_ = &rec;
    state_ = TableState::CalcFields;
    auto restore = [&] {
        active_ = savedActive;
        calcTarget_ = savedTarget;
        state_ = savedState;
    };
    try {
        calc_(*this);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void Table::loadCurrent()
{
    if (pos_ < 0 || pos_ >= rows_.size()) {
        current_.assign(fields_.size(), QVariant());
        runCalc(current_);
        return;
    }
    current_ = rows_.row(pos_);
    runCalc(current_);
}

void Table::setPos(int pos)
{
    pos_ = pos;
    loadCurrent();
    notify(TableEvent::RecordMoved);
    for (Table* d : details_)
        d->masterMoved();
}

const QVariant& Table::activeValue(int index) const
{
    // The current row of a stale view is read anew; rows a scan or the
    // filter callback hold as active are read as they are.
    if (state_ == TableState::Browse && !viewValid_ && active_ == &current_)
        const_cast<Table*>(this)->buildView();
    return (*active_)[index];
}

// ---------------------------------------------------------------- reading

void Table::checkBrowse()
{
    requireOpen("browse");
    postDetails();
    if (state_ == TableState::Edit || state_ == TableState::Insert)
        post();
}

// Before a table leaves its row, its details store their pending rows, as
// the table stores its own; a refusal raises the store's error and the
// table stays where it is.
void Table::postDetails()
{
    for (Table* d : details_)
        if (d->isOpen())
            d->checkBrowse();
}

void Table::first()
{
    checkBrowse();
    if (viewValid_ && rows_.stale())
        viewValid_ = false;
    repositionFirst_ = true;
    ensureView();
    // A view that was still valid was not rebuilt: the request to stand on
    // the first row is met here and must not linger, or the next rebuild
    // (a refresh long after) would jump to the first row.
    repositionFirst_ = false;
    const int n = rows_.size();
    bof_ = true;
    eof_ = n == 0;
    setPos(n > 0 ? 0 : -1);
}

void Table::last()
{
    checkBrowse();
    ensureView();
    const int n = rows_.size();
    eof_ = true;
    bof_ = n == 0;
    setPos(n - 1);
}

void Table::next()
{
    checkBrowse();
    ensureView();
    bof_ = false;
    if (pos_ + 1 < rows_.size()) {
        eof_ = false;
        setPos(pos_ + 1);
    } else {
        eof_ = true;
    }
}

void Table::prior()
{
    checkBrowse();
    ensureView();
    eof_ = false;
    if (pos_ > 0) {
        bof_ = false;
        setPos(pos_ - 1);
    } else {
        bof_ = true;
    }
}

int Table::moveBy(int n)
{
    checkBrowse();
    ensureView();
    const int count = rows_.size();
    if (count == 0 || n == 0)
        return 0;
    const int target = std::clamp(pos_ + n, 0, count - 1);
    const int moved = target - pos_;
    eof_ = n > 0 && pos_ + n >= count;
    bof_ = n < 0 && pos_ + n < 0;
    if (moved != 0)
        setPos(target);
    return moved;
}

int Table::recordCount()
{
    ensureView();
    return rows_.size();
}

int Table::recNo()
{
    ensureView();
    return pos_ + 1;
}

int Table::currentIndex()
{
    ensureView();
    return pos_;
}

void Table::setRecNo(int n)
{
    checkBrowse();
    ensureView();
    const int count = rows_.size();
    if (count == 0)
        return;
    eof_ = bof_ = false;
    setPos(std::clamp(n - 1, 0, count - 1));
}

void Table::refresh()
{
    checkBrowse();
    const qint64 before = pos_ >= 0 && pos_ < rows_.size() ? rows_.id(pos_) : 0;
    viewValid_ = false;
    rows_.forgetVersion();   // values re-read too
    ensureView();
    notify(TableEvent::DataSetChanged);
    // The row is gone (another copy deleted it): the details follow the row
    // that took its place, as after any other move.
    const qint64 after = pos_ >= 0 && pos_ < rows_.size() ? rows_.id(pos_) : 0;
    if (after != before)
        for (Table* d : details_)
            d->masterMoved();
}

double Table::storedTotal(const QString& sumField, const QString& keyField, const QVariant& key)
{
    requireOpen("storedTotal");
    const Field& f = fieldByName(sumField);
    const Field& k = fieldByName(keyField);
    if (f.isCalculated() || k.isCalculated() || f.type() != schema::FieldType::Float)
        throw StoreError(QStringLiteral("Поле %1 не числовое").arg(f.name()));
    return sql_.keyTotal(*conn_, f.def(), k.def(), k.convert(key));
}

Table::StoredSums Table::storedSums(const QStringList& sumFields, const std::vector<std::pair<QString, QVariant>>& equal,
                                   const QString& dateField, const QDate& from, const QDate& to)
{
    requireOpen("storedSums");
    std::vector<const schema::FieldDef*> sums;
    for (const QString& n : sumFields) {
        const Field& f = fieldByName(n);
        if (f.isCalculated() || f.type() != schema::FieldType::Float)
            throw StoreError(QStringLiteral("Поле %1 не числовое").arg(f.name()));
        sums.push_back(&f.def());
    }
    std::vector<std::pair<const schema::FieldDef*, QVariant>> keys;
    for (const auto& [n, v] : equal) {
        const Field& k = fieldByName(n);
        if (k.isCalculated())
            throw StoreError(QStringLiteral("Поле %1 не хранится").arg(k.name()));
        keys.emplace_back(&k.def(), k.convert(v));
    }
    const schema::FieldDef* date = nullptr;
    if (!dateField.isEmpty()) {
        const Field& d = fieldByName(dateField);
        if (d.isCalculated() || d.type() != schema::FieldType::Date)
            throw StoreError(QStringLiteral("Поле %1 не дата").arg(d.name()));
        date = &d.def();
    }
    const std::vector<double> r = sql_.keySums(*conn_, sums, keys, date, from.isValid() ? QVariant(from) : QVariant(),
                                               to.isValid() ? QVariant(to) : QVariant());
    return {qint64(r[0]), std::vector<double>(r.begin() + 1, r.end())};
}

Field& Table::field(int i)
{
    if (i < 0 || i >= int(fields_.size()))
        throw StoreError(QStringLiteral("Field index out of range"));
    return *fields_[i];
}

Field* Table::findField(const QString& name)
{
    if (!def_)
        return nullptr;
    auto it = fieldIndex_.constFind(name);
    if (it == fieldIndex_.constEnd())
        it = fieldIndex_.constFind(name.toLower());
    return it == fieldIndex_.constEnd() ? nullptr : fields_[*it].get();
}

Field& Table::fieldByName(const QString& name)
{
    if (Field* f = findField(name))
        return *f;
    throw StoreError(QStringLiteral("%1: Field '%2' not found").arg(objectName_.isEmpty() ? tableName() : objectName_, name));
}

// ---------------------------------------------------------------- view definition

void Table::setOrder(const QString& fields)
{
    def();
    sql_.clearOrder();
    QStringList list;
    for (const auto& f : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const schema::FieldDef* fd = def_->field(f.trimmed());
        if (!fd || fd->calculated)
            throw StoreError(QStringLiteral("%1: Field '%2' not found").arg(tableName(), f.trimmed()));
        list << fd->name;
    }
    if (list.isEmpty())
        if (const auto* pk = def_->primaryKey())
            list = pk->fields;
    if (list == order_)
        return;
    if (isOpen())
        checkBrowse();
    order_ = list;
    orderIdx_ = orderIndexes();
    if (isOpen())
        invalidateView();
}

void Table::setMaster(Table* master, const QString& detailFields, const QString& masterFields)
{
    def();
    const QStringList df = detailFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const QStringList mf = masterFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (!master || df.isEmpty() || df.size() != mf.size())
        throw StoreError(QStringLiteral("%1: wrong master link").arg(tableName()));
    for (const auto& f : df)
        fieldByName(f.trimmed());
    for (const auto& f : mf)
        master->fieldByName(f.trimmed());
    if (isOpen())
        checkBrowse();   // a pending row is stored under the link it was typed under
    if (master_)
        clearMaster();
    master_ = master;
    linkFields_ = df;
    masterFields_ = mf;
    linkIdx_.clear();
    masterLinkIdx_.clear();
    for (int i = 0; i < df.size(); ++i) {
        linkIdx_.push_back(def_->fieldIndex(df[i].trimmed()));
        masterLinkIdx_.push_back(master->def_->fieldIndex(mf[i].trimmed()));
    }
    master->details_.push_back(this);
    masterMoved();
}

void Table::clearMaster()
{
    if (!master_)
        return;
    if (isOpen())
        checkBrowse();
    auto& d = master_->details_;
    d.erase(std::remove(d.begin(), d.end(), this), d.end());
    master_ = nullptr;
    linkFields_.clear();
    masterFields_.clear();
    linkIdx_.clear();
    masterLinkIdx_.clear();
    masterMoved();
}

void Table::masterMoved()
{
    if (!isOpen())
        return;
    // Leaving the master's row stores a pending row as any other move does
    // (the moves of the master have done so before moving; this is for the
    // changes that come without a move of the master's own).
    if (state_ == TableState::Edit || state_ == TableState::Insert)
        post();
    // The master moved to a row with the same link values (the rows of one
    // group follow each other): the view holds the same rows, unless this
    // program wrote meanwhile. What other copies write is read at the next
    // first() or refresh, as for every other view.
    if (viewValid_ && master_ && state_ == TableState::Browse && !(filtered_ && filterCb_) &&
        !rows_.ownWriteSince() && masterValues() == builtLink_) {
        const int n = rows_.size();
        bof_ = true;
        eof_ = n == 0;
        setPos(n > 0 ? 0 : -1);
        return;
    }
    repositionFirst_ = true;
    invalidateView();
    for (Table* d : details_)
        d->masterMoved();
}

void Table::setFilterCallback(FilterCallback cb)
{
    filterCb_ = std::move(cb);
    if (isOpen() && filtered_) {
        repositionFirst_ = true;
        invalidateView();
    }
}

void Table::setFilterExpression(const QString& expr)
{
    def();
    std::unique_ptr<FilterExpr> e;
    if (!expr.trimmed().isEmpty())
        e = FilterExpr::parse(expr, *def_);
    filterExpr_ = std::move(e);
    filterText_ = expr;
    if (isOpen() && filtered_) {
        repositionFirst_ = true;
        invalidateView();
    }
}

void Table::setFiltered(bool on)
{
    if (on == filtered_)
        return;
    if (isOpen())
        checkBrowse();
    filtered_ = on;
    if (isOpen()) {
        repositionFirst_ = true;
        invalidateView();
    }
}

void Table::setRange(const QVariantList& from, const QVariantList& to)
{
    def();
    // Check the values now, so a bad one is refused here and not at the next read.
    for (const QVariantList* l : {&from, &to})
        for (int i = 0; i < l->size() && i < order_.size(); ++i)
            fieldByName(order_[i]).convert((*l)[i]);
    if (isOpen())
        checkBrowse();
    rangeOn_ = true;
    rangeFrom_ = from;
    rangeTo_ = to;
    if (isOpen()) {
        repositionFirst_ = true;
        invalidateView();
    }
}

void Table::cancelRange()
{
    if (!rangeOn_)
        return;
    if (isOpen())
        checkBrowse();
    rangeOn_ = false;
    rangeFrom_.clear();
    rangeTo_.clear();
    if (isOpen()) {
        repositionFirst_ = true;
        invalidateView();
    }
}

// ---------------------------------------------------------------- calculated fields, controls

void Table::setCalcFields(CalcCallback cb)
{
    calc_ = std::move(cb);
    if (isOpen() && state_ == TableState::Browse && viewValid_) {
        loadCurrent();
        notify(TableEvent::DataSetChanged);
    }
}

void Table::disableControls() { ++disabled_; }

void Table::enableControls()
{
    if (disabled_ == 0)
        return;
    if (--disabled_ == 0 && changedWhileDisabled_) {
        changedWhileDisabled_ = false;
        notify(TableEvent::DataSetChanged);
    }
}

int Table::addListener(Listener l)
{
    const int id = nextListener_++;
    listeners_.emplace_back(id, std::move(l));
    return id;
}

void Table::removeListener(int id)
{
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(), [id](const auto& p) { return p.first == id; }),
                     listeners_.end());
}

void Table::notify(TableEvent e)
{
    if (disabled_ > 0) {
        changedWhileDisabled_ = true;
        return;
    }
    const auto copy = listeners_;
    for (const auto& [id, l] : copy)
        l(*this, e);
}

void Table::withRowAt(int pos, const std::function<void()>& body)
{
    ensureView();
    if (pos < 0 || pos >= rows_.size())
        throw StoreError(QStringLiteral("Record index out of range"));
    Record rec = rows_.row(pos);
    const Record* saved = active_;
    ++aside_;
    try {
        runCalc(rec);
        active_ = &rec;
        body();
    } catch (...) {
        active_ = saved;
        --aside_;
        throw;
    }
    active_ = saved;
    --aside_;
}

} // namespace store
