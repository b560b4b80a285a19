// The number record, text and number conversions, comparison, sums,
// differences, the schoolbook product and rounding.
#include <gtest/gtest.h>
#include <limits.h>

#include "tests/foundation/BignumTestSupport.h"

using namespace bignumtest;

namespace {

std::string Bytes(M_APM a)
{
    std::string s;
    char buf[8];
    for (int i = 0; i < (a->datalength + 1) / 2; i++) {
        snprintf(buf, sizeof(buf), i ? " %02d" : "%02d", a->data[i]);
        s += buf;
    }
    return s;
}

// Whether a is in normal form.
bool Normalised(M_APM a)
{
    if (a->datalength < 1)
        return false;
    if (a->sign == 0)
        return a->exponent == 0 && a->datalength == 1 && a->data[0] == 0;
    int last = a->datalength - 1;
    int lastDigit = (last & 1) ? a->data[last / 2] % 10 : a->data[last / 2] / 10;
    bool oddHalfClear = !(a->datalength & 1) || a->data[last / 2] % 10 == 0;
    return a->data[0] >= 10 && lastDigit != 0 && oddHalfClear;
}

} // namespace

TEST(BignumRecord, NewRecordIsAZeroWithOneReference)
{
    Num n;
    EXPECT_EQ(M_APM_LIVE_ID, n->id);
    EXPECT_EQ(1, n->refCount);
    EXPECT_EQ(80, n->capacity);
    EXPECT_EQ(0, n->sign);
    EXPECT_EQ(0, n->exponent);
    EXPECT_EQ(1, n->datalength);
    EXPECT_EQ("0.0E+0", Sci(n));
    // The constants exist once the library is initialised.
    EXPECT_EQ("1E+0", Sci(MM_One));
    EXPECT_EQ("5E-1", Sci(MM_0_5));
    EXPECT_EQ("1E+1", Sci(MM_Ten));
}

TEST(BignumRecord, BlockGrowsWithSlackAndKeepsItsValue)
{
    Num n;
    std::string digits = Random(7).Digits(301);
    m_apm_set_string(n, digits.c_str());
    // 151 bytes needed: block of 151 + 32, capacity 151 + 28.
    EXPECT_EQ(151 + 28, n->capacity);
    Num copy;
    m_apm_copy(copy, n);
    EXPECT_EQ(0, m_apm_compare(copy, n));
    EXPECT_EQ(1, copy->refCount);
    EXPECT_EQ(digits.substr(0, 1) + "." + digits.substr(1) + "E+300", Sci(copy));
}

TEST(BignumRecord, FreeingTwiceIsReportedAndDoesNotFreeAgain)
{
    int live = M_apm_live_record_count();
    M_APM n = m_apm_init();
    EXPECT_EQ(live + 1, M_apm_live_record_count());
    m_apm_free(n);
    EXPECT_EQ(live, M_apm_live_record_count());
    StderrCapture err;
    m_apm_free(n);
    EXPECT_EQ("Invalid M_APM variable passed to 'm_apm_free'\n", err.Finish());
    EXPECT_EQ(live, M_apm_live_record_count());
}

TEST(BignumRecord, ParsesDecimalText)
{
    struct Case {
        const char* text;
        const char* sci;
        int datalength;
        int exponent;
    } cases[] = {
        { "", "0.0E+0", 1, 0 },
        { "-", "0.0E+0", 1, 0 },
        { "+.", "0.0E+0", 1, 0 },
        { "e5", "0.0E+0", 1, 0 },
        { "0000.000", "0.0E+0", 1, 0 },
        { "1.5E-2", "1.5E-2", 2, -1 },
        { "-1.5e2", "-1.5E+2", 2, 3 },
        { " \t.5", "5E-1", 1, 0 },
        { "007", "7E+0", 1, 1 },
        { "123.45", "1.2345E+2", 5, 3 },
        { "0.001", "1E-3", 1, -2 },
        { "+120.0500", "1.2005E+2", 5, 3 },
        { "0.000123E+3", "1.23E-1", 3, 0 },
        { "9.9e-1000", "9.9E-1000", 2, -999 },
    };
    for (const Case& c : cases) {
        Num n(c.text);
        EXPECT_EQ(c.sci, Sci(n)) << "[" << c.text << "]";
        EXPECT_EQ(c.datalength, n->datalength) << c.text;
        EXPECT_EQ(c.exponent, n->exponent) << c.text;
        EXPECT_TRUE(Normalised(n)) << c.text;
    }
    Num n("123.45");
    EXPECT_EQ("12 34 50", Bytes(n));
}

TEST(BignumRecord, NonDigitTextWarnsAndGivesZero)
{
    Num n("5");
    StderrCapture err;
    m_apm_set_string(n, "12x");
    EXPECT_EQ("Warning! 'm_apm_set_string' : Non-digit char found in parse \nText = [12x]\n",
              err.Finish());
    EXPECT_EQ(0, n->sign);
    EXPECT_EQ("0.0E+0", Sci(n));
}

TEST(BignumRecord, ExponentBeyondTheLimitWarnsAndGivesZero)
{
    // At the limit the number is read; one beyond, and far beyond (where
    // atoi would overflow), it is refused like a non-digit.
    Num edge("1E+10000000");
    EXPECT_EQ(10000001, edge->exponent);
    Num low("1e-10000000");
    EXPECT_EQ(-9999999, low->exponent);
    const char* refused[] = {"1E+10000001", "-2.5e-10000001", "1E+999999999", "1E+99999999999999999999"};
    for (const char* text : refused) {
        Num n("5");
        StderrCapture err;
        m_apm_set_string(n, text);
        EXPECT_EQ(std::string("Warning! 'm_apm_set_string' : Exponent out of range in parse \nText = [") + text +
                      "]\n",
                  err.Finish());
        EXPECT_EQ(0, n->sign) << text;
        EXPECT_FALSE(m_apm_text_exponent_in_range(text)) << text;
    }
    EXPECT_TRUE(m_apm_text_exponent_in_range("-1.5"));
}

TEST(BignumRecord, ParsesTextLongerThanTheWorkBuffer)
{
    // Longer than the first work buffer and beyond the size at which it is
    // released after the call; parsed twice so that the second call starts
    // from a fresh buffer.
    std::string digits = Random(3).Digits(5000);
    for (int pass = 0; pass < 2; pass++) {
        Num n(("-0." + digits).c_str());
        EXPECT_EQ(5000, n->datalength);
        EXPECT_EQ(0, n->exponent);
        EXPECT_EQ("-" + digits.substr(0, 1) + "." + digits.substr(1) + "E-1", Sci(n));
    }
}

TEST(BignumRecord, SetsIntegers)
{
    Num n;
    m_apm_set_long(n, LONG_MIN);
    EXPECT_EQ("-2.147483648E+9", Sci(n));
    m_apm_set_long(n, LONG_MAX);
    EXPECT_EQ("2.147483647E+9", Sci(n));
    m_apm_set_long(n, -2147000001L);
    EXPECT_EQ("-2.147000001E+9", Sci(n));
    m_apm_set_long(n, 1000);
    EXPECT_EQ(1, n->datalength);
    EXPECT_EQ(4, n->exponent);
    m_apm_set_long(n, 0);
    EXPECT_EQ(0, n->sign);
    m_apm_set_long(n, -7);
    EXPECT_EQ("-7E+0", Sci(n));
}

TEST(BignumRecord, SetsDoublesWithFifteenDigits)
{
    struct Case {
        double value;
        const char* sci;
    } cases[] = {
        { 0.1, "1E-1" },
        { 1.5, "1.5E+0" },
        { -2.5e-300, "-2.5E-300" },
        { 123456789012345678.0, "1.23456789012346E+17" },
        { 1.0 / 3.0, "3.33333333333333E-1" },
        { 100.0, "1E+2" },
        { 0.0, "0.0E+0" },
    };
    for (const Case& c : cases) {
        Num n;
        m_apm_set_double(n, c.value);
        EXPECT_EQ(c.sci, Sci(n)) << c.value;
    }
    Num tenth;
    m_apm_set_double(tenth, 0.1);
    EXPECT_EQ(1, tenth->datalength);
    EXPECT_EQ(0, tenth->exponent);
}

TEST(BignumRecord, PrintsScientificText)
{
    struct Case {
        const char* value;
        int places;
        const char* text;
    } cases[] = {
        { "123.4", 1, "1.2E+2" },
        { "0.05", -1, "5E-2" },
        { "0", 0, "0E+0" },
        { "0", 3, "0.000E+0" },
        { "0", -1, "0.0E+0" },
        { "1.5", 3, "1.500E+0" },
        { "9.99", 1, "1.0E+1" },
        { "-9.96", 0, "-1E+1" },
        { "-0.000012345", 2, "-1.23E-5" },
        { "12345", 0, "1E+4" },
    };
    for (const Case& c : cases) {
        Num n(c.value);
        EXPECT_EQ(c.text, Sci(n, c.places)) << c.value << " " << c.places;
    }
}

TEST(BignumRecord, PrintsFixedPointText)
{
    struct Case {
        const char* value;
        int places;
        const char* text;
    } cases[] = {
        { "2.5", 0, "3" },
        { "-2.5", 0, "-3" },
        { "-0.3", 0, "0" },
        { "0", 0, "0" },
        { "12.345", 2, "12.35" },
        { "0.012", -1, "0.012" },
        { "0.004", 2, "0.00" },
        { "0.005", 2, "0.01" },
        { "-0.005", 2, "-0.01" },
        { "0.0005", 2, "0.00" },
        { "0", 3, "0.000" },
        { "0", -1, "0.0" },
        { "123", -1, "123.0" },
        { "9.996", 2, "10.00" },
        { "1E+5", 1, "100000.0" },
        { "123.456", 5, "123.45600" },
        { "-1.5E-3", 4, "-0.0015" },
    };
    for (const Case& c : cases) {
        Num n(c.value);
        EXPECT_EQ(c.text, Fix(n, c.places)) << c.value << " " << c.places;
    }
    // Longer than the local work buffer.
    Num tiny("1.5E-130");
    EXPECT_EQ("0." + std::string(129, '0') + "15", Fix(tiny, -1));
    Num big("-1.5E+130");
    EXPECT_EQ("-15" + std::string(129, '0') + ".000", Fix(big, 3));
}

TEST(BignumRecord, PrintsIntegerPart)
{
    struct Case {
        const char* value;
        const char* text;
    } cases[] = {
        { "-0.5", "0" }, { "0", "0" }, { "123.9", "123" }, { "-1E+3", "-1000" }, { "1.5E+130", "15" },
    };
    for (const Case& c : cases) {
        Num n(c.value);
        char out[256];
        m_apm_to_integer_string(out, n);
        std::string expected = c.text;
        if (std::string(c.value) == "1.5E+130")
            expected += std::string(129, '0');
        EXPECT_EQ(expected, out) << c.value;
    }
}

TEST(BignumRecord, ComparesBySignExponentAndDigits)
{
    struct Case {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        { "0", "0", 0 },   { "0", "5", -1 },     { "0", "-5", 1 },       { "5", "0", 1 },
        { "-5", "0", -1 }, { "-1", "1", -1 },    { "100", "99", 1 },     { "-100", "-99", -1 },
        { "1.23", "1.24", -1 }, { "1.2", "1.23", -1 }, { "-1.2", "-1.23", 1 }, { "12.5", "12.5", 0 },
        { "1.000000001", "1", 1 },
    };
    for (const Case& c : cases) {
        Num a(c.a), b(c.b);
        EXPECT_EQ(c.expected, m_apm_compare(a, b)) << c.a << " vs " << c.b;
        EXPECT_EQ(-c.expected, m_apm_compare(b, a)) << c.b << " vs " << c.a;
    }
}

TEST(BignumRecord, NegatesAndTakesAbsoluteValues)
{
    Num a("-12.5"), r;
    m_apm_negate(r, a);
    EXPECT_EQ("1.25E+1", Sci(r));
    m_apm_absolute_value(r, a);
    EXPECT_EQ("1.25E+1", Sci(r));
    Num zero;
    m_apm_negate(r, zero);
    EXPECT_EQ(0, r->sign);
    EXPECT_EQ(-1, m_apm_sign(a));
    EXPECT_EQ(3, m_apm_significant_digits(a));
}

TEST(BignumRecord, SumsAndDifferencesAreExact)
{
    struct Case {
        const char* op;
        const char* a;
        const char* b;
        const char* result;
    } cases[] = {
        { "+", "99.99", "0.01", "1E+2" },                 // carry through every base-100 digit
        { "+", "-99.99", "-0.01", "-1E+2" },
        { "+", "0.5", "0.05", "5.5E-1" },                  // operands shifted by an odd count
        { "+", "123", "-123", "0.0E+0" },
        { "+", "-5", "3", "-2E+0" },
        { "+", "0", "-7.25", "-7.25E+0" },
        { "-", "0", "7.25", "-7.25E+0" },
        { "-", "7.25", "0", "7.25E+0" },
        { "-", "1", "0.0000000001", "9.999999999E-1" },    // borrow through every digit
        { "-", "100", "0.01", "9.999E+1" },
        { "-", "-5", "3", "-8E+0" },
        { "-", "3", "5", "-2E+0" },
        { "-", "-3", "-5", "2E+0" },
        { "-", "1.0001", "1", "1E-4" },
    };
    for (const Case& c : cases) {
        Num a(c.a), b(c.b), r;
        if (c.op[0] == '+')
            m_apm_add(r, a, b);
        else
            m_apm_subtract(r, a, b);
        EXPECT_EQ(c.result, Sci(r)) << c.a << c.op << c.b;
        EXPECT_TRUE(Normalised(r)) << c.a << c.op << c.b;
    }
}

TEST(BignumRecord, SumOfNumbersFarApartKeepsEveryDigit)
{
    Num a("1E+100"), b("1E-100"), r;
    m_apm_add(r, a, b);
    EXPECT_EQ(201, r->datalength);
    EXPECT_EQ(101, r->exponent);
    Num back;
    m_apm_subtract(back, r, a);
    EXPECT_EQ(0, m_apm_compare(back, b));
    Num same("123.456"), zero;
    m_apm_subtract(zero, same, same);
    EXPECT_EQ(0, zero->sign);
    EXPECT_TRUE(Normalised(zero));
}

TEST(BignumRecord, SchoolbookProducts)
{
    struct Case {
        const char* a;
        const char* b;
        const char* result;
    } cases[] = {
        { "0", "123", "0.0E+0" },
        { "-99", "99", "-9.801E+3" },
        { "-0.5", "-0.5", "2.5E-1" },
        { "123.45", "-2", "-2.469E+2" },
        { "1.11", "9.09", "1.00899E+1" },       // odd digit counts on both sides
        { "99999999", "99999999", "9.999999800000001E+15" },
        { "1E-200", "1E+300", "1E+100" },
    };
    for (const Case& c : cases) {
        Num a(c.a), b(c.b), r;
        m_apm_multiply(r, a, b);
        EXPECT_EQ(c.result, Sci(r)) << c.a << "*" << c.b;
        EXPECT_TRUE(Normalised(r)) << c.a << "*" << c.b;
    }
}

TEST(BignumRecord, RoundsHalfAwayFromZero)
{
    struct Case {
        const char* value;
        int places;
        const char* result;
    } cases[] = {
        { "1.2345", 2, "1.23E+0" },
        { "1.235", 2, "1.24E+0" },
        { "-1.235", 2, "-1.24E+0" },
        { "1.2349999", 2, "1.23E+0" },
        { "9.995", 2, "1E+1" },
        { "99.995", 3, "1E+2" },
        { "0.05", 0, "5E-2" },        // no more digits than kept: unchanged
        { "12", 5, "1.2E+1" },
        { "-0.00015", 0, "-2E-4" },
    };
    for (const Case& c : cases) {
        Num a(c.value), r;
        m_apm_round(r, c.places, a);
        EXPECT_EQ(c.result, Sci(r)) << c.value << " " << c.places;
        EXPECT_TRUE(Normalised(r)) << c.value;
    }
    Num nines("9.999"), r;
    m_apm_round(r, 2, nines);
    EXPECT_EQ("1E+1", Sci(r));
    EXPECT_EQ(1, r->datalength);
}

TEST(BignumRecord, RoundsToFixedPlaces)
{
    struct Case {
        const char* value;
        int places;
        const char* result;
    } cases[] = {
        { "12.345", 2, "1.235E+1" },
        { "0.005", 2, "1E-2" },       // the first digit lies just after the kept places
        { "-0.007", 2, "-1E-2" },
        { "0.004", 2, "0.0E+0" },
        { "0.0009", 2, "0.0E+0" },    // two places short
        { "0", 2, "0.0E+0" },
    };
    for (const Case& c : cases) {
        Num a(c.value), r;
        M_apm_round_fixpt(r, c.places, a);
        EXPECT_EQ(c.result, Sci(r)) << c.value << " " << c.places;
    }
}

TEST(BignumRecord, ScalingAndPaddingKeepTheValue)
{
    const char* scaledBytes[] = { "01 23 45", "00 12 34 50", "00 01 23 45" };
    for (int k = 1; k <= 5; k++) {
        Num a("-123.45"), orig("-123.45");
        M_apm_scale(a, k);
        EXPECT_EQ(5 + k, a->datalength);
        EXPECT_EQ(3 + k, a->exponent);
        if (k <= 3) {
            EXPECT_EQ(scaledBytes[k - 1], Bytes(a)) << k;
        }
        M_apm_pad(a, 20);
        EXPECT_EQ(20, a->datalength);
        M_apm_normalize(a);
        EXPECT_EQ(0, m_apm_compare(a, orig)) << k;
        EXPECT_EQ("-1.2345E+2", Sci(a)) << k;
        EXPECT_TRUE(Normalised(a));
    }
}

TEST(BignumRecord, RoutinesGiveBackTheirTemporaries)
{
    M_APM top = M_get_stack_var();
    M_restore_stack(1);
    Num a("2"), b("3"), r;
    char text[600];
    m_apm_to_string(text, 10, a);
    m_apm_to_fixpt_string(text, 3, a);
    m_apm_divide(r, 20, a, b);
    m_apm_divide(r, 300, a, b);
    m_apm_reciprocal(r, 300, b);
    m_apm_sqrt(r, 300, a);
    EXPECT_EQ(top, M_get_stack_var());
    M_restore_stack(1);
}
