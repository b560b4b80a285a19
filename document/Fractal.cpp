#include "document/Fractal.h"

#include "calc/FractalTask.h"

LiveRegister& LiveFractals()
{
    // Made on first use: fractals may be built by static initialisers.
    static LiveRegister live;
    return live;
}

FractalHeader::FractalHeader()
    : Type(-1), Subtype(0), Width(0), Height(0), DisplayDepth(0)
{
}

ViewParameters::ViewParameters()
    : Stretch(0), RotateX(50), RotateY(50), Angle(0), InvRadius(1.0), Inversion(0), ColormodeType(0),
      ColormodeSpeed(1.0), ColormodeAccel(1.0), ColorSmoothing(0.0)
{
}

Fractal::Fractal()
    : header(new FractalHeader()), magic(FRACTAL_MAGIC), imageLockCount(0),
      baseFractal(NULL), task(NULL), folder(NULL), typeParameters(NULL)
{
    LiveFractals().Add(this);
}

Fractal::~Fractal()
{
    LiveFractals().Remove(this);
    magic = 0;
    delete typeParameters;
    typeParameters = NULL;
    delete header;
    header = NULL;
}

int Fractal::GetBufferWidth() const
{
    return header->Width + 1;
}

int Fractal::GetImageStride() const
{
    return (header->Width + 4) & ~3;
}

void Fractal::Lock()
{
    while (InterlockedCompareExchange(&imageLockCount, 1, 0) != 0)
        Sleep(10);
}

void Fractal::Unlock()
{
    InterlockedExchange(&imageLockCount, 0);
}

int Fractal::HostFractalType() const
{
    return header != NULL ? header->Type : -1;
}

bool Fractal::HostViewWidth(double* width) const
{
    if (typeParameters == NULL)
        return false;
    // In arbitrary precision: a deep zoom's corners differ far below what
    // their doubles could tell apart.
    *width = (typeParameters->BottomRightR - typeParameters->TopLeftR).ToDouble();
    return true;
}

volatile int* Fractal::HostCommandWord()
{
    return task != NULL ? &task->command : NULL;
}

const char* Fractal::HostName() const
{
    return name;
}

const char* Fractal::HostBaseName() const
{
    return baseFractal != NULL ? baseFractal->name : NULL;
}
