#pragma once
// saldina-cli report: the reports of the program run headless, with their
// selection dialogs filled from the command line and the preview replaced
// by writing the pages.
#include "core/datamodule/datamodule.h"

#include <QStringList>

namespace cli {

extern const char* const ReportHelp;

// Needs a QApplication (the reports are windows, offscreen). Returns the
// exit status: 0 done, 1 failed, 2 a wrong command line.
int report(const QString& ini, QStringList args, const dm::MessageFn& messages);

} // namespace cli
