// The main window's commands of the reports over the codes: the toolbar
// button of the financing and credit remainders opens its dialog (its menu
// entry stays disabled); the totals by economic articles run at once from
// the menu and from the toolbar, for the year of the settings dialog.
#include "app/forms.h"
#include "app/mainform.h"
#include "app/uchfinchform.h"
#include "reports/codes/codes_windows.h"
#include "reports/pipeline/waitform.h"
#include "reports/preview/preview.h"
#include "core/ui/messagebox.h"
#include "tests/gui.h"
#include "tests/install.h"

#include <QAction>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace gui;

class AppCodesTest : public QObject {
    Q_OBJECT

    Install in{{{"cbc_spr", {{"0701901420001310000", "Сады"}, {"*************310000", "Зарплата"}}},
                {"law_spr", {{"031", "Дошкольное"}}},
                {"org_spr", {{"12345", "Детский сад"}}}},
               {.year = 0, .orgName = "Финансовое управление"}};

private slots:
    void initTestCase() { ui::setAnswerer(in.recorder()); }

    void commands()
    {
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        const int year = QDate::currentDate().year();
        DataBase1->T1.appendRecord({"00000000001", "031"});
        DataBase1->T2_2.appendRecord({"00000000001", "031", 25.0, QDate(year, 5, 5), "0701901420001310000", "12345"});
        QStringList seen;
        reports::setPreviewInterceptor([&](reports::Report&, const reports::PageSet& ps, reports::PreviewMode) {
            seen << ps.toText();
        });

        QVERIFY(!MainForm->RepMenuButton3->isEnabled());
        QWidget* dialog = nullptr;
        onNextModal(nullptr, [&](QWidget* w) {
            dialog = w;
            pressIn(MDForm2->ReportOkButton, Qt::Key_Return);
        });
        QTest::mouseClick(MainForm->findChild<QToolButton*>("RepButton3"), Qt::LeftButton);
        QCOMPARE(dialog, static_cast<QWidget*>(MDForm2));
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen[0].contains("0701901420001310000\tСады\t25,00\t0,00\t-25,00"), qPrintable(seen[0]));

        // No dialog: the pages at once, the quarter of May's expenditure.
        MainForm->RepMenuButton5->trigger();
        QCOMPARE(seen.size(), 2);
        QVERIFY2(seen[1].contains("Зарплата\t*************310000\t0,00\t0,00\t0,00\t0,00\t0,00\t0,00\t25,00\t0,00\t0,00\t25,00"),
                 qPrintable(seen[1]));
        QTest::mouseClick(MainForm->findChild<QToolButton*>("RepButton5"), Qt::LeftButton);
        QCOMPARE(seen.size(), 3);
        QVERIFY(!WaitForm->isVisible());
        reports::setPreviewInterceptor({});
        DestroyForms();
    }
};

QTEST_MAIN(AppCodesTest)
#include "tst_app_codes.moc"
