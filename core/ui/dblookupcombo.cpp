#include "core/ui/dblookupcombo.h"

#include "core/ui/messagebox.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

namespace ui {

namespace {

// The drop-down's window; it tells the combo when it closes.
class LookupPopup : public QFrame {
public:
    LookupPopup(QWidget* combo, std::function<void()> onHide)
        : QFrame(combo, Qt::Popup), combo_(combo), onHide_(std::move(onHide))
    {
        setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(1);
    }

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        // A click on the combo closes the list without reopening it.
        const QPoint p = combo_->mapFromGlobal(e->globalPosition().toPoint());
        if (combo_->rect().contains(p))
            setAttribute(Qt::WA_NoMouseReplay);
        QFrame::mousePressEvent(e);
    }
    void hideEvent(QHideEvent* e) override
    {
        QFrame::hideEvent(e);
        if (onHide_)
            onHide_();
    }

private:
    QWidget* combo_;
    std::function<void()> onHide_;
};

} // namespace

DBLookupCombo::DBLookupCombo(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    setMaxVisibleItems(8);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    connect(this, &QComboBox::editTextChanged, this, [this](const QString& t) {
        if (t != last_) {
            last_ = t;
            emit changed();
        }
    });
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& t) {
        typing_ = true;
        locate(t);
        typing_ = false;
    });
    connect(lineEdit(), &QLineEdit::editingFinished, this, [this] {
        // A key that a row has takes that row's own form.
        if (!popup_ || !popup_->isVisible())
            if (matches())
                showKey(currentKey());
    });
}

DBLookupCombo::~DBLookupCombo()
{
    if (grid_)
        grid_->setTable(nullptr);
    if (table_)
        table_->removeListener(listener_);
}

void DBLookupCombo::setTable(store::Table* table, const QString& keyField, const QList<Column>& listColumns)
{
    if (table_)
        table_->removeListener(listener_);
    if (grid_)
        grid_->setTable(nullptr);
    table_ = table;
    keyField_ = keyField;
    listColumns_ = listColumns;
    listener_ = 0;
    if (table_)
        listener_ = table_->addListener([this](store::Table&, store::TableEvent e) { onTableEvent(e); });
    int length = 8;
    if (table_) {
        if (store::Field* f = table_->findField(keyField_); f && f->type() == schema::FieldType::Text) {
            lineEdit()->setMaxLength(f->size());
            length = std::clamp(f->size(), 4, 20);
        }
    }
    setMinimumContentsLength(length);
    follow();
}

QString DBLookupCombo::text() const { return lineEdit()->text().trimmed(); }

void DBLookupCombo::showKey(const QString& text)
{
    // A code shown through its display hook ("100-02") is longer than the
    // stored field the typing is limited to.
    if (text.size() > lineEdit()->maxLength())
        lineEdit()->setMaxLength(text.size());
    if (lineEdit()->text() != text)
        setEditText(text);
}

QString DBLookupCombo::currentKey() const
{
    if (!table_ || !table_->isOpen())
        return {};
    try {
        if (table_->state() == store::TableState::Browse && table_->isEmpty())
            return {};
        if (store::Field* f = table_->findField(keyField_))
            return f->displayText();
    } catch (const std::exception&) {
    }
    return {};
}

bool DBLookupCombo::matches() const
{
    const QString t = text();
    return !t.isEmpty() && t.compare(currentKey().trimmed(), Qt::CaseInsensitive) == 0;
}

void DBLookupCombo::setText(const QString& key)
{
    typing_ = true;
    showKey(key);
    locate(key);
    typing_ = false;
}

void DBLookupCombo::follow() { showKey(currentKey()); }

void DBLookupCombo::onTableEvent(store::TableEvent e)
{
    if (typing_)
        return;   // the text stays as typed
    if (e == store::TableEvent::RecordChanged || e == store::TableEvent::RecordMoved ||
        e == store::TableEvent::DataSetChanged || e == store::TableEvent::Opened || e == store::TableEvent::Closed)
        follow();
}

bool DBLookupCombo::locate(const QString& key)
{
    const QString k = key.trimmed();
    if (!table_ || !table_->isOpen() || k.isEmpty())
        return false;
    try {
        const QStringList order = table_->order().split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (!order.isEmpty() && order.first().compare(keyField_, Qt::CaseInsensitive) == 0)
            return table_->findKey({k});
        // Not the table's order: the rows are looked through.
        store::Field* f = table_->findField(keyField_);
        if (!f)
            return false;
        const int n = table_->recordCount();
        for (int pos = 0; pos < n; ++pos) {
            bool hit = false;
            table_->withRowAt(pos, [&] { hit = f->displayText().trimmed().compare(k, Qt::CaseInsensitive) == 0; });
            if (hit) {
                table_->setRecNo(pos + 1);
                return true;
            }
        }
    } catch (const store::StoreError& e) {
        showError(e.text());
    }
    return false;
}

bool DBLookupCombo::isPopupVisible() const { return popup_ && popup_->isVisible(); }

void DBLookupCombo::showPopup()
{
    if (!table_ || !table_->isOpen() || isPopupVisible())
        return;
    if (!popup_) {
        popup_ = new LookupPopup(this, [this] {
            if (!closing_)
                closeUp(false);   // closed by a click outside: nothing chosen
        });
        auto* lay = new QVBoxLayout(popup_);
        lay->setContentsMargins(0, 0, 0, 0);
        grid_ = new DBGrid(popup_);
        grid_->setObjectName(objectName() + QStringLiteral("List"));
        grid_->horizontalHeader()->setVisible(false);
        // The list is made as wide as its columns; the last one takes what is left.
        grid_->horizontalHeader()->setStretchLastSection(true);
        grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid_->setFrameStyle(QFrame::NoFrame);
        grid_->setShowGrid(false);
        grid_->setFocusPolicy(Qt::StrongFocus);
        lay->addWidget(grid_);
        grid_->setKeyFilter([this](QKeyEvent* e) {
            if (e->type() != QEvent::KeyPress)
                return false;
            switch (e->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Tab:
            case Qt::Key_F4:
                closeUp(true);
                return true;
            case Qt::Key_Escape:
                closeUp(false);
                return true;
            case Qt::Key_Up:
            case Qt::Key_Down:
                if (e->modifiers() & Qt::AltModifier) {
                    closeUp(true);
                    return true;
                }
                return false;
            default:
                return false;
            }
        });
        connect(grid_, &DBGrid::cellClicked, this, [this] { closeUp(true); });
    }
    QList<Column> cols = listColumns_;
    if (cols.isEmpty())
        cols << Column{keyField_, QString(), std::max(width() - 4, 40)};
    grid_->setColumns(cols);
    try {
        savedRecNo_ = table_->recNo();
        // A typed key not in the list yet: the list opens on the nearest row.
        if (!matches() && !text().isEmpty()) {
            const QStringList order = table_->order().split(QLatin1Char(';'), Qt::SkipEmptyParts);
            if (!order.isEmpty() && order.first().compare(keyField_, Qt::CaseInsensitive) == 0)
                table_->findNearest({text()});
        }
    } catch (const store::StoreError& e) {
        showError(e.text());
        return;
    }
    grid_->setTable(table_);
    int w = 2;
    for (const Column& c : cols)
        w += c.width;
    int rows = std::max(1, maxVisibleItems());
    try {
        rows = std::clamp(table_->recordCount(), 1, rows);
    } catch (const store::StoreError&) {
    }
    const int sb = grid_->verticalScrollBar()->sizeHint().width();
    w = std::max(width(), w + sb);
    const int h = rows * grid_->rowHeight() + 2;
    popup_->resize(w, h);
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        if (at.y() + h > avail.bottom())
            at.setY(mapToGlobal(QPoint(0, 0)).y() - h);
        at.setX(std::clamp(at.x(), avail.left(), std::max(avail.left(), avail.right() - w)));
    }
    popup_->move(at);
    popup_->show();
    grid_->setFocus(Qt::PopupFocusReason);
    grid_->scrollTo(grid_->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void DBLookupCombo::hidePopup()
{
    if (isPopupVisible())
        closeUp(true);
}

void DBLookupCombo::closeUp(bool accept)
{
    if (closing_)
        return;
    closing_ = true;
    if (popup_ && popup_->isVisible())
        popup_->hide();
    if (grid_)
        grid_->setTable(nullptr);
    try {
        if (!accept && table_ && table_->isOpen() && savedRecNo_ > 0 && table_->recNo() != savedRecNo_)
            table_->setRecNo(savedRecNo_);
    } catch (const store::StoreError& e) {
        showError(e.text());
    }
    if (accept)
        follow();
    closing_ = false;
    setFocus(Qt::PopupFocusReason);
}

void DBLookupCombo::keyPressEvent(QKeyEvent* e)
{
    const bool alt = e->modifiers() & Qt::AltModifier;
    if (table_ && table_->isOpen() && !alt && (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down)) {
        // Up and Down go through the rows without dropping the list down.
        try {
            if (!matches() && !text().isEmpty())
                locate(text());
            if (e->key() == Qt::Key_Up)
                table_->prior();
            else
                table_->next();
            follow();
        } catch (const store::StoreError& ex) {
            showError(ex.text());
        }
        e->accept();
        return;
    }
    QComboBox::keyPressEvent(e);
}

} // namespace ui
