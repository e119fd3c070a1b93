#pragma once
// The windows of the program, created once at start-up in a fixed order and
// living, hidden, until exit. Every window reaches the others through these.
namespace dm {
class TDataBase1;
}
class TMainForm;
class TUchFinChForm;
class TAboutForm;
namespace books {
class TOrgSelectForm;
class TEditOrgForm;
class TCBCSelectForm;
class TEditCBCForm;
class TLawSelectForm;
class TEditLawForm;
class TSumTypeSprForm;
class TSumTypeSprEditForm;
class TMDForm7;
class TMDForm8;
}
namespace reports {
class TWaitForm;
class TMDForm;
class TMDForm11;
class TMDForm12;
class TMD9Form;
class TUMDForm1;
class TMDForm2;
class TMDForm4;
class TMDForm1;
class TMD3Form;
class TMD6Form;
}
namespace schedule {
class TCorPlanForm;
}
namespace maintenance {
class TPackTableForm;
}
namespace accounts {
class TLichForm;
class TLichChForm;
class TLichSprForm;
class TSmEd;
class TMDForm5;
}

namespace income {
class TDOrgFormSelect;
class TDohEdForm;
}

namespace schedule {
class TPlanSelectForm;
class TEditPlanForm;
class TMD10Form;
}

extern dm::TDataBase1* DataBase1;
extern TMainForm* MainForm;
extern TUchFinChForm* UchFinChForm;
extern TAboutForm* AboutForm;
extern books::TOrgSelectForm* OrgSelectForm;
extern books::TEditOrgForm* EditOrgForm;
extern books::TCBCSelectForm* CBCSelectForm;
extern books::TEditCBCForm* EditCBCForm;
extern books::TLawSelectForm* LawSelectForm;
extern books::TEditLawForm* EditLawForm;
extern books::TSumTypeSprForm* SumTypeSprForm;
extern books::TSumTypeSprEditForm* SumTypeSprEditForm;
extern books::TMDForm7* MDForm7;
extern books::TMDForm8* MDForm8;
extern accounts::TLichForm* LichForm;
extern accounts::TLichChForm* LichChForm;
extern accounts::TLichSprForm* LichSprForm;
extern accounts::TSmEd* SmEd;
extern accounts::TMDForm5* MDForm5;
extern schedule::TCorPlanForm* CorPlanForm;
extern reports::TWaitForm* WaitForm;
extern maintenance::TPackTableForm* PackTableForm;
extern reports::TMDForm* MDForm;
extern reports::TMDForm11* MDForm11;
extern schedule::TPlanSelectForm* PlanSelectForm;
extern schedule::TEditPlanForm* EditPlanForm;
extern schedule::TMD10Form* MD10Form;
extern reports::TMDForm12* MDForm12;
extern reports::TMD9Form* MD9Form;
extern income::TDOrgFormSelect* DOrgFormSelect;
extern income::TDohEdForm* DohEdForm;
extern reports::TUMDForm1* UMDForm1;
extern reports::TMDForm2* MDForm2;
extern reports::TMDForm4* MDForm4;
extern reports::TMDForm1* MDForm1;
extern reports::TMD3Form* MD3Form;
extern reports::TMD6Form* MD6Form;

// Creates the data module and every window in their order (the program
// entry and the tests use it); DestroyForms takes them down in reverse.
#include <QString>
void CreateForms(const QString& iniPath = QString());   // config::Profile::defaultPath() by default
void DestroyForms();
