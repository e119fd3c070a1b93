// The tables on the PostgreSQL server: the same rules with the same texts as
// the SQLite files (the same statements run on both), the field checks, the
// AutoInc numbers, the change counters and their notification, the mask and
// TOTAL functions against the store's own, and a year copied from the
// template.
#include "core/schema/schema.h"
#include "core/store/format.h"
#include "tests/pgtest.h"

#include <QCryptographicHash>
#include <QtTest>
#include <cmath>
#include <cstring>
#include <random>
#include <sqlite3.h>
#include <sys/select.h>

using schema::Dialect;
using schema::Location;

namespace {

// An in-memory SQLite year database made by the program's own statements.
class Lite {
public:
    Lite()
    {
        sqlite3_open(":memory:", &db_);
        for (const auto& s : schema::createStatements(Location::Year))
            run(s);
    }
    ~Lite() { sqlite3_close(db_); }
    sqlite3* db() { return db_; }

    // The error message, empty when the statement ran.
    QString run(const QString& sql)
    {
        char* err = nullptr;
        sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &err);
        const QString m = err ? QString::fromUtf8(err) : QString();
        sqlite3_free(err);
        return m;
    }

    QList<QStringList> rows(const QString& sql)
    {
        QList<QStringList> out;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db_, sql.toUtf8().constData(), -1, &st, nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                row << (t ? QString::fromUtf8(t) : QStringLiteral("<null>"));
            }
            out << row;
        }
        sqlite3_finalize(st);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

QList<QStringList> texts(const QList<QVariantList>& rows)
{
    QList<QStringList> out;
    for (const auto& r : rows) {
        QStringList row;
        for (const auto& v : r)
            row << (v.isValid() ? v.toString() : QStringLiteral("<null>"));
        out << row;
    }
    return out;
}

// Every row of every year table of the schema in search_path, as text.
QList<QStringList> snapshot(PgConn& pg)
{
    QList<QStringList> out;
    for (const auto& t : schema::tableNames(Location::Year)) {
        out << QStringList{t};
        out << texts(pg.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(t)).rows);
    }
    return out;
}

// A few rows in every table that a rule looks at; statements both stores run.
const QStringList BaseRows = {
    R"(INSERT INTO "cbc_spr" ("CBC", "NAME") VALUES ('111', 'one'), ('222', 'two'))",
    R"(INSERT INTO "law_spr" ("LawRef", "Sname") VALUES ('01', 'law'))",
    R"(INSERT INTO "org_spr" ("Org", "Name", "Cbc") VALUES ('1', 'org', '111'))",
    R"(INSERT INTO "t1" ("Facebill", "LawRef") VALUES ('01000000001', '01'))",
    R"(INSERT INTO "t2_2" ("Facebill", "LawRef", "Amount", "FiDate", "CBC", "Org")
       VALUES ('01000000001', '01', 10.5, '2024-01-10', '111', '1'))",
    R"(INSERT INTO "t2_2" ("Facebill", "LawRef", "Amount", "FiDate", "CBC", "Org")
       VALUES ('01000000001', NULL, NULL, NULL, NULL, NULL))",
    R"(INSERT INTO "t2_1" ("FaceBill", "LawRef", "Amount", "FiDate", "CBC")
       VALUES ('01000000001', '01', 3, '2024-01-11', '222'))",
    R"(INSERT INTO "SumTypeSpr" ("SumType", "Comment") VALUES ('01', 'kind'))",
    R"(INSERT INTO "DOrg" ("Org", "InSum") VALUES ('1', 5))",
    R"(INSERT INTO "DIn" ("Org", "Date", "Sum", "SumType") VALUES ('1', '2024-01-01', 5, '01'))",
};

double bits(const QString& text)
{
    return std::strtod(text.toLatin1().constData(), nullptr);
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace

class TestPgSchema : public QObject {
    Q_OBJECT

    PgConn pg_;

    // A new schema `name` with the year tables, under its search_path.
    QString createYear(const QString& name)
    {
        QStringList st{QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(name),
                       QStringLiteral("CREATE SCHEMA \"%1\"").arg(name),
                       QStringLiteral("SET LOCAL search_path = \"%1\", control").arg(name)};
        st << schema::createStatements(Location::Year, Dialect::PostgreSql);
        return pg_.transaction(st);
    }

    void use(PgConn& c, const QString& name)
    {
        QVERIFY(c.exec(QStringLiteral("SET search_path = \"%1\", control").arg(name)).ok);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(pg_.ok(), qPrintable(pg_.error()));
        pg_.exec(QStringLiteral("SET client_min_messages = warning"));
        // Preparing the server twice is harmless: every copy may do it on start.
        QCOMPARE(pg_.transaction(schema::serverSetupStatements()), QString());
        QCOMPARE(pg_.transaction(schema::serverSetupStatements()), QString());
        QCOMPARE(createYear(QStringLiteral("y2004")), QString());
        use(pg_, QStringLiteral("y2004"));
    }

    // A failed check leaves no transaction open for the next.
    void cleanup()
    {
        if (PQtransactionStatus(pg_.raw()) != PQTRANS_IDLE)
            pg_.exec(QStringLiteral("ROLLBACK"));
    }

    // The SQLite files are made exactly as before the server dialect came.
    void sqliteStatementsUnchanged()
    {
        const auto hash = [](Location loc) {
            const QByteArray all = schema::createStatements(loc).join(QStringLiteral("\n")).toUtf8();
            return QCryptographicHash::hash(all, QCryptographicHash::Sha256).toHex();
        };
        QCOMPARE(hash(Location::Year), QByteArray("fb1e1cbe7a346dbfcbe0247ab0a069642423bdc37f71a2b44c421a6f11b3407d"));
        QCOMPARE(hash(Location::Work), QByteArray("8a4d0272a8e138fb5dfab4b73fa9ffb997177caefc8f605a20cb0a08bd4f4e48"));
        QCOMPARE(schema::createStatements(Location::Year, Dialect::Sqlite), schema::createStatements(Location::Year));
    }

    // The same statement on the same rows: the server refuses what the SQLite
    // file refuses, with the same text, and keeps its rows as they were; it
    // accepts what the file accepts.
    void rules_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("refusal");   // empty: accepted
        const QString key = QString::fromLatin1(schema::KeyViolation);
        const QString lookup = QString::fromLatin1(schema::LookupViolation);
        const QString master = QString::fromLatin1(schema::MasterHasDetails);
        const QString posting = QStringLiteral(
            R"(INSERT INTO "t2_2" ("Facebill", "LawRef", "Amount", "FiDate", "CBC", "Org") VALUES (%1))");

        QTest::newRow("key: same posting again") << QStringList{} << posting.arg("'01000000001', '01', 10.5, '2024-01-10', '111', '1'") << key;
        QTest::newRow("key: blanks equal blanks") << QStringList{} << posting.arg("'01000000001', NULL, NULL, NULL, NULL, NULL") << key;
        QTest::newRow("key: a blank is not a value")
            << QStringList{} << posting.arg("'01000000001', '01', 10.5, '2024-01-10', '111', NULL") << QString();
        QTest::newRow("key: update onto another row")
            << QStringList{}
            << R"(UPDATE "t2_2" SET "LawRef" = NULL, "Amount" = NULL, "FiDate" = NULL, "CBC" = NULL, "Org" = NULL WHERE "Amount" = 10.5)"
            << key;
        QTest::newRow("key: update onto its own key") << QStringList{} << R"(UPDATE "t2_2" SET "Amount" = 10.5 WHERE "Amount" = 10.5)" << QString();
        QTest::newRow("key: book code twice") << QStringList{} << R"(INSERT INTO "cbc_spr" ("CBC") VALUES ('111'))" << key;
        QTest::newRow("key and lookup broken: the lookup speaks")
            << QStringList{} << R"(INSERT INTO "org_spr" ("Org", "Cbc") VALUES ('1', '999'))" << lookup;
        QTest::newRow("key and lookup broken on update: the lookup speaks")
            << QStringList{R"(INSERT INTO "org_spr" ("Org") VALUES ('2'))"}
            << R"(UPDATE "org_spr" SET "Org" = '1', "Cbc" = '999' WHERE "Org" = '2')" << lookup;
        QTest::newRow("lookup: unknown code") << QStringList{} << R"(INSERT INTO "org_spr" ("Org", "Cbc") VALUES ('2', '999'))" << lookup;
        QTest::newRow("lookup: empty code") << QStringList{} << R"(INSERT INTO "org_spr" ("Org", "Cbc") VALUES ('2', NULL))" << QString();
        QTest::newRow("lookup: update to unknown")
            << QStringList{} << R"(UPDATE "t2_2" SET "Org" = '9' WHERE "Amount" = 10.5)" << lookup;
        QTest::newRow("lookup: kinds of sums")
            << QStringList{} << R"(INSERT INTO "DOut" ("Org", "SumType") VALUES ('1', '02'))" << lookup;
        QTest::newRow("master: delete a used code") << QStringList{} << R"(DELETE FROM "cbc_spr" WHERE "CBC" = '111')" << master;
        QTest::newRow("master: delete an unused code")
            << QStringList{R"(INSERT INTO "cbc_spr" ("CBC") VALUES ('333'))"} << R"(DELETE FROM "cbc_spr" WHERE "CBC" = '333')" << QString();
        QTest::newRow("master: delete an account with postings") << QStringList{} << R"(DELETE FROM "t1")" << master;
        QTest::newRow("master: change a used key") << QStringList{} << R"(UPDATE "org_spr" SET "Org" = '3')" << master;
        QTest::newRow("master: set a used key to itself") << QStringList{} << R"(UPDATE "org_spr" SET "Org" = '1')" << QString();
        QTest::newRow("master: change an unused key")
            << QStringList{R"(INSERT INTO "law_spr" ("LawRef") VALUES ('02'))"}
            << R"(UPDATE "law_spr" SET "LawRef" = '03' WHERE "LawRef" = '02')" << QString();
        QTest::newRow("master: income organization removed with entries") << QStringList{} << R"(DELETE FROM "DOrg")" << QString();
        QTest::newRow("master: income organization's code changed")
            << QStringList{} << R"(UPDATE "DOrg" SET "Org" = '7')" << master;
    }

    void rules()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, statement);
        QFETCH(QString, refusal);

        Lite lite;
        for (const auto& s : BaseRows + before)
            QCOMPARE(lite.run(s), QString());
        QCOMPARE(lite.run(statement), refusal);

        QVERIFY(pg_.exec(QStringLiteral("BEGIN")).ok);
        for (const auto& s : BaseRows + before)
            QVERIFY2(pg_.exec(s).ok, qPrintable(s));
        QVERIFY(pg_.exec(QStringLiteral("SAVEPOINT s")).ok);
        const auto rows = snapshot(pg_);
        const PgConn::Result r = pg_.exec(statement);
        QCOMPARE(r.ok ? QString() : r.message, refusal);
        if (!r.ok) {
            QCOMPARE(r.state, QString::fromLatin1(schema::ServerRuleState));
            QVERIFY(pg_.exec(QStringLiteral("ROLLBACK TO s")).ok);
            QCOMPARE(snapshot(pg_), rows);
        }
        QVERIFY(pg_.exec(QStringLiteral("ROLLBACK")).ok);
    }

    // The field rules of the SQLite file's CHECKs, on the server.
    void fieldChecks_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("state");   // empty: accepted
        const QString acc = QStringLiteral(R"(INSERT INTO "t1" ("Facebill", "LawRef") VALUES (%1))");
        const QString notice = QStringLiteral(R"(INSERT INTO "corPln" ("Org", "Num", "CorDate") VALUES (NULL, 1, %1))");
        QTest::newRow("required field empty") << acc.arg("NULL, '01'") << "23502";
        QTest::newRow("required number empty") << QStringLiteral(R"(INSERT INTO "corPln" ("CorDate") VALUES ('2024-01-01'))") << "23502";
        QTest::newRow("text at its size") << acc.arg("'12345678901', '01'") << "";
        QTest::newRow("text too long") << acc.arg("'123456789012', '01'") << "23514";
        QTest::newRow("Cyrillic at its size") << acc.arg("'ДДДДДДДДДДД', 'Жж'") << "";
        QTest::newRow("Cyrillic too long") << acc.arg("'1', 'Жжжж'") << "23514";
        QTest::newRow("trailing blank") << acc.arg("'0100 ', NULL") << "23514";
        QTest::newRow("leading blank") << acc.arg("' 0100', NULL") << "";
        QTest::newRow("empty text") << acc.arg("'', NULL") << "23514";
        QTest::newRow("leap day") << notice.arg("'2024-02-29'") << "";
        QTest::newRow("no leap day") << notice.arg("'2023-02-29'") << "23514";
        QTest::newRow("no 31 April") << notice.arg("'2023-04-31'") << "23514";
        QTest::newRow("month 13") << notice.arg("'2023-13-01'") << "23514";
        QTest::newRow("day 0") << notice.arg("'2023-01-00'") << "23514";
        QTest::newRow("short month") << notice.arg("'2023-1-05'") << "23514";
        QTest::newRow("time of day") << notice.arg("'2023-01-05 10:00'") << "23514";
        QTest::newRow("Russian form") << notice.arg("'05.01.2023'") << "23514";
        QTest::newRow("year 2000 leap") << notice.arg("'2000-02-29'") << "";
        QTest::newRow("year 1900 not leap") << notice.arg("'1900-02-29'") << "23514";
    }

    void fieldChecks()
    {
        QFETCH(QString, statement);
        QFETCH(QString, state);
        QVERIFY(pg_.exec(QStringLiteral("BEGIN")).ok);
        QVERIFY(pg_.exec(BaseRows[1]).ok);
        QVERIFY(pg_.exec(QStringLiteral(R"(INSERT INTO "law_spr" ("LawRef") VALUES ('Жж'))")).ok);
        QVERIFY(pg_.exec(QStringLiteral("SAVEPOINT s")).ok);
        const auto rows = snapshot(pg_);
        const PgConn::Result r = pg_.exec(statement);
        QCOMPARE(r.ok ? QString() : r.state, state);
        if (!r.ok) {
            QVERIFY(pg_.exec(QStringLiteral("ROLLBACK TO s")).ok);
            QCOMPARE(snapshot(pg_), rows);
        }
        QVERIFY(pg_.exec(QStringLiteral("ROLLBACK")).ok);
    }

    // The notice numbers are the row ids, as in the SQLite file: the same
    // statements give the same numbers, a given number is kept and later
    // ones follow it, a changed number moves the row.
    void autoIncNumbers()
    {
        QCOMPARE(createYear(QStringLiteral("autoinc")), QString());
        PgConn pg;
        use(pg, QStringLiteral("autoinc"));
        const QString notice = QStringLiteral(R"(INSERT INTO "corPln" ("Num", "CorDate"%1) VALUES (%2, '2024-03-01'%3))");
        const QStringList steps = {
            notice.arg("", "1", ""),
            notice.arg("", "2", ""),
            notice.arg(", \"AbsNum\"", "3", ", 50"),
            notice.arg("", "4", ""),
            QStringLiteral(R"(UPDATE "corPln" SET "AbsNum" = 70 WHERE "Num" = 4)"),
            notice.arg("", "5", ""),
            QStringLiteral(R"(DELETE FROM "corPln" WHERE "Num" = 5)"),
            notice.arg("", "6", ""),
            QStringLiteral(R"(UPDATE "corPln" SET rowid = 90 WHERE "Num" = 1)"),
            notice.arg("", "9", ""),
        };
        Lite lite;
        for (const auto& s : steps) {
            QCOMPARE(lite.run(s), QString());
            QVERIFY2(pg.exec(s).ok, qPrintable(s));
        }
        const QString q = QStringLiteral(R"(SELECT CAST("Num" AS INTEGER), "AbsNum" FROM "corPln" ORDER BY rowid)");
        const auto expected = lite.rows(q);
        QCOMPARE(texts(pg.exec(q).rows), expected);
        QCOMPARE(expected.last(), (QStringList{"9", "91"}));
        // A copied row's lower number is kept; the next row comes after
        // every number handed out (the server's row id taken for the copied
        // row is not given back, so it may skip one).
        QVERIFY(pg.exec(notice.arg(", \"AbsNum\"", "7", ", 20")).ok);
        QVERIFY(pg.exec(notice.arg("", "8", "")).ok);
        QCOMPARE(pg.value(QStringLiteral(R"(SELECT "AbsNum" FROM "corPln" WHERE "Num" = 7)")), QStringLiteral("20"));
        QVERIFY(pg.value(QStringLiteral(R"(SELECT "AbsNum" FROM "corPln" WHERE "Num" = 8)")).toInt() > 91);
        QCOMPARE(pg.value(QStringLiteral(R"(SELECT count(*) FROM "corPln" WHERE "AbsNum" <> rowid)")), QStringLiteral("0"));
        // A number taken by another row is refused, the rows kept.
        const auto rows = texts(pg.exec(q).rows);
        QVERIFY(!pg.exec(notice.arg(", \"AbsNum\"", "9", ", 50")).ok);
        QVERIFY(!pg.exec(QStringLiteral(R"(UPDATE "corPln" SET "AbsNum" = 50 WHERE "Num" = 1)")).ok);
        QVERIFY(!pg.exec(QStringLiteral(R"(UPDATE "corPln" SET "AbsNum" = NULL WHERE "Num" = 1)")).ok);
        QCOMPARE(texts(pg.exec(q).rows), rows);
    }

    // Each writing statement counts once in its table's counter, within the
    // writing transaction; other copies hear the schema's name at commit.
    void changeCounters()
    {
        PgConn other;
        QVERIFY(other.exec(QStringLiteral("LISTEN %1").arg(QString::fromLatin1(schema::ChangesChannel))).ok);
        const auto counter = [this](const char* t) {
            return pg_.value(QStringLiteral("SELECT n FROM saldina_changes WHERE tbl = $1"), {QString::fromLatin1(t)}).toInt();
        };
        const auto heard = [&other](int waitMs) {
            QStringList payloads;
            QElapsedTimer clock;
            clock.start();
            do {
                const int fd = PQsocket(other.raw());
                fd_set set;
                FD_ZERO(&set);
                FD_SET(fd, &set);
                timeval tv{0, 50 * 1000};
                select(fd + 1, &set, nullptr, nullptr, &tv);
                PQconsumeInput(other.raw());
                while (PGnotify* n = PQnotifies(other.raw())) {
                    payloads << QString::fromUtf8(n->extra);
                    PQfreemem(n);
                }
            } while (payloads.isEmpty() && clock.elapsed() < waitMs);
            return payloads;
        };
        QCOMPARE(pg_.value(QStringLiteral("SELECT count(*) FROM saldina_changes")),
                 QString::number(schema::tableNames(Location::Year).size()));

        const int books = counter("cbc_spr");
        const int laws = counter("law_spr");
        QVERIFY(pg_.exec(QStringLiteral(R"(INSERT INTO "cbc_spr" ("CBC") VALUES ('501'), ('502'), ('503'))")).ok);
        QCOMPARE(counter("cbc_spr"), books + 1);
        QCOMPARE(heard(5000), QStringList{QStringLiteral("y2004")});

        // Inside a transaction: counted there, heard only at commit.
        QVERIFY(pg_.exec(QStringLiteral("BEGIN")).ok);
        QVERIFY(pg_.exec(QStringLiteral(R"(UPDATE "cbc_spr" SET "NAME" = 'n' WHERE "CBC" >= '501')")).ok);
        QVERIFY(pg_.exec(QStringLiteral(R"(DELETE FROM "cbc_spr" WHERE "CBC" = '503')")).ok);
        QCOMPARE(counter("cbc_spr"), books + 3);
        QCOMPARE(other.value(QStringLiteral("SELECT n FROM y2004.saldina_changes WHERE tbl = 'cbc_spr'")).toInt(), books + 1);
        QCOMPARE(heard(300), QStringList());
        QVERIFY(pg_.exec(QStringLiteral("COMMIT")).ok);
        QCOMPARE(heard(5000), QStringList{QStringLiteral("y2004")});
        QCOMPARE(other.value(QStringLiteral("SELECT n FROM y2004.saldina_changes WHERE tbl = 'cbc_spr'")).toInt(), books + 3);

        // A refused statement and a rolled back one leave the counter and are not heard.
        QVERIFY(!pg_.exec(QStringLiteral(R"(INSERT INTO "cbc_spr" ("CBC") VALUES ('501'))")).ok);
        QVERIFY(pg_.exec(QStringLiteral("BEGIN")).ok);
        QVERIFY(pg_.exec(QStringLiteral(R"(DELETE FROM "cbc_spr" WHERE "CBC" = '502')")).ok);
        QVERIFY(pg_.exec(QStringLiteral("ROLLBACK")).ok);
        QCOMPARE(counter("cbc_spr"), books + 3);
        QCOMPARE(heard(300), QStringList());
        QCOMPARE(counter("law_spr"), laws);

        // Emptying a table counts too.
        QVERIFY(pg_.exec(QStringLiteral(R"(TRUNCATE "law_spr")")).ok);
        QCOMPARE(counter("law_spr"), laws + 1);
        QCOMPARE(heard(5000), QStringList{QStringLiteral("y2004")});
        QVERIFY(pg_.exec(QStringLiteral(R"(DELETE FROM "cbc_spr" WHERE "CBC" >= '501')")).ok);
    }

    // Two copies writing at once: what one transaction checks cannot be
    // undone by another committing in between.
    void concurrentWriters()
    {
        PgConn a, b;
        use(a, QStringLiteral("y2004"));
        use(b, QStringLiteral("y2004"));
        QVERIFY(a.exec(QStringLiteral(R"(INSERT INTO "cbc_spr" ("CBC") VALUES ('701'))")).ok);
        QVERIFY(a.exec(QStringLiteral(R"(INSERT INTO "org_spr" ("Org") VALUES ('71'))")).ok);
        // B's statement runs while A's transaction is open; its result once A commits.
        const auto meanwhile = [&](const QString& first, const QString& second) {
            a.exec(QStringLiteral("BEGIN"));
            a.exec(first);
            PQsendQuery(b.raw(), second.toUtf8().constData());
            QTest::qWait(200);
            a.exec(QStringLiteral("COMMIT"));
            PgConn::Result r{true, {}, {}, {}};
            while (PGresult* res = PQgetResult(b.raw())) {
                if (PQresultStatus(res) == PGRES_FATAL_ERROR) {
                    r.ok = false;
                    r.message = QString::fromUtf8(PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY));
                    r.state = QString::fromLatin1(PQresultErrorField(res, PG_DIAG_SQLSTATE));
                }
                PQclear(res);
            }
            return r;
        };
        // The same key (blanks in it) posted by both: the second is refused.
        const QString posting = QStringLiteral(R"(INSERT INTO "t2_2" ("Facebill", "Amount") VALUES ('07000000001', 1))");
        PgConn::Result r = meanwhile(posting, posting);
        QVERIFY(!r.ok);
        QCOMPARE(r.state, QStringLiteral("23505"));
        QCOMPARE(a.value(QStringLiteral(R"(SELECT count(*) FROM "t2_2" WHERE "Facebill" = '07000000001')")), QStringLiteral("1"));
        // A code used by a new row while another copy removes it: the removal waits and is refused.
        r = meanwhile(QStringLiteral(R"(INSERT INTO "t2_2" ("Facebill", "CBC") VALUES ('07000000002', '701'))"),
                      QStringLiteral(R"(DELETE FROM "cbc_spr" WHERE "CBC" = '701')"));
        QCOMPARE(r.message, QString::fromLatin1(schema::MasterHasDetails));
        // A code removed while another copy uses it: the use waits and is refused.
        r = meanwhile(QStringLiteral(R"(DELETE FROM "org_spr" WHERE "Org" = '71')"),
                      QStringLiteral(R"(INSERT INTO "t2_2" ("Facebill", "Org") VALUES ('07000000003', '71'))"));
        QCOMPARE(r.message, QString::fromLatin1(schema::LookupViolation));
        QCOMPARE(a.value(QStringLiteral(R"(SELECT count(*) FROM "t2_2" WHERE "Facebill" LIKE '07%')")), QStringLiteral("2"));
        QVERIFY(a.exec(QStringLiteral(R"(DELETE FROM "t2_2" WHERE "Facebill" LIKE '07%')")).ok);
        QVERIFY(a.exec(QStringLiteral(R"(DELETE FROM "cbc_spr" WHERE "CBC" = '701')")).ok);
    }

    // Preparing the server again with years on it changes none of them.
    void setupAgain()
    {
        QCOMPARE(pg_.transaction(schema::serverSetupStatements()), QString());
        QCOMPARE(pg_.exec(QStringLiteral(R"(INSERT INTO "org_spr" ("Org", "Cbc") VALUES ('2', '999'))")).message,
                 QString::fromLatin1(schema::LookupViolation));
        QCOMPARE(pg_.value(QStringLiteral("SELECT saldina_mask('1*', '12')")), QStringLiteral("t"));
    }

    // saldina_mask on the server is the store's maskMatches.
    void mask_data()
    {
        QTest::addColumn<QString>("mask");    // "<null>" for null
        QTest::addColumn<QString>("value");
        const char* cases[][2] = {
            {"0100*", "01000000001"}, {"0100*", "0100"}, {"01", "01"}, {"01", "0100"}, {"0100", "01"},
            {"01*0", "0110"}, {"01*0", "0111"}, {"*", "1"}, {"*", "12"}, {"**", "12"}, {"", "1"}, {"", ""},
            {"1", ""}, {"<null>", "1"}, {"<null>", ""}, {"1*", "<null>"}, {"<null>", "<null>"}, {"1 ", "1"},
            {"1 ", "12"}, {" 1", "11"}, {"ЖД*", "ЖДЫ"}, {"ЖД", "ЖЫ"}, {"Ж", "ЖЖ"}, {"Ж*", "Жz"}, {"Ж", "Ж"},
            {"%", "1"}, {"_", "1"}, {"_", "_"}, {"1%", "1%"}, {"\\", "\\"}, {"\\*", "\\1"}, {"\\", "1"},
            {"*1*", "x1y"}, {"*1*", "x2y"}, {"a", "A"},
        };
        for (const auto& c : cases)
            QTest::newRow(qPrintable(QStringLiteral("%1 ~ %2").arg(QString::fromUtf8(c[0]), QString::fromUtf8(c[1]))))
                << QString::fromUtf8(c[0]) << QString::fromUtf8(c[1]);
    }

    void mask()
    {
        QFETCH(QString, mask);
        QFETCH(QString, value);
        const auto param = [](const QString& s) -> std::optional<QString> {
            return s == QLatin1String("<null>") ? std::nullopt : std::optional<QString>(s);
        };
        const auto text = [](const QString& s) { return s == QLatin1String("<null>") ? QString() : s; };
        const bool expected = store::maskMatches(text(mask), text(value));
        QCOMPARE(pg_.value(QStringLiteral("SELECT saldina_mask($1, $2)"), {param(mask), param(value)}),
                 expected ? QStringLiteral("t") : QStringLiteral("f"));
        // As the store's filter calls it, on a stored code.
        if (!value.isEmpty() && value != QLatin1String("<null>") && !value.endsWith(QLatin1Char(' '))) {
            QVERIFY(pg_.exec(QStringLiteral("BEGIN")).ok);
            QVERIFY(pg_.exec(QStringLiteral(R"(INSERT INTO "cbc_spr" ("CBC") VALUES ($1))"), {value}).ok);
            QCOMPARE(pg_.value(QStringLiteral(R"(SELECT count(*) FROM "cbc_spr" WHERE saldina_mask($1, "CBC"))"), {param(mask)}),
                     expected ? QStringLiteral("1") : QStringLiteral("0"));
            QVERIFY(pg_.exec(QStringLiteral("ROLLBACK")).ok);
        }
    }

    // TOTAL on the server adds as SQLite's TOTAL does, to the last bit.
    void total_data()
    {
        QTest::addColumn<QList<double>>("values");
        QTest::newRow("no rows") << QList<double>{};
        QTest::newRow("0.1 ten thousand times") << QList<double>(10000, 0.1);
        std::mt19937_64 gen(2004);
        std::uniform_real_distribution<double> amount(-100000.0, 100000.0);
        QList<double> mixed;
        for (int i = 0; i < 5000; ++i)
            mixed << std::round(amount(gen) * 100.0) / 100.0;
        QTest::newRow("amounts of mixed signs") << mixed;
        QList<double> scales;
        for (int i = 0; i < 2000; ++i)
            scales << (i % 3 == 0 ? 1e16 : i % 3 == 1 ? 0.01 * i : -1e16) * (i % 2 ? 1 : -1);
        QTest::newRow("large and small") << scales;
        QTest::newRow("cancelling") << QList<double>{1e308, -1e308, 0.1, 0.2, -0.3};
    }

    void total()
    {
        QFETCH(QList<double>, values);
        Lite lite;
        QCOMPARE(lite.run(QStringLiteral("CREATE TABLE nums (x REAL)")), QString());
        lite.run(QStringLiteral("BEGIN"));
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(lite.db(), "INSERT INTO nums VALUES (?)", -1, &ins, nullptr);
        for (double v : values) {
            sqlite3_bind_double(ins, 1, v);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        lite.run(QStringLiteral("COMMIT"));
        sqlite3_stmt* sum = nullptr;
        sqlite3_prepare_v2(lite.db(), "SELECT TOTAL(x) FROM nums", -1, &sum, nullptr);
        sqlite3_step(sum);
        const double liteTotal = sqlite3_column_double(sum, 0);
        sqlite3_finalize(sum);

        QStringList array;
        for (double v : values)
            array << store::roundTripFloat(v);
        QVERIFY(pg_.exec(QStringLiteral("BEGIN")).ok);
        QVERIFY(pg_.exec(QStringLiteral("CREATE TEMP TABLE nums (i integer, x double precision)")).ok);
        QVERIFY(pg_.exec(QStringLiteral("INSERT INTO nums SELECT i, x FROM unnest($1::float8[]) WITH ORDINALITY u(x, i)"),
                         {QLatin1Char('{') + array.join(QLatin1Char(',')) + QLatin1Char('}')})
                    .ok);
        QVERIFY(pg_.exec(QStringLiteral("INSERT INTO nums VALUES (0, NULL)")).ok);   // skipped, as in SQLite
        const QString pgTotal = pg_.value(QStringLiteral("SELECT total(x) FROM nums"));
        const QString ordered = pg_.value(QStringLiteral("SELECT total(x ORDER BY i) FROM nums"));
        QVERIFY(pg_.exec(QStringLiteral("ROLLBACK")).ok);

        QVERIFY2(sameBits(bits(pgTotal), liteTotal),
                 qPrintable(QStringLiteral("%1 vs %2").arg(pgTotal, store::roundTripFloat(liteTotal))));
        QVERIFY(sameBits(bits(ordered), liteTotal));
        QVERIFY(!pgTotal.isEmpty());
    }

    // A year made from the template: the same rows with the same row ids and
    // numbers, the counters at 0, and the next rows after the template's.
    void copyFromTemplate()
    {
        QCOMPARE(createYear(QStringLiteral("orig")), QString());
        PgConn pg;
        pg.exec(QStringLiteral("SET client_min_messages = warning"));
        use(pg, QStringLiteral("orig"));
        for (const auto& s : BaseRows)
            QVERIFY2(pg.exec(s).ok, qPrintable(s));
        const QString notice = QStringLiteral(R"(INSERT INTO "corPln" ("Org", "Cbc", "Num", "CorDate") VALUES ('1', '111', %1, '2024-02-01'))");
        for (int n = 1; n <= 3; ++n)
            QVERIFY(pg.exec(notice.arg(n)).ok);
        // Gaps in the row ids and a number handed out and gone.
        QVERIFY(pg.exec(QStringLiteral(R"(DELETE FROM "corPln" WHERE "Num" = 3)")).ok);
        QVERIFY(pg.exec(QStringLiteral(R"(DELETE FROM "t2_2" WHERE "Org" IS NULL)")).ok);
        QVERIFY(pg.exec(QStringLiteral(R"(INSERT INTO "t2_2" ("Facebill", "Amount") VALUES ('01000000001', 7))")).ok);
        const auto rows = snapshot(pg);

        QVERIFY(pg.exec(QStringLiteral("DROP SCHEMA IF EXISTS y2005 CASCADE")).ok);
        QCOMPARE(pg.transaction(schema::copySchemaStatements(QStringLiteral("orig"), QStringLiteral("y2005"), Location::Year)),
                 QString());
        use(pg, QStringLiteral("y2005"));
        QCOMPARE(snapshot(pg), rows);
        QCOMPARE(pg.value(QStringLiteral("SELECT count(*) FROM saldina_changes WHERE n = 0")),
                 QString::number(schema::tableNames(Location::Year).size()));

        QVERIFY(pg.exec(notice.arg(4)).ok);
        QCOMPARE(pg.value(QStringLiteral(R"(SELECT "AbsNum" FROM "corPln" WHERE "Num" = 4)")), QStringLiteral("4"));
        QVERIFY(pg.exec(QStringLiteral(R"(INSERT INTO "t2_2" ("Facebill", "Amount") VALUES ('01000000001', 8))")).ok);
        QCOMPARE(pg.value(QStringLiteral(R"(SELECT rowid FROM "t2_2" WHERE "Amount" = 8)")), QStringLiteral("4"));
        QVERIFY(pg.exec(QStringLiteral(R"(INSERT INTO "cbc_spr" ("CBC") VALUES ('333'))")).ok);
        QCOMPARE(pg.value(QStringLiteral(R"(SELECT max(rowid) FROM "cbc_spr")")), QStringLiteral("3"));
        // The rules hold in the copy, and the template keeps its rows.
        QCOMPARE(pg.exec(QStringLiteral(R"(DELETE FROM "org_spr")")).message, QString::fromLatin1(schema::MasterHasDetails));
        use(pg, QStringLiteral("orig"));
        QCOMPARE(snapshot(pg), rows);
        // Its counters: one for each writing statement above.
        QCOMPARE(pg.value(QStringLiteral("SELECT sum(n) FROM saldina_changes")), QString::number(BaseRows.size() + 6));
    }
};

QTEST_GUILESS_MAIN(TestPgSchema)
#include "tst_pg_schema.moc"
