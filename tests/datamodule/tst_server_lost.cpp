// The connection to the server lost under the data module: the failing call
// says so in Russian, everything closes, and opening the year connects again.
#include "core/datamodule/datamodule.h"
#include "tests/install.h"
#include "tests/pgtest.h"

using store::Table;

namespace {

const std::vector<TemplateRows> Books = {{"law_spr", {{"01", "Из шаблона", QVariant()}}}};

// The server ends the connections of every copy working on the installation's database.
void cutConnections(const Install& in)
{
    PGconn* pg = PQconnectdb(in.server.conninfo.toUtf8().constData());
    PGresult* r = PQexec(pg, "SELECT pg_terminate_backend(backend) FROM control.copies WHERE backend IN (SELECT pid FROM pg_stat_activity)");
    QCOMPARE(PQresultStatus(r), PGRES_TUPLES_OK);
    QVERIFY(PQntuples(r) > 0);
    PQclear(r);
    PQfinish(pg);
}

const QString LostStart = QStringLiteral("Нет связи с сервером базы данных (y2004 (сервер)): ");
const QString LostEnd =
    QStringLiteral(". Проверьте сеть и сервер и откройте базу данных снова (меню Сервис\\Настройка).");

} // namespace

class ServerLostTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("SALDINA_TEST_SERVER", pgConnInfo()); }

    void lostConnectionClosesEverything_data()
    {
        QTest::addColumn<bool>("writing");
        QTest::newRow("a write") << true;
        QTest::newRow("a read") << false;
    }

    void lostConnectionClosesEverything()
    {
        QFETCH(bool, writing);
        Install in(Books);
        auto d = in.open();
        QVERIFY(d->isOpen());
        d->LawSprTable.appendRecord({"02", "Вторая", QVariant()});
        cutConnections(in);

        const QString why = storeError([&] {
            if (writing)
                d->LawSprTable.appendRecord({"03", "Третья", QVariant()});
            else
                d->SyncAllTables();
        });
        QVERIFY2(why.startsWith(LostStart) && why.endsWith(LostEnd), qPrintable(why));
        QVERIFY2(!why.contains('\n') && !why.contains("FATAL"), qPrintable(why));
        // Once the failing call is over, nothing is left open, and the data
        // module itself said nothing more.
        QTRY_VERIFY(!d->isOpen());
        QVERIFY(!d->Session.isOpen());
        for (Table* t : d->yearTables())
            QVERIFY2(!t->isOpen(), qPrintable(t->objectName()));
        QVERIFY(in.said.empty());
        QCOMPARE(storeError([&] { d->CloseDataBase(); }), QString());

        // Opening the year again connects anew: the rows written before the
        // loss are there, and work goes on.
        QVERIFY(d->DataBaseCreate());
        QVERIFY(in.said.empty());
        QCOMPARE(d->LawSprTable.recordCount(), 2);
        d->LawSprTable.appendRecord({"03", "Третья", QVariant()});
        QCOMPARE(d->LawSprTable.recordCount(), 3);
        // A later loss is handled as the first one.
        cutConnections(in);
        QVERIFY(storeError([&] { d->LawSprTable.appendRecord({"04", "Четвертая", QVariant()}); }).startsWith(LostStart));
        QTRY_VERIFY(!d->isOpen());
    }

    void reopenedBeforeTheCloseStaysOpen()
    {
        // The year opened again inside the failing call's message (before
        // the event loop turns) is not closed behind the user's back.
        Install in(Books);
        auto d = in.open();
        cutConnections(in);
        QVERIFY(storeError([&] { d->LawSprTable.appendRecord({"03", "Третья", QVariant()}); }).startsWith(LostStart));
        QVERIFY(d->DataBaseCreate());
        QCoreApplication::processEvents();
        QVERIFY(d->isOpen());
        d->LawSprTable.appendRecord({"03", "Третья", QVariant()});
        QCOMPARE(d->LawSprTable.recordCount(), 2);
    }
};

QTEST_MAIN(ServerLostTest)
#include "tst_server_lost.moc"
