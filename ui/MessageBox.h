// The program's message boxes (the class and its scripted answerer live in
// the foundation, which reports through them).
#pragma once

#include "foundation/MessageBox.h"
