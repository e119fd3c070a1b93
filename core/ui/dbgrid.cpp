#include "core/ui/dbgrid.h"

#include "core/ui/messagebox.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTimer>

namespace ui {

namespace {

// Rows kept between passes; a pass reads far fewer.
constexpr int CacheLimit = 2000;

// Whole rows are selected; a single cell shows no focus frame of its own.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

bool isEditing(const store::Table& t)
{
    return t.state() == store::TableState::Edit || t.state() == store::TableState::Insert;
}

} // namespace

// ---------------------------------------------------------------- TableModel

TableModel::TableModel(QObject* parent) : QAbstractTableModel(parent) {}

TableModel::~TableModel()
{
    if (table_)
        table_->removeListener(listener_);
}

void TableModel::setTable(store::Table* table)
{
    if (table == table_)
        return;
    if (table_)
        table_->removeListener(listener_);
    table_ = table;
    listener_ = 0;
    if (table_)
        listener_ = table_->addListener([this](store::Table&, store::TableEvent e) { onTableEvent(e); });
    doReset();
    emit tableEvent(store::TableEvent::DataSetChanged);
}

void TableModel::setColumns(const QList<Column>& columns)
{
    beginResetModel();
    columns_ = columns;
    cache_.clear();
    endResetModel();
}

QString TableModel::fieldAt(int column) const
{
    return column >= 0 && column < columns_.size() ? columns_[column].field : QString();
}

int TableModel::columnOf(const QString& field) const
{
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i].field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TableModel::setCellColorHook(CellColorHook hook)
{
    colorHook_ = std::move(hook);
    cache_.clear();
    if (rows_ > 0 && !columns_.isEmpty())
        emit dataChanged(index(0, 0), index(rows_ - 1, int(columns_.size()) - 1), {Qt::BackgroundRole});
}

int TableModel::currentRow() const
{
    if (!table_ || !table_->isOpen() || rows_ == 0)
        return -1;
    if (insertRow_)
        return rows_ - 1;
    const int r = table_->currentIndex();
    return r < rows_ ? r : rows_ - 1;
}

void TableModel::reload() { doReset(); }

void TableModel::endDefer()
{
    if (defer_ > 0 && --defer_ == 0 && resetPending_) {
        // The table changed its view while the view was moving it: the reset
        // waits until the view has finished with its indexes.
        QTimer::singleShot(0, this, [this] {
            if (defer_ == 0 && resetPending_) {
                doReset();
                emit tableEvent(store::TableEvent::DataSetChanged);
            }
        });
    }
}

void TableModel::doReset()
{
    resetPending_ = false;
    beginResetModel();
    cache_.clear();
    insertRow_ = false;
    rows_ = 0;
    if (table_ && table_->isOpen()) {
        try {
            rows_ = table_->recordCount();
            insertRow_ = table_->state() == store::TableState::Insert;
            if (insertRow_)
                ++rows_;
        } catch (const std::exception&) {
            rows_ = 0;
            insertRow_ = false;
        }
    }
    endResetModel();
}

void TableModel::rowChanged(int row)
{
    if (row < 0 || row >= rows_)
        return;
    cache_.remove(row);
    if (!columns_.isEmpty())
        emit dataChanged(index(row, 0), index(row, int(columns_.size()) - 1));
}

void TableModel::onTableEvent(store::TableEvent e)
{
    switch (e) {
    case store::TableEvent::Opened:
    case store::TableEvent::Closed:
    case store::TableEvent::DataSetChanged:
        if (defer_ > 0) {
            resetPending_ = true;
            return;
        }
        doReset();
        break;
    case store::TableEvent::RecordMoved:
        // first() reads the view anew when another copy of the program has
        // changed the table, and tells only of the move.
        try {
            if (table_->isOpen() && table_->recordCount() + (insertRow_ ? 1 : 0) != rows_) {
                if (defer_ > 0) {
                    resetPending_ = true;
                    return;
                }
                doReset();
            }
        } catch (const std::exception&) {
        }
        break;
    case store::TableEvent::RecordChanged:
        rowChanged(currentRow());
        break;
    case store::TableEvent::StateChanged: {
        const bool inserting = table_->state() == store::TableState::Insert;
        if (inserting != insertRow_) {
            if (defer_ > 0) {
                resetPending_ = true;
                return;
            }
            doReset();
        } else {
            rowChanged(currentRow());
        }
        break;
    }
    }
    emit tableEvent(e);
}

int TableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(columns_.size()); }

void TableModel::readActive(Row& r) const
{
    r.texts.clear();
    r.colors.clear();
    for (const Column& c : columns_) {
        store::Field* f = table_->findField(c.field);
        r.texts << (f ? f->displayText() : QString());
        r.colors << (colorHook_ ? colorHook_(*table_, c.field) : QColor());
    }
}

const TableModel::Row* TableModel::rowAt(int row) const
{
    if (!table_ || row < 0 || row >= rows_)
        return nullptr;
    auto it = cache_.find(row);
    const bool canRead = table_->isOpen() && !table_->controlsDisabled() && !resetPending_;
    if (it != cache_.end() && (it->pass == pass_ || !canRead))
        return &*it;
    if (!canRead)
        return nullptr;
    if (cache_.size() >= CacheLimit)
        cache_.clear();
    Row r;
    r.pass = pass_;
    try {
        ++fetches_;
        const store::TableState st = table_->state();
        if (insertRow_ && row == rows_ - 1) {
            readActive(r);   // the row being inserted is the active row
        } else if (st == store::TableState::Edit && row == table_->currentIndex()) {
            readActive(r);   // the row being edited shows its new values
        } else if (row < table_->recordCount()) {
            table_->withRowAt(row, [&] { readActive(r); });
        }
    } catch (const std::exception&) {
        // A row that cannot be read shows empty; the error surfaces where the
        // table is worked with.
        r.texts.clear();
        r.colors.clear();
    }
    return &*cache_.insert(row, r);
}

QVariant TableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() >= columns_.size())
        return {};
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        const Row* r = rowAt(index.row());
        return r && col < r->texts.size() ? r->texts[col] : QString();
    }
    case Qt::BackgroundRole: {
        if (!colorHook_)
            return {};
        const Row* r = rowAt(index.row());
        if (r && col < r->colors.size() && r->colors[col].isValid())
            return r->colors[col];
        return {};
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(columns_[col].align | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return {};
    if (role == Qt::DisplayRole)
        return columns_[section].title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// ---------------------------------------------------------------- DBGrid

DBGrid::DBGrid(QWidget* parent) : QTableView(parent), model_(new TableModel(this))
{
    QFont f = font();
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("DejaVu Sans")});
    setFont(f);

    setModel(model_);
    setItemDelegate(new RowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setSortingEnabled(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setAutoScroll(false);
    setFocusPolicy(Qt::StrongFocus);

    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(8);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);

    // The current row stays marked when the grid loses the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);

    connect(model_, &TableModel::tableEvent, this, &DBGrid::onTableEvent);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& idx) {
        if (idx.isValid())
            emit cellClicked(idx.row(), model_->fieldAt(idx.column()));
    });
}

DBGrid::~DBGrid() { model_->setTable(nullptr); }

void DBGrid::setTable(store::Table* table) { model_->setTable(table); }

void DBGrid::setColumns(const QList<Column>& columns)
{
    model_->setColumns(columns);
    for (int i = 0; i < columns.size(); ++i)
        setColumnWidth(i, columns[i].width);
    syncCurrent();
}

int DBGrid::currentRow() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

QString DBGrid::currentField() const { return model_->fieldAt(currentIndex().isValid() ? currentIndex().column() : 0); }

int DBGrid::rowHeight() const { return verticalHeader()->defaultSectionSize(); }

int DBGrid::visibleRowCount() const { return std::max(1, viewport()->height() / rowHeight()); }

void DBGrid::onTableEvent(store::TableEvent e)
{
    if (e == store::TableEvent::RecordChanged || moving_)
        return;
    syncCurrent();
}

void DBGrid::syncCurrent()
{
    if (!selectionModel())
        return;
    const int row = model_->currentRow();
    syncing_ = true;
    if (row < 0 || model_->columnCount() == 0) {
        selectionModel()->clear();
    } else {
        const int col = currentIndex().isValid() ? currentIndex().column() : 0;
        const QModelIndex idx = model_->index(row, col);
        if (idx != currentIndex() || !selectionModel()->isRowSelected(row, QModelIndex()))
            selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    }
    syncing_ = false;
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    store::Table* t = table();
    if (syncing_ || !t || !t->isOpen() || !current.isValid() || t->controlsDisabled())
        return;   // a scan with the controls disabled keeps its position
    if (previous.isValid() && previous.row() == current.row())
        return;   // another column of the same row
    if (model_->showsInsertedRow() && current.row() == model_->rowCount() - 1)
        return;
    QString error;
    model_->beginDefer();
    moving_ = true;
    try {
        if (current.row() != t->currentIndex() || isEditing(*t))
            t->setRecNo(current.row() + 1);
    } catch (const std::exception& ex) {
        error = store::errorText(ex);
    }
    moving_ = false;
    model_->endDefer();
    if (!error.isEmpty() || t->currentIndex() != current.row()) {
        // The table did not follow (a refused post): the grid goes back to
        // the table's row, and the error is shown once the view is done.
        QTimer::singleShot(0, this, [this, error] {
            syncCurrent();
            if (!error.isEmpty())
                showError(error);
        });
    }
}

bool DBGrid::postPending()
{
    store::Table* t = table();
    if (!t || !t->isOpen() || !isEditing(*t))
        return true;
    try {
        t->post();
        return true;
    } catch (const store::StoreError& e) {
        showError(e.text());
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    }
    return false;
}

bool DBGrid::inputBlocked() const
{
    const store::Table* t = table();
    return t && t->controlsDisabled();
}

bool DBGrid::event(QEvent* e)
{
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
        auto* ke = static_cast<QKeyEvent*>(e);
        if (keyFilter_ && keyFilter_(ke)) {
            ke->accept();
            return true;
        }
        if (e->type() == QEvent::KeyPress)
            emit keyPressed(ke);
        else
            emit keyReleased(ke);
        if (e->type() == QEvent::KeyPress && inputBlocked()) {
            ke->accept();
            return true;
        }
    }
    return QTableView::event(e);
}

void DBGrid::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        // Leaving a changed row stores it first; a refused row stays.
        if (!postPending()) {
            e->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(e);
}

void DBGrid::mousePressEvent(QMouseEvent* e)
{
    if (inputBlocked()) {
        e->accept();
        return;
    }
    const QModelIndex idx = indexAt(e->position().toPoint());
    if (idx.isValid() && idx.row() != currentRow() && !postPending()) {
        e->accept();
        return;
    }
    QTableView::mousePressEvent(e);
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (inputBlocked()) {
        e->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(e);
}

void DBGrid::paintEvent(QPaintEvent* e)
{
    // Every paint shows the rows as they are now; while the table's
    // controls are disabled the rows already read are painted again.
    const store::Table* t = table();
    if (t && !t->controlsDisabled())
        model_->newPass();
    QTableView::paintEvent(e);
}

QModelIndex DBGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const int rows = model_->rowCount();
    const int col = currentIndex().isValid() ? currentIndex().column() : 0;
    if (rows > 0 && (action == MoveHome || action == MoveEnd))
        return model_->index(action == MoveHome ? 0 : rows - 1, col);
    return QTableView::moveCursor(action, modifiers);
}

void DBGrid::keyboardSearch(const QString&)
{
    // Typing letters does not search: that would read every row.
}

} // namespace ui
