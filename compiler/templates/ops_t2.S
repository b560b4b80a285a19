/* Templates of operations 16 to 31, 41, 42, 45 to 85 and 103 to 138:
   logarithm, hyperbolic and inverse functions, parts, powers, rounding,
   reversed arithmetic, modulo, the orbit history, small multiples and
   increments, operand exchange, squared modulus, quaternion halves, the
   random generator and the colour functions.

   Maths: functions of a real operand are the real functions (NaN outside
   their domain; tanh, cotanh and acot of a real give that value as a
   complex one, acosh of a real its principal complex value); functions of
   a complex operand are the principal values, with the signs of zero on
   the branch cuts as C99 <complex.h> gives them. Complex and quaternion
   operands of the modulo use their real parts.

   Beyond the frame, srand and rand write the generator state in the data
   block; the HSL colour templates, gradient and ubound use the machine
   stack (PUSH/POP, a local CALL; ubound pops the array address pushed
   before it).

   Frame scratch: the macros of MathMacros.h use [EBP-16] to [EBP-1], the
   helpers here [EBP-8] to [EBP-1]; values a template keeps go to SLOT(k).
   TemplateList.h lists each template's frameBytes. */
#include "TemplateAsm.h"
#include "MathMacros.h"

/* Runtime fields of the data block read or written here. */
#define ORBIT_BUFFER    552
#define ORBIT_COUNT     556
#define RANDOM_STATE    1100

/* ----------------------------------------------------------------------
   Helpers. "+n" is how many registers a helper needs above its operand. */

/* x -> sinh x (st0), cosh x (st1); +2; [EBP-4]. Exact near 0 (F2XM1 gives
   e^|x| - 1 directly), overflows to infinities. */
.macro SHCH_ST0
    fld     st(0)
    fabs
    fldl2e
    fmulp   st(1), st                   /* t = |x| log2 e, x */
    fcom    dword ptr [RC_HALF]
    fnstsw  ax
    sahf
    jae     .Lshch_big\@
    f2xm1                               /* m = e^|x| - 1, x */
    fld     st(0)
    fadd    dword ptr [RC_ONE]          /* m+1 m x */
    fdivr   st, st(1)                   /* m/(m+1) m x */
    faddp   st(1), st
    fmul    dword ptr [RC_HALF]         /* sh x */
    fld     st(0)
    fmul    st, st(0)
    fadd    dword ptr [RC_ONE]
    fsqrt                               /* ch sh x */
    fxch    st(1)
    jmp     .Lshch_sign\@
.Lshch_big\@:
    EXP2_ST0                            /* a = e^|x|, x */
    fld1
    fdiv    st, st(1)                   /* 1/a a x */
    fsub    st(1), st                   /* 1/a a-1/a x */
    fxch    st(1)
    fmul    dword ptr [RC_HALF]         /* sh 1/a x */
    fadd    st(1), st                   /* sh ch x */
.Lshch_sign\@:
    fxch    st(2)                       /* x ch sh */
    fxam
    fnstsw  ax
    fstp    st(0)
    fxch    st(1)                       /* sh ch */
    test    ah, 2
    jz      .Lshch_done\@
    fchs
.Lshch_done\@:
.endm

/* u -> asinh u; +2; [EBP-8] to [EBP-1]. */
.macro ASINH_ST0
    fld     st(0)
    fabs                                /* a u */
    mov     dword ptr [ebp-8], 0x4F800000   /* 2^32 */
    fcom    dword ptr [ebp-8]
    fnstsw  ax
    sahf
    jae     .Lasinh_big\@
    fld     st(0)
    fmul    st, st(0)
    fadd    dword ptr [RC_ONE]
    fsqrt
    fadd    dword ptr [RC_ONE]          /* 1+sqrt(1+a^2) a u */
    fdivr   st, st(1)
    fmul    st, st(1)                   /* a^2/(1+sqrt(1+a^2)) a u */
    faddp   st(1), st
    LOG1P_ST0                           /* asinh a, u */
    jmp     .Lasinh_sign\@
.Lasinh_big\@:
    fldln2                              /* asinh a = ln 2a within 2^-64 */
    fxch    st(1)
    fyl2x
    fldln2
    faddp   st(1), st
.Lasinh_sign\@:
    fxch    st(1)
    fxam
    fnstsw  ax
    fstp    st(0)
    test    ah, 2
    jz      .Lasinh_done\@
    fchs
.Lasinh_done\@:
.endm

/* (a, b) -> principal square root (re, im); +2. With t = sqrt((|z| + |a|)/2):
   a >= 0 gives (t, b/2t), a < 0 gives (|b|/2t, t with the sign of b). */
.macro CSQRT_ST0
    fld     st(1)
    fmul    st, st(0)
    fld     st(1)
    fmul    st, st(0)
    faddp   st(1), st
    fsqrt                               /* |z| a b */
    fld     st(1)
    fabs
    faddp   st(1), st
    fmul    dword ptr [RC_HALF]
    fsqrt                               /* t a b */
    ftst
    fnstsw  ax
    sahf
    jp      .Lcsqrt_nz\@
    jnz     .Lcsqrt_nz\@
    fstp    st(0)                       /* z = 0: (0, b) */
    fstp    st(0)
    fldz
    jmp     .Lcsqrt_done\@
.Lcsqrt_nz\@:
    fld     st(0)
    fadd    st, st(0)
    fdivr   st, st(3)                   /* d = b/2t, t a b */
    fxch    st(2)                       /* a t d b */
    ftst
    fnstsw  ax
    fstp    st(0)
    fstp    st(2)                       /* d t */
    sahf
    jb      .Lcsqrt_neg\@
    fxch    st(1)                       /* t d */
    jmp     .Lcsqrt_done\@
.Lcsqrt_neg\@:
    fxam
    fnstsw  ax
    fabs
    fxch    st(1)                       /* t |d| */
    test    ah, 2
    jz      .Lcsqrt_pos\@
    fchs
.Lcsqrt_pos\@:
    fxch    st(1)                       /* |d| +-t */
.Lcsqrt_done\@:
.endm

/* (x, y) -> (x^2 - y^2, 2xy); +1. */
.macro CSQR_ST0
    fld     st(0)
    fmul    st, st(2)
    fadd    st, st(0)                   /* 2xy x y */
    fxch    st(2)                       /* y x 2xy */
    fsub    st(1), st                   /* y x-y 2xy */
    fadd    st, st(0)
    fadd    st, st(1)                   /* x+y x-y 2xy */
    fmulp   st(1), st
.endm

/* (a, b) -> (a, b) * (X, Y) with X and Y 80-bit values in memory; +2. */
.macro CMULM_ST0 X, Y
    fld     tbyte ptr \X
    fmul    st, st(1)                   /* aX a b */
    fld     tbyte ptr \Y
    fmul    st, st(3)                   /* bY aX a b */
    fsubp   st(1), st                   /* re a b */
    fxch    st(2)                       /* b a re */
    fld     tbyte ptr \X
    fmulp   st(1), st                   /* bX a re */
    fxch    st(1)
    fld     tbyte ptr \Y
    fmulp   st(1), st                   /* aY bX re */
    faddp   st(1), st
    fxch    st(1)                       /* re im */
.endm

/* Keeps the complex value on top in SLOT(0) (re) and SLOT(1) (im); +1. */
.macro SAVEZ_ST0
    fld     st(1)
    fstp    tbyte ptr SLOT(1)
    fld     st(0)
    fstp    tbyte ptr SLOT(0)
.endm

/* q^p: with N = i^2 + j^2 + k^2, q^n = A + B (i, j, k) where
   A' = A r - B N and B' = A + B r, starting from A = r, B = 1. The
   quaternion goes to SLOT(0) (r), SLOT(2..4) (i, j, k), N to SLOT(1);
   +1. */
.macro QPOW_ST0 p
    fstp    tbyte ptr SLOT(0)           /* i j k */
    fld     st(0)
    fmul    st, st(0)
    fld     st(2)
    fmul    st, st(0)
    faddp   st(1), st
    fld     st(3)
    fmul    st, st(0)
    faddp   st(1), st                   /* N i j k */
    fstp    tbyte ptr SLOT(1)
    fstp    tbyte ptr SLOT(2)
    fstp    tbyte ptr SLOT(3)
    fstp    tbyte ptr SLOT(4)
    fld1
    fld     tbyte ptr SLOT(0)           /* A B */
    .rept \p - 1
    fld     tbyte ptr SLOT(0)
    fmul    st, st(1)                   /* Ar A B */
    fld     tbyte ptr SLOT(1)
    fmul    st, st(3)                   /* BN Ar A B */
    fsubp   st(1), st                   /* A' A B */
    fxch    st(2)                       /* B A A' */
    fld     tbyte ptr SLOT(0)
    fmulp   st(1), st
    faddp   st(1), st                   /* B' A' */
    fxch    st(1)
    .endr
    fld     tbyte ptr SLOT(4)
    fmul    st, st(2)                   /* Bk A B */
    fld     tbyte ptr SLOT(3)
    fmul    st, st(3)                   /* Bj Bk A B */
    fld     tbyte ptr SLOT(2)
    fmul    st, st(4)                   /* Bi Bj Bk A B */
    fxch    st(4)
    fstp    st(0)                       /* Bj Bk A Bi */
    fxch    st(1)
    fxch    st(3)
    fxch    st(1)
    fxch    st(2)                       /* A Bi Bj Bk */
.endm

/* Applies op to each of the k components on top, keeping their order. */
.macro EACH k, op:vararg
    \op
    .if \k > 1
    fxch    st(1)
    \op
    fxch    st(1)
    .endif
    .if \k > 2
    fxch    st(2)
    \op
    fxch    st(2)
    .endif
    .if \k > 3
    fxch    st(3)
    \op
    fxch    st(3)
    .endif
.endm

/* Rounds each of the k components on top to an integer in the rounding
   mode of the control word cw (exact for every value: FRNDINT keeps the
   full range); the caller's control word is restored. [EBP-2]. */
.macro ROUND_EACH k, cw
    fnstcw  word ptr [ebp-2]
    fldcw   word ptr [\cw]
    EACH    \k, frndint
    fldcw   word ptr [ebp-2]
.endm

/* st0 mod st1 (truncated remainder, the sign of the dividend), st1 kept. */
.macro FMOD_ST0
.Lfmod\@:
    fprem
    fnstsw  ax
    test    ah, 4
    jnz     .Lfmod\@
.endm


/* ----------------------------------------------------------------------
   16 log10. */
TEMPLATE log10_r
    fldlg2
    fxch    st(1)
    fyl2x
END_TEMPLATE log10_r

/* (log10 |z|, arg z / ln 10) */
TEMPLATE log10_c
    fld     st(1)
    fld     st(1)
    fpatan                              /* arg x y */
    fldlg2
    fmulp   st(1), st
    fldl2e
    fmulp   st(1), st                   /* arg/ln10 x y */
    fxch    st(2)
    fmul    st, st(0)
    fxch    st(1)
    fmul    st, st(0)
    faddp   st(1), st                   /* |z|^2 im */
    fldlg2
    fxch    st(1)
    fyl2x
    fmul    dword ptr [RC_HALF]
END_TEMPLATE log10_c

/* ----------------------------------------------------------------------
   17 sinh, 20 cosh: sinh(x+iy) = (sinh x cos y, cosh x sin y),
   cosh(x+iy) = (cosh x cos y, sinh x sin y). */
TEMPLATE sinh_r
    SHCH_ST0
    fstp    st(1)
END_TEMPLATE sinh_r

TEMPLATE sinh_c
    SHCH_ST0                            /* sh ch y */
    fstp    tbyte ptr SLOT(0)
    fxch    st(1)                       /* y ch */
    SINCOS_ST0                          /* sin cos ch */
    fmulp   st(2), st                   /* cos ch*sin */
    fld     tbyte ptr SLOT(0)
    fmulp   st(1), st
END_TEMPLATE sinh_c

TEMPLATE cosh_r
    SHCH_ST0
    fstp    st(0)
END_TEMPLATE cosh_r

TEMPLATE cosh_c
    SHCH_ST0                            /* sh ch y */
    fxch    st(1)
    fstp    tbyte ptr SLOT(0)
    fxch    st(1)                       /* y sh */
    SINCOS_ST0                          /* sin cos sh */
    fmulp   st(2), st                   /* cos sh*sin */
    fld     tbyte ptr SLOT(0)
    fmulp   st(1), st
END_TEMPLATE cosh_c

/* ----------------------------------------------------------------------
   18 sqrt: the real square root (NaN below 0); the principal complex root. */
TEMPLATE sqrt_r
    fsqrt
END_TEMPLATE sqrt_r

TEMPLATE sqrt_c
    CSQRT_ST0
END_TEMPLATE sqrt_c

/* ----------------------------------------------------------------------
   19 tanh, 22 cotanh. For |x| >= 64 the value is +-1 to the last bit.
   tanh(x+iy) = (sinh x cosh x, sin y cos y) / (sinh^2 x + cos^2 y),
   coth(x+iy) = (sinh x cosh x, -sin y cos y) / (sinh^2 x + sin^2 y). */
.macro BIG_X_TEST target
    fld     st(0)
    fabs
    mov     dword ptr [ebp-8], 0x42800000   /* 64.0f */
    fcomp   dword ptr [ebp-8]
    fnstsw  ax
    sahf
    jae     \target
.endm

/* x y... -> the sign of x as +-1 in place of the nb registers on top */
.macro SIGN_ONE nb
    fxam
    fnstsw  ax
    .rept \nb
    fstp    st(0)
    .endr
    fld1
    test    ah, 2
    jz      .Lsign_one\@
    fchs
.Lsign_one\@:
.endm

TEMPLATE tanh_r
    BIG_X_TEST 1f
    SHCH_ST0
    fdivrp  st(1), st
    jmp     2f
1:  SIGN_ONE 1
2:  fldz
    fxch    st(1)
END_TEMPLATE tanh_r

TEMPLATE tanh_c
    BIG_X_TEST 1f
    SHCH_ST0                            /* sh ch y */
    fmul    st(1), st
    fmul    st, st(0)                   /* sh^2 sh*ch y */
    fstp    tbyte ptr SLOT(0)
    fstp    tbyte ptr SLOT(1)
    SINCOS_ST0                          /* sin cos */
    fmul    st, st(1)
    fxch    st(1)
    fmul    st, st(0)                   /* cos^2 sin*cos */
    fld     tbyte ptr SLOT(0)
    faddp   st(1), st                   /* D sc */
    fdiv    st(1), st
    fld     tbyte ptr SLOT(1)
    fdivrp  st(1), st                   /* re im */
    jmp     2f
1:  SIGN_ONE 2
    fldz
    fxch    st(1)
2:
END_TEMPLATE tanh_c

TEMPLATE cotanh_r
    BIG_X_TEST 1f
    SHCH_ST0
    fdivp   st(1), st
    jmp     2f
1:  SIGN_ONE 1
2:  fldz
    fxch    st(1)
END_TEMPLATE cotanh_r

TEMPLATE cotanh_c
    BIG_X_TEST 1f
    SHCH_ST0                            /* sh ch y */
    fmul    st(1), st
    fmul    st, st(0)
    fstp    tbyte ptr SLOT(0)           /* sh^2 */
    fstp    tbyte ptr SLOT(1)           /* sh*ch */
    SINCOS_ST0                          /* sin cos */
    fld     st(0)
    fmul    st, st(0)                   /* sin^2 sin cos */
    fxch    st(2)
    fmulp   st(1), st
    fchs                                /* -sin*cos sin^2 */
    fxch    st(1)
    fld     tbyte ptr SLOT(0)
    faddp   st(1), st                   /* D -sc */
    fdiv    st(1), st
    fld     tbyte ptr SLOT(1)
    fdivrp  st(1), st
    jmp     2f
1:  SIGN_ONE 2
    fldz
    fxch    st(1)
2:
END_TEMPLATE cotanh_c

/* ----------------------------------------------------------------------
   21 cotan: cos x / sin x; cot(x+iy) = (sin x cos x, -sinh y cosh y) /
   (sin^2 x + sinh^2 y), (0, -+1) for |y| >= 64. */
TEMPLATE cotan_r
    SINCOS_ST0
    fdivp   st(1), st
END_TEMPLATE cotan_r

TEMPLATE cotan_c
    fxch    st(1)                       /* y x */
    BIG_X_TEST 1f
    SHCH_ST0                            /* sh ch x */
    fmul    st(1), st
    fmul    st, st(0)
    fstp    tbyte ptr SLOT(0)           /* sh^2 */
    fstp    tbyte ptr SLOT(1)           /* sh*ch */
    SINCOS_ST0                          /* sin cos */
    fld     st(0)
    fmul    st, st(0)
    fld     tbyte ptr SLOT(0)
    faddp   st(1), st                   /* D sin cos */
    fxch    st(2)
    fmulp   st(1), st                   /* sc D */
    fdiv    st, st(1)
    fxch    st(1)                       /* D re */
    fld     tbyte ptr SLOT(1)
    fdivrp  st(1), st
    fchs
    fxch    st(1)
    jmp     2f
1:  fxam
    fnstsw  ax
    fstp    st(0)
    fstp    st(0)
    fld1
    test    ah, 2
    jnz     3f
    fchs
3:  fldz
2:
END_TEMPLATE cotan_c

/* ----------------------------------------------------------------------
   23 conj, 24 real, 25 imag. */
TEMPLATE conj_r
END_TEMPLATE conj_r

TEMPLATE conj_c
    fxch    st(1)
    fchs
    fxch    st(1)
END_TEMPLATE conj_c

TEMPLATE real_r
END_TEMPLATE real_r

TEMPLATE real_c
    fstp    st(1)
END_TEMPLATE real_c

TEMPLATE real_q
    fstp    st(3)
    fstp    st(0)
    fstp    st(0)
END_TEMPLATE real_q

TEMPLATE imag_r
    fstp    st(0)
    fldz
END_TEMPLATE imag_r

TEMPLATE imag_c
    fstp    st(0)
END_TEMPLATE imag_c

TEMPLATE imag_q
    fstp    st(0)
    fstp    st(2)
    fstp    st(0)
END_TEMPLATE imag_q

/* ----------------------------------------------------------------------
   26 acot = atan(1/z): for a real x atan2(1/x, 1); for x+iy
   (atan2(2x, x^2 + y^2 - 1) / 2, ln((x^2 + (y-1)^2) / (x^2 + (y+1)^2)) / 4),
   the logarithm taken as log1p(-4y / (x^2 + (y+1)^2)). */
TEMPLATE acot_r
    fld1
    fdivrp  st(1), st
    fld1
    fpatan
    fldz
    fxch    st(1)
END_TEMPLATE acot_r

TEMPLATE acot_c
    fld     st(0)
    fmul    st, st(0)                   /* x^2 x y */
    fld     st(0)
    fstp    tbyte ptr SLOT(0)
    fld     st(2)
    fadd    dword ptr [RC_ONE]
    fmul    st, st(0)
    faddp   st(1), st                   /* x^2 + (y+1)^2, x y */
    fstp    tbyte ptr SLOT(1)
    fld     st(1)
    fadd    dword ptr [RC_ONE]
    fld     st(2)
    fsub    dword ptr [RC_ONE]
    fmulp   st(1), st                   /* (y+1)(y-1) x y */
    fld     tbyte ptr SLOT(0)
    faddp   st(1), st                   /* X x y */
    fxch    st(1)
    fadd    st, st(0)
    fxch    st(1)                       /* X 2x y */
    fpatan
    fmul    dword ptr [RC_HALF]         /* re y */
    fxch    st(1)
    fmul    dword ptr [RC_FOUR]
    fchs
    fld     tbyte ptr SLOT(1)
    fdivp   st(1), st
    LOG1P_ST0
    fmul    dword ptr [RC_HALF]
    fmul    dword ptr [RC_HALF]         /* im re */
    fxch    st(1)
END_TEMPLATE acot_c

/* ----------------------------------------------------------------------
   27 asinh. Complex (after Kahan): with s1 = sqrt(1 + y - ix) = (p, q)
   and s2 = sqrt(1 - y + ix) = (r, s): asinh z =
   (asinh(p s - q r), atan2(y, p r - q s)). */
TEMPLATE asinh_r
    ASINH_ST0
END_TEMPLATE asinh_r

TEMPLATE asinh_c
    fstp    tbyte ptr SLOT(0)           /* x */
    fstp    tbyte ptr SLOT(1)           /* y */
    fld     tbyte ptr SLOT(0)
    fchs
    fld     tbyte ptr SLOT(1)
    fadd    dword ptr [RC_ONE]
    CSQRT_ST0                           /* p q */
    fstp    tbyte ptr SLOT(2)
    fstp    tbyte ptr SLOT(3)
    fld     tbyte ptr SLOT(0)
    fld     tbyte ptr SLOT(1)
    fsubr   dword ptr [RC_ONE]
    CSQRT_ST0                           /* r s */
    fld     tbyte ptr SLOT(2)
    fmul    st, st(2)                   /* ps r s */
    fld     tbyte ptr SLOT(3)
    fmul    st, st(2)                   /* qr ps r s */
    fsubp   st(1), st
    fstp    tbyte ptr SLOT(4)           /* ps - qr */
    fld     tbyte ptr SLOT(2)
    fmulp   st(1), st                   /* pr s */
    fxch    st(1)
    fld     tbyte ptr SLOT(3)
    fmulp   st(1), st                   /* qs pr */
    fsubp   st(1), st                   /* pr - qs */
    fld     tbyte ptr SLOT(1)
    fxch    st(1)
    fpatan                              /* im */
    fld     tbyte ptr SLOT(4)
    ASINH_ST0                           /* re im */
END_TEMPLATE asinh_c

/* ----------------------------------------------------------------------
   28 acosh. Real x: (acosh x, 0) for x >= 1, (0, acos x) for -1 <= x < 1,
   (acosh |x|, pi) below -1. Complex (after Kahan): with
   s1 = sqrt(z - 1) = (p, q) and s2 = sqrt(z + 1) = (r, s):
   acosh z = (asinh(p r + q s), 2 atan2(q, r)). */
.macro ACOSH_BEYOND_ONE imag
    fld     st(0)
    fsub    dword ptr [RC_ONE]
    fxch    st(1)
    fadd    dword ptr [RC_ONE]
    fmulp   st(1), st
    fsqrt                               /* sqrt(x^2 - 1) */
    ASINH_ST0
    \imag
    fxch    st(1)
.endm

TEMPLATE acosh_r
    fld1
    fcomp   st(1)
    fnstsw  ax
    sahf
    jbe     1f                          /* x >= 1 (or NaN) */
    fld1
    fchs
    fcomp   st(1)
    fnstsw  ax
    sahf
    ja      3f                          /* x < -1 */
    fld1
    fsub    st, st(1)
    fsqrt
    fxch    st(1)
    fadd    dword ptr [RC_ONE]
    fsqrt
    fpatan
    fadd    st, st(0)                   /* acos x */
    fldz
    jmp     2f
1:  ACOSH_BEYOND_ONE fldz
    jmp     2f
3:  ACOSH_BEYOND_ONE fldpi
2:
END_TEMPLATE acosh_r

TEMPLATE acosh_c
    fstp    tbyte ptr SLOT(0)           /* x */
    fstp    tbyte ptr SLOT(1)           /* y */
    fld     tbyte ptr SLOT(1)
    fld     tbyte ptr SLOT(0)
    fsub    dword ptr [RC_ONE]
    CSQRT_ST0                           /* p q */
    fstp    tbyte ptr SLOT(2)
    fstp    tbyte ptr SLOT(3)
    fld     tbyte ptr SLOT(1)
    fld     tbyte ptr SLOT(0)
    fadd    dword ptr [RC_ONE]
    CSQRT_ST0                           /* r s */
    fld     tbyte ptr SLOT(2)
    fmul    st, st(1)                   /* pr r s */
    fxch    st(2)
    fld     tbyte ptr SLOT(3)
    fmulp   st(1), st                   /* qs r pr */
    faddp   st(2), st                   /* r A */
    fld     tbyte ptr SLOT(3)
    fxch    st(1)
    fpatan
    fadd    st, st(0)                   /* im A */
    fxch    st(1)
    ASINH_ST0
END_TEMPLATE acosh_c

/* The sign bit of st0 into the frame byte [EBP-8] (bit 1). */
.macro SAVE_SIGN
    fxam
    fnstsw  ax
    mov     byte ptr [ebp-8], ah
.endm

/* Negates the k components on top when the saved sign bit is set. */
.macro APPLY_SIGN k
    test    byte ptr [ebp-8], 2
    jz      .Lapply_sign\@
    EACH    \k, fchs
.Lapply_sign\@:
.endm

/* ----------------------------------------------------------------------
   29 atanh, 30 acoth, odd functions computed for |x| (a negative x, or
   a complex value with a negative real part, is negated first and the
   result negated back, which keeps log1p away from cancellation). Real:
   log1p(2|x| / (1 - |x|)) / 2 and log1p(2 / (|x| - 1)) / 2 (NaN outside
   the domain). Complex:
   atanh z = (log1p(4x / ((1-x)^2 + y^2)) / 4, atan2(2y, (1-x)(1+x) - y^2) / 2),
   acoth z = atanh(1/z) = (log1p(4x / ((x-1)^2 + y^2)) / 4,
                           atan2(-2y, (x-1)(x+1) + y^2) / 2). */
TEMPLATE atanh_r
    SAVE_SIGN
    fabs
    fld1
    fsub    st, st(1)
    fdivr   st, st(1)
    fadd    st, st(0)
    fstp    st(1)                       /* 2|x| / (1 - |x|) */
    LOG1P_ST0
    fmul    dword ptr [RC_HALF]
    APPLY_SIGN 1
END_TEMPLATE atanh_r

TEMPLATE atanh_c
    SAVE_SIGN
    APPLY_SIGN 2
    fstp    tbyte ptr SLOT(0)           /* x */
    fld     st(0)
    fmul    st, st(0)
    fstp    tbyte ptr SLOT(1)           /* y^2 */
    fadd    st, st(0)                   /* 2y */
    fld1
    fld     tbyte ptr SLOT(0)
    fsubp   st(1), st                   /* 1-x 2y */
    fld1
    fld     tbyte ptr SLOT(0)
    faddp   st(1), st                   /* 1+x 1-x 2y */
    fmul    st, st(1)
    fld     tbyte ptr SLOT(1)
    fsubp   st(1), st                   /* N 1-x 2y */
    fxch    st(1)
    fmul    st, st(0)
    fld     tbyte ptr SLOT(1)
    faddp   st(1), st                   /* D N 2y */
    fstp    tbyte ptr SLOT(2)
    fpatan
    fmul    dword ptr [RC_HALF]         /* im */
    fld     tbyte ptr SLOT(0)
    fmul    dword ptr [RC_FOUR]
    fld     tbyte ptr SLOT(2)
    fdivp   st(1), st
    LOG1P_ST0
    fmul    dword ptr [RC_HALF]
    fmul    dword ptr [RC_HALF]
    APPLY_SIGN 2
END_TEMPLATE atanh_c

TEMPLATE acoth_r
    SAVE_SIGN
    fabs
    fsub    dword ptr [RC_ONE]
    fld1
    fadd    st, st(0)
    fdivrp  st(1), st                   /* 2 / (|x| - 1) */
    LOG1P_ST0
    fmul    dword ptr [RC_HALF]
    APPLY_SIGN 1
END_TEMPLATE acoth_r

TEMPLATE acoth_c
    SAVE_SIGN
    APPLY_SIGN 2
    fstp    tbyte ptr SLOT(0)           /* x */
    fld     st(0)
    fmul    st, st(0)
    fstp    tbyte ptr SLOT(1)           /* y^2 */
    fadd    st, st(0)
    fchs                                /* -2y */
    fld     tbyte ptr SLOT(0)
    fsub    dword ptr [RC_ONE]
    fld     tbyte ptr SLOT(0)
    fadd    dword ptr [RC_ONE]          /* x+1 x-1 -2y */
    fmul    st, st(1)
    fld     tbyte ptr SLOT(1)
    faddp   st(1), st                   /* N x-1 -2y */
    fxch    st(1)
    fmul    st, st(0)
    fld     tbyte ptr SLOT(1)
    faddp   st(1), st                   /* D N -2y */
    fstp    tbyte ptr SLOT(2)
    fpatan
    fmul    dword ptr [RC_HALF]         /* im */
    fld     tbyte ptr SLOT(0)
    fmul    dword ptr [RC_FOUR]
    fld     tbyte ptr SLOT(2)
    fdivp   st(1), st
    LOG1P_ST0
    fmul    dword ptr [RC_HALF]
    fmul    dword ptr [RC_HALF]
    APPLY_SIGN 2
END_TEMPLATE acoth_c

/* ----------------------------------------------------------------------
   31 arg, 51 atan2: the angle of (x, y) (of (x, +0) for a real x). */
TEMPLATE arg_r
    fldz
    fxch    st(1)
    fpatan
END_TEMPLATE arg_r

TEMPLATE arg_c
    fpatan
END_TEMPLATE arg_c

TEMPLATE atan2_r
    fldz
    fxch    st(1)
    fpatan
END_TEMPLATE atan2_r

TEMPLATE atan2_c
    fpatan
END_TEMPLATE atan2_c

/* ----------------------------------------------------------------------
   41 srand, 42 rand: the generator state is the 32-bit word at
   RANDOM_STATE (the seed of the built-in random functions), advanced by
   s' = s * 1664525 + 1013904223. srand(x) sets it to the low 32 bits of x
   truncated toward zero and leaves x; rand drops its operand and gives
   s' / 2^31, in [-1, 1). */
TEMPLATE srand
    fld     st(0)
    fnstcw  word ptr [ebp-2]
    fldcw   word ptr [RC_CW_TRUNC]
    fistp   qword ptr [ebp-12]
    fldcw   word ptr [ebp-2]
    mov     eax, [ebp-12]
    mov     [edi+RANDOM_STATE], eax
END_TEMPLATE srand

TEMPLATE rand
    fstp    st(0)
    fstp    st(0)
    mov     eax, [edi+RANDOM_STATE]
    imul    eax, eax, 1664525
    add     eax, 1013904223
    mov     [edi+RANDOM_STATE], eax
    mov     [ebp-4], eax
    fild    dword ptr [ebp-4]
    mov     dword ptr [ebp-4], 0x30000000   /* 2^-31 */
    fmul    dword ptr [ebp-4]
END_TEMPLATE rand

/* ----------------------------------------------------------------------
   45 sqr3, 46 sqr5, 47 sqr7, 48 sqr, 75 sqr6: the powers 3, 5, 7, 2, 6. */
TEMPLATE sqr3_r
    fld     st(0)
    fmul    st, st(0)
    fmulp   st(1), st
END_TEMPLATE sqr3_r

TEMPLATE sqr3_c
    SAVEZ_ST0
    CSQR_ST0
    CMULM_ST0 SLOT(0), SLOT(1)
END_TEMPLATE sqr3_c

TEMPLATE sqr3_q
    QPOW_ST0 3
END_TEMPLATE sqr3_q

TEMPLATE sqr5_r
    fld     st(0)
    fmul    st, st(0)
    fmul    st, st(0)
    fmulp   st(1), st
END_TEMPLATE sqr5_r

TEMPLATE sqr5_c
    SAVEZ_ST0
    CSQR_ST0
    CSQR_ST0
    CMULM_ST0 SLOT(0), SLOT(1)
END_TEMPLATE sqr5_c

TEMPLATE sqr5_q
    QPOW_ST0 5
END_TEMPLATE sqr5_q

TEMPLATE sqr7_r
    fld     st(0)
    fmul    st, st(0)
    fmul    st, st(1)
    fmul    st, st(0)
    fmulp   st(1), st
END_TEMPLATE sqr7_r

TEMPLATE sqr7_c
    SAVEZ_ST0
    CSQR_ST0
    CMULM_ST0 SLOT(0), SLOT(1)
    CSQR_ST0
    CMULM_ST0 SLOT(0), SLOT(1)
END_TEMPLATE sqr7_c

TEMPLATE sqr7_q
    QPOW_ST0 7
END_TEMPLATE sqr7_q

TEMPLATE sqr_r
    fmul    st, st(0)
END_TEMPLATE sqr_r

TEMPLATE sqr_c
    CSQR_ST0
END_TEMPLATE sqr_c

TEMPLATE sqr_q
    QPOW_ST0 2
END_TEMPLATE sqr_q

TEMPLATE sqr6_r
    fld     st(0)
    fmul    st, st(0)
    fmulp   st(1), st
    fmul    st, st(0)
END_TEMPLATE sqr6_r

TEMPLATE sqr6_c
    SAVEZ_ST0
    CSQR_ST0
    CMULM_ST0 SLOT(0), SLOT(1)
    CSQR_ST0
END_TEMPLATE sqr6_c

TEMPLATE sqr6_q
    QPOW_ST0 6
END_TEMPLATE sqr6_q

/* ----------------------------------------------------------------------
   49 flip: (x, y) -> (y, x); a real x gives (0, x). */
TEMPLATE flip_r
    fldz
END_TEMPLATE flip_r

TEMPLATE flip_c
    fxch    st(1)
END_TEMPLATE flip_c

/* ----------------------------------------------------------------------
   50 divr: the reversed division, divisor deepest, dividend on top. */
TEMPLATE divr_rr
    fdivrp  st(1), st
END_TEMPLATE divr_rr

TEMPLATE divr_rc
    fdiv    st, st(2)
    fxch    st(1)
    fdiv    st, st(2)                   /* im re d */
    fstp    st(2)                       /* re im */
END_TEMPLATE divr_rc

/* n / d = n conj(d) / |d|^2 */
TEMPLATE divr_cr
    fld     st(1)
    fmul    st, st(0)
    fld     st(3)
    fmul    st, st(0)
    faddp   st(1), st                   /* |d|^2 n dre dim */
    fdivp   st(1), st                   /* k = n/|d|^2, dre, dim */
    fmul    st(1), st
    fmulp   st(2), st                   /* k dre, k dim */
    fxch    st(1)
    fchs
    fxch    st(1)
END_TEMPLATE divr_cr

/* signature (vector, real): the vector divided by the real */
TEMPLATE divr_rv
    fdiv    st(1), st
    fdiv    st(2), st
    fdivp   st(3), st
END_TEMPLATE divr_rv

/* n / d for a complex divisor (deepest) and dividend (top):
   ((nre dre + nim dim), (nim dre - nre dim)) / |d|^2 */
TEMPLATE divr_cc
    fld     st(2)
    fmul    st, st(0)
    fld     st(4)
    fmul    st, st(0)
    faddp   st(1), st                   /* D nre nim dre dim */
    fstp    tbyte ptr SLOT(0)
    fld     st(0)
    fmul    st, st(3)                   /* nre dre, nre nim dre dim */
    fld     st(2)
    fmul    st, st(5)                   /* nim dim, .. */
    faddp   st(1), st                   /* re' nre nim dre dim */
    fxch    st(2)                       /* nim nre re' dre dim */
    fmulp   st(3), st                   /* nre re' nim*dre dim */
    fmulp   st(3), st                   /* re' nim*dre nre*dim */
    fxch    st(2)
    fsubp   st(1), st                   /* im' re' */
    fld     tbyte ptr SLOT(0)
    fdiv    st(1), st
    fdivp   st(2), st
    fxch    st(1)
END_TEMPLATE divr_cc

/* ----------------------------------------------------------------------
   52 cabs: the modulus; 80 Betrag: the squared modulus. */
TEMPLATE cabs_r
    fabs
END_TEMPLATE cabs_r

.macro SUM_OF_SQUARES k
    fmul    st, st(0)
    .rept \k - 1
    fxch    st(1)
    fmul    st, st(0)
    faddp   st(1), st
    .endr
.endm

TEMPLATE cabs_c
    SUM_OF_SQUARES 2
    fsqrt
END_TEMPLATE cabs_c

TEMPLATE cabs_v
    SUM_OF_SQUARES 3
    fsqrt
END_TEMPLATE cabs_v

TEMPLATE cabs_q
    SUM_OF_SQUARES 4
    fsqrt
END_TEMPLATE cabs_q

TEMPLATE Betrag_r
    fmul    st, st(0)
END_TEMPLATE Betrag_r

TEMPLATE Betrag_c
    SUM_OF_SQUARES 2
END_TEMPLATE Betrag_c

TEMPLATE Betrag_v
    SUM_OF_SQUARES 3
END_TEMPLATE Betrag_v

TEMPLATE Betrag_q
    SUM_OF_SQUARES 4
END_TEMPLATE Betrag_q

/* ----------------------------------------------------------------------
   53 ceil, 54 floor, 55 round, 56 trunc, on every component. round is
   to the nearest integer, halves to the even one. */
TEMPLATE ceil_r
    ROUND_EACH 1, RC_CW_UP
END_TEMPLATE ceil_r

TEMPLATE ceil_c
    ROUND_EACH 2, RC_CW_UP
END_TEMPLATE ceil_c

TEMPLATE ceil_q
    ROUND_EACH 4, RC_CW_UP
END_TEMPLATE ceil_q

TEMPLATE floor_r
    ROUND_EACH 1, RC_CW_FLOOR
END_TEMPLATE floor_r

TEMPLATE floor_c
    ROUND_EACH 2, RC_CW_FLOOR
END_TEMPLATE floor_c

TEMPLATE floor_q
    ROUND_EACH 4, RC_CW_FLOOR
END_TEMPLATE floor_q

TEMPLATE round_r
    ROUND_EACH 1, RC_CW_ROUND
END_TEMPLATE round_r

TEMPLATE round_c
    ROUND_EACH 2, RC_CW_ROUND
END_TEMPLATE round_c

TEMPLATE round_q
    ROUND_EACH 4, RC_CW_ROUND
END_TEMPLATE round_q

TEMPLATE trunc_r
    ROUND_EACH 1, RC_CW_TRUNC
END_TEMPLATE trunc_r

TEMPLATE trunc_c
    ROUND_EACH 2, RC_CW_TRUNC
END_TEMPLATE trunc_c

TEMPLATE trunc_q
    ROUND_EACH 4, RC_CW_TRUNC
END_TEMPLATE trunc_q

/* ----------------------------------------------------------------------
   57 ident, 58 zero, 59 recip. */
TEMPLATE ident_r
END_TEMPLATE ident_r

TEMPLATE ident_c
END_TEMPLATE ident_c

TEMPLATE ident_q
END_TEMPLATE ident_q

TEMPLATE zero_r
    fstp    st(0)
    fldz
END_TEMPLATE zero_r

TEMPLATE zero_c
    fstp    st(0)
    fstp    st(0)
    fldz
    fldz
END_TEMPLATE zero_c

TEMPLATE zero_q
    fstp    st(0)
    fstp    st(0)
    fstp    st(0)
    fstp    st(0)
    fldz
    fldz
    fldz
    fldz
END_TEMPLATE zero_q

TEMPLATE recip_r
    fld1
    fdivrp  st(1), st
END_TEMPLATE recip_r

/* conj(z) / |z|^2 */
TEMPLATE recip_c
    fld     st(0)
    fmul    st, st(0)
    fld     st(2)
    fmul    st, st(0)
    faddp   st(1), st                   /* |z|^2 x y */
    fdiv    st(1), st
    fchs
    fdivp   st(2), st
END_TEMPLATE recip_c

/* conj(q) / |q|^2 */
TEMPLATE recip_q
    fld     st(0)
    fmul    st, st(0)
    fld     st(2)
    fmul    st, st(0)
    faddp   st(1), st
    fld     st(3)
    fmul    st, st(0)
    faddp   st(1), st
    fld     st(4)
    fmul    st, st(0)
    faddp   st(1), st                   /* |q|^2 r i j k */
    fdiv    st(1), st
    fchs
    fdiv    st(2), st
    fdiv    st(3), st
    fdivp   st(4), st
END_TEMPLATE recip_q

/* ----------------------------------------------------------------------
   60 subr: the reversed subtraction, subtrahend deepest, minuend on top.
   As for the subtraction, the components both operands have are
   subtracted, the others of the larger operand kept (negated when they
   belong to the subtrahend). */
TEMPLATE subr_rr
    fsubrp  st(1), st
END_TEMPLATE subr_rr

TEMPLATE subr_rc
    fsub    st, st(2)
    fstp    st(2)
    fxch    st(1)
END_TEMPLATE subr_rc

TEMPLATE subr_rv
    fsub    st, st(3)
    fstp    st(3)                       /* y z x' */
    fxch    st(1)
    fxch    st(2)                       /* x' y z */
END_TEMPLATE subr_rv

TEMPLATE subr_rq
    fsub    st, st(4)
    fstp    st(4)                       /* i j k r' */
    fxch    st(2)
    fxch    st(3)
    fxch    st(1)
    fxch    st(2)
    fxch    st(1)                       /* r' i j k */
END_TEMPLATE subr_rq

TEMPLATE subr_cr
    fsubrp  st(1), st
    fxch    st(1)
    fchs
    fxch    st(1)
END_TEMPLATE subr_cr

TEMPLATE subr_cc
    fsubrp  st(2), st
    fsubrp  st(2), st
END_TEMPLATE subr_cc

TEMPLATE subr_cq
    fsub    st, st(4)
    fxch    st(1)
    fsub    st, st(5)
    fxch    st(1)                       /* r' i' j k sre sim */
    fstp    st(4)
    fstp    st(4)                       /* j k r' i' */
    fxch    st(1)
    fxch    st(3)
    fxch    st(1)
    fxch    st(2)                       /* r' i' j k */
END_TEMPLATE subr_cq

TEMPLATE subr_vr
    fsubrp  st(1), st                   /* m-x y z */
    fxch    st(1)
    fchs
    fxch    st(1)
    fxch    st(2)
    fchs
    fxch    st(2)
END_TEMPLATE subr_vr

TEMPLATE subr_vv
    fsubrp  st(3), st
    fsubrp  st(3), st
    fsubrp  st(3), st
END_TEMPLATE subr_vv

TEMPLATE subr_qr
    fsubrp  st(1), st
    fxch    st(1)
    fchs
    fxch    st(1)
    fxch    st(2)
    fchs
    fxch    st(2)
    fxch    st(3)
    fchs
    fxch    st(3)
END_TEMPLATE subr_qr

TEMPLATE subr_qc
    fsubrp  st(2), st
    fsubrp  st(2), st
    fxch    st(2)
    fchs
    fxch    st(2)
    fxch    st(3)
    fchs
    fxch    st(3)
END_TEMPLATE subr_qc

TEMPLATE subr_qq
    fsubrp  st(4), st
    fsubrp  st(4), st
    fsubrp  st(4), st
    fsubrp  st(4), st
END_TEMPLATE subr_qq

TEMPLATE subr_colcol
    fsubrp  st(4), st
    fsubrp  st(4), st
    fsubrp  st(4), st
    fsubrp  st(4), st
END_TEMPLATE subr_colcol

/* ----------------------------------------------------------------------
   61 mod, 70 modr: the truncated remainder a - b trunc(a/b) of the real
   parts (sign of a; NaN for b = 0). mod: a deepest, b on top; modr: b
   deepest, a on top. */
TEMPLATE mod_rr
    fxch    st(1)
    FMOD_ST0
    fstp    st(1)
END_TEMPLATE mod_rr

TEMPLATE mod_rc
    fstp    st(1)
    fxch    st(1)
    FMOD_ST0
    fstp    st(1)
END_TEMPLATE mod_rc

TEMPLATE mod_cr
    fxch    st(1)
    FMOD_ST0
    fstp    st(2)
    fstp    st(0)
END_TEMPLATE mod_cr

TEMPLATE mod_cc
    fstp    st(1)
    fxch    st(1)
    FMOD_ST0
    fstp    st(2)
    fstp    st(0)
END_TEMPLATE mod_cc

TEMPLATE modr_rr
    FMOD_ST0
    fstp    st(1)
END_TEMPLATE modr_rr

TEMPLATE modr_rc
    fstp    st(1)
    FMOD_ST0
    fstp    st(1)
END_TEMPLATE modr_rc

TEMPLATE modr_cr
    FMOD_ST0
    fstp    st(2)
    fstp    st(0)
END_TEMPLATE modr_cr

TEMPLATE modr_cc
    fstp    st(1)
    FMOD_ST0
    fstp    st(2)
    fstp    st(0)
END_TEMPLATE modr_cc

/* ----------------------------------------------------------------------
   62 oldz, 83 QOldz: entry n of the orbit history (n = the real part
   rounded to an integer), 0 when n lies outside 0 .. the orbit count or
   there is no history. Plane entries are 32 bytes (80-bit re, im at +0,
   +16), quaternion entries 64 bytes (four 80-bit components). */
.macro ORBIT_ENTRY shift, components
    fistp   dword ptr [ebp-4]
    mov     eax, [ebp-4]
    test    eax, eax
    js      .Lorbit_none\@
    cmp     eax, [edi+ORBIT_COUNT]
    jg      .Lorbit_none\@
    cmp     dword ptr [edi+ORBIT_BUFFER], 0
    je      .Lorbit_none\@
    shl     eax, \shift
    add     eax, [edi+ORBIT_BUFFER]
    .if \components == 4
    fld     tbyte ptr [eax+48]
    fld     tbyte ptr [eax+32]
    .endif
    fld     tbyte ptr [eax+16]
    fld     tbyte ptr [eax]
    jmp     .Lorbit_done\@
.Lorbit_none\@:
    .rept \components
    fldz
    .endr
.Lorbit_done\@:
.endm

TEMPLATE oldz_r
    ORBIT_ENTRY 5, 2
END_TEMPLATE oldz_r

TEMPLATE oldz_c
    fxch    st(1)
    fstp    st(0)
    ORBIT_ENTRY 5, 2
END_TEMPLATE oldz_c

TEMPLATE QOldz_r
    ORBIT_ENTRY 6, 4
END_TEMPLATE QOldz_r

TEMPLATE QOldz_c
    fxch    st(1)
    fstp    st(0)
    ORBIT_ENTRY 6, 4
END_TEMPLATE QOldz_c

/* ----------------------------------------------------------------------
   63 mult2, 64 mult3, 65 mult4, 66 multM1, 67 multM2, 68 multM3,
   69 multM4: every component (all four channels of a colour) times 2, 3,
   4, -1, -2, -3, -4. */
.macro OP_TIMES2
    fadd    st, st(0)
.endm
.macro OP_TIMES3
    fmul    dword ptr [RC_THREE]
.endm
.macro OP_TIMES4
    fmul    dword ptr [RC_FOUR]
.endm
.macro OP_NEG
    fchs
.endm
.macro OP_TIMESM2
    fadd    st, st(0)
    fchs
.endm
.macro OP_TIMESM3
    fmul    dword ptr [RC_THREE]
    fchs
.endm
.macro OP_TIMESM4
    fmul    dword ptr [RC_FOUR]
    fchs
.endm

.macro MULT_TEMPLATES name, op
TEMPLATE \name\()_r
    EACH 1, \op
END_TEMPLATE \name\()_r
TEMPLATE \name\()_c
    EACH 2, \op
END_TEMPLATE \name\()_c
TEMPLATE \name\()_v
    EACH 3, \op
END_TEMPLATE \name\()_v
TEMPLATE \name\()_q
    EACH 4, \op
END_TEMPLATE \name\()_q
TEMPLATE \name\()_col
    EACH 4, \op
END_TEMPLATE \name\()_col
.endm

    MULT_TEMPLATES mult2, OP_TIMES2
    MULT_TEMPLATES mult3, OP_TIMES3
    MULT_TEMPLATES mult4, OP_TIMES4
    MULT_TEMPLATES multM1, OP_NEG
    MULT_TEMPLATES multM2, OP_TIMESM2
    MULT_TEMPLATES multM3, OP_TIMESM3
    MULT_TEMPLATES multM4, OP_TIMESM4

/* ----------------------------------------------------------------------
   71 inc1, 74 decM1: + 1; 72 incM1, 73 dec1: - 1, on the first component
   (the real part, the x of a vector), as the addition of a real does. */
.macro OP_PLUS1
    fadd    dword ptr [RC_ONE]
.endm
.macro OP_MINUS1
    fsub    dword ptr [RC_ONE]
.endm

.macro STEP_TEMPLATES name, op
TEMPLATE \name\()_r
    \op
END_TEMPLATE \name\()_r
TEMPLATE \name\()_c
    \op
END_TEMPLATE \name\()_c
TEMPLATE \name\()_q
    \op
END_TEMPLATE \name\()_q
TEMPLATE \name\()_v
    \op
END_TEMPLATE \name\()_v
.endm

    STEP_TEMPLATES inc1, OP_PLUS1
    STEP_TEMPLATES incM1, OP_MINUS1
    STEP_TEMPLATES dec1, OP_MINUS1
    STEP_TEMPLATES decM1, OP_PLUS1

/* ----------------------------------------------------------------------
   76 cosxx: cos x; cosxx(x+iy) = (cos x cosh y, sin x sinh y), the
   conjugate of cos z. */
TEMPLATE cosxx_r
    SINCOS_ST0
    fstp    st(0)
END_TEMPLATE cosxx_r

TEMPLATE cosxx_c
    fxch    st(1)
    SHCH_ST0                            /* sh ch x */
    fstp    tbyte ptr SLOT(0)
    fxch    st(1)                       /* x ch */
    SINCOS_ST0                          /* sin cos ch */
    fxch    st(1)
    fmulp   st(2), st                   /* sin cos*ch */
    fld     tbyte ptr SLOT(0)
    fmulp   st(1), st
    fxch    st(1)
END_TEMPLATE cosxx_c

/* ----------------------------------------------------------------------
   77 change: the two operands trade places, each keeping its registers. */
.macro FXCHS regs:vararg
    .irp r, \regs
    fxch    st(\r)
    .endr
.endm

TEMPLATE change_rr
    FXCHS 1
END_TEMPLATE change_rr
TEMPLATE change_rc
    FXCHS 1, 2
END_TEMPLATE change_rc
TEMPLATE change_rq
    FXCHS 3, 4, 2, 3, 1, 2
END_TEMPLATE change_rq
TEMPLATE change_cr
    FXCHS 2, 1
END_TEMPLATE change_cr
TEMPLATE change_cc
    FXCHS 1, 3, 1, 2
END_TEMPLATE change_cc
TEMPLATE change_cq
    FXCHS 3, 5, 2, 4, 1, 3, 2, 1
END_TEMPLATE change_cq
TEMPLATE change_qr
    FXCHS 4, 3, 2, 1
END_TEMPLATE change_qr
TEMPLATE change_qc
    FXCHS 1, 5, 1, 4, 1, 3, 1, 2
END_TEMPLATE change_qc
TEMPLATE change_qq
    FXCHS 3, 7, 2, 6, 1, 5, 3, 4, 2, 3, 1, 2
END_TEMPLATE change_qq
TEMPLATE change_vv
    FXCHS 2, 5, 1, 4, 2, 3, 1, 2, 1
END_TEMPLATE change_vv

/* ----------------------------------------------------------------------
   84 hiquat, 85 loquat: a complex value becomes the upper (j, k) or lower
   (r, i) half of a quaternion, the other half 0; a quaternion gives its
   upper or lower half. */
TEMPLATE hiquat_c
    fldz
    fldz
END_TEMPLATE hiquat_c

TEMPLATE hiquat_q
    fstp    st(0)
    fstp    st(0)
END_TEMPLATE hiquat_q

TEMPLATE loquat_c
    fldz
    fldz
    FXCHS 1, 3, 1, 2
END_TEMPLATE loquat_c

TEMPLATE loquat_q
    FXCHS 1, 3, 1, 2
    fstp    st(0)
    fstp    st(0)
END_TEMPLATE loquat_q

/* ======================================================================
   Colours (103-137) and ubound (138). Colours are four floats on the x87
   stack, red on top, every channel on the scale 0..1; hue values are
   sixths of the circle (0 <= hue < 6), as in the unit HSL conversion of
   the colour models. */
#define COLOR_TABLE     1072
#define OUTSIDE_OFFSET  1020
#define INSIDE_OFFSET   1052

/* rgb(r, g, b): (r, g, b, 1). */
TEMPLATE createRGB
    fld1                        /* 1 b g r */
    fxch    st(3)               /* r b g 1 */
    fxch    st(1)               /* b r g 1 */
    fxch    st(2)               /* g r b 1 */
    fxch    st(1)               /* r g b 1 */
END_TEMPLATE createRGB

/* rgba(r, g, b, a). */
TEMPLATE createRGBA
    fxch    st(3)               /* r b g a */
    fxch    st(1)               /* b r g a */
    fxch    st(2)               /* g r b a */
    fxch    st(1)               /* r g b a */
END_TEMPLATE createRGBA

/* Unit HSL to RGB. EDX points at H, S, L (doubles at +0, +8, +16; hue in
   sixths, taken modulo 6); +24, +32 and +40 are work space (h, m1, m2).
   Pushes blue, green and red (red on top); uses four registers. */
.macro HSL_TO_RGB
    fld     dword ptr [RC_SIX]
    fld     qword ptr [edx]             /* H 6 */
91: fprem
    fnstsw  ax
    sahf
    jp      91b
    fstp    st(1)                       /* h = H rem 6, in (-6, 6) */
    ftst
    fnstsw  ax
    sahf
    jae     92f
    fadd    dword ptr [RC_SIX]
92: fstp    qword ptr [edx+24]
    fld     qword ptr [edx+8]           /* S */
    ftst
    fnstsw  ax
    sahf
    jne     93f
    fstp    st(0)                       /* grey: every channel L */
    fld     qword ptr [edx+16]
    fld     st(0)
    fld     st(0)
    jmp     99f
93: fld     qword ptr [edx+16]          /* L S */
    fld     dword ptr [RC_HALF]
    fcomp   st(1)
    fnstsw  ax
    sahf
    jb      94f                         /* L > 0.5 */
    fld     dword ptr [RC_ONE]
    fadd    st, st(2)                   /* 1+S L S */
    fmul    st, st(1)                   /* m2 = L(1+S) */
    jmp     95f
94: fld     st(0)
    fmul    st, st(2)                   /* LS L S */
    fsubr   st, st(1)                   /* L-LS L S */
    fadd    st, st(2)                   /* m2 = L+S-LS */
95: fst     qword ptr [edx+40]
    fxch    st(1)                       /* L m2 S */
    fadd    st, st                      /* 2L m2 S */
    fsubrp  st(1), st                   /* m1 = 2L-m2, S */
    fstp    qword ptr [edx+32]
    fstp    st(0)
    fld     qword ptr [edx+40]
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jae     96f
    fldz                                /* m2 < 0: black */
    fldz
    fldz
    jmp     99f
96: fld     qword ptr [edx+24]          /* blue: x = h - 2, wrapped */
    fsub    dword ptr [RC_ONE]
    fsub    dword ptr [RC_ONE]
    ftst
    fnstsw  ax
    sahf
    jae     97f
    fadd    dword ptr [RC_SIX]
97: call    80f
    fld     qword ptr [edx+24]          /* green: x = h */
    call    80f
    fld     qword ptr [edx+24]          /* red: x = h + 2, wrapped */
    fadd    dword ptr [RC_ONE]
    fadd    dword ptr [RC_ONE]
    fld     dword ptr [RC_SIX]
    fcomp   st(1)
    fnstsw  ax
    sahf
    jae     98f
    fsub    dword ptr [RC_SIX]
98: call    80f
    jmp     99f
    /* channel value at x (st0), replacing it */
80: fld     dword ptr [RC_ONE]
    fcomp   st(1)
    fnstsw  ax
    sahf
    ja      83f                         /* x < 1 */
    fld     dword ptr [RC_THREE]
    fcomp   st(1)
    fnstsw  ax
    sahf
    ja      82f                         /* x < 3 */
    fld     dword ptr [RC_FOUR]
    fcomp   st(1)
    fnstsw  ax
    sahf
    ja      84f                         /* x < 4 */
    fstp    st(0)
    fld     qword ptr [edx+32]          /* m1 */
    ret
82: fstp    st(0)
    fld     qword ptr [edx+40]          /* m2 */
    ret
84: fsubr   dword ptr [RC_FOUR]         /* 4 - x */
83: fld     qword ptr [edx+40]
    fsub    qword ptr [edx+32]
    fmulp   st(1), st
    fadd    qword ptr [edx+32]          /* m1 + (m2-m1)t */
    ret
99:
.endm

/* RGB to unit HSL. EDX points at R, G, B (doubles at +0, +8, +16); H, S
   and L go to +32, +40 and +48. Uses four registers. */
.macro RGB_TO_HSL
    fld     qword ptr [edx]             /* max */
    fld     qword ptr [edx+8]
    fcom    st(1)
    fnstsw  ax
    sahf
    jbe     61f
    fxch    st(1)
61: fstp    st(0)
    fld     qword ptr [edx+16]
    fcom    st(1)
    fnstsw  ax
    sahf
    jbe     62f
    fxch    st(1)
62: fstp    st(0)                       /* max */
    fld     qword ptr [edx]             /* min */
    fld     qword ptr [edx+8]
    fcom    st(1)
    fnstsw  ax
    sahf
    jae     63f
    fxch    st(1)
63: fstp    st(0)
    fld     qword ptr [edx+16]
    fcom    st(1)
    fnstsw  ax
    sahf
    jae     64f
    fxch    st(1)
64: fstp    st(0)                       /* min max */
    fld     st(1)
    fadd    st, st(1)                   /* sum min max */
    fld     st(0)
    fmul    dword ptr [RC_HALF]
    fstp    qword ptr [edx+48]          /* L */
    fxch    st(2)                       /* max min sum */
    fsubr   st(1), st                   /* max delta sum */
    fldz
    fcomp   st(2)
    fnstsw  ax
    sahf
    jne     65f
    fstp    st(0)                       /* grey: H = S = 0 */
    fstp    st(0)
    fstp    st(0)
    fldz
    fst     qword ptr [edx+32]
    fstp    qword ptr [edx+40]
    jmp     79f
65: fld     qword ptr [edx]
    fcomp   st(1)
    fnstsw  ax
    sahf
    jne     66f
    fld     qword ptr [edx+8]           /* red is the maximum: (G-B)/delta */
    fsub    qword ptr [edx+16]
    fdiv    st, st(2)
    jmp     68f
66: fld     qword ptr [edx+8]
    fcomp   st(1)
    fnstsw  ax
    sahf
    je      67f
    fld     qword ptr [edx]             /* blue is the maximum: (R-G)/delta + 4 */
    fsub    qword ptr [edx+8]
    fdiv    st, st(2)
    fadd    dword ptr [RC_FOUR]
    jmp     68f
67: fld     qword ptr [edx+16]          /* green: (B-R)/delta + 2 */
    fsub    qword ptr [edx]
    fdiv    st, st(2)
    fadd    dword ptr [RC_ONE]
    fadd    dword ptr [RC_ONE]
68: ftst
    fnstsw  ax
    sahf
    jae     69f
    fadd    dword ptr [RC_SIX]
69: fstp    qword ptr [edx+32]          /* H; max delta sum */
    fstp    st(0)
    fxch    st(1)                       /* sum delta */
    fld     dword ptr [RC_ONE]
    fcomp   st(1)
    fnstsw  ax
    sahf
    jbe     71f                         /* sum >= 1 */
    ftst
    fnstsw  ax
    sahf
    jbe     72f                         /* sum <= 0: S = 0 */
    fdivp   st(1), st                   /* delta / sum */
    jmp     74f
71: fchs
    fadd    dword ptr [RC_ONE]
    fadd    dword ptr [RC_ONE]          /* 2 - sum */
    ftst
    fnstsw  ax
    sahf
    jbe     73f                         /* no room left: S = 1 */
    fdivp   st(1), st                   /* delta / (2 - sum) */
    jmp     74f
72: fstp    st(0)
    fstp    st(0)
    fldz
    jmp     74f
73: fstp    st(0)
    fstp    st(0)
    fld1
74: fstp    qword ptr [edx+40]
79:
.endm

/* hsl(h, s, l): frame H -64, S -56, L -48, work -40..-17. */
TEMPLATE createHSL
    push    edx
    lea     edx, [ebp-64]
    fstp    qword ptr [edx+16]
    fstp    qword ptr [edx+8]
    fstp    qword ptr [edx]
    fld1
    HSL_TO_RGB
    pop     edx
END_TEMPLATE createHSL

/* hsla(h, s, l, a): alpha kept as an 80-bit value at -16. */
TEMPLATE createHSLA
    push    edx
    lea     edx, [ebp-64]
    fstp    tbyte ptr [ebp-16]
    fstp    qword ptr [edx+16]
    fstp    qword ptr [edx+8]
    fstp    qword ptr [edx]
    fld     tbyte ptr [ebp-16]
    HSL_TO_RGB
    pop     edx
END_TEMPLATE createHSLA

TEMPLATE getRed
    fstp    st(1)
    fstp    st(1)
    fstp    st(1)
END_TEMPLATE getRed

TEMPLATE getGreen
    fstp    st(0)
    fstp    st(1)
    fstp    st(1)
END_TEMPLATE getGreen

TEMPLATE getBlue
    fstp    st(0)
    fstp    st(0)
    fstp    st(1)
END_TEMPLATE getBlue

/* hue, sat and lum: frame R -64, G -56, B -48, H -32, S -24, L -16. */
.macro COLOR_TO_HSL
    push    edx
    lea     edx, [ebp-64]
    fstp    qword ptr [edx]
    fstp    qword ptr [edx+8]
    fstp    qword ptr [edx+16]
    fstp    st(0)
    RGB_TO_HSL
.endm

TEMPLATE getHue
    COLOR_TO_HSL
    fld     qword ptr [edx+32]
    pop     edx
END_TEMPLATE getHue

TEMPLATE getSat
    COLOR_TO_HSL
    fld     qword ptr [edx+40]
    pop     edx
END_TEMPLATE getSat

TEMPLATE getLum
    COLOR_TO_HSL
    fld     qword ptr [edx+48]
    pop     edx
END_TEMPLATE getLum

TEMPLATE getAlpha
    fstp    st(0)
    fstp    st(0)
    fstp    st(0)
END_TEMPLATE getAlpha

/* random(x): one step of the linear congruential generator
   s' = s * 1664525 + 1013904223 (mod 2^32) on s = the low 32 bits of x
   truncated toward zero; the result is s' as a signed 32-bit integer.
   Frame -8..-1. */
TEMPLATE random
    fnstcw  word ptr [ebp-10]
    fldcw   word ptr [RC_CW_TRUNC]
    fistp   qword ptr [ebp-8]
    fldcw   word ptr [ebp-10]
    mov     eax, [ebp-8]
    imul    eax, eax, 1664525
    add     eax, 1013904223
    mov     [ebp-8], eax
    fild    dword ptr [ebp-8]
END_TEMPLATE random

/* gradient(x): the colour of the 252-entry colour table at position
   x * 252 + offset, taken modulo 252, interpolated between the entry below
   and the next one (entry 251 blends into entry 0); alpha 1. Without a
   colour table the colour is black. Frame -24..-1. */
.macro GRADIENT offsetField
    mov     dword ptr [ebp-4], 252
    fimul   dword ptr [ebp-4]
    fadd    dword ptr [edi+\offsetField]
    fild    dword ptr [ebp-4]
    fxch    st(1)                       /* p 252 */
1:  fprem
    fnstsw  ax
    sahf
    jp      1b
    fstp    st(1)                       /* p rem 252 */
    ftst
    fnstsw  ax
    sahf
    jae     2f
    fiadd   dword ptr [ebp-4]
2:  fnstcw  word ptr [ebp-26]
    fldcw   word ptr [RC_CW_DOWN]
    fist    dword ptr [ebp-8]           /* i = floor(p) */
    fldcw   word ptr [ebp-26]
    fisub   dword ptr [ebp-8]           /* f = p - i */
    mov     eax, [ebp-8]
    cmp     eax, 252
    jb      3f
    xor     eax, eax                    /* NaN, or p rounded up to 252 */
    fstp    st(0)
    fldz
3:  fstp    qword ptr [ebp-16]          /* f */
    fld1                                /* alpha */
    push    edx
    push    ecx
    mov     edx, [edi+COLOR_TABLE]
    test    edx, edx
    jnz     4f
    fldz
    fldz
    fldz
    jmp     6f
4:  lea     eax, [edx+eax*4]            /* entry i */
    add     edx, 1004                   /* entry 251 */
    cmp     eax, edx
    lea     edx, [eax+4]                /* entry i + 1 */
    jne     5f
    sub     edx, 1008                   /* entry 0 */
5:  GRADIENT_CHANNEL 0                  /* blue */
    GRADIENT_CHANNEL 1                  /* green */
    GRADIENT_CHANNEL 2                  /* red */
6:  pop     ecx
    pop     edx
.endm

.macro GRADIENT_CHANNEL byteOffset
    movzx   ecx, byte ptr [edx+\byteOffset]
    mov     [ebp-20], ecx
    movzx   ecx, byte ptr [eax+\byteOffset]
    mov     [ebp-24], ecx
    fild    dword ptr [ebp-20]
    fisub   dword ptr [ebp-24]
    fmul    qword ptr [ebp-16]
    fiadd   dword ptr [ebp-24]
    fmul    dword ptr [RC_INV255]
.endm

TEMPLATE gradient
    GRADIENT OUTSIDE_OFFSET
END_TEMPLATE gradient

TEMPLATE gradient_inside
    GRADIENT INSIDE_OFFSET
END_TEMPLATE gradient_inside

/* blend(c1, c2, w) and compose(c1, c2, w): the code in front of the
   template has stored w at [EBP-16] and 1 - w at [EBP-32] (doubles) and
   removed it; the stack holds c2 (top) over c1. */

/* c1 (1 - w) + c2 w, every channel. */
.macro BLEND_CHANNEL
    fmul    qword ptr [ebp-16]
    fxch    st(4)
    fmul    qword ptr [ebp-32]
    faddp   st(4), st
.endm

TEMPLATE blend
    BLEND_CHANNEL
    BLEND_CHANNEL
    BLEND_CHANNEL
    BLEND_CHANNEL
END_TEMPLATE blend

/* c2 over c1 with opacity w: with t = w * alpha2, colour channels
   c1 (1 - t) + c2 t, alpha alpha1 + t (1 - alpha1). Uses [EBP-16] and
   [EBP-32] for t and 1 - t. */
TEMPLATE compose
    fxch    st(3)                       /* a2 g2 b2 r2 r1 g1 b1 a1 */
    fmul    qword ptr [ebp-16]          /* t */
    fst     qword ptr [ebp-16]
    fchs
    fadd    dword ptr [RC_ONE]          /* 1 - t */
    fst     qword ptr [ebp-32]
    fmulp   st(7), st                   /* g2 b2 r2 r1 g1 b1 a1(1-t) */
    fmul    qword ptr [ebp-16]
    fxch    st(4)
    fmul    qword ptr [ebp-32]
    faddp   st(4), st                   /* b2 r2 r1 G b1 a */
    fmul    qword ptr [ebp-16]
    fxch    st(4)
    fmul    qword ptr [ebp-32]
    faddp   st(4), st                   /* r2 r1 G B a */
    fmul    qword ptr [ebp-16]
    fxch    st(1)
    fmul    qword ptr [ebp-32]
    faddp   st(1), st                   /* R G B a */
    fxch    st(3)
    fadd    qword ptr [ebp-16]
    fxch    st(3)                       /* R G B A */
END_TEMPLATE compose

/* ======================================================================
   Merge functions merge(bottom, top): the upper colour s (second operand,
   on top) merged onto the lower colour d channel by channel; the result
   has the alpha of s. Both colours are first stored as doubles:
   s red, green, blue, alpha at -64, -56, -48, -40; d at -32, -24, -16,
   -8. */
#define S_R -64
#define S_G -56
#define S_B -48
#define S_A -40
#define D_R -32
#define D_G -24
#define D_B -16
#define D_A -8

.macro MERGE_STORE
    fstp    qword ptr [ebp+S_R]
    fstp    qword ptr [ebp+S_G]
    fstp    qword ptr [ebp+S_B]
    fstp    qword ptr [ebp+S_A]
    fstp    qword ptr [ebp+D_R]
    fstp    qword ptr [ebp+D_G]
    fstp    qword ptr [ebp+D_B]
    fstp    qword ptr [ebp+D_A]
.endm

/* The result: alpha of s, then F(blue), F(green), F(red) by the channel
   macro given. */
.macro MERGE channel
    MERGE_STORE
    fld     qword ptr [ebp+S_A]
    \channel S_B, D_B
    \channel S_G, D_G
    \channel S_R, D_R
.endm

.macro CH_NORMAL s, d
    fld     qword ptr [ebp+\s]
.endm

.macro CH_MULTIPLY s, d
    fld     qword ptr [ebp+\s]
    fmul    qword ptr [ebp+\d]
.endm

/* 1 - (1 - s)(1 - d) = s + d - s d */
.macro CH_SCREEN s, d
    fld     qword ptr [ebp+\s]
    fmul    qword ptr [ebp+\d]
    fsubr   qword ptr [ebp+\s]
    fadd    qword ptr [ebp+\d]
.endm

/* 2 a b when the selector x < 0.5, else 1 - 2 (1 - a)(1 - b) */
.macro CH_MULSCREEN x, a, b
    fld     qword ptr [ebp+\x]
    fcomp   dword ptr [RC_HALF]
    fnstsw  ax
    sahf
    jae     1f
    fld     qword ptr [ebp+\a]
    fmul    qword ptr [ebp+\b]
    fadd    st, st
    jmp     2f
1:  fld     dword ptr [RC_ONE]
    fsub    qword ptr [ebp+\a]          /* 1-a */
    fld     dword ptr [RC_ONE]
    fsub    qword ptr [ebp+\b]          /* 1-b 1-a */
    fmulp   st(1), st
    fadd    st, st
    fchs
    fadd    dword ptr [RC_ONE]
2:
.endm

.macro CH_OVERLAY s, d
    CH_MULSCREEN \d, \s, \d
.endm

.macro CH_HARDLIGHT s, d
    CH_MULSCREEN \s, \s, \d
.endm

/* s < 0.5: (s + 0.5) d; else 1 - (1.5 - s)(1 - d) */
.macro CH_SOFTLIGHT s, d
    fld     qword ptr [ebp+\s]
    fcom    dword ptr [RC_HALF]
    fnstsw  ax
    sahf
    jae     1f
    fadd    dword ptr [RC_HALF]
    fmul    qword ptr [ebp+\d]
    jmp     2f
1:  fsubr   dword ptr [RC_ONE]
    fadd    dword ptr [RC_HALF]         /* 1.5 - s */
    fld     dword ptr [RC_ONE]
    fsub    qword ptr [ebp+\d]
    fmulp   st(1), st
    fchs
    fadd    dword ptr [RC_ONE]
2:
.endm

/* min(s, d) (darken) and max(s, d) (lighten) */
.macro CH_DARKEN s, d
    fld     qword ptr [ebp+\d]
    fld     qword ptr [ebp+\s]
    fcom    st(1)
    fnstsw  ax
    sahf
    jb      1f
    fxch    st(1)
1:  fstp    st(1)
.endm

.macro CH_LIGHTEN s, d
    fld     qword ptr [ebp+\d]
    fld     qword ptr [ebp+\s]
    fcom    st(1)
    fnstsw  ax
    sahf
    ja      1f
    fxch    st(1)
1:  fstp    st(1)
.endm

.macro CH_DIFFERENCE s, d
    fld     qword ptr [ebp+\d]
    fsub    qword ptr [ebp+\s]
    fabs
.endm

/* min(1, s + d) */
.macro CH_ADDITION s, d
    fld     qword ptr [ebp+\s]
    fadd    qword ptr [ebp+\d]
    fld     dword ptr [RC_ONE]
    fcom    st(1)
    fnstsw  ax
    sahf
    jb      1f
    fxch    st(1)
1:  fstp    st(1)
.endm

/* max(0, d - s) */
.macro CH_SUBTRACTION s, d
    fld     qword ptr [ebp+\d]
    fsub    qword ptr [ebp+\s]
    fldz
    fcom    st(1)
    fnstsw  ax
    sahf
    ja      1f
    fxch    st(1)
1:  fstp    st(1)
.endm

/* red, green or blue of s, the other channels of d */
.macro CH_RED s, d
    .if \s == S_R
    fld     qword ptr [ebp+\s]
    .else
    fld     qword ptr [ebp+\d]
    .endif
.endm

.macro CH_GREEN s, d
    .if \s == S_G
    fld     qword ptr [ebp+\s]
    .else
    fld     qword ptr [ebp+\d]
    .endif
.endm

.macro CH_BLUE s, d
    .if \s == S_B
    fld     qword ptr [ebp+\s]
    .else
    fld     qword ptr [ebp+\d]
    .endif
.endm

TEMPLATE mergenormal
    MERGE CH_NORMAL
END_TEMPLATE mergenormal

TEMPLATE mergemultiply
    MERGE CH_MULTIPLY
END_TEMPLATE mergemultiply

TEMPLATE mergescreen
    MERGE CH_SCREEN
END_TEMPLATE mergescreen

TEMPLATE mergeoverlay
    MERGE CH_OVERLAY
END_TEMPLATE mergeoverlay

TEMPLATE mergehardlight
    MERGE CH_HARDLIGHT
END_TEMPLATE mergehardlight

TEMPLATE mergesoftlight
    MERGE CH_SOFTLIGHT
END_TEMPLATE mergesoftlight

TEMPLATE mergedarken
    MERGE CH_DARKEN
END_TEMPLATE mergedarken

TEMPLATE mergelighten
    MERGE CH_LIGHTEN
END_TEMPLATE mergelighten

TEMPLATE mergedifference
    MERGE CH_DIFFERENCE
END_TEMPLATE mergedifference

/* The HSL merges: both colours go to unit HSL, the combined H, S, L back
   to RGB. Frame: s red, green, blue, alpha at -128, -120, -112, -104 and
   its H, S, L at -96, -88, -80; d at -72 .. -48 and its H, S, L at -40,
   -32, -24. The combined H, S, L are written over s's red, green and
   blue; its conversion uses -104 .. -89 as work space (s's alpha is on
   the stack by then). */
#define HS_R -128
#define HS_A -104
#define HS_H -96
#define HS_S -88
#define HS_L -80
#define HD_R -72
#define HD_H -40
#define HD_S -32
#define HD_L -24

.macro HSL_MERGE combine
    push    edx
    lea     edx, [ebp+HS_R]
    fstp    qword ptr [edx]
    fstp    qword ptr [edx+8]
    fstp    qword ptr [edx+16]
    fstp    qword ptr [edx+24]
    RGB_TO_HSL
    lea     edx, [ebp+HD_R]
    fstp    qword ptr [edx]
    fstp    qword ptr [edx+8]
    fstp    qword ptr [edx+16]
    fstp    st(0)
    RGB_TO_HSL
    \combine
    fld     qword ptr [ebp+HS_A]
    lea     edx, [ebp+HS_R]
    HSL_TO_RGB
    pop     edx
.endm

/* Copies H, S, L components into the combined triple at -128. */
.macro HSL_PICK h, s, l
    fld     qword ptr [ebp+\h]
    fstp    qword ptr [ebp+HS_R]
    fld     qword ptr [ebp+\s]
    fstp    qword ptr [ebp+HS_R+8]
    fld     qword ptr [ebp+\l]
    fstp    qword ptr [ebp+HS_R+16]
.endm

.macro COMBINE_HUE
    HSL_PICK HS_H, HD_S, HD_L
.endm

.macro COMBINE_SATURATION
    HSL_PICK HD_H, HS_S, HD_L
.endm

.macro COMBINE_COLOR
    HSL_PICK HS_H, HS_S, HD_L
.endm

.macro COMBINE_LUMINANCE
    HSL_PICK HD_H, HD_S, HS_L
.endm

/* a + b - 0.5 clamped to 0..1, stored at dest */
.macro ADD_CLAMPED a, b, dest
    fld     qword ptr [ebp+\a]
    fadd    qword ptr [ebp+\b]
    fsub    dword ptr [RC_HALF]
    ftst
    fnstsw  ax
    sahf
    jae     1f
    fstp    st(0)
    fldz
1:  fld     dword ptr [RC_ONE]
    fcom    st(1)
    fnstsw  ax
    sahf
    jb      2f
    fxch    st(1)
2:  fstp    st(1)
    fstp    qword ptr [ebp+\dest]
.endm

/* Hue: that of s when d has no saturation; otherwise the sum of both
   hues (less 6 when it reaches 6) when s has a saturation, else that of
   d. Saturation and lightness: d + s - 0.5, clamped to 0..1. */
.macro COMBINE_HSLADD
    fld     qword ptr [ebp+HD_S]
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    jne     1f
    fld     qword ptr [ebp+HS_H]
    jmp     3f
1:  fld     qword ptr [ebp+HD_H]
    fld     qword ptr [ebp+HS_S]
    ftst
    fnstsw  ax
    fstp    st(0)
    sahf
    je      3f
    fadd    qword ptr [ebp+HS_H]
    fld     dword ptr [RC_SIX]
    fcomp   st(1)
    fnstsw  ax
    sahf
    ja      3f
    fsub    dword ptr [RC_SIX]
3:  fstp    qword ptr [ebp+HS_R]
    ADD_CLAMPED HD_S, HS_S, HS_R+8
    ADD_CLAMPED HD_L, HS_L, HS_R+16
.endm

TEMPLATE mergehue
    HSL_MERGE COMBINE_HUE
END_TEMPLATE mergehue

TEMPLATE mergesaturation
    HSL_MERGE COMBINE_SATURATION
END_TEMPLATE mergesaturation

TEMPLATE mergecolor
    HSL_MERGE COMBINE_COLOR
END_TEMPLATE mergecolor

TEMPLATE mergeluminance
    HSL_MERGE COMBINE_LUMINANCE
END_TEMPLATE mergeluminance

TEMPLATE mergeaddition
    MERGE CH_ADDITION
END_TEMPLATE mergeaddition

TEMPLATE mergesubtraction
    MERGE CH_SUBTRACTION
END_TEMPLATE mergesubtraction

TEMPLATE mergehsladdition
    HSL_MERGE COMBINE_HSLADD
END_TEMPLATE mergehsladdition

TEMPLATE mergered
    MERGE CH_RED
END_TEMPLATE mergered

TEMPLATE mergegreen
    MERGE CH_GREEN
END_TEMPLATE mergegreen

TEMPLATE mergeblue
    MERGE CH_BLUE
END_TEMPLATE mergeblue

/* ======================================================================
   ubound(array, k): the highest index of dimension k (counted from 1 in
   the order of the declaration), that is its size - 1; -1 when the array
   has no block or k is not one of its dimensions. The array's load has
   pushed the block address on the machine stack; it is popped here.
   Block header: n at +8, the sizes from +12 in reverse order. */
TEMPLATE ubound
    fistp   dword ptr [ebp-4]           /* k */
    pop     eax
    test    eax, eax
    jz      2f
    push    edx
    mov     edx, [ebp-4]
    dec     edx                         /* j = k - 1 */
    cmp     edx, [eax+8]
    jae     1f                          /* j outside 0 .. n-1 (unsigned) */
    cmp     dword ptr [eax+8], 5
    ja      1f
    neg     edx
    add     edx, [eax+8]                /* n - j */
    mov     eax, [eax+edx*4+8]          /* size of dimension j: word 12 + 4 (n-1-j) */
    pop     edx
    dec     eax
    mov     [ebp-4], eax
    fild    dword ptr [ebp-4]
    jmp     3f
1:  pop     edx
2:  fld1
    fchs
3:
END_TEMPLATE ubound
