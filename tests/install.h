#pragma once
// A program installation in a temporary directory, as the tests use it: the
// shared root DataBase/ with its template Orig/ (books filled as each suite
// needs), the local work directory Local/ and prog.ini pointing at both.
// The year directory is made from the template when a data module opens it.
#include "datamodule/profile.h"
#include "store/session.h"
#include "store/table.h"

#include <QDate>
#include <QTemporaryDir>
#include <QtTest>
#include <utility>
#include <vector>

struct TemplateRows {
    const char* table;
    std::vector<QVariantList> rows;
};

struct Install {
    QTemporaryDir tmp;
    QString dir, ini, orig, local;

    // `rows` go into the template's tables; `year` is written to prog.ini
    // (0: the current year); with `backslashes` the directories are written
    // as a user of the program writes them.
    explicit Install(const std::vector<TemplateRows>& rows = {}, int year = 2004, bool backslashes = false)
    {
        dir = tmp.path();
        ini = dir + "/prog.ini";
        orig = dir + "/DataBase/Orig";
        local = dir + "/Local";
        store::Session::createDatabase(orig, schema::Location::Year);
        store::Session::createDatabase(local, schema::Location::Work);
        fillTemplate(rows);
        auto path = [backslashes](QString p) { return backslashes ? p.replace('/', '\\') : p; };
        setting("DataBaseDir", path(dir + "/DataBase/"));
        setting("Year", QString::number(year ? year : QDate::currentDate().year()));
        setting("LocalBaseDir", path(dir + "/Local/"));
    }

    void fillTemplate(const std::vector<TemplateRows>& rows) const
    {
        if (rows.empty())
            return;
        store::Session s;
        s.setControlDir(dir + "/DataBase");
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
};
