// Packing a year on the server from the maintenance window: the schema's
// tables rewritten under its exclusive use lock, every row kept, and the
// refusal while another copy of the program has the year open.
#include "core/datamodule/datamodule.h"
#include "core/store/table.h"
#include "core/ui/messagebox.h"
#include "maintenance/packtableform.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "tests/pgtest.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

using maintenance::TPackTableForm;
using store::Table;

namespace {

const QDate PostDate(2004, 1, 10);
const QString Question = QStringLiteral(
    "Будет выполнена упаковка и реструктуризация таблиц базы данных. Данная функция требует монопольного "
    "доступа к таблицам базы данных. Все сетевые копии программы должны быть закрыты. Продолжить ?");
const QString HeldText = QStringLiteral(
    "Таблица org_spr используется другой копией программы. Упаковка требует монопольного доступа: "
    "закройте все остальные копии программы и повторите.");

Install withBooks()
{
    return Install({{"law_spr", {{"011", "Закон", QVariant()}}},
                    {"org_spr", {{"00101", "Школа"}, {"00202", "Больница"}}},
                    {"cbc_spr", {{"0101001000000000111", "Оплата"}}},
                    {"SumTypeSpr", {{"000", "Прочие"}}}});
}

// An account with 30 receipts, every third deleted again; three notices,
// the second deleted.
void fill(dm::TDataBase1& d)
{
    d.T1.appendRecord({"40101", "011", 0.0, 0.0, 0.0});
    for (int i = 1; i <= 30; ++i)
        d.T2_1.appendRecord({"40101", "011", double(i), PostDate, QVariant()});
    for (d.T2_1.first(); !d.T2_1.eof();)
        if (int(d.T2_1.fieldByName("Amount").asFloat()) % 3 == 0)
            d.T2_1.remove();
        else
            d.T2_1.next();
    for (int n = 1; n <= 3; ++n)
        d.CorPlanTable.appendRecord({"00101", "0101001000000000111", "40101", double(n), PostDate, QVariant(), 10.0,
                                     0.0, 0.0, 0.0, 10.0});
    d.CorPlanTable.first();
    d.CorPlanTable.next();
    d.CorPlanTable.remove();
}

// Every row of the year's schema with its row id, table by table.
QStringList yearRows(const Install& in)
{
    QStringList out;
    PGconn* pg = PQconnectdb(in.server.conninfo.toUtf8().constData());
    for (const QString& t : schema::tableNames(schema::Location::Year)) {
        const QByteArray sql = QString("SELECT * FROM y2004.\"%1\" ORDER BY rowid").arg(t).toUtf8();
        PGresult* r = PQexec(pg, sql.constData());
        for (int i = 0; i < PQntuples(r); ++i) {
            QStringList cols{t};
            for (int j = 0; j < PQnfields(r); ++j)
                cols << (PQgetisnull(r, i, j) ? QStringLiteral("<null>") : QString::fromUtf8(PQgetvalue(r, i, j)));
            out << cols.join('|');
        }
        PQclear(r);
    }
    PQfinish(pg);
    return out;
}

bool allYearTablesOpen(dm::TDataBase1& d)
{
    for (Table* t : d.yearTables())
        if (!t->isOpen())
            return false;
    return true;
}

bool allDone(const TPackTableForm& f, bool done)
{
    for (const QLabel* m : f.marks())
        if (TPackTableForm::markDone(m) != done)
            return false;
    return true;
}

int clickOk(TPackTableForm& f)
{
    return gui::runModal(f, [&f] { QTest::mouseClick(f.OkButton, Qt::LeftButton); });
}

} // namespace

class ServerPackTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("SALDINA_TEST_SERVER", pgConnInfo()); }

    void packedFromWindow()
    {
        Install in = withBooks();
        auto d = in.open();
        fill(*d);
        QCOMPARE(d->T2_1.recordCount(), 20);
        const QStringList rows = yearRows(in);
        QVERIFY(rows.size() > 20);

        ui::RecordingAnswerer answers(dm::MsgResult::Ok);
        TPackTableForm f(*d);
        QCOMPARE(clickOk(f), int(QDialog::Accepted));
        QCOMPARE(answers.texts(), QStringList{Question});
        QVERIFY(allDone(f, true));
        QVERIFY(allYearTablesOpen(*d));
        d->T1.first();
        QCOMPARE(d->T1.fieldByName("LawRef").displayText(), QStringLiteral("01-1"));   // the hooks are on again
        QCOMPARE(yearRows(in), rows);

        // The rules hold after the pack; the next serial number follows the last.
        d->CorPlanTable.appendRecord({"00202", "0101001000000000111", "40101", 2.0, PostDate, QVariant(), 1.0, 0.0,
                                      0.0, 0.0, 1.0});
        QVERIFY(d->CorPlanTable.findKey({"00202", "0101001000000000111", "40101", 2.0, PostDate}));
        QCOMPARE(d->CorPlanTable.fieldByName("AbsNum").asInteger(), qint64(4));
        QCOMPARE(storeError([&] { d->T2_1.appendRecord({"40101", "099", 1.0, PostDate, QVariant()}); }),
                 QString::fromLatin1(schema::LookupViolation));
        QCOMPARE(answers.count(), 1);
    }

    void heldByAnotherCopy()
    {
        Install in = withBooks();
        auto d = in.open();
        fill(*d);
        dm::TDataBase1 other(in.otherCopy("Other"), in.recorder());
        QVERIFY(other.isOpen());
        const QStringList rows = yearRows(in);

        ui::RecordingAnswerer answers(dm::MsgResult::Ok);
        TPackTableForm f(*d);
        QCOMPARE(clickOk(f), int(QDialog::Accepted));
        QCOMPARE(answers.count(), 2);
        QCOMPARE(answers.calls()[1].text, HeldText);
        QCOMPARE(answers.calls()[1].icon, dm::MsgIcon::Error);
        QVERIFY(allDone(f, false));
        QCOMPARE(yearRows(in), rows);
        QVERIFY(allYearTablesOpen(*d));
        d->T2_1.appendRecord({"40101", "011", 3.0, PostDate, QVariant()});
        QVERIFY(other.T2_1.findKey({"40101", "011", 3.0, PostDate}));
    }
};

QTEST_MAIN(ServerPackTest)
#include "tst_server_pack.moc"
