#pragma once
// Driving windows as a user does: real key and mouse events into the window
// that has the keyboard, and modal windows reached through a timer while
// their exec() runs.
#include "ui/codeedit.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <functional>

namespace gui {

// `w`'s window shown and active, so that its shortcuts and keys arrive.
// The window itself must be the application's active window: a window
// counts as active (isActiveWindow) also while a window it owns is, such as
// a ledger just closed whose deactivation has not arrived yet, or a preview
// opened from it, and then a shortcut of its own is not delivered.
inline bool activate(QWidget* w)
{
    w = w->window();
    if (!QTest::qWaitForWindowExposed(w))
        return false;
    w->activateWindow();
    return QTest::qWaitFor([w] { return QApplication::activeWindow() == w; }, 2000);
}

// A key pressed in `w` with its window active, as the user's keyboard does.
inline void press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QVERIFY2(activate(w), qPrintable(w->window()->objectName() + " is not active"));
    QTest::keyClick(w, Qt::Key(key), mods);
}

// Runs `act` on the next modal window other than `below` once it is up and
// active. A window that `act` leaves open (a check failed inside) is closed,
// so that the test ends instead of waiting.
inline void onNextModal(QWidget* below, std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act, below] {
        QWidget* m = QApplication::activeModalWidget();
        if (m && m != below && m->isVisible()) {
            timer->stop();
            timer->deleteLater();
            activate(m);
            QPointer<QWidget> guard(m);
            act(m);
            if (guard && guard->isVisible())
                guard->close();
        }
    });
    timer->start();
}

// Ctrl+A and the new text, as an accountant types over a field.
inline void typeOver(QWidget* w, const QString& text)
{
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(w, Qt::Key_Delete);
    else
        QTest::keyClicks(w, text);
}

// Each segment of a code typed over.
inline void typeCode(TSegmentedEdit* e, const QStringList& parts)
{
    for (int k = 1; k <= e->segmentCount(); ++k)
        typeOver(e->segment(k), parts.value(k - 1));
}

} // namespace gui
