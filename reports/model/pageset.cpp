#include "pageset.h"

#include <QFont>
#include <QHash>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <algorithm>
#include <deque>

namespace reports {

namespace {

constexpr double MeasureDpi = 600;

QFont fontOf(const TextStyle& t, double pointSize)
{
    QFont f(t.family.isEmpty() ? QStringLiteral("Arial") : t.family);
    f.setPointSizeF(pointSize);
    f.setBold(t.bold);
    f.setItalic(t.italic);
    f.setUnderline(t.underline);
    return f;
}

// A paint device of a fixed resolution for measuring, so that the layout
// does not depend on the screen.
QPaintDevice& measureDevice()
{
    static QImage img = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(qRound(MeasureDpi / 0.0254));
        i.setDotsPerMeterY(qRound(MeasureDpi / 0.0254));
        return i;
    }();
    return img;
}

double measureWrapped(const QString& text, const TextStyle& style, double width);

std::deque<TextStyle>& styles()   // a deque: a style's reference stays valid
{
    static std::deque<TextStyle> s(1);
    return s;
}

} // namespace

quint32 styleId(const TextStyle& style)
{
    auto& all = styles();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i] == style)
            return quint32(i);
    all.push_back(style);
    return quint32(all.size() - 1);
}

const TextStyle& styleById(quint32 id)
{
    const auto& all = styles();
    return id < all.size() ? all[id] : all.front();
}

double wrappedHeight(const QString& text, quint32 style, double width)
{
    // Names and codes repeat from row to row: each text is measured once
    // for a style and a width.
    struct Measured {
        quint32 style;
        double width;
        QHash<QString, double> heights;
    };
    static std::vector<Measured> known;
    auto it = std::find_if(known.begin(), known.end(),
                           [&](const Measured& m) { return m.style == style && m.width == width; });
    if (it == known.end()) {
        known.push_back({style, width, {}});
        it = known.end() - 1;
    }
    if (auto h = it->heights.constFind(text); h != it->heights.constEnd())
        return *h;
    if (it->heights.size() > 20000)
        it->heights.clear();
    const double h = measureWrapped(text, styleById(style), width);
    it->heights.insert(text, h);
    return h;
}

namespace {
double measureWrapped(const QString& text, const TextStyle& style, double width)
{
    const double pxPerMm = MeasureDpi / 25.4;
    QFontMetricsF fm(fontOf(style, style.pointSize), &measureDevice());
    if (text.isEmpty())
        return fm.height() / pxPerMm;
    QRectF r = fm.boundingRect(QRectF(0, 0, width * pxPerMm, 1e7), Qt::TextWordWrap | style.align, text);
    return r.height() / pxPerMm;
}
} // namespace

QString PageSet::toText() const
{
    QString out;
    for (size_t p = 0; p < pages.size(); ++p) {
        if (p > 0)
            out += QLatin1Char('\f');
        std::vector<const TextRun*> runs;
        for (const TextRun& t : pages[p].texts)
            if (!t.text.isEmpty())
                runs.push_back(&t);
        std::stable_sort(runs.begin(), runs.end(),
                         [](const TextRun* a, const TextRun* b) { return a->rect.top() < b->rect.top(); });
        size_t i = 0;
        while (i < runs.size()) {
            double bottom = runs[i]->rect.bottom();
            size_t j = i + 1;
            while (j < runs.size() && runs[j]->rect.top() < bottom - 1e-6) {
                bottom = std::max(bottom, runs[j]->rect.bottom());
                ++j;
            }
            std::vector<const TextRun*> line(runs.begin() + i, runs.begin() + j);
            std::stable_sort(line.begin(), line.end(),
                             [](const TextRun* a, const TextRun* b) { return a->rect.left() < b->rect.left(); });
            QStringList parts;
            for (const TextRun* t : line) {
                QString s = t->text;
                s.replace(QLatin1Char('\n'), QLatin1Char(' '));
                parts << s;
            }
            out += parts.join(QLatin1Char('\t'));
            out += QLatin1Char('\n');
            i = j;
        }
    }
    return out;
}

void paintPage(QPainter& painter, const Page& page, const QRectF& target)
{
    const double s = target.width() / page.width;   // device units per mm
    const double dpi = painter.device() ? painter.device()->logicalDpiY() : 96;
    auto map = [&](const QRectF& r) {
        return QRectF(target.left() + r.left() * s, target.top() + r.top() * s, r.width() * s, r.height() * s);
    };
    auto mapPt = [&](const QPointF& p) { return QPointF(target.left() + p.x() * s, target.top() + p.y() * s); };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const FillRun& f : page.fills)
        painter.fillRect(map(f.rect), f.color);
    for (const TextRun& t : page.texts) {
        // A point is 1/72 inch; the font is sized for the device so that it
        // keeps its size in millimetres at any scale.
        const TextStyle& st = t.textStyle();
        painter.setFont(fontOf(st, st.pointSize * 25.4 * s / dpi));
        painter.setPen(t.color);
        int flags = st.align | (st.wrap ? Qt::TextWordWrap : 0);
        painter.drawText(map(t.rect), flags, t.text);
    }
    for (const LineRun& l : page.lines) {
        QPen pen(l.color);
        pen.setWidthF(std::max(l.width * s, 1.0));
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(mapPt(l.line.p1()), mapPt(l.line.p2()));
    }
    painter.restore();
}

bool writePdf(const PageSet& pages, const QString& fileName)
{
    QPdfWriter writer(fileName);
    writer.setResolution(300);
    const double w = pages.pages.empty() ? 215.9 : pages.pages.front().width;
    const double h = pages.pages.empty() ? 279.4 : pages.pages.front().height;
    writer.setPageSize(QPageSize(QSizeF(w, h), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (size_t i = 0; i < pages.pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        const double dpmm = writer.resolution() / 25.4;
        paintPage(painter, pages.pages[i], QRectF(0, 0, pages.pages[i].width * dpmm, pages.pages[i].height * dpmm));
    }
    return painter.end();
}

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
