#include "reports/pipeline/reportrun.h"

#include "core/datamodule/datamodule.h"
#include "core/store/session.h"
#include "core/store/table.h"

#include <memory>

namespace reports {

void ReportRun::linkPostings(store::Table& master, const QString& masterField)
{
    dm::TDataBase1& d = db();
    for (store::Table* t : {&d.T2_1, &d.T2_2}) {
        t->setOrder(masterField);
        t->setMaster(&master, masterField, masterField);
        linked_.push_back(t);
    }
}

void ReportRun::filterPostings()
{
    // The selections run in SQL: the same tests as the row filters of the
    // selection, without a call back for every posting.
    dm::TDataBase1& d = db();
    d.T2_1.setFilterCallback({});
    d.T2_2.setFilterCallback({});
    d.T2_1.setFilterExpression(sel_.receiptExpression());
    d.T2_2.setFilterExpression(sel_.expenditureExpression());
    d.T2_1.setFiltered(true);
    d.T2_2.setFiltered(true);
}

void ReportRun::resetWorkTable(store::Table& work, store::Table& master, const QString& key)
{
    work.clearMaster();
    work.close();
    work.emptyTable();
    work.open();
    work.setMaster(&master, key, key);
    linked_.push_back(&work);
}

void ReportRun::sumPostingsBy(store::Table& master, const QString& key, store::Table& work, const QString& outKey)
{
    dm::TDataBase1& d = db();
    linkPostings(master, key);
    d.Org_Table.setMaster(&d.T2_2, QStringLiteral("Org"), QStringLiteral("Org"));
    linked_.push_back(&d.Org_Table);
    filterPostings();
    resetWorkTable(work, master, key);
    inSums_ = d.T2_1.groupSums(key, QStringLiteral("Amount"));
    outSums_ = d.T2_2.groupSums(outKey.isEmpty() ? key : outKey, QStringLiteral("Amount"));
}

void ReportRun::appendTotals(store::Table& work, const QString& key)
{
    dm::TDataBase1& d = db();
    const double in = inSums_ ? inSums_->value(key) : CalcSumTable(d.T2_1, QStringLiteral("Amount"));
    const double out = outSums_ ? outSums_->value(key) : CalcSumTable(d.T2_2, QStringLiteral("Amount"));
    work.append();   // the key comes through the link
    work.fieldByName(QStringLiteral("InSum")).setValue(in);
    work.fieldByName(QStringLiteral("OutSum")).setValue(out);
    work.fieldByName(QStringLiteral("Remainder")).setValue(in - out);
    work.post();
}

int ReportRun::passCount(store::Table& master) { return master.recordCount(); }

void ReportRun::startPasses(store::Table& master) { master.first(); }

bool ReportRun::pass(int i, int n, RunProgress& progress) { return progress.progress(i * 100 / n); }

void ReportRun::takeDown()
{
    dm::TDataBase1& d = db();
    // The books linked to the postings go first: a posting table that
    // changes its view with books still hanging on it makes them follow its
    // row, and that reads the table at once.
    for (store::Table* t : {&d.LawSprTable, &d.Org_Table})
        t->clearMaster();
    for (store::Table* t : linked_)
        t->clearMaster();
    linked_.clear();
    for (store::Table* t : {&d.T2_1, &d.T2_2}) {
        t->setFiltered(false);
        t->setFilterExpression(QString());
        t->setFilterCallback({});
    }
    for (store::Table* t : {&d.T2_1, &d.T2_2, &d.MdTable})
        t->clearMaster();
}

std::optional<PageSet> ReportRun::run(const Selection& selection, RunProgress* progress)
{
    dm::TDataBase1& d = db();
    sel_ = selection;
    ProgressSpan span(progress);
    // The current personal account of every window: the fill and the pages
    // walk the accounts, and the run puts it back where it stood.
    QVariant account;
    if (d.T1.isOpen() && !d.T1.isEmpty())
        account = d.T1.value(QStringLiteral("Facebill"));
    auto backOnAccount = [&] {
        if (!account.isNull() && d.T1.isOpen() && d.T1.value(QStringLiteral("Facebill")) != account) {
            const int pos = d.T1.keyIndex({account});
            if (pos >= 0)
                d.T1.setRecNo(pos + 1);
        }
    };
    try {
        span.start();
        d.SyncTable(d.T2_1);
        d.SyncTable(d.T2_2);
        std::optional<PageSet> pages;
        {
            dm::TableProcessOff hooksOff(d);
            // Pages made without the hooks: the links go before the hooks
            // come back on leaving this block, also on a failure.
            struct LinksFirst {
                ReportRun* run;
                bool on;
                ~LinksFirst()
                {
                    if (on)
                        try {
                            run->takeDown();
                        } catch (...) {
                        }
                }
            } linksFirst{this, !pagesWithHooks()};
            setUp();
            store::Table& master = masterTable();
            const int n = passCount(master);
            startPasses(master);
            bool cancelled = false;
            {
                // The work-table rows of one run are written in one transaction.
                // (The work tables are the linked ones in the local work directory.)
                std::unique_ptr<store::BatchScope> batch;
                for (store::Table* t : linked_)
                    if (t->isOpen() && t != &d.T2_1 && t != &d.T2_2 && t->directory() == d.MdTable.directory()) {
                        batch = std::make_unique<store::BatchScope>(t->connection());
                        break;
                    }
                for (int i = 1; i <= n; ++i) {
                    if (progress && !pass(i, n, *progress)) {
                        cancelled = true;
                        break;
                    }
                    fillRow();
                    master.next();
                }
                if (batch)
                    batch->commit();
            }
            span.finish();
            master.first();
            if (pagesWithHooks())
                hooksOff.restore();
            if (!cancelled) {
                beforePages();
                // The pages are made while the links and filters stand; they
                // are taken down before anyone sees them, so that every
                // window sees and edits its tables whole meanwhile.
                pages = layout().generate();
            }
        }
        takeDown();
        backOnAccount();
        return pages;
    } catch (...) {
        // A failure half-way: nothing stays linked or filtered.
        span.finish();
        try {
            takeDown();
            backOnAccount();
        } catch (...) {
        }
        throw;
    }
}

void ReportRun::addHeaderTexts(Band& title, double y, double leftW, double rightX, double rightW)
{
    struct H {
        const char* name;
        double x, y, w;
        QString (Selection::*text)() const;
    };
    const H hs[] = {{"PeriodQRLabel", 0, y, leftW, &Selection::periodText},
                    {"OrgQRLabel", 0, y + 4.5, leftW, &Selection::orgText},
                    {"CBCQRLabel", rightX, y, rightW, &Selection::cbcText},
                    {"LawQRLabel", rightX, y + 4.5, rightW, &Selection::lawText}};
    for (const H& h : hs) {
        Item& it = title.addLabel(QLatin1String(h.name), QLatin1String(h.name));
        it.at(h.x, h.y, h.w, 4.5).withFont(10, false, false, QStringLiteral("Times New Roman"));
        auto text = h.text;
        it.onPrint = [this, text](Item&, ItemPrint& p) { p.text = (sel_.*text)(); };
    }
}

} // namespace reports
