// The fills of the reports by purposes (md3) and of the financing of
// organizations (md1) on the synthetic year, each beside one SQL statement
// of the same totals on the same file, alternately. A fill is timed from the
// start of the run to the report's own BeforePrint; the pages are not made.
// Standard output: "NAME: value ms (Rx baseline value ms; notes)"; progress
// and faults on standard error (a fault makes the exit status 1).
#include "bench/benchutil.h"
#include "bench/generator.h"
#include "core/datamodule/datamodule.h"
#include "core/datamodule/profile.h"
#include "core/store/format.h"
#include "core/store/session.h"
#include "core/store/storeerror.h"
#include "core/store/table.h"
#include "reports/purposes/purposes_reports.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <sqlite3.h>

using namespace benchutil;

namespace {

int faults = 0;
void fault(const QString& what)
{
    ++faults;
    std::fprintf(stderr, "bench_purposes: FAULT: %s\n", what.toUtf8().constData());
}
void progress(const QString& text) { std::fprintf(stderr, "bench_purposes: %s\n", text.toUtf8().constData()); }

// The end of a fill: the report's BeforePrint throws it, so that the run
// takes its tables down and makes no pages.
struct FillOver {};

struct Totals {
    double in = 0, out = 0;
};

Totals sqlTotals(sqlite3* db, const char* sql)
{
    Totals t;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        throw store::StoreError(QString::fromUtf8(sqlite3_errmsg(db)));
    while (sqlite3_step(st) == SQLITE_ROW) {
        t.in += sqlite3_column_double(st, 1);
        t.out += sqlite3_column_double(st, 2);
    }
    sqlite3_finalize(st);
    return t;
}

bool near(double a, double b) { return std::fabs(a - b) <= 0.01 + 1e-9 * std::fabs(b); }

int run(int argc, char** argv)
{
    const auto args = parseArgs(argc, argv, "bench_purposes", QString::fromUtf8(SALDINA_BENCH_DATA), 5);
    if (!args)
        return 2;
    const benchgen::YearParams params = benchgen::YearParams().scaled(args->scale);
    const QString dataDir = store::Session::normalizeDir(args->dataDir);
    const QString root = dataDir + QStringLiteral("/run-purposes"), dataBase = root + QStringLiteral("/DataBase");
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
        QString err;
        if (!p.writeString(main, QString::fromLatin1(config::keys::DataBaseDir), dataBase + QLatin1Char('/'), &err) ||
            !p.writeInt(main, QString::fromLatin1(config::keys::Year), params.year, &err) ||
            !p.writeString(main, QString::fromLatin1(config::keys::UserName), QStringLiteral("Bench"), &err) ||
            !p.writeString(main, QString::fromLatin1(config::keys::LocalBaseDir), root + QStringLiteral("/Local/"), &err))
            throw store::StoreError(QStringLiteral("prog.ini: %1").arg(err));
    }
    dm::TDataBase1 db(ini, [](const QString& c, const QString& t, dm::MsgButtons, dm::MsgIcon icon) {
        if (icon == dm::MsgIcon::Error)
            fault(QStringLiteral("the module says \"%1: %2\"").arg(c, t));
        return dm::MsgResult::Ok;
    });
    if (!db.isOpen())
        throw store::StoreError(QStringLiteral("the module did not open %1").arg(yearFile));
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(yearFile).constData(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        throw store::StoreError(QStringLiteral("cannot open %1").arg(yearFile));

    reports::PurposesReport purposes(db);
    reports::MovementReport movement(db);
    reports::FinancingReport financing(db);
    const QString from = QStringLiteral("%1-04-01").arg(params.year), to = QStringLiteral("%1-06-30").arg(params.year);
    struct Figure {
        const char* name;
        reports::ReportRun* run;
        bool md1;
    } figures[] = {{"fill_purposes", &purposes, false}, {"fill_movement", &movement, false}, {"fill_financing", &financing, true}};
    for (const Figure& f : figures) {
        auto own = f.run->layout().beforePrint;
        Clock::time_point end;
        f.run->layout().beforePrint = [&](reports::Report&) {
            end = Clock::now();
            throw FillOver{};
        };
        for (bool period : {false, true}) {
            reports::Selection sel;
            sel.period = period;
            sel.startText = store::formatDate(QDate::fromString(from, Qt::ISODate));
            sel.endText = store::formatDate(QDate::fromString(to, Qt::ISODate));
            const QByteArray where =
                period ? QStringLiteral(" AND FiDate >= '%1' AND FiDate <= '%2'").arg(from, to).toUtf8() : QByteArray();
            const QByteArray sql =
                f.md1 ? "SELECT o.Org, 0, (SELECT TOTAL(Amount) FROM t2_2 WHERE t2_2.Org = o.Org" + where +
                            ") FROM org_spr o ORDER BY o.Org"
                      : "SELECT l.LawRef, (SELECT TOTAL(Amount) FROM t2_1 WHERE t2_1.LawRef = l.LawRef" + where +
                            "), (SELECT TOTAL(Amount) FROM t2_2 WHERE t2_2.LawRef = l.LawRef" + where +
                            ") FROM law_spr l ORDER BY l.LawRef";
            std::vector<double> fills, sqls;
            Totals want;
            for (int k = 0; k < args->repeats; ++k) {
                sqls.push_back(timed([&] { want = sqlTotals(raw, sql.constData()); }) * 1e3);
                const auto t0 = Clock::now();
                try {
                    f.run->run(sel);
                    fault(QStringLiteral("%1: the run made its pages").arg(QLatin1String(f.name)));
                } catch (const FillOver&) {
                }
                fills.push_back(seconds(t0, end) * 1e3);
                // The fill must give what SQL gives.
                Totals got;
                store::Table& work = f.md1 ? db.MD1Table : db.MD3Table;
                if (!work.isOpen())
                    work.open();
                for (work.first(); !work.eof(); work.next()) {
                    if (f.md1) {
                        got.out += work.fieldByName(QStringLiteral("Sum")).asFloat();
                    } else {
                        got.in += work.fieldByName(QStringLiteral("InSum")).asFloat();
                        got.out += work.fieldByName(QStringLiteral("OutSum")).asFloat();
                    }
                }
                if (f.md1)
                    work.close();
                if (!near(got.in, want.in) || !near(got.out, want.out))
                    fault(QStringLiteral("%1: work table %2 / %3, SQL %4 / %5")
                              .arg(QLatin1String(f.name))
                              .arg(got.in, 0, 'f', 2)
                              .arg(got.out, 0, 'f', 2)
                              .arg(want.in, 0, 'f', 2)
                              .arg(want.out, 0, 'f', 2));
                for (store::Table* t : {&db.T2_1, &db.T2_2, &db.LawSprTable, &db.Org_Table, &db.MD3Table, &db.MD1Table})
                    if (t->master())
                        fault(QStringLiteral("%1: %2 still linked").arg(QLatin1String(f.name), t->objectName()));
            }
            const double fill = median(fills), base = median(sqls);
            std::printf("%s%s: %s ms (%sx baseline %s ms; one SQL statement of the same totals; %s of target 1000 ms)\n",
                        f.name, period ? "_period" : "", qPrintable(num(fill)), qPrintable(num(fill / base)),
                        qPrintable(num(base)), qPrintable(num(fill / 1000)));
        }
        f.run->layout().beforePrint = own;
    }
    sqlite3_close_v2(raw);
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
        std::fprintf(stderr, "bench_purposes: %s\n", e.what());
        return 1;
    }
}
