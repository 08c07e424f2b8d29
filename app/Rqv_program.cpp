#include "app/Rqv_program.h"

#include "app/EditorRules.h"
#include "controls/KQForms.h"
#include "controls/KQItemSpy.h"
#include "datalink/KQDatorelControl.h"
#include "platform/dialogs/Dialogs.h"

#include <QCloseEvent>
#include <QPushButton>

namespace {

const QString TestConfigurationItem = QStringLiteral("KXSPL.TST_CONFIG.IN");
constexpr const char* HiddenAtStart[] = {"KPExtractionControl", "KPAdmissionControl", "KPExtractionSteamMap",
                                         "KPAdmissionSteamMap",  "KPExtrAdmControl",   "KPExtAdmSteamMap",
                                         "KPAuxControl",         "KPCascadeControl"};

// Which occurrences of an error a row of the error table answers.
enum class TOccurrence { Any, First, Later };

// What an error the configuration check reports points to: a page or group by
// its name, or a control by the item it is bound to (a name with a dot). The
// '#' of a target are the digits of the error number plus offset.
struct TErrorObject {
    int first;
    int last;
    TOccurrence occurrence;
    const char* target;
    const char* suffix = "";
    bool more = false;
    int offset = 0;
};

constexpr TOccurrence Any = TOccurrence::Any;
constexpr TOccurrence First = TOccurrence::First;
constexpr TOccurrence Later = TOccurrence::Later;
// The first steam map page the turbine offers.
constexpr const char* SteamMap = "";
constexpr int LastError = 84;

constexpr TErrorObject ErrorObjects[] = {
    {1, 1, Any, "KPContactInputs"},
    {76, 77, Any, "KPContactInputs"},
    {82, 82, Any, "KPContactInputs"},
    {2, 21, Any, "C_CONT_IN.C_IN_##.IN", "", false, 3},
    {22, 22, Any, "KPAnalogInputs"},
    {65, 65, Any, "KPAnalogInputs"},
    {67, 67, Any, "KPAnalogInputs"},
    {69, 69, Any, "KPAnalogInputs"},
    {80, 81, Any, "KPAnalogInputs"},
    {84, 84, Any, "KPAnalogInputs"},
    {23, 30, Any, "C_ANIN#.ANIN_CONF.IN", "", false, -22},
    {31, 40, Any, "C_RELAY##.RLY_CONF.IN", "", false, -28},
    {41, 44, Any, "C_READOUT.RO#_CONF.IN", "", false, -40},
    {45, 45, Any, "C_DRIVER.ACT2RO_SEL.IN"},
    {46, 46, Any, "C_START.START_CONF.IN"},
    {47, 47, Any, "KPSpeedControl"},
    {48, 48, Any, "C_SPD_CTRL.SPD_4_CONF.IN"},
    {49, 49, Any, "GSpeedSetpoint"},
    {75, 75, Any, "GSpeedSetpoint"},
    {50, 50, First, "C_CRIT_SPD.CRIT_RATE.TUNE", " (Check critical speed rate)", true},
    {50, 50, Later, "C_SPDSETPT.SLOW_RATE.TUNE", " (Check slow speed setpoint)"},
    {51, 51, Any, "C_CRIT_SPD.USE_BAND2.IN"},
    {52, 52, Any, "C_CRIT_SPD.BAND1_MIN.TUNE"},
    {53, 53, Any, "C_START.TO_RATED.IN"},
    {54, 54, First, "C_CRIT_SPD.BAND1_MIN.TUNE", " (Check critical band 1 minimum)", true},
    {54, 54, Later, "C_CRIT_SPD.BAND1_MAX.TUNE", " (Check critical band 1 maximum)"},
    {55, 55, First, "C_CRIT_SPD.BAND2_MIN.TUNE", " (Check critical band 2 minimum)", true},
    {55, 55, Later, "C_CRIT_SPD.BAND2_MAX.TUNE", " (Check critical band 2 maximum)"},
    {56, 56, First, "C_IDLE_RTD.IDLE_SETPT.TUNE", " (Check idle setpoint)", true},
    {56, 56, Later, "C_IDLE_RTD.RTD_SETPT.TUNE", " (Check rated setpoint)"},
    {57, 57, First, "C_IDLE_RTD.IDLE_SETPT.TUNE", " (Check idle setpoint)", true},
    {57, 57, Later, "C_SPDSETPT.MIN_GOV_SP.TUNE", " (Check minimum control speed setpoint)"},
    {58, 58, First, "C_IDLE_RTD.RTD_SETPT.TUNE", " (Check rated setpoint)", true},
    {58, 58, Later, "C_SPDSETPT.MAX_GOV_SP.TUNE", " (Check maximum control speed setpoint)"},
    {59, 59, Any, "KPStartSettings"},
    {60, 60, Any, "GAutoSequence"},
    {61, 61, Any, "C_AUTOSEQ.HI_IDLE_SP.TUNE"},
    {62, 62, Any, "C_AUTOSEQ.LO_IDLE_SP.TUNE"},
    {63, 63, First, "C_AUTOSEQ.HI_IDLE_SP.TUNE", " (Check high idle setpoint)", true},
    {63, 63, Later, "C_SPDSETPT.MIN_GOV_SP.TUNE", " (Check minimum control speed setpoint)"},
    {64, 64, Any, SteamMap},
    {66, 66, First, "KPAnalogInputs", " (Check analog inputs)", true},
    // The Extr/Adm page's box when no page with a remote-setpoint box of that item is shown.
    {66, 66, Later, "CXARemote", " (Using extraction remote setpoint?)"},
    {68, 68, First, "KPAnalogInputs", " (Check analog inputs)", true},
    {68, 68, Later, "C_RMT_CAS.USE_RMTCAS.IN", " (Using remote cascade setpoint?)"},
    {70, 70, First, "KPAnalogInputs", " (Check analog inputs)", true},
    {70, 70, Later, "C_AUX.USE_RMTAUX.IN", " (Using remote auxiliary setpoint?)"},
    {71, 71, First, "KPAnalogInputs", " (Check analog inputs)", true},
    {71, 71, Later, "C_RMT_SPD.USE_RMTSPD.IN", " (Using remote speed setpoint?)"},
    {72, 72, Any, "KPExtrAdmControl"},
    {73, 73, Any, "KPCascadeControl"},
    {74, 74, Any, "KPAuxControl"},
    {78, 79, First, "KPAnalogInputs", " (Check analog inputs)", true},
    {78, 79, Later, "KPContactInputs", " (Check contact inputs)"},
    {83, 83, Any, "C_GENLOGIC.KWMAX_LOAD.TUNE"},
};

const TErrorObject* FindErrorObject(int error, int occurrence)
{
    const TOccurrence wanted = occurrence < 2 ? TOccurrence::First : TOccurrence::Later;
    for (const TErrorObject& row : ErrorObjects)
        if (error >= row.first && error <= row.last && (row.occurrence == Any || row.occurrence == wanted))
            return &row;
    return nullptr;
}

// The target of a row for one error: its '#' replaced by the digits of error + offset.
QString TargetOf(const TErrorObject& row, int error)
{
    QString target = QString::fromLatin1(row.target);
    const int from = target.indexOf(u'#');
    if (from < 0)
        return target;
    const int width = int(target.count(u'#'));
    return target.replace(from, width, QStringLiteral("%1").arg(error + row.offset, width, 10, QChar(u'0')));
}

// Shown, or would be when its page is entered: itself and every container up
// to its page, and the page's tab.
bool OnShownPage(const QWidget* control)
{
    for (const QWidget* part = control; part; part = part->parentWidget()) {
        if (const auto* page = qobject_cast<const TKQTabSheet*>(part))
            return page->TabVisible();
        const QVariant visible = part->property("Visible");
        if (visible.isValid() ? !visible.toBool() : part->isHidden())
            return false;
    }
    return false;
}

} // namespace

TFProgramMode::TFProgramMode(TModeHost& host)
    : TEditorWindow(host, TMode::Program, QStringLiteral("Closing Program Mode"), QStringLiteral("Program Mode - "))
{
    LoadForm(QStringLiteral("Rqv_program"), {{QStringLiteral("KQDatorelControl1"), host.ControlDevice()}});
    ExitProgramModeButton = Part<QPushButton>(QStringLiteral("ExitProgramModeButton"));
    connect(ExitProgramModeButton, &QPushButton::clicked, this, &TFProgramMode::ExitProgramModeButtonClick);
    connect(Part<QPushButton>(QStringLiteral("LoadFromFileButton")), &QPushButton::clicked, this,
            [this] { Host().LoadValuesFromFile(); });
    SetUpEditor(TEditorRuleSet{});
    // Pages whose tabs wait for the rules to show them.
    for (const char* name : HiddenAtStart)
        Part<TKQTabSheet>(QLatin1String(name))->SetTabVisible(false);
    ExitProgramModeButton->setEnabled(true);
}

void TFProgramMode::ExitProgramModeButtonClick()
{
    Guarded([this] {
        if (Host().ControlInLoadFromFileState()) {
            MessageDlg(QStringLiteral("Configuration error:  The control is only partially configured.  You must "
                                      "either reset the entire control or successfully download a configuration "
                                      "file to the control."),
                       TMsgDlgType::mtWarning, mbOK);
            return;
        }
        Host().SuspendOtherAdvises();
        TKQHeldItem item(Host().ControlDevice(), TestConfigurationItem);
        item->SetValue(true);
        Host().StartConfigurationCheck();
    });
}

QObject* TFProgramMode::GetAssociatedErrorObject(int error, int occurrence, QString& suffix, bool& more) const
{
    suffix.clear();
    more = false;
    const TErrorObject* row = error >= 1 && error <= LastError ? FindErrorObject(error, occurrence) : nullptr;
    if (!row) {
        suffix = QStringLiteral(" (Unknown error!)");
        return Part<TKQTabSheet>(QStringLiteral("KPApplication"));
    }
    suffix = QString::fromLatin1(row->suffix);
    more = row->more;
    if (row->target == SteamMap)
        return SteamMapPage(suffix);
    return BoundControl(TargetOf(*row, error));
}

// A page, group or control by its name, or the control bound to an item. An
// item bound on more than one page or in more than one group gives the control
// that is shown; a named control gives way to one of the same item that is shown.
QObject* TFProgramMode::BoundControl(const QString& target) const
{
    QObject* named = target.contains(u'.') ? nullptr : Part<QObject>(target);
    if (named && named->property("ItemName").toString().isEmpty())
        return named;
    const QString item = named ? named->property("ItemName").toString() : target;
    QWidget* first = nullptr;
    for (QWidget* control : findChildren<QWidget*>()) {
        if (control->property("ItemName").toString() != item)
            continue;
        if (OnShownPage(control))
            return control;
        if (!first)
            first = control;
    }
    if (named)
        return named;
    // No control bound to the item: Part reports the missing name.
    return first ? first : Part<QObject>(target);
}

QObject* TFProgramMode::SteamMapPage(QString& suffix) const
{
    for (const char* name : {"KPAdmissionSteamMap", "KPExtAdmSteamMap", "KPExtractionSteamMap"}) {
        auto* page = Part<TKQTabSheet>(QLatin1String(name));
        if (page->TabVisible())
            return page;
    }
    suffix = QStringLiteral(" (Cannot open Steam Map Page!)");
    return Part<TKQTabSheet>(QStringLiteral("KPApplication"));
}

void TFProgramMode::closeEvent(QCloseEvent* event)
{
    if (Host().ProgramEnding()) {
        event->accept();
        return;
    }
    event->ignore();
    int answer = mrNo;
    if (Host().OpenForChange(TMode::Program) && Host().bInConfMode())
        answer = MessageDlg(QStringLiteral("Reset control before exiting program mode?"), TMsgDlgType::mtConfirmation,
                            mbYes | mbNo | mbCancel);
    if (answer == mrCancel)
        return;
    if (answer == mrYes) {
        ExitProgramModeButtonClick();
        return;
    }
    CloseThroughEndPage(event);
}
