// Packing the tables: the maintenance window driven by its keys and
// clicks, the run under it, saldina-cli pack, another copy of the program
// holding the year, and a pack killed half-way.
#include "core/datamodule/datamodule.h"
#include "core/store/session.h"
#include "core/store/table.h"
#include "core/ui/messagebox.h"
#include "maintenance/pack.h"
#include "maintenance/packtableform.h"
#include "tests/gui.h"
#include "tests/install.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QtTest>
#include <sqlite3.h>

using maintenance::TPackTableForm;
using store::Table;

namespace {

const QDate PostDate(2004, 1, 10);
const QString Question = QStringLiteral(
    "Будет выполнена упаковка и реструктуризация таблиц базы данных. Данная функция требует монопольного "
    "доступа к таблицам базы данных. Все сетевые копии программы должны быть закрыты. Продолжить ?");

// Books of the template: two purposes, two organizations, one code, one kind.
Install withBooks()
{
    return Install({{"law_spr", {{"011", "Закон", QVariant()}, {"02", "Программа", QVariant()}}},
                    {"org_spr",
                     {{"00101", "Школа", QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
                      {"00202", "Больница", QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()}}},
                    {"cbc_spr", {{"0101001000000000111", "Оплата", QVariant(), QVariant()}}},
                    {"SumTypeSpr", {{"000", "Прочие"}}}});
}

// Three accounts; `receipts` receipts of the first one (amounts 1, 2, ...),
// of which every `dropEvery`-th is deleted again (0: none); a notice for
// each account, the second deleted; an organization of the income
// accounting with two receipts. Returns the amounts kept.
QList<double> fill(dm::TDataBase1& d, int receipts, int dropEvery)
{
    dm::TableProcessOff off(d);
    for (const char* a : {"40101", "40102", "40103"})
        d.T1.appendRecord({QString::fromLatin1(a), QStringLiteral("011"), 0.0, 0.0, 0.0});
    // The receipts by one statement: a year's worth would take long row by row.
    store::Connection& c = d.T2_1.connection();
    c.write([&] {
        c.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                              "INSERT INTO t2_1 (FaceBill, LawRef, Amount, FiDate) "
                              "SELECT '40101', '011', i * 1.0, '2004-01-10' FROM n")
                   .arg(receipts));
        if (dropEvery > 0)
            c.exec(QStringLiteral("DELETE FROM t2_1 WHERE CAST(Amount AS INTEGER) % %1 = 0").arg(dropEvery));
    });
    QList<double> kept;
    for (int i = 1; i <= receipts; ++i)
        if (dropEvery <= 0 || i % dropEvery != 0)
            kept << i;
    for (const char* a : {"40101", "40102", "40103"})
        d.CorPlanTable.appendRecord({QStringLiteral("00101"), QStringLiteral("0101001000000000111"),
                                     QString::fromLatin1(a), 1.0, PostDate, QVariant(), 10.0, 0.0, 0.0, 0.0,
                                     10.0});
    d.CorPlanTable.first();
    d.CorPlanTable.next();
    d.CorPlanTable.remove();
    d.DOrgTable.appendRecord({QStringLiteral("00101"), 30.0, 0.0, 30.0});
    d.DInTable.appendRecord({QStringLiteral("00101"), PostDate, 10.0, QStringLiteral("первый"), QStringLiteral("000")});
    d.DInTable.appendRecord({QStringLiteral("00101"), PostDate, 20.0, QStringLiteral("второй"), QStringLiteral("000")});
    return kept;
}

QList<double> amounts(Table& t)
{
    QList<double> out;
    for (t.first(); !t.eof(); t.next())
        out << t.fieldByName("Amount").asFloat();
    return out;
}

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

QString yearFile(const Install& in) { return store::Session::databasePath(in.year(), schema::Location::Year); }
QString workFile(const Install& in) { return store::Session::databasePath(in.local, schema::Location::Work); }

// SQL on a database file through a connection of its own, apart from the
// store; each row's columns joined by "|". With `write` the statements may
// change the file (the store's rules switched off as any other program
// could).
QStringList raw(const QString& file, const QString& sql, bool write = false)
{
    QStringList out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db,
                        write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return {QStringLiteral("cannot open")};
    }
    sqlite3_busy_timeout(db, store::BusyTimeoutMs);
    if (write)
        sqlite3_exec(db, "PRAGMA ignore_check_constraints=1", nullptr, nullptr, nullptr);
    const QByteArray u = sql.toUtf8();
    const char* tail = u.constData();
    while (tail && *tail) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, tail, -1, &st, &tail) != SQLITE_OK) {
            out << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
            break;
        }
        if (!st)
            break;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            QStringList cols;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                cols << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
            out << cols.join(QLatin1Char('|'));
        }
        if (rc != SQLITE_DONE)
            out << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(st);
    }
    sqlite3_close_v2(db);
    return out;
}

// Every stored row of the year with its row id, table by table.
QStringList yearRows(const Install& in)
{
    QStringList out;
    for (const char* t : {"org_spr", "law_spr", "cbc_spr", "t1", "t2_1", "t2_2", "planTbl", "corPln", "DOrg", "DIn",
                          "DOut", "SumTypeSpr"})
        for (const QString& r : raw(yearFile(in), QStringLiteral("SELECT rowid, * FROM \"%1\" ORDER BY rowid").arg(t)))
            out << QString::fromLatin1(t) + QLatin1Char('|') + r;
    return out;
}

bool allYearTablesOpen(dm::TDataBase1& d)
{
    for (Table* t : d.yearTables())
        if (!t->isOpen())
            return false;
    return true;
}

// The hooks are on when a purpose code shows with its dash.
bool hooksOn(dm::TDataBase1& d)
{
    d.T1.first();
    return d.T1.fieldByName("LawRef").displayText() == QLatin1String("01-1") &&
           d.T1.fieldByName("LawSName").asString() == QStringLiteral("Закон");
}

QList<bool> markStates(const TPackTableForm& f)
{
    QList<bool> out;
    for (const QLabel* m : f.marks())
        out << TPackTableForm::markDone(m);
    return out;
}

QList<bool> firstDone(int n)
{
    QList<bool> out;
    for (int i = 0; i < 11; ++i)
        out << (i < n);
    return out;
}

// Every paint of a mark while the window runs, with the states of all the
// marks at that moment.
class PaintLog : public QObject {
public:
    explicit PaintLog(TPackTableForm& f) : form_(f)
    {
        for (QLabel* m : f.marks())
            m->installEventFilter(this);
    }
    QList<QPair<int, QList<bool>>> paints;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            for (int i = 0; i < int(form_.marks().size()); ++i)
                if (form_.marks()[size_t(i)] == o)
                    paints.append({i, markStates(form_)});
        return false;
    }

private:
    TPackTableForm& form_;
};

// "Выполнить" clicked in the shown window, as the user's mouse does.
int clickOk(TPackTableForm& f)
{
    return gui::runModal(f, [&f] { QTest::mouseClick(f.OkButton, Qt::LeftButton); });
}

// Another copy of the program with the year open (t2_1), until it is let go.
class Holder {
public:
    explicit Holder(const Install& in)
    {
        p_.start(QStringLiteral(SHARING_CHILD),
                 {QStringLiteral("hold-open"), in.dir + "/DataBase", in.year(), QStringLiteral("Other"),
                  QStringLiteral("120")});
        p_.waitForStarted(10000);
        QElapsedTimer t;
        t.start();
        while (!line_.startsWith("ready") && t.elapsed() < 20000 && p_.state() == QProcess::Running)
            if (p_.waitForReadyRead(100))
                line_ = QString::fromUtf8(p_.readLine()).trimmed();
    }
    bool ready() const { return line_.startsWith(QLatin1String("ready")); }
    ~Holder()
    {
        p_.write("go\n");
        p_.closeWriteChannel();
        if (!p_.waitForFinished(10000))
            p_.kill();
        p_.waitForFinished(5000);
    }

private:
    QProcess p_;
    QString line_;
};

struct CliRun {
    int code = -1;
    QStringList out;
    QString err;
};

CliRun cliPack(const Install& in)
{
    QProcess p;
    p.start(QStringLiteral(SALDINA_CLI), {QStringLiteral("--ini"), in.ini, QStringLiteral("pack")});
    CliRun r;
    if (!p.waitForFinished(120000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    r.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
    return r;
}

QStringList lineTexts(int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << maintenance::packLines()[size_t(i)].caption + QStringLiteral(" ok");
    return out;
}

const QString HeldText = QStringLiteral(
    "Таблица org_spr используется другой копией программы. Упаковка требует монопольного доступа: "
    "закройте все остальные копии программы и повторите.");

} // namespace

class TstPack : public QObject {
    Q_OBJECT

private slots:
    void windowLines();
    void leftWithoutPacking_data();
    void leftWithoutPacking();
    void packedFromWindow();
    void heldByAnotherCopy();
    void failedCheckEndsRunAtThatTable();
    void commandLine();
    void killedHalfWayLeavesDatabasesWhole();
};

// The eleven lines with their marks, every one "pending" when the window
// comes up, and the caption.
void TstPack::windowLines()
{
    Install in = withBooks();
    auto d = in.open();
    TPackTableForm f(*d);
    QCOMPARE(f.windowTitle(), QStringLiteral("Обслуживание базы данных"));
    const QStringList marks = {"ImageOrg", "ImageLaw",  "ImageCBC", "ImageT2_1", "ImageT2_2",      "ImageT1",
                               "ImageRep", "ImageDOrg", "ImageDin", "ImageDOut", "ImageSumTypeSpr"};
    QCOMPARE(int(f.marks().size()), 11);
    for (int i = 0; i < 11; ++i) {
        QCOMPARE(f.marks()[size_t(i)]->objectName(), marks[i]);
        QCOMPARE(f.marks()[size_t(i)]->size(), QSize(15, 15));
    }
    QCOMPARE(maintenance::packLines()[6].tables, (QStringList{"md", "md1", "md2"}));
    QCOMPARE(f.OkButton->text(), QStringLiteral("Выполнить"));
    QCOMPARE(f.CancelButton->text(), QStringLiteral("Отмена"));
    gui::runModal(f, [&] {
        QCOMPARE(markStates(f), firstDone(0));
        QVERIFY(!f.marks()[0]->pixmap().isNull());
    });
}

void TstPack::leftWithoutPacking_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Enter") << "enter";
    QTest::newRow("Esc") << "esc";
    QTest::newRow("Отмена clicked") << "cancel button";
    QTest::newRow("question answered Отмена") << "question";
}

// Enter, Esc and "Отмена" close the window without asking; "Выполнить"
// asks, and Отмена to the question closes it too. Nothing changes either
// way: the files, the open tables, the hooks, the current rows.
void TstPack::leftWithoutPacking()
{
    QFETCH(QString, how);
    Install in = withBooks();
    auto d = in.open();
    fill(*d, 30, 3);
    d->T2_1.last();
    const int row = d->T2_1.recNo();
    QVERIFY(row > 1);
    const QByteArray year = fileHash(yearFile(in)), work = fileHash(workFile(in));

    ui::RecordingAnswerer answers(dm::MsgResult::Cancel);
    TPackTableForm f(*d);
    gui::runModal(f, [&] {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused);
        if (how == "enter")
            QTest::keyClick(focused, Qt::Key_Return);
        else if (how == "esc")
            QTest::keyClick(focused, Qt::Key_Escape);
        else if (how == "cancel button")
            QTest::mouseClick(f.CancelButton, Qt::LeftButton);
        else
            QTest::mouseClick(f.OkButton, Qt::LeftButton);
        QVERIFY2(!f.isVisible(), "the window stayed open");
    });
    if (how == "question") {
        QCOMPARE(answers.count(), 1);
        QCOMPARE(answers.last().caption, QStringLiteral("Предупреждение"));
        QCOMPARE(answers.last().text, Question);
        QCOMPARE(answers.last().buttons, dm::MsgButtons::OkCancel);
        QCOMPARE(answers.last().icon, dm::MsgIcon::Warning);
    } else {
        QCOMPARE(answers.texts(), QStringList());
    }
    QCOMPARE(markStates(f), firstDone(0));
    QCOMPARE(fileHash(yearFile(in)), year);
    QCOMPARE(fileHash(workFile(in)), work);
    QVERIFY(allYearTablesOpen(*d));
    QCOMPARE(d->T2_1.recNo(), row);
    QVERIFY(hooksOn(*d));
}

// A run from the window: each mark turns "done" in its turn and is painted
// so at once; afterwards every table shows its rows from the first one,
// the deleted rows stay gone, the rows keep their row ids and serial
// numbers, and the marks stay "done" until the window comes up again.
void TstPack::packedFromWindow()
{
    Install in = withBooks();
    auto d = in.open();
    const QList<double> kept = fill(*d, 300, 3);
    QCOMPARE(amounts(d->T2_1), kept);
    const QStringList rows = yearRows(in);
    QVERIFY(rows.size() > 200);
    for (Table* t : {&d->T1, &d->T2_1, &d->Org_Table, &d->CorPlanTable, &d->DInTable})
        t->last();
    d->MdTable.open();   // a report's work table left open stays open
    d->MdTable.appendRecord({QStringLiteral("40101"), 1.0, 2.0, -1.0});

    ui::RecordingAnswerer answers(dm::MsgResult::Ok);
    TPackTableForm f(*d);
    PaintLog log(f);
    QCOMPARE(clickOk(f), int(QDialog::Accepted));
    QCOMPARE(answers.texts(), QStringList{Question});

    // Painted mark by mark: when line i was painted done, the lines before
    // it were done and the lines after it still pending.
    for (int i = 0; i < 11; ++i) {
        bool seen = false;
        for (const auto& p : std::as_const(log.paints))
            seen = seen || (p.first == i && p.second == firstDone(i + 1));
        QVERIFY2(seen, qPrintable(QStringLiteral("line %1 was not painted as it was done").arg(i)));
    }
    QCOMPARE(markStates(f), firstDone(11));

    QVERIFY(allYearTablesOpen(*d));
    for (Table* t : {&d->T1, &d->T2_1, &d->Org_Table, &d->CorPlanTable, &d->DInTable})
        QVERIFY2(t->recNo() == 1, qPrintable(t->tableName()));
    QVERIFY(hooksOn(*d));
    QCOMPARE(d->T2_1.recordCount(), int(kept.size()));
    QCOMPARE(amounts(d->T2_1), kept);
    QCOMPARE(yearRows(in), rows);
    QCOMPARE(raw(yearFile(in), "SELECT AbsNum FROM corPln ORDER BY AbsNum"), (QStringList{"1", "3"}));
    QVERIFY(d->MdTable.isOpen());
    QCOMPARE(d->MdTable.recordCount(), 1);
    QCOMPARE(raw(yearFile(in), "PRAGMA integrity_check"), QStringList{"ok"});
    QCOMPARE(raw(workFile(in), "PRAGMA integrity_check"), QStringList{"ok"});

    // The store's rules hold after the pack; the next serial number follows the last.
    d->T2_1.appendRecord({QStringLiteral("40101"), QStringLiteral("011"), 300.0, PostDate, QVariant()});
    d->CorPlanTable.appendRecord({QStringLiteral("00202"), QStringLiteral("0101001000000000111"),
                                  QStringLiteral("40101"), 2.0, PostDate, QVariant(), 1.0, 0.0, 0.0, 0.0, 1.0});
    QCOMPARE(raw(yearFile(in), "SELECT max(AbsNum) FROM corPln"), QStringList{"4"});
    QCOMPARE(d->T2_1.recordCount(), int(kept.size()) + 1);

    gui::runModal(f, [&] { QCOMPARE(markStates(f), firstDone(0)); });
}

// Another copy with the year open: the first table is refused with the
// store's text, nothing is packed, no mark turns, and the program goes on
// with its tables open and its hooks on.
void TstPack::heldByAnotherCopy()
{
    Install in = withBooks();
    auto d = in.open();
    const QList<double> kept = fill(*d, 30, 3);
    const QByteArray year = fileHash(yearFile(in)), work = fileHash(workFile(in));
    Holder other(in);
    QVERIFY(other.ready());

    ui::RecordingAnswerer answers(dm::MsgResult::Ok);
    TPackTableForm f(*d);
    QCOMPARE(clickOk(f), int(QDialog::Accepted));
    QCOMPARE(answers.count(), 2);
    QCOMPARE(answers.calls()[1].caption, ui::applicationTitle());
    QCOMPARE(answers.calls()[1].text, HeldText);
    QCOMPARE(answers.calls()[1].icon, dm::MsgIcon::Error);
    QCOMPARE(markStates(f), firstDone(0));
    QCOMPARE(fileHash(yearFile(in)), year);
    QCOMPARE(fileHash(workFile(in)), work);

    QVERIFY(allYearTablesOpen(*d));
    QVERIFY(hooksOn(*d));
    QCOMPARE(amounts(d->T2_1), kept);
    d->T2_1.appendRecord({QStringLiteral("40102"), QStringLiteral("02"), 5.0, PostDate, QVariant()});
    QCOMPARE(raw(yearFile(in), "SELECT count(*) FROM t2_1 WHERE FaceBill = '40102'"), QStringList{"1"});
}

// A row that breaks a rule of its table (written by another program) is
// found by the check after the rewrite: the run ends at that table with the
// store's text, the lines before it done, the lines after it pending, and
// the program works on.
void TstPack::failedCheckEndsRunAtThatTable()
{
    Install in = withBooks();
    auto d = in.open();
    fill(*d, 30, 3);
    d->CloseAllTable();
    QCOMPARE(raw(yearFile(in), "UPDATE DIn SET Note = 'второй ' WHERE Sum = 20; SELECT changes()", true),
             QStringList{"1"});
    d->OpenAllTable();

    ui::RecordingAnswerer answers(dm::MsgResult::Ok);
    TPackTableForm f(*d);
    QCOMPARE(clickOk(f), int(QDialog::Accepted));
    QCOMPARE(answers.count(), 2);
    const QString err = answers.calls()[1].text;
    QVERIFY2(err.startsWith(QStringLiteral("Таблица DIn не прошла проверку целостности после упаковки: ")),
             qPrintable(err));
    QVERIFY2(err.contains(QLatin1String("CHECK")), qPrintable(err));
    QCOMPARE(answers.calls()[1].icon, dm::MsgIcon::Error);
    QCOMPARE(markStates(f), firstDone(8));   // up to "Главная таблица доходов:"

    QVERIFY(allYearTablesOpen(*d));
    QVERIFY(hooksOn(*d));
    QCOMPARE(d->DInTable.recordCount(), 2);
    QCOMPARE(d->T2_1.recordCount(), 20);
}

// saldina-cli pack: refused with the store's text while another copy holds
// the year; then every line printed in its order, the file shrunk after
// many deletions, the rows kept.
void TstPack::commandLine()
{
    Install in = withBooks();
    {
        auto d = in.open();
        fill(*d, 6000, 1);   // every receipt deleted again...
        dm::TableProcessOff off(*d);
        for (int i = 1; i <= 40; ++i)   // ...and a few new ones
            d->T2_1.appendRecord({QStringLiteral("40102"), QStringLiteral("02"), double(i), PostDate, QVariant()});
    }
    const QStringList rows = yearRows(in);
    const qint64 before = QFileInfo(yearFile(in)).size();
    {
        Holder other(in);
        QVERIFY(other.ready());
        const CliRun r = cliPack(in);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.err, HeldText);
        QCOMPARE(r.out, QStringList());
    }
    QCOMPARE(QFileInfo(yearFile(in)).size(), before);

    const CliRun r = cliPack(in);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, lineTexts(11));
    const qint64 after = QFileInfo(yearFile(in)).size();
    QVERIFY2(after < before / 2, qPrintable(QStringLiteral("%1 -> %2 bytes").arg(before).arg(after)));
    QCOMPARE(yearRows(in), rows);
    QCOMPARE(raw(yearFile(in), "SELECT count(*) FROM t2_1"), QStringList{"40"});
    QCOMPARE(raw(yearFile(in), "PRAGMA integrity_check"), QStringList{"ok"});

    auto d = in.open();
    QVERIFY(d->isOpen());
    QCOMPARE(d->T2_1.recordCount(), 40);
}

// A pack killed while it rewrites the year database (its journal on disk)
// leaves both databases whole, with every row, and the program opens them.
void TstPack::killedHalfWayLeavesDatabasesWhole()
{
    Install in = withBooks();
    {
        auto d = in.open();
        fill(*d, 60000, 7);
    }
    const QStringList rows = yearRows(in);
    const QString journal = yearFile(in) + QStringLiteral("-journal");
    QVERIFY(!QFileInfo::exists(journal));

    QProcess p;
    p.start(QStringLiteral(SALDINA_CLI), {QStringLiteral("--ini"), in.ini, QStringLiteral("pack")});
    QVERIFY(p.waitForStarted(10000));
    bool rewriting = false;
    QElapsedTimer clock;
    clock.start();
    for (int turn = 0; clock.elapsed() < 60000; ++turn) {
        if (QFileInfo::exists(journal)) {
            rewriting = true;
            p.kill();   // SIGKILL
            break;
        }
        if (turn % 100 == 0 && (p.waitForFinished(0) || p.state() != QProcess::Running))
            break;
        QThread::usleep(100);
    }
    p.waitForFinished(10000);
    QVERIFY2(rewriting, "the pack ended before it could be killed while rewriting");
    QCOMPARE(p.exitStatus(), QProcess::CrashExit);

    QCOMPARE(raw(yearFile(in), "PRAGMA integrity_check", true), QStringList{"ok"});
    QCOMPARE(raw(workFile(in), "PRAGMA integrity_check", true), QStringList{"ok"});
    QCOMPARE(yearRows(in), rows);
    auto d = in.open();
    QVERIFY(d->isOpen());
    QVERIFY(hooksOn(*d));
    QCOMPARE(d->T2_1.recordCount(), 60000 - 60000 / 7);

    // And the next pack goes through.
    maintenance::PackTables(*d);
    QCOMPARE(yearRows(in), rows);
}

QTEST_MAIN(TstPack)
#include "tst_pack.moc"
