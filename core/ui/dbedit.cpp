#include "core/ui/dbedit.h"

#include "core/ui/messagebox.h"

#include "core/store/storeerror.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace ui {

namespace {

bool editing(const store::Table& t)
{
    return t.state() == store::TableState::Edit || t.state() == store::TableState::Insert;
}

// The active row's text of a field, empty when it cannot be read.
QString shown(store::Table* t, const QString& name)
{
    if (!t || !t->isOpen() || name.isEmpty())
        return {};
    try {
        if (t->state() == store::TableState::Browse && t->isEmpty())
            return {};
        if (store::Field* f = t->findField(name))
            return f->displayText();
    } catch (const std::exception&) {
    }
    return {};
}

} // namespace

// ---------------------------------------------------------------- DBEdit

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &DBEdit::onEdited);
    updateMode();
}

DBEdit::~DBEdit()
{
    if (table_)
        table_->removeListener(listener_);
}

void DBEdit::setField(store::Table* table, const QString& field)
{
    if (table_)
        table_->removeListener(listener_);
    table_ = table;
    fieldName_ = field;
    listener_ = 0;
    failed_ = false;
    if (table_)
        listener_ = table_->addListener([this](store::Table&, store::TableEvent e) { onTableEvent(e); });
    store::Field* f = this->field();
    setMaxLength(f && f->type() == schema::FieldType::Text && f->size() > 0 ? f->size() : 32767);
    setAlignment(f && (f->type() == schema::FieldType::Float) ? Qt::AlignRight | Qt::AlignVCenter
                                                                : Qt::AlignLeft | Qt::AlignVCenter);
    updateMode();
    reload();
}

store::Field* DBEdit::field() const
{
    if (!table_ || fieldName_.isEmpty())
        return nullptr;
    try {
        return table_->findField(fieldName_);
    } catch (const std::exception&) {
        return nullptr;
    }
}

void DBEdit::setAutoEdit(bool on)
{
    autoEdit_ = on;
    updateMode();
}

void DBEdit::setDataReadOnly(bool on)
{
    dataReadOnly_ = on;
    updateMode();
}

void DBEdit::updateMode()
{
    const bool open = table_ && table_->isOpen() && field();
    const bool writable = open && !dataReadOnly_ && (editing(*table_) || autoEdit_);
    setReadOnly(!writable);
}

void DBEdit::reload()
{
    failed_ = false;
    typed_ = false;
    const QString t = shown(table_, fieldName_);
    if (t != text())
        setText(t);
    setCursorPosition(0);
}

void DBEdit::onTableEvent(store::TableEvent e)
{
    if (e == store::TableEvent::StateChanged || e == store::TableEvent::Opened || e == store::TableEvent::Closed)
        updateMode();
    if (writing_)
        return;   // our own change: the text stays as typed
    // A text the field refused stays until the user leaves the line or
    // another row comes.
    if (failed_ && e == store::TableEvent::RecordChanged)
        return;
    reload();
}

bool DBEdit::write(const QString& text, QString* error)
{
    store::Field* f = field();
    if (!f)
        return false;
    writing_ = true;
    bool ok = true;
    try {
        if (!editing(*table_)) {
            if (!autoEdit_ || dataReadOnly_)
                throw store::StoreError(QStringLiteral("%1: Dataset not in edit or insert mode").arg(table_->tableName()));
            table_->edit();
        }
        f->setText(text);
    } catch (const std::exception& e) {
        ok = false;
        if (error)
            *error = store::errorText(e);
    }
    writing_ = false;
    return ok;
}

void DBEdit::onEdited(const QString& text)
{
    if (!typed_) {
        store::Field* f = field();
        typed_ = f && table_->isOpen();
        original_ = typed_ ? f->value() : QVariant();
    }
    failed_ = !write(text, nullptr);
    emit changed();
}

bool DBEdit::commit()
{
    if (!table_ || !field() || isReadOnly())
        return true;
    if (!editing(*table_) && !failed_)
        return true;   // nothing was typed
    QString error;
    if (write(text(), &error)) {
        failed_ = false;
        return true;
    }
    failed_ = true;
    if (!reporting_) {
        reporting_ = true;
        showError(error);
        reporting_ = false;
    }
    return false;
}

void DBEdit::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape && (typed_ || failed_)) {
        // Esc drops what was typed; without typing it goes on to the window.
        undoTyping();
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
    // Enter with a refused text reports it and goes no further (not to the
    // window's default button).
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && failed_ && !commit())
        e->accept();
}

void DBEdit::undoTyping()
{
    store::Field* f = field();
    if (typed_ && f && table_->isOpen() && editing(*table_)) {
        writing_ = true;
        try {
            f->setValue(original_);
        } catch (const std::exception&) {
        }
        writing_ = false;
    }
    reload();
}

void DBEdit::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    if (reporting_ || e->reason() == Qt::PopupFocusReason || e->reason() == Qt::ActiveWindowFocusReason)
        return;
    if (failed_) {
        if (!commit())
            QTimer::singleShot(0, this, [this] {
                setFocus(Qt::OtherFocusReason);
                selectAll();
            });
        return;
    }
    // The text takes the field's own form ("12,5" becomes "12,50").
    if (!writing_)
        reload();
}

// ---------------------------------------------------------------- DBText

DBText::DBText(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

DBText::~DBText()
{
    if (table_)
        table_->removeListener(listener_);
}

void DBText::setField(store::Table* table, const QString& field)
{
    if (table_)
        table_->removeListener(listener_);
    table_ = table;
    fieldName_ = field;
    listener_ = 0;
    if (table_)
        listener_ = table_->addListener([this](store::Table&, store::TableEvent) { reload(); });
    reload();
}

void DBText::reload() { setText(shown(table_, fieldName_)); }

} // namespace ui
