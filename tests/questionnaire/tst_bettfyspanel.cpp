#include "questionnaire/answerbox.h"
#include "questionnaire/bettfyspanel.h"
#include "questionnaire/flowpanel.h"
#include "testrunner.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace Qt::StringLiterals;

namespace {

QWidget *answerArea(const TBettFysPanel &row)
{
    return row.LeftComboBox()->parentWidget();
}

QWidget *bevel(const TBettFysPanel &row)
{
    return answerArea(row)->findChild<QWidget *>(u"FBevel"_s);
}

// Near enough: the gradient starts at the state colour within rounding.
bool sameColour(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) <= 1 && std::abs(a.green() - b.green()) <= 1 &&
           std::abs(a.blue() - b.blue()) <= 1;
}

QString describe(const QColor &colour)
{
    return u"(%1, %2, %3)"_s.arg(colour.red()).arg(colour.green()).arg(colour.blue());
}

using Pixels = QList<QPoint>;

// The chevron with its reference point at (x, y).
Pixels chevron(int x, int y, bool down)
{
    const QList<QList<int>> rows =
        down ? QList<QList<int>>{{-1, 0, 4, 5}, {0, 1, 3, 4}, {1, 2, 3}, {2}}
             : QList<QList<int>>{{2}, {1, 2, 3}, {0, 1, 3, 4}, {-1, 0, 4, 5}};
    Pixels pixels;
    for (int dy = 0; dy < rows.size(); ++dy) {
        for (const int dx : rows.at(dy))
            pixels << QPoint(x + dx, y + dy);
    }
    return pixels;
}

class EventCounter : public QObject
{
public:
    EventCounter(QObject *watched, QEvent::Type type) : QObject(watched), m_type(type)
    {
        watched->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type)
            ++count;
        return false;
    }

private:
    QEvent::Type m_type;
};

} // namespace

class TstBettFysPanel : public QObject
{
    Q_OBJECT

private slots:
    void creationGeometry_data();
    void creationGeometry();
    void stateColour_data();
    void stateColour();
    void chevrons_data();
    void chevrons();
    void collapseShowsAndHidesTheGroup();
    void freeTextGrowsAndScrollsIntoView();
    void notSavedRowShowsOnlyHeadingBoxes_data();
    void notSavedRowShowsOnlyHeadingBoxes();
    void fonts();
    void boxEventsReachTheRow();
};

void TstBettFysPanel::creationGeometry_data()
{
    QTest::addColumn<int>("antalCombos");
    QTest::addColumn<bool>("owner");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("listBox"); // the left box shows its drop-down button
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRect>("bevelRect");
    QTest::addColumn<QRect>("left");
    QTest::addColumn<QRect>("right");
    QTest::addColumn<bool>("twoShown"); // right box and bevel
    QTest::addColumn<QRect>("label");

    QTest::newRow("two boxes") << 2 << false << 425 << true << QRect(319, 0, 106, 25)
                               << QRect(52, 0, 2, 25) << QRect(1, 1, 46, 21) << QRect(59, 1, 46, 21)
                               << true << QRect(50, 3, 266, 19);
    QTest::newRow("one box: the left spans the area less 3")
        << 1 << false << 425 << true << QRect(319, 0, 106, 25) << QRect(52, 0, 2, 25)
        << QRect(1, 1, 103, 21) << QRect(59, 1, 46, 21) << false << QRect(50, 3, 266, 19);
    QTest::newRow("any count but two is one box")
        << 3 << false << 425 << true << QRect(319, 0, 106, 25) << QRect(52, 0, 2, 25)
        << QRect(1, 1, 103, 21) << QRect(59, 1, 46, 21) << false << QRect(50, 3, 266, 19);
    QTest::newRow("one plain free-text box gets half the row")
        << 1 << false << 425 << false << QRect(213, 0, 212, 25) << QRect(105, 0, 2, 25)
        << QRect(1, 1, 209, 21) << QRect(112, 1, 99, 21) << false << QRect(50, 3, 160, 19);
    QTest::newRow("group owner: inside its bevel, label margin 25")
        << 2 << true << 425 << true << QRect(318, 1, 106, 23) << QRect(52, 0, 2, 23)
        << QRect(1, 1, 46, 21) << QRect(59, 1, 46, 21) << true << QRect(26, 4, 289, 17);
    QTest::newRow("two boxes in a wider row")
        << 2 << false << 800 << true << QRect(600, 0, 200, 25) << QRect(99, 0, 2, 25)
        << QRect(1, 1, 93, 21) << QRect(106, 1, 93, 21) << true << QRect(50, 3, 547, 19);
}

void TstBettFysPanel::creationGeometry()
{
    QFETCH(int, antalCombos);
    QFETCH(bool, owner);
    QFETCH(int, width);
    QFETCH(bool, listBox);
    QFETCH(QRect, area);
    QFETCH(QRect, bevelRect);
    QFETCH(QRect, left);
    QFETCH(QRect, right);
    QFETCH(bool, twoShown);
    QFETCH(QRect, label);

    QWidget container;
    TBettFysPanel row(&container, antalCombos);
    QCOMPARE(row.size(), QSize(425, 25));
    QVERIFY(row.Collapsed());
    QVERIFY(!row.IsGroupOwner());
    QCOMPARE(row.Caption(), QString());

    row.SetIsGroupOwner(owner);
    row.LeftComboBox()->SetShowButton(listBox);
    row.resize(width, 25);
    row.ReCalcWidth();

    QCOMPARE(answerArea(row)->geometry(), area);
    QCOMPARE(row.AnswerAreaLeft(), area.left());
    QCOMPARE(bevel(row)->geometry(), bevelRect);
    QCOMPARE(row.LeftComboBox()->geometry(), left);
    QCOMPARE(row.RightComboBox()->geometry(), right);
    QCOMPARE(!row.RightComboBox()->isHidden(), twoShown);
    QCOMPARE(!bevel(row)->isHidden(), twoShown);
    QCOMPARE(row.Label()->geometry(), label);
    QCOMPARE(row.frameShape() == QFrame::Panel && row.frameShadow() == QFrame::Raised, owner);
    QVERIFY(row.Label()->font().bold());
    QCOMPARE(row.LeftComboBox()->DropDownWidth(), 0);
    QVERIFY(row.LeftComboBox()->AllowClearKey());
    QVERIFY(row.RightComboBox()->AllowClearKey());
}

void TstBettFysPanel::stateColour_data()
{
    QTest::addColumn<bool>("owner");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<int>("antalCombos");
    QTest::addColumn<QString>("leftText");
    QTest::addColumn<QString>("rightText");
    QTest::addColumn<QColor>("colour");

    const QString none;
    QTest::newRow("group owner, saved, unanswered")
        << true << true << 1 << none << none << QColor(239, 219, 218);
    QTest::newRow("group owner, saved, answered")
        << true << true << 1 << u"Ja"_s << none << QColor(218, 239, 239);
    QTest::newRow("group owner, not saved")
        << true << false << 2 << u"Ja"_s << u"Nej"_s << QColor(255, 255, 234);
    QTest::newRow("question, saved, left answered and right empty")
        << false << true << 2 << u"Ja"_s << none << QColor(255, 235, 234);
    QTest::newRow("question, saved, blanks are no answer")
        << false << true << 1 << u"  "_s << none << QColor(255, 235, 234);
    QTest::newRow("question, saved, its one box answered")
        << false << true << 1 << u"Ja"_s << none << QColor(234, 255, 255);
    QTest::newRow("question, saved, both boxes answered")
        << false << true << 2 << u"Ja"_s << u"3 st"_s << QColor(234, 255, 255);
    QTest::newRow("question, not saved")
        << false << false << 2 << none << none << QColor(234, 234, 255);
}

void TstBettFysPanel::stateColour()
{
    QFETCH(bool, owner);
    QFETCH(bool, saved);
    QFETCH(int, antalCombos);
    QFETCH(QString, leftText);
    QFETCH(QString, rightText);
    QFETCH(QColor, colour);

    QWidget container;
    container.resize(440, 60);
    auto *row = new TBettFysPanel(&container, antalCombos);
    row->SetIsGroupOwner(owner);
    row->LeftComboBox()->SetText(leftText);
    row->RightComboBox()->SetText(rightText);
    row->SetShallBeSaved(saved);
    container.show();
    QVERIFY(QTest::qWaitForWindowExposed(&container));

    const QImage shot = row->grab().toImage();
    const QColor start = shot.pixelColor(2, row->height() / 2);
    QVERIFY2(sameColour(start, colour), qPrintable(describe(start)));
    // ... running to the button colour at the right edge.
    const QColor end = shot.pixelColor(row->width() - 2, row->height() - 2);
    const QColor button = row->palette().color(QPalette::Button);
    QVERIFY2(std::abs(end.red() - button.red()) <= 2 && std::abs(end.blue() - button.blue()) <= 2,
             qPrintable(describe(end)));
}

void TstBettFysPanel::chevrons_data()
{
    QTest::addColumn<bool>("collapsed");
    QTest::addColumn<int>("height");

    QTest::newRow("closed group points down") << true << 45;
    QTest::newRow("open group points up") << false << 45;
    QTest::newRow("closed group in a short row") << true << 25;
}

void TstBettFysPanel::chevrons()
{
    QFETCH(bool, collapsed);
    QFETCH(int, height);

    QWidget container;
    container.resize(440, 2 * height);
    auto *owner = new TBettFysPanel(&container, 1);
    auto *plain = new TBettFysPanel(&container, 1);
    owner->resize(425, height);
    plain->setGeometry(0, height, 425, height);
    owner->SetIsGroupOwner(true);
    owner->SetCollapsed(collapsed);
    container.show();
    QVERIFY(QTest::qWaitForWindowExposed(&container));

    const int c = height / 4;
    Pixels lit = chevron(c, c, collapsed) + chevron(c, c + 5, collapsed);
    Pixels other = chevron(c, c, !collapsed) + chevron(c, c + 5, !collapsed);
    for (const QPoint &pixel : std::as_const(lit))
        other.removeAll(pixel);
    const QColor red(255, 0, 0);
    const QImage shot = owner->grab().toImage();
    for (const QPoint &pixel : std::as_const(lit))
        QVERIFY2(shot.pixelColor(pixel) == red,
                 qPrintable(u"%1,%2"_s.arg(pixel.x()).arg(pixel.y())));
    for (const QPoint &pixel : std::as_const(other))
        QVERIFY(shot.pixelColor(pixel) != red);

    // A row that is no group owner has none.
    const QImage plainShot = plain->grab().toImage();
    for (const QPoint &pixel : std::as_const(lit))
        QVERIFY(plainShot.pixelColor(pixel) != red);
}

void TstBettFysPanel::collapseShowsAndHidesTheGroup()
{
    QWidget window;
    window.resize(440, 200);
    auto *group = new TFlowPanel(&window);
    group->resize(425, 0);
    auto *owner = new TBettFysPanel(group, 2);
    owner->SetIsGroupOwner(true);
    QList<TBettFysPanel *> rows;
    for (int i = 0; i < 3; ++i) {
        rows << new TBettFysPanel(group, 2);
        rows.last()->setVisible(false);
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(group->height(), 25);

    QStringList events;
    owner->BeforeCollapse = [&events](TBettFysPanel *row) {
        events << u"before %1"_s.arg(row->Collapsed());
    };
    owner->AfterCollapse = [&events](TBettFysPanel *row) {
        events << u"after %1"_s.arg(row->Collapsed());
    };

    owner->SetCollapsed(true); // already
    QVERIFY(events.isEmpty());

    owner->SetCollapsed(false);
    QCOMPARE(events, (QStringList{u"before 1"_s, u"after 0"_s}));
    for (TBettFysPanel *row : std::as_const(rows))
        QVERIFY(row->isVisible());
    // At once, not at the next turn of the event loop.
    QCOMPARE(group->height(), 100);
    QCOMPARE(rows.last()->y(), 75);
    QVERIFY(group->AutoSize());

    owner->SetCollapsed(false);
    QCOMPARE(events.size(), 2);

    // The row's corner toggles; the label's own area does not.
    QTest::mouseClick(owner, Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(owner->Collapsed());
    QCOMPARE(events.size(), 4);
    for (TBettFysPanel *row : std::as_const(rows))
        QVERIFY(row->isHidden());
    QCOMPARE(group->height(), 25);
    QTest::mouseClick(owner, Qt::LeftButton, {}, QPoint(21, 21)); // just outside, as 21 = 25 - 4
    QTest::mouseClick(owner->Label(), Qt::LeftButton, {}, QPoint(2, 2));
    QVERIFY(owner->Collapsed());
    QCOMPARE(events.size(), 4);

    // Any row toggles its siblings the same way, itself staying in view.
    rows.first()->SetCollapsed(false);
    QVERIFY(owner->isVisible());
    QVERIFY(rows.at(1)->isVisible());
    QVERIFY(rows.first()->isHidden());
}

void TstBettFysPanel::freeTextGrowsAndScrollsIntoView()
{
    QScrollArea scrollBox;
    scrollBox.resize(460, 200);
    auto *content = new TFlowPanel;
    content->resize(425, 0);
    scrollBox.setWidget(content);
    for (int i = 0; i < 6; ++i)
        new TBettFysPanel(content, 2);
    auto *row = new TBettFysPanel(content, 1);
    TAnswerBox *box = row->LeftComboBox();
    box->SetShowButton(false);
    row->ApplyLeftComboBoxMode();
    int changes = 0;
    row->OnChange = [&changes](TBettFysPanel *) { ++changes; };

    const int line = QFontMetrics(box->font()).height();
    QCOMPARE(box->height(), line + 12);
    QCOMPARE(row->height(), line + 16);

    scrollBox.show();
    QVERIFY(QTest::qWaitForWindowActive(&scrollBox));
    QTRY_COMPARE(content->height(), 150 + row->height());
    QCOMPARE(scrollBox.verticalScrollBar()->value(), 0);
    const int viewport = scrollBox.viewport()->height();
    QVERIFY(row->y() + line * 3 + 16 > viewport); // grown, it reaches below the visible area

    auto *editor = box->findChild<QPlainTextEdit *>();
    box->setFocus();
    QTest::keyClicks(editor, u"ett"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, u"två"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, u"tre"_s);

    QCOMPARE(box->Text(), u"ett\r\ntvå\r\ntre"_s);
    QCOMPARE(changes, 11);
    QCOMPARE(box->height(), 3 * line + 12);
    QCOMPARE(row->height(), 3 * line + 16);
    // The row's bottom edge sits at the bottom of the visible area.
    QCOMPARE(content->height(), row->y() + row->height());
    QCOMPARE(scrollBox.verticalScrollBar()->value(), row->y() + row->height() - viewport);
    // Every line the editor shows fits in the box.
    qreal shown = 0;
    for (QTextBlock block = editor->document()->begin(); block.isValid(); block = block.next())
        shown += block.layout()->boundingRect().height();
    QVERIFY(shown + 4 <= box->contentsRect().height());
}

void TstBettFysPanel::notSavedRowShowsOnlyHeadingBoxes_data()
{
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QString>("leftText");
    QTest::addColumn<QString>("rightText");
    QTest::addColumn<bool>("leftShown");
    QTest::addColumn<bool>("rightShown");
    QTest::addColumn<bool>("areaShown");

    QTest::newRow("not saved, empty column texts: no answer area")
        << false << QString() << QString() << false << false << false;
    QTest::newRow("not saved, left heading only")
        << false << u"Ja"_s << QString() << true << false << true;
    QTest::newRow("not saved, both headings")
        << false << u"Ja"_s << u"Nej"_s << true << true << true;
    QTest::newRow("saved, empty boxes stay")
        << true << QString() << QString() << true << true << true;
}

void TstBettFysPanel::notSavedRowShowsOnlyHeadingBoxes()
{
    QFETCH(bool, saved);
    QFETCH(QString, leftText);
    QFETCH(QString, rightText);
    QFETCH(bool, leftShown);
    QFETCH(bool, rightShown);
    QFETCH(bool, areaShown);

    QWidget container;
    container.resize(440, 60);
    auto *row = new TBettFysPanel(&container, 2);
    row->LeftComboBox()->SetText(leftText);
    row->RightComboBox()->SetText(rightText);
    row->SetShallBeSaved(saved);
    container.show();
    QVERIFY(QTest::qWaitForWindowExposed(&container));

    QCOMPARE(row->ShallBeSaved(), saved);
    QCOMPARE(row->LeftComboBox()->isVisible(), leftShown);
    QCOMPARE(row->RightComboBox()->isVisible(), rightShown);
    QCOMPARE(answerArea(*row)->isVisible(), areaShown);
    // Without its answer area the question takes the whole row.
    QCOMPARE(row->Label()->geometry().right() + 1 + 3,
             areaShown ? row->AnswerAreaLeft() : row->width());
}

void TstBettFysPanel::fonts()
{
    QWidget container;
    TBettFysPanel row(&container, 2);
    QFont font(u"DejaVu Sans"_s);
    font.setPointSize(12);
    font.setBold(true);
    font.setItalic(true);
    row.SetLabelFont(font);
    QCOMPARE(row.LabelFont().pointSize(), 12);
    QVERIFY(row.LabelFont().bold());
    for (TAnswerBox *box : {row.LeftComboBox(), row.RightComboBox()}) {
        QCOMPARE(box->font().pointSize(), 10);
        QVERIFY(!box->font().bold());
        QVERIFY(!box->font().italic());
    }

    row.SetFontSize(14);
    QCOMPARE(row.LabelFont().pointSize(), 14);
    QCOMPARE(row.LeftComboBox()->font().pointSize(), 14);
    QCOMPARE(row.RightComboBox()->font().pointSize(), 14);

    row.SetFontStyles(true);
    QVERIFY(row.FontBold());
    row.SetFontStyles(false);
    QVERIFY(!row.FontBold());
}

void TstBettFysPanel::boxEventsReachTheRow()
{
    QWidget window;
    window.resize(440, 200);
    auto *row = new TBettFysPanel(&window, 2);
    auto *other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    other->setGeometry(0, 100, 50, 20);
    TAnswerBox *left = row->LeftComboBox();
    TAnswerBox *right = row->RightComboBox();
    QStringList log;
    const auto name = [left](TAnswerBox *box) { return box == left ? u"left"_s : u"right"_s; };
    row->OnChange = [&log](TBettFysPanel *) { log << u"change"_s; };
    row->BeforeEnter = [&log, name](TAnswerBox *box) { log << u"enter "_s + name(box); };
    row->AfterExit = [&log, name](TAnswerBox *box) { log << u"exit "_s + name(box); };
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    left->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), u"J"_s);
    right->setFocus();
    other->setFocus();
    QCOMPARE(log, (QStringList{u"enter left"_s, u"change"_s, u"exit left"_s, u"enter right"_s,
                               u"exit right"_s}));

    // Free-text mode replaces the box's one handler and gives it back in list mode, also when
    // the mode was applied twice.
    int own = 0;
    left->OnChange = [&own](TAnswerBox *) { ++own; };
    left->SetShowButton(false);
    row->ApplyLeftComboBoxMode();
    row->ApplyLeftComboBoxMode();
    log.clear();
    left->SetText(u"fri text"_s);
    QCOMPARE(own, 0);
    QCOMPARE(log, QStringList{u"change"_s});
    QVERIFY(left->WordWrap());
    QVERIFY(left->WantReturns());
    QVERIFY(!left->AutoSize());

    left->SetShowButton(true);
    row->ApplyLeftComboBoxMode();
    left->SetText(u"Ja"_s);
    QCOMPARE(own, 1);
    QCOMPARE(log.size(), 1);
    QVERIFY(!left->WordWrap());
    QVERIFY(left->AutoSize());

    // A row freed while one of its boxes has the focus raises nothing more.
    right->setFocus();
    log.clear();
    delete row;
    QVERIFY(log.isEmpty());
}

VN_REGISTER_TEST(TstBettFysPanel)

class TstFlowPanel : public QObject
{
    Q_OBJECT

private slots:
    void autoSizeTakesTheContentHeight();
    void placementIsDeferredPerBurst();
};

void TstFlowPanel::autoSizeTakesTheContentHeight()
{
    TFlowPanel panel;
    panel.resize(100, 0);
    QList<int> heights;
    panel.OnResize = [&heights](TFlowPanel *resized) { heights << resized->height(); };
    const auto child = [&panel](int w, int h) {
        auto *widget = new QWidget(&panel);
        widget->resize(w, h);
        return widget;
    };
    QWidget *a = child(60, 10);
    QWidget *b = child(30, 20);
    QWidget *c = child(50, 5);
    QWidget *d = child(100, 7);

    // Left to right, then on a new line when the next one does not fit.
    panel.SetAutoSize(true);
    QCOMPARE(a->pos(), QPoint(0, 0));
    QCOMPARE(b->pos(), QPoint(60, 0));
    QCOMPARE(c->pos(), QPoint(0, 20));
    QCOMPARE(d->pos(), QPoint(0, 25));
    QCOMPARE(panel.height(), 32);
    QCOMPARE(heights, QList<int>{32}); // reported although the panel is not on screen

    // What a collapsing group does: auto-size off, hide, on again; the height is right at once.
    panel.SetAutoSize(false);
    b->setVisible(false);
    panel.SetAutoSize(true);
    QCOMPARE(c->pos(), QPoint(0, 10));
    QCOMPARE(panel.height(), 22);

    // Off, the panel keeps its height while it still places its children.
    panel.SetAutoSize(false);
    b->setVisible(true);
    panel.Realign();
    QCOMPARE(b->pos(), QPoint(60, 0));
    QCOMPARE(panel.height(), 22);
    QCOMPARE(heights, (QList<int>{32, 22}));
}

void TstFlowPanel::placementIsDeferredPerBurst()
{
    QWidget window;
    window.resize(220, 600);
    auto *panel = new TFlowPanel(&window);
    panel->resize(200, 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    int resizes = 0;
    panel->OnResize = [&resizes](TFlowPanel *) { ++resizes; };
    EventCounter placements(panel, QEvent::LayoutRequest);

    QList<QWidget *> rows;
    for (int i = 0; i < 50; ++i) {
        rows << new QWidget(panel);
        rows.last()->resize(200, 10);
        rows.last()->show();
    }
    QCOMPARE(rows.last()->pos(), QPoint(0, 0)); // nothing placed yet
    QCOMPARE(panel->height(), 0);

    QCoreApplication::processEvents();
    QCOMPARE(placements.count, 1);
    QCOMPARE(rows.last()->pos(), QPoint(0, 490));
    QCOMPARE(panel->height(), 500);
    QCOMPARE(resizes, 1);

    // A row in the middle that grows pushes the later ones down; one appended goes below.
    rows.at(10)->resize(200, 30);
    rows << new QWidget(panel);
    rows.last()->resize(200, 10);
    rows.last()->show();
    QCoreApplication::processEvents();
    QCOMPARE(placements.count, 2);
    QCOMPARE(rows.at(11)->pos(), QPoint(0, 130));
    QCOMPARE(rows.at(49)->pos(), QPoint(0, 510));
    QCOMPARE(rows.last()->pos(), QPoint(0, 520));
    QCOMPARE(panel->height(), 530);
}

VN_REGISTER_TEST(TstFlowPanel)
#include "tst_bettfyspanel.moc"
