// Timings of the store on a synthetic year: one line per figure on standard
// output, "NAME: value unit (ratio to target or baseline)"; progress and
// faults go to standard error.
//
//   bench_store [DATA_DIR] [--scale F] [--repeats N]
//
// DATA_DIR keeps the generated year between runs (year-*.db) and the copy
// each run works on (run/); --scale shrinks or grows the accounts and the
// postings (for a profiler), --repeats sets how many times each figure is
// taken (the median is printed).
#include "bench/generator.h"

#include "core/store/session.h"
#include "core/store/storeerror.h"
#include "core/store/table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "bench/benchutil.h"

#ifndef SALDINA_BENCH_DATA
#define SALDINA_BENCH_DATA "bench-data"
#endif

namespace {

using namespace benchutil;

int faults = 0;
QStringList missed;

void fault(const QString& what)
{
    ++faults;
    std::fprintf(stderr, "FAULT: %s\n", what.toUtf8().constData());
}

void line(const char* name, double value, const char* unit, const QString& tail)
{
    std::printf("%s: %s %s (%s)\n", name, num(value).toUtf8().constData(), unit, tail.toUtf8().constData());
    std::fflush(stdout);
}

// A figure against a target in the same unit.
void figure(const char* name, double value, const char* unit, double target)
{
    line(name, value, unit,
         QStringLiteral("%1 of target %2 %3")
             .arg(QString::number(value / target, 'f', 2), QString::number(target), QLatin1String(unit)));
    if (value > target)
        missed << QString::fromLatin1(name);
}

void progress(const QString& text) { std::fprintf(stderr, "bench_store: %s\n", text.toUtf8().constData()); }

// A plain SQLite connection to the same file: the baseline and the "other copy".
class RawDb {
public:
    RawDb(const QString& file, bool write)
    {
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db_,
                            write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw store::StoreError(QStringLiteral("cannot open %1").arg(file));
        sqlite3_busy_timeout(db_, store::BusyTimeoutMs);
    }
    ~RawDb()
    {
        for (auto* s : stmts_)
            sqlite3_finalize(s);
        sqlite3_close_v2(db_);
    }
    sqlite3_stmt* prepare(const char* sql)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK)
            throw store::StoreError(QString::fromUtf8(sqlite3_errmsg(db_)));
        stmts_.push_back(st);
        return st;
    }
    void exec(const char* sql)
    {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw store::StoreError(QString::fromUtf8(sqlite3_errmsg(db_)));
    }
    QStringList texts(const char* sql)
    {
        QStringList out;
        sqlite3_stmt* st = prepare(sql);
        while (sqlite3_step(st) == SQLITE_ROW)
            out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_reset(st);
        return out;
    }
    double number(const char* sql)
    {
        sqlite3_stmt* st = prepare(sql);
        const double v = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_double(st, 0) : NAN;
        sqlite3_reset(st);
        return v;
    }
    // SELECT with one text parameter, the first column as a double.
    static double ask(sqlite3_stmt* st, const QByteArray& param)
    {
        sqlite3_bind_text(st, 1, param.constData(), int(param.size()), SQLITE_STATIC);
        const double v = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_double(st, 0) : NAN;
        sqlite3_reset(st);
        return v;
    }
    sqlite3* db() const { return db_; }

private:
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> stmts_;
};

struct Rng {
    std::uint64_t s;
    std::uint64_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    int below(int n) { return int(next() % std::uint64_t(n)); }
};

struct Bench {
    QString root, yearDir, yearFile;
    int repeats = 7;
    QStringList accounts, orgCodes, laws, cbcs;
    int user = 0;

    std::unique_ptr<store::Session> session()
    {
        auto s = std::make_unique<store::Session>();
        s->setControlDir(root);
        s->addParam(QStringLiteral("USER NAME=Bench%1").arg(++user));
        s->open();
        return s;
    }

    std::unique_ptr<store::Table> table(store::Session& s, const char* name)
    {
        auto t = std::make_unique<store::Table>(&s, QString::fromLatin1(name));
        t->setTableName(QString::fromLatin1(name));
        t->setDirectory(yearDir);
        return t;
    }
};

// The year as the main window opens it: a fresh session and every year
// table on its first row. Tables go before the session.
struct OpenYear {
    std::unique_ptr<store::Session> session;
    std::vector<std::unique_ptr<store::Table>> tables;
};

const char* const YearTables[] = {"org_spr", "cbc_spr", "law_spr", "SumTypeSpr", "DOrg",   "DIn",
                                  "DOut",    "t2_2",    "t2_1",    "t1",         "planTbl", "corPln"};

std::unique_ptr<OpenYear> openYear(Bench& b)
{
    auto y = std::make_unique<OpenYear>();
    y->session = b.session();
    for (const char* name : YearTables) {
        auto t = b.table(*y->session, name);
        t->open();
        t->first();
        y->tables.push_back(std::move(t));
    }
    return y;
}

void checkYear(Bench& b, RawDb& raw)
{
    const double badIn = raw.number("SELECT COUNT(*) FROM t1 WHERE abs(InAmount - "
                                    "(SELECT IFNULL(SUM(Amount), 0) FROM t2_1 WHERE FaceBill = t1.Facebill)) > 0.005");
    const double badOut = raw.number("SELECT COUNT(*) FROM t1 WHERE abs(OutAmount - "
                                     "(SELECT IFNULL(SUM(Amount), 0) FROM t2_2 WHERE Facebill = t1.Facebill)) > 0.005"
                                     " OR abs(Remainder - (InAmount - OutAmount)) > 0.005");
    if (badIn != 0 || badOut != 0)
        fault(QStringLiteral("account totals differ from their postings (%1 receipts, %2 expenditures)")
                  .arg(badIn)
                  .arg(badOut));
    b.accounts = raw.texts("SELECT Facebill FROM t1 ORDER BY Facebill");
    b.laws = raw.texts("SELECT LawRef FROM law_spr WHERE length(LawRef) = 3");
    b.cbcs = raw.texts("SELECT CBC FROM cbc_spr");
    b.orgCodes = raw.texts("SELECT Org FROM org_spr WHERE length(Org) = 3");
    if (b.accounts.isEmpty() || b.laws.isEmpty() || b.cbcs.isEmpty() || b.orgCodes.isEmpty())
        throw store::StoreError(QStringLiteral("the synthetic year is empty"));
}

void benchReread(Bench& b)
{
    auto s = b.session();
    auto t = b.table(*s, "t2_2");
    t->open();
    t->first();
    RawDb other(b.yearFile, true);
    // A real change: SQLite does not count an update that leaves the row as it was.
    auto change = [&] {
        other.exec("UPDATE \"SumTypeSpr\" SET \"Comment\" = "
                   "CASE WHEN \"Comment\" = 'Прочие' THEN 'Прочие поступления' ELSE 'Прочие' END");
    };
    auto reread = [&] {
        return timed([&] {
            t->close();
            t->open();
            t->first();
        });
    };
    std::vector<double> cold, warm, view;
    for (int i = 0; i < b.repeats; ++i) {
        change();
        cold.push_back(reread());
    }
    reread();
    for (int i = 0; i < b.repeats; ++i)
        warm.push_back(reread());
    // The view alone: the table stays open and first() sees the change.
    for (int i = 0; i < b.repeats; ++i) {
        change();
        view.push_back(timed([&] { t->first(); }));
    }
    // The store must see the other copy's change, not a value it read before.
    auto types = b.table(*s, "SumTypeSpr");
    types->open();
    for (int i = 0; i < 2; ++i) {
        types->first();
        change();
        types->first();
        const QString seen = types->fieldByName(QStringLiteral("Comment")).asString();
        const QString stored = other.texts("SELECT Comment FROM SumTypeSpr").value(0);
        if (seen != stored)
            fault(QStringLiteral("SumTypeSpr shows \"%1\" after another copy stored \"%2\"").arg(seen, stored));
    }
    const int n = t->recordCount();
    const double want = other.number("SELECT COUNT(*) FROM t2_2");
    if (n != int(want))
        fault(QStringLiteral("t2_2 shows %1 rows, the file holds %2").arg(n).arg(want));
    figure("reread_t2_2_cold", median(cold) * 1e3, "ms", 50);
    figure("reread_t2_2_warm", median(warm) * 1e3, "ms", 50);
    figure("first_t2_2_after_change", median(view) * 1e3, "ms", 50);
}

// One account's postings through the master link, against the same sum in SQL.
void benchWalks(Bench& b)
{
    auto s = b.session();
    auto t1 = b.table(*s, "t1");
    auto t22 = b.table(*s, "t2_2");
    auto t21 = b.table(*s, "t2_1");
    t1->open();
    t1->first();
    t22->setOrder(QStringLiteral("Facebill"));
    t22->setMaster(t1.get(), QStringLiteral("Facebill"), QStringLiteral("Facebill"));
    t22->open();
    t21->setOrder(QStringLiteral("FaceBill"));
    t21->setMaster(t1.get(), QStringLiteral("FaceBill"), QStringLiteral("Facebill"));
    t21->open();

    RawDb raw(b.yearFile, false);
    Rng rng{0x5a1d1a};
    const int warmup = 3, samples = std::max(b.repeats * 6, 21);
    QStringList sample;
    for (int i = 0; i < warmup + samples; ++i)
        sample << b.accounts[rng.below(int(b.accounts.size()))];

    struct Walk {
        const char* name;
        store::Table* detail;
        const char* sumSql;
        const char* countSql;
    };
    const Walk walks[] = {
        {"walk_sum_account_t2_2", t22.get(), "SELECT SUM(Amount) FROM t2_2 WHERE Facebill = ?",
         "SELECT COUNT(*) FROM t2_2 WHERE Facebill = ?"},
        {"walk_sum_account_t2_1", t21.get(), "SELECT SUM(Amount) FROM t2_1 WHERE FaceBill = ?",
         "SELECT COUNT(*) FROM t2_1 WHERE FaceBill = ?"},
    };
    for (const Walk& w : walks) {
        sqlite3_stmt* sum = raw.prepare(w.sumSql);
        sqlite3_stmt* count = raw.prepare(w.countSql);
        std::vector<double> store, sql;
        double rows = 0;
        for (int i = 0; i < int(sample.size()); ++i) {
            const QByteArray acct = sample[i].toUtf8();
            double total = 0;
            int n = 0;
            const double ts = timed([&] {
                t1->findKey({sample[i]});
                w.detail->first();
                while (!w.detail->eof()) {
                    total += w.detail->fieldByName(QStringLiteral("Amount")).asFloat();
                    ++n;
                    w.detail->next();
                }
            });
            double want = 0;
            const double tq = timed([&] { want = RawDb::ask(sum, acct); });
            if (std::fabs(total - want) > 0.005 || n != int(RawDb::ask(count, acct)))
                fault(QStringLiteral("%1: account %2 walks to %3 in %4 rows, SQL gives %5")
                          .arg(QLatin1String(w.name), sample[i])
                          .arg(total, 0, 'f', 2)
                          .arg(n)
                          .arg(want, 0, 'f', 2));
            if (i < warmup)
                continue;
            store.push_back(ts);
            sql.push_back(tq);
            rows += n;
        }
        const double ms = median(store) * 1e3, sqlMs = median(sql) * 1e3;
        line(w.name, ms, "ms",
             QStringLiteral("%1x sql aggregate %2 ms; %3 of target 2 ms; %4 rows")
                 .arg(QString::number(ms / sqlMs, 'f', 1), num(sqlMs), QString::number(ms / 2.0, 'f', 2))
                 .arg(std::lround(rows / samples)));
        if (ms > 2.0)
            missed << QString::fromLatin1(w.name);
        if (ms > 2.0 * sqlMs)
            missed << QString::fromLatin1(w.name) + QStringLiteral(" (ratio)");
    }
}

void benchNearest(Bench& b)
{
    auto s = b.session();
    auto org = b.table(*s, "org_spr");
    org->setOrder(QStringLiteral("Org"));
    org->open();
    org->first();
    RawDb raw(b.yearFile, false);
    sqlite3_stmt* nearest = raw.prepare("SELECT IFNULL(MIN(Org), (SELECT MAX(Org) FROM org_spr)) FROM org_spr "
                                        "WHERE Org >= ?");

    // Codes of the groups with any two digits: some exist, some fall between.
    Rng rng{0x0e9c0de5};
    auto code = [&] {
        const QString& group = b.orgCodes[rng.below(int(b.orgCodes.size()))];
        return group + QStringLiteral("%1").arg(rng.below(100), 2, 10, QLatin1Char('0'));
    };
    store::Field& orgField = org->fieldByName(QStringLiteral("Org"));
    for (int i = 0; i < 4000; ++i) {
        const QString c = code();
        org->findNearest({c});
        if (i % 16 == 0) {
            sqlite3_bind_text(nearest, 1, c.toUtf8().constData(), -1, SQLITE_TRANSIENT);
            sqlite3_step(nearest);
            const QString want = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(nearest, 0)));
            sqlite3_reset(nearest);
            if (orgField.asString() != want) {
                fault(QStringLiteral("findNearest(%1) stands on %2, SQL gives %3").arg(c, orgField.asString(), want));
                break;
            }
        }
    }
    const int batch = 4000;
    std::vector<double> per;
    for (int r = 0; r < b.repeats; ++r) {
        QStringList codes;
        for (int i = 0; i < batch; ++i)
            codes << code();
        per.push_back(timed([&] {
                          for (const QString& c : codes)
                              org->findNearest({c});
                      }) /
                      batch);
    }
    figure("find_nearest_org_spr", median(per) * 1e6, "us", 20);
}

void benchAppend(Bench& b)
{
    auto s = b.session();
    auto t1 = b.table(*s, "t1");
    auto t21 = b.table(*s, "t2_1");
    t1->open();
    t21->setMaster(t1.get(), QStringLiteral("FaceBill"), QStringLiteral("Facebill"));
    t21->open();
    const QString account = b.accounts[b.accounts.size() / 2];
    if (!t1->findKey({account}))
        throw store::StoreError(QStringLiteral("account %1 not found").arg(account));
    RawDb raw(b.yearFile, false);
    const double before = raw.number("SELECT COUNT(*) FROM t2_1");

    const QDate day(2004, 6, 15);
    auto post = [&](int i) {
        return timed([&] {
            t21->append();
            t21->fieldByName(QStringLiteral("LawRef")).setValue(b.laws[i % b.laws.size()]);
            // Beyond every generated amount, so no key is repeated.
            t21->fieldByName(QStringLiteral("Amount")).setValue(9000000.0 + i * 0.01);
            t21->fieldByName(QStringLiteral("FiDate")).setValue(day);
            t21->fieldByName(QStringLiteral("CBC")).setValue(b.cbcs[i % b.cbcs.size()]);
            t21->post();
        });
    };
    // Beside each post, the same insert in a transaction of its own over
    // plain SQLite with the durability the store asks for: what the disk
    // alone costs. Taken in turn, so a stall of the disk falls on both.
    RawDb w(b.yearFile, true);
    w.exec("PRAGMA journal_mode=DELETE");
    w.exec("PRAGMA synchronous=FULL");
    sqlite3_stmt* ins = w.prepare("INSERT INTO t2_1 (FaceBill, LawRef, Amount, FiDate, CBC) VALUES (?, ?, ?, ?, ?)");
    const QByteArray acct = account.toUtf8(), date = day.toString(Qt::ISODate).toLatin1();
    auto insert = [&](int i) {
        const QByteArray law = b.laws[i % b.laws.size()].toUtf8(), cbc = b.cbcs[i % b.cbcs.size()].toUtf8();
        return timed([&] {
            w.exec("BEGIN IMMEDIATE");
            sqlite3_bind_text(ins, 1, acct.constData(), -1, SQLITE_STATIC);
            sqlite3_bind_text(ins, 2, law.constData(), -1, SQLITE_STATIC);
            sqlite3_bind_double(ins, 3, 8000000.0 + i * 0.01);
            sqlite3_bind_text(ins, 4, date.constData(), -1, SQLITE_STATIC);
            sqlite3_bind_text(ins, 5, cbc.constData(), -1, SQLITE_STATIC);
            const int rc = sqlite3_step(ins);
            sqlite3_reset(ins);
            if (rc != SQLITE_DONE)
                throw store::StoreError(QString::fromUtf8(sqlite3_errmsg(w.db())));
            w.exec("COMMIT");
        });
    };

    post(0);
    insert(0);
    std::vector<double> times, sqlTimes;
    const int n = std::max(b.repeats * 3, 11);
    for (int i = 1; i <= n; ++i) {
        times.push_back(post(i));
        sqlTimes.push_back(insert(i));
    }
    sqlite3_stmt* mine = raw.prepare("SELECT COUNT(*) FROM t2_1 WHERE FaceBill = ? AND Amount >= 9000000");
    const double posted = RawDb::ask(mine, acct);
    if (raw.number("SELECT COUNT(*) FROM t2_1") != before + 2 * (n + 1) || posted != n + 1)
        fault(QStringLiteral("t2_1: %1 receipts posted, %2 found on account %3").arg(n + 1).arg(posted).arg(account));

    const double ms = median(times) * 1e3, sqlMs = median(sqlTimes) * 1e3;
    line("append_post_t2_1", ms, "ms",
         QStringLiteral("%1 of target 5 ms; %2x sql insert and commit %3 ms")
             .arg(QString::number(ms / 5.0, 'f', 2), QString::number(ms / sqlMs, 'f', 1), num(sqlMs)));
    if (ms > 5.0)
        missed << QStringLiteral("append_post_t2_1");
}

// What the rows of the big tables take when held as the store holds rows.
double allRowsMb(const QString& file)
{
    RawDb raw(file, false);
    const double start = statusMb("VmRSS");
    std::vector<QHash<qint64, store::Record>> held;
    for (const char* sql : {"SELECT rowid, FaceBill, LawRef, Amount, FiDate, CBC FROM t2_1",
                            "SELECT rowid, Facebill, LawRef, Amount, FiDate, CBC, Org FROM t2_2"}) {
        QHash<qint64, store::Record> rows;
        sqlite3_stmt* st = raw.prepare(sql);
        const int cols = sqlite3_column_count(st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            store::Record r(size_t(cols + 1));   // one calculated field as well
            for (int c = 1; c < cols; ++c) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
                if (c == 3)
                    r[size_t(c - 1)] = sqlite3_column_double(st, c);
                else if (c == 4)
                    r[size_t(c - 1)] = QDate::fromString(QString::fromLatin1(p), Qt::ISODate);
                else
                    r[size_t(c - 1)] = QString::fromUtf8(p);
            }
            rows.insert(sqlite3_column_int64(st, 0), std::move(r));
        }
        sqlite3_reset(st);
        held.push_back(std::move(rows));
    }
    return statusMb("VmRSS") - start;
}

int run(int argc, char** argv)
{
    const auto args = parseArgs(argc, argv, "bench_store", QString::fromUtf8(SALDINA_BENCH_DATA), 7);
    if (!args)
        return 2;
    QString dataDir = args->dataDir;
    const double scale = args->scale;
    const int repeats = args->repeats;
    const benchgen::YearParams params = benchgen::YearParams().scaled(scale);

    Bench b;
    b.repeats = repeats;
    dataDir = store::Session::normalizeDir(dataDir);
    const QString runDir = dataDir + QStringLiteral("/run");
    b.root = runDir + QStringLiteral("/DataBase");
    b.yearDir = b.root + QLatin1Char('/') + QString::number(params.year);
    b.yearFile = store::Session::databasePath(b.yearDir, schema::Location::Year);
    QDir(runDir).removeRecursively();
    QDir().mkpath(b.root);

    const QString cached = benchgen::cachedYearPath(dataDir, params);
    if (QFileInfo::exists(cached)) {
        progress(QStringLiteral("year from %1").arg(cached));
        benchgen::generateYear(b.yearDir, params, dataDir);
    } else {
        // Generated in a child process, so its memory does not count in
        // the peak measured here.
        progress(QStringLiteral("generating %1 (%2)").arg(cached, params.key()));
        const auto t0 = Clock::now();
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            int rc = 0;
            try {
                benchgen::generateYear(b.yearDir, params, dataDir);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "bench_store: %s\n", e.what());
                rc = 1;
            }
            std::fflush(nullptr);
            ::_exit(rc);
        }
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return 1;
        progress(QStringLiteral("generated in %1 s").arg(num(seconds(t0, Clock::now()))));
    }
    {
        RawDb raw(b.yearFile, false);
        checkYear(b, raw);
    }

    const double rssStart = statusMb("VmRSS");
    double hwm = 0, rss = 0;
    {
        std::vector<double> times;
        for (int i = 0; i < b.repeats; ++i) {
            std::unique_ptr<OpenYear> y;
            times.push_back(timed([&] { y = openYear(b); }));
            if (i == b.repeats - 1) {
                hwm = statusMb("VmHWM");
                rss = statusMb("VmRSS");
            }
        }
        figure("open_year_tables", median(times), "s", 0.3);
    }
    benchReread(b);
    benchWalks(b);
    benchNearest(b);
    benchAppend(b);

    const double rows = allRowsMb(b.yearFile);
    const double grown = hwm - rssStart;
    line("peak_memory_after_open", grown, "MB",
         QStringLiteral("%1 of %2 MB that all rows of t2_1 and t2_2 take; VmHWM %3 MB, VmRSS %4 MB, %5 MB at start")
             .arg(QString::number(grown / rows, 'f', 2), num(rows), num(hwm), num(rss), num(rssStart)));
    if (grown > 0.25 * rows)
        missed << QStringLiteral("peak_memory_after_open");

    if (!missed.isEmpty())
        progress(QStringLiteral("missed: %1").arg(missed.join(QStringLiteral(", "))));
    return faults == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_store: %s\n", e.what());
        return 1;
    }
}
