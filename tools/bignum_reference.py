#!/usr/bin/env python3
"""Reference results for the decimal number library, from Python's decimal
module.

Writes tests/data/bignum_reference.txt: one case per line,

    OP PLACES A B RESULT

OP is add, sub, mul, div, sqrt or round; B is "-" for sqrt and round; PLACES
is the places argument (0 for the exact operations); RESULT is the expected
text of m_apm_to_string with all significant digits ("0.0E+0" for zero).

The library's rules, reproduced here:
- add, sub, mul: exact.
- div up to 249 places (long division): the exact quotient cut (not rounded)
  to W significant digits, W = PLACES + 1 when d < 1, else d + PLACES + 1,
  where d = exponent(|a| k) - exponent(|b|), k = 100 // (first two digits of
  b + 1) when those are below 50 (else k = 1), and exponent(x) is the
  library's exponent (x = 0.ddd * 10^exponent).
- div from 250 places: PLACES grows by exponent(a) - exponent(b) when that is
  positive; the quotient rounded half away from zero to PLACES + 1 digits.
- sqrt: rounded half away from zero to PLACES + 1 significant digits.
- round: rounded half away from zero to PLACES + 1 significant digits.
Division from 250 places and square roots are computed by Newton's
iteration; the library settles results that lie near a rounding tie
exactly, so the table also holds exact ties (a quotient or root that ends
in a 5 just after the kept digits) and results a hair away from one.

tests/data/bignum_reference_long.txt holds quotients and square roots at
250, 600, 2000 and 6000 places in the same form, ties and near ties among
them.

Usage: bignum_reference.py [--seed N] [--count N] [--long-output PATH] [OUTPUT]
"""
import argparse
import os
import random
from decimal import Decimal, Context, ROUND_DOWN, ROUND_HALF_UP, Inexact

BIG = Context(prec=200000, Emax=10**9, Emin=-10**9)


def apm_exponent(x):
    """Exponent e of x = 0.ddd * 10^e (x not zero)."""
    return x.adjusted() + 1


def mantissa_digits(x):
    """Significant digits of x without leading or trailing zeros."""
    digits = ''.join(map(str, x.as_tuple().digits)).lstrip('0').rstrip('0')
    return digits


def to_apm_string(x):
    """The text of m_apm_to_string (x, -1)."""
    if x == 0:
        return '0.0E+0'
    digits = mantissa_digits(x)
    e = x.adjusted()
    text = '-' if x < 0 else ''
    text += digits[0]
    if len(digits) > 1:
        text += '.' + digits[1:]
    text += 'E%s%d' % ('+' if e >= 0 else '', e)
    return text


def rounded(x, digits, rounding):
    ctx = Context(prec=digits, rounding=rounding, Emax=10**9, Emin=-10**9)
    return ctx.plus(x)


def divide_reference(a, b, places):
    if b == 0 or a == 0:
        return Decimal(0)
    if places <= 249:
        first = mantissa_digits(b)[:2].ljust(2, '0')
        k = 100 // (int(first) + 1) if int(first) < 50 else 1
        d = apm_exponent(BIG.multiply(abs(a), Decimal(k))) - apm_exponent(b)
        wanted = places + 1 if d < 1 else d + places + 1
        ctx = Context(prec=wanted, rounding=ROUND_DOWN, Emax=10**9, Emin=-10**9)
        return ctx.divide(a, b)
    d = apm_exponent(a) - apm_exponent(b)
    p = places + (d if d > 0 else 0)
    ctx = Context(prec=p + 1, rounding=ROUND_HALF_UP, Emax=10**9, Emin=-10**9)
    return ctx.divide(a, b)


def sqrt_reference(a, places):
    if a <= 0:
        return Decimal(0)
    # Decimal's square root always rounds half to even: take it 30 digits
    # longer (exact whenever the root has at most that many digits), then
    # round half away from zero.
    longer = Context(prec=places + 31, Emax=10**9, Emin=-10**9).sqrt(a)
    return rounded(longer, places + 1, ROUND_HALF_UP)


def reference(op, places, a, b):
    if op == 'add':
        return BIG.add(a, b)
    if op == 'sub':
        return BIG.subtract(a, b)
    if op == 'mul':
        return BIG.multiply(a, b)
    if op == 'div':
        return divide_reference(a, b, places)
    if op == 'sqrt':
        return sqrt_reference(a, places)
    if op == 'round':
        return rounded(a, places + 1, ROUND_HALF_UP)
    raise ValueError(op)


# ---------------------------------------------------------------------------
# Random operands

def digit_count(rng, low=1, high=2000):
    """Log-uniform length, so that short and long operands both appear."""
    import math
    return max(low, min(high, int(round(math.exp(rng.uniform(math.log(low), math.log(high)))))))


def random_digits(rng, n):
    digits = [str(rng.randint(1, 9))] + [str(rng.randint(0, 9)) for _ in range(n - 1)]
    # Now and then a run of nines or zeros, for carries and borrows.
    if n > 4 and rng.random() < 0.3:
        start = rng.randint(1, n - 1)
        end = rng.randint(start, n)
        fill = rng.choice('09')
        for i in range(start, end):
            digits[i] = fill
    return ''.join(digits)


def write_text(rng, digits, exponent):
    """Decimal text of 0.digits * 10^exponent in one of several forms."""
    sign = rng.choice(['', '', '-', '+'])
    form = rng.random()
    n = len(digits)
    if form < 0.35 and -30 <= exponent <= n + 30:
        # Plain fixed point, with the point where the exponent says.
        if exponent <= 0:
            text = '0.' + '0' * (-exponent) + digits
            if rng.random() < 0.3:
                text = text[1:]            # ".000123"
        elif exponent >= n:
            text = digits + '0' * (exponent - n)
            if rng.random() < 0.3:
                text += '.'
        else:
            text = digits[:exponent] + '.' + digits[exponent:]
        if rng.random() < 0.2:
            text = '00' + text              # leading zeros
        if '.' in text and rng.random() < 0.2:
            text += '000'                   # trailing zeros
        return sign + text
    # Scientific: d.dddE+x, or the point elsewhere with a matching exponent.
    point = rng.randint(0, n)
    e = exponent - point
    mant = digits[:point] + '.' + digits[point:] if point < n else digits
    mark = rng.choice(['E', 'e'])
    return '%s%s%s%+d' % (sign, mant if mant[0] != '.' or rng.random() < 0.5 else '0' + mant, mark, e)


def random_operand(rng, n=None, exponent_range=60):
    if n is None:
        n = digit_count(rng)
    digits = random_digits(rng, n)
    exponent = rng.randint(-exponent_range, exponent_range)
    text = write_text(rng, digits, exponent)
    return text


def make_case(rng, op, long_case=False):
    while True:
        n_a = rng.randint(1500, 2000) if long_case else None
        n_b = rng.randint(1500, 2000) if long_case else None
        a_text = random_operand(rng, n_a)
        b_text = random_operand(rng, n_b) if op in ('add', 'sub', 'mul', 'div') else '-'
        places = 0
        if op in ('div', 'sqrt', 'round'):
            r = rng.random()
            if r < 0.4:
                places = rng.randint(0, 249)
            elif r < 0.55:
                places = rng.choice([0, 1, 2, 248, 249, 250, 251])
            else:
                places = digit_count(rng, 250, 1500)
        a = Decimal(a_text)
        if op == 'sqrt':
            if a < 0:
                a_text = a_text[1:] if a_text[0] in '+-' else a_text
                a = Decimal(a_text)
        if op in ('div', 'sqrt') and places >= 250 and rng.random() < 0.3:
            # An exact tie: the result is q, whose digit after the kept ones
            # is its last digit, a 5.
            length = rng.randint(280, 999 if op == 'sqrt' else 1500)
            q = Decimal('0.' + random_digits(rng, length) + '5').scaleb(rng.randint(-20, 20), context=BIG)
            if op == 'sqrt':
                a = BIG.multiply(q, q)
            else:
                b = Decimal(random_operand(rng, rng.randint(1, 30)))
                a = BIG.multiply(q, b)
                b_text = str(b)
                # Places as the division counts them, so that q's last digit
                # is the first one cut.
                d = apm_exponent(a) - apm_exponent(b)
                places = len(mantissa_digits(q)) - 2 - (d if d > 0 else 0)
                if places < 250:
                    continue
            if op == 'sqrt':
                places = len(mantissa_digits(q)) - 2
                if places < 250:
                    continue
            if rng.random() < 0.5:
                # Or a hair away from the tie, on either side.
                eps = Decimal(rng.choice([1, -1])).scaleb(-(length + rng.randint(2, 12)), context=BIG)
                a = BIG.multiply(a, BIG.add(Decimal(1), eps))
            a_text = str(a)
        if op == 'round' and rng.random() < 0.4:
            # A tie: the digit after the kept ones is a 5, followed by
            # nothing or by zeros in the text.
            digits = mantissa_digits(a)
            if len(digits) >= 2:
                places = rng.randint(0, len(digits) - 2)
                tie = digits[:places + 1] + '5'
                exponent = apm_exponent(a)
                sign = '-' if a < 0 else ''
                a_text = '%s0.%s%sE%+d' % (sign, tie, '0' * rng.randint(0, 3), exponent)
                a = Decimal(a_text)
        b = Decimal(b_text) if b_text != '-' else None
        if op == 'div' and b == 0:
            continue
        result = reference(op, places, a, b)
        return '%s %d %s %s %s' % (op, places, a_text, b_text, to_apm_string(result))


def fixed_cases():
    """Cases at the edges the random ones rarely reach."""
    cases = [
        ('add', 0, '1E+100', '1E-100'),
        ('add', 0, '99.99', '0.01'),
        ('add', 0, '-99.99', '-0.01'),
        ('sub', 0, '1', '0.0000000001'),
        ('sub', 0, '123.456', '123.456'),
        ('sub', 0, '-5', '3'),
        ('add', 0, '0', '-7.25'),
        ('sub', 0, '0', '7.25'),
        ('mul', 0, '0', '123'),
        ('mul', 0, '-99', '99'),
        ('mul', 0, '9' * 94, '9' * 94),
        ('mul', 0, '9' * 95, '9' * 95),
        ('mul', 0, '9' * 96, '-' + '9' * 96),
        ('mul', 0, '9' * 128, '9' * 129),
        ('div', 2, '1', '3'),
        ('div', 2, '100', '3'),
        ('div', 2, '2', '3'),
        ('div', 4, '2', '2'),
        ('div', 249, '2', '3'),
        ('div', 250, '2', '3'),
        ('div', 249, '-1', '7'),
        ('div', 250, '-1', '7'),
        ('div', 0, '1E+300', '7'),
        ('div', 30, '1', '1E+300'),
        ('div', 5, '999999', '0.000001'),
        ('sqrt', 9, '2', '-'),
        ('sqrt', 20, '1E+10', '-'),
        ('sqrt', 20, '1E+11', '-'),
        ('sqrt', 20, '1E-11', '-'),
        ('sqrt', 20, '0.0004', '-'),
        ('sqrt', 249, '2', '-'),
        ('sqrt', 250, '2', '-'),
        ('sqrt', 300, '0', '-'),
        ('round', 2, '1.2345', '-'),
        ('round', 2, '1.235', '-'),
        ('round', 2, '-1.235', '-'),
        ('round', 2, '9.999', '-'),
        ('round', 0, '0.5', '-'),
        ('round', 0, '-0.05', '-'),
        ('round', 5, '12', '-'),
    ]
    lines = []
    for op, places, a_text, b_text in cases:
        a = Decimal(a_text)
        b = Decimal(b_text) if b_text != '-' else None
        result = reference(op, places, a, b)
        lines.append('%s %d %s %s %s' % (op, places, a_text, b_text, to_apm_string(result)))
    return lines


def hair_away(x, length, rng):
    """x moved up or down by a few units of its digit length + 3 .. length +
    10: a value whose quotient or root lies a hair from a tie."""
    unit = Decimal(rng.choice([1, -1])).scaleb(apm_exponent(x) - length - rng.randint(3, 10), context=BIG)
    return BIG.add(x, BIG.multiply(unit, Decimal(rng.randint(1, 9))))


def long_cases(rng):
    """Quotients and square roots at the lengths that Newton's iteration
    reaches in practice: for each length a random case, an exact tie and a
    hair on either side of it."""
    lines = []
    for places in (250, 600, 2000, 6000):
        for op in ('div', 'sqrt'):
            a = Decimal(random_operand(rng, places + rng.randint(-40, 40), 20))
            if op == 'sqrt':
                a = abs(a)
            b = Decimal(random_operand(rng, places + rng.randint(-40, 40), 20)) if op == 'div' else None
            cases = [(a, b)]
            # q has places + 2 digits and ends in 5: the digit after the
            # kept ones is a 5 and nothing follows.
            q = Decimal('0.' + random_digits(rng, places + 1) + '5')
            if op == 'div':
                # A short divisor keeps the dividend's exponent at most the
                # divisor's, so the division keeps places + 1 digits of q.
                b = Decimal(random_operand(rng, rng.randint(1, 30), 20))
                tie = BIG.multiply(q, b)
            else:
                tie = BIG.multiply(q, q).scaleb(2 * rng.randint(-10, 10), context=BIG)
            # The hair lies a few digits beyond the dividend's last digit,
            # or beyond the root's tie digit: the reference root below sees
            # only 30 digits past the kept ones.
            length = len(mantissa_digits(tie)) if op == 'div' else places + 2
            cases += [(tie, b), (hair_away(tie, length, rng), b), (hair_away(tie, length, rng), b)]
            for x, y in cases:
                result = reference(op, places, x, y)
                lines.append('%s %d %s %s %s' % (op, places, x, y if y is not None else '-',
                                                 to_apm_string(result)))
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--seed', type=int, default=20240611)
    parser.add_argument('--count', type=int, default=45, help='random cases per operation')
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument('output', nargs='?',
                        default=os.path.join(root, 'tests', 'data', 'bignum_reference.txt'))
    parser.add_argument('--long-output',
                        default=os.path.join(root, 'tests', 'data', 'bignum_reference_long.txt'))
    args = parser.parse_args()
    rng = random.Random(args.seed)
    lines = fixed_cases()
    for op in ('add', 'sub', 'mul', 'div', 'sqrt', 'round'):
        for i in range(args.count):
            lines.append(make_case(rng, op, long_case=(i < 2)))
    with open(args.output, 'w', newline='\n') as f:
        f.write('# Generated by tools/bignum_reference.py --seed %d --count %d\n' % (args.seed, args.count))
        f.write('# OP PLACES A B RESULT (results from Python decimal)\n')
        for line in lines:
            f.write(line + '\n')
    with open(args.long_output, 'w', newline='\n') as f:
        f.write('# Generated by tools/bignum_reference.py --seed %d\n' % args.seed)
        f.write('# OP PLACES A B RESULT at 250, 600, 2000 and 6000 places: per length and\n')
        f.write('# operation a random case, an exact tie, and two cases a hair from a tie\n')
        for line in long_cases(random.Random(args.seed + 1)):
            f.write(line + '\n')


if __name__ == '__main__':
    main()
