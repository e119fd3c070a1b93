#include "core/ui/icons.h"

#include <QList>
#include <cmath>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <functional>

namespace ui {

namespace {

constexpr int Count = 18;

const QColor Ink(40, 40, 48);
const QColor Paper(255, 255, 250);

void pen(QPainter& p, const QColor& c, qreal w = 1.0)
{
    QPen pn(c, w);
    pn.setJoinStyle(Qt::RoundJoin);
    pn.setCapStyle(Qt::RoundCap);
    p.setPen(pn);
}

// A page with a folded corner; `band` colours its top edge.
void sheet(QPainter& p, const QColor& band)
{
    QPainterPath page;
    page.moveTo(2.5, 1.5);
    page.lineTo(12.5, 1.5);
    page.lineTo(16.5, 5.5);
    page.lineTo(16.5, 17.5);
    page.lineTo(2.5, 17.5);
    page.closeSubpath();
    pen(p, QColor(90, 90, 100));
    p.setBrush(Paper);
    p.drawPath(page);
    p.fillRect(QRectF(3, 2, 9.5, 2), band);
    QPainterPath fold;
    fold.moveTo(12.5, 1.5);
    fold.lineTo(12.5, 5.5);
    fold.lineTo(16.5, 5.5);
    p.setBrush(QColor(220, 220, 210));
    p.drawPath(fold);
}

void lines(QPainter& p, qreal x0, qreal x1, qreal y0, int n, qreal step = 2.0)
{
    // On pixel centres, so that thin lines stay sharp.
    pen(p, QColor(140, 140, 150));
    for (int i = 0; i < n; ++i) {
        const qreal y = std::floor(y0 + i * step) + 0.5;
        p.drawLine(QPointF(x0, y), QPointF(x1, y));
    }
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& c, qreal w = 1.6)
{
    pen(p, c, w);
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal len = std::sqrt(d.x() * d.x() + d.y() * d.y());
    if (len <= 0)
        return;
    const QPointF u = d / len, n(-u.y(), u.x());
    QPolygonF head{to + u * 1.0, to - u * 3.0 + n * 2.5, to - u * 3.0 - n * 2.5};
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(head);
}

void book(QPainter& p, QRectF r, const QColor& cover)
{
    pen(p, cover.darker(170));
    p.setBrush(cover);
    p.drawRoundedRect(r, 1, 1);
    p.fillRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() * 0.22, r.height() - 1), cover.darker(140));
    const QRectF label(r.left() + r.width() * 0.38, r.top() + r.height() * 0.2, r.width() * 0.5, r.height() * 0.25);
    p.fillRect(label, Paper);
}

void building(QPainter& p, QRectF r, const QColor& wall)
{
    pen(p, wall.darker(180));
    p.setBrush(wall);
    p.drawRect(r);
    const qreal w = r.width(), h = r.height();
    const int cols = w > 8 ? 3 : 2;
    const int rows = h > 10 ? 4 : 2;
    const qreal cw = w / (cols * 2 + 1), rh = h / (rows * 2 + 1.5);
    for (int i = 0; i < cols; ++i)
        for (int j = 0; j < rows; ++j)
            p.fillRect(QRectF(r.left() + cw * (1 + 2 * i), r.top() + rh * (1 + 2 * j), cw, rh), QColor(120, 190, 255));
}

void seal(QPainter& p, QPointF c, qreal radius, const QColor& col)
{
    p.setPen(Qt::NoPen);
    p.setBrush(col.darker(130));
    p.drawPolygon(QPolygonF{c + QPointF(-radius * 0.7, 0), c + QPointF(-radius * 0.9, radius * 1.9),
                            c + QPointF(0, radius * 1.4), c + QPointF(radius * 0.9, radius * 1.9),
                            c + QPointF(radius * 0.7, 0)});
    pen(p, col.darker(160));
    p.setBrush(col);
    p.drawEllipse(c, radius, radius);
    pen(p, QColor(255, 230, 150));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, radius * 0.55, radius * 0.55);
}

void coin(QPainter& p, QPointF c, qreal rx, qreal ry)
{
    pen(p, QColor(150, 110, 0));
    p.setBrush(QColor(250, 200, 40));
    p.drawEllipse(c, rx, ry);
    pen(p, QColor(200, 150, 0));
    p.drawEllipse(c, rx * 0.6, ry * 0.6);
}

void tag(QPainter& p, const QColor& c)
{
    p.save();
    p.translate(9.5, 9.5);
    p.rotate(-45);
    QPainterPath t;
    t.moveTo(-8, 0);
    t.lineTo(-4, -4.5);
    t.lineTo(8, -4.5);
    t.lineTo(8, 4.5);
    t.lineTo(-4, 4.5);
    t.closeSubpath();
    pen(p, c.darker(170));
    p.setBrush(c);
    p.drawPath(t);
    p.setBrush(Paper);
    p.drawEllipse(QPointF(-4, 0), 1.4, 1.4);
    pen(p, c.darker(200));
    p.drawLine(QPointF(0, -1.5), QPointF(6, -1.5));
    p.drawLine(QPointF(0, 1.5), QPointF(4.5, 1.5));
    p.restore();
}

void grid(QPainter& p, QRectF r, int cols, int rows, const QColor& head)
{
    pen(p, QColor(80, 90, 110));
    p.setBrush(Paper);
    p.drawRect(r);
    const qreal rh = r.height() / rows, cw = r.width() / cols;
    p.fillRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 1, rh - 0.5), head);
    pen(p, QColor(110, 120, 140));
    for (int i = 1; i < rows; ++i)
        p.drawLine(QPointF(r.left(), r.top() + i * rh), QPointF(r.right(), r.top() + i * rh));
    for (int i = 1; i < cols; ++i)
        p.drawLine(QPointF(r.left() + i * cw, r.top()), QPointF(r.left() + i * cw, r.bottom()));
}

void calendar(QPainter& p, QRectF r)
{
    pen(p, QColor(120, 30, 30));
    p.setBrush(Paper);
    p.drawRect(r);
    p.fillRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 0.5, r.height() * 0.3), QColor(220, 40, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    const qreal top = r.top() + r.height() * 0.45;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            p.drawRect(QRectF(r.left() + 1.2 + i * (r.width() - 2) / 3, top + j * r.height() * 0.27, 1.2, 1.2));
}

void pencil(QPainter& p, QPointF tip, qreal len, const QColor& body)
{
    p.save();
    p.translate(tip);
    p.rotate(-45);
    QPolygonF point{QPointF(0, 0), QPointF(3, -1.6), QPointF(3, 1.6)};
    pen(p, QColor(60, 40, 20));
    p.setBrush(QColor(240, 200, 150));
    p.drawPolygon(point);
    p.setBrush(body);
    p.drawRect(QRectF(3, -1.6, len, 3.2));
    p.setBrush(QColor(240, 120, 150));
    p.drawRect(QRectF(3 + len, -1.6, 1.8, 3.2));
    p.restore();
}

// --- the pictures

void drawAccounts(QPainter& p)
{
    book(p, QRectF(3.5, 1.5, 11, 16), QColor(40, 140, 70));
    pen(p, QColor(255, 255, 255));
    p.drawLine(QPointF(15.5, 3), QPointF(15.5, 17));
    pen(p, QColor(150, 150, 150));
    p.drawLine(QPointF(14.5, 17.5), QPointF(16, 16.5));
    lines(p, 8.5, 12.5, 10, 3, 2);
}

void drawSchedule(QPainter& p)
{
    grid(p, QRectF(1.5, 1.5, 14, 11), 3, 4, QColor(70, 130, 220));
    calendar(p, QRectF(9.5, 9.5, 8, 8));
}

void drawOrganizations(QPainter& p)
{
    pen(p, QColor(110, 60, 30));
    p.setBrush(QColor(190, 70, 50));
    p.drawPolygon(QPolygonF{QPointF(1.5, 6.5), QPointF(9.5, 1.5), QPointF(17.5, 6.5)});
    building(p, QRectF(3.5, 6.5, 12, 11), QColor(225, 200, 150));
    p.fillRect(QRectF(8, 13.5, 3, 4), QColor(110, 70, 30));
}

void drawBudgetCodes(QPainter& p)
{
    const QColor cols[3] = {QColor(230, 90, 30), QColor(50, 150, 60), QColor(60, 100, 210)};
    for (int i = 0; i < 3; ++i) {
        const qreal y = 2.5 + i * 5.5;
        pen(p, cols[i].darker(160));
        p.setBrush(cols[i]);
        p.drawRoundedRect(QRectF(1.5, y, 4.5, 4.5), 1, 1);
        pen(p, Qt::white, 1.1);
        // One, two, three strokes: the number of the line.
        for (int k = 0; k <= i; ++k)
            p.drawLine(QPointF(2.6 + k * 1.2, y + 1.2), QPointF(2.6 + k * 1.2, y + 3.3));
        pen(p, Ink, 1.4);
        p.drawLine(QPointF(8, y + 1.4), QPointF(17, y + 1.4));
        pen(p, QColor(130, 130, 140), 1.0);
        p.drawLine(QPointF(8, y + 3.6), QPointF(14, y + 3.6));
    }
}

void drawPurposes(QPainter& p)
{
    sheet(p, QColor(120, 120, 130));
    lines(p, 4.5, 14.5, 6.5, 3);
    seal(p, QPointF(12, 12.5), 3.0, QColor(210, 30, 40));
}

void drawIncomeAccounting(QPainter& p)
{
    coin(p, QPointF(7, 15), 5.5, 2.5);
    coin(p, QPointF(7, 12), 5.5, 2.5);
    coin(p, QPointF(7, 9), 5.5, 2.5);
    arrow(p, QPointF(15, 9), QPointF(15, 2.5), QColor(30, 160, 50));
    arrow(p, QPointF(15, 11), QPointF(15, 17.5), QColor(210, 40, 40));
}

void drawIncomeKinds(QPainter& p) { tag(p, QColor(250, 210, 60)); }

void drawIncomeReport(QPainter& p)
{
    sheet(p, QColor(120, 120, 130));
    lines(p, 4.5, 9, 7, 5);
    arrow(p, QPointF(11.5, 16), QPointF(11.5, 8), QColor(30, 160, 50), 1.5);
    arrow(p, QPointF(14.5, 8), QPointF(14.5, 16), QColor(210, 40, 40), 1.5);
}

// The reports: a page with a coloured band and a glyph of its own.
void report(QPainter& p, const QColor& band)
{
    sheet(p, band);
    lines(p, 4.5, 10.5, 6.5, 3);
}

void drawReportAccounts(QPainter& p)
{
    report(p, QColor(40, 140, 70));
    book(p, QRectF(9.5, 10.5, 7, 7.5), QColor(40, 140, 70));
}

void drawReportFinancing(QPainter& p)
{
    report(p, QColor(60, 100, 210));
    pen(p, QColor(110, 60, 30));
    p.setBrush(QColor(190, 70, 50));
    p.drawPolygon(QPolygonF{QPointF(8.5, 11.5), QPointF(12.5, 8.5), QPointF(16.5, 11.5)});
    building(p, QRectF(9.5, 11.5, 6, 6.5), QColor(225, 200, 150));
}

void drawReportRemainders(QPainter& p)
{
    report(p, QColor(150, 60, 170));
    // Two columns: what came and what remains.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 160, 50));
    p.drawRect(QRectF(9, 9.5, 2.8, 8));
    p.setBrush(QColor(210, 40, 40));
    p.drawRect(QRectF(12.6, 13, 2.8, 4.5));
    pen(p, Ink);
    p.drawLine(QPointF(8, 17.5), QPointF(16.5, 17.5));
}

void drawReportPurposes(QPainter& p)
{
    report(p, QColor(210, 30, 40));
    seal(p, QPointF(12.5, 12), 2.6, QColor(230, 140, 20));
}

void drawReportArticles(QPainter& p)
{
    report(p, QColor(20, 150, 160));
    pen(p, QColor(20, 90, 170), 1.8);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{QPointF(15.5, 10), QPointF(15.5, 9), QPointF(9.5, 9), QPointF(12.8, 13),
                             QPointF(9.5, 17), QPointF(15.5, 17), QPointF(15.5, 16)});
}

void drawReportMovement(QPainter& p)
{
    report(p, QColor(230, 140, 20));
    pen(p, QColor(30, 120, 200), 1.6);
    p.setBrush(Qt::NoBrush);
    const QRectF r(8.5, 9, 8, 8);
    p.drawArc(r, 30 * 16, 150 * 16);
    p.drawArc(r, 210 * 16, 150 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 120, 200));
    p.drawPolygon(QPolygonF{QPointF(18, 10.5), QPointF(13.5, 11.5), QPointF(17, 15)});
    p.drawPolygon(QPolygonF{QPointF(7, 15.5), QPointF(11.5, 14.5), QPointF(8, 11)});
}

void drawReportExecution(QPainter& p)
{
    report(p, QColor(70, 130, 220));
    pen(p, QColor(20, 150, 40), 2.2);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{QPointF(8.5, 13), QPointF(11, 16), QPointF(16.5, 8.5)});
}

void drawReportAccountsShort(QPainter& p)
{
    report(p, QColor(120, 180, 40));
    pen(p, QColor(90, 60, 20));
    p.setBrush(QColor(250, 200, 40));
    p.drawPie(QRectF(9, 10, 8, 8), 90 * 16, 270 * 16);
    p.setBrush(QColor(60, 100, 210));
    p.drawPie(QRectF(9.8, 9.2, 8, 8), 0, 90 * 16);
}

void drawReportScheduleAccounts(QPainter& p)
{
    report(p, QColor(100, 100, 110));
    grid(p, QRectF(8.5, 9.5, 8, 8), 2, 3, QColor(40, 140, 70));
}

void drawCorrections(QPainter& p)
{
    pen(p, QColor(90, 80, 60));
    p.setBrush(QColor(250, 240, 205));
    p.drawRect(QRectF(1.5, 5.5, 14, 10));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF{QPointF(1.5, 5.5), QPointF(8.5, 11), QPointF(15.5, 5.5)});
    p.drawLine(QPointF(1.5, 15.5), QPointF(6.5, 10));
    p.drawLine(QPointF(15.5, 15.5), QPointF(10.5, 10));
    pencil(p, QPointF(9.5, 17.5), 6.5, QColor(40, 110, 220));
}

const std::function<void(QPainter&)> painters[Count] = {
    drawAccounts,       drawSchedule,           drawOrganizations,         drawBudgetCodes,
    drawPurposes,       drawIncomeAccounting,   drawIncomeKinds,           drawIncomeReport,
    drawReportAccounts, drawReportFinancing,    drawReportRemainders,      drawReportPurposes,
    drawReportArticles, drawReportMovement,     drawReportExecution,       drawReportAccountsShort,
    drawReportScheduleAccounts, drawCorrections,
};

const QList<QPixmap>& pixmaps()
{
    static const QList<QPixmap> list = [] {
        QList<QPixmap> out;
        for (int i = 0; i < Count; ++i) {
            QImage img(ImageSize, ImageSize, QImage::Format_ARGB32_Premultiplied);
            img.fill(Qt::transparent);
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            painters[i](p);
            p.end();
            out << QPixmap::fromImage(img);
        }
        return out;
    }();
    return list;
}

} // namespace

int imageCount() { return Count; }

QPixmap image(int n)
{
    if (n < 0 || n >= Count)
        return {};
    return pixmaps().at(n);
}

QIcon icon(int n)
{
    const QPixmap pm = image(n);
    return pm.isNull() ? QIcon() : QIcon(pm);
}

} // namespace ui
