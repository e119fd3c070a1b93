// Several copies of the program on one root. The other copies are real
// processes (sharing_child beside this executable) that report every step on
// stdout, so the test knows what they committed even when it kills them.
#include "tests/testroot.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>
#include <libpq-fe.h>
#include <sqlite3.h>

using namespace store;

namespace {

const QString Account = QStringLiteral("40101810001");
const QDate PostDate(2004, 3, 15);

// The year databases on the tests' server rather than in files.
bool onServer() { return !qEnvironmentVariableIsEmpty("SALDINA_TEST_SERVER"); }

// The year database as the store's messages name it.
QString yearName(const TestRoot& r)
{
    return onServer() ? QStringLiteral("y2004 (сервер)") : Session::databasePath(r.year, schema::Location::Year);
}

// One query on the root's server by a connection of its own: the first
// column of every row, or the server's refusal as the only value.
QStringList onRootServer(const TestRoot& r, const QString& sql, const QList<QByteArray>& params = {})
{
    QStringList out;
    PGconn* pg = PQconnectdb(r.server.conninfo.toUtf8().constData());
    std::vector<const char*> values;
    for (const QByteArray& v : params)
        values.push_back(v.constData());
    PGresult* res = PQexecParams(pg, sql.toUtf8().constData(), int(values.size()), nullptr, values.data(), nullptr,
                                 nullptr, 0);
    if (PQresultStatus(res) == PGRES_TUPLES_OK) {
        for (int i = 0; i < PQntuples(res); ++i)
            out << QString::fromUtf8(PQgetvalue(res, i, 0));
    } else {
        out << QStringLiteral("refused: ") + QString::fromUtf8(PQerrorMessage(pg));
    }
    PQclear(res);
    PQfinish(pg);
    return out;
}

// Pack refused while another copy has the table's database open.
QString packRefusedText(const QString& table)
{
    return QStringLiteral("Таблица %1 используется другой копией программы. Упаковка требует монопольного доступа: "
                          "закройте все остальные копии программы и повторите.")
        .arg(table);
}

bool isConditionText(const QString& t)
{
    for (const char* c :
         {schema::KeyViolation, schema::LookupViolation, schema::RequiredViolation, schema::MasterHasDetails})
        if (t == QLatin1String(c))
            return true;
    return false;
}

bool hasCyrillic(const QString& t)
{
    for (QChar c : t)
        if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF)
            return true;
    return false;
}

// Another copy of the program, started with one subcommand of sharing_child.
class Copy {
public:
    // A copy on the root `r`, on its server when it has one.
    Copy(const TestRoot& r, const QStringList& args)
    {
        p_.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/sharing_child"));
        p_.setArguments(args);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SALDINA_CHILD_SERVER"), r.server.conninfo);
        p_.setProcessEnvironment(env);
        p_.start();
        if (!p_.waitForStarted(10000))
            qWarning("sharing_child did not start: %s", qPrintable(p_.errorString()));
    }
    ~Copy()
    {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished(10000);
        }
    }

    // The next line that starts with `tag` (or an error line), empty when the
    // copy ended or the time ran out first.
    QString waitFor(const QString& tag, int ms = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            while (next_ < lines_.size()) {
                const QString l = lines_[next_++];
                if (l.section(QLatin1Char('\t'), 0, 0) == tag || l.startsWith(QLatin1String("error")))
                    return l;
            }
            if (clock.elapsed() > ms)
                return {};
            if (p_.state() == QProcess::NotRunning) {
                readLines();
                if (next_ >= lines_.size())
                    return {};
                continue;
            }
            p_.waitForReadyRead(50);
            readLines();
        }
    }

    // Waits until the copy has reported `n` lines tagged `tag`.
    bool waitCount(const QString& tag, int n, int ms = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        while (values(tag).size() < n) {
            if (clock.elapsed() > ms || p_.state() == QProcess::NotRunning)
                return values(tag).size() >= n;
            p_.waitForReadyRead(20);
        }
        return true;
    }

    void go()
    {
        p_.write("go\n");
        p_.waitForBytesWritten(1000);
    }

    // Lets the copy go on to its end; the exit code, -1 for a crash or a hang.
    int finish(int ms = 30000)
    {
        p_.closeWriteChannel();
        if (p_.state() != QProcess::NotRunning && !p_.waitForFinished(ms))
            return -1;
        readLines();
        return p_.exitStatus() == QProcess::NormalExit ? p_.exitCode() : -1;
    }

    void killHard()   // SIGKILL
    {
        p_.kill();
        p_.waitForFinished(10000);
        readLines();
    }

    bool running() { return p_.state() != QProcess::NotRunning; }
    qint64 pid() const { return p_.processId(); }
    bool crashed() const { return p_.state() == QProcess::NotRunning && p_.exitStatus() == QProcess::CrashExit; }

    QStringList lines()
    {
        readLines();
        return lines_;
    }

    // Second fields of the lines tagged `tag`.
    QStringList values(const QString& tag)
    {
        readLines();
        QStringList out;
        for (const auto& l : std::as_const(lines_))
            if (l.section(QLatin1Char('\t'), 0, 0) == tag)
                out << l.section(QLatin1Char('\t'), 1);
        return out;
    }

    QString errorText()
    {
        for (const auto& l : lines())
            if (l.startsWith(QLatin1String("error\t")))
                return l.mid(6);
        return {};
    }

private:
    void readLines()
    {
        while (p_.canReadLine()) {
            QByteArray l = p_.readLine();
            l.chop(1);
            lines_ << QString::fromUtf8(l);
        }
    }

    QProcess p_;
    QStringList lines_;
    int next_ = 0;
};

QSet<int> toInts(const QStringList& l)
{
    QSet<int> out;
    for (const auto& s : l)
        out.insert(s.section(QLatin1Char('\t'), 0, 0).toInt());
    return out;
}

// The amounts stored for an account, read by a connection of its own, apart
// from anything the store caches.
QList<int> storedAmounts(const TestRoot& r, const QString& account)
{
    QList<int> out;
    if (onServer()) {
        const QStringList rows = onRootServer(
            r, QStringLiteral("SELECT \"Amount\" FROM y2004.t2_1 WHERE \"FaceBill\" = $1 ORDER BY \"Amount\""),
            {account.toUtf8()});
        for (const QString& v : rows) {
            bool ok = false;
            out << int(v.toDouble(&ok));
            if (!ok)
                qWarning("reading t2_1: %s", qPrintable(v));
        }
        return out;
    }
    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(Session::databasePath(r.year, schema::Location::Year));
    // Read-write, as every copy opens it: a copy killed in the middle of its
    // commit leaves a hot journal that only a writer can roll back.
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        qWarning("cannot open %s", file.constData());
        return out;
    }
    sqlite3_busy_timeout(db, BusyTimeoutMs);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT Amount FROM t2_1 WHERE FaceBill = ? ORDER BY Amount", -1, &st, nullptr);
    const QByteArray a = account.toUtf8();
    sqlite3_bind_text(st, 1, a.constData(), int(a.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out << int(sqlite3_column_double(st, 0));
    if (rc != SQLITE_DONE)
        qWarning("reading t2_1: %s", sqlite3_errmsg(db));
    sqlite3_finalize(st);
    sqlite3_close_v2(db);
    return out;
}

// What went wrong in a stream of posts of another copy, one line each.
QStringList streamProblems(Copy& c, const QString& who)
{
    QStringList out;
    for (const auto& l : c.lines()) {
        if (l.startsWith(QLatin1String("failed\t")))
            out << QStringLiteral("%1: the post of %2 was refused after %3 ms")
                       .arg(who, l.section(QLatin1Char('\t'), 1, 1), l.section(QLatin1Char('\t'), 2, 2));
        else if (l.startsWith(QLatin1String("error\t")))
            out << who + QStringLiteral(": ") + l.mid(6);
    }
    return out;
}

int longestPost(Copy& c)
{
    int most = 0;
    for (const auto& v : c.values(QStringLiteral("posted")) + c.values(QStringLiteral("dup")))
        most = std::max(most, v.section(QLatin1Char('\t'), 1, 1).toInt());
    return most;
}

void postReceipt(Table& t, const QString& account, double amount, const QString& lawRef = {})
{
    t.append();
    t.fieldByName(QStringLiteral("FaceBill")).setValue(account);
    if (!lawRef.isEmpty())
        t.fieldByName(QStringLiteral("LawRef")).setValue(lawRef);
    t.fieldByName(QStringLiteral("Amount")).setValue(amount);
    t.fieldByName(QStringLiteral("FiDate")).setValue(PostDate);
    t.post();
}

QList<double> amountsInView(Table& t)
{
    QList<double> out;
    for (t.first(); !t.eof(); t.next())
        out << t.fieldByName(QStringLiteral("Amount")).asFloat();
    return out;
}

double sumInView(Table& t)
{
    double s = 0;
    for (t.first(); !t.eof(); t.next())
        s += t.fieldByName(QStringLiteral("Amount")).asFloat();
    return s;
}

} // namespace

class TstSharing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    // 1. another copy holds the write lock
    void busyWriter_data();
    void busyWriter();

    // 2. a copy killed while posting
    void killedWhilePostingKeepsCommittedRows();
    void killedInsideTransactionLeavesNoTrace();

    // 3. copies posting at once
    void twoCopiesPostingAtOnceLoseNothing();
    void sameKeyFromTwoCopiesStoredOnce();

    // 4. seeing the other copy's work
    void otherCopysChangesSeenAfterReRead();
    void linkedDetailSumsOtherCopysRows();
    void readingPassLetsOtherCopiesWrite();

    // 5. the control file
    void sameUserNameRefusedWhileLive();
    void userNameFreeAfterCopyEnds_data();
    void userNameFreeAfterCopyEnds();
    void differentNamesSideBySide();
    void userNameLongerThanControlSlot();
    void serverGuardsUserNameAcrossMachines();

    // 6. pack
    void packRefusedWhileOtherCopyHoldsDatabase_data();
    void packRefusedWhileOtherCopyHoldsDatabase();
    void packByOtherCopyRefusedWhileWeHoldDatabase();

    // 7. damaged year database
    void damagedYearDatabase_data();
    void damagedYearDatabase();
};

void TstSharing::initTestCase()
{
    const QString child = QCoreApplication::applicationDirPath() + QStringLiteral("/sharing_child");
    QVERIFY2(QFileInfo(child).isExecutable(), qPrintable(child + QStringLiteral(" is missing")));
}

// ------------------------------------------------------------------ 1

void TstSharing::busyWriter_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("insert") << QStringLiteral("insert");
    QTest::newRow("edit") << QStringLiteral("edit");
    QTest::newRow("delete") << QStringLiteral("delete");
}

// While another copy holds a write transaction our change waits the busy
// timeout and is refused with a text of its own; the row stays pending and
// goes in once the other copy has let go. Both copies' rows are kept.
void TstSharing::busyWriter()
{
    QFETCH(QString, action);
    TestRoot r;
    auto s = r.session(QStringLiteral("Poster"));
    auto t = r.table(*s, QStringLiteral("t2_1"));
    if (action != QLatin1String("insert"))
        postReceipt(*t, Account, 10);

    Copy holder(r, {QStringLiteral("hold-write"), r.root, r.year, QStringLiteral("60")});
    QCOMPARE(holder.waitFor(QStringLiteral("ready")), QStringLiteral("ready"));

    QElapsedTimer clock;
    QString err;
    if (action == QLatin1String("insert")) {
        t->append();
        t->fieldByName(QStringLiteral("FaceBill")).setValue(Account);
        t->fieldByName(QStringLiteral("Amount")).setValue(123.45);
        t->fieldByName(QStringLiteral("FiDate")).setValue(PostDate);
        clock.start();
        err = storeError([&] { t->post(); });
    } else if (action == QLatin1String("edit")) {
        t->first();
        t->edit();
        t->fieldByName(QStringLiteral("Amount")).setValue(123.45);
        clock.start();
        err = storeError([&] { t->post(); });
    } else {
        t->first();
        clock.start();
        err = storeError([&] { t->remove(); });
    }
    const qint64 waited = clock.elapsed();

    QVERIFY2(!err.isEmpty(), "the change went through while another copy held the write lock");
    QVERIFY2(!isConditionText(err), qPrintable(err));
    QCOMPARE(err, Session::busyText(yearName(r)));
    QVERIFY2(waited >= BusyTimeoutMs * 9 / 10, qPrintable(QStringLiteral("gave up after %1 ms").arg(waited)));
    QVERIFY2(waited < BusyTimeoutMs + 5000, qPrintable(QStringLiteral("waited %1 ms").arg(waited)));

    if (action == QLatin1String("insert")) {
        QCOMPARE(t->state(), TableState::Insert);
        QCOMPARE(t->fieldByName(QStringLiteral("FaceBill")).asString(), Account);
        QCOMPARE(t->fieldByName(QStringLiteral("Amount")).asFloat(), 123.45);
    } else if (action == QLatin1String("edit")) {
        QCOMPARE(t->state(), TableState::Edit);
        QCOMPARE(t->fieldByName(QStringLiteral("Amount")).asFloat(), 123.45);
    } else {
        QCOMPARE(t->state(), TableState::Browse);
        QCOMPARE(t->recordCount(), 1);
        QCOMPARE(t->fieldByName(QStringLiteral("Amount")).asFloat(), 10.0);
    }

    holder.go();
    QCOMPARE(holder.waitFor(QStringLiteral("released")), QStringLiteral("released"));
    QCOMPARE(holder.finish(), 0);

    if (action == QLatin1String("delete"))
        t->remove();
    else
        t->post();
    QCOMPARE(t->state(), TableState::Browse);

    const QList<double> expected = action == QLatin1String("delete") ? QList<double>{} : QList<double>{123.45};
    t->setRange({Account}, {Account});
    QCOMPARE(amountsInView(*t), expected);
    QCOMPARE(storedAmounts(r, QStringLiteral("HOLDER")), QList<int>{1});
    QCOMPARE(t->connection().integrityCheck(), QStringLiteral("ok"));
}

// ------------------------------------------------------------------ 2

// A copy is killed at some point of a stream of posts, three times over:
// every row it reported committed is there, at most the one it was about to
// report besides, the file is sound and both this copy and a new one under
// the same user name can write.
void TstSharing::killedWhilePostingKeepsCommittedRows()
{
    TestRoot r;
    QSet<int> reported, allowed;
    const int killAfter[] = {1, 40, 150};
    for (int round = 0; round < 3; ++round) {
        const int base = (round + 1) * 100000;
        Copy c(r, {QStringLiteral("post-stream"), r.root, r.year, QStringLiteral("Streamer"), Account,
                QString::number(base), QStringLiteral("90000")});
        QCOMPARE(c.waitFor(QStringLiteral("ready")), QStringLiteral("ready"));
        QVERIFY(c.waitCount(QStringLiteral("posted"), killAfter[round]));
        c.killHard();
        QVERIFY(c.crashed());
        QVERIFY(c.errorText().isEmpty());
        const QSet<int> mine = toInts(c.values(QStringLiteral("posted")));
        QVERIFY(mine.size() >= killAfter[round]);
        reported += mine;
        allowed += mine;
        allowed.insert(base + int(mine.size()));   // committed, not yet reported

        const QList<int> stored = storedAmounts(r, Account);
        const QSet<int> storedSet(stored.begin(), stored.end());
        QCOMPARE(storedSet.size(), stored.size());
        for (int k : std::as_const(reported))
            QVERIFY2(storedSet.contains(k), qPrintable(QStringLiteral("reported row %1 lost").arg(k)));
        for (int k : storedSet)
            QVERIFY2(allowed.contains(k), qPrintable(QStringLiteral("row %1 was never posted").arg(k)));
    }

    auto s = r.session(QStringLiteral("Checker"));
    auto t = r.table(*s, QStringLiteral("t2_1"));
    QCOMPARE(t->connection().integrityCheck(), QStringLiteral("ok"));
    const int before = t->recordCount();
    QVERIFY(before >= 191);
    postReceipt(*t, Account, 7);
    Copy again(r, {QStringLiteral("post-stream"), r.root, r.year, QStringLiteral("Streamer"), Account,
                QStringLiteral("9000"), QStringLiteral("3")});
    QCOMPARE(again.finish(), 0);
    QCOMPARE(toInts(again.values(QStringLiteral("posted"))), (QSet<int>{9000, 9001, 9002}));
    t->first();
    QCOMPARE(t->recordCount(), before + 4);
    QCOMPARE(t->connection().integrityCheck(), QStringLiteral("ok"));
}

// Killed with a write transaction open whose pages already went into the
// database file: the next copy rolls the hot journal back, none of the
// uncommitted rows appear and the committed ones are intact.
void TstSharing::killedInsideTransactionLeavesNoTrace()
{
    TestRoot r;
    {
        auto s = r.session(QStringLiteral("Before"));
        auto t = r.table(*s, QStringLiteral("t2_1"));
        for (int i = 1; i <= 5; ++i)
            postReceipt(*t, Account, i);
    }
    // On the server the uncommitted rows went to it, and the killed copy's
    // transaction ends with its connection.
    const QString journal =
        onServer() ? QString() : Session::databasePath(r.year, schema::Location::Year) + QStringLiteral("-journal");

    Copy c(r, {QStringLiteral("write-uncommitted"), r.root, r.year, QStringLiteral("Dirty"), QStringLiteral("DIRTY"),
            QStringLiteral("3000")});
    QCOMPARE(c.waitFor(QStringLiteral("dirty")), QStringLiteral("dirty"));
    if (!onServer())
        QVERIFY2(QFileInfo(journal).size() > 0, "no hot journal: the kill would prove nothing");
    c.killHard();
    QVERIFY(c.crashed());
    if (!onServer())
        QVERIFY(QFileInfo::exists(journal));

    auto s = r.session(QStringLiteral("Dirty"));   // the killed copy's name is free again
    auto t = r.table(*s, QStringLiteral("t2_1"));
    QCOMPARE(t->recordCount(), 5);
    QCOMPARE(amountsInView(*t), (QList<double>{1, 2, 3, 4, 5}));
    QCOMPARE(t->connection().integrityCheck(), QStringLiteral("ok"));
    if (!onServer())
        QVERIFY(!QFileInfo::exists(journal));
    postReceipt(*t, QStringLiteral("DIRTY"), 1000000);   // the first uncommitted key is free
    QCOMPARE(storedAmounts(r, QStringLiteral("DIRTY")), QList<int>{1000000});
}

// ------------------------------------------------------------------ 3

// Two copies post 300 rows each to one account at the same moment, while
// this copy keeps re-reading the table: every row arrives, counts are exact,
// and neither the posting copies nor the reading one is turned away.
void TstSharing::twoCopiesPostingAtOnceLoseNothing()
{
    TestRoot r;
    const int n = 300;
    Copy a(r, {QStringLiteral("post-stream"), r.root, r.year, QStringLiteral("Anna"), Account, QStringLiteral("1"),
            QString::number(n), QStringLiteral("wait-go")});
    Copy b(r, {QStringLiteral("post-stream"), r.root, r.year, QStringLiteral("Boris"), Account, QStringLiteral("1001"),
            QString::number(n), QStringLiteral("wait-go")});
    QCOMPARE(a.waitFor(QStringLiteral("ready")), QStringLiteral("ready"));
    QCOMPARE(b.waitFor(QStringLiteral("ready")), QStringLiteral("ready"));

    auto s = r.session(QStringLiteral("Reader"));
    auto t = r.table(*s, QStringLiteral("t2_1"));
    a.go();
    b.go();
    int seen = 0, reads = 0;
    QStringList refusedReads;
    while (a.running() || b.running()) {
        int now = -1;
        const QString err = storeError([&] {
            t->first();
            now = t->recordCount();
        });
        if (!err.isEmpty()) {
            refusedReads << err;
        } else {
            QVERIFY2(now >= seen, "rows disappeared while the other copies were posting");
            seen = now;
        }
        ++reads;
        a.lines();   // keep their pipes drained
        b.lines();
        QTest::qWait(5);
    }
    const int codeA = a.finish(), codeB = b.finish();
    QStringList problems = streamProblems(a, QStringLiteral("Anna")) + streamProblems(b, QStringLiteral("Boris"));
    if (!refusedReads.isEmpty())
        problems << QStringLiteral("the reading copy was refused %1 of %2 reads: %3")
                        .arg(refusedReads.size())
                        .arg(reads)
                        .arg(refusedReads.first());
    qInfo("longest post: Anna %d ms, Boris %d ms", longestPost(a), longestPost(b));

    // Whatever went wrong, what a copy reported posted is stored, and only that.
    const QSet<int> reported = toInts(a.values(QStringLiteral("posted"))) + toInts(b.values(QStringLiteral("posted")));
    const QList<int> stored = storedAmounts(r, Account);
    QCOMPARE(QSet<int>(stored.begin(), stored.end()), reported);
    QCOMPARE(int(reported.size()), int(stored.size()));

    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    QCOMPARE(codeA, 0);
    QCOMPARE(codeB, 0);
    QCOMPARE(a.values(QStringLiteral("posted")).size(), n);
    QCOMPARE(b.values(QStringLiteral("posted")).size(), n);
    QVERIFY(a.values(QStringLiteral("dup")).isEmpty());
    QVERIFY(b.values(QStringLiteral("dup")).isEmpty());

    QList<int> expected;
    for (int i = 0; i < n; ++i)
        expected << 1 + i;
    for (int i = 0; i < n; ++i)
        expected << 1001 + i;
    QCOMPARE(stored, expected);

    t->first();
    QCOMPARE(t->recordCount(), 2 * n);
    QCOMPARE(sumInView(*t), double(n * (n + 1) / 2 + n * 1000 + n * (n + 1) / 2));
    QCOMPARE(t->connection().integrityCheck(), QStringLiteral("ok"));
}

// Two copies post the same keys at once: each key goes in exactly once, the
// other copy hears "Key violation." for it.
void TstSharing::sameKeyFromTwoCopiesStoredOnce()
{
    TestRoot r;
    const int n = 150;
    Copy a(r, {QStringLiteral("post-stream"), r.root, r.year, QStringLiteral("Anna"), Account, QStringLiteral("1"),
            QString::number(n), QStringLiteral("wait-go")});
    Copy b(r, {QStringLiteral("post-stream"), r.root, r.year, QStringLiteral("Boris"), Account, QStringLiteral("1"),
            QString::number(n), QStringLiteral("wait-go")});
    QCOMPARE(a.waitFor(QStringLiteral("ready")), QStringLiteral("ready"));
    QCOMPARE(b.waitFor(QStringLiteral("ready")), QStringLiteral("ready"));
    a.go();
    b.go();
    const int codeA = a.finish(), codeB = b.finish();
    const QStringList problems = streamProblems(a, QStringLiteral("Anna")) + streamProblems(b, QStringLiteral("Boris"));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    QCOMPARE(codeA, 0);
    QCOMPARE(codeB, 0);

    const QSet<int> pa = toInts(a.values(QStringLiteral("posted"))), pb = toInts(b.values(QStringLiteral("posted")));
    const QSet<int> da = toInts(a.values(QStringLiteral("dup"))), db = toInts(b.values(QStringLiteral("dup")));
    QCOMPARE(pa.size() + da.size(), n);
    QCOMPARE(pb.size() + db.size(), n);
    QVERIFY2(!pa.intersects(pb), "one key was posted by both copies");
    QSet<int> all;
    for (int i = 1; i <= n; ++i)
        all.insert(i);
    QCOMPARE(pa + pb, all);   // every key posted by one of them
    QCOMPARE(da, pb);
    QCOMPARE(db, pa);

    QList<int> expected;
    for (int i = 1; i <= n; ++i)
        expected << i;
    QCOMPARE(storedAmounts(r, Account), expected);
}

// ------------------------------------------------------------------ 4

// Rows another copy posted, changed or deleted show after first() (which
// re-reads a view whose data changed), after refresh() and after close and
// open; cached values of this copy do not hide the other copy's change.
void TstSharing::otherCopysChangesSeenAfterReRead()
{
    TestRoot r;
    auto s = r.session(QStringLiteral("Me"));
    auto t = r.table(*s, QStringLiteral("t2_1"));
    auto u = r.table(*s, QStringLiteral("t2_1"));
    postReceipt(*t, Account, 10);
    postReceipt(*t, Account, 20);
    QCOMPARE(amountsInView(*t), (QList<double>{10, 20}));
    QCOMPARE(amountsInView(*u), (QList<double>{10, 20}));

    const QStringList other = {r.root, r.year, QStringLiteral("Other")};
    {
        Copy c(r, QStringList{QStringLiteral("post-stream")} + other + QStringList{Account, "100", "3"});
        QCOMPARE(c.finish(), 0);
        QCOMPARE(c.values(QStringLiteral("posted")).size(), 3);
    }
    QCOMPARE(amountsInView(*t), (QList<double>{10, 20, 100, 101, 102}));
    u->close();
    u->open();
    QCOMPARE(u->recordCount(), 5);

    {
        Copy c(r, QStringList{QStringLiteral("exec")} + other +
               QStringList{QStringLiteral("UPDATE t2_1 SET \"Amount\" = 25 WHERE \"Amount\" = 20")});
        QCOMPARE(c.finish(), 0);
    }
    QCOMPARE(amountsInView(*t), (QList<double>{10, 25, 100, 101, 102}));
    u->refresh();
    u->setRecNo(2);
    QCOMPARE(u->fieldByName(QStringLiteral("Amount")).asFloat(), 25.0);

    {
        Copy c(r, QStringList{QStringLiteral("exec")} + other +
               QStringList{QStringLiteral("DELETE FROM t2_1 WHERE \"Amount\" IN (10, 101)")});
        QCOMPARE(c.finish(), 0);
    }
    QCOMPARE(amountsInView(*t), (QList<double>{25, 100, 102}));
    QCOMPARE(amountsInView(*u), (QList<double>{25, 100, 102}));

    // A table closed and opened again keeps the rows it read only while
    // nobody wrote: another copy's change, our own through another table,
    // and the database file opened anew all show.
    u->close();
    {
        Copy c(r, QStringList{QStringLiteral("exec")} + other +
               QStringList{QStringLiteral("UPDATE t2_1 SET \"Amount\" = 27 WHERE \"Amount\" = 25")});
        QCOMPARE(c.finish(), 0);
    }
    u->open();
    QCOMPARE(amountsInView(*u), (QList<double>{27, 100, 102}));
    u->close();
    t->first();
    t->edit();
    t->fieldByName(QStringLiteral("Amount")).setValue(25.0);
    t->post();
    u->open();
    QCOMPARE(amountsInView(*u), (QList<double>{25, 100, 102}));
    t->close();
    u->close();
    s->closeDatabase(r.year);
    {
        Copy c(r, QStringList{QStringLiteral("exec")} + other +
               QStringList{QStringLiteral("UPDATE t2_1 SET \"Amount\" = 20 WHERE \"Amount\" = 25")});
        QCOMPARE(c.finish(), 0);
    }
    u->open();
    t->open();
    QCOMPARE(amountsInView(*u), (QList<double>{20, 100, 102}));

    // Our own change on top of the other copy's is seen by both of our tables.
    t->first();
    t->edit();
    t->fieldByName(QStringLiteral("Amount")).setValue(26.0);
    t->post();
    QCOMPARE(amountsInView(*u), (QList<double>{26, 100, 102}));
    QCOMPARE(storedAmounts(r, Account), (QList<int>{26, 100, 102}));
}

// A detail linked to its master sums the stored rows of the master's row,
// the other copy's included, also when the other copy posts while this copy
// stands on the master row.
void TstSharing::linkedDetailSumsOtherCopysRows()
{
    TestRoot r;
    auto s = r.session(QStringLiteral("Me"));
    auto master = r.table(*s, QStringLiteral("t1"));
    master->appendRecord({QStringLiteral("40101"), QVariant(), 0.0, 0.0, 0.0});
    master->appendRecord({QStringLiteral("40102"), QVariant(), 0.0, 0.0, 0.0});
    auto detail = r.table(*s, QStringLiteral("t2_1"));
    detail->setMaster(master.get(), QStringLiteral("FaceBill"), QStringLiteral("Facebill"));
    master->first();
    postReceipt(*detail, QStringLiteral("40101"), 10);
    postReceipt(*detail, QStringLiteral("40101"), 20);
    QCOMPARE(sumInView(*detail), 30.0);

    const QStringList other = {r.root, r.year, QStringLiteral("Other")};
    {
        Copy c(r, QStringList{QStringLiteral("post-stream")} + other + QStringList{"40101", "100", "3"});
        QCOMPARE(c.finish(), 0);
        Copy d(r, QStringList{QStringLiteral("post-stream")} + other + QStringList{"40102", "7", "1"});
        QCOMPARE(d.finish(), 0);
    }
    // Still on 40101: the detail alone re-reads.
    QCOMPARE(master->fieldByName(QStringLiteral("Facebill")).asString(), QStringLiteral("40101"));
    QCOMPARE(sumInView(*detail), 30.0 + 100 + 101 + 102);
    master->next();
    QCOMPARE(master->fieldByName(QStringLiteral("Facebill")).asString(), QStringLiteral("40102"));
    QCOMPARE(sumInView(*detail), 7.0);

    {
        Copy c(r, QStringList{QStringLiteral("exec")} + other +
               QStringList{QStringLiteral("UPDATE t2_1 SET \"Amount\" = 8 WHERE \"FaceBill\" = '40102'")});
        QCOMPARE(c.finish(), 0);
        Copy d(r, QStringList{QStringLiteral("post-stream")} + other + QStringList{"40101", "1000", "1"});
        QCOMPARE(d.finish(), 0);
    }
    master->first();
    QCOMPARE(sumInView(*detail), 30.0 + 100 + 101 + 102 + 1000);
    master->next();
    QCOMPARE(sumInView(*detail), 8.0);
    QCOMPARE(detail->recordCount(), 1);

    // The other copy's details keep the master row from being deleted.
    master->first();
    QCOMPARE(storeError([&] { master->remove(); }), QString::fromLatin1(schema::MasterHasDetails));
}

// A long reading pass (a report being generated) holds its read lock a slice
// at a time: another copy posting meanwhile gets through without a refusal,
// the pass sees its rows after the next slice, a write of our own inside the
// pass is stored, and the end of the pass leaves no lock behind.
void TstSharing::readingPassLetsOtherCopiesWrite()
{
    TestRoot r;
    auto s = r.session(QStringLiteral("Me"));
    auto t = r.table(*s, QStringLiteral("t2_1"));
    postReceipt(*t, Account, 10);
    const QStringList other = {r.root, r.year, QStringLiteral("Other")};
    {
        ReadScope pass(s.get());
        QCOMPARE(amountsInView(*t), (QList<double>{10}));
        Copy c(r, QStringList{QStringLiteral("post-stream")} + other + QStringList{Account, "100", "20"});
        QElapsedTimer clock;
        clock.start();
        while (!c.waitCount(QStringLiteral("done"), 1, 5) && c.running() && clock.elapsed() < 20000)
            (void)amountsInView(*t);   // reads go on all the while
        QCOMPARE(c.finish(), 0);
        QCOMPARE(streamProblems(c, QStringLiteral("Other")), QStringList());
        QCOMPARE(c.values(QStringLiteral("posted")).size(), 20);
        QVERIFY2(longestPost(c) < 2000, qPrintable(QString::number(longestPost(c))));

        QThread::msleep(ReadSliceMs + 20);
        QCOMPARE(amountsInView(*t).size(), 21);
        postReceipt(*t, Account, 5);
        QCOMPARE(amountsInView(*t).size(), 22);
    }
    QCOMPARE(storedAmounts(r, Account).size(), 22);

    // Nothing of the pass holds the database: another connection gets it
    // whole at once (on the server: no transaction of ours is left open,
    // which would hold back another copy's pack).
    if (onServer()) {
        QCOMPARE(onRootServer(r, QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                                "current_database() AND state LIKE 'idle in transaction%'")),
                 QStringList{QStringLiteral("0")});
        return;
    }
    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(Session::databasePath(r.year, schema::Location::Year));
    QCOMPARE(sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);
}

// ------------------------------------------------------------------ 5

// A second live copy under a user name already at work is refused, whichever
// copy comes second and whatever the letter case; the refusal leaves nothing
// behind.
void TstSharing::sameUserNameRefusedWhileLive()
{
    TestRoot r;
    const QString name = QStringLiteral("Иванова");
    Copy holder(r, {QStringLiteral("hold-open"), r.root, r.year, name, QStringLiteral("60")});
    QVERIFY(holder.waitFor(QStringLiteral("ready")).startsWith(QLatin1String("ready")));

    for (const QString& attempt : {name, QStringLiteral("ИВАНОВА"), QStringLiteral("иванова")}) {
        Session s;
        s.setControlDir(r.root);
        s.addParam(QStringLiteral("USER NAME=") + attempt);
        const QString err = storeError([&] { s.open(); });
        QVERIFY2(!err.isEmpty(), qPrintable(attempt + QStringLiteral(" was let in twice")));
        QCOMPARE(err, Session::sameUserText(attempt));
        QVERIFY2(hasCyrillic(QString(err).remove(attempt)), qPrintable(err));   // told in Russian
        QVERIFY(!s.isOpen());
    }

    // This copy works as someone else; a further copy under the held name is
    // refused too, one under a new name is let in and sees all three.
    auto me = r.session(QStringLiteral("Петров"));
    Copy twin(r, {QStringLiteral("try-open"), r.root, QStringLiteral("иВАНОВА")});
    QCOMPARE(twin.finish(), 3);
    QVERIFY2(twin.errorText().contains(QStringLiteral("иВАНОВА")), qPrintable(twin.errorText()));
    Copy twinOfMine(r, {QStringLiteral("try-open"), r.root, QStringLiteral("петров")});
    QCOMPARE(twinOfMine.finish(), 3);
    Copy fresh(r, {QStringLiteral("try-open"), r.root, QStringLiteral("Сидоров")});
    QCOMPARE(fresh.finish(), 0);
    QStringList live = fresh.values(QStringLiteral("ok")).value(0).split(QLatin1Char('|'));
    live.sort();
    QCOMPARE(live, (QStringList{QStringLiteral("Иванова"), QStringLiteral("Петров"), QStringLiteral("Сидоров")}));

    holder.go();
    QCOMPARE(holder.finish(), 0);
}

void TstSharing::userNameFreeAfterCopyEnds_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("exits") << false;
    QTest::newRow("killed") << true;
}

// Once the copy under a name has ended, normally or killed, the name is free
// and no longer listed.
void TstSharing::userNameFreeAfterCopyEnds()
{
    QFETCH(bool, killed);
    TestRoot r;
    auto watcher = r.session(QStringLiteral("Наблюдатель"));
    const QString name = QStringLiteral("Сидоров");
    Copy c(r, {QStringLiteral("hold-open"), r.root, r.year, name, QStringLiteral("60")});
    QVERIFY(c.waitFor(QStringLiteral("ready")).startsWith(QLatin1String("ready")));
    QVERIFY(watcher->liveUsers().contains(name));
    QVERIFY(!storeError([&] { r.session(name); }).isEmpty());

    if (killed) {
        c.killHard();
        QVERIFY(c.crashed());
    } else {
        c.go();
        QCOMPARE(c.finish(), 0);
    }
    QCOMPARE(watcher->liveUsers(), QStringList{QStringLiteral("Наблюдатель")});

    std::unique_ptr<Session> again;
    QCOMPARE(storeError([&] { again = r.session(name); }), QString());
    auto t = r.table(*again, QStringLiteral("t2_1"));
    postReceipt(*t, Account, 1);
    QStringList live = watcher->liveUsers();
    live.sort();
    QCOMPARE(live, (QStringList{QStringLiteral("Наблюдатель"), name}));
    Copy next(r, {QStringLiteral("try-open"), r.root, name});
    QCOMPARE(next.finish(), 3);
}

// Copies under different names work on one year database side by side, each
// listed once; a long full name is kept whole.
void TstSharing::differentNamesSideBySide()
{
    TestRoot r;
    const QString longName = QStringLiteral("Константинопольская Александра Владимировна");
    auto me = r.session(QStringLiteral("Петров"));
    auto t = r.table(*me, QStringLiteral("t2_1"));
    postReceipt(*t, Account, 1);
    Copy a(r, {QStringLiteral("hold-open"), r.root, r.year, QStringLiteral("Иванова"), QStringLiteral("60")});
    Copy b(r, {QStringLiteral("hold-open"), r.root, r.year, longName, QStringLiteral("60")});
    QCOMPARE(a.waitFor(QStringLiteral("ready")), QStringLiteral("ready\t1"));
    QCOMPARE(b.waitFor(QStringLiteral("ready")), QStringLiteral("ready\t1"));

    QStringList live = me->liveUsers();
    live.sort();
    QStringList expected = {QStringLiteral("Иванова"), longName, QStringLiteral("Петров")};
    expected.sort();
    QCOMPARE(live, expected);

    Copy twin(r, {QStringLiteral("try-open"), r.root, longName});
    QCOMPARE(twin.finish(), 3);

    postReceipt(*t, Account, 2);
    a.go();
    QCOMPARE(a.finish(), 0);
    live = me->liveUsers();
    live.sort();
    expected.removeAll(QStringLiteral("Иванова"));
    QCOMPARE(live, expected);
    b.go();
    QCOMPARE(b.finish(), 0);
    QCOMPARE(me->liveUsers(), QStringList{QStringLiteral("Петров")});
}

// A name of more letters than the control file's slot holds in UTF-8 is
// either refused outright with a clear text, or held whole: a second copy
// under it refused, the list showing it unmangled.
void TstSharing::userNameLongerThanControlSlot()
{
    TestRoot r;
    const QString name = QString(70, QChar(0x0416));   // "ЖЖЖ...": 140 bytes in UTF-8
    Copy first(r, {QStringLiteral("hold-open"), r.root, r.year, name, QStringLiteral("60")});
    const QString line = first.waitFor(QStringLiteral("ready"));
    if (line.startsWith(QLatin1String("error"))) {
        QVERIFY2(hasCyrillic(QString(first.errorText()).remove(name)), qPrintable(first.errorText()));
        return;
    }
    QVERIFY(line.startsWith(QLatin1String("ready")));
    Copy twin(r, {QStringLiteral("try-open"), r.root, name});
    QVERIFY2(twin.finish() == 3, "a second copy under the same long name was let in");
    auto me = r.session(QStringLiteral("Петров"));
    QVERIFY2(me->liveUsers().contains(name), qPrintable(me->liveUsers().join(QLatin1Char('|'))));
    first.go();
    QCOMPARE(first.finish(), 0);
}

// Copies on other machines share the server but not the control file (its
// locks may not reach over the network): the server alone keeps a user name
// to one copy, with the same text, and frees it the moment that copy's
// connection ends, also when the copy was killed. Its list of copies names
// each live one once.
void TstSharing::serverGuardsUserNameAcrossMachines()
{
    if (!onServer())
        QSKIP("two roots of files are two year databases: only a server joins them");
    TestRoot r;
    const QString elsewhere = r.tmp.path() + QStringLiteral("/Elsewhere/DataBase");
    const QString elsewhereYear = elsewhere + QStringLiteral("/2004");
    QVERIFY(QDir().mkpath(elsewhereYear));
    auto copies = [&] {
        return onRootServer(r, QStringLiteral("SELECT user_name || ' ' || pid FROM control.copies ORDER BY 1"));
    };
    const QString name = QStringLiteral("Иванова");
    Copy holder(r, {QStringLiteral("hold-open"), elsewhere, elsewhereYear, name, QStringLiteral("60")});
    QVERIFY(holder.waitFor(QStringLiteral("ready")).startsWith(QLatin1String("ready")));
    const QStringList held = {name + QLatin1Char(' ') + QString::number(holder.pid())};
    QCOMPARE(copies(), held);

    for (const QString& attempt : {name, QStringLiteral("иВАНОВА")}) {
        auto s = r.session(attempt);
        QCOMPARE(storeError([&] { r.table(*s, QStringLiteral("t2_1")); }), Session::sameUserText(attempt));
    }
    QCOMPARE(copies(), held);   // the refusals left nothing behind
    {
        auto s = r.session(QStringLiteral("Петров"));
        QCOMPARE(storeError([&] { r.table(*s, QStringLiteral("t2_1")); }), QString());
        QCOMPARE(copies().size(), 2);
    }
    QCOMPARE(copies(), held);

    holder.killHard();
    QVERIFY(holder.crashed());
    auto s = r.session(name);
    std::unique_ptr<Table> t;
    QCOMPARE(storeError([&] { t = r.table(*s, QStringLiteral("t2_1")); }), QString());
    postReceipt(*t, Account, 1);
    QCOMPARE(copies(), QStringList{name + QLatin1Char(' ') + QString::number(QCoreApplication::applicationPid())});

    Copy twin(r, {QStringLiteral("read"), elsewhere, elsewhereYear, QStringLiteral("ИВАНОВА"), QStringLiteral("t2_1")});
    QCOMPARE(twin.finish(), 3);
    QCOMPARE(twin.errorText(), Session::sameUserText(QStringLiteral("ИВАНОВА")));
}

// ------------------------------------------------------------------ 6

void TstSharing::packRefusedWhileOtherCopyHoldsDatabase_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("other copy exits") << false;
    QTest::newRow("other copy killed") << true;
}

// Pack needs the year database alone: refused with a clear text while
// another copy has it open, the data untouched; once the other copy is gone
// the pack goes through and keeps rows and rules.
void TstSharing::packRefusedWhileOtherCopyHoldsDatabase()
{
    QFETCH(bool, killed);
    TestRoot r;
    auto s = r.session(QStringLiteral("Packer"));
    auto law = r.table(*s, QStringLiteral("law_spr"));
    law->appendRecord({QStringLiteral("01"), QStringLiteral("Закон"), QVariant()});
    auto master = r.table(*s, QStringLiteral("t1"));
    master->appendRecord({QStringLiteral("40101"), QVariant(), 0.0, 0.0, 0.0});
    auto t = r.table(*s, QStringLiteral("t2_1"));
    for (int i = 1; i <= 10; ++i)
        postReceipt(*t, QStringLiteral("40101"), i, QStringLiteral("01"));
    for (double gone : {3.0, 4.0}) {
        QVERIFY(t->findKey({QStringLiteral("40101"), QStringLiteral("01"), gone, PostDate}));
        t->remove();
    }
    const QList<double> kept = {1, 2, 5, 6, 7, 8, 9, 10};
    QCOMPARE(amountsInView(*t), kept);

    Copy other(r, {QStringLiteral("hold-open"), r.root, r.year, QStringLiteral("Other"), QStringLiteral("60")});
    QCOMPARE(other.waitFor(QStringLiteral("ready")), QStringLiteral("ready\t8"));

    const QString err = storeError([&] { t->pack(); });
    QVERIFY2(!err.isEmpty(), "packed while another copy had the database open");
    QVERIFY2(!isConditionText(err), qPrintable(err));
    QCOMPARE(err, packRefusedText(QStringLiteral("t2_1")));
    QVERIFY(t->isOpen());
    QCOMPARE(t->state(), TableState::Browse);
    QCOMPARE(amountsInView(*t), kept);
    QCOMPARE(t->connection().integrityCheck(), QStringLiteral("ok"));
    postReceipt(*t, QStringLiteral("40101"), 11, QStringLiteral("01"));   // still writable
    t->last();
    t->remove();

    if (killed) {
        other.killHard();
        QVERIFY(other.crashed());
    } else {
        other.go();
        QCOMPARE(other.finish(), 0);
    }
    QCOMPARE(storeError([&] { t->pack(); }), QString());
    QVERIFY(t->isOpen());
    QCOMPARE(amountsInView(*t), kept);
    QCOMPARE(t->connection().integrityCheck(), QStringLiteral("ok"));

    // The rules survive the pack.
    t->append();
    t->fieldByName(QStringLiteral("FaceBill")).setValue(QStringLiteral("40101"));
    t->fieldByName(QStringLiteral("LawRef")).setValue(QStringLiteral("01"));
    t->fieldByName(QStringLiteral("Amount")).setValue(5.0);
    t->fieldByName(QStringLiteral("FiDate")).setValue(PostDate);
    QCOMPARE(storeError([&] { t->post(); }), QString::fromLatin1(schema::KeyViolation));
    t->fieldByName(QStringLiteral("LawRef")).setValue(QStringLiteral("99"));
    QCOMPARE(storeError([&] { t->post(); }), QString::fromLatin1(schema::LookupViolation));
    t->cancel();
    master->first();
    QCOMPARE(storeError([&] { master->remove(); }), QString::fromLatin1(schema::MasterHasDetails));
    postReceipt(*t, QStringLiteral("40101"), 3, QStringLiteral("01"));   // a deleted key is free again

    // Another copy reads the packed table.
    Copy reader(r, {QStringLiteral("read"), r.root, r.year, QStringLiteral("Other"), QStringLiteral("t2_1")});
    QCOMPARE(reader.finish(), 0);
    QCOMPARE(reader.values(QStringLiteral("rows")), QStringList{QStringLiteral("9\tok")});
}

// The other way round: another copy's pack is refused while this copy has
// the database open, and goes through after this copy closed it.
void TstSharing::packByOtherCopyRefusedWhileWeHoldDatabase()
{
    TestRoot r;
    auto s = r.session(QStringLiteral("Holder"));
    auto t = r.table(*s, QStringLiteral("t2_1"));
    for (int i = 1; i <= 4; ++i)
        postReceipt(*t, Account, i);
    t->first();
    t->remove();

    const QStringList packArgs = {QStringLiteral("pack"), r.root, r.year, QStringLiteral("Packer"),
                                  QStringLiteral("t2_1")};
    {
        Copy c(r, packArgs);
        QCOMPARE(c.finish(), 3);
        QCOMPARE(c.errorText(), packRefusedText(QStringLiteral("t2_1")));
        QVERIFY(!isConditionText(c.errorText()));
    }
    QCOMPARE(amountsInView(*t), (QList<double>{2, 3, 4}));

    s->closeDatabase(r.year);
    QVERIFY(!t->isOpen());
    {
        Copy c(r, packArgs);
        QCOMPARE(c.finish(), 0);
        QCOMPARE(c.values(QStringLiteral("ok")).size(), 1);
    }
    t->open();
    QCOMPARE(amountsInView(*t), (QList<double>{2, 3, 4}));
    QCOMPARE(t->connection().integrityCheck(), QStringLiteral("ok"));
}

// ------------------------------------------------------------------ 7

void TstSharing::damagedYearDatabase_data()
{
    QTest::addColumn<QString>("damage");
    for (const char* d : {"random bytes", "text file", "empty file", "header only", "first page only",
                          "truncated to half", "pages overwritten", "another program's database", "directory"})
        QTest::newRow(d) << QString::fromLatin1(d);
}

// A year.db that is not a database of ours, or a damaged one, is refused
// with a clear text; neither another copy nor this one crashes, and this
// copy's session works on once the file is replaced.
void TstSharing::damagedYearDatabase()
{
    QFETCH(QString, damage);
    if (onServer())
        QSKIP("the year database is no file on the server");
    TestRoot r;
    const QString file = Session::databasePath(r.year, schema::Location::Year);
    {
        auto s = r.session(QStringLiteral("Filler"));
        auto t = r.table(*s, QStringLiteral("t2_1"));
        t->connection().write([&] {
            for (int i = 0; i < 3000; ++i) {
                Statement st(t->connection(), QStringLiteral("INSERT INTO t2_1 (FaceBill, Amount, FiDate, CBC) "
                                                             "VALUES ('40101', ?, '2004-03-15', NULL)"));
                st.bind(1, double(i), schema::FieldType::Float);
                st.run();
            }
        });
    }
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray real = f.readAll();
    f.close();
    QVERIFY(real.size() > 64 * 1024);
    const int pageSize = (uchar(real[16]) << 8) | uchar(real[17]);

    QByteArray bytes;
    bool asDirectory = false;
    if (damage == QLatin1String("random bytes")) {
        bytes.resize(64 * 1024);
        QRandomGenerator rng(20040315);
        for (auto& b : bytes)
            b = char(rng.bounded(256));
    } else if (damage == QLatin1String("text file")) {
        bytes = QStringLiteral("Остатки на 01.01.2004\r\n40101;1000,00\r\n").toUtf8().repeated(200);
    } else if (damage == QLatin1String("header only")) {
        bytes = real.left(100);
    } else if (damage == QLatin1String("first page only")) {
        bytes = real.left(pageSize);
    } else if (damage == QLatin1String("truncated to half")) {
        bytes = real.left(real.size() / pageSize / 2 * pageSize);
    } else if (damage == QLatin1String("pages overwritten")) {
        bytes = real;
        QRandomGenerator rng(7);
        for (qsizetype i = pageSize; i < bytes.size(); ++i)
            bytes[i] = char(rng.bounded(256));
    } else if (damage == QLatin1String("another program's database")) {
        QVERIFY(QFile::remove(file));
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(file).constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE t2_1 (x); INSERT INTO t2_1 VALUES (1)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    } else if (damage == QLatin1String("directory")) {
        asDirectory = true;
    }
    if (damage != QLatin1String("another program's database")) {
        QVERIFY(QFile::remove(file));
        if (asDirectory) {
            QVERIFY(QDir().mkpath(file));
        } else {
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            f.close();
        }
    }

    auto clearText = [&](const QString& err) {
        return !err.isEmpty() && !isConditionText(err) && hasCyrillic(err) && err.contains(QLatin1String("year.db"));
    };

    // Another copy opening the file: refused, no crash.
    Copy c(r, {QStringLiteral("read"), r.root, r.year, QStringLiteral("Other"), QStringLiteral("t2_1")});
    const int code = c.finish();
    QVERIFY2(!c.crashed(), "the other copy crashed");
    QVERIFY2(code == 3, qPrintable(c.lines().join(QLatin1Char('\n'))));
    QVERIFY2(clearText(c.errorText()), qPrintable(c.errorText()));

    // This copy: the same, and the session goes on working.
    auto s = r.session(QStringLiteral("Me"));
    const QString err = storeError([&] {
        auto t = r.table(*s, QStringLiteral("t2_1"));
        for (t->first(); !t->eof(); t->next())
            (void)t->fieldByName(QStringLiteral("Amount")).asFloat();
    });
    QVERIFY2(clearText(err), qPrintable(err));
    s->closeDatabase(r.year);

    if (asDirectory)
        QVERIFY(QDir(file).removeRecursively());
    else
        QVERIFY(QFile::remove(file));
    QFile::remove(file + QStringLiteral("-journal"));
    Session::createDatabase(r.year, schema::Location::Year);
    auto t = r.table(*s, QStringLiteral("t2_1"));
    postReceipt(*t, Account, 1);
    QCOMPARE(t->recordCount(), 1);
    Copy after(r, {QStringLiteral("read"), r.root, r.year, QStringLiteral("Other"), QStringLiteral("t2_1")});
    QCOMPARE(after.finish(), 0);
    QCOMPARE(after.values(QStringLiteral("rows")), QStringList{QStringLiteral("1\tok")});
}

QTEST_GUILESS_MAIN(TstSharing)
#include "tst_sharing.moc"
