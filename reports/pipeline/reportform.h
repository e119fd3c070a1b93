#pragma once
// A report's window: its selection dialog, and the run of the report for
// the selection the dialog shows, with the wait window and the preview.
#include "reports/preview/preview.h"
#include "reports/pipeline/reportrun.h"
#include "reports/pipeline/selection.h"
#include "reports/pipeline/waitform.h"

namespace dm { class TDataBase1; }

namespace reports {

// What a report window needs of the program.
struct ReportContext {
    dm::TDataBase1* db = nullptr;
    TWaitForm* wait = nullptr;
    Pickers pickers;
};

// The wait window as the progress of a run: shown when the run starts
// (which clears the cancel request), its gauge following the rows, hidden
// when the fill is over. Pending events are handled a few times a second
// rather than once per row, so that the gauge paints and the cancel button
// works without slowing a fill of thousands of rows.
class WaitProgress : public RunProgress {
public:
    explicit WaitProgress(TWaitForm* wait) : wait_(wait) {}
    void started() override;
    bool progress(int percent) override;
    void gauge(int percent) override;
    void handleEvents() override;
    bool cancelled() override;
    void finished() override;

private:
    TWaitForm* wait_;
    qint64 lastEvents_ = 0;
};

class TReportForm : public TSelectionDialog {
    Q_OBJECT
public:
    TReportForm(const ReportContext& ctx, const QString& caption, int groups, QWidget* parent = nullptr);

    // The report run, after the dialog closed with OK: the wait window, the
    // run for the dialog's selection, the preview of its pages.
    void CreateAndShow();

    virtual ReportRun& report() = 0;
    Report& layout() { return report().layout(); }
    dm::TDataBase1& db() const { return *ctx_.db; }
    TWaitForm* waitForm() const { return ctx_.wait; }
    // Whether the last run was cancelled (or failed).
    bool cancelled() const { return cancelled_; }

protected:
    virtual PreviewMode previewMode() const { return PreviewMode::Ordinary; }

private:
    ReportContext ctx_;
    bool cancelled_ = false;
};

} // namespace reports
