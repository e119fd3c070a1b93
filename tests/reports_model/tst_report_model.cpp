// The banded report model through its page set: band order, sub-details,
// hooks, pagination, sums, the text dump and PDF.
#include "report.h"
#include "tablesource.h"
#include "testroot.h"

#include <QElapsedTimer>
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

class TstReportModel : public QObject {
    Q_OBJECT

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
        PageSet ps = r.generate();
        QCOMPARE(lines(ps), (QStringList{"01\tGroup", "011\tItem", "00000000001\t12,50"}));

        QTemporaryDir dir;
        const QString pdf = dir.filePath("r.pdf");
        QVERIFY(writePdf(ps, pdf));
        QFile f(pdf);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5) == "%PDF-");
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
