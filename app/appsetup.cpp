#include "app/appsetup.h"

#include "core/ui/messagebox.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool SetUpApplication(QApplication& app)
{
    QApplication::setApplicationName(QStringLiteral("saldina"));
    // No application display name: Qt would append it to every caption
    // (" — Сальдина"), and the captions are the program's own texts.
    ui::setApplicationTitle(QStringLiteral("Сальдина"));
    auto* qt = new QTranslator(&app);
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!qt->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"), dir)) {
        delete qt;
        return false;
    }
    QApplication::installTranslator(qt);
    return true;
}
