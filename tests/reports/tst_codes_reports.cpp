// The reports over the budget classification codes on a real temporary
// root: the financing and credit remainders of organizations through its
// dialog, driven as the user does, and the totals by economic articles for
// the year of the settings dialog; the pages they make and the reference
// book's marks they leave.
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "core/store/table.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"
#include "reports/codes/codes_windows.h"
#include "tests/gui.h"
#include "tests/install.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

using dm::TDataBase1;
using namespace gui;
using namespace reports;

namespace {

const QString CbcA = "0701901420001310000", CbcA2 = "0701901420001340000", CbcB = "0702901420001310000",
              CbcZero = "0801901420001310000", CbcUnused = "0901901420001310000";
// Summary codes: the economic articles of one expense kind, and the same
// with the section starred too (another set of parts).
const QString SumEc = "0701901420001******", SumEcRazd = "**01901420001******";
const QString Acc = "00000000001";

const std::vector<TemplateRows> Books = {
    {"cbc_spr",
     {{CbcA, "Сады"}, {CbcA2, "Сады, материалы"}, {CbcB, "Школы"}, {CbcZero, "Культура"}, {CbcUnused, "Спорт"},
      {SumEc, "Всего по садам"}, {SumEcRazd, "Всего по разделам"}}},
    {"law_spr", {{"031", "Дошкольное"}}},
    {"org_spr", {{"12345", "Детский сад"}, {"13345", "Школа"}, {"14000", "Без расходов"}}},
};

struct Credit {
    Install in{Books, {.orgName = "Финансовое управление"}};
    TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};
    books::TOrgSelectForm org{db};
    books::TCBCSelectForm cbc{db};
    books::TLawSelectForm law{db};
    TWaitForm wait;
    ReportContext ctx{&db, &wait, {&org, &cbc, &law}};
    TMDForm2 md2{ctx};
    int previews = 0;
    PageSet pages;

    Credit()
    {
        setPreviewInterceptor([this](Report&, const PageSet& ps, PreviewMode) {
            ++previews;
            pages = ps;
        });
        db.T1.appendRecord({Acc, "031"});
        // The kindergarten: 1000,00 on code A, 200,00 on A2 (not planned),
        // a code that sums to nothing; the school 70,00 on code B; the third
        // organization spends nothing.
        spend("12345", CbcA, 600, QDate(2004, 2, 1));
        spend("12345", CbcA, 400, QDate(2004, 5, 1));
        spend("12345", CbcA2, 200, QDate(2004, 3, 1));
        spend("12345", CbcZero, 50, QDate(2004, 3, 1));
        spend("12345", CbcZero, -50, QDate(2004, 3, 2));
        spend("13345", CbcB, 70, QDate(2004, 7, 1));
        db.PlanTable.appendRecord({"12345", CbcA, Acc, 300.0, 400.0, 400.0, 400.0, 1500.0});
        db.PlanTable.appendRecord({"14000", CbcB, Acc, 10.0, 10.0, 10.0, 10.0, 40.0});
    }
    ~Credit() { setPreviewInterceptor({}); }

    void spend(const QString& o, const QString& c, double a, const QDate& d)
    {
        db.T2_2.appendRecord({Acc, "031", a, d, c, o});
    }
    // The dialog closed with "Сформировать" after `choose`, then the run.
    void run(const std::function<void()>& choose)
    {
        const int result = runModal(md2, [&] {
            choose();
            pressIn(md2.ReportOkButton, Qt::Key_Return);
        });
        QCOMPARE(result, int(QDialog::Accepted));
        md2.CreateAndShow();
    }
    QStringList lines()
    {
        QStringList out;
        for (const QString& l : pages.toText().split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts))
            if (!l.startsWith("Страница") && !l.startsWith("Финансовое") && !l.contains("Дата составления")
                && !l.startsWith("Период") && !l.startsWith("Отбор") && !l.startsWith("Назначение"))
                out << l;
        return out;
    }
    QColor colorOf(const QString& text) const
    {
        for (const Page& p : pages.pages)
            for (const TextRun& t : p.texts)
                if (t.plainText() == text)
                    return t.color;
        return {};
    }
    QString mark(const QString& code)
    {
        const int pos = db.CBCSPRTable.keyIndex({code});
        return pos < 0 ? "?" : db.CBCSPRTable.storedValueAt(pos, "Md2Use").toString();
    }
};

const QString Heading = "Код БК\tНаименование\tПрофинансир.\t%1\tОстаток фин.";

void tick(QCheckBox* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }
void choose(QRadioButton* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }

// ---- totals by economic articles

const QString Ec310 = "*************310000", Ec340 = "*************340000", NotEc = "****901420001310000";

struct Articles {
    Install in;
    TDataBase1 db;
    TWaitForm wait;
    ReportContext ctx{&db, &wait, {}};
    TMDForm4 md4{ctx};
    int year = 2004;
    int previews = 0;
    PageSet pages;

    explicit Articles(const std::vector<TemplateRows>& books)
        : in(books, {.orgName = "Финансовое управление"}), db(in.ini, [](auto&&...) { return dm::MsgResult::Ok; })
    {
        db.setYearSource([this] { return year; });
        setPreviewInterceptor([this](Report&, const PageSet& ps, PreviewMode) {
            ++previews;
            pages = ps;
        });
        db.T1.appendRecord({Acc, "031"});
    }
    ~Articles() { setPreviewInterceptor({}); }
    void receipt(const QString& c, double a, const QDate& d) { db.T2_1.appendRecord({Acc, "031", a, d, c}); }
    void spend(const QString& c, double a, const QDate& d) { db.T2_2.appendRecord({Acc, "031", a, d, c, "12345"}); }
    QStringList lines()
    {
        previews = 0;
        md4.CreateAndShow();
        if (previews != 1)
            return {"no preview"};
        QStringList out;
        for (const QString& l : pages.toText().split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts))
            if (!l.startsWith("Страница") && !l.startsWith("Финансовое"))
                out << QString(l).replace(QRegularExpression("\tДата составления.*"), "\tДата составления");
        return out;
    }
};

const std::vector<TemplateRows> ArticleBooks = {
    {"cbc_spr",
     {{CbcA, "Сады"}, {CbcA2, "Сады, материалы"}, {CbcB, "Школы"}, {Ec310, "Заработная плата и начисления"},
      {Ec340, "Материалы"}, {NotEc, "Не статья"}, {QString(19, '*'), "Всего"}}},
    {"law_spr", {{"031", "Дошкольное"}}},
    {"org_spr", {{"12345", "Детский сад"}}},
};

// The two rows of the heading read as one line: its first two cells span both.
const QStringList ArticleHeading = {
    "Итоговое состояние средств по эк.статьям\tДата составления",
    "Наименование\tКод бюджетной классификации\tПоступило\tI кв.\tII кв.\tIII кв.\tIV кв.\tВсего\tИзрасходовано\tI "
    "кв.\tII кв.\tIII кв.\tIV кв.\tВсего",
};

} // namespace

class CodesReportsTest : public QObject {
    Q_OBJECT

private slots:
    // With no part to sum: a line per organization and code used by its
    // expenditures; the summary codes, a code whose expenditures cancel out
    // and an organization without expenditures print nothing; a code
    // financed but not planned has plan 0,00 and a negative remainder.
    void codesUsedByExpenditures()
    {
        Credit c;
        c.run([] {});
        QCOMPARE(c.previews, 1);
        QStringList lines = c.lines();
        QVERIFY2(lines.size() > 1 && lines[0].startsWith("Финансирование и остатки кредитов организаций"),
                 qPrintable(lines.join('\n')));
        QCOMPARE(lines.mid(1), (QStringList{
                                   "Детский сад\t123-45",
                                   "Поступления",
                                   Heading.arg("Годовой план"),
                                   CbcA + "\tСады\t1000,00\t1500,00\t500,00",
                                   CbcA2 + "\tСады, материалы\t200,00\t0,00\t-200,00",
                                   "Школа\t133-45",
                                   "Поступления",
                                   Heading.arg("Годовой план"),
                                   CbcB + "\tШколы\t70,00\t0,00\t-70,00",
                               }));
        QCOMPARE(c.colorOf("500,00"), QColor(Qt::black));
        QCOMPARE(c.colorOf("-200,00"), QColor(Qt::red));
        QCOMPARE(c.wait.windowTitle(), QStringLiteral("Подготовка к подсчету"));
        // The marks stay in the book: the used codes only.
        QCOMPARE(c.mark(CbcA), QStringLiteral("*"));
        QCOMPARE(c.mark(CbcZero), QStringLiteral("*"));
        QCOMPARE(c.mark(CbcUnused), QString());
        QCOMPARE(c.mark(SumEc), QString());
        // Everything taken down: the tables whole, md2 closed.
        QCOMPARE(c.db.CBCSPRTable.filterExpression(), QStringLiteral("Md2Use='*'"));
        QVERIFY(!c.db.CBCSPRTable.filtered());
        QCOMPARE(c.db.CBCSPRTable.recordCount(), 7);
        QVERIFY(!c.db.T2_2.filtered());
        QVERIFY(!c.db.T2_2.hasRange());
        QCOMPARE(c.db.T2_2.recordCount(), 6);
        QVERIFY(!c.db.PlanTable.filtered());
        QCOMPARE(c.db.PlanTable.recordCount(), 2);
        QVERIFY(!c.db.MD2Table.isOpen());
        QVERIFY(!c.db.MD2Table.master());
        QVERIFY(!c.db.T2_2.master());
    }

    // "Экономическая статья" ticked alone adds the summary line of the code
    // starred in positions 14-19, summing every expenditure of its group and
    // the plan of its group; the code starred in positions 1-2 as well is
    // left out. The first quarter only: its heading, and 300,00 - 1000,00
    // in red.
    void summaryCodesAndFirstQuarter()
    {
        Credit c;
        c.run([&] {
            tick(c.md2.EcStCheck);
            choose(c.md2.Quarter1RadioButton);
        });
        QCOMPARE(c.md2.sumParts(), int(PartEcSt));
        QCOMPARE(c.lines().mid(1, 6), (QStringList{
                                          "Детский сад\t123-45",
                                          "Поступления",
                                          Heading.arg("План I квартал"),
                                          SumEc + "\tВсего по садам\t1200,00\t300,00\t-900,00",
                                          CbcA + "\tСады\t1000,00\t300,00\t-700,00",
                                          CbcA2 + "\tСады, материалы\t200,00\t0,00\t-200,00",
                                      }));
        QCOMPARE(c.colorOf("-700,00"), QColor(Qt::red));
        QCOMPARE(c.mark(SumEc), QStringLiteral("*"));
        QCOMPARE(c.mark(SumEcRazd), QString());

        // The box cleared again and the quarters I + II: no summary line, and
        // the marks of the last run are rewritten.
        c.run([&] {
            tick(c.md2.EcStCheck);
            choose(c.md2.Quarter12RadioButton);
        });
        QCOMPARE(c.md2.sumParts(), 0);
        QCOMPARE(c.lines().mid(4, 1), QStringList{CbcA + "\tСады\t1000,00\t700,00\t-300,00"});
        QVERIFY(c.lines().join('\n').contains("План I+II квартал"));
        QCOMPARE(c.mark(SumEc), QString());
    }

    // The selections of the dialog: the organization mask keeps one
    // organization; the period keeps the expenditures within it.
    void selections()
    {
        Credit c;
        c.run([&] {
            tick(c.md2.OrgCheckBox);
            typeCode(c.md2.OrgEditField, {"133", "45"});
        });
        QCOMPARE(c.lines().mid(1), (QStringList{"Школа\t133-45", "Поступления", Heading.arg("Годовой план"),
                                                CbcB + "\tШколы\t70,00\t0,00\t-70,00"}));
        c.run([&] {
            tick(c.md2.OrgCheckBox);
            tick(c.md2.PerCheckBox);
            typeOver(c.md2.StartDateEdit, "01.01.2004");
            typeOver(c.md2.EndDateEdit, "31.03.2004");
        });
        QCOMPARE(c.lines().mid(1), (QStringList{"Детский сад\t123-45", "Поступления", Heading.arg("Годовой план"),
                                                CbcA + "\tСады\t600,00\t1500,00\t900,00",
                                                CbcA2 + "\tСады, материалы\t200,00\t0,00\t-200,00"}));
    }

    // The dialog as the user first sees it.
    void dialogAtStart()
    {
        Credit c;
        TMDForm2& f = c.md2;
        QCOMPARE(f.size(), QSize(425, 468));
        QVERIFY(f.Quarter1234RadioButton->isChecked());
        for (QCheckBox* b : {f.RazdCheck, f.PRazdCheck, f.GlCheck, f.CelStCheck, f.VRCheck, f.EcStCheck})
            QVERIFY(!b->isChecked());
        QCOMPARE(f.sumParts(), 0);
        QCOMPARE(f.NoteLabel->text(), QStringLiteral("Для ускорения создания отчета\nрекомендуется задать отранизацию"));
        QCOMPARE(GetCBCSumParam(SumEc), int(PartEcSt));
        QCOMPARE(GetCBCSumParam(SumEcRazd), int(PartEcSt | PartRazd));
        QCOMPARE(GetCBCSumParam(CbcA), 0);
    }

    // Over a main window as low as its menu and toolbars at the top of the
    // screen, the dialog stands centred across it and whole on the screen.
    void dialogOnTheScreen()
    {
        Credit c;
        QWidget main;
        main.setGeometry(QRect(0, 0, 540, 100));
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        TMDForm2 f(c.ctx, &main);
        QRect seen;
        runModal(f, [&] {
            seen = f.frameGeometry();
            pressIn(f.CancelButton, Qt::Key_Return);
        });
        QVERIFY2(main.screen()->availableGeometry().contains(seen), qPrintable(QString("%1,%2").arg(seen.x()).arg(seen.y())));
        QVERIFY(qAbs(f.geometry().center().x() - main.geometry().center().x()) <= 2);
    }

    // A book without economic-article codes: the title and the headings.
    void noEconomicArticleCodes()
    {
        Articles a({{"cbc_spr", {{CbcA, "Сады"}, {NotEc, "Не статья"}}}, {"law_spr", {{"031", "Дошкольное"}}},
                    {"org_spr", {{"12345", "Детский сад"}}}});
        a.receipt(CbcA, 100, QDate(2004, 1, 10));
        QCOMPARE(a.lines(), ArticleHeading);
        QCOMPARE(a.pages.pages.at(0).width, 279.4);
    }

    // The code of 13 asterisks sums every receipt and expenditure with its
    // last six digits, by quarter; the all-asterisks code sums everything;
    // 31 March counts in quarter I, 1 April in II; other years nowhere; a
    // code with postings only in another year gets no line.
    void quartersOfTheYear()
    {
        Articles a(ArticleBooks);
        a.receipt(CbcA, 100, QDate(2004, 3, 31));
        a.receipt(CbcB, 10, QDate(2004, 4, 1));
        a.receipt(CbcA, 1000, QDate(2003, 12, 31));
        a.receipt(CbcA2, 5000, QDate(2005, 1, 1));
        a.spend(CbcA, 30, QDate(2004, 12, 31));
        a.spend(CbcA2, 7, QDate(2004, 7, 1));
        a.spend(CbcA2, 9, QDate(2003, 7, 1));
        QCOMPARE(a.lines().mid(2), (QStringList{
                                       "Всего\t" + QString(19, '*')
                                           + "\t100,00\t10,00\t0,00\t0,00\t110,00\t0,00\t0,00\t7,00\t30,00\t37,00",
                                       "Заработная плата и н\t" + Ec310
                                           + "\t100,00\t10,00\t0,00\t0,00\t110,00\t0,00\t0,00\t0,00\t30,00\t30,00",
                                       "Материалы\t" + Ec340
                                           + "\t0,00\t0,00\t0,00\t0,00\t0,00\t0,00\t0,00\t7,00\t0,00\t7,00",
                                   }));
        // The marks: the article codes only; the filter expression stays, off.
        store::Table& cbc = a.db.CBCSPRTable;
        QCOMPARE(cbc.filterExpression(), QStringLiteral("Md2Use='*'"));
        QVERIFY(!cbc.filtered());
        QStringList marked;
        for (cbc.first(); !cbc.eof(); cbc.next())
            if (cbc.fieldByName("Md2Use").asString() == "*")
                marked << cbc.fieldByName("CBC").asString();
        QCOMPARE(marked, (QStringList{QString(19, '*'), Ec310, Ec340}));
        QVERIFY(!a.db.MD4Table.isOpen());
        QVERIFY(!a.db.T2_1.filtered() && !a.db.T2_2.filtered());
        QCOMPARE(a.db.T2_1.recordCount(), 4);

        // The year of the settings dialog: 2003 sees only its own postings.
        a.year = 2003;
        QCOMPARE(a.lines().mid(2), (QStringList{
                                       "Всего\t" + QString(19, '*')
                                           + "\t0,00\t0,00\t0,00\t1000,00\t1000,00\t0,00\t0,00\t9,00\t0,00\t9,00",
                                       "Заработная плата и н\t" + Ec310
                                           + "\t0,00\t0,00\t0,00\t1000,00\t1000,00\t0,00\t0,00\t0,00\t0,00\t0,00",
                                       "Материалы\t" + Ec340
                                           + "\t0,00\t0,00\t0,00\t0,00\t0,00\t0,00\t0,00\t9,00\t0,00\t9,00",
                                   }));
    }

    // A cancel in the wait window: no pages, and every table as it was
    // (no filter, range or link left; the work tables closed).
    void cancelTakesEverythingDown()
    {
        struct Cancel : RunProgress {
            int calls = 0;
            bool progress(int) override { return ++calls < 2; }
        };
        Credit c;
        Cancel first;
        CreditSelection s;
        s.parts = PartEcSt;
        QVERIFY(!c.md2.report().run(s, &first));
        QVERIFY(first.calls >= 2);
        for (store::Table* t : {&c.db.T2_2, &c.db.PlanTable, &c.db.CBCSPRTable, &c.db.Org_Table}) {
            QVERIFY2(!t->filtered() && !t->hasRange() && !t->master(), qPrintable(t->tableName()));
            QVERIFY(!t->controlsDisabled());
        }
        QCOMPARE(c.db.T2_2.recordCount(), 6);
        QVERIFY(!c.db.MD2Table.isOpen());

        Articles a(ArticleBooks);
        a.receipt(Ec310.right(6).prepend("0701901420001"), 5, QDate(2004, 1, 1));
        Cancel again;
        QVERIFY(!a.md4.report().run(2004, &again));
        for (store::Table* t : {&a.db.T2_1, &a.db.T2_2, &a.db.CBCSPRTable}) {
            QVERIFY2(!t->filtered() && !t->master(), qPrintable(t->tableName()));
            QVERIFY(!t->controlsDisabled());
        }
        QVERIFY(!a.db.MD4Table.isOpen());
        // The next run is whole again.
        QCOMPARE(a.lines().size(), 4);
    }

    // The economic-article test and the quarter bounds.
    void articleCodesAndBounds()
    {
        QVERIFY(EconomicArticlesReport::CBCIsEcstFilter(Ec310));
        QVERIFY(EconomicArticlesReport::CBCIsEcstFilter(QString(19, '*')));
        QVERIFY(!EconomicArticlesReport::CBCIsEcstFilter(NotEc));
        QVERIFY(!EconomicArticlesReport::CBCIsEcstFilter("*************31000*"));
        QVERIFY(!EconomicArticlesReport::CBCIsEcstFilter("*************31"));
        Install in;
        TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};
        EconomicArticlesReport r(db);
        const QDate ends[] = {QDate(2004, 3, 31), QDate(2004, 6, 30), QDate(2004, 9, 30), QDate(2004, 12, 31)};
        for (int q = 1; q <= 4; ++q) {
            r.setQuarter(2004, q);
            QCOMPARE(r.lowerBound, QDate(2004, 3 * q - 2, 1));
            QCOMPARE(r.upperBound, ends[q - 1]);
        }
    }
};

QTEST_MAIN(CodesReportsTest)
#include "tst_codes_reports.moc"
