// The backup of a year on the server: the year's schema read in one
// transaction into a year database file of the dated backup directory,
// which then opens as any year of files.
#include "core/datamodule/datamodule.h"
#include "core/store/pg_connection.h"
#include "tests/install.h"
#include "tests/pgtest.h"

#include <QDir>
#include <atomic>
#include <sqlite3.h>
#include <thread>

using dm::TDataBase1;
using store::Table;

namespace {

const std::vector<TemplateRows> Books = {
    {"SumTypeSpr", {{"000", "Без вида"}}},
    {"law_spr", {{"01", "Из шаблона", "Закон"}}},
    {"cbc_spr", {{"0101001000000000111", "Налог", "Нал", "1"}}},
    {"org_spr", {{"00101", "Школа", QVariant(), "40100000001", QVariant(), "0101001000000000111"}}},
};

using Rows = QList<QVariantList>;

// A value as the two stores give it back: a number for an amount, a text
// otherwise, an invalid QVariant for null.
QVariant typed(const char* text, bool null, schema::FieldType type)
{
    if (null)
        return {};
    if (type == schema::FieldType::Float)
        return QByteArray(text).toDouble();
    if (type == schema::FieldType::AutoInc)
        return QByteArray(text).toLongLong();
    return QString::fromUtf8(text);
}

QString columns(const schema::TableDef& t)
{
    QStringList cols{"rowid"};
    for (const auto& f : t.storedFields())
        cols << '"' + f.name + '"';
    return cols.join(", ");
}

// Every row of a table of the server's schema, with its row id, in row id order.
Rows serverRows(const QString& conninfo, const QString& schema, const schema::TableDef& t)
{
    Rows out;
    PGconn* pg = PQconnectdb(conninfo.toUtf8().constData());
    const QString sql = QString("SELECT %1 FROM \"%2\".\"%3\" ORDER BY rowid").arg(columns(t), schema, t.name);
    PGresult* r = PQexec(pg, sql.toUtf8().constData());
    if (PQresultStatus(r) != PGRES_TUPLES_OK)
        qWarning() << PQresultErrorMessage(r);
    const auto fields = t.storedFields();
    for (int i = 0; i < PQntuples(r); ++i) {
        QVariantList row{typed(PQgetvalue(r, i, 0), false, schema::FieldType::AutoInc)};
        for (int j = 0; j < fields.size(); ++j)
            row << typed(PQgetvalue(r, i, j + 1), PQgetisnull(r, i, j + 1), fields[j].type);
        out << row;
    }
    PQclear(r);
    PQfinish(pg);
    return out;
}

// The same of a year database file.
Rows fileRows(const QString& file, const schema::TableDef& t)
{
    Rows out;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = QString("SELECT %1 FROM \"%2\" ORDER BY rowid").arg(columns(t), t.name).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        qWarning() << sqlite3_errmsg(db);
    const auto fields = t.storedFields();
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        QVariantList row{typed(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), false,
                               schema::FieldType::AutoInc)};
        for (int j = 0; j < fields.size(); ++j)
            row << typed(reinterpret_cast<const char*>(sqlite3_column_text(st, j + 1)),
                         sqlite3_column_type(st, j + 1) == SQLITE_NULL, fields[j].type);
        out << row;
    }
    sqlite3_finalize(st);
    sqlite3_close_v2(db);
    return out;
}

// A session on the backup directory as on a year of files: no server.
std::unique_ptr<store::Session> fileSession(const Install& in)
{
    auto s = std::make_unique<store::Session>();
    s->setControlDir(in.dir + "/DataBase");
    s->addParam("USER NAME=check");
    s->open();
    return s;
}

QString today() { return QDate::currentDate().toString("dd.MM.yyyy"); }

} // namespace

class ServerBackupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The installations' years go on the tests' server.
        qputenv("SALDINA_TEST_SERVER", pgConnInfo());
    }

    void backupIsTheServersYearAsFiles()
    {
        Install in(Books);
        QVERIFY(!in.server.conninfo.isEmpty());
        auto d = in.open();
        QVERIFY(d->isOpen());
        for (const char* code : {"02", "04", "05"})
            d->LawSprTable.appendRecord({code, "Статья", QVariant()});
        d->T1.appendRecord({"40100000001", "01", 10.5, 0.1, QVariant()});
        d->T1.appendRecord({"40100000002", QVariant(), 1e-7, 123456789.123, -3.25});
        d->T2_1.appendRecord({"40100000001", "01", 0.3, QDate(2004, 3, 1), "0101001000000000111"});
        d->T2_2.appendRecord({"40100000001", "02", 7.0, QDate(2004, 12, 31), "0101001000000000111", "00101"});
        for (int n = 1; n <= 3; ++n)
            d->CorPlanTable.appendRecord({"00101", "0101001000000000111", "40100000001", double(n), QDate(2004, 2, n),
                                          QVariant(), 1.0, 2.0, 3.0, 4.0, 10.0});
        d->DInTable.appendRecord({"00101", QDate(2004, 5, 5), 99.99, "Приход «один»", "000"});
        // Row ids with gaps: a row removed in the middle and the last
        // numbered one.
        QVERIFY(d->LawSprTable.findKey({"04"}));
        d->LawSprTable.remove();
        d->CorPlanTable.last();
        const qint64 lastNumber = d->CorPlanTable.fieldByName("AbsNum").asInteger();
        d->CorPlanTable.remove();
        QCOMPARE(d->CorPlanTable.recordCount(), 2);

        QVERIFY(d->BackCopyDataBase());
        QCOMPARE(in.said.back().caption, QStringLiteral("Резервное копирование"));
        QCOMPARE(in.said.back().text, QStringLiteral("Создание резервной копии завершено"));
        QVERIFY(d->isOpen());
        QCOMPARE(d->CorPlanTable.recordCount(), 2);

        const QString dir = in.dir + "/" + today() + "/2004";
        const QString file = dir + "/year.db";
        QVERIFY(QFileInfo::exists(file));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{"year.db"});
        QCOMPARE(QDir(in.dir + "/" + today()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"2004"});
        for (const QString& name : schema::tableNames(schema::Location::Year)) {
            const schema::TableDef& t = *schema::table(name);
            const Rows server = serverRows(in.server.conninfo, "y2004", t);
            QCOMPARE(fileRows(file, t), server);
        }
        QCOMPARE(fileRows(file, *schema::table("corPln")).size(), 2);

        // The backup opens as a year of files and goes on from there: the
        // numbers the server handed out are not handed out again.
        auto s = fileSession(in);
        Table cor(s.get());
        cor.setTableName("corPln");
        cor.setDirectory(dir);
        cor.open();
        QCOMPARE(cor.connection().dialect(), schema::Dialect::Sqlite);
        QCOMPARE(cor.connection().integrityCheck(), QStringLiteral("ok"));
        QCOMPARE(cor.recordCount(), 2);
        cor.appendRecord({"00101", "0101001000000000111", "40100000001", 9.0, QDate(2004, 9, 9)});
        QVERIFY(cor.findKey({"00101", "0101001000000000111", "40100000001", 9.0, QDate(2004, 9, 9)}));
        QVERIFY(cor.fieldByName("AbsNum").asInteger() > lastNumber);
        s->close();

        // A second backup on the same day takes the first one's place.
        d->LawSprTable.appendRecord({"03", "Третий", QVariant()});
        QVERIFY(d->BackCopyDataBase());
        const schema::TableDef& law = *schema::table("law_spr");
        QCOMPARE(fileRows(file, law), serverRows(in.server.conninfo, "y2004", law));
        QCOMPARE(fileRows(file, *schema::table("corPln")).size(), 2);   // the row added to the first one is gone
        QCOMPARE(QDir(in.dir + "/" + today()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"2004"});

        // A year not on the server leaves an empty backup directory, as
        // a year without a directory does.
        d->setYearSource([] { return 2010; });
        QVERIFY(d->BackCopyDataBase());
        QVERIFY(QFileInfo(in.dir + "/" + today() + "/2010").isDir());
        QVERIFY(QDir(in.dir + "/" + today() + "/2010").isEmpty());
        QCOMPARE(in.said.back().caption, QStringLiteral("Резервное копирование"));
    }

    void anotherCopyOpenRefusesTheBackup()
    {
        Install in(Books);
        auto d = in.open();
        d->LawSprTable.appendRecord({"02", "Второй", QVariant()});
        {
            TDataBase1 other(in.otherCopy("User2"), in.recorder());
            QVERIFY(other.isOpen());
            in.said.clear();
            const QString why = storeError([&] { d->BackCopyDataBase(); });
            QCOMPARE(why, QStringLiteral("База данных y2004 используется другой копией программы. Резервное "
                                         "копирование требует монопольного доступа: закройте все остальные копии "
                                         "программы и повторите."));
            QCOMPARE(in.said.size(), size_t(1));   // the warning only: no completion
            QVERIFY(!QFileInfo::exists(in.dir + "/" + today()) ||
                    QDir(in.dir + "/" + today()).isEmpty());
            // The year is open again, and the other copy goes on.
            QVERIFY(d->isOpen());
            QCOMPARE(d->LawSprTable.recordCount(), 2);
            other.LawSprTable.appendRecord({"03", "Из другой копии", QVariant()});
        }
        // The other copy closed: the backup goes through.
        QVERIFY(d->BackCopyDataBase());
        QCOMPARE(fileRows(in.dir + "/" + today() + "/2004/year.db", *schema::table("law_spr")).size(), 3);
    }

    void postingDuringTheBackupIsWholeOrMissing()
    {
        Install in(Books);
        auto d = in.open();
        std::atomic<bool> stop{false};
        std::atomic<int> written{0};
        // Another writer posting as fast as it can: a bill and its line in
        // one transaction.
        std::thread writer([&] {
            PGconn* pg = PQconnectdb(in.server.conninfo.toUtf8().constData());
            for (int i = 0; !stop; ++i) {
                const QByteArray sql = QString("BEGIN; INSERT INTO y2004.t1 (\"Facebill\", \"InAmount\") VALUES ('W%1', 1); "
                                               "INSERT INTO y2004.t2_1 (\"FaceBill\", \"Amount\") VALUES ('W%1', 1); COMMIT")
                                           .arg(i)
                                           .toUtf8();
                PGresult* r = PQexec(pg, sql.constData());
                if (PQresultStatus(r) == PGRES_COMMAND_OK)
                    ++written;
                PQclear(r);
            }
            PQfinish(pg);
        });
        while (written < 20)
            std::this_thread::yield();
        const int before = written;
        const QString why = storeError([&] { QVERIFY(d->BackCopyDataBase()); });
        const int after = written;
        stop = true;
        writer.join();
        QCOMPARE(why, QString());
        const QString file = in.dir + "/" + today() + "/2004/year.db";
        QStringList bills, lines;
        for (const QVariantList& r : fileRows(file, *schema::table("t1")))
            bills << r[1].toString();
        for (const QVariantList& r : fileRows(file, *schema::table("t2_1")))
            lines << r[1].toString();
        QCOMPARE(lines, bills);
        QVERIFY(bills.size() >= before);
        QVERIFY(bills.size() <= after);
    }
};

QTEST_MAIN(ServerBackupTest)
#include "tst_server_backup.moc"
