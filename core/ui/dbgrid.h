#pragma once
// The data grid of every list window: one row per row of a store::Table in
// its current view, the current row of the table always the current,
// highlighted row of the grid. Only the rows the view paints are read.
#include "core/store/table.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QTableView>
#include <functional>

class QKeyEvent;

namespace ui {

struct Column {
    QString field;   // a field of the table (stored or calculated)
    QString title;
    int width = 80;  // pixels
    Qt::Alignment align = Qt::AlignLeft;
};

// Colour of one cell, asked with the cell's row active in the table (its
// fields read that row); an invalid colour keeps the normal background.
using CellColorHook = std::function<QColor(store::Table& table, const QString& field)>;

// The rows of a table as a Qt model. Texts are the fields' displayText()
// read with Table::withRowAt for the rows asked for, kept until the next
// pass of the view; nothing is read while the table's controls are
// disabled. While a row is being inserted it is shown as the last row.
class TableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TableModel(QObject* parent = nullptr);
    ~TableModel() override;

    // The table must outlive the model or be detached with setTable(nullptr).
    void setTable(store::Table* table);
    store::Table* table() const { return table_; }

    void setColumns(const QList<Column>& columns);
    const QList<Column>& columns() const { return columns_; }
    QString fieldAt(int column) const;
    int columnOf(const QString& field) const;   // -1 when not shown

    void setCellColorHook(CellColorHook hook);

    // The model row of the table's current row: the inserted row while
    // inserting, -1 when the table is closed or empty.
    int currentRow() const;
    bool showsInsertedRow() const { return insertRow_; }

    // Rows read from the table so far (each reading of one row counts once).
    int fetchCount() const { return fetches_; }
    void resetFetchCount() { fetches_ = 0; }

    // A new pass: rows asked for from now on are read again (the grid starts
    // one with every paint).
    void newPass() { ++pass_; }
    // Reads everything anew: the model is reset.
    void reload();

    // While deferring, a reset the table asks for waits until endDefer()
    // and then comes through the event loop.
    void beginDefer() { ++defer_; }
    void endDefer();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // After the model has taken the table's event in.
    void tableEvent(store::TableEvent event);

private:
    struct Row {
        QStringList texts;
        QList<QColor> colors;
        quint64 pass = 0;
    };
    void onTableEvent(store::TableEvent e);
    void doReset();
    void rowChanged(int row);
    const Row* rowAt(int row) const;
    void readActive(Row& r) const;

    store::Table* table_ = nullptr;
    int listener_ = 0;
    QList<Column> columns_;
    CellColorHook colorHook_;
    int rows_ = 0;
    bool insertRow_ = false;
    int defer_ = 0;
    bool resetPending_ = false;
    mutable QHash<int, Row> cache_;
    mutable int fetches_ = 0;
    quint64 pass_ = 1;
};

class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;

    void setTable(store::Table* table);
    store::Table* table() const { return model_->table(); }
    void setColumns(const QList<Column>& columns);
    const QList<Column>& columns() const { return model_->columns(); }
    void setCellColorHook(CellColorHook hook) { model_->setCellColorHook(std::move(hook)); }
    TableModel* tableModel() const { return model_; }

    // Consulted first with every key press and release in the grid; true
    // swallows the key (no signal, no handling of the grid's own).
    using KeyFilter = std::function<bool(QKeyEvent*)>;
    void setKeyFilter(KeyFilter f) { keyFilter_ = std::move(f); }

    int currentRow() const;        // -1 when none
    QString currentField() const;  // the field of the current column
    int rowHeight() const;
    int visibleRowCount() const;   // whole rows that fit

signals:
    void cellClicked(int row, const QString& field);
    // Every key pressed or released in the grid, Enter, Esc, Tab, Ins and Del
    // included, before the grid handles it.
    void keyPressed(QKeyEvent* event);
    void keyReleased(QKeyEvent* event);

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

public:
    void keyboardSearch(const QString& search) override;

private:
    void onTableEvent(store::TableEvent e);
    void syncCurrent();
    bool postPending();
    bool inputBlocked() const;

    TableModel* model_;
    KeyFilter keyFilter_;
    bool syncing_ = false;   // the grid follows the table
    bool moving_ = false;    // the table follows the grid
};

} // namespace ui
