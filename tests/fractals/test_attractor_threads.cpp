// The attractor's point workers on real threads (each a new Thread( ... )
// inside RunAttractorPointWorkers): a run reaches its point target with
// every record accumulated, a command stops it within half a second, and
// no worker is left running afterwards.
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>
#include <memory>
#include <vector>

#include "compiler/CodeTemplate.h"
#include "compiler/FormulaSymbol.h"
#include "foundation/Buffers.h"
#include "fractals/attractor/AttractorBlock.h"
#include "fractals/attractor/AttractorProgram.h"
#include "foundation/List.h"
#include "fractals/attractor/AttractorWorkers.h"
#include "fractals/attractor/UnitCube.h"

namespace {

template <typename T>
T& At(uint8_t* p, int offset) { return *reinterpret_cast<T*>(p + offset); }

// z = (1, 0, 0) every step.
const uint8_t kFixed[] = {0xD9, 0xE8, 0xDD, 0x1F, 0xD9, 0xEE, 0xDD, 0x5F, 0x08, 0xD9, 0xEE, 0xDD, 0x5F, 0x10};

struct Workers {
    FormulaFunction* loop = new FormulaFunction;
    GrowBuffer code{0, true};
    std::vector<std::vector<uint8_t>> memory, records;
    std::vector<std::vector<int32_t>> history;
    std::vector<AttractorPointWork> work;

    explicit Workers(int count)
    {
        InitProcessorFeatures();
        fixupTemplates();
        strcpy(loop->decoratedName, "Vloop@@");
        memcpy(loop->code->GetData(), kFixed, sizeof kFixed);
        loop->codeLength = sizeof kFixed;
        AttractorProgramInput in;
        AttractorMapCode map;
        AttractorPieces p;
        p.loop = loop;
        map.transformations.push_back(p);
        in.maps.push_back(map);
        EXPECT_TRUE(AssembleAttractorProgram(&code, in));
        memory.assign(count, std::vector<uint8_t>(6000, 0));
        records.assign(count, std::vector<uint8_t>(ATTRACTOR_BATCH * ATTRACTOR_RECORD_SIZE, 0));
        history.assign(count, std::vector<int32_t>(ATTRACTOR_HISTORY_SIZE, 0));
        work.resize(count);
        for (int i = 0; i < count; i++) {
            uint8_t* base = memory[i].data() + 3000;
            At<int32_t>(base, AV_BATCH_SIZE) = ATTRACTOR_BATCH;
            At<uint8_t*>(base, AV_POINT_BUFFER) = records[i].data();
            At<int32_t*>(base, AV_HISTORY) = history[i].data();
            At<uint32_t>(base, AV_ONCE_TRAFO) = 0xFFFFFFFFu;
            work[i].base = base;
            work[i].program = code.GetData();
        }
    }
    ~Workers() { delete loop; }
};

struct Sink {
    double points = 0;
    int wrongRecords = 0;
    int refreshes = 0;
    DWORD stopAt = 0;   // tick after which a command is pending (0: never)
};

bool Pending(void* c)
{
    Sink* s = static_cast<Sink*>(c);
    return s->stopAt && GetTickCount() >= s->stopAt;
}
void Accumulate(void* c, const uint8_t* records, int count)
{
    Sink* s = static_cast<Sink*>(c);
    for (int n = 0; n < count; n++) {
        AttractorSpaceRecord r;
        memcpy(&r, records + n * ATTRACTOR_RECORD_SIZE, sizeof r);
        if (r.point[0] != 1.0f || r.point[1] != 0.0f)
            s->wrongRecords++;
    }
    s->points += count;
}
void Refresh(void* c, double) { static_cast<Sink*>(c)->refreshes++; }

}  // namespace

TEST(AttractorWorkerThreads, ReachTheTargetWithEveryRecord)
{
    for (int count : {1, 2}) {
        SCOPED_TRACE(count);
        Workers w(count);
        Sink sink;
        AttractorRunHooks hooks;
        hooks.context = &sink;
        hooks.commandPending = &Pending;
        hooks.accumulate = &Accumulate;
        hooks.refresh = &Refresh;
        bool stopped = true;
        const double target = 20 * 1024;
        double points = RunAttractorPointWorkers(w.work.data(), count, 0, target, hooks, &stopped);
        EXPECT_FALSE(stopped);
        EXPECT_GE(points, target);
        EXPECT_EQ(points, sink.points) << "every batch counted is accumulated";
        EXPECT_EQ(sink.wrongRecords, 0);
    }
}

TEST(AttractorWorkerThreads, ACommandStopsTheRunWithinHalfASecond)
{
    Workers w(3);
    Sink sink;
    AttractorRunHooks hooks;
    hooks.context = &sink;
    hooks.commandPending = &Pending;
    hooks.accumulate = &Accumulate;
    sink.stopAt = GetTickCount() + 300;
    bool stopped = false;
    double points = RunAttractorPointWorkers(w.work.data(), 3, 0, 1e15, hooks, &stopped);
    DWORD answered = GetTickCount() - sink.stopAt;
    EXPECT_TRUE(stopped);
    EXPECT_LT(answered, 500u);
    EXPECT_GT(points, 0);
    EXPECT_EQ(points, sink.points);
    // the workers are gone: their blocks can be changed without a race
    int32_t numiter = At<int32_t>(w.work[0].base, AV_NUMITER);
    Sleep(50);
    EXPECT_EQ(At<int32_t>(w.work[0].base, AV_NUMITER), numiter);
}

namespace {

volatile LONG g_Made = 0;
NodeList* SlowMaker()
{
    InterlockedIncrement(&g_Made);
    Sleep(100);   // the second caller arrives meanwhile
    return new NodeList;
}
NodeList* g_Seen[2];
DWORD WINAPI AskForTheCube(LPVOID i)
{
    g_Seen[(intptr_t)i] = AttractorUnitCubeFunctions();
    return 0;
}

}  // namespace

TEST(AttractorWorkerThreads, TwoAttractorsAtOnceMakeOneUnitCube)
{
    UnitCubeMaker previous = SetAttractorUnitCubeMaker(&SlowMaker);
    HANDLE threads[2];
    for (intptr_t i = 0; i < 2; i++)
        threads[i] = CreateThread(nullptr, 0, &AskForTheCube, (LPVOID)i, 0, nullptr);
    WaitForMultipleObjects(2, threads, TRUE, 10000);
    for (HANDLE h : threads)
        CloseHandle(h);
    EXPECT_EQ(g_Made, 1);
    EXPECT_TRUE(g_Seen[0] != nullptr);
    EXPECT_EQ(g_Seen[0], g_Seen[1]);
    SetAttractorUnitCubeMaker(previous);
}
