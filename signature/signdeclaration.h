#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>
#include <optional>

class QDateTime;
class QFont;
class TRichTextDocument;

// Replaces every placeholder of the document ("%patdigisign%", "%patmaldigisign%",
// "%patmal2digisign%", "%vgdigisign%") with a picture of the handwritten signature of the person
// it stands for. True when every placeholder found was signed, or none was present.
bool SignDeclaration(TRichTextDocument &document, const QString &patientName,
                     const QString &guardianText, const QString &secondGuardianText);

// Copies the bounding box of the pen-coloured pixels of `source` into `target` (RGB888), with one
// pixel of margin above and to the left where there is room. True when any was found.
bool CropSignature(const QImage &source, QImage &target);
// Appends the RTF picture fragment of the bitmap (a device-independent bitmap, hexadecimal).
void BitmapToRtfPicture(const QImage &bitmap, QByteArray &stream);
// The default of the guardian's name-clarification dialog from the two guardian texts.
QString GuardianNameDefault(const QString &guardianText, const QString &secondGuardianText);

// The signature picture: the cropped strokes at the top-left, below them the name line (Arial
// 10, widening the picture to fit) when there is one, then the time-stamp line (Arial 6, widening
// only when there is no name line). 24-bit.
QImage ComposeSignaturePicture(const QImage &strokes, const std::optional<QString> &nameLine,
                               const QString &timeStamp);
// The font of the picture's text lines: Arial, or a metric-compatible stand-in where it is
// missing, at the point size.
QFont SignatureFont(int pointSize);
// "Digital signatur: ePad " with the date (yyyy-MM-dd) and the Swedish long time (14:07:31).
QString SignatureTimeStamp(const QDateTime &when);

// Shows the capture dialog with the heading and gives its drawing area after OK, nothing after
// cancel. The default runs the capture dialog modally; tests install their own. Returns the
// function it replaces; an empty one restores the default.
using CaptureFunction = std::function<std::optional<QImage>(const QString &heading)>;
CaptureFunction SetCaptureFunction(CaptureFunction capture);
