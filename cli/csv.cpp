#include "cli/csv.h"

namespace csv {

bool parse(const QByteArray& data, QVector<Record>& out, QString& error)
{
    QString s = QString::fromUtf8(data);
    if (s.startsWith(QChar(0xFEFF)))
        s.remove(0, 1);
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
