#include "platform/Exception.h"

#include "platform/dialogs/Dialogs.h"

void ShowException(const std::exception& error)
{
    const auto* own = dynamic_cast<const Exception*>(&error);
    MessageDlg(own ? own->Message() : QString::fromUtf8(error.what()), TMsgDlgType::mtError, mbOK);
}
