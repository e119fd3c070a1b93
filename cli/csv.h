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

// Parses UTF-8 text (a BOM is skipped). Fails with a text naming the line.
bool parse(const QByteArray& data, QVector<Record>& out, QString& error);
QString field(const QString& value);   // quoted when it must be
QString line(const QStringList& fields);   // fields joined, with CRLF

} // namespace csv
