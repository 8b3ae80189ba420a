#pragma once

#include "signature/padlayer.h"

#include <QElapsedTimer>
#include <QPointF>
#include <QPointer>

class QWidget;

// The screen itself as a signature pad: one provider ("Skärmen") with one device, whose pen is
// the mouse, a finger or a stylus on the capture dialog's drawing area. Positions are reported
// in pad units over the middle 80 % of the area, which the dialog maps back onto the same
// pixels, so the ink lands under the finger; input outside that part is held at its edge.
class TScreenPad final : public TGIIEPad
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TScreenPad)

public:
    static inline const QString ClassID = QStringLiteral("{02D1C76F-DEEE-4DE0-A67A-0382587463E4}");
    static inline const QString Description = QStringLiteral("Skärmen");
    // Both axes run from 0 to kRange.
    static constexpr int kRange = 10000;

    TScreenPad(QWidget *drawingArea, QObject *parent);
    ~TScreenPad() override;

    int GetNumProviders() override;
    QString GetProviderClassID(int providerIndex) override;
    QString GetProviderDescription(const QString &classId) override;
    bool OpenProvider(const QString &classId) override;
    int GetNumDevices() override;
    void CloseProvider() override;
    bool OpenConnection(int deviceNumber) override;
    void CloseConnection() override;
    int ConnGetDataRangeMinX() override;
    int ConnGetDataRangeMaxX() override;
    int ConnGetDataRangeMinY() override;
    int ConnGetDataRangeMaxY() override;

    // The pad units of a position on the drawing area.
    QPoint ToPadUnits(QPointF position) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Source
    {
        None,
        Mouse,
        Touch,
        Tablet
    };
    void penDown(Source source, QPointF position, int pressure);
    void penMove(Source source, QPointF position, int pressure);
    void penUp(Source source, QPointF position);
    void report(QPointF position, int pressure, bool touch);

    QPointer<QWidget> m_area;
    bool m_providerOpen = false;
    bool m_connected = false;
    // The input that draws the current stroke; the others are ignored until it ends, so that
    // the mouse events the platform makes from touch do not draw twice.
    Source m_stroke = Source::None;
    quint32 m_sequence = 0;
    QElapsedTimer m_clock;
};
