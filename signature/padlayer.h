#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// The signature pad as the capture dialog sees it: providers, each with devices; one open
// connection that reports pen positions in pad units with the pressure and whether the pen
// touches. Implementations: the screen itself as a pad (mouse, touch and stylus on the dialog's
// drawing area), a scripted pad for tests, and on Windows the pad maker's control.
class TGIIEPad : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TGIIEPad)

public:
    explicit TGIIEPad(QObject *parent = nullptr) : QObject(parent) {}
    ~TGIIEPad() override = default;

    virtual int GetNumProviders() = 0;
    virtual QString GetProviderClassID(int providerIndex) = 0;
    virtual QString GetProviderDescription(const QString &classId) = 0;
    virtual bool OpenProvider(const QString &classId) = 0;
    virtual int GetNumDevices() = 0;
    virtual void CloseProvider() = 0;
    virtual bool OpenConnection(int deviceNumber) = 0;
    virtual void CloseConnection() = 0;
    virtual int ConnGetDataRangeMinX() = 0;
    virtual int ConnGetDataRangeMaxX() = 0;
    virtual int ConnGetDataRangeMinY() = 0;
    virtual int ConnGetDataRangeMaxY() = 0;

Q_SIGNALS:
    // On the GUI thread, for every pen report of the open connection.
    void OnPadData(int absX, int absY, int absZ, bool touch, bool tap, int buttonState,
                   quint32 timeStamp, quint32 sequenceNumber);
};

// Creates the pad control for a capture dialog (its parent) whose drawing area is `drawingArea`;
// throws std::exception (what() in UTF-8) when the pad software cannot be used. The program's
// default offers the screen pad (and on Windows the maker's control); tests install their own.
// Returns the factory it replaces; an empty one restores the default.
using PadFactory = std::function<TGIIEPad *(QWidget *dialog, QWidget *drawingArea)>;
PadFactory SetPadFactory(PadFactory factory);
TGIIEPad *CreatePad(QWidget *dialog, QWidget *drawingArea);

// One layer over several: their providers one after another, each call routed to the layer
// that owns the class ID or the open connection. Takes ownership of `pads`. On Windows the
// default factory joins the maker's control and the screen pad this way.
TGIIEPad *CombinePads(const QList<TGIIEPad *> &pads, QObject *parent);
