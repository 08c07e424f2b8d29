// The page spin edit of a tunable value "<prefix>.TUNE": besides the value it
// follows the two limits the control computes for it, "<prefix>.LO_LIM_OUT"
// and "<prefix>.HI_LIM_OUT", which then give its range.
#pragma once

#include "controls/K4812SpinEdit.h"

#include <QPointer>

class TK4812SpinTune : public TK4812SpinEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TK4812SpinTune(QWidget* parent = nullptr);
    ~TK4812SpinTune() override;

    void Loaded() override;
    void ParentStateChanged(TStateFlags flags) override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    // The limit items' values once they have one, else the item's own limits.
    double GetMinValue() override;
    double GetMaxValue() override;

    // Null for names that do not end in ".TUNE".
    TKQDatorelItem* LowLimitItem() const { return limitOwner ? lowLimit : nullptr; }
    TKQDatorelItem* HighLimitItem() const { return limitOwner ? highLimit : nullptr; }

signals:
    void OnLimitChange(QObject* sender);

private:
    void LimitChanged(TObject* sender);
    void SubscribeLimits(bool subscribe);

    TKQDatorelItem* lowLimit = nullptr;
    TKQDatorelItem* highLimit = nullptr;
    QPointer<QObject> limitOwner; // the device both limit items came from
};

// Makes the unit's classes known to the form loader.
void RegisterK4812SpinTuneClasses();
