#include "signature/scriptedpad.h"

TScriptedPad::TScriptedPad(QObject *parent) : TGIIEPad(parent) {}

TScriptedPad::~TScriptedPad() = default;

bool TScriptedPad::Replay()
{
    if (openDevice < 0)
        return false;
    for (const Report &report : std::as_const(reports)) {
        Q_EMIT OnPadData(report.x, report.y, report.z, report.touch, false, 0, m_sequence,
                         m_sequence);
        ++m_sequence;
    }
    return true;
}

const TScriptedPad::Provider *TScriptedPad::find(const QString &classId) const
{
    for (const Provider &provider : providers) {
        if (provider.classId == classId)
            return &provider;
    }
    return nullptr;
}

int TScriptedPad::GetNumProviders()
{
    calls.append(QStringLiteral("GetNumProviders"));
    return int(providers.size());
}

QString TScriptedPad::GetProviderClassID(int providerIndex)
{
    calls.append(QStringLiteral("GetProviderClassID %1").arg(providerIndex));
    return providerIndex >= 0 && providerIndex < providers.size()
               ? providers.at(providerIndex).classId
               : QString();
}

QString TScriptedPad::GetProviderDescription(const QString &classId)
{
    calls.append(QStringLiteral("GetProviderDescription ") + classId);
    const Provider *provider = find(classId);
    return provider ? provider->description : QString();
}

bool TScriptedPad::OpenProvider(const QString &classId)
{
    calls.append(QStringLiteral("OpenProvider ") + classId);
    const Provider *provider = find(classId);
    if (failOpenProvider || !provider || !provider->opens || openProviderSuccesses == 0)
        return false;
    if (openProviderSuccesses > 0)
        --openProviderSuccesses;
    openProvider = classId;
    return true;
}

int TScriptedPad::GetNumDevices()
{
    calls.append(QStringLiteral("GetNumDevices"));
    const Provider *provider = openProvider.isEmpty() ? nullptr : find(openProvider);
    return provider ? provider->devices : 0;
}

void TScriptedPad::CloseProvider()
{
    calls.append(QStringLiteral("CloseProvider"));
    openProvider.clear();
}

bool TScriptedPad::OpenConnection(int deviceNumber)
{
    calls.append(QStringLiteral("OpenConnection %1").arg(deviceNumber));
    const Provider *provider = openProvider.isEmpty() ? nullptr : find(openProvider);
    if (!provider || deviceNumber < 0 || deviceNumber >= provider->devices)
        return false;
    openDevice = deviceNumber;
    return true;
}

void TScriptedPad::CloseConnection()
{
    calls.append(QStringLiteral("CloseConnection"));
    openDevice = -1;
}

int TScriptedPad::ConnGetDataRangeMinX()
{
    return minX;
}

int TScriptedPad::ConnGetDataRangeMaxX()
{
    return maxX;
}

int TScriptedPad::ConnGetDataRangeMinY()
{
    return minY;
}

int TScriptedPad::ConnGetDataRangeMaxY()
{
    return maxY;
}
