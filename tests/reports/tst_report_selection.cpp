// The selections of the reports by personal accounts as a user makes them:
// the boxes ticked with the mouse, the masks typed into the code segments,
// the dates typed, "Сформировать" clicked. Every run is checked on what the
// pages print (header texts, the postings listed, their totals) and on the
// sums the work table md holds. The amounts are powers of two, so a total
// tells exactly which postings went into it.
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "reports/accounts/accounts_windows.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <optional>

using dm::TDataBase1;
using namespace reports;
using store::Table;

namespace {

// Codes as the book holds them: whole ones, and ones typed with a segment
// left empty (blanks inside, trailing blanks dropped by the store).
const QString A = "0701901420001310000", B = "0702901420001310000", C = "0701902420001310000",
              D = "0701901   001310000", E = "0801901   001310000", F = "0711902   002999999";
const QString Acc1 = "00000000001", Acc2 = "00000000002";

// What a run selects: a box left clear where a value is absent; the codes
// segment by segment as typed, the dates as typed.
struct Typed {
    std::optional<std::pair<QString, QString>> period;
    std::optional<QStringList> org, cbc, law;
};

} // namespace

Q_DECLARE_METATYPE(Typed)

namespace {

// prog.ini with the finance body's name the title band prints.
QString named(const Install& in)
{
    config::Profile(in.ini).writeString("Main", "OrgName", "Финансовое управление");
    return in.ini;
}

struct Reports {
    Install in{{
        {"cbc_spr", {{A, "Сады"}, {B, "Школы"}, {C, "Ясли"}, {D, "Группа садов"}, {E, "Клубы"}, {F, "Секции"}}},
        {"law_spr",
         {{"03", "Образование"}, {"031", "Дошкольное"}, {"032", "Общее"}, {"04", "Культура"}, {"041", "Музеи"},
          {"13", "Спорт"}, {"131", "Кружки"}}},
        {"org_spr", {{"12345", "Детский сад"}, {"12", "Короткий"}, {"123", "Группа"}, {"13345", "Школа"}}},
    }};
    TDataBase1 db{named(in), [](auto&&...) { return dm::MsgResult::Ok; }};
    books::TOrgSelectForm org{db};
    books::TCBCSelectForm cbc{db};
    books::TLawSelectForm law{db};
    TWaitForm wait;
    ReportContext ctx{&db, &wait, {&org, &cbc, &law}};
    TMDForm md{ctx};
    TMDForm11 md11{ctx};
    int previews = 0;
    PageSet pages;

    Reports()
    {
        setPreviewInterceptor([this](Report&, const PageSet& ps, PreviewMode) {
            ++previews;
            pages = ps;
        });
        db.T1.appendRecord({Acc1, "031"});
        db.T1.appendRecord({Acc2, "041"});
        const QDate none;
        // Receipts of account 1: on the edges of February, undated, without codes.
        receipt(Acc1, "031", 100, QDate(2004, 2, 1), A);     // first day
        receipt(Acc1, "032", 200, QDate(2004, 2, 29), B);    // last day
        receipt(Acc1, "03", 400, QDate(2004, 2, 15), D);     // a group purpose
        receipt(Acc1, "041", 800, QDate(2004, 1, 31), C);    // the day before
        receipt(Acc1, "131", 1600, QDate(2004, 3, 1), F);    // the day after
        receipt(Acc1, "031", 3200, none, E);                 // undated
        receipt(Acc1, "", 6400, QDate(2004, 2, 10), "");     // no purpose, no code
        expenditure(Acc1, "031", 1, QDate(2004, 2, 1), A, "12345");
        expenditure(Acc1, "041", 2, QDate(2004, 2, 29), D, "13345");
        expenditure(Acc1, "03", 4, none, C, "12");
        expenditure(Acc1, "032", 8, QDate(2004, 1, 31), F, "123");
        expenditure(Acc1, "031", 64, QDate(2004, 2, 20), A, "13345");   // only the organization tells it apart
        receipt(Acc2, "131", 25, QDate(2004, 2, 15), B);
        expenditure(Acc2, "041", 16, QDate(2004, 2, 15), C, "12345");
        expenditure(Acc2, "", 32, QDate(2004, 3, 1), "", "");
    }
    ~Reports() { setPreviewInterceptor({}); }

    void receipt(const QString& acc, const QString& lawRef, double a, QDate d, const QString& code)
    {
        db.T2_1.appendRecord({acc, lawRef, a, d.isValid() ? QVariant(d) : QVariant(), code});
    }
    void expenditure(const QString& acc, const QString& lawRef, double a, QDate d, const QString& code,
                     const QString& orgCode)
    {
        db.T2_2.appendRecord({acc, lawRef, a, d.isValid() ? QVariant(d) : QVariant(), code, orgCode});
    }

    // The dialog opened as the main window opens it, the selection made with
    // the mouse and the keyboard, "Сформировать" clicked.
    void run(TReportForm& f, const Typed& s)
    {
        const int before = previews;
        bool driven = false;
        gui::onNextModal(nullptr, [&](QWidget* w) {
            QCOMPARE(w, static_cast<QWidget*>(&f));
            select(f, s);
            driven = true;
            QTest::mouseClick(f.ReportOkButton, Qt::LeftButton);
        });
        if (f.exec() == QDialog::Accepted)
            f.CreateAndShow();
        QVERIFY(driven);
        QCOMPARE(previews, before + 1);
    }

    static void select(TSelectionDialog& f, const Typed& s)
    {
        setTick(f.PerCheckBox, s.period.has_value());
        if (s.period) {
            QTest::mouseClick(f.StartDateEdit, Qt::LeftButton);
            gui::typeOver(f.StartDateEdit, s.period->first);
            QTest::mouseClick(f.EndDateEdit, Qt::LeftButton);
            gui::typeOver(f.EndDateEdit, s.period->second);
        }
        const std::tuple<QCheckBox*, TSegmentedEdit*, const std::optional<QStringList>*> codes[] = {
            {f.OrgCheckBox, f.OrgEditField, &s.org},
            {f.CBCCheckBox, f.CBCEditField, &s.cbc},
            {f.LawCheckBox, f.LawEditField, &s.law}};
        for (auto [box, edit, parts] : codes) {
            setTick(box, parts->has_value());
            if (*parts)
                gui::typeCode(edit, **parts);
        }
    }

    // A click on the box's square when it is not as wanted.
    static void setTick(QCheckBox* b, bool on)
    {
        if (b->isChecked() != on)
            QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
        QCOMPARE(b->isChecked(), on);
    }

    // The printed lines without the finance body's name, the line of the
    // generation date (with the full report's title beside it) and the page
    // numbers.
    QStringList lines() const
    {
        QStringList out;
        for (const QString& l : pages.toText().split(QRegularExpression("[\n\f]"), Qt::SkipEmptyParts))
            if (!l.startsWith("Страница") && !l.startsWith("Финансовое") && !l.contains("Дата составления"))
                out << l;
        return out;
    }

    // The work table: account, receipts, expenditures, remainder.
    QStringList mdRows()
    {
        Table& t = db.MdTable;
        QStringList out;
        for (t.first(); !t.eof(); t.next())
            out << QStringList{t.fieldByName("FaceBill").asString(), t.fieldByName("InSum").asString(),
                               t.fieldByName("OutSum").asString(), t.fieldByName("Remainder").asString()}
                       .join(' ');
        return out;
    }
};

const Typed CodePrefix{{}, {}, QStringList{"0701", "***", "***", "***", "******"}, {}};
// Asterisks and blanks mixed: 07, any, 1, 90, any, three blanks, then anything.
const Typed CodeMixed{{}, {}, QStringList{"07*1", "90*", "", "***", "******"}, {}};
const Typed OrgLawCode{{}, QStringList{"12*", "**"}, QStringList{"0701", "***", "***", "***", "******"},
                           QStringList{"03", "*"}};
const Typed February{std::pair{QString("01.02.2004"), QString("29.02.2004")}, {}, {}, {}};
const Typed UpToFebruaryEnd{std::pair{QString(), QString("29.02.2004")}, {}, {}, {}};

} // namespace

class ReportSelectionTest : public QObject {
    Q_OBJECT

private slots:
    // The full report: which postings each code mask lists, in their order,
    // with their totals, and the mask in the header as typed.
    void accountsReportByCodeMasks()
    {
        Reports r;
        r.run(r.md, CodePrefix);
        QCOMPARE(r.md.CBCEditField->text(), QString("0701***************"));
        QCOMPARE(r.lines(), (QStringList{
                                "Период: Не задан\tОтбор КБК: по маске 0701***************",
                                "Отбор организаций: Все\tОтбор назначений: Все",
                                "Лицевой счет\t" + Acc1,
                                "Поступления",
                                "Код БК\tДата\tСумма\tНазначение",
                                "10.02.2004\t6400,00",   // an empty code passes every mask
                                D + "\t15.02.2004\t400,00\tОбразование",
                                A + "\t01.02.2004\t100,00\tДошкольное",
                                C + "\t31.01.2004\t800,00\tМузеи",
                                "Итого\t7700,00",
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                C + "\t12 Короткий\t4,00\tОбразование",
                                A + "\t01.02.2004\t123-45 Детский сад\t1,00\tДошкольное",
                                A + "\t20.02.2004\t133-45 Школа\t64,00\tДошкольное",
                                D + "\t29.02.2004\t133-45 Школа\t2,00\tМузеи",
                                "Итого\t71,00",
                                "Остаток по счету:\t7629,00",
                                "Лицевой счет\t" + Acc2,
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                "01.03.2004\t32,00",
                                C + "\t15.02.2004\t123-45 Детский сад\t16,00\tМузеи",
                                "Итого\t48,00",
                                "Остаток по счету:\t-48,00",
                            }));
        QCOMPARE(r.mdRows(), (QStringList{Acc1 + " 7700 71 7629", Acc2 + " 0 48 -48"}));

        // A blank in the mask matches only a blank: 0701901420... is refused
        // where the mask holds blanks, 0711902 is taken where it holds "*".
        r.run(r.md, CodeMixed);
        QCOMPARE(r.md.CBCEditField->text(), QString("07*190*   *********"));
        QCOMPARE(r.lines(), (QStringList{
                                "Период: Не задан\tОтбор КБК: по маске 07*190*   *********",
                                "Отбор организаций: Все\tОтбор назначений: Все",
                                "Лицевой счет\t" + Acc1,
                                "Поступления",
                                "Код БК\tДата\tСумма\tНазначение",
                                "10.02.2004\t6400,00",
                                D + "\t15.02.2004\t400,00\tОбразование",
                                F + "\t01.03.2004\t1600,00\tКружки",
                                "Итого\t8400,00",
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                F + "\t31.01.2004\t123 Группа\t8,00\tОбщее",
                                D + "\t29.02.2004\t133-45 Школа\t2,00\tМузеи",
                                "Итого\t10,00",
                                "Остаток по счету:\t8390,00",
                                "Лицевой счет\t" + Acc2,
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                "01.03.2004\t32,00",
                                "Итого\t32,00",
                                "Остаток по счету:\t-32,00",
                            }));
        QCOMPARE(r.mdRows(), (QStringList{Acc1 + " 8400 10 8390", Acc2 + " 0 32 -32"}));
    }

    // Organization, purpose and code masks at once: the organization narrows
    // only the expenditures; a two-character code passes "12***" and "03*".
    void accountsReportByOrganizationPurposeAndCode()
    {
        Reports r;
        r.run(r.md, OrgLawCode);
        QCOMPARE(r.lines(), (QStringList{
                                "Период: Не задан\tОтбор КБК: по маске 0701***************",
                                "Отбор организаций: по маске 12***\tОтбор назначений: по маске 03*",
                                "Лицевой счет\t" + Acc1,
                                "Поступления",
                                "Код БК\tДата\tСумма\tНазначение",
                                "10.02.2004\t6400,00",
                                D + "\t15.02.2004\t400,00\tОбразование",
                                A + "\t01.02.2004\t100,00\tДошкольное",
                                "Итого\t6900,00",
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                C + "\t12 Короткий\t4,00\tОбразование",
                                A + "\t01.02.2004\t123-45 Детский сад\t1,00\tДошкольное",
                                "Итого\t5,00",
                                "Остаток по счету:\t6895,00",
                                "Лицевой счет\t" + Acc2,
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                "01.03.2004\t32,00",
                                "Итого\t32,00",
                                "Остаток по счету:\t-32,00",
                            }));
        QCOMPARE(r.mdRows(), (QStringList{Acc1 + " 6900 5 6895", Acc2 + " 0 32 -32"}));
    }

    // The period's edges: its first and last day are in, the days around it
    // and the undated postings are out; with no start date an undated
    // posting counts as before every real date and is in.
    void accountsReportByPeriod()
    {
        Reports r;
        r.run(r.md, February);
        QCOMPARE(r.lines(), (QStringList{
                                "Период: c 01.02.2004 по 29.02.2004\tОтбор КБК: Все",
                                "Отбор организаций: Все\tОтбор назначений: Все",
                                "Лицевой счет\t" + Acc1,
                                "Поступления",
                                "Код БК\tДата\tСумма\tНазначение",
                                "10.02.2004\t6400,00",
                                D + "\t15.02.2004\t400,00\tОбразование",
                                A + "\t01.02.2004\t100,00\tДошкольное",
                                B + "\t29.02.2004\t200,00\tОбщее",
                                "Итого\t7100,00",
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                A + "\t01.02.2004\t123-45 Детский сад\t1,00\tДошкольное",
                                A + "\t20.02.2004\t133-45 Школа\t64,00\tДошкольное",
                                D + "\t29.02.2004\t133-45 Школа\t2,00\tМузеи",
                                "Итого\t67,00",
                                "Остаток по счету:\t7033,00",
                                "Лицевой счет\t" + Acc2,
                                "Поступления",
                                "Код БК\tДата\tСумма\tНазначение",
                                B + "\t15.02.2004\t25,00\tКружки",
                                "Итого\t25,00",
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                C + "\t15.02.2004\t123-45 Детский сад\t16,00\tМузеи",
                                "Итого\t16,00",
                                "Остаток по счету:\t9,00",
                            }));
        QCOMPARE(r.mdRows(), (QStringList{Acc1 + " 7100 67 7033", Acc2 + " 25 16 9"}));

        r.run(r.md, UpToFebruaryEnd);
        QCOMPARE(r.md.StartDateEdit->text(), QString());
        QCOMPARE(r.lines(), (QStringList{
                                "Период: c  по 29.02.2004\tОтбор КБК: Все",
                                "Отбор организаций: Все\tОтбор назначений: Все",
                                "Лицевой счет\t" + Acc1,
                                "Поступления",
                                "Код БК\tДата\tСумма\tНазначение",
                                "10.02.2004\t6400,00",
                                D + "\t15.02.2004\t400,00\tОбразование",
                                A + "\t01.02.2004\t100,00\tДошкольное",
                                E + "\t3200,00\tДошкольное",
                                B + "\t29.02.2004\t200,00\tОбщее",
                                C + "\t31.01.2004\t800,00\tМузеи",
                                "Итого\t11100,00",
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                C + "\t12 Короткий\t4,00\tОбразование",
                                A + "\t01.02.2004\t123-45 Детский сад\t1,00\tДошкольное",
                                A + "\t20.02.2004\t133-45 Школа\t64,00\tДошкольное",
                                F + "\t31.01.2004\t123 Группа\t8,00\tОбщее",
                                D + "\t29.02.2004\t133-45 Школа\t2,00\tМузеи",
                                "Итого\t79,00",
                                "Остаток по счету:\t11021,00",
                                "Лицевой счет\t" + Acc2,
                                "Поступления",
                                "Код БК\tДата\tСумма\tНазначение",
                                B + "\t15.02.2004\t25,00\tКружки",
                                "Итого\t25,00",
                                "Расход",
                                "Код БК\tДата\tОрганизация\tСумма\tНазначение",
                                C + "\t15.02.2004\t123-45 Детский сад\t16,00\tМузеи",
                                "Итого\t16,00",
                                "Остаток по счету:\t9,00",
                            }));
        QCOMPARE(r.mdRows(), (QStringList{Acc1 + " 11100 79 11021", Acc2 + " 25 16 9"}));
    }

    // The short report over the same selections: one line per account,
    // every account printed, the grand totals of what was selected.
    void shortReportSelections_data()
    {
        QTest::addColumn<Typed>("selection");
        QTest::addColumn<QString>("period");
        QTest::addColumn<QString>("org");
        QTest::addColumn<QString>("cbc");
        QTest::addColumn<QString>("law");
        QTest::addColumn<QStringList>("rows");
        const QString allOrg = "Отбор организаций: Все", allCbc = "Отбор КБК: Все", allLaw = "Отбор назначений: Все",
                      noPeriod = "Период: Не задан";
        auto rows = [](const QString& a1, const QString& a2, const QString& total) {
            return QStringList{Acc1 + "\tДошкольное\t" + a1, Acc2 + "\tМузеи\t" + a2, "Итого\t" + total};
        };
        QTest::newRow("code 0701*") << CodePrefix << noPeriod << allOrg << "Отбор КБК: по маске 0701***************"
                                    << allLaw << rows("7700,00\t71,00\t7629,00", "0,00\t48,00\t-48,00", "7700,00\t119,00\t7581,00");
        QTest::newRow("code mixed") << CodeMixed << noPeriod << allOrg << "Отбор КБК: по маске 07*190*   *********"
                                    << allLaw << rows("8400,00\t10,00\t8390,00", "0,00\t32,00\t-32,00", "8400,00\t42,00\t8358,00");
        QTest::newRow("purpose 03*") << Typed{{}, {}, {}, QStringList{"03", "*"}} << noPeriod << allOrg << allCbc
                                     << "Отбор назначений: по маске 03*"
                                     << rows("10300,00\t77,00\t10223,00", "0,00\t32,00\t-32,00", "10300,00\t109,00\t10191,00");
        QTest::newRow("purpose 0**") << Typed{{}, {}, {}, QStringList{"0*", "*"}} << noPeriod << allOrg << allCbc
                                     << "Отбор назначений: по маске 0**"
                                     << rows("11100,00\t79,00\t11021,00", "0,00\t48,00\t-48,00", "11100,00\t127,00\t10973,00");
        // 03 typed with the last segment left empty: the blank takes 03 alone.
        QTest::newRow("purpose 03 blank") << Typed{{}, {}, {}, QStringList{"03", ""}} << noPeriod << allOrg << allCbc
                                          << "Отбор назначений: по маске 03 "
                                          << rows("6800,00\t4,00\t6796,00", "0,00\t32,00\t-32,00", "6800,00\t36,00\t6764,00");
        QTest::newRow("org, purpose and code") << OrgLawCode << noPeriod << "Отбор организаций: по маске 12***"
                                               << "Отбор КБК: по маске 0701***************" << "Отбор назначений: по маске 03*"
                                               << rows("6900,00\t5,00\t6895,00", "0,00\t32,00\t-32,00", "6900,00\t37,00\t6863,00");
        QTest::newRow("February") << February << "Период: c 01.02.2004 по 29.02.2004" << allOrg << allCbc << allLaw
                                  << rows("7100,00\t67,00\t7033,00", "25,00\t16,00\t9,00", "7125,00\t83,00\t7042,00");
        QTest::newRow("up to February's end") << UpToFebruaryEnd << "Период: c  по 29.02.2004" << allOrg << allCbc << allLaw
                                              << rows("11100,00\t79,00\t11021,00", "25,00\t16,00\t9,00", "11125,00\t95,00\t11030,00");
        // An empty end is the null date: nothing dated is before it, and an
        // undated posting is before the start.
        QTest::newRow("from February on, no end")
            << Typed{std::pair{QString("01.02.2004"), QString()}, {}, {}, {}} << "Период: c 01.02.2004 по " << allOrg
            << allCbc << allLaw << rows("0,00\t0,00\t0,00", "0,00\t0,00\t0,00", "0,00\t0,00\t0,00");
    }

    void shortReportSelections()
    {
        QFETCH(Typed, selection);
        QFETCH(QString, period);
        QFETCH(QString, org);
        QFETCH(QString, cbc);
        QFETCH(QString, law);
        QFETCH(QStringList, rows);
        Reports r;
        r.run(r.md11, selection);
        const QStringList l = r.lines();
        QCOMPARE(l.mid(0, 4), (QStringList{"Краткий отчет по лицевым счетам", period + "\t" + cbc, org + "\t" + law,
                                           "Лицевой счет\tНазначение\tПоступило\tИзрасходовано\tОстаток"}));
        QCOMPARE(l.mid(4), rows);
    }

    // The dialog keeps its selections between runs: a box cleared with a
    // click stops selecting, whatever its edit still holds.
    void clearedBoxesSelectNothingMore()
    {
        Reports r;
        r.run(r.md11, OrgLawCode);
        QCOMPARE(r.lines().last(), QString("Итого\t6900,00\t37,00\t6863,00"));
        r.run(r.md11, Typed{});
        QCOMPARE(r.md11.OrgEditField->text(), QString("12***"));
        QCOMPARE(r.md11.LawEditField->text(), QString("03*"));
        const QStringList l = r.lines();
        QCOMPARE(l.mid(1, 2), (QStringList{"Период: Не задан\tОтбор КБК: Все", "Отбор организаций: Все\tОтбор назначений: Все"}));
        QCOMPARE(l.last(), QString("Итого\t12725,00\t127,00\t12598,00"));
    }
};

QTEST_MAIN(ReportSelectionTest)
#include "tst_report_selection.moc"
