#pragma once
// A database file of the shared root or of the local work directory, through
// SQLite: the file's lock file for exclusive use, the user name claimed on
// the year file itself, and the work database owned by one running copy.
#include "core/store/session.h"

#include <QHash>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

// The lock file of a path, shared by every session of the process: closing
// any descriptor of a file would drop all of the process's locks on it.
std::shared_ptr<LockFile> sharedLockFile(const QString& path, const QByteArray& header);

class SqliteConnection final : public Connection {
public:
    // A year database claims the session's user name on the file itself; a
    // work database is refused while another running copy has it open.
    SqliteConnection(Session* session, QString file, schema::Location loc = schema::Location::Year);
    ~SqliteConnection() override;

    Dialect dialect() const override { return Dialect::Sqlite; }
    sqlite3* db() const { return db_; }

    Cursor* prepare(const QString& sql) override;
    void exec(const QString& sql) override;
    [[noreturn]] void fail(int rc, const QString& context = {}) const;


    void beginBatch() override;
    void commitBatch() override;
    void rollbackBatch() override;

    qint64 lastInsertRowid() const override;
    bool tableExists(const QString& name) override;

    void pack(const QString& table) override;
    QString integrityCheck() override;
    QStringList integrityCheck(const QString& table) override;

    static int busyHandler(void* self, int count);

protected:
    qint64 storedVersion() override;
    bool idle() const override;
    qint64 beginReadSlice() override;
    void endReadSlice() override;
    void begin() override;
    void commit() override;
    void rollback() override;

private:
    class SqliteCursor;
    void checkJournal() const;
    void takeWorkDatabase();
    void claimUserName();
    void releaseClaim();

    schema::Location loc_;
    qint64 claim_ = -1;          // the byte of the year database claimed for the user name
    bool claimCounted_ = false;
    bool workOwner_ = false;
    QString lockPath_;
    std::shared_ptr<LockFile> lock_;   // held while the connection lives
    sqlite3* db_ = nullptr;
    qint64 busySince_ = 0;             // when the present wait for another copy began
    QHash<QString, SqliteCursor*> stmts_;
    bool lockHeld_ = false;
};

} // namespace store
