// Editing formula files: writing a loaded file back from its entry nodes,
// adding new entries and copies, deleting entries and files.
#include "formulas/FormulaEdit.h"

#include <windows.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "formulas/FormulaNode.h"
#include "foundation/MessageBox.h"
#include "foundation/Services.h"

int g_ConfirmDeleteFormula = 1;

namespace {

const char* const kTemplates[FORMULA_KIND_COUNT] = {
    // FK_TRANSFORMATION
    "%s\n{\nparameter complex move;\n\n\tvoid transform(void)\n\t{\n\t\tpixel = pixel - move;\n\t}\n"
    "\tvoid description(void)\n\t{\n\t\tthis.title = \"%s\";\n\t\tthis.helpfile = \"Spiralix.chm\";\n"
    "\t\tthis.helptopic = \"Transformation Formula\";\n\n\t\tmove.caption = \"Movement\";\n"
    "\t\tmove.default = (0,0);\n"
    "\t\tmove.hint = \"Simply adds some complex number to the initial value, thus moves the image...\";\n"
    "\t}\n}",
    // FK_ITERATION
    "%s\n{\nparameter complex perturb;\n\n\tvoid init(void)\n\t{\n\t\tz=perturb;\n\t}\n"
    "\tvoid loop(void)\n\t{\n\t\tz=z*z+pixel;\n\t}\n\tbool bailout(void)\n\t{\n\t\treturn(|z|<16);\n\t}\n"
    "\tvoid description(void)\n\t{\n\t\tthis.title=\"%s\";\n\t\tthis.helpfile = \"Spiralix.chm\";\n"
    "\t\tthis.helptopic = \"Iteration Formula\";\n\t\tthis.center=(1,3);\n\t\tthis.angle=0;\n"
    "\t\tthis.maxiter=250;\n\t\tthis.periodicity=0;\n\t\tthis.helpfile=\"formulas.html\";\n"
    "\t\tperturb.caption=\"Perturbation\";\n\t\tperturb.default=(0,0);\n"
    "\t\tperturb.hint=\"Start value for iteration, also called perturbation\";\n\t}\n}",
    // FK_COLORING
    "%s\n{\n\tvoid init(void)\n\t{\n\t\t// place initialization here\n\t}\n\tvoid loop(void)\n\t{\n"
    "\t\t// place code to be executed in every iteration loop here\n\t}\n\tvoid final(void)\n\t{\n"
    "\t\t// final code...\n\t\tindex=numiter/256;\n\t}\n\tvoid description(void)\n\t{\n"
    "\t\tthis.title = \"%s\";\n\t\tthis.helpfile = \"Spiralix.chm\";\n"
    "\t\tthis.helptopic = \"Coloring Formula\";\n\t}\n}",
    // FK_LIBRARY
    "%s\n{\n\tcomplex func1(complex a,complex b)\n\t{\n\t\t// place function code here\n\t\treturn(0);\n"
    "\t}\n}",
};

unsigned LocalMillisecondsOfDay()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return ((unsigned)t.wHour * 3600u + t.wMinute * 60u + t.wSecond) * 1000u + t.wMilliseconds;
}

EntryNameClock g_EntryNameClock = &LocalMillisecondsOfDay;

bool ChildHasName(const FormulaNode* file, const char* name, bool nameText)
{
    for (ListNode* n = file->children.GetHead(); n != NULL; n = n->next) {
        const FormulaNode* child = static_cast<const FormulaNode*>(n);
        const char* childName = nameText ? child->nameText : child->name;
        if (childName != NULL && _stricmp(childName, name) == 0)
            return true;
    }
    return false;
}

// "sx_<number>" from the time of day, made unique among the file's entries
// (two entries added within the same millisecond would otherwise share a
// name, and the second could never be found).
std::string NewEntryName(const FormulaNode* file)
{
    unsigned ms = g_EntryNameClock();
    srand(ms);
    unsigned r = (unsigned)rand();
    unsigned number = ms % (r + 99999u);
    char name[40];
    for (;;) {
        snprintf(name, sizeof(name), "sx_%u", number);
        if (!ChildHasName(file, name, true))
            return name;
        number++;
    }
}

// Writes count characters of text; false on a write error.
bool WriteChars(FILE* out, const char* text, size_t count)
{
    return count == 0 || fwrite(text, 1, count, out) == count;
}

void CopyFileCreationTime(const char* path, const FILETIME& creation)
{
    HANDLE h = CreateFileA(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return;
    SetFileTime(h, &creation, NULL, NULL);
    CloseHandle(h);
}

TreeItemView* TreeOfKind(int formulaKind)
{
    return formulaKind >= 0 && formulaKind < FORMULA_KIND_COUNT ? g_FormulaTrees[formulaKind] : NULL;
}

}  // namespace

EntryNameClock SetEntryNameClock(EntryNameClock clock)
{
    EntryNameClock previous = g_EntryNameClock;
    g_EntryNameClock = clock != NULL ? clock : &LocalMillisecondsOfDay;
    return previous;
}

const char* NewEntryTemplate(int formulaKind)
{
    return formulaKind >= 0 && formulaKind < FORMULA_KIND_COUNT ? kTemplates[formulaKind] : NULL;
}

bool MakeFileWritable(const char* path, int ask)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY))
        return true;
    if (ask == 1) {
        std::string text = std::string("Unable to write to file ") + path +
                           ":\nThe file is write protected.\n\nShould the write protection be removed?";
        PMessageBox box(MB_STYLE_YESNOCANCEL);
        if (box.Show("File Access Error", text.c_str()) != IDYES)
            return false;
    } else if (ask != 2) {
        return false;
    }
    return SetFileAttributesA(path, attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY) != 0;
}

FILE* OpenWritableFile(const char* path, const char* mode, int ask)
{
    // The write protection is looked at first: a process with the rights
    // to ignore it (an administrator under some systems) would otherwise
    // write a protected file without asking.
    if (!MakeFileWritable(path, ask))
        return NULL;
    return fopen(path, mode);
}

bool FormulaNode::WriteFile()
{
    if (kind != FNK_FILE || !loaded || fileText == NULL)
        return false;
    char path[FORMULA_PATH_SIZE];
    GetPath(path, sizeof(path));
    if (!MakeFileWritable(path, 1))
        return false;

    // The new text goes to a temporary file beside the file, which then
    // replaces it: an interrupted write leaves the old file.
    std::string folder = path;
    size_t slash = folder.find_last_of("\\/");
    folder = slash != std::string::npos ? folder.substr(0, slash) : std::string(".");
    char temporary[MAX_PATH + 20];
    if (GetTempFileNameA(folder.c_str(), "spx", 0, temporary) == 0)
        return false;
    FILE* out = fopen(temporary, "w");
    if (out == NULL) {
        DeleteFileA(temporary);
        return false;
    }

    // The parts in text order, each with its new offsets.
    struct Part {
        FormulaNode* node;   // an entry, or this file for its comment
        int newStart;
        int newEnd;
    };
    std::vector<FormulaNode*> entries;
    for (ListNode* n = children.GetHead(); n != NULL; n = n->next)
        entries.push_back(static_cast<FormulaNode*>(n));
    std::vector<bool> done(entries.size(), false);
    bool commentDone = false;
    std::vector<Part> parts;

    int oldLength = (int)strlen(fileText);
    int readPosition = 0;
    int written = 0;
    bool ok = true;
    for (;;) {
        int chosen = -1;
        for (size_t i = 0; i < entries.size(); i++) {
            FormulaNode* e = entries[i];
            if (done[i] || e->entryText == NULL || e->startOffset < readPosition)
                continue;
            if (chosen < 0 || e->startOffset < entries[(size_t)chosen]->startOffset)
                chosen = (int)i;
        }
        bool comment = !commentDone && entryText != NULL && startOffset < endOffset &&
                       startOffset >= readPosition &&
                       (chosen < 0 || startOffset < entries[(size_t)chosen]->startOffset);
        FormulaNode* part;
        if (comment) {
            part = this;
            commentDone = true;
        } else if (chosen >= 0) {
            part = entries[(size_t)chosen];
            done[(size_t)chosen] = true;
        } else {
            break;
        }
        int partStart = part->startOffset < oldLength ? part->startOffset : oldLength;
        if (partStart > readPosition) {
            ok = ok && WriteChars(out, fileText + readPosition, (size_t)(partStart - readPosition));
            written += partStart - readPosition;
        }
        int length = (int)strlen(part->entryText);
        ok = ok && WriteChars(out, part->entryText, (size_t)length);
        parts.push_back(Part{part, written, written + length - 1});
        written += length;
        readPosition = part->endOffset + 1;
    }
    if (readPosition < oldLength) {
        ok = ok && WriteChars(out, fileText + readPosition, (size_t)(oldLength - readPosition));
        written += oldLength - readPosition;
    }
    if (ferror(out))
        ok = false;
    if (fclose(out) != 0)
        ok = false;

    WIN32_FILE_ATTRIBUTE_DATA old;
    bool hadFile = GetFileAttributesExA(path, GetFileExInfoStandard, &old) != 0;
    if (!ok || !MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary);
        return false;
    }
    if (hadFile)
        CopyFileCreationTime(path, old.ftCreationTime);

    int length = 0;
    char* text = ReadFormulaTextFile(path, 10, &length);
    if (text == NULL)
        text = static_cast<char*>(calloc((size_t)written + 11, 1));
    free(fileText);
    fileText = text;
    for (const Part& p : parts) {
        p.node->startOffset = p.newStart;
        p.node->endOffset = p.newEnd;
    }
    return true;
}

int FormulaNode::AddNewEntry(int flag, const char* title, const char* source)
{
    if (kind != FNK_FILE)
        return 0;
    std::string name = NewEntryName(this);
    std::string text;
    std::string display;
    if (source != NULL) {
        char sourceName[ListNode::NODE_NAME_SIZE];
        int brace = -1;
        int nameOffset = FindEntryName(source, sourceName, &brace, 0);
        // The source text after its name (the whole text when it has none).
        const char* rest = source;
        if (nameOffset >= 0) {
            rest = source + nameOffset;
            while ((unsigned char)*rest >= '!' && *rest != '(' && *rest != '{')
                rest++;
        }
        text = name + rest;
        display = name;
        char oldTitle[ListNode::NODE_NAME_SIZE];
        int titleOffset = ReadEntryTitle(text.c_str(), oldTitle, sizeof(oldTitle));
        if (titleOffset >= 0) {
            std::string full;
            int counter = 1;
            char prefix[40];
            for (;; counter++) {
                if (counter == 1)
                    snprintf(prefix, sizeof(prefix), "Copy of ");
                else
                    snprintf(prefix, sizeof(prefix), "Copy (%d) of ", counter);
                full = std::string(prefix) + oldTitle;
                char candidate[ListNode::NODE_NAME_SIZE];
                CopyCut(candidate, sizeof(candidate), full.c_str());
                if (!ChildHasName(this, candidate, false))
                    break;
            }
            text.insert((size_t)titleOffset, prefix);
            display = full;
        }
    } else {
        const char* pattern = NewEntryTemplate(formulaKind);
        if (pattern == NULL)
            return 0;
        const char* t = title != NULL ? title : "";
        int n = snprintf(NULL, 0, pattern, name.c_str(), t);
        std::vector<char> buffer((size_t)n + 1);
        snprintf(buffer.data(), buffer.size(), pattern, name.c_str(), t);
        text = buffer.data();
        display = t[0] != 0 ? t : name;
    }

    char path[FORMULA_PATH_SIZE];
    GetPath(path, sizeof(path));
    if (loaded && fileText != NULL) {
        FormulaNode* entry = new FormulaNode(formulaKind, FNK_TRANSFORMATION + formulaKind);
        entry->nameText = static_cast<char*>(calloc(100, 1));
        CopyCut(entry->nameText, 100, name.c_str());
        entry->int1 = flag;
        entry->SetName(display.c_str());
        entry->entryText = _strdup(text.c_str());
        int oldLength = (int)strlen(fileText);
        std::string joined = std::string(fileText) + "\n\n" + text + "\n";
        char* newFileText = static_cast<char*>(calloc(joined.size() + 11, 1));
        if (entry->entryText == NULL || newFileText == NULL) {
            free(newFileText);
            delete entry;
            return 0;
        }
        memcpy(newFileText, joined.c_str(), joined.size());
        free(fileText);
        fileText = newFileText;
        entry->startOffset = oldLength + 2;
        entry->endOffset = entry->startOffset + (int)text.size() - 1;
        InsertChild(entry);
        if (TreeItemView* tree = TreeOfKind(formulaKind))
            tree->InsertItem(entry, this, entry->prev, 2, entry->kind, -1);
        WriteFile();
    } else {
        // A write-protected file is left alone, as the system would refuse
        // to open it.
        FILE* file = MakeFileWritable(path, 0) ? fopen(path, "a") : NULL;
        if (file != NULL) {
            fprintf(file, "\n\n%s\n", text.c_str());
            fclose(file);
        }
    }
    return WriteIndexFile();
}

bool DeleteFormula(FormulaNode* node)
{
    if (node == NULL)
        return true;
    if (node->kind >= FNK_TRANSFORMATION && node->kind <= FNK_LIBRARY) {
        if (g_ConfirmDeleteFormula) {
            PMessageBox box(MB_STYLE_YESNOCANCEL);
            if (box.Show("Deleting Formula",
                         "Are you sure you want to delete that formula? This operation cannot be "
                         "undone.") != IDYES)
                return false;
        }
        FormulaNode* file = node->parent;
        if (file != NULL) {
            file->children.Remove(node);
            int start = node->startOffset;
            int end = node->endOffset;
            int fileLength = file->fileText != NULL ? (int)strlen(file->fileText) : 0;
            if (file->fileText != NULL && start >= 0 && end >= start && end < fileLength) {
                int cut = end - start + 1;
                memmove(file->fileText + start, file->fileText + end + 1, (size_t)(fileLength - end));
                for (ListNode* n = file->children.GetHead(); n != NULL; n = n->next) {
                    FormulaNode* other = static_cast<FormulaNode*>(n);
                    if (other->startOffset > end) {
                        other->startOffset -= cut;
                        other->endOffset -= cut;
                    }
                }
                if (file->startOffset > end) {
                    file->startOffset -= cut;
                    file->endOffset -= cut;
                }
            }
            file->WriteFile();
            file->WriteIndexFile();
        }
        if (TreeItemView* tree = TreeOfKind(node->formulaKind))
            tree->DeleteItem(node);
        delete node;
        return true;
    }
    if (node->kind == FNK_FILE) {
        PMessageBox box(MB_STYLE_YESNOCANCEL);
        if (box.Show("Delete Formula Folder",
                     "You are about to delete a compiler formula file.\nAre you sure you want to "
                     "delete this file and all formulas contained in it?") != IDYES)
            return false;
        TreeItemView* tree = TreeOfKind(node->formulaKind);
        node->UnloadEntries(tree, 0);
        if (tree != NULL)
            tree->DeleteItem(node);
        char path[FORMULA_PATH_SIZE];
        node->GetPath(path, sizeof(path));
        // The parent link stays, so the index path can still be built.
        if (node->parent != NULL)
            node->parent->children.Remove(node);
        DeleteFileA(path);
        node->WriteIndexFile();
        delete node;
        return true;
    }
    return true;
}
