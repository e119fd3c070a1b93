#pragma once
// The commands of a window as every list window has them: the small
// pictures and buttons of its toolbar, the items of its context menu whose
// keys work anywhere in the window, the menu on the right mouse button.
#include "core/store/table.h"

#include <QIcon>
#include <QKeySequence>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QToolBar;
class QToolButton;
class QWidget;

namespace ui {

// A table in edit or insert state.
inline bool editing(const store::Table& t)
{
    return t.state() == store::TableState::Edit || t.state() == store::TableState::Insert;
}

// The pictures: '+' add, 'e' change, 'x' delete, anything else print.
QIcon toolIcon(char kind);
QToolButton* toolButton(QToolBar* bar, const char* name, const QString& hint, char picture, std::function<void()> handler);
QAction* command(QMenu* menu, QWidget* window, const char* name, const QString& text, QKeySequence key,
                 std::function<void()> handler);
void popupOver(QWidget* w, QMenu* menu);

} // namespace ui
