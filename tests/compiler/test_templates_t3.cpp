// The comparison and logic templates (plain and "_opt" forms, as values and
// as conditional jumps), isNaN / isFinite, the vector, complex and
// quaternion builders, the noise functions, trafoHistory, random.real,
// sincos, the runtime bookkeeping of compiled iteration loops and the array
// and attractor templates of operation 87.
#include "tests/compiler/TemplateHarness.h"

#include <functional>

#include "compiler/NoiseTables.h"

namespace {

const long double INF = INFINITY;
const long double QNAN = NAN;
const long double EPS = 1e-11;   // the tolerance of == and != (a double)

// ---------------------------------------------------------------------------
// Helpers

TValue Truth(bool b)
{
    return Real(b ? 1 : 0);
}

// The code of a template as the compiler copies it for a conditional jump:
// a plain form up to its last SAHF, an "_opt" form without its 8-byte
// tail. The cut must fall exactly where the template's value selection
// begins.
std::vector<uint8_t> ConditionCode(const CodeTemplate* t, bool opt)
{
    std::vector<uint8_t> code(t->code, t->code + t->codeLength);
    if (opt) {
        EXPECT_GE(code.size(), 8u);
        static const uint8_t head[] = {0xD9, 0xE8, 0xD9, 0xEE};
        EXPECT_EQ(memcmp(&code[code.size() - 8], head, 4), 0) << "tail starts FLD1; FLDZ";
        EXPECT_EQ(code[code.size() - 2], 0xDD);
        EXPECT_EQ(code[code.size() - 1], 0xD9);
        // FCMOVcc ST, ST(1) of the condition of jumpIfTrue
        static const struct { int jump; uint8_t a, b; } fcmov[] = {
            {0x82, 0xDA, 0xC1}, {0x83, 0xDB, 0xC1}, {0x84, 0xDA, 0xC9},
            {0x85, 0xDB, 0xC9}, {0x86, 0xDA, 0xD1}, {0x87, 0xDB, 0xD1}};
        bool found = false;
        for (const auto& f : fcmov)
            if (f.jump == t->jumpIfTrue) {
                found = true;
                EXPECT_EQ(code[code.size() - 4], f.a);
                EXPECT_EQ(code[code.size() - 3], f.b);
            }
        EXPECT_TRUE(found);
        code.resize(code.size() - 8);
    } else {
        size_t cut = code.size();
        while (cut > 0 && code[cut - 1] != 0x9E)
            cut--;
        EXPECT_GT(cut, 0u) << "no SAHF";
        // after the SAHF: Jcc +4; FLDZ; JMP +2; FLD1
        const uint8_t rest[] = {(uint8_t)(0x70 | (t->jumpIfTrue & 0x0F)), 0x04, 0xD9, 0xEE, 0xEB, 0x02,
                                0xD9, 0xE8};
        EXPECT_EQ(code.size() - cut, sizeof rest);
        if (code.size() - cut == sizeof rest) {
            EXPECT_EQ(memcmp(&code[cut], rest, sizeof rest), 0);
        }
        code.resize(cut);
    }
    return code;
}

// Runs the template cut for a conditional jump, followed by the near jump
// 0F jump (taken: FLD1, else FLDZ), and answers whether it was taken.
bool JumpTaken(TemplateRunner& runner, const std::vector<uint8_t>& cut, int jump,
               const std::vector<TValue>& row, int fillers)
{
    std::vector<uint8_t> code = cut;
    // 0F xx rel32=7: over FLDZ (2) and JMP rel32 (5) to FLD1
    const uint8_t tailBytes[] = {0x0F, (uint8_t)jump, 7, 0, 0, 0, 0xD9, 0xEE, 0xE9, 2, 0, 0, 0, 0xD9, 0xE8};
    code.insert(code.end(), tailBytes, tailBytes + sizeof tailBytes);
    TemplateRunOptions options;
    options.fillers = fillers;
    TemplateRun run = runner.Run(code.data(), (int)code.size(), row, 1, options);
    EXPECT_FALSE(run.stackFault());
    EXPECT_EQ(run.registersAfter, fillers + 1) << "the cut code must leave no register";
    EXPECT_EQ(run.fillers, TemplateRunner::ExpectedFillers(fillers));
    EXPECT_EQ(run.espChange, 0);
    return run.result.size() == 1 && run.result[0] == 1;
}

// CheckTemplate, plus: both jump bytes of the template follow its truth
// value when the template is cut for a conditional jump.
void CheckCondition(int op, const char* name, TemplateReference reference,
                    const std::vector<std::vector<TValue>>& rows, bool opt)
{
    CheckTemplate(op, name, reference, rows);
    SCOPED_TRACE(std::string(name) + " as a condition");
    CodeTemplate* t = FindTemplate(op, name);
    ASSERT_TRUE(t);
    ASSERT_NE(t->jumpIfTrue, 0);
    std::vector<uint8_t> cut = ConditionCode(t, opt);
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    for (const std::vector<TValue>& row : rows) {
        SCOPED_TRACE("operands " + RowText(row));
        bool truth = reference(row).c[0] != 0;
        int fillers = TemplateFillers(t, row);
        EXPECT_EQ(JumpTaken(runner, cut, t->jumpIfTrue, row, fillers), truth) << "jumpIfTrue";
        EXPECT_EQ(JumpTaken(runner, cut, t->jumpIfFalse, row, fillers), !truth) << "jumpIfFalse";
    }
}

// Like CheckTemplate for templates that read fields of the data block:
// prepare() writes them before every run; the block must be unchanged
// afterwards.
void CheckTemplateOnData(int op, const char* name, TemplateReference reference,
                         const std::vector<std::vector<TValue>>& rows,
                         const std::function<void(uint8_t*)>& prepare,
                         const TemplateTolerance& tol = TemplateTolerance(), bool checkScratch = true)
{
    SCOPED_TRACE(name);
    EnsureTemplatesFixedUp();
    CodeTemplate* t = FindTemplate(op, name);
    ASSERT_TRUE(t);
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    int resultRegisters = TemplateFootprint(t->resultType);
    bool overflowSeen = false;
    std::vector<uint8_t> before(TemplateRunner::DATA);
    uint8_t* block = runner.dataBase() - TemplateRunner::DATA_BASE;
    for (const std::vector<TValue>& row : rows) {
        SCOPED_TRACE("operands " + RowText(row));
        int fillers = TemplateFillers(t, row);
        ASSERT_GE(fillers, 0);
        TemplateRunOptions options;
        options.fillers = fillers;
        memset(block, 0, TemplateRunner::DATA);
        prepare(runner.dataBase());
        memcpy(before.data(), block, before.size());
        TemplateRun run = runner.Run(t->code, t->codeLength, row, resultRegisters, options, true);
        TValue expected = reference(row);
        EXPECT_FALSE(run.stackFault());
        EXPECT_EQ(run.registersAfter, fillers + resultRegisters);
        EXPECT_EQ(run.fillers, TemplateRunner::ExpectedFillers(fillers));
        EXPECT_TRUE(ValueNear(run.result, expected, tol))
            << "result " << ComponentsText(run.result) << " expected " << TValueText(expected);
        EXPECT_EQ(run.tagWordAtEnd, 0xFFFF);
        EXPECT_EQ(run.controlWord, options.controlWord);
        EXPECT_EQ(run.ecx, options.ecx);
        EXPECT_EQ(run.edx, options.edx);
        EXPECT_EQ(run.esi, options.esi);
        EXPECT_EQ(run.ebx, options.ebx);
        EXPECT_EQ(run.espChange, 0);
        EXPECT_TRUE(run.frameOutsideScratchIntact);
        EXPECT_LE(run.frameBytesWritten, t->frameBytes);
        EXPECT_EQ(memcmp(before.data(), block, before.size()), 0) << "the data block changed";
        if (t->scratchRegisters > 0) {
            options.fillers = fillers + 1;
            prepare(runner.dataBase());
            if (runner.Run(t->code, t->codeLength, row, resultRegisters, options, true).stackFault())
                overflowSeen = true;
        }
    }
    if (t->scratchRegisters > 0 && checkScratch) {
        EXPECT_TRUE(overflowSeen) << "scratchRegisters larger than needed";
    }
}

template <typename T> T& At(uint8_t* base, int offset)
{
    return *(T*)(base + offset);
}

long double Extended(uint8_t* base, int offset)
{
    return *(long double*)(base + offset);
}

void SetExtended(uint8_t* base, int offset, long double v)
{
    memset(base + offset, 0, 16);
    *(long double*)(base + offset) = v;
}

// Runs a template without operands whose work is on the data block and on
// ECX / EDX; the block keeps what the test wrote.
TemplateRun RunOnData(TemplateRunner& runner, const char* name, int op, const TemplateRunOptions& options,
                      const std::vector<uint8_t>& extra = {}, int resultRegisters = 0,
                      const std::vector<TValue>& operands = {}, const std::vector<uint8_t>& prefix = {})
{
    EnsureTemplatesFixedUp();
    CodeTemplate* t = FindTemplate(op, name);
    EXPECT_TRUE(t) << name;
    std::vector<uint8_t> code = prefix;
    if (t)
        code.insert(code.end(), t->code, t->code + t->codeLength);
    code.insert(code.end(), extra.begin(), extra.end());
    return runner.Run(code.data(), (int)code.size(), operands, resultRegisters, options, true);
}

// ---------------------------------------------------------------------------
// Comparisons and logic

bool IsTrue(long double x)
{
    return x != 0 && !isnan(x);
}

bool ChannelsClose(const TValue& a, const TValue& b)
{
    for (int k = 0; k < 4; k++)
        if (!(fabsl(b.c[k] - a.c[k]) < EPS))
            return false;
    return true;
}

bool ChannelsDiffer(const TValue& a, const TValue& b)
{
    bool differ = false;
    for (int k = 0; k < 4; k++) {
        long double d = fabsl(b.c[k] - a.c[k]);
        if (isnan(d))
            return false;
        if (d > EPS)
            differ = true;
    }
    return differ;
}

TValue GtRef(const std::vector<TValue>& o) { return Truth(o[0].c[0] > o[1].c[0]); }
TValue GeRef(const std::vector<TValue>& o) { return Truth(o[0].c[0] >= o[1].c[0]); }
TValue LeRef(const std::vector<TValue>& o) { return Truth(o[0].c[0] <= o[1].c[0]); }
TValue LtRef(const std::vector<TValue>& o) { return Truth(o[0].c[0] < o[1].c[0]); }
TValue EquRef(const std::vector<TValue>& o)
{
    if (o[0].type == DT_COLOR)
        return Truth(ChannelsClose(o[0], o[1]));
    return Truth(fabsl(o[1].c[0] - o[0].c[0]) < EPS);
}
TValue NequRef(const std::vector<TValue>& o)
{
    if (o[0].type == DT_COLOR)
        return Truth(ChannelsDiffer(o[0], o[1]));
    return Truth(fabsl(o[1].c[0] - o[0].c[0]) > EPS);
}
TValue AndRef(const std::vector<TValue>& o) { return Truth(IsTrue(o[0].c[0]) && IsTrue(o[1].c[0])); }
TValue OrRef(const std::vector<TValue>& o) { return Truth(IsTrue(o[0].c[0]) || IsTrue(o[1].c[0])); }
TValue NotRef(const std::vector<TValue>& o) { return Truth(o[0].c[0] == 0); }

// A value of type letter t whose real part is re; its other components are
// chosen so that a template that looked at them would go wrong (a NaN and
// values that would decide the comparison the other way).
TValue Operand(char t, long double re, int variant)
{
    long double other = variant % 3 == 0 ? QNAN : variant % 3 == 1 ? -7.5L : 1e30L;
    switch (t) {
    case 'c': return Cplx(re, other);
    case 'q': return Quat(re, other, -other, 3);
    default: return Real(re);
    }
}

// Real-part pairs (a, b): order, equality, signed zeros, infinities, NaNs,
// large values and differences near the tolerance of ==.
const long double PAIRS[][2] = {
    {1, 2}, {2, 1}, {3, 3}, {-0.0L, 0}, {0, -5}, {-1e300, 1e300}, {INF, INF}, {-INF, 1e308},
    {1e308, INF}, {QNAN, 1}, {1, QNAN}, {QNAN, QNAN}, {1, 1 + 5e-12L}, {1, 1 + 2e-11L},
    {1e-12L, -1e-12L}, {1e20L, 1e20L * (1 + 1e-18L)}, {-3.5L, -3.25L},
};

std::vector<std::vector<TValue>> ComparisonRows(const char* sig)
{
    std::vector<std::vector<TValue>> rows;
    int variant = 0;
    for (const auto& p : PAIRS) {
        rows.push_back({Operand(sig[0], p[0], variant), Operand(sig[1], p[1], variant + 1)});
        variant++;
    }
    return rows;
}

// Truth-value pairs for && and ||.
std::vector<std::vector<TValue>> LogicRows(const char* sig)
{
    static const long double values[][2] = {
        {0, 0}, {0, 2}, {-3, 0}, {1e-300L, 5}, {QNAN, 1}, {1, QNAN}, {-0.0L, 1}, {INF, -2}, {0, QNAN},
    };
    std::vector<std::vector<TValue>> rows;
    int variant = 1;
    for (const auto& v : values) {
        rows.push_back({Operand(sig[0], v[0], variant), Operand(sig[1], v[1], variant + 1)});
        variant++;
    }
    return rows;
}

std::vector<std::vector<TValue>> ColourRows()
{
    return {
        {Colour(0.5, 0.25, 1, 1), Colour(0.5, 0.25, 1, 1)},
        {Colour(0.5, 0.25, 1, 1), Colour(0.5, 0.25, 1, 0.5)},           // alpha differs
        {Colour(0, 0, 0, 0), Colour(-0.0L, 0, 2e-12L, 0)},               // within 1e-11
        {Colour(0.1L, 0.2L, 0.3L, 1), Colour(0.1L, 0.2L, QNAN, 1)},      // a NaN channel
        {Colour(0.1L, 0.9L, 0.3L, 1), Colour(0.1L, 0.2L, QNAN, 1)},      // differs, but a NaN
        {Colour(1, 1, 1, 1), Colour(0, 1, 1, 1)},                         // red differs
        {Colour(INF, 0, 0, 1), Colour(INF, 0, 0, 1)},
    };
}

struct ComparisonCase {
    const char* op;
    int plain, opt;
    TemplateReference reference;
};

const ComparisonCase COMPARISONS[] = {
    {"and", 32, 155, AndRef}, {"or", 33, 156, OrRef}, {"equ", 34, 157, EquRef},
    {"ge", 35, 158, GeRef},   {"le", 36, 159, LeRef}, {"nequ", 37, 160, NequRef},
    {"lt", 38, 161, LtRef},   {"gt", 39, 162, GtRef},
};

const char* const SIGNATURES[] = {"rr", "rc", "rq", "cr", "cc", "cq", "qr", "qc", "qq"};

void CheckComparisons(bool opt)
{
    for (const ComparisonCase& c : COMPARISONS) {
        bool logic = !strcmp(c.op, "and") || !strcmp(c.op, "or");
        for (const char* sig : SIGNATURES) {
            std::string name = std::string(c.op) + "_" + sig + (opt ? "_opt" : "");
            CheckCondition(opt ? c.opt : c.plain, name.c_str(), c.reference,
                           logic ? LogicRows(sig) : ComparisonRows(sig), opt);
        }
        if (!strcmp(c.op, "equ") || !strcmp(c.op, "nequ")) {
            std::string name = std::string(c.op) + "_colcol" + (opt ? "_opt" : "");
            CheckCondition(opt ? c.opt : c.plain, name.c_str(), c.reference, ColourRows(), opt);
        }
    }
    const char* names[][2] = {{"not_r", "not_opt_r"}, {"not_c", "not_opt_c"}, {"not_q", "not_opt_q"}};
    const char types[] = {'r', 'c', 'q'};
    static const long double values[] = {0, -0.0L, 1, -2.5, 1e-310L, QNAN, INF};
    for (int i = 0; i < 3; i++) {
        std::vector<std::vector<TValue>> rows;
        int variant = 0;
        for (long double v : values)
            rows.push_back({Operand(types[i], v, variant++)});
        CheckCondition(opt ? 163 : 40, names[i][opt], NotRef, rows, opt);
    }
}

}  // namespace

TEST(ComparisonTemplates, PlainFormsGiveTheValueAndTheJumps)
{
    ApplyProcessorFeatures(false, 0);
    CheckComparisons(false);
}

TEST(ComparisonTemplates, OptFormsGiveTheValueAndTheJumps)
{
    CheckComparisons(true);
}

// The jump bytes of every comparison as the catalogue gives them.
TEST(ComparisonTemplates, JumpBytes)
{
    static const struct { int op; int jt, jf; } bytes[] = {
        {32, 0x85, 0x84}, {33, 0x85, 0x84}, {34, 0x84, 0x85}, {35, 0x86, 0x87}, {36, 0x83, 0x82},
        {37, 0x85, 0x84}, {38, 0x87, 0x86}, {39, 0x82, 0x83}, {40, 0x84, 0x85}, {139, 0x87, 0x86},
        {140, 0x86, 0x87},
    };
    ApplyProcessorFeatures(false, 0);
    for (const auto& b : bytes) {
        for (int form = 0; form < 2; form++) {
            int op = form && b.op <= 40 ? b.op + 123 : b.op;
            if (form && b.op > 40)
                continue;
            for (const CodeTemplate* t = g_TemplateTable[op]; t && t->code; t++) {
                EXPECT_EQ(t->jumpIfTrue, b.jt) << t->name;
                EXPECT_EQ(t->jumpIfFalse, b.jf) << t->name;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// isNaN and isFinite

namespace {

TValue IsNanRef(const std::vector<TValue>& o)
{
    bool any = false;
    for (int k = 0; k < o[0].count(); k++)
        any = any || isnan(o[0].c[k]);
    return Bool(any);
}

TValue IsFiniteRef(const std::vector<TValue>& o)
{
    bool all = true;
    for (int k = 0; k < o[0].count(); k++)
        all = all && isfinite(o[0].c[k]);
    return Bool(all);
}

std::vector<std::vector<TValue>> ClassRows(char t)
{
    static const long double values[] = {0, -0.0L, 1.5, -1e308, 1e-4940L, INF, -INF, QNAN};
    std::vector<std::vector<TValue>> rows;
    for (long double v : values) {
        for (int at = 0; at < 4; at++) {
            long double c[4] = {1, -2, 3, 0.5};
            c[at] = v;
            switch (t) {
            case 'r': if (at == 0) rows.push_back({Real(v)}); break;
            case 'c': if (at < 2) rows.push_back({Cplx(c[0], c[1])}); break;
            case 'v': if (at < 3) rows.push_back({Vec(c[0], c[1], c[2])}); break;
            default: rows.push_back({Quat(c[0], c[1], c[2], c[3])}); break;
            }
        }
    }
    rows.push_back(t == 'r' ? std::vector<TValue>{Real(QNAN)} : t == 'c' ? std::vector<TValue>{Cplx(INF, QNAN)}
                   : t == 'v' ? std::vector<TValue>{Vec(-INF, 0, QNAN)}
                              : std::vector<TValue>{Quat(INF, QNAN, -INF, 1)});
    return rows;
}

}  // namespace

TEST(ClassTemplates, IsNanAndIsFinite)
{
    const char types[] = {'r', 'c', 'v', 'q'};
    for (char t : types) {
        std::string nanName = std::string("isnan_") + t, finiteName = std::string("isfinite_") + t;
        CheckCondition(139, nanName.c_str(), IsNanRef, ClassRows(t), false);
        CheckCondition(140, finiteName.c_str(), IsFiniteRef, ClassRows(t), false);
    }
}

// Testing an infinity or a quiet NaN raises no exception flag (a pixel
// whose formula only asks would otherwise count as invalid).
TEST(ClassTemplates, RaiseNoExceptionFlag)
{
    EnsureTemplatesFixedUp();
    TemplateRunner runner;
    for (const char* name : {"isnan_q", "isfinite_q"}) {
        CodeTemplate* t = FindTemplate(!strcmp(name, "isnan_q") ? 139 : 140, name);
        ASSERT_TRUE(t);
        TemplateRun run = runner.Run(t->code, t->codeLength, {Quat(INF, QNAN, -INF, 0)}, 1, TemplateRunOptions());
        EXPECT_EQ(run.statusWord & 0x3F, 0) << name;
    }
}

// ---------------------------------------------------------------------------
// Builders and parts

namespace {

TValue VectorRef(const std::vector<TValue>& o) { return Vec(o[0].c[0], o[1].c[0], o[2].c[0]); }
TValue ComplexRef(const std::vector<TValue>& o) { return Cplx(o[0].c[0], o[1].c[0]); }
TValue QuaternionRef(const std::vector<TValue>& o) { return Quat(o[0].c[0], o[1].c[0], o[2].c[0], o[3].c[0]); }
TValue PartXRef(const std::vector<TValue>& o) { return Real(o[0].c[0]); }
TValue PartYRef(const std::vector<TValue>& o) { return Real(o[0].c[1]); }
TValue PartZRef(const std::vector<TValue>& o) { return Real(o[0].c[2]); }
TValue PartJRef(const std::vector<TValue>& o) { return Real(o[0].type == DT_QUATERNION ? o[0].c[2] : 0); }
TValue PartKRef(const std::vector<TValue>& o) { return Real(o[0].type == DT_QUATERNION ? o[0].c[3] : 0); }
TValue CrossRef(const std::vector<TValue>& o)
{
    const long double* a = o[0].c;
    const long double* b = o[1].c;
    return Vec(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]);
}
TValue SincosRef(const std::vector<TValue>& o) { return Cplx(cosl(o[0].c[0]), sinl(o[0].c[0])); }

}  // namespace

TEST(BuilderTemplates, PutTheComponentsInOrder)
{
    CheckTemplate(141, "fr_vector", VectorRef,
                  {{Real(1), Real(2), Real(3)}, {Real(-0.0L), Real(INF), Real(QNAN)}, {Real(1e300), Real(-4), Real(0)}});
    CheckTemplate(148, "fr_complex", ComplexRef, {{Real(1), Real(-2)}, {Real(QNAN), Real(0)}});
    CheckTemplate(149, "fr_quaternion", QuaternionRef,
                  {{Real(1), Real(2), Real(3), Real(4)}, {Real(-1), Real(0), Real(INF), Real(5e-300)}});
    CheckTemplate(142, "partx", PartXRef, {{Vec(1, 2, 3)}, {Vec(QNAN, -1, 0)}});
    CheckTemplate(143, "party", PartYRef, {{Vec(1, 2, 3)}, {Vec(QNAN, -1, 0)}});
    CheckTemplate(144, "partz", PartZRef, {{Vec(1, 2, 3)}, {Vec(QNAN, -1, -0.0L)}});
    CheckTemplate(146, "partj_r", PartJRef, {{Real(5)}, {Real(QNAN)}});
    CheckTemplate(146, "partj_c", PartJRef, {{Cplx(5, 6)}});
    CheckTemplate(146, "partj_q", PartJRef, {{Quat(1, 2, 3, 4)}, {Quat(0, 0, -0.0L, 1)}});
    CheckTemplate(147, "partk_r", PartKRef, {{Real(5)}});
    CheckTemplate(147, "partk_c", PartKRef, {{Cplx(5, 6)}});
    CheckTemplate(147, "partk_q", PartKRef, {{Quat(1, 2, 3, 4)}, {Quat(0, 0, 1, INF)}});
}

TEST(BuilderTemplates, CrossProductAndSincos)
{
    CheckTemplate(145, "crossproduct", CrossRef,
                  {{Vec(1, 0, 0), Vec(0, 1, 0)}, {Vec(0, 1, 0), Vec(1, 0, 0)}, {Vec(1, 2, 3), Vec(4, 5, 6)},
                   {Vec(1e200, -3, 0.5), Vec(2, 1e-200, -7)}, {Vec(1, 2, 3), Vec(2, 4, 6)}});
    CheckTemplate(154, "sincos", SincosRef,
                  {{Real(0)}, {Real(-0.0L)}, {Real(1)}, {Real(-2.5)}, {Real(3.14159265358979323846L)},
                   {Real(1e10)}, {Real(-1e18)}, {Real(INF)}, {Real(QNAN)}});
}

// Beyond the range of FSINCOS the argument is reduced modulo 2 pi first: the
// result is still a point of the unit circle.
TEST(BuilderTemplates, SincosOfHugeArguments)
{
    EnsureTemplatesFixedUp();
    CodeTemplate* t = FindTemplate(154, "sincos");
    ASSERT_TRUE(t);
    TemplateRunner runner;
    for (long double x : {1e19L, -3e25L, 1e300L}) {
        TemplateRun run = runner.Run(t->code, t->codeLength, {Real(x)}, 2, TemplateRunOptions());
        ASSERT_EQ(run.result.size(), 2u);
        EXPECT_FALSE(run.stackFault());
        EXPECT_NEAR((double)(run.result[0] * run.result[0] + run.result[1] * run.result[1]), 1.0, 1e-15) << (double)x;
    }
}

// ---------------------------------------------------------------------------
// Noise, trafoHistory, random.real

namespace {

long double Fade(long double t)
{
    return t * t * t * (t * (t * 6 - 15) + 10);
}

long double Grad(int hash, long double x, long double y, long double z)
{
    const double* g = PerlinGradientTable() + 4 * (hash & 255);
    return g[0] * x + g[1] * y + g[2] * z;
}

long double Lerp(long double t, long double a, long double b)
{
    return a + t * (b - a);
}

// Gradient noise on the program's tables, as the templates define it.
long double Noise(long double x, long double y, long double z)
{
    const int32_t* p = PerlinPermutationTable();
    long double fx = floorl(x), fy = floorl(y), fz = floorl(z);
    int X = (int)(((long long)fx) & 255), Y = (int)(((long long)fy) & 255), Z = (int)(((long long)fz) & 255);
    x -= fx;
    y -= fy;
    z -= fz;
    long double u = Fade(x), v = Fade(y), w = Fade(z);
    auto h = [&](int i, int j, int k) { return p[p[p[X + i] + Y + j] + Z + k]; };
    long double y0 = Lerp(v, Lerp(u, Grad(h(0, 0, 0), x, y, z), Grad(h(1, 0, 0), x - 1, y, z)),
                          Lerp(u, Grad(h(0, 1, 0), x, y - 1, z), Grad(h(1, 1, 0), x - 1, y - 1, z)));
    long double y1 = Lerp(v, Lerp(u, Grad(h(0, 0, 1), x, y, z - 1), Grad(h(1, 0, 1), x - 1, y, z - 1)),
                          Lerp(u, Grad(h(0, 1, 1), x, y - 1, z - 1), Grad(h(1, 1, 1), x - 1, y - 1, z - 1)));
    return Lerp(w, y0, y1);
}

TValue NoiseRef(const std::vector<TValue>& o)
{
    return Real(Noise(o[0].c[0], o[1].c[0], o[2].c[0]));
}

TValue Noise3Ref(const std::vector<TValue>& o)
{
    long double x = o[0].c[0], y = o[1].c[0], z = o[2].c[0];
    return Vec(Noise(x, y, z), Noise(x + 123, y + 45, z + 67), Noise(x + 89, y + 210, z + 154));
}

void BindNoiseTables(uint8_t* base)
{
    At<const void*>(base, 1076) = PerlinPermutationTable();
    At<const void*>(base, 1080) = PerlinGradientTable();
}

std::vector<std::vector<TValue>> NoiseRows()
{
    return {{Real(0.5), Real(0.25), Real(0.75)}, {Real(-1.3), Real(2.7), Real(100.01)},
            {Real(3), Real(4), Real(5)}, {Real(255.9), Real(-255.9), Real(0.001)},
            {Real(1e6 + 0.37), Real(-7.77), Real(12.5)}};
}

}  // namespace

TEST(NoiseTemplates, GradientNoiseOnTheProgramTables)
{
    TemplateTolerance tol{1e-13L, 1e-14L};
    CheckTemplateOnData(150, "fr_perlinNoise", NoiseRef, NoiseRows(), BindNoiseTables, tol);
    CheckTemplateOnData(151, "fr_perlinNoise3", Noise3Ref, NoiseRows(), BindNoiseTables, tol);
    // next to a lattice point the value (about 1e-9) is a difference of
    // terms of about 1: its error is one unit of those, 1e-19
    TemplateTolerance nearLattice{1e-8L, 1e-8L};
    std::vector<std::vector<TValue>> tiny = {{Real(-0.0L), Real(1e-9), Real(-1e-9)}};
    CheckTemplateOnData(150, "fr_perlinNoise", NoiseRef, tiny, BindNoiseTables, nearLattice, false);
    CheckTemplateOnData(151, "fr_perlinNoise3", Noise3Ref, tiny, BindNoiseTables, nearLattice, false);
    // at the lattice points the noise is 0; elsewhere it varies
    EXPECT_EQ((double)Noise(3, 4, 5), 0.0);
    EXPECT_NE((double)Noise(0.5, 0.25, 0.75), 0.0);
}

TEST(NoiseTemplates, WithoutTablesTheNoiseIsZero)
{
    auto zero = [](const std::vector<TValue>&) { return Real(0); };
    CheckTemplateOnData(150, "fr_perlinNoise", zero, {{Real(0.5), Real(0.25), Real(0.75)}}, [](uint8_t*) {},
                        TemplateTolerance(), false);
    // a huge or invalid argument keeps the table indexes inside the tables
    CheckTemplateOnData(150, "fr_perlinNoise", NoiseRef, {{Real(1e300), Real(2.5), Real(-1e300)}}, BindNoiseTables);
    CodeTemplate* t = FindTemplate(150, "fr_perlinNoise");
    TemplateRunner runner;
    BindNoiseTables(runner.dataBase());
    TemplateRun run = runner.Run(t->code, t->codeLength, {Real(QNAN), Real(INF), Real(1)}, 1,
                                 TemplateRunOptions(), true);
    EXPECT_FALSE(run.stackFault());
    EXPECT_EQ(run.registersAfter, 1);
}

TEST(NoiseTables, PermutationTwiceAndUnitEdgeGradients)
{
    const int32_t* p = PerlinPermutationTable();
    std::vector<int> seen(256, 0);
    for (int i = 0; i < 256; i++) {
        ASSERT_GE(p[i], 0);
        ASSERT_LT(p[i], 256);
        seen[p[i]]++;
        EXPECT_EQ(p[i], p[i + 256]);
    }
    for (int i = 0; i < 256; i++)
        EXPECT_EQ(seen[i], 1) << i;
    const double* g = PerlinGradientTable();
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(g[4 * i] * g[4 * i] + g[4 * i + 1] * g[4 * i + 1] + g[4 * i + 2] * g[4 * i + 2], 2.0) << i;
        EXPECT_EQ(g[4 * i + 3], 0.0);
    }
}

namespace {

std::vector<int32_t> g_history(65536);

TValue HistoryRef(const std::vector<TValue>& o)
{
    long long n = llrintl(o[0].c[0]);
    return Real(g_history[(uint32_t)(1000 - n) & 0xFFFF]);
}

}  // namespace

TEST(AttractorFunctions, TrafoHistoryReadsTheRing)
{
    for (int i = 0; i < 65536; i++)
        g_history[i] = 1 + i % 7 + (i >> 12);
    auto bind = [](uint8_t* base) {
        At<int32_t*>(base, 552) = g_history.data();
        At<int32_t>(base, 352) = 1000;
    };
    CheckTemplateOnData(152, "trafoHistory", HistoryRef,
                        {{Real(0)}, {Real(1)}, {Real(3)}, {Real(999.6)}, {Real(1001)}, {Real(-5)}, {Real(70000)},
                         {Real(1e300)}, {Real(QNAN)}},
                        bind);
    auto zero = [](const std::vector<TValue>&) { return Real(0); };
    CheckTemplateOnData(152, "trafoHistory", zero, {{Real(2)}}, [](uint8_t* base) { At<int32_t>(base, 352) = 5; });
}

TEST(AttractorFunctions, RandomRealAdvancesTheSeed)
{
    EnsureTemplatesFixedUp();
    CodeTemplate* t = FindTemplate(153, "fr_randomReal");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->operandCount, 0);
    TemplateRunner runner;
    uint8_t* base = runner.dataBase();
    memset(base - TemplateRunner::DATA_BASE, 0, TemplateRunner::DATA);
    uint32_t seed = 0xFFFFFFFFu;
    At<uint32_t>(base, 1100) = seed;
    long double sum = 0;
    for (int i = 0; i < 200; i++) {
        TemplateRunOptions options;
        options.fillers = 8 - 1;
        TemplateRun run = runner.Run(t->code, t->codeLength, {}, 1, options, true);
        seed = seed * 1664525u + 1013904223u;
        ASSERT_FALSE(run.stackFault());
        ASSERT_EQ(run.result.size(), 1u);
        EXPECT_EQ(run.result[0], (long double)seed / 4294967296.0L);
        EXPECT_GE(run.result[0], 0);
        EXPECT_LT(run.result[0], 1);
        EXPECT_EQ(At<uint32_t>(base, 1100), seed);
        EXPECT_EQ(run.fillers, TemplateRunner::ExpectedFillers(7));
        sum += run.result[0];
    }
    EXPECT_NEAR((double)(sum / 200), 0.5, 0.1);
    TemplateRunOptions full;
    full.fillers = 8;
    EXPECT_TRUE(runner.Run(t->code, t->codeLength, {}, 1, full, true).stackFault()) << "scratchRegisters 1";
}

// ---------------------------------------------------------------------------
// Runtime bookkeeping of the iteration loop

namespace {

struct RuntimeFixture {
    TemplateRunner runner;
    uint8_t* base;
    RuntimeFixture() : base(runner.dataBase())
    {
        memset(base - TemplateRunner::DATA_BASE, 0, TemplateRunner::DATA);
    }
};

void ExpectPreserved(const TemplateRun& run, const TemplateRunOptions& options)
{
    EXPECT_FALSE(run.stackFault());
    EXPECT_EQ(run.tagWordAtEnd, 0xFFFF);
    EXPECT_EQ(run.edx, options.edx);
    EXPECT_EQ(run.esi, options.esi);
    EXPECT_EQ(run.ebx, options.ebx);
    EXPECT_EQ(run.espChange, 0);
    EXPECT_EQ(run.controlWord, options.controlWord);
    EXPECT_EQ(run.fillers, TemplateRunner::ExpectedFillers(options.fillers));
}

}  // namespace

TEST(RuntimeTemplates, DefaultColouringAndNumiter)
{
    RuntimeFixture f;
    TemplateRunOptions options;
    options.ecx = 37;
    options.fillers = 7;
    At<int32_t>(f.base, 208) = 1000;
    for (const char* name : {"defaultOutside", "defaultInside"}) {
        SCOPED_TRACE(name);
        SetExtended(f.base, 336, -1);
        TemplateRun run = RunOnData(f.runner, name, !strcmp(name, "defaultOutside") ? 86 : 87, options);
        ExpectPreserved(run, options);
        EXPECT_EQ(run.ecx, 37u);
        EXPECT_EQ(Extended(f.base, 336), 963.0L / 252);
    }
    TemplateRun run = RunOnData(f.runner, "init_numIter", 88, options);
    ExpectPreserved(run, options);
    EXPECT_EQ(At<int32_t>(f.base, 352), 963);

    // the quaternion block: maxiter 320, numiter 368, index 944
    At<int32_t>(f.base, 320) = 50;
    options.ecx = 50;
    run = RunOnData(f.runner, "defaultInside_quat", 94, options);
    ExpectPreserved(run, options);
    EXPECT_EQ(Extended(f.base, 944), 0.0L);
    options.ecx = 1;
    run = RunOnData(f.runner, "defaultInside_quat", 94, options);
    EXPECT_EQ(Extended(f.base, 944), 49.0L / 252);
    run = RunOnData(f.runner, "init_numIter_quat", 95, options);
    ExpectPreserved(run, options);
    EXPECT_EQ(At<int32_t>(f.base, 368), 49);
    EXPECT_EQ(run.ecx, 1u);
    // one filler more overflows the templates that load a value
    options.fillers = 8;
    EXPECT_TRUE(RunOnData(f.runner, "defaultInside", 87, options).stackFault());
}

TEST(RuntimeTemplates, SmallLoopEnds)
{
    RuntimeFixture f;
    TemplateRunOptions options;
    options.fillers = 8;
    struct { int op; const char* name; int numiter; } cases[] = {
        {89, "afterBailout_numiter_small", 352}, {90, "afterBailout_small", 0},
        {96, "afterBailout_numiter_quat", 368}, {97, "afterBailout_quat", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        At<int32_t>(f.base, 352) = 10;
        At<int32_t>(f.base, 368) = 20;
        options.ecx = 5;
        TemplateRun run = RunOnData(f.runner, c.name, c.op, options);
        ExpectPreserved(run, options);
        EXPECT_EQ(run.ecx, 4u);
        EXPECT_EQ(At<int32_t>(f.base, 352), c.numiter == 352 ? 11 : 10);
        EXPECT_EQ(At<int32_t>(f.base, 368), c.numiter == 368 ? 21 : 20);
        // the back jump's rel32 is the template's last four bytes, still 0
        CodeTemplate* t = FindTemplate(c.op, c.name);
        ASSERT_GE(t->codeLength, 6);
        EXPECT_EQ(t->code[t->codeLength - 6], 0x0F);
        EXPECT_EQ(t->code[t->codeLength - 5], 0x85);
        EXPECT_EQ(*(const int32_t*)(t->code + t->codeLength - 4), 0);
    }
}

// The loop end with the periodicity test: the four kinds of step.
TEST(RuntimeTemplates, PeriodicityTest)
{
    for (int numiter = 0; numiter < 2; numiter++) {
        const char* name = numiter ? "afterBailout_numiter" : "afterBailout";
        int op = numiter ? 89 : 90;
        SCOPED_TRACE(name);
        RuntimeFixture f;
        uint8_t* b = f.base;
        auto setup = [&](long double re, long double im) {
            SetExtended(b, 0, re);
            SetExtended(b, 16, im);
            SetExtended(b, 512, 0.5);
            SetExtended(b, 528, -0.25);
            At<uint32_t>(b, 496) = 100;       // start
            At<uint32_t>(b, 500) = 3;         // mask
            At<int32_t>(b, 504) = 2;          // countdown
            At<int32_t>(b, 508) = 4;          // reload
            At<float>(b, 544) = 1e-6f;        // epsilon
            At<int32_t>(b, 352) = 7;
        };
        TemplateRunOptions options;
        options.fillers = 6;

        // budget above the start value: only the count
        setup(1, 1);
        options.ecx = 101;
        TemplateRun run = RunOnData(f.runner, name, op, options);
        ExpectPreserved(run, options);
        EXPECT_EQ(run.ecx, 100u);
        EXPECT_EQ(Extended(b, 512), 0.5L);
        EXPECT_EQ(At<int32_t>(b, 352), 7 + numiter);

        // a save step (mask AND ECX = 0): z saved, countdown 2 -> 1
        setup(1.5, -2);
        options.ecx = 100;
        run = RunOnData(f.runner, name, op, options);
        EXPECT_EQ(run.ecx, 99u);
        EXPECT_EQ(Extended(b, 512), 1.5L);
        EXPECT_EQ(Extended(b, 528), -2.0L);
        EXPECT_EQ(At<int32_t>(b, 504), 1);
        EXPECT_EQ(At<uint32_t>(b, 500), 3u);
        // the countdown reaching 0: reloaded, mask * 2 + 1
        At<int32_t>(b, 504) = 1;
        options.ecx = 96;
        run = RunOnData(f.runner, name, op, options);
        EXPECT_EQ(At<int32_t>(b, 504), 4);
        EXPECT_EQ(At<uint32_t>(b, 500), 7u);
        EXPECT_EQ(run.ecx, 95u);

        // a compare step, z far from the saved z: go on
        setup(0.75, -0.25);
        options.ecx = 97;
        run = RunOnData(f.runner, name, op, options);
        EXPECT_EQ(run.ecx, 96u);
        EXPECT_EQ(At<int32_t>(b, 352), 7 + numiter);
        // the imaginary part far: go on
        setup(0.5, -0.3);
        run = RunOnData(f.runner, name, op, options);
        EXPECT_EQ(run.ecx, 96u);
        // within the tolerance: the loop is left as periodic (ECX and
        // numiter untouched, past the end of the template)
        setup(0.5 + 1e-7, -0.25 - 1e-7);
        run = RunOnData(f.runner, name, op, options);
        ExpectPreserved(run, options);
        EXPECT_EQ(run.ecx, 97u);
        EXPECT_EQ(At<int32_t>(b, 352), 7);
        // a NaN z is never periodic
        setup(QNAN, -0.25);
        run = RunOnData(f.runner, name, op, options);
        EXPECT_EQ(run.ecx, 96u);

        options.fillers = 7;
        setup(1, 1);
        options.ecx = 100;
        EXPECT_TRUE(RunOnData(f.runner, name, op, options).stackFault()) << "scratchRegisters 2";
    }
}

TEST(RuntimeTemplates, OrbitHistoryAndLastsqr)
{
    RuntimeFixture f;
    uint8_t* b = f.base;
    // 16-byte slots of 80-bit values: entry e, component k at 32 e + 16 k
    // (complex) or 64 e + 16 k (quaternion)
    std::vector<uint8_t> buffer(1024, 0);
    auto slot = [&](int i) { return Extended(buffer.data(), 16 * i); };
    for (int i = 0; i < 64; i++)
        SetExtended(buffer.data(), 16 * i, -1);
    TemplateRunOptions options;
    options.fillers = 7;

    SetExtended(b, 0, 1.25);
    SetExtended(b, 16, -3);
    At<uint8_t*>(b, 552) = buffer.data();
    At<int32_t>(b, 556) = 9;
    TemplateRun run = RunOnData(f.runner, "storez0", 91, options);
    ExpectPreserved(run, options);
    EXPECT_EQ(At<int32_t>(b, 556), 0);
    EXPECT_EQ(slot(0), 1.25L);
    EXPECT_EQ(slot(1), -3.0L);
    SetExtended(b, 0, 2);
    SetExtended(b, 16, 4);
    run = RunOnData(f.runner, "storez", 92, options);
    ExpectPreserved(run, options);
    EXPECT_EQ(At<int32_t>(b, 556), 1);
    EXPECT_EQ(slot(2), 2.0L);
    EXPECT_EQ(slot(3), 4.0L);
    EXPECT_EQ(slot(4), -1.0L);
    options.fillers = 6;
    run = RunOnData(f.runner, "initLastsqr", 93, options);
    ExpectPreserved(run, options);
    EXPECT_EQ(Extended(b, 600), 20.0L);
    options.fillers = 7;

    // quaternion: four doubles at 0, 64-byte entries of four 80-bit values
    At<double>(b, 0) = 1;
    At<double>(b, 8) = -2;
    At<double>(b, 16) = 3;
    At<double>(b, 24) = 0.5;
    run = RunOnData(f.runner, "storez0_quat", 98, options);
    ExpectPreserved(run, options);
    EXPECT_EQ(At<int32_t>(b, 556), 0);
    EXPECT_EQ(slot(0), 1.0L);
    EXPECT_EQ(slot(1), -2.0L);
    EXPECT_EQ(slot(3), 0.5L);
    At<double>(b, 16) = 7;
    run = RunOnData(f.runner, "storez_quat", 99, options);
    EXPECT_EQ(At<int32_t>(b, 556), 1);
    EXPECT_EQ(slot(4), 1.0L);
    EXPECT_EQ(slot(6), 7.0L);
    EXPECT_EQ(slot(8), -1.0L);
    options.fillers = 6;
    run = RunOnData(f.runner, "initLastsqr_quat", 100, options);
    ExpectPreserved(run, options);
    EXPECT_EQ(Extended(b, 600), 1 + 4 + 49 + 0.25L);
    options.fillers = 7;

    // without an orbit buffer nothing is written, the count still moves
    At<uint8_t*>(b, 552) = nullptr;
    run = RunOnData(f.runner, "storez", 92, options);
    EXPECT_EQ(At<int32_t>(b, 556), 2);
    run = RunOnData(f.runner, "storez_quat", 99, options);
    EXPECT_EQ(At<int32_t>(b, 556), 3);
    run = RunOnData(f.runner, "storez0_quat", 98, options);
    EXPECT_EQ(At<int32_t>(b, 556), 0);
    ExpectPreserved(run, options);

    // one register each beyond a full stack overflows
    At<uint8_t*>(b, 552) = buffer.data();
    options.fillers = 8;
    EXPECT_TRUE(RunOnData(f.runner, "storez", 92, options).stackFault()) << "scratchRegisters 1";
    options.fillers = 7;
    EXPECT_TRUE(RunOnData(f.runner, "initLastsqr", 93, options).stackFault()) << "scratchRegisters 2";
}

// TEST dword [solid], imm; JE over a JMP rel32: with the immediate and the
// jump completed, the jump is taken when the solid flag has a bit of the
// immediate.
TEST(RuntimeTemplates, CheckSolid)
{
    struct { const char* name; int field; } cases[] = {{"checkSolid_r", 432}, {"checkSolid_q", 448}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EnsureTemplatesFixedUp();
        CodeTemplate* t = FindTemplate(102, c.name);
        ASSERT_TRUE(t);
        ASSERT_EQ(t->codeLength, 17);
        EXPECT_EQ(*(const int32_t*)(t->code + 2), c.field);
        std::vector<uint8_t> code(t->code, t->code + t->codeLength);
        *(uint32_t*)&code[6] = 0x5;             // the immediate
        *(int32_t*)&code[13] = 4;               // over FLD1; JMP +2
        const uint8_t after[] = {0xD9, 0xE8, 0xEB, 0x02, 0xD9, 0xEE};
        code.insert(code.end(), after, after + sizeof after);
        RuntimeFixture f;
        for (uint32_t solid : {0u, 1u, 2u, 4u, 0x80000005u}) {
            At<uint32_t>(f.base, c.field) = solid;
            TemplateRun run = f.runner.Run(code.data(), (int)code.size(), {}, 1, TemplateRunOptions(), true);
            ASSERT_EQ(run.result.size(), 1u);
            EXPECT_EQ(run.result[0], (solid & 5) ? 0.0L : 1.0L) << solid;
        }
    }
}

// ---------------------------------------------------------------------------
// Arrays

namespace {

struct ArrayFixture : RuntimeFixture {
    ArrayFixture()
    {
        At<void*>(base, 560) = (void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "VirtualAlloc");
        At<void*>(base, 564) = (void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "VirtualFree");
    }
    void Free(uint8_t* block)
    {
        TemplateRunOptions options;
        options.ebx = (uint32_t)(uintptr_t)block;
        TemplateRun run = RunOnData(runner, "array_free", 87, options);
        EXPECT_EQ(run.ebx, options.ebx);
        EXPECT_EQ(run.ecx, options.ecx);
        EXPECT_EQ(run.edx, options.edx);
        EXPECT_EQ(run.espChange, 0);
    }
};

int32_t Header(const uint8_t* block, int word)
{
    return ((const int32_t*)block)[word];
}

bool Released(const void* block)
{
    MEMORY_BASIC_INFORMATION info;
    return VirtualQuery(block, &info, sizeof info) == sizeof info && info.State == MEM_FREE;
}

}  // namespace

TEST(ArrayTemplates, CreateWritesTheHeaderAndFreeReleases)
{
    ArrayFixture f;
    EnsureTemplatesFixedUp();
    // the operands of "array": sizes (first declared deepest), n, element size, type
    CodeTemplate* t = FindTemplate(87, "array");
    ASSERT_TRUE(t);
    std::vector<uint8_t> code(t->code, t->code + t->codeLength);
    const uint8_t store[] = {0x89, 0x87, 0x38, 0x02, 0x00, 0x00};   // mov [edi+568], eax
    code.insert(code.end(), store, store + sizeof store);
    auto create = [&](std::vector<long double> sizes, int esize, int type) {
        std::vector<TValue> ops;
        for (long double s : sizes)
            ops.push_back(Real(s));
        ops.push_back(Real((long double)sizes.size()));
        ops.push_back(Real(esize));
        ops.push_back(Real(type));
        TemplateRunOptions options;
        TemplateRun run = f.runner.Run(code.data(), (int)code.size(), ops, 0, options, true);
        EXPECT_FALSE(run.stackFault());
        EXPECT_EQ(run.registersAfter, 0);
        EXPECT_EQ(run.tagWordAtEnd, 0xFFFF);
        EXPECT_EQ(run.ecx, options.ecx);
        EXPECT_EQ(run.edx, options.edx);
        EXPECT_EQ(run.esi, options.esi);
        EXPECT_EQ(run.espChange, 0);
        EXPECT_LE(run.frameBytesWritten, t->frameBytes);
        return At<uint8_t*>(f.base, 568);
    };

    // sizes 3 and 4 of doubles: header 4 at byte 12 and 3 at byte 16
    uint8_t* block = create({3, 4}, 8, 2);
    ASSERT_TRUE(block);
    EXPECT_EQ(Header(block, 0), 2);
    EXPECT_EQ(Header(block, 1), 8);
    EXPECT_EQ(Header(block, 2), 2);
    EXPECT_EQ(Header(block, 3), 4);
    EXPECT_EQ(Header(block, 4), 3);
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(((double*)(block + 64))[i], 0.0);
    f.Free(block);
    EXPECT_TRUE(Released(block));

    block = create({2, 3, 4, 5, 6}, 4, 1);
    ASSERT_TRUE(block);
    EXPECT_EQ(Header(block, 2), 5);
    for (int k = 0; k < 5; k++)
        EXPECT_EQ(Header(block, 3 + k), 6 - k);
    ((int32_t*)(block + 64))[2 * 3 * 4 * 5 * 6 - 1] = 1;   // the last element is inside the block
    f.Free(block);

    // a size below 1 counts as 0; a block too large for memory gets no
    // elements (every size 0) but still a header
    block = create({-3, 2.4}, 16, 1);
    ASSERT_TRUE(block);
    EXPECT_EQ(Header(block, 3), 2);
    EXPECT_EQ(Header(block, 4), 0);
    f.Free(block);
    block = create({100000, 100000, 1000}, 64, 1);
    ASSERT_TRUE(block);
    EXPECT_EQ(Header(block, 2), 3);
    EXPECT_EQ(Header(block, 3), 0);
    EXPECT_EQ(Header(block, 4), 0);
    EXPECT_EQ(Header(block, 5), 0);
    f.Free(block);

    // without the allocation routine the array stays empty (null)
    At<void*>(f.base, 560) = nullptr;
    EXPECT_EQ(create({5}, 8, 2), nullptr);
    // a null block is not released
    f.Free(nullptr);
}

namespace {

// A block made here: n sizes (first declared first), element size s,
// elements filled with distinct values by their flat index.
struct TestArray {
    std::vector<uint8_t> storage;
    uint8_t* block;
    std::vector<int> sizes;
    int elementSize;
    TestArray(std::vector<int> sz, int esize) : sizes(sz), elementSize(esize)
    {
        int count = 1;
        for (int s : sz)
            count *= s;
        storage.assign(64 + (size_t)count * esize + 16, 0);
        block = storage.data();
        int32_t* h = (int32_t*)block;
        h[0] = 1;
        h[1] = esize;
        h[2] = (int32_t)sz.size();
        for (size_t k = 0; k < sz.size(); k++)
            h[3 + k] = sz[sz.size() - 1 - k];
    }
    int Flat(const std::vector<int>& idx) const
    {
        int flat = 0;
        for (int k = (int)idx.size() - 1; k >= 0; k--)
            flat = flat * sizes[k] + idx[k];
        return flat;
    }
    uint8_t* Element(const std::vector<int>& idx) { return block + 64 + (size_t)Flat(idx) * elementSize; }
};

struct LoadCase {
    const char* name;
    char kind;          // t tbyte, d double, f float, i int
    int components;
    int dims;           // 0: any (the test uses 1 to 3)
};

const LoadCase LOADS[] = {
    {"load_array_c_tbyte", 't', 2, 0}, {"load_array_r_tbyte", 't', 1, 0}, {"load_array_q_tbyte", 't', 4, 0},
    {"load_array_v_tbyte", 't', 3, 0}, {"load_array_c_double", 'd', 2, 0}, {"load_array_r_double", 'd', 1, 0},
    {"load_array_r_double_dim1", 'd', 1, 1}, {"load_array_r_double_dim2", 'd', 1, 2},
    {"load_array_r_float", 'f', 1, 0}, {"load_array_r_float_dim1", 'f', 1, 1},
    {"load_array_r_float_dim2", 'f', 1, 2}, {"load_array_q_double", 'd', 4, 0},
    {"load_array_v_double", 'd', 3, 0}, {"load_array_c_float", 'f', 2, 0}, {"load_array_q_float", 'f', 4, 0},
    {"load_array_q_float_dim1", 'f', 4, 1}, {"load_array_q_float_dim2", 'f', 4, 2},
    {"load_array_v_float", 'f', 3, 0}, {"load_array_int", 'i', 1, 0}, {"load_array_int_dim1", 'i', 1, 1},
    {"load_array_int_dim2", 'i', 1, 2}, {"load_array_int_dim3", 'i', 1, 3},
};

int ComponentSize(char kind)
{
    return kind == 't' ? 16 : kind == 'd' ? 8 : 4;
}

void WriteComponent(uint8_t* p, char kind, long double v)
{
    switch (kind) {
    case 't': *(long double*)p = v; break;
    case 'd': *(double*)p = (double)v; break;
    case 'f': *(float*)p = (float)v; break;
    default: *(int32_t*)p = (int32_t)v; break;
    }
}

long double ElementValue(int flat, int component)
{
    return flat * 10 + component + 0.5L * (component > 0);
}

}  // namespace

// Every load template reads the element of the index values on the stack
// (first index deepest), leaves the block in EBX and the byte offset in
// EAX; outside the array it reads 0 and points at the sink.
TEST(ArrayTemplates, LoadsReadTheElementOrZero)
{
    EnsureTemplatesFixedUp();
    TemplateRunner runner;
    uint8_t* sink = runner.frameBase() - 128;
    const uint8_t lea[] = {0x8D, 0x5C, 0x03, 0x40};          // lea ebx, [ebx+eax+64]
    for (const LoadCase& c : LOADS) {
        SCOPED_TRACE(c.name);
        CodeTemplate* t = FindTemplate(87, c.name);
        ASSERT_TRUE(t);
        EXPECT_EQ(t->scratchRegisters, c.components);
        std::vector<uint8_t> code(t->code, t->code + t->codeLength);
        code.insert(code.end(), lea, lea + sizeof lea);
        int esize = ComponentSize(c.kind) * (c.kind == 'i' ? 1 : c.components);
        std::vector<std::vector<int>> shapes;
        const std::vector<int> sizes = {3, 4, 2};
        if (c.dims)
            shapes.push_back(std::vector<int>(sizes.begin(), sizes.begin() + c.dims));
        else
            shapes = {{5}, {3, 4}, {2, 3, 2}, {2, 2, 2, 2, 3}};
        for (const std::vector<int>& shape : shapes) {
            TestArray a(shape, esize);
            // fill every element
            int count = 1;
            for (int s : shape)
                count *= s;
            for (int flat = 0; flat < count; flat++)
                for (int k = 0; k < c.components; k++)
                    WriteComponent(a.block + 64 + flat * esize + k * ComponentSize(c.kind), c.kind,
                                   c.kind == 'i' ? flat * 3 - 7 : ElementValue(flat, k));
            // index rows: inside, the last element, each index one past its size, negative, NaN
            std::vector<std::vector<long double>> rows;
            std::vector<long double> first(shape.size(), 0), last;
            for (int s : shape)
                last.push_back(s - 1);
            rows.push_back(first);
            rows.push_back(last);
            std::vector<long double> mid;
            for (int s : shape)
                mid.push_back(s / 2 + 0.3L);      // rounded to the nearest
            rows.push_back(mid);
            for (size_t k = 0; k < shape.size(); k++) {
                std::vector<long double> out = last;
                out[k] = shape[k];
                rows.push_back(out);
                out[k] = -1;
                rows.push_back(out);
            }
            std::vector<long double> bad = first;
            bad[0] = QNAN;
            rows.push_back(bad);
            for (const auto& idx : rows) {
                std::vector<TValue> ops;
                std::vector<int> ints;
                bool inside = true;
                for (size_t k = 0; k < idx.size(); k++) {
                    ops.push_back(Real(idx[k]));
                    long double r = isnan(idx[k]) ? -1 : nearbyintl(idx[k]);
                    ints.push_back((int)r);
                    if (r < 0 || r >= shape[k])
                        inside = false;
                }
                TemplateRunOptions options;
                options.fillers = 8 - c.components;
                if (options.fillers + (int)idx.size() > 8)
                    options.fillers = 8 - (int)idx.size();
                options.ebx = (uint32_t)(uintptr_t)a.block;
                TemplateRun run = runner.Run(code.data(), (int)code.size(), ops, c.components, options);
                SCOPED_TRACE("index " + RowText(ops));
                EXPECT_FALSE(run.stackFault());
                EXPECT_EQ(run.registersAfter, options.fillers + c.components);
                EXPECT_EQ(run.fillers, TemplateRunner::ExpectedFillers(options.fillers));
                EXPECT_EQ(run.tagWordAtEnd, 0xFFFF);
                EXPECT_EQ(run.ecx, options.ecx);
                EXPECT_EQ(run.edx, options.edx);
                EXPECT_EQ(run.esi, options.esi);
                EXPECT_EQ(run.espChange, 0);
                EXPECT_LE(run.frameBytesWritten, t->frameBytes);
                ASSERT_EQ(run.result.size(), (size_t)c.components);
                if (inside) {
                    int flat = a.Flat(ints);
                    EXPECT_EQ(run.ebx, (uint32_t)(uintptr_t)a.Element(ints));
                    for (int k = 0; k < c.components; k++) {
                        long double e = c.kind == 'i' ? flat * 3 - 7 : ElementValue(flat, k);
                        EXPECT_EQ(run.result[k], c.kind == 'f' ? (long double)(float)e : e) << k;
                    }
                } else {
                    EXPECT_EQ(run.ebx, (uint32_t)(uintptr_t)sink);
                    for (int k = 0; k < c.components; k++)
                        EXPECT_EQ(run.result[k], 0.0L);
                }
            }
            // a block of another number of dimensions or element size
            if (c.dims) {
                int32_t saved = ((int32_t*)a.block)[2];
                ((int32_t*)a.block)[2] = saved + 1;
                std::vector<TValue> ops(shape.size(), Real(0));
                TemplateRunOptions options;
                options.ebx = (uint32_t)(uintptr_t)a.block;
                TemplateRun run = runner.Run(code.data(), (int)code.size(), ops, c.components, options);
                EXPECT_EQ(run.ebx, (uint32_t)(uintptr_t)sink) << "dimension count checked";
                ((int32_t*)a.block)[2] = saved;
            }
            ((int32_t*)a.block)[1] = esize * 2;
            {
                std::vector<TValue> ops(shape.size(), Real(0));
                TemplateRunOptions options;
                options.ebx = (uint32_t)(uintptr_t)a.block;
                TemplateRun run = runner.Run(code.data(), (int)code.size(), ops, c.components, options);
                EXPECT_EQ(run.ebx, (uint32_t)(uintptr_t)sink) << "element size checked";
            }
        }
        // the element's registers are all the template needs above the
        // indices: with one register more below, a one-index load overflows
        if (c.components > 1) {
            TestArray a(std::vector<int>(c.dims ? c.dims : 1, 2), esize);
            TemplateRunOptions options;
            options.ebx = (uint32_t)(uintptr_t)a.block;
            options.fillers = 8 - c.components + 1;
            std::vector<TValue> ops(c.dims ? c.dims : 1, Real(1));
            if (options.fillers + (int)ops.size() <= 8) {
                EXPECT_TRUE(runner.Run(code.data(), (int)code.size(), ops, c.components, options).stackFault());
            }
        }
        // no block: zeros; the index count comes from the template or, for
        // the templates of any dimension count, from EAX
        for (int n = 1; n <= (c.dims ? 1 : 5); n++) {
            int count = c.dims ? c.dims : n;
            std::vector<TValue> ops(count, Real(1));
            std::vector<uint8_t> withCount = {0xB8, (uint8_t)n, 0, 0, 0};   // mov eax, n
            withCount.insert(withCount.end(), code.begin(), code.end());
            TemplateRunOptions options;
            options.ebx = 0;
            options.fillers = 8 - count < 8 - c.components ? 8 - count : 8 - c.components;
            TemplateRun run = runner.Run(withCount.data(), (int)withCount.size(), ops, c.components, options);
            EXPECT_FALSE(run.stackFault());
            EXPECT_EQ(run.registersAfter, options.fillers + c.components) << n;
            EXPECT_EQ(run.ebx, (uint32_t)(uintptr_t)sink);
            for (long double v : run.result)
                EXPECT_EQ(v, 0.0L);
        }
    }
}

// The address templates of assignments: EBX = the element's address, the
// sink for an element that does not exist.
TEST(ArrayTemplates, AddressesOfAssignedElements)
{
    EnsureTemplatesFixedUp();
    TemplateRunner runner;
    uint8_t* sink = runner.frameBase() - 128;
    struct { const char* name; int dims; bool direct; } cases[] = {
        {"save_array_adr", 0, false}, {"save_array_adr_dim1", 1, false}, {"save_array_adr_dim2", 2, false},
        {"save_array_adr_dim3", 3, false}, {"save_array_adr_direct_dim1", 1, true},
        {"save_array_adr_direct_dim2", 2, true}, {"save_array_adr_direct_dim3", 3, true},
        {"save_array_adr_direct_dim4", 4, true}, {"save_array_adr_direct_dim5", 5, true},
    };
    const std::vector<int> allSizes = {3, 4, 2, 2, 3};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CodeTemplate* t = FindTemplate(87, c.name);
        ASSERT_TRUE(t);
        int dims = c.dims ? c.dims : 4;
        std::vector<int> shape(allSizes.begin(), allSizes.begin() + dims);
        TestArray a(shape, 24);
        std::vector<std::vector<int>> rows = {std::vector<int>(dims, 0)};
        std::vector<int> last;
        for (int s : shape)
            last.push_back(s - 1);
        rows.push_back(last);
        for (int k = 0; k < dims; k++) {
            std::vector<int> out = last;
            out[k] = shape[k];
            rows.push_back(out);
            out[k] = -1;
            rows.push_back(out);
        }
        for (const auto& idx : rows) {
            bool inside = true;
            for (int k = 0; k < dims; k++)
                inside = inside && idx[k] >= 0 && idx[k] < shape[k];
            std::vector<TValue> ops;
            if (c.direct) {
                for (int k = 0; k < dims; k++)
                    ((int32_t*)a.block)[8 + k] = idx[k];
            } else {
                for (int k = 0; k < dims; k++)
                    ops.push_back(Real(idx[k]));
            }
            TemplateRunOptions options;
            options.fillers = 8 - (int)ops.size();
            options.ebx = (uint32_t)(uintptr_t)a.block;
            TemplateRun run = runner.Run(t->code, t->codeLength, ops, 0, options);
            EXPECT_FALSE(run.stackFault());
            EXPECT_EQ(run.registersAfter, options.fillers);
            EXPECT_EQ(run.fillers, TemplateRunner::ExpectedFillers(options.fillers));
            EXPECT_EQ(run.ecx, options.ecx);
            EXPECT_EQ(run.edx, options.edx);
            EXPECT_EQ(run.esi, options.esi);
            EXPECT_EQ(run.espChange, 0);
            EXPECT_TRUE(run.dataIntact);
            EXPECT_EQ(run.ebx, (uint32_t)(uintptr_t)(inside ? a.Element(idx) : sink));
        }
        // no block
        std::vector<uint8_t> code = {0xB8, (uint8_t)dims, 0, 0, 0};
        code.insert(code.end(), t->code, t->code + t->codeLength);
        std::vector<TValue> ops(c.direct ? 0 : dims, Real(0));
        TemplateRunOptions options;
        options.ebx = 0;
        TemplateRun run = runner.Run(code.data(), (int)code.size(), ops, 0, options);
        EXPECT_EQ(run.registersAfter, 0);
        EXPECT_EQ(run.ebx, (uint32_t)(uintptr_t)sink);
    }
}

// ---------------------------------------------------------------------------
// Attractor templates

namespace {

struct Camera {
    float position[3];
    float rows[9];
};

void WriteCamera(uint8_t* base, int offset, const Camera& c)
{
    memcpy(base + offset, &c, sizeof c);
}

void Transform(const Camera& cam, const double z[3], long double c[3])
{
    long double d[3] = {z[0] - (long double)cam.position[0], z[1] - (long double)cam.position[1],
                        z[2] - (long double)cam.position[2]};
    for (int r = 0; r < 3; r++)
        c[r] = cam.rows[3 * r] * d[0] + cam.rows[3 * r + 1] * d[1] + cam.rows[3 * r + 2] * d[2];
}

struct AttractorFixture : RuntimeFixture {
    std::vector<uint8_t> points = std::vector<uint8_t>(1024 * 128, 0xEE);
    Camera view = {{0.5f, -1, -4}, {0.8f, 0, -0.6f, 0, 1, 0, 0.6f, 0, 0.8f}};
    AttractorFixture()
    {
        WriteCamera(base, 496, view);
        At<float>(base, 544) = 0.1f;
        At<float>(base, 548) = 1000;
        At<int32_t>(base, 576) = 200;
        At<int32_t>(base, 580) = 100;
        At<void*>(base, 596) = points.data();
        At<float>(base, 600) = 1.5f;
        At<float>(base, 604) = 2;
        At<int32_t>(base, 608) = 110;
        At<int32_t>(base, 612) = 60;
        SetExtended(base, 336, 0.375);
        float colour[4] = {0.25f, 0.5f, 0.75f, 1};
        memcpy(base + 672, colour, 16);
    }
    void SetZ(double x, double y, double z)
    {
        At<double>(base, 0) = x;
        At<double>(base, 8) = y;
        At<double>(base, 16) = z;
    }
    uint8_t* Record(int n) { return points.data() + 128 * n; }
};

}  // namespace

TEST(AttractorTemplates, TransformPixelProjectsAndRecords)
{
    AttractorFixture f;
    // the camera looks along (0.6, 0, 0.8) from (0.5, -1, -4); its right
    // row is (0.8, 0, -0.6): P + t dir + r right + u up has c = (r, u, t)
    struct { double z[3]; } cases[] = {
        {{3.5, -1, 0}},          // c = (0, 0, 5): the centre
        {{6.5, 2, 4}},           // (0, 3, 10)
        {{5.1, -1, -1.2}},       // (2, 0, 5)
        {{1.1, -1, 1.8}},        // (-3, 0, 5)
        {{1, 0.5, 2}},           // (-3.2, 1.5, 5.1)
        {{0.5, -1, 6}},          // outside to the left
        {{-3, 2, 1}},            // far outside
        {{0.5, -1, -4.05}},      // behind the camera
        {{0.5, -1, -3.95}},      // nearer than near
        {{0.5 + 0.6 * 1500, -1, -4 + 0.8 * 1500}},   // farther than far
        {{1e9, 0, 0}}, {{NAN, 0, 0}},
    };
    int expectedRecords = 3, dropped = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.z[0] << " " << c.z[1] << " " << c.z[2]);
        f.SetZ(c.z[0], c.z[1], c.z[2]);
        long double cv[3];
        Transform(f.view, c.z, cv);
        long double px = 1.5L * cv[0] / cv[2], py = 2.0L * cv[1] / cv[2];
        bool visible = cv[2] >= (long double)0.1f && cv[2] <= 1000 && fabsl(px) <= 1 && fabsl(py) <= 1;
        TemplateRunOptions options;
        options.edx = expectedRecords;
        options.fillers = 5;
        std::vector<uint8_t> before(f.points);
        TemplateRun run = RunOnData(f.runner, "transform_pixel", 87, options);
        EXPECT_FALSE(run.stackFault());
        EXPECT_EQ(run.registersAfter, 5);
        EXPECT_EQ(run.fillers, TemplateRunner::ExpectedFillers(5));
        EXPECT_EQ(run.tagWordAtEnd, 0xFFFF);
        EXPECT_EQ(run.esi, options.esi);
        EXPECT_EQ(run.ecx, options.ecx);
        EXPECT_EQ(run.ebx, options.ebx);
        EXPECT_EQ(run.espChange, 0);
        if (!visible) {
            dropped++;
            EXPECT_EQ(run.edx, (uint32_t)expectedRecords);
            EXPECT_TRUE(before == f.points) << "a dropped point writes no record";
            continue;
        }
        EXPECT_EQ(run.edx, (uint32_t)expectedRecords + 1);
        uint8_t* r = f.Record(expectedRecords);
        EXPECT_EQ(At<int32_t>(r, 0), (int32_t)nearbyintl(110 + px * 200 * 0.5L));
        EXPECT_EQ(At<int32_t>(r, 4), (int32_t)nearbyintl(60 - py * 100 * 0.5L));
        EXPECT_NEAR(At<float>(r, 8), (double)cv[2], 1e-5);
        EXPECT_EQ(At<float>(r, 12), 0.375f);
        EXPECT_EQ(At<float>(r, 16), 0.25f);
        EXPECT_EQ(At<float>(r, 28), 1.0f);
        expectedRecords++;
    }
    EXPECT_EQ(expectedRecords, 3 + 5) << "the table has visible points";
    EXPECT_EQ(dropped, 7);
    // a full buffer or none: nothing written
    f.SetZ(1, 0.5, 2);
    TemplateRunOptions options;
    options.edx = 1024;
    EXPECT_EQ(RunOnData(f.runner, "transform_pixel", 87, options).edx, 1024u);
    At<void*>(f.base, 596) = nullptr;
    options.edx = 0;
    TemplateRun run = RunOnData(f.runner, "transform_pixel", 87, options);
    EXPECT_EQ(run.edx, 0u);
    EXPECT_EQ(run.tagWordAtEnd, 0xFFFF);
    options.fillers = 6;
    At<void*>(f.base, 596) = f.points.data();
    EXPECT_TRUE(RunOnData(f.runner, "transform_pixel", 87, options).stackFault()) << "scratchRegisters 3";
}

TEST(AttractorTemplates, SavePixelAndNumiter)
{
    AttractorFixture f;
    f.SetZ(1.5, -2.25, 1e10);
    TemplateRunOptions options;
    options.edx = 7;
    options.fillers = 7;
    TemplateRun run = RunOnData(f.runner, "save_pixel", 87, options);
    EXPECT_FALSE(run.stackFault());
    EXPECT_EQ(run.registersAfter, 7);
    EXPECT_EQ(run.tagWordAtEnd, 0xFFFF);
    EXPECT_EQ(run.esi, options.esi);
    EXPECT_EQ(run.espChange, 0);
    EXPECT_EQ(run.edx, 8u);
    uint8_t* r = f.Record(7);
    EXPECT_EQ(At<float>(r, 0), 1.5f);
    EXPECT_EQ(At<float>(r, 4), -2.25f);
    EXPECT_EQ(At<float>(r, 8), 1e10f);
    EXPECT_EQ(At<float>(r, 12), 0.375f);
    EXPECT_EQ(At<float>(r, 24), 0.75f);
    options.edx = 1024;
    EXPECT_EQ(RunOnData(f.runner, "save_pixel", 87, options).edx, 1024u);

    At<int32_t>(f.base, 352) = 41;
    run = RunOnData(f.runner, "initNumiter_att", 87, options);
    EXPECT_EQ(At<int32_t>(f.base, 352), 42);
    EXPECT_EQ(run.edx, options.edx);
}

TEST(AttractorTemplates, ShadowBuffersKeepTheNearestDepth)
{
    for (int light = 0; light < 8; light++) {
        SCOPED_TRACE(light);
        AttractorFixture f;
        const int width = 10, height = 8;
        std::vector<float> shadow(width * height + 8, 1e30f);
        Camera cam = {{0, 0, -10}, {0.25f, 0, 0, 0, 0.25f, 0, 0, 0, 1}};
        int at = 1132 + 60 * light;
        WriteCamera(f.base, at, cam);
        At<int32_t>(f.base, at + 48) = width;
        At<int32_t>(f.base, at + 52) = height;
        At<float*>(f.base, at + 56) = shadow.data();
        char name[32];
        snprintf(name, sizeof name, "transform_shadow_%d", light + 1);
        struct { double z[3]; } points[] = {
            {{1, 2, 5}}, {{1, 2, 3}}, {{1, 2, 9}}, {{-4, -4, 0}}, {{3.99, 0, 1}}, {{4, 0, 1}},
            {{0, -4.01, 1}}, {{3.98, 3.98, 2}}, {{NAN, 0, 0}},
        };
        std::vector<float> expected = shadow;
        for (const auto& p : points) {
            long double c[3];
            Transform(cam, p.z, c);
            if (c[0] >= -1 && c[0] < 1 && c[1] >= -1 && c[1] < 1) {
                long long col = llrintl((c[0] + 1) * 0.5L * width), row = llrintl((c[1] + 1) * 0.5L * height);
                if (col < width && row < height && c[2] < expected[row * width + col])
                    expected[row * width + col] = (float)c[2];
            }
            f.SetZ(p.z[0], p.z[1], p.z[2]);
            TemplateRunOptions options;
            options.fillers = 6;
            TemplateRun run = RunOnData(f.runner, name, 87, options);
            ExpectPreserved(run, options);
            EXPECT_EQ(run.ecx, options.ecx);
            EXPECT_EQ(run.registersAfter, 6);
        }
        EXPECT_TRUE(expected == shadow);
        EXPECT_EQ(shadow[0], 10.0f) << "(-4, -4, 0) lands in cell (0, 0) with depth 10";
        EXPECT_EQ(shadow[6 * width + 6], 13.0f) << "the nearest of 15, 13, 19";
        for (int i = width * height; i < width * height + 8; i++)
            EXPECT_EQ(shadow[i], 1e30f) << "nothing beyond the buffer";
        TemplateRunOptions options;
        options.fillers = 7;
        f.SetZ(1, 2, 5);
        EXPECT_TRUE(RunOnData(f.runner, name, 87, options).stackFault()) << "scratchRegisters 2";
    }
}
