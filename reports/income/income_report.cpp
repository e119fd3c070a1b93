#include "reports/income/income_report.h"

#include "core/datamodule/datamodule.h"
#include "core/store/format.h"
#include "core/store/session.h"
#include "core/store/table.h"

#include <memory>

namespace reports {

namespace {

const QColor Navy(0, 0, 128);

QString quoted(const QString& s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// An amount as printed, red when it shows below zero at two decimals (a
// value that rounds to 0,00 prints black).
void amount(ItemPrint& p, double v, bool red)
{
    const QString format = QStringLiteral("#0.00");
    p.text = store::formatNumber(v, format);
    if (red) {
        const double shown = store::formatNumber(v, QStringLiteral("0.00")).replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        p.color = shown < 0 ? QColor(Qt::red) : QColor(Qt::black);
    }
}

double number(store::Table& t, const char* field)
{
    return t.isOpen() && !t.isEmpty() ? t.fieldByName(QLatin1String(field)).asFloat() : 0.0;
}

} // namespace

QString IncomeSelection::kindText() const
{
    return kind ? QStringLiteral("Вид прихода/расхода: по маске ") + kindMask : QStringLiteral("Вид прихода/расхода: Все");
}

QString IncomeSelection::orgLabel() const
{
    return org && orgMask != QString(OrgWidth, QLatin1Char(' ')) && !orgMask.isEmpty() ? orgMask
                                                                                       : QStringLiteral("всем организациям");
}

IncomeReport::IncomeReport(dm::TDataBase1& db)
    : db_(db), dorg_(db.DOrgTable), din_(db.DInTable), dout_(db.DOutTable), umd1_(db.Umd1Table)
{
    buildLayout();
}

QString IncomeReport::orgExpression() const
{
    return sel_.org ? QStringLiteral("MASK(Org, %1)").arg(quoted(sel_.orgMask)) : QString();
}

QString IncomeReport::entryExpression(const QDate& lower, const QDate& upper) const
{
    QStringList c;
    if (upper.isValid())
        c << QStringLiteral("Date <= %1").arg(quoted(store::formatDate(upper)));
    if (lower.isValid())
        c << QStringLiteral("Date >= %1").arg(quoted(store::formatDate(lower)));
    if (sel_.kind)
        c << QStringLiteral("MASK(SumType, %1)").arg(quoted(sel_.kindMask));
    return c.join(QStringLiteral(" and "));
}

// ------------------------------------------------------------------ the layout

void IncomeReport::buildLayout()
{
    Report& r = QuickRep1;
    r.page.top = 7;
    r.page.bottom = 7;
    r.page.left = 20;
    r.page.right = 7;
    r.setMaster(&dorg_);
    r.addSource(&umd1_);
    const double W = r.page.bandWidth();
    const QString times = QStringLiteral("Times New Roman");
    const QString courier = QStringLiteral("Courier New");
    using Hook = std::function<void(Item&, ItemPrint&)>;
    auto label = [](Band& b, const QString& name, const QString& text, double x, double y, double w, double h,
                    double pt = 10, bool bold = false) -> Item& {
        return b.addLabel(name, text).at(x, y, w, h).withFont(pt, bold);
    };
    // A computed amount: a label whose hook prints the value.
    auto value = [](Band& b, const QString& name, double x, double y, double w, double h, Hook hook) -> Item& {
        Item& it = b.addLabel(name, name);
        it.at(x, y, w, h).withFont(10, true).aligned(Align::Right);
        it.onPrint = std::move(hook);
        return it;
    };
    dm::TDataBase1& d = db_;
    auto umd = [&d](const char* field) { return number(d.Umd1Table, field); };

    // --- title
    Band& title = r.title(31);
    addOrgNameQRLabel(r, title, [this] { return db_.OrgName(); });
    Item& t = title.addLabel(QStringLiteral("QRLabel1"), QStringLiteral("Доход/расход организаций"));
    t.at(0, 5, W, 9).withFont(16, true, true).aligned(Align::Center);
    t.color = Navy;
    title.addSystemDate(QStringLiteral("QRSysData1")).at(0, 15, 60, 5);
    struct Header {
        const char* name;
        double x, y, w;
        std::function<QString()> text;
    };
    const Header headers[] = {
        {"PeriodQRLabel", 0, 21, 110, [this] { return sel_.periodText(); }},
        {"OrgQRLabel", 0, 25.5, 110, [this] { return sel_.orgText(); }},
        {"SymTypeQRLabel", 112, 21, W - 112, [this] { return sel_.kindText(); }},
    };
    for (const Header& h : headers) {
        Item& it = title.addLabel(QLatin1String(h.name), QLatin1String(h.name));
        it.at(h.x, h.y, h.w, 4.5).withFont(10, false, false, times);
        auto text = h.text;
        it.onPrint = [text](Item&, ItemPrint& p) { p.text = text(); };
    }

    // --- one block per organization
    const double cx[] = {0, 44, 59, 91, 106, 138, 153}, cw[] = {44, 15, 30, 15, 30, 15, 34};
    // "Приход:" x "Расход:" y "Сальдо:" z on one line of a band.
    auto balances = [&](Band& b, const QString& prefix, const QString& caption, double y, double pt, Hook in, Hook out,
                        Hook saldo) {
        label(b, prefix + QStringLiteral("Caption"), caption, cx[0], y, cw[0], 5, pt, true);
        label(b, prefix + QStringLiteral("InLabel"), QStringLiteral("Приход:"), cx[1], y, cw[1], 5, pt);
        label(b, prefix + QStringLiteral("OutLabel"), QStringLiteral("Расход:"), cx[3], y, cw[3], 5, pt);
        label(b, prefix + QStringLiteral("SaldoLabel"), QStringLiteral("Сальдо:"), cx[5], y, cw[5], 5, pt);
        return std::tuple<Hook, Hook, Hook>{std::move(in), std::move(out), std::move(saldo)};
    };

    Band& detail = r.detail(15);
    detail.topLine = true;
    detail.addDataText(QStringLiteral("QRDBText4"), dorg_.name(), QStringLiteral("Name")).at(0, 1, 130, 6).withFont(12, true);
    detail.addDataText(QStringLiteral("QRDBText5"), dorg_.name(), QStringLiteral("Org")).at(134, 1, 30, 6).withFont(12, true);
    balances(detail, QStringLiteral("Start"), QStringLiteral("На начало периода:"), 8.5, 10, {}, {}, {});
    {
        Item& in = detail.addDataText(QStringLiteral("QRDBText3"), umd1_.name(), QStringLiteral("StartIn"));
        in.at(cx[2], 8.5, cw[2], 5).aligned(Align::Right);
        in.onPrint = [umd](Item&, ItemPrint& p) { amount(p, umd("StartIn"), false); };
        Item& out = detail.addDataText(QStringLiteral("QRDBText6"), umd1_.name(), QStringLiteral("StartOut"));
        out.at(cx[4], 8.5, cw[4], 5).aligned(Align::Right);
        out.onPrint = [umd](Item&, ItemPrint& p) { amount(p, umd("StartOut"), false); };
        Item& saldo = detail.addDataText(QStringLiteral("QRDBText7"), umd1_.name(), QStringLiteral("StartInOut"));
        saldo.at(cx[6], 8.5, cw[6], 5).aligned(Align::Right);
        saldo.onPrint = [umd](Item&, ItemPrint& p) { amount(p, umd("StartIn") - umd("StartOut"), true); };
    }

    // --- the receipts and the expenses of the period
    auto section = [&](DataSource* src, store::Table* table, const QString& prefix, const QString& caption,
                       const char* sumHook, const char* totalName, const char* totalField) -> Band& {
        Band& sub = r.addSubDetail(prefix + QStringLiteral("QRSubDetail"), src, 4.5);
        sub.printIfEmpty = true;
        Band& head = r.subHeader(sub, 11.5);
        const double captionW = prefix == QLatin1String("In") ? 24 : 32;
        label(head, prefix + QStringLiteral("PeriodLabel"), caption, 0, 0.5, captionW, 5, 10, true);
        Item& start = label(head, prefix + QStringLiteral("StartDateLabel"), QStringLiteral("StartDateLabel"), captionW + 1, 0.5, 22, 5);
        start.onPrint = [this](Item&, ItemPrint& p) { p.text = sel_.startText; };
        label(head, prefix + QStringLiteral("ToLabel"), QStringLiteral("по"), captionW + 24, 0.5, 6, 5, 10, true);
        Item& end = label(head, prefix + QStringLiteral("EndDateLabel"), QStringLiteral("EndDateLabel"), captionW + 30, 0.5, 22, 5);
        end.onPrint = [this](Item&, ItemPrint& p) { p.text = sel_.endText; };
        // "Итого:" stands left of the amounts' column.
        const double hx[] = {22, 54, 79}, hw[] = {32, 25, W - 79};
        const char* hs[] = {"Сумма", "Дата", "Примечание"};
        for (int i = 0; i < 3; ++i)
            head.addLabel(prefix + QStringLiteral("Head%1").arg(i + 1), QString::fromUtf8(hs[i]))
                .at(hx[i], 6, hw[i], 5.5)
                .withFont(10, true)
                .aligned(Align::Center)
                .framed(FrameAll);
        Item& sum = sub.addDataText(QLatin1String(sumHook), src->name(), QStringLiteral("Sum"));
        sum.at(hx[0], 0, hw[0] - 2, 4.5).withFont(8, false, false, courier).aligned(Align::Right);
        sum.onPrint = [table](Item&, ItemPrint& p) {
            // The text as the field shows it; red below zero.
            const double shown = store::formatNumber(table->fieldByName(QStringLiteral("Sum")).asFloat(), QStringLiteral("0.00"))
                                     .replace(QLatin1Char(','), QLatin1Char('.'))
                                     .toDouble();
            p.color = shown < 0 ? QColor(Qt::red) : QColor(Qt::black);
        };
        sub.addDataText(prefix + QStringLiteral("Date"), src->name(), QStringLiteral("Date"))
            .at(hx[1], 0, hw[1], 4.5)
            .withFont(8, false, false, courier)
            .aligned(Align::Center);
        sub.addDataText(prefix + QStringLiteral("Note"), src->name(), QStringLiteral("Note"))
            .at(hx[2] + 1, 0, hw[2] - 1, 4.5)
            .withFont(8, false, false, courier);
        Band& foot = r.subFooter(sub, prefix == QLatin1String("In") ? 7 : 14);
        label(foot, prefix + QStringLiteral("TotalLabel"), QStringLiteral("Итого:"), 0, 1, hx[0] - 1, 5, 10, true)
            .withFont(10, true, false, courier)
            .aligned(Align::Right);
        Item& total = foot.addDataText(QLatin1String(totalName), umd1_.name(), QLatin1String(totalField));
        total.at(hx[0], 1, hw[0] - 2, 5).withFont(10, true, false, courier).aligned(Align::Right).framed(FrameTop);
        const QString f = QLatin1String(totalField);
        total.onPrint = [umd, f](Item&, ItemPrint& p) { amount(p, umd(f.toLatin1().constData()), false); };
        return foot;
    };
    section(&din_, &d.DInTable, QStringLiteral("In"), QStringLiteral("Поступило с"), "QRDBText11", "QRDBText1", "EndIn");
    Band& outFoot =
        section(&dout_, &d.DOutTable, QStringLiteral("Out"), QStringLiteral("Израсходовано с"), "QRDBText2", "QRDBText9", "EndOut");
    balances(outFoot, QStringLiteral("End"), QStringLiteral("На конец периода:"), 8, 10, {}, {}, {});
    value(outFoot, QStringLiteral("EndPeriodIn"), cx[2], 8, cw[2], 5,
          [umd](Item&, ItemPrint& p) { amount(p, umd("StartIn") + umd("EndIn"), false); });
    value(outFoot, QStringLiteral("EndPeriodOut"), cx[4], 8, cw[4], 5,
          [umd](Item&, ItemPrint& p) { amount(p, umd("StartOut") + umd("EndOut"), false); });
    value(outFoot, QStringLiteral("EndPeriodInOut"), cx[6], 8, cw[6], 5, [umd](Item&, ItemPrint& p) {
        amount(p, (umd("StartIn") - umd("StartOut")) + (umd("EndIn") - umd("EndOut")), true);
    });

    // --- the summary over the organizations printed
    Band& sum = r.summary(33);
    sum.topLine = true;
    label(sum, QStringLiteral("QRLabel20"), QStringLiteral("Итого по"), 0, 1.5, 18, 5, 10, true);
    Item& orgs = label(sum, QStringLiteral("OrgLabel"), QStringLiteral("OrgLabel"), 18, 1.5, 100, 5, 10, true);
    orgs.onPrint = [this](Item&, ItemPrint& p) { p.text = sel_.orgLabel(); };
    balances(sum, QStringLiteral("SumStart"), QStringLiteral("На начало периода:"), 8, 10, {}, {}, {});
    value(sum, QStringLiteral("QValue"), cx[2], 8, cw[2], 5, [this](Item&, ItemPrint& p) { amount(p, totalStartIn, false); });
    value(sum, QStringLiteral("QRDBText10"), cx[4], 8, cw[4], 5,
          [this](Item&, ItemPrint& p) { amount(p, totalStartOut, false); });
    value(sum, QStringLiteral("QRDBText12"), cx[6], 8, cw[6], 5,
          [this](Item&, ItemPrint& p) { amount(p, totalStartIn - totalStartOut, true); });
    balances(sum, QStringLiteral("SumPeriod"), QStringLiteral("За период с"), 14, 10, {}, {}, {});
    sum.item(QStringLiteral("SumPeriodCaption"))->rect.setWidth(22);
    Item& ps = label(sum, QStringLiteral("SumStartDateLabel"), QStringLiteral("StartDateLabel"), 23, 14, 20, 5);
    ps.onPrint = [this](Item&, ItemPrint& p) { p.text = sel_.startText; };
    label(sum, QStringLiteral("SumToLabel"), QStringLiteral("по"), 16, 19.5, 6, 5, 10, true);
    Item& pe = label(sum, QStringLiteral("SumEndDateLabel"), QStringLiteral("EndDateLabel"), 23, 19.5, 20, 5);
    pe.onPrint = [this](Item&, ItemPrint& p) { p.text = sel_.endText; };
    value(sum, QStringLiteral("QRDBText13"), cx[2], 14, cw[2], 5, [this](Item&, ItemPrint& p) { amount(p, totalEndIn, false); });
    value(sum, QStringLiteral("QRDBText14"), cx[4], 14, cw[4], 5,
          [this](Item&, ItemPrint& p) { amount(p, totalEndOut, false); });
    value(sum, QStringLiteral("QRDBText15"), cx[6], 14, cw[6], 5,
          [this](Item&, ItemPrint& p) { amount(p, totalEndIn - totalEndOut, true); });
    balances(sum, QStringLiteral("SumEnd"), QStringLiteral("На конец периода:"), 25, 10, {}, {}, {});
    value(sum, QStringLiteral("QRDBText16"), cx[2], 25, cw[2], 5,
          [this](Item&, ItemPrint& p) { amount(p, totalStartIn + totalEndIn, false); });
    value(sum, QStringLiteral("QRDBText17"), cx[4], 25, cw[4], 5,
          [this](Item&, ItemPrint& p) { amount(p, totalStartOut + totalEndOut, false); });
    value(sum, QStringLiteral("QRDBText18"), cx[6], 25, cw[6], 5, [this](Item&, ItemPrint& p) {
        amount(p, (totalStartIn - totalStartOut) + (totalEndIn - totalEndOut), true);
    });
}

// ------------------------------------------------------------------ the run

void IncomeReport::fill(RunProgress* progress, bool& cancelled)
{
    dm::TDataBase1& d = db_;
    store::Table& dorg = d.DOrgTable;
    store::Table* sides[] = {&d.DInTable, &d.DOutTable};
    for (store::Table* t : {&dorg, &d.DInTable, &d.DOutTable}) {
        t->clearMaster();
        t->setFiltered(false);
        t->setFilterCallback({});
        t->setFilterExpression(QString());
    }
    dorg.setFilterExpression(orgExpression());
    for (store::Table* t : sides) {
        t->setOrder(QStringLiteral("Org"));
        t->setMaster(&dorg, QStringLiteral("Org"), QStringLiteral("Org"));
    }
    store::Table& umd1 = d.Umd1Table;
    umd1.clearMaster();
    umd1.close();
    umd1.emptyTable();
    umd1.open();
    umd1.setMaster(&dorg, QStringLiteral("Org"), QStringLiteral("Org"));

    totalStartIn = totalStartOut = totalEndIn = totalEndOut = 0;
    dorg.setFiltered(true);
    const int n = dorg.recordCount();
    dorg.first();

    // The sums of both passes for every organization at once: one aggregate
    // per pass and side over the entries the pass's filter takes. Without a
    // period nothing lies before it, and the period takes every entry.
    const QDate start = sel_.start(), end = sel_.end();
    struct Pass {
        bool any;
        QString expression;
        std::optional<QHash<QString, double>> sums[2];
    };
    Pass passes[2] = {{sel_.period, entryExpression(QDate(), start.addDays(-1)), {}},
                      {true, sel_.period ? entryExpression(start, end) : entryExpression(QDate(), QDate()), {}}};
    if (sel_.period && start == nullDate())
        passes[0].any = false;   // no start: nothing lies before the period
    for (Pass& p : passes) {
        if (!p.any)
            continue;
        for (int k = 0; k < 2; ++k) {
            store::Table& t = *sides[k];
            t.setFilterExpression(p.expression);
            t.setFiltered(true);
            p.sums[k] = t.groupSums(QStringLiteral("Org"), QStringLiteral("Sum"));
            if (!p.sums[k])
                p.sums[k].emplace();
            t.setFiltered(false);
        }
    }

    store::BatchScope batch(umd1.connection());
    for (int i = 1; i <= n; ++i) {
        if (progress && !progress->progress(i * 100 / n)) {
            cancelled = true;
            break;
        }
        const QString org = dorg.fieldByName(QStringLiteral("Org")).asString();
        auto sum = [&](const Pass& p, int k) { return p.any ? p.sums[k]->value(org) : 0.0; };
        const double startIn = sum(passes[0], 0), startOut = sum(passes[0], 1);
        const double endIn = sum(passes[1], 0), endOut = sum(passes[1], 1);
        umd1.append();   // Org comes through the link
        umd1.fieldByName(QStringLiteral("StartIn")).setValue(startIn);
        umd1.fieldByName(QStringLiteral("StartOut")).setValue(startOut);
        umd1.fieldByName(QStringLiteral("EndIn")).setValue(endIn);
        umd1.fieldByName(QStringLiteral("EndOut")).setValue(endOut);
        umd1.post();
        dorg.next();
        totalStartIn += startIn;
        totalStartOut += startOut;
        totalEndIn += endIn;
        totalEndOut += endOut;
    }
    batch.commit();
    // The lines printed are those of the period and the kind.
    for (store::Table* t : sides) {
        t->setFilterExpression(passes[1].expression);
        t->setFiltered(true);
    }
    dorg.first();
}

void IncomeReport::takeDown()
{
    dm::TDataBase1& d = db_;
    d.Umd1Table.clearMaster();
    for (store::Table* t : {&d.DOrgTable, &d.DInTable, &d.DOutTable}) {
        t->clearMaster();
        t->setFiltered(false);
        t->setFilterExpression(QString());
        t->setFilterCallback({});
    }
    if (displaysOff_) {
        d.DInTable.enableControls();
        d.DOutTable.enableControls();
        displaysOff_ = false;
    }
    d.Umd1Table.close();
    if (dorgRow_ > 0 && d.DOrgTable.isOpen() && dorgRow_ <= d.DOrgTable.recordCount())
        d.DOrgTable.setRecNo(dorgRow_);
}

std::optional<PageSet> IncomeReport::run(const IncomeSelection& selection, RunProgress* progress)
{
    dm::TDataBase1& d = db_;
    sel_ = selection;
    ProgressSpan span(progress);
    try {
        span.start();
        dorgRow_ = d.DOrgTable.isOpen() ? d.DOrgTable.recNo() : 0;
        std::optional<PageSet> pages;
        bool cancelled = false;
        {
            dm::TableProcessOff hooksOff(d);
            d.SyncTable(d.DInTable);
            d.SyncTable(d.DOutTable);
            d.DInTable.disableControls();
            d.DOutTable.disableControls();
            displaysOff_ = true;
            fill(progress, cancelled);
            span.finish();
            hooksOff.restore();
            if (!cancelled)
                pages = layout().generate();
        }
        takeDown();
        return pages;
    } catch (...) {
        span.finish();
        try {
            takeDown();
        } catch (...) {
        }
        throw;
    }
}

} // namespace reports
