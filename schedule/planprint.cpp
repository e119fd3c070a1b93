#include "schedule/planprint.h"

#include "core/store/storeerror.h"

namespace schedule {

using namespace reports;

namespace {
// Seven columns across the 201.9 mm of a Letter page within 7 mm margins.
constexpr double ColumnX[7] = {0, 62, 104, 124, 144, 164, 184};
constexpr double ColumnW[7] = {62, 42, 20, 20, 20, 20, 17.9};
constexpr const char* Sums[5] = {"Sum1", "Sum2", "Sum3", "Sum4", "AllSum"};
constexpr const char* Quarters[5] = {"I кв.", "II кв.", "III кв.", "IV кв.", "Итого"};
} // namespace

TMD10Form::TMD10Form(dm::TDataBase1& db, QObject* parent)
    : QObject(parent), QuickRep(QStringLiteral("QuickRep1")), TitleBand1(QuickRep.title(28)),
      ColumnHeaderBand1(QuickRep.columnHeader(12)), DetailBand1(QuickRep.detail(5)), SummaryBand1(QuickRep.summary(7)),
      db_(db), source_(db.PlanTable)
{
    setObjectName("MD10Form");
    QuickRep.page = PageSetup{};   // Letter, portrait
    QuickRep.setMaster(&source_);
    const double width = QuickRep.page.bandWidth();

    addOrgNameQRLabel(QuickRep, TitleBand1, [this] { return db_.OrgName(); });
    Item& title = TitleBand1.addLabel(QStringLiteral("QRLabel6"), QStringLiteral("Роспись расходов на "));
    title.at(0, 5, width, 9).withFont(16, true).aligned(Align::Center);
    title.onPrint = [this](Item& it, ItemPrint& p) { QRLabel6Print(it, p); };
    Item& purpose = TitleBand1.addLabel(QStringLiteral("QRDBText8"), QStringLiteral("LawSName"));
    purpose.at(0, 14, width, 6).withFont(11).aligned(Align::Center);
    purpose.onPrint = [this](Item&, ItemPrint& p) {
        p.text = db_.T1.isOpen() && !db_.T1.isEmpty() ? db_.T1.fieldByName(QStringLiteral("LawSName")).asString() : QString();
    };
    TitleBand1.addLabel(QStringLiteral("QRLabel7"), QStringLiteral("Дата составления")).at(0, 22, 32, 5);
    TitleBand1.addSystemDate(QStringLiteral("QRSysData1")).at(32, 22, 50, 5);

    auto head = [this](const QString& name, const QString& text, double x, double y, double w, double h) {
        ColumnHeaderBand1.addLabel(name, text).at(x, y, w, h).withFont(9, true).aligned(Align::Center).framed(FrameAll);
    };
    head(QStringLiteral("HeadOrg"), QStringLiteral("Код/наименование организации"), ColumnX[0], 0, ColumnW[0], 12);
    head(QStringLiteral("HeadCbc"), QStringLiteral("КБК"), ColumnX[1], 0, ColumnW[1], 12);
    head(QStringLiteral("HeadPlan"), QStringLiteral("Роспись расходов"), ColumnX[2], 0, width - ColumnX[2], 6);
    for (int i = 0; i < 5; ++i)
        head(QStringLiteral("HeadSum%1").arg(i + 1), QString::fromUtf8(Quarters[i]), ColumnX[i + 2], 6, ColumnW[i + 2], 6);

    const QString src = source_.name();
    Item& org = DetailBand1.addLabel(QStringLiteral("QROrg"), QStringLiteral("Org"));
    org.at(ColumnX[0], 0.5, ColumnW[0], 4.5);
    org.onPrint = [this](Item& it, ItemPrint& p) { OrgPrint(it, p); };
    DetailBand1.addDataText(QStringLiteral("QRDBText2"), src, QStringLiteral("Cbc")).at(ColumnX[1], 0.5, ColumnW[1], 4.5);
    for (int i = 0; i < 5; ++i)
        DetailBand1.addDataText(QStringLiteral("QRDBText%1").arg(i + 3), src, QString::fromLatin1(Sums[i]))
            .at(ColumnX[i + 2], 0.5, ColumnW[i + 2], 4.5)
            .aligned(Align::Right);

    SummaryBand1.topLine = true;
    SummaryBand1.addLabel(QStringLiteral("QRLabel8"), QStringLiteral("Итого")).at(0, 1, 30, 5).withFont(10, true);
    for (int i = 0; i < 5; ++i)
        SummaryBand1
            .addExpression(QStringLiteral("QRExpr%1").arg(i + 1),
                           QStringLiteral("SUM(%1.%2)").arg(src, QString::fromLatin1(Sums[i])), &DetailBand1)
            .at(ColumnX[i + 2], 1, ColumnW[i + 2], 5)
            .withFont(9, true)
            .aligned(Align::Right);
}

void TMD10Form::QRLabel6Print(Item& item, ItemPrint& print)
{
    const QString bill =
        db_.T1.isOpen() && !db_.T1.isEmpty() ? db_.T1.fieldByName(QStringLiteral("Facebill")).asString() : QString();
    print.text = item.text + QString::number(db_.settingsYear()) + QStringLiteral(" год по л/с ") + bill;
}

void TMD10Form::OrgPrint(Item&, ItemPrint& print)
{
    store::Table& p = db_.PlanTable;
    const store::Field& f = p.fieldByName(QStringLiteral("Org"));
    // A code missing from the book prints without a name.
    QString name;
    store::Table& orgs = db_.Org_Table;
    if (orgs.isOpen()) {
        const int pos = orgs.keyIndex({f.asString()});
        if (pos >= 0)
            name = orgs.storedValueAt(pos, QStringLiteral("Name")).toString();
    }
    print.text = f.displayText() + QLatin1Char(' ') + name;
}

std::optional<PageSet> TMD10Form::accountPages(const QString& account)
{
    store::Table& t1 = db_.T1;
    store::Table& plan = db_.PlanTable;
    const int t1Row = t1.recNo();
    const QString order = plan.order();
    if (!t1.isOpen() || !t1.findKey({account}))
        return std::nullopt;
    auto putBack = [&] {
        plan.clearMaster();
        plan.setOrder(order);
        if (t1Row > 0)
            t1.setRecNo(t1Row);
    };
    try {
        plan.setOrder(QStringLiteral("FaceBill"));
        plan.setMaster(&t1, QStringLiteral("FaceBill"), QStringLiteral("Facebill"));
        PageSet pages = QuickRep.generate();
        putBack();
        return pages;
    } catch (...) {
        try {
            putBack();
        } catch (...) {
        }
        throw;
    }
}

} // namespace schedule
