// What each of the four reference books says when the store refuses it, and
// its Ctrl+Del question, driven through the list windows and their dialogs
// with the keys and clicks of a user: a code added twice, a row in use
// deleted, the code of a row in use changed, and Ctrl+Del answered both ways.
// Every refusal leaves the book as it was.
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "tests/gui.h"
#include "tests/install.h"
#include "core/ui/codeedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/messagebox.h"

#include <QPushButton>
#include <QToolButton>

using dm::TDataBase1;
using store::Table;
using namespace books;

namespace {

const QString Cbc1 = "0101001000000000000", Cbc2 = "0102001000000000000", Cbc3 = "0103001000000000000";
const QString Master = "Master has detail records. Cannot delete or modify.";

struct Books {
    Install in{{
        {"SumTypeSpr", {{"000", "Без вида"}, {"001", "Аренда"}, {"002", "Продажа"}}},
        {"cbc_spr", {{Cbc1, "Первый", "Первый"}, {Cbc2, "Второй", "Второй"}, {Cbc3, "Третий", "Третий"}}},
        {"org_spr", {{"001", "Группа"}, {"00101", "Школа"}, {"00102", "Больница"}, {"00103", "Баня"}}},
        {"law_spr", {{"01", "Группа"}, {"011", "Закон"}, {"012", "Указ"}, {"013", "Программа"}}},
    }};
    TDataBase1 db{in.ini, [](auto&&...) { return dm::MsgResult::Ok; }};
    TOrgSelectForm orgList{db};
    TEditOrgForm orgEdit{db};
    TCBCSelectForm cbcList{db};
    TEditCBCForm cbcEdit{db};
    TLawSelectForm lawList{db};
    TEditLawForm lawEdit{db};
    TSumTypeSprForm kindList{db};
    TSumTypeSprEditForm kindEdit{db};

    Books()
    {
        orgList.setEditForm(&orgEdit);
        orgEdit.setCodesPicker(&cbcList);
        cbcList.setEditForm(&cbcEdit);
        lawList.setEditForm(&lawEdit);
        kindList.setEditForm(&kindEdit);
        // In use: organization 00101, code Cbc1 and purpose 011 by an
        // expenditure, purpose 012 by a receipt, organization 00102 and code
        // Cbc2 by the schedule alone, kind 001 by an income receipt.
        // Free: 00103, Cbc3, 013, 002.
        db.T2_2.appendRecord({"00000000001", "011", 10.0, QDate(2004, 2, 1), Cbc1, "00101"});
        db.T2_1.appendRecord({"00000000001", "012", 5.0, QDate(2004, 2, 1), Cbc1});
        db.PlanTable.appendRecord({"00102", Cbc2, "00000000001", 100.0});
        db.DInTable.appendRecord({"00101", QDate(2004, 1, 5), 10.0, "аренда", "001"});
    }

    TBookSelectForm& list(const QString& book)
    {
        if (book == "organizations")
            return orgList;
        if (book == "codes")
            return cbcList;
        if (book == "purposes")
            return lawList;
        return kindList;
    }
};

QStringList codes(Table& t, const QString& field)
{
    QStringList out;
    for (t.first(); !t.eof(); t.next())
        out << t.fieldByName(field).asString();
    return out;
}

// A code typed into the dialog's code edit as the user types it: over the
// segments of a segmented edit, or over the plain kinds field.
void typeCodeInto(QWidget* codeControl, const QStringList& parts)
{
    if (auto* s = qobject_cast<TSegmentedEdit*>(codeControl))
        gui::typeCode(s, parts);
    else
        gui::typeOver(codeControl, parts.join(QString()));
}

// The book's code as the store keeps it, from the segments typed.
QString stored(const QStringList& parts)
{
    if (parts.size() == 1)
        return parts.front();
    QString s;
    for (const QString& p : parts)
        s += p;
    return s;
}

} // namespace

class BookMessagesTest : public QObject {
    Q_OBJECT

private slots:
    // A code added a second time: the book's own text before the store's,
    // the book keeps its rows and leaves insert state.
    void duplicateCode_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QStringList>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("codes") << "codes" << QStringList{"0102", "001", "000", "000", "000000"}
                               << "Указанный КБК уже существует. EditCBCForm:";
        QTest::newRow("purposes") << "purposes" << QStringList{"01", "2"}
                                  << "Указанный код назначения уже существует. LawEditF:";
    }
    void duplicateCode()
    {
        QFETCH(QString, book);
        QFETCH(QStringList, code);
        QFETCH(QString, text);
        Books b;
        ui::RecordingAnswerer said;
        TBookSelectForm& list = b.list(book);
        Table& t = list.table();
        const QString field = QString::fromLatin1(list.def().codeField);
        const QStringList before = codes(t, field);
        QVERIFY(before.contains(stored(code)));
        list.show();
        bool typed = false;
        gui::onNextModal(&list, [&](QWidget* dlg) {
            auto* edit = qobject_cast<TBookEditForm*>(dlg);
            QVERIFY(edit == list.editForm());
            QCOMPARE(t.state(), store::TableState::Insert);
            // The focus stands in the code edit on activation.
            QWidget* code1 = edit->codeControl();
            if (auto* s = qobject_cast<TSegmentedEdit*>(code1))
                code1 = s->segment(1);
            QCOMPARE(QApplication::focusWidget(), code1);
            typeCodeInto(edit->codeControl(), code);
            typed = true;
            QTest::mouseClick(edit->OkButton, Qt::LeftButton);
        });
        gui::press(list.Grid, Qt::Key_Insert);
        QVERIFY(typed);
        QVERIFY(!list.editForm()->isVisible());
        QCOMPARE(said.texts(), QStringList{text + "Key violation."});
        QCOMPARE(said.last().caption, ui::applicationTitle());
        QCOMPARE(said.last().buttons, dm::MsgButtons::Ok);
        QCOMPARE(t.state(), store::TableState::Browse);
        QCOMPARE(codes(t, field), before);
        list.hide();
    }

    // Del on a row that postings, the schedule or income entries use: the
    // book's text before the store's, the row stays.
    void deleteRowInUse_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        const QString org = "Удалить организацию из справочника невозможно, до тех пор пока она используется в "
                            "начислениях. LichSelect:";
        QTest::newRow("organization of an expenditure") << "organizations" << "00101" << org;
        QTest::newRow("organization of the schedule") << "organizations" << "00102" << org;
        QTest::newRow("code of postings")
            << "codes" << Cbc1
            << "Удалить КБК из справочника невозможно, до тех пор пока он используется в начислениях. LichSelect:";
        QTest::newRow("code of the schedule")
            << "codes" << Cbc2
            << "Удалить КБК из справочника невозможно, до тех пор пока он используется в начислениях. LichSelect:";
        const QString law = "Удалить назначение из справочника невозможно, до тех пор пока оно используется в "
                            "начислениях. LichSelect:";
        QTest::newRow("purpose of an expenditure") << "purposes" << "011" << law;
        QTest::newRow("purpose of a receipt") << "purposes" << "012" << law;
    }
    void deleteRowInUse()
    {
        QFETCH(QString, book);
        QFETCH(QString, code);
        QFETCH(QString, text);
        Books b;
        ui::RecordingAnswerer said;
        TBookSelectForm& list = b.list(book);
        Table& t = list.table();
        const QString field = QString::fromLatin1(list.def().codeField);
        const QStringList before = codes(t, field);
        list.show();
        QVERIFY(t.findKey({code}));
        gui::press(list.Grid, Qt::Key_Delete);
        QCOMPARE(said.texts(), QStringList{text + Master});
        QCOMPARE(said.last().caption, ui::applicationTitle());
        QCOMPARE(t.state(), store::TableState::Browse);
        QCOMPARE(codes(t, field), before);
        // The toolbar's button says the same.
        QVERIFY(t.findKey({code}));
        QTest::mouseClick(list.DeleteButton, Qt::LeftButton);
        QCOMPARE(said.texts(), (QStringList{text + Master, text + Master}));
        QCOMPARE(codes(t, field), before);
        list.hide();
    }

    // The code of a row in use changed in the dialog: an unexpected refusal
    // for every book, shown with the dialog's name; the row keeps its code.
    void changeCodeInUse_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("text");
        QTest::newRow("organizations") << "organizations" << "00101" << QStringList{"001", "09"}
                                       << "Обратитесь к разработчику. OrgEditF:";
        QTest::newRow("codes") << "codes" << Cbc1 << QStringList{"0109", "001", "000", "000", "000000"}
                               << "Обратитесь к разработчику. OrgEditF:";
        QTest::newRow("purposes") << "purposes" << "011" << QStringList{"01", "9"}
                                  << "Обратитесь к разработчику. LawEditF:";
        QTest::newRow("kinds") << "kinds" << "001" << QStringList{"009"} << "Обратитесь к разработчику. OrgEditF:";
    }
    void changeCodeInUse()
    {
        QFETCH(QString, book);
        QFETCH(QString, code);
        QFETCH(QStringList, typed);
        QFETCH(QString, text);
        Books b;
        ui::RecordingAnswerer said;
        TBookSelectForm& list = b.list(book);
        Table& t = list.table();
        const QString field = QString::fromLatin1(list.def().codeField);
        const QStringList before = codes(t, field);
        list.show();
        QVERIFY(t.findKey({code}));
        bool typedIn = false;
        gui::onNextModal(&list, [&](QWidget* dlg) {
            auto* edit = qobject_cast<TBookEditForm*>(dlg);
            QVERIFY(edit == list.editForm());
            QCOMPARE(t.state(), store::TableState::Edit);
            typeCodeInto(edit->codeControl(), typed);
            QCOMPARE(t.fieldByName(field).asString(), stored(typed));
            typedIn = true;
            QTest::mouseClick(edit->OkButton, Qt::LeftButton);
        });
        QTest::mouseClick(list.EditButton, Qt::LeftButton);
        QVERIFY(typedIn);
        QCOMPARE(said.texts(), QStringList{text + Master});
        QCOMPARE(t.state(), store::TableState::Browse);
        QCOMPARE(codes(t, field), before);
        list.hide();
    }

    // Ctrl+Del asks "Delete record?"; Отмена keeps the row, OK deletes it,
    // and nothing else is said.
    void ctrlDeleteAsksFirst_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("code");
        QTest::newRow("organizations") << "organizations" << "00103";
        QTest::newRow("codes") << "codes" << Cbc3;
        QTest::newRow("purposes") << "purposes" << "013";
        QTest::newRow("kinds") << "kinds" << "002";
    }
    void ctrlDeleteAsksFirst()
    {
        QFETCH(QString, book);
        QFETCH(QString, code);
        Books b;
        ui::RecordingAnswerer said;
        TBookSelectForm& list = b.list(book);
        Table& t = list.table();
        const QString field = QString::fromLatin1(list.def().codeField);
        const QStringList before = codes(t, field);
        list.show();
        QVERIFY(t.findKey({code}));
        said.queue(dm::MsgResult::Cancel);
        gui::press(list.Grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(said.texts(), QStringList{"Delete record?"});
        QCOMPARE(said.last().buttons, dm::MsgButtons::OkCancel);
        QCOMPARE(codes(t, field), before);

        QVERIFY(t.findKey({code}));
        said.queue(dm::MsgResult::Ok);
        gui::press(list.Grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(said.texts(), (QStringList{"Delete record?", "Delete record?"}));
        QStringList after = before;
        after.removeOne(code);
        QCOMPARE(codes(t, field), after);
        QCOMPARE(t.state(), store::TableState::Browse);
        list.hide();
    }

    // Ctrl+Del on a row in use: the question, then the store's text alone.
    void ctrlDeleteRowInUse()
    {
        Books b;
        ui::RecordingAnswerer said;
        Table& org = b.db.Org_Table;
        const QStringList before = codes(org, "Org");
        b.orgList.show();
        QVERIFY(org.findKey({"00101"}));
        gui::press(b.orgList.Grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(said.texts(), (QStringList{"Delete record?", Master}));
        QCOMPARE(codes(org, "Org"), before);
        QCOMPARE(org.state(), store::TableState::Browse);
        b.orgList.hide();
    }
};

QTEST_MAIN(BookMessagesTest)
#include "tst_book_messages.moc"
