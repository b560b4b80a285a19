// The shared part of spxcalc render and spxcalc bench: formula folders,
// one entry read through the program's reader, and a calculation run by
// the fractal's own calculation thread with a recording main frame.
#include "tools/spxcalc/RenderSupport.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "calc/task/TaskLifecycle.h"
#include "compiler/CodeTemplate.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Layers.h"
#include "files/entry/EntryHead.h"
#include "files/entry/EntryReader.h"
#include "files/entry/ParameterFile.h"
#include "formulas/FormulaLoader.h"
#include "foundation/MainWindowMessages.h"
#include "foundation/MessageBox.h"
#include "foundation/Messages.h"
#include "foundation/Services.h"

namespace {

volatile LONG g_DoneMessages = 0;
volatile LONG g_CriticalBoxes = 0;

bool RecordPost(UINT message, WPARAM, LPARAM)
{
    if (message == UM_CALCULATION_DONE)
        InterlockedIncrement(&g_DoneMessages);
    return true;
}

int AnswerBox(UINT, const char* title, const char* text)
{
    if (title && strcmp(title, "Critical Error") == 0)
        InterlockedIncrement(&g_CriticalBoxes);
    fprintf(stderr, "box: %s: %s\n", title ? title : "", text ? text : "");
    return IDOK;
}

std::string FullPath(const std::string& folder)
{
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(folder.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full) : folder;
}

bool HoldsShippedFormulas(const std::string& folder)
{
    return GetFileAttributesA((folder + "\\Spiralix.sfm").c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::string OwnFormulaFolder()
{
    char value[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("SPIRALIX_FORMULAS", value, sizeof value);
    if (n > 0 && n < sizeof value)
        return value;
    char module[MAX_PATH];
    n = GetModuleFileNameA(nullptr, module, sizeof module);
    if (n == 0 || n >= sizeof module)
        return "";
    std::string dir(module, n);
    for (;;) {
        size_t slash = dir.find_last_of("\\/");
        if (slash == std::string::npos)
            return "";
        dir.resize(slash);
        if (HoldsShippedFormulas(dir + "\\Formulas"))
            return dir + "\\Formulas";
    }
}

void LoadRenderFormulaFolders(const char* pathList)
{
    InitProcessorFeatures();
    fixupTemplates();
    std::vector<std::string> folders;
    std::string rest = pathList ? pathList : "";
    while (!rest.empty()) {
        size_t semicolon = rest.find(';');
        std::string folder = rest.substr(0, semicolon);
        rest = semicolon == std::string::npos ? std::string() : rest.substr(semicolon + 1);
        if (!folder.empty())
            folders.push_back(FullPath(folder));
    }
    std::string own = OwnFormulaFolder();
    if (!own.empty())
        folders.push_back(FullPath(own));
    std::string searchPath;
    for (const std::string& folder : folders) {
        ScanFormulaFolder(folder.c_str(), folder.c_str());
        searchPath += searchPath.empty() ? folder : ";" + folder;
    }
    SetCompilerFormulaPath(searchPath.c_str());
}

int ReadRenderEntry(const char* path, const char* entry, Fractal** fractal, std::string& error)
{
    std::string text;
    if (!ReadWholeFile(path, text)) {
        error = std::string("cannot read ") + path;
        return 2;
    }
    EntryRange range;
    for (int from = 0; NextEntryRange(text.c_str(), from, &range); from = range.close + 1) {
        std::string piece = text.substr(range.begin, range.close + 1 - range.begin);
        std::string name = EntryNameBeforeBrace(piece.c_str(), range.open - range.begin, nullptr);
        if (_stricmp(name.c_str(), entry) != 0)
            continue;
        std::vector<char> buffer(piece.begin(), piece.end());
        buffer.push_back(0);
        // The fractal stays in its folder until the program ends.
        FractalFolder* folder = new FractalFolder();
        Fractal* f = new Fractal();
        f->folder = folder;
        folder->fractals.Append(f);
        if (!ReadParameterEntry(f, buffer.data(), nullptr, false, -1, 0)) {
            error = std::string("entry ") + entry + " not read";
            return 2;
        }
        *fractal = f;
        return 0;
    }
    error = std::string("no entry ") + entry;
    return 2;
}

bool RunThreadCalculation(Fractal* fractal, int stopAfterMs, ThreadRun* run)
{
    Services().postToMainFrame = &RecordPost;
    SetMessageBoxAnswerer(&AnswerBox);
    if (PictureToTask(fractal, 1, 0, 0, 0, 0, 0) != 0 || !fractal->task)
        return false;
    LONG criticalBefore = g_CriticalBoxes;
    fractal->SendThreadCommand(FTC_START, 0);
    LONG doneBefore = g_DoneMessages;
    DWORD start = GetTickCount();
    fractal->SendThreadCommand(FTC_RECALCULATE, 0);
    bool stopped = false;
    while (g_DoneMessages == doneBefore) {
        if (stopAfterMs >= 0 && !stopped && GetTickCount() - start >= (DWORD)stopAfterMs) {
            fractal->SendThreadCommand(FTC_STOP, FTC_STOPPED);
            stopped = true;
            break;
        }
        Sleep(1);
    }
    run->ms = GetTickCount() - start;
    run->result = fractal->lastResult;
    run->criticalBoxes = (int)(g_CriticalBoxes - criticalBefore);
    return true;
}

bool RunLayerCalculations(Fractal* layered)
{
    bool ran = true;
    ForEachLayerFractal(layered, [&](Fractal* layer) {
        ThreadRun run;
        if (!ran || !RunThreadCalculation(layer, -1, &run)) {
            ran = false;
            return;
        }
        // Stopped, so that its thread no longer asks the layered fractal to
        // re-merge once the layered fractal has a task of its own.
        layer->SendThreadCommand(FTC_STOP, FTC_STOPPED);
    });
    return ran;
}

void FlushRenderMessages()
{
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        fprintf(stderr, "%s\n", static_cast<MessageNode*>(n)->text);
    UnlockMessageList();
    DeleteAllMessages();
}
