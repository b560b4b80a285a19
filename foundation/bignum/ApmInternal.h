// Internal routines and state of the decimal number library, shared by its
// source files (and used by its tests to reach the individual algorithms).
#pragma once

#include <stddef.h>
#include "foundation/bignum/Apm.h"

typedef unsigned char UCHAR;

// Ends the process after writing text to the standard error stream.
[[noreturn]] void M_apm_fatal(const char* text, int exitCode);

// All blocks of the library come from these two. A test seam makes every
// request of at least a given size fail (0 turns it off), so that the
// out-of-memory paths can be exercised in a child process.
void* M_apm_malloc(size_t bytes);
void* M_apm_realloc(void* block, size_t bytes);
void M_apm_fail_allocations_from(size_t bytes);

// Number of records made by m_apm_init and not yet freed (the library's own
// constants and temporaries included).
int M_apm_live_record_count();

// Grows x's digit block so that it holds at least `digits` decimal digits;
// on failure writes failText and exits with exitCode.
void M_apm_reserve(M_APM x, int digits, const char* failText, int exitCode);

// Sets x to zero.
void M_set_to_zero(M_APM x);

void M_apm_normalize(M_APM x);
void M_apm_pad(M_APM x, int n);
void M_apm_scale(M_APM x, int k);
void M_apm_round_fixpt(M_APM r, int places, M_APM a);

// Stack of temporaries.
M_APM M_get_stack_var();
void M_restore_stack(int count);

// Tables of quotient and remainder by 100 (0..9999) and by 10 (0..99).
void M_init_util_data();
void M_init_trig_globals();
void M_get_div_rem_addr(const UCHAR** quotients100, const UCHAR** remainders100);
void M_get_div_rem(int n, UCHAR* high, UCHAR* low);
void M_get_div_rem_10(int n, UCHAR* high, UCHAR* low);
extern UCHAR* M_div100;
extern UCHAR* M_rem100;
extern UCHAR* M_div10;
extern UCHAR* M_rem10;

// Small text helpers.
void M_long_2_ascii(char* out, long n);
void M_lowercase(char* text);
int M_strposition(const char* text, const char* pattern);
int M_get_sizeof_int();

// The schoolbook product (used below the fast-multiplication size).
void M_schoolbook_multiply(M_APM r, M_APM a, M_APM b);

// Division and square root helpers: the long division, the division by
// Newton's reciprocal and the first guess of the inverse square root
// (1 / sqrt(a) from a's leading digits in double precision).
void M_apm_sdivide(M_APM r, int places, M_APM a, M_APM b);
void M_apm_newton_divide(M_APM r, int places, M_APM a, M_APM b);
void M_get_sqrt_guess(M_APM r, M_APM a);

// Long division is used up to this many places, Newton's reciprocal beyond.
const int M_LONG_DIVISION_MAX_PLACES = 249;
// Products use the fast method when both operands have at least this many
// base-100 digits.
const int M_FAST_MULTIPLY_MIN_BYTES = 48;

// Fast multiplication of long operands.
void M_fast_multiply(M_APM r, M_APM a, M_APM b);
void M_fast_multiply_recursive(UCHAR* r, const UCHAR* a, const UCHAR* b, int n);
void M_fast_mul_fft(UCHAR* r, const UCHAR* a, const UCHAR* b, int n);
int M_get_stack_ptr(int n);
UCHAR* M_stack_block(int level);
void M_fmul_add(UCHAR* r, const UCHAR* a, int k, int n);
int M_fmul_subtract(UCHAR* r, const UCHAR* a, const UCHAR* b, int n);
int M_next_power_of_2(int n);

// Largest FFT length (base-100 digits per operand); longer operands are
// split. The sums of products of base-10000 digits must stay exact in a
// double up to this length. Tests lower it to reach the split at small sizes.
const int M_FFT_MAX_LENGTH = 262144;
extern int M_fft_length_limit;

// The FFT routines (n doubles, n a power of two); their twiddle factors are
// made at the first transform of each length and kept.
void M_fft_bitreverse(double* a, int complexCount);
void M_fft_butterflies(double* a, int complexCount, int stageLength, int direction);
void M_fft_complex_pass(double* a, int complexCount, int direction);
void M_fft_real_pass(double* a, int n, int direction);
void M_fft_forward(double* a, int n);
void M_fft_inverse(double* a, int n);
