// The recolouring of a calculated quaternion picture from its stored data,
// without marching a ray: palette colours from the colour words, shading
// from the depth plane with lights, shadows and ambient occlusion, then fog
// and depth of field. Rows go from the middle outwards.
#pragma once

class Fractal;

// Recolours the whole image. FTC_REDRAW3D is cleared and ignored; any other
// command ends it at the next pixel (no fog, no depth of field, no final
// draw). Image row 0 has no row below it to pair with: it receives the
// colour of the pair (0, 1), like row 1, so no stale picture stays there.
// Reached through RethinkQuat.
void RecolourQuaternion(Fractal* fractal);
