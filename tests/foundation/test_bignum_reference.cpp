// The library against tables of results from Python's decimal module
// (written by tools/bignum_reference.py), digit for digit: random operands
// of 1 to 2000 digits for every operation, and quotients and square roots
// at 250 to 6000 places with exact ties and near ties.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "tests/foundation/BignumTestSupport.h"

using namespace bignumtest;

namespace {

// Runs every case of the table; answers the number of cases per
// operation and places ("div 600"), and per operation alone ("div").
std::map<std::string, int> CheckTable(const char* path)
{
    std::map<std::string, int> counts;
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "missing " << path;
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
        if (!(fields >> op >> places >> a >> b >> expected)) {
            ADD_FAILURE() << path << " line " << lineNumber << " is not OP PLACES A B RESULT";
            continue;
        }
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
        else {
            ADD_FAILURE() << "unknown operation " << op << " on line " << lineNumber;
            continue;
        }
        std::string got = Sci(r);
        if (got != expected && ++failures <= 10)
            ADD_FAILURE() << "line " << lineNumber << ": " << op << " " << places << " "
                          << a.substr(0, 40) << " " << b.substr(0, 40) << "\n  got      "
                          << got.substr(0, 120) << "\n  expected " << expected.substr(0, 120);
        counts[op]++;
        counts[op + " " + std::to_string(places)]++;
    }
    EXPECT_EQ(0, failures) << path;
    return counts;
}

} // namespace

TEST(BignumReference, EveryCaseMatchesDigitForDigit)
{
    std::map<std::string, int> counts = CheckTable(SPIRALIX_TEST_DATA "/bignum_reference.txt");
    // The table covers every operation.
    for (const char* op : { "add", "sub", "mul", "div", "sqrt", "round" })
        EXPECT_GE(counts[op], 40) << op;
}

TEST(BignumReference, LongQuotientsAndRootsMatchDigitForDigit)
{
    // Newton's iterations at the lengths deep zooms use: each length has a
    // random case, an exact tie and two cases a hair from one, where a
    // result that is not correctly rounded shows in its last digit.
    std::map<std::string, int> counts = CheckTable(SPIRALIX_TEST_DATA "/bignum_reference_long.txt");
    for (const char* op : { "div", "sqrt" })
        for (int places : { 250, 600, 2000, 6000 })
            EXPECT_GE(counts[std::string(op) + " " + std::to_string(places)], 4) << op << " " << places;
}
