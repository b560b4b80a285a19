// The layers' rows of a layered render job: every layer job writes its rows
// (colours, alpha, flags) into the render-job temporary folder, and the
// layered job reads them back row by row to compose its own ".bits" file.
// A row that a file does not hold is never taken from an earlier read: the
// layer (colours) or its alpha and flags are then left out of that row.
#pragma once

#include <stdint.h>
#include <stdio.h>
#include <vector>

class Fractal;
class Layer;
struct LayeredParameters;

class LayerFileReader {
public:
    // Opens the files of every visible layer whose fractal has a task, in
    // merge order (the last layer of the list first), and makes the output
    // row of the layered fractal's width.
    LayerFileReader(Fractal* layered, LayeredParameters* params);
    ~LayerFileReader();

    LayerFileReader(const LayerFileReader&) = delete;
    LayerFileReader& operator=(const LayerFileReader&) = delete;

    // One layer row as the files hold it; alphaWords and flags are null
    // when their file lacks the row.
    struct Row {
        uint8_t* bits;                // w x 3 bytes, blue, green, red
        const uint32_t* alphaWords;   // high half 65535, low half alpha x 65535
        const uint8_t* flags;
    };

    // The number of layers read (visible, with a task).
    int Count() const { return (int)entries.size(); }
    // The layer's size in its job's files (its image size divided by its
    // own supersampling); false for a layer the reader does not hold.
    bool JobSize(const Layer* layer, int* width, int* height) const;
    // Reads row layerRow of the layer. False when its colour row cannot be
    // read (no file, the row not in it): the layer sits out this row.
    bool ReadRow(const Layer* layer, int layerRow, Row* row);
    // The composed row of the layered fractal: (width + 1) x 3 bytes.
    uint8_t* OutputRow() { return output.data(); }

private:
    struct Entry {
        const Layer* layer = nullptr;
        int width = 0, height = 0;
        FILE* bits = nullptr;
        FILE* alpha = nullptr;
        FILE* flags = nullptr;
        std::vector<uint8_t> bitsRow;
        std::vector<uint32_t> alphaRow;
        std::vector<uint8_t> flagRow;
    };
    Entry* Find(const Layer* layer);

    std::vector<Entry> entries;
    std::vector<uint8_t> output;
};
