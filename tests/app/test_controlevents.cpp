// The Fractal Tree's callbacks on the document model: the drop test between
// plain folders and animations, moving a fractal (its layers along, never a
// layer alone, nothing when it stays in its folder), dropping as a layer,
// selection of folders and window-less layers, renaming, the timeline's
// key, and what window activation selects, raises or closes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ControlEvents.h"
#include "document/Layers.h"
#include "tests/document/FolderTestSupport.h"
#include "toolwindows/RequestRouting.h"

namespace {

std::vector<std::string> g_windowCalls;

class ControlEvents : public FolderFixture {
protected:
    void SetUp() override
    {
        FolderFixture::SetUp();
        g_windowCalls.clear();
        g_ControlEventWindows.mainToForeground = [] { g_windowCalls.push_back("main"); };
        g_ControlEventWindows.treeToForeground = [] { g_windowCalls.push_back("tree"); };
        g_ControlEventWindows.raiseMainFrame = [] { g_windowCalls.push_back("raise"); };
        g_ControlEventWindows.closePopup = [](int id) { g_windowCalls.push_back("close " + std::to_string(id)); };
        plain1 = NewFolder("Plain1");
        plain2 = NewFolder("Plain2");
        anim1 = NewFolder("Anim1", FOLDER_ANIMATION);
        anim2 = NewFolder("Anim2", FOLDER_ANIMATION);
        p1 = Add(plain1, "p1");
        p2 = Add(plain2, "p2");
        a1 = Add(anim1, "a1");
        a1b = Add(anim1, "a1b");
        a2 = Add(anim2, "a2");
    }
    void TearDown() override
    {
        g_ControlEventWindows = ControlEventWindows{};
        g_RequestHandlers = RequestHandlers{};
        FolderFixture::TearDown();
    }
    Fractal* Add(FractalFolder* folder, const char* name, int type = FT_PLASMA)
    {
        Fractal* f = Named(name, type);
        folder->AddFractal(f, false);
        return f;
    }

    FractalFolder *plain1, *plain2, *anim1, *anim2;
    Fractal *p1, *p2, *a1, *a1b, *a2;
};

// Plain folders and animations never exchange fractals; inside an
// animation only its own fractals are targets.
TEST_F(ControlEvents, DropTestKeepsAnimationsApart)
{
    struct Case {
        ListNode* dragged;
        ListNode* target;
        ListNode* receiver;
    } cases[] = {
        {p1, plain2, plain2},
        {p1, p2, plain2},   // a fractal target gives its folder
        {p1, anim1, nullptr},
        {p1, a1, nullptr},
        {a1, anim1, anim1},
        {a1, anim2, nullptr},
        {a1, plain1, nullptr},
        {a1, a1b, a1b},
        {a1, a2, nullptr},  // another animation's fractal
        {plain1, plain2, nullptr},  // folders are never dragged
        {p1, nullptr, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.receiver, CanDropOnFractalTree(FRACTAL_TREE_CONTROL, c.dragged, c.target))
            << c.dragged->name << " onto " << (c.target ? c.target->name : "-");
    EXPECT_EQ(nullptr, CanDropOnFractalTree(1801, p1, plain2)) << "other controls";
}

// A layered fractal arrives with its layer fractals behind it; dragging a
// layer moves its layered fractal; the source's current fractal moves on.
TEST_F(ControlEvents, MovedLayeredFractalsTakeTheirLayersAlong)
{
    Fractal* layered = Add(plain1, "Base", FT_LAYERED);
    Fractal* layerA = Named("LA");
    Fractal* layerB = Named("LB");
    AddLayer(layered, layerA, true, false);
    AddLayer(layered, layerB, true, false);
    plain1->currentFractal = layered;
    plain1->int2 = 0;
    ASSERT_EQ("Base|LA|LB|p1", FolderOrder(plain1));

    HandleFractalTreeDrop(FRACTAL_TREE_CONTROL, plain2, false, layerB);
    EXPECT_EQ("Base|LA|LB|p2", FolderOrder(plain2));
    EXPECT_EQ("p1", FolderOrder(plain1));
    EXPECT_EQ(p1, plain1->currentFractal) << "the next fractal became current";
    EXPECT_EQ(1, plain1->int2) << "the source is modified";
    EXPECT_EQ(plain2, CurrentFolder);
    EXPECT_EQ(layerB, CurrentFolder->currentFractal) << "the layered fractal's current layer";
}

// Onto its own folder (or a fractal of it) nothing moves and nothing is
// marked; inside an animation the fractal goes behind the target.
TEST_F(ControlEvents, DropsInsideTheSameFolder)
{
    Add(plain1, "q1");
    plain1->int2 = 0;
    HandleFractalTreeDrop(FRACTAL_TREE_CONTROL, plain1, false, p1);
    HandleFractalTreeDrop(FRACTAL_TREE_CONTROL, plain1->fractals.GetTail(), false, p1);
    EXPECT_EQ("p1|q1", FolderOrder(plain1));
    EXPECT_EQ(0, plain1->int2);

    HandleFractalTreeDrop(FRACTAL_TREE_CONTROL, a1b, false, a1);
    EXPECT_EQ("a1b|a1", FolderOrder(anim1));
    HandleFractalTreeDrop(FRACTAL_TREE_CONTROL, anim1, false, a1);
    EXPECT_EQ("a1|a1b", FolderOrder(anim1)) << "onto the animation: at its start";
}

// Without a target the layer flag adds a copy of the dragged fractal as a
// layer of the current layered fractal, never a layered fractal itself.
TEST_F(ControlEvents, DropWithoutTargetAddsALayer)
{
    Fractal* layered = Add(plain1, "Base", FT_LAYERED);
    Fractal* other = Add(plain1, "Other", FT_LAYERED);
    SelectFractal(layered, true);
    HandleFractalTreeDrop(FRACTAL_TREE_CONTROL, nullptr, true, other);
    EXPECT_EQ(0, LayersOf(layered)->layers.Count());
    HandleFractalTreeDrop(FRACTAL_TREE_CONTROL, nullptr, false, p2);
    EXPECT_EQ(0, LayersOf(layered)->layers.Count()) << "no layer flag";
    HandleFractalTreeDrop(FRACTAL_TREE_CONTROL, nullptr, true, p2);
    ASSERT_EQ(1, LayersOf(layered)->layers.Count());
    EXPECT_EQ("p2", FolderOrder(plain2)) << "a copy became the layer";
    EXPECT_EQ(layered, CurrentFolder->currentFractal->baseFractal);
    // The current layer stands for its layered fractal.
    HandleFractalTreeDrop(FRACTAL_TREE_CONTROL, nullptr, true, p1);
    EXPECT_EQ(2, LayersOf(layered)->layers.Count());
}

// A folder becomes current with no fractal; a layer without a window is
// shown through its layered fractal with the layer selected there.
TEST_F(ControlEvents, TreeSelection)
{
    Fractal* layered = Add(plain1, "Base", FT_LAYERED);
    Fractal* layerA = Named("LA");
    Fractal* layerB = Named("LB");
    AddLayer(layered, layerA, true, false);
    AddLayer(layered, layerB, true, false);
    TreeSelectionChanged(FRACTAL_TREE_CONTROL, plain2, true);
    EXPECT_EQ(plain2, CurrentFolder);
    EXPECT_EQ(nullptr, CurrentFolder->currentFractal);

    LayersOf(layered)->currentLayer = 1;
    TreeSelectionChanged(FRACTAL_TREE_CONTROL, layerA, true);
    EXPECT_EQ(plain1, CurrentFolder);
    EXPECT_EQ(0, LayersOf(layered)->currentLayer);
    EXPECT_EQ(layerA, CurrentFolder->currentFractal) << "shown through its layered fractal";

    TreeSelectionChanged(FRACTAL_TREE_CONTROL, p2, false);
    EXPECT_EQ(plain1, CurrentFolder) << "a selection not made by the user changes nothing";
    EXPECT_TRUE(g_windowCalls.empty()) << "no fractal has a window";
}

// Folder names are cut to 63 characters and made unique among the folders;
// fractals are renamed in their folder.
TEST_F(ControlEvents, RenamingFoldersAndFractals)
{
    plain2->int2 = 0;
    TreeItemRenamed(nullptr, plain2, "plain1");
    EXPECT_STREQ("plain", plain2->name) << "the list's unique form of a taken name";
    EXPECT_EQ(1, plain2->int2);
    TreeItemRenamed(nullptr, plain2, "PLAIN");
    EXPECT_STREQ("PLAIN", plain2->name) << "its own name is free to it";
    TreeItemRenamed(nullptr, plain2, std::string(80, 'n').c_str());
    EXPECT_EQ(63u, strlen(plain2->name));
    TreeItemRenamed(nullptr, p1, "Renamed");
    EXPECT_STREQ("Renamed", p1->name);
}

// Deactivation closes the four popups; activating a fractal window selects
// its fractal, any other window raises the main frame.
TEST_F(ControlEvents, WindowActivation)
{
    HandleWindowActivation(WID_COLOUR_CHOOSER_POPUP, nullptr, false);
    EXPECT_EQ((std::vector<std::string>{"close 1910", "close 2610", "close 1600", "close 1900"}), g_windowCalls);
    g_windowCalls.clear();
    HandleWindowActivation(WID_FRACTAL_WINDOW, p2, true);
    EXPECT_EQ(plain2, CurrentFolder);
    EXPECT_EQ(p2, CurrentFolder->currentFractal);
    EXPECT_TRUE(g_windowCalls.empty());
    HandleWindowActivation(400, nullptr, true);
    EXPECT_EQ(std::vector<std::string>{"raise"}, g_windowCalls);
}

// The selected key becomes the animation's current key and its name is
// shown; no key clears both.
TEST_F(ControlEvents, TimelineKeySelection)
{
    static std::string shown;
    shown = "?";
    g_ControlEventWindows.showKeyName = [](const char* name) { shown = name; };
    TimelineKeySelected(ANIMATION_TIMELINE_CONTROL, anim1, a1b);
    EXPECT_EQ(a1b, anim1->currentKey);
    EXPECT_EQ("a1b", shown);
    TimelineKeySelected(ANIMATION_TIMELINE_CONTROL, anim1, nullptr);
    EXPECT_EQ(nullptr, anim1->currentKey);
    EXPECT_EQ("", shown);
    TimelineKeySelected(FRACTAL_TREE_CONTROL, anim1, a1);
    EXPECT_EQ(nullptr, anim1->currentKey) << "other controls";
}

// Activating a tree item opens the current fractal through button 206,
// between bringing the main frame and the tree's window forward.
TEST_F(ControlEvents, TreeActivationRunsTheOpenButton)
{
    static std::vector<int> clicked;
    clicked.clear();
    g_RequestHandlers.buttonClicked = [](int id) {
        clicked.push_back(id);
        g_windowCalls.push_back("button");
    };
    HandleItemActivated(FRACTAL_TREE_CONTROL);
    EXPECT_TRUE(clicked.empty()) << "no current fractal";
    SelectFractal(p1, true);
    g_windowCalls.clear();
    EXPECT_EQ(0, HandleItemActivated(FRACTAL_TREE_CONTROL));
    EXPECT_EQ(std::vector<int>{FRACTAL_TREE_OPEN_BUTTON}, clicked);
    EXPECT_EQ((std::vector<std::string>{"main", "button", "tree"}), g_windowCalls);
}

}  // namespace
