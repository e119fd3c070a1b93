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
class QPrinter;

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

struct TextRun {
    QRectF rect;   // mm
    QString text;
    QColor color = Qt::black;
    quint32 style = 0;
    const TextStyle& textStyle() const { return styleById(style); }
    void setStyle(const TextStyle& s) { style = styleId(s); }
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

// Paints `page` scaled into `target` (device coordinates of the painter).
void paintPage(QPainter& painter, const Page& page, const QRectF& target);

// Writes the pages as PDF; false when the file cannot be written.
bool writePdf(const PageSet& pages, const QString& fileName);

// Prints pages `from`..`to` (1-based, 0 for all) on a set-up printer.
bool printPages(const PageSet& pages, QPrinter& printer, int from = 0, int to = 0);

// Text measuring shared by the layout: the height in mm that `text` takes
// wrapped within `width` mm in the style of that number.
double wrappedHeight(const QString& text, quint32 style, double width);

} // namespace reports
