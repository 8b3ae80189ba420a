#include "app/tfrmhalsodekmain.h"

#include "toolkit/dialogs.h"
#include "widgets/appfileinformation.h"
#include "widgets/maskededit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int kAppBarHeight = 102;
constexpr int kMessagePanelWidth = 505;

QFont windowFont(int pixelSize)
{
    QFont font(QStringLiteral("Segoe UI"));
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

TfrmHalsoDekMain::TfrmHalsoDekMain(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmHalsoDekMain"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFont(windowFont(24));

    DCAppFileInformation1 = new TDCAppFileInformation(this);

    PageControl1 = new QStackedWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->addWidget(createIdentificationPage());
    PageControl1->addWidget(createQuestionnairePage());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(createAppBar());
    layout->addWidget(PageControl1, 1);

    PatchStandardDialogTexts();
}

QWidget *TfrmHalsoDekMain::createAppBar()
{
    auto *appBar = new QWidget(this);
    appBar->setObjectName(QStringLiteral("AppBar"));
    appBar->setFixedHeight(kAppBarHeight);
    auto *panel4 = new QWidget(appBar);
    panel4->setObjectName(QStringLiteral("Panel4"));
    panel4->setFixedWidth(kMessagePanelWidth);
    Label2 = new QLabel(QStringLiteral("Ange personnummer nedan och tryck Retur eller klicka på "
                                       "knappen med den gröna pilen"),
                        panel4);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setWordWrap(true);
    auto *panelLayout = new QVBoxLayout(panel4);
    panelLayout->addWidget(Label2);
    auto *barLayout = new QHBoxLayout(appBar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->addWidget(panel4);
    barLayout->addStretch(1);
    return appBar;
}

QWidget *TfrmHalsoDekMain::createIdentificationPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    oedit5 = new TwwDBEdit(page);
    oedit5->setObjectName(QStringLiteral("oedit5"));
    oedit5->setFont(windowFont(32));
    oedit5->setMaxLength(15);
    // Staff may leave an incomplete number; the search itself tells what is wrong.
    oedit5->setAllowInvalidExit(true);
    oedit5->setPlaceholderText(QStringLiteral("Ange ditt personnummer här"));
    oedit5->setToolTip(oedit5->placeholderText());

    Label3 = new QLabel(QStringLiteral("Hälsodeklaration"), page);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    Label4 = new QLabel(QStringLiteral("version: ") + DCAppFileInformation1->FProductVersion(), page);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setFont(windowFont(13));

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(oedit5);
    layout->addWidget(Label3, 1);
    layout->addWidget(Label4);
    return page;
}

QWidget *TfrmHalsoDekMain::createQuestionnairePage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    return page;
}
