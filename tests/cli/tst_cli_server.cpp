// saldina-cli with the years on the tests' PostgreSQL server: init --server,
// copy-year both ways, and the other commands on a server year. Each test
// has server databases of its own.
#include "tests/pgtest.h"
#include "tests/cli/clirun.h"
#include "tests/testroot.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sqlite3.h>
#include <sys/resource.h>

using clitest::cli;
using clitest::Run;

class CliServerTest : public QObject {
    Q_OBJECT

    // The year's schemas (and the store's control schema) of a server database.
    static QStringList schemas(const QString& conninfo)
    {
        PGconn* c = PQconnectdb(conninfo.toUtf8().constData());
        QStringList out;
        PGresult* r = PQexec(c, "SELECT nspname FROM pg_namespace WHERE nspname IN ('orig', 'control') "
                                "OR nspname LIKE 'y%' ORDER BY 1");
        for (int i = 0; i < PQntuples(r); ++i)
            out << QString::fromUtf8(PQgetvalue(r, i, 0));
        PQclear(r);
        PQfinish(c);
        return out;
    }

    static QString sql(const QString& conninfo, const QString& statement)
    {
        PGconn* c = PQconnectdb(conninfo.toUtf8().constData());
        PGresult* r = PQexec(c, statement.toUtf8().constData());
        QString out = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0
                          ? QString::fromUtf8(PQgetvalue(r, 0, 0))
                          : QString::fromUtf8(PQresultErrorMessage(r));
        PQclear(r);
        PQfinish(c);
        return out;
    }

    // A report's text without the time of day it was made.
    static QString reportText(const QString& ini, const QStringList& report)
    {
        const Run r = cli(QStringList{"--ini", ini, "report"} + report + QStringList{"--text"});
        if (r.code != 0)
            return QStringLiteral("failed: ") + r.err;
        static const QRegularExpression time(QStringLiteral("\\b[0-9]{2}:[0-9]{2}:[0-9]{2}\\b"));
        return QString(r.out).replace(time, QStringLiteral("hh:mm:ss"));
    }

    const QStringList tables = {"org_spr", "cbc_spr", "law_spr", "SumTypeSpr", "t1",  "t2_1",
                                "t2_2",    "planTbl", "corPln",  "DOrg",       "DIn", "DOut"};

    // Every table of the year of `ini` as CSV.
    QMap<QString, QString> exports(const QString& ini)
    {
        QMap<QString, QString> out;
        for (const QString& t : tables) {
            const Run r = cli({"--ini", ini, "export", t});
            out[t] = r.code == 0 ? r.out : QStringLiteral("failed: ") + r.err;
        }
        return out;
    }

    static QString serverOf(const QString& ini)
    {
        QFile f(ini);
        f.open(QIODevice::ReadOnly);
        for (const QByteArray& l : f.readAll().split('\n'))
            if (l.startsWith("Server="))
                return QString::fromLocal8Bit(l.mid(7)).trimmed();
        return {};
    }

    static void setServer(const QString& ini, const QString& conninfo)
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        const qsizetype at = text.indexOf("Server=");
        QVERIFY(at >= 0);
        const qsizetype end = text.indexOf('\n', at);
        text.replace(at, end - at, "Server=" + conninfo.toLatin1() + "\r");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

private slots:
    void initTestCase()
    {
        // The server databases of tests/testroot.h are made on the tests' server.
        qputenv("SALDINA_TEST_SERVER", pgConnInfo());
    }

    // The demo year made on the server gives the same reports, to the
    // last character, as the demo year made in files; every other command
    // works on the server year.
    void demoYearOnServer()
    {
        ServerDatabase db;
        QTemporaryDir tmp;
        const QString s = tmp.filePath("s"), f = tmp.filePath("f");
        Run r = cli({"init", s, "--year", "2004", "--demo", "--server", db.conninfo});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(serverOf(s + "/prog.ini"), db.conninfo);
        QCOMPARE(schemas(db.conninfo), (QStringList{"control", "orig", "y2004"}));
        QVERIFY(!QFileInfo::exists(s + "/DataBase/2004/year.db"));
        QVERIFY(!QFileInfo::exists(s + "/DataBase/Orig/year.db"));
        QVERIFY(QFileInfo::exists(s + "/Local/work.dbp"));
        QCOMPARE(sql(db.conninfo, "SELECT count(*) FROM orig.\"SumTypeSpr\" WHERE \"SumType\" = '000'"), QStringLiteral("1"));
        QVERIFY(sql(db.conninfo, "SELECT count(*) FROM y2004.t2_2").toInt() > 100);
        r = cli({"init", f, "--year", "2004", "--demo"});
        QVERIFY2(r.code == 0, qPrintable(r.err));

        for (const QStringList& report : {QStringList{"accounts"}, {"accounts-short"}, {"schedule"},
                                          {"execution", "--quarter", "4"}, {"purposes"}, {"income"},
                                          {"accounts", "--from", "01.02.2004", "--to", "30.04.2004", "--org", "1****"}}) {
            const QString onServer = reportText(s + "/prog.ini", report);
            QVERIFY2(!onServer.startsWith("failed"), qPrintable(onServer));
            QVERIFY2(onServer == reportText(f + "/prog.ini", report), qPrintable(report.join(' ')));
        }
        // Every row the same, the accounts' totals to the last bit: both
        // stores add an account's postings in the order of entry.
        QMap<QString, QString> onServer = exports(s + "/prog.ini"), inFiles = exports(f + "/prog.ini");
        QCOMPARE(onServer, inFiles);

        // check gives the server's own check, not a failure of the file check.
        r = cli({"--ini", s + "/prog.ini", "check"});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY(r.out.contains("ошибок нет"));
        QCOMPARE(cli({"--ini", s + "/prog.ini", "check", "--plan"}).code, cli({"--ini", f + "/prog.ini", "check", "--plan"}).code);
        // A table of the server made otherwise is named.
        QCOMPARE(sql(db.conninfo, "ALTER TABLE y2004.\"DOut\" ADD COLUMN \"Extra\" text; SELECT 1"), QStringLiteral("1"));
        r = cli({"--ini", s + "/prog.ini", "check"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains("DOut: лишнее поле Extra"), qPrintable(r.out + r.err));
        QCOMPARE(sql(db.conninfo, "ALTER TABLE y2004.\"DOut\" DROP COLUMN \"Extra\"; SELECT 1"), QStringLiteral("1"));

        // import (which checks the database before it writes), pack, print.
        QFile csv(tmp.filePath("org.csv"));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("Org,Name\r\n99999,Новая организация\r\n");
        csv.close();
        r = cli({"--ini", s + "/prog.ini", "import", "org_spr", csv.fileName()});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(sql(db.conninfo, "SELECT \"Name\" FROM y2004.org_spr WHERE \"Org\" = '99999'"), QStringLiteral("Новая организация"));
        r = cli({"--ini", s + "/prog.ini", "pack"});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        r = cli({"--ini", s + "/prog.ini", "print", "organizations", "--text"});
        QVERIFY2(r.code == 0 && r.out.contains("Новая организация"), qPrintable(r.err));
    }

    // init --server is refused when the server has the template or the
    // year; a failure half way leaves neither the root nor the server changed.
    void initRefusals()
    {
        ServerDatabase db;
        QTemporaryDir tmp;
        QVERIFY(cli({"init", tmp.filePath("a"), "--year", "2004", "--server", db.conninfo}).code == 0);
        const QStringList made = schemas(db.conninfo);
        for (const QString& year : {QStringLiteral("2004"), QStringLiteral("2005")}) {
            const Run r = cli({"init", tmp.filePath("b"), "--year", year, "--server", db.conninfo});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("на сервере уже есть база данных orig; ничего не изменено"), qPrintable(r.err));
            QVERIFY(!QFileInfo::exists(tmp.filePath("b")));
        }
        QCOMPARE(schemas(db.conninfo), made);

        // A year there without a template is refused too.
        ServerDatabase other;
        store::Session::createServerDatabase(other.conninfo, "y2004", schema::Location::Year);
        Run r = cli({"init", tmp.filePath("c"), "--year", "2004", "--server", other.conninfo});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("y2004"), qPrintable(r.err));
        QCOMPARE(schemas(other.conninfo), (QStringList{"control", "y2004"}));

        // A server that cannot be reached: a clear message, nothing made.
        r = cli({"init", tmp.filePath("d"), "--server", "host=/nonexistent port=1"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Не удается подключиться к серверу"), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(tmp.filePath("d")));

        // A full disk while the root's files are written, after the template
        // was made on the server: the server's schemas are dropped again.
        ServerDatabase full;
        r = cli({"init", tmp.filePath("e"), "--year", "2004", "--demo", "--server", full.conninfo}, 40 * 1024);
        QCOMPARE(r.code, 1);
        QVERIFY(!QFileInfo::exists(tmp.filePath("e")));
        QCOMPARE(schemas(full.conninfo), QStringList());
        r = cli({"init", tmp.filePath("e"), "--year", "2004", "--demo", "--server", full.conninfo});
        QVERIFY2(r.code == 0, qPrintable(r.err));
    }

    // A year from the server to files and from files to another server:
    // every table as it was, the counts and sums printed.
    void copyYearRoundTrip()
    {
        ServerDatabase a, b;
        QTemporaryDir tmp;
        const QString ini = tmp.filePath("r/prog.ini");
        QVERIFY(cli({"init", tmp.filePath("r"), "--year", "2004", "--demo", "--server", a.conninfo}).code == 0);
        const QMap<QString, QString> original = exports(ini);

        Run r = cli({"--ini", ini, "copy-year", "--from-server", a.conninfo});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QRegularExpression("\nt2_2: записей [1-9][0-9]*, Amount [0-9.]+\n")), qPrintable(r.out));
        QVERIFY(r.out.contains("уберите Server из prog.ini"));
        QVERIFY(QFileInfo::exists(tmp.filePath("r/DataBase/2004/year.db")));
        QVERIFY(QFileInfo::exists(tmp.filePath("r/DataBase/Orig/year.db")));   // the template along with it
        QCOMPARE(serverOf(ini), a.conninfo);                                    // without --switch
        setServer(ini, QString());
        QCOMPARE(exports(ini), original);
        r = cli({"--ini", ini, "check"});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));

        r = cli({"--ini", ini, "copy-year", "--to-server", b.conninfo, "--switch"});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(serverOf(ini), b.conninfo);
        QCOMPARE(schemas(b.conninfo), (QStringList{"control", "orig", "y2004"}));
        QCOMPARE(exports(ini), original);
        QCOMPARE(sql(b.conninfo, "SELECT count(*) FROM orig.\"SumTypeSpr\""), QStringLiteral("1"));
        // The serial numbers go on where they were.
        QCOMPARE(sql(b.conninfo, "SELECT max(\"AbsNum\") FROM y2004.\"corPln\""),
                 sql(a.conninfo, "SELECT max(\"AbsNum\") FROM y2004.\"corPln\""));
    }

    // copy-year refuses an existing target and a missing source, changing
    // nothing; a row the target's rules refuse leaves the target as it was.
    void copyYearRefusals()
    {
        ServerDatabase a, b;
        QTemporaryDir tmp;
        const QString ini = tmp.filePath("r/prog.ini");
        QVERIFY(cli({"init", tmp.filePath("r"), "--year", "2004", "--demo"}).code == 0);
        QVERIFY(cli({"init", tmp.filePath("s"), "--year", "2004", "--server", a.conninfo}).code == 0);
        const QMap<QString, QString> original = exports(ini);

        Run r = cli({"--ini", ini, "copy-year", "--to-server", a.conninfo});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("база данных года 2004 уже есть на сервере; ничего не изменено"), qPrintable(r.err));
        QVERIFY(sql(a.conninfo, "SELECT count(*) FROM y2004.t2_2") == "0");
        r = cli({"--ini", ini, "copy-year", "--from-server", a.conninfo});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("уже есть в каталоге"), qPrintable(r.err));
        QCOMPARE(exports(ini), original);
        r = cli({"--ini", ini, "copy-year", "--from-server", b.conninfo});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("базы данных года 2004 нет на сервере"), qPrintable(r.err));
        QCOMPARE(cli({"--ini", ini, "copy-year"}).code, 2);
        QCOMPARE(cli({"--ini", ini, "copy-year", "--to-server", b.conninfo, "--from-server", a.conninfo}).code, 2);

        // A posting whose organization is not in the book, written past the
        // rules of the file: the server refuses it and the copy is undone.
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(tmp.filePath("r/DataBase/2004/year.db")).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "PRAGMA writable_schema = 0; "
                                  "CREATE TEMP TABLE gone AS SELECT name FROM sqlite_master WHERE type = 'trigger' "
                                  "AND tbl_name = 't2_2';",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        QStringList triggers;
        sqlite3_prepare_v2(db, "SELECT name FROM gone", -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            triggers << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        for (const QString& t : triggers)
            QCOMPARE(sqlite3_exec(db, QStringLiteral("DROP TRIGGER \"%1\"").arg(t).toUtf8().constData(), nullptr, nullptr, nullptr),
                     SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "UPDATE t2_2 SET Org = '88888' WHERE rowid = (SELECT max(rowid) FROM t2_2)", nullptr,
                              nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        r = cli({"--ini", ini, "copy-year", "--to-server", b.conninfo, "--switch"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("t2_2: запись") && r.err.contains("Field value out of lookup table range."), qPrintable(r.err));
        QCOMPARE(schemas(b.conninfo), QStringList{"control"});
        QVERIFY(!serverOf(ini).startsWith("host"));
    }
};

QTEST_GUILESS_MAIN(CliServerTest)
#include "tst_cli_server.moc"
