// The main window, the settings dialog and the program's start, driven by
// real key and mouse events.
#include "app/aboutform.h"
#include "core/datamodule/datamodule.h"
#include "app/appsetup.h"
#include "app/forms.h"
#include "schedule/corplan/corplanform.h"
#include "accounts/lichform.h"
#include "income/dorgform.h"
#include "reports/income/income_window.h"
#include "reports/accounts/accounts_windows.h"
#include "reports/preview/preview.h"
#include "reports/pipeline/waitform.h"
#include "app/mainform.h"
#include "app/uchfinchform.h"
#include "core/ui/messagebox.h"
#include "tests/gui.h"
#include "tests/install.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using namespace gui;

class AppTest : public QObject {
    Q_OBJECT

    // One root for the whole suite; each test starts without prog.ini.
    Install in{{}, {.settings = false}};

    void writeIni(int year, const QString& orgName = QStringLiteral("Финансовое управление"))
    {
        in.writeIni(year);
        in.setting("OrgName", orgName);
    }

    void start(const QString& iniPath = {})
    {
        CreateForms(iniPath.isEmpty() ? in.ini : iniPath);
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
    }

private slots:
    // The program's start-up: no application display name that Qt would
    // append to every caption on X11 (" — Сальдина"), the application title
    // for the notices, and Qt's own dialogs and buttons in Russian.
    void startUp()
    {
        QVERIFY(SetUpApplication(*qApp));
        QCOMPARE(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
        QCOMPARE(ui::applicationTitle(), QStringLiteral("Сальдина"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Перейти к:"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("&Имя файла:"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
        QCOMPARE(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("Печать"));
    }


    void reportCommands()
    {
        writeIni(QDate::currentDate().year());
        start();
        int previews = 0;
        reports::setPreviewInterceptor([&](reports::Report&, const reports::PageSet&, reports::PreviewMode) { ++previews; });
        // Cancel in the report's dialog runs nothing; "Сформировать" runs the report.
        QWidget* seen = nullptr;
        onNextModal(nullptr, [&](QWidget* w) {
            seen = w;
            QTest::mouseClick(MDForm->CancelButton, Qt::LeftButton);
        });
        MainForm->RepMenuButton1->trigger();
        QCOMPARE(seen, static_cast<QWidget*>(MDForm));
        QCOMPARE(previews, 0);
        onNextModal(nullptr, [&](QWidget* w) {
            seen = w;
            QTest::keyClick(w, Qt::Key_Return);
        });
        QTest::mouseClick(MainForm->findChild<QToolButton*>("RepButton8"), Qt::LeftButton);
        QCOMPARE(seen, static_cast<QWidget*>(MDForm11));
        QCOMPARE(previews, 1);
        QVERIFY(!WaitForm->isVisible());
        reports::setPreviewInterceptor({});
    }
    void initTestCase()
    {

        ui::setAnswerer(in.recorder());
    }

    void init()
    {
        in.said.clear();
        QFile::remove(in.ini);
    }

    void cleanup() { DestroyForms(); }

    void menusAndToolbars()
    {
        writeIni(QDate::currentDate().year());
        start();
        QCOMPARE(MainForm->windowTitle(), TMainForm::caption());
        QVERIFY(TMainForm::caption().startsWith("Сальдина. Версия "));
        QVERIFY(TMainForm::caption().contains(" от "));
        QVERIFY(TMainForm::caption().endsWith(' '));
        QStringList menus;
        for (QAction* a : MainForm->menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus, QStringList({"Средства", "Учет доходов", "Справочники", "Сервис", "&?", "Выход"}));
        QCOMPARE(MainForm->LichSchMenu->shortcut(), QKeySequence(Qt::Key_F2));
        QVERIFY(!MainForm->RepMenuButton3->isEnabled());
        auto* rb3 = MainForm->findChild<QToolButton*>("RepButton3");
        QVERIFY(rb3 && rb3->isEnabled());
        // Only F2 has a shortcut.
        for (QAction* a : MainForm->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
            if (a != MainForm->LichSchMenu)
                QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->objectName()));
        const std::pair<const char*, const char*> hints[] = {
            {"LicToolButton", "Лицевые счета"},
            {"PlanToolButton", "Роспись расходов"},
            {"ToolButton2", "Уведомления корректировки росписи"},
            {"RepButton1", "Поступления/расходы по лицевым счетам"},
            {"RepButton9", ""},
            {"OrgButton", "Открыть приход/расход организаций"},
            {"RepOrgButton", "Отчет по доходу/расходу"},
            {"OrgToolButton", "Организации. Справочник."},
            {"SumTypeButton", "Вид дахода/расхода"},
        };
        for (const auto& [name, hint] : hints) {
            auto* b = MainForm->findChild<QToolButton*>(name);
            QVERIFY2(b, name);
            QCOMPARE(b->toolTip(), QString::fromUtf8(hint));
            QVERIFY(!b->icon().isNull());
        }
        // Three bars in one row, in the order 1, 2, 3.
        QCOMPARE(MainForm->ToolBar1->y(), MainForm->ToolBar2->y());
        QCOMPARE(MainForm->ToolBar2->y(), MainForm->ToolBar3->y());
        QVERIFY(MainForm->ToolBar1->x() < MainForm->ToolBar2->x());
        QVERIFY(MainForm->ToolBar2->x() < MainForm->ToolBar3->x());
        QCOMPARE(MainForm->ToolBar1->actions().size(), 13);
        // A menu item and its button share the image.
        QCOMPARE(MainForm->LichSchMenu->icon().pixmap(19).toImage(),
                 MainForm->findChild<QToolButton*>("LicToolButton")->icon().pixmap(19).toImage());
    }

    void statusBar()
    {
        writeIni(QDate::currentDate().year(), QStringLiteral("Финуправление района"));
        start();
        QCOMPARE(MainForm->StatusBar1->panel(0)->text(), QStringLiteral("Финуправление района"));
        QCOMPARE(MainForm->StatusBar1->panel(1)->text(), QString());
        MainForm->StatusBar1->resize(1000, 20);
        QCOMPARE(MainForm->StatusBar1->panelWidth(0), 700);
        QCOMPARE(MainForm->StatusBar1->panelWidth(1), 300);
        MainForm->StatusBar1->resize(999, 20);
        QCOMPARE(MainForm->StatusBar1->panelWidth(0), 699);   // 699.3
        QCOMPARE(MainForm->StatusBar1->panelWidth(1), 300);   // 299.7
    }

    void yearReminder()
    {
        const int now = QDate::currentDate().year();
        writeIni(2003);
        start();
        // After the reminder the accounts list opens.
        bool listed = false;
        auto closeList = [&listed](QWidget* w) {
            listed = w == LichForm;
            w->close();
        };
        onNextModal(nullptr, closeList);
        press(MainForm, Qt::Key_F2);
        QVERIFY(listed);
        QCOMPARE(in.said.size(), size_t(1));
        QCOMPARE(in.said[0].caption, QStringLiteral("Напоминание"));
        QCOMPARE(in.said[0].text, QStringLiteral("Программа сейчас настроена на 2003 год.\nДля перехода на другой год - "
                                              "используйте меню Сервис->Настройка"));
        in.said.clear();
        bool notices = false;
        onNextModal(nullptr, [&notices](QWidget* w) {
            notices = w == CorPlanForm;
            w->close();
        });
        MainForm->CorPlanMenu->trigger();   // the notices ask nothing
        QVERIFY(notices);
        QVERIFY(in.said.empty());
        // The income list opens after the reminder.
        bool incomeList = false;
        onNextModal(nullptr, [&incomeList](QWidget* w) {
            incomeList = w == DOrgFormSelect;
            w->close();
        });
        MainForm->DOrgMenu->trigger();
        QVERIFY(incomeList);
        QCOMPARE(in.said.size(), size_t(1));
        // The income accounting's buttons: the list, and the report's dialog.
        for (auto [button, window] : {std::pair<const char*, QWidget*>{"OrgButton", DOrgFormSelect},
                                      {"RepOrgButton", UMDForm1}}) {
            QWidget* opened = nullptr;
            onNextModal(nullptr, [&opened](QWidget* w) {
                opened = w;
                w->close();
            });
            QTest::mouseClick(MainForm->findChild<QToolButton*>(button), Qt::LeftButton);
            QCOMPARE(opened, window);
        }
        // The field's year counts, even before OK.
        in.said.clear();
        UchFinChForm->YearEdit->setValue(now);
        listed = false;
        onNextModal(nullptr, closeList);
        QTest::mouseClick(MainForm->findChild<QToolButton*>("LicToolButton"), Qt::LeftButton);
        QVERIFY(listed);
        QVERIFY(in.said.empty());
    }

    void settingsDefaults()
    {
        start();   // no prog.ini at all
        QCOMPARE(UchFinChForm->DataBasePathEdit->text(), QStringLiteral("Base2003\\"));
        QCOMPARE(UchFinChForm->LocalBasePathEdit->text(), QStringLiteral("Local\\"));
        QCOMPARE(UchFinChForm->UserNameEdit->text(), QStringLiteral("User1"));
        QCOMPARE(UchFinChForm->YearEdit->value(), 2003);
        QCOMPARE(UchFinChForm->FinUchEdit->text(), QString());
        QCOMPARE(UchFinChForm->windowTitle(), QStringLiteral("Настройки"));
        QVERIFY(UchFinChForm->OkButton->isDefault());
        // The program itself started on DataBase\, which is not there: its message came first.
        QCOMPARE(in.said.size(), size_t(1));
        QCOMPARE(in.said[0].caption, QStringLiteral("Ошибка настройки"));
        QVERIFY(!DataBase1->isOpen());
    }

    // The message about a database that cannot be opened: its caption, OK alone, no icon.
    void missingDatabaseMessage()
    {
        const config::Profile p(in.ini);
        QVERIFY(p.writeString("Main", "DataBaseDir", in.dir + "/Nowhere/"));
        ui::RecordingAnswerer answers;
        start();
        QVERIFY(!DataBase1->isOpen());
        QCOMPARE(answers.count(), 1);
        QCOMPARE(answers.last().caption, QStringLiteral("Ошибка настройки"));
        QCOMPARE(answers.last().text, QStringLiteral("Не удается открыть базу данных. Настройте путь к ее местоположению, "
                                                  "воспользовшись меню Сервис\\Настройка"));
        QCOMPARE(answers.last().buttons, dm::MsgButtons::Ok);
        QCOMPARE(answers.last().icon, dm::MsgIcon::None);
    }

    // A year that cannot be made from the template: the program starts with
    // nothing open after the general error display, and leaves no year behind.
    void startWithAYearThatCannotBeMade()
    {
        Install other({}, {.settings = false});
        QFile bad(other.orig + "/" + QString(255, 'z'));   // its copy cannot be created
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.close();
        writeIni(2004);
        QVERIFY(config::Profile(in.ini).writeString("Main", "DataBaseDir", other.dir + "/DataBase/"));
        ui::RecordingAnswerer answers;
        start();
        QVERIFY(MainForm->isVisible());
        QVERIFY(!DataBase1->isOpen());
        QCOMPARE(answers.count(), 1);
        QCOMPARE(answers.last().caption, ui::applicationTitle());
        QCOMPARE(answers.last().icon, dm::MsgIcon::Error);
        QVERIFY2(answers.last().text.startsWith("Cannot create file " + other.dir + "/DataBase/2004/"),
                 qPrintable(answers.last().text));
        QVERIFY(!QFileInfo::exists(other.dir + "/DataBase/2004"));
    }

    // prog.ini that cannot be written: the settings dialog says so in Russian.
    void settingsWriteFailureInRussian()
    {
        for (bool directoryInPlace : {false, true}) {
            QTemporaryDir other;
            const QString dir = other.path() + "/cfg", path = dir + "/prog.ini";
            QVERIFY(QDir().mkpath(dir));
            writeIni(2004);
            QVERIFY(QFile::copy(in.ini, path));
            start(path);
            QVERIFY(DataBase1->isOpen());
            if (directoryInPlace) {
                QVERIFY(QFile::remove(path));
                QVERIFY(QDir().mkpath(path));
            } else {
                QVERIFY(QDir(dir).removeRecursively());   // the settings' share went away
            }
            ui::RecordingAnswerer answers;
            TUchFinChForm* s = UchFinChForm;
            onNextModal(nullptr, [s](QWidget*) { QTest::mouseClick(s->OkButton, Qt::LeftButton); });
            MainForm->FinOrgMenu->trigger();
            QVERIFY(answers.count() >= 1);
            const QString head =
                QStringLiteral("Настройки не сохранены. Не удается записать файл %1: ").arg(QDir::toNativeSeparators(path));
            const QString text = answers.calls().first().text;
            QVERIFY2(text.startsWith(head), qPrintable(text));
            const QString reason = text.mid(head.size());
            QVERIFY2(!reason.isEmpty() && !reason.contains(QRegularExpression("[A-Za-z]")), qPrintable(text));
            QCOMPARE(answers.calls().first().caption, ui::applicationTitle());
            DestroyForms();
        }
    }

    void settingsTabOrderAndYear()
    {
        writeIni(2004);
        start();
        TUchFinChForm* f = UchFinChForm;
        onNextModal(nullptr, [f](QWidget*) {
            QStringList order;
            f->YearEdit->setFocus();
            for (int i = 0; i < 9; ++i) {
                QWidget* fw = f->focusWidget();
                QVERIFY(fw);
                // The spin edit's own line edit stands for it.
                order << (fw->parentWidget() == f->YearEdit ? f->YearEdit->objectName() : fw->objectName());
                QTest::keyClick(fw, Qt::Key_Tab);
            }
            QCOMPARE(order, QStringList({"YearEdit", "UserNameEdit", "FinUchEdit", "DataBasePathEdit", "BrowseButton",
                                         "OkButton", "CancelButton", "LocalBasePathEdit", "BrowseButton1"}));
            // Beyond the bounds the year is pulled back when the field is left.
            f->YearEdit->setFocus();
            f->YearEdit->selectAll();
            QTest::keyClicks(f->YearEdit->edit(), "1900");
            QTest::keyClick(f->YearEdit->edit(), Qt::Key_Tab);
            QCOMPARE(f->YearEdit->value(), 1987);
            f->YearEdit->setFocus();
            f->YearEdit->selectAll();
            QTest::keyClicks(f->YearEdit->edit(), "2100");
            QTest::keyClick(f->YearEdit->edit(), Qt::Key_Tab);
            QCOMPARE(f->YearEdit->value(), 2099);
            f->YearEdit->setFocus();
            f->YearEdit->selectAll();
            QTest::keyClicks(f->YearEdit->edit(), "20055");
            QCOMPARE(f->YearEdit->text().size(), 4);
            f->YearEdit->selectAll();
            QTest::keyClick(f->YearEdit->edit(), Qt::Key_Delete);
            QCOMPARE(f->YearValue(), 1987);   // not a number
            QTest::keyClick(f, Qt::Key_Escape);
        });
        QCOMPARE(f->exec(), int(QDialog::Rejected));
    }

    void settingsCancelWritesNothing()
    {
        writeIni(2004);
        start();
        QVERIFY(DataBase1->isOpen());   // the year made from the template
        QFile f(in.ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        TUchFinChForm* s = UchFinChForm;
        onNextModal(nullptr, [s](QWidget*) {
            s->YearEdit->setValue(2031);
            s->FinUchEdit->setText("Другое");
            QTest::mouseClick(s->CancelButton, Qt::LeftButton);
        });
        MainForm->FinOrgMenu->trigger();
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        QVERIFY(DataBase1->isOpen());
        QCOMPARE(DataBase1->Year(), 2004);
        QCOMPARE(MainForm->StatusBar1->panel(0)->text(), QStringLiteral("Финансовое управление"));
        // The reminder and the backup now use the field's year.
        in.said.clear();
        onNextModal(nullptr, [](QWidget* w) { w->close(); });
        MainForm->LichSchMenu->trigger();
        QVERIFY(in.said.back().text.contains("2031"));
        QCOMPARE(DataBase1->settingsYear(), 2031);
        // The field keeps what it held.
        QCOMPARE(s->FinUchEdit->text(), QStringLiteral("Другое"));
    }

    // Enter, and the keypad's Enter, on a focused button of the settings
    // dialog presses that button: "Отмена" writes nothing, "&Обзор" browses
    // and keeps the dialog open; in a field Enter is "&Принять".
    void settingsEnterOnAButton()
    {
        writeIni(2004);
        start();
        TUchFinChForm* s = UchFinChForm;
        QFile f(in.ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        int browsed = 0;
        s->openFileDialog = [&](QWidget*, const QString&, const QString&) {
            ++browsed;
            return QString();
        };
        for (Qt::Key key : EnterKeys) {
            onNextModal(nullptr, [&](QWidget*) {
                s->FinUchEdit->setText("Другое");
                pressIn(s->BrowseButton, key);
                pressIn(s->BrowseButton1, key);
                QVERIFY(s->isVisible());
                pressIn(s->CancelButton, key);
            });
            MainForm->FinOrgMenu->trigger();
            QVERIFY(!s->isVisible());
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), before);
            f.close();
        }
        QCOMPARE(browsed, 4);
        onNextModal(nullptr, [&](QWidget*) { pressIn(s->OkButton, Qt::Key_Enter); });
        MainForm->FinOrgMenu->trigger();
        QCOMPARE(config::Profile(in.ini).readString("Main", "OrgName"), QStringLiteral("Другое"));
        // The About window's only button.
        onNextModal(nullptr, [](QWidget*) { pressIn(AboutForm->OKButton, Qt::Key_Enter); });
        MainForm->AboutMenu->trigger();
        QVERIFY(!AboutForm->isVisible());
    }

    void settingsOkReopens()
    {
        writeIni(2004);
        start();
        QVERIFY(DataBase1->isOpen());
        DataBase1->LawSprTable.appendRecord({"77", "Этого года"});
        TUchFinChForm* s = UchFinChForm;
        onNextModal(nullptr, [s, this](QWidget*) {
            s->YearEdit->setFocus();
            s->YearEdit->selectAll();
            QTest::keyClicks(s->YearEdit->edit(), "2005");
            s->FinUchEdit->setFocus();
            s->FinUchEdit->selectAll();
            typeText(s->FinUchEdit, QStringLiteral("Новое управление"));
            s->UserNameEdit->setText("Сидорова");
            // Browse gives the directory of the chosen file with a separator at the end.
            s->openFileDialog = [this](QWidget*, const QString& dir, const QString& filter) {
                Q_UNUSED(dir);
                return filter.contains("*.dbp") ? in.dir + "/Local/work.dbp" : QString();
            };
            QTest::mouseClick(s->BrowseButton1, Qt::LeftButton);
            QCOMPARE(s->LocalBasePathEdit->text(), in.dir + "/Local/");
            s->FinUchEdit->setFocus();
            QTest::keyClick(s->FinUchEdit, Qt::Key_Return);   // the default button
        });
        MainForm->FinOrgMenu->trigger();
        QCOMPARE(MainForm->StatusBar1->panel(0)->text(), QStringLiteral("Новое управление"));
        QCOMPARE(MainForm->windowTitle(), TMainForm::caption());
        const config::Profile p(in.ini);
        QCOMPARE(p.readInt("Main", "Year"), 2005);
        QCOMPARE(p.readString("Main", "OrgName"), QStringLiteral("Новое управление"));
        QCOMPARE(p.readString("Main", "UserName"), QStringLiteral("Сидорова"));
        QCOMPARE(p.readString("Main", "LocalBaseDir"), in.dir + "/Local/");
        QVERIFY(QFileInfo::exists(in.dir + "/DataBase/2005/year.db"));
        QVERIFY(DataBase1->isOpen());
        QVERIFY(!DataBase1->LawSprTable.findKey({"77"}));   // the template's books
        QCOMPARE(DataBase1->UserName(), QStringLiteral("Сидорова"));

        // A root typed without its separator is written as typed.
        onNextModal(nullptr, [s, this](QWidget*) {
            s->DataBasePathEdit->setText(in.dir + "/DataBase");
            QTest::mouseClick(s->OkButton, Qt::LeftButton);
        });
        in.said.clear();
        MainForm->FinOrgMenu->trigger();
        QCOMPARE(p.readString("Main", "DataBaseDir"), in.dir + "/DataBase");
        QVERIFY(!DataBase1->isOpen());   // DataBase2005 is nowhere
        QCOMPARE(in.said.back().caption, QStringLiteral("Ошибка настройки"));
    }

    void helpAndAbout()
    {
        writeIni(QDate::currentDate().year());
        start();
        QList<QUrl> opened;
        MainForm->openUrl = [&](const QUrl& u) { opened << u; };
        MainForm->docApplication = [] { return QString(); };
        MainForm->BeginWorkMenu->trigger();
        QCOMPARE(in.said.back().caption, QStringLiteral("Справка"));
        QCOMPARE(in.said.back().text, QStringLiteral("Для правильного отображения документа желательно наличие MS-Word 7.0 или выше."));
        QCOMPARE(opened.back().fileName(), QStringLiteral("ReadMe.doc"));
        in.said.clear();
        MainForm->docApplication = [] { return QStringLiteral("libreoffice-writer.desktop"); };
        MainForm->BeginWorkMenu->trigger();
        QVERIFY(in.said.empty());
        MainForm->InternetUpdate->trigger();
        QVERIFY(opened.back().scheme().startsWith("http"));
        TAboutForm* a = AboutForm;
        onNextModal(nullptr, [a](QWidget*) {
            QCOMPARE(a->windowTitle(), QStringLiteral("О программе"));
            QVERIFY(a->VersionLabel->text().startsWith("Версия "));
            QVERIFY(a->LinkLabel->text().contains("См. последнее обновление в Internet"));
            const int f0 = a->Picture->frame();
            QTest::qWait(200);
            QVERIFY(a->Picture->frame() != f0);   // it moves
            QTest::mouseClick(a->OKButton, Qt::LeftButton);
        });
        MainForm->AboutMenu->trigger();
        QVERIFY(!a->isVisible());
    }

    // The guide is the program's own, not one of the current directory: beside
    // the executable (a build, a portable copy), else the installed one.
    void guideBesideTheProgramOrInstalled()
    {
        writeIni(QDate::currentDate().year());
        start();
        QList<QUrl> opened;
        MainForm->openUrl = [&](const QUrl& u) { opened << u; };
        MainForm->docApplication = [] { return QStringLiteral("libreoffice-writer.desktop"); };
        auto guide = [](const QString& dir) {
            QFile f(dir + "/ReadMe.doc");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("{\\rtf1}");
        };
        QTemporaryDir cwd, beside, installed;
        guide(cwd.path());
        const QString was = QDir::currentPath();
        QVERIFY(QDir::setCurrent(cwd.path()));
        MainForm->BeginWorkMenu->trigger();
        QVERIFY(QDir::setCurrent(was));
        QCOMPARE(MainForm->guideDirs.value(0), QCoreApplication::applicationDirPath());
        QVERIFY(opened.back().toLocalFile() != cwd.filePath("ReadMe.doc"));

        MainForm->guideDirs = {beside.path(), installed.path()};
        MainForm->BeginWorkMenu->trigger();   // nowhere: the first place is named
        QCOMPARE(opened.back().toLocalFile(), beside.filePath("ReadMe.doc"));
        guide(installed.path());
        MainForm->BeginWorkMenu->trigger();
        QCOMPARE(opened.back().toLocalFile(), installed.filePath("ReadMe.doc"));
        guide(beside.path());
        MainForm->BeginWorkMenu->trigger();
        QCOMPARE(opened.back().toLocalFile(), beside.filePath("ReadMe.doc"));
    }

    void backupFromTheMenu()
    {
        writeIni(2004);
        start();
        MainForm->BackCopyDataBaseMenu->trigger();
        QCOMPARE(in.said.front().caption, QStringLiteral("Предупреждение"));
        QCOMPARE(in.said.back().caption, QStringLiteral("Резервное копирование"));
        QVERIFY(QFileInfo::exists(in.dir + "/" + QDate::currentDate().toString("dd.MM.yyyy") + "/2004/year.db"));
        QVERIFY(DataBase1->isOpen());
    }

    void exitCloses()
    {
        writeIni(QDate::currentDate().year());
        start();
        MainForm->ExitMenu->trigger();
        QVERIFY(!MainForm->isVisible());
    }
};

QTEST_MAIN(AppTest)
#include "tst_app.moc"
