#pragma once
// Enter on a button presses that button, in every window of the program.
//
// Left to itself Qt gives Enter either to the focused push button (when it
// is an "auto default" one, which then also becomes the window's default
// while it has the focus, and stays so in a window without a default
// button of its own) or to the window's default button (when it is not).
// Neither is what a user expects. installButtonKeys() makes one rule for a
// window:
//   - Enter or the keypad's Enter on a focused push or tool button presses
//     that button, and only that one;
//   - every other control keeps Enter for its own meaning (a grid's choice,
//     the ledger's amount) or passes it on to the window's default button,
//     where the window has one; the default button never moves.
// Buttons added to the window after the call are taken in when it is shown.
class QKeyEvent;
class QWidget;

namespace ui {

void installButtonKeys(QWidget* window);

// Enter or the keypad's Enter, without Shift, Ctrl or Alt.
bool isEnterKey(const QKeyEvent* e);

} // namespace ui
