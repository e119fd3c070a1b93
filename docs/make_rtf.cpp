// Builds the user guide ReadMe.doc (a rich-text document, which word
// processors open under that name) from its plain-text source:
// "# " a title, "## " a heading, other lines paragraphs.
#include <QFile>
#include <QStringList>
#include <QTextStream>

static QString esc(const QString& s)
{
    QString out;
    for (QChar ch : s) {
        const ushort u = ch.unicode();
        if (ch == '\\' || ch == '{' || ch == '}')
            out += QLatin1Char('\\') + ch;
        else if (u < 128)
            out += ch;
        else
            out += QStringLiteral("\\u%1?").arg(short(u));
    }
    return out;
}

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly))
        return 1;
    const QStringList lines = QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'));
    QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}\\uc1\\fs22\n");
    for (const QString& l : lines) {
        if (l.startsWith(QLatin1String("# ")))
            rtf += QStringLiteral("{\\pard\\sb120\\sa200\\qc\\b\\fs32 %1\\par}\n").arg(esc(l.mid(2)));
        else if (l.startsWith(QLatin1String("## ")))
            rtf += QStringLiteral("{\\pard\\sb200\\sa80\\b\\fs26 %1\\par}\n").arg(esc(l.mid(3)));
        else if (!l.trimmed().isEmpty())
            rtf += QStringLiteral("{\\pard\\sa120\\fi360 %1\\par}\n").arg(esc(l));
    }
    rtf += QStringLiteral("}\n");
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    out.write(rtf.toLatin1());
    return 0;
}
