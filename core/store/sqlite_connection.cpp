#include "core/store/sqlite_connection.h"
#include "core/store/format.h"
#include "core/store/filelock.h"
#include "core/store/table.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>
#include <sqlite3.h>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace store {

namespace {

// saldina_mask(mask, value): maskMatches on the stored text; an empty mask or
// value reads as empty text.
void sqlMask(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto text = [](sqlite3_value* v) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return p ? QString::fromUtf8(p, sqlite3_value_bytes(v)) : QString();
    };
    sqlite3_result_int(ctx, maskMatches(text(argv[0]), text(argv[1])) ? 1 : 0);
}

void registerFunctions(sqlite3* db)
{
    sqlite3_create_function_v2(db, "saldina_mask", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, &sqlMask, nullptr,
                               nullptr, nullptr);
}

// Lock files are shared by every session of the process: closing any
// descriptor of a file would drop all of the process's locks on it.
struct SharedLock {
    std::weak_ptr<LockFile> file;
    int holders = 0;       // sessions of this process holding the shared database lock
    int workHolders = 0;   // sessions of this process owning the work database
};

QHash<QString, SharedLock>& lockRegistry()
{
    static QHash<QString, SharedLock> r;
    return r;
}

// The first line of a database's lock file.
const QByteArray LockHeader("Saldina lock file\n");

} // namespace

std::shared_ptr<LockFile> sharedLockFile(const QString& path, const QByteArray& header)
{
    auto& e = lockRegistry()[path];
    if (auto f = e.file.lock())
        return f;
    auto f = std::make_shared<LockFile>(path, header);
    e.file = f;
    return f;
}

namespace {

// A local work database belongs to one running copy: it holds this byte of
// the database's lock file exclusively while it has the database open.
constexpr qint64 WorkOwnerByte = 1;

// The user names at work on a year database, held as write locks on bytes of
// the database file itself far beyond the ones SQLite locks, one byte per
// name. Unlike the slot in the control file, no delete of a file of the root
// takes such a claim away while the copy runs. They are locks of an open file
// description of their own: SQLite's unlocking and closing of its own
// descriptors of the file leave them alone.
constexpr qint64 ClaimStart = qint64(1) << 32;
constexpr quint64 ClaimRange = quint64(1) << 30;

qint64 claimByte(const QString& user)
{
    quint64 h = 1469598103934665603ull;   // FNV-1a of the name as compared: letter case aside
    for (char c : user.toCaseFolded().toUtf8()) {
        h ^= uchar(c);
        h *= 1099511628211ull;
    }
    return ClaimStart + qint64(h % ClaimRange);
}

struct YearClaims {
    int fd = -1;               // the database file, opened for its claims only
    int connections = 0;       // connections of this process on the file
    QHash<qint64, int> held;   // claimed byte -> sessions of this process holding it
};

QHash<QString, YearClaims>& claimRegistry()
{
    static QHash<QString, YearClaims> r;
    return r;
}

bool setClaimLock(int fd, short type, qint64 start)
{
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = 1;
    fl.l_pid = 0;
    for (;;) {
        if (::fcntl(fd, F_OFD_SETLK, &fl) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

// ---------------------------------------------------------------- Connection

SqliteConnection::SqliteConnection(Session* session, QString file, schema::Location loc)
    : Connection(session, std::move(file)), loc_(loc)
{
    // The files of a database are opened only as regular files of their
    // own, never through a link that someone put in their place.
    for (const QString& f : {file_, file_ + QStringLiteral("-journal")}) {
        const QString why = refusalOfPath(f);
        if (!why.isEmpty())
            throw StoreError(why);
    }
    if (!QFileInfo::exists(file_))
        throw StoreError(QStringLiteral("Файл базы данных %1 не найден.").arg(file_));
    lockPath_ = QFileInfo(file_).absolutePath() + QLatin1Char('/') + QFileInfo(file_).completeBaseName() +
                QStringLiteral(".lck");
    lock_ = sharedLockFile(lockPath_, LockHeader);
    auto lock = lock_;
    auto& reg = lockRegistry()[lockPath_];
    if (reg.holders == 0) {
        // A pack in another copy holds the lock exclusively for a moment.
        bool ok = lock->lockShared(0, 1);
        for (int waited = 0; !ok && waited < BusyTimeoutMs; waited += 50) {
            QThread::msleep(50);
            ok = lock->lockShared(0, 1);
        }
        if (!ok) {
            lock_.reset();
            throw StoreError(Session::busyText(file_));
        }
    }
    ++reg.holders;
    lockHeld_ = true;

    const int rc = sqlite3_open_v2(QFile::encodeName(file_).constData(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr);
    try {
        if (rc != SQLITE_OK)
            fail(rc);
        sqlite3_busy_handler(db_, &SqliteConnection::busyHandler, this);
        sqlite3_extended_result_codes(db_, 1);
        registerFunctions(db_);
        exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        exec(QStringLiteral("PRAGMA synchronous=FULL"));
        // Reading the schema proves the file is a database of ours.
        Statement st(*this, QStringLiteral("PRAGMA user_version"));
        st.step();
        const qint64 v = st.columnInt(0);
        if (v != schema::SchemaVersion)
            throw StoreError(
                QStringLiteral("Файл %1 не является базой данных программы (версия %2).").arg(file_).arg(v));
        if (loc_ == schema::Location::Work)
            takeWorkDatabase();
        else if (session_)
            claimUserName();
    } catch (...) {
        qDeleteAll(stmts_);
        stmts_.clear();
        sqlite3_close_v2(db_);
        db_ = nullptr;
        releaseClaim();
        if (--reg.holders == 0)
            lock->unlock(0, 1);
        lockHeld_ = false;
        lock_.reset();
        throw;
    }
}

// Two copies that share a local work directory would empty and fill the same
// work tables under each other's reports: the second is refused.
void SqliteConnection::takeWorkDatabase()
{
    auto& reg = lockRegistry()[lockPath_];
    if (reg.workHolders == 0 && !lock_->lockExclusive(WorkOwnerByte, 1))
        throw StoreError(QStringLiteral("Локальный рабочий каталог %1 используется другой копией программы. "
                                        "У каждой копии программы должен быть свой рабочий каталог: "
                                        "укажите другой в меню Сервис\\Настройка.")
                             .arg(QDir::toNativeSeparators(QFileInfo(file_).absolutePath())));
    ++reg.workHolders;
    workOwner_ = true;
}

// The user name claimed on the year database itself, so that a second copy
// under the name is refused even when the control file has been deleted.
void SqliteConnection::claimUserName()
{
    const QString user = session_->userName();
    auto& c = claimRegistry()[file_];
    if (c.fd < 0) {
        c.fd = ::open(QFile::encodeName(file_).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (c.fd < 0) {
            const int e = errno;
            claimRegistry().remove(file_);
            throw StoreError(QStringLiteral("Не удается открыть файл базы данных %1: %2")
                                 .arg(file_, QString::fromLocal8Bit(strerror(e))));
        }
    }
    ++c.connections;
    claimCounted_ = true;
    const qint64 byte = claimByte(user);
    if (c.held.value(byte) == 0 && !setClaimLock(c.fd, F_WRLCK, byte))
        throw StoreError(Session::sameUserText(user));
    ++c.held[byte];
    claim_ = byte;
}

void SqliteConnection::releaseClaim()
{
    if (workOwner_) {
        workOwner_ = false;
        auto& reg = lockRegistry()[lockPath_];
        if (--reg.workHolders == 0)
            lock_->unlock(WorkOwnerByte, 1);
    }
    if (!claimCounted_)
        return;
    claimCounted_ = false;
    auto it = claimRegistry().find(file_);
    if (it == claimRegistry().end())
        return;
    if (claim_ >= 0 && --it->held[claim_] == 0) {
        it->held.remove(claim_);
        setClaimLock(it->fd, F_UNLCK, claim_);
    }
    claim_ = -1;
    if (--it->connections == 0) {
        // The last connection of the process on the file is closed (closing
        // a descriptor drops the process's SQLite locks on the file).
        ::close(it->fd);
        claimRegistry().erase(it);
    }
}

SqliteConnection::~SqliteConnection()
{
    endRead();
    qDeleteAll(stmts_);
    if (db_)
        sqlite3_close_v2(db_);
    releaseClaim();
    if (lockHeld_) {
        auto& reg = lockRegistry()[lockPath_];
        if (--reg.holders == 0)
            lock_->unlock(0, 1);
    }
}

// Waiting for another copy's write: short, even retries, so that a copy
// posting in a loop does not keep the others out for long; up to the timeout.
int SqliteConnection::busyHandler(void* self, int count)
{
    auto* c = static_cast<SqliteConnection*>(self);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (count == 0)
        c->busySince_ = now;
    if (now - c->busySince_ >= BusyTimeoutMs)
        return 0;
    ::usleep(count < 50 ? 1000 : 2000);
    return 1;
}

// ------------------------------------------------------------------ Cursor

class SqliteConnection::SqliteCursor final : public Cursor {
public:
    SqliteCursor(SqliteConnection& c, sqlite3_stmt* st) : c_(c), st_(st) {}
    ~SqliteCursor() override { sqlite3_finalize(st_); }
    void bindNull(int i) override { sqlite3_bind_null(st_, i); }
    void bindText(int i, const QByteArray& u) override
    {
        sqlite3_bind_text(st_, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    void bindDouble(int i, double v) override { sqlite3_bind_double(st_, i, v); }
    void bindInt(int i, qint64 v) override { sqlite3_bind_int64(st_, i, v); }
    bool step() override
    {
        const int rc = sqlite3_step(st_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        sqlite3_reset(st_);
        c_.fail(sqlite3_extended_errcode(c_.db()));
    }
    void reset() override
    {
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
    }
    bool isNull(int i) const override { return sqlite3_column_type(st_, i) == SQLITE_NULL; }
    double columnDouble(int i) const override { return sqlite3_column_double(st_, i); }
    qint64 columnInt(int i) const override { return sqlite3_column_int64(st_, i); }
    QByteArrayView columnBytes(int i) const override
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, i));
        return p ? QByteArrayView(p, sqlite3_column_bytes(st_, i)) : QByteArrayView();
    }
    qint64 changes() const override { return sqlite3_changes64(c_.db()); }

private:
    SqliteConnection& c_;
    sqlite3_stmt* st_;
};

Cursor* SqliteConnection::prepare(const QString& sql)
{
    auto it = stmts_.find(sql);
    if (it != stmts_.end())
        return *it;
    sqlite3_stmt* st = nullptr;
    const QByteArray u = sql.toUtf8();
    const int rc = sqlite3_prepare_v3(db_, u.constData(), int(u.size()), SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, sql);
    auto* c = new SqliteCursor(*this, st);
    stmts_.insert(sql, c);
    return c;
}

qint64 SqliteConnection::lastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }

bool SqliteConnection::tableExists(const QString& name)
{
    Statement st(*this, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    st.bind(1, name, schema::FieldType::Text);
    return st.step();
}

QStringList SqliteConnection::integrityCheck(const QString& table)
{
    QStringList problems;
    Statement st(*this, QStringLiteral("PRAGMA integrity_check(\"%1\")").arg(table));
    while (st.step())
        problems << st.columnText(0);
    return problems;
}

void SqliteConnection::exec(const QString& sql)
{
    char* err = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK)
        fail(rc, sql);
}

void SqliteConnection::fail(int rc, const QString& context) const
{
    const QString msg = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(rc));
    for (const char* cond :
         {schema::KeyViolation, schema::LookupViolation, schema::RequiredViolation, schema::MasterHasDetails})
        if (msg == QLatin1String(cond))
            throw StoreError(msg);
    switch (rc & 0xff) {
    case SQLITE_CONSTRAINT:
        if (rc == SQLITE_CONSTRAINT_NOTNULL)
            throw StoreError(QString::fromLatin1(schema::RequiredViolation));
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY)
            throw StoreError(QString::fromLatin1(schema::KeyViolation));
        throw StoreError(QStringLiteral("Значение не подходит для поля: %1").arg(msg));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw StoreError(Session::busyText(file_));
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        throw StoreError(QStringLiteral("Файл базы данных %1 поврежден или не является базой данных.").arg(file_));
    case SQLITE_CANTOPEN:
        throw StoreError(QStringLiteral("Не удается открыть файл базы данных %1.").arg(file_));
    case SQLITE_READONLY:
        throw StoreError(QStringLiteral("Файл базы данных %1 доступен только для чтения.").arg(file_));
    case SQLITE_FULL:
        throw StoreError(QStringLiteral("Нет места на диске для базы данных %1.").arg(file_));
    case SQLITE_IOERR:
        throw StoreError(QStringLiteral("Ошибка чтения или записи файла %1: %2").arg(file_, msg));
    default:
        break;
    }
    throw StoreError(QStringLiteral("Ошибка базы данных %1: %2%3")
                         .arg(file_, msg, context.isEmpty() ? QString() : QStringLiteral(" [") + context + QLatin1Char(']')));
}

qint64 SqliteConnection::beginReadSlice()
{
    exec(QStringLiteral("BEGIN"));
    try {
        // The first read takes the shared lock; from then on no other copy
        // can commit, so the data version read under it holds.
        Statement lock(*this, QStringLiteral("SELECT 1 FROM sqlite_schema LIMIT 1"));
        lock.step();
        return storedVersion();
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void SqliteConnection::endReadSlice()
{
    if (db_ && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
}

bool SqliteConnection::idle() const { return sqlite3_get_autocommit(db_) != 0; }

qint64 SqliteConnection::storedVersion()
{
    Statement st(*this, QStringLiteral("PRAGMA data_version"));
    st.step();
    return st.columnInt(0);
}

void SqliteConnection::checkJournal() const
{
    // SQLite writes a journal beside the database at each write: one put
    // there as a link would have it write over the link's target.
    const QString why = refusalOfPath(file_ + QStringLiteral("-journal"));
    if (!why.isEmpty())
        throw StoreError(why);
}

void SqliteConnection::begin()
{
    endRead();
    if (!batch_)
        checkJournal();
    exec(batch_ ? QStringLiteral("SAVEPOINT post") : QStringLiteral("BEGIN IMMEDIATE"));
}

void SqliteConnection::commit()
{
    const int rc = sqlite3_exec(db_, batch_ ? "RELEASE post" : "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
    ++generation_;
}

void SqliteConnection::rollback()
{
    if (batch_)
        sqlite3_exec(db_, "ROLLBACK TO post; RELEASE post", nullptr, nullptr, nullptr);
    else if (!sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteConnection::beginBatch()
{
    if (batch_)
        throw StoreError(QStringLiteral("A batch is already open on %1").arg(file_));
    endRead();
    checkJournal();
    exec(QStringLiteral("BEGIN IMMEDIATE"));
    batch_ = true;
}

void SqliteConnection::commitBatch()
{
    if (!batch_)
        return;
    const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = QString::fromUtf8(sqlite3_errmsg(db_));
        rollbackBatch();
        throw StoreError(QStringLiteral("Ошибка базы данных %1: %2").arg(file_, msg));
    }
    batch_ = false;
    ++generation_;
}

void SqliteConnection::rollbackBatch()
{
    if (!batch_)
        return;
    batch_ = false;
    if (!sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    ++generation_;   // views read inside the batch are stale now
}

void SqliteConnection::pack(const QString& table)
{
    auto lock = lock_;
    const auto& reg = lockRegistry()[lockPath_];
    const QString refused =
        QStringLiteral("Таблица %1 используется другой копией программы. Упаковка требует монопольного доступа: "
                       "закройте все остальные копии программы и повторите.")
            .arg(table);
    endRead();
    if (reg.holders > 1 || !lock->lockExclusive(0, 1))
        throw StoreError(refused);
    try {
        exec(QStringLiteral("REINDEX \"%1\"").arg(table));
        exec(QStringLiteral("VACUUM"));
    } catch (...) {
        lock->lockShared(0, 1);
        throw;
    }
    lock->lockShared(0, 1);
    ++generation_;
}

QString SqliteConnection::integrityCheck()
{
    QStringList problems;
    Statement st(*this, QStringLiteral("PRAGMA integrity_check"));
    while (st.step())
        problems << st.columnText(0);
    return problems.join(QLatin1Char('\n'));
}

void snapshotDatabase(const QString& source, const QString& dest)
{
    sqlite3* src = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(source).constData(), &src, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(src);
        throw StoreError(QStringLiteral("Cannot open file %1").arg(source));
    }
    sqlite3_busy_timeout(src, BusyTimeoutMs);
    const QString tmp = dest + QStringLiteral(".part");
    QFile::remove(tmp);
    sqlite3* dst = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(tmp).constData(), &dst, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        sqlite3_close_v2(dst);
        sqlite3_close_v2(src);
        throw StoreError(QStringLiteral("Cannot create file %1").arg(dest));
    }
    sqlite3_exec(dst, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    int rc = SQLITE_ERROR;
    if (sqlite3_backup* b = sqlite3_backup_init(dst, "main", src, "main")) {
        for (int waited = 0;; waited += 50) {
            rc = sqlite3_backup_step(b, -1);
            if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && waited < BusyTimeoutMs) {
                QThread::msleep(50);
                continue;
            }
            break;
        }
        sqlite3_backup_finish(b);
    }
    const bool notADatabase = rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT;
    sqlite3_close_v2(dst);
    sqlite3_close_v2(src);
    if (rc != SQLITE_DONE) {
        QFile::remove(tmp);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            throw StoreError(Session::busyText(source));
        throw StoreError(notADatabase ? QStringLiteral("Stream read error") : QStringLiteral("Stream write error"));
    }
    QFile::remove(dest + QStringLiteral("-journal"));
    if (::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(dest).constData()) != 0) {
        QFile::remove(tmp);
        throw StoreError(QStringLiteral("Cannot create file %1").arg(dest));
    }
}

void Session::createDatabase(const QString& dir, schema::Location loc)
{
    const QString d = normalizeDir(dir);
    if (!QDir().mkpath(d))
        throw StoreError(QStringLiteral("Не удается создать каталог %1.").arg(d));
    const QString file = d + QLatin1Char('/') + schema::databaseFileName(loc);
    if (QFileInfo::exists(file))
        throw StoreError(QStringLiteral("Файл базы данных %1 уже существует.").arg(file));
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                             nullptr);
    auto check = [&](int r, const QString& what) {
        if (r != SQLITE_OK) {
            const QString msg = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_close_v2(db);
            QFile::remove(file);
            throw StoreError(QStringLiteral("Не удается создать базу данных %1: %2 [%3]").arg(file, msg, what));
        }
    };
    check(rc, QStringLiteral("open"));
    QStringList sql = {QStringLiteral("PRAGMA journal_mode=DELETE"), QStringLiteral("BEGIN")};
    sql << schema::createStatements(loc);
    sql << QStringLiteral("PRAGMA user_version=%1").arg(schema::SchemaVersion) << QStringLiteral("COMMIT");
    for (const auto& s : sql)
        check(sqlite3_exec(db, s.toUtf8().constData(), nullptr, nullptr, nullptr), s);
    sqlite3_close_v2(db);
}

} // namespace store
