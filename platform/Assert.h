// Programming errors: a broken precondition raises EAssertionFailed with a text
// that names the class and operation, for example
// "TKListOfObject.Remove: invalid argument".
#pragma once

#include <QString>

#include <exception>
#include <string>

class EAssertionFailed : public std::exception {
public:
    explicit EAssertionFailed(const QString& message);

    const QString& Message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    QString m_message;
    std::string m_what; // UTF-8 copy for what()
};

// Raises EAssertionFailed(message) when condition is false.
void Assert(bool condition, const char* message);
void Assert(bool condition, const QString& message);
