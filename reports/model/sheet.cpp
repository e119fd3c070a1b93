#include "reports/model/sheet.h"

#include "core/store/format.h"

#include <QFile>
#include <algorithm>
#include <functional>

namespace reports {

namespace {

// Items starting within this distance of each other share a column: layouts
// place the columns of two tables a millimetre apart where they mean the same.
constexpr double SameColumn = 2.0;   // mm

bool counts(const PrintedBand& b) { return !b.repeated; }

// A text as it reads, shared with its page unless its lines must be joined.
QString cellText(const TextRun& t)
{
    return t.text.contains(LineBreak) || t.text.contains(QLatin1Char('\n')) ? t.plainText() : t.text;
}

} // namespace

QString sheetNumberFormat(const QString& displayFormat)
{
    if (displayFormat.isEmpty())
        return {};
    const int dot = displayFormat.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return QStringLiteral("0");
    int decimals = 0;
    for (int i = dot + 1; i < displayFormat.size() && (displayFormat[i] == QLatin1Char('0') || displayFormat[i] == QLatin1Char('#')); ++i)
        ++decimals;
    return decimals ? QStringLiteral("0.") + QString(decimals, QLatin1Char('0')) : QStringLiteral("0");
}

Sheet makeSheet(const PageSet& pages, const std::function<void(const Sheet& columns, SheetRow&& row)>& each)
{
    Sheet sheet;
    sheet.styles = pages.styles;
    if (!pages.printed)
        return sheet;
    const PrintedBands& pr = *pages.printed;

    // The column starts: where the items of the bands below the title start
    // (the title's texts go into the columns they stand over); the title's
    // own when nothing else printed.
    std::vector<double> xs;
    double right = 0;
    bool body = false;
    for (const PrintedBand& b : pr.bands)
        if (counts(b) && b.kind != PrintedBand::Kind::Title && b.count)
            body = true;
    for (const PrintedBand& b : pr.bands) {
        if (!counts(b))
            continue;
        for (quint32 i = b.first; i < b.first + b.count; ++i) {
            const PrintedCell& c = pr.cells[i];
            right = std::max(right, c.rect.right());
            if (b.kind != PrintedBand::Kind::Title || !body)
                xs.push_back(c.rect.left());
        }
    }
    std::sort(xs.begin(), xs.end());
    std::vector<double> starts;
    for (double x : xs)
        if (starts.empty() || x - starts.back() >= SameColumn)
            starts.push_back(x);
    if (starts.empty())
        return sheet;
    auto columnOf = [&](double x) {
        // The last column starting at or before x (within the tolerance).
        auto it = std::upper_bound(starts.begin(), starts.end(), x + SameColumn - 1e-6);
        return it == starts.begin() ? 0 : int(it - starts.begin()) - 1;
    };
    const int n = int(starts.size());
    sheet.columnWidths.resize(size_t(n));
    for (int c = 0; c < n; ++c)
        sheet.columnWidths[size_t(c)] = (c + 1 < n ? starts[size_t(c + 1)] : std::max(right, starts[size_t(c)] + 10)) - starts[size_t(c)];

    // A number or a date wider than its column would not show: its column
    // is made as wide as its widest one.
    for (const PrintedBand& b : pr.bands)
        for (quint32 i = b.first; i < b.first + b.count; ++i) {
            const PrintedCell& c = pr.cells[i];
            if (counts(b) && c.type != PrintedCell::Type::Text) {
                double& w = sheet.columnWidths[size_t(columnOf(c.rect.left()))];
                w = std::max(w, c.rect.width());
            }
        }

    for (const PrintedBand& b : pr.bands) {
        if (!counts(b) || (!b.count && !b.background.isValid()))
            continue;
        // The band's items in lines: those whose designed boxes overlap
        // from top to bottom print side by side.
        std::vector<const PrintedCell*> cells;
        cells.reserve(b.count);
        for (quint32 i = b.first; i < b.first + b.count; ++i)
            cells.push_back(&pr.cells[i]);
        std::stable_sort(cells.begin(), cells.end(),
                         [](const PrintedCell* a, const PrintedCell* c) { return a->rect.top() < c->rect.top(); });
        size_t i = 0;
        do {
            SheetRow row;
            row.background = b.background;
            double bottom = i < cells.size() ? cells[i]->rect.bottom() : 0;
            size_t j = i;
            while (j < cells.size() && (j == i || cells[j]->rect.top() < bottom - 0.01)) {
                bottom = std::max(bottom, cells[j]->rect.bottom());
                ++j;
            }
            std::vector<const PrintedCell*> line(cells.begin() + long(i), cells.begin() + long(j));
            std::stable_sort(line.begin(), line.end(),
                             [](const PrintedCell* a, const PrintedCell* c) { return a->rect.left() < c->rect.left(); });
            std::vector<bool> taken(size_t(n), false);
            std::vector<double> rights;   // where each cell of the row ends, mm
            for (const PrintedCell* p : line) {
                if (p->run < 0 && !p->frame && !p->background.isValid())
                    continue;
                int col = columnOf(p->rect.left());
                while (col < n && taken[size_t(col)])   // two items over one column: the next one free
                    ++col;
                if (col >= n)
                    continue;
                SheetCell c;
                c.column = col;
                if (p->run >= 0)
                    c.text = cellText(pages.pages[size_t(b.page)].texts[p->run]);
                c.number = p->number;
                c.format = p->format;
                if (p->type == PrintedCell::Type::Number)   // the figure the page shows
                    c.number = store::parseFloat(c.format.isEmpty() ? store::formatFloat(c.number)
                                                                    : store::formatNumber(c.number, c.format))
                                   .value_or(c.number);
                c.background = p->background;
                c.style = p->style;
                c.frame = p->frame;
                c.type = p->type == PrintedCell::Type::Number ? SheetCell::Type::Number
                         : p->type == PrintedCell::Type::Date ? SheetCell::Type::Date
                                                              : SheetCell::Type::Text;
                taken[size_t(col)] = true;
                row.cells.push_back(std::move(c));
                rights.push_back(p->rect.right());
            }
            // A text wider than its column that would not run on over the next
            // ones by itself (framed, centred, right-aligned or wrapped) stands
            // over the columns it covers, as far as they are free. (The cells
            // stand in the order of their columns: the items are taken from
            // left to right and a column taken moves an item only to the right.)
            for (size_t k = 0; k < row.cells.size(); ++k) {
                SheetCell& c = row.cells[k];
                if (c.type != SheetCell::Type::Text)
                    continue;
                const TextStyle& st = sheet.styles ? (*sheet.styles)[c.style] : TextStyle{};
                if (!c.frame && !st.wrap && !(st.align & (Qt::AlignHCenter | Qt::AlignRight)))
                    continue;
                const int next = k + 1 < row.cells.size() ? row.cells[k + 1].column : n;
                while (c.column + c.span < next && starts[size_t(c.column + c.span)] < rights[k] - SameColumn)
                    ++c.span;
            }
            if (each)
                each(sheet, std::move(row));
            else
                sheet.rows.push_back(std::move(row));
            i = j;
        } while (i < cells.size());
    }

    return sheet;
}

// ---------------------------------------------------------------- CSV

namespace {

void csvField(QByteArray& out, const QString& text)
{
    QByteArray s = text.toUtf8();
    if (s.contains(',') || s.contains('"') || s.contains('\n') || s.contains('\r')) {
        s.replace("\"", "\"\"");
        out += '"';
        out += s;
        out += '"';
    } else {
        out += s;
    }
}

QString csvNumber(double v, const QString& format)
{
    QString s = format.isEmpty() ? store::formatFloat(v) : store::formatNumber(v, format);
    s.replace(QLatin1Char(','), QLatin1Char('.'));
    return s;
}

} // namespace

namespace {
void csvRow(QByteArray& out, const SheetRow& row)
{
    {
        int col = 0;
        for (const SheetCell& c : row.cells) {
            if (c.text.isEmpty())
                continue;
            for (; col < c.column; ++col)
                out += ',';
            switch (c.type) {
            case SheetCell::Type::Number:
                out += csvNumber(c.number, c.format).toLatin1();
                break;
            case SheetCell::Type::Date:
                out += QDate::fromJulianDay(qint64(c.number)).toString(Qt::ISODate).toLatin1();
                break;
            case SheetCell::Type::Text: {
                QString t = c.text;
                t.replace(LineBreak, QLatin1Char(' '));
                csvField(out, t);
                break;
            }
            }
        }
        out += "\r\n";
    }
}
} // namespace

QByteArray sheetCsv(const Sheet& sheet)
{
    QByteArray out;
    for (const SheetRow& row : sheet.rows)
        csvRow(out, row);
    return out;
}

bool writeCsv(const PageSet& pages, const QString& fileName, QString* error)
{
    QFile f(fileName);
    bool ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray out;
    if (ok)
        makeSheet(pages, [&](const Sheet&, SheetRow&& row) {
            csvRow(out, row);
            if (out.size() >= (1 << 20) && ok) {   // written as it comes
                ok = f.write(out) == out.size();
                out.clear();
            }
        });
    if (!ok || f.write(out) != out.size() || !f.flush()) {
        if (error)
            *error = f.errorString();
        return false;
    }
    return true;
}

} // namespace reports
