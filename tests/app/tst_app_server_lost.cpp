// The main window when the server goes away under it: one clear message for
// the failing entry, everything closed after it, and the settings dialog's
// OK connecting again.
#include "app/forms.h"
#include "app/mainform.h"
#include "app/uchfinchform.h"
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "core/ui/messagebox.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "tests/pgtest.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace gui;

namespace {

// The server ends the connection of every copy working on the installation's database.
void cutConnections(const Install& in)
{
    PGconn* pg = PQconnectdb(in.server.conninfo.toUtf8().constData());
    PGresult* r =
        PQexec(pg, "SELECT pg_terminate_backend(backend) FROM control.copies WHERE backend IN (SELECT pid FROM pg_stat_activity)");
    QCOMPARE(PQresultStatus(r), PGRES_TUPLES_OK);
    QVERIFY(PQntuples(r) > 0);
    PQclear(r);
    PQfinish(pg);
}

} // namespace

class AppServerLostTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Install> in;

    // Opens the kinds of income from the menu and adds `code` with Insert
    // in its list, as the user types it.
    void addKind(const QString& code)
    {
        bool typed = false;
        onNextModal(nullptr, [&](QWidget* list) {
            QCOMPARE(list, static_cast<QWidget*>(SumTypeSprForm));
            onNextModal(list, [&](QWidget* dlg) {
                QTest::keyClicks(QApplication::focusWidget(), code);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                typeText(QApplication::focusWidget(), "Продажа");
                typed = true;
                QTest::mouseClick(dlg->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
            });
            press(SumTypeSprForm->Grid, Qt::Key_Insert);
            press(SumTypeSprForm->Grid, Qt::Key_Escape);
        });
        MainForm->SumTypeMenu->trigger();
        QVERIFY(typed);
    }

private slots:
    void initTestCase()
    {
        qputenv("SALDINA_TEST_SERVER", pgConnInfo());
        in = std::make_unique<Install>(std::vector<TemplateRows>{{"SumTypeSpr", {{"000", "Прочие"}}}},
                                       Install::Setup{.year = 0, .orgName = "Финансовое управление"});
        ui::setAnswerer(in->recorder());
    }

    void lostConnection()
    {
        CreateForms(in->ini);
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        QVERIFY(DataBase1->isOpen());
        addKind("001");
        QVERIFY(in->said.empty());
        QVERIFY(DataBase1->SumTypeSprTable.findKey({"001"}));

        cutConnections(*in);
        addKind("002");
        // One message, the lost connection's; then nothing is open.
        QCOMPARE(in->said.size(), size_t(1));
        // (The book's entry form puts its own words for an unforeseen
        // failure before the store's text.)
        const QString year = QString::number(QDate::currentDate().year());
        const QString lost = "Нет связи с сервером базы данных (y" + year +
                             " (сервер)): terminating connection due to administrator command. Проверьте сеть и "
                             "сервер и откройте базу данных снова (меню Сервис\\Настройка).";
        QVERIFY2(in->said[0].text.endsWith(lost), qPrintable(in->said[0].text));
        QTRY_VERIFY(!DataBase1->isOpen());
        QVERIFY(!DataBase1->SumTypeSprTable.isOpen());
        QTest::qWait(50);
        QCOMPARE(in->said.size(), size_t(1));

        // The settings dialog's OK opens the year again on a new connection.
        TUchFinChForm* s = UchFinChForm;
        onNextModal(nullptr, [s](QWidget*) { pressIn(s->OkButton, Qt::Key_Return); });
        MainForm->FinOrgMenu->trigger();
        QCOMPARE(in->said.size(), size_t(1));
        QVERIFY(DataBase1->isOpen());
        QVERIFY(DataBase1->SumTypeSprTable.findKey({"001"}));
        QVERIFY(!DataBase1->SumTypeSprTable.findKey({"002"}));
        addKind("003");
        QCOMPARE(in->said.size(), size_t(1));
        QVERIFY(DataBase1->SumTypeSprTable.findKey({"003"}));
        DestroyForms();
    }
};

QTEST_MAIN(AppServerLostTest)
#include "tst_app_server_lost.moc"
