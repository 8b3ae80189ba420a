// The pad maker's ActiveX control behind the pad layer. Calls go through IDispatch by name, so
// no generated wrapper of the type library is needed; the event arrives through the generic
// signal with the arguments as the control sends them.
#include "signature/padlayer.h"

#include <QAxWidget>
#include <QPointer>
#include <QVariant>
#include <oleauto.h>
#include <stdexcept>
#include <windows.h>

namespace {

const QString kControlClassId = QStringLiteral("{30778FC6-EABA-43A7-BA39-6875A3B16057}");

// One argument of an event, converted the way the control declares it (integers, booleans).
qint64 integerArgument(const VARIANTARG &argument)
{
    VARIANT converted;
    VariantInit(&converted);
    qint64 value = 0;
    if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANTARG *>(&argument), 0, VT_I8)))
        value = converted.llVal;
    VariantClear(&converted);
    return value;
}

class TMakerPad final : public TGIIEPad
{
public:
    explicit TMakerPad(QWidget *dialog) : TGIIEPad(dialog), m_control(new QAxWidget(dialog))
    {
        m_control->setFixedSize(0, 0);
        if (!m_control->setControl(kControlClassId) || m_control->isNull()) {
            delete m_control.data();
            throw std::runtime_error("The ePad control {30778FC6-EABA-43A7-BA39-6875A3B16057} "
                                     "could not be created.");
        }
        connect(m_control.data(), &QAxWidget::signal, this,
                [this](const QString &name, int argc, void *argv) {
                    padEvent(name, argc, static_cast<VARIANTARG *>(argv));
                });
    }

    ~TMakerPad() override { delete m_control.data(); }

    int GetNumProviders() override { return call("GetNumProviders()").toInt(); }
    QString GetProviderClassID(int providerIndex) override
    {
        return call("GetProviderClassID(int)", {providerIndex}).toString();
    }
    QString GetProviderDescription(const QString &classId) override
    {
        return call("GetProviderDescription(QString&)", {classId}).toString();
    }
    bool OpenProvider(const QString &classId) override
    {
        return call("OpenProvider(QString&)", {classId}).toBool();
    }
    int GetNumDevices() override { return call("GetNumDevices()").toInt(); }
    void CloseProvider() override { call("CloseProvider()"); }
    bool OpenConnection(int deviceNumber) override
    {
        return call("OpenConnection(int)", {deviceNumber}).toBool();
    }
    void CloseConnection() override { call("CloseConnection()"); }
    int ConnGetDataRangeMinX() override { return call("ConnGetDataRangeMinX()").toInt(); }
    int ConnGetDataRangeMaxX() override { return call("ConnGetDataRangeMaxX()").toInt(); }
    int ConnGetDataRangeMinY() override { return call("ConnGetDataRangeMinY()").toInt(); }
    int ConnGetDataRangeMaxY() override { return call("ConnGetDataRangeMaxY()").toInt(); }

private:
    QVariant call(const char *function, QList<QVariant> arguments = {})
    {
        // The list form passes by-reference arguments as the control expects them.
        return m_control ? m_control->dynamicCall(function, arguments) : QVariant();
    }

    void padEvent(const QString &name, int argc, VARIANTARG *argv)
    {
        // OnPadData(sender, abs_x, abs_y, abs_z, fTouch, fTap, bmButtonState, dwTimeStamp,
        // dwSequenceNum); the array holds the arguments last first.
        if (!name.startsWith(QLatin1String("OnPadData")) || argc < 9 || !argv)
            return;
        const auto arg = [&](int index) { return integerArgument(argv[argc - 1 - index]); };
        Q_EMIT OnPadData(int(arg(1)), int(arg(2)), int(arg(3)), arg(4) != 0, arg(5) != 0,
                         int(arg(6)), quint32(arg(7)), quint32(arg(8)));
    }

    // Also a child of the dialog, which may destroy it first.
    QPointer<QAxWidget> m_control;
};

} // namespace

TGIIEPad *CreateMakerPad(QWidget *dialog)
{
    return new TMakerPad(dialog);
}
