#pragma once

#include <QDialog>
#include <functional>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QShowEvent;

// Modal dialog that asks for one line of text, optionally masked as a password and limited in
// length: the exit password and the name clarification of the signing.
class TInputForm final : public QDialog
{
    Q_OBJECT

public:
    explicit TInputForm(QWidget *parent = nullptr);

    QGroupBox *GroupBox1() const { return m_groupBox; }
    QLineEdit *wwDBEdit1() const { return m_edit; }
    QWidget *Panel1() const { return m_panel; }
    QPushButton *BitBtn1() const { return m_ok; }
    QPushButton *BitBtn2() const { return m_cancel; }

    // Called with each dialog once it is shown and its modal loop runs, so that tests can drive
    // it; an empty function removes the hook.
    static void SetShownHook(std::function<void(TInputForm &)> hook);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QGroupBox *m_groupBox;
    QLineEdit *m_edit;
    QWidget *m_panel;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

// Asks for one line of text. `value` is the initial text and always receives the edit's text
// when the dialog closes; the result tells whether it closed with OK. A null passwordChar shows
// the text plainly; a maxLength of 0 or less sets no limit.
bool ShowInputDialog(const QString &caption, const QString &prompt, QString &value,
                     QChar passwordChar, int maxLength);
