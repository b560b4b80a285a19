// The tool-window manager: the 30-row table and the operations over it.
// Open creates the window from its definition, places it (pulled inside the
// virtual screen) and refreshes it; close records where it was and destroys
// it; UpdateToolWindow hides or shows a window for the current fractal. The
// seven parameter windows share one frame window: switching the fractal's
// type swaps the controls inside it.
#include "toolwindows/ToolWindows.h"

#include <stdio.h>
#include <string.h>

#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/FractalThreads.h"
#include "document/ParameterTables.h"
#include "foundation/HelpContext.h"
#include "toolwindows/MessageWindow.h"
#include "ui/FrameWindow.h"
#include "ui/MenuBar.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"
#include "ui/WindowPlacement.h"

PFrameWindow* g_ParameterWindow = NULL;
ToolWindowHooks g_ToolWindowHooks = {};

namespace {

// One slot per row; the parameter windows use g_ParameterWindow instead.
PFrameWindow* g_Slots[TOOL_WINDOW_COUNT] = {};

WindowDefinition g_Definitions[TOOL_WINDOW_COUNT] = {
#define TOOL_WINDOW(id, menu, name, title, help, placement, shared) \
    {shared ? &g_ParameterWindow : NULL, id, title, help, NULL},
#include "toolwindows/ToolWindowList.h"
#undef TOOL_WINDOW
};

ToolWindowEntry g_Table[TOOL_WINDOW_COUNT + 1] = {
#define TOOL_WINDOW(id, menu, name, title, help, placement, shared) {id, menu, NULL, NULL, NULL, name, placement},
#include "toolwindows/ToolWindowList.h"
#undef TOOL_WINDOW
    {0, 0, NULL, NULL, NULL, "", ""},
};

static_assert(sizeof(g_Definitions) / sizeof(g_Definitions[0]) == TOOL_WINDOW_COUNT, "30 tool windows");

// Links each row with its definition and each definition with its slot,
// once (the tables are static and the slots are addresses of this file).
void LinkTable()
{
    static bool linked = false;
    if (linked)
        return;
    linked = true;
    for (int i = 0; i < TOOL_WINDOW_COUNT; i++) {
        g_Table[i].definition = &g_Definitions[i];
        if (g_Definitions[i].slot == NULL)
            g_Definitions[i].slot = &g_Slots[i];
    }
    FindToolWindowEntry(WID_OUTPUT)->controlTable = g_MessageWindowControls;
    FindToolWindowEntry(WID_OUTPUT)->refresh = &RefreshMessageWindow;
}

Fractal* CurrentFractal()
{
    return CurrentFolder != NULL ? CurrentFolder->currentFractal : NULL;
}

void CheckMenuItem(int command, bool checked)
{
    if (command == 0)
        return;
    if (g_ToolWindowHooks.checkMenuItem != NULL)
        g_ToolWindowHooks.checkMenuItem(command, checked);
    else if (g_Toolkit.menuBar != NULL)
        g_Toolkit.menuBar->CheckItem(command, checked);
}

int VirtualScreenWidth()
{
    return g_Toolkit.virtualScreenWidth > 0 ? g_Toolkit.virtualScreenWidth : GetSystemMetrics(SM_CXVIRTUALSCREEN);
}

int VirtualScreenHeight()
{
    return g_Toolkit.virtualScreenHeight > 0 ? g_Toolkit.virtualScreenHeight
                                              : GetSystemMetrics(SM_CYVIRTUALSCREEN);
}

bool IsParameterWindowId(int id)
{
    ToolWindowEntry* entry = FindToolWindowEntry(id);
    return entry != NULL && entry->definition->slot == &g_ParameterWindow;
}

// The size to record: the one before roll-up for a rolled-up or minimized
// window, else the outer size.
void RecordPlacement(PFrameWindow* window, WindowDescriptor* descriptor)
{
    int x = descriptor->GetX(), y = descriptor->GetY();
    window->GetPosition(&x, &y, false);
    descriptor->SetX(x);
    descriptor->SetY(y);
    int width = 0, height = 0;
    if (window->IsRolledUp() || IsIconic(window->hwnd)) {
        width = window->restoreWidth;
        height = window->restoreHeight;
    } else {
        window->GetSize(&width, &height, false);
    }
    descriptor->SetWidth(width);
    descriptor->SetHeight(height);
}

// The hide decision and the caption fractal of UpdateToolWindow.
struct Visibility {
    bool hide;
    bool parameterPath;
    Fractal* caption;
};

Visibility DecideVisibility(int id, int effective, Fractal* fractal)
{
    Visibility v = {false, false, fractal};
    int type = fractal != NULL ? fractal->header->Type : -1;
    switch (effective) {
    case 0:
        v.hide = true;
        v.parameterPath = true;
        break;
    case WID_CURRENT_PARAMETERS:
    case WID_PARM_PLASMA:
    case WID_PARM_DYNSYS:
    case WID_PARM_IFS:
    case WID_PARM_LSYSTEM:
    case WID_PARM_ESCAPETIME:
    case WID_PARM_QUATERNION:
    case WID_PARM_ATTRACTOR:
        v.hide = fractal == NULL;
        v.parameterPath = true;
        break;
    case WID_DIMS:
        v.hide = fractal == NULL || type < 0 || type >= TYPE_FLAG_CODES || TypeFlag(TF_HEIGHT_FIELD, type) == 0;
        break;
    case WID_SIZE:
    case WID_PALEDIT:
        v.hide = fractal == NULL;
        break;
    case WID_COMMENT:
        v.hide = fractal == NULL;
        if (fractal != NULL && fractal->baseFractal != NULL)
            v.caption = GetBaseFractal(fractal);
        break;
    case WID_LAYERPROP:
        v.hide = !(fractal != NULL && (fractal->baseFractal != NULL || type == FT_LAYERED));
        if (fractal != NULL && fractal->baseFractal != NULL)
            v.caption = fractal->baseFractal;
        break;
    case WID_ALPHAWIN:
        v.hide = !(fractal != NULL && type == FT_ESCAPETIME);
        break;
    case WID_OUTPUT:
    case WID_ANIM:
    case WID_COLORCYCLE:
    case WID_FRACTALTREE:
    case WID_FORMULA_IFS:
    case WID_TIP:
    case WID_FORMULA_LSYSTEM:
    case WID_COMPILER:
    case WID_PROPERTY:
    case WID_DOWNLOAD:
    case WID_RENDERJOB:
    case WID_RENDERJOBS:
        v.caption = NULL;
        break;
    default:
        break;
    }
    if (id == WID_CURRENT_PARAMETERS)
        v.parameterPath = true;
    return v;
}

void ShowWindowPath(int id, const Visibility& v, Fractal* fractal)
{
    ToolWindowEntry* entry = FindToolWindowEntry(id);
    if (entry == NULL || *entry->definition->slot == NULL)
        return;
    PFrameWindow* window = *entry->definition->slot;
    WindowDescriptor* descriptor = entry->definition->descriptor;
    if (v.hide) {
        if (descriptor != NULL && descriptor->IsMinimized())
            window->Minimize(true, false);
        window->Show(false);
        return;
    }
    char caption[300];
    if (v.caption != NULL)
        snprintf(caption, sizeof caption, "%s : %s", entry->definition->title, v.caption->name);
    else
        snprintf(caption, sizeof caption, "%s", entry->definition->title);
    window->SetTitle(caption);
    if (entry->refresh != NULL)
        entry->refresh(fractal);
    if (descriptor != NULL && window->windowType != WT_DOCKED) {
        window->Move(descriptor->GetX(), descriptor->GetY());
        descriptor->SetMinimized(0);
    }
    if (descriptor != NULL && descriptor->IsMinimized())
        window->Minimize(true, false);
    window->Show(true);
    SetFocus(window->hwnd);
}

}  // namespace

ToolWindowEntry* ToolWindowTable()
{
    LinkTable();
    return g_Table;
}

int ParameterWindowOfType(int fractalType)
{
    static const int kByType[19] = {0, 0, 0, 0, 0, 0, WID_PARM_PLASMA, 0, WID_PARM_DYNSYS, WID_PARM_LSYSTEM,
                                    WID_PARM_IFS, 0, 0, 0, WID_PARM_ESCAPETIME, 0, WID_PARM_QUATERNION, 0,
                                    WID_PARM_ATTRACTOR};
    return fractalType >= 0 && fractalType < 19 ? kByType[fractalType] : 0;
}

ToolWindowEntry* FindToolWindowEntry(int id)
{
    LinkTable();
    for (ToolWindowEntry* entry = g_Table; entry->windowId != 0; entry++)
        if (entry->windowId == id)
            return entry;
    return NULL;
}

int CreateToolWindow(const WindowDefinition* definition, const ControlDescriptor* table, int* width, int* height)
{
    if (definition == NULL || definition->descriptor == NULL)
        return 0;
    PFrameWindow** slot = definition->slot;
    bool shared = slot == &g_ParameterWindow;
    if (*slot != NULL && !shared)
        return 0;
    WindowDescriptor* descriptor = definition->descriptor;
    descriptor->definition = definition;
    descriptor->controlTable = table;
    int type = descriptor->IsAttached() && HasDockContainer() ? WT_DOCKED : WT_TOOL;
    int x = descriptor->GetX(), y = descriptor->GetY();
    int outerWidth = descriptor->GetWidth(), outerHeight = descriptor->GetHeight();
    int clientWidth = 0, clientHeight = 0;
    PFrameWindow* window = *slot;
    if (window == NULL) {
        window = new PFrameWindow(definition->title, definition->windowId, type, descriptor->thickFrame != 0, false,
                                  -1, -1, -1, -1, true, descriptor->dockable != 0);
        *slot = window;
        window->Resize(outerWidth, outerHeight);
        window->GetSize(&clientWidth, &clientHeight, true);
        window->Move(x, y);
    } else {
        SetWindowLongA(window->hwnd, GWL_ID, definition->windowId);
        window->windowId = definition->windowId;
        if (window->IsRolledUp()) {
            clientWidth = window->restoreWidth;
            clientHeight = window->restoreHeight;
        } else {
            window->GetSize(&clientWidth, &clientHeight, true);
        }
    }
    if (window->windowType == WT_DOCKED) {
        clientWidth -= 2;
        clientHeight += 2 - g_Toolkit.iCaptionHeight;
    }
    window->layoutWidth = clientWidth;
    window->layoutHeight = clientHeight;
    if (definition->helpTopic != NULL && strlen(definition->helpTopic) > 1) {
        g_HelpContexts.SetWindowHelp(window->hwnd, definition->helpTopic);
        if (window->mdiClient != NULL)
            g_HelpContexts.SetWindowHelp(window->mdiClient, definition->helpTopic);
    }
    BuildControls(table, window, NULL);
    if (width != NULL && height != NULL)
        window->GetSize(width, height, false);
    return 0;
}

int OpenToolWindow(int id)
{
    ToolWindowEntry* entry = FindToolWindowEntry(id);
    if (entry == NULL || entry->controlTable == NULL || entry->definition->descriptor == NULL)
        return 2;
    CheckMenuItem(entry->menuCommand, true);
    const WindowDefinition* definition = entry->definition;
    WindowDescriptor* descriptor = definition->descriptor;
    if (*definition->slot == NULL) {
        int width = 0, height = 0;
        CreateToolWindow(definition, entry->controlTable, &width, &height);
        PFrameWindow* window = *definition->slot;
        if (window == NULL)
            return 2;
        if (descriptor->GetX() > VirtualScreenWidth() - 20)
            descriptor->SetX(VirtualScreenWidth() - 20);
        if (descriptor->GetY() > VirtualScreenHeight() - 20)
            descriptor->SetY(VirtualScreenHeight() - 20);
        // Without a dock container nothing is attached (the placement
        // forces it off), so every window floats.
        if (descriptor->thickFrame && descriptor->GetWidth() != 0 && descriptor->GetHeight() != 0)
            window->Resize(descriptor->GetWidth(), descriptor->GetHeight());
        window->Move(descriptor->GetX(), descriptor->GetY());
        descriptor->SetOpened(1);
        UpdateToolWindow(id);
    }
    Fractal* fractal = CurrentFractal();
    if (fractal != NULL && id == WID_PALEDIT && g_ToolWindowHooks.applyPaletteEditor != NULL)
        g_ToolWindowHooks.applyPaletteEditor(fractal);
    if (fractal != NULL && id == WID_ALPHAWIN && g_ToolWindowHooks.refreshAlphaChannel != NULL)
        g_ToolWindowHooks.refreshAlphaChannel(fractal);
    return 2;
}

int CloseToolWindow(int id, bool save)
{
    ToolWindowEntry* entry = FindToolWindowEntry(id);
    if (entry == NULL || *entry->definition->slot == NULL)
        return 0;
    const WindowDefinition* definition = entry->definition;
    WindowDescriptor* descriptor = definition->descriptor;
    const ControlDescriptor* table = entry->controlTable;
    // The shared parameter window holds the controls of the type its
    // placement links, which need not be the row asked for: those are the
    // controls to delete.
    if (definition->slot == &g_ParameterWindow && descriptor != NULL && descriptor->definition != NULL) {
        definition = descriptor->definition;
        table = descriptor->controlTable;
    }
    if ((id == WID_COMPILER || id == WID_PALEDIT || id == WID_ALPHAWIN) && g_ToolWindowHooks.beforeClose != NULL)
        g_ToolWindowHooks.beforeClose(id);
    if (save) {
        CheckMenuItem(entry->menuCommand, false);
        if (descriptor != NULL)
            descriptor->SetOpened(0);
    }
    if (descriptor != NULL)
        RecordPlacement(*definition->slot, descriptor);
    DestroyToolWindow(definition, table, save);
    if (g_Toolkit.mainFrame != NULL && g_Toolkit.mainFrame->hwnd != NULL)
        SetForegroundWindow(g_Toolkit.mainFrame->hwnd);
    return 0;
}

void ToggleToolWindow(int id)
{
    ToolWindowEntry* entry = FindToolWindowEntry(id);
    if (entry == NULL)
        return;
    if (*entry->definition->slot != NULL)
        CloseToolWindow(id, true);
    else
        OpenToolWindow(id);
}

int DestroyToolWindow(const WindowDefinition* definition, const ControlDescriptor* table, bool deleteWindow)
{
    if (definition == NULL || table == NULL)
        return 0;
    Fractal* fractal = CurrentFractal();
    int id = definition->windowId;
    if (fractal != NULL && g_ToolWindowHooks.clearFormulaSlotControls != NULL &&
        (id == WID_PARM_ESCAPETIME || id == WID_PARM_QUATERNION || id == WID_PARM_ATTRACTOR))
        g_ToolWindowHooks.clearFormulaSlotControls(id, fractal);
    PFrameWindow* window = *definition->slot;
    if (window == NULL)
        return 0;
    WindowDescriptor* descriptor = definition->descriptor;
    if (deleteWindow && descriptor != NULL)
        descriptor->SetMinimized(window->rolledUpByUser);
    DestroyControlTable(table);
    if (deleteWindow) {
        *definition->slot = NULL;
        delete window;
    }
    if (descriptor != NULL) {
        descriptor->definition = NULL;
        descriptor->controlTable = NULL;
    }
    return 0;
}

void UpdateToolWindow(int id)
{
    Fractal* fractal = CurrentFractal();
    int effective = id;
    if (id == WID_CURRENT_PARAMETERS && fractal != NULL)
        effective = ParameterWindowOfType(fractal->header->Type);
    Visibility v = DecideVisibility(id, effective, fractal);
    if (v.parameterPath) {
        WindowDescriptor* shared = FindWindowDescriptor("Parameters");
        if (shared == NULL || !shared->IsOpened())
            return;
        ToolWindowEntry* row = fractal != NULL ? FindToolWindowEntry(ParameterWindowOfType(fractal->header->Type)) : NULL;
        bool showing = false;
        if (row != NULL) {
            if (*row->definition->slot != NULL) {
                int x = shared->GetX(), y = shared->GetY();
                (*row->definition->slot)->GetPosition(&x, &y, false);
                shared->SetX(x);
                shared->SetY(y);
            }
            showing = shared->definition == row->definition;
        }
        if (!showing) {
            if (shared->definition != NULL)
                CloseToolWindow(shared->definition->windowId, false);
            if (row != NULL && row->controlTable != NULL)
                CreateToolWindow(row->definition, row->controlTable, NULL, NULL);
        }
        if (v.hide) {
            if (g_ParameterWindow != NULL)
                g_ParameterWindow->Show(false);
            return;
        }
    }
    ShowWindowPath(effective, v, fractal);
}

bool IsToolWindowOpen(int id)
{
    ToolWindowEntry* entry = FindToolWindowEntry(id);
    return entry != NULL && *entry->definition->slot != NULL;
}

WindowDescriptor* DescriptorOfToolWindow(int id)
{
    ToolWindowEntry* entry = FindToolWindowEntry(id);
    return entry != NULL ? entry->definition->descriptor : NULL;
}

void ReopenToolWindows()
{
    Fractal* fractal = CurrentFractal();
    int type = fractal != NULL ? fractal->header->Type : FT_ESCAPETIME;
    int parameterWindow = ParameterWindowOfType(type);
    bool tried[TOOL_WINDOW_COUNT] = {};
    ToolWindowEntry* table = ToolWindowTable();
    // The id a row opens: a parameter row opens the current type's window.
    auto idOf = [&](const ToolWindowEntry& row) {
        return row.menuCommand == CMD_WIN_PARAMETERS ? parameterWindow : row.windowId;
    };
    auto wanted = [&](int i, bool attached) {
        WindowDescriptor* d = table[i].definition->descriptor;
        return !tried[i] && d != NULL && table[i].windowId != WID_ZOOM && idOf(table[i]) != 0 && d->IsOpened() &&
               d->IsAttached() == attached;
    };
    for (int i = 0; i < TOOL_WINDOW_COUNT; i++) {
        if (!wanted(i, false))
            continue;
        tried[i] = true;
        OpenToolWindow(idOf(table[i]));
    }
    // Docked windows in the order of their stored position; each row is
    // tried once, so a window that fails to open cannot hold the loop.
    for (;;) {
        int best = -1;
        for (int i = 0; i < TOOL_WINDOW_COUNT; i++) {
            if (!wanted(i, true) || IsToolWindowOpen(idOf(table[i])))
                continue;
            if (best < 0 || table[i].definition->descriptor->GetY() < table[best].definition->descriptor->GetY())
                best = i;
        }
        if (best < 0)
            break;
        tried[best] = true;
        OpenToolWindow(idOf(table[best]));
    }
    if (g_Messages.Count() > 0 && !IsToolWindowOpen(WID_OUTPUT))
        OpenToolWindow(WID_OUTPUT);
}

void StoreToolWindowPositions(bool visibleOnly)
{
    for (ToolWindowEntry* entry = ToolWindowTable(); entry->windowId != 0; entry++) {
        PFrameWindow* window = *entry->definition->slot;
        WindowDescriptor* descriptor = entry->definition->descriptor;
        if (window == NULL || descriptor == NULL || IsParameterWindowId(entry->windowId))
            continue;
        if (visibleOnly && !window->IsVisible())
            continue;
        RecordPlacement(window, descriptor);
    }
}

void RecordToolWindowPlacements()
{
    StoreToolWindowPositions(false);
    WindowDescriptor* shared = FindWindowDescriptor("Parameters");
    if (g_ParameterWindow != NULL && shared != NULL)
        RecordPlacement(g_ParameterWindow, shared);
}

void CloseAllToolWindows()
{
    WindowDescriptor* shared = FindWindowDescriptor("Parameters");
    if (g_ParameterWindow != NULL && shared != NULL) {
        RecordPlacement(g_ParameterWindow, shared);
        const WindowDefinition* definition = shared->definition;
        if (definition != NULL)
            DestroyToolWindow(definition, shared->controlTable, true);
        if (g_ParameterWindow != NULL) {
            delete g_ParameterWindow;
            g_ParameterWindow = NULL;
        }
    }
    for (ToolWindowEntry* entry = ToolWindowTable(); entry->windowId != 0; entry++) {
        if (IsParameterWindowId(entry->windowId) || *entry->definition->slot == NULL)
            continue;
        if (entry->definition->descriptor != NULL)
            RecordPlacement(*entry->definition->slot, entry->definition->descriptor);
        bool opened = entry->definition->descriptor != NULL && entry->definition->descriptor->IsOpened();
        DestroyToolWindow(entry->definition, entry->controlTable, true);
        if (*entry->definition->slot != NULL) {
            delete *entry->definition->slot;
            *entry->definition->slot = NULL;
        }
        if (entry->definition->descriptor != NULL)
            entry->definition->descriptor->SetOpened(opened);
    }
}

void LayoutToolWindow(PFrameWindow* window, int width, int height)
{
    if (window == NULL)
        return;
    for (ToolWindowEntry* entry = ToolWindowTable(); entry->windowId != 0; entry++) {
        if (*entry->definition->slot != window)
            continue;
        const ControlDescriptor* table = entry->controlTable;
        WindowDescriptor* descriptor = entry->definition->descriptor;
        if (entry->definition->slot == &g_ParameterWindow)
            table = descriptor != NULL ? descriptor->controlTable : NULL;
        if (window->windowType == WT_DOCKED) {
            width -= 2;
            height += 2 - g_Toolkit.iCaptionHeight;
        }
        window->layoutWidth = width;
        window->layoutHeight = height;
        LayoutControls(table, window, width, height);
        return;
    }
}

void BindToolWindowHandlers()
{
    g_UiHandlers.ToggleToolWindow = &ToggleToolWindow;
    g_UiHandlers.IsToolWindowOpen = &IsToolWindowOpen;
    g_UiHandlers.DescriptorOfWindow = &DescriptorOfToolWindow;
    g_UiHandlers.RefreshMessageList = [](bool scrollToEnd) { FillMessageListBox(scrollToEnd); };
    g_Listings.updateToolWindow = &UpdateToolWindow;
    g_Listings.storeToolWindowPositions = &StoreToolWindowPositions;
    g_Listings.isParameterWindowOpen = [] {
        WindowDescriptor* d = FindWindowDescriptor("Parameters");
        return d != NULL && d->IsOpened();
    };
    g_Listings.is3DWindowOpen = [] {
        WindowDescriptor* d = FindWindowDescriptor("Transformation");
        return d != NULL && d->IsOpened();
    };
    g_OpenMessageWindow = [] { OpenToolWindow(WID_OUTPUT); };
}
