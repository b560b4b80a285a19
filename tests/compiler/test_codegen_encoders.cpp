// The instruction encoders of the code generator, the routine frame, the
// call into compiled code and the running of snippets at compile time.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "compiler/CodeEmit.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "foundation/Buffers.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// What an encoder writes into an empty buffer, and that it advanced the
// position by exactly that.
Bytes Encode(std::function<void(uint8_t*, int*)> encoder)
{
    uint8_t buffer[64];
    memset(buffer, 0xCC, sizeof buffer);
    int position = 0;
    encoder(buffer, &position);
    Bytes out(buffer, buffer + position);
    EXPECT_EQ(0xCC, buffer[position]) << "wrote past the position";
    return out;
}

struct EncoderCase {
    const char* what;
    std::function<void(uint8_t*, int*)> encoder;
    Bytes expected;
};

TEST(Encoders, WriteTheirInstructionForms)
{
    const EncoderCase cases[] = {
        {"fld extended edi", [](uint8_t* b, int* p) { emitFld(b, p, 0x20, BASE_EDI, PREC_EXTENDED); },
         {0xDB, 0xAF, 0x20, 0, 0, 0}},
        {"fld double ebp", [](uint8_t* b, int* p) { emitFld(b, p, -8, BASE_EBP, PREC_DOUBLE); },
         {0xDD, 0x85, 0xF8, 0xFF, 0xFF, 0xFF}},
        {"fld float ebx", [](uint8_t* b, int* p) { emitFld(b, p, 4, BASE_EBX, PREC_FLOAT); },
         {0xD9, 0x83, 4, 0, 0, 0}},
        {"fstp extended", [](uint8_t* b, int* p) { emitFstp(b, p, 0, BASE_EDI, PREC_EXTENDED); },
         {0xDB, 0xBF, 0, 0, 0, 0}},
        {"fstp double ebp", [](uint8_t* b, int* p) { emitFstp(b, p, 16, BASE_EBP, PREC_DOUBLE); },
         {0xDD, 0x9D, 16, 0, 0, 0}},
        {"fstp float ebx", [](uint8_t* b, int* p) { emitFstp(b, p, 0, BASE_EBX, PREC_FLOAT); },
         {0xD9, 0x9B, 0, 0, 0, 0}},
        {"fild", [](uint8_t* b, int* p) { emitFild(b, p, 208, BASE_EDI); }, {0xDB, 0x87, 208, 0, 0, 0}},
        {"fistp", [](uint8_t* b, int* p) { emitFistp(b, p, -4, BASE_EBP); }, {0xDB, 0x9D, 0xFC, 0xFF, 0xFF, 0xFF}},
        {"fld stack 0", [](uint8_t* b, int* p) { emitFldStack(b, p, 0, PREC_DOUBLE); }, {0xDD, 0x44, 0x24, 0}},
        {"fld stack ext", [](uint8_t* b, int* p) { emitFldStack(b, p, 16, PREC_EXTENDED); },
         {0xDB, 0x6C, 0x24, 16}},
        {"fld stack float", [](uint8_t* b, int* p) { emitFldStack(b, p, -128, PREC_FLOAT); },
         {0xD9, 0x44, 0x24, 0x80}},
        {"fld stack far", [](uint8_t* b, int* p) { emitFldStack(b, p, 128, PREC_EXTENDED); },
         {0xDB, 0xAC, 0x24, 128, 0, 0, 0}},
        {"fld stack far double", [](uint8_t* b, int* p) { emitFldStack(b, p, 300, PREC_DOUBLE); },
         {0xDD, 0x84, 0x24, 0x2C, 1, 0, 0}},
        {"fstp stack 0 ext", [](uint8_t* b, int* p) { emitFstpStack(b, p, 0, PREC_EXTENDED); }, {0xDB, 0x3C, 0x24}},
        {"fstp stack 0 double", [](uint8_t* b, int* p) { emitFstpStack(b, p, 0, PREC_DOUBLE); }, {0xDD, 0x1C, 0x24}},
        {"fstp stack 0 float", [](uint8_t* b, int* p) { emitFstpStack(b, p, 0, PREC_FLOAT); }, {0xD9, 0x1C, 0x24}},
        {"fstp stack -16", [](uint8_t* b, int* p) { emitFstpStack(b, p, -16, PREC_EXTENDED); },
         {0xDB, 0x7C, 0x24, 0xF0}},
        {"fstp stack double", [](uint8_t* b, int* p) { emitFstpStack(b, p, -8, PREC_DOUBLE); },
         {0xDD, 0x5C, 0x24, 0xF8}},
        {"fild stack", [](uint8_t* b, int* p) { emitFildStack(b, p, -4); }, {0xDB, 0x44, 0x24, 0xFC}},
        {"fild stack far", [](uint8_t* b, int* p) { emitFildStack(b, p, 200); }, {0xDB, 0x84, 0x24, 200, 0, 0, 0}},
        {"fld qword 0", [](uint8_t* b, int* p) { emitFldQword(b, p, 0); }, {0xDD, 0x07}},
        {"fld qword 126", [](uint8_t* b, int* p) { emitFldQword(b, p, 126); }, {0xDD, 0x47, 0x7E}},
        {"fld qword 127", [](uint8_t* b, int* p) { emitFldQword(b, p, 127); }, {0xDD, 0x87, 0x7F, 0, 0, 0}},
        {"fstp qword 0", [](uint8_t* b, int* p) { emitFstpQword(b, p, 0); }, {0xDD, 0x1F}},
        {"fstp qword 8", [](uint8_t* b, int* p) { emitFstpQword(b, p, 8); }, {0xDD, 0x5F, 8}},
        {"fstp qword 400", [](uint8_t* b, int* p) { emitFstpQword(b, p, 400); }, {0xDD, 0x9F, 0x90, 1, 0, 0}},
        {"store complex double",
         [](uint8_t* b, int* p) { emitStoreValue(b, p, 64, BASE_EDI, DT_COMPLEX, PREC_DOUBLE); },
         {0xDD, 0x9F, 64, 0, 0, 0, 0xDD, 0x9F, 72, 0, 0, 0}},
        {"store vector float",
         [](uint8_t* b, int* p) { emitStoreValue(b, p, 0, BASE_EBP, DT_VECTOR, PREC_FLOAT); },
         {0xD9, 0x9D, 0, 0, 0, 0, 0xD9, 0x9D, 4, 0, 0, 0, 0xD9, 0x9D, 8, 0, 0, 0}},
        {"store int", [](uint8_t* b, int* p) { emitStoreValue(b, p, 12, BASE_EBX, DT_INT, -1); },
         {0xDB, 0x9B, 12, 0, 0, 0}},
        {"store colour", [](uint8_t* b, int* p) { emitStoreValue(b, p, 0, BASE_EDI, DT_COLOR, PREC_EXTENDED); },
         {0xD9, 0x9F, 0, 0, 0, 0, 0xD9, 0x9F, 4, 0, 0, 0, 0xD9, 0x9F, 8, 0, 0, 0, 0xD9, 0x9F, 12, 0, 0, 0}},
        {"store void", [](uint8_t* b, int* p) { emitStoreValue(b, p, 0, BASE_EDI, DT_VOID, PREC_DOUBLE); }, {}},
    };
    for (const EncoderCase& c : cases)
        EXPECT_EQ(c.expected, Encode(c.encoder)) << c.what;
}

TEST(Encoders, ReturnTheComponentSize)
{
    uint8_t buffer[16];
    int p = 0;
    EXPECT_EQ(16, emitFld(buffer, &p, 0, BASE_EDI, PREC_EXTENDED));
    p = 0;
    EXPECT_EQ(8, emitFstp(buffer, &p, 0, BASE_EDI, PREC_DOUBLE));
    p = 0;
    EXPECT_EQ(4, emitFldStack(buffer, &p, 0, PREC_FLOAT));
    p = 0;
    EXPECT_EQ(16, emitFstpStack(buffer, &p, 0, PREC_EXTENDED));
    p = 0;
    EXPECT_EQ(3, emitFldQword(buffer, &p, 3));   // the new position
}

TEST(Encoders, FrameWrapsTheCodeInEnterAndLeave)
{
    uint8_t buffer[16] = {0xD9, 0xEE, 0xDD, 0xD8};
    int position = 4;
    wrapEnterLeave(buffer, &position);
    EXPECT_EQ(9, position);
    EXPECT_EQ((Bytes{0xC8, 0xB0, 0x00, 0x00, 0xD9, 0xEE, 0xDD, 0xD8, 0xC9}), Bytes(buffer, buffer + 9));
}

TEST(Encoders, BlankCharacters)
{
    for (int c : {9, 10, 13, 32})
        EXPECT_TRUE(isBlank(c)) << c;
    for (int c : {0, 11, 12, (int)'a', 160})
        EXPECT_FALSE(isBlank(c)) << c;
}

// The member encoders write into the compiler's code buffer.
TEST(Encoders, StackAdjustAndRegisterCopy)
{
    struct Case {
        int n;
        Bytes expected;
    };
    const Case cases[] = {
        {-128, {0x81, 0xEC, 0x80, 0, 0, 0}}, {127, {0x83, 0xC4, 0x7F}},  {0, {0x83, 0xEC, 0x00}},
        {-16, {0x83, 0xEC, 0x10}},           {128, {0x81, 0xC4, 0x80, 0, 0, 0}},
    };
    FormulaCompiler compiler;
    compiler.reset();
    for (const Case& c : cases) {
        compiler.codePosition = 0;
        compiler.emitStackAdjust(c.n);
        const uint8_t* code = static_cast<const uint8_t*>(compiler.functionCode->GetData());
        EXPECT_EQ(c.expected, Bytes(code, code + compiler.codePosition)) << c.n;
    }
    compiler.codePosition = 0;
    compiler.emitFldSt(3);
    const uint8_t* code = static_cast<const uint8_t*>(compiler.functionCode->GetData());
    EXPECT_EQ((Bytes{0xD9, 0xC3}), Bytes(code, code + compiler.codePosition));
}

// Executable copies of hand-written routines.
class Executable {
public:
    explicit Executable(const Bytes& code) : buffer(256, true)
    {
        memcpy(buffer.GetData(), code.data(), code.size());
    }
    const void* Code() const { return buffer.GetData(); }

private:
    GrowBuffer buffer;
};

TEST(CompiledCodeCall, SetsTheDataBaseAndCounterAndRestoresTheCaller)
{
    // mov eax, [edi+8]; add eax, ecx; fld1; fld1 (left on the stack); ret
    Executable leaves({0x8B, 0x47, 0x08, 0x01, 0xC8, 0xD9, 0xE8, 0xD9, 0xE8, 0xC3});
    int32_t data[4] = {0, 0, 40, 0};
    EXPECT_EQ(42, CallCompiledCode(leaves.Code(), data, 2));
    // Eight registers in use need an empty stack: fld1 x 8, faddp x 7,
    // fistp dword [edi], mov eax, [edi], ret. Registers left behind by the
    // first routine would make the pushes overflow.
    Bytes eight;
    for (int i = 0; i < 8; i++)
        eight.insert(eight.end(), {0xD9, 0xE8});
    for (int i = 0; i < 7; i++)
        eight.insert(eight.end(), {0xDE, 0xC1});
    eight.insert(eight.end(), {0xDB, 0x1F, 0x8B, 0x07, 0xC3});
    Executable sum(eight);
    EXPECT_EQ(8, CallCompiledCode(sum.Code(), data));
    EXPECT_EQ(8, CallCompiledCode(sum.Code(), data));
    // The light call frees the registers a routine leaves behind as well.
    EXPECT_EQ(42, CallCompiledRoutine(leaves.Code(), data, 2));
    EXPECT_EQ(8, CallCompiledRoutine(sum.Code(), data));
}

TEST(CompiledCodeCall, RunsUnderTheCompiledCodeControlWord)
{
    // fnstcw [edi]; movzx eax, word [edi]; ret
    Executable code({0xD9, 0x3F, 0x0F, 0xB7, 0x07, 0xC3});
    int32_t data[2] = {0, 0};
    EXPECT_EQ(COMPILED_CODE_CONTROL_WORD, CallCompiledCode(code.Code(), data));
    EXPECT_EQ(COMPILED_CODE_CONTROL_WORD, CallCompiledRoutine(code.Code(), data));
    // The caller's control word is back afterwards.
    uint16_t after;
    __asm__ volatile("fnstcw %0" : "=m"(after));
    EXPECT_NE(COMPILED_CODE_CONTROL_WORD, after);
}

// A compiler with a data block and two symbols, for runSnippet.
class Snippets : public ::testing::Test {
protected:
    void SetUp() override
    {
        compiler.reset();
        compiler.symbols.SetIndexes(NL_INDEX_NAME | NL_INDEX_ID, FormulaSymbolId);
        compiler.symbols.nextIds[0] = SYMBOL_FIRST_GLOBAL_ID;
        compiler.dataTop = 8192;
        compiler.dataBottom = -128;
        compiler.prepareDataBlock(0);
        real = Add("r", DT_REAL, PREC_EXTENDED, 8192, SYM_VARIABLE);
        integer = Add("n", DT_INT, -1, 8208, SYM_VARIABLE);
        constant = Add("k", DT_REAL, PREC_DOUBLE, 8216, SYM_CONSTANT);
        constant->value[0] = 7.5;
        parameter = Add("p", DT_COMPLEX, PREC_DOUBLE, 8224, SYM_PARAMETER);
        parameter->variability = 1;
    }
    void TearDown() override
    {
        if (compiler.inputSymbols) {
            DeleteAllNodes(compiler.inputSymbols);
            delete compiler.inputSymbols;
            compiler.inputSymbols = nullptr;
        }
    }
    FormulaSymbol* Add(const char* name, int type, int precision, int offset, int symbolClass)
    {
        FormulaSymbol* s = new FormulaSymbol();
        s->SetName(name);
        s->dataType = type;
        s->precision = precision;
        s->dataOffset = offset;
        s->symbolClass = symbolClass;
        s->variability = 1;
        s->id = compiler.symbols.nextIds[0]++;
        compiler.dataTop = offset + 64;
        compiler.registerVariable(s, true);
        return s;
    }
    // Hands a parameter value to the compile.
    void Given(const char* name, double v0)
    {
        if (!compiler.inputSymbols) {
            compiler.inputSymbols = new NodeList();
            compiler.inputSymbols->SetIndexes(NL_INDEX_NAME);
        }
        FormulaSymbol* s = new FormulaSymbol();
        s->SetName(name);
        s->symbolClass = SYM_PARAMETER;
        s->dataType = DT_COMPLEX;
        s->value[0] = v0;
        s->value[1] = 0.5;
        compiler.inputSymbols->Append(s);
    }
    FormulaCompiler compiler;
    FormulaSymbol* real = nullptr;
    FormulaSymbol* integer = nullptr;
    FormulaSymbol* constant = nullptr;
    FormulaSymbol* parameter = nullptr;
};

TEST_F(Snippets, AnswerEaxAndReadTheSymbolBack)
{
    // enter; fld1; fadd st, st; fstp tbyte [edi+8192]; xor eax, eax; leave; ret
    Bytes code = {0xC8, 0xB0, 0x00, 0x00, 0xD9, 0xE8, 0xDC, 0xC0, 0xDB, 0xBF, 0x00, 0x20, 0x00, 0x00,
                  0x31, 0xC0, 0xC9, 0xC3};
    int32_t stream[] = {OPC_STORE, real->id, OPC_VARIABLE, 2, OP_ASSIGN, 0};
    double out[4] = {9, 9, 9, 9};
    EXPECT_FALSE(compiler.runSnippet(code.data(), (int)code.size(), stream, out, real));
    EXPECT_EQ(2.0, out[0]);
    EXPECT_EQ(0.0, out[1]);

    // An int: mov dword [edi+8208], -3; mov eax, 5; leave; ret
    Bytes intCode = {0xC8, 0xB0, 0x00, 0x00, 0xC7, 0x87, 0x10, 0x20, 0x00, 0x00, 0xFD, 0xFF, 0xFF, 0xFF,
                     0xB8, 0x05, 0x00, 0x00, 0x00, 0xC9, 0xC3};
    EXPECT_TRUE(compiler.runSnippet(intCode.data(), (int)intCode.size(), stream, out, integer));
    EXPECT_EQ(-3.0, out[0]);
}

TEST_F(Snippets, ShortcutsOverConstantsAndHandedInValues)
{
    Bytes never = {0x0F, 0x0B};   // ud2: the shortcuts run no code
    // A lone variable that does not vary answers its value.
    constant->variability = 0;
    int32_t lone[] = {OPC_VARIABLE, constant->id, 0};
    Given("p", 0.0);
    EXPECT_TRUE(compiler.runSnippet(never.data(), 2, lone, nullptr, nullptr));
    // A varying one answers the handed-in value.
    int32_t lonePar[] = {OPC_VARIABLE, parameter->id, 0};
    EXPECT_FALSE(compiler.runSnippet(never.data(), 2, lonePar, nullptr, nullptr));
    // An assignment of a parameter copies the handed-in components.
    int32_t copy[] = {OPC_STORE, real->id, OPC_VARIABLE, parameter->id, OP_ASSIGN, 0};
    double out[4] = {0, 0, 0, 0};
    EXPECT_FALSE(compiler.runSnippet(never.data(), 2, copy, out, real));
    EXPECT_EQ(0.0, out[0]);
    EXPECT_EQ(0.5, out[1]);
    // ... of a constant its own value.
    int32_t fromConstant[] = {OPC_STORE, real->id, OPC_VARIABLE, constant->id, OP_ASSIGN, 0};
    EXPECT_TRUE(compiler.runSnippet(never.data(), 2, fromConstant, out, real));
    EXPECT_EQ(7.5, out[0]);
}

}  // namespace
