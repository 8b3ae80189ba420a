#pragma once

#include <QByteArray>

class QTextDocument;

// Writes a text document as RTF that standard readers open: paragraphs, character formats that
// matter (bold, italic, underline, size, font family), non-ASCII text as \uN escapes, and
// pictures as \pngblip with their size.
QByteArray WriteRtf(const QTextDocument &document);
