// Fractal folders: unique paths and names, sorted insertion that keeps a
// layered fractal's layers behind it, insertion at a place, listed and
// unlisted folders, the current and default folder, folder deletion with
// its questions, captions, and a folder list that never keeps a node of a
// deleted or re-read fractal.
#include <string.h>
#include <vector>
#include "calc/FractalTask.h"
#include "document/EscapetimeParameters.h"
#include "document/Layer.h"
#include "document/Layers.h"
#include "files/entry/EntryReader.h"
#include "files/entry/EntryWriter.h"
#include "tests/document/FolderTestSupport.h"
#include "tests/support/ScriptedBoxes.h"

namespace {

class Folders : public FolderFixture {
protected:
    // A layered fractal added to the folder with layers of the given names.
    Fractal* AddLayered(FractalFolder* folder, const char* name, std::vector<const char*> layers)
    {
        Fractal* layered = Named(name, FT_LAYERED);
        folder->AddFractal(layered, false);
        for (const char* layer : layers)
            AddLayer(layered, Named(layer), true, false);
        return layered;
    }
};

// Paths compare without case; the name of a folder whose path was taken
// gets ".1", and the list's own rule renames a second "a.par" from
// another directory.
TEST_F(Folders, PathsAndNamesAreUnique)
{
    struct Case {
        const char* directory;
        const char* name;
        const char* wantName;
        const char* wantPath;
    } cases[] = {
        {"C:\\x", "a.par", "a.par", "C:\\x\\a.par"},
        {"C:\\x", "a.par", "a.par.1", "C:\\x\\a.par.1"},
        {"c:\\X", "A.PAR", "A.PAR.2", "c:\\X\\A.PAR.2"},
        {"C:\\y", "a.par", "a.par.3", "C:\\y\\a.par"},
    };
    for (const Case& c : cases) {
        FractalFolder* folder = new FractalFolder(c.directory, c.name, FOLDER_PARAMETERS, true, true);
        EXPECT_STREQ(c.wantName, folder->name);
        EXPECT_STREQ(c.wantPath, folder->path);
        EXPECT_EQ(1, folder->int2);
    }
    EXPECT_EQ(4, FolderList.Count());
    EXPECT_EQ(4u, hooks.combo[1].size());
}

// Sorted insertion lands between a layered fractal's last layer and the
// next fractal; a second "Julia" becomes "Julia.1" behind Julia's layers.
TEST_F(Folders, AddFractalKeepsLayersBehindTheirBase)
{
    FractalFolder* folder = NewFolder("a.par");
    folder->AddFractal(Named("zeta"), false);
    folder->AddFractal(Named("apple"), false);
    AddLayered(folder, "Julia", {"L1", "L2"});
    EXPECT_EQ("apple|Julia|L1|L2|zeta", FolderOrder(folder));

    folder->AddFractal(Named("Mandel"), false);
    EXPECT_EQ("apple|Julia|L1|L2|Mandel|zeta", FolderOrder(folder));
    Fractal* second = Named("Julia");
    folder->AddFractal(second, false);
    EXPECT_STREQ("Julia.1", second->name);
    EXPECT_EQ("apple|Julia|L1|L2|Julia.1|Mandel|zeta", FolderOrder(folder));
    EXPECT_EQ(1, folder->int2);
}

// A place chosen by the caller never splits a layered fractal from its
// layers; null means the head. A fractal already in a list moves.
TEST_F(Folders, InsertFractalAfterSkipsLayers)
{
    FractalFolder* folder = NewFolder("a.par");
    folder->AddFractal(Named("apple"), false);
    Fractal* julia = AddLayered(folder, "Julia", {"L1", "L2"});
    folder->AddFractal(Named("zeta"), false);

    Fractal* copy = Named("copy");
    folder->InsertFractalAfter(copy, julia);
    EXPECT_EQ("apple|Julia|L1|L2|copy|zeta", FolderOrder(folder));
    folder->InsertFractalAfter(copy, nullptr);
    EXPECT_EQ("copy|apple|Julia|L1|L2|zeta", FolderOrder(folder));

    Fractal* layer = Named("L0");
    folder->InsertLayerFractal(layer, nullptr, julia);
    EXPECT_EQ("copy|apple|Julia|L0|L1|L2|zeta", FolderOrder(folder));
    EXPECT_EQ(NODE_KIND_LAYER, layer->kind);
    RemoveLayer(static_cast<LayeredParameters*>(julia->typeParameters),
                static_cast<Layer*>(static_cast<LayeredParameters*>(julia->typeParameters)->layers.GetHead()), 1);
    DeleteFractal(layer, false, false);
    EXPECT_EQ("copy|apple|Julia|L2|zeta", FolderOrder(folder));
}

// The render-job folder is unlisted: no combo entry, no position, no tree
// items for its fractals; listed folders count from 0 without it.
TEST_F(Folders, UnlistedFolderHasNoPositionAndNoTreeItems)
{
    hooks.tree = true;
    FractalFolder* jobs = NewFolder("RenderJobs.par", FOLDER_PARAMETERS, false);
    FractalFolder* main = NewFolder("Spiralix.par");
    EXPECT_EQ(std::vector<std::string>{"Spiralix.par"}, hooks.combo[1]);
    EXPECT_EQ(main, GetFolderByIndex(0));
    EXPECT_EQ(nullptr, GetFolderByIndex(1));
    EXPECT_EQ(-1, GetFolderIndex(jobs));
    EXPECT_EQ(0, GetFolderIndex(main));

    hooks.treeInserts.clear();
    jobs->AddFractal(Named("job"), false);
    EXPECT_TRUE(hooks.treeInserts.empty());
    main->AddFractal(Named("Mandel"), false);
    EXPECT_EQ(std::vector<std::string>{"Mandel<Spiralix.par"}, hooks.treeInserts);
}

// MakeCurrent without force on the current folder changes only the
// default folder; an animation folder never becomes the default.
TEST_F(Folders, MakeCurrentAndDefaultFolder)
{
    FractalFolder* params = NewFolder("a.par");
    FractalFolder* animation = NewFolder("Animation", FOLDER_ANIMATION);
    params->MakeCurrent(true);
    animation->MakeCurrent(false);
    EXPECT_EQ(animation, CurrentFolder);
    EXPECT_EQ(params, DefaultParameterFolder);
    EXPECT_EQ(1, hooks.comboSelection[1]);

    DefaultParameterFolder = nullptr;
    params->MakeCurrent(true);
    hooks.comboSelection[1] = -2;
    params->MakeCurrent(false);
    EXPECT_EQ(-2, hooks.comboSelection[1]);
    EXPECT_EQ(params, DefaultParameterFolder);
}

// The last folder of a kind is refused on the interactive path before any
// question; a declined question keeps everything; without ask it goes,
// and the default folder falls back to none.
TEST_F(Folders, DeleteFolderQuestionsAndLastFolderRule)
{
    FractalFolder* first = NewFolder("a.par");
    FractalFolder* second = NewFolder("b.par");
    FractalFolder* animation = NewFolder("Animation", FOLDER_ANIMATION);
    second->AddFractal(Named("Mandel"), false);
    second->MakeCurrent(true);
    {
        ScriptedBoxes boxes(IDOK);
        DeleteFolder(animation, true, false);
        ASSERT_EQ(1u, boxes.Count());
        EXPECT_NE(std::string::npos, boxes.Shown()[0].text.find("last fractal (or animation) folder"));
        EXPECT_EQ(3, FolderList.Count());
    }
    {
        ScriptedBoxes boxes(IDNO);
        EXPECT_EQ(IDNO, DeleteFolder(second, true, false));
        EXPECT_EQ(1u, boxes.Count());
        EXPECT_EQ("Mandel", FolderOrder(second));
    }
    {
        ScriptedBoxes boxes(IDYES);
        DeleteFolder(second, true, false);
        EXPECT_EQ(2, FolderList.Count());
        EXPECT_EQ(animation, CurrentFolder);   // the folder after it
        EXPECT_EQ(nullptr, DefaultParameterFolder);
    }
    DeleteFolder(animation, false, false);
    EXPECT_EQ(1, FolderList.Count());
    EXPECT_EQ(first, FolderList.GetHead());
}

// The caption follows the progress, truncated; none is set without a
// window.
TEST_F(Folders, WindowCaptionShowsProgress)
{
    FractalFolder* folder = NewFolder("a.par");
    Fractal* mandel = Named("Mandel");
    folder->AddFractal(mandel, false);
    FractalTask task;
    mandel->task = &task;
    struct Case {
        double progress;
        const char* want;
    } cases[] = {{0.427, "Mandel (42%)"}, {0.0, "Mandel"}, {-1.0, "Mandel"}, {0.999, "Mandel (99%)"}};
    task.window = reinterpret_cast<PFrameWindow*>(&task);
    for (const Case& c : cases) {
        task.progress = c.progress;
        hooks.title.clear();
        mandel->UpdateWindowTitle();
        EXPECT_EQ(c.want, hooks.title);
    }
    task.window = nullptr;
    hooks.title = "unchanged";
    mandel->UpdateListings();
    EXPECT_EQ("unchanged", hooks.title);
    mandel->task = nullptr;
}

// Deleting a layered fractal with two layers, deleting one with delete,
// and re-reading a layered entry in place leave no node of a dead fractal
// in the folder.
TEST_F(Folders, NoDanglingNodesAfterDeletionOrReRead)
{
    hooks.tree = true;
    FractalFolder* folder = NewFolder("a.par");
    folder->AddFractal(Named("apple"), false);
    Fractal* julia = AddLayered(folder, "Julia", {"L1", "L2"});
    folder->AddFractal(Named("zeta"), false);
    Fractal* layer1 = julia->next ? static_cast<Fractal*>(julia->next) : nullptr;
    DeleteFractal(julia, false, true);
    EXPECT_FALSE(IsLiveFractal(layer1));
    EXPECT_EQ("apple|zeta", FolderOrder(folder));

    Fractal* direct = AddLayered(folder, "Direct", {"D1", "D2"});
    delete direct;
    EXPECT_EQ("apple|zeta", FolderOrder(folder));

    Fractal* again = AddLayered(folder, "Again", {"A1", "A2"});
    char* text = MakeParameterText(again, false, -1, true);
    ASSERT_NE(nullptr, text);
    ASSERT_EQ(again, ReadParameterEntry(again, text, nullptr, false, -1, 0));
    free(text);
    EXPECT_EQ("Again|A1|A2|apple|zeta", FolderOrder(folder));
    LayeredParameters* block = static_cast<LayeredParameters*>(again->typeParameters);
    ASSERT_EQ(2, block->layers.Count());
    for (ListNode* n = block->layers.GetHead(); n; n = n->next)
        EXPECT_EQ(again, static_cast<Layer*>(n)->fractal->baseFractal);
}

}  // namespace
