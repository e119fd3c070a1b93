#pragma once
// What saldina-cli writes: standard output checked to the last flush, and
// files that appear whole or not at all.
#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

namespace cli {

// Makes sure that descriptors 0, 1 and 2 are open before anything else is:
// a file opened later (a database) must never take the place of standard
// output. A closed one is opened on /dev/null for reading only, so that
// writing to it fails instead of going anywhere.
void guardStandardDescriptors();

// Writes `data` to standard output and flushes it. False with the system's
// reason when any of it could not be written.
bool writeStandardOutput(const QByteArray& data, QString& error);
// Flushes standard output; false with the system's reason when it or any
// earlier write to it failed.
bool flushStandardOutput(QString& error);
// Flushes and closes standard output at the end; false with the reason.
bool closeStandardOutput(QString& error);

// Writes `file` through `fill` into a temporary file beside it, renamed to
// `file` once every byte is written, flushed and closed. On failure the
// file is left as it was and `error` names it with the system's reason.
bool writeFileWhole(const QString& file, const std::function<bool(QIODevice&)>& fill, QString& error);
bool writeFileWhole(const QString& file, const QByteArray& data, QString& error);
// The same for a writer that takes a file name: `fill` writes the temporary
// file it is given (saying why it could not in its second argument), which
// is then renamed to `file`.
bool writeFileByName(const QString& file, const std::function<bool(const QString& temp, QString& why)>& fill,
                     QString& error);

} // namespace cli
