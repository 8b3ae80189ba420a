#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// A failure of the data-access layer (driver, server or dataset rule), carrying the message to
// show. The query and connection classes throw it; callers catch it at their own boundary.
class DatabaseError : public std::exception
{
public:
    explicit DatabaseError(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8())
    {}

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
