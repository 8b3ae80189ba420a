#pragma once

#include "toolkit/dialogs.h"

#include <QList>
#include <QString>
#include <memory>

class QWidget;

// Takes the place of the dialogs while it lives: records every message and balloon hint, answers
// questions from a queue, and restores the previous presenter when it ends.
class DialogRecorder
{
public:
    struct Shown
    {
        DialogKind kind;
        QString text;
        bool hint = false; // a balloon hint (its kind is Information)
        QString hintTitle{};
        QWidget *hintControl = nullptr;
    };

    DialogRecorder();
    ~DialogRecorder();
    DialogRecorder(const DialogRecorder &) = delete;
    DialogRecorder &operator=(const DialogRecorder &) = delete;

    QList<Shown> shown;
    // Questions take these in turn; No when none is left.
    QList<int> answers;

private:
    std::unique_ptr<DialogPresenter> m_previous;
};
