/* Templates of the runtime bookkeeping of compiled iteration loops
   (default colouring, numiter, the loop ends with and without the
   periodicity test, the orbit history, lastsqr, checkSolid), the array and
   attractor templates of operation 87, isNaN / isFinite and the vector,
   complex and quaternion builders, the noise functions, trafoHistory,
   random.real and sincos. The comparison and logic templates are in
   compare_t3.S.

   Frame scratch ([EBP-n]) and x87 registers of each template are listed
   in TemplateList.h (scratchRegisters, frameBytes). */
#include "TemplateAsm.h"

/* Data-block offsets of the runtime fields these templates work on. */
#define Z_RE            0
#define Z_IM            16
#define ORBIT_BUFFER    552
#define ORBIT_COUNT     556
#define LASTSQR         600
#define SOLID           432
#define QSOLID          448
#define QMAXITER        320
#define QNUMITER        368
#define QINDEX          944
#define MAXITER         208
#define INDEX           336
#define NUMITER         352
#define PERIOD_START    496
#define PERIOD_MASK     500
#define PERIOD_COUNT    504
#define PERIOD_RELOAD   508
#define SAVED_RE        512
#define SAVED_IM        528
#define PERIOD_EPSILON  544
#define PERLIN_P        1076
#define PERLIN_G3       1080
#define RANDOM_SEED     1100

/* The attractor's variable block. */
#define ATT_NUMITER     352
#define ATT_INDEX       336
#define ATT_HISTORY     552
#define ATT_CAMERA      496     /* position (3 floats), rows right, up, view direction (9 floats) */
#define ATT_NEAR        544
#define ATT_FAR         548
#define ATT_VIEW_W      576
#define ATT_VIEW_H      580
#define ATT_POINTS      596
#define ATT_SCALE_X     600
#define ATT_SCALE_Y     604
#define ATT_CENTRE_X    608
#define ATT_CENTRE_Y    612
#define ATT_PIXELCOLOR  672
#define ATT_LIGHTS      1132    /* + 60 k: origin (3 floats), rows (9 floats), width, height, buffer */
#define POINT_RECORDS   1024    /* capacity of the point buffer, 128 bytes a record */

/* Array blocks: int32 header words (element type +0, element size +4,
   number of dimensions n +8, the sizes from +12 in reverse order of
   declaration, scratch words from +32), the elements from +64 with the
   first index varying fastest. */
#define ARR_ESIZE       4
#define ARR_N           8
#define ARR_DIMS        12
#define ARR_SCRATCH     32
#define ARR_ELEMENTS    64
#define ARRAY_ALLOC     560     /* VirtualAlloc */
#define ARRAY_FREE      564     /* VirtualFree */

/* ======================================================================
   Runtime bookkeeping of the iteration loop (no operands, no result).
   ECX counts the iterations still left. */

/* index = (maxiter - ECX) / 252: the default colouring. */
.macro DEFAULT_INDEX maxiterField, indexField
    mov     eax, [edi+\maxiterField]
    sub     eax, ecx
    mov     [ebp-4], eax
    fild    dword ptr [ebp-4]
    mov     dword ptr [ebp-4], 252
    fidiv   dword ptr [ebp-4]
    fstp    tbyte ptr [edi+\indexField]
.endm

TEMPLATE defaultOutside
    DEFAULT_INDEX MAXITER, INDEX
END_TEMPLATE defaultOutside

TEMPLATE defaultInside
    DEFAULT_INDEX MAXITER, INDEX
END_TEMPLATE defaultInside

/* numiter = maxiter - ECX */
TEMPLATE init_numIter
    mov     eax, [edi+MAXITER]
    sub     eax, ecx
    mov     [edi+NUMITER], eax
END_TEMPLATE init_numIter

/* The loop end with the periodicity test. While ECX is not above the start
   value: on the steps where mask AND ECX is 0, z is saved and the
   countdown decremented (at 0 it is reloaded and the mask becomes
   mask * 2 + 1); on the other steps the distances of the real and the
   imaginary part of z from the saved z, as floats, are compared (as
   integers) with the float tolerance; when neither exceeds it the loop is
   left as periodic, past the end of the template. Then DEC ECX; JNE loop
   start; JMP to the final section: the routine assembly sets the rel32 of
   the JNE (the four bytes 9 before the end) and of the JMP (the last four
   bytes). Uses the dword at [EBP-4]. */
.macro LOOP_END_PERIODIC countNumiter
    cmp     ecx, [edi+PERIOD_START]
    ja      3f
    test    [edi+PERIOD_MASK], ecx
    jnz     1f
    fld     tbyte ptr [edi+Z_IM]
    fld     tbyte ptr [edi+Z_RE]
    fstp    tbyte ptr [edi+SAVED_RE]
    fstp    tbyte ptr [edi+SAVED_IM]
    dec     dword ptr [edi+PERIOD_COUNT]
    jnz     3f
    mov     eax, [edi+PERIOD_RELOAD]
    shl     dword ptr [edi+PERIOD_MASK], 1
    inc     dword ptr [edi+PERIOD_MASK]
    mov     [edi+PERIOD_COUNT], eax
    jmp     3f
1:  fld     tbyte ptr [edi+Z_RE]
    fld     tbyte ptr [edi+SAVED_RE]
    fsubp   st(1), st
    mov     eax, [edi+PERIOD_EPSILON]
    fabs
    fstp    dword ptr [ebp-4]
    cmp     [ebp-4], eax
    ja      3f
    fld     tbyte ptr [edi+Z_IM]
    fld     tbyte ptr [edi+SAVED_IM]
    fsubp   st(1), st
    fabs
    fstp    dword ptr [ebp-4]
    cmp     [ebp-4], eax
    ja      3f
    jmp     4f
3:
    .if \countNumiter
    inc     dword ptr [edi+NUMITER]
    .endif
    dec     ecx
    .byte   0x0F, 0x85
    .long   0
    .byte   0xE9
    .long   0
4:
.endm

TEMPLATE afterBailout_numiter
    LOOP_END_PERIODIC 1
END_TEMPLATE afterBailout_numiter

/* numiter + 1; DEC ECX; JNE loop start (rel32 set by the routine assembly) */
TEMPLATE afterBailout_numiter_small
    inc     dword ptr [edi+NUMITER]
    dec     ecx
    .byte   0x0F, 0x85
    .long   0
END_TEMPLATE afterBailout_numiter_small

TEMPLATE afterBailout
    LOOP_END_PERIODIC 0
END_TEMPLATE afterBailout

TEMPLATE afterBailout_small
    dec     ecx
    .byte   0x0F, 0x85
    .long   0
END_TEMPLATE afterBailout_small

/* The orbit history (oldz). */

/* z into entry 0 of the orbit history, count = 0. */
TEMPLATE storez0
    mov     eax, [edi+ORBIT_BUFFER]
    test    eax, eax
    jz      1f
    fld     tbyte ptr [edi+Z_RE]
    fstp    tbyte ptr [eax]
    fld     tbyte ptr [edi+Z_IM]
    fstp    tbyte ptr [eax+16]
1:  mov     dword ptr [edi+ORBIT_COUNT], 0
END_TEMPLATE storez0

/* count + 1, z into entry count (32 bytes per entry). */
TEMPLATE storez
    mov     eax, [edi+ORBIT_COUNT]
    inc     eax
    mov     [edi+ORBIT_COUNT], eax
    cmp     dword ptr [edi+ORBIT_BUFFER], 0
    je      1f
    shl     eax, 5
    add     eax, [edi+ORBIT_BUFFER]
    fld     tbyte ptr [edi+Z_RE]
    fstp    tbyte ptr [eax]
    fld     tbyte ptr [edi+Z_IM]
    fstp    tbyte ptr [eax+16]
1:
END_TEMPLATE storez

/* lastsqr = re^2 + im^2 of z. */
TEMPLATE initLastsqr
    fld     tbyte ptr [edi+Z_RE]
    fmul    st, st
    fld     tbyte ptr [edi+Z_IM]
    fmul    st, st
    faddp   st(1), st
    fstp    tbyte ptr [edi+LASTSQR]
END_TEMPLATE initLastsqr

/* index = (maxiter - ECX) / 252 (quaternion block). */
TEMPLATE defaultInside_quat
    mov     eax, [edi+QMAXITER]
    sub     eax, ecx
    mov     [ebp-4], eax
    fild    dword ptr [ebp-4]
    mov     dword ptr [ebp-4], 252
    fidiv   dword ptr [ebp-4]
    fstp    tbyte ptr [edi+QINDEX]
END_TEMPLATE defaultInside_quat

/* numiter = maxiter - ECX (quaternion block). */
TEMPLATE init_numIter_quat
    mov     eax, [edi+QMAXITER]
    sub     eax, ecx
    mov     [edi+QNUMITER], eax
END_TEMPLATE init_numIter_quat

/* Loop end with the numiter count: the rel32 of the JNE is set by the
   routine assembly that places the template. */
TEMPLATE afterBailout_numiter_quat
    inc     dword ptr [edi+QNUMITER]
    dec     ecx
    .byte   0x0F, 0x85
    .long   0
END_TEMPLATE afterBailout_numiter_quat

TEMPLATE afterBailout_quat
    dec     ecx
    .byte   0x0F, 0x85
    .long   0
END_TEMPLATE afterBailout_quat

/* z (four doubles) into entry 0 of the orbit history as 80-bit values
   (64 bytes per entry), count = 0. */
TEMPLATE storez0_quat
    mov     eax, [edi+ORBIT_BUFFER]
    test    eax, eax
    jz      1f
    fld     qword ptr [edi]
    fstp    tbyte ptr [eax]
    fld     qword ptr [edi+8]
    fstp    tbyte ptr [eax+16]
    fld     qword ptr [edi+16]
    fstp    tbyte ptr [eax+32]
    fld     qword ptr [edi+24]
    fstp    tbyte ptr [eax+48]
1:  mov     dword ptr [edi+ORBIT_COUNT], 0
END_TEMPLATE storez0_quat

TEMPLATE storez_quat
    mov     eax, [edi+ORBIT_COUNT]
    inc     eax
    mov     [edi+ORBIT_COUNT], eax
    cmp     dword ptr [edi+ORBIT_BUFFER], 0
    je      1f
    shl     eax, 6
    add     eax, [edi+ORBIT_BUFFER]
    fld     qword ptr [edi]
    fstp    tbyte ptr [eax]
    fld     qword ptr [edi+8]
    fstp    tbyte ptr [eax+16]
    fld     qword ptr [edi+16]
    fstp    tbyte ptr [eax+32]
    fld     qword ptr [edi+24]
    fstp    tbyte ptr [eax+48]
1:
END_TEMPLATE storez_quat

/* lastsqr = sum of the squares of the four components of z. */
TEMPLATE initLastsqr_quat
    fld     qword ptr [edi]
    fmul    st, st
    fld     qword ptr [edi+8]
    fmul    st, st
    faddp   st(1), st
    fld     qword ptr [edi+16]
    fmul    st, st
    faddp   st(1), st
    fld     qword ptr [edi+24]
    fmul    st, st
    faddp   st(1), st
    fstp    tbyte ptr [edi+LASTSQR]
END_TEMPLATE initLastsqr_quat

/* TEST dword [solid], imm32; JE over a JMP rel32. The immediate and the
   jump are completed by the routine assembly. */
TEMPLATE checkSolid_r
    .byte   0xF7, 0x87
    .long   SOLID, 0
    .byte   0x74, 0x05
    .byte   0xE9
    .long   0
END_TEMPLATE checkSolid_r

TEMPLATE checkSolid_q
    .byte   0xF7, 0x87
    .long   QSOLID, 0
    .byte   0x74, 0x05
    .byte   0xE9
    .long   0
END_TEMPLATE checkSolid_q

/* ======================================================================
   isNaN and isFinite: 1.0 or 0.0; the flags after the SAHF select the
   jump (isNaN: JA when some component is a NaN; isFinite: JBE when every
   component is finite). Neither raises an exception flag for quiet NaNs
   or infinities. The accumulator is the byte at [EBP-4]. */

/* isNaN: FUCOM of each component with itself; the status bits C3 C2 C0
   are 1 0 0 for a number and 1 1 1 for a NaN; they are ORed over the
   components, then C3 C2 C0 ^ 1 1 1 leaves zero (JA) only with a NaN. */
.macro NAN_FIRST
    fucom   st(0)
    fnstsw  ax
    fstp    st(0)
    mov     [ebp-4], ah
.endm

.macro NAN_NEXT
    fucom   st(0)
    fnstsw  ax
    fstp    st(0)
    or      [ebp-4], ah
.endm

.macro NAN_RESULT
    mov     ah, [ebp-4]
    and     ah, 0x45
    xor     ah, 0x45
    sahf
    ja      1f
    fldz
    jmp     2f
1:  fld1
2:
.endm

TEMPLATE isnan_r
    NAN_FIRST
    NAN_RESULT
END_TEMPLATE isnan_r

TEMPLATE isnan_c
    NAN_FIRST
    NAN_NEXT
    NAN_RESULT
END_TEMPLATE isnan_c

TEMPLATE isnan_v
    NAN_FIRST
    NAN_NEXT
    NAN_NEXT
    NAN_RESULT
END_TEMPLATE isnan_v

TEMPLATE isnan_q
    NAN_FIRST
    NAN_NEXT
    NAN_NEXT
    NAN_NEXT
    NAN_RESULT
END_TEMPLATE isnan_q

/* isFinite: FXAM sets C0 for NaNs and infinities (and unsupported
   formats), not for zeros, normal and denormal numbers. C0 is ORed over
   the components, then AH = C0 ^ 1: carry (JBE) when all are finite,
   zero flags (JA) otherwise. */
.macro FIN_FIRST
    fxam
    fnstsw  ax
    fstp    st(0)
    mov     [ebp-4], ah
.endm

.macro FIN_NEXT
    fxam
    fnstsw  ax
    fstp    st(0)
    or      [ebp-4], ah
.endm

.macro FIN_RESULT
    mov     ah, [ebp-4]
    and     ah, 1
    xor     ah, 1
    sahf
    jbe     1f
    fldz
    jmp     2f
1:  fld1
2:
.endm

TEMPLATE isfinite_r
    FIN_FIRST
    FIN_RESULT
END_TEMPLATE isfinite_r

TEMPLATE isfinite_c
    FIN_FIRST
    FIN_NEXT
    FIN_RESULT
END_TEMPLATE isfinite_c

TEMPLATE isfinite_v
    FIN_FIRST
    FIN_NEXT
    FIN_NEXT
    FIN_RESULT
END_TEMPLATE isfinite_v

TEMPLATE isfinite_q
    FIN_FIRST
    FIN_NEXT
    FIN_NEXT
    FIN_NEXT
    FIN_RESULT
END_TEMPLATE isfinite_q

/* ======================================================================
   Vectors, parts and constructors. */

/* vector(x, y, z) */
TEMPLATE fr_vector
    fxch    st(2)
END_TEMPLATE fr_vector

TEMPLATE partx
    fstp    st(1)
    fstp    st(1)
END_TEMPLATE partx

TEMPLATE party
    fstp    st(0)
    fstp    st(1)
END_TEMPLATE party

TEMPLATE partz
    fstp    st(0)
    fstp    st(0)
END_TEMPLATE partz

/* a x b = (ay bz - az by, az bx - ax bz, ax by - ay bx); both vectors are
   stored as 80-bit values: b x, y, z at -96, -80, -64, a at -48, -32,
   -16. */
TEMPLATE crossproduct
    fstp    tbyte ptr [ebp-96]
    fstp    tbyte ptr [ebp-80]
    fstp    tbyte ptr [ebp-64]
    fstp    tbyte ptr [ebp-48]
    fstp    tbyte ptr [ebp-32]
    fstp    tbyte ptr [ebp-16]
    fld     tbyte ptr [ebp-48]          /* z: ax by - ay bx */
    fld     tbyte ptr [ebp-80]
    fmulp   st(1), st
    fld     tbyte ptr [ebp-32]
    fld     tbyte ptr [ebp-96]
    fmulp   st(1), st
    fsubp   st(1), st
    fld     tbyte ptr [ebp-16]          /* y: az bx - ax bz */
    fld     tbyte ptr [ebp-96]
    fmulp   st(1), st
    fld     tbyte ptr [ebp-48]
    fld     tbyte ptr [ebp-64]
    fmulp   st(1), st
    fsubp   st(1), st
    fld     tbyte ptr [ebp-32]          /* x: ay bz - az by */
    fld     tbyte ptr [ebp-64]
    fmulp   st(1), st
    fld     tbyte ptr [ebp-16]
    fld     tbyte ptr [ebp-80]
    fmulp   st(1), st
    fsubp   st(1), st
END_TEMPLATE crossproduct

/* part_j and part_k: the third and fourth component of a quaternion; a
   real or complex value has none (0). */
TEMPLATE partj_r
    fstp    st(0)
    fldz
END_TEMPLATE partj_r

TEMPLATE partj_c
    fstp    st(0)
    fstp    st(0)
    fldz
END_TEMPLATE partj_c

TEMPLATE partj_q
    fstp    st(0)
    fstp    st(0)
    fstp    st(1)
END_TEMPLATE partj_q

TEMPLATE partk_r
    fstp    st(0)
    fldz
END_TEMPLATE partk_r

TEMPLATE partk_c
    fstp    st(0)
    fstp    st(0)
    fldz
END_TEMPLATE partk_c

TEMPLATE partk_q
    fstp    st(0)
    fstp    st(0)
    fstp    st(0)
END_TEMPLATE partk_q

/* complex(re, im) */
TEMPLATE fr_complex
    fxch    st(1)
END_TEMPLATE fr_complex

/* quaternion(r, i, j, k) */
TEMPLATE fr_quaternion
    fxch    st(3)
    fxch    st(1)
    fxch    st(2)
    fxch    st(1)
END_TEMPLATE fr_quaternion

/* ======================================================================
   Gradient noise on the program's noise tables: the permutation table
   (512 int32: a permutation of 0..255, twice) at [EDI+1076] and the
   gradient table (256 entries of four doubles x, y, z, 0) at [EDI+1080].
   noise(x, y, z), with X, Y, Z the integer parts (floor) modulo 256 and
   x', y', z' the fractional parts, interpolates the dot products of the
   gradients of the eight corners of the lattice cube (gradient number
   P[P[P[X + i] + Y + j] + Z + k] at corner (i, j, k)) with the offsets to
   the corners, by the fade curve t^3 (t (6 t - 15) + 10) of x', y', z'.
   Without tables it is 0.

   NOISE takes x, y, z on the stack (x on top) and leaves the noise value
   in their place; it uses five registers. Frame: x', y', z' and the fade
   values (80-bit) at -10, -20, -30 and -40, -50, -60, X, Y, Z at -64, -68,
   -72, a 64-bit integer at -80. */
#define N_FX    -10
#define N_FY    -20
#define N_FZ    -30
#define N_U     -40
#define N_V     -50
#define N_W     -60
#define N_X     -64
#define N_Y     -68
#define N_Z     -72
#define N_TMP   -80

.macro NOISE_AXIS frac, fade, cell
    fld     st(0)
    fldcw   word ptr [RC_CW_DOWN]
    frndint                             /* floor */
    fldcw   word ptr [RC_CW_NEAREST]
    fsub    st(1), st                   /* floor, frac */
    fistp   qword ptr [ebp+N_TMP]
    mov     eax, [ebp+N_TMP]
    and     eax, 255
    mov     [ebp+\cell], eax
    fld     st(0)
    fstp    tbyte ptr [ebp+\frac]
    fld     st(0)                       /* fade: t^3 (t (6t - 15) + 10) */
    fmul    dword ptr [RC_SIX]
    fsub    dword ptr [RC_FIFTEEN]
    fmul    st, st(1)
    fadd    dword ptr [RC_TEN]
    fmul    st, st(1)
    fmul    st, st(1)
    fmulp   st(1), st
    fstp    tbyte ptr [ebp+\fade]
.endm

/* Dot product of gradient P[ECX] with the offsets (x' - dx, y' - dy,
   z' - dz) onto the stack. */
.macro NOISE_GRAD dx, dy, dz
    mov     eax, [esi+ecx*4]
    and     eax, 255
    shl     eax, 5
    add     eax, edx
    fld     tbyte ptr [ebp+N_FX]
    .if \dx
    fsub    dword ptr [RC_ONE]
    .endif
    fmul    qword ptr [eax]
    fld     tbyte ptr [ebp+N_FY]
    .if \dy
    fsub    dword ptr [RC_ONE]
    .endif
    fmul    qword ptr [eax+8]
    faddp   st(1), st
    fld     tbyte ptr [ebp+N_FZ]
    .if \dz
    fsub    dword ptr [RC_ONE]
    .endif
    fmul    qword ptr [eax+16]
    faddp   st(1), st
.endm

/* a + t (b - a) with b on top of a; t at [EBP+fade] */
.macro NOISE_LERP fade
    fsub    st, st(1)
    fld     tbyte ptr [ebp+\fade]
    fmulp   st(1), st
    faddp   st(1), st
.endm

/* ECX = P[P[X + i] + Y + j] + Z + k: the corner's gradient is that of
   P[ECX]. */
.macro NOISE_HASH i, j, k
    mov     ecx, [ebp+N_X]
    .if \i
    inc     ecx
    .endif
    mov     ecx, [esi+ecx*4]
    and     ecx, 255
    add     ecx, [ebp+N_Y]
    .if \j
    inc     ecx
    .endif
    mov     ecx, [esi+ecx*4]
    and     ecx, 255
    add     ecx, [ebp+N_Z]
    .if \k
    inc     ecx
    .endif
.endm

.macro NOISE_CORNER i, j, k
    NOISE_HASH \i, \j, \k
    NOISE_GRAD \i, \j, \k
.endm

.macro NOISE
    NOISE_AXIS N_FX, N_U, N_X
    NOISE_AXIS N_FY, N_V, N_Y
    NOISE_AXIS N_FZ, N_W, N_Z
    mov     esi, [edi+PERLIN_P]
    mov     edx, [edi+PERLIN_G3]
    test    esi, esi
    jz      71f
    test    edx, edx
    jz      71f
    NOISE_CORNER 0, 0, 0
    NOISE_CORNER 1, 0, 0
    NOISE_LERP N_U
    NOISE_CORNER 0, 1, 0
    NOISE_CORNER 1, 1, 0
    NOISE_LERP N_U
    NOISE_LERP N_V
    NOISE_CORNER 0, 0, 1
    NOISE_CORNER 1, 0, 1
    NOISE_LERP N_U
    NOISE_CORNER 0, 1, 1
    NOISE_CORNER 1, 1, 1
    NOISE_LERP N_U
    NOISE_LERP N_V
    NOISE_LERP N_W
    jmp     72f
71: fldz
72:
.endm

.macro SAVE_NOISE_REGISTERS
    push    ecx
    push    edx
    push    esi
.endm

.macro RESTORE_NOISE_REGISTERS
    pop     esi
    pop     edx
    pop     ecx
.endm

/* perlinNoise(x, y, z) */
TEMPLATE fr_perlinNoise
    SAVE_NOISE_REGISTERS
    fxch    st(2)                       /* x y z */
    call    1f
    RESTORE_NOISE_REGISTERS
    jmp     2f
1:  NOISE
    ret
2:
END_TEMPLATE fr_perlinNoise

/* perlinNoise3(x, y, z): the vector of three noise values, at (x, y, z),
   at (x + 123, y + 45, z + 67) and at (x + 89, y + 210, z + 154). The
   arguments are kept at -104, -96, -88 and the three values at -128,
   -120, -112 (doubles). */
.macro NOISE_AT dx, dy, dz
    fld     qword ptr [ebp-88]          /* z */
    mov     dword ptr [ebp+N_X], \dz
    fiadd   dword ptr [ebp+N_X]
    fld     qword ptr [ebp-96]          /* y */
    mov     dword ptr [ebp+N_X], \dy
    fiadd   dword ptr [ebp+N_X]
    fld     qword ptr [ebp-104]         /* x */
    mov     dword ptr [ebp+N_X], \dx
    fiadd   dword ptr [ebp+N_X]
    call    1f
.endm

TEMPLATE fr_perlinNoise3
    SAVE_NOISE_REGISTERS
    fstp    qword ptr [ebp-88]
    fstp    qword ptr [ebp-96]
    fstp    qword ptr [ebp-104]
    NOISE_AT 89, 210, 154
    fstp    qword ptr [ebp-112]
    NOISE_AT 123, 45, 67
    fstp    qword ptr [ebp-120]
    NOISE_AT 0, 0, 0
    fstp    qword ptr [ebp-128]
    fld     qword ptr [ebp-112]
    fld     qword ptr [ebp-120]
    fld     qword ptr [ebp-128]
    RESTORE_NOISE_REGISTERS
    jmp     2f
1:  NOISE
    ret
2:
END_TEMPLATE fr_perlinNoise3

/* ======================================================================
   trafoHistory(n): the number of the formula that the attractor chose n
   iterations ago, from the ring of 65,536 entries at [EDI+552] indexed by
   numiter modulo 65,536 (n rounded to the nearest integer); 0 without a
   ring. Frame -4..-1. */
TEMPLATE trafoHistory
    fistp   dword ptr [ebp-4]
    mov     eax, [edi+ATT_NUMITER]
    sub     eax, [ebp-4]
    and     eax, 0xFFFF
    push    edx
    mov     edx, [edi+ATT_HISTORY]
    test    edx, edx
    jz      1f
    mov     eax, [edx+eax*4]
    pop     edx
    mov     [ebp-4], eax
    fild    dword ptr [ebp-4]
    jmp     2f
1:  pop     edx
    fldz
2:
END_TEMPLATE trafoHistory

/* random.real(): uniform in [0, 1): the generator state (the 32-bit word
   at [EDI+1100]) advanced by s' = s * 1664525 + 1013904223, divided by
   2^32. Frame -8..-1. */
TEMPLATE fr_randomReal
    mov     eax, [edi+RANDOM_SEED]
    imul    eax, eax, 1664525
    add     eax, 1013904223
    mov     [edi+RANDOM_SEED], eax
    mov     [ebp-8], eax
    mov     dword ptr [ebp-4], 0
    fild    qword ptr [ebp-8]
    mov     dword ptr [ebp-8], 0x2F800000   /* 2^-32 as a float */
    fmul    dword ptr [ebp-8]
END_TEMPLATE fr_randomReal

/* sincos(x) = (cos x, sin x) = exp(i x); an argument beyond the range of
   FSINCOS (|x| >= 2^63) is first reduced modulo 2 pi. */
TEMPLATE sincos
    fsincos
    fnstsw  ax
    test    ah, 4
    jz      2f
    fldpi
    fadd    st, st
    fxch    st(1)
1:  fprem1
    fnstsw  ax
    test    ah, 4
    jnz     1b
    fstp    st(1)
    fsincos
2:
END_TEMPLATE sincos

/* ======================================================================
   Arrays (operation 87). The compiled code loads the array's block address
   into EBX before each template.

   Index values are converted with FISTP in the current rounding mode. An
   index outside its dimension, a block of another element size or number
   of dimensions, or a missing block reads as 0; the address that a store
   or a by-reference argument then gets is the sink [EBP-128] (64 frame
   bytes that no template relies on), so a write there changes nothing of
   any array. Templates that read an element leave the block in EBX and
   the element's byte offset in EAX, so that LEA EBX, [EBX+EAX+64] gives
   its address (the sink when the element does not exist: EBX = EBP-192,
   EAX = 0).

   The index values are kept at [EBP-24] (first) .. [EBP-8] (fifth). */

/* Pops the index values: the count is dims, or with dims 0 the count of
   the block's header (EAX when there is no block; the code generator
   loads it there). */
.macro ARRAY_POP_INDICES dims
    .if \dims
    mov     ecx, \dims
    .else
    mov     ecx, eax
    test    ebx, ebx
    jz      11f
    mov     ecx, [ebx+ARR_N]
11: cmp     ecx, 5
    jbe     12f
    mov     ecx, 5
12: test    ecx, ecx
    jz      14f
    .endif
    lea     esi, [ebp+ecx*4-28]
13: fistp   dword ptr [esi]
    sub     esi, 4
    dec     ecx
    jnz     13b
14:
.endm

/* With the index values at [EBP-24].. : EAX = byte offset of the element
   in the block's element area, or a jump to \fail when it does not exist.
   dims 0: any number of dimensions; size 0: the element size of the
   header (at most 64). Uses ECX, EDX, ESI. */
.macro ARRAY_OFFSET dims, size, fail
    test    ebx, ebx
    jz      \fail
    mov     ecx, [ebx+ARR_N]
    .if \dims
    cmp     ecx, \dims
    jne     \fail
    .else
    test    ecx, ecx
    jz      \fail
    cmp     ecx, 5
    ja      \fail
    .endif
    .if \size
    cmp     dword ptr [ebx+ARR_ESIZE], \size
    jne     \fail
    .else
    mov     eax, [ebx+ARR_ESIZE]
    dec     eax
    cmp     eax, 64
    jae     \fail
    .endif
    lea     esi, [ebx+ARR_DIMS]
    xor     eax, eax
15: mov     edx, [ebp+ecx*4-28]         /* index k = ECX - 1, last first */
    cmp     edx, [esi]
    jae     \fail                       /* outside 0 .. size - 1 (unsigned) */
    imul    eax, [esi]
    jo      \fail
    add     eax, edx
    add     esi, 4
    dec     ecx
    jnz     15b
    .if \size
    imul    eax, eax, \size
    .else
    imul    eax, [ebx+ARR_ESIZE]
    .endif
    jo      \fail
.endm

.macro SAVE_ARRAY_REGISTERS
    push    ecx
    push    edx
    push    esi
.endm

.macro RESTORE_ARRAY_REGISTERS
    pop     esi
    pop     edx
    pop     ecx
.endm

/* Load template: kind t (tbyte, double, float, int), components n. */
.macro LOAD_COMPONENTS kind, n
    .if \n > 3
    LOAD_ONE \kind, 3
    .endif
    .if \n > 2
    LOAD_ONE \kind, 2
    .endif
    .if \n > 1
    LOAD_ONE \kind, 1
    .endif
    LOAD_ONE \kind, 0
.endm

.macro LOAD_ONE kind, k
    .ifc \kind, tbyte
    fld     tbyte ptr [ebx+eax+ARR_ELEMENTS+16*\k]
    .endif
    .ifc \kind, double
    fld     qword ptr [ebx+eax+ARR_ELEMENTS+8*\k]
    .endif
    .ifc \kind, float
    fld     dword ptr [ebx+eax+ARR_ELEMENTS+4*\k]
    .endif
    .ifc \kind, int
    fild    dword ptr [ebx+eax+ARR_ELEMENTS]
    .endif
.endm

.macro ZEROS n
    .rept \n
    fldz
    .endr
.endm

.macro LOAD_ARRAY kind, components, size, dims
    SAVE_ARRAY_REGISTERS
    ARRAY_POP_INDICES \dims
    ARRAY_OFFSET \dims, \size, 16f
    LOAD_COMPONENTS \kind, \components
    jmp     17f
16: ZEROS \components
    lea     ebx, [ebp-192]
    xor     eax, eax
17: RESTORE_ARRAY_REGISTERS
.endm

/* array(D0, ..., Dn-1): the code in front pushed n, the element size and
   the element type (top); below them lie the sizes, the last one on top.
   Allocates the block through the routine at [EDI+560] (VirtualAlloc:
   null, size, MEM_COMMIT, PAGE_READWRITE), writes its header and leaves
   the address in EAX. A size below 1 counts as 0. When the block can't be
   had (no memory, or more than 2 GB), the array gets a block of the header
   alone whose sizes are all 0, so it has no elements; EAX is 0 only when
   not even that can be allocated. The sizes are kept at [EBP-40] (last
   one) .. [EBP-24], type, element size and n at [EBP-4], -8, -12. */
TEMPLATE array
    push    ecx
    push    edx
    push    esi
    fistp   dword ptr [ebp-4]
    fistp   dword ptr [ebp-8]
    fistp   dword ptr [ebp-12]
    mov     ecx, [ebp-12]
    lea     esi, [ebp-40]
    test    ecx, ecx
    jle     3f
1:  lea     eax, [ebp-20]
    cmp     esi, eax
    jb      2f
    fstp    st(0)                       /* a sixth size and more: dropped */
    jmp     21f
2:  fistp   dword ptr [esi]
    add     esi, 4
21: dec     ecx
    jnz     1b
3:  mov     ecx, [ebp-12]
    cmp     ecx, 1
    jl      8f
    cmp     ecx, 5
    jg      8f
    mov     eax, [ebp-8]                /* element size */
    cmp     eax, 64
    ja      8f
    lea     esi, [ebp-40]
4:  mov     edx, [esi]
    test    edx, edx
    jg      5f
    xor     edx, edx
    mov     [esi], edx
5:  mul     edx
    jc      6f                          /* more than 4 GB */
    add     esi, 4
    dec     ecx
    jnz     4b
    cmp     eax, 0x7FFF0000
    jae     6f
    add     eax, ARR_ELEMENTS
    call    30f
    test    eax, eax
    jnz     9f
6:  mov     ecx, [ebp-12]               /* the header alone, no elements */
    lea     esi, [ebp-40]
7:  mov     dword ptr [esi], 0
    add     esi, 4
    dec     ecx
    jnz     7b
    mov     eax, ARR_ELEMENTS
    call    30f
    test    eax, eax
    jnz     9f
8:  xor     eax, eax
    jmp     12f
9:  mov     ecx, [ebp-4]
    mov     [eax], ecx
    mov     ecx, [ebp-8]
    mov     [eax+ARR_ESIZE], ecx
    mov     ecx, [ebp-12]
    mov     [eax+ARR_N], ecx
    xor     ecx, ecx                    /* the sizes as popped: the last declared first */
10: mov     edx, [ebp+ecx*4-40]
    mov     [eax+ecx*4+ARR_DIMS], edx
    inc     ecx
    cmp     ecx, [ebp-12]
    jb      10b
    jmp     12f
    /* EAX = VirtualAlloc(null, EAX, MEM_COMMIT, PAGE_READWRITE), or 0
       without the routine */
30: cmp     dword ptr [edi+ARRAY_ALLOC], 0
    je      31f
    push    4
    push    0x1000
    push    eax
    push    0
    call    dword ptr [edi+ARRAY_ALLOC]
    ret
31: xor     eax, eax
    ret
12: pop     esi
    pop     edx
    pop     ecx
END_TEMPLATE array

/* Releases the block in EBX (VirtualFree: block, 0, MEM_RELEASE) unless
   it is null. */
TEMPLATE array_free
    test    ebx, ebx
    jz      1f
    cmp     dword ptr [edi+ARRAY_FREE], 0
    je      1f
    push    ecx
    push    edx
    push    0x8000
    push    0
    push    ebx
    call    dword ptr [edi+ARRAY_FREE]
    pop     edx
    pop     ecx
1:
END_TEMPLATE array_free

TEMPLATE load_array_c_tbyte
    LOAD_ARRAY tbyte, 2, 32, 0
END_TEMPLATE load_array_c_tbyte

TEMPLATE load_array_r_tbyte
    LOAD_ARRAY tbyte, 1, 16, 0
END_TEMPLATE load_array_r_tbyte

TEMPLATE load_array_q_tbyte
    LOAD_ARRAY tbyte, 4, 64, 0
END_TEMPLATE load_array_q_tbyte

TEMPLATE load_array_v_tbyte
    LOAD_ARRAY tbyte, 3, 48, 0
END_TEMPLATE load_array_v_tbyte

TEMPLATE load_array_c_double
    LOAD_ARRAY double, 2, 16, 0
END_TEMPLATE load_array_c_double

TEMPLATE load_array_r_double
    LOAD_ARRAY double, 1, 8, 0
END_TEMPLATE load_array_r_double

TEMPLATE load_array_r_double_dim1
    LOAD_ARRAY double, 1, 8, 1
END_TEMPLATE load_array_r_double_dim1

TEMPLATE load_array_r_double_dim2
    LOAD_ARRAY double, 1, 8, 2
END_TEMPLATE load_array_r_double_dim2

TEMPLATE load_array_r_float
    LOAD_ARRAY float, 1, 4, 0
END_TEMPLATE load_array_r_float

TEMPLATE load_array_r_float_dim1
    LOAD_ARRAY float, 1, 4, 1
END_TEMPLATE load_array_r_float_dim1

TEMPLATE load_array_r_float_dim2
    LOAD_ARRAY float, 1, 4, 2
END_TEMPLATE load_array_r_float_dim2

TEMPLATE load_array_q_double
    LOAD_ARRAY double, 4, 32, 0
END_TEMPLATE load_array_q_double

TEMPLATE load_array_v_double
    LOAD_ARRAY double, 3, 24, 0
END_TEMPLATE load_array_v_double

TEMPLATE load_array_c_float
    LOAD_ARRAY float, 2, 8, 0
END_TEMPLATE load_array_c_float

/* quaternions and colours (four floats) */
TEMPLATE load_array_q_float
    LOAD_ARRAY float, 4, 16, 0
END_TEMPLATE load_array_q_float

TEMPLATE load_array_q_float_dim1
    LOAD_ARRAY float, 4, 16, 1
END_TEMPLATE load_array_q_float_dim1

TEMPLATE load_array_q_float_dim2
    LOAD_ARRAY float, 4, 16, 2
END_TEMPLATE load_array_q_float_dim2

TEMPLATE load_array_v_float
    LOAD_ARRAY float, 3, 12, 0
END_TEMPLATE load_array_v_float

TEMPLATE load_array_int
    LOAD_ARRAY int, 1, 4, 0
END_TEMPLATE load_array_int

TEMPLATE load_array_int_dim1
    LOAD_ARRAY int, 1, 4, 1
END_TEMPLATE load_array_int_dim1

TEMPLATE load_array_int_dim2
    LOAD_ARRAY int, 1, 4, 2
END_TEMPLATE load_array_int_dim2

TEMPLATE load_array_int_dim3
    LOAD_ARRAY int, 1, 4, 3
END_TEMPLATE load_array_int_dim3

/* Address of an element to be assigned: pops the index values and leaves
   the element's address in EBX, the sink [EBP-128] when the element does
   not exist. Element size from the block's header. */
.macro SAVE_ARRAY_ADR dims
    SAVE_ARRAY_REGISTERS
    ARRAY_POP_INDICES \dims
    ARRAY_OFFSET \dims, 0, 16f
    lea     ebx, [ebx+eax+ARR_ELEMENTS]
    jmp     17f
16: lea     ebx, [ebp-128]
17: RESTORE_ARRAY_REGISTERS
.endm

TEMPLATE save_array_adr
    SAVE_ARRAY_ADR 0
END_TEMPLATE save_array_adr

TEMPLATE save_array_adr_dim1
    SAVE_ARRAY_ADR 1
END_TEMPLATE save_array_adr_dim1

TEMPLATE save_array_adr_dim2
    SAVE_ARRAY_ADR 2
END_TEMPLATE save_array_adr_dim2

TEMPLATE save_array_adr_dim3
    SAVE_ARRAY_ADR 3
END_TEMPLATE save_array_adr_dim3

/* The same for index values that are already integers in the header's
   scratch words (+32, +36, ...): no x87 operands. */
.macro SAVE_ARRAY_ADR_DIRECT dims
    SAVE_ARRAY_REGISTERS
    test    ebx, ebx
    jz      16f
    mov     ecx, \dims
18: mov     eax, [ebx+ecx*4+ARR_SCRATCH-4]
    mov     [ebp+ecx*4-28], eax
    dec     ecx
    jnz     18b
    ARRAY_OFFSET \dims, 0, 16f
    lea     ebx, [ebx+eax+ARR_ELEMENTS]
    jmp     17f
16: lea     ebx, [ebp-128]
17: RESTORE_ARRAY_REGISTERS
.endm

TEMPLATE save_array_adr_direct_dim1
    SAVE_ARRAY_ADR_DIRECT 1
END_TEMPLATE save_array_adr_direct_dim1

TEMPLATE save_array_adr_direct_dim2
    SAVE_ARRAY_ADR_DIRECT 2
END_TEMPLATE save_array_adr_direct_dim2

TEMPLATE save_array_adr_direct_dim3
    SAVE_ARRAY_ADR_DIRECT 3
END_TEMPLATE save_array_adr_direct_dim3

TEMPLATE save_array_adr_direct_dim4
    SAVE_ARRAY_ADR_DIRECT 4
END_TEMPLATE save_array_adr_direct_dim4

TEMPLATE save_array_adr_direct_dim5
    SAVE_ARRAY_ADR_DIRECT 5
END_TEMPLATE save_array_adr_direct_dim5

/* ======================================================================
   Attractor templates (operation 87), on the attractor's variable block:
   z is three doubles at 0. EDX counts the point records written. */

/* c = R (z - P) for the camera whose position (3 floats) is at \cam and
   whose rows (3 x 3 floats) follow it; c.x, c.y, c.z go to [EBP-24],
   [EBP-16], [EBP-8] (doubles), z - P is kept at [EBP-48] .. [EBP-32]. */
.macro CAMERA_TRANSFORM cam
    fld     qword ptr [edi]
    fsub    dword ptr [edi+\cam]
    fstp    qword ptr [ebp-48]
    fld     qword ptr [edi+8]
    fsub    dword ptr [edi+\cam+4]
    fstp    qword ptr [ebp-40]
    fld     qword ptr [edi+16]
    fsub    dword ptr [edi+\cam+8]
    fstp    qword ptr [ebp-32]
    CAMERA_ROW \cam+12, -24
    CAMERA_ROW \cam+24, -16
    CAMERA_ROW \cam+36, -8
.endm

.macro CAMERA_ROW row, dest
    fld     dword ptr [edi+\row]
    fmul    qword ptr [ebp-48]
    fld     dword ptr [edi+\row+4]
    fmul    qword ptr [ebp-40]
    faddp   st(1), st
    fld     dword ptr [edi+\row+8]
    fmul    qword ptr [ebp-32]
    faddp   st(1), st
    fstp    qword ptr [ebp+\dest]
.endm

/* ESI = the record EDX of the point buffer, or a jump to \full when there
   is no buffer or it is full. */
.macro POINT_RECORD full
    cmp     edx, POINT_RECORDS
    jae     \full
    mov     esi, [edi+ATT_POINTS]
    test    esi, esi
    jz      \full
    mov     eax, edx
    shl     eax, 7
    add     esi, eax
.endm

/* index as a float and pixelcolor into the record at ESI + 12 .. + 28 */
.macro POINT_COLOUR
    fld     tbyte ptr [edi+ATT_INDEX]
    fstp    dword ptr [esi+12]
    mov     eax, [edi+ATT_PIXELCOLOR]
    mov     [esi+16], eax
    mov     eax, [edi+ATT_PIXELCOLOR+4]
    mov     [esi+20], eax
    mov     eax, [edi+ATT_PIXELCOLOR+8]
    mov     [esi+24], eax
    mov     eax, [edi+ATT_PIXELCOLOR+12]
    mov     [esi+28], eax
.endm

/* The point projected through the view camera: dropped unless
   near <= c.z <= far and the screen position px = sx c.x / c.z,
   py = sy c.y / c.z lies in [-1, 1]; otherwise record EDX gets screen x =
   centre x + px width / 2 and screen y = centre y - py height / 2 (nearest
   integers), depth c.z, index and pixelcolor, and EDX grows by one.
   px and py are kept at [EBP-56], [EBP-64]. */
TEMPLATE transform_pixel
    push    esi
    CAMERA_TRANSFORM ATT_CAMERA
    fld     qword ptr [ebp-8]           /* c.z */
    fcom    dword ptr [edi+ATT_NEAR]
    fnstsw  ax
    sahf
    jb      8f                          /* nearer than near, or NaN */
    fcom    dword ptr [edi+ATT_FAR]
    fnstsw  ax
    sahf
    ja      8f
    fld     qword ptr [ebp-24]
    fmul    dword ptr [edi+ATT_SCALE_X]
    fdiv    st, st(1)
    fst     qword ptr [ebp-56]          /* px, c.z */
    fabs
    fld1
    fcompp                              /* 1 against |px| */
    fnstsw  ax
    sahf
    jb      8f                          /* |px| > 1 or NaN */
    fld     qword ptr [ebp-16]
    fmul    dword ptr [edi+ATT_SCALE_Y]
    fdiv    st, st(1)
    fst     qword ptr [ebp-64]          /* py, c.z */
    fabs
    fld1
    fcompp
    fnstsw  ax
    sahf
    jb      8f
    POINT_RECORD 8f
    fild    dword ptr [edi+ATT_VIEW_W]
    fmul    qword ptr [ebp-56]
    fmul    dword ptr [RC_HALF]
    fiadd   dword ptr [edi+ATT_CENTRE_X]
    fistp   dword ptr [esi]
    fild    dword ptr [edi+ATT_VIEW_H]
    fmul    qword ptr [ebp-64]
    fmul    dword ptr [RC_HALF]
    fisubr  dword ptr [edi+ATT_CENTRE_Y]
    fistp   dword ptr [esi+4]
    fstp    dword ptr [esi+8]           /* depth */
    POINT_COLOUR
    inc     edx
    jmp     9f
8:  fstp    st(0)
9:  pop     esi
END_TEMPLATE transform_pixel

/* The point into record EDX in 3D: x, y, z of z, index and pixelcolor as
   floats; EDX grows by one. */
TEMPLATE save_pixel
    push    esi
    POINT_RECORD 1f
    fld     qword ptr [edi]
    fstp    dword ptr [esi]
    fld     qword ptr [edi+8]
    fstp    dword ptr [esi+4]
    fld     qword ptr [edi+16]
    fstp    dword ptr [esi+8]
    POINT_COLOUR
    inc     edx
1:  pop     esi
END_TEMPLATE save_pixel

/* Shadow of the point for light k: c = R(k) (z - O(k)) without
   perspective; when -1 <= c.x < 1 and -1 <= c.y < 1 the cell of column
   round((c.x + 1) / 2 width) and row round((c.y + 1) / 2 height) of the
   light's shadow buffer (floats, row after row) takes c.z when c.z is
   smaller than its value. Cells outside the buffer are not written. Column
   and row are kept at [EBP-72], [EBP-68]. */
.macro SHADOW light
    push    edx
    CAMERA_TRANSFORM ATT_LIGHTS+60*\light
    SHADOW_RANGE -24
    SHADOW_RANGE -16
    SHADOW_CELL -24, ATT_LIGHTS+60*\light+48, -72
    SHADOW_CELL -16, ATT_LIGHTS+60*\light+52, -68
    mov     edx, [edi+ATT_LIGHTS+60*\light+56]
    test    edx, edx
    jz      9f
    mov     eax, [ebp-72]
    cmp     eax, [edi+ATT_LIGHTS+60*\light+48]
    jae     9f
    mov     eax, [ebp-68]
    cmp     eax, [edi+ATT_LIGHTS+60*\light+52]
    jae     9f
    imul    eax, [edi+ATT_LIGHTS+60*\light+48]
    add     eax, [ebp-72]
    lea     edx, [edx+eax*4]
    fld     qword ptr [ebp-8]
    fcom    dword ptr [edx]
    fnstsw  ax
    sahf
    jp      8f
    jae     8f
    fstp    dword ptr [edx]
    jmp     9f
8:  fstp    st(0)
9:  pop     edx
.endm

/* a jump to 9f unless -1 <= the coordinate at [EBP+\c] < 1 */
.macro SHADOW_RANGE c
    fld     qword ptr [ebp+\c]
    fld1
    fcom    st(1)
    fnstsw  ax
    sahf
    jbe     7f                          /* 1 <= c, or NaN */
    fchs
    fcomp   st(1)                       /* -1 against c */
    fnstsw  ax
    fstp    st(0)
    sahf
    ja      9f                          /* c < -1 */
    jmp     6f
7:  fstp    st(0)
    fstp    st(0)
    jmp     9f
6:
.endm

/* [EBP+\dest] = round((c + 1) / 2 size) */
.macro SHADOW_CELL c, sizeField, dest
    fld     qword ptr [ebp+\c]
    fadd    dword ptr [RC_ONE]
    fmul    dword ptr [RC_HALF]
    fimul   dword ptr [edi+\sizeField]
    fistp   dword ptr [ebp+\dest]
.endm

TEMPLATE transform_shadow_1
    SHADOW 0
END_TEMPLATE transform_shadow_1

TEMPLATE transform_shadow_2
    SHADOW 1
END_TEMPLATE transform_shadow_2

TEMPLATE transform_shadow_3
    SHADOW 2
END_TEMPLATE transform_shadow_3

TEMPLATE transform_shadow_4
    SHADOW 3
END_TEMPLATE transform_shadow_4

TEMPLATE transform_shadow_5
    SHADOW 4
END_TEMPLATE transform_shadow_5

TEMPLATE transform_shadow_6
    SHADOW 5
END_TEMPLATE transform_shadow_6

TEMPLATE transform_shadow_7
    SHADOW 6
END_TEMPLATE transform_shadow_7

TEMPLATE transform_shadow_8
    SHADOW 7
END_TEMPLATE transform_shadow_8

/* numiter + 1 (attractor) */
TEMPLATE initNumiter_att
    inc     dword ptr [edi+ATT_NUMITER]
END_TEMPLATE initNumiter_att
