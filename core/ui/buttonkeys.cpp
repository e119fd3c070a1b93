#include "core/ui/buttonkeys.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

namespace ui {

namespace {

// The push and tool buttons; tick boxes and radio buttons leave Enter to
// the window.
bool pressable(QObject* o)
{
    return qobject_cast<QPushButton*>(o) || qobject_cast<QToolButton*>(o);
}

class ButtonKeys : public QObject {
public:
    explicit ButtonKeys(QWidget* window) : QObject(window), window_(window)
    {
        setObjectName(QStringLiteral("ButtonKeys"));
        window->installEventFilter(this);
        takeButtons();
    }

    // Every button of the window: no default of its own, Enter watched.
    void takeButtons()
    {
        for (QAbstractButton* b : window_->findChildren<QAbstractButton*>()) {
            if (!pressable(b))
                continue;
            if (auto* p = qobject_cast<QPushButton*>(b))
                p->setAutoDefault(false);
            b->removeEventFilter(this);   // once only
            b->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_) {
            // Before the window picks a default among its auto-default buttons.
            if (event->type() == QEvent::Show)
                takeButtons();
            return false;
        }
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* e = static_cast<QKeyEvent*>(event);
        if (!isEnterKey(e) || !pressable(watched))
            return false;
        auto* b = static_cast<QAbstractButton*>(watched);
        e->accept();
        // A key held down presses once.
        if (!e->isAutoRepeat() && b->isEnabled())
            b->click();
        return true;
    }

private:
    QWidget* window_;
};

} // namespace

bool isEnterKey(const QKeyEvent* e)
{
    if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter)
        return false;
    return !(e->modifiers() & ~Qt::KeypadModifier);
}

void installButtonKeys(QWidget* window)
{
    if (!window)
        return;
    for (QObject* c : window->children())
        if (c->objectName() == QLatin1String("ButtonKeys"))
            if (auto* k = dynamic_cast<ButtonKeys*>(c)) {
                k->takeButtons();
                return;
            }
    new ButtonKeys(window);
}

} // namespace ui
