// spxconv: the foreign-formula converters, the importer and the formula
// download on the command line.
//
//   spxconv frm|ufm|ucl|uxf FILE [--entry NAME]
//   spxconv import DIR DEST [--answer yes|all|no|abort]
//   spxconv fetch URL OUT
//   spxconv unzip ZIP DIR
//   spxconv download SERVER --data DIR --tmp DIR [--own full|since] [--uf week|month|full]
//                    [--date D.M.YYYY]
//
// frm and the others print the converted file as the importer writes it
// (comment entries and converted entries), or with --entry only the
// converted entry NAME (exit 1 when it does not convert). import loads DEST
// into the formula trees as the start-up does, imports the foreign files of
// DIR into it (answering the overwrite question as told; without --answer
// every question is answered "yes") and prints "converted=N", the number
// of files moved into place. fetch and unzip exit 0 on success and 1 on a
// failure. download runs the formula download without a window against
// SERVER (http://host:port) and prints "own=..." and "uf=..." (updated,
// failed or skipped); it exits 1 when the list cannot be read. Messages go
// to standard error. Usage errors exit 2.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "app/ServiceBindings.h"
#include "foundation/Messages.h"
#include "app/ScanProgressDialog.h"
#include "formulas/FormulaLoader.h"
#include "formulas/FormulaNode.h"
#include "formulas/convert/ForeignImport.h"
#include "formulas/convert/FormulaDownload.h"
#include "foundation/List.h"

namespace {

int Usage()
{
    fputs("usage: spxconv frm|ufm|ucl|uxf FILE [--entry NAME]\n"
          "       spxconv import DIR DEST [--answer yes|all|no|abort]\n"
          "       spxconv fetch URL OUT\n"
          "       spxconv unzip ZIP DIR\n"
          "       spxconv download SERVER --data DIR --tmp DIR [--own full|since] [--uf week|month|full]"
          " [--date D.M.YYYY]\n",
          stderr);
    return 2;
}

void PrintMessages()
{
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next) {
        const MessageNode* m = static_cast<const MessageNode*>(n);
        fprintf(stderr, "%s\n", m->text ? m->text : "");
    }
    UnlockMessageList();
}

std::string FullPath(const char* path)
{
    char full[FORMULA_PATH_SIZE];
    DWORD n = GetFullPathNameA(path, sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full) : std::string(path);
}

std::string ReadText(const char* path)
{
    std::string text;
    FILE* f = fopen(path, "r");
    if (f == NULL)
        return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    fclose(f);
    return text;
}

// The converted entry name out of a converted file text, or "".
std::string FindConvertedEntry(const std::string& text, const char* name)
{
    size_t position = 0;
    while (position < text.size()) {
        size_t open = text.find('{', position);
        if (open == std::string::npos)
            break;
        int close = FindClosingBrace(text.c_str(), (int)open);
        if (close < 0)
            break;
        std::string part = text.substr(position, (size_t)close + 1 - position);
        char found[64];
        int at = FindEntryName(part.c_str(), found, NULL, 0);
        if (at >= 0 && _stricmp(found, name) == 0)
            return part.substr((size_t)at);
        position = (size_t)close + 1;
    }
    return std::string();
}

int Convert(const char* kind, int argc, char** argv)
{
    const char* file = NULL;
    const char* entry = NULL;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--entry") == 0 && i + 1 < argc)
            entry = argv[++i];
        else if (argv[i][0] != '-' && file == NULL)
            file = argv[i];
        else
            return Usage();
    }
    if (file == NULL)
        return Usage();
    // The converter is chosen by the extension of the file it reads.
    std::string source = FullPath(file);
    std::string dot = std::string(".") + kind;
    if (source.size() < dot.size() || _stricmp(source.c_str() + source.size() - dot.size(), dot.c_str()) != 0) {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        std::string copy = std::string(temp) + "spxconv_input" + dot;
        if (!CopyFileA(source.c_str(), copy.c_str(), FALSE))
            return 2;
        source = copy;
    }
    char* converted = ConvertForeignFile(source.c_str());
    if (converted == NULL) {
        fprintf(stderr, "cannot read %s\n", file);
        return 2;
    }
    std::string text = ReadText(converted);
    DeleteFileA(converted);
    free(converted);
    PrintMessages();
    if (entry == NULL) {
        fputs(text.c_str(), stdout);
        return 0;
    }
    std::string part = FindConvertedEntry(text, entry);
    if (part.empty()) {
        fprintf(stderr, "%s does not convert\n", entry);
        return 1;
    }
    printf("%s\n", part.c_str());
    return 0;
}

int g_Answer = 3;

int ScriptedAnswer(const OverwriteQuestion& question)
{
    fprintf(stderr, "overwrite %s with %s: %d\n", question.targetName, question.sourceName, g_Answer);
    return g_Answer;
}

int HeadlessDialog(ScanProgressDialog* dialog)
{
    return dialog->RunHeadless(600000);
}

int Import(int argc, char** argv)
{
    const char* folder = NULL;
    const char* destination = NULL;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--answer") == 0 && i + 1 < argc) {
            const char* a = argv[++i];
            g_Answer = strcmp(a, "yes") == 0 ? 3 : strcmp(a, "all") == 0 ? 4 : strcmp(a, "no") == 0 ? 5
                       : strcmp(a, "abort") == 0                         ? 2
                                                                         : -1;
            if (g_Answer < 0)
                return Usage();
        } else if (argv[i][0] != '-' && folder == NULL) {
            folder = argv[i];
        } else if (argv[i][0] != '-' && destination == NULL) {
            destination = argv[i];
        } else {
            return Usage();
        }
    }
    if (folder == NULL || destination == NULL)
        return Usage();
    std::string source = FullPath(folder);
    std::string dest = FullPath(destination);
    g_OverwriteAnswerer = &ScriptedAnswer;
    ScanFormulaFolder(dest.c_str(), dest.c_str());
    ImportedFileCount = 0;
    ImportForeignFolder(source.c_str(), dest.c_str());
    PrintMessages();
    printf("converted=%ld\n", (long)ImportedFileCount);
    return 0;
}

// The Update Formulas window without a window: the choice comes from the
// command line, labels go to standard error.
class CommandLineWindow : public DownloadWindow {
public:
    FormulaDownloadChoice choice;
    FormulaDownloadChoice ReadChoice() override { return choice; }
    void SetLabel(const char* text, bool visible) override
    {
        if (visible && text[0] != 0)
            fprintf(stderr, "%s\n", text);
    }
    void SetProgress(int) override {}
    void SetButtonText(const char*) override {}
    void Refresh() override {}
    void RecordUpdateTime(const char* valueName, const SYSTEMTIME&) override
    {
        fprintf(stderr, "recorded %s\n", valueName);
    }
};

const char* OutcomeText(int outcome)
{
    return outcome == DOWNLOAD_UPDATED ? "updated" : outcome == DOWNLOAD_FAILED ? "failed" : "skipped";
}

int RunDownloadCommand(int argc, char** argv)
{
    CommandLineWindow window;
    DownloadJob job;
    job.window = &window;
    for (int i = 0; i < argc; i++) {
        std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : NULL;
        if (option[0] != '-' && job.server.empty()) {
            job.server = option;
            continue;
        }
        if (value == NULL)
            return Usage();
        i++;
        if (option == "--data") {
            job.dataFolder = FullPath(value);
        } else if (option == "--tmp") {
            job.tempFolder = FullPath(value);
        } else if (option == "--own") {
            window.choice.own = true;
            window.choice.ownLine = strcmp(value, "full") == 0 ? 1 : strcmp(value, "since") == 0 ? 2 : -1;
        } else if (option == "--uf") {
            window.choice.ultraFractal = true;
            window.choice.ufLine = strcmp(value, "week") == 0    ? 3
                                   : strcmp(value, "month") == 0 ? 4
                                   : strcmp(value, "full") == 0  ? 5
                                                                 : -1;
        } else if (option == "--date") {
            if (sscanf(value, "%d.%d.%d", &window.choice.day, &window.choice.month, &window.choice.year) != 3)
                return Usage();
        } else {
            return Usage();
        }
        if (window.choice.ownLine < 0 || window.choice.ufLine < 0)
            return Usage();
    }
    if (job.server.empty() || job.dataFolder.empty() || job.tempFolder.empty())
        return Usage();
    SetImportDataFolder(job.dataFolder.c_str());
    g_OverwriteAnswerer = &ScriptedAnswer;
    InterlockedExchange(&DownloadRunning, 1);
    DownloadResult result = RunFormulaDownload(job);
    PrintMessages();
    if (!result.listRead)
        return 1;
    printf("own=%s\nuf=%s\n", OutcomeText(result.own), OutcomeText(result.ultraFractal));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    BindApplicationServices();
    if (argc < 2)
        return Usage();
    g_ScanProgressRunner = &HeadlessDialog;
    std::string command = argv[1];
    if (command == "frm" || command == "ufm" || command == "ucl" || command == "uxf")
        return Convert(argv[1], argc - 2, argv + 2);
    if (command == "import")
        return Import(argc - 2, argv + 2);
    if (command == "fetch" && argc == 4)
        return DownloadUrl(argv[2], argv[3]) == 0 ? 0 : 1;
    if (command == "unzip" && argc == 4)
        return ExtractZip(argv[2], argv[3]) == 0 ? 0 : 1;
    if (command == "download")
        return RunDownloadCommand(argc - 2, argv + 2);
    return Usage();
}
