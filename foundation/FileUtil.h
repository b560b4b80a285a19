#pragma once

// Folder scans with progress text and cancellation, and path splitting.

#include <windows.h>
#include <stdio.h>

// Set to 1 (by the Abort buttons of the status and progress dialogs, on the
// main thread) to stop a running scan; the scans poll it after every entry.
// A worker that stops on it sets it back to 0.
extern volatile int WorkerCancelState;

// Called for every entry of a flat scan with the folder and the entry name.
typedef void (*ScanFileCallback)(const char* folder, const char* name);

// Calls callback for every entry that matches folder\pattern, in the order
// the system delivers them. When progressText is not null, the start-up
// splash dialog shows "<progressText> <name>" for each entry. Stops after
// the current entry when WorkerCancelState is set. Listing errors go to the
// message window; a folder that does not exist or matches nothing is
// silently empty.
void ScanFolder(const char* folder, const char* pattern, ScanFileCallback callback,
                const char* progressText);

// The steps shared by the folder scans: "<progressText> <name>" on the
// splash dialog (nothing for a null progressText); the next entry of a
// listing (false at the end, other failures reported); closing a listing
// (failure reported); a name ending in extension, ignoring case.
void ShowScanProgress(const char* progressText, const char* name);
bool NextFolderEntry(HANDLE find, WIN32_FIND_DATAA* data);
void CloseFolderListing(HANDLE find);
bool EndsWithNoCase(const char* name, const char* extension);

// Splits a path into a newly allocated, null-terminated array of newly
// allocated texts: the drive (empty when there is none), each folder name of
// the directory part, then the file name with its extension (empty when the
// path ends in a separator). Both "\" and "/" separate. So "C:\a\b\f.sfm"
// gives C:, a, b, f.sfm and "C:\a\b" gives C:, a, b. Free it with
// FreeSplitPath.
char** SplitPath(const char* path);
void FreeSplitPath(char** parts);

// Size of the text MakeRelativePath answers.
const int RELATIVE_PATH_SIZE = 512;

// target expressed relative to the folder base (given without a trailing
// backslash): "..\" for every component of base below the part both share,
// then the rest of target ("C:\a\b", "C:\a\c\f.sfm" gives "..\c\f.sfm").
// Without a shared drive the result is target itself. The answer is a newly
// allocated text of RELATIVE_PATH_SIZE bytes that the caller frees with
// free(). A relative text that would not fit falls back to target, and a
// target that does not fit either is cut to 511 characters.
char* MakeRelativePath(const char* base, const char* target);

// A scratch stream of this process alone, opened for writing and reading
// in binary mode: a file of a unique name in the user's temporary folder
// that the system deletes when the stream is closed. The C runtime's
// tmpfile() makes its file in the root of the drive, where ordinary users
// may not write. Null when no file could be made.
FILE* OpenScratchFile();
