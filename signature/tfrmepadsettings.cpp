#include "signature/tfrmepadsettings.h"

#include "widgets/prepareform.h"

#include <QColorDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// A filled circle, 25 x 25, in the colour the form keeps.
class ShapeCircle final : public QWidget
{
public:
    ShapeCircle(const QColor *color, QWidget *parent) : QWidget(parent), m_color(color)
    {
        setFixedSize(25, 25);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::black);
        painter.setBrush(*m_color);
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }

private:
    const QColor *m_color;
};

} // namespace

TfrmePadSettings::TfrmePadSettings(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmePadSettings"));
    setWindowTitle(QStringLiteral("Redigera signaturegenskaper"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSize(8);
    setFont(tahoma);
    m_color = QColor(0, 0, 250);

    GroupBox1 = new QGroupBox(QStringLiteral("Signaturens egenskaper"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label2 = new QLabel(QStringLiteral("Pennans färg:"), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Shape1 = new ShapeCircle(&m_color, GroupBox1);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Button1 = new QPushButton(QStringLiteral("Ändra..."), GroupBox1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setMinimumHeight(36);
    Button1->setAutoDefault(false);
    Label1 = new QLabel(QStringLiteral("Pennans tjocklek:"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    SpinEdit1 = new QSpinBox(GroupBox1);
    SpinEdit1->setObjectName(QStringLiteral("SpinEdit1"));
    SpinEdit1->setRange(1, 5);
    SpinEdit1->setMinimumHeight(36);
    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));

    auto *colourRow = new QHBoxLayout;
    colourRow->addWidget(Label2);
    colourRow->addWidget(Shape1);
    colourRow->addStretch();
    colourRow->addWidget(Button1);
    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(Label1);
    sizeRow->addStretch();
    sizeRow->addWidget(SpinEdit1);
    auto *groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->addLayout(colourRow);
    groupLayout->addLayout(sizeRow);
    groupLayout->addStretch();

    auto *bottom = new QWidget(this);
    bottom->setObjectName(QStringLiteral("Panel1"));
    BitBtn1 = new QPushButton(QStringLiteral("OK"), bottom);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Avbryt"), bottom);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    for (QPushButton *button : {BitBtn1, BitBtn2})
        button->setMinimumSize(100, 36);
    auto *buttons = new QHBoxLayout(bottom);
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1, 1);
    layout->addWidget(bottom);

    connect(Button1, &QPushButton::clicked, this, &TfrmePadSettings::Button1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    resize(314, 223);
    PrepareForm(this);
    setFixedSize(size());
}

TfrmePadSettings::~TfrmePadSettings() = default;

QColor TfrmePadSettings::ShapeColor() const
{
    return m_color;
}

void TfrmePadSettings::SetShapeColor(const QColor &color)
{
    m_color = color.toRgb();
    Shape1->update();
}

void TfrmePadSettings::Button1Click()
{
    ColorDialog1->setCurrentColor(m_color);
    if (ColorDialog1->exec() == QDialog::Accepted)
        SetShapeColor(ColorDialog1->selectedColor());
}
