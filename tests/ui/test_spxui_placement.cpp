// spxui placement: every window's placement in table order, as the
// program loads it without a dock container.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "tests/support/ToolRunner.h"

namespace {

TEST(SpxuiPlacement, PrintsEveryWindowInTableOrderAndRefusesUnknownNames)
{
    ToolRun all = RunSibling("spxui.exe", "placement");
    ASSERT_TRUE(all.started);
    EXPECT_EQ(0u, all.exitCode) << all.errors;
    EXPECT_EQ(24, (int)std::count(all.output.begin(), all.output.end(), '\n'));
    EXPECT_EQ(0u, all.output.find("Parameters isOpened=1 isMinimized=0 isAttached=0 X=0 Y=0 "));
    EXPECT_NE(std::string::npos,
              all.output.find("\nPresetPalette isOpened=0 isMinimized=0 isAttached=0 X=0 Y=0 "
                              "Width=200 Height=200\n"));
    ToolRun bad = RunSibling("spxui.exe", "placement Nowhere");
    EXPECT_EQ(1u, bad.exitCode);
}

}  // namespace
