// Running one compiled formula outside a calculation: the formula is
// compiled as for a fractal, its sections are joined into callable
// routines in executable memory, and the data block gets a minimal
// escape-time context (the pixel, maxiter, the view of the default
// Mandelbrot set and the constants every calculation binds). Used by
// "spxfc run" and "spxfc bench" and by the tests of the code generator.
#pragma once

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

class FormulaHolder;
#include "compiler/CompileHost.h"
class GrowBuffer;
class FormulaSymbol;
class NodeList;

class FormulaRun {
public:
    // name = value texts of parameters: a number, "(a,b)" or "(a,b,c,d)",
    // or for a selectable function the name of a function.
    typedef std::vector<std::pair<std::string, std::string>> Settings;

    FormulaRun();
    ~FormulaRun();
    FormulaRun(const FormulaRun&) = delete;
    FormulaRun& operator=(const FormulaRun&) = delete;

    // Compiles the formula entry text of the kind (FK_ITERATION,
    // FK_COLORING) and sub kind (SK_PLANE, SK_QUATERNION); parameters not
    // set take their defaults. False with the reason in error() when the
    // formula does not compile, a setting names no parameter or a section
    // is missing.
    bool Compile(const char* text, int kind, int subKind, const Settings& settings = Settings());
    // Whether the compile may treat the parameters as fixed for the run
    // (conditions on them are then decided while compiling); off unless set.
    void SetParametersConstant(bool constant) { parametersConstant = constant; }
    // Whether the compile optimizes (passes, folding, rewrites); on unless
    // cleared. Both settings start from the environment variable
    // SPIRALIX_FORMULA_VARIANT when it is set: a text holding "noopt"
    // turns optimization off, one holding "constparams" makes the
    // parameters fixed (the run tests are repeated that way).
    void SetOptimization(bool on) { optimize = on; }
    // Whether the caller reads variables back after the run (ReadSymbol):
    // then a variable the formula never reads keeps its stores. On unless
    // cleared (the bench measures the formula as a calculation runs it).
    void SetVariablesReadBack(bool on) { readBack = on; }
    const std::string& error() const { return errorMessage; }

    // Iteration formulas: the pixel (two components, four for quaternions),
    // then init once and loop followed by bailout until bailout answers
    // false or loop has run maxIterations times. Returns how often loop ran.
    void SetPixel(const double pixel[4]);
    int Iterate(int maxIterations);
    // z after the run: two components, four for quaternions (the count is
    // returned).
    int GetZ(double z[4]) const;

    // Colouring formulas: z and numiter as given, init, loops times loop,
    // final.
    void Colour(const double z[2], int numIterations, int loops);
    double GetIndex() const;
    // False when the formula left pixelcolor unset.
    bool GetPixelColor(double rgba[4]) const;

    // A global symbol of the compiled formula by name (null when none) and
    // its value read from the data block (four doubles, zeros for types
    // without a value).
    FormulaSymbol* Symbol(const char* name) const;
    void ReadSymbol(const char* name, double out[4]) const;
    // The data-block base the routines run on.
    uint8_t* DataBase() const;
    // The compiler, for tests that look at what it made.
    FormulaHolder* Holder() const { return holder; }

private:
    bool CompileOnce(const char* text, bool withFractal);
    bool ApplySettings(const Settings& settings);
    bool Assemble();
    void BindContext();
    // The calculation's binder while this run compiles (folding runs code
    // on the data block and must find the bound values there).
    static void BindWhileCompiling(CompileHost* fractal, uint8_t* base, NodeList* symbols);
    void WriteSymbol(const char* name, const double* values, int count);
    void WriteSymbol(FormulaSymbol* symbol, const double* values, int count);
    void Release();

    FormulaHolder* holder;
    // The fractal the run compiles for: a plane or quaternion fractal of
    // 640 x 480 pixels without a view or a calculation thread.
    class Host : public CompileHost {
    public:
        explicit Host(int type) : type(type) {}
        int HostFractalType() const override { return type; }
        bool HostViewWidth(double*) const override { return false; }
        volatile int* HostCommandWord() override { return nullptr; }
        const char* HostName() const override { return ""; }
        const char* HostBaseName() const override { return nullptr; }
        int type;
    };
    Host* fractal;
    int kind;
    int subKind;
    std::string errorMessage;
    std::string formulaName;
    void* inputSymbols;          // NodeList of the parameter values handed to the compile
    void* inputFuncParameters;   // NodeList of the selected functions
    GrowBuffer* routines;        // executable: sections and the iteration driver
    int initRoutine, loopRoutine, bailoutRoutine, finalRoutine, iterateRoutine;
    int maxIterOffset, numIterOffset;
    bool parametersConstant;
    FormulaSymbol* pixelSymbol;     // found once: written for every pixel
    FormulaSymbol* maxIterSymbol;
    bool optimize;
    bool readBack = true;
};
