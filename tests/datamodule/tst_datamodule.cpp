// The data module on real temporary roots: settings, opening the year,
// hooks, calculated fields, re-reading and the backup copy.
#include "core/datamodule/datamodule.h"
#include "tests/install.h"

#include <QDir>
#include <atomic>
#include <sqlite3.h>
#include <thread>

using dm::TDataBase1;
using store::Table;

namespace {

// The template's books; prog.ini is written by the tests that need one, with
// backslashes as a user of the program writes it.
const std::vector<TemplateRows> TemplateBooks = {{"SumTypeSpr", {{"000", "Без вида"}}},
                                                 {"law_spr", {{"01", "Из шаблона"}}}};
const Install::Setup NoIni{.settings = false};

} // namespace

class DataModuleTest : public QObject {
    Q_OBJECT

private slots:
    void firstStartWithoutSettings()
    {
        // No prog.ini at all: DataBase\ and Local\ of the current directory, year 2003.
        Install in(TemplateBooks, NoIni);
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(in.dir);
        {
            auto d = in.open();
            QVERIFY(in.said.empty());
            QVERIFY(d->isOpen());
            QVERIFY(QFileInfo::exists(in.dir + "/DataBase/2003/year.db"));
            QCOMPARE(d->DataBaseDir(), QStringLiteral("DataBase\\"));
            QCOMPARE(d->Year(), 2003);
            QCOMPARE(d->UserName(), QStringLiteral("User1"));
            QCOMPARE(d->LocalBaseDir(), QStringLiteral("Local\\"));
            QCOMPARE(d->OrgName(), QString());
            QVERIFY(d->SumTypeSprTable.findKey({"000"}));
            for (Table* t : d->yearTables())
                QVERIFY2(t->isOpen(), qPrintable(t->objectName()));
            for (Table* t : d->workTables())
                QVERIFY(!t->isOpen());
            // The work tables open on the local directory.
            d->MdTable.open();
            QVERIFY(d->MdTable.isEmpty());
        }
        QDir::setCurrent(cwd);
        QVERIFY(!QFileInfo::exists(in.ini));   // only the settings dialog writes it
    }

    void settingsAreReadEachTime()
    {
        Install in(TemplateBooks, NoIni);
        QFile f(in.ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("garbage line\r\n[Other]\r\nYear=1999\r\n[main]\r\nyear = 2005\r\n=\r\nORGNAME=Финуправление\r\n");
        f.close();
        TDataBase1 d(in.ini, [](auto&&...) { return dm::MsgResult::Ok; });
        QCOMPARE(d.Year(), 2005);
        QCOMPARE(d.OrgName(), QStringLiteral("Финуправление"));
        in.setting("OrgName", "Другое");
        QCOMPARE(d.OrgName(), QStringLiteral("Другое"));
    }

    void missingYear()
    {
        // Neither the year nor a template: the message, nothing open, and the program goes on.
        Install in({}, {.backslashes = true, .withTemplate = false});
        auto d = in.open();
        QVERIFY(!d->isOpen());
        QCOMPARE(in.said.size(), size_t(1));
        QCOMPARE(in.said[0].caption, QStringLiteral("Ошибка настройки"));
        QCOMPARE(in.said[0].text, QStringLiteral("Не удается открыть базу данных. Настройте путь к ее местоположению, "
                                                 "воспользовшись меню Сервис\\Настройка"));
        for (Table* t : d->yearTables())
            QVERIFY(!t->isOpen());
        QVERIFY(!storeError([&] { d->T1.first(); }).isEmpty());
        // A year directory left without its database is no year either.
        QDir().mkpath(in.dir + "/DataBase/2004");
        in.said.clear();
        QVERIFY(!d->DataBaseCreate());
        QCOMPARE(in.said.size(), size_t(1));
    }

    // A template that cannot be copied: the copy's error is shown as the
    // program's errors are, nothing opens, and no half-made year is left for
    // a later start to take as present.
    void yearThatCannotBeMade_data()
    {
        QTest::addColumn<QString>("name");     // a file in the template, after year.db
        QTest::addColumn<QString>("target");   // what it is, "" for a plain file
        QTest::addColumn<QString>("error");
        // A name as long as names go: the copy's own work file beside it cannot be made.
        QTest::newRow("destination") << QString(255, 'z') << QString() << "Cannot create file";
        if (QFileInfo::exists("/proc/self/mem"))   // a file whose reading fails, even for root
            QTest::newRow("source") << "zz.txt" << "/proc/self/mem" << "Stream read error";
    }
    void yearThatCannotBeMade()
    {
        QFETCH(QString, name);
        QFETCH(QString, target);
        QFETCH(QString, error);
        Install in(TemplateBooks, 2004, true);
        const QString bad = in.dir + "/DataBase/Orig/" + name;
        if (target.isEmpty()) {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
        } else {
            QVERIFY(QFile::link(target, bad));
        }
        std::unique_ptr<TDataBase1> d;
        QCOMPARE(storeError([&] { d = in.open(); }), QString());   // the program goes on
        QVERIFY(d);
        QVERIFY(!d->isOpen());
        QCOMPARE(in.said.size(), size_t(1));
        QCOMPARE(in.said[0].caption, QString());   // the general error display: the program's title
        QCOMPARE(in.said[0].icon, dm::MsgIcon::Error);
        QVERIFY2(in.said[0].text.startsWith(error), qPrintable(in.said[0].text));
        for (Table* t : d->yearTables())
            QVERIFY(!t->isOpen());
        QCOMPARE(QDir(in.dir + "/DataBase").entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList({"Orig"}));
        // A later start meets the same failure, not a torn year.
        in.said.clear();
        QVERIFY(!d->DataBaseCreate());
        QCOMPARE(in.said.size(), size_t(1));
        QVERIFY(in.said[0].text.startsWith(error));
        QVERIFY(!QFileInfo::exists(in.dir + "/DataBase/2004"));
        // Mended, the year is made.
        QVERIFY(QFile::remove(bad));
        in.said.clear();
        QVERIFY(d->DataBaseCreate());
        QVERIFY(in.said.empty());
        QVERIFY(d->LawSprTable.findKey({"01"}));
    }

    void newYearsStartFromTheTemplate()
    {
        Install in(TemplateBooks, 2004, true);
        {
            auto d = in.open();
            QVERIFY(d->isOpen());
            QVERIFY(d->LawSprTable.findKey({"01"}));
            d->LawSprTable.appendRecord({"02", "Добавлен в 2004"});
        }
        in.writeIni(2005, true);
        auto d = in.open();
        QVERIFY(d->isOpen());
        QCOMPARE(d->LawSprTable.recordCount(), 1);   // the template's books, not last year's
        // Back to 2004: its own books.
        in.setting("Year", "2004");
        QVERIFY(d->DataBaseCreate());
        QCOMPARE(d->LawSprTable.recordCount(), 2);
    }

    void rootWithoutSeparator()
    {
        Install in(TemplateBooks, NoIni);
        QVERIFY(QDir().rename(in.dir + "/DataBase", in.dir + "/Acc"));
        in.setting("DataBaseDir", in.dir + "/Acc");
        in.setting("Year", "2004");
        in.setting("LocalBaseDir", in.dir + "/Local/");
        auto d = in.open();
        // "Acc" + 2004: no template under Acc2004's root, so nothing opens, and
        // the year directory named is Acc2004 beside Acc.
        QCOMPARE(d->yearDir(2004), in.dir + "/Acc2004\\");
        QVERIFY(!d->isOpen());
        QVERIFY(!QFileInfo::exists(in.dir + "/Acc/2004"));
        store::Session::createDatabase(in.dir + "/Acc2004", schema::Location::Year);
        in.said.clear();
        QVERIFY(d->DataBaseCreate());
        QVERIFY(in.said.empty());
        QCOMPARE(d->T1.directory(), in.dir + "/Acc2004/");
    }

    void secondCopyUnderTheSameName()
    {
        Install in(TemplateBooks, 2004, true);
        auto a = in.open("Иванова");
        QVERIFY(a->isOpen());
        auto b = in.open("Иванова");
        QVERIFY(!b->isOpen());
        QCOMPARE(in.said.back().caption, QStringLiteral("Ошибка настройки"));
        QVERIFY(in.said.back().text.contains("Иванова"));
        auto c = in.open("Петрова");
        QVERIFY(c->isOpen());
    }

    void hooks()
    {
        Install in(TemplateBooks, 2004, true);
        auto d = in.open();
        Table& org = d->Org_Table;
        org.append();
        org.fieldByName("Org").setText("123-45");
        org.fieldByName("Name").setValue("Школа");
        org.post();
        QCOMPARE(org.fieldByName("Org").asString(), QStringLiteral("12345"));
        QCOMPARE(org.fieldByName("Org").displayText(), QStringLiteral("123-45"));
        org.appendRecord({"1234"});
        QCOMPARE(org.fieldByName("Org").displayText(), QStringLiteral("123-4"));
        org.appendRecord({"123"});
        QCOMPARE(org.fieldByName("Org").displayText(), QStringLiteral("123"));
        Table& law = d->LawSprTable;
        law.append();
        law.fieldByName("LawRef").setText("AB-C");
        law.post();
        QCOMPARE(law.fieldByName("LawRef").asString(), QStringLiteral("ABC"));
        QCOMPARE(law.fieldByName("LawRef").displayText(), QStringLiteral("AB-C"));
        QVERIFY(law.findKey({"01"}));
        QCOMPARE(law.fieldByName("LawRef").displayText(), QStringLiteral("01"));
        // Hooks off: stored values shown, calculated fields empty.
        d->T1.appendRecord({"A1", "ABC"});
        QCOMPARE(d->T1.fieldByName("LawRef").displayText(), QStringLiteral("AB-C"));
        QCOMPARE(d->T1.fieldByName("LawSName").asString(), QString());
        d->DisableTableProcess();
        QCOMPARE(org.fieldByName("Org").displayText(), QStringLiteral("123"));
        QVERIFY(d->T1.findKey({"A1"}));
        QCOMPARE(d->T1.fieldByName("LawRef").displayText(), QStringLiteral("ABC"));
        // Codes and work tables keep no hook.
        QVERIFY(!d->CorPlanTable.fieldByName("Org").hasDisplayHook());
        d->EnableTableProcess();
        QVERIFY(!d->CorPlanTable.fieldByName("Org").hasDisplayHook());
        QVERIFY(!d->DInTable.fieldByName("Org").hasDisplayHook());
        QVERIFY(d->DOrgTable.fieldByName("Org").hasDisplayHook());
    }

    void names()
    {
        Install in(TemplateBooks, 2004, true);
        auto d = in.open();
        d->LawSprTable.appendRecord({"02", "Второе"});
        d->CBCSPRTable.appendRecord({"0101"});
        for (auto [code, name] : {std::pair{"10001", "Первая"}, {"10003", "Третья"}, {"10005", "Пятая"}})
            d->Org_Table.appendRecord({code, name});
        d->T1.appendRecord({"A1", "015"});
        QCOMPARE(d->T1.fieldByName("LawSName").asString(), QStringLiteral("Второе"));   // the next greater code
        d->T2_2.appendRecord({"A1", "02", 5.0, QDate(2004, 1, 1), "0101", "10003"});
        QCOMPARE(d->T2_2.fieldByName("OrgName").asString(), QStringLiteral("Третья"));
        QCOMPARE(d->T2_2.fieldByName("LawSName").asString(), QStringLiteral("Второе"));
        // Reading the row moved the shared book row.
        d->Org_Table.first();
        d->T2_2.first();
        QCOMPARE(d->Org_Table.fieldByName("Org").asString(), QStringLiteral("10003"));
        // A code missing from the book: the next greater one for postings, empty for the schedule.
        d->PlanTable.appendRecord({"10005", "0101", "A1"});
        QVERIFY(d->PlanTable.findKey({"10005"}));
        QCOMPARE(d->PlanTable.fieldByName("OrgName").asString(), QStringLiteral("Пятая"));
        d->Org_Table.findKey({"10001"});
        d->Org_Table.edit();
        d->Org_Table.fieldByName("Name").setValue(QString(35, QChar(0x0416)));
        d->Org_Table.post();
        d->PlanTable.appendRecord({"10001", "0101", "A1"});
        QVERIFY(d->PlanTable.findKey({"10001"}));
        QCOMPARE(d->PlanTable.fieldByName("OrgName").asString().size(), 20);   // cut to the field
        // The income accounting.
        d->DOrgTable.appendRecord({"10004"});
        QCOMPARE(d->DOrgTable.fieldByName("Name").asString(), QStringLiteral("Пятая"));
        d->SumTypeSprTable.appendRecord({"005", "Аренда"});
        d->DInTable.appendRecord({"10004", QDate(2004, 1, 1), 3.0, QVariant(), "005"});
        // A pending row that cannot be posted is dropped when the year closes.
        d->DOutTable.append();
        d->DOutTable.fieldByName("SumType").setValue("999");
        QCOMPARE(d->DInTable.fieldByName("Comment").asString(), QStringLiteral("Аренда"));
        // An empty book gives empty names.
        d->LawSprTable.setRange({"99"}, {"99"});
        QVERIFY(d->T1.findKey({"A1"}));
        QCOMPARE(d->T1.fieldByName("LawSName").asString(), QString());
        d->LawSprTable.cancelRange();
    }

    // A book with a row of its own pending is looked up without posting,
    // cancelling or moving it; rows read aside (a grid painting them) do not
    // move the book either; only the current row does.
    void namesLeaveAPendingBookAlone()
    {
        Install in(TemplateBooks, 2004, true);
        auto d = in.open();
        d->CBCSPRTable.appendRecord({"0101"});
        for (auto [code, name] : {std::pair{"10001", "Первая"}, {"10003", "Третья"}, {"10005", "Пятая"}})
            d->Org_Table.appendRecord({code, name});
        d->T1.appendRecord({"A1", "01"});
        for (auto [amount, org] : {std::pair{1.0, "10001"}, {2.0, "10003"}, {3.0, "10005"}})
            d->T2_2.appendRecord({"A1", "01", amount, QDate(2004, 1, 1), "0101", org});
        d->PlanTable.appendRecord({"10003", "0101", "A1"});

        // Half-typed in a dialog: a new organization that sorts before 10003.
        Table& org = d->Org_Table;
        QVERIFY(org.findKey({"10005"}));
        org.append();
        org.fieldByName("Org").setValue("10002");
        QStringList names;
        d->T2_2.first();
        names << d->T2_2.fieldByName("OrgName").asString();
        for (int i = 0; i < d->T2_2.recordCount(); ++i)
            d->T2_2.withRowAt(i, [&] { names << d->T2_2.fieldByName("OrgName").asString(); });
        d->T2_2.next();
        names << d->T2_2.fieldByName("OrgName").asString();
        QVERIFY(d->PlanTable.findKey({"10003"}));
        names << d->PlanTable.fieldByName("OrgName").asString();
        QCOMPARE(names, QStringList({"Первая", "Первая", "Третья", "Пятая", "Третья", "Третья"}));
        QCOMPARE(org.state(), store::TableState::Insert);
        QCOMPARE(org.fieldByName("Org").asString(), QStringLiteral("10002"));
        org.cancel();
        QCOMPARE(org.recordCount(), 3);
        QVERIFY(!org.findKey({"10002"}));
        QCOMPARE(org.fieldByName("Org").asString(), QStringLiteral("10005"));   // where it stood

        // A changed name is not stored behind the dialog's back either.
        QVERIFY(org.findKey({"10001"}));
        org.edit();
        org.fieldByName("Name").setValue("Переименована");
        d->T2_2.first();
        QCOMPARE(d->T2_2.fieldByName("OrgName").asString(), QStringLiteral("Первая"));
        org.cancel();
        QCOMPARE(org.fieldByName("Name").asString(), QStringLiteral("Первая"));

        // In browse state the current row moves the book, a row read aside does not.
        QVERIFY(org.findKey({"10005"}));
        d->T2_2.first();
        QCOMPARE(org.fieldByName("Org").asString(), QStringLiteral("10001"));
        d->T2_2.withRowAt(1, [] {});
        QCOMPARE(org.fieldByName("Org").asString(), QStringLiteral("10001"));
        d->PlanTable.withRowAt(0, [] {});
        QCOMPARE(org.fieldByName("Org").asString(), QStringLiteral("10001"));
    }

    void quarterSums()
    {
        Install in(TemplateBooks, 2004, true);
        auto d = in.open();
        d->Org_Table.appendRecord({"10001"});
        d->CBCSPRTable.appendRecord({"0101"});
        Table& p = d->PlanTable;
        p.appendRecord({"10001", "0101", "A1", 10.0, QVariant(), QVariant(), 5.0});
        QVERIFY(p.findKey({"10001"}));
        p.fieldByName("Sum2").setText("100");   // puts the row into edit mode itself
        QCOMPARE(p.state(), store::TableState::Edit);
        QCOMPARE(p.fieldByName("AllSum").asFloat(), 115.0);
        p.fieldByName("Sum3").setText("0,1");
        QCOMPARE(p.fieldByName("AllSum").asFloat(), 115.1);
        QCOMPARE(storeError([&] { p.fieldByName("Sum1").setText("abc"); }),
                 QStringLiteral("'abc' is not a valid floating point value"));
        QCOMPARE(storeError([&] { p.fieldByName("Sum1").setText(""); }), QStringLiteral("'' is not a valid floating point value"));
        QCOMPARE(p.fieldByName("Sum1").asFloat(), 10.0);
        p.post();
        // Notices set as numbers keep AllSum empty; typed, it follows.
        Table& c = d->CorPlanTable;
        c.appendRecord({"10001", "0101", "A1", 1.0, QDate(2004, 1, 1), QVariant(), 1.0, 2.0});
        QVERIFY(c.fieldByName("AllSum").isNull());
        c.fieldByName("Sum4").setText("-4");
        QCOMPARE(c.fieldByName("AllSum").asFloat(), -1.0);
        c.cancel();
    }

    void workTables()
    {
        Install in(TemplateBooks, 2004, true);
        auto d = in.open();
        Table& m4 = d->MD4Table;
        m4.open();
        m4.appendRecord({"C", QVariant(), 50.0});
        QCOMPARE(m4.fieldByName("InAll").value(), QVariant(50.0));
        QCOMPARE(m4.fieldByName("OutAll").value(), QVariant(0.0));
        d->DisableTableProcess();   // these stay
        QCOMPARE(m4.fieldByName("InAll").value(), QVariant(50.0));
        Table& u = d->Umd1Table;
        u.open();
        u.appendRecord({"1", 50.0, QVariant(), 7.0, 2.0});
        QVERIFY(u.fieldByName("StartInOut").isNull());
        QCOMPARE(u.fieldByName("EndInOut").asFloat(), 5.0);
        // Required fields checked before the store sees the row.
        d->MdTable.open();
        QCOMPARE(storeError([&] { d->MdTable.appendRecord({QVariant(), 1.0}); }),
                 QStringLiteral("Field 'FaceBill' must have a value"));
        d->MdTable.cancel();
        QCOMPARE(storeError([&] { d->CorPlanTable.appendRecord({QVariant(), QVariant(), "A", QVariant(), QDate(2004, 1, 1)}); }),
                 QStringLiteral("Field 'Num' must have a value"));
        d->CorPlanTable.cancel();
        // t1 is left to the store.
        QCOMPARE(storeError([&] { d->T1.appendRecord({QVariant()}); }), QStringLiteral("Field value required."));
        d->T1.cancel();
    }

    void syncSeesOtherCopies()
    {
        Install in(TemplateBooks, 2004, true);
        auto a = in.open("A");
        auto b = in.open("B");
        QVERIFY(a->isOpen() && b->isOpen());
        QCOMPARE(b->LawSprTable.recordCount(), 1);
        a->LawSprTable.appendRecord({"02"});
        QCOMPARE(b->LawSprTable.recordCount(), 1);   // its view stands until re-read
        b->SyncTable(b->LawSprTable);
        QCOMPARE(b->LawSprTable.recordCount(), 2);
        QCOMPARE(b->LawSprTable.recNo(), 1);
        a->T1.appendRecord({"X"});
        b->SyncAllTables();
        QVERIFY(b->T1.findKey({"X"}));
    }

    void copyDir()
    {
        Install in(TemplateBooks, NoIni);
        const QString src = in.dir + "/src/", dst = in.dir + "/a/b/c/";
        QDir().mkpath(src + "sub");
        for (const char* n : {"a.txt", "b.txt", "c.txt"}) {
            QFile f(src + n);
            f.open(QIODevice::WriteOnly);
            f.write(n);
            f.close();
            f.open(QIODevice::ReadWrite);
            f.setFileTime(QDateTime(QDate(2004, 2, 1), QTime(10, 0)), QFileDevice::FileModificationTime);
        }
        auto d = in.open();
        QDir().mkpath(dst);
        QFile old(dst + "a.txt");
        old.open(QIODevice::WriteOnly);
        old.write("old contents");
        old.close();
        d->CopyDir(src, dst);
        QFile a(dst + "a.txt");
        QVERIFY(a.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), QByteArray("a.txt"));   // overwritten
        QCOMPARE(QFileInfo(dst + "b.txt").lastModified(), QDateTime(QDate(2004, 2, 1), QTime(10, 0)));
        QVERIFY(!QFileInfo::exists(dst + "sub"));   // files only
        // A file that cannot be written stops the copy there.
        const QString dst2 = in.dir + "/d/";
        QDir().mkpath(dst2 + "b.txt/x");
        QCOMPARE(storeError([&] { d->CopyDir(src, dst2); }), QStringLiteral("Cannot create file %1b.txt").arg(dst2));
        QVERIFY(QFileInfo::exists(dst2 + "a.txt"));
        QVERIFY(!QFileInfo::exists(dst2 + "c.txt"));
        QCOMPARE(storeError([&] { d->CopyDir(src, "/proc/nope/"); }).left(18), QStringLiteral("Cannot create file"));
    }

    void backup()
    {
        Install in(TemplateBooks, 2004, true);
        auto d = in.open();
        d->LawSprTable.appendRecord({"02"});
        const QString day = QDate::currentDate().toString("dd.MM.yyyy");
        const QString target = in.dir + "/" + day + "/2004/year.db";
        // Cancel: nothing happens, the year stays open.
        in.answer = dm::MsgResult::Cancel;
        QVERIFY(!d->BackCopyDataBase());
        QVERIFY(d->isOpen());
        QVERIFY(!QFileInfo::exists(target));
        QCOMPARE(in.said.back().caption, QStringLiteral("Предупреждение"));
        QVERIFY(in.said.back().text.startsWith("Создание резервной копии бызы данных требует монопольного доступа."));
        in.answer = dm::MsgResult::Ok;
        QVERIFY(d->BackCopyDataBase());
        QCOMPARE(in.said.back().caption, QStringLiteral("Резервное копирование"));
        QCOMPARE(in.said.back().text, QStringLiteral("Создание резервной копии завершено"));
        QVERIFY(d->isOpen());
        QCOMPARE(d->LawSprTable.recordCount(), 2);
        QVERIFY(QFileInfo::exists(target));
        QCOMPARE(QFileInfo(target).lastModified(), QFileInfo(in.dir + "/DataBase/2004/year.db").lastModified());
        QVERIFY(!QFileInfo::exists(in.dir + "/" + day + "/2004/year.lck"));
        // A second backup on the same day overwrites the first.
        d->LawSprTable.appendRecord({"03"});
        QVERIFY(d->BackCopyDataBase());
        {
            store::Session s;
            s.setControlDir(in.dir + "/DataBase");
            s.addParam("USER NAME=check");
            Table law(&s);
            law.setTableName("law_spr");
            law.setDirectory(in.dir + "/" + day + "/2004");
            law.open();
            QCOMPARE(law.recordCount(), 3);
        }
        // The year of the settings dialog's field; a year without a directory
        // leaves an empty backup directory and still reports completion.
        d->setYearSource([] { return 2010; });
        QVERIFY(d->BackCopyDataBase());
        QVERIFY(QFileInfo(in.dir + "/" + day + "/2010").isDir());
        QVERIFY(QDir(in.dir + "/" + day + "/2010").isEmpty());
        QCOMPARE(in.said.back().caption, QStringLiteral("Резервное копирование"));
    }

    void backupWhileAnotherCopyWrites()
    {
        Install in(TemplateBooks, 2004, true);
        auto d = in.open();
        const QByteArray file = QFile::encodeName(in.dir + "/DataBase/2004/year.db");
        std::atomic<bool> stop{false};
        std::atomic<int> written{0};
        // Another copy posting as fast as it can on its own connection.
        std::thread writer([&] {
            sqlite3* db = nullptr;
            sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
            sqlite3_busy_timeout(db, 5000);
            for (int i = 0; !stop; ++i) {
                const QByteArray sql = "INSERT INTO t1 (Facebill, InAmount) VALUES ('W" + QByteArray::number(i) + "', 1)";
                if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                    ++written;
            }
            sqlite3_close(db);
        });
        while (written < 20)
            std::this_thread::yield();
        const bool ok = d->BackCopyDataBase();
        stop = true;
        writer.join();
        QVERIFY(ok);
        const QString day = QDate::currentDate().toString("dd.MM.yyyy");
        store::Session s;
        s.setControlDir(in.dir + "/DataBase");
        s.addParam("USER NAME=check");
        Table t1(&s);
        t1.setTableName("t1");
        t1.setDirectory(in.dir + "/" + day + "/2004");
        t1.open();
        QCOMPARE(t1.connection().integrityCheck(), QStringLiteral("ok"));
        QVERIFY(t1.recordCount() >= 20);
        QVERIFY(t1.recordCount() <= written);
    }
};

QTEST_GUILESS_MAIN(DataModuleTest)
#include "tst_datamodule.moc"
