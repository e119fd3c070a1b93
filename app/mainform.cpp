#include "app/mainform.h"
#include "schedule/corplan/corplanform.h"
#include "accounts/lichform.h"
#include "income/dorgform.h"
#include "reports/income/income_window.h"
#include "reports/accounts/accounts_windows.h"
#include "schedule/planform.h"
#include "core/ui/dblookupcombo.h"
#include "reports/schedule/schedule_windows.h"
#include "reports/codes/codes_windows.h"
#include "reports/purposes/purposes_windows.h"
#include "app/aboutform.h"
#include "books/books.h"
#include "core/datamodule/datamodule.h"
#include "app/forms.h"
#include "core/ui/icons.h"
#include "core/ui/messagebox.h"
#include "app/uchfinchform.h"
#include "maintenance/packtableform.h"
#include "version.h"

#include <QAction>
#include <QDate>
#include <QDesktopServices>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QResizeEvent>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <cmath>

TMainStatusBar::TMainStatusBar(QWidget* parent) : QStatusBar(parent)
{
    setObjectName("StatusBar1");
    setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        panels_[i] = new QLabel(this);
        panels_[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        panels_[i]->setFrameShape(QFrame::Panel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        panels_[i]->setIndent(3);
    }
    setMinimumHeight(20);
}

int TMainStatusBar::panelWidth(int i) const { return panels_[i]->width(); }

void TMainStatusBar::resizeEvent(QResizeEvent* e)
{
    QStatusBar::resizeEvent(e);
    const int w = e->size().width();
    const int h = e->size().height();
    const int w0 = int(std::lround(w * 0.7));
    const int w1 = int(std::lround(w * 0.3));
    panels_[0]->setGeometry(0, 0, w0, h);
    panels_[1]->setGeometry(w0, 0, w1, h);
}

QString TMainForm::caption()
{
    return QStringLiteral("Сальдина. Версия ") + QStringLiteral(SALDINA_VERSION) + QStringLiteral(" от ") +
           QStringLiteral(SALDINA_RELEASE_DATE) + QLatin1Char(' ');
}

QAction* TMainForm::item(QMenu* menu, const char* name, const QString& text, int image, void (TMainForm::*handler)())
{
    auto* a = new QAction(text, this);
    a->setObjectName(QString::fromLatin1(name));
    if (image >= 0)
        a->setIcon(ui::icon(image));
    connect(a, &QAction::triggered, this, [this, handler] { guarded(handler); });
    menu->addAction(a);
    return a;
}

QToolButton* TMainForm::button(QToolBar* bar, const char* name, const QString& hint, int image,
                               void (TMainForm::*handler)())
{
    auto* a = new QAction(ui::icon(image), hint, this);
    a->setObjectName(QString::fromLatin1(name) + QStringLiteral("Action"));
    a->setToolTip(hint);
    connect(a, &QAction::triggered, this, [this, handler] { guarded(handler); });
    bar->addAction(a);
    auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(a));
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    if (hint.isEmpty())
        a->setText(QString());
    return b;
}

void TMainForm::guarded(void (TMainForm::*handler)())
{
    try {
        (this->*handler)();
    } catch (const store::StoreError& e) {
        ui::showError(e.text());
    }
}

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("MainForm");
    setWindowTitle(caption());
    setWindowIcon(ui::icon(0));

    QMenuBar* mb = menuBar();
    QMenu* funds = mb->addMenu(QStringLiteral("Средства"));
    funds->setObjectName("N1");
    LichSchMenu = item(funds, "LichSchMenu", QStringLiteral("Лицевые счета"), 0, &TMainForm::LichSchMenuClick);
    LichSchMenu->setShortcut(Qt::Key_F2);
    PlanMenu1 = item(funds, "PlanMenu1", QStringLiteral("Утвержденная роспись расходов"), 1, &TMainForm::PlanMenu1Click);
    CorPlanMenu = item(funds, "CorPlanMenu", QStringLiteral("Уведомления"), 17, &TMainForm::CorPlanMenuClick);
    QMenu* accReports = funds->addMenu(QStringLiteral("Отчеты по лицевым счетам"));
    accReports->setObjectName("RepMenu1");
    RepMenuButton1 = item(accReports, "RepMenuButton1", QStringLiteral("Поступления/расходы по лицевым счетам"), 8,
                          &TMainForm::RepMenuButton1Click);
    RepMenuButton8 = item(accReports, "RepMenuButton8", QStringLiteral("Поступления/расходы по лицевым счетам. Кратко"), 15,
                          &TMainForm::RepMenuButton8Click);
    RepMenuButton4 = item(accReports, "RepMenuButton4", QStringLiteral("Поступления/расходы по назначениям"), 11,
                          &TMainForm::RepMenuButton4Click);
    RepMenuButton2 = item(accReports, "RepMenuButton2", QStringLiteral("Финансирование организаций"), 9,
                          &TMainForm::RepMenuButton2Click);
    RepMenuButton5 = item(accReports, "RepMenuButton5", QStringLiteral("Итоговое состояние средств по эк.статьям"), 12,
                          &TMainForm::RepMenuButton5Click);
    RepMenuButton6 = item(accReports, "RepMenuButton6", QStringLiteral("Движение средств по назначениям"), 13,
                          &TMainForm::RepMenuButton6Click);
    QMenu* planReports = funds->addMenu(QStringLiteral("Отчеты по росписи расходов"));
    planReports->setObjectName("RepMenu2");
    RepMenuButton9 = item(planReports, "RepMenuButton9", QStringLiteral("Утвержденная роспись по лицевым счетам"), 16,
                          &TMainForm::RepMenuButton9Click);
    RepMenuButton7 = item(planReports, "RepMenuButton7", QStringLiteral("Исполнение росписи по организациям"), 14,
                          &TMainForm::RepMenuButton7Click);
    RepMenuButton3 = item(planReports, "RepMenuButton3", QStringLiteral("Финансирование и остатки кредитов организаций"),
                          10, &TMainForm::RepMenuButton3Click);
    RepMenuButton3->setEnabled(false);
    accReports->setIcon(ui::icon(8));
    planReports->setIcon(ui::icon(16));

    QMenu* income = mb->addMenu(QStringLiteral("Учет доходов"));
    income->setObjectName("N2");
    DOrgMenu = item(income, "DOrgMenu", QStringLiteral("Доход/расход организаций"), 5, &TMainForm::DOrgMenuClick);
    QMenu* incomeReports = income->addMenu(QStringLiteral("Отчеты"));
    incomeReports->setObjectName("N3");
    ReportMenu1 = item(incomeReports, "ReportMenu1", QStringLiteral("Отчет по доходу/расходу организаций"), 7,
                       &TMainForm::ReportMenu1Click);

    QMenu* books = mb->addMenu(QStringLiteral("Справочники"));
    books->setObjectName("N4");
    OrgMenu = item(books, "OrgMenu", QStringLiteral("Организации"), 2, &TMainForm::OrgMenuClick);
    CBCMenu = item(books, "CBCMenu", QStringLiteral("Коды БК"), 3, &TMainForm::CBCMenuClick);
    LawSprMenu = item(books, "LawSprMenu", QStringLiteral("Назначения (Фед. программы/законы)"), 4,
                      &TMainForm::LawSprMenuClick);
    SumTypeMenu = item(books, "SumTypeMenu", QStringLiteral("Виды дохода/расхда"), 6, &TMainForm::SumTypeMenuClick);

    QMenu* service = mb->addMenu(QStringLiteral("Сервис"));
    service->setObjectName("N5");
    FinOrgMenu = item(service, "FinOrgMenu", QStringLiteral("Настройки"), -1, &TMainForm::FinOrgMenuClick);
    PackTableMenu = item(service, "PackTableMenu", QStringLiteral("Упаковка и восстановление базы данных"), -1,
                         &TMainForm::PackTableMenuClick);
    BackCopyDataBaseMenu = item(service, "BackCopyDataBaseMenu", QStringLiteral("Резервное копирование базы данных"), -1,
                                &TMainForm::BackCopyDataBaseMenuClick);

    QMenu* help = mb->addMenu(QStringLiteral("&?"));
    help->setObjectName("N6");
    BeginWorkMenu = item(help, "BeginWorkMenu", QStringLiteral("Начало работы.Справка"), -1, &TMainForm::BeginWorkMenuClick);
    AboutMenu = item(help, "AboutMenu", QStringLiteral("О программе"), -1, &TMainForm::AboutMenuClick);
    InternetUpdate = item(help, "InternetUpdate", QStringLiteral("Последнее обновление в Internet"), -1,
                          &TMainForm::InternetUpdateClick);

    ExitMenu = new QAction(QStringLiteral("Выход"), this);
    ExitMenu->setObjectName("ExitMenu");
    connect(ExitMenu, &QAction::triggered, this, &TMainForm::ExitMenuClick);
    mb->addAction(ExitMenu);

    // Three bars in one row: 1, 2, 3.
    auto bar = [this](const char* name) {
        auto* b = new QToolBar(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setIconSize(QSize(19, 19));
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setMovable(false);
        addToolBar(Qt::TopToolBarArea, b);
        return b;
    };
    ToolBar1 = bar("ToolBar1");
    button(ToolBar1, "LicToolButton", QStringLiteral("Лицевые счета"), 0, &TMainForm::LichSchMenuClick);
    button(ToolBar1, "PlanToolButton", QStringLiteral("Роспись расходов"), 1, &TMainForm::PlanMenu1Click);
    button(ToolBar1, "ToolButton2", QStringLiteral("Уведомления корректировки росписи"), 17, &TMainForm::CorPlanMenuClick);
    ToolBar1->addSeparator();
    button(ToolBar1, "RepButton1", QStringLiteral("Поступления/расходы по лицевым счетам"), 8, &TMainForm::RepMenuButton1Click);
    button(ToolBar1, "RepButton2", QStringLiteral("Финансирование организаций"), 9, &TMainForm::RepMenuButton2Click);
    button(ToolBar1, "RepButton3", QStringLiteral("Финансирование и остатки кредитов организаций"), 10,
           &TMainForm::RepMenuButton3Click);
    button(ToolBar1, "RepButton4", QStringLiteral("Поступления/расходы по назначениям"), 11, &TMainForm::RepMenuButton4Click);
    button(ToolBar1, "RepButton5", QStringLiteral("Итоговое состояние средств по эк.статьям"), 12,
           &TMainForm::RepMenuButton5Click);
    button(ToolBar1, "RepButton6", QStringLiteral("Движение средств по назначениям"), 13, &TMainForm::RepMenuButton6Click);
    button(ToolBar1, "RepButton7", QStringLiteral("Исполнение росписи по организациям"), 14, &TMainForm::RepMenuButton7Click);
    button(ToolBar1, "RepButton8", QStringLiteral("Поступления/расходы по лицевым счетам. Кратко"), 15,
           &TMainForm::RepMenuButton8Click);
    button(ToolBar1, "RepButton9", QString(), 16, &TMainForm::RepMenuButton9Click);
    ToolBar2 = bar("ToolBar2");
    button(ToolBar2, "OrgButton", QStringLiteral("Открыть приход/расход организаций"), 5, &TMainForm::DOrgMenuClick);
    ToolBar2->addSeparator();
    button(ToolBar2, "RepOrgButton", QStringLiteral("Отчет по доходу/расходу"), 7, &TMainForm::ReportMenu1Click);
    ToolBar3 = bar("ToolBar3");
    button(ToolBar3, "OrgToolButton", QStringLiteral("Организации. Справочник."), 2, &TMainForm::OrgMenuClick);
    button(ToolBar3, "CBCToolButton", QStringLiteral("Код БК. Справочник."), 3, &TMainForm::CBCMenuClick);
    button(ToolBar3, "LawToolButton", QStringLiteral("Назначения. Справочник."), 4, &TMainForm::LawSprMenuClick);
    button(ToolBar3, "SumTypeButton", QStringLiteral("Вид дахода/расхода"), 6, &TMainForm::SumTypeMenuClick);

    StatusBar1 = new TMainStatusBar(this);
    setStatusBar(StatusBar1);
    StatusBar1->panel(0)->setText(DataBase1 ? DataBase1->OrgName() : QString());

    docApplication = [] {
        QProcess p;
        p.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("application/msword")});
        if (!p.waitForFinished(3000))
            return QString();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    openUrl = [](const QUrl& u) { QDesktopServices::openUrl(u); };
    guideDirs = {QCoreApplication::applicationDirPath(), QStringLiteral(SALDINA_DATA_DIR)};
}

void TMainForm::DateCheck()
{
    const int year = UchFinChForm ? UchFinChForm->YearValue() : (DataBase1 ? DataBase1->Year() : 0);
    if (year == QDate::currentDate().year())
        return;
    ui::messageBox(QStringLiteral("Напоминание"),
                   QStringLiteral("Программа сейчас настроена на ") + QString::number(year) + QStringLiteral(" год.") +
                       QLatin1Char('\n') + QStringLiteral("Для перехода на другой год - используйте меню Сервис->Настройка"),
                   dm::MsgButtons::Ok, dm::MsgIcon::Information);
}

// Windows of the later parts of the program open from here as they come.
void TMainForm::LichSchMenuClick()
{
    DateCheck();
    LichForm->exec();
}
void TMainForm::PlanMenu1Click()
{
    DateCheck();
    const QString bill = DataBase1->T1.isOpen() && !DataBase1->T1.isEmpty()
                             ? DataBase1->T1.fieldByName(QStringLiteral("Facebill")).asString()
                             : QString();
    PlanSelectForm->FaceBillRxDBLookupCombo->setText(bill);
    DataBase1->EnableTableProcess();
    PlanSelectForm->EnableReference();
    PlanSelectForm->ClearItog();
    PlanSelectForm->exec();
}
void TMainForm::CorPlanMenuClick()
{
    DataBase1->EnableTableProcess();
    CorPlanForm->EnableReference();
    QString bill;
    try {
        if (DataBase1->T1.isOpen() && !DataBase1->T1.isEmpty())
            bill = DataBase1->T1.fieldByName(QStringLiteral("Facebill")).asString();
    } catch (const std::exception&) {
    }
    CorPlanForm->FaceBillRxDBLookupCombo->setText(bill);
    CorPlanForm->exec();
}
void TMainForm::RepMenuButton1Click()
{
    if (MDForm->exec() == QDialog::Accepted)
        MDForm->CreateAndShow();
}
void TMainForm::RepMenuButton2Click()
{
    if (MDForm1->exec() == QDialog::Accepted)
        MDForm1->CreateAndShow();
}
void TMainForm::RepMenuButton3Click()
{
    if (MDForm2->exec() == QDialog::Accepted)
        MDForm2->CreateAndShow();
}
void TMainForm::RepMenuButton4Click()
{
    if (MD3Form->exec() == QDialog::Accepted)
        MD3Form->CreateAndShow();
}
void TMainForm::RepMenuButton5Click() { MDForm4->CreateAndShow(); }
void TMainForm::RepMenuButton6Click()
{
    if (MD6Form->exec() == QDialog::Accepted)
        MD6Form->CreateAndShow();
}
void TMainForm::RepMenuButton7Click()
{
    if (MD9Form->exec() == QDialog::Accepted)
        MD9Form->CreateAndShow();
}
void TMainForm::RepMenuButton8Click()
{
    if (MDForm11->exec() == QDialog::Accepted)
        MDForm11->CreateAndShow();
}
void TMainForm::RepMenuButton9Click()
{
    if (MDForm12->exec() == QDialog::Accepted)
        MDForm12->CreateAndShow();
}
void TMainForm::DOrgMenuClick()
{
    DateCheck();
    DOrgFormSelect->exec();
}
void TMainForm::ReportMenu1Click()
{
    if (UMDForm1->exec() == QDialog::Accepted)
        UMDForm1->CreateAndShow();
}
void TMainForm::OrgMenuClick() { OrgSelectForm->exec(); }
void TMainForm::CBCMenuClick() { CBCSelectForm->exec(); }
void TMainForm::LawSprMenuClick() { LawSelectForm->exec(); }
void TMainForm::SumTypeMenuClick() { SumTypeSprForm->exec(); }
void TMainForm::PackTableMenuClick() { PackTableForm->exec(); }

void TMainForm::FinOrgMenuClick()
{
    if (UchFinChForm->exec() == QDialog::Accepted)
        StatusBar1->panel(0)->setText(UchFinChForm->FinUchEdit->text());
}

void TMainForm::BackCopyDataBaseMenuClick() { DataBase1->BackCopyDataBase(); }

void TMainForm::BeginWorkMenuClick()
{
    // A desktop without a program for Word documents may show the guide poorly.
    if (docApplication().isEmpty())
        ui::messageBox(QStringLiteral("Справка"), QStringLiteral("Для правильного отображения документа желательно наличие MS-Word 7.0 или выше."),
                       dm::MsgButtons::Ok, dm::MsgIcon::None);
    // Found nowhere: the first place is named, and the desktop says it is missing.
    const QString name = QStringLiteral("ReadMe.doc");
    QString guide = guideDirs.isEmpty() ? name : QDir(guideDirs.front()).absoluteFilePath(name);
    for (const QString& dir : std::as_const(guideDirs)) {
        if (QFileInfo(QDir(dir).filePath(name)).isFile()) {
            guide = QDir(dir).absoluteFilePath(name);
            break;
        }
    }
    openUrl(QUrl::fromLocalFile(guide));
}

void TMainForm::AboutMenuClick() { AboutForm->exec(); }

void TMainForm::InternetUpdateClick() { openUrl(QUrl(QStringLiteral(SALDINA_WEB_PAGE))); }

void TMainForm::ExitMenuClick() { close(); }
