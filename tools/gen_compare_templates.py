#!/usr/bin/env python3
"""Writes compiler/templates/compare_t3.S: the comparison and logic
templates of the formula compiler, in their plain forms (operations 32 to
40: FCOM/FTST, FNSTSW AX, SAHF, then the value 1.0 or 0.0 by a short jump
between FLDZ and FLD1) and their "_opt" forms (operations 155 to 163:
FCOMIP, ending with FLD1; FLDZ; FCMOVcc ST, ST(1); FSTP ST(1)).

The templates follow one scheme per operation, so they are generated; the
script also prints the TemplateList.h lines (scratch registers and frame
bytes as the simulated x87 stack of each template gives them).

Usage: tools/gen_compare_templates.py [output.S]   (default: the file above)
"""
import os
import struct
import sys

FOOTPRINT = {"r": 1, "c": 2, "q": 4, "col": 4}

# operation: (plain number, opt number, jumpIfTrue, jumpIfFalse)
OPERATIONS = {
    "and": (32, 155, 0x85, 0x84),
    "or": (33, 156, 0x85, 0x84),
    "equ": (34, 157, 0x84, 0x85),
    "ge": (35, 158, 0x86, 0x87),
    "le": (36, 159, 0x83, 0x82),
    "nequ": (37, 160, 0x85, 0x84),
    "lt": (38, 161, 0x87, 0x86),
    "gt": (39, 162, 0x82, 0x83),
    "not": (40, 163, 0x84, 0x85),
}
PAIRS = ["rr", "rc", "rq", "cr", "cc", "cq", "qr", "qc", "qq"]
SIGNATURES = {op: PAIRS for op in OPERATIONS}
SIGNATURES["equ"] = PAIRS + ["colcol"]
SIGNATURES["nequ"] = PAIRS + ["colcol"]
SIGNATURES["not"] = ["r", "c", "q"]

JCC = {0x82: "jb", 0x83: "jae", 0x84: "je", 0x85: "jne", 0x86: "jbe", 0x87: "ja"}
FCMOV = {0x82: "fcmovb", 0x83: "fcmovnb", 0x84: "fcmove", 0x85: "fcmovne",
         0x86: "fcmovbe", 0x87: "fcmovnbe"}

EPS = 1e-11
EPS_LO, EPS_HI = struct.unpack("<II", struct.pack("<d", EPS))


def split(sig):
    """Operand letters of a signature, first (deepest) first."""
    if sig == "colcol":
        return ["col", "col"]
    return list(sig)


class Emitter:
    """Collects the instructions of one template and follows the x87 depth
    (registers above the ones below the operands)."""

    def __init__(self, depth):
        self.lines = []
        self.depth = depth
        self.peak = depth
        self.frame = 0

    def op(self, text, delta=0, frame=0):
        self.lines.append("    " + text)
        self.depth += delta
        self.peak = max(self.peak, self.depth)
        self.frame = max(self.frame, frame)

    def label(self, name):
        self.lines.append(name + ":")

    def pop(self, count):
        for _ in range(count):
            self.op("fstp    st(0)", -1)


def drop_extra_components(e, kb, ka):
    """[b0 .. b(kb-1), a0 .. a(ka-1)] -> [b0, a0]."""
    for _ in range(kb - 1):
        e.op("fstp    st(1)", -1)
    for _ in range(ka - 1):
        e.op("fxch    st(1)")
        e.op("fstp    st(2)", -1)


def set_epsilon(e):
    e.op("mov     dword ptr [ebp-8], 0x%08X" % EPS_LO, frame=8)
    e.op("mov     dword ptr [ebp-4], 0x%08X   /* 1e-11 */" % EPS_HI, frame=8)


def materialise(e, jump_true):
    """Plain forms: the flags set by the last SAHF select 1.0 or 0.0."""
    e.op("sahf")
    e.op("%-7s 2f" % JCC[jump_true])
    e.op("fldz", 1)
    e.op("jmp     3f")
    e.depth -= 1
    e.label("2")
    e.op("fld1", 1)
    e.label("3")


def tail(e, jump_true):
    """_opt forms: the 8-byte tail that turns the flags into 1.0 or 0.0."""
    e.op("fld1", 1)
    e.op("fldz", 1)
    e.op("%-7s st, st(1)" % FCMOV[jump_true])
    e.op("fstp    st(1)", -1)


def ordering(e, name, kb, ka, opt, jump_true):
    """gt, ge, le, lt: the real parts, b0 (top) against a0. A comparison
    with a NaN is false: the unordered flags (all set) are cleared where
    they would read as true (gt: carry, ge: carry or zero)."""
    n = ka + kb
    nan_fix = name in ("gt", "ge")
    if opt:
        e.op("fcomip  st, st(%d)" % kb, -1)
        e.pop(n - 1)
        if nan_fix:
            e.op("jnp     1f")
            e.op("test    esp, esp                /* NaN: neither carry nor zero */")
            e.label("1")
        tail(e, jump_true)
    else:
        e.op("fcom    st(%d)" % kb)
        e.op("fnstsw  ax")
        e.pop(n)
        if nan_fix:
            e.op("test    ah, 4")
            e.op("jz      1f")
            e.op("and     ah, 0xBE                /* NaN: clear C3 and C0 */")
            e.label("1")
        materialise(e, jump_true)


def equality(e, name, kb, ka, opt, jump_true):
    """equ, nequ of numbers: d = |b0 - a0| against 1e-11 (equ: d < 1e-11,
    nequ: d > 1e-11; a NaN makes both false)."""
    n = ka + kb
    set_epsilon(e)
    e.op("fsub    st, st(%d)" % kb)
    e.op("fabs")
    if opt:
        for _ in range(n - 1):
            e.op("fstp    st(1)", -1)
        e.op("fld     qword ptr [ebp-8]", 1)
        e.op("fcomip  st, st(1)", -1)            # 1e-11 against d
        if name == "equ":
            e.op("seta    al")
            e.pop(1)
            e.op("cmp     al, 1")
        else:
            e.op("setb    al")
            e.op("setnp   ah")
            e.pop(1)
            e.op("and     al, ah")
        tail(e, jump_true)
    else:
        e.op("fcomp   qword ptr [ebp-8]", -1)    # d against 1e-11
        e.op("fnstsw  ax")
        e.pop(n - 1)
        e.op("and     ah, 0x45")
        if name == "equ":
            e.op("cmp     ah, 1                   /* below, ordered */")
            e.op("sete    ah")
        else:
            e.op("setnz   ah                      /* not above */")
        e.op("shl     ah, 6")
        materialise(e, jump_true)


def colour_equality(e, name, opt, jump_true):
    """equ, nequ of colours: every channel as for numbers. The byte at
    [EBP-12] collects bit 0: a channel is not within 1e-11, bit 1: a
    channel differs by more (or is NaN), bit 2: a channel is NaN."""
    set_epsilon(e)
    e.op("mov     byte ptr [ebp-12], 0", frame=12)
    for _ in range(4):
        e.op("fsub    st, st(4)")
        e.op("fabs")
        e.op("fstp    st(4)", -1)                 # d over the channel of a
        e.op("fld     qword ptr [ebp-8]", 1)
        if opt:
            e.op("fcomip  st, st(4)", -1)
        else:
            e.op("fcomp   st(4)", -1)
            e.op("fnstsw  ax")
            e.op("sahf")
        e.op("setbe   al")
        e.op("setb    ah")
        e.op("setp    byte ptr [ebp-16]", frame=16)
        e.op("shl     ah, 1")
        e.op("or      al, ah")
        e.op("mov     ah, [ebp-16]")
        e.op("shl     ah, 2")
        e.op("or      al, ah")
        e.op("or      [ebp-12], al")
    e.pop(4)
    if opt:
        if name == "equ":
            e.op("test    byte ptr [ebp-12], 1")
        else:
            e.op("mov     al, [ebp-12]")
            e.op("and     al, 6")
            e.op("cmp     al, 2")
            e.op("sete    al")
            e.op("test    al, al")
        tail(e, jump_true)
    else:
        e.op("mov     ah, [ebp-12]")
        if name == "equ":
            e.op("and     ah, 1")
            e.op("xor     ah, 1")
        else:
            e.op("and     ah, 6")
            e.op("cmp     ah, 2")
            e.op("setne   ah")
        e.op("shl     ah, 6")
        materialise(e, jump_true)


def logic(e, name, kb, ka, opt, jump_true):
    """and, or: the real parts taken as truth values (not 0; a NaN counts
    as false)."""
    combine = "and" if name == "and" else "or"
    if opt:
        drop_extra_components(e, kb, ka)
        e.op("fldz", 1)
        e.op("fcomip  st, st(1)", -1)
        e.op("setne   al")
        e.pop(1)
        e.op("fldz", 1)
        e.op("fcomip  st, st(1)", -1)
        e.op("setne   ah")
        e.pop(1)
        e.op("%-7s al, ah" % combine)
        tail(e, jump_true)
    else:
        e.op("ftst")
        e.op("fnstsw  ax")
        e.op("sahf")
        e.op("setne   byte ptr [ebp-12]", frame=12)
        e.pop(kb)
        e.op("ftst")
        e.op("fnstsw  ax")
        e.op("sahf")
        e.op("setne   al")
        e.pop(ka)
        e.op("%-7s al, [ebp-12]" % combine)
        e.op("xor     al, 1")
        e.op("shl     al, 6")
        e.op("mov     ah, al")
        materialise(e, jump_true)


def logical_not(e, k, opt, jump_true):
    """not: 1 when the real part is 0 (a NaN is not 0)."""
    if opt:
        for _ in range(k - 1):
            e.op("fstp    st(1)", -1)
        e.op("fldz", 1)
        e.op("fcomip  st, st(1)", -1)
        e.op("sete    al")
        e.op("setnp   ah")
        e.pop(1)
        e.op("and     al, ah")
        e.op("cmp     al, 1")
        tail(e, jump_true)
    else:
        e.op("ftst")
        e.op("fnstsw  ax")
        e.op("sahf")
        e.op("sete    al")
        e.op("setnp   ah")
        e.pop(k)
        e.op("and     al, ah")
        e.op("shl     al, 6")
        e.op("mov     ah, al")
        materialise(e, jump_true)


def template_name(op, sig, opt):
    if op == "not":
        return ("not_opt_%s" if opt else "not_%s") % sig
    return "%s_%s%s" % (op, sig, "_opt" if opt else "")


def generate(op, sig, opt):
    jump_true = OPERATIONS[op][2]
    operands = split(sig)
    sizes = [FOOTPRINT[t] for t in operands]
    n = sum(sizes)
    e = Emitter(n)
    if op == "not":
        logical_not(e, sizes[0], opt, jump_true)
    else:
        ka, kb = sizes
        if op in ("gt", "ge", "le", "lt"):
            ordering(e, op, kb, ka, opt, jump_true)
        elif sig == "colcol":
            colour_equality(e, op, opt, jump_true)
        elif op in ("equ", "nequ"):
            equality(e, op, kb, ka, opt, jump_true)
        else:
            logic(e, op, kb, ka, opt, jump_true)
    assert e.depth == 1, (op, sig, opt, e.depth)
    name = template_name(op, sig, opt)
    scratch = max(0, e.peak - n)
    return name, e.lines, scratch, e.frame


HEADER = """/* Comparison and logic templates (generated by
   tools/gen_compare_templates.py; edit the script, not this file).

   Plain forms (operations 32 to 40) set the flags with FCOM / FTST,
   FNSTSW AX and SAHF and then select 1.0 or 0.0 with a short jump between
   FLDZ and FLD1; "_opt" forms (155 to 163) compare with FCOMIP and end
   with FLD1; FLDZ; FCMOVcc ST, ST(1); FSTP ST(1). Used for a conditional
   jump, a plain form is cut after its last SAHF and an "_opt" form loses
   its last 8 bytes: the flags then select the jump of the operation's
   jump bytes.

   Meaning (as the IFS stack machine defines these operators):
   - >, >=, <, <= compare the real parts (component 0) of both operands;
   - == is true when the real parts differ by less than 1e-11, != when
     they differ by more; colours compare all four channels that way;
   - &&, || and ! take the real part as the truth value (not 0);
   - every comparison involving a NaN is false (! of a NaN too).
   Results are 1.0 or 0.0. Frame scratch: 1e-11 at [EBP-8], flag bytes at
   [EBP-12] and [EBP-16]. */
#include "TemplateAsm.h"
"""


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "compiler", "templates", "compare_t3.S")
    text = [HEADER]
    listing = []
    for opt in (False, True):
        for op in OPERATIONS:
            number = OPERATIONS[op][1 if opt else 0]
            for sig in SIGNATURES[op]:
                name, lines, scratch, frame = generate(op, sig, opt)
                text.append("\nTEMPLATE %s\n%s\nEND_TEMPLATE %s\n" % (name, "\n".join(lines), name))
                listing.append("%d %s %s %d %d" % (number, name, sig, scratch, frame))
    with open(out, "w") as f:
        f.write("".join(text))
    for line in listing:
        number, name, sig, scratch, frame = line.split()
        print("%s: TPL(%s, %s, r, %s, %s)" % (number, name, sig, scratch, frame))


if __name__ == "__main__":
    main()
