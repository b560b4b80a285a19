// Importing foreign formula files: the converter seam of the formula
// library, the conversion of a whole file into "~tmp0089", and the import
// of files and folders next to (or below) a destination folder, asking
// before a changed twin is replaced.
#include "formulas/convert/ForeignImport.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "foundation/Messages.h"
#include "formulas/FormulaFolderScan.h"
#include "formulas/ScanProgress.h"
#include "compiler/FormulaCompiler.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaNode.h"
#include "formulas/convert/FormulaDownload.h"
#include "formulas/convert/FractintConverter.h"
#include "formulas/convert/UltraFractalConverter.h"
#include "foundation/FileUtil.h"
#include "foundation/Thread.h"
#include "foundation/Services.h"

volatile LONG DownloadRunning = 0;
volatile LONG ImportedFileCount = 0;
OverwriteAnswerer g_OverwriteAnswerer = NULL;

namespace {

std::string g_DataFolder;

struct ForeignConverters {
    FractintConverter fractint;
    UltraFractalConverter ultraFractal;
    FormulaCompiler compiler;
};
ForeignConverters* g_Converters = NULL;

CRITICAL_SECTION* ImportLock()
{
    static CRITICAL_SECTION lock;
    static LONG made = 0;
    static volatile LONG ready = 0;
    if (InterlockedCompareExchange(&made, 1, 0) == 0) {
        InitializeCriticalSection(&lock);
        ready = 1;
    }
    while (!ready)
        Sleep(1);
    return &lock;
}

ForeignConverters* Converters()
{
    if (g_Converters == NULL)
        g_Converters = new ForeignConverters();
    return g_Converters;
}

char* ConvertEntry(int fileCode, const char* entryText)
{
    ForeignConverters* c = Converters();
    if (fileCode == FFC_FRACTINT) {
        if (!c->fractint.Convert(entryText))
            return NULL;
        std::string text = c->fractint.Output();
        NarrowComplexDeclarations(&c->compiler, text);
        return _strdup(text.c_str());
    }
    c->ultraFractal.mode = fileCode == FFC_UF_TRANSFORM ? 0 : fileCode == FFC_UF_COLORING ? 2 : 1;
    if (!c->ultraFractal.Convert(entryText))
        return NULL;
    return _strdup(c->ultraFractal.Output().c_str());
}

const char* Extension(const char* name)
{
    const char* dot = strrchr(name, '.');
    return dot != NULL && strpbrk(dot, "\\/") == NULL ? dot : "";
}

// Skips a ";" comment or a quoted text at p (the quote ends at its partner
// or the line end); answers the last character skipped, or p.
int SkipForeignComment(const char* text, int p)
{
    if (text[p] == ';' || text[p] == '"') {
        char end = text[p] == ';' ? '\n' : '"';
        while (text[p + 1] != 0 && text[p + 1] != end && text[p + 1] != '\n')
            p++;
        if (end == '"' && text[p + 1] == '"')
            p++;
    }
    return p;
}

// The next "{" at depth 0 from from on, outside comments and quotes.
int FindForeignBrace(const char* text, int from)
{
    for (int p = from; text[p] != 0; p++) {
        p = SkipForeignComment(text, p);
        if (text[p] == '{')
            return p;
    }
    return -1;
}

int FindForeignClosingBrace(const char* text, int open)
{
    int depth = 0;
    for (int p = open; text[p] != 0; p++) {
        p = SkipForeignComment(text, p);
        if (text[p] == '{')
            depth++;
        else if (text[p] == '}' && --depth == 0)
            return p;
    }
    return -1;
}

// The text between entries as a comment entry: braces become brackets, and
// quotes and block-comment openers are defused so that the own loader's
// brace search cannot run past the comment entry's closing brace.
std::string CommentEntry(const char* text, int length)
{
    int p = 0;
    while (p < length && (text[p] == ' ' || text[p] == '\t' || text[p] == '\n' || text[p] == '\r'))
        p++;
    std::string body;
    for (; p < length; p++) {
        char c = text[p];
        if (c == '{')
            c = '[';
        else if (c == '}')
            c = ']';
        else if (c == '"')
            c = '\'';
        else if (c == '*' && !body.empty() && body.back() == '/')
            body += ' ';
        body += c;
    }
    return "comment\n{\n" + body + "\n}\n\n";
}

bool HasCommentText(const char* text, int length)
{
    int count = 0;
    for (int p = 0; p < length; p++)
        if ((unsigned char)text[p] >= '!' && (unsigned char)text[p] < 0x80)
            count++;
    return count >= 2;
}

void ReportUnconverted(const char* name, const char* sourcePath)
{
    std::string line = std::string("Formula ") + name + " in " + sourcePath + " could not be converted.";
    const char* lines[] = {line.c_str(), NULL};
    AddMessage(lines, MSG_WARNING, 0, 0, 0, 0, 0, 0, false);
}

bool ReadTimes(const char* path, FILETIME* creation, FILETIME* lastWrite, uint32_t* size)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = GetFileTime(h, creation, NULL, lastWrite) != 0;
    if (size != NULL)
        *size = GetFileSize(h, NULL);
    CloseHandle(h);
    return ok;
}

uint32_t FileSizeOf(const char* path)
{
    FILETIME c, w;
    uint32_t size = 0;
    return ReadTimes(path, &c, &w, &size) ? size : 0;
}

struct ForeignKind {
    const char* extension;
    const char* caption;
    int fileCode;
    int formulaKind;
    const char* progressText;
};

const ForeignKind kForeignKinds[] = {
    {".uxf", "UltraFractal Transformations", FFC_UF_TRANSFORM, FK_TRANSFORMATION, "Loading Transformations"},
    {".ufm", "UltraFractal Formulas", FFC_UF_FORMULA, FK_ITERATION, "Loading Formulas"},
    {".frm", "FractInt Formulas", FFC_FRACTINT, FK_ITERATION, "Loading Formulas"},
    {".ucl", "UltraFractal Colorings", FFC_UF_COLORING, FK_COLORING, "Loading Coloring"},
};

const ForeignKind* ForeignKindOf(const char* fileName)
{
    for (const ForeignKind& k : kForeignKinds)
        if (_stricmp(Extension(fileName), k.extension) == 0)
            return &k;
    return NULL;
}

}  // namespace

void SetImportDataFolder(const char* folder)
{
    g_DataFolder = folder != NULL ? folder : "";
    while (!g_DataFolder.empty() && (g_DataFolder.back() == '\\' || g_DataFolder.back() == '/'))
        g_DataFolder.pop_back();
}

const char* ImportDataFolder()
{
    if (g_DataFolder.empty()) {
        char temp[MAX_PATH] = "";
        GetTempPathA(sizeof temp, temp);
        SetImportDataFolder(temp);
    }
    return g_DataFolder.c_str();
}

void InstallForeignConverters()
{
    g_ForeignEntryConverter = &ConvertEntry;
}

void DeleteForeignConverters()
{
    delete g_Converters;
    g_Converters = NULL;
}

bool TryLockForeignImport()
{
    return TryEnterCriticalSection(ImportLock()) != 0;
}

void LockForeignImport()
{
    EnterCriticalSection(ImportLock());
}

void UnlockForeignImport()
{
    LeaveCriticalSection(ImportLock());
}

void TwinFileName(const char* fileName, char* out, size_t size)
{
    std::string name = fileName;
    const char* extension = Extension(fileName);
    const char* twin = NULL;
    if (_stricmp(extension, ".frm") == 0 || _stricmp(extension, ".ufm") == 0)
        twin = ".sfm";
    else if (_stricmp(extension, ".ucl") == 0)
        twin = ".scl";
    else if (_stricmp(extension, ".uxf") == 0)
        twin = ".str";
    if (twin != NULL)
        name = name.substr(0, name.size() - strlen(extension)) + twin;
    CopyCut(out, size, name.c_str());
}

char* ConvertForeignFile(const char* sourcePath)
{
    int length = 0;
    char* text = ReadFormulaTextFile(sourcePath, 10, &length);
    if (text == NULL)
        return NULL;
    std::string tempPath = std::string(ImportDataFolder()) + "\\~tmp0089";
    FILE* out = fopen(tempPath.c_str(), "w");
    if (out == NULL) {
        free(text);
        return NULL;
    }
    int fileCode = FormulaFileCode(sourcePath);
    int formulaKind = fileCode == FFC_UF_COLORING ? FK_COLORING
                      : fileCode == FFC_UF_TRANSFORM ? FK_TRANSFORMATION
                                                      : FK_ITERATION;
    InstallForeignConverters();
    FormulaNode scratch(formulaKind, FNK_FILE);
    // The entry search sees the text with comments and quotes blanked, so
    // that a brace inside them is never taken for an entry's.
    std::string masked(text, (size_t)length);
    for (int p = 0; p < length; p++) {
        int q = SkipForeignComment(text, p);
        if (q > p || text[p] == ';')
            for (int k = p; k <= q; k++)
                if (masked[k] != '\n')
                    masked[k] = ' ';
        p = q;
    }

    int position = 0;
    while (position < length) {
        if (fileCode == FFC_FRACTINT) {
            for (;;) {
                while (position < length && strchr(" \t\r\n", text[position]) != NULL)
                    position++;
                if (position >= length || text[position] != ';')
                    break;
                while (position < length && text[position] != '\n')
                    position++;
            }
        }
        int open = FindForeignBrace(text, position);
        int close = open >= 0 ? FindForeignClosingBrace(text, open) : -1;
        if (close < 0)
            break;
        // The entry itself is taken from the unmasked text.
        std::string segment = masked.substr((size_t)position, (size_t)(open - position)) +
                              std::string(text + open, (size_t)(close - open + 1));
        int nameOffset = -1;
        char* entry = NULL;
        FormulaNode* node =
            ParseFormulaEntry(&scratch, segment.c_str(), close - position, fileCode, &entry, &nameOffset);
        if (nameOffset >= 0 && HasCommentText(text + position, nameOffset))
            fputs(CommentEntry(text + position, nameOffset).c_str(), out);
        if (node != NULL) {
            if (entry != NULL) {
                fputs(entry, out);
                fputs("\n\n\n", out);
            }
            delete node;
        } else if (nameOffset >= 0) {
            char name[64];
            FindEntryName(segment.c_str(), name, NULL, 0);
            ReportUnconverted(name, sourcePath);
        }
        free(entry);
        if (WorkerCancelState)
            break;
        position = close + 1;
    }
    fclose(out);
    free(text);
    return _strdup(tempPath.c_str());
}

int AskOverwrite(const char* sourceName, const char* targetName, uint32_t newSize, uint32_t oldSize,
                 FILETIME newCreation, FILETIME oldCreation, FILETIME newWrite, FILETIME oldWrite)
{
    OverwriteQuestion q = {sourceName, targetName, newSize, oldSize, newCreation, oldCreation, newWrite, oldWrite};
    if (g_OverwriteAnswerer != NULL)
        return g_OverwriteAnswerer(q);
    return RunOverwriteDialog(q);
}

FormulaNode* ImportFormulaFile(const char* sourceFolder, const char* fileName, FormulaNode* destination)
{
    char target[MAX_PATH];
    TwinFileName(fileName, target, sizeof target);
    FormulaNode* existing = NULL;
    if (destination != NULL)
        for (ListNode* n = destination->children.GetHead(); n != NULL; n = n->next) {
            FormulaNode* child = static_cast<FormulaNode*>(n);
            if (child->kind == FNK_FILE && child->nameText != NULL && _stricmp(child->nameText, target) == 0)
                existing = child;
        }
    if (DownloadRunning && DownloadCancel) {
        WorkerCancelState = 1;
        return NULL;
    }
    ProgressMessage(sourceFolder, 1);
    if (ForeignKindOf(fileName) == NULL || destination == NULL)
        return NULL;
    ProgressMessage(fileName, 2);

    std::string folder = sourceFolder;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    std::string source = folder + fileName;
    FILETIME creation = {0, 0}, lastWrite = {0, 0};
    if (!ReadTimes(source.c_str(), &creation, &lastWrite, NULL))
        return NULL;
    if (existing != NULL && CompareFileTime(&existing->lastWriteTime, &lastWrite) == 0) {
        ProgressMessage("", 2);
        return NULL;
    }
    char* temp = ConvertForeignFile(source.c_str());
    if (temp == NULL)
        return NULL;
    if (existing != NULL && !YesToAllFlag) {
        int answer = AskOverwrite(fileName, existing->name, FileSizeOf(temp), existing->size, creation,
                                  existing->creationTime, lastWrite, existing->lastWriteTime);
        if (answer == 2) {
            WorkerCancelState = 1;
            free(temp);
            return NULL;
        }
        if (answer == 5) {
            free(temp);
            return NULL;
        }
        if (answer == 4)
            YesToAllFlag = 1;
    }

    char destinationPath[FORMULA_PATH_SIZE];
    destination->GetPath(destinationPath, sizeof destinationPath);
    std::string targetPath = std::string(destinationPath) + "\\" + target;
    // A loaded twin drops its entries unsaved, so its old text is never
    // written over the new file.
    if (existing != NULL && existing->loaded)
        existing->UnloadEntries(g_FormulaTrees[existing->formulaKind], 0);
    DeleteFileA(targetPath.c_str());
    bool moved = MoveFileA(temp, targetPath.c_str()) != 0;
    free(temp);
    if (!moved)
        return NULL;
    InterlockedIncrement(&ImportedFileCount);
    HANDLE h = CreateFileA(targetPath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    uint32_t size = 0;
    if (h != INVALID_HANDLE_VALUE) {
        SetFileTime(h, &creation, NULL, &lastWrite);
        size = GetFileSize(h, NULL);
        CloseHandle(h);
    }
    ProgressMessage("", 2);
    if (existing != NULL) {
        existing->creationTime = creation;
        existing->lastWriteTime = lastWrite;
        existing->size = size;
        return NULL;
    }
    FormulaNode* node = new FormulaNode(destination->formulaKind, FNK_FILE);
    node->nameText = _strdup(target);
    node->SetName(target);
    node->parent = destination;
    node->creationTime = creation;
    node->lastWriteTime = lastWrite;
    node->size = size != 0 ? size : FileSizeOf(targetPath.c_str());
    destination->children.Append(node);
    node->key = 1.0;
    return node;
}

FormulaNode* AddImportFolder(const char* parentPath, const char* folderName, FormulaNode* parentNode)
{
    if (parentNode == NULL)
        return NULL;
    // A folder imported before keeps its node, so a second import finds the
    // twins already there.
    for (ListNode* n = parentNode->children.GetHead(); n != NULL; n = n->next) {
        FormulaNode* child = static_cast<FormulaNode*>(n);
        if (child->kind == FNK_FOLDER && child->nameText != NULL && _stricmp(child->nameText, folderName) == 0)
            return child;
    }
    FormulaNode* node = new FormulaNode(parentNode->formulaKind, FNK_FOLDER);
    node->nameText = _strdup(folderName);
    node->SetName(folderName);
    node->parent = parentNode;
    parentNode->InsertChild(node);
    char path[FORMULA_PATH_SIZE];
    node->GetPath(path, sizeof path);
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(path, NULL);
    node->key = 1.0;
    return node;
}

int ImportForeignFolder(const char* folder, const char* destination)
{
    if (!DownloadRunning)
        YesToAllFlag = 0;
    WorkerCancelState = 0;
    g_ScanAddsTreeItems = 1;
    for (const ForeignKind& kind : kForeignKinds) {
        ProgressMessage(kind.caption, 0);
        FormulaNode* root = FindOrMakeRootFolder(kind.formulaKind, destination);
        ScanFileCode = kind.fileCode;
        ScanFolderTree(folder, kind.extension, &ImportFormulaFile, &AddImportFolder, kind.progressText, root);
        if (WorkerCancelState)
            return 1;
    }
    return 0;
}

FormulaNode* ImportForeignFile(const char* filePath, const char* destination)
{
    WorkerCancelState = 0;
    g_ScanAddsTreeItems = 1;
    const ForeignKind* kind = ForeignKindOf(filePath);
    if (kind == NULL)
        return NULL;
    FormulaNode* root = FindOrMakeRootFolder(kind->formulaKind, destination);
    ProgressMessage(kind->caption, 0);
    ScanFileCode = kind->fileCode;
    std::string path = filePath;
    size_t slash = path.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    FormulaNode* node = ImportFormulaFile(folder.c_str(), name.c_str(), root);
    if (node != NULL && node->key == 1.0) {
        if (g_FormulaTrees[kind->formulaKind] != NULL)
            g_FormulaTrees[kind->formulaKind]->InsertItem(node, root, node->prev, 2, node->kind, -1);
        node->key = 0.0;
    }
    return node;
}

void LoadForeignFormulaPaths(const char* list)
{
    if (list == NULL)
        return;
    const char* p = list;
    while (*p != 0) {
        const char* semicolon = strchr(p, ';');
        size_t n = semicolon != NULL ? (size_t)(semicolon - p) : strlen(p);
        std::string element(p, n < 999 ? n : 999);
        if (!element.empty())
            ImportForeignFolder(element.c_str(), element.c_str());
        if (WorkerCancelState || semicolon == NULL)
            break;
        p = semicolon + 1;
    }
}
