#include "platform/Assert.h"

EAssertionFailed::EAssertionFailed(const QString& message)
    : m_message(message)
    , m_what(message.toStdString())
{
}

void Assert(bool condition, const char* message)
{
    if (!condition)
        throw EAssertionFailed(QString::fromUtf8(message));
}

void Assert(bool condition, const QString& message)
{
    if (!condition)
        throw EAssertionFailed(message);
}
