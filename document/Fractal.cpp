#include "document/Fractal.h"

FractalHeader::FractalHeader()
    : Type(-1), Subtype(0), Width(0), Height(0), DisplayDepth(0)
{
}

Fractal::Fractal()
    : header(new FractalHeader()), magic(FRACTAL_MAGIC), imageLockCount(0),
      baseFractal(NULL), task(NULL), folder(NULL)
{
}

Fractal::~Fractal()
{
    magic = 0;
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
