// Saving and loading whole IFS and L-system formula files. One formula is
// written first into a backup file beside the chosen one; the chosen file is
// then examined and, after the questions, the entry is appended or replaces
// the entry of the same name. The menu loaders run the file loads on a
// worker while the main thread shows the progress dialog.
#include "files/formulafiles/FormulaFiles.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "files/entry/ParameterFile.h"
#include "files/formulafiles/FormulaBody.h"
#include "files/formulafiles/IfsFile.h"
#include "files/formulafiles/LSystemFile.h"
#include "formulas/FormulaEdit.h"
#include "formulas/ScanProgress.h"
#include "foundation/FileUtil.h"
#include "foundation/List.h"
#include "foundation/MessageBox.h"
#include "foundation/Services.h"
#include "foundation/Thread.h"
#include "fractals/ifs/IfsFormula.h"
#include "fractals/lsystem/LSystemFormula.h"

FormulaFileRequesters g_FormulaFileRequesters;

namespace {

const char kSaveTitle[] = "Saving formula entry";
const char kNotTextQuestion[] =
    "The file you chose already exists. I'd like\nto append the parameters at the end of the file,\nbut after "
    "looking more closely at it I found out\nthat it contains non standard characters.\nThus I assume that this "
    "file is not a valid\nformula file.\n\nShould I really append your formula to this file?";
const char kBrokenAgainQuestion[] =
    "I'm very sorry to annoy you again, but after\nchecking the internal format of the file I still\nthink that it "
    "is not a valid formula file.\n\nAgain, should I really append YOUR formula\nto THIS file?";
const char kBrokenQuestion[] =
    "The file you chose already exists. I'd like\nto append the parameters at the end of the file,\nbut after "
    "looking quite closely at it I found\nout that it does not conform to the format of a\nlegal formula file.\nThus "
    "I assume that this file is not a valid\nformula file.\n\nShould I really append your formula to this file?";
const char kSameNameQuestion[] =
    "The formula file you chose already contains\nan entry with the same name as that to be\nadded. Should I replace "
    "that entry or\nshould I just add the new entry to the file?\n\nChoose:\n- YES to overwrite the existing "
    "entry.\n- NO to add the entry\n- CANCEL to abort without saving anything.";

int Ask(const char* question)
{
    return PMessageBox(MB_STYLE_YESNOCANCEL).Show(kSaveTitle, question);
}

void WriteFormula(ListNode* formula, int kind, const char* directory, const char* fileName, FILE* file)
{
    if (kind == FORMULA_KIND_IFS)
        WriteIfsFormula(static_cast<IfsFormula*>(formula), directory, fileName, file);
    else
        WriteLSystemFormula(static_cast<LSystemFormula*>(formula), directory, fileName, file);
}

std::string DirectoryOf(const std::string& path)
{
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string WithoutCarriageReturns(const std::string& text)
{
    std::string plain;
    for (size_t i = 0; i < text.size(); i++)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            plain += text[i];
    return plain;
}

NodeList& ListOfKind(int kind)
{
    return kind == FORMULA_KIND_IFS ? g_IfsFormulas : g_LSystemFormulas;
}

// The files the menu loader's worker loads.
struct LoadArguments {
    std::vector<std::string> paths;
    int kind;
};
LoadArguments g_LoadArguments;

void LoadChosenFiles(const LoadArguments* args)
{
    for (const std::string& path : args->paths) {
        if (WorkerCancelState)
            break;
        if (args->kind == FORMULA_KIND_IFS)
            LoadIfsFile(nullptr, path.c_str());
        else
            LoadLSystemFile(nullptr, path.c_str());
    }
}

unsigned long LoadFormulasThread(Thread* thread)
{
    const LoadArguments* args = static_cast<const LoadArguments*>(thread->userData);
    while (!ProgressOpen()) {
        if (WorkerCancelState || thread->state == THREAD_STATE_STOP) {
            WorkerCancelState = 0;
            return 0;
        }
        Sleep(100);
    }
    LoadChosenFiles(args);
    if (WorkerCancelState)
        WorkerCancelState = 0;
    else
        ProgressClose();
    return 0;
}

void LoadFormulas(int kind)
{
    std::vector<std::string> paths;
    if (!g_FormulaFileRequesters.chooseOpen || !g_FormulaFileRequesters.chooseOpen(kind, &paths))
        return;
    LoadFormulaFiles(kind, paths);
}

}  // namespace

void LoadFormulaFiles(int kind, const std::vector<std::string>& paths)
{
    g_LoadArguments.paths = paths;
    g_LoadArguments.kind = kind;
    WorkerCancelState = 0;
    if (Services().runScanProgress == nullptr) {
        LoadChosenFiles(&g_LoadArguments);
    } else {
        Thread* thread = new Thread(kind == FORMULA_KIND_IFS ? &LoadIfsFormulasThread : &LoadLSystemFormulasThread,
                                    &g_LoadArguments, false, 0);
        ProgressName(kind == FORMULA_KIND_IFS ? "Loading IFS formulas" : "Loading LSystem formulas", 0);
        thread->Resume();
        if (Services().runScanProgress(&g_LoadArguments) == 2) {
            WorkerCancelState = 1;
            for (int i = 0; i < 4 && WorkerCancelState; i++)
                Sleep(100);
        }
        delete thread;
    }
    if (kind == FORMULA_KIND_IFS) {
        RefreshIfsFormulaLists();
        if (g_FormulaFileRequesters.refreshIfsLists)
            g_FormulaFileRequesters.refreshIfsLists();
    } else if (g_FormulaFileRequesters.refreshLSystemLists) {
        g_FormulaFileRequesters.refreshLSystemLists();
    }
}

void SaveFormulaEntryToFile(ListNode* formula, int kind, const char* path)
{
    if (!formula || !path || !*path)
        return;
    std::string backup = FormulaFilePath(DirectoryOf(path).c_str(), "~tmp0091.bac");
    WriteFormula(formula, kind, nullptr, backup.c_str(), nullptr);
    std::string entry;
    bool haveEntry = ReadWholeFile(backup.c_str(), entry);
    entry = WithoutCarriageReturns(entry);
    int start = -1, end = -1;
    int flags = CheckParameterFile(path, formula->name, &start, &end);
    bool proceed = haveEntry;
    if (proceed && (flags & PF_NOT_TEXT))
        proceed = Ask(kNotTextQuestion) == IDYES;
    if (proceed && (flags & PF_BROKEN))
        proceed = Ask((flags & PF_NOT_TEXT) ? kBrokenAgainQuestion : kBrokenQuestion) == IDYES;
    if (proceed && flags != PF_MISSING && (flags & PF_NAME_EXISTS)) {
        switch (Ask(kSameNameQuestion)) {
        case IDYES: PlaceEntryInFile(path, entry, EP_REPLACE, start, end, 1); break;
        case IDNO: PlaceEntryInFile(path, entry, EP_APPEND, 0, 0, 1); break;
        default: break;
        }
    } else if (proceed) {
        PlaceEntryInFile(path, entry, flags == PF_MISSING ? EP_CREATE : EP_APPEND, 0, 0, 1);
    }
    DeleteFileA(backup.c_str());
}

void SaveFormulaEntry(ListNode* formula, int kind)
{
    std::string path;
    if (!formula || !g_FormulaFileRequesters.chooseSave ||
        !g_FormulaFileRequesters.chooseSave(kind, "Please select a formula file to save the formula in...", false,
                                            &path) ||
        path.empty())
        return;
    SaveFormulaEntryToFile(formula, kind, path.c_str());
}

bool SaveAllFormulasToFile(int kind, const char* path)
{
    FILE* file = OpenWritableFile(path, "w", 1);
    if (!file)
        return false;
    for (ListNode* n = ListOfKind(kind).GetHead(); n; n = n->next) {
        WriteFormula(n, kind, nullptr, nullptr, file);
        fputs("\n\n", file);
    }
    fclose(file);
    return true;
}

void SaveAllFormulas(int kind)
{
    std::string path;
    if (!g_FormulaFileRequesters.chooseSave ||
        !g_FormulaFileRequesters.chooseSave(kind, "Please select a formula file to save all formulas in...", true,
                                            &path) ||
        path.empty())
        return;
    SaveAllFormulasToFile(kind, path.c_str());
}

void LoadIfsFormulas() { LoadFormulas(FORMULA_KIND_IFS); }
void LoadLSystemFormulas() { LoadFormulas(FORMULA_KIND_LSYSTEM); }
unsigned long LoadIfsFormulasThread(Thread* thread) { return LoadFormulasThread(thread); }
unsigned long LoadLSystemFormulasThread(Thread* thread) { return LoadFormulasThread(thread); }

bool LoadFormulaFileByExtension(const char* path)
{
    if (EndsWithNoCase(path, ".ifs"))
        return LoadIfsFile(nullptr, path) > 0;
    if (EndsWithNoCase(path, ".l"))
        return LoadLSystemFile(nullptr, path) > 0;
    return false;
}

int LoadOwnFormulaFiles(const char* folder)
{
    return LoadIfsFile(folder, "Spiralix.ifs") + LoadLSystemFile(folder, "Spiralix.l");
}
