#pragma once
// What the program entry sets before any window exists: the application's
// name and title, and Qt's own Russian texts for its standard dialogs and
// buttons (file dialogs, the print dialog, context menus of edits).
class QApplication;

// Returns false when Qt's Russian translation could not be loaded (the
// standard dialogs then speak English; the program works on).
bool SetUpApplication(QApplication& app);
