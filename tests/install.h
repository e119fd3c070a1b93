#pragma once
// A program installation in a temporary directory, as the tests use it: the
// shared root DataBase/ with its template Orig/ (books filled as each suite
// needs), the local work directory Local/ and prog.ini pointing at both.
// The year directory is made from the template when a data module opens it.
// With SALDINA_TEST_SERVER set (the connection string of the tests' server),
// the template and the years are schemas of a server database of the
// installation's own instead, made and dropped with it.
#include "core/datamodule/datamodule.h"
#include "core/datamodule/profile.h"
#include "core/store/session.h"
#include "core/store/table.h"
#include "tests/testroot.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <utility>
#include <vector>

struct TemplateRows {
    const char* table;
    std::vector<QVariantList> rows;
};

// A message as a data module or the program gave it.
struct Said {
    QString caption, text;
    dm::MsgButtons buttons;
    dm::MsgIcon icon;
};

struct Install {
    // How an installation differs from the usual one.
    struct Setup {
        int year = 2004;            // in prog.ini; 0: the current year
        bool backslashes = false;   // the directories in prog.ini as a user of the program writes them
        QString orgName;            // the finance body's name in prog.ini, when given
        bool settings = true;       // false: no prog.ini at all
        bool withTemplate = true;   // false: no template either, only Local/
    };

    ServerDatabase server;
    QTemporaryDir tmp;
    QString dir, ini, orig, local;
    // What the data modules of open() and the recorder said; each message
    // is answered with `answer`.
    std::vector<Said> said;
    dm::MsgResult answer = dm::MsgResult::Ok;

    // `rows` go into the template's tables; `year` is written to prog.ini
    // (0: the current year); with `backslashes` the directories are written
    // as a user of the program writes them.
    explicit Install(const std::vector<TemplateRows>& rows = {}, int year = 2004, bool backslashes = false)
        : Install(rows, Setup{.year = year, .backslashes = backslashes})
    {
    }

    Install(const std::vector<TemplateRows>& rows, const Setup& setup)
    {
        dir = tmp.path();
        ini = dir + "/prog.ini";
        orig = dir + "/DataBase/Orig";
        local = dir + "/Local";
        if (setup.withTemplate) {
            if (server.conninfo.isEmpty()) {
                store::Session::createDatabase(orig, schema::Location::Year);
            } else {
                QDir().mkpath(orig);
                store::Session::createServerDatabase(server.conninfo, QStringLiteral("orig"), schema::Location::Year);
            }
        }
        store::Session::createDatabase(local, schema::Location::Work);
        fillTemplate(rows);
        if (setup.settings)
            writeIni(setup.year, setup.backslashes);
        if (!setup.orgName.isEmpty())
            setting("OrgName", setup.orgName);
    }

    void fillTemplate(const std::vector<TemplateRows>& rows) const
    {
        if (rows.empty())
            return;
        store::Session s;
        s.setControlDir(dir + "/DataBase");
        s.setServer(server.conninfo);
        s.addParam("USER NAME=setup");
        s.open();
        for (const TemplateRows& r : rows) {
            store::Table t(&s);
            t.setTableName(r.table);
            t.setDirectory(orig);
            t.open();
            for (const QVariantList& v : r.rows)
                t.appendRecord(v);
        }
    }

    QString year(int y = 2004) const { return dir + "/DataBase/" + QString::number(y); }

    void setting(const char* key, const QString& value) const
    {
        QVERIFY(config::Profile(ini).writeString("Main", key, value));
    }

    // prog.ini pointed at this root for `year` (0: the current one).
    void writeIni(int year = 2004, bool backslashes = false) const
    {
        auto path = [backslashes](QString p) { return backslashes ? p.replace('/', '\\') : p; };
        setting("DataBaseDir", path(dir + "/DataBase/"));
        setting("Year", QString::number(year ? year : QDate::currentDate().year()));
        setting("LocalBaseDir", path(dir + "/Local/"));
        if (!server.conninfo.isEmpty())
            setting("Server", server.conninfo);
    }

    // A second prog.ini, the first one's but for the user's name, as another
    // copy of the program on this root is set up; returns its path.
    QString otherCopy(const QString& user) const
    {
        const QString path = dir + "/prog-" + user + ".ini";
        QFile::remove(path);
        const bool written = QFile::copy(ini, path) && config::Profile(path).writeString("Main", "UserName", user);
        QTest::qVerify(written, "otherCopy", qPrintable(path), __FILE__, __LINE__);
        return path;
    }

    // The messages of a data module or of the program: recorded in `said`
    // and answered with `answer`.
    dm::MessageFn recorder()
    {
        return [this](const QString& caption, const QString& text, dm::MsgButtons b, dm::MsgIcon i) {
            said.push_back({caption, text, b, i});
            return answer;
        };
    }

    // A data module on prog.ini (under `user` when given) whose messages are recorded.
    std::unique_ptr<dm::TDataBase1> open(const QString& user = {})
    {
        if (!user.isEmpty())
            setting("UserName", user);
        return std::make_unique<dm::TDataBase1>(ini, recorder());
    }
};
