// BigNumber: an arbitrary-precision decimal value with ordinary arithmetic
// syntax. Copies share one M_APM record by reference count; a BigNumber
// that is about to change a shared record first takes a copy of its own.
// Every library call and every reference-count change runs under the
// process-wide lock of the decimal library, so copies of one value may be
// used by several threads; one object must not be changed by one thread
// while another reads it.
//
// Sums, differences and products are exact. Division keeps at least the
// default precision (m_apm_cpp_precision) and never fewer places than the
// dividend or the divisor has significant digits.
#pragma once

#include "foundation/bignum/Apm.h"

class BigNumber {
public:
    BigNumber();                          // zero
    BigNumber(const BigNumber& other);    // shares other's record
    BigNumber(const char* text);          // decimal text (m_apm_set_string)
    BigNumber(int value);
    BigNumber(double value);              // 15 significant digits
    ~BigNumber();

    BigNumber& operator=(const BigNumber& other);
    BigNumber& operator=(double value);
    BigNumber& operator=(int value);
    BigNumber& operator=(const char* text);

    // this / b with `digits` places (m_apm_divide).
    BigNumber Divide(const BigNumber& b, int digits) const;
    BigNumber& operator/=(const BigNumber& b);
    BigNumber& operator-=(const BigNumber& b);
    BigNumber& operator+=(const BigNumber& b);
    BigNumber& operator*=(const BigNumber& b);

    BigNumber Abs() const;
    BigNumber Neg() const;
    BigNumber operator-() const;

    // Square root with `digits` places; without an argument, as many places
    // as the larger of the value's significant digits and the default
    // precision.
    BigNumber Sqrt(int digits) const;
    BigNumber Sqrt() const;
    // Rounded half away from zero to digits + 1 significant digits.
    BigNumber Round(int digits) const;

    bool operator>(const BigNumber& b) const;
    bool operator<(const BigNumber& b) const;
    bool operator==(const BigNumber& b) const;
    bool operator!=(const BigNumber& b) const;
    int Sign() const;
    int SignificantDigits() const;

    // Nearest double: printed with 80 places and read back.
    double ToDouble() const;
    // 80-bit extended value (10 bytes at out): rounded to 40 places, printed
    // in fixed point and accumulated digit by digit at 64-bit precision.
    void ToExtended(void* out) const;
    long double ToExtended() const;

    // The record, for code that calls the library directly under the lock.
    // Write into it only after Detach.
    M_APM Handle() const { return m_value; }
    // Makes the record this object's own (copies a shared one).
    void Detach();

private:
    friend BigNumber operator+(const BigNumber& a, const BigNumber& b);
    friend BigNumber operator-(const BigNumber& a, const BigNumber& b);
    friend BigNumber operator*(const BigNumber& a, const BigNumber& b);
    struct Adopt {};
    BigNumber(M_APM fresh, Adopt);   // takes a new record with count 1

    M_APM m_value;   // never null while the object lives
};

BigNumber operator+(const BigNumber& a, const BigNumber& b);
BigNumber operator-(const BigNumber& a, const BigNumber& b);
BigNumber operator*(const BigNumber& a, const BigNumber& b);
// a.Divide (b, max(digits of a, default precision, digits of b)).
BigNumber operator/(const BigNumber& a, const BigNumber& b);

// Rounds value to digits places and prints all remaining digits in fixed
// point into buffer. With a bufferSize above 0 the text is cut to fit.
void FormatBigNumber(BigNumber value, char* buffer, int digits, int bufferSize = 0);
// Size of the buffer FormatBigNumber needs for value at digits places.
int FormatBigNumberSize(const BigNumber& value, int digits);

// Frees every non-null handle of the array and sets it to null.
void FreeBigNumberArray(M_APM* handles, int length);
