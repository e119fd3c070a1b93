#pragma once
// The main window: the menu, three toolbars in one row and the status bar;
// every command opens its window modally over it.
#include <QMainWindow>
#include <QStatusBar>
#include <QStringList>
#include <functional>

class QAction;
class QLabel;
class QToolBar;
class QToolButton;

// Two panels; panel 0 takes 70 % and panel 1 30 % of the width, in whole pixels.
class TMainStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TMainStatusBar(QWidget* parent = nullptr);
    QLabel* panel(int i) const { return panels_[i]; }
    int panelWidth(int i) const;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    QLabel* panels_[2];
};

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);

    static QString caption();   // "Сальдина. Версия ... от ... "

    // The year reminder before the accounts, the schedule and the income accounting.
    void DateCheck();

    // Menu items (by their names) and toolbar buttons.
    QAction *LichSchMenu, *PlanMenu1, *CorPlanMenu;
    QAction *RepMenuButton1, *RepMenuButton8, *RepMenuButton4, *RepMenuButton2, *RepMenuButton5, *RepMenuButton6;
    QAction *RepMenuButton9, *RepMenuButton7, *RepMenuButton3;
    QAction *DOrgMenu, *ReportMenu1;
    QAction *OrgMenu, *CBCMenu, *LawSprMenu, *SumTypeMenu;
    QAction *FinOrgMenu, *PackTableMenu, *BackCopyDataBaseMenu;
    QAction *BeginWorkMenu, *AboutMenu, *InternetUpdate, *ExitMenu;
    QToolBar *ToolBar1, *ToolBar2, *ToolBar3;
    TMainStatusBar* StatusBar1;

    // Handlers.
    void LichSchMenuClick();
    void PlanMenu1Click();
    void CorPlanMenuClick();
    void RepMenuButton1Click();
    void RepMenuButton2Click();
    void RepMenuButton3Click();
    void RepMenuButton4Click();
    void RepMenuButton5Click();
    void RepMenuButton6Click();
    void RepMenuButton7Click();
    void RepMenuButton8Click();
    void RepMenuButton9Click();
    void DOrgMenuClick();
    void ReportMenu1Click();
    void OrgMenuClick();
    void CBCMenuClick();
    void LawSprMenuClick();
    void SumTypeMenuClick();
    void FinOrgMenuClick();
    void PackTableMenuClick();
    void BackCopyDataBaseMenuClick();
    void BeginWorkMenuClick();
    void AboutMenuClick();
    void InternetUpdateClick();
    void ExitMenuClick();

    // The desktop, replaceable in tests: the application registered for
    // Word documents (empty when none) and opening a document or a page.
    std::function<QString()> docApplication;
    std::function<void(const QUrl&)> openUrl;
    // Where the user guide ReadMe.doc is looked up, the first that has it:
    // beside the executable (a build, a portable copy), then the installed
    // program's data directory (/usr/share/saldina).
    QStringList guideDirs;

private:
    QAction* item(QMenu* menu, const char* name, const QString& text, int image, void (TMainForm::*handler)());
    QToolButton* button(QToolBar* bar, const char* name, const QString& hint, int image, void (TMainForm::*handler)());
    // Runs a command, showing any failure of the store as the general error.
    void guarded(void (TMainForm::*handler)());
};
