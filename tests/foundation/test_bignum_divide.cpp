// Division (long division and Newton's reciprocal), reciprocal and square
// root: the fixed cases, the switch between the two division methods and
// properties that pin every digit of random results.
#include <gtest/gtest.h>

#include "tests/foundation/BignumTestSupport.h"

using namespace bignumtest;

namespace {

std::string RandomNumber(Random& rng, int digits, int exponent, bool negative)
{
    std::string text = negative ? "-0." : "0.";
    text += rng.Digits(digits);
    return text + "E" + std::to_string(exponent);
}

} // namespace

TEST(BignumDivide, LongDivisionCutsTheLastDigit)
{
    struct Case {
        const char* a;
        const char* b;
        int places;
        const char* result;
    } cases[] = {
        { "1", "3", 2, "3.33E-1" },
        { "100", "3", 2, "3.3333E+1" },      // the exponent difference adds digits
        { "2", "3", 2, "6.66E-1" },          // cut, not rounded
        { "2", "2", 4, "1E+0" },
        { "-2", "3", 2, "-6.66E-1" },
        { "2", "-3", 2, "-6.66E-1" },
        { "-2", "-3", 2, "6.66E-1" },
        { "1", "8", 9, "1.25E-1" },          // exact quotient ends early
        { "1", "1E+300", 3, "1E-300" },
        { "7", "0.5", 0, "1.4E+1" },
        { "1", "7", 20, "1.42857142857142857142E-1" },
        { "98", "0.49", 5, "2E+2" },
        { "10", "3", 0, "3.3E+0" },          // scaling by 3 raises the dividend's exponent
    };
    for (const Case& c : cases) {
        Num a(c.a), b(c.b), r;
        m_apm_divide(r, c.places, a, b);
        EXPECT_EQ(c.result, Sci(r)) << c.a << "/" << c.b << " at " << c.places;
    }
}

TEST(BignumDivide, ZeroOperands)
{
    Num one("1"), zero, r("5");
    {
        StderrCapture err;
        m_apm_divide(r, 10, one, zero);
        EXPECT_EQ("Warning! ... 'm_apm_divide', Divide by 0\n", err.Finish());
        EXPECT_EQ(0, r->sign);
    }
    {
        m_apm_set_long(r, 5);
        StderrCapture err;
        m_apm_divide(r, 300, zero, one);
        EXPECT_EQ("", err.Finish());
        EXPECT_EQ(0, r->sign);
    }
    {
        m_apm_set_long(r, 5);
        StderrCapture err;
        M_apm_sdivide(r, 10, one, zero);
        EXPECT_EQ("Warning! ... 'M_apm_sdivide', Divide by 0\n", err.Finish());
        EXPECT_EQ(0, r->sign);
    }
}

TEST(BignumDivide, NewtonDivisionFrom250PlacesRoundsTheLastDigit)
{
    Num a("2"), b("3"), r;
    m_apm_divide(r, 249, a, b);
    EXPECT_EQ(250, r->datalength);
    EXPECT_EQ("6.6" + std::string(247, '6') + "6E-1", Sci(r));
    m_apm_divide(r, 250, a, b);
    EXPECT_EQ(251, r->datalength);
    EXPECT_EQ("6.6" + std::string(248, '6') + "7E-1", Sci(r));
    // A larger exponent of the dividend adds digits on both sides of the switch.
    Num big("2E+10");
    m_apm_divide(r, 249, big, b);
    EXPECT_EQ(260, r->datalength);
    m_apm_divide(r, 250, big, b);
    EXPECT_EQ(261, r->datalength);
    EXPECT_EQ('7', Sci(r)[261]);
}

TEST(BignumDivide, LongDivisionGivesTheTruncatedQuotient)
{
    // For positive a and b the cut quotient q satisfies q b <= a < (q + u) b,
    // u one unit of q's last digit, and has the promised number of digits.
    Random rng(11);
    for (int i = 0; i < 60; i++) {
        int da = 1 + rng.Below(i < 30 ? 60 : 400);
        int db = 1 + rng.Below(i < 30 ? 60 : 400);
        int places = rng.Below(250);
        Num a(RandomNumber(rng, da, rng.Below(40) - 20, false));
        Num b(RandomNumber(rng, db, rng.Below(40) - 20, false));
        Num q, qb, unit, next, nextb;
        m_apm_divide(q, places, a, b);
        int d = a->exponent - b->exponent;
        EXPECT_LE(q->datalength, places + 2 + (d > 0 ? d : 0)) << i;
        // One unit of digit max(datalength, places + 1): never finer than
        // the last digit the division made.
        int kept = q->datalength > places + 1 ? q->datalength : places + 1;
        m_apm_set_long(unit, 1);
        unit->exponent = q->exponent - kept + 1;
        m_apm_multiply(qb, q, b);
        m_apm_add(next, q, unit);
        m_apm_multiply(nextb, next, b);
        EXPECT_LE(m_apm_compare(qb, a), 0) << i;
        EXPECT_LT(m_apm_compare(a, nextb), 0) << i;
    }
}

TEST(BignumDivide, NewtonDivisionAgreesWithRoundedLongDivision)
{
    // The long division, taken 12 places further and rounded, gives the
    // correctly rounded quotient (unless the quotient lies within a hair of
    // a tie, which random operands do not hit).
    Random rng(5);
    for (int i = 0; i < 16; i++) {
        int places = 250 + rng.Below(i < 12 ? 120 : 900);
        int da = 1 + rng.Below(1200);
        int db = 1 + rng.Below(1200);
        Num a(RandomNumber(rng, da, rng.Below(60) - 30, rng.Below(2) != 0));
        Num b(RandomNumber(rng, db, rng.Below(60) - 30, rng.Below(2) != 0));
        Num newton, longer, expected;
        m_apm_divide(newton, places, a, b);
        int d = a->exponent - b->exponent;
        int p = places + (d > 0 ? d : 0);
        M_apm_sdivide(longer, p + 12, a, b);
        m_apm_round(expected, p, longer);
        EXPECT_EQ(Sci(expected), Sci(newton)) << i << " places " << places;
    }
}

TEST(BignumDivide, NewtonResultsAtATieRoundAwayFromZero)
{
    // q has places + 2 digits and ends in 5: an exact tie. Newton's
    // approximations of q lie on either side of it; the result must be q
    // rounded up in magnitude, and a hair below the tie must round down.
    Random rng(23);
    for (int places : { 250, 251, 300, 777 }) {
        std::string digits = rng.Digits(places + 1);
        std::string up = digits;   // digits + 1 in the last place
        int i = (int)up.size() - 1;
        while (up[i] == '9')
            up[i--] = '0';
        up[i]++;
        Num q("0." + digits + "5");
        Num expectedUp("0." + up), expectedDown("0." + digits);
        for (const char* divisor : { "3", "-7", "0.013" }) {
            Num b(divisor), a, minusA, r;
            m_apm_multiply(a, q, b);   // a / b = q, exponent difference at most 0
            m_apm_divide(r, places, a, b);
            EXPECT_EQ(0, m_apm_compare(r, expectedUp)) << places << " / " << divisor;
            m_apm_negate(minusA, a);
            m_apm_divide(r, places, minusA, b);
            EXPECT_EQ(-1, r->sign);
            r->sign = 1;
            EXPECT_EQ(0, m_apm_compare(r, expectedUp)) << "-" << places << " / " << divisor;
        }
        Num square, root;
        m_apm_multiply(square, q, q);
        m_apm_sqrt(root, places, square);
        EXPECT_EQ(0, m_apm_compare(root, expectedUp)) << places;
        // A hair below the tie.
        Num below, tiny("1E-2000");
        m_apm_subtract(below, square, tiny);
        m_apm_sqrt(root, places, below);
        EXPECT_EQ(0, m_apm_compare(root, expectedDown)) << places;
    }
}

TEST(BignumDivide, Reciprocal)
{
    Num eight("8"), minusFour("-4"), three("3"), r;
    m_apm_reciprocal(r, 9, eight);
    EXPECT_EQ("1.25E-1", Sci(r));
    m_apm_reciprocal(r, 9, minusFour);
    EXPECT_EQ("-2.5E-1", Sci(r));
    m_apm_reciprocal(r, 40, three);
    EXPECT_EQ("3.3333333333333333333333333333333333333333E-1", Sci(r));
    Num tiny("7E-500");
    m_apm_reciprocal(r, 20, tiny);
    EXPECT_EQ("1.42857142857142857143E+499", Sci(r));

    Num zero;
    m_apm_set_long(r, 5);
    StderrCapture err;
    m_apm_reciprocal(r, 10, zero);
    EXPECT_EQ("Warning! ... 'm_apm_reciprocal', Input = 0\n", err.Finish());
    EXPECT_EQ(0, r->sign);
}

TEST(BignumDivide, ReciprocalIsCorrectlyRounded)
{
    // (r - u/2) a <= 1 < (r + u/2) a for positive a, u one unit of r's
    // last place.
    Random rng(29);
    int i = 0;
    for (int places : { 0, 3, 40, 249, 250, 600, 1500 }) {
        for (int k = 0; k < 3; k++, i++) {
            Num a(RandomNumber(rng, 1 + rng.Below(places + 20), rng.Below(100) - 50, false));
            Num r, unit, half, low, high, lowA, highA;
            m_apm_reciprocal(r, places, a);
            ASSERT_LE(r->datalength, places + 1);
            m_apm_set_long(unit, 1);
            unit->exponent = r->exponent - places;
            m_apm_multiply(half, unit, MM_0_5);
            m_apm_subtract(low, r, half);
            m_apm_add(high, r, half);
            m_apm_multiply(lowA, low, a);
            m_apm_multiply(highA, high, a);
            EXPECT_LE(m_apm_compare(lowA, MM_One), 0) << i << " places " << places;
            EXPECT_LT(m_apm_compare(MM_One, highA), 0) << i << " places " << places;
        }
    }
}

TEST(BignumDivide, SquareRootCases)
{
    struct Case {
        const char* value;
        int places;
        const char* result;
    } cases[] = {
        { "2", 9, "1.414213562E+0" },
        { "1E+10", 20, "1E+5" },
        { "1E+11", 10, "3.1622776602E+5" },
        { "1E-11", 10, "3.1622776602E-6" },
        { "0.0004", 5, "2E-2" },
        { "0.004", 5, "6.32456E-2" },
        { "144", 0, "1E+1" },               // 12 rounded to one digit
        { "6.25", 1, "2.5E+0" },
        { "1E-301", 3, "3.162E-151" },
        { "9.99999999999999999999", 5, "3.16228E+0" },
    };
    for (const Case& c : cases) {
        Num a(c.value), r;
        m_apm_sqrt(r, c.places, a);
        EXPECT_EQ(c.result, Sci(r)) << c.value << " " << c.places;
    }
    Num zero, minus("-4"), r("5");
    StderrCapture err;
    m_apm_sqrt(r, 10, zero);
    EXPECT_EQ(0, r->sign);
    EXPECT_EQ("", err.Finish());
    StderrCapture err2;
    m_apm_set_long(r, 5);
    m_apm_sqrt(r, 10, minus);
    EXPECT_EQ("Warning! ... 'm_apm_sqrt', Negative argument\n", err2.Finish());
    EXPECT_EQ(0, r->sign);
}

TEST(BignumDivide, SquareRootIsCorrectlyRounded)
{
    // r rounded to places + 1 digits means (r - u/2)^2 <= a < (r + u/2)^2,
    // u one unit of the last place; checked with exact products.
    Random rng(17);
    const int placesList[] = { 0, 5, 30, 248, 249, 250, 251, 600, 2500 };
    int i = 0;
    for (int places : placesList) {
        for (int k = 0; k < 3; k++, i++) {
            int digits = 1 + rng.Below(places < 300 ? 300 : 3000);
            Num a(RandomNumber(rng, digits, rng.Below(200) - 100, false));
            Num r, unit, half, low, high, low2, high2;
            m_apm_sqrt(r, places, a);
            ASSERT_LE(r->datalength, places + 1);
            m_apm_set_long(unit, 1);
            unit->exponent = r->exponent - places;   // one unit of digit places + 1
            m_apm_multiply(half, unit, MM_0_5);
            m_apm_subtract(low, r, half);
            m_apm_add(high, r, half);
            m_apm_multiply(low2, low, low);
            m_apm_multiply(high2, high, high);
            EXPECT_LE(m_apm_compare(low2, a), 0) << i << " places " << places;
            EXPECT_LT(m_apm_compare(a, high2), 0) << i << " places " << places;
        }
    }
}

TEST(BignumDivide, SquareRootGuessFromLeadingDigits)
{
    // The first guess of the inverse square root, good to double precision
    // for even and odd exponents far from 1 and for operands longer than
    // the digits it reads.
    struct Case {
        const char* value;
        double root;   // 1 / sqrt(value) as mantissa times 10^exponent
        int exponent;
    } cases[] = {
        { "4", 0.5, 0 },
        { "0.01", 10.0, 0 },
        { "2", 0.70710678118654752, 0 },
        { "20", 0.22360679774997897, 0 },
        { "2E+301", 0.22360679774997897, -150 },
        { "2E-301", 2.2360679774997897, 150 },
        { "9.99999999999999999999999999", 0.31622776601683794, 0 },
        { "1.23456789012345678901234567890123456789", 0.90000000405000003, 0 },
    };
    for (const Case& c : cases) {
        Num a(c.value), guess, expected, diff, error, tolerance;
        M_get_sqrt_guess(guess, a);
        m_apm_set_double(expected, c.root);
        expected->exponent += c.exponent;
        m_apm_subtract(diff, guess, expected);
        m_apm_absolute_value(error, diff);
        m_apm_set_double(tolerance, 1e-14 * c.root);
        tolerance->exponent += c.exponent;
        EXPECT_LT(m_apm_compare(error, tolerance), 0) << c.value << ": " << Sci(guess);
    }
}
