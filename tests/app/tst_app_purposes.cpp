// The main window's commands of the reports by purposes and of the
// financing of organizations: each toolbar button opens its report's
// dialog; "Отмена" runs nothing, "Сформировать" runs the report.
#include "app/forms.h"
#include "app/mainform.h"
#include "core/ui/messagebox.h"
#include "reports/pipeline/waitform.h"
#include "reports/preview/preview.h"
#include "reports/purposes/purposes_windows.h"
#include "tests/gui.h"
#include "tests/install.h"

#include <QAction>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

using namespace gui;

class AppPurposesTest : public QObject {
    Q_OBJECT

    Install in{{}, {.year = 0, .orgName = "Финансовое управление"}};

private slots:
    void initTestCase() { ui::setAnswerer(in.recorder()); }

    void reportButtons()
    {
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        int previews = 0;
        QString title;
        reports::setPreviewInterceptor([&](reports::Report&, const reports::PageSet& ps, reports::PreviewMode) {
            ++previews;
            title = ps.toText();
        });
        const struct {
            const char* button;
            QAction* menu;
            reports::TReportForm* form;
            QString caption;
        } commands[] = {
            {"RepButton4", MainForm->RepMenuButton4, MD3Form, "Поступления/расходы по назначениям"},
            {"RepButton6", MainForm->RepMenuButton6, MD6Form, "Движение средств по назначениям"},
            {"RepButton2", MainForm->RepMenuButton2, MDForm1, "Финансирование организаций"},
        };
        for (const auto& c : commands) {
            QCOMPARE(c.menu->text(), c.caption);
            QCOMPARE(c.form->windowTitle(), c.caption);
            auto* button = MainForm->findChild<QToolButton*>(c.button);
            QVERIFY(button);
            QCOMPARE(button->toolTip(), c.caption);
            QWidget* seen = nullptr;
            onNextModal(nullptr, [&](QWidget* w) {
                seen = w;
                QTest::keyClick(w, Qt::Key_Escape);
            });
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(seen, static_cast<QWidget*>(c.form));
            QCOMPARE(previews, 0);
        }
        for (const auto& c : commands) {
            const int before = previews;
            onNextModal(nullptr, [&](QWidget* w) { QTest::keyClick(w, Qt::Key_Return); });
            QTest::mouseClick(MainForm->findChild<QToolButton*>(c.button), Qt::LeftButton);
            QCOMPARE(previews, before + 1);
            QVERIFY(!WaitForm->isVisible());
        }
        QVERIFY(title.contains("Финансирование организаций"));
        reports::setPreviewInterceptor({});
        DestroyForms();
    }
};

QTEST_MAIN(AppPurposesTest)
#include "tst_app_purposes.moc"
