#include "app/tfrmhalsodekmain.h"

#include "app/buttonimages.h"
#include "app/personnummer.h"
#include "app/startuphooks.h"
#include "app/stylesettings.h"
#include "db/connectionsetup.h"
#include "db/openquery.h"
#include "db/vnadoquery.h"
#include "db/vnconnection.h"
#include "questionnaire/counters.h"
#include "questionnaire/journalqueries.h"
#include "questionnaire/questionnairepage.h"
#include "signature/richtextdocument.h"
#include "signature/signdeclaration.h"
#include "toolkit/cipherkeys.h"
#include "toolkit/dialogs.h"
#include "toolkit/pause.h"
#include "toolkit/textcipher.h"
#include "widgets/appfileinformation.h"
#include "widgets/inputform.h"
#include "widgets/maskededit.h"
#include "widgets/prepareform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedLayout>
#include <QStackedWidget>
#include <QStyleFactory>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

Q_LOGGING_CATEGORY(lcShell, "vn.app.shell", QtWarningMsg)

namespace {

const QString kFontFamily = QStringLiteral("Segoe UI");
constexpr int kAppBarHeight = 102;
constexpr int kMessagePanelWidth = 505;
constexpr int kButtonWidth = 64;
constexpr int kButtonPictureSize = 48;
constexpr int kPersonnummerPanelHeight = 63;
constexpr int kBottomStripHeight = 25;
constexpr int kMaxPersonnummerLength = 15;

const QString kPromptText = QStringLiteral(
    "Ange personnummer nedan och tryck Retur eller klicka på knappen med den gröna pilen");

std::chrono::milliseconds &searchPause()
{
    static std::chrono::milliseconds pause = TfrmHalsoDekMain::kSearchPause;
    return pause;
}

QFont windowFont(int pixelSize)
{
    // Kiosks without Segoe UI get a font of the same metrics where one is installed, so that
    // texts wrap as they do on the clinics' tablets.
    static const bool substituted = [] {
        QFont::insertSubstitutions(kFontFamily,
                                   {QStringLiteral("Selawik"), QStringLiteral("Open Sans"),
                                    QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    Q_UNUSED(substituted);
    QFont font(kFontFamily);
    font.setPixelSize(pixelSize);
    return font;
}

QToolButton *topBarButton(QWidget *parent, const QString &name, const QPixmap &picture)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFixedSize(kButtonWidth, kAppBarHeight);
    button->setIcon(QIcon(picture));
    button->setIconSize(QSize(kButtonPictureSize, kButtonPictureSize));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QWidget *panel(QWidget *parent, const QString &name)
{
    auto *widget = new QWidget(parent);
    widget->setObjectName(name);
    return widget;
}

// Back to the arrow cursor, however many waits are stacked.
void setDefaultCursor()
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

QString messageOf(const std::exception &error)
{
    return QString::fromUtf8(error.what());
}

void applyOnyxBlue(QWidget *window)
{
    QPalette palette = window->palette();
    const QColor onyx(0x22, 0x2b, 0x36);
    const QColor blue(0x2f, 0x6f, 0xc4);
    palette.setColor(QPalette::Window, onyx);
    palette.setColor(QPalette::WindowText, QColor(0xee, 0xf2, 0xf7));
    palette.setColor(QPalette::Button, onyx.lighter(130));
    palette.setColor(QPalette::ButtonText, QColor(0xee, 0xf2, 0xf7));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Highlight, blue);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    window->setPalette(palette);
}

} // namespace

void TfrmHalsoDekMain::SetSearchPause(std::chrono::milliseconds pause)
{
    searchPause() = pause;
}

std::chrono::milliseconds TfrmHalsoDekMain::SearchPause()
{
    return searchPause();
}

TfrmHalsoDekMain::TfrmHalsoDekMain(const QStringList &arguments, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmHalsoDekMain"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowState(Qt::WindowMaximized);
    setFont(windowFont(24));
    setAttribute(Qt::WA_AcceptTouchEvents);

    DCAppFileInformation1 = new TDCAppFileInformation(this);

    Database1 = new TVNConnection(this);
    Database1->setObjectName(QStringLiteral("Database1"));
    lopnrDatabase = new TVNConnection(this);
    lopnrDatabase->setObjectName(QStringLiteral("lopnrDatabase"));
    Queries = new JournalQueries(Database1, lopnrDatabase, this);
    RegisterPowerConnections(Database1, lopnrDatabase);

    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(kExitGestureWindow);
    connect(Timer3, &QTimer::timeout, this, &TfrmHalsoDekMain::Timer3Timer);

    buildAppBar();
    PageControl1 = new QStackedWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    buildIdentificationPage();
    buildQuestionnairePage();
    PageControl1->setCurrentIndex(0);

    QuestionnaireWidgets pageWidgets;
    pageWidgets.ScrollBoxBettfys = ScrollBoxBettfys;
    pageWidgets.Panel4 = Panel4;
    pageWidgets.Panel1 = Panel1;
    pageWidgets.Label1 = Label1;
    pageWidgets.Label2 = Label2;
    pageWidgets.SpeedButton2 = SpeedButton2;
    Questionnaire = new TQuestionnairePage(pageWidgets, Database1, Queries, this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(AppBar);
    layout->addWidget(PageControl1, 1);

    // Outside the visible area: it only carries the signature document.
    wwDBRichEdit1 = new TRichTextDocument(this);
    wwDBRichEdit1->setObjectName(QStringLiteral("wwDBRichEdit1"));
    wwDBRichEdit1->setReadOnly(true);
    wwDBRichEdit1->setFocusPolicy(Qt::NoFocus);
    wwDBRichEdit1->setFont(windowFont(24));
    wwDBRichEdit1->setDocumentTitle(QStringLiteral("Digital Signatur Patient"));
    wwDBRichEdit1->setGeometry(-10000, -10000, 400, 300);
    SetSignDeclaration(
        [this](const SignRequest &request, QByteArray *rtf) { return signDocument(request, rtf); });

    // The wheel reaches the control under the pointer first; the window decides before it does.
    qApp->installEventFilter(this);

    FormCreate(arguments);
}

TfrmHalsoDekMain::~TfrmHalsoDekMain()
{
    SetSignDeclaration({});
    qApp->removeEventFilter(this);
    SetCredentialCipher(nullptr);
    if (::SharedQuery() == SharedQuery)
        SetSharedQuery(nullptr);
}

void TfrmHalsoDekMain::buildAppBar()
{
    AppBar = panel(this, QStringLiteral("AppBar"));
    AppBar->setFixedHeight(kAppBarHeight);
    Panel4 = panel(AppBar, QStringLiteral("Panel4"));
    Panel4->setFixedWidth(kMessagePanelWidth);
    Label2 = new QLabel(kPromptText, Panel4);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setWordWrap(true);
    auto *panelLayout = new QVBoxLayout(Panel4);
    panelLayout->setContentsMargins(4, 0, 4, 0);
    panelLayout->addWidget(Label2);

    SpeedButton3 = topBarButton(AppBar, QStringLiteral("SpeedButton3"), GreenArrowPicture());
    SpeedButton2 = topBarButton(AppBar, QStringLiteral("SpeedButton2"), BlueDiskettePicture());
    SpeedButton2->hide();
    SpeedButton1 = topBarButton(AppBar, QStringLiteral("SpeedButton1"), RedCrossPicture());
    connect(SpeedButton3, &QToolButton::clicked, this, &TfrmHalsoDekMain::SpeedButton3Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TfrmHalsoDekMain::SpeedButton2Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmHalsoDekMain::SpeedButton1Click);

    auto *barLayout = new QHBoxLayout(AppBar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(0);
    barLayout->addWidget(Panel4);
    barLayout->addWidget(SpeedButton3);
    barLayout->addWidget(SpeedButton2);
    barLayout->addStretch(1);
    barLayout->addWidget(SpeedButton1);
}

void TfrmHalsoDekMain::buildIdentificationPage()
{
    TabSheet1 = panel(PageControl1, QStringLiteral("TabSheet1"));

    Panel2 = panel(TabSheet1, QStringLiteral("Panel2"));
    Panel2->setFixedHeight(kPersonnummerPanelHeight);
    oedit5 = new TwwDBEdit(Panel2);
    oedit5->setObjectName(QStringLiteral("oedit5"));
    oedit5->setFont(windowFont(32));
    oedit5->setMaxLength(kMaxPersonnummerLength);
    // The search tells the patient what is wrong with an incomplete number.
    oedit5->setAllowInvalidExit(true);
    oedit5->setPlaceholderText(QStringLiteral("Ange ditt personnummer här"));
    oedit5->setToolTip(oedit5->placeholderText());
    connect(oedit5, &QLineEdit::returnPressed, this, [this] { SpeedButton3->click(); });
    auto *editLayout = new QVBoxLayout(Panel2);
    editLayout->setContentsMargins(0, 0, 0, 0);
    editLayout->addWidget(oedit5);

    Panel3 = panel(TabSheet1, QStringLiteral("Panel3"));
    Label3 = new QLabel(QStringLiteral("Hälsodeklaration"), Panel3);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    Label4 = new QLabel(Panel3);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setFont(windowFont(13));
    auto *restLayout = new QVBoxLayout(Panel3);
    restLayout->addWidget(Label3, 1);
    restLayout->addWidget(Label4);

    dummybutton = new QPushButton(TabSheet1);
    dummybutton->setObjectName(QStringLiteral("dummybutton"));
    dummybutton->hide();

    auto *layout = new QVBoxLayout(TabSheet1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel2);
    layout->addWidget(Panel3, 1);
    PageControl1->addWidget(TabSheet1);
}

void TfrmHalsoDekMain::buildQuestionnairePage()
{
    TabSheet2 = panel(PageControl1, QStringLiteral("TabSheet2"));

    Panel5 = panel(TabSheet2, QStringLiteral("Panel5"));
    Panel5->setToolTip(QStringLiteral("Hälsodeklarationen laddas och fylls i här"));
    Label1 = new QLabel(Panel5);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    ScrollBoxBettfys = new QScrollArea(Panel5);
    ScrollBoxBettfys->setObjectName(QStringLiteral("ScrollBoxBettfys"));
    ScrollBoxBettfys->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBoxBettfys->setWidgetResizable(true);
    ScrollBoxBettfys->setWidget(new QWidget);
    ScrollBoxBettfys->verticalScrollBar()->setSingleStep(kWheelStep);
    Panel6 = panel(Panel5, QStringLiteral("Panel6"));
    Panel6->setFixedHeight(kBottomStripHeight);
    auto *questionnaireLayout = new QVBoxLayout(Panel5);
    questionnaireLayout->setContentsMargins(0, 0, 0, 0);
    questionnaireLayout->setSpacing(0);
    questionnaireLayout->addWidget(Label1);
    questionnaireLayout->addWidget(ScrollBoxBettfys, 1);
    questionnaireLayout->addWidget(Panel6);

    // Covers the questionnaire while it is built.
    Panel1 = new QLabel(QStringLiteral("Laddar hälsodeklarationsfrågorna"), TabSheet2);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setAutoFillBackground(true);

    auto *layout = new QStackedLayout(TabSheet2);
    layout->setStackingMode(QStackedLayout::StackAll);
    layout->addWidget(Panel1);
    layout->addWidget(Panel5);
    Panel5->raise();
    PageControl1->addWidget(TabSheet2);
}

void TfrmHalsoDekMain::FormCreate(const QStringList &arguments)
{
    closenow = false;
    try {
        ResolveStartupPaths(arguments);
    } catch (const std::exception &error) {
        // Without a start folder there is no installation and no settings to run on.
        ShowError(messageOf(error));
        closenow = true;
        return;
    }
    Questionnaire->FHalsoSignYear = -1;
    klickatpostang = 0;

    SharedQuery = new TVNAdoQuery(this);
    SharedQuery->setObjectName(QStringLiteral("SharedQuery"));
    SharedQuery->SetConnection(Database1);
    SetSharedQuery(SharedQuery);

    m_credentialCipher = std::make_unique<TextCipher>(CredentialKey());
    SetCredentialCipher(m_credentialCipher.get());

    // The settings' data-link file is the one the kiosk runs on.
    LoadDefaultDataProvider();

    applyVisualStyle(EnsureStyleSettings());

    Label4->setText(QStringLiteral("version: ") + DCAppFileInformation1->FProductVersion());

    PatchStandardDialogTexts();
    SetSignedInUser(QStringLiteral("Hälsodeklaration"));

    ReadOnlyQuery = new TVNAdoQuery(this);
    ReadOnlyQuery->setObjectName(QStringLiteral("ReadOnlyQuery"));
    ReadOnlyQuery->SetConnection(Database1);
    ReadOnlyQuery->SetLockType(LockType::ReadOnly);

    if (!ConnectAndBeginTransaction()) {
        closenow = true;
        return;
    }

    readPersonnummerPicture();

    QString running;
    if (CheckForNewExeFile(running) == kUpdateHandedOver) {
        HideProgress();
        m_startupExitCode = kExitCode;
        endProgram(kExitCode);
    }
}

void TfrmHalsoDekMain::applyVisualStyle(const QString &name)
{
    if (name.compare(kDefaultStyle, Qt::CaseInsensitive) == 0) {
        applyOnyxBlue(this);
        SetActiveVisualStyleName(kDefaultStyle);
        return;
    }
    for (const QString &key : QStyleFactory::keys()) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            QApplication::setStyle(key);
            SetActiveVisualStyleName(key);
            return;
        }
    }
    // An unknown style leaves the default look.
}

void TfrmHalsoDekMain::readPersonnummerPicture()
{
    const QString maskSetting =
        ReadDatabaseValue(QStringLiteral("PersonnummerMask"), kNoPersonnummerMask);
    const int formatCode =
        ReadCounterValue(*Queries->IniData, QStringLiteral("Personnummer"), QStringLiteral("Mask"));
    const QString picture = PersonnummerPicture(maskSetting, formatCode);
    oedit5->setPictureMask(picture);
    oedit5->setAllowInvalidExit(true);
    SetPersonnummerPictureInUse(picture);
}

bool TfrmHalsoDekMain::ConnectAndBeginTransaction()
{
    try {
        if (!Database1->Connected()) {
            if (!PrepareConnection(QString(), QString())) {
                setDefaultCursor();
                return false;
            }
            for (TVNConnection *connection : {Database1, lopnrDatabase}) {
                connection->Close();
                connection->Open(Toolkit().ConnectionString);
            }
        }
        if (Database1->InTransaction())
            Database1->RollbackTrans();
        Database1->BeginTrans();
        return true;
    } catch (const std::exception &error) {
        setDefaultCursor();
        HideProgress();
        ShowNotice(ConnectionFailureText(messageOf(error)));
        return false;
    }
}

bool TfrmHalsoDekMain::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(event);
}

void TfrmHalsoDekMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmHalsoDekMain::FormShow()
{
    if (!m_shownOnce) {
        m_shownOnce = true;
        createKeyboard();
    }
    oedit5->setFocus();
    if (!closenow && PageControl1->currentIndex() == 0)
        qCInfo(lcShell) << "identification page ready";
}

void TfrmHalsoDekMain::createKeyboard()
{
    // The on-screen keyboard window is created here, once, with the window's KeyboardBeforeShow
    // and KeyboardAfterHide callbacks that dock it across the bottom of the window and float it
    // again.
}

void TfrmHalsoDekMain::FormActivate()
{
    if (closenow && !m_closeAllowed)
        endProgram(0);
}

void TfrmHalsoDekMain::closeEvent(QCloseEvent *event)
{
    // A close request from outside (the window manager, Alt+F4) would silently drop a patient's
    // unsaved answers and leave the kiosk; staff leave through the exit gesture.
    if (!m_closeAllowed) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TfrmHalsoDekMain::FormClose()
{
    Timer3->stop();
    // Close never throws; the keyboard may already be gone.
    Database1->Close();
    lopnrDatabase->Close();
    if (Keyboard)
        Keyboard->deleteLater();
}

void TfrmHalsoDekMain::endProgram(int exitCode)
{
    m_closeAllowed = true;
    close();
    ExitProgram(exitCode);
}

bool TfrmHalsoDekMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget == this || isAncestorOf(widget))
            return FormMouseWheel(static_cast<QWheelEvent *>(event));
    }
    return QWidget::eventFilter(watched, event);
}

bool TfrmHalsoDekMain::FormMouseWheel(QWheelEvent *event)
{
    if (PageControl1->currentIndex() != 1)
        return false;
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return false;
    QScrollBar *bar = ScrollBoxBettfys->verticalScrollBar();
    bar->setValue(bar->value() + (delta < 0 ? bar->singleStep() : -bar->singleStep()));
    event->accept();
    return true;
}

void TfrmHalsoDekMain::SpeedButton1Click()
{
    if (Questionnaire->FModified) {
        if (AskYesNo(QStringLiteral("Vill du ångra inmatningen?")) != mrYes)
            return;
        Questionnaire->DiscardAnswers();
    }

    oedit5->clear();
    PageControl1->setCurrentIndex(0);
    Questionnaire->ClearPage();
    oedit5->setFocus();
    SpeedButton3->show();
    SpeedButton2->hide();
    Label2->setText(kPromptText + QLatin1Char('.'));

    // Exit gesture: Timer3 elapsing does not reset the count, so interrupted runs add up.
    if (!Timer3->isActive()) {
        Timer3->start();
        return;
    }
    ++klickatpostang;
    Timer3->start();
    if (klickatpostang < 3)
        return;
    klickatpostang = 0;
    QString password;
    if (ShowInputDialog(QStringLiteral("Avsluta Razevaruro"), QStringLiteral("Ange lösenord:"),
                        password, QLatin1Char('*'), 10) &&
        password == kExitPassword)
        endProgram(kExitCode);
}

void TfrmHalsoDekMain::Timer3Timer()
{
    Timer3->stop();
}

void TfrmHalsoDekMain::SpeedButton2Click()
{
    Questionnaire->SpeedButton2Click();
}

void TfrmHalsoDekMain::PageControl1Change()
{
    if (PageControl1->currentIndex() == 1)
        Questionnaire->PageControl1Change(standardhalsodeklaration);
}

void TfrmHalsoDekMain::selectPersonnummer()
{
    oedit5->setFocus();
    oedit5->selectAll();
}

bool TfrmHalsoDekMain::counterConnectionLost() const
{
    return !lopnrDatabase->Connected();
}

void TfrmHalsoDekMain::SpeedButton3Click()
{
    if (PageControl1->currentIndex() != 0)
        return;
    struct CursorReset
    {
        ~CursorReset() { setDefaultCursor(); }
    } cursorReset;

    QString text;
    for (int repeat = 0;; ++repeat) {
        text = oedit5->text();
        if (text.size() < kMinimumPersonnummerLength) {
            Label2->setText(QStringLiteral("Ange personnummer med 10 eller 12 tecken."));
            selectPersonnummer();
            return;
        }
        Label2->setText(QStringLiteral("Söker efter Personnummer, vänta..."));
        Label2->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        if (!QGuiApplication::overrideCursor())
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);

        text = NormalisePersonnummer(text, PersonnummerPictureInUse());
        if (!ConnectAndBeginTransaction())
            return;
        if (!counterConnectionLost())
            standardhalsodeklaration =
                ReadCounterValue(*Queries->IniData, QStringLiteral("HALSODEKLARATION"),
                                 QStringLiteral("STANDARDPP"));
        if (!counterConnectionLost())
            break;
        // The counter connection broke: reconnect both and start over, a bounded number of
        // times, so that a server that keeps dropping it cannot hold the kiosk in a loop.
        Database1->Close();
        lopnrDatabase->Close();
        if (repeat == kIdentificationRepeats) {
            setDefaultCursor();
            HideProgress();
            ShowNotice(ConnectionFailureText(QStringLiteral("Anslutningen till databasen bröts.")));
            return;
        }
    }

    if (standardhalsodeklaration == -1) {
        Label2->setText(QStringLiteral(
            "Ingen standardhälsodeklaration är vald! Kontakta personalen på kliniken."));
        return;
    }

    int found = 0;
    TVNAdoQuery *patients = Queries->QKUNDER;
    try {
        patients->Close();
        patients->ParamByName(QStringLiteral("personnr"))
            .SetAsString(QStringLiteral("%") + text + QStringLiteral("%"));
        patients->Open();
        found = patients->RecordCount();
    } catch (const std::exception &error) {
        setDefaultCursor();
        ShowError(messageOf(error));
        return;
    }
    WaitWithoutUserInput(SearchPause());

    if (found == 1) {
        Label2->setText(QStringLiteral(
            "Fyll i hälsodeklarationen och tryck på Spara (knappen med blåa disketten på)."));
        patients->First();
        Label1->setText(patients->FieldByName(QStringLiteral("F_RNAMN")).AsString() +
                        QLatin1Char(' ') +
                        patients->FieldByName(QStringLiteral("EFTERNAMN")).AsString());
        PageControl1->setCurrentIndex(1);
        SpeedButton3->hide();
        SpeedButton2->show();
        PageControl1Change();
    } else if (found > 1) {
        Label2->setText(QStringLiteral(
            "Flera patienter med valt personnummer! Kontakta personalen på kliniken."));
        selectPersonnummer();
    } else {
        Label2->setText(QStringLiteral("Ingen patient funnen med personnummer ") + text +
                        QStringLiteral("! Kontrollera att du skrivit rätt personnummer."));
        selectPersonnummer();
    }
}

bool TfrmHalsoDekMain::signDocument(const SignRequest &request, QByteArray *rtf)
{
    wwDBRichEdit1->setReadOnly(false);
    wwDBRichEdit1->SetText(request.placeholder);
    wwDBRichEdit1->StoreCompressed = true;
    const bool signedAll =
        SignDeclaration(*wwDBRichEdit1, request.patientName, request.btext, request.malsman2);
    if (signedAll && rtf)
        *rtf = wwDBRichEdit1->SaveRtf();
    wwDBRichEdit1->setReadOnly(true);
    return signedAll;
}
