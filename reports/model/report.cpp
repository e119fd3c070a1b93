#include "reports/model/report.h"

#include "core/store/format.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <deque>
#include <unordered_map>

namespace reports {

Item& Item::withFont(double pt, bool bold, bool italic, const QString& family)
{
    font.pointSize = pt;
    font.bold = bold;
    font.italic = italic;
    if (!family.isEmpty())
        font.family = family;
    return *this;
}

void ItemPrint::setNumber(double v, const QString& displayFormat)
{
    text = store::formatNumber(v, displayFormat);
    value = v;
    format = displayFormat;
}

Item& Band::addLabel(const QString& name, const QString& text)
{
    items_.push_back(std::make_unique<Item>(Item::Kind::Label, name));
    items_.back()->rect = QRectF(0, 0, 40, height);
    items_.back()->text = text;
    return *items_.back();
}

Item& Band::addDataText(const QString& name, const QString& source, const QString& field)
{
    items_.push_back(std::make_unique<Item>(Item::Kind::DataText, name));
    items_.back()->rect = QRectF(0, 0, 40, height);
    items_.back()->source = source;
    items_.back()->field = field;
    return *items_.back();
}

Item& Band::addExpression(const QString& name, const QString& expression, Band* sumBand)
{
    items_.push_back(std::make_unique<Item>(Item::Kind::Expression, name));
    items_.back()->rect = QRectF(0, 0, 40, height);
    items_.back()->expression = expression;
    items_.back()->sumBand = sumBand;
    return *items_.back();
}

Item& Band::addSystemDate(const QString& name, Item::SysFormat f)
{
    items_.push_back(std::make_unique<Item>(Item::Kind::SystemDate, name));
    items_.back()->rect = QRectF(0, 0, 40, height);
    items_.back()->sysFormat = f;
    return *items_.back();
}

Item* Band::item(const QString& name) const
{
    for (const auto& i : items_)
        if (i->name() == name)
            return i.get();
    return nullptr;
}

Report::Report(QString name) : name_(std::move(name)) {}
Report::~Report() = default;

void Report::setMaster(DataSource* s)
{
    master_ = s;
    addSource(s);
}

void Report::addSource(DataSource* s)
{
    if (s && std::find(sources_.begin(), sources_.end(), s) == sources_.end())
        sources_.push_back(s);
}

DataSource* Report::findSource(const QString& name) const
{
    for (DataSource* s : sources_)
        if (s->name().compare(name, Qt::CaseInsensitive) == 0)
            return s;
    return nullptr;
}

Band* Report::make(Band::Type type, const QString& name, double height)
{
    bands_.push_back(std::make_unique<Band>(type, name, height));
    return bands_.back().get();
}

Band& Report::single(Band*& slot, Band::Type type, const QString& name, double height)
{
    if (!slot)
        slot = make(type, name, height);
    slot->height = height;
    return *slot;
}

Band& Report::title(double h) { return single(title_, Band::Type::Title, QStringLiteral("TitleBand"), h); }
Band& Report::columnHeader(double h) { return single(columnHeader_, Band::Type::ColumnHeader, QStringLiteral("ColumnHeaderBand"), h); }
Band& Report::detail(double h) { return single(detail_, Band::Type::Detail, QStringLiteral("DetailBand1"), h); }
Band& Report::summary(double h) { return single(summary_, Band::Type::Summary, QStringLiteral("SummaryBand1"), h); }

Band& Report::addGroup(const QString& name, double height, const QString& expression)
{
    Band* b = make(Band::Type::Group, name, height);
    b->groupExpression = expression;
    groups_.push_back(b);
    return *b;
}

Band& Report::addSubDetail(const QString& name, DataSource* source, double height)
{
    Band* b = make(Band::Type::SubDetail, name, height);
    b->source_ = source;
    addSource(source);
    subDetails_.push_back(b);
    return *b;
}

Band& Report::subHeader(Band& sd, double height)
{
    if (!sd.header_) {
        sd.header_ = make(Band::Type::SubHeader, sd.name() + QStringLiteral("Header"), height);
        sd.header_->owner_ = &sd;
    }
    sd.header_->height = height;
    return *sd.header_;
}

Band& Report::subFooter(Band& sd, double height)
{
    if (!sd.footer_) {
        sd.footer_ = make(Band::Type::SubFooter, sd.name() + QStringLiteral("Footer"), height);
        sd.footer_->owner_ = &sd;
    }
    sd.footer_->height = height;
    return *sd.footer_;
}

Band* Report::band(const QString& name) const
{
    for (const auto& b : bands_)
        if (b->name() == name)
            return b.get();
    return nullptr;
}

Item* Report::item(const QString& name) const
{
    for (const auto& b : bands_)
        if (Item* i = b->item(name))
            return i;
    return nullptr;
}

// ---------------------------------------------------------------- generation

namespace {
int qtAlign(const Item& it)
{
    return it.align == Align::Left ? Qt::AlignLeft : it.align == Align::Center ? Qt::AlignHCenter : Qt::AlignRight;
}

TextStyle styleOf(const Item& it)
{
    TextStyle t;
    t.family = it.font.family;
    t.pointSize = it.font.pointSize;
    t.bold = it.font.bold;
    t.italic = it.font.italic;
    t.underline = it.font.underline;
    t.align = qtAlign(it);
    t.wrap = it.wordWrap;
    return t;
}

bool sameLook(const TextStyle& t, const Item& it)
{
    return t.family == it.font.family && t.pointSize == it.font.pointSize && t.bold == it.font.bold &&
           t.italic == it.font.italic && t.underline == it.font.underline && t.align == qtAlign(it) &&
           t.wrap == it.wordWrap;
}

constexpr double Inset = 0.5;   // mm between a frame and its text
} // namespace

// One generation of the pages: everything it keeps while it runs, apart
// from the report it reads.
struct Report::Layout {
    Layout(Report& r, const QDateTime& now) : r(r), now(now) { ps.styles = styles; }

    Report& r;
    const QDateTime now;
    PageSet ps;
    std::shared_ptr<TextStyles> styles = std::make_shared<TextStyles>();
    double y = 0;
    bool body = false;   // the page holds more than its column header
    // The bands as printed, for the sheet.
    std::shared_ptr<PrintedBands> printed = std::make_shared<PrintedBands>();
    bool repeating = false;   // the column header of a new page is printing

    // A running sum: an expression adding up a field over the records a band prints.
    struct Sum {
        Band* band;
        DataSource* source;
        QString field;
        double value = 0;
    };
    std::vector<Sum> sums;

    // A text broken into lines.
    struct Broken {
        QString text;
        int lines = 1;
    };

    // What the generation knows of an item.
    struct ItemState {
        int sum = -1;   // its running sum, an expression's
        // The style it printed with last, and its number.
        bool styled = false;
        TextStyle style;
        quint32 number = 0;
        int breaks = -1;   // its texts broken for its style and width
        double breakWidth = 0;
        QString lastInput;   // the text it broke last, and how
        Broken lastBroken;
        // The source its data text reads, for the name it was found by.
        DataSource* source = nullptr;
        QString sourceName;
        size_t sources = 0;
        QString last;   // the text it printed last
        // How often a text of its was found among those printed before: a
        // column whose texts hardly repeat (amounts) is not looked up.
        int lookups = 0, found = 0;
    };
    std::unordered_map<const Band*, std::vector<ItemState>> states;   // its nodes stay where they are

    std::vector<ItemState>& statesOf(const Band& b)
    {
        std::vector<ItemState>& s = states[&b];
        if (s.size() < b.items().size())   // a hook may have added an item
            s.resize(b.items().size());
        return s;
    }

    // Texts are laid out once for a style and a width: names and codes repeat
    // from row to row.
    struct Breaks {
        quint32 style;
        double width;
        QHash<QString, Broken> texts;
    };
    std::vector<Breaks> breaks;

    // One copy of each text that repeats, whoever printed it; wrapped texts
    // are shared through their lines.
    QSet<QString> strings;

    // The texts of the page being made; the page takes them when it is done,
    // in a list just long enough for them and the page number.
    std::vector<TextRun> texts;

    // The items of a band being printed; a band that moves to a new page
    // prints the column header meanwhile.
    struct Out {
        const Item* item;
        ItemState* state;
        ItemPrint p;
        double h;
        float top;
    };
    std::deque<std::vector<Out>> outs;   // by depth; a deque keeps them where they are
    size_t depth = 0;

    // Two texts alike; the same data is the same text (a text shared is never
    // changed in place).
    static bool same(const QString& a, const QString& b)
    {
        return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
    }

    double limit() const
    {
        return r.page.pageHeight() - r.page.bottom - (r.pageNumbers ? r.page.pageNumberHeight : 0);
    }

    void closePage()
    {
        if (ps.pages.empty())
            return;
        Page& last = ps.pages.back();
        last.texts.reserve(last.texts.size() + qsizetype(texts.size()) + 1);   // and its page number
        for (TextRun& t : texts)
            last.texts.push_back(std::move(t));
        texts.clear();
        last.lines.squeeze();
        last.fills.squeeze();
    }

    void newPage(bool withHeader)
    {
        closePage();
        Page p;
        p.width = r.page.pageWidth();
        p.height = r.page.pageHeight();
        p.styles = styles;
        ps.pages.push_back(std::move(p));
        y = r.page.top;
        body = false;
        if (withHeader && r.columnHeader_) {
            repeating = true;
            print(*r.columnHeader_);
            repeating = false;
        }
    }

    DataSource* sourceOf(const Item& it, ItemState& st)
    {
        if (st.sources != r.sources_.size() || !same(st.sourceName, it.source)) {
            st.source = r.findSource(it.source);
            st.sourceName = it.source;
            st.sources = r.sources_.size();
        }
        return st.source;
    }

    QString textOf(const Item& it, ItemState& st, bool emptyLine)
    {
        switch (it.kind()) {
        case Item::Kind::Label:
            return it.text;
        case Item::Kind::DataText: {
            if (emptyLine)
                return {};
            // A table past its last row still stands on that row and shows it;
            // an empty one shows nothing (the source answers both).
            DataSource* s = sourceOf(it, st);
            return s ? s->displayText(it.field) : QString();
        }
        case Item::Kind::Expression:
            return store::formatNumber(st.sum >= 0 ? sums[size_t(st.sum)].value : 0, it.displayFormat);
        case Item::Kind::SystemDate:
            return it.sysFormat == Item::SysFormat::Date   ? now.toString(QStringLiteral("dd.MM.yyyy"))
                   : it.sysFormat == Item::SysFormat::Time ? now.toString(QStringLiteral("hh:mm:ss"))
                                                           : now.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
        }
        return {};
    }

    // The value behind a data text or a sum, for the sheet.
    void valueOf(const Item& it, ItemState& st, bool emptyLine, ItemPrint& p)
    {
        if (it.kind() == Item::Kind::DataText && !emptyLine) {
            if (DataSource* s = sourceOf(it, st))
                p.value = s->value(it.field, &p.format);
        } else if (it.kind() == Item::Kind::Expression) {
            p.value = st.sum >= 0 ? sums[size_t(st.sum)].value : 0.0;
            p.format = it.displayFormat;
        }
    }

    // The number of the item's style; kept while its font, alignment and
    // wrap stay as they are.
    quint32 styleNumber(const Item& it, ItemState& st)
    {
        if (!st.styled || !sameLook(st.style, it)) {
            st.style = styleOf(it);
            st.number = styles->add(st.style);
            st.styled = true;
            st.breaks = -1;
        }
        return st.number;
    }

    // The text broken into lines that fit the item's width.
    const Broken& broken(const QString& text, ItemState& st, double width)
    {
        if (st.breaks < 0 || st.breakWidth != width) {
            auto k = std::find_if(breaks.begin(), breaks.end(),
                                  [&](const Breaks& b) { return b.style == st.number && b.width == width; });
            if (k == breaks.end()) {
                breaks.push_back({st.number, width, {}});
                k = breaks.end() - 1;
            }
            st.breaks = int(k - breaks.begin());
            st.breakWidth = width;
            st.lastInput.clear();
        } else if (!st.lastInput.isNull() && same(text, st.lastInput)) {
            return st.lastBroken;
        }
        QHash<QString, Broken>& known = breaks[size_t(st.breaks)].texts;
        auto b = known.constFind(text);
        if (b == known.constEnd()) {
            int lines = 1;
            QString t = styles->breakLines(text, st.number, width, &lines);
            b = known.insert(text, {t, lines});
        }
        st.lastInput = text;
        st.lastBroken = *b;
        return st.lastBroken;
    }

    // The copy of `text` the pages share.
    QString shared(const QString& text, ItemState& st)
    {
        if (same(text, st.last))
            return st.last;
        constexpr int Trial = 4096;   // texts looked up before the item's repeats are judged
        if (st.lookups >= Trial && st.found * 4 < st.lookups) {
            st.last = text;
            return text;
        }
        ++st.lookups;
        auto s = strings.constFind(text);
        if (s == strings.constEnd())
            s = strings.insert(text);
        else
            ++st.found;
        st.last = *s;
        return st.last;
    }

    bool print(Band& b, bool emptyLine = false)
    {
        if (b.beforePrint) {
            bool ok = true;
            b.beforePrint(b, ok);
            if (!ok)
                return false;
        }
        if (outs.size() <= depth)
            outs.resize(depth + 1);
        std::vector<Out>& out = outs[depth];
        out.clear();
        std::vector<ItemState>& state = statesOf(b);
        double h = b.height;
        for (size_t i = 0; i < b.items().size(); ++i) {
            Item& it = *b.items()[i];
            ItemState& st = state[i];
            ItemPrint p{textOf(it, st, emptyLine), it.color, {}, {}};
            valueOf(it, st, emptyLine, p);
            if (!p.text.isEmpty() && it.onPrint) {
                // A hook that puts a text of its own in place of the value's
                // text leaves a text, unless it gives a value too.
                const QString before = p.text;
                QVariant value = std::move(p.value);
                p.value = QVariant();
                it.onPrint(it, p);
                if (!p.value.isValid() && same(p.text, before))
                    p.value = std::move(value);
            }
            double ih = it.rect.height();
            float top = -1;   // one line: centred in the item, as every one-line text
            if (!p.text.isEmpty()) {
                const quint32 style = styleNumber(it, st);
                int lines = 1;
                if (it.wordWrap) {
                    // The pages share the broken text with every row that printed it.
                    const Broken& br = broken(p.text, st, it.rect.width() - 2 * Inset);
                    p.text = br.text;
                    lines = br.lines;
                } else {
                    if (p.text.contains(QLatin1Char('\n')))
                        lines = int(p.text.count(QLatin1Char('\n'))) + 1;
                    p.text = shared(p.text, st);
                }
                if (lines > 1) {
                    const double lh = styles->fontMeasures(style).height;
                    // More lines start where one line would stand and go on
                    // downwards; a stretching item grows to hold them all with
                    // the same room under them.
                    const double pad = std::max(0.0, (ih - lh) / 2), all = styles->linesHeight(style, lines);
                    if (it.stretch)
                        ih = std::max(ih, 2 * pad + all);
                    top = float(std::max(0.0, std::min(pad, ih - all)));   // a fixed box: up so that they fit
                } else if (it.stretch) {
                    ih = std::max(ih, styles->fontMeasures(style).height);
                }
                if (it.stretch)   // a grown item keeps the room the band left under it
                    h = std::max(h, it.rect.top() + ih + std::max(0.0, b.height - it.rect.bottom()));
            }
            h = std::max(h, it.rect.top() + ih);
            out.push_back({&it, &st, std::move(p), ih, top});
        }
        if (y + h > limit() + 1e-6 && body && b.type() != Band::Type::ColumnHeader) {
            ++depth;
            newPage(true);
            --depth;
        }
        Page& pg = ps.pages.back();
        const double x0 = r.page.left, w = r.page.bandWidth();
        if (b.background.isValid())
            pg.fills.push_back({QRectF(x0, y, w, h), b.background});
        if (b.topLine)
            pg.lines.push_back({QLineF(x0, y, x0 + w, y), 0.2, Qt::black});
        record(b, h, out);
        for (Out& o : out) {
            const Item& it = *o.item;
            QRectF rc(x0 + it.rect.left(), y + it.rect.top(), it.rect.width(), o.h);
            if (it.background.isValid())
                pg.fills.push_back({rc, it.background});
            if (!o.p.text.isEmpty()) {
                TextRun t;
                t.style = o.state->number;
                t.rect = rc.adjusted(Inset, 0, -Inset, 0);
                t.text = std::move(o.p.text);
                t.color = o.p.color;
                t.top = o.top;
                texts.push_back(std::move(t));
            }
            if (it.frame & FrameTop)
                pg.lines.push_back({QLineF(rc.topLeft(), rc.topRight()), it.frameWidth, Qt::black});
            if (it.frame & FrameBottom)
                pg.lines.push_back({QLineF(rc.bottomLeft(), rc.bottomRight()), it.frameWidth, Qt::black});
            if (it.frame & FrameLeft)
                pg.lines.push_back({QLineF(rc.topLeft(), rc.bottomLeft()), it.frameWidth, Qt::black});
            if (it.frame & FrameRight)
                pg.lines.push_back({QLineF(rc.topRight(), rc.bottomRight()), it.frameWidth, Qt::black});
            if (o.state->sum >= 0)
                sums[size_t(o.state->sum)].value = 0;   // an expression starts again after it prints
        }
        y += h;
        if (b.type() != Band::Type::ColumnHeader)
            body = true;
        if (!emptyLine)
            for (Sum& s : sums)
                if (s.band == &b && s.source && !s.source->eof())
                    s.value += s.source->number(s.field);
        return true;
    }

    // The band as it prints now, before its texts go to the page.
    void record(const Band& b, double h, const std::vector<Out>& out)
    {
        PrintedBands& pr = *printed;
        PrintedBand pb;
        pb.page = int(ps.pages.size()) - 1;
        pb.y = y;
        pb.height = h;
        pb.background = b.background;
        pb.kind = b.type() == Band::Type::Title          ? PrintedBand::Kind::Title
                  : b.type() == Band::Type::ColumnHeader ? PrintedBand::Kind::ColumnHeader
                                                         : PrintedBand::Kind::Body;
        pb.repeated = repeating && b.type() == Band::Type::ColumnHeader;
        pb.topLine = b.topLine;
        pb.first = quint32(pr.cells.size());
        qint32 run = qint32(texts.size());   // where the band's texts go on the page
        for (const Out& o : out) {
            const Item& it = *o.item;
            const qint32 r = o.p.text.isEmpty() ? -1 : run++;
            if (o.p.text.isEmpty() && !it.frame && !it.background.isValid())
                continue;
            PrintedCell c;
            c.rect = it.rect;
            c.run = r;
            c.background = it.background;
            c.style = o.p.text.isEmpty() ? 0 : o.state->number;
            c.frame = quint8(it.frame);
            if (!o.p.text.isEmpty()) {
                if (o.p.value.typeId() == QMetaType::Double) {
                    c.type = PrintedCell::Type::Number;
                    c.number = o.p.value.toDouble();
                    c.format = o.p.format;
                } else if (o.p.value.typeId() == QMetaType::QDate && o.p.value.toDate().isValid()) {
                    c.type = PrintedCell::Type::Date;
                    c.number = double(o.p.value.toDate().toJulianDay());
                }
            }
            pr.cells.push_back(std::move(c));
        }
        pb.count = quint32(pr.cells.size()) - pb.first;
        pr.bands.push_back(pb);
    }

    void printSub(Band& sd)
    {
        DataSource* s = sd.source();
        if (!s)
            return;
        s->first();
        if (s->eof()) {
            if (!sd.printIfEmpty)
                return;
            if (sd.header())
                print(*sd.header());
            print(sd, true);
            if (sd.footer())
                print(*sd.footer());
            return;
        }
        if (sd.header())
            print(*sd.header());
        for (; !s->eof(); s->next())
            print(sd);
        if (sd.footer())
            print(*sd.footer());
    }

    QString groupValue(const Band& g)
    {
        if (g.groupValue)
            return g.groupValue();
        const int dot = g.groupExpression.indexOf(QLatin1Char('.'));
        DataSource* s = dot > 0 ? r.findSource(g.groupExpression.left(dot)) : r.master_;
        return s ? s->displayText(g.groupExpression.mid(dot + 1)) : QString();
    }
};

PageSet Report::generate(const QDateTime& now)
{
    struct Pass {
        const std::vector<DataSource*> sources;   // as they stand now: a hook may add one
        explicit Pass(const std::vector<DataSource*>& s) : sources(s)
        {
            for (DataSource* d : sources)
                d->beginPass();
        }
        ~Pass()
        {
            for (DataSource* d : sources)
                d->endPass();
        }
    } pass(sources_);
    if (beforePrint)
        beforePrint(*this);
    Layout L(*this, now);
    static const QRegularExpression sumRe(QStringLiteral(R"(^\s*SUM\s*\(\s*(\w+)\.(\w+)\s*\)\s*$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (const auto& b : bands_)
        for (size_t i = 0; i < b->items().size(); ++i) {
            const Item& it = *b->items()[i];
            if (it.kind() != Item::Kind::Expression)
                continue;
            auto m = sumRe.match(it.expression);
            if (!m.hasMatch())
                continue;
            DataSource* src = findSource(m.captured(1));
            Band* band = it.sumBand;
            if (!band) {   // the band that prints the summed table's records
                for (Band* sd : subDetails_)
                    if (sd->source() == src)
                        band = sd;
                if (!band)
                    band = detail_;
            }
            L.statesOf(*b)[i].sum = int(L.sums.size());
            L.sums.push_back({band, src, m.captured(2)});
        }

    L.newPage(false);
    if (title_)
        L.print(*title_);
    if (columnHeader_)
        L.print(*columnHeader_);
    if (master_) {
        std::vector<QString> last(groups_.size());
        bool firstRow = true;
        for (master_->first(); !master_->eof(); master_->next()) {
            for (size_t g = 0; g < groups_.size(); ++g) {
                QString v = L.groupValue(*groups_[g]);
                if (firstRow || v != last[g]) {
                    last[g] = v;
                    L.print(*groups_[g]);
                }
            }
            firstRow = false;
            if (detail_)
                L.print(*detail_);
            for (Band* sd : subDetails_)
                L.printSub(*sd);
        }
    }
    if (summary_)
        L.print(*summary_);
    L.closePage();
    L.ps.printed = std::move(L.printed);

    if (pageNumbers) {
        TextStyle st;
        st.family = defaultFont.family;
        st.pointSize = 8;
        st.align = Qt::AlignRight | Qt::AlignVCenter;
        const quint32 style = L.styles->add(st);
        const int n = L.ps.count();
        for (int i = 0; i < n; ++i) {
            TextRun t;
            t.style = style;
            t.rect = QRectF(page.left, page.pageHeight() - page.bottom - page.pageNumberHeight, page.bandWidth(),
                            page.pageNumberHeight);
            t.text = QStringLiteral("Страница %1 из %2").arg(i + 1).arg(n);
            L.ps.pages[size_t(i)].texts.push_back(std::move(t));
        }
    }
    return std::move(L.ps);
}

Item& addOrgNameQRLabel(Report& report, Band& band, std::function<QString()> orgName)
{
    const double w = report.page.bandWidth();
    Item& it = band.addLabel(QStringLiteral("OrgNameQRLabel"), QStringLiteral("OrgNameQRLabel"));
    it.at(w / 3, 0, w - w / 3, 4).withFont(8).aligned(Align::Right);
    // OrgNameQRLabelPrint: the name is read again every time the label prints.
    it.onPrint = [orgName = std::move(orgName)](Item&, ItemPrint& p) { p.text = orgName ? orgName() : QString(); };
    return it;
}

} // namespace reports
