// The printed schedule in the preview over the schedule window.
#include "schedule/planprint.h"

#include "core/store/storeerror.h"
#include "core/ui/messagebox.h"
#include "reports/preview/preview.h"

namespace schedule {

using namespace reports;

void TMD10Form::Run(QWidget* caller)
{
    store::Table& t = db_.PlanTable;
    const int rec = t.isOpen() && t.state() == store::TableState::Browse && !t.isEmpty() ? t.recNo() : 0;
    t.disableControls();
    try {
        preview(QuickRep, PreviewMode::Modal, caller, caption());
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

} // namespace schedule
