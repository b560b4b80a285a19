// The messages worker threads post to the main frame. A fractal carried in
// wParam may have been deleted meanwhile, or taken out of its folder: each
// message acts only on a fractal that is still alive (and listed or current
// where it needs to be).
#include "ui/WindowProcs.h"

#include "foundation/MainWindowMessages.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "files/ParameterLoad.h"
#include "ui/FrameWindow.h"
#include "ui/UiHandlers.h"

namespace {

// The layers of a layered fractal are merged again on every sixth message.
enum { LAYER_MERGE_EVERY = 6 };

bool IsListed(Fractal* fractal)
{
    return fractal->folder != NULL && fractal->folder->fractals.IndexOf(fractal) >= 0;
}

bool IsCurrent(Fractal* fractal)
{
    return g_UiHandlers.CurrentFractal != NULL && g_UiHandlers.CurrentFractal() == fractal;
}

bool IsToolWindowOpen(int windowId)
{
    return g_UiHandlers.IsToolWindowOpen != NULL && g_UiHandlers.IsToolWindowOpen(windowId);
}

int TypeOf(Fractal* fractal)
{
    if (g_UiHandlers.FractalType != NULL)
        return g_UiHandlers.FractalType(fractal);
    return fractal->header != NULL ? fractal->header->Type : -1;
}

void LayerLinesDone(Fractal* fractal)
{
    if (g_UiHandlers.TakeLayerNotification == NULL)
        return;
    int* mergeCounter = g_UiHandlers.TakeLayerNotification(fractal);
    if (mergeCounter == NULL || !IsListed(fractal))
        return;
    if (++*mergeCounter >= LAYER_MERGE_EVERY) {
        *mergeCounter = 0;
        UI_CALL(Recolour, fractal);
    }
}

void RenderJobDone(void* job)
{
    void* next = g_UiHandlers.StartNextRenderJob != NULL ? g_UiHandlers.StartNextRenderJob(job)
                                                         : NULL;
    // A job pointer is trusted only while the job is still listed: a stale
    // or repeated message must not delete it twice.
    if (job != NULL && g_UiHandlers.IsRenderJobListed != NULL &&
        g_UiHandlers.IsRenderJobListed(job) && g_UiHandlers.IsRenderJobFinished != NULL &&
        g_UiHandlers.IsRenderJobFinished(job)) {
        UI_CALL(RemoveFinishedRenderJob, job, next);
        UI_CALL(RefreshRenderJobList);
    }
    UI_CALL(RepaintRenderJobList);
    if (next == NULL)
        UI_CALL(AfterLastRenderJob);
}

}  // namespace

bool HandleWorkerMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message < UM_NEW_MESSAGE || message > UM_PARAMETER_FILES_READ)
        return false;
    if (message == UM_NEW_MESSAGE) {
        if (!IsToolWindowOpen(WID_OUTPUT))
            UI_CALL(ToggleToolWindow, WID_OUTPUT);
        UI_CALL(RefreshMessageList, true);
        return true;
    }
    if (message == UM_ANIMATION_STEP) {
        UI_CALL(NextAnimationFrame);
        return true;
    }
    if (message == UM_RENDERJOB_DONE) {
        RenderJobDone((void*)wParam);
        return true;
    }
    if (message == UM_RENDERJOBS_CHANGED) {
        UI_CALL(RefreshRenderJobList);
        return true;
    }
    if (message == UM_PARAMETER_FILES_READ) {
        MakeQueuedParameterFolders();
        return true;
    }

    Fractal* fractal = reinterpret_cast<Fractal*>(wParam);
    if (!IsLiveFractal(fractal))
        return true;
    switch (message) {
    case UM_PARAMETERS_WRITTEN_BACK:
        if (IsCurrent(fractal))
            UI_CALL(RefreshWrittenBackParameters, fractal);
        break;
    case UM_LAYER_LINES_DONE:
        LayerLinesDone(fractal);
        break;
    case UM_PROGRESS:
        if (IsListed(fractal))
            UI_CALL(UpdateWindowTitle, fractal);
        break;
    case UM_CALCULATION_DONE:
        if (IsListed(fractal) && fractal->task != NULL && IsToolWindowOpen(WID_COMMENT))
            UI_CALL(ExpandCommentTemplate, fractal);
        break;
    case UM_ATTRACTOR_VIEW:
        if (TypeOf(fractal) == FT_ATTRACTOR && IsCurrent(fractal))
            UI_CALL(RefreshAttractorView, fractal);
        break;
    case UM_NEW_RANDOM_PARAMETERS:
        if (TypeOf(fractal) == FT_ATTRACTOR && (lParam & 1) == 0)
            UI_CALL(NewRandomParameters, fractal);
        break;
    case UM_QUATERNION_AUTO_VALUES:
        if (TypeOf(fractal) == FT_QUATERNION && IsCurrent(fractal))
            UI_CALL(ShowQuaternionAutoValues, fractal);
        break;
    case UM_QUATERNION_FOG_RANGE:
        if (TypeOf(fractal) == FT_QUATERNION && IsCurrent(fractal))
            UI_CALL(ShowQuaternionFogRange, fractal);
        break;
    }
    return true;
}
