#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QTextEdit>

// The declaration's rich-text document: shows text and pictures, reads RTF written by other
// programs (an unknown control word is skipped, a malformed document shows what can be read),
// writes RTF that standard readers open, finds text without regard to case, replaces a
// selection, inserts an RTF fragment at the selection, and stores itself in the journal's
// document format (compressed when asked).
class TRichTextDocument : public QTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TRichTextDocument)

public:
    explicit TRichTextDocument(QWidget *parent = nullptr);
    ~TRichTextDocument() override;

    // Replaces the whole document; never fails: what cannot be read is left out.
    void LoadRtf(QByteArrayView rtf);
    QByteArray SaveRtf() const;
    // The whole document as one plain text.
    void SetText(const QString &text);
    QString PlainText() const;

    // The position of `text` in the plain text, searched from `start` for `length` characters
    // (-1: to the end) without regard to case; -1 when it does not occur.
    int FindText(const QString &text, int start = 0, int length = -1) const;
    void SetSelection(int start, int length);
    void ReplaceSelection(const QString &text);
    // Inserts the document an RTF fragment describes at the selection (replacing it).
    void InsertRtfAtSelection(QByteArrayView rtf);

    // Storage in the declaration row's document column.
    bool StoreCompressed = false;
    QByteArray ToBlob() const;
    // False (the document left empty) when the blob is not a stored document.
    bool FromBlob(QByteArrayView blob);
};
