#include "tests/support/OnLineProgram.h"

#include "datalink/KQStatusPanel.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/Wait.h"

#include <functional>

OnLineProgram::OnLineProgram()
{
    TKQStatusPanel::AddPanel(&bar, 200);
    link = std::make_unique<TKQServer>();
    link->SetRunMode(TKRunMode::Hidden);
    link->StatusPanel()->SetStatusBar(&bar);
    link->Loaded();
    control = std::make_unique<TKQDatorelControl>();
    control->StatusPanel()->SetStatusBar(&bar);
    control->SetOnCommunicating([this](TObject* sender) {
        if (sender == control.get())
            ++communicating;
    });
}

void OnLineProgram::Prepare()
{
    link->NetworkDefFiles() << ServerProcess::DefaultNetwork();
    link->SetServerName(QStringLiteral("URQVDatorel"));
    control->SetServer(link.get());
    control->SetIdentifier(ServerProcess::Topic());
    control->Loaded();
}

bool OnLineProgram::GoOnLine()
{
    Prepare();
    return Harness::WaitFor([this] { return communicating > 0; }, Patience);
}

QString OnLineProgram::Read(const QString& name)
{
    // Released also when reading raises.
    const std::unique_ptr<TKQItem, std::function<void(TKQItem*)>> item(
        control->GetItem(name), [&](TKQItem*) { control->ReleaseItem(name); });
    return item->Value().toString();
}
