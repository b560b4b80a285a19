// Layers of layered fractals: where AddLayer puts the record and the
// fractal, copies and take-overs, the clone of a never-parsed layer,
// reinsertion, name sync, opening the layers' windows and the layered
// fractals told about a changed layer.
#include <string.h>
#include <vector>
#include "calc/FractalTask.h"
#include "document/EscapetimeParameters.h"
#include "document/Layer.h"
#include "document/Layers.h"
#include "files/entry/EntryWriter.h"
#include "tests/document/FolderTestSupport.h"

namespace {

class Layers : public FolderFixture {
protected:
    void SetUp() override
    {
        FolderFixture::SetUp();
        folder = NewFolder("a.par");
        folder->MakeCurrent(true);
        layered = Named("Base", FT_LAYERED);
        folder->AddFractal(layered, false);
        folder->AddFractal(Named("zeta"), false);
    }
    LayeredParameters* Block(Fractal* f) { return static_cast<LayeredParameters*>(f->typeParameters); }
    std::string RecordNames(Fractal* f)
    {
        std::string names;
        for (ListNode* n = Block(f)->layers.GetHead(); n; n = n->next)
            names += (names.empty() ? "" : "|") + std::string(n->name);
        return names;
    }

    FractalFolder* folder;
    Fractal* layered;
};

// The new layer goes behind the current one (record and fractal) and
// becomes current; without a current layer it goes to the head, right
// behind the layered fractal.
TEST_F(Layers, PlacementFollowsTheCurrentLayer)
{
    struct Case {
        const char* name;
        int currentBefore;   // -2: keep what the previous step left
        const char* records;
        const char* order;
        int currentAfter;
    } cases[] = {
        {"A", -2, "A", "Base|A|zeta", 0},
        {"B", -2, "A|B", "Base|A|B|zeta", 1},
        {"C", -2, "A|B|C", "Base|A|B|C|zeta", 2},
        {"D", 1, "A|B|D|C", "Base|A|B|D|C|zeta", 2},
        {"E", -1, "E|A|B|D|C", "Base|E|A|B|D|C|zeta", 0},
    };
    for (const Case& c : cases) {
        if (c.currentBefore != -2)
            Block(layered)->currentLayer = c.currentBefore;
        Fractal* fractal = Named(c.name);
        Layer* record = AddLayer(layered, fractal, true, false);
        ASSERT_NE(nullptr, record) << c.name;
        EXPECT_EQ(c.records, RecordNames(layered)) << c.name;
        EXPECT_EQ(c.order, FolderOrder(folder)) << c.name;
        EXPECT_EQ(c.currentAfter, Block(layered)->currentLayer) << c.name;
        EXPECT_EQ(0, record->windowShown);
        EXPECT_EQ(layered, fractal->baseFractal);
        EXPECT_EQ(record, fractal->layer);
        EXPECT_EQ(NODE_KIND_LAYER, fractal->kind);
        EXPECT_EQ(fractal, CurrentFolder->currentFractal);   // taken over: selected
    }
}

// Without take-over a copy is the layer (fitted to the layered size) and
// the source stays a plain fractal of the folder; a never-parsed source
// is parsed before it is copied.
TEST_F(Layers, CloneOfANeverParsedFractal)
{
    layered->header->Width = 200;
    layered->header->Height = 100;
    Fractal* model = Named("Source");
    model->header->Width = 77;
    char* text = MakeParameterText(model, false, -1, true);
    delete model;
    Fractal* source = new Fractal();
    source->SetName("Source");
    source->pendingEntryText = text;
    folder->AddFractal(source, false);

    Layer* record = AddLayer(layered, source, false, false);
    ASSERT_NE(nullptr, record);
    EXPECT_EQ(nullptr, source->pendingEntryText);
    EXPECT_NE(source, record->fractal);
    EXPECT_EQ(FT_PLASMA, record->fractal->header->Type);
    EXPECT_EQ(77, record->fractal->header->Width);
    EXPECT_EQ(0, source->kind);
    EXPECT_EQ(nullptr, source->baseFractal);

    Layer* fitted = AddLayer(layered, source, false, true);
    EXPECT_EQ(200, fitted->fractal->header->Width);
    EXPECT_EQ(100, fitted->fractal->header->Height);
    EXPECT_EQ(77, source->header->Width);
    EXPECT_EQ("Base|Source|Source|Source|zeta", FolderOrder(folder));
    EXPECT_EQ(record->fractal, layered->next);
    EXPECT_EQ(fitted->fractal, layered->next->next);
    EXPECT_EQ(source, layered->next->next->next);
}

// A record taken from another layered fractal joins this one with its
// fractal, which follows the new base in the folder.
TEST_F(Layers, ReinsertMovesARecordBetweenLayeredFractals)
{
    Fractal* other = Named("Other", FT_LAYERED);
    folder->AddFractal(other, false);
    AddLayer(other, Named("Moving"), true, false);
    AddLayer(layered, Named("Staying"), true, false);
    EXPECT_EQ("Base|Staying|Other|Moving|zeta", FolderOrder(folder));

    Layer* record = static_cast<Layer*>(Block(other)->layers.GetHead());
    Block(other)->layers.Remove(record);
    Block(other)->currentLayer = -1;
    ReinsertLayer(layered, record);
    EXPECT_EQ("Staying|Moving", RecordNames(layered));
    EXPECT_EQ("Base|Staying|Moving|Other|zeta", FolderOrder(folder));
    EXPECT_EQ(layered, record->fractal->baseFractal);
    EXPECT_EQ(record->fractal, CurrentFolder->currentFractal);
    EXPECT_EQ(record, layered->FindLayer(record->fractal));
    EXPECT_EQ(nullptr, other->FindLayer(record->fractal));
}

// Names follow a rename only through SyncLayerNames; FindLayer and
// SyncLayerNames do nothing on other types.
TEST_F(Layers, SyncNamesAndFindLayer)
{
    Fractal* fractal = Named("Clouds");
    Layer* record = AddLayer(layered, fractal, true, false);
    fractal->SetName("Sky");
    EXPECT_STREQ("Clouds", record->name);
    SyncLayerNames(layered);
    EXPECT_STREQ("Sky", record->name);

    Fractal plain(FT_PLASMA, 0);
    plain.SetName("plain");
    SyncLayerNames(&plain);
    EXPECT_EQ(nullptr, plain.FindLayer(fractal));
    EXPECT_EQ(record, layered->FindLayer(fractal));
    EXPECT_EQ(nullptr, layered->FindLayer(&plain));
}

// A windowless task whose value buffer shows whether a recalculation
// cleared it.
struct ValueTask {
    explicit ValueTask(Fractal* f) : fractal(f), values(f->GetBufferWidth() * f->header->Height, 1.0f)
    {
        task.values = values.data();
        task.fractal = f;
        f->task = &task;
    }
    ~ValueTask() { fractal->task = nullptr; }
    bool Cleared() const { return values[0] == 0.0f; }

    Fractal* fractal;
    std::vector<float> values;
    FractalTask task;
};

// Action 1 recalculates exactly the layered fractals that hold the fractal.
TEST_F(Layers, UpdateLayeredParentsRecalculatesOnlyHolders)
{
    Fractal* shared = Named("Shared");
    AddLayer(layered, shared, true, false);
    Fractal* other = Named("Other", FT_LAYERED);
    folder->AddFractal(other, false);
    AddLayer(other, Named("Own"), true, false);
    for (Fractal* f : {layered, other}) {
        f->header->Width = 4;
        f->header->Height = 3;
    }
    ValueTask holder(layered), bystander(other);
    UpdateLayeredParents(shared, 0);
    EXPECT_FALSE(holder.Cleared());
    UpdateLayeredParents(shared, 1);
    EXPECT_TRUE(holder.Cleared());
    EXPECT_FALSE(bystander.Cleared());
}

// Every layer's calculation is opened with the show flag passed on; only
// records that show their window get it shown.
TEST_F(Layers, OpenLayerWindowsShowsMarkedWindows)
{
    Fractal* a = Named("A");
    Fractal* b = Named("B");
    AddLayer(layered, a, true, false);
    AddLayer(layered, b, true, false);
    b->layer->windowShown = 1;
    FractalTask taskA, taskB;
    taskA.window = reinterpret_cast<PFrameWindow*>(&taskA);
    taskB.window = reinterpret_cast<PFrameWindow*>(&taskB);
    a->task = &taskA;
    b->task = &taskB;

    static std::vector<std::string> opened;
    static std::vector<PFrameWindow*> shown;
    opened.clear();
    shown.clear();
    auto openTask = g_OpenTask;
    g_OpenTask = [](Fractal* f, int, int, int show, int, int, int) {
        opened.push_back(std::string(f->name) + (show ? "+" : "-"));
        return 1;
    };
    g_Listings.showWindow = [](PFrameWindow* w, bool) { shown.push_back(w); };
    OpenLayerWindows(layered, true);
    OpenLayerWindows(a, true);   // not layered: nothing
    g_OpenTask = openTask;
    a->task = b->task = nullptr;
    EXPECT_EQ((std::vector<std::string>{"A+", "B+"}), opened);
    EXPECT_EQ(std::vector<PFrameWindow*>{taskB.window}, shown);
}

}  // namespace
