#pragma once
// RFC 4180 files: comma-separated, double quotes around a field that holds a
// comma, a quote or a line break, a quote doubled inside quotes.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace csv {

struct Record {
    int line = 0;   // line of the file where the record starts, from 1
    QStringList fields;
};

// The text of a file: UTF-8 (a BOM is skipped) when the bytes are valid
// UTF-8, otherwise code page 1251. Fails with a text naming the line when a
// file with a BOM is not valid UTF-8, or when the text holds a character no
// table may keep (a replacement character, NUL, a C1 control).
bool decode(const QByteArray& data, QString& text, QString& error);
// Parses the bytes of a file (see decode). Fails with a text naming the line.
bool parse(const QByteArray& data, QVector<Record>& out, QString& error);
QString field(const QString& value);   // quoted when it must be
QString line(const QStringList& fields);   // fields joined, with CRLF

} // namespace csv
