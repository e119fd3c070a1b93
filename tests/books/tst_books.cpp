// The reference books on a real temporary root, driven through their
// windows with key and mouse events: adding, changing and deleting with
// every refusal of the store, the pickers, the group-heading colours.
#include "books/books.h"
#include "books/listprint.h"
#include "tests/pagefit.h"
#include "reports/preview/preview.h"
#include "core/datamodule/datamodule.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "core/ui/codeedit.h"
#include "core/ui/dbedit.h"
#include "core/ui/dblookupcombo.h"
#include "core/ui/messagebox.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <functional>

using dm::TDataBase1;
using namespace gui;
using store::Table;
using namespace books;

namespace {

const std::vector<TemplateRows> Rows = {
    {"SumTypeSpr", {{"000", "Без вида"}, {"001", "Аренда"}}},
    {"cbc_spr", {{"0101001000000000000", "Полное", "Краткое"}}},
    {"org_spr", {{"001", "Группа"}, {"00101", "Школа"}}},
    {"law_spr", {{"01", "Группа"}, {"011", "Закон"}}},
};

// The eight windows over one data module, connected as the program connects them.
struct Books {
    Install in{Rows, 2004, true};
    TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};
    TOrgSelectForm orgList{db};
    TEditOrgForm orgEdit{db};
    TCBCSelectForm cbcList{db};
    TEditCBCForm cbcEdit{db};
    TLawSelectForm lawList{db};
    TEditLawForm lawEdit{db};
    TSumTypeSprForm kindList{db};
    TSumTypeSprEditForm kindEdit{db};

    TMDForm7 orgPrint{db};
    TMDForm8 lawPrint{db};

    Books()
    {
        orgList.setListPrint(&orgPrint);
        lawList.setListPrint(&lawPrint);
        orgList.setEditForm(&orgEdit);
        orgEdit.setCodesPicker(&cbcList);
        cbcList.setEditForm(&cbcEdit);
        lawList.setEditForm(&lawEdit);
        kindList.setEditForm(&kindEdit);
    }
};

TSegmentedEdit* segmented(QWidget* w, const char* name) { return w->findChild<TSegmentedEdit*>(name); }

// Shows the list modally and runs `inList` in it.
void runList(TBookSelectForm& list, std::function<void(TBookSelectForm&)> inList)
{
    runModal(list, [&list, inList] { inList(list); });
}

} // namespace

class BooksTest : public QObject {
    Q_OBJECT

private slots:
    void organizationsAddChangeAndRefusals()
    {
        Books b;
        Table& org = b.db.Org_Table;
        ui::RecordingAnswerer said;
        QCOMPARE(b.orgList.windowTitle(), QStringLiteral("Организации. Справочник"));
        QVERIFY(b.orgList.findChild<QToolButton*>("ToolButton2"));

        // A new organization typed in segments, with a code picked from the codes book.
        auto addOrg = [&](const QStringList& code, const QString& name, const QString& cbc, bool pick) {
            runList(b.orgList, [&](TBookSelectForm& l) {
                onNextModal(&l, [&](QWidget* dlg) {
                    QVERIFY(dlg == &b.orgEdit);
                    QCOMPARE(dlg->windowTitle(), QStringLiteral("Добавление/изменение"));
                    auto* codeEdit = segmented(dlg, "OrgEditField");
                    QCOMPARE(QApplication::focusWidget(), codeEdit->segment(1));
                    typeCode(codeEdit, code);
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("NameEdit"));
                    typeText(QApplication::focusWidget(), name);
                    if (pick) {
                        onNextModal(dlg, [](QWidget* codes) { press(codes->findChild<ui::DBGrid*>(), Qt::Key_Return); });
                        QTest::mouseClick(dlg->findChild<QPushButton*>("CBCBrowse"), Qt::LeftButton);
                    } else if (!cbc.isEmpty()) {
                        segmented(dlg, "CBCEditField")->setText(cbc);
                    }
                    QTest::mouseClick(b.orgEdit.OkButton, Qt::LeftButton);
                });
                QTest::mouseClick(l.AddButton, Qt::LeftButton);
                l.reject();
            });
        };

        addOrg({"002", "01"}, "Больница", {}, true);
        QVERIFY2(said.count() == 0, qPrintable(said.texts().join('|')));
        QVERIFY(org.findKey({"00201"}));
        QCOMPARE(org.fieldByName("Name").asString(), QStringLiteral("Больница"));
        QCOMPARE(org.fieldByName("Cbc").asString(), QStringLiteral("0101001000000000000"));
        QCOMPARE(org.fieldByName("Org").displayText(), QStringLiteral("002-01"));

        // A duplicate code: the message with the store's text, the book as it was.
        addOrg({"002", "01"}, "Другая", {}, false);
        QCOMPARE(said.last().text, QStringLiteral("Указанный код организации уже существует. OrgEditF:Key violation."));
        QCOMPARE(said.last().caption, ui::applicationTitle());
        QCOMPARE(column(org, "Org"), QStringList({"001", "00101", "00201"}));
        QCOMPARE(org.state(), store::TableState::Browse);

        // A code missing from the codes book is refused; an empty one is taken.
        addOrg({"003", "01"}, "Банк", "9999999999999999999", false);
        QCOMPARE(said.last().text,
                 QStringLiteral("Указанный КБК в справочнике КБК отсутствует. OrgEditF:Field value out of lookup table range."));
        QVERIFY(!org.findKey({"00301"}));
        said.clear();
        addOrg({"003"}, "Группа три", {}, false);
        QCOMPARE(said.count(), 0);
        QVERIFY(org.findKey({"003"}));

        // Change: the dialog shows the stored code, Esc leaves the row unchanged.
        QVERIFY(org.findKey({"00101"}));
        runList(b.orgList, [&](TBookSelectForm& l) {
            onNextModal(&l, [&](QWidget* dlg) {
                QCOMPARE(segmented(dlg, "OrgEditField")->text(), QStringLiteral("00101"));
                QCOMPARE(org.state(), store::TableState::Edit);
                typeText(dlg->findChild<QLineEdit*>("NameEdit"), " ещё");
                QTest::keyClick(dlg, Qt::Key_Escape);
            });
            QTest::mouseClick(l.EditButton, Qt::LeftButton);
            l.reject();
        });
        QCOMPARE(org.state(), store::TableState::Browse);
        QVERIFY(org.findKey({"00101"}));
        QCOMPARE(org.fieldByName("Name").asString(), QStringLiteral("Школа"));

        // The close box is Cancel too.
        org.edit();
        b.orgEdit.show();
        b.orgEdit.close();
        QCOMPARE(org.state(), store::TableState::Browse);
    }

    // Enter, and the keypad's Enter, on a focused button presses that button:
    // in the dialog "Отмена" cancels and ". . ." opens the codes book, whose
    // "Отмена" brings back nothing; in a list "Отмена" chooses nothing.
    void enterOnAFocusedButton()
    {
        Books b;
        ui::RecordingAnswerer said;
        Table& org = b.db.Org_Table;
        const QString cbc = "0101001000000000000";
        for (Qt::Key key : EnterKeys) {
            const QString code = key == Qt::Key_Return ? "00201" : "00202";
            auto inNewOrg = [&](std::function<void(QWidget*)> inDialog) {
                runList(b.orgList, [&](TBookSelectForm& l) {
                    onNextModal(&l, [&](QWidget* dlg) {
                        QCOMPARE(dlg, &b.orgEdit);
                        typeCode(segmented(dlg, "OrgEditField"), {code.left(3), code.mid(3)});
                        typeText(dlg->findChild<QLineEdit*>("NameEdit"), "Баня");
                        inDialog(dlg);
                    });
                    QTest::mouseClick(l.AddButton, Qt::LeftButton);
                    l.reject();
                });
            };
            inNewOrg([&](QWidget*) { pressIn(b.orgEdit.CancelButton, key); });
            QVERIFY(!org.findKey({code}));
            QCOMPARE(org.state(), store::TableState::Browse);

            inNewOrg([&](QWidget* dlg) {
                bool picked = false;
                onNextModal(dlg, [&](QWidget* codes) {
                    QCOMPARE(codes, &b.cbcList);
                    pressIn(b.cbcList.CancelButton, key);
                    picked = true;
                });
                pressIn(b.orgEdit.CBCBrowse, key);
                QVERIFY(picked);
                QVERIFY(dlg->isVisible());
                QCOMPARE(segmented(dlg, "CBCEditField")->text().trimmed(), QString());
                picked = false;
                onNextModal(dlg, [&](QWidget*) {
                    pressIn(b.cbcList.OkButton, key);
                    picked = true;
                });
                pressIn(b.orgEdit.CBCBrowse, key);
                QVERIFY(picked);
                QVERIFY(dlg->isVisible());
                QCOMPARE(segmented(dlg, "CBCEditField")->text(), cbc);
                pressIn(b.orgEdit.OkButton, key);
            });
            QVERIFY(org.findKey({code}));
            QCOMPARE(org.fieldByName("Name").asString(), QStringLiteral("Баня"));
            QCOMPARE(org.fieldByName("Cbc").asString(), cbc);

            // Enter in a field of the dialog is OK, the default button.
            runList(b.orgList, [&](TBookSelectForm& l) {
                onNextModal(&l, [&](QWidget* dlg) {
                    auto* name = dlg->findChild<QLineEdit*>("NameEdit");
                    pressIn(name, Qt::Key_End);
                    typeText(name, " №1");
                    pressIn(name, key);
                });
                QTest::mouseClick(l.EditButton, Qt::LeftButton);
                l.reject();
            });
            QVERIFY(org.findKey({code}));
            QCOMPARE(org.fieldByName("Name").asString(), QStringLiteral("Баня №1"));

            // The list as a picker: "Отмена" chooses nothing, "Выбрать" the row.
            org.first();
            onNextModal(nullptr, [&](QWidget*) {
                press(b.orgList.Grid, Qt::Key_Down);
                pressIn(b.orgList.CancelButton, key);
            });
            QVERIFY(!b.orgList.choose());
            onNextModal(nullptr, [&](QWidget*) { pressIn(b.orgList.OkButton, key); });
            const std::optional<QString> chosen = b.orgList.choose();
            QVERIFY(chosen);
            QCOMPARE(*chosen, QStringLiteral("00101"));
        }
        QCOMPARE(said.count(), 0);
    }

    void deleteAndItsRefusals()
    {
        Books b;
        ui::RecordingAnswerer said;
        Table& kinds = b.db.SumTypeSprTable;
        // The kind "001" is in use by a receipt.
        b.db.DInTable.appendRecord({"00101", QDate(2004, 1, 5), 10.0, "аренда", "001"});
        b.kindList.show();
        auto* grid = b.kindList.Grid;
        QVERIFY(kinds.findKey({"001"}));
        press(grid, Qt::Key_Delete);
        QCOMPARE(said.last().text,
                 QStringLiteral("Удалить вид дохода/ расхода из справочника невозможно, до тех пор пока он используется в "
                                "начислениях. LichSelect:Master has detail records. Cannot delete or modify."));
        QCOMPARE(column(kinds, "SumType"), QStringList({"000", "001"}));

        // Ctrl+Del asks first; Cancel keeps the row, OK deletes it.
        said.clear();
        QVERIFY(kinds.findKey({"000"}));
        said.queue(dm::MsgResult::Cancel);
        press(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(said.last().text, QStringLiteral("Delete record?"));
        QCOMPARE(said.last().buttons, dm::MsgButtons::OkCancel);
        QCOMPARE(kinds.recordCount(), 2);
        QVERIFY(kinds.findKey({"001"}));
        press(grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(said.last().text, QStringLiteral("Master has detail records. Cannot delete or modify."));
        b.kindList.hide();

        // Del on a free row deletes it without a question; in an empty book nothing happens.
        said.clear();
        Table& law = b.db.LawSprTable;
        b.lawList.show();
        press(b.lawList.Grid, Qt::Key_Delete);
        QTest::mouseClick(b.lawList.DeleteButton, Qt::LeftButton);
        QCOMPARE(said.count(), 0);
        QVERIFY(law.isEmpty());
        press(b.lawList.Grid, Qt::Key_Delete);
        QCOMPARE(said.count(), 0);

        // Change in the empty book adds, as Add does; 12 and nothing is the group code 12.
        onNextModal(&b.lawList, [&](QWidget* dlg) {
            QCOMPARE(law.state(), store::TableState::Insert);
            typeCode(segmented(dlg, "LawEditField"), {"12"});
            QTest::keyClick(dlg->findChild<QLineEdit*>("Dop_NameEdit"), Qt::Key_A);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        QTest::mouseClick(b.lawList.EditButton, Qt::LeftButton);
        QCOMPARE(column(law, "LawRef"), QStringList({"12"}));
        b.lawList.hide();
    }

    void pickersAndCodes()
    {
        Books b;
        ui::RecordingAnswerer said;
        // Enter on a chosen row returns its code; Esc returns nothing.
        QString got;
        onNextModal(nullptr, [&](QWidget*) {
            press(b.orgList.Grid, Qt::Key_Down);
            press(b.orgList.Grid, Qt::Key_Return);
        });
        std::optional<QString> r = b.orgList.choose();
        QVERIFY(r);
        QCOMPARE(*r, QStringLiteral("00101"));
        onNextModal(nullptr, [&](QWidget*) { press(b.orgList.Grid, Qt::Key_Escape); });
        QVERIFY(!b.orgList.choose());
        // A double-click gives OK too.
        QTimer::singleShot(50, [&] {
            auto* g = b.lawList.Grid;
            const QRect cell = g->visualRect(g->model()->index(0, 0));
            QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, cell.center());
            if (b.lawList.isVisible())
                b.lawList.reject();   // the double-click did not close it: fails below
        });
        r = b.lawList.choose();
        QVERIFY(r);
        QCOMPARE(*r, QStringLiteral("01"));

        // A kinds code typed as ABCDEF is stored as ABC.
        Table& kinds = b.db.SumTypeSprTable;
        onNextModal(&b.kindList, [&](QWidget* dlg) {
            QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("SumTypeEditDB"));
            QTest::keyClicks(QApplication::focusWidget(), "ABCDEF");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            typeText(QApplication::focusWidget(), "Продажа");
            QTest::mouseClick(dlg->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
        });
        b.kindList.show();
        press(b.kindList.Grid, Qt::Key_Insert);
        QVERIFY(kinds.findKey({"ABC"}));
        QCOMPARE(kinds.fieldByName("Comment").asString(), QStringLiteral("Продажа"));
        QCOMPARE(said.count(), 0);

        // A duplicate kind, and Cancel in the dialog, leave the book as it was.
        for (bool ok : {true, false}) {
            onNextModal(&b.kindList, [&, ok](QWidget* dlg) {
                QTest::keyClicks(QApplication::focusWidget(), "000");
                QTest::mouseClick(dlg->findChild<QPushButton*>(ok ? "OkButton" : "CancelButton"), Qt::LeftButton);
            });
            QTest::mouseClick(b.kindList.AddButton, Qt::LeftButton);
        }
        QCOMPARE(said.count(), 1);
        QCOMPARE(said.last().text,
                 QStringLiteral("Указанный вид дохода/расхода уже есть в справочнике. OrgEditF:Key violation."));
        QCOMPARE(column(kinds, "SumType"), QStringList({"000", "001", "ABC"}));
        b.kindList.hide();
    }

    void listWindowsAndQuickSearch()
    {
        Books b;
        // Toolbars differ as the books do; hints and the status text are the same.
        QVERIFY(!b.cbcList.PrintButton && !b.kindList.PrintButton);
        QCOMPARE(b.orgList.PrintButton->toolTip(), QStringLiteral("Печать справочника"));
        QCOMPARE(b.lawList.PrintButton->objectName(), QStringLiteral("PrintButton"));
        QCOMPARE(b.cbcList.findChild<QToolButton*>("DeleteCBCButton")->toolTip(), QStringLiteral("Удалить"));
        QCOMPARE(b.kindList.findChild<QLabel*>("StatusText")->text(), QStringLiteral("    INS - Добавить        Del - Удалить"));
        QCOMPARE(b.lawList.RxDBLookupCombo1->toolTip(), QStringLiteral("Используйте для быстрого поиска"));
        QCOMPARE(b.lawList.Grid->tableModel()->columns().size(), 3);
        // Typing a code into the quick search makes that row current for everyone.
        b.lawList.show();
        press(b.lawList.RxDBLookupCombo1->lineEdit(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(b.lawList.RxDBLookupCombo1->lineEdit(), "011");
        QCOMPARE(b.db.LawSprTable.fieldByName("LawRef").asString(), QStringLiteral("011"));
        QCOMPARE(b.lawList.Grid->currentRow(), 1);
        b.lawList.hide();
        // A code longer through its display hook than its field shows whole.
        b.orgList.show();
        b.db.Org_Table.last();
        QCOMPARE(b.orgList.RxDBLookupCombo1->lineEdit()->text(), QStringLiteral("001-01"));
        b.orgList.hide();
    }

    void groupHeadingColours()
    {
        Books b;
        auto colourOf = [](TBookSelectForm& l, int row) {
            return l.Grid->model()->index(row, 0).data(Qt::BackgroundRole).value<QBrush>().color();
        };
        b.orgList.show();
        QCOMPARE(colourOf(b.orgList, 0), QColor(180, 180, 255));   // 001
        QVERIFY(colourOf(b.orgList, 1) != QColor(180, 180, 255));  // 00101
        QVERIFY(!b.orgList.Grid->model()->index(0, 1).data(Qt::BackgroundRole).value<QBrush>().color().isValid() ||
                b.orgList.Grid->model()->index(0, 1).data(Qt::BackgroundRole).value<QBrush>().color() !=
                    QColor(180, 180, 255));
        QCOMPARE(b.orgList.Grid->model()->index(1, 0).data().toString(), QStringLiteral("001-01"));
        b.lawList.show();
        QCOMPARE(colourOf(b.lawList, 0), QColor(180, 255, 180));   // 01
        QVERIFY(colourOf(b.lawList, 1) != QColor(180, 255, 180));  // 011
        QCOMPARE(b.lawList.Grid->model()->index(1, 0).data().toString(), QStringLiteral("01-1"));
        b.lawList.hide();
        b.orgList.hide();
    }
    void listPrints()
    {
        Books b;
        config::Profile(b.in.ini).writeString("Main", "OrgName", "Финансовое управление");
        struct Seen {
            QString report;
            reports::PreviewMode mode = reports::PreviewMode::Modal;
            reports::PageSet pages;
        } seen;
        reports::setPreviewInterceptor([&](reports::Report& r, const reports::PageSet& ps, reports::PreviewMode m) {
            seen = {r.name(), m, ps};
        });
        // The background under a printed text: the fill whose rectangle holds it.
        auto fillUnder = [&](const QString& text) {
            const reports::Page& pg = seen.pages.pages.front();
            for (const reports::TextRun& t : pg.texts)
                if (t.text == text)
                    for (auto f = pg.fills.rbegin(); f != pg.fills.rend(); ++f)
                        if (f->rect.contains(t.rect.center()))
                            return f->color;
            return QColor();
        };
        auto body = [&] {
            QStringList out = seen.pages.toText().split('\n', Qt::SkipEmptyParts);
            out.removeIf([](const QString& l) { return l.startsWith("Дата составления") || l.startsWith("Страница"); });
            return out;
        };
        const QColor aqua(0, 255, 255);

        // The organizations list prints from its print button, as an ordinary window.
        QTest::mouseClick(b.orgList.PrintButton, Qt::LeftButton);
        QCOMPARE(seen.report, QStringLiteral("MDForm7"));
        QCOMPARE(seen.mode, reports::PreviewMode::Ordinary);
        QCOMPARE(body(), (QStringList{"Финансовое управление", "Справочник организаций",
                                      "Код организации\tНаименование\tДополнительные сведения", "001\tГруппа",
                                      "001-01\tШкола"}));
        QCOMPARE(fillUnder("001"), aqua);
        QCOMPARE(fillUnder("001-01"), QColor(Qt::white));
        QCOMPARE(fillUnder("Код организации"), aqua);
        const reports::Page& pg = seen.pages.pages.front();
        auto title = std::find_if(pg.texts.begin(), pg.texts.end(), [](auto& t) { return t.text == "Справочник организаций"; });
        const reports::TextStyle& titleStyle = pg.style(*title);
        QVERIFY(titleStyle.bold && titleStyle.italic && titleStyle.pointSize == 16 && title->color == QColor(0, 0, 128));

        // The purposes list: in the book's current order, the name read from prog.ini each time.
        config::Profile(b.in.ini).writeString("Main", "OrgName", "Другое управление");
        Table& law = b.db.LawSprTable;
        law.append();
        law.fieldByName("LawRef").setAsString("02");
        law.fieldByName("Sname").setAsString("Вторая");
        law.fieldByName("Name").setAsString("Полное имя второй группы назначений, длинное, в две строки");
        law.post();
        law.setOrder("Sname");
        QTest::mouseClick(b.lawList.PrintButton, Qt::LeftButton);
        QCOMPARE(seen.report, QStringLiteral("MDForm8"));
        QStringList lines = body();
        QCOMPARE(lines.mid(0, 3), (QStringList{"Другое управление", "Справочник назначений",
                                                "Код назначения\tКраткое наименование\tПолное наименование"}));
        QCOMPARE(lines.mid(3, 2), (QStringList{"02\tВторая\tПолное имя второй группы назначений, длинное, в две строки", "01\tГруппа"}));
        QCOMPARE(fillUnder("01-1"), QColor(Qt::white));
        QCOMPARE(fillUnder("02"), aqua);
        // The long name wraps and its band grows: the next row starts below it.
        auto at = [&](const QString& text) {
            for (const reports::TextRun& t : seen.pages.pages.front().texts)
                if (t.text.startsWith(text))
                    return t.rect;
            return QRectF();
        };
        QVERIFY(at("Полное имя").height() > 7);   // two lines of 10 points
        QVERIFY(at("01").top() >= at("Полное имя").bottom());

        // An empty book prints its title band alone.
        law.setOrder("LawRef");
        while (law.recordCount() > 0) {
            law.first();
            law.remove();
        }
        QTest::mouseClick(b.lawList.PrintButton, Qt::LeftButton);
        QCOMPARE(body().size(), 3);
        reports::setPreviewInterceptor({});
    }

    // The purposes list as printed, on the screen at 100 % and as a whole page
    // and in PDF: every name in whole lines inside its column, the row grown
    // for the lines of its longest name.
    void purposesPrintOnEveryDevice()
    {
        Books b;
        Table& law = b.db.LawSprTable;
        const QList<QStringList> rows{{"02", "Областные средства", "Средства областного бюджета"},
                                      {"022", "Дороги области", "Областная целевая программа содержания дорог"},
                                      {"033", "Благоустройство", "Программа благоустройства населенных пунктов"},
                                      {"014", "Жилье молодым семьям", "Федеральная целевая программа \"Жилище\", подпрограмма молодых семей"}};
        for (const QStringList& r : rows) {
            law.append();
            law.fieldByName("LawRef").setAsString(r[0]);
            law.fieldByName("Sname").setAsString(r[1]);
            law.fieldByName("Name").setAsString(r[2]);
            law.post();
        }
        reports::PageSet pages;
        reports::setPreviewInterceptor([&](reports::Report&, const reports::PageSet& ps, reports::PreviewMode) { pages = ps; });
        QTest::mouseClick(b.lawList.PrintButton, Qt::LeftButton);
        reports::setPreviewInterceptor({});
        QCOMPARE(pages.count(), 1);
        const QStringList bad = pagefit::misfits(pages);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
        const reports::Page& pg = pages.pages.front();
        auto run = [&](const QString& text) {
            return *std::find_if(pg.texts.begin(), pg.texts.end(), [&](auto& t) { return t.plainText() == text; });
        };
        QCOMPARE(run("Дороги области").lines(), QStringList{"Дороги области"});
        QCOMPARE(run("Программа благоустройства населенных пунктов").lines().join(' '),
                 QString("Программа благоустройства населенных пунктов"));
        const reports::TextRun two = run(rows[3][2]);
        QCOMPARE(two.lines().size(), 2);
        QCOMPARE(two.lines().join(' '), rows[3][2]);
        // The code and the short name of that row stand level with its first line.
        QCOMPARE(run("01-4").rect.top(), two.rect.top());
        QCOMPARE(run("Жилье молодым семьям").lines().size(), 1);
    }
};

QTEST_MAIN(BooksTest)
#include "tst_books.moc"
