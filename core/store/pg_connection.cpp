#include "core/store/pg_connection.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSysInfo>
#include <QThread>
#include <cstdlib>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

namespace store {

namespace {

QString serverText(PGconn* pg) { return QString::fromUtf8(PQerrorMessage(pg)).trimmed(); }

QString lostText(const QString& what, const QString& why)
{
    // The server's word only: libpq puts its severity before it ("FATAL:  ")
    // and its own guesses on the lines after it.
    QString word = why.section(QLatin1Char('\n'), 0, 0).trimmed();
    word.remove(QRegularExpression(QStringLiteral("^[A-Z]+:\\s+")));
    return QStringLiteral("Нет связи с сервером базы данных (%1): %2. Проверьте сеть и сервер и откройте базу "
                          "данных снова (меню Сервис\\Настройка).")
        .arg(what, word);
}

// A copy that was killed keeps its locks until the server has seen its
// connection end, a moment later: a lock that another copy holds is tried
// again for this long before the refusal.
constexpr int EndedCopyGraceMs = 1000;

// Tries `once` (true: the lock is taken) until it succeeds or the grace
// time is up.
template <class F> bool takeLock(F&& once)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const bool ok = once();
        if (ok || clock.elapsed() >= EndedCopyGraceMs)
            return ok;
        QThread::msleep(25);
    }
}

} // namespace

// ------------------------------------------------------------------ Cursor

// One prepared statement: its values are sent as text, and the server
// infers their types from where they stand; a run's rows are read whole.
class PgConnection::PgCursor final : public Cursor {
public:
    PgCursor(PgConnection& c, QByteArray name, int params) : c_(c), name_(std::move(name)), vals_(params), null_(params, 1)
    {
    }
    ~PgCursor() override { PQclear(res_); }

    void bindNull(int i) override { null_.at(i - 1) = 1; }
    void bindText(int i, const QByteArray& u) override { set(i, u); }
    void bindDouble(int i, double v) override { set(i, QByteArray::number(v, 'g', 17)); }
    void bindInt(int i, qint64 v) override { set(i, QByteArray::number(v)); }

    bool step() override
    {
        if (!res_) {
            std::vector<const char*> values(vals_.size());
            for (size_t k = 0; k < vals_.size(); ++k)
                values[k] = null_[k] ? nullptr : vals_[k].constData();
            PGresult* r = PQexecPrepared(c_.pg(), name_.constData(), int(values.size()), values.data(), nullptr,
                                         nullptr, 0);
            const ExecStatusType s = PQresultStatus(r);
            if (s != PGRES_TUPLES_OK && s != PGRES_COMMAND_OK)
                c_.fail(r);
            res_ = r;
            rows_ = PQntuples(r);
            row_ = -1;
        }
        if (row_ < rows_)
            ++row_;
        return row_ < rows_;
    }
    void reset() override
    {
        PQclear(res_);
        res_ = nullptr;
        std::fill(null_.begin(), null_.end(), char(1));
    }
    bool isNull(int i) const override { return PQgetisnull(res_, row_, i) != 0; }
    double columnDouble(int i) const override
    {
        return isNull(i) ? 0.0 : std::strtod(PQgetvalue(res_, row_, i), nullptr);
    }
    qint64 columnInt(int i) const override
    {
        if (isNull(i))
            return 0;
        const char* p = PQgetvalue(res_, row_, i);
        // a count or sum may come as a number with a fraction
        char* end = nullptr;
        const long long v = std::strtoll(p, &end, 10);
        return *end == '.' || *end == 'e' ? qint64(std::strtod(p, nullptr)) : qint64(v);
    }
    QByteArrayView columnBytes(int i) const override
    {
        if (!res_ || row_ < 0 || row_ >= rows_ || PQgetisnull(res_, row_, i))
            return {};
        return QByteArrayView(PQgetvalue(res_, row_, i), PQgetlength(res_, row_, i));
    }
    qint64 changes() const override { return res_ ? std::atoll(PQcmdTuples(res_)) : 0; }

private:
    void set(int i, QByteArray v)
    {
        vals_.at(i - 1) = std::move(v);
        null_.at(i - 1) = 0;
    }
    PgConnection& c_;
    QByteArray name_;
    std::vector<QByteArray> vals_;
    std::vector<char> null_;
    PGresult* res_ = nullptr;
    int rows_ = 0, row_ = -1;
};

// ---------------------------------------------------------------- Connection

PgConnection::PgConnection(Session* session, const QString& conninfo, const QString& schema, schema::Location loc)
    : Connection(session, QStringLiteral("%1 (сервер)").arg(schema)), schema_(schema), loc_(loc)
{
    pg_ = PQconnectdb(conninfo.toUtf8().constData());
    try {
        if (PQstatus(pg_) != CONNECTION_OK)
            throw StoreError(QStringLiteral("Не удается подключиться к серверу базы данных: %1").arg(serverText(pg_)));
        run("SET client_encoding = 'UTF8'; SET extra_float_digits = 1; SET lock_timeout = 5000; "
            "SET max_parallel_workers_per_gather = 0; SET client_min_messages = warning; "
            // The year's tables stay in the server's memory: its indexes serve the views' orders.
            "SET random_page_cost = 1.1");
        {
            Statement st(*this, QStringLiteral("SELECT 1 FROM pg_tables WHERE schemaname = ? AND tablename = "
                                               "'saldina_changes'"));
            st.bind(1, schema_, schema::FieldType::Text);
            if (!st.step())
                throw StoreError(QStringLiteral("База данных %1 не найдена на сервере.").arg(file_));
        }
        exec(QStringLiteral("SET search_path = \"%1\", control").arg(schema_));
        // Every copy holds the schema's use lock shared; a pack in another
        // copy holds it exclusively for a moment.
        bool ok = false;
        for (int waited = 0;; waited += 50) {
            ok = schemaLock("pg_try_advisory_lock_shared", PgUseLock);
            if (ok || waited >= BusyTimeoutMs)
                break;
            QThread::msleep(50);
        }
        if (!ok)
            throw StoreError(Session::busyText(file_));
        if (loc_ == schema::Location::Year && session_)
            claimUserName();
    } catch (...) {
        qDeleteAll(stmts_);
        stmts_.clear();
        PQfinish(pg_);
        pg_ = nullptr;
        throw;
    }
}

PgConnection::~PgConnection()
{
    if (pg_ && PQstatus(pg_) == CONNECTION_OK) {
        endRead();
        if (PQtransactionStatus(pg_) != PQTRANS_IDLE)
            PQclear(PQexec(pg_, "ROLLBACK"));
        PQclear(PQexec(pg_, "DELETE FROM control.copies WHERE backend = pg_backend_pid()"));
    }
    qDeleteAll(stmts_);
    PQfinish(pg_);   // the session's locks end with it
}

bool PgConnection::schemaLock(const char* function, qint32 lockClass)
{
    Statement st(*this, QStringLiteral("SELECT %1(?, hashtext(?))").arg(QLatin1String(function)));
    st.bindInt(1, lockClass);
    st.bind(2, schema_, schema::FieldType::Text);
    const bool got = st.step() && st.columnText(0) == QLatin1String("t");
    st.run();
    return got;
}

qint32 PgConnection::nameKey(const QString& name)
{
    quint32 h = 2166136261u;   // FNV-1a of the name as compared: letter case aside
    for (char c : name.toCaseFolded().toUtf8()) {
        h ^= uchar(c);
        h *= 16777619u;
    }
    return qint32(h);
}

// The user name claimed on the server for as long as the connection lives,
// with a row that says where the copy runs.
void PgConnection::claimUserName()
{
    const QString user = session_->userName();
    const bool claimed = takeLock([&] {
        Statement st(*this, QStringLiteral("SELECT pg_try_advisory_lock(?, ?)"));
        st.bindInt(1, PgUserLock);
        st.bindInt(2, nameKey(user));
        return st.step() && st.columnText(0) == QLatin1String("t");
    });
    if (!claimed)
        throw StoreError(Session::sameUserText(user));
    // A killed copy's row outlives its claim: a row stands only while its
    // connection holds a user name.
    Statement stale(*this, QStringLiteral("DELETE FROM control.copies c WHERE NOT EXISTS (SELECT 1 FROM pg_locks l "
                                          "WHERE l.locktype = 'advisory' AND l.granted AND l.objsubid = 2 "
                                          "AND l.classid = ?::bigint::oid AND l.pid = c.backend)"));
    stale.bindInt(1, PgUserLock);
    stale.run();
    Statement row(*this, QStringLiteral("INSERT INTO control.copies (user_name, host, pid, since, backend) "
                                        "VALUES (?, ?, ?, now(), pg_backend_pid())"));
    row.bind(1, user, schema::FieldType::Text);
    row.bind(2, QSysInfo::machineHostName(), schema::FieldType::Text);
    row.bindInt(3, ::getpid());
    row.run();
}

QByteArray PgConnection::numberParameters(const QString& sql, int* count)
{
    const QByteArray u = sql.toUtf8();
    QByteArray out;
    out.reserve(u.size() + 16);
    int n = 0;
    char quote = 0;
    for (char ch : u) {
        if (quote) {
            if (ch == quote)
                quote = 0;
            out += ch;
        } else if (ch == '\'' || ch == '"') {
            quote = ch;
            out += ch;
        } else if (ch == '?') {
            out += '$';
            out += QByteArray::number(++n);
        } else {
            out += ch;
        }
    }
    if (count)
        *count = n;
    return out;
}

Cursor* PgConnection::prepare(const QString& sql)
{
    auto it = stmts_.find(sql);
    if (it != stmts_.end())
        return *it;
    int n = 0;
    const QByteArray text = numberParameters(sql, &n);
    const QByteArray name = "s" + QByteArray::number(++nextStatement_);
    PGresult* r = PQprepare(pg_, name.constData(), text.constData(), 0, nullptr);
    if (PQresultStatus(r) != PGRES_COMMAND_OK)
        fail(r, sql);
    PQclear(r);
    auto* c = new PgCursor(*this, name, n);
    stmts_.insert(sql, c);
    return c;
}

void PgConnection::run(const char* sql)
{
    PGresult* r = PQexec(pg_, sql);
    const ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK)
        fail(r, QString::fromUtf8(sql));
    PQclear(r);
}

void PgConnection::exec(const QString& sql) { run(sql.toUtf8().constData()); }

void PgConnection::fail(PGresult* res, const QString& context)
{
    const QString state = QString::fromLatin1(PQresultErrorField(res, PG_DIAG_SQLSTATE));
    QString msg = QString::fromUtf8(PQresultErrorField(res, PG_DIAG_MESSAGE_PRIMARY));
    if (msg.isEmpty())
        msg = serverText(pg_);
    PQclear(res);
    if (PQstatus(pg_) != CONNECTION_OK) {
        if (session_)
            session_->connectionLost();
        throw StoreError(lostText(file_, msg));
    }
    // A failed read ends the reading pass's transaction, which the server
    // would refuse to go on with.
    if (readTxn_ && PQtransactionStatus(pg_) == PQTRANS_INERROR) {
        readTxn_ = false;
        PQclear(PQexec(pg_, "ROLLBACK"));
    }
    for (const char* cond :
         {schema::KeyViolation, schema::LookupViolation, schema::RequiredViolation, schema::MasterHasDetails})
        if (msg == QLatin1String(cond))
            throw StoreError(msg);
    if (state == QLatin1String("23502"))
        throw StoreError(QString::fromLatin1(schema::RequiredViolation));
    if (state == QLatin1String("23505"))
        throw StoreError(QString::fromLatin1(schema::KeyViolation));
    if (state.startsWith(QLatin1String("23")) || state.startsWith(QLatin1String("22")))
        throw StoreError(QStringLiteral("Значение не подходит для поля: %1").arg(msg));
    if (state == QLatin1String("55P03") || state == QLatin1String("40P01") || state == QLatin1String("40001"))
        throw StoreError(Session::busyText(file_));
    if (state == QLatin1String("53100"))
        throw StoreError(QStringLiteral("Нет места на диске сервера для базы данных %1.").arg(file_));
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P"))) {
        if (session_)
            session_->connectionLost();
        throw StoreError(lostText(file_, msg));
    }
    throw StoreError(QStringLiteral("Ошибка базы данных %1: %2%3")
                         .arg(file_, msg, context.isEmpty() ? QString() : QStringLiteral(" [") + context + QLatin1Char(']')));
}

// ------------------------------------------------------------------ reading

qint64 PgConnection::storedVersion()
{
    Statement st(*this, QStringLiteral("SELECT COALESCE(sum(n), 0)::bigint FROM saldina_changes"));
    st.step();
    return st.columnInt(0);
}

bool PgConnection::idle() const { return PQtransactionStatus(pg_) == PQTRANS_IDLE; }

qint64 PgConnection::beginReadSlice()
{
    run("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    try {
        return storedVersion();
    } catch (...) {
        if (!idle())
            PQclear(PQexec(pg_, "ROLLBACK"));
        throw;
    }
}

void PgConnection::endReadSlice()
{
    if (pg_ && !idle())
        PQclear(PQexec(pg_, "COMMIT"));
}

// ------------------------------------------------------------------ writing

// One writing transaction at a time on a schema, as on a file: a copy waits
// for another's write up to the busy timeout, and no two writes ever wait
// for each other's rows.
void PgConnection::begin()
{
    endRead();
    if (batch_) {
        run("SAVEPOINT post");
        return;
    }
    run("BEGIN");
    try {
        schemaLock("pg_advisory_xact_lock", PgWriteLock);
    } catch (...) {
        PQclear(PQexec(pg_, "ROLLBACK"));
        throw;
    }
}

void PgConnection::commit()
{
    run(batch_ ? "RELEASE post" : "COMMIT");
    ++generation_;
}

void PgConnection::rollback()
{
    if (batch_)
        PQclear(PQexec(pg_, "ROLLBACK TO post; RELEASE post"));
    else if (PQtransactionStatus(pg_) != PQTRANS_IDLE)
        PQclear(PQexec(pg_, "ROLLBACK"));
}

void PgConnection::beginBatch()
{
    if (batch_)
        throw StoreError(QStringLiteral("A batch is already open on %1").arg(file_));
    begin();
    batch_ = true;
}

void PgConnection::commitBatch()
{
    if (!batch_)
        return;
    PGresult* r = PQexec(pg_, "COMMIT");
    if (PQresultStatus(r) != PGRES_COMMAND_OK) {
        batch_ = false;
        PQclear(PQexec(pg_, "ROLLBACK"));
        ++generation_;
        fail(r);
    }
    PQclear(r);
    batch_ = false;
    ++generation_;
}

void PgConnection::rollbackBatch()
{
    if (!batch_)
        return;
    batch_ = false;
    if (PQtransactionStatus(pg_) != PQTRANS_IDLE)
        PQclear(PQexec(pg_, "ROLLBACK"));
    ++generation_;   // views read inside the batch are stale now
}

bool PgConnection::tableExists(const QString& name)
{
    Statement st(*this, QStringLiteral("SELECT 1 FROM pg_tables WHERE schemaname = ? AND lower(tablename) = lower(?)"));
    st.bind(1, schema_, schema::FieldType::Text);
    st.bind(2, name, schema::FieldType::Text);
    return st.step();
}

void PgConnection::pack(const QString& table)
{
    const QString refused =
        QStringLiteral("Таблица %1 используется другой копией программы. Упаковка требует монопольного доступа: "
                       "закройте все остальные копии программы и повторите.")
            .arg(table);
    endRead();
    const bool alone = takeLock([&] { return schemaLock("pg_try_advisory_lock", PgUseLock); });
    if (!alone)
        throw StoreError(refused);
    auto unlock = [this] { schemaLock("pg_advisory_unlock", PgUseLock); };
    try {
        exec(QStringLiteral("VACUUM FULL \"%1\"").arg(table));
        exec(QStringLiteral("REINDEX TABLE \"%1\"").arg(table));
    } catch (...) {
        unlock();
        throw;
    }
    unlock();
    ++generation_;
}

namespace {

// A short connection of its own for the store's work on the server as a
// whole (not a year's tables).
struct ServerLink {
    explicit ServerLink(const QString& conninfo) : pg(PQconnectdb(conninfo.toUtf8().constData()))
    {
        if (PQstatus(pg) != CONNECTION_OK) {
            const QString why = serverText(pg);
            PQfinish(pg);
            throw StoreError(QStringLiteral("Не удается подключиться к серверу базы данных: %1").arg(why));
        }
        PQclear(PQexec(pg, "SET client_min_messages = warning"));
    }
    ~ServerLink() { PQfinish(pg); }
    // The command's failure text, empty when it went through.
    QString run(const QString& sql, PGresult** keep = nullptr)
    {
        PGresult* r = PQexec(pg, sql.toUtf8().constData());
        const ExecStatusType s = PQresultStatus(r);
        QString why;
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK)
            why = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
        if (keep && why.isEmpty())
            *keep = r;
        else
            PQclear(r);
        return why;
    }
    PGconn* pg;
};

} // namespace

bool serverSchemaExists(const QString& conninfo, const QString& schema)
{
    ServerLink link(conninfo);
    const QByteArray name = schema.toUtf8();
    const char* values[] = {name.constData()};
    PGresult* r = PQexecParams(link.pg,
                               "SELECT 1 FROM pg_tables WHERE schemaname = $1 AND tablename = 'saldina_changes'", 1,
                               nullptr, values, nullptr, nullptr, 0);
    const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0;
    PQclear(r);
    return ok;
}

void runOnServer(const QString& conninfo, const QStringList& statements, bool single)
{
    ServerLink link(conninfo);
    if (single)
        link.run(QStringLiteral("BEGIN"));
    for (const QString& sql : statements) {
        const QString why = link.run(sql);
        if (!why.isEmpty()) {
            if (single)
                link.run(QStringLiteral("ROLLBACK"));
            const QString short_ = sql.left(200);
            throw StoreError(QStringLiteral("Ошибка сервера базы данных: %1 [%2]").arg(why, short_));
        }
    }
    if (single) {
        const QString why = link.run(QStringLiteral("COMMIT"));
        if (!why.isEmpty())
            throw StoreError(QStringLiteral("Ошибка сервера базы данных: %1").arg(why));
    }
}

namespace {

// Rows of a dump written into the backup's file, in one transaction.
struct DumpFile {
    explicit DumpFile(const QString& path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(db);
            db = nullptr;
            throw StoreError(QStringLiteral("Cannot open file %1").arg(path));
        }
    }
    ~DumpFile()
    {
        if (st)
            sqlite3_finalize(st);
        sqlite3_close_v2(db);
    }
    void exec(const QString& sql)
    {
        if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            throw StoreError(QStringLiteral("Stream write error"));
    }
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
};

void dumpTable(PGconn* pg, const QString& schema, const schema::TableDef& t, DumpFile& out)
{
    using schema::FieldType;
    const QList<schema::FieldDef> fields = t.storedFields();
    // An AutoInc field is the row id of the file's table; the server keeps
    // the two equal.
    bool autoInc = false;
    for (const auto& f : fields)
        autoInc = autoInc || f.type == FieldType::AutoInc;
    QStringList cols, params;
    if (!autoInc)
        cols << QStringLiteral("\"rowid\"");
    for (const auto& f : fields)
        cols << QLatin1Char('"') + f.name + QLatin1Char('"');
    for (int i = 0; i < cols.size(); ++i)
        params << QStringLiteral("?");
    const QString list = cols.join(QStringLiteral(", "));
    const QString select =
        QStringLiteral("SELECT %1 FROM \"%2\".\"%3\" ORDER BY \"rowid\"").arg(list, schema, t.name);
    PGresult* r = PQexec(pg, select.toUtf8().constData());
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
        const QString why = QString::fromUtf8(PQresultErrorMessage(r)).trimmed();
        PQclear(r);
        throw StoreError(QStringLiteral("Ошибка сервера базы данных: %1").arg(why));
    }
    const QByteArray insert =
        QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)").arg(t.name, list, params.join(QStringLiteral(", "))).toUtf8();
    if (sqlite3_prepare_v2(out.db, insert.constData(), -1, &out.st, nullptr) != SQLITE_OK) {
        PQclear(r);
        throw StoreError(QStringLiteral("Stream write error"));
    }
    const int offset = autoInc ? 0 : 1;
    for (int row = 0; row < PQntuples(r); ++row) {
        for (int c = 0; c < int(cols.size()); ++c) {
            const FieldType type = c < offset ? FieldType::AutoInc : fields[c - offset].type;
            if (PQgetisnull(r, row, c)) {
                sqlite3_bind_null(out.st, c + 1);
                continue;
            }
            const QByteArray v(PQgetvalue(r, row, c), PQgetlength(r, row, c));
            switch (type) {
            case FieldType::AutoInc:
                sqlite3_bind_int64(out.st, c + 1, v.toLongLong());
                break;
            case FieldType::Float:
                sqlite3_bind_double(out.st, c + 1, v.toDouble());
                break;
            case FieldType::Text:
            case FieldType::Date:
                sqlite3_bind_text(out.st, c + 1, v.constData(), int(v.size()), SQLITE_TRANSIENT);
                break;
            }
        }
        const int rc = sqlite3_step(out.st);
        sqlite3_reset(out.st);
        sqlite3_clear_bindings(out.st);
        if (rc != SQLITE_DONE) {
            PQclear(r);
            throw StoreError(QStringLiteral("Stream write error"));
        }
    }
    PQclear(r);
    sqlite3_finalize(out.st);
    out.st = nullptr;
    if (autoInc) {
        // The numbers the server has handed out are not handed out again
        // by the backup either.
        const QString last = QStringLiteral("SELECT COALESCE(pg_sequence_last_value(pg_get_serial_sequence('\"%1\".\"%2\"', "
                                            "'rowid')::regclass), 0)")
                                 .arg(schema, t.name);
        PGresult* s = PQexec(pg, last.toUtf8().constData());
        const qint64 n = PQresultStatus(s) == PGRES_TUPLES_OK && PQntuples(s) ? std::atoll(PQgetvalue(s, 0, 0)) : 0;
        PQclear(s);
        if (n > 0) {
            out.exec(QStringLiteral("INSERT OR IGNORE INTO sqlite_sequence (name, seq) VALUES ('%1', 0)").arg(t.name));
            out.exec(QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, %1) WHERE name = '%2'").arg(n).arg(t.name));
        }
    }
}

} // namespace

void dumpServerDatabase(const QString& conninfo, const QString& schema, const QString& dir)
{
    ServerLink link(conninfo);
    link.run(QStringLiteral("SET DateStyle = ISO; SET extra_float_digits = 1; SET client_encoding = 'UTF8'"));
    {
        // Every copy that has the year open holds its use lock shared.
        const QByteArray name = schema.toUtf8();
        const QByteArray cls = QByteArray::number(PgUseLock);
        const char* values[] = {cls.constData(), name.constData()};
        PGresult* r = PQexecParams(link.pg, "SELECT pg_try_advisory_lock($1::int, hashtext($2))", 2, nullptr, values,
                                   nullptr, nullptr, 0);
        const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 && *PQgetvalue(r, 0, 0) == 't';
        PQclear(r);
        if (!ok)
            throw StoreError(QStringLiteral("База данных %1 используется другой копией программы. Резервное копирование "
                                            "требует монопольного доступа: закройте все остальные копии программы и "
                                            "повторите.")
                                 .arg(schema));
    }
    QString target = Session::normalizeDir(dir);
    while (target.endsWith(QLatin1Char('/')))
        target.chop(1);
    const QString work = target + QStringLiteral(".part") + QString::number(::getpid());
    QDir(work).removeRecursively();
    try {
        if (const QString why = link.run(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")); !why.isEmpty())
            throw StoreError(QStringLiteral("Ошибка сервера базы данных: %1").arg(why));
        if (!QDir().mkpath(work))
            throw StoreError(QStringLiteral("Cannot create file %1").arg(target));
        Session::createDatabase(work, schema::Location::Year);
        {
            DumpFile out(Session::databasePath(work, schema::Location::Year));
            out.exec(QStringLiteral("BEGIN"));
            for (const schema::TableDef* t : schema::lookupOrder(schema::Location::Year))
                dumpTable(link.pg, schema, *t, out);
            out.exec(QStringLiteral("COMMIT"));
        }
        link.run(QStringLiteral("COMMIT"));
        // The finished backup takes the place of one made earlier the same day.
        const QString old = target + QStringLiteral(".old") + QString::number(::getpid());
        QDir(old).removeRecursively();
        const bool had = QFileInfo(target).isDir();
        if (had && !QDir().rename(target, old))
            throw StoreError(QStringLiteral("Cannot create file %1").arg(target));
        if (!QDir().rename(work, target)) {
            if (had)
                QDir().rename(old, target);
            throw StoreError(QStringLiteral("Cannot create file %1").arg(target));
        }
        QDir(old).removeRecursively();
    } catch (...) {
        QDir(work).removeRecursively();
        throw;
    }
}

void Session::createServerDatabase(const QString& conninfo, const QString& name, schema::Location loc)
{
    if (serverSchemaExists(conninfo, name))
        throw StoreError(QStringLiteral("База данных %1 уже есть на сервере.").arg(name));
    QStringList sql = schema::serverSetupStatements();
    sql << QStringLiteral("CREATE SCHEMA \"%1\"").arg(name)
        << QStringLiteral("SET LOCAL search_path = \"%1\", control").arg(name);
    sql << schema::createStatements(loc, schema::Dialect::PostgreSql);
    runOnServer(conninfo, sql);
}

void Session::copyServerDatabase(const QString& conninfo, const QString& from, const QString& to)
{
    QStringList sql = schema::serverSetupStatements();
    sql << schema::copySchemaStatements(from, to, schema::Location::Year);
    runOnServer(conninfo, sql);
}

// The server keeps its own pages whole; what the store can check is that
// every row still meets the rules, which its constraints and triggers did
// when the row was written.
QString PgConnection::integrityCheck() { return QStringLiteral("ok"); }

QStringList PgConnection::integrityCheck(const QString&) { return {QStringLiteral("ok")}; }

} // namespace store
