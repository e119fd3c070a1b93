#pragma once
// Russian conventions for numbers and dates, whatever the system locale:
// decimal comma, no digit grouping, short date dd.MM.yyyy.
#include <QDate>
#include <QString>
#include <optional>

namespace store {

inline constexpr const char* ShortDateFormat = "dd.MM.yyyy";

// A display format of the form "#0.00" (digits after the point as given),
// rounding half away from zero; an empty format gives formatFloat.
QString formatNumber(double v, const QString& displayFormat);
// The general form of a number: at most 15 significant digits, decimal comma,
// no trailing zeros ("12,5", "100", "0,1").
QString formatFloat(double v);
QString formatDate(const QDate& d);

// Text typed by a user: blanks around it ignored, a decimal comma or point.
std::optional<double> parseFloat(const QString& text);
// dd.MM.yyyy (also d.M.yyyy and a two-digit year) or yyyy-MM-dd.
std::optional<QDate> parseDate(const QString& text);

// Shortest text that reads back as the same double, with a decimal point
// (files written for other programs).
QString roundTripFloat(double v);

// A selection mask against a stored code: every position of the value must
// match, "*" in the mask matching any character and any other character
// (the blank included) only itself; mask positions past the end of the value
// are not looked at, value positions past the end of the mask meet a blank.
// An empty value matches every mask. Year databases run it as saldina_mask().
bool maskMatches(QStringView mask, QStringView value);

} // namespace store
