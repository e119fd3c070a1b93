#pragma once
// A drop-down over one field of a store::Table (a reference book): the edit
// shows the key of the table's current row; the list shows the table's rows.
// Choosing a row in the list, or typing a key that a row has, makes that row
// current; moves of the table from elsewhere show in the edit.
#include "core/ui/dbgrid.h"

#include <QComboBox>
#include <QPointer>

class QFrame;

namespace ui {

class DBLookupCombo : public QComboBox {
    Q_OBJECT
public:
    explicit DBLookupCombo(QWidget* parent = nullptr);
    ~DBLookupCombo() override;

    // `listColumns` are the columns of the list; by default the key alone.
    // The table must outlive the combo or be detached with setTable(nullptr, {}).
    void setTable(store::Table* table, const QString& keyField, const QList<Column>& listColumns = {});
    store::Table* table() const { return table_; }
    QString keyField() const { return keyField_; }

    // The key shown (blanks around it dropped).
    QString text() const;
    // Shows `key` and makes the row with that key current when there is one.
    void setText(const QString& key);
    // The text is the key of the table's current row.
    bool matches() const;

    // Rows the list shows at once (8).
    void setDropDownRows(int n) { setMaxVisibleItems(n); }
    int dropDownRows() const { return maxVisibleItems(); }

    void showPopup() override;
    void hidePopup() override;
    bool isPopupVisible() const;
    // The list of the drop-down (null until first dropped down).
    DBGrid* listGrid() const { return grid_; }

signals:
    // The text changed: typed, chosen, or following the table.
    void changed();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void onTableEvent(store::TableEvent e);
    void follow();
    void showKey(const QString& text);
    bool locate(const QString& key);
    void closeUp(bool accept);
    QString currentKey() const;

    store::Table* table_ = nullptr;
    QString keyField_;
    QList<Column> listColumns_;
    int listener_ = 0;
    bool typing_ = false;
    QString last_;
    QFrame* popup_ = nullptr;
    DBGrid* grid_ = nullptr;
    int savedRecNo_ = 0;
    bool closing_ = false;
};

} // namespace ui
