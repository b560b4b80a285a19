// The fractal type names that parameter entries store in Type=: the index is
// the type number (older types included, which the reader turns into
// escape-time fractals), and the type names of Fractint entries.
#pragma once

// number, name
#define ENTRY_TYPE_NAMES(X)                                                                            \
    X(0, "Julia24") X(1, "Mandel24") X(2, "Julia") X(3, "Mandel") X(4, "Formula") X(5, "Lyapunov")     \
    X(6, "Plasma") X(7, "Bifurcation") X(8, "Dynamic_System") X(9, "LSystem") X(10, "IFS")            \
    X(11, "Tiera_Julia") X(12, "Tiera_Mandel") X(13, "Compound") X(14, "Escapetime")                  \
    X(15, "Layered_Fractal") X(16, "Quaternion") X(17, "Image") X(18, "Attractor")                    \
    X(19, "Unknown_19") X(20, "Unknown_20")

// Fractint's type names, as Fractint's files write them; "fn(z)+fn(pix)"
// stands twice, once for each of Fractint's two forms of it.
#define FRACTINT_TYPE_NAMES(X)                                                                          \
    X("Magnet1j") X("Magnet1m") X("Magnet2j") X("Magnet2m")                    \
    X("Barnsleym1") X("Barnsleyj1") X("Barnsleym2") X("Barnsleyj2")            \
    X("Barnsleym3") X("Barnsleyj3") X("SQR(fn)") X("SQR(1/fn)")                \
    X("fn(z)+fn(pix)") X("fn(z*z)") X("fn*fn") X("fn*z+z") X("fn+fn")  \
    X("fn(z)+fn(pix)") X("lambda") X("mandellambda") X("lambda(fn||fn)")   \
    X("manlam(fn||fn)") X("julia(fn||fn)") X("mandel(fn||fn)")                   \
    X("julfn+exp") X("manfn+exp") X("cmplxmarksjul") X("cmplxmarksmand")  \
    X("julzpower") X("manzpower") X("julzzpwr") X("manzzpwr")             \
    X("manowarj") X("manowar") X("julfn+zsqrd") X("manfn+zsqrd")          \
    X("marksjulia") X("marksmandel") X("lambdafn") X("mandelfn")          \
    X("newton") X("marksmandelpwr") X("tim's_error") X("complexbasin")    \
    X("complexnewton") X("escher_julia") X("spider") X("tetrate")         \
    X("frothybasin") X("halley") X("hypercomplex") X("hypercomplexj")     \
    X("julia4") X("mandel4") X("mandphoenix") X("mandphoenixclx")         \
    X("phoenix") X("phoenixcplx") X("newtbasin") X("popcornjul")          \
    X("quatjul") X("quat") X("sierpinski") X("unity")                     \
    X("volterra-lotka")

enum { ENTRY_TYPE_COUNT = 21, FRACTINT_TYPE_COUNT = 65 };

// Null-ended lists for LookupKeyword.
extern const char* const g_EntryTypeNames[ENTRY_TYPE_COUNT + 1];
extern const char* const g_FractintTypeNames[FRACTINT_TYPE_COUNT + 1];

// The number of a Type= value (without case), or -1.
int FindEntryType(const char* name);
// True when name (without case) is one of Fractint's type names.
bool IsFractintType(const char* name);
// The formula name that stands for a type name: upper case, every '('
// turned into '_' and every ')' dropped ("SQR(1/fn)" -> "SQR_1/FN"), at
// most size - 1 characters.
void FormulaNameOfType(const char* typeName, char* out, int size);
