#pragma once
// The frame every report run follows: the wait window, the live tables
// linked and filtered, the work table emptied and refilled one row per
// master row with progress and cancel, the preview, and everything taken
// down again, also when the store fails half-way.
#include "preview.h"
#include "selection.h"
#include "waitform.h"

#include <vector>

namespace dm { class TDataBase1; }

namespace reports {

// What a report window needs of the program.
struct ReportContext {
    dm::TDataBase1* db = nullptr;
    TWaitForm* wait = nullptr;
    Pickers pickers;
};

class TReportForm : public TSelectionDialog {
    Q_OBJECT
public:
    TReportForm(const ReportContext& ctx, const QString& caption, int groups, QWidget* parent = nullptr);

    // The report run, after the dialog closed with OK.
    void CreateAndShow();

    virtual Report& layout() = 0;
    dm::TDataBase1& db() const { return *ctx_.db; }
    TWaitForm* waitForm() const { return ctx_.wait; }
    // Whether the last run was cancelled.
    bool cancelled() const { return cancelled_; }

protected:
    // Steps of the run that differ between the reports.
    virtual void setUp() = 0;                  // links, filters, the work table
    virtual store::Table& masterTable() = 0;   // the rows of the fill
    virtual void fillRow() = 0;                // one work-table row for the current master row
    virtual void beforePreview() {}
    virtual PreviewMode previewMode() const { return PreviewMode::Ordinary; }
    virtual void takeDown();                   // filters off, links removed

    // Shared pieces of the set-up.
    void linkPostings(store::Table& master, const QString& masterField);
    void filterPostings();
    void resetWorkTable(store::Table& work, store::Table& master, const QString& key);
    // The title band's header texts: hooks that print the selections.
    void addHeaderTexts(Band& title, double y, double leftW, double rightX, double rightW);
    // Tables whose links the take-down removes.
    std::vector<store::Table*> linked_;

private:
    ReportContext ctx_;
    bool cancelled_ = false;
};

} // namespace reports
