// The animation record: its defaults, its release and the work set of an
// interpolation step.
#include "animation/Animation.h"

#include <stdlib.h>
#include <string.h>

#include "animation/Spline.h"
#include "foundation/bignum/BigNumber.h"

InterpolationWorkSet::InterpolationWorkSet(int keyCount) : count(keyCount)
{
    int length = keyCount + 10;
    for (double*& a : doubles)
        a = (double*)calloc(length, sizeof(double));
    for (M_APM*& a : handles)
        a = (M_APM*)calloc(length, sizeof(M_APM));
    for (void**& a : pointers)
        a = (void**)calloc(length, sizeof(void*));
}

InterpolationWorkSet::~InterpolationWorkSet()
{
    for (M_APM* a : handles) {
        FreeBigNumberArray(a, count + 10);
        free(a);
    }
    for (double* a : doubles)
        free(a);
    for (void** a : pointers)
        free(a);
}

Animation::Animation() : spline(nullptr), workSet(nullptr)
{
    Reset();
}

Animation::~Animation()
{
    delete spline;
    delete workSet;
}

void Animation::FreeWorkSet()
{
    delete workSet;
    workSet = nullptr;
}

void Animation::Reset()
{
    keys.Clear(false);
    memset(AnimName, 0, sizeof AnimName);
    strcpy(AnimName, "Animation");
    memset(outputPath, 0, sizeof outputPath);
    Width = 320;
    Height = 240;
    Planes = 0;
    Interpolation = 1;
    frameCounter = 0;
    Dimension = 0;
    Startframe = 1;
    Endframe = -1;
    currentKey = nullptr;
    Savemode = 1;
    FPS = 15;
    memset(Author, 0, sizeof Author);
    memset(Address, 0, sizeof Address);
    memset(Date, 0, sizeof Date);
    memset(Comment, 0, sizeof Comment);
    memset(Copyright, 0, sizeof Copyright);
    memset(Suggestion, 0, sizeof Suggestion);
    delete spline;
    spline = nullptr;
    FreeWorkSet();
}
