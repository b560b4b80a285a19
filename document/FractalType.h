// The fractal types stored in FractalHeader::Type (declared with what the
// compiler reads of a fractal). Other codes up to 25 are names of old types
// that the parameter-file reader maps onto these.
#pragma once
#include "compiler/CompileHost.h"
