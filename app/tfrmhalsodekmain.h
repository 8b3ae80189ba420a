#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <chrono>
#include <memory>

class JournalQueries;
class QLabel;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QTimer;
class QWheelEvent;
class QToolButton;
class TDCAppFileInformation;
class TQuestionnairePage;
class TRichTextDocument;
struct SignRequest;
class TextCipher;
class TVNAdoQuery;
class TVNConnection;
class TwwDBEdit;

// The kiosk's main window: a top bar with the message line and three large buttons, and two pages
// without tabs, the identification page and the questionnaire page. Its creation runs the
// program's start-up; it owns the two database connections and the journal queries.
class TfrmHalsoDekMain final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmHalsoDekMain)

public:
    // The pause after the patient search, so that the patient sees the search happen. Tests
    // shorten it; production never does.
    static constexpr std::chrono::milliseconds kSearchPause{2000};
    static void SetSearchPause(std::chrono::milliseconds pause);
    static std::chrono::milliseconds SearchPause();
    // The window in which taps on the close button count towards the exit gesture.
    static constexpr std::chrono::milliseconds kExitGestureWindow{500};
    // How often the identification repeats after losing the counter connection before it gives
    // up with the connection message.
    static constexpr int kIdentificationRepeats = 2;
    // The password of the exit gesture.
    static inline const QString kExitPassword = QStringLiteral("felmanta");
    // The exit code after the exit password and after the update hand-over.
    static constexpr int kExitCode = 1;
    // The program's number in the update protocol.
    static constexpr int kProductNumber = 21;
    // Scroll step of the questionnaire per wheel notch, in pixels.
    static constexpr int kWheelStep = 8;

    // `arguments` are the program's command-line arguments (the first one is the program).
    explicit TfrmHalsoDekMain(const QStringList &arguments, QWidget *parent = nullptr);
    ~TfrmHalsoDekMain() override;

    // Set when start-up could not connect: the window closes at its first activation.
    bool closenow = false;
    int klickatpostang = 0;
    int standardhalsodeklaration = -1;

    // The exit code start-up asked for (the update hand-over), or -1 while the program runs on.
    int StartupExitCode() const { return m_startupExitCode; }

    // Connects when not connected, then rolls back any open transaction on Database1 and begins a
    // fresh one. On failure shows the connection message and returns false.
    bool ConnectAndBeginTransaction();

    // Button handlers, public so that the tests can drive them as the buttons do.
    void SpeedButton1Click(); // close, and the exit gesture
    void SpeedButton2Click(); // save
    void SpeedButton3Click(); // search
    void PageControl1Change();
    void Timer3Timer();

    // Top bar
    QWidget *AppBar = nullptr;
    QWidget *Panel4 = nullptr;
    QLabel *Label2 = nullptr;
    QToolButton *SpeedButton3 = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    // Pages
    QStackedWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr;
    QWidget *Panel2 = nullptr;
    TwwDBEdit *oedit5 = nullptr;
    QWidget *Panel3 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *dummybutton = nullptr;
    QWidget *TabSheet2 = nullptr;
    QWidget *Panel5 = nullptr;
    QLabel *Label1 = nullptr;
    QScrollArea *ScrollBoxBettfys = nullptr;
    QWidget *Panel6 = nullptr;
    QLabel *Panel1 = nullptr;
    // The signature document's control sits outside the visible area; the questionnaire's
    // saving fills it.
    TRichTextDocument *wwDBRichEdit1 = nullptr;
    // Data
    TVNConnection *Database1 = nullptr;
    TVNConnection *lopnrDatabase = nullptr;
    JournalQueries *Queries = nullptr;
    // The questionnaire page's building, change tracking (FModified) and saving.
    TQuestionnairePage *Questionnaire = nullptr;
    TVNAdoQuery *SharedQuery = nullptr;
    TVNAdoQuery *ReadOnlyQuery = nullptr;
    QTimer *Timer3 = nullptr;
    TDCAppFileInformation *DCAppFileInformation1 = nullptr;
    // The on-screen keyboard window, created once when the window first shows.
    QPointer<QWidget> Keyboard;

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildAppBar();
    void buildIdentificationPage();
    void buildQuestionnairePage();
    void FormCreate(const QStringList &arguments);
    void FormShow();
    void FormActivate();
    void FormClose();
    void applyVisualStyle(const QString &name);
    void readPersonnummerPicture();
    void createKeyboard();
    bool FormMouseWheel(QWheelEvent *event);
    void selectPersonnummer();
    bool counterConnectionLost() const;
    // Ends the program on purpose: the only way a close request is let through.
    void endProgram(int exitCode);
    // Signs the declaration's document on the signature pad; its RTF in `rtf` when signed.
    bool signDocument(const SignRequest &request, QByteArray *rtf);

    std::unique_ptr<TextCipher> m_credentialCipher;
    bool m_closeAllowed = false;
    bool m_shownOnce = false;
    int m_startupExitCode = -1;
};
