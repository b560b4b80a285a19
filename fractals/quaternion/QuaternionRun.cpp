// The run record's link to the worker slots and the per-block surface
// caches. The caches live in a small list keyed by the parameter block: the
// block (document layer) cannot name them, and a copied block starts with
// no cache, which is what a copy must do (its planes are not rendered yet).
#include "fractals/quaternion/QuaternionRun.h"
#include <string.h>
#include <new>
#include "calc/FractalTask.h"

namespace {

struct CacheEntry {
    const QuaternionParameters* block;
    QuaternionSurfaceCache cache;
    CacheEntry* next;
};

CacheEntry* g_Caches = nullptr;
CRITICAL_SECTION g_CacheLock;
LONG g_CacheLockReady = 0;

// The list is touched by calculation threads of several fractals.
void LockCaches()
{
    if (InterlockedCompareExchange(&g_CacheLockReady, 1, 0) == 0) {
        InitializeCriticalSection(&g_CacheLock);
        InterlockedExchange(&g_CacheLockReady, 2);
    }
    while (g_CacheLockReady != 2)
        Sleep(0);
    EnterCriticalSection(&g_CacheLock);
}

}  // namespace

static_assert(sizeof(QuaternionRun*) <= sizeof(((WorkerSlot*)nullptr)->calculatorArea2),
              "the run pointer fits in the slot's calculator area");

void AttachQuaternionRun(WorkerSlot* slot, QuaternionRun* run)
{
    memcpy(slot->calculatorArea2, &run, sizeof run);
}

QuaternionRun* QuaternionRunOf(const WorkerSlot* slot)
{
    QuaternionRun* run;
    memcpy(&run, slot->calculatorArea2, sizeof run);
    return run;
}

QuaternionSurfaceCache* QuaternionCacheOf(const QuaternionParameters* block)
{
    LockCaches();
    CacheEntry* e = g_Caches;
    while (e && e->block != block)
        e = e->next;
    if (!e) {
        e = new (std::nothrow) CacheEntry;
        if (e) {
            memset(e, 0, sizeof *e);
            e->block = block;
            e->cache.aoCacheRadius = -1.0;
            e->cache.shadowsPending = 1;
            e->next = g_Caches;
            g_Caches = e;
        }
    }
    LeaveCriticalSection(&g_CacheLock);
    return e ? &e->cache : nullptr;
}

void ForgetQuaternionCache(const QuaternionParameters* block)
{
    LockCaches();
    CacheEntry** link = &g_Caches;
    while (*link && (*link)->block != block)
        link = &(*link)->next;
    CacheEntry* e = *link;
    if (e)
        *link = e->next;
    LeaveCriticalSection(&g_CacheLock);
    if (!e)
        return;
    for (Array2D*& map : e->cache.shadowMaps) {
        if (map) {
            map->Free();
            delete map;
        }
    }
    delete e;
}
