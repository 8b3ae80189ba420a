#include "testrunner.h"
#include "widgets/maskededit.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QString twelveDigits = QStringLiteral("#[#][#][#][#][#][#][#]-[#,&][#,&][#][#,&]");

enum class Leave
{
    TabKey,
    Click,
    Hide,
    Disable,
    Delete
};

} // namespace

class TstMaskedEdit : public QObject
{
    Q_OBJECT

private slots:
    void typing_data();
    void typing();
    void leaving_data();
    void leaving();
    void twoRefusingEditsDoNotPassTheFocusBackAndForth();
    void comboBoxLineEdit();
};

void TstMaskedEdit::typing_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<bool>("autoFill");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("selectionStart"); // the caret when nothing is selected
    QTest::addColumn<int>("selectionLength");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caret");
    QTest::addColumn<int>("refusals");

    const auto s = [](const char *text) { return QString::fromLatin1(text); };
    const int noLimit = 32767;

    QTest::newRow("personal number: dash filled after eight digits")
        << twelveDigits << true << 15 << QString() << 0 << 0 << s("19121212") << s("19121212-") << 9
        << 0;
    QTest::newRow("personal number: ninth digit refused at the end")
        << twelveDigits << true << 15 << s("19121212") << 8 << 0 << s("9") << s("19121212") << 8
        << 1;
    QTest::newRow("personal number: lower-case letter upper-cased")
        << twelveDigits << true << 15 << QString() << 0 << 0 << s("19121212t123")
        << s("19121212-T123") << 13 << 0;
    QTest::newRow("personal number: blank typed for the dash")
        << twelveDigits << false << 15 << QString() << 0 << 0 << s("19121212 ") << s("19121212-")
        << 9 << 0;
    QTest::newRow("character inside the text left to the edit")
        << s("###-##") << true << noLimit << s("123-4") << 1 << 0 << s("9") << s("1923-4") << 2
        << 0;
    QTest::newRow("maximum length left to the edit")
        << s("*#") << true << 4 << s("1234") << 4 << 0 << s("5") << s("1234") << 4 << 0;
    QTest::newRow("filled literal that would pass the maximum length")
        << s("###-##") << true << 3 << QString() << 0 << 0 << s("123") << s("123") << 3 << 0;
    QTest::newRow("caret: whole text selected")
        << s("#####") << true << noLimit << s("1234") << 0 << 4 << s("5") << s("5") << 1 << 0;
    QTest::newRow("caret: nothing selected, advances by the growth")
        << s("*#") << true << noLimit << s("1234") << 2 << 0 << s("9") << s("12934") << 3 << 0;
    QTest::newRow("caret: growth includes the filled literal")
        << s("###-##") << true << noLimit << s("12") << 2 << 0 << s("3") << s("123-") << 4 << 0;
    QTest::newRow("caret: part selected, incomplete, stays")
        << s("#####") << true << noLimit << s("1234") << 1 << 2 << s("9") << s("194") << 1 << 0;
    QTest::newRow("caret: part selected, complete and longer, advances")
        << s("###-") << true << noLimit << s("124") << 2 << 1 << s("5") << s("125-") << 3 << 0;
    QTest::newRow("caret: part selected, complete, not longer, stays")
        << s("####") << true << noLimit << s("1234") << 2 << 1 << s("9") << s("1294") << 2 << 0;
    QTest::newRow("selection reaching the end refused")
        << s("####") << true << noLimit << s("1234") << 2 << 2 << s("a") << s("1234") << 4 << 1;
    QTest::newRow("malformed picture restricts nothing")
        << s("#[#") << true << noLimit << QString() << 0 << 0 << s("ab") << s("ab") << 2 << 0;
    QTest::newRow("no picture") << QString() << true << noLimit << QString() << 0 << 0 << s("ab")
                                << s("ab") << 2 << 0;
}

void TstMaskedEdit::typing()
{
    QFETCH(QString, picture);
    QFETCH(bool, autoFill);
    QFETCH(int, maxLength);
    QFETCH(QString, initial);
    QFETCH(int, selectionStart);
    QFETCH(int, selectionLength);
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(int, caret);
    QFETCH(int, refusals);

    QLineEdit edit;
    edit.setMaxLength(maxLength);
    auto *behaviour = new MaskedEditBehaviour(&edit);
    behaviour->setPictureMask(picture);
    behaviour->setAutoFill(autoFill);
    edit.setText(initial);
    if (selectionLength > 0)
        edit.setSelection(selectionStart, selectionLength);
    else
        edit.setCursorPosition(selectionStart);
    QSignalSpy refused(behaviour, &MaskedEditBehaviour::refused);

    QTest::keyClicks(&edit, keys);

    QCOMPARE(edit.text(), text);
    QCOMPARE(edit.cursorPosition(), caret);
    QCOMPARE(refused.count(), refusals);
    QCOMPARE(edit.isModified(), text != initial);
}

void TstMaskedEdit::leaving_data()
{
    QTest::addColumn<bool>("allowInvalidExit");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("typed"); // else set by the program
    QTest::addColumn<Leave>("leave");
    QTest::addColumn<bool>("kept");

    const QString incomplete = QStringLiteral("1912");
    QTest::newRow("incomplete entry, Tab") << false << incomplete << true << Leave::TabKey << true;
    QTest::newRow("incomplete entry, click elsewhere")
        << false << incomplete << true << Leave::Click << true;
    QTest::newRow("incomplete entry, invalid exit allowed")
        << true << incomplete << true << Leave::TabKey << false;
    QTest::newRow("complete entry")
        << false << QStringLiteral("19121212") << true << Leave::TabKey << false;
    QTest::newRow("incomplete entry set by the program")
        << false << incomplete << false << Leave::TabKey << false;
    QTest::newRow("incomplete entry, edit hidden")
        << false << incomplete << true << Leave::Hide << false;
    QTest::newRow("incomplete entry, edit disabled")
        << false << incomplete << true << Leave::Disable << false;
    QTest::newRow("incomplete entry, edit deleted")
        << false << incomplete << true << Leave::Delete << false;
}

void TstMaskedEdit::leaving()
{
    QFETCH(bool, allowInvalidExit);
    QFETCH(QString, entry);
    QFETCH(bool, typed);
    QFETCH(Leave, leave);
    QFETCH(bool, kept);

    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *masked = new TwwDBEdit(&window);
    masked->setMaxLength(15);
    masked->setPictureMask(twelveDigits);
    masked->setAllowInvalidExit(allowInvalidExit);
    auto *other = new QLineEdit(&window);
    layout->addWidget(masked);
    layout->addWidget(other);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    masked->setFocus();
    QVERIFY(masked->hasFocus());
    if (typed)
        QTest::keyClicks(masked, entry);
    else
        masked->setText(entry);
    QSignalSpy refused(masked->behaviour(), &MaskedEditBehaviour::refused);
    const QPointer<TwwDBEdit> alive(masked);

    switch (leave) {
    case Leave::TabKey:
        QTest::keyClick(masked, Qt::Key_Tab);
        break;
    case Leave::Click:
        QTest::mouseClick(other, Qt::LeftButton);
        break;
    case Leave::Hide:
        masked->hide();
        break;
    case Leave::Disable:
        masked->setEnabled(false);
        break;
    case Leave::Delete:
        delete masked;
        break;
    }

    if (kept) {
        QVERIFY(masked->hasFocus());
        QCOMPARE(masked->selectedText(), entry);
        QVERIFY(masked->isModified());
        QCOMPARE(refused.count(), 1);
    } else {
        QVERIFY(!alive || !alive->hasFocus());
        if (leave == Leave::TabKey || leave == Leave::Click)
            QVERIFY(other->hasFocus());
        QCOMPARE(refused.count(), 0);
    }
}

// Two edits that both hold an incomplete entry: taking the focus back from the second must not
// make the second take it back in turn.
void TstMaskedEdit::twoRefusingEditsDoNotPassTheFocusBackAndForth()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *first = new TwwDBEdit(&window);
    auto *second = new TwwDBEdit(&window);
    for (TwwDBEdit *edit : {first, second}) {
        edit->setPictureMask(twelveDigits);
        layout->addWidget(edit);
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    first->setFocus();
    QTest::keyClicks(first, QStringLiteral("1912"));
    QTest::keyClicks(second, QStringLiteral("1813")); // keys sent straight to it, unfocused
    QVERIFY(second->isModified());
    QSignalSpy firstRefused(first->behaviour(), &MaskedEditBehaviour::refused);
    QSignalSpy secondRefused(second->behaviour(), &MaskedEditBehaviour::refused);

    QTest::mouseClick(second, Qt::LeftButton);

    QVERIFY(first->hasFocus());
    QCOMPARE(firstRefused.count(), 1);
    QCOMPARE(secondRefused.count(), 0);
    QCOMPARE(second->text(), QStringLiteral("1813"));
}

// The answer box's case: the combo box holds the focus and gets the keys, not its line edit.
void TstMaskedEdit::comboBoxLineEdit()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *combo = new QComboBox(&window);
    combo->setEditable(true);
    auto *other = new QLineEdit(&window);
    layout->addWidget(combo);
    layout->addWidget(other);
    auto *behaviour = new MaskedEditBehaviour(combo->lineEdit());
    behaviour->setPictureMask(QStringLiteral("{Ja,Nej}"));
    behaviour->setAutoFill(false);
    QSignalSpy refused(behaviour, &MaskedEditBehaviour::refused);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    combo->setFocus();

    QTest::keyClicks(combo, QStringLiteral("jx"));
    QCOMPARE(combo->currentText(), QStringLiteral("J"));
    QCOMPARE(refused.count(), 1);

    QTest::keyClick(combo, Qt::Key_Tab);
    QVERIFY(combo->hasFocus());
    QCOMPARE(refused.count(), 2);

    QTest::keyClick(combo, Qt::Key_End); // the kept entry comes back selected
    QTest::keyClicks(combo, QStringLiteral("a"));
    QCOMPARE(combo->currentText(), QStringLiteral("Ja"));
    QTest::keyClick(combo, Qt::Key_Tab);
    QVERIFY(other->hasFocus());
    QCOMPARE(refused.count(), 2);
}

VN_REGISTER_TEST(TstMaskedEdit)
#include "tst_maskededit.moc"
