#include "maintenance/pack.h"
#include "core/datamodule/datamodule.h"
#include "core/store/storeerror.h"
#include "core/store/table.h"

namespace maintenance {

const std::vector<PackLine>& packLines()
{
    static const std::vector<PackLine> lines = {
        {QStringLiteral("Справочник организаций:"), QStringLiteral("ImageOrg"), {QStringLiteral("org_spr")}},
        {QStringLiteral("Справочник назначений:"), QStringLiteral("ImageLaw"), {QStringLiteral("law_spr")}},
        {QStringLiteral("Справочник КБК:"), QStringLiteral("ImageCBC"), {QStringLiteral("cbc_spr")}},
        {QStringLiteral("Таблица начислениий:"), QStringLiteral("ImageT2_1"), {QStringLiteral("t2_1")}},
        {QStringLiteral("Таблица расхода:"), QStringLiteral("ImageT2_2"), {QStringLiteral("t2_2")}},
        {QStringLiteral("Главная таблица:"), QStringLiteral("ImageT1"), {QStringLiteral("t1")}},
        {QStringLiteral("Прочие таблицы отчетов:"), QStringLiteral("ImageRep"),
         {QStringLiteral("md"), QStringLiteral("md1"), QStringLiteral("md2")}},
        {QStringLiteral("Главная таблица доходов:"), QStringLiteral("ImageDOrg"), {QStringLiteral("DOrg")}},
        {QStringLiteral("Таблица доходов:"), QStringLiteral("ImageDin"), {QStringLiteral("DIn")}},
        {QStringLiteral("Таблица расходов:"), QStringLiteral("ImageDOut"), {QStringLiteral("DOut")}},
        {QStringLiteral("Справочник примечаний доходов:"), QStringLiteral("ImageSumTypeSpr"),
         {QStringLiteral("SumTypeSpr")}},
    };
    return lines;
}

namespace {

// A table opened for its pack and closed again; a work table that a report
// keeps open stays open.
void packOne(store::Table& t)
{
    const bool wasOpen = t.isOpen();
    t.open();
    try {
        t.pack();   // open again afterwards, also when it fails
    } catch (...) {
        if (!wasOpen)
            t.close();
        throw;
    }
    if (!wasOpen)
        t.close();
}

} // namespace

void PackTables(dm::TDataBase1& db, const std::function<void(int line)>& lineDone)
{
    const bool wasOpen = db.isOpen();
    db.DisableTableProcess();
    db.CloseAllTable();
    try {
        const auto& lines = packLines();
        for (int i = 0; i < int(lines.size()); ++i) {
            for (const QString& name : lines[size_t(i)].tables) {
                store::Table* t = db.tableByName(name);
                if (!t)
                    throw store::StoreError(QStringLiteral("Таблица %1 не найдена.").arg(name));
                packOne(*t);
            }
            if (lineDone)
                lineDone(i);
        }
    } catch (...) {
        // The year is put back as it was, so that the program goes on
        // working; then the failure is the caller's to show.
        if (wasOpen) {
            try {
                db.OpenAllTable();
                db.EnableTableProcess();
            } catch (...) {
            }
        }
        throw;
    }
    db.OpenAllTable();
    db.EnableTableProcess();
}

} // namespace maintenance
