#pragma once
// saldina-cli run as a process by the command-line tests (SALDINA_CLI names
// the built tool): its exit status (128 + the signal when it crashed) and
// what it printed.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <csignal>
#include <sys/resource.h>

namespace clitest {

struct Run {
    int code;
    QString out, err;
};

// With `fileLimit` every file the tool writes stops growing at that many
// bytes, as on a disk that is full; `cwd` is its working directory.
inline Run cli(const QStringList& args, qint64 fileLimit = 0, const QString& cwd = {})
{
    QProcess p;
    if (!cwd.isEmpty())
        p.setWorkingDirectory(cwd);
    if (fileLimit > 0)
        p.setChildProcessModifier([fileLimit] {
            ::signal(SIGXFSZ, SIG_IGN);
            struct rlimit l = {rlim_t(fileLimit), rlim_t(fileLimit)};
            ::setrlimit(RLIMIT_FSIZE, &l);
        });
    p.start(QStringLiteral(SALDINA_CLI), args);
    if (!p.waitForFinished(180000))
        return {-1, {}, QStringLiteral("timed out")};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : 128 + p.exitCode(),
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace clitest
