// IFS formulas: named lists of affine 3D maps whose thirteen coefficients
// are expressions, compiled to opcode streams when loaded or edited and
// evaluated once per calculation. Also the operations behind the IFS
// formula window (which reach the window through IfsWindowLink) and
// CalculateIfs, the chaos game the calculation thread runs.
#pragma once
#include <stdint.h>
#include "foundation/List.h"
#include "fractals/ifs/IfsMachine.h"

class Fractal;

enum { IFS_COEFFICIENTS = 13, IFS_MATRIX = 9, IFS_VECTOR = 3 };
// Coefficient indexes: m11 m12 m13 m21 m22 m23 m31 m32 m33, t1 t2 t3, p.
enum { IFS_M11 = 0, IFS_M12, IFS_M13, IFS_M21, IFS_M22, IFS_M23, IFS_M31, IFS_M32, IFS_M33, IFS_T1, IFS_T2,
       IFS_T3, IFS_PROBABILITY };

class IfsTransformation : public ListNode {
public:
    IfsTransformation();
    virtual ~IfsTransformation();

    // Coefficient i (0..12) as one of the record's slots.
    char*& Text(int i);
    int32_t& TextSize(int i);
    uint32_t*& Stream(int i);
    int32_t& StreamSize(int i);
    const char* Text(int i) const;
    // Replaces coefficient i's text by a copy (capacity length + 10); null
    // or empty clears it.
    void SetText(int i, const char* text);

    char* matrixTexts[IFS_MATRIX];
    int32_t matrixTextSizes[IFS_MATRIX];
    char* vectorTexts[IFS_VECTOR];
    int32_t vectorTextSizes[IFS_VECTOR];
    char* probabilityText;
    int32_t probabilityTextSize;
    uint32_t* matrixStreams[IFS_MATRIX];
    int32_t matrixStreamSizes[IFS_MATRIX];
    uint32_t* vectorStreams[IFS_VECTOR];
    int32_t vectorStreamSizes[IFS_VECTOR];
    uint32_t* probabilityStream;
    int32_t probabilityStreamSize;
};

class IfsFormula : public ListNode {
public:
    explicit IfsFormula(const char* name);
    virtual ~IfsFormula();

    char* text;                     // null when created
    NodeList transformations;       // IfsTransformation, in file order; owned
};

// Guards the formula records against a calculation reading them while the
// main thread edits, renames or loads: every writer and CalculateIfs's
// evaluation of the coefficients hold it.
void LockIfsFormulas();
void UnlockIfsFormulas();

// The element descriptions of the thirteen coefficients in error reports.
extern const char* const IfsElementDescription[IFS_COEFFICIENTS];

// Compiles one coefficient: 0, or 1 when the text does not parse (reported
// unless quiet; the stream is then null). An absent or empty text gives a
// null stream. User variables are refused (code 9): the calculation
// provides no variable slots.
int CompileIfsExpression(const char* formulaName, const char* elementDescription, const char* text,
                         uint32_t** stream, int32_t* size, int quiet);
// Compiles all thirteen coefficients; a failing one does not stop the others.
void CompileIfsTransformation(IfsTransformation* transformation, const char* formulaName, int quiet);

// What the IFS operations need of the formula window and the parameter
// window. Every entry may be null (no window open); the application binds
// them when the windows exist.
struct IfsWindowLink {
    // The formula window: whether it is open, its list box and fields.
    bool (*formulaWindowOpen)();
    void (*listReset)();
    void (*listAdd)(const char* name);
    void (*listSelect)(int index);
    void (*setNameField)(const char* name);
    // Coefficient field 0..12 (controls 930..942).
    void (*setCoefficientField)(int coefficient, const char* text);
    // Writes the control's text into text (size bytes); false when unread.
    bool (*readControl)(int controlId, char* text, int size);
    // The transformation counter: range 1..maximum and value.
    void (*setCounter)(int maximum, int value);
    // The IFS parameter window's formula page and its combo box.
    bool (*parameterPageShown)();
    void (*comboReset)();
    void (*comboAdd)(const char* name);
    void (*comboSelect)(int index);   // -1 clears
    // The fractal the parameter window shows, null when none.
    Fractal* (*currentFractal)();
};
extern IfsWindowLink g_IfsWindow;

// The formula window's current formula and transformation index.
extern IfsFormula* g_CurrentIfsFormula;
extern int g_CurrentIfsTransformation;

enum { IFS_CONTROL_FIRST = 930, IFS_CONTROL_LAST = 942 };
void UpdateIfsExpressionFromControl(IfsTransformation* transformation, int controlId);
void ShowIfsFormula(IfsFormula* formula, int index);
void RefreshIfsFormulaLists();
void RecalculateIfsFractals(IfsFormula* formula);
void RenameIfsFormula(IfsFormula* formula, const char* newName);

// The formula of g_IfsFormulas named name (ignoring case), or null.
IfsFormula* FindIfsFormula(const char* name);

// The context the coefficients of an IFS fractal are evaluated in: its
// parameters, image size and view corners, rand seeded, no variable slots.
EvalContext BuildIfsContext(const Fractal* fractal);

// The chaos game (x0..y1 unused: it always draws the whole image):
// 0 finished, 1 the formula is missing, 3 stopped by a command.
int CalculateIfs(Fractal* fractal, int x0, int y0, int x1, int y1);
