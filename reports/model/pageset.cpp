#include "reports/model/pageset.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <limits>
#include <memory>

namespace reports {

namespace {

// Texts are laid out and painted in pixels of this resolution: a font without
// hinting has the same advances, in millimetres, at any size.
constexpr double LayoutDpi = 600;
constexpr double PxPerMm = LayoutDpi / 25.4;

QFont fontOf(const TextStyle& t, double pointSize)
{
    QFont f(t.family.isEmpty() ? QStringLiteral("Arial") : t.family);
    f.setPointSizeF(pointSize);
    f.setBold(t.bold);
    f.setItalic(t.italic);
    f.setUnderline(t.underline);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// The paint device the layout measures on.
QPaintDevice& measureDevice()
{
    static QImage img = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(qRound(LayoutDpi / 0.0254));
        i.setDotsPerMeterY(qRound(LayoutDpi / 0.0254));
        return i;
    }();
    return img;
}

} // namespace

// A style's font on the measuring device; its measures in layout pixels and in mm.
struct StyleMeasure {
    QFont font;
    QFontMetricsF fm;
    double ascent, height, lineSpacing;   // layout pixels
    FontMeasures mm;

    explicit StyleMeasure(const TextStyle& st) : StyleMeasure(fontOf(st, st.pointSize)) {}

private:
    explicit StyleMeasure(const QFont& f)
        : font(f), fm(f, &measureDevice()), ascent(fm.ascent()), height(fm.ascent() + fm.descent()),
          lineSpacing(fm.lineSpacing()),
          mm{ascent / PxPerMm, fm.descent() / PxPerMm, height / PxPerMm, lineSpacing / PxPerMm}
    {
    }
};

namespace {

bool isLineEnd(QChar c) { return c == QLatin1Char('\n') || c == LineBreak; }

// A line without the blanks (and the carriage return) at its end.
QStringView chopped(QStringView line)
{
    qsizetype n = line.size();
    while (n > 0 && line[n - 1].isSpace())
        --n;
    return line.left(n);
}

// Calls `f` with each line of `text`, as printed.
template<class F>
void forEachLine(const QString& text, F&& f)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (isLineEnd(text[i])) {
            f(chopped(QStringView(text).mid(from, i - from)));
            from = i + 1;
        }
    f(chopped(QStringView(text).mid(from)));
}

int lineCount(const QString& text)
{
    int n = 1;
    for (QChar c : text)
        n += isLineEnd(c);
    return n;
}

// How far a line reaches either side of its origin, in the measuring font's
// units: its advance, widened where a glyph's ink stands out beyond it.
struct Extent {
    double left = 0, right = 0;
    double width() const { return right - left; }
};

double leftInk(const QFontMetricsF& fm, QStringView line)
{
    return line.isEmpty() || line.front().isSurrogate() ? 0 : std::min(0.0, fm.leftBearing(line.front()));
}

Extent extentOf(const QFontMetricsF& fm, QStringView line)
{
    if (line.isEmpty())
        return {};
    const double adv = fm.horizontalAdvance(line.toString());
    const double rb = line.back().isSurrogate() ? 0 : fm.rightBearing(line.back());
    return {leftInk(fm, line), std::max(adv, adv - rb)};
}

QString breakText(const QString& text, const StyleMeasure& m, double width)
{
    auto widthOf = [&](qsizetype from, qsizetype to) {
        return extentOf(m.fm, chopped(QStringView(text).mid(from, to - from))).width();
    };
    const double limit = width * PxPerMm + 1e-6;
    std::vector<qsizetype> breaks;   // where a line may end
    QTextBoundaryFinder bf(QTextBoundaryFinder::Line, text);
    for (qsizetype p = bf.toNextBoundary(); p > 0; p = bf.toNextBoundary())
        if (bf.boundaryReasons() & (QTextBoundaryFinder::BreakOpportunity | QTextBoundaryFinder::MandatoryBreak))
            breaks.push_back(p);
    if (breaks.empty() || breaks.back() != text.size())
        breaks.push_back(text.size());

    QString out;
    out.reserve(text.size() + 4);
    qsizetype start = 0;
    size_t k = 0;
    while (start < text.size()) {
        while (k < breaks.size() && breaks[k] <= start)
            ++k;
        qsizetype end = -1;
        for (size_t j = k; j < breaks.size(); ++j) {
            if (widthOf(start, breaks[j]) > limit)
                break;
            end = breaks[j];
            if (isLineEnd(text[end - 1]))
                break;   // a line of its own
        }
        if (end < 0) {
            // The word alone is wider than the line: it is cut where it fills the line.
            const qsizetype wordEnd = k < breaks.size() ? breaks[k] : text.size();
            QTextBoundaryFinder g(QTextBoundaryFinder::Grapheme, text);
            g.setPosition(start);
            for (qsizetype p = g.toNextBoundary(); p > 0 && p <= wordEnd; p = g.toNextBoundary()) {
                if (end >= 0 && widthOf(start, p) > limit)
                    break;
                end = p;
            }
            if (end <= start)
                end = wordEnd;
        }
        out += QStringView(text).mid(start, end - start);
        if (end < text.size() && !isLineEnd(text[end - 1]))
            out += LineBreak;
        start = end;
    }
    return out;
}

} // namespace

TextStyles::TextStyles() : styles_(1) {}

quint32 TextStyles::add(const TextStyle& style)
{
    for (size_t i = 0; i < styles_.size(); ++i)
        if (styles_[i].style == style)
            return quint32(i);
    styles_.push_back({style, {}});
    return quint32(styles_.size() - 1);
}

const TextStyle& TextStyles::operator[](quint32 number) const
{
    return number < styles_.size() ? styles_[number].style : styles_.front().style;
}

const StyleMeasure& TextStyles::measure(quint32 number) const
{
    const Entry& e = number < styles_.size() ? styles_[number] : styles_.front();
    if (!e.measure)
        e.measure = std::make_shared<const StyleMeasure>(e.style);
    return *e.measure;
}

const FontMeasures& TextStyles::fontMeasures(quint32 number) const { return measure(number).mm; }

namespace {
double heightOf(const FontMeasures& m, int lines) { return lines <= 0 ? 0 : (lines - 1) * m.lineSpacing + m.height; }
} // namespace

double TextStyles::linesHeight(quint32 number, int lines) const { return heightOf(fontMeasures(number), lines); }

double TextStyles::lineWidth(const QString& line, quint32 number) const
{
    return extentOf(measure(number).fm, chopped(line)).width() / PxPerMm;
}

QString TextStyles::breakLines(const QString& text, quint32 number, double width, int* lines) const
{
    QString broken = breakText(text, measure(number), width);
    if (lines)
        *lines = lineCount(broken);
    return broken;
}

FontMeasures fontMeasures(const TextStyle& style) { return StyleMeasure(style).mm; }

double linesHeight(const TextStyle& style, int lines) { return heightOf(fontMeasures(style), lines); }

double lineWidth(const QString& line, const TextStyle& style)
{
    return extentOf(StyleMeasure(style).fm, chopped(line)).width() / PxPerMm;
}

const TextStyle& Page::style(const TextRun& t) const
{
    static const TextStyle none;
    return styles ? (*styles)[t.style] : none;
}

QStringList TextRun::lines() const
{
    QStringList out;
    forEachLine(text, [&](QStringView l) { out << l.toString(); });
    return out;
}

QString TextRun::plainText() const
{
    QString s = text;
    s.remove(LineBreak);
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s;
}

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
            for (const TextRun* t : line)
                parts << t->plainText();
            out += parts.join(QLatin1Char('\t'));
            out += QLatin1Char('\n');
            i = j;
        }
    }
    return out;
}

void paintPage(QPainter& painter, const Page& page, const QRectF& target, std::vector<PaintedLine>* trace)
{
    const double s = target.width() / page.width;   // device units per mm
    auto map = [&](const QRectF& r) {
        return QRectF(target.left() + r.left() * s, target.top() + r.top() * s, r.width() * s, r.height() * s);
    };
    auto mapPt = [&](const QPointF& p) { return QPointF(target.left() + p.x() * s, target.top() + p.y() * s); };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const FillRun& f : page.fills)
        painter.fillRect(map(f.rect), f.color);

    // The texts are painted in layout pixels, scaled onto the device: each
    // line stands where the layout measured it, in a font whose size on the
    // device is that of the layout.
    painter.save();
    const QTransform toDevice(s / PxPerMm, 0, 0, s / PxPerMm, target.left(), target.top());
    painter.setWorldTransform(toDevice, true);
    const double dpi = painter.device() ? painter.device()->logicalDpiY() : 96;
    static const TextStyles defaultOnly;
    const TextStyles& styles = page.styles ? *page.styles : defaultOnly;
    quint32 current = std::numeric_limits<quint32>::max();
    const StyleMeasure* m = nullptr;
    for (qsizetype i = 0; i < page.texts.size(); ++i) {
        const TextRun& t = page.texts[i];
        if (t.text.isEmpty())
            continue;
        const TextStyle& st = styles[t.style];
        if (t.style != current) {
            current = t.style;
            m = &styles.measure(current);
            // A point is 1/72 inch of the device: sized so that it has the
            // layout's size in pixels of the layout.
            QFont f = m->font;
            f.setPointSizeF(st.pointSize * LayoutDpi / dpi);
            painter.setFont(f);
        }
        painter.setPen(t.color);
        const QRectF r(t.rect.left() * PxPerMm, t.rect.top() * PxPerMm, t.rect.width() * PxPerMm,
                       t.rect.height() * PxPerMm);
        const int n = lineCount(t.text);
        const double block = (n - 1) * m->lineSpacing + m->height;
        double y = r.top() + (t.top >= 0 ? t.top * PxPerMm : (r.height() - block) / 2) + m->ascent;
        const int h = st.align & Qt::AlignHorizontal_Mask;
        forEachLine(t.text, [&](QStringView line) {
            if (!line.isEmpty()) {
                // Left: the ink of the first glyph never stands out on the left.
                // A line wider than its box starts at the box's left edge.
                Extent e;
                double x;
                if (h & (Qt::AlignRight | Qt::AlignHCenter) || trace) {
                    e = extentOf(m->fm, line);
                    if (e.width() > r.width() || !(h & (Qt::AlignRight | Qt::AlignHCenter)))
                        x = r.left() - e.left;
                    else if (h & Qt::AlignRight)
                        x = r.right() - e.right;
                    else
                        x = r.left() + (r.width() - e.width()) / 2 - e.left;
                } else {
                    x = r.left() - leftInk(m->fm, line);
                }
                // A text of one line is painted as it is kept.
                const QString text = line.size() == t.text.size() ? t.text : line.toString();
                painter.drawText(QPointF(x, y), text);
                if (trace) {
                    const QFontMetricsF pfm(painter.font(), painter.device());
                    const Extent pe = extentOf(pfm, line);
                    trace->push_back({int(i), text, map(t.rect),
                                      toDevice.mapRect(QRectF(x + e.left, y - m->ascent, e.width(), m->height)),
                                      toDevice.mapRect(QRectF(x + pe.left, y - pfm.ascent(), pe.width(),
                                                              pfm.ascent() + pfm.descent()))});
                }
            } else if (trace) {
                trace->push_back({int(i), QString(), map(t.rect), {}, {}});
            }
            y += m->lineSpacing;
        });
    }
    painter.restore();

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
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return writePdf(pages, &file) && file.commit();
}

bool writePdf(const PageSet& pages, QIODevice* device)
{
    QPdfWriter writer(device);
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

} // namespace reports
