// The banded report model through its page set: band order, sub-details,
// hooks, pagination, sums, the text dump and PDF.
#include "tests/pagefit.h"
#include "reports/preview/preview.h"
#include "reports/model/report.h"
#include "reports/pipeline/tablesource.h"
#include "tests/testroot.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QLabel>
#include <QPrinter>
#include <QScreen>
#include <QSpinBox>
#include <QToolButton>
#include <QFile>
#include <QtTest>

using namespace reports;

// Rows of named fields in memory.
class MemSource : public DataSource {
public:
    MemSource(QString name, QStringList fields, QList<QStringList> rows)
        : rows_(std::move(rows)), name_(std::move(name)), fields_(std::move(fields)) {}
    QString name() const override { return name_; }
    void first() override { pos_ = 0; }
    void next() override { if (pos_ < rows_.size()) ++pos_; }
    bool eof() const override { return pos_ >= rows_.size(); }
    QString displayText(const QString& f) const override
    {
        const int i = fields_.indexOf(f);
        return eof() || i < 0 ? QString() : rows_[pos_][i];
    }
    double number(const QString& f) const override { return displayText(f).replace(',', '.').toDouble(); }
    QList<QStringList> rows_;
    // A detail view: the rows whose first field equals the master's first field.
    QList<QStringList> all;
    void linkTo(const MemSource& m)
    {
        rows_.clear();
        for (const auto& r : all)
            if (r[0] == m.displayText(fields_[0]))
                rows_ << r;
        pos_ = 0;
    }

private:
    QString name_;
    QStringList fields_;
    int pos_ = 0;
};

// Rows made afresh on every read, as a table's display texts are: row i has
// its number, a name that wraps (the last row's its own) and an amount.
class Counted : public DataSource {
public:
    Counted(QString name, int rows) : name_(std::move(name)), rows_(rows) {}
    QString name() const override { return name_; }
    void first() override { i_ = 0; }
    void next() override { ++i_; }
    bool eof() const override { return i_ >= rows_; }
    QString displayText(const QString& f) const override
    {
        if (f == "N")
            return QString::number(i_ + 1);
        if (f == "Name")
            return i_ == rows_ - 1 ? QStringLiteral("Последний получатель средств по этому лицевому счету")
                                   : QStringLiteral("Получатель средств номер %1 по лицевому счету").arg(i_ % 7);
        return QString::number(number(f), 'f', 2).replace('.', ',');
    }
    double number(const QString&) const override { return (i_ + 1) * 1.25; }

private:
    QString name_;
    int rows_, i_ = 0;
};

class TstReportModel : public QObject {
    Q_OBJECT

    // Everything the pages show: each text with its box, lines, style and
    // colour, each line and each fill.
    static QStringList describe(const PageSet& ps)
    {
        QStringList out;
        for (const Page& pg : ps.pages) {
            out << QStringLiteral("page %1 x %2").arg(pg.width).arg(pg.height);
            for (const FillRun& f : pg.fills)
                out << QStringLiteral("fill %1 %2 %3 %4 %5").arg(f.rect.x()).arg(f.rect.y()).arg(f.rect.width()).arg(f.rect.height()).arg(f.color.name());
            for (const TextRun& t : pg.texts) {
                const TextStyle& st = pg.style(t);
                out << QStringLiteral("text %1 %2 %3 %4 top %5 [%6] %7 | %8 %9 %10%11%12 align %13 wrap %14 style %15")
                           .arg(t.rect.x()).arg(t.rect.y()).arg(t.rect.width()).arg(t.rect.height()).arg(t.top)
                           .arg(t.lines().join('|'), t.color.name(), st.family).arg(st.pointSize)
                           .arg(st.bold ? "b" : "", st.italic ? "i" : "", st.underline ? "u" : "").arg(st.align).arg(st.wrap).arg(t.style);
            }
            for (const LineRun& l : pg.lines)
                out << QStringLiteral("line %1 %2 %3 %4 %5 %6").arg(l.line.x1()).arg(l.line.y1()).arg(l.line.x2()).arg(l.line.y2()).arg(l.width).arg(l.color.name());
        }
        return out;
    }

    // A report over `src`: a title, a column heading, rows with a wrapping
    // name, and the total of the amounts. Report B, in other fonts and widths.
    static void design(Report& r, Counted& src, bool b)
    {
        r.setMaster(&src);
        const QString s = src.name();
        Band& title = r.title(15);
        Item& t = title.addLabel("T", b ? "Отчет Б" : "Отчет А").at(0, 3, 150, 9);
        if (b) {
            t.withFont(12, false, false, "Times New Roman").font.underline = true;
        } else {
            t.withFont(16, true, true);
            t.color = QColor(0, 0, 128);
        }
        Band& head = r.columnHeader(6);
        head.background = QColor(0, 255, 255);
        head.addLabel("H1", "Номер").at(0, 0, 20, 6).framed(FrameAll).aligned(Align::Center);
        head.addLabel("H2", "Получатель").at(20, 0, b ? 30 : 60, 6).framed(FrameAll).aligned(Align::Center);
        Band& d = r.detail(5);
        d.addDataText("N", s, "N").at(0, 0, 20, 5).aligned(Align::Right);
        Item& name = d.addDataText("Name", s, "Name").at(20, 0, b ? 30 : 60, 5).stretching();
        name.withFont(b ? 9 : 8);
        d.addDataText("Sum", s, "Sum").at(b ? 50 : 80, 0, 30, 5).aligned(Align::Center).framed(FrameBottom);
        r.summary(6).addExpression("Total", "SUM(" + s + ".Sum)").at(80, 0, 30, 6).withFont(10, true);
    }


    static QStringList lines(const PageSet& ps, int page = -1)
    {
        QStringList pages = ps.toText().split('\f');
        QStringList out;
        for (int i = 0; i < pages.size(); ++i)
            if (page < 0 || i == page)
                for (const QString& l : pages[i].split('\n', Qt::SkipEmptyParts))
                    if (!l.startsWith(QStringLiteral("Страница")))
                        out << l;
        return out;
    }


    // A report of `n` rows, ten to a page, counting its generations.
    struct Paged {
        MemSource m;
        Report r;
        int generations = 0;
        explicit Paged(int n) : m("m", {"A"}, {})
        {
            for (int i = 0; i < n; ++i)
                m.rows_ << QStringList{QString::number(i + 1)};
            r.setMaster(&m);
            r.beforePrint = [this](Report&) { ++generations; };
            r.detail(25).addDataText("A", "m", "A").at(0, 0, 40, 25);
        }
    };

    // Runs `inside` once the preview window is up (it must close it).
    static void whenPreview(std::function<void(PreviewWindow&)> inside)
    {
        QTimer::singleShot(0, [inside] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* p = qobject_cast<PreviewWindow*>(w); p && p->isVisible()) {
                    QPointer<PreviewWindow> guard(p);
                    inside(*p);
                    if (guard && guard->isVisible())
                        guard->close();
                    return;
                }
            whenPreview(inside);
        });
    }

    static int pdfPages(const QString& file)
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
        return int(QString::fromLatin1(f.readAll()).count(page));
    }

private slots:
    void bandOrderAndSubDetails()
    {
        MemSource acc("t1", {"Acc"}, {{"A"}, {"B"}, {"C"}});
        MemSource in("t2_1", {"Acc", "Amount"}, {});
        in.all = {{"A", "10"}, {"A", "5"}, {"C", "1"}};
        Report r;
        r.setMaster(&acc);
        r.title(10).addLabel("T", "Title");
        r.columnHeader(5).addLabel("H", "Head");
        r.detail(5).addDataText("D", "t1", "Acc");
        Band& sd = r.addSubDetail("In", &in, 5);
        sd.addDataText("Amt", "t2_1", "Amount");
        r.subHeader(sd, 5).addLabel("IH", "Receipts");
        Band& f = r.subFooter(sd, 5);
        f.addLabel("IF", "Total");
        f.addExpression("S", "SUM(t2_1.Amount)").at(30, 0, 20, 5);
        r.summary(5).addLabel("Sum", "End");
        // The detail band re-points the link, as a report does through its tables.
        r.detail(5).beforePrint = [&](Band&, bool& p) { in.linkTo(acc); p = acc.displayText("Acc") != "B"; };
        PageSet ps = r.generate();
        QCOMPARE(lines(ps), (QStringList{"Title", "Head", "A", "Receipts", "10", "5", "Total\t15,00", "C",
                                         "Receipts", "1", "Total\t1,00", "End"}));

        // Print-if-empty: header, one empty line and footer for B too.
        sd.printIfEmpty = true;
        r.detail(5).beforePrint = [&](Band&, bool&) { in.linkTo(acc); };
        ps = r.generate();
        QCOMPARE(lines(ps), (QStringList{"Title", "Head", "A", "Receipts", "10", "5", "Total\t15,00", "B",
                                         "Receipts", "Total\t0,00", "C", "Receipts", "1", "Total\t1,00", "End"}));
    }

    void emptyMasterAndHooks()
    {
        MemSource none("t1", {"Acc"}, {});
        Report r;
        r.setMaster(&none);
        Band& t = r.title(20);
        t.addLabel("T", "Title").at(0, 5, 50, 5);
        int orgReads = 0;
        QString org = "Finance";
        addOrgNameQRLabel(r, t, [&] { ++orgReads; return org; });
        int emptyHook = 0;
        t.addLabel("E", "").onPrint = [&](Item&, ItemPrint&) { ++emptyHook; };
        t.addLabel("C", "x").at(0, 10, 20, 5).onPrint = [](Item&, ItemPrint& p) { p.text = "y"; p.color = Qt::red; };
        r.detail(5).addLabel("D", "detail");
        r.summary(5).addLabel("S", "Summary");
        int reportHook = 0;
        r.beforePrint = [&](Report&) { ++reportHook; };
        PageSet ps = r.generate();
        QCOMPARE(lines(ps), (QStringList{"Finance", "Title", "y", "Summary"}));
        QCOMPARE(ps.pages[0].texts[2].color, QColor(Qt::red));
        org.clear();
        ps = r.generate();
        QCOMPARE(lines(ps), (QStringList{"Title", "y", "Summary"}));
        QCOMPARE(orgReads, 2);
        QCOMPARE(reportHook, 2);
        QCOMPARE(emptyHook, 0);
    }

    void paginationAndStretching()
    {
        QList<QStringList> rows;
        for (int i = 0; i < 100; ++i)
            rows << QStringList{QString::number(i)};
        MemSource m("m", {"N"}, rows);
        Report r;
        r.setMaster(&m);
        r.columnHeader(10).addLabel("H", "Head");
        r.detail(5).addDataText("N", "m", "N").at(0, 0, 20, 5);
        PageSet ps = r.generate();
        // 279.4 - 7 - 7 - 5 = 260.4 mm: the header and 50 rows per page.
        QCOMPARE(ps.count(), 2);
        QCOMPARE(lines(ps, 0).size(), 51);
        QCOMPARE(lines(ps, 1).first(), QString("Head"));
        QCOMPARE(lines(ps, 1).at(1), QString("50"));
        QVERIFY(ps.toText().split('\f')[0].endsWith("Страница 1 из 2\n"));

        // Row 49 would fit at 5 mm but stretches and moves to the next page.
        Item& w = r.detail(5).addLabel("W", "");
        w.at(30, 0, 20, 5).stretching();
        w.onPrint = nullptr;
        r.detail(5).beforePrint = [&](Band&, bool&) {
            w.text = m.displayText("N") == "49" ? QString("word ").repeated(30) : QString();
        };
        ps = r.generate();
        QCOMPARE(lines(ps, 0).last(), QString("48"));
        QVERIFY(lines(ps, 1).at(1).startsWith("49\tword"));
        bool grew = false;
        for (const TextRun& t : ps.pages[1].texts)
            grew |= t.text.startsWith("word") && t.rect.height() > 10;
        QVERIFY(grew);
    }

    // The texts found cut off in print: full names of purposes in the purposes
    // list's columns, an organization's name of two lines at 8 points beside
    // one-line cells of 10 points, a right-aligned "Дата составления" in a box
    // just wide enough for it, a code wider than its column. Every line stands
    // inside its box at 100 %, as a whole page and in PDF, and the lines are
    // the same on all three.
    void wrappedLinesFitEveryDevice()
    {
        MemSource law("law_spr", {"LawRef", "Sname", "Name"},
                      {{"03-3", "Благоустройство", "Программа благоустройства населенных пунктов"},
                       {"02-2", "Дороги области", "Областная целевая программа содержания дорог"},
                       {"01-1", "Фед. закон об образовании", "Федеральный закон \"Об образовании\": выплаты работникам школ"},
                       {"0701901420001310000", "Дороги области", "Дороги области"}});
        Report r;
        r.setMaster(&law);
        Band& title = r.title(14);
        TextStyle dateStyle;
        dateStyle.family = "Arial";
        dateStyle.align = Qt::AlignRight;
        const double dateW = lineWidth("Дата составления", dateStyle) + 1.01;   // and the insets
        title.addLabel("QRLabel2", "Дата составления").at(162 - dateW, 7, dateW, 5).aligned(Align::Right);
        title.addSystemDate("QRSysData1").at(163, 7, 39, 5);
        Band& d = r.detail(5.5);
        const double x[] = {0, 45, 120}, w[] = {20, 75, 81.9};
        const char* f[] = {"LawRef", "Sname", "Name"};
        for (int i = 0; i < 3; ++i)
            d.addDataText(f[i], "law_spr", f[i]).at(x[i], 0.5, w[i], 4.5).stretching();
        MemSource out("t2_2", {"LawRef", "CBC", "Org", "Amount"}, {});
        out.all = {{"03-3", "0701901420001226000", "100-04 МДОУ детский сад №5 \"Сказка\"", "4634,14"}};
        d.beforePrint = [&](Band&, bool&) { out.linkTo(law); };
        Band& sd = r.addSubDetail("OutQRSubDetail", &out, 6);
        sd.addDataText("OutCBC", "t2_2", "CBC").at(0, 0, 44, 6).aligned(Align::Center);
        sd.addDataText("QRDBText3", "t2_2", "Org").at(64, 0, 49, 6).withFont(8).stretching();
        sd.addDataText("OutAmount", "t2_2", "Amount").at(113, 0, 26, 6).aligned(Align::Center);
        const PageSet ps = r.generate(QDateTime(QDate(2004, 3, 1), QTime(12, 0)));

        const QStringList bad = pagefit::misfits(ps);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));

        const Page& pg = ps.pages.front();
        auto run = [&](const QString& start) -> const TextRun& {
            auto t = std::find_if(pg.texts.begin(), pg.texts.end(), [&](const TextRun& t) { return t.plainText().startsWith(start); });
            return *t;
        };
        // A line takes as many words as fit: the next word would not.
        const TextRun& full = run("Федеральный закон");
        const QStringList fl = full.lines();
        QVERIFY(fl.size() >= 2);
        QCOMPARE(fl.join(' '), full.plainText());
        for (int i = 0; i + 1 < fl.size(); ++i)
            QVERIFY(lineWidth(fl[i] + ' ' + fl[i + 1].section(' ', 0, 0), pg.style(full)) > full.rect.width());
        QCOMPARE(run("Программа").lines(), QStringList{"Программа благоустройства населенных пунктов"});
        QCOMPARE(run("Дороги").lines(), QStringList{"Дороги области"});
        // A code wider than its column is cut inside.
        const TextRun& code = run("0701901420001310000");
        QVERIFY(code.lines().size() >= 2);
        QCOMPARE(code.lines().join(QString()), QString("0701901420001310000"));
        // Each row starts below every line of the row before.
        std::vector<const TextRun*> byTop;
        for (const TextRun& t : pg.texts)
            byTop.push_back(&t);
        for (const TextRun* a : byTop)
            for (const TextRun* b : byTop)
                if (b->rect.top() > a->rect.top() + 1e-6 && b->rect.top() < a->rect.bottom() - 1e-6)
                    QVERIFY2(false, qPrintable(b->plainText() + " starts inside " + a->plainText()));
        // The dump reads each text as it is, one row a line.
        QVERIFY(ps.toText().contains("01-1\tФед. закон об образовании\tФедеральный закон \"Об образовании\": выплаты работникам школ\n"));

        // The name of two lines starts where the one-line cells of its row
        // stand and keeps as much room under it as above.
        const auto lines100 = pagefit::onImage(ps, "100 %", pagefit::Actual, 1).pages.front();
        auto linesOf = [&](const TextRun& t) {
            std::vector<QRectF> out;
            for (const PaintedLine& l : lines100)
                if (&pg.texts[size_t(l.run)] == &t)
                    out.push_back(l.placed);
            return out;
        };
        const TextRun& org = run("100-04");
        const std::vector<QRectF> ol = linesOf(org), cl = linesOf(run("0701901420001226000"));
        QCOMPARE(int(ol.size()), 2);
        QVERIFY(std::abs(ol[0].center().y() - cl[0].center().y()) < 0.02 * pagefit::Actual);
        const QRectF box = QRectF(org.rect.topLeft() * pagefit::Actual, org.rect.bottomRight() * pagefit::Actual);
        QVERIFY(std::abs((ol[0].top() - box.top()) - (box.bottom() - ol[1].bottom())) < 0.02 * pagefit::Actual);
        QVERIFY(ol[1].top() - ol[0].bottom() >= 0);   // the lines do not overlap
        // Right-aligned: the label ends at its box's right edge and begins inside it.
        const auto date = std::find_if(lines100.begin(), lines100.end(), [](const PaintedLine& l) { return l.text == "Дата составления"; });
        QVERIFY(date != lines100.end());
        QVERIFY(std::abs(date->placed.right() - date->box.right()) < 0.01);
        QVERIFY(date->placed.left() >= date->box.left());
    }

    void sumResetPerGroup()
    {
        MemSource m("p", {"G", "V"}, {{"a", "1"}, {"a", "2"}, {"b", "4"}, {"c", "8"}});
        Report r;
        r.setMaster(&m);
        Band& g = r.addGroup("G", 5, "p.G");
        g.addDataText("GV", "p", "G");
        g.addExpression("GS", "SUM(p.V)").at(20, 0, 20, 5);   // the previous group's total
        r.detail(5).addDataText("V", "p", "V");
        r.summary(5).addExpression("Tot", "SUM(p.V)");
        PageSet ps = r.generate();
        QCOMPARE(lines(ps), (QStringList{"a\t0,00", "1", "2", "b\t3,00", "4", "c\t4,00", "8", "15,00"}));
        ps = r.generate();   // sums start afresh
        QCOMPARE(lines(ps).last(), QString("15,00"));
    }

    void tableSourceAndPdf()
    {
        TestRoot root;
        auto s = root.session();
        auto law = root.table(*s, "law_spr");
        auto t1 = root.table(*s, "t1");
        for (auto [code, name] : {std::pair{"01", "Group"}, {"011", "Item"}}) {
            law->append();
            law->fieldByName("LawRef").setAsString(code);
            law->fieldByName("Sname").setAsString(name);
            law->post();
        }
        t1->append();
        t1->fieldByName("Facebill").setAsString("00000000001");
        t1->fieldByName("LawRef").setAsString("011");
        t1->fieldByName("InAmount").setAsFloat(12.5);
        t1->post();
        t1->setOrder("LawRef");
        t1->setMaster(law.get(), "LawRef", "LawRef");
        TableSource ls(*law), ts(*t1);
        Report r;
        r.setMaster(&ls);
        Band& d = r.detail(5);
        d.addDataText("C", "law_spr", "LawRef");
        d.addDataText("N", "law_spr", "Sname").at(20, 0, 40, 5);
        Band& sd = r.addSubDetail("Acc", &ts, 5);
        sd.addDataText("F", "t1", "Facebill");
        sd.addDataText("A", "t1", "InAmount").at(40, 0, 30, 5);
        // After the walk the master stands on its last row, and a summary shows it.
        r.summary(5).addDataText("Last", "law_spr", "Sname");
        PageSet ps = r.generate();
        QCOMPARE(lines(ps), (QStringList{"01\tGroup", "011\tItem", "00000000001\t12,50", "Item"}));

        QTemporaryDir dir;
        const QString pdf = dir.filePath("r.pdf");
        QVERIFY(writePdf(ps, pdf));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5) == "%PDF-");
    }

    void previewNavigationAndZoom()
    {
        Paged p(45);   // five pages
        bool ran = false;
        whenPreview([&](PreviewWindow& w) {
            ran = true;
            QCOMPARE(w.pages().count(), 5);
            QCOMPARE(w.currentPage(), 1);
            QCOMPARE(w.PageCountLabel->text(), QStringLiteral("из 5"));
            QVERIFY(!w.FirstPageButton->isEnabled() && !w.PriorPageButton->isEnabled());
            QTest::mouseClick(w.NextPageButton, Qt::LeftButton);
            QCOMPARE(w.currentPage(), 2);
            QCOMPARE(w.PageNumberEdit->value(), 2);
            QTest::mouseClick(w.LastPageButton, Qt::LeftButton);
            QCOMPARE(w.currentPage(), 5);
            QVERIFY(!w.NextPageButton->isEnabled() && !w.LastPageButton->isEnabled());
            QTest::keyClick(&w, Qt::Key_PageUp);
            QCOMPARE(w.currentPage(), 4);
            w.PageNumberEdit->selectAll();
            QTest::keyClicks(w.PageNumberEdit, "3");
            QCOMPARE(w.currentPage(), 3);
            QTest::mouseClick(w.FirstPageButton, Qt::LeftButton);
            QCOMPARE(w.currentPage(), 1);

            // Whole page: a page fits the view; only what is in sight is painted.
            const QSize v = w.view()->viewport()->size();
            QCOMPARE(w.zoom(), PreviewWindow::Zoom::WholePage);
            QVERIFY(279.4 * w.scale() <= v.height() && 215.9 * w.scale() <= v.width());
            w.grab();
            QVERIFY(w.lastPaintedPages() >= 1 && w.lastPaintedPages() <= 2);
            QTest::mouseClick(w.ZoomWidthButton, Qt::LeftButton);
            QVERIFY(w.ZoomWidthButton->isChecked() && !w.ZoomFitButton->isChecked());
            QVERIFY(std::abs(215.9 * w.scale() - (w.view()->viewport()->width() - 24)) < 2);
            QTest::mouseClick(w.ZoomActualButton, Qt::LeftButton);
            QCOMPARE(w.scale(), w.logicalDpiX() / 25.4);
            QTest::mouseClick(w.LastPageButton, Qt::LeftButton);
            QCOMPARE(w.currentPage(), 5);
            w.grab();
            QVERIFY(w.lastPaintedPages() <= 2);
            // Esc closes the preview and the call returns.
            QTest::keyClick(&w, Qt::Key_Escape);
        });
        preview(p.r, PreviewMode::Ordinary, nullptr, "Отчет");
        QVERIFY(ran);
        QCOMPARE(p.generations, 1);
    }

    void previewPrintsAgainAndSaves()
    {
        Paged p(45);
        QTemporaryDir dir;
        const QString printed = dir.filePath("printed.pdf"), saved = dir.filePath("saved");
        int dialogs = 0;
        auto oldPrint = PreviewWindow::printDialog();
        auto oldSave = PreviewWindow::saveFileDialog();
        // The printer set-up: pages 2 to 3, two copies, into a file.
        PreviewWindow::printDialog() = [&](QPrinter& pr, int count, QWidget*) {
            ++dialogs;
            [&] { QCOMPARE(count, 5); }();
            pr.setOutputFormat(QPrinter::PdfFormat);
            pr.setOutputFileName(printed);
            pr.setPrintRange(QPrinter::PageRange);
            pr.setFromTo(2, 3);
            pr.setCopyCount(2);
            return true;
        };
        QString answer;
        PreviewWindow::saveFileDialog() = [&](QWidget*) { return answer; };
        whenPreview([&](PreviewWindow& w) {
            QCOMPARE(p.generations, 1);
            QTest::mouseClick(w.PrintSetupButton, Qt::LeftButton);
            QCOMPARE(dialogs, 1);
            // The pages are generated again for the print, so every hook runs again.
            p.m.rows_ << QStringList{"46"};
            QTest::mouseClick(w.PrintButton, Qt::LeftButton);
            QCOMPARE(p.generations, 2);
            QCOMPARE(dialogs, 1);
            QCOMPARE(w.pages().count(), 5);
            QCOMPARE(w.PageCountLabel->text(), QStringLiteral("из 5"));
            QCOMPARE(pdfPages(printed), 4);
            // Save as PDF: cancelled writes nothing, a name without suffix gets one.
            QTest::mouseClick(w.SaveButton, Qt::LeftButton);
            answer = saved;
            QTest::mouseClick(w.SaveButton, Qt::LeftButton);
            QCOMPARE(pdfPages(saved + ".pdf"), 5);
            QCOMPARE(p.generations, 2);
            QTest::mouseClick(w.ExitButton, Qt::LeftButton);
        });
        preview(p.r, PreviewMode::Ordinary);
        PreviewWindow::printDialog() = oldPrint;
        PreviewWindow::saveFileDialog() = oldSave;
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    }

    void previewForms()
    {
        Paged p(3);
        QWidget other;
        other.show();
        // Ordinary: the caller waits, the rest of the program stays usable.
        whenPreview([&](PreviewWindow& w) {
            QCOMPARE(w.windowModality(), Qt::NonModal);
            QVERIFY(!QApplication::activeModalWidget());
            QVERIFY(!other.testAttribute(Qt::WA_Disabled));
            w.close();
        });
        preview(p.r, PreviewMode::Ordinary);
        // Modal: nothing else can be used until it closes.
        whenPreview([&](PreviewWindow& w) {
            QCOMPARE(w.windowModality(), Qt::ApplicationModal);
            QCOMPARE(QApplication::activeModalWidget(), &w);
            w.close();
        });
        preview(p.r, PreviewMode::Modal);
        // An interceptor takes the pages instead of a window.
        PreviewMode seen = PreviewMode::Ordinary;
        int pages = 0;
        setPreviewInterceptor([&](Report&, const PageSet& ps, PreviewMode m) {
            seen = m;
            pages = ps.count();
        });
        preview(p.r, PreviewMode::Modal);
        setPreviewInterceptor({});
        QCOMPARE(seen, PreviewMode::Modal);
        QCOMPARE(pages, 1);
        QCOMPARE(p.generations, 3);
        // An empty report previews as its one empty page.
        Report empty;
        whenPreview([&](PreviewWindow& w) {
            QCOMPARE(w.pages().count(), 1);
            QCOMPARE(w.currentPage(), 1);
            w.close();
        });
        preview(empty, PreviewMode::Ordinary);
        // Over the main window, a strip along the top of the screen, the
        // preview stays whole on the screen instead of centring on the strip.
        QWidget strip;
        strip.setGeometry(0, 0, 500, 90);
        strip.show();
        QRect placed, screen;
        whenPreview([&](PreviewWindow& w) {
            placed = w.frameGeometry();
            screen = w.screen()->availableGeometry();
            w.close();
        });
        preview(p.r, PreviewMode::Modal, &strip);
        QVERIFY2(screen.contains(placed), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(placed.x()).arg(placed.y()).arg(placed.width()).arg(placed.height())));
    }

    // A generation's styles and strings are its own: generating another
    // report in between, or while another report's preview is open, changes
    // nothing in the pages of either; the report keeps nothing of its pages.
    void pageSetsAreValues()
    {
        Counted a("a", 150), b("b", 60);
        Report ra, rb;
        design(ra, a, false);
        design(rb, b, true);
        const QDateTime now(QDate(2004, 3, 1), QTime(12, 0));
        const PageSet first = ra.generate(now);
        QVERIFY(first.count() >= 3);
        const QStringList shown = describe(first);
        QVERIFY(lines(first).contains("150\tПоследний получатель средств по этому лицевому счету\t187,50"));
        QVERIFY(lines(first).contains("14156,25"));

        // The set's styles are those its texts use (and the default), and every page has them.
        auto checkStyles = [](const PageSet& ps) {
            QVERIFY(ps.styles);
            QSet<quint32> used;
            for (const Page& pg : ps.pages) {
                QCOMPARE(pg.styles, ps.styles);
                for (const TextRun& t : pg.texts)
                    used << t.style;
            }
            QCOMPARE(int(used.size()), ps.styles->size() - 1);
            for (int n = 1; n < ps.styles->size(); ++n)
                QVERIFY(used.contains(quint32(n)));
        };
        checkStyles(first);

        const PageSet other = rb.generate(now);
        checkStyles(other);
        const PageSet again = ra.generate(now);
        QCOMPARE(describe(again), shown);
        QCOMPARE(again.styles->size(), first.styles->size());
        for (int n = 0; n < again.styles->size(); ++n)
            QVERIFY((*again.styles)[quint32(n)].family != "Times New Roman");

        bool ran = false;
        whenPreview([&](PreviewWindow& w) {
            ran = true;
            const QImage before = w.grab().toImage();
            QCOMPARE(describe(ra.generate(now)), shown);
            QCOMPARE(w.grab().toImage(), before);
            QCOMPARE(describe(w.pages()), describe(other));
            w.close();
        });
        preview(rb, PreviewMode::Ordinary);
        QVERIFY(ran);
        QCOMPARE(describe(first), shown);

        // A text printed once is held by its page alone, wrapped or not.
        int alone = 0;
        for (const Page& pg : first.pages)
            for (const TextRun& t : pg.texts)
                if (t.plainText() == "Последний получатель средств по этому лицевому счету" || t.text == "187,50") {
                    QVERIFY2(t.text.isDetached(), qPrintable(t.plainText()));
                    ++alone;
                }
        QCOMPARE(alone, 2);
        // A text printed on many rows is one string.
        const QString* name = nullptr;
        int rows = 0;
        for (const Page& pg : first.pages)
            for (const TextRun& t : pg.texts)
                if (t.plainText() == "Получатель средств номер 3 по лицевому счету") {
                    if (!name)
                        name = &t.text;
                    QCOMPARE(t.text.constData(), name->constData());
                    ++rows;
                }
        QVERIFY(rows > 10);

        // A copy shares the pages until one of them changes, and changes alone.
        PageSet copy = first;
        QCOMPARE(copy.pages[1].texts.constData(), first.pages[1].texts.constData());
        copy.pages[1].texts[0].text = "changed";
        QCOMPARE(describe(first), shown);
        QVERIFY(describe(copy) != shown);
    }

    void fiveHundredPages()
    {
        QList<QStringList> rows;
        for (int i = 0; i < 500 * 52; ++i)
            rows << QStringList{QString::number(i), "00000000001", "12345,67", "01.02.2004", "Some name"};
        MemSource m("m", {"A", "B", "C", "D", "E"}, rows);
        Report r;
        r.setMaster(&m);
        Band& d = r.detail(5);
        const QStringList fs{"A", "B", "C", "D", "E"};
        for (int i = 0; i < 5; ++i)
            d.addDataText(fs[i], "m", fs[i]).at(i * 40, 0, 40, 5);
        QElapsedTimer t;
        t.start();
        PageSet ps = r.generate();
        QString text = ps.toText();
        qInfo() << "500 pages:" << ps.count() << "generated and dumped in" << t.elapsed() << "ms";
        QVERIFY(ps.count() >= 500);
        QVERIFY(t.elapsed() < 1000);
    }
};

QTEST_MAIN(TstReportModel)
#include "tst_report_model.moc"
