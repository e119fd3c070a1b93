#include "core/datamodule/profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace config {

// ---------------------------------------------------------------------------
// Code page 1251

namespace cp1251 {
namespace {

// Unicode of the bytes 0x80..0xFF; 0x00..0x7F are ASCII.
constexpr char16_t kUpper[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // C0 А..
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // D8 ..Я
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // E0 а..
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // F8 ..я
};

const char* const kQtName = "windows-1251";

} // namespace

QString tableDecode(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out.append(b < 0x80 ? QChar(b) : QChar(kUpper[b - 0x80]));
    }
    return out;
}

std::optional<QByteArray> tableEncode(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80) {
            out.append(static_cast<char>(u));
            continue;
        }
        int b = -1;
        for (int i = 0; i < 128; ++i) {
            if (kUpper[i] == u) {
                b = 0x80 + i;
                break;
            }
        }
        if (b < 0)
            return std::nullopt;
        out.append(static_cast<char>(b));
    }
    return out;
}

bool qtHasCodec()
{
    static const bool has = QStringDecoder(kQtName).isValid() && QStringEncoder(kQtName).isValid();
    return has;
}

QString decode(const QByteArray& bytes)
{
    if (qtHasCodec()) {
        QStringDecoder d(kQtName);
        QString s = d(bytes);
        if (!d.hasError())
            return s;
    }
    return tableDecode(bytes);
}

std::optional<QByteArray> encode(const QString& text)
{
    if (qtHasCodec()) {
        QStringEncoder e(kQtName);
        QByteArray b = e(text);
        // A converter may put a substitute in place of a character it lacks;
        // only an exact round trip counts.
        if (e.hasError() || decode(b) != text)
            return std::nullopt;
        return b;
    }
    return tableEncode(text);
}

} // namespace cp1251

// ---------------------------------------------------------------------------
// The file as lines of bytes

namespace {

enum class Encoding { Cp1251, Utf8, Utf8Bom };

enum class Kind { Blank, Comment, Section, Key, Malformed };

struct Line {
    QByteArray text; // without the line ending
    QByteArray eol;  // "\r\n", "\n", or empty for a last line without one
    Kind kind = Kind::Blank;
    QString name;    // the section or key name, trimmed
    qsizetype valueStart = 0, valueEnd = 0; // the trimmed value within text
};

struct Document {
    Encoding encoding = Encoding::Cp1251;
    QByteArray eol = "\r\n";
    std::vector<Line> lines;
};

const QByteArray kBom("\xEF\xBB\xBF");

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

qsizetype skipBlanks(const QByteArray& s, qsizetype from, qsizetype to)
{
    while (from < to && isBlank(s[from]))
        ++from;
    return from;
}

qsizetype trimBlanksBack(const QByteArray& s, qsizetype from, qsizetype to)
{
    while (to > from && isBlank(s[to - 1]))
        --to;
    return to;
}

bool hasNonAscii(const QByteArray& b)
{
    for (char c : b)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no sequence cut short at the end.
bool isValidUtf8(const QByteArray& b)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData());
    const qsizetype n = b.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        int more;
        unsigned char lo = 0x80, hi = 0xBF; // the range of the second byte
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0)
                lo = 0xA0;
            else if (c == 0xED)
                hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (i + more >= n)
            return false;
        if (p[i + 1] < lo || p[i + 1] > hi)
            return false;
        for (int k = 2; k <= more; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return false;
        i += more + 1;
    }
    return true;
}

QString decodeText(const QByteArray& bytes, Encoding enc)
{
    return enc == Encoding::Cp1251 ? cp1251::decode(bytes) : QString::fromUtf8(bytes);
}

std::optional<QByteArray> encodeText(const QString& text, Encoding enc)
{
    return enc == Encoding::Cp1251 ? cp1251::encode(text) : std::optional<QByteArray>(text.toUtf8());
}

// '=', '[', ']', ';', blanks and line breaks are single bytes in both UTF-8
// and 1251 and never part of a longer UTF-8 sequence, so a line can be taken
// apart on its bytes and only the names and the value decoded.
void classify(Line& line, Encoding enc)
{
    const QByteArray& t = line.text;
    const qsizetype begin = skipBlanks(t, 0, t.size());
    const qsizetype end = trimBlanksBack(t, begin, t.size());
    if (begin == end) {
        line.kind = Kind::Blank;
        return;
    }
    if (t[begin] == ';') {
        line.kind = Kind::Comment;
        return;
    }
    if (t[begin] == '[') {
        const qsizetype close = t.indexOf(']', begin + 1);
        if (close < 0) {
            line.kind = Kind::Malformed;
            return;
        }
        const qsizetype nb = skipBlanks(t, begin + 1, close);
        const qsizetype ne = trimBlanksBack(t, nb, close);
        line.kind = Kind::Section;
        line.name = decodeText(t.mid(nb, ne - nb), enc);
        return;
    }
    const qsizetype eq = t.indexOf('=', begin);
    if (eq < 0) {
        line.kind = Kind::Malformed;
        return;
    }
    const qsizetype ke = trimBlanksBack(t, begin, eq);
    line.kind = Kind::Key;
    line.name = decodeText(t.mid(begin, ke - begin), enc);
    line.valueStart = skipBlanks(t, eq + 1, t.size());
    line.valueEnd = trimBlanksBack(t, line.valueStart, t.size());
}

Document parse(QByteArray data)
{
    Document doc;
    if (data.startsWith(kBom)) {
        doc.encoding = Encoding::Utf8Bom;
        data.remove(0, kBom.size());
    } else if (hasNonAscii(data) && isValidUtf8(data)) {
        doc.encoding = Encoding::Utf8;
    }
    const qsizetype firstNl = data.indexOf('\n');
    if (firstNl >= 0)
        doc.eol = (firstNl > 0 && data[firstNl - 1] == '\r') ? QByteArray("\r\n") : QByteArray("\n");

    qsizetype pos = 0;
    while (pos < data.size()) {
        Line line;
        const qsizetype nl = data.indexOf('\n', pos);
        qsizetype end = nl < 0 ? data.size() : nl;
        if (nl >= 0) {
            if (end > pos && data[end - 1] == '\r') {
                --end;
                line.eol = "\r\n";
            } else {
                line.eol = "\n";
            }
        }
        line.text = data.mid(pos, end - pos);
        classify(line, doc.encoding);
        doc.lines.push_back(std::move(line));
        pos = nl < 0 ? data.size() : nl + 1;
    }
    return doc;
}

QByteArray serialize(const Document& doc)
{
    QByteArray out;
    if (doc.encoding == Encoding::Utf8Bom)
        out = kBom;
    for (const Line& l : doc.lines) {
        out += l.text;
        out += l.eol;
    }
    return out;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The line of the first occurrence of the key in the section, or -1.
qsizetype findKey(const Document& doc, const QString& section, const QString& key)
{
    bool inSection = false;
    for (qsizetype i = 0; i < qsizetype(doc.lines.size()); ++i) {
        const Line& l = doc.lines[i];
        if (l.kind == Kind::Section)
            inSection = sameName(l.name, section);
        else if (inSection && l.kind == Kind::Key && sameName(l.name, key))
            return i;
    }
    return -1;
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult readFile(const QString& path, QByteArray* data, QString* why, int* sysError = nullptr)
{
    QFileInfo info(path);
    if (!info.exists())
        return ReadResult::Missing;
    if (info.isDir()) {
        *why = QStringLiteral("it is a directory");
        if (sysError)
            *sysError = EISDIR;
        return ReadResult::Failed;
    }
    QFile f(path);
    errno = 0;
    if (!f.open(QIODevice::ReadOnly)) {
        if (sysError)
            *sysError = errno;
        *why = f.errorString();
        return ReadResult::Failed;
    }
    *data = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (sysError)
            *sysError = errno;
        *why = f.errorString();
        return ReadResult::Failed;
    }
    return ReadResult::Ok;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// The reason of a failed file operation by the system's error number.
QString systemReason(int e)
{
    switch (e) {
    case 0:
        return QStringLiteral("ошибка записи");
    case ENOENT:
        return QStringLiteral("нет такого файла или каталога");
    case ENOTDIR:
        return QStringLiteral("в пути к нему стоит файл вместо каталога");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав доступа");
    case EROFS:
        return QStringLiteral("диск доступен только для чтения");
    case ENOSPC:
        return QStringLiteral("на диске нет места");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("исчерпана дисковая квота");
#endif
    case EISDIR:
        return QStringLiteral("на его месте находится каталог");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("файл занят другой программой");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода");
    default:
        return QStringLiteral("системная ошибка %1").arg(e);
    }
}

bool hasLineBreak(const QString& s)
{
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

} // namespace

// ---------------------------------------------------------------------------
// Profile

QString Profile::defaultPath()
{
    return settingsPath(QCoreApplication::applicationDirPath(), QStringLiteral(SALDINA_INSTALL_BINDIR));
}

QString Profile::settingsPath(const QString& exeDir, const QString& installedBinDir)
{
    const QString beside = QDir(exeDir).filePath(QStringLiteral("prog.ini"));
    if (QFileInfo(beside).isFile())
        return beside;
    // The superuser may write /usr/bin: the installed program is known by its
    // directory, not only by the rights on it.
    const QFileInfo dir(exeDir);
    const QString installed = QFileInfo(installedBinDir).canonicalFilePath();
    const bool isInstalled = !installed.isEmpty() && dir.canonicalFilePath() == installed;
    if (!isInstalled && dir.isDir() && dir.isWritable())
        return beside;
    return userPath();
}

QString Profile::userPath()
{
    // GenericConfigLocation is $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/saldina/prog.ini");
}

bool Profile::createIfMissing(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (info.exists())
        return true;
    if (!QDir().mkpath(info.absolutePath()))
        return fail(error, QStringLiteral("Cannot make the directory %1").arg(QDir::toNativeSeparators(info.absolutePath())));
    QSaveFile out(path);
    const QByteArray bytes = QByteArray("[") + keys::Main + "]\r\n";
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return fail(error, QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), out.errorString()));
    return true;
}

QString Profile::readString(const QString& section, const QString& key, const QString& def) const
{
    if (section.trimmed().isEmpty() || key.trimmed().isEmpty())
        return def;
    QByteArray data;
    QString why;
    if (readFile(path_, &data, &why) != ReadResult::Ok)
        return def;
    const Document doc = parse(std::move(data));
    const qsizetype i = findKey(doc, section.trimmed(), key.trimmed());
    if (i < 0)
        return def;
    const Line& l = doc.lines[i];
    return decodeText(l.text.mid(l.valueStart, l.valueEnd - l.valueStart), doc.encoding);
}

int Profile::readInt(const QString& section, const QString& key, int def) const
{
    const QString v = readString(section, key, QString());
    qsizetype i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == QLatin1Char('-') || v[i] == QLatin1Char('+'))) {
        negative = v[i] == QLatin1Char('-');
        ++i;
    }
    const qsizetype digitsFrom = i;
    long long n = 0;
    for (; i < v.size() && v[i] >= QLatin1Char('0') && v[i] <= QLatin1Char('9'); ++i) {
        n = n * 10 + (v[i].unicode() - u'0');
        if (n > static_cast<long long>(INT_MAX) + 1)
            return def;
    }
    if (i == digitsFrom)
        return def;
    if (negative)
        n = -n;
    if (n > INT_MAX || n < INT_MIN)
        return def;
    return static_cast<int>(n);
}

QString russianText(const WriteFailure& f)
{
    QString reason;
    switch (f.reason) {
    case WriteFailure::Reason::None:
        break;
    case WriteFailure::Reason::BadName:
        reason = QStringLiteral("недопустимое имя раздела или параметра");
        break;
    case WriteFailure::Reason::LineBreak:
        reason = QStringLiteral("значение содержит перевод строки");
        break;
    case WriteFailure::Reason::Unreadable:
        reason = QStringLiteral("файл не удается прочитать (%1)").arg(systemReason(f.systemError));
        break;
    case WriteFailure::Reason::IsDirectory:
        reason = systemReason(EISDIR);
        break;
    case WriteFailure::Reason::Encoding:
        reason = QStringLiteral("в тексте есть знаки, которых нет в кодовой странице 1251");
        break;
    case WriteFailure::Reason::CannotWrite:
        reason = systemReason(f.systemError);
        break;
    }
    return QStringLiteral("Не удается записать файл %1: %2").arg(f.file, reason);
}

bool Profile::writeString(const QString& section, const QString& key, const QString& value,
                          QString* error, WriteFailure* failure) const
{
    const QString where = QStringLiteral("[%1] %2 in %3").arg(section, key, QDir::toNativeSeparators(path_));
    auto failed = [&](WriteFailure::Reason reason, int sysError, const QString& text) {
        if (failure)
            *failure = WriteFailure{reason, QDir::toNativeSeparators(path_), sysError};
        return fail(error, text);
    };
    if (section.trimmed().isEmpty() || hasLineBreak(section) || section.contains(QLatin1Char('['))
        || section.contains(QLatin1Char(']')))
        return failed(WriteFailure::Reason::BadName, 0,
                      QStringLiteral("Cannot write %1: the section name is not allowed").arg(where));
    if (key.trimmed().isEmpty() || hasLineBreak(key) || key.contains(QLatin1Char('='))
        || key.trimmed().startsWith(QLatin1Char(';')) || key.trimmed().startsWith(QLatin1Char('[')))
        return failed(WriteFailure::Reason::BadName, 0,
                      QStringLiteral("Cannot write %1: the key name is not allowed").arg(where));
    if (hasLineBreak(value))
        return failed(WriteFailure::Reason::LineBreak, 0,
                      QStringLiteral("Cannot write %1: the value contains a line break").arg(where));

    QByteArray data;
    QString why;
    int readError = 0;
    if (readFile(path_, &data, &why, &readError) == ReadResult::Failed)
        return failed(readError == EISDIR ? WriteFailure::Reason::IsDirectory : WriteFailure::Reason::Unreadable,
                      readError, QStringLiteral("Cannot write %1: the file cannot be read (%2)").arg(where, why));
    Document doc = parse(std::move(data));

    const auto encValue = encodeText(value, doc.encoding);
    const auto encKey = encodeText(key.trimmed(), doc.encoding);
    const auto encSection = encodeText(section.trimmed(), doc.encoding);
    if (!encValue || !encKey || !encSection)
        return failed(WriteFailure::Reason::Encoding, 0,
                      QStringLiteral("Cannot write %1: the text has characters that code page 1251 lacks").arg(where));

    auto newLine = [&](QByteArray text) {
        Line l;
        l.text = std::move(text);
        l.eol = doc.eol;
        return l;
    };
    auto& lines = doc.lines;

    const qsizetype found = findKey(doc, section.trimmed(), key.trimmed());
    if (found >= 0) {
        Line& l = lines[found];
        l.text = l.text.left(l.valueStart) + *encValue + l.text.mid(l.valueEnd);
    } else {
        qsizetype header = -1;
        for (qsizetype i = 0; i < qsizetype(lines.size()); ++i) {
            if (lines[i].kind == Kind::Section && sameName(lines[i].name, section.trimmed())) {
                header = i;
                break;
            }
        }
        if (header >= 0) {
            // After the last line of the section that is not blank or a
            // comment: what trails a section usually leads into the next one.
            qsizetype last = header;
            for (qsizetype i = header + 1; i < qsizetype(lines.size()) && lines[i].kind != Kind::Section; ++i) {
                if (lines[i].kind != Kind::Blank && lines[i].kind != Kind::Comment)
                    last = i;
            }
            if (lines[last].eol.isEmpty())
                lines[last].eol = doc.eol;
            lines.insert(lines.begin() + last + 1, newLine(*encKey + '=' + *encValue));
        } else {
            if (!lines.empty()) {
                if (lines.back().eol.isEmpty())
                    lines.back().eol = doc.eol;
                if (lines.back().kind != Kind::Blank)
                    lines.push_back(newLine({}));
            }
            lines.push_back(newLine('[' + *encSection + ']'));
            lines.push_back(newLine(*encKey + '=' + *encValue));
        }
    }

    // The system's error number is taken at once, before anything else can set it.
    QSaveFile out(path_);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly)) {
        const int e = errno;
        return failed(WriteFailure::Reason::CannotWrite, e, QStringLiteral("Cannot write %1: %2").arg(where, out.errorString()));
    }
    const QByteArray bytes = serialize(doc);
    errno = 0;
    if (out.write(bytes) != bytes.size()) {
        const int e = errno;
        const QString text = out.errorString();
        out.cancelWriting();
        return failed(WriteFailure::Reason::CannotWrite, e, QStringLiteral("Cannot write %1: %2").arg(where, text));
    }
    errno = 0;
    if (!out.commit()) {
        const int e = errno;
        return failed(WriteFailure::Reason::CannotWrite, e, QStringLiteral("Cannot write %1: %2").arg(where, out.errorString()));
    }
    return true;
}

} // namespace config
