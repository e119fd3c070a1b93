#include "cli/output.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

QString reason(int e) { return QString::fromLocal8Bit(std::strerror(e ? e : EIO)); }

} // namespace

void guardStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int got = open("/dev/null", O_RDONLY);
        if (got >= 0 && got != fd) {
            dup2(got, fd);
            close(got);
        }
    }
}

bool writeStandardOutput(const QByteArray& data, QString& error)
{
    errno = 0;
    const size_t n = std::fwrite(data.constData(), 1, size_t(data.size()), stdout);
    int e = errno;
    if (n != size_t(data.size())) {
        std::clearerr(stdout);
        error = QStringLiteral("не удается записать в стандартный вывод: ") + reason(e);
        return false;
    }
    return flushStandardOutput(error);
}

bool flushStandardOutput(QString& error)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int e = errno;
    if (flushed && !std::ferror(stdout))
        return true;
    std::clearerr(stdout);
    error = QStringLiteral("не удается записать в стандартный вывод: ") + reason(e);
    return false;
}

bool closeStandardOutput(QString& error)
{
    if (!flushStandardOutput(error))
        return false;
    errno = 0;
    if (std::fclose(stdout) == 0)
        return true;
    error = QStringLiteral("не удается записать в стандартный вывод: ") + reason(errno);
    return false;
}

bool writeFileWhole(const QString& file, const std::function<bool(QIODevice&)>& fill, QString& error)
{
    QSaveFile f(file);
    if (!f.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("не удается записать %1: %2").arg(file, f.errorString());
        return false;
    }
    errno = 0;
    bool done = fill(f);
    int e = errno;
    if (done) {
        errno = 0;
        done = f.commit();
        e = errno ? errno : e;
    }
    if (!done) {
        // The system's reason as the failing call left it (the device's
        // own text is often only "Unknown error").
        error = QStringLiteral("не удается записать %1: %2").arg(file, e ? reason(e) : f.errorString());
        f.cancelWriting();
        return false;
    }
    return true;
}

bool writeFileWhole(const QString& file, const QByteArray& data, QString& error)
{
    return writeFileWhole(file, [&](QIODevice& d) { return d.write(data) == data.size(); }, error);
}

bool writeFileByName(const QString& file, const std::function<bool(const QString& temp, QString& why)>& fill,
                     QString& error)
{
    const QString temp = file + QStringLiteral(".part%1").arg(::getpid());
    QString why;
    errno = 0;
    bool done = fill(temp, why);
    int e = errno;
    if (done) {
        // Every byte on the disk before the name is given to it.
        const int fd = ::open(QFile::encodeName(temp).constData(), O_RDONLY | O_CLOEXEC);
        done = fd >= 0 && ::fsync(fd) == 0;
        e = errno;
        if (fd >= 0)
            ::close(fd);
        if (done) {
            done = ::rename(QFile::encodeName(temp).constData(), QFile::encodeName(file).constData()) == 0;
            e = errno;
        }
    }
    if (!done) {
        QFile::remove(temp);
        error = QStringLiteral("не удается записать %1: %2").arg(file, !why.isEmpty() ? why : e ? reason(e) : QStringLiteral("ошибка записи"));
        return false;
    }
    return true;
}

} // namespace cli
