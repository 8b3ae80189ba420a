#pragma once

#include "signature/padlayer.h"

#include <QList>
#include <QStringList>

// A pad that plays back pen reports given in advance, for tests: its providers, their devices
// and the data range are set by the test, and every call is recorded.
class TScriptedPad final : public TGIIEPad
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TScriptedPad)

public:
    struct Provider
    {
        QString classId;
        QString description;
        int devices = 1;
        bool opens = true; // false: OpenProvider fails for this one
    };
    struct Report
    {
        int x = 0;
        int y = 0;
        int z = 0;
        bool touch = false;
    };

    explicit TScriptedPad(QObject *parent = nullptr);
    ~TScriptedPad() override;

    QList<Provider> providers;
    int minX = 0, maxX = 10000, minY = 0, maxY = 10000;
    bool failOpenProvider = false; // every OpenProvider fails
    // OpenProvider succeeds this many more times, then fails; -1: no limit.
    int openProviderSuccesses = -1;
    QList<Report> reports;

    // The operations called, in order, with their arguments ("OpenConnection 1").
    QStringList calls;
    // The provider opened by the last successful OpenProvider and not yet closed.
    QString openProvider;
    // The device of the open connection; -1 while none is open.
    int openDevice = -1;

    // Sends the reports through OnPadData when a connection is open; true when it was.
    bool Replay();

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

private:
    const Provider *find(const QString &classId) const;
    quint32 m_sequence = 0;
};
