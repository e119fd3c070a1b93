#pragma once
// The print preview: shows a report's generated pages, zooms, moves between
// pages, sets up the printer, prints (generating the pages again, so every
// hook runs again), saves as PDF or as a spreadsheet, closes. The call returns only when the
// user closes the window.
#include "reports/model/pageset.h"
#include "reports/model/report.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QAbstractScrollArea;
class QEventLoop;
class QLabel;
class QPrinter;
class QSpinBox;
class QToolBar;
class QToolButton;

namespace reports {

// Ordinary: the rest of the program stays usable while the preview is open,
// the caller waits in a local event loop. Modal: nothing else can be used.
enum class PreviewMode { Ordinary, Modal };

class PageView;

class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    enum class Zoom { WholePage, Actual, PageWidth, Custom };

    // `generate` produces the pages; it is called once on showing and again
    // for every print. Without it the window shows and prints the pages it
    // was given.
    PreviewWindow(std::function<PageSet()> generate, const QString& caption, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // Generates the pages, shows the window and returns when it is closed.
    void run(PreviewMode mode);

    const PageSet& pages() const { return pages_; }
    int currentPage() const;   // 1-based; 0 without pages
    void setCurrentPage(int n);
    Zoom zoom() const { return zoom_; }
    double scale() const;   // screen pixels per millimetre
    void setZoom(Zoom z);
    QPrinter& printer() { return *printer_; }

    // The commands of the toolbar.
    void WholePageClick() { setZoom(Zoom::WholePage); }
    void ActualSizeClick() { setZoom(Zoom::Actual); }
    void PageWidthClick() { setZoom(Zoom::PageWidth); }
    void FirstPageClick() { setCurrentPage(1); }
    void PriorPageClick() { setCurrentPage(currentPage() - 1); }
    void NextPageClick() { setCurrentPage(currentPage() + 1); }
    void LastPageClick() { setCurrentPage(pages_.count()); }
    void PrintSetupClick();
    void PrintClick();
    void SaveClick();
    // "Сохранить в Excel": the pages as an XLSX workbook, or as CSV when
    // the name chosen ends in .csv.
    void SaveExcelClick();
    void ExitClick() { close(); }

    // Replaceable for tests: the printer set-up dialog (true: accepted) and
    // the file name asked for "Сохранить в PDF" (empty: cancelled).
    static std::function<bool(QPrinter&, int pageCount, QWidget*)>& printDialog();
    static std::function<QString(QWidget*)>& saveFileDialog();
    // The file name asked for "Сохранить в Excel", offered `proposed` (empty: cancelled).
    static std::function<QString(QWidget*, const QString& proposed)>& excelFileDialog();
    // The name offered: the window's caption and today's date.
    QString excelFileName() const;

    QToolBar* ToolBar;
    QToolButton *ZoomFitButton, *ZoomActualButton, *ZoomWidthButton;
    QToolButton *FirstPageButton, *PriorPageButton, *NextPageButton, *LastPageButton;
    QSpinBox* PageNumberEdit;
    QLabel* PageCountLabel;
    QToolButton *PrintSetupButton, *PrintButton, *SaveButton, *SaveExcelButton, *ExitButton;
    QAbstractScrollArea* view() const;

    // The number of pages painted by the last paint of the view (only those in sight).
    int lastPaintedPages() const;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    friend class PageView;
    friend void preview(PageSet, Report&, PreviewMode, QWidget*, const QString&);
    void updatePageControls();
    void regenerate();
    void placeOver(QWidget* owner);
    void setCurrentPageFromView();

    std::function<PageSet()> generate_;
    PageSet pages_;
    Zoom zoom_ = Zoom::WholePage;
    PageView* view_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
    int current_ = 1;
    bool following_ = true;     // the page number follows the scrolling
    bool closed_ = false;
    bool updating_ = false;
    bool printerSetUp_ = false;
    QEventLoop* loop_ = nullptr;
};

// Shows `report` in the preview and returns when the user closes it. With
// an interceptor set (tests, the command line), the pages go to it instead
// of a window.
void preview(Report& report, PreviewMode mode, QWidget* parent = nullptr, const QString& caption = {});
// Shows pages generated before; printing prints the same pages. For a
// report whose run takes down its links and filters before the preview, so
// that the live tables are whole again for every other window.
void preview(PageSet pages, Report& report, PreviewMode mode, QWidget* parent = nullptr, const QString& caption = {});
using PreviewInterceptor = std::function<void(Report& report, const PageSet& pages, PreviewMode mode)>;
void setPreviewInterceptor(PreviewInterceptor f);   // empty: the window again

} // namespace reports
