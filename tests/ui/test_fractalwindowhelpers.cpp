#include <gtest/gtest.h>
#include "document/Fractal.h"
#include "document/FractalThreads.h"
#include "ui/FractalWindowHelpers.h"
#include "ui/FrameWindow.h"

TEST(FractalWindowCoordinates, ScrollPositionsAreTheImageOriginOfTheWindow)
{
    PFrameWindow window;
    window.hScrollPos = 30;
    window.vScrollPos = 7;

    int x = 100, y = 50;
    ImageToWindow(&window, x, y);
    EXPECT_EQ(70, x);
    EXPECT_EQ(43, y);
    WindowToImage(&window, x, y);
    EXPECT_EQ(100, x);
    EXPECT_EQ(50, y);

    // An image point left of and above the shown part lies outside the window.
    x = 10, y = 0;
    ImageToWindow(&window, x, y);
    EXPECT_EQ(-20, x);
    EXPECT_EQ(-7, y);
}

TEST(GetBaseFractal, LayerGivesItsLayeredFractalOthersThemselves)
{
    Fractal layered, layer, plain;
    layer.baseFractal = &layered;
    EXPECT_EQ(&layered, GetBaseFractal(&layer));
    EXPECT_EQ(&plain, GetBaseFractal(&plain));
    EXPECT_EQ(nullptr, GetBaseFractal(nullptr));
}
