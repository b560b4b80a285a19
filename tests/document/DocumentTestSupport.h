// Shared set-up of the document tests: what start-up prepares before the
// first fractal is made (the default precision of quotients, the compiler's
// tables and templates, the built-in comment template), and the folder of
// test formulas.
#pragma once
#include <string>
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Grammar.h"
#include "document/DocumentSettings.h"
#include "foundation/bignum/Apm.h"
#include "formulas/FormulaLoader.h"

inline void PrepareDocumentModel()
{
    PrepareDocumentEngine();
}

// The folder of the test formulas ("Spiralix.sfm" with "Mandelbrot" and
// "Hybrid"), in the program's path form.
inline std::string DocumentFormulaFolder()
{
    std::string path = std::string(SPIRALIX_TEST_DATA) + "/document";
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// Loads the test formulas into the formula trees (once).
inline void LoadDocumentFormulas()
{
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    std::string folder = DocumentFormulaFolder();
    ScanFormulaFolder(folder.c_str(), folder.c_str());
    SetCompilerFormulaPath(folder.c_str());
}
