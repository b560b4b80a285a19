// Body preparation, path building, the entry loop of a file load and the
// writers' output shared by the IFS and L-system file readers and writers.
#include "files/formulafiles/FormulaBody.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include "formulas/FormulaEdit.h"
#include "formulas/FormulaNode.h"
#include "formulas/ScanProgress.h"
#include "foundation/FileUtil.h"
#include "foundation/LogFile.h"
#include "foundation/Services.h"

namespace {

// "Loading file NAME.EXT" as the progress action.
void ShowLoadingFile(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    std::string action = std::string("Loading file ") + name;
    if (!strchr(name, '.'))
        action += ".";
    ProgressName(action.c_str(), 0);
}

}  // namespace

std::string PrepareFormulaBody(const char* body, size_t length)
{
    std::string out;
    out.reserve(length);
    bool comment = false;
    for (size_t i = 0; i < length && body[i]; i++) {
        unsigned char c = (unsigned char)body[i];
        if (c == '\n') {
            comment = false;
            if (!out.empty() && out.back() != '\n')
                out += '\n';
            continue;
        }
        if (comment)
            continue;
        if (c == ';') {
            comment = true;
            continue;
        }
        if (c < 32 || c == 127)
            c = ' ';
        out += (char)toupper(c);
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

std::string FormulaFilePath(const char* directory, const char* fileName)
{
    if (directory && fileName)
        return std::string(directory) + "\\" + fileName;
    if (directory)
        return directory;
    if (fileName)
        return fileName;
    return std::string();
}

int LoadFormulaFile(const char* directory, const char* fileName, const char* logLine,
                    bool (*readEntry)(const char* text))
{
    std::string path = FormulaFilePath(directory, fileName);
    if (path.empty())
        return 0;
    if (Services().log)
        if (LogFile* log = Services().log())
            log->WriteJoined(logLine, path.c_str());
    int length = 0;
    char* text = ReadFormulaTextFile(path.c_str(), 10, &length);
    if (!text || length < 1) {
        free(text);
        return 0;
    }
    ShowLoadingFile(path.c_str());
    int loaded = 0, position = 0;
    while (strchr(text + position, '{')) {
        const char* close = strchr(text + position, '}');
        if (!close)
            break;
        char percent[16];
        snprintf(percent, sizeof percent, "%d%%", (int)(100.0 * (close - text) / length));
        ProgressMessage(percent, 0);
        if (readEntry(text + position))
            loaded++;
        if (WorkerCancelState != 0)
            break;
        position = (int)(close - text) + 1;
    }
    free(text);
    return loaded;
}

FILE* OpenFormulaOutput(const char* directory, const char* fileName, FILE* file)
{
    if (file)
        return file;
    std::string path = FormulaFilePath(directory, fileName);
    return path.empty() ? nullptr : OpenWritableFile(path.c_str(), "w", 1);
}

bool SplitFormulaEntry(const char* text, char* name, std::string* body)
{
    int brace = -1;
    if (!text || FindEntryName(text, name, &brace, 0) < 0 || brace < 0)
        return false;
    if (_stricmp(name, "COMMENT") == 0)
        return false;
    const char* open = text + brace;
    const char* close = strchr(open + 1, '}');
    if (!close)
        return false;
    body->assign(open + 1, close);
    return true;
}
