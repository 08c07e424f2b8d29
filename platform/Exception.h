// Run-time failures carry the message that is shown to the operator.
#pragma once

#include <QString>

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(const QString& message) : m_message(message), m_what(message.toStdString()) {}

    const QString& Message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    QString m_message;
    std::string m_what;
};

// Shows an exception that no operator command caught, as the application's
// default handler does: an error dialog with its message.
void ShowException(const std::exception& error);
