// Timer 1000 (every 100 ms) refreshes the status bar's progress, elapsed
// and remaining time and image size every fifth tick, counts the hint down
// and applies a pending fractal-window resize; timer 1001 moves the palette
// offset of the current fractal while colour cycling runs.
#include "app/StatusTimer.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

#include "calc/FractalTask.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/Layers.h"
#include "document/Selection.h"
#include "files/settings/Settings.h"
#include "foundation/Resample.h"
#include "foundation/StatusHint.h"
#include "ui/FrameWindow.h"
#include "ui/StatusBar.h"
#include "ui/WindowProcs.h"
#include "view3d/Parameters3D.h"

ColourCycling g_ColourCycling = {0, 1, 10.0, 0};
Fractal* PendingResizeFractal = nullptr;

namespace {

int g_Ticks = 0;
double g_ShownProgress = -1.0;

void FormatDuration(char* out, size_t size, const char* label, int ms)
{
    snprintf(out, size, "%s: %d:%02d:%02d.%03d", label, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
             ms % 1000);
}

Fractal* CurrentFractal()
{
    return CurrentFolder != nullptr ? CurrentFolder->currentFractal : nullptr;
}

void ShowProgress()
{
    Fractal* f = CurrentFractal();
    if (f == nullptr || MainStatusBar == nullptr)
        return;
    // A layer's window with the focus shows its own progress, else the
    // layered fractal's.
    const bool focused = f->task != nullptr && f->task->window != nullptr && GetFocus() == f->task->window->hwnd;
    if (!focused && f->baseFractal != nullptr)
        f = f->baseFractal;
    const double progress = f->GetProgress();
    if (progress != g_ShownProgress) {
        g_ShownProgress = progress;
        ProgressTexts texts;
        FormatProgressTexts(progress, f->GetCalculationTime(), &texts);
        MainStatusBar->SetPercentText(texts.percent);
        MainStatusBar->SetElapsedText(texts.elapsed);
        MainStatusBar->SetRemainingText(texts.remaining);
    }
    int width = 0, height = 0;
    f->GetViewSize(width, height);
    if (width != MainStatusBar->lastWidth || height != MainStatusBar->lastHeight) {
        MainStatusBar->lastWidth = width;
        MainStatusBar->lastHeight = height;
        char size[32];
        snprintf(size, sizeof size, "%dx%d", width, height);
        MainStatusBar->SetSizeText(size);
    }
}

// A window whose deferred show state has come is laid out at its size.
void ApplyPendingShow()
{
    if (PendingShowWindow == nullptr || PendingShowWindow->hwnd == NULL)
        return;
    PFrameWindow* window = PendingShowWindow;
    const int state = PendingShowState;
    const int reached = IsZoomed(window->hwnd) ? 3 : IsIconic(window->hwnd) ? 2 : 1;
    if (reached != state)
        return;
    PendingShowWindow = nullptr;
    if (state == 1) {
        InvalidateRect(window->hwnd, NULL, FALSE);
    } else {
        RECT client;
        GetClientRect(window->hwnd, &client);
        SendMessageA(window->hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    }
}

bool CalculationFinished(const Fractal* f)
{
    return f->task == nullptr || f->task->calculationState != CS_NONE;
}

// Every layer of a layered fractal cycles together once all have an image.
void StepColourCycling()
{
    Fractal* f = CurrentFractal();
    if (!g_ColourCycling.running || f == nullptr)
        return;
    const DWORD now = GetTickCount();
    const DWORD elapsed = now - g_ColourCycling.lastTick;
    g_ColourCycling.lastTick = now;
    Fractal* base = f->baseFractal;
    if (base != nullptr) {
        bool ready = CalculationFinished(base);
        ForEachLayerFractal(base, [&](Fractal* layer) { ready = ready && CalculationFinished(layer); });
        if (!ready)
            return;
        const double step = ColourCyclingStep(elapsed, g_ColourCycling.speed, g_ColourCycling.up, 1001);
        ForEachLayerFractal(base, [&](Fractal* layer) {
            layer->palette.offset = WrapPaletteOffset(layer->palette.offset, step);
            layer->ApplyPalette();
        });
        base->Recolour();
        return;
    }
    if (!CalculationFinished(f))
        return;
    const double step = ColourCyclingStep(elapsed, g_ColourCycling.speed, g_ColourCycling.up, 1000);
    f->palette.offset = WrapPaletteOffset(f->palette.offset, step);
    f->ApplyPalette();
    f->Recolour();
}

}  // namespace

void FormatProgressTexts(double progress, int elapsedMs, ProgressTexts* texts)
{
    snprintf(texts->percent, sizeof texts->percent, "%d%% done", (int)(progress * 100));
    FormatDuration(texts->elapsed, sizeof texts->elapsed, "Elapsed", elapsedMs);
    if (progress > 0.02)
        FormatDuration(texts->remaining, sizeof texts->remaining, "Remaining",
                       (int)(elapsedMs / progress - elapsedMs));
    else
        snprintf(texts->remaining, sizeof texts->remaining, "Remaining: unknown");
}

double ColourCyclingStep(DWORD elapsedMs, double speed, int up, DWORD limitMs)
{
    const double step = elapsedMs < limitMs ? elapsedMs * speed / 1000.0 : 0.0;
    return up ? step : -step;
}

double WrapPaletteOffset(double offset, double step)
{
    // Stored, so that the x87 unit's wider intermediate is rounded before
    // the test: a tiny negative value plus 252 rounds to 252 itself.
    volatile double wrapped = fmod(offset + step, 252.0);
    if (wrapped < 0)
        wrapped = wrapped + 252.0;
    return wrapped >= 252.0 ? 0.0 : (double)wrapped;
}

void NoteFractalWindowResize(PFrameWindow* window)
{
    Fractal* f = FindFractalByWindow(window);
    if (f != nullptr && !f->header->Scrollbar)
        PendingResizeFractal = f;
}

void ImageSizeForClient(int clientWidth, int clientHeight, int* width, int* height)
{
    *width = clientWidth & ~3;
    *height = clientHeight < 10 ? 10 : clientHeight;
}

void FinishFractalWindowResize()
{
    Fractal* f = PendingResizeFractal;
    if (f == nullptr || GetKeyState(VK_LBUTTON) < 0)
        return;
    PendingResizeFractal = nullptr;
    if (!IsLiveFractal(f) || f->task == nullptr || f->task->window == nullptr)
        return;
    FractalTask* t = f->task;
    int clientWidth = 0, clientHeight = 0;
    t->window->GetSize(&clientWidth, &clientHeight, true);
    int width, height;
    ImageSizeForClient(clientWidth, clientHeight, &width, &height);
    if (width == f->header->Width && height == f->header->Height) {
        // Painting waited for the resize: the window shows the image again.
        InvalidateRect(t->window->hwnd, NULL, FALSE);
        return;
    }
    const bool shown3D = f->header->Dims && t->calculationState >= CS_IMAGE_DONE;
    if (shown3D && f->params3D != nullptr && f->params3D->Mode3D == 1) {
        f->Resize(width < 32 ? 32 : width, height, 1, 1);
        return;
    }
    // The old picture, stretched, stays until the new one is calculated.
    const bool rgb = f->header->DisplayDepth == 24 || shown3D;
    unsigned char* image = shown3D ? t->image3D : t->imageBits;
    const int oldWidth = f->header->Width, oldHeight = f->header->Height, oldStride = f->GetImageStride();
    std::vector<unsigned char> copy;
    if (image != nullptr)
        copy.assign(image, image + (size_t)oldStride * oldHeight * (rgb ? 3 : 1));
    const int state = t->calculationState;
    f->Resize(width, height, 1, RedrawOnResize ? 0 : 1);
    if (f->task != t)
        return;
    t->calculationState = state;
    image = shown3D ? t->image3D : t->imageBits;
    if (image != nullptr && !copy.empty())
        ResampleNearest(copy.data(), image, oldWidth, oldHeight, oldStride, f->header->Width,
                        f->header->Height, f->GetImageStride(), rgb);
    if (t->window != nullptr)
        InvalidateRect(t->window->hwnd, NULL, FALSE);
}

void UpdateStatusOnTimer(int timerId)
{
    if (timerId == TIMER_COLOUR_CYCLING) {
        StepColourCycling();
        return;
    }
    if (timerId != TIMER_STATUS)
        return;
    // The hint set by SetStatusHint disappears once its ticks have run out.
    if (StatusHintCountdown >= 0) {
        StatusHintCountdown--;
        if (StatusHintCountdown < 0 && MainStatusBar != NULL)
            MainStatusBar->SetHint("");
    }
    ApplyPendingShow();
    FinishFractalWindowResize();
    if (++g_Ticks % 5 == 0)
        ShowProgress();
}
