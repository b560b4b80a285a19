#include "foundation/bignum/BigNumber.h"

#include <stdio.h>
#include <string.h>
#include <vector>

namespace {

struct Locked {
    Locked() { m_apm_enter(); }
    ~Locked() { m_apm_leave(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

// Drops one reference; the record is freed with the last one. Lock held.
void Release(M_APM record)
{
    if (--record->refCount == 0)
        m_apm_free(record);
}

int Larger(int a, int b)
{
    return a > b ? a : b;
}

// Accumulates the fixed-point text digit by digit. Kept out of line so that
// it runs entirely between the control-word changes of the caller.
__attribute__((noinline)) long double AccumulateDigits(const char* text)
{
    const char* p = text;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        p++;
    }
    long double value = 0.0L;
    for (; *p >= '0' && *p <= '9'; p++)
        value = value * 10.0L + (long double)(*p - '0');
    if (*p == '.') {
        long double power = 1.0L;
        for (p++; *p >= '0' && *p <= '9'; p++) {
            power *= 10.0L;
            if (*p != '0')
                value += (long double)(*p - '0') / power;
        }
    }
    return negative ? -value : value;
}

} // namespace

BigNumber::BigNumber()
{
    Locked lock;
    m_value = m_apm_init();
}

BigNumber::BigNumber(const BigNumber& other)
{
    Locked lock;
    m_value = other.m_value;
    m_value->refCount++;
}

BigNumber::BigNumber(const char* text)
{
    Locked lock;
    m_value = m_apm_init();
    if (text)
        m_apm_set_string(m_value, text);
}

BigNumber::BigNumber(int value)
{
    Locked lock;
    m_value = m_apm_init();
    m_apm_set_long(m_value, value);
}

BigNumber::BigNumber(double value)
{
    Locked lock;
    m_value = m_apm_init();
    m_apm_set_double(m_value, value);
}

BigNumber::BigNumber(M_APM fresh, Adopt)
{
    Locked lock;
    m_value = fresh;
    m_value->refCount++;   // the result's reference
    m_value->refCount--;   // the maker's local reference
}

BigNumber::~BigNumber()
{
    {
        Locked lock;
        Release(m_value);
    }
    m_value = nullptr;
}

BigNumber& BigNumber::operator=(const BigNumber& other)
{
    Locked lock;
    other.m_value->refCount++;
    M_APM old = m_value;
    m_value = other.m_value;
    Release(old);
    return *this;
}

void BigNumber::Detach()
{
    Locked lock;
    if (m_value->refCount != 1) {
        M_APM own = m_apm_init();
        m_apm_copy(own, m_value);
        Release(m_value);
        m_value = own;
    }
}

BigNumber& BigNumber::operator=(double value)
{
    Locked lock;
    Detach();
    m_apm_set_double(m_value, value);
    return *this;
}

BigNumber& BigNumber::operator=(int value)
{
    Locked lock;
    Detach();
    m_apm_set_long(m_value, value);
    return *this;
}

BigNumber& BigNumber::operator=(const char* text)
{
    Locked lock;
    Detach();
    m_apm_set_string(m_value, text ? text : "");
    return *this;
}

BigNumber operator+(const BigNumber& a, const BigNumber& b)
{
    M_APM r = m_apm_init_mt();
    m_apm_add_mt(r, a.Handle(), b.Handle());
    return BigNumber(r, BigNumber::Adopt());
}

BigNumber operator-(const BigNumber& a, const BigNumber& b)
{
    M_APM r = m_apm_init_mt();
    m_apm_subtract_mt(r, a.Handle(), b.Handle());
    return BigNumber(r, BigNumber::Adopt());
}

BigNumber operator*(const BigNumber& a, const BigNumber& b)
{
    M_APM r = m_apm_init_mt();
    m_apm_multiply_mt(r, a.Handle(), b.Handle());
    return BigNumber(r, BigNumber::Adopt());
}

BigNumber BigNumber::Divide(const BigNumber& b, int digits) const
{
    M_APM r = m_apm_init_mt();
    m_apm_divide_mt(r, digits, m_value, b.m_value);
    return BigNumber(r, Adopt());
}

BigNumber operator/(const BigNumber& a, const BigNumber& b)
{
    int places;
    {
        Locked lock;
        places = Larger(Larger(m_apm_significant_digits(a.Handle()), m_apm_cpp_get_precision()),
                        m_apm_significant_digits(b.Handle()));
    }
    return a.Divide(b, places);
}

BigNumber& BigNumber::operator/=(const BigNumber& b)
{
    *this = *this / b;
    return *this;
}

BigNumber& BigNumber::operator-=(const BigNumber& b)
{
    *this = *this - b;
    return *this;
}

BigNumber& BigNumber::operator+=(const BigNumber& b)
{
    *this = *this + b;
    return *this;
}

BigNumber& BigNumber::operator*=(const BigNumber& b)
{
    *this = *this * b;
    return *this;
}

BigNumber BigNumber::Abs() const
{
    M_APM r = m_apm_init_mt();
    m_apm_absolute_value_mt(r, m_value);
    return BigNumber(r, Adopt());
}

BigNumber BigNumber::Neg() const
{
    M_APM r = m_apm_init_mt();
    m_apm_negate_mt(r, m_value);
    return BigNumber(r, Adopt());
}

BigNumber BigNumber::operator-() const
{
    return Neg();
}

BigNumber BigNumber::Sqrt(int digits) const
{
    M_APM r = m_apm_init_mt();
    m_apm_sqrt_mt(r, digits, m_value);
    return BigNumber(r, Adopt());
}

BigNumber BigNumber::Sqrt() const
{
    return Sqrt(Larger(SignificantDigits(), m_apm_cpp_get_precision()));
}

BigNumber BigNumber::Round(int digits) const
{
    M_APM r = m_apm_init_mt();
    m_apm_round_mt(r, digits, m_value);
    return BigNumber(r, Adopt());
}

bool BigNumber::operator>(const BigNumber& b) const
{
    return m_apm_compare_mt(m_value, b.m_value) == 1;
}

bool BigNumber::operator<(const BigNumber& b) const
{
    return m_apm_compare_mt(m_value, b.m_value) == -1;
}

bool BigNumber::operator==(const BigNumber& b) const
{
    return m_apm_compare_mt(m_value, b.m_value) == 0;
}

bool BigNumber::operator!=(const BigNumber& b) const
{
    return m_apm_compare_mt(m_value, b.m_value) != 0;
}

int BigNumber::Sign() const
{
    Locked lock;
    return m_apm_sign(m_value);
}

int BigNumber::SignificantDigits() const
{
    Locked lock;
    return m_apm_significant_digits(m_value);
}

double BigNumber::ToDouble() const
{
    char text[128];
    m_apm_to_string_mt(text, 80, m_value);
    double value = 0.0;
    sscanf(text, "%lf", &value);
    return value;
}

void BigNumber::ToExtended(void* out) const
{
    std::vector<char> text(FormatBigNumberSize(*this, 40));
    FormatBigNumber(*this, text.data(), 40);

    // Accumulate at 64-bit precision, then restore the caller's control word.
    unsigned short saved, extended;
    __asm__ __volatile__("fnstcw %0" : "=m"(saved));
    extended = (unsigned short)(saved | 0x0300);
    __asm__ __volatile__("fldcw %0" : : "m"(extended));
    long double value = AccumulateDigits(text.data());
    __asm__ __volatile__("fldcw %0" : : "m"(saved));
    memcpy(out, &value, 10);
}

long double BigNumber::ToExtended() const
{
    long double value = 0.0L;
    ToExtended(&value);
    return value;
}

int FormatBigNumberSize(const BigNumber& value, int digits)
{
    m_apm_enter();
    M_APM h = value.Handle();
    // The rounded value has at most digits + 1 digits and its exponent can
    // rise by one.
    long long exponent = h->exponent;
    m_apm_leave();
    if (digits < 0)
        digits = 0;
    long long integerDigits = exponent + 1 > 1 ? exponent + 1 : 1;
    long long decimals = (long long)digits + 1 - exponent;
    if (decimals < 1)
        decimals = 1;
    long long total = integerDigits + decimals + 8;
    return total > 0x7FFFFFF0 ? 0x7FFFFFF0 : (int)total;
}

void FormatBigNumber(BigNumber value, char* buffer, int digits, int bufferSize)
{
    BigNumber rounded = value.Round(digits);
    if (bufferSize <= 0) {
        m_apm_to_fixpt_string_mt(buffer, -1, rounded.Handle());
        return;
    }
    std::vector<char> text(FormatBigNumberSize(value, digits));
    m_apm_to_fixpt_string_mt(text.data(), -1, rounded.Handle());
    strncpy(buffer, text.data(), bufferSize - 1);
    buffer[bufferSize - 1] = '\0';
}

void FreeBigNumberArray(M_APM* handles, int length)
{
    if (!handles)
        return;
    for (int i = 0; i < length; i++) {
        if (handles[i]) {
            m_apm_free_mt(handles[i]);
            handles[i] = nullptr;
        }
    }
}
