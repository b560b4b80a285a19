// The loaded palettes of g_Palettes: lookup by exact name (falling back to
// the default palette, so colouring always has one) and deletion, which
// asks first when the user wants palette deletions confirmed.
#include "calc/colour/Palette.h"

#include "document/ParameterTables.h"
#include "foundation/MessageBox.h"

Palette* FindPalette(const char* paletteName)
{
    ListNode* p = paletteName ? g_Palettes.Find(paletteName) : nullptr;
    return p ? static_cast<Palette*>(p) : DefaultPalette;
}

bool DeletePalette(Palette* p, bool confirm)
{
    // Only loaded palettes are deleted: a fractal's own or a start-up
    // palette is never in the list.
    if (!p || g_Palettes.IndexOf(p) < 0)
        return false;
    if (confirm && FractalTypeFlags[CNF_DelPal]) {
        PMessageBox question(MB_STYLE_YESNOCANCEL);
        int answer = question.Show("Delete operation",
                                   "You are about to delete a color palette.\n"
                                   "Are you sure you want to delete it?");
        if (answer != IDYES)
            return false;
    }
    g_Palettes.Remove(p);
    delete p;
    return true;
}
