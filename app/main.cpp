// The program entry: the application title, the data module and every
// window in their order, then the message loop until the main window closes.
#include "app/appsetup.h"
#include "app/forms.h"
#include "app/mainform.h"
#include "core/datamodule/profile.h"
#include "core/store/storeerror.h"
#include "core/ui/messagebox.h"

#include <QApplication>

class TApplication : public QApplication {
public:
    using QApplication::QApplication;
    // The general error display: a failure no window caught is shown, and work goes on.
    bool notify(QObject* o, QEvent* e) override
    {
        try {
            return QApplication::notify(o, e);
        } catch (const store::StoreError& err) {
            ui::showError(err.text());
        } catch (const std::exception& err) {
            ui::showError(QString::fromLocal8Bit(err.what()));
        }
        return false;
    }
};

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    SetUpApplication(app);
    // The installed program keeps each user's settings in ~/.config/saldina/:
    // the file is made on the first start, empty, so every setting has its
    // default, the program says the database is not set up, and the settings
    // dialog writes there. A failure here is told by that dialog's writing.
    const QString ini = config::Profile::defaultPath();
    if (ini == config::Profile::userPath())
        config::Profile::createIfMissing(ini);
    try {
        CreateForms(ini);
    } catch (const store::StoreError& e) {
        ui::showError(e.text());
        if (!MainForm)
            return 1;
    }
    MainForm->showMaximized();
    const int rc = app.exec();
    DestroyForms();
    return rc;
}
