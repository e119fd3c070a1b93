// saldina-cli report purposes, movement and financing through the real
// executable: their pages as text and PDF, their selections, --progress.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include "tests/cli/clirun.h"

using clitest::cli;
using clitest::Run;

class CliPurposesTest : public QObject {
    Q_OBJECT

    static QStringList lines(const QString& out)
    {
        QStringList l = out.split('\n', Qt::SkipEmptyParts);
        l.removeIf([](const QString& x) { return x.contains("Дата составления") || x.startsWith("Страница"); });
        return l;
    }

private slots:
    void purposeReports()
    {
        QTemporaryDir tmp;
        const QString root = tmp.filePath("r"), ini = root + "/prog.ini";
        QCOMPARE(cli({"init", root, "--year", "2004"}).code, 0);
        const QByteArray files[][2] = {
            {"cbc_spr", "CBC,NAME\r\n0701901420001310000,Сады\r\n"},
            {"law_spr", "LawRef,Sname\r\n031,Дошкольное\r\n032,Общее\r\n041,Спорт\r\n"},
            {"org_spr", "Org,Name\r\n12345,Детский сад\r\n13345,Школа\r\n"},
            {"t1", "Facebill,LawRef\r\n00000000001,031\r\n"},
            {"t2_1", "FaceBill,LawRef,Amount,FiDate,CBC\r\n00000000001,031,100.5,2004-02-01,0701901420001310000\r\n"
                     "00000000001,041,9,2004-02-01,0701901420001310000\r\n"},
            {"t2_2", "Facebill,LawRef,Amount,FiDate,CBC,Org\r\n"
                     "00000000001,031,30.25,2004-02-02,0701901420001310000,12345\r\n"
                     "00000000001,032,7,2004-03-02,0701901420001310000,13345\r\n"},
        };
        for (const auto& f : files) {
            QFile csv(tmp.filePath(QString::fromLatin1(f[0]) + ".csv"));
            QVERIFY(csv.open(QIODevice::WriteOnly));
            csv.write(f[1]);
            csv.close();
            const Run r = cli({"--ini", ini, "import", QString::fromLatin1(f[0]), csv.fileName()});
            QVERIFY2(r.code == 0, qPrintable(r.err));
        }
        Run r = cli({"--ini", ini, "report", "purposes", "--org", "12***", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QStringList l = lines(r.out);
        QVERIFY(l.contains("Отбор организаций: по маске 12***\tОтбор назначений: Все"));
        QVERIFY(l.contains("Назначение\tДошкольное"));
        QVERIFY(l.contains("00000000001\t0701901420001310000\t02.02.2004\t123-45 Детский сад\t30,25"));
        QVERIFY(!l.contains("Назначение\tОбщее"));   // its one expenditure is of another organization

        r = cli({"--ini", ini, "report", "movement", "--progress", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        l = lines(r.out);
        QVERIFY(l.contains("Итого\t100,50\tИтого\t37,25\t63,25"));
        QCOMPARE(l.last(), QStringLiteral("Итого\t9,00\tИтого\t0,00\t9,00"));
        QVERIFY2(r.err.endsWith("33%\n66%\n100%\n"), qPrintable(r.err));

        r = cli({"--ini", ini, "report", "financing", "--from", "01.02.2004", "--to", "29.02.2004", "--progress", "--text"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        l = lines(r.out);
        QVERIFY(l.contains("Детский сад\t123-45"));
        QVERIFY(l.contains("Итого\t30,25"));
        QVERIFY(!r.out.contains("Школа"));
        QVERIFY2(r.err == "50%\n100%\n", qPrintable(r.err));   // two organizations
        const QString pdf = tmp.filePath("f.pdf");
        r = cli({"--ini", ini, "report", "financing", "--law", "03*", "--pdf", pdf});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly) && f.read(5) == "%PDF-");

        QCOMPARE(cli({"--ini", ini, "report", "movement", "--org", "123456", "--text"}).code, 2);
        const QString help = cli({"report", "--help"}).out;
        for (const char* name : {"purposes", "movement", "financing"})
            QVERIFY2(help.contains(QStringLiteral("  %1 ").arg(QLatin1String(name))), name);
    }
};

QTEST_MAIN(CliPurposesTest)
#include "tst_cli_purposes.moc"
