// The colour and composition sections that several fractal types share:
// the layer: items of a layered fractal, the gradient: (palette) and
// alpha: (transparency curve) sections, and the height-spline knots of the
// dims: section, written and read one key at a time.
#pragma once
class TextWriter;
class Fractal;
class Layer;

// "layer:" with the layer's items, then "layerfractal:" and the layer
// fractal's entry without its frame.
void WriteLayer(TextWriter& writer, Layer* layer, Fractal* layered);
// "gradient:" and the palette's items, in either knot mode.
void WriteGradientSection(TextWriter& writer, Fractal* fractal);
// "alpha:" and the alpha channel's points; nothing for a fractal that is
// not escape-time or whose channel equals a new one.
void WriteAlphaSection(TextWriter& writer, Fractal* fractal);
// One item per height-spline knot (FirstKnot=, then Knot=).
void WriteHeightKnots(TextWriter& writer, Fractal* fractal);

// One item of a layer:, gradient:, alpha: section (own form: 5, 6, 104),
// or of the layered form's layer:, mapping:, gradient:, alpha:/opacity:
// (101, 102, 103, 104; imported is set for that form and for gradient
// files). Items of other sections change nothing.
void ReadColourSectionKey(Fractal* fractal, int section, const char* key, char* value, Layer* layer, bool imported);
// A height-spline item (FirstKnot, Knot, the old knotxN/knotyN); always 0.
int ReadKnotKey(Fractal* fractal, int section, const char* key, const char* value);
