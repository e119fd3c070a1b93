// The income accounting on a real temporary root, driven by keys and clicks:
// the organizations list (adding through the organizations book, the
// duplicate, changing, deleting with and without entries, opening) and the
// receipts/expenses of one organization (the entry lines, adding and
// deleting with the recount into DOrg, the refusals, the kinds).
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "core/ui/amountedit.h"
#include "core/ui/dateedit.h"
#include "core/ui/dbedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/messagebox.h"
#include "income/dohedform.h"
#include "income/dorgform.h"
#include "tests/gui.h"
#include "tests/install.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>
#include <functional>

using income::TDOrgFormSelect;
using income::TDohEdForm;
using dm::TDataBase1;
using namespace gui;
using store::Table;

namespace {

const QString Here = "DOrgFormSelect:";
const QString EntriesMsg = "Удалите, вначале, все начисления по организации, а потом саму организацию. DOrgFormSelect:";
const QString KeyMsg = "Такое начисление уже внесено. Добавте указанную сумму к уже внесенному начислениею. "
                       "UDohEd.InOkBtnClick:Key violation.";
const QString LookupMsg = "Введено значение, которое не содержится в справочниках. Добавте его в справочник. "
                          "UDohEd.InOkBtnClick:Field value out of lookup table range.";

const QDate Mar1(2004, 3, 1);

std::vector<TemplateRows> books(std::vector<TemplateRows> more = {})
{
    std::vector<TemplateRows> rows = {
        {"org_spr", {{"001", "Образование"}, {"00101", "Сад №1"}, {"00102", "Школа №2"}, {"00103", "Баня"}}},
        {"SumTypeSpr", {{"000", "Без вида"}, {"001", "Родительская плата"}, {"101", "Коммунальные услуги"}}},
    };
    rows.insert(rows.end(), more.begin(), more.end());
    return rows;
}

// The list with its entry window and the two books over one data module.
struct Income {
    Install in;
    TDataBase1 db;
    books::TOrgSelectForm orgs{db};
    books::TSumTypeSprForm kinds{db};
    TDOrgFormSelect list{db};
    TDohEdForm entries{db};

    explicit Income(const std::vector<TemplateRows>& rows = {})
        : in(books(rows)), db(in.ini, [](auto&&...) { return dm::MsgResult::Ok; })
    {
        list.setOrgPicker(&orgs);
        list.setEntryWindow(&entries);
        entries.setKindsPicker(&kinds);
        entries.setReturnFocus(list.RxDBGrid1);
    }

    // The list shown modally; `body` runs in it; Esc closes it unless
    // `body` did.
    void inList(const std::function<void()>& body)
    {
        runModal(list, body, [this] { press(list.RxDBGrid1, Qt::Key_Escape); });
    }

    // From the list, the entry window of the current organization opened by
    // Enter; `body` runs in it and ОК closes it unless `body` did.
    void inEntries(const std::function<void()>& body)
    {
        bool ran = false;
        onNextModal(&list, [&](QWidget* m) {
            QCOMPARE(m, static_cast<QWidget*>(&entries));
            ran = true;
            body();
            if (entries.isVisible())
                QTest::mouseClick(entries.OkButton, Qt::LeftButton);
        });
        press(list.RxDBGrid1, Qt::Key_Return);
        QVERIFY(ran);
    }

    // Ins or F-key `key` in the list's grid, the organization `code` chosen
    // in the book (Esc there when empty).
    void pickFromGrid(const std::function<void()>& open, const QString& code)
    {
        onNextModal(&list, [&, code](QWidget* m) {
            QCOMPARE(m, static_cast<QWidget*>(&orgs));
            if (code.isEmpty()) {
                QTest::keyClick(orgs.Grid, Qt::Key_Escape);
                return;
            }
            QVERIFY(db.Org_Table.findKey({code}));
            QTest::keyClick(orgs.Grid, Qt::Key_Return);
        });
        open();
    }

    QStringList codes()
    {
        QStringList out;
        Table t(&db.Session);
        t.setTableName("DOrg");
        t.setDirectory(in.year());
        t.open();
        for (t.first(); !t.eof(); t.next())
            out << t.fieldByName("Org").asString();
        return out;
    }

    // The organization's stored totals.
    QList<double> totals(const QString& org)
    {
        Table t(&db.Session);
        t.setTableName("DOrg");
        t.setDirectory(in.year());
        t.open();
        if (!t.findKey({org}))
            return {};
        return {t.fieldByName("InSum").asFloat(), t.fieldByName("OutSum").asFloat(),
                t.fieldByName("Remainder").asFloat()};
    }
};

// A side's entry typed in and added with its button.
void addEntry(ui::AmountEdit* amount, QPushButton* ok, const QString& text)
{
    amount->setFocus(Qt::TabFocusReason);
    typeOver(amount, text);
    QTest::mouseClick(ok, Qt::LeftButton);
}

} // namespace

class IncomeTest : public QObject {
    Q_OBJECT

private slots:
    void theListWindow()
    {
        Income f({{"DOrg", {{"00101"}, {"00102"}}}});
        TDOrgFormSelect& w = f.list;
        QCOMPARE(w.windowTitle(), QStringLiteral("Доход/расход организаций"));
        QCOMPARE(w.size(), QSize(720, 419));
        QCOMPARE(w.StatusBar1->findChild<QLabel*>("StatusText")->text(),
                 QStringLiteral("    INS - Добавить        Del - Удалить              ENTER - Открыть состояние "
                                "лицевого счета             ESC - Выход"));
        f.inList([&] {
            QCOMPARE(focusName(), QStringLiteral("RxDBGrid1"));
            QCOMPARE(w.RxDBGrid1->tableModel()->rowCount(), 2);
            const QModelIndex name = w.RxDBGrid1->model()->index(0, 1);
            QCOMPARE(name.data().toString(), QStringLiteral("Сад №1"));
            QCOMPARE(name.data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 225));
            QVERIFY(!w.RxDBGrid1->model()->index(0, 2).data(Qt::BackgroundRole).value<QColor>().isValid());
        });
        QVERIFY(!w.isVisible());
    }

    // Ins adds through the book; the organization already in the list is
    // refused with its message and the list stays as it was; Esc in the book
    // adds nothing.
    void addingOrganizations()
    {
        Income f({{"DOrg", {{"00101"}}}});
        ui::RecordingAnswerer said;
        f.inList([&] {
            f.pickFromGrid([&] { press(f.list.RxDBGrid1, Qt::Key_Insert); }, "00103");
            QCOMPARE(said.count(), 0);
            QCOMPARE(f.db.DOrgTable.state(), store::TableState::Browse);
            QCOMPARE(f.codes(), QStringList({"00101", "00103"}));
            QCOMPARE(f.totals("00103"), QList<double>({0, 0, 0}));
            // The list's own focus, whichever window is active while the book closes.
            QCOMPARE(f.list.focusWidget(), static_cast<QWidget*>(f.list.RxDBGrid1));

            f.pickFromGrid([&] { press(f.list.RxDBGrid1, Qt::Key_Insert); }, "00101");
            QCOMPARE(said.texts(), QStringList({"Выбранная организация уже добавлена. " + Here + "Key violation."}));
            QCOMPARE(f.db.DOrgTable.state(), store::TableState::Browse);
            QCOMPARE(f.db.DOrgTable.recordCount(), 2);
            QCOMPARE(f.codes(), QStringList({"00101", "00103"}));

            said.clear();
            f.pickFromGrid([&] { QTest::mouseClick(f.list.AddButton, Qt::LeftButton); }, QString());
            QCOMPARE(said.count(), 0);
            QCOMPARE(f.db.DOrgTable.state(), store::TableState::Browse);
            QCOMPARE(f.db.DOrgTable.recordCount(), 2);
            QCOMPARE(f.codes(), QStringList({"00101", "00103"}));
        });
    }

    // Change: the book opens on the row's organization; another row's code
    // is refused and the row keeps its own; Esc keeps it too.
    void changingOrganizations()
    {
        Income f({{"DOrg", {{"00101"}, {"00102"}}}});
        ui::RecordingAnswerer said;
        f.inList([&] {
            f.db.DOrgTable.setRecNo(2);
            QString positioned;
            onNextModal(&f.list, [&](QWidget*) {
                positioned = f.db.Org_Table.fieldByName("Org").asString();
                QVERIFY(f.db.Org_Table.findKey({"00101"}));
                QTest::keyClick(f.orgs.Grid, Qt::Key_Return);
            });
            QTest::mouseClick(f.list.ChButton, Qt::LeftButton);
            QCOMPARE(positioned, QStringLiteral("00102"));
            QCOMPARE(said.texts(), QStringList({"Выбранная организация уже добавлена. " + Here + "Key violation."}));
            QCOMPARE(f.codes(), QStringList({"00101", "00102"}));
            QCOMPARE(f.db.DOrgTable.state(), store::TableState::Browse);

            said.clear();
            f.pickFromGrid([&] { QTest::mouseClick(f.list.ChButton, Qt::LeftButton); }, QString());
            QCOMPARE(f.codes(), QStringList({"00101", "00102"}));
            f.pickFromGrid([&] { QTest::mouseClick(f.list.ChButton, Qt::LeftButton); }, "00103");
            QCOMPARE(said.count(), 0);
            QCOMPARE(f.codes(), QStringList({"00101", "00103"}));
        });
    }

    // Del removes an organization without entries at once; one receipt or
    // one expense is enough to refuse it; an empty list answers nothing.
    void deletingOrganizations()
    {
        Income f({{"DOrg", {{"00101", 10.0, 0.0, 10.0}, {"00102", 0.0, 5.0, -5.0}, {"00103"}}},
                  {"DIn", {{"00101", Mar1, 10.0, "", "001"}}},
                  {"DOut", {{"00102", Mar1, 5.0, "", "101"}}}});
        ui::RecordingAnswerer said;
        f.inList([&] {
            Table& t = f.db.DOrgTable;
            for (int row : {1, 2}) {
                said.clear();
                t.setRecNo(row);
                press(f.list.RxDBGrid1, Qt::Key_Delete);
                QCOMPARE(said.texts(), QStringList({EntriesMsg}));
                QCOMPARE(f.codes(), QStringList({"00101", "00102", "00103"}));
            }
            // The entry tables are left unlinked.
            QVERIFY(!f.db.DInTable.master());
            QCOMPARE(f.db.DInTable.recordCount(), 1);
            QCOMPARE(f.db.DOutTable.recordCount(), 1);

            said.clear();
            t.setRecNo(3);
            QTest::mouseClick(f.list.DelButton, Qt::LeftButton);
            QCOMPARE(said.count(), 0);
            QCOMPARE(f.codes(), QStringList({"00101", "00102"}));
        });
    }

    void deleteAndOpenOnAnEmptyList()
    {
        Income f;
        ui::RecordingAnswerer said;
        f.inList([&] {
            press(f.list.RxDBGrid1, Qt::Key_Delete);
            QCOMPARE(said.count(), 0);
            // Open has no organization to show the entries of.
            press(f.list.RxDBGrid1, Qt::Key_Return);
            QCOMPARE(said.texts(), QStringList({"Нет ни одной организации. Добавьте организацию (Ins)."}));
            QVERIFY(!f.entries.isVisible());
            QCOMPARE(focusName(), QStringLiteral("RxDBGrid1"));
        });
    }

    // Enter opens the current organization; closing comes back to it with
    // the grid focused.
    void openAndComeBack()
    {
        Income f({{"DOrg", {{"00101"}, {"00102"}, {"00103"}}}});
        f.inList([&] {
            f.db.DOrgTable.setRecNo(2);
            f.inEntries([&] {
                QCOMPARE(f.entries.DBOrgNameText->text(), QStringLiteral("Школа №2"));
                QCOMPARE(focusName(), QStringLiteral("InAmountEdit"));
                press(f.entries.InAmountEdit, Qt::Key_Escape);
                QVERIFY(!f.entries.isVisible());
            });
            QCOMPARE(f.db.DOrgTable.recNo(), 2);
            QCOMPARE(f.list.focusWidget(), static_cast<QWidget*>(f.list.RxDBGrid1));
            QVERIFY(!f.db.DInTable.master());
        });
    }

    // The add button and the date follow the amount's text.
    void enabledStates()
    {
        Income f({{"DOrg", {{"00101"}}}});
        f.inList([&] {
            f.inEntries([&] {
                TDohEdForm& w = f.entries;
                for (auto [amount, ok, date] : {std::tuple{w.InAmountEdit, w.InOkBtn, w.InDateEdit},
                                                std::tuple{w.OutAmountEdit, w.OutOkBtn, w.OutDateEdit}}) {
                    QVERIFY(!ok->isEnabled());
                    QVERIFY(!date->isEnabled());
                    amount->setFocus(Qt::TabFocusReason);
                    typeOver(amount, "12");
                    QVERIFY(ok->isEnabled());
                    QVERIFY(date->isEnabled());
                    typeOver(amount, "");
                    QVERIFY(!ok->isEnabled());
                    QVERIFY(!date->isEnabled());
                    typeOver(amount, "0,00");
                    QCOMPARE(amount->text(), QStringLiteral("0,00"));
                    QVERIFY(!ok->isEnabled());
                    typeOver(amount, "0");
                    QVERIFY(ok->isEnabled());
                    typeOver(amount, "");
                }
                // Enter in the receipt amount: to the date with an amount,
                // to the expense amount without.
                w.InAmountEdit->setFocus(Qt::TabFocusReason);
                QTest::keyClick(w.InAmountEdit, Qt::Key_Return);
                QCOMPARE(focusName(), QStringLiteral("OutAmountEdit"));
                w.InAmountEdit->setFocus(Qt::TabFocusReason);
                typeOver(w.InAmountEdit, "5");
                QTest::keyClick(w.InAmountEdit, Qt::Key_Return);
                QCOMPARE(focusName(), QStringLiteral("InDateEdit"));
            });
        });
    }

    // 50,00 received and 30,00 spent; a receipt of 100,00 makes 150,00 /
    // 30,00 / 120,00 in DOrg, and deleting the 50,00 then 100,00 / 70,00.
    void addingAndDeletingRecount()
    {
        Income f({{"DOrg", {{"00101", 50.0, 30.0, 20.0}, {"00102"}}},
                  {"DIn", {{"00101", Mar1, 50.0, "март", "001"}, {"00102", Mar1, 7.0, "", "001"}}},
                  {"DOut", {{"00101", Mar1, 30.0, "", "101"}}}});
        ui::RecordingAnswerer said;
        f.inList([&] {
            f.inEntries([&] {
                TDohEdForm& w = f.entries;
                QCOMPARE(w.InDBGrid->tableModel()->rowCount(), 1);
                w.InDateEdit->setDate(QDate(2004, 4, 2));
                addEntry(w.InAmountEdit, w.InOkBtn, "100");
                QCOMPARE(said.count(), 0);
                QCOMPARE(f.totals("00101"), QList<double>({150, 30, 120}));
                QCOMPARE(w.DBText2->text(), QStringLiteral("150,00"));
                QCOMPARE(w.DBText4->text(), QStringLiteral("120,00"));
                // The amount back to 0 and focused; the date stays.
                QCOMPARE(w.InAmountEdit->value(), 0.0);
                QVERIFY(!w.InOkBtn->isEnabled());
                QCOMPARE(focusName(), QStringLiteral("InAmountEdit"));
                QCOMPARE(w.InDateEdit->date(), QDate(2004, 4, 2));
                QCOMPARE(w.InSumType->text(), QStringLiteral("000"));

                // The receipt of 50,00 clicked into the entry line, then deleted.
                QCOMPARE(w.InDBGrid->tableModel()->rowCount(), 2);
                int fifty = -1;
                for (int r = 0; r < 2; ++r)
                    if (w.InDBGrid->model()->index(r, 0).data().toString() == "50,00")
                        fifty = r;
                QVERIFY(fifty >= 0);
                clickRow(w.InDBGrid, fifty);
                QCOMPARE(w.InAmountEdit->value(), 50.0);
                QCOMPARE(w.InNoteEdit->text(), QStringLiteral("март"));
                QCOMPARE(w.InSumType->text(), QStringLiteral("001"));
                QCOMPARE(w.InDateEdit->date(), Mar1);
                QVERIFY(w.InOkBtn->isEnabled());
                QCOMPARE(focusName(), QStringLiteral("InDBGrid"));
                QTest::mouseClick(w.InCancelBtn, Qt::LeftButton);
                QCOMPARE(f.totals("00101"), QList<double>({100, 30, 70}));
                QCOMPARE(w.DBText4->text(), QStringLiteral("70,00"));
                QCOMPARE(focusName(), QStringLiteral("InDBGrid"));
                // The other organization's receipt is untouched.
                QCOMPARE(f.totals("00102"), QList<double>({0, 0, 0}));
            });
            QCOMPARE(f.db.DInTable.recordCount(), 2);
        });
    }

    // More spent than received: a negative remainder, stored and shown.
    void negativeRemainder()
    {
        Income f({{"DOrg", {{"00101", 40.0, 0.0, 40.0}}}, {"DIn", {{"00101", Mar1, 40.0, "", "001"}}}});
        f.inList([&] {
            f.inEntries([&] {
                TDohEdForm& w = f.entries;
                addEntry(w.OutAmountEdit, w.OutOkBtn, "100,5");
                QCOMPARE(f.totals("00101"), QList<double>({40, 100.5, -60.5}));
                QCOMPARE(w.DBText3->text(), QStringLiteral("100,50"));
                QCOMPARE(w.DBText4->text(), QStringLiteral("-60,50"));
                QCOMPARE(focusName(), QStringLiteral("OutAmountEdit"));
            });
        });
    }

    // No kind: "000" stored and shown; a kind the book lacks and a
    // duplicate are refused with their texts, the expense side's the same
    // as the receipt side's, and the totals stay.
    void kindsAndRefusals()
    {
        Income f({{"DOrg", {{"00101"}}}});
        ui::RecordingAnswerer said;
        f.inList([&] {
            f.inEntries([&] {
                TDohEdForm& w = f.entries;
                addEntry(w.InAmountEdit, w.InOkBtn, "10");
                QCOMPARE(said.count(), 0);
                QCOMPARE(w.InSumType->text(), QStringLiteral("000"));
                QCOMPARE(f.db.DInTable.fieldByName("SumType").asString(), QStringLiteral("000"));
                QCOMPARE(w.InDBGrid->model()->index(0, 3).data().toString(), QStringLiteral("Без вида"));

                addEntry(w.InAmountEdit, w.InOkBtn, "10");
                QCOMPARE(said.texts(), QStringList({KeyMsg}));
                QCOMPARE(f.totals("00101"), QList<double>({10, 0, 10}));
                QCOMPARE(f.db.DInTable.recordCount(), 1);
                QCOMPARE(focusName(), QStringLiteral("InAmountEdit"));

                said.clear();
                w.OutSumType->setFocus();
                typeOver(w.OutSumType, "999");
                addEntry(w.OutAmountEdit, w.OutOkBtn, "3");
                QCOMPARE(said.texts(), QStringList({LookupMsg}));
                QCOMPARE(f.db.DOutTable.recordCount(), 0);
                QCOMPARE(f.totals("00101"), QList<double>({10, 0, 10}));
                QCOMPARE(w.OutSumType->text(), QStringLiteral("999"));

                said.clear();
                w.OutSumType->setFocus();
                typeOver(w.OutSumType, "");
                addEntry(w.OutAmountEdit, w.OutOkBtn, "3");
                addEntry(w.OutAmountEdit, w.OutOkBtn, "3");
                QCOMPARE(said.texts(), QStringList({KeyMsg}));
                QCOMPARE(f.totals("00101"), QList<double>({10, 3, 7}));

                // The kinds book opens on the kind typed; its choice comes in.
                QString positioned;
                w.InSumType->setFocus();
                typeOver(w.InSumType, "1");
                onNextModal(&w, [&](QWidget*) {
                    positioned = f.db.SumTypeSprTable.fieldByName("SumType").asString();
                    QTest::keyClick(f.kinds.Grid, Qt::Key_Return);
                });
                QTest::mouseClick(w.InSumTypeBrowse, Qt::LeftButton);
                QCOMPARE(positioned, QStringLiteral("101"));
                QCOMPARE(w.InSumType->text(), QStringLiteral("101"));
            });
        });
    }

    // Delete on a side without entries only recounts it; the recount takes
    // what is stored now, another copy's entries included.
    void recountFromTheStore()
    {
        Income f({{"DOrg", {{"00101", 0.0, 5.0, -5.0}}}});
        f.inList([&] {
            f.inEntries([&] {
                TDohEdForm& w = f.entries;
                QTest::mouseClick(w.OutCancelBtn, Qt::LeftButton);
                QCOMPARE(f.totals("00101"), QList<double>({0, 0, 0}));
                QCOMPARE(focusName(), QStringLiteral("OutDBGrid"));

                // Another copy's receipt, then one of ours.
                {
                    TDataBase1 other(f.in.otherCopy("other"), [](auto&&...) { return dm::MsgResult::Ok; });
                    other.DInTable.appendRecord({"00101", Mar1, 25.0, "", "001"});
                }
                addEntry(w.InAmountEdit, w.InOkBtn, "1");
                QCOMPARE(f.totals("00101"), QList<double>({26, 0, 26}));
                QCOMPARE(w.InDBGrid->tableModel()->rowCount(), 2);
            });
        });
    }

    // Tab stays in a grid; a key released there copies the row it stands on.
    void gridKeys()
    {
        Income f({{"DOrg", {{"00101"}}},
                  {"DIn", {{"00101", Mar1, 1.0, "a", "001"}, {"00101", Mar1.addDays(1), 2.0, "b", "001"}}}});
        f.inList([&] {
            f.inEntries([&] {
                TDohEdForm& w = f.entries;
                w.InDBGrid->setFocus(Qt::TabFocusReason);
                QTest::keyClick(w.InDBGrid, Qt::Key_Tab);
                QCOMPARE(focusName(), QStringLiteral("InDBGrid"));
                f.db.DInTable.first();
                QTest::keyClick(w.InDBGrid, Qt::Key_Down);
                QCOMPARE(w.InNoteEdit->text(), QStringLiteral("b"));
                QCOMPARE(w.InAmountEdit->value(), 2.0);
                QTest::keyClick(w.InDBGrid, Qt::Key_Up);
                QCOMPARE(w.InNoteEdit->text(), QStringLiteral("a"));
                // An empty side puts 0 and today's date in.
                w.OutDateEdit->setDate(Mar1);
                typeOver(w.OutAmountEdit, "5");
                w.OutDBGrid->setFocus(Qt::TabFocusReason);
                QTest::keyClick(w.OutDBGrid, Qt::Key_Down);
                QCOMPARE(w.OutAmountEdit->value(), 0.0);
                QCOMPARE(w.OutDateEdit->date(), QDate::currentDate());
            });
        });
    }
};

QTEST_MAIN(IncomeTest)
#include "tst_income.moc"
