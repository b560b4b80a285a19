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

// The built-in comment template.
extern const char* const kBuiltinCommentTemplate;
// Makes g_DefaultComment hold text (the built-in template for null).
void SetDefaultComment(const char* text);

// Major and minor version shown by the comment word "version".
enum { PROGRAM_VERSION_MAJOR = 4, PROGRAM_VERSION_MINOR = 0 };
