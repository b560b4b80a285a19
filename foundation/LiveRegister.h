// A register of the objects of one kind that are alive, for pointers that
// arrive from other threads: a pointer is trusted only while its object is
// registered. Reading a freed object's fields instead may find them intact.
#pragma once

#include <windows.h>

#include <set>

class LiveRegister {
public:
    LiveRegister();
    ~LiveRegister();
    LiveRegister(const LiveRegister&) = delete;
    LiveRegister& operator=(const LiveRegister&) = delete;

    void Add(const void* object);
    void Remove(const void* object);
    bool Contains(const void* object) const;

private:
    mutable CRITICAL_SECTION lock_;
    std::set<const void*> objects_;
};
