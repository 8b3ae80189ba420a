#include "widgets/maskededit.h"

#include "widgets/picturevalidator.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <algorithm>

namespace {

// Set while a masked edit takes the focus back. Any other masked edit that loses the focus
// meanwhile lets it go: the focus is taken back inside the focus-out, so two edits that both
// hold an incomplete entry would otherwise take it from each other, recursing until the stack
// runs out.
bool reclaimingFocus = false;

bool isControl(const QString &typed)
{
    return std::any_of(typed.cbegin(), typed.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace

MaskedEditBehaviour::MaskedEditBehaviour(QLineEdit *edit) : QObject(edit), m_edit(edit)
{
    QWidget *host = edit;
    while (QWidget *proxy = host->focusProxy())
        host = proxy;
    m_focusHost = host;
    edit->installEventFilter(this);
    if (host != edit)
        host->installEventFilter(this);
}

MaskedEditBehaviour::~MaskedEditBehaviour() = default;

void MaskedEditBehaviour::setPictureMask(const QString &picture)
{
    if (picture == m_pictureMask)
        return;
    m_pictureMask = picture;
    if (picture.isEmpty())
        m_validator.reset();
    else
        m_validator = std::make_unique<TwwPictureValidator>(picture);
}

bool MaskedEditBehaviour::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit || (m_focusHost && watched == m_focusHost.data())) {
        if (event->type() == QEvent::KeyPress)
            return keyPress(static_cast<QKeyEvent *>(event));
        if (event->type() == QEvent::FocusOut)
            return focusOut(static_cast<QFocusEvent *>(event));
    }
    return QObject::eventFilter(watched, event);
}

void MaskedEditBehaviour::refuse()
{
    QApplication::beep();
    Q_EMIT refused();
}

bool MaskedEditBehaviour::keyPress(QKeyEvent *event)
{
    const QString typed = event->text();
    if (!m_validator || typed.isEmpty() || isControl(typed) || m_edit->isReadOnly())
        return false;

    const QString old = m_edit->text();
    const bool selection = m_edit->hasSelectedText();
    const qsizetype start = selection ? m_edit->selectionStart() : m_edit->cursorPosition();
    const qsizetype selected = selection ? m_edit->selectionLength() : 0;
    const QString proposed = old.left(start) + typed + old.mid(start + selected);
    if (proposed.size() > m_edit->maxLength())
        return false; // the edit's own handling refuses it

    QString text = proposed;
    PictureResult result = m_validator->Picture(text, m_autoFill);
    if (result == PictureResult::Error) {
        if (start + selected >= old.size()) {
            refuse();
            return true;
        }
        return false; // inside the text the edit takes it; leaving the edit checks the entry
    }
    if (result != PictureResult::Complete && result != PictureResult::Incomplete)
        return false; // a malformed picture restricts nothing

    if (text.size() > m_edit->maxLength()) {
        // The filled-in literals would be cut off by the edit; keep what was typed instead.
        text = proposed;
        result = m_validator->Picture(text, false);
    }
    const qsizetype growth = text.size() - old.size();
    qsizetype caret = start;
    if (selection && selected == old.size())
        caret = text.size();
    else if (!selection || (result == PictureResult::Complete && growth > 0))
        caret = start + growth;
    caret = std::clamp<qsizetype>(caret, 0, text.size());

    // Replacing through insert() keeps the edit's undo history and marks it modified, as typing
    // would; setText() would clear both.
    m_edit->selectAll();
    m_edit->insert(text);
    m_edit->setCursorPosition(int(caret));
    return true;
}

bool MaskedEditBehaviour::focusOut(QFocusEvent *event)
{
    // Only a move to another control of the same window leaves the edit; losing the window's
    // activation or opening a popup does not. An edit being destroyed clears the focus, and a
    // hidden or disabled one cannot take it back: neither holds on to it.
    switch (event->reason()) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        break;
    default:
        return false;
    }
    const QWidget *next = QApplication::focusWidget();
    QWidget *host = m_focusHost.data();
    if (reclaimingFocus || !next || !host || next->window() != host->window())
        return false;
    if (!host->isVisible() || !host->isEnabled())
        return false; // it could not take the focus back
    if (m_allowInvalidExit || !m_validator || !m_edit->isModified())
        return false;
    QString text = m_edit->text();
    if (text.isEmpty())
        return false;
    const PictureResult result = m_validator->Picture(text, false);
    if (result == PictureResult::Complete || result == PictureResult::Syntax)
        return false;

    {
        const QScopedValueRollback<bool> guard(reclaimingFocus, true);
        host->setFocus(Qt::OtherFocusReason);
    }
    if (!host->hasFocus())
        return false;
    m_edit->selectAll();
    m_edit->setModified(true);
    refuse();
    // The edit keeps the focus, so its own focus-out handling (deselecting, editingFinished)
    // must not run.
    return true;
}

TwwDBEdit::TwwDBEdit(QWidget *parent)
    : QLineEdit(parent), m_behaviour(new MaskedEditBehaviour(this))
{}
