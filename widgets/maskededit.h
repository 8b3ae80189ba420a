#pragma once

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QFocusEvent;
class QKeyEvent;
class TwwPictureValidator;

// The masked-edit behaviour: typed characters go through the picture mask (normalised, with the
// literals that must follow filled in), and a changed entry that does not complete the picture
// keeps the focus unless invalid exits are allowed. Attaches to any QLineEdit, including the
// line edit of an editable QComboBox; attach it once the edit sits in its combo box, because the
// combo box, not the edit, receives the keys and the focus.
class MaskedEditBehaviour final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString PictureMask READ PictureMask WRITE setPictureMask)
    Q_PROPERTY(bool AutoFill READ AutoFill WRITE setAutoFill)
    Q_PROPERTY(bool AllowInvalidExit READ AllowInvalidExit WRITE setAllowInvalidExit)

public:
    // Becomes a child of `edit`.
    explicit MaskedEditBehaviour(QLineEdit *edit);
    ~MaskedEditBehaviour() override;
    Q_DISABLE_COPY_MOVE(MaskedEditBehaviour)

    QLineEdit *edit() const { return m_edit; }

    // Empty: no mask.
    QString PictureMask() const { return m_pictureMask; }
    void setPictureMask(const QString &picture);
    bool AutoFill() const { return m_autoFill; }
    void setAutoFill(bool on) { m_autoFill = on; }
    bool AllowInvalidExit() const { return m_allowInvalidExit; }
    void setAllowInvalidExit(bool on) { m_allowInvalidExit = on; }

Q_SIGNALS:
    // With the beep: a typed character was refused, or the focus was kept.
    void refused();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPress(QKeyEvent *event);
    bool focusOut(QFocusEvent *event);
    void refuse();

    QLineEdit *m_edit;
    QPointer<QWidget> m_focusHost; // the widget that takes the focus for the edit
    QString m_pictureMask;
    std::unique_ptr<TwwPictureValidator> m_validator;
    bool m_autoFill = true;
    bool m_allowInvalidExit = false;
};

// A line edit with the masked-edit behaviour built in.
class TwwDBEdit : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(QString PictureMask READ PictureMask WRITE setPictureMask)
    Q_PROPERTY(bool AutoFill READ AutoFill WRITE setAutoFill)
    Q_PROPERTY(bool AllowInvalidExit READ AllowInvalidExit WRITE setAllowInvalidExit)

public:
    explicit TwwDBEdit(QWidget *parent = nullptr);

    MaskedEditBehaviour *behaviour() const { return m_behaviour; }

    QString PictureMask() const { return m_behaviour->PictureMask(); }
    void setPictureMask(const QString &picture) { m_behaviour->setPictureMask(picture); }
    bool AutoFill() const { return m_behaviour->AutoFill(); }
    void setAutoFill(bool on) { m_behaviour->setAutoFill(on); }
    bool AllowInvalidExit() const { return m_behaviour->AllowInvalidExit(); }
    void setAllowInvalidExit(bool on) { m_behaviour->setAllowInvalidExit(on); }

private:
    MaskedEditBehaviour *m_behaviour;
};
