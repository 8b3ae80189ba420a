#include "widgets/inputform.h"

#include "widgets/prepareform.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// The form was laid out for a font 13 pixels high (MS Sans Serif 8 at 96 dpi); a larger font,
// as on the touch kiosk, scales every measure by the same factor.
constexpr qreal kDesignLineHeight = 13;
constexpr int kClientWidth = 271;
constexpr int kClientHeight = 94;
constexpr int kPanelHeight = 39;
constexpr int kEditLeft = 16;
constexpr int kEditTop = 16;
constexpr int kEditWidth = 233;
constexpr int kEditBottomMargin = 16;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonSpacing = 8;

std::function<void(TInputForm &)> &shownHook()
{
    static std::function<void(TInputForm &)> hook;
    return hook;
}

} // namespace

TInputForm::TInputForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("InputForm"));
    const qreal scale = std::max<qreal>(1, fontMetrics().height() / kDesignLineHeight);
    const auto px = [scale](int design) { return qRound(design * scale); };

    m_groupBox = new QGroupBox(this);
    m_groupBox->setObjectName(QStringLiteral("GroupBox1"));
    m_edit = new QLineEdit(m_groupBox);
    m_edit->setObjectName(QStringLiteral("wwDBEdit1"));
    const int editHeight = std::max(px(21), m_edit->sizeHint().height());
    m_edit->setGeometry(px(kEditLeft), px(kEditTop), px(kEditWidth), editHeight);

    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("Panel1"));
    m_panel->setFixedHeight(px(kPanelHeight));
    m_ok = new QPushButton(QStringLiteral("OK"), m_panel);
    m_ok->setObjectName(QStringLiteral("BitBtn1"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Avbryt"), m_panel);
    m_cancel->setObjectName(QStringLiteral("BitBtn2"));
    for (QPushButton *button : {m_ok, m_cancel})
        button->setMinimumSize(px(kButtonWidth), px(kButtonHeight));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout(m_panel);
    buttons->setContentsMargins(px(kButtonSpacing), 0, px(kButtonSpacing), 0);
    buttons->setSpacing(px(kButtonSpacing));
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto *form = new QVBoxLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(0);
    form->addWidget(m_groupBox, 1);
    form->addWidget(m_panel);

    // The edit keeps its place in the group box; a taller edit than designed makes the form taller.
    const int height = std::max(px(kClientHeight), px(kPanelHeight) + px(kEditTop) + editHeight +
                                                       px(kEditBottomMargin));
    resize(px(kClientWidth), height);
    PrepareForm(this);
    setFixedSize(size());
}

void TInputForm::SetShownHook(std::function<void(TInputForm &)> hook)
{
    shownHook() = std::move(hook);
}

void TInputForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Here rather than on creation: the window frame, which centring must include, is known now.
    if (const QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    m_edit->setFocus(Qt::OtherFocusReason);
    m_edit->selectAll();
    // Queued: the modal loop must be running before a test may close the dialog.
    if (shownHook()) {
        QTimer::singleShot(0, this, [this] {
            if (const auto hook = shownHook())
                hook(*this);
        });
    }
}

bool ShowInputDialog(const QString &caption, const QString &prompt, QString &value,
                     QChar passwordChar, int maxLength)
{
    // Guarded: closing the parent while the dialog runs deletes the dialog with it.
    const QPointer<TInputForm> form = new TInputForm(QApplication::activeWindow());
    form->setWindowTitle(caption);
    form->GroupBox1()->setTitle(prompt);
    QLineEdit *edit = form->wwDBEdit1();
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    edit->setText(value);
    if (!passwordChar.isNull()) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setStyleSheet(
            QStringLiteral("lineedit-password-character: %1").arg(passwordChar.unicode()));
    }

    const bool accepted = form->exec() == QDialog::Accepted;
    if (!form)
        return false;
    value = form->wwDBEdit1()->text();
    delete form;
    return accepted;
}
