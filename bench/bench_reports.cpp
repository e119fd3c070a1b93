// The report model on a synthetic report: generating and dumping 500 pages,
// painting one page the way the preview paints it, and the memory the
// generated pages take. No data files: the rows are made in memory.
#include "bench/benchutil.h"
#include "reports/model/pageset.h"
#include "reports/model/report.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

using namespace benchutil;
using namespace reports;

namespace {

// Five fields a row, fifty-odd rows a page.
class Rows : public DataSource {
public:
    explicit Rows(int n) : n_(n) {}
    QString name() const override { return QStringLiteral("m"); }
    void first() override { i_ = 0; }
    void next() override { ++i_; }
    bool eof() const override { return i_ >= n_; }
    QString displayText(const QString& f) const override
    {
        switch (f.at(0).unicode()) {
        case 'A': return QString::number(i_ + 1);
        case 'B': return QStringLiteral("%1").arg(i_ % 500 + 1, 11, 10, QLatin1Char('0'));
        case 'C': return QStringLiteral("%1,%2").arg(i_ * 7 % 100000).arg(i_ % 100, 2, 10, QLatin1Char('0'));
        case 'D': return QStringLiteral("01.02.2004");
        default: return QStringLiteral("МДОУ детский сад №%1").arg(i_ % 40);
        }
    }
    double number(const QString&) const override { return i_; }

private:
    int n_, i_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    auto args = parseArgs(argc, argv, "bench_reports", QString(), 5);
    if (!args)
        return 2;
    const int rowsPerPage = 52;
    Rows rows(int(500 * rowsPerPage * args->scale));
    Report r;
    r.setMaster(&rows);
    Band& title = r.title(20);
    title.addLabel("T", "Синтетический отчет").at(0, 5, 200, 9).withFont(16, true, true);
    Band& d = r.detail(5);
    const char* fields[] = {"A", "B", "C", "D", "E"};
    for (int i = 0; i < 5; ++i)
        d.addDataText(fields[i], "m", fields[i]).at(i * 40, 0, 40, 5).framed(FrameBottom);

    std::vector<double> gen;
    int pages = 0;
    double memory = 0;
    for (int k = 0; k < args->repeats; ++k) {
        const double before = statusMb("VmRSS");
        PageSet ps;
        gen.push_back(timed([&] {
            ps = r.generate();
            volatile qsizetype n = ps.toText().size();
            (void)n;
        }));
        pages = ps.count();
        memory = std::max(memory, statusMb("VmRSS") - before);
    }

    // One page painted as the preview paints it: whole page in a 900x1000 view, and at 100 %.
    PageSet ps = r.generate();
    QImage view(900, 1000, QImage::Format_RGB32);
    std::vector<double> fit, actual;
    for (int k = 0; k < args->repeats * 4; ++k) {
        const Page& pg = ps.pages[size_t(k % ps.count())];
        fit.push_back(timed([&] {
            QPainter p(&view);
            p.fillRect(view.rect(), Qt::gray);
            const double s = (1000 - 24) / pg.height;
            paintPage(p, pg, QRectF(12, 12, pg.width * s, pg.height * s));
        }));
        actual.push_back(timed([&] {
            QPainter p(&view);
            p.fillRect(view.rect(), Qt::gray);
            const double s = view.logicalDpiX() / 25.4;
            paintPage(p, pg, QRectF(12, 12, pg.width * s, pg.height * s));
        }));
    }

    const double g = median(gen);
    std::printf("generate_dump_500_pages: %s s (%s of target 1 s; %d pages)\n", qPrintable(num(g)), qPrintable(num(g / 1.0)), pages);
    const double pf = median(fit) * 1000, pa = median(actual) * 1000;
    std::printf("paint_page_whole: %s ms (%s of target 20 ms)\n", qPrintable(num(pf)), qPrintable(num(pf / 20)));
    std::printf("paint_page_100: %s ms (%s of target 20 ms)\n", qPrintable(num(pa)), qPrintable(num(pa / 20)));
    std::printf("memory_500_pages: %s MB (%s of target 50 MB)\n", qPrintable(num(memory)), qPrintable(num(memory / 50)));
    return 0;
}
