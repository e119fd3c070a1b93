#pragma once
// A generated report: pages of drawing primitives in millimetres from the
// page's top left corner. The same pages are painted on screen, on paper and
// into PDF, and dumped as plain text for tests and the command line.
#include <QColor>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

namespace reports {

struct TextStyle {
    QString family;
    double pointSize = 10;
    bool bold = false, italic = false, underline = false;
    int align = 0;      // Qt::Alignment flags
    bool wrap = false;
    bool operator==(const TextStyle&) const = default;
};

// A report has a handful of text styles and hundreds of thousands of texts:
// a text keeps the number of its style in one table of the program (pages
// are made and painted on the GUI thread). Number 0 is the default style.
quint32 styleId(const TextStyle& style);
const TextStyle& styleById(quint32 id);

// Where a wrapped text goes on to its next line. The lines of a text are
// decided once, when the pages are made, and the text keeps them: each line
// but the last ends at a LineBreak (the text is otherwise unchanged) or at a
// "\n" of its own. Trailing blanks of a line are not printed.
constexpr QChar LineBreak(0x2028);

struct TextRun {
    QRectF rect;   // mm: the item's box less its insets
    QString text;
    QColor color = Qt::black;
    quint32 style = 0;
    // From the top of `rect` to the top of the first line, mm; negative: the
    // lines stand centred in `rect`.
    float top = -1;
    const TextStyle& textStyle() const { return styleById(style); }
    void setStyle(const TextStyle& s) { style = styleId(s); }
    // The lines as printed, and the text as it reads without them.
    QStringList lines() const;
    QString plainText() const;
};

struct LineRun {
    QLineF line;   // mm
    double width = 0.2;
    QColor color = Qt::black;
};

struct FillRun {
    QRectF rect;   // mm
    QColor color;
};

struct Page {
    double width = 215.9, height = 279.4;   // mm
    std::vector<FillRun> fills;   // painted first
    std::vector<TextRun> texts;
    std::vector<LineRun> lines;   // painted last
};

struct PageSet {
    std::vector<Page> pages;
    int count() const { return int(pages.size()); }

    // Each page as lines: the texts whose vertical extents overlap, left to
    // right, separated by one tab; a form feed between pages.
    QString toText() const;
};

// One text line as the renderer painted it, in the painter's device
// coordinates: where the line was put by the measures of the layout, and
// where the painter's own font metrics on that device say it went.
struct PaintedLine {
    int run = 0;        // index into the page's texts
    QString text;
    QRectF box;         // the run's rect
    QRectF placed;      // the line by the layout's measures, bearings included
    QRectF painted;     // the same by the painter's QFontMetricsF on its device
};

// Paints `page` scaled into `target` (device coordinates of the painter).
// Every text is painted in the lines it was given, each line at its place,
// at any scale and on any device; nothing is wrapped again or clipped.
// With `trace` the painted lines are told there.
void paintPage(QPainter& painter, const Page& page, const QRectF& target, std::vector<PaintedLine>* trace = nullptr);

// Writes the pages as PDF; false when the file cannot be written.
bool writePdf(const PageSet& pages, const QString& fileName);

// Text measuring shared by the layout and the renderer. Texts are measured
// in a font without hinting at a fixed resolution, so that a line is as
// wide on screen at any zoom, on paper and in PDF as when it was laid out.

// A style's font in millimetres.
struct FontMeasures {
    double ascent = 0, descent = 0;
    double height = 0;        // of one line: ascent and descent
    double lineSpacing = 0;   // from one line to the next
};
const FontMeasures& fontMeasures(quint32 style);

// The height in mm of `lines` lines of the style, from the first line's top.
double linesHeight(quint32 style, int lines);

// The width in mm that one line takes in the style, from the leftmost to the
// rightmost of its advance and its ink.
double lineWidth(const QString& line, quint32 style);

// `text` broken into lines that fit `width` mm in the style: at blanks and
// other break opportunities, within a word only when the word alone is wider
// than `width`. Returns the text with a LineBreak where each line but the
// last ends; `lines` receives their number.
QString breakLines(const QString& text, quint32 style, double width, int* lines = nullptr);

} // namespace reports
