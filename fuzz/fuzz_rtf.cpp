// Arbitrary bytes as RTF. Besides crashes, hangs and runaway memory, it checks what the
// document relies on: positions in the plain text are cursor positions, and what was read
// writes back as RTF that reads to the same text.

#include "signature/rtfreader.h"
#include "signature/rtfwriter.h"

#include <QGuiApplication>
#include <QTextDocument>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv); // fonts and images need the application
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTextDocument document;
    ReadRtf(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)), document);
    const QString text = document.toPlainText();
    if (text.size() != document.characterCount() - 1)
        std::abort();
    QTextDocument copy;
    ReadRtf(WriteRtf(document), copy);
    if (copy.toPlainText() != text)
        std::abort();
    return 0;
}
