#pragma once
// The connection to the table store: the shared database root as control
// directory, the user name this copy works under, and one SQLite connection
// per database file that its tables use.
#include "core/schema/schema.h"
#include "core/store/storeerror.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <set>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

class Session;
class Table;
class LockFile;

// How long a copy waits for another copy's write before it gives up.
inline constexpr int BusyTimeoutMs = 5000;

// One database file opened by one session.
class Connection {
public:
    // A year database claims the session's user name on the file itself; a
    // work database is refused while another running copy has it open.
    Connection(Session* session, QString file, schema::Location loc = schema::Location::Year);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& file() const { return file_; }
    sqlite3* db() const { return db_; }

    // Prepared statements are kept for the life of the connection; a caller
    // resets the statement when done (Statement does so).
    sqlite3_stmt* prepare(const QString& sql);
    void exec(const QString& sql);
    [[noreturn]] void fail(int rc, const QString& context = {}) const;

    // Changes committed by other connections since the last call differ here.
    // While the session reads (Session::beginRead), the connection keeps a
    // read transaction for a short slice at a time, so the many small reads
    // of a long pass neither take the file lock one by one nor keep other
    // copies from writing for longer than a slice.
    qint64 dataVersion();
    void endRead();
    // Counts this connection's own commits.
    quint64 generation() const { return generation_; }
    // Tells this connection from every other of the process, a later one
    // on the same file included.
    quint64 serial() const { return serial_; }
    void bumpGeneration() { ++generation_; }

    // Runs `body` as one write transaction (waiting up to the busy timeout
    // for other copies); rolls back and rethrows on any failure.
    // Inside a batch every write is a savepoint of the batch's one
    // transaction, and the batch commits or rolls back as a whole.
    void beginBatch();
    void commitBatch();
    void rollbackBatch();
    bool inBatch() const { return batch_; }

    template <class F> void write(F&& body)
    {
        begin();
        try {
            body();
            commit();
        } catch (...) {
            rollback();
            throw;
        }
    }

    // Exclusive use of the database file for the pack: fails with a clear
    // text while another copy (or another session of this process) has it.
    void pack(const QString& table);
    QString integrityCheck();   // "ok" or the problems found

    static int busyHandler(void* self, int count);

private:
    void begin();
    void commit();
    void rollback();
    void openRead();
    void checkJournal() const;
    void takeWorkDatabase();
    void claimUserName();
    void releaseClaim();

    Session* session_;
    QString file_;
    schema::Location loc_;
    qint64 claim_ = -1;          // the byte of the year database claimed for the user name
    bool claimCounted_ = false;
    bool workOwner_ = false;
    QString lockPath_;
    std::shared_ptr<LockFile> lock_;   // held while the connection lives
    sqlite3* db_ = nullptr;
    qint64 busySince_ = 0;             // when the present wait for another copy began
    QHash<QString, sqlite3_stmt*> stmts_;
    quint64 generation_ = 0;
    quint64 serial_ = 0;
    bool lockHeld_ = false;
    bool batch_ = false;
    bool readTxn_ = false;        // a read transaction of a reading pass is open
    qint64 readSince_ = 0;        // when it began (ms, monotonic)
    qint64 readVersion_ = 0;      // data_version under it: no other copy commits meanwhile
};

// The longest a reading pass holds its read lock before it lets other
// copies' writes through.
inline constexpr int ReadSliceMs = 100;

// Statement: binds, steps and always resets, so no read lock outlives a call.
class Statement {
public:
    Statement(Connection& c, const QString& sql);
    ~Statement();
    void bind(int i, const QVariant& v, schema::FieldType type);
    void bindNull(int i);
    void bindInt(int i, qint64 v);
    bool step();              // true while a row is there
    void run();               // steps to the end
    QVariant column(int i, schema::FieldType type) const;
    qint64 columnInt(int i) const;
    QString columnText(int i) const;
    sqlite3_stmt* raw() const { return st_; }

private:
    Connection& c_;
    sqlite3_stmt* st_;
};

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The shared database root, where the control file lives.
    void setControlDir(const QString& dir);
    QString controlDir() const { return controlDir_; }
    // Parameters of the form "NAME=value"; "USER NAME=" names this copy.
    void clearParams() { params_.clear(); }
    void addParam(const QString& p) { params_ << p; }
    QStringList params() const { return params_; }
    QString userName() const;

    // Registers the user name in the control file of the root: refused with
    // a clear text while another live copy works under the same name.
    void open();
    // Closes every table of the session and every database file.
    void close();
    bool isOpen() const { return open_; }

    // A reading pass (a report's generation): nested calls count; the last
    // endRead ends the read transactions of every connection.
    void beginRead() { ++readDepth_; }
    void endRead();
    bool reading() const { return readDepth_ > 0; }

    // The database of a directory: opened by the first table that needs it,
    // or explicitly; closing it closes its tables.
    Connection& connection(const QString& dir, schema::Location loc);
    void openDatabase(const QString& dir, schema::Location loc = schema::Location::Year);
    void closeDatabase(const QString& dir);
    bool hasConnection(const QString& file) const;

    // Names of the copies now working on this root (for diagnostics).
    QStringList liveUsers() const;

    // Creates a new empty database file of a location with every table,
    // index and rule; refuses to overwrite an existing file.
    static void createDatabase(const QString& dir, schema::Location loc);
    static QString databasePath(const QString& dir, schema::Location loc);
    static QString normalizeDir(const QString& dir);   // backslashes, relative paths

    void registerTable(Table* t) { tables_.insert(t); }
    void unregisterTable(Table* t) { tables_.erase(t); }

private:
    QString controlDir_;
    QStringList params_;
    bool open_ = false;
    std::shared_ptr<LockFile> control_;
    int slot_ = -1;
    QHash<QString, std::shared_ptr<Connection>> connections_;   // by file path
    std::set<Table*> tables_;
    int readDepth_ = 0;
};

// One batch of writes on a connection: every write inside is a savepoint of
// one transaction, committed by commit(); a batch left any other way (a
// failure, a cancel) is rolled back.
class BatchScope {
public:
    explicit BatchScope(Connection& c) : c_(&c) { c.beginBatch(); }
    ~BatchScope()
    {
        if (c_) {
            try {
                c_->rollbackBatch();
            } catch (...) {
            }
        }
    }
    void commit()
    {
        Connection* c = c_;
        c_ = nullptr;
        c->commitBatch();
    }
    BatchScope(const BatchScope&) = delete;
    BatchScope& operator=(const BatchScope&) = delete;

private:
    Connection* c_;
};

class ReadScope {
public:
    explicit ReadScope(Session* s) : s_(s)
    {
        if (s_)
            s_->beginRead();
    }
    ~ReadScope()
    {
        if (s_)
            s_->endRead();
    }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;

private:
    Session* s_;
};

// Copies a database file as one consistent snapshot, even while another copy
// of the program writes to it (waiting for its write as usual), through a
// temporary file that replaces `dest` only when whole. Failures carry
// "Cannot open file %s" or "Cannot create file %s" or "Stream write error".
void snapshotDatabase(const QString& source, const QString& dest);

} // namespace store
