// The reports over the budget classification codes through the real
// saldina-cli: "credit" with its quarters and parts, "articles" with its year.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include "tests/cli/clirun.h"

using clitest::cli;
using clitest::Run;

class CliCodesTest : public QObject {
    Q_OBJECT

    static QString writeFile(const QTemporaryDir& tmp, const QString& name, const QByteArray& data)
    {
        QFile f(tmp.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return f.fileName();
    }

    static QStringList lines(const QString& out)
    {
        QStringList l = out.split('\n', Qt::SkipEmptyParts);
        l.removeIf([](const QString& x) { return x.contains("Дата составления") || x.startsWith("Страница"); });
        return l;
    }

private slots:
    void creditAndArticles()
    {
        QTemporaryDir tmp;
        const QString root = tmp.filePath("r");
        QCOMPARE(cli({"init", root, "--year", "2004"}).code, 0);
        const QString ini = root + "/prog.ini";
        const QByteArray files[][2] = {
            {"cbc_spr", "CBC,NAME\r\n0701901420001310000,Сады\r\n0701901420001******,Всего по садам\r\n"
                        "*************310000,Зарплата\r\n"},
            {"law_spr", "LawRef,Sname\r\n031,Дошкольное\r\n"},
            {"org_spr", "Org,Name\r\n12345,Детский сад\r\n"},
            {"t1", "Facebill,LawRef\r\n00000000001,031\r\n"},
            {"t2_1", "FaceBill,LawRef,Amount,FiDate,CBC\r\n00000000001,031,100.5,2004-04-01,0701901420001310000\r\n"
                     "00000000001,031,9,2003-04-01,0701901420001310000\r\n"},
            {"t2_2", "Facebill,LawRef,Amount,FiDate,CBC,Org\r\n"
                     "00000000001,031,30.25,2004-02-02,0701901420001310000,12345\r\n"},
            {"planTbl", "Org,Cbc,FaceBill,Sum1,Sum2,Sum3,Sum4,AllSum\r\n"
                        "12345,0701901420001310000,00000000001,10,20,30,40,100\r\n"},
        };
        for (const auto& f : files) {
            const Run r = cli({"--ini", ini, "import", QString::fromLatin1(f[0]),
                               writeFile(tmp, QString::fromLatin1(f[0]) + ".csv", f[1])});
            QVERIFY2(r.code == 0, qPrintable(r.err));
        }
        Run r = cli({"--ini", ini, "report", "credit", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QStringList l = lines(r.out);
        QVERIFY2(l.contains("0701901420001310000\tСады\t30,25\t100,00\t69,75"), qPrintable(r.out));
        QVERIFY(l.contains("Код БК\tНаименование\tПрофинансир.\tГодовой план\tОстаток фин."));
        QVERIFY(!r.out.contains("Всего по садам"));
        r = cli({"--ini", ini, "report", "credit", "--quarter", "2", "--parts", "ecst", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        l = lines(r.out);
        QVERIFY2(l.contains("0701901420001******\tВсего по садам\t30,25\t30,00\t-0,25"), qPrintable(r.out));
        QVERIFY(l.contains("Код БК\tНаименование\tПрофинансир.\tПлан I+II квартал\tОстаток фин."));

        r = cli({"--ini", ini, "report", "articles", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("Зарплата\t*************310000\t0,00\t100,50\t0,00\t0,00\t100,50\t30,25\t0,00\t0,00\t0,00\t30,25"),
                 qPrintable(r.out));
        r = cli({"--ini", ini, "report", "articles", "--year", "2003", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains("Зарплата\t*************310000\t0,00\t9,00\t0,00\t0,00\t9,00\t0,00"), qPrintable(r.out));
        const QString pdf = tmp.filePath("a.pdf");
        r = cli({"--ini", ini, "report", "articles", "--pdf", pdf});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-");

        for (const QStringList& bad : {QStringList{"report", "credit", "--quarter", "5", "--text"},
                                       {"report", "credit", "--parts", "ecst,nope", "--text"},
                                       {"report", "articles", "--year", "04", "--text"},
                                       {"report", "articles", "--org", "12345", "--text"}})
            QVERIFY2(cli(QStringList{"--ini", ini} + bad).code == 2, qPrintable(bad.join(' ')));
        const QString help = cli({"report", "--help"}).out;
        QVERIFY(help.contains("credit") && help.contains("articles") && help.contains("--parts LIST"));
    }
};

QTEST_MAIN(CliCodesTest)
#include "tst_cli_codes.moc"
