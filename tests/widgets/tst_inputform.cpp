#include "testrunner.h"
#include "widgets/inputform.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>

namespace {

// Installs the hook for one test only, so that a failed test leaves none behind.
class ShownHook
{
public:
    explicit ShownHook(std::function<void(TInputForm &)> hook)
    {
        TInputForm::SetShownHook(std::move(hook));
    }
    ~ShownHook() { TInputForm::SetShownHook({}); }
    Q_DISABLE_COPY_MOVE(ShownHook)
};

enum class CloseWith
{
    Ok,
    Cancel,
    ReturnKey,
    EscapeKey
};

} // namespace

Q_DECLARE_METATYPE(CloseWith)

class TstInputForm : public QObject
{
    Q_OBJECT

private slots:
    void returnsTypedTextHowever_data();
    void returnsTypedTextHowever();
    void formShape_data();
    void formShape();
};

void TstInputForm::returnsTypedTextHowever_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<CloseWith>("closeWith");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("value");

    const QString none;
    QTest::newRow("cancel after typing") << none << QStringLiteral("hemligt") << CloseWith::Cancel
                                         << 10 << false << QStringLiteral("hemligt");
    QTest::newRow("escape after typing")
        << none << QStringLiteral("hemligt") << CloseWith::EscapeKey << 10 << false
        << QStringLiteral("hemligt");
    QTest::newRow("ok after typing") << none << QStringLiteral("Anna Åberg") << CloseWith::Ok << 40
                                     << true << QStringLiteral("Anna Åberg");
    QTest::newRow("return accepts") << none << QStringLiteral("1234") << CloseWith::ReturnKey << 10
                                    << true << QStringLiteral("1234");
    QTest::newRow("eleventh character refused")
        << none << QStringLiteral("12345678901") << CloseWith::Ok << 10 << true
        << QStringLiteral("1234567890");
    QTest::newRow("no limit for length 0")
        << none << QString(60, u'x') << CloseWith::Ok << 0 << true << QString(60, u'x');
    QTest::newRow("typing replaces the initial value")
        << QStringLiteral("gammalt") << QStringLiteral("nytt") << CloseWith::Ok << 40 << true
        << QStringLiteral("nytt");
    QTest::newRow("cancel without typing keeps the initial value")
        << QStringLiteral("gammalt") << QString() << CloseWith::Cancel << 40 << false
        << QStringLiteral("gammalt");
}

void TstInputForm::returnsTypedTextHowever()
{
    QFETCH(QString, initial);
    QFETCH(QString, typed);
    QFETCH(CloseWith, closeWith);
    QFETCH(int, maxLength);
    QFETCH(bool, result);
    QFETCH(QString, value);

    int shown = 0;
    const ShownHook hook([&](TInputForm &form) {
        ++shown;
        QLineEdit *edit = form.wwDBEdit1();
        QTest::keyClicks(edit, typed);
        switch (closeWith) {
        case CloseWith::Ok:
            QTest::mouseClick(form.BitBtn1(), Qt::LeftButton);
            break;
        case CloseWith::Cancel:
            QTest::mouseClick(form.BitBtn2(), Qt::LeftButton);
            break;
        case CloseWith::ReturnKey:
            QTest::keyClick(edit, Qt::Key_Return);
            break;
        case CloseWith::EscapeKey:
            QTest::keyClick(edit, Qt::Key_Escape);
            break;
        }
        if (form.isVisible()) // a failed close must not leave the test waiting
            form.reject();
    });

    QString text = initial;
    const bool accepted = ShowInputDialog(QStringLiteral("Avsluta"),
                                          QStringLiteral("Ange lösenord:"), text, u'*', maxLength);
    QCOMPARE(shown, 1);
    QCOMPARE(accepted, result);
    QCOMPARE(text, value);
}

void TstInputForm::formShape_data()
{
    QTest::addColumn<QChar>("passwordChar");
    QTest::addColumn<int>("echoMode");
    QTest::newRow("password") << QChar(u'*') << int(QLineEdit::Password);
    QTest::newRow("plain text") << QChar() << int(QLineEdit::Normal);
}

void TstInputForm::formShape()
{
    QFETCH(QChar, passwordChar);
    QFETCH(int, echoMode);

    struct Seen
    {
        QString title;
        QString prompt;
        QString ok;
        QString cancel;
        int echoMode = -1;
        int maskChar = 0;
        bool editFocused = false;
        bool namedChildren = false;
        bool fixedSize = false;
        QSize size;
        QRect edit;
        QRect groupBox;
        QRect panel;
        QPoint centre;
        QPoint screenCentre;
    } seen;

    const ShownHook hook([&](TInputForm &form) {
        QLineEdit *edit = form.wwDBEdit1();
        seen.title = form.windowTitle();
        seen.prompt = form.GroupBox1()->title();
        seen.ok = form.BitBtn1()->text();
        seen.cancel = form.BitBtn2()->text();
        seen.echoMode = edit->echoMode();
        seen.maskChar =
            edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit);
        seen.editFocused =
            QTest::qWaitFor([&] { return QApplication::focusWidget() == edit; }, 5000);
        seen.namedChildren =
            form.findChild<QGroupBox *>(QStringLiteral("GroupBox1")) == form.GroupBox1() &&
            form.GroupBox1()->findChild<QLineEdit *>(QStringLiteral("wwDBEdit1")) == edit &&
            form.findChild<QWidget *>(QStringLiteral("Panel1")) == form.Panel1() &&
            form.Panel1()->findChild<QPushButton *>(QStringLiteral("BitBtn1")) == form.BitBtn1() &&
            form.Panel1()->findChild<QPushButton *>(QStringLiteral("BitBtn2")) == form.BitBtn2();
        seen.fixedSize = form.minimumSize() == form.maximumSize();
        seen.size = form.size();
        seen.edit = edit->geometry();
        seen.groupBox = form.GroupBox1()->geometry();
        seen.panel = form.Panel1()->geometry();
        seen.centre = form.frameGeometry().center();
        seen.screenCentre = form.screen()->availableGeometry().center();
        form.reject();
    });

    QString text;
    ShowInputDialog(QStringLiteral("Ange namnförtydligande"), QStringLiteral("Namn:"), text,
                    passwordChar, 40);

    QCOMPARE(seen.title, QStringLiteral("Ange namnförtydligande"));
    QCOMPARE(seen.prompt, QStringLiteral("Namn:"));
    QCOMPARE(seen.ok, QStringLiteral("OK"));
    QCOMPARE(seen.cancel, QStringLiteral("Avbryt"));
    QCOMPARE(seen.echoMode, echoMode);
    if (!passwordChar.isNull())
        QCOMPARE(seen.maskChar, int(passwordChar.unicode()));
    QVERIFY(seen.editFocused);
    QVERIFY(seen.namedChildren);

    // At least the designed client area, never resizable, centred on the screen.
    QVERIFY(seen.fixedSize);
    QVERIFY2(seen.size.width() >= 271 && seen.size.height() >= 94,
             qPrintable(QStringLiteral("%1 x %2").arg(seen.size.width()).arg(seen.size.height())));
    QVERIFY((seen.centre - seen.screenCentre).manhattanLength() <= 2);

    // The panel across the bottom, the group box above it holding the whole edit.
    QVERIFY(seen.panel.height() >= 39);
    QCOMPARE(seen.panel.bottom(), seen.size.height() - 1);
    QCOMPARE(seen.panel.width(), seen.size.width());
    QVERIFY(seen.groupBox.bottom() < seen.panel.top());
    QVERIFY(QRect(QPoint(), seen.groupBox.size()).contains(seen.edit));
    QVERIFY(seen.edit.left() >= 16 && seen.edit.top() >= 16 && seen.edit.width() >= 233);
}

VN_REGISTER_TEST(TstInputForm)
#include "tst_inputform.moc"
