// The settings file: reading, writing one key, encodings and safe writes.
#include "core/datamodule/profile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using config::Profile;

namespace {

// Code page 1251 spellings of the Cyrillic words the tests use.
const QByteArray kPetrov1251("\xCF\xE5\xF2\xF0\xEE\xE2");         // Петров
const QByteArray kIvanov1251("\xC8\xE2\xE0\xED\xEE\xE2");         // Иванов
const QByteArray kGlavnaya1251("\xC3\xEB\xE0\xE2\xED\xE0\xFF");   // Главная
const QByteArray kImya1251("\xC8\xEC\xFF");                       // Имя
const QByteArray kYolka1251("\xA8\xEB\xEA\xE0");                  // Ёлка
const QByteArray kNastroyki1251("\xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8"); // настройки
const QByteArray kBom("\xEF\xBB\xBF");

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

bool isRoot()
{
    return ::geteuid() == 0;
}

} // namespace

class TestProfile : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString ini() const { return tmp.filePath(QStringLiteral("prog.ini")); }

private slots:
    void init()
    {
        QFile::remove(ini());
        QVERIFY(!QFile::exists(ini()));
    }

    void missingFileAndKeysGiveDefaults()
    {
        Profile p(ini());
        QCOMPARE(p.readString("Main", "Year", "dflt"), QString("dflt"));
        QCOMPARE(p.readInt("Main", "Year", 1999), 1999);
        QVERIFY(!QFile::exists(ini())); // reading creates nothing

        writeBytes(ini(), "[Main]\r\nYear=2004\r\nUserName=\r\n[Other]\r\nOrgName=X\r\n");
        QCOMPARE(p.readString("Main", "OrgName", "none"), QString("none")); // key of another section
        QCOMPARE(p.readString("Absent", "Year", "none"), QString("none"));
        QCOMPARE(p.readString("Main", "Absent", "none"), QString("none"));
        QCOMPARE(p.readString("", "Year", "none"), QString("none"));
        QCOMPARE(p.readString("Main", "", "none"), QString("none"));
        // Present but empty is not missing.
        QCOMPARE(p.readString("Main", "UserName", "none"), QString(""));
        QCOMPARE(p.readInt("Main", "UserName", 7), 7);
        QCOMPARE(p.readInt("Main", "Year", 0), 2004);

        // Nothing is kept between calls: a change by someone else is seen.
        writeBytes(ini(), "[Main]\r\nYear=2005\r\n");
        QCOMPARE(p.readInt("Main", "Year", 0), 2005);
        QFile::remove(ini());
        QCOMPARE(p.readInt("Main", "Year", 3), 3);
    }

    void lineRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QString none = QStringLiteral("<default>");

        QTest::newRow("blanks around key and value")
            << QByteArray("[Main]\n  \tYear \t=  \t2004 \t \n") << "Year" << "2004";
        QTest::newRow("blanks inside value kept") << QByteArray("[Main]\nOrgName= A  B \n") << "OrgName" << "A  B";
        QTest::newRow("equals and semicolon in value")
            << QByteArray("[Main]\nDataBaseDir = C:\\a=b;c ; d=e\n") << "DataBaseDir" << "C:\\a=b;c ; d=e";
        QTest::newRow("quotes are not stripped") << QByteArray("[Main]\nOrgName=\"X\"\n") << "OrgName" << "\"X\"";
        QTest::newRow("empty value") << QByteArray("[Main]\nYear=\n") << "Year" << "";
        QTest::newRow("comment is not a key") << QByteArray("[Main]\n;Year=1\n  ; Year=2\n") << "Year" << none;
        QTest::newRow("key before any section is ignored") << QByteArray("Year=1\n[Main]\n") << "Year" << none;
        QTest::newRow("garbage lines skipped")
            << QByteArray("[Main]\ngarbage here\n\x01\x02\n[broken\nYear=2004\n") << "Year" << "2004";
        QTest::newRow("unclosed bracket does not start a section")
            << QByteArray("[Main]\n[Other\nYear=2004\n") << "Year" << "2004";
        QTest::newRow("blanks in section header, text after it")
            << QByteArray("  [ Main ]  ; note\nYear=2004\n") << "Year" << "2004";
        QTest::newRow("key in a later section is not ours")
            << QByteArray("[Main]\nA=1\n[Other]\nYear=2004\n") << "Year" << none;
        QTest::newRow("no line ending at the end") << QByteArray("[Main]\r\nYear=2004") << "Year" << "2004";
        QTest::newRow("stray CR trimmed") << QByteArray("[Main]\r\r\nYear=2004\r\r\n") << "Year" << "2004";
        QTest::newRow("first of duplicate keys wins")
            << QByteArray("[Main]\nYear=1\nyear=2\nYEAR=3\n") << "Year" << "1";
        QTest::newRow("duplicate sections read as one")
            << QByteArray("[Main]\nA=1\n[Other]\nYear=9\n[main]\nYear=2\n") << "Year" << "2";
        QTest::newRow("empty key is never matched") << QByteArray("[Main]\n=5\n") << "Year" << none;
    }

    void lineRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        writeBytes(ini(), file);
        QCOMPARE(Profile(ini()).readString("Main", key, "<default>"), expected);
    }

    void readIntLikeWindows_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << QByteArray("2004") << 2004;
        QTest::newRow("negative") << QByteArray("-3") << -3;
        QTest::newRow("plus") << QByteArray("+7") << 7;
        QTest::newRow("blanks trimmed") << QByteArray("  42  ") << 42;
        QTest::newRow("leading digits") << QByteArray("12abc") << 12;
        QTest::newRow("stops at blank") << QByteArray("1 2") << 1;
        QTest::newRow("leading zeros") << QByteArray("007") << 7;
        QTest::newRow("no hex") << QByteArray("0x10") << 0;
        QTest::newRow("max") << QByteArray("2147483647") << 2147483647;
        QTest::newRow("min") << QByteArray("-2147483648") << int(-2147483647 - 1);
        QTest::newRow("non-numeric") << QByteArray("abc") << -1;
        QTest::newRow("sign only") << QByteArray("-") << -1;
        QTest::newRow("blank between sign and digits") << QByteArray("- 5") << -1;
        QTest::newRow("empty") << QByteArray("") << -1;
        QTest::newRow("too big") << QByteArray("2147483648") << -1;
        QTest::newRow("far too big") << QByteArray("99999999999999999999999") << -1;
        QTest::newRow("too small") << QByteArray("-2147483649") << -1;
        QTest::newRow("fullwidth digits are not digits") << QByteArray("\xEF\xBC\x95") << -1;
    }

    void readIntLikeWindows()
    {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        writeBytes(ini(), "[Main]\r\nYear=" + value + "\r\n");
        QCOMPARE(Profile(ini()).readInt("Main", "Year", -1), expected);
    }

    void caseInsensitiveLatinAndCyrillic()
    {
        // 1251 file with Cyrillic section and key names.
        writeBytes(ini(), "[" + kGlavnaya1251 + "]\r\n" + kImya1251 + "=" + kIvanov1251 + "\r\n"
                              "[mAiN]\r\nyEaR=2004\r\n");
        Profile p(ini());
        QCOMPARE(p.readString("MAIN", "YEAR"), QString("2004"));
        QCOMPARE(p.readString("main", "year"), QString("2004"));
        QCOMPARE(p.readString("ГЛАВНАЯ", "имя"), QString("Иванов"));
        QCOMPARE(p.readString("главная", "ИМЯ"), QString("Иванов"));

        // The key keeps its spelling when its value is replaced.
        QVERIFY(p.writeString("MAIN", "Year", "2005"));
        QVERIFY(p.writeString("гЛАВНАЯ", "иМЯ", "Петров"));
        QCOMPARE(readBytes(ini()), "[" + kGlavnaya1251 + "]\r\n" + kImya1251 + "=" + kPetrov1251 + "\r\n"
                                       "[mAiN]\r\nyEaR=2005\r\n");

        // Ё/ё are matched too, in UTF-8.
        writeBytes(ini(), QString("[Main]\nЁлка=1\n").toUtf8());
        QCOMPARE(p.readString("Main", "ёЛКА"), QString("1"));
    }

    void codePage1251Table()
    {
        // Bytes 0x80..0xFF as decoded by Python's cp1251, 0x98 taken as U+0098.
        const QString upper = QString::fromUtf16(
            u"\u0402\u0403\u201A\u0453\u201E\u2026\u2020\u2021\u20AC\u2030\u0409\u2039\u040A\u040C\u040B\u040F"
            u"\u0452\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u0098\u2122\u0459\u203A\u045A\u045C\u045B\u045F"
            u"\u00A0\u040E\u045E\u0408\u00A4\u0490\u00A6\u00A7\u0401\u00A9\u0404\u00AB\u00AC\u00AD\u00AE\u0407"
            u"\u00B0\u00B1\u0406\u0456\u0491\u00B5\u00B6\u00B7\u0451\u2116\u0454\u00BB\u0458\u0405\u0455\u0457"
            u"\u0410\u0411\u0412\u0413\u0414\u0415\u0416\u0417\u0418\u0419\u041A\u041B\u041C\u041D\u041E\u041F"
            u"\u0420\u0421\u0422\u0423\u0424\u0425\u0426\u0427\u0428\u0429\u042A\u042B\u042C\u042D\u042E\u042F"
            u"\u0430\u0431\u0432\u0433\u0434\u0435\u0436\u0437\u0438\u0439\u043A\u043B\u043C\u043D\u043E\u043F"
            u"\u0440\u0441\u0442\u0443\u0444\u0445\u0446\u0447\u0448\u0449\u044A\u044B\u044C\u044D\u044E\u044F");
        QCOMPARE(upper.size(), 128);
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        QString expected;
        for (int i = 0; i < 128; ++i)
            expected.append(QChar(i));
        expected += upper;

        QCOMPARE(config::cp1251::tableDecode(all), expected);
        QCOMPARE(config::cp1251::decode(all), expected);
        QCOMPARE(config::cp1251::tableEncode(expected), std::optional<QByteArray>(all));
        QCOMPARE(config::cp1251::encode(expected), std::optional<QByteArray>(all));

        // Characters outside the code page are refused, not replaced.
        for (const QString& s : {QString("a\u4E2Db"), QString("\u00FC"), QString("\u0100"), QString("\uFFFD")}) {
            QVERIFY2(!config::cp1251::tableEncode(s), qPrintable(s));
            QVERIFY2(!config::cp1251::encode(s), qPrintable(s));
        }
        qInfo("Qt converter for windows-1251 in this build: %s", config::cp1251::qtHasCodec() ? "yes" : "no");
    }

    void cp1251FileKeptByteForByte()
    {
        const QByteArray before = "; " + kNastroyki1251 + " \r\n"
                                  "\r\n"
                                  "[Main]\r\n"
                                  "DataBaseDir=C:\\" + kYolka1251 + "\\Base\r\n"
                                  "  Year = 2004  \r\n"
                                  "UserName=" + kIvanov1251 + "\r\n"
                                  "junk " + kIvanov1251 + "\r\n"
                                  "\r\n"
                                  "[" + kGlavnaya1251 + "]\r\n"
                                  "OrgName=" + kYolka1251 + "\r\n";
        writeBytes(ini(), before);
        Profile p(ini());
        QCOMPARE(p.readString("Main", "DataBaseDir"), QString("C:\\Ёлка\\Base"));
        QCOMPARE(p.readString("Главная", "OrgName"), QString("Ёлка"));

        QString error;
        QVERIFY2(p.writeString("Main", "UserName", "Петров", &error), qPrintable(error));
        QByteArray after = before;
        after.replace("UserName=" + kIvanov1251, "UserName=" + kPetrov1251);
        QCOMPARE(readBytes(ini()), after);
        QCOMPARE(p.readString("Main", "UserName"), QString("Петров"));

        // In place, with the blanks around the value as they were.
        QVERIFY(p.writeString("Main", "Year", "2005"));
        after.replace("  Year = 2004  \r\n", "  Year = 2005  \r\n");
        QCOMPARE(readBytes(ini()), after);

        // A character outside 1251 is refused and the file is left alone.
        QVERIFY(!p.writeString("Main", "OrgName", "\u4E2D", &error));
        QVERIFY2(error.contains("1251"), qPrintable(error));
        QCOMPARE(readBytes(ini()), after);
    }

    void utf8FileKeptWithBomAndLineEndings_data()
    {
        QTest::addColumn<bool>("bom");
        QTest::addColumn<QByteArray>("eol");
        QTest::newRow("BOM, CRLF") << true << QByteArray("\r\n");
        QTest::newRow("BOM, LF") << true << QByteArray("\n");
        QTest::newRow("no BOM, CRLF") << false << QByteArray("\r\n");
        QTest::newRow("no BOM, LF") << false << QByteArray("\n");
    }

    void utf8FileKeptWithBomAndLineEndings()
    {
        QFETCH(bool, bom);
        QFETCH(QByteArray, eol);
        const QByteArray head = bom ? kBom : QByteArray();
        const QByteArray body = QString("; настройки%1[Main]%1UserName=Иванов%1OrgName=ООО \"Ёлка\"%1")
                                    .arg(QString::fromLatin1(eol))
                                    .toUtf8();
        writeBytes(ini(), head + body);
        Profile p(ini());
        QCOMPARE(p.readString("Main", "UserName"), QString("Иванов"));
        // Not read as BOM junk in the first line.
        QCOMPARE(p.readString("main", "orgname"), QString("ООО \"Ёлка\""));

        QVERIFY(p.writeString("Main", "UserName", "Петров"));
        QVERIFY(p.writeString("Main", "Year", "2004"));
        // UTF-8 takes characters 1251 lacks.
        QVERIFY(p.writeString("Main", "LocalBaseDir", "D:\\中"));
        const QByteArray expected = head
            + QString("; настройки%1[Main]%1UserName=Петров%1OrgName=ООО \"Ёлка\"%1Year=2004%1LocalBaseDir=D:\\中%1")
                  .arg(QString::fromLatin1(eol))
                  .toUtf8();
        QCOMPARE(readBytes(ini()), expected);
        QCOMPARE(p.readString("Main", "LocalBaseDir"), QString("D:\\中"));
    }

    void encodingDetection()
    {
        Profile p(ini());
        // Invalid UTF-8 (a 1251 byte after valid UTF-8 text) makes the whole file 1251.
        writeBytes(ini(), "[Main]\nA=" + QString("Ё").toUtf8() + "\nB=" + kPetrov1251 + "\n");
        QCOMPARE(p.readString("Main", "B"), QString("Петров"));
        QCOMPARE(p.readString("Main", "A"), QString("\u0420\u0403")); // Ё's two UTF-8 bytes in 1251

        // An ASCII-only file is 1251, and keeps its LF endings.
        writeBytes(ini(), "[Main]\nYear=2004\n");
        QVERIFY(p.writeString("Main", "UserName", "Петров"));
        QCOMPARE(readBytes(ini()), "[Main]\nYear=2004\nUserName=" + kPetrov1251 + "\n");
        QCOMPARE(p.readString("Main", "UserName"), QString("Петров"));

        // An existing empty file takes the defaults: 1251 and CRLF.
        writeBytes(ini(), "");
        QVERIFY(p.writeString("Main", "UserName", "Петров"));
        QCOMPARE(readBytes(ini()), "[Main]\r\nUserName=" + kPetrov1251 + "\r\n");

        // A file of only a BOM stays UTF-8 with its BOM.
        writeBytes(ini(), kBom);
        QVERIFY(p.writeString("Main", "UserName", "Петров"));
        QCOMPARE(readBytes(ini()), kBom + QString("[Main]\r\nUserName=Петров\r\n").toUtf8());
    }

    // Byte sequences that are not UTF-8 must make the file 1251, or its
    // Cyrillic would be misread and rewritten in the wrong encoding.
    void notUtf8MeansCp1251_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("overlong slash") << QByteArray("\xC0\xAF");
        QTest::newRow("overlong 3-byte") << QByteArray("\xE0\x80\xAF");
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80");
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80");
        QTest::newRow("F5 lead") << QByteArray("\xF5\x80\x80\x80");
        QTest::newRow("lone continuation") << QByteArray("\x80");
        QTest::newRow("cut short at the end") << QByteArray("\xD0");
        QTest::newRow("cut short 4-byte") << QByteArray("\xF0\x9F\x98");
    }

    void notUtf8MeansCp1251()
    {
        QFETCH(QByteArray, bytes);
        writeBytes(ini(), "[Main]\nA=" + bytes);
        Profile p(ini());
        QCOMPARE(p.readString("Main", "A"), config::cp1251::tableDecode(bytes));
        QVERIFY(p.writeString("Main", "B", "Ё"));
        QCOMPARE(readBytes(ini()), "[Main]\nA=" + bytes + "\nB=\xA8\n");

        // The same file with valid 4-byte UTF-8 at the end is UTF-8.
        writeBytes(ini(), "[Main]\nA=\xF0\x9F\x98\x80");
        QCOMPARE(p.readString("Main", "A"), QString::fromUtf8("\xF0\x9F\x98\x80"));
    }

    void newFileIn1251WithCrlf()
    {
        Profile p(ini());
        QString error;
        QVERIFY2(p.writeString("Main", "UserName", "Петров", &error), qPrintable(error));
        QVERIFY(p.writeInt("Main", "Year", 2004));
        QVERIFY(p.writeString("Главная", "Имя", "Иванов"));
        QCOMPARE(readBytes(ini()), "[Main]\r\nUserName=" + kPetrov1251 + "\r\nYear=2004\r\n\r\n"
                                   "[" + kGlavnaya1251 + "]\r\n" + kImya1251 + "=" + kIvanov1251 + "\r\n");
        QCOMPARE(p.readInt("Main", "Year"), 2004);
        QCOMPARE(p.readString("главная", "имя"), QString("Иванов"));
        // Nothing but the file is left in the directory.
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"prog.ini"});
    }

    void keyAppendedInItsSection()
    {
        const QByteArray before = "; top\r\n"
                                  "[Main]\r\n"
                                  "DataBaseDir=C:\\Base\r\n"
                                  "garbage\r\n"
                                  "\r\n"
                                  "; about Other\r\n"
                                  "\r\n"
                                  "[Other]\r\n"
                                  "Year=1999\r\n"
                                  "[Empty]\r\n"
                                  "\r\n"
                                  "[Last]\r\n"
                                  "A=1";
        writeBytes(ini(), before);
        Profile p(ini());
        QVERIFY(p.writeString("Main", "Year", "2004"));   // after the garbage line, before the blanks
        QVERIFY(p.writeString("Empty", "K", "v"));        // right after its header
        QVERIFY(p.writeString("Last", "B", "2"));         // the unterminated last line gets its ending
        QVERIFY(p.writeString("New", "C", "3"));          // a new section at the end
        QCOMPARE(readBytes(ini()), QByteArray("; top\r\n"
                                              "[Main]\r\n"
                                              "DataBaseDir=C:\\Base\r\n"
                                              "garbage\r\n"
                                              "Year=2004\r\n"
                                              "\r\n"
                                              "; about Other\r\n"
                                              "\r\n"
                                              "[Other]\r\n"
                                              "Year=1999\r\n"
                                              "[Empty]\r\n"
                                              "K=v\r\n"
                                              "\r\n"
                                              "[Last]\r\n"
                                              "A=1\r\n"
                                              "B=2\r\n"
                                              "\r\n"
                                              "[New]\r\n"
                                              "C=3\r\n"));
        QCOMPARE(p.readString("Main", "Year"), QString("2004"));
        QCOMPARE(p.readString("Other", "Year"), QString("1999"));
    }

    void sectionCreatedAtEnd()
    {
        Profile p(ini());
        // Unterminated last line, then a file that already ends in a blank line.
        writeBytes(ini(), "[Other]\nA=1");
        QVERIFY(p.writeString("Main", "Year", "2004"));
        QCOMPARE(readBytes(ini()), QByteArray("[Other]\nA=1\n\n[Main]\nYear=2004\n"));

        writeBytes(ini(), "[Other]\r\nA=1\r\n\r\n");
        QVERIFY(p.writeString("Main", "Year", "2004"));
        QCOMPARE(readBytes(ini()), QByteArray("[Other]\r\nA=1\r\n\r\n[Main]\r\nYear=2004\r\n"));

        // A key under no section does not make the section exist.
        writeBytes(ini(), "Year=1\r\n");
        QVERIFY(p.writeString("Main", "Year", "2"));
        QCOMPARE(readBytes(ini()), QByteArray("Year=1\r\n\r\n[Main]\r\nYear=2\r\n"));
    }

    void duplicateKeysAndSections()
    {
        writeBytes(ini(), "[Main]\nYear=1\nyear=2\n[Other]\nUserName=x\n[MAIN]\nUserName=a\nUserName=b\n");
        Profile p(ini());
        QCOMPARE(p.readString("Main", "Year"), QString("1"));
        QCOMPARE(p.readString("Main", "UserName"), QString("a"));
        QVERIFY(p.writeString("Main", "Year", "10"));
        QVERIFY(p.writeString("Main", "UserName", "c"));
        QVERIFY(p.writeString("Main", "OrgName", "o")); // into the first occurrence of the section
        QCOMPARE(readBytes(ini()),
                 QByteArray("[Main]\nYear=10\nyear=2\nOrgName=o\n[Other]\nUserName=x\n[MAIN]\nUserName=c\nUserName=b\n"));
        QCOMPARE(p.readString("Main", "Year"), QString("10"));
        QCOMPARE(p.readString("Main", "UserName"), QString("c"));
    }

    void valuesWithSpecialCharacters()
    {
        Profile p(ini());
        const QString v = QStringLiteral("C:\\Data;Base=1 ; [x] \"q\" %ПУТЬ%");
        QVERIFY(p.writeString("Main", "DataBaseDir", v));
        QCOMPARE(p.readString("Main", "DataBaseDir"), v);
        QVERIFY(p.writeString("Main", "DataBaseDir", "a=b"));
        QCOMPARE(p.readString("Main", "DataBaseDir"), QString("a=b"));
        QVERIFY(p.writeString("Main", "DataBaseDir", ""));
        QCOMPARE(p.readString("Main", "DataBaseDir", "dflt"), QString(""));
        QCOMPARE(readBytes(ini()), QByteArray("[Main]\r\nDataBaseDir=\r\n"));
        // Blanks around a value do not survive, as with Windows.
        QVERIFY(p.writeString("Main", "DataBaseDir", "  x  "));
        QCOMPARE(p.readString("Main", "DataBaseDir"), QString("x"));
    }

    void badNamesAndValuesRefused()
    {
        const QByteArray before("[Main]\r\nYear=2004\r\n");
        writeBytes(ini(), before);
        Profile p(ini());
        struct Case {
            const char* section;
            const char* key;
            const char* value;
        };
        const Case cases[] = {
            {"", "Year", "1"},     {"  ", "Year", "1"},    {"Ma]in", "Year", "1"}, {"[Main", "Year", "1"},
            {"Ma\nin", "Year", "1"}, {"Main", "", "1"},     {"Main", "Ye=ar", "1"}, {"Main", "Ye\rar", "1"},
            {"Main", ";Year", "1"}, {"Main", "[Year]", "1"}, {"Main", "Year", "1\n[Evil]"},
            {"Main", "Year", "1\r"},
        };
        for (const Case& c : cases) {
            QString error;
            QVERIFY2(!p.writeString(c.section, c.key, c.value, &error), c.key);
            QVERIFY(!error.isEmpty());
            QCOMPARE(readBytes(ini()), before);
        }
    }

    void unwritableLocations()
    {
        QString error;
        // The directory does not exist.
        Profile missingDir(tmp.filePath("no/such/dir/prog.ini"));
        QVERIFY(!missingDir.writeString("Main", "Year", "2004", &error));
        QVERIFY2(error.contains("prog.ini") && error.contains("Year"), qPrintable(error));
        QVERIFY(!QFile::exists(tmp.filePath("no")));

        // The "directory" is a file.
        writeBytes(tmp.filePath("plain"), "x");
        error.clear();
        QVERIFY(!Profile(tmp.filePath("plain/prog.ini")).writeString("Main", "Year", "2004", &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readBytes(tmp.filePath("plain")), QByteArray("x"));

        // The path is a directory: it is neither read nor replaced.
        QVERIFY(QDir(tmp.path()).mkpath("adir"));
        error.clear();
        Profile dir(tmp.filePath("adir"));
        QCOMPARE(dir.readString("Main", "Year", "d"), QString("d"));
        QVERIFY(!dir.writeString("Main", "Year", "2004", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFileInfo(tmp.filePath("adir")).isDir());
    }

    // What failed, and the same in Russian for the windows.
    void writeFailuresInRussian()
    {
        struct Case {
            QString path;
            config::WriteFailure::Reason reason;
            QString said;
        };
        QVERIFY(QDir(tmp.path()).mkpath("adir"));
        writeBytes(tmp.filePath("plain"), "x");
        const QList<Case> cases{
            {tmp.filePath("no/such/dir/prog.ini"), config::WriteFailure::Reason::CannotWrite, "нет такого файла или каталога"},
            {tmp.filePath("plain/prog.ini"), config::WriteFailure::Reason::CannotWrite,
             "в пути к нему стоит файл вместо каталога"},
            {tmp.filePath("adir"), config::WriteFailure::Reason::IsDirectory, "на его месте находится каталог"},
        };
        for (const Case& c : cases) {
            config::WriteFailure f;
            QVERIFY(!Profile(c.path).writeString("Main", "Year", "2004", nullptr, &f));
            QCOMPARE(f.reason, c.reason);
            QCOMPARE(f.file, QDir::toNativeSeparators(c.path));
            QCOMPARE(config::russianText(f),
                     QStringLiteral("Не удается записать файл %1: %2").arg(QDir::toNativeSeparators(c.path), c.said));
        }
        config::WriteFailure f;
        writeBytes(tmp.filePath("cp.ini"), "[Main]\r\nName=\xC8\r\n");
        QVERIFY(!Profile(tmp.filePath("cp.ini")).writeString("Main", "OrgName", "\u4E2D", nullptr, &f));
        QCOMPARE(f.reason, config::WriteFailure::Reason::Encoding);
        QVERIFY(config::russianText(f).endsWith(": в тексте есть знаки, которых нет в кодовой странице 1251"));
        QVERIFY(Profile(tmp.filePath("cp.ini")).writeString("Main", "Year", "2004", nullptr, &f));
    }

    void readOnlyDirectoryAndFile()
    {
        if (isRoot())
            QSKIP("permissions do not bind the superuser");
        QTemporaryDir ro;
        const QString path = QDir(ro.path()).filePath("prog.ini");
        writeBytes(path, "[Main]\r\nYear=2004\r\n");

        // A read-only file is not replaced behind its owner's back.
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        QString error;
        QVERIFY(!Profile(path).writeString("Main", "Year", "2005", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));

        // A read-only directory: no temporary file can be made beside the file.
        QVERIFY(QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::ExeOwner));
        error.clear();
        QVERIFY(!Profile(path).writeString("Main", "Year", "2005", &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!Profile(QDir(ro.path()).filePath("new.ini")).writeString("Main", "Year", "1", &error));
        QVERIFY(QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(readBytes(path), QByteArray("[Main]\r\nYear=2004\r\n"));
    }

    // A build or a portable copy keeps prog.ini beside the executable as it
    // always did; the installed program keeps the user's own.
    void whereTheSettingsAre()
    {
        QTemporaryDir home, exe, installed;
        struct Env {
            QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
            bool hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
            ~Env()
            {
                qputenv("HOME", home);
                if (hadConfig)
                    qputenv("XDG_CONFIG_HOME", config);
                else
                    qunsetenv("XDG_CONFIG_HOME");
            }
        } keep;
        qputenv("HOME", home.path().toUtf8());
        qunsetenv("XDG_CONFIG_HOME");
        const QString user = home.path() + "/.config/saldina/prog.ini";
        QCOMPARE(Profile::userPath(), user);
        qputenv("XDG_CONFIG_HOME", (home.path() + "/conf").toUtf8());
        QCOMPARE(Profile::userPath(), home.path() + "/conf/saldina/prog.ini");
        qunsetenv("XDG_CONFIG_HOME");

        // A directory that can be written and is not the installed one: beside,
        // to be made there by the settings dialog, as today.
        const QString beside = QDir(exe.path()).filePath("prog.ini");
        QCOMPARE(Profile::settingsPath(exe.path(), installed.path()), beside);
        // The installed program's directory, which the superuser may write too,
        // also when named through a link.
        QCOMPARE(Profile::settingsPath(installed.path(), installed.path()), user);
        QVERIFY(QFile::link(installed.path(), exe.filePath("bin")));
        QCOMPARE(Profile::settingsPath(exe.filePath("bin"), installed.path()), user);
        // A prog.ini there wins: the installed program started with its own file.
        writeBytes(QDir(installed.path()).filePath("prog.ini"), "[Main]\r\nYear=2004\r\n");
        QCOMPARE(Profile::settingsPath(installed.path(), installed.path()), QDir(installed.path()).filePath("prog.ini"));
        QCOMPARE(Profile::settingsPath(exe.filePath("bin"), installed.path()), QDir(exe.filePath("bin")).filePath("prog.ini"));
        // A directory named prog.ini is no settings file.
        QVERIFY(QDir(exe.path()).mkdir("other"));
        QVERIFY(QDir(exe.filePath("other")).mkdir("prog.ini"));
        QCOMPARE(Profile::settingsPath(exe.filePath("other"), exe.filePath("other")), user);

        if (!isRoot()) {
            // A directory the user cannot write: the user's file.
            QTemporaryDir ro;
            QVERIFY(QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::ExeOwner));
            QCOMPARE(Profile::settingsPath(ro.path(), installed.path()), user);
            QVERIFY(QFile::setPermissions(ro.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
    }

    // The user's file made on the first start reads and writes as no file does.
    void userFileMadeOnFirstStart()
    {
        QTemporaryDir home;
        const QString made = home.filePath(".config/saldina/prog.ini");
        QString error;
        QVERIFY2(Profile::createIfMissing(made, &error), qPrintable(error));
        QCOMPARE(readBytes(made), QByteArray("[Main]\r\n"));
        const Profile p(made);
        QCOMPARE(p.readString("Main", "DataBaseDir", "Base2003\\"), QStringLiteral("Base2003\\"));
        QCOMPARE(p.readInt("Main", "Year", 2003), 2003);
        QVERIFY(p.writeString("Main", "UserName", "Петров"));
        QVERIFY(Profile(ini()).writeString("Main", "UserName", "Петров"));
        QCOMPARE(readBytes(made), readBytes(ini()));

        // An existing file is kept as it is.
        QVERIFY(Profile::createIfMissing(made, &error));
        QCOMPARE(readBytes(made), readBytes(ini()));

        // A file where the directory should be.
        writeBytes(home.filePath("file"), "x");
        QVERIFY(!Profile::createIfMissing(home.filePath("file/saldina/prog.ini"), &error));
        QVERIFY(error.contains(home.filePath("file")));
        QCOMPARE(readBytes(home.filePath("file")), QByteArray("x"));
    }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
