// The report pipeline and the reports by personal accounts on a real
// temporary root: the selection dialog with real clicks, masks and the period
// test (row by row and in SQL alike), header texts, progress and cancel, the
// pages of both reports, the take-down, and a store failure half-way.
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "reports/accounts/accounts_windows.h"
#include "tests/pagefit.h"
#include "core/store/storeerror.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"
#include "core/ui/messagebox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using dm::TDataBase1;
using namespace gui;
using namespace reports;
using store::Table;

namespace {

const QString CbcA = "0701901420001310000", CbcB = "0702901420001310000";

const std::vector<TemplateRows> Books = {
    {"cbc_spr", {{CbcA, "Сады"}, {CbcB, "Школы"}}},
    {"law_spr", {{"03", "Образование"}, {"031", "Дошкольное"}, {"032", "Общее"}}},
    {"org_spr", {{"123", "Группа"}, {"12345", "Детский сад"}, {"12", "Короткий"}, {"13345", "Школа"}}},
};

// The data module, the pickers, the wait window and both reports.
struct Reports {
    Install in{Books, {.orgName = "Финансовое управление"}};
    TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};
    books::TOrgSelectForm org{db};
    books::TCBCSelectForm cbc{db};
    books::TLawSelectForm law{db};
    TWaitForm wait;
    ReportContext ctx{&db, &wait, {&org, &cbc, &law}};
    TMDForm md{ctx};
    TMDForm11 md11{ctx};
    // What the last preview showed.
    int previews = 0;
    PageSet pages;

    Reports()
    {
        setPreviewInterceptor([this](Report&, const PageSet& ps, PreviewMode) {
            ++previews;
            pages = ps;
        });
    }
    ~Reports() { setPreviewInterceptor({}); }

    void receipt(const QString& acc, const QString& law, double a, QDate d, const QString& cbc = CbcA)
    {
        db.T2_1.appendRecord({acc, law, a, d, cbc});
    }
    void expenditure(const QString& acc, const QString& law, double a, QDate d, const QString& org,
                     const QString& cbc = CbcA)
    {
        db.T2_2.appendRecord({acc, law, a, d, cbc, org});
    }
    QStringList lines()
    {
        QStringList out;
        for (const QString& l : pages.toText().split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts))
            if (!l.startsWith("Страница") && !l.startsWith("Финансовое") && !l.contains("Дата составления"))
                out << l;
        return out;
    }
    // The postings the dialog's filter lets through, row by row and in SQL.
    QStringList passing(TSelectionDialog& dlg, bool sql)
    {
        Table& t = db.T2_2;
        t.setFilterCallback({});
        t.setFilterExpression(QString());
        if (sql)
            t.setFilterExpression(dlg.filterExpressionT2_2());
        else
            t.setFilterCallback([&dlg](Table& r) { return dlg.FilterT2_2(r); });
        t.setFiltered(true);
        QStringList out;
        for (t.first(); !t.eof(); t.next())
            out << t.fieldByName("Org").asString() + "/" + t.fieldByName("FiDate").asString();
        t.setFiltered(false);
        t.setFilterCallback({});
        t.setFilterExpression(QString());
        out.sort();
        return out;
    }
};

// A click on a tick box's square.
void tick(QCheckBox* b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }

void typeSegment(TSegmentedEdit* e, int k, const QString& text) { QTest::keyClicks(e->segment(k), text); }

} // namespace

class ReportsTest : public QObject {
    Q_OBJECT

private slots:
    void ticksHeadersAndBrowse()
    {
        Reports r;
        TMDForm& f = r.md;
        QCOMPARE(f.windowTitle(), QStringLiteral("Поступления/расходы по лицевым счетам"));
        QCOMPARE(f.OrgEditField->text(), QStringLiteral("     "));
        f.show();
        // Ticking over a blank edit fills it with asterisks of the code's width.
        tick(f.OrgCheckBox);
        QCOMPARE(f.OrgEditField->text(), QStringLiteral("*****"));
        tick(f.CBCCheckBox);
        QCOMPARE(f.CBCEditField->text(), QString(19, '*'));
        tick(f.LawCheckBox);
        QCOMPARE(f.LawEditField->text(), QStringLiteral("***"));
        // A partly typed edit stays as typed; clearing the tick changes nothing.
        tick(f.OrgCheckBox);
        QCOMPARE(f.OrgEditField->text(), QStringLiteral("*****"));
        f.OrgEditField->setText("     ");
        typeSegment(f.OrgEditField, 1, "12");
        tick(f.OrgCheckBox);
        QCOMPARE(f.OrgEditField->text(), QStringLiteral("12   "));

        QCOMPARE(f.orgText(), QStringLiteral("Отбор организаций: по маске 12   "));
        QCOMPARE(f.cbcText(), QStringLiteral("Отбор КБК: по маске ") + QString(19, '*'));
        QCOMPARE(f.lawText(), QStringLiteral("Отбор назначений: по маске ***"));
        QCOMPARE(f.periodText(), QStringLiteral("Период: Не задан"));
        f.StartDateEdit->setText("01.02.2004");
        f.EndDateEdit->setText("29.02.2004");
        QCOMPARE(f.periodText(), QStringLiteral("Период: Не задан"));   // whatever the dates hold
        tick(f.PerCheckBox);
        QCOMPARE(f.periodText(), QString("Период: c 01.02.2004 по 29.02.2004"));
        QCOMPARE(f.periodText().at(8).unicode(), ushort(0x63));   // the Latin c
        tick(f.OrgCheckBox);
        QCOMPARE(f.orgText(), QStringLiteral("Отбор организаций: Все"));

        // A code picked from the book is written but not ticked.
        r.db.Org_Table.setOrder("Org");
        r.db.Org_Table.findKey({"13345"});
        onNextModal(&f, [&](QWidget* m) {
            QCOMPARE(m, &r.org);
            press(r.org.Grid, Qt::Key_Return);
        });
        QTest::mouseClick(f.ORGBrowse, Qt::LeftButton);
        QCOMPARE(f.OrgEditField->text(), QStringLiteral("13345"));
        QVERIFY(!f.OrgCheckBox->isChecked());
        QCOMPARE(f.orgText(), QStringLiteral("Отбор организаций: Все"));
        QCOMPARE(f.ORGBrowse->toolTip(), QStringLiteral("Выбрать организацию из справочника"));
        // The tab order: box, edit(s), browse button of each group, then the buttons.
        QVERIFY(f.ReportOkButton->isDefault());
        QVERIFY(activate(&f));
        f.PerCheckBox->setFocus();
        QStringList order;
        for (int i = 0; i < 30 && !order.contains("CancelButton"); ++i) {
            QWidget* w = QApplication::focusWidget();
            // A segment stands for its code edit, a date's line for its edit.
            for (QWidget* p = w; p; p = p->parentWidget())
                if (qobject_cast<TSegmentedEdit*>(p))
                    w = p;
            while (w && w->objectName().isEmpty())
                w = w->parentWidget();
            if (w && !order.endsWith(w->objectName()))
                order << w->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, (QStringList{"PerCheckBox", "StartDateEdit", "EndDateEdit", "OrgCheckBox", "OrgEditField",
                                                "ORGBrowse", "CBCCheckBox", "CBCEditField", "CBCBrowse", "LawCheckBox",
                                                "LawEditField", "LawBrowse", "ReportOkButton", "CancelButton"}));
        f.hide();
    }

    // Enter on a focused button presses that button, the picker's buttons
    // included; anywhere else in the dialog it presses "Сформировать".
    void enterInTheDialog()
    {
        Reports r;
        TMDForm& f = r.md;
        r.db.Org_Table.setOrder("Org");
        for (Qt::Key key : EnterKeys) {
            QCOMPARE(runModal(f, [&] { pressIn(f.CancelButton, key); }), int(QDialog::Rejected));
            f.OrgEditField->setText("     ");
            const int result = runModal(f, [&] {
                // ". . ." opens the book; its "Отмена" brings back nothing.
                r.db.Org_Table.first();
                bool picked = false;
                onNextModal(&f, [&](QWidget* m) {
                    QCOMPARE(m, &r.org);
                    QTest::keyClick(r.org.Grid, Qt::Key_Down);
                    pressIn(r.org.CancelButton, key);
                    picked = true;
                });
                pressIn(f.ORGBrowse, key);
                QVERIFY(picked);
                QVERIFY(f.isVisible());
                QCOMPARE(f.OrgEditField->text(), QStringLiteral("     "));
                // Its "Выбрать" brings back the row's code, and the dialog stays.
                picked = false;
                onNextModal(&f, [&](QWidget*) {
                    QTest::keyClick(r.org.Grid, Qt::Key_Down);
                    pressIn(r.org.OkButton, key);
                    picked = true;
                });
                pressIn(f.ORGBrowse, key);
                QVERIFY(picked);
                QVERIFY(f.isVisible());
                QCOMPARE(f.OrgEditField->text(), QStringLiteral("12345"));
                // A written code moves no focus: back in the dialog, it is where it was.
                QVERIFY(activate(&f));
                QCOMPARE(focusName(), QStringLiteral("ORGBrowse"));
                // Enter in a code edit is "Сформировать".
                pressIn(f.CBCEditField->segment(2), key);
            });
            QCOMPARE(result, int(QDialog::Accepted));
            // So is Enter on a tick box, which stays as it was.
            QCOMPARE(runModal(f, [&] { pressIn(f.LawCheckBox, key); }), int(QDialog::Accepted));
            QVERIFY(!f.LawCheckBox->isChecked());
        }
        QCOMPARE(runModal(f, [&] { pressIn(f.ReportOkButton, Qt::Key_Return); }), int(QDialog::Accepted));
    }

    // Ticking a box with the keyboard fills the blank edit with asterisks
    // and leaves the focus on the box; Tab and Shift+Tab leave a date edit
    // from its day for the neighbouring controls.
    void keyboardThroughTheDialog()
    {
        Reports r;
        TMDForm& f = r.md;
        runModal(f, [&] {
            pressIn(f.OrgCheckBox, Qt::Key_Space);
            QVERIFY(f.OrgCheckBox->isChecked());
            QCOMPARE(f.OrgEditField->text(), QStringLiteral("*****"));
            QCOMPARE(focusName(), QStringLiteral("OrgCheckBox"));
            QStringList walk;
            for (int i = 0; i < 3; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                walk << focusName();
            }
            QCOMPARE(walk, QStringList({"OrgEditField.1", "OrgEditField.2", "ORGBrowse"}));
            pressIn(f.CBCCheckBox, Qt::Key_Space);
            QCOMPARE(f.CBCEditField->text(), QString(19, '*'));
            QCOMPARE(focusName(), QStringLiteral("CBCCheckBox"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focusName(), QStringLiteral("CBCEditField.1"));

            // The dates, typed, with the cursor taken back into the day.
            pressIn(f.StartDateEdit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(f.StartDateEdit, "01.02.2004");
            QTest::keyClick(f.StartDateEdit, Qt::Key_Home);
            QTest::keyClick(f.StartDateEdit, Qt::Key_Right);
            QCOMPARE(f.StartDateEdit->cursorPosition(), 1);
            QTest::keyClick(f.StartDateEdit, Qt::Key_Tab);
            QCOMPARE(focusName(), QStringLiteral("EndDateEdit"));
            QTest::keyClicks(f.EndDateEdit, "29.02.2004");
            QTest::keyClick(f.EndDateEdit, Qt::Key_Home);
            QTest::keyClick(f.EndDateEdit, Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(focusName(), QStringLiteral("StartDateEdit"));
            QTest::keyClick(f.StartDateEdit, Qt::Key_Home);
            QTest::keyClick(f.StartDateEdit, Qt::Key_Tab, Qt::ShiftModifier);
            QCOMPARE(focusName(), QStringLiteral("PerCheckBox"));
            // Tab, Tab from the box, each time from the day: on to the next group.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focusName(), QStringLiteral("EndDateEdit"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focusName(), QStringLiteral("OrgCheckBox"));
            QCOMPARE(f.StartDateEdit->text(), QStringLiteral("01.02.2004"));
            QCOMPARE(f.EndDateEdit->text(), QStringLiteral("29.02.2004"));
        });
    }

    // A mask typed with a blank before it is used and printed as typed.
    void maskWithBlanks()
    {
        Reports r;
        TMDForm& f = r.md;
        f.LawCheckBox->setChecked(true);
        f.LawEditField->setText(" 3*");
        QCOMPARE(f.LawEditField->text(), QStringLiteral(" 3*"));
        QCOMPARE(f.lawText(), QStringLiteral("Отбор назначений: по маске  3*"));
        f.OrgCheckBox->setChecked(true);
        f.OrgEditField->setText("1 *45");
        QCOMPARE(f.orgText(), QStringLiteral("Отбор организаций: по маске 1 *45"));
        f.OrgEditField->setText(" 2*");
        QCOMPARE(f.orgText(), QStringLiteral("Отбор организаций: по маске  2*  "));
        QVERIFY(f.filterExpressionT2_2().contains("MASK(Org, ' 2*  ')"));
        QVERIFY(f.filterExpressionT2_2().contains("MASK(LawRef, ' 3*')"));
    }

    // Enter on the wait window's button is a cancel, as its click is.
    void enterOnTheWaitWindow()
    {
        Reports r;
        for (const char* a : {"00000000001", "00000000002"})
            r.db.T1.appendRecord({a, "031"});
        QTimer::singleShot(0, [&] {
            r.wait.activateWindow();
            pressIn(r.wait.CBtn, Qt::Key_Enter);
        });
        r.md.CreateAndShow();
        QVERIFY(cancelRequested());
        QCOMPARE(r.previews, 0);
    }

    void masksAndPeriodRowByRowAndInSql()
    {
        Reports r;
        r.db.T1.appendRecord({"00000000001", "031"});
        const QDate d1(2004, 2, 1), d2(2004, 2, 2), d3(2004, 3, 1);
        for (auto [org, d] : {std::pair{"12345", d1}, {"12", d2}, {"13345", d1}, {"", d3}, {"123", d2}})
            r.expenditure("00000000001", "031", 10, d, org);
        TMDForm& f = r.md;
        auto check = [&](const QStringList& want) {
            const QStringList rows = r.passing(f, false), sql = r.passing(f, true);
            QCOMPARE(rows, want);
            QCOMPARE(sql, want);
        };
        const QString all[] = {"/01.03.2004", "12/02.02.2004", "123/02.02.2004", "12345/01.02.2004", "13345/01.02.2004"};
        check(QStringList(std::begin(all), std::end(all)));
        f.OrgCheckBox->setChecked(true);
        f.OrgEditField->setText("12***");
        check({"/01.03.2004", "12/02.02.2004", "123/02.02.2004", "12345/01.02.2004"});
        f.OrgEditField->setText("12   ");   // blanks match only blanks
        check({"/01.03.2004", "12/02.02.2004"});
        f.OrgEditField->setText("*****");
        check(QStringList(std::begin(all), std::end(all)));
        f.OrgCheckBox->setChecked(false);

        f.PerCheckBox->setChecked(true);
        f.StartDateEdit->setText("01.02.2004");
        f.EndDateEdit->setText("01.02.2004");
        check({"12345/01.02.2004", "13345/01.02.2004"});
        f.StartDateEdit->setText("02.02.2004");   // start after end: nothing
        f.EndDateEdit->setText("01.02.2004");
        check({});
        f.EndDateEdit->clear();   // an empty end: nothing
        check({});
        f.StartDateEdit->clear();   // an empty start: no lower bound
        f.EndDateEdit->setText("02.02.2004");
        check({"12/02.02.2004", "123/02.02.2004", "12345/01.02.2004", "13345/01.02.2004"});
        f.EndDateEdit->setText("31.02.2004");   // unreadable: the null date
        check({});

        QCOMPARE(GetChar("12", 3), QChar(' '));
        QCOMPARE(GetChar("12", 2), QChar('2'));
        QVERIFY(MaskSelection("12***", "") && !MaskSelection("12***", "13345"));
    }

    void accountsReportPages()
    {
        Reports r;
        Table& t1 = r.db.T1;
        for (const char* a : {"00000000001", "00000000002", "00000000003"})
            t1.appendRecord({a, "031"});
        // 1: receipts only; 2: an expenditure of 12345 and a receipt; 3: nothing selected.
        r.receipt("00000000001", "031", 100.5, QDate(2004, 2, 1));
        r.receipt("00000000001", "032", 20, QDate(2004, 2, 3));
        r.receipt("00000000002", "031", 50, QDate(2004, 2, 1));
        r.expenditure("00000000002", "032", 70.25, QDate(2004, 2, 2), "12345");
        r.expenditure("00000000002", "031", 5, QDate(2004, 2, 2), "13345", CbcB);
        r.receipt("00000000003", "031", 9, QDate(2004, 5, 1));
        TMDForm& f = r.md;
        f.PerCheckBox->setChecked(true);
        f.StartDateEdit->setText("01.02.2004");
        f.EndDateEdit->setText("29.02.2004");
        // The current account of every window stays where it stood, both
        // reports walking the accounts notwithstanding.
        t1.setRecNo(2);
        f.CreateAndShow();
        QCOMPARE(t1.fieldByName("Facebill").asString(), QStringLiteral("00000000002"));
        r.md11.CreateAndShow();
        QCOMPARE(t1.fieldByName("Facebill").asString(), QStringLiteral("00000000002"));
        r.previews = 0;
        f.CreateAndShow();
        QCOMPARE(r.previews, 1);
        QCOMPARE(r.pages.pages.front().texts[1].text, QStringLiteral("Поступления/расходы по лицевым счетам"));
        QCOMPARE(r.wait.progressHistory(), (QList<int>{33, 66, 100}));
        QVERIFY(!r.wait.isVisible());
        QCOMPARE(r.lines(), (QStringList{
                                "Период: c 01.02.2004 по 29.02.2004\tОтбор КБК: Все",
                                "Отбор организаций: Все\tОтбор назначений: Все",
                                "Лицевой счет\t00000000001",
                                "Поступления",
                                "Код БК\tДата\tСумма\tНазначение",
                                CbcA + "\t01.02.2004\t100,50\tДошкольное",
                                CbcA + "\t03.02.2004\t20,00\tОбщее",
                                "Итого\t120,50",
                                "Лицевой счет\t00000000002",
                                "Поступления",
                                "Код БК\tДата\tСумма\tНазначение",
                                CbcA + "\t01.02.2004\t50,00\tДошкольное",
                                "Итого\t50,00",
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                CbcB + "\t02.02.2004\t133-45 Школа\t5,00\tДошкольное",
                                CbcA + "\t02.02.2004\t123-45 Детский сад\t70,25\tОбщее",
                                "Итого\t75,25",
                                "Остаток по счету:\t-25,25",
                            }));
        // Every account has its md row, the one without selected postings too.
        Table& md = r.db.MdTable;
        QCOMPARE(md.recordCount(), 3);
        md.first();
        QCOMPARE(md.fieldByName("InSum").asFloat(), 120.5);
        md.setRecNo(3);
        QCOMPARE(md.fieldByName("InSum").asFloat(), 0.0);
        // Everything is taken down; the order given stays.
        for (Table* t : {&r.db.T2_1, &r.db.T2_2, &r.db.MdTable, &r.db.LawSprTable, &r.db.Org_Table})
            QVERIFY2(!t->master(), qPrintable(t->objectName()));
        QVERIFY(!r.db.T2_1.filtered() && !r.db.T2_2.filtered());
        QVERIFY(!r.db.T2_1.session()->reading());   // the pages' reading pass is over
        QCOMPARE(r.db.T2_1.recordCount(), 4);
        QCOMPARE(r.db.T2_1.order(), QStringLiteral("FaceBill"));

        // The organization selection narrows only the expenditures.
        f.OrgCheckBox->setChecked(true);
        f.OrgEditField->setText("12***");
        f.CreateAndShow();
        const QStringList l = r.lines();
        QVERIFY(l.contains(CbcA + "\t01.02.2004\t50,00\tДошкольное"));
        QVERIFY(!l.join('\n').contains("133-45"));
        QVERIFY(l.contains("Остаток по счету:\t-20,25"));
        QVERIFY(l.contains("Отбор организаций: по маске 12***\tОтбор назначений: Все"));
    }

    // The report as printed, at 100 %, as a whole page and in PDF: the title's
    // "Дата составления" whole, an organization's name of two lines at 8
    // points level with the row's other cells, every text inside its box.
    void accountsReportOnEveryDevice()
    {
        Reports r;
        r.db.Org_Table.appendRecord({"12346", "МДОУ детский сад №5 \"Сказка\""});
        r.db.T1.appendRecord({"00000000001", "031"});
        r.receipt("00000000001", "031", 100.5, QDate(2004, 2, 1));
        r.expenditure("00000000001", "031", 70.25, QDate(2004, 2, 2), "12346");
        r.expenditure("00000000001", "032", 5, QDate(2004, 2, 3), "12345");
        r.md.CreateAndShow();
        const QStringList bad = pagefit::misfits(r.pages);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        const Page& pg = r.pages.pages.front();
        auto run = [&](const QString& start) {
            return *std::find_if(pg.texts.begin(), pg.texts.end(), [&](auto& t) { return t.plainText().startsWith(start); });
        };
        QCOMPARE(run("Дата составления").lines(), QStringList{"Дата составления"});
        const TextRun org = run("123-46"), amount = run("70,25"), next = run("123-45");
        QCOMPARE(org.lines().size(), 2);
        QCOMPARE(org.plainText(), QString("123-46 МДОУ детский сад №5 \"Сказка\""));
        // The first line stands where a one-line name would: its middle level
        // with the amount's; as much room under the last line as above the first.
        const FontMeasures m = fontMeasures(pg.style(org));
        const double first = org.rect.top() + org.top + m.height / 2;
        QVERIFY(std::abs(first - amount.rect.center().y()) < 0.01);
        QVERIFY(std::abs(org.rect.bottom() - (org.rect.top() + org.top + linesHeight(pg.style(org), 2)) - org.top) < 0.01);
        QVERIFY(next.rect.top() >= org.rect.bottom());
    }

    void shortReportAndEmptyYear()
    {
        Reports r;
        // No accounts: no progress, the preview still comes with title and summary.
        r.md11.CreateAndShow();
        QCOMPARE(r.previews, 1);
        QVERIFY(r.wait.progressHistory().isEmpty());
        QCOMPARE(r.lines().last(), QStringLiteral("Итого\t0,00\t0,00\t0,00"));

        for (auto [a, law] : {std::pair{"00000000001", "031"}, {"00000000002", "033"}, {"00000000003", "032"}})
            r.db.T1.appendRecord({a, law});
        r.receipt("00000000001", "031", 100.5, QDate(2004, 2, 1));
        r.expenditure("00000000001", "031", 30.25, QDate(2004, 2, 1), "12345");
        r.expenditure("00000000003", "031", 12, QDate(2004, 2, 1), "12");
        r.md11.CreateAndShow();
        const QStringList l = r.lines();
        QCOMPARE(l.mid(3), (QStringList{
                               "Лицевой счет\tНазначение\tПоступило\tИзрасходовано\tОстаток",
                               "00000000001\tДошкольное\t100,50\t30,25\t70,25",
                               // A purpose missing from the book shows what the account's field shows.
                               "00000000002\t" + [&] {
                                   r.db.T1.findKey({"00000000002"});
                                   return r.db.T1.fieldByName("LawSName").asString();
                               }() + "\t0,00\t0,00\t0,00",
                               "00000000003\tОбщее\t0,00\t12,00\t-12,00",
                               "Итого\t100,50\t42,25\t58,25",
                           }));
        QVERIFY(!r.db.MdTable.master());
    }

    void cancelAndStoreFailure()
    {
        Reports r;
        for (const char* a : {"00000000001", "00000000002", "00000000003"})
            r.db.T1.appendRecord({a, "031"});
        // Esc in the wait window while the first row is due: no preview, all taken down.
        QTimer::singleShot(0, [&] { press(&r.wait, Qt::Key_Escape); });
        r.md.CreateAndShow();
        QVERIFY(cancelRequested());
        QVERIFY(r.md.cancelled());
        QCOMPARE(r.previews, 0);
        QVERIFY(!r.wait.isVisible());
        QCOMPARE(r.db.MdTable.recordCount(), 0);
        QVERIFY(!r.db.T2_1.master() && !r.db.T2_1.filtered());
        // The next run starts with the request cleared.
        r.md.CreateAndShow();
        QCOMPARE(r.previews, 1);
        QVERIFY(!cancelRequested());

        // A refusal of the store half-way: the error is shown, nothing stays linked.
        ui::RecordingAnswerer said;
        int n = 0;
        r.db.MdTable.setBeforePost([&n](Table&) {
            if (++n == 2)
                throw store::StoreError("Disk full.");
        });
        r.md.CreateAndShow();
        QCOMPARE(said.count(), 1);
        QCOMPARE(said.last().text, QStringLiteral("Disk full."));
        QCOMPARE(r.previews, 1);
        QVERIFY(!r.wait.isVisible());
        for (Table* t : {&r.db.T2_1, &r.db.T2_2, &r.db.MdTable, &r.db.Org_Table})
            QVERIFY(!t->master());
        QVERIFY(!r.db.T2_1.filtered() && !r.db.T2_2.filtered());
        QVERIFY(r.db.T2_2.hasCalcFields());   // hooks and calculated fields are on again
        QCOMPARE(r.db.T2_2.state(), store::TableState::Browse);
        r.db.MdTable.setBeforePost({});
    }
};

QTEST_MAIN(ReportsTest)
#include "tst_reports.moc"
