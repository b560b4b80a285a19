// The start-up loader thread and its four folder loaders. They only read
// files into the global lists; everything the user sees of them is the
// splash dialog's text and the message list.
#include "app/StartupLoader.h"

#include <stdio.h>
#include <string.h>

#include "app/Application.h"
#include "app/SplashDialog.h"
#include "files/ImageFilterFile.h"
#include "files/ParameterLoad.h"
#include "files/formulafiles/IfsFile.h"
#include "files/formulafiles/LSystemFile.h"
#include "files/renderjob/RenderJob.h"
#include "files/settings/Settings.h"
#include "formulas/FormulaLoader.h"
#include "foundation/FileUtil.h"
#include "foundation/LogFile.h"

namespace {

void Log(const char* text)
{
    if (g_App != NULL && g_App->log != NULL)
        g_App->log->Write(text);
}

void LoadLSystem(const char* directory, const char* fileName)
{
    LoadLSystemFile(directory, fileName);
}

void LoadIfs(const char* directory, const char* fileName)
{
    LoadIfsFile(directory, fileName);
}

void LoadImageFilter(const char* directory, const char* fileName)
{
    LoadImageFilterFile(directory, fileName);
}

void Scan(const char* folder, const char* pattern, StartupFileLoader loader, const char* progress)
{
    if (loader != NULL && WorkerCancelState == 0)
        ScanFolder(folder, pattern, loader, progress);
}

void FormulaFilesOf(const char* folder)
{
    Scan(folder, "*.ifs", g_StartupLoaders.ifs, "Loading IFS formula");
    Scan(folder, "*.l", g_StartupLoaders.lsystem, "Loading LSystem formula");
}

void CompilerFolder(const char* folder)
{
    ScanFormulaFolder(folder, folder);
}

void PalettesOf(const char* folder)
{
    char text[1100];
    snprintf(text, sizeof(text), "Loading palettes from directory %s", folder);
    g_SplashDialog.SetText(text);
    Scan(folder, "*.map", g_StartupLoaders.palette, NULL);
    Scan(folder, "*.ugr", g_StartupLoaders.gradient, NULL);
}

void ParametersOf(const char* folder)
{
    Scan(folder, "*.par", g_StartupLoaders.parameters, "Loading parameter file");
    Scan(folder, "*.upr", g_StartupLoaders.parameters, "Loading parameter file");
}

void ImageFiltersOf(const char* folder)
{
    Scan(folder, "*.flt", g_StartupLoaders.imageFilter, "Loading Image Filters");
}

}  // namespace

StartupLoaders g_StartupLoaders = {
    &LoadRenderJobFile, &LoadIfs, &LoadLSystem, NULL, NULL, &LoadParameterFile, &LoadImageFilter,
};

void ForEachFolder(const char* list, void (*visit)(const char* folder))
{
    if (list == NULL)
        return;
    const char* part = list;
    while (*part != '\0' && WorkerCancelState == 0) {
        const char* end = strchr(part, ';');
        size_t length = end != NULL ? (size_t)(end - part) : strlen(part);
        char folder[1000];
        size_t kept = length < sizeof(folder) - 1 ? length : sizeof(folder) - 1;
        memcpy(folder, part, kept);
        folder[kept] = '\0';
        if (kept > 0)
            visit(folder);
        if (end == NULL)
            break;
        part = end + 1;
    }
}

void DropOwnFormulaFolder(char* list, const char* dataFolder)
{
    char own[1100];
    snprintf(own, sizeof(own), "%s\\Formulas", dataFolder);
    char* out = list;
    const char* part = list;
    bool first = true;
    while (*part != '\0') {
        const char* end = strchr(part, ';');
        size_t length = end != NULL ? (size_t)(end - part) : strlen(part);
        bool drop = length == strlen(own) && _strnicmp(part, own, length) == 0;
        if (!drop && length > 0) {
            if (!first)
                *out++ = ';';
            memmove(out, part, length);
            out += length;
            first = false;
        }
        if (end == NULL)
            break;
        part = end + 1;
    }
    *out = '\0';
}

void LoadRenderJobsAndFormulas()
{
    if (g_App != NULL)
        Scan(g_App->renderJobFolder, "*.dat", g_StartupLoaders.renderJob, "Loading Render Jobs");
    ForEachFolder(FormulaPath, &FormulaFilesOf);
    FractintFileCount = 0;
    UltraFractalFileCount = 0;
    if (CompilerFormulaPath != NULL && g_App != NULL)
        DropOwnFormulaFolder(CompilerFormulaPath, g_App->dataFolder);
    ForEachFolder(CompilerFormulaPath, &CompilerFolder);
}

void LoadPaletteFolders()
{
    ForEachFolder(PalettePath, &PalettesOf);
}

void LoadParameterFolders()
{
    ForEachFolder(ProjectPath, &ParametersOf);
}

void LoadImageFilterFolders()
{
    ForEachFolder(FormulaPath, &ImageFiltersOf);
}

unsigned long StartupLoaderThread(Thread* thread)
{
    Log("Subthread: Loading files...");
    struct Step {
        const char* log;
        const char* text;
        void (*load)();
    };
    static const Step kSteps[] = {
        {"Subthread: Reading formula files:", "Reading formula files", &LoadRenderJobsAndFormulas},
        {"Subthread: Reading palette maps", "Reading palette maps", &LoadPaletteFolders},
        {"Subthread: Reading parameter files", "Reading parameter files", &LoadParameterFolders},
        {"Subthread: Reading image filters", "Reading image filters", &LoadImageFilterFolders},
    };
    for (const Step& step : kSteps) {
        if (WorkerCancelState != 0)
            break;
        Log(step.log);
        g_SplashDialog.SetText(step.text);
        step.load();
    }
    Log("Subthread: Files loaded...");
    // When stopped, the main thread has left the dialog already and clears
    // the stop state itself once this thread has ended.
    if (WorkerCancelState == 0)
        g_SplashDialog.Finish();
    Log("Subthread: End!");
    return 0;
}
