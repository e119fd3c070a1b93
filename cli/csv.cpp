#include "cli/csv.h"

#include "core/datamodule/profile.h"

namespace csv {

namespace {

// Offset of the first byte that does not begin a well-formed UTF-8 sequence
// (no overlong forms, surrogates or code points past U+10FFFF), or -1.
qsizetype invalidUtf8(const QByteArray& data)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        int len = 0;
        unsigned lo = 0x80, hi = 0xBF;   // range of the second byte
        if (b < 0x80)
            len = 1;
        else if (b >= 0xC2 && b <= 0xDF)
            len = 2;
        else if (b == 0xE0)
            len = 3, lo = 0xA0;
        else if (b >= 0xE1 && b <= 0xEC)
            len = 3;
        else if (b == 0xED)
            len = 3, hi = 0x9F;
        else if (b >= 0xEE && b <= 0xEF)
            len = 3;
        else if (b == 0xF0)
            len = 4, lo = 0x90;
        else if (b >= 0xF1 && b <= 0xF3)
            len = 4;
        else if (b == 0xF4)
            len = 4, hi = 0x8F;
        else
            return i;
        if (i + len > n)
            return i;
        for (int k = 1; k < len; ++k) {
            const unsigned c = p[i + k];
            if (k == 1 ? (c < lo || c > hi) : (c < 0x80 || c > 0xBF))
                return i;
        }
        i += len;
    }
    return -1;
}

int lineAt(const QByteArray& data, qsizetype offset) { return int(data.left(offset).count('\n')) + 1; }

int lineAt(const QString& text, qsizetype offset) { return int(text.left(offset).count(QLatin1Char('\n'))) + 1; }

} // namespace

bool decode(const QByteArray& data, QString& text, QString& error)
{
    const bool bom = data.startsWith("\xEF\xBB\xBF");
    const QByteArray body = bom ? data.mid(3) : data;
    const qsizetype bad = invalidUtf8(body);
    if (bad < 0) {
        text = QString::fromUtf8(body);
    } else if (bom) {
        error = QStringLiteral("строка %1: файл начинается с метки UTF-8, но это не текст UTF-8").arg(lineAt(body, bad));
        return false;
    } else {
        text = config::cp1251::decode(body);
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u == 0 || u == 0xFFFD || (u >= 0x80 && u <= 0x9F)) {
            error = QStringLiteral("строка %1: знак U+%2 — текст не в UTF-8 и не в кодировке Windows-1251")
                        .arg(lineAt(text, i))
                        .arg(QString::number(uint(u), 16).toUpper().rightJustified(4, QLatin1Char('0')));
            return false;
        }
    }
    return true;
}

bool parse(const QByteArray& data, QVector<Record>& out, QString& error)
{
    QString s;
    if (!decode(data, s, error))
        return false;
    int line = 1;
    int i = 0;
    const int n = int(s.size());
    while (i < n) {
        Record rec;
        rec.line = line;
        QString cur;
        bool quotedField = false;
        for (;;) {
            if (i < n && s[i] == QLatin1Char('"') && cur.isEmpty() && !quotedField) {
                quotedField = true;
                ++i;
                for (;;) {
                    if (i >= n) {
                        error = QStringLiteral("строка %1: нет закрывающей кавычки").arg(rec.line);
                        return false;
                    }
                    if (s[i] == QLatin1Char('"')) {
                        if (i + 1 < n && s[i + 1] == QLatin1Char('"')) {
                            cur += QLatin1Char('"');
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (s[i] == QLatin1Char('\n'))
                        ++line;
                    cur += s[i++];
                }
                if (i < n && s[i] != QLatin1Char(',') && s[i] != QLatin1Char('\r') && s[i] != QLatin1Char('\n')) {
                    error = QStringLiteral("строка %1: лишний текст после кавычки").arg(line);
                    return false;
                }
                continue;
            }
            if (i >= n || s[i] == QLatin1Char('\n') || s[i] == QLatin1Char('\r')) {
                rec.fields << cur;
                if (i < n && s[i] == QLatin1Char('\r'))
                    ++i;
                if (i < n && s[i] == QLatin1Char('\n'))
                    ++i;
                ++line;
                break;
            }
            if (s[i] == QLatin1Char(',')) {
                rec.fields << cur;
                cur.clear();
                quotedField = false;
                ++i;
                continue;
            }
            if (quotedField) {
                error = QStringLiteral("строка %1: лишний текст после кавычки").arg(line);
                return false;
            }
            cur += s[i++];
        }
        // A blank line between records is no record.
        if (!(rec.fields.size() == 1 && rec.fields[0].isEmpty() && !quotedField))
            out << rec;
    }
    return true;
}

QString field(const QString& value)
{
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\n')) &&
        !value.contains(QLatin1Char('\r')))
        return value;
    QString v = value;
    v.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

QString line(const QStringList& fields)
{
    QStringList q;
    for (const auto& f : fields)
        q << field(f);
    return q.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

} // namespace csv
