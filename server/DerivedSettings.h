// What the control computes from its settings alone: units texts, the mirrors of
// enumerated settings that spies watch, the status texts of configured or unused
// channels and ports, and the flags that say which inputs a setting uses.
// Written through the model's outputs, so only changes reach the clients.
#pragma once

class TControlValues;
class TTurbineOutputs;

namespace DerivedSettings {

void Publish(const TControlValues& values, TTurbineOutputs& out);

} // namespace DerivedSettings
