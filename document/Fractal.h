#pragma once
#include <windows.h>
#include "foundation/List.h"
#include "foundation/LiveRegister.h"
#include "foundation/bignum/BigNumber.h"
#include "compiler/CompileHost.h"

class FractalTask;
class FractalFolder;

// Value of Fractal::magic while the object lives.
const unsigned int FRACTAL_MAGIC = 0xBEEFF00Du;

// The record common to fractals of every type.
struct FractalHeader {
    FractalHeader();

    int Type;           // FractalType; -1 before a type is given
    int Subtype;
    int Width;          // image size in pixels
    int Height;
    int DisplayDepth;   // bits per pixel of the image: 8 or 24
};

// The first part of every type's parameter block: the shown area of the
// complex plane (corners in arbitrary precision), its rotation, an
// inversion and the colour mode. A packed record: the parameter tables walk
// it field by field (a BigNumber is one handle, 4 bytes).
#pragma pack(push, 4)
struct ViewParameters {
    ViewParameters();

    BigNumber TopLeftR, TopLeftI;
    BigNumber BottomRightR, BottomRightI;
    BigNumber TopRightR, TopRightI;   // used only when Stretch is 1
    int Stretch;                      // 1: parallelogram of the three corners
    double RotateX, RotateY;          // rotation centre in percent
    double Angle;                     // degrees
    double InvRadius;
    BigNumber InvCenterX, InvCenterY;
    int Inversion;
    int ColormodeType;
    double ColormodeSpeed, ColormodeAccel;
    double ColorSmoothing;
};
#pragma pack(pop)

// One fractal: its parameters and, while its window is open, its task.
class Fractal : public ListNode, public CompileHost {
public:
    Fractal();
    virtual ~Fractal();

    // What the compiler and the formula lookup read of the fractal.
    int HostFractalType() const override;
    bool HostViewWidth(double* width) const override;
    volatile int* HostCommandWord() override;
    const char* HostName() const override;
    const char* HostBaseName() const override;

    // Row length in pixels of the task's per-pixel buffers: Width + 1.
    int GetBufferWidth() const;
    // Row length in bytes of an 8-bit image: the buffer width raised to the
    // next multiple of 4, (Width + 4) & ~3.
    int GetImageStride() const;

    // The image lock used around painting and copying between threads:
    // waits, sleeping 10 ms between tries, until it is free, then takes it.
    void Lock();
    void Unlock();

    FractalHeader* header;          // owned
    unsigned int magic;             // FRACTAL_MAGIC while alive, 0 once destroyed
    volatile LONG imageLockCount;   // 0 free, 1 taken
    Fractal* baseFractal;           // the layered fractal of a layer, else null
    FractalTask* task;              // the calculation context while the window is open
    FractalFolder* folder;          // the folder holding the fractal
    // The type's parameter block, owned (deleted with the fractal); every
    // block begins with ViewParameters. Null when the type has none.
    ViewParameters* typeParameters;
};

// Every Fractal between its constructor and its destructor: the test of
// pointers that worker threads post.
LiveRegister& LiveFractals();
