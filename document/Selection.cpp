// Selecting and deleting fractals, the clipboard's fractal type, the thread
// priorities, the menu states that follow the current fractal and the
// coloured text of the owner-drawn lists. Windows are reached through the
// hooks of DocumentHooks.h, questions through PMessageBox, so all of it
// runs headless.
#include "document/Selection.h"
#include "document/Layers.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>
#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/FractalThreads.h"
#include "document/Layer.h"
#include "document/ParameterTables.h"
#include "document/Undo.h"
#include "files/entry/CompressedBlock.h"
#include "files/entry/EntryHead.h"
#include "files/entry/EntryReader.h"
#include "foundation/MessageBox.h"
#include "foundation/Messages.h"
#include "foundation/Thread.h"

int ParameterPickActive = 0;
Fractal* ParameterPickFractal = nullptr;

namespace {

bool TreeExists()
{
    return g_Listings.treeExists && g_Listings.treeExists();
}

void UpdateToolWindow(int id)
{
    if (g_Listings.updateToolWindow)
        g_Listings.updateToolWindow(id);
}

void GrayItem(int id, bool grayed)
{
    if (g_Menu.gray)
        g_Menu.gray(id, grayed);
}

void CheckItem(int id, bool checked)
{
    if (g_Menu.check)
        g_Menu.check(id, checked);
}

void SetItemText(int id, const char* text)
{
    if (g_Menu.setText)
        g_Menu.setText(id, text);
}

void ClosePositionView()
{
    if (g_Listings.isPositionViewOpen && g_Listings.isPositionViewOpen() && g_Listings.closePositionView)
        g_Listings.closePositionView();
}

// Keeps the keyboard focus away while a selection runs and gives it back
// at every exit.
class FocusAway {
public:
    FocusAway() : window(g_Listings.takeFocus ? g_Listings.takeFocus() : NULL) {}
    ~FocusAway()
    {
        if (g_Listings.restoreFocus)
            g_Listings.restoreFocus(window);
    }

private:
    HWND window;
};

void SetAllThreadPriorities(int level)
{
    for (ListNode* fn = FolderList.GetHead(); fn; fn = fn->next)
        for (ListNode* n = static_cast<FractalFolder*>(fn)->fractals.GetHead(); n; n = n->next) {
            FractalTask* task = static_cast<Fractal*>(n)->task;
            if (task && task->thread)
                task->thread->SetPriority(level);
        }
}

// Palette, combo boxes and tree after the fractal became current (step 12
// of a selection).
void ShowSelectedFractal(Fractal* fractal)
{
    if (g_Listings.showColourCycleOffset)
        g_Listings.showColourCycleOffset(fractal);
    fractal->UpdatePalette();
    SetCurrentFolder(fractal->folder);
    if (g_Listings.comboSelect)
        g_Listings.comboSelect(FOLDER_COMBO_ID, GetFolderIndex(fractal->folder));
    if (TreeExists() && g_Listings.treeSelect)
        g_Listings.treeSelect(fractal);
    FillFractalCombo();
}

void RecordStartingPoint(Fractal* fractal)
{
    Fractal* owner = fractal->baseFractal ? fractal->baseFractal : fractal;
    if (owner->undoSteps.IsEmpty())
        AddUndoStep(owner, "###Starting point");
}

// Makes the fractal its folder's current one and the folder current.
// Returns the folder's previous current fractal.
Fractal* MakeFolderCurrent(Fractal* fractal, bool force)
{
    Fractal* previous = CurrentFolder ? CurrentFolder->currentFractal : nullptr;
    if (fractal->folder) {
        CurrentFolder = fractal->folder;
        CurrentFolder->currentFractal = fractal;
        CurrentFolder->MakeCurrent(force);
    }
    return previous;
}

// Parses a fractal read from a file; false (and the fractal deleted, its
// neighbour selected) when the entry does not parse.
bool ParsePendingEntry(Fractal* fractal)
{
    std::string text = fractal->pendingEntryText;
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back(0);
    if (ReadParameterEntry(fractal, buffer.data(), nullptr, false, -1, 0)) {
        free(fractal->keptEntryText);
        fractal->keptEntryText = fractal->pendingEntryText;
        fractal->pendingEntryText = nullptr;
        if (TreeExists() && g_Listings.treeSetTypeImage)
            g_Listings.treeSetTypeImage(fractal, fractal->header->Type);
        return true;
    }
    free(fractal->pendingEntryText);
    fractal->pendingEntryText = nullptr;
    FractalFolder* folder = fractal->folder;
    Fractal* neighbour = static_cast<Fractal*>(fractal->next ? fractal->next : fractal->prev);
    if (folder && folder->fractals.IndexOf(fractal) < 0)
        neighbour = nullptr;
    char message[200];
    snprintf(message, sizeof message, "Fractal %s has been removed and deleted...", fractal->name);
    AddErrorMessage(message);
    // Deleted first: selecting the neighbour must never meet the broken one.
    DeleteFractal(fractal, false, false);
    if (folder)
        folder->currentFractal = neighbour;
    SelectFractal(neighbour, true);
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Selection

bool SelectFractal(Fractal* fractal, bool force)
{
    if (ParameterPickActive && fractal != ParameterPickFractal)
        return true;
    FocusAway focus;
    if (fractal && fractal->pendingEntryText && !ParsePendingEntry(fractal))
        return false;
    if (fractal && fractal->layer && fractal->baseFractal)
        if (LayeredParameters* base = LayersOf(fractal->baseFractal))
            base->currentLayer = base->layers.IndexOf(fractal->layer);
    if (LayeredParameters* block = LayersOf(fractal)) {
        if (!block->layers.IsEmpty()) {
            ListNode* current = block->layers.GetAt(block->currentLayer);
            if (!current) {
                block->currentLayer = 0;
                current = block->layers.GetHead();
            }
            Fractal* layerFractal = static_cast<Layer*>(current)->fractal;
            if (layerFractal) {
                layerFractal->folder = fractal->folder;
                return SelectFractal(layerFractal, true);
            }
        }
    }
    if (g_Listings.storeToolWindowPositions)
        g_Listings.storeToolWindowPositions(true);
    UpdateUndoMenu(fractal);
    UpdateFractalWindowsMenu(fractal);
    ClosePositionView();

    Fractal* previous = nullptr;
    if (!fractal) {
        if (CurrentFolder) {
            previous = CurrentFolder->currentFractal;
            CurrentFolder->currentFractal = nullptr;
        }
    } else {
        previous = MakeFolderCurrent(fractal, force);
    }
    if (CurrentFolder && previous == fractal && !force)
        return true;

    SetAllThreadPriorities(g_TaskPriority);
    UpdateToolWindow(2000);
    UpdateToolWindow(2030);
    if (fractal)
        ShowSelectedFractal(fractal);
    else if (g_Listings.comboSelect)
        g_Listings.comboSelect(FRACTAL_COMBO_ID, -1);
    for (int id : {400, 730, 680, 1150, 198})
        UpdateToolWindow(id);
    if (fractal)
        RecordStartingPoint(fractal);
    return true;
}

void SetCurrentFractal(Fractal* fractal, bool force)
{
    if (!fractal || (ParameterPickActive && fractal != ParameterPickFractal))
        return;
    if (g_Listings.storeToolWindowPositions)
        g_Listings.storeToolWindowPositions(false);
    Fractal* previous = MakeFolderCurrent(fractal, force);
    if (CurrentFolder && previous == fractal && !force)
        return;
    UpdateToolWindow(2000);
    UpdateToolWindow(2030);
    ShowSelectedFractal(fractal);
    for (int id : {198, 400, 730, 680})
        UpdateToolWindow(id);
    RecordStartingPoint(fractal);
}

// ---------------------------------------------------------------------------
// Deletion

namespace {

// The folder's next current fractal when fractal goes (it is the current
// one, or the current one is a layer of it).
Fractal* SuccessorOf(Fractal* fractal)
{
    FractalFolder* folder = fractal->folder;
    Fractal* current = folder->currentFractal;
    bool replaces = current == fractal || (current && current->kind == NODE_KIND_LAYER && current->baseFractal == fractal);
    if (!replaces)
        return current;
    if (folder->fractals.IndexOf(fractal) < 0)
        return nullptr;
    if (fractal->kind == NODE_KIND_LAYER)
        return static_cast<Fractal*>(fractal->next ? fractal->next : fractal->prev);
    ListNode* next = ListNode::NextNonLayer(fractal);
    return static_cast<Fractal*>(next ? next : ListNode::PrevNonLayer(fractal));
}

}  // namespace

int DeleteFractal(Fractal* fractal, bool ask, bool refresh)
{
    if (!fractal)
        return 0;
    if (fractal->linkedFractal) {
        if (IsLiveFractal(fractal->linkedFractal) && fractal->linkedFractal->linkedFractal == fractal)
            fractal->linkedFractal->linkedFractal = nullptr;
        fractal->linkedFractal = nullptr;
    }
    if (ask) {
        const char* text = nullptr;
        if (fractal->kind == NODE_KIND_LAYER && fractal->baseFractal)
            text = "The fractal you are currently trying to delete is a layer of another fractal.\nAre you sure you "
                   "want to delete it and thus also remove the layer of the other fractal?";
        else if (FractalTypeFlags[CNF_DelPic])
            text = "You are about to delete a fractal data structure.\nThis entry will be lost forever, unless you "
                   "saved this entry\nas a parameter file.\n\nDo you really want to delete it?";
        if (text) {
            PMessageBox question(MB_STYLE_YESNOCANCEL);
            int answer = question.Show("Delete operation", text);
            if (answer == IDNO || answer == IDCANCEL)
                return answer;
        }
    }
    if (fractal == ParameterPickFractal) {
        ParameterPickActive = 0;
        ParameterPickFractal = nullptr;
    }
    if (fractal->pendingEntryText) {
        // A never-parsed (or reverted) fractal's block was made for its old
        // type: it is released now, before the type is forgotten.
        free(fractal->pendingEntryText);
        fractal->pendingEntryText = nullptr;
        fractal->FreeFormulas();
        fractal->FreeTypeParameters(fractal->typeParameters);
        fractal->typeParameters = nullptr;
        fractal->header->Type = -1;
    }
    if (fractal->layer && fractal->baseFractal) {
        if (LayeredParameters* block = LayersOf(fractal->baseFractal))
            RemoveLayer(block, fractal->layer, 0);
        fractal->layer = nullptr;
        fractal->baseFractal = nullptr;
    }
    if (CurrentFolder && CurrentFolder->currentFractal)
        ClosePositionView();
    if (fractal->task && g_CloseTask)
        g_CloseTask(fractal, 1, 0, 0);

    FractalFolder* folder = fractal->folder;
    Fractal* successor = nullptr;
    if (folder) {
        folder->int2 = 1;
        if (refresh)
            folder->UpdateListings();
        successor = SuccessorOf(fractal);
        folder->currentFractal = nullptr;
    }
    fractal->FreeFormulas();
    if (folder) {
        // Releasing the layers may have deleted the successor's neighbours,
        // never the successor: it is not a layer of this fractal.
        folder->currentFractal = successor;
        UnlinkFromFolder(fractal);
        folder->currentFractal = successor;
        if (refresh && folder == CurrentFolder) {
            folder->MakeCurrent(true);
            SelectFractal(folder->currentFractal, true);
        }
    }
    delete fractal;
    return 0;
}

// ---------------------------------------------------------------------------
// Clipboard, windows and threads

int EntryTextFractalType(const char* text)
{
    if (!text)
        return -1;
    const char* open = strchr(text, '{');
    if (strlen(text) <= 40 || !open || !strchr(text, '}'))
        return -1;
    // p: the first character after the brace that is no blank, comment
    // lines skipped.
    const char* p = open + 1;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')
            ++p;
        if (*p != ';')
            break;
        while (*p && *p != '\n')
            ++p;
    }
    bool compressed = p[0] == ':' && p[1] == ':';
    std::string upper(text);
    for (char& c : upper)
        c = (char)toupper((unsigned char)c);
    if (!compressed && upper.find("FRACTAL:") == std::string::npos && upper.find("TYPE=") == std::string::npos)
        return -1;
    std::string body = std::string(open);
    if (compressed) {
        char* decoded = DecodeCompressedBlock(p);
        if (!decoded)
            return -1;
        body = std::string("{\r\n") + decoded;
        free(decoded);
    }
    EntryTypeScan scan = ScanEntryType(body.c_str());
    if (scan.unknownType || scan.type == 13 || scan.type == 19 || scan.type == 20)
        return -1;
    if (scan.layered)
        return FT_LAYERED;
    // The reader turns old types and Fractint entries into escape-time fractals.
    switch (scan.type) {
    case -1: case 0: case 1: case 2: case 3: case 4: case 5: case 7: case 11: case 12: return FT_ESCAPETIME;
    default: return scan.type;
    }
}

int GetClipboardFractalType()
{
    char* text = g_ClipboardText ? g_ClipboardText() : nullptr;
    if (!text)
        return -1;
    int type = EntryTextFractalType(text);
    free(text);
    return type;
}

Fractal* FindFractalByWindow(const PFrameWindow* window)
{
    for (ListNode* fn = FolderList.GetHead(); fn; fn = fn->next)
        for (ListNode* n = static_cast<FractalFolder*>(fn)->fractals.GetHead(); n; n = n->next) {
            Fractal* f = static_cast<Fractal*>(n);
            if (f->task && f->task->window == window)
                return f;
        }
    return nullptr;
}

void SetTaskPriority(int level)
{
    g_TaskPriority = level;
    SetAllThreadPriorities(level);
}

// ---------------------------------------------------------------------------
// Menu states

void UpdateColourDepthMenu(Fractal* fractal)
{
    GrayItem(CMD_PALETTE_256, !fractal);
    GrayItem(CMD_PALETTE_INTERPOLATED, !fractal);
    if (fractal && g_Menu.checkRadio) {
        int id = fractal->header->DisplayDepth == 24 ? CMD_PALETTE_INTERPOLATED : CMD_PALETTE_256;
        g_Menu.checkRadio(id, CMD_PALETTE_256, CMD_PALETTE_INTERPOLATED);
    }
}

void Update3DMenu(Fractal* fractal)
{
    bool enabled = false, checked = false;
    if (fractal) {
        int type = fractal->header->Type;
        if (type == FT_QUATERNION || type == FT_ATTRACTOR) {
            checked = true;
        } else if (type >= 0 && type < TYPE_FLAG_CODES && TypeFlag(TF_HEIGHT_FIELD, type)) {
            enabled = true;
            checked = fractal->header->Dims != 0;
        }
    }
    GrayItem(CMD_3D_TRANSFORM, !enabled);
    CheckItem(CMD_3D_TRANSFORM, checked);
}

namespace {

bool TypeHas(int column, int type)
{
    return type >= 0 && type < TYPE_FLAG_CODES && TypeFlag(column, type) != 0;
}

}  // namespace

void UpdateFractalWindowsMenu(Fractal* fractal)
{
    CheckItem(CMD_AUTOSAVE, g_Listings.isAutoSaveOn && g_Listings.isAutoSaveOn());
    if (!fractal) {
        for (int id : {CMD_WIN_PARAMETERS, CMD_WIN_LAYER_PROPERTIES, CMD_WIN_3D_PARAMETERS, CMD_WIN_PALETTE_EDITOR,
                       CMD_WIN_COMMENTS, CMD_WIN_ALPHA_CHANNEL})
            GrayItem(id, true);
        return;
    }
    int type = fractal->header->Type;
    GrayItem(CMD_WIN_PARAMETERS, type == FT_LAYERED);
    CheckItem(CMD_WIN_PARAMETERS, g_Listings.isParameterWindowOpen && g_Listings.isParameterWindowOpen());
    GrayItem(CMD_WIN_LAYER_PROPERTIES, !(fractal->kind == NODE_KIND_LAYER || type == FT_LAYERED));
    GrayItem(CMD_WIN_3D_PARAMETERS, !TypeHas(TF_HEIGHT_FIELD, type));
    CheckItem(CMD_WIN_3D_PARAMETERS, g_Listings.is3DWindowOpen && g_Listings.is3DWindowOpen());
    GrayItem(CMD_WIN_PALETTE_EDITOR, false);
    GrayItem(CMD_WIN_COMMENTS, false);
    GrayItem(CMD_WIN_ALPHA_CHANNEL, type != FT_ESCAPETIME);
}

void UpdateUndoMenu(Fractal* fractal)
{
    UpdateColourDepthMenu(fractal);
    if (!fractal) {
        SetItemText(CMD_UNDO, "Undo\tCtrl+Z");
        SetItemText(CMD_REDO, "Redo\tCtrl+Y");
        Update3DMenu(nullptr);
        for (int id : {CMD_UNDO, CMD_REDO, CMD_RESET_LAYER, CMD_RESET_FRACTAL, CMD_COPY_FRACTAL, CMD_COPY_LAYER,
                       CMD_PASTE_FRACTAL, CMD_PASTE_LAYER, CMD_SELECT, CMD_SELECT_ALL, CMD_DESELECT,
                       CMD_BOXZOOM_IN, CMD_BOXZOOM_OUT, CMD_WIN_SIZE, CMD_PALETTE_256, CMD_PALETTE_INTERPOLATED})
            GrayItem(id, true);
        return;
    }
    int type = fractal->header->Type;
    Fractal* base = GetBaseFractal(fractal);
    GrayItem(CMD_COPY_LAYER, fractal->kind != NODE_KIND_LAYER);
    GrayItem(CMD_COPY_FRACTAL, false);
    int clipboardType = GetClipboardFractalType();
    GrayItem(CMD_PASTE_FRACTAL, clipboardType == -1);
    GrayItem(CMD_PASTE_LAYER, clipboardType == -1 || clipboardType == FT_LAYERED);
    bool always24 = type == FT_ESCAPETIME || type == FT_LAYERED || type == FT_QUATERNION || type == FT_ATTRACTOR;
    GrayItem(CMD_PALETTE_256, always24);
    GrayItem(CMD_PALETTE_INTERPOLATED, always24);

    char text[120];
    ListNode* cursor = base->undoCursor;
    if (cursor && cursor->prev) {
        snprintf(text, sizeof text, "Undo: %s\tCtrl+Z", cursor->name);
        SetItemText(CMD_UNDO, text);
        GrayItem(CMD_UNDO, false);
    } else {
        SetItemText(CMD_UNDO, "Undo\tCtrl+Z");
        GrayItem(CMD_UNDO, true);
    }
    if (cursor && cursor->next) {
        snprintf(text, sizeof text, "Redo: %s\tCtrl+Y", cursor->next->name);
        SetItemText(CMD_REDO, text);
        GrayItem(CMD_REDO, false);
    } else {
        SetItemText(CMD_REDO, "Redo\tCtrl+Y");
        GrayItem(CMD_REDO, true);
    }
    for (int id : {CMD_WIN_SIZE, CMD_RESET_LAYER, CMD_RESET_FRACTAL})
        GrayItem(id, false);
    GrayItem(CMD_PROPORTIONAL, !TypeHas(TF_VIEW_AREA, type));
    Update3DMenu(fractal);
    bool window = fractal->task && fractal->task->window;
    for (int id : {CMD_SELECT, CMD_DESELECT, CMD_SELECT_ALL})
        GrayItem(id, !(window && TypeHas(TF_MOVE, type)));
    for (int id : {CMD_BOXZOOM_IN, CMD_BOXZOOM_OUT})
        GrayItem(id, !(window && TypeHas(TF_VIEW_AREA, type)));
}

// ---------------------------------------------------------------------------
// Coloured text

void DrawColouredText(HDC dc, int x, int y, const RECT* clip, const char* text)
{
    if (!dc || !text)
        return;
    COLORREF previous = SetTextColor(dc, RGB(0, 0, 0));
    HGDIOBJ previousFont = NULL;
    if (g_Listings.listFont)
        if (HFONT font = g_Listings.listFont())
            previousFont = SelectObject(dc, font);
    RECT box = clip ? *clip : RECT{x, y, x, y};
    static const char kTag[] = "<COLOR=";
    const int tagLength = (int)sizeof kTag - 1;
    int w = 0;
    const char* rest = text;
    bool ended = false;
    while (const char* tag = strstr(rest, kTag)) {
        int length = (int)(tag - rest);
        ExtTextOutA(dc, x + w, y, ETO_OPAQUE, &box, rest, length, NULL);
        SIZE size = {0, 0};
        GetTextExtentPoint32A(dc, rest, length, &size);
        w += size.cx;
        box.left = x + w;
        unsigned red = 0, blue = 0, green = 0;
        sscanf(tag + tagLength, "%2x%2x%2x", &red, &blue, &green);
        SetTextColor(dc, RGB(red, green, blue));
        const char* close = strchr(tag + tagLength, '>');
        if (!close) {
            ended = true;
            break;
        }
        rest = close + 1;
    }
    if (!ended)
        ExtTextOutA(dc, x + w, y, ETO_OPAQUE, &box, rest, (int)strlen(rest), NULL);
    SetTextColor(dc, previous);
    if (previousFont)
        SelectObject(dc, previousFont);
}
