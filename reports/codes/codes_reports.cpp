#include "reports/codes/codes_reports.h"

#include "core/datamodule/datamodule.h"
#include "core/store/format.h"
#include "core/store/session.h"
#include "core/store/table.h"

#include <QSet>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <array>
#include <cmath>
#include <memory>

namespace reports {

namespace {
const QString Stars19(19, QLatin1Char('*'));
const QColor Navy(0, 0, 128);
const QString Mark = QStringLiteral("*");
const QString MarkedExpression = QStringLiteral("Md2Use='*'");

QString quoted(const QString& s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QString dateLiteral(const QDate& d) { return quoted(store::formatDate(d)); }

// A sum is nothing when it rounds to no cent.
bool isZero(double v) { return std::llround(v * 100.0) == 0; }

// The marks of the reference book's codes as they are to be: written in one
// transaction, only where they change. The rows are updated in place by
// their key through the book's own connection (no code, name or link
// changes, so no rule of the store is concerned); the book's views read
// them afresh as after any post.
class Marks {
public:
    explicit Marks(store::Table& cbc) : cbc_(cbc) {}
    // The mark of row `pos` of the book's view (unfiltered) is to be `marked`.
    void set(int pos, bool marked)
    {
        const bool now = cbc_.storedValueAt(pos, QStringLiteral("Md2Use")).toString().trimmed() == Mark;
        if (now != marked)
            changes_.push_back({cbc_.storedValueAt(pos, QStringLiteral("CBC")).toString(), marked});
    }
    void write()
    {
        if (changes_.empty())
            return;
        store::Connection& c = cbc_.connection();
        c.write([&] {
            for (const auto& [code, marked] : changes_) {
                store::Statement st(c, QStringLiteral("UPDATE \"cbc_spr\" SET \"Md2Use\" = ? WHERE \"CBC\" = ?"));
                if (marked)
                    st.bind(1, Mark, schema::FieldType::Text);
                else
                    st.bindNull(1);
                st.bind(2, code, schema::FieldType::Text);
                st.run();
            }
        });
        changes_.clear();
        cbc_.refresh();
    }

private:
    store::Table& cbc_;
    std::vector<std::pair<QString, bool>> changes_;
};

// A text as the store keeps it: no trailing blanks, nothing for an empty one.
QVariant storedText(const QString& s)
{
    QString t = s;
    while (t.endsWith(QLatin1Char(' ')))
        t.chop(1);
    return t.isEmpty() ? QVariant() : QVariant(t);
}

// A code the masks compare position by position without asterisks and
// without blanks: only the same code matches it.
bool plainCode(const QString& code)
{
    return code.size() == Selection::CbcWidth && !code.contains(QLatin1Char('*')) && !code.contains(QLatin1Char(' '));
}

// The summed values of the codes one aggregate gave, kept for every mask
// asked of them: a plain code is looked up, any other mask compared with
// each code.
template <int N>
class CodeSums {
public:
    using Values = std::array<double, N>;
    void add(const QString& code, int k, double v)
    {
        auto it = index_.find(code);
        if (it == index_.end()) {
            it = index_.insert(code, int(codes_.size()));
            codes_.push_back(code);
            values_.push_back(Values{});
            if (!plainCode(code))
                irregular_.push_back(int(codes_.size()) - 1);
        }
        values_[size_t(*it)][size_t(k)] += v;
    }
    bool empty() const { return codes_.empty(); }
    const std::vector<QString>& codes() const { return codes_; }
    // The sums of every code `mask` matches.
    Values matching(const QString& mask) const
    {
        Values out{};
        auto addAt = [&](int i) {
            for (int k = 0; k < N; ++k)
                out[size_t(k)] += values_[size_t(i)][size_t(k)];
        };
        if (plainCode(mask)) {
            // Only the code itself, and codes shorter than it or with blanks.
            if (auto it = index_.constFind(mask); it != index_.constEnd())
                addAt(*it);
            for (int i : irregular_)
                if (codes_[size_t(i)] != mask && MaskSelection(mask, codes_[size_t(i)]))
                    addAt(i);
            return out;
        }
        for (int i = 0; i < int(codes_.size()); ++i)
            if (MaskSelection(mask, codes_[size_t(i)]))
                addAt(i);
        return out;
    }

private:
    QHash<QString, int> index_;
    std::vector<QString> codes_;
    std::vector<Values> values_;
    std::vector<int> irregular_;
};

// One aggregate over a posting table through its own connection: `sql`
// with its parameters, each result row handed to `row`. The sums are
// grouped on computed values so that SQLite reads the table once instead of
// walking an index of the grouped column row by row.
struct SqlParam {
    QVariant value;
    schema::FieldType type;
};
void aggregate(store::Table& t, const QString& sql, const std::vector<SqlParam>& params,
               const std::function<void(store::Statement&)>& row)
{
    store::Statement st(t.connection(), sql);
    for (int i = 0; i < int(params.size()); ++i)
        st.bind(i + 1, params[size_t(i)].value, params[size_t(i)].type);
    while (st.step())
        row(st);
}

// Takes a table's displays off for the run and gives them back.
class ControlsOff {
public:
    void take(store::Table& t)
    {
        t.disableControls();
        tables_.push_back(&t);
    }
    void giveBack()
    {
        for (store::Table* t : tables_)
            t->enableControls();
        tables_.clear();
    }
    ~ControlsOff() { giveBack(); }

private:
    std::vector<store::Table*> tables_;
};

Item& heading(Band& b, const QString& name, const QString& text, double x, double y, double w, double h, double pt,
              int frame)
{
    return b.addLabel(name, text).at(x, y, w, h).withFont(pt, true).aligned(Align::Center).framed(frame);
}
} // namespace

int GetCBCSumParam(const QString& code)
{
    static const int bitOf[19] = {PartRazd, PartRazd, PartPRazd, PartPRazd, PartGl, PartGl, PartGl,
                                  PartCelSt, PartCelSt, PartCelSt, PartVR, PartVR, PartVR,
                                  PartEcSt, PartEcSt, PartEcSt, PartEcSt, PartEcSt, PartEcSt};
    int parts = 0;
    for (int i = 0; i < code.size() && i < 19; ++i)
        if (code[i] == QLatin1Char('*'))
            parts |= bitOf[i];
    return parts;
}

// ------------------------------------------------------------------ financing and credit remainders

CreditRemaindersReport::CreditRemaindersReport(dm::TDataBase1& db) : db_(db), org_(db.Org_Table), md2_(db.MD2Table)
{
    Report& r = QuickRep1;
    r.setMaster(&org_);
    r.addSource(&md2_);
    const QString times = QStringLiteral("Times New Roman");

    Band& title = r.title(31);
    addOrgNameQRLabel(r, title, [this] { return this->db().OrgName(); });
    Item& t = title.addLabel(QStringLiteral("QRLabel1"), QStringLiteral("Финансирование и остатки кредитов организаций"));
    t.at(0, 5, 202, 9).withFont(16, true, true).aligned(Align::Center);
    t.color = Navy;
    struct H {
        const char* name;
        double x, y;
        QString (Selection::*text)() const;
    };
    const H hs[] = {{"PeriodQRLabel", 0, 15.5, &Selection::periodText},
                    {"OrgQRLabel", 0, 20, &Selection::orgText},
                    {"CBCQRLabel", 102, 15.5, &Selection::cbcText},
                    {"LawQRLabel", 102, 20, &Selection::lawText}};
    for (const H& h : hs) {
        Item& it = title.addLabel(QLatin1String(h.name), QLatin1String(h.name));
        it.at(h.x, h.y, 100, 4.5).withFont(10, false, false, times);
        auto text = h.text;
        it.onPrint = [this, text](Item&, ItemPrint& p) { p.text = (sel_.sel.*text)(); };
    }
    title.addLabel(QStringLiteral("QRLabel2"), QStringLiteral("Дата составления")).at(120, 25.5, 35, 5).aligned(Align::Right);
    title.addSystemDate(QStringLiteral("QRSysData1")).at(156, 25.5, 46, 5);

    Band& head = r.detail(8);
    head.addDataText(QStringLiteral("QRDBText1"), org_.name(), QStringLiteral("Name")).at(0, 1.5, 130, 6).withFont(12, true);
    head.addDataText(QStringLiteral("QRDBText2"), org_.name(), QStringLiteral("Org")).at(140, 1.5, 40, 6).withFont(12, true);
    head.beforePrint = [this](Band& b, bool& p) { DetailBand1BeforePrint(b, p); };

    const double x[] = {0, 42, 108, 140, 172}, w[] = {42, 66, 32, 32, 29.9};
    Band& rows = r.addSubDetail(QStringLiteral("QRSubDetail1"), &md2_, 5);
    Band& rowsHead = r.subHeader(rows, 12);
    rowsHead.addLabel(QStringLiteral("QRLabel3"), QStringLiteral("Поступления")).at(0, 0.5, 60, 5).withFont(10, true);
    const char* h[] = {"Код БК", "Наименование", "Профинансир.", nullptr, "Остаток фин."};
    const char* names[] = {"QRLabel4", "QRLabel5", "QRLabel6", "PlanQRLabel", "QRLabel7"};
    for (int i = 0; i < 5; ++i)
        heading(rowsHead, QLatin1String(names[i]), h[i] ? QString::fromUtf8(h[i]) : planHeading(4), x[i], 6, w[i], 6, 10,
                FrameAll);
    const char* f[] = {"Cbc", "Name", "Sum", "PlanSum", "Remainder"};
    for (int i = 0; i < 5; ++i) {
        Item& it = rows.addDataText(QStringLiteral("QRDBText%1").arg(i + 3), md2_.name(), QLatin1String(f[i]));
        it.at(x[i], 0, w[i], 5);
        if (i == 0)
            it.withFont(9, false, false, QStringLiteral("Courier New"));
        else if (i == 1)
            it.withFont(8);
        else
            it.aligned(Align::Center);
    }
    rows.item(QStringLiteral("QRDBText7"))->onPrint = [this](Item& it, ItemPrint& p) { RemainderQRDBTextPrint(it, p); };
    Band& foot = r.subFooter(rows, 2);
    foot.topLine = true;
}

QString CreditRemaindersReport::planHeading(int quarter)
{
    switch (quarter) {
    case 1: return QStringLiteral("План I квартал");
    case 2: return QStringLiteral("План I+II квартал");
    case 3: return QStringLiteral("План I+II+III кв.");
    default: return QStringLiteral("Годовой план");
    }
}

void CreditRemaindersReport::setPlanHeading(int quarter) { QuickRep1.item(QStringLiteral("PlanQRLabel"))->text = planHeading(quarter); }

bool CreditRemaindersReport::FilterT2_2(store::Table& t) const
{
    const Selection& s = sel_.sel;
    if (!MaskSelection(currentPattern, t.fieldByName(QStringLiteral("CBC")).asString()))
        return false;
    if (s.org && !MaskSelection(s.orgMask, t.fieldByName(QStringLiteral("Org")).asString()))
        return false;
    if (s.period && !s.periodAccepts(t.fieldByName(QStringLiteral("FiDate")).asDate()))
        return false;
    if (s.cbc && !MaskSelection(s.cbcMask, t.fieldByName(QStringLiteral("CBC")).asString()))
        return false;
    return !(s.law && !MaskSelection(s.lawMask, t.fieldByName(QStringLiteral("LawRef")).asString()));
}

bool CreditRemaindersReport::FilterPlanTable(store::Table& t) const
{
    const Selection& s = sel_.sel;
    if (s.org && !MaskSelection(s.orgMask, t.fieldByName(QStringLiteral("Org")).asString()))
        return false;
    if (s.cbc && !MaskSelection(s.cbcMask, t.fieldByName(QStringLiteral("Cbc")).asString()))
        return false;
    return MaskSelection(currentPattern, t.fieldByName(QStringLiteral("Cbc")).asString());
}

bool CreditRemaindersReport::FilterOrg_Table(store::Table& t) const
{
    return !sel_.sel.org || MaskSelection(sel_.sel.orgMask, t.fieldByName(QStringLiteral("Org")).asString());
}

QString CreditRemaindersReport::selectionExpression(bool withOrg, bool withPeriodAndLaw) const
{
    // FilterPlanTable without the current code, as the store runs it in SQL.
    const Selection& s = sel_.sel;
    QStringList c;
    if (withPeriodAndLaw && s.period) {
        c << QStringLiteral("FiDate <= %1").arg(dateLiteral(s.end()));
        if (s.start() != nullDate())
            c << QStringLiteral("FiDate >= %1").arg(dateLiteral(s.start()));
    }
    if (withOrg && s.org)
        c << QStringLiteral("MASK(Org, %1)").arg(quoted(s.orgMask));
    if (s.cbc)
        c << QStringLiteral("MASK(%1, %2)").arg(withPeriodAndLaw ? QStringLiteral("CBC") : QStringLiteral("Cbc"), quoted(s.cbcMask));
    if (withPeriodAndLaw && s.law)
        c << QStringLiteral("MASK(LawRef, %1)").arg(quoted(s.lawMask));
    return c.join(QStringLiteral(" and "));
}

QString CreditRemaindersReport::expenditureWhere(std::vector<SqlParamValue>& params) const
{
    // FilterT2_2 without the current code, in SQL as the store's own filter
    // expressions put it (an undated expenditure counts as the null date,
    // before every real one); the codes are compared afterwards with the
    // sums it gives by code.
    const Selection& s = sel_.sel;
    QStringList c;
    if (s.period) {
        c << QStringLiteral("(\"FiDate\" IS NULL OR \"FiDate\" <= ?)");
        params.push_back({s.end(), int(schema::FieldType::Date)});
        if (s.start() != nullDate()) {
            c << QStringLiteral("(\"FiDate\" IS NOT NULL AND \"FiDate\" >= ?)");
            params.push_back({s.start(), int(schema::FieldType::Date)});
        }
    }
    const std::pair<bool, std::pair<QString, const char*>> masks[] = {
        {s.org, {s.orgMask, "Org"}}, {s.cbc, {s.cbcMask, "CBC"}}, {s.law, {s.lawMask, "LawRef"}}};
    for (const auto& [on, m] : masks)
        if (on) {
            c << QStringLiteral("saldina_mask(?, \"%1\")").arg(QLatin1String(m.second));
            params.push_back({m.first, int(schema::FieldType::Text)});
        }
    return c.isEmpty() ? QString() : QStringLiteral(" WHERE ") + c.join(QStringLiteral(" AND "));
}

void CreditRemaindersReport::DetailBand1BeforePrint(Band&, bool& print) { print = !db().MD2Table.isEmpty(); }

void CreditRemaindersReport::RemainderQRDBTextPrint(Item& it, ItemPrint& p)
{
    it.color = db().MD2Table.fieldByName(QStringLiteral("Remainder")).asFloat() < 0 ? QColor(Qt::red) : QColor(Qt::black);
    p.color = it.color;
}

void CreditRemaindersReport::mark(RunProgress* progress, bool& cancelled)
{
    dm::TDataBase1& d = db();
    store::Table& cbc = d.CBCSPRTable;
    store::Table& t22 = d.T2_2;
    // The selected expenditures by organization and code, once for the run:
    // their codes decide the summary codes' marks, their sums the lines.
    spent_.clear();
    std::vector<SqlParamValue> pv;
    const QString where = expenditureWhere(pv);
    std::vector<SqlParam> params;
    for (const SqlParamValue& p : pv)
        params.push_back({p.value, schema::FieldType(p.type)});
    QSet<QString> selectedSet;
    aggregate(t22,
              QStringLiteral("SELECT \"Org\" || '', \"CBC\" || '', TOTAL(\"Amount\") FROM \"t2_2\"%1 GROUP BY 1, 2")
                  .arg(where),
              params, [&](store::Statement& st) {
                  const QString code = st.columnText(1);
                  spent_[st.columnText(0)].push_back({code, st.column(2, schema::FieldType::Float).toDouble()});
                  selectedSet.insert(code);
              });
    const std::vector<QString> selected(selectedSet.begin(), selectedSet.end());
    // The codes of every expenditure (the index of the codes holds them all).
    QSet<QString> used;
    aggregate(t22, QStringLiteral("SELECT DISTINCT \"CBC\" FROM \"t2_2\""), {},
              [&](store::Statement& st) { used.insert(st.columnText(0)); });

    // Both passes in one walk: a summary code whose parts are the chosen
    // ones is marked when some selected expenditure matches it, a code that
    // some expenditure uses is marked, every other code loses its mark.
    // A cancel leaves the codes not reached yet with their old marks.
    cbc.setFiltered(false);
    Marks marks(cbc);
    const int n = cbc.recordCount();
    for (int i = 1; i <= n; ++i) {
        if (progress && !progress->progress(i * 100 / n)) {
            cancelled = true;
            break;
        }
        currentPattern = cbc.storedValueAt(i - 1, QStringLiteral("CBC")).toString();
        bool marked = used.contains(currentPattern);
        if (!marked && sel_.parts != 0 && GetCBCSumParam(currentPattern) == sel_.parts)
            for (const QString& code : selected)
                if (MaskSelection(currentPattern, code)) {
                    marked = true;
                    break;
                }
        marks.set(i - 1, marked);
    }
    marks.write();
}

void CreditRemaindersReport::fill(RunProgress* progress, bool& cancelled)
{
    dm::TDataBase1& d = db();
    store::Table& cbc = d.CBCSPRTable;
    store::Table& plan = d.PlanTable;
    store::Table& org = d.Org_Table;
    store::Table& md2 = d.MD2Table;

    cbc.setFiltered(false);
    cbc.setFilterExpression(MarkedExpression);
    cbc.setFiltered(true);
    marked_.clear();
    for (cbc.first(); !cbc.eof(); cbc.next())
        marked_.push_back({cbc.fieldByName(QStringLiteral("CBC")).asString(),
                           cbc.fieldByName(QStringLiteral("NAME")).asString(), false});

    md2.clearMaster();
    md2.close();
    md2.emptyTable();
    md2.open();
    if (marked_.empty())
        return;

    // The plan of the chosen quarters by organization and code, read once.
    QHash<QString, CodeSums<1>> plans;
    {
        plan.setFilterExpression(selectionExpression(true, false));
        plan.setFiltered(true);
        const int q = qBound(1, sel_.quarter, 4);
        for (plan.first(); !plan.eof(); plan.next()) {
            double sum = 0;
            if (q == 4)
                sum = plan.fieldByName(QStringLiteral("AllSum")).asFloat();
            else
                for (int k = 1; k <= q; ++k)
                    sum += plan.fieldByName(QStringLiteral("Sum%1").arg(k)).asFloat();
            plans[plan.fieldByName(QStringLiteral("Org")).asString()].add(
                plan.fieldByName(QStringLiteral("Cbc")).asString(), 0, sum);
        }
        plan.setFiltered(false);
        plan.setFilterExpression(QString());
    }

    // The marked codes: a plain code is found by itself, any other is a
    // mask compared with each code of an organization's expenditures.
    QHash<QString, int> plainIndex;
    std::vector<int> maskIndex;
    for (int k = 0; k < int(marked_.size()); ++k) {
        if (plainCode(marked_[size_t(k)].code))
            plainIndex.insert(marked_[size_t(k)].code, k);
        else
            maskIndex.push_back(k);
    }
    std::vector<double> financed(marked_.size(), 0.0);
    std::vector<char> touched(marked_.size(), 0);
    std::vector<int> lines;

    store::BatchScope batch(md2.connection());
    const int total = org.recordCount();
    std::vector<QString> orgs;
    for (int i = 0; i < total; ++i) {
        const QString code = org.storedValueAt(i, QStringLiteral("Org")).toString();
        if (!sel_.sel.org || MaskSelection(sel_.sel.orgMask, code))
            orgs.push_back(code);
    }
    const int n = int(orgs.size());
    for (int i = 1; i <= n; ++i) {
        if (progress && !progress->progress(i * 100 / n)) {
            cancelled = true;
            break;
        }
        const QString& o = orgs[size_t(i - 1)];
        const auto sit = spent_.constFind(o);
        if (sit == spent_.constEnd())
            continue;   // no expenditure at all
        const std::vector<CodeSum>& spent = *sit;
        lines.clear();
        auto add = [&](int k, double v) {
            if (!touched[size_t(k)]) {
                touched[size_t(k)] = 1;
                lines.push_back(k);
            }
            financed[size_t(k)] += v;
        };
        for (const CodeSum& e : spent) {
            if (plainCode(e.code)) {
                if (auto it = plainIndex.constFind(e.code); it != plainIndex.constEnd())
                    add(*it, e.sum);
            } else {
                // A short code, or one with blanks: every plain code it matches.
                for (auto it = plainIndex.constBegin(); it != plainIndex.constEnd(); ++it)
                    if (MaskSelection(it.key(), e.code))
                        add(it.value(), e.sum);
            }
        }
        for (int k : maskIndex)
            for (const CodeSum& e : spent)
                if (MaskSelection(marked_[size_t(k)].code, e.code))
                    add(k, e.sum);
        std::sort(lines.begin(), lines.end());
        const CodeSums<1> none;
        const auto pit = plans.constFind(o);
        const CodeSums<1>& planned = pit == plans.constEnd() ? none : *pit;
        // The organization's rows in one write, straight into the work table.
        store::Connection& w = md2.connection();
        w.write([&] {
            for (int k : lines) {
                const Code& c = marked_[size_t(k)];
                const double f = financed[size_t(k)];
                financed[size_t(k)] = 0;
                touched[size_t(k)] = 0;
                if (isZero(f))
                    continue;
                currentPattern = c.code;
                const double planSum = planned.matching(c.code)[0];
                store::Statement st(w, QStringLiteral("INSERT INTO \"md2\" (\"Org\", \"Cbc\", \"PlanSum\", \"Remainder\", "
                                                      "\"Sum\", \"Name\") VALUES (?, ?, ?, ?, ?, ?)"));
                st.bind(1, storedText(o), schema::FieldType::Text);
                st.bind(2, storedText(c.code), schema::FieldType::Text);
                st.bind(3, planSum, schema::FieldType::Float);
                st.bind(4, planSum - f, schema::FieldType::Float);
                st.bind(5, f, schema::FieldType::Float);
                st.bind(6, storedText(c.name.left(40)), schema::FieldType::Text);
                st.run();
            }
        });
    }
    batch.commit();
    md2.refresh();
    spent_.clear();
}

void CreditRemaindersReport::takeDown()
{
    dm::TDataBase1& d = db();
    for (store::Table* t : {&d.T2_2, &d.PlanTable}) {
        t->cancelRange();
        t->setFiltered(false);
        t->setFilterExpression(QString());
        t->setFilterCallback({});
        t->clearMaster();
    }
    d.T2_2.setOrder(QStringLiteral("Facebill;LawRef;Amount;FiDate;CBC;Org"));
    d.CBCSPRTable.setFiltered(false);
    d.Org_Table.setFiltered(false);
    d.Org_Table.setFilterCallback({});
    d.MD2Table.clearMaster();
    d.MD2Table.close();
    if (d.Org_Table.isOpen())
        d.Org_Table.first();
}

std::optional<PageSet> CreditRemaindersReport::run(const CreditSelection& selection, RunProgress* progress)
{
    dm::TDataBase1& d = db();
    sel_ = selection;
    setPlanHeading(sel_.quarter);
    ProgressSpan span(progress);
    ControlsOff controls;
    try {
        span.start();
        std::optional<PageSet> pages;
        bool cancelled = false;
        {
            dm::TableProcessOff hooksOff(d);
            d.SyncTable(d.T2_1);
            d.SyncTable(d.T2_2);
            for (store::Table* t : {&d.PlanTable, &d.T2_2, &d.CBCSPRTable})
                controls.take(*t);
            for (store::Table* t : {&d.Org_Table, &d.T2_2, &d.CBCSPRTable, &d.PlanTable})
                t->clearMaster();
            for (store::Table* t : {&d.Org_Table, &d.T2_2, &d.PlanTable, &d.CBCSPRTable}) {
                t->cancelRange();
                t->setFiltered(false);
                t->setFilterCallback({});
            }
            d.T2_2.setFilterExpression(QString());
            d.PlanTable.setFilterExpression(QString());
            currentPattern = Stars19;
            mark(progress, cancelled);
            if (!cancelled)
                fill(progress, cancelled);
            span.finish();
            d.T2_2.setFiltered(false);
            d.T2_2.setFilterExpression(QString());
            d.CBCSPRTable.setFiltered(false);
            hooksOff.restore();
            if (!cancelled) {
                d.MD2Table.setMaster(&d.Org_Table, QStringLiteral("Org"), QStringLiteral("Org"));
                d.Org_Table.first();
                pages = layout().generate();
            }
        }
        takeDown();
        controls.giveBack();
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

// ------------------------------------------------------------------ totals by economic articles

EconomicArticlesReport::EconomicArticlesReport(dm::TDataBase1& db) : db_(db), md4_(db.MD4Table)
{
    Report& r = QuickRep1;
    r.page.orientation = Orientation::Landscape;
    r.page.top = 25;
    r.setMaster(&md4_);
    const double W = r.page.bandWidth();   // 265.4 mm
    const double nameW = 46, codeW = 39;
    const double amountW = (W - nameW - codeW) / 10;
    const double headY = 16, rowH = 6;

    Band& title = r.title(headY + 2 * rowH);
    addOrgNameQRLabel(r, title, [this] { return this->db().OrgName(); });
    Item& t = title.addLabel(QStringLiteral("QRLabel1"), QStringLiteral("Итоговое состояние средств по эк.статьям"));
    t.at(0, 5, 150, 9).withFont(16, true, true);
    t.color = Navy;
    title.addLabel(QStringLiteral("QRLabel2"), QStringLiteral("Дата составления")).at(W - 86, 8, 40, 5).aligned(Align::Right);
    title.addSystemDate(QStringLiteral("QRSysData1")).at(W - 45, 8, 45, 5);
    const int top = FrameTop | FrameLeft | FrameRight;
    heading(title, QStringLiteral("QRLabel3"), QStringLiteral("Наименование"), 0, headY, nameW, 2 * rowH, 9, top);
    heading(title, QStringLiteral("QRLabel4"), QStringLiteral("Код бюджетной классификации"), nameW, headY, codeW, 2 * rowH,
            8, top)
        .wrapped();
    const char* quarters[] = {"I кв.", "II кв.", "III кв.", "IV кв.", "Всего"};
    for (int side = 0; side < 2; ++side) {
        const double x0 = nameW + codeW + side * 5 * amountW;
        heading(title, QStringLiteral("QRLabel%1").arg(5 + side), side == 0 ? QStringLiteral("Поступило") : QStringLiteral("Израсходовано"),
                x0, headY, 5 * amountW, rowH, 9, top);
        for (int k = 0; k < 5; ++k)
            heading(title, QStringLiteral("QRLabel%1").arg(7 + side * 5 + k), QString::fromUtf8(quarters[k]),
                    x0 + k * amountW, headY + rowH, amountW, rowH, 9, top);
    }
    // The frame line along the band's bottom edge closes the heading.
    title.addLabel(QStringLiteral("QRShape1"), QString()).at(0, headY + 2 * rowH - 0.2, W, 0.2).framed(FrameBottom);

    Band& d = r.detail(5);
    const int cell = FrameBottom | FrameLeft | FrameRight;
    d.addDataText(QStringLiteral("QRDBText1"), md4_.name(), QStringLiteral("CBCName")).at(0, 0, nameW, 5).withFont(8).framed(cell);
    d.addDataText(QStringLiteral("QRDBText2"), md4_.name(), QStringLiteral("CBC"))
        .at(nameW, 0, codeW, 5)
        .withFont(9, false, false, QStringLiteral("Courier New"))
        .aligned(Align::Center)
        .framed(cell);
    const char* f[] = {"InQ1", "InQ2", "InQ3", "InQ4", "InAll", "OutQ1", "OutQ2", "OutQ3", "OutQ4", "OutAll"};
    for (int k = 0; k < 10; ++k)
        d.addDataText(QStringLiteral("QRDBText%1").arg(3 + k), md4_.name(), QLatin1String(f[k]))
            .at(nameW + codeW + k * amountW, 0, amountW, 5)
            .withFont(8)
            .aligned(Align::Right)
            .framed(cell);
}

bool EconomicArticlesReport::CBCIsEcstFilter(const QString& code)
{
    if (code.size() < 19)
        return false;
    if (code.contains(Stars19))
        return true;
    for (int i = 0; i < 13; ++i)
        if (code[i] != QLatin1Char('*'))
            return false;
    for (int i = 13; i < 19; ++i)
        if (code[i] == QLatin1Char('*'))
            return false;
    return true;
}

void EconomicArticlesReport::setQuarter(int year, int q)
{
    lowerBound = QDate(year, 3 * (q - 1) + 1, 1);
    upperBound = lowerBound.addMonths(3).addDays(-1);
}

bool EconomicArticlesReport::FilterT2_1AndT2_2(store::Table& t) const
{
    QDate d = t.fieldByName(QStringLiteral("FiDate")).asDate();
    if (!d.isValid())
        d = nullDate();
    if (d > upperBound || d < lowerBound)
        return false;
    return MaskSelection(currentPattern, t.fieldByName(QStringLiteral("CBC")).asString());
}

QString EconomicArticlesReport::filterExpression() const
{
    QString e = QStringLiteral("FiDate >= %1 and FiDate <= %2").arg(dateLiteral(lowerBound), dateLiteral(upperBound));
    if (currentPattern != Stars19)
        e += QStringLiteral(" and MASK(CBC, %1)").arg(quoted(currentPattern));
    return e;
}

void EconomicArticlesReport::fill(int year, RunProgress* progress, bool& cancelled)
{
    dm::TDataBase1& d = db();
    store::Table& cbc = d.CBCSPRTable;
    {
        // Every code's mark rewritten: "*" for an economic-article code.
        cbc.setFiltered(false);
        Marks marks(cbc);
        const int n = cbc.recordCount();
        for (int i = 0; i < n; ++i) {
            if (progress && !progress->progress(0)) {
                cancelled = true;
                break;
            }
            marks.set(i, CBCIsEcstFilter(cbc.storedValueAt(i, QStringLiteral("CBC")).toString()));
        }
        marks.write();
    }
    cbc.setFilterExpression(MarkedExpression);
    cbc.setFiltered(true);
    store::Table& md4 = d.MD4Table;
    md4.close();
    md4.emptyTable();
    md4.open();
    if (cancelled)
        return;

    // The receipts and expenditures of each quarter summed by code, once;
    // each marked code then adds up the codes it matches.
    CodeSums<8> sums;
    currentPattern = Stars19;
    setQuarter(year, 1);
    const QDate first = lowerBound;
    setQuarter(year, 4);
    const QDate last = upperBound;
    for (int side = 0; side < 2; ++side) {
        store::Table& t = side == 0 ? d.T2_1 : d.T2_2;
        // FilterT2_1AndT2_2 for the four quarters at once: the dates of the
        // year, each posting in the quarter of its month.
        aggregate(t,
                  QStringLiteral("SELECT \"CBC\" || '', (CAST(substr(\"FiDate\", 6, 2) AS INTEGER) + 2) / 3, TOTAL(\"Amount\") FROM "
                                 "\"%1\" WHERE \"FiDate\" IS NOT NULL AND \"FiDate\" >= ? AND \"FiDate\" <= ? "
                                 "GROUP BY 1, 2")
                      .arg(t.tableName()),
                  {{first, schema::FieldType::Date}, {last, schema::FieldType::Date}}, [&](store::Statement& st) {
                      const int q = int(st.columnInt(1));
                      if (q >= 1 && q <= 4)
                          sums.add(st.columnText(0), side * 4 + q - 1, st.column(2, schema::FieldType::Float).toDouble());
                  });
    }
    store::BatchScope batch(md4.connection());
    const int n = cbc.recordCount();
    cbc.first();
    for (int i = 1; i <= n; ++i) {
        if (progress && !progress->progress(i * 100 / n)) {
            cancelled = true;
            break;
        }
        currentPattern = cbc.fieldByName(QStringLiteral("CBC")).asString();
        const auto v = sums.matching(currentPattern);
        double all = 0;
        for (double x : v)
            all += x;
        if (!isZero(all)) {
            md4.append();
            md4.fieldByName(QStringLiteral("CBC")).setValue(currentPattern);
            md4.fieldByName(QStringLiteral("CBCName"))
                .setValue(cbc.fieldByName(QStringLiteral("NAME")).asString().left(md4.fieldByName(QStringLiteral("CBCName")).size()));
            const char* f[] = {"InQ1", "InQ2", "InQ3", "InQ4", "OutQ1", "OutQ2", "OutQ3", "OutQ4"};
            for (int k = 0; k < 8; ++k)
                md4.fieldByName(QLatin1String(f[k])).setValue(v[size_t(k)]);
            md4.post();
        }
        cbc.next();
    }
    batch.commit();
}

void EconomicArticlesReport::takeDown()
{
    dm::TDataBase1& d = db();
    for (store::Table* t : {&d.T2_1, &d.T2_2}) {
        t->setFiltered(false);
        t->setFilterExpression(QString());
        t->setFilterCallback({});
    }
    d.CBCSPRTable.setFiltered(false);
    d.MD4Table.close();
}

std::optional<PageSet> EconomicArticlesReport::run(int year, RunProgress* progress)
{
    dm::TDataBase1& d = db();
    ProgressSpan span(progress);
    ControlsOff controls;
    try {
        span.start();
        std::optional<PageSet> pages;
        bool cancelled = false;
        {
            dm::TableProcessOff hooksOff(d);
            d.SyncTable(d.T2_1);
            d.SyncTable(d.T2_2);
            for (store::Table* t : {&d.T2_1, &d.T2_2, &d.CBCSPRTable}) {
                controls.take(*t);
                t->clearMaster();
            }
            for (store::Table* t : {&d.T2_1, &d.T2_2}) {
                t->setFiltered(false);
                t->setFilterCallback({});
            }
            fill(year, progress, cancelled);
            span.finish();
            for (store::Table* t : {&d.T2_1, &d.T2_2}) {
                t->setFiltered(false);
                t->setFilterExpression(QString());
            }
            d.CBCSPRTable.setFiltered(false);
            hooksOff.restore();
            if (!cancelled) {
                d.MD4Table.first();
                pages = layout().generate();
            }
        }
        takeDown();
        controls.giveBack();
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
