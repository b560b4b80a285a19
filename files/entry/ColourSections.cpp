// Writing and reading the layer:, gradient:, alpha: and height-knot items of
// parameter entries, in the program's own form and in the layered form of
// UltraFractal entries and gradient files (layer:, mapping:, gradient:,
// opacity:). Numbers keep every digit they hold so that entries read back
// equal.
#include "files/entry/ColourSections.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "calc/colour/ColorModels.h"
#include "document/EscapetimeParameters.h"
#include "document/Fractal.h"
#include "document/Layer.h"
#include "files/entry/EntryFormat.h"
#include "files/entry/EntryWriter.h"
#include "files/entry/TextWriter.h"
#include "view3d/Parameters3D.h"

namespace {

// Section codes of the entry reader.
enum {
    SEC_LAYER = 5,
    SEC_GRADIENT = 6,
    SEC_UF_LAYER = 101,
    SEC_UF_MAPPING = 102,
    SEC_UF_GRADIENT = 103,
    SEC_ALPHA = 104,
};

bool IsYes(const char* value)
{
    return _stricmp(value, "yes") == 0;
}

int NameIndex(const char* const* names, const char* value)
{
    for (int i = 0; names[i]; ++i)
        if (_stricmp(names[i], value) == 0)
            return i;
    return -1;
}

// The three bytes of a colour whose red is in the low byte (UltraFractal).
void SetLowRed(uint8_t* rgb, int colour)
{
    rgb[0] = (uint8_t)(colour & 0xFF);
    rgb[1] = (uint8_t)((colour >> 8) & 0xFF);
    rgb[2] = (uint8_t)((colour >> 16) & 0xFF);
}

// ----- layers

void ReadLayerKey(Layer* layer, const char* key, const char* value)
{
    double d;
    if (strcmp(key, "caption") == 0) {
        layer->SetName(value);
    } else if (strcmp(key, "mergemode") == 0) {
        int mode = NameIndex(g_MergeModeFileNames, value);
        layer->mergeMode = mode < 0 ? 0 : mode;
    } else if (strcmp(key, "opacity") == 0) {
        if (ReadRealValue(value, &d))
            layer->opacity = d;
    } else if (strcmp(key, "leftoffset") == 0) {
        if (ReadRealValue(value, &d))
            layer->leftOffset = d;
    } else if (strcmp(key, "bottomoffset") == 0) {
        if (ReadRealValue(value, &d))
            layer->bottomOffset = d;
    } else if (strcmp(key, "visible") == 0) {
        layer->visible = IsYes(value);
    } else if (strcmp(key, "mask") == 0) {
        layer->mask = IsYes(value);
    } else if (strcmp(key, "usesAlpha") == 0) {
        layer->usesAlpha = IsYes(value);
    }
}

// The layer: section of the layered form: the layer and the settings of
// its escape-time fractal.
void ReadImportedLayerKey(Fractal* fractal, Layer* layer, const char* key, const char* value)
{
    EscapetimeParameters* block = fractal->header->Type == FT_ESCAPETIME
                                      ? static_cast<EscapetimeParameters*>(fractal->typeParameters)
                                      : nullptr;
    int n;
    double d;
    if (strcmp(key, "caption") == 0) {
        fractal->SetName(value);
        if (layer)
            layer->SetName(value);
    } else if (strcmp(key, "method") == 0) {
        if (block && _stricmp(value, "multipass") == 0)
            block->Passes = 2;
        else if (block && _stricmp(value, "linear") == 0)
            block->Passes = 0;
    } else if (strcmp(key, "mergemode") == 0) {
        if (layer) {
            int mode = NameIndex(g_MergeModeFileNames, value);
            layer->mergeMode = mode < 0 ? 0 : mode;
        }
    } else if (strcmp(key, "opacity") == 0) {
        if (layer && ReadRealValue(value, &d))
            layer->opacity = d;
    } else if (strcmp(key, "insolid") == 0 || strcmp(key, "outsolid") == 0 || strcmp(key, "mapsolid") == 0) {
        if (!block || !ReadIntValue(value, &n))
            return;
        uint8_t* rgb = key[0] == 'i'   ? block->insideColouring.SolidColor
                       : key[0] == 'o' ? block->outsideColouring.SolidColor
                                       : block->SolidColorTransformation;
        SetLowRed(rgb, n);
    } else if (strcmp(key, "inalpha") == 0 || strcmp(key, "outalpha") == 0 || strcmp(key, "mapalpha") == 0) {
        if (!block || !ReadIntValue(value, &n))
            return;
        int* opacity = key[0] == 'i'   ? &block->insideColouring.SolidOpacity
                       : key[0] == 'o' ? &block->outsideColouring.SolidOpacity
                                       : &block->SolidOpacityTransformation;
        *opacity = ClampByte(n);
    } else if (strcmp(key, "alpha") == 0 || strcmp(key, "transparent") == 0) {
        if (layer)
            layer->usesAlpha = IsYes(value);
    } else if (strcmp(key, "visible") == 0) {
        if (layer)
            layer->visible = IsYes(value);
    } else if (strcmp(key, "mask") == 0) {
        if (layer)
            layer->mask = IsYes(value);
    }
}

// The mapping: section: centre, magnification and angle of the view.
void ReadMappingKey(Fractal* fractal, const char* key, char* value)
{
    ViewParameters* view = fractal->typeParameters;
    if (!view)
        return;
    double d;
    if (strcmp(key, "center") == 0) {
        char* slash = strchr(value, '/');
        if (!slash)
            return;
        *slash = 0;
        BigNumber re(TrimmedNumber(value).c_str());
        BigNumber im(TrimmedNumber(slash + 1).c_str());
        *slash = '/';
        view->TopLeftR = re;
        view->BottomRightR = re;
        view->TopLeftI = im;
        view->BottomRightI = im;
    } else if (strcmp(key, "magn") == 0) {
        if (!ReadRealValue(value, &d) || d == 0.0)
            return;
        double r = fractal->header->Width > 0 ? (double)fractal->header->Height / fractal->header->Width : 0.75;
        double halfWidth, halfHeight;
        if (r <= 0.75) {
            halfHeight = 1.5 / d;
            halfWidth = 1.5 / (r * d);
        } else {
            halfWidth = 2.0 / d;
            halfHeight = 2.0 * r / d;
        }
        BigNumber half(0.5);
        BigNumber centreR = (view->TopLeftR + view->BottomRightR) * half;
        BigNumber centreI = (view->TopLeftI + view->BottomRightI) * half;
        BigNumber w(halfWidth), h(halfHeight);
        view->TopLeftR = centreR - w;
        view->TopLeftI = centreI + h;
        view->BottomRightR = centreR + w;
        view->BottomRightI = centreI - h;
        view->Stretch = 0;
    } else if (strcmp(key, "angle") == 0) {
        if (ReadRealValue(value, &d))
            view->Angle = -d;
    }
}

// ----- gradients

const char* const kChannelKeys[3] = {"knotr", "knotg", "knotb"};

CurveKnot* KnotAt(const NodeList& list, int i)
{
    return AsKnot(list.GetAt(i));
}

void ReadGradientKey(Palette* palette, const char* key, const char* value)
{
    double a, b, c, d;
    int n;
    if (strcmp(key, "smooth") == 0) {
        palette->smooth = strcmp(value, "yes") == 0 ? 3 : 0;
    } else if (_stricmp(key, "knotmode") == 0) {
        palette->knotmode = _stricmp(value, "all") == 0 ? KNOTMODE_ALL : KNOTMODE_EACH;
    } else if (_stricmp(key, "dragknotmode") == 0) {
        palette->dragknotmode = _stricmp(value, "local") == 0 ? 1 : 0;
    } else if (_stricmp(key, "colormodel") == 0) {
        int model = ColorModelFromName(value);
        if (model >= 0)
            palette->colormodel = model;
    } else if (_stricmp(key, "knotrgb") == 0) {
        if (sscanf(value, "(%lf,%lf,%lf,%lf)", &a, &b, &c, &d) == 4) {
            palette->InsertKnot(0, a, ClampComponent(b));
            palette->InsertKnot(1, a, ClampComponent(c));
            palette->InsertKnot(2, a, ClampComponent(d));
        }
    } else if (_stricmp(key, "Offset") == 0) {
        if (ReadRealValue(value, &a))
            palette->offset = a;
    } else if (strcmp(key, "indexR") == 0 || strcmp(key, "indexG") == 0 || strcmp(key, "indexB") == 0) {
        if (ReadIntValue(value, &n))
            palette->pendingIndex = n + (key[5] == 'R' ? 0 : key[5] == 'G' ? 256 : 512);
    } else if (strcmp(key, "component") == 0) {
        if (!ReadRealValue(value, &a))
            return;
        int i = (int)palette->pendingIndex;
        int channel = i < 256 ? 0 : i < 512 ? 1 : 2;
        palette->InsertKnot(channel, i - 256 * channel, ClampComponent(a));
    } else {
        for (int channel = 0; channel < 3; ++channel)
            if (_stricmp(key, kChannelKeys[channel]) == 0 && sscanf(value, "(%lf,%lf)", &a, &b) == 2)
                palette->InsertKnot(channel, a, ClampComponent(b));
    }
}

// The gradient: section of the layered form and of gradient files: an index
// 0..400 and then the colour at that index.
void ReadImportedGradientKey(Palette* palette, const char* key, const char* value)
{
    int colour;
    if (strcmp(key, "index") == 0) {
        double d;
        if (ReadRealValue(value, &d))
            palette->pendingIndex = d;
    } else if (strcmp(key, "color") == 0) {
        if (!ReadIntValue(value, &colour))
            return;
        double scaled = floor(palette->pendingIndex * PALETTE_SIZE / 400.0 + 0.5);
        // An index outside 0..400 would land outside the gradient.
        if (!(scaled >= 0 && scaled < PALETTE_SIZE))
            return;
        int p = (int)scaled;
        for (ListNode* k = palette->knots[0].GetHead(); k; k = k->next) {
            if (AsKnot(k)->x == p)
                ++p;
            else if (AsKnot(k)->x > p)
                break;
        }
        if (p >= PALETTE_SIZE)
            return;
        uint8_t rgb[3];
        SetLowRed(rgb, colour);
        palette->colorTable[p].rgbRed = rgb[0];
        palette->colorTable[p].rgbGreen = rgb[1];
        palette->colorTable[p].rgbBlue = rgb[2];
        for (int channel = 0; channel < 3; ++channel)
            palette->InsertKnot(channel, p, rgb[channel]);
    } else if (strcmp(key, "smooth") == 0) {
        palette->smooth = strcmp(value, "yes") == 0 ? 3 : 0;
    } else if (strcmp(key, "title") == 0) {
        palette->SetName(value);
    }
}

// ----- alpha channel

bool AlphaIsPlain(const AlphaChannel& alpha)
{
    if (alpha.points.Count() > 1)
        return false;
    const CurveKnot* only = AsKnot(alpha.points.GetHead());
    if (only && (only->x > 0 || only->y != 255))
        return false;
    return !(alpha.offset > 0 || alpha.smooth || alpha.dragknotmode);
}

void ReadAlphaKey(AlphaChannel* alpha, const char* key, const char* value)
{
    double d;
    if (strcmp(key, "index") == 0) {
        if (ReadRealValue(value, &d))
            alpha->pendingIndex = d;
    } else if (strcmp(key, "alpha") == 0 || strcmp(key, "opacity") == 0) {
        // The point goes where the index said, fraction included, so that
        // a point the writer gave more digits comes back where it was.
        if (ReadRealValue(value, &d))
            alpha->points.Append(new CurveKnot(alpha->pendingIndex, ClampComponent(d)));
    } else if (strcmp(key, "smooth") == 0) {
        alpha->smooth = strcmp(value, "yes") == 0 ? 3 : 0;
    } else if (strcmp(key, "title") == 0) {
        alpha->SetName(value);
    } else if (_stricmp(key, "dragknotmode") == 0) {
        alpha->dragknotmode = _stricmp(value, "local") == 0 ? 1 : 0;
    } else if (_stricmp(key, "Offset") == 0) {
        if (ReadRealValue(value, &d))
            alpha->offset = d;
    }
}

// Inserts k into the height curve before the first knot with a larger x.
void InsertHeightKnot(NodeList* list, CurveKnot* k)
{
    ListNode* before = list->GetHead();
    while (before && !(AsKnot(before)->x > k->x))
        before = before->next;
    list->InsertBefore(k, before);
}

}  // namespace

// ---------------------------------------------------------------------------
// Writing

void WriteLayer(TextWriter& writer, Layer* layer, Fractal* layered)
{
    (void)layered;
    writer.WriteSection("layer:");
    const char* caption = layer->fractal ? layer->fractal->name : layer->name;
    writer.WriteItem(EntryFormat("caption=\"%s\"", caption));
    writer.WriteItem("opacity=" + ExactNumber("%.2lf", layer->opacity));
    writer.WriteItem(EntryFormat("visible=%s", YesNo(layer->visible)));
    if (layer->mask)
        writer.WriteItem("mask=yes");
    int mode = layer->mergeMode >= 0 && layer->mergeMode <= 18 ? layer->mergeMode : 0;
    writer.WriteItem(EntryFormat("mergemode=\"%s\"", g_MergeModeFileNames[mode]));
    writer.WriteItem("leftoffset=" + ExactNumber("%.0lf", layer->leftOffset));
    writer.WriteItem("bottomoffset=" + ExactNumber("%.0lf", layer->bottomOffset));
    writer.WriteItem(EntryFormat("usesAlpha=\"%s\"", YesNo(layer->usesAlpha)));
    writer.WriteSection("layerfractal:");
    if (layer->fractal) {
        fflush(writer.file);
        WriteParameterEntry(writer.file, layer->fractal, nullptr, nullptr, false, false, -1, 0, false);
    }
    writer.column = 0;
}

void WriteGradientSection(TextWriter& writer, Fractal* fractal)
{
    const Palette& p = fractal->palette;
    writer.WriteSection("gradient:");
    writer.WriteItem(EntryFormat("smooth=%s", YesNo(p.smooth)));
    const char* model = ColorModelName(p.colormodel);
    writer.WriteItem(EntryFormat("colormodel=%s", model ? model : "CM_RGB"));
    writer.WriteItem(EntryFormat("knotmode=%s", p.knotmode == KNOTMODE_ALL ? "all" : "each"));
    writer.WriteItem(EntryFormat("dragknotmode=%s", p.dragknotmode ? "local" : "global"));
    writer.WriteItem("Offset=" + ExactNumber("%.2lg", p.offset));
    if (p.knotmode == KNOTMODE_ALL) {
        int i = 0;
        for (ListNode* n = p.knots[0].GetHead(); n; n = n->next, ++i) {
            const CurveKnot* g = KnotAt(p.knots[1], i);
            const CurveKnot* b = KnotAt(p.knots[2], i);
            writer.WriteItem("knotrgb=(" + ExactNumber("%.0lf", AsKnot(n)->x) + "," +
                                  ExactNumber("%.0lf", AsKnot(n)->y) + "," + ExactNumber("%.0lf", g ? g->y : 0.0) +
                                  "," + ExactNumber("%.0lf", b ? b->y : 0.0) + ")");
        }
        return;
    }
    for (int channel = 0; channel < 3; ++channel)
        for (ListNode* n = p.knots[channel].GetHead(); n; n = n->next)
            writer.WriteItem(std::string(kChannelKeys[channel]) + "=(" + ExactNumber("%.0lf", AsKnot(n)->x) + "," +
                                  ExactNumber("%.0lf", AsKnot(n)->y) + ")");
}

void WriteAlphaSection(TextWriter& writer, Fractal* fractal)
{
    const AlphaChannel& a = fractal->alphaChannel;
    if (fractal->header->Type != FT_ESCAPETIME || AlphaIsPlain(a))
        return;
    writer.WriteSection("alpha:");
    writer.WriteItem(EntryFormat("smooth=%s", YesNo(a.smooth)));
    writer.WriteItem("Offset=" + ExactNumber("%.1lg", a.offset));
    writer.WriteItem(EntryFormat("dragknotmode=%s", a.dragknotmode ? "local" : "global"));
    for (ListNode* n = a.points.GetHead(); n; n = n->next) {
        writer.WriteItem("index=" + ExactNumber("%.0lf", AsKnot(n)->x));
        writer.WriteItem("alpha=" + ExactNumber("%.1lf", AsKnot(n)->y));
    }
}

void WriteHeightKnots(TextWriter& writer, Fractal* fractal)
{
    if (!fractal->params3D || !fractal->params3D->ControlPointList)
        return;
    bool first = true;
    for (ListNode* n = fractal->params3D->ControlPointList->GetHead(); n; n = n->next) {
        writer.WriteItem(std::string(first ? "FirstKnot=(" : "Knot=(") + ExactNumber("%.1lf", AsKnot(n)->x) + "," +
                              ExactNumber("%.1lf", AsKnot(n)->y) + ")");
        first = false;
    }
}

// ---------------------------------------------------------------------------
// Reading

void ReadColourSectionKey(Fractal* fractal, int section, const char* key, char* value, Layer* layer, bool imported)
{
    (void)imported;
    if (!fractal || !key || !value)
        return;
    if (section == SEC_GRADIENT) {
        ReadGradientKey(&fractal->palette, key, value);
        return;
    }
    int type = fractal->header->Type;
    if (type != FT_ESCAPETIME && type != FT_LAYERED && type != FT_QUATERNION)
        return;
    switch (section) {
    case SEC_LAYER:
        if (layer)
            ReadLayerKey(layer, key, value);
        break;
    case SEC_UF_LAYER:
        ReadImportedLayerKey(fractal, layer, key, value);
        break;
    case SEC_UF_MAPPING:
        ReadMappingKey(fractal, key, value);
        break;
    case SEC_UF_GRADIENT:
        ReadImportedGradientKey(&fractal->palette, key, value);
        break;
    case SEC_ALPHA:
        ReadAlphaKey(&fractal->alphaChannel, key, value);
        break;
    default:
        break;
    }
}

int ReadKnotKey(Fractal* fractal, int section, const char* key, const char* value)
{
    (void)section;
    if (!fractal || !fractal->params3D || !key || !value)
        return 0;
    Parameters3D* p3d = fractal->params3D;
    NodeList* list = p3d->ControlPointList;
    double x, y;
    int n;
    if (_strnicmp(key, "knotx", 5) == 0 || _strnicmp(key, "knoty", 5) == 0) {
        if (sscanf(key + 5, "%d", &n) != 1 || !ReadRealValue(value, &x))
            return 0;
        CurveKnot* found = nullptr;
        for (ListNode* k = list->GetHead(); k && !found; k = k->next)
            if (k->key == n)
                found = AsKnot(k);
        bool isX = key[4] == 'x' || key[4] == 'X';
        if (found) {
            (isX ? found->x : found->y) = x;
        } else if (isX) {
            CurveKnot* k = new CurveKnot(x, 0);
            k->key = n;
            InsertHeightKnot(list, k);
        }
        return 0;
    }
    bool firstKnot = _stricmp(key, "FirstKnot") == 0;
    if (!firstKnot && _stricmp(key, "Knot") != 0)
        return 0;
    if (sscanf(value, "(%lf,%lf)", &x, &y) != 2)
        return 0;
    if (firstKnot)
        p3d->ClearControlPoints();
    CurveKnot* k = new CurveKnot(x, y);
    k->key = list->Count() + 1;
    InsertHeightKnot(list, k);
    return 0;
}
