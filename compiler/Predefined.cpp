// The names every formula knows without declaring them: the builtin
// functions and operators, the 21 small-integer constants and the
// predefined variables of each formula kind, which live at fixed offsets of
// the data block where the calculation writes their values. Also the
// preparation of the data block when a formula's body opens.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "compiler/Predefined.h"
#include "compiler/Scanners.h"
#include "compiler/CompileHost.h"
#include "foundation/Buffers.h"

DataBlockBinder g_BindPredefinedVariables = nullptr;
DataBlockBinder g_BindQuaternionVariables = nullptr;
DataBlockBinder g_BindAttractorVariables = nullptr;

const char* const g_MathFunctionChoices[] = {
    "sin", "sinh", "asin", "asinh", "cos", "cosh", "acos", "acosh", "tan", "atan", "tanh",
    "acot", "acoth", "atanh", "cotan", "cotanh", "sqr", "sqrt", "log", "log10", "exp", "abs",
    "cabs", "conj", "flip", "ident", "zero", "recip", "ceil", "floor", "trunc", "round", "neg",
    nullptr,
};

const char* const g_MergeModeChoices[] = {
    "Normal", "Multiply", "Screen", "Overlay", "Soft Light", "Hard Light", "Darken", "Lighten",
    "Difference", "Hue", "Saturation", "Color", "Luminance", "Addition", "Subtraction",
    "HSL Addition", "Red", "Green", "Blue",
    nullptr,
};

// ---------------------------------------------------------------------------
// Builtin names

// Class, name, element code, flags (bit 2: only before "("; bits 0 and 1:
// lexer state after the token), kind mask (2 plane, 4 quaternion, 8
// attractor). "-" is handled by the lexer itself.
const BuiltinName g_BuiltinNames[BUILTIN_NAME_ROWS + 1] = {
    { 7, "mergesubtraction", 132, 7, 15 },
    { 7, "mergehsladdition", 133, 7, 15 },
    { 7, "gradient_inside", 137, 5, 15 },
    { 7, "mergesaturation", 128, 7, 15 },
    { 7, "mergedifference", 126, 7, 15 },
    { 7, "mergeluminance", 130, 7, 15 },
    { 7, "mergehardlight", 122, 7, 15 },
    { 7, "mergesoftlight", 123, 7, 15 },
    { 7, "mergeaddition", 131, 7, 15 },
    { 7, "mergemultiply", 119, 7, 15 },
    { 1, "trafoHistory", 152, 7, 8 },
    { 7, "mergeoverlay", 121, 7, 15 },
    { 7, "mergelighten", 125, 7, 15 },
    { 7, "crossproduct", 145, 7, 15 },
    { 7, "perlinNoise3", 151, 7, 15 },
    { 7, "perlinNoise", 150, 7, 15 },
    { 7, "mergenormal", 118, 7, 15 },
    { 7, "mergescreen", 120, 7, 15 },
    { 7, "mergedarken", 124, 7, 15 },
    { 7, "random.real", 153, 5, 15 },
    { 7, "mergecolor", 129, 7, 15 },
    { 7, "mergegreen", 135, 7, 15 },
    { 7, "quaternion", 149, 7, 15 },
    { 7, "mergeblue", 136, 7, 15 },
    { 1, "isFinite", 140, 1, 15 },
    { 1, "isfinite", 140, 1, 15 },
    { 7, "mergered", 134, 7, 15 },
    { 7, "mergehue", 127, 7, 15 },
    { 7, "gradient", 115, 5, 15 },
    { 7, "complex", 148, 7, 15 },
    { 7, "compose", 117, 7, 15 },
    { 7, "ubound", 138, 7, 15 },
    { 7, "vector", 141, 7, 15 },
    { 7, "random", 114, 5, 15 },
    { 7, "cotanh", 22, 5, 15 },
    { 7, "hiquat", 84, 5, 15 },
    { 7, "loquat", 85, 5, 15 },
    { 1, "sincos", 154, 1, 15 },
    { 7, "part_r", 24, 7, 15 },
    { 7, "part_i", 25, 7, 15 },
    { 7, "part_j", 146, 7, 15 },
    { 7, "part_k", 147, 7, 15 },
    { 7, "partx", 142, 7, 15 },
    { 7, "party", 143, 7, 15 },
    { 7, "partz", 144, 7, 15 },
    { 1, "isnan", 139, 1, 15 },
    { 1, "isNAN", 139, 1, 15 },
    { 1, "isNaN", 139, 1, 15 },
    { 7, "blend", 116, 7, 15 },
    { 7, "array", 87, 3, 15 },
    { 7, "log10", 16, 7, 15 },
    { 7, "cotan", 21, 7, 15 },
    { 7, "alpha", 113, 7, 15 },
    { 7, "cosxx", 76, 7, 15 },
    { 7, "atan2", 51, 7, 15 },
    { 7, "asinh", 27, 7, 15 },
    { 7, "acosh", 28, 7, 15 },
    { 7, "atanh", 29, 7, 15 },
    { 7, "acoth", 30, 7, 15 },
    { 7, "srand", 41, 7, 15 },
    { 7, "floor", 54, 7, 15 },
    { 7, "green", 108, 5, 15 },
    { 7, "round", 55, 7, 15 },
    { 7, "trunc", 56, 7, 15 },
    { 7, "ident", 57, 7, 15 },
    { 7, "recip", 59, 7, 15 },
    { 7, "zero", 58, 7, 15 },
    { 7, "rgba", 104, 7, 15 },
    { 7, "hsla", 106, 7, 15 },
    { 7, "blue", 109, 5, 15 },
    { 7, "asin", 4, 7, 15 },
    { 7, "acos", 5, 7, 15 },
    { 7, "atan", 6, 7, 15 },
    { 7, "sinh", 17, 7, 15 },
    { 7, "tanh", 19, 7, 15 },
    { 7, "cosh", 20, 7, 15 },
    { 7, "acot", 26, 7, 15 },
    { 7, "sqrt", 18, 7, 15 },
    { 7, "conj", 23, 7, 15 },
    { 7, "real", 24, 7, 15 },
    { 7, "imag", 25, 7, 15 },
    { 3, "oldz", 62, 1, 7 },
    { 7, "flip", 49, 7, 15 },
    { 7, "cabs", 52, 7, 15 },
    { 7, "ceil", 53, 7, 15 },
    { 7, "sqr3", 45, 7, 15 },
    { 7, "sqr5", 46, 7, 15 },
    { 7, "sqr6", 75, 7, 15 },
    { 7, "sqr7", 47, 7, 15 },
    { 7, "rgb", 103, 7, 15 },
    { 7, "hsl", 105, 7, 15 },
    { 7, "red", 107, 5, 15 },
    { 7, "hue", 110, 5, 15 },
    { 7, "sat", 111, 5, 15 },
    { 7, "lum", 112, 5, 15 },
    { 7, "sin", 1, 7, 15 },
    { 7, "cos", 2, 7, 15 },
    { 7, "tan", 3, 7, 15 },
    { 7, "abs", 7, 7, 15 },
    { 7, "exp", 15, 7, 15 },
    { 7, "log", 14, 7, 15 },
    { 7, "arg", 31, 7, 15 },
    { 7, "sqr", 48, 7, 15 },
    { 7, "ln", 14, 7, 15 },
    { 7, "&&", 32, 1, 15 },
    { 7, "||", 33, 1, 15 },
    { 7, "==", 34, 1, 15 },
    { 7, ">=", 35, 1, 15 },
    { 7, "<=", 36, 1, 15 },
    { 7, "!=", 37, 1, 15 },
    { 7, "!", 40, 1, 15 },
    { 7, "<", 38, 1, 15 },
    { 7, ">", 39, 1, 15 },
    { 7, "+", 8, 1, 15 },
    { 7, "*", 10, 1, 15 },
    { 7, "/", 11, 1, 15 },
    { 7, "^", 12, 1, 15 },
    { 7, "%", 61, 1, 15 },
    { 7, "(", 265, 1, 15 },
    { 7, ")", 266, 0, 15 },
    { 7, "[", 265, 1, 15 },
    { 7, "]", 266, 0, 15 },
    { 7, "#", 269, 1, 15 },
    { 7, "$", 270, 0, 15 },
    { 7, "=", 43, 1, 15 },
    { 7, ",", 86, 1, 15 },
    { 0, nullptr, 0, 0, 0 },
};

const BuiltinName** g_BuiltinIndex[256];

void buildBuiltinIndex()
{
    static bool built = false;
    if (built)
        return;
    for (int c = 0; c < 256; ++c) {
        int count = 0;
        for (int r = 0; r < BUILTIN_NAME_ROWS; ++r)
            if ((unsigned char)g_BuiltinNames[r].name[0] == c)
                ++count;
        const BuiltinName** list =
            static_cast<const BuiltinName**>(calloc((size_t)count + 3, sizeof(BuiltinName*)));
        if (!list)
            continue;
        // Longest names first, so that "log10" is tried before "log" and
        // "<=" before "<"; equal lengths keep the table order.
        int n = 0;
        for (int length = 64; length > 0; --length)
            for (int r = 0; r < BUILTIN_NAME_ROWS; ++r)
                if ((unsigned char)g_BuiltinNames[r].name[0] == c &&
                    (int)strlen(g_BuiltinNames[r].name) == length)
                    list[n++] = &g_BuiltinNames[r];
        g_BuiltinIndex[c] = list;
    }
    built = true;
}

char DataTypeLetter(int type)
{
    static const char letters[] = "CRIBQVAAF**T";
    if (type < 0 || type >= DATA_TYPE_COUNT)
        return '*';
    return letters[type];
}

bool IsRunTimePredefined(const char* name)
{
    // The iteration limit can be raised for a running calculation; the
    // "__" slots hold the colouring settings, the seed and table addresses,
    // which change with the colouring; the attractor's per-transformation
    // arrays are filled by its task.
    static const char* const names[] = {"maxiter", "maxit", "trafoWeight", "trafoColor"};
    if (name == nullptr)
        return false;
    if (name[0] == '_' && name[1] == '_')
        return true;
    for (const char* n : names) {
        if (strcmp(n, name) == 0)
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Predefined variables: name, type, precision, offset, input flag. Each
// table ends with a row whose offset is the size of the predefined area.

namespace {

// T0
static const PredefinedVariable kT0[] = {
    { "__SXz", DT_COMPLEX, PREC_EXTENDED, 0, 0 },
    { "pixel", DT_COMPLEX, PREC_EXTENDED, 32, 0 },
    { "center", DT_COMPLEX, PREC_EXTENDED, 64, 1 },
    { "angle", DT_REAL, PREC_FLOAT, 96, 1 },
    { "rotation_center", DT_COMPLEX, PREC_EXTENDED, 112, 1 },
    { "e", DT_REAL, PREC_EXTENDED, 144, 1 },
    { "pi", DT_REAL, PREC_EXTENDED, 160, 1 },
    { "screenmax", DT_COMPLEX, PREC_FLOAT, 176, 1 },
    { "scrnmax", DT_COMPLEX, PREC_FLOAT, 176, 1 },
    { "maxiter", DT_INT, -1, 208, 1 },
    { "maxit", DT_INT, -1, 208, 1 },
    { "corner_lefttop", DT_COMPLEX, PREC_EXTENDED, 224, 1 },
    { "corner_rightbottom", DT_COMPLEX, PREC_EXTENDED, 256, 1 },
    { "magn", DT_REAL, PREC_EXTENDED, 288, 1 },
    { "width", DT_INT, -1, 304, 1 },
    { "height", DT_INT, -1, 320, 1 },
    { "numiter", DT_INT, -1, 352, 0 },
    { "random", DT_COMPLEX, PREC_EXTENDED, 368, 0 },
    { "rand", DT_COMPLEX, PREC_EXTENDED, 368, 0 },
    { "screenpixel", DT_COMPLEX, PREC_FLOAT, 400, 0 },
    { "scrnpix", DT_COMPLEX, PREC_FLOAT, 400, 0 },
    { "solid", DT_BOOL, -1, 432, 0 },
    { "whitesq", DT_BOOL, -1, 448, 0 },
    { "x", DT_REAL, PREC_FLOAT, 464, 0 },
    { "y", DT_REAL, PREC_FLOAT, 480, 0 },
    { "alpha", DT_REAL, PREC_EXTENDED, 640, 0 },
    { "randomrange", DT_REAL, PREC_EXTENDED, 656, 1 },
    { "shared_var", DT_REAL, PREC_EXTENDED, 688, 0 },
    { "UF_skew", DT_REAL, PREC_FLOAT, 704, 1 },
    { "UF_stretch", DT_REAL, PREC_FLOAT, 720, 1 },
    { "__O_Speed", DT_REAL, PREC_FLOAT, 1008, 1 },
    { "__O_Accel", DT_REAL, PREC_FLOAT, 1012, 1 },
    { "__O_Smooth", DT_REAL, PREC_FLOAT, 1016, 1 },
    { "__O_Offset", DT_REAL, PREC_FLOAT, 1020, 1 },
    { "__O_Repeat", DT_INT, -1, 1024, 1 },
    { "__O_Mapping", DT_INT, -1, 1028, 1 },
    { "__O_Solidcolor", DT_INT, -1, 1032, 1 },
    { "__O_SolidOpacity", DT_INT, -1, 1036, 1 },
    { "__I_Speed", DT_REAL, PREC_FLOAT, 1040, 1 },
    { "__I_Accel", DT_REAL, PREC_FLOAT, 1044, 1 },
    { "__I_Smooth", DT_REAL, PREC_FLOAT, 1048, 1 },
    { "__I_Offset", DT_REAL, PREC_FLOAT, 1052, 1 },
    { "__I_Repeat", DT_INT, -1, 1056, 1 },
    { "__I_Mapping", DT_INT, -1, 1060, 1 },
    { "__I_Solidcolor", DT_INT, -1, 1064, 1 },
    { "__I_SolidOpacity", DT_INT, -1, 1068, 1 },
    { "__G_Colortable", DT_INT, -1, 1072, 1 },
    { "__G_perlinP", DT_INT, -1, 1076, 1 },
    { "__G_perlinG3", DT_INT, -1, 1080, 1 },
    { "__G_SEED", DT_COMPLEX, PREC_EXTENDED, 1100, 1 },
    { "overflowOccurred", DT_INT, -1, 1516, 0 },
    { nullptr, 0, 0, 8192, 0 },
};
// T0Q
static const PredefinedVariable kT0Q[] = {
    { "__SXz", DT_QUATERNION, PREC_DOUBLE, 0, 0 },
    { "pixel", DT_QUATERNION, PREC_DOUBLE, 64, 0 },
    { "Basepoint", DT_QUATERNION, PREC_FLOAT, 128, 1 },
    { "Normal", DT_QUATERNION, PREC_FLOAT, 192, 1 },
    { "e", DT_REAL, PREC_EXTENDED, 256, 1 },
    { "pi", DT_REAL, PREC_EXTENDED, 272, 1 },
    { "screenmax", DT_COMPLEX, PREC_FLOAT, 288, 1 },
    { "scrnmax", DT_COMPLEX, PREC_FLOAT, 288, 1 },
    { "maxiter", DT_INT, -1, 320, 1 },
    { "maxit", DT_INT, -1, 320, 1 },
    { "width", DT_INT, -1, 336, 1 },
    { "height", DT_INT, -1, 352, 1 },
    { "numiter", DT_INT, -1, 368, 0 },
    { "random", DT_COMPLEX, PREC_EXTENDED, 384, 0 },
    { "rand", DT_COMPLEX, PREC_EXTENDED, 384, 0 },
    { "screenpixel", DT_COMPLEX, PREC_FLOAT, 416, 0 },
    { "scrnpix", DT_COMPLEX, PREC_FLOAT, 416, 0 },
    { "solid", DT_BOOL, -1, 448, 0 },
    { "Base1", DT_QUATERNION, PREC_FLOAT, 640, 1 },
    { "Base2", DT_QUATERNION, PREC_FLOAT, 656, 1 },
    { "Base3", DT_QUATERNION, PREC_FLOAT, 672, 1 },
    { "Base4", DT_QUATERNION, PREC_FLOAT, 688, 1 },
    { "shared_var", DT_REAL, PREC_EXTENDED, 896, 0 },
    { "alpha", DT_REAL, PREC_EXTENDED, 960, 0 },
    { "randomrange", DT_REAL, PREC_EXTENDED, 976, 1 },
    { "__O_Speed", DT_REAL, PREC_FLOAT, 1008, 1 },
    { "__O_Accel", DT_REAL, PREC_FLOAT, 1012, 1 },
    { "__O_Smooth", DT_REAL, PREC_FLOAT, 1016, 1 },
    { "__O_Offset", DT_REAL, PREC_FLOAT, 1020, 1 },
    { "__O_Repeat", DT_INT, -1, 1024, 1 },
    { "__O_Mapping", DT_INT, -1, 1028, 1 },
    { "__O_Solidcolor", DT_INT, -1, 1032, 1 },
    { "__O_SolidOpacity", DT_INT, -1, 1036, 1 },
    { "__I_Speed", DT_REAL, PREC_FLOAT, 1040, 1 },
    { "__I_Accel", DT_REAL, PREC_FLOAT, 1044, 1 },
    { "__I_Smooth", DT_REAL, PREC_FLOAT, 1048, 1 },
    { "__I_Offset", DT_REAL, PREC_FLOAT, 1052, 1 },
    { "__I_Repeat", DT_INT, -1, 1056, 1 },
    { "__I_Mapping", DT_INT, -1, 1060, 1 },
    { "__I_Solidcolor", DT_INT, -1, 1064, 1 },
    { "__I_SolidOpacity", DT_INT, -1, 1068, 1 },
    { "__G_Colortable", DT_INT, -1, 1072, 1 },
    { "__G_perlinP", DT_INT, -1, 1076, 1 },
    { "__G_perlinG3", DT_INT, -1, 1080, 1 },
    { "__G_SEED", DT_COMPLEX, PREC_EXTENDED, 1100, 1 },
    { "currentRayIndex", DT_INT, -1, 1148, 0 },
    { "hasBeenHit", DT_BOOL, -1, 1152, 0 },
    { "overflowOccurred", DT_INT, -1, 1516, 0 },
    { nullptr, 0, 0, 8192, 0 },
};
// T1
static const PredefinedVariable kT1[] = {
    { "z", DT_COMPLEX, PREC_EXTENDED, 0, 0 },
    { "pixel", DT_COMPLEX, PREC_EXTENDED, 32, 0 },
    { "center", DT_COMPLEX, PREC_EXTENDED, 64, 1 },
    { "angle", DT_REAL, PREC_FLOAT, 96, 1 },
    { "rotation_center", DT_COMPLEX, PREC_EXTENDED, 112, 1 },
    { "e", DT_REAL, PREC_EXTENDED, 144, 1 },
    { "pi", DT_REAL, PREC_EXTENDED, 160, 1 },
    { "screenmax", DT_COMPLEX, PREC_FLOAT, 176, 1 },
    { "scrnmax", DT_COMPLEX, PREC_FLOAT, 176, 1 },
    { "maxiter", DT_INT, -1, 208, 1 },
    { "maxit", DT_INT, -1, 208, 1 },
    { "corner_lefttop", DT_COMPLEX, PREC_EXTENDED, 224, 1 },
    { "corner_rightbottom", DT_COMPLEX, PREC_EXTENDED, 256, 1 },
    { "magn", DT_REAL, PREC_EXTENDED, 288, 1 },
    { "width", DT_INT, -1, 304, 1 },
    { "height", DT_INT, -1, 320, 1 },
    { "index", DT_REAL, PREC_EXTENDED, 336, 0 },
    { "numiter", DT_INT, -1, 352, 0 },
    { "random", DT_COMPLEX, PREC_EXTENDED, 368, 0 },
    { "rand", DT_COMPLEX, PREC_EXTENDED, 368, 0 },
    { "screenpixel", DT_COMPLEX, PREC_FLOAT, 400, 0 },
    { "scrnpix", DT_COMPLEX, PREC_FLOAT, 400, 0 },
    { "solid", DT_BOOL, -1, 432, 0 },
    { "whitesq", DT_BOOL, -1, 448, 0 },
    { "x", DT_REAL, PREC_FLOAT, 464, 0 },
    { "y", DT_REAL, PREC_FLOAT, 480, 0 },
    { "lastsqr", DT_REAL, PREC_EXTENDED, 600, 0 },
    { "alpha", DT_REAL, PREC_EXTENDED, 640, 0 },
    { "randomrange", DT_REAL, PREC_EXTENDED, 656, 1 },
    { "pixelcolor", DT_COLOR, -1, 672, 0 },
    { "shared_var", DT_REAL, PREC_EXTENDED, 688, 0 },
    { "UF_skew", DT_REAL, PREC_FLOAT, 704, 1 },
    { "UF_stretch", DT_REAL, PREC_FLOAT, 720, 1 },
    { "__O_Speed", DT_REAL, PREC_FLOAT, 1008, 1 },
    { "__O_Accel", DT_REAL, PREC_FLOAT, 1012, 1 },
    { "__O_Smooth", DT_REAL, PREC_FLOAT, 1016, 1 },
    { "__O_Offset", DT_REAL, PREC_FLOAT, 1020, 1 },
    { "__O_Repeat", DT_INT, -1, 1024, 1 },
    { "__O_Mapping", DT_INT, -1, 1028, 1 },
    { "__O_Solidcolor", DT_INT, -1, 1032, 1 },
    { "__O_SolidOpacity", DT_INT, -1, 1036, 1 },
    { "__I_Speed", DT_REAL, PREC_FLOAT, 1040, 1 },
    { "__I_Accel", DT_REAL, PREC_FLOAT, 1044, 1 },
    { "__I_Smooth", DT_REAL, PREC_FLOAT, 1048, 1 },
    { "__I_Offset", DT_REAL, PREC_FLOAT, 1052, 1 },
    { "__I_Repeat", DT_INT, -1, 1056, 1 },
    { "__I_Mapping", DT_INT, -1, 1060, 1 },
    { "__I_Solidcolor", DT_INT, -1, 1064, 1 },
    { "__I_SolidOpacity", DT_INT, -1, 1068, 1 },
    { "__G_Colortable", DT_INT, -1, 1072, 1 },
    { "__G_perlinP", DT_INT, -1, 1076, 1 },
    { "__G_perlinG3", DT_INT, -1, 1080, 1 },
    { "__G_SEED", DT_COMPLEX, PREC_EXTENDED, 1100, 1 },
    { "overflowOccurred", DT_INT, -1, 1516, 0 },
    { nullptr, 0, 0, 8192, 0 },
};
// T1A
static const PredefinedVariable kT1A[] = {
    { "z", DT_VECTOR, PREC_DOUBLE, 0, 0 },
    { "formulaWeightStart", DT_REAL, PREC_DOUBLE, 24, 0 },
    { "formulaWeight", DT_REAL, PREC_DOUBLE, 32, 0 },
    { "numTrafos", DT_INT, -1, 40, 0 },
    { "e", DT_REAL, PREC_EXTENDED, 144, 1 },
    { "pi", DT_REAL, PREC_EXTENDED, 160, 1 },
    { "screenmax", DT_COMPLEX, PREC_FLOAT, 176, 1 },
    { "maxiter", DT_REAL, PREC_DOUBLE, 208, 1 },
    { "width", DT_INT, -1, 304, 1 },
    { "height", DT_INT, -1, 320, 1 },
    { "index", DT_REAL, PREC_EXTENDED, 336, 0 },
    { "numiter", DT_INT, -1, 352, 0 },
    { "__z_temp", DT_VECTOR, PREC_DOUBLE, 400, 0 },
    { "hiddenPixel", DT_BOOL, -1, 432, 0 },
    { "randomrange", DT_REAL, PREC_EXTENDED, 656, 1 },
    { "pixelcolor", DT_COLOR, -1, 672, 0 },
    { "Observer", DT_VECTOR, PREC_DOUBLE, 688, 1 },
    { "Viewpoint", DT_VECTOR, PREC_DOUBLE, 712, 1 },
    { "Top", DT_VECTOR, PREC_DOUBLE, 736, 1 },
    { "FieldOfView", DT_REAL, PREC_DOUBLE, 760, 1 },
    { "__O_Speed", DT_REAL, PREC_FLOAT, 1008, 1 },
    { "__O_Accel", DT_REAL, PREC_FLOAT, 1012, 1 },
    { "__O_Smooth", DT_REAL, PREC_FLOAT, 1016, 1 },
    { "__O_Offset", DT_REAL, PREC_FLOAT, 1020, 1 },
    { "__O_Repeat", DT_INT, -1, 1024, 1 },
    { "__O_Mapping", DT_INT, -1, 1028, 1 },
    { "__O_Solidcolor", DT_INT, -1, 1032, 1 },
    { "__O_SolidOpacity", DT_INT, -1, 1036, 1 },
    { "__I_Speed", DT_REAL, PREC_FLOAT, 1040, 1 },
    { "__I_Accel", DT_REAL, PREC_FLOAT, 1044, 1 },
    { "__I_Smooth", DT_REAL, PREC_FLOAT, 1048, 1 },
    { "__I_Offset", DT_REAL, PREC_FLOAT, 1052, 1 },
    { "__I_Repeat", DT_INT, -1, 1056, 1 },
    { "__I_Mapping", DT_INT, -1, 1060, 1 },
    { "__I_Solidcolor", DT_INT, -1, 1064, 1 },
    { "__I_SolidOpacity", DT_INT, -1, 1068, 1 },
    { "__G_Colortable", DT_INT, -1, 1072, 1 },
    { "__G_perlinP", DT_INT, -1, 1076, 1 },
    { "__G_perlinG3", DT_INT, -1, 1080, 1 },
    { "trafoWeight", DT_PREDEFINED_ARRAY, PREC_FLOAT, 1092, 1 },
    { "trafoColor", DT_PREDEFINED_ARRAY, PREC_FLOAT, 1096, 1 },
    { "__G_SEED", DT_COMPLEX, PREC_EXTENDED, 1100, 1 },
    { "__G_SHADOWVEC1", DT_VECTOR, PREC_EXTENDED, 1132, 1 },
    { "__G_SHADOWVEC2", DT_VECTOR, PREC_EXTENDED, 1180, 1 },
    { "__G_SHADOWVEC3", DT_VECTOR, PREC_EXTENDED, 1228, 1 },
    { "__G_SHADOWVEC4", DT_VECTOR, PREC_EXTENDED, 1276, 1 },
    { "__G_SHADOWVEC5", DT_VECTOR, PREC_EXTENDED, 1324, 1 },
    { "__G_SHADOWVEC6", DT_VECTOR, PREC_EXTENDED, 1372, 1 },
    { "__G_SHADOWVEC7", DT_VECTOR, PREC_EXTENDED, 1420, 1 },
    { "__G_SHADOWVEC8", DT_VECTOR, PREC_EXTENDED, 1468, 1 },
    { "overflowOccurred", DT_INT, -1, 1516, 0 },
    { nullptr, 0, 0, 8192, 0 },
};
// T1Q
static const PredefinedVariable kT1Q[] = {
    { "z", DT_QUATERNION, PREC_DOUBLE, 0, 0 },
    { "__SXz", DT_QUATERNION, PREC_DOUBLE, 0, 0 },
    { "pixel", DT_QUATERNION, PREC_DOUBLE, 64, 0 },
    { "Basepoint", DT_QUATERNION, PREC_FLOAT, 128, 1 },
    { "Normal", DT_QUATERNION, PREC_FLOAT, 192, 1 },
    { "e", DT_REAL, PREC_EXTENDED, 256, 1 },
    { "pi", DT_REAL, PREC_EXTENDED, 272, 1 },
    { "screenmax", DT_COMPLEX, PREC_FLOAT, 288, 1 },
    { "scrnmax", DT_COMPLEX, PREC_FLOAT, 288, 1 },
    { "maxiter", DT_INT, -1, 320, 1 },
    { "maxit", DT_INT, -1, 320, 1 },
    { "width", DT_INT, -1, 336, 1 },
    { "height", DT_INT, -1, 352, 1 },
    { "numiter", DT_INT, -1, 368, 0 },
    { "random", DT_COMPLEX, PREC_EXTENDED, 384, 0 },
    { "rand", DT_COMPLEX, PREC_EXTENDED, 384, 0 },
    { "screenpixel", DT_COMPLEX, PREC_FLOAT, 416, 0 },
    { "scrnpix", DT_COMPLEX, PREC_FLOAT, 416, 0 },
    { "solid", DT_BOOL, -1, 448, 0 },
    { "Base1", DT_QUATERNION, PREC_FLOAT, 640, 1 },
    { "Base2", DT_QUATERNION, PREC_FLOAT, 656, 1 },
    { "Base3", DT_QUATERNION, PREC_FLOAT, 672, 1 },
    { "Base4", DT_QUATERNION, PREC_FLOAT, 688, 1 },
    { "shared_var", DT_REAL, PREC_EXTENDED, 896, 0 },
    { "alpha", DT_REAL, PREC_EXTENDED, 960, 0 },
    { "randomrange", DT_REAL, PREC_EXTENDED, 976, 1 },
    { "__O_Speed", DT_REAL, PREC_FLOAT, 1008, 1 },
    { "__O_Accel", DT_REAL, PREC_FLOAT, 1012, 1 },
    { "__O_Smooth", DT_REAL, PREC_FLOAT, 1016, 1 },
    { "__O_Offset", DT_REAL, PREC_FLOAT, 1020, 1 },
    { "__O_Repeat", DT_INT, -1, 1024, 1 },
    { "__O_Mapping", DT_INT, -1, 1028, 1 },
    { "__O_Solidcolor", DT_INT, -1, 1032, 1 },
    { "__O_SolidOpacity", DT_INT, -1, 1036, 1 },
    { "__I_Speed", DT_REAL, PREC_FLOAT, 1040, 1 },
    { "__I_Accel", DT_REAL, PREC_FLOAT, 1044, 1 },
    { "__I_Smooth", DT_REAL, PREC_FLOAT, 1048, 1 },
    { "__I_Offset", DT_REAL, PREC_FLOAT, 1052, 1 },
    { "__I_Repeat", DT_INT, -1, 1056, 1 },
    { "__I_Mapping", DT_INT, -1, 1060, 1 },
    { "__I_Solidcolor", DT_INT, -1, 1064, 1 },
    { "__I_SolidOpacity", DT_INT, -1, 1068, 1 },
    { "__G_Colortable", DT_INT, -1, 1072, 1 },
    { "__G_perlinP", DT_INT, -1, 1076, 1 },
    { "__G_perlinG3", DT_INT, -1, 1080, 1 },
    { "__G_SEED", DT_COMPLEX, PREC_EXTENDED, 1100, 1 },
    { "estimatedDistance", DT_REAL, PREC_EXTENDED, 1132, 0 },
    { "currentRayIndex", DT_INT, -1, 1148, 0 },
    { "hasBeenHit", DT_BOOL, -1, 1152, 0 },
    { "overflowOccurred", DT_INT, -1, 1516, 0 },
    { nullptr, 0, 0, 8192, 0 },
};
// T2
static const PredefinedVariable kT2[] = {
    { "z", DT_COMPLEX, PREC_EXTENDED, 0, 0 },
    { "pixel", DT_COMPLEX, PREC_EXTENDED, 32, 0 },
    { "center", DT_COMPLEX, PREC_EXTENDED, 64, 1 },
    { "angle", DT_REAL, PREC_FLOAT, 96, 1 },
    { "rotation_center", DT_COMPLEX, PREC_EXTENDED, 112, 1 },
    { "e", DT_REAL, PREC_EXTENDED, 144, 1 },
    { "pi", DT_REAL, PREC_EXTENDED, 160, 1 },
    { "screenmax", DT_COMPLEX, PREC_FLOAT, 176, 1 },
    { "scrnmax", DT_COMPLEX, PREC_FLOAT, 176, 1 },
    { "maxiter", DT_INT, -1, 208, 1 },
    { "maxit", DT_INT, -1, 208, 1 },
    { "corner_lefttop", DT_COMPLEX, PREC_EXTENDED, 224, 1 },
    { "corner_rightbottom", DT_COMPLEX, PREC_EXTENDED, 256, 1 },
    { "magn", DT_REAL, PREC_EXTENDED, 288, 1 },
    { "width", DT_INT, -1, 304, 1 },
    { "height", DT_INT, -1, 320, 1 },
    { "index", DT_REAL, PREC_EXTENDED, 336, 0 },
    { "numiter", DT_INT, -1, 352, 0 },
    { "random", DT_COMPLEX, PREC_EXTENDED, 368, 0 },
    { "rand", DT_COMPLEX, PREC_EXTENDED, 368, 0 },
    { "screenpixel", DT_COMPLEX, PREC_FLOAT, 400, 0 },
    { "scrnpix", DT_COMPLEX, PREC_FLOAT, 400, 0 },
    { "solid", DT_BOOL, -1, 432, 0 },
    { "whitesq", DT_BOOL, -1, 448, 0 },
    { "x", DT_REAL, PREC_FLOAT, 464, 0 },
    { "y", DT_REAL, PREC_FLOAT, 480, 0 },
    { "alpha", DT_REAL, PREC_EXTENDED, 640, 0 },
    { "randomrange", DT_REAL, PREC_EXTENDED, 656, 1 },
    { "pixelcolor", DT_COLOR, -1, 672, 0 },
    { "shared_var", DT_REAL, PREC_EXTENDED, 688, 0 },
    { "UF_skew", DT_REAL, PREC_FLOAT, 704, 1 },
    { "UF_stretch", DT_REAL, PREC_FLOAT, 720, 1 },
    { "__O_Speed", DT_REAL, PREC_FLOAT, 1008, 1 },
    { "__O_Accel", DT_REAL, PREC_FLOAT, 1012, 1 },
    { "__O_Smooth", DT_REAL, PREC_FLOAT, 1016, 1 },
    { "__O_Offset", DT_REAL, PREC_FLOAT, 1020, 1 },
    { "__O_Repeat", DT_INT, -1, 1024, 1 },
    { "__O_Mapping", DT_INT, -1, 1028, 1 },
    { "__O_Solidcolor", DT_INT, -1, 1032, 1 },
    { "__O_SolidOpacity", DT_INT, -1, 1036, 1 },
    { "__I_Speed", DT_REAL, PREC_FLOAT, 1040, 1 },
    { "__I_Accel", DT_REAL, PREC_FLOAT, 1044, 1 },
    { "__I_Smooth", DT_REAL, PREC_FLOAT, 1048, 1 },
    { "__I_Offset", DT_REAL, PREC_FLOAT, 1052, 1 },
    { "__I_Repeat", DT_INT, -1, 1056, 1 },
    { "__I_Mapping", DT_INT, -1, 1060, 1 },
    { "__I_Solidcolor", DT_INT, -1, 1064, 1 },
    { "__I_SolidOpacity", DT_INT, -1, 1068, 1 },
    { "__G_Colortable", DT_INT, -1, 1072, 1 },
    { "__G_perlinP", DT_INT, -1, 1076, 1 },
    { "__G_perlinG3", DT_INT, -1, 1080, 1 },
    { "__G_SEED", DT_COMPLEX, PREC_EXTENDED, 1100, 1 },
    { "overflowOccurred", DT_INT, -1, 1516, 0 },
    { nullptr, 0, 0, 8192, 0 },
};
// T2A
static const PredefinedVariable kT2A[] = {
    { "z", DT_VECTOR, PREC_DOUBLE, 0, 0 },
    { "formulaWeightStart", DT_REAL, PREC_DOUBLE, 24, 0 },
    { "formulaWeight", DT_REAL, PREC_DOUBLE, 32, 0 },
    { "numTrafos", DT_INT, -1, 40, 0 },
    { "e", DT_REAL, PREC_EXTENDED, 144, 1 },
    { "pi", DT_REAL, PREC_EXTENDED, 160, 1 },
    { "screenmax", DT_COMPLEX, PREC_FLOAT, 176, 1 },
    { "maxiter", DT_REAL, PREC_DOUBLE, 208, 1 },
    { "width", DT_INT, -1, 304, 1 },
    { "height", DT_INT, -1, 320, 1 },
    { "index", DT_REAL, PREC_EXTENDED, 336, 0 },
    { "numiter", DT_INT, -1, 352, 0 },
    { "__z_temp", DT_VECTOR, PREC_DOUBLE, 400, 0 },
    { "hiddenPixel", DT_BOOL, -1, 432, 0 },
    { "randomrange", DT_REAL, PREC_EXTENDED, 656, 1 },
    { "pixelcolor", DT_COLOR, -1, 672, 0 },
    { "Observer", DT_VECTOR, PREC_DOUBLE, 688, 1 },
    { "Viewpoint", DT_VECTOR, PREC_DOUBLE, 712, 1 },
    { "Top", DT_VECTOR, PREC_DOUBLE, 736, 1 },
    { "FieldOfView", DT_REAL, PREC_DOUBLE, 760, 1 },
    { "__O_Speed", DT_REAL, PREC_FLOAT, 1008, 1 },
    { "__O_Accel", DT_REAL, PREC_FLOAT, 1012, 1 },
    { "__O_Smooth", DT_REAL, PREC_FLOAT, 1016, 1 },
    { "__O_Offset", DT_REAL, PREC_FLOAT, 1020, 1 },
    { "__O_Repeat", DT_INT, -1, 1024, 1 },
    { "__O_Mapping", DT_INT, -1, 1028, 1 },
    { "__O_Solidcolor", DT_INT, -1, 1032, 1 },
    { "__O_SolidOpacity", DT_INT, -1, 1036, 1 },
    { "__I_Speed", DT_REAL, PREC_FLOAT, 1040, 1 },
    { "__I_Accel", DT_REAL, PREC_FLOAT, 1044, 1 },
    { "__I_Smooth", DT_REAL, PREC_FLOAT, 1048, 1 },
    { "__I_Offset", DT_REAL, PREC_FLOAT, 1052, 1 },
    { "__I_Repeat", DT_INT, -1, 1056, 1 },
    { "__I_Mapping", DT_INT, -1, 1060, 1 },
    { "__I_Solidcolor", DT_INT, -1, 1064, 1 },
    { "__I_SolidOpacity", DT_INT, -1, 1068, 1 },
    { "__G_Colortable", DT_INT, -1, 1072, 1 },
    { "__G_perlinP", DT_INT, -1, 1076, 1 },
    { "__G_perlinG3", DT_INT, -1, 1080, 1 },
    { "trafoWeight", DT_PREDEFINED_ARRAY, PREC_FLOAT, 1092, 1 },
    { "trafoColor", DT_PREDEFINED_ARRAY, PREC_FLOAT, 1096, 1 },
    { "__G_SEED", DT_COMPLEX, PREC_EXTENDED, 1100, 1 },
    { "__G_SHADOWVEC1", DT_VECTOR, PREC_EXTENDED, 1132, 1 },
    { "__G_SHADOWVEC2", DT_VECTOR, PREC_EXTENDED, 1180, 1 },
    { "__G_SHADOWVEC3", DT_VECTOR, PREC_EXTENDED, 1228, 1 },
    { "__G_SHADOWVEC4", DT_VECTOR, PREC_EXTENDED, 1276, 1 },
    { "__G_SHADOWVEC5", DT_VECTOR, PREC_EXTENDED, 1324, 1 },
    { "__G_SHADOWVEC6", DT_VECTOR, PREC_EXTENDED, 1372, 1 },
    { "__G_SHADOWVEC7", DT_VECTOR, PREC_EXTENDED, 1420, 1 },
    { "__G_SHADOWVEC8", DT_VECTOR, PREC_EXTENDED, 1468, 1 },
    { "overflowOccurred", DT_INT, -1, 1516, 0 },
    { nullptr, 0, 0, 8192, 0 },
};
// T2Q
static const PredefinedVariable kT2Q[] = {
    { "z", DT_QUATERNION, PREC_DOUBLE, 0, 0 },
    { "__SXz", DT_QUATERNION, PREC_DOUBLE, 0, 0 },
    { "pixel", DT_QUATERNION, PREC_DOUBLE, 64, 0 },
    { "Basepoint", DT_QUATERNION, PREC_FLOAT, 128, 1 },
    { "Normal", DT_QUATERNION, PREC_FLOAT, 192, 1 },
    { "e", DT_REAL, PREC_EXTENDED, 256, 1 },
    { "pi", DT_REAL, PREC_EXTENDED, 272, 1 },
    { "screenmax", DT_COMPLEX, PREC_FLOAT, 288, 1 },
    { "scrnmax", DT_COMPLEX, PREC_FLOAT, 288, 1 },
    { "maxiter", DT_INT, -1, 320, 1 },
    { "maxit", DT_INT, -1, 320, 1 },
    { "width", DT_INT, -1, 336, 1 },
    { "height", DT_INT, -1, 352, 1 },
    { "numiter", DT_INT, -1, 368, 0 },
    { "random", DT_COMPLEX, PREC_EXTENDED, 384, 0 },
    { "rand", DT_COMPLEX, PREC_EXTENDED, 384, 0 },
    { "screenpixel", DT_COMPLEX, PREC_FLOAT, 416, 0 },
    { "scrnpix", DT_COMPLEX, PREC_FLOAT, 416, 0 },
    { "solid", DT_BOOL, -1, 448, 0 },
    { "Base1", DT_QUATERNION, PREC_FLOAT, 640, 1 },
    { "Base2", DT_QUATERNION, PREC_FLOAT, 656, 1 },
    { "Base3", DT_QUATERNION, PREC_FLOAT, 672, 1 },
    { "Base4", DT_QUATERNION, PREC_FLOAT, 688, 1 },
    { "shared_var", DT_REAL, PREC_EXTENDED, 896, 0 },
    { "index", DT_REAL, PREC_EXTENDED, 944, 0 },
    { "alpha", DT_REAL, PREC_EXTENDED, 960, 0 },
    { "randomrange", DT_REAL, PREC_EXTENDED, 976, 1 },
    { "pixelcolor", DT_COLOR, -1, 992, 0 },
    { "__O_Speed", DT_REAL, PREC_FLOAT, 1008, 1 },
    { "__O_Accel", DT_REAL, PREC_FLOAT, 1012, 1 },
    { "__O_Smooth", DT_REAL, PREC_FLOAT, 1016, 1 },
    { "__O_Offset", DT_REAL, PREC_FLOAT, 1020, 1 },
    { "__O_Repeat", DT_INT, -1, 1024, 1 },
    { "__O_Mapping", DT_INT, -1, 1028, 1 },
    { "__O_Solidcolor", DT_INT, -1, 1032, 1 },
    { "__O_SolidOpacity", DT_INT, -1, 1036, 1 },
    { "__I_Speed", DT_REAL, PREC_FLOAT, 1040, 1 },
    { "__I_Accel", DT_REAL, PREC_FLOAT, 1044, 1 },
    { "__I_Smooth", DT_REAL, PREC_FLOAT, 1048, 1 },
    { "__I_Offset", DT_REAL, PREC_FLOAT, 1052, 1 },
    { "__I_Repeat", DT_INT, -1, 1056, 1 },
    { "__I_Mapping", DT_INT, -1, 1060, 1 },
    { "__I_Solidcolor", DT_INT, -1, 1064, 1 },
    { "__I_SolidOpacity", DT_INT, -1, 1068, 1 },
    { "__G_Colortable", DT_INT, -1, 1072, 1 },
    { "__G_perlinP", DT_INT, -1, 1076, 1 },
    { "__G_perlinG3", DT_INT, -1, 1080, 1 },
    { "__G_SEED", DT_COMPLEX, PREC_EXTENDED, 1100, 1 },
    { "estimatedDistance", DT_REAL, PREC_EXTENDED, 1132, 0 },
    { "currentRayIndex", DT_BOOL, -1, 1148, 0 },
    { "hasBeenHit", DT_BOOL, -1, 1152, 0 },
    { "overflowOccurred", DT_INT, -1, 1516, 0 },
    { nullptr, 0, 0, 8192, 0 },
};

}  // namespace

const PredefinedVariable* PredefinedTable(int kind, int subKind)
{
    switch (kind) {
    case FK_TRANSFORMATION:
        return subKind == SK_QUATERNION ? kT0Q : subKind == SK_ATTRACTOR ? nullptr : kT0;
    case FK_ITERATION:
        return subKind == SK_QUATERNION ? kT1Q : subKind == SK_ATTRACTOR ? kT1A : kT1;
    case FK_COLORING:
        return subKind == SK_QUATERNION ? kT2Q : subKind == SK_ATTRACTOR ? kT2A : kT2;
    default:
        return nullptr;
    }
}

// ---------------------------------------------------------------------------

void FormulaCompiler::createPredefinedSymbols(bool setDataTop)
{
    const PredefinedVariable* table = PredefinedTable(kind, subKind);
    bool reuse = passIndex > 0 || cycle > 0;

    // The small integers 0, 1, -1, ..., 10, -10 under the ids 1 to 21.
    for (int id = 1; id <= 21; ++id) {
        FormulaSymbol* s = reuse ? findSymbolById(&symbols, id) : nullptr;
        bool isNew = s == nullptr;
        if (s) {
            s->clear();
        } else {
            s = new FormulaSymbol();
            char name[40];
            snprintf(name, sizeof name, "default constant %d", id);
            s->SetName(name);
            s->id = id;
        }
        s->dataType = DT_REAL;
        s->precision = PREC_FLOAT;
        s->currentType = DT_REAL;
        s->nextType = DT_REAL;
        s->variability = 0;
        s->symbolClass = SYM_PREDEFINED;
        s->dataOffset = -1;
        s->value[0] = decodeSmallInt(id);
        s->defaultValue[0] = s->value[0];
        if (isNew)
            symbols.Append(s);
    }
    if (!reuse)
        symbols.nextIds[0] = SYMBOL_FIRST_GLOBAL_ID;

    for (const PredefinedVariable* row = table; row && row->name; ++row) {
        FormulaSymbol* s = reuse ? static_cast<FormulaSymbol*>(symbols.Find(row->name)) : nullptr;
        bool isNew = s == nullptr;
        if (s) {
            s->clear();
        } else {
            s = new FormulaSymbol();
            s->SetName(row->name);
            s->id = symbols.nextIds[0]++;
        }
        if (row->input) {
            s->assigned = FACT_NO;
            s->constant = FACT_YES;
            s->variability = 0;
        } else {
            s->assigned = FACT_YES;
            s->constant = FACT_NO;
            s->variability = 1;
        }
        s->dataType = row->dataType;
        s->currentType = row->dataType;
        s->nextType = row->dataType;
        s->precision = row->precision;
        s->dataOffset = row->offset;
        s->symbolClass = SYM_PREDEFINED;

        if (row->dataType == DT_PREDEFINED_ARRAY) {
            if (strcmp(row->name, "trafoWeight") == 0 || strcmp(row->name, "trafoColor") == 0) {
                // One value per transformation of the attractor.
                s->value[0] = 1;
                s->precision = DT_REAL;
                s->elementPrecision = PREC_FLOAT;
                s->dimensions[0] = 500;
                s->assigned = FACT_YES;
                s->constant = FACT_NO;
                s->variability = 1;
                s->arrayAssigned = FACT_NO;
                s->arrayConstant = FACT_YES;
                s->arrayConstantSure = FACT_YES;
            }
            int64_t count = 1;
            for (int d = 0; d < (int)s->value[0] && d < SYMBOL_MAX_DIMENSIONS; ++d)
                count *= s->dimensions[d];
            if (count >= 0 && count <= ARRAY_MAX_ELEMENT_RECORDS && s->makeElements((int)count)) {
                for (int i = 0; i < s->elementCount; ++i) {
                    s->elements[i].assigned = FACT_NO;
                    s->elements[i].constant = FACT_YES;
                    s->elements[i].constantSure = FACT_YES;
                    s->elements[i].runtimeRead = FACT_NO;
                }
            }
        }
        if (isNew)
            symbols.Append(s);
    }

    if (setDataTop && !reuse) {
        dataTop = PREDEFINED_AREA_SIZE;
        // The directive symbols of this cycle already lie below -128; the
        // bottom only ever moves down, so their slots stay theirs.
        if (dataBottom > -128)
            dataBottom = -128;
    }
}

void FormulaCompiler::prepareDataBlock(int storeFlag)
{
    if (!dataBlock)
        return;
    dataBlock->Reserve(dataTop, -dataBottom, 3000, 3000);
    uint8_t* base = dataBlock->GetBase();
    if (!base || dataBlock->GetAbove() < dataTop || dataBlock->GetBelow() < -dataBottom)
        return;
    if (dataTop > 0)
        memset(base, 0, (size_t)dataTop);
    if (dataBottom < 0)
        memset(base + dataBottom, 0, (size_t)-dataBottom);

    storeSymbolValues();
    if (inputSymbols)
        storeParameterValues(storeFlag);

    // The small integers as 16-bit values under the base, where compiled
    // code loads them with FILD.
    for (int code = 1; code <= 21; ++code) {
        int16_t v = (int16_t)decodeSmallInt(code);
        memcpy(base - 2 * code, &v, 2);
    }

    if (!fractal)
        return;
    DataBlockBinder bind = nullptr;
    switch (fractal->HostFractalType()) {
    case FT_QUATERNION: bind = g_BindQuaternionVariables; break;
    case FT_ATTRACTOR: bind = g_BindAttractorVariables; break;
    case FT_ESCAPETIME: bind = g_BindPredefinedVariables; break;
    default: break;
    }
    if (bind)
        bind(fractal, base, &symbols);
}
