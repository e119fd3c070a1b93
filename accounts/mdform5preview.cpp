// The printed accounts list in the preview over the accounts list.
#include "accounts/mdform5.h"

#include "core/store/storeerror.h"
#include "core/ui/messagebox.h"
#include "reports/preview/preview.h"

namespace accounts {

using namespace reports;

void TMDForm5::Run(QWidget* caller)
{
    store::Table& t = db_.T1;
    const int rec = t.isOpen() && t.state() == store::TableState::Browse ? t.recNo() : 0;
    // The walk of the print is not followed by the windows over t1.
    t.disableControls();
    try {
        preview(QuickRep5, PreviewMode::Modal, caller, caption());
    } catch (const std::exception& e) {
        ui::showError(store::errorText(e));
    }
    try {
        if (rec > 0 && t.isOpen() && t.state() == store::TableState::Browse)
            t.setRecNo(rec);
    } catch (const std::exception&) {
    }
    t.enableControls();
}

} // namespace accounts
