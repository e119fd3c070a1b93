#include "reports/preview/preview.h"
#include "reports/preview/print.h"
#include "reports/model/sheet.h"

#include "core/ui/messagebox.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QEventLoop>
#include <QScreen>
#include <QWindow>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace reports {

namespace {
constexpr int Gap = 12;   // pixels around and between pages

PreviewInterceptor& interceptor()
{
    static PreviewInterceptor f;
    return f;
}
} // namespace

// The pages one under another on a grey ground; only those in sight are painted.
class PageView : public QAbstractScrollArea {
public:
    explicit PageView(PreviewWindow* owner) : QAbstractScrollArea(owner), owner_(owner)
    {
        setObjectName(QStringLiteral("PageView"));
        setFocusPolicy(Qt::StrongFocus);
        verticalScrollBar()->setSingleStep(20);
        horizontalScrollBar()->setSingleStep(20);
    }

    double scale = 1;   // pixels per mm
    int painted = 0;

    const PageSet& pages() const { return owner_->pages(); }

    QSize pagePixels(const Page& p) const { return QSize(qRound(p.width * scale), qRound(p.height * scale)); }

    int pageTop(int i) const
    {
        int y = Gap;
        for (int k = 0; k < i; ++k)
            y += pagePixels(pages().pages[size_t(k)]).height() + Gap;
        return y;
    }

    QSize contentSize() const
    {
        int w = 0, h = Gap;
        for (const Page& p : pages().pages) {
            const QSize s = pagePixels(p);
            w = std::max(w, s.width());
            h += s.height() + Gap;
        }
        return QSize(w + 2 * Gap, h);
    }

    void updateScrollBars()
    {
        const QSize c = contentSize(), v = viewport()->size();
        horizontalScrollBar()->setRange(0, std::max(0, c.width() - v.width()));
        horizontalScrollBar()->setPageStep(v.width());
        verticalScrollBar()->setRange(0, std::max(0, c.height() - v.height()));
        verticalScrollBar()->setPageStep(v.height());
        viewport()->update();
    }

    // The page whose area holds the upper part of the view.
    int pageAtTop() const
    {
        const int n = pages().count();
        if (n == 0)
            return 0;
        const int probe = verticalScrollBar()->value() + viewport()->height() / 3;
        int y = Gap;
        for (int i = 0; i < n; ++i) {
            y += pagePixels(pages().pages[size_t(i)]).height() + Gap;
            if (probe < y)
                return i + 1;
        }
        return n;
    }

    void scrollToPage(int n) { verticalScrollBar()->setValue(pageTop(n - 1) - Gap); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(viewport());
        painter.fillRect(viewport()->rect(), QColor(128, 128, 128));
        const QSize c = contentSize();
        const int x0 = std::max(Gap, (viewport()->width() - c.width()) / 2 + Gap) - horizontalScrollBar()->value();
        const int top = verticalScrollBar()->value(), bottom = top + viewport()->height();
        painted = 0;
        int y = Gap;
        for (const Page& p : pages().pages) {
            const QSize s = pagePixels(p);
            if (y > bottom)
                break;
            if (y + s.height() >= top) {
                const QRect r(x0, y - top, s.width(), s.height());
                painter.fillRect(r.translated(3, 3), QColor(64, 64, 64));
                painter.fillRect(r, Qt::white);
                paintPage(painter, p, QRectF(r));
                ++painted;
            }
            y += s.height() + Gap;
        }
    }
    void resizeEvent(QResizeEvent* e) override
    {
        QAbstractScrollArea::resizeEvent(e);
        owner_->setZoom(owner_->zoom());   // a fitting zoom follows the window's size
    }
    void scrollContentsBy(int, int) override
    {
        viewport()->update();
        owner_->setCurrentPageFromView();
    }

private:
    PreviewWindow* owner_;
};

std::function<bool(QPrinter&, int, QWidget*)>& PreviewWindow::printDialog()
{
    static std::function<bool(QPrinter&, int, QWidget*)> f = [](QPrinter& printer, int pageCount, QWidget* parent) {
        QPrintDialog dlg(&printer, parent);
        dlg.setWindowTitle(QStringLiteral("Настройка принтера"));
        dlg.setMinMax(1, std::max(1, pageCount));
        dlg.setOption(QAbstractPrintDialog::PrintPageRange, true);
        dlg.setOption(QAbstractPrintDialog::PrintToFile, true);
        return dlg.exec() == QDialog::Accepted;
    };
    return f;
}

std::function<QString(QWidget*)>& PreviewWindow::saveFileDialog()
{
    static std::function<QString(QWidget*)> f = [](QWidget* parent) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Сохранить в PDF"),
                                            QDir::homePath() + QStringLiteral("/") + parent->windowTitle() +
                                                QStringLiteral(".pdf"),
                                            QStringLiteral("Документ PDF (*.pdf)"));
    };
    return f;
}

std::function<QString(QWidget*, const QString&)>& PreviewWindow::excelFileDialog()
{
    static std::function<QString(QWidget*, const QString&)> f = [](QWidget* parent, const QString& proposed) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Сохранить в Excel"), QDir::homePath() + QStringLiteral("/") + proposed,
                                            QStringLiteral("Книга Excel (*.xlsx);;Текст CSV (*.csv)"));
    };
    return f;
}

QString PreviewWindow::excelFileName() const
{
    QString name = windowTitle() + QStringLiteral(" ") + QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    for (QChar& ch : name)   // characters a file name cannot hold
        if (QStringLiteral("\\/:*?\"<>|").contains(ch))
            ch = QLatin1Char('_');
    return name + QStringLiteral(".xlsx");
}

PreviewWindow::PreviewWindow(std::function<PageSet()> generate, const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), generate_(std::move(generate)), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(caption.isEmpty() ? QStringLiteral("Предварительный просмотр") : caption);
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    lay->addWidget(ToolBar);

    auto button = [this](const char* name, const QString& text, const QString& hint, void (PreviewWindow::*handler)()) {
        auto* b = new QToolButton(ToolBar);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setToolTip(hint);
        b->setFocusPolicy(Qt::NoFocus);
        ToolBar->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
        return b;
    };
    ZoomFitButton = button("ZoomFitButton", QStringLiteral("Страница"), QStringLiteral("Страница целиком"),
                           &PreviewWindow::WholePageClick);
    ZoomActualButton = button("ZoomActualButton", QStringLiteral("100 %"), QStringLiteral("Масштаб 100 %"),
                              &PreviewWindow::ActualSizeClick);
    ZoomWidthButton = button("ZoomWidthButton", QStringLiteral("По ширине"), QStringLiteral("По ширине страницы"),
                             &PreviewWindow::PageWidthClick);
    for (QToolButton* b : {ZoomFitButton, ZoomActualButton, ZoomWidthButton})
        b->setCheckable(true);
    ToolBar->addSeparator();
    FirstPageButton = button("FirstPageButton", QStringLiteral("|<"), QStringLiteral("Первая страница"),
                             &PreviewWindow::FirstPageClick);
    PriorPageButton = button("PriorPageButton", QStringLiteral("<"), QStringLiteral("Предыдущая страница"),
                             &PreviewWindow::PriorPageClick);
    PageNumberEdit = new QSpinBox(ToolBar);
    PageNumberEdit->setObjectName(QStringLiteral("PageNumberEdit"));
    PageNumberEdit->setToolTip(QStringLiteral("Номер страницы"));
    PageNumberEdit->setButtonSymbols(QAbstractSpinBox::NoButtons);
    PageNumberEdit->setAlignment(Qt::AlignRight);
    PageNumberEdit->setMinimumWidth(48);
    ToolBar->addWidget(PageNumberEdit);
    PageCountLabel = new QLabel(ToolBar);
    PageCountLabel->setObjectName(QStringLiteral("PageCountLabel"));
    PageCountLabel->setContentsMargins(4, 0, 4, 0);
    ToolBar->addWidget(PageCountLabel);
    NextPageButton = button("NextPageButton", QStringLiteral(">"), QStringLiteral("Следующая страница"),
                            &PreviewWindow::NextPageClick);
    LastPageButton = button("LastPageButton", QStringLiteral(">|"), QStringLiteral("Последняя страница"),
                            &PreviewWindow::LastPageClick);
    ToolBar->addSeparator();
    PrintSetupButton = button("PrintSetupButton", QStringLiteral("Настройка..."), QStringLiteral("Настройка принтера"),
                              &PreviewWindow::PrintSetupClick);
    PrintButton = button("PrintButton", QStringLiteral("Печать"), QStringLiteral("Печать отчета"),
                         &PreviewWindow::PrintClick);
    SaveButton = button("SaveButton", QStringLiteral("Сохранить в PDF"), QStringLiteral("Сохранить отчет в файл PDF"),
                        &PreviewWindow::SaveClick);
    SaveExcelButton = button("SaveExcelButton", QStringLiteral("Сохранить в Excel"),
                             QStringLiteral("Сохранить отчет в таблицу Excel"), &PreviewWindow::SaveExcelClick);
    ToolBar->addSeparator();
    ExitButton = button("ExitButton", QStringLiteral("Закрыть"), QStringLiteral("Закрыть просмотр"),
                        &PreviewWindow::ExitClick);

    view_ = new PageView(this);
    lay->addWidget(view_, 1);
    connect(PageNumberEdit, &QSpinBox::valueChanged, this, [this](int v) {
        if (!updating_)
            setCurrentPage(v);
    });
    resize(900, 1000);
}

PreviewWindow::~PreviewWindow() = default;

QAbstractScrollArea* PreviewWindow::view() const { return view_; }
int PreviewWindow::lastPaintedPages() const { return view_->painted; }
double PreviewWindow::scale() const { return view_->scale; }

int PreviewWindow::currentPage() const { return pages_.count() == 0 ? 0 : std::max(1, current_); }

void PreviewWindow::setCurrentPage(int n)
{
    if (pages_.count() == 0)
        return;
    n = std::clamp(n, 1, pages_.count());
    current_ = n;
    following_ = false;
    view_->scrollToPage(n);
    following_ = true;
    updatePageControls();
}

void PreviewWindow::setCurrentPageFromView()
{
    if (!following_ || pages_.count() == 0)
        return;
    current_ = view_->pageAtTop();
    updatePageControls();
}

void PreviewWindow::setZoom(Zoom z)
{
    zoom_ = z;
    const int keep = currentPage();
    const QSize v = view_->viewport()->size();
    const double pw = pages_.pages.empty() ? 215.9 : pages_.pages.front().width;
    const double ph = pages_.pages.empty() ? 279.4 : pages_.pages.front().height;
    switch (z) {
    case Zoom::WholePage:
        view_->scale = std::max(0.5, std::min((v.width() - 2.0 * Gap) / pw, (v.height() - 2.0 * Gap) / ph));
        break;
    case Zoom::PageWidth:
        // The vertical scroll bar takes its room once the pages are wider than the view.
        view_->scale = std::max(0.5, (v.width() - 2.0 * Gap) / pw);
        break;
    case Zoom::Actual:
        view_->scale = logicalDpiX() / 25.4;
        break;
    case Zoom::Custom:
        break;
    }
    ZoomFitButton->setChecked(z == Zoom::WholePage);
    ZoomActualButton->setChecked(z == Zoom::Actual);
    ZoomWidthButton->setChecked(z == Zoom::PageWidth);
    view_->updateScrollBars();
    if (keep > 0)
        setCurrentPage(keep);
}

void PreviewWindow::updatePageControls()
{
    const int n = pages_.count(), c = currentPage();
    updating_ = true;
    PageNumberEdit->setRange(n ? 1 : 0, std::max(n, 0));
    PageNumberEdit->setValue(c);
    updating_ = false;
    PageCountLabel->setText(QStringLiteral("из %1").arg(n));
    FirstPageButton->setEnabled(c > 1);
    PriorPageButton->setEnabled(c > 1);
    NextPageButton->setEnabled(c < n);
    LastPageButton->setEnabled(c < n);
    PrintButton->setEnabled(n > 0);
    SaveButton->setEnabled(n > 0);
    SaveExcelButton->setEnabled(n > 0);
}

void PreviewWindow::regenerate()
{
    const int keep = currentPage();
    if (generate_)
        pages_ = generate_();
    // The printer starts with the report's paper and orientation.
    if (!pages_.pages.empty() && !printerSetUp_) {
        const Page& p = pages_.pages.front();
        const bool landscape = p.width > p.height;
        const QSizeF paper = landscape ? QSizeF(p.height, p.width) : QSizeF(p.width, p.height);
        printer_->setPageSize(QPageSize(paper, QPageSize::Millimeter));
        printer_->setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        printer_->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    }
    current_ = std::clamp(keep, 1, std::max(1, pages_.count()));
    setZoom(zoom_);
    updatePageControls();
}

void PreviewWindow::placeOver(QWidget* owner)
{
    // Centred over the window it is called from, but whole on that window's
    // screen, frame included: the main window is a strip along the top of
    // the screen, and a preview centred on it would put its caption out of
    // reach.
    create();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    QRect g(QPoint(), size().grownBy(frame));
    g.moveCenter(owner->frameGeometry().center());
    if (const QScreen* screen = owner->screen()) {
        const QRect a = screen->availableGeometry();
        g.setSize(g.size().boundedTo(a.size()));
        g.moveLeft(std::clamp(g.left(), a.left(), a.right() - g.width() + 1));
        g.moveTop(std::clamp(g.top(), a.top(), a.bottom() - g.height() + 1));
    }
    resize(g.size().shrunkBy(frame));
    move(g.topLeft());
}

void PreviewWindow::run(PreviewMode mode)
{
    regenerate();
    setWindowModality(mode == PreviewMode::Modal ? Qt::ApplicationModal : Qt::NonModal);
    closed_ = false;
    if (QWidget* p = parentWidget())
        placeOver(p->window());
    show();
    raise();
    activateWindow();
    view_->setFocus();
    if (!closed_) {
        QEventLoop loop;
        loop_ = &loop;
        loop.exec();
        loop_ = nullptr;
    }
    hide();
}

void PreviewWindow::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    setZoom(zoom_);
}

void PreviewWindow::closeEvent(QCloseEvent* e)
{
    closed_ = true;
    if (loop_)
        loop_->quit();
    QWidget::closeEvent(e);
}

void PreviewWindow::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_PageDown:
        NextPageClick();
        return;
    case Qt::Key_PageUp:
        PriorPageClick();
        return;
    case Qt::Key_Home:
        if (e->modifiers() & Qt::ControlModifier) {
            FirstPageClick();
            return;
        }
        break;
    case Qt::Key_End:
        if (e->modifiers() & Qt::ControlModifier) {
            LastPageClick();
            return;
        }
        break;
    case Qt::Key_P:
        if (e->modifiers() & Qt::ControlModifier) {
            PrintClick();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(e);
}

void PreviewWindow::PrintSetupClick()
{
    if (printDialog()(*printer_, pages_.count(), this))
        printerSetUp_ = true;
}

void PreviewWindow::PrintClick()
{
    // Without a chosen printer the set-up comes first.
    if (!printerSetUp_ && printer_->outputFormat() == QPrinter::NativeFormat && printer_->printerName().isEmpty()) {
        PrintSetupClick();
        if (!printerSetUp_)
            return;
    }
    // The pages are generated again from the tables as they stand, so every
    // hook of the report runs again; pages given ready are printed as shown.
    regenerate();
    int from = 0, to = 0;
    if (printer_->printRange() == QPrinter::PageRange) {
        from = printer_->fromPage();
        to = printer_->toPage();
    } else if (printer_->printRange() == QPrinter::CurrentPage) {
        from = to = currentPage();
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = printPages(pages_, *printer_, from, to);
    QApplication::restoreOverrideCursor();
    if (!ok)
        ui::message(QStringLiteral("Отчет не напечатан: принтер недоступен."));
}

void PreviewWindow::SaveClick()
{
    QString file = saveFileDialog()(this);
    if (file.isEmpty())
        return;
    if (!file.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        file += QStringLiteral(".pdf");
    if (!writePdf(pages_, file))
        ui::message(QStringLiteral("Не удалось записать файл ") + QDir::toNativeSeparators(file) + QStringLiteral("."));
}

void PreviewWindow::SaveExcelClick()
{
    QString file = excelFileDialog()(this, excelFileName());
    if (file.isEmpty())
        return;
    const bool csv = file.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
    if (!csv && !file.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        file += QStringLiteral(".xlsx");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = csv ? writeCsv(pages_, file) : writeXlsx(pages_, file, windowTitle());
    QApplication::restoreOverrideCursor();
    if (!ok)
        ui::message(QStringLiteral("Не удалось записать файл ") + QDir::toNativeSeparators(file) + QStringLiteral("."));
}

void preview(Report& report, PreviewMode mode, QWidget* parent, const QString& caption)
{
    if (interceptor()) {
        PageSet pages = report.generate();
        interceptor()(report, pages, mode);
        return;
    }
    PreviewWindow w([&report] { return report.generate(); }, caption, parent);
    w.run(mode);
}

void preview(PageSet pages, Report& report, PreviewMode mode, QWidget* parent, const QString& caption)
{
    if (interceptor()) {
        interceptor()(report, pages, mode);
        return;
    }
    PreviewWindow w({}, caption, parent);
    w.pages_ = std::move(pages);
    w.run(mode);
}

void setPreviewInterceptor(PreviewInterceptor f) { interceptor() = std::move(f); }

} // namespace reports
