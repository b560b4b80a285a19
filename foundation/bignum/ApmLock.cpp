// The process-wide lock of the decimal library and the locked wrappers.
#include "foundation/bignum/Apm.h"

#include <windows.h>

namespace {

CRITICAL_SECTION g_apmLock;
// 0: not made, 1: being made, 2: ready.
volatile LONG g_apmLockState = 0;

// Default places of BigNumber division.
int g_cppPrecision = 30;

// The lock is made on first use as well, so that numbers created before
// the main initialisation (static objects, tools, tests) are safe.
void EnsureLock()
{
    if (g_apmLockState == 2)
        return;
    if (InterlockedCompareExchange(&g_apmLockState, 1, 0) == 0) {
        InitializeCriticalSection(&g_apmLock);
        InterlockedExchange(&g_apmLockState, 2);
        return;
    }
    while (g_apmLockState != 2)
        Sleep(0);
}

struct Locked {
    Locked() { m_apm_enter(); }
    ~Locked() { m_apm_leave(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

} // namespace

void m_apm_mt_initialize()
{
    EnsureLock();
}

void m_apm_enter()
{
    EnsureLock();
    EnterCriticalSection(&g_apmLock);
}

void m_apm_leave()
{
    LeaveCriticalSection(&g_apmLock);
}

void m_apm_cpp_precision(int digits)
{
    g_cppPrecision = digits < 2 ? 2 : digits;
}

int m_apm_cpp_get_precision()
{
    return g_cppPrecision;
}

M_APM m_apm_init_mt()
{
    Locked lock;
    return m_apm_init();
}

void m_apm_free_mt(M_APM n)
{
    Locked lock;
    m_apm_free(n);
}

void m_apm_copy_mt(M_APM r, M_APM a)
{
    Locked lock;
    m_apm_copy(r, a);
}

void m_apm_set_string_mt(M_APM r, const char* text)
{
    Locked lock;
    m_apm_set_string(r, text);
}

void m_apm_set_double_mt(M_APM r, double x)
{
    Locked lock;
    m_apm_set_double(r, x);
}

void m_apm_set_long_mt(M_APM r, long n)
{
    Locked lock;
    m_apm_set_long(r, n);
}

void m_apm_to_string_mt(char* out, int places, M_APM a)
{
    Locked lock;
    m_apm_to_string(out, places, a);
}

void m_apm_to_fixpt_string_mt(char* out, int places, M_APM a)
{
    Locked lock;
    m_apm_to_fixpt_string(out, places, a);
}

void m_apm_add_mt(M_APM r, M_APM a, M_APM b)
{
    Locked lock;
    m_apm_add(r, a, b);
}

void m_apm_subtract_mt(M_APM r, M_APM a, M_APM b)
{
    Locked lock;
    m_apm_subtract(r, a, b);
}

void m_apm_multiply_mt(M_APM r, M_APM a, M_APM b)
{
    Locked lock;
    m_apm_multiply(r, a, b);
}

void m_apm_divide_mt(M_APM r, int places, M_APM a, M_APM b)
{
    Locked lock;
    m_apm_divide(r, places, a, b);
}

void m_apm_reciprocal_mt(M_APM r, int places, M_APM a)
{
    Locked lock;
    m_apm_reciprocal(r, places, a);
}

void m_apm_sqrt_mt(M_APM r, int places, M_APM a)
{
    Locked lock;
    m_apm_sqrt(r, places, a);
}

void m_apm_round_mt(M_APM r, int places, M_APM a)
{
    Locked lock;
    m_apm_round(r, places, a);
}

int m_apm_compare_mt(M_APM a, M_APM b)
{
    Locked lock;
    return m_apm_compare(a, b);
}

void m_apm_absolute_value_mt(M_APM r, M_APM a)
{
    Locked lock;
    m_apm_absolute_value(r, a);
}

void m_apm_negate_mt(M_APM r, M_APM a)
{
    Locked lock;
    m_apm_negate(r, a);
}
