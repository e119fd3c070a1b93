#pragma once
// Driving windows as a user does: real key and mouse events into the window
// that has the keyboard, and modal windows reached through a timer while
// their exec() runs.
#include "core/ui/codeedit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
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

// `key` pressed in `w` once its window is active and `w` has the focus, as
// Tab or a click puts it there; the keypad's Enter comes with its keypad
// modifier. The key is pressed even when the focus could not be put there
// (so that a window waiting for it still closes), and that counts as a
// failure.
inline void pressIn(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    const bool active = activate(w);
    w->setFocus(Qt::TabFocusReason);
    const bool focused = active && QApplication::focusWidget() == w;
    QTest::keyClick(w, key, key == Qt::Key_Enter ? mods | Qt::KeypadModifier : mods);
    QVERIFY2(focused, qPrintable(QStringLiteral("no focus on %1").arg(w->objectName())));
}

// Return and the keypad's Enter.
inline const Qt::Key EnterKeys[] = {Qt::Key_Return, Qt::Key_Enter};

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

// Shows `dlg` modally, runs `body` in it once it is active and returns how
// it closed. A dialog that `body` leaves open is closed by `leave` (as the
// user closes that window), or else rejected.
inline int runModal(QDialog& dlg, const std::function<void()>& body, const std::function<void()>& leave = {})
{
    QTimer::singleShot(0, &dlg, [&dlg, body, leave] {
        const bool active = activate(&dlg);
        if (active)
            body();
        if (dlg.isVisible() && leave)
            leave();
        if (dlg.isVisible())
            dlg.reject();
        QVERIFY2(active, qPrintable(dlg.objectName() + " is not active"));
    });
    return dlg.exec();
}

// The focused control by name; a segment of a code edit as name.k.
inline QString focusName()
{
    QWidget* f = QApplication::focusWidget();
    if (!f)
        return {};
    for (QWidget* p = f->parentWidget(); p; p = p->parentWidget())
        if (auto* e = qobject_cast<TSegmentedEdit*>(p))
            for (int k = 1; k <= e->segmentCount(); ++k)
                if (e->segment(k) == f)
                    return e->objectName() + "." + QString::number(k);
    return f->objectName();
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

// Text of any alphabet, Cyrillic included, one key a character (keyClicks
// knows Latin-1 keys only).
inline void typeText(QWidget* w, const QString& text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// A click on a row of a grid, and a double-click as the mouse makes it: a
// click, then the double-click.
inline void clickRow(QAbstractItemView* g, int row)
{
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(g->model()->index(row, 0)).center());
}
inline void doubleClickRow(QAbstractItemView* g, int row)
{
    const QPoint p = g->visualRect(g->model()->index(row, 0)).center();
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, p);
}

} // namespace gui
