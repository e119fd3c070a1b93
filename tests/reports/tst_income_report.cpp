// The income/expense report of the organizations on a real temporary root:
// the opening and period figures, the lines of the period, the sections
// printed when empty, the kind mask, the colours, the summary, its dialog
// driven as the user does, and the tables as they were after the run.
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "core/store/table.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"
#include "reports/income/income_window.h"
#include "tests/gui.h"
#include "tests/install.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

using dm::TDataBase1;
using namespace gui;
using namespace reports;

namespace {

const std::vector<TemplateRows> Books = {
    {"org_spr", {{"001", "Образование"}, {"00101", "Сад №1"}, {"00102", "Школа №2"}, {"00201", "Баня"}}},
    {"SumTypeSpr", {{"000", "Без вида"}, {"001", "Родительская плата"}, {"101", "Коммунальные"}}},
};

struct Income {
    Install in{Books, {.orgName = "Финансовое управление"}};
    TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};

    void org(const QString& code, double in = 0, double out = 0) { db.DOrgTable.appendRecord({code, in, out, in - out}); }
    void receipt(const QString& org, const QDate& d, double sum, const QString& note = {}, const QString& kind = "001")
    {
        db.DInTable.appendRecord({org, d, sum, note, kind});
    }
    void expense(const QString& org, const QDate& d, double sum, const QString& note = {}, const QString& kind = "101")
    {
        db.DOutTable.appendRecord({org, d, sum, note, kind});
    }

    static IncomeSelection march()
    {
        IncomeSelection s;
        s.period = true;
        s.startText = "01.03.2004";
        s.endText = "31.03.2004";
        return s;
    }

    PageSet run(const IncomeSelection& s)
    {
        IncomeReport r(db);
        std::optional<PageSet> p = r.run(s);
        if (!p)
            return {};
        return *p;
    }
};

QStringList lines(const PageSet& ps) { return ps.toText().split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts); }

// The lines of the block of one organization, from its name to its closing figures.
QStringList block(const PageSet& ps, const QString& name)
{
    const QStringList all = lines(ps);
    QStringList out;
    bool in = false;
    for (const QString& l : all) {
        if (l.startsWith(name + "\t"))
            in = true;
        if (in)
            out << l;
        if (in && l.startsWith("На конец периода:"))
            break;
    }
    return out;
}

QColor colorOf(const PageSet& ps, const QString& text, int nth = 0)
{
    for (const Page& p : ps.pages)
        for (const TextRun& t : p.texts)
            if (t.plainText() == text && nth-- == 0)
                return t.color;
    return {};
}

} // namespace

class IncomeReportTest : public QObject {
    Q_OBJECT

private slots:
    // 100,00 on 28.02, 50,00 on 01.03, 30,00 spent on 31.03, the period
    // March: the start and the end date both count in the period.
    void theMarchExample()
    {
        Income f;
        f.org("00101");
        f.receipt("00101", QDate(2004, 2, 28), 100, "февраль");
        f.receipt("00101", QDate(2004, 3, 1), 50, "первое");
        f.expense("00101", QDate(2004, 3, 31), 30, "последнее");
        f.receipt("00101", QDate(2004, 4, 1), 1000, "апрель");
        const PageSet ps = f.run(Income::march());
        QCOMPARE(ps.count(), 1);
        const QStringList all = lines(ps);
        QVERIFY2(all.contains("Доход/расход организаций"), qPrintable(all.join('\n')));
        QVERIFY2(all.contains("Период: c 01.03.2004 по 31.03.2004\tВид прихода/расхода: Все"), qPrintable(all.join('\n')));
        QVERIFY(all.contains("Отбор организаций: Все"));
        QCOMPARE(block(ps, "Сад №1"),
                 QStringList({"Сад №1\t001-01",
                              "На начало периода:\tПриход:\t100,00\tРасход:\t0,00\tСальдо:\t100,00",
                              "Поступило с\t01.03.2004\tпо\t31.03.2004",
                              "Сумма\tДата\tПримечание",
                              "50,00\t01.03.2004\tпервое",
                              "Итого:\t50,00",
                              "Израсходовано с\t01.03.2004\tпо\t31.03.2004",
                              "Сумма\tДата\tПримечание",
                              "30,00\t31.03.2004\tпоследнее",
                              "Итого:\t30,00",
                              "На конец периода:\tПриход:\t150,00\tРасход:\t30,00\tСальдо:\t120,00"}));
        // The summary over the one organization.
        const int at = all.indexOf("Итого по\tвсем организациям");
        QVERIFY2(at > 0, qPrintable(all.join('\n')));
        QCOMPARE(all.mid(at + 1, 4),
                 QStringList({"На начало периода:\tПриход:\t100,00\tРасход:\t0,00\tСальдо:\t100,00",
                              "За период с\t01.03.2004\tПриход:\t50,00\tРасход:\t30,00\tСальдо:\t20,00",
                              "по\t31.03.2004",
                              "На конец периода:\tПриход:\t150,00\tРасход:\t30,00\tСальдо:\t120,00"}));
    }

    // The kind mask "1**" counts only kinds beginning with 1, before the
    // period and within it.
    void theKindMask()
    {
        Income f;
        f.org("00101");
        f.receipt("00101", QDate(2004, 2, 1), 7, "", "001");
        f.receipt("00101", QDate(2004, 2, 2), 70, "", "101");
        f.receipt("00101", QDate(2004, 3, 5), 5, "не тот", "001");
        f.receipt("00101", QDate(2004, 3, 6), 50, "тот", "101");
        f.expense("00101", QDate(2004, 2, 3), 3, "", "001");
        f.expense("00101", QDate(2004, 3, 7), 30, "", "101");
        IncomeSelection s = Income::march();
        s.kind = true;
        s.kindMask = "1**";
        const PageSet ps = f.run(s);
        const QStringList b = block(ps, "Сад №1");
        QCOMPARE(b.value(1), QStringLiteral("На начало периода:\tПриход:\t70,00\tРасход:\t0,00\tСальдо:\t70,00"));
        QVERIFY(b.contains("50,00\t06.03.2004\tтот"));
        QVERIFY(!b.join('\n').contains("не тот"));
        QCOMPARE(b.last(), QStringLiteral("На конец периода:\tПриход:\t120,00\tРасход:\t30,00\tСальдо:\t90,00"));
        QVERIFY(lines(ps).contains("Период: c 01.03.2004 по 31.03.2004\tВид прихода/расхода: по маске 1**"));
    }

    // An organization without entries in the period prints its whole block:
    // each header, a blank line and "Итого:" with 0,00.
    void anOrganizationWithoutEntries()
    {
        Income f;
        f.org("00101");
        f.org("00102");
        f.receipt("00101", QDate(2004, 3, 2), 10);
        f.receipt("00102", QDate(2004, 5, 2), 99);
        const PageSet ps = f.run(Income::march());
        QCOMPARE(block(ps, "Школа №2"),
                 QStringList({"Школа №2\t001-02",
                              "На начало периода:\tПриход:\t0,00\tРасход:\t0,00\tСальдо:\t0,00",
                              "Поступило с\t01.03.2004\tпо\t31.03.2004",
                              "Сумма\tДата\tПримечание",
                              "Итого:\t0,00",
                              "Израсходовано с\t01.03.2004\tпо\t31.03.2004",
                              "Сумма\tДата\tПримечание",
                              "Итого:\t0,00",
                              "На конец периода:\tПриход:\t0,00\tРасход:\t0,00\tСальдо:\t0,00"}));
        // The blank line stands between the heading and the total.
        const Page& page = ps.pages[0];
        double heading = 0, total = 0;
        int seen = 0;
        for (const TextRun& t : page.texts) {
            if (t.plainText() == "Примечание" && ++seen == 3)
                heading = t.rect.bottom();
        }
        seen = 0;
        for (const TextRun& t : page.texts)
            if (t.plainText() == "Итого:" && ++seen == 3)
                total = t.rect.top();
        QVERIFY2(total - heading > 4, qPrintable(QString::number(total - heading)));
    }

    // Below zero at two decimals is red; zero and above black, also a value
    // that only rounds to 0,00.
    void redAndBlack()
    {
        Income f;
        f.org("00101");
        f.org("00102");
        f.expense("00101", QDate(2004, 3, 2), 40);
        f.receipt("00102", QDate(2004, 3, 2), 0.002);
        f.receipt("00102", QDate(2004, 3, 3), -0.004);
        f.receipt("00102", QDate(2004, 3, 4), -2.5, "минус");
        f.receipt("00102", QDate(2004, 3, 4), 2.5, "плюс");
        const PageSet ps = f.run(Income::march());
        const QStringList b = block(ps, "Сад №1");
        QCOMPARE(b.last(), QStringLiteral("На конец периода:\tПриход:\t0,00\tРасход:\t40,00\tСальдо:\t-40,00"));
        QCOMPARE(colorOf(ps, "-40,00"), QColor(Qt::red));
        // The receipt line of -2,50 red, the one of 2,50 black.
        QCOMPARE(colorOf(ps, "-2,50"), QColor(Qt::red));
        QCOMPARE(colorOf(ps, "2,50"), QColor(Qt::black));
        // The second organization's balance: -0,002 shows as 0,00 (or -0,00)
        // and prints black.
        const QStringList b2 = block(ps, "Школа №2");
        const QString last = b2.last();
        const QString saldo = last.section('\t', -1);
        QVERIFY2(saldo == "0,00" || saldo == "-0,00", qPrintable(last));
        int nth = 0;
        for (const Page& p : ps.pages)
            for (const TextRun& t : p.texts)
                if (t.plainText() == saldo && t.color == QColor(Qt::red))
                    ++nth;
        QCOMPARE(nth, 0);
        // The summary: -40,00 + 0,00 is red too.
        const QStringList all = lines(ps);
        QVERIFY(all.contains("На конец периода:\tПриход:\t0,00\tРасход:\t40,00\tСальдо:\t-40,00"));
    }

    // Without a period nothing lies before it and it takes every entry.
    void withoutAPeriod()
    {
        Income f;
        f.org("00101");
        f.receipt("00101", QDate(2004, 1, 1), 10);
        f.receipt("00101", QDate(2004, 12, 31), 20);
        f.expense("00101", QDate(2004, 6, 1), 5);
        IncomeSelection s;
        s.startText = "01.03.2004";   // shown, not used
        const PageSet ps = f.run(s);
        const QStringList b = block(ps, "Сад №1");
        QCOMPARE(b.value(1), QStringLiteral("На начало периода:\tПриход:\t0,00\tРасход:\t0,00\tСальдо:\t0,00"));
        QCOMPARE(b.last(), QStringLiteral("На конец периода:\tПриход:\t30,00\tРасход:\t5,00\tСальдо:\t25,00"));
        QVERIFY(lines(ps).contains("Период: Не задан") || ps.toText().contains("Период: Не задан"));
    }

    // The organization mask; the tables as they stood, afterwards.
    void theOrganizationMaskAndTheTablesAfter()
    {
        Income f;
        f.org("00101");
        f.org("00102");
        f.org("00201");
        f.receipt("00102", QDate(2004, 3, 2), 10);
        f.receipt("00201", QDate(2004, 3, 2), 20);
        f.db.DOrgTable.setRecNo(3);
        IncomeSelection s = Income::march();
        s.org = true;
        s.orgMask = "001**";
        IncomeReport r(f.db);
        const std::optional<PageSet> ps = r.run(s);
        QVERIFY(ps);
        const QStringList all = lines(*ps);
        QVERIFY(!block(*ps, "Сад №1").isEmpty());
        QVERIFY(!block(*ps, "Школа №2").isEmpty());
        QVERIFY(block(*ps, "Баня").isEmpty());
        QVERIFY(all.contains("Итого по\t001**"));
        QCOMPARE(r.totalEndIn, 10.0);
        QVERIFY(all.contains("Отбор организаций: по маске 001**"));

        QCOMPARE(f.db.DOrgTable.recNo(), 3);
        for (store::Table* t : {&f.db.DOrgTable, &f.db.DInTable, &f.db.DOutTable}) {
            QVERIFY(!t->master());
            QVERIFY(!t->filtered());
        }
        QCOMPARE(f.db.DOrgTable.recordCount(), 3);
        QCOMPARE(f.db.DInTable.recordCount(), 2);
        QVERIFY(!f.db.Umd1Table.isOpen());
    }

    // A cancel in the wait window: nothing to preview, the tables taken down.
    void cancelled()
    {
        Income f;
        f.org("00101");
        f.org("00102");
        f.receipt("00101", QDate(2004, 3, 2), 10);
        struct Stop : RunProgress {
            int calls = 0;
            bool progress(int) override { return ++calls < 2; }
        } stop;
        IncomeReport r(f.db);
        QVERIFY(!r.run(Income::march(), &stop));
        QCOMPARE(stop.calls, 2);
        for (store::Table* t : {&f.db.DOrgTable, &f.db.DInTable, &f.db.DOutTable}) {
            QVERIFY(!t->master());
            QVERIFY(!t->filtered());
        }
        QVERIFY(!f.db.Umd1Table.isOpen());
        // The next run is whole again.
        const PageSet ps = f.run(Income::march());
        QVERIFY(!block(ps, "Школа №2").isEmpty());
    }

    // The dialog as the user fills it; the summary speaks of all
    // organizations while the box is clear, whatever the edit holds.
    void theDialog()
    {
        Income f;
        f.org("00101");
        f.receipt("00101", QDate(2004, 3, 2), 10);
        books::TOrgSelectForm orgs(f.db);
        books::TSumTypeSprForm kinds(f.db);
        TWaitForm wait;
        TUMDForm1 w({&f.db, &wait, {&orgs, nullptr, nullptr}}, &kinds);
        QCOMPARE(w.windowTitle(), QStringLiteral("Отчет по организациям"));
        QCOMPARE(w.size(), QSize(426, 223));
        QCOMPARE(w.SumTypeBrowse->toolTip(), QStringLiteral("Выбрать назначение из справочника"));
        PageSet pages;
        PreviewMode mode = PreviewMode::Ordinary;
        int previews = 0;
        setPreviewInterceptor([&](Report&, const PageSet& ps, PreviewMode m) {
            pages = ps;
            mode = m;
            ++previews;
        });
        auto form = [&](const std::function<void()>& body) {
            const int result = runModal(w, [&] {
                body();
                QTest::mouseClick(w.ReportOkButton, Qt::LeftButton);
            });
            QCOMPARE(result, int(QDialog::Accepted));
            w.CreateAndShow();
        };
        form([&] {
            w.PerCheckBox->setFocus(Qt::TabFocusReason);
            QTest::keyClick(w.PerCheckBox, Qt::Key_Space);
            QVERIFY(w.PerCheckBox->isChecked());
            w.StartDateEdit->setFocus();
            typeOver(w.StartDateEdit, "01.03.2004");
            w.EndDateEdit->setFocus();
            typeOver(w.EndDateEdit, "31.03.2004");
            typeCode(w.OrgEditField, {"001", "01"});
            // The kind box over a blank edit fills it with asterisks.
            QTest::mouseClick(w.SumTypeCheckBox, Qt::LeftButton);
            QCOMPARE(w.SumTypeEditField->text(), QStringLiteral("***"));
        });
        QCOMPARE(previews, 1);
        QCOMPARE(mode, PreviewMode::Modal);
        QVERIFY2(lines(pages).contains("Итого по\tвсем организациям"), qPrintable(pages.toText()));
        QVERIFY2(lines(pages).contains("Период: c 01.03.2004 по 31.03.2004\tВид прихода/расхода: по маске ***"),
                 qPrintable(pages.toText()));
        form([&] { QTest::mouseClick(w.OrgCheckBox, Qt::LeftButton); });
        QCOMPARE(previews, 2);
        QVERIFY(lines(pages).contains("Итого по\t00101"));
        setPreviewInterceptor({});
    }
};

QTEST_MAIN(IncomeReportTest)
#include "tst_income_report.moc"
