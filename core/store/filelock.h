#pragma once
// Advisory locks on files shared between copies of the program (fcntl byte
// ranges, released by the system when a process ends, also on a crash).
#include <QByteArray>
#include <QString>

namespace store {

class LockFile {
public:
    // Opens (creating when missing) the file at `path` without following a
    // symbolic link. The file must be a regular file that is empty or starts
    // with `header`; an empty one gets `header` written. Anything else is
    // refused with a StoreError that says what was refused, and the file is
    // left as it was.
    LockFile(QString path, QByteArray header);
    ~LockFile();
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;

    const QString& path() const { return path_; }
    // Each returns false when another process holds a conflicting lock.
    bool lockShared(qint64 start, qint64 len);
    bool lockExclusive(qint64 start, qint64 len, bool wait = false);
    void unlock(qint64 start, qint64 len);
    // True when another process holds a write lock on the range.
    bool lockedByOther(qint64 start, qint64 len);
    int fd() const { return fd_; }

private:
    QString path_;
    int fd_ = -1;
};

// Refusals of a file that stands where one of the program's files should:
// a symbolic link, something that is not a regular file, a file of another kind.
QString symlinkRefusal(const QString& path);
QString notRegularRefusal(const QString& path);
QString foreignFileRefusal(const QString& path);

// Whether `path` may be opened as one of the program's files: nothing there,
// or a regular file that is not a symbolic link. The refusal text otherwise.
QString refusalOfPath(const QString& path);

} // namespace store
