// spxcalc ifs-eval and spxcalc formulas: the IFS expression language and the
// IFS and L-system formula files on the command line.
//
//   spxcalc ifs-eval [--p1 V ... --p4 V] EXPR...
//       parses and runs each expression in order in one context, as an IFS
//       calculation builds it for a default 640x480 IFS fractal ("rand"
//       goes on from one expression to the next); one line each:
//       "(RE,IM)" with %.10g, or "error=N" with the parse result code
//   spxcalc formulas FILE... [--save-all ifs|lsystem OUT]
//       loads only these .ifs / .l files; prints "ifs NAME" per IFS formula,
//       then "lsystem NAME" per L-system formula, each in list order; with
//       --save-all writes every formula of the kind into OUT
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "compiler/FormulaSymbol.h"
#include "document/Fractal.h"
#include "document/PlainBlocks.h"
#include "files/formulafiles/FormulaFiles.h"
#include "foundation/List.h"
#include "fractals/ifs/IfsFormula.h"
#include "fractals/ifs/IfsMachine.h"
#include "fractals/ifs/IfsParser.h"
#include "tools/spxcalc/Commands.h"

namespace {

bool ParameterOption(const char* arg, int* index)
{
    static const char* const kOptions[] = {"--p1", "--p2", "--p3", "--p4"};
    for (int i = 0; i < 4; i++)
        if (strcmp(arg, kOptions[i]) == 0) {
            *index = i;
            return true;
        }
    return false;
}

}  // namespace

int RunIfsEvalCommand(int argc, char** argv)
{
    Fractal fractal(FT_IFS, 0);
    fractal.header->Width = 640;
    fractal.header->Height = 480;
    auto* p = static_cast<IFSParameters*>(fractal.typeParameters);
    double* parms[] = {&p->Parm1, &p->Parm2, &p->Parm3, &p->Parm4};
    int first = 0;
    for (int index; first < argc && ParameterOption(argv[first], &index); first += 2) {
        if (first + 1 >= argc) {
            fprintf(stderr, "spxcalc ifs-eval: %s needs a value\n", argv[first]);
            return 2;
        }
        *parms[index] = atof(argv[first + 1]);
    }
    if (first >= argc) {
        fprintf(stderr, "usage: spxcalc ifs-eval [--p1 V ... --p4 V] EXPR...\n");
        return 2;
    }
    EvalContext context = BuildIfsContext(&fractal);
    static uint32_t stream[IFS_SCRATCH_BYTES / 4];
    double stack[500];
    context.stackEnd = stack + 500;
    for (int i = first; i < argc; i++) {
        NodeList symbols;
        int size = ParseFormula(argv[i], stream, &symbols, IFS_SCRATCH_BYTES);
        symbols.DeleteAllNodes();
        if (size <= 0) {
            printf("error=%d\n", -size);
            continue;
        }
        Complex acc = {0, 0};
        context.stackTop = stack;
        context.ip = stream;
        RunFormula(&context, &acc);
        printf("(%.10g,%.10g)\n", acc.re, acc.im);
    }
    return 0;
}

int RunFormulasCommand(int argc, char** argv)
{
    const char* saveKind = nullptr;
    const char* saveFile = nullptr;
    int files = 0;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--save-all") == 0) {
            if (i + 2 >= argc || (strcmp(argv[i + 1], "ifs") != 0 && strcmp(argv[i + 1], "lsystem") != 0)) {
                fprintf(stderr, "spxcalc formulas: --save-all ifs|lsystem OUT\n");
                return 2;
            }
            saveKind = argv[i + 1];
            saveFile = argv[i + 2];
            i += 2;
            continue;
        }
        LoadFormulaFileByExtension(argv[i]);
        files++;
    }
    if (!files) {
        fprintf(stderr, "usage: spxcalc formulas FILE... [--save-all ifs|lsystem OUT]\n");
        return 2;
    }
    for (ListNode* n = g_IfsFormulas.GetHead(); n; n = n->next)
        printf("ifs %s\n", n->name);
    for (ListNode* n = g_LSystemFormulas.GetHead(); n; n = n->next)
        printf("lsystem %s\n", n->name);
    if (saveKind) {
        int kind = strcmp(saveKind, "ifs") == 0 ? FORMULA_KIND_IFS : FORMULA_KIND_LSYSTEM;
        if (!SaveAllFormulasToFile(kind, saveFile)) {
            fprintf(stderr, "spxcalc formulas: cannot write %s\n", saveFile);
            return 1;
        }
    }
    return 0;
}
