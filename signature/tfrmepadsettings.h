#pragma once

#include <QColor>
#include <QDialog>

class QColorDialog;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The pen settings of the capture dialog: the pen colour (shown in a circle, changed through the
// colour dialog) and the thickness from 1 to 5. The opener reads them after OK.
class TfrmePadSettings final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TfrmePadSettings)

public:
    explicit TfrmePadSettings(QWidget *parent = nullptr);
    ~TfrmePadSettings() override;

    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label1 = nullptr;       // "Pennans tjocklek:"
    QLabel *Label2 = nullptr;       // "Pennans färg:"
    QWidget *Shape1 = nullptr;      // the circle in the pen colour
    QPushButton *Button1 = nullptr; // "Ändra..."
    QColorDialog *ColorDialog1 = nullptr;
    QSpinBox *SpinEdit1 = nullptr;
    QPushButton *BitBtn1 = nullptr; // OK
    QPushButton *BitBtn2 = nullptr; // "Avbryt"

    QColor ShapeColor() const;
    void SetShapeColor(const QColor &color);

    // Opens the colour dialog with the circle's colour; on OK the circle takes the chosen one.
    void Button1Click();

private:
    QColor m_color;
};
