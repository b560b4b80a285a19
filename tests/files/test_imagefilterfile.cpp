// Image-filter files: an entry's NAME, SIZE, DIVISOR, BIAS and values,
// entries the calculation could not apply refused with a message naming
// the file and the entry, the 100-value cap, skipped entries, and loading
// a file twice (every filter appended again, the first found first).
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <string>

#include "files/ImageFilterFile.h"
#include "foundation/ImageFilter.h"
#include "foundation/List.h"
#include "foundation/Messages.h"

namespace {

std::string TempFolder()
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string text = folder;
    if (!text.empty() && text.back() == '\\')
        text.pop_back();
    return text;
}

void WriteText(const std::string& path, const std::string& text)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

ImageFilter* FindFilter(const char* entryName)
{
    for (ListNode* n = g_ImageFilters.GetHead(); n; n = n->next)
        if (strcmp(static_cast<ImageFilter*>(n)->GetEntryName(), entryName) == 0)
            return static_cast<ImageFilter*>(n);
    return nullptr;
}

std::string AllMessages()
{
    std::string all;
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        all += std::string(static_cast<MessageNode*>(n)->text) + "\n";
    return all;
}

class FilterFile : public testing::Test {
protected:
    void TearDown() override
    {
        g_ImageFilters.DeleteAllNodes();
        g_Messages.DeleteAllNodes();
    }
};

std::string Ones(int count)
{
    std::string text;
    for (int i = 0; i < count; i++)
        text += i % 10 == 9 ? "1\r\n" : "1 ";
    return text;
}

}  // namespace

TEST_F(FilterFile, EntryGivesKernelNamesDivisorAndBias)
{
    std::string folder = TempFolder();
    WriteText(folder + "\\spx_blur.flt",
              "; filters\r\nBlur {\r\n  NAME=\"Soft blur\" SIZE=3\r\n  DIVISOR=9 BIAS=0.5\r\n  values:\r\n"
              "  1 1 1\r\n  1 1 1\r\n  1 1 \\\r\n 1\r\n}\r\ncomment { SIZE=2 }\r\nodd:name { SIZE=1 }\r\n");
    EXPECT_EQ(1, LoadImageFilterFile(folder.c_str(), "spx_blur.flt"));
    ImageFilter* blur = FindFilter("Blur");
    ASSERT_NE(nullptr, blur);
    EXPECT_STREQ("Soft blur", blur->name);
    EXPECT_EQ(3, blur->GetSide());
    EXPECT_DOUBLE_EQ(9.0, blur->GetDivisor());
    EXPECT_DOUBLE_EQ(0.5, blur->GetBias());
    for (int i = 0; i < 9; i++)
        EXPECT_DOUBLE_EQ(1.0, blur->GetValue(i)) << i;
    EXPECT_EQ(1, g_ImageFilters.Count());   // "comment" and names with ':' are skipped
    EXPECT_EQ(nullptr, FindFilter("Soft blur"));
    DeleteFileA((folder + "\\spx_blur.flt").c_str());
}

TEST_F(FilterFile, KernelsTheCalculationCannotApplyAreRefused)
{
    // Each refusal names the file and the entry; nothing is appended.
    struct Case {
        const char* name;
        std::string body;
        const char* reason;
    } cases[] = {
        {"TooWide", "SIZE=11 VALUES: " + Ones(121), "SIZE must be 1 to 10"},
        {"Zero", "SIZE=0 VALUES: 1", "SIZE must be 1 to 10"},
        {"Short", "SIZE=3 VALUES: " + Ones(8), "fewer values"},
        {"SizeOnly", "SIZE=2", "fewer values"},
    };
    for (const Case& c : cases) {
        std::string entry = std::string("{ ") + c.body + " }";
        EXPECT_EQ(nullptr, ReadImageFilters(c.name, entry.c_str(), (int)entry.size(), "C:\\f\\set.flt")) << c.name;
        std::string messages = AllMessages();
        EXPECT_NE(std::string::npos, messages.find(c.name)) << messages;
        EXPECT_NE(std::string::npos, messages.find("C:\\f\\set.flt")) << messages;
        EXPECT_NE(std::string::npos, messages.find(c.reason)) << messages;
        g_Messages.DeleteAllNodes();
    }
    EXPECT_EQ(0, g_ImageFilters.Count());
}

TEST_F(FilterFile, ValueCapAndEntriesWithoutValues)
{
    std::string big = "{ SIZE=10 VALUES: " + Ones(100) + " 5 5 5 }";
    ImageFilter* ten = ReadImageFilters("Ten", big.c_str(), (int)big.size(), "x.flt");
    ASSERT_NE(nullptr, ten);
    EXPECT_EQ(10, ten->GetSide());
    EXPECT_DOUBLE_EQ(1.0, ten->GetValue(99));   // the 101st..103rd values are dropped
    const char* plain = "{ NAME=Plain DIVISOR=2 }";
    ImageFilter* identity = ReadImageFilters("Plain", plain, (int)strlen(plain), "x.flt");
    ASSERT_NE(nullptr, identity);
    EXPECT_EQ(1, identity->GetSide());
    EXPECT_DOUBLE_EQ(1.0, identity->GetValue(0));
    EXPECT_DOUBLE_EQ(2.0, identity->GetDivisor());
    EXPECT_EQ(2, g_ImageFilters.Count());
}

TEST_F(FilterFile, LoadingTwiceAppendsEveryFilterAgain)
{
    std::string folder = TempFolder();
    std::string path = folder + "\\spx_twice.flt";
    WriteText(path, "Sharpen { SIZE=1 DIVISOR=1 VALUES: 2 }\r\nEdge { SIZE=1 VALUES: -1 }\r\n");
    EXPECT_EQ(2, LoadImageFilterFile(nullptr, path.c_str()));
    EXPECT_EQ(2, LoadImageFilterFile(nullptr, path.c_str()));
    EXPECT_EQ(4, g_ImageFilters.Count());
    ImageFilter* first = FindFilter("Sharpen");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, g_ImageFilters.GetHead());
    EXPECT_DOUBLE_EQ(2.0, first->GetValue(0));
    EXPECT_EQ(0, LoadImageFilterFile(folder.c_str(), "spx_missing.flt"));
    EXPECT_EQ("", AllMessages());
    DeleteFileA(path.c_str());
}
