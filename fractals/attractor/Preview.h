// The attractor's point preview: a few thousand points gathered from the
// calculation, drawn as a lit point cloud through OpenGL, and measured for
// the bounding box and sphere that the shadow cameras frame and that
// followObject moves the viewpoint onto. The measurement also runs without
// a window, so a windowless render frames the real object.
#pragma once
#include <stdint.h>

class Fractal;
class OpenGLRenderer;
struct PreviewCloud;

// One gathered point: its 3D position as the calculation produced it, its
// colour index and, when the points carry their own colour, that colour.
struct PreviewSample {
    double x, y, z;
    float index;
    uint8_t red, green, blue;
};

// Where the preview's points come from (the calculation's batches). batch
// writes at most capacity samples and returns how many; 0 or less ends
// the gathering (a failure or a pending command). The caller has run its
// warm-up batch first.
struct PreviewSampleSource {
    int (*batch)(void* context, PreviewSample* out, int capacity);
    void* context;
};

// A coordinate the cloud keeps: NaN, infinite, denormal or beyond +-100
// becomes 0 (exactly +-100 stays).
double ClampPreviewCoordinate(double v);

// The bounding sphere of count vertices (x, y, z floats each): the pair of
// the six extreme points (indexes into vertices) lying farthest apart gives
// the start (midpoint, half distance; strictly larger wins), then every
// vertex outside grows it. Works on the vertices as given.
void ComputeBoundingSphere(const float* vertices, int count, const int extremes[6], double centre[3],
                           double* radius);

// Gathers count points from source into cloud (allocated for them):
// clamped coordinates, vertex (x, y, -z), colour white in Gas mode, else
// the sample's own colour when ownColours, else MapAttractorColor / 255;
// the bounding box of (x, y, z) and the sphere, whose centre is stored as a
// world point (z negated back). False when the arrays could not be had or
// the source ended early (the cloud then holds what was gathered).
bool GatherPreviewPoints(Fractal* fractal, PreviewCloud* cloud, int count, const PreviewSampleSource& source,
                         bool ownColours);

// Gathers the points with PreviewPixels, measures the sphere and, with
// followObject, moves the viewpoint to its centre (top made perpendicular)
// and posts UM_ATTRACTOR_VIEW. No OpenGL involved.
bool MeasureAttractorBounds(Fractal* fractal, PreviewCloud* cloud, const PreviewSampleSource& source,
                            bool ownColours);

// Start and end of the linear fog for an observer at distance d from the
// viewpoint and a sphere of radius r: start 0 when d < r, else d - 0.8 r;
// end d + 0.9 r.
void AttractorFogRange(double d, double r, float* start, float* end);

// With the renderer's context current: gathers (when its rebuild flag is
// set) and measures the points, sets projection, fog and lights, compiles
// the display list and draws it. False when no context or no GL.
bool BuildAttractorDisplayList(Fractal* fractal, OpenGLRenderer* renderer, const PreviewSampleSource& source,
                               bool ownColours);

// The eight OpenGL lights of the block (disabled lights switched off);
// returns the number of enabled lights.
int SetupAttractorLightsGL(Fractal* fractal);
