/* Placeholder addresses of the runtime constants that template code reads.
   Template code refers to constant k through the 32-bit value
   RC_PLACEHOLDER(k); fixupTemplates() replaces each of them, in a copy of
   the template code, by the address of the constant. Shared by the
   assembler sources (preprocessed .S files) and the C++ side, so it holds
   preprocessor definitions only. */
#ifndef SPIRALIX_RUNTIME_CONSTANTS_H
#define SPIRALIX_RUNTIME_CONSTANTS_H

#define RC_COUNT 31
#define RC_PLACEHOLDER_BASE 0xC7A35100
#define RC_PLACEHOLDER(k) (RC_PLACEHOLDER_BASE + (k) * 16)

/* Names of the constants, by index (type and value in CodeTemplate.cpp). */
#define RC_ONE              RC_PLACEHOLDER(0)    /* float 1.0 */
#define RC_HALF             RC_PLACEHOLDER(1)    /* float 0.5 */
#define RC_LOG2E            RC_PLACEHOLDER(2)    /* double log2(e) */
#define RC_LN2_HALF         RC_PLACEHOLDER(3)    /* double ln(2) / 2 */
#define RC_LN2              RC_PLACEHOLDER(4)    /* double ln(2) */
#define RC_LOG2_10          RC_PLACEHOLDER(5)    /* double log2(10) */
#define RC_LOG10_2_HALF     RC_PLACEHOLDER(6)    /* double log10(2) / 2 */
#define RC_LOG10_2          RC_PLACEHOLDER(7)    /* double log10(2) */
#define RC_CW_NEAREST       RC_PLACEHOLDER(8)    /* control word 0x137F */
#define RC_CW_DOWN          RC_PLACEHOLDER(9)    /* control word 0x177F */
#define RC_CW_UP            RC_PLACEHOLDER(10)   /* control word 0x1B7F (ceil) */
#define RC_CW_FLOOR         RC_PLACEHOLDER(11)   /* control word 0x177F (floor) */
#define RC_CW_TRUNC         RC_PLACEHOLDER(12)   /* control word 0x1F7F */
#define RC_CW_ROUND         RC_PLACEHOLDER(13)   /* control word 0x137F */
#define RC_TINY             RC_PLACEHOLDER(14)   /* double 1e-14 */
#define RC_E                RC_PLACEHOLDER(15)   /* double e */
#define RC_THREE            RC_PLACEHOLDER(16)   /* float 3.0 */
#define RC_FOUR             RC_PLACEHOLDER(17)   /* float 4.0 */
#define RC_SIX              RC_PLACEHOLDER(18)   /* float 6.0 */
#define RC_SIXTH            RC_PLACEHOLDER(19)   /* float 1/6 */
#define RC_TWENTYFIVE       RC_PLACEHOLDER(20)   /* float 25.0 */
#define RC_INV255           RC_PLACEHOLDER(21)   /* float 1/255 */
#define RC_TEN              RC_PLACEHOLDER(22)   /* float 10.0 */
#define RC_FIFTEEN          RC_PLACEHOLDER(23)   /* float 15.0 */
#define RC_SIGN_MASK_X4     RC_PLACEHOLDER(24)   /* 4 x int32 0x80000000 */
#define RC_TWO23_X4         RC_PLACEHOLDER(25)   /* 4 x float 2^23 */
#define RC_ONE_X4           RC_PLACEHOLDER(26)   /* 4 x float 1.0 */
#define RC_TEN_X4           RC_PLACEHOLDER(27)   /* 4 x float 10.0 */
#define RC_FIFTEEN_X4       RC_PLACEHOLDER(28)   /* 4 x float 15.0 */
#define RC_SIX_X4           RC_PLACEHOLDER(29)   /* 4 x float 6.0 */
#define RC_MILLION          RC_PLACEHOLDER(30)   /* float 1000000.0 */

#endif
