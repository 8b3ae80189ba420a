#include "dialogrecorder.h"

namespace {

class RecordingPresenter final : public DialogPresenter
{
public:
    explicit RecordingPresenter(DialogRecorder *recorder) : m_recorder(recorder) {}

    int showMessage(DialogKind kind, const QString &, const QString &text) override
    {
        m_recorder->shown.append({kind, text});
        if (kind != DialogKind::Question)
            return mrOk;
        return m_recorder->answers.isEmpty() ? mrNo : m_recorder->answers.takeFirst();
    }

    void showBalloonHint(const QString &title, const QString &text, QWidget *control) override
    {
        m_recorder->shown.append({DialogKind::Information, text, true, title, control});
    }

private:
    DialogRecorder *m_recorder;
};

} // namespace

DialogRecorder::DialogRecorder()
    : m_previous(SetDialogPresenter(std::make_unique<RecordingPresenter>(this)))
{}

DialogRecorder::~DialogRecorder()
{
    SetDialogPresenter(std::move(m_previous));
}
