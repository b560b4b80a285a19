// The file requester and the parsing of its result.
#include "ui/FileDialog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ui/FrameWindow.h"
#include "ui/MessageBox.h"
#include "ui/Toolkit.h"

FileDialog g_FileRequesters[FILE_REQUESTER_COUNT];

namespace {

const char kDefaultFilter[] = "All Files\0*.*\0";

char* ZeroedText()
{
    return static_cast<char*>(calloc(FILE_DIALOG_TEXT_SIZE, 1));
}

void ReplaceText(char** field, const char* text)
{
    size_t length = text ? strlen(text) : 0;
    char* copy = static_cast<char*>(calloc(length + 1 > FILE_DIALOG_TEXT_SIZE ? length + 1
                                                                              : FILE_DIALOG_TEXT_SIZE,
                                           1));
    if (text)
        memcpy(copy, text, length);
    free(*field);
    *field = copy;
}

char* CopyOut(char* buffer, size_t size, const char* text, size_t length)
{
    if (buffer == NULL || size == 0)
        return NULL;
    if (length >= size)
        length = size - 1;
    memcpy(buffer, text, length);
    buffer[length] = '\0';
    return buffer;
}

}  // namespace

FileDialog::FileDialog()
    : filter(ZeroedText()), initialFile(ZeroedText()), initialDir(ZeroedText()),
      title(ZeroedText()), mode(FD_OPEN), result(NULL), keptFlags(0)
{
    memset(&request, 0, sizeof(request));
    request.lStructSize = 88;
    memcpy(filter, kDefaultFilter, sizeof(kDefaultFilter));
}

FileDialog::~FileDialog()
{
    FreeResult();
    free(filter);
    free(initialFile);
    free(initialDir);
    free(title);
}

void FileDialog::SetTitle(const char* text) { ReplaceText(&title, text); }
void FileDialog::SetInitialDir(const char* folder) { ReplaceText(&initialDir, folder); }
void FileDialog::SetFileName(const char* name) { ReplaceText(&initialFile, name); }

void FileDialog::SetFilter(const char* pairs)
{
    size_t length = 0;
    while (pairs[length] != '\0' || pairs[length + 1] != '\0')
        ++length;
    length += 2;
    char* copy = static_cast<char*>(calloc(length > FILE_DIALOG_TEXT_SIZE ? length
                                                                        : FILE_DIALOG_TEXT_SIZE,
                                           1));
    memcpy(copy, pairs, length);
    free(filter);
    filter = copy;
}

void FileDialog::FreeResult()
{
    free(result);
    result = NULL;
}

void FileDialog::SetResult(const char* bytes, size_t length)
{
    FreeResult();
    result = static_cast<char*>(calloc(FILE_DIALOG_RESULT_SIZE, 1));
    if (length > FILE_DIALOG_RESULT_SIZE - 2)
        length = FILE_DIALOG_RESULT_SIZE - 2;
    memcpy(result, bytes, length);
}

int FileDialog::Show(bool confirm)
{
    if (mode < FD_SAVE || mode > FD_OPEN_MULTIPLE)
        return 0;
    request.hwndOwner = g_Toolkit.mainFrame != NULL ? g_Toolkit.mainFrame->hwnd : NULL;
    FreeResult();
    result = static_cast<char*>(calloc(FILE_DIALOG_RESULT_SIZE, 1));
    // The initial name may be longer than the buffer allows: it is cut.
    lstrcpynA(result, initialFile, FILE_DIALOG_RESULT_SIZE - 1);
    request.lpstrFile = result;
    request.nMaxFile = FILE_DIALOG_RESULT_SIZE;
    request.lpstrFilter = filter;
    request.lpstrInitialDir = initialDir[0] ? initialDir : NULL;
    request.lpstrTitle = title[0] ? title : NULL;
    request.Flags = keptFlags | OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY;
    BOOL chosen;
    if (mode == FD_SAVE) {
        if (confirm)
            request.Flags |= OFN_OVERWRITEPROMPT;
        chosen = RunFileRequester(&request, true);
    } else {
        if (mode == FD_OPEN_MULTIPLE)
            request.Flags |= OFN_ALLOWMULTISELECT;
        if (confirm)
            request.Flags |= OFN_FILEMUSTEXIST;
        chosen = RunFileRequester(&request, false);
    }
    if (chosen)
        return 1;
    DWORD error = CommDlgExtendedError();
    if (error != 0) {
        char text[120];
        snprintf(text, sizeof(text), "Unable to open file requester. The error code is: %lx (%ld)",
                 (unsigned long)error, (long)error);
        g_InfoBox.Show("Error in FileDialog", text);
    }
    return 0;
}

bool FileDialog::IsSingle() const
{
    return result[strlen(result) + 1] == '\0';
}

const char* FileDialog::NameAt(int index) const
{
    if (index < 0)
        return NULL;
    const char* name = result + strlen(result) + 1;
    for (int i = 0; i < index && *name; ++i)
        name += strlen(name) + 1;
    return *name ? name : NULL;
}

char* FileDialog::GetPath(char* buffer, int index, size_t size) const
{
    if (result == NULL || result[0] == '\0')
        return NULL;
    if (IsSingle())
        return index == 0 ? CopyOut(buffer, size, result, strlen(result)) : NULL;
    const char* name = NameAt(index);
    if (name == NULL)
        return NULL;
    char joined[MAX_PATH * 2];
    int length = snprintf(joined, sizeof(joined), "%s\\%s", result, name);
    return CopyOut(buffer, size, joined, length < (int)sizeof(joined) ? length : sizeof(joined) - 1);
}

char* FileDialog::GetFileName(char* buffer, int index, size_t size) const
{
    if (result == NULL || result[0] == '\0')
        return NULL;
    if (IsSingle() || mode == FD_OPEN) {
        if (index != 0)
            return NULL;
        const char* slash = strrchr(result, '\\');
        const char* name = slash ? slash + 1 : result;
        return CopyOut(buffer, size, name, strlen(name));
    }
    const char* name = NameAt(index);
    return name ? CopyOut(buffer, size, name, strlen(name)) : NULL;
}

char* FileDialog::GetDirectory(char* buffer, int index, size_t size) const
{
    if (result == NULL || result[0] == '\0')
        return NULL;
    if (IsSingle() || mode == FD_OPEN) {
        if (index != 0)
            return NULL;
        const char* slash = strrchr(result, '\\');
        return CopyOut(buffer, size, result, slash ? slash - result : 0);
    }
    if (NameAt(index) == NULL)
        return NULL;
    size_t length = strlen(result);
    if (length > 0 && result[length - 1] == '\\')
        --length;
    return CopyOut(buffer, size, result, length);
}
