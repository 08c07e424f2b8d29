#include "app/ServiceRules.h"

#include "app/EditorWindow.h"
#include "controls/KQBoundControl.h"
#include "controls/KQCheckBox.h"
#include "controls/KQEnumComboBox.h"
#include "controls/KQItemSpy.h"
#include "controls/KQToggleButton.h"
#include "controls/KSpinEdit.h"
#include "datalink/KQDevice.h"
#include "platform/Assert.h"

#include <functional>

namespace {

QString Two(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// Settings only Program mode may change, by item.
QStringList ConfigurationOnly()
{
    QStringList items{"CUSTOMSTRING_1",           "CUSTOMSTRING_2",           "CUSTOMSTRING_3",
                      "C_APPL.TURB_TYPE.IN",      "C_APPL.APPL_TYPE.IN",      "C_APPL.RL_MODE.IN",
                      "C_APPL.AUX_CONF.IN",       "C_APPL.CASC_CONF.IN",      "C_SPDSETPT.OSPD_LIMIT.TUNE",
                      "C_GENLOGIC.DROOP_CONF.IN", "C_SPD_CTRL.NUM_TEETH.IN",  "C_SPD_CTRL.GEAR_RATIO.IN",
                      "C_SPD_CTRL.SPD_1_CONF.IN", "C_SPD_CTRL.SPD_2_CONF.IN", "C_SPD_CTRL.SPD_3_CONF.IN",
                      "C_SPD_CTRL.SPD_4_CONF.IN", "C_DRIVER.ACT1_CONF.IN",    "C_DRIVER.ACT2_CONF.IN",
                      "I_V1_SCALE.MIN_INIT.TUNE", "I_V1_SCALE.MX_INIT.TUNE",  "I_V2_SCALE.MIN_INIT.TUNE",
                      "I_V2_SCALE.MX_INIT.TUNE",  "C_DRIVER.DUAL_COIL1.IN",   "C_DRIVER.DUAL_COIL2.IN_1",
                      "C_DRIVER.ACT1_REV.IN",     "C_DRIVER.ACT2_REV.IN_1",   "C_AUX.USE_KW_IN.IN",
                      "C_CASC.USE_KW_IN.IN",      "C_AUX.INVERT_AUX.IN",      "C_CASC.INVERT_CAS.IN",
                      "C_IDLE_RTD.IDL_RTD.B_TO_STR", "D_AUTOSTAT.AUTO_STRT.B_TO_STR"};
    for (int input = 1; input <= 8; ++input)
        items << QStringLiteral("C_ANIN%1.ANIN_CONF.IN").arg(input);
    for (int input = 5; input <= 24; ++input)
        items << "C_CONT_IN.C_IN_" + Two(input) + ".IN";
    return items;
}

// Settings that lock while a trigger (a spy, or an item) reads the value given.
struct TStateLockRow {
    QString trigger;
    bool lockedWhen;
    QStringList items;
};
QList<TStateLockRow> StateLocks()
{
    QStringList forced;
    for (int relay = 1; relay <= 12; ++relay)
        forced << QStringLiteral("J_RELAYS.OUT%1.NO").arg(relay);
    return {
        // The turbine runs: no start settings, no relay forcing and no steam map test.
        {"KSpyNotShutDown", true,
         {"C_START.START_CONF.IN", "C_START.TO_RATED.IN", "C_START.USE_INITV1.IN", "J_RELAYS.RLY_TEST.IN",
          "C_START.TRIP_ENERG.IN", "E_MAPPRIOR.MAP_TEST.IN_1", "E_MAPPRIOR.S_STROKE.TUNE",
          "E_MAPPRIOR.P_STROKE.TUNE", "E_MAPPRIOR.PRSPRIORTY.NO"}},
        {"KSpyCriticalSpeedOk", false, {"C_CRIT_SPD.USE_BAND1.IN", "C_CRIT_SPD.USE_BAND2.IN"}},
        {"J_RELAYS.ENBL_FORCE.AND", false, forced},
    };
}

// Parts shown while a trigger (a spy, or an item) reads true, or a value other than 1 ("Not Used").
enum class TShownWhen { True, Used };
struct TShownRow {
    QString trigger;
    TShownWhen when;
    QStringList parts;
};
QList<TShownRow> ShownParts()
{
    constexpr TShownWhen True = TShownWhen::True;
    QList<TShownRow> rows{
        {"KSpyUnderspeedRelay", True, {"PUnderspeed"}},
        {"KSpyRemoteSpeed", True, {"GRemoteSpeed"}},
        {"KSpySyncLoadShare", True, {"GSyncLoadShare"}},
        {"KSpyKwInput", True, {"GKwInputs"}},
        {"KSpyLoadShareInput", True, {"GLoadShareInputs"}},
        {"KSpyRemoteExtraction", True, {"GXRemote", "GARemote", "GXARemote"}},
        {"KSpyExtractionInput", True, {"GXInputs", "GAInputs", "GXAInputs"}},
        {"KSpyDecoupledHp", True, {"GXMInlet", "GAMInlet", "GXAMInlet"}},
        {"KSpyDecoupledLp", True, {"GXMExhaust", "GAMExhaust", "GXAMExhaust"}},
        {"KSpyRemoteCascade", True, {"GRemoteCascade"}},
        {"KSpyCascadeInput", True, {"GCascadeInputs"}},
        {"KSpyRemoteAux", True, {"GRemoteAux"}},
        {"KSpyAuxInput", True, {"GAuxInputs"}},
        {"D_SPDSETPT.SYNC_RATE.IN_3", True, {"PSyncRate"}},
        {"C_SPD_CTRL.USE_TIMER.IN", True, {"POverrideTime"}},
        {"E_MAPPRIOR.MAP_TEST.IN_1", True, {"CXMPriority", "CAMPriority", "CXAMPriority"}},
        {"C_APPL.USE_LCLRMT.IN", True,
         {"PLocalRemoteContacts", "PLocalRemote1", "PLocalRemote2", "PLocalRemoteSioA3", "PLocalRemoteSioB3"}},
    };
    for (int relay = 3; relay <= 12; ++relay)
        rows.append({"KSpyRelay" + Two(relay), TShownWhen::Used, {"PRelayTest" + Two(relay)}});
    for (int input = 5; input <= 24; ++input)
        rows.append({"C_CONT_IN.C_IN_" + Two(input) + ".IN", TShownWhen::Used, {"KContactInput" + Two(input)}});
    return rows;
}

// The suffix that names a spin edit's hold box after the spin edit.
const QString HoldSuffix = QStringLiteral("Hold");

} // namespace

TServiceRules::TServiceRules(TEditorWindow& editor) : QObject(&editor), window(editor)
{
    for (QWidget* control : window.findChildren<QWidget*>())
        if (dynamic_cast<TKQBoundControl*>(control))
            bound.insert(control->property("ItemName").toString(), control);
    FollowStateLocks();
    FollowShownParts();
    FollowHoldBoxes();
    FollowCalibration();
    FollowSioChannels();
    FollowModbusScaleFactors();
}

template <class T>
T* TServiceRules::Part(const QString& name) const
{
    return window.Part<T>(name);
}

QList<QWidget*> TServiceRules::ControlsOf(const QString& item) const
{
    const QList<QWidget*> controls = bound.values(item);
    if (controls.isEmpty())
        throw EAssertionFailed(QStringLiteral("Service mode: no control shows %1").arg(item));
    return controls;
}

TKQItemSpy* TServiceRules::Trigger(const QString& name)
{
    if (!name.contains(u'.'))
        return Part<TKQItemSpy>(name);
    auto* device = dynamic_cast<TKQDevice*>(ControlsOf(name).first()->property("Device").value<QObject*>());
    return TKQItemSpy::Following(&window, device, name);
}

void TServiceRules::LockConfigurationOnly()
{
    for (const QString& item : ConfigurationOnly())
        for (QWidget* control : ControlsOf(item)) {
            dynamic_cast<TKQBoundControl*>(control)->SwitchViewOnly(true);
            UpdateCMLock(control, true);
        }
}

void TServiceRules::UpdateCMLock(QWidget* control, bool lock)
{
    const int tag = control->property("Tag").toInt();
    control->setProperty("Tag", lock ? tag | ConfigurationLock : tag & ~0xFF00);
}

void TServiceRules::FollowStateLocks()
{
    for (const TStateLockRow& row : StateLocks()) {
        TStateLock lock{Trigger(row.trigger), row.lockedWhen, {}};
        for (const QString& item : row.items)
            lock.controls << ControlsOf(item);
        stateLocks << lock;
    }
    for (int i = 0; i < stateLocks.size(); ++i)
        TFormWindow::Follow(this, stateLocks[i].spy, &TKQItemSpy::OnValueChange,
                            [this, i] { ApplyStateLock(stateLocks[i]); });
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

void TServiceRules::FollowShownParts()
{
    for (const TShownRow& row : ShownParts()) {
        TKQItemSpy* spy = Trigger(row.trigger);
        QList<QWidget*> parts;
        for (const QString& name : row.parts)
            parts << Part(name);
        const TShownWhen when = row.when;
        TFormWindow::Follow(this, spy, &TKQItemSpy::OnValueChange, [spy, parts, when] {
            if (!spy->HasValue())
                return;
            const bool shown = when == TShownWhen::True ? TFormWindow::SpyBool(spy) : TFormWindow::SpyInt(spy) != 1;
            for (QWidget* part : parts)
                TFormWindow::Show(part, shown);
        });
    }
}

void TServiceRules::FollowHoldBoxes()
{
    // A hidden hold box keeps listening to its hold item (shown and hidden as
    // a plain widget), so that it appears whenever the control holds the value.
    for (TKQCheckBox* hold : window.findChildren<TKQCheckBox*>()) {
        if (!hold->objectName().endsWith(HoldSuffix))
            continue;
        auto* tunable = Part<TKSpinEdit>(hold->objectName().chopped(HoldSuffix.size()));
        connect(tunable, &TKSpinEdit::OnChangeValue, hold, [hold] {
            if (hold->isChecked())
                return;
            hold->setVisible(true);
            hold->SetChecked(true);
        });
        connect(hold, &TKQCheckBox::OnValueChange, hold, [hold] { hold->setVisible(hold->isChecked()); });
    }
}

void TServiceRules::FollowCalibration()
{
    // Each analog readout: calibration enables its go-to-minimum and go-to-maximum
    // buttons, and pressing one of those releases the other.
    const auto button = [this](const QString& item) {
        return qobject_cast<TKQToggleButton*>(ControlsOf(item).first());
    };
    for (int readout = 1; readout <= 4; ++readout) {
        const QString block = QStringLiteral("A_AN_OUT%1.").arg(readout);
        TKQToggleButton* calibrate = button(block + "CALIB_AO.IN_2");
        TKQToggleButton* minimum = button(block + "CALIB_MIN.IN_2");
        TKQToggleButton* maximum = button(block + "CALIB_MAX.IN_2");
        Assert(calibrate && minimum && maximum, "Service mode: readout calibration needs toggle buttons");
        const auto enable = [calibrate, minimum, maximum] {
            if (!calibrate->HasValue() || !minimum->HasValue() || !maximum->HasValue())
                return;
            minimum->SetEnabled(calibrate->Value());
            maximum->SetEnabled(calibrate->Value());
        };
        for (TKQToggleButton* part : {calibrate, minimum, maximum})
            TFormWindow::Follow(this, part, &TKQToggleButton::OnValueChange, enable);
        const auto releases = [this](TKQToggleButton* pressed, TKQToggleButton* other) {
            connect(pressed, &TKQToggleButton::OnMouseDown, this, [other](QObject*, Qt::MouseButton button) {
                if (button == Qt::LeftButton && other->HasValue())
                    other->SetValue(false);
            });
        };
        releases(minimum, maximum);
        releases(maximum, minimum);
    }
}

void TServiceRules::FollowSioChannels()
{
    // The type of SIO-A channel 4 and of SIO-B channel 3: RQV takes a baud rate, Modbus its settings.
    const struct {
        const char* spy;
        const char* baud;
        const char* modbus;
    } channels[] = {{"KSpySioAPort4", "EBaudSioA4", "PSioAPort4Modbus"},
                    {"KSpySioBPort3", "EBaudSioB3", "PSioBPort3Modbus"}};
    for (const auto& channel : channels) {
        auto* spy = Part<TKQItemSpy>(QLatin1String(channel.spy));
        QWidget* baud = Part(QLatin1String(channel.baud));
        QWidget* modbus = Part(QLatin1String(channel.modbus));
        TFormWindow::Follow(this, spy, &TKQItemSpy::OnValueChange, [spy, baud, modbus] {
            const int type = TFormWindow::SpyInt(spy);
            if (type > 3)
                return;
            TFormWindow::Show(baud, type == 3);
            TFormWindow::Show(modbus, type == 2);
        });
    }
}

void TServiceRules::FollowModbusScaleFactors()
{
    // Offered while a CPU port carries Modbus.
    QWidget* scale = Part("GModbusScale");
    auto* port1 = Trigger(QStringLiteral("C_COMM.PORTA_CONF.IN"));
    auto* port2 = Trigger(QStringLiteral("C_COMM.PORTB_CONF.IN"));
    auto* disable = Part<TKQCheckBox>("CDisableSioB");
    auto* sioB = Part<TKQItemSpy>("KSpySioB");
    TFormWindow::Follow(this, port1, &TKQItemSpy::OnValueChange, [scale, port1, port2] {
        const int type = TFormWindow::SpyInt(port1);
        if (type == 2)
            TFormWindow::Show(scale, true);
        else if (type < 2 && port2->HasValue())
            TFormWindow::Show(scale, TFormWindow::SpyInt(port2) == 2);
    });
    TFormWindow::Follow(this, port2, &TKQItemSpy::OnValueChange, [scale, port1, port2, disable, sioB] {
        const int type = TFormWindow::SpyInt(port2);
        if (type == 2)
            TFormWindow::Show(scale, true);
        else if (type < 2 && TFormWindow::SpyInt(port1) != 2
                 && (disable->isChecked() || (sioB->HasValue() && !TFormWindow::SpyBool(sioB))))
            TFormWindow::Show(scale, false);
    });
}
