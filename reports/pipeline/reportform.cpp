#include "reports/pipeline/reportform.h"

#include "core/store/storeerror.h"
#include "core/ui/messagebox.h"

#include <QCoreApplication>
#include <QDateTime>

namespace reports {

void WaitProgress::started()
{
    if (wait_)
        wait_->Show();
    else
        setCancelRequested(false);
    lastEvents_ = 0;
}

bool WaitProgress::progress(int percent)
{
    gauge(percent);
    handleEvents();
    return !cancelled();
}

void WaitProgress::gauge(int percent)
{
    if (wait_)
        wait_->SetProgress(quint8(percent));
}

void WaitProgress::handleEvents()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastEvents_ >= 40) {
        QCoreApplication::processEvents();
        lastEvents_ = now;
    }
}

bool WaitProgress::cancelled() { return cancelRequested(); }

void WaitProgress::finished()
{
    if (wait_)
        wait_->hide();
}

TReportForm::TReportForm(const ReportContext& ctx, const QString& caption, int groups, QWidget* parent)
    : TSelectionDialog(caption, groups, parent), ctx_(ctx)
{
    setPickers(ctx.pickers);
}

void TReportForm::CreateAndShow()
{
    WaitProgress progress(waitForm());
    std::optional<PageSet> pages;
    try {
        pages = report().run(selection(), &progress);
    } catch (const store::StoreError& e) {
        // The run has taken everything down and hidden the wait window.
        cancelled_ = true;
        ui::showError(e.text());
        return;
    }
    cancelled_ = !pages;
    if (pages) {
        // The run's links and filters are down already: other windows see
        // their tables whole while the preview is open, and another report
        // can run meanwhile. A print from the preview prints these pages.
        preview(std::move(*pages), layout(), previewMode(), parentWidget(), windowTitle());
    }
}

} // namespace reports
