// The run-wide unit cube: looked up, compiled once under a small spin lock
// (the first caller compiles, the others wait for its result).
#include "fractals/attractor/UnitCube.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "foundation/List.h"
#include "formulas/FormulaKind.h"
#include "formulas/FormulaLookup.h"

const char kBuiltInUnitCube[] =
    "unitcube(ATTRACTOR)\n"
    "{\n"
    "\treal n, h, v;\n"
    "\tvoid loop(void)\n"
    "\t{\n"
    "\t\tn = random.real() * 6;\n"
    "\t\th = random.real() * 2 - 1;\n"
    "\t\tv = random.real() * 2 - 1;\n"
    "\t\tif (n < 1) {\n\t\t\tz = vector(-1, h, v);\n"
    "\t\t} else if (n < 2) {\n\t\t\tz = vector(1, h, v);\n"
    "\t\t} else if (n < 3) {\n\t\t\tz = vector(h, -1, v);\n"
    "\t\t} else if (n < 4) {\n\t\t\tz = vector(h, 1, v);\n"
    "\t\t} else if (n < 5) {\n\t\t\tz = vector(h, v, -1);\n"
    "\t\t} else {\n\t\t\tz = vector(h, v, 1);\n"
    "\t\t}\n"
    "\t}\n"
    "\tvoid description(void)\n"
    "\t{\n"
    "\t\tthis.title = \"Unit Cube\";\n"
    "\t}\n"
    "}\n";

namespace {

NodeList* Compile(const char* text)
{
    FormulaHolder holder(FK_ITERATION);
    AttractorCompileHost host;
    NodeList parameters, functionSlots;
    if (!holder.compiler->compile(text, 4096, -128, &parameters, &functionSlots, &host, "Unit Cube", 11, nullptr,
                                  false, false))
        return nullptr;
    NodeList* functions = new NodeList;
    holder.compiler->takeFunctions(functions);
    return functions;
}

NodeList* LookUpAndCompile()
{
    FormulaHolder holder(FK_ITERATION);
    char fileName[64] = "AttractorConstructor.sfm";
    char foundName[64] = "";
    LookupFormula(nullptr, 18, fileName, sizeof fileName, "unitcube", foundName, &holder);
    NodeList* functions = nullptr;
    if (strncmp(foundName, "Not Found", 9) != 0 && holder.GetSource())
        functions = Compile(holder.GetSource());
    return functions ? functions : Compile(kBuiltInUnitCube);
}

volatile LONG g_Lock = 0;
NodeList* g_UnitCube = nullptr;
bool g_Made = false;
UnitCubeMaker g_Maker = &LookUpAndCompile;

void Lock()
{
    while (InterlockedCompareExchange(&g_Lock, 1, 0) != 0)
        Sleep(1);
}

void Unlock()
{
    InterlockedExchange(&g_Lock, 0);
}

}  // namespace

NodeList* AttractorUnitCubeFunctions()
{
    Lock();
    if (!g_Made) {
        g_UnitCube = g_Maker();
        g_Made = true;
    }
    NodeList* functions = g_UnitCube;
    Unlock();
    return functions;
}

UnitCubeMaker SetAttractorUnitCubeMaker(UnitCubeMaker maker)
{
    Lock();
    UnitCubeMaker previous = g_Maker;
    g_Maker = maker ? maker : &LookUpAndCompile;
    if (g_UnitCube) {
        g_UnitCube->DeleteAllNodes();
        delete g_UnitCube;
    }
    g_UnitCube = nullptr;
    g_Made = false;
    Unlock();
    return previous;
}
