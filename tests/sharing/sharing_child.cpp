// Another copy of the program for the sharing tests: each subcommand does
// one thing to a shared root and reports on stdout, one line per event,
// flushed at once, so the test knows exactly what this copy has done even
// when it is killed. Lines are tab-separated; a refused action prints
// "error<TAB>text" and the copy exits with code 3. With SALDINA_CHILD_SERVER
// set (a libpq connection string) the year databases are on that server, as
// prog.ini's Server key puts them.
//
//   hold-write ROOT YEARDIR SECONDS
//       raw SQLite: BEGIN IMMEDIATE, inserts one t2_1 row (FaceBill HOLDER),
//       prints "ready", commits when told (a line on stdin, end of stdin or
//       the time is up), prints "released". On the server the same in a
//       write transaction of the store (user "Holder").
//   hold-open ROOT YEARDIR USER SECONDS [TABLE]
//       a live copy with TABLE (t2_1) open: "ready<TAB>rows", then waits.
//   try-open ROOT USER
//       registers USER and prints "ok<TAB>live users joined by |".
//   post-stream ROOT YEARDIR USER FACEBILL FIRST COUNT [wait-go]
//       posts t2_1 rows Amount = FIRST, FIRST+1, ... one transaction each;
//       "posted<TAB>amount<TAB>ms" after each commit, "dup<TAB>amount<TAB>ms"
//       for a row refused as a duplicate, "failed<TAB>amount<TAB>ms" before
//       the error line of any other refusal, "done" at the end (ms: how
//       long the post took).
//   write-uncommitted ROOT YEARDIR USER FACEBILL COUNT
//       one open write transaction with COUNT inserted rows spilled into the
//       database file (tiny page cache; on the server: sent to it): "dirty",
//       then waits; rolls back.
//   exec ROOT YEARDIR USER SQL
//       SQL in one write transaction of the store, "ok".
//   pack ROOT YEARDIR USER TABLE
//       Table::pack, "ok".
//   read ROOT YEARDIR USER TABLE
//       opens TABLE, reads every row and prints "rows<TAB>n<TAB>integrity".
#include "core/store/session.h"
#include "core/store/table.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <poll.h>
#include <sqlite3.h>
#include <stdexcept>
#include <unistd.h>

namespace {

void say(const QString& line)
{
    const QByteArray u = line.toUtf8() + '\n';
    std::fwrite(u.constData(), 1, size_t(u.size()), stdout);
    std::fflush(stdout);
}

// Waits for a line on stdin (or its end) at most `seconds`.
void waitForGo(double seconds)
{
    QElapsedTimer t;
    t.start();
    const qint64 limit = qint64(seconds * 1000);
    while (t.elapsed() < limit) {
        pollfd p{0, POLLIN, 0};
        const int r = ::poll(&p, 1, int(std::min<qint64>(limit - t.elapsed(), 200)));
        if (r > 0) {
            char buf[64];
            (void)::read(0, buf, sizeof buf);
            return;
        }
    }
}

std::unique_ptr<store::Session> session(const QString& root, const QString& user)
{
    auto s = std::make_unique<store::Session>();
    s->setControlDir(root);
    s->setServer(qEnvironmentVariable("SALDINA_CHILD_SERVER"));
    s->addParam(QStringLiteral("USER NAME=") + user);
    s->open();
    return s;
}

std::unique_ptr<store::Table> table(store::Session& s, const QString& dir, const QString& name)
{
    auto t = std::make_unique<store::Table>(&s, name);
    t->setTableName(name);
    t->setDirectory(dir);
    t->open();
    return t;
}

const QDate PostDate(2004, 3, 15);

int holdWriteOnServer(const QStringList& a)
{
    auto s = session(a.value(0), QStringLiteral("Holder"));
    store::Connection& c = s->connection(a.value(1), schema::Location::Year);
    c.write([&] {
        c.exec(QStringLiteral("INSERT INTO t2_1 (\"FaceBill\", \"Amount\", \"FiDate\") "
                              "VALUES ('HOLDER', 1, '2004-03-15')"));
        say(QStringLiteral("ready"));
        waitForGo(a.value(2).toDouble());
    });
    say(QStringLiteral("released"));
    return 0;
}

int holdWrite(const QStringList& a)
{
    if (!qEnvironmentVariableIsEmpty("SALDINA_CHILD_SERVER"))
        return holdWriteOnServer(a);
    const QString file = store::Session::databasePath(a.value(1), schema::Location::Year);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        say(QStringLiteral("error\tcannot open ") + file);
        return 3;
    }
    sqlite3_busy_timeout(db, store::BusyTimeoutMs);
    auto run = [&](const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            say(QStringLiteral("error\t") + QString::fromUtf8(sqlite3_errmsg(db)));
            return false;
        }
        return true;
    };
    if (!run("BEGIN IMMEDIATE") ||
        !run("INSERT INTO t2_1 (FaceBill, Amount, FiDate) VALUES ('HOLDER', 1, '2004-03-15')"))
        return 3;
    say(QStringLiteral("ready"));
    waitForGo(a.value(2).toDouble());
    if (!run("COMMIT"))
        return 3;
    sqlite3_close_v2(db);
    say(QStringLiteral("released"));
    return 0;
}

int holdOpen(const QStringList& a)
{
    auto s = session(a.value(0), a.value(2));
    auto t = table(*s, a.value(1), a.value(4, QStringLiteral("t2_1")));
    say(QStringLiteral("ready\t%1").arg(t->recordCount()));
    waitForGo(a.value(3).toDouble());
    t->close();
    s->close();
    say(QStringLiteral("closed"));
    return 0;
}

int tryOpen(const QStringList& a)
{
    auto s = session(a.value(0), a.value(1));
    say(QStringLiteral("ok\t") + s->liveUsers().join(QLatin1Char('|')));
    return 0;
}

int postStream(const QStringList& a)
{
    auto s = session(a.value(0), a.value(2));
    auto t = table(*s, a.value(1), QStringLiteral("t2_1"));
    const QString account = a.value(3);
    const int firstAmount = a.value(4).toInt();
    const int count = a.value(5).toInt();
    say(QStringLiteral("ready"));
    if (a.value(6) == QLatin1String("wait-go"))
        waitForGo(60);
    for (int i = 0; i < count; ++i) {
        const int amount = firstAmount + i;
        t->append();
        t->fieldByName(QStringLiteral("FaceBill")).setValue(account);
        t->fieldByName(QStringLiteral("Amount")).setValue(double(amount));
        t->fieldByName(QStringLiteral("FiDate")).setValue(PostDate);
        QElapsedTimer clock;
        clock.start();
        try {
            t->post();
        } catch (const store::StoreError& e) {
            if (e.text() != QLatin1String(schema::KeyViolation)) {
                say(QStringLiteral("failed\t%1\t%2").arg(amount).arg(clock.elapsed()));
                throw;
            }
            t->cancel();
            say(QStringLiteral("dup\t%1\t%2").arg(amount).arg(clock.elapsed()));
            continue;
        }
        say(QStringLiteral("posted\t%1\t%2").arg(amount).arg(clock.elapsed()));
    }
    say(QStringLiteral("done"));
    return 0;
}

int writeUncommitted(const QStringList& a)
{
    auto s = session(a.value(0), a.value(2));
    store::Connection& c = s->connection(a.value(1), schema::Location::Year);
    if (c.dialect() == schema::Dialect::Sqlite)
        c.exec(QStringLiteral("PRAGMA cache_size=5"));
    const int count = a.value(4).toInt();
    try {
        c.write([&] {
            for (int i = 0; i < count; ++i) {
                store::Statement st(c, QStringLiteral("INSERT INTO t2_1 (\"FaceBill\", \"Amount\", \"FiDate\", \"CBC\") "
                                                      "VALUES (?, ?, '2004-03-15', NULL)"));
                st.bind(1, a.value(3), schema::FieldType::Text);
                st.bind(2, double(1000000 + i), schema::FieldType::Float);
                st.run();
            }
            say(QStringLiteral("dirty"));
            waitForGo(60);
            throw std::runtime_error("rolled back");
        });
    } catch (const std::runtime_error&) {
    }
    say(QStringLiteral("rolled-back"));
    return 0;
}

int execSql(const QStringList& a)
{
    auto s = session(a.value(0), a.value(2));
    store::Connection& c = s->connection(a.value(1), schema::Location::Year);
    c.write([&] { c.exec(a.value(3)); });
    say(QStringLiteral("ok"));
    return 0;
}

int pack(const QStringList& a)
{
    auto s = session(a.value(0), a.value(2));
    auto t = table(*s, a.value(1), a.value(3));
    t->pack();
    say(QStringLiteral("ok"));
    return 0;
}

int readAll(const QStringList& a)
{
    auto s = session(a.value(0), a.value(2));
    auto t = table(*s, a.value(1), a.value(3));
    int n = 0;
    for (t->first(); !t->eof(); t->next()) {
        for (int i = 0; i < t->fieldCount(); ++i)
            (void)t->field(i).asString();
        ++n;
    }
    say(QStringLiteral("rows\t%1\t%2").arg(n).arg(t->connection().integrityCheck().replace(QLatin1Char('\n'), QStringLiteral(" | "))));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args;
    for (int i = 2; i < argc; ++i)
        args << QString::fromUtf8(argv[i]);
    const QString cmd = argc > 1 ? QString::fromUtf8(argv[1]) : QString();
    try {
        if (cmd == QLatin1String("hold-write"))
            return holdWrite(args);
        if (cmd == QLatin1String("hold-open"))
            return holdOpen(args);
        if (cmd == QLatin1String("try-open"))
            return tryOpen(args);
        if (cmd == QLatin1String("post-stream"))
            return postStream(args);
        if (cmd == QLatin1String("write-uncommitted"))
            return writeUncommitted(args);
        if (cmd == QLatin1String("exec"))
            return execSql(args);
        if (cmd == QLatin1String("pack"))
            return pack(args);
        if (cmd == QLatin1String("read"))
            return readAll(args);
    } catch (const store::StoreError& e) {
        say(QStringLiteral("error\t") + e.text());
        return 3;
    }
    say(QStringLiteral("error\tunknown command ") + cmd);
    return 2;
}
