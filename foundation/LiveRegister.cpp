// The register of live objects, guarded by a critical section so that any
// thread may ask while the main thread creates and deletes.
#include "foundation/LiveRegister.h"

LiveRegister::LiveRegister() { InitializeCriticalSection(&lock_); }

LiveRegister::~LiveRegister() { DeleteCriticalSection(&lock_); }

void LiveRegister::Add(const void* object)
{
    EnterCriticalSection(&lock_);
    objects_.insert(object);
    LeaveCriticalSection(&lock_);
}

void LiveRegister::Remove(const void* object)
{
    EnterCriticalSection(&lock_);
    objects_.erase(object);
    LeaveCriticalSection(&lock_);
}

bool LiveRegister::Contains(const void* object) const
{
    EnterCriticalSection(&lock_);
    bool found = objects_.count(object) != 0;
    LeaveCriticalSection(&lock_);
    return found;
}
