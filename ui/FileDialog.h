// The file requester: save, open one file or open several, with the result
// read back as paths, names and folders. Fourteen global requesters, one per
// kind of file, remember their folders and filters between uses.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include "ui/Object.h"

enum { FILE_DIALOG_RESULT_SIZE = 20000, FILE_DIALOG_TEXT_SIZE = 500 };

enum FileDialogMode { FD_SAVE = 0, FD_OPEN = 1, FD_OPEN_MULTIPLE = 2 };

class FileDialog : public PObject {
public:
    FileDialog();
    virtual ~FileDialog();
    FileDialog(const FileDialog&) = delete;
    FileDialog& operator=(const FileDialog&) = delete;

    void SetTitle(const char* text);
    void SetInitialDir(const char* folder);
    void SetFileName(const char* name);
    // Filter pairs (description, pattern), each NUL-terminated, ended by an
    // empty string.
    void SetFilter(const char* pairs);
    void SetMode(int newMode) { mode = newMode; }
    // Hook and template bits kept for preview panels.
    void SetHookFlags(DWORD flags) { keptFlags = flags & (OFN_ENABLEHOOK | OFN_ENABLETEMPLATE); }

    // Runs the requester; non-zero when the user chose a file. confirm asks
    // before overwriting (save) or insists on existing files (open).
    int Show(bool confirm);

    // The i-th chosen path, file name or folder written into buffer (size
    // bytes, cut to fit); null when there is no such entry.
    char* GetPath(char* buffer, int index, size_t size = MAX_PATH) const;
    char* GetFileName(char* buffer, int index, size_t size = MAX_PATH) const;
    char* GetDirectory(char* buffer, int index, size_t size = MAX_PATH) const;
    void FreeResult();

    // Puts a result as the common dialog leaves it (tests, previews).
    void SetResult(const char* bytes, size_t length);

    OPENFILENAMEA request;
    char* filter;
    char* initialFile;
    char* initialDir;
    char* title;
    int mode;
    char* result;
    DWORD keptFlags;

private:
    bool IsSingle() const;
    // The i-th name after the folder of a several-file result, or null.
    const char* NameAt(int index) const;
};

// The fourteen requesters of the program.
enum FileRequesterKind {
    FR_PARAMETERS, FR_PALETTES, FR_FORMULA_FILES, FR_IMAGE_FRACTALS, FR_ANIMATION_DATA,
    FR_GENERAL_LOAD, FR_SAVE_PARAMETERS, FR_SPARE_1, FR_SAVE_FORMULAS, FR_SAVE_IMAGES,
    FR_EXPORT_3D, FR_ANIMATION_OUTPUT, FR_TOOL_WINDOWS, FR_SPARE_2, FILE_REQUESTER_COUNT
};
extern FileDialog g_FileRequesters[FILE_REQUESTER_COUNT];
