#pragma once
// The totals of a personal account, always from every stored posting of the
// account: InAmount the sum of its receipts (t2_1), OutAmount of its
// expenditures (t2_2), Remainder their difference. Whatever order, link or
// filter the table objects stand in (a report may have filtered the posting
// tables), the sums are what the year database holds now, other copies'
// postings included.
#include <QString>
#include <QVariant>

namespace store { class Table; }

namespace accounts {

enum class PostingSide { Receipts, Expenditures };

// The sum of the account's stored postings of one side.
double storedPostingSum(store::Table& postings, PostingSide side, const QVariant& account);

// Writes one side's total of t1's current account and the remainder, from
// the stored postings and from the account's row as stored now (so that the
// other side's total another copy wrote meanwhile is kept). Returns false,
// writing nothing, when another copy has removed the account meanwhile.
// A refused post throws the store's error with t1 left in edit.
bool recountAccount(store::Table& t1, store::Table& postings, PostingSide side);

// Both sides of every account of t1, in one batch: for a year filled by
// other means than the ledger (the demo year, a generated year).
void recountAllAccounts(store::Table& t1, store::Table& t2_1, store::Table& t2_2);

} // namespace accounts
