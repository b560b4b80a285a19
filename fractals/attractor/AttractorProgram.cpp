// Assembly of the attractor program and of the search's init and loop
// programs. The glue between the compiled pieces is fixed machine code
// written here byte for byte; jumps whose targets come later are patched
// with all 32 bits once the target is known.
#include "fractals/attractor/AttractorProgram.h"

#include <stdio.h>
#include <string.h>

#include "calc/escapetime/PixelRoutineCode.h"
#include "compiler/CodeEmit.h"
#include "compiler/CodeTemplate.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/FormulaSymbol.h"
#include "foundation/Buffers.h"
#include "foundation/List.h"
#include "fractals/AttractorFormula.h"
#include "fractals/attractor/AttractorBlock.h"

namespace {

int PieceSize(const FormulaFunction* piece)
{
    return PieceHasCode(piece) ? (int)piece->codeLength : 0;
}

int TemplateSize(const char* name)
{
    const CodeTemplate* t = FindTemplate(OP_DEFAULT_INSIDE, name);
    return t ? t->codeLength : 0;
}

// A placed copy of a piece: linked after the code.
struct Placement {
    FormulaFunction* piece;
    int base;
};

class ProgramWriter : public CodeWriter {
public:
    using CodeWriter::CodeWriter;

    void Op(std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t b : bytes)
            Byte(b);
    }
    // Opcode bytes, then a rel32 placeholder; answers the placeholder's offset.
    int JumpPlaceholder(std::initializer_list<uint8_t> opcode)
    {
        Op(opcode);
        int at = position;
        Dword(0);
        return at;
    }
    void Place(FormulaFunction* piece)
    {
        if (!PieceHasCode(piece))
            return;
        int base = position;
        if (Piece(piece, false) >= 0)
            placements.push_back({piece, base});
    }
    void Template(const char* name)
    {
        const CodeTemplate* t = FindTemplate(OP_DEFAULT_INSIDE, name);
        if (!t) {
            failed = true;
            return;
        }
        Bytes(t->code, t->codeLength);
    }
    // Copies between the working point and the orbit point.
    void LoadOrbit()
    {
        for (int i = 0; i < 3; i++) {
            Room(12);
            emitFldQword(Data(), &position, AV_Z_TEMP + 8 * i);
            emitFstpQword(Data(), &position, AV_Z + 8 * i);
        }
    }
    void StoreOrbit()
    {
        for (int i = 0; i < 3; i++) {
            Room(12);
            emitFldQword(Data(), &position, AV_Z + 8 * i);
            emitFstpQword(Data(), &position, AV_Z_TEMP + 8 * i);
        }
    }
    // TEST BYTE [EDI+flag],0FFh; JZ over the rest; MOV BYTE [EDI+flag],0.
    // Answers the JZ placeholder, patched to the end of the guarded code.
    int OnceGuard(int flag)
    {
        Op({0xF6, 0x87});
        Dword(flag);
        Byte(0xFF);
        int jump = JumpPlaceholder({0x0F, 0x84});
        Op({0xC6, 0x87});
        Dword(flag);
        Byte(0x00);
        return jump;
    }
    void LinkAll()
    {
        for (const Placement& p : placements) {
            if (failed)
                return;
            g_FormulaCompiler.linkSubFunctions(buffer, &position, p.piece, p.base);
            if (!buffer->GetData() || buffer->GetCapacity() < position)
                failed = true;
        }
    }

    std::vector<Placement> placements;
};

// The sizes of the code the program copies, for the reservation.
int ProgramBound(const AttractorProgramInput& in)
{
    int pieces = 0, orbitCopies = 0;
    for (const AttractorMapCode& map : in.maps) {
        for (const AttractorPieces& t : map.transformations) {
            pieces += PieceSize(t.once) + PieceSize(t.init) + PieceSize(t.loop);
            orbitCopies += 2;
        }
        if (map.showConstructor) {
            pieces += PieceSize(in.unitCubeLoop);
            orbitCopies += 2;
        }
    }
    int templates = TemplateSize("transform_pixel") + TemplateSize("save_pixel") + TemplateSize("initNumiter_att");
    char name[32];
    for (int k = 0; k < 8; k++) {
        snprintf(name, sizeof name, "transform_shadow_%d", k + 1);
        templates += TemplateSize(name);
    }
    return pieces + 36 * orbitCopies + 80 * (int)in.maps.size() + PieceSize(in.colouring.once) +
           PieceSize(in.colouring.init) + PieceSize(in.colouring.loop) + templates + 2000;
}

}  // namespace

AttractorPieces FindAttractorPieces(const NodeList* functions)
{
    AttractorPieces p;
    if (!functions)
        return p;
    p.once = findFunction(functions, "Vinit_once@@");
    p.init = findFunction(functions, "Vinit@@");
    p.loop = findFunction(functions, "Vloop@@");
    p.scale = findFunction(functions, "Rscale@@");
    return p;
}

AttractorProgramInput CollectAttractorPieces(const NodeList* formulas, const NodeList* colouringFunctions,
                                             const NodeList* unitCubeFunctions, uint8_t shadowLights)
{
    AttractorProgramInput in;
    in.colouring = FindAttractorPieces(colouringFunctions);
    in.colouring.scale = nullptr;
    in.unitCubeLoop = FindAttractorPieces(unitCubeFunctions).loop;
    in.shadowLights = shadowLights;
    for (const NodeList* list : {colouringFunctions, unitCubeFunctions})
        if (list)
            in.lists.push_back(list);
    for (ListNode* n = formulas ? formulas->GetHead() : nullptr; n; n = n->next) {
        AttractorFormula* formula = static_cast<AttractorFormula*>(n);
        if (formula->flags & ATTRACTOR_FORMULA_HIDDEN)
            continue;
        AttractorMapCode map;
        map.weight = (float)formula->weight;
        map.showConstructor = (formula->flags & ATTRACTOR_SHOW_CONSTRUCTOR) ? 1 : 0;
        for (ListNode* m = formula->transformations.GetHead(); m; m = m->next) {
            AttractorTransformation* t = static_cast<AttractorTransformation*>(m);
            if (t->hidden || !t->data)
                continue;
            in.lists.push_back(static_cast<const NodeList*>(t->data));
            AttractorPieces pieces = FindAttractorPieces(static_cast<NodeList*>(t->data));
            pieces.post = t->final;
            map.transformations.push_back(pieces);
        }
        in.maps.push_back(map);
    }
    return in;
}

int32_t AttractorSelectionThreshold(double weightsBefore, double weight, float total)
{
    double t = 4294967296.0 * (weightsBefore + weight) / (double)total - 2147483648.0;
    if (!(t < 2147483647.0))
        return 2147483647;   // also NaN from a total of 0
    if (t < -2147483648.0)
        return (-2147483647 - 1);
    return (int32_t)t;
}

bool AssembleAttractorProgram(GrowBuffer* code, const AttractorProgramInput& in)
{
    if (!code)
        return false;
    for (const NodeList* list : in.lists)
        for (ListNode* n = list->GetHead(); n; n = n->next) {
            static_cast<FormulaFunction*>(n)->placement = -1;
            static_cast<FormulaFunction*>(n)->placement2 = -1;
        }
    for (const AttractorMapCode& map : in.maps)
        for (const AttractorPieces& t : map.transformations) {
            for (FormulaFunction* f : {t.once, t.init, t.loop})
                if (f)
                    f->placement = -1;
        }
    int sumOnce = 0, sumInit = 0, sumLoop = 0;
    float total = 0;
    for (const AttractorMapCode& map : in.maps) {
        total += map.weight;
        for (const AttractorPieces& t : map.transformations) {
            sumOnce += PieceSize(t.once);
            sumInit += PieceSize(t.init);
            sumLoop += PieceSize(t.loop);
        }
        if (map.showConstructor)
            sumLoop += PieceSize(in.unitCubeLoop);
    }
    code->Reserve(ProgramBound(in));
    if (!code->GetData())
        return false;
    ProgramWriter w(code, 0);
    w.Op({0xC8, 0xB0, 0x00, 0x00});   // ENTER 176, 0

    auto guardedBlock = [&](int flag, const std::vector<FormulaFunction*>& pieces, bool copyOrbit) {
        int jump = w.OnceGuard(flag);
        for (FormulaFunction* piece : pieces)
            w.Place(piece);
        if (copyOrbit)
            w.StoreOrbit();
        w.PatchRel32(jump, w.position);
    };
    std::vector<FormulaFunction*> onces, inits;
    for (const AttractorMapCode& map : in.maps)
        for (const AttractorPieces& t : map.transformations) {
            if (PieceHasCode(t.once))
                onces.push_back(t.once);
            if (PieceHasCode(t.init))
                inits.push_back(t.init);
        }
    if (sumOnce > 0)
        guardedBlock(AV_ONCE_TRAFO, onces, false);
    if (PieceHasCode(in.colouring.once))
        guardedBlock(AV_ONCE_COLOUR, {in.colouring.once}, false);
    if (sumInit > 0)
        guardedBlock(AV_ONCE_TRAFO_INIT, inits, false);
    guardedBlock(AV_ONCE_COLOUR_INIT, {in.colouring.init}, true);

    // Selection: a linear congruential step, then one block per active
    // formula; the signed state picks the first formula whose threshold it
    // does not exceed.
    int loopStart = -1;
    std::vector<int> chainJumps, floatOperands, toLoopTest;
    std::vector<int> floatsAt;
    const int count = (int)in.maps.size();
    if (sumLoop > 0) {
        loopStart = w.position;
        w.Op({0x8B, 0x87});
        w.Dword(AV_SELECTION_STATE);
        w.Op({0x69, 0xC0});
        w.Dword(0x08077405);
        w.Op({0x40, 0x89, 0x87});
        w.Dword(AV_SELECTION_STATE);
        double before = 0;
        for (int k = 0; k < count; k++) {
            float weight = in.maps[k].weight;
            if (k + 1 < count) {
                w.Byte(0x3D);
                w.Dword(AttractorSelectionThreshold(before, weight, total));
                w.Op({0x7F, 0x35});
            }
            w.Op({0x33, 0xDB, 0x8B, 0x87});
            w.Dword(AV_HISTORY);
            w.Op({0x66, 0x8B, 0x9F});
            w.Dword(AV_NUMITER);
            w.Op({0xC7, 0x04, 0x98});
            w.Dword(k + 1);
            w.Op({0xD9, 0x05});
            floatOperands.push_back(w.position);
            w.Dword(0);
            w.Op({0xD9, 0x05});
            floatOperands.push_back(w.position);
            w.Dword(0);
            w.Op({0xDD, 0x5F, 0x18, 0xDD, 0x5F, 0x20});
            chainJumps.push_back(w.JumpPlaceholder({0xE9}));
            floatsAt.push_back(w.position);
            float share = weight / total, start = (float)(before / total);
            w.Bytes(reinterpret_cast<const uint8_t*>(&share), 4);
            w.Bytes(reinterpret_cast<const uint8_t*>(&start), 4);
            before += weight;
        }
        for (int k = 0; k < count; k++) {
            w.PatchRel32(chainJumps[k], w.position);
            const AttractorMapCode& map = in.maps[k];
            if (map.showConstructor && PieceHasCode(in.unitCubeLoop)) {
                w.LoadOrbit();
                w.Place(in.unitCubeLoop);
                w.StoreOrbit();
            }
            for (const AttractorPieces& t : map.transformations) {
                if (!PieceHasCode(t.loop))
                    continue;
                if (!t.post)
                    w.LoadOrbit();
                w.Place(t.loop);
                if (!t.post)
                    w.StoreOrbit();
            }
            if (k + 1 < count)
                toLoopTest.push_back(w.JumpPlaceholder({0xE9}));
        }
    }
    const int loopTest = w.position;
    for (int at : toLoopTest)
        w.PatchRel32(at, loopTest);
    w.Op({0x41, 0x3B, 0x8F});
    w.Dword(AV_BATCH_SIZE);
    const int toEpilogue = w.JumpPlaceholder({0x0F, 0x8F});
    w.Place(in.colouring.loop);
    w.Template("initNumiter_att");
    // A point the formulas hid: clear the flag, write nothing.
    w.Op({0xF6, 0x87});
    w.Dword(AV_HIDDEN_PIXEL);
    w.Op({0xFF, 0x0F, 0x84, 0x0D, 0x00, 0x00, 0x00, 0x33, 0xC0, 0x89, 0x87});
    w.Dword(AV_HIDDEN_PIXEL);
    const int hiddenToNext = w.JumpPlaceholder({0xE9});
    w.Op({0xF6, 0x87});
    w.Dword(AV_PROJECT_FLAG);
    w.Byte(0xFF);
    const int toSave = w.JumpPlaceholder({0x0F, 0x84});
    char name[32];
    for (int k = 0; k < 8; k++)
        if (in.shadowLights & (1 << k)) {
            snprintf(name, sizeof name, "transform_shadow_%d", k + 1);
            w.Template(name);
        }
    w.Template("transform_pixel");
    const int projectedToNext = w.JumpPlaceholder({0xE9});
    w.PatchRel32(toSave, w.position);
    w.Template("save_pixel");
    const int next = w.position;
    w.PatchRel32(hiddenToNext, next);
    w.PatchRel32(projectedToNext, next);
    const int back = w.JumpPlaceholder({0xE9});
    w.PatchRel32(back, loopStart >= 0 ? loopStart : loopTest);
    w.PatchRel32(toEpilogue, w.position);
    w.Op({0xC9, 0xC3});

    w.LinkAll();
    if (w.failed || !code->GetData())
        return false;
    // Last: the buffer no longer moves.
    uint8_t* data = w.Data();
    for (size_t k = 0; k < floatsAt.size(); k++) {
        uint32_t share = (uint32_t)(uintptr_t)(data + floatsAt[k]);
        uint32_t start = share + 4;
        memcpy(data + floatOperands[2 * k], &share, 4);
        memcpy(data + floatOperands[2 * k + 1], &start, 4);
    }
    return true;
}

int EmitAttractorInitGlue(const std::vector<AttractorPieces>& considered, GrowBuffer* initProgram,
                          GrowBuffer* loopProgram)
{
    if (!initProgram || !loopProgram)
        return 0;
    bool scaled = !considered.empty();
    int sumInit = 0, sumLoop = 0;
    for (const AttractorPieces& t : considered) {
        if (!PieceHasCode(t.scale))
            scaled = false;
        sumInit += PieceSize(t.once) + PieceSize(t.init) + PieceSize(t.scale) + 17;
        sumLoop += PieceSize(t.loop);
    }
    for (const AttractorPieces& t : considered)
        for (FormulaFunction* f : {t.once, t.init, t.loop, t.scale})
            if (f)
                f->placement = -1;
    initProgram->Reserve(sumInit + 1000);
    ProgramWriter init(initProgram, 0);
    init.Op({0xC8, 0xB0, 0x00, 0x00});
    for (const AttractorPieces& t : considered) {
        init.Place(t.once);
        init.Place(t.init);
        if (scaled) {
            // CALL the scale code as a function, jumped over on the way in.
            init.Op({0xE8, 0x05, 0x00, 0x00, 0x00});
            int over = init.JumpPlaceholder({0xE9});
            init.Place(t.scale);
            init.PatchRel32(over, init.position);
            init.Op({0xDD, 0x87});
            init.Dword(AV_RSCALE_PRODUCT);
            init.Op({0xDE, 0xC9, 0xDD, 0x9F});
            init.Dword(AV_RSCALE_PRODUCT);
        }
    }
    init.Op({0xC9, 0xC3});
    init.LinkAll();

    loopProgram->Reserve(sumLoop + 1000);
    ProgramWriter loop(loopProgram, 0);
    if (scaled) {
        loop.Byte(0xC3);
    } else {
        loop.Op({0xC8, 0xB0, 0x00, 0x00});
        for (const AttractorPieces& t : considered)
            loop.Place(t.loop);
        loop.Op({0xC9, 0xC3});
        loop.LinkAll();
    }
    if (init.failed || loop.failed)
        return 0;
    return scaled ? 2 : 1;
}

int RunAttractorProgram(const void* code, uint8_t* base, uint16_t* status)
{
    alignas(16) uint8_t saved[108];
    uint32_t records;
    uint32_t word;
    __asm__ volatile(
        "fnsave %[saved]\n\t"
        "fnclex\n\t"
        "xorl %%ecx, %%ecx\n\t"
        "xorl %%edx, %%edx\n\t"
        "call *%[code]\n\t"
        "fnstsw %%ax\n\t"
        "fnclex\n\t"
        "frstor %[saved]"
        : "=&d"(records), "=&a"(word), [saved] "+m"(saved)
        : [code] "m"(code), "D"(base)
        : "ebx", "ecx", "esi", "memory", "cc");
    if (status)
        *status = (uint16_t)word;
    return (int)records;
}
