#include "core/ui/commands.h"

#include "core/ui/icons.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QToolBar>
#include <QToolButton>

namespace ui {

// The small pictures of the toolbars: add, change, delete, print.
QIcon toolIcon(char kind)
{
    QPixmap p(ui::ImageSize, ui::ImageSize);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    switch (kind) {
    case '+':
        g.setPen(QPen(QColor(0, 128, 0), 3));
        g.drawLine(9, 3, 9, 15);
        g.drawLine(3, 9, 15, 9);
        break;
    case 'e':
        g.setPen(QPen(QColor(0, 0, 160), 2));
        g.drawRect(3, 3, 12, 13);
        g.drawLine(6, 7, 12, 7);
        g.drawLine(6, 10, 12, 10);
        g.drawLine(6, 13, 10, 13);
        break;
    case 'x':
        g.setPen(QPen(QColor(192, 0, 0), 3));
        g.drawLine(4, 4, 14, 14);
        g.drawLine(14, 4, 4, 14);
        break;
    default:   // printer
        g.setPen(QPen(Qt::black, 1));
        g.setBrush(Qt::white);
        g.drawRect(5, 2, 8, 6);
        g.setBrush(Qt::gray);
        g.drawRect(2, 8, 14, 6);
        g.setBrush(Qt::white);
        g.drawRect(5, 12, 8, 5);
        break;
    }
    return QIcon(p);
}

QToolButton* toolButton(QToolBar* bar, const char* name, const QString& hint, char picture, std::function<void()> handler)
{
    auto* a = new QAction(toolIcon(picture), hint, bar);
    a->setObjectName(QString::fromLatin1(name) + QStringLiteral("Action"));
    a->setToolTip(hint);
    QObject::connect(a, &QAction::triggered, bar, [handler = std::move(handler)] { handler(); });
    bar->addAction(a);
    auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a));
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    return b;
}

// A command of the context menu whose key works anywhere in `window` (a
// line being edited keeps Del for itself).
QAction* command(QMenu* menu, QWidget* window, const char* name, const QString& text, QKeySequence key,
                 std::function<void()> handler)
{
    QAction* a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setShortcutVisibleInContextMenu(true);
        window->addAction(a);
    }
    QObject::connect(a, &QAction::triggered, window, [handler = std::move(handler)] { handler(); });
    return a;
}

// The context menu opens with the right mouse button over `w`.
void popupOver(QWidget* w, QMenu* menu)
{
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(w, &QWidget::customContextMenuRequested, menu,
                     [w, menu](const QPoint& p) { menu->popup(w->mapToGlobal(p)); });
}

} // namespace ui
