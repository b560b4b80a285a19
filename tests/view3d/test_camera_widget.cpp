// The camera widget's record: what a new widget holds, and that releasing
// a shown widget gives back its overlay and its tooltips exactly once.
#include <gtest/gtest.h>

#include <windows.h>

#include "view3d/CameraWidget.h"

namespace {

int g_tooltipRemovals = 0;
void CountRemoval(CameraWidget*) { ++g_tooltipRemovals; }

// Gives the widget a real overlay, as showing it does.
void GiveOverlay(CameraWidget& w, int r)
{
    w.overlayWidth = (2 * r + 4) & ~3;
    w.overlayHeight = 2 * r + 2;
    w.header.biSize = sizeof w.header;
    w.header.biWidth = w.overlayWidth;
    w.header.biHeight = w.overlayHeight;
    w.header.biPlanes = 1;
    w.header.biBitCount = 32;
    w.header.biCompression = BI_RGB;
    w.memoryDC = CreateCompatibleDC(nullptr);
    w.overlayBitmap = CreateDIBSection(w.memoryDC, reinterpret_cast<BITMAPINFO*>(&w.header), DIB_RGB_COLORS,
                                       &w.bits, nullptr, 0);
    SelectObject(w.memoryDC, w.overlayBitmap);
    w.shown = 1;
}

}  // namespace

TEST(CameraWidget, StartsHiddenWithItsDefaults)
{
    CameraWidget w(nullptr);
    EXPECT_EQ(w.shown, 0);
    EXPECT_EQ(w.radius, 66);
    EXPECT_EQ(w.opacity, 0.75);
    EXPECT_EQ(w.dragMode, 0);
    EXPECT_EQ(w.memoryDC, nullptr);
    EXPECT_EQ(w.bits, nullptr);
    EXPECT_EQ(w.tooltipsRegistered, 0);
}

TEST(CameraWidget, ReleaseFreesTheOverlayAndTooltipsOnce)
{
    g_RemoveCameraTooltips = CountRemoval;
    g_tooltipRemovals = 0;
    {
        CameraWidget w(nullptr);
        w.Hide();   // hidden: nothing to give back
        EXPECT_EQ(g_tooltipRemovals, 0);
        GiveOverlay(w, 10);
        ASSERT_NE(w.bits, nullptr);
        HBITMAP bitmap = w.overlayBitmap;
        w.tooltipsRegistered = 1;
        w.Hide();
        EXPECT_EQ(w.shown, 0);
        EXPECT_EQ(w.memoryDC, nullptr);
        EXPECT_EQ(w.overlayBitmap, nullptr);
        EXPECT_EQ(w.bits, nullptr);
        EXPECT_EQ(w.overlayWidth, 0);
        EXPECT_EQ(w.header.biBitCount, 0);
        EXPECT_EQ(w.tooltipsRegistered, 0);
        EXPECT_EQ(g_tooltipRemovals, 1);
        EXPECT_EQ(GetObjectType(bitmap), 0u);   // deleted
        w.Release();
        EXPECT_EQ(g_tooltipRemovals, 1);
        // Deleting a shown widget releases it.
        GiveOverlay(w, 3);
        w.tooltipsRegistered = 1;
    }
    EXPECT_EQ(g_tooltipRemovals, 2);
    g_RemoveCameraTooltips = nullptr;
}
