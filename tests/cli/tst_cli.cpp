// The command-line tool through its real executable.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include "tests/cli/clirun.h"

using clitest::cli;
using clitest::Run;

class CliTest : public QObject {
    Q_OBJECT

    // A fresh year 2004 under tmp/r; returns the path of its prog.ini.
    static QString freshRoot(const QTemporaryDir& tmp)
    {
        const QString root = tmp.filePath("r");
        if (cli({"init", root, "--year", "2004"}).code != 0)
            return {};
        return root + "/prog.ini";
    }

    static QString writeFile(const QTemporaryDir& tmp, const QString& name, const QByteArray& data)
    {
        QFile f(tmp.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return f.fileName();
    }

    // Tables in an order in which every code exists before it is used.
    const QStringList order = {"cbc_spr", "law_spr", "org_spr", "SumTypeSpr", "t1",   "t2_1",
                               "t2_2",    "planTbl", "corPln",  "DOrg",       "DIn",  "DOut"};

private slots:

    void reports()
    {
        QTemporaryDir tmp;
        const QString ini = freshRoot(tmp);
        QVERIFY(!ini.isEmpty());
        const QByteArray files[][2] = {
            {"cbc_spr", "CBC,NAME\r\n0701901420001310000,Сады\r\n"},
            {"law_spr", "LawRef,Sname\r\n031,Дошкольное\r\n"},
            {"org_spr", "Org,Name\r\n12345,Детский сад\r\n13345,Школа\r\n"},
            {"t1", "Facebill,LawRef\r\n00000000001,031\r\n00000000002,031\r\n"},
            {"t2_1", "FaceBill,LawRef,Amount,FiDate,CBC\r\n00000000001,031,100.5,2004-02-01,0701901420001310000\r\n"},
            {"t2_2", "Facebill,LawRef,Amount,FiDate,CBC,Org\r\n"
                     "00000000001,031,30.25,2004-02-02,0701901420001310000,12345\r\n"
                     "00000000001,031,7,2004-03-02,0701901420001310000,13345\r\n"},
        };
        for (const auto& f : files) {
            const Run r = cli({"--ini", ini, "import", QString::fromLatin1(f[0]),
                               writeFile(tmp, QString::fromLatin1(f[0]) + ".csv", f[1])});
            QVERIFY2(r.code == 0, qPrintable(r.err));
        }
        auto lines = [](const QString& out) {
            QStringList l = out.split('\n', Qt::SkipEmptyParts);
            l.removeIf([](const QString& x) { return x.contains("Дата составления") || x.startsWith("Страница"); });
            return l;
        };
        Run r = cli({"--ini", ini, "report", "accounts-short", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        QCOMPARE(lines(r.out).mid(3), (QStringList{"Лицевой счет\tНазначение\tПоступило\tИзрасходовано\tОстаток",
                                                   "00000000001\tДошкольное\t100,50\t37,25\t63,25",
                                                   "00000000002\tДошкольное\t0,00\t0,00\t0,00",
                                                   "Итого\t100,50\t37,25\t63,25"}));
        // A selection ticks its boxes; the masks are the edits' full-width texts.
        r = cli({"--ini", ini, "report", "accounts", "--from", "01.02.2004", "--to", "29.02.2004", "--org", "12***",
                 "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QStringList l = lines(r.out);
        QVERIFY(l.contains("Период: c 01.02.2004 по 29.02.2004\tОтбор КБК: Все"));
        QVERIFY(l.contains("Отбор организаций: по маске 12***\tОтбор назначений: Все"));
        QVERIFY(l.contains("0701901420001310000\t02.02.2004\t123-45 Детский сад\t30,25\tДошкольное"));
        QVERIFY(!r.out.contains("Школа"));
        QVERIFY(l.contains("Остаток по счету:\t70,25"));
        QVERIFY(!r.out.contains("00000000002"));   // no selected postings: left out
        // A mask passes through as typed, blanks inside a segment included.
        r = cli({"--ini", ini, "report", "accounts", "--law", " 3*", "--org", " 1***", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(lines(r.out).contains("Отбор организаций: по маске  1***\tОтбор назначений: по маске  3*"));
        QVERIFY(!r.out.contains("Детский сад"));   // no code begins with a blank
        const QString pdf = tmp.filePath("a.pdf");
        r = cli({"--ini", ini, "report", "accounts", "--law", "", "--pdf", pdf});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-");
        // A period with no end: nothing dated is selected (an empty end is the
        // null date, before every real one), the header shows the empty end.
        r = cli({"--ini", ini, "report", "accounts-short", "--from", "01.02.2004", "--progress", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(lines(r.out).contains("Период: c 01.02.2004 по \tОтбор КБК: Все"));
        QVERIFY2(r.err.endsWith("100%\n"), qPrintable(r.err));
        // The command line runs the reports without widgets.
        QVERIFY(!linksWidgets());
        // Wrong command lines.
        for (const QStringList& bad : {QStringList{"report", "accounts"}, {"report", "nope", "--text"},
                                       {"report", "accounts", "--text", "--pdf", "x.pdf"},
                                       {"report", "accounts", "--from", "1.13.2004", "--to", "01.02.2004", "--text"},
                                       {"report", "accounts", "--org", "123456", "--text"}})
            QVERIFY2(cli(QStringList{"--ini", ini} + bad).code == 2, qPrintable(bad.join(' ')));
        QVERIFY(cli({"report", "--help"}).out.contains("accounts-short"));
    }
    // The schedule reports and the schedule print: each option sets what its
    // dialog sets, and the figures are those of the stored rows.
    void scheduleReports()
    {
        QTemporaryDir tmp;
        const QString ini = freshRoot(tmp);
        QVERIFY(!ini.isEmpty());
        const QByteArray files[][2] = {
            {"cbc_spr", "CBC,NAME\r\n0701901420001310000,Сады\r\n0701901420001340000,Запасы\r\n"},
            {"law_spr", "LawRef,Sname\r\n031,Дошкольное\r\n"},
            {"org_spr", "Org,Name\r\n12345,Детский сад\r\n13345,Школа\r\n"},
            {"t1", "Facebill,LawRef\r\n00000000001,031\r\n00000000002,031\r\n"},
            {"planTbl", "Org,Cbc,FaceBill,Sum1,Sum2,Sum3,Sum4,AllSum\r\n"
                        "12345,0701901420001310000,00000000001,100,200,300,400,1000\r\n"
                        "13345,0701901420001340000,00000000002,10,20,30,40,100\r\n"},
            // A notice of 10 May: in the corrected schedule of the second quarter only.
            {"corPln", "Org,Cbc,FaceBill,Num,CorDate,Sum1,Sum2,Sum3,Sum4,AllSum\r\n"
                       "12345,0701901420001310000,00000000001,1,2004-05-10,0,50,0,0,50\r\n"},
            {"t2_2", "Facebill,LawRef,Amount,FiDate,CBC,Org\r\n"
                     "00000000001,031,30.25,2004-02-02,0701901420001310000,12345\r\n"
                     "00000000002,031,7,2004-04-02,0701901420001340000,13345\r\n"},
        };
        for (const auto& f : files) {
            const Run r = cli({"--ini", ini, "import", QString::fromLatin1(f[0]),
                               writeFile(tmp, QString::fromLatin1(f[0]) + ".csv", f[1])});
            QVERIFY2(r.code == 0, qPrintable(r.err));
        }
        auto run = [&](const QStringList& args) {
            const Run r = cli(QStringList{"--ini", ini} + args + QStringList{"--text"});
            [&] { QVERIFY2(r.code == 0, qPrintable(args.join(' ') + ": " + r.err)); }();
            return r.out.split('\n', Qt::SkipEmptyParts);
        };
        const QString sady = "0701901420001310000", zapasy = "0701901420001340000";
        QStringList l = run({"report", "schedule", "--only", "00000000002"});
        QVERIFY(l.contains(zapasy + "\t10,00\t20,00\t30,00\t40,00\t100,00"));
        QVERIFY(!l.join('\n').contains(sady));
        l = run({"report", "schedule", "--sum-all", "--cbc", "07019014200013*****"});
        QVERIFY(l.contains(sady + "\t100,00\t200,00\t300,00\t400,00\t1000,00"));
        QVERIFY(l.contains(zapasy + "\t10,00\t20,00\t30,00\t40,00\t100,00"));
        QVERIFY(l.join('\n').contains("Отбор КБК: по маске 07019014200013*****"));
        l = run({"report", "schedule", "--org", "13***"});
        QVERIFY(!l.join('\n').contains(sady));

        // The first quarter: the notice of 10 May is not in it, nor the
        // expenditure of 2 April.
        l = run({"report", "execution", "--quarter", "1"});
        QVERIFY(l.contains("Исполнение росписи расходов за I квартал 2004 года"));
        QVERIFY(l.contains("Расход по организациям c 01.01.2004 по 31.03.2004"));
        QVERIFY(l.contains("12345 Детский сад\t" + sady + "\t100,00\t100,00\t30,25\t69,75"));
        QVERIFY(l.contains("13345 Школа\t" + zapasy + "\t10,00\t10,00\t0,00\t10,00"));
        l = run({"report", "execution", "--quarter", "2"});
        QVERIFY(l.contains("Исполнение росписи расходов за I + II квартал 2004 года"));
        QVERIFY(l.contains("12345 Детский сад\t" + sady + "\t300,00\t350,00\t30,25\t319,75"));
        QVERIFY(l.contains("13345 Школа\t" + zapasy + "\t30,00\t30,00\t7,00\t23,00"));
        // The period typed over the quarter's; its bounds are included.
        l = run({"report", "execution", "--quarter", "2", "--from", "02.04.2004", "--to", "02.04.2004"});
        QVERIFY(l.contains("Расход по организациям c 02.04.2004 по 02.04.2004"));
        QVERIFY(l.contains("12345 Детский сад\t" + sady + "\t300,00\t350,00\t0,00\t350,00"));
        QVERIFY(l.contains("13345 Школа\t" + zapasy + "\t30,00\t30,00\t7,00\t23,00"));
        // One account; a range of organizations.
        l = run({"report", "execution", "--quarter", "2", "--only", "00000000002"});
        QVERIFY(l.contains("Лицевой счет 00000000002"));
        QVERIFY(!l.join('\n').contains("Детский сад"));
        l = run({"report", "execution", "--quarter", "4", "--org-from", "12345", "--org-to", "12345"});
        QVERIFY(l.contains("Отбор организаций: c 12345 по 12345"));
        QVERIFY(!l.join('\n').contains("Школа"));

        // The schedule window's print of one account.
        l = run({"print", "schedule", "--account", "00000000001"});
        QVERIFY(l.contains("Роспись расходов на 2004 год по л/с 00000000001"));
        QVERIFY(l.contains("Дошкольное"));
        QVERIFY(l.contains("123-45 Детский сад\t" + sady + "\t100,00\t200,00\t300,00\t400,00\t1000,00"));
        QVERIFY(l.contains("Итого\t100,00\t200,00\t300,00\t400,00\t1000,00"));
        QVERIFY(!l.join('\n').contains("Школа"));

        // Refusals: an account the year does not have (exit 1, named), wrong
        // command lines (exit 2).
        Run r = cli({"--ini", ini, "report", "execution", "--only", "99999999999", "--text"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("99999999999"), qPrintable(r.err));
        r = cli({"--ini", ini, "print", "schedule", "--account", "99999999999", "--text"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("99999999999"), qPrintable(r.err));
        for (const QStringList& bad :
             {QStringList{"report", "execution", "--quarter", "5", "--text"},
              {"report", "execution", "--org-from", "12345", "--text"},
              {"report", "execution", "--from", "31.02.2004", "--text"},
              {"report", "schedule", "--every", "--sum-all", "--text"},
              {"report", "schedule", "--from", "01.01.2004", "--text"},
              {"print", "schedule", "--text"},
              {"print", "nothing", "--account", "00000000001", "--text"}})
            QVERIFY2(cli(QStringList{"--ini", ini} + bad).code == 2, qPrintable(bad.join(' ')));
        QVERIFY(!linksWidgets());
    }

    // check --plan: an overspend planted in the second quarter is found, an
    // expenditure that meets its plan exactly is not one, a plan pushed below
    // zero by a notice is one; --unplanned adds the expenditure without a plan.
    void checkPlan()
    {
        QTemporaryDir tmp;
        const QString ini = freshRoot(tmp);
        QVERIFY(!ini.isEmpty());
        const QByteArray files[][2] = {
            {"cbc_spr", "CBC,NAME\r\n0701901420001310000,Сады\r\n0701901420001340000,Запасы\r\n"},
            {"law_spr", "LawRef,Sname\r\n031,Дошкольное\r\n"},
            {"org_spr", "Org,Name\r\n12345,Детский сад\r\n13345,Школа\r\n14345,Лицей\r\n"},
            {"t1", "Facebill,LawRef,InAmount,OutAmount,Remainder\r\n00000000001,031,0,155.01,-155.01\r\n"},
            {"planTbl", "Org,Cbc,FaceBill,Sum1,Sum2,Sum3,Sum4,AllSum\r\n"
                        "12345,0701901420001310000,00000000001,100,50,0,0,150\r\n"
                        "13345,0701901420001340000,00000000001,10,0,0,0,10\r\n"},
            {"corPln", "Org,Cbc,FaceBill,Num,CorDate,Sum1,Sum2,Sum3,Sum4,AllSum\r\n"
                       "13345,0701901420001340000,00000000001,1,2004-08-10,-20,0,0,0,-20\r\n"},
            {"t2_2", "Facebill,LawRef,Amount,FiDate,CBC,Org\r\n"
                     "00000000001,031,100,2004-03-31,0701901420001310000,12345\r\n"     // meets quarter I exactly
                     "00000000001,031,50.01,2004-04-01,0701901420001310000,12345\r\n"   // over by 0,01 in quarter II
                     "00000000001,031,5,2004-02-01,0701901420001310000,14345\r\n"},      // no plan at all
        };
        for (const auto& f : files) {
            const Run r = cli({"--ini", ini, "import", QString::fromLatin1(f[0]),
                               writeFile(tmp, QString::fromLatin1(f[0]) + ".csv", f[1])});
            QVERIFY2(r.code == 0, qPrintable(r.err));
        }
        Run r = cli({"--ini", ini, "check", "--plan"});
        QCOMPARE(r.code, 1);
        const QStringList l = r.out.split('\n', Qt::SkipEmptyParts);
        const QString a = "перерасход: л/с 00000000001, организация 12345, КБК 0701901420001310000, ";
        const QString b = "перерасход: л/с 00000000001, организация 13345, КБК 0701901420001340000, ";
        QCOMPARE(l, (QStringList{a + "II квартал: план 150,00, израсходовано 150,01, разница -0,01",
                                 a + "III квартал: план 150,00, израсходовано 150,01, разница -0,01",
                                 a + "IV квартал: план 150,00, израсходовано 150,01, разница -0,01",
                                 b + "III квартал: план -10,00, израсходовано 0,00, разница -10,00",
                                 b + "IV квартал: план -10,00, израсходовано 0,00, разница -10,00",
                                 "перерасходов росписи в 2004 году: 5"}));
        r = cli({"--ini", ini, "check", "--plan", "--unplanned"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains("Расходы без росписи:\nл/с 00000000001, организация 14345, КБК 0701901420001310000\n"));
        QCOMPARE(cli({"--ini", ini, "check", "--unplanned"}).code, 2);
    }

    // Whether saldina-cli names Qt's widgets library among the libraries it needs.
    static bool linksWidgets()
    {
        QProcess p;
        p.start("readelf", {"-d", QStringLiteral(SALDINA_CLI)});
        if (!p.waitForFinished(10000) || p.exitCode() != 0)
            return true;
        return p.readAllStandardOutput().contains("libQt6Widgets");
    }

    void usageErrors()
    {
        QCOMPARE(cli({}).code, 2);
        QCOMPARE(cli({"frobnicate"}).code, 2);
        QCOMPARE(cli({"init"}).code, 2);
        QCOMPARE(cli({"init", "/tmp/x", "--year", "12"}).code, 2);
        QCOMPARE(cli({"init", "/tmp/x", "--bogus"}).code, 2);
        for (const char* c : {"init", "import", "export", "check"}) {
            const Run r = cli({c, "--help"});
            QCOMPARE(r.code, 0);
            QVERIFY(r.out.startsWith("Usage:"));
        }
        QVERIFY(cli({"import", "--help"}).out.contains("does not change"));
        // The version, as the program's About window gives it.
        const Run v = cli({"--version"});
        QCOMPARE(v.code, 0);
        QCOMPARE(v.out, QStringLiteral("saldina-cli " SALDINA_VERSION "\n"));
        QTemporaryDir tmp;
        const QString ini = tmp.filePath("prog.ini");
        QCOMPARE(cli({"--ini", ini, "import", "t1"}).code, 2);
        QCOMPARE(cli({"--ini", ini, "export"}).code, 2);
    }

    void roundTrip()
    {
        QTemporaryDir tmp;
        const QString a = tmp.filePath("a"), b = tmp.filePath("b");
        Run r = cli({"init", a, "--year", "2004", "--demo"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(QFileInfo::exists(a + "/DataBase/2004/year.db"));
        QVERIFY(QFileInfo::exists(a + "/DataBase/Orig/year.db"));
        QVERIFY(QFileInfo::exists(a + "/Local/work.dbp"));
        r = cli({"--ini", a + "/prog.ini", "check"});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        // Setting up the same root twice is refused.
        QCOMPARE(cli({"init", a}).code, 1);

        r = cli({"init", b, "--year", "2004"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QMap<QString, QByteArray> exported;
        for (const QString& t : order) {
            const QString file = tmp.filePath(t + ".csv");
            r = cli({"--ini", a + "/prog.ini", "export", t, "--out", file});
            QVERIFY2(r.code == 0, qPrintable(r.err));
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            exported[t] = f.readAll();
            QVERIFY(exported[t].count('\n') > 1);
            r = cli({"--ini", b + "/prog.ini", "import", t, file, "--replace"});
            QVERIFY2(r.code == 0, qPrintable(t + ": " + r.err));
        }
        r = cli({"--ini", b + "/prog.ini", "check"});
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        for (const QString& t : order) {
            r = cli({"--ini", b + "/prog.ini", "export", t});
            QCOMPARE(r.code, 0);
            QVERIFY2(r.out.toUtf8() == exported[t], qPrintable(t));
        }
        // The exported form: header of stored fields, ISO dates, decimal points.
        const QStringList lines = QString::fromUtf8(exported["t2_1"]).split("\r\n");
        QCOMPARE(lines[0], QStringLiteral("FaceBill,LawRef,Amount,FiDate,CBC"));
        QVERIFY(QRegularExpression("^\\w+,\\d+,\\d+(\\.\\d+)?,2004-\\d\\d-\\d\\d,\\d{19}$").match(lines[1]).hasMatch());
        QVERIFY(QString::fromUtf8(exported["corPln"]).split("\r\n")[0].contains("AbsNum"));
    }

    void importIsAllOrNothing()
    {
        QTemporaryDir tmp;
        const QString ini = freshRoot(tmp);
        QVERIFY(!ini.isEmpty());
        auto write = [&](const QString& name, const QByteArray& data) { return writeFile(tmp, name, data); };
        // Quoted fields, a comma and a quote inside, CRLF, a decimal comma, dd.MM.yyyy.
        const QString law = write("law.csv", "lawref,SNAME,Name\r\n01,\"Закон, первый\",\"Он \"\"главный\"\"\"\r\n02,Второй,\r\n");
        Run r = cli({"--ini", ini, "import", "law_spr", law});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        r = cli({"--ini", ini, "export", "law_spr"});
        QCOMPARE(r.out, QStringLiteral("LawRef,Sname,Name\r\n01,\"Закон, первый\",\"Он \"\"главный\"\"\"\r\n02,Второй,\r\n"));

        // The fourth line repeats the second but for a trailing blank: refused, and
        // the rows before it are not kept either.
        const QString t1 = write("t1.csv", "Facebill,LawRef,InAmount\nA1,01,\"12,5\"\nA2,02,3.25\n\"A1 \",09,1\n");
        r = cli({"--ini", ini, "import", "t1", t1});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QString::fromUtf8("строка 4: Key violation.")), qPrintable(r.err));
        QCOMPARE(cli({"--ini", ini, "export", "t1"}).out, QStringLiteral("Facebill,LawRef,InAmount,OutAmount,Remainder\r\n"));
        const QString ok = write("t1b.csv", "Facebill,LawRef,InAmount\nA1,01,\"12,5\"\nA2,02,3.25\n");
        QCOMPARE(cli({"--ini", ini, "import", "t1", ok}).code, 0);
        QCOMPARE(cli({"--ini", ini, "export", "t1"}).out,
                 QStringLiteral("Facebill,LawRef,InAmount,OutAmount,Remainder\r\nA1,01,12.5,,\r\nA2,02,3.25,,\r\n"));
    }

    void refusedRowsNameTheirLine()
    {
        QTemporaryDir tmp;
        const QString ini = freshRoot(tmp);
        QVERIFY(!ini.isEmpty());
        auto write = [&](const QString& name, const QByteArray& data) { return writeFile(tmp, name, data); };
        QCOMPARE(cli({"--ini", ini, "import", "law_spr", write("l.csv", "LawRef\n01\n")}).code, 0);
        QCOMPARE(cli({"--ini", ini, "import", "cbc_spr", write("c.csv", "CBC\n0101\n")}).code, 0);
        struct Case {
            const char* table;
            QByteArray data;
            const char* expect;
        };
        const Case cases[] = {
            {"t1", "Facebill,InAmount\nA1,1\nA1,2\n", "строка 3: Key violation."},
            {"t1", "Facebill,InAmount\nA1,1\n,2\n", "строка 3: Field value required."},
            {"t2_1", "FaceBill,LawRef,Amount\nA1,01,1\nA1,77,1\n", "строка 3: Field value out of lookup table range."},
            {"t2_1", "FaceBill,Amount\nA1,abc\n", "строка 2: 'abc' is not a valid floating point value"},
            {"t2_1", "FaceBill,FiDate\nA1,2004-02-30\n", "строка 2:"},
            {"law_spr", "LawRef\n1234\n", "строка 2:"},
            {"law_spr", "LawRef,Nope\n05,1\n", "нет хранимого поля Nope"},
            {"law_spr", "LawRef,Sname\n05\n", "строка 2:"},
            {"law_spr", "LawRef\n\"05\n", "нет закрывающей кавычки"},
            {"corPln", "Org,Cbc,FaceBill,Num\n,,A1,\"1\nx\"\n", "строка 2:"},
        };
        for (const Case& c : cases) {
            const Run r = cli({"--ini", ini, "import", c.table, write("x.csv", c.data)});
            QVERIFY2(r.code == 1, c.table);
            QVERIFY2(r.err.contains(QString::fromUtf8(c.expect)), qPrintable(r.err));
        }
        // Nothing of the refused files arrived.
        for (const char* t : {"t1", "t2_1", "corPln"})
            QCOMPARE(cli({"--ini", ini, "export", t}).out.count("\r\n"), 1);
        QCOMPARE(cli({"--ini", ini, "export", "law_spr"}).out.count("\r\n"), 2);
        QCOMPARE(cli({"--ini", ini, "export", "nope"}).code, 1);
    }

    void checkFindsProblems()
    {
        QTemporaryDir tmp;
        const QString root = tmp.filePath("r");
        QCOMPARE(cli({"init", root, "--year", "2004"}).code, 0);
        const QString ini = root + "/prog.ini";
        QFile f(tmp.filePath("t1.csv"));
        f.open(QIODevice::WriteOnly);
        f.write("Facebill,InAmount,OutAmount,Remainder\nA1,10,0,10\n");
        f.close();
        QCOMPARE(cli({"--ini", ini, "import", "t1", f.fileName()}).code, 0);
        const Run r = cli({"--ini", ini, "check"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains("A1"), qPrintable(r.out));
        // A damaged year database.
        QFile db(root + "/DataBase/2004/year.db");
        QVERIFY(db.open(QIODevice::ReadWrite));
        db.seek(100);
        db.write(QByteArray(4000, 'x'));
        db.close();
        const Run bad = cli({"--ini", ini, "check"});
        QCOMPARE(bad.code, 1);
        QVERIFY(!bad.out.isEmpty() || !bad.err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
