#pragma once
// The totals of an organization of the income accounting, always from what
// the year database holds now (other copies' entries included), whatever
// link or filter the entry tables stand in: InSum the sum of its receipts
// (DIn), OutSum of its expenses (DOut), Remainder their difference.
namespace store { class Table; }

namespace income {

enum class EntrySide { Receipts, Expenses };

// Writes one side's total of the current row of `dorg` and the remainder,
// from the stored entries and from the organization's row as stored now (so
// that the other side's total another copy wrote meanwhile is kept). Returns
// false, writing nothing, when the row is gone meanwhile. A refused post
// throws the store's error with `dorg` left in edit.
bool recountOrganization(store::Table& dorg, store::Table& entries, EntrySide side);

} // namespace income
