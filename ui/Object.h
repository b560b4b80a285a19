// The root of the toolkit's object classes lives in the foundation, where
// the message boxes derive from it too.
#pragma once

#include "foundation/Object.h"
