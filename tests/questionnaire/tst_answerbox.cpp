#include "questionnaire/answerbox.h"
#include "testrunner.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A window with one answer box of three answers and another control to take the focus.
struct BoxWindow
{
    QWidget window;
    TAnswerBox *box;
    QLineEdit *other;
    int changes = 0;
    QStringList seen; // text and selection as OnChange saw them

    BoxWindow()
    {
        window.resize(400, 400);
        box = new TAnswerBox(&window);
        box->setGeometry(10, 10, 240, 40);
        other = new QLineEdit(&window);
        other->setGeometry(10, 340, 200, 30);
        box->AddItem(u"Ja"_s, 11);
        box->AddItem(u"Nej"_s, 12);
        box->AddItem(u"Vet ej"_s, 13);
        box->OnChange = [this](TAnswerBox *changed) {
            ++changes;
            seen << changed->Text() + u'|' + QString::number(changed->ItemIndex());
        };
    }

    bool show()
    {
        window.show();
        return QTest::qWaitForWindowActive(&window);
    }
    QLineEdit *entry() const { return box->findChild<QLineEdit *>(u"answerEdit"_s); }
    QPlainTextEdit *memo() const { return box->findChild<QPlainTextEdit *>(u"answerMemo"_s); }
    QToolButton *button() const { return box->findChild<QToolButton *>(u"answerButton"_s); }
    QListWidget *list() const { return box->findChild<QListWidget *>(u"answerList"_s); }
    QPoint itemCentre(int row) const { return list()->visualItemRect(list()->item(row)).center(); }
};

} // namespace

class TstAnswerBox : public QObject
{
    Q_OBJECT

private slots:
    void itemsCarryNumbers();
    void setTextSelectsTheEqualItem_data();
    void setTextSelectsTheEqualItem();
    void styles_data();
    void styles();
    void maskKeepsTheFocusOnAnIncompleteEntry_data();
    void maskKeepsTheFocusOnAnIncompleteEntry();
    void maxLength_data();
    void maxLength();
    void freeTextWrapsAndTakesReturns();
    void tapOpensTheListAndTapPicks();
    void touchTapOpensTheList();
    void keyboardOpensPicksAndCloses();
    void onChangeRunsOncePerChange();
    void clearKey_data();
    void clearKey();
    void freedWithItsListOpen();
    void headingFitsItsWidth();
    void restoredAnswerShowsFromItsStart();
};

void TstAnswerBox::itemsCarryNumbers()
{
    BoxWindow w;
    TAnswerBox *box = w.box;
    QCOMPARE(box->Count(), 3);
    QCOMPARE(box->ItemText(1), u"Nej"_s);
    QCOMPARE(box->ItemNumber(2), 13);
    QCOMPARE(box->ItemNumber(3), -1);
    QCOMPARE(box->ItemIndex(), -1);

    box->SetItemIndex(1);
    QCOMPARE(box->Text(), u"Nej"_s);
    QCOMPARE(box->ItemNumber(box->ItemIndex()), 12);
    QCOMPARE(w.entry()->text(), u"Nej"_s);

    // No item is no text, as on the platform's combo box; clearing the items empties the box.
    box->SetItemIndex(-1);
    QCOMPARE(box->Text(), QString());
    box->SetItemIndex(2);
    box->ClearItems();
    QCOMPARE(box->Count(), 0);
    QCOMPARE(box->ItemIndex(), -1);
    QCOMPARE(box->Text(), QString());
}

void TstAnswerBox::setTextSelectsTheEqualItem_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");

    QTest::newRow("equal text selects its item") << 0 << u"Nej"_s << 1;
    QTest::newRow("text of no item selects none") << 0 << u"Kanske"_s << -1;
    QTest::newRow("letter case counts") << 0 << u"nej"_s << -1;
    QTest::newRow("empty text selects none") << 0 << QString() << -1;
    // A saved answer that is no longer offered is still shown, also by a pick-only list.
    QTest::newRow("pick-only list keeps a text that is no item") << 2 << u"Kanske"_s << -1;
}

void TstAnswerBox::setTextSelectsTheEqualItem()
{
    QFETCH(int, style);
    QFETCH(QString, text);
    QFETCH(int, index);

    BoxWindow w;
    w.box->SetStyle(style);
    w.box->SetItemIndex(0);
    w.box->SetText(text);
    QCOMPARE(w.box->ItemIndex(), index);
    QCOMPARE(w.box->Text(), text);
    QCOMPARE(w.entry()->text(), text);
}

void TstAnswerBox::styles_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("showButton");
    QTest::addColumn<bool>("buttonShown");
    QTest::addColumn<bool>("typing");
    QTest::addColumn<bool>("entryTapOpens");

    QTest::newRow("drop-down with typing") << 0 << true << true << true << false;
    QTest::newRow("no drop-down button") << 1 << true << false << true << false;
    QTest::newRow("pick-only list") << 2 << true << true << false << true;
    QTest::newRow("drop-down with its button switched off") << 0 << false << false << true << false;
}

void TstAnswerBox::styles()
{
    QFETCH(int, style);
    QFETCH(bool, showButton);
    QFETCH(bool, buttonShown);
    QFETCH(bool, typing);
    QFETCH(bool, entryTapOpens);

    BoxWindow w;
    w.box->SetStyle(style);
    w.box->SetShowButton(showButton);
    QVERIFY(w.show());

    QCOMPARE(w.box->ButtonVisible(), buttonShown);
    QCOMPARE(w.button()->isVisible(), buttonShown);
    if (buttonShown) // wide enough for a finger, and the entry does not run under it
        QVERIFY(w.button()->width() >= 40);
    QVERIFY(w.entry()->geometry().right() < w.button()->geometry().left() || !buttonShown);

    w.box->setFocus();
    QTest::keyClicks(w.entry(), u"x"_s);
    QCOMPARE(w.box->Text(), typing ? u"x"_s : QString());

    QTest::mouseClick(w.entry(), Qt::LeftButton, {}, w.entry()->rect().center());
    QCOMPARE(w.box->IsDroppedDown(), entryTapOpens);
}

void TstAnswerBox::maskKeepsTheFocusOnAnIncompleteEntry_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("leaves");

    QTest::newRow("incomplete entry keeps the focus") << u"12"_s << u"12"_s << false;
    QTest::newRow("literal filled in, still incomplete") << u"123"_s << u"123-"_s << false;
    QTest::newRow("complete entry lets the focus go") << u"12345"_s << u"123-45"_s << true;
}

void TstAnswerBox::maskKeepsTheFocusOnAnIncompleteEntry()
{
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(bool, leaves);

    BoxWindow w;
    // Free-text settings do not make a masked entry multi-line.
    w.box->SetWordWrap(true);
    w.box->SetWantReturns(true);
    w.box->SetPictureMask(u"###-##"_s);
    int enters = 0;
    int exits = 0;
    w.box->OnEnter = [&enters](TAnswerBox *) { ++enters; };
    w.box->OnExit = [&exits](TAnswerBox *) { ++exits; };
    QVERIFY(w.show());
    QVERIFY(w.entry()->isVisible());
    QVERIFY(!w.memo() || !w.memo()->isVisible());

    w.box->setFocus();
    QTest::keyClicks(w.entry(), keys);
    QCOMPARE(w.box->Text(), text);
    QTest::mouseClick(w.other, Qt::LeftButton);

    QCOMPARE(w.other->hasFocus(), leaves);
    QCOMPARE(w.box->hasFocus(), !leaves);
    QCOMPARE(enters, 1);
    QCOMPARE(exits, leaves ? 1 : 0);
}

void TstAnswerBox::maxLength_data()
{
    QTest::addColumn<bool>("freeText");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("typed");  // typed key by key; "\n" is Return
    QTest::addColumn<QString>("pasted"); // then pasted at the caret
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("changes");

    const QString none;
    QTest::newRow("entry: typing stops at the limit")
        << false << none << 0 << u"abcdefg"_s << none << u"abcde"_s << 5;
    QTest::newRow("entry: a paste is cut at the limit")
        << false << none << 0 << none << u"abcdefg"_s << u"abcde"_s << 1;
    QTest::newRow("free text: typing stops at the limit")
        << true << none << 0 << u"abcdefg"_s << none << u"abcde"_s << 5;
    QTest::newRow("free text: a paste is cut at the limit")
        << true << none << 0 << none << u"abcdefg"_s << u"abcde"_s << 1;
    QTest::newRow("free text: a paste inside keeps the text after it")
        << true << u"abc"_s << 1 << none << u"XYZ"_s << u"aXYbc"_s << 1;
    QTest::newRow("free text: a line break counts as the two characters stored")
        << true << none << 0 << u"ab\ncdef"_s << none << u"ab\r\nc"_s << 4;
    QTest::newRow("free text: a paste beyond the limit changes nothing")
        << true << u"abcde"_s << 5 << none << u"f"_s << u"abcde"_s << 0;
}

void TstAnswerBox::maxLength()
{
    QFETCH(bool, freeText);
    QFETCH(QString, initial);
    QFETCH(int, caret);
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QString, text);
    QFETCH(int, changes);

    BoxWindow w;
    w.box->SetShowButton(!freeText);
    w.box->SetWordWrap(freeText);
    w.box->SetWantReturns(freeText);
    w.box->SetMaxLength(5);
    w.box->SetText(initial);
    QVERIFY(w.show());
    w.box->setFocus();
    w.changes = 0;

    QWidget *editor = freeText ? static_cast<QWidget *>(w.memo()) : w.entry();
    QVERIFY(editor->hasFocus());
    if (freeText) {
        QTextCursor cursor = w.memo()->textCursor();
        cursor.setPosition(caret);
        w.memo()->setTextCursor(cursor);
    } else {
        w.entry()->setCursorPosition(caret);
    }
    for (const QChar key : typed) {
        if (key == u'\n')
            QTest::keyClick(editor, Qt::Key_Return);
        else
            QTest::keyClicks(editor, QString(key));
    }
    if (!pasted.isEmpty()) {
        QApplication::clipboard()->setText(pasted);
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    }
    QCOMPARE(w.box->Text(), text);
    QCOMPARE(w.changes, changes);
}

void TstAnswerBox::freeTextWrapsAndTakesReturns()
{
    BoxWindow w;
    w.box->SetShowButton(false);
    w.box->SetWordWrap(true);
    w.box->SetWantReturns(true);
    w.box->SetAutoSize(false);
    w.box->resize(160, 120);
    QVERIFY(w.show());
    QVERIFY(w.memo()->isVisible());
    QVERIFY(!w.entry()->isVisible());
    QCOMPARE(w.box->ClientWidth(), w.memo()->viewport()->width() - 4);

    w.box->setFocus();
    QTest::keyClicks(w.memo(), u"rad ett"_s);
    QTest::keyClick(w.memo(), Qt::Key_Return);
    QTest::keyClicks(w.memo(), u"och en lång rad som inte får plats på bredden"_s);
    QCOMPARE(w.box->Text(), u"rad ett\r\noch en lång rad som inte får plats på bredden"_s);
    // The second paragraph wraps at the box's width.
    const QTextBlock second = w.memo()->document()->lastBlock();
    QVERIFY(second.layout()->lineCount() > 1);

    // Turning free text off shows the same answer on one line.
    w.box->SetWordWrap(false);
    w.box->SetWantReturns(false);
    QVERIFY(w.entry()->isVisible());
    QVERIFY(w.entry()->hasFocus());
    QCOMPARE(w.box->Text(), u"rad ett\r\noch en lång rad som inte får plats på bredden"_s);

    // Back in list mode the box takes the height of one line of its font again.
    w.box->SetAutoSize(true);
    QCOMPARE(w.box->height(), w.box->fontMetrics().height() + 8);
}

void TstAnswerBox::tapOpensTheListAndTapPicks()
{
    BoxWindow w;
    QWidget *listSeen = nullptr;
    w.box->OnDropDown = [&listSeen](TAnswerBox *, QWidget *list) { listSeen = list; };
    QVERIFY(w.show());

    QTest::mouseClick(w.button(), Qt::LeftButton);
    QVERIFY(w.box->IsDroppedDown());
    QListWidget *list = w.list();
    QVERIFY(list);
    QCOMPARE(listSeen, list);
    QVERIFY(list->window()->isVisible());
    QCOMPARE(list->count(), 3);
    // Rows for a finger, in the list's own colours, as wide as the box.
    QVERIFY(list->visualItemRect(list->item(0)).height() >= 40);
    QCOMPARE(list->palette().color(QPalette::Base), QColor(192, 192, 192));
    QCOMPARE(list->palette().color(QPalette::Text), QColor(0, 0, 128));
    QCOMPARE(list->window()->width(), w.box->width());
    const QImage shot = list->viewport()->grab().toImage();
    QCOMPARE(shot.pixelColor(shot.width() - 3, shot.height() - 2), QColor(192, 192, 192));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, w.itemCentre(1));
    QVERIFY(!w.box->IsDroppedDown());
    QCOMPARE(w.box->Text(), u"Nej"_s);
    QCOMPARE(w.box->ItemIndex(), 1);
    QCOMPARE(w.changes, 1);
    QTRY_VERIFY(w.entry()->hasFocus());

    // A tap on the button of an open list closes it, and it stays closed.
    QTest::mouseClick(w.button(), Qt::LeftButton);
    QVERIFY(w.box->IsDroppedDown());
    QCOMPARE(w.list()->currentRow(), 1);
    QTest::mouseClick(w.button(), Qt::LeftButton);
    QVERIFY(!w.box->IsDroppedDown());
    QCoreApplication::processEvents();
    QVERIFY(!w.box->IsDroppedDown());
    QCOMPARE(w.changes, 1);
}

void TstAnswerBox::touchTapOpensTheList()
{
    BoxWindow w;
    w.box->SetStyle(TAnswerBox::PickOnly);
    QVERIFY(w.show());
    // The test owns the device; it unregisters itself when deleted.
    const std::unique_ptr<QPointingDevice> device(QTest::createTouchDevice());
    QPointingDevice *screen = device.get();

    const QPoint onEntry = w.entry()->mapTo(&w.window, w.entry()->rect().center());
    QTest::touchEvent(&w.window, screen).press(0, onEntry, &w.window);
    QTest::touchEvent(&w.window, screen).release(0, onEntry, &w.window);
    QTRY_VERIFY(w.box->IsDroppedDown());

    QWidget *popup = w.list()->window();
    const QPoint onItem = w.list()->viewport()->mapTo(popup, w.itemCentre(2));
    QTest::touchEvent(popup, screen).press(0, onItem, popup);
    QTest::touchEvent(popup, screen).release(0, onItem, popup);
    QTRY_VERIFY(!w.box->IsDroppedDown());
    QCOMPARE(w.box->Text(), u"Vet ej"_s);
    QCOMPARE(w.box->ItemNumber(w.box->ItemIndex()), 13);
}

void TstAnswerBox::keyboardOpensPicksAndCloses()
{
    BoxWindow w;
    w.box->SetItemIndex(0);
    QVERIFY(w.show());
    w.box->setFocus();
    w.changes = 0;

    QTest::keyClick(w.entry(), Qt::Key_F4);
    QVERIFY(w.box->IsDroppedDown());
    QTest::keyClick(w.list(), Qt::Key_Down);
    QTest::keyClick(w.list(), Qt::Key_Return);
    QVERIFY(!w.box->IsDroppedDown());
    QCOMPARE(w.box->Text(), u"Nej"_s);
    QCOMPARE(w.changes, 1);

    QTRY_VERIFY(w.entry()->hasFocus());
    QTest::keyClick(w.entry(), Qt::Key_Down, Qt::AltModifier);
    QVERIFY(w.box->IsDroppedDown());
    QTest::keyClick(w.list(), Qt::Key_Down);
    QTest::keyClick(w.list(), Qt::Key_Escape);
    QVERIFY(!w.box->IsDroppedDown());
    QCOMPARE(w.box->Text(), u"Nej"_s);
    QCOMPARE(w.changes, 1);
}

void TstAnswerBox::onChangeRunsOncePerChange()
{
    BoxWindow w;
    QVERIFY(w.show());
    w.box->setFocus();
    QStringList expected;

    w.box->SetText(u"Ja"_s);
    w.box->SetText(u"Ja"_s);
    w.box->SetItemIndex(0);
    expected << u"Ja|0"_s;
    w.box->SetItemIndex(1);
    expected << u"Nej|1"_s;
    QTest::keyClick(w.entry(), Qt::Key_End);
    QTest::keyClicks(w.entry(), u"x"_s);
    expected << u"Nejx|-1"_s;
    QTest::keyClick(w.entry(), Qt::Key_Backspace);
    expected << u"Nej|1"_s;
    QCOMPARE(w.seen, expected);

    // The mask writes the normalised text with its literal in one go.
    w.box->SetText(QString());
    w.box->SetPictureMask(u"###-##"_s);
    w.seen.clear();
    QTest::keyClicks(w.entry(), u"123"_s);
    QCOMPARE(w.seen, (QStringList{u"1|-1"_s, u"12|-1"_s, u"123-|-1"_s}));

    // Free text: one change per key, and none when the mode changes.
    w.box->SetPictureMask(QString());
    w.box->SetShowButton(false);
    w.box->SetWordWrap(true);
    w.box->SetWantReturns(true);
    w.seen.clear();
    QTest::keyClick(w.memo(), Qt::Key_End);
    QTest::keyClicks(w.memo(), u"ab"_s);
    QTest::keyClick(w.memo(), Qt::Key_Return);
    QCOMPARE(w.seen, (QStringList{u"123-a|-1"_s, u"123-ab|-1"_s, u"123-ab\r\n|-1"_s}));

    w.box->ClearItems();
    QCOMPARE(w.seen.size(), 4);
    QCOMPARE(w.seen.last(), u"|-1"_s);
}

void TstAnswerBox::clearKey_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("allowClearKey");
    QTest::addColumn<int>("key"); // 0: a tap on the clear button
    QTest::addColumn<bool>("cleared");

    QTest::newRow("pick-only list: Delete empties") << 2 << true << int(Qt::Key_Delete) << true;
    QTest::newRow("pick-only list: Backspace empties")
        << 2 << true << int(Qt::Key_Backspace) << true;
    QTest::newRow("pick-only list: the clear button empties") << 2 << true << 0 << true;
    QTest::newRow("pick-only list without the clear key keeps its answer")
        << 2 << false << int(Qt::Key_Delete) << false;
    QTest::newRow("pick-only list without the clear key has no clear button")
        << 2 << false << 0 << false;
    QTest::newRow("typing box: Delete on the whole entry empties")
        << 0 << true << int(Qt::Key_Delete) << true;
    QTest::newRow("typing box: the clear button empties") << 0 << true << 0 << true;
}

void TstAnswerBox::clearKey()
{
    QFETCH(int, style);
    QFETCH(bool, allowClearKey);
    QFETCH(int, key);
    QFETCH(bool, cleared);

    BoxWindow w;
    w.box->SetStyle(style);
    w.box->SetAllowClearKey(allowClearKey);
    w.box->SetItemIndex(1);
    QVERIFY(w.show());
    w.box->setFocus();
    w.entry()->selectAll();
    w.changes = 0;

    QList<QToolButton *> clearButtons;
    for (QToolButton *button : w.entry()->findChildren<QToolButton *>()) {
        if (button->isVisible())
            clearButtons << button;
    }
    QCOMPARE(clearButtons.size(), allowClearKey ? 1 : 0);
    if (key != 0)
        QTest::keyClick(w.entry(), Qt::Key(key));
    else if (!clearButtons.isEmpty())
        QTest::mouseClick(clearButtons.first(), Qt::LeftButton);

    QCOMPARE(w.box->Text(), cleared ? QString() : u"Nej"_s);
    QCOMPARE(w.box->ItemIndex(), cleared ? -1 : 1);
    QCOMPARE(w.changes, cleared ? 1 : 0);
    QVERIFY(!w.box->IsDroppedDown());
    // Nothing left to clear, no clear button.
    const auto shownButtons = [&w] {
        const QList<QToolButton *> buttons = w.entry()->findChildren<QToolButton *>();
        return std::count_if(buttons.cbegin(), buttons.cend(),
                             [](const QToolButton *button) { return button->isVisible(); });
    };
    QTRY_COMPARE(shownButtons(), cleared ? 0 : clearButtons.size());
}

void TstAnswerBox::freedWithItsListOpen()
{
    BoxWindow w;
    int exits = 0;
    w.box->OnExit = [&exits](TAnswerBox *) { ++exits; };
    QVERIFY(w.show());
    QTest::mouseClick(w.button(), Qt::LeftButton);
    QVERIFY(w.box->IsDroppedDown());
    const QPointer<QWidget> popup = w.list()->window();

    delete w.box;
    QVERIFY(popup.isNull());
    QCOMPARE(w.changes, 0);
    QCOMPARE(exits, 0);
    QTest::mouseClick(w.other, Qt::LeftButton);
    QVERIFY(w.other->hasFocus());
}

void TstAnswerBox::headingFitsItsWidth()
{
    BoxWindow w;
    QFont large = w.box->font();
    large.setPixelSize(32);
    w.box->setFont(large);
    w.box->SetReadOnly(true);
    w.box->SetShowButton(false);
    w.box->SetFitTextToWidth(true);
    w.box->SetText(u"Kommentar"_s);
    QVERIFY(w.show());
    const auto fits = [&w] {
        const QLineEdit *entry = w.entry();
        return QFontMetrics(entry->font()).horizontalAdvance(entry->text()) <=
               entry->contentsRect().width() - 6;
    };

    w.box->resize(100, w.box->height());
    QVERIFY(fits());
    QVERIFY(w.entry()->font().pixelSize() < 32);
    QCOMPARE(w.entry()->cursorPosition(), 0);

    // Room again: the heading's own size comes back.
    w.box->resize(400, w.box->height());
    QCOMPARE(w.entry()->font().pixelSize(), 32);
    w.box->SetText(u"Kommentar till svaret, och lite till"_s);
    QVERIFY(fits());
}

void TstAnswerBox::restoredAnswerShowsFromItsStart()
{
    // As a row restores an answer and then gets its column's limit.
    BoxWindow w;
    w.box->resize(100, w.box->height());
    w.box->SetText(u"Knäoperation 2024, höger knä"_s);
    w.box->SetMaxLength(50);
    QVERIFY(w.show());
    QCOMPARE(w.entry()->cursorPosition(), 0);
}

VN_REGISTER_TEST(TstAnswerBox)
#include "tst_answerbox.moc"
