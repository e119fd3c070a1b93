#pragma once
// Controls bound to one field of a store::Table: they show the field of the
// table's active row and follow its moves and changes.
#include "core/store/table.h"

#include <QLabel>
#include <QLineEdit>

namespace ui {

// An edit line of a field. It shows the field's displayText(); what is typed
// goes to the field with Field::setText while the table is in edit or insert
// state (with every change, so a post from anywhere stores it). In browse
// state the line is read-only unless auto-edit is on, when typing puts the
// table in edit state first. A text the field refuses is reported when the
// line is left, and the line keeps the focus.
class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);
    ~DBEdit() override;

    // The table must outlive the edit or be detached with setField(nullptr, {}).
    void setField(store::Table* table, const QString& field);
    store::Table* table() const { return table_; }
    QString fieldName() const { return fieldName_; }
    store::Field* field() const;

    void setAutoEdit(bool on);
    bool autoEdit() const { return autoEdit_; }
    // Never writes, whatever the table's state.
    void setDataReadOnly(bool on);
    bool dataReadOnly() const { return dataReadOnly_; }

    // Writes the text to the field now; false, with the error shown, when
    // the field refuses it.
    bool commit();
    // The last text typed was refused by the field (not reported yet).
    bool hasPendingError() const { return failed_; }
    // Shows the field's value again (what was typed since stays in the field).
    void reload();
    // Gives the field back the value it had before the typing began and
    // shows it (Esc does this while something was typed).
    void undoTyping();

signals:
    // The user changed the text.
    void changed();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void onTableEvent(store::TableEvent e);
    void onEdited(const QString& text);
    void updateMode();
    bool write(const QString& text, QString* error);

    store::Table* table_ = nullptr;
    QString fieldName_;
    int listener_ = 0;
    bool autoEdit_ = false;
    bool dataReadOnly_ = false;
    bool writing_ = false;
    bool failed_ = false;
    bool reporting_ = false;
    bool typed_ = false;       // typed since the field was last shown
    QVariant original_;        // the field's value before that
};

// A label showing a field's displayText().
class DBText : public QLabel {
    Q_OBJECT
public:
    explicit DBText(QWidget* parent = nullptr);
    ~DBText() override;
    void setField(store::Table* table, const QString& field);
    store::Table* table() const { return table_; }
    QString fieldName() const { return fieldName_; }
    void reload();

private:
    store::Table* table_ = nullptr;
    QString fieldName_;
    int listener_ = 0;
};

} // namespace ui
