#pragma once
// A report run as a job without widgets: a selection value in, a page set
// out. The live tables are linked and filtered, the work table emptied and
// refilled one row per master row with progress and cancel, the pages made,
// and everything taken down again, also when the store fails half-way. The
// report window, the command line and the benchmarks drive it alike.
#include "reports/model/report.h"
#include "reports/pipeline/selection_value.h"

#include <QHash>
#include <optional>
#include <utility>
#include <vector>

namespace dm { class TDataBase1; }
namespace store { class Table; }

namespace reports {

// What a run tells of its progress, and how it learns of a cancel.
class RunProgress {
public:
    virtual ~RunProgress() = default;
    virtual void started() {}
    // `percent` of the master rows are done; false asks the run to stop.
    // (The gauge, the pending events, then the cancel request.)
    virtual bool progress(int percent) = 0;
    // The same one by one, for a run that tests the cancel request at
    // another point of its row or leaves the gauge where it stands.
    virtual void gauge(int percent) { (void)percent; }
    virtual void handleEvents() {}
    virtual bool cancelled() { return false; }
    // The fill is over (done or cancelled); the pages follow.
    virtual void finished() {}
};

// A run's progress from started() to finished(), the latter said once:
// where the fill ends, or on the way out of a run that failed.
class ProgressSpan {
public:
    explicit ProgressSpan(RunProgress* p) : p_(p) {}
    ~ProgressSpan() { finish(); }
    ProgressSpan(const ProgressSpan&) = delete;
    ProgressSpan& operator=(const ProgressSpan&) = delete;
    void start()
    {
        if (p_)
            p_->started();
    }
    void finish()
    {
        if (RunProgress* p = std::exchange(p_, nullptr))
            p->finished();
    }

private:
    RunProgress* p_;
};

class ReportRun {
public:
    explicit ReportRun(dm::TDataBase1& db) : db_(db) {}
    virtual ~ReportRun() = default;
    ReportRun(const ReportRun&) = delete;
    ReportRun& operator=(const ReportRun&) = delete;

    // The pages of the report for `selection`, or nothing when cancelled.
    // A store failure leaves nothing linked or filtered and is rethrown.
    std::optional<PageSet> run(const Selection& selection, RunProgress* progress = nullptr);

    virtual Report& layout() = 0;
    dm::TDataBase1& db() const { return db_; }
    // The selection of the run under way (or of the last one).
    const Selection& selection() const { return sel_; }

protected:
    // Steps that differ between the reports.
    virtual void setUp() = 0;                  // links, filters, the work table
    virtual store::Table& masterTable() = 0;   // the rows of the fill
    virtual void fillRow() = 0;                // one work-table row for the current master row
    // The passes of the fill (one per master row unless a report says
    // otherwise) and where the master stands for the first of them.
    virtual int passCount(store::Table& master);
    virtual void startPasses(store::Table& master);
    // The progress of pass i of n before its row is filled; false stops the
    // fill. By default: the gauge at i * 100 / n, the pending events, then
    // the cancel request.
    virtual bool pass(int i, int n, RunProgress& progress);
    virtual void beforePages() {}
    // Whether the pages are made with the data module's display hooks and
    // calculated fields on. A report whose master is a book that the
    // postings' calculated fields search (their names are looked up by
    // moving the book) makes its pages without them: otherwise every look-up
    // would move the master under the postings being read. Its links are
    // then taken down before the hooks come back.
    virtual bool pagesWithHooks() const { return true; }
    virtual void takeDown();                   // filters off, links removed

    // Shared pieces of the set-up.
    void linkPostings(store::Table& master, const QString& masterField);
    void filterPostings();
    void resetWorkTable(store::Table& work, store::Table& master, const QString& key);
    // The postings linked to `master` on `key` (`outKey` in t2_2, when it is
    // spelt otherwise there) and filtered by the selection, the organizations
    // following the expenditures, `work` emptied and linked to `master`, and
    // both sides summed for every key at once.
    void sumPostingsBy(store::Table& master, const QString& key, store::Table& work, const QString& outKey = {});
    // One `work` row for the master row of `key`: what CalcSumTable gives
    // over its linked, filtered postings, and their difference.
    void appendTotals(store::Table& work, const QString& key);
    // The title band's header texts: hooks that print the selection.
    void addHeaderTexts(Band& title, double y, double leftW, double rightX, double rightW);
    // Tables whose links the take-down removes.
    std::vector<store::Table*> linked_;

private:
    std::optional<QHash<QString, double>> inSums_, outSums_;
    dm::TDataBase1& db_;
    Selection sel_;
};

} // namespace reports
