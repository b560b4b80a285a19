// A folder of fractals: a parameter file or an animation (whose fractals are
// its keys). Every folder hangs in the global FolderList in name order; the
// current folder's current fractal is the program's current fractal. The
// folder combo box (205), the fractal combo box (204) and the Fractal Tree
// show folders and fractals through the listing hooks of DocumentHooks.h.
#pragma once
#include "foundation/List.h"
#include "animation/Animation.h"

class Fractal;

enum FolderKind { FOLDER_PARAMETERS = 0, FOLDER_ANIMATION = 1 };

class FractalFolder : public ListNode, public Animation {
public:
    // A bare parameter folder outside FolderList, unlisted, without path.
    FractalFolder();
    // Path = directory + "\" + name, made unique among the folders by
    // ".1", ".2" ... behind the name; with addToList inserted into
    // FolderList in name order (which may rename it) and shown.
    FractalFolder(const char* directory, const char* folderName, int folderKind, bool addToList, bool listed);
    // Deletes no fractal: they are deleted one by one before the folder goes.
    virtual ~FractalFolder();

    // Sorted insertion among the non-layer fractals (a layered fractal's
    // layers stay behind it); the name is made unique in the folder.
    void AddFractal(Fractal* fractal, bool select);
    // Insertion behind node (null: at the head), never between a layered
    // fractal and its layers.
    void InsertFractalAfter(Fractal* fractal, ListNode* node);
    // Insertion of a layer fractal behind node, or behind baseFractal when
    // node is null.
    void InsertLayerFractal(Fractal* fractal, ListNode* node, Fractal* baseFractal);
    void MakeCurrent(bool force);
    // Refreshes the folder's caption, combo-box line and tree item.
    void UpdateListings();
    // DeleteFractal in a parameter folder, the animation's key deletion in
    // an animation folder (layer keys are left alone).
    int DeleteEntry(Fractal* fractal, bool ask, bool refresh);

    int Kind() const { return kind; }
    bool IsListed() const { return flag != 0; }

    NodeList& fractals;          // the fractals of the folder: the Animation's key list
    char path[1024];
    Fractal* currentFractal;     // null when none
    uint8_t treeExpanded;
};

extern FractalFolder* DefaultParameterFolder;   // the last parameter folder made current
extern FractalFolder* RunningAnimationFolder;   // the folder of the animation being rendered

// Null folder: nothing. Asks (with ask) and refuses to delete the last
// folder of a kind interactively; deletes every fractal, unlinks the
// folder and picks the next current folder. Returns a declined answer
// (IDNO, IDCANCEL), else 0.
int DeleteFolder(FractalFolder* folder, bool ask, bool deleteFile);
void FillFolderCombo();
void FillFractalCombo();
void SetCurrentFolder(FractalFolder* folder);
// Positions among the listed folders, from the head of FolderList.
FractalFolder* GetFolderByIndex(int position);
int GetFolderIndex(const FractalFolder* folder);
// Takes the fractal out of its folder's list when it is linked there (and
// clears the folder's current fractal when it is this one).
void UnlinkFromFolder(Fractal* fractal);
