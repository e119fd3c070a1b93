// The command-line tool against what goes wrong around it: damaged files,
// outputs that cannot be written, files in the users' own code page and
// columns named twice. Every refusal names its reason and changes nothing.
#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

class CliFaultsTest : public QObject {
    Q_OBJECT

    struct Run {
        int code;
        QString out, err;
        bool crashed = false;
    };

    // `shell` runs before the tool in a shell that then becomes the tool
    // ("$0" "$@"): redirections, limits.
    static Run cli(const QStringList& args, const QString& shell = {})
    {
        QProcess p;
        if (shell.isEmpty())
            p.start(QStringLiteral(SALDINA_CLI), args);
        else
            p.start("sh", QStringList{"-c", shell + QStringLiteral("; exec \"$0\" \"$@\""), QStringLiteral(SALDINA_CLI)} + args);
        if (!p.waitForFinished(180000))
            return {-1, {}, QStringLiteral("timed out")};
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError()),
                p.exitStatus() == QProcess::CrashExit || p.exitCode() >= 128};
    }

    static QString writeFile(const QString& path, const QByteArray& data)
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return path;
    }

    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static QByteArray hashOf(const QString& path)
    {
        return QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha1).toHex();
    }

    // Runs SQL on a database file past the store, as a careless other program would.
    static bool sql(const QString& file, const QString& statements)
    {
        sqlite3* db = nullptr;
        bool ok = sqlite3_open(QFile::encodeName(file).constData(), &db) == SQLITE_OK &&
                  sqlite3_exec(db, statements.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
        if (!ok)
            qWarning("%s", sqlite3_errmsg(db));
        sqlite3_close(db);
        return ok;
    }

    static QVariant valueOf(const QString& file, const QString& query)
    {
        sqlite3* db = nullptr;
        QVariant v;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_open(QFile::encodeName(file).constData(), &db) == SQLITE_OK &&
            sqlite3_prepare_v2(db, query.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        sqlite3_close(db);
        return v;
    }
    static qint64 intOf(const QString& file, const QString& query)
    {
        const QVariant v = valueOf(file, query);
        return v.isValid() ? v.toLongLong() : -1;
    }

    // Overwrites page `page` (from 1) of a database file with 0xFF.
    static void spoilPage(const QString& file, qint64 page)
    {
        const qint64 size = intOf(file, "PRAGMA page_size");
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek((page - 1) * size));
        f.write(QByteArray(int(size), '\xFF'));
    }

    // A demo root of year 2004 made once; each test takes a copy.
    QTemporaryDir demoDir;
    QString demoRoot() { return demoDir.filePath("demo"); }

    static void copyTree(const QString& from, const QString& to)
    {
        QDir().mkpath(to);
        for (const QFileInfo& fi : QDir(from).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
            if (fi.isDir())
                copyTree(fi.filePath(), to + "/" + fi.fileName());
            else
                QFile::copy(fi.filePath(), to + "/" + fi.fileName());
        }
    }

    // A copy of the demo root at `to`; returns its prog.ini, which names the copy's folders.
    QString demoCopy(const QString& to)
    {
        copyTree(demoRoot(), to);
        QByteArray ini = readFile(to + "/prog.ini");
        ini.replace(QFile::encodeName(demoRoot()), QFile::encodeName(to));
        writeFile(to + "/prog.ini", ini);
        return to + "/prog.ini";
    }

    // A fresh empty year 2004 with one account A1 of purpose 01.
    static QString freshRoot(const QTemporaryDir& tmp)
    {
        const QString root = tmp.filePath("r");
        const QString ini = root + "/prog.ini";
        if (cli({"init", root, "--year", "2004"}).code != 0 ||
            cli({"--ini", ini, "import", "law_spr", writeFile(tmp.filePath("l.csv"), "LawRef\n01\n")}).code != 0 ||
            cli({"--ini", ini, "import", "t1", writeFile(tmp.filePath("t.csv"), "Facebill,LawRef\nA1,01\n")}).code != 0)
            return {};
        return ini;
    }

    static QString yearDb(const QString& ini) { return QFileInfo(ini).path() + "/DataBase/2004/year.db"; }

private slots:

    void initTestCase()
    {
        const Run r = cli({"init", demoRoot(), "--year", "2004", "--demo"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
    }

    // A damaged page ends every command with the store's text and status 1,
    // never with an abort.
    void damagedPageIsToldNotAborted()
    {
        QTemporaryDir tmp;
        const QString ini = demoCopy(tmp.filePath("a"));
        const QString db = yearDb(ini);
        spoilPage(db, intOf(db, "SELECT rootpage FROM sqlite_master WHERE name = 'law_spr'"));
        const QList<QStringList> commands = {{"report", "accounts", "--text"},
                                             {"report", "accounts-short", "--text"},
                                             {"report", "accounts", "--pdf", tmp.filePath("a.pdf")},
                                             {"check"},
                                             {"export", "law_spr"},
                                             {"import", "t1", writeFile(tmp.filePath("t1.csv"), "Facebill\nZ9\n")}};
        for (const QStringList& c : commands) {
            const Run r = cli(QStringList{"--ini", ini} + c);
            QVERIFY2(!r.crashed && !r.err.contains("terminate"), qPrintable(c.join(' ') + ": " + r.err));
            QVERIFY2(r.code == 1, qPrintable(c.join(' ') + ": " + QString::number(r.code)));
            QVERIFY2(!r.err.isEmpty() || !r.out.isEmpty(), qPrintable(c.join(' ')));
        }
        QVERIFY(!QFileInfo::exists(tmp.filePath("a.pdf")));
        // Other pages: whatever a command can still do, it never aborts.
        const qint64 pages = intOf(yearDb(demoCopy(tmp.filePath("b"))), "PRAGMA page_count");
        for (qint64 page = 2; page <= pages; page += std::max<qint64>(1, pages / 6)) {
            const QString dir = tmp.filePath(QStringLiteral("p%1").arg(page));
            const QString pini = demoCopy(dir);
            spoilPage(yearDb(pini), page);
            const Run r = cli({"--ini", pini, "report", "accounts", "--text"});
            QVERIFY2(!r.crashed && !r.err.contains("terminate"), qPrintable(QString::number(page) + ": " + r.err));
            QVERIFY2(r.code == 0 || (r.code == 1 && !r.err.isEmpty()), qPrintable(QString::number(page) + ": " + r.err));
        }
    }

    // An output that does not arrive whole is a failure with the system's
    // reason; a named file is either whole or as it was.
    void lostOutputIsAFailure()
    {
        QTemporaryDir tmp;
        const QString ini = demoCopy(tmp.filePath("a"));
        Run r = cli({"--ini", ini, "export", "t2_2"}, "exec >/dev/full");
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("стандартный вывод") && r.err.contains("No space left"), qPrintable(r.err));
        r = cli({"--ini", ini, "report", "accounts-short", "--text"}, "exec >/dev/full");
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("No space left"), qPrintable(r.err));
        // What the short commands say is checked as well.
        for (const QStringList& c : {QStringList{"--ini", ini, "check"}, {"--help"}, {"export", "--help"}}) {
            r = cli(c, "exec >/dev/full");
            QVERIFY2(r.code == 1 && r.err.contains("No space left"), qPrintable(c.join(' ') + ": " + r.err));
        }
        // Standard output closed: the rows go nowhere, and nothing else takes
        // its place (the year's file stays as it was).
        const QString db = yearDb(ini);
        const QByteArray before = hashOf(db);
        r = cli({"--ini", ini, "export", "t2_2"}, "exec >&-");
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("стандартный вывод"), qPrintable(r.err));
        QCOMPARE(hashOf(db), before);
        r = cli({"--ini", ini, "check"}, "exec >&-");
        QCOMPARE(r.code, 1);
        QCOMPARE(hashOf(db), before);
        const QByteArray control = readFile(QFileInfo(ini).path() + "/DataBase/saldina.dbp");
        QVERIFY2(control.startsWith("Saldina control file") && !control.contains("Facebill"), control.constData());

        // A file that cannot grow past 32 KiB: the export and the PDF are
        // refused, and the files they were to replace are still there as
        // they were, with nothing beside them.
        const QString limit = "trap '' XFSZ; ulimit -f 64";
        QDir().mkpath(tmp.filePath("out"));
        writeFile(tmp.filePath("out/t2_2.csv"), "old");
        writeFile(tmp.filePath("out/a.pdf"), "old");
        r = cli({"--ini", ini, "export", "t2_2", "--out", tmp.filePath("out/t2_2.csv")}, limit);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("t2_2.csv") && r.err.contains("File too large"), qPrintable(r.err));
        r = cli({"--ini", ini, "report", "accounts", "--pdf", tmp.filePath("out/a.pdf")}, limit);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("a.pdf"), qPrintable(r.err));
        QCOMPARE(readFile(tmp.filePath("out/t2_2.csv")), QByteArray("old"));
        QCOMPARE(readFile(tmp.filePath("out/a.pdf")), QByteArray("old"));
        QCOMPARE(QDir(tmp.filePath("out")).entryList(QDir::Files).size(), 2);
        // Without the limit both are written whole.
        r = cli({"--ini", ini, "export", "t2_2", "--out", tmp.filePath("out/t2_2.csv")});
        QCOMPARE(r.code, 0);
        QCOMPARE(readFile(tmp.filePath("out/t2_2.csv")), cli({"--ini", ini, "export", "t2_2"}).out.toUtf8());
        QVERIFY(readFile(tmp.filePath("out/t2_2.csv")).size() > 64 * 1024);
        QCOMPARE(cli({"--ini", ini, "report", "accounts", "--pdf", tmp.filePath("out/a.pdf")}).code, 0);
        QVERIFY(readFile(tmp.filePath("out/a.pdf")).startsWith("%PDF-"));
        QVERIFY(readFile(tmp.filePath("out/a.pdf")).trimmed().endsWith("%%EOF"));
    }

    // A file in code page 1251 is read as such; UTF-8 with or without BOM as
    // UTF-8; a file that is neither is refused with its line, and no
    // replacement character is ever stored.
    void codePagesOfTheFile()
    {
        QTemporaryDir tmp;
        const QString ini = freshRoot(tmp);
        QVERIFY(!ini.isEmpty());
        const QByteArray name = QString::fromUtf8("Закон").toUtf8();
        const QByteArray cp1251 = "\xC7\xE0\xEA\xEE\xED";   // "Закон"
        const struct {
            QByteArray data;
            const char* code;
        } ok[] = {{"LawRef,Sname\r\n02," + cp1251 + "\r\n", "02"},
                  {"LawRef,Sname\r\n03," + name + "\r\n", "03"},
                  {"\xEF\xBB\xBFLawRef,Sname\r\n04," + name + "\r\n", "04"}};
        for (const auto& c : ok) {
            const Run r = cli({"--ini", ini, "import", "law_spr", writeFile(tmp.filePath("x.csv"), c.data)});
            QVERIFY2(r.code == 0, qPrintable(r.err));
        }
        QCOMPARE(cli({"--ini", ini, "export", "law_spr"}).out,
                 QString::fromUtf8("LawRef,Sname,Name\r\n01,,\r\n02,Закон,\r\n03,Закон,\r\n04,Закон,\r\n"));
        const struct {
            QByteArray data;
            const char* expect;
        } bad[] = {
            // A BOM and then bytes that are not UTF-8.
            {"\xEF\xBB\xBFLawRef,Sname\r\n05,ok\r\n06," + cp1251 + "\r\n", "строка 3"},
            // Byte 0x98, which code page 1251 leaves unassigned.
            {"LawRef,Sname\r\n05,\x98\r\n", "строка 2"},
            // A replacement character written by another program.
            {"LawRef,Sname\r\n05,ok\r\n06,\xEF\xBF\xBD\r\n", "строка 3"},
        };
        for (const auto& c : bad) {
            const Run r = cli({"--ini", ini, "import", "law_spr", writeFile(tmp.filePath("x.csv"), c.data)});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(QString::fromUtf8(c.expect)), qPrintable(r.err));
        }
        QVERIFY(!cli({"--ini", ini, "export", "law_spr"}).out.contains(QChar(0xFFFD)));
        QCOMPARE(cli({"--ini", ini, "export", "law_spr"}).out.count("\r\n"), 5);
    }

    // A header that names a field twice is refused with the field's name.
    void fieldNamedTwice()
    {
        QTemporaryDir tmp;
        const QString ini = freshRoot(tmp);
        QVERIFY(!ini.isEmpty());
        const Run r = cli({"--ini", ini, "import", "t2_1",
                           writeFile(tmp.filePath("x.csv"), "FaceBill,LawRef,Amount,FiDate,amount\nA1,01,5,2004-01-10,7\n")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QString::fromUtf8("строка 1: поле Amount названо в заголовке дважды")), qPrintable(r.err));
        QCOMPARE(cli({"--ini", ini, "export", "t2_1"}).out.count("\r\n"), 1);
    }

    // The serial number of a notice: a whole number of its range, or the
    // store's when empty.
    void serialNumbers()
    {
        QTemporaryDir tmp;
        const QString ini = freshRoot(tmp);
        QVERIFY(!ini.isEmpty());
        const struct {
            const char* value;
            const char* expect;
        } bad[] = {{"abc", "'abc' is not a valid integer value"},
                   {"1.5", "'1.5' is not a valid integer value"},
                   {"-3", "Value must be between 1 and 2147483647"},
                   {"0", "Value must be between 1 and 2147483647"},
                   {"99999999999", "Value must be between 1 and 2147483647"}};
        for (const auto& c : bad) {
            const Run r = cli({"--ini", ini, "import", "corPln",
                               writeFile(tmp.filePath("x.csv"), QByteArray("FaceBill,Num,CorDate,AbsNum\nA1,1,2004-01-10,") +
                                                                    c.value + "\n")});
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(QString::fromUtf8("строка 2: ") + c.expect), qPrintable(r.err));
        }
        QCOMPARE(cli({"--ini", ini, "export", "corPln"}).out.count("\r\n"), 1);
        const Run r = cli({"--ini", ini, "import", "corPln",
                           writeFile(tmp.filePath("x.csv"), "FaceBill,Num,CorDate,AbsNum\nA1,1,2004-01-10,7\nA1,2,2004-01-11,\n")});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QStringList rows = cli({"--ini", ini, "export", "corPln"}).out.split("\r\n");
        QVERIFY2(rows.value(1).contains(",7,") && rows.value(2).contains(",8,"), qPrintable(rows.join('|')));
    }

    // check looks at the file, its definitions and its keys before anything
    // else; an import does not write into a damaged file.
    void checkSeesTheFileFirst()
    {
        QTemporaryDir tmp;
        const QString ini = freshRoot(tmp);
        QVERIFY(!ini.isEmpty());
        const QString db = yearDb(ini);
        Run r = cli({"--ini", ini, "check"});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QString::fromUtf8("ошибок нет")), qPrintable(r.out));

        // An amount a hair under zero is shown as the program shows it.
        QVERIFY(sql(db, "UPDATE t1 SET InAmount = 10, Remainder = -0.001"));
        r = cli({"--ini", ini, "check"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QString::fromUtf8("остаток 0,00 не равен")) && !r.out.contains("-0"), qPrintable(r.out));
        QVERIFY(sql(db, "UPDATE t1 SET InAmount = NULL, Remainder = NULL"));

        // A rule dropped by another program.
        const QString rule = valueOf(db, "SELECT sql FROM sqlite_master WHERE name = 't1__key_ins_T1Index1'").toString();
        QVERIFY(!rule.isEmpty());
        QVERIFY(sql(db, "DROP TRIGGER t1__key_ins_T1Index1"));
        r = cli({"--ini", ini, "check"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QString::fromUtf8("t1: нет правила целостности t1__key_ins_T1Index1")), qPrintable(r.out));
        // A key held twice then.
        QVERIFY(sql(db, "INSERT INTO t1 (Facebill, LawRef) VALUES ('A1', '01')"));
        const QString import = writeFile(tmp.filePath("x.csv"), "Facebill\nB2\n");
        const QByteArray before = hashOf(db);
        r = cli({"--ini", ini, "import", "t1", import});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QString::fromUtf8("повреждена")), qPrintable(r.err));
        QCOMPARE(hashOf(db), before);
        QVERIFY(sql(db, "DELETE FROM t1 WHERE rowid > 1"));
        QVERIFY(sql(db, rule));
        r = cli({"--ini", ini, "check"});
        QVERIFY2(r.code == 0, qPrintable(r.out));
        QVERIFY(sql(db, "DROP TRIGGER t1__key_ins_T1Index1; DROP TRIGGER t1__key_upd_T1Index1; "
                        "INSERT INTO t1 (Facebill) VALUES ('A1')"));
        r = cli({"--ini", ini, "check"});
        QCOMPARE(r.code, 1);

        // A field dropped: told as such, not as codes missing from a book.
        QTemporaryDir tmp2;
        const QString ini2 = freshRoot(tmp2);
        const QString db2 = yearDb(ini2);
        QVERIFY(sql(db2, "PRAGMA legacy_alter_table = ON; CREATE TABLE x AS SELECT FaceBill, LawRef, Amount, FiDate FROM t2_1; DROP TABLE t2_1; "
                         "ALTER TABLE x RENAME TO t2_1"));
        r = cli({"--ini", ini2, "check"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(QString::fromUtf8("t2_1: нет поля CBC")), qPrintable(r.out));
        QVERIFY2(!r.out.contains(QString::fromUtf8("нет в cbc_spr")), qPrintable(r.out));

        // A file that integrity_check calls damaged, though the rows to add
        // could be written: refused before any is.
        QTemporaryDir tmp3;
        const QString ini3 = freshRoot(tmp3);
        const QString db3 = yearDb(ini3);
        QVERIFY(sql(db3, "INSERT INTO law_spr (LawRef) VALUES ('02'), ('03'), ('04')"));
        QVERIFY(sql(db3, "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(sql, '(\"LawRef\")', "
                         "'(\"Sname\")') WHERE name = 'law_spr__LawIndex1'"));
        QVERIFY(intOf(db3, "SELECT count(*) FROM t1") == 1);
        const QByteArray before3 = hashOf(db3);
        r = cli({"--ini", ini3, "import", "t1", import});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QString::fromUtf8("повреждена")), qPrintable(r.err));
        QCOMPARE(hashOf(db3), before3);
        QCOMPARE(cli({"--ini", ini3, "check"}).code, 1);
    }

    // The tool speaks Russian as the program does.
    void messagesInRussian()
    {
        QTemporaryDir tmp;
        const QString ini = freshRoot(tmp);
        QVERIFY(!ini.isEmpty());
        Run r = cli({"--ini", ini, "import", "t1", writeFile(tmp.filePath("x.csv"), "Facebill\nC3\nC3\n")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QString::fromUtf8("строка 3: Key violation.")), qPrintable(r.err));
        r = cli({"--ini", ini, "import", "t1", writeFile(tmp.filePath("x.csv"), "Facebill\nC3\n")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QString::fromUtf8("t1: добавлено записей: 1")), qPrintable(r.out));
        r = cli({"--ini", ini, "import", "t1", writeFile(tmp.filePath("x.csv"), "Facebill,Nope\nC4,1\n")});
        QVERIFY2(r.err.contains(QString::fromUtf8("строка 1: в таблице t1 нет хранимого поля Nope")), qPrintable(r.err));
        QVERIFY(cli({"--ini", ini, "export", "nope"}).err.contains(QString::fromUtf8("нет таблицы nope")));
    }
};

QTEST_GUILESS_MAIN(CliFaultsTest)
#include "tst_cli_faults.moc"
