#include "forms.h"
#include "aboutform.h"
#include "datamodule/datamodule.h"
#include "mainform.h"
#include "uchfinchform.h"
#include "ui/messagebox.h"

dm::TDataBase1* DataBase1 = nullptr;
TMainForm* MainForm = nullptr;
TUchFinChForm* UchFinChForm = nullptr;
TAboutForm* AboutForm = nullptr;

void CreateForms(const QString& iniPath)
{
    // The data module first: its message about a missing database comes
    // before any window.
    DataBase1 = new dm::TDataBase1(iniPath.isEmpty() ? config::Profile::defaultPath() : iniPath, ui::dataModuleMessages());
    MainForm = new TMainForm;
    UchFinChForm = new TUchFinChForm(MainForm);
    DataBase1->setYearSource([] { return UchFinChForm->YearValue(); });
    AboutForm = new TAboutForm(MainForm);
}

void DestroyForms()
{
    delete MainForm;   // its windows with it
    MainForm = nullptr;
    UchFinChForm = nullptr;
    AboutForm = nullptr;
    delete DataBase1;   // DataModuleDestroy
    DataBase1 = nullptr;
}
