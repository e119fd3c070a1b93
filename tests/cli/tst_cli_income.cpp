// saldina-cli report income through the real executable: the period, the
// organization and kind masks, the text and the PDF, and wrong options.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include "tests/cli/clirun.h"

using clitest::cli;
using clitest::Run;

class CliIncomeTest : public QObject {
    Q_OBJECT

    static QStringList lines(const QString& out) { return out.split('\n', Qt::SkipEmptyParts); }

private slots:
    void incomeReport()
    {
        QTemporaryDir tmp;
        const QString root = tmp.filePath("r");
        QCOMPARE(cli({"init", root, "--year", "2004"}).code, 0);
        const QString ini = root + "/prog.ini";
        const QByteArray files[][2] = {
            {"org_spr", "Org,Name\r\n12345,Детский сад\r\n13345,Школа\r\n"},
            {"SumTypeSpr", "SumType,Comment\r\n001,Плата\r\n101,Свет\r\n"},
            {"DOrg", "Org,InSum,OutSum,Remainder\r\n12345,150,30,120\r\n13345,5,0,5\r\n"},
            {"DIn", "Org,Date,Sum,Note,SumType\r\n12345,2004-02-28,100,февраль,001\r\n"
                    "12345,2004-03-01,50,март,101\r\n13345,2004-03-10,5,школа,001\r\n"},
            {"DOut", "Org,Date,Sum,Note,SumType\r\n12345,2004-03-31,30,расход,101\r\n"},
        };
        for (const auto& f : files) {
            QFile csv(tmp.filePath(QString::fromLatin1(f[0]) + ".csv"));
            QVERIFY(csv.open(QIODevice::WriteOnly));
            csv.write(f[1]);
            csv.close();
            const Run r = cli({"--ini", ini, "import", QString::fromLatin1(f[0]), csv.fileName()});
            QVERIFY2(r.code == 0, qPrintable(r.err));
        }
        Run r = cli({"--ini", ini, "report", "income", "--from", "01.03.2004", "--to", "31.03.2004", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QStringList l = lines(r.out);
        QVERIFY2(l.contains("Период: c 01.03.2004 по 31.03.2004\tВид прихода/расхода: Все"), qPrintable(r.out));
        QVERIFY(l.contains("На начало периода:\tПриход:\t100,00\tРасход:\t0,00\tСальдо:\t100,00"));
        QVERIFY(l.contains("На конец периода:\tПриход:\t150,00\tРасход:\t30,00\tСальдо:\t120,00"));
        QVERIFY(l.contains("Итого по\tвсем организациям"));
        QVERIFY(r.out.contains("Школа"));

        r = cli({"--ini", ini, "report", "income", "--from", "01.03.2004", "--to", "31.03.2004", "--org", "123**",
                 "--kind", "1**", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        l = lines(r.out);
        QVERIFY(l.contains("Отбор организаций: по маске 123**"));
        QVERIFY2(l.contains("Период: c 01.03.2004 по 31.03.2004\tВид прихода/расхода: по маске 1**"), qPrintable(r.out));
        QVERIFY(!r.out.contains("Школа"));
        // Only the kinds beginning with 1: nothing before the period, the
        // March receipt in it.
        QVERIFY(!r.out.contains("февраль"));
        QVERIFY(l.contains("На начало периода:\tПриход:\t0,00\tРасход:\t0,00\tСальдо:\t0,00"));
        QVERIFY(l.contains("Итого по\t123**"));
        QVERIFY(r.out.contains("март"));

        const QString pdf = tmp.filePath("income.pdf");
        r = cli({"--ini", ini, "report", "income", "--pdf", pdf});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-");

        for (const QStringList& bad : {QStringList{"report", "income", "--kind", "1234", "--text"},
                                       {"report", "income", "--org", "123456", "--text"},
                                       {"report", "income", "--from", "32.01.2004", "--text"},
                                       {"report", "income", "--cbc", "1", "--text"}})
            QVERIFY2(cli(QStringList{"--ini", ini} + bad).code == 2, qPrintable(bad.join(' ')));
        QVERIFY(cli({"report", "--help"}).out.contains("income"));
    }
};

QTEST_GUILESS_MAIN(CliIncomeTest)
#include "tst_cli_income.moc"
