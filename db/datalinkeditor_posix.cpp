#include "db/datalinkeditor.h"

#include "db/datalinkfile.h"
#include "toolkit/dialogs.h"
#include "toolkit/settings.h"
#include "widgets/prepareform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The program's own editor of a data-link file's init string.
class DataLinkEditor final : public QDialog
{
public:
    DataLinkEditor(const QString &path, QWidget *parent) : QDialog(parent), m_path(path)
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("Egenskaper för datalänk"));
        setObjectName(QStringLiteral("DataLinkEditor"));

        m_provider = new QComboBox(this);
        m_provider->setObjectName(QStringLiteral("Provider"));
        m_provider->setEditable(true);
        m_provider->addItems({QStringLiteral("SQLOLEDB.1"), QStringLiteral("MSOLEDBSQL"),
                              QStringLiteral("SQLNCLI11"), QStringLiteral("PostgreSQL"),
                              QStringLiteral("SQLite")});
        m_server = new QLineEdit(this);
        m_server->setObjectName(QStringLiteral("Server"));
        m_database = new QLineEdit(this);
        m_database->setObjectName(QStringLiteral("Database"));
        m_user = new QLineEdit(this);
        m_user->setObjectName(QStringLiteral("User"));
        m_password = new QLineEdit(this);
        m_password->setObjectName(QStringLiteral("Password"));
        m_password->setEchoMode(QLineEdit::Password);
        m_integrated = new QCheckBox(QStringLiteral("Använd Windows inloggning"), this);
        m_integrated->setObjectName(QStringLiteral("IntegratedSecurity"));
        connect(m_integrated, &QCheckBox::toggled, this, [this](bool on) {
            m_user->setEnabled(!on);
            m_password->setEnabled(!on);
        });

        const DataLinkSettings current = DataLinkSettingsOf(
            ReadIniValue(path, QStringLiteral("oledb"), QStringLiteral("Provider")).prepend(QStringLiteral("Provider=")));
        if (!current.provider.isEmpty())
            m_provider->setCurrentText(current.provider);
        m_server->setText(current.server);
        m_database->setText(current.database);
        m_user->setText(current.user);
        m_password->setText(current.password);
        m_integrated->setChecked(current.integratedSecurity);

        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Avbryt"));
        connect(buttons, &QDialogButtonBox::accepted, this, &DataLinkEditor::save);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

        auto *form = new QFormLayout(this);
        form->addRow(QStringLiteral("Leverantör:"), m_provider);
        form->addRow(QStringLiteral("Server:"), m_server);
        form->addRow(QStringLiteral("Databas:"), m_database);
        form->addRow(m_integrated);
        form->addRow(QStringLiteral("Användarnamn:"), m_user);
        form->addRow(QStringLiteral("Lösenord:"), m_password);
        form->addRow(buttons);
        PrepareForm(this);
    }

private:
    void save()
    {
        DataLinkSettings settings;
        settings.provider = m_provider->currentText().trimmed();
        settings.server = m_server->text().trimmed();
        settings.database = m_database->text().trimmed();
        settings.integratedSecurity = m_integrated->isChecked();
        if (!settings.integratedSecurity) {
            settings.user = m_user->text();
            settings.password = m_password->text();
        }
        QString error;
        if (!WriteDataLinkFile(m_path, BuildInitString(settings), &error)) {
            ShowError(QStringLiteral("Det gick inte att spara datalänken ") + m_path
                      + QStringLiteral("!\r\r") + error);
            return;
        }
        accept();
    }

    QString m_path;
    QComboBox *m_provider;
    QLineEdit *m_server;
    QLineEdit *m_database;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QCheckBox *m_integrated;
};

} // namespace

void OpenDataLinkEditor(const QString &path, QWidget *parent)
{
    auto *editor = new DataLinkEditor(path, parent);
    editor->setWindowModality(Qt::ApplicationModal);
    editor->show();
}
