// Reports saved as sheets: the rows and cells made from a page set, and the
// XLSX and CSV files of saldina-cli read back by other programs' readers
// (openpyxl for XLSX, Python's csv module for CSV).
#include "reports/model/report.h"
#include "reports/model/sheet.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <set>

using namespace reports;

namespace {

// Rows of values in memory: texts, doubles and dates as the store gives them.
class ValueSource : public DataSource {
public:
    ValueSource(QString name, QStringList fields, QList<QVariantList> rows)
        : rows(std::move(rows)), name_(std::move(name)), fields_(std::move(fields)) {}
    QString name() const override { return name_; }
    void first() override { pos_ = 0; }
    void next() override { ++pos_; }
    bool eof() const override { return pos_ >= rows.size(); }
    QVariant at(const QString& f) const
    {
        const int i = int(fields_.indexOf(f));
        return eof() || i < 0 ? QVariant() : rows[pos_][i];
    }
    QString displayText(const QString& f) const override
    {
        const QVariant v = at(f);
        if (v.typeId() == QMetaType::Double)
            return QString::number(v.toDouble(), 'f', 2).replace('.', ',');
        if (v.typeId() == QMetaType::QDate)
            return v.toDate().toString("dd.MM.yyyy");
        return v.toString();
    }
    double number(const QString& f) const override { return at(f).toDouble(); }
    QVariant value(const QString& f, QString* format) const override
    {
        const QVariant v = at(f);
        if (v.typeId() == QMetaType::Double && format)
            *format = QStringLiteral("#0.00");
        return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::QDate ? v : QVariant();
    }
    QList<QVariantList> rows;

private:
    QString name_;
    QStringList fields_;
    int pos_ = 0;
};

struct Cell {
    int column;
    QChar type;   // n: number, d: date, s: text
    QVariant value;
};
using Rows = std::vector<std::vector<Cell>>;

QString python()
{
    // Debian's interpreter, where python3-openpyxl installs.
    return QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3") : QStringLiteral("python3");
}

// A file read back by Python: each row as [column, type, value] triples.
const char* const Reader = R"(
import csv, datetime, json, sys
kind, path = sys.argv[1], sys.argv[2]
rows = []
if kind == 'xlsx':
    import openpyxl
    ws = openpyxl.load_workbook(path).active
    for r in ws.iter_rows():
        row = []
        for c in r:
            v = c.value
            if v is None:
                continue
            if isinstance(v, datetime.datetime):
                row.append([c.column - 1, 'd', v.date().isoformat()])
            elif isinstance(v, (int, float)) and not isinstance(v, bool):
                row.append([c.column - 1, 'n', v])
            else:
                row.append([c.column - 1, 's', str(v)])
        rows.append(row)
else:
    with open(path, newline='', encoding='utf-8') as f:
        for r in csv.reader(f):
            rows.append([[i, 's', v] for i, v in enumerate(r) if v != ''])
print(json.dumps(rows))
)";

Rows readFile(const QString& kind, const QString& path, QString* error)
{
    QProcess p;
    p.start(python(), {"-c", QString::fromUtf8(Reader), kind, path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        *error = QString::fromUtf8(p.readAllStandardError());
        return {};
    }
    Rows rows;
    for (const QJsonValue& r : QJsonDocument::fromJson(p.readAllStandardOutput()).array()) {
        std::vector<Cell> row;
        for (const QJsonValue& c : r.toArray()) {
            const QJsonArray a = c.toArray();
            row.push_back({a[0].toInt(), a[1].toString().at(0), a[2].toVariant()});
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool openpyxlThere()
{
    QProcess p;
    p.start(python(), {"-c", "import openpyxl"});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct Run {
    int code;
    QString out, err;
};

Run cli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(SALDINA_CLI), args);
    if (!p.waitForFinished(300000))
        return {-1, {}, QStringLiteral("timed out")};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// The amounts a page set prints ("1234,56"), each as often as it prints.
std::multiset<qint64> amountsOf(const QString& text)
{
    static const QRegularExpression amount(QStringLiteral("^-?\\d+,\\d\\d$"));
    std::multiset<qint64> out;
    for (const QString& line : text.split('\n'))
        for (const QString& t : line.split('\t'))
            if (amount.match(t).hasMatch())
                out.insert(qRound64(QString(t).replace(',', '.').toDouble() * 100));
    return out;
}

qint64 cents(double v) { return qRound64(v * 100); }

} // namespace

class TstSheets : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString ini;

    // A report of three rows over two pages under a column header that
    // repeats, with a sum, a hook's number and page numbers.
    struct Paged {
        ValueSource m{"m",
                      {"Code", "Amount", "Day"},
                      {{"A-1", 10.5, QDate(2026, 1, 2)}, {"12,50", 2.25, QDate(2026, 2, 3)}, {"C, \"3\"", 1.0, QVariant()}}};
        Report r;
        Paged()
        {
            r.setMaster(&m);
            Band& title = r.title(20);
            title.addLabel("T1", "Заголовок").at(50, 0, 100, 8).withFont(16, true);
            title.addLabel("T2", "Слева").at(0, 10, 60, 5);
            title.addLabel("T3", "Справа").at(100, 10, 60, 5);
            Band& head = r.columnHeader(6);
            head.addLabel("H1", "Код").at(0, 0, 40, 6).framed(FrameAll).withFont(10, true);
            head.addLabel("H2", "Сумма").at(40, 0, 30, 6).framed(FrameAll);
            head.addLabel("H3", "Дата").at(70, 0, 30, 6).framed(FrameAll);
            Band& d = r.detail(120);   // two to a page
            d.addDataText("D1", "m", "Code").at(0, 0, 40, 5);
            d.addDataText("D2", "m", "Amount").at(40, 0, 30, 5).aligned(Align::Right);
            d.addDataText("D3", "m", "Day").at(71, 0, 30, 5);
            Band& s = r.summary(6);
            s.addLabel("S0", "Итого").at(0, 0, 40, 6);
            s.addExpression("S1", "SUM(m.Amount)").at(40, 0, 30, 6);
            s.addLabel("S2", "0").at(70, 0, 30, 6).onPrint = [](Item&, ItemPrint& p) { p.setNumber(3, "#0.0"); };
        }
    };

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        const Run r = cli({"init", tmp.filePath("demo"), "--demo"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        ini = tmp.filePath("demo/prog.ini");
    }

    // The rows and cells of a page set: the title's lines first, the column
    // header once, one row per band, numbers and dates as values, labels as
    // texts, no page numbers.
    void rowsAndCells()
    {
        Paged p;
        const PageSet pages = p.r.generate();
        QCOMPARE(pages.count(), 2);
        QVERIFY(pages.toText().count("Сумма") == 2);
        const Sheet sheet = makeSheet(pages);
        auto texts = [](const SheetRow& row) {
            QStringList out;
            for (const SheetCell& c : row.cells)
                out << QString::number(c.column) + ":" + c.text;
            return out.join(' ');
        };
        QStringList rows;
        for (const SheetRow& row : sheet.rows)
            rows << texts(row);
        // Columns start where the items of the bands below the title start:
        // 0, 40 and 70 (71 shares the column of 70); the title's texts go into the
        // columns they stand over.
        QCOMPARE(sheet.columnWidths.size(), size_t(3));
        QCOMPARE(rows, (QStringList{"1:Заголовок", "0:Слева 2:Справа", "0:Код 1:Сумма 2:Дата", "0:A-1 1:10,50 2:02.01.2026",
                                    "0:12,50 1:2,25 2:03.02.2026", "0:C, \"3\" 1:1,00", "0:Итого 1:13,75 2:3,0"}));
        const SheetRow& first = sheet.rows[3];
        QCOMPARE(first.cells[0].type, SheetCell::Type::Text);
        QCOMPARE(first.cells[1].type, SheetCell::Type::Number);
        QCOMPARE(first.cells[1].number, 10.5);
        QCOMPARE(first.cells[1].format, QStringLiteral("#0.00"));
        QCOMPARE(first.cells[2].type, SheetCell::Type::Date);
        QCOMPARE(QDate::fromJulianDay(qint64(first.cells[2].number)), QDate(2026, 1, 2));
        // A code that reads like a number stays a text.
        QCOMPARE(sheet.rows[4].cells[0].type, SheetCell::Type::Text);
        const SheetRow& sum = sheet.rows.back();
        QCOMPARE(sum.cells[1].type, SheetCell::Type::Number);
        QCOMPARE(sum.cells[1].number, 13.75);
        QCOMPARE(sum.cells[2].type, SheetCell::Type::Number);   // a hook's number
        QCOMPARE(sum.cells[2].format, QStringLiteral("#0.0"));
        QCOMPARE(sheet.rows[2].cells[0].frame, quint8(FrameAll));
        QVERIFY(sheet.styles && (*sheet.styles)[sheet.rows[2].cells[0].style].bold);
        QCOMPARE(sheetNumberFormat("#0.00"), QStringLiteral("0.00"));
        QCOMPARE(sheetNumberFormat(""), QString());

        // A hook that puts a text of its own over a number leaves a text.
        p.r.item("D2")->onPrint = [](Item&, ItemPrint& pr) { pr.text = "много"; };
        const Sheet hooked = makeSheet(p.r.generate());
        QCOMPARE(hooked.rows[3].cells[1].type, SheetCell::Type::Text);
        QCOMPARE(hooked.rows[3].cells[1].text, QStringLiteral("много"));

        // CSV: quoted where RFC 4180 asks, numbers with a point, ISO dates.
        const QByteArray csv = sheetCsv(sheet);
        QVERIFY2(csv.contains("A-1,10.50,2026-01-02\r\n"), csv.constData());
        QVERIFY2(csv.contains("12,50\",2.25,2026-02-03\r\n"), csv.constData());
        QVERIFY2(csv.contains("\"C, \"\"3\"\"\",1.00\r\n"), csv.constData());
        QVERIFY(!csv.contains("Страница"));
    }

    // The reports by personal accounts and the accounts print saved by the
    // command line: every amount of the pages is a number of the sheet and
    // every total the sum of its column's rows above it; the texts are there
    // as texts, page numbers not.
    void readBack_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("totals");   // at least
        QTest::newRow("accounts") << QStringList{"report", "accounts", "--from", "01.01.2026", "--to", "31.03.2026"} << 10;
        QTest::newRow("accounts-short") << QStringList{"report", "accounts-short"} << 3;
        QTest::newRow("accounts-short by purpose")
            << QStringList{"report", "accounts-short", "--law", "01*", "--from", "01.04.2026", "--to", "30.06.2026"} << 3;
        QTest::newRow("print accounts") << QStringList{"print", "accounts"} << 1;
        QTest::newRow("print organizations") << QStringList{"print", "organizations"} << 0;
    }

    void readBack()
    {
        QFETCH(QStringList, command);
        QFETCH(int, totals);
        if (!openpyxlThere())
            QSKIP("python3-openpyxl is not installed (scripts/deps.sh installs it)");
        const QStringList base = QStringList{"--ini", ini} + command;
        const Run text = cli(base + QStringList{"--text"});
        QVERIFY2(text.code == 0, qPrintable(text.err));
        const std::multiset<qint64> amounts = amountsOf(text.out);
        QCOMPARE(amounts.empty(), totals == 0);

        for (const QString kind : {"xlsx", "csv"}) {
            const QString file = tmp.filePath(command.join('_').remove(' ') + "." + kind);
            const Run saved = cli(base + QStringList{"--" + kind, file});
            QVERIFY2(saved.code == 0, qPrintable(saved.err));
            QString error;
            const Rows rows = readFile(kind, file, &error);
            QVERIFY2(!rows.empty(), qPrintable(error));

            // The numbers: typed in the workbook, with a point in CSV.
            static const QRegularExpression csvNumber(QStringLiteral("^-?\\d+\\.\\d\\d$"));
            auto number = [&](const Cell& c, double* v) {
                if (kind == "xlsx") {
                    *v = c.value.toDouble();
                    return c.type == 'n';
                }
                *v = c.value.toString().toDouble();
                return csvNumber.match(c.value.toString()).hasMatch();
            };
            std::multiset<qint64> numbers;
            QSet<QString> texts;
            std::map<int, double> running;   // per column, since its heading or its last total
            int checked = 0;
            for (const auto& row : rows) {
                bool total = false;
                for (const Cell& c : row)
                    if (c.type == 's' && c.value.toString() == QStringLiteral("Итого"))
                        total = true;
                for (const Cell& c : row) {
                    double v = 0;
                    if (number(c, &v)) {
                        numbers.insert(cents(v));
                        if (total) {
                            QVERIFY2(std::abs(running[c.column] - v) < 0.005,
                                     qPrintable(QStringLiteral("total %1 in column %2, rows above sum to %3")
                                                    .arg(v, 0, 'f', 2)
                                                    .arg(c.column)
                                                    .arg(running[c.column], 0, 'f', 2)));
                            ++checked;
                            running[c.column] = 0;
                        } else {
                            running[c.column] += v;
                        }
                    } else {
                        texts.insert(c.value.toString());
                        running[c.column] = 0;
                    }
                }
            }
            for (qint64 a : amounts)
                QVERIFY2(numbers.count(a) >= amounts.count(a),
                         qPrintable(QStringLiteral("%1: the amount %2 is not a number of the sheet").arg(kind).arg(a / 100.0, 0, 'f', 2)));
            QVERIFY2(checked >= totals, qPrintable(QStringLiteral("%1: %2 totals checked").arg(kind).arg(checked)));
            // The texts of the pages, but no page numbers.
            static const QRegularExpression skip(QStringLiteral("^(-?\\d+,\\d\\d|\\d\\d\\.\\d\\d\\.\\d{4}( \\d\\d:\\d\\d:\\d\\d)?)$"));
            for (const QString& line : text.out.split('\n'))
                for (QString t : line.split('\t')) {
                    t.remove('\f');
                    if (t.isEmpty() || skip.match(t).hasMatch())
                        continue;
                    if (t.startsWith(QStringLiteral("Страница ")))
                        QVERIFY2(!texts.contains(t), qPrintable(t));
                    else
                        QVERIFY2(texts.contains(t), qPrintable(kind + ": not in the sheet: " + t));
                }
        }
    }

    // The output options of saldina-cli: one of them, a file that cannot be written.
    void outputOptions()
    {
        Run r = cli({"--ini", ini, "report", "accounts-short", "--xlsx", tmp.filePath("a.xlsx"), "--text"});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains("give one of --pdf FILE, --text, --xlsx FILE, --csv FILE"), qPrintable(r.err));
        r = cli({"--ini", ini, "print", "purposes"});
        QCOMPARE(r.code, 2);
        r = cli({"--ini", ini, "report", "accounts-short", "--csv", tmp.filePath("no/such/dir/a.csv")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("не удается записать"), qPrintable(r.err));
        r = cli({"--ini", ini, "report", "accounts-short", "--xlsx", tmp.filePath("no/such/dir/a.xlsx")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("не удается записать"), qPrintable(r.err));
        r = cli({"--ini", ini, "print", "purposes", "--csv", tmp.filePath("p.csv")});
        QCOMPARE(r.code, 0);
        QFile f(tmp.filePath("p.csv"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(f.readAll()).contains(QStringLiteral("Код назначения,Краткое наименование,Полное наименование\r\n")));
    }
};

QTEST_MAIN(TstSheets)
#include "tst_sheets.moc"
