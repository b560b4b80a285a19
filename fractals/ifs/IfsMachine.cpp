// The stack machine's routines. Value opcodes push the accumulator and load
// their value; two-operand operators pop their left operand; functions work
// on the accumulator in place. The angle and the square root are the
// language's own (shortened pi, the square root of a negative real is
// i*sqrt(-x)) and every inverse function builds on them.
#include "fractals/ifs/IfsMachine.h"

#include <math.h>
#include <string.h>

#include "fractals/ifs/IfsParser.h"

namespace {

typedef EvalContext Ctx;

void Push(Ctx* c, const Complex* acc)
{
    if (c->stackEnd && c->stackTop + 2 > c->stackEnd)
        return;  // a full stack drops the value rather than write past it
    c->stackTop[0] = acc->re;
    c->stackTop[1] = acc->im;
    c->stackTop += 2;
}

Complex Pop(Ctx* c)
{
    c->stackTop -= 2;
    return {c->stackTop[0], c->stackTop[1]};
}

void Load(Ctx* c, Complex* acc, Complex value)
{
    Push(c, acc);
    *acc = value;
}

Complex Mul(Complex a, Complex b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
Complex Div(Complex a, Complex b)
{
    double d = b.re * b.re + b.im * b.im;
    return {(a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d};
}
Complex Add(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
Complex Sub(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }

double Angle(double x, double y)
{
    if (x > 0)
        return atan(y / x);
    if (x < 0)
        return y > 0 ? atan(y / x) + IFS_PI : atan(y / x) - IFS_PI;
    return y > 0 ? IFS_HALF_PI : y < 0 ? -IFS_HALF_PI : 0.0;
}

Complex Ln(Complex z) { return {log(z.re * z.re + z.im * z.im) / 2, Angle(z.re, z.im)}; }
Complex Exp(Complex z) { return {exp(z.re) * cos(z.im), exp(z.re) * sin(z.im)}; }

Complex Sqrt(Complex z)
{
    if (z.im == 0)
        return z.re >= 0 ? Complex{sqrt(z.re), 0} : Complex{0, sqrt(-z.re)};
    double r = sqrt(z.re * z.re + z.im * z.im);
    double re = sqrt(fmax((r + z.re) / 2, 0)), im = sqrt(fmax((r - z.re) / 2, 0));
    return {re, z.im < 0 ? -im : im};
}

const Complex kI = {0, 1}, kOne = {1, 0};

// ----- Value opcodes
void LoadBailout(Ctx* c, Complex* a) { Load(c, a, {c->bailout, 0}); }
void LoadBailin(Ctx* c, Complex* a) { Load(c, a, {c->bailin, 0}); }
void LoadPixel(Ctx* c, Complex* a) { Load(c, a, c->pixel); }
void LoadPi(Ctx* c, Complex* a) { Load(c, a, {IFS_PI, 0}); }
void LoadTrue(Ctx* c, Complex* a) { Load(c, a, {1, 0}); }
void LoadFalse(Ctx* c, Complex* a) { Load(c, a, {0, 0}); }
void LoadE(Ctx* c, Complex* a) { Load(c, a, {IFS_E, 0}); }
void LoadI(Ctx* c, Complex* a) { Load(c, a, kI); }
void LoadZ(Ctx* c, Complex* a) { Load(c, a, c->z); }
void LoadVariable(Ctx* c, Complex* a)
{
    uint32_t id = *c->ip++;
    Complex value = {0, 0};
    if (c->variables && id < (uint32_t)c->variableCount)
        value = c->variables[id];
    Load(c, a, value);
}
void LoadP1(Ctx* c, Complex* a) { Load(c, a, c->p1); }
void LoadP2(Ctx* c, Complex* a) { Load(c, a, c->p2); }
void LoadP3(Ctx* c, Complex* a) { Load(c, a, c->p3); }
void LoadP4(Ctx* c, Complex* a) { Load(c, a, c->p4); }
void LoadNumber(Ctx* c, Complex* a)
{
    double value;
    memcpy(&value, c->ip, sizeof value);
    c->ip += 2;
    Load(c, a, {value, 0});
}
void LoadIter(Ctx* c, Complex* a) { Load(c, a, {(double)c->iter, 0}); }
void LoadMaxiter(Ctx* c, Complex* a) { Load(c, a, {(double)c->maxiter, 0}); }
void LoadWidth(Ctx* c, Complex* a) { Load(c, a, {(double)c->width, 0}); }
void LoadHeight(Ctx* c, Complex* a) { Load(c, a, {(double)c->height, 0}); }
void LoadLeft(Ctx* c, Complex* a) { Load(c, a, {c->left, 0}); }
void LoadRight(Ctx* c, Complex* a) { Load(c, a, {c->right, 0}); }
void LoadTop(Ctx* c, Complex* a) { Load(c, a, {c->top, 0}); }
void LoadBottom(Ctx* c, Complex* a) { Load(c, a, {c->bottom, 0}); }
void LoadCorner1(Ctx* c, Complex* a) { Load(c, a, c->corner1); }
void LoadCorner2(Ctx* c, Complex* a) { Load(c, a, c->corner2); }
void LoadCorner3(Ctx* c, Complex* a) { Load(c, a, c->corner3); }
void LoadCorner4(Ctx* c, Complex* a) { Load(c, a, c->corner4); }
void LoadPosx(Ctx* c, Complex* a) { Load(c, a, {(double)c->posx, 0}); }
void LoadPosy(Ctx* c, Complex* a) { Load(c, a, {(double)c->posy, 0}); }
template <int N>
void LoadSpare(Ctx* c, Complex* a)
{
    Load(c, a, {c->spare[N], 0});
}
void Rand(Ctx* c, Complex* a)
{
    Push(c, a);
    uint32_t x = ((uint32_t)c->randState * 3677u + 3680u) & 0x7FFFFFFFu;
    c->randState = (int32_t)(x - 1);
    *a = {2.0 * x / 2147483647.0 - 1.0, 0};
}

// ----- Two-operand operators
void Plus(Ctx* c, Complex* a) { *a = Add(Pop(c), *a); }
void Minus(Ctx* c, Complex* a) { *a = Sub(Pop(c), *a); }
void Times(Ctx* c, Complex* a) { *a = Mul(Pop(c), *a); }
void Divide(Ctx* c, Complex* a) { *a = Div(Pop(c), *a); }
// Exponents 1, 2 and 3 multiply; any other is the principal power
// exp(b ln a), with 0 to any power 0.
void Power(Ctx* c, Complex* a)
{
    Complex base = Pop(c), b = *a;
    if (b.im == 0 && b.re == 2)
        *a = Mul(base, base);
    else if (b.im == 0 && b.re == 3)
        *a = Mul(Mul(base, base), base);
    else if (b.im == 0 && b.re == 1)
        *a = base;
    else if (base.re == 0 && base.im == 0)
        *a = {0, 0};
    else
        *a = Exp(Mul(b, Ln(base)));
}
void And(Ctx* c, Complex* a) { a->re = Pop(c).re * a->re; }
void Or(Ctx* c, Complex* a) { a->re = (Pop(c).re != 0 || a->re != 0) ? 1 : 0; }
void Equal(Ctx* c, Complex* a) { a->re = fabs(a->re - Pop(c).re) < 1e-11 ? 1 : 0; }
void NotEqual(Ctx* c, Complex* a) { a->re = fabs(a->re - Pop(c).re) > 1e-11 ? 1 : 0; }
void GreaterEqual(Ctx* c, Complex* a) { a->re = Pop(c).re >= a->re ? 1 : 0; }
void LessEqual(Ctx* c, Complex* a) { a->re = Pop(c).re <= a->re ? 1 : 0; }
void Less(Ctx* c, Complex* a) { a->re = Pop(c).re < a->re ? 1 : 0; }
void Greater(Ctx* c, Complex* a) { a->re = Pop(c).re > a->re ? 1 : 0; }

// ----- Functions of the accumulator
void Negate(Ctx*, Complex* a) { *a = {-a->re, -a->im}; }
void Not(Ctx*, Complex* a) { a->re = a->re == 0 ? 1 : 0; }
void Sin(Ctx*, Complex* z)
{
    double a = exp(z->im), x = z->re;
    *z = {(a + 1 / a) / 2 * sin(x), (a - 1 / a) / 2 * cos(x)};
}
void Cos(Ctx*, Complex* z)
{
    double a = exp(z->im), x = z->re;
    *z = {(a + 1 / a) / 2 * cos(x), -(a - 1 / a) / 2 * sin(x)};
}
void Tan(Ctx*, Complex* z)
{
    double a = exp(2 * z->im), x = z->re;
    double d = cos(2 * x) + (a + 1 / a) / 2;
    *z = {sin(2 * x) / d, (a - 1 / a) / 2 / d};
}
void Sinh(Ctx*, Complex* z)
{
    double a = exp(z->re), y = z->im;
    *z = {(a - 1 / a) / 2 * cos(y), (a + 1 / a) / 2 * sin(y)};
}
void Cosh(Ctx*, Complex* z)
{
    double a = exp(z->re), y = z->im;
    *z = {(a + 1 / a) / 2 * cos(y), (a - 1 / a) / 2 * sin(y)};
}
void Tanh(Ctx*, Complex* z)
{
    double x = z->re, y = z->im, d = cosh(2 * x) + cos(2 * y);
    *z = {sinh(2 * x) / d, sin(2 * y) / d};
}
void Cotan(Ctx*, Complex* z)
{
    double a = exp(2 * z->im), x = z->re, d = (a + 1 / a) / 2 - cos(2 * x);
    *z = {sin(2 * x) / d, -(a - 1 / a) / 2 / d};
}
void Cotanh(Ctx*, Complex* z)
{
    double a = exp(2 * z->re), y = z->im, d = (a + 1 / a) / 2 - cos(2 * y);
    *z = {(a - 1 / a) / 2 / d, -sin(2 * y) / d};
}
void ExpOp(Ctx*, Complex* z) { *z = Exp(*z); }
void LnOp(Ctx*, Complex* z) { *z = Ln(*z); }
void Arg(Ctx*, Complex* z) { *z = {Angle(z->re, z->im), 0}; }
void SqrtOp(Ctx*, Complex* z) { *z = Sqrt(*z); }
const Complex kMinusI = {0, -1}, kHalfI = {0, 0.5};
void Asin(Ctx*, Complex* z)
{
    Complex s = Sqrt(Sub(kOne, Mul(*z, *z)));
    *z = Mul(kMinusI, Ln(Add(Mul(kI, *z), s)));
}
void Acos(Ctx*, Complex* z) { *z = Mul(kMinusI, Ln(Add(*z, Sqrt(Sub(Mul(*z, *z), kOne))))); }
void Atan(Ctx*, Complex* z)
{
    Complex iz = Mul(kI, *z);
    *z = Mul(kHalfI, Ln(Div(Sub(kOne, iz), Add(kOne, iz))));
}
void Acot(Ctx*, Complex* z) { *z = Mul(kHalfI, Ln(Div(Sub(*z, kI), Add(*z, kI)))); }
void Asinh(Ctx*, Complex* z) { *z = Ln(Add(*z, Sqrt(Add(Mul(*z, *z), kOne)))); }
void Acosh(Ctx*, Complex* z) { *z = Ln(Add(*z, Sqrt(Sub(Mul(*z, *z), kOne)))); }
void Atanh(Ctx*, Complex* z)
{
    Complex l = Ln(Div(Add(kOne, *z), Sub(kOne, *z)));
    *z = {l.re / 2, l.im / 2};
}
void Acoth(Ctx*, Complex* z)
{
    Complex l = Ln(Div(Add(*z, kOne), Sub(*z, kOne)));
    *z = {l.re / 2, l.im / 2};
}
void Abs(Ctx*, Complex* z) { *z = {fabs(z->re), fabs(z->im)}; }
void Conj(Ctx*, Complex* z) { z->im = -z->im; }
void Real(Ctx*, Complex* z) { z->im = 0; }
void Imag(Ctx*, Complex* z) { *z = {z->im, 0}; }
void Sqr(Ctx*, Complex* z) { *z = {z->re * z->re - z->im * z->im, 2 * z->re * z->im}; }
void Flip(Ctx*, Complex* z) { *z = {z->im, z->re}; }
void Modulus(Ctx*, Complex* z) { *z = {sqrt(z->re * z->re + z->im * z->im), 0}; }
void Ceil(Ctx*, Complex* z) { *z = {ceil(z->re), ceil(z->im)}; }
void Floor(Ctx*, Complex* z) { *z = {floor(z->re), floor(z->im)}; }
// Truncation toward zero keeping the low 32 bits, so large values wrap.
double Truncate32(double v)
{
    if (!(fabs(v) < 9.2e18))
        return (double)(int32_t)0x80000000u;
    return (double)(int32_t)(uint32_t)(unsigned long long)(long long)v;
}
void Srand(Ctx* c, Complex* a) { c->randState = (int32_t)Truncate32(a->re); }
void Round(Ctx*, Complex* z) { *z = {Truncate32(z->re + 0.5), Truncate32(z->im + 0.5)}; }
void Trunc(Ctx*, Complex* z) { *z = {Truncate32(z->re), Truncate32(z->im)}; }
void ModulusSquared(Ctx*, Complex* z) { *z = {z->re * z->re + z->im * z->im, 0}; }
void Recip(Ctx*, Complex* z) { *z = Div(kOne, *z); }
void Zero(Ctx*, Complex* z) { *z = {0, 0}; }
void DoNothing(Ctx*, Complex*) {}

template <int Slot>
void UserFunction(Ctx* c, Complex* a)
{
    int32_t index = (&c->fn1)[Slot];
    if (index >= 0 && index < USER_FUNCTION_COUNT)
        UserFunctionTable[index](c, a);
}

struct OpTableFiller {
    explicit OpTableFiller(FormulaOp* ops)
    {
        for (int i = 0; i < FORMULA_OP_COUNT; i++)
            ops[i] = DoNothing;
        struct Row {
            int opcode;
            FormulaOp op;
        };
        static const Row rows[] = {
            {1, Sin}, {2, Cos}, {3, Tan}, {4, Asin}, {5, Acos}, {6, Atan}, {7, Abs}, {8, Plus}, {9, Minus},
            {10, Times}, {11, Divide}, {12, Power}, {13, Negate}, {14, LnOp}, {15, ExpOp}, {16, LnOp},
            {17, Sinh}, {18, SqrtOp}, {19, Tanh}, {20, Cosh}, {21, Cotan}, {22, Cotanh}, {23, Conj}, {24, Real},
            {25, Imag}, {26, Acot}, {27, Asinh}, {28, Acosh}, {29, Atanh}, {30, Acoth}, {31, Arg}, {32, And},
            {33, Or}, {34, Equal}, {35, GreaterEqual}, {36, LessEqual}, {37, NotEqual}, {38, Less},
            {39, Greater}, {40, Not}, {41, Srand}, {42, Rand}, {44, UserFunction<0>}, {45, UserFunction<1>},
            {46, UserFunction<2>}, {47, UserFunction<3>}, {48, Sqr}, {49, Flip}, {52, Modulus}, {53, Ceil},
            {54, Floor}, {55, Round}, {56, Trunc}, {80, ModulusSquared}, {257, LoadBailout}, {258, LoadBailin},
            {259, LoadPixel}, {260, LoadPi}, {261, LoadTrue}, {262, LoadFalse}, {263, LoadE}, {264, LoadI},
            {267, LoadZ}, {268, LoadVariable}, {278, LoadP1}, {279, LoadP2}, {280, LoadP3}, {281, LoadP4},
            {282, LoadNumber}, {283, LoadIter}, {284, LoadWidth}, {285, LoadHeight}, {286, LoadMaxiter},
            {287, LoadLeft}, {288, LoadRight}, {289, LoadTop}, {290, LoadBottom}, {291, LoadCorner1},
            {292, LoadCorner2}, {293, LoadCorner3}, {294, LoadCorner4}, {295, LoadPosx}, {296, LoadPosy},
            {297, LoadSpare<0>}, {298, LoadSpare<1>}, {299, LoadSpare<2>}, {300, LoadSpare<3>},
            {301, LoadSpare<4>}, {302, LoadSpare<5>}, {303, LoadSpare<6>}, {304, LoadSpare<7>},
            {305, LoadSpare<8>}, {306, LoadSpare<9>}, {307, LoadSpare<10>},
        };
        for (const Row& r : rows)
            ops[r.opcode] = r.op;
    }
};

}  // namespace

FormulaOp FormulaOpTable[FORMULA_OP_COUNT];
static const OpTableFiller kFillOps(FormulaOpTable);

const FormulaOp UserFunctionTable[USER_FUNCTION_COUNT + 1] = {
    Sin,   Sinh,  Cosh, ExpOp, LnOp,  Sqr,   Recip, DoNothing, Cos,  Tan,  Tanh,           Cotan,  Cotanh, Flip, Conj, Zero,
    Asin,  Asinh, Acos, Acosh, Atan,  Atanh, ModulusSquared,   Abs,  SqrtOp, Real, Imag,   Acot,   Acoth,  Arg,  LnOp, nullptr,
};

void RunFormula(EvalContext* context, Complex* acc)
{
    for (;;) {
        uint32_t word = *context->ip++;
        if (word == 0)
            break;
        if (word < FORMULA_OP_COUNT)
            FormulaOpTable[word](context, acc);
    }
    for (;;) {
        uint32_t word = *context->ip++;
        if (word == 0)
            return;
        if (word == OPC_STORE_Z) {
            context->z = *acc;
        } else if (word == OPC_VARIABLE) {
            uint32_t id = *context->ip++;
            if (context->variables && id < (uint32_t)context->variableCount)
                context->variables[id] = *acc;
        }
    }
}
