#include "core/store/filelock.h"
#include "core/store/storeerror.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {
QString shown(const QString& path) { return QDir::toNativeSeparators(path); }
} // namespace

QString symlinkRefusal(const QString& path)
{
    return QStringLiteral("Файл %1 является символической ссылкой и не открыт: файлы базы данных программы "
                          "должны быть обычными файлами. Удалите ссылку.")
        .arg(shown(path));
}

QString notRegularRefusal(const QString& path)
{
    return QStringLiteral("%1 не является обычным файлом и не открыт: на этом месте должен быть файл базы данных "
                          "программы.")
        .arg(shown(path));
}

QString foreignFileRefusal(const QString& path)
{
    return QStringLiteral("Файл %1 не является файлом программы и не открыт; он оставлен без изменений.")
        .arg(shown(path));
}

QString refusalOfPath(const QString& path)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    if (S_ISLNK(st.st_mode))
        return symlinkRefusal(path);
    if (!S_ISREG(st.st_mode))
        return notRegularRefusal(path);
    return {};
}

LockFile::LockFile(QString path, QByteArray header) : path_(std::move(path))
{
    fd_ = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK,
                 0666);
    if (fd_ < 0) {
        const int e = errno;
        if (e == ELOOP)
            throw StoreError(symlinkRefusal(path_));
        const QString why = refusalOfPath(path_);
        if (!why.isEmpty())
            throw StoreError(why);
        throw StoreError(QStringLiteral("Не удается открыть файл %1: %2")
                             .arg(shown(path_), QString::fromLocal8Bit(strerror(e))));
    }
    auto refuse = [this](const QString& text) {
        ::close(fd_);
        fd_ = -1;
        throw StoreError(text);
    };
    struct stat st = {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
        refuse(notRegularRefusal(path_));
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    if (header.isEmpty())
        return;
    QByteArray first(header.size(), '\0');
    const ssize_t n = ::pread(fd_, first.data(), size_t(first.size()), 0);
    if (n == 0) {
        // A new file: it is marked as ours. Two copies that create it at
        // once write the same bytes.
        if (::pwrite(fd_, header.constData(), size_t(header.size()), 0) != ssize_t(header.size()))
            refuse(QStringLiteral("Не удается записать файл %1: %2")
                       .arg(shown(path_), QString::fromLocal8Bit(strerror(errno))));
        return;
    }
    if (n != ssize_t(header.size()) || first != header)
        refuse(foreignFileRefusal(path_));
}

LockFile::~LockFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

static bool setLock(int fd, short type, qint64 start, qint64 len, bool wait)
{
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = len;
    for (;;) {
        if (::fcntl(fd, wait ? F_SETLKW : F_SETLK, &fl) == 0)
            return true;
        if (errno == EINTR)
            continue;
        return false;
    }
}

bool LockFile::lockShared(qint64 start, qint64 len) { return setLock(fd_, F_RDLCK, start, len, false); }

bool LockFile::lockExclusive(qint64 start, qint64 len, bool wait)
{
    return setLock(fd_, F_WRLCK, start, len, wait);
}

void LockFile::unlock(qint64 start, qint64 len) { setLock(fd_, F_UNLCK, start, len, false); }

bool LockFile::lockedByOther(qint64 start, qint64 len)
{
    struct flock fl = {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = start;
    fl.l_len = len;
    if (::fcntl(fd_, F_GETLK, &fl) != 0)
        return false;
    return fl.l_type != F_UNLCK;
}

} // namespace store
