#pragma once
// Table: a navigational dataset over one stored table. The current view
// (order, master link, range, filter) is a list of row ids evaluated by SQL
// where it can be and by the filter callback where it must; row values are
// fetched in blocks and cached while the view stands.
#include "core/store/rowview.h"
#include "core/schema/schema.h"
#include "core/store/session.h"
#include "core/store/storeerror.h"
#include "core/store/tablesql.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>
#include <optional>
#include <memory>
#include <vector>

namespace store {

class Table;
class FilterExpr;

enum class TableState { Inactive, Browse, Edit, Insert, CalcFields };

// What the bound controls hear from a table.
enum class TableEvent {
    Opened,
    Closed,
    DataSetChanged,   // the view was rebuilt or changed: re-read everything
    RecordMoved,      // another row became current
    RecordChanged,    // a value of the active row changed
    StateChanged,     // browse / edit / insert
};

class Field {
public:
    const schema::FieldDef& def() const { return *def_; }
    const QString& name() const { return def_->name; }
    schema::FieldType type() const { return def_->type; }
    int size() const { return def_->size; }
    int index() const { return index_; }
    bool isCalculated() const { return def_->calculated; }
    bool isRequired() const { return def_->required; }
    const QString& displayFormat() const { return def_->displayFormat; }
    Table& table() const { return *table_; }

    // Values of the active row (the current row, the row being edited, or
    // the row a scan or a grid is reading).
    QVariant value() const;
    bool isNull() const;
    QString asString() const;   // numbers in general form, dates dd.MM.yyyy
    double asFloat() const;     // null reads as 0
    QDate asDate() const;
    qint64 asInteger() const;

    // Setting needs edit or insert state (calculated fields: the calculation
    // callback). Texts lose trailing blanks, an empty text becomes null, a
    // text longer than the field is refused.
    void setValue(const QVariant& v);
    void setAsString(const QString& s);
    void setAsFloat(double v) { setValue(v); }
    void setAsDate(const QDate& d) { setValue(d); }
    void clear() { setValue(QVariant()); }

    // Text shown by controls: the display hook when installed, else the
    // value in the field's display format.
    QString displayText() const;
    // Text entered by controls: the entry hook when installed, else converted.
    void setText(const QString& text);

    using DisplayHook = std::function<QString(const Field&)>;
    using EntryHook = std::function<void(Field&, const QString&)>;
    void setDisplayHook(DisplayHook h) { display_ = std::move(h); }
    void setEntryHook(EntryHook h) { entry_ = std::move(h); }
    bool hasDisplayHook() const { return bool(display_); }
    bool hasEntryHook() const { return bool(entry_); }

    // Value conversion for this field's type (shared with importers).
    QVariant convert(const QVariant& v) const;

private:
    friend class Table;
    Table* table_ = nullptr;
    const schema::FieldDef* def_ = nullptr;
    int index_ = 0;
    DisplayHook display_;
    EntryHook entry_;
};

class Table {
public:
    explicit Table(Session* session, QString objectName = {});
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    const QString& objectName() const { return objectName_; }
    Session* session() const { return session_; }

    // A directory and a table name; the definition comes from the schema.
    void setDirectory(const QString& dir);
    QString directory() const { return dir_; }
    void setTableName(const QString& name);
    QString tableName() const;
    const schema::TableDef& def() const;

    void open();
    void close();
    bool isOpen() const { return state_ != TableState::Inactive; }
    TableState state() const { return state_; }

    // --- reading
    void first();   // also re-reads the view when the stored data changed
    void last();
    void next();    // on the last row: eof becomes true, the row stays
    void prior();
    int moveBy(int n);   // returns the rows actually moved
    // Of the view as it stands now: a view still to be read is read first.
    bool eof() const;
    bool bof() const;
    int recordCount();
    bool isEmpty() { return recordCount() == 0; }
    int recNo();              // 1-based; 0 when empty
    void setRecNo(int n);
    void refresh();           // re-read the view, staying on the same row where it still is

    int fieldCount() const { return int(fields_.size()); }
    Field& field(int i);
    Field& fieldByName(const QString& name);   // case-insensitive; refused when absent
    Field* findField(const QString& name);
    QVariant value(const QString& name) { return fieldByName(name).value(); }

    // --- order, link, filter, range
    void setOrder(const QString& fields);   // field names joined by ";"
    QString order() const { return order_.join(QLatin1Char(';')); }

    void setMaster(Table* master, const QString& detailFields, const QString& masterFields);
    void clearMaster();
    Table* master() const { return master_; }

    using FilterCallback = std::function<bool(Table&)>;
    void setFilterCallback(FilterCallback cb);
    void setFilterExpression(const QString& expr);   // parsed; refused when malformed
    QString filterExpression() const { return filterText_; }
    void setFiltered(bool on);
    bool filtered() const { return filtered_; }
    // The sum of a number field over the current view (link, range and filter
    // expression) by one SQL aggregate, empty values skipped; nothing while a
    // filter callback is in force, whose rows must be walked instead. The
    // current row does not move.
    std::optional<double> viewSum(const QString& field);
    // The same sums for every value of `groupField` at once, over the rows
    // the range and filter expression pass, whatever the link: what viewSum
    // gives for each master row of a link on `groupField`, in one aggregate.
    // Nothing while a filter callback is in force.
    std::optional<QHash<QString, double>> groupSums(const QString& groupField, const QString& sumField);
    // In the same way, the stored text of `field` in the last row of each
    // value of `groupField` in the current order: where a walk of the rows
    // of each master row of such a link would end.
    std::optional<QHash<QString, QString>> groupLast(const QString& groupField, const QString& field);
    // The sum of a number field over every stored row whose `keyField`
    // equals `key`, whatever the view (order, link, range, filter) the table
    // stands in: what the stored rows say now, other copies' included.
    double storedTotal(const QString& sumField, const QString& keyField, const QVariant& key);
    // The same over the stored rows whose fields `equal` hold the given
    // values and whose `dateField`, when named, lies between `from` and `to`
    // (both inclusive; a null bound is none), by one SQL aggregate: how many
    // rows those are, and the sum of each of `sumFields`.
    struct StoredSums {
        qint64 rows = 0;
        std::vector<double> sums;
    };
    StoredSums storedSums(const QStringList& sumFields, const std::vector<std::pair<QString, QVariant>>& equal,
                          const QString& dateField = {}, const QDate& from = {}, const QDate& to = {});

    // A range on the leading fields of the current order, both ends inclusive.
    void setRange(const QVariantList& from, const QVariantList& to);
    void cancelRange();
    bool hasRange() const { return rangeOn_; }

    // --- search on the current order, within the current view
    bool findKey(const QVariantList& values);      // exact; positions on it when found
    void findNearest(const QVariantList& values);  // first row >= values, else the last row
    // The same searches without moving, posting or cancelling anything: the
    // 0-based row of the view they would stand on, -1 when there is none (an
    // empty view; a key not found). They read the stored rows only, so a row
    // pending in edit or insert state stays as it is.
    int keyIndex(const QVariantList& values);
    int nearestIndex(const QVariantList& values);
    // A field's stored value in row `pos` of the view, without moving.
    QVariant storedValueAt(int pos, const QString& field);

    // --- change
    void append();   // a new row: defaults of the schema, then the link values
    void edit();
    void post();     // one transaction; a refused post leaves the row pending
    void cancel();
    void remove();   // one transaction; a refused delete leaves the row in place
    // Restoring saved rows: the pending new row keeps this serial number
    // instead of the next one.
    void assignAutoInc(qint64 value);
    void appendRecord(const QVariantList& values);   // stored fields in order; QVariant() skips one
    void emptyTable();   // open or closed
    void pack();         // the table must be open; it is open again afterwards

    // Runs at the start of every post, with the row to be posted active; may
    // refuse it by throwing.
    void setBeforePost(std::function<void(Table&)> cb) { beforePost_ = std::move(cb); }

    // --- calculated fields
    using CalcCallback = std::function<void(Table&)>;
    void setCalcFields(CalcCallback cb);
    bool hasCalcFields() const { return bool(calc_); }

    // --- bound controls
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return disabled_ > 0; }
    using Listener = std::function<void(Table&, TableEvent)>;
    int addListener(Listener l);
    void removeListener(int id);

    // Row `pos` (0-based in the view) as the active row while `body` runs,
    // with its calculated fields: what a grid paints, without moving.
    void withRowAt(int pos, const std::function<void()>& body);
    // True while withRowAt reads a row aside: calculated fields computed then
    // are for showing that row and must leave other tables where they stand.
    bool readingAside() const { return aside_ > 0; }
    int currentIndex();   // 0-based, -1 when empty

    // The connection of the table's database (open tables only).
    Connection& connection();

private:
    friend class Field;
    void requireOpen(const char* what) const;
    void checkBrowse();
    void postDetails();
    void ensureView();
    void invalidateView();
    void buildView();
    ViewConditions viewConditions(bool withLink);
    void loadCurrent();
    void runCalc(Record& rec);
    void setPos(int pos);
    void notify(TableEvent e);
    void masterMoved();
    const std::vector<int>& orderFields();
    QVariantList masterValues() const;
    void setFieldValue(int index, const QVariant& v);
    const QVariant& activeValue(int index) const;
    std::vector<int> orderIndexes() const;
    int recordCountConst() const;
    const Field& fieldByNameConst(const QString& name) const;

    Session* session_;
    QString objectName_;
    QString dir_;
    const schema::TableDef* def_ = nullptr;
    std::vector<std::unique_ptr<Field>> fields_;
    QHash<QString, int> fieldIndex_;   // lower-case name -> field index
    std::vector<int> storedIdx_;    // field indexes of the stored fields
    int autoIdx_ = -1;              // the autoincrement field, if any
    Connection* conn_ = nullptr;
    TableSql sql_;                  // the SQL it runs

    TableState state_ = TableState::Inactive;
    QStringList order_;
    std::vector<int> orderIdx_;   // field indexes of the order
    Table* master_ = nullptr;
    QStringList linkFields_, masterFields_;
    std::vector<int> linkIdx_, masterLinkIdx_;   // their field indexes here and in the master
    std::vector<Table*> details_;
    FilterCallback filterCb_;
    std::unique_ptr<FilterExpr> filterExpr_;
    QString filterText_;
    bool filtered_ = false;
    bool rangeOn_ = false;
    QVariantList rangeFrom_, rangeTo_;
    CalcCallback calc_;
    std::function<void(Table&)> beforePost_;

    // The view.
    bool viewValid_ = false;
    QVariantList builtLink_;           // the link values the view was built for
    RowView rows_;                     // its row ids and their cached values
    bool repositionFirst_ = false;     // the next rebuild stands on the first row
    qint64 pendingRowId_ = 0;          // row to stand on when the view is rebuilt
    int pos_ = -1;
    bool eof_ = true, bof_ = true;

    Record current_;   // the current row, with calculated fields
    Record edit_;      // the row being edited or inserted
    qint64 editRowId_ = 0;
    const Record* active_ = &current_;
    Record* calcTarget_ = nullptr;

    int aside_ = 0;    // depth of withRowAt
    int disabled_ = 0;
    bool changedWhileDisabled_ = false;
    std::vector<std::pair<int, Listener>> listeners_;
    int nextListener_ = 1;
};

} // namespace store
