// The sheet as an XLSX workbook, written by libxlsxwriter.
#include "reports/model/report.h"
#include "reports/model/sheet.h"

#include <QHash>
#include <memory>
#include <xlsxwriter.h>

namespace reports {

namespace {

// Column widths in a spreadsheet's units (the width of a digit of its
// default font, about 1.9 mm).
constexpr double MmPerWidthUnit = 1.9;

QString sheetName(const QString& name)
{
    // A worksheet's name: at most 31 characters, none of []:*?/\.
    QString s;
    for (QChar ch : name)
        if (!QStringLiteral("[]:*?/\\").contains(ch))
            s += ch;
    s = s.trimmed().left(31);
    return s.isEmpty() ? QStringLiteral("Отчет") : s;
}

lxw_color_t rgb(const QColor& c) { return lxw_color_t((c.red() << 16) | (c.green() << 8) | c.blue()); }

bool plainWhite(const QColor& c) { return !c.isValid() || c == QColor(Qt::white); }

class Formats {
public:
    Formats(lxw_workbook* wb, const Sheet& sheet) : wb_(wb), sheet_(sheet) {}

    lxw_format* of(const SheetCell* c, const QColor& rowBackground)
    {
        const QColor bg = c && !plainWhite(c->background) ? c->background : rowBackground;
        // Cells of one look share a format: known by their style, frame,
        // number format and fill, without making a text of them for each cell.
        if (c && c->type == SheetCell::Type::Number && !(c->format.constData() == lastFormat_.constData() || c->format == lastFormat_)) {
            lastFormat_ = c->format;
            lastNum_ = sheetNumberFormat(c->format);
        }
        const QString num = !c                                    ? QString()
                            : c->type == SheetCell::Type::Date   ? QStringLiteral("dd.mm.yyyy")
                            : c->type == SheetCell::Type::Number ? lastNum_
                                                                 : QString();
        qint64 numId = 0;
        if (!num.isEmpty()) {
            auto n = numIds_.constFind(num);
            if (n == numIds_.constEnd())
                n = numIds_.insert(num, numIds_.size() + 1);
            numId = *n;
        }
        const quint64 key = (quint64(c ? c->style + 1 : 0) << 40) | (quint64(c ? c->frame & 15 : 0) << 36) |
                            (quint64(c ? int(c->type) & 3 : 0) << 34) | (quint64(numId & 0x1ff) << 25) |
                            (plainWhite(bg) ? 0 : (quint64(1) << 24) | quint64(rgb(bg) & 0xffffff));
        if (lxw_format* f = known_.value(key))
            return f;
        lxw_format* f = workbook_add_format(wb_);
        if (c) {
            const TextStyle& st = sheet_.styles ? (*sheet_.styles)[c->style] : TextStyle{};
            if (!st.family.isEmpty())
                format_set_font_name(f, st.family.toUtf8().constData());
            format_set_font_size(f, st.pointSize);
            if (st.bold)
                format_set_bold(f);
            if (st.italic)
                format_set_italic(f);
            if (st.underline)
                format_set_underline(f, LXW_UNDERLINE_SINGLE);
            if (st.align & Qt::AlignHCenter)
                format_set_align(f, LXW_ALIGN_CENTER);
            else if (st.align & Qt::AlignRight)
                format_set_align(f, LXW_ALIGN_RIGHT);
            else if (c->type == SheetCell::Type::Text)
                format_set_align(f, LXW_ALIGN_LEFT);
            format_set_align(f, LXW_ALIGN_VERTICAL_TOP);
            if (st.wrap && c->type == SheetCell::Type::Text)
                format_set_text_wrap(f);
            if (c->frame & FrameTop)
                format_set_top(f, LXW_BORDER_THIN);
            if (c->frame & FrameBottom)
                format_set_bottom(f, LXW_BORDER_THIN);
            if (c->frame & FrameLeft)
                format_set_left(f, LXW_BORDER_THIN);
            if (c->frame & FrameRight)
                format_set_right(f, LXW_BORDER_THIN);
            if (!num.isEmpty())
                format_set_num_format(f, num.toUtf8().constData());
        }
        if (!plainWhite(bg)) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, rgb(bg));
        }
        known_.insert(key, f);
        return f;
    }

private:
    lxw_workbook* wb_;
    const Sheet& sheet_;
    QHash<quint64, lxw_format*> known_;
    QHash<QString, qint64> numIds_;
    QString lastFormat_, lastNum_;
};

} // namespace

namespace {

// A workbook being written, a row at a time.
class Workbook {
public:
    // `columns`: the sheet's column widths and styles, its rows not needed.
    Workbook(const QString& fileName, const QString& name, const Sheet& columns)
        : fileName_(fileName), wb_(workbook_new(fileName.toLocal8Bit().constData())), sheet_(columns)
    {
        // Not in constant-memory mode: that mode cannot merge the cells of a heading.
        if (!wb_)
            return;
        ws_ = workbook_add_worksheet(wb_, sheetName(name).toUtf8().constData());
        worksheet_fit_to_pages(ws_, 1, 0);   // printed as wide as one page
        formats_ = std::make_unique<Formats>(wb_, sheet_);
        for (int c = 0; c < columns_(); ++c)
            worksheet_set_column(ws_, lxw_col_t(c), lxw_col_t(c), sheet_.columnWidths[size_t(c)] / MmPerWidthUnit, nullptr);
    }

    bool ok() const { return wb_ != nullptr; }

    void row(const SheetRow& row)
    {
        const lxw_row_t rr = lxw_row_t(r_++);
        const bool filled = !plainWhite(row.background);
        int col = 0;
        auto blanksTo = [&](int end) {
            for (; col < end; ++col)
                if (filled)
                    worksheet_write_blank(ws_, rr, lxw_col_t(col), formats_->of(nullptr, row.background));
        };
        for (const SheetCell& c : row.cells) {
            blanksTo(c.column);
            lxw_format* f = formats_->of(&c, row.background);
            const lxw_col_t cc = lxw_col_t(c.column);
            if (c.type == SheetCell::Type::Number) {
                worksheet_write_number(ws_, rr, cc, c.number, f);
            } else if (c.type == SheetCell::Type::Date) {
                // The day's number counted from 30 December 1899.
                worksheet_write_number(ws_, rr, cc, c.number - double(QDate(1899, 12, 30).toJulianDay()), f);
            } else {
                utf8_ = c.text.toUtf8();
                if (c.span > 1)
                    worksheet_merge_range(ws_, rr, cc, rr, lxw_col_t(c.column + c.span - 1), utf8_.constData(), f);
                else if (utf8_.isEmpty())
                    worksheet_write_blank(ws_, rr, cc, f);
                else
                    worksheet_write_string(ws_, rr, cc, utf8_.constData(), f);
            }
            col = c.column + c.span;
        }
        blanksTo(columns_());
    }

    bool close(QString* error)
    {
        if (!wb_) {
            if (error)
                *error = QStringLiteral("cannot create %1").arg(fileName_);
            return false;
        }
        const lxw_error e = workbook_close(wb_);
        wb_ = nullptr;
        if (e != LXW_NO_ERROR) {
            if (error)
                *error = QStringLiteral("cannot write %1: %2").arg(fileName_, QString::fromUtf8(lxw_strerror(e)));
            return false;
        }
        return true;
    }

private:
    int columns_() const { return int(sheet_.columnWidths.size()); }
    QString fileName_;
    lxw_workbook* wb_;
    lxw_worksheet* ws_ = nullptr;
    const Sheet sheet_;   // its columns and styles
    std::unique_ptr<Formats> formats_;
    size_t r_ = 0;
    QByteArray utf8_;
};

} // namespace

bool writeXlsx(const Sheet& sheet, const QString& fileName, const QString& name, QString* error)
{
    Workbook wb(fileName, name, sheet);
    if (wb.ok())
        for (const SheetRow& row : sheet.rows)
            wb.row(row);
    return wb.close(error);
}

bool writeXlsx(const PageSet& pages, const QString& fileName, const QString& name, QString* error)
{
    // The rows go to the workbook as the sheet makes them, its columns known before the first.
    std::unique_ptr<Workbook> wb;
    const Sheet columns = makeSheet(pages, [&](const Sheet& sheet, SheetRow&& row) {
        if (!wb)
            wb = std::make_unique<Workbook>(fileName, name, sheet);
        if (wb->ok())
            wb->row(row);
    });
    if (!wb)
        wb = std::make_unique<Workbook>(fileName, name, columns);
    return wb->close(error);
}

} // namespace reports
