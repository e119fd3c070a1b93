#include "accounts/mdform5.h"


namespace accounts {

using namespace reports;

namespace {
// The five columns across the 201.9 mm of a Letter page within 7 mm margins.
constexpr double ColumnX[5] = {0, 30, 105, 137, 169};
constexpr double ColumnW[5] = {30, 75, 32, 32, 32.9};
constexpr const char* Fields[5] = {"Facebill", "LawSName", "InAmount", "OutAmount", "Remainder"};
constexpr const char* Headings[5] = {"Лицевой счет", "Назначение", "Поступило", "Израсходовано", "Остаток"};
} // namespace

TMDForm5::TMDForm5(dm::TDataBase1& db, QObject* parent)
    : QObject(parent), QuickRep5(QStringLiteral("QuickRep5")), TitleBand1(QuickRep5.title(31)),
      DetailBand1(QuickRep5.detail(5)), SummaryBand1(QuickRep5.summary(7)), db_(db), source_(db.T1)
{
    setObjectName("MDForm5");
    QuickRep5.page = PageSetup{};   // Letter, portrait, 7 mm all round
    QuickRep5.setMaster(&source_);
    const double width = QuickRep5.page.bandWidth();

    addOrgNameQRLabel(QuickRep5, TitleBand1, [this] { return db_.OrgName(); });
    Item& title = TitleBand1.addLabel(QStringLiteral("QRLabel6"), caption());
    title.at(0, 5, width, 9).withFont(16, true, true).aligned(Align::Center);
    title.onPrint = [this](Item& it, ItemPrint& p) { QRLabel6Print(it, p); };
    TitleBand1.addLabel(QStringLiteral("QRLabel7"), QStringLiteral("Дата составления")).at(0, 16, 32, 5);
    TitleBand1.addSystemDate(QStringLiteral("QRSysData1")).at(32, 16, 50, 5);
    for (int i = 0; i < 5; ++i)
        TitleBand1.addLabel(QStringLiteral("HeadLabel%1").arg(i + 1), QString::fromUtf8(Headings[i]))
            .at(ColumnX[i], 24, ColumnW[i], 7)
            .withFont(10, true)
            .aligned(Align::Center)
            .framed(FrameAll);

    const QString src = source_.name();
    for (int i = 0; i < 5; ++i)
        DetailBand1.addDataText(QStringLiteral("QRDBText%1").arg(i + 1), src, QString::fromLatin1(Fields[i]))
            .at(ColumnX[i], 0.5, ColumnW[i], 4.5)
            .aligned(i >= 2 ? Align::Right : Align::Left);

    // The totals in the general form of the number: no fixed decimals.
    SummaryBand1.topLine = true;
    SummaryBand1.addLabel(QStringLiteral("QRLabel8"), QStringLiteral("Итого")).at(0, 1, 30, 5).withFont(10, true);
    for (int i = 2; i < 5; ++i) {
        Item& sum = SummaryBand1
                        .addExpression(QStringLiteral("QRExpr%1").arg(i - 1),
                                       QStringLiteral("SUM(%1.%2)").arg(src, QString::fromLatin1(Fields[i])), &DetailBand1)
                        .at(ColumnX[i], 1, ColumnW[i], 5)
                        .withFont(10, true)
                        .aligned(Align::Right);
        sum.displayFormat.clear();
    }
}

void TMDForm5::QRLabel6Print(Item& item, ItemPrint& print)
{
    print.text = item.text + QStringLiteral(" за ") + QString::number(db_.settingsYear()) + QStringLiteral(" год");
}

} // namespace accounts
