#include "reports/schedule/schedule_reports.h"

#include "core/datamodule/datamodule.h"
#include "core/store/session.h"
#include "core/store/table.h"

namespace reports {

namespace {
const QString Stars5(5, QLatin1Char('*'));
const QString Stars11(11, QLatin1Char('*'));
const QString Stars19(19, QLatin1Char('*'));
} // namespace

// ------------------------------------------------------------------ the approved schedule

ApprovedScheduleReport::ApprovedScheduleReport(dm::TDataBase1& db) : ReportRun(db), t1_(db.T1), md12_(db.Md12Table)
{
    Report& r = QuickRep1;
    r.setMaster(&t1_);
    r.addSource(&md12_);
    const QString times = QStringLiteral("Times New Roman");

    Band& title = r.title(28);
    addOrgNameQRLabel(r, title, [this] { return this->db().OrgName(); });
    title.addLabel(QStringLiteral("QRLabel1"), QStringLiteral("Утвержденная роспись расходов по лицевым счетам"))
        .at(0, 6, 202, 9)
        .withFont(16, true, true)
        .aligned(Align::Center);
    Item& org = title.addLabel(QStringLiteral("OrgQRLabel"), QStringLiteral("OrgQRLabel"));
    org.at(0, 17, 110, 4.5).withFont(10, false, false, times);
    org.onPrint = [this](Item&, ItemPrint& p) { p.text = selection().orgText(); };
    Item& cbc = title.addLabel(QStringLiteral("CBCQRLabel"), QStringLiteral("CBCQRLabel"));
    cbc.at(0, 21.5, 110, 4.5).withFont(10, false, false, times);
    cbc.onPrint = [this](Item&, ItemPrint& p) { p.text = selection().cbcText(); };
    title.addLabel(QStringLiteral("QRLabel2"), QStringLiteral("Дата составления")).at(120, 21.5, 35, 4.5).aligned(Align::Right);
    title.addSystemDate(QStringLiteral("QRSysData1")).at(156, 21.5, 46, 4.5);

    Band& head = r.detail(9);
    Item& acc = head.addDataText(QStringLiteral("QRDBText5"), t1_.name(), QStringLiteral("Facebill"));
    acc.at(0, 1.5, 39, 6).withFont(12, true);
    acc.onPrint = [this](Item& it, ItemPrint& p) { QRDBText5Print(it, p); };
    Item& law = head.addDataText(QStringLiteral("QRDBText23"), t1_.name(), QStringLiteral("LawSName"));
    law.at(39, 1.5, 163, 6).withFont(12, true);
    law.onPrint = [this](Item& it, ItemPrint& p) { QRDBText23Print(it, p); };
    head.beforePrint = [this](Band& b, bool& p) { DetailBand1BeforePrint(b, p); };

    const double x[] = {0, 48, 78, 109, 140, 171}, w[] = {48, 30, 31, 31, 31, 31};
    const char* h[] = {"Код БК", "I кв", "II кв", "III кв", "IV кв", "Всего"};
    const char* f[] = {"CBC", "Sum1", "Sum2", "Sum3", "Sum4", "AllSum"};
    Band& rows = r.addSubDetail(QStringLiteral("QRSubDetail1"), &md12_, 6);
    Band& rowsHead = r.subHeader(rows, 6);
    for (int i = 0; i < 6; ++i)
        rowsHead.addLabel(QStringLiteral("HeadLabel%1").arg(i + 1), QString::fromUtf8(h[i]))
            .at(x[i], 0, w[i], 6)
            .withFont(10, true)
            .aligned(Align::Center)
            .framed(FrameAll);
    for (int i = 0; i < 6; ++i) {
        Item& it = rows.addDataText(QStringLiteral("Md12Text%1").arg(i + 1), md12_.name(), QString::fromLatin1(f[i]));
        it.at(x[i], 0, w[i], 6);
        if (i == 0)
            it.withFont(9, false, false, QStringLiteral("Courier New"));
        else
            it.aligned(Align::Right);
    }
    Band& foot = r.subFooter(rows, 6);
    foot.topLine = true;
    foot.addLabel(QStringLiteral("QRLabel9"), QStringLiteral("Итого")).at(x[0], 0, w[0], 6).withFont(10, true).aligned(Align::Right);
    for (int i = 1; i < 6; ++i)
        foot.addExpression(QStringLiteral("QRExpr%1").arg(i), QStringLiteral("SUM(%1.%2)").arg(md12_.name(), QString::fromLatin1(f[i])), &rows)
            .at(x[i], 0, w[i], 6)
            .aligned(Align::Right);
}

bool ApprovedScheduleReport::FilterPlanTable(store::Table& t) const
{
    return MaskSelection(orgPattern, t.fieldByName(QStringLiteral("Org")).asString())
        && MaskSelection(accountPattern, t.fieldByName(QStringLiteral("FaceBill")).asString())
        && MaskSelection(cbcPattern, t.fieldByName(QStringLiteral("Cbc")).asString());
}

QString ApprovedScheduleReport::selectedCodes() const { return selection().cbc ? selection().cbcMask : Stars19; }

void ApprovedScheduleReport::setPatterns(const QString& cbc)
{
    dm::TDataBase1& d = db();
    d.PlanTable.setFiltered(false);
    orgPattern = selection().org ? selection().orgMask : Stars5;
    cbcPattern = cbc;
    accountPattern = selection().accounts == Selection::Accounts::SumAll
                         ? Stars11
                         : d.T1.fieldByName(QStringLiteral("Facebill")).asString();
    d.PlanTable.setFiltered(true);
}

void ApprovedScheduleReport::setUp()
{
    dm::TDataBase1& d = db();
    gathered_ = false;
    t1Row_ = d.T1.recNo();
    d.SyncTable(d.T1);
    d.SyncTable(d.PlanTable);
    d.PlanTable.clearMaster();
    d.PlanTable.setFiltered(false);
    d.PlanTable.setFilterExpression(QString());
    d.PlanTable.setFilterCallback([this](store::Table& t) { return FilterPlanTable(t); });
    store::Table& md = d.Md12Table;
    md.clearMaster();
    md.close();
    md.emptyTable();
    md.open();
}

store::Table& ApprovedScheduleReport::masterTable() { return db().T1; }

int ApprovedScheduleReport::passCount(store::Table& master)
{
    return selection().accounts == Selection::Accounts::EveryOne ? master.recordCount() : 1;
}

void ApprovedScheduleReport::startPasses(store::Table& master)
{
    // The rows of md4 and md12 of every pass are written in one transaction.
    batch_ = std::make_unique<store::BatchScope>(db().Md12Table.connection());
    master.first();
    if (selection().accounts != Selection::Accounts::OnlyOne)
        return;
    // The chosen account; when the accounts no longer have it, the first row.
    for (; !master.eof(); master.next())
        if (master.fieldByName(QStringLiteral("Facebill")).asString() == selection().account)
            return;
    master.first();
}

void ApprovedScheduleReport::gatherSchedule()
{
    // One walk of the selected schedule rows of every account: the sums of
    // each account and code, and of each code over all accounts, added in
    // the order of the rows as the walk of one account and code adds them.
    dm::TDataBase1& d = db();
    store::Table& plan = d.PlanTable;
    byAccount_.clear();
    byCode_.clear();
    irregular_ = false;
    plan.setFiltered(false);
    orgPattern = selection().org ? selection().orgMask : Stars5;
    cbcPattern = selectedCodes();
    accountPattern = Stars11;
    plan.setFiltered(true);
    const char* sums[] = {"Sum1", "Sum2", "Sum3", "Sum4", "AllSum"};
    for (plan.first(); !plan.eof(); plan.next()) {
        const QString account = plan.fieldByName(QStringLiteral("FaceBill")).asString();
        const QString code = plan.fieldByName(QStringLiteral("Cbc")).asString();
        // A pattern also matches a shorter text that begins it: rows that
        // do not fill their fields are summed by the filter, not here.
        if (account.size() != 11 || code.size() != 19)
            irregular_ = true;
        Sums& one = byAccount_[account][code];
        Sums& all = byCode_[code];
        for (int i = 0; i < 5; ++i) {
            const QVariant v = plan.fieldByName(QLatin1String(sums[i])).value();
            if (!v.isNull()) {
                one.v[i] += v.toDouble();
                all.v[i] += v.toDouble();
            }
        }
    }
    gathered_ = true;
}

void ApprovedScheduleReport::fillRow()
{
    dm::TDataBase1& d = db();
    store::Table& plan = d.PlanTable;
    store::Table& md4 = d.MD4Table;
    store::Table& md12 = d.Md12Table;
    if (!gathered_)
        gatherSchedule();
    const bool sumAll = selection().accounts == Selection::Accounts::SumAll;
    const QString account = d.T1.fieldByName(QStringLiteral("Facebill")).asString();
    // An account number with an asterisk is a pattern for the schedule's
    // filter: its rows are those the pattern matches; so with rows whose
    // texts are short.
    const bool pattern = irregular_ || (!sumAll && account.contains(QLatin1Char('*')));
    if (pattern)
        setPatterns(selectedCodes());
    static const std::map<QString, Sums> none;
    const auto found = byAccount_.find(account);
    const std::map<QString, Sums>& codes = sumAll ? byCode_ : found != byAccount_.end() ? found->second : none;
    // The distinct codes of the selected schedule rows, in code order.
    md4.close();
    md4.emptyTable();
    md4.open();
    auto addCode = [&](const QString& code) {
        if (!md4.findKey({code})) {
            md4.append();
            md4.fieldByName(QStringLiteral("CBC")).setValue(code);
            md4.post();
        }
    };
    if (pattern)
        for (plan.first(); !plan.eof(); plan.next())
            addCode(plan.fieldByName(QStringLiteral("Cbc")).asString());
    else
        for (const auto& c : codes)
            addCode(c.first);
    const char* sums[] = {"Sum1", "Sum2", "Sum3", "Sum4", "AllSum"};
    for (md4.first(); !md4.eof(); md4.next()) {
        const QString code = md4.fieldByName(QStringLiteral("CBC")).asString();
        md12.append();
        md12.fieldByName(QStringLiteral("CBC")).setValue(code);
        md12.fieldByName(QStringLiteral("FaceBill")).setValue(account);
        if (pattern || code.contains(QLatin1Char('*'))) {
            // A code with an asterisk sums every row its pattern matches.
            setPatterns(code);
            for (const char* s : sums)
                md12.fieldByName(QLatin1String(s)).setValue(CalcSumTable(plan, QLatin1String(s)));
        } else {
            const Sums& v = codes.at(code);
            for (int i = 0; i < 5; ++i)
                md12.fieldByName(QLatin1String(sums[i])).setValue(v.v[i]);
        }
        md12.post();
    }
}

void ApprovedScheduleReport::beforePages()
{
    if (batch_) {
        auto b = std::move(batch_);
        b->commit();
    }
    db().Md12Table.setMaster(&db().T1, QStringLiteral("FaceBill"), QStringLiteral("FaceBill"));
}

void ApprovedScheduleReport::takeDown()
{
    ReportRun::takeDown();
    dm::TDataBase1& d = db();
    d.PlanTable.setFiltered(false);
    d.PlanTable.setFilterCallback({});
    d.PlanTable.setFilterExpression(QString());
    batch_.reset();   // a cancelled or failed fill: its rows are not kept
    d.MD4Table.close();
    byAccount_.clear();
    byCode_.clear();
    gathered_ = false;
    d.Md12Table.clearMaster();
    d.Md12Table.close();
    // The accounts stand again on the account they stood on.
    if (t1Row_ > 0 && d.T1.isOpen())
        d.T1.setRecNo(t1Row_);
    t1Row_ = 0;
}

void ApprovedScheduleReport::DetailBand1BeforePrint(Band&, bool& print) { print = !db().Md12Table.isEmpty(); }

void ApprovedScheduleReport::QRDBText5Print(Item&, ItemPrint& p)
{
    if (selection().accounts == Selection::Accounts::SumAll)
        p.text.clear();
}

void ApprovedScheduleReport::QRDBText23Print(Item&, ItemPrint& p)
{
    if (selection().accounts == Selection::Accounts::SumAll)
        p.text.clear();
}

} // namespace reports

// ------------------------------------------------------------------ the schedule execution

namespace reports {

void ExecutionSelection::chooseQuarter(int q, int accountingYear)
{
    quarter = q;
    correctionStart = QDate(accountingYear, 1, 1);
    correctionEnd = QDate(accountingYear, q * 3, 1).addMonths(1).addDays(-1);
    start = correctionStart;
    end = correctionEnd;
    startText = start.toString(QStringLiteral("dd.MM.yyyy"));
    endText = end.toString(QStringLiteral("dd.MM.yyyy"));
    year = accountingYear;
}

ExecutionReport::ExecutionReport(dm::TDataBase1& db) : db_(db), md9_(db.Md9Table)
{
    Report& r = QuickRep1;
    r.setMaster(&md9_);
    const QString times = QStringLiteral("Times New Roman");
    Band& title = r.title(40);
    addOrgNameQRLabel(r, title, [this] { return this->db().OrgName(); });
    static const char* captions[] = {"I", "I + II", "I + II + III", "I + II + III + IV"};
    Item& t = title.addLabel(QStringLiteral("TitleLabel1"), QStringLiteral("TitleLabel1"));
    t.at(0, 6, 202, 8).withFont(16).aligned(Align::Center);
    t.onPrint = [this](Item&, ItemPrint& p) {
        p.text = QStringLiteral("Исполнение росписи расходов за ") + QLatin1String(captions[qBound(1, sel_.quarter, 4) - 1])
            + QStringLiteral(" квартал ") + QString::number(sel_.year) + QStringLiteral(" года");
    };
    Item& acc = title.addLabel(QStringLiteral("TitleLabel"), QStringLiteral("TitleLabel"));
    acc.at(0, 14, 202, 7).withFont(14).aligned(Align::Center);
    acc.onPrint = [this](Item&, ItemPrint& p) {
        p.text = sel_.accountMask.contains(QLatin1Char('*')) ? QString() : QStringLiteral("Лицевой счет ") + sel_.accountMask;
    };
    title.addLabel(QStringLiteral("QRLabel2"), QStringLiteral("Дата составления")).at(120, 22, 35, 4.5).aligned(Align::Right);
    title.addSystemDate(QStringLiteral("QRSysData1")).at(156, 22, 46, 4.5);
    Item& org = title.addLabel(QStringLiteral("OrgQRLabel"), QStringLiteral("OrgQRLabel"));
    org.at(0, 26.5, 110, 4.5).withFont(10, false, false, times);
    org.onPrint = [this](Item&, ItemPrint& p) {
        p.text = sel_.orgRange ? QStringLiteral("Отбор организаций: c ") + sel_.orgFirst + QStringLiteral(" по ") + sel_.orgLast
                               : QStringLiteral("Отбор организаций: Все");
    };
    Item& cbc = title.addLabel(QStringLiteral("CBCQRLabel"), QStringLiteral("CBCQRLabel"));
    cbc.at(0, 31, 110, 4.5).withFont(10, false, false, times);
    cbc.onPrint = [this](Item&, ItemPrint& p) {
        p.text = sel_.cbc ? QStringLiteral("Отбор КБК: по маске ") + sel_.cbcMask : QStringLiteral("Отбор КБК: Все");
    };
    Item& ras = title.addLabel(QStringLiteral("RashodLabel"), QStringLiteral("RashodLabel"));
    ras.at(0, 35.5, 202, 4.5).withFont(10, false, false, times);
    ras.onPrint = [this](Item&, ItemPrint& p) {
        p.text = QStringLiteral("Расход по организациям c ") + sel_.startText + QStringLiteral(" по ") + sel_.endText;
    };

    const double x[] = {0, 62, 102, 127, 152, 177}, w[] = {62, 40, 25, 25, 25, 25};
    const char* h[] = {"Код/наименование организации", "КБК", "Утвержденная роспись", "Уточненная роспись", "Расходы", "Остаток"};
    const char* f[] = {"Org", "Cbc", "PlanSum", "CorPlanSum", "RasHod", "Remainder"};
    Band& head = r.columnHeader(10);
    // The headings wrap within their columns; a long organization name
    // wraps within its column and the line grows, instead of running over
    // the code beside it.
    for (int i = 0; i < 6; ++i)
        head.addLabel(QStringLiteral("HeadLabel%1").arg(i + 1), QString::fromUtf8(h[i]))
            .at(x[i], 0, w[i], 10)
            .withFont(9, true)
            .aligned(Align::Center)
            .framed(FrameAll)
            .wrapped();
    Band& d = r.detail(6);
    for (int i = 0; i < 6; ++i) {
        Item& it = d.addDataText(QStringLiteral("QRDBText%1").arg(i + 1), md9_.name(), QString::fromLatin1(f[i]));
        it.at(x[i], 0, w[i], 6).withFont(9);
        if (i >= 2)
            it.aligned(Align::Right);
        if (i == 0)
            it.stretching();
    }
    d.item(QStringLiteral("QRDBText1"))->onPrint = [this](Item&, ItemPrint& p) {
        // The code as stored and the organization's name, when the book has it.
        store::Table& o = this->db().Org_Table;
        const int pos = o.keyIndex({p.text});
        QString name;
        if (pos >= 0)
            name = o.storedValueAt(pos, QStringLiteral("Name")).toString();
        p.text = p.text + QLatin1Char(' ') + name;
    };
    d.item(QStringLiteral("QRDBText6"))->onPrint = [this](Item& it, ItemPrint& p) { RemainderQRDBTextPrint(it, p); };
    r.summary(1);
}

bool ExecutionReport::FilterPlanTable(store::Table& t) const
{
    return MaskSelection(plan.cbc, t.fieldByName(QStringLiteral("Cbc")).asString())
        && MaskSelection(sel_.accountMask, t.fieldByName(QStringLiteral("FaceBill")).asString())
        && MaskSelection(plan.org, t.fieldByName(QStringLiteral("Org")).asString());
}

bool ExecutionReport::CorPlanFilter(store::Table& t) const
{
    if (!MaskSelection(cor.org, t.fieldByName(QStringLiteral("Org")).asString())
        || !MaskSelection(cor.cbc, t.fieldByName(QStringLiteral("Cbc")).asString())
        || !MaskSelection(sel_.accountMask, t.fieldByName(QStringLiteral("FaceBill")).asString()))
        return false;
    const QDate d = t.fieldByName(QStringLiteral("CorDate")).value().toDate();
    return !(d > sel_.correctionEnd) && !(d < sel_.correctionStart);
}

bool ExecutionReport::FilterT2_2(store::Table& t) const
{
    if (!MaskSelection(out.org, t.fieldByName(QStringLiteral("Org")).asString())
        || !MaskSelection(out.cbc, t.fieldByName(QStringLiteral("CBC")).asString())
        || !MaskSelection(sel_.accountMask, t.fieldByName(QStringLiteral("Facebill")).asString()))
        return false;
    QDate d = t.fieldByName(QStringLiteral("FiDate")).value().toDate();
    if (!d.isValid())
        d = nullDate();
    return !(d > sel_.end) && !(d < sel_.start);
}

void ExecutionReport::RemainderQRDBTextPrint(Item& it, ItemPrint& p)
{
    // The colour of the line being printed, not only of the next one.
    it.color = db().Md9Table.fieldByName(QStringLiteral("Remainder")).asFloat() < 0 ? QColor(Qt::red) : QColor(Qt::black);
    p.color = it.color;
}

void ExecutionReport::fill(RunProgress* progress, bool& cancelled)
{
    dm::TDataBase1& d = db();
    store::Table* tables[] = {&d.PlanTable, &d.CorPlanTable, &d.T2_2};
    Masks* masks[] = {&plan, &cor, &out};
    const QString cbcCodes = sel_.cbc ? sel_.cbcMask : Stars19;
    for (Masks* m : masks)
        *m = Masks{Stars5, cbcCodes};
    d.PlanTable.setFilterCallback([this](store::Table& t) { return FilterPlanTable(t); });
    d.CorPlanTable.setFilterCallback([this](store::Table& t) { return CorPlanFilter(t); });
    d.T2_2.setFilterCallback([this](store::Table& t) { return FilterT2_2(t); });
    for (store::Table* t : tables) {
        t->setFiltered(true);
        if (sel_.orgRange)
            t->setRange({sel_.orgFirst}, {sel_.orgLast});
    }
    store::Table& md9 = d.Md9Table;
    md9.close();
    md9.emptyTable();
    md9.open();
    // The rows of md9 are written in one transaction.
    store::BatchScope batch(md9.connection());
    // One walk of each table's selected rows gives the distinct
    // organizations and codes and, in the same walk, their sums, added in
    // the order of the rows as the walk of one organization and code adds
    // them. An organization or code with an asterisk is a pattern for the
    // filters, and a short text is matched by longer patterns: with either
    // the sums are taken row by row through the filters.
    const char* cbcField[] = {"Cbc", "Cbc", "CBC"};
    const char* quarters[] = {"Sum1", "Sum2", "Sum3", "Sum4"};
    struct Sums {
        double plan[4] = {0, 0, 0, 0}, cor[4] = {0, 0, 0, 0};
        double spent = 0;
    };
    std::map<std::pair<QString, QString>, Sums> sums;
    bool irregular = false;
    for (int k = 0; k < 3 && !cancelled; ++k) {
        store::Table& t = *tables[k];
        t.first();
        const int n = t.recordCount();
        for (int i = 0; i < n; ++i) {
            const QString org = t.fieldByName(QStringLiteral("Org")).asString();
            const QString code = t.fieldByName(QLatin1String(cbcField[k])).asString();
            auto [it, added] = sums.try_emplace({org, code});
            if (added && (org.size() != 5 || code.size() != 19 || org.contains(QLatin1Char('*'))
                          || code.contains(QLatin1Char('*'))))
                irregular = true;
            Sums& v = it->second;
            if (k < 2) {
                for (int q = 0; q < sel_.quarter && q < 4; ++q) {
                    const QVariant x = t.fieldByName(QLatin1String(quarters[q])).value();
                    if (!x.isNull())
                        (k == 0 ? v.plan : v.cor)[q] += x.toDouble();
                }
            } else {
                const QVariant x = t.fieldByName(QStringLiteral("Amount")).value();
                if (!x.isNull())
                    v.spent += x.toDouble();
            }
            t.next();
        }
        if (!cancelled && k < 2 && progress && !progress->progress(k == 0 ? 3 : 6))
            cancelled = true;
    }
    if (cancelled)
        return;
    // One md9 row for each organization and code, in md9's order (its key),
    // written whole once.
    const int n = int(sums.size());
    int i = 0;
    for (const auto& [key, v] : sums) {
        ++i;
        if (progress && !progress->progress(10 + i * 90 / n)) {
            cancelled = true;
            return;
        }
        const auto& [org, code] = key;
        double planSum = 0, corSum = 0, spent = 0;
        if (irregular) {
            for (int k = 0; k < 3; ++k) {
                tables[k]->setFiltered(false);
                *masks[k] = Masks{org, code};
                tables[k]->setFiltered(true);
            }
            for (int q = 0; q < sel_.quarter && q < 4; ++q) {
                planSum += CalcSumTable(d.PlanTable, QLatin1String(quarters[q]));
                corSum += CalcSumTable(d.CorPlanTable, QLatin1String(quarters[q]));
            }
            spent = CalcSumTable(d.T2_2, QStringLiteral("Amount"));
        } else {
            for (int q = 0; q < sel_.quarter && q < 4; ++q) {
                planSum += v.plan[q];
                corSum += v.cor[q];
            }
            spent = v.spent;
        }
        corSum += planSum;
        md9.append();
        md9.fieldByName(QStringLiteral("Org")).setValue(org);
        md9.fieldByName(QStringLiteral("Cbc")).setValue(code);
        md9.fieldByName(QStringLiteral("PlanSum")).setValue(planSum);
        md9.fieldByName(QStringLiteral("CorPlanSum")).setValue(corSum);
        md9.fieldByName(QStringLiteral("RasHod")).setValue(spent);
        md9.fieldByName(QStringLiteral("Remainder")).setValue(corSum - spent);
        md9.post();
    }
    batch.commit();
}

void ExecutionReport::takeDown()
{
    dm::TDataBase1& d = db();
    d.Org_Table.cancelRange();
    for (store::Table* t : {&d.PlanTable, &d.CorPlanTable, &d.T2_2}) {
        t->cancelRange();
        t->setFiltered(false);
        t->setFilterCallback({});
        t->setFilterExpression(QString());
        t->clearMaster();
    }
    d.T2_2.setOrder(QStringLiteral("Facebill;LawRef;Amount;FiDate;CBC;Org"));
    d.Md9Table.close();
}

std::optional<PageSet> ExecutionReport::run(const ExecutionSelection& selection, RunProgress* progress)
{
    dm::TDataBase1& d = db();
    sel_ = selection;
    ProgressSpan span(progress);
    try {
        span.start();
        std::optional<PageSet> pages;
        bool cancelled = false;
        {
            dm::TableProcessOff hooksOff(d);
            d.SyncTable(d.T2_1);
            d.SyncTable(d.T2_2);
            d.Org_Table.cancelRange();
            d.Org_Table.clearMaster();
            for (store::Table* t : {&d.PlanTable, &d.CorPlanTable, &d.T2_2}) {
                t->cancelRange();
                t->setFiltered(false);
                t->setFilterExpression(QString());
                t->clearMaster();
            }
            d.T2_2.setOrder(QStringLiteral("Org"));
            fill(progress, cancelled);
            span.finish();
            hooksOff.restore();
            if (!cancelled) {
                d.Md9Table.first();
                pages = layout().generate();
            }
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
