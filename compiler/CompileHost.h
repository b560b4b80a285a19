// What the compiler and the formula library need of the fractal a formula
// is compiled or looked up for. The document model's Fractal implements it;
// the formula run harness and tests implement their own, so the compiler
// stands on the foundation alone.
#pragma once

// The fractal types a formula can be compiled for, as stored in the
// fractal header's Type.
enum FractalType {
    FT_PLASMA = 6,
    FT_DYNAMICSYSTEM = 8,
    FT_LSYSTEM = 9,
    FT_IFS = 10,
    FT_ESCAPETIME = 14,
    FT_LAYERED = 15,
    FT_QUATERNION = 16,
    FT_IMAGE = 17,
    FT_ATTRACTOR = 18,
};

// Values of the calculation thread's command word. The main thread writes a
// request, the calculation thread clears it when it takes it or writes its
// answer. A compile on that thread polls the word and stops on a request.
enum FractalThreadCommand {
    FTC_QUIT = 1,
    FTC_STOP = 2,
    FTC_STOPPED = 3,
    FTC_RECALCULATE = 4,
    FTC_QUIT_DONE = 5,
    FTC_REDRAW3D = 6,
    FTC_RECOLOUR = 7,
    FTC_START = 8,
    FTC_CONTINUE = 9,
    FTC_SEARCH = 12,
};

class CompileHost {
public:
    virtual ~CompileHost() {}
    // The FractalType of the fractal; -1 before it has one.
    virtual int HostFractalType() const = 0;
    // The width of the shown area of the complex plane, taken from the
    // arbitrary-precision corners; false when the fractal has no view.
    virtual bool HostViewWidth(double* width) const = 0;
    // The command word of the fractal's calculation thread; null while the
    // fractal has no task.
    virtual volatile int* HostCommandWord() = 0;
    // The fractal's name, and that of the layered fractal it is a layer of
    // (null when it is no layer): the lookup messages name them.
    virtual const char* HostName() const = 0;
    virtual const char* HostBaseName() const = 0;
};
