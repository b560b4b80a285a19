/* Templates of operations 1 to 15 (functions, arithmetic, negation,
   logarithm and exponential) and the placeholder list of the runtime
   constants. */
#include "TemplateAsm.h"
#include "MathMacros.h"

/* ---------------------------------------------------------------------
   101 collectReferences: not code. One LEA EAX, [placeholder] (8D 05
   imm32) per runtime constant, in index order; the constant fix-up reads
   the placeholders from here. */
TEMPLATE collectReferences
    lea     eax, [RC_ONE]
    lea     eax, [RC_HALF]
    lea     eax, [RC_LOG2E]
    lea     eax, [RC_LN2_HALF]
    lea     eax, [RC_LN2]
    lea     eax, [RC_LOG2_10]
    lea     eax, [RC_LOG10_2_HALF]
    lea     eax, [RC_LOG10_2]
    lea     eax, [RC_CW_NEAREST]
    lea     eax, [RC_CW_DOWN]
    lea     eax, [RC_CW_UP]
    lea     eax, [RC_CW_FLOOR]
    lea     eax, [RC_CW_TRUNC]
    lea     eax, [RC_CW_ROUND]
    lea     eax, [RC_TINY]
    lea     eax, [RC_E]
    lea     eax, [RC_THREE]
    lea     eax, [RC_FOUR]
    lea     eax, [RC_SIX]
    lea     eax, [RC_SIXTH]
    lea     eax, [RC_TWENTYFIVE]
    lea     eax, [RC_INV255]
    lea     eax, [RC_TEN]
    lea     eax, [RC_FIFTEEN]
    lea     eax, [RC_SIGN_MASK_X4]
    lea     eax, [RC_TWO23_X4]
    lea     eax, [RC_ONE_X4]
    lea     eax, [RC_TEN_X4]
    lea     eax, [RC_FIFTEEN_X4]
    lea     eax, [RC_SIX_X4]
    lea     eax, [RC_MILLION]
END_TEMPLATE collectReferences

/* ---------------------------------------------------------------------
   13 neg: every component negated. */
TEMPLATE neg_r
    fchs
END_TEMPLATE neg_r

TEMPLATE neg_c
    fchs
    fxch    st(1)
    fchs
    fxch    st(1)
END_TEMPLATE neg_c

TEMPLATE neg_v
    fchs
    fxch    st(1)
    fchs
    fxch    st(2)
    fchs
    fxch    st(2)
    fxch    st(1)
END_TEMPLATE neg_v

TEMPLATE neg_q
    fchs
    fxch    st(1)
    fchs
    fxch    st(2)
    fchs
    fxch    st(3)
    fchs
    fxch    st(3)
    fxch    st(2)
    fxch    st(1)
END_TEMPLATE neg_q

/* ---------------------------------------------------------------------
   1 sin, 2 cos, 3 tan. Complex: sin(x+iy) = (sin x cosh y, cos x sinh y),
   cos(x+iy) = (cos x cosh y, -sin x sinh y),
   tan(x+iy) = (sin x cos x, sinh y cosh y) / (cos^2 x + sinh^2 y), whose
   imaginary part is the sign of y once |y| > 64. */
TEMPLATE sin_r
    SINCOS_ST0
    fstp    st(1)
END_TEMPLATE sin_r

TEMPLATE sin_c
    fxch    st(1)                   /* y x */
    SINHCOSH_ST0                    /* sh ch x */
    fxch    st(2)                   /* x ch sh */
    SINCOS_ST0                      /* s c ch sh */
    fmulp   st(2), st               /* c s*ch sh */
    fmulp   st(2), st               /* s*ch c*sh */
END_TEMPLATE sin_c

TEMPLATE cos_r
    SINCOS_ST0
    fstp    st(0)
END_TEMPLATE cos_r

TEMPLATE cos_c
    fxch    st(1)
    SINHCOSH_ST0                    /* sh ch x */
    fxch    st(2)
    SINCOS_ST0                      /* s c ch sh */
    fxch    st(1)                   /* c s ch sh */
    fmulp   st(2), st               /* s c*ch sh */
    fmulp   st(2), st               /* c*ch s*sh */
    fxch    st(1)
    fchs
    fxch    st(1)
END_TEMPLATE cos_c

TEMPLATE tan_r
    SINCOS_ST0                      /* s c */
    fdivrp  st(1), st               /* s/c */
END_TEMPLATE tan_r

TEMPLATE tan_c
    fld     st(1)
    fabs
    mov     dword ptr [ebp-4], 0x42800000      /* 64.0f */
    fcomp   dword ptr [ebp-4]
    fnstsw  ax
    sahf
    ja      .Ltan_big
    fxch    st(1)
    SINHCOSH_ST0                    /* sh ch x */
    fxch    st(2)
    SINCOS_ST0                      /* s c ch sh */
    fmul    st, st(1)               /* s*c c ch sh */
    fstp    tbyte ptr SLOT(0)       /* c ch sh */
    fmul    st, st(0)               /* c^2 ch sh */
    fld     st(2)
    fmul    st, st(0)
    faddp   st(1), st               /* d ch sh */
    fxch    st(2)                   /* sh ch d */
    fmulp   st(1), st
    fdiv    st, st(1)               /* im d */
    fld     tbyte ptr SLOT(0)
    fdivrp  st(2), st               /* im re */
    fxch    st(1)
    jmp     .Ltan_done
.Ltan_big:
    fxch    st(1)
    SINHCOSH_ST0                    /* sh ch x */
    fstp    st(1)                   /* sh x */
    fxch    st(1)
    SINCOS_ST0                      /* s c sh */
    fmulp   st(1), st               /* s*c sh */
    fdiv    st, st(1)
    fdiv    st, st(1)               /* re sh */
    fxch    st(1)
    fxam
    fnstsw  ax
    fstp    st(0)
    fld1
    test    ah, 2
    jz      .Ltan_pos
    fchs
.Ltan_pos:
    fxch    st(1)
.Ltan_done:
END_TEMPLATE tan_c

/* ---------------------------------------------------------------------
   4 asin, 5 acos, 6 atan. Reals: asin x = atan2(x, sqrt((1-x)(1+x))),
   acos x = atan2(sqrt((1-x)(1+x)), x), NaN outside [-1, 1]. Complex: the
   principal branches, with the cuts and signed zeros of C99 casin, cacos,
   catan. */
TEMPLATE asin_r
    fld     dword ptr [RC_ONE]
    fsub    st, st(1)
    fld     dword ptr [RC_ONE]
    fadd    st, st(2)
    fmulp   st(1), st
    fsqrt                           /* sqrt(1-x^2) x */
    fpatan
END_TEMPLATE asin_r

TEMPLATE acos_r
    fld     dword ptr [RC_ONE]
    fsub    st, st(1)
    fld     dword ptr [RC_ONE]
    fadd    st, st(2)
    fmulp   st(1), st
    fsqrt
    fxch    st(1)                   /* x sqrt(1-x^2) */
    fpatan
END_TEMPLATE acos_r

TEMPLATE atan_r
    fld1
    fpatan
END_TEMPLATE atan_r

/* The common part of complex asin and acos (after Hull, Fairgrieve and
   Tang), from the operands x (top) and y. With X = |x|, Y = |y|,
   R = |X+1 + iY|, S = |X-1 + iY|, A = (R+S)/2:
   I = ln(A + sqrt(A^2-1)), computed as log1p(Am1 + sqrt(Am1 (A+1))) with
   Am1 = A-1 taken apart for A <= 1.5; the real part of asin is
   atan2(N, D) and that of acos atan2(D, N), with N = X/A and
   D = sqrt(1 - N^2) while X/A <= 0.640625, else N = X and D the
   cancellation-free form of sqrt(A^2 - X^2).
   Leaves D, N with the sign of x, I with the sign of y.
   Slots: 0 x, 1 y, 2 X, 3 Y, 4 R, 5 S, 6 A, 7 R+X+1. */
.macro CASIN_PARTS
    fstp    tbyte ptr SLOT(0)
    fstp    tbyte ptr SLOT(1)
    fld     tbyte ptr SLOT(0)
    fabs
    fstp    tbyte ptr SLOT(2)
    fld     tbyte ptr SLOT(1)
    fabs
    fstp    tbyte ptr SLOT(3)
    fld     tbyte ptr SLOT(2)
    fadd    dword ptr [RC_ONE]
    fmul    st, st(0)
    fld     tbyte ptr SLOT(3)
    fmul    st, st(0)
    faddp   st(1), st
    fsqrt
    fld     st(0)
    fstp    tbyte ptr SLOT(4)                  /* R */
    fld     tbyte ptr SLOT(2)
    faddp   st(1), st
    fadd    dword ptr [RC_ONE]
    fstp    tbyte ptr SLOT(7)                  /* R+X+1 */
    fld     tbyte ptr SLOT(2)
    fsub    dword ptr [RC_ONE]
    fmul    st, st(0)
    fld     tbyte ptr SLOT(3)
    fmul    st, st(0)
    faddp   st(1), st
    fsqrt
    fld     st(0)
    fstp    tbyte ptr SLOT(5)                  /* S */
    fld     tbyte ptr SLOT(4)
    faddp   st(1), st
    fmul    dword ptr [RC_HALF]
    fld     st(0)
    fstp    tbyte ptr SLOT(6)                  /* A */
    mov     dword ptr [ebp-4], 0x3FC00000      /* 1.5f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    ja      .Lcas_alarge\@
    fstp    st(0)
    fld     tbyte ptr SLOT(3)
    fmul    st, st(0)                          /* Y^2 */
    fld     st(0)
    fld     tbyte ptr SLOT(7)
    fdivp   st(1), st                          /* t1 = Y^2/(R+X+1), Y^2 */
    fld     tbyte ptr SLOT(2)
    fcomp   dword ptr [RC_ONE]
    fnstsw  ax
    sahf
    jae     .Lcas_xge1\@
    fxch    st(1)                              /* Y^2 t1 */
    fld     dword ptr [RC_ONE]
    fld     tbyte ptr SLOT(2)
    fsubp   st(1), st                          /* 1-X Y^2 t1 */
    fld     tbyte ptr SLOT(5)
    faddp   st(1), st
    fdivp   st(1), st                          /* Y^2/(S+1-X) t1 */
    jmp     .Lcas_sum\@
.Lcas_xge1\@:
    fstp    st(1)                              /* t1 */
    fld     tbyte ptr SLOT(2)
    fsub    dword ptr [RC_ONE]
    fld     tbyte ptr SLOT(5)
    faddp   st(1), st                          /* S+X-1 t1 */
.Lcas_sum\@:
    faddp   st(1), st
    fmul    dword ptr [RC_HALF]                /* Am1 */
    fld     tbyte ptr SLOT(6)
    fadd    dword ptr [RC_ONE]
    fmul    st, st(1)
    fsqrt
    faddp   st(1), st
    LOG1P_ST0                                  /* I */
    jmp     .Lcas_imag\@
.Lcas_alarge\@:
    fld     st(0)
    fsub    dword ptr [RC_ONE]
    fld     st(1)
    fadd    dword ptr [RC_ONE]
    fmulp   st(1), st
    fsqrt
    faddp   st(1), st
    LN_ST0                                     /* I */
.Lcas_imag\@:
    test    byte ptr [ebp-30-10*1+9], 0x80     /* sign of y */
    jz      .Lcas_ipos\@
    fchs
.Lcas_ipos\@:
    fld     tbyte ptr SLOT(2)
    fld     tbyte ptr SLOT(6)
    fdivp   st(1), st                          /* B = X/A, I */
    mov     dword ptr [ebp-4], 0x3F240000      /* 0.640625f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    ja      .Lcas_bbig\@
    fld     dword ptr [RC_ONE]
    fsub    st, st(1)
    fld     dword ptr [RC_ONE]
    fadd    st, st(2)
    fmulp   st(1), st
    fsqrt                                      /* D B I */
    fxch    st(1)                              /* N D I */
    jmp     .Lcas_nsign\@
.Lcas_bbig\@:
    fstp    st(0)
    fld     tbyte ptr SLOT(2)
    fcomp   dword ptr [RC_ONE]
    fnstsw  ax
    sahf
    ja      .Lcas_xgt1\@
    /* X <= 1: D = sqrt((A+X)/2 (Y^2/(R+X+1) + S + 1 - X)) */
    fld     tbyte ptr SLOT(3)
    fmul    st, st(0)
    fld     tbyte ptr SLOT(7)
    fdivp   st(1), st
    fld     dword ptr [RC_ONE]
    fld     tbyte ptr SLOT(2)
    fsubp   st(1), st
    fld     tbyte ptr SLOT(5)
    faddp   st(1), st
    faddp   st(1), st
    fld     tbyte ptr SLOT(6)
    fld     tbyte ptr SLOT(2)
    faddp   st(1), st
    fmulp   st(1), st
    fmul    dword ptr [RC_HALF]
    fsqrt                                      /* D I */
    jmp     .Lcas_n\@
.Lcas_xgt1\@:
    /* X > 1: D = Y sqrt((A+X)/2 (1/(R+X+1) + 1/(S+X-1))) */
    fld     tbyte ptr SLOT(2)
    fsub    dword ptr [RC_ONE]
    fld     tbyte ptr SLOT(5)
    faddp   st(1), st                          /* S+X-1 I */
    fld     tbyte ptr SLOT(6)
    fld     tbyte ptr SLOT(2)
    faddp   st(1), st                          /* A+X S+X-1 I */
    fdivr   st(1), st                          /* A+X q2 I */
    fld     tbyte ptr SLOT(7)
    fdivr   st, st(1)                          /* q1 A+X q2 I */
    faddp   st(2), st
    fstp    st(0)
    fmul    dword ptr [RC_HALF]
    fsqrt
    fld     tbyte ptr SLOT(3)
    fmulp   st(1), st                          /* D I */
.Lcas_n\@:
    fld     tbyte ptr SLOT(2)                  /* N D I */
.Lcas_nsign\@:
    test    byte ptr [ebp-30-10*0+9], 0x80     /* sign of x */
    jz      .Lcas_npos\@
    fchs
.Lcas_npos\@:
    fxch    st(1)                              /* D N I */
.endm

TEMPLATE asin_c
    CASIN_PARTS
    fpatan                                     /* atan2(N, D) I */
END_TEMPLATE asin_c

TEMPLATE acos_c
    CASIN_PARTS
    fxch    st(1)
    fpatan                                     /* atan2(D, N) I */
    fxch    st(1)
    fchs
    fxch    st(1)
END_TEMPLATE acos_c

/* atan z = atan2(2x, (1-x)(1+x) - y^2)/2 + i log1p(4y / (x^2 + (1-y)^2))/4 */
TEMPLATE atan_c
    fstp    tbyte ptr SLOT(0)                  /* x */
    fstp    tbyte ptr SLOT(1)                  /* y */
    fld     tbyte ptr SLOT(0)
    fmul    st, st(0)
    fld     tbyte ptr SLOT(1)
    fsubr   dword ptr [RC_ONE]
    fmul    st, st(0)
    faddp   st(1), st                          /* x^2 + (1-y)^2 */
    fld     tbyte ptr SLOT(1)
    fmul    dword ptr [RC_FOUR]
    fdivrp  st(1), st
    LOG1P_ST0
    fmul    dword ptr [RC_HALF]
    fmul    dword ptr [RC_HALF]                /* im */
    fld     tbyte ptr SLOT(0)
    fadd    st, st(0)                          /* 2x im */
    fld     tbyte ptr SLOT(0)
    fsubr   dword ptr [RC_ONE]
    fld     tbyte ptr SLOT(0)
    fadd    dword ptr [RC_ONE]
    fmulp   st(1), st
    fld     tbyte ptr SLOT(1)
    fmul    st, st(0)
    fsubp   st(1), st                          /* (1-x)(1+x) - y^2, 2x, im */
    fpatan
    fmul    dword ptr [RC_HALF]
END_TEMPLATE atan_c

/* ---------------------------------------------------------------------
   7 abs: the absolute value of every component. */
TEMPLATE abs_r
    fabs
END_TEMPLATE abs_r

TEMPLATE abs_c
    fabs
    fxch    st(1)
    fabs
    fxch    st(1)
END_TEMPLATE abs_c

TEMPLATE abs_v
    fabs
    fxch    st(1)
    fabs
    fxch    st(2)
    fabs
    fxch    st(2)
    fxch    st(1)
END_TEMPLATE abs_v

TEMPLATE abs_q
    fabs
    fxch    st(1)
    fabs
    fxch    st(2)
    fabs
    fxch    st(3)
    fabs
    fxch    st(3)
    fxch    st(2)
    fxch    st(1)
END_TEMPLATE abs_q

/* ---------------------------------------------------------------------
   8 add. Operands a (deep) and b (top); the sum of the components they
   share, the other components of the larger operand kept. */
TEMPLATE add_rr
    faddp   st(1), st
END_TEMPLATE add_rr

TEMPLATE add_rc
    faddp   st(2), st               /* b.im a+b.re */
    fxch    st(1)
END_TEMPLATE add_rc

TEMPLATE add_rv
    faddp   st(3), st               /* y z a+x */
    fxch    st(1)
    fxch    st(2)
END_TEMPLATE add_rv

TEMPLATE add_rq
    faddp   st(4), st               /* q1 q2 q3 a+q0 */
    fxch    st(1)
    fxch    st(2)
    fxch    st(3)
END_TEMPLATE add_rq

TEMPLATE add_cr
    faddp   st(1), st
END_TEMPLATE add_cr

TEMPLATE add_cc
    faddp   st(2), st
    faddp   st(2), st
END_TEMPLATE add_cc

TEMPLATE add_cq
    faddp   st(4), st               /* q1 q2 q3 s0 c1 */
    faddp   st(4), st               /* q2 q3 s0 s1 */
    fxch    st(2)
    fxch    st(1)
    fxch    st(3)
    fxch    st(1)
END_TEMPLATE add_cq

TEMPLATE add_vr
    faddp   st(1), st
END_TEMPLATE add_vr

TEMPLATE add_vv
    faddp   st(3), st
    faddp   st(3), st
    faddp   st(3), st
END_TEMPLATE add_vv

TEMPLATE add_qr
    faddp   st(1), st
END_TEMPLATE add_qr

TEMPLATE add_qc
    faddp   st(2), st
    faddp   st(2), st
END_TEMPLATE add_qc

TEMPLATE add_qq
    faddp   st(4), st
    faddp   st(4), st
    faddp   st(4), st
    faddp   st(4), st
END_TEMPLATE add_qq

TEMPLATE add_colcol
    faddp   st(4), st
    faddp   st(4), st
    faddp   st(4), st
    faddp   st(4), st
END_TEMPLATE add_colcol

/* ---------------------------------------------------------------------
   9 sub: a - b. */
TEMPLATE sub_rr
    fsubp   st(1), st
END_TEMPLATE sub_rr

TEMPLATE sub_rc
    fsubp   st(2), st               /* b.im a-b.re */
    fchs
    fxch    st(1)
END_TEMPLATE sub_rc

TEMPLATE sub_rv
    fsubp   st(3), st               /* y z a-x */
    fchs
    fxch    st(1)
    fchs
    fxch    st(2)
END_TEMPLATE sub_rv

TEMPLATE sub_rq
    fsubp   st(4), st               /* q1 q2 q3 d */
    fchs
    fxch    st(1)
    fchs
    fxch    st(2)
    fchs
    fxch    st(3)
END_TEMPLATE sub_rq

TEMPLATE sub_cr
    fsubp   st(1), st
END_TEMPLATE sub_cr

TEMPLATE sub_cc
    fsubp   st(2), st
    fsubp   st(2), st
END_TEMPLATE sub_cc

TEMPLATE sub_cq
    fsubp   st(4), st               /* q1 q2 q3 d0 c1 */
    fsubp   st(4), st               /* q2 q3 d0 d1 */
    fchs
    fxch    st(1)
    fchs                            /* -q3 -q2 d0 d1 */
    fxch    st(3)
    fxch    st(1)
    fxch    st(2)
END_TEMPLATE sub_cq

TEMPLATE sub_vr
    fsubp   st(1), st
END_TEMPLATE sub_vr

TEMPLATE sub_vv
    fsubp   st(3), st
    fsubp   st(3), st
    fsubp   st(3), st
END_TEMPLATE sub_vv

TEMPLATE sub_qr
    fsubp   st(1), st
END_TEMPLATE sub_qr

TEMPLATE sub_qc
    fsubp   st(2), st
    fsubp   st(2), st
END_TEMPLATE sub_qc

TEMPLATE sub_qq
    fsubp   st(4), st
    fsubp   st(4), st
    fsubp   st(4), st
    fsubp   st(4), st
END_TEMPLATE sub_qq

TEMPLATE sub_colcol
    fsubp   st(4), st
    fsubp   st(4), st
    fsubp   st(4), st
    fsubp   st(4), st
END_TEMPLATE sub_colcol

/* ---------------------------------------------------------------------
   10 mult. Complex and quaternion (Hamilton) products, a times b; vv is
   the dot product; a real scales every component. */

/* Quaternion helpers on frame slots: QSTORE k pops a quaternion (top
   operand first) into slots k..k+3; the product of the quaternions in
   slots a..a+3 and b..b+3 is pushed component 3 first, so that component
   0 ends on top. A missing component (the j and k parts of a complex
   factor) is left out by the *_C forms. */
.macro QSTORE k
    fstp    tbyte ptr SLOT(\k)
    fstp    tbyte ptr SLOT(\k+1)
    fstp    tbyte ptr SLOT(\k+2)
    fstp    tbyte ptr SLOT(\k+3)
.endm

.macro CSTORE k
    fstp    tbyte ptr SLOT(\k)
    fstp    tbyte ptr SLOT(\k+1)
.endm

.macro PROD i, j
    fld     tbyte ptr SLOT(\i)
    fld     tbyte ptr SLOT(\j)
    fmulp   st(1), st
.endm
.macro ADDPROD i, j
    PROD    \i, \j
    faddp   st(1), st
.endm
.macro SUBPROD i, j
    PROD    \i, \j
    fsubp   st(1), st
.endm

/* r0 = a0b0 - a1b1 - a2b2 - a3b3, r1 = a0b1 + a1b0 + a2b3 - a3b2,
   r2 = a0b2 - a1b3 + a2b0 + a3b1, r3 = a0b3 + a1b2 - a2b1 + a3b0 */
.macro QMUL a, b
    PROD    \a, \b+3
    ADDPROD \a+1, \b+2
    SUBPROD \a+2, \b+1
    ADDPROD \a+3, \b
    PROD    \a, \b+2
    SUBPROD \a+1, \b+3
    ADDPROD \a+2, \b
    ADDPROD \a+3, \b+1
    PROD    \a, \b+1
    ADDPROD \a+1, \b
    ADDPROD \a+2, \b+3
    SUBPROD \a+3, \b+2
    PROD    \a, \b
    SUBPROD \a+1, \b+1
    SUBPROD \a+2, \b+2
    SUBPROD \a+3, \b+3
.endm

TEMPLATE mult_rr
    fmulp   st(1), st
END_TEMPLATE mult_rr

TEMPLATE mult_rc
    fmul    st, st(2)               /* a*c0 c1 a */
    fxch    st(1)
    fmulp   st(2), st               /* a*c0 a*c1 */
END_TEMPLATE mult_rc

TEMPLATE mult_rq
    fmul    st, st(4)
    fxch    st(1)
    fmul    st, st(4)
    fxch    st(2)
    fmul    st, st(4)
    fxch    st(3)                   /* q3 a*q0 a*q1 a*q2 a */
    fmulp   st(4), st
END_TEMPLATE mult_rq

TEMPLATE mult_cr
    fmul    st(1), st
    fmulp   st(2), st
END_TEMPLATE mult_cr

TEMPLATE mult_cc
    fld     st(0)                   /* b0 b0 b1 a0 a1 */
    fmul    st, st(3)               /* a0b0 b0 b1 a0 a1 */
    fld     st(2)
    fmul    st, st(5)               /* a1b1 a0b0 b0 b1 a0 a1 */
    fsubp   st(1), st               /* re b0 b1 a0 a1 */
    fxch    st(4)                   /* a1 b0 b1 a0 re */
    fmulp   st(1), st               /* a1b0 b1 a0 re */
    fxch    st(2)
    fmulp   st(1), st               /* a0b1 a1b0 re */
    faddp   st(1), st
    fxch    st(1)
END_TEMPLATE mult_cc

/* c q: (c0 + c1 i)(q0 + q1 i + q2 j + q3 k) */
TEMPLATE mult_cq
    QSTORE  2                       /* b = q in slots 2..5 */
    CSTORE  0                       /* a = c in slots 0, 1 */
    PROD    0, 5
    ADDPROD 1, 4                    /* r3 = a0b3 + a1b2 */
    PROD    0, 4
    SUBPROD 1, 5                    /* r2 = a0b2 - a1b3 */
    PROD    0, 3
    ADDPROD 1, 2                    /* r1 = a0b1 + a1b0 */
    PROD    0, 2
    SUBPROD 1, 3                    /* r0 = a0b0 - a1b1 */
END_TEMPLATE mult_cq

TEMPLATE mult_vv
    fmulp   st(3), st
    fmulp   st(3), st
    fmulp   st(3), st
    faddp   st(1), st
    faddp   st(1), st
END_TEMPLATE mult_vv

TEMPLATE mult_vr
    fmul    st(1), st
    fmul    st(2), st
    fmulp   st(3), st
END_TEMPLATE mult_vr

TEMPLATE mult_rv
    fmul    st, st(3)               /* ax y z a */
    fxch    st(1)
    fmul    st, st(3)               /* ay ax z a */
    fxch    st(2)                   /* z ax ay a */
    fmulp   st(3), st
END_TEMPLATE mult_rv

TEMPLATE mult_qr
    fmul    st(1), st
    fmul    st(2), st
    fmul    st(3), st
    fmulp   st(4), st
END_TEMPLATE mult_qr

/* q c: (q0 + q1 i + q2 j + q3 k)(c0 + c1 i) */
TEMPLATE mult_qc
    CSTORE  4                       /* b = c in slots 4, 5 */
    QSTORE  0                       /* a = q in slots 0..3 */
    PROD    3, 4
    SUBPROD 2, 5                    /* r3 = a3b0 - a2b1 */
    PROD    2, 4
    ADDPROD 3, 5                    /* r2 = a2b0 + a3b1 */
    PROD    0, 5
    ADDPROD 1, 4                    /* r1 = a0b1 + a1b0 */
    PROD    0, 4
    SUBPROD 1, 5                    /* r0 = a0b0 - a1b1 */
END_TEMPLATE mult_qc

TEMPLATE mult_qq
    QSTORE  4
    QSTORE  0
    QMUL    0, 4
END_TEMPLATE mult_qq

TEMPLATE mult_colr
    fmul    st(1), st
    fmul    st(2), st
    fmul    st(3), st
    fmulp   st(4), st
END_TEMPLATE mult_colr

TEMPLATE mult_rcol
    fmul    st, st(4)
    fxch    st(1)
    fmul    st, st(4)
    fxch    st(2)
    fmul    st, st(4)
    fxch    st(3)
    fmulp   st(4), st
END_TEMPLATE mult_rcol

/* ---------------------------------------------------------------------
   11 div: a / b = a times the inverse of b, conj(b) / |b|^2 (for
   quaternions on the right). */
TEMPLATE div_rr
    fdivp   st(1), st
END_TEMPLATE div_rr

TEMPLATE div_rc
    fld     st(0)
    fmul    st, st(0)
    fld     st(2)
    fmul    st, st(0)
    faddp   st(1), st               /* d c0 c1 a */
    fdivr   st, st(3)               /* a/d c0 c1 a */
    fmul    st(1), st
    fmulp   st(2), st               /* k*c0 k*c1 a */
    fxch    st(1)
    fchs
    fstp    st(2)                   /* k*c0 -k*c1 */
END_TEMPLATE div_rc

/* The inverse of the quaternion in slots k..k+3, in place. */
.macro QINVERSE k
    PROD    \k, \k
    ADDPROD \k+1, \k+1
    ADDPROD \k+2, \k+2
    ADDPROD \k+3, \k+3
    fld1
    fdivrp  st(1), st               /* 1/|q|^2 */
    fld     tbyte ptr SLOT(\k)
    fmul    st, st(1)
    fstp    tbyte ptr SLOT(\k)
    fld     tbyte ptr SLOT(\k+1)
    fmul    st, st(1)
    fchs
    fstp    tbyte ptr SLOT(\k+1)
    fld     tbyte ptr SLOT(\k+2)
    fmul    st, st(1)
    fchs
    fstp    tbyte ptr SLOT(\k+2)
    fld     tbyte ptr SLOT(\k+3)
    fmulp   st(1), st
    fchs
    fstp    tbyte ptr SLOT(\k+3)
.endm

/* The inverse of the complex number in slots k, k+1, in place. */
.macro CINVERSE k
    PROD    \k, \k
    ADDPROD \k+1, \k+1
    fld1
    fdivrp  st(1), st
    fld     tbyte ptr SLOT(\k)
    fmul    st, st(1)
    fstp    tbyte ptr SLOT(\k)
    fld     tbyte ptr SLOT(\k+1)
    fmulp   st(1), st
    fchs
    fstp    tbyte ptr SLOT(\k+1)
.endm

TEMPLATE div_rq
    QSTORE  0                       /* q */
    fstp    tbyte ptr SLOT(4)       /* a */
    QINVERSE 0
    PROD    4, 3
    PROD    4, 2
    PROD    4, 1
    PROD    4, 0
END_TEMPLATE div_rq

TEMPLATE div_cr
    fdiv    st(1), st
    fdivp   st(2), st
END_TEMPLATE div_cr

TEMPLATE div_cc
    fld     st(0)
    fmul    st, st(0)
    fld     st(2)
    fmul    st, st(0)
    faddp   st(1), st               /* d b0 b1 a0 a1 */
    fld1
    fdivrp  st(1), st               /* 1/d b0 b1 a0 a1 */
    fmul    st(1), st
    fmulp   st(2), st               /* p0 p1 a0 a1 */
    fld     st(0)
    fmul    st, st(3)               /* a0p0 p0 p1 a0 a1 */
    fld     st(2)
    fmul    st, st(5)               /* a1p1 a0p0 p0 p1 a0 a1 */
    faddp   st(1), st               /* re p0 p1 a0 a1 */
    fxch    st(4)
    fmulp   st(1), st               /* a1p0 p1 a0 re */
    fxch    st(2)
    fmulp   st(1), st               /* a0p1 a1p0 re */
    fsubp   st(1), st               /* im re */
    fxch    st(1)
END_TEMPLATE div_cc

TEMPLATE div_cq
    QSTORE  2                       /* b = q */
    CSTORE  0                       /* a = c */
    QINVERSE 2
    PROD    0, 5
    ADDPROD 1, 4
    PROD    0, 4
    SUBPROD 1, 5
    PROD    0, 3
    ADDPROD 1, 2
    PROD    0, 2
    SUBPROD 1, 3
END_TEMPLATE div_cq

TEMPLATE div_vr
    fdiv    st(1), st
    fdiv    st(2), st
    fdivp   st(3), st
END_TEMPLATE div_vr

TEMPLATE div_qr
    fdiv    st(1), st
    fdiv    st(2), st
    fdiv    st(3), st
    fdivp   st(4), st
END_TEMPLATE div_qr

/* q / c = q (c0 - c1 i) / |c|^2 */
TEMPLATE div_qc
    CSTORE  4
    QSTORE  0
    CINVERSE 4
    PROD    3, 4
    SUBPROD 2, 5
    PROD    2, 4
    ADDPROD 3, 5
    PROD    0, 5
    ADDPROD 1, 4
    PROD    0, 4
    SUBPROD 1, 5
END_TEMPLATE div_qc

TEMPLATE div_qq
    QSTORE  4
    QSTORE  0
    QINVERSE 4
    QMUL    0, 4
END_TEMPLATE div_qq

TEMPLATE div_colr
    fdiv    st(1), st
    fdiv    st(2), st
    fdiv    st(3), st
    fdivp   st(4), st
END_TEMPLATE div_colr

/* ---------------------------------------------------------------------
   14 ln, 15 exp. Real ln: NaN below 0, -inf at 0. Complex: principal
   branch, ln z = (ln|z|, atan2(y, x)). Quaternions q = a + v:
   exp q = e^a (cos|v|, v sin|v| / |v|), ln q = (ln|q|, v atan2(|v|, a) / |v|),
   and for v = 0 the complex logarithm of (a, v1) with v2, v3 kept. */

/* (ln|q|, ...) of the quaternion in slots s..s+3, pushed component 3
   first; uses slots s+4, s+5. */
.macro QLN s
    PROD    \s+1, \s+1
    ADDPROD \s+2, \s+2
    ADDPROD \s+3, \s+3                         /* |v|^2 */
    fld     st(0)
    fsqrt
    fstp    tbyte ptr SLOT(\s+4)               /* |v| */
    PROD    \s, \s                             /* a^2 |v|^2 */
    fld     st(0)
    fadd    st, st(2)                          /* n a^2 |v|^2 */
    fcom    dword ptr [RC_HALF]
    fnstsw  ax
    sahf
    jbe     .Lqln_plain\@
    mov     dword ptr [ebp-4], 0x40000000      /* 2.0f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    jae     .Lqln_plain\@
    /* |q| near 1: ln|q| = log1p(|q|^2 - 1)/2 with |q|^2 - 1 taken apart */
    fstp    st(0)                              /* a^2 |v|^2 */
    fcom    st(1)
    fnstsw  ax
    sahf
    jb      .Lqln_vbig\@
    fstp    st(0)                              /* |v|^2 */
    fld     tbyte ptr SLOT(\s)
    fabs
    fld     st(0)
    fsub    dword ptr [RC_ONE]
    fxch    st(1)
    fadd    dword ptr [RC_ONE]
    fmulp   st(1), st                          /* (|a|-1)(|a|+1) |v|^2 */
    faddp   st(1), st
    jmp     .Lqln_log1p\@
.Lqln_vbig\@:
    fxch    st(1)
    fsub    dword ptr [RC_ONE]
    faddp   st(1), st                          /* |v|^2 - 1 + a^2 */
.Lqln_log1p\@:
    LOG1P_ST0
    jmp     .Lqln_re\@
.Lqln_plain\@:
    fstp    st(1)
    fstp    st(1)
    LN_ST0
.Lqln_re\@:
    fmul    dword ptr [RC_HALF]
    fstp    tbyte ptr SLOT(\s+5)               /* ln|q| */
    fld     tbyte ptr SLOT(\s+4)
    ftst
    fnstsw  ax
    sahf
    je      .Lqln_zero\@
    fld     tbyte ptr SLOT(\s)
    fpatan                                     /* atan2(|v|, a) */
    fld     tbyte ptr SLOT(\s+4)
    fdivp   st(1), st                          /* f */
    fld     tbyte ptr SLOT(\s+3)
    fmul    st, st(1)
    fxch    st(1)
    fld     tbyte ptr SLOT(\s+2)
    fmul    st, st(1)
    fxch    st(1)
    fld     tbyte ptr SLOT(\s+1)
    fmulp   st(1), st                          /* v1 f, v2 f, v3 f */
    jmp     .Lqln_done\@
.Lqln_zero\@:
    fstp    st(0)
    fld     tbyte ptr SLOT(\s+3)
    fld     tbyte ptr SLOT(\s+2)
    fld     tbyte ptr SLOT(\s+1)
    fld     tbyte ptr SLOT(\s)
    fpatan                                     /* atan2(v1, a), v2, v3 */
.Lqln_done\@:
    fld     tbyte ptr SLOT(\s+5)
.endm

/* exp of the quaternion in slots s..s+3, pushed component 3 first; uses
   slots s+4, s+5. */
.macro QEXP s
    PROD    \s+1, \s+1
    ADDPROD \s+2, \s+2
    ADDPROD \s+3, \s+3
    fsqrt                                      /* |v| */
    fld     st(0)
    fstp    tbyte ptr SLOT(\s+4)
    SINCOS_ST0                                 /* sin cos */
    fld     tbyte ptr SLOT(\s)
    EXP_ST0                                    /* e sin cos */
    fmul    st(2), st
    fxch    st(2)
    fstp    tbyte ptr SLOT(\s+5)               /* e cos |v| -> slot; sin e */
    fxch    st(1)                              /* e sin */
    fld     tbyte ptr SLOT(\s+4)
    ftst
    fnstsw  ax
    sahf
    je      .Lqexp_zero\@
    fdivp   st(2), st                          /* e sin/|v| */
    fmulp   st(1), st                          /* f */
    jmp     .Lqexp_v\@
.Lqexp_zero\@:
    fstp    st(0)
    fstp    st(1)                              /* f = e */
.Lqexp_v\@:
    fld     tbyte ptr SLOT(\s+3)
    fmul    st, st(1)
    fxch    st(1)
    fld     tbyte ptr SLOT(\s+2)
    fmul    st, st(1)
    fxch    st(1)
    fld     tbyte ptr SLOT(\s+1)
    fmulp   st(1), st
    fld     tbyte ptr SLOT(\s+5)
.endm

TEMPLATE ln_r
    LN_ST0
END_TEMPLATE ln_r

TEMPLATE ln_c
    fld     st(1)
    fld     st(1)
    fpatan                                     /* im x y */
    fxch    st(2)                              /* y x im */
    fabs
    fstp    tbyte ptr SLOT(0)                  /* |y| */
    fabs
    fstp    tbyte ptr SLOT(1)                  /* |x| */
    fld     tbyte ptr SLOT(1)
    fmul    st, st(0)
    fld     tbyte ptr SLOT(0)
    fmul    st, st(0)
    faddp   st(1), st                          /* n im */
    fcom    dword ptr [RC_HALF]
    fnstsw  ax
    sahf
    jbe     .Lln_plain
    mov     dword ptr [ebp-4], 0x40000000      /* 2.0f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    jae     .Lln_plain
    /* |z| near 1: log1p((a-1)(a+1) + b^2)/2, a the larger part */
    fstp    st(0)
    fld     tbyte ptr SLOT(1)
    fld     tbyte ptr SLOT(0)                  /* |y| |x| im */
    fcom    st(1)
    fnstsw  ax
    sahf
    jbe     .Lln_ordered
    fxch    st(1)
.Lln_ordered:                                  /* b a im */
    fmul    st, st(0)
    fxch    st(1)
    fld     st(0)
    fsub    dword ptr [RC_ONE]
    fxch    st(1)
    fadd    dword ptr [RC_ONE]
    fmulp   st(1), st
    faddp   st(1), st
    LOG1P_ST0
    jmp     .Lln_half
.Lln_plain:
    LN_ST0
.Lln_half:
    fmul    dword ptr [RC_HALF]
END_TEMPLATE ln_c

TEMPLATE ln_q
    QSTORE  0
    QLN     0
END_TEMPLATE ln_q

TEMPLATE exp_r
    EXP_ST0
END_TEMPLATE exp_r

TEMPLATE exp_c
    fxch    st(1)
    SINCOS_ST0                                 /* s c x */
    fxch    st(2)
    EXP_ST0                                    /* e c s */
    fmul    st(2), st
    fmulp   st(1), st
END_TEMPLATE exp_c

TEMPLATE exp_q
    QSTORE  0
    QEXP    0
END_TEMPLATE exp_q

/* ---------------------------------------------------------------------
   12 potenz: a ^ b. The exponents 1, 2 and 3 (with zero imaginary parts)
   are exact products; b = 0 gives 1. Otherwise the principal value
   exp(b ln a); a real base with a real exponent follows C99 pow (NaN for a
   negative base with an exponent that is not an integer). A zero base
   with an exponent of positive real part gives 0. */

/* a^b for the reals b (top) and a; frame [EBP-12] to [EBP-1]. +2 */
.macro REALPOW
    mov     dword ptr [ebp-4], 0x40000000      /* 2.0f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    je      .Lrp_square\@
    mov     dword ptr [ebp-4], 0x40400000      /* 3.0f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    je      .Lrp_cube\@
    fcom    dword ptr [RC_ONE]
    fnstsw  ax
    sahf
    je      .Lrp_first\@
    ftst
    fnstsw  ax
    sahf
    je      .Lrp_unit\@                        /* b = 0 */
    fld     st(1)
    fcomp   dword ptr [RC_ONE]
    fnstsw  ax
    sahf
    je      .Lrp_unit\@                        /* a = 1 */
    /* [EBP-8]: 0 b not an integer, 1 odd, 2 even */
    mov     dword ptr [ebp-8], 0
    fld     st(0)
    frndint
    fcomp   st(1)
    fnstsw  ax
    sahf
    jne     .Lrp_parity\@
    mov     dword ptr [ebp-8], 2
    fld     st(0)
    fmul    dword ptr [RC_HALF]
    fld     st(0)
    frndint
    fcompp
    fnstsw  ax
    sahf
    je      .Lrp_parity\@
    mov     dword ptr [ebp-8], 1
.Lrp_parity\@:
    fxch    st(1)                              /* a b */
    fxam
    fnstsw  ax
    mov     dword ptr [ebp-12], eax            /* sign of a in bit 9 */
    fabs
    fyl2x                                      /* b log2|a| */
    EXP2_ST0
    test    byte ptr [ebp-11], 2
    jz      .Lrp_done\@
    cmp     dword ptr [ebp-8], 1
    je      .Lrp_negate\@
    jb      .Lrp_nan\@
    jmp     .Lrp_done\@
.Lrp_negate\@:
    fchs
    jmp     .Lrp_done\@
.Lrp_nan\@:
    fstp    st(0)
    fldz
    fdiv    st, st(0)                          /* NaN */
    jmp     .Lrp_done\@
.Lrp_square\@:
    fstp    st(0)
    fmul    st, st(0)
    jmp     .Lrp_done\@
.Lrp_cube\@:
    fstp    st(0)
    fld     st(0)
    fmul    st, st(0)
    fmulp   st(1), st
    jmp     .Lrp_done\@
.Lrp_first\@:
    fstp    st(0)
    jmp     .Lrp_done\@
.Lrp_unit\@:
    fstp    st(0)
    fstp    st(0)
    fld1
.Lrp_done\@:
.endm

/* The complex z (slots 0, 1) squared, pushed imaginary part first. */
.macro CSQUARE_SLOTS
    PROD    0, 1
    fadd    st, st(0)
    fld     tbyte ptr SLOT(0)
    fld     tbyte ptr SLOT(1)
    fsubp   st(1), st
    fld     tbyte ptr SLOT(0)
    fld     tbyte ptr SLOT(1)
    faddp   st(1), st
    fmulp   st(1), st
.endm

/* z ^ b for the real b (top) and the complex z below it; slots 0..3,
   frame bytes down to SLOT(3). +2 */
.macro CPOW_REAL
    mov     dword ptr [ebp-4], 0x40000000      /* 2.0f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    je      .Lcpr_square\@
    mov     dword ptr [ebp-4], 0x40400000      /* 3.0f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    je      .Lcpr_cube\@
    fcom    dword ptr [RC_ONE]
    fnstsw  ax
    sahf
    je      .Lcpr_first\@
    ftst
    fnstsw  ax
    sahf
    je      .Lcpr_unit\@
    /* a positive real base: the real power, the imaginary zero kept */
    fld     st(2)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lcpr_general\@
    fld     st(1)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jbe     .Lcpr_general\@
    REALPOW                                    /* z0^b z1 */
    jmp     .Lcpr_done\@
.Lcpr_general\@:
    fld     st(2)
    fld     st(2)
    fpatan                                     /* arg b z0 z1 */
    fmul    st, st(1)
    fstp    tbyte ptr SLOT(0)                  /* b*arg */
    fxch    st(2)                              /* z1 z0 b */
    fmul    st, st(0)
    fxch    st(1)
    fmul    st, st(0)
    faddp   st(1), st                          /* |z|^2 b */
    fxch    st(1)
    fmul    dword ptr [RC_HALF]
    fxch    st(1)
    fyl2x                                      /* b/2 log2|z|^2 */
    EXP2_ST0                                   /* m */
    fld     tbyte ptr SLOT(0)
    SINCOS_ST0                                 /* s c m */
    fmul    st, st(2)
    fxch    st(2)
    fmulp   st(1), st                          /* m c, m s */
    jmp     .Lcpr_done\@
.Lcpr_square\@:
    fstp    st(0)
    CSTORE  0
    CSQUARE_SLOTS
    jmp     .Lcpr_done\@
.Lcpr_cube\@:
    fstp    st(0)
    CSTORE  0
    CSQUARE_SLOTS
    CSTORE  2
    PROD    0, 3
    ADDPROD 1, 2
    PROD    0, 2
    SUBPROD 1, 3
    jmp     .Lcpr_done\@
.Lcpr_first\@:
    fstp    st(0)
    jmp     .Lcpr_done\@
.Lcpr_unit\@:
    fstp    st(0)
    fstp    st(0)
    fstp    st(0)
    fldz
    fld1
.Lcpr_done\@:
.endm

TEMPLATE potenz_rr
    REALPOW
END_TEMPLATE potenz_rr

/* a ^ z for the real a: ln a = (ln|a|, 0 or pi by the sign of a). */
TEMPLATE potenz_rc
    fld     st(1)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lprc_complex                      /* z1 != 0 */
    fld     st(2)
    fxam
    fnstsw  ax
    fstp    st(0)
    test    ah, 2
    jz      .Lprc_real                         /* a >= 0 */
    fld     st(0)
    frndint
    fcomp   st(1)
    fnstsw  ax
    sahf
    jne     .Lprc_complex                      /* negative a, z0 not an integer */
.Lprc_real:
    fstp    st(1)                              /* z0 a */
    REALPOW
    fldz
    fxch    st(1)
    jmp     .Lprc_done
.Lprc_complex:
    fld     st(2)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lprc_general
    fld     st(0)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jbe     .Lprc_general                      /* 0 ^ z with Re z <= 0: the general NaN */
    fstp    st(0)
    fstp    st(0)
    fstp    st(0)
    fldz
    fldz
    jmp     .Lprc_done
.Lprc_general:
    CSTORE  0                                  /* z */
    fld     st(0)
    fxam
    fnstsw  ax
    fstp    st(0)
    fldz
    test    ah, 2
    jz      .Lprc_arg
    fstp    st(0)
    fldpi
.Lprc_arg:                                     /* theta a */
    fstp    tbyte ptr SLOT(3)
    fabs
    LN_ST0
    fstp    tbyte ptr SLOT(2)                  /* L */
    /* w = z (L, theta) = (z0 L - z1 theta, z0 theta + z1 L) */
    PROD    0, 3
    ADDPROD 1, 2
    fstp    tbyte ptr SLOT(4)
    PROD    0, 2
    SUBPROD 1, 3
    EXP_ST0                                    /* m */
    fld     tbyte ptr SLOT(4)
    SINCOS_ST0
    fmul    st, st(2)
    fxch    st(2)
    fmulp   st(1), st
.Lprc_done:
END_TEMPLATE potenz_rc

TEMPLATE potenz_cr
    CPOW_REAL
END_TEMPLATE potenz_cr

TEMPLATE potenz_cc
    fld     st(1)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lpcc_general
    fstp    st(1)                              /* w0 z0 z1 */
    CPOW_REAL
    jmp     .Lpcc_done
.Lpcc_general:
    CSTORE  2                                  /* w */
    CSTORE  0                                  /* z */
    fld     tbyte ptr SLOT(0)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lpcc_log
    fld     tbyte ptr SLOT(1)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lpcc_log
    fld     tbyte ptr SLOT(2)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jbe     .Lpcc_log
    fldz                                       /* 0 ^ w, Re w > 0 */
    fldz
    jmp     .Lpcc_done
.Lpcc_log:
    fld     tbyte ptr SLOT(1)
    fld     tbyte ptr SLOT(0)
    fpatan                                     /* theta */
    PROD    0, 0
    ADDPROD 1, 1
    LN_ST0
    fmul    dword ptr [RC_HALF]                /* L theta */
    fld     st(1)
    fld     tbyte ptr SLOT(2)
    fmulp   st(1), st                          /* w0 theta, L, theta */
    fld     st(1)
    fld     tbyte ptr SLOT(3)
    fmulp   st(1), st
    faddp   st(1), st                          /* u1 L theta */
    fstp    tbyte ptr SLOT(4)
    fld     tbyte ptr SLOT(2)
    fmulp   st(1), st                          /* w0 L, theta */
    fxch    st(1)
    fld     tbyte ptr SLOT(3)
    fmulp   st(1), st
    fsubp   st(1), st                          /* u0 */
    EXP_ST0
    fld     tbyte ptr SLOT(4)
    SINCOS_ST0
    fmul    st, st(2)
    fxch    st(2)
    fmulp   st(1), st
.Lpcc_done:
END_TEMPLATE potenz_cc

/* q ^ p: q in slots 0..3, p in slots 6..9. */
TEMPLATE potenz_qq
    QSTORE  6
    QSTORE  0
    fld     tbyte ptr SLOT(7)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lpqq_general
    fld     tbyte ptr SLOT(8)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lpqq_general
    fld     tbyte ptr SLOT(9)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lpqq_general
    fld     tbyte ptr SLOT(6)                  /* a real exponent */
    mov     dword ptr [ebp-4], 0x40000000      /* 2.0f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    je      .Lpqq_square
    mov     dword ptr [ebp-4], 0x40400000      /* 3.0f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    je      .Lpqq_cube
    fcom    dword ptr [RC_ONE]
    fnstsw  ax
    sahf
    je      .Lpqq_first
    ftst
    fnstsw  ax
    sahf
    je      .Lpqq_unit
    fstp    st(0)
.Lpqq_general:
    /* q = 0: 0 */
    fld     tbyte ptr SLOT(0)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lpqq_log
    fld     tbyte ptr SLOT(1)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lpqq_log
    fld     tbyte ptr SLOT(2)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lpqq_log
    fld     tbyte ptr SLOT(3)
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     .Lpqq_log
    fldz
    fldz
    fldz
    fldz
    jmp     .Lpqq_done
.Lpqq_log:
    QLN     0
    QSTORE  0
    QMUL    0, 6
    QSTORE  0
    QEXP    0
    jmp     .Lpqq_done
.Lpqq_square:
    fstp    st(0)
    QMUL    0, 0
    jmp     .Lpqq_done
.Lpqq_cube:
    fstp    st(0)
    QMUL    0, 0
    QSTORE  6
    QMUL    6, 0
    jmp     .Lpqq_done
.Lpqq_first:
    fstp    st(0)
    fld     tbyte ptr SLOT(3)
    fld     tbyte ptr SLOT(2)
    fld     tbyte ptr SLOT(1)
    fld     tbyte ptr SLOT(0)
    jmp     .Lpqq_done
.Lpqq_unit:
    fstp    st(0)
    fldz
    fldz
    fldz
    fld1
.Lpqq_done:
END_TEMPLATE potenz_qq
