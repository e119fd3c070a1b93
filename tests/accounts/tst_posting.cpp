// One request from end to end through the whole program, with real keys and
// clicks: the accounts list from the main window, a new account, its ledger,
// a receipt posted, refused twice, an expenditure, a deletion, and the list
// showing the account's totals afterwards.
#include "forms.h"
#include "lichform.h"
#include "mainform.h"
#include "smed.h"
#include "datamodule/datamodule.h"
#include "ui/amountedit.h"
#include "ui/codeedit.h"
#include "ui/dateedit.h"
#include "ui/dbedit.h"
#include "ui/dbgrid.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

using store::Table;

namespace {

const QString Cbc = "0701901420001310000";

// Runs `act` on the next modal window above `below` once it is active.
void onNextModal(QWidget* below, std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act, below] {
        QWidget* m = QApplication::activeModalWidget();
        if (m && m != below && m->isVisible()) {
            timer->stop();
            timer->deleteLater();
            m->activateWindow();
            (void)QTest::qWaitForWindowActive(m, 1000);
            QPointer<QWidget> guard(m);
            act(m);
            // A check that failed inside leaves the window open: close it, so the test ends.
            if (guard && guard->isVisible())
                guard->close();
        }
    });
    timer->start();
}

void typeOver(QWidget* w, const QString& text)
{
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w, text);
}

void typeCode(TSegmentedEdit* e, const QStringList& parts)
{
    for (int k = 1; k <= e->segmentCount(); ++k)
        typeOver(e->segment(k), parts.value(k - 1));
}

const QStringList CbcParts = {"0701", "901", "420", "001", "310000"};

} // namespace

class OverviewTest : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString ini;

private slots:
    void initTestCase()
    {
        QApplication::setApplicationDisplayName("Сальдина");
        const QString dir = tmp.path(), orig = dir + "/DataBase/Orig";
        ini = dir + "/prog.ini";
        store::Session::createDatabase(orig, schema::Location::Year);
        store::Session::createDatabase(dir + "/Local", schema::Location::Work);
        store::Session s;
        s.setControlDir(dir + "/DataBase");
        s.addParam("USER NAME=setup");
        s.open();
        auto fill = [&](const char* name, const std::vector<QVariantList>& rows) {
            Table t(&s);
            t.setTableName(name);
            t.setDirectory(orig);
            t.open();
            for (const QVariantList& r : rows)
                t.appendRecord(r);
        };
        fill("cbc_spr", {{Cbc, "Детские сады"}});
        fill("law_spr", {{"03", "Образование"}, {"031", "Дошкольное"}});
        fill("org_spr", {{"100", "Сады"}, {"10001", "Сад №1"}});
        config::Profile p(ini);
        p.writeString("Main", "DataBaseDir", dir + "/DataBase/");
        p.writeInt("Main", "Year", QDate::currentDate().year());
        p.writeString("Main", "LocalBaseDir", dir + "/Local/");
    }

    void postingAReceipt()
    {
        ui::RecordingAnswerer said;
        CreateForms(ini);
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
        Table& t1 = DataBase1->T1;
        bool walked = false;

        onNextModal(MainForm, [&](QWidget* list) {
            QCOMPARE(list, static_cast<QWidget*>(LichForm));
            // A new account: Ins, its number and purpose, OK.
            onNextModal(list, [&](QWidget* dlg) {
                QCOMPARE(dlg, static_cast<QWidget*>(LichChForm));
                QTest::keyClicks(LichChForm->facebillEdit, "01000000011");
                typeCode(LichChForm->LawEditField, {"03", "1"});
                QCOMPARE(LichChForm->LawDBView->text(), QStringLiteral("Дошкольное"));
                QTest::mouseClick(LichChForm->OkButton, Qt::LeftButton);
            });
            QTest::keyClick(LichForm->LichRxDBGrid, Qt::Key_Insert);
            QCOMPARE(t1.recordCount(), 1);
            QCOMPARE(t1.fieldByName("LawRef").asString(), QStringLiteral("031"));

            // Its ledger: Enter on the list.
            onNextModal(list, [&](QWidget* w) {
                QCOMPARE(w, static_cast<QWidget*>(SmEd));
                accounts::TSmEd& l = *SmEd;
                QVERIFY(l.InAmountEdit->hasFocus());
                typeOver(l.InAmountEdit, "1500,25");
                QTest::keyClick(l.InAmountEdit, Qt::Key_Return);
                QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(l.InDateEdit));
                typeOver(l.InDateEdit, "15.02." + QString::number(QDate::currentDate().year()));
                typeCode(l.InCBCEditField, CbcParts);
                typeCode(l.InLawEditField, {"03", "1"});
                QTest::mouseClick(l.InOkBtn, Qt::LeftButton);
                QCOMPARE(DataBase1->T2_1.recordCount(), 1);
                QCOMPARE(t1.fieldByName("InAmount").asFloat(), 1500.25);
                QCOMPARE(t1.fieldByName("Remainder").asFloat(), 1500.25);
                QCOMPARE(l.InAmountDBText->text(), QStringLiteral("1500,25"));
                QCOMPARE(l.InAmountEdit->text(), QStringLiteral("0,00"));
                QVERIFY(!l.InOkBtn->isEnabled());

                // The same receipt again: the key-violation message, totals unchanged.
                said.clear();
                typeOver(l.InAmountEdit, "1500,25");
                QTest::mouseClick(l.InOkBtn, Qt::LeftButton);
                QCOMPARE(said.texts(), QStringList({"Такое начисление уже внесено. Добавте указанную сумму к уже "
                                                    "внесенному начислениею. SmetEd.InOkBtnClick:Key violation."}));
                QCOMPARE(DataBase1->T2_1.recordCount(), 1);
                QCOMPARE(t1.fieldByName("InAmount").asFloat(), 1500.25);

                // A purpose missing from the book: the lookup message.
                said.clear();
                typeOver(l.InAmountEdit, "10");
                typeCode(l.InLawEditField, {"09", "9"});
                QTest::mouseClick(l.InOkBtn, Qt::LeftButton);
                QCOMPARE(said.count(), 1);
                QVERIFY(said.last().text.startsWith("Введено значение, которое не содержится в справочниках. Добавте "
                                                    "его в справочник. SmetEd.InOkBtnClick:"));
                QCOMPARE(DataBase1->T2_1.recordCount(), 1);

                // An expenditure of an organization.
                typeOver(l.OutAmountEdit, "500");
                typeCode(l.OutOrgEditField, {"100", "01"});
                typeCode(l.OutCBCEditField, CbcParts);
                typeCode(l.OutLawEditField, {"03", "1"});
                QTest::mouseClick(l.OutOkBtn, Qt::LeftButton);
                QCOMPARE(t1.fieldByName("OutAmount").asFloat(), 500.0);
                QCOMPARE(t1.fieldByName("Remainder").asFloat(), 1000.25);
                QCOMPARE(l.RemainderDBText->text(), QStringLiteral("1000,25"));

                // Deleting the receipt: the totals follow.
                QTest::mouseClick(l.InCancelBtn, Qt::LeftButton);
                QCOMPARE(DataBase1->T2_1.recordCount(), 0);
                QCOMPARE(t1.fieldByName("InAmount").asFloat(), 0.0);
                QCOMPARE(t1.fieldByName("Remainder").asFloat(), -500.0);
                QTest::keyClick(w, Qt::Key_Escape);
            });
            QTest::keyClick(LichForm->LichRxDBGrid, Qt::Key_Return);
            QVERIFY(!SmEd->isVisible());
            // The list stands on the account and shows its totals.
            QCOMPARE(t1.fieldByName("Facebill").asString(), QStringLiteral("01000000011"));
            const auto* m = LichForm->LichRxDBGrid->model();
            QCOMPARE(m->index(0, 2).data().toString(), QStringLiteral("0,00"));
            QCOMPARE(m->index(0, 3).data().toString(), QStringLiteral("500,00"));
            QCOMPARE(m->index(0, 4).data().toString(), QStringLiteral("-500,00"));
            // The totals (F2; the key itself is the list's own test).
            LichForm->CalcItogSumMenu->trigger();
            QCOMPARE(LichForm->RemainderAllV->text(), QStringLiteral("-500,00"));
            walked = true;
            QTest::keyClick(list, Qt::Key_Escape);
        });
        QTest::keyClick(MainForm, Qt::Key_F2);
        QVERIFY(walked);
        QVERIFY(!LichForm->isVisible());
        DestroyForms();
    }
};

QTEST_MAIN(OverviewTest)
#include "tst_overview.moc"
