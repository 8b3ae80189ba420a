#pragma once

#include <QString>

#include <functional>
#include <memory>

class QWidget;

// Message dialogs of the program. Every one first runs the before-dialog hook (which ends any
// progress display), then goes through the installed presenter.

enum class DialogKind { Information, Warning, Error, Question };

// Result codes of the dialogs, as callers compare them.
inline constexpr int mrOk = 1;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// Shows dialogs. Production shows the platform's standard message box; tests record the texts
// and give the answers.
class DialogPresenter
{
public:
    virtual ~DialogPresenter() = default;
    // Shows a message with the caption of its kind; returns mrOk, or mrYes / mrNo for a question.
    virtual int showMessage(DialogKind kind, const QString &caption, const QString &text) = 0;
    virtual void showBalloonHint(const QString &title, const QString &text, QWidget *control) = 0;
};

// Installs a presenter (nullptr restores the standard one); returns the one it replaces.
std::unique_ptr<DialogPresenter> SetDialogPresenter(std::unique_ptr<DialogPresenter> presenter);

// Registration point for what must happen before any dialog shows.
void SetBeforeDialogHook(std::function<void()> hook);

// The caption a dialog of this kind carries.
QString DialogCaption(DialogKind kind);

void ShowInfo(const QString &text);
void ShowError(const QString &text);
// A warning when the text held a row-conflict message (reworded into advice), else information.
void ShowNotice(const QString &text);
// mrYes only when the user chose Yes.
int AskYesNo(const QString &text);
void ShowBalloonHint(const QString &text, QWidget *control);

// Texts pass through here before they are shown; no catalogue exists, so unchanged.
QString Translate(const QString &text);

// The data-access layer's row-conflict message (English or Swedish) replaced by advice for the
// user. `reworded` tells whether a message was found.
QString RewordRowConflict(const QString &text, bool *reworded = nullptr);

// Gives every standard dialog, the toolkit's own included, Swedish captions and button texts.
void PatchStandardDialogTexts();
