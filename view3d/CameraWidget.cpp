// The camera widget's record: built hidden with the task, released when
// hidden or deleted. Its overlay bitmap and memory DC exist only while it is
// shown; the mouse handling and the window's painting use the fields.
#include "view3d/CameraWidget.h"
#include <string.h>

void (*g_RemoveCameraTooltips)(CameraWidget* widget) = nullptr;

CameraWidget::CameraWidget(Fractal* ownerIn)
    : owner(ownerIn), shown(0), overlayBitmap(nullptr), memoryDC(nullptr), bits(nullptr), overlayWidth(0),
      overlayHeight(0), radius(66), radiusAtDragStart(0), handleAtDragStart{0, 0}, centrePixel{0, 0},
      worldRadius(0), centre{0, 0, 0}, opacity(0.75), dragMode(0), cameraPoint{0, 0, 0}, camera{0, 0, 0},
      topVector{0, 0, 0}, topVectorCamera{0, 0, 0}, cameraHandle{0, 0}, front(0), topHandle{0, 0},
      savedCamera{0, 0, 0}, savedTopVector{0, 0, 0}, tooltipsRegistered(0)
{
    memset(&header, 0, sizeof header);
}

CameraWidget::~CameraWidget() { Release(); }

void CameraWidget::Release()
{
    if (!shown)
        return;
    if (tooltipsRegistered && g_RemoveCameraTooltips)
        g_RemoveCameraTooltips(this);
    tooltipsRegistered = 0;
    // The bitmap is selected into the DC: the DC goes first so that the
    // bitmap is free to be deleted.
    if (memoryDC)
        DeleteDC(memoryDC);
    if (overlayBitmap)
        DeleteObject(overlayBitmap);
    memoryDC = nullptr;
    overlayBitmap = nullptr;
    bits = nullptr;
    overlayWidth = overlayHeight = 0;
    memset(&header, 0, sizeof header);
    shown = 0;
}

void CameraWidget::Hide()
{
    if (shown)
        Release();
}

bool CameraWidget::AllocateOverlay(int r)
{
    Release();
    radius = r;
    overlayWidth = (2 * r + 4) & ~3;
    overlayHeight = 2 * r + 2;
    header.biSize = sizeof header;
    header.biWidth = overlayWidth;
    header.biHeight = -overlayHeight;   // top-down: row 0 is the sphere's top
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    memoryDC = CreateCompatibleDC(NULL);
    void* pixels = nullptr;
    overlayBitmap = CreateDIBSection(memoryDC, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                     &pixels, NULL, 0);
    // Shown first so that Release frees whatever part was made.
    shown = 1;
    if (memoryDC == NULL || overlayBitmap == NULL || pixels == nullptr) {
        Release();
        return false;
    }
    SelectObject(memoryDC, overlayBitmap);
    bits = pixels;
    memset(bits, 0, (size_t)overlayWidth * overlayHeight * 4);
    return true;
}
