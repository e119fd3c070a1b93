#pragma once
// Keys pressed as the user presses them: the focus put on a control as Tab
// or a click puts it there, then the key in the focused control.
#include <QApplication>
#include <QWidget>
#include <QtTest>

// `key` pressed in `w` once its window is active and `w` has the focus; the
// keypad's Enter comes with its keypad modifier. The key is pressed even
// when the focus could not be put there (so that a window waiting for it
// still closes), and that counts as a failure.
inline void pressIn(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    w->window()->activateWindow();   // as the window manager gives a window back its activation
    const bool active = QTest::qWaitForWindowActive(w->window());
    w->setFocus(Qt::TabFocusReason);
    const bool focused = active && QApplication::focusWidget() == w;
    QTest::keyClick(w, key, key == Qt::Key_Enter ? mods | Qt::KeypadModifier : mods);
    QVERIFY2(focused, qPrintable(QStringLiteral("no focus on %1").arg(w->objectName())));
}

// Return and the keypad's Enter.
inline const Qt::Key EnterKeys[] = {Qt::Key_Return, Qt::Key_Enter};
