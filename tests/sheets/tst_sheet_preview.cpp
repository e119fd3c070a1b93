// "Сохранить в Excel" in the preview: the name it offers and the files it writes.
#include "reports/model/report.h"
#include "reports/preview/preview.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace reports;

namespace {

class Rows : public DataSource {
public:
    QString name() const override { return QStringLiteral("m"); }
    void first() override { i_ = 0; }
    void next() override { ++i_; }
    bool eof() const override { return i_ >= 3; }
    QString displayText(const QString&) const override { return QString::number(i_ + 1) + QStringLiteral(",50"); }
    double number(const QString&) const override { return i_ + 1.5; }
    QVariant value(const QString&, QString* format) const override
    {
        *format = QStringLiteral("#0.00");
        return i_ + 1.5;
    }

private:
    int i_ = 0;
};

// Runs `inside` once the preview window is up (it must close it).
void whenPreview(std::function<void(PreviewWindow&)> inside)
{
    QTimer::singleShot(0, [inside] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<PreviewWindow*>(w); p && p->isVisible()) {
                QPointer<PreviewWindow> guard(p);
                inside(*p);
                if (guard && guard->isVisible())
                    guard->close();
                return;
            }
        whenPreview(inside);
    });
}

} // namespace

class TstSheetPreview : public QObject {
    Q_OBJECT

private slots:
    void saveAsExcel()
    {
        Rows m;
        Report r;
        r.setMaster(&m);
        r.title(10).addLabel("T", "Отчет").at(0, 0, 50, 8);
        r.detail(6).addDataText("A", "m", "A").at(0, 0, 40, 6);
        QTemporaryDir dir;
        QString answer, offered;
        int asked = 0;
        auto old = PreviewWindow::excelFileDialog();
        PreviewWindow::excelFileDialog() = [&](QWidget*, const QString& proposed) {
            ++asked;
            offered = proposed;
            return answer;
        };
        whenPreview([&](PreviewWindow& w) {
            QVERIFY(w.SaveExcelButton->isEnabled());
            QCOMPARE(w.SaveExcelButton->text(), QStringLiteral("Сохранить в Excel"));
            // Cancelled: nothing written.
            QTest::mouseClick(w.SaveExcelButton, Qt::LeftButton);
            QCOMPARE(asked, 1);
            QCOMPARE(offered, QStringLiteral("Остатки_ итог %1.xlsx").arg(QDate::currentDate().toString("dd.MM.yyyy")));
            // A name without suffix becomes a workbook; one ending in .csv a CSV file.
            answer = dir.filePath("book");
            QTest::mouseClick(w.SaveExcelButton, Qt::LeftButton);
            answer = dir.filePath("rows.csv");
            QTest::mouseClick(w.SaveExcelButton, Qt::LeftButton);
            QTest::mouseClick(w.ExitButton, Qt::LeftButton);
        });
        preview(r, PreviewMode::Ordinary, nullptr, QStringLiteral("Остатки: итог"));
        PreviewWindow::excelFileDialog() = old;
        QCOMPARE(asked, 3);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
        QFile book(dir.filePath("book.xlsx"));
        QVERIFY(book.open(QIODevice::ReadOnly));
        QVERIFY(book.read(2) == "PK");   // a zip container
        QFile csv(dir.filePath("rows.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(), QByteArray("Отчет\r\n1.50\r\n2.50\r\n3.50\r\n"));
    }
};

QTEST_MAIN(TstSheetPreview)
#include "tst_sheet_preview.moc"
