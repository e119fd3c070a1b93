#include "reports/preview/print.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <vector>

namespace reports {

bool printPages(const PageSet& pages, QPrinter& printer, int from, int to)
{
    if (pages.pages.empty())
        return true;
    if (from <= 0)
        from = 1;
    if (to <= 0 || to > pages.count())
        to = pages.count();
    if (from > to)
        return true;
    printer.setFullPage(true);
    // A driver that cannot make copies itself gets every page as often as asked.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    const bool collate = printer.collateCopies();
    std::vector<int> order;
    for (int c = 0; c < (collate ? copies : 1); ++c)
        for (int i = from; i <= to; ++i)
            for (int k = 0; k < (collate ? 1 : copies); ++k)
                order.push_back(i);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRectF paperMm = printer.pageLayout().fullRect(QPageLayout::Millimeter);
    const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
    const double dpmm = paper.width() / paperMm.width();
    for (size_t k = 0; k < order.size(); ++k) {
        if (k > 0 && !printer.newPage())
        {
            painter.end();
            return false;
        }
        const Page& pg = pages.pages[size_t(order[k] - 1)];
        // The page keeps its millimetres; on a smaller paper (or the other
        // orientation) it is scaled down to fit.
        const double fit = std::min({1.0, paperMm.width() / pg.width, paperMm.height() / pg.height});
        paintPage(painter, pg, QRectF(0, 0, pg.width * dpmm * fit, pg.height * dpmm * fit));
    }
    return painter.end();
}

} // namespace reports
