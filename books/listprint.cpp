#include "books/listprint.h"

namespace books {

using namespace reports;

const ListPrintDef& organizationsPrint()
{
    static const ListPrintDef d{&dm::TDataBase1::Org_Table,
                                "MDForm7",
                                "Справочник организаций",
                                "Org",
                                3,
                                {"Код организации", "Наименование", "Дополнительные сведения"},
                                {"Org", "Name", "Dop_name"}};
    return d;
}

const ListPrintDef& purposesPrint()
{
    static const ListPrintDef d{&dm::TDataBase1::LawSprTable,
                                "MDForm8",
                                "Справочник назначений",
                                "LawRef",
                                2,
                                {"Код назначения", "Краткое наименование", "Полное наименование"},
                                {"LawRef", "Sname", "Name"}};
    return d;
}

namespace {
// Column widths in mm across the 201.9 mm of a Letter page within 7 mm margins.
constexpr double ColumnX[3] = {0, 45, 120};
constexpr double ColumnW[3] = {45, 75, 81.9};
} // namespace

TBookListPrint::TBookListPrint(const ListPrintDef& def, dm::TDataBase1& db, QObject* parent)
    : QObject(parent), QuickRep1(QString::fromLatin1(def.name)), TitleBand1(QuickRep1.title(31)),
      DetailBand1(QuickRep1.detail(5.5)), def_(def), db_(db), source_(db.*(def.table))
{
    setObjectName(QString::fromLatin1(def.name));
    QuickRep1.page = PageSetup{};   // Letter, portrait, 7 mm all round
    QuickRep1.setMaster(&source_);

    addOrgNameQRLabel(QuickRep1, TitleBand1, [this] { return db_.OrgName(); });
    Item& title = TitleBand1.addLabel(QStringLiteral("QRLabel1"), QString::fromUtf8(def.title));
    title.at(0, 5, QuickRep1.page.bandWidth(), 9).withFont(16, true, true).aligned(Align::Center);
    title.color = QColor(0, 0, 128);   // navy
    TitleBand1.addLabel(QStringLiteral("QRLabel2"), QStringLiteral("Дата составления")).at(0, 16, 32, 5);
    TitleBand1.addSystemDate(QStringLiteral("QRSysData1")).at(32, 16, 50, 5);
    for (int i = 0; i < 3; ++i) {
        Item& h = TitleBand1.addLabel(QStringLiteral("HeadLabel%1").arg(i + 1), QString::fromUtf8(def.headings[i]));
        h.at(ColumnX[i], 23, ColumnW[i], 8).withFont(12, true).aligned(Align::Center).framed(FrameAll);
        h.background = QColor(0, 255, 255);   // aqua
    }
    const QString src = source_.name();
    for (int i = 0; i < 3; ++i)
        DetailBand1.addDataText(QStringLiteral("QRDBText%1").arg(i + 1), src, QString::fromLatin1(def.fields[i]))
            .at(ColumnX[i], 0.5, ColumnW[i], 4.5)
            .stretching();
    DetailBand1.beforePrint = [this](Band& b, bool& print) { DetailBand1BeforePrint(b, print); };
}

void TBookListPrint::DetailBand1BeforePrint(Band& band, bool&)
{
    const QString code = (db_.*(def_.table)).fieldByName(QString::fromLatin1(def_.codeField)).asString().trimmed();
    band.background = code.length() == def_.groupLength ? QColor(0, 255, 255) : QColor(Qt::white);
}


} // namespace books
