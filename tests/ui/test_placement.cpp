// Window placement: font-unit defaults converted once with the GUI font,
// stored values applied and the complete set written back, isAttached
// without a dock container, and the setters written through.
#include <gtest/gtest.h>
#include <windows.h>


#include "tests/ui/UiTestSupport.h"
#include "ui/Font.h"
#include "ui/Toolkit.h"
#include "ui/WindowPlacement.h"

namespace {

// A fresh descriptor per test: the table's own instances load only once.
WindowDescriptor MakeParameters()
{
    return WindowDescriptor("Parameters", 120, 1, 0, 0, FontUnits(100, 30), FontUnits(83, 12), 1,
                            1, 1, 0);
}

TEST(WindowPlacement, FirstLoadConvertsFontUnitsAndWritesAllSevenValues)
{
    StartToolkitOnce();
    HandlerRecorder recorder;
    WindowDescriptor d = MakeParameters();
    const PFont* font = GuiFont();
    EXPECT_EQ(100 + 30 * (int)font->averageCharWidth, d.GetWidth());
    EXPECT_EQ(83 + 12 * (int)font->charHeight, d.GetHeight());
    EXPECT_FALSE(d.IsAttached());  // no dock container
    EXPECT_EQ((std::vector<std::string>{
                  "write Windows\\Parameters/isOpened", "write Windows\\Parameters/isMinimized",
                  "write Windows\\Parameters/isAttached", "write Windows\\Parameters/X",
                  "write Windows\\Parameters/Y", "write Windows\\Parameters/Width",
                  "write Windows\\Parameters/Height"}),
              recorder.calls);
    EXPECT_EQ((DWORD)d.Width, recorder.registry["Windows\\Parameters/Width"]);
    // Loading again reads and writes nothing.
    recorder.calls.clear();
    d.Load();
    EXPECT_TRUE(recorder.calls.empty());
}

TEST(WindowPlacement, StoredValuesWinAndBooleansAreNormalised)
{
    StartToolkitOnce();
    HandlerRecorder recorder;
    recorder.registry["Windows\\Parameters/X"] = 321;
    recorder.registry["Windows\\Parameters/Width"] = 444;
    recorder.registry["Windows\\Parameters/isMinimized"] = 7;
    recorder.registry["Windows\\Parameters/isAttached"] = 5;
    WindowDescriptor d = MakeParameters();
    EXPECT_EQ(321, d.GetX());
    EXPECT_EQ(444, d.GetWidth());
    EXPECT_TRUE(d.IsMinimized());
    EXPECT_EQ(1u, recorder.registry["Windows\\Parameters/isMinimized"]);
    // Without a dock container nothing is attached, and 0 is written back.
    EXPECT_FALSE(d.IsAttached());
    EXPECT_EQ(0u, recorder.registry["Windows\\Parameters/isAttached"]);
}

TEST(WindowPlacement, PixelDefaultsStayAndSettersWriteThrough)
{
    StartToolkitOnce();
    HandlerRecorder recorder;
    WindowDescriptor* palette = FindWindowDescriptor("PresetPalette");
    ASSERT_NE(nullptr, palette);
    EXPECT_EQ(200, DecodeWindowSize(200, 17.0f));
    EXPECT_EQ(52 + 3 * 7, DecodeWindowSize(FontUnits(52, 3), 7.9f));

    WindowDescriptor d = MakeParameters();
    d.Load();
    recorder.calls.clear();
    d.SetX(12);
    d.SetOpened(0x100);  // the low byte decides
    EXPECT_EQ((std::vector<std::string>{"write Windows\\Parameters/X",
                                        "write Windows\\Parameters/isOpened"}),
              recorder.calls);
    EXPECT_EQ(12u, recorder.registry["Windows\\Parameters/X"]);
    EXPECT_EQ(0u, recorder.registry["Windows\\Parameters/isOpened"]);
}

TEST(WindowPlacement, TableHoldsTheTwentyFourWindowsInOrder)
{
    EXPECT_STREQ("Parameters", WindowDescriptorAt(0)->name);
    EXPECT_STREQ("Options", WindowDescriptorAt(23)->name);
    EXPECT_EQ(nullptr, WindowDescriptorAt(24));
    EXPECT_EQ(FontUnits(40, 41), FindWindowDescriptor("Size")->Width);
    EXPECT_EQ(nullptr, FindWindowDescriptor("Nowhere"));
}

}  // namespace
