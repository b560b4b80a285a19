// Every case of tests/data/bignum_reference.txt (random operands of 1 to
// 2000 digits, results from Python's decimal module, written by
// tools/bignum_reference.py) through the library, digit for digit.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "tests/foundation/BignumTestSupport.h"

using namespace bignumtest;

TEST(BignumReference, EveryCaseMatchesDigitForDigit)
{
    std::ifstream in(SPIRALIX_TEST_DATA "/bignum_reference.txt");
    ASSERT_TRUE(in.good()) << "missing " SPIRALIX_TEST_DATA "/bignum_reference.txt";
    std::map<std::string, int> counts;
    std::string line;
    int lineNumber = 0;
    int failures = 0;
    while (std::getline(in, line)) {
        lineNumber++;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string op, a, b, expected;
        int places = 0;
        ASSERT_TRUE((bool)(fields >> op >> places >> a >> b >> expected)) << "line " << lineNumber;
        Num x(a), r;
        Num y(b == "-" ? "0" : b);
        if (op == "add")
            m_apm_add(r, x, y);
        else if (op == "sub")
            m_apm_subtract(r, x, y);
        else if (op == "mul")
            m_apm_multiply(r, x, y);
        else if (op == "div")
            m_apm_divide(r, places, x, y);
        else if (op == "sqrt")
            m_apm_sqrt(r, places, x);
        else if (op == "round")
            m_apm_round(r, places, x);
        else
            FAIL() << "unknown operation " << op << " on line " << lineNumber;
        std::string got = Sci(r);
        if (got != expected && ++failures <= 10)
            ADD_FAILURE() << "line " << lineNumber << ": " << op << " " << places << " "
                          << a.substr(0, 40) << " " << b.substr(0, 40) << "\n  got      "
                          << got.substr(0, 120) << "\n  expected " << expected.substr(0, 120);
        counts[op]++;
    }
    EXPECT_EQ(0, failures);
    // The table covers every operation.
    for (const char* op : { "add", "sub", "mul", "div", "sqrt", "round" })
        EXPECT_GE(counts[op], 40) << op;
}
