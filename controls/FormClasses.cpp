#include "controls/FormClasses.h"

#include "controls/K4812SpinEdit.h"
#include "controls/K4812SpinTune.h"
#include "controls/KAccessible.h"
#include "controls/KEnumComboBox.h"
#include "controls/KMomentaryButton.h"
#include "controls/KOneShotButton.h"
#include "controls/KQBoxLabel.h"
#include "controls/KQCheckBox.h"
#include "controls/KQEnumComboBox.h"
#include "controls/KQForms.h"
#include "controls/KQItemSpy.h"
#include "controls/KQLabel.h"
#include "controls/KQMomentaryButton.h"
#include "controls/KQNumberEdit.h"
#include "controls/KQOneShotButton.h"
#include "controls/KQSpinEdit.h"
#include "controls/KQStatusText.h"
#include "controls/KQStringEdit.h"
#include "controls/KQToggleButton.h"
#include "controls/KSpinEdit.h"
#include "controls/KStatusText.h"
#include "controls/KToggleButton.h"

#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QPushButton>

namespace {

QHash<QString, TFormClass>& Registry()
{
    static QHash<QString, TFormClass> classes;
    return classes;
}

} // namespace

void FormClasses::Register(const TFormClass& formClass)
{
    Registry().insert(formClass.name, formClass);
}

const TFormClass* FormClasses::Find(const QString& name)
{
    const auto found = Registry().constFind(name);
    return found == Registry().constEnd() ? nullptr : &found.value();
}

QStringList FormClasses::Names()
{
    QStringList names = Registry().keys();
    names.sort();
    return names;
}

void RegisterKQFormsClasses()
{
    FormClasses::Register<TKQForm>();
    FormClasses::Register<TKQPanel>();
    FormClasses::Register<TKQGroupBox>();
    FormClasses::Register<TKQScrollBox>();
    FormClasses::Register<TKQTabSheet>();
    FormClasses::Register<TKQPageControl>();
}

void RegisterPlainClasses()
{
    InstallButtonAccessibility();
    FormClasses::Register<QLabel>();
    FormClasses::Register<QFrame>();
    FormClasses::Register<QPushButton>();
    FormClasses::Register<QListWidget>();
    FormClasses::Register<QLineEdit>();
}

void RegisterAllFormClasses()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;

    RegisterPlainClasses();
    RegisterKQFormsClasses();
    // One line per control unit.
    RegisterKSpinEditClasses();
    RegisterKQSpinEditClasses();
    RegisterK4812SpinEditClasses();
    RegisterK4812SpinTuneClasses();
    RegisterKEnumComboBoxClasses();
    RegisterKQEnumComboBoxClasses();
    RegisterKOneShotButtonClasses();
    RegisterKQOneShotButtonClasses();
    RegisterKMomentaryButtonClasses();
    RegisterKQMomentaryButtonClasses();
    RegisterKToggleButtonClasses();
    RegisterKQToggleButtonClasses();
    RegisterKQBoxLabelClasses();
    RegisterKQLabelClasses();
    RegisterKStatusTextClasses();
    RegisterKQStatusTextClasses();
    RegisterKQCheckBoxClasses();
    RegisterKQStringEditClasses();
    RegisterKQNumberEditClasses();
    FormClasses::Register<TKQItemSpy>();
}
