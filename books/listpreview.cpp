// The printed lists of the books in the preview over their list windows.
#include "books/listprint.h"

#include "reports/preview/preview.h"

namespace books {

void TBookListPrint::Run(QWidget* caller)
{
    reports::preview(QuickRep1, reports::PreviewMode::Ordinary, caller, QString::fromUtf8(def_.title));
}

} // namespace books
