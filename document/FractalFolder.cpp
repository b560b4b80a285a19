#include "document/FractalFolder.h"

FractalFolder::FractalFolder()
{
}

FractalFolder::~FractalFolder()
{
}
