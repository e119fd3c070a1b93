// saldina-cli: the program's data without a display. It uses the same data
// module and store as the program, so every rule of the tables applies.
#include "cli/csv.h"
#include "core/datamodule/datamodule.h"
#include "cli/demo.h"
#include "cli/output.h"
#include "accounts/plancontrol.h"
#include "cli/report_command.h"
#include "core/store/check.h"
#include "core/store/format.h"
#include "core/store/pg_connection.h"
#include "maintenance/pack.h"
#include "version.h"

#include <QGuiApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdio.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const char* const Usage =
    "Usage: saldina-cli [--ini PATH] COMMAND ...\n"
    "\n"
    "Commands:\n"
    "  init ROOT [--year YYYY] [--demo] [--server URL]\n"
    "                                     create a ready installation under ROOT\n"
    "  import TABLE FILE.csv [--replace]  add the rows of a CSV file to a table\n"
    "  export TABLE [--out FILE]          write a table as CSV (standard output by default)\n"
    "  check [--plan [--unplanned]]       check the year and work databases (the schedule)\n"
    "  pack                               pack the tables (every other copy closed)\n"
    "  copy-year (--to-server URL | --from-server URL) [--switch]\n"
    "                                     move the year between the files and a server\n"
    "  report NAME [selection] (--pdf FILE | --text | --xlsx FILE | --csv FILE)\n"
    "                                     run a report and write its pages\n"
    "  print WHAT (--pdf FILE | --text | --xlsx FILE | --csv FILE)\n"
    "                                     write a window's print: organizations, purposes,\n"
    "                                     accounts, schedule --account ACCOUNT\n"
    "  --version                          print the version\n"
    "\n"
    "prog.ini is read beside this executable unless --ini PATH is given; the installed\n"
    "saldina-cli reads ~/.config/saldina/prog.ini, as the installed program does, when\n"
    "there is none beside it.\n"
    "'saldina-cli COMMAND --help' tells more about a command.\n";

const char* const InitHelp =
    "Usage: saldina-cli init ROOT [--year YYYY] [--demo] [--server URL]\n"
    "\n"
    "Creates ROOT/DataBase/ with the control file, the template Orig/ (every year table,\n"
    "empty books but the income kind \"000\"), the year directory made from the template,\n"
    "ROOT/Local/ with the report work tables, and ROOT/prog.ini naming them.\n"
    "  --year YYYY   the accounting year (default: the current year)\n"
    "  --demo        fill the year with a small municipality to try the program on\n"
    "  --server URL  the template and the year on a PostgreSQL server (a libpq connection\n"
    "                string or URI) as its schemas orig and y<year>, written to prog.ini as\n"
    "                Server; refused when the server already has either\n";

const char* const ImportHelp =
    "Usage: saldina-cli [--ini PATH] import TABLE FILE.csv [--replace]\n"
    "\n"
    "FILE.csv: RFC 4180, UTF-8 (with or without BOM) or else code page 1251, a header row\n"
    "of stored field names (any case, each once).\n"
    "Dates as yyyy-mm-dd or dd.MM.yyyy, numbers with '.' or ',', an empty field is empty.\n"
    "Every row goes through the table store, so every rule of the table applies; a damaged\n"
    "database is refused before anything is written. The import is all or nothing: the\n"
    "first refused row is named with its line and the store's text, and nothing is added.\n"
    "A serial number (corPln.AbsNum) is a whole number from 1, or given when empty.\n"
    "Importing receipts or expenditures (t2_1, t2_2) does not change the totals of the\n"
    "accounts in t1, nor do DIn/DOut change DOrg: the ledger and the income entry keep\n"
    "those totals; import the account rows with their totals as well.\n"
    "  --replace   empty the table first (in the same all-or-nothing step)\n";

const char* const ExportHelp =
    "Usage: saldina-cli [--ini PATH] export TABLE [--out FILE]\n"
    "\n"
    "Writes the table's stored fields as RFC 4180 CSV in UTF-8, in the table's normal\n"
    "order: a header of field names, dates as yyyy-mm-dd, numbers with a decimal point\n"
    "and as many digits as it takes to read them back exactly.\n";

const char* const CheckHelp =
    "Usage: saldina-cli [--ini PATH] check [--plan [--unplanned]]\n"
    "\n"
    "Checks the year and work databases: first the files themselves, every table, field,\n"
    "index and integrity rule as defined, and keys held by two rows; then account totals\n"
    "against their postings, income accounting totals against their entries, and codes\n"
    "missing from their reference books. Exit status 1 when anything is wrong.\n"
    "A year on a server (Server in prog.ini): its tables and fields are checked against\n"
    "the definitions; the server keeps the indexes and rules with its tables itself.\n"
    "  --plan        instead of the totals: every account, organization and code of the\n"
    "                year with a plan (a schedule row or a notice dated in the year) whose\n"
    "                expenditures from 1 January to the end of a quarter exceed its\n"
    "                corrected plan up to that quarter (at two decimals), one line each;\n"
    "                exit status 1 when there is one\n"
    "  --unplanned   with --plan: also the expenditures without any plan\n";

const char* const PackHelp =
    "Usage: saldina-cli [--ini PATH] pack\n"
    "\n"
    "Packs the tables as the program's maintenance window does: the books, the postings,\n"
    "the accounts, the report work tables md, md1, md2 and the income accounting, each\n"
    "rewritten with its deleted rows' space released and every index rebuilt, then checked.\n"
    "Every other copy of the program must be closed. Prints each line as it is done; on\n"
    "the first table that cannot be packed, prints the store's text and exits with 1\n"
    "(the tables after it are left as they were).\n";

void err(const QString& s) { std::fprintf(stderr, "%s\n", s.toUtf8().constData()); }
void say(const QString& s) { std::fprintf(stdout, "%s\n", s.toUtf8().constData()); }

int usage(const QString& why, const char* help = Usage)
{
    err(QStringLiteral("saldina-cli: ") + why);
    std::fputs(help, stderr);
    return 2;
}

bool wantsHelp(const QStringList& args) { return args.contains("--help") || args.contains("-h"); }

// Messages of the data module go to standard error; questions are answered OK.
dm::MessageFn cliMessages()
{
    return [](const QString& caption, const QString& text, dm::MsgButtons, dm::MsgIcon) {
        err((caption.isEmpty() ? QStringLiteral("saldina-cli") : caption) + QStringLiteral(": ") + text);
        return dm::MsgResult::Ok;
    };
}

int init(QStringList args)
{
    if (wantsHelp(args)) {
        std::fputs(InitHelp, stdout);
        return 0;
    }
    int year = QDate::currentDate().year();
    bool withDemo = false;
    QString root, server;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == "--demo") {
            withDemo = true;
        } else if (a == "--year") {
            bool ok = false;
            year = args.isEmpty() ? 0 : args.takeFirst().toInt(&ok);
            if (!ok || year < 1987 || year > 2099)
                return usage(QStringLiteral("--year: нужен год от 1987 до 2099"), InitHelp);
        } else if (a == "--server") {
            server = args.isEmpty() ? QString() : args.takeFirst();
            if (server.trimmed().isEmpty())
                return usage(QStringLiteral("--server: не указан адрес сервера"), InitHelp);
        } else if (a.startsWith("-")) {
            return usage(QStringLiteral("неизвестный ключ ") + a, InitHelp);
        } else if (root.isEmpty()) {
            root = a;
        } else {
            return usage(QStringLiteral("ROOT дается один"), InitHelp);
        }
    }
    if (root.isEmpty())
        return usage(QStringLiteral("init: не указан ROOT"), InitHelp);
    const QString abs = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
    // prog.ini names the directories of the root: a root that it cannot
    // hold is refused before anything is made.
    for (QChar c : abs)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            err(QStringLiteral("saldina-cli: путь %1 содержит управляющий знак (перевод строки, табуляцию...): "
                               "его нельзя записать в prog.ini; выберите другой каталог")
                    .arg(abs));
            return 1;
        }
    if (!config::cp1251::encode(abs)) {
        err(QStringLiteral("saldina-cli: путь %1 содержит знаки, которых нет в кодировке 1251 файла prog.ini; "
                           "выберите другой каталог")
                .arg(abs));
        return 1;
    }
    if (!server.isEmpty()) {
        for (QChar c : server)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f || !config::cp1251::encode(server)) {
                err(QStringLiteral("saldina-cli: адрес сервера нельзя записать в prog.ini: "
                                   "в нем управляющий знак или знак, которого нет в кодировке 1251"));
                return 1;
            }
        // The server's template and year are checked before anything is made.
        const QString yearSchema = QStringLiteral("y%1").arg(year);
        try {
            for (const QString& name : {QStringLiteral("orig"), yearSchema})
                if (store::serverSchemaExists(server, name)) {
                    err(QStringLiteral("saldina-cli: на сервере уже есть база данных %1; ничего не изменено").arg(name));
                    return 1;
                }
        } catch (const store::StoreError& e) {
            err(QStringLiteral("saldina-cli: ") + e.text());
            return 1;
        }
    }
    const bool rootExisted = QFileInfo::exists(abs);
    if (!QDir().mkpath(abs) || !QFileInfo(abs).isDir()) {
        err(QStringLiteral("saldina-cli: не удается создать каталог %1").arg(abs));
        return 1;
    }
    // One init of a root at a time: a second one waits and then finds the
    // root set up.
    const int rootFd = ::open(QFile::encodeName(abs).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0 || ::flock(rootFd, LOCK_EX) != 0) {
        err(QStringLiteral("saldina-cli: не удается заблокировать каталог %1").arg(abs));
        if (rootFd >= 0)
            ::close(rootFd);
        return 1;
    }
    struct RootLock {
        int fd;
        ~RootLock() { ::close(fd); }
    } rootLock{rootFd};
    // Work directories left by an init that was killed.
    for (const QString& d : QDir(abs).entryList({QStringLiteral(".saldina-init-*")}, QDir::Dirs | QDir::Hidden))
        QDir(abs + QLatin1Char('/') + d).removeRecursively();
    const QString base = abs + QStringLiteral("/DataBase/");
    const QString local = abs + QStringLiteral("/Local/");
    const QString ini = abs + QStringLiteral("/prog.ini");
    const bool baseExists = QFileInfo::exists(base);
    if (QFileInfo::exists(ini) ||
        (baseExists && !QDir(base).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())) {
        err(QStringLiteral("saldina-cli: %1 уже установлен; выберите пустой каталог").arg(abs));
        return 1;
    }
    const bool localExists = QFileInfo::exists(local);
    const bool workExists = QFileInfo::exists(local + schema::databaseFileName(schema::Location::Work));
    if (localExists && !QFileInfo(local).isDir()) {
        err(QStringLiteral("saldina-cli: %1 не является каталогом").arg(QDir::cleanPath(local)));
        return 1;
    }

    // Everything is made in a work directory inside the root and put in
    // place when whole; a failure leaves the root as it was.
    const QString stage = abs + QStringLiteral("/.saldina-init-") + QString::number(::getpid());
    const QString sBase = stage + QStringLiteral("/DataBase/");
    const QString sLocal = stage + QStringLiteral("/Local/");
    const QString sIni = stage + QStringLiteral("/prog.ini");
    QStringList placed;   // what was already put in place, undone on a failure
    bool serverMade = false;   // the schemas of the server are this init's
    auto undo = [&] {
        if (serverMade) {
            // The template and the year this init made; the store's own
            // objects too when no year of any root is left on the server.
            try {
                store::runOnServer(server,
                                   {QStringLiteral("DROP SCHEMA IF EXISTS \"y%1\" CASCADE").arg(year),
                                    QStringLiteral("DROP SCHEMA IF EXISTS orig CASCADE"),
                                    QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_tables WHERE tablename = "
                                                   "'saldina_changes') THEN DROP SCHEMA IF EXISTS control CASCADE; "
                                                   "END IF; END $$")});
            } catch (const store::StoreError& e) {
                err(QStringLiteral("saldina-cli: ") + e.text());
            }
        }
        for (const QString& p : std::as_const(placed)) {
            if (QFileInfo(p).isDir())
                QDir(p).removeRecursively();
            else
                QFile::remove(p);
        }
        QDir(stage).removeRecursively();
        if (baseExists)
            QDir().mkdir(base);
        if (!rootExisted)
            QDir().rmdir(abs);
    };
    auto failed = [&](QString text) {
        undo();
        err(QStringLiteral("saldina-cli: ") + text.replace(stage, abs));
        return 1;
    };
    auto writeIni = [&](const QString& file, const QString& dataDir, const QString& localDir, QString* e) {
        const config::Profile p(file);
        const QString m = QString::fromLatin1(config::keys::Main);
        return p.writeString(m, config::keys::DataBaseDir, dataDir, e) && p.writeInt(m, config::keys::Year, year, e) &&
               p.writeString(m, config::keys::UserName, QStringLiteral("User1"), e) &&
               p.writeString(m, config::keys::LocalBaseDir, localDir, e) &&
               (server.isEmpty() || p.writeString(m, config::keys::Server, server, e)) &&
               p.writeString(m, config::keys::OrgName,
                             withDemo ? QStringLiteral("Финансовое управление администрации Заречного района") : QString(),
                             e);
    };
    try {
        if (!QDir().mkpath(stage))
            throw store::StoreError(QStringLiteral("Не удается создать каталог %1").arg(abs));
        if (server.isEmpty()) {
            store::Session::createDatabase(sBase + "Orig", schema::Location::Year);
        } else {
            // The schemas are named after the directories of the root: the
            // staged ones must name the same as those put in place.
            store::Session staged, inPlace;
            staged.setServer(server);
            staged.setControlDir(sBase);
            inPlace.setServer(server);
            inPlace.setControlDir(base);
            for (const QString& d : {QStringLiteral("Orig"), QString::number(year)})
                if (staged.serverSchema(sBase + d).isEmpty() ||
                    staged.serverSchema(sBase + d) != inPlace.serverSchema(base + d))
                    throw store::StoreError(QStringLiteral("Каталог %1 не соответствует базе данных на сервере").arg(base + d));
            store::Session::createServerDatabase(server, QStringLiteral("orig"), schema::Location::Year);
            serverMade = true;
            QDir().mkpath(sBase);
        }
        {
            // The template carries the income kind that entries without one get.
            store::Session s;
            s.setServer(server);
            s.setControlDir(sBase);
            s.addParam(QStringLiteral("USER NAME=saldina-cli init"));
            store::Table kinds(&s);
            kinds.setTableName("SumTypeSpr");
            kinds.setDirectory(sBase + "Orig");
            kinds.open();
            kinds.appendRecord({"000", QStringLiteral("Без вида")});
        }
        if (!workExists)
            store::Session::createDatabase(sLocal, schema::Location::Work);
        QString e;
        if (!writeIni(sIni, sBase, workExists ? local : sLocal, &e))
            return failed(e);
        {
            // The year and the demo rows are made through the data module,
            // as the program makes them.
            QString said;
            dm::TDataBase1 d(sIni, [&said](const QString& caption, const QString& text, dm::MsgButtons, dm::MsgIcon) {
                said = caption.isEmpty() ? text : caption + QStringLiteral(": ") + text;
                return dm::MsgResult::Ok;
            });
            if (!d.isOpen())
                return failed(said);
            if (withDemo)
                demo::fill(d, year);
        }
        // prog.ini names the places the directories are put in.
        if (!writeIni(sIni, base, local, &e))
            return failed(e);
        auto place = [&](const QString& from, const QString& to) {
            QString target = to;
            while (target.endsWith(QLatin1Char('/')))
                target.chop(1);
            if (::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD,
                            QFile::encodeName(target).constData(), RENAME_NOREPLACE) != 0)
                throw store::StoreError(QStringLiteral("Не удается создать %1: %2")
                                            .arg(target, QString::fromLocal8Bit(strerror(errno))));
            placed << target;
        };
        if (baseExists)
            QDir().rmdir(base);   // empty, checked above
        place(sBase, base);
        if (!workExists) {
            if (localExists)
                place(sLocal + schema::databaseFileName(schema::Location::Work),
                      local + schema::databaseFileName(schema::Location::Work));
            else
                place(sLocal, local);
        }
        place(sIni, ini);
        QDir(stage).removeRecursively();
    } catch (const store::StoreError& e) {
        return failed(e.text());
    }
    say(QStringLiteral("%1: год %2 готов%3; prog.ini: %4").arg(abs).arg(year).arg(withDemo ? QStringLiteral(" с примером данных") : QString(), ini));
    if (!server.isEmpty())
        say(QStringLiteral("шаблон и год на сервере: схемы orig и y%1").arg(year));
    return 0;
}

QString exportValue(const store::Field& f)
{
    const QVariant v = f.value();
    if (!v.isValid() || v.isNull())
        return {};
    switch (f.type()) {
    case schema::FieldType::Text:
        return v.toString();
    case schema::FieldType::Float:
        return store::roundTripFloat(v.toDouble());
    case schema::FieldType::Date:
        return v.toDate().toString(Qt::ISODate);
    case schema::FieldType::AutoInc:
        return QString::number(v.toLongLong());
    }
    return {};
}

// A settings file named by --ini must be there: its defaults would make a
// year somewhere else.
bool settingsFileMissing(const QString& ini, bool given)
{
    if (!given || QFileInfo(ini).isFile())
        return false;
    err(QStringLiteral("saldina-cli: файл настроек %1 не найден").arg(QDir::toNativeSeparators(ini)));
    return true;
}

bool iniGiven = false;

// Opens the data module on prog.ini; tables named by their store or object names.
std::unique_ptr<dm::TDataBase1> openData(const QString& ini)
{
    if (settingsFileMissing(ini, iniGiven))
        return nullptr;
    auto d = std::make_unique<dm::TDataBase1>(ini, cliMessages());
    if (!d->isOpen())
        return nullptr;
    // Values as stored: no display hooks, no calculated fields.
    d->DisableTableProcess();
    return d;
}

store::Table* findTable(dm::TDataBase1& d, const QString& name)
{
    store::Table* t = d.tableByName(name);
    if (!t)
        err(QStringLiteral("saldina-cli: нет таблицы %1").arg(name));
    return t;
}

int exportTable(const QString& ini, QStringList args)
{
    if (wantsHelp(args)) {
        std::fputs(ExportHelp, stdout);
        return 0;
    }
    QString name, out;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == "--out") {
            if (args.isEmpty())
                return usage(QStringLiteral("--out: не указан файл"), ExportHelp);
            out = args.takeFirst();
        } else if (a.startsWith("-") || !name.isEmpty()) {
            return usage(QStringLiteral("лишний аргумент ") + a, ExportHelp);
        } else {
            name = a;
        }
    }
    if (name.isEmpty())
        return usage(QStringLiteral("export: не указана TABLE"), ExportHelp);
    auto d = openData(ini);
    if (!d)
        return 1;
    store::Table* t = findTable(*d, name);
    if (!t)
        return 1;
    try {
        if (!t->isOpen())
            t->open();
        QStringList header;
        std::vector<store::Field*> fields;
        for (int i = 0; i < t->fieldCount(); ++i)
            if (!t->field(i).isCalculated()) {
                header << t->field(i).name();
                fields.push_back(&t->field(i));
            }
        QByteArray data = csv::line(header).toUtf8();
        t->disableControls();
        for (t->first(); !t->eof(); t->next()) {
            QStringList row;
            for (store::Field* f : fields)
                row << exportValue(*f);
            data += csv::line(row).toUtf8();
        }
        t->enableControls();
        QString why;
        if (out.isEmpty() ? !cli::writeStandardOutput(data, why) : !cli::writeFileWhole(out, data, why)) {
            err(QStringLiteral("saldina-cli: ") + why);
            return 1;
        }
    } catch (const store::StoreError& e) {
        err(QStringLiteral("saldina-cli: ") + e.text());
        return 1;
    }
    return 0;
}

int importTable(const QString& ini, QStringList args)
{
    if (wantsHelp(args)) {
        std::fputs(ImportHelp, stdout);
        return 0;
    }
    const bool replace = args.removeAll(QStringLiteral("--replace")) > 0;
    if (args.size() != 2 || args[0].startsWith("-") || args[1].startsWith("-"))
        return usage(QStringLiteral("import: нужны TABLE и FILE.csv"), ImportHelp);
    QFile file(args[1]);
    if (!file.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("saldina-cli: не удается прочитать %1: %2").arg(args[1], file.errorString()));
        return 1;
    }
    QVector<csv::Record> rows;
    QString why;
    if (!csv::parse(file.readAll(), rows, why)) {
        err(QStringLiteral("saldina-cli: %1: %2").arg(args[1], why));
        return 1;
    }
    if (rows.isEmpty()) {
        err(QStringLiteral("saldina-cli: %1: нет строки заголовка").arg(args[1]));
        return 1;
    }
    auto d = openData(ini);
    if (!d)
        return 1;
    store::Table* t = findTable(*d, args[0]);
    if (!t)
        return 1;
    std::vector<store::Field*> cols;
    for (const QString& h : rows.first().fields) {
        store::Field* f = t->findField(h.trimmed());
        if (!f || f->isCalculated()) {
            err(QStringLiteral("saldina-cli: %1: строка 1: в таблице %2 нет хранимого поля %3").arg(args[1], t->tableName(), h));
            return 1;
        }
        if (std::find(cols.begin(), cols.end(), f) != cols.end()) {
            err(QStringLiteral("saldina-cli: %1: строка 1: поле %2 названо в заголовке дважды").arg(args[1], f->name()));
            return 1;
        }
        cols.push_back(f);
    }
    int added = 0;
    try {
        if (!t->isOpen())
            t->open();
        // Nothing is written into a damaged file.
        const schema::TableDef* def = schema::table(t->tableName());
        const QStringList damage =
            store::checkDatabaseFile(t->connection(), def ? def->location : schema::Location::Year);
        if (!damage.isEmpty()) {
            for (const QString& p : damage)
                err(QStringLiteral("saldina-cli: ") + p);
            err(QStringLiteral("saldina-cli: %1: база данных %2 повреждена, ничего не добавлено")
                    .arg(t->tableName(), t->connection().file()));
            return 1;
        }
        // All or nothing: a batch left by a refusal is rolled back.
        store::BatchScope batch(t->connection());
        t->disableControls();
        if (replace) {
            try {
                t->emptyTable();
            } catch (const store::StoreError& e) {
                t->enableControls();
                err(QStringLiteral("saldina-cli: %1: %2").arg(t->tableName(), e.text()));
                return 1;
            }
        }
        for (int r = 1; r < rows.size(); ++r) {
            const csv::Record& rec = rows[r];
            try {
                if (rec.fields.size() != int(cols.size()))
                    throw store::StoreError(QStringLiteral("полей %1, а в заголовке %2").arg(rec.fields.size()).arg(cols.size()));
                t->append();
                for (int i = 0; i < int(cols.size()); ++i) {
                    const QString& v = rec.fields[i];
                    if (cols[i]->type() == schema::FieldType::AutoInc) {
                        if (!v.isEmpty())
                            t->assignAutoInc(cols[i]->convert(v).toLongLong());
                        continue;
                    }
                    cols[i]->setValue(v.isEmpty() ? QVariant() : QVariant(v));
                }
                t->post();
                ++added;
            } catch (const store::StoreError& e) {
                t->cancel();
                t->enableControls();
                err(QStringLiteral("saldina-cli: %1: строка %2: %3").arg(args[1]).arg(rec.line).arg(e.text()));
                return 1;
            }
        }
        batch.commit();
        t->enableControls();
    } catch (const store::StoreError& e) {
        err(QStringLiteral("saldina-cli: ") + e.text());
        return 1;
    }
    say(QStringLiteral("%1: добавлено записей: %2").arg(t->tableName()).arg(added));
    return 0;
}

// The overspends of the schedule in the configured year, one line each;
// with `unplanned` also the expenditures without any plan.
int checkPlan(dm::TDataBase1& d, bool unplanned)
{
    static const char* quarters[] = {"I", "II", "III", "IV"};
    const accounts::PlanCheck c = accounts::checkPlans(d.PlanTable, d.CorPlanTable, d.T2_2, d.Year());
    auto money = [](double v) { return store::formatNumber(v, QStringLiteral("#0.00")); };
    for (const accounts::Overspend& o : c.overspends)
        say(QStringLiteral("перерасход: л/с %1, организация %2, КБК %3, %4 квартал: план %5, израсходовано %6, разница %7")
                .arg(o.account, o.org, o.code, QLatin1String(quarters[o.quarter - 1]), money(o.plan), money(o.spent),
                     money(o.plan - o.spent)));
    if (unplanned && !c.unplanned.empty()) {
        say(QStringLiteral("Расходы без росписи:"));
        for (const accounts::PlanCheck::Key& k : c.unplanned)
            say(QStringLiteral("л/с %1, организация %2, КБК %3").arg(k.account, k.org, k.code));
    }
    say(QStringLiteral("перерасходов росписи в %1 году: %2").arg(d.Year()).arg(c.overspends.size()));
    return c.overspends.empty() ? 0 : 1;
}

int check(const QString& ini, const QStringList& args)
{
    if (wantsHelp(args)) {
        std::fputs(CheckHelp, stdout);
        return 0;
    }
    const bool plan = args.contains(QStringLiteral("--plan")), unplanned = args.contains(QStringLiteral("--unplanned"));
    for (const QString& a : args)
        if (a != QLatin1String("--plan") && a != QLatin1String("--unplanned"))
            return usage(QStringLiteral("check: неизвестный аргумент ") + a, CheckHelp);
    if (unplanned && !plan)
        return usage(QStringLiteral("check: --unplanned только вместе с --plan"), CheckHelp);
    auto d = openData(ini);
    if (!d)
        return 1;
    QStringList problems;
    try {
        problems << store::checkYearDatabase(d->T1.connection());
        d->MdTable.open();
        problems << store::checkWorkDatabase(d->MdTable.connection());
    } catch (const store::StoreError& e) {
        problems << e.text();
    }
    for (const auto& p : problems)
        say(p);
    if (!problems.isEmpty()) {
        say(QStringLiteral("найдено ошибок: %1").arg(problems.size()));
        return 1;
    }
    if (plan)
        return checkPlan(*d, unplanned);
    int accounts = d->T1.recordCount();
    say(QStringLiteral("ошибок нет: лицевых счетов %1, поступлений %2, расходов %3")
            .arg(accounts)
            .arg(d->T2_1.recordCount())
            .arg(d->T2_2.recordCount()));
    return 0;
}

int pack(const QString& ini, const QStringList& args)
{
    if (wantsHelp(args)) {
        std::fputs(PackHelp, stdout);
        return 0;
    }
    if (!args.isEmpty())
        return usage(QStringLiteral("pack takes no arguments"), PackHelp);
    auto d = openData(ini);
    if (!d)
        return 1;
    try {
        maintenance::PackTables(*d, [](int line) {
            say(maintenance::packLines()[size_t(line)].caption + QStringLiteral(" ok"));
            std::fflush(stdout);
        });
    } catch (const store::StoreError& e) {
        err(e.text());
        return 1;
    }
    return 0;
}

const char* const CopyYearHelp =
    "Usage: saldina-cli [--ini PATH] copy-year (--to-server URL | --from-server URL) [--switch]\n"
    "\n"
    "Moves the year of prog.ini between the files of DataBaseDir and a PostgreSQL server\n"
    "(a libpq connection string or URI): --to-server makes the server's schema y<year> from\n"
    "the year's files, --from-server makes DataBaseDir/<year>/ from the server's schema.\n"
    "The target is made first and must not be there; the template goes along when the\n"
    "target has none. Every row goes through the table store, so every rule applies, each\n"
    "database in one transaction: on a failure the target is left as it was (not there).\n"
    "Serial numbers (AutoInc fields) are kept; the rows keep their order. At the end the\n"
    "rows and the sums of every amount field of each table are compared and printed; exit\n"
    "status 1 when any differ.\n"
    "  --switch      also set prog.ini to the copy: Server=URL after --to-server, no Server\n"
    "                after --from-server (without it, the command tells how to switch)\n";

// The year's tables in an order the rules take: the books first, and every
// table after the tables its codes are looked up in.
QStringList yearTablesInOrder()
{
    QStringList rest{"org_spr", "cbc_spr", "law_spr", "SumTypeSpr", "t1"};
    for (const auto& t : schema::tables())
        if (t.location == schema::Location::Year && !rest.contains(t.name))
            rest << t.name;
    QStringList out;
    while (!rest.isEmpty()) {
        int pick = 0;
        for (int i = 0; i < rest.size(); ++i) {
            bool ready = true;
            for (const auto& r : schema::lookupRules())
                if (r.table == rest[i] && r.refTable != rest[i] && rest.contains(r.refTable))
                    ready = false;
            if (ready) {
                pick = i;
                break;
            }
        }
        out << rest.takeAt(pick);
    }
    return out;
}

// A table's rows and the sum of each amount field, read in its order.
struct TableTotals {
    qint64 rows = 0;
    QList<QPair<QString, double>> sums;
};

TableTotals tableTotals(store::Table& t)
{
    TableTotals out;
    std::vector<store::Field*> amounts;
    for (int i = 0; i < t.fieldCount(); ++i)
        if (!t.field(i).isCalculated() && t.field(i).type() == schema::FieldType::Float) {
            amounts.push_back(&t.field(i));
            out.sums << qMakePair(t.field(i).name(), 0.0);
        }
    t.disableControls();
    for (t.first(); !t.eof(); t.next()) {
        ++out.rows;
        for (size_t k = 0; k < amounts.size(); ++k)
            out.sums[int(k)].second += amounts[k]->asFloat();
    }
    t.enableControls();
    return out;
}

std::unique_ptr<store::Table> openYearTable(store::Session& s, const QString& dir, const QString& name)
{
    auto t = std::make_unique<store::Table>(&s, name);
    t->setTableName(name);
    t->setDirectory(dir);
    t->open();
    return t;
}

// A session of the copy on the root `base`: the files' side (no server) or
// the server's. A session holds one database of the server, so each
// database copied has sessions of its own.
std::unique_ptr<store::Session> copySession(const QString& base, const QString& server)
{
    auto s = std::make_unique<store::Session>();
    s->setControlDir(base);
    s->setServer(server);
    s->addParam(server.isEmpty() ? QStringLiteral("USER NAME=saldina-cli copy-year")
                                 : QStringLiteral("USER NAME=saldina-cli copy-year (сервер)"));
    return s;
}

// Every row of the year database `dir` of one store appended to the (empty)
// one of the other, in one transaction; then the counts and sums of both,
// printed. Returns whether they agree.
bool copyDatabase(const QString& base, const QString& dir, const QString& fromServer, const QString& toServer)
{
    const auto fromSession = copySession(base, fromServer), toSession = copySession(base, toServer);
    store::Session& from = *fromSession;
    store::Session& to = *toSession;
    const QString fromDir = dir, toDir = dir;
    const QStringList names = yearTablesInOrder();
    std::vector<std::unique_ptr<store::Table>> sources, targets;
    for (const QString& n : names) {
        sources.push_back(openYearTable(from, fromDir, n));
        targets.push_back(openYearTable(to, toDir, n));
    }
    {
        store::BatchScope batch(targets.front()->connection());
        for (size_t i = 0; i < sources.size(); ++i) {
            store::Table& src = *sources[i];
            store::Table& dst = *targets[i];
            dst.disableControls();
            src.disableControls();
            qint64 row = 0;
            for (src.first(); !src.eof(); src.next()) {
                ++row;
                try {
                    dst.append();
                    for (int f = 0; f < src.fieldCount(); ++f) {
                        const store::Field& sf = src.field(f);
                        if (sf.isCalculated())
                            continue;
                        if (sf.type() == schema::FieldType::AutoInc) {
                            if (!sf.isNull())
                                dst.assignAutoInc(sf.asInteger());
                            continue;
                        }
                        dst.fieldByName(sf.name()).setValue(sf.value());
                    }
                    dst.post();
                } catch (const store::StoreError& e) {
                    dst.cancel();
                    throw store::StoreError(QStringLiteral("%1: запись %2: %3").arg(src.tableName()).arg(row).arg(e.text()));
                }
            }
            src.enableControls();
            dst.enableControls();
        }
        batch.commit();
    }
    bool same = true;
    for (size_t i = 0; i < sources.size(); ++i) {
        const TableTotals a = tableTotals(*sources[i]), b = tableTotals(*targets[i]);
        QString line = QStringLiteral("%1: записей %2").arg(names[i]).arg(a.rows);
        bool ok = a.rows == b.rows && a.sums.size() == b.sums.size();
        if (a.rows != b.rows)
            line += QStringLiteral(" (в копии %1)").arg(b.rows);
        for (int k = 0; k < a.sums.size() && k < b.sums.size(); ++k) {
            line += QStringLiteral(", %1 %2").arg(a.sums[k].first, store::roundTripFloat(a.sums[k].second));
            if (a.sums[k].second != b.sums[k].second) {
                ok = false;
                line += QStringLiteral(" (в копии %1)").arg(store::roundTripFloat(b.sums[k].second));
            }
        }
        say(line + (ok ? QString() : QStringLiteral(": РАЗЛИЧАЕТСЯ")));
        same = same && ok;
    }
    return same;
}

int copyYear(const QString& ini, QStringList args)
{
    if (wantsHelp(args)) {
        std::fputs(CopyYearHelp, stdout);
        return 0;
    }
    QString url;
    bool toServer = false, fromServer = false, switchIni = false;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == "--to-server" || a == "--from-server") {
            if (toServer || fromServer)
                return usage(QStringLiteral("copy-year: нужен один из ключей --to-server и --from-server"), CopyYearHelp);
            (a == "--to-server" ? toServer : fromServer) = true;
            url = args.isEmpty() ? QString() : args.takeFirst();
            if (url.trimmed().isEmpty())
                return usage(a + QStringLiteral(": не указан адрес сервера"), CopyYearHelp);
        } else if (a == "--switch") {
            switchIni = true;
        } else {
            return usage(QStringLiteral("copy-year: неизвестный аргумент ") + a, CopyYearHelp);
        }
    }
    if (!toServer && !fromServer)
        return usage(QStringLiteral("copy-year: нужен ключ --to-server или --from-server"), CopyYearHelp);
    if (settingsFileMissing(ini, iniGiven))
        return 1;
    const config::Profile profile(ini);
    const QString m = QString::fromLatin1(config::keys::Main);
    const QString base = dm::nativeDir(
        profile.readString(m, QString::fromLatin1(config::keys::DataBaseDir), QString::fromLatin1(dm::DefaultDataBaseDir)));
    const int year = profile.readInt(m, QString::fromLatin1(config::keys::Year), dm::DefaultYear);
    if (year < dm::MinYear || year > dm::MaxYear) {
        err(QStringLiteral("saldina-cli: год %1 в prog.ini вне диапазона %2–%3").arg(year).arg(dm::MinYear).arg(dm::MaxYear));
        return 1;
    }
    const QString yearDir = QDir::cleanPath(base + QLatin1Char('/') + QString::number(year));
    const QString origDir = QDir::cleanPath(base + QStringLiteral("/Orig"));
    const QString yearSchema = QStringLiteral("y%1").arg(year);

    const QString fromUrl = toServer ? QString() : url, toUrl = toServer ? url : QString();
    const auto fromSession = copySession(base, fromUrl), toSession = copySession(base, toUrl);
    store::Session& from = *fromSession;
    store::Session& to = *toSession;
    const QString where = toServer ? QStringLiteral("на сервере") : QStringLiteral("в каталоге %1").arg(base);

    bool yearMade = false, origMade = false;
    QStringList dirsMade;   // directories of the files' side that the copy made
    auto dropMade = [&] {
        try {
            if (toServer) {
                QStringList drop;
                if (yearMade)
                    drop << QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(yearSchema);
                if (origMade)
                    drop << QStringLiteral("DROP SCHEMA IF EXISTS orig CASCADE");
                if (!drop.isEmpty())
                    store::runOnServer(url, drop);
            } else {
                for (auto [made, dir] : {std::pair{yearMade, yearDir}, std::pair{origMade, origDir}})
                    if (made) {
                        if (dirsMade.contains(dir))
                            QDir(dir).removeRecursively();
                        else
                            QFile::remove(store::Session::databasePath(dir, schema::Location::Year));
                    }
            }
        } catch (const store::StoreError& e) {
            err(QStringLiteral("saldina-cli: ") + e.text());
        }
    };
    try {
        if (!from.databaseExists(yearDir)) {
            err(QStringLiteral("saldina-cli: базы данных года %1 нет %2")
                    .arg(year)
                    .arg(toServer ? QStringLiteral("в каталоге %1").arg(base) : QStringLiteral("на сервере")));
            return 1;
        }
        if (to.databaseExists(yearDir)) {
            err(QStringLiteral("saldina-cli: база данных года %1 уже есть %2; ничего не изменено").arg(year).arg(where));
            return 1;
        }
        const bool copyOrig = from.databaseExists(origDir) && !to.databaseExists(origDir);
        auto make = [&](const QString& dir, const QString& schemaName) {
            if (toServer) {
                store::Session::createServerDatabase(url, schemaName, schema::Location::Year);
            } else {
                if (!QFileInfo::exists(dir))
                    dirsMade << dir;
                store::Session::createDatabase(dir, schema::Location::Year);
            }
        };
        make(yearDir, yearSchema);
        yearMade = true;
        if (copyOrig) {
            make(origDir, QStringLiteral("orig"));
            origMade = true;
        }
        bool same = true;
        if (copyOrig) {
            say(QStringLiteral("шаблон:"));
            same = copyDatabase(base, origDir, fromUrl, toUrl);
        }
        say(QStringLiteral("год %1:").arg(year));
        same = copyDatabase(base, yearDir, fromUrl, toUrl) && same;
        if (!same) {
            err(QStringLiteral("saldina-cli: копия года %1 %2 отличается от исходной").arg(year).arg(where));
            return 1;
        }
    } catch (const store::StoreError& e) {
        dropMade();
        err(QStringLiteral("saldina-cli: ") + e.text() + QStringLiteral("; копия не сделана"));
        return 1;
    }
    say(QStringLiteral("год %1 скопирован %2").arg(year).arg(where));
    if (switchIni) {
        QString e;
        if (!profile.writeString(m, QString::fromLatin1(config::keys::Server), toServer ? url : QString(), &e)) {
            err(QStringLiteral("saldina-cli: ") + e);
            return 1;
        }
        say(toServer ? QStringLiteral("prog.ini: Server=%1").arg(url) : QStringLiteral("prog.ini: год в файлах (Server пуст)"));
    } else {
        say(toServer ? QStringLiteral("чтобы работать с ним, запишите в prog.ini Server=%1 (или повторите с --switch)").arg(url)
                     : QStringLiteral("чтобы работать с файлами, уберите Server из prog.ini (или повторите с --switch)"));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    cli::guardStandardDescriptors();
    // The reports measure their texts with fonts, which needs a GUI
    // application (offscreen unless a platform is asked for), but no widgets.
    bool reports = false;
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "report") == 0 || qstrcmp(argv[i], "print") == 0)
            reports = true;
    std::unique_ptr<QCoreApplication> app;
    if (reports) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // What the platform says of running offscreen is not for the user.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                err(msg);
        });
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QStringList args = app->arguments().mid(1);
    QString ini;
    if (args.size() >= 2 && args[0] == "--ini") {
        ini = args[1];
        args = args.mid(2);
        iniGiven = true;
    }
    if (args.isEmpty())
        return usage(QStringLiteral("не указана команда"));
    if (ini.isEmpty())
        ini = config::Profile::defaultPath();
    const QString cmd = args.takeFirst();
    int rc = 0;
    // A failure of the store that no command caught is told like any other.
    try {
        if (cmd == "--help" || cmd == "-h" || cmd == "help")
            std::fputs(Usage, stdout);
        else if (cmd == "--version")
            say(QStringLiteral("saldina-cli " SALDINA_VERSION));
        else if (cmd == "init")
            rc = init(args);
        else if (cmd == "import")
            rc = importTable(ini, args);
        else if (cmd == "export")
            rc = exportTable(ini, args);
        else if (cmd == "check")
            rc = check(ini, args);
        else if (cmd == "pack")
            rc = pack(ini, args);
        else if (cmd == "copy-year")
            rc = copyYear(ini, args);
        else if ((cmd == "report" || cmd == "print") && !wantsHelp(args) && settingsFileMissing(ini, iniGiven))
            rc = 1;
        else if (cmd == "report")
            rc = cli::report(ini, args, cliMessages());
        else if (cmd == "print")
            rc = cli::print(ini, args, cliMessages());
        else
            return usage(QStringLiteral("неизвестная команда ") + cmd);
    } catch (const std::exception& e) {
        err(QStringLiteral("saldina-cli: ") + store::errorText(e));
        return 1;
    }
    // What was said on standard output must have arrived.
    QString why;
    if (!cli::closeStandardOutput(why)) {
        err(QStringLiteral("saldina-cli: ") + why);
        return 1;
    }
    return rc;
}
