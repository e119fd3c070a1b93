// The reports by purposes and the financing of organizations on a real
// temporary root: their pages, their work tables, where each tests the
// cancel request and moves its gauge, the subtotals of the movement report
// generated twice, and the tables as the runs leave them.
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "core/store/table.h"
#include "core/ui/codeedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/dateedit.h"
#include "reports/purposes/purposes_windows.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "tests/pagefit.h"

#include <QCheckBox>
#include <QTimer>
#include <QtTest>
#include <sqlite3.h>
#include <QtTest>

using dm::TDataBase1;
using namespace gui;
using namespace reports;
using store::Table;

namespace {

const QString CbcA = "0701901420001310000", CbcB = "0702901420001310000";
const QString AccA = "00000000001", AccB = "00000000002";

const std::vector<TemplateRows> Books = {
    {"cbc_spr", {{CbcA, "Сады"}, {CbcB, "Школы"}}},
    {"law_spr",
     {{"01", "Программы"}, {"011", "Первая"}, {"012", "Вторая"}, {"021", "Третья"}, {"031", "Четвертая"}}},
    {"org_spr", {{"12345", "Детский сад"}, {"13345", "Школа"}, {"14345", "Больница"}}},
};

// The data module, the pickers, the wait window and the three reports.
struct Reports {
    Install in{Books, {.orgName = "Финансовое управление"}};
    TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};
    books::TOrgSelectForm org{db};
    books::TCBCSelectForm cbc{db};
    books::TLawSelectForm law{db};
    TWaitForm wait;
    ReportContext ctx{&db, &wait, {&org, &cbc, &law}};
    TMD3Form md3{ctx};
    TMD6Form md6{ctx};
    TMDForm1 md1{ctx};
    // Grids over the postings and the organizations, as the ledger and the
    // book show them: they read their tables again on every change.
    ui::DBGrid receipts, expenditures, orgs;
    int previews = 0;
    PageSet pages;

    Reports()
    {
        setPreviewInterceptor([this](Report&, const PageSet& ps, PreviewMode) {
            ++previews;
            pages = ps;
        });
        for (const QString& a : {AccA, AccB})
            db.T1.appendRecord({a, "011"});
        receipts.setTable(&db.T2_1);
        expenditures.setTable(&db.T2_2);
        orgs.setTable(&db.Org_Table);
    }
    ~Reports()
    {
        setPreviewInterceptor({});
        for (ui::DBGrid* g : {&receipts, &expenditures, &orgs})
            g->setTable(nullptr);
    }

    void receipt(const QString& acc, const QString& law, double a, QDate d, const QString& cbc = CbcA)
    {
        db.T2_1.appendRecord({acc, law, a, d, cbc});
    }
    void expenditure(const QString& acc, const QString& law, double a, QDate d, const QString& org,
                     const QString& cbc = CbcA)
    {
        db.T2_2.appendRecord({acc, law, a, d, cbc, org});
    }
    static QStringList linesOf(const PageSet& ps)
    {
        QStringList out;
        for (const QString& l : ps.toText().split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts))
            if (!l.startsWith("Страница") && !l.startsWith("Финансовое") && !l.contains("Дата составления") &&
                !l.startsWith("Период") && !l.startsWith("Отбор"))
                out << l;
        return out;
    }
    QStringList lines() const { return linesOf(pages); }
    void period(TReportForm& f, const QString& from, const QString& to)
    {
        f.PerCheckBox->setChecked(true);
        f.StartDateEdit->setText(from);
        f.EndDateEdit->setText(to);
    }
    // A statement on the year's file beside the store, as another program writes.
    void raw(const QString& sql)
    {
        sqlite3* h = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(in.dir + "/DataBase/2004/year.db").constData(), &h, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        sqlite3_busy_timeout(h, 5000);
        char* err = nullptr;
        const int rc = sqlite3_exec(h, sql.toUtf8().constData(), nullptr, nullptr, &err);
        const QString why = err ? QString::fromUtf8(err) : QString();
        sqlite3_free(err);
        sqlite3_close(h);
        QVERIFY2(rc == SQLITE_OK, qPrintable(why));
    }
    // Nothing of a run stays on the live tables.
    void takenDown()
    {
        for (Table* t : {&db.T2_1, &db.T2_2, &db.MD3Table, &db.MD1Table, &db.LawSprTable, &db.Org_Table})
            QVERIFY2(!t->master(), qPrintable(t->objectName()));
        QVERIFY(!db.T2_1.filtered() && !db.T2_2.filtered());
        QVERIFY(db.T2_2.hasCalcFields());
    }
};

// The calls a run makes on its progress, in order; it asks to stop from
// the call given on.
struct Recorder : RunProgress {
    QStringList calls;
    int stopAt = -1;
    bool progress(int percent) override
    {
        calls << QStringLiteral("p%1").arg(percent);
        return !stop();
    }
    void gauge(int percent) override { calls << QStringLiteral("g%1").arg(percent); }
    void handleEvents() override { calls << QStringLiteral("e"); }
    bool cancelled() override
    {
        calls << QStringLiteral("c");
        return stop();
    }
    bool stop() const { return stopAt >= 0 && calls.size() > stopAt; }
};

} // namespace

class PurposesReportsTest : public QObject {
    Q_OBJECT

private slots:
    void purposesPages()
    {
        Reports r;
        const QDate feb(2004, 2, 2), may(2004, 5, 5);
        r.receipt(AccA, "011", 100, feb);
        r.receipt(AccB, "011", 25.5, feb, CbcB);
        r.receipt(AccA, "021", 40, may);   // outside the period
        r.expenditure(AccA, "011", 30.25, feb, "12345");
        r.expenditure(AccB, "011", 12, feb, "13345", CbcB);
        r.expenditure(AccA, "012", 7, feb, "13345");
        // Postings of a purpose the book does not hold, written by another
        // program that keeps none of the year's rules.
        r.raw("DROP TRIGGER t2_1__lookup_ins_LawRef; DROP TRIGGER t2_2__lookup_ins_LawRef");
        r.raw("INSERT INTO t2_1 (FaceBill, LawRef, Amount, FiDate, CBC) VALUES ('" + AccA + "', '099', 500, '2004-02-02', '" + CbcA + "')");
        r.raw("INSERT INTO t2_2 (Facebill, LawRef, Amount, FiDate, CBC, Org) VALUES ('" + AccA + "', '099', 300, '2004-02-02', '" + CbcA + "', '12345')");
        TMD3Form& f = r.md3;
        QCOMPARE(f.windowTitle(), QStringLiteral("Поступления/расходы по назначениям"));
        r.period(f, "01.02.2004", "29.02.2004");
        f.CreateAndShow();
        QCOMPARE(r.previews, 1);
        QCOMPARE(r.wait.progressHistory(), (QList<int>{20, 40, 60, 80, 100}));
        QCOMPARE(r.lines(), (QStringList{
                                "Назначение\tПервая",
                                "Поступления",
                                "Лицевой счет\tКод БК\tДата\tСумма",
                                AccA + "\t" + CbcA + "\t02.02.2004\t100,00",
                                AccB + "\t" + CbcB + "\t02.02.2004\t25,50",
                                "Итого\t125,50",
                                "Расход",
                                "Лицевой счет\tКод БК\tДата\tОрганизация\tСумма",
                                AccA + "\t" + CbcA + "\t02.02.2004\t123-45 Детский сад\t30,25",
                                AccB + "\t" + CbcB + "\t02.02.2004\t133-45 Школа\t12,00",
                                "Итого\t42,25",
                                "Назначение\tВторая",
                                "Расход",
                                "Лицевой счет\tКод БК\tДата\tОрганизация\tСумма",
                                AccA + "\t" + CbcA + "\t02.02.2004\t133-45 Школа\t7,00",
                                "Итого\t7,00",
                            }));
        const QStringList bad = pagefit::misfits(r.pages);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        // Every purpose of the book has its md3 row; the one without selected
        // postings with zero sums, the purpose missing from the book none.
        Table& md3 = r.db.MD3Table;
        QCOMPARE(md3.recordCount(), 5);
        QVERIFY(md3.findKey({"021"}));
        QCOMPARE(md3.fieldByName("InSum").asFloat(), 0.0);
        QVERIFY(!md3.findKey({"099"}));
        double in = 0;
        for (md3.first(); !md3.eof(); md3.next())
            in += md3.fieldByName("InSum").asFloat();
        QCOMPARE(in, 125.5);
        r.takenDown();
        QCOMPARE(r.db.T2_1.order(), QStringLiteral("LawRef"));

        // The organization mask narrows the expenditures only.
        f.OrgCheckBox->setChecked(true);
        f.OrgEditField->setText("12***");
        f.CreateAndShow();
        const QStringList l = r.lines();
        QVERIFY(l.contains("Итого\t125,50"));
        QVERIFY(l.contains("Итого\t30,25"));
        QVERIFY(!l.join('\n').contains("Школа"));
        QVERIFY(!l.contains("Назначение\tВторая"));
        // The purpose mask and the master agree.
        f.OrgCheckBox->setChecked(false);
        f.LawCheckBox->setChecked(true);
        f.LawEditField->setText("01*");
        f.PerCheckBox->setChecked(false);
        f.CreateAndShow();
        QVERIFY(!r.lines().join('\n').contains("Третья"));
    }

    // Each report tests the cancel request at its own point of the row.
    void progressAndCancelOrder()
    {
        Reports r;
        r.db.LawSprTable.findKey({"031"});
        r.db.LawSprTable.remove();   // four purposes, three organizations
        {
            PurposesReport rep(r.db);
            Recorder rec;
            QVERIFY(rep.run(Selection{}, &rec));
            QCOMPARE(rec.calls.mid(0, 6), (QStringList{"g25", "c", "e", "g50", "c", "e"}));
            rec = Recorder{};
            rec.stopAt = 4;   // asked at the second purpose
            QVERIFY(!rep.run(Selection{}, &rec));
            QCOMPARE(rec.calls, (QStringList{"g25", "c", "e", "g50", "c"}));
            QCOMPARE(r.db.MD3Table.recordCount(), 1);
        }
        {
            MovementReport rep(r.db);
            Recorder rec;
            QVERIFY(rep.run(Selection{}, &rec));
            QCOMPARE(rec.calls.mid(0, 6), (QStringList{"c", "g25", "e", "c", "g50", "e"}));
            rec = Recorder{};
            rec.stopAt = 3;
            QVERIFY(!rep.run(Selection{}, &rec));
            QCOMPARE(rec.calls, (QStringList{"c", "g25", "e", "c"}));
            QCOMPARE(r.db.MD3Table.recordCount(), 1);
        }
        {
            FinancingReport rep(r.db);
            Recorder rec;
            QVERIFY(rep.run(Selection{}, &rec));
            QCOMPARE(rec.calls, (QStringList{"c", "e", "c", "e", "g100", "c", "e"}));
            rec = Recorder{};
            rec.stopAt = 2;
            QVERIFY(!rep.run(Selection{}, &rec));
            QCOMPARE(rec.calls, (QStringList{"c", "e", "c"}));
            r.db.MD1Table.open();
            QCOMPARE(r.db.MD1Table.recordCount(), 1);
            r.db.MD1Table.close();
        }
        r.takenDown();
    }

    void movementSubtotals()
    {
        Reports r;
        const QDate feb(2004, 2, 2);
        r.receipt(AccA, "011", 100, feb);
        r.receipt(AccA, "012", 50, feb);
        r.receipt(AccA, "021", 30, feb);
        TMD6Form& f = r.md6;
        QCOMPARE(f.windowTitle(), QStringLiteral("Движение средств по назначениям"));
        f.CreateAndShow();
        QCOMPARE(r.previews, 1);
        QCOMPARE(r.lines(), (QStringList{
                                "Поступило\tНаправлено на\tОстаток",
                                "011 Первая\t100,00",
                                "012 Вторая\t50,00",
                                "Итого\t150,00\tИтого\t0,00\t150,00",
                                "021 Третья\t30,00",
                                "Итого\t30,00\tИтого\t0,00\t30,00",
                            }));
        // The purposes without movement print empty rows and no subtotal.
        QCOMPARE(r.db.MD3Table.recordCount(), 5);
        r.takenDown();
        QVERIFY(!r.db.MD3Table.master());

        // Expenditures on the right; a group whose sums cancel out prints
        // no subtotal at the end, and a second generation (a print from the
        // preview) gives the same pages.
        r.expenditure(AccA, "012", 20, feb, "12345");
        r.receipt(AccA, "031", 5, feb);
        r.expenditure(AccA, "031", -5, feb, "12345");
        f.CreateAndShow();
        const QStringList want{
            "Поступило\tНаправлено на\tОстаток",
            "011 Первая\t100,00",
            "012 Вторая\t50,00\t  012 Вторая\t20,00",
            "Итого\t150,00\tИтого\t20,00\t130,00",
            "021 Третья\t30,00",
            "Итого\t30,00\tИтого\t0,00\t30,00",
            "031 Четвертая\t5,00\t  031 Четвертая\t-5,00",
        };
        QCOMPARE(r.lines(), want);
        const QDateTime now = QDateTime::currentDateTime();
        const PageSet first = f.layout().generate(now), second = f.layout().generate(now);
        QCOMPARE(Reports::linesOf(first), want);
        QCOMPARE(second.toText(), first.toText());
        const QStringList bad = pagefit::misfits(r.pages);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
    }

    void financingPages()
    {
        Reports r;
        const QDate feb(2004, 2, 2), may(2004, 5, 5);
        r.expenditure(AccA, "011", 10, feb, "12345");
        r.expenditure(AccA, "012", 20, QDate(2004, 2, 3), "12345");
        r.expenditure(AccB, "021", 30.5, QDate(2004, 2, 4), "12345", CbcB);
        r.expenditure(AccA, "011", 99, may, "13345");   // outside the period only
        r.expenditure(AccB, "021", 5, feb, "14345");
        r.receipt(AccA, "011", 1000, feb);              // receipts are not listed
        TMDForm1& f = r.md1;
        QCOMPARE(f.windowTitle(), QStringLiteral("Финансирование организаций"));
        r.period(f, "01.02.2004", "29.02.2004");
        f.CreateAndShow();
        QCOMPARE(r.previews, 1);
        QCOMPARE(r.pages.pages.front().texts[1].text, QStringLiteral("Финансирование организаций"));
        // Each line shows the purpose of its own expenditure.
        QCOMPARE(r.lines(), (QStringList{
                                "Финансирование организаций",
                                "Детский сад\t123-45",
                                "Поступления",
                                "Лицевой счет\tДата\tКод БК\tСумма\tНазначение",
                                AccA + "\t02.02.2004\t" + CbcA + "\t10,00\tПервая",
                                AccA + "\t03.02.2004\t" + CbcA + "\t20,00\tВторая",
                                AccB + "\t04.02.2004\t" + CbcB + "\t30,50\tТретья",
                                "Итого\t60,50",
                                "Больница\t143-45",
                                "Поступления",
                                "Лицевой счет\tДата\tКод БК\tСумма\tНазначение",
                                AccB + "\t02.02.2004\t" + CbcA + "\t5,00\tТретья",
                                "Итого\t5,00",
                            }));
        const QStringList bad = pagefit::misfits(r.pages);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        r.takenDown();
        QVERIFY(!r.db.MD1Table.isOpen());
        QCOMPARE(r.db.T2_2.order(), QStringLiteral("Org"));
        // md1: every organization, the purpose of the last selected expenditure.
        Table& md1 = r.db.MD1Table;
        md1.open();
        QCOMPARE(md1.recordCount(), 3);
        QVERIFY(md1.findKey({"14345"}));
        QCOMPARE(md1.fieldByName("Sum").asFloat(), 5.0);
        QCOMPARE(md1.fieldByName("Sname").asString(), QStringLiteral("Третья"));
        QVERIFY(md1.findKey({"12345"}));   // its last line in the order of the expenditures
        QCOMPARE(md1.fieldByName("Sum").asFloat(), 60.5);
        QCOMPARE(md1.fieldByName("Sname").asString(), QStringLiteral("Третья"));
        QVERIFY(md1.findKey({"13345"}));
        QCOMPARE(md1.fieldByName("Sum").asFloat(), 0.0);
        QCOMPARE(md1.fieldByName("Sname").asString(), QString());
        md1.close();

        // One organization by its mask: only it prints; md1 still holds all.
        f.OrgCheckBox->setChecked(true);
        f.OrgEditField->setText("14***");
        f.CreateAndShow();
        const QStringList l = r.lines();
        QVERIFY(l.contains("Больница\t143-45"));
        QVERIFY(!l.join('\n').contains("Детский сад"));
        md1.open();
        QCOMPARE(md1.recordCount(), 3);
        QVERIFY(md1.findKey({"12345"}));
        QCOMPARE(md1.fieldByName("Sum").asFloat(), 0.0);
        md1.close();
    }

    // The gauge moves only when the row number times 100 is a whole
    // multiple of the organizations: 25, 50, 75, 100 for four; for three it
    // stands at 0 until the third.
    void financingGauge()
    {
        Reports r;
        // Esc in the wait window: no preview, everything taken down.
        QTimer::singleShot(0, [&] { press(&r.wait, Qt::Key_Escape); });
        r.md1.CreateAndShow();
        QVERIFY(r.md1.cancelled());
        QCOMPARE(r.previews, 0);
        QVERIFY(!r.wait.isVisible());
        r.takenDown();
        QVERIFY(!r.db.MD1Table.isOpen());

        QList<int> seen;
        r.db.MD1Table.setBeforePost([&](Table&) { seen << r.wait.progress(); });
        r.md1.CreateAndShow();
        QCOMPARE(r.wait.progressHistory(), QList<int>{100});
        QCOMPARE(seen, (QList<int>{0, 0, 100}));
        r.db.Org_Table.appendRecord({"15345", "Библиотека"});
        seen.clear();
        r.md1.CreateAndShow();
        QCOMPARE(r.wait.progressHistory(), (QList<int>{25, 50, 75, 100}));
        QCOMPARE(seen, (QList<int>{25, 50, 75, 100}));
        r.db.MD1Table.setBeforePost({});

    }
};

QTEST_MAIN(PurposesReportsTest)
#include "tst_purposes_reports.moc"
