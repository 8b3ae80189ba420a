#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

// Lets the user pick, create, edit, delete and mark as default the data-link files of the
// data-link folder.
class TfrmDataProviders final : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmDataProviders(QWidget *parent = nullptr);

    // The value name under the settings section "DataProvider" that holds the default file.
    void setIniTextPosision(const QString &valueName) { m_iniTextPosision = valueName; }
    QString selectedFileName() const;

    // Fills the list with the folder's data-link files and selects `name` (ignoring case).
    void RefreshList(const QString &name);

    QListWidget *ListBox1 = nullptr;
    QPushButton *AddButton = nullptr;
    QPushButton *EditButton = nullptr;
    QPushButton *DefaultButton = nullptr;
    QPushButton *DeleteButton = nullptr;
    QPushButton *OkButton = nullptr;
    QPushButton *CancelButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString defaultFileName() const;
    bool requireSelection();
    void addClick();
    void editClick();
    void setDefaultClick();
    void deleteClick();
    void okClick();

    QString m_iniTextPosision = QStringLiteral("DefaultDataProvider");
};
