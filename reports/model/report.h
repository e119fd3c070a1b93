#pragma once
// The banded report model: a report is a page set-up, a list of bands and the
// data sources its items read. Generating a report runs its hooks and lays the
// bands out on pages; the result is a PageSet of drawing primitives in
// millimetres (pageset.h), which one renderer paints for the preview, the
// printer and PDF alike.
#include "reports/model/pageset.h"

#include <QColor>
#include <QDateTime>
#include <QRectF>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace reports {

// What a report needs of a table: walk its rows in their current order and
// read a field of the current row. The report never looks further.
class DataSource {
public:
    virtual ~DataSource() = default;
    virtual QString name() const = 0;   // the name data texts use ("t1" in "t1.Facebill")
    virtual void first() = 0;
    virtual void next() = 0;
    virtual bool eof() const = 0;
    virtual QString displayText(const QString& field) const = 0;
    virtual double number(const QString& field) const = 0;   // null reads as 0
    // The field's value for the outputs that keep numbers and dates as such
    // (a sheet): a double or a QDate, with a number's display format in
    // `format`; invalid for a text, a null or a value shown through a hook.
    virtual QVariant value(const QString& field, QString* format) const
    {
        (void)field, (void)format;
        return {};
    }
    // Around one generation of the pages: a source may hold its store's
    // reads together meanwhile.
    virtual void beginPass() {}
    virtual void endPass() {}
};

enum class Align { Left, Center, Right };

enum FrameSide { FrameNone = 0, FrameTop = 1, FrameBottom = 2, FrameLeft = 4, FrameRight = 8, FrameAll = 15 };

struct Font {
    QString family = QStringLiteral("Arial");
    double pointSize = 10;
    bool bold = false, italic = false, underline = false;
};

class Band;
class Report;

// What an item's OnPrint hook may change for the one printing at hand.
struct ItemPrint {
    QString text;
    QColor color;
    // The value behind the text, for the sheet: a data text's field value or
    // a sum, as the generation finds it; a hook that replaces the text drops
    // it, unless it gives its own (setNumber).
    QVariant value;
    QString format;
    // The text of `v` in `displayFormat`, and `v` as the value.
    void setNumber(double v, const QString& displayFormat);
};

class Item {
public:
    enum class Kind { Label, DataText, Expression, SystemDate };
    enum class SysFormat { DateTime, Date, Time };

    Item(Kind kind, QString name) : kind_(kind), name_(std::move(name)) {}

    Kind kind() const { return kind_; }
    const QString& name() const { return name_; }

    QRectF rect;          // on the band, millimetres
    QString text;         // label: its caption
    QString source;       // data text: source name
    QString field;        //            and field
    QString expression;   // expression: "SUM(Table.Field)"
    QString displayFormat = QStringLiteral("#0.00");   // of an expression's result
    Band* sumBand = nullptr;   // the band whose records an expression adds up
    SysFormat sysFormat = SysFormat::DateTime;
    Font font;
    QColor color = Qt::black;
    QColor background;    // invalid: transparent
    Align align = Align::Left;
    int frame = FrameNone;
    double frameWidth = 0.2;   // mm
    bool wordWrap = false;
    bool stretch = false;      // wraps within its width; the band grows to fit

    // Runs just before the item prints, only when its text is not empty.
    std::function<void(Item&, ItemPrint&)> onPrint;

    // Chainable set-up.
    Item& at(double x, double y, double w, double h) { rect = QRectF(x, y, w, h); return *this; }
    Item& withFont(double pt, bool bold = false, bool italic = false, const QString& family = {});
    Item& aligned(Align a) { align = a; return *this; }
    Item& framed(int sides) { frame = sides; return *this; }
    Item& stretching() { stretch = wordWrap = true; return *this; }
    Item& wrapped() { wordWrap = true; return *this; }

private:
    Kind kind_;
    QString name_;
};

class Band {
public:
    enum class Type { Title, ColumnHeader, Group, Detail, SubDetail, SubHeader, SubFooter, Summary };

    Band(Type type, QString name, double height) : height(height), type_(type), name_(std::move(name)) {}

    Type type() const { return type_; }
    const QString& name() const { return name_; }

    double height;          // millimetres, before stretching
    QColor background;      // invalid: none
    bool topLine = false;   // a frame line along the band's top edge
    bool printIfEmpty = false;   // sub-detail: header, one empty line and footer when its source is empty

    // Group band: printed before a detail band when this value changes; either
    // a "Table.Field" expression or a function.
    QString groupExpression;
    std::function<QString()> groupValue;

    // Runs just before the band prints; clearing the flag leaves it out.
    std::function<void(Band&, bool& print)> beforePrint;

    // Sub-detail: its own data source, header and footer.
    void setSource(DataSource* s) { source_ = s; }
    DataSource* source() const { return source_; }
    Band* header() const { return header_; }
    Band* footer() const { return footer_; }
    Band* owner() const { return owner_; }

    // A new item stands at the band's left edge, 40 mm wide and as high as the band.
    Item& addLabel(const QString& name, const QString& text);
    Item& addDataText(const QString& name, const QString& source, const QString& field);
    Item& addExpression(const QString& name, const QString& expression, Band* sumBand = nullptr);
    Item& addSystemDate(const QString& name, Item::SysFormat f = Item::SysFormat::DateTime);
    Item* item(const QString& name) const;
    const std::vector<std::unique_ptr<Item>>& items() const { return items_; }

private:
    friend class Report;
    Type type_;
    QString name_;
    DataSource* source_ = nullptr;
    Band* header_ = nullptr;
    Band* footer_ = nullptr;
    Band* owner_ = nullptr;
    std::vector<std::unique_ptr<Item>> items_;
};

enum class Orientation { Portrait, Landscape };

struct PageSetup {
    double paperWidth = 215.9, paperHeight = 279.4;   // Letter, portrait, mm
    Orientation orientation = Orientation::Portrait;
    double top = 7, bottom = 7, left = 7, right = 7;
    double pageNumberHeight = 5;   // kept free at the foot of every page for its number

    double pageWidth() const { return orientation == Orientation::Portrait ? paperWidth : paperHeight; }
    double pageHeight() const { return orientation == Orientation::Portrait ? paperHeight : paperWidth; }
    double bandWidth() const { return pageWidth() - left - right; }
};

class Report {
public:
    explicit Report(QString name = {});
    ~Report();
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    const QString& name() const { return name_; }
    PageSetup page;
    Font defaultFont;
    bool pageNumbers = true;

    // The master source: the detail band prints once per row of it.
    void setMaster(DataSource* s);
    DataSource* master() const { return master_; }
    // Any other source a data text names (a look-up table, a work table).
    void addSource(DataSource* s);
    DataSource* findSource(const QString& name) const;

    // Bands. There is at most one title, column header, detail and summary
    // band; sub-details print after each detail band in the order they were
    // added; groups print before the detail band in the order they were added.
    Band& title(double height);
    Band& columnHeader(double height);
    Band& detail(double height);
    Band& summary(double height);
    Band& addGroup(const QString& name, double height, const QString& expression = {});
    Band& addSubDetail(const QString& name, DataSource* source, double height);
    Band& subHeader(Band& subDetail, double height);
    Band& subFooter(Band& subDetail, double height);
    Band* band(const QString& name) const;
    Item* item(const QString& name) const;   // by name, on any band

    // Runs each time before the pages are generated.
    std::function<void(Report&)> beforePrint;

    // Runs the hooks and lays out the pages; `now` is the generation time
    // printed by system-date items. What a generation keeps while it runs
    // (running sums, the styles and strings of its pages) is its own: the
    // report stays as it was designed, whatever else is generated meanwhile.
    PageSet generate(const QDateTime& now = QDateTime::currentDateTime());

private:
    struct Layout;
    Band& single(Band*& slot, Band::Type type, const QString& name, double height);
    Band* make(Band::Type type, const QString& name, double height);

    QString name_;
    DataSource* master_ = nullptr;
    std::vector<DataSource*> sources_;
    std::vector<std::unique_ptr<Band>> bands_;
    Band *title_ = nullptr, *columnHeader_ = nullptr, *detail_ = nullptr, *summary_ = nullptr;
    std::vector<Band*> groups_, subDetails_;
};

// The finance body's name at the top right of a title band: right-aligned,
// 8 points, spanning the band except its left part. Its OnPrint hook
// (OrgNameQRLabelPrint) asks `orgName` for the text each time it prints; an
// empty answer prints nothing.
Item& addOrgNameQRLabel(Report& report, Band& titleBand, std::function<QString()> orgName);

} // namespace reports
