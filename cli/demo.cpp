#include "cli/demo.h"

#include "accounts/recount.h"

#include "core/store/format.h"

#include <QDate>
#include <cmath>
#include <map>
#include <random>

namespace demo {

using store::Table;

namespace {

struct Rng {
    std::mt19937 g{20040101u};
    int range(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g); }
    // An amount in roubles and kopecks between lo and hi.
    double money(double lo, double hi)
    {
        const double v = std::uniform_real_distribution<double>(lo, hi)(g);
        return std::round(v * 100.0) / 100.0;
    }
};

struct Sector {
    const char* section;   // 4 characters: section and subsection
    const char* chapter;
    const char* target;
    const char* kind;
    const char* group;     // organization group heading
    const char* groupName;
    const char* purpose;   // purpose code of its accounts
};

const Sector sectors[] = {
    {"0701", "901", "420", "001", "100", "Дошкольное образование", "031"},
    {"0702", "901", "421", "001", "200", "Общее образование", "011"},
    {"0901", "902", "470", "001", "300", "Здравоохранение", "012"},
    {"0801", "903", "440", "001", "400", "Культура", "032"},
    {"0502", "904", "351", "006", "500", "Коммунальное хозяйство", "021"},
};

const std::pair<const char*, const char*> articles[] = {
    {"211000", "Заработная плата"},
    {"213000", "Начисления на оплату труда"},
    {"221000", "Услуги связи"},
    {"222000", "Транспортные услуги"},
    {"223000", "Коммунальные услуги"},
    {"225000", "Работы по содержанию имущества"},
    {"226000", "Прочие работы и услуги"},
    {"290000", "Прочие расходы"},
    {"310000", "Увеличение стоимости основных средств"},
    {"340000", "Увеличение стоимости материалов"},
};

const char* orgNames[][7] = {
    {"МДОУ детский сад №1 \"Солнышко\"", "МДОУ детский сад №2 \"Березка\"", "МДОУ детский сад №3 \"Ромашка\"",
     "МДОУ детский сад №5 \"Сказка\"", "МДОУ детский сад №7 \"Теремок\"", "МДОУ детский сад №9 \"Ручеек\"",
     "МДОУ ясли-сад №11 \"Аленушка\""},
    {"МОУ СОШ №1", "МОУ СОШ №2", "МОУ гимназия №3", "МОУ СОШ №4 им. Гагарина", "МОУ лицей №5", "МОУ ООШ с. Луговое",
     "МОУ СОШ с. Заречье"},
    {"МУЗ Центральная районная больница", "МУЗ Детская поликлиника", "МУЗ Стоматологическая поликлиника",
     "МУЗ Родильный дом", "МУЗ Станция скорой помощи", "Фельдшерский пункт с. Луговое", "Врачебная амбулатория с. Заречье"},
    {"МУК Районный дом культуры", "МУК Центральная библиотека", "МУК Краеведческий музей", "МОУ ДОД Детская школа искусств",
     "МУК Клуб с. Луговое", "МУК Клуб с. Заречье", "МУК Парк культуры и отдыха"},
    {"МУП Водоканал", "МУП Теплосеть", "МУП Горэлектросеть", "МУП Жилищное хозяйство", "МУП Благоустройство",
     "МУП Ритуальные услуги", "МУП Автотранспортное предприятие"},
};

const char* streets[] = {"ул. Ленина", "ул. Советская", "ул. Мира", "ул. Школьная", "ул. Садовая", "пр. Победы"};

QString q(const char* s) { return QString::fromUtf8(s); }

} // namespace

void fill(dm::TDataBase1& d, int year)
{
    Rng rng;
    Table& law = d.LawSprTable;
    Table& cbc = d.CBCSPRTable;
    Table& org = d.Org_Table;
    Table& kinds = d.SumTypeSprTable;

    // Purposes: three groups and their programmes.
    const std::pair<const char*, std::pair<const char*, const char*>> purposes[] = {
        {"01", {"Федеральные средства", "Средства федерального бюджета"}},
        {"011", {"Фед. закон об образовании", "Федеральный закон \"Об образовании\": выплаты работникам школ"}},
        {"012", {"Нац. проект \"Здоровье\"", "Приоритетный национальный проект \"Здоровье\""}},
        {"013", {"Компенсация род. платы", "Компенсация части родительской платы за содержание ребенка"}},
        {"014", {"Жилье молодым семьям", "Федеральная целевая программа \"Жилище\", подпрограмма молодых семей"}},
        {"02", {"Областные средства", "Средства областного бюджета"}},
        {"021", {"Реформа ЖКХ", "Областная программа реформирования жилищно-коммунального хозяйства"}},
        {"022", {"Дороги области", "Областная целевая программа содержания дорог"}},
        {"023", {"Летний отдых детей", "Областная программа оздоровления и отдыха детей"}},
        {"03", {"Местный бюджет", "Собственные средства местного бюджета"}},
        {"031", {"Дошкольное образование", "Содержание муниципальных дошкольных учреждений"}},
        {"032", {"Культура района", "Районная программа развития культуры"}},
        {"033", {"Благоустройство", "Программа благоустройства населенных пунктов"}},
        {"034", {"Резервный фонд", "Резервный фонд администрации района"}},
        {"035", {"Муниципальное управление", "Содержание органов местного самоуправления"}},
    };
    for (const auto& [code, names] : purposes)
        law.appendRecord({QString::fromLatin1(code), q(names.first), q(names.second)});

    // Codes: per sector one code for each economic article, then the summary codes.
    QStringList codes;
    std::map<QString, QStringList> sectorCodes;
    for (const auto& s : sectors) {
        for (const auto& [art, artName] : articles) {
            const QString code = QString::fromLatin1(s.section) + QString::fromLatin1(s.chapter) +
                                 QString::fromLatin1(s.target) + QString::fromLatin1(s.kind) + QString::fromLatin1(art);
            const QString full = q(s.groupName) + QStringLiteral(": ") + q(artName);
            cbc.appendRecord({code, full.left(40), q(artName).left(20)});
            codes << code;
            sectorCodes[QString::fromLatin1(s.group)] << code;
        }
    }
    // Administration: wages and services only.
    for (const char* art : {"211000", "213000", "221000", "226000", "290000"}) {
        const QString code = QStringLiteral("0104905002") + QStringLiteral("500") + QString::fromLatin1(art);
        cbc.appendRecord({code, QStringLiteral("Аппарат администрации"), QStringLiteral("Администрация")});
        codes << code;
    }
    for (const auto& [art, artName] : articles)
        cbc.appendRecord({QString(13, QLatin1Char('*')) + QString::fromLatin1(art),
                          (QStringLiteral("Итого: ") + q(artName)).left(40), q(artName).left(20)});
    cbc.appendRecord({QString(19, QLatin1Char('*')), QStringLiteral("Всего расходов"), QStringLiteral("Всего")});
    for (const char* sect : {"0701", "0702", "0901", "0801"})
        cbc.appendRecord({QString::fromLatin1(sect) + QString(9, QLatin1Char('*')) + QStringLiteral("211000"),
                          QStringLiteral("Заработная плата по разделу ") + QString::fromLatin1(sect),
                          QStringLiteral("Зарплата ") + QString::fromLatin1(sect)});

    // Organizations: five groups of seven.
    std::map<QString, QStringList> groupOrgs;
    for (int g = 0; g < 5; ++g) {
        const Sector& s = sectors[g];
        org.appendRecord({QString::fromLatin1(s.group), q(s.groupName)});
        for (int k = 0; k < 7; ++k) {
            const QString code = QString::fromLatin1(s.group).left(1) + QStringLiteral("00") + QStringLiteral("%1").arg(k + 1, 2, 10, QLatin1Char('0'));
            const QString phone = QStringLiteral("%1-%2-%3").arg(rng.range(2, 7)).arg(rng.range(10, 99)).arg(rng.range(10, 99));
            QString bill;
            for (int i = 0; i < 20; ++i)
                bill += QChar(QLatin1Char('0' + (i < 5 ? "40204"[i] - '0' : rng.range(0, 9))));
            QString inn = QStringLiteral("36");
            while (inn.size() < 10)
                inn += QChar(QLatin1Char('0' + rng.range(0, 9)));
            const QString addr = QStringLiteral("%1, д. %2").arg(q(streets[rng.range(0, 5)])).arg(rng.range(1, 120));
            org.appendRecord({code, q(orgNames[g][k]), addr, bill, phone, sectorCodes[QString::fromLatin1(s.group)].first(), inn});
            groupOrgs[QString::fromLatin1(s.group)] << code;
        }
    }

    kinds.appendRecord({"001", QStringLiteral("Родительская плата")});
    kinds.appendRecord({"002", QStringLiteral("Аренда помещений")});
    kinds.appendRecord({"003", QStringLiteral("Платные услуги")});
    kinds.appendRecord({"101", QStringLiteral("Оплата коммунальных услуг")});
    kinds.appendRecord({"102", QStringLiteral("Приобретение материалов")});

    // Accounts: four per sector; receipts and expenditures over the year.
    Table& t1 = d.T1;
    Table& in = d.T2_1;
    Table& out = d.T2_2;
    Table& plan = d.PlanTable;
    Table& cor = d.CorPlanTable;
    const QDate start(year, 1, 1);
    int account = 0;
    for (int g = 0; g < 5; ++g) {
        const Sector& s = sectors[g];
        const QString group = QString::fromLatin1(s.group);
        for (int k = 0; k < 4; ++k) {
            ++account;
            const QString bill = QStringLiteral("0%1%2").arg(g + 1).arg(account, 8, 10, QLatin1Char('0')) + QStringLiteral("1");
            const QString purpose = QString::fromLatin1(k == 3 ? "033" : s.purpose);
            t1.appendRecord({bill, purpose, 0.0, 0.0, 0.0});
            const QStringList& myCodes = sectorCodes[group];
            const QStringList& myOrgs = groupOrgs[group];
            double inSum = 0;
            // Financing twice a month.
            for (int m = 0; m < 12; ++m) {
                for (int half = 0; half < 2; ++half) {
                    const QDate day = start.addMonths(m).addDays(half * 14 + rng.range(0, 4));
                    for (int tries = 0; tries < 5; ++tries) {
                        const double a = rng.money(20000, 400000);
                        try {
                            in.appendRecord({bill, purpose, a, day, myCodes[rng.range(0, int(myCodes.size()) - 1)]});
                            inSum += a;
                            break;
                        } catch (const store::StoreError&) {
                            in.cancel();
                        }
                    }
                }
            }
            // Spending: about six payments a month, never beyond what came in.
            double spent = 0;
            for (int m = 0; m < 12; ++m) {
                for (int p = 0; p < 6; ++p) {
                    const QDate day = start.addMonths(m).addDays(rng.range(0, 27));
                    const double a = rng.money(3000, 120000);
                    if (spent + a > inSum * 0.97)
                        continue;
                    try {
                        out.appendRecord({bill, purpose, a, day, myCodes[rng.range(0, int(myCodes.size()) - 1)],
                                          myOrgs[rng.range(0, int(myOrgs.size()) - 1)]});
                        spent += a;
                    } catch (const store::StoreError&) {
                        out.cancel();
                    }
                }
            }
            // Schedule: three organizations, two codes each, quarters typed in.
            for (int o = 0; o < 3; ++o) {
                for (int c = 0; c < 2; ++c) {
                    plan.append();
                    plan.fieldByName(QStringLiteral("Org")).setValue(myOrgs[(k + o) % myOrgs.size()]);
                    plan.fieldByName(QStringLiteral("Cbc")).setValue(myCodes[(o * 2 + c) % myCodes.size()]);
                    plan.fieldByName(QStringLiteral("FaceBill")).setValue(bill);
                    for (const char* qn : {"Sum1", "Sum2", "Sum3", "Sum4"})
                        plan.fieldByName(QLatin1String(qn)).setText(store::formatNumber(rng.money(10000, 150000), QStringLiteral("#0.00")));
                    try {
                        plan.post();
                    } catch (const store::StoreError&) {
                        plan.cancel();
                    }
                }
            }
            // A notice on the first row of the schedule now and then.
            if (account % 2 == 0) {
                // The year's total as the notices window keeps it.
                const QDate day = start.addMonths(rng.range(2, 10)).addDays(rng.range(0, 20));
                const double s1 = rng.money(-20000, 30000), s2 = rng.money(-10000, 30000);
                cor.appendRecord({myOrgs[k % myOrgs.size()], myCodes[0], bill, double(account / 2), day, QVariant(), s1,
                                  s2, 0.0, 0.0, s1 + s2});
            }
        }
    }
    // Administration's own account.
    ++account;
    t1.appendRecord({QStringLiteral("06000000211"), QStringLiteral("035"), 0.0, 0.0, 0.0});

    // Income accounting: organizations with paid services.
    Table& dorg = d.DOrgTable;
    Table& din = d.DInTable;
    Table& dout = d.DOutTable;
    const QStringList incomeOrgs = {groupOrgs["100"][0], groupOrgs["100"][1], groupOrgs["200"][2],
                                    groupOrgs["300"][0], groupOrgs["400"][0], groupOrgs["400"][3]};
    for (const QString& o : incomeOrgs) {
        dorg.appendRecord({o});
        double inSum = 0, outSum = 0;
        for (int m = 0; m < 12; m += 2) {
            const double a = rng.money(5000, 60000);
            din.appendRecord({o, start.addMonths(m).addDays(rng.range(0, 25)), a,
                              QStringLiteral("Поступление за %1 мес.").arg(m + 1), o.startsWith('1') ? "001" : "003"});
            inSum += a;
            const double b = std::min(rng.money(2000, 40000), inSum - outSum);
            if (b > 0) {
                dout.appendRecord({o, start.addMonths(m).addDays(rng.range(0, 27)), b, QString(),
                                   m % 4 == 0 ? "101" : "000"});
                outSum += b;
            }
        }
        if (dorg.findKey({o})) {
            dorg.edit();
            dorg.fieldByName(QStringLiteral("InSum")).setValue(inSum);
            dorg.fieldByName(QStringLiteral("OutSum")).setValue(outSum);
            dorg.fieldByName(QStringLiteral("Remainder")).setValue(inSum - outSum);
            dorg.post();
        }
    }
    // The ledger keeps the totals of the accounts; so does the demo, the same way.
    accounts::recountAllAccounts(t1, in, out);
    for (Table* t : d.yearTables())
        t->first();
}

} // namespace demo
