// Fonts and text measuring.
#include "ui/Font.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <commdlg.h>

#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

namespace {

HWND MainFrameWindow()
{
    return g_Toolkit.mainFrame != NULL ? g_Toolkit.mainFrame->hwnd : NULL;
}

int PointsToHeight(int points, HDC dc)
{
    return -(int)floor(points * GetDeviceCaps(dc, LOGPIXELSY) / 72.0 + 0.5);
}

}  // namespace

PFont::PFont()
    : bold(0), italic(0), pointSize(0), hFont(NULL), charHeight(0), averageCharWidth(0),
      maxCharWidth(0)
{
    faceName[0] = '\0';
    memset(charWidths, 0, sizeof(charWidths));
    HWND frame = MainFrameWindow();
    HDC dc = GetDC(frame);
    Measure(dc);
    ReleaseDC(frame, dc);
}

PFont::~PFont()
{
    if (hFont != NULL)
        DeleteObject(hFont);
    hFont = NULL;
    charHeight = averageCharWidth = maxCharWidth = 0;
}

void PFont::Measure(HDC dc)
{
    TEXTMETRICA metrics;
    if (GetTextMetricsA(dc, &metrics)) {
        charHeight = (float)metrics.tmHeight;
        averageCharWidth = (float)(metrics.tmAveCharWidth + 1);
        maxCharWidth = (float)metrics.tmMaxCharWidth;
    }
    for (int c = 0; c < 256; ++c) {
        char one = (char)c;
        SIZE size = {0, 0};
        GetTextExtentPoint32A(dc, &one, 1, &size);
        charWidths[c] = (float)size.cx;
    }
}

void PFont::Create(const char* face, int points, int isBold, int isItalic)
{
    HWND frame = MainFrameWindow();
    HDC dc = GetDC(frame);
    LOGFONTA font;
    memset(&font, 0, sizeof(font));
    font.lfHeight = PointsToHeight(points, dc);
    font.lfWeight = isBold ? 700 : 400;
    font.lfItalic = isItalic ? 0xFF : 0;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH;
    lstrcpynA(font.lfFaceName, face ? face : "", LF_FACESIZE);

    lstrcpynA(faceName, face ? face : "", sizeof(faceName));
    bold = isBold;
    italic = isItalic;
    pointSize = points;
    HFONT created = CreateFontIndirectA(&font);
    if (created != NULL) {
        if (hFont != NULL)
            DeleteObject(hFont);
        hFont = created;
    }
    HGDIOBJ previous = hFont != NULL ? SelectObject(dc, hFont) : NULL;
    Measure(dc);
    if (previous != NULL)
        SelectObject(dc, previous);
    ReleaseDC(frame, dc);
}

bool PFont::Choose()
{
    HDC screen = GetDC(NULL);
    int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);

    LOGFONTA font;
    memset(&font, 0, sizeof(font));
    font.lfHeight = -(int)floor(pointSize * pixelsPerInch / 72.0 + 0.5);
    font.lfWeight = bold ? 700 : 400;
    font.lfItalic = italic ? 0xFF : 0;
    lstrcpynA(font.lfFaceName, faceName, LF_FACESIZE);

    CHOOSEFONTA choose;
    memset(&choose, 0, sizeof(choose));
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = MainFrameWindow();
    choose.lpLogFont = &font;
    choose.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
    choose.nFontType = SCREEN_FONTTYPE;
    if (!ChooseFontA(&choose))
        return false;

    HFONT created = CreateFontIndirectA(&font);
    if (created != NULL) {
        if (hFont != NULL)
            DeleteObject(hFont);
        hFont = created;
    }
    HWND frame = MainFrameWindow();
    HDC dc = GetDC(frame);
    HGDIOBJ previous = hFont != NULL ? SelectObject(dc, hFont) : NULL;
    Measure(dc);
    if (previous != NULL)
        SelectObject(dc, previous);
    ReleaseDC(frame, dc);
    bold = font.lfWeight > 600;
    italic = (unsigned char)font.lfItalic > 128;
    lstrcpynA(faceName, font.lfFaceName, sizeof(faceName));
    pointSize = (int)floor(abs(font.lfHeight) * 72.0 / pixelsPerInch + 0.5);
    return true;
}

PFont* FontOfKind(int fontKind)
{
    if (fontKind == 1)
        return g_Toolkit.fonts[FONT_GUI];
    if (fontKind == 2)
        return g_Toolkit.fonts[FONT_BOLD_GUI];
    return g_Toolkit.fonts[FONT_SMALL];
}

int MeasureTextWith(const PFont* font, const char* text)
{
    if (font == NULL || text == NULL)
        return 0;
    float width = 0;
    for (const unsigned char* c = (const unsigned char*)text; *c; ++c)
        if (*c != '&' && *c != '_')
            width += font->charWidths[*c];
    return (int)width;
}

int MeasureText(const char* text, int fontKind)
{
    return MeasureTextWith(FontOfKind(fontKind), text);
}

float ShortenTextWith(const PFont* font, char* text, int maxWidth)
{
    if (font == NULL || text == NULL)
        return 0;
    if (maxWidth < 0)
        maxWidth = 0;
    const float ellipsis = 3 * font->charWidths[(unsigned char)'.'];
    size_t length = strlen(text);
    float width = 0;
    for (size_t i = 0; i < length; ++i)
        width += font->charWidths[(unsigned char)text[i]];
    if (width <= maxWidth)
        return width;
    while (width > maxWidth - ellipsis && length > 0) {
        --length;
        width -= font->charWidths[(unsigned char)text[length]];
    }
    memcpy(text + length, "...", 4);
    return width + ellipsis;
}

float ShortenText(char* text, int fontKind, int maxWidth)
{
    return ShortenTextWith(FontOfKind(fontKind), text, maxWidth);
}

void CreateToolkitFonts(const char* guiFace, int guiPoints)
{
    struct Spec {
        int slot;
        const char* face;
        int points;
        int bold;
    } specs[] = {
        {FONT_SMALL, guiFace, guiPoints - 1, 0},
        {FONT_GUI, guiFace, guiPoints, 0},
        {FONT_SANS9, "MS Sans Serif", 9, 0},
        {FONT_BOLD_GUI, guiFace, guiPoints, 1},
    };
    for (const Spec& spec : specs) {
        PFont* font = new PFont;
        font->Create(spec.face, spec.points, spec.bold, 0);
        delete g_Toolkit.fonts[spec.slot];
        g_Toolkit.fonts[spec.slot] = font;
    }
}
