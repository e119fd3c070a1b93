#pragma once
// Timing and printing shared by the benchmarks.
#include <QString>
#include <algorithm>
#include <chrono>
#include <cmath>
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

} // namespace benchutil
