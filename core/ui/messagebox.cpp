#include "core/ui/messagebox.h"
#include "core/ui/buttonkeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace ui {

namespace {

Answerer& answerer()
{
    static Answerer a;
    return a;
}

QMessageBox::Icon boxIcon(dm::MsgIcon icon)
{
    switch (icon) {
    case dm::MsgIcon::Warning:
        return QMessageBox::Warning;
    case dm::MsgIcon::Error:
        return QMessageBox::Critical;
    case dm::MsgIcon::Information:
        return QMessageBox::Information;
    case dm::MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

namespace {
QString& title()
{
    static QString t = QStringLiteral("Сальдина");
    return t;
}
} // namespace

// Kept here rather than as Qt's application display name, which Qt would
// append to every window caption on X11.
QString applicationTitle() { return title(); }

void setApplicationTitle(const QString& t) { title() = t; }

dm::MsgResult messageBox(const QString& caption, const QString& text, dm::MsgButtons buttons, dm::MsgIcon icon)
{
    if (answerer()) {
        // A copy: the answerer may replace itself while it answers.
        const Answerer a = answerer();
        const dm::MsgResult r = a(caption, text, buttons, icon);
        // A box with OK alone has no other answer.
        return buttons == dm::MsgButtons::Ok ? dm::MsgResult::Ok : r;
    }
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(parent);
    box.setWindowTitle(caption.isEmpty() ? applicationTitle() : caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setIcon(boxIcon(icon));
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (buttons == dm::MsgButtons::OkCancel)
        cancel = box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? static_cast<QAbstractButton*>(cancel) : ok);
    installButtonKeys(&box);
    box.exec();
    if (cancel && box.clickedButton() != ok)
        return dm::MsgResult::Cancel;
    return dm::MsgResult::Ok;
}

void message(const QString& text)
{
    messageBox(applicationTitle(), text, dm::MsgButtons::Ok, dm::MsgIcon::None);
}

void showError(const QString& text)
{
    messageBox(applicationTitle(), text, dm::MsgButtons::Ok, dm::MsgIcon::Error);
}

bool confirm(const QString& text, dm::MsgIcon icon)
{
    return messageBox(applicationTitle(), text, dm::MsgButtons::OkCancel, icon) == dm::MsgResult::Ok;
}

void setAnswerer(Answerer a) { answerer() = std::move(a); }

bool hasAnswerer() { return bool(answerer()); }

dm::MessageFn dataModuleMessages()
{
    // An empty caption is the general error display's: the application title.
    return [](const QString& caption, const QString& text, dm::MsgButtons b, dm::MsgIcon i) {
        return messageBox(caption.isEmpty() ? applicationTitle() : caption, text, b, i);
    };
}

RecordingAnswerer::RecordingAnswerer(dm::MsgResult fallback) : previous_(answerer()), fallback_(fallback)
{
    setAnswerer([this](const QString& caption, const QString& text, dm::MsgButtons b, dm::MsgIcon i) {
        calls_.append(MessageCall{caption, text, b, i});
        if (!queued_.isEmpty())
            return queued_.takeFirst();
        return fallback_;
    });
}

RecordingAnswerer::~RecordingAnswerer() { setAnswerer(previous_); }

QStringList RecordingAnswerer::texts() const
{
    QStringList out;
    for (const auto& c : calls_)
        out << c.text;
    return out;
}

} // namespace ui
