#pragma once
// A generated report: pages of drawing primitives in millimetres from the
// page's top left corner. The same pages are painted on screen, on paper and
// into PDF, and dumped as plain text for tests and the command line.
#include <QColor>
#include <QLineF>
#include <QList>
#include <QRectF>
#include <QString>
#include <memory>
#include <vector>

class QIODevice;

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

// The measures of a style's font on the layout's measuring device.
struct StyleMeasure;

// A style's font in millimetres.
struct FontMeasures {
    double ascent = 0, descent = 0;
    double height = 0;        // of one line: ascent and descent
    double lineSpacing = 0;   // from one line to the next
};

// The text styles of one page set, by number; number 0 is the default style.
// A report has a handful of styles and hundreds of thousands of texts: each
// text keeps the number of its style in the table of its page set, which the
// set's pages share (a copied page keeps it). Each style comes with its font
// and measures, so that the layout and the renderer measure alike.
class TextStyles {
public:
    TextStyles();
    // The number of `style`, added when the table does not hold it yet.
    quint32 add(const TextStyle& style);
    int size() const { return int(styles_.size()); }
    // A number the table does not hold reads as the default style.
    const TextStyle& operator[](quint32 number) const;
    const FontMeasures& fontMeasures(quint32 number) const;
    // The height in mm of `lines` lines, from the first line's top.
    double linesHeight(quint32 number, int lines) const;
    // The width in mm that one line takes, from the leftmost to the
    // rightmost of its advance and its ink.
    double lineWidth(const QString& line, quint32 number) const;
    // `text` broken into lines that fit `width` mm: at blanks and other break
    // opportunities, within a word only when the word alone is wider than
    // `width`. Returns the text with a LineBreak where each line but the last
    // ends; `lines` receives their number.
    QString breakLines(const QString& text, quint32 number, double width, int* lines = nullptr) const;

    const StyleMeasure& measure(quint32 number) const;

private:
    struct Entry {
        TextStyle style;
        mutable std::shared_ptr<const StyleMeasure> measure;   // made when first asked for
    };
    std::vector<Entry> styles_;
};

// Where a wrapped text goes on to its next line. The lines of a text are
// decided once, when the pages are made, and the text keeps them: each line
// but the last ends at a LineBreak (the text is otherwise unchanged) or at a
// "\n" of its own. Trailing blanks of a line are not printed.
constexpr QChar LineBreak(0x2028);

struct TextRun {
    QRectF rect;   // mm: the item's box less its insets
    QString text;
    QColor color = Qt::black;
    quint32 style = 0;   // number in the styles of its page
    // From the top of `rect` to the top of the first line, mm; negative: the
    // lines stand centred in `rect`.
    float top = -1;
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

} // namespace reports

Q_DECLARE_TYPEINFO(reports::TextRun, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(reports::LineRun, Q_RELOCATABLE_TYPE);
Q_DECLARE_TYPEINFO(reports::FillRun, Q_RELOCATABLE_TYPE);

namespace reports {

// A page is a value: a copy shares its lists with the original until either
// changes them.
struct Page {
    double width = 215.9, height = 279.4;   // mm
    QList<FillRun> fills;   // painted first
    QList<TextRun> texts;
    QList<LineRun> lines;   // painted last
    // The styles of the page set the page belongs to; none: every text in
    // the default style.
    std::shared_ptr<const TextStyles> styles;
    const TextStyle& style(const TextRun& t) const;
};

// What a generation printed, band by band, for the outputs that read a
// report as a table rather than as pages (the sheet): every band as it was
// printed, with its items' texts and, for data texts and sums of numbers and
// dates, their values. The pages do not depend on it.
struct PrintedCell {
    enum class Type : quint8 { Text, Number, Date };
    QRectF rect;        // mm on its band, as designed (before stretching)
    qint32 run = -1;    // its text: the index in its page's texts; -1: none printed
    double number = 0;  // Number: the value; Date: the Julian day
    QString format;     // of a number: its display format ("#0.00"); empty: the general form
    QColor background;  // invalid: none
    quint32 style = 0;  // number in the styles of the page set
    quint8 frame = 0;   // sides framed, FrameSide flags of the model
    Type type = Type::Text;
};

struct PrintedBand {
    enum class Kind : quint8 { Title, ColumnHeader, Body };
    int page = 0;                 // 0-based
    double y = 0, height = 0;     // mm on the page
    QColor background;            // invalid: none
    Kind kind = Kind::Body;
    bool repeated = false;        // a column header printed again at the top of a later page
    bool topLine = false;
    quint32 first = 0, count = 0; // its cells in PrintedBands::cells
};

struct PrintedBands {
    std::vector<PrintedBand> bands;
    std::vector<PrintedCell> cells;
};

// A generated report as a value: its pages, and the styles and strings they
// share with each other and with nothing else.
struct PageSet {
    std::vector<Page> pages;
    std::shared_ptr<const TextStyles> styles;   // those of every page
    // The bands the pages were made of; none for pages made otherwise.
    std::shared_ptr<const PrintedBands> printed;
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

// Writes the pages as PDF; false when the file cannot be written. The file
// is written beside itself and takes its name only once it is whole.
bool writePdf(const PageSet& pages, const QString& fileName);
// The same onto an open device; false when the painting failed.
bool writePdf(const PageSet& pages, QIODevice* device);

// Text measuring shared by the layout and the renderer. Texts are measured
// in a font without hinting at a fixed resolution, so that a line is as
// wide on screen at any zoom, on paper and in PDF as when it was laid out.
// TextStyles measures in the styles of a page set; these measure in a style
// of its own.
FontMeasures fontMeasures(const TextStyle& style);
double linesHeight(const TextStyle& style, int lines);
double lineWidth(const QString& line, const TextStyle& style);

} // namespace reports
