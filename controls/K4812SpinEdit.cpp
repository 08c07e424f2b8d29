#include "controls/K4812SpinEdit.h"

#include "controls/FormClasses.h"
bool TK4812SpinEdit::LimitTypedChange()
{
    return false;
}

void RegisterK4812SpinEditClasses()
{
    FormClasses::Register<TK4812SpinEdit>();
}
