// The same work on the two stores: the synthetic year as files and as a
// schema of a PostgreSQL server. Opening the year, SyncTable(t2_2), a
// posting with its recount, and a whole run (fill and pages) of every report,
// each figure the median of the repeats, taken on the files and on the
// server alternately so that a busy machine slows both.
//
//   SALDINA_BENCH_SERVER="host=/tmp/pg port=54329 user=postgres" build/bench/bench_server [DATA_DIR]
//
// The server is one of your own (tests/pg/pgserver.sh starts one); the run
// makes a database of its own on it and drops it at the end.
#include "accounts/recount.h"
#include "bench/benchutil.h"
#include "bench/generator.h"
#include "core/datamodule/datamodule.h"
#include "core/datamodule/profile.h"
#include "core/store/pg_connection.h"
#include "reports/accounts/accounts_reports.h"
#include "reports/codes/codes_reports.h"
#include "reports/income/income_report.h"
#include "reports/purposes/purposes_reports.h"
#include "reports/schedule/schedule_reports.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>
#include <functional>
#include <libpq-fe.h>
#include <sqlite3.h>

using namespace benchutil;

namespace {

int faults = 0;
void fault(const QString& what)
{
    ++faults;
    std::fprintf(stderr, "FAULT: %s\n", qPrintable(what));
}

void check(PGconn* pg, PGresult* r, const char* what)
{
    const ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK && s != PGRES_COPY_IN) {
        const QString e = QString::fromUtf8(PQresultErrorMessage(r));
        PQclear(r);
        throw store::StoreError(QStringLiteral("%1: %2").arg(QLatin1String(what), e));
    }
    PQclear(r);
    (void)pg;
}

// A COPY text field.
void copyField(QByteArray& line, sqlite3_stmt* st, int i)
{
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL:
        line += "\\N";
        return;
    case SQLITE_FLOAT:
        line += QByteArray::number(sqlite3_column_double(st, i), 'g', 17);
        return;
    case SQLITE_INTEGER:
        line += QByteArray::number(qint64(sqlite3_column_int64(st, i)));
        return;
    default: {
        const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        for (int k = 0, n = sqlite3_column_bytes(st, i); k < n; ++k) {
            const char c = p[k];
            if (c == '\\' || c == '\t' || c == '\n' || c == '\r')
                line += '\\', line += (c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\');
            else
                line += c;
        }
    }
    }
}

// The year file's rows into schema `schema` of the server, row ids kept,
// with COPY and the rules' triggers off: the rows met the rules in the file.
void loadYear(const QString& conninfo, const QString& schema, const QString& file)
{
    store::Session::createServerDatabase(conninfo, schema, schema::Location::Year);
    PGconn* pg = PQconnectdb(conninfo.toUtf8().constData());
    if (PQstatus(pg) != CONNECTION_OK)
        throw store::StoreError(QString::fromUtf8(PQerrorMessage(pg)));
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    check(pg, PQexec(pg, QStringLiteral("SET search_path = \"%1\", control; SET session_replication_role = replica; BEGIN")
                             .arg(schema).toUtf8().constData()),
          "set-up");
    for (const QString& name : schema::tableNames(schema::Location::Year)) {
        const schema::TableDef* t = schema::table(name);
        QStringList cols{QStringLiteral("rowid")};
        for (const auto& f : t->storedFields())
            cols << QLatin1Char('"') + f.name + QLatin1Char('"');
        const QString list = cols.join(QStringLiteral(", "));
        check(pg, PQexec(pg, QStringLiteral("COPY \"%1\" (%2) FROM STDIN").arg(name, list).toUtf8().constData()), "copy");
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, QStringLiteral("SELECT %1 FROM \"%2\"").arg(list, name).toUtf8().constData(), -1, &st, nullptr);
        QByteArray chunk;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < int(cols.size()); ++i) {
                if (i)
                    chunk += '\t';
                copyField(chunk, st, i);
            }
            chunk += '\n';
            if (chunk.size() > (1 << 20)) {
                PQputCopyData(pg, chunk.constData(), int(chunk.size()));
                chunk.clear();
            }
        }
        sqlite3_finalize(st);
        PQputCopyData(pg, chunk.constData(), int(chunk.size()));
        PQputCopyEnd(pg, nullptr);
        check(pg, PQgetResult(pg), "copy end");
        check(pg, PQexec(pg, QStringLiteral("SELECT setval(pg_get_serial_sequence('\"%1\"', 'rowid'), "
                                            "GREATEST((SELECT max(rowid) FROM \"%1\"), 1))")
                                 .arg(name)
                                 .toUtf8()
                                 .constData()),
              "sequence");
    }
    check(pg, PQexec(pg, "COMMIT"), "commit");
    // As the server's autovacuum leaves a year that has been worked in.
    check(pg, PQexec(pg, "VACUUM ANALYZE"), "vacuum");
    sqlite3_close_v2(db);
    PQfinish(pg);
}

void writeIni(const QString& root, const QString& server)
{
    const config::Profile p(root + QStringLiteral("/prog.ini"));
    const QString m = QString::fromLatin1(config::keys::Main);
    QString e;
    if (!p.writeString(m, config::keys::DataBaseDir, root + QStringLiteral("/DataBase/"), &e) ||
        !p.writeInt(m, config::keys::Year, 2004, &e) || !p.writeString(m, config::keys::UserName, QStringLiteral("bench"), &e) ||
        !p.writeString(m, config::keys::LocalBaseDir, root + QStringLiteral("/Local/"), &e) ||
        (!server.isEmpty() && !p.writeString(m, config::keys::Server, server, &e)))
        throw store::StoreError(QStringLiteral("prog.ini: %1").arg(e));
}

struct Store {
    const char* name;
    QString root;
    std::unique_ptr<dm::TDataBase1> db;
    std::map<std::string, std::vector<double>> ms;   // figure -> samples
};

} // namespace

int run(int argc, char** argv)
{
    const auto args = parseArgs(argc, argv, "bench_server", QString::fromUtf8(SALDINA_BENCH_DATA), 5);
    if (!args)
        return 2;
    const QString server = qEnvironmentVariable("SALDINA_BENCH_SERVER");
    if (server.isEmpty()) {
        std::fprintf(stderr, "bench_server: set SALDINA_BENCH_SERVER to a libpq connection string of your server\n");
        return 2;
    }
    const QString dataDir = args->dataDir;
    QDir().mkpath(dataDir);
    benchgen::YearParams params;
    const QString runDir = dataDir + QStringLiteral("/run-server");
    QDir(runDir).removeRecursively();
    const QString fileRoot = runDir + QStringLiteral("/files"), serverRoot = runDir + QStringLiteral("/server");
    for (const QString& r : {fileRoot, serverRoot}) {
        QDir().mkpath(r + QStringLiteral("/DataBase"));
        store::Session::createDatabase(r + QStringLiteral("/Local"), schema::Location::Work);
    }
    const QString yearFile = benchgen::generateYear(fileRoot + QStringLiteral("/DataBase/2004"), params, dataDir);
    writeIni(fileRoot, {});

    const QString dbName = QStringLiteral("bench_%1").arg(QCoreApplication::applicationPid());
    store::runOnServer(server, {QStringLiteral("CREATE DATABASE %1").arg(dbName)}, false);
    const QString conninfo = server + QStringLiteral(" dbname=") + dbName;
    struct Drop {
        QString server, name;
        ~Drop()
        {
            if (qEnvironmentVariableIsSet("SALDINA_BENCH_KEEP"))
                return;   // left for a look with psql
            try {
                store::runOnServer(server, {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name)}, false);
            } catch (...) {
            }
        }
    } drop{server, dbName};
    const double loadS = timed([&] { loadYear(conninfo, QStringLiteral("y2004"), yearFile); });
    std::fprintf(stderr, "loaded the year onto the server in %.1f s\n", loadS);
    writeIni(serverRoot, conninfo);

    auto message = [](const QString& c, const QString& t, dm::MsgButtons, dm::MsgIcon icon) {
        if (icon == dm::MsgIcon::Error)
            fault(QStringLiteral("the module says \"%1: %2\"").arg(c, t));
        return dm::MsgResult::Ok;
    };
    Store stores[] = {{"files", fileRoot, nullptr, {}}, {"server", serverRoot, nullptr, {}}};
    for (Store& s : stores) {
        s.db = std::make_unique<dm::TDataBase1>(s.root + QStringLiteral("/prog.ini"), message);
        if (!s.db->isOpen())
            throw store::StoreError(QStringLiteral("the module did not open %1").arg(s.root));
    }

    const QString account = [&] {
        store::Table& t1 = stores[0].db->T1;
        t1.first();
        return t1.fieldByName(QStringLiteral("Facebill")).asString();
    }();
    std::map<std::string, QString> results;   // figure -> what the run gave, compared between the stores
    auto figure = [&](Store& s, const char* name, const std::function<QString()>& body) {
        bool wanted = args->only.isEmpty();
        for (const QString& o : args->only)
            wanted = wanted || QLatin1String(name).startsWith(o);
        if (!wanted)
            return;
        QString got;
        s.ms[name].push_back(timed([&] { got = body(); }) * 1e3);
        const std::string key = name;
        if (&s == &stores[0])
            results[key] = got;
        else if (results[key] != got)
            fault(QStringLiteral("%1: files give %2, the server %3").arg(QLatin1String(name), results[key], got));
    };
    auto pages = [](const std::optional<reports::PageSet>& ps) {
        return ps ? QStringLiteral("%1 pages").arg(ps->count()) : QStringLiteral("no pages");
    };
    for (int k = 0; k < args->repeats; ++k) {
        for (Store& s : stores) {
            dm::TDataBase1& db = *s.db;
            figure(s, "open_year", [&] {
                db.DataBaseCreate();
                return QString::number(db.isOpen());
            });
            figure(s, "sync_t2_2", [&] {
                db.SyncTable(db.T2_2);
                db.T2_2.first();
                return db.T2_2.fieldByName(QStringLiteral("Facebill")).asString();
            });
            figure(s, "posting_with_recount", [&] {
                store::Table& t1 = db.T1;
                store::Table& t21 = db.T2_1;
                t1.findKey({account});
                t21.append();
                t21.fieldByName(QStringLiteral("FaceBill")).setValue(account);
                t21.fieldByName(QStringLiteral("Amount")).setValue(1.25 + k);
                t21.fieldByName(QStringLiteral("FiDate")).setValue(QDate(2004, 12, 30));
                t21.post();
                accounts::recountAccount(t1, t21, accounts::PostingSide::Receipts);
                t1.findKey({account});
                return QString::number(t1.fieldByName(QStringLiteral("InAmount")).asFloat(), 'f', 2);
            });
            reports::AccountsShortReport shortReport(db);
            reports::AccountsReport detailed(db);
            reports::ApprovedScheduleReport approved(db);
            reports::ExecutionReport execution(db);
            reports::PurposesReport purposes(db);
            reports::MovementReport movement(db);
            reports::FinancingReport financing(db);
            reports::CreditRemaindersReport credit(db);
            reports::EconomicArticlesReport articles(db);
            reports::IncomeReport income(db);
            reports::Selection all;
            figure(s, "report_accounts_short", [&] { return pages(shortReport.run(all)); });
            figure(s, "report_accounts", [&] { return pages(detailed.run(all)); });
            figure(s, "report_approved", [&] { return pages(approved.run(all)); });
            figure(s, "report_execution", [&] {
                reports::ExecutionSelection sel;
                sel.chooseQuarter(4, 2004);
                return pages(execution.run(sel));
            });
            figure(s, "report_purposes", [&] { return pages(purposes.run(all)); });
            figure(s, "report_movement", [&] { return pages(movement.run(all)); });
            figure(s, "report_financing", [&] { return pages(financing.run(all)); });
            figure(s, "report_credit", [&] { return pages(credit.run(reports::CreditSelection{})); });
            figure(s, "report_articles", [&] { return pages(articles.run(2004)); });
            figure(s, "report_income", [&] { return pages(income.run(reports::IncomeSelection{})); });
        }
    }
    std::printf("| figure | files | server | server / files |\n|---|---|---|---|\n");
    for (const auto& [name, samples] : stores[0].ms) {
        const double f = median(samples), p = median(stores[1].ms[name]);
        std::printf("| `%s` | %s ms | %s ms | %s× |\n", name.c_str(), qPrintable(num(f)), qPrintable(num(p)),
                    qPrintable(num(p / f)));
        std::fflush(stdout);
    }
    return faults == 0 ? 0 : 1;
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_server: %s\n", qPrintable(store::errorText(e)));
        return 1;
    }
}
