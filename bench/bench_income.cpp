// Timings of the income accounting on the synthetic year (300 organizations,
// 30,000 receipts and expenses): the report's fill beside one SQL aggregate
// of the same opening and period totals, and the entry window's recount
// after a posting. One line per figure on standard output; progress and
// faults on standard error.
//
//   bench_income [DATA_DIR] [--scale F] [--repeats N]
#include "bench/benchutil.h"
#include "bench/generator.h"

#include "core/datamodule/datamodule.h"
#include "core/datamodule/profile.h"
#include "core/store/format.h"
#include "core/store/session.h"
#include "core/store/storeerror.h"
#include "core/store/table.h"
#include "income/orgtotals.h"
#include "reports/income/income_report.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>

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

void progress(const QString& text) { std::fprintf(stderr, "bench_income: %s\n", text.toUtf8().constData()); }

dm::MsgResult answer(const QString&, const QString& text, dm::MsgButtons, dm::MsgIcon)
{
    progress(QStringLiteral("message: %1").arg(text));
    return dm::MsgResult::Ok;
}

// The time from the start of a run to the end of its fill.
class FillClock : public reports::RunProgress {
public:
    void started() override { start_ = Clock::now(); }
    bool progress(int) override { return true; }
    void finished() override { seconds_ = benchutil::seconds(start_, Clock::now()); }
    double seconds() const { return seconds_; }

private:
    Clock::time_point start_;
    double seconds_ = 0;
};

// The opening and period totals of every organization in one statement.
struct SqlTotals {
    double startIn = 0, startOut = 0, endIn = 0, endOut = 0;
};

SqlTotals sqlTotals(const QString& file, const QString& start, const QString& end)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const char* sql =
        "SELECT side, Org, SUM(CASE WHEN Date < ?1 THEN Sum END), SUM(CASE WHEN Date >= ?1 AND Date <= ?2 THEN Sum END) "
        "FROM (SELECT 0 AS side, Org, Date, Sum FROM DIn UNION ALL SELECT 1, Org, Date, Sum FROM DOut) "
        "WHERE Org IN (SELECT Org FROM DOrg) GROUP BY side, Org";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        throw store::StoreError(QString::fromUtf8(sqlite3_errmsg(db)));
    const QByteArray s = start.toUtf8(), e = end.toUtf8();
    sqlite3_bind_text(st, 1, s.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, e.constData(), -1, SQLITE_TRANSIENT);
    SqlTotals t;
    while (sqlite3_step(st) == SQLITE_ROW) {
        const bool out = sqlite3_column_int(st, 0) == 1;
        (out ? t.startOut : t.startIn) += sqlite3_column_double(st, 2);
        (out ? t.endOut : t.endIn) += sqlite3_column_double(st, 3);
    }
    sqlite3_finalize(st);
    sqlite3_close_v2(db);
    return t;
}

bool near(double a, double b) { return std::fabs(a - b) <= 0.005 + 1e-9 * std::fabs(b); }

int run(int argc, char** argv)
{
    const auto args = parseArgs(argc, argv, "bench_income", QString::fromUtf8(SALDINA_BENCH_DATA), 5);
    if (!args)
        return 2;
    const QString dataDir = store::Session::normalizeDir(args->dataDir);
    const benchgen::YearParams params = benchgen::YearParams().scaled(args->scale);
    const QString root = dataDir + QStringLiteral("/run-income");
    const QString dataBase = root + QStringLiteral("/DataBase");
    const QString ini = root + QStringLiteral("/prog.ini");
    QDir(root).removeRecursively();
    QDir().mkpath(dataBase);
    progress(QStringLiteral("year %1").arg(benchgen::cachedYearPath(dataDir, params)));
    const QString yearFile =
        benchgen::generateYear(dataBase + QLatin1Char('/') + QString::number(params.year), params, dataDir);
    store::Session::createDatabase(root + QStringLiteral("/Local"), schema::Location::Work);
    {
        const config::Profile p(ini);
        const QString main = QString::fromLatin1(config::keys::Main);
        p.writeString(main, QString::fromLatin1(config::keys::DataBaseDir), dataBase + QLatin1Char('/'));
        p.writeInt(main, QString::fromLatin1(config::keys::Year), params.year);
        p.writeString(main, QString::fromLatin1(config::keys::UserName), QStringLiteral("Bench"));
        p.writeString(main, QString::fromLatin1(config::keys::LocalBaseDir), root + QStringLiteral("/Local/"));
    }
    dm::TDataBase1 db(ini, &answer);
    if (!db.isOpen())
        throw store::StoreError(QStringLiteral("the module did not open %1").arg(yearFile));

    // --- the report's fill: April to September
    reports::IncomeSelection sel;
    sel.period = true;
    sel.startText = QStringLiteral("01.04.%1").arg(params.year);
    sel.endText = QStringLiteral("30.09.%1").arg(params.year);
    const QString startIso = QDate(params.year, 4, 1).toString(Qt::ISODate);
    const QString endIso = QDate(params.year, 9, 30).toString(Qt::ISODate);
    std::vector<double> fills, sqls;
    reports::IncomeReport report(db);
    // The fill alone is timed, not the pages that follow it.
    SqlTotals sql;
    for (int i = 0; i < args->repeats; ++i) {
        FillClock clock;
        report.run(sel, &clock);
        fills.push_back(clock.seconds());
        sqls.push_back(timed([&] { sql = sqlTotals(yearFile, startIso, endIso); }));
    }
    if (!near(report.totalStartIn, sql.startIn) || !near(report.totalStartOut, sql.startOut) ||
        !near(report.totalEndIn, sql.endIn) || !near(report.totalEndOut, sql.endOut))
        fault(QStringLiteral("report totals %1 %2 %3 %4, SQL %5 %6 %7 %8")
                  .arg(report.totalStartIn, 0, 'f', 2)
                  .arg(report.totalStartOut, 0, 'f', 2)
                  .arg(report.totalEndIn, 0, 'f', 2)
                  .arg(report.totalEndOut, 0, 'f', 2)
                  .arg(sql.startIn, 0, 'f', 2)
                  .arg(sql.startOut, 0, 'f', 2)
                  .arg(sql.endIn, 0, 'f', 2)
                  .arg(sql.endOut, 0, 'f', 2));
    const double fillMs = median(fills) * 1e3, sqlMs = median(sqls) * 1e3;
    std::printf("income_report_fill: %s ms (%sx SQL aggregate %s ms; target 1000 ms and 2x)\n",
                num(fillMs).toUtf8().constData(), QString::number(fillMs / sqlMs, 'f', 1).toUtf8().constData(),
                num(sqlMs).toUtf8().constData());

    // --- the recount after a posting, as the entry window makes it
    store::Table& dorg = db.DOrgTable;
    store::Table& din = db.DInTable;
    din.setOrder(QStringLiteral("Org"));
    din.setMaster(&dorg, QStringLiteral("Org"), QStringLiteral("Org"));
    std::vector<double> recounts, reads;
    dorg.first();
    for (int i = 0; i < args->repeats * 4; ++i) {
        dorg.setRecNo(1 + (i * 37) % dorg.recordCount());
        din.append();
        din.fieldByName(QStringLiteral("Date")).setAsDate(QDate(params.year, 5, 5));
        din.fieldByName(QStringLiteral("Sum")).setAsFloat(1.0);
        din.fieldByName(QStringLiteral("Note")).setAsString(QStringLiteral("bench %1").arg(i));
        din.fieldByName(QStringLiteral("SumType")).setAsString(QStringLiteral("000"));
        din.post();
        recounts.push_back(timed([&] {
            income::recountOrganization(dorg, din, income::EntrySide::Receipts);
            din.refresh();
            din.last();
        }));
        // The same reads again without the write: what the recount costs
        // besides the commit of the organization's row (which waits for the disk).
        const QVariant o = dorg.value(QStringLiteral("Org"));
        reads.push_back(timed([&] {
            din.storedTotal(QStringLiteral("Sum"), QStringLiteral("Org"), o);
            dorg.refresh();
            din.refresh();
            din.last();
        }));
        const QString org = dorg.fieldByName(QStringLiteral("Org")).asString();
        double stored = 0;
        for (din.first(); !din.eof(); din.next())
            stored += din.fieldByName(QStringLiteral("Sum")).asFloat();
        if (!near(dorg.fieldByName(QStringLiteral("InSum")).asFloat(), stored))
            fault(QStringLiteral("recount of %1: %2, the rows %3").arg(org).arg(dorg.fieldByName(QStringLiteral("InSum")).asFloat()).arg(stored));
    }
    din.clearMaster();
    std::printf("income_recount_after_post: %s ms (target 5 ms; %d postings; the reads %s ms, the rest the commit)\n",
                num(median(recounts) * 1e3).toUtf8().constData(), int(recounts.size()),
                num(median(reads) * 1e3).toUtf8().constData());
    return faults == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_income: %s\n", e.what());
        return 1;
    }
}
