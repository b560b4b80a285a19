// After a fractal's palette changed: settle the display colour tables,
// hand the new colours to every window that shows them, and decide for the
// changed fractal whether it must be recalculated (its colouring formulas
// depend on the colours), recoloured or merely repainted. The palette
// animation of 8-bit displays is the display's (g_PaletteDisplay).
#include "document/Fractal.h"
#include <string.h>
#include "calc/DisplayPalette.h"
#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/FractalFolder.h"
#include "view3d/Parameters3D.h"

namespace {

bool FirstEntriesDiffer(const RGBQUAD* a, const RGBQUAD* b)
{
    return memcmp(a, b, 252 * sizeof(RGBQUAD)) != 0;
}

bool ShowsView3D(const Fractal* f)
{
    const FractalTask* t = f->task;
    return f->header->Dims == 1 && t->calculationState >= CS_IMAGE_DONE &&
           (t->image3D || (t->renderer && t->renderer->data));
}

bool UsesColoursInFormulas(const Fractal* f)
{
    int type = f->header->Type;
    bool formulaType = type == FT_ESCAPETIME || type == FT_QUATERNION || type == FT_ATTRACTOR;
    return formulaType && (f->task->outsideColouringMark || f->task->insideColouringMark);
}

void SetRendererFlag(Fractal* f, int index)
{
    if (f->task->renderer)
        f->task->renderer->rebuild[index] = 1;
}

// The changed fractal's reaction to new colours.
void ReactToNewColours(Fractal* f)
{
    int b = f->header->DisplayDepth, s = ScreenDepth;
    bool depth8on24 = b == 8 && s == 24;
    if (!depth8on24 && !(b == 24 && (s == 8 || s == 24)))
        return;
    int type = f->header->Type;
    bool view3D = ShowsView3D(f);
    if (!depth8on24 && (type == FT_QUATERNION || type == FT_ATTRACTOR))
        view3D = false;
    if (view3D) {
        const Parameters3D* p = f->params3D;
        if (p && (p->Drawmode != 0 || p->Mode3D != 0) && type != FT_QUATERNION) {
            if (p->Mode3D == 1 && f->task->renderer) {
                f->task->renderer->rebuild[0] = 1;
                f->task->renderer->rebuild[2] = 1;
                if (_stricmp(f->task->renderer->loadedTexture, "<Fractal Image>") == 0)
                    f->task->renderer->loadedTexture[0] = 0;
            }
            if (UsesColoursInFormulas(f))
                f->Recalculate();
            else
                f->Redraw3D();
        } else if (UsesColoursInFormulas(f)) {
            f->Recalculate();
        } else {
            f->Recolour();
        }
        return;
    }
    if (UsesColoursInFormulas(f)) {
        f->Recalculate();
        return;
    }
    if (type == FT_ATTRACTOR)
        SetRendererFlag(f, 1);
    if (depth8on24) {
        if (g_PaletteDisplay.drawWindow)
            g_PaletteDisplay.drawWindow(f, 1);
    } else {
        f->Recolour();
    }
}

}  // namespace

void Fractal::ApplyPalette()
{
    RGBQUAD* table = palette.colorTable;
    const RGBQUAD fixed[3] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {127, 127, 127, 0}};
    memcpy(table + 252, fixed, sizeof fixed);
    int changed = FirstEntriesDiffer(table, DisplayColorTable) ? 1 : 0;
    memcpy(DisplayColorTable, header->DisplayDepth == 8 ? table : FixedDisplayColors, sizeof DisplayColorTable);
    int depth = header->DisplayDepth;
    int compare = depth == 24 || (depth == 8 && ScreenDepth == 24) ? 1 : 0;
    DistributePalette(this, table, compare);
    if (g_PaletteDisplay.realise)
        g_PaletteDisplay.realise(this, table, changed);
}

void Fractal::DistributePalette(Fractal* changedFractal, const RGBQUAD* colours, int compare)
{
    // The changed fractal takes the colours whether or not a folder holds
    // it (the command-line tools calculate fractals of no folder).
    bool changed = false;
    FractalTask* own = changedFractal->task;
    if (own && changedFractal->suppressDrawing != 1) {
        changed = compare && FirstEntriesDiffer(own->dib.colors, colours);
        memcpy(own->dib.colors, colours, sizeof own->dib.colors);
    }
    bool changed8 = changedFractal->header->DisplayDepth == 8 && ScreenDepth == 8;
    for (ListNode* fn = FolderList.GetHead(); fn; fn = fn->next) {
        FractalFolder* folder = static_cast<FractalFolder*>(fn);
        for (ListNode* n = folder->fractals.GetHead(); n; n = n->next) {
            Fractal* f = static_cast<Fractal*>(n);
            if (f == changedFractal || !f->task || f->suppressDrawing == 1)
                continue;
            if (changed8 && f->header->DisplayDepth == 8)
                memcpy(f->task->dib.colors, colours, sizeof f->task->dib.colors);
        }
    }
    if (!changed || !own)
        return;
    own->passLimit = 2;
    ReactToNewColours(changedFractal);
}
