// The unit-cube map of the attractor's "Show Constructors": one compiled
// copy for the whole run, made by the first assembly that needs it even
// when several calculation threads ask at the same moment. It comes from
// the entry "unitcube" of AttractorConstructor.sfm, or from the built-in
// source below when no formula file supplies it.
#pragma once

#include "compiler/CompileHost.h"

class NodeList;

// What the formula compiler asks of the attractor it compiles for, when
// there is no fractal (tools, the run-wide unit cube).
class AttractorCompileHost : public CompileHost {
public:
    int HostFractalType() const override { return 18; }
    bool HostViewWidth(double*) const override { return false; }
    volatile int* HostCommandWord() override { return nullptr; }
    const char* HostName() const override { return "Unit Cube"; }
    const char* HostBaseName() const override { return nullptr; }
};

extern const char kBuiltInUnitCube[];

// The compiled functions of the unit cube (null when neither source
// compiles); the list lives until the process ends.
NodeList* AttractorUnitCubeFunctions();

// What makes the list (the default looks the entry up and compiles it).
// Setting a maker forgets a list made before; answers the previous maker.
typedef NodeList* (*UnitCubeMaker)();
UnitCubeMaker SetAttractorUnitCubeMaker(UnitCubeMaker maker);
