// Loading formula folders into the four formula trees.
#include "formulas/FormulaLoader.h"

#include <windows.h>
#include <shlobj.h>
#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "formulas/FormulaFolderScan.h"
#include "formulas/FormulaNode.h"
#include "formulas/ScanProgress.h"
#include "foundation/FileUtil.h"
#include "foundation/LogFile.h"
#include "foundation/Services.h"
#include "foundation/Thread.h"

char* CompilerFormulaPath = NULL;
volatile int ScanFileCode = 0;
volatile int FractintFileCount = 0;
volatile int UltraFractalFileCount = 0;
volatile uint8_t YesToAllFlag = 0;

namespace {

struct LoaderArguments {
    std::string path;
    std::string rootPath;
    int singleFile;
};

LoaderArguments g_LoaderArguments;

struct KindScan {
    int formulaKind;
    const char* caption;
    const char* extension;
    int fileCode;
    const char* progressText;
};

const KindScan kKindScans[FORMULA_KIND_COUNT] = {
    {FK_TRANSFORMATION, "Spiralix Transformations", ".str", FFC_TRANSFORMATION, "Loading Transformations"},
    {FK_ITERATION, "Spiralix Formulas", ".sfm", FFC_ITERATION, "Loading Formulas"},
    {FK_COLORING, "Spiralix Colorings", ".scl", FFC_COLORING, "Loading Coloring"},
    {FK_LIBRARY, "Spiralix Function Libraries", ".lib", FFC_LIBRARY, "Loading Function Libaries"},
};

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// Paths are equal without case, a run of separators counting as one and a
// trailing separator not counting (a drive root's path ends in one).
bool SamePath(const char* a, const char* b)
{
    for (;;) {
        bool sa = IsSeparator(*a), sb = IsSeparator(*b);
        if (sa || sb) {
            if (!(sa && sb)) {
                // A trailing separator on one side only.
                const char* s = sa ? a : b;
                const char* other = sa ? b : a;
                while (IsSeparator(*s))
                    s++;
                return *s == 0 && *other == 0;
            }
            while (IsSeparator(*a))
                a++;
            while (IsSeparator(*b))
                b++;
            continue;
        }
        if (*a == 0 || *b == 0)
            return *a == *b;
        if (tolower((unsigned char)*a) != tolower((unsigned char)*b))
            return false;
        a++;
        b++;
    }
}

const char* Extension(const char* name)
{
    const char* dot = strrchr(name, '.');
    return dot != NULL ? dot : "";
}

// The drive and folder of a file path; with the trailing separator when
// keepSeparator is set.
std::string FolderOf(const char* filePath, bool keepSeparator)
{
    std::string path = filePath;
    size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos)
        return keepSeparator ? std::string() : std::string(".");
    return path.substr(0, keepSeparator ? slash + 1 : slash);
}

// The display name of a root folder: its last component, or "Drive X:\"
// for a drive root.
std::string RootDisplayName(const char* rootPath)
{
    std::string path = rootPath;
    while (!path.empty() && IsSeparator(path[path.size() - 1]))
        path.erase(path.size() - 1);
    if (path.size() == 2 && path[1] == ':')
        return "Drive " + path + "\\";
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void ReadFileFacts(const char* path, FormulaNode* node)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return;
    GetFileTime(h, &node->creationTime, NULL, &node->lastWriteTime);
    node->size = GetFileSize(h, NULL);
    CloseHandle(h);
}

bool LastWriteTimeOf(const char* path, FILETIME* time)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = GetFileTime(h, NULL, NULL, time) != 0;
    CloseHandle(h);
    return ok;
}

bool WindowExists(int formulaKind)
{
    return formulaKind >= 0 && formulaKind < FORMULA_KIND_COUNT && g_FormulaTrees[formulaKind] != NULL;
}

char* NewText(const char* text)
{
    return _strdup(text != NULL ? text : "");
}


FormulaNode* FindFolderIn(ListNode* first, const char* path, int importFlag)
{
    for (ListNode* n = first; n != NULL; n = n->next) {
        FormulaNode* node = static_cast<FormulaNode*>(n);
        if (node->kind != FNK_FOLDER)
            continue;
        char nodePath[FORMULA_PATH_SIZE];
        node->GetPath(nodePath, sizeof(nodePath));
        if (!importFlag && SamePath(nodePath, path))
            return node;
        if (FormulaNode* found = FindFolderIn(node->children.GetHead(), path, importFlag))
            return found;
    }
    return NULL;
}

void RunLoaderScan(const LoaderArguments* args)
{
    if (args->singleFile)
        ScanFormulaFile(args->path.c_str(), args->rootPath.c_str());
    else
        ScanFormulaFolder(args->path.c_str(), args->rootPath.c_str());
}

}  // namespace

void SetCompilerFormulaPath(const char* path)
{
    free(CompilerFormulaPath);
    CompilerFormulaPath = path != NULL && path[0] != 0 ? _strdup(path) : NULL;
}

bool IsFormulaPathElement(const char* list, const char* folder)
{
    if (list == NULL || folder == NULL || folder[0] == 0)
        return false;
    size_t n = strlen(folder);
    for (const char* p = StrStrNoCase(list, folder); p != NULL; p = StrStrNoCase(p + 1, folder)) {
        bool atStart = p == list || p[-1] == ';';
        bool atEnd = p[n] == ';' || p[n] == 0;
        if (atStart && atEnd)
            return true;
    }
    return false;
}

bool AddToCompilerFormulaPath(const char* folder)
{
    if (folder == NULL || folder[0] == 0 || IsFormulaPathElement(CompilerFormulaPath, folder))
        return false;
    std::string joined =
        CompilerFormulaPath != NULL && CompilerFormulaPath[0] != 0 ? std::string(CompilerFormulaPath) + ";" + folder
                                                                     : std::string(folder);
    SetCompilerFormulaPath(joined.c_str());
    return true;
}

void LoadFormulaFolder(const char* path, int singleFile)
{
    if (path == NULL || path[0] == 0)
        return;
    ShowLibraryWindow(false);
    std::string folder = singleFile ? FolderOf(path, false) : std::string(path);
    AddToCompilerFormulaPath(folder.c_str());

    WorkerCancelState = 0;
    g_LoaderArguments.path = path;
    g_LoaderArguments.rootPath = folder;
    g_LoaderArguments.singleFile = singleFile;

    if (Services().runScanProgress == NULL) {
        // Nobody to show the progress: the scan runs here.
        RunLoaderScan(&g_LoaderArguments);
        ShowLibraryWindow(true);
        return;
    }
    Thread* thread = new Thread(&FormulaLoaderThread, &g_LoaderArguments, false, 0);
    ProgressName("Loading", 0);
    ProgressName("Directory", 1);
    ProgressName("File", 2);
    thread->Resume();
    if (Services().runScanProgress(&g_LoaderArguments) == 2) {
        WorkerCancelState = 1;
        for (int i = 0; i < 4 && WorkerCancelState; i++)
            Sleep(100);
    }
    delete thread;
    ShowLibraryWindow(true);
}

unsigned long FormulaLoaderThread(Thread* thread)
{
    const LoaderArguments* args = static_cast<const LoaderArguments*>(thread->userData);
    // The worker ends the dialog, so it waits until the dialog runs (or it
    // is told to stop before that).
    while (!ProgressOpen()) {
        if (WorkerCancelState || thread->state == THREAD_STATE_STOP) {
            WorkerCancelState = 0;
            return 0;
        }
        Sleep(100);
    }
    RunLoaderScan(args);
    if (WorkerCancelState)
        WorkerCancelState = 0;
    else
        ProgressClose();
    return 0;
}

FormulaNode* FindOrMakeRootFolder(int formulaKind, const char* rootPath)
{
    NodeList* root = FormulaRoot(formulaKind);
    if (root == NULL || rootPath == NULL)
        return NULL;
    for (ListNode* n = root->GetHead(); n != NULL; n = n->next) {
        FormulaNode* node = static_cast<FormulaNode*>(n);
        if (node->nameText != NULL && _stricmp(node->nameText, rootPath) == 0)
            return node;
    }
    FormulaNode* node = new FormulaNode(formulaKind, FNK_FOLDER);
    node->nameText = NewText(rootPath);
    node->SetName(RootDisplayName(rootPath).c_str());
    root->Append(node);
    if (WindowExists(formulaKind))
        g_FormulaTrees[formulaKind]->InsertItem(node, NULL, node->prev, 1, FNK_FOLDER, -1);
    return node;
}

void ScanFormulaFolder(const char* folder, const char* rootPath)
{
    WorkerCancelState = 0;
    YesToAllFlag = 0;
    g_ScanAddsTreeItems = 1;
    for (const KindScan& scan : kKindScans) {
        ProgressMessage(scan.caption, 0);
        FormulaNode* root = FindOrMakeRootFolder(scan.formulaKind, rootPath);
        ScanFileCode = scan.fileCode;
        ScanFolderTree(folder, scan.extension, &AddFormulaFile, &AddLoaderFolder, scan.progressText, root);
        if (WorkerCancelState)
            break;
    }
}

FormulaNode* ScanFormulaFile(const char* filePath, const char* rootPath)
{
    WorkerCancelState = 0;
    g_ScanAddsTreeItems = 1;
    const char* extension = Extension(filePath);
    const KindScan* scan = NULL;
    for (const KindScan& s : kKindScans) {
        if (_stricmp(extension, s.extension) == 0)
            scan = &s;
    }
    if (scan == NULL)
        return NULL;
    FormulaNode* root = FindOrMakeRootFolder(scan->formulaKind, rootPath);
    ScanFileCode = scan->fileCode;
    std::string folder = FolderOf(filePath, true);
    std::string path = filePath;
    size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    FormulaNode* node = AddFormulaFile(folder.c_str(), name.c_str(), root);
    if (node != NULL) {
        if (node->key == 1.0 && WindowExists(scan->formulaKind))
            g_FormulaTrees[scan->formulaKind]->InsertItem(node, root, node->prev, 2, node->kind, -1);
        node->key = 0.0;
    }
    return node;
}

FormulaNode* AddFormulaFile(const char* folder, const char* fileName, FormulaNode* folderNode)
{
    ProgressMessage(folder, 1);
    ProgressMessage(fileName, 2);
    LogFile* log = Services().log != NULL ? Services().log() : NULL;
    if (log != NULL)
        log->WriteJoined("Loading compiler file ", fileName);
    if (folderNode == NULL)
        return NULL;

    for (ListNode* n = folderNode->children.GetHead(); n != NULL; n = n->next) {
        FormulaNode* child = static_cast<FormulaNode*>(n);
        if (child->kind == FNK_FILE && child->nameText != NULL && strcmp(child->nameText, fileName) == 0) {
            child->key = 0.0;
            ProgressMessage("", 2);
            return child;
        }
    }

    const char* extension = Extension(fileName);
    bool fractint = _stricmp(extension, ".frm") == 0;
    bool ultraFractal = _stricmp(extension, ".uxf") == 0 || _stricmp(extension, ".ucl") == 0 ||
                        _stricmp(extension, ".ufm") == 0;
    std::string separator = folder[0] != 0 && !IsSeparator(folder[strlen(folder) - 1]) ? "\\" : "";
    std::string path = std::string(folder) + separator + fileName;
    if (!fractint && !ultraFractal) {
        FormulaNode* node = new FormulaNode(folderNode->formulaKind, FNK_FILE);
        node->nameText = NewText(fileName);
        node->SetName(fileName);
        node->parent = folderNode;
        ReadFileFacts(path.c_str(), node);
        folderNode->InsertChild(node);
        node->key = 1.0;
        ProgressMessage("", 2);
        return node;
    }

    // A foreign file counts unless its converted twin is there with the
    // same last-write time.
    bool counts = true;
    FILETIME foreignTime;
    if (LastWriteTimeOf(path.c_str(), &foreignTime)) {
        std::string twin = std::string(fileName, strlen(fileName) - strlen(extension));
        if (_stricmp(extension, ".uxf") == 0)
            twin += ".str";
        else if (_stricmp(extension, ".ucl") == 0)
            twin += ".scl";
        else
            twin += ".sfm";
        for (ListNode* n = folderNode->children.GetHead(); n != NULL; n = n->next) {
            FormulaNode* child = static_cast<FormulaNode*>(n);
            if (child->kind != FNK_FILE || child->nameText == NULL)
                continue;
            bool same = fractint ? strcmp(child->nameText, twin.c_str()) == 0
                                 : _stricmp(child->nameText, twin.c_str()) == 0;
            if (same) {
                counts = CompareFileTime(&child->lastWriteTime, &foreignTime) != 0;
                break;
            }
        }
    }
    if (counts) {
        if (fractint)
            FractintFileCount++;
        else
            UltraFractalFileCount++;
    }
    return NULL;
}

FormulaNode* AddLoaderFolder(const char* parentPath, const char* folderName, FormulaNode* parentNode)
{
    std::string path = std::string(parentPath) + "\\" + folderName;
    ProgressMessage(path.c_str(), 1);
    if (parentNode == NULL)
        return NULL;
    if (FormulaNode* existing = FindFolderNodeByPath(parentNode, path.c_str(), 1, 0)) {
        existing->key = 0.0;
        return existing;
    }
    FormulaNode* node = new FormulaNode(parentNode->formulaKind, FNK_FOLDER);
    node->nameText = NewText(folderName);
    node->SetName(folderName);
    node->parent = parentNode;
    parentNode->InsertChild(node);
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(path.c_str(), NULL);
    node->key = 1.0;
    return node;
}

FormulaNode* FindFolderNodeByPath(FormulaNode* node, const char* path, int fromRoot, int importFlag)
{
    if (node == NULL || path == NULL)
        return NULL;
    ListNode* first;
    if (fromRoot) {
        NodeList* root = FormulaRoot(node->formulaKind);
        first = root != NULL ? root->GetHead() : NULL;
    } else {
        first = node->children.GetHead();
    }
    return FindFolderIn(first, path, importFlag);
}

namespace {

int CALLBACK BrowseCallback(HWND hwnd, UINT message, LPARAM lParam, LPARAM data)
{
    if (message == BFFM_INITIALIZED && data != 0) {
        SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, data);
    } else if (message == BFFM_SELCHANGED) {
        char path[MAX_PATH];
        if (SHGetPathFromIDListA(reinterpret_cast<LPCITEMIDLIST>(lParam), path))
            SendMessageA(hwnd, BFFM_SETSTATUSTEXTA, 0, (LPARAM)path);
    }
    return 0;
}

}  // namespace

char* BrowseForFolder(const char* initialPath, const char* title)
{
    char display[MAX_PATH] = "";
    BROWSEINFOA info;
    memset(&info, 0, sizeof(info));
    info.hwndOwner = Services().mainWindow != NULL ? Services().mainWindow() : NULL;
    info.pszDisplayName = display;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_STATUSTEXT | BIF_EDITBOX;
    info.lpfn = &BrowseCallback;
    info.lParam = (LPARAM)initialPath;
    LPITEMIDLIST item = SHBrowseForFolderA(&info);
    if (item == NULL)
        return NULL;
    char* result = static_cast<char*>(calloc(MAX_PATH + 100, 1));
    if (result != NULL && !SHGetPathFromIDListA(item, result)) {
        free(result);
        result = NULL;
    }
    IMalloc* shellMalloc = NULL;
    if (SUCCEEDED(SHGetMalloc(&shellMalloc)) && shellMalloc != NULL) {
        shellMalloc->Free(item);
        shellMalloc->Release();
    }
    return result;
}
