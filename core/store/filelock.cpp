#include "core/store/filelock.h"
#include "core/store/storeerror.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace store {

LockFile::LockFile(QString path) : path_(std::move(path))
{
    fd_ = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0)
        throw StoreError(QStringLiteral("Не удается открыть файл %1: %2")
                             .arg(path_, QString::fromLocal8Bit(strerror(errno))));
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
