#pragma once
// A believable small municipality for trying the program out.
#include "core/datamodule/datamodule.h"

namespace demo {

// Fills the open year of the data module: books, accounts with their
// postings and totals, the schedule with notices, the income accounting.
void fill(dm::TDataBase1& d, int year);

} // namespace demo
