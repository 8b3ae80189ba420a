#include "signature/padlayer.h"

#include "signature/screenpad.h"

#include <QWidget>
#include <stdexcept>

#ifdef Q_OS_WIN
// padlayer_win.cpp: the pad maker's control; throws when its software is not installed.
TGIIEPad *CreateMakerPad(QWidget *dialog);
#endif

namespace {

class TCombinedPad final : public TGIIEPad
{
public:
    TCombinedPad(const QList<TGIIEPad *> &pads, QObject *parent) : TGIIEPad(parent), m_pads(pads)
    {
        for (TGIIEPad *pad : pads) {
            pad->setParent(this);
            connect(pad, &TGIIEPad::OnPadData, this, &TGIIEPad::OnPadData);
        }
    }

    int GetNumProviders() override
    {
        int count = 0;
        for (TGIIEPad *pad : std::as_const(m_pads))
            count += pad->GetNumProviders();
        return count;
    }

    QString GetProviderClassID(int providerIndex) override
    {
        for (TGIIEPad *pad : std::as_const(m_pads)) {
            const int count = pad->GetNumProviders();
            if (providerIndex < count)
                return providerIndex >= 0 ? pad->GetProviderClassID(providerIndex) : QString();
            providerIndex -= count;
        }
        return {};
    }

    QString GetProviderDescription(const QString &classId) override
    {
        TGIIEPad *pad = owner(classId);
        return pad ? pad->GetProviderDescription(classId) : QString();
    }

    bool OpenProvider(const QString &classId) override
    {
        m_provider = owner(classId);
        return m_provider && m_provider->OpenProvider(classId);
    }

    int GetNumDevices() override { return m_provider ? m_provider->GetNumDevices() : 0; }

    void CloseProvider() override
    {
        for (TGIIEPad *pad : std::as_const(m_pads))
            pad->CloseProvider();
    }

    bool OpenConnection(int deviceNumber) override
    {
        m_connection = m_provider;
        return m_connection && m_connection->OpenConnection(deviceNumber);
    }

    void CloseConnection() override
    {
        for (TGIIEPad *pad : std::as_const(m_pads))
            pad->CloseConnection();
        m_connection = nullptr;
    }

    int ConnGetDataRangeMinX() override
    {
        return m_connection ? m_connection->ConnGetDataRangeMinX() : 0;
    }
    int ConnGetDataRangeMaxX() override
    {
        return m_connection ? m_connection->ConnGetDataRangeMaxX() : 0;
    }
    int ConnGetDataRangeMinY() override
    {
        return m_connection ? m_connection->ConnGetDataRangeMinY() : 0;
    }
    int ConnGetDataRangeMaxY() override
    {
        return m_connection ? m_connection->ConnGetDataRangeMaxY() : 0;
    }

private:
    TGIIEPad *owner(const QString &classId)
    {
        for (TGIIEPad *pad : std::as_const(m_pads)) {
            const int count = pad->GetNumProviders();
            for (int i = 0; i < count; ++i) {
                if (pad->GetProviderClassID(i) == classId)
                    return pad;
            }
        }
        return nullptr;
    }

    QList<TGIIEPad *> m_pads;
    TGIIEPad *m_provider = nullptr;
    TGIIEPad *m_connection = nullptr;
};

TGIIEPad *createDefaultPad(QWidget *dialog, QWidget *drawingArea)
{
#ifdef Q_OS_WIN
    // The maker's pads first; a kiosk without its software is told so, as the driver is missing.
    TGIIEPad *maker = CreateMakerPad(dialog);
    return CombinePads({maker, new TScreenPad(drawingArea, nullptr)}, dialog);
#else
    return new TScreenPad(drawingArea, dialog);
#endif
}

PadFactory &factorySlot()
{
    static PadFactory factory;
    return factory;
}

} // namespace

TGIIEPad *CombinePads(const QList<TGIIEPad *> &pads, QObject *parent)
{
    return new TCombinedPad(pads, parent);
}

PadFactory SetPadFactory(PadFactory factory)
{
    PadFactory old = std::move(factorySlot());
    factorySlot() = std::move(factory);
    return old;
}

TGIIEPad *CreatePad(QWidget *dialog, QWidget *drawingArea)
{
    const PadFactory &factory = factorySlot();
    TGIIEPad *pad = factory ? factory(dialog, drawingArea) : createDefaultPad(dialog, drawingArea);
    if (!pad)
        throw std::runtime_error("Signaturplattans programvara svarar inte.");
    return pad;
}
