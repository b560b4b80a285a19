// The compiler object, its holder and the compile driver: the passes and
// cycles of a compile, the statement loop over the parse table and the
// checks of the functions a formula kind requires.
#include "compiler/FormulaCompiler.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <vector>

#include "foundation/FailureReport.h"
#include "foundation/Messages.h"
#include "compiler/CompileHost.h"
#include "foundation/Buffers.h"
#include "foundation/Guard.h"

FormulaCompiler g_FormulaCompiler;

namespace {

char* CopyString(const char* text)
{
    if (!text)
        return nullptr;
    size_t size = strlen(text) + 1;
    char* copy = static_cast<char*>(malloc(size));
    if (copy)
        memcpy(copy, text, size);
    return copy;
}

void FreeHelpTexts(char** texts)
{
    for (int i = 0; i < 10; i++) {
        free(texts[i]);
        texts[i] = nullptr;
    }
}

// Settles four facts of a copied symbol (or array, or array element) for
// the next optimizer cycle.
void SettleFacts(int32_t* assigned, int32_t* constant, int32_t* constantSure, int32_t* runtimeRead)
{
    if (*constant == FACT_NO || *assigned == FACT_YES) {
        *assigned = FACT_YES;
        *constant = FACT_NO;
        *runtimeRead = FACT_UNKNOWN;
    } else if (*assigned != FACT_NO || *constantSure == FACT_NO) {
        *assigned = FACT_UNKNOWN;
        *constant = FACT_UNKNOWN;
    } else {
        *assigned = FACT_NO;
        *constant = FACT_YES;
        *runtimeRead = FACT_UNKNOWN;
    }
    *constantSure = FACT_UNKNOWN;
}

void SettleSymbolFacts(FormulaSymbol* s)
{
    if (s->dataType == DT_ARRAY || s->dataType == DT_PREDEFINED_ARRAY)
        SettleFacts(&s->arrayAssigned, &s->arrayConstant, &s->arrayConstantSure, &s->runtimeRead);
    else
        SettleFacts(&s->assigned, &s->constant, &s->constantSure, &s->runtimeRead);
    for (int i = 0; i < s->elementCount; i++) {
        ArrayElementRecord& e = s->elements[i];
        SettleFacts(&e.assigned, &e.constant, &e.constantSure, &e.runtimeRead);
    }
}

// A name in a list: through its name index where that finds it, else by
// walking (names beginning "INFO:" are never in a name index).
FormulaSymbol* FindByNameAnyway(const NodeList* list, const char* name)
{
    ListNode* n = list->Find(name);
    if (!n && IsInfoName(name))
        n = findNodeByName(list->GetHead(), name);
    return static_cast<FormulaSymbol*>(n);
}

// Copies the symbols of from into to (appending); mode as copySymbols. An
// existing name only takes the shared flag.
void AppendSymbolCopies(const NodeList* from, NodeList* to, int mode)
{
    for (ListNode* n = from->GetHead(); n; n = n->next) {
        const FormulaSymbol* s = static_cast<const FormulaSymbol*>(n);
        if ((mode == 0 || mode == 2) && s->symbolClass == SYM_CONSTANT)
            continue;
        FormulaSymbol* existing = FindByNameAnyway(to, s->name);
        if (existing) {
            existing->shared |= s->shared;
            continue;
        }
        FormulaSymbol* copy = new FormulaSymbol();
        s->copyTo(copy);
        if (mode == 0)
            SettleSymbolFacts(copy);
        to->Append(copy);
    }
}

// Rank of a data type for the optimizer notes; -1 for a vector (no note).
int TypeRank(int type)
{
    static const int ranks[DATA_TYPE_COUNT] = {1, 2, 2, 2, 0, 2, 3, 3, 3, 3, 3, -1};
    if (type < 0 || type >= DATA_TYPE_COUNT)
        return -1;
    return ranks[type];
}

bool OptimizerNoteDue(const FormulaSymbol* s)
{
    if (strstr(s->name, "some constant value"))
        return false;
    int declared = TypeRank(s->dataType);
    int current = TypeRank(s->currentType);
    if (declared < 0 || current < 0 || s->dataType == DT_VECTOR)
        return false;
    return current > declared;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

FormulaCompiler::FormulaCompiler()
    : passIndex(0), cycle(0), precisionLevel(0), formulaNode(nullptr), sharedVariables(nullptr),
      librarySource(nullptr), libraryIndex(nullptr), matchScratch(nullptr), dataTop(0),
      dataBottom(-128), initialDataTop(0), initialDataBottom(-128), textPosition(0), parseState(0),
      inputSymbols(nullptr), inputFuncParameters(nullptr), kind(FK_ITERATION), insideColoring(0),
      insideMode(0), subKind(SK_PLANE), subKindMask(SUBKIND_MASK_PLANE), symmetry(0), errorCount(0),
      pendingFunction(nullptr), currentFunction(nullptr), savedFunction(nullptr),
      blockStack(new BlockStack()), jumpStack(new IntStack(200)), functionCode(nullptr),
      outputCode(nullptr), messageText(nullptr), generatedText(nullptr), dataBlock(nullptr),
      fractal(nullptr), parametersConstant(0), codePosition(0), outputPosition(0), declParameter(0),
      declFunction(0), declConst(0), declShared(0), declType(DT_COMPLEX), declPrecision(PREC_DOUBLE),
      declByReference(0), serialCounter(0), constantType(-1), helpFileCount(0),
      maxIter(PROPERTY_NOT_GIVEN), periodicity(PROPERTY_NOT_GIVEN), angle(PROPERTY_NOT_GIVEN_DOUBLE),
      magnification(PROPERTY_NOT_GIVEN_DOUBLE), functionOrder(0), generatedTextPending(0),
      generatedTextMode(0), workingText(nullptr), pristineText(nullptr), savedText(nullptr),
      savedPosition(0), importsDone(0), compileFailed(0), compileAborted(0),
      clearMessagesEachCycle(0), typePosition(0), arraySymbol(nullptr), identifierPosition(0),
      libraryNode(nullptr),
      expressionLog(nullptr), expressionLogCount(0), expressionBuffer(nullptr)
{
    static const int32_t passes[4] = {0, 1, 2, 3};
    memcpy(passList, passes, sizeof passList);
    memset(actionHistory, 0, sizeof actionHistory);
    memset(positionHistory, 0, sizeof positionHistory);
    name[0] = 0;
    memset(workStacks, 0, sizeof workStacks);
    identifier[0] = 0;
    nameBuffer[0] = propertyName[0] = aliasName[0] = 0;
    memset(constantValue, 0, sizeof constantValue);
    strcpy(title, "New Formula");
    memset(helpFiles, 0, sizeof helpFiles);
    memset(helpTopics, 0, sizeof helpTopics);
    errorText[0] = 0;
    center[0] = center[1] = PROPERTY_NOT_GIVEN_DOUBLE;
}

FormulaCompiler::~FormulaCompiler()
{
    for (IntStack*& s : workStacks) {
        delete s;
        s = nullptr;
    }
    FreeHelpTexts(helpFiles);
    FreeHelpTexts(helpTopics);
    free(matchScratch);
    delete functionCode;
    delete outputCode;
    delete messageText;
    delete generatedText;
    delete expressionLog;
    delete expressionBuffer;
    delete dataBlock;
    delete blockStack;
    delete jumpStack;
    free(workingText);
    free(pristineText);
    free(librarySource);
    free(libraryIndex);
    DeleteAllNodes(&symbols);
    DeleteAllNodes(&funcParameters);
    DeleteAllNodes(&savedSignatures);
    DeleteAllNodes(&savedSymbols);
    // Functions nobody took (freeResults / takeFunctions) still belong to
    // the compiler.
    DeleteAllNodes(&functions);
    freeExpressionBuffers();
    if (inputSymbols) {
        DeleteAllNodes(inputSymbols);
        delete inputSymbols;
    }
    if (inputFuncParameters) {
        DeleteAllNodes(inputFuncParameters);
        delete inputFuncParameters;
    }
}

void FormulaCompiler::setKind(int k)
{
    kind = k;
    insideColoring = 0;
}

void FormulaCompiler::setKind2(int k, int inside)
{
    kind = k;
    insideColoring = inside;
}

void FormulaCompiler::reset()
{
    fractal = nullptr;
    inputSymbols = nullptr;
    inputFuncParameters = nullptr;
    subKind = SK_PLANE;
    subKindMask = SUBKIND_MASK_PLANE;
    errorCount = 0;
    if (functionCode)
        functionCode->Reset(5000);
    else
        functionCode = new GrowBuffer(5000);
    if (outputCode)
        outputCode->Reset(5000);
    else
        outputCode = new GrowBuffer(5000, true);
    codePosition = 0;
    outputPosition = 0;
    if (!dataBlock)
        dataBlock = new AlignedBuffer(3000, 3000);
    if (!generatedText)
        generatedText = new GrowBuffer(300);
    for (int i = 0; i < 8; i++) {
        if (!workStacks[i])
            workStacks[i] = new IntStack(i < 4 ? 200 : 100);
        workStacks[i]->clear();
    }
    blockStack->clear();
    jumpStack->clear();
}

void FormulaCompiler::freeWorkBuffers()
{
    delete functionCode;
    functionCode = nullptr;
    for (IntStack*& s : workStacks) {
        delete s;
        s = nullptr;
    }
}

void FormulaCompiler::freeResults()
{
    DeleteAllNodes(&functions);
    free(librarySource);
    librarySource = nullptr;
    free(libraryIndex);
    libraryIndex = nullptr;
    delete messageText;
    messageText = nullptr;
    delete expressionBuffer;
    expressionBuffer = nullptr;
}

void FormulaCompiler::takeFunctions(NodeList* target)
{
    if (!target)
        return;
    DeleteAllNodes(target);
    while (ListNode* n = functions.GetHead()) {
        functions.Remove(n);
        target->Append(n);
    }
}

FormulaSymbol* FormulaCompiler::findVariableByName(const char* symbolName) const
{
    if (!symbolName)
        return nullptr;
    if (currentFunction) {
        ListNode* local = currentFunction->locals.Find(symbolName);
        if (local)
            return static_cast<FormulaSymbol*>(local);
    }
    return FindByNameAnyway(&symbols, symbolName);
}

FormulaSymbol* FormulaCompiler::findVariable(int32_t id) const
{
    if (((uint32_t)id & SYMBOL_ID_LOCAL) && currentFunction) {
        FormulaSymbol* local = findSymbolById(&currentFunction->locals, id);
        if (local && local->id == id)
            return local;
    }
    // The id index ignores bit 31, so a local's id could land on a global's
    // slot: only an exact id counts.
    FormulaSymbol* global = findSymbolById(&symbols, id);
    return global && global->id == id ? global : nullptr;
}

// ---------------------------------------------------------------------------
// Required functions

namespace {

// Walks the callees of a function; path holds the functions on the current
// call path, so that functions calling each other in a cycle end the walk.
int CheckCallees(FormulaCompiler* compiler, FormulaFunction* function, FormulaFunction** path,
                 int depth)
{
    enum { CALL_PATH_MAX = 256 };
    int result = 0;
    for (int i = 0; i < function->callSitePairs(); i++) {
        FormulaFunction* callee = function->callSiteCallee(i);
        if (!callee)
            continue;
        if (callee->stateWord != FUNCTION_DEFINED) {
            compiler->reportf(nullptr, 0, 0, true, MSG_ERROR,
                              "Compiler error 708: Function %s references function %s, but that "
                              "function has not been defined",
                              function->name, callee->name);
            result = 1;
            continue;
        }
        bool onPath = callee == function;
        for (int k = 0; k < depth && !onPath; k++)
            onPath = path[k] == callee;
        if (onPath || depth >= CALL_PATH_MAX)
            continue;
        path[depth] = callee;
        if (CheckCallees(compiler, callee, path, depth + 1))
            result = 1;
    }
    return result;
}

}  // namespace

int FormulaCompiler::checkFunctionPresent(const char* decoratedName, int number, const char* signature)
{
    FormulaFunction* function = findFunction(&functions, decoratedName);
    if (!function) {
        if (signature)
            reportf(nullptr, 0, 0, true, MSG_ERROR,
                    "Compiler error %d: Formula does not contain function \"%s\".", number, signature);
        else
            reportf(nullptr, 0, 0, true, MSG_ERROR,
                    "Compiler error %d: Function with signature \"%s\" is missing.", number,
                    decoratedName);
        return 1;
    }
    FormulaFunction* path[256];
    path[0] = function;
    return CheckCallees(this, function, path, 1);
}

bool FormulaCompiler::checkRequiredFunctions()
{
    switch (kind) {
    case FK_ITERATION:
        if (subKind != SK_ATTRACTOR && checkFunctionPresent("Vinit@@", 910, "void init(void)"))
            return false;
        if (checkFunctionPresent("Vloop@@", 911, "void loop(void)"))
            return false;
        if (subKind != SK_ATTRACTOR && checkFunctionPresent("Bbailout@@", 912, "bool bailout(void)"))
            return false;
        return true;
    case FK_TRANSFORMATION:
        return checkFunctionPresent("Vtransform@@", 913, "void transform(void)") == 0;
    case FK_COLORING:
        if (subKind == SK_ATTRACTOR)
            return checkFunctionPresent("Vloop@@", 916, "void loop(void)") == 0;
        return checkFunctionPresent("Vfinal@@", 916, "void final(void)") == 0;
    case FK_LIBRARY: {
        bool ok = true;
        for (ListNode* n = functions.GetHead(); n; n = n->next) {
            FormulaFunction* f = static_cast<FormulaFunction*>(n);
            if (f->stateWord == FUNCTION_DECLARED) {
                reportf(nullptr, 0, 0, false, MSG_WARNING,
                        "Compiler warning 709: Function %s has been declared, but has not been defined",
                        f->name);
            } else if (f->stateWord == FUNCTION_DEFINED) {
                if (checkFunctionPresent(f->decoratedName, 917, nullptr))
                    ok = false;
            }
        }
        return ok;
    }
    default:
        return true;
    }
}

// ---------------------------------------------------------------------------
// Copies between cycles

void FormulaCompiler::copySymbols(const NodeList* source, NodeList* target, int mode)
{
    if (!target)
        return;
    DeleteAllNodes(target);
    if (source)
        AppendSymbolCopies(source, target, mode);
}

void FormulaCompiler::copyFuncParameters(const NodeList* source, NodeList* target)
{
    if (!target)
        return;
    DeleteAllNodes(target);
    if (!source)
        return;
    for (ListNode* n = source->GetHead(); n; n = n->next) {
        const FormulaFuncParameter* p = static_cast<const FormulaFuncParameter*>(n);
        FormulaFuncParameter* copy = new FormulaFuncParameter();
        p->copyTo(copy);
        target->Append(copy);
    }
}

void FormulaCompiler::copyFunctionSignatures()
{
    for (ListNode* n = functions.GetHead(); n; n = n->next) {
        const FormulaFunction* f = static_cast<const FormulaFunction*>(n);
        FormulaFunction* copy = new FormulaFunction();
        copy->SetName(f->name);
        memcpy(copy->decoratedName, f->decoratedName, sizeof copy->decoratedName);
        copy->resultType = f->resultType;
        copy->resultPrecision = f->resultPrecision;
        copy->stateWord = f->stateWord;
        AppendSymbolCopies(&f->locals, &copy->parameters, 0);
        savedSignatures.Append(copy);
    }
}

// ---------------------------------------------------------------------------
// The driver

bool FormulaCompiler::pollCommand()
{
    volatile int* word = fractal ? fractal->HostCommandWord() : nullptr;
    if (!word)
        return false;
    int command = *word;
    if (command == FTC_REDRAW3D) {
        // Dropped, unless the main thread has written another command since.
        InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(word), 0, FTC_REDRAW3D);
        return false;
    }
    return command != 0;
}

bool FormulaCompiler::compile(const char* text, int dataTopIn, int dataBottomIn, NodeList* symbolsIn,
                              NodeList* funcParametersIn, CompileHost* fractalIn, const char* nameIn,
                              int subKindIn, FormulaNode* node, bool clearMessages, bool constantParams)
{
    bool result = false;
    DWORD code = Guarded([&] {
        result = doCompile(text, dataTopIn, dataBottomIn, symbolsIn, funcParametersIn, fractalIn, nameIn,
                           subKindIn, node, clearMessages, constantParams);
    }, &IsSoftwareException);
    if (code == 0)
        return result;
    if (code == EXCEPTION_STOP_THREAD)
        return false;
    // Hardware faults never reach here: the filter leaves them to the
    // guard outside, with their original context.
    char location[200];
    snprintf(location, sizeof location, "compile(): Tried to compile the formula \"%s\"", nameIn ? nameIn : "");
    ReportSoftwareFailure(code, location);
    return false;
}

bool FormulaCompiler::doCompile(const char* text, int dataTopIn, int dataBottomIn, NodeList* symbolsIn,
                                NodeList* funcParametersIn, CompileHost* fractalIn, const char* nameIn,
                                int subKindIn, FormulaNode* node, bool clearMessages, bool constantParams)
{
    // Leftovers of a compile an exception abandoned.
    free(workingText);
    free(pristineText);
    workingText = pristineText = nullptr;
    if (inputSymbols) {
        DeleteAllNodes(inputSymbols);
        delete inputSymbols;
    }
    if (inputFuncParameters) {
        DeleteAllNodes(inputFuncParameters);
        delete inputFuncParameters;
    }

    // 1. Reset and arguments.
    reset();
    formulaNode = node;
    parametersConstant = constantParams ? 1 : 0;
    clearMessagesEachCycle = clearMessages ? 1 : 0;
    if (!matchScratch)
        matchScratch = static_cast<MatchRecord*>(calloc(MATCH_SCRATCH_RECORDS, sizeof(MatchRecord)));
    if (!matchScratch)
        return false;
    subKind = subKindIn;
    if (subKindIn == SK_PLANE)
        subKindMask = SUBKIND_MASK_PLANE;
    else if (subKindIn == SK_QUATERNION)
        subKindMask = SUBKIND_MASK_QUATERNION;
    else if (subKindIn == SK_ATTRACTOR)
        subKindMask = SUBKIND_MASK_ATTRACTOR;
    errorCount = 0;
    if (!nameIn)
        name[0] = 0;
    else if (!nameIn[0])
        strcpy(name, "<Unnamed>");
    else
        snprintf(name, sizeof name, "%s", nameIn);

    // 2. Copies of the handed-in lists.
    if (symbolsIn) {
        inputSymbols = new NodeList();
        inputSymbols->SetIndexes(NL_INDEX_NAME | NL_INDEX_ID, FormulaSymbolId);
        copySymbols(symbolsIn, inputSymbols, 1);
    }
    if (funcParametersIn) {
        inputFuncParameters = new NodeList();
        inputFuncParameters->SetIndexes(NL_INDEX_NAME);
        copyFuncParameters(funcParametersIn, inputFuncParameters);
    }

    // 3. Fractal, data counters, help texts.
    fractal = fractalIn;
    setPrecisionLevel();
    initialDataTop = dataTopIn;
    initialDataBottom = dataBottomIn;
    FreeHelpTexts(helpFiles);
    FreeHelpTexts(helpTopics);
    helpFileCount = 0;

    // 4. Working copies of the text and the formula properties.
    size_t length = text ? strlen(text) : 0;
    workingText = static_cast<char*>(calloc(length + 100, 1));
    pristineText = static_cast<char*>(calloc(length + 100, 1));
    if (!workingText || !pristineText) {
        free(workingText);
        free(pristineText);
        workingText = pristineText = nullptr;
        return false;
    }
    if (length)
        memcpy(workingText, text, length);
    maxIter = periodicity = PROPERTY_NOT_GIVEN;
    angle = magnification = PROPERTY_NOT_GIVEN_DOUBLE;
    center[0] = center[1] = PROPERTY_NOT_GIVEN_DOUBLE;
    insideMode = 0;
    symmetry = 0;
    functionOrder = 0;
    dataTop = dataTopIn;
    dataBottom = dataBottomIn;
    stripComments(workingText);

    // 5. Records of an earlier compile.
    DeleteAllNodes(&savedSymbols);
    DeleteAllNodes(&savedSignatures);
    DeleteAllNodes(&symbols);
    DeleteAllNodes(&functions);
    DeleteAllNodes(&funcParameters);
    memcpy(pristineText, workingText, length + 1);

    // 6. Pass list and lists.
    serialCounter = 0;
    static const int32_t allPasses[4] = {0, 1, 2, 3};
    static const int32_t givenPasses[4] = {1, 2, 3, 3};
    memcpy(passList, symbolsIn ? givenPasses : allPasses, sizeof passList);
    clearParseCache();
    parseCache.Clear(true);
    parseCache.SetIndexes(NL_INDEX_KEY);
    optimizing = optimizationOff ? 0 : 1;
    symbols.Clear(true);
    symbols.SetIndexes(NL_INDEX_NAME | NL_INDEX_ID, FormulaSymbolId);
    savedSymbols.SetIndexes(NL_INDEX_NAME);
    pendingFunction = currentFunction = savedFunction = nullptr;
    arraySymbol = nullptr;
    compileFailed = compileAborted = 0;

    // 7. Passes and cycles.
    for (passIndex = 0; passIndex < 4 && passList[passIndex] != 3; passIndex++) {
        int pass = passList[passIndex];
        for (cycle = 0;; cycle++) {
            if (runCycle(pass))
                continue;
            break;
        }
        if (compileFailed || compileAborted || !fractal)
            break;
    }

    // 8. The parse cache.
    clearParseCache();

    // 9. A command that arrived during the last pass.
    if (pollCommand())
        compileAborted = 1;

    // 10. Optimizer notes.
    if (!compileFailed && !compileAborted && typesAnalysed())
        reportOptimizerNotes();

    // 11. Working state.
    DeleteAllNodes(&savedSymbols);
    DeleteAllNodes(&savedSignatures);
    free(workingText);
    free(pristineText);
    workingText = pristineText = nullptr;
    savedText = nullptr;
    freeWorkBuffers();
    free(librarySource);
    librarySource = nullptr;
    free(libraryIndex);
    libraryIndex = nullptr;
    if (inputSymbols) {
        DeleteAllNodes(inputSymbols);
        delete inputSymbols;
        inputSymbols = nullptr;
    }
    if (inputFuncParameters) {
        DeleteAllNodes(inputFuncParameters);
        delete inputFuncParameters;
        inputFuncParameters = nullptr;
    }

    // 12. Required functions.
    bool functionsPresent = true;
    if (!compileFailed && !compileAborted)
        functionsPresent = checkRequiredFunctions();

    // 13.
    pollCommand();
    return !compileFailed && parseState == -1 && blockStack->isEmpty() && functionsPresent;
}

// One cycle of a pass. Returns true when another cycle of the same pass is
// to run.
bool FormulaCompiler::runCycle(int pass)
{
    // 1. Messages of the previous cycle.
    if (clearMessagesEachCycle) {
        ClearCompilerMessages();
        RefreshMessageList(true);
    }

    // 2. Generated text and compiler-made symbols.
    generatedText->Reset(300);
    generatedTextPending = 0;
    generatedTextMode = 0;
    for (ListNode* n = functions.GetHead(); n; n = n->next)
        removeCompilerSymbols(&static_cast<FormulaFunction*>(n)->locals);
    removeCompilerSymbols(&symbols);
    currentFunction = nullptr;

    // 3. Data bottom, read lists, declaration state, id counter.
    dataBottom = initialDataBottom;
    clearReadLists();
    declParameter = declFunction = declConst = declShared = 0;
    declType = DT_COMPLEX;
    declPrecision = PREC_DOUBLE;
    declByReference = 0;
    identifier[0] = 0;
    memset(actionHistory, 0, sizeof actionHistory);
    memset(positionHistory, 0, sizeof positionHistory);
    symbols.nextIds[1] = 1;
    expressionLogCount = 0;

    // 4. Directive symbols.
    static const char* const directives[] = {"ULTRAFRACTAL", "SPIRALIX", "UF_VER20",
                                             "UF_VER30", "VERSION300", "VERSION310"};
    for (const char* d : directives)
        defineDirectiveSymbol(d);

    // 5. The statement loop.
    parseState = 0;
    textPosition = 0;
    importsDone = 0;
    savedText = nullptr;
    char* text = workingText;
    bool loopCompleted = runStatementLoop(text);

    // 6. Back from generated text.
    if (savedText) {
        textPosition = savedPosition;
        savedText = nullptr;
        generatedTextMode = 0;
    }
    text = workingText;

    // 7. A pending command ends the compile.
    if (pollCommand()) {
        compileAborted = 1;
        return false;
    }
    if (!loopCompleted)
        return false;

    // 8. The text ended inside the formula.
    if (text[textPosition] == 0 && parseState >= 0) {
        reportError(text, parseState, textPosition);
        compileFailed = 1;
        return false;
    }

    // 9. An unfinished formula takes no copies.
    if (parseState != -1 || !blockStack->isEmpty())
        return false;

    // 10. / 11. Copies for the next cycle or pass.
    bool again = false;
    if (pass != 0) {
        again = needsAnotherRound(pass, cycle);
        releaseReads();
    }
    DeleteAllNodes(&savedSignatures);
    DeleteAllNodes(&savedSymbols);
    copySymbols(&symbols, &savedSymbols, 0);
    copyFunctionSignatures();
    if (pass != 0) {
        memcpy(workingText, pristineText, strlen(pristineText) + 1);
        return again && cycle + 1 < 5;
    }
    return false;
}

bool FormulaCompiler::runStatementLoop(char*& text)
{
    do {
        // 1. Generated text waiting to be parsed.
        if (generatedTextPending && !savedText && generatedText->GetData() &&
            static_cast<char*>(generatedText->GetData())[0]) {
            savedText = text;
            savedPosition = textPosition;
            text = static_cast<char*>(generatedText->GetData());
            textPosition = 0;
            generatedTextPending = 0;
        }

        // 2. Thread commands.
        if (pollCommand()) {
            compileAborted = 1;
            return false;
        }

        // 3. White space; the end of the text.
        while (text[textPosition] == ' ' || text[textPosition] == '\t' ||
               text[textPosition] == '\n' || text[textPosition] == '\r')
            textPosition++;
        if (text[textPosition] == 0) {
            if (!savedText)
                return true;
            text = savedText;
            textPosition = savedPosition;
            savedText = nullptr;
            generatedTextMode = 0;
            while (text[textPosition] == ' ' || text[textPosition] == '\t' ||
                   text[textPosition] == '\n' || text[textPosition] == '\r')
                textPosition++;
            if (text[textPosition] == 0)
                return true;
        }

        // 4. Preprocessor directives.
        int position = textPosition;
        int directive = preprocess(text, &position);
        textPosition = position;
        if (directive == PREPROCESS_ERROR) {
            compileFailed = 1;
            return false;
        }
        if (directive == PREPROCESS_HANDLED)
            continue;

        // 5. The statement.
        int row = matchStatementRule(text, textPosition, parseState);
        if (row < 0) {
            reportError(text, parseState, textPosition);
            compileFailed = 1;
            return false;
        }
        const ParseRule& rule = g_ParseTable[row];
        const MatchRecord& match = matchScratch[row];

        // 6. At the formula's closing brace the imported functions that are
        // called are parsed first.
        if (rule.next == -1 && !importsDone) {
            appendImportedBodies();
            importsDone = 1;
            continue;
        }

        // 7. The rule action.
        textPosition = match.next;
        memmove(actionHistory + 1, actionHistory, 4 * sizeof(int32_t));
        memmove(positionHistory + 1, positionHistory, 4 * sizeof(int32_t));
        actionHistory[0] = rule.action;
        positionHistory[0] = match.start;
        int result = executeRuleAction(text, match.start, match.end, row);
        if (result == ACTION_FAILED) {
            compileFailed = 1;
            return false;
        }
        if (result == ACTION_KEEP_STATE)
            continue;
        parseState = rule.next;
        if (rule.blockOp == BLOCK_PUSH)
            blockStack->push(rule.blockId);
        else if (rule.blockOp == BLOCK_POP)
            blockStack->pop();
    } while (parseState >= 0);
    return true;
}

namespace {

bool IsImportNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
}

// Whether text calls name: the whole name followed by blanks and "(".
bool CallsByName(const char* text, const char* name)
{
    size_t length = strlen(name);
    for (const char* p = strstr(text, name); p != nullptr; p = strstr(p + 1, name)) {
        if (p != text && IsImportNameCharacter(p[-1]))
            continue;
        const char* q = p + length;
        while (*q == ' ' || *q == '\t' || *q == '\r' || *q == '\n')
            q++;
        if (*q == '(')
            return true;
    }
    return false;
}

const char* ImportedSource(const FormulaFunction* f)
{
    if (!f->imported || !f->sourceText || !f->sourceText->GetData())
        return nullptr;
    return static_cast<const char*>(f->sourceText->GetData());
}

}  // namespace

// Writes the definitions of the imported functions the formula calls into
// generatedText: result type, the alias-qualified name and the rest of the
// kept source from its "(" on. An imported function called only by another
// imported function is needed as well: the set grows by the imported
// functions called in the bodies already taken until nothing new is found.
void FormulaCompiler::appendImportedBodies()
{
    std::vector<FormulaFunction*> imported;
    std::vector<char> needed;
    for (ListNode* n = functions.GetHead(); n; n = n->next) {
        FormulaFunction* f = static_cast<FormulaFunction*>(n);
        if (!ImportedSource(f))
            continue;
        imported.push_back(f);
        needed.push_back(f->callCount > 0);
    }
    for (bool grown = true; grown;) {
        grown = false;
        for (size_t i = 0; i < imported.size(); i++) {
            if (!needed[i])
                continue;
            const char* source = ImportedSource(imported[i]);
            const char* body = strchr(source, '{');
            for (size_t j = 0; body && j < imported.size(); j++) {
                if (!needed[j] && CallsByName(body, imported[j]->name)) {
                    needed[j] = 1;
                    grown = true;
                }
            }
        }
    }

    generatedText->Reset(300);
    int used = 0;
    for (size_t i = 0; i < imported.size(); i++) {
        FormulaFunction* f = imported[i];
        if (!needed[i])
            continue;
        const char* source = static_cast<const char*>(f->sourceText->GetData());
        const char* p = source;
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
            p++;
        const char* typeStart = p;
        while (*p && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
            p++;
        int typeLength = (int)(p - typeStart);
        const char* paren = strchr(p, '(');
        if (!paren)
            continue;
        int nameLength = (int)strlen(f->name);
        int restLength = (int)strlen(paren);
        int needed = used + typeLength + 1 + nameLength + restLength + 3;
        generatedText->ReserveSlack(needed, 300);
        if (generatedText->GetCapacity() < needed)
            return;
        char* out = static_cast<char*>(generatedText->GetData()) + used;
        memcpy(out, typeStart, (size_t)typeLength);
        out[typeLength] = ' ';
        memcpy(out + typeLength + 1, f->name, (size_t)nameLength);
        memcpy(out + typeLength + 1 + nameLength, paren, (size_t)restLength);
        memcpy(out + typeLength + 1 + nameLength + restLength, "\r\n", 3);
        used += typeLength + 1 + nameLength + restLength + 2;
    }
    if (used > 0) {
        stripComments(static_cast<char*>(generatedText->GetData()));
        generatedTextPending = 1;
        generatedTextMode = 2;
    }
}

void FormulaCompiler::reportOptimizerNotes()
{
    for (ListNode* n = symbols.GetHead(); n; n = n->next) {
        FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
        if (OptimizerNoteDue(s))
            reportf(nullptr, 0, 0, true, MSG_TIP,
                    "Optimizer Info: Global variable %s can be defined as %s instead of %s", s->name,
                    DataTypeName(s->currentType), DataTypeName(s->dataType));
    }
    for (ListNode* fn = functions.GetHead(); fn; fn = fn->next) {
        FormulaFunction* f = static_cast<FormulaFunction*>(fn);
        for (ListNode* n = f->locals.GetHead(); n; n = n->next) {
            FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
            if (OptimizerNoteDue(s))
                reportf(nullptr, 0, 0, true, MSG_TIP,
                        "Optimizer Info: Local variable %s in function \"%s\" can be defined as %s "
                        "instead of %s",
                        s->name, f->name, DataTypeName(s->currentType), DataTypeName(s->dataType));
        }
    }
}

// ---------------------------------------------------------------------------
// FormulaHolder

FormulaHolder::FormulaHolder(int formulaKind)
    : text(nullptr), word(0), compiler(new FormulaCompiler())
{
    compiler->setKind(formulaKind);
    memset(texts, 0, sizeof texts);
}

FormulaHolder::~FormulaHolder()
{
    free(text);
    for (auto& row : texts) {
        for (char*& t : row) {
            free(t);
            t = nullptr;
        }
    }
    delete compiler;
}

void FormulaHolder::SetSource(const char* source)
{
    free(text);
    text = CopyString(source);
}
