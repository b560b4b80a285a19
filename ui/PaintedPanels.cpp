// The painted windows: PNop (frames, group-frame edges, blend preview) and
// PTip (the tip card), their window procedures and the dotted line.
#include "ui/PaintedPanels.h"

#include <stdlib.h>
#include <string.h>

#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"

namespace {

enum { BLEND_BYTES = BLEND_WIDTH * BLEND_HEIGHT * 3 };

// Escape gives the focus back to the owner window.
bool EscapeToOwner(PControl* control, UINT message, WPARAM wParam)
{
    if (message != WM_CHAR || wParam != 27)
        return false;
    if (control->owner != NULL)
        SetFocus(control->owner->hwnd);
    return true;
}

void Line(HDC dc, int x0, int y0, int x1, int y1)
{
    MoveToEx(dc, x0, y0, NULL);
    LineTo(dc, x1, y1);
}

void FillButtonFace(HDC dc, int left, int top, int right, int bottom)
{
    RECT rect = {left, top, right, bottom};
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
}

void PaintTopEdge(HDC dc, PNop* nop, int w, int h)
{
    HGDIOBJ oldPen = SelectObject(dc, g_Toolkit.greyPen);
    HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(COLOR_BTNFACE));
    COLORREF oldText = SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    COLORREF oldBack = SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    HGDIOBJ oldFont = GuiFont() && GuiFont()->hFont ? SelectObject(dc, GuiFont()->hFont) : NULL;

    char title[50];
    GetWindowTextA(nop->hwnd, title, sizeof(title));
    RECT extent = {6, 0, 6, h};
    DrawTextA(dc, title, -1, &extent, DT_CALCRECT);
    RECT at = {6, 0, 6 + (extent.right - extent.left), extent.bottom - extent.top};
    DrawTextA(dc, title, -1, &at, 0);
    const int textWidth = extent.right - extent.left;
    if (title[0])
        ExcludeClipRect(dc, 6, 0, 6 + textWidth, extent.bottom - extent.top);
    const int mid = h / 2 - 1;
    FillButtonFace(dc, 0, 0, w, mid);
    FillButtonFace(dc, 0, mid + 2, w, h);
    if (title[0]) {
        FillButtonFace(dc, 4, 0, textWidth + 8, h);
        ExcludeClipRect(dc, 4, 0, textWidth + 8, h);
    }
    Line(dc, 0, mid, w, mid);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    Line(dc, 0, mid + 1, w, mid + 1);

    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    if (oldFont)
        SelectObject(dc, oldFont);
}

void PaintGroupEdge(HDC dc, PNop* nop, int w, int h)
{
    HGDIOBJ oldPen = SelectObject(dc, g_Toolkit.greyPen);
    switch (nop->controlId) {
    case NOP_EDGE_TOP:
        SelectObject(dc, oldPen);
        PaintTopEdge(dc, nop, w, h);
        return;
    case NOP_EDGE_LEFT:
        MoveToEx(dc, 0, h, NULL);
        LineTo(dc, 0, 0);
        if (nop->groupEdges & GROUP_EDGE_TOP)
            LineTo(dc, 2, 0);
        else
            SetPixelV(dc, 1, 0, RGB(255, 255, 255));
        SelectObject(dc, GetStockObject(WHITE_PEN));
        Line(dc, 1, 1, 1, h);
        break;
    case NOP_EDGE_RIGHT:
        Line(dc, 0, 0, 0, h - 1);
        SelectObject(dc, GetStockObject(WHITE_PEN));
        Line(dc, 1, 0, 1, h);
        if (nop->groupEdges & GROUP_EDGE_BOTTOM)
            SetPixelV(dc, 0, h - 1, RGB(255, 255, 255));
        FillButtonFace(dc, 1, 0, 2, 1);
        break;
    case NOP_EDGE_BOTTOM:
        Line(dc, 0, 0, w, 0);
        SelectObject(dc, GetStockObject(WHITE_PEN));
        Line(dc, 1, 1, w, 1);
        FillButtonFace(dc, 0, h - 1, 1, h);
        break;
    }
    SelectObject(dc, oldPen);
}

void PaintSunkenFrame(HDC dc, int w, int h)
{
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, 0, h - 2, NULL);
    LineTo(dc, 0, 0);
    LineTo(dc, w - 1, 0);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    LineTo(dc, w - 1, h - 1);
    LineTo(dc, 0, h - 1);
    SelectObject(dc, g_Toolkit.greyPen);
    MoveToEx(dc, 1, h - 3, NULL);
    LineTo(dc, 1, 1);
    LineTo(dc, w - 2, 1);
    SelectObject(dc, g_Toolkit.lightGreyPen);
    LineTo(dc, w - 2, h - 2);
    LineTo(dc, 0, h - 2);
    MoveToEx(dc, 2, 2, NULL);
    LineTo(dc, w - 3, 2);
    LineTo(dc, w - 3, h - 3);
    LineTo(dc, 2, h - 3);
    LineTo(dc, 2, 2);
    SelectObject(dc, oldPen);
}

}  // namespace

void PaintNop(HDC dc, PNop* nop, const RECT* updateRect)
{
    const int w = nop->width;
    const int h = nop->height;
    if (nop->mode == NOP_STRIP && DisplayMode != 24)
        return;
    if (nop->mode == NOP_GROUP_EDGE) {
        PaintGroupEdge(dc, nop, w, h);
        return;
    }
    RECT whole = {0, 0, w, h};
    RECT common;
    if (updateRect != NULL && !IntersectRect(&common, updateRect, &whole))
        return;
    if (g_Toolkit.displayPalette != NULL) {
        SelectPalette(dc, g_Toolkit.displayPalette, FALSE);
        RealizePalette(dc);
    }
    SetStretchBltMode(dc, COLORONCOLOR);
    PaintSunkenFrame(dc, w, h);
    if (nop->mode == NOP_BLEND && nop->output != NULL) {
        BITMAPINFO info;
        memset(&info, 0, sizeof(info));
        info.bmiHeader = nop->dibHeader;
        StretchDIBits(dc, nop->marginX, nop->marginY, nop->innerWidth, nop->innerHeight,
                      nop->marginX, nop->marginY, nop->innerWidth, nop->innerHeight, nop->output,
                      &info, DIB_RGB_COLORS, SRCCOPY);
    }
}

PNop::PNop(PFrameWindow* ownerWindow, HWND parent, const char* text, int id, int bitmap,
           int nopMode, int left, int top, int w, int h)
    : mode(nopMode), bitmapId(bitmap), marginX(3), marginY(3), imageA(NULL), output(NULL),
      imageB(NULL), blend(0), groupEdges(0)
{
    memset(&dibHeader, 0, sizeof(dibHeader));
    ComputeInner(w, h);
    if (mode == NOP_BLEND && bitmapId == BLEND_IMAGE_A) {
        imageA = static_cast<unsigned char*>(calloc(BLEND_BYTES, 1));
        output = static_cast<unsigned char*>(calloc(BLEND_BYTES, 1));
        imageB = static_cast<unsigned char*>(calloc(BLEND_BYTES, 1));
        LoadBitmapRgb(BLEND_IMAGE_A, BLEND_WIDTH, BLEND_HEIGHT, imageA);
        LoadBitmapRgb(BLEND_IMAGE_B, BLEND_WIDTH, BLEND_HEIGHT, imageB);
        memcpy(output, imageA, BLEND_BYTES);
        dibHeader.biSize = sizeof(dibHeader);
        dibHeader.biWidth = BLEND_WIDTH;
        dibHeader.biHeight = -BLEND_HEIGHT;  // top row first
        dibHeader.biPlanes = 1;
        dibHeader.biBitCount = 24;
        dibHeader.biCompression = BI_RGB;
    }
    HWND window = CreateWindowExA(0, "vuzaz_nop", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, left,
                                  top, w, h, parent, (HMENU)(INT_PTR)id, g_Toolkit.instance, NULL);
    Attach(window, CT_NOP, ownerWindow, id, left, top, w, h, parent, true, false);
}

PNop::~PNop()
{
    free(imageA);
    free(output);
    free(imageB);
}

void PNop::ComputeInner(int w, int h)
{
    innerRight = w - marginX - 1;
    innerBottom = h - marginY - 1;
    innerWidth = w - 2 * marginX;
    innerHeight = h - 2 * marginY;
}

void BlendPixel(const unsigned char* first, const unsigned char* second, int a,
                unsigned char* out)
{
    if (second[0] + second[1] + second[2] == 0) {
        memcpy(out, first, 3);
        return;
    }
    for (int c = 0; c < 3; ++c)
        out[c] = (unsigned char)(first[c] + (second[c] - first[c]) * a / 255);
}

void PNop::SetBlend(int a)
{
    if (mode != NOP_BLEND || output == NULL)
        return;
    blend = a;
    for (int i = 0; i < BLEND_WIDTH * BLEND_HEIGHT; ++i)
        BlendPixel(imageA + 3 * i, imageB + 3 * i, a, output + 3 * i);
    InvalidateRect(hwnd, NULL, FALSE);
}

LRESULT CALLBACK NopProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PNop* nop = static_cast<PNop*>(WindowObject(hwnd));
    if (nop == NULL)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (EscapeToOwner(nop, message, wParam))
        return 0;
    switch (message) {
    case WM_SIZE:
        nop->width = LOWORD(lParam);
        nop->height = HIWORD(lParam);
        nop->ComputeInner(nop->width, nop->height);
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        PaintNop(dc, nop, &paint.rcPaint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    }
    LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
    return IsWindow(hwnd) ? result : 0;
}

PTip::PTip(PFrameWindow* ownerWindow, HWND parent, int id, int left, int top, int w, int h)
    : text(1000), value(0)
{
    helpPage[0] = '\0';
    solidPen = CreatePen(PS_SOLID, 1, RGB(90, 90, 90));
    dottedPen = CreatePen(PS_DOT, 1, RGB(140, 140, 140));
    HWND window = CreateWindowExA(0, "vuzaz_tip", "", WS_CHILD | WS_VISIBLE | WS_GROUP, left, top,
                                  w, h, parent, (HMENU)(INT_PTR)id, g_Toolkit.instance, NULL);
    Attach(window, CT_TIP, ownerWindow, id, left, top, w, h, parent, true, false);
}

PTip::~PTip()
{
    DeleteObject(solidPen);
    DeleteObject(dottedPen);
}

void PTip::SetText(const char* newText, const char* page, int newValue)
{
    int length = newText ? (int)strlen(newText) : 0;
    text.Reserve(length + 10);
    char* data = static_cast<char*>(text.GetData());
    memcpy(data, newText ? newText : "", length + 1);
    // The page field is fixed: a longer path is cut rather than overrun.
    lstrcpynA(helpPage, page ? page : "", sizeof(helpPage));
    value = newValue;
    InvalidateRect(hwnd, NULL, TRUE);
}

bool PTip::IsOnLink(int px, int py) const
{
    return px >= width - 100 && px <= width - 16 && py >= 22 && py <= 47;
}

void PaintTip(HDC dc, PTip* tip)
{
    const int w = tip->width;
    const int h = tip->height;
    RECT whole = {0, 0, w, h};
    FillRect(dc, &whole, (HBRUSH)GetStockObject(WHITE_BRUSH));
    HGDIOBJ oldPen = SelectObject(dc, tip->solidPen);
    MoveToEx(dc, 0, 0, NULL);
    LineTo(dc, w - 2, 0);
    LineTo(dc, w - 2, h - 2);
    LineTo(dc, 0, h - 2);
    LineTo(dc, 0, 0);
    SelectObject(dc, g_Toolkit.lightGreyPen);
    MoveToEx(dc, 1, h - 3, NULL);
    LineTo(dc, 1, 1);
    LineTo(dc, w - 3, 1);
    SelectObject(dc, oldPen);

    const char* text = static_cast<const char*>(tip->text.GetData());
    if (text == NULL || text[0] == '\0')
        return;
    RECT textRect = {10, 68, w - 10, h - 10};
    int oldMode = SetBkMode(dc, TRANSPARENT);
    PFont* font = g_Toolkit.fonts[FONT_SANS9];
    HGDIOBJ oldFont = font && font->hFont ? SelectObject(dc, font->hFont) : NULL;
    DrawTextA(dc, text, -1, &textRect, DT_WORDBREAK);
    if (oldFont)
        SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);

    HDC memory = CreateCompatibleDC(dc);
    if (g_Toolkit.logoBitmap != NULL) {
        HGDIOBJ old = SelectObject(memory, g_Toolkit.logoBitmap);
        BitBlt(dc, 10, 10, 154, 48, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
    }
    if (tip->helpPage[0] && g_Toolkit.linkBitmap != NULL) {
        HGDIOBJ old = SelectObject(memory, g_Toolkit.linkBitmap);
        BitBlt(dc, w - 100, 22, 85, 26, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
    }
    DeleteDC(memory);
}

LRESULT CALLBACK TipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    PTip* tip = static_cast<PTip*>(WindowObject(hwnd));
    if (tip == NULL)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (EscapeToOwner(tip, message, wParam))
        return 0;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        PaintTip(dc, tip);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        if (tip->helpPage[0] && tip->IsOnLink((short)LOWORD(lParam), (short)HIWORD(lParam)))
            UI_CALL(ShowHelpPage, tip->helpPage);
        return 0;
    }
    LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
    return IsWindow(hwnd) ? result : 0;
}

void DrawDottedLine(HDC dc, int x0, int y0, int x1, int y1, DottedLineStyle* style)
{
    const int dx = x1 - x0;
    const int dy = y1 - y0;
    const int n = abs(dx) > abs(dy) ? abs(dx) : abs(dy);
    if (n == 0)
        return;
    const double sx = (double)dx / n;
    const double sy = (double)dy / n;
    const double d = (sx * sx + sy * sy) * style->step;
    double x = x0, y = y0;
    for (int i = 0; i < n; ++i) {
        COLORREF colour = style->colour;
        if (style->patternOn && ((long long)style->phase) % 2 == 0)
            colour = RGB(255, 255, 255);
        SetPixelV(dc, (int)(x + 0.5), (int)(y + 0.5), colour);
        style->phase += d;
        x += sx;
        y += sy;
    }
}

bool LoadBitmapRgb(int resourceId, int width, int height, unsigned char* buffer)
{
    HBITMAP bitmap = (HBITMAP)LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(resourceId),
                                         IMAGE_BITMAP, width, height, LR_CREATEDIBSECTION);
    if (bitmap == NULL)
        return false;
    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    unsigned char* rows = static_cast<unsigned char*>(malloc(stride * height));
    HDC screen = GetDC(NULL);
    int copied = GetDIBits(screen, bitmap, 0, height, rows, &info, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    DeleteObject(bitmap);
    if (copied == height)
        for (int row = 0; row < height; ++row)
            memcpy(buffer + row * width * 3, rows + row * stride, width * 3);
    free(rows);
    return copied == height;
}
