// The settings and start-up measurements the document model reads: the
// author name, the default comment template, the image depth of new
// fractals, the screen's depth, the calculation threads' priority and the
// current folder. The application fills them at start-up; the defaults are
// those of a fresh installation.
#pragma once

class GrowBuffer;
class FractalFolder;

extern char g_AuthorName[256];            // settings key "Username"
extern GrowBuffer* g_DefaultComment;      // settings key "DefaultComment"; null = none
extern int g_DisplayDepthSetting;         // "DisplayDepth": 8 unless changed
extern int ScreenDepth;                   // 8 or 24, measured at start-up
extern int g_TaskPriority;                // "Taskpriority", level 0..4
extern FractalFolder* CurrentFolder;      // the folder whose current fractal is the system's

// ----- Zoom, move and undo (Zoom.cpp, Undo.cpp)
extern int g_UndoSteps;                   // "Undosteps": steps kept per fractal, 0 = no recording; default 50
extern unsigned char g_AnimatedZoom;      // "AnimatedZoom": a click zoom is animated; default 1
extern double g_ZoomSpeed;                // "ZoomSpeed": length of the zoom animation in ms; default 50

// The built-in comment template.
extern const char* const kBuiltinCommentTemplate;
// Makes g_DefaultComment hold text (the built-in template for null).
void SetDefaultComment(const char* text);

// Major and minor version shown by the comment word "version".
enum { PROGRAM_VERSION_MAJOR = 4, PROGRAM_VERSION_MINOR = 0 };

// What a program making fractals needs first, once (tools and tests; the
// application's start-up does the same steps): 60 digits for the view
// numbers, the compiler's grammar and builtin indexes, the processor's
// features in the code templates and the built-in comment template.
// Further calls do nothing.
void PrepareDocumentEngine();
