// The control's relay outputs: what it drives on relays 1 to 12 from the
// turbine's state, or, while relay forcing is enabled, what the force boxes and
// test buttons ask for. Written through the model's outputs, so only changes
// reach the clients.
#pragma once

class TControlValues;
class TTurbineOutputs;

namespace RelayOutputs {

void Publish(const TControlValues& values, TTurbineOutputs& out);

} // namespace RelayOutputs
