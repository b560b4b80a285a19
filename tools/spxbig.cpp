// spxbig: command-line front end of the decimal number library, used by the
// tests and for benchmarks.
//
//   spxbig OP A [B] [DIGITS]   OP: add sub mul div sqrt round
//   spxbig bench               operations per second at 60, 600, 6000 digits,
//                              and each size's quotient and square root in
//                              products of that size
//
// A and B are decimal texts (sign, digits, optional point, optional exponent
// E+n or E-n). DIGITS is the number of places of div, sqrt and round (the
// exact operations accept and ignore it). The result is printed with all
// its significant digits in scientific form, e.g. 1.4142135623E+0.
//
// A leading "--fail-alloc-from BYTES" makes every allocation of the library
// of at least BYTES bytes fail once the operands are read, to exercise the
// out-of-memory exits.
#include "app/ServiceBindings.h"
#include "foundation/bignum/ApmInternal.h"

#include <chrono>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const char* USAGE =
    "usage: spxbig OP A [B] [DIGITS]   (OP: add sub mul div sqrt round)\n"
    "       spxbig bench\n";

// Sign, digits with an optional point (at least one digit), optional
// exponent with up to 9 digits.
bool IsDecimalText(const char* s)
{
    const char* p = s;
    if (*p == '+' || *p == '-')
        p++;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
        p++;
        digits++;
    }
    if (*p == '.') {
        p++;
        while (*p >= '0' && *p <= '9') {
            p++;
            digits++;
        }
    }
    if (digits == 0)
        return false;
    if (*p == 'e' || *p == 'E') {
        p++;
        if (*p == '+' || *p == '-')
            p++;
        int expDigits = 0;
        while (*p >= '0' && *p <= '9') {
            p++;
            expDigits++;
        }
        if (expDigits == 0 || expDigits > 9)
            return false;
    }
    return *p == '\0';
}

bool ParsePlaces(const char* s, int* places)
{
    if (!*s || strlen(s) > 8)
        return false;
    for (const char* p = s; *p; p++)
        if (*p < '0' || *p > '9')
            return false;
    *places = atoi(s);
    return true;
}

// An exact result too long to be printed ends the program with a message
// and exit code 3, like the library's own out-of-memory exits.
int Print(M_APM value)
{
    int size = m_apm_to_string_size(-1, value);
    char* text = size > 0 ? (char*)malloc((size_t)size) : nullptr;
    if (text == nullptr) {
        fprintf(stderr, "spxbig: out of memory for a result of %d digits\n", size - 20);
        return 3;
    }
    m_apm_to_string(text, -1, value);
    printf("%s\n", text);
    free(text);
    return 0;
}

// ---------------------------------------------------------------------------
// Benchmark

unsigned int g_seed = 12345u;

unsigned int NextRandom()
{
    g_seed ^= g_seed << 13;
    g_seed ^= g_seed >> 17;
    g_seed ^= g_seed << 5;
    return g_seed;
}

void SetRandom(M_APM r, int digits)
{
    std::string text = "0.";
    text += (char)('1' + NextRandom() % 9);
    for (int i = 1; i < digits; i++)
        text += (char)('0' + NextRandom() % 10);
    m_apm_set_string(r, text.c_str());
}

// Operations per second of op over one round of about `seconds`: batches
// that double until one takes a twentieth of the round, the clock read
// once per batch so that its own cost stays out of fast operations.
template <typename Op>
double RoundRate(Op op, double seconds)
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point start = Clock::now();
    long count = 0;
    long batch = 1;
    double elapsed = 0.0;
    do {
        Clock::time_point batchStart = Clock::now();
        for (long i = 0; i < batch; i++)
            op();
        count += batch;
        Clock::time_point now = Clock::now();
        elapsed = std::chrono::duration<double>(now - start).count();
        if (std::chrono::duration<double>(now - batchStart).count() < seconds / 20)
            batch *= 2;
    } while (elapsed < seconds);
    return count / elapsed;
}

void PrintRate(const char* name, int digits, double rate)
{
    if (rate >= 100.0)
        printf("%s %d %.0f\n", name, digits, rate);
    else
        printf("%s %d %.1f\n", name, digits, rate);
    fflush(stdout);
}

// Per size: operations per second of each operation, then what a quotient
// and a square root cost in products of the same size. The operations take
// turns in short rounds and each keeps its best round, so that a busy
// machine slows them alike and a pause of the process spoils one round,
// not the comparison.
int Bench()
{
    M_APM a = m_apm_init();
    M_APM b = m_apm_init();
    M_APM r = m_apm_init();
    const int sizes[] = { 60, 600, 6000 };
    const int ROUNDS = 5;
    const double ROUND_SECONDS = 0.12;
    for (int digits : sizes) {
        SetRandom(a, digits);
        SetRandom(b, digits);
        double mulRate = 0.0, divRate = 0.0, sqrtRate = 0.0;
        for (int round = 0; round < ROUNDS; round++) {
            double rate = RoundRate([&] { m_apm_multiply(r, a, b); }, ROUND_SECONDS);
            mulRate = rate > mulRate ? rate : mulRate;
            rate = RoundRate([&] { m_apm_divide(r, digits, a, b); }, ROUND_SECONDS);
            divRate = rate > divRate ? rate : divRate;
            rate = RoundRate([&] { m_apm_sqrt(r, digits, a); }, ROUND_SECONDS);
            sqrtRate = rate > sqrtRate ? rate : sqrtRate;
        }
        PrintRate("mul", digits, mulRate);
        PrintRate("div", digits, divRate);
        PrintRate("sqrt", digits, sqrtRate);
        printf("cost %d div=%.1fx mul sqrt=%.1fx mul\n", digits, mulRate / divRate, mulRate / sqrtRate);
        fflush(stdout);
    }
    m_apm_free(a);
    m_apm_free(b);
    m_apm_free(r);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    BindApplicationServices();
    size_t failFrom = 0;
    if (argc >= 3 && strcmp(argv[1], "--fail-alloc-from") == 0) {
        failFrom = (size_t)strtoul(argv[2], nullptr, 10);
        argc -= 2;
        argv += 2;
    }
    if (argc == 2 && strcmp(argv[1], "bench") == 0)
        return Bench();
    if (argc < 3) {
        fputs(USAGE, stderr);
        return 1;
    }
    const std::string op = argv[1];
    bool binary = op == "add" || op == "sub" || op == "mul" || op == "div";
    bool unary = op == "sqrt" || op == "round";
    if (!binary && !unary) {
        fprintf(stderr, "spxbig: unknown operation '%s'\n%s", argv[1], USAGE);
        return 1;
    }
    int operands = binary ? 2 : 1;
    bool needsPlaces = op == "div" || unary;
    int given = argc - 2;
    if (given < operands + (needsPlaces ? 1 : 0) || given > operands + 1) {
        fprintf(stderr, "spxbig: wrong number of arguments for '%s'\n%s", argv[1], USAGE);
        return 1;
    }
    for (int i = 0; i < operands; i++) {
        if (!IsDecimalText(argv[2 + i])) {
            fprintf(stderr, "spxbig: not a decimal number: '%s'\n", argv[2 + i]);
            return 2;
        }
        if (!m_apm_text_exponent_in_range(argv[2 + i])) {
            fprintf(stderr, "spxbig: exponent beyond +-%d: '%s'\n", M_APM_TEXT_EXPONENT_MAX, argv[2 + i]);
            return 2;
        }
    }
    int places = 0;
    if (given == operands + 1 && !ParsePlaces(argv[2 + operands], &places)) {
        fprintf(stderr, "spxbig: DIGITS must be a whole number from 0 to 99999999: '%s'\n",
                argv[2 + operands]);
        return 2;
    }

    M_APM a = m_apm_init();
    M_APM b = m_apm_init();
    M_APM r = m_apm_init();
    m_apm_set_string(a, argv[2]);
    if (binary)
        m_apm_set_string(b, argv[3]);
    if (failFrom != 0)
        M_apm_fail_allocations_from(failFrom);

    if (op == "add")
        m_apm_add(r, a, b);
    else if (op == "sub")
        m_apm_subtract(r, a, b);
    else if (op == "mul")
        m_apm_multiply(r, a, b);
    else if (op == "div")
        m_apm_divide(r, places, a, b);
    else if (op == "sqrt")
        m_apm_sqrt(r, places, a);
    else
        m_apm_round(r, places, a);

    M_apm_fail_allocations_from(0);
    int printed = Print(r);
    m_apm_free(a);
    m_apm_free(b);
    m_apm_free(r);
    return printed;
}
