#pragma once

// Root of the program's own object classes: one virtual operation, the
// deleting destructor, so that any object can be deleted through the base.
class PObject {
public:
    virtual ~PObject() {}
};
