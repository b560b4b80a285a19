// What closing a window means (the exit question of the main frame, the
// animation question of a fractal window, the popups and tool windows) and
// the orderly, logged shutdown after the message loop has ended.
#pragma once

class PFrameWindow;
class Fractal;

// True when a folder other than "RenderJobs.par" is marked modified and
// holds at least one fractal.
bool HasUnsavedChanges();

// The WM_CLOSE answer of every frame, child and tool window (by its id).
// Returns 0.
int ConfirmWindowClose(PFrameWindow* window);

// The 15 logged shutdown steps; the last two record "Successfully
// terminated" as RunState and log "Termination finished, returning to
// Windows:".
void TerminateProgram();
// TerminateProgram under a guard that ends the sequence silently.
void TerminateProgramGuarded();

// The running animation, as far as closing its window goes. Both stay
// null until the animation runner binds them: then no fractal belongs to a
// running animation.
struct AnimationShutdown {
    Fractal* (*runningFractal)();  // the fractal whose window shows the animation
    void (*abort)();               // AbortAnimation
};
extern AnimationShutdown g_AnimationShutdown;
