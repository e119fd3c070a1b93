#pragma once
// The settings file prog.ini: a Windows-style profile file of "[Section]"
// lines and "key=value" lines below them.
//
// Reading (each call reads the file anew; nothing is kept between calls):
//   - sections and keys are matched without regard to case, Cyrillic too;
//   - a value is everything after the first '=' with the white space around
//     it (spaces, tabs) trimmed, like the key before it; there is no quoting,
//     escaping or trailing comment, so '=', ';' and quotes in a value are kept;
//   - lines whose first non-blank character is ';' are comments;
//   - a line that is neither a section, a key, a comment nor blank is skipped;
//   - when a key occurs more than once in a section, the first one counts;
//     a section that occurs more than once is read as one, in file order;
//   - a missing or unreadable file reads as empty (every key gets its default).
//
// Writing one key rewrites the whole file but keeps every other line byte for
// byte, in the file's encoding (UTF-8 with or without BOM, or code page 1251)
// and with its line endings (CRLF or LF). A file is taken as UTF-8 when it
// starts with a BOM or is valid UTF-8 with non-ASCII bytes, else as 1251.
// A file that does not exist yet is created in 1251 with CRLF.
// The new contents go to a temporary file in the same directory, which then
// replaces the old file, so a crash mid-write leaves the old file whole.
// Write failures are returned as false plus an error text and, when asked
// for, what failed (WriteFailure); nothing throws.
#include <QByteArray>
#include <QString>
#include <optional>

namespace config {

// The keys the program keeps in section Main.
namespace keys {
inline constexpr char Main[] = "Main";
inline constexpr char DataBaseDir[] = "DataBaseDir";
inline constexpr char Year[] = "Year";
inline constexpr char UserName[] = "UserName";
inline constexpr char LocalBaseDir[] = "LocalBaseDir";
inline constexpr char OrgName[] = "OrgName";
// The PostgreSQL server of the year databases (a libpq connection string or
// URI); absent: the year databases are files of DataBaseDir.
inline constexpr char Server[] = "Server";
} // namespace keys

// Why a write failed, for callers that give the reason in their own words.
struct WriteFailure {
    enum class Reason {
        None,
        BadName,       // the section or the key cannot be written
        LineBreak,     // the value holds a line break
        Unreadable,    // the file there cannot be read
        IsDirectory,   // a directory stands where the file should be
        Encoding,      // a character that code page 1251 lacks, in a 1251 file
        CannotWrite,   // the new contents cannot be written or put in place
    };
    Reason reason = Reason::None;
    QString file;          // with the system's separators
    int systemError = 0;   // the system's error number of the failed file operation; 0 when none
};

// A failure in Russian, as the program's windows show it:
// "Не удается записать файл <file>: <reason>".
QString russianText(const WriteFailure& failure);

class Profile {
public:
    explicit Profile(QString path) : path_(std::move(path)) {}

    // Where the program keeps prog.ini (needs a QCoreApplication): see settingsPath,
    // for the executable's directory and the installed program's bin directory.
    static QString defaultPath();

    // prog.ini beside the executable when one is there, or when the executable's
    // directory can be written and is not the installed program's (a build or a
    // portable copy, which make it there as they always did); else the user's
    // file, userPath(): the installed program in /usr/bin.
    static QString settingsPath(const QString& exeDir, const QString& installedBinDir);

    // $XDG_CONFIG_HOME/saldina/prog.ini (~/.config/saldina/prog.ini).
    static QString userPath();

    // Makes the file when it is missing: its directory and the section Main with
    // no keys, so that every key still gives its default and the settings dialog
    // has a file to write. Fails, with a text in *error when given, when the
    // directory or the file cannot be made; an existing file is left as it is.
    static bool createIfMissing(const QString& path, QString* error = nullptr);

    const QString& path() const { return path_; }

    // The value of the key, or `def` when the file, the section or the key is
    // missing. A key that is present with an empty value gives "".
    QString readString(const QString& section, const QString& key, const QString& def = {}) const;

    // Like GetPrivateProfileInt: the leading decimal digits of the value, with
    // an optional sign, are taken ("12abc" -> 12, " -3" -> -3); a missing key,
    // a value that does not start with a number, or a number out of the range
    // of int gives `def`.
    int readInt(const QString& section, const QString& key, int def = 0) const;

    // Sets the key: replaces the value of its first occurrence in place (the
    // key keeps its spelling), or appends it at the end of the section's first
    // occurrence (before the blank and comment lines that end that section),
    // or appends the section with the key at the end of the file.
    // Fails, with a text in *error when given, when the section or key is
    // empty or contains a line break, '[' or ']' in the section, '=' in the
    // key, a line break in the value, when the value cannot be written in the
    // file's encoding (a 1251 file and a character outside that code page),
    // when the existing file cannot be read, or when the file cannot be
    // written. On failure the file is left as it was. White space around the
    // value is written but, as with Windows, not read back.
    bool writeString(const QString& section, const QString& key, const QString& value,
                     QString* error = nullptr, WriteFailure* failure = nullptr) const;
    bool writeInt(const QString& section, const QString& key, int value, QString* error = nullptr,
                  WriteFailure* failure = nullptr) const
    {
        return writeString(section, key, QString::number(value), error, failure);
    }

private:
    QString path_;
};

// Code page 1251 (Windows Cyrillic). Uses Qt's converter when this Qt build
// has one, else a table of our own; byte 0x98, which the code page leaves
// unassigned, is taken as U+0098 both ways, so any bytes survive a round trip.
namespace cp1251 {
QString decode(const QByteArray& bytes);
// Nothing when the text has a character outside the code page.
std::optional<QByteArray> encode(const QString& text);
// Our own table, whatever Qt has.
QString tableDecode(const QByteArray& bytes);
std::optional<QByteArray> tableEncode(const QString& text);
bool qtHasCodec();
} // namespace cp1251

} // namespace config
