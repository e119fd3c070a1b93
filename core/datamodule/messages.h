#pragma once
// The types of the program's one message-box function: what the data
// module asks and the windows (or the command line) answer.
#include <QString>
#include <functional>

namespace dm {

enum class MsgButtons { Ok, OkCancel };
enum class MsgIcon { None, Warning, Error, Information };
enum class MsgResult { Ok, Cancel };
// The program's one message-box function; the windows install theirs.
using MessageFn = std::function<MsgResult(const QString& caption, const QString& text, MsgButtons, MsgIcon)>;

} // namespace dm
