#include "reportform.h"

#include "datamodule/datamodule.h"
#include "store/storeerror.h"
#include "store/table.h"
#include "ui/messagebox.h"

#include <QApplication>

namespace reports {

TReportForm::TReportForm(const ReportContext& ctx, const QString& caption, int groups, QWidget* parent)
    : TSelectionDialog(caption, groups, parent), ctx_(ctx)
{
    setPickers(ctx.pickers);
}

void TReportForm::linkPostings(store::Table& master, const QString& masterField)
{
    dm::TDataBase1& d = db();
    for (store::Table* t : {&d.T2_1, &d.T2_2}) {
        t->setOrder(masterField);
        t->setMaster(&master, masterField, masterField);
        linked_.push_back(t);
    }
}

void TReportForm::filterPostings()
{
    // The selections run in SQL: the same tests as FilterT2_1 / FilterT2_2,
    // row by row, without a call back for every posting.
    dm::TDataBase1& d = db();
    d.T2_1.setFilterCallback({});
    d.T2_2.setFilterCallback({});
    d.T2_1.setFilterExpression(filterExpressionT2_1());
    d.T2_2.setFilterExpression(filterExpressionT2_2());
    d.T2_1.setFiltered(true);
    d.T2_2.setFiltered(true);
}

void TReportForm::resetWorkTable(store::Table& work, store::Table& master, const QString& key)
{
    work.clearMaster();
    work.close();
    work.emptyTable();
    work.open();
    work.setMaster(&master, key, key);
    linked_.push_back(&work);
}

void TReportForm::takeDown()
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

void TReportForm::CreateAndShow()
{
    dm::TDataBase1& d = db();
    TWaitForm* wait = waitForm();
    bool hooksOff = false;
    store::Table* batch = nullptr;
    try {
        if (wait)
            wait->Show();
        else
            setCancelRequested(false);
        d.SyncTable(d.T2_1);
        d.SyncTable(d.T2_2);
        d.DisableTableProcess();
        hooksOff = true;
        setUp();

        store::Table& master = masterTable();
        const int n = master.recordCount();
        master.first();
        // The work-table rows of one run are written in one transaction.
        for (store::Table* t : linked_)
            if (t->session() == d.MdTable.session() && t->directory() == d.MdTable.directory() && !batch) {
                if (t->isOpen() && t != &d.T2_1 && t != &d.T2_2) {
                    t->connection().beginBatch();
                    batch = t;
                }
            }
        for (int i = 1; i <= n; ++i) {
            if (wait)
                wait->SetProgress(quint8(i * 100 / n));
            QCoreApplication::processEvents();
            if (cancelRequested())
                break;
            fillRow();
            master.next();
        }
        if (batch) {
            batch->connection().commitBatch();
            batch = nullptr;
        }
        if (wait)
            wait->hide();
        master.first();
        d.EnableTableProcess();
        hooksOff = false;
        cancelled_ = cancelRequested();
        beforePreview();
        if (cancelled_) {
            takeDown();
            return;
        }
        // The pages are made while the run's links and filters stand; they
        // are taken down before the preview shows, so that every window
        // opened meanwhile sees and edits its tables whole, and a print
        // from the preview prints the same pages, whatever happens
        // meanwhile. Another report can run while this preview is open.
        PageSet pages = layout().generate();
        takeDown();
        preview(std::move(pages), layout(), previewMode(), this->parentWidget(), windowTitle());
    } catch (const store::StoreError& e) {
        // A failure of the store half-way: nothing stays linked or filtered,
        // the wait window goes, and the user is told.
        if (batch) {
            try {
                batch->connection().rollbackBatch();
            } catch (const store::StoreError&) {
            }
        }
        if (wait)
            wait->hide();
        if (hooksOff)
            d.EnableTableProcess();
        try {
            takeDown();
        } catch (const store::StoreError&) {
        }
        cancelled_ = true;
        ui::showError(e.text());
    }
}

void TReportForm::addHeaderTexts(Band& title, double y, double leftW, double rightX, double rightW)
{
    struct H {
        const char* name;
        double x, y, w;
        QString (TSelectionDialog::*text)() const;
    };
    const H hs[] = {{"PeriodQRLabel", 0, y, leftW, &TSelectionDialog::periodText},
                    {"OrgQRLabel", 0, y + 4.5, leftW, &TSelectionDialog::orgText},
                    {"CBCQRLabel", rightX, y, rightW, &TSelectionDialog::cbcText},
                    {"LawQRLabel", rightX, y + 4.5, rightW, &TSelectionDialog::lawText}};
    for (const H& h : hs) {
        Item& it = title.addLabel(QLatin1String(h.name), QLatin1String(h.name));
        it.at(h.x, h.y, h.w, 4.5).withFont(10, false, false, QStringLiteral("Times New Roman"));
        auto text = h.text;
        it.onPrint = [this, text](Item&, ItemPrint& p) { p.text = (this->*text)(); };
    }
}

} // namespace reports
