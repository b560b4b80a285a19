// The two passes that prepare what the quaternion shading reads besides the
// depth plane: the ambient-occlusion plane (how much of the hemisphere over
// each surface pixel nearby surface closes) and one shadow map per
// shadow-casting light, with the parallel light cameras fitted to the
// visible surface. Both keep their results in the block's surface cache.
#pragma once

class Fractal;
struct QuaternionParameters;
struct QuaternionRenderState;

// Samples per pixel at most; larger AOSamples (hand-edited files) are clamped.
enum { AO_MAX_SAMPLES = 1000 };

// Fills the task's plane2 unless ambient occlusion is off or the plane is
// still valid for the current settings. distances: plane0 width x height
// floats of scratch space the caller owns. A command ends the pass; the
// cache then stays invalid.
void RenderAmbientOcclusion(Fractal* fractal, float* distances);

// The light cameras (shadowProjections), shadowBias and the shadow-map
// pointers of a render state, fitted to the positive depths of plane0.
void SetupShadowProjection(QuaternionRenderState* state, const QuaternionParameters* block);

// Renders the shadow maps while shadowsPending is set; clears it only when
// at least one enabled shadow-casting light was drawn to the end.
void RenderShadows(Fractal* fractal);
