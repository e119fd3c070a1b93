#pragma once
// The program's one message box. Every question and every notice of the
// program goes through messageBox(); tests install an answerer instead of
// clicking real boxes.
#include "core/datamodule/messages.h"

#include <QList>
#include <QString>
#include <functional>

namespace ui {

using Answerer = std::function<dm::MsgResult(const QString& caption, const QString& text, dm::MsgButtons, dm::MsgIcon)>;

// A modal box over the active window. Buttons "OK" / "OK" "Отмена"; Enter
// presses OK, Esc presses Отмена (a box with OK alone answers Ok to Esc too).
// An empty caption shows the application title. The text is plain text.
dm::MsgResult messageBox(const QString& caption, const QString& text, dm::MsgButtons buttons, dm::MsgIcon icon);

// A plain notice: the application title as the caption, OK alone.
void message(const QString& text);

// The general error display: the application title, the error icon, OK.
void showError(const QString& text);

// A notice with the application title, a question with OK and Отмена;
// true when OK was pressed.
bool confirm(const QString& text, dm::MsgIcon icon = dm::MsgIcon::Warning);

// The application title: the caption of the program's own notices.
QString applicationTitle();
void setApplicationTitle(const QString& title);

// While an answerer is installed no box is shown: every call goes to it and
// its answer is returned. An empty function shows real boxes again.
void setAnswerer(Answerer a);
bool hasAnswerer();

// The message function the data module is given.
dm::MessageFn dataModuleMessages();

// One call of messageBox, as recorded by RecordingAnswerer.
struct MessageCall {
    QString caption;
    QString text;
    dm::MsgButtons buttons = dm::MsgButtons::Ok;
    dm::MsgIcon icon = dm::MsgIcon::None;
};

// Installs itself as the answerer for its lifetime (the previous one comes
// back afterwards), records every call and answers the queued results in
// order, then `fallback`.
class RecordingAnswerer {
public:
    explicit RecordingAnswerer(dm::MsgResult fallback = dm::MsgResult::Ok);
    ~RecordingAnswerer();
    RecordingAnswerer(const RecordingAnswerer&) = delete;
    RecordingAnswerer& operator=(const RecordingAnswerer&) = delete;

    void queue(dm::MsgResult answer) { queued_.append(answer); }
    void setFallback(dm::MsgResult answer) { fallback_ = answer; }
    const QList<MessageCall>& calls() const { return calls_; }
    int count() const { return int(calls_.size()); }
    MessageCall last() const { return calls_.isEmpty() ? MessageCall{} : calls_.last(); }
    QStringList texts() const;
    void clear() { calls_.clear(); }

private:
    Answerer previous_;
    QList<MessageCall> calls_;
    QList<dm::MsgResult> queued_;
    dm::MsgResult fallback_;
};

} // namespace ui
