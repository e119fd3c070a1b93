#pragma once
// Advisory locks on files shared between copies of the program (fcntl byte
// ranges, released by the system when a process ends, also on a crash).
#include <QString>

namespace store {

class LockFile {
public:
    explicit LockFile(QString path);
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

} // namespace store
