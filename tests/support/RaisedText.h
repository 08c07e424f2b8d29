// What a call raised, for tests of the messages the program shows.
#pragma once

#include "platform/Assert.h"
#include "platform/Exception.h"

#include <QString>

// The message of what f raised, or "" when it raised nothing.
template <class F>
QString RaisedText(F&& f)
{
    try {
        f();
    } catch (const EAssertionFailed& error) {
        return error.Message();
    } catch (const Exception& error) {
        return error.Message();
    }
    return QString();
}
