// The shared widgets: message boxes, the image list, the data grid, the
// lookup combo, the bound edits, the date line and the amount edits, driven
// with real keys and clicks.
#include "tests/gui.h"
#include "tests/testroot.h"
#include "core/ui/amountedit.h"
#include "core/ui/dateedit.h"
#include "core/ui/dbedit.h"
#include "core/ui/dbgrid.h"
#include "core/ui/dblookupcombo.h"
#include "core/ui/icons.h"
#include "core/ui/messagebox.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

using namespace gui;
using store::Table;

namespace {

QStringList buttonTexts(QWidget* box)
{
    QStringList out;
    for (auto* b : box->findChildren<QPushButton*>())
        out << b->text();
    out.sort();
    return out;
}

// Purposes: two-character group headings and three-character codes.
void fillPurposes(Table& law)
{
    const char* rows[][2] = {{"01", "Группа один"}, {"011", "Первая"}, {"012", "Вторая"},
                             {"02", "Группа два"},  {"021", "Третья"}, {"022", "Четвёртая"},
                             {"03", "Группа три"},  {"031", "Пятая"},  {"032", "Шестая"},
                             {"04", "Группа четыре"}, {"041", "Седьмая"}, {"042", "Восьмая"}};
    for (const auto& r : rows)
        law.appendRecord({QString::fromUtf8(r[0]), QString::fromUtf8(r[1])});
    law.first();
}

QString cell(ui::DBGrid& g, int row, int col) { return g.model()->index(row, col).data().toString(); }

// A window holding a widget and a second line to take the focus.
struct Window {
    QWidget w;
    QLineEdit* other;
    explicit Window(QWidget* main)
    {
        auto* lay = new QVBoxLayout(&w);
        main->setParent(&w);
        lay->addWidget(main);
        other = new QLineEdit(&w);
        other->setObjectName(QStringLiteral("other"));
        lay->addWidget(other);
        w.resize(420, 320);
        w.show();
        QVERIFY(gui::activate(&w));
    }
};

} // namespace

class TstUi : public QObject {
    Q_OBJECT

    std::unique_ptr<TestRoot> root;
    std::unique_ptr<store::Session> session;

private slots:
    void initTestCase()
    {

        qRegisterMetaType<QKeyEvent*>();
    }
    void init()
    {
        root = std::make_unique<TestRoot>();
        session = root->session();
    }
    void cleanup()
    {
        ui::setAnswerer({});
        session.reset();
        root.reset();
    }

    // ------------------------------------------------------------ messages

    void answererRecordsAndAnswers()
    {
        ui::RecordingAnswerer rec(dm::MsgResult::Ok);
        rec.queue(dm::MsgResult::Cancel);
        QCOMPARE(ui::messageBox("Удаление", "Удалить запись?", dm::MsgButtons::OkCancel, dm::MsgIcon::Warning),
                 dm::MsgResult::Cancel);
        QCOMPARE(rec.count(), 1);
        QCOMPARE(rec.last().caption, QStringLiteral("Удаление"));
        QCOMPARE(rec.last().text, QStringLiteral("Удалить запись?"));
        QCOMPARE(rec.last().buttons, dm::MsgButtons::OkCancel);
        QCOMPARE(rec.last().icon, dm::MsgIcon::Warning);
        // Queue used up: the fallback.
        QCOMPARE(ui::messageBox("a", "b", dm::MsgButtons::OkCancel, dm::MsgIcon::None), dm::MsgResult::Ok);

        // A box with OK alone cannot answer Cancel.
        rec.queue(dm::MsgResult::Cancel);
        QCOMPARE(ui::messageBox("a", "c", dm::MsgButtons::Ok, dm::MsgIcon::None), dm::MsgResult::Ok);

        ui::message("Готово");
        QCOMPARE(rec.last().caption, QStringLiteral("Сальдина"));
        QCOMPARE(rec.last().buttons, dm::MsgButtons::Ok);
        QCOMPARE(rec.last().icon, dm::MsgIcon::None);
        ui::showError("Ошибка записи");
        QCOMPARE(rec.last().caption, QStringLiteral("Сальдина"));
        QCOMPARE(rec.last().icon, dm::MsgIcon::Error);
        QCOMPARE(rec.last().text, QStringLiteral("Ошибка записи"));

        // The data module's messages come the same way.
        rec.queue(dm::MsgResult::Cancel);
        const dm::MessageFn fn = ui::dataModuleMessages();
        QCOMPARE(fn("Архив", "Сделать копию?", dm::MsgButtons::OkCancel, dm::MsgIcon::Information),
                 dm::MsgResult::Cancel);
        QCOMPARE(rec.count(), 6);
        QCOMPARE(rec.texts().last(), QStringLiteral("Сделать копию?"));

        // A nested answerer gives the outer one back.
        {
            ui::RecordingAnswerer inner(dm::MsgResult::Cancel);
            QVERIFY(!ui::confirm("Выйти?"));
            QCOMPARE(inner.count(), 1);
        }
        QVERIFY(ui::confirm("Выйти?"));
        QCOMPARE(rec.count(), 7);
    }

    void realBoxKeys()
    {
        QVERIFY(!ui::hasAnswerer());
        // Esc on OK/Отмена: Cancel; the texts of the box as given, plain.
        QString title, text;
        QStringList buttons;
        onNextModal(nullptr, [&](QWidget* box) {
            title = box->windowTitle();
            text = static_cast<QMessageBox*>(box)->text();
            buttons = buttonTexts(box);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(ui::messageBox("Вопрос", "Сумма <b>12,50</b>?", dm::MsgButtons::OkCancel, dm::MsgIcon::Warning),
                 dm::MsgResult::Cancel);
        QCOMPARE(title, QStringLiteral("Вопрос"));
        QCOMPARE(text, QStringLiteral("Сумма <b>12,50</b>?"));
        QCOMPARE(buttons, QStringList({"OK", "Отмена"}));

        // Enter presses OK; on a focused button, that button.
        onNextModal(nullptr, [](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
        QCOMPARE(ui::messageBox("Вопрос", "Да?", dm::MsgButtons::OkCancel, dm::MsgIcon::None), dm::MsgResult::Ok);
        for (Qt::Key key : EnterKeys)
            for (const char* button : {"OK", "Отмена"}) {
                onNextModal(nullptr, [&](QWidget* box) {
                    for (auto* b : box->findChildren<QPushButton*>())
                        if (b->text() == QString::fromUtf8(button))
                            pressIn(b, key);
                });
                QCOMPARE(ui::messageBox("Вопрос", "Да?", dm::MsgButtons::OkCancel, dm::MsgIcon::None),
                         QByteArray(button) == "OK" ? dm::MsgResult::Ok : dm::MsgResult::Cancel);
            }

        // OK alone: Esc answers Ok; the application title is the caption.
        onNextModal(nullptr, [&](QWidget* box) {
            title = box->windowTitle();
            buttons = buttonTexts(box);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        ui::showError("Нет файла");
        QCOMPARE(title, QStringLiteral("Сальдина"));
        QCOMPARE(buttons, QStringList({"OK"}));
        QVERIFY(!QApplication::activeModalWidget());
    }

    // ------------------------------------------------------------ icons

    void imageList()
    {
        QCOMPARE(ui::imageCount(), 18);
        QList<QImage> images;
        for (int i = 0; i < ui::imageCount(); ++i) {
            const QPixmap pm = ui::image(i);
            QCOMPARE(pm.size(), QSize(19, 19));
            QVERIFY(!ui::icon(i).isNull());
            const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
            int painted = 0;
            for (int y = 0; y < 19; ++y)
                for (int x = 0; x < 19; ++x)
                    if (qAlpha(img.pixel(x, y)) > 128)
                        ++painted;
            QVERIFY2(painted > 60, qPrintable(QStringLiteral("image %1 nearly empty").arg(i)));
            QVERIFY2(painted < 19 * 19, qPrintable(QStringLiteral("image %1 has no shape").arg(i)));
            for (int j = 0; j < images.size(); ++j)
                QVERIFY2(images[j] != img, qPrintable(QStringLiteral("images %1 and %2 equal").arg(j).arg(i)));
            images << img;
        }
        QVERIFY(ui::image(18).isNull());
        QVERIFY(ui::image(-1).isNull());
    }

    // ------------------------------------------------------------ grid

    void gridShowsDisplayTexts()
    {
        auto law = root->table(*session, "law_spr");
        fillPurposes(*law);
        auto t1 = root->table(*session, "t1");
        t1->appendRecord({"40101", "011", 12.5, 0.0, -3.0});
        t1->appendRecord({"40102", "021", 1234567.891, QVariant(), 0.0});
        // The purpose's short name as a calculated field, the account
        // through a display hook.
        t1->setCalcFields([&](Table& t) {
            if (law->findKey({t.fieldByName("LawRef").asString()}))
                t.fieldByName("LawSName").setValue(law->fieldByName("Sname").value());
        });
        t1->fieldByName("Facebill").setDisplayHook([](const store::Field& f) { return "№ " + f.asString(); });
        t1->first();

        ui::DBGrid grid;
        grid.setObjectName("grid");
        grid.setTable(t1.get());
        grid.setColumns({{"Facebill", "Счёт", 90},
                         {"LawSName", "Назначение", 120},
                         {"InAmount", "Приход", 80, Qt::AlignRight},
                         {"OutAmount", "Расход", 80, Qt::AlignRight},
                         {"Remainder", "Остаток", 80, Qt::AlignRight}});
        QCOMPARE(grid.model()->rowCount(), 2);
        QCOMPARE(grid.model()->columnCount(), 5);
        QCOMPARE(grid.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Назначение"));
        QCOMPARE(grid.columnWidth(0), 90);
        QCOMPARE(cell(grid, 0, 0), QStringLiteral("№ 40101"));
        QCOMPARE(cell(grid, 0, 1), QStringLiteral("Первая"));
        QCOMPARE(cell(grid, 0, 2), QStringLiteral("12,50"));
        QCOMPARE(cell(grid, 0, 3), QStringLiteral("0,00"));
        QCOMPARE(cell(grid, 0, 4), QStringLiteral("-3,00"));
        QCOMPARE(cell(grid, 1, 1), QStringLiteral("Третья"));
        QCOMPARE(cell(grid, 1, 2), QStringLiteral("1234567,89"));
        QCOMPARE(cell(grid, 1, 3), QString());
        const auto align = grid.model()->index(0, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        QVERIFY(align & Qt::AlignRight);
        // Read-only: no cell can be edited.
        QVERIFY(!(grid.model()->flags(grid.model()->index(0, 0)) & Qt::ItemIsEditable));
        QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
        // The current row is marked even without the focus.
        QCOMPARE(grid.palette().color(QPalette::Inactive, QPalette::Highlight),
                 grid.palette().color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(grid.selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(grid.selectionMode(), QAbstractItemView::SingleSelection);
    }

    void gridAndTableMoveTogether()
    {
        auto law = root->table(*session, "law_spr");
        fillPurposes(*law);
        auto* grid = new ui::DBGrid;
        grid->setTable(law.get());
        grid->setColumns({{"LawRef", "Код", 50}, {"Sname", "Наименование", 200}});
        Window win(grid);
        grid->setFocus();
        QCOMPARE(grid->currentRow(), 0);
        QVERIFY(grid->selectionModel()->isRowSelected(0, {}));

        // The table moves: the grid follows.
        law->setRecNo(5);
        QCOMPARE(grid->currentRow(), 4);
        QVERIFY(grid->selectionModel()->isRowSelected(4, {}));
        QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
        law->last();
        QCOMPARE(grid->currentRow(), 11);
        law->first();
        QCOMPARE(grid->currentRow(), 0);

        // Keys move the table.
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(law->recNo(), 2);
        QCOMPARE(law->fieldByName("LawRef").asString(), QStringLiteral("011"));
        QTest::keyClick(grid, Qt::Key_Up);
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(law->recNo(), 1);
        QTest::keyClick(grid, Qt::Key_PageDown);
        QVERIFY(law->recNo() > 2);
        QCOMPARE(law->recNo(), grid->currentRow() + 1);
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(law->recNo(), 12);
        QCOMPARE(grid->currentRow(), 11);
        QTest::keyClick(grid, Qt::Key_Home);
        QCOMPARE(law->recNo(), 1);
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(law->recNo(), 12);

        // A click moves the table and tells which cell was clicked.
        QSignalSpy clicked(grid, &ui::DBGrid::cellClicked);
        const QRect r = grid->visualRect(grid->model()->index(3, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(law->recNo(), 4);
        QCOMPARE(law->fieldByName("LawRef").asString(), QStringLiteral("02"));
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked[0][0].toInt(), 3);
        QCOMPARE(clicked[0][1].toString(), QStringLiteral("Sname"));
        QSignalSpy dbl(grid, &QAbstractItemView::doubleClicked);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(dbl.size(), 1);
        QVERIFY(!grid->viewport()->findChild<QLineEdit*>());   // no editor

        // Left and Right stay on the row.
        QTest::keyClick(grid, Qt::Key_Left);
        QCOMPARE(law->recNo(), 4);
    }

    void gridResetsWithTheView()
    {
        auto law = root->table(*session, "law_spr");
        fillPurposes(*law);
        ui::DBGrid grid;
        grid.setTable(law.get());
        grid.setColumns({{"LawRef", "Код", 50}, {"Sname", "Наименование", 200}});
        QSignalSpy resets(grid.model(), &QAbstractItemModel::modelReset);

        // A new row: the view is read again and the posted row is current.
        law->appendRecord({"015", "Новая"});
        QVERIFY(resets.size() >= 1);
        QCOMPARE(grid.model()->rowCount(), 13);
        QCOMPARE(grid.currentRow(), law->currentIndex());
        QCOMPARE(cell(grid, grid.currentRow(), 0), QStringLiteral("015"));
        QCOMPARE(cell(grid, 3, 0), QStringLiteral("015"));

        // A filter.
        law->setFilterCallback([](Table& t) { return t.fieldByName("LawRef").asString().size() == 2; });
        law->setFiltered(true);
        QCOMPARE(grid.model()->rowCount(), 4);
        QCOMPARE(cell(grid, 1, 0), QStringLiteral("02"));
        QCOMPARE(grid.currentRow(), law->currentIndex());
        law->setFiltered(false);
        QCOMPARE(grid.model()->rowCount(), 13);

        // A changed value of the current row shows at once.
        law->setRecNo(2);
        law->edit();
        law->fieldByName("Sname").setValue("Исправлено");
        QCOMPARE(cell(grid, 1, 1), QStringLiteral("Исправлено"));
        law->cancel();
        QCOMPARE(cell(grid, 1, 1), QStringLiteral("Первая"));

        // A row being inserted is shown last and is the current row.
        law->append();
        QCOMPARE(grid.model()->rowCount(), 14);
        QCOMPARE(grid.currentRow(), 13);
        law->fieldByName("LawRef").setValue("05");
        QCOMPARE(cell(grid, 13, 0), QStringLiteral("05"));
        law->cancel();
        QCOMPARE(grid.model()->rowCount(), 13);

        // Removal.
        law->setRecNo(1);
        law->remove();
        QCOMPARE(grid.model()->rowCount(), 12);
        QCOMPARE(cell(grid, 0, 0), QStringLiteral("011"));
        QCOMPARE(grid.currentRow(), 0);

        // Another copy of the program adds a row: first() shows it.
        {
            auto other = root->session(QStringLiteral("User2"));
            auto law2 = root->table(*other, "law_spr");
            law2->appendRecord({"06", "Группа шесть"});
        }
        law->first();
        QCOMPARE(grid.model()->rowCount(), 13);
        QCOMPARE(cell(grid, 12, 0), QStringLiteral("06"));
        law->setRecNo(1);
        law->remove();

        // Closed: empty; open again: the rows are back.
        law->close();
        QCOMPARE(grid.model()->rowCount(), 0);
        QCOMPARE(grid.currentRow(), -1);
        law->open();
        QCOMPARE(grid.model()->rowCount(), 12);
        QCOMPARE(grid.currentRow(), 0);
    }

    void gridLeavingAChangedRowPostsIt()
    {
        auto law = root->table(*session, "law_spr");
        fillPurposes(*law);
        auto t1 = root->table(*session, "t1");
        t1->appendRecord({"40101", "011"});
        t1->appendRecord({"40102", "012"});
        t1->first();
        auto* grid = new ui::DBGrid;
        grid->setTable(t1.get());
        grid->setColumns({{"Facebill", "Счёт", 90}, {"InAmount", "Приход", 80, Qt::AlignRight}});
        Window win(grid);
        grid->setFocus();

        t1->edit();
        t1->fieldByName("InAmount").setValue(5.0);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(t1->state(), store::TableState::Browse);
        QCOMPARE(t1->recNo(), 2);
        QCOMPARE(cell(*grid, 0, 1), QStringLiteral("5,00"));

        // A row the store refuses stays, and the refusal is shown.
        ui::RecordingAnswerer rec;
        t1->append();   // no account: refused
        QCOMPARE(grid->currentRow(), 2);
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(rec.count(), 1);
        QCOMPARE(rec.last().icon, dm::MsgIcon::Error);
        QVERIFY(!rec.last().text.isEmpty());
        QCOMPARE(t1->state(), store::TableState::Insert);
        QCOMPARE(grid->currentRow(), 2);
        const QRect r = grid->visualRect(grid->model()->index(0, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(rec.count(), 2);
        QCOMPARE(t1->state(), store::TableState::Insert);
        t1->cancel();
        QCOMPARE(grid->model()->rowCount(), 2);

        // The current row set by the program while a row is changed: the
        // post re-reads the view after the grid has finished moving.
        t1->setRecNo(1);
        t1->edit();
        t1->fieldByName("InAmount").setValue(7.0);
        grid->setCurrentIndex(grid->model()->index(1, 0));
        QCOMPARE(t1->state(), store::TableState::Browse);
        QCOMPARE(t1->recNo(), 2);
        QTRY_COMPARE(cell(*grid, 0, 1), QStringLiteral("7,00"));
        QCOMPARE(grid->currentRow(), 1);
        QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
    }

    void gridReadsOnlyTheRowsItPaints()
    {
        auto md4 = root->table(*session, "md4");
        md4->connection().beginBatch();
        for (int i = 0; i < 10000; ++i)
            md4->appendRecord({QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')), "Статья", double(i), 1.0});
        md4->connection().commitBatch();
        int calcs = 0;
        md4->setCalcFields([&](Table& t) {
            ++calcs;
            t.fieldByName("InAll").setValue(t.fieldByName("InQ1").asFloat() + t.fieldByName("InQ2").asFloat());
        });
        md4->first();
        QCOMPARE(md4->recordCount(), 10000);

        auto* grid = new ui::DBGrid;
        grid->setTable(md4.get());
        grid->setColumns({{"CBC", "КБК", 80}, {"CBCName", "Статья", 100}, {"InAll", "Всего", 90, Qt::AlignRight}});
        Window win(grid);
        grid->setFocus();
        QCOMPARE(grid->model()->rowCount(), 10000);
        const int visible = grid->visibleRowCount();
        QVERIFY(visible >= 3);

        auto* model = grid->tableModel();
        model->resetFetchCount();
        calcs = 0;
        grid->viewport()->repaint();
        QVERIFY(model->fetchCount() > 0);
        QVERIFY2(model->fetchCount() <= visible + 2, qPrintable(QString::number(model->fetchCount())));
        QVERIFY2(calcs <= visible + 2, qPrintable(QString::number(calcs)));
        QCOMPARE(cell(*grid, 0, 2), QStringLiteral("1,00"));

        // To the end and back: still only a screenful each time.
        model->resetFetchCount();
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(md4->recNo(), 10000);
        grid->viewport()->repaint();
        QVERIFY2(model->fetchCount() <= visible + 2, qPrintable(QString::number(model->fetchCount())));
        QCOMPARE(cell(*grid, 9999, 2), QStringLiteral("10000,00"));
        model->resetFetchCount();
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(grid, Qt::Key_PageUp);
        grid->viewport()->repaint();
        QVERIFY2(model->fetchCount() <= 3 * (visible + 2), qPrintable(QString::number(model->fetchCount())));
        QCOMPARE(md4->recNo(), grid->currentRow() + 1);
        // Typing letters does not search through the rows.
        model->resetFetchCount();
        QTest::keyClicks(grid, "abc");
        QCOMPARE(model->fetchCount(), 0);
    }

    void gridWaitsWhileControlsAreDisabled()
    {
        auto law = root->table(*session, "law_spr");
        fillPurposes(*law);
        int calcs = 0;
        law->setCalcFields([&](Table&) { ++calcs; });
        auto* grid = new ui::DBGrid;
        grid->setTable(law.get());
        grid->setColumns({{"LawRef", "Код", 50}, {"Sname", "Наименование", 200}});
        Window win(grid);
        grid->setFocus();
        grid->viewport()->repaint();
        auto* model = grid->tableModel();
        QSignalSpy resets(model, &QAbstractItemModel::modelReset);

        // A scan with the controls disabled: the grid neither moves nor reads.
        law->disableControls();
        model->resetFetchCount();
        int rows = 0;
        for (law->first(); !law->eof(); law->next())
            ++rows;
        QCOMPARE(rows, 12);
        law->appendRecord({"05", "Группа пять"});
        calcs = 0;
        grid->viewport()->repaint();
        model->newPass();   // even rows due to be read again are not
        grid->viewport()->repaint();
        QCOMPARE(model->fetchCount(), 0);
        QCOMPARE(calcs, 0);
        QCOMPARE(grid->currentRow(), 0);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(cell(*grid, 0, 0), QStringLiteral("01"));   // what was read before
        // Keys wait too: the scan's position stays.
        const int at = law->recNo();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(law->recNo(), at);

        law->enableControls();
        QCOMPARE(resets.size(), 1);
        QCOMPARE(grid->model()->rowCount(), 13);
        QCOMPARE(grid->currentRow(), law->currentIndex());

        // Detached: the grid is empty and reads nothing.
        grid->setTable(nullptr);
        QCOMPARE(grid->model()->rowCount(), 0);
        model->resetFetchCount();
        law->first();
        law->next();
        grid->viewport()->repaint();
        QCOMPARE(model->fetchCount(), 0);
    }

    void gridGroupHeadingColours()
    {
        auto law = root->table(*session, "law_spr");
        fillPurposes(*law);
        law->setRecNo(2);   // the hook must read each row, not the current one
        ui::DBGrid grid;
        grid.setTable(law.get());
        grid.setColumns({{"LawRef", "Код", 50}, {"Sname", "Наименование", 200}});
        const QColor heading(255, 255, 190);
        QStringList asked;
        grid.setCellColorHook([&](Table& t, const QString& field) {
            asked << field;
            return t.fieldByName("LawRef").asString().size() == 2 ? heading : QColor();
        });
        auto colour = [&](int row, int col) { return grid.model()->index(row, col).data(Qt::BackgroundRole); };
        QCOMPARE(colour(0, 0).value<QColor>(), heading);
        QCOMPARE(colour(0, 1).value<QColor>(), heading);
        QVERIFY(!colour(1, 0).isValid());
        QVERIFY(!colour(2, 1).isValid());
        QCOMPARE(colour(3, 1).value<QColor>(), heading);
        QCOMPARE(colour(9, 0).value<QColor>(), heading);
        QVERIFY(!colour(11, 0).isValid());
        QVERIFY(asked.contains("Sname"));
        QCOMPARE(law->recNo(), 2);
    }

    void gridKeySignals()
    {
        auto law = root->table(*session, "law_spr");
        fillPurposes(*law);
        auto* grid = new ui::DBGrid;
        grid->setTable(law.get());
        grid->setColumns({{"LawRef", "Код", 50}, {"Sname", "Наименование", 200}});
        Window win(grid);
        grid->setFocus();
        QSignalSpy pressed(grid, &ui::DBGrid::keyPressed);
        QSignalSpy released(grid, &ui::DBGrid::keyReleased);
        QList<int> keys;
        connect(grid, &ui::DBGrid::keyPressed, this, [&](QKeyEvent* e) { keys << e->key(); });

        for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Insert, Qt::Key_Delete, Qt::Key_F2})
            QTest::keyClick(grid, k);
        QCOMPARE(keys, QList<int>({Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Insert, Qt::Key_Delete,
                                   Qt::Key_F2}));
        QCOMPARE(released.size(), 6);
        // Enter and F2 do not start editing.
        QVERIFY(!grid->viewport()->findChild<QLineEdit*>());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(grid));
        QCOMPARE(law->state(), store::TableState::Browse);
        QCOMPARE(law->recNo(), 1);

        // Tab is told too, and goes to the next control.
        QTest::keyClick(grid, Qt::Key_Tab);
        QCOMPARE(keys.last(), int(Qt::Key_Tab));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(win.other));

        // The owner swallows Ins: no signal and no handling for it.
        grid->setFocus();
        int filtered = 0;
        grid->setKeyFilter([&](QKeyEvent* e) {
            if (e->key() != Qt::Key_Insert && e->key() != Qt::Key_Down)
                return false;
            ++filtered;
            return true;
        });
        pressed.clear();
        QTest::keyClick(grid, Qt::Key_Insert);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(pressed.size(), 0);
        QCOMPARE(filtered, 4);   // pressed and released, twice
        QCOMPARE(law->recNo(), 1);   // Down swallowed
        QTest::keyClick(grid, Qt::Key_Escape);
        QCOMPARE(pressed.size(), 1);
    }

    // ------------------------------------------------------------ lookup combo

    void lookupComboChoosesRows()
    {
        auto law = root->table(*session, "law_spr");
        fillPurposes(*law);
        auto* combo = new ui::DBLookupCombo;
        combo->setObjectName("lawCombo");
        combo->setTable(law.get(), "LawRef", {{"LawRef", "", 40}, {"Sname", "", 150}});
        Window win(combo);
        QSignalSpy changed(combo, &ui::DBLookupCombo::changed);
        QCOMPARE(combo->text(), QStringLiteral("01"));
        QCOMPARE(combo->dropDownRows(), 8);
        QVERIFY(combo->matches());

        // The table moves: the text follows.
        law->setRecNo(3);
        QCOMPARE(combo->text(), QStringLiteral("012"));
        QCOMPARE(changed.size(), 1);

        // Typing a key that a row has makes that row current.
        combo->setFocus();
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), "031");
        QCOMPARE(law->fieldByName("LawRef").asString(), QStringLiteral("031"));
        QCOMPARE(combo->text(), QStringLiteral("031"));
        QVERIFY(changed.size() >= 2);
        // A key no row has: the table stays.
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), "099");
        QCOMPARE(combo->text(), QStringLiteral("099"));
        QVERIFY(!combo->matches());
        QCOMPARE(law->fieldByName("LawRef").asString(), QStringLiteral("031"));

        combo->setText("02");
        QCOMPARE(law->fieldByName("LawRef").asString(), QStringLiteral("02"));
        QVERIFY(combo->matches());

        // Up and Down go through the rows.
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->text(), QStringLiteral("021"));
        QTest::keyClick(combo, Qt::Key_Up);
        QTest::keyClick(combo, Qt::Key_Up);
        QCOMPARE(combo->text(), QStringLiteral("012"));

        // The list: eight rows, Down twice and Enter choose.
        QTest::keyClick(combo, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(combo->isPopupVisible());
        ui::DBGrid* list = combo->listGrid();
        QVERIFY(list);
        QCOMPARE(list->visibleRowCount(), 8);
        QCOMPARE(list->currentRow(), 2);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(!combo->isPopupVisible());
        QCOMPARE(law->recNo(), 5);
        QCOMPARE(combo->text(), QStringLiteral("021"));

        // Esc leaves the table where it was.
        combo->showPopup();
        QTest::keyClick(combo->listGrid(), Qt::Key_Down);
        QTest::keyClick(combo->listGrid(), Qt::Key_Escape);
        QVERIFY(!combo->isPopupVisible());
        QCOMPARE(law->recNo(), 5);
        QCOMPARE(combo->text(), QStringLiteral("021"));

        // A click in the list chooses the row.
        combo->showPopup();
        list = combo->listGrid();
        const int row = list->rowAt(list->rowHeight() + 2);   // the second row seen
        QVERIFY(row >= 0 && row != law->currentIndex());
        const QString key = list->model()->index(row, 0).data().toString();
        const QRect r = list->visualRect(list->model()->index(row, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(!combo->isPopupVisible());
        QCOMPARE(law->recNo(), row + 1);
        QCOMPARE(combo->text(), key);
        QCOMPARE(list->model()->rowCount(), 0);   // the closed list lets the table go

        law->close();
        QCOMPARE(combo->text(), QString());
    }

    // ------------------------------------------------------------ bound edits

    void dbEditWritesInEditState()
    {
        auto law = root->table(*session, "law_spr");
        fillPurposes(*law);
        auto t1 = root->table(*session, "t1");
        t1->appendRecord({"40101", "011", 12.5});
        t1->first();

        auto* box = new QWidget;
        auto* lay = new QVBoxLayout(box);
        auto* account = new ui::DBEdit(box);
        account->setObjectName("account");
        account->setField(t1.get(), "Facebill");
        auto* amount = new ui::DBEdit(box);
        amount->setField(t1.get(), "InAmount");
        auto* label = new ui::DBText(box);
        label->setField(t1.get(), "InAmount");
        lay->addWidget(account);
        lay->addWidget(amount);
        lay->addWidget(label);
        Window win(box);

        QCOMPARE(account->text(), QStringLiteral("40101"));
        QCOMPARE(account->maxLength(), 11);
        QCOMPARE(amount->text(), QStringLiteral("12,50"));
        QCOMPARE(label->text(), QStringLiteral("12,50"));
        QVERIFY(amount->alignment() & Qt::AlignRight);
        // Browse: nothing can be typed.
        QVERIFY(account->isReadOnly());
        amount->setFocus();
        QTest::keyClicks(amount, "9");
        QCOMPARE(amount->text(), QStringLiteral("12,50"));

        t1->edit();
        QVERIFY(!amount->isReadOnly());
        amount->selectAll();
        QTest::keyClicks(amount, "100.5");
        QCOMPARE(t1->fieldByName("InAmount").asFloat(), 100.5);
        QCOMPARE(amount->text(), QStringLiteral("100.5"));   // as typed until left
        QCOMPARE(label->text(), QStringLiteral("100,50"));
        win.other->setFocus();
        QTRY_COMPARE(amount->text(), QStringLiteral("100,50"));
        t1->post();
        QCOMPARE(t1->fieldByName("InAmount").asFloat(), 100.5);

        // A refused text is reported when the line is left, and it keeps the focus.
        ui::RecordingAnswerer rec;
        t1->edit();
        amount->setFocus();
        amount->selectAll();
        QTest::keyClicks(amount, "12x");
        QVERIFY(amount->hasPendingError());
        QCOMPARE(rec.count(), 0);
        win.other->setFocus();
        QCOMPARE(rec.count(), 1);
        QCOMPARE(rec.last().icon, dm::MsgIcon::Error);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(amount));
        QTest::keyClick(amount, Qt::Key_Escape);
        QCOMPARE(amount->text(), QStringLiteral("100,50"));
        t1->cancel();

        // A new row: the lines are empty and take what is typed.
        t1->append();
        QCOMPARE(account->text(), QString());
        account->setFocus();
        QTest::keyClicks(account, "40199");
        QCOMPARE(t1->fieldByName("Facebill").asString(), QStringLiteral("40199"));
        t1->post();
        QCOMPARE(t1->recordCount(), 2);
        t1->first();
        QCOMPARE(account->text(), QStringLiteral("40101"));
        t1->last();
        QCOMPARE(account->text(), QStringLiteral("40199"));
        QCOMPARE(label->text(), QString());
        QVERIFY(account->isReadOnly());
    }

    // ------------------------------------------------------------ dates

    void dateEditShowsWhatItReads()
    {
        auto* edit = new ui::DateEdit;
        edit->setObjectName("date");
        Window win(edit);
        QSignalSpy changed(edit, &ui::DateEdit::changed);
        QCOMPARE(edit->text(), QString());
        QVERIFY(edit->date().isNull());
        edit->setDate(QDate(2004, 2, 1));
        QCOMPARE(edit->text(), QStringLiteral("01.02.2004"));
        QCOMPARE(edit->date(), QDate(2004, 2, 1));
        QCOMPARE(changed.size(), 1);
        edit->setDate(QDate());
        QCOMPARE(edit->text(), QString());
        QVERIFY(edit->date().isNull());

        // Typed: the date is read as shown, the short form made full on leaving.
        edit->setFocus();
        QTest::keyClicks(edit, "1.2.04");
        QCOMPARE(edit->text(), QStringLiteral("1.2.04"));
        QCOMPARE(edit->date(), QDate(2004, 2, 1));
        win.other->setFocus();
        QCOMPARE(edit->text(), QStringLiteral("01.02.2004"));
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "15032004");
        QVERIFY(edit->date().isNull());   // as shown: not a date yet
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), QStringLiteral("15.03.2004"));
        // Letters cannot be typed.
        edit->selectAll();
        QTest::keyClicks(edit, "ab");
        QCOMPARE(edit->text(), QStringLiteral("15.03.2004"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
        QVERIFY(edit->date().isNull());

        // Not a date: reported on leaving, the focus comes back.
        ui::RecordingAnswerer rec;
        QTest::keyClicks(edit, "31.02.2004");
        QVERIFY(edit->date().isNull());
        QVERIFY(!edit->hasValidText());
        win.other->setFocus();
        QCOMPARE(rec.count(), 1);
        QVERIFY(rec.last().text.contains("31.02.2004"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
        // Empty is a valid answer.
        edit->clear();
        win.other->setFocus();
        QCOMPARE(rec.count(), 1);

        // The calendar: F4 drops it down on the date shown, Enter takes the day.
        edit->setFocus();
        edit->setDate(QDate(2004, 5, 10));
        QTest::keyClick(edit, Qt::Key_F4);
        QVERIFY(edit->isCalendarVisible());
        QCOMPARE(edit->calendar()->selectedDate(), QDate(2004, 5, 10));
        QCOMPARE(edit->calendar()->firstDayOfWeek(), Qt::Monday);
        edit->calendar()->setSelectedDate(QDate(2004, 5, 12));
        QWidget* view = edit->calendar()->findChild<QAbstractItemView*>();
        QVERIFY(view);
        QTest::keyClick(view, Qt::Key_Return);
        QVERIFY(!edit->isCalendarVisible());
        QCOMPARE(edit->text(), QStringLiteral("12.05.2004"));
        // Esc closes it and keeps the text.
        QTest::keyClick(edit, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(edit->isCalendarVisible());
        QTest::keyClick(edit->calendar()->findChild<QAbstractItemView*>(), Qt::Key_Escape);
        QTRY_VERIFY(!edit->isCalendarVisible());
        QCOMPARE(edit->text(), QStringLiteral("12.05.2004"));
    }

    // ------------------------------------------------------------ amounts

    void amountEditText()
    {
        auto* edit = new ui::AmountEdit;
        edit->setObjectName("amount");
        Window win(edit);
        QCOMPARE(edit->text(), QStringLiteral("0,00"));
        QCOMPARE(edit->value(), 0.0);
        edit->setValue(-0.0);
        QCOMPARE(edit->text(), QStringLiteral("0,00"));
        edit->setValue(-0.004);
        QCOMPARE(edit->text(), QStringLiteral("0,00"));
        edit->setValue(1234.5);
        QCOMPARE(edit->text(), QStringLiteral("1234,50"));
        edit->setValue(-7);
        QCOMPARE(edit->text(), QStringLiteral("-7,00"));
        QCOMPARE(edit->value(), -7.0);
        edit->setValue(123456789012.34);
        QCOMPARE(edit->text(), QStringLiteral("123456789012,34"));
        edit->setValue(0.125);
        QCOMPARE(edit->text(), QStringLiteral("0,13"));
        QCOMPARE(edit->value(), 0.13);

        QSignalSpy texts(edit, &ui::AmountEdit::textChanged);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, "12.5");
        QCOMPARE(edit->text(), QStringLiteral("12,5"));
        QCOMPARE(edit->value(), 12.5);
        QVERIFY(texts.size() >= 4);
        win.other->setFocus();
        QCOMPARE(edit->text(), QStringLiteral("12,50"));

        // Up and Down step by one, into the negative too.
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Up);
        QCOMPARE(edit->text(), QStringLiteral("13,50"));
        QTest::keyClick(edit, Qt::Key_Down);
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(edit->text(), QStringLiteral("11,50"));
        edit->setValue(0.5);
        QTest::keyClick(edit, Qt::Key_Down);
        QCOMPARE(edit->text(), QStringLiteral("-0,50"));

        // A third decimal and letters are refused; a lone sign reads as zero.
        edit->selectAll();
        QTest::keyClicks(edit, "-3,456x");
        QCOMPARE(edit->text(), QStringLiteral("-3,45"));
        QCOMPARE(edit->value(), -3.45);
        edit->selectAll();
        QTest::keyClicks(edit, "1 234.5");
        QCOMPARE(edit->text(), QStringLiteral("1234,5"));
        edit->selectAll();
        QTest::keyClicks(edit, "-");
        QCOMPARE(edit->value(), 0.0);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(edit->text(), QStringLiteral("0,00"));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        win.other->setFocus();
        QCOMPARE(edit->text(), QStringLiteral("0,00"));
    }

    void intSpinEdit()
    {
        auto* edit = new ui::IntSpinEdit;
        Window win(edit);
        edit->setRange(1990, 2100);
        edit->setValue(2004);
        QCOMPARE(edit->text(), QStringLiteral("2004"));
        QCOMPARE(edit->value(), 2004);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Up);
        QCOMPARE(edit->value(), 2005);
        edit->setValue(2100);
        QTest::keyClick(edit, Qt::Key_Up);
        QCOMPARE(edit->text(), QStringLiteral("2100"));
        edit->setValue(5000);
        QCOMPARE(edit->value(), 2100);

        // Whatever was typed stays for the owner to judge.
        edit->selectAll();
        QTest::keyClicks(edit, "20o4");
        win.other->setFocus();
        QCOMPARE(edit->text(), QStringLiteral("20o4"));
        QVERIFY(!edit->isNumber());
        QCOMPARE(edit->valueOr(-1), -1);
        QCOMPARE(edit->value(), 1990);
        edit->setText(" 2010 ");
        QCOMPARE(edit->valueOr(-1), 2010);
    }
};

QTEST_MAIN(TstUi)
#include "tst_ui.moc"
