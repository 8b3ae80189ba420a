#pragma once

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QPointer>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;
class TGIIEPad;

// The modal dialog in which one person signs: the connected pads in a list, the chosen one
// opened, its pen strokes drawn into a white area, start over, pen settings, and OK only when
// something was drawn.
class TfrmePadSign final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmePadSign)

public:
    explicit TfrmePadSign(QWidget *parent = nullptr);
    ~TfrmePadSign() override;

    // The heading; the caller sets who is to sign.
    QLabel *StaticText1 = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QPushButton *BitBtn1 = nullptr;      // "Börja om"
    QPushButton *BitBtn2 = nullptr;      // OK
    QPushButton *BitBtn3 = nullptr;      // "Avbryt"
    QToolButton *SpeedButton1 = nullptr; // pen settings
    QWidget *picSignArea = nullptr;

    // The drawing area's bitmap (RGB, the area's size: 575 x 222).
    QImage SignArea() const;

    double g_xMin = 0, g_xMax = 0, g_yMin = 0, g_yMax = 0;
    bool FSomeDatareceived = false;
    bool fUpdating = false;
    bool g_fFirstTouch = false;
    QPointer<TGIIEPad> GIIEPad1;
    int pensize = 2;
    QColor pencolor;

    // The pad data handler; public so that tests can feed reports as the pad does.
    void PadData(int absX, int absY, int absZ, bool touch);
    void StartOver();
    void ComboBox1Change();
    // OK: refused with a hint while nothing is drawn.
    void BitBtn2Click();
    // The pen settings dialog; afterwards the drawing is cleared and the pads listed again.
    void SpeedButton1Click();

    // Where a pad position lands on the drawing area: the pad's range onto its middle 80 %.
    // Only meaningful while a pad with a non-empty range is open.
    QPoint PadToArea(int absX, int absY) const;

    // Closing with OK is refused while nothing is drawn; any close ends the pad's connection.
    void done(int result) override;

protected:
    bool event(QEvent *event) override;

private:
    void ListPads();

    class Private;
    std::unique_ptr<Private> d;
};
