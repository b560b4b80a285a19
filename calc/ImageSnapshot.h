// The snapshot of a fractal's image that stands in, stretched, while a
// moved or zoomed view is recalculated.
#pragma once

class Fractal;

// A copy of a fractal's image that can be shown stretched while the view
// is recalculated. Pixels are one byte (palette index) for a fractal of 8
// bits per pixel and three bytes for one of 24, in the image's row order.
class ImageSnapshot {
public:
    // Copies the image of the fractal's task (the 3D view's picture for a
    // quaternion) and clears the task's value and flag buffers so that the
    // new calculation starts empty. Without a task or image there is no copy.
    explicit ImageSnapshot(Fractal* fractal);
    virtual ~ImageSnapshot();

    // Fills the task's current image with the part left..right, top..bottom
    // of the copy (fractions of its width and height) stretched over the
    // whole image by nearest-neighbour sampling; places outside the copy
    // are black. Then paints the image into the task's window when it has
    // one. Returns 1, or 0 without doing anything when there is no copy,
    // the fractal has no task, or its image no longer has the size and
    // depth of the copy.
    int Apply(Fractal* fractal);

    unsigned char* data;    // the copied pixels, null when there is no copy
    int width;              // row length in pixels: the image stride
    int height;             // number of rows
    double left, top, right, bottom;   // (0, 0, 1, 1) after construction
    int bytesPerPixel;      // 1 or 3, from the fractal's depth at construction

private:
    ImageSnapshot(const ImageSnapshot&);
    ImageSnapshot& operator=(const ImageSnapshot&);
};
