// Keyboard shortcuts of tool windows: the search of a control table for a
// mnemonic and the work of the matched control, which reaches the program
// through the same request entry points as a mouse click.
#include "app/Mnemonics.h"

#include <windows.h>
#include <commctrl.h>

#include "formulas/FormulaNode.h"
#include "toolwindows/RequestRouting.h"
#include "toolwindows/ToolWindows.h"
#include "ui/Control.h"
#include "ui/FrameWindow.h"
#include "ui/PanelBuilder.h"
#include "ui/WindowPlacement.h"

namespace {

// Row types the search knows.
enum {
    ROW_BUTTON = 1005,
    ROW_CHECKBOX = 1011,
    ROW_GROUP = 1012,
    ROW_BITMAP_BUTTON = 1013,
    ROW_RADIO = 1023,
    ROW_TAB = 1026,
    ROW_COLOUR_SELECTOR = 1030,
    ROW_IMAGE_BUTTON = 1041,
    ROW_PANEL = 1044,
};

PControl* ControlOf(const ControlDescriptor* row)
{
    return row->variable != NULL ? *row->variable : NULL;
}

bool IsChecked(PControl* control)
{
    return control != NULL && SendMessageA(control->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(PControl* control, bool checked)
{
    if (control != NULL)
        SendMessageA(control->hwnd, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// A radio button of the run of adjacent radio rows around row: the next one
// when row is already checked (wrapping round), else row itself; the others
// are unchecked. Reports the id of the checked one.
void PressRadio(const ControlDescriptor* table, const ControlDescriptor* row)
{
    const ControlDescriptor* first = row;
    while (first > table && first[-1].type == ROW_RADIO)
        first--;
    const ControlDescriptor* end = row;
    while (end->type == ROW_RADIO)
        end++;
    const ControlDescriptor* chosen = row;
    if (IsChecked(ControlOf(row)))
        chosen = row + 1 < end ? row + 1 : first;
    for (const ControlDescriptor* r = first; r < end; r++)
        SetChecked(ControlOf(r), r == chosen);
    UR_ButtonClicked(chosen->id);
}

void Activate(const ControlDescriptor* table, const ControlDescriptor* row, PControl* control, int position)
{
    control->SetFocus();
    switch (row->type) {
    case ROW_BUTTON:
    case ROW_BITMAP_BUTTON:
    case ROW_IMAGE_BUTTON:
        SetChecked(control, true);
        UR_ButtonClicked(row->id);
        break;
    case ROW_CHECKBOX:
        SetChecked(control, !IsChecked(control));
        UR_ButtonClicked(row->id);
        break;
    case ROW_COLOUR_SELECTOR:
        UR_ButtonClicked(row->id);
        break;
    case ROW_RADIO:
        PressRadio(table, row);
        break;
    case ROW_TAB: {
        // A tab control's mnemonic list holds two characters per tab.
        const int index = position / 2;
        SendMessageA(control->hwnd, TCM_SETCURSEL, (WPARAM)index, 0);
        HandleTabChanged(control, row->id, index);
        break;
    }
    default:
        // Number sliders and the rest: the focus is all.
        break;
    }
}

// The table of the page a tab control shows, null when it has none.
const ControlDescriptor* ShownPage(const ControlDescriptor* row)
{
    PControl* control = ControlOf(row);
    const ControlDescriptor* const* pages = static_cast<const ControlDescriptor* const*>(row->extra);
    if (control == NULL || pages == NULL)
        return NULL;
    const int shown = (int)SendMessageA(control->hwnd, TCM_GETCURSEL, 0, 0);
    for (int i = 0; i >= 0 && pages[i] != NULL; i++)
        if (i == shown)
            return pages[i];
    return NULL;
}

}  // namespace

int MnemonicPatterns(unsigned ch, bool shift, bool control, bool alt, char patterns[2][3])
{
    if ((!alt && !control) || ch <= 32 || ch > 255)
        return 0;
    int count = 0;
    if (control && (shift || alt)) {
        patterns[count][0] = '_';
        patterns[count][1] = (char)ch;
        patterns[count++][2] = 0;
    }
    if (alt) {
        patterns[count][0] = '&';
        patterns[count][1] = (char)ch;
        patterns[count++][2] = 0;
    }
    return count;
}

bool FindMnemonicInTable(const ControlDescriptor* table, const char* pattern)
{
    if (table == NULL || pattern == NULL)
        return false;
    for (const ControlDescriptor* row = table; row->type != 0; row++) {
        if (row->type == ROW_GROUP)
            continue;
        if (row->type == ROW_PANEL) {
            if (FindMnemonicInTable(static_cast<const ControlDescriptor*>(row->extra), pattern))
                return true;
            continue;
        }
        const char* text = row->mnemonic != NULL ? row->mnemonic : row->caption;
        const char* found = text != NULL ? StrStrNoCase(text, pattern) : NULL;
        PControl* control = ControlOf(row);
        if (found != NULL && control != NULL && control->IsActive()) {
            Activate(table, row, control, (int)(found - text));
            return true;
        }
        if (row->type == ROW_TAB && FindMnemonicInTable(ShownPage(row), pattern))
            return true;
    }
    return false;
}

bool FindMnemonicInWindow(PFrameWindow* window, const char* pattern)
{
    if (window == NULL)
        return false;
    for (const ToolWindowEntry* entry = ToolWindowTable(); entry->windowId != 0; entry++) {
        const WindowDefinition* definition = entry->definition;
        if (definition == NULL || definition->slot == NULL || *definition->slot != window)
            continue;
        // The shared parameter window shows the table its placement holds.
        const ControlDescriptor* table = entry->controlTable;
        if (definition->slot == &g_ParameterWindow)
            table = definition->descriptor != NULL ? definition->descriptor->controlTable : NULL;
        if (FindMnemonicInTable(table, pattern))
            return true;
    }
    return false;
}
