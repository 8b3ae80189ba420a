#include "signature/tfrmepadsign.h"

#include "signature/padlayer.h"
#include "signature/pensettings.h"
#include "signature/tfrmepadsettings.h"
#include "toolkit/dialogs.h"
#include "toolkit/settings.h"
#include "widgets/prepareform.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QStylePainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>

namespace {

const QString kSection = QStringLiteral("ePad");
const QString kDefaultClassKey = QStringLiteral("BrevDefaultClass");
const QString kDefaultDeviceKey = QStringLiteral("BrevDefaultDeviceNr");
const QString kNoPads = QStringLiteral("Inga ePads funna!");

// The white area the strokes are drawn into; its picture is kept at the area's size.
class SignAreaWidget final : public QWidget
{
public:
    explicit SignAreaWidget(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        // Strokes follow the finger; the kiosk's gestures must not take them.
        setAttribute(Qt::WA_AcceptTouchEvents);
    }

    QImage &picture()
    {
        if (m_picture.size() != size()) {
            m_picture = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
            m_picture.fill(Qt::white);
        }
        return m_picture;
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawImage(0, 0, picture());
    }

private:
    QImage m_picture;
};

// The item of one device: what the signer sees first, then the class ID out of sight.
QString deviceItemText(const QString &description, int device, const QString &classId)
{
    return description + u':' + QString::number(device + 1) + QStringLiteral("\t\t\t\t\t\t") +
           u'\u00A4' + classId + u'\u00A4';
}

QString classIdOfItem(const QString &text)
{
    const QString opening = QStringLiteral("\t\u00A4");
    const qsizetype start = text.indexOf(opening);
    if (start < 0)
        return {};
    const qsizetype from = start + opening.size();
    const qsizetype end = text.indexOf(u'\u00A4', from);
    return end < 0 ? text.mid(from) : text.mid(from, end - from);
}

// What the signer sees of a pad item: the part before the tabs. A Windows list spreads the tabs
// so the class ID falls out of view; Qt draws them narrow, so the rest is left out here instead.
QString visiblePartOfItem(const QString &text)
{
    const qsizetype tab = text.indexOf(u'\t');
    return tab < 0 ? text : text.left(tab);
}

class PadItemDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = visiblePartOfItem(option->text);
    }
};

class PadChoiceBox final : public QComboBox
{
public:
    explicit PadChoiceBox(QWidget *parent) : QComboBox(parent)
    {
        setItemDelegate(new PadItemDelegate(this));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        option.currentText = visiblePartOfItem(option.currentText);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }
};

QIcon penSettingsIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath stroke(QPointF(3, 24));
    stroke.cubicTo(QPointF(9, 8), QPointF(14, 30), QPointF(19, 16));
    stroke.cubicTo(QPointF(22, 9), QPointF(26, 18), QPointF(29, 12));
    painter.setPen(QPen(QColor(0, 0, 250), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(stroke);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(QColor(250, 200, 0));
    painter.drawEllipse(QPointF(24, 26), 4, 4);
    return QIcon(pixmap);
}

} // namespace

class TfrmePadSign::Private
{
public:
    SignAreaWidget *area = nullptr;
    QLabel *label1 = nullptr;
    QPoint penPosition;
    // The pads are listed on the first activation and after the pen settings, not on the
    // activations that follow a message, so a message from the listing cannot come back.
    bool listPending = true;
};

TfrmePadSign::TfrmePadSign(QWidget *parent) : QDialog(parent), d(std::make_unique<Private>())
{
    setObjectName(QStringLiteral("frmePadSign"));
    setWindowTitle(QStringLiteral("Signera digital med ePad"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSize(8);
    setFont(tahoma);
    pencolor = PenColorFromSetting(QString());

    auto *panel1 = new QWidget(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFixedHeight(57);
    d->label1 = new QLabel(QStringLiteral("Välj ePad:"), panel1);
    d->label1->setObjectName(QStringLiteral("Label1"));
    ComboBox1 = new PadChoiceBox(panel1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setFixedSize(193, 30);
    StaticText1 = new QLabel(QStringLiteral("Ange Patientens signatur på ePaden"), panel1);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setAlignment(Qt::AlignCenter);
    StaticText1->setWordWrap(true);
    StaticText1->setFixedSize(209, 43);
    QFont heading(QStringLiteral("Tahoma"));
    heading.setPixelSize(16);
    heading.setBold(true);
    StaticText1->setFont(heading);
    BitBtn1 = new QPushButton(QStringLiteral("Börja om"), panel1);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setFixedSize(130, 45);

    auto *choice = new QVBoxLayout;
    choice->setSpacing(2);
    choice->addWidget(d->label1);
    choice->addWidget(ComboBox1);
    auto *top = new QHBoxLayout(panel1);
    top->setContentsMargins(8, 4, 8, 4);
    top->addLayout(choice);
    top->addStretch();
    top->addWidget(StaticText1);
    top->addStretch();
    top->addWidget(BitBtn1);

    d->area = new SignAreaWidget(this);
    d->area->setObjectName(QStringLiteral("picSignArea"));
    d->area->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    picSignArea = d->area;

    auto *panel2 = new QWidget(this);
    panel2->setObjectName(QStringLiteral("Panel2"));
    panel2->setFixedHeight(41);
    SpeedButton1 = new QToolButton(panel2);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(penSettingsIcon());
    SpeedButton1->setIconSize(QSize(28, 28));
    SpeedButton1->setFixedSize(37, 37);
    SpeedButton1->setToolTip(QStringLiteral("Redigera signaturegenskaper"));
    BitBtn2 = new QPushButton(QStringLiteral("OK"), panel2);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn3 = new QPushButton(QStringLiteral("Avbryt"), panel2);
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    for (QPushButton *button : {BitBtn1, BitBtn2, BitBtn3}) {
        // A finger on the kiosk's glass, not a mouse pointer; Return must not sign by accident.
        button->setAutoDefault(false);
        QFont font = button->font();
        font.setPointSize(11);
        button->setFont(font);
    }
    BitBtn2->setFixedSize(130, 37);
    BitBtn3->setFixedSize(130, 37);
    auto *bottom = new QHBoxLayout(panel2);
    bottom->setContentsMargins(8, 2, 8, 2);
    bottom->addWidget(SpeedButton1);
    bottom->addStretch();
    bottom->addWidget(BitBtn2);
    bottom->addWidget(BitBtn3);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panel1);
    layout->addWidget(picSignArea, 1);
    layout->addWidget(panel2);

    connect(BitBtn1, &QPushButton::clicked, this, &TfrmePadSign::StartOver);
    connect(BitBtn2, &QPushButton::clicked, this, &TfrmePadSign::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::reject);
    connect(SpeedButton1, &QToolButton::clicked, this, &TfrmePadSign::SpeedButton1Click);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TfrmePadSign::ComboBox1Change);

    resize(575, 320);
    PrepareForm(this);
    setFixedSize(size());
    layout->activate();
    fUpdating = false;
    FSomeDatareceived = false;
}

TfrmePadSign::~TfrmePadSign()
{
    if (GIIEPad1) {
        GIIEPad1->CloseProvider();
        GIIEPad1->CloseConnection();
    }
}

QImage TfrmePadSign::SignArea() const
{
    return d->area->picture().convertToFormat(QImage::Format_RGB888);
}

bool TfrmePadSign::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate) {
        pensize = ReadPenSize();
        pencolor = ReadPenColor();
        StartOver();
        if (d->listPending) {
            d->listPending = false;
            ListPads();
        }
    }
    return QDialog::event(event);
}

void TfrmePadSign::ListPads()
{
    if (GIIEPad1) {
        // Pen data of a replaced pad would draw beside the new one's.
        GIIEPad1->CloseProvider();
        GIIEPad1->CloseConnection();
        delete GIIEPad1.data();
    }
    g_xMin = g_xMax = g_yMin = g_yMax = 0;

    TGIIEPad *pad = nullptr;
    QString failure;
    try {
        pad = CreatePad(this, picSignArea);
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    } catch (...) {
        // Nothing of its own to add to the message.
    }
    if (!pad) {
        ShowError(
            Translate(QStringLiteral("Det gick inte att lista anslutna ePads!\r\rKontrollera att "
                                     "ePad-drivrutinerna är installerade och försök igen.")) +
            QStringLiteral("\r\r") + failure);
        GIIEPad1 = nullptr;
        // The items of an earlier listing belonged to the pad just released.
        ComboBox1->clear();
        BitBtn2->setEnabled(false);
        return;
    }
    GIIEPad1 = pad;
    connect(pad, &TGIIEPad::OnPadData, this,
            [this](int absX, int absY, int absZ, bool touch) { PadData(absX, absY, absZ, touch); });
    BitBtn2->setEnabled(true);
    fUpdating = true;

    ComboBox1->clear();
    ComboBox1->setEnabled(true);
    const QString defaultClass = ReadSettingDef(kSection, kDefaultClassKey, QString());
    const QString defaultDevice = ReadSettingDef(kSection, kDefaultDeviceKey, QString());
    int selected = -1;
    const int providers = pad->GetNumProviders();
    for (int provider = 0; provider < providers; ++provider) {
        const QString classId = pad->GetProviderClassID(provider);
        const QString description = pad->GetProviderDescription(classId);
        if (pad->OpenProvider(classId)) {
            const int devices = pad->GetNumDevices();
            for (int device = 0; device < devices; ++device) {
                ComboBox1->addItem(deviceItemText(description, device, classId), device);
                if (classId == defaultClass && QString::number(device) == defaultDevice)
                    selected = ComboBox1->count() - 1;
            }
        }
        pad->CloseProvider();
    }

    if (ComboBox1->count() > 0) {
        ComboBox1->setCurrentIndex(selected >= 0 ? selected : 0);
        fUpdating = false;
        ComboBox1Change();
    } else {
        ComboBox1->addItem(kNoPads);
        ComboBox1->setCurrentIndex(0);
        ComboBox1->setEnabled(false);
    }
    fUpdating = false;
}

void TfrmePadSign::ComboBox1Change()
{
    if (fUpdating || !GIIEPad1)
        return;
    TGIIEPad *pad = GIIEPad1.data();
    pad->CloseProvider();
    pad->CloseConnection();
    // The first pen-down report of the new pad starts a stroke instead of drawing a line from
    // wherever the last one ended.
    g_fFirstTouch = true;
    g_xMin = g_xMax = g_yMin = g_yMax = 0;

    const int index = ComboBox1->currentIndex();
    if (index < 0)
        return;
    const QString classId = classIdOfItem(ComboBox1->itemText(index));
    const int device = ComboBox1->itemData(index).toInt();
    if (pad->OpenProvider(classId)) {
        pad->OpenConnection(device);
        g_xMin = pad->ConnGetDataRangeMinX();
        g_xMax = pad->ConnGetDataRangeMaxX();
        g_yMin = pad->ConnGetDataRangeMinY();
        g_yMax = pad->ConnGetDataRangeMaxY();
        WriteSetting(kSection, kDefaultClassKey, classId);
        WriteSetting(kSection, kDefaultDeviceKey, QString::number(device));
    } else {
        ShowInfo(Translate(QStringLiteral("Det gick inte att öppna ")) + classId + u'!');
    }
}

QPoint TfrmePadSign::PadToArea(int absX, int absY) const
{
    const long double w = picSignArea->width();
    const long double h = picSignArea->height();
    const long double x = 0.1L * w + 0.8L * w * (absX - static_cast<long double>(g_xMin)) /
                                         (static_cast<long double>(g_xMax) - g_xMin);
    const long double y = 0.1L * h + 0.8L * h * (absY - static_cast<long double>(g_yMin)) /
                                         (static_cast<long double>(g_yMax) - g_yMin);
    // A report far outside the pad's range must not overflow the conversion; off the area is
    // off the area however far. Halves go to the even neighbour in the default rounding mode.
    const auto toArea = [](long double v, long double size) {
        return int(std::nearbyint(std::clamp(v, -size, 2 * size)));
    };
    return {toArea(x, w), toArea(y, h)};
}

void TfrmePadSign::PadData(int absX, int absY, int absZ, bool touch)
{
    if (g_xMax - g_xMin == 0 || g_yMax - g_yMin == 0)
        return;
    const QPoint point = PadToArea(absX, absY);
    if (!touch) {
        g_fFirstTouch = true;
        return;
    }
    if (g_fFirstTouch) {
        d->penPosition = point;
        g_fFirstTouch = false;
        return;
    }
    const int width = absZ >= 1 && absZ <= 5 ? absZ : pensize;
    {
        QPainter painter(&d->area->picture());
        painter.setPen(QPen(pencolor, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawLine(d->penPosition, point);
    }
    d->penPosition = point;
    FSomeDatareceived = true;
    picSignArea->update();
}

void TfrmePadSign::StartOver()
{
    d->area->picture().fill(Qt::white);
    FSomeDatareceived = false;
    picSignArea->update();
}

void TfrmePadSign::BitBtn2Click()
{
    if (!FSomeDatareceived) {
        ShowBalloonHint(QStringLiteral("Ingen signatur detekterad!\r\rFörsök igen."), BitBtn2);
        return;
    }
    accept();
}

void TfrmePadSign::done(int result)
{
    if (result == QDialog::Accepted && !FSomeDatareceived)
        return;
    if (GIIEPad1) {
        GIIEPad1->CloseProvider();
        GIIEPad1->CloseConnection();
    }
    // Shown again, the dialog opens its pad again.
    d->listPending = true;
    QDialog::done(result);
}

void TfrmePadSign::SpeedButton1Click()
{
    {
        TfrmePadSettings settings(this);
        settings.SpinEdit1->setValue(pensize);
        settings.SetShapeColor(pencolor);
        if (settings.exec() == QDialog::Accepted) {
            pensize = settings.SpinEdit1->value();
            pencolor = settings.ShapeColor();
            WritePenSettings(pensize, pencolor);
        }
    }
    // As on activation, without waiting for the window system to activate this dialog again:
    // every stroke of the signature must carry the pen colour in force, which the crop looks for.
    pensize = ReadPenSize();
    pencolor = ReadPenColor();
    StartOver();
    ListPads();
}
