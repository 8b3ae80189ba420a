#include "toolkit/dialogs.h"

#include "widgets/linebreaks.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <QTranslator>

namespace {

constexpr int kBalloonHintMs = 5000;

const QString kRowConflictEnglish = QStringLiteral(
    "Row cannot be located for updating. Some values may have been changed since it was last read");
const QString kRowConflictSwedish =
    QStringLiteral("Det gick inte att hitta raden för uppdatering. Vissa värden kan ha ändrats "
                   "sedan den lästes sist");

class MessageBoxPresenter final : public DialogPresenter
{
public:
    int showMessage(DialogKind kind, const QString &caption, const QString &text) override
    {
        QMessageBox box;
        box.setWindowTitle(caption);
        box.setText(WithLineBreaks(text));
        switch (kind) {
        case DialogKind::Information: box.setIcon(QMessageBox::Information); break;
        case DialogKind::Warning: box.setIcon(QMessageBox::Warning); break;
        case DialogKind::Error: box.setIcon(QMessageBox::Critical); break;
        case DialogKind::Question: box.setIcon(QMessageBox::Question); break;
        }
        if (kind == DialogKind::Question) {
            box.addButton(QMessageBox::Yes)->setText(QStringLiteral("Ja"));
            box.addButton(QMessageBox::No)->setText(QStringLiteral("Nej"));
            box.setDefaultButton(QMessageBox::Yes);
        } else {
            box.addButton(QMessageBox::Ok)->setText(QStringLiteral("OK"));
            box.setDefaultButton(QMessageBox::Ok);
        }
        box.adjustSize();
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            box.move(screen->availableGeometry().center() - box.rect().center());
        const int clicked = box.exec();
        if (kind != DialogKind::Question)
            return mrOk;
        return clicked == QMessageBox::Yes ? mrYes : mrNo;
    }

    void showBalloonHint(const QString &title, const QString &text, QWidget *control) override
    {
        if (!control)
            return;
        const QString html = QStringLiteral("<b>%1</b><br>%2")
                                 .arg(title.toHtmlEscaped(), WithLineBreaks(text).toHtmlEscaped());
        QToolTip::showText(control->mapToGlobal(control->rect().center()), html, control, {},
                           kBalloonHintMs);
    }
};

std::unique_ptr<DialogPresenter> &presenterSlot()
{
    static std::unique_ptr<DialogPresenter> presenter = std::make_unique<MessageBoxPresenter>();
    return presenter;
}

std::function<void()> &beforeDialogHook()
{
    static std::function<void()> hook;
    return hook;
}

void endProgressDisplay()
{
    if (beforeDialogHook())
        beforeDialogHook()();
}

int present(DialogKind kind, const QString &text)
{
    endProgressDisplay();
    return presenterSlot()->showMessage(kind, DialogCaption(kind), text);
}

// Swedish texts for the captions and buttons of the toolkit's own standard dialogs.
class SwedishDialogTexts final : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char *disambiguation,
                      int n) const override
    {
        Q_UNUSED(context)
        Q_UNUSED(disambiguation)
        Q_UNUSED(n)
        if (!sourceText)
            return {};
        static const struct
        {
            const char *source;
            const char *swedish;
        } table[] = {
            {"Warning", "Varning"},  {"Error", "Fel"},      {"Information", "Information"},
            {"Confirm", "Fråga"},    {"Question", "Fråga"}, {"&Yes", "Ja"},
            {"&No", "Nej"},          {"Yes", "Ja"},         {"No", "Nej"},
            {"OK", "OK"},            {"&OK", "OK"},         {"Cancel", "Avbryt"},
            {"&Cancel", "Avbryt"},
        };
        for (const auto &row : table) {
            if (qstrcmp(sourceText, row.source) == 0)
                return QString::fromUtf8(row.swedish);
        }
        return {};
    }
};

} // namespace

std::unique_ptr<DialogPresenter> SetDialogPresenter(std::unique_ptr<DialogPresenter> presenter)
{
    std::unique_ptr<DialogPresenter> previous = std::move(presenterSlot());
    presenterSlot() = presenter ? std::move(presenter) : std::make_unique<MessageBoxPresenter>();
    return previous;
}

void SetBeforeDialogHook(std::function<void()> hook)
{
    beforeDialogHook() = std::move(hook);
}

QString DialogCaption(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Information: return QStringLiteral("Information");
    case DialogKind::Warning: return QStringLiteral("Varning");
    case DialogKind::Error: return QStringLiteral("Fel");
    case DialogKind::Question: return QStringLiteral("Fråga");
    }
    return {};
}

QString Translate(const QString &text)
{
    return text;
}

QString RewordRowConflict(const QString &text, bool *reworded)
{
    static const QString advice =
        QStringLiteral("Uppgifterna kan ha ändrats av en annan användare.\rOm möjligt, kopiera "
                       "dina ändringar till klippbordet.\r\rTryck sedan Ångra för att se de "
                       "aktuella uppgifterna.");
    QString result = text;
    qsizetype at = result.indexOf(kRowConflictEnglish);
    qsizetype length = kRowConflictEnglish.size();
    if (at < 0) {
        at = result.indexOf(kRowConflictSwedish);
        length = kRowConflictSwedish.size();
    }
    if (reworded)
        *reworded = at >= 0;
    if (at >= 0)
        result.replace(at, length, advice);
    return result;
}

void ShowInfo(const QString &text)
{
    present(DialogKind::Information, Translate(text));
}

void ShowError(const QString &text)
{
    present(DialogKind::Error, RewordRowConflict(Translate(text)));
}

void ShowNotice(const QString &text)
{
    bool reworded = false;
    const QString shown = RewordRowConflict(Translate(text), &reworded);
    present(reworded ? DialogKind::Warning : DialogKind::Information, shown);
}

int AskYesNo(const QString &text)
{
    return present(DialogKind::Question, Translate(text)) == mrYes ? mrYes : mrNo;
}

void ShowBalloonHint(const QString &text, QWidget *control)
{
    endProgressDisplay();
    presenterSlot()->showBalloonHint(QStringLiteral("Information"), Translate(text) + u'\r',
                                     control);
}

void PatchStandardDialogTexts()
{
    static SwedishDialogTexts *texts = nullptr;
    if (texts || !QCoreApplication::instance())
        return;
    // Lives as long as the application; the application does not own translators.
    texts = new SwedishDialogTexts(QCoreApplication::instance());
    QCoreApplication::installTranslator(texts);
}
