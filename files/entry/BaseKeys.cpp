// The base keys of a parameter entry: the header, view and window items
// (written only where they differ from a fresh fractal of the same type),
// and the reader of those keys, which also knows the header keys of older
// entries and of Fractint's files. Keys that map onto formula slots are
// passed on to ReadFormulaKeys (FractintKeys.cpp).
#include "files/entry/BaseKeys.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>

#include "calc/colour/Palette.h"
#include "document/Fractal.h"
#include "document/ParameterTables.h"
#include "document/ViewGeometry.h"
#include "files/entry/EntryFormat.h"
#include "files/entry/EntryTypeNames.h"
#include "files/entry/OldKeyValues.h"
#include "files/entry/TextWriter.h"
#include "foundation/Buffers.h"
#include "foundation/ImageFilter.h"
#include "foundation/List.h"
#include "foundation/bignum/BigNumber.h"

namespace {

// ---------------------------------------------------------------- writing

std::string BigText(const BigNumber& value, int digits)
{
    int size = FormatBigNumberSize(value, digits) + 8;
    std::string text(size, '\0');
    FormatBigNumber(value, &text[0], digits, size);
    text.resize(strlen(text.c_str()));
    return text;
}

// Significant digits of the corners: enough to tell neighbouring pixels
// apart at the view's width.
int CornerDigits(const ViewParameters& view)
{
    double width = (view.BottomRightR - view.TopLeftR).Abs().ToDouble();
    if (!(width > 0) || !isfinite(width))
        return 16;
    double d = floor(4.5 - log10(width));
    if (d < 1)
        return 1;
    return d > 2000 ? 2000 : (int)d;
}

std::string CornersItem(const ViewParameters& view)
{
    int d = CornerDigits(view);
    std::string item = "Corners=" + BigText(view.TopLeftR, d) + "/" + BigText(view.BottomRightR, d) + "/" +
                       BigText(view.BottomRightI, d) + "/" + BigText(view.TopLeftI, d);
    if (view.Stretch)
        item += "/" + BigText(view.TopLeftR + view.BottomRightR - view.TopRightR, d) + "/" +
                BigText(view.TopLeftI + view.BottomRightI - view.TopRightI, d) + "/";
    return item;
}

void WriteIntIfDiffers(TextWriter& writer, const char* format, int value, int defaultValue)
{
    if (value != defaultValue)
        writer.WriteItem(EntryFormat(format, value).c_str());
}

void WriteRealIfDiffers(TextWriter& writer, const char* format, double value, double defaultValue)
{
    if (value != defaultValue)
        writer.WriteItem(EntryFormat(format, value).c_str());
}

// ---------------------------------------------------------------- reading

// The header and view keys of the chain, in its order; the keys that map
// onto formula slots follow in FractintKeys.cpp.
#define HEADER_KEYS(X)                                                                                  \
    X(SUBTYPE, "SUBTYPE") X(CREATIONTIME, "creationTime") X(SAVETIME, "saveTime")                      \
    X(COMMENTTEMPLATE, "commentTemplate") X(COMMENTTEXT, "commentText") X(BITMAPNAME, "bitmapName")    \
    X(CREDITS, "credits") X(CREATOR, "Creator") X(MODIFIEDBY, "ModifiedBy") X(CALCTIME, "calcTime")    \
    X(NUMFRAMES, "NUMFRAMES") X(DISPLAYDEPTH, "DISPLAYDEPTH") X(WIDTH, "WIDTH") X(HEIGHT, "HEIGHT")    \
    X(PALETTEANIMATION, "PaletteAnimation") X(DIMS, "DIMS") X(COLCYC, "COLCYC")                        \
    X(COLCYCUP, "COLCYCUP") X(COLCYCSPEED, "COLCYCSPEED") X(COLCYCSTEP, "COLCYCSTEP")                  \
    X(PALOFFSET, "PALOFFSET") X(PALNAME, "PALNAME") X(WINWIDTH, "WINWIDTH") X(WINHEIGHT, "WINHEIGHT")  \
    X(FILTERSTEP, "FILTERSTEP") X(IMAGEFILTER, "IMAGEFILTER") X(SCROLLBAR, "SCROLLBAR")                \
    X(INVERT, "INVERT") X(COLORS, "COLORS") X(CORNERS, "CORNERS") X(CENTERMAG, "center-mag")

enum HeaderKey {
#define KEY_ENUM(id, text) HK_##id,
    HEADER_KEYS(KEY_ENUM)
#undef KEY_ENUM
    HK_COUNT
};

const char* const kHeaderKeys[HK_COUNT] = {
#define KEY_TEXT(id, text) text,
    HEADER_KEYS(KEY_TEXT)
#undef KEY_TEXT
};

int FindHeaderKey(const char* key)
{
    for (int i = 0; i < HK_COUNT; i++)
        if (strcasecmp(key, kHeaderKeys[i]) == 0)
            return i;
    return -1;
}

void ReadInt(const char* text, int* field)
{
    int v;
    if (ReadIntValue(text, &v))
        *field = v;
}

void ReadReal(const char* text, double* field)
{
    double v;
    if (ReadRealValue(text, &v))
        *field = v;
}

bool ReadTime(const char* text, SYSTEMTIME* time)
{
    int v[6];
    if (sscanf(text, "%d/%d/%d/%d/%d/%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6)
        return false;
    time->wYear = (WORD)v[0];
    time->wMonth = (WORD)v[1];
    time->wDay = (WORD)v[2];
    time->wHour = (WORD)v[3];
    time->wMinute = (WORD)v[4];
    time->wSecond = (WORD)v[5];
    return true;
}

// Stores text with every two-character "\n" turned into a line feed.
void SetEscapedText(GrowBuffer* buffer, const char* text, int slack, int factor)
{
    int length = (int)strlen(text);
    buffer->Reset(factor * length + slack);
    char* out = (char*)buffer->GetData();
    for (const char* p = text; *p; p++) {
        if (p[0] == '\\' && p[1] == 'n') {
            *out++ = '\n';
            p++;
        } else {
            *out++ = *p;
        }
    }
    *out = 0;
}

// Author and modified-by texts: a buffer with room for the text + 10.
void SetHeaderText(GrowBuffer*& buffer, const char* text)
{
    int size = (int)strlen(text) + 10;
    if (!buffer)
        buffer = new GrowBuffer(size);
    else
        buffer->Reset(size);
    strcpy((char*)buffer->GetData(), text);
}

// One credits record from "month/day/year/hour/minute"; missing numbers
// are 0. The name keeps at most 63 characters.
void AppendCredit(Fractal* fractal, const std::string& name, const char* numbers)
{
    int v[5] = {0, 0, 0, 0, 0};
    sscanf(numbers, "%d/%d/%d/%d/%d", &v[0], &v[1], &v[2], &v[3], &v[4]);
    fractal->credits.Append(new CreditEntry(name.substr(0, 63).c_str(), v[2], v[0], v[1], v[3], v[4]));
}

// Name and number parts alternate; the part after the last ';' is always
// read as numbers.
void ReadCredits(Fractal* fractal, const char* value)
{
    std::string name;
    bool expectName = true;
    const char* part = value;
    for (const char* semicolon; (semicolon = strchr(part, ';')) != NULL; part = semicolon + 1) {
        std::string text(part, semicolon - part);
        if (expectName) {
            name = text;
        } else {
            AppendCredit(fractal, name, text.c_str());
            name.clear();
        }
        expectName = !expectName;
    }
    AppendCredit(fractal, name, part);
}

void CopyNamedPalette(Fractal* fractal, const char* name)
{
    fractal->palette.CopyFrom(*FindPalette(name));
}

void ReadColors(Fractal* fractal, const char* value)
{
    if (value[0] == '@') {
        char name[64];
        snprintf(name, sizeof name, "%s", value + 1);
        size_t length = strlen(name);
        if (length >= 4 && strcasecmp(name + length - 4, ".map") == 0)
            name[length - 4] = 0;
        CopyNamedPalette(fractal, name);
        return;
    }
    fractal->palette.ClearKnots(-1);
    DecodeFractintColors(value, &fractal->palette);
    fractal->palette.smooth = 0;
}

// Decimal text as the arbitrary-precision numbers take it; anything else
// leaves the field as it was.
bool IsNumberText(const char* text)
{
    double ignored;
    return ReadRealValue(text, &ignored);
}

bool AssignNumber(BigNumber& field, const char* text)
{
    if (!IsNumberText(text))
        return false;
    while (*text == ' ' || *text == '\t')
        text++;
    field = text;
    return true;
}

// Splits value at '/' in place into at most max parts (text after a
// further '/' is dropped); returns the number of parts.
int SplitSlashes(char* value, char** parts, int max)
{
    int n = 0;
    for (char* p = value; p && n < max;) {
        parts[n++] = p;
        char* slash = strchr(p, '/');
        if (slash)
            *slash = 0;
        p = slash ? slash + 1 : NULL;
    }
    return n;
}

// Fractint's order xmin/xmax/ymin/ymax/x3rd/y3rd; (x3rd, y3rd) is the
// bottom-left corner, from which the top-right one is completed.
void ReadCorners(Fractal* fractal, char* value, bool old)
{
    ViewParameters* view = fractal->typeParameters;
    if (!view)
        return;
    bool exactlyFour = false;
    {
        // Four numbers and no '/' after the fourth clears the stretch.
        int slashes = 0;
        for (const char* p = value; *p; p++)
            slashes += *p == '/';
        exactlyFour = slashes == 3;
    }
    char* parts[6];
    int n = SplitSlashes(value, parts, 6);
    AssignNumber(view->TopLeftR, parts[0]);
    if (n > 1)
        AssignNumber(view->BottomRightR, parts[1]);
    if (n > 2)
        AssignNumber(view->BottomRightI, parts[2]);
    if (n > 3)
        AssignNumber(view->TopLeftI, parts[3]);
    if (exactlyFour)
        view->Stretch = 0;
    BigNumber x3, y3 = view->TopLeftI;
    if (n < 5 || !AssignNumber(x3, parts[4]))
        return;
    if (n > 5)
        AssignNumber(y3, parts[5]);
    view->Stretch = 1;
    view->TopRightR = view->BottomRightR - (x3 - view->TopLeftR);
    view->TopRightI = view->BottomRightI - (y3 - view->TopLeftI);
    if (!(old && fractal->header->Type == FT_ESCAPETIME))
        return;
    // Old and Fractint entries carry the skew in a transformation over an
    // unstretched view.
    view->Stretch = 0;
    BigNumber width = view->BottomRightR - view->TopLeftR;
    BigNumber height = view->TopLeftI - view->BottomRightI;
    // A view without width or height has no skew to speak of.
    double xmag = width.Sign() ? ((view->TopRightR - view->TopLeftR) / width).ToDouble() : 1.0;
    double ymag = height.Sign() ? ((view->TopRightI - view->BottomRightI) / height).ToDouble() : 1.0;
    AddSkewTransformation(fractal, xmag, ymag);
    view->TopRightR = view->BottomRightR;
    view->TopRightI = view->TopLeftI;
}

void ReadCenterMag(Fractal* fractal, char* value)
{
    char* parts[6];
    int n = SplitSlashes(value, parts, 6);
    BigNumber numbers[4];
    for (int i = 0; i < 4 && i < n; i++)
        AssignNumber(numbers[i], parts[i]);
    double angles[2] = {0, 0};
    for (int i = 4; i < n; i++)
        ReadReal(parts[i], &angles[i - 4]);
    SetCornersFromCenterMag(fractal, numbers[0], numbers[1], numbers[2], numbers[3], angles[0], angles[1]);
}

void ReadInvert(Fractal* fractal, char* value)
{
    char* parts[3];
    if (SplitSlashes(value, parts, 3) < 3)
        return;
    double radius = 0, x = 0, y = 0;
    ReadReal(parts[0], &radius);
    ReadReal(parts[1], &x);
    ReadReal(parts[2], &y);
    if (fractal->header->Type == FT_ESCAPETIME) {
        AddInversionTransformation(fractal, radius, x, y);
        return;
    }
    ViewParameters* view = fractal->typeParameters;
    if (!view)
        return;
    view->Inversion = 1;
    view->InvRadius = radius;
    AssignNumber(view->InvCenterX, parts[1]);
    AssignNumber(view->InvCenterY, parts[2]);
}

ImageFilter* FindImageFilter(const char* name)
{
    for (ListNode* n = g_ImageFilters.GetHead(); n; n = n->next) {
        ImageFilter* filter = static_cast<ImageFilter*>(n);
        if (strcasecmp(filter->GetEntryName(), name) == 0)
            return filter;
    }
    return NULL;
}

bool IsOldEscapeTime(const Fractal* fractal, int oldType)
{
    return fractal->header->Type == FT_ESCAPETIME &&
           (oldType <= 4 || oldType == 5 || oldType == 7 || oldType == 11 || oldType == 12);
}

// 1 consumed, 0 handed back, -1 not a header key.
int ReadHeaderKey(Fractal* fractal, int which, char* value, int oldType, int mask)
{
    FractalHeader* h = fractal->header;
    bool window = (mask & ENTRY_MASK_WINDOW_KEYS) != 0;
    bool old = IsOldEscapeTime(fractal, oldType);
    int type = h->Type;
    switch (which) {
    case HK_SUBTYPE:
        if (type != FT_ESCAPETIME)
            ReadInt(value, &h->Subtype);
        return 1;
    case HK_CREATIONTIME:
        ReadTime(value, &h->CreationTime);
        return 1;
    case HK_SAVETIME:
        ReadTime(value, &h->SaveTime);
        return 1;
    case HK_COMMENTTEMPLATE:
        SetEscapedText(fractal->commentTemplate, value, 100, 2);
        return 1;
    case HK_COMMENTTEXT:
        SetEscapedText(fractal->commentText, value, 10, 2);
        return 1;
    case HK_BITMAPNAME:
        snprintf(fractal->imageFileName, sizeof fractal->imageFileName, "%s", value);
        return 1;
    case HK_CREDITS:
        ReadCredits(fractal, value);
        return 1;
    case HK_CREATOR:
        SetHeaderText(h->Author, value);
        return 1;
    case HK_MODIFIEDBY:
        SetHeaderText(h->ModifiedBy, value);
        return 1;
    case HK_CALCTIME:
        ReadInt(value, &h->CalcTime);
        return 1;
    case HK_NUMFRAMES:
        ReadReal(value, &fractal->key);
        return 1;
    case HK_DISPLAYDEPTH: {
        int depth;
        if (!ReadIntValue(value, &depth))
            return 1;
        if (type == FT_ESCAPETIME)
            ApplyOldDisplayDepth(fractal, depth, oldType);
        else if (type != FT_QUATERNION && type != FT_ATTRACTOR && type != FT_LAYERED)
            h->DisplayDepth = depth;
        return 1;
    }
    case HK_WIDTH:
        if (window)
            ReadInt(value, &h->Width);
        return 1;
    case HK_HEIGHT:
        if (window)
            ReadInt(value, &h->Height);
        return 1;
    case HK_PALETTEANIMATION:
        ReadInt(value, &fractal->paletteAnimation);
        return 1;
    case HK_DIMS:
        ReadInt(value, &h->Dims);
        return 1;
    case HK_COLCYC:
        ReadInt(value, &h->ColCyc);
        return 1;
    case HK_COLCYCUP:
        ReadInt(value, &h->ColCycUp);
        return 1;
    case HK_COLCYCSPEED:
        ReadReal(value, &h->ColCycSpeed);
        return 1;
    case HK_COLCYCSTEP:
        ReadReal(value, &h->ColCycStep);
        return 1;
    case HK_PALOFFSET:
        ReadReal(value, &fractal->palette.offset);
        return 1;
    case HK_PALNAME:
        CopyNamedPalette(fractal, value);
        return 1;
    case HK_WINWIDTH:
        if (window)
            ReadInt(value, &h->WinWidth);
        return 1;
    case HK_WINHEIGHT:
        if (window)
            ReadInt(value, &h->WinHeight);
        return 1;
    case HK_FILTERSTEP:
        if (window)
            ReadInt(value, &h->FilterStep);
        return 1;
    case HK_IMAGEFILTER:
        if (window)
            h->ImageFilter = FindImageFilter(value);
        return 1;
    case HK_SCROLLBAR: {
        int v;
        if (window && ReadIntValue(value, &v))
            h->Scrollbar = v != 0;
        return 1;
    }
    case HK_INVERT:
        ReadInvert(fractal, value);
        return 1;
    case HK_COLORS:
        ReadColors(fractal, value);
        return 1;
    case HK_CORNERS:
        ReadCorners(fractal, value, old);
        return 1;
    case HK_CENTERMAG:
        ReadCenterMag(fractal, value);
        return 1;
    }
    return -1;
}

}  // namespace

// ---------------------------------------------------------------- entry points

void WriteBaseKeys(TextWriter& writer, Fractal* defaultFractal, Fractal* fractal, int mask)
{
    const FractalHeader& h = *fractal->header;
    const FractalHeader& d = *defaultFractal->header;
    int type = h.Type;
    const char* typeName = type >= 0 && type < ENTRY_TYPE_COUNT ? g_EntryTypeNames[type] : "Unknown_19";
    writer.WriteItem(EntryFormat("Type=%s", typeName).c_str());
    writer.WriteItem(EntryFormat("Subtype=%d", h.Subtype).c_str());
    if (mask & ENTRY_MASK_BASE_KEYS) {
        bool window = (mask & ENTRY_MASK_WINDOW_KEYS) != 0;
        if (window) {
            WriteIntIfDiffers(writer, "Width=%d", h.Width, d.Width);
            WriteIntIfDiffers(writer, "Height=%d", h.Height, d.Height);
        }
        WriteIntIfDiffers(writer, "Dims=%d", h.Dims, d.Dims);
        WriteIntIfDiffers(writer, "ColCyc=%d", h.ColCyc, d.ColCyc);
        WriteIntIfDiffers(writer, "ColCycUp=%d", h.ColCycUp, d.ColCycUp);
        WriteRealIfDiffers(writer, "ColCycSpeed=%.3lf", h.ColCycSpeed, d.ColCycSpeed);
        WriteRealIfDiffers(writer, "ColCycStep=%.3lf", h.ColCycStep, d.ColCycStep);
        WriteRealIfDiffers(writer, "NumFrames=%.3lf", fractal->key, defaultFractal->key);
        WriteRealIfDiffers(writer, "PalOffset=%.3lf", fractal->palette.offset, defaultFractal->palette.offset);
        if (window) {
            WriteIntIfDiffers(writer, "WinWidth=%d", h.WinWidth, d.WinWidth);
            WriteIntIfDiffers(writer, "WinHeight=%d", h.WinHeight, d.WinHeight);
            if (h.ImageFilter) {
                writer.WriteItem(EntryFormat("ImageFilter=%s", h.ImageFilter->GetEntryName()).c_str());
                writer.WriteItem(EntryFormat("FilterStep=%d", h.FilterStep).c_str());
            }
        }
        const ViewParameters* view = fractal->typeParameters;
        if (view && type >= 0 && type < TYPE_FLAG_CODES && TypeFlag(TF_VIEW_AREA, type))
            writer.WriteItem(CornersItem(*view).c_str());
        if (view && view->Inversion)
            writer.WriteItem((EntryFormat("invert=%.20lg/", view->InvRadius) + BigText(view->InvCenterX, 60) + "/" +
                              BigText(view->InvCenterY, 60))
                                 .c_str());
        if (window)
            WriteIntIfDiffers(writer, "Scrollbar=%d", h.Scrollbar, d.Scrollbar);
    }
    writer.WriteItem(EntryFormat("DisplayDepth=%d", h.DisplayDepth).c_str());
}

int ReadOldKeys(Fractal* fractal, const ParameterDescriptor* table, const char* key, char* value, int oldType,
                bool fractint, int mask)
{
    (void)table;
    int which = FindHeaderKey(key);
    if (which >= 0) {
        int result = ReadHeaderKey(fractal, which, value, oldType, mask);
        if (result >= 0)
            return result;
    }
    return ReadFormulaKeys(fractal, key, value, oldType, fractint);
}

void MapImportedExtension(char* fileName)
{
    size_t length = strlen(fileName);
    if (length < 4)
        return;
    char* extension = fileName + length - 4;
    if (strcasecmp(extension, ".frm") == 0 || strcasecmp(extension, ".ufm") == 0)
        strcpy(extension, ".sfm");
    else if (strcasecmp(extension, ".uxf") == 0)
        strcpy(extension, ".str");
    else if (strcasecmp(extension, ".ucl") == 0)
        strcpy(extension, ".scl");
}
