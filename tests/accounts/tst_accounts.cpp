// The accounts list, the account dialog, the account picker and the
// accounts print on a real temporary root, driven by key and mouse events.
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "accounts/lichform.h"
#include "accounts/mdform5.h"
#include "reports/preview/preview.h"
#include "core/store/session.h"
#include "core/ui/codeedit.h"
#include "core/ui/dbedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/dblookupcombo.h"
#include "core/ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <functional>

using dm::TDataBase1;
using namespace gui;
using store::Table;
using store::TableState;
using namespace accounts;

namespace {

const std::vector<TemplateRows> Books = {
    {"law_spr", {{"01", "Группа", "Группа законов"},
                 {"011", "Образование", "Закон об образовании"},
                 {"02", "Здравоохранение", "Закон о здравоохранении"}}},
    {"cbc_spr", {{"0101001000000000000", "Полное", "Краткое"}}},
};

// The four windows over one data module, connected as the program connects
// them; a plain dialog stands in for the ledger.
struct Accounts {
    Install in{Books, {.backslashes = true, .orgName = "Финансовое управление"}};
    TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};
    books::TLawSelectForm purposes{db};
    TLichChForm dialog{db};
    TLichSprForm picker{db};
    TMDForm5 print{db};
    QDialog ledger;
    TLichForm list{db};

    Accounts()
    {
        dialog.setPurposesPicker(&purposes);
        picker.setAccountDialog(&dialog);
        list.setAccountDialog(&dialog);
        list.setLedger(&ledger);
        list.setPrint(&print);
        ledger.setObjectName("Ledger");
    }

    // Shows the list modally as the main window does, runs `inList` in it
    // and closes it with Esc.
    void runList(std::function<void()> inList)
    {
        runModal(list, [this, inList] {
            QCOMPARE(QApplication::activeModalWidget(), &list);
            inList();
        }, [this] { press(list.LichRxDBGrid, Qt::Key_Escape); });
    }

    // Presses `key` in the list's grid and runs `inDialog` in the account
    // dialog that it opens.
    void inAccountDialog(std::function<void()> pressIt, std::function<void(TLichChForm&)> inDialog)
    {
        bool seen = false;
        onNextModal(QApplication::activeModalWidget(), [this, inDialog, &seen](QWidget* w) {
            seen = true;
            QCOMPARE(w, &dialog);
            inDialog(dialog);
        });
        pressIt();
        QVERIFY(seen);
    }
};

QString cell(ui::DBGrid* g, int row, int col) { return g->model()->index(row, col).data().toString(); }

const QString KeyText = QStringLiteral("Лицевой счет с указанным номером уже открыт. Lichch:Key violation.");
const QString RequiredText = QStringLiteral("Лицевой счет должен быть обязательно задан. Lichch:Field value required.");
const QString DetailText = QStringLiteral("Удалите, вначале, все начисления по счету, а потом сам лицевой счет. "
                                          "LichSelect:Master has detail records. Cannot delete or modify.");
const QString NoAccountText = QStringLiteral("Нет ни одного лицевого счета. Добавьте лицевой счет (Ins).");

} // namespace

class AccountsTest : public QObject {
    Q_OBJECT

private slots:
    void addAndChangeThroughTheDialog()
    {
        Accounts a;
        Table& t1 = a.db.T1;
        ui::RecordingAnswerer said;
        QCOMPARE(a.list.windowTitle(), QStringLiteral("Лицевые счета"));
        QCOMPARE(a.dialog.windowTitle(), QStringLiteral("Добавление / Изменение лицевого счета"));

        // Ins, a number, a purpose code that does not exist: the purpose shown
        // beside it is the next one in code order; the code is stored as typed.
        auto add = [&](const QString& number, const QStringList& code) {
            a.inAccountDialog([&] { press(a.list.LichRxDBGrid, Qt::Key_Insert); }, [&](TLichChForm& d) {
                QCOMPARE(t1.state(), TableState::Insert);
                QCOMPARE(QApplication::focusWidget(), d.facebillEdit);
                QTest::keyClicks(d.facebillEdit, number);
                QTest::keyClick(d.facebillEdit, Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget(), d.LawEditField->segment(1));
                for (const QString& part : code)
                    QTest::keyClicks(QApplication::focusWidget(), part);
                if (code.join("") == "012")
                    QCOMPARE(d.LawDBView->text(), QStringLiteral("Здравоохранение"));
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);   // OK is the default button
            });
        };
        a.runList([&] {
            add("00000000001", {"01", "2"});
            QVERIFY2(said.count() == 0, qPrintable(said.texts().join('|')));
            QCOMPARE(column(t1, "Facebill"), QStringList({"00000000001"}));
            QVERIFY(t1.findKey({"00000000001"}));
            QCOMPARE(t1.fieldByName("LawRef").asString(), QStringLiteral("012"));
            QCOMPARE(cell(a.list.LichRxDBGrid, 0, 1), QStringLiteral("Здравоохранение"));
            QVERIFY(t1.fieldByName("InAmount").isNull());
            QCOMPARE(cell(a.list.LichRxDBGrid, 0, 2), QString());

            // A code past the last purpose shows the last one.
            add("00000000002", {"99"});
            QVERIFY(t1.findKey({"00000000002"}));
            QCOMPARE(t1.fieldByName("LawRef").asString(), QStringLiteral("99"));
            QCOMPARE(t1.fieldByName("LawSName").asString(), QStringLiteral("Здравоохранение"));

            // The number is taken: the message with the store's text, the list as it was.
            add("00000000001", {"01", "1"});
            QCOMPARE(said.count(), 1);
            QCOMPARE(said.last().text, KeyText);
            QCOMPARE(said.last().caption, ui::applicationTitle());
            QCOMPARE(said.last().buttons, dm::MsgButtons::Ok);
            // No number at all.
            add("", {});
            QCOMPARE(said.count(), 2);
            QCOMPARE(said.last().text, RequiredText);
            QCOMPARE(column(t1, "Facebill"), QStringList({"00000000001", "00000000002"}));
            QCOMPARE(column(t1, "LawRef"), QStringList({"012", "99"}));
            QCOMPARE(t1.state(), TableState::Browse);
            QVERIFY(!a.dialog.isVisible());

            // Change: the dialog shows the stored code; a purpose picked from the
            // book replaces it, Esc throws it away.
            QVERIFY(t1.findKey({"00000000001"}));
            for (bool keep : {false, true}) {
                a.inAccountDialog([&] { QTest::mouseClick(a.list.EditButton, Qt::LeftButton); }, [&](TLichChForm& d) {
                    QCOMPARE(t1.state(), TableState::Edit);
                    QCOMPARE(d.LawEditField->text(), QStringLiteral("012"));
                    QCOMPARE(d.facebillEdit->text(), QStringLiteral("00000000001"));
                    onNextModal(&d, [&](QWidget* w) {
                        QCOMPARE(w, &a.purposes);
                        QVERIFY(a.db.LawSprTable.findKey({"011"}));
                        press(a.purposes.Grid, Qt::Key_Return);
                    });
                    QTest::mouseClick(d.LawBrowse, Qt::LeftButton);
                    QCOMPARE(d.LawEditField->text(), QStringLiteral("011"));
                    QCOMPARE(d.LawDBView->text(), QStringLiteral("Образование"));
                    if (keep)
                        QTest::mouseClick(d.OkButton, Qt::LeftButton);
                    else
                        press(d.facebillEdit, Qt::Key_Escape);
                });
                QCOMPARE(t1.state(), TableState::Browse);
                QVERIFY(t1.findKey({"00000000001"}));
                QCOMPARE(t1.fieldByName("LawRef").asString(), keep ? QStringLiteral("011") : QStringLiteral("012"));
            }

            // Cancel and the frame's close box leave t1 as it was, for a new
            // row and for a changed one.
            a.inAccountDialog([&] { press(a.list.LichRxDBGrid, Qt::Key_Insert); }, [&](TLichChForm& d) {
                QTest::keyClicks(d.facebillEdit, "00000000003");
                QTest::mouseClick(d.CancelButton, Qt::LeftButton);
            });
            a.inAccountDialog([&] { press(a.list.LichRxDBGrid, Qt::Key_Insert); }, [&](TLichChForm& d) {
                QTest::keyClicks(d.facebillEdit, "00000000004");
                d.close();
            });
            QVERIFY(t1.findKey({"00000000002"}));
            a.inAccountDialog([&] { QTest::mouseClick(a.list.EditButton, Qt::LeftButton); }, [&](TLichChForm& d) {
                d.facebillEdit->selectAll();
                QTest::keyClicks(d.facebillEdit, "00000000005");
                d.close();
            });
            QCOMPARE(said.count(), 2);
            QCOMPARE(t1.state(), TableState::Browse);
            QCOMPARE(column(t1, "Facebill"), QStringList({"00000000001", "00000000002"}));
        });
    }

    // The purpose beside the code is the one found for the code in the
    // dialog, whatever the list behind it paints: each painted row looks its
    // own purpose up, and that must not move the book the dialog shows.
    void purposeNameFollowsTheDialogsCode()
    {
        Accounts a;
        Table& t1 = a.db.T1;
        for (const QVariantList& r : {QVariantList{"012", "Культура"}, {"013", "Спорт"}, {"031", "Благоустройство"}})
            a.db.LawSprTable.appendRecord(r);
        t1.appendRecord({"00000000001", "011"});
        t1.appendRecord({"00000000002", "031"});
        auto repaintList = [&] {
            a.list.LichRxDBGrid->viewport()->repaint();
            QTest::qWait(20);
        };
        a.runList([&] {
            QStringList shown;
            for (int row : {0, 1}) {
                QVERIFY(QTest::qWaitForWindowExposed(a.list.LichRxDBGrid));
                clickRow(a.list.LichRxDBGrid, row);
                a.inAccountDialog([&] { QTest::mouseClick(a.list.EditButton, Qt::LeftButton); }, [&](TLichChForm& d) {
                    repaintList();
                    shown << d.LawDBView->text();
                    if (row == 1) {
                        press(d.facebillEdit, Qt::Key_Escape);
                        return;
                    }
                    // Typed code by code, with the list repainting behind.
                    press(d.facebillEdit, Qt::Key_Tab);
                    QTest::keyClicks(d.LawEditField->segment(1), "01");
                    for (const char* last : {"2", "3", "4"}) {
                        typeOver(d.LawEditField->segment(2), last);
                        repaintList();
                        shown << d.LawDBView->text();
                    }
                    // The purposes picker opens on the purpose shown.
                    QString pickerOn;
                    onNextModal(&d, [&](QWidget*) {
                        repaintList();
                        pickerOn = a.db.LawSprTable.fieldByName("LawRef").asString();
                        press(a.purposes.Grid, Qt::Key_Escape);
                    });
                    QTest::mouseClick(d.LawBrowse, Qt::LeftButton);
                    QCOMPARE(pickerOn, QStringLiteral("02"));
                    QCOMPARE(d.LawEditField->text(), QStringLiteral("014"));
                    press(d.LawEditField->segment(2), Qt::Key_Escape);
                });
            }
            QCOMPARE(shown, QStringList({"Образование", "Культура", "Спорт", "Здравоохранение", "Благоустройство"}));
            QCOMPARE(column(t1, "LawRef"), QStringList({"011", "031"}));
        });
    }

    void changeOnAnEmptyListAndDelete()
    {
        Accounts a;
        Table& t1 = a.db.T1;
        ui::RecordingAnswerer said;
        a.runList([&] {
            // Nothing to delete: nothing happens.
            press(a.list.LichRxDBGrid, Qt::Key_Delete);
            QTest::mouseClick(a.list.DeleteButton, Qt::LeftButton);
            QCOMPARE(said.count(), 0);
            // Change on an empty list adds.
            a.inAccountDialog([&] { a.list.EditMenu->trigger(); }, [&](TLichChForm& d) {
                QCOMPARE(t1.state(), TableState::Insert);
                QTest::keyClicks(d.facebillEdit, "00000000001");
                QTest::mouseClick(d.OkButton, Qt::LeftButton);
            });
            QCOMPARE(column(t1, "Facebill"), QStringList({"00000000001"}));

            // An account with a posting stays, with its posting.
            t1.appendRecord({"00000000002", "011"});
            a.db.T2_1.appendRecord({"00000000002", "011", 10.0, QDate(2004, 2, 1), "0101001000000000000"});
            QVERIFY(t1.findKey({"00000000002"}));
            press(a.list.LichRxDBGrid, Qt::Key_Delete);
            QCOMPARE(said.count(), 1);
            QCOMPARE(said.last().text, DetailText);
            QCOMPARE(said.last().caption, ui::applicationTitle());
            QCOMPARE(t1.state(), TableState::Browse);
            QCOMPARE(column(t1, "Facebill"), QStringList({"00000000001", "00000000002"}));
            QCOMPARE(a.db.T2_1.recordCount(), 1);

            // Without postings: deleted at once, no question.
            QVERIFY(t1.findKey({"00000000001"}));
            press(a.list.LichRxDBGrid, Qt::Key_Delete);
            QCOMPARE(said.count(), 1);
            QCOMPARE(column(t1, "Facebill"), QStringList({"00000000002"}));

            // Renumbering an account that has postings is refused by the store.
            a.inAccountDialog([&] { QTest::mouseClick(a.list.EditButton, Qt::LeftButton); }, [&](TLichChForm& d) {
                d.facebillEdit->selectAll();
                QTest::keyClicks(d.facebillEdit, "00000000009");
                QTest::mouseClick(d.OkButton, Qt::LeftButton);
            });
            QCOMPARE(said.count(), 2);
            QVERIFY2(said.last().text.startsWith("Обратитесь к разработчику. Lichch:"), qPrintable(said.last().text));
            QCOMPARE(column(t1, "Facebill"), QStringList({"00000000002"}));
        });
    }

    void totalsAndOpen()
    {
        Accounts a;
        Table& t1 = a.db.T1;
        ui::RecordingAnswerer said;
        auto* grid = a.list.LichRxDBGrid;
        const QList<QLineEdit*> totals = {a.list.InAllV, a.list.OutAllV, a.list.RemainderAllV};
        auto totalTexts = [&] {
            QStringList out;
            for (QLineEdit* e : totals)
                out << e->text();
            return out;
        };

        // Open on an empty list does not show the ledger.
        bool ledgerShown = false;
        a.runList([&] {
            QTimer::singleShot(200, [&] {
                if (a.ledger.isVisible()) {
                    ledgerShown = true;
                    a.ledger.reject();
                }
            });
            press(grid, Qt::Key_Return);
            QCOMPARE(said.texts(), QStringList({NoAccountText}));
            QTest::qWait(300);
        });
        QVERIFY(!ledgerShown);
        said.clear();

        // New accounts have empty amounts: they add up to zero.
        t1.appendRecord({"00000000001", "01"});
        t1.appendRecord({"00000000002", "011"});
        a.runList([&] {
            for (QLineEdit* e : totals) {
                QVERIFY(e->isReadOnly());
                QCOMPARE(e->palette().color(QPalette::Base), QColor(255, 255, 0));
            }
            QCOMPARE(totalTexts(), QStringList({"", "", ""}));
            press(grid, Qt::Key_F2);
            QCOMPARE(totalTexts(), QStringList({"0,00", "0,00", "0,00"}));
        });

        // Amounts, some empty: each sum skips the empty ones; the row stays.
        t1.appendRecord({"00000000003", "02", 1000.25, 200.0, 800.25});
        t1.appendRecord({"00000000004", "02", 234.255, QVariant(), -0.005});
        a.runList([&] {
            QCOMPARE(grid->currentRow(), 0);
            QCOMPARE(cell(grid, 2, 2), QStringLiteral("1000,25"));
            QCOMPARE(cell(grid, 2, 3), QStringLiteral("200,00"));
            press(grid, Qt::Key_Down);
            press(grid, Qt::Key_Down);
            QCOMPARE(t1.recNo(), 3);
            press(grid, Qt::Key_F2);
            QCOMPARE(totalTexts(), QStringList({"1234,51", "200,00", "800,25"}));
            QCOMPARE(t1.recNo(), 3);
            QCOMPARE(grid->currentRow(), 2);
            QCOMPARE(t1.fieldByName("Facebill").asString(), QStringLiteral("00000000003"));

            // Enter opens the ledger on the current account; its return clears
            // the totals and gives the grid the focus.
            QString seenAccount;
            onNextModal(&a.list, [&](QWidget* w) {
                QCOMPARE(w, &a.ledger);
                seenAccount = t1.fieldByName("Facebill").asString();
                QTest::keyClick(w, Qt::Key_Escape);
            });
            press(grid, Qt::Key_Return);
            QCOMPARE(seenAccount, QStringLiteral("00000000003"));
            QCOMPARE(totalTexts(), QStringList({"", "", ""}));
            QCOMPARE(a.list.focusWidget(), grid);

            // A double-click on a row opens it too.
            press(grid, Qt::Key_F2);
            QCOMPARE(totalTexts()[0], QStringLiteral("1234,51"));
            seenAccount.clear();
            onNextModal(&a.list, [&](QWidget* w) {
                seenAccount = t1.fieldByName("Facebill").asString();
                qobject_cast<QDialog*>(w)->reject();
            });
            doubleClickRow(grid, 1);
            QCOMPARE(seenAccount, QStringLiteral("00000000002"));
            QCOMPARE(totalTexts(), QStringList({"", "", ""}));
            QCOMPARE(a.list.focusWidget(), grid);
            QVERIFY(a.list.isVisible());

            // The open button does the same.
            seenAccount.clear();
            onNextModal(&a.list, [&](QWidget* w) {
                seenAccount = t1.fieldByName("Facebill").asString();
                qobject_cast<QDialog*>(w)->reject();
            });
            QTest::mouseClick(a.list.OpenButton, Qt::LeftButton);
            QCOMPARE(seenAccount, QStringLiteral("00000000002"));

            // Add, Change and Delete clear the totals as well.
            press(grid, Qt::Key_F2);
            a.inAccountDialog([&] { press(grid, Qt::Key_Insert); }, [](TLichChForm& d) { d.reject(); });
            QCOMPARE(totalTexts(), QStringList({"", "", ""}));
        });
        QCOMPARE(said.count(), 0);
    }

    void openingAndClosingTheList()
    {
        Accounts a;
        Table& t1 = a.db.T1;
        int t1Opened = 0, lawOpened = 0;
        t1.addListener([&](Table&, store::TableEvent e) { t1Opened += e == store::TableEvent::Opened; });
        a.db.LawSprTable.addListener([&](Table&, store::TableEvent e) { lawOpened += e == store::TableEvent::Opened; });
        t1.appendRecord({"00000000001", "01"});
        t1.appendRecord({"00000000002", "011"});

        a.runList([&] {
            // Opening re-read t1 alone.
            QCOMPARE(t1Opened, 1);
            QCOMPARE(lawOpened, 0);
            QCOMPARE(QApplication::focusWidget(), a.list.LichRxDBGrid);
            press(a.list.LichRxDBGrid, Qt::Key_Down);
            press(a.list.LichRxDBGrid, Qt::Key_F2);
            // The dialog, the picker and the ledger on top are neither an
            // opening nor a closing of the list.
            a.inAccountDialog([&] { press(a.list.LichRxDBGrid, Qt::Key_Insert); }, [](TLichChForm& d) { d.reject(); });
            onNextModal(&a.list, [](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
            a.list.OpenButtonClick();
            QCOMPARE(t1Opened, 1);
            QCOMPARE(lawOpened, 0);
            QCOMPARE(t1.recNo(), 2);
        });
        // Closing closed and reopened every year table.
        QVERIFY(!a.list.isVisible());
        QCOMPARE(t1Opened, 2);
        QCOMPARE(lawOpened, 1);

        // A row another copy of the program stored meanwhile shows on the
        // next opening, which starts on the first row with no totals.
        {
            store::Session other;
            other.setControlDir(a.in.dir + "/DataBase");
            other.setServer(a.in.server.conninfo);
            other.addParam("USER NAME=User2");
            other.open();
            Table t(&other);
            t.setTableName("t1");
            t.setDirectory(a.in.year());
            t.open();
            t.appendRecord({"00000000000", "02"});
        }
        a.runList([&] {
            QCOMPARE(t1Opened, 3);
            QCOMPARE(a.list.LichRxDBGrid->model()->rowCount(), 3);
            QCOMPARE(cell(a.list.LichRxDBGrid, 0, 0), QStringLiteral("00000000000"));
            QCOMPARE(a.list.LichRxDBGrid->currentRow(), 0);
            QCOMPARE(a.list.InAllV->text(), QString());
        });
        QCOMPARE(lawOpened, 2);
    }

    void listLooks()
    {
        Accounts a;
        a.db.T1.appendRecord({"00000000001", "011", 5.0, 1.5, 3.5});
        a.db.T1.appendRecord({"00000000002", "02"});
        auto* grid = a.list.LichRxDBGrid;
        QCOMPARE(a.list.AddButton->toolTip(), QStringLiteral("Добавить лицевой счет"));
        QCOMPARE(a.list.EditButton->toolTip(), QStringLiteral("Изменить лицевой счет"));
        QCOMPARE(a.list.DeleteButton->toolTip(), QStringLiteral("Удалить лицевой счет"));
        QCOMPARE(a.list.PrintButton->toolTip(), QStringLiteral("Печать"));
        QCOMPARE(a.list.RxDBLookupCombo1->toolTip(), QStringLiteral("Используйте для быстрого поиска"));
        QVERIFY(!(a.list.RxDBLookupCombo1->focusPolicy() & Qt::TabFocus));
        QCOMPARE(a.list.OpenButton->text(), QStringLiteral("Открыть"));
        QVERIFY(a.list.OpenButton->isDefault());
        QCOMPARE(a.list.ExitButton->text(), QStringLiteral("Выход"));
        const QString status = a.list.findChild<QLabel*>("StatusText")->text();
        QVERIFY(status.contains(QRegularExpression("INS - Добавить +Del - Удалить +ENTER - Открыть состояние лицевого "
                                                   "счета +ESC - Выход")));
        QCOMPARE(a.list.PopupMenu1->actions().size(), 5);   // with the separator
        QCOMPARE(a.list.CalcItogSumMenu->text(), QStringLiteral("Подсчитать итоговую сумму"));
        QVERIFY(a.list.EditMenu->shortcut().isEmpty());

        a.runList([&] {
            QStringList titles;
            for (int c = 0; c < grid->model()->columnCount(); ++c)
                titles << grid->model()->headerData(c, Qt::Horizontal).toString();
            QCOMPARE(titles, QStringList({"Лицевой счет", "Назначение", "Поступило", "Израсходовано", "Остаток"}));
            QCOMPARE(cell(grid, 0, 1), QStringLiteral("Образование"));
            QCOMPARE(cell(grid, 0, 4), QStringLiteral("3,50"));
            QCOMPARE(cell(grid, 1, 2), QString());
            QVERIFY(grid->selectionBehavior() == QAbstractItemView::SelectRows);
            // Each total stands under its column.
            const QHeaderView* h = grid->horizontalHeader();
            for (auto [edit, col] : {std::pair{a.list.InAllV, 2}, {a.list.OutAllV, 3}, {a.list.RemainderAllV, 4}}) {
                const int x = grid->viewport()->mapTo(&a.list, QPoint(h->sectionViewportPosition(col), 0)).x();
                QCOMPARE(edit->mapTo(&a.list, QPoint(0, 0)).x(), x);
                QCOMPARE(edit->width(), h->sectionSize(col));
            }
            // The quick search makes the typed account current; Tab does not
            // stop in it.
            QTest::mouseClick(a.list.RxDBLookupCombo1->lineEdit(), Qt::LeftButton);
            QTest::keyClick(a.list.RxDBLookupCombo1->lineEdit(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(a.list.RxDBLookupCombo1->lineEdit(), "00000000002");
            QCOMPARE(a.db.T1.fieldByName("Facebill").asString(), QStringLiteral("00000000002"));
            QCOMPARE(grid->currentRow(), 1);
            // Del in the search line edits the line, not the list.
            QTest::keyClick(a.list.RxDBLookupCombo1->lineEdit(), Qt::Key_Home);
            press(a.list.RxDBLookupCombo1->lineEdit(), Qt::Key_Delete);
            QCOMPARE(a.db.T1.recordCount(), 2);
            grid->setFocus();
            QStringList chain;
            for (int i = 0; i < 3; ++i) {
                chain << QApplication::focusWidget()->objectName();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
            QCOMPARE(chain, QStringList({"LichRxDBGrid", "OpenButton", "ExitButton"}));
            QCOMPARE(QApplication::focusWidget(), grid);
        });
    }

    void accountPicker()
    {
        Accounts a;
        Table& t1 = a.db.T1;
        t1.appendRecord({"00000000001", "011"});
        t1.appendRecord({"00000000002", "02"});
        t1.appendRecord({"00000000003", "01"});
        auto* grid = a.picker.OrgRxDBGrid;
        QCOMPARE(a.picker.windowTitle(), QStringLiteral("Лицевые счета. Справочник"));
        QCOMPARE(a.picker.findChild<QLabel*>("StatusText")->text(), QStringLiteral("INS - Добавить        Del - Удалить"));
        QCOMPARE(a.picker.AddOrgButton->toolTip(), QStringLiteral("Добавить"));
        QCOMPARE(a.picker.OkButton->text(), QStringLiteral("Выбрать"));
        QCOMPARE(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Код"));
        QCOMPARE(cell(grid, 0, 1), QStringLiteral("01-1"));
        QCOMPARE(cell(grid, 0, 2), QStringLiteral("Образование"));

        // The picker opens with t1 where it stands; Enter returns the chosen account.
        QVERIFY(t1.findKey({"00000000002"}));
        int opened = 0;
        t1.addListener([&](Table&, store::TableEvent e) { opened += e == store::TableEvent::Opened; });
        onNextModal(nullptr, [&](QWidget*) {
            QCOMPARE(grid->currentRow(), 1);
            press(grid, Qt::Key_Down);
            press(grid, Qt::Key_Return);
        });
        std::optional<QString> got = a.picker.choose();
        QVERIFY(got);
        QCOMPARE(*got, QStringLiteral("00000000003"));
        // Esc returns nothing, and t1 stays where the user moved it.
        onNextModal(nullptr, [&](QWidget*) {
            press(grid, Qt::Key_Up);
            press(grid, Qt::Key_Escape);
        });
        QVERIFY(!a.picker.choose());
        QCOMPARE(t1.fieldByName("Facebill").asString(), QStringLiteral("00000000002"));
        // A double-click on a row returns at once.
        onNextModal(nullptr, [&](QWidget*) { doubleClickRow(grid, 0); });
        got = a.picker.choose();
        QVERIFY(got);
        QCOMPARE(*got, QStringLiteral("00000000001"));
        QCOMPARE(opened, 0);   // the picker does not re-read t1

        // Add and Delete work in the picker as in the list.
        ui::RecordingAnswerer said;
        onNextModal(nullptr, [&](QWidget* picker) {
            a.inAccountDialog([&] { press(grid, Qt::Key_Insert); }, [](TLichChForm& d) {
                QTest::keyClicks(d.facebillEdit, "00000000004");
                QTest::keyClick(d.facebillEdit, Qt::Key_Return);
            });
            QCOMPARE(t1.fieldByName("Facebill").asString(), QStringLiteral("00000000004"));
            press(grid, Qt::Key_Delete);
            qobject_cast<QDialog*>(picker)->reject();
        });
        QVERIFY(!a.picker.choose());
        QCOMPARE(said.count(), 0);
        QCOMPARE(column(t1, "Facebill"), QStringList({"00000000001", "00000000002", "00000000003"}));
    }

    // Enter, and the keypad's Enter, on a focused button presses that button
    // in the list, the account dialog, the purposes book and the picker;
    // Enter in the grid or in a field goes on to the default button.
    void enterOnAFocusedButton()
    {
        Accounts a;
        Table& t1 = a.db.T1;
        ui::RecordingAnswerer said;
        t1.appendRecord({"00000000001", "01"});
        auto* grid = a.list.LichRxDBGrid;
        // Any showing of the ledger is seen and closed.
        int ledgers = 0;
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (a.ledger.isVisible()) {
                ++ledgers;
                a.ledger.reject();
            }
        });
        watch.start();
        for (Qt::Key key : EnterKeys) {
            a.runList([&] {
                // "Отмена" of the dialog throws the new account away.
                a.inAccountDialog([&] { press(grid, Qt::Key_Insert); }, [&](TLichChForm& d) {
                    QTest::keyClicks(d.facebillEdit, "00000000009");
                    pressIn(d.CancelButton, key);
                });
                QVERIFY(!t1.findKey({"00000000009"}));
                QCOMPARE(t1.state(), TableState::Browse);

                // ". . ." opens the purposes book: "Отмена" there brings back
                // nothing, "Выбрать" the highlighted purpose; then OK posts.
                QVERIFY(t1.findKey({"00000000001"}));
                a.inAccountDialog([&] { QTest::mouseClick(a.list.EditButton, Qt::LeftButton); }, [&](TLichChForm& d) {
                    for (QPushButton* answer : {a.purposes.CancelButton, a.purposes.OkButton}) {
                        bool picked = false;
                        onNextModal(&d, [&](QWidget* w) {
                            QCOMPARE(w, &a.purposes);
                            QVERIFY(a.db.LawSprTable.findKey({"011"}));
                            pressIn(answer, key);
                            picked = true;
                        });
                        pressIn(d.LawBrowse, key);
                        QVERIFY(picked);
                        QVERIFY(d.isVisible());
                        QCOMPARE(d.LawEditField->text(), answer == a.purposes.OkButton ? QStringLiteral("011") : QStringLiteral("01 "));
                    }
                    pressIn(d.OkButton, key);
                });
                QCOMPARE(t1.fieldByName("LawRef").asString(), QStringLiteral("011"));
                t1.edit();
                t1.fieldByName("LawRef").setAsString("01");
                t1.post();

                // "Открыть" opens the ledger, as Enter in the grid does.
                pressIn(a.list.OpenButton, key);
                QCOMPARE(ledgers, 1);
                pressIn(grid, key);
                QCOMPARE(ledgers, 2);
                ledgers = 0;
                // "Выход" closes the list and opens nothing.
                pressIn(a.list.ExitButton, key);
                QVERIFY(!a.list.isVisible());
            });
            QCOMPARE(ledgers, 0);

            // The picker: "Отмена" chooses nothing, "Выбрать" the highlighted account.
            t1.appendRecord({"00000000002", "02"});
            t1.first();
            onNextModal(nullptr, [&](QWidget*) {
                press(a.picker.OrgRxDBGrid, Qt::Key_Down);
                pressIn(a.picker.CancelButton, key);
            });
            QVERIFY(!a.picker.choose());
            onNextModal(nullptr, [&](QWidget*) { pressIn(a.picker.OkButton, key); });
            const std::optional<QString> chosen = a.picker.choose();
            QVERIFY(chosen);
            QCOMPARE(*chosen, QStringLiteral("00000000002"));
            t1.remove();
        }
        QCOMPARE(said.count(), 0);
    }

    void accountsPrint()
    {
        Accounts a;
        Table& t1 = a.db.T1;
        QList<reports::PageSet> printed;
        QList<reports::PreviewMode> modes;
        reports::setPreviewInterceptor([&](reports::Report&, const reports::PageSet& p, reports::PreviewMode m) {
            printed << p;
            modes << m;
        });
        // The year of the settings dialog, not the one prog.ini holds.
        a.db.setYearSource([] { return 2026; });
        QCOMPARE(TMDForm5::caption(), QStringLiteral("Краткий отчет по лицевым счетам"));
        QCOMPARE(a.print.QuickRep5.page.paperWidth, 215.9);
        QCOMPARE(a.print.QuickRep5.page.orientation, reports::Orientation::Portrait);
        QCOMPARE(a.print.QuickRep5.page.left, 7.0);

        auto lines = [&] {
            QStringList out = printed.last().toText().split('\n');
            out.removeAll(QString());
            return out;
        };
        auto titleLines = [](const QString& org) {
            return QStringList({org, "Краткий отчет по лицевым счетам за 2026 год"});
        };
        const QString heading = "Лицевой счет\tНазначение\tПоступило\tИзрасходовано\tОстаток";

        // An empty t1: the title and the summary.
        a.print.Run(nullptr);
        QCOMPARE(printed.size(), 1);
        QCOMPARE(modes.last(), reports::PreviewMode::Modal);
        QStringList l = lines();
        QCOMPARE(l.mid(0, 2), titleLines("Финансовое управление"));
        QVERIFY2(l.value(2).startsWith("Дата составления\t" + QDate::currentDate().toString("dd.MM.yyyy")),
                 qPrintable(l.value(2)));
        QCOMPARE(l.value(3), heading);
        QCOMPARE(l.value(4), QStringLiteral("Итого\t0\t0\t0"));

        // Rows in Facebill order; the sums in their shortest form.
        t1.appendRecord({"00000000003", "02", 234.25, QVariant(), 234.25});
        t1.appendRecord({"00000000001", "011", 1000.25, 200.0, 800.25});
        t1.appendRecord({"00000000002", "01"});
        config::Profile(a.in.ini).writeString("Main", "OrgName", "Управление финансов");
        a.runList([&] {
            QVERIFY(t1.findKey({"00000000002"}));
            QTest::mouseClick(a.list.PrintButton, Qt::LeftButton);
            QCOMPARE(printed.size(), 2);
            // The list is back on its account.
            QCOMPARE(t1.fieldByName("Facebill").asString(), QStringLiteral("00000000002"));
            QCOMPARE(a.list.LichRxDBGrid->currentRow(), 1);
        });
        l = lines();
        QCOMPARE(l.mid(0, 2), titleLines("Управление финансов"));
        QCOMPARE(l.value(3), heading);
        QCOMPARE(l.mid(4, 4), QStringList({"00000000001\tОбразование\t1000,25\t200,00\t800,25", "00000000002\tГруппа",
                                           "00000000003\tЗдравоохранение\t234,25\t234,25", "Итого\t1234,5\t200\t1034,5"}));
        reports::setPreviewInterceptor({});
    }
};

QTEST_MAIN(AccountsTest)
#include "tst_accounts.moc"
