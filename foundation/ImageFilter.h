// A square convolution kernel applied to a block of supersampled pixels to
// make one output pixel. The filters live in g_ImageFilters.
#pragma once

#include <stdint.h>

#include "foundation/List.h"

class ImageFilter : public ListNode {
public:
    enum {
        MAX_SIDE = 10,                       // the kernel holds at most 10 x 10 values
        MAX_VALUES = MAX_SIDE * MAX_SIDE,
        ENTRY_NAME_SIZE = 68,
        ENTRY_NAME_MAX = ENTRY_NAME_SIZE - 1,
    };

    // The identity filter: side 1, the one value 1.0, divisor 1, bias 0,
    // empty names.
    ImageFilter();
    ~ImageFilter() override;

    // The list-node name is the display name (SetName, cut to 63).

    int GetSide() const { return side; }
    // Sides outside 1..MAX_SIDE are refused (false); the side stays.
    bool SetSide(int newSide);

    // The name before the entry's "{" in the filter file; parameter entries
    // refer to the filter by it.
    const char* GetEntryName() const { return entryName; }
    // Stores the text cut to ENTRY_NAME_MAX characters (null: empty).
    // Returns false when the text had to be cut.
    bool SetEntryName(const char* text);

    // Kernel values, row after row; side x side of them are used.
    double GetValue(int index) const;          // 0.0 outside 0..MAX_VALUES-1
    bool SetValue(int index, double value);    // refused outside 0..MAX_VALUES-1
    double GetValue(int row, int column) const { return GetValue(row * side + column); }
    const double* GetValues() const { return values; }

    double GetDivisor() const { return divisor; }
    void SetDivisor(double value) { divisor = value; }
    double GetBias() const { return bias; }
    void SetBias(double value) { bias = value; }

    // Applies the kernel to one colour channel of a side x side block:
    // (sum over rows r and columns c of value[r * side + c] * sample(r, c))
    // / divisor + bias. A divisor of 0 counts as 1, so kernels whose values
    // sum to 0 (edge detection) give finite results. The result is not
    // clamped to the channel's range.
    //
    // samples: side * side channel values, row after row.
    double Apply(const double* samples) const;
    // channel points at the channel byte of the block's top-left pixel;
    // pixelStep bytes lead to the next column, rowStep bytes to the next row
    // (e.g. 3 and the row stride for one channel of a 24-bit image).
    double ApplyToChannel(const uint8_t* channel, int pixelStep, int rowStep) const;

private:
    double EffectiveDivisor() const { return divisor != 0.0 ? divisor : 1.0; }

    int32_t side;
    char entryName[ENTRY_NAME_SIZE];
    double values[MAX_VALUES];
    double divisor;
    double bias;
};
