#include "app/forms.h"
#include "app/aboutform.h"
#include "books/books.h"
#include "books/listprint.h"
#include "accounts/lichform.h"
#include "accounts/mdform5.h"
#include "accounts/smed.h"
#include "schedule/corplan/corplanform.h"
#include "reports/accounts/accounts_windows.h"
#include "schedule/planform.h"
#include "schedule/planprint.h"
#include "reports/schedule/schedule_windows.h"
#include "reports/codes/codes_windows.h"
#include "reports/purposes/purposes_windows.h"
#include "reports/pipeline/waitform.h"
#include "maintenance/packtableform.h"
#include "core/datamodule/datamodule.h"
#include "app/mainform.h"
#include "app/uchfinchform.h"
#include "income/dohedform.h"
#include "income/dorgform.h"
#include "reports/income/income_window.h"
#include "core/ui/messagebox.h"

dm::TDataBase1* DataBase1 = nullptr;
TMainForm* MainForm = nullptr;
TUchFinChForm* UchFinChForm = nullptr;
TAboutForm* AboutForm = nullptr;
books::TOrgSelectForm* OrgSelectForm = nullptr;
books::TEditOrgForm* EditOrgForm = nullptr;
books::TCBCSelectForm* CBCSelectForm = nullptr;
books::TEditCBCForm* EditCBCForm = nullptr;
books::TLawSelectForm* LawSelectForm = nullptr;
books::TEditLawForm* EditLawForm = nullptr;
books::TSumTypeSprForm* SumTypeSprForm = nullptr;
books::TSumTypeSprEditForm* SumTypeSprEditForm = nullptr;
books::TMDForm7* MDForm7 = nullptr;
books::TMDForm8* MDForm8 = nullptr;
accounts::TLichForm* LichForm = nullptr;
accounts::TLichChForm* LichChForm = nullptr;
accounts::TLichSprForm* LichSprForm = nullptr;
accounts::TSmEd* SmEd = nullptr;
accounts::TMDForm5* MDForm5 = nullptr;
schedule::TCorPlanForm* CorPlanForm = nullptr;
reports::TWaitForm* WaitForm = nullptr;
maintenance::TPackTableForm* PackTableForm = nullptr;
reports::TMDForm* MDForm = nullptr;
reports::TMDForm11* MDForm11 = nullptr;
schedule::TPlanSelectForm* PlanSelectForm = nullptr;
schedule::TEditPlanForm* EditPlanForm = nullptr;
schedule::TMD10Form* MD10Form = nullptr;
reports::TMDForm12* MDForm12 = nullptr;
reports::TMD9Form* MD9Form = nullptr;
income::TDOrgFormSelect* DOrgFormSelect = nullptr;
income::TDohEdForm* DohEdForm = nullptr;
reports::TUMDForm1* UMDForm1 = nullptr;
reports::TMDForm2* MDForm2 = nullptr;
reports::TMDForm4* MDForm4 = nullptr;
reports::TMDForm1* MDForm1 = nullptr;
reports::TMD3Form* MD3Form = nullptr;
reports::TMD6Form* MD6Form = nullptr;

void CreateForms(const QString& iniPath)
{
    // The data module first: its message about a missing database comes
    // before any window.
    DataBase1 = new dm::TDataBase1(iniPath.isEmpty() ? config::Profile::defaultPath() : iniPath, ui::dataModuleMessages());
    MainForm = new TMainForm;
    LichForm = new accounts::TLichForm(*DataBase1, MainForm);
    LichChForm = new accounts::TLichChForm(*DataBase1, MainForm);
    SmEd = new accounts::TSmEd(*DataBase1, MainForm);
    OrgSelectForm = new books::TOrgSelectForm(*DataBase1, MainForm);
    LichSprForm = new accounts::TLichSprForm(*DataBase1, MainForm);
    EditOrgForm = new books::TEditOrgForm(*DataBase1, MainForm);
    UchFinChForm = new TUchFinChForm(MainForm);
    DataBase1->setYearSource([] { return UchFinChForm->YearValue(); });
    CBCSelectForm = new books::TCBCSelectForm(*DataBase1, MainForm);
    EditCBCForm = new books::TEditCBCForm(*DataBase1, MainForm);
    LawSelectForm = new books::TLawSelectForm(*DataBase1, MainForm);
    EditLawForm = new books::TEditLawForm(*DataBase1, MainForm);
    PlanSelectForm = new schedule::TPlanSelectForm(*DataBase1, MainForm);
    EditPlanForm = new schedule::TEditPlanForm(*DataBase1, MainForm);
    WaitForm = new reports::TWaitForm(MainForm);
    PackTableForm = new maintenance::TPackTableForm(*DataBase1, MainForm);
    SumTypeSprEditForm = new books::TSumTypeSprEditForm(*DataBase1, MainForm);
    SumTypeSprForm = new books::TSumTypeSprForm(*DataBase1, MainForm);
    CorPlanForm = new schedule::TCorPlanForm(*DataBase1, MainForm);
    OrgSelectForm->setEditForm(EditOrgForm);
    EditOrgForm->setCodesPicker(CBCSelectForm);
    CBCSelectForm->setEditForm(EditCBCForm);
    LawSelectForm->setEditForm(EditLawForm);
    SumTypeSprForm->setEditForm(SumTypeSprEditForm);
    const reports::ReportContext reportContext{DataBase1, WaitForm, {OrgSelectForm, CBCSelectForm, LawSelectForm}};
    MDForm = new reports::TMDForm(reportContext, MainForm);
    MDForm1 = new reports::TMDForm1(reportContext, MainForm);
    MD3Form = new reports::TMD3Form(reportContext, MainForm);
    MDForm5 = new accounts::TMDForm5(*DataBase1, MainForm);
    MD6Form = new reports::TMD6Form(reportContext, MainForm);
    MDForm7 = new books::TMDForm7(*DataBase1, MainForm);
    MDForm8 = new books::TMDForm8(*DataBase1, MainForm);
    MD10Form = new schedule::TMD10Form(*DataBase1, MainForm);
    MDForm11 = new reports::TMDForm11(reportContext, MainForm);
    MDForm12 = new reports::TMDForm12(reportContext, MainForm);
    MDForm12->setAccountPicker([] { return LichSprForm->choose(); });
    MD9Form = new reports::TMD9Form(reportContext, MainForm);
    MD9Form->setAccountPicker([] { return LichSprForm->choose(); });
    MDForm2 = new reports::TMDForm2(reportContext, MainForm);
    MDForm4 = new reports::TMDForm4(reportContext, MainForm);
    LichChForm->setPurposesPicker(LawSelectForm);
    LichSprForm->setAccountDialog(LichChForm);
    LichForm->setAccountDialog(LichChForm);
    LichForm->setLedger(SmEd);
    LichForm->setPrint(MDForm5);
    SmEd->setPickers(OrgSelectForm, CBCSelectForm, LawSelectForm);
    CorPlanForm->setPickers(LichSprForm, OrgSelectForm, CBCSelectForm);
    OrgSelectForm->setListPrint(MDForm7);
    LawSelectForm->setListPrint(MDForm8);
    PlanSelectForm->setRowDialog(EditPlanForm);
    PlanSelectForm->setAccountPicker(LichSprForm);
    PlanSelectForm->setPrint([](QWidget* caller) { MD10Form->Run(caller); });
    EditPlanForm->setPickers(OrgSelectForm, CBCSelectForm);
    DOrgFormSelect = new income::TDOrgFormSelect(*DataBase1, MainForm);
    DohEdForm = new income::TDohEdForm(*DataBase1, MainForm);
    DOrgFormSelect->setOrgPicker(OrgSelectForm);
    DOrgFormSelect->setEntryWindow(DohEdForm);
    DohEdForm->setKindsPicker(SumTypeSprForm);
    DohEdForm->setReturnFocus(DOrgFormSelect->RxDBGrid1);
    UMDForm1 = new reports::TUMDForm1(reportContext, SumTypeSprForm, MainForm);
    AboutForm = new TAboutForm(MainForm);
}

void DestroyForms()
{
    delete MainForm;   // its windows with it
    MainForm = nullptr;
    UchFinChForm = nullptr;
    AboutForm = nullptr;
    OrgSelectForm = nullptr;
    EditOrgForm = nullptr;
    CBCSelectForm = nullptr;
    EditCBCForm = nullptr;
    LawSelectForm = nullptr;
    EditLawForm = nullptr;
    SumTypeSprForm = nullptr;
    SumTypeSprEditForm = nullptr;
    MDForm7 = nullptr;
    MDForm8 = nullptr;
    LichForm = nullptr;
    LichChForm = nullptr;
    LichSprForm = nullptr;
    SmEd = nullptr;
    MDForm5 = nullptr;
    CorPlanForm = nullptr;
    WaitForm = nullptr;
    PackTableForm = nullptr;
    MDForm = nullptr;
    MDForm11 = nullptr;
    PlanSelectForm = nullptr;
    EditPlanForm = nullptr;
    MD10Form = nullptr;
    MDForm12 = nullptr;
    MD9Form = nullptr;
    DOrgFormSelect = nullptr;
    DohEdForm = nullptr;
    UMDForm1 = nullptr;
    MDForm2 = nullptr;
    MDForm4 = nullptr;
    MDForm1 = nullptr;
    MD3Form = nullptr;
    MD6Form = nullptr;
    delete DataBase1;   // DataModuleDestroy
    DataBase1 = nullptr;
}
