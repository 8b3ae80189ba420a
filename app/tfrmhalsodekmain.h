#pragma once

#include <QWidget>

class QLabel;
class QStackedWidget;
class TDCAppFileInformation;
class TwwDBEdit;

// The kiosk's main window: a top bar with the message line and two pages without tabs, the
// identification page and the questionnaire page.
class TfrmHalsoDekMain final : public QWidget
{
    Q_OBJECT

public:
    explicit TfrmHalsoDekMain(QWidget *parent = nullptr);

    QLabel *Label2 = nullptr;
    QStackedWidget *PageControl1 = nullptr;
    TwwDBEdit *oedit5 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    TDCAppFileInformation *DCAppFileInformation1 = nullptr;

private:
    QWidget *createAppBar();
    QWidget *createIdentificationPage();
    QWidget *createQuestionnairePage();
};
