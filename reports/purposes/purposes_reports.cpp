#include "reports/purposes/purposes_reports.h"

#include "core/datamodule/datamodule.h"
#include "core/store/format.h"
#include "core/store/table.h"
#include "reports/accounts/accounts_reports.h"

namespace reports {

namespace {
const QColor Navy(0, 0, 128);

Item& heading(Band& b, const QString& name, const QString& text, double x, double y, double w, double h,
              double pt = 10, int frame = FrameAll)
{
    return b.addLabel(name, text).at(x, y, w, h).withFont(pt, true).aligned(Align::Center).framed(frame);
}

QString money(double v) { return store::formatNumber(v, QStringLiteral("#0.00")); }

// The organization of an expenditure: its code in display form, a blank and
// its name from the organizations' book linked to the expenditure.
void orgOfExpenditure(dm::TDataBase1& d, ItemPrint& p)
{
    p.text = orgCodeText(d.T2_2.fieldByName(QStringLiteral("Org")).asString()) + QLatin1Char(' ');
    if (!d.Org_Table.isEmpty())
        p.text += d.Org_Table.fieldByName(QStringLiteral("Name")).asString();
}
} // namespace

// ------------------------------------------------------------------ books put back

void BookPlace::remember(store::Table& t)
{
    t_ = &t;
    recNo_ = t.isOpen() ? t.recNo() : 0;
    order_ = t.order();
    filtered_ = t.filtered();
}

void BookPlace::restore()
{
    if (!t_ || !t_->isOpen())
        return;
    if (t_->order() != order_)
        t_->setOrder(order_);
    if (t_->filtered() != filtered_)
        t_->setFiltered(filtered_);
    if (recNo_ > 0 && recNo_ <= t_->recordCount() && t_->recNo() != recNo_)
        t_->setRecNo(recNo_);
}

// ------------------------------------------------------------------ the fill over md3

void PurposesRun::setUp()
{
    dm::TDataBase1& d = db();
    store::Table& law = d.LawSprTable;
    law_.remember(law);
    law.clearMaster();
    law.setOrder(QStringLiteral("LawRef"));
    sumPostingsBy(law, QStringLiteral("LawRef"), d.MD3Table);
}

store::Table& PurposesRun::masterTable() { return db().LawSprTable; }

void PurposesRun::fillRow()
{
    appendTotals(db().MD3Table, db().LawSprTable.fieldByName(QStringLiteral("LawRef")).asString());
}

void PurposesRun::takeDown()
{
    ReportRun::takeDown();
    db().MD3Table.clearMaster();
    law_.restore();
}

// ------------------------------------------------------------------ receipts and expenditures by purposes

PurposesReport::PurposesReport(dm::TDataBase1& db)
    : PurposesRun(db), lawSrc_(db.LawSprTable), t21_(db.T2_1), t22_(db.T2_2), md3_(db.MD3Table), org_(db.Org_Table)
{
    Report& r = QuickRep1;
    r.setMaster(&lawSrc_);
    for (DataSource* s : {static_cast<DataSource*>(&md3_), static_cast<DataSource*>(&org_)})
        r.addSource(s);

    Band& title = r.title(25);
    addOrgNameQRLabel(r, title, [this] { return this->db().OrgName(); });
    title.addLabel(QStringLiteral("QRLabel2"), QStringLiteral("Дата составления")).at(127, 7, 35, 5).aligned(Align::Right);
    title.addSystemDate(QStringLiteral("QRSysData1")).at(163, 7, 39, 5);
    addHeaderTexts(title, 15.5, 100, 102, 100);

    Band& head = r.detail(7);
    head.addLabel(QStringLiteral("QRLabel3"), QStringLiteral("Назначение")).at(0, 1, 32, 6).withFont(12, true);
    head.addDataText(QStringLiteral("QRDBText1"), lawSrc_.name(), QStringLiteral("Sname")).at(32, 1, 170, 6).withFont(12, true);
    head.beforePrint = [this](Band& b, bool& p) { DetailBand1BeforePrint(b, p); };

    // Receipts: header, one row per selected receipt, footer with the total.
    Band& in = r.addSubDetail(QStringLiteral("InQRSubDetail"), &t21_, 5);
    Band& inHead = r.subHeader(in, 12);
    inHead.addLabel(QStringLiteral("QRLabel4"), QStringLiteral("Поступления")).at(0, 0.5, 60, 5).withFont(10, true);
    const double ix[] = {0, 44, 91, 117}, iw[] = {44, 47, 26, 30};
    const char* ih[] = {"Лицевой счет", "Код БК", "Дата", "Сумма"};
    const char* ifield[] = {"FaceBill", "CBC", "FiDate", "Amount"};
    for (int i = 0; i < 4; ++i) {
        heading(inHead, QStringLiteral("InHead%1").arg(i + 1), QString::fromUtf8(ih[i]), ix[i], 6, iw[i], 6);
        in.addDataText(QStringLiteral("InText%1").arg(i + 1), t21_.name(), QLatin1String(ifield[i]))
            .at(ix[i], 0, iw[i], 5)
            .aligned(Align::Center);
    }
    Band& inFoot = r.subFooter(in, 7);
    inFoot.topLine = true;
    inFoot.addLabel(QStringLiteral("QRLabel5"), QStringLiteral("Итого")).at(ix[2], 1, iw[2], 5).withFont(10, true).aligned(Align::Right);
    inFoot.addDataText(QStringLiteral("InSumText"), md3_.name(), QStringLiteral("InSum")).at(ix[3], 1, iw[3], 5).withFont(10, true).aligned(Align::Center);

    // Expenditures: the same with the organization.
    Band& out = r.addSubDetail(QStringLiteral("OutQRSubDetail"), &t22_, 6);
    Band& outHead = r.subHeader(out, 11);
    outHead.addLabel(QStringLiteral("QRLabel6"), QStringLiteral("Расход")).at(0, 0, 60, 5).withFont(10, true);
    const double ox[] = {0, 45, 89, 109, 158}, ow[] = {45, 44, 20, 49, 26};
    const char* oh[] = {"Лицевой счет", "Код БК", "Дата", "Организация", "Сумма"};
    for (int i = 0; i < 5; ++i)
        heading(outHead, QStringLiteral("OutHead%1").arg(i + 1), QString::fromUtf8(oh[i]), ox[i], 5, ow[i], 6);
    out.addDataText(QStringLiteral("OutBill"), t22_.name(), QStringLiteral("Facebill")).at(ox[0], 0, ow[0], 6).aligned(Align::Center);
    out.addDataText(QStringLiteral("OutCBC"), t22_.name(), QStringLiteral("CBC")).at(ox[1], 0, ow[1], 6).aligned(Align::Center);
    out.addDataText(QStringLiteral("OutDate"), t22_.name(), QStringLiteral("FiDate")).at(ox[2], 0, ow[2], 6).aligned(Align::Center);
    Item& org = out.addDataText(QStringLiteral("QRDBText3"), t22_.name(), QStringLiteral("Org"));
    org.at(ox[3], 0, ow[3], 6).withFont(8).stretching();
    org.onPrint = [this](Item& it, ItemPrint& p) { QRDBText3Print(it, p); };
    out.addDataText(QStringLiteral("OutAmount"), t22_.name(), QStringLiteral("Amount")).at(ox[4], 0, ow[4], 6).aligned(Align::Center);
    Band& outFoot = r.subFooter(out, 9);
    outFoot.topLine = true;
    outFoot.addLabel(QStringLiteral("QRLabel7"), QStringLiteral("Итого")).at(ox[3], 1, ow[3], 5).withFont(10, true).aligned(Align::Right);
    outFoot.addDataText(QStringLiteral("OutSumText"), md3_.name(), QStringLiteral("OutSum")).at(ox[4], 1, ow[4], 5).withFont(10, true).aligned(Align::Center);
}

bool PurposesReport::pass(int i, int n, RunProgress& progress)
{
    progress.gauge(i * 100 / n);
    if (progress.cancelled())
        return false;
    progress.handleEvents();
    return true;
}

void PurposesReport::DetailBand1BeforePrint(Band&, bool& print)
{
    // A purpose without a selected posting is left out altogether.
    print = db().T2_1.recordCount() + db().T2_2.recordCount() != 0;
}

void PurposesReport::QRDBText3Print(Item&, ItemPrint& p) { orgOfExpenditure(db(), p); }

// ------------------------------------------------------------------ movement of funds by purposes

MovementReport::MovementReport(dm::TDataBase1& db) : PurposesRun(db), md3_(db.MD3Table)
{
    Report& r = QuickRep1;
    r.setMaster(&md3_);
    r.beforePrint = [this](Report& rep) { QuickRepBeforePrint(rep); };

    Band& title = r.title(33);
    addOrgNameQRLabel(r, title, [this] { return this->db().OrgName(); });
    title.addLabel(QStringLiteral("QRLabel2"), QStringLiteral("Дата составления")).at(127, 7, 35, 5).aligned(Align::Right);
    title.addSystemDate(QStringLiteral("QRSysData1")).at(163, 7, 39, 5);
    addHeaderTexts(title, 14, 100, 102, 100);
    heading(title, QStringLiteral("QRLabel3"), QStringLiteral("Поступило"), 0, 26, 88, 7, 12, FrameTop | FrameRight).font.bold = false;
    heading(title, QStringLiteral("QRLabel4"), QStringLiteral("Направлено на"), 88, 26, 90, 7, 12, FrameTop | FrameRight).font.bold = false;
    heading(title, QStringLiteral("QRLabel5"), QStringLiteral("Остаток"), 178, 26, 24, 7, 12, FrameTop).font.bold = false;

    // The subtotal of a group, offered before every row (the condition A=0
    // changes with every row); its hook decides.
    Band& group = r.addGroup(QStringLiteral("QRGroup1"), 11);
    group.groupValue = [this] { return QString::number(A_); };
    group.beforePrint = [this](Band& b, bool& p) { QRGroup1BeforePrint(b, p); };
    // The subtotal of the last group after the last row, the same way.
    Band& last = r.summary(11);
    last.beforePrint = [this](Band&, bool& p) { p = groupIn_ + groupOut_ != 0; };
    using Hook = void (MovementReport::*)(Item&, ItemPrint&);
    for (Band* b : {&group, &last}) {
        const QString suffix = b == &group ? QString() : QStringLiteral("Last");
        b->addLabel(QStringLiteral("QRLabel6") + suffix, QString()).at(0, 0, 202, 11).framed(FrameBottom);
        b->addLabel(QStringLiteral("QRLabel7") + suffix, QStringLiteral("Итого")).at(42, 1, 16, 5);
        b->addLabel(QStringLiteral("QRLabel8") + suffix, QStringLiteral("Итого")).at(132, 1, 16, 5);
        const struct {
            const char* name;
            double x, w;
            Hook hook;
        } sums[] = {{"QRDBText1", 58, 30, &MovementReport::QRDBText1Print},
                    {"QRDBText2", 148, 28, &MovementReport::QRDBText2Print},
                    {"QRDBText5", 179, 23, &MovementReport::QRDBText5Print}};
        for (const auto& s : sums) {
            Item& it = b->addLabel(QLatin1String(s.name) + suffix, QLatin1String(s.name));
            it.at(s.x, 1, s.w, 5).framed(FrameTop);
            const Hook h = s.hook;
            it.onPrint = [this, h](Item& item, ItemPrint& p) { (this->*h)(item, p); };
        }
    }

    Band& d = r.detail(4.6);
    d.beforePrint = [this](Band& b, bool& p) { DetailBand1BeforePrint(b, p); };
    const struct {
        const char* name;
        const char* field;
        double x, w;
        int frame;
        Hook hook;
    } cells[] = {{"InQRDBText1", "LawRef", 0, 60, FrameNone, &MovementReport::InQRDBText1Print},
                 {"InSumDBText", "InSum", 64, 24, FrameNone, &MovementReport::InSumDBTextPrint},
                 {"QRDBText3", "LawRef", 87, 66, FrameLeft, &MovementReport::QRDBText3Print},
                 {"QRDBText4", "OutSum", 154, 24, FrameRight, &MovementReport::QRDBText4Print}};
    for (const auto& c : cells) {
        Item& it = d.addDataText(QLatin1String(c.name), md3_.name(), QLatin1String(c.field));
        it.at(c.x, 0, c.w, 4.6).framed(c.frame);
        const Hook h = c.hook;
        it.onPrint = [this, h](Item& item, ItemPrint& p) { (this->*h)(item, p); };
    }
}

bool MovementReport::pass(int i, int n, RunProgress& progress)
{
    if (progress.cancelled())
        return false;
    progress.gauge(i * 100 / n);
    progress.handleEvents();
    return true;
}

void MovementReport::beforePages()
{
    // md3 shows all its rows in the order of its purposes.
    takeDown();
    db().MD3Table.setOrder(QStringLiteral("LawRef"));
}

void MovementReport::QuickRepBeforePrint(Report&)
{
    groupIn_ = groupOut_ = 0;
    groupCode_ = QStringLiteral("00");
    rowFlag_ = false;
    A_ = 0;
}

void MovementReport::DetailBand1BeforePrint(Band&, bool&)
{
    rowFlag_ = !rowFlag_;
    A_ = rowFlag_ ? 1 : 0;
}

void MovementReport::QRGroup1BeforePrint(Band&, bool& print)
{
    print = false;
    const QString code = db().MD3Table.fieldByName(QStringLiteral("LawRef")).asString();
    if (code.left(2) != groupCode_.left(2)) {
        print = true;
        groupCode_ = code;
    }
    if (groupIn_ + groupOut_ == 0)
        print = false;
}

QString MovementReport::purposeText(const QString& code)
{
    // The book stays where it stands for the windows that read it.
    store::Table& law = db().LawSprTable;
    QString name;
    const int pos = law.keyIndex({code});
    if (pos >= 0)
        law.withRowAt(pos, [&] { name = law.fieldByName(QStringLiteral("Sname")).asString(); });
    return code + QLatin1Char(' ') + name;
}

void MovementReport::InQRDBText1Print(Item&, ItemPrint& p)
{
    store::Table& md3 = db().MD3Table;
    p.text = md3.fieldByName(QStringLiteral("InSum")).asFloat() != 0
                 ? purposeText(md3.fieldByName(QStringLiteral("LawRef")).asString())
                 : QString();
}

void MovementReport::InSumDBTextPrint(Item&, ItemPrint& p)
{
    const double v = db().MD3Table.fieldByName(QStringLiteral("InSum")).asFloat();
    p.text = v != 0 ? money(v) : QString();
    groupIn_ += v;
}

void MovementReport::QRDBText3Print(Item&, ItemPrint& p)
{
    store::Table& md3 = db().MD3Table;
    p.text = md3.fieldByName(QStringLiteral("OutSum")).asFloat() != 0
                 ? QStringLiteral("  ") + purposeText(md3.fieldByName(QStringLiteral("LawRef")).asString())
                 : QString();
}

void MovementReport::QRDBText4Print(Item&, ItemPrint& p)
{
    const double v = db().MD3Table.fieldByName(QStringLiteral("OutSum")).asFloat();
    p.text = v != 0 ? money(v) : QString();
    groupOut_ += v;
}

void MovementReport::QRDBText1Print(Item&, ItemPrint& p) { p.text = money(groupIn_); }

void MovementReport::QRDBText2Print(Item&, ItemPrint& p) { p.text = money(groupOut_); }

void MovementReport::QRDBText5Print(Item&, ItemPrint& p)
{
    p.text = money(groupIn_ - groupOut_);
    groupIn_ = groupOut_ = 0;
}

// ------------------------------------------------------------------ financing of organizations

FinancingReport::FinancingReport(dm::TDataBase1& db)
    : ReportRun(db), orgSrc_(db.Org_Table), t22_(db.T2_2), md1_(db.MD1Table), lawSrc_(db.LawSprTable)
{
    Report& r = QuickRep1;
    r.setMaster(&orgSrc_);
    for (DataSource* s : {static_cast<DataSource*>(&md1_), static_cast<DataSource*>(&lawSrc_)})
        r.addSource(s);

    Band& title = r.title(25);
    addOrgNameQRLabel(r, title, [this] { return this->db().OrgName(); });
    Item& t = title.addLabel(QStringLiteral("QRLabel1"), QStringLiteral("Финансирование организаций"));
    t.at(0, 5, 202, 9).withFont(16, true, true).aligned(Align::Center);
    t.color = Navy;
    addHeaderTexts(title, 15.5, 100, 102, 100);

    Band& head = r.detail(7);
    head.addDataText(QStringLiteral("QRDBText1"), orgSrc_.name(), QStringLiteral("Name")).at(0, 1, 150, 6).withFont(12, true);
    Item& code = head.addDataText(QStringLiteral("QRDBText2"), orgSrc_.name(), QStringLiteral("Org"));
    code.at(155, 1, 47, 6).withFont(12, true);
    code.onPrint = [](Item&, ItemPrint& p) { p.text = orgCodeText(p.text); };
    head.beforePrint = [this](Band& b, bool& p) { DetailBand1BeforePrint(b, p); };

    Band& out = r.addSubDetail(QStringLiteral("QRSubDetail1"), &t22_, 5);
    Band& outHead = r.subHeader(out, 12);
    outHead.addLabel(QStringLiteral("QRLabel3"), QStringLiteral("Поступления")).at(0, 0.5, 60, 5).withFont(10, true);
    const double x[] = {0, 34, 56, 104, 134}, w[] = {34, 22, 48, 30, 68};
    const char* h[] = {"Лицевой счет", "Дата", "Код БК", "Сумма", "Назначение"};
    for (int i = 0; i < 5; ++i)
        heading(outHead, QStringLiteral("HeadLabel%1").arg(i + 1), QString::fromUtf8(h[i]), x[i], 6, w[i], 6);
    out.addDataText(QStringLiteral("QRDBText3"), t22_.name(), QStringLiteral("Facebill")).at(x[0], 0, w[0], 5).aligned(Align::Center);
    out.addDataText(QStringLiteral("QRDBText4"), t22_.name(), QStringLiteral("FiDate")).at(x[1], 0, w[1], 5).aligned(Align::Center);
    out.addDataText(QStringLiteral("QRDBText5"), t22_.name(), QStringLiteral("CBC")).at(x[2], 0, w[2], 5).withFont(8).aligned(Align::Center);
    out.addDataText(QStringLiteral("QRDBText6"), t22_.name(), QStringLiteral("Amount")).at(x[3], 0, w[3], 5).aligned(Align::Center);
    // Each line shows the purpose of its own expenditure: the book stands on
    // it through its link to the expenditures.
    out.addDataText(QStringLiteral("QRDBText7"), lawSrc_.name(), QStringLiteral("Sname"))
        .at(x[4], 0, w[4], 5)
        .aligned(Align::Center)
        .stretching();
    Band& foot = r.subFooter(out, 7);
    foot.topLine = true;
    foot.addLabel(QStringLiteral("QRLabel4"), QStringLiteral("Итого")).at(x[2], 1, w[2], 5).withFont(10, true).aligned(Align::Right);
    foot.addDataText(QStringLiteral("QRDBText8"), md1_.name(), QStringLiteral("Sum")).at(x[3], 1, w[3], 5).withFont(10, true).aligned(Align::Center);
}

void FinancingReport::setUp()
{
    dm::TDataBase1& d = db();
    store::Table &org = d.Org_Table, &t22 = d.T2_2, &law = d.LawSprTable;
    org_.remember(org);
    law_.remember(law);
    org.clearMaster();
    org.setFiltered(false);
    d.CBCSPRTable.clearMaster();
    snames_.clear();
    for (int pos = 0, n = law.recordCount(); pos < n; ++pos)
        snames_.insert(law.storedValueAt(pos, QStringLiteral("LawRef")).toString(),
                       law.storedValueAt(pos, QStringLiteral("Sname")).toString());
    t22.setOrder(QStringLiteral("Org"));
    t22.setMaster(&org, QStringLiteral("Org"), QStringLiteral("Org"));
    linked_.push_back(&t22);
    law.setMaster(&t22, QStringLiteral("LawRef"), QStringLiteral("LawRef"));
    // md1 is filled unlinked, each row given its organization's code, and
    // linked to the organizations for the pages: a link in force would
    // re-read md1 at every organization of the fill.
    resetWorkTable(d.MD1Table, org, QStringLiteral("Org"));
    d.MD1Table.clearMaster();
    // Only the expenditures are selected.
    t22.setFilterCallback({});
    t22.setFilterExpression(selection().expenditureExpression());
    t22.setFiltered(true);
    sums_ = t22.groupSums(QStringLiteral("Org"), QStringLiteral("Amount"));
    lastLaw_ = t22.groupLast(QStringLiteral("Org"), QStringLiteral("LawRef"));
    gauge_ = 0;
}

store::Table& FinancingReport::masterTable() { return db().Org_Table; }

bool FinancingReport::pass(int i, int n, RunProgress& progress)
{
    if (i * 100 % n == 0) {
        gauge_ = i * 100 / n;
        progress.gauge(gauge_);
    }
    if (progress.cancelled())
        return false;
    progress.handleEvents();
    return true;
}

void FinancingReport::fillRow()
{
    dm::TDataBase1& d = db();
    double total = 0;
    QString sname;
    if (sums_ && lastLaw_) {
        // From the aggregates: the sum, and the purpose the book would stand
        // on after a walk of the organization's expenditures to the end.
        const QString org = d.Org_Table.fieldByName(QStringLiteral("Org")).asString();
        const auto s = sums_->constFind(org);
        if (s != sums_->constEnd()) {
            total = *s;
            sname = snames_.value(lastLaw_->value(org));
        }
    } else {
        total = CalcSumTable(d.T2_2, QStringLiteral("Amount"));
        if (!d.T2_2.isEmpty() && !d.LawSprTable.isEmpty())
            sname = d.LawSprTable.fieldByName(QStringLiteral("Sname")).asString();
    }
    store::Table& md1 = d.MD1Table;
    md1.append();
    md1.fieldByName(QStringLiteral("Org")).setValue(d.Org_Table.fieldByName(QStringLiteral("Org")).value());
    md1.fieldByName(QStringLiteral("Sum")).setValue(total);
    md1.fieldByName(QStringLiteral("Sname")).setValue(sname);
    md1.post();
}

void FinancingReport::beforePages()
{
    db().MD1Table.setMaster(&db().Org_Table, QStringLiteral("Org"), QStringLiteral("Org"));
}

void FinancingReport::DetailBand1BeforePrint(Band&, bool& print)
{
    // An organization without a selected expenditure does not appear.
    print = db().T2_2.recordCount() != 0;
}

void FinancingReport::takeDown()
{
    dm::TDataBase1& d = db();
    ReportRun::takeDown();
    d.MD1Table.clearMaster();
    if (d.MD1Table.isOpen())
        d.MD1Table.close();
    org_.restore();
    law_.restore();
}

} // namespace reports
