// Stand-in for the turbine model until its own unit exists: a turbine that
// stays shut down. The build leaves this file out once TurbineModel.cpp exists.
#include "server/TurbineModel.h"

#include <memory>

struct TTurbineModel::Private {
};

namespace {
// Works whichever way the header holds its private part.
template <typename P> void Release(P*& d) { delete d; }
template <typename P> void Release(std::unique_ptr<P>&) {}
}

TTurbineModel::TTurbineModel(TControlValues&)
    : d(new Private)
{
}

TTurbineModel::~TTurbineModel()
{
    Release(d);
}

void TTurbineModel::Start()
{
}

void TTurbineModel::Step(double)
{
}

void TTurbineModel::Written(const QString&)
{
}

bool TTurbineModel::IsShutDown() const
{
    return true;
}
