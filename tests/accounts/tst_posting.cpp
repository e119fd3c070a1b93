// Postings from end to end through the whole program, with real keys and
// clicks: the accounts list from the main window, a new account, its ledger,
// receipts and expenditures posted, refused and deleted; postings after the
// list's totals (F2) on other accounts than the first; a ledger used while a
// report's preview is open. Each time the stored totals of every account are
// compared with the sums of its stored postings.
#include "app/forms.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "accounts/lichform.h"
#include "app/mainform.h"
#include "reports/accounts/accounts_windows.h"
#include "reports/preview/preview.h"
#include "accounts/smed.h"
#include "core/datamodule/datamodule.h"
#include "core/ui/amountedit.h"
#include "core/ui/codeedit.h"
#include "core/ui/dateedit.h"
#include "core/ui/dbedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/messagebox.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <functional>

using namespace gui;
using store::Table;

namespace {

const QString Cbc = "0701901420001310000";
const QStringList CbcParts = {"0701", "901", "420", "001", "310000"};
const QString A = "01000000011", B = "02000000021", C = "03000000031";

QString thisYear(const char* dayMonth) { return QString::fromLatin1(dayMonth) + QString::number(QDate::currentDate().year()); }
QDate inYear(int m, int d) { return QDate(QDate::currentDate().year(), m, d); }

const std::vector<TemplateRows> Books = {
    {"cbc_spr", {{Cbc, "Детские сады"}}},
    {"law_spr", {{"03", "Образование"}, {"031", "Дошкольное"}, {"032", "Общее"}}},
    {"org_spr", {{"100", "Сады"}, {"10001", "Сад №1"}, {"200", "Школы"}, {"20001", "Школа №1"}}},
};

// Three accounts with a receipt and an expenditure each, their totals kept.
std::vector<TemplateRows> threeAccounts()
{
    std::vector<TemplateRows> r = Books;
    r.push_back({"t1", {{A, "031", 1000.0, 100.0, 900.0}, {B, "032", 2000.0, 200.0, 1800.0}, {C, "031", 3000.0, 300.0, 2700.0}}});
    r.push_back({"t2_1", {{A, "031", 1000.0, inYear(1, 10), Cbc}, {B, "032", 2000.0, inYear(1, 11), Cbc},
                          {C, "031", 3000.0, inYear(1, 12), Cbc}}});
    r.push_back({"t2_2", {{A, "031", 100.0, inYear(2, 10), Cbc, "10001"}, {B, "032", 200.0, inYear(2, 11), Cbc, "20001"},
                          {C, "031", 300.0, inYear(2, 12), Cbc, "10001"}}});
    return r;
}

// Every account's stored totals against the sums of its stored postings,
// read through a session of its own, whatever view the program's tables
// stand in.
void checkTotals(const Install& in, const QMap<QString, std::pair<double, double>>& expected)
{
    store::Session s;
    s.setControlDir(in.dir + "/DataBase");
    s.setServer(in.server.conninfo);
    s.addParam("USER NAME=checker");
    s.open();
    auto open = [&](const char* name) {
        auto t = std::make_unique<Table>(&s);
        t->setTableName(name);
        t->setDirectory(in.year(QDate::currentDate().year()));
        t->open();
        return t;
    };
    auto t1 = open("t1"), t21 = open("t2_1"), t22 = open("t2_2");
    int seen = 0;
    for (t1->first(); !t1->eof(); t1->next(), ++seen) {
        const QString bill = t1->fieldByName("Facebill").asString();
        const double inSum = t21->storedTotal("Amount", "FaceBill", bill);
        const double outSum = t22->storedTotal("Amount", "Facebill", bill);
        QCOMPARE(t1->fieldByName("InAmount").asFloat(), inSum);
        QCOMPARE(t1->fieldByName("OutAmount").asFloat(), outSum);
        QCOMPARE(t1->fieldByName("Remainder").asFloat(), inSum - outSum);
        if (expected.contains(bill)) {
            QCOMPARE(inSum, expected[bill].first);
            QCOMPARE(outSum, expected[bill].second);
        }
    }
    QCOMPARE(seen, t1->recordCount());
}

// A receipt typed into the ledger as an accountant types it, and added.
void postReceipt(accounts::TSmEd& l, const QString& amount, const char* dayMonth)
{
    QVERIFY(l.InAmountEdit->hasFocus());
    typeOver(l.InAmountEdit, amount);
    QTest::keyClick(l.InAmountEdit, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(l.InDateEdit));
    typeOver(l.InDateEdit, thisYear(dayMonth));
    typeCode(l.InCBCEditField, CbcParts);
    typeCode(l.InLawEditField, {"03", "1"});
    QTest::mouseClick(l.InOkBtn, Qt::LeftButton);
}

QToolButton* toolButton(const char* name) { return MainForm->findChild<QToolButton*>(name); }

} // namespace

class PostingTest : public QObject {
    Q_OBJECT

private slots:
    void postingAReceipt()
    {
        Install in(Books, 0);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        Table& t1 = DataBase1->T1;
        bool walked = false;

        onNextModal(MainForm, [&](QWidget* list) {
            QCOMPARE(list, static_cast<QWidget*>(LichForm));
            // A new account: Ins, its number and purpose, OK.
            onNextModal(list, [&](QWidget* dlg) {
                QCOMPARE(dlg, static_cast<QWidget*>(LichChForm));
                QTest::keyClicks(LichChForm->facebillEdit, A);
                typeCode(LichChForm->LawEditField, {"03", "1"});
                QCOMPARE(LichChForm->LawDBView->text(), QStringLiteral("Дошкольное"));
                QTest::mouseClick(LichChForm->OkButton, Qt::LeftButton);
            });
            press(LichForm->LichRxDBGrid, Qt::Key_Insert);
            QCOMPARE(t1.recordCount(), 1);
            QCOMPARE(t1.fieldByName("LawRef").asString(), QStringLiteral("031"));

            // Its ledger: Enter on the list.
            onNextModal(list, [&](QWidget* w) {
                QCOMPARE(w, static_cast<QWidget*>(SmEd));
                accounts::TSmEd& l = *SmEd;
                postReceipt(l, "1500,25", "15.02.");
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
            press(LichForm->LichRxDBGrid, Qt::Key_Return);
            QVERIFY(!SmEd->isVisible());
            // The list stands on the account and shows its totals.
            QCOMPARE(t1.fieldByName("Facebill").asString(), A);
            const auto* m = LichForm->LichRxDBGrid->model();
            QCOMPARE(m->index(0, 2).data().toString(), QStringLiteral("0,00"));
            QCOMPARE(m->index(0, 3).data().toString(), QStringLiteral("500,00"));
            QCOMPARE(m->index(0, 4).data().toString(), QStringLiteral("-500,00"));
            // The totals, by their key.
            press(LichForm->LichRxDBGrid, Qt::Key_F2);
            QCOMPARE(LichForm->RemainderAllV->text(), QStringLiteral("-500,00"));
            walked = true;
            QTest::keyClick(list, Qt::Key_Escape);
        });
        press(MainForm, Qt::Key_F2);
        QVERIFY(walked);
        QVERIFY(!LichForm->isVisible());
        DestroyForms();
        checkTotals(in, {{A, {0.0, 500.0}}});
    }

    // The totals walk of the list leaves the accounts' table on the account
    // it stood on, and nothing later moves it: each posting lands on the
    // account whose ledger is open, and that account's totals are recounted.
    void postingsAfterTheListTotals()
    {
        Install in(threeAccounts(), 0);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        Table& t1 = DataBase1->T1;
        int posted = 0;

        onNextModal(MainForm, [&](QWidget* list) {
            ui::DBGrid* grid = LichForm->LichRxDBGrid;
            press(grid, Qt::Key_F2);
            QCOMPARE(LichForm->InAllV->text(), QStringLiteral("6000,00"));
            QCOMPARE(LichForm->RemainderAllV->text(), QStringLiteral("5400,00"));
            QCOMPARE(t1.fieldByName("Facebill").asString(), A);

            // The second account, then the last one: a receipt in each ledger.
            for (const auto& [key, bill, amount] :
                 {std::tuple{Qt::Key_Down, B, QStringLiteral("50")}, std::tuple{Qt::Key_End, C, QStringLiteral("70")}}) {
                press(grid, key, key == Qt::Key_End ? Qt::ControlModifier : Qt::NoModifier);
                QCOMPARE(t1.fieldByName("Facebill").asString(), bill);
                onNextModal(list, [&, bill = bill, amount = amount](QWidget* w) {
                    accounts::TSmEd& l = *SmEd;
                    QCOMPARE(l.FacebillDBText->text(), bill);
                    postReceipt(l, amount, "20.03.");
                    QCOMPARE(said.count(), 0);
                    // The header still shows the opened account, now with its new total.
                    QCOMPARE(l.FacebillDBText->text(), bill);
                    QCOMPARE(t1.fieldByName("Facebill").asString(), bill);
                    QCOMPARE(DataBase1->T2_1.recordCount(), 2);
                    ++posted;
                    QTest::keyClick(w, Qt::Key_Escape);
                });
                press(grid, Qt::Key_Return);
                QCOMPARE(t1.fieldByName("Facebill").asString(), bill);
            }
            press(grid, Qt::Key_F2);
            QCOMPARE(LichForm->InAllV->text(), QStringLiteral("6120,00"));
            QTest::keyClick(list, Qt::Key_Escape);
        });
        press(MainForm, Qt::Key_F2);
        QCOMPARE(posted, 2);
        DestroyForms();
        checkTotals(in, {{A, {1000.0, 100.0}}, {B, {2050.0, 200.0}}, {C, {3070.0, 300.0}}});
    }

    // A report by personal accounts selected by organization stays in its
    // preview while the user opens an account's ledger from the main window:
    // the ledger sees all the account's postings, the list its own purposes,
    // the recount sums every posting, and printing from the preview prints
    // the pages it showed.
    void ledgerWhileAReportIsPreviewed()
    {
        Install in(threeAccounts(), 0);
        ui::RecordingAnswerer said;
        CreateForms(in.ini);
        MainForm->show();
        QVERIFY(activate(MainForm));
        Table& t1 = DataBase1->T1;
        bool previewed = false;
        QTemporaryDir out;

        auto oldPrint = reports::PreviewWindow::printDialog();
        reports::PreviewWindow::printDialog() = [&](QPrinter& p, int, QWidget*) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(out.path() + "/printed.pdf");
            return true;
        };

        // The selection: organizations of group 100 only.
        onNextModal(MainForm, [&](QWidget* dlg) {
            QCOMPARE(dlg, static_cast<QWidget*>(MDForm));
            QTest::mouseClick(MDForm->OrgCheckBox, Qt::LeftButton);
            typeCode(MDForm->OrgEditField, {"100", "**"});
            // The preview, an ordinary window, once it shows.
            auto* timer = new QTimer;
            timer->setInterval(20);
            QObject::connect(timer, &QTimer::timeout, [&, timer] {
                auto* w = qobject_cast<reports::PreviewWindow*>(QApplication::activeWindow());
                if (!w || !w->isVisible() || w->pages().count() == 0)
                    return;
                timer->stop();
                timer->deleteLater();
                const QString shown = w->pages().toText();
                QVERIFY(shown.contains("Сад №1"));
                QVERIFY(!shown.contains("Школа №1"));

                onNextModal(MainForm, [&](QWidget* list) {
                    QCOMPARE(list, static_cast<QWidget*>(LichForm));
                    const auto* m = LichForm->LichRxDBGrid->model();
                    QCOMPARE(m->index(0, 1).data().toString(), QStringLiteral("Дошкольное"));
                    QCOMPARE(m->index(1, 1).data().toString(), QStringLiteral("Общее"));
                    onNextModal(list, [&](QWidget* ledger) {
                        accounts::TSmEd& l = *SmEd;
                        QCOMPARE(l.FacebillDBText->text(), A);
                        QCOMPARE(l.InDBGrid->model()->rowCount(), 1);
                        QCOMPARE(l.OutDBGrid->model()->rowCount(), 1);
                        // An expenditure of a school, outside the report's selection.
                        typeOver(l.OutAmountEdit, "30");
                        typeCode(l.OutOrgEditField, {"200", "01"});
                        typeCode(l.OutCBCEditField, CbcParts);
                        typeCode(l.OutLawEditField, {"03", "1"});
                        QTest::mouseClick(l.OutOkBtn, Qt::LeftButton);
                        QCOMPARE(said.count(), 0);
                        QCOMPARE(l.OutDBGrid->model()->rowCount(), 2);
                        QCOMPARE(t1.fieldByName("OutAmount").asFloat(), 130.0);
                        QTest::keyClick(ledger, Qt::Key_Escape);
                    });
                    press(LichForm->LichRxDBGrid, Qt::Key_Return);
                    QTest::keyClick(list, Qt::Key_Escape);
                });
                press(MainForm, Qt::Key_F2);
                checkTotals(in, {{A, {1000.0, 130.0}}});

                // Back in the preview: printing prints what it showed.
                QVERIFY(activate(w));
                QTest::mouseClick(w->PrintSetupButton, Qt::LeftButton);
                QTest::mouseClick(w->PrintButton, Qt::LeftButton);
                QVERIFY(QFileInfo(out.path() + "/printed.pdf").size() > 0);
                QCOMPARE(w->pages().toText(), shown);
                previewed = true;
                QTest::keyClick(w, Qt::Key_Escape);
            });
            timer->start();
            QTest::mouseClick(MDForm->ReportOkButton, Qt::LeftButton);
        });
        QTest::mouseClick(toolButton("RepButton1"), Qt::LeftButton);
        reports::PreviewWindow::printDialog() = oldPrint;
        QVERIFY(previewed);
        // Nothing of the report's selection is left on the shared tables.
        QVERIFY(!DataBase1->T2_2.filtered());
        DestroyForms();
        checkTotals(in, {{A, {1000.0, 130.0}}});
    }
};

QTEST_MAIN(PostingTest)
#include "tst_posting.moc"
