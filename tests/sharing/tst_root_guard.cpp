// The files of a shared root that other users can write to: links and foreign
// files put in place of the program's own, a deleted control file, two copies
// on one local work directory. The other copies are sharing_child processes.
#include "tests/testroot.h"

#include <QFile>
#include <QProcess>
#include <sys/stat.h>
#include <unistd.h>

using namespace store;

namespace {

// Another copy of the program: sharing_child with one subcommand.
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
        p_.waitForStarted(10000);
    }
    ~Copy()
    {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished(10000);
        }
    }
    // The first line of its output (waiting for it), e.g. "ready\t0".
    QString firstLine(int ms = 20000)
    {
        while (!p_.canReadLine() && p_.state() != QProcess::NotRunning)
            p_.waitForReadyRead(ms);
        return QString::fromUtf8(p_.readLine()).trimmed();
    }
    // Lets it end (a line on its stdin) and waits for its exit code.
    int finish()
    {
        p_.write("go\n");
        p_.closeWriteChannel();
        if (!p_.waitForFinished(20000))
            return -1;
        return p_.exitStatus() == QProcess::NormalExit ? p_.exitCode() : -1;
    }

private:
    QProcess p_;
};

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
}

// The year databases on the tests' server rather than in files.
bool onServer() { return !qEnvironmentVariableIsEmpty("SALDINA_TEST_SERVER"); }

bool isLink(const QString& path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

class TstRootGuard : public QObject {
    Q_OBJECT

private slots:
    // A link, a directory or a foreign file put in place of the control file
    // or a database's lock file is refused by name; the file the link points
    // to keeps every byte.
    void controlAndLockFilesAsLinksOrForeign_data()
    {
        QTest::addColumn<QString>("which");   // control, year lock, work lock
        QTest::addColumn<QString>("what");    // link, directory, foreign
        for (const char* which : {"control", "year lock", "work lock"})
            for (const char* what : {"link", "directory", "foreign"})
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(which, what))) << which << what;
    }
    void controlAndLockFilesAsLinksOrForeign()
    {
        QFETCH(QString, which);
        QFETCH(QString, what);
        if (which == QLatin1String("year lock") && onServer())
            QSKIP("the server locks the year database itself, with no lock file");
        TestRoot r;
        const QString file = which == QLatin1String("control")     ? r.root + QStringLiteral("/saldina.dbp")
                             : which == QLatin1String("year lock") ? r.year + QStringLiteral("/year.lck")
                                                                   : r.local + QStringLiteral("/work.lck");
        const QString victim = r.tmp.path() + QStringLiteral("/victim.txt");
        const QByteArray victimBytes("a file of another user that must not change\n");
        writeAll(victim, victimBytes);
        if (what == QLatin1String("link"))
            QVERIFY(QFile::link(victim, file));
        else if (what == QLatin1String("directory"))
            QVERIFY(QDir().mkdir(file));
        else
            writeAll(file, victimBytes);

        QString err = storeError([&] {
            auto s = r.session();
            r.table(*s, which == QLatin1String("work lock") ? QStringLiteral("md") : QStringLiteral("t1"));
        });
        QVERIFY2(!err.isEmpty(), "the file was used");
        QVERIFY2(err.contains(file), qPrintable(err));
        if (what == QLatin1String("link"))
            QVERIFY2(err.contains(QStringLiteral("символической ссылкой")), qPrintable(err));
        else if (what == QLatin1String("directory"))
            QVERIFY2(err.contains(QStringLiteral("не является обычным файлом")), qPrintable(err));
        else
            QVERIFY2(err.contains(QStringLiteral("не является файлом программы")), qPrintable(err));
        QCOMPARE(readAll(victim), victimBytes);
        if (what == QLatin1String("foreign"))
            QCOMPARE(readAll(file), victimBytes);
        if (what == QLatin1String("link"))
            QVERIFY(isLink(file));

        // Put right, the root works again.
        if (what == QLatin1String("directory"))
            QVERIFY(QDir().rmdir(file));
        else
            QVERIFY(QFile::remove(file));
        err = storeError([&] {
            auto s = r.session();
            r.table(*s, QStringLiteral("t1"));
            r.table(*s, QStringLiteral("md"));
        });
        QCOMPARE(err, QString());
        QVERIFY(readAll(r.root + QStringLiteral("/saldina.dbp")).startsWith("Saldina control file\n"));
    }

    // The database files themselves, and the journal SQLite would write
    // beside one, are not opened through links.
    void databaseFilesAsLinks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("year database") << QStringLiteral("year.db");
        QTest::newRow("journal") << QStringLiteral("year.db-journal");
    }
    void databaseFilesAsLinks()
    {
        QFETCH(QString, name);
        if (onServer())
            QSKIP("the year database and its journal are no files on the server");
        TestRoot r;
        const QString file = r.year + QLatin1Char('/') + name;
        // A real database elsewhere, the link's target.
        const QString elsewhere = r.tmp.path() + QStringLiteral("/elsewhere");
        Session::createDatabase(elsewhere, schema::Location::Year);
        const QString target = Session::databasePath(elsewhere, schema::Location::Year);
        const QByteArray before = readAll(target);
        if (name == QLatin1String("year.db"))
            QVERIFY(QFile::remove(file));
        QVERIFY(QFile::link(target, file));

        const QString err = storeError([&] {
            auto s = r.session();
            auto t = r.table(*s, QStringLiteral("org_spr"));
            t->appendRecord({QStringLiteral("10101"), QStringLiteral("Школа")});
        });
        QVERIFY2(err.contains(file) && err.contains(QStringLiteral("символической ссылкой")), qPrintable(err));
        QCOMPARE(readAll(target), before);
    }

    // Deleting the control file while a copy works under a name does not let
    // a second copy in under that name; other names still come in, and the
    // name is free once the copy has ended.
    void deletedControlFileStillGuardsUserName()
    {
        TestRoot r;
        const QString name = QStringLiteral("Иванова");
        Copy holder(r, {QStringLiteral("hold-open"), r.root, r.year, name, QStringLiteral("60")});
        QVERIFY(holder.firstLine().startsWith(QLatin1String("ready")));
        QVERIFY(QFile::remove(r.root + QStringLiteral("/saldina.dbp")));

        for (const QString& attempt : {name, QStringLiteral("ИВАНОВА")}) {
            const QString err = storeError([&] {
                auto s = r.session(attempt);
                r.table(*s, QStringLiteral("t2_1"));
            });
            QVERIFY2(!err.isEmpty(), qPrintable(attempt + QStringLiteral(" was let in twice")));
            QVERIFY2(err.contains(attempt) && err.contains(QStringLiteral("уже работает")), qPrintable(err));
        }
        {
            auto s = r.session(QStringLiteral("Петров"));
            QCOMPARE(storeError([&] { r.table(*s, QStringLiteral("t2_1")); }), QString());
        }
        QCOMPARE(holder.finish(), 0);
        auto s = r.session(name);
        QCOMPARE(storeError([&] { r.table(*s, QStringLiteral("t2_1")); }), QString());
    }

    // Within one copy the claim on the year database outlives the closing of
    // another connection to the file (which drops the process's locks on it).
    void userNameClaimOutlivesOtherConnections()
    {
        TestRoot r;
        auto first = r.session(QStringLiteral("Первый"));
        auto t = r.table(*first, QStringLiteral("t2_1"));
        {
            auto second = r.session(QStringLiteral("Второй"));
            auto u = r.table(*second, QStringLiteral("t2_1"));
        }
        QVERIFY(QFile::remove(r.root + QStringLiteral("/saldina.dbp")));
        Copy twin(r, {QStringLiteral("read"), r.root, r.year, QStringLiteral("первый"), QStringLiteral("t2_1")});
        QVERIFY2(twin.firstLine().contains(QStringLiteral("уже работает")), "a second copy of Первый was let in");
        QCOMPARE(twin.finish(), 3);
    }

    // Two copies on one local work directory: the second is refused when it
    // opens the work database, naming the directory, before it writes there.
    void sharedLocalWorkDirectoryRefused()
    {
        TestRoot r;
        Copy holder(r, {QStringLiteral("hold-open"), r.root, r.local, QStringLiteral("Иванова"), QStringLiteral("60"),
                     QStringLiteral("md")});
        QVERIFY(holder.firstLine().startsWith(QLatin1String("ready")));

        auto s = r.session(QStringLiteral("Петров"));
        const QString err = storeError([&] {
            auto md = r.table(*s, QStringLiteral("md"));
            md->emptyTable();
        });
        QVERIFY2(err.contains(QDir::toNativeSeparators(r.local)) && err.contains(QStringLiteral("рабочий каталог")),
                 qPrintable(err));
        // The year database is shared as before.
        QCOMPARE(storeError([&] { r.table(*s, QStringLiteral("t2_1")); }), QString());
        // Another session of this copy uses its own work directory as before.
        {
            auto again = r.session(QStringLiteral("Сидоров"));
            QTemporaryDir other;
            Session::createDatabase(other.path(), schema::Location::Work);
            Table md(again.get(), QStringLiteral("md"));
            md.setTableName(QStringLiteral("md"));
            md.setDirectory(other.path());
            QCOMPARE(storeError([&] { md.open(); }), QString());
        }
        QCOMPARE(holder.finish(), 0);
        QCOMPARE(storeError([&] { r.table(*s, QStringLiteral("md")); }), QString());
        // Within one process two sessions may share it (the tests do).
        auto third = r.session(QStringLiteral("Третий"));
        QCOMPARE(storeError([&] { r.table(*third, QStringLiteral("md")); }), QString());
    }
};

QTEST_GUILESS_MAIN(TstRootGuard)
#include "tst_root_guard.moc"
