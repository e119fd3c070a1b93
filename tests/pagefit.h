#pragma once
// Paints a page set the three ways a user sees it - at 100 % on the screen,
// as a whole page in the preview, and into PDF - and tells every text line
// that does not stand inside its box, every line that the painter's own
// font metrics on that device would put elsewhere than the layout did, and
// every text whose lines differ from one device to another.
#include "reports/model/pageset.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>
#include <vector>

namespace pagefit {

struct Rendering {
    QString device;
    double pxPerMm = 0;
    std::vector<std::vector<reports::PaintedLine>> pages;   // what each page painted
    std::vector<QImage> images;                             // the screen pages, texts alone
};

// A page with its texts alone, for looking at their ink.
inline reports::Page textsOf(const reports::Page& pg)
{
    reports::Page p = pg;
    p.fills.clear();
    p.lines.clear();
    return p;
}

inline Rendering onImage(const reports::PageSet& ps, const QString& device, double pxPerMm, int maxPages)
{
    Rendering r{device, pxPerMm, {}, {}};
    for (int i = 0; i < std::min(maxPages, ps.count()); ++i) {
        const reports::Page pg = textsOf(ps.pages[size_t(i)]);
        QImage img(qCeil(pg.width * pxPerMm), qCeil(pg.height * pxPerMm), QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        r.pages.emplace_back();
        reports::paintPage(p, pg, QRectF(0, 0, pg.width * pxPerMm, pg.height * pxPerMm), &r.pages.back());
        p.end();
        r.images.push_back(img);
    }
    return r;
}

inline Rendering onPdf(const reports::PageSet& ps, int maxPages)
{
    QTemporaryDir dir;
    QPdfWriter writer(dir.filePath(QStringLiteral("fit.pdf")));
    writer.setResolution(300);
    const reports::Page& first = ps.pages.front();
    writer.setPageSize(QPageSize(QSizeF(first.width, first.height), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    const double dpmm = 300 / 25.4;
    Rendering r{QStringLiteral("PDF"), dpmm, {}, {}};
    QPainter p(&writer);
    for (int i = 0; i < std::min(maxPages, ps.count()); ++i) {
        if (i > 0)
            writer.newPage();
        const reports::Page& pg = ps.pages[size_t(i)];
        r.pages.emplace_back();
        reports::paintPage(p, pg, QRectF(0, 0, pg.width * dpmm, pg.height * dpmm), &r.pages.back());
    }
    p.end();
    return r;
}

// The screen sizes of a page: 100 % at 96 dpi and a whole page in a
// 1000-pixel view.
constexpr double Actual = 96 / 25.4;
constexpr double WholePage = (1000 - 24) / 279.4;

inline QString where(const Rendering& r, int page, const reports::PaintedLine& l)
{
    return QStringLiteral("%1, page %2, \"%3\"").arg(r.device).arg(page + 1).arg(l.text);
}

// What is wrong with the first `maxPages` pages of `ps`; empty when nothing.
inline QStringList misfits(const reports::PageSet& ps, int maxPages = 2)
{
    QStringList bad;
    if (ps.pages.empty())
        return bad;
    const std::vector<Rendering> all{onImage(ps, QStringLiteral("100 %"), Actual, maxPages),
                                     onImage(ps, QStringLiteral("whole page"), WholePage, maxPages),
                                     onPdf(ps, maxPages)};
    for (const Rendering& r : all) {
        const double tol = 0.005 * r.pxPerMm;   // 5 micrometres
        for (int p = 0; p < int(r.pages.size()); ++p) {
            const reports::Page& pg = ps.pages[size_t(p)];
            // The lines each text was given, as painted, in the order painted.
            QStringList painted, given;
            for (const reports::PaintedLine& l : r.pages[size_t(p)]) {
                painted << QString::number(l.run) + QLatin1Char(':') + l.text;
                if (l.text.isEmpty())
                    continue;
                const QRectF box = l.box.adjusted(-tol, -tol, tol, tol);
                if (!box.contains(l.painted))
                    bad << where(r, p, l) + QStringLiteral(" stands out of its box");
                const QRectF d(l.painted.topLeft() - l.placed.topLeft(), l.painted.bottomRight() - l.placed.bottomRight());
                if (std::max({std::abs(d.left()), std::abs(d.top()), std::abs(d.right()), std::abs(d.bottom())}) > tol)
                    bad << where(r, p, l) + QStringLiteral(" is painted elsewhere than laid out");
            }
            for (int i = 0; i < int(pg.texts.size()); ++i)
                if (!pg.texts[size_t(i)].text.isEmpty())
                    for (const QString& l : pg.texts[size_t(i)].lines())
                        given << QString::number(i) + QLatin1Char(':') + l;
            if (painted != given)
                bad << QStringLiteral("%1, page %2: the lines painted are not those laid out").arg(r.device).arg(p + 1);
        }
    }
    // Ink on the screen pages: none outside the boxes of the texts.
    for (const Rendering& r : all)
        for (int p = 0; p < int(r.images.size()); ++p) {
            const QImage& img = r.images[size_t(p)];
            QImage mask(img.size(), QImage::Format_RGB32);
            mask.fill(Qt::white);
            QPainter mp(&mask);
            for (const reports::PaintedLine& l : r.pages[size_t(p)])
                mp.fillRect(l.box.adjusted(-1, -1, 1, 1).toAlignedRect(), Qt::black);
            mp.end();
            int outside = 0;
            for (int y = 0; y < img.height(); ++y) {
                const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
                const QRgb* in = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
                for (int x = 0; x < img.width(); ++x)
                    outside += qGray(row[x]) < 160 && qGray(in[x]) > 128;
            }
            if (outside)
                bad << QStringLiteral("%1, page %2: %3 pixels of ink outside the texts' boxes").arg(r.device).arg(p + 1).arg(outside);
        }
    return bad;
}

} // namespace pagefit
