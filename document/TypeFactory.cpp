// The common view part of every block, the blocks of the types without
// formulas, and the factory that makes and releases a block by type.
#include "document/Fractal.h"
#include <string.h>
#include "document/PlainBlocks.h"
#include "document/EscapetimeParameters.h"
#include "document/QuaternionParameters.h"

ViewParameters::ViewParameters()
    : Stretch(0), RotateX(50.0), RotateY(50.0), Angle(0.0), InvRadius(1.0), Inversion(0), ColormodeType(0),
      ColormodeSpeed(1.0), ColormodeAccel(1.0), ColorSmoothing(0.0)
{
}

void ViewParameters::SetCorners(double left, double top, double right, double bottom)
{
    TopLeftR = left;
    TopLeftI = top;
    BottomRightR = right;
    BottomRightI = bottom;
    RotateX = RotateY = 50.0;
    Angle = 0.0;
}

void ViewParameters::CopyViewFrom(const ViewParameters& other)
{
    *this = other;
}

PlasmaParameters::PlasmaParameters()
    : Sigma(0.4), H(0.0), Seed(1000), Method(0), Anglestep(37.0), Octaves(7.0), Power(2.0), Step(0.5), Passes(2)
{
    SetCorners(-0.8, 0.6, 0.8, -0.6);
}

DynamicSystemParameters::DynamicSystemParameters()
    : A(10.0), B(28.0), C(2.666), X(1.0), Y(1.0), Z(1.0), Time(100.0), Delta(0.1), Alpha(0.0), Beta(0.0),
      Drawmode(0), Coloring(0), ColMult(1.0), WrapAround(1)
{
    SetCorners(-25, 54, 25, 3);
}

LSystemParameters::LSystemParameters() : MaxIter(3)
{
    SetCorners(-5, 5, 5, -5);
    memset(Formula, 0, sizeof Formula);
    strcpy(Formula, "Koch1");
}

IFSParameters::IFSParameters()
    : Alpha(0), Beta(0), Parm1(0), Parm2(0), Parm3(0), Parm4(0), MaxIter(10000), Colormode(2), WrapAround(1),
      ColorMult(1.0), Reserved(0)
{
    SetCorners(-5, 11, 5, -1);
    memset(Formula, 0, sizeof Formula);
    strcpy(Formula, "Fern");
}

ImageParameters::ImageParameters() : Reserved(0)
{
}

ViewParameters* Fractal::CreateTypeParameters(int type, int subtype)
{
    switch (type) {
    case FT_PLASMA: return new PlasmaParameters();
    case FT_DYNAMICSYSTEM: return new DynamicSystemParameters();
    case FT_LSYSTEM: return new LSystemParameters();
    case FT_IFS: return new IFSParameters();
    case FT_ESCAPETIME: return new EscapetimeParameters(this);
    case FT_LAYERED: return new LayeredParameters();
    case FT_QUATERNION: return new QuaternionParameters(this);
    case FT_IMAGE: return new ImageParameters();
    case FT_ATTRACTOR: return new AttractorParameters(this);
    default: return nullptr;
    }
}

void Fractal::FreeTypeParameters(ViewParameters* block)
{
    if (!block)
        return;
    switch (header->Type) {
    case FT_PLASMA: delete static_cast<PlasmaParameters*>(block); break;
    case FT_DYNAMICSYSTEM: delete static_cast<DynamicSystemParameters*>(block); break;
    case FT_LSYSTEM: delete static_cast<LSystemParameters*>(block); break;
    case FT_IFS: delete static_cast<IFSParameters*>(block); break;
    case FT_ESCAPETIME: delete static_cast<EscapetimeParameters*>(block); break;
    case FT_LAYERED: delete static_cast<LayeredParameters*>(block); break;
    case FT_QUATERNION: delete static_cast<QuaternionParameters*>(block); break;
    case FT_IMAGE: delete static_cast<ImageParameters*>(block); break;
    case FT_ATTRACTOR: delete static_cast<AttractorParameters*>(block); break;
    default: break;
    }
}
