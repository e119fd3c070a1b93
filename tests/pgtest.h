#pragma once
// The tests' PostgreSQL server (the fixture `pgserver` of tests/pg, which a
// test joins by saldina_pg_test() in its CMakeLists.txt) and a small libpq
// connection to look at what the server holds.
#include <libpq-fe.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

// "host=/tmp/saldina-pg-... port=54329 dbname=saldina user=postgres"
inline const char* pgConnInfo() { return SALDINA_PG_CONNINFO; }

class PgConn {
public:
    struct Result {
        bool ok = false;
        QString message;              // the primary message of a refusal
        QString state;                // its SQLSTATE
        QList<QVariantList> rows;     // text values, an invalid QVariant for null
    };

    PgConn() : c_(PQconnectdb(pgConnInfo())) {}
    ~PgConn() { PQfinish(c_); }
    PgConn(const PgConn&) = delete;
    PgConn& operator=(const PgConn&) = delete;

    bool ok() const { return PQstatus(c_) == CONNECTION_OK; }
    QString error() const { return QString::fromUtf8(PQerrorMessage(c_)); }
    PGconn* raw() { return c_; }

    // One statement (or several without parameters); null parameters as
    // std::nullopt.
    Result exec(const QString& sql, const QList<std::optional<QString>>& params = {})
    {
        const QByteArray text = sql.toUtf8();
        PGresult* r;
        if (params.isEmpty()) {
            r = PQexec(c_, text.constData());
        } else {
            QList<QByteArray> values;
            std::vector<const char*> ptrs;
            for (const auto& p : params)
                values << (p ? p->toUtf8() : QByteArray());
            for (int i = 0; i < params.size(); ++i)
                ptrs.push_back(params[i] ? values[i].constData() : nullptr);
            r = PQexecParams(c_, text.constData(), int(params.size()), nullptr, ptrs.data(), nullptr, nullptr, 0);
        }
        Result out;
        const ExecStatusType st = PQresultStatus(r);
        out.ok = st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK;
        if (!out.ok) {
            const char* m = PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY);
            const char* s = PQresultErrorField(r, PG_DIAG_SQLSTATE);
            out.message = QString::fromUtf8(m ? m : PQerrorMessage(c_));
            out.state = QString::fromLatin1(s ? s : "");
        }
        for (int i = 0; i < PQntuples(r); ++i) {
            QVariantList row;
            for (int j = 0; j < PQnfields(r); ++j)
                row << (PQgetisnull(r, i, j) ? QVariant() : QVariant(QString::fromUtf8(PQgetvalue(r, i, j))));
            out.rows << row;
        }
        PQclear(r);
        return out;
    }

    // The first value of the first row; empty when there is none or it failed.
    QString value(const QString& sql, const QList<std::optional<QString>>& params = {})
    {
        const Result r = exec(sql, params);
        return r.ok && !r.rows.isEmpty() && !r.rows[0].isEmpty() ? r.rows[0][0].toString() : QString();
    }

    // Runs every statement in one transaction; the first refusal's message
    // (the transaction then rolled back), empty when all ran.
    QString transaction(const QStringList& statements)
    {
        exec(QStringLiteral("BEGIN"));
        for (const auto& s : statements) {
            const Result r = exec(s);
            if (!r.ok) {
                exec(QStringLiteral("ROLLBACK"));
                return r.message + QStringLiteral(" in: ") + s;
            }
        }
        const Result c = exec(QStringLiteral("COMMIT"));
        return c.ok ? QString() : c.message;
    }

private:
    PGconn* c_;
};
