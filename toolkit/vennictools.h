#pragma once

#include <QList>
#include <QPixmap>
#include <QString>
#include <QWidget>

class QTimer;

// The toolkit's hidden form: never shown, alive from StartToolkit to EndToolkit. It holds the
// timers of the external progress display and the hint balloon's images, and its window is the
// one that receives the system's power broadcasts.
class TfrmVennicTools final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmVennicTools)

public:
    explicit TfrmVennicTools(QWidget *parent = nullptr);
    ~TfrmVennicTools() override;

    // 2000 ms, one-shot: runs for two seconds after the progress application was started.
    QTimer *StartProgressAppTimer;
    QTimer *UpdateProgressAppTimer; // 500 ms
    // Three 32 x 32 images; the first is the information icon of the hint balloon.
    QList<QPixmap> ImageList1;
};

// The form while the toolkit runs, else nullptr.
TfrmVennicTools *frmVennicTools();

// Before the main window exists: creates the hidden form (owned by the toolkit, not by a
// window), registers the progress application's messages and starts listening for sleep and
// wake. A second call does nothing.
void StartToolkit();
// Stops the listening and the timers, frees the form and clears the user record.
void EndToolkit();

// The numbers of the external progress application's messages, registered by their names;
// 0 until StartToolkit has registered them.
struct TProgressAppMessages
{
    unsigned VN_SET_ACTIVE_CAPTION = 0;
    unsigned VN_SET_ACTIVE_TEMA = 0;
    unsigned VN_SET_ACTIVE_STATUS = 0;
    unsigned VN_SET_ACTIVE_HWND = 0;
    unsigned VN_INACTIVATE_PROGRESSAPP = 0;
    unsigned VN_HIDENOW_PROGRESSAPP = 0;
    unsigned VN_ACTIVATE_PROGRESSAPP = 0;
};
const TProgressAppMessages &ProgressAppMessages();

// The number of a registered message: the same for the same name (compared without regard to
// case) for the whole run, different for different names, in the range of registered
// messages (0xC000 to 0xFFFF).
unsigned RegisterMessageName(const QString &name);

enum TUserTypes
{
    utSystem,
    utOrdinary,
    utFTV,
    utSecurity,
    utEkonomi
};

// The signed-in user. The kiosk sets CurrentUserType and FullUsername at start-up; the
// self-update reads LoginUserName and LoginPassword when it restarts the program. The other
// fields belong to the suite's other programs.
struct TVennicUser
{
    QString currentUserTitel;
    double CurrentUserDate = 0; // days since 1899-12-30
    TUserTypes CurrentUserType = utSystem;
    qint32 currentUser = 0;
    QString currentUserName;
    QString currentUserPersonnr;
    QString LoginUserName;
    QString LoginPassword;
    QString Signeringskod;
    bool userTypeIsReadOnly = false;
    bool UserHasSignRights = false;
    QString FTVKlinik;
    qint32 CurrentKlinikNr = 0;
    QString CurrentKlinikname;
    QString CurrentKlinikOrgnr;
    bool UserhasDeleteDicomDirRights = false;
    bool UserhasDeletePresentation = false;
    bool UserhasDeleteProcessing = false;
    bool ReadOnlyDicomDir = false;
    bool WriteOnlyDicomDir = false;
    bool WriteOnlyPresentation = false;
    bool ReadOnlyPresentation = false;
    qint32 CurrentWorkplace = 0;
    bool SeparateSettings = false;
    bool AutoStartup = false;
    QString Domain;
    QString AdUserName;
    QString FullUsername;
};
TVennicUser &VennicUser();

// The computer's name, or in a remote session the client computer's. Never throws; when the
// remote session's client name cannot be had it shows the error and returns what it has,
// possibly an empty name.
QString GetWorkstationName();
