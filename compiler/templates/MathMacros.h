/* Assembler macros for the maths inside templates (include after
   TemplateAsm.h). Each works on st(0) and leaves the registers below it
   alone; "+n" is how many registers it needs above its operand at its
   deepest point. All may change EAX and the flags. Frame memory: the
   macros use only [EBP-16] to [EBP-1]; templates keep their own values in
   the slots below (SLOT(0) to SLOT(9), ten bytes each, [EBP-120] to
   [EBP-21]).

   EXP2_ST0      t -> 2^t                      +1   [EBP-4]
   EXP_ST0       x -> e^x                      +1   [EBP-4]
   LN_ST0        x -> ln x (NaN below 0)       +1
   LOG1P_ST0     u -> ln(1 + u), exact near 0  +1   [EBP-4]
   SINCOS_ST0    x -> sin x (st0), cos x (st1)  +2  [EBP-16]..[EBP-1]
                 accurate argument reduction for |x| < 2^30; beyond it an
                 approximate one (FPREM1 by 2 pi) that keeps the result in
                 [-1, 1]; NaN for infinities.
   SINHCOSH_ST0  y -> sinh y (st0), cosh y (st1) +3 [EBP-4]
                 exact for small |y|, overflows to infinities. */

/* Ten-byte frame slots for 80-bit values kept by a template. */
#define SLOT(k) [ebp-30-10*(k)]

.macro EXP2_ST0
    fld     st(0)
    fabs
    mov     dword ptr [ebp-4], 0x46800000      /* 16384.0f */
    fcomp   dword ptr [ebp-4]
    fnstsw  ax
    sahf
    ja      .Lexp2_big\@                       /* |t| > 16384: only the scale matters */
    fld     st(0)                              /* t t */
    frndint                                    /* n t */
    fsub    st(1), st                          /* n f */
    fxch    st(1)                              /* f n */
    f2xm1
    fadd    dword ptr [RC_ONE]                 /* 2^f n */
    fscale
    fstp    st(1)
    jmp     .Lexp2_done\@
.Lexp2_big\@:
    fld1                                       /* 2^t overflows or underflows (also for infinities) */
    fscale
    fstp    st(1)
.Lexp2_done\@:
.endm

.macro EXP_ST0
    fldl2e
    fmulp   st(1), st
    EXP2_ST0
.endm

.macro LN_ST0
    fldln2
    fxch    st(1)
    fyl2x
.endm

.macro LOG1P_ST0
    fld     st(0)
    fabs
    mov     dword ptr [ebp-4], 0x3E800000      /* 0.25f */
    fcomp   dword ptr [ebp-4]
    fnstsw  ax
    fldln2
    fxch    st(1)                              /* u ln2 */
    sahf
    jb      .Llog1p_small\@                    /* |u| < 0.25 (or NaN) */
    fadd    dword ptr [RC_ONE]
    fyl2x
    jmp     .Llog1p_done\@
.Llog1p_small\@:
    fyl2xp1
.Llog1p_done\@:
.endm

.macro SINCOS_ST0
    fld     st(0)
    fabs
    mov     dword ptr [ebp-4], 0x3F400000      /* 0.75f */
    fcom    dword ptr [ebp-4]
    fnstsw  ax
    sahf
    jb      .Lsc_direct\@                      /* |x| < 0.75 (or NaN): no reduction */
    mov     dword ptr [ebp-4], 0x4E800000      /* 2^30 */
    fcomp   dword ptr [ebp-4]
    fnstsw  ax
    sahf
    jb      .Lsc_reduce\@
    /* Huge or infinite: reduce by 2 pi with the FPU's pi. */
    fldpi
    fadd    st, st(0)                          /* 2pi x */
    fxch    st(1)
.Lsc_prem\@:
    fprem1
    fnstsw  ax
    test    ah, 4
    jnz     .Lsc_prem\@
    fstp    st(1)
    fsincos                                    /* cos sin */
    fxch    st(1)
    jmp     .Lsc_done\@
.Lsc_direct\@:
    fstp    st(0)
    fsincos
    fxch    st(1)
    jmp     .Lsc_done\@
.Lsc_reduce\@:
    /* k = round(x / (pi/2)); r = x - k*P1 - k*P2 - k*P3 with pi/2 split
       into P1 and P2 of 32 bits each and P3, so that the products with k
       (below 2^30) are exact. */
    fldpi
    fmul    dword ptr [RC_HALF]
    fdivr   st, st(1)                          /* x/(pi/2) x */
    frndint                                    /* k x */
    fld     st(0)
    fistp   qword ptr [ebp-16]
    mov     dword ptr [ebp-8], 0x54400000
    mov     dword ptr [ebp-4], 0x3FF921FB
    fld     qword ptr [ebp-8]                  /* P1 k x */
    fmul    st, st(1)
    fsubp   st(2), st
    mov     dword ptr [ebp-8], 0x1A600000
    mov     dword ptr [ebp-4], 0x3DD0B461
    fld     qword ptr [ebp-8]                  /* P2 */
    fmul    st, st(1)
    fsubp   st(2), st
    mov     dword ptr [ebp-8], 0x2E037073
    mov     dword ptr [ebp-4], 0x3BA3198A
    fld     qword ptr [ebp-8]                  /* P3 */
    fmul    st, st(1)
    fsubp   st(2), st
    fstp    st(0)                              /* r */
    fsincos                                    /* cos r, sin r */
    fxch    st(1)                              /* sin r, cos r */
    /* x = k pi/2 + r: sin x, cos x are (s, c), (c, -s), (-s, -c), (-c, s)
       for k mod 4 = 0, 1, 2, 3. */
    mov     eax, dword ptr [ebp-16]            /* quadrant: k mod 4 */
    test    al, 1
    jz      .Lsc_even\@
    fxch    st(1)
.Lsc_even\@:
    test    al, 2
    jz      .Lsc_sinpos\@
    fchs
.Lsc_sinpos\@:
    inc     eax
    test    al, 2
    jz      .Lsc_done\@
    fxch    st(1)
    fchs
    fxch    st(1)
.Lsc_done\@:
.endm

.macro SINHCOSH_ST0
    fld     st(0)
    fabs                                       /* |y| y */
    fcom    dword ptr [RC_HALF]
    fnstsw  ax
    fldl2e
    fmulp   st(1), st                          /* t = |y| log2(e), y */
    sahf
    jae     .Lshc_big\@
    /* |y| < 0.5: m = e^|y| - 1 exactly; sinh = (m + m/(m+1))/2,
       cosh = 1 + m^2/(2(m+1)). */
    f2xm1                                      /* m y */
    fld     st(0)
    fadd    dword ptr [RC_ONE]                 /* m+1 m y */
    fdivr   st, st(1)                          /* m/(m+1) m y */
    fadd    st, st(1)
    fmul    dword ptr [RC_HALF]                /* sh m y */
    fxch    st(1)                              /* m sh y */
    fld     st(0)
    fmul    st, st(1)                          /* m^2 m sh y */
    fxch    st(1)
    fadd    dword ptr [RC_ONE]
    fadd    st, st(0)                          /* 2(m+1) m^2 sh y */
    fdivp   st(1), st
    fadd    dword ptr [RC_ONE]                 /* ch sh y */
    fxch    st(1)                              /* sh ch y */
    jmp     .Lshc_sign\@
.Lshc_big\@:
    EXP2_ST0                                   /* a = e^|y|, y */
    fld1
    fdiv    st, st(1)                          /* 1/a a y */
    fld     st(1)
    fadd    st, st(1)
    fmul    dword ptr [RC_HALF]                /* ch 1/a a y */
    fxch    st(2)                              /* a 1/a ch y */
    fsubrp  st(1), st                          /* a - 1/a, ch, y */
    fmul    dword ptr [RC_HALF]                /* sh ch y */
.Lshc_sign\@:
    fxch    st(2)                              /* y ch sh */
    fxam
    fnstsw  ax
    fstp    st(0)                              /* ch sh */
    fxch    st(1)                              /* sh ch */
    test    ah, 2
    jz      .Lshc_done\@
    fchs
.Lshc_done\@:
.endm
