#pragma once
// A fresh database root in a temporary directory: the year database and the
// local work database created from the schema, and a session on them.
#include "core/store/session.h"
#include "core/store/table.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

struct TestRoot {
    QTemporaryDir tmp;
    QString root, year, local;

    TestRoot()
    {
        root = tmp.path() + QStringLiteral("/DataBase");
        year = root + QStringLiteral("/2004");
        local = tmp.path() + QStringLiteral("/Local");
        store::Session::createDatabase(year, schema::Location::Year);
        store::Session::createDatabase(local, schema::Location::Work);
    }

    std::unique_ptr<store::Session> session(const QString& user = QStringLiteral("User1")) const
    {
        auto s = std::make_unique<store::Session>();
        s->setControlDir(root);
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
