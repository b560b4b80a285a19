// The root of the toolkit's object classes lives in the foundation, where
// the message boxes derive from it too.
#pragma once

#include "foundation/Object.h"

// The objects bound to windows through GWL_USERDATA (controls and frame
// windows) start with a type id, so that code holding only a window handle
// can tell what kind of object sits behind it.
class PTypedObject : public PObject {
public:
    int typeId = 0;
};
