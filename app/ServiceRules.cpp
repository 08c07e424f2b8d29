#include "app/ServiceRules.h"

#include "app/EditorWindow.h"
#include "controls/KQBoundControl.h"
#include "controls/KQCheckBox.h"
#include "controls/KQItemSpy.h"
#include "controls/KSpinEdit.h"
#include "platform/Assert.h"

namespace {

// The lock mark in a control's tag: the view-only switch leaves such a control monitor-only.
constexpr int ConfigurationLock = 0xDC00;

// Settings only Program mode may change, by item.
constexpr const char* ConfigurationOnly[] = {
    "CUSTOMSTRING_1",           "CUSTOMSTRING_2",           "CUSTOMSTRING_3",           "C_APPL.TURB_TYPE.IN",
    "C_APPL.APPL_TYPE.IN",      "C_APPL.RL_MODE.IN",        "C_APPL.AUX_CONF.IN",       "C_APPL.CASC_CONF.IN",
    "C_SPDSETPT.OSPD_LIMIT.TUNE", "C_GENLOGIC.DROOP_CONF.IN", "C_SPD_CTRL.NUM_TEETH.IN", "C_SPD_CTRL.GEAR_RATIO.IN",
    "C_SPD_CTRL.SPD_1_CONF.IN", "C_SPD_CTRL.SPD_2_CONF.IN", "C_SPD_CTRL.SPD_3_CONF.IN", "C_SPD_CTRL.SPD_4_CONF.IN",
    "C_IDLE_RTD.IDL_RTD.B_TO_STR", "D_AUTOSTAT.AUTO_STRT.B_TO_STR",
};

// Settings that lock while a spy reads the value given, by item.
struct TStateLockRow {
    const char* spy;
    bool lockedWhen;
    std::initializer_list<const char*> items;
};
const TStateLockRow StateLocks[] = {
    // The turbine runs: no start settings and no steam map test.
    {"KSpyNotShutDown", true,
     {"C_START.START_CONF.IN", "C_START.TO_RATED.IN", "C_START.USE_INITV1.IN", "E_MAPPRIOR.MAP_TEST.IN_1",
      "E_MAPPRIOR.S_STROKE.TUNE", "E_MAPPRIOR.P_STROKE.TUNE", "E_MAPPRIOR.PRSPRIORTY.NO"}},
    {"KSpyCriticalSpeedOk", false, {"C_CRIT_SPD.USE_BAND1.IN", "C_CRIT_SPD.USE_BAND2.IN"}},
};

// Parts shown while a spy (or a check box) reads true.
struct TShownWhile {
    const char* trigger;
    std::initializer_list<const char*> parts;
};
const TShownWhile SpyShows[] = {
    {"KSpyUnderspeedRelay", {"PUnderspeed"}},
    {"KSpyRemoteSpeed", {"GRemoteSpeed"}},
    {"KSpySyncLoadShare", {"GSyncLoadShare"}},
    {"KSpyKwInput", {"GKwInputs"}},
    {"KSpyLoadShareInput", {"GLoadShareInputs"}},
    {"KSpyRemoteExtraction", {"GXRemote", "GARemote", "GXARemote"}},
    {"KSpyExtractionInput", {"GXInputs", "GAInputs", "GXAInputs"}},
    {"KSpyDecoupledHp", {"GXMInlet", "GAMInlet", "GXAMInlet"}},
    {"KSpyDecoupledLp", {"GXMExhaust", "GAMExhaust", "GXAMExhaust"}},
};
const TShownWhile BoxShows[] = {
    {"CUseSyncRate", {"PSyncRate"}},
    {"CUseTimer", {"POverrideTime"}},
    {"CXMTestMap", {"CXMPriority", "CAMPriority", "CXAMPriority"}},
};

// The suffix that names a spin edit's hold box after the spin edit.
const QString HoldSuffix = QStringLiteral("Hold");

} // namespace

TServiceRules::TServiceRules(TEditorWindow& editor) : QObject(&editor), window(editor)
{
    for (QWidget* control : window.findChildren<QWidget*>())
        if (dynamic_cast<TKQBoundControl*>(control))
            bound.insert(control->property("ItemName").toString(), control);
    for (const TStateLockRow& row : StateLocks) {
        TStateLock lock{window.Part<TKQItemSpy>(QLatin1String(row.spy)), row.lockedWhen, {}};
        for (const char* item : row.items)
            lock.controls << ControlsOf(QLatin1String(item));
        stateLocks << lock;
    }
    for (int i = 0; i < stateLocks.size(); ++i)
        connect(stateLocks[i].spy, &TKQItemSpy::OnValueChange, this,
                [this, i] { TFormWindow::Guarded([&] { ApplyStateLock(stateLocks[i]); }); });

    const auto parts = [this](const TShownWhile& row) {
        QList<QWidget*> found;
        for (const char* name : row.parts)
            found << window.Part<QWidget>(QLatin1String(name));
        return found;
    };
    for (const TShownWhile& row : SpyShows) {
        auto* spy = window.Part<TKQItemSpy>(QLatin1String(row.trigger));
        connect(spy, &TKQItemSpy::OnValueChange, this, [spy, shown = parts(row)] {
            if (!spy->HasValue())
                return;
            for (QWidget* part : shown)
                TFormWindow::Show(part, TFormWindow::SpyBool(spy));
        });
    }
    for (const TShownWhile& row : BoxShows) {
        auto* box = window.Part<TKQCheckBox>(QLatin1String(row.trigger));
        connect(box, &TKQCheckBox::OnValueChange, this, [box, shown = parts(row)] {
            for (QWidget* part : shown)
                TFormWindow::Show(part, box->isChecked());
        });
    }
    FollowHoldBoxes();
}

QList<QWidget*> TServiceRules::ControlsOf(const QString& item) const
{
    const QList<QWidget*> controls = bound.values(item);
    if (controls.isEmpty())
        throw EAssertionFailed(QStringLiteral("Service mode: no control shows %1").arg(item));
    return controls;
}

void TServiceRules::LockConfigurationOnly()
{
    for (const char* item : ConfigurationOnly)
        for (QWidget* control : ControlsOf(QLatin1String(item))) {
            dynamic_cast<TKQBoundControl*>(control)->SwitchViewOnly(true);
            UpdateCMLock(control, true);
        }
}

void TServiceRules::UpdateCMLock(QWidget* control, bool lock)
{
    const int tag = control->property("Tag").toInt();
    control->setProperty("Tag", lock ? tag | ConfigurationLock : tag & ~0xFF00);
}

void TServiceRules::ApplyStateLock(const TStateLock& lock)
{
    if (!lock.spy->HasValue())
        return;
    const bool locked = TFormWindow::SpyBool(lock.spy) == lock.lockedWhen;
    const bool viewOnly = window.ViewOnly();
    for (QWidget* control : lock.controls) {
        dynamic_cast<TKQBoundControl*>(control)->SwitchViewOnly(locked || viewOnly);
        UpdateCMLock(control, locked);
    }
}

void TServiceRules::FollowHoldBoxes()
{
    // A hidden hold box keeps listening to its hold item (shown and hidden as
    // a plain widget), so that it appears whenever the control holds the value.
    for (TKQCheckBox* hold : window.findChildren<TKQCheckBox*>()) {
        if (!hold->objectName().endsWith(HoldSuffix))
            continue;
        auto* tunable = window.Part<TKSpinEdit>(hold->objectName().chopped(HoldSuffix.size()));
        connect(tunable, &TKSpinEdit::OnChangeValue, hold, [hold] {
            if (hold->isChecked())
                return;
            hold->setVisible(true);
            hold->SetChecked(true);
        });
        connect(hold, &TKQCheckBox::OnValueChange, hold, [hold] { hold->setVisible(hold->isChecked()); });
    }
}
