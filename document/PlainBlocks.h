// The parameter blocks of the types without formulas: plasma, dynamic
// system, L-system, IFS and image. Field order is the row order of the
// type's parameter table; a copy shares the BigNumbers of its source until
// either writes them.
#pragma once
#include "document/ViewParameters.h"

#pragma pack(push, 4)
struct PlasmaParameters : ViewParameters {
    PlasmaParameters();
    double Sigma, H;
    int Seed, Method;
    double Anglestep, Octaves, Power, Step;
    int Passes;
};

struct DynamicSystemParameters : ViewParameters {
    DynamicSystemParameters();
    double A, B, C, X, Y, Z, Time, Delta, Alpha, Beta;
    int Drawmode, Coloring;
    double ColMult;
    int WrapAround;
};

struct LSystemParameters : ViewParameters {
    LSystemParameters();
    int MaxIter;          // rewriting steps
    char Formula[64];     // name of the L-system definition
};

struct IFSParameters : ViewParameters {
    IFSParameters();
    double Alpha, Beta, Parm1, Parm2, Parm3, Parm4;
    int MaxIter, Colormode, WrapAround;
    double ColorMult;
    char Formula[64];     // name of the IFS definition
    int Reserved;         // no table row; copied with the block
};

struct ImageParameters : ViewParameters {
    ImageParameters();
    int Reserved;         // never read
};
#pragma pack(pop)
