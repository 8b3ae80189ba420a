#include "signature/richtextdocument.h"

#include "signature/rtfreader.h"
#include "signature/rtfwriter.h"
#include "toolkit/richtextblob.h"

#include <QTextCursor>
#include <QTextDocument>

TRichTextDocument::TRichTextDocument(QWidget *parent) : QTextEdit(parent) {}

TRichTextDocument::~TRichTextDocument() = default;

void TRichTextDocument::LoadRtf(QByteArrayView rtf)
{
    ReadRtf(rtf, *document());
    moveCursor(QTextCursor::Start);
}

QByteArray TRichTextDocument::SaveRtf() const
{
    return WriteRtf(*document());
}

void TRichTextDocument::SetText(const QString &text)
{
    setPlainText(text);
}

QString TRichTextDocument::PlainText() const
{
    // Paragraph and line separators become '\n' and pictures stay U+FFFC, one character each,
    // so positions in this text are cursor positions.
    return document()->toPlainText();
}

int TRichTextDocument::FindText(const QString &text, int start, int length) const
{
    // An empty text would be "found" everywhere and keep a replace-every-occurrence loop going.
    if (text.isEmpty())
        return -1;
    const QString plain = PlainText();
    const qsizetype from = qBound(qsizetype(0), qsizetype(start), plain.size());
    const qsizetype end = length < 0 ? plain.size() : qMin<qsizetype>(plain.size(), from + length);
    const qsizetype found =
        QStringView(plain).sliced(from, end - from).indexOf(text, 0, Qt::CaseInsensitive);
    return found < 0 ? -1 : int(from + found);
}

void TRichTextDocument::SetSelection(int start, int length)
{
    QTextCursor cursor(document());
    const int last = document()->characterCount() - 1; // the final paragraph mark is not text
    const int from = qBound(0, start, last);
    const int to = length < 0 ? last : int(qMin<qint64>(last, qint64(from) + length));
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void TRichTextDocument::ReplaceSelection(const QString &text)
{
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    if (!text.isEmpty())
        cursor.insertText(text);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void TRichTextDocument::InsertRtfAtSelection(QByteArrayView rtf)
{
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    ReadRtf(rtf, cursor);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

QByteArray TRichTextDocument::ToBlob() const
{
    return CopyRichEdittoBlob(SaveRtf(), StoreCompressed);
}

bool TRichTextDocument::FromBlob(QByteArrayView blob)
{
    const RichTextLoad load = CopyRichEditFromBlob(blob);
    if (load.source == RichTextLoad::Source::AsStored) {
        // Neither RTF nor a readable stored form: showing the cipher text would only mislead.
        clear();
        return false;
    }
    // A short blob that is not RTF reads as its text, which is what it is.
    LoadRtf(load.text);
    return true;
}
