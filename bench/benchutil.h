#pragma once
// Timing and printing shared by the benchmarks.
#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

namespace benchutil {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

template <class F> double timed(F&& body)
{
    const auto t0 = Clock::now();
    body();
    return seconds(t0, Clock::now());
}

// The processor time the process has taken, user and system.
inline double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

inline double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Three significant digits, never in exponent form.
inline QString num(double v)
{
    if (v == 0 || !std::isfinite(v))
        return QString::number(v);
    const int digits = std::max(0, 2 - int(std::floor(std::log10(std::fabs(v)))));
    return QString::number(v, 'f', digits);
}

// The command line every benchmark takes: [DATA_DIR] [--scale F] [--repeats N]
// [--only GROUP,...].
struct Args {
    QString dataDir;
    double scale = 1.0;
    int repeats = 5;
    QStringList only;   // the groups of figures to take; empty: all

    bool wants(const char* group) const { return only.isEmpty() || only.contains(QLatin1String(group)); }
};

// Nothing (after a message) when the line is wrong.
inline std::optional<Args> parseArgs(int argc, char** argv, const char* name, const QString& dataDir, int repeats)
{
    Args a{dataDir, 1.0, repeats, {}};
    for (int i = 1; i < argc; ++i) {
        const QString s = QString::fromLocal8Bit(argv[i]);
        if (s == QLatin1String("--scale") && i + 1 < argc)
            a.scale = QString::fromLocal8Bit(argv[++i]).toDouble();
        else if (s == QLatin1String("--repeats") && i + 1 < argc)
            a.repeats = std::max(1, QString::fromLocal8Bit(argv[++i]).toInt());
        else if (s == QLatin1String("--only") && i + 1 < argc)
            a.only += QString::fromLocal8Bit(argv[++i]).split(QLatin1Char(','), Qt::SkipEmptyParts);
        else if (s.startsWith(QLatin1Char('-'))) {
            std::fprintf(stderr, "usage: %s [DATA_DIR] [--scale F] [--repeats N] [--only GROUP,...]\n", name);
            return std::nullopt;
        } else
            a.dataDir = s;
    }
    if (!(a.scale > 0)) {
        std::fprintf(stderr, "%s: --scale needs a positive number\n", name);
        return std::nullopt;
    }
    return a;
}

// /proc/self/status in megabytes ("VmHWM", "VmRSS").
inline double statusMb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray want = QByteArray(key) + ':';
    for (const QByteArray& l : f.readAll().split('\n'))
        if (l.startsWith(want))
            return l.mid(want.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

} // namespace benchutil
