#include "reports/accounts/accounts_reports.h"

#include "core/datamodule/datamodule.h"
#include "core/store/format.h"
#include "core/store/table.h"

namespace reports {

namespace {
const QColor Navy(0, 0, 128);

Item& heading(Band& b, const QString& name, const QString& text, double x, double y, double w, double h,
              double pt = 10, int frame = FrameAll)
{
    return b.addLabel(name, text).at(x, y, w, h).withFont(pt, true).aligned(Align::Center).framed(frame);
}
} // namespace

QString orgCodeText(const QString& code) { return code.size() >= 4 ? code.left(3) + QLatin1Char('-') + code.mid(3) : code; }

// ------------------------------------------------------------------ the fill

void AccountsRun::setUp()
{
    sumPostingsBy(db().T1, QStringLiteral("FaceBill"), db().MdTable, QStringLiteral("Facebill"));
}

store::Table& AccountsRun::masterTable() { return db().T1; }

void AccountsRun::fillRow()
{
    appendTotals(db().MdTable, db().T1.fieldByName(QStringLiteral("Facebill")).asString());
}

// ------------------------------------------------------------------ the detailed report

AccountsReport::AccountsReport(dm::TDataBase1& db)
    : AccountsRun(db), t1_(db.T1), t21_(db.T2_1), t22_(db.T2_2), md_(db.MdTable), law_(db.LawSprTable), org_(db.Org_Table)
{
    Report& r = QuickRep1;
    r.setMaster(&t1_);
    for (DataSource* s : {static_cast<DataSource*>(&md_), static_cast<DataSource*>(&law_), static_cast<DataSource*>(&org_)})
        r.addSource(s);
    const double W = 202;

    Band& title = r.title(25);
    addOrgNameQRLabel(r, title, [this] { return this->db().OrgName(); });
    Item& t = title.addLabel(QStringLiteral("QRLabel1"), QStringLiteral("Поступления/расходы по лицевым счетам"));
    t.at(0, 5, 130, 9).withFont(16, true, true);
    t.color = Navy;
    title.addLabel(QStringLiteral("QRLabel2"), QStringLiteral("Дата составления")).at(127, 7, 35, 5).aligned(Align::Right);
    title.addSystemDate(QStringLiteral("QRSysData1")).at(163, 7, 39, 5);
    addHeaderTexts(title, 15.5, 100, 102, 100);

    Band& head = r.detail(7);
    head.addLabel(QStringLiteral("QRLabel3"), QStringLiteral("Лицевой счет")).at(0, 1, 36, 6).withFont(12, true);
    head.addDataText(QStringLiteral("QRDBText1"), t1_.name(), QStringLiteral("Facebill")).at(36, 1, 60, 6).withFont(12, true);
    head.beforePrint = [this](Band& b, bool& p) { DetailBand1BeforePrint(b, p); };

    // Receipts: header, one row per selected receipt, footer with the total.
    Band& in = r.addSubDetail(QStringLiteral("InQRSubDetail"), &t21_, 5);
    Band& inHead = r.subHeader(in, 12);
    inHead.addLabel(QStringLiteral("QRLabel4"), QStringLiteral("Поступления")).at(0, 0.5, 60, 5).withFont(10, true);
    const double ix[] = {0, 43, 69, 99}, iw[] = {43, 26, 30, 103};
    const char* ih[] = {"Код БК", "Дата", "Сумма", "Назначение"};
    for (int i = 0; i < 4; ++i)
        heading(inHead, QStringLiteral("InHead%1").arg(i + 1), QString::fromUtf8(ih[i]), ix[i], 6, iw[i], 6);
    inHead.beforePrint = [this](Band& b, bool& p) { InColumnHeaderBandBeforePrint(b, p); };
    in.addDataText(QStringLiteral("InCBC"), t21_.name(), QStringLiteral("CBC")).at(ix[0], 0, iw[0], 5).aligned(Align::Center);
    in.addDataText(QStringLiteral("InDate"), t21_.name(), QStringLiteral("FiDate")).at(ix[1], 0, iw[1], 5).aligned(Align::Center);
    in.addDataText(QStringLiteral("InAmount"), t21_.name(), QStringLiteral("Amount")).at(ix[2], 0, iw[2], 5).aligned(Align::Center);
    in.addDataText(QStringLiteral("InLaw"), law_.name(), QStringLiteral("Sname")).at(ix[3], 0, iw[3], 5).withFont(8).stretching();
    Band& inFoot = r.subFooter(in, 7);
    inFoot.topLine = true;
    inFoot.addLabel(QStringLiteral("QRLabel5"), QStringLiteral("Итого")).at(ix[1], 1, iw[1], 5).withFont(10, true).aligned(Align::Right);
    inFoot.addDataText(QStringLiteral("InSumText"), md_.name(), QStringLiteral("InSum")).at(ix[2], 1, iw[2], 5).withFont(10, true).aligned(Align::Center);

    // Expenditures: the same with the organization and the account's remainder.
    Band& out = r.addSubDetail(QStringLiteral("OutQRSubDetail"), &t22_, 6);
    Band& outHead = r.subHeader(out, 11);
    outHead.addLabel(QStringLiteral("QRLabel6"), QStringLiteral("Расход")).at(0, 0, 60, 5).withFont(10, true);
    const double ox[] = {0, 44, 64, 113, 139}, ow[] = {44, 20, 49, 26, 63};
    const char* oh[] = {"Код БК", "Дата", "Организация", "Сумма", "Назначение"};
    for (int i = 0; i < 5; ++i)
        heading(outHead, QStringLiteral("OutHead%1").arg(i + 1), QString::fromUtf8(oh[i]), ox[i], 5, ow[i], 6);
    outHead.beforePrint = [this](Band& b, bool& p) { OutQRBandBeforePrint(b, p); };
    out.addDataText(QStringLiteral("OutCBC"), t22_.name(), QStringLiteral("CBC")).at(ox[0], 0, ow[0], 6).aligned(Align::Center);
    out.addDataText(QStringLiteral("OutDate"), t22_.name(), QStringLiteral("FiDate")).at(ox[1], 0, ow[1], 6).aligned(Align::Center);
    Item& org = out.addDataText(QStringLiteral("QRDBText3"), t22_.name(), QStringLiteral("Org"));
    org.at(ox[2], 0, ow[2], 6).withFont(8).stretching();
    org.onPrint = [this](Item& it, ItemPrint& p) { QRDBText3Print(it, p); };
    out.addDataText(QStringLiteral("OutAmount"), t22_.name(), QStringLiteral("Amount")).at(ox[3], 0, ow[3], 6).aligned(Align::Center);
    out.addDataText(QStringLiteral("OutLaw"), law_.name(), QStringLiteral("Sname")).at(ox[4], 0, ow[4], 6).withFont(8).stretching();
    Band& outFoot = r.subFooter(out, 9);
    outFoot.topLine = true;
    outFoot.addLabel(QStringLiteral("QRLabel7"), QStringLiteral("Итого")).at(ox[2], 0.5, ow[2], 4).withFont(10, true).aligned(Align::Right);
    outFoot.addDataText(QStringLiteral("OutSumText"), md_.name(), QStringLiteral("OutSum")).at(ox[3], 0.5, ow[3], 4).withFont(10, true).aligned(Align::Center);
    outFoot.addLabel(QStringLiteral("QRLabel8"), QStringLiteral("Остаток по счету:")).at(ox[2], 4.5, ow[2], 4.5).withFont(10, true).aligned(Align::Right);
    Item& rem = outFoot.addDataText(QStringLiteral("RemainderText"), md_.name(), QStringLiteral("Remainder"));
    rem.at(ox[3], 4.5, ow[3], 4.5).withFont(10, true).aligned(Align::Center);
    rem.font.underline = true;
    (void)W;
}

void AccountsReport::DetailBand1BeforePrint(Band&, bool& print)
{
    // An account without a selected posting is left out altogether.
    print = db().T2_1.recordCount() + db().T2_2.recordCount() != 0;
}

void AccountsReport::InColumnHeaderBandBeforePrint(Band&, bool&)
{
    db().LawSprTable.setMaster(&db().T2_1, QStringLiteral("LawRef"), QStringLiteral("LawRef"));
}

void AccountsReport::OutQRBandBeforePrint(Band&, bool&)
{
    db().LawSprTable.setMaster(&db().T2_2, QStringLiteral("LawRef"), QStringLiteral("LawRef"));
}

void AccountsReport::QRDBText3Print(Item&, ItemPrint& p)
{
    dm::TDataBase1& d = db();
    p.text = orgCodeText(d.T2_2.fieldByName(QStringLiteral("Org")).asString()) + QLatin1Char(' ');
    if (!d.Org_Table.isEmpty())
        p.text += d.Org_Table.fieldByName(QStringLiteral("Name")).asString();
}

// ------------------------------------------------------------------ the short report

AccountsShortReport::AccountsShortReport(dm::TDataBase1& db) : AccountsRun(db), md_(db.MdTable)
{
    Report& r = QuickRep1;
    r.setMaster(&md_);

    Band& title = r.title(36);
    addOrgNameQRLabel(r, title, [this] { return this->db().OrgName(); });
    Item& t = title.addLabel(QStringLiteral("QRLabel1"), QStringLiteral("Краткий отчет по лицевым счетам"));
    t.at(0, 5, 202, 9).withFont(16, true, true).aligned(Align::Center);
    title.addLabel(QStringLiteral("QRLabel2"), QStringLiteral("Дата составления")).at(0, 14.5, 34, 5);
    title.addSystemDate(QStringLiteral("QRSysData1")).at(34, 14.5, 45, 5);
    addHeaderTexts(title, 20, 100, 102, 100);
    const double x[] = {0, 34, 98, 132, 169}, w[] = {34, 64, 34, 37, 36};
    const char* h[] = {"Лицевой счет", "Назначение", "Поступило", "Израсходовано", "Остаток"};
    for (int i = 0; i < 5; ++i)
        heading(title, QStringLiteral("HeadLabel%1").arg(i + 1), QString::fromUtf8(h[i]), x[i], 30, w[i], 6, 12,
                FrameTop | FrameLeft | FrameRight | FrameBottom);

    Band& d = r.detail(6);
    const char* f[] = {"FaceBill", "FaceBill", "InSum", "OutSum", "Remainder"};
    for (int i = 0; i < 5; ++i) {
        Item& it = d.addDataText(i == 1 ? QStringLiteral("QRDBText1") : QStringLiteral("QRDBText%1").arg(i + 2), md_.name(),
                                 QString::fromLatin1(f[i]));
        it.at(x[i], 0, w[i], 6).framed(FrameBottom | (i == 0 ? FrameLeft : 0) | (i == 4 ? FrameRight : 0));
    }
    d.item(QStringLiteral("QRDBText1"))->onPrint = [this](Item& it, ItemPrint& p) { QRDBText1Print(it, p); };

    Band& sum = r.summary(8);
    sum.addLabel(QStringLiteral("QRLabel9"), QStringLiteral("Итого")).at(0, 1, 97, 6).withFont(12, true).aligned(Align::Right);
    using Hook = void (AccountsShortReport::*)(Item&, ItemPrint&);
    const Hook hooks[] = {&AccountsShortReport::SumInLabelPrint, &AccountsShortReport::SumOutLabelPrint, &AccountsShortReport::SumRemLabelPrint};
    const char* names[] = {"SumInLabel", "SumOutLabel", "SumRemLabel"};
    for (int i = 0; i < 3; ++i) {
        Item& it = sum.addLabel(QLatin1String(names[i]), QLatin1String(names[i]));
        it.at(x[i + 2], 1, w[i + 2], 6);
        const Hook hk = hooks[i];
        it.onPrint = [this, hk](Item& item, ItemPrint& p) { (this->*hk)(item, p); };
    }
}

void AccountsShortReport::beforePages()
{
    // md presents all its rows to the print.
    db().MdTable.clearMaster();
}

void AccountsShortReport::QRDBText1Print(Item&, ItemPrint& p)
{
    // The account's purpose, read aside: the accounts' table stays on the
    // account every other window stands on.
    store::Table& t1 = db().T1;
    const int pos = t1.keyIndex({p.text});
    QString name;
    if (pos >= 0)
        t1.withRowAt(pos, [&] { name = t1.fieldByName(QStringLiteral("LawSName")).asString(); });
    p.text = name;
}

void AccountsShortReport::SumInLabelPrint(Item&, ItemPrint& p)
{
    p.setNumber(CalcSumTable(db().MdTable, QStringLiteral("InSum")), QStringLiteral("#0.00"));
}

void AccountsShortReport::SumOutLabelPrint(Item&, ItemPrint& p)
{
    p.setNumber(CalcSumTable(db().MdTable, QStringLiteral("OutSum")), QStringLiteral("#0.00"));
}

void AccountsShortReport::SumRemLabelPrint(Item&, ItemPrint& p)
{
    p.setNumber(CalcSumTable(db().MdTable, QStringLiteral("Remainder")), QStringLiteral("#0.00"));
}

} // namespace reports
