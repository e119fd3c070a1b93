// saldina-cli: the program's data without a display. It uses the same data
// module and store as the program, so every rule of the tables applies.
#include "cli/csv.h"
#include "core/datamodule/datamodule.h"
#include "cli/demo.h"
#include "cli/report_command.h"
#include "core/store/check.h"
#include "core/store/format.h"

#include <QGuiApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <memory>

namespace {

const char* const Usage =
    "Usage: saldina-cli [--ini PATH] COMMAND ...\n"
    "\n"
    "Commands:\n"
    "  init ROOT [--year YYYY] [--demo]   create a ready installation under ROOT\n"
    "  import TABLE FILE.csv [--replace]  add the rows of a CSV file to a table\n"
    "  export TABLE [--out FILE]          write a table as CSV (standard output by default)\n"
    "  check                              check the year and work databases\n"
    "  report NAME [selection] (--pdf FILE | --text | --xlsx FILE | --csv FILE)\n"
    "                                     run a report and write its pages\n"
    "  print WHAT (--pdf FILE | --text | --xlsx FILE | --csv FILE)\n"
    "                                     write a window's print: organizations, purposes,\n"
    "                                     accounts, schedule --account ACCOUNT\n"
    "\n"
    "prog.ini is read beside this executable unless --ini PATH is given.\n"
    "'saldina-cli COMMAND --help' tells more about a command.\n";

const char* const InitHelp =
    "Usage: saldina-cli init ROOT [--year YYYY] [--demo]\n"
    "\n"
    "Creates ROOT/DataBase/ with the control file, the template Orig/ (every year table,\n"
    "empty books but the income kind \"000\"), the year directory made from the template,\n"
    "ROOT/Local/ with the report work tables, and ROOT/prog.ini naming them.\n"
    "  --year YYYY   the accounting year (default: the current year)\n"
    "  --demo        fill the year with a small municipality to try the program on\n";

const char* const ImportHelp =
    "Usage: saldina-cli [--ini PATH] import TABLE FILE.csv [--replace]\n"
    "\n"
    "FILE.csv: RFC 4180, UTF-8, a header row of stored field names (any case).\n"
    "Dates as yyyy-mm-dd or dd.MM.yyyy, numbers with '.' or ',', an empty field is empty.\n"
    "Every row goes through the table store, so every rule of the table applies. The import\n"
    "is all or nothing: the first refused row is named with its line and the store's text,\n"
    "and nothing is added. Importing receipts or expenditures (t2_1, t2_2) does not change\n"
    "the totals of the accounts in t1, nor do DIn/DOut change DOrg: the ledger and the\n"
    "income entry keep those totals; import the account rows with their totals as well.\n"
    "  --replace   empty the table first (in the same all-or-nothing step)\n";

const char* const ExportHelp =
    "Usage: saldina-cli [--ini PATH] export TABLE [--out FILE]\n"
    "\n"
    "Writes the table's stored fields as RFC 4180 CSV in UTF-8, in the table's normal\n"
    "order: a header of field names, dates as yyyy-mm-dd, numbers with a decimal point\n"
    "and as many digits as it takes to read them back exactly.\n";

const char* const CheckHelp =
    "Usage: saldina-cli [--ini PATH] check\n"
    "\n"
    "Checks the year and work databases: the files themselves, account totals against\n"
    "their postings, income accounting totals against their entries, and codes missing\n"
    "from their reference books. Exit status 1 when anything is wrong.\n";

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
    QString root;
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == "--demo") {
            withDemo = true;
        } else if (a == "--year") {
            bool ok = false;
            year = args.isEmpty() ? 0 : args.takeFirst().toInt(&ok);
            if (!ok || year < 1987 || year > 2099)
                return usage(QStringLiteral("--year needs a year from 1987 to 2099"), InitHelp);
        } else if (a.startsWith("-")) {
            return usage(QStringLiteral("unknown option ") + a, InitHelp);
        } else if (root.isEmpty()) {
            root = a;
        } else {
            return usage(QStringLiteral("one ROOT only"), InitHelp);
        }
    }
    if (root.isEmpty())
        return usage(QStringLiteral("init needs ROOT"), InitHelp);
    const QString abs = QDir::cleanPath(QFileInfo(root).absoluteFilePath());
    const QString base = abs + QStringLiteral("/DataBase/");
    const QString local = abs + QStringLiteral("/Local/");
    const QString ini = abs + QStringLiteral("/prog.ini");
    if (QFileInfo::exists(base + "Orig/" + schema::databaseFileName(schema::Location::Year)) || QFileInfo::exists(ini)) {
        err(QStringLiteral("saldina-cli: %1 is set up already; choose an empty directory").arg(abs));
        return 1;
    }
    try {
        store::Session::createDatabase(base + "Orig", schema::Location::Year);
        {
            // The template carries the income kind that entries without one get.
            store::Session s;
            s.setControlDir(base);
            s.addParam(QStringLiteral("USER NAME=saldina-cli init"));
            store::Table kinds(&s);
            kinds.setTableName("SumTypeSpr");
            kinds.setDirectory(base + "Orig");
            kinds.open();
            kinds.appendRecord({"000", QStringLiteral("Без вида")});
        }
        if (!QFileInfo::exists(local + schema::databaseFileName(schema::Location::Work)))
            store::Session::createDatabase(local, schema::Location::Work);
        const config::Profile p(ini);
        QString e;
        const QString m = QString::fromLatin1(config::keys::Main);
        if (!p.writeString(m, config::keys::DataBaseDir, base, &e) || !p.writeInt(m, config::keys::Year, year, &e) ||
            !p.writeString(m, config::keys::UserName, QStringLiteral("User1"), &e) ||
            !p.writeString(m, config::keys::LocalBaseDir, local, &e) ||
            !p.writeString(m, config::keys::OrgName,
                           withDemo ? QStringLiteral("Финансовое управление администрации Заречного района") : QString(), &e)) {
            err(QStringLiteral("saldina-cli: ") + e);
            return 1;
        }
        dm::TDataBase1 d(ini, cliMessages());
        if (!d.isOpen())
            return 1;
        if (withDemo)
            demo::fill(d, year);
    } catch (const store::StoreError& e) {
        err(QStringLiteral("saldina-cli: ") + e.text());
        return 1;
    }
    say(QStringLiteral("%1: year %2 ready%3; prog.ini: %4").arg(abs).arg(year).arg(withDemo ? " with demo data" : "", ini));
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

// Opens the data module on prog.ini; tables named by their store or object names.
std::unique_ptr<dm::TDataBase1> openData(const QString& ini)
{
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
        err(QStringLiteral("saldina-cli: no table %1").arg(name));
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
                return usage(QStringLiteral("--out needs a file"), ExportHelp);
            out = args.takeFirst();
        } else if (a.startsWith("-") || !name.isEmpty()) {
            return usage(QStringLiteral("unexpected ") + a, ExportHelp);
        } else {
            name = a;
        }
    }
    if (name.isEmpty())
        return usage(QStringLiteral("export needs TABLE"), ExportHelp);
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
        if (out.isEmpty()) {
            std::fwrite(data.constData(), 1, size_t(data.size()), stdout);
        } else {
            QFile f(out);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size()) {
                err(QStringLiteral("saldina-cli: cannot write %1").arg(out));
                return 1;
            }
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
        return usage(QStringLiteral("import needs TABLE and FILE.csv"), ImportHelp);
    QFile file(args[1]);
    if (!file.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("saldina-cli: cannot read %1").arg(args[1]));
        return 1;
    }
    QVector<csv::Record> rows;
    QString why;
    if (!csv::parse(file.readAll(), rows, why)) {
        err(QStringLiteral("saldina-cli: %1: %2").arg(args[1], why));
        return 1;
    }
    if (rows.isEmpty()) {
        err(QStringLiteral("saldina-cli: %1: no header row").arg(args[1]));
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
            err(QStringLiteral("saldina-cli: %1: line 1: %2 has no stored field %3").arg(args[1], t->tableName(), h));
            return 1;
        }
        cols.push_back(f);
    }
    int added = 0;
    try {
        if (!t->isOpen())
            t->open();
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
                    throw store::StoreError(QStringLiteral("%1 fields, the header has %2").arg(rec.fields.size()).arg(cols.size()));
                t->append();
                for (int i = 0; i < int(cols.size()); ++i) {
                    const QString& v = rec.fields[i];
                    if (cols[i]->type() == schema::FieldType::AutoInc) {
                        if (!v.isEmpty())
                            t->assignAutoInc(v.toLongLong());
                        continue;
                    }
                    cols[i]->setValue(v.isEmpty() ? QVariant() : QVariant(v));
                }
                t->post();
                ++added;
            } catch (const store::StoreError& e) {
                t->cancel();
                t->enableControls();
                err(QStringLiteral("saldina-cli: %1: line %2: %3").arg(args[1]).arg(rec.line).arg(e.text()));
                return 1;
            }
        }
        batch.commit();
        t->enableControls();
    } catch (const store::StoreError& e) {
        err(QStringLiteral("saldina-cli: ") + e.text());
        return 1;
    }
    say(QStringLiteral("%1: %2 rows added").arg(t->tableName()).arg(added));
    return 0;
}

int check(const QString& ini, const QStringList& args)
{
    if (wantsHelp(args)) {
        std::fputs(CheckHelp, stdout);
        return 0;
    }
    if (!args.isEmpty())
        return usage(QStringLiteral("check takes no arguments"), CheckHelp);
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
        say(QStringLiteral("%1 problem(s) found").arg(problems.size()));
        return 1;
    }
    int accounts = d->T1.recordCount();
    say(QStringLiteral("ok: %1 accounts, %2 receipts, %3 expenditures")
            .arg(accounts)
            .arg(d->T2_1.recordCount())
            .arg(d->T2_2.recordCount()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
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
    }
    if (args.isEmpty())
        return usage(QStringLiteral("no command"));
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (ini.isEmpty())
        ini = config::Profile::defaultPath();
    const QString cmd = args.takeFirst();
    if (cmd == "init")
        return init(args);
    if (cmd == "import")
        return importTable(ini, args);
    if (cmd == "export")
        return exportTable(ini, args);
    if (cmd == "check")
        return check(ini, args);
    if (cmd == "report")
        return cli::report(ini, args, cliMessages());
    if (cmd == "print")
        return cli::print(ini, args, cliMessages());
    return usage(QStringLiteral("unknown command ") + cmd);
}
