#include "db/udataproviders.h"

#include "db/connectionsetup.h"
#include "db/datalinkeditor.h"
#include "toolkit/dialogs.h"
#include "toolkit/settings.h"
#include "widgets/prepareform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

constexpr int kItemHeight = 17;
const QColor kDefaultTextColor(0, 128, 0);
const QColor kSelectedBackground(192, 192, 192);

QFont tahoma(int pixelSize)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelSize);
    return font;
}

// Draws the default data-link file in green, the selection on silver.
class DataProviderItemDelegate final : public QStyledItemDelegate
{
public:
    DataProviderItemDelegate(std::function<QString()> defaultName, QObject *parent)
        : QStyledItemDelegate(parent), m_defaultName(std::move(defaultName))
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const QString text = index.data().toString();
        const bool isDefault = text.toUpper() == m_defaultName().toUpper();
        painter->save();
        painter->fillRect(option.rect, selected ? kSelectedBackground : QColor(Qt::white));
        painter->setPen(isDefault ? kDefaultTextColor
                                  : option.palette.color(selected ? QPalette::HighlightedText
                                                                  : QPalette::Text));
        painter->setFont(option.font);
        painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight};
    }

private:
    std::function<QString()> m_defaultName;
};

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// A new data-link file's name must stay inside the data-link folder.
bool isPlainFileName(const QString &name)
{
    return !name.trimmed().isEmpty() && !name.contains(u'/') && !name.contains(u'\\')
           && !name.contains(u':') && name != QLatin1String(".") && name != QLatin1String("..");
}

} // namespace

TfrmDataProviders::TfrmDataProviders(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDataProviders"));
    setWindowTitle(QStringLiteral("DataProviders"));
    setFont(tahoma(11));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint);

    auto *group = new QGroupBox(QStringLiteral("DataProviders"), this);
    AddButton = button(QStringLiteral("Lägg till..."), "AddButton", group);
    EditButton = button(QStringLiteral("Redigera..."), "EditButton", group);
    DefaultButton = button(QStringLiteral("Välj som standard"), "DefaultButton", group);
    DeleteButton = button(QStringLiteral("Radera"), "DeleteButton", group);
    auto *buttons = new QGridLayout;
    buttons->addWidget(AddButton, 0, 0);
    buttons->addWidget(EditButton, 0, 1);
    buttons->addWidget(DefaultButton, 1, 0);
    buttons->addWidget(DeleteButton, 1, 1);

    ListBox1 = new QListWidget(group);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setFont(tahoma(13));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setItemDelegate(
        new DataProviderItemDelegate([this] { return defaultFileName(); }, ListBox1));

    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(buttons);
    groupLayout->addWidget(new QLabel(QStringLiteral("Befintliga DataProviders"), group));
    groupLayout->addWidget(ListBox1, 1);

    OkButton = button(QStringLiteral("OK"), "OkButton", this);
    OkButton->setDefault(true);
    CancelButton = button(QStringLiteral("Avbryt"), "CancelButton", this);
    auto *bottom = new QWidget(this);
    bottom->setFixedHeight(38);
    auto *bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->addStretch(1);
    bottomLayout->addWidget(OkButton);
    bottomLayout->addWidget(CancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(group, 1);
    layout->addWidget(bottom);

    connect(AddButton, &QPushButton::clicked, this, &TfrmDataProviders::addClick);
    connect(EditButton, &QPushButton::clicked, this, &TfrmDataProviders::editClick);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TfrmDataProviders::editClick);
    connect(DefaultButton, &QPushButton::clicked, this, &TfrmDataProviders::setDefaultClick);
    connect(DeleteButton, &QPushButton::clicked, this, &TfrmDataProviders::deleteClick);
    connect(OkButton, &QPushButton::clicked, this, &TfrmDataProviders::okClick);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    // Room for the touch-sized font of the kiosk; the designed client area is 209 x 250.
    resize(qMax(209, sizeHint().width()), qMax(250, sizeHint().height()));
    PrepareForm(this);
}

QString TfrmDataProviders::selectedFileName() const
{
    const QListWidgetItem *item = ListBox1->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void TfrmDataProviders::RefreshList(const QString &name)
{
    ListBox1->clear();
    const QDir folder(Toolkit().DataLinksFolder);
    ListBox1->addItems(folder.entryList({QStringLiteral("*.udl")}, QDir::Files | QDir::Hidden,
                                        QDir::NoSort));
    ListBox1->setCurrentItem(nullptr);
    for (int i = 0; i < ListBox1->count(); ++i) {
        if (ListBox1->item(i)->text().compare(name, Qt::CaseInsensitive) == 0) {
            ListBox1->setCurrentRow(i);
            break;
        }
    }
}

void TfrmDataProviders::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    RefreshList(defaultFileName());
}

QString TfrmDataProviders::defaultFileName() const
{
    QString setting = ReadSetting(QStringLiteral("DataProvider"), m_iniTextPosision);
    // The setting may hold a Windows path whichever system reads it.
    setting.replace(u'\\', u'/');
    return QFileInfo(setting).fileName();
}

bool TfrmDataProviders::requireSelection()
{
    if (!selectedFileName().isEmpty())
        return true;
    ShowInfo(QStringLiteral("Välj en DataProvider först!"));
    ListBox1->setFocus();
    return false;
}

void TfrmDataProviders::addClick()
{
    bool ok = false;
    const QString name = QInputDialog::getText(this, QStringLiteral("Ny DataProvider"),
                                               QStringLiteral("DataProviderns namn:"),
                                               QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return;
    if (!isPlainFileName(name)) {
        ShowError(QStringLiteral("Namnet \"") + name
                  + QStringLiteral("\" kan inte användas som filnamn för en DataProvider."));
        return;
    }
    const QString folder = Toolkit().DataLinksFolder;
    const QString path = folder + name + QStringLiteral(".udl");
    QFile file(path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ShowError(QStringLiteral("Det gick inte att skapa filen ") + path
                  + QStringLiteral("!\r\r") + file.errorString());
        return;
    }
    file.close();
    OpenDataLinkEditor(path, this);
    RefreshList(name + QStringLiteral(".udl"));
}

void TfrmDataProviders::editClick()
{
    if (requireSelection())
        OpenDataLinkEditor(Toolkit().DataLinksFolder + selectedFileName(), this);
}

void TfrmDataProviders::setDefaultClick()
{
    if (!requireSelection())
        return;
    WriteSetting(QStringLiteral("DataProvider"), m_iniTextPosision, selectedFileName());
    ListBox1->viewport()->update();
}

void TfrmDataProviders::deleteClick()
{
    if (!requireSelection())
        return;
    const QString name = selectedFileName();
    if (AskYesNo(QStringLiteral("Radera DataProvider-filen ") + name) != mrYes)
        return;
    QFile::remove(Toolkit().DataLinksFolder + name);
    RefreshList(QString());
}

void TfrmDataProviders::okClick()
{
    if (!requireSelection())
        return;
    Toolkit().ConnectionString.clear();
    accept();
}
