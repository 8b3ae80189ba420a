#include "toolkit/vennictools.h"

#include "platform/power.h"
#include "platform/workstation.h"
#include "toolkit/dialogs.h"
#include "toolkit/powerhandling.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QStyle>
#include <QTimer>

namespace {

constexpr int kStartProgressAppMs = 2000;
constexpr int kUpdateProgressAppMs = 500;
constexpr int kImageSize = 32;
constexpr unsigned kFirstRegisteredMessage = 0xC000;
constexpr unsigned kLastRegisteredMessage = 0xFFFF;

TfrmVennicTools *&toolkitForm()
{
    static TfrmVennicTools *form = nullptr;
    return form;
}

TProgressAppMessages &progressAppMessages()
{
    static TProgressAppMessages messages;
    return messages;
}

QTimer *disabledTimer(QObject *parent, const QString &name, int intervalMs)
{
    auto *timer = new QTimer(parent);
    timer->setObjectName(name);
    timer->setInterval(intervalMs);
    return timer;
}

QPixmap image(QStyle::StandardPixmap standard)
{
    const QIcon icon = QApplication::style()->standardIcon(standard);
    QPixmap pixmap = icon.pixmap(QSize(kImageSize, kImageSize), 1.0);
    if (pixmap.isNull()) {
        pixmap = QPixmap(kImageSize, kImageSize);
        pixmap.fill(Qt::transparent);
    } else if (pixmap.size() != QSize(kImageSize, kImageSize)) {
        pixmap =
            pixmap.scaled(kImageSize, kImageSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return pixmap;
}

} // namespace

TfrmVennicTools::TfrmVennicTools(QWidget *parent)
    : QWidget(parent, Qt::Dialog),
      StartProgressAppTimer(
          disabledTimer(this, QStringLiteral("StartProgressAppTimer"), kStartProgressAppMs)),
      UpdateProgressAppTimer(
          disabledTimer(this, QStringLiteral("UpdateProgressAppTimer"), kUpdateProgressAppMs)),
      ImageList1{image(QStyle::SP_MessageBoxInformation), image(QStyle::SP_MessageBoxWarning),
                 image(QStyle::SP_MessageBoxCritical)}
{
    setObjectName(QStringLiteral("frmVennicTools"));
    StartProgressAppTimer->setSingleShot(true);
}

TfrmVennicTools::~TfrmVennicTools()
{
    // From here on the toolkit no longer hands the form out, nor frees it a second time.
    if (toolkitForm() == this)
        toolkitForm() = nullptr;
}

TfrmVennicTools *frmVennicTools()
{
    return toolkitForm();
}

unsigned RegisterMessageName(const QString &name)
{
    static QHash<QString, unsigned> numbers;
    const QString key = name.toCaseFolded();
    const auto it = numbers.constFind(key);
    if (it != numbers.constEnd())
        return *it;
    const auto count = static_cast<unsigned>(numbers.size());
    // Windows refuses further registrations in the same way once the range is used up.
    if (count > kLastRegisteredMessage - kFirstRegisteredMessage)
        return 0;
    const unsigned number = kFirstRegisteredMessage + count;
    numbers.insert(key, number);
    return number;
}

const TProgressAppMessages &ProgressAppMessages()
{
    return progressAppMessages();
}

void StartToolkit()
{
    if (toolkitForm())
        return;
    // Owned by the toolkit for the whole run rather than by a window.
    toolkitForm() = new TfrmVennicTools;

    TProgressAppMessages &messages = progressAppMessages();
    messages.VN_SET_ACTIVE_CAPTION = RegisterMessageName(QStringLiteral("VN_SET_ACTIVE_CAPTION"));
    messages.VN_SET_ACTIVE_TEMA = RegisterMessageName(QStringLiteral("VN_SET_ACTIVE_TEMA"));
    messages.VN_SET_ACTIVE_STATUS = RegisterMessageName(QStringLiteral("VN_SET_ACTIVE_STATUS"));
    messages.VN_SET_ACTIVE_HWND = RegisterMessageName(QStringLiteral("VN_SET_ACTIVE_HWND"));
    messages.VN_INACTIVATE_PROGRESSAPP =
        RegisterMessageName(QStringLiteral("VN_INACTIVATE_PROGRESSAPP"));
    messages.VN_HIDENOW_PROGRESSAPP = RegisterMessageName(QStringLiteral("VN_HIDENOW_PROGRESSAPP"));
    messages.VN_ACTIVATE_PROGRESSAPP =
        RegisterMessageName(QStringLiteral("VN_ACTIVATE_PROGRESSAPP"));

    // The broadcast goes to top-level windows, hidden ones included; winId() gives the form
    // its native window without showing it.
    vn::platform::StartPowerNotifications(static_cast<quintptr>(toolkitForm()->winId()),
                                          {HandleSuspend, HandleResume});
}

void EndToolkit()
{
    vn::platform::StopPowerNotifications();
    if (TfrmVennicTools *form = toolkitForm()) {
        form->StartProgressAppTimer->stop();
        form->UpdateProgressAppTimer->stop();
        delete form;
    }
    VennicUser() = TVennicUser();
}

TVennicUser &VennicUser()
{
    static TVennicUser user;
    return user;
}

QString GetWorkstationName()
{
    const vn::platform::WorkstationName workstation = vn::platform::QueryWorkstationName();
    if (!workstation.failure.isEmpty())
        ShowError(QStringLiteral("Det gick inte att hämta datornamnet i fjärrsessionen!") +
                  QStringLiteral("\r\r") + workstation.failure);
    return workstation.name;
}
