#pragma once

// Root of the program's own object classes: one virtual operation, the
// deleting destructor, so that any object can be deleted through the base.
class PObject {
public:
    virtual ~PObject() {}
};

// The objects bound to windows through GWL_USERDATA (controls and frame
// windows) start with a type id, so that code holding only a window handle
// can tell what kind of object sits behind it.
class PTypedObject : public PObject {
public:
    int typeId = 0;
};
