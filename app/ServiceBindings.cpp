// The application's side of the service table of foundation/Services.h.
#include "app/ServiceBindings.h"

#include "app/Application.h"
#include "app/FailureReport.h"
#include "app/FractalImage.h"
#include "app/FractalWindowOps.h"
#include "app/MessageWindow.h"
#include "app/ScanProgressDialog.h"
#include "app/SplashDialog.h"
#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "calc/escapetime/EscapeTime.h"
#include "calc/escapetime/FilterRoad.h"
#include "calc/escapetime/RenderJobRoad.h"
#include "calc/task/TaskBuffers.h"
#include "calc/task/TaskHooks.h"
#include "document/Fractal.h"
#include "document/FractalThreads.h"
#include "document/Layers.h"
#include "files/renderjob/RenderJob.h"
#include "foundation/Services.h"
#include "fractals/attractor/SearchAttractor.h"
#include "ui/FrameWindow.h"
#include "ui/StatusBar.h"

namespace {

bool PostToFrame(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!g_App || !g_App->mainFrame || !g_App->mainFrame->hwnd)
        return false;
    return PostMessageA(g_App->mainFrame->hwnd, message, wParam, lParam) != 0;
}

bool OnMainThread()
{
    return g_App && GetCurrentThreadId() == g_App->mainThreadId;
}

void SetHint(const char* text)
{
    if (MainStatusBar != NULL)
        MainStatusBar->SetHint(text);
}

void SetSplashText(const char* text)
{
    g_SplashDialog.SetText(text);
}

// The layer glue of the calculation: a layered fractal's layers get their
// tasks, and the layered fractals using a layer hear when it stops or has
// new buffers.
void OpenLayersOf(Fractal* fractal, int withWindow)
{
    OpenLayerWindows(fractal, withWindow != 0);
}

int CountReferences(Fractal* fractal, int withWindowOnly)
{
    return CountLayerReferences(fractal, withWindowOnly != 0);
}

// The attractor search shows its progress box over the fractal's window.
void ShowSearchText(Fractal* fractal, const char* text)
{
    FractalTask* task = fractal != NULL ? fractal->task : NULL;
    if (task != NULL && task->window != NULL && task->window->hwnd != NULL)
        DrawAttractorSearchBox(task->window->hwnd, fractal->header->Width, fractal->header->Height, text);
}

// Draws the whole image of the fractal into its window.
void PaintWindow(void* owner)
{
    Fractal* fractal = static_cast<Fractal*>(owner);
    FractalTask* task = fractal != NULL ? fractal->task : NULL;
    if (task == NULL || task->window == NULL || task->window->hwnd == NULL)
        return;
    HWND hwnd = task->window->hwnd;
    HDC dc = GetDC(hwnd);
    if (dc == NULL)
        return;
    if (DisplayPalette != NULL)
        SelectPalette(dc, DisplayPalette, FALSE);
    DrawFractalImage(fractal, dc, 0, 0, fractal->GetImageStride(), fractal->header->Height, 0);
    ReleaseDC(hwnd, dc);
}

int RunProgress(void* argument)
{
    return g_ScanProgressDialog.Run(argument);
}

void ProgressName(const char* text, int line)
{
    g_ScanProgressDialog.SetName(text, line);
}

void ProgressMessage(const char* text, int line)
{
    g_ScanProgressDialog.SetMessage(text, line);
}

void CloseProgress()
{
    g_ScanProgressDialog.Close();
}

bool ProgressOpen()
{
    return g_ScanProgressDialog.IsOpen();
}

HWND MainWindow()
{
    return g_App != NULL && g_App->mainFrame != NULL ? g_App->mainFrame->hwnd : NULL;
}

const char* DataFolder()
{
    return g_App != NULL ? g_App->dataFolder : "";
}

LogFile* AppLog()
{
    return g_App != NULL ? g_App->log : NULL;
}

int FindKnown(const char* name)
{
    return g_App != NULL ? g_App->FindKnownFormula(name) : -1;
}

void AddKnown(const char* name, const char* file, int count)
{
    if (g_App != NULL)
        g_App->AddKnownFormula(name, file, count);
}

const char* KnownFile(int index)
{
    return g_App != NULL ? g_App->KnownFormulaFile(index) : NULL;
}

int KnownCount(int index)
{
    return g_App != NULL ? g_App->KnownFormulaCount(index) : 0;
}

// A calculated non-escape-time render job goes into its raw files.
void StoreRenderJobResult(Fractal* fractal)
{
    if (fractal->renderJob)
        RenderJob::StoreResult(fractal, fractal->renderJob);
}

}  // namespace

void BindApplicationServices()
{
    ShellServices& s = Services();
    s.reportFailure = &ShowFailureReport;
    s.postToMainFrame = &PostToFrame;
    s.isMainThread = &OnMainThread;
    s.isFractalThread = &IsFractalThread;
    s.showMessageWindow = &ShowMessageWindow;
    s.refreshMessageList = &FillMessageListBox;
    s.raiseMessageWindow = &LiftMessageWindow;
    s.setStatusHint = &SetHint;
    s.setSplashText = &SetSplashText;
    s.paintFractalWindow = &PaintWindow;
    s.runScanProgress = &RunProgress;
    s.setScanProgressName = &ProgressName;
    s.setScanProgressMessage = &ProgressMessage;
    s.closeScanProgress = &CloseProgress;
    s.isScanProgressOpen = &ProgressOpen;
    s.mainWindow = &MainWindow;
    s.dataFolder = &DataFolder;
    s.log = &AppLog;
    s.findKnownFormula = &FindKnown;
    s.addKnownFormula = &AddKnown;
    s.knownFormulaFile = &KnownFile;
    s.knownFormulaCount = &KnownCount;
    g_TaskHooks.storeRenderJobResult = &StoreRenderJobResult;
    g_TaskHooks.openLayerWindows = &OpenLayersOf;
    g_TaskHooks.updateLayeredParents = &UpdateLayeredParents;
    g_TaskHooks.countLayerReferences = &CountReferences;
    g_TaskBufferHooks.updateLayeredParents = &UpdateLayeredParents;
    g_ShowAttractorSearchText = &ShowSearchText;
    g_ExceptionText = &PApplication::GetExceptionText;
    InstallRenderJobRoad();
    InstallImageFilterRoad();
}
