// Window-close confirmation and the shutdown sequence. The sequence saves
// the settings, records the tool windows' placements, frees every global
// list in a fixed order (each step logged, so a crash report shows how far
// it got) and marks the run as ended cleanly in the registry.
#include "app/Shutdown.h"

#include <string.h>

#include "app/Application.h"
#include "app/MainInit.h"
#include "calc/colour/Palette.h"
#include "document/DocumentSettings.h"
#include "calc/task/TaskLifecycle.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/ParameterTables.h"
#include "document/Selection.h"
#include "files/settings/Settings.h"
#include "foundation/Buffers.h"
#include "foundation/Guard.h"
#include "foundation/List.h"
#include "foundation/LogFile.h"
#include "foundation/MessageBox.h"
#include "foundation/Messages.h"
#include "foundation/Thread.h"
#include "toolwindows/ToolWindows.h"
#include "ui/FrameWindow.h"
#include "ui/WindowPlacement.h"

AnimationShutdown g_AnimationShutdown = {NULL, NULL};

namespace {

void Log(const char* text)
{
    if (g_App != NULL && g_App->log != NULL)
        g_App->log->Write(text);
}

void LogJoined(const char* text, const char* more)
{
    if (g_App != NULL && g_App->log != NULL)
        g_App->log->WriteJoined(text, more);
}

const char kUnsavedText[] =
    "There are unsaved changes. If you exit now, all unsaved changes will be lost!\n"
    "Are you sure you want to exit Spiralix?";
const char kAbortAnimationText[] =
    "This window belongs to the currently running animation.\n"
    "Are you sure you want to close it and thus to abort the animation?";

void CloseMainFrame()
{
    if (HasUnsavedChanges() && FractalTypeFlags[CNF_End]) {
        PMessageBox box(MB_STYLE_YESNO);
        if (box.Show("Unsaved changes", kUnsavedText) != IDYES)
            return;
    }
    g_App->Quit();
}

void CloseFractalWindow(PFrameWindow* window)
{
    Fractal* fractal = FindFractalByWindow(window);
    if (fractal == NULL)
        return;
    Fractal* running =
        g_AnimationShutdown.runningFractal != NULL ? g_AnimationShutdown.runningFractal() : NULL;
    if (fractal != running) {
        DeleteFractalTask(fractal, 1, 1, 0);
        SelectFractal(fractal, false);
        return;
    }
    PMessageBox box(MB_STYLE_YESNOCANCEL);
    if (box.Show("Aborting animation", kAbortAnimationText) == IDYES &&
        g_AnimationShutdown.abort != NULL)
        g_AnimationShutdown.abort();
}

// Closes a tool window that should reopen at the next start.
void CloseKeepingOpened(int id)
{
    if (!IsToolWindowOpen(id))
        return;
    CloseToolWindow(id, true);
    WindowDescriptor* descriptor = DescriptorOfToolWindow(id);
    if (descriptor != NULL)
        descriptor->SetOpened(true);
}

// Unlinks and deletes every node of a list, logging each by name.
void DeleteEach(NodeList& list, const char* logText)
{
    while (list.GetHead() != NULL) {
        ListNode* node = list.GetHead();
        LogJoined(logText, node->name);
        list.Remove(node);
        delete node;
    }
}

}  // namespace

bool HasUnsavedChanges()
{
    for (ListNode* node = FolderList.GetHead(); node != NULL; node = node->next) {
        FractalFolder* folder = static_cast<FractalFolder*>(node);
        // The render-job folder keeps itself; its changes need no question.
        if (memcmp(folder->name, "RenderJobs.par", 15) == 0)
            continue;
        if (folder->int2 != 0 && folder->fractals.GetHead() != NULL)
            return true;
    }
    return false;
}

int ConfirmWindowClose(PFrameWindow* window)
{
    if (window == NULL)
        return 0;
    switch (window->windowId) {
    case WID_MAIN:
        CloseMainFrame();
        break;
    case WID_FRACTAL:
        CloseFractalWindow(window);
        break;
    default:
        CloseToolWindow(window->windowId, true);
        break;
    }
    return 0;
}

void TerminateProgram()
{
    SelectFractal(NULL, true);
    Log("Saving Configuration");
    if (AutoSave)
        SaveSettings("Spiralix.cfg");
    Log("Closing Compiler window");
    CloseKeepingOpened(WID_COMPILER);
    Log("Setting focus to main window");
    if (g_App->mainFrame != NULL)
        SetFocus(g_App->mainFrame->hwnd);
    Log("Aborting animation system");
    if (g_AnimationShutdown.abort != NULL)
        g_AnimationShutdown.abort();
    Log("Closing fractal tree window");
    CloseKeepingOpened(WID_FRACTALTREE);
    Log("Closing all other windows...");
    RecordToolWindowPlacements();
    Log("All other windows have been closed...");

    g_RenderJobsLock.Lock();
    // Render jobs are not part of the program yet: the list stays empty.
    g_RenderJobsLock.Unlock();
    Log("All RenderJobs have been deleted...");

    while (FolderList.GetHead() != NULL) {
        FractalFolder* folder = static_cast<FractalFolder*>(FolderList.GetHead());
        LogJoined("Deleting project:", folder->name);
        DeleteFolder(folder, false, false);
    }

    Log("Deleting imagefilters now...");
    DeleteEach(g_ImageFilters, "Deleting imagefilter:");
    while (g_Palettes.GetHead() != NULL) {
        Palette* palette = static_cast<Palette*>(g_Palettes.GetHead());
        LogJoined("Deleting palette:", palette->name);
        if (!DeletePalette(palette, false)) {
            g_Palettes.Remove(palette);
            delete palette;
        }
    }
    DeleteEach(g_IfsFormulas, "Deleting IFS formula:");
    DeleteEach(g_LSystemFormulas, "Deleting LSystem formula:");
    DeleteEach(g_Messages, "Deleting Messages:");

    Log("Freeing default comment template");
    delete g_DefaultComment;
    g_DefaultComment = NULL;

    Log("Freeing main HDC:");
    g_App->DeleteMemoryDC();

    for (int i = 0; i < QUATERNION_PANEL_COUNT; ++i)
        g_App->SetRegistryDword("Windows\\Quaternion\\Panels", kQuaternionPanelNames[i],
                                QuaternionPanelStates[i]);
    g_App->SetRegistryString("Properties", "RunState", "Successfully terminated");
    g_App->FreeKnownFormulas();
    Log("Termination finished, returning to Windows:");
}

void TerminateProgramGuarded()
{
    Guarded([] { TerminateProgram(); });
}
