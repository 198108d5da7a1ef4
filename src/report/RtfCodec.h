#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class QTextDocument;

namespace esf {

// Reports are RTF as the rich-text controls of the lab's machines wrote them (WordPad,
// Word, LibreOffice). Reading replaces the document's content with what can be read:
// damaged input gives the readable part, never an error.
void readRtf(const QByteArray& rtf, QTextDocument& doc);
// RTF 1.x that RichEdit-era readers accept: Windows-1252 with \'hh, other characters as \uN?.
QByteArray writeRtf(const QTextDocument& doc);

// RTF when the bytes start as RTF, else plain Windows-1252 text, as the editor opens a
// ".TXT". Throws FileError when the file cannot be read.
void loadReportFile(const QString& path, QTextDocument& doc);
// Replaces the file whole (QSaveFile). Throws FileError, leaving the old file as it was.
void saveReportFile(const QString& path, const QTextDocument& doc);

// Paragraphs with their alignment and runs with text, font, size, styles and colour.
QJsonObject documentJson(const QTextDocument& doc);

} // namespace esf
