// The start-up loader: the worker that reads render jobs, IFS and L-system
// formulas, the compiler formula folders, palettes, parameter files and
// image filters while the main thread waits in the splash dialog. Its stop
// state is the folder scans' WorkerCancelState (foundation/FileUtil.h): the
// main thread sets it when the user closes the splash dialog.
#pragma once

class Thread;

// A loader of one file kind: directory and file name, as ScanFolder hands
// them. Kinds whose reader is not part of the program yet stay null and are
// not scanned.
typedef void (*StartupFileLoader)(const char* directory, const char* fileName);
struct StartupLoaders {
    StartupFileLoader renderJob;    // "*.dat"
    StartupFileLoader ifs;          // "*.ifs"
    StartupFileLoader lsystem;      // "*.l"
    StartupFileLoader palette;      // "*.map"
    StartupFileLoader gradient;     // "*.ugr"
    StartupFileLoader parameters;   // "*.par" and "*.upr"
    StartupFileLoader imageFilter;  // "*.flt"
};
extern StartupLoaders g_StartupLoaders;

// The thread routine: the four loaders in order, each only while not
// stopped; then ends the splash dialog, or, when stopped, leaves the stop
// state for the main thread to clear. Returns 0.
unsigned long StartupLoaderThread(Thread* thread);

// The four loaders. Each walks its ';'-separated folder list and stops
// after the folder in which the stop state was set.
void LoadRenderJobsAndFormulas();
void LoadPaletteFolders();
void LoadParameterFolders();
void LoadImageFilterFolders();

// Calls visit for each part of a ';'-separated list (each cut to 999
// characters; empty parts skipped) until the stop state is set.
void ForEachFolder(const char* list, void (*visit)(const char* folder));

// Removes every element of the compiler formula search path equal (without
// case) to the data folder's own "<dataFolder>\Formulas", and a trailing
// ';'. The list is rewritten in place.
void DropOwnFormulaFolder(char* list, const char* dataFolder);
