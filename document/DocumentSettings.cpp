// Storage of the settings the document model reads.
#include "document/DocumentSettings.h"
#include <string.h>
#include "foundation/Buffers.h"
#include "foundation/bignum/Apm.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"

char g_AuthorName[256] = "";
GrowBuffer* g_DefaultComment = nullptr;
int g_DisplayDepthSetting = 8;
int ScreenDepth = 24;
int g_TaskPriority = 2;
FractalFolder* CurrentFolder = nullptr;
int g_UndoSteps = 50;
unsigned char g_AnimatedZoom = 1;
double g_ZoomSpeed = 50;

const char* const kBuiltinCommentTemplate =
    "Saved on $month$, $day$ $year$ at $hour$:$min$:$sec$\nDate: $date$\nTime: $time$\n"
    "Resolution: $xdots$ x $ydots$\nCalculation time: $calctime$\nVersion: $version$\n";

void SetDefaultComment(const char* text)
{
    if (!text)
        text = kBuiltinCommentTemplate;
    int length = (int)strlen(text) + 1;
    if (!g_DefaultComment)
        g_DefaultComment = new GrowBuffer(length);
    g_DefaultComment->Reset(length);
    memcpy(g_DefaultComment->GetData(), text, length);
}

void PrepareDocumentEngine()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    m_apm_cpp_precision(60);
    buildParseStateIndex();
    buildBuiltinIndex();
    InitProcessorFeatures();
    fixupTemplates();
    SetDefaultComment(nullptr);
}
