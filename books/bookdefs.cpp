// What differs between the four reference books.
#include "books/books.h"

namespace books {

namespace {

using F = EditFieldDef;

} // namespace

const BookDef& organizationsBook()
{
    static const BookDef d{
        &dm::TDataBase1::Org_Table,
        "Org",
        "OrgSelectForm",
        "Организации. Справочник",
        "AddOrgButton",
        "EditOrgButton",
        "DeleteOrgButton",
        "ToolButton2",
        "Печать справочника",
        "Org",
        "Name",
        "OrgRxDBGrid",
        {{"Org", QStringLiteral("Код"), 60}, {"Name", QStringLiteral("Наименование организации"), 280}},
        3,
        QColor(180, 180, 255),
        "EditOrgForm",
        {
            {F::OrgCode, "Код:", "OrgEditField", "Org"},
            {F::Text, "Наименование:", "NameEdit", "Name"},
            {F::CbcCode, "КБК:", "CBCEditField", "Cbc"},
            {F::Text, "Расч. счет:", "BillEdit", "Bill"},
            {F::Text, "Телефон:", "PhoneEdit", "Phone"},
            {F::Text, "ИНН:", "INNEdit", "Inn"},
            {F::Text, "Дополнительная информация:", "Dop_NameEdit", "Dop_name"},
        },
        "Указанный код организации уже существует. OrgEditF:",
        LookupReport::Own,
        "Указанный КБК в справочнике КБК отсутствует. OrgEditF:",
        "Обратитесь к разработчику. OrgEditF:",
        "Удалить организацию из справочника невозможно, до тех пор пока она используется в начислениях. LichSelect:",
        "Обратитесь к разработчику. LichSelect:",
        2,
    };
    return d;
}

const BookDef& codesBook()
{
    static const BookDef d{
        &dm::TDataBase1::CBCSPRTable,
        "CBC",
        "CBCSelectForm",
        "КБК.Справочник",
        "AddCBCButton",
        "EditCBCButton",
        "DeleteCBCButton",
        nullptr,
        "",
        "CBC",
        "SNAME",
        "CBCRxDBGrid",
        {{"CBC", QStringLiteral("КБК"), 150},
         {"SNAME", QStringLiteral("Краткое"), 130},
         {"NAME", QStringLiteral("Полное название"), 260}},
        0,
        QColor(),
        "EditCBCForm",
        {
            {F::Text, "Сокращенное наименование:", "SNameEdit", "SNAME"},
            {F::CbcCode, "КБК:", "CBCEditField", "CBC"},
            {F::Text, "Дополнительная информация:", "NameEdit", "NAME"},
        },
        "Указанный КБК уже существует. EditCBCForm:",
        LookupReport::AsOther,
        "",
        "Обратитесь к разработчику. OrgEditF:",
        "Удалить КБК из справочника невозможно, до тех пор пока он используется в начислениях. LichSelect:",
        "Обратитесь к разработчику. LichSelect:",
        3,
    };
    return d;
}

const BookDef& purposesBook()
{
    static const BookDef d{
        &dm::TDataBase1::LawSprTable,
        "LawRef",
        "LawSelectForm",
        "Назначения. Справочник",
        "AddLawButton",
        "EditLawButton",
        "DeleteLawButton",
        "PrintButton",
        "",
        "LawRef",
        "Sname",
        "LawRxDBGrid",
        {{"LawRef", QStringLiteral("Код"), 50},
         {"Sname", QStringLiteral("Краткое назначение"), 220},
         {"Name", QStringLiteral("Полное назначение"), 300}},
        2,
        QColor(180, 255, 180),
        "EditLawForm",
        {
            {F::LawCode, "Код:", "LawEditField", "LawRef"},
            {F::Text, "Краткое назначение:", "NameEdit", "Sname"},
            {F::Text, "Полное назначение:", "Dop_NameEdit", "Name"},
        },
        "Указанный код назначения уже существует. LawEditF:",
        LookupReport::Silent,
        "",
        "Обратитесь к разработчику. LawEditF:",
        "Удалить назначение из справочника невозможно, до тех пор пока оно используется в начислениях. LichSelect:",
        "Обратитесь к разработчику. LichSelect:",
        4,
    };
    return d;
}

const BookDef& kindsBook()
{
    static const BookDef d{
        &dm::TDataBase1::SumTypeSprTable,
        "SumType",
        "SumTypeSprForm",
        "Вид прихода/расхода. Справочник",
        "AddButton",
        "EditButton",
        "DeleteButton",
        nullptr,
        "",
        "SumType",
        "Comment",
        "SumTypeRxDBGrid",
        {{"SumType", QStringLiteral("Вид"), 50}, {"Comment", QStringLiteral("Наименование"), 320}},
        0,
        QColor(),
        "SumTypeSprEditForm",
        {
            {F::Text, "Код:", "SumTypeEditDB", "SumType", 3},
            {F::Text, "Вид дохода/расхода:", "CommentEdit", "Comment"},
        },
        "Указанный вид дохода/расхода уже есть в справочнике. OrgEditF:",
        LookupReport::AsOther,
        "",
        "Обратитесь к разработчику. OrgEditF:",
        "Удалить вид дохода/ расхода из справочника невозможно, до тех пор пока он используется в начислениях. LichSelect:",
        "Обратитесь к разработчику. LichSelect:",
        6,
    };
    return d;
}

} // namespace books
