// The File menu's load commands: "Load parameter files" (several files read
// on a worker behind the progress dialog, each becoming a folder of the
// library) and the general "Load...", which picks the loader by the first
// chosen file's extension and hands it every chosen file.
#pragma once

#include <string>
#include <vector>

class Thread;

// 0 run; 1 abort requested (main thread), answered with 0 by the worker;
// 2 set by the general command before it starts a worker: the worker takes
// the general requester's files. (WorkerCancelState, foundation/FileUtil.h.)
enum { LOAD_RUN = 0, LOAD_ABORT = 1, LOAD_FROM_GENERAL_REQUESTER = 2 };

// The worker currently loading (null while none).
extern Thread* g_LoadWorker;

// Loaders the general command reaches that belong to other commands; each
// skipped while null. The palette worker loads the general requester's
// files when it finds WorkerCancelState 2; the image loader loads one image
// with its embedded entries under the given fractal name.
struct GeneralLoadHooks {
    unsigned long (*loadPalettesThread)(Thread* thread);
    int (*loadFractalImage)(const char* path, const char* name);
};
extern GeneralLoadHooks g_GeneralLoadHooks;

// The menu command: asks for parameter files, loads them, and selects the
// first fractal of the current folder when it has none selected.
void LoadParameterFiles();
// Its worker: loads the chosen files one by one (stopping at an abort) and
// hands each folder to the main thread; closes the progress dialog when all
// were loaded. Returns 0.
unsigned long LoadParameterFilesThread(Thread* thread);

// "Load...": non-zero when the requester was confirmed.
int LoadFileByExtension();

// The requesters' titles, filters and mode (several files); done once.
void PrepareLoadRequesters();
