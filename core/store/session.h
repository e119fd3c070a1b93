#pragma once
// The connection to the table store: the shared database root as control
// directory, the user name this copy works under, and one connection per
// database that its tables use (a SQLite file, or a schema of the server).
#include "core/schema/schema.h"
#include "core/store/storeerror.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
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

// Which SQL a connection speaks where the two stores differ.
using schema::Dialect;

// One prepared statement of a connection, kept for the connection's life.
// Parameters are numbered from 1, columns from 0. Failures are thrown as
// StoreError with the store's texts.
class Cursor {
public:
    virtual ~Cursor() = default;
    virtual void bindNull(int i) = 0;
    virtual void bindText(int i, const QByteArray& utf8) = 0;
    virtual void bindDouble(int i, double v) = 0;
    virtual void bindInt(int i, qint64 v) = 0;
    virtual bool step() = 0;       // true while a row is there
    virtual void reset() = 0;      // ends the run and clears the parameters
    virtual bool isNull(int i) const = 0;
    virtual double columnDouble(int i) const = 0;
    virtual qint64 columnInt(int i) const = 0;
    virtual QByteArrayView columnBytes(int i) const = 0;   // UTF-8; empty for null
    virtual qint64 changes() const = 0;                     // rows written by the last run
};

// One database opened by one session: a file of the shared root or of the
// local work directory, or a schema of the server. Each store gives its own
// kind; the tables use only what is here.
class Connection {
public:
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The database as named in messages: its file, or the server's schema.
    const QString& file() const { return file_; }
    virtual Dialect dialect() const = 0;

    // Prepared statements are kept for the life of the connection; a caller
    // resets the statement when done (Statement does so).
    virtual Cursor* prepare(const QString& sql) = 0;
    virtual void exec(const QString& sql) = 0;

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
    virtual void beginBatch() = 0;
    virtual void commitBatch() = 0;
    virtual void rollbackBatch() = 0;
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

    // The row id of a row written by an INSERT: the store that needs it
    // read back names it after the statement (" RETURNING rowid"); the
    // other gives it here.
    virtual QString insertReturning() const { return {}; }
    virtual qint64 lastInsertRowid() const { return 0; }
    // The table is in this database.
    virtual bool tableExists(const QString& name) = 0;

    // Exclusive use of the database for the pack: fails with a clear text
    // while another copy (or another session of this process) has it; the
    // table's rows and indexes are rewritten, and checked.
    virtual void pack(const QString& table) = 0;
    virtual QString integrityCheck() = 0;                       // "ok" or the problems found
    virtual QStringList integrityCheck(const QString& table) = 0;   // {"ok"} or the problems

protected:
    Connection(Session* session, QString file);
    // The data version of the database as stored now, outside a reading
    // pass; no transaction of the connection is open (idle()) or one is.
    virtual qint64 storedVersion() = 0;
    virtual bool idle() const = 0;
    // A read transaction of a reading pass: begun with the data version
    // read under it (nothing left open when it fails), and ended.
    virtual qint64 beginReadSlice() = 0;
    virtual void endReadSlice() = 0;
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;

    Session* session_;
    QString file_;
    quint64 generation_ = 0;
    quint64 serial_ = 0;
    bool batch_ = false;
    bool readTxn_ = false;     // a read transaction of a reading pass is open
    qint64 readSince_ = 0;     // when it began (ms, monotonic)
    qint64 readVersion_ = 0;   // the data version under it: no other copy commits meanwhile
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
    void bindNull(int i) { st_->bindNull(i); }
    void bindInt(int i, qint64 v) { st_->bindInt(i, v); }
    bool step() { return st_->step(); }   // true while a row is there
    void run();                           // steps to the end
    QVariant column(int i, schema::FieldType type) const;
    qint64 columnInt(int i) const { return st_->columnInt(i); }
    QString columnText(int i) const;
    qint64 changes() const { return st_->changes(); }

private:
    Cursor* st_;
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

    // The server that holds the year databases, as a libpq connection
    // string or URI; empty: every database is a file of its directory.
    // With a server, the directories of the root named after a year and
    // "Orig" (the template) are the server's schemas "y<year>" and "orig";
    // every other directory (a backup, the local work directory) stays a
    // file.
    void setServer(const QString& conninfo) { server_ = conninfo; }
    const QString& server() const { return server_; }
    // The schema that holds the year database of `dir`, empty for a file.
    QString serverSchema(const QString& dir) const;
    // Whether the year database of `dir` exists (its file, or its schema).
    bool databaseExists(const QString& dir);

    // Registers the user name in the control file of the root: refused with
    // a clear text while another live copy works under the same name.
    void open();
    // Closes every table of the session and every database file.
    void close();
    bool isOpen() const { return open_; }
    // The server went away under a connection of the session: `lost` is
    // called once, from inside the failing call (whose error is thrown to
    // its caller as usual), so that the owner closes everything once that
    // call is over; the session stays lost until it is closed.
    void setLostHandler(std::function<void()> lost) { onLost_ = std::move(lost); }
    void connectionLost();
    bool isLost() const { return lost_; }

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
    // The same on the server: schema `name` with every table, index and
    // rule (and the server's own objects of the store when missing), in one
    // transaction; refused when the schema exists.
    static void createServerDatabase(const QString& conninfo, const QString& name, schema::Location loc);
    // Schema `to` made as a copy of schema `from` (the template), whole or
    // not at all.
    static void copyServerDatabase(const QString& conninfo, const QString& from, const QString& to);
    static QString normalizeDir(const QString& dir);   // backslashes, relative paths

    // The refusals every store gives in the same words.
    static QString sameUserText(const QString& user);
    static QString busyText(const QString& database);

    void registerTable(Table* t) { tables_.insert(t); }
    void unregisterTable(Table* t) { tables_.erase(t); }

private:
    QString connectionKey(const QString& dir, schema::Location loc) const;

    QString controlDir_;
    QString server_;
    QStringList params_;
    bool open_ = false;
    std::shared_ptr<LockFile> control_;
    int slot_ = -1;
    QHash<QString, std::shared_ptr<Connection>> connections_;   // by file path
    std::set<Table*> tables_;
    int readDepth_ = 0;
    bool lost_ = false;
    std::function<void()> onLost_;
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
