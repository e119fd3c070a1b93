// The table definitions of the program.
#include "core/schema/schema.h"

namespace schema {
namespace {

const QString Amount = QStringLiteral("#0.00");

FieldDef text(const char* name, int size, bool required = false)
{
    FieldDef f;
    f.name = QString::fromLatin1(name);
    f.type = FieldType::Text;
    f.size = size;
    f.required = required;
    return f;
}

FieldDef money(const char* name, bool required = false)
{
    FieldDef f;
    f.name = QString::fromLatin1(name);
    f.type = FieldType::Float;
    f.displayFormat = Amount;
    f.required = required;
    return f;
}

FieldDef number(const char* name, bool required = false)
{
    FieldDef f = money(name, required);
    f.displayFormat.clear();
    return f;
}

FieldDef date(const char* name, bool required = false)
{
    FieldDef f;
    f.name = QString::fromLatin1(name);
    f.type = FieldType::Date;
    f.required = required;
    return f;
}

FieldDef autoinc(const char* name)
{
    FieldDef f;
    f.name = QString::fromLatin1(name);
    f.type = FieldType::AutoInc;
    return f;
}

FieldDef calc(FieldDef f)
{
    f.calculated = true;
    return f;
}

FieldDef zero(FieldDef f)
{
    f.defaultValue = 0.0;
    return f;
}

IndexDef key(const char* name, const QStringList& fields)
{
    return IndexDef{QString::fromLatin1(name), fields, true, false};
}

IndexDef index(const char* name, const QStringList& fields, bool noCase = false)
{
    return IndexDef{QString::fromLatin1(name), fields, false, noCase};
}

TableDef make(const char* name, Location loc, QList<FieldDef> fields, QList<IndexDef> indexes,
              const QString& order)
{
    TableDef t;
    t.name = QString::fromLatin1(name);
    t.location = loc;
    t.fields = std::move(fields);
    t.indexes = std::move(indexes);
    t.normalOrder = order;
    return t;
}

QList<TableDef> build()
{
    const auto Y = Location::Year;
    const auto W = Location::Work;
    QList<TableDef> all;

    all << make("t1", Y,
                {text("Facebill", 11, true), text("LawRef", 3), money("InAmount"), money("OutAmount"),
                 money("Remainder"), calc(text("LawSName", 35))},
                {key("T1Index1", {"Facebill"}), index("LawRef", {"LawRef"})}, "Facebill");

    all << make("t2_1", Y,
                {text("FaceBill", 11), text("LawRef", 3), money("Amount"), date("FiDate"), text("CBC", 19),
                 calc(text("LawSName", 35))},
                {key("T2_1Index1", {"FaceBill", "LawRef", "Amount", "FiDate", "CBC"}),
                 index("LawRef", {"LawRef"})},
                "FaceBill;LawRef;Amount;FiDate;CBC");

    all << make("t2_2", Y,
                {text("Facebill", 11), text("LawRef", 3), money("Amount"), date("FiDate"), text("CBC", 19),
                 text("Org", 5), calc(text("OrgName", 35)), calc(text("LawSName", 35))},
                {key("T2_2Index1", {"Facebill", "LawRef", "Amount", "FiDate", "CBC", "Org"}),
                 index("IOrg", {"Org"}, true), index("Org", {"Org"}), index("CBC", {"CBC"}),
                 index("LawRef", {"LawRef"})},
                "Facebill;LawRef;Amount;FiDate;CBC;Org");

    all << make("org_spr", Y,
                {text("Org", 5), text("Name", 35), text("Dop_name", 70), text("Bill", 20), text("Phone", 8),
                 text("Cbc", 19), text("Inn", 10), text("LicBill", 11)},
                {key("Org_TableIndex1", {"Org"})}, "Org");

    all << make("cbc_spr", Y,
                {text("CBC", 19), text("NAME", 40), text("SNAME", 20), text("Md2Use", 1)},
                {key("CBCIndex1", {"CBC"})}, "CBC");

    all << make("law_spr", Y, {text("LawRef", 3), text("Sname", 35), text("Name", 70)},
                {key("LawIndex1", {"LawRef"})}, "LawRef");

    all << make("planTbl", Y,
                {text("Org", 5), text("Cbc", 19), text("FaceBill", 11), money("Sum1"), money("Sum2"),
                 money("Sum3"), money("Sum4"), money("AllSum"), calc(text("OrgName", 20))},
                {key("PlanTableIndex1", {"Org", "Cbc", "FaceBill"}), index("FaceBill", {"FaceBill"}),
                 index("Cbc", {"Cbc"})},
                "Org;Cbc;FaceBill");

    all << make("corPln", Y,
                {text("Org", 5), text("Cbc", 19), text("FaceBill", 11), number("Num", true),
                 date("CorDate", true), autoinc("AbsNum"), money("Sum1"), money("Sum2"), money("Sum3"),
                 money("Sum4"), money("AllSum"), calc(text("Orgname", 20))},
                {key("CorPlnIndex1", {"Org", "Cbc", "FaceBill", "Num", "CorDate"}),
                 index("FaceBill", {"FaceBill"})},
                "Org;Cbc;FaceBill;Num;CorDate");

    all << make("DOrg", Y,
                {text("Org", 5), zero(money("InSum")), zero(money("OutSum")), zero(money("Remainder", true)),
                 calc(text("Name", 35))},
                {key("DOrgIndex1", {"Org"})}, "Org");

    for (const char* name : {"DIn", "DOut"}) {
        const QString k = QString::fromLatin1(name) + QStringLiteral("Index1");
        all << make(name, Y,
                    {text("Org", 5), date("Date"), money("Sum"), text("Note", 50), text("SumType", 3),
                     calc(text("Comment", 50))},
                    {IndexDef{k, {"Org", "Date", "Sum", "Note", "SumType"}, true, false}},
                    "Org;Date;Sum;Note;SumType");
    }

    all << make("SumTypeSpr", Y, {text("SumType", 3), text("Comment", 50)},
                {key("SumTypeIndex1", {"SumType"})}, "SumType");

    // Report work tables of the local work directory.
    all << make("md", W, {text("FaceBill", 11, true), money("InSum"), money("OutSum"), money("Remainder")},
                {index("FaceBill", {"FaceBill"})}, "FaceBill");
    all << make("md1", W, {text("Org", 5), money("Sum"), text("Sname", 35)}, {index("Org", {"Org"})}, "Org");
    all << make("md2", W,
                {text("Org", 5), text("Cbc", 19), money("PlanSum"), money("Remainder"), money("Sum"),
                 text("Name", 40)},
                {index("Org", {"Org"})}, "Org");
    all << make("md3", W, {text("LawRef", 3, true), money("InSum"), money("OutSum"), money("Remainder")},
                {index("LawRef", {"LawRef"})}, "LawRef");
    all << make("md4", W,
                {text("CBC", 19), text("CBCName", 20), money("InQ1"), money("InQ2"), money("InQ3"),
                 money("InQ4"), money("OutQ1"), money("OutQ2"), money("OutQ3"), money("OutQ4"),
                 calc(money("InAll")), calc(money("OutAll"))},
                {key("Md4Index1", {"CBC"})}, "CBC");
    all << make("md9", W,
                {text("Org", 5), text("Cbc", 19), money("PlanSum"), money("CorPlanSum"), money("RasHod"),
                 money("Remainder")},
                {key("Md9Index1", {"Org", "Cbc"})}, "Org;Cbc");
    all << make("md12", W,
                {text("FaceBill", 11, true), text("CBC", 19, true), money("Sum1"), money("Sum2"), money("Sum3"),
                 money("Sum4"), money("AllSum")},
                {key("Md12Index1", {"FaceBill", "CBC"})}, "FaceBill;CBC");
    all << make("UMd1", W,
                {text("Org", 5), number("StartIn"), number("StartOut"), number("EndIn"), number("EndOut"),
                 calc(number("StartInOut")), calc(number("EndInOut"))},
                {index("Org", {"Org"})}, "Org");
    return all;
}

} // namespace

const QList<TableDef>& tables()
{
    static const QList<TableDef> all = build();
    return all;
}

const QList<LookupRule>& lookupRules()
{
    static const QList<LookupRule> rules = {
        {"org_spr", "Cbc", "cbc_spr", "CBC"},
        {"t2_1", "LawRef", "law_spr", "LawRef"},
        {"t2_1", "CBC", "cbc_spr", "CBC"},
        {"t2_2", "LawRef", "law_spr", "LawRef"},
        {"t2_2", "CBC", "cbc_spr", "CBC"},
        {"t2_2", "Org", "org_spr", "Org"},
        {"planTbl", "Org", "org_spr", "Org"},
        {"planTbl", "Cbc", "cbc_spr", "CBC"},
        {"corPln", "Org", "org_spr", "Org"},
        {"corPln", "Cbc", "cbc_spr", "CBC"},
        {"DIn", "SumType", "SumTypeSpr", "SumType"},
        {"DOut", "SumType", "SumTypeSpr", "SumType"},
    };
    return rules;
}

const QList<ReferentialRule>& referentialRules()
{
    // Besides the postings, the schedule, the notices, the organizations' own
    // codes and the income accounting refer to the reference books; none of
    // them may be left holding a code that no longer exists.
    static const QList<ReferentialRule> rules = {
        {"t1", "Facebill", "t2_1", "FaceBill", true},
        {"t1", "Facebill", "t2_2", "Facebill", true},
        {"org_spr", "Org", "t2_2", "Org", true},
        {"org_spr", "Org", "planTbl", "Org", true},
        {"org_spr", "Org", "corPln", "Org", true},
        {"org_spr", "Org", "DOrg", "Org", true},
        {"cbc_spr", "CBC", "t2_1", "CBC", true},
        {"cbc_spr", "CBC", "t2_2", "CBC", true},
        {"cbc_spr", "CBC", "planTbl", "Cbc", true},
        {"cbc_spr", "CBC", "corPln", "Cbc", true},
        {"cbc_spr", "CBC", "org_spr", "Cbc", true},
        {"law_spr", "LawRef", "t2_1", "LawRef", true},
        {"law_spr", "LawRef", "t2_2", "LawRef", true},
        {"SumTypeSpr", "SumType", "DIn", "SumType", true},
        {"SumTypeSpr", "SumType", "DOut", "SumType", true},
        // The income accounting list checks for entries itself before it
        // removes an organization; the store only refuses a change of its code.
        {"DOrg", "Org", "DIn", "Org", false},
        {"DOrg", "Org", "DOut", "Org", false},
    };
    return rules;
}

} // namespace schema
