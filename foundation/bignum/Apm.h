// Arbitrary-precision decimal numbers.
//
// A number is a record of base-100 digits (two decimal digits per byte, most
// significant first), a decimal exponent and a sign: the value is
// 0.d1 d2 ... dn times 10 to the exponent. Sums, differences and products are
// exact; division, reciprocal and square root deliver a requested number of
// places; rounding is half away from zero.
//
// The routines share static state (constants, temporaries, scratch memory)
// and are not reentrant. Outside single-threaded tools, call them only
// between m_apm_enter and m_apm_leave, or through the _mt wrappers, which
// take the process-wide lock themselves.
//
// Warnings (division by zero, reciprocal of zero, square root of a negative
// number, text that is not a number) go to the standard error stream and the
// result is 0. When memory runs out the routine's name and "Out of memory"
// go to the standard error stream and the process ends.
#pragma once

#include <stdint.h>

struct M_APM_struct {
    uint32_t id;            // M_APM_LIVE_ID while alive, M_APM_FREED_ID after m_apm_free
    int32_t refCount;       // 1 after m_apm_init; kept by BigNumber only
    int32_t capacity;       // bytes of the digit block the routines may use
    int32_t datalength;     // significant decimal digits (at least 1)
    int32_t exponent;       // value = 0.d1 d2 ... dn x 10^exponent
    int32_t sign;           // -1, 0 or 1
    unsigned char* data;    // base-100 digits, capacity + 4 bytes
};
typedef M_APM_struct* M_APM;

const uint32_t M_APM_LIVE_ID = 0x6BCC9AE5u;
const uint32_t M_APM_FREED_ID = 0x0FFFFFF0u;

// Constants made by the first m_apm_init: 0, 1, 2, 3, 10 and 0.5.
extern M_APM MM_Zero, MM_One, MM_Two, MM_Three, MM_Ten, MM_0_5;

// Lifetime.
M_APM m_apm_init();
void m_apm_free(M_APM n);
void m_apm_copy(M_APM r, M_APM a);

// Conversions. The output routines write a NUL-terminated text into a
// buffer the caller makes large enough (see the length helpers below).
void m_apm_set_long(M_APM r, long n);
void m_apm_set_double(M_APM r, double x);
void m_apm_set_string(M_APM r, const char* text);
// The largest exponent part m_apm_set_string takes ("1E+10000000"; the same
// below zero). A number beyond it would make exact sums and differences of
// hundreds of megabytes: the reader warns like for a non-digit and gives 0.
const int M_APM_TEXT_EXPONENT_MAX = 10000000;
// Whether the exponent part of a decimal text (after its "e" or "E", if it
// has one) lies within M_APM_TEXT_EXPONENT_MAX.
bool m_apm_text_exponent_in_range(const char* text);
void m_apm_to_string(char* out, int places, M_APM a);
void m_apm_to_fixpt_string(char* out, int places, M_APM a);
void m_apm_to_integer_string(char* out, M_APM a);

// Buffer sizes (including the NUL) that the output routines need for a.
int m_apm_to_string_size(int places, M_APM a);
int m_apm_to_fixpt_string_size(int places, M_APM a);

// Queries and sign changes.
int m_apm_sign(M_APM a);
int m_apm_significant_digits(M_APM a);
int m_apm_compare(M_APM a, M_APM b);
void m_apm_negate(M_APM r, M_APM a);
void m_apm_absolute_value(M_APM r, M_APM a);

// Arithmetic. r must be a record of its own, not one of the operands.
void m_apm_add(M_APM r, M_APM a, M_APM b);
void m_apm_subtract(M_APM r, M_APM a, M_APM b);
void m_apm_multiply(M_APM r, M_APM a, M_APM b);
void m_apm_round(M_APM r, int places, M_APM a);
void m_apm_divide(M_APM r, int places, M_APM a, M_APM b);
void m_apm_reciprocal(M_APM r, int places, M_APM a);
void m_apm_sqrt(M_APM r, int places, M_APM a);

// The process-wide lock (recursive for the thread that holds it).
void m_apm_mt_initialize();
void m_apm_enter();
void m_apm_leave();

// Each wrapper takes the lock, calls the routine of the same name without
// the suffix and leaves the lock.
M_APM m_apm_init_mt();
void m_apm_free_mt(M_APM n);
void m_apm_copy_mt(M_APM r, M_APM a);
void m_apm_set_string_mt(M_APM r, const char* text);
void m_apm_set_double_mt(M_APM r, double x);
void m_apm_set_long_mt(M_APM r, long n);
void m_apm_to_string_mt(char* out, int places, M_APM a);
void m_apm_to_fixpt_string_mt(char* out, int places, M_APM a);
void m_apm_add_mt(M_APM r, M_APM a, M_APM b);
void m_apm_subtract_mt(M_APM r, M_APM a, M_APM b);
void m_apm_multiply_mt(M_APM r, M_APM a, M_APM b);
void m_apm_divide_mt(M_APM r, int places, M_APM a, M_APM b);
void m_apm_reciprocal_mt(M_APM r, int places, M_APM a);
void m_apm_sqrt_mt(M_APM r, int places, M_APM a);
void m_apm_round_mt(M_APM r, int places, M_APM a);
int m_apm_compare_mt(M_APM a, M_APM b);
void m_apm_absolute_value_mt(M_APM r, M_APM a);
void m_apm_negate_mt(M_APM r, M_APM a);

// Default number of places of BigNumber division: 30 at first, 60 after
// the main initialisation; values below 2 give 2.
void m_apm_cpp_precision(int digits);
int m_apm_cpp_get_precision();
