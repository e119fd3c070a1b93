#pragma once
// A fresh database root in a temporary directory: the year database and the
// local work database created from the schema, and a session on them.
// With SALDINA_TEST_SERVER set (the connection string of the tests' server),
// the year databases are schemas of a server database of the root's own,
// made and dropped with it.
#include "core/store/pg_connection.h"
#include "core/store/session.h"
#include "core/store/table.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

// A server database for one root of a test on the tests' server.
struct ServerDatabase {
    QString conninfo;   // empty: no server
    QString name;

    ServerDatabase()
    {
        const QString base = qEnvironmentVariable("SALDINA_TEST_SERVER");
        if (base.isEmpty())
            return;
        static int made = 0;
        name = QStringLiteral("t%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
        store::runOnServer(base, {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name),
                                  QStringLiteral("CREATE DATABASE %1 STRATEGY FILE_COPY").arg(name)},
                           false);
        conninfo = base + QStringLiteral(" dbname=") + name;
    }
    ~ServerDatabase()
    {
        if (conninfo.isEmpty())
            return;
        try {
            store::runOnServer(qEnvironmentVariable("SALDINA_TEST_SERVER"),
                               {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name)}, false);
        } catch (...) {
        }
    }
    ServerDatabase(const ServerDatabase&) = delete;
    ServerDatabase& operator=(const ServerDatabase&) = delete;
};

struct TestRoot {
    ServerDatabase server;
    QTemporaryDir tmp;
    QString root, year, local;

    TestRoot()
    {
        root = tmp.path() + QStringLiteral("/DataBase");
        year = root + QStringLiteral("/2004");
        local = tmp.path() + QStringLiteral("/Local");
        if (server.conninfo.isEmpty()) {
            store::Session::createDatabase(year, schema::Location::Year);
        } else {
            QDir().mkpath(year);
            store::Session::createServerDatabase(server.conninfo, QStringLiteral("y2004"), schema::Location::Year);
        }
        store::Session::createDatabase(local, schema::Location::Work);
    }

    std::unique_ptr<store::Session> session(const QString& user = QStringLiteral("User1")) const
    {
        auto s = std::make_unique<store::Session>();
        s->setControlDir(root);
        s->setServer(server.conninfo);
        s->addParam(QStringLiteral("USER NAME=") + user);
        s->open();
        return s;
    }

    std::unique_ptr<store::Table> table(store::Session& s, const QString& name) const
    {
        auto t = std::make_unique<store::Table>(&s, name);
        t->setTableName(name);
        const schema::TableDef* d = schema::table(name);
        t->setDirectory(d->location == schema::Location::Year ? year : local);
        t->open();
        return t;
    }
};

// Runs `body` and returns the store's error text, or an empty text when it did not fail.
template <class F> QString storeError(F&& body)
{
    try {
        body();
    } catch (const store::StoreError& e) {
        return e.text();
    }
    return {};
}

// The values of `field` in every row of `t`, in its order.
inline QStringList column(store::Table& t, const QString& field)
{
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.fieldByName(field).asString();
    return out;
}
