// The data module on settings and roots that cannot be used as they are: a
// Year that is not a year, a template that cannot be copied for want of room.
// Each is said once, opens nothing and makes nothing.
#include "core/datamodule/datamodule.h"
#include "tests/install.h"

#include <QDirIterator>
#include <csignal>
#include <sys/resource.h>

using dm::TDataBase1;

namespace {

QStringList entries(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

// Files written while it lives stop growing at `bytes`, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        old_handler_ = ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit l = {bytes, old_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, old_handler_);
    }

private:
    struct rlimit old_ = {};
    sighandler_t old_handler_ = SIG_DFL;
};

const std::vector<TemplateRows> Books = {{"SumTypeSpr", {{"000", "Без вида"}}}, {"law_spr", {{"01", "Из шаблона"}}}};

} // namespace

class SetupErrorsTest : public QObject {
    Q_OBJECT

private slots:
    void yearThatIsNoYear_data()
    {
        QTest::addColumn<QString>("value");
        for (const char* v : {"abcd", "99999999999", "../../escape", "-1", "0", "2100", "1986", "20 04", ""})
            QTest::newRow(v[0] ? v : "empty") << QString::fromUtf8(v);
    }
    void yearThatIsNoYear()
    {
        QFETCH(QString, value);
        Install in(Books, 2004);
        in.setting("Year", value);
        const QStringList before = entries(in.dir);
        auto d = in.open();
        QVERIFY(!d->isOpen());
        QCOMPARE(in.said.size(), size_t(1));
        QCOMPARE(in.said[0].caption, QStringLiteral("Ошибка настройки"));
        QVERIFY2(in.said[0].text.contains('"' + value + '"'), qPrintable(in.said[0].text));
        QVERIFY2(in.said[0].text.contains(in.ini), qPrintable(in.said[0].text));
        QVERIFY2(in.said[0].text.contains(QStringLiteral("1987")), qPrintable(in.said[0].text));
        for (store::Table* t : d->yearTables())
            QVERIFY(!t->isOpen());
        QVERIFY(!d->Session.isOpen());
        QCOMPARE(entries(in.dir), before);
        // The same on the next attempt; a year of the range opens.
        in.said.clear();
        QVERIFY(!d->DataBaseCreate());
        QCOMPARE(in.said.size(), size_t(1));
        in.setting("Year", "1987");
        in.said.clear();
        QVERIFY(d->DataBaseCreate());
        QVERIFY(in.said.empty());
        QVERIFY(QFileInfo::exists(in.year(1987) + "/year.db"));
    }

    // Years as the settings dialog writes them, and a missing key (the default).
    void yearsThatAreYears()
    {
        Install in(Books, 2099);
        {
            auto d = in.open();
            QVERIFY(d->isOpen());
            QVERIFY(in.said.empty());
        }
        QFile f(in.ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray text = f.readAll();
        f.close();
        text.replace("Year=2099\r\n", "");
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        auto d = in.open();
        QVERIFY(d->isOpen());
        QCOMPARE(d->Year(), dm::DefaultYear);
        QVERIFY(QFileInfo::exists(in.year(dm::DefaultYear) + "/year.db"));
    }

    // No room for the year's database: the failure names the file, shown as
    // the program's errors are; no year directory, no work directory is left.
    void yearOnFullDisk()
    {
        Install in(Books, 2004);
        const QStringList before = entries(in.dir + "/DataBase");
        std::unique_ptr<TDataBase1> d;
        {
            FileSizeLimit full(16 * 1024);
            QCOMPARE(storeError([&] { d = in.open(); }), QString());
        }
        QVERIFY(!d->isOpen());
        QCOMPARE(in.said.size(), size_t(1));
        QCOMPARE(in.said[0].caption, QString());
        QCOMPARE(in.said[0].icon, dm::MsgIcon::Error);
        QVERIFY2(in.said[0].text.contains(in.year(2004) + "/year.db"), qPrintable(in.said[0].text));
        QVERIFY2(!in.said[0].text.contains(".part"), qPrintable(in.said[0].text));
        QCOMPARE(entries(in.dir + "/DataBase"), before);
        in.said.clear();
        QVERIFY(d->DataBaseCreate());
        QVERIFY(in.said.empty());
        QVERIFY(d->LawSprTable.findKey({"01"}));
    }
};

QTEST_GUILESS_MAIN(SetupErrorsTest)
#include "tst_setup_errors.moc"
