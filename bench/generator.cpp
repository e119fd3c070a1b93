// The synthetic year is written through SQLite directly, in one transaction,
// into a file created by the store: the rules of the schema (keys, lookups)
// still check every row as it goes in.
#include "bench/generator.h"

#include "accounts/recount.h"
#include "core/schema/schema.h"
#include "core/store/session.h"
#include "core/store/storeerror.h"
#include "core/store/table.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace benchgen {

namespace {

// Bumped whenever the generated rows change, so cached files are not reused.
constexpr int GeneratorRevision = 4;

// A small generator of its own (splitmix64): the same numbers on every
// compiler and library, which the standard distributions do not promise.
struct Rng {
    std::uint64_t s;
    explicit Rng(std::uint64_t seed) : s(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % std::uint64_t(n)); }
    qint64 between(qint64 lo, qint64 hi) { return lo + qint64(next() % std::uint64_t(hi - lo + 1)); }
    QString digits(int n)
    {
        QString s;
        s.reserve(n);
        for (int i = 0; i < n; ++i)
            s += QLatin1Char(char('0' + below(10)));
        return s;
    }
    template <class T> const T& pick(const std::vector<T>& v) { return v[size_t(below(int(v.size())))]; }
};

// Trailing blanks are never stored and a text never exceeds its field.
QString fit(QString s, int size)
{
    s.truncate(size);
    while (s.endsWith(QLatin1Char(' ')))
        s.chop(1);
    return s;
}

std::vector<QString> words(std::initializer_list<const char*> list)
{
    std::vector<QString> out;
    for (const char* w : list)
        out.push_back(QString::fromUtf8(w));
    return out;
}

class Db {
public:
    explicit Db(const QString& file) : file_(file)
    {
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            fail("open");
        exec("PRAGMA synchronous=OFF");
        exec("PRAGMA cache_size=-65536");
    }
    ~Db()
    {
        for (auto* s : stmts_)
            sqlite3_finalize(s);
        sqlite3_close_v2(db_);
    }

    void exec(const char* sql)
    {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            fail(sql);
    }

    sqlite3_stmt* prepare(const char* sql)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) != SQLITE_OK)
            fail(sql);
        stmts_.push_back(st);
        return st;
    }

    // Binds the values in order (invalid = null) and runs the insert.
    void insert(sqlite3_stmt* st, std::initializer_list<QVariant> values)
    {
        int i = 1;
        for (const QVariant& v : values) {
            if (!v.isValid() || v.isNull()) {
                sqlite3_bind_null(st, i);
            } else if (v.typeId() == QMetaType::Double) {
                sqlite3_bind_double(st, i, v.toDouble());
            } else {
                const QByteArray u = v.toString().toUtf8();
                sqlite3_bind_text(st, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
            }
            ++i;
        }
        if (sqlite3_step(st) != SQLITE_DONE) {
            const QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
            sqlite3_reset(st);
            throw store::StoreError(QStringLiteral("Синтетический год %1: строка не записана: %2").arg(file_, msg));
        }
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    }

    [[noreturn]] void fail(const char* what)
    {
        throw store::StoreError(QStringLiteral("Синтетический год %1: %2 [%3]")
                                    .arg(file_, QString::fromUtf8(sqlite3_errmsg(db_)), QString::fromUtf8(what)));
    }

private:
    QString file_;
    sqlite3* db_ = nullptr;
    std::vector<sqlite3_stmt*> stmts_;
};

QVariant money(qint64 cents) { return QVariant(double(cents) / 100.0); }

struct Posting {
    int account, law, cbc, org, day;
    qint64 cents;
};

// Postings with distinct keys over all stored fields, in the order of their
// dates, as they would have been entered through the year.
std::vector<Posting> postings(Rng& rng, int count, int accounts, int laws, int cbcs, int orgs, int days,
                              qint64 minCents, qint64 maxCents)
{
    std::vector<Posting> out;
    out.reserve(size_t(count));
    std::unordered_set<std::uint64_t> seen;
    seen.reserve(size_t(count) * 2);
    while (int(out.size()) < count) {
        Posting p;
        p.account = rng.below(accounts);
        p.law = rng.below(laws);
        p.cbc = rng.below(cbcs);
        p.org = orgs > 0 ? rng.below(orgs) : 0;
        p.day = rng.below(days);
        p.cents = rng.between(minCents, maxCents);
        // A hash of the key: equal keys always collide; a rare false collision
        // only draws the row again.
        std::uint64_t h = 1469598103934665603ULL;
        for (std::uint64_t part : {std::uint64_t(p.account), std::uint64_t(p.law), std::uint64_t(p.cbc),
                                   std::uint64_t(p.org), std::uint64_t(p.day), std::uint64_t(p.cents)})
            h = (h ^ part) * 1099511628211ULL + (h >> 29);
        if (!seen.insert(h).second)
            continue;
        out.push_back(p);
    }
    std::stable_sort(out.begin(), out.end(), [](const Posting& a, const Posting& b) { return a.day < b.day; });
    return out;
}

// The schedule: rows for organizations, codes and accounts that expenditures
// use, four quarters each, and correction notices of those rows through
// the year, numbered per row.
void fillSchedule(Db& db, Rng& rng, const YearParams& params, const std::vector<Posting>& out,
                  const std::vector<QString>& accounts, const std::vector<QString>& cbc,
                  const std::vector<QString>& orgs, const std::vector<QString>& dates)
{
    struct Row {
        int account, cbc, org;
    };
    std::vector<Row> rows;
    std::unordered_set<std::uint64_t> seen;
    const int wanted = std::min<int>(params.plans, int(out.size()));
    for (int tries = 0; int(rows.size()) < wanted && tries < wanted * 20; ++tries) {
        const Posting& p = out[size_t(rng.below(int(out.size())))];
        const std::uint64_t key = (std::uint64_t(p.org) << 40) ^ (std::uint64_t(p.cbc) << 20) ^ std::uint64_t(p.account);
        if (seen.insert(key).second)
            rows.push_back({p.account, p.cbc, p.org});
    }
    auto* st = db.prepare("INSERT INTO \"planTbl\" (\"Org\", \"Cbc\", \"FaceBill\", \"Sum1\", \"Sum2\", \"Sum3\", "
                          "\"Sum4\", \"AllSum\") VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    for (const Row& r : rows) {
        qint64 q[4], all = 0;
        for (qint64& c : q)
            all += c = rng.between(100000, 50000000);
        db.insert(st, {orgs[size_t(r.org)], cbc[size_t(r.cbc)], accounts[size_t(r.account)], money(q[0]), money(q[1]),
                       money(q[2]), money(q[3]), money(all)});
    }
    if (rows.empty())
        return;
    auto* cn = db.prepare("INSERT INTO \"corPln\" (\"Org\", \"Cbc\", \"FaceBill\", \"Num\", \"CorDate\", \"Sum1\", "
                          "\"Sum2\", \"Sum3\", \"Sum4\", \"AllSum\") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    std::vector<int> numbers(rows.size(), 0);
    for (int i = 0; i < params.notices; ++i) {
        const int k = rng.below(int(rows.size()));
        const Row& r = rows[size_t(k)];
        qint64 q[4] = {0, 0, 0, 0}, all = 0;
        const int quarter = rng.below(4);
        q[quarter] = rng.between(-2000000, 5000000);
        all = q[quarter];
        db.insert(cn, {orgs[size_t(r.org)], cbc[size_t(r.cbc)], accounts[size_t(r.account)], ++numbers[size_t(k)],
                       dates[size_t(rng.below(int(dates.size())))], money(q[0]), money(q[1]), money(q[2]), money(q[3]),
                       money(all)});
    }
}

// The income accounting: organizations of the book with receipts (two in
// three entries) and expenses over the year, of a few kinds, and their
// totals in DOrg as the entry window keeps them.
void fillIncome(Db& db, Rng& rng, const YearParams& params, const std::vector<QString>& orgs,
                const std::vector<QString>& dates)
{
    if (orgs.empty() || params.incomeOrganizations <= 0)
        return;
    {
        auto* st = db.prepare("INSERT INTO \"SumTypeSpr\" (\"SumType\", \"Comment\") VALUES (?, ?)");
        db.insert(st, {QStringLiteral("001"), QStringLiteral("Родительская плата")});
        db.insert(st, {QStringLiteral("002"), QStringLiteral("Платные услуги")});
        db.insert(st, {QStringLiteral("101"), QStringLiteral("Оплата коммунальных услуг")});
        db.insert(st, {QStringLiteral("102"), QStringLiteral("Приобретение материалов")});
    }
    const int n = std::min(params.incomeOrganizations, int(orgs.size()));
    std::vector<QString> members;
    for (int i = 0; i < n; ++i)
        members.push_back(orgs[size_t(i) * orgs.size() / size_t(n)]);
    std::vector<double> in(size_t(n), 0.0), out(size_t(n), 0.0);
    const char* inKinds[] = {"000", "001", "002"};
    const char* outKinds[] = {"000", "101", "102"};
    auto* inSt = db.prepare("INSERT INTO \"DIn\" (\"Org\", \"Date\", \"Sum\", \"Note\", \"SumType\") VALUES (?, ?, ?, ?, ?)");
    auto* outSt = db.prepare("INSERT INTO \"DOut\" (\"Org\", \"Date\", \"Sum\", \"Note\", \"SumType\") VALUES (?, ?, ?, ?, ?)");
    for (int e = 0; e < params.incomeEntries; ++e) {
        const int o = rng.below(n);
        const bool receipt = rng.below(3) != 0;
        const qint64 cents = receipt ? rng.between(50000, 5000000) : rng.between(10000, 3000000);
        // The note numbers the entry: no two entries share a key.
        const QVariant note = QStringLiteral("Запись %1").arg(e + 1);
        const QString& date = dates[size_t(rng.below(int(dates.size())))];
        if (receipt) {
            db.insert(inSt, {members[size_t(o)], date, money(cents), note, QString::fromLatin1(inKinds[rng.below(3)])});
            in[size_t(o)] += double(cents) / 100.0;
        } else {
            db.insert(outSt, {members[size_t(o)], date, money(cents), note, QString::fromLatin1(outKinds[rng.below(3)])});
            out[size_t(o)] += double(cents) / 100.0;
        }
    }
    auto* st = db.prepare("INSERT INTO \"DOrg\" (\"Org\", \"InSum\", \"OutSum\", \"Remainder\") VALUES (?, ?, ?, ?)");
    for (int i = 0; i < n; ++i)
        db.insert(st, {members[size_t(i)], in[size_t(i)], out[size_t(i)], in[size_t(i)] - out[size_t(i)]});
}
void addSummaryCodes(Db& db, const std::vector<QString>& cbc, const YearParams& params);

void fill(const QString& file, const YearParams& params)
{
    Rng rng(params.seed);
    Db db(file);
    db.exec("BEGIN");

    // --- budget classification codes
    const auto cbcNames = words({"Заработная плата", "Начисления на оплату труда", "Услуги связи",
                                 "Транспортные услуги", "Коммунальные услуги", "Арендная плата",
                                 "Работы по содержанию имущества", "Прочие услуги", "Пособия по социальной помощи",
                                 "Увеличение стоимости основных средств", "Увеличение стоимости материальных запасов",
                                 "Прочие расходы", "Безвозмездные перечисления", "Налог на имущество"});
    std::vector<QString> cbc;
    {
        std::unordered_set<std::string> used;
        while (int(cbc.size()) < params.cbcs) {
            const QString code = QStringLiteral("000") + rng.digits(16);
            if (used.insert(code.toStdString()).second)
                cbc.push_back(code);
        }
        std::sort(cbc.begin(), cbc.end());
        auto* st = db.prepare("INSERT INTO \"cbc_spr\" (\"CBC\", \"NAME\", \"SNAME\", \"Md2Use\") VALUES (?, ?, ?, ?)");
        for (size_t i = 0; i < cbc.size(); ++i) {
            const QString& n = rng.pick(cbcNames);
            db.insert(st, {cbc[i], fit(n + QStringLiteral(" (") + cbc[i].right(6) + QLatin1Char(')'), 40),
                           fit(n, 20), rng.below(3) == 0 ? QVariant(QStringLiteral("*")) : QVariant()});
        }
    }

    // --- purposes: group headings of two characters, then their codes
    const auto sections = words({"Общегосударственные вопросы", "Национальная оборона", "Национальная экономика",
                                 "Жилищно-коммунальное хозяйство", "Охрана окружающей среды", "Образование",
                                 "Культура и кинематография", "Здравоохранение", "Социальная политика",
                                 "Физическая культура и спорт", "Средства массовой информации",
                                 "Обслуживание долга"});
    std::vector<QString> laws;   // the three-character codes that postings use
    {
        auto* st = db.prepare("INSERT INTO \"law_spr\" (\"LawRef\", \"Sname\", \"Name\") VALUES (?, ?, ?)");
        const int perGroup = 9;
        const int groups = std::max(1, (params.purposes + perGroup) / (perGroup + 1));
        int written = 0;
        for (int g = 0; g < groups && written < params.purposes; ++g) {
            const QString head = QStringLiteral("%1").arg(g + 1, 2, 10, QLatin1Char('0'));
            const QString& sec = sections[size_t(g) % sections.size()];
            db.insert(st, {head, fit(QStringLiteral("Раздел ") + head, 35), fit(head + QStringLiteral(" ") + sec, 70)});
            ++written;
            for (int k = 1; k <= perGroup && written < params.purposes; ++k, ++written) {
                const QString code = head + QString::number(k);
                laws.push_back(code);
                db.insert(st, {code, fit(QStringLiteral("Ст. ") + code + QLatin1Char(' ') + sec, 35),
                               fit(QStringLiteral("Статья ") + code + QStringLiteral(" раздела ") + head +
                                       QStringLiteral(": ") + sec,
                                   70)});
            }
        }
    }

    // --- organizations: group headings of three characters, then five-character codes
    const auto forms = words({"МОУ СОШ", "МДОУ детский сад", "МУЗ больница", "МУП", "ООО", "ЗАО", "ОАО",
                              "Управление", "Комитет", "Библиотека", "Дом культуры", "ДЮСШ"});
    const auto names = words({"Рассвет", "Заря", "Восход", "Березка", "Ромашка", "Сибирь", "Прогресс", "Энергия",
                              "Север", "Ладога", "Родник", "Колос", "Радуга", "Теремок", "Дружба", "Победа",
                              "Стройсервис", "Агрокомплекс", "Водоканал", "Теплосеть", "Горсвет", "Автотранс"});
    const auto sectors = words({"Образование", "Здравоохранение", "Культура", "Спорт", "ЖКХ", "Транспорт",
                                "Социальная защита", "Администрация", "Сельское хозяйство", "Строительство"});
    std::vector<QString> orgs;   // the five-character codes that postings use
    {
        auto* st = db.prepare("INSERT INTO \"org_spr\" (\"Org\", \"Name\", \"Dop_name\", \"Bill\", \"Phone\", \"Cbc\", "
                              "\"Inn\", \"LicBill\") VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        const int perGroup = 49;
        const int groups = std::max(1, (params.organizations + perGroup) / (perGroup + 1));
        int written = 0;
        for (int g = 0; g < groups && written < params.organizations; ++g) {
            const QString head = QString::number(101 + g);
            db.insert(st, {head, fit(QStringLiteral("Группа ") + head + QStringLiteral(": ") +
                                         sectors[size_t(g) % sectors.size()],
                                     35),
                           QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
            ++written;
            for (int k = 1; k <= perGroup && written < params.organizations; ++k, ++written) {
                const QString code = head + QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0'));
                orgs.push_back(code);
                const QString name = rng.pick(forms) + QLatin1Char(' ') + rng.pick(names) +
                                     QStringLiteral(" № ") + QString::number(rng.between(1, 199));
                db.insert(st, {code, fit(name, 35),
                               fit(QStringLiteral("Муниципальное учреждение \"") + name +
                                       QStringLiteral("\", г. Энск"),
                                   70),
                               rng.digits(20),
                               QStringLiteral("%1-%2-%3").arg(rng.digits(2), rng.digits(2), rng.digits(2)),
                               rng.below(4) == 0 ? QVariant() : QVariant(rng.pick(cbc)), rng.digits(10),
                               rng.digits(11)});
            }
        }
    }

    {
        auto* st = db.prepare("INSERT INTO \"SumTypeSpr\" (\"SumType\", \"Comment\") VALUES (?, ?)");
        db.insert(st, {QStringLiteral("000"), QStringLiteral("Прочие поступления")});
    }

    // --- accounts and their postings
    std::vector<QString> accounts;
    {
        std::unordered_set<std::string> used;
        while (int(accounts.size()) < params.accounts) {
            const QString a = QStringLiteral("0") + QString::number(1 + rng.below(9)) + rng.digits(9);
            if (used.insert(a.toStdString()).second)
                accounts.push_back(a);
        }
        std::sort(accounts.begin(), accounts.end());
    }
    std::vector<QString> dates;
    const QDate jan1(params.year, 1, 1);
    for (int d = 0; d < jan1.daysInYear(); ++d)
        dates.push_back(jan1.addDays(d).toString(Qt::ISODate));

    const int lawCount = int(laws.size()), cbcCount = int(cbc.size()), orgCount = int(orgs.size()),
              days = int(dates.size()), accCount = int(accounts.size());
    const auto in = postings(rng, params.receipts, accCount, lawCount, cbcCount, 0, days, 100000, 10000000);
    const auto out = postings(rng, params.expenditures, accCount, lawCount, cbcCount, orgCount, days, 10000, 3000000);

    {
        // The totals are written afterwards by the recount the ledger uses.
        auto* st = db.prepare("INSERT INTO \"t1\" (\"Facebill\", \"LawRef\", \"InAmount\", \"OutAmount\", "
                              "\"Remainder\") VALUES (?, ?, 0, 0, 0)");
        for (int a = 0; a < accCount; ++a)
            db.insert(st, {accounts[size_t(a)], rng.pick(laws)});
    }
    {
        auto* st = db.prepare("INSERT INTO \"t2_1\" (\"FaceBill\", \"LawRef\", \"Amount\", \"FiDate\", \"CBC\") "
                              "VALUES (?, ?, ?, ?, ?)");
        for (const auto& p : in)
            db.insert(st, {accounts[size_t(p.account)], laws[size_t(p.law)], money(p.cents), dates[size_t(p.day)],
                           cbc[size_t(p.cbc)]});
    }
    {
        auto* st = db.prepare("INSERT INTO \"t2_2\" (\"Facebill\", \"LawRef\", \"Amount\", \"FiDate\", \"CBC\", "
                              "\"Org\") VALUES (?, ?, ?, ?, ?, ?)");
        for (const auto& p : out)
            db.insert(st, {accounts[size_t(p.account)], laws[size_t(p.law)], money(p.cents), dates[size_t(p.day)],
                           cbc[size_t(p.cbc)], orgs[size_t(p.org)]});
    }
    fillSchedule(db, rng, params, out, accounts, cbc, orgs, dates);
    fillIncome(db, rng, params, orgs, dates);
    addSummaryCodes(db, cbc, params);
    db.exec("COMMIT");
}

// Summary codes of the reference book: the code of 19 asterisks, then in
// turn economic-article codes (13 asterisks and the article of a code in
// use) and the economic articles of one expense kind (the first 13
// positions of a code in use and 6 asterisks).
void addSummaryCodes(Db& db, const std::vector<QString>& cbc, const YearParams& params)
{
    if (params.summaryCbcs <= 0 || cbc.empty())
        return;
    Rng rng(params.seed ^ 0x53554d434f444553ULL);
    auto* st = db.prepare("INSERT INTO \"cbc_spr\" (\"CBC\", \"NAME\", \"SNAME\", \"Md2Use\") VALUES (?, ?, ?, ?)");
    std::unordered_set<std::string> used;
    for (const QString& c : cbc)
        used.insert(c.toStdString());
    int written = 0;
    for (int attempt = 0; written < params.summaryCbcs && attempt < params.summaryCbcs * 20; ++attempt) {
        const QString& base = cbc[size_t(rng.below(int(cbc.size())))];
        const QString code = written == 0   ? QString(19, QLatin1Char('*'))
                             : written % 2 ? QString(13, QLatin1Char('*')) + base.right(6)
                                           : base.left(13) + QString(6, QLatin1Char('*'));
        if (!used.insert(code.toStdString()).second)
            continue;
        const QString name = written == 0 ? QStringLiteral("Всего") : QStringLiteral("Итого по ") + code;
        db.insert(st, {code, fit(name, 40), fit(name, 20), QVariant()});
        ++written;
    }
}

// The accounts' totals from their postings, through the store, as the
// ledger keeps them.
void recount(const QString& dir)
{
    QTemporaryDir control;
    store::Session s;
    s.setControlDir(control.path());
    s.addParam(QStringLiteral("USER NAME=benchgen"));
    s.open();
    auto open = [&](const char* name) {
        auto t = std::make_unique<store::Table>(&s, QString::fromLatin1(name));
        t->setTableName(QString::fromLatin1(name));
        t->setDirectory(dir);
        t->open();
        return t;
    };
    auto t1 = open("t1"), in = open("t2_1"), out = open("t2_2");
    accounts::recountAllAccounts(*t1, *in, *out);
}

void build(const QString& dir, const YearParams& params)
{
    store::Session::createDatabase(dir, schema::Location::Year);
    const QString file = store::Session::databasePath(dir, schema::Location::Year);
    try {
        fill(file, params);
        recount(dir);
    } catch (...) {
        QFile::remove(file);
        throw;
    }
}

// The file on the disk when the year is handed over, so the first commit a
// benchmark times does not wait for the write-back of tens of megabytes.
void flushToDisk(const QString& path)
{
    QFile f(path);
    if (f.open(QIODevice::ReadWrite))
        ::fsync(f.handle());
}

} // namespace

QString YearParams::key() const
{
    const QByteArray schemaHash = QCryptographicHash::hash(
                                      schema::createStatements(schema::Location::Year).join(QLatin1Char('\n')).toUtf8(),
                                      QCryptographicHash::Sha1)
                                      .toHex()
                                      .left(12);
    return QStringLiteral("rev=%1 accounts=%2 purposes=%3 organizations=%4 cbcs=%5 receipts=%6 expenditures=%7 "
                          "year=%8 seed=%9 schema=%10 plans=%11 notices=%12 income-organizations=%13 income-entries=%14 "
                          "summaryCbcs=%15")
        .arg(GeneratorRevision)
        .arg(accounts)
        .arg(purposes)
        .arg(organizations)
        .arg(cbcs)
        .arg(receipts)
        .arg(expenditures)
        .arg(year)
        .arg(seed)
        .arg(QString::fromLatin1(schemaHash))
        .arg(plans)
        .arg(notices)
        .arg(incomeOrganizations)
        .arg(incomeEntries)
        .arg(summaryCbcs);
}

YearParams YearParams::scaled(double factor) const
{
    YearParams s = *this;
    auto scale = [factor](int n) { return std::max(1, int(std::lround(n * factor))); };
    s.accounts = scale(accounts);
    s.receipts = scale(receipts);
    s.expenditures = scale(expenditures);
    s.plans = scale(plans);
    s.notices = scale(notices);
    return s;
}

QString cachedYearPath(const QString& cacheDir, const YearParams& params)
{
    const QByteArray h = QCryptographicHash::hash(params.key().toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return store::Session::normalizeDir(cacheDir) + QStringLiteral("/year-") + QString::fromLatin1(h) +
           QStringLiteral(".db");
}

QString generateYear(const QString& dir, const YearParams& params, const QString& cacheDir)
{
    const QString target = store::Session::databasePath(dir, schema::Location::Year);
    if (QFileInfo::exists(target))
        throw store::StoreError(QStringLiteral("Файл базы данных %1 уже существует.").arg(target));
    if (cacheDir.isEmpty()) {
        build(dir, params);
        flushToDisk(target);
        return target;
    }

    const QString cached = cachedYearPath(cacheDir, params);
    if (!QFileInfo::exists(cached)) {
        // Built aside and renamed into place, so a run that breaks off, or
        // another run at the same time, never leaves a half-written cache.
        const QString tmp = store::Session::normalizeDir(cacheDir) + QStringLiteral("/tmp-") +
                            QString::number(::getpid());
        QDir(tmp).removeRecursively();
        build(tmp, params);
        flushToDisk(store::Session::databasePath(tmp, schema::Location::Year));
        QFile::remove(tmp + QStringLiteral("/year.lck"));
        if (!QFile::rename(store::Session::databasePath(tmp, schema::Location::Year), cached) &&
            !QFileInfo::exists(cached)) {
            QDir(tmp).removeRecursively();
            throw store::StoreError(QStringLiteral("Не удается сохранить файл %1.").arg(cached));
        }
        QDir(tmp).removeRecursively();
        QFile note(QString(cached).replace(QStringLiteral(".db"), QStringLiteral(".txt")));
        if (note.open(QIODevice::WriteOnly | QIODevice::Truncate))
            note.write(params.key().toUtf8() + '\n');
    }
    if (!QDir().mkpath(store::Session::normalizeDir(dir)) || !QFile::copy(cached, target))
        throw store::StoreError(QStringLiteral("Не удается скопировать %1 в %2.").arg(cached, target));
    // A copy keeps the cache's permissions; the store needs to write it.
    QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner | QFile::ReadOwner);
    flushToDisk(target);
    return target;
}

} // namespace benchgen
