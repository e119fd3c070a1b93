#include "core/store/session.h"
#include "core/store/filelock.h"
#include "core/store/pg_connection.h"
#include "core/store/sqlite_connection.h"
#include "core/store/table.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>
#include <unistd.h>

namespace store {

namespace {

// The first line of the control file.
const QByteArray ControlHeader("Saldina control file\n");

// The control file: a header, then fixed slots; a live copy writes its user
// name into a slot and keeps a write lock on it.
constexpr qint64 MutexStart = 0;
constexpr qint64 SlotStart = 512;
constexpr qint64 SlotSize = 512;
constexpr int SlotCount = 256;
constexpr int MaxUserName = 120;   // characters

QSet<QString>& liveInProcess()   // "control file|slot"
{
    static QSet<QString> s;
    return s;
}

QString slotName(const LockFile& f, int i)
{
    char buf[SlotSize] = {};
    const ssize_t n = ::pread(f.fd(), buf, SlotSize, SlotStart + i * SlotSize);
    if (n <= 0)
        return {};
    return QString::fromUtf8(buf, int(qstrnlen(buf, SlotSize))).section(QLatin1Char('\t'), 0, 0);
}

bool slotLive(LockFile& f, int i)
{
    return liveInProcess().contains(f.path() + QLatin1Char('|') + QString::number(i)) ||
           f.lockedByOther(SlotStart + i * SlotSize, SlotSize);
}

} // namespace

QString Session::sameUserText(const QString& user)
{
    return QStringLiteral("Пользователь \"%1\" уже работает с базой данных в другой копии программы. "
                          "Каждая копия должна работать под своим именем пользователя: "
                          "укажите другое имя в меню Сервис\\Настройка.")
        .arg(user);
}

QString Session::busyText(const QString& file)
{
    return QStringLiteral("База данных %1 занята другой копией программы. Повторите действие позже.").arg(file);
}

// ---------------------------------------------------------------- Connection

Connection::Connection(Session* session, QString file) : session_(session), file_(std::move(file))
{
    static quint64 serials = 0;
    serial_ = ++serials;
}

Connection::~Connection() = default;

namespace {
qint64 monotonicMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}
} // namespace

qint64 Connection::dataVersion()
{
    if (session_ && session_->reading() && !batch_) {
        if (readTxn_ && monotonicMs() - readSince_ > ReadSliceMs)
            endRead();
        if (!readTxn_ && idle()) {
            readVersion_ = beginReadSlice();
            readTxn_ = true;
            readSince_ = monotonicMs();
        }
        if (readTxn_)
            return readVersion_;
    }
    return storedVersion();
}

void Connection::endRead()
{
    if (!readTxn_)
        return;
    readTxn_ = false;
    endReadSlice();
}

// ----------------------------------------------------------------- Statement

Statement::Statement(Connection& c, const QString& sql) : st_(c.prepare(sql)) {}

Statement::~Statement() { st_->reset(); }

void Statement::bind(int i, const QVariant& v, schema::FieldType type)
{
    if (!v.isValid() || v.isNull()) {
        st_->bindNull(i);
        return;
    }
    switch (type) {
    case schema::FieldType::Text:
        st_->bindText(i, v.toString().toUtf8());
        break;
    case schema::FieldType::Date:
        st_->bindText(i, v.toDate().toString(Qt::ISODate).toLatin1());
        break;
    case schema::FieldType::Float:
        st_->bindDouble(i, v.toDouble());
        break;
    case schema::FieldType::AutoInc:
        st_->bindInt(i, v.toLongLong());
        break;
    }
}

void Statement::run()
{
    while (step()) {
    }
}

QVariant Statement::column(int i, schema::FieldType type) const
{
    if (st_->isNull(i))
        return {};
    switch (type) {
    case schema::FieldType::Text:
        return columnText(i);
    case schema::FieldType::Date: {
        // yyyy-mm-dd, as the store writes it
        const QByteArrayView b = st_->columnBytes(i);
        const char* p = b.data();
        if (b.size() == 10 && p[4] == '-' && p[7] == '-') {
            auto num = [p](int from, int len) {
                int v = 0;
                for (int k = from; k < from + len; ++k)
                    v = v * 10 + (p[k] - '0');
                return v;
            };
            return QDate(num(0, 4), num(5, 2), num(8, 2));
        }
        return QDate::fromString(QString::fromLatin1(b), Qt::ISODate);
    }
    case schema::FieldType::Float:
        return st_->columnDouble(i);
    case schema::FieldType::AutoInc:
        return qint64(st_->columnInt(i));
    }
    return {};
}

QString Statement::columnText(int i) const
{
    const QByteArrayView b = st_->columnBytes(i);
    return b.isNull() ? QString() : QString::fromUtf8(b);
}

// ------------------------------------------------------------------- Session

Session::Session() = default;

Session::~Session()
{
    try {
        close();
    } catch (...) {
    }
}

void Session::setControlDir(const QString& dir) { controlDir_ = dir; }

QString Session::userName() const
{
    for (const auto& p : params_)
        if (p.section(QLatin1Char('='), 0, 0).trimmed().compare(QLatin1String("USER NAME"), Qt::CaseInsensitive) == 0)
            return p.section(QLatin1Char('='), 1);
    return {};
}

QString Session::normalizeDir(const QString& dir)
{
    QString d = dir;
    d.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (d.isEmpty())
        d = QStringLiteral(".");
    return QDir::cleanPath(QFileInfo(d).absoluteFilePath());
}

QString Session::databasePath(const QString& dir, schema::Location loc)
{
    return normalizeDir(dir) + QLatin1Char('/') + schema::databaseFileName(loc);
}

void Session::open()
{
    if (open_)
        return;
    const QString root = normalizeDir(controlDir_.isEmpty() ? QStringLiteral(".") : controlDir_);
    if (!QFileInfo(root).isDir())
        throw StoreError(QStringLiteral("Каталог базы данных %1 не найден.").arg(root));
    const QString user = userName();
    if (user.size() > MaxUserName)
        throw StoreError(QStringLiteral("Имя пользователя длиннее %1 знаков. Укажите более короткое имя в меню Сервис\\Настройка.")
                             .arg(MaxUserName));
    auto ctl = sharedLockFile(root + QStringLiteral("/saldina.dbp"), ControlHeader);
    if (!ctl->lockExclusive(MutexStart, 1, true))
        throw StoreError(QStringLiteral("Не удается заблокировать файл %1.").arg(ctl->path()));
    int free = -1;
    for (int i = 0; i < SlotCount; ++i) {
        if (!slotLive(*ctl, i)) {
            if (free < 0)
                free = i;
            continue;
        }
        if (slotName(*ctl, i).compare(user, Qt::CaseInsensitive) == 0) {
            ctl->unlock(MutexStart, 1);
            throw StoreError(sameUserText(user));
        }
    }
    if (free < 0 || !ctl->lockExclusive(SlotStart + free * SlotSize, SlotSize)) {
        ctl->unlock(MutexStart, 1);
        throw StoreError(QStringLiteral("Слишком много копий программы работают с базой данных %1.").arg(root));
    }
    QByteArray rec = (user + QLatin1Char('\t') + QSysInfo::machineHostName() + QLatin1Char('\t') +
                      QString::number(::getpid()) + QLatin1Char('\t') +
                      QDateTime::currentDateTime().toString(Qt::ISODate))
                         .toUtf8();
    if (rec.size() > SlotSize - 1) {   // host and time may be cut, never the name
        rec.truncate(SlotSize - 1);
        while (!rec.isEmpty() && (uchar(rec.back()) & 0xC0) == 0x80)
            rec.chop(1);
        if (!rec.isEmpty() && uchar(rec.back()) >= 0xC0)
            rec.chop(1);
    }
    rec.resize(SlotSize, '\0');
    if (::pwrite(ctl->fd(), rec.constData(), SlotSize, SlotStart + free * SlotSize) != SlotSize) {
        ctl->unlock(SlotStart + free * SlotSize, SlotSize);
        ctl->unlock(MutexStart, 1);
        throw StoreError(QStringLiteral("Не удается записать файл %1.").arg(ctl->path()));
    }
    liveInProcess().insert(ctl->path() + QLatin1Char('|') + QString::number(free));
    ctl->unlock(MutexStart, 1);
    control_ = ctl;
    slot_ = free;
    open_ = true;
}

void Session::close()
{
    const auto tables = tables_;
    for (Table* t : tables)
        t->close();
    connections_.clear();
    if (control_) {
        const QByteArray zero(SlotSize, '\0');
        if (::pwrite(control_->fd(), zero.constData(), SlotSize, SlotStart + slot_ * SlotSize) < 0) {
            // The slot is free once unlocked; a stale name does no harm.
        }
        control_->unlock(SlotStart + slot_ * SlotSize, SlotSize);
        liveInProcess().remove(control_->path() + QLatin1Char('|') + QString::number(slot_));
        control_.reset();
        slot_ = -1;
    }
    open_ = false;
    lost_ = false;
}

void Session::connectionLost()
{
    if (std::exchange(lost_, true))
        return;
    if (onLost_)
        onLost_();
}

QStringList Session::liveUsers() const
{
    QStringList out;
    if (!control_)
        return out;
    for (int i = 0; i < SlotCount; ++i)
        if (slotLive(*control_, i))
            out << slotName(*control_, i);
    return out;
}

QString Session::serverSchema(const QString& dir) const
{
    if (server_.isEmpty())
        return {};
    const QFileInfo d(normalizeDir(dir));
    const QString root = normalizeDir(controlDir_.isEmpty() ? QStringLiteral(".") : controlDir_);
    if (normalizeDir(d.absolutePath()) != root)
        return {};
    const QString name = d.fileName();
    if (name.compare(QLatin1String("Orig"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("orig");
    static const QRegularExpression year(QStringLiteral("^[0-9]{1,9}$"));
    return year.match(name).hasMatch() ? QStringLiteral("y") + name : QString();
}

QString Session::connectionKey(const QString& dir, schema::Location loc) const
{
    if (loc == schema::Location::Year) {
        const QString schema = serverSchema(dir);
        if (!schema.isEmpty())
            return QStringLiteral("server:") + schema;
    }
    return databasePath(dir, loc);
}

bool Session::databaseExists(const QString& dir)
{
    const QString schema = serverSchema(dir);
    if (schema.isEmpty())
        return QFileInfo::exists(databasePath(dir, schema::Location::Year));
    if (connections_.contains(QStringLiteral("server:") + schema))
        return true;
    return serverSchemaExists(server_, schema);
}

Connection& Session::connection(const QString& dir, schema::Location loc)
{
    if (!open_)
        open();
    const QString key = connectionKey(dir, loc);
    auto it = connections_.find(key);
    if (it != connections_.end())
        return **it;
    std::shared_ptr<Connection> c;
    if (key.startsWith(QLatin1String("server:")))
        c = std::make_shared<PgConnection>(this, server_, key.mid(7), loc);
    else
        c = std::make_shared<SqliteConnection>(this, key, loc);
    connections_.insert(key, c);
    return *c;
}

void Session::endRead()
{
    if (readDepth_ == 0 || --readDepth_ > 0)
        return;
    for (const auto& c : std::as_const(connections_))
        c->endRead();
}

void Session::openDatabase(const QString& dir, schema::Location loc) { connection(dir, loc); }

void Session::closeDatabase(const QString& dir)
{
    const QString d = normalizeDir(dir);
    const auto tables = tables_;
    for (Table* t : tables)
        if (Session::normalizeDir(t->directory()) == d)
            t->close();
    for (auto loc : {schema::Location::Year, schema::Location::Work})
        connections_.remove(connectionKey(d, loc));
}

bool Session::hasConnection(const QString& file) const { return connections_.contains(file); }

} // namespace store
