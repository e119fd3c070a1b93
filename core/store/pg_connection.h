#pragma once
// A year database as a schema of a PostgreSQL server, through libpq. The
// tables, keys and rules are those of the file store, made by the schema's
// PostgreSQL statements; other copies are other sessions of the server:
// their writes show in the schema's change counters, a pack takes the
// schema's use lock exclusively (every copy holds it shared), and a user
// name is claimed with a session lock that ends with the copy's connection.
#include "core/store/session.h"

#include <QHash>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace store {

class PgConnection final : public Connection {
public:
    // `conninfo` is a libpq connection string or URI; `schema` the schema of
    // the year (or of the template).
    PgConnection(Session* session, const QString& conninfo, const QString& schema,
                 schema::Location loc = schema::Location::Year);
    ~PgConnection() override;

    Dialect dialect() const override { return Dialect::PostgreSql; }
    PGconn* pg() const { return pg_; }
    const QString& schemaName() const { return schema_; }

    Cursor* prepare(const QString& sql) override;
    void exec(const QString& sql) override;
    // Throws the store's text for a failed result (and clears it).
    [[noreturn]] void fail(PGresult* res, const QString& context = {});


    void beginBatch() override;
    void commitBatch() override;
    void rollbackBatch() override;

    QString insertReturning() const override { return QStringLiteral(" RETURNING rowid"); }
    bool tableExists(const QString& name) override;

    void pack(const QString& table) override;
    QString integrityCheck() override;
    QStringList integrityCheck(const QString& table) override;

    // A statement's `?` parameters as PostgreSQL's `$1, $2, ...`, quoted
    // names and texts left alone; `count` gets their number.
    static QByteArray numberParameters(const QString& sql, int* count = nullptr);
    // The lock key of a name as the store compares it: letter case aside.
    static qint32 nameKey(const QString& name);

protected:
    qint64 storedVersion() override;
    bool idle() const override;
    qint64 beginReadSlice() override;
    void endReadSlice() override;
    void begin() override;
    void commit() override;
    void rollback() override;

private:
    class PgCursor;
    void run(const char* sql);   // one command of the store's own, checked
    void claimUserName();
    // SELECT function(lockClass, hashtext(schema)): whether it gave true
    // (the try functions; the waiting and unlocking ones give void or true).
    bool schemaLock(const char* function, qint32 lockClass);

    QString schema_;
    schema::Location loc_;
    PGconn* pg_ = nullptr;
    QHash<QString, PgCursor*> stmts_;
    int nextStatement_ = 0;
};

// Whether the server has the schema of a year database (its tables made).
bool serverSchemaExists(const QString& conninfo, const QString& schema);
// Runs `statements` on the server, in one transaction unless `single` is
// false; any failure rolls all of them back and is thrown with the
// server's text.
void runOnServer(const QString& conninfo, const QStringList& statements, bool single = true);
// The backup of a server year: every table of `schema` read in one
// REPEATABLE READ transaction (so no write of another copy is seen in part)
// into a year database file in `dir`, row ids kept, which then opens as any
// year of files. The schema's use lock is taken exclusively for it: refused
// while another copy of the program has the year open. Made in a work
// directory beside `dir` that takes its name only when whole; an earlier
// backup in `dir` is replaced.
void dumpServerDatabase(const QString& conninfo, const QString& schema, const QString& dir);

// Lock classes of the store's session and transaction locks on the server.
inline constexpr qint32 PgUseLock = 0x53414c01;    // per schema: shared by every copy, exclusive for a pack
inline constexpr qint32 PgWriteLock = 0x53414c02;  // per schema: one writing transaction at a time
inline constexpr qint32 PgUserLock = 0x53414c03;   // per user name: the copy working under it

} // namespace store
