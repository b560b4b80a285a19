// BigNumber: sharing and copy-on-write, operators and their precision,
// conversions, and use from several threads under the library's lock.
#include <gtest/gtest.h>
#include <math.h>
#include <windows.h>

#include "foundation/bignum/BigNumber.h"
#include "tests/foundation/BignumTestSupport.h"

using namespace bignumtest;

namespace {

std::string Text(const BigNumber& n)
{
    m_apm_enter();
    std::string s = Sci(n.Handle());
    m_apm_leave();
    return s;
}

int Count(const BigNumber& n)
{
    return n.Handle()->refCount;
}

// Sets the default division places for one test and restores 60.
struct Precision {
    explicit Precision(int digits) { m_apm_cpp_precision(digits); }
    ~Precision() { m_apm_cpp_precision(60); }
};

} // namespace

TEST(BignumClass, CopiesShareUntilOneChanges)
{
    BigNumber a("1.25");
    BigNumber b(a);
    EXPECT_EQ(a.Handle(), b.Handle());
    EXPECT_EQ(2, Count(a));
    b = 5;
    EXPECT_NE(a.Handle(), b.Handle());
    EXPECT_EQ(1, Count(a));
    EXPECT_EQ(1, Count(b));
    EXPECT_EQ("1.25E+0", Text(a));
    EXPECT_EQ("5E+0", Text(b));

    BigNumber c(a);
    c = 0.5;
    EXPECT_EQ("1.25E+0", Text(a));
    EXPECT_EQ("5E-1", Text(c));
    BigNumber d(a);
    d = "-7e3";
    EXPECT_EQ("1.25E+0", Text(a));
    EXPECT_EQ("-7E+3", Text(d));
    // An unshared record is written in place.
    M_APM own = d.Handle();
    d = 3;
    EXPECT_EQ(own, d.Handle());
}

TEST(BignumClass, LastCopyFreesTheRecordOnce)
{
    int live = M_apm_live_record_count();
    {
        BigNumber a("42");
        EXPECT_EQ(live + 1, M_apm_live_record_count());
        BigNumber* b = new BigNumber(a);
        BigNumber* c = new BigNumber(*b);
        EXPECT_EQ(3, Count(a));
        EXPECT_EQ(live + 1, M_apm_live_record_count());
        delete b;
        delete c;
        EXPECT_EQ(1, Count(a));
        EXPECT_EQ(live + 1, M_apm_live_record_count());
    }
    EXPECT_EQ(live, M_apm_live_record_count());
}

TEST(BignumClass, AssignmentSharesAndSelfAssignmentKeepsTheCount)
{
    int live = M_apm_live_record_count();
    BigNumber a("3.5"), b("8");
    EXPECT_EQ(live + 2, M_apm_live_record_count());
    b = a;   // b's old record is freed
    EXPECT_EQ(live + 1, M_apm_live_record_count());
    EXPECT_EQ(2, Count(a));
    BigNumber& same = a;
    a = same;
    EXPECT_EQ(2, Count(a));
    EXPECT_EQ("3.5E+0", Text(a));
}

TEST(BignumClass, Constructors)
{
    EXPECT_EQ("0.0E+0", Text(BigNumber()));
    EXPECT_EQ("1E-1", Text(BigNumber(0.1)));
    EXPECT_EQ("1E-1", Text(BigNumber("0.1")));
    EXPECT_EQ("-2.147483648E+9", Text(BigNumber((int)0x80000000)));
    EXPECT_EQ("1E+6", Text(BigNumber(1000000)));
    EXPECT_EQ("3.33333333333333E-1", Text(BigNumber(1.0 / 3.0)));
    EXPECT_EQ(1, Count(BigNumber(2) * BigNumber(3)));
}

TEST(BignumClass, ExactOperators)
{
    BigNumber a("1E+40"), b("1E-40");
    EXPECT_EQ("1." + std::string(79, '0') + "1E+40", Text(a + b));
    EXPECT_EQ("9." + std::string(79, '9') + "E+39", Text(a - b));
    EXPECT_EQ("1E+0", Text(a * b));
    BigNumber c("-2.5");
    EXPECT_EQ("2.5E+0", Text(c.Abs()));
    EXPECT_EQ("2.5E+0", Text(-c));
    EXPECT_EQ("2.5E+0", Text(c.Neg()));
    EXPECT_EQ("-2.5E+0", Text(c));
    c -= BigNumber("0.5");
    EXPECT_EQ("-3E+0", Text(c));
    c += BigNumber(10);
    EXPECT_EQ("7E+0", Text(c));
    c *= BigNumber("0.1");
    EXPECT_EQ("7E-1", Text(c));
    EXPECT_TRUE(BigNumber("0.7") > BigNumber("0.69999"));
    EXPECT_FALSE(BigNumber("0.7") > BigNumber("0.7"));
    EXPECT_FALSE(BigNumber("-1") > BigNumber("0"));
    EXPECT_TRUE(BigNumber("-1") < BigNumber("0"));
    EXPECT_TRUE(BigNumber("0.70") == BigNumber("0.7"));
    EXPECT_TRUE(BigNumber("0.70") != BigNumber("0.71"));
    EXPECT_EQ(-1, BigNumber("-3").Sign());
    EXPECT_EQ(3, BigNumber("1.23").SignificantDigits());
}

TEST(BignumClass, DivisionTakesTheLargestPrecision)
{
    BigNumber one(1), three(3);
    {
        Precision p(30);
        EXPECT_EQ(31, (one / three).SignificantDigits());
    }
    {
        Precision p(60);
        BigNumber q = one / three;
        EXPECT_EQ(61, q.SignificantDigits());
        EXPECT_EQ("3." + std::string(60, '3') + "E-1", Text(q));
        // Operands with more digits than the default keep theirs.
        BigNumber a(("0." + std::string(80, '7')).c_str()), b(("0." + std::string(79, '3') + "1").c_str());
        EXPECT_GE((a / b).SignificantDigits(), 81);
        BigNumber x("2");
        x /= three;
        EXPECT_EQ("6." + std::string(60, '6') + "E-1", Text(x));
        EXPECT_EQ("6.7E-1", Text(BigNumber(2).Divide(three, 2).Round(1)));
        EXPECT_EQ("6.66E-1", Text(BigNumber(2).Divide(three, 2)));
    }
    Precision p(1);
    EXPECT_EQ(2, m_apm_cpp_get_precision());
}

TEST(BignumClass, DivisionByZeroGivesZero)
{
    StderrCapture err;
    BigNumber q = BigNumber(5) / BigNumber(0);
    EXPECT_EQ("Warning! ... 'm_apm_divide', Divide by 0\n", err.Finish());
    EXPECT_EQ(0, q.Sign());
}

TEST(BignumClass, SquareRootAndRound)
{
    Precision p(60);
    BigNumber two(2);
    EXPECT_EQ("1.41421356237309504880168872420969807856967187537694807317668E+0", Text(two.Sqrt(60)));
    // Without an argument: the larger of the default and the value's digits.
    EXPECT_EQ(Text(two.Sqrt(60)), Text(two.Sqrt()));
    EXPECT_NE(Text(two.Sqrt(61)), Text(two.Sqrt()));
    BigNumber longer(("7." + std::string(100, '1')).c_str());   // 101 digits
    EXPECT_EQ(Text(longer.Sqrt(101)), Text(longer.Sqrt()));
    EXPECT_NE(Text(longer.Sqrt(102)), Text(longer.Sqrt()));
    EXPECT_EQ("1.2346E+0", Text(BigNumber("1.23455").Round(4)));
    EXPECT_EQ("-1.2346E+0", Text(BigNumber("-1.23455").Round(4)));
}

TEST(BignumClass, FormatsInFixedPoint)
{
    char buffer[128];
    FormatBigNumber(BigNumber("123456.789"), buffer, 2);
    EXPECT_STREQ("123000.0", buffer);
    FormatBigNumber(BigNumber("-0.00012345"), buffer, 2);
    EXPECT_STREQ("-0.000123", buffer);
    FormatBigNumber(BigNumber(1) / BigNumber(3), buffer, 5);
    EXPECT_STREQ("0.333333", buffer);
    FormatBigNumber(BigNumber("2.5"), buffer, 0);
    EXPECT_STREQ("3.0", buffer);
    FormatBigNumber(BigNumber(), buffer, 10);
    EXPECT_STREQ("0.0", buffer);

    BigNumber big("1.234567E+100");
    std::vector<char> text(FormatBigNumberSize(big, 3));
    FormatBigNumber(big, text.data(), 3);
    EXPECT_EQ("1235" + std::string(97, '0') + ".0", std::string(text.data()));
    char small[8];
    FormatBigNumber(big, small, 3, sizeof(small));
    EXPECT_STREQ("1235000", small);
}

TEST(BignumClass, ConvertsToDoubleAndExtended)
{
    EXPECT_EQ(0.1, BigNumber("0.1").ToDouble());
    EXPECT_EQ(-1.5e300, BigNumber("-1.5E+300").ToDouble());
    EXPECT_EQ(1.0 / 3.0, (BigNumber(1) / BigNumber(3)).ToDouble());
    EXPECT_EQ(0.0, BigNumber().ToDouble());

    // Run with the 53-bit precision the program's threads may use; the
    // conversion must compute at 64 bits and give the control word back.
    unsigned short saved, reduced, after;
    __asm__ __volatile__("fnstcw %0" : "=m"(saved));
    reduced = (unsigned short)((saved & ~0x0300) | 0x0200);
    __asm__ __volatile__("fldcw %0" : : "m"(reduced));
    long double x = BigNumber("-245.655601659751036225499999999998001108620925916411546411443474320022868425531939628599561878206075217130197987034704167608").ToExtended();
    long double tenth = BigNumber("0.1").ToExtended();
    long double third = (BigNumber(1) / BigNumber(3)).ToExtended();
    __asm__ __volatile__("fnstcw %0" : "=m"(after));
    __asm__ __volatile__("fldcw %0" : : "m"(saved));
    EXPECT_EQ(reduced, after);
    EXPECT_LT(fabsl(x + 245.6556016597510362255L) / 245.6556L, 1e-18L);
    EXPECT_LT(fabsl(tenth - 0.1L) / 0.1L, 1e-18L);
    EXPECT_NE((long double)0.1, tenth);   // more than a double's digits
    EXPECT_LT(fabsl(third - 1.0L / 3.0L), 1e-18L);

    unsigned char bytes[10];
    BigNumber("-2").ToExtended(bytes);
    long double two = 0.0L;
    memcpy(&two, bytes, 10);
    EXPECT_EQ(-2.0L, two);
}

TEST(BignumClass, FreesArraysOfHandles)
{
    int live = M_apm_live_record_count();
    M_APM handles[4] = { m_apm_init_mt(), nullptr, m_apm_init_mt(), m_apm_init_mt() };
    EXPECT_EQ(live + 3, M_apm_live_record_count());
    FreeBigNumberArray(handles, 4);
    EXPECT_EQ(live, M_apm_live_record_count());
    for (M_APM h : handles)
        EXPECT_EQ(nullptr, h);
    FreeBigNumberArray(nullptr, 3);
}

namespace {

struct Shared {
    BigNumber a{ "3.14159265358979323846264338327950288419716939937510" };
    BigNumber b{ "-2.71828182845904523536028747135266249775724709369995" };
    std::string sum, product, quotient, root;
    volatile LONG failures = 0;
};

DWORD WINAPI Hammer(void* param)
{
    Shared* s = static_cast<Shared*>(param);
    for (int i = 0; i < 150; i++) {
        BigNumber a(s->a);   // copies share the records of the main thread
        BigNumber b = s->b;
        BigNumber c = a;
        bool ok = Text(a + b) == s->sum && Text(a * b) == s->product
                  && Text(a.Divide(b, 300)) == s->quotient && Text(a.Sqrt(300)) == s->root;
        c = i;   // detaches from the shared record
        ok = ok && c.SignificantDigits() >= 1 && Text(a) == Text(s->a);
        BigNumber product = a * b;
        product -= a;
        product /= b;
        if (!ok)
            InterlockedIncrement(&s->failures);
    }
    return 0;
}

} // namespace

TEST(BignumClass, SharedNumbersFromSeveralThreads)
{
    m_apm_mt_initialize();
    Shared s;
    s.sum = Text(s.a + s.b);
    s.product = Text(s.a * s.b);
    s.quotient = Text(s.a.Divide(s.b, 300));
    s.root = Text(s.a.Sqrt(300));
    const int threads = 6;
    HANDLE handles[threads];
    for (int i = 0; i < threads; i++)
        handles[i] = CreateThread(nullptr, 0, &Hammer, &s, 0, nullptr);
    for (int i = 0; i < threads; i++)
        ASSERT_NE(nullptr, handles[i]);
    WaitForMultipleObjects(threads, handles, TRUE, INFINITE);
    for (int i = 0; i < threads; i++)
        CloseHandle(handles[i]);
    EXPECT_EQ(0, s.failures);
    // Every copy has been dropped again.
    EXPECT_EQ(1, Count(s.a));
    EXPECT_EQ(1, Count(s.b));
}

namespace {

// Operands whose products need FFT lengths no earlier test of this program
// has used, so that the threads below make the transform's kept tables
// (twiddle factors per length) for the first time, at the same time.
struct FirstLengthJob {
    BigNumber a, b;
    std::string product;
};

DWORD WINAPI MultiplyOnce(void* param)
{
    FirstLengthJob* job = static_cast<FirstLengthJob*>(param);
    job->product = Text(job->a * job->b);
    return 0;
}

// a b from the halves of both operands: four products of half the length,
// whose transforms use other tables than the full-length product.
std::string ProductByHalves(const std::string& high, const std::string& low, const std::string& high2,
                            const std::string& low2)
{
    BigNumber ah(high.c_str()), al(low.c_str()), bh(high2.c_str()), bl(low2.c_str());
    return Text(ah * bh + ah * bl + al * bh + al * bl);
}

} // namespace

TEST(BignumClass, FirstProductsOfNewLengthsFromSeveralThreads)
{
    m_apm_mt_initialize();
    // 9000 digits use the kept transform arrays, 40000 digits fresh ones;
    // none of the four lengths (halves included) is another one's.
    const int digits[] = { 9000, 40000, 9000, 40000 };
    const int threads = 4;
    Random rng(77);
    std::string expected[threads];
    FirstLengthJob jobs[threads];
    for (int i = 0; i < threads; i++) {
        int h = digits[i] / 2;
        std::string ah = rng.Digits(h), al = rng.Digits(h), bh = rng.Digits(h), bl = rng.Digits(h);
        jobs[i].a = BigNumber(("0." + ah + al).c_str());
        jobs[i].b = BigNumber(("0." + bh + bl).c_str());
        expected[i] = ProductByHalves("0." + ah, "0." + std::string(h, '0') + al, "0." + bh,
                                      "0." + std::string(h, '0') + bl);
    }
    HANDLE handles[threads];
    for (int i = 0; i < threads; i++)
        handles[i] = CreateThread(nullptr, 0, &MultiplyOnce, &jobs[i], 0, nullptr);
    for (int i = 0; i < threads; i++)
        ASSERT_NE(nullptr, handles[i]);
    WaitForMultipleObjects(threads, handles, TRUE, INFINITE);
    for (int i = 0; i < threads; i++) {
        CloseHandle(handles[i]);
        EXPECT_EQ(expected[i], jobs[i].product) << digits[i] << " digits, thread " << i;
    }
}
