// One fractal of the program: its header, its type's parameter block, its
// 3D settings, palette, alpha channel, comments, credits and undo list, and
// while its window is open the calculation task. Construction, copying,
// type change and destruction are in Fractal.cpp; the comment template in
// CommentTemplate.cpp; calculation control in CalculationControl.cpp and
// CalculationTime.cpp; the view geometry in ViewGeometry.cpp.
#pragma once
#include <windows.h>
#include "foundation/List.h"
#include "foundation/bignum/BigNumber.h"
#include "compiler/CompileHost.h"
#include "document/FractalType.h"
#include "document/ViewParameters.h"
#include "calc/colour/Palette.h"
#include "calc/colour/AlphaChannel.h"

class FractalTask;
class FractalFolder;
class GrowBuffer;
class BusyLock;
class ImageFilter;
class Parameters3D;
class RenderJob;
class Layer;
class UndoStep;

// Value of Fractal::magic while the object lives.
const unsigned int FRACTAL_MAGIC = 0xBEEFF00Du;

// The record common to fractals of every type. The comments give the entry
// keys that carry the fields.
struct FractalHeader {
    FractalHeader();
    // Copies Type to ExtraTime except the creation and save times, the
    // calculation time, the author and the modifier.
    void CopyFrom(const FractalHeader& other);

    int Type;               // FractalType; -1 before a type is given
    int Subtype;
    int Width;              // image size in pixels
    int Height;
    int Dims;               // 1: the 3D view is on
    int ColCyc;             // colour cycling on
    int ColCycUp;           // cycling direction, 1 = upwards
    double ColCycSpeed;
    double ColCycStep;
    char BaseName[64];      // layered fractal of a layer read as [base].name
    BYTE Scrollbar;         // fixed-size window mode
    int WinWidth;           // client size in scroll-bar mode
    int WinHeight;
    SYSTEMTIME CreationTime;   // "creationTime", local time
    SYSTEMTIME SaveTime;       // "saveTime"; year 0 = never saved
    int CalcTime;              // "calcTime", milliseconds
    GrowBuffer* Author;        // owned
    GrowBuffer* ModifiedBy;    // owned; null = none
    int DisplayDepth;          // bits per pixel of the image: 8 or 24
    ImageFilter* ImageFilter;  // not owned; null = none
    int FilterStep;
    // Tick counts (ms) of the calculation; -1 = none. Read as unsigned
    // differences so that a tick count past 2^31 still measures right.
    int CalcStart;
    int CalcEnd;               // -1 while running
    int PausedTime;
    int ExtraTime;
};

// One credits entry: who worked on the fractal and when.
class CreditEntry : public ListNode {
public:
    CreditEntry(const char* author, int year, int month, int day, int hour, int minute);
    CreditEntry(const CreditEntry& other);
    virtual ~CreditEntry();

    char* author;     // owned
    int year, month, day, hour, minute;
};

class Fractal : public ListNode, public CompileHost {
public:
    Fractal();
    Fractal(int type, int subtype);
    Fractal(const Fractal& other);
    virtual ~Fractal();

    // What the compiler and the formula lookup read of the fractal.
    int HostFractalType() const override;
    bool HostViewWidth(double* width) const override;
    volatile int* HostCommandWord() override;
    const char* HostName() const override;
    const char* HostBaseName() const override;

    void SetDefaults(int type, int subtype);
    void ChangeType(int type, int subtype);
    void Rename(const char* newName, bool makeUnique);
    void ExpandCommentTemplate();
    void UpdatePalette();
    bool Is3DType() const;
    void FreeFormulas();
    void ClearCredits();

    // Row length in pixels of the task's per-pixel buffers: Width + 1.
    int GetBufferWidth() const;
    // Row length in bytes of an 8-bit image: (Width + 4) & ~3.
    int GetImageStride() const;
    // lastResult; for a layered fractal the last non-zero result of its
    // layers in layer order.
    int GetCalculationResult() const;

    // The image lock used around painting and copying between threads:
    // waits, sleeping 10 ms between tries, until it is free, then takes it.
    void Lock();
    void Unlock();

    // ----- Type parameter blocks (TypeFactory.cpp)
    ViewParameters* CreateTypeParameters(int type, int subtype);
    void FreeTypeParameters(ViewParameters* block);

    // ----- Calculation control (CalculationControl.cpp)
    void SendThreadCommand(int command, int answer);
    bool SendLayerThreadCommand(Fractal* layer, int command, int answer);
    void StopCalculation();
    bool StopLayerCalculation(Fractal* layer);
    void StopWithLayers();
    void StartSearch();
    void Recalculate();
    void RecalculateLayer(Fractal* layer);
    void RecalculateWithLayers();
    void Calculate();
    void CalculateAllPasses();
    void Redraw3D();
    void Recolour();
    void ApplyPalette();
    static void DistributePalette(Fractal* changed, const RGBQUAD* colours, int compare);

    // ----- Calculation time and state (CalculationTime.cpp)
    void SetTimeStamp(int kind, int* out);
    int GetCalculationTime() const;
    int GetEstimatedCalculationTime() const;
    double GetProgress() const;
    void SetCalculationState(int state);

    // ----- View geometry (ViewGeometry.cpp)
    void GetRotationCentre(const BigNumber x[3], const BigNumber y[3], BigNumber& cx, BigNumber& cy) const;
    void GetViewCorners(BigNumber x[3], BigNumber y[3]) const;
    void PixelToPoint(double px, double py, BigNumber& re, BigNumber& im) const;
    void GetViewSize(int& width, int& height) const;
    void AdjustAspectRatio();

    // ----- Change commits (calc/task/Commits.cpp)
    // Records an undo step named undoText, then sends the command that
    // brings the image up to date; the area and 3D commits do nothing for
    // types without an area view or a height-field 3D view.
    int CommitAndRecalculate(int force, const char* undoText);
    int CommitAreaChange(int force, const char* undoText);
    int Commit3DChange(int force, const char* undoText);
    int CommitAndCalculate(int force, const char* undoText);
    int CommitAndRecolour(int force, const char* undoText);
    // record 0: the command alone; record and recordOnly: the undo step
    // alone; record alone: the undo step, then the command when it counted.
    int ApplyRedraw3D(const char* undoText, int record, int recordOnly);
    int ApplyRecalculate(const char* undoText, int record, int recordOnly);
    int ApplyCalculate(const char* undoText, int record, int recordOnly);
    int ApplyRecolour(const char* undoText, int record, int recordOnly);

    // ----- Folders, selection and listings (Selection.cpp, FractalFolder.cpp)
    // Refreshes the fractal's caption, its tree item and its line in the
    // folder's combo box.
    void UpdateListings();
    // The window caption from the progress: "Name (42%)", the bare name
    // before the calculation starts, the frame counter during an animation.
    void UpdateWindowTitle();

    // ----- Layers (Layers.cpp)
    // On a layered fractal the Layer whose fractal is the argument; null
    // otherwise and on any other type.
    Layer* FindLayer(const Fractal* fractal) const;

    // ----- Buffers (calc/task/TaskBuffers.cpp)
    // Gives the open fractal a new image size (0 in either direction: no
    // image); without keepDefault the size also becomes the default, and
    // with recalculate a fractal that had an image is calculated anew.
    // 0, or 1 when the buffers could not be made (the fractal then has none).
    int SetSize(int width, int height, int keepDefault, int recalculate);
    // Switches the image between 8 and 24 bits per pixel.
    void SetColorDepth(int bits);
    // Stores a snapshot of the image in the task (callers make one only
    // while there is none).
    void TakeImageSnapshot();
    // Replaces the selection (zoom) box, invalidating the edges of the old
    // and the new box; -10000 in x0 or x1 means no box. (calc/task/Plot.cpp)
    void SetSelectionBox(int x0, int y0, int x1, int y1);

    // ----- Zoom and move (Zoom.cpp)
    // Changes the view only: magnifies by factor (< 1 shows more, about the
    // centre) at the pixel in column col from the left, row from the top.
    // Quaternions move their camera towards the surface under the pixel.
    void ZoomAt(int col, int row, double factor);
    // The click zoom: a pending wheel snapshot only recalculates; else the
    // calculation stops, the image is animated towards the new view, the
    // view zooms (layers with auto-zoom too), an undo step is recorded and
    // the fractal recalculated.
    void Zoom(int col, int row, int animate, double factor);
    // Into the task's selection box, or out so that the view fits into it.
    void ZoomToBox(int zoomIn);
    // Moves the image content dx pixels right and dy down, shifting what is
    // calculated; record non-zero records "Moving fractal".
    void Move(int dx, int dy, int record);
    // Moves every per-pixel buffer of the task by dx columns and dy stored
    // rows (bottom-up) and clears the uncovered strips.
    // (calc/task/BufferShift.cpp)
    void ShiftBuffers(int dx, int dy);

    // ----- Undo and size (Undo.cpp)
    // The fractal as parameter-entry text (heap, free()), without line
    // carriage returns and with 20 spare zero bytes; null when the
    // writer produced nothing.
    char* GetParameterText();
    // ResizeFractal under a guard; 0 after a caught failure.
    int Resize(int width, int height, int layersToo, int flags);
    // Fixed image size with scroll bars (on) or the image following the
    // window; the result of SelectFractal when the fractal is current, else 0.
    int SetScrollbarMode(int on);

    FractalHeader* header;          // owned
    char* commentLines;             // comment lines of the entry, heap
    GrowBuffer* commentTemplate;    // owned; "commentTemplate"
    GrowBuffer* commentText;        // owned; the expanded comment
    char* pendingEntryText;         // entry text not yet parsed, heap
    unsigned int magic;             // FRACTAL_MAGIC while alive, 0 once destroyed
    volatile LONG imageLockCount;   // 0 free, 1 taken
    RenderJob* renderJob;           // not owned; the render job of a private copy
    int suppressDrawing;            // 1 while the calculation must not draw
    int dither;                     // 24-bit image on an 8-bit screen
    Fractal* baseFractal;           // the layered fractal of a layer, else null
    Layer* layer;                   // the Layer record of a layer fractal, else null
    int networkCalculation;
    int taskReady;                  // 1 while the fractal's task exists
    // The type's parameter block, owned; every block begins with
    // ViewParameters. Null when the type has none.
    ViewParameters* typeParameters;
    Parameters3D* params3D;         // owned
    int reservedInts[11];           // zeroed by the constructors and SetDefaults
    FractalTask* task;              // the calculation context while the window is open
    FractalFolder* folder;          // the folder holding the fractal
    NodeList undoSteps;
    NodeList credits;               // CreditEntry nodes
    UndoStep* undoCursor;
    char* keptEntryText;            // entry text as last loaded or created, heap
    int windowX, windowY;           // -1, -1 = default placement
    BusyLock* busyLock;             // owned
    int paletteAnimation;           // "PaletteAnimation"
    int presetPaletteIndex;         // -1 = none
    Fractal* linkedFractal;         // image fractal <-> fractal of its embedded parameters
    AlphaChannel alphaChannel;
    Palette palette;
    char imageFileName[200];
    BYTE treeExpanded;
    BYTE stopRequested;
    int pendingLayerNotices;
    int lastResult;
};

// True while p points at a fractal that has been constructed and not yet
// destroyed. Answered from the registry of live fractals, so a freed
// pointer is never read.
bool IsLiveFractal(const void* p);

// The modified flag (1 = changes not saved) is the list node's int2.
inline int& FractalModified(Fractal* f) { return f->int2; }
