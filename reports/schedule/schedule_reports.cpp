#include "reports/schedule/schedule_reports.h"

#include "core/datamodule/datamodule.h"
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
    master.first();
    if (selection().accounts != Selection::Accounts::OnlyOne)
        return;
    // The chosen account; when the accounts no longer have it, the first row.
    for (; !master.eof(); master.next())
        if (master.fieldByName(QStringLiteral("Facebill")).asString() == selection().account)
            return;
    master.first();
}

void ApprovedScheduleReport::fillRow()
{
    dm::TDataBase1& d = db();
    store::Table& plan = d.PlanTable;
    store::Table& md4 = d.MD4Table;
    store::Table& md12 = d.Md12Table;
    setPatterns(selectedCodes());
    // The distinct codes of the selected schedule rows, in code order.
    md4.close();
    md4.emptyTable();
    md4.open();
    for (plan.first(); !plan.eof(); plan.next()) {
        const QString code = plan.fieldByName(QStringLiteral("Cbc")).asString();
        if (!md4.findKey({code})) {
            md4.append();
            md4.fieldByName(QStringLiteral("CBC")).setValue(code);
            md4.post();
        }
    }
    const QString account = d.T1.fieldByName(QStringLiteral("Facebill")).asString();
    const char* sums[] = {"Sum1", "Sum2", "Sum3", "Sum4", "AllSum"};
    for (md4.first(); !md4.eof(); md4.next()) {
        const QString code = md4.fieldByName(QStringLiteral("CBC")).asString();
        setPatterns(code);
        md12.append();
        md12.fieldByName(QStringLiteral("CBC")).setValue(code);
        md12.fieldByName(QStringLiteral("FaceBill")).setValue(account);
        for (const char* s : sums)
            md12.fieldByName(QLatin1String(s)).setValue(CalcSumTable(plan, QLatin1String(s)));
        md12.post();
    }
}

void ApprovedScheduleReport::beforePages()
{
    db().Md12Table.setMaster(&db().T1, QStringLiteral("FaceBill"), QStringLiteral("FaceBill"));
}

void ApprovedScheduleReport::takeDown()
{
    ReportRun::takeDown();
    dm::TDataBase1& d = db();
    d.PlanTable.setFiltered(false);
    d.PlanTable.setFilterCallback({});
    d.PlanTable.setFilterExpression(QString());
    d.MD4Table.close();
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
