// spxcalc render for quaternion entries: the worker count, the shaded image
// the window shows (PNG and BGR dump), the depth plane as text and the
// marching statistics, around one calculation through the task's thread.
#pragma once

class Fractal;

struct QuaternionRenderRequest {
    int workers = 0;                 // 1..32 replaces processors + 1; 0 keeps it
    int stopAfter = -1;              // FTC_STOP after that many ms; -1 never
    const char* png = nullptr;       // the shaded image with the entry embedded
    const char* dumpBgr = nullptr;   // shaded rows bottom-up, blue, green, red, unpadded
    const char* dumpDepth = nullptr; // a line per image row, top first: the ray fraction ("%.10g"), -1 for a miss
    bool stats = false;              // "rays=N guessed=N ms=N"
};

// Calculates the fractal (read by the render command), writes what the
// request asks for, prints "result=N" last and deletes the fractal's task.
// Exit code: 0 for the results 0 and 3, 1 for a failed calculation (its
// messages on stderr), 2 when an output cannot be written.
int RenderQuaternion(Fractal* fractal, const QuaternionRenderRequest& request);

// The depth dump of a calculated fractal into path; false when it cannot be written.
bool WriteQuaternionDepth(const Fractal* fractal, const char* path);
