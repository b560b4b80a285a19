// The fast products (FFT, and the three-product split above the largest FFT
// length) against the schoolbook product, across their thresholds.
#include <gtest/gtest.h>

#include "tests/foundation/BignumTestSupport.h"

using namespace bignumtest;

namespace {

// Restores the FFT length limit when a test ends.
struct FftLimit {
    explicit FftLimit(int limit) { M_fft_length_limit = limit; }
    ~FftLimit() { M_fft_length_limit = M_FFT_MAX_LENGTH; }
};

std::string Number(Random& rng, int digits, bool negative = false)
{
    return (negative ? "-0." : "0.") + rng.Digits(digits) + "E" + std::to_string(rng.Below(41) - 20);
}

// The product through m_apm_multiply equals the schoolbook product.
void ExpectSameProduct(const std::string& x, const std::string& y, const char* what)
{
    Num a(x), b(y), fast, slow;
    m_apm_multiply(fast, a, b);
    M_schoolbook_multiply(slow, a, b);
    EXPECT_EQ(0, m_apm_compare(fast, slow)) << what << ": " << a->datalength << " x " << b->datalength << " digits";
    EXPECT_EQ(slow->datalength, fast->datalength) << what;
}

// Half-digit pattern of n base-100 digits: the first half and the second
// half of the digits are chosen separately, so that the split sees equal
// halves, a larger high half or a larger low half.
std::string Halves(const std::string& high, const std::string& low)
{
    return "0." + high + low;
}

} // namespace

TEST(BignumFastMul, AgreesWithSchoolbookAroundTheFastThreshold)
{
    // The fast product starts when both operands have 48 base-100 digits,
    // that is 95 decimal digits.
    Random rng(1);
    const int sizes[] = { 93, 94, 95, 96, 97, 127, 128, 129, 130, 255, 256, 257, 258 };
    for (int da : sizes)
        for (int db : { 94, 95, 96, 200, 600 })
            ExpectSameProduct(Number(rng, da, da & 1), Number(rng, db), "threshold");
    // One long operand and one just below the threshold stay schoolbook.
    ExpectSameProduct(Number(rng, 94), Number(rng, 20000), "short x long");
    ExpectSameProduct(Number(rng, 95), Number(rng, 20000), "padded x long");
}

TEST(BignumFastMul, HundredDigitProductUsesLength64)
{
    // 50 base-100 digits each: padded to the FFT length 64.
    Random rng(2);
    ExpectSameProduct("0." + rng.Digits(100), "0." + rng.Digits(100), "100 digits");
    std::string nines(100, '9');
    Num a(nines), r;
    m_apm_multiply(r, a, a);
    // (10^100 - 1)^2 = 10^200 - 2 10^100 + 1
    EXPECT_EQ("9." + std::string(98, '9') + "8" + std::string(99, '0') + "1E+199", Sci(r));
}

TEST(BignumFastMul, AgreesWithSchoolbookOnRandomLengths)
{
    Random rng(3);
    for (int i = 0; i < 40; i++) {
        int da = 95 + rng.Below(i < 30 ? 3000 : 12000);
        int db = 95 + rng.Below(i < 30 ? 3000 : 12000);
        ExpectSameProduct(Number(rng, da, rng.Below(2) != 0), Number(rng, db, rng.Below(2) != 0), "random");
    }
}

TEST(BignumFastMul, UnequalLengthsFillAShorterTransform)
{
    // The transform holds the product of the significant base-10000 digits
    // only. 200 and 55 to 58 of them make 254 to 257 product digits: 256
    // fills the shorter transform to its last element, 257 needs the next
    // length; one length too short wraps the product's top onto its bottom.
    Random rng(6);
    for (int pairs : { 55, 56, 57, 58 }) {
        std::string nines(4 * pairs, '9');
        ExpectSameProduct(std::string(800, '9'), nines, "nines at the transform's end");
        ExpectSameProduct(Number(rng, 800), Number(rng, 4 * pairs - 1, true), "odd digit count");
    }
    // Newton's last steps: full length times half length, both orders.
    ExpectSameProduct(Number(rng, 610), Number(rng, 307), "610 x 307");
    ExpectSameProduct(Number(rng, 3005), Number(rng, 6010, true), "3005 x 6010");
}

TEST(BignumFastMul, KeptAndFreshFftArrays)
{
    // Up to 8200 elements the FFT works in kept arrays, beyond in fresh
    // ones: 16384 digits give the length 8192, 16386 digits 16384.
    Random rng(4);
    ExpectSameProduct("0." + rng.Digits(16384), "0." + rng.Digits(16384), "length 8192");
    ExpectSameProduct("0." + rng.Digits(16386), "0." + rng.Digits(16300), "length 16384");
    ExpectSameProduct("0." + rng.Digits(16384), "0." + rng.Digits(16384), "length 8192 again");
}

TEST(BignumFastMul, SplitProductAgreesWithSchoolbook)
{
    // With a small FFT limit the split runs several levels deep.
    Random rng(5);
    for (int limit : { 32, 64, 128 }) {
        FftLimit small(limit);
        for (int i = 0; i < 6; i++) {
            int da = 95 + rng.Below(4000);
            int db = 95 + rng.Below(4000);
            ExpectSameProduct(Number(rng, da, i & 1), Number(rng, db, (i >> 1) & 1), "split");
        }
        // 256 base-100 digits in two halves of 128: equal halves make a zero
        // difference, and each order of the halves flips its sign.
        std::string x = rng.Digits(256), y = rng.Digits(256);
        std::string hiBig = "9" + rng.Digits(255), loSmall = "1" + rng.Digits(255);
        ExpectSameProduct(Halves(x, x), Halves(y, y), "equal halves");
        ExpectSameProduct(Halves(x, x), Halves(hiBig, loSmall), "one zero difference");
        ExpectSameProduct(Halves(hiBig, loSmall), Halves(hiBig, loSmall), "same signs");
        ExpectSameProduct(Halves(hiBig, loSmall), Halves(loSmall, hiBig), "opposite signs");
        ExpectSameProduct(Halves(loSmall, hiBig), Halves(hiBig, loSmall), "opposite signs 2");
        std::string nines(512, '9');
        ExpectSameProduct(nines, nines, "nines");
    }
}

TEST(BignumFastMul, LargestFftLengthAndTheSplitAboveIt)
{
    // 524288 digits: FFT length 262144, the largest. All nines give the
    // largest sums of products; the result is known in closed form.
    const int k = 524288;
    std::string nines(k, '9');
    Num n(nines), square;
    m_apm_multiply(square, n, n);
    EXPECT_EQ(2 * k, square->exponent);
    EXPECT_EQ("9." + std::string(k - 2, '9') + "8" + std::string(k - 1, '0') + "1E+" + std::to_string(2 * k - 1),
              Sci(square));

    // Random operands: the FFT at its largest length, the split into
    // half-length FFTs and two split levels must all agree; so must the
    // split at the real limit for operands above it.
    Random rng(6);
    Num a("0." + rng.Digits(k)), b("0." + rng.Digits(k - 1000));
    Num atLimit, splitOnce, splitTwice;
    m_apm_multiply(atLimit, a, b);
    {
        FftLimit half(M_FFT_MAX_LENGTH / 2);
        m_apm_multiply(splitOnce, a, b);
    }
    {
        FftLimit quarter(M_FFT_MAX_LENGTH / 4);
        m_apm_multiply(splitTwice, a, b);
    }
    EXPECT_EQ(0, m_apm_compare(atLimit, splitOnce));
    EXPECT_EQ(0, m_apm_compare(atLimit, splitTwice));

    Num c("0." + rng.Digits(k + 50000)), d("0." + rng.Digits(k + 20000));
    Num above, aboveSmaller;
    m_apm_multiply(above, c, d);
    {
        FftLimit half(M_FFT_MAX_LENGTH / 2);
        m_apm_multiply(aboveSmaller, c, d);
    }
    EXPECT_EQ(0, m_apm_compare(above, aboveSmaller));

    // (10^m - 1)(10^m + 1) = 10^2m - 1 above the limit.
    const int m = k + 10000;
    Num minusOne(std::string(m, '9')), plusOne("1" + std::string(m - 1, '0') + "1"), product;
    m_apm_multiply(product, minusOne, plusOne);
    EXPECT_EQ(2 * m, product->datalength);
    EXPECT_EQ(std::string(2 * m, '9').insert(1, ".") + "E+" + std::to_string(2 * m - 1), Sci(product));
}

TEST(BignumFastMul, SquaresAgreeWithSchoolbook)
{
    // A record times itself transforms one operand only, in the kept
    // arrays and in fresh ones, and through the split.
    Random rng(7);
    for (int digits : { 95, 600, 6000, 16386 }) {
        Num a(Number(rng, digits, digits & 1)), fast, slow;
        m_apm_multiply(fast, a, a);
        M_schoolbook_multiply(slow, a, a);
        EXPECT_EQ(0, m_apm_compare(fast, slow)) << digits << " digits";
    }
    FftLimit small(64);
    Num a(Number(rng, 3000)), fast, slow;
    m_apm_multiply(fast, a, a);
    M_schoolbook_multiply(slow, a, a);
    EXPECT_EQ(0, m_apm_compare(fast, slow)) << "split";
}

TEST(BignumFastMul, ExactUnderTheCallersControlWord)
{
    // Threads may run the x87 at 53 bits, and formula code may leave it
    // rounding toward zero: the FFT product must stay exact and hand the
    // caller's control word back.
    Random rng(8);
    unsigned short saved, chopped, after;
    __asm__ __volatile__("fnstcw %0" : "=m"(saved));
    chopped = (unsigned short)((saved & ~0x0F00) | 0x0200 | 0x0C00);
    for (int digits : { 600, 6000 }) {
        Num a(Number(rng, digits)), b(Number(rng, digits)), fast, slow;
        __asm__ __volatile__("fldcw %0" : : "m"(chopped));
        m_apm_multiply(fast, a, b);
        __asm__ __volatile__("fnstcw %0" : "=m"(after));
        __asm__ __volatile__("fldcw %0" : : "m"(saved));
        M_schoolbook_multiply(slow, a, b);
        EXPECT_EQ(0, m_apm_compare(fast, slow)) << digits << " digits";
        EXPECT_EQ(chopped, after);
    }
}
