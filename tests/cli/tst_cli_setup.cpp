// Setting up with saldina-cli when things go wrong: a disk that fills up
// while a root or a year is made, two inits of one root at once, a root that
// prog.ini cannot name, a Year in prog.ini that is not a year, a settings
// file that is not there. Each leaves nothing half made behind.
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include "tests/cli/clirun.h"
#include <QThread>
#include <csignal>
#include <sys/stat.h>
#include <sys/resource.h>

using clitest::cli;
using clitest::Run;

class CliSetupTest : public QObject {
    Q_OBJECT

    // Every entry under `dir`, relative, sorted (hidden ones too).
    static QStringList entries(const QString& dir)
    {
        QStringList out;
        QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            out << QDir(dir).relativeFilePath(it.next());
        out.sort();
        return out;
    }

    static void setYear(const QString& ini, const QByteArray& value)
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        const qsizetype at = text.indexOf("Year=");
        QVERIFY(at >= 0);
        const qsizetype end = text.indexOf('\n', at);
        text.replace(at, end - at, "Year=" + value + "\r");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

private slots:
    // A full disk while init makes the root: exit 1 naming the file, and
    // nothing left behind, so that the init can be run again once there
    // is room.
    void initOnFullDiskLeavesNothing()
    {
        QTemporaryDir tmp;
        const QString root = tmp.filePath("r");
        for (bool demo : {false, true}) {
            QStringList args{"init", root, "--year", "2004"};
            if (demo)
                args << "--demo";
            const Run r = cli(args, 48 * 1024);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(root), qPrintable(r.err));
            QVERIFY2(!r.err.contains(".saldina-init"), qPrintable(r.err));
            QVERIFY2(!QFileInfo::exists(root), qPrintable(entries(root).join(' ')));
        }
        // An existing empty root stays, empty.
        QVERIFY(QDir().mkdir(root));
        QCOMPARE(cli({"init", root, "--year", "2004"}, 48 * 1024).code, 1);
        QCOMPARE(entries(root), QStringList());
        const Run ok = cli({"init", root, "--year", "2004"});
        QVERIFY2(ok.code == 0, qPrintable(ok.err));
        QCOMPARE(cli({"--ini", root + "/prog.ini", "check"}).code, 0);
        QVERIFY(!entries(root).join(' ').contains(".saldina-init"));
    }

    // Inits of one new root at once: one sets it up, the others say it is
    // set up already; the root works.
    void initsOfOneRootAtOnce()
    {
        for (int round = 0; round < 10; ++round) {
            QTemporaryDir tmp;
            const QString root = tmp.filePath("r");
            // They start together: each waits for the end of one pipe.
            const QString gate = tmp.filePath("gate");
            QVERIFY(::mkfifo(QFile::encodeName(gate).constData(), 0600) == 0);
            std::vector<std::unique_ptr<QProcess>> ps;
            for (int i = 0; i < 3; ++i) {
                ps.push_back(std::make_unique<QProcess>());
                ps.back()->start("/bin/sh", {"-c", "read x < \"$1\"; exec \"$2\" init \"$3\" --year 2004", "sh", gate,
                                             QStringLiteral(SALDINA_CLI), root});
                QVERIFY(ps.back()->waitForStarted());
            }
            QThread::msleep(300);
            {
                // Opening the pipe lets the waiting readers through; its
                // closing ends their read.
                QFile g(gate);
                QVERIFY(g.open(QIODevice::WriteOnly));
            }
            int ready = 0, refused = 0;
            for (auto& p : ps) {
                QVERIFY(p->waitForFinished(120000));
                const QString err = QString::fromUtf8(p->readAllStandardError());
                if (p->exitCode() == 0)
                    ++ready;
                else if (p->exitCode() == 1 && err.contains("уже установлен"))
                    ++refused;
                else
                    QFAIL(qPrintable(QStringLiteral("exit %1: %2").arg(p->exitCode()).arg(err)));
            }
            QCOMPARE(ready, 1);
            QCOMPARE(refused, 2);
            const Run c = cli({"--ini", root + "/prog.ini", "check"});
            QVERIFY2(c.code == 0, qPrintable(c.out + c.err));
        }
    }

    // A root that prog.ini cannot name is refused before anything is made.
    void rootThatSettingsCannotNameRefusedFirst()
    {
        QTemporaryDir tmp;
        for (const QString& name : {QStringLiteral("a\nb"), QStringLiteral("a\rb"), QStringLiteral("中文")}) {
            const QString root = tmp.filePath(name);
            const Run r = cli({"init", root, "--year", "2004"});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("prog.ini"), qPrintable(r.err));
            QCOMPARE(entries(tmp.path()), QStringList());
        }
    }

    // A new year on a full disk: the command fails with the store's text
    // naming the file, leaves no year directory, and works once there is room.
    void newYearOnFullDisk_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("check") << "check";
        QTest::newRow("export") << "export";
        QTest::newRow("report") << "report";
    }
    void newYearOnFullDisk()
    {
        QFETCH(QString, command);
        QTemporaryDir tmp;
        const QString root = tmp.filePath("r"), ini = root + "/prog.ini";
        QCOMPARE(cli({"init", root, "--year", "2004"}).code, 0);
        setYear(ini, "2005");
        const QStringList before = entries(root + "/DataBase");
        QStringList args{"--ini", ini, command};
        if (command == "export")
            args << "t1";
        else if (command == "report")
            args << "accounts" << "--text";
        const Run r = cli(args, 48 * 1024);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(root + "/DataBase/2005/year.db"), qPrintable(r.err));
        QVERIFY2(!r.err.contains(".part"), qPrintable(r.err));
        QCOMPARE(entries(root + "/DataBase"), before);
        const Run again = cli({"--ini", ini, "check"});
        QVERIFY2(again.code == 0, qPrintable(again.out + again.err));
        QVERIFY(QFileInfo::exists(root + "/DataBase/2005/year.db"));
    }

    // A Year that is there but not a year of 1987..2099 is a set-up error
    // naming the value and the file; nothing is made from it.
    void yearSettingThatIsNoYear_data()
    {
        QTest::addColumn<QByteArray>("value");
        for (const char* v : {"abcd", "99999999999", "../../escape", "-1", "0", "1986", "2100", "2004x", ""})
            QTest::newRow(v[0] ? v : "empty") << QByteArray(v);
    }
    void yearSettingThatIsNoYear()
    {
        QFETCH(QByteArray, value);
        QTemporaryDir tmp;
        const QString root = tmp.filePath("r"), ini = root + "/prog.ini";
        QCOMPARE(cli({"init", root, "--year", "2004"}).code, 0);
        setYear(ini, value);
        const QStringList before = entries(tmp.path());
        for (const QStringList& command : {QStringList{"check"}, {"export", "t1"}, {"report", "accounts", "--text"}}) {
            const Run r = cli(QStringList{"--ini", ini} + command);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(QStringLiteral("Ошибка настройки")), qPrintable(r.err));
            QVERIFY2(r.err.contains('"' + QString::fromUtf8(value) + '"') && r.err.contains(ini), qPrintable(r.err));
            QCOMPARE(r.out, QString());
            QCOMPARE(entries(tmp.path()), before);
        }
    }

    // A settings file named by --ini that is not there is an error; nothing
    // is made beside the current directory.
    void missingSettingsFile()
    {
        QTemporaryDir tmp;
        const QString missing = tmp.filePath("nowhere/prog.ini");
        for (const QStringList& command : {QStringList{"check"}, {"export", "t1"}, {"report", "accounts", "--text"},
                                           {"print", "schedule", "--account", "1", "--text"}}) {
            const Run r = cli(QStringList{"--ini", missing} + command, 0, tmp.path());
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(missing) && r.err.contains(QStringLiteral("не найден")), qPrintable(r.err));
            QCOMPARE(entries(tmp.path()), QStringList());
        }
    }
};

QTEST_GUILESS_MAIN(CliSetupTest)
#include "tst_cli_setup.moc"
