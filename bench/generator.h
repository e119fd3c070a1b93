#pragma once
// A synthetic year database for measuring the store: reference books,
// accounts and a year of postings, always the same for the same parameters.
#include <QString>
#include <QStringList>
#include <cstdint>

namespace benchgen {

struct YearParams {
    int accounts = 500;         // t1
    int purposes = 100;         // law_spr: two-character group headings and three-character codes
    int organizations = 2000;   // org_spr: three-character group headings and five-character codes
    int cbcs = 3000;            // cbc_spr
    int receipts = 50000;       // t2_1
    int expenditures = 150000;  // t2_2
    int plans = 20000;          // planTbl: rows of organization, code and account that expenditures use
    int notices = 10000;        // corPln: correction notices of those rows
    int incomeOrganizations = 300;   // DOrg: organizations of the income accounting
    int incomeEntries = 30000;       // DIn and DOut together, over those organizations
    int year = 2004;            // the dates of the postings
    int summaryCbcs = 200;      // cbc_spr: summary codes with asterisks besides the cbcs
    std::uint64_t seed = 20040101;

    // A text naming every parameter and the generator's revision; files
    // generated under the same key are identical.
    QString key() const;
    // The same year with the accounts and the postings scaled (books unchanged).
    YearParams scaled(double factor) const;
};

// Writes `dir`/year.db (the directory is created; an existing year.db is
// refused). The file holds every table, index and rule of the year location
// and the rows the parameters ask for: texts without trailing blanks, dates
// as ISO text, amounts as REAL, t1 totals equal to the account's postings.
//
// With a cache directory the generated file is kept there under a name
// derived from the key and copied from there when it already exists.
// Returns the path of the written file.
QString generateYear(const QString& dir, const YearParams& params, const QString& cacheDir = {});

// The cached file of these parameters (it may not exist yet).
QString cachedYearPath(const QString& cacheDir, const YearParams& params);

} // namespace benchgen
