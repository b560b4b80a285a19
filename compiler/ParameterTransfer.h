// Parameter values between a fractal's symbol lists and the data blocks its
// compiled formulas run on: writing the values into a block, reading the
// values a formula assigned to its parameters back (write-back, after which
// the main frame is told with UM_PARAMETERS_WRITTEN_BACK), and setting and
// reading parameter values by name.
//
// A data-block list is a null-terminated array of data-block bases (one per
// worker thread or instance); a shadow list is a parallel array of blocks
// holding the values seen at the last read-back.
#pragma once

#include <windows.h>
#include <stdint.h>

class NodeList;
class GrowBuffer;
class Fractal;
class FormulaSymbol;

// ---------------------------------------------------------------------------
// Slots

// Writes value[] into the slot at slot in the given type and precision:
// extended, double or float components; int rounded half away from zero;
// bool as value + 0.5 truncated; colour as four floats. Other types are
// left alone.
void WriteSymbolSlot(uint8_t* slot, int dataType, int precision, const double value[4]);
// Number of components a read-back compares for a type (complex 2,
// quaternion 4, vector 3, colour 4, real, int and bool 1; 0 otherwise).
int SymbolComponentCount(int dataType);
// Component k of the symbol's slot in the block at base, as a double
// (extended, double or float by precision; int32 for int and bool; float for
// colour).
double ReadSymbolComponent(const uint8_t* base, const FormulaSymbol* symbol, int k);

// ---------------------------------------------------------------------------
// Writers into a data block

// Writes every symbol's value at base + dataOffset (separators and symbols
// without a slot skipped). With allocateArrays, a DT_ARRAY slot is set to 0
// (the code makes its block) and a DT_PREDEFINED_ARRAY slot gets a block
// from AllocateParameterArray; both append (kind, dataOffset) to arrayTable
// (when given; *pairCount counts the pairs) and end the table with -1.
// Returns 0, or 1 when an array block can't be had.
int storeSymbolValues(uint8_t* base, const NodeList* symbols, GrowBuffer* arrayTable, int* pairCount,
                      bool allocateArrays, int kind);

// Writes the values of the parameters of the list at the offsets of the
// compiled symbols of the same names, converted to their types and
// precisions. A parameter without a compiled twin gets dataOffset 0 and is
// skipped. With markWriteBack every writeBack is cleared first and set on
// the parameters the compiled formula assigns; with recordOffsets each
// parameter takes its twin's dataOffset. Image parameters (an array type
// whose twin holds no value) are filled through g_FillImageParameter with
// markWriteBack. Returns 0, or 1 when an image parameter can't be filled.
int storeParameterValues(uint8_t* base, NodeList* parameters, const NodeList* compiledSymbols, Fractal* textureOwner,
                         int slot, int instance, bool markWriteBack, bool recordOffsets);

// The same at each parameter's own dataOffset (recorded by
// storeParameterValues) in its own type and precision, without lookups; the
// further data blocks of attractor workers. Image parameters are filled
// with fillTextures from the textures of textureOwner (the fractal of the
// calculating task).
int storeParameterValuesDirect(uint8_t* base, NodeList* parameters, Fractal* textureOwner, int slot, int instance,
                               bool fillTextures);

// Fills an image parameter of a data block from its texture (the image
// file named in the parameter's enumList): the calculation engine sets it;
// non-zero when the texture can't be had. Null while there is none, and
// image parameters are then left alone.
typedef int (*ImageParameterFiller)(FormulaSymbol* parameter, uint8_t* base, Fractal* textureOwner, int slot,
                                    int instance);
extern ImageParameterFiller g_FillImageParameter;

// ---------------------------------------------------------------------------
// Readers from data blocks

// Component k of a write-back parameter: the first block whose value
// differs from value[k] by more than 1e-9 replaces it. True when it did.
bool readBackComponent(uint8_t* const* blocks, FormulaSymbol* symbol, int k);
// The same comparing each block with its shadow (more than 1e-15); the
// value taken is also copied into that shadow block.
bool readBackComponentShadow(uint8_t* const* blocks, uint8_t* const* shadows, FormulaSymbol* symbol, int k);
// Every component of every SYM_PARAMETER with writeBack set (separators
// skipped). True when any value changed.
bool readBackSymbolValues(uint8_t* const* blocks, NodeList* symbols);
bool readBackSymbolValuesShadow(uint8_t* const* blocks, uint8_t* const* shadows, NodeList* symbols);

// ---------------------------------------------------------------------------
// Write-back entry points (calculation threads). wParam is passed on as the
// message's wParam. Each posts UM_PARAMETERS_WRITTEN_BACK to the main frame
// when a value changed, and returns whether one did.

// The parameter lists of a fractal's formulas: its formula slots and its
// transformations whose active flag is set (or, for an attractor, its own
// list and the lists of every entry of its nested transformation lists in
// slots, none in transformations).
struct FormulaParameterLists {
    enum { MAX_SLOTS = 3, MAX_LISTS = 64 };
    NodeList* slots[MAX_LISTS];
    int slotCount;
    NodeList* transformations[MAX_LISTS];
    int transformationCount;
};
// Fills the lists of a fractal (or, with attractor set, of the attractor
// object given as owner). Set by the document model of the fractal types;
// null while there is none, and the entry points then read nothing.
typedef void (*FormulaParameterListSource)(void* owner, bool attractor, FormulaParameterLists* lists);
extern FormulaParameterListSource g_FormulaParameterLists;

// Escape-time fractals: the slots from blocks, the active transformations
// from transformationBlocks.
bool HandleWritebackParametersEscape(uint8_t* const* transformationBlocks, uint8_t* const* blocks, WPARAM wParam,
                                     Fractal* fractal);
// Quaternion fractals: the same with shadows.
bool HandleWritebackParametersQuat(uint8_t* const* transformationBlocks, uint8_t* const* transformationShadows,
                                   uint8_t* const* blocks, uint8_t* const* shadows, WPARAM wParam, Fractal* fractal);
// Attractors: the attractor's own list and its nested transformation lists.
bool HandleWritebackParameters(uint8_t* const* blocks, WPARAM wParam, void* attractor);
// The core of the entry points over explicit lists: reads the slot lists
// from blocks (with shadows when given) and the transformation lists from
// transformationBlocks (with transformationShadows), then posts.
bool WritebackParameterLists(const FormulaParameterLists& lists, uint8_t* const* blocks, uint8_t* const* shadows,
                             uint8_t* const* transformationBlocks, uint8_t* const* transformationShadows,
                             WPARAM wParam);

// ---------------------------------------------------------------------------
// By name (exact names)

FormulaSymbol* setSymbolReal(NodeList* symbols, const char* name, double v);
bool getSymbolReal(const NodeList* symbols, const char* name, double* out);
FormulaSymbol* setSymbolComplex(NodeList* symbols, const char* name, double re, double im);
FormulaSymbol* setSymbolQuaternion(NodeList* symbols, const char* name, double a, double b, double c, double d);
