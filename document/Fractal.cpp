// The fractal object: its three constructors, reset to a type's defaults,
// type change, renaming and destruction, and the small accessors.
#include "document/Fractal.h"
#include <stdlib.h>
#include <string.h>
#include <set>
#include "foundation/Buffers.h"
#include "foundation/Thread.h"
#include "calc/FractalTask.h"
#include "document/DocumentHooks.h"
#include "document/DocumentSettings.h"
#include "document/FractalFolder.h"
#include "document/EscapetimeParameters.h"
#include "document/PlainBlocks.h"
#include "document/QuaternionParameters.h"
#include "document/Layer.h"
#include "view3d/Parameters3D.h"

// ---------------------------------------------------------------------------
// The registry of live fractals: IsLiveFractal must never read the memory
// of a fractal that is gone, so it asks the registry instead.

namespace {

struct LiveRegistry {
    CRITICAL_SECTION lock;
    std::set<const void*> fractals;
    LiveRegistry() { InitializeCriticalSection(&lock); }
};

LiveRegistry& Registry()
{
    static LiveRegistry registry;
    return registry;
}

void Register(const Fractal* f)
{
    LiveRegistry& r = Registry();
    EnterCriticalSection(&r.lock);
    r.fractals.insert(f);
    LeaveCriticalSection(&r.lock);
}

void Unregister(const Fractal* f)
{
    LiveRegistry& r = Registry();
    EnterCriticalSection(&r.lock);
    r.fractals.erase(f);
    LeaveCriticalSection(&r.lock);
}

char* Duplicate(const char* text)
{
    return text ? _strdup(text) : nullptr;
}

GrowBuffer* TextBuffer(const char* text, int extra)
{
    int length = (int)strlen(text);
    GrowBuffer* b = new GrowBuffer(length + extra);
    memcpy(b->GetData(), text, length + 1);
    return b;
}

// A buffer of the other's capacity holding the other's bytes.
GrowBuffer* CloneBuffer(const GrowBuffer* other)
{
    if (!other)
        return new GrowBuffer(50);
    GrowBuffer* b = new GrowBuffer(other->GetCapacity());
    if (b->GetData() && other->GetData())
        memcpy(b->GetData(), other->GetData(), other->GetCapacity());
    return b;
}

void CopyDefaultTemplate(GrowBuffer* target)
{
    if (!g_DefaultComment || !target)
        return;
    target->Reserve(g_DefaultComment->GetCapacity());
    memcpy(target->GetData(), g_DefaultComment->GetData(), g_DefaultComment->GetCapacity());
}

void CopyDefaultPalette(Palette& palette)
{
    if (DefaultPalette)
        palette.CopyFrom(*DefaultPalette);
    palette.offset = 0.0;
}

}  // namespace

bool IsLiveFractal(const void* p)
{
    if (!p)
        return false;
    LiveRegistry& r = Registry();
    EnterCriticalSection(&r.lock);
    bool live = r.fractals.count(p) != 0;
    LeaveCriticalSection(&r.lock);
    return live;
}

// ---------------------------------------------------------------------------
// Header and credits

FractalHeader::FractalHeader()
    : Type(-1), Subtype(0), Width(0), Height(0), Dims(0), ColCyc(0), ColCycUp(0), ColCycSpeed(0.0),
      ColCycStep(0.0), Scrollbar(0), WinWidth(0), WinHeight(0), CalcTime(0), Author(nullptr),
      ModifiedBy(nullptr), DisplayDepth(0), ImageFilter(nullptr), FilterStep(1), CalcStart(-1), CalcEnd(-1),
      PausedTime(-1), ExtraTime(-1)
{
    BaseName[0] = 0;
    GetLocalTime(&CreationTime);
    memset(&SaveTime, 0, sizeof SaveTime);
}

void FractalHeader::CopyFrom(const FractalHeader& o)
{
    Type = o.Type;
    Subtype = o.Subtype;
    Width = o.Width;
    Height = o.Height;
    Dims = o.Dims;
    ColCyc = o.ColCyc;
    ColCycUp = o.ColCycUp;
    ColCycSpeed = o.ColCycSpeed;
    ColCycStep = o.ColCycStep;
    memcpy(BaseName, o.BaseName, sizeof BaseName);
    Scrollbar = o.Scrollbar;
    WinWidth = o.WinWidth;
    WinHeight = o.WinHeight;
    DisplayDepth = o.DisplayDepth;
    ImageFilter = o.ImageFilter;
    FilterStep = o.FilterStep;
    CalcStart = o.CalcStart;
    CalcEnd = o.CalcEnd;
    PausedTime = o.PausedTime;
    ExtraTime = o.ExtraTime;
}

CreditEntry::CreditEntry(const char* name, int y, int mo, int d, int h, int mi)
    : author(Duplicate(name ? name : "")), year(y), month(mo), day(d), hour(h), minute(mi)
{
}

CreditEntry::CreditEntry(const CreditEntry& o)
    : author(Duplicate(o.author)), year(o.year), month(o.month), day(o.day), hour(o.hour), minute(o.minute)
{
    SetName(o.name);
}

CreditEntry::~CreditEntry()
{
    free(author);
}

// ---------------------------------------------------------------------------
// Construction

Fractal::Fractal()
    : header(new FractalHeader()), commentLines(nullptr), commentTemplate(new GrowBuffer(50)),
      commentText(new GrowBuffer(50)), pendingEntryText(nullptr), magic(FRACTAL_MAGIC), imageLockCount(0),
      renderJob(nullptr), suppressDrawing(0), dither(0), baseFractal(nullptr), layer(nullptr),
      networkCalculation(0), taskReady(0), typeParameters(nullptr), params3D(new Parameters3D(FT_ESCAPETIME)),
      task(nullptr), folder(nullptr), undoCursor(nullptr), keptEntryText(nullptr), windowX(-1), windowY(-1),
      busyLock(new BusyLock()), paletteAnimation(0), presetPaletteIndex(-1), linkedFractal(nullptr),
      treeExpanded(0), stopRequested(0), pendingLayerNotices(0), lastResult(0)
{
    FractalModified(this) = 1;
    memset(reservedInts, 0, sizeof reservedInts);
    imageFileName[0] = 0;
    header->Author = TextBuffer(g_AuthorName, 10);
    CopyDefaultPalette(palette);
    alphaChannel.Clear();
    alphaChannel.CopyFrom(nullptr);
    Register(this);
}

Fractal::Fractal(int type, int subtype)
    : header(new FractalHeader()), commentLines(nullptr), commentTemplate(new GrowBuffer(50)),
      commentText(new GrowBuffer(50)), pendingEntryText(nullptr), magic(FRACTAL_MAGIC), imageLockCount(0),
      renderJob(nullptr), suppressDrawing(0), dither(0), baseFractal(nullptr), layer(nullptr),
      networkCalculation(0), taskReady(0), typeParameters(nullptr), params3D(nullptr), task(nullptr),
      folder(nullptr), undoCursor(nullptr), keptEntryText(nullptr), windowX(-1), windowY(-1),
      busyLock(new BusyLock()), paletteAnimation(0), presetPaletteIndex(-1), linkedFractal(nullptr),
      treeExpanded(0), stopRequested(0), pendingLayerNotices(0), lastResult(0)
{
    FractalModified(this) = 1;
    memset(reservedInts, 0, sizeof reservedInts);
    imageFileName[0] = 0;
    header->Author = TextBuffer(g_AuthorName, 10);
    CopyDefaultTemplate(commentTemplate);
    const SYSTEMTIME& t = header->CreationTime;
    credits.Append(new CreditEntry(g_AuthorName, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute));
    Register(this);

    SetDefaults(type, subtype);
    ChangeType(type, subtype);
    if (g_DefaultComment) {
        CopyDefaultTemplate(commentTemplate);
        ExpandCommentTemplate();
    }
    CopyDefaultPalette(palette);
    paletteAnimation = 0;
    treeExpanded = 0;
    stopRequested = 0;
    pendingLayerNotices = 0;
    alphaChannel.Clear();
    alphaChannel.CopyFrom(nullptr);
    ExpandCommentTemplate();
}

Fractal::Fractal(const Fractal& o)
    : header(new FractalHeader()), commentLines(nullptr), commentTemplate(nullptr), commentText(nullptr),
      pendingEntryText(nullptr), magic(FRACTAL_MAGIC), imageLockCount(0), renderJob(nullptr),
      suppressDrawing(0), dither(0), baseFractal(nullptr), layer(nullptr), networkCalculation(0), taskReady(0),
      typeParameters(nullptr), params3D(nullptr), task(nullptr), folder(nullptr), undoCursor(nullptr),
      keptEntryText(nullptr), windowX(-1), windowY(-1), busyLock(new BusyLock()), paletteAnimation(0),
      presetPaletteIndex(o.presetPaletteIndex), linkedFractal(nullptr), treeExpanded(0), stopRequested(0),
      pendingLayerNotices(0), lastResult(0)
{
    header->CopyFrom(*o.header);
    FractalModified(this) = o.int2;
    memset(reservedInts, 0, sizeof reservedInts);
    imageFileName[0] = 0;
    Register(this);

    SetDefaults(o.header->Type, o.header->Subtype);
    header->CopyFrom(*o.header);
    if (o.typeParameters) {
        switch (o.header->Type) {
        case FT_PLASMA:
            typeParameters = new PlasmaParameters(*static_cast<const PlasmaParameters*>(o.typeParameters));
            break;
        case FT_DYNAMICSYSTEM:
            typeParameters =
                new DynamicSystemParameters(*static_cast<const DynamicSystemParameters*>(o.typeParameters));
            break;
        case FT_LSYSTEM:
            typeParameters = new LSystemParameters(*static_cast<const LSystemParameters*>(o.typeParameters));
            break;
        case FT_IFS:
            typeParameters = new IFSParameters(*static_cast<const IFSParameters*>(o.typeParameters));
            break;
        case FT_ESCAPETIME:
            typeParameters =
                new EscapetimeParameters(this, *static_cast<const EscapetimeParameters*>(o.typeParameters));
            break;
        case FT_LAYERED:
            typeParameters =
                new LayeredParameters(*static_cast<const LayeredParameters*>(o.typeParameters), this);
            break;
        case FT_QUATERNION:
            typeParameters =
                new QuaternionParameters(this, *static_cast<const QuaternionParameters*>(o.typeParameters));
            break;
        case FT_ATTRACTOR:
            typeParameters =
                new AttractorParameters(this, *static_cast<const AttractorParameters*>(o.typeParameters));
            break;
        default:
            break;
        }
    }
    header->Dims = o.header->Dims;
    params3D = o.params3D ? new Parameters3D(*o.params3D) : nullptr;
    SetName(o.name);
    key = o.key;
    header->DisplayDepth = o.header->DisplayDepth;
    dither = o.dither;
    pendingEntryText = Duplicate(o.pendingEntryText);
    commentLines = Duplicate(o.commentLines);
    delete commentTemplate;
    delete commentText;
    commentTemplate = CloneBuffer(o.commentTemplate);
    commentText = CloneBuffer(o.commentText);
    header->CreationTime = o.header->CreationTime;
    header->SaveTime = o.header->SaveTime;
    header->CalcTime = o.header->CalcTime;
    for (ListNode* n = o.credits.GetHead(); n; n = n->next)
        credits.Append(new CreditEntry(*static_cast<const CreditEntry*>(n)));
    delete header->Author;
    header->Author = nullptr;
    if (o.header->Author)
        header->Author = TextBuffer((const char*)o.header->Author->GetData(), 10);
    if (o.header->ModifiedBy)
        header->ModifiedBy = TextBuffer((const char*)o.header->ModifiedBy->GetData(), 10);
    imageLockCount = 0;
    palette.CopyFrom(o.palette);
    palette.offset = o.palette.offset;
    paletteAnimation = o.paletteAnimation;
    treeExpanded = o.treeExpanded;
    stopRequested = 0;
    pendingLayerNotices = 0;
    alphaChannel.Clear();
    alphaChannel.CopyFrom(&o.alphaChannel);
    alphaChannel.offset = o.alphaChannel.offset;
}

Fractal::~Fractal()
{
    magic = 0;
    Unregister(this);
    // A fractal deleted without DeleteFractal leaves neither a folder node
    // nor a layer record pointing at it.
    UnlinkFromFolder(this);
    if (layer && layer->fractal == this)
        layer->fractal = nullptr;
    free(pendingEntryText);
    pendingEntryText = nullptr;
    free(keptEntryText);
    keptEntryText = nullptr;
    FreeFormulas();
    alphaChannel.Clear();
    palette.ClearKnots(-1);
    // An undo step's snapshot is the heap text in its data pointer.
    while (ListNode* step = undoSteps.GetHead()) {
        free(step->data);
        step->data = nullptr;
        undoSteps.Remove(step);
        delete step;
    }
    delete commentTemplate;
    delete commentText;
    commentTemplate = commentText = nullptr;
    ClearCredits();
    free(commentLines);
    commentLines = nullptr;
    delete busyLock;
    busyLock = nullptr;
    FreeTypeParameters(typeParameters);
    typeParameters = nullptr;
    delete params3D;
    params3D = nullptr;
    if (header) {
        delete header->Author;
        delete header->ModifiedBy;
        delete header;
        header = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Reset and type change

void Fractal::SetDefaults(int type, int subtype)
{
    if (typeParameters && type != header->Type) {
        FreeTypeParameters(typeParameters);
        typeParameters = nullptr;
    }
    header->Subtype = subtype;
    header->Type = type;
    key = 10.0;
    next = prev = nullptr;
    memset(reservedInts, 0, sizeof reservedInts);
    header->WinWidth = header->Width = 640;
    header->WinHeight = header->Height = 480;
    header->CalcStart = header->CalcEnd = header->PausedTime = header->ExtraTime = -1;
    header->Dims = 0;
    header->ColCyc = 0;
    header->ColCycUp = 1;
    header->ColCycSpeed = 4.0;
    header->ColCycStep = 1.0;
    suppressDrawing = 0;
    strcpy(header->BaseName, "Unnamed");
    windowX = windowY = -1;
    task = nullptr;
    pendingEntryText = nullptr;
    linkedFractal = nullptr;
    header->DisplayDepth = g_DisplayDepthSetting;
    networkCalculation = 0;
    taskReady = 0;
    header->Scrollbar = 0;
    free(commentLines);
    commentLines = nullptr;
    if (g_DefaultComment) {
        CopyDefaultTemplate(commentTemplate);
        ExpandCommentTemplate();
    }

    static const struct {
        int type;
        const char* name;
        int dims;       // -1 leaves Dims at 0
        bool depth24;   // the type always draws 24-bit images
    } kTypeDefaults[] = {
        {FT_PLASMA, "Plasma", -1, false},
        {FT_DYNAMICSYSTEM, "DynamicSystem", -1, false},
        {FT_LSYSTEM, "LSystem", -1, false},
        {FT_IFS, "IFS", -1, false},
        {FT_ESCAPETIME, "Escapetime", -1, true},
        {FT_LAYERED, "Layered Fractal", -1, true},
        {FT_QUATERNION, "Quaternion", 1, true},
        {FT_ATTRACTOR, "Attractor", 0, true},
    };
    for (const auto& d : kTypeDefaults) {
        if (d.type != type)
            continue;
        SetName(d.name);
        if (d.dims >= 0)
            header->Dims = d.dims;
        if (d.depth24)
            header->DisplayDepth = 24;
    }
    dither = header->DisplayDepth == 24 && ScreenDepth == 8 ? 1 : 0;
}

void Fractal::ChangeType(int type, int subtype)
{
    delete params3D;
    params3D = new Parameters3D(type);
    CopyDefaultPalette(palette);
    paletteAnimation = 0;
    treeExpanded = 0;
    stopRequested = 0;
    pendingLayerNotices = 0;
    // The old block is released by the type it was made for.
    FreeTypeParameters(typeParameters);
    typeParameters = nullptr;
    header->Subtype = subtype;
    header->Type = type;
    typeParameters = CreateTypeParameters(type, subtype);
    if (type == FT_ESCAPETIME || type == FT_LAYERED || type == FT_QUATERNION || type == FT_ATTRACTOR)
        header->DisplayDepth = 24;
}

void Fractal::Rename(const char* newName, bool makeUnique)
{
    char text[NODE_NAME_SIZE];
    lstrcpynA(text, newName ? newName : "", sizeof text);
    SetName(text);
    // The fractal itself carries the name now: one match is allowed.
    if (makeUnique && folder) {
        char unique[NODE_NAME_SIZE * 2];
        folder->fractals.MakeUniqueName(name, unique, true);
        lstrcpynA(text, unique, sizeof text);
        SetName(text);
    }
    FractalModified(this) = 1;
    if (baseFractal)
        FractalModified(baseFractal) = 1;
    if (folder)
        folder->int2 = 1;
    if (g_FractalRenamed)
        g_FractalRenamed(this);
}

// ---------------------------------------------------------------------------
// Small operations

void Fractal::UpdatePalette()
{
    if (g_PaletteChanged && g_PaletteChanged(this))
        return;
    ApplyPalette();
}

bool Fractal::Is3DType() const
{
    return header->Type == FT_QUATERNION || header->Type == FT_ATTRACTOR;
}

void Fractal::FreeFormulas()
{
    if (!typeParameters)
        return;
    switch (header->Type) {
    case FT_ESCAPETIME: static_cast<EscapetimeParameters*>(typeParameters)->FreeFormulas(); break;
    case FT_LAYERED: static_cast<LayeredParameters*>(typeParameters)->RemoveAllLayers(); break;
    case FT_QUATERNION: static_cast<QuaternionParameters*>(typeParameters)->FreeFormulas(); break;
    case FT_ATTRACTOR: static_cast<AttractorParameters*>(typeParameters)->FreeFormulas(); break;
    default: break;
    }
}

void Fractal::ClearCredits()
{
    credits.DeleteAllNodes();
}

int Fractal::GetBufferWidth() const
{
    return header->Width + 1;
}

int Fractal::GetImageStride() const
{
    return (header->Width + 4) & ~3;
}

int Fractal::GetCalculationResult() const
{
    if (header->Type != FT_LAYERED || !typeParameters)
        return lastResult;
    int result = 0;
    const LayeredParameters* block = static_cast<const LayeredParameters*>(typeParameters);
    for (ListNode* n = block->layers.GetHead(); n; n = n->next) {
        const Fractal* f = static_cast<const Layer*>(n)->fractal;
        if (f && f->lastResult != 0)
            result = f->lastResult;
    }
    return result;
}

void Fractal::Lock()
{
    while (InterlockedCompareExchange(&imageLockCount, 1, 0) != 0)
        Sleep(10);
}

void Fractal::Unlock()
{
    InterlockedExchange(&imageLockCount, 0);
}

// ---------------------------------------------------------------------------
// What the compiler reads of the fractal

int Fractal::HostFractalType() const
{
    return header != NULL ? header->Type : -1;
}

bool Fractal::HostViewWidth(double* width) const
{
    if (typeParameters == NULL)
        return false;
    // In arbitrary precision: a deep zoom's corners differ far below what
    // their doubles could tell apart.
    *width = (typeParameters->BottomRightR - typeParameters->TopLeftR).ToDouble();
    return true;
}

volatile int* Fractal::HostCommandWord()
{
    return task != NULL ? &task->command : NULL;
}

const char* Fractal::HostName() const
{
    return name;
}

const char* Fractal::HostBaseName() const
{
    return baseFractal != NULL ? baseFractal->name : NULL;
}
