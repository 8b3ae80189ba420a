#include "questionnaire/bettfyspanel.h"

#include "questionnaire/answerbox.h"
#include "questionnaire/flowpanel.h"
#include "widgets/linebreaks.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextLayout>
#include <algorithm>

namespace {

constexpr int kCreatedWidth = 425;
constexpr int kCreatedHeight = 25;
constexpr int kBoxTop = 1;
constexpr int kBoxHeight = 21;
constexpr int kBevelWidth = 2;
constexpr int kBoxGap = 5;
constexpr int kLabelMargin = 50;
constexpr int kOwnerLabelMargin = 25;
constexpr int kAlignMargin = 3; // the platform's default margin on the label's other sides

// A point size the font can take, for fonts given in pixels too.
int pointSizeOf(const QFont &font)
{
    return font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
}

// Lines of `text` wrapped into `width`, broken as the free-text editor breaks them: at word
// boundaries, inside a word only when it is wider than the line.
int wrappedLines(const QString &text, const QFont &font, int width)
{
    const QStringList paragraphs = WithLineBreaks(text).split(QLatin1Char('\n'));
    if (width <= 0)
        return int(paragraphs.size());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    int count = 0;
    for (const QString &paragraph : paragraphs) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        int made = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            ++made;
        }
        layout.endLayout();
        count += std::max(1, made);
    }
    return count;
}

// The left box's change handler in free-text mode. A type of its own, so that the row can tell
// it from a handler someone else gave the box.
struct FreeTextChange
{
    TBettFysPanel *row;

    void operator()(TAnswerBox *) const
    {
        row->FitAnswerHeight();
        // The tint follows the answer; a height that did not change would not repaint the row.
        row->update();
        if (row->OnChange)
            row->OnChange(row);
    }
};

} // namespace

class TBettFysPanel::Private
{
public:
    QLabel *label = nullptr;
    QWidget *comboPanel = nullptr;
    QFrame *bevel = nullptr;
    TAnswerBox *left = nullptr;
    TAnswerBox *right = nullptr;
    int antalCombos = 2;
    bool collapsed = true;
    bool groupOwner = false;
    bool shallBeSaved = false;
    // The left box's own change handler, kept while the box is in free-text mode, that is
    // while the box's handler is the row's FreeTextChange.
    TAnswerBox::Handler orgOnChange;
};

TBettFysPanel::TBettFysPanel(QWidget *owner, int antalCombos)
    : QFrame(owner), d(std::make_unique<Private>())
{
    d->antalCombos = antalCombos == 2 ? 2 : 1;
    setFrameStyle(QFrame::NoFrame);
    resize(kCreatedWidth, kCreatedHeight);

    // The answer area and the label take their own presses: only the row's corner toggles.
    d->comboPanel = new QWidget(this);
    d->comboPanel->setObjectName(QStringLiteral("FComboPanel"));
    d->comboPanel->setAttribute(Qt::WA_NoMousePropagation);

    d->bevel = new QFrame(d->comboPanel);
    d->bevel->setObjectName(QStringLiteral("FBevel"));
    d->bevel->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    d->bevel->setLineWidth(1);
    d->bevel->setVisible(d->antalCombos == 2);

    d->label = new QLabel(this);
    d->label->setObjectName(QStringLiteral("FLabel"));
    d->label->setAttribute(Qt::WA_NoMousePropagation);
    d->label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A long question wraps rather than being cut off at the answer area.
    d->label->setWordWrap(true);
    QFont labelFont = font();
    labelFont.setBold(true);
    d->label->setFont(labelFont);
    // Black whatever the window's visual style makes of its text colour.
    QPalette labelColours = d->label->palette();
    labelColours.setColor(QPalette::WindowText, Qt::black);
    d->label->setPalette(labelColours);

    d->left = new TAnswerBox(d->comboPanel);
    d->left->setObjectName(QStringLiteral("FLeftComboBox"));
    d->right = new TAnswerBox(d->comboPanel);
    d->right->setObjectName(QStringLiteral("FRightComboBox"));
    d->right->setVisible(d->antalCombos == 2);
    for (TAnswerBox *box : {d->left, d->right}) {
        box->setGeometry(kBoxTop, kBoxTop, box->width(), kBoxHeight);
        box->SetAllowClearKey(true);
        box->SetDropDownWidth(0);
        box->OnChange = [this](TAnswerBox *) {
            update();
            if (OnChange)
                OnChange(this);
        };
        box->OnEnter = [this](TAnswerBox *changed) {
            if (BeforeEnter)
                BeforeEnter(changed);
        };
        box->OnExit = [this](TAnswerBox *changed) {
            if (AfterExit)
                AfterExit(changed);
        };
    }
    ReCalcWidth();

    // Controls of the platform are visible from creation on; a Qt child made inside a container
    // already on screen is not, until shown.
    if (owner && owner->isVisible())
        show();
}

TBettFysPanel::~TBettFysPanel()
{
    OnChange = nullptr;
    BeforeCollapse = nullptr;
    AfterCollapse = nullptr;
    BeforeEnter = nullptr;
    AfterExit = nullptr;
    d->orgOnChange = nullptr;
    // The boxes' handlers point at this row; the boxes go first.
    for (TAnswerBox *box : {d->left, d->right}) {
        box->OnChange = nullptr;
        box->OnEnter = nullptr;
        box->OnExit = nullptr;
        box->OnDropDown = nullptr;
    }
    delete d->left;
    delete d->right;
}

QString TBettFysPanel::Caption() const
{
    return d->label->text();
}

void TBettFysPanel::SetCaption(const QString &caption)
{
    if (d->label->text() != caption)
        d->label->setText(caption);
}

bool TBettFysPanel::Collapsed() const
{
    return d->collapsed;
}

void TBettFysPanel::SetCollapsed(bool collapsed)
{
    if (collapsed == d->collapsed)
        return;
    if (BeforeCollapse)
        BeforeCollapse(this);
    d->collapsed = collapsed;
    // The container places its rows once, after all of them are shown or hidden.
    auto *flow = qobject_cast<TFlowPanel *>(parentWidget());
    const bool autoSize = flow && flow->AutoSize();
    if (flow)
        flow->SetAutoSize(false);
    if (QWidget *container = parentWidget()) {
        for (QObject *child : container->children()) {
            auto *row = qobject_cast<TBettFysPanel *>(child);
            if (row && row != this)
                row->setVisible(!collapsed);
        }
    }
    update();
    if (flow && autoSize)
        flow->SetAutoSize(true);
    if (AfterCollapse)
        AfterCollapse(this);
}

bool TBettFysPanel::FontBold() const
{
    return font().bold();
}

void TBettFysPanel::SetFontStyles(bool bold)
{
    if (font().bold() == bold)
        return;
    QFont styled = font();
    styled.setBold(bold);
    setFont(styled);
}

bool TBettFysPanel::IsGroupOwner() const
{
    return d->groupOwner;
}

void TBettFysPanel::SetIsGroupOwner(bool owner)
{
    if (owner == d->groupOwner)
        return;
    d->groupOwner = owner;
    setFrameStyle(owner ? QFrame::Panel | QFrame::Raised : QFrame::NoFrame);
    setLineWidth(1);
    ReCalcWidth();
    update();
}

TAnswerBox *TBettFysPanel::LeftComboBox() const
{
    return d->left;
}

TAnswerBox *TBettFysPanel::RightComboBox() const
{
    return d->right;
}

void TBettFysPanel::ApplyLeftComboBoxMode()
{
    TAnswerBox *box = d->left;
    const bool fitting = box->OnChange.target<FreeTextChange>() != nullptr;
    if (box->ButtonVisible()) {
        // Back to a list: the kept handler returns, unless someone has replaced the fitting one
        // meanwhile.
        if (fitting)
            box->OnChange = d->orgOnChange;
        d->orgOnChange = nullptr;
        box->SetWordWrap(false);
        box->SetWantReturns(false);
        box->SetAutoSize(true);
        return;
    }
    // Applied again in free-text mode, the box's handler is already the fitting one: keeping
    // that would lose the box's own handler for good.
    if (!fitting)
        d->orgOnChange = box->OnChange;
    box->OnChange = FreeTextChange{this};
    box->SetWordWrap(true);
    box->SetWantReturns(true);
    box->SetAutoSize(false);
    FitAnswerHeight();
}

QFont TBettFysPanel::LabelFont() const
{
    return d->label->font();
}

void TBettFysPanel::SetLabelFont(const QFont &font)
{
    d->label->setFont(font);
    QFont boxFont = font;
    boxFont.setPointSize(std::max(1, pointSizeOf(font) - 2));
    boxFont.setBold(false);
    boxFont.setItalic(false);
    boxFont.setUnderline(false);
    boxFont.setStrikeOut(false);
    d->left->setFont(boxFont);
    d->right->setFont(boxFont);
}

void TBettFysPanel::SetFontSize(int pointSize)
{
    const int size = std::max(1, pointSize);
    for (QWidget *widget : {static_cast<QWidget *>(d->label), static_cast<QWidget *>(d->left),
                            static_cast<QWidget *>(d->right)}) {
        QFont sized = widget->font();
        sized.setPointSize(size);
        widget->setFont(sized);
    }
}

QLabel *TBettFysPanel::Label() const
{
    return d->label;
}

int TBettFysPanel::AnswerAreaLeft() const
{
    return d->comboPanel->x();
}

void TBettFysPanel::ReCalcWidth()
{
    const int rowWidth = width();
    const bool narrow =
        d->antalCombos == 2 || d->left->ButtonVisible() || !d->left->PictureMask().isEmpty();
    // A plain free-text answer gets half the row.
    const int areaWidth = narrow ? rowWidth / 4 : rowWidth / 2;

    const QRect client = contentsRect();
    d->comboPanel->setGeometry(client.right() - areaWidth + 1, client.top(), areaWidth,
                               client.height());
    const int bevelLeft = areaWidth / 2 - 1;
    d->bevel->setGeometry(bevelLeft, 0, kBevelWidth, d->comboPanel->height());

    const int leftWidth =
        d->antalCombos == 2 ? areaWidth / 2 - kBevelWidth - kBoxGap : areaWidth - 3;
    const int oldLeftWidth = d->left->width();
    if (oldLeftWidth != leftWidth)
        d->left->resize(leftWidth, d->left->height());
    const int rightWidth = areaWidth / 2 - kBevelWidth - kBoxGap;
    if (d->right->width() != rightWidth)
        d->right->resize(rightWidth, d->right->height());
    const int rightLeft = bevelLeft + kBevelWidth + kBoxGap;
    if (d->right->x() != rightLeft)
        d->right->move(rightLeft, d->right->y());

    const int labelLeft = client.left() + (d->groupOwner ? kOwnerLabelMargin : kLabelMargin);
    const int areaLeft = d->comboPanel->isHidden() ? client.right() + 1 : d->comboPanel->x();
    d->label->setGeometry(labelLeft, client.top() + kAlignMargin,
                          std::max(0, areaLeft - kAlignMargin - labelLeft),
                          std::max(0, client.height() - 2 * kAlignMargin));

    // A wrapped answer in a box of another width needs another height; no scrolling for that.
    if (oldLeftWidth != leftWidth && d->left->OnChange.target<FreeTextChange>())
        fitAnswerHeight(false);
}

void TBettFysPanel::FitAnswerHeight()
{
    fitAnswerHeight(true);
}

void TBettFysPanel::fitAnswerHeight(bool scroll)
{
    TAnswerBox *box = d->left;
    const int oldHeight = height();
    const QFont font = box->font();
    const int lineHeight = QFontMetrics(font).height();
    const int textWidth = box->ClientWidth() - lineHeight / 12 - 2;
    const int measured = wrappedLines(box->Text() + QLatin1Char('W'), font, textWidth) * lineHeight;
    const int boxHeight = (measured > lineHeight ? measured : lineHeight) + 12;
    if (box->height() != boxHeight)
        box->resize(box->width(), boxHeight);
    // A question that wraps keeps the height its lines need, or it would be cut off.
    const int labelHeight = d->label->heightForWidth(d->label->width());
    const int rowHeight = std::max(boxHeight + 4, labelHeight + 4);
    if (height() != rowHeight) {
        resize(width(), rowHeight);
        ReCalcWidth();
        // Hidden, the container hears nothing of the new height.
        if (auto *flow = qobject_cast<TFlowPanel *>(parentWidget()))
            flow->RequestRealign();
    }
    if (scroll && rowHeight > oldHeight)
        ScrollIntoView();
}

void TBettFysPanel::ScrollIntoView()
{
    QScrollArea *scrollBox = nullptr;
    for (QWidget *up = parentWidget(); up; up = up->parentWidget()) {
        scrollBox = qobject_cast<QScrollArea *>(up);
        if (scrollBox || up->isWindow())
            break;
    }
    QWidget *content = scrollBox ? scrollBox->widget() : nullptr;
    if (!content || !content->isAncestorOf(this))
        return;
    // The containers must have grown with the row before the scroll range can take it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const int bottom = mapTo(content, QPoint(0, height())).y();
    const int clientHeight = scrollBox->viewport()->height();
    QScrollBar *bar = scrollBox->verticalScrollBar();
    if (bottom >= clientHeight + bar->value())
        bar->setValue(bottom - clientHeight);
}

bool TBettFysPanel::ShallBeSaved() const
{
    return d->shallBeSaved;
}

void TBettFysPanel::SetShallBeSaved(bool save)
{
    d->shallBeSaved = save;
    bool anyBox = false;
    for (TAnswerBox *box : {d->left, d->right}) {
        const bool visible = !box->isHidden() && (save || !box->Text().isEmpty());
        box->setVisible(visible);
        anyBox = anyBox || visible;
    }
    d->comboPanel->setVisible(save || anyBox);
    ReCalcWidth();
    update();
}

bool TBettFysPanel::Answered() const
{
    for (const TAnswerBox *box : {d->left, d->right}) {
        if (box->isVisibleTo(this) && box->Text().trimmed().isEmpty())
            return false;
    }
    return true;
}

void TBettFysPanel::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    if (inner.isEmpty())
        return;

    QColor start;
    if (d->groupOwner) {
        if (!d->shallBeSaved)
            start = QColor(255, 255, 234);
        else
            start = Answered() ? QColor(218, 239, 239) : QColor(239, 219, 218);
    } else {
        if (!d->shallBeSaved)
            start = QColor(234, 234, 255);
        else
            start = Answered() ? QColor(234, 255, 255) : QColor(255, 235, 234);
    }
    QLinearGradient gradient(inner.left(), 0, inner.right() + 1, 0);
    gradient.setColorAt(0, start);
    gradient.setColorAt(1, palette().color(QPalette::Button));
    painter.fillRect(inner, gradient);

    if (!d->groupOwner)
        return;
    const QColor red(255, 0, 0);
    const auto dot = [&painter, &red](int x, int y) { painter.fillRect(x, y, 1, 1, red); };
    const int c = height() / 4;
    for (const int y : {c, c + 5}) {
        const int x = c;
        if (d->collapsed) { // pointing down: the group opens
            for (const int dx : {-1, 0, 4, 5})
                dot(x + dx, y);
            for (const int dx : {0, 1, 3, 4})
                dot(x + dx, y + 1);
            for (const int dx : {1, 2, 3})
                dot(x + dx, y + 2);
            dot(x + 2, y + 3);
        } else { // pointing up: the group closes
            dot(x + 2, y);
            for (const int dx : {1, 2, 3})
                dot(x + dx, y + 1);
            for (const int dx : {0, 1, 3, 4})
                dot(x + dx, y + 2);
            for (const int dx : {-1, 0, 4, 5})
                dot(x + dx, y + 3);
        }
    }
}

void TBettFysPanel::mousePressEvent(QMouseEvent *event)
{
    const int h = height();
    const QRect corner(QPoint(2, 2), QPoint(h - 4, h - 4) - QPoint(1, 1));
    if (event->button() == Qt::LeftButton && corner.contains(event->position().toPoint())) {
        SetCollapsed(!d->collapsed);
        event->accept();
        return;
    }
    QFrame::mousePressEvent(event);
}

void TBettFysPanel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    ReCalcWidth();
}
