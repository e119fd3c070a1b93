#pragma once
// Printing a page set on a printer set up by the user.
#include "reports/model/pageset.h"

class QPrinter;

namespace reports {

// Prints pages `from`..`to` (1-based, 0 for all) on a set-up printer.
bool printPages(const PageSet& pages, QPrinter& printer, int from = 0, int to = 0);

} // namespace reports
