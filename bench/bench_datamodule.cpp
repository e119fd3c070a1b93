// Timings of the data module on the synthetic year, each beside plain SQLite
// doing the same work on the same file: one line per figure on standard
// output, "NAME: value unit (ratio to baseline; ...)"; progress and faults go
// to standard error.
//
//   bench_datamodule [DATA_DIR] [--scale F] [--repeats N]
//
// DATA_DIR keeps the generated year between runs (year-*.db, shared with
// bench_store) and the root this run works on (run-datamodule/, rebuilt each
// run): DataBase/2004/year.db, Local/work.dbp, prog.ini, and the backup copy
// that BackCopyDataBase makes beside DataBase/.
#include "bench/generator.h"

#include "core/datamodule/datamodule.h"
#include "accounts/plancontrol.h"
#include "reports/accounts/accounts_reports.h"
#include "reports/schedule/schedule_reports.h"
#include "reports/codes/codes_reports.h"
#include "reports/model/sheet.h"
#include "core/datamodule/profile.h"
#include "core/store/session.h"
#include "core/store/storeerror.h"
#include "core/store/format.h"
#include "core/store/table.h"

#include <QGuiApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>
#include <vector>

#include "bench/benchutil.h"

#ifndef SALDINA_BENCH_DATA
#define SALDINA_BENCH_DATA "bench-data"
#endif

namespace {

using namespace benchutil;

int faults = 0;

void fault(const QString& what)
{
    ++faults;
    std::fprintf(stderr, "FAULT: %s\n", what.toUtf8().constData());
}

void progress(const QString& text) { std::fprintf(stderr, "bench_datamodule: %s\n", text.toUtf8().constData()); }

// "NAME: value ms (Rx what baseline ms; extra)", both in milliseconds.
void line(const char* name, double ms, double baseMs, const QString& baseline, const QString& extra = {})
{
    QString tail = QStringLiteral("%1x %2 %3 ms").arg(QString::number(ms / baseMs, 'f', 1), baseline, num(baseMs));
    if (!extra.isEmpty())
        tail += QStringLiteral("; ") + extra;
    std::printf("%s: %s ms (%s)\n", name, num(ms).toUtf8().constData(), tail.toUtf8().constData());
    std::fflush(stdout);
}

// An order-dependent digest of what a walk read, so the store and SQL can be
// compared row for row without keeping the rows.
struct Digest {
    quint64 h = 1469598103934665603ULL;
    qint64 rows = 0;
    void add(const QString& s) { h = (h ^ qHash(s)) * 1099511628211ULL + (h >> 29); }
    void add(qint64 n) { h = (h ^ quint64(n)) * 1099511628211ULL + (h >> 29); }
    void add(double d)
    {
        quint64 bits;
        std::memcpy(&bits, &d, sizeof bits);
        h = (h ^ bits) * 1099511628211ULL + (h >> 29);
    }
    bool operator==(const Digest& o) const { return h == o.h && rows == o.rows; }
};

// A plain SQLite connection: the baselines and the checks of the backup.
class RawDb {
public:
    explicit RawDb(const QString& file, int flags = SQLITE_OPEN_READONLY)
    {
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db_, flags, nullptr) != SQLITE_OK) {
            const QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
            sqlite3_close_v2(db_);
            db_ = nullptr;
            throw store::StoreError(QStringLiteral("cannot open %1: %2").arg(file, msg));
        }
        sqlite3_busy_timeout(db_, store::BusyTimeoutMs);
    }
    ~RawDb() { sqlite3_close_v2(db_); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    sqlite3_stmt* prepare(const char* sql) const
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK)
            throw store::StoreError(QStringLiteral("%1 [%2]").arg(QString::fromUtf8(sqlite3_errmsg(db_)),
                                                                 QString::fromUtf8(sql)));
        return st;
    }
    QStringList texts(const char* sql) const
    {
        QStringList out;
        sqlite3_stmt* st = prepare(sql);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            out << (p ? QString::fromUtf8(p) : QString());
        }
        sqlite3_finalize(st);
        return out;
    }
    qint64 number(const char* sql) const
    {
        sqlite3_stmt* st = prepare(sql);
        const qint64 v = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
        sqlite3_finalize(st);
        return v;
    }

private:
    sqlite3* db_ = nullptr;
};

// A date as the year file holds it (yyyy-mm-dd) read into a QDate, as any
// Qt program reading the file must.
QDate isoDay(const char* p, int n)
{
    if (!p || n != 10)
        return {};
    auto part = [p](int from, int len) {
        int v = 0;
        for (int k = from; k < from + len; ++k)
            v = v * 10 + (p[k] - '0');
        return v;
    };
    return QDate(part(0, 4), part(5, 2), part(8, 2));
}

// The year tables in the module's opening order, with the order each shows.
struct YearTable {
    const char* name;
    const char* orderBy;
};
const YearTable YearTables[] = {
    {"org_spr", "Org"},
    {"cbc_spr", "CBC"},
    {"law_spr", "LawRef"},
    {"SumTypeSpr", "SumType"},
    {"DOrg", "Org"},
    {"DIn", "Org, Date, Sum, Note, SumType"},
    {"DOut", "Org, Date, Sum, Note, SumType"},
    {"t2_2", "Facebill, LawRef, Amount, FiDate, CBC, Org"},
    {"t2_1", "FaceBill, LawRef, Amount, FiDate, CBC"},
    {"t1", "Facebill"},
    {"planTbl", "Org, Cbc, FaceBill"},
    {"corPln", "Org, Cbc, FaceBill, Num, CorDate"},
};

// The first row of every year table in its order, every column read, over
// an open connection. Returns the rows found.
int rawFirstRows(sqlite3* db)
{
    int found = 0;
    for (const YearTable& t : YearTables) {
        const QByteArray sql =
            QStringLiteral("SELECT * FROM \"%1\" ORDER BY %2 LIMIT 1").arg(QLatin1String(t.name), QLatin1String(t.orderBy)).toUtf8();
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
            throw store::StoreError(QString::fromUtf8(sqlite3_errmsg(db)));
        if (sqlite3_step(st) == SQLITE_ROW) {
            ++found;
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                if (sqlite3_column_type(st, c) == SQLITE_TEXT)
                    (void)QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                            sqlite3_column_bytes(st, c));
        }
        sqlite3_finalize(st);
    }
    return found;
}

// Opening the file with raw sqlite3 and reading each table's first row.
int rawOpenFirstRows(const QString& file)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        throw store::StoreError(QStringLiteral("cannot open %1").arg(file));
    }
    const int n = rawFirstRows(db);
    sqlite3_close_v2(db);
    return n;
}

// first() on every year table of the module, its first row read.
int moduleFirstRows(dm::TDataBase1& db)
{
    int found = 0;
    for (store::Table* t : db.yearTables()) {
        t->first();
        if (!t->eof()) {
            ++found;
            for (int i = 0; i < t->fieldCount(); ++i)
                (void)t->field(i).value();
        }
    }
    return found;
}

struct Bench {
    QString root;       // the run's root: prog.ini, DataBase/, Local/
    QString dataBase;   // root/DataBase
    QString yearFile;   // root/DataBase/2004/year.db
    QString ini;
    int year = 2004;
    int repeats = 5;
    qint64 t22Rows = 0;
};

void writeIni(const Bench& b)
{
    const config::Profile p(b.ini);
    QString err;
    const QString main = QString::fromLatin1(config::keys::Main);
    if (!p.writeString(main, QString::fromLatin1(config::keys::DataBaseDir), b.dataBase + QLatin1Char('/'), &err) ||
        !p.writeInt(main, QString::fromLatin1(config::keys::Year), b.year, &err) ||
        !p.writeString(main, QString::fromLatin1(config::keys::UserName), QStringLiteral("Bench"), &err) ||
        !p.writeString(main, QString::fromLatin1(config::keys::LocalBaseDir), b.root + QStringLiteral("/Local/"),
                       &err))
        throw store::StoreError(QStringLiteral("prog.ini: %1").arg(err));
}

// Every message the module shows: questions are answered Ok, errors are faults.
dm::MsgResult answer(const QString& caption, const QString& text, dm::MsgButtons, dm::MsgIcon icon)
{
    if (icon == dm::MsgIcon::Error)
        fault(QStringLiteral("the module says \"%1: %2\"").arg(caption, text));
    return dm::MsgResult::Ok;
}

void benchCreate(Bench& b, dm::TDataBase1& db, double constructMs)
{
    rawOpenFirstRows(b.yearFile);
    std::vector<double> create, createFirst, raw;
    for (int i = 0; i < b.repeats; ++i) {
        bool ok = false;
        create.push_back(timed([&] { ok = db.DataBaseCreate(); }));
        if (!ok || !db.isOpen())
            fault(QStringLiteral("DataBaseCreate left the year closed"));
        int rows = 0;
        createFirst.push_back(timed([&] {
            db.DataBaseCreate();
            rows = moduleFirstRows(db);
        }));
        int rawRows = 0;
        raw.push_back(timed([&] { rawRows = rawOpenFirstRows(b.yearFile); }));
        if (rows != rawRows)
            fault(QStringLiteral("the module shows a first row in %1 year tables, SQL in %2").arg(rows).arg(rawRows));
    }
    const double rawMs = median(raw) * 1e3;
    line("DataBaseCreate", median(create) * 1e3, rawMs, QStringLiteral("raw sqlite3 open and first row of 12 tables"),
         QStringLiteral("first construction of TDataBase1 %1 ms; no table reads a row yet").arg(num(constructMs)));
    line("DataBaseCreate_first_rows", median(createFirst) * 1e3, rawMs,
         QStringLiteral("raw sqlite3 open and first row of 12 tables"),
         QStringLiteral("DataBaseCreate, then first() on every year table"));
}

void benchSync(Bench& b, dm::TDataBase1& db)
{
    sqlite3* rdb = nullptr;
    // The connection the baseline keeps open, as the module keeps its own.
    if (sqlite3_open_v2(QFile::encodeName(b.yearFile).constData(), &rdb, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        throw store::StoreError(QStringLiteral("cannot open %1").arg(b.yearFile));
    rawFirstRows(rdb);
    moduleFirstRows(db);
    std::vector<double> sync, syncFirst, base;
    for (int i = 0; i < b.repeats; ++i) {
        sync.push_back(timed([&] { db.SyncAllTables(); }));
        int rows = 0;
        syncFirst.push_back(timed([&] {
            db.SyncAllTables();
            rows = moduleFirstRows(db);
        }));
        int rawRows = 0;
        base.push_back(timed([&] { rawRows = rawFirstRows(rdb); }));
        if (rows != rawRows)
            fault(QStringLiteral("after SyncAllTables %1 year tables show a first row, SQL finds %2")
                      .arg(rows)
                      .arg(rawRows));
    }
    sqlite3_close_v2(rdb);
    const double baseMs = median(base) * 1e3;
    line("SyncAllTables", median(sync) * 1e3, baseMs, QStringLiteral("sql first row of 12 tables, connection open"),
         QStringLiteral("close and open only; the rows are read at the next access"));
    line("SyncAllTables_first_rows", median(syncFirst) * 1e3, baseMs,
         QStringLiteral("sql first row of 12 tables, connection open"),
         QStringLiteral("SyncAllTables, then first() on every year table"));
}

// t2_2 walked first..eof with the calculated fields installed, and again with
// the hooks off, beside the same rows in SQL.
void benchWalks(Bench& b, dm::TDataBase1& db)
{
    RawDb raw(b.yearFile);
    store::Table& t = db.T2_2;
    const int walkRepeats = std::max(1, std::min(b.repeats, 3));

    // Names by nearest code, as T2_2CalcFields finds them: the first row of
    // the book at or after the code, else the book's last row.
    const char* calcSql =
        "SELECT IFNULL((SELECT Name FROM org_spr WHERE Org >= t.Org ORDER BY Org LIMIT 1),"
        "              (SELECT Name FROM org_spr ORDER BY Org DESC LIMIT 1)),"
        "       IFNULL((SELECT Sname FROM law_spr WHERE LawRef >= t.LawRef ORDER BY LawRef LIMIT 1),"
        "              (SELECT Sname FROM law_spr ORDER BY LawRef DESC LIMIT 1))"
        " FROM t2_2 t ORDER BY Facebill, LawRef, Amount, FiDate, CBC, Org";
    auto sqlCalc = [&] {
        Digest d;
        sqlite3_stmt* st = raw.prepare(calcSql);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < 2; ++c)
                d.add(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                        sqlite3_column_bytes(st, c)));
            ++d.rows;
        }
        sqlite3_finalize(st);
        return d;
    };
    auto walkCalc = [&] {
        Digest d;
        const store::Field& org = t.fieldByName(QStringLiteral("OrgName"));
        const store::Field& law = t.fieldByName(QStringLiteral("LawSName"));
        t.first();
        while (!t.eof()) {
            d.add(org.asString());
            d.add(law.asString());
            ++d.rows;
            t.next();
        }
        return d;
    };

    const char* plainSql = "SELECT * FROM t2_2 ORDER BY Facebill, LawRef, Amount, FiDate, CBC, Org";
    auto sqlPlain = [&] {
        Digest d;
        sqlite3_stmt* st = raw.prepare(plainSql);
        const int cols = sqlite3_column_count(st);
        int dateColumn = -1;
        for (int c = 0; c < cols; ++c)
            if (qstrcmp(sqlite3_column_name(st, c), "FiDate") == 0)
                dateColumn = c;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < cols; ++c) {
                // The type first: asking a number for its text converts it.
                if (sqlite3_column_type(st, c) == SQLITE_FLOAT) {
                    d.add(sqlite3_column_double(st, c));
                    continue;
                }
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                const int n = sqlite3_column_bytes(st, c);
                if (c == dateColumn)
                    d.add(isoDay(p, n).toJulianDay());
                else
                    d.add(QString::fromUtf8(p, n));
            }
            ++d.rows;
        }
        sqlite3_finalize(st);
        return d;
    };
    // Every stored field of every row, as the values the module hands out.
    auto walkPlain = [&] {
        Digest d;
        std::vector<const store::Field*> fields;
        for (int i = 0; i < t.fieldCount(); ++i)
            if (!t.field(i).isCalculated())
                fields.push_back(&t.field(i));
        t.first();
        while (!t.eof()) {
            for (const store::Field* f : fields) {
                const QVariant v = f->value();
                if (f->type() == schema::FieldType::Float)
                    d.add(v.toDouble());
                else if (f->type() == schema::FieldType::Date)
                    d.add(v.toDate().toJulianDay());
                else
                    d.add(v.toString());
            }
            ++d.rows;
            t.next();
        }
        return d;
    };

    struct Pair {
        const char* name;
        const char* baseline;
        std::function<Digest()> store, sql;
        bool hooks;
    };
    const Pair pairs[] = {
        {"walk_t2_2_calc_fields", "sql join by nearest code (correlated subqueries)", walkCalc, sqlCalc, true},
        {"walk_t2_2_hooks_off", "SELECT * FROM t2_2 in the same order", walkPlain, sqlPlain, false},
    };
    for (const Pair& p : pairs) {
        if (p.hooks)
            db.EnableTableProcess();
        else
            db.DisableTableProcess();
        std::vector<double> ts, tq;
        Digest ds, dq;
        for (int i = 0; i < walkRepeats; ++i) {
            ts.push_back(timed([&] { ds = p.store(); }));
            tq.push_back(timed([&] { dq = p.sql(); }));
            if (!(ds == dq)) {
                fault(QStringLiteral("%1: the walk read %2 rows, SQL %3, and the values differ")
                          .arg(QLatin1String(p.name))
                          .arg(ds.rows)
                          .arg(dq.rows));
                break;
            }
        }
        if (ds.rows != b.t22Rows)
            fault(QStringLiteral("%1: %2 rows walked, t2_2 holds %3").arg(QLatin1String(p.name)).arg(ds.rows).arg(b.t22Rows));
        const double ms = median(ts) * 1e3;
        line(p.name, ms, median(tq) * 1e3, QString::fromLatin1(p.baseline),
             QStringLiteral("%1 rows, %2 us a row").arg(ds.rows).arg(num(ms * 1e3 / std::max<qint64>(1, ds.rows))));
    }
    db.EnableTableProcess();
}

void benchBackup(Bench& b, dm::TDataBase1& db)
{
    const QString backupDir =
        b.root + QLatin1Char('/') + QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char('/') +
        QString::number(b.year);
    const QString backupFile = store::Session::databasePath(backupDir, schema::Location::Year);
    const QString plainCopy = b.root + QStringLiteral("/plain-copy.db");
    const QString scratch = b.root + QStringLiteral("/copydir");
    std::vector<double> back, copyDir, plain, plainSync;
    for (int i = 0; i < b.repeats; ++i) {
        bool made = false;
        back.push_back(timed([&] { made = db.BackCopyDataBase(); }));
        if (!made || !db.isOpen())
            fault(QStringLiteral("BackCopyDataBase: copy made %1, year open afterwards %2").arg(made).arg(db.isOpen()));
        // The copy alone, without closing and reopening the year.
        copyDir.push_back(timed([&] { db.CopyDir(b.dataBase + QStringLiteral("/2004/"), scratch); }));
        QFile::remove(plainCopy);
        plain.push_back(timed([&] {
            if (!QFile::copy(b.yearFile, plainCopy))
                fault(QStringLiteral("QFile::copy of %1 failed").arg(b.yearFile));
        }));
        QFile::remove(plainCopy);
        plainSync.push_back(timed([&] {
            QFile::copy(b.yearFile, plainCopy);
            QFile f(plainCopy);
            if (f.open(QIODevice::ReadWrite))
                ::fsync(f.handle());
        }));
    }
    // The backup is a whole database of the same rows.
    if (!QFileInfo::exists(backupFile)) {
        fault(QStringLiteral("no backup at %1").arg(backupFile));
    } else {
        RawDb copy(backupFile);
        const QStringList check = copy.texts("PRAGMA integrity_check");
        if (check != QStringList{QStringLiteral("ok")})
            fault(QStringLiteral("the backup %1 fails integrity_check: %2").arg(backupFile, check.join(QLatin1Char(' '))));
        RawDb orig(b.yearFile);
        for (const YearTable& t : YearTables) {
            const QByteArray sql = QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(QLatin1String(t.name)).toUtf8();
            const qint64 n = copy.number(sql.constData()), m = orig.number(sql.constData());
            if (n != m)
                fault(QStringLiteral("the backup holds %1 rows of %2, the year %3").arg(n).arg(QLatin1String(t.name)).arg(m));
        }
        progress(QStringLiteral("backup %1: integrity_check %2").arg(backupFile, check.join(QLatin1Char(' '))));
    }
    QFile::remove(plainCopy);
    QDir(scratch).removeRecursively();
    const double mb = double(QFileInfo(b.yearFile).size()) / (1 << 20);
    line("BackCopyDataBase", median(back) * 1e3, median(plain) * 1e3, QStringLiteral("QFile::copy of year.db"),
         QStringLiteral("%1 MB; CopyDir alone %2 ms; QFile::copy and fsync %3 ms")
             .arg(num(mb), num(median(copyDir) * 1e3), num(median(plainSync) * 1e3)));
}

// The two reports by personal accounts: the fill of md (one row per account
// with the sums of its selected postings) beside one SQL statement computing
// the same per-account totals on the same file, and the pages of the
// unselected detailed report.
void benchReports(Bench& b, dm::TDataBase1& db, bool pagesOnly)
{
    using Clock = benchutil::Clock;
    reports::AccountsReport md(db);
    reports::AccountsShortReport md11(db);
    RawDb raw(b.yearFile);
    const QString from = QStringLiteral("%1-04-01").arg(b.year), to = QStringLiteral("%1-06-30").arg(b.year);
    auto sqlTotals = [&](bool period) {
        const QByteArray where = period ? QStringLiteral(" AND FiDate >= '%1' AND FiDate <= '%2'").arg(from, to).toUtf8() : QByteArray();
        const QByteArray sql = "SELECT t1.Facebill, (SELECT TOTAL(Amount) FROM t2_1 WHERE t2_1.FaceBill = t1.Facebill" + where +
                               "), (SELECT TOTAL(Amount) FROM t2_2 WHERE t2_2.Facebill = t1.Facebill" + where +
                               ") FROM t1 ORDER BY t1.Facebill";
        double sum = 0;
        sqlite3_stmt* st = raw.prepare(sql.constData());
        while (sqlite3_step(st) == SQLITE_ROW)
            sum += sqlite3_column_double(st, 1) - sqlite3_column_double(st, 2);
        sqlite3_finalize(st);
        return sum;
    };
    // The fill ends where the pages begin: the report's own BeforePrint.
    Clock::time_point fillEnd, pagesEnd;
    double fillEndCpu = 0, pagesEndCpu = 0;   // the process's processor time: a busy machine slows the clock more
    int pageCount = 0;
    double pagesMb = 0;
    for (reports::ReportRun* f : {static_cast<reports::ReportRun*>(&md), static_cast<reports::ReportRun*>(&md11)})
        f->layout().beforePrint = [&](reports::Report&) {
            fillEnd = Clock::now();
            fillEndCpu = cpuSeconds();
        };

    auto mdRemainder = [&] {
        double s = 0;
        for (db.MdTable.first(); !db.MdTable.eof(); db.MdTable.next())
            s += db.MdTable.fieldByName("Remainder").asFloat();
        return s;
    };
    for (bool period : {false, true}) {
        for (reports::ReportRun* f : {static_cast<reports::ReportRun*>(&md), static_cast<reports::ReportRun*>(&md11)}) {
            reports::Selection sel;
            sel.period = period;
            sel.startText = store::formatDate(QDate::fromString(from, Qt::ISODate));
            sel.endText = store::formatDate(QDate::fromString(to, Qt::ISODate));
            const bool detailed = f == &md;
            if (pagesOnly && !(detailed && !period))
                continue;
            std::vector<double> fills, sqls, pages, pagesCpu;
            double sqlSum = 0;
            for (int k = 0; k < b.repeats; ++k) {
                sqls.push_back(timed([&] { sqlSum = sqlTotals(period); }) * 1e3);
                const bool measure = detailed && !period && k == 0;
                const double before = statusMb("VmRSS");
                const auto t0 = Clock::now();
                {
                    std::optional<reports::PageSet> ps = f->run(sel);
                    pagesEnd = Clock::now();
                    pagesEndCpu = cpuSeconds();
                    pageCount = ps ? ps->count() : 0;
                    if (measure)
                        pagesMb = statusMb("VmRSS") - before;
                }
                fills.push_back(seconds(t0, fillEnd) * 1e3);
                pages.push_back(seconds(fillEnd, pagesEnd) * 1e3);
                pagesCpu.push_back((pagesEndCpu - fillEndCpu) * 1e3);
                // The fill must give what SQL gives.
                db.MdTable.clearMaster();
                if (std::fabs(mdRemainder() - sqlSum) > 0.01 + 1e-9 * std::fabs(sqlSum))
                    fault(QStringLiteral("%1: md remainders %2, SQL %3").arg(detailed ? "accounts" : "accounts_short").arg(mdRemainder(), 0, 'f', 2).arg(sqlSum, 0, 'f', 2));
            }
            const QString name = QStringLiteral("fill_%1%2").arg(detailed ? "accounts" : "accounts_short", period ? "_period" : "");
            line(name.toUtf8().constData(), median(fills), median(sqls), QStringLiteral("one SQL statement of the same totals"),
                 QStringLiteral("%1 of target 1000 ms").arg(num(median(fills) / 1000)));
            if (detailed && !period)
                std::printf("pages_accounts: %s ms (%s of target 5000 ms; %d pages; %s MB of target 300 MB; processor %s ms)\n",
                            qPrintable(num(median(pages))), qPrintable(num(median(pages) / 5000)), pageCount,
                            qPrintable(num(pagesMb)), qPrintable(num(median(pagesCpu))));
        }
    }
}

// The two reports over the schedule. The execution by organizations (md9:
// one row per organization and code of the schedule, the notices and the
// expenditures, with the sums of the quarters I to IV) beside one SQL
// aggregate per table grouped by organization and code; the approved
// schedule by personal accounts (md12, every account on its own and all
// together) beside one SQL aggregate grouped by account and code.
void benchSchedule(Bench& b, dm::TDataBase1& db)
{
    using Clock = benchutil::Clock;
    RawDb raw(b.yearFile);
    const QString from = QStringLiteral("%1-01-01").arg(b.year), to = QStringLiteral("%1-12-31").arg(b.year);
    auto sqlExecution = [&] {
        // The remainders' total: plan and notices of the year's window minus the expenditures.
        const QByteArray window = QStringLiteral(" WHERE CorDate >= '%1' AND CorDate <= '%2'").arg(from, to).toUtf8();
        const QByteArray period = QStringLiteral(" WHERE FiDate >= '%1' AND FiDate <= '%2'").arg(from, to).toUtf8();
        const QByteArray sql[] = {
            "SELECT Org, Cbc, TOTAL(Sum1) + TOTAL(Sum2) + TOTAL(Sum3) + TOTAL(Sum4) FROM planTbl GROUP BY Org, Cbc",
            "SELECT Org, Cbc, TOTAL(Sum1) + TOTAL(Sum2) + TOTAL(Sum3) + TOTAL(Sum4) FROM corPln" + window + " GROUP BY Org, Cbc",
            "SELECT Org, CBC, TOTAL(Amount) FROM t2_2" + period + " GROUP BY Org, CBC"};
        double total = 0;
        int groups = 0;
        for (int k = 0; k < 3; ++k) {
            sqlite3_stmt* st = raw.prepare(sql[k].constData());
            while (sqlite3_step(st) == SQLITE_ROW) {
                const double v = sqlite3_column_double(st, 2);
                total += k == 0 ? 2 * v : k == 1 ? v : -v;   // the plan counts in both the approved and the corrected
                ++groups;
            }
            sqlite3_finalize(st);
        }
        return total;
    };
    auto sqlApproved = [&] {
        double total = 0;
        sqlite3_stmt* st = raw.prepare("SELECT FaceBill, Cbc, TOTAL(AllSum) FROM planTbl WHERE FaceBill IN (SELECT Facebill FROM t1) GROUP BY FaceBill, Cbc");
        while (sqlite3_step(st) == SQLITE_ROW)
            total += sqlite3_column_double(st, 2);
        sqlite3_finalize(st);
        return total;
    };
    auto tableSum = [](store::Table& t, std::initializer_list<const char*> fields) {
        double s = 0;
        for (t.first(); !t.eof(); t.next())
            for (const char* f : fields)
                s += t.fieldByName(QLatin1String(f)).asFloat();
        return s;
    };
    auto same = [](double a, double b) { return std::fabs(a - b) <= 0.01 + 1e-9 * std::fabs(b); };

    // The fill ends where the pages begin: the report's own BeforePrint.
    Clock::time_point fillEnd;
    reports::ExecutionReport execution(db);
    execution.layout().beforePrint = [&](reports::Report&) { fillEnd = Clock::now(); };
    std::vector<double> fills, sqls, totals;
    double sqlTotal = 0, md9Total = 0;
    int rows = 0, pages = 0;
    for (int k = 0; k < b.repeats; ++k) {
        sqls.push_back(timed([&] { sqlTotal = sqlExecution(); }) * 1e3);
        reports::ExecutionSelection sel;
        sel.chooseQuarter(4, b.year);
        const auto t0 = Clock::now();
        std::optional<reports::PageSet> ps = execution.run(sel);
        totals.push_back(seconds(t0, Clock::now()) * 1e3);
        fills.push_back(seconds(t0, fillEnd) * 1e3);
        pages = ps ? ps->count() : 0;
        db.Md9Table.open();
        rows = db.Md9Table.recordCount();
        md9Total = tableSum(db.Md9Table, {"PlanSum", "CorPlanSum"}) - tableSum(db.Md9Table, {"RasHod"});
        db.Md9Table.close();
        if (!same(md9Total, sqlTotal))
            fault(QStringLiteral("execution: md9 %1, SQL %2").arg(md9Total, 0, 'f', 2).arg(sqlTotal, 0, 'f', 2));
    }
    line("fill_execution", median(fills), median(sqls), QStringLiteral("one SQL aggregate per table by organization and code"),
         QStringLiteral("%1 of target 2000 ms; %2 md9 rows; with the pages %3 ms, %4 pages").arg(num(median(fills) / 2000)).arg(rows).arg(num(median(totals))).arg(pages));

    reports::ApprovedScheduleReport approved(db);
    approved.layout().beforePrint = [&](reports::Report&) { fillEnd = Clock::now(); };
    for (auto mode : {reports::Selection::Accounts::EveryOne, reports::Selection::Accounts::SumAll}) {
        std::vector<double> f, q;
        double sql = 0, md12 = 0;
        for (int k = 0; k < b.repeats; ++k) {
            q.push_back(timed([&] { sql = sqlApproved(); }) * 1e3);
            reports::Selection sel;
            sel.accounts = mode;
            const auto t0 = Clock::now();
            std::optional<reports::PageSet> ps = approved.run(sel);
            f.push_back(seconds(t0, fillEnd) * 1e3);
            pages = ps ? ps->count() : 0;
            db.Md12Table.open();
            md12 = tableSum(db.Md12Table, {"AllSum"});
            db.Md12Table.close();
            if (mode == reports::Selection::Accounts::EveryOne && !same(md12, sql))
                fault(QStringLiteral("approved: md12 %1, SQL %2").arg(md12, 0, 'f', 2).arg(sql, 0, 'f', 2));
        }
        line(mode == reports::Selection::Accounts::EveryOne ? "fill_approved_every_account" : "fill_approved_sum_all",
             median(f), median(q), QStringLiteral("one SQL aggregate by account and code"),
             QStringLiteral("%1 of target 1000 ms; %2 pages").arg(num(median(f) / 1000)).arg(pages));
    }
}

// The reports over the codes: the financing and credit remainders (no
// part summed, then the economic articles summed) and the totals by
// economic articles, each run whole (marks, fill, pages) beside SQL
// statements giving the same totals on the same file.
void benchCodes(Bench& b, dm::TDataBase1& db)
{
    RawDb raw(b.yearFile);
    auto sqlTotal = [&](const char* sql) {
        double sum = 0;
        sqlite3_stmt* st = raw.prepare(sql);
        while (sqlite3_step(st) == SQLITE_ROW)
            sum += sqlite3_column_double(st, sqlite3_column_count(st) - 1);
        sqlite3_finalize(st);
        return sum;
    };
    auto workSum = [&](store::Table& t, const char* field) {
        t.open();
        double s = 0;
        for (t.first(); !t.eof(); t.next())
            s += t.fieldByName(QLatin1String(field)).asFloat();
        const int n = t.recordCount();
        t.close();
        return std::pair{s, n};
    };
    using Clock = benchutil::Clock;
    Clock::time_point fillEnd;   // where the pages begin: the report's own BeforePrint
    reports::CreditRemaindersReport credit(db);
    credit.layout().beforePrint = [&](reports::Report&) { fillEnd = Clock::now(); };
    for (int parts : {0, int(reports::PartEcSt)}) {
        std::vector<double> runs, sqls, fills, cpus;
        double sqlSum = 0;
        int pagesCount = 0;
        // Every organization and code with its financing; the summary codes
        // of the economic articles once more over the codes they cover.
        const char* sql = "SELECT TOTAL(Amount) FROM t2_2 WHERE substr(CBC, 1, 13) IN (SELECT substr(CBC, 1, 13) FROM "
                          "cbc_spr WHERE CBC LIKE '_____________******' AND instr(substr(CBC, 1, 13), '*') = 0)";
        for (int k = 0; k < b.repeats; ++k) {
            sqls.push_back(timed([&] {
                sqlSum = sqlTotal("SELECT Org, CBC, TOTAL(Amount) FROM t2_2 WHERE CBC IN (SELECT CBC FROM cbc_spr) GROUP BY Org, CBC");
                if (parts)
                    sqlSum += sqlTotal(sql);
            }) * 1e3);
            reports::CreditSelection s;
            s.parts = parts;
            const auto t0 = Clock::now();
            const double cpu0 = cpuSeconds();
            runs.push_back(timed([&] {
                std::optional<reports::PageSet> ps = credit.run(s);
                pagesCount = ps ? ps->count() : 0;
            }) * 1e3);
            cpus.push_back((cpuSeconds() - cpu0) * 1e3);
            fills.push_back(seconds(t0, fillEnd) * 1e3);
            const auto [sum, rows] = workSum(db.MD2Table, "Sum");
            if (std::fabs(sum - sqlSum) > 0.01 + 1e-9 * std::fabs(sqlSum))
                fault(QStringLiteral("credit: md2 %1, SQL %2").arg(sum, 0, 'f', 2).arg(sqlSum, 0, 'f', 2));
            if (k == 0)
                progress(QStringLiteral("credit parts %1: %2 md2 rows, %3 pages").arg(parts).arg(rows).arg(pagesCount));
        }
        line(parts ? "credit_ecst" : "credit_no_parts", median(runs), median(sqls),
             QStringLiteral("SQL of the same totals"),
             QStringLiteral("%1 of target %2 ms; marks, fill and %3 pages; marks and fill alone %4 ms, %5x SQL; "
                            "processor %6 ms")
                 .arg(num(median(runs) / (parts ? 3000 : 2000)))
                 .arg(parts ? 3000 : 2000)
                 .arg(pagesCount)
                 .arg(num(median(fills)), num(median(fills) / median(sqls)), num(median(cpus))));
    }

    reports::EconomicArticlesReport articles(db);
    std::vector<double> runs, sqls, cpus;
    double sqlSum = 0;
    int pagesCount = 0;
    const QByteArray articleSql =
        QStringLiteral("SELECT (SELECT TOTAL(Amount) FROM t2_1 WHERE FiDate BETWEEN '%1-01-01' AND '%1-12-31' AND "
                       "substr(CBC, 14) IN (SELECT substr(CBC, 14) FROM cbc_spr WHERE CBC LIKE '*************______' AND "
                       "instr(substr(CBC, 14), '*') = 0)) + (SELECT TOTAL(Amount) FROM t2_2 WHERE FiDate BETWEEN "
                       "'%1-01-01' AND '%1-12-31' AND substr(CBC, 14) IN (SELECT substr(CBC, 14) FROM cbc_spr WHERE CBC "
                       "LIKE '*************______' AND instr(substr(CBC, 14), '*') = 0))")
            .arg(b.year)
            .toUtf8();
    const QByteArray allSql = QStringLiteral("SELECT (SELECT TOTAL(Amount) FROM t2_1 WHERE FiDate BETWEEN '%1-01-01' AND "
                                             "'%1-12-31') + (SELECT TOTAL(Amount) FROM t2_2 WHERE FiDate BETWEEN "
                                             "'%1-01-01' AND '%1-12-31')")
                                  .arg(b.year)
                                  .toUtf8();
    for (int k = 0; k < b.repeats; ++k) {
        sqls.push_back(timed([&] { sqlSum = sqlTotal(articleSql.constData()) + sqlTotal(allSql.constData()); }) * 1e3);
        const double cpu0 = cpuSeconds();
        runs.push_back(timed([&] {
            std::optional<reports::PageSet> ps = articles.run(b.year);
            pagesCount = ps ? ps->count() : 0;
        }) * 1e3);
        cpus.push_back((cpuSeconds() - cpu0) * 1e3);
        const auto [in, rows] = workSum(db.MD4Table, "InAll");
        const double out = workSum(db.MD4Table, "OutAll").first;
        if (std::fabs(in + out - sqlSum) > 0.01 + 1e-9 * std::fabs(sqlSum))
            fault(QStringLiteral("articles: md4 %1, SQL %2").arg(in + out, 0, 'f', 2).arg(sqlSum, 0, 'f', 2));
        if (k == 0)
            progress(QStringLiteral("articles: %1 md4 rows, %2 pages").arg(rows).arg(pagesCount));
    }
    line("articles", median(runs), median(sqls), QStringLiteral("SQL of the same totals"),
         QStringLiteral("%1 of target 1000 ms; marks, fill and %2 pages; processor %3 ms")
             .arg(num(median(runs) / 1000))
             .arg(pagesCount)
             .arg(num(median(cpus))));
}

// The pages of the unselected detailed report saved as XLSX and as CSV,
// beside the same pages saved as PDF: the time of each save and the growth
// of the process's peak size during it.
void benchSheets(Bench& b, dm::TDataBase1& db)
{
    reports::AccountsReport md(db);
    std::optional<reports::PageSet> ps = md.run(reports::Selection{});
    if (!ps) {
        fault(QStringLiteral("sheets: the report did not run"));
        return;
    }
    const QString dir = b.root + QStringLiteral("/sheets");
    QDir().mkpath(dir);
    auto resetPeak = [] {
        malloc_trim(0);   // the space the run freed goes back, so that a save's own use shows
        QFile f(QStringLiteral("/proc/self/clear_refs"));   // "5" starts the peak size afresh
        if (f.open(QIODevice::WriteOnly))
            f.write("5");
    };
    struct Save {
        const char* name;
        std::function<bool(const QString&)> write;
        const char* suffix;
    };
    const std::vector<Save> saves{
        {"save_accounts_xlsx", [&](const QString& f) { return reports::writeXlsx(*ps, f, QStringLiteral("accounts")); }, ".xlsx"},
        {"save_accounts_csv", [&](const QString& f) { return reports::writeCsv(*ps, f); }, ".csv"},
        {"save_accounts_pdf", [&](const QString& f) { return reports::writePdf(*ps, f); }, ".pdf"},
    };
    for (const Save& s : saves) {
        std::vector<double> ms, mb;
        qint64 size = 0;
        const int repeats = std::min(b.repeats, 3);
        for (int k = 0; k < repeats; ++k) {
            const QString file = dir + QLatin1Char('/') + QLatin1String(s.name) + QLatin1String(s.suffix);
            resetPeak();
            const double before = statusMb("VmRSS");
            bool ok = false;
            ms.push_back(timed([&] { ok = s.write(file); }) * 1e3);
            mb.push_back(statusMb("VmHWM") - before);
            size = QFileInfo(file).size();
            if (!ok || size <= 0)
                fault(QStringLiteral("%1: %2 not written").arg(QLatin1String(s.name), file));
        }
        std::printf("%s: %s ms (%s of target 5000 ms; %d pages; peak %s MB over the pages, of target 300 MB; file %s MB)\n", s.name,
                    qPrintable(num(median(ms))), qPrintable(num(median(ms) / 5000)), ps->count(), qPrintable(num(median(mb))),
                    qPrintable(num(double(size) / 1e6)));
        std::fflush(stdout);
    }
}

// The ledger's plan line: the figures of one account, organization and
// code up to a quarter's end, as computed on every change of a field, for
// schedule rows of the synthetic year and for codes without one.
void benchPlanLine(Bench& b, dm::TDataBase1& db)
{
    using Clock = benchutil::Clock;
    struct Key {
        QString account, org, code;
    };
    std::vector<Key> keys;
    store::Table& plan = db.PlanTable;
    int i = 0;
    for (plan.first(); !plan.eof() && keys.size() < 500; plan.next(), ++i)
        if (i % 37 == 0)
            keys.push_back({plan.fieldByName("FaceBill").asString(), plan.fieldByName("Org").asString(),
                            plan.fieldByName("Cbc").asString()});
    if (keys.empty()) {
        fault(QStringLiteral("plan line: the synthetic year has no schedule"));
        return;
    }
    std::vector<double> times;
    int scheduled = 0;
    for (int k = 0; k < b.repeats; ++k)
        for (size_t n = 0; n < keys.size(); ++n) {
            const Key& key = keys[n];
            const QDate date(b.year, int(n % 12) + 1, 15);
            const auto t0 = Clock::now();
            const accounts::PlanFigures f =
                accounts::planFigures(db.PlanTable, db.CorPlanTable, db.T2_2, key.account, key.org, key.code, date);
            times.push_back(seconds(t0, Clock::now()) * 1e3);
            scheduled += f.scheduled;
        }
    if (scheduled != int(keys.size()) * b.repeats)
        fault(QStringLiteral("plan line: a schedule row not found"));
    std::sort(times.begin(), times.end());
    std::printf("plan_line: %s ms median, %s ms at the 99th percentile (target 2 ms; %d figures)\n",
                qPrintable(num(times[times.size() / 2])), qPrintable(num(times[times.size() * 99 / 100])),
                int(times.size()));
}

int run(int argc, char** argv)
{
    const auto args = parseArgs(argc, argv, "bench_datamodule", QString::fromUtf8(SALDINA_BENCH_DATA), 5);
    if (!args)
        return 2;
    QString dataDir = args->dataDir;
    const double scale = args->scale;
    const int repeats = args->repeats;
    const benchgen::YearParams params = benchgen::YearParams().scaled(scale);

    Bench b;
    b.repeats = repeats;
    b.year = params.year;
    dataDir = store::Session::normalizeDir(dataDir);
    b.root = dataDir + QStringLiteral("/run-datamodule");
    b.dataBase = b.root + QStringLiteral("/DataBase");
    b.ini = b.root + QStringLiteral("/prog.ini");
    const QString yearDir = b.dataBase + QLatin1Char('/') + QString::number(b.year);
    QDir(b.root).removeRecursively();
    QDir().mkpath(b.dataBase);

    const QString cached = benchgen::cachedYearPath(dataDir, params);
    progress(QFileInfo::exists(cached) ? QStringLiteral("year from %1").arg(cached)
                                       : QStringLiteral("generating %1 (%2)").arg(cached, params.key()));
    const double genS = timed([&] { b.yearFile = benchgen::generateYear(yearDir, params, dataDir); });
    progress(QStringLiteral("year ready in %1 s").arg(num(genS)));
    store::Session::createDatabase(b.root + QStringLiteral("/Local"), schema::Location::Work);
    writeIni(b);
    {
        RawDb raw(b.yearFile);
        b.t22Rows = raw.number("SELECT COUNT(*) FROM t2_2");
        if (b.t22Rows <= 0 || raw.number("SELECT COUNT(*) FROM org_spr") <= 0 ||
            raw.number("SELECT COUNT(*) FROM law_spr") <= 0)
            throw store::StoreError(QStringLiteral("the synthetic year is empty"));
    }

    rawOpenFirstRows(b.yearFile);   // the file in the page cache for both sides
    std::unique_ptr<dm::TDataBase1> db;
    const double constructMs = timed([&] { db = std::make_unique<dm::TDataBase1>(b.ini, &answer); }) * 1e3;
    if (!db->isOpen())
        throw store::StoreError(QStringLiteral("the module did not open %1").arg(b.yearFile));

    if (args->wants("create"))
        benchCreate(b, *db, constructMs);
    if (args->wants("sync"))
        benchSync(b, *db);
    if (args->wants("walks"))
        benchWalks(b, *db);
    if (args->wants("backup"))
        benchBackup(b, *db);
    if (args->wants("schedule"))
        benchSchedule(b, *db);
    if (args->wants("planline"))
        benchPlanLine(b, *db);
    if (args->wants("reports") || args->wants("pages"))
        benchReports(b, *db, !args->wants("reports"));
    if (args->wants("codes"))
        benchCodes(b, *db);
    if (args->only.contains(QLatin1String("sheets")))   // asked for by name only: the PDF of 4,000 pages takes a while
        benchSheets(b, *db);
    db.reset();
    return faults == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    // The reports are windows; they run offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type != QtDebugMsg && type != QtInfoMsg && type != QtWarningMsg)
            std::fprintf(stderr, "%s\n", msg.toUtf8().constData());
    });
    QGuiApplication app(argc, argv);
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_datamodule: %s\n", e.what());
        return 1;
    }
}
