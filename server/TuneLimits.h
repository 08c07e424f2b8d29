// The limits the control computes for its tunable values "<prefix>.TUNE" and
// publishes as "<prefix>.LO_LIM_OUT" and "<prefix>.HI_LIM_OUT", which give the
// spin edits their range: the item's own limits, narrowed where a value must
// stay on its side of another (a hot start delay not above the cold one, the
// rated setpoint inside the governor range ...).
#pragma once

class TControlDatabase;
class TControlValues;

class TTuneLimits {
public:
    TTuneLimits(const TControlDatabase& database, TControlValues& values);

    // Writes every limit that changed; called whenever a value may have changed.
    void Publish();

private:
    const TControlDatabase& database;
    TControlValues& values;
};
