#include "testrunner.h"

#include "toolkit/dialogs.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

struct Shown
{
    DialogKind kind;
    QString caption;
    QString text;
};

class RecordingPresenter final : public DialogPresenter
{
public:
    RecordingPresenter(QList<Shown> *shown, QStringList *events, int answer)
        : m_shown(shown), m_events(events), m_answer(answer)
    {
    }
    int showMessage(DialogKind kind, const QString &caption, const QString &text) override
    {
        m_shown->append({kind, caption, text});
        m_events->append(QStringLiteral("dialog"));
        return kind == DialogKind::Question ? m_answer : mrOk;
    }
    void showBalloonHint(const QString &title, const QString &text, QWidget *) override
    {
        m_shown->append({DialogKind::Information, title, text});
        m_events->append(QStringLiteral("hint"));
    }

private:
    QList<Shown> *m_shown;
    QStringList *m_events;
    int m_answer;
};

const QString kEnglish = QStringLiteral(
    "Row cannot be located for updating. Some values may have been changed since it was last read");
const QString kSwedish = QStringLiteral(
    "Det gick inte att hitta raden för uppdatering. Vissa värden kan ha ändrats sedan den lästes sist");
const QString kAdvice = QStringLiteral(
    "Uppgifterna kan ha ändrats av en annan användare.\rOm möjligt, kopiera dina ändringar till "
    "klippbordet.\r\rTryck sedan Ångra för att se de aktuella uppgifterna.");

} // namespace

class TstDialogs : public QObject
{
    Q_OBJECT

    QList<Shown> m_shown;
    QStringList m_events;

    void install(int answer = mrYes)
    {
        SetDialogPresenter(std::make_unique<RecordingPresenter>(&m_shown, &m_events, answer));
    }

private slots:
    void init()
    {
        m_shown.clear();
        m_events.clear();
        SetBeforeDialogHook([this] { m_events.append(QStringLiteral("progress ended")); });
        install();
    }
    void cleanup()
    {
        SetDialogPresenter(nullptr);
        SetBeforeDialogHook({});
    }

    void rowConflictRewording_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("reworded");
        QTest::newRow("english within a composed message")
            << QStringLiteral("Det gick inte att spara!\r\r") + kEnglish + u'.'
            << QStringLiteral("Det gick inte att spara!\r\r") + kAdvice + u'.' << true;
        QTest::newRow("swedish") << kSwedish + QStringLiteral(" (rad 3)")
                                 << kAdvice + QStringLiteral(" (rad 3)") << true;
        QTest::newRow("both: only the english one")
            << kSwedish + u' ' + kEnglish << kSwedish + u' ' + kAdvice << true;
        QTest::newRow("english twice: first only") << kEnglish + kEnglish << kAdvice + kEnglish
                                                   << true;
        QTest::newRow("none") << QStringLiteral("Ett annat fel") << QStringLiteral("Ett annat fel")
                              << false;
    }
    void rowConflictRewording()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QFETCH(bool, reworded);
        bool applied = !reworded;
        QCOMPARE(RewordRowConflict(message, &applied), shown);
        QCOMPARE(applied, reworded);

        ShowError(message);
        ShowNotice(message);
        QCOMPARE(m_shown.size(), 2);
        QCOMPARE(m_shown[0].kind, DialogKind::Error);
        QCOMPARE(m_shown[0].caption, u"Fel"_qs);
        QCOMPARE(m_shown[0].text, shown);
        QCOMPARE(m_shown[1].kind, reworded ? DialogKind::Warning : DialogKind::Information);
        QCOMPARE(m_shown[1].caption, reworded ? u"Varning"_qs : u"Information"_qs);
        QCOMPARE(m_shown[1].text, shown);
    }

    void infoIsNotReworded()
    {
        ShowInfo(kEnglish);
        QCOMPARE(m_shown.value(0).text, kEnglish);
        QCOMPARE(m_shown.value(0).caption, u"Information"_qs);
    }

    void askYesNoActsOnYesOnly_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("result");
        QTest::newRow("yes") << mrYes << mrYes;
        QTest::newRow("no") << mrNo << mrNo;
        QTest::newRow("closed otherwise") << 2 << mrNo;
    }
    void askYesNoActsOnYesOnly()
    {
        QFETCH(int, answer);
        QFETCH(int, result);
        install(answer);
        QCOMPARE(AskYesNo(QStringLiteral("Vill du ångra inmatningen?")), result);
        QCOMPARE(m_shown.value(0).caption, u"Fråga"_qs);
    }

    void progressEndsBeforeEveryDialog()
    {
        QWidget control;
        ShowInfo(QStringLiteral("a"));
        ShowError(QStringLiteral("b"));
        ShowNotice(QStringLiteral("c"));
        AskYesNo(QStringLiteral("d"));
        ShowBalloonHint(QStringLiteral("Rita din signatur"), &control);
        QCOMPARE(m_events, QStringList({u"progress ended"_qs, u"dialog"_qs, u"progress ended"_qs,
                                        u"dialog"_qs, u"progress ended"_qs, u"dialog"_qs,
                                        u"progress ended"_qs, u"dialog"_qs, u"progress ended"_qs,
                                        u"hint"_qs}));
        QCOMPARE(m_shown.last().caption, u"Information"_qs);
        QCOMPARE(m_shown.last().text, u"Rita din signatur\r"_qs);
    }

    // The standard message box, driven as a user would.
    void standardDialogsAreSwedish()
    {
        SetDialogPresenter(nullptr);
        PatchStandardDialogTexts();
        QStringList buttons;
        QString caption;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            caption = box->windowTitle();
            for (QAbstractButton *button : box->buttons())
                buttons.append(button->text());
            box->button(QMessageBox::No)->click();
        });
        QCOMPARE(AskYesNo(QStringLiteral("Vill du ångra inmatningen?")), mrNo);
        QCOMPARE(caption, u"Fråga"_qs);
        buttons.sort();
        QCOMPARE(buttons, QStringList({u"Ja"_qs, u"Nej"_qs}));

        // The toolkit's own dialogs, which the program does not build itself.
        QMessageBox own(QMessageBox::Warning, QStringLiteral("x"), QStringLiteral("y"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(own.button(QMessageBox::Yes)->text(), u"Ja"_qs);
        QCOMPARE(own.button(QMessageBox::No)->text(), u"Nej"_qs);
        QCOMPARE(own.button(QMessageBox::Ok)->text(), u"OK"_qs);
        QCOMPARE(own.button(QMessageBox::Cancel)->text(), u"Avbryt"_qs);
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), u"Avbryt"_qs);
    }

    void errorDialogOffersOk()
    {
        SetDialogPresenter(nullptr);
        QString caption;
        QStringList buttons;
        QTimer::singleShot(0, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            caption = box->windowTitle();
            for (QAbstractButton *button : box->buttons())
                buttons.append(button->text());
            box->buttons().first()->click();
        });
        ShowError(QStringLiteral("Det gick inte att hämta värdet!\r\rfel"));
        QCOMPARE(caption, u"Fel"_qs);
        QCOMPARE(buttons, QStringList({u"OK"_qs}));
    }
};

VN_REGISTER_TEST(TstDialogs)
#include "tst_dialogs.moc"
