#pragma once

#include <QByteArrayView>

class QTextCursor;
class QTextDocument;

// Reads RTF into a text document at a cursor: text, paragraphs, \'hh and \uN escapes (with
// \ucN), tables as text, pictures (\dibitmap, \wbitmapN, \pngblip, \jpegblip), ignorable
// destinations skipped. Unknown control words are skipped; malformed input gives what could be
// read; never crashes and never takes more than linear time and bounded memory.
void ReadRtf(QByteArrayView rtf, QTextCursor &cursor);
void ReadRtf(QByteArrayView rtf, QTextDocument &document);
