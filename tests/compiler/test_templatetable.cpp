// The template table, its lookups, the processor check, the runtime
// constants and their fix-up, and the run harness of the template tests.
#include "tests/compiler/TemplateHarness.h"

#include <set>
#include <sstream>

#include "compiler/templates/RuntimeConstants.h"

namespace {

// The catalogue: "number;operation;display name;jumpIfTrue;jumpIfFalse;
// templates", each template "name:signature>result" (? where the
// signature is the template's own business).
const char* const CATALOGUE[] = {
    "1;sin;sin;0;0;sin_r:r>r sin_c:c>c",
    "2;cos;cos;0;0;cos_r:r>r cos_c:c>c",
    "3;tan;tan;0;0;tan_r:r>r tan_c:c>c",
    "4;asin;asin;0;0;asin_r:r>r asin_c:c>c",
    "5;acos;acos;0;0;acos_r:r>r acos_c:c>c",
    "6;atan;atan;0;0;atan_r:r>r atan_c:c>c",
    "7;abs;abs;0;0;abs_r:r>r abs_c:c>c abs_v:v>v abs_q:q>q",
    "8;add;+ (Addition);0;0;add_rr:rr>r add_rc:rc>c add_rv:rv>v add_rq:rq>q add_cr:cr>c add_cc:cc>c add_cq:cq>q add_vr:vr>v add_vv:vv>v add_qr:qr>q add_qc:qc>q add_qq:qq>q add_colcol:colcol>col",
    "9;sub;- (Subtraction);0;0;sub_rr:rr>r sub_rc:rc>c sub_rv:rv>v sub_rq:rq>q sub_cr:cr>c sub_cc:cc>c sub_cq:cq>q sub_vr:vr>v sub_vv:vv>v sub_qr:qr>q sub_qc:qc>q sub_qq:qq>q sub_colcol:colcol>col",
    "10;mult;* (Multiplication);0;0;mult_rr:rr>r mult_rc:rc>c mult_rq:rq>q mult_cr:cr>c mult_cc:cc>c mult_cq:cq>q mult_vv:vv>r mult_vr:vr>v mult_rv:rv>v mult_qr:qr>q mult_qc:qc>q mult_qq:qq>q mult_colr:colr>col mult_rcol:rcol>col",
    "11;div;/ (Division);0;0;div_rr:rr>r div_rc:rc>c div_rq:rq>q div_cr:cr>c div_cc:cc>c div_cq:cq>q div_vr:vr>v div_qr:qr>q div_qc:qc>q div_qq:qq>q div_colr:colr>col",
    "12;potenz;^ (power);0;0;potenz_rr:rr>r potenz_rc:rc>c potenz_cr:cr>c potenz_cc:cc>c potenz_qq:qq>q",
    "13;neg;- (Negation);0;0;neg_r:r>r neg_c:c>c neg_v:v>v neg_q:q>q",
    "14;ln;ln;0;0;ln_r:r>r ln_c:c>c ln_q:q>q",
    "15;exp;exp;0;0;exp_r:r>r exp_c:c>c exp_q:q>q",
    "16;log10;log10;0;0;log10_r:r>r log10_c:c>c",
    "17;sinh;sinh;0;0;sinh_r:r>r sinh_c:c>c",
    "18;sqrt;sqrt;0;0;sqrt_r:r>r sqrt_c:c>c",
    "19;tanh;tanh;0;0;tanh_r:r>c tanh_c:c>c",
    "20;cosh;cosh;0;0;cosh_r:r>r cosh_c:c>c",
    "21;cotan;cotan;0;0;cotan_r:r>r cotan_c:c>c",
    "22;cotanh;cotanh;0;0;cotanh_r:r>c cotanh_c:c>c",
    "23;conj;conj;0;0;conj_r:r>r conj_c:c>c",
    "24;real;real;0;0;real_r:r>r real_c:c>r real_q:q>r",
    "25;imag;imag;0;0;imag_r:r>r imag_c:c>r imag_q:q>r",
    "26;acot;acot;0;0;acot_r:r>c acot_c:c>c",
    "27;asinh;asinh;0;0;asinh_r:r>r asinh_c:c>c",
    "28;acosh;acosh;0;0;acosh_r:r>c acosh_c:c>c",
    "29;atanh;atanh;0;0;atanh_r:r>r atanh_c:c>c",
    "30;acoth;acoth;0;0;acoth_r:r>r acoth_c:c>c",
    "31;arg;arg;0;0;arg_r:r>r arg_c:c>r",
    "32;and;& (Logical AND);85;84;and_rr:rr>r and_rc:rc>r and_rq:rq>r and_cr:cr>r and_cc:cc>r and_cq:cq>r and_qr:qr>r and_qc:qc>r and_qq:qq>r",
    "33;or;| (Logical OR);85;84;or_rr:rr>r or_rc:rc>r or_rq:rq>r or_cr:cr>r or_cc:cc>r or_cq:cq>r or_qr:qr>r or_qc:qc>r or_qq:qq>r",
    "34;equ;== (Equal);84;85;equ_rr:rr>r equ_rc:rc>r equ_rq:rq>r equ_cr:cr>r equ_cc:cc>r equ_cq:cq>r equ_qr:qr>r equ_qc:qc>r equ_qq:qq>r equ_colcol:colcol>r",
    "35;ge;>= (Greater or Equal);86;87;ge_rr:rr>r ge_rc:rc>r ge_rq:rq>r ge_cr:cr>r ge_cc:cc>r ge_cq:cq>r ge_qr:qr>r ge_qc:qc>r ge_qq:qq>r",
    "36;le;<= (Lower or Equal);83;82;le_rr:rr>r le_rc:rc>r le_rq:rq>r le_cr:cr>r le_cc:cc>r le_cq:cq>r le_qr:qr>r le_qc:qc>r le_qq:qq>r",
    "37;nequ;!= (Not Equal);85;84;nequ_rr:rr>r nequ_rc:rc>r nequ_rq:rq>r nequ_cr:cr>r nequ_cc:cc>r nequ_cq:cq>r nequ_qr:qr>r nequ_qc:qc>r nequ_qq:qq>r nequ_colcol:colcol>r",
    "38;lt;< (Lower than);87;86;lt_rr:rr>r lt_rc:rc>r lt_rq:rq>r lt_cr:cr>r lt_cc:cc>r lt_cq:cq>r lt_qr:qr>r lt_qc:qc>r lt_qq:qq>r",
    "39;gt;> (Greater than);82;83;gt_rr:rr>r gt_rc:rc>r gt_rq:rq>r gt_cr:cr>r gt_cc:cc>r gt_cq:cq>r gt_qr:qr>r gt_qc:qc>r gt_qq:qq>r",
    "40;not;! (Logical Not);84;85;not_r:r>r not_c:c>r not_q:q>r",
    "41;srand;srand;0;0;srand:r>r",
    "42;rand;rand;82;83;rand:c>r",
    "45;sqr3;sqr3;0;0;sqr3_r:r>r sqr3_c:c>c sqr3_q:q>q",
    "46;sqr5;sqr5;0;0;sqr5_r:r>r sqr5_c:c>c sqr5_q:q>q",
    "47;sqr7;sqr7;0;0;sqr7_r:r>r sqr7_c:c>c sqr7_q:q>q",
    "48;sqr;sqr;0;0;sqr_r:r>r sqr_c:c>c sqr_q:q>q",
    "49;flip;flip;0;0;flip_r:r>c flip_c:c>c",
    "50;divr;/ (Division invers);0;0;divr_rr:rr>r divr_rc:rc>c divr_cr:cr>c divr_rv:vr>v divr_cc:cc>c",
    "51;atan2;atan2;0;0;atan2_r:r>r atan2_c:c>r",
    "52;cabs;cabs;0;0;cabs_r:r>r cabs_c:c>r cabs_v:v>r cabs_q:q>r",
    "53;ceil;ceil;0;0;ceil_r:r>r ceil_c:c>c ceil_q:q>q",
    "54;floor;floor;0;0;floor_r:r>r floor_c:c>c floor_q:q>q",
    "55;round;round;0;0;round_r:r>r round_c:c>c round_q:q>q",
    "56;trunc;trunc;0;0;trunc_r:r>r trunc_c:c>c trunc_q:q>q",
    "57;ident;ident;0;0;ident_r:r>r ident_c:c>c ident_q:q>q",
    "58;zero;zero;0;0;zero_r:r>r zero_c:c>c zero_q:q>q",
    "59;recip;recip;0;0;recip_r:r>r recip_c:c>c recip_q:q>q",
    "60;subr;- (Subtraction invers);0;0;subr_rr:rr>r subr_rc:rc>c subr_rv:rv>v subr_rq:rq>q subr_cr:cr>c subr_cc:cc>c subr_cq:cq>q subr_vr:vr>v subr_vv:vv>v subr_qr:qr>q subr_qc:qc>q subr_qq:qq>q subr_colcol:colcol>col",
    "61;mod;% (Modulo);0;0;mod_rr:rr>r mod_rc:rc>r mod_cr:cr>r mod_cc:cc>r",
    "62;oldz;oldz;0;0;oldz_r:r>c oldz_c:c>c",
    "63;mult2;mult2;0;0;mult2_r:r>r mult2_c:c>c mult2_v:v>v mult2_q:q>q mult2_col:col>col",
    "64;mult3;mult3;0;0;mult3_r:r>r mult3_c:c>c mult3_v:v>v mult3_q:q>q mult3_col:col>col",
    "65;mult4;mult4;0;0;mult4_r:r>r mult4_c:c>c mult4_v:v>v mult4_q:q>q mult4_col:col>col",
    "66;multM1;multM1;0;0;multM1_r:r>r multM1_c:c>c multM1_v:v>v multM1_q:q>q multM1_col:col>col",
    "67;multM2;multM2;0;0;multM2_r:r>r multM2_c:c>c multM2_v:v>v multM2_q:q>q multM2_col:col>col",
    "68;multM3;multM3;0;0;multM3_r:r>r multM3_c:c>c multM3_v:v>v multM3_q:q>q multM3_col:col>col",
    "69;multM4;multM4;0;0;multM4_r:r>r multM4_c:c>c multM4_v:v>v multM4_q:q>q multM4_col:col>col",
    "70;modr;% (Modulo invers);0;0;modr_rr:rr>r modr_rc:rc>r modr_cr:cr>r modr_cc:cc>r",
    "71;inc1;increment by 1;0;0;inc1_r:r>r inc1_c:c>c inc1_q:q>q inc1_v:v>v",
    "72;incM1;decrement by 1;0;0;incM1_r:r>r incM1_c:c>c incM1_q:q>q incM1_v:v>v",
    "73;dec1;decrement by 1;0;0;dec1_r:r>r dec1_c:c>c dec1_q:q>q dec1_v:v>v",
    "74;decM1;increment by 1;0;0;decM1_r:r>r decM1_c:c>c decM1_q:q>q decM1_v:v>v",
    "75;sqr6;sqr6;0;0;sqr6_r:r>r sqr6_c:c>c sqr6_q:q>q",
    "76;cosxx;cosxx;0;0;cosxx_r:r>r cosxx_c:c>c",
    "77;change;change;0;0;change_rr:rr>c change_rc:rc>c change_rq:rq>c change_cr:cr>c change_cc:cc>c change_cq:cq>c change_qr:qr>c change_qc:qc>c change_qq:qq>c change_vv:vv>c",
    "80;Betrag;|<num>| (absolute value);0;0;Betrag_r:r>r Betrag_c:c>r Betrag_v:v>r Betrag_q:q>r",
    "83;QOldz;oldz;0;0;QOldz_r:r>q QOldz_c:c>q",
    "84;hiquat;hiquat;0;0;hiquat_c:c>q hiquat_q:q>c",
    "85;loquat;loquat;0;0;loquat_c:c>q loquat_q:q>c",
    "86;defaultOutside;defaultOutside;0;0;defaultOutside:none>c",
    "87;defaultInside;defaultInside;0;0;defaultInside:none>c array:?>? array_free:?>? load_array_c_tbyte:?>? load_array_r_tbyte:?>? load_array_q_tbyte:?>? load_array_v_tbyte:?>? load_array_c_double:?>? load_array_r_double:?>? load_array_r_double_dim1:?>? load_array_r_double_dim2:?>? load_array_r_float:?>? load_array_r_float_dim1:?>? load_array_r_float_dim2:?>? load_array_q_double:?>? load_array_v_double:?>? load_array_c_float:?>? load_array_q_float:?>? load_array_q_float_dim1:?>? load_array_q_float_dim2:?>? load_array_v_float:?>? load_array_int:?>? load_array_int_dim1:?>? load_array_int_dim2:?>? load_array_int_dim3:?>? save_array_adr:?>? save_array_adr_dim1:?>? save_array_adr_dim2:?>? save_array_adr_dim3:?>? save_array_adr_direct_dim1:?>? save_array_adr_direct_dim2:?>? save_array_adr_direct_dim3:?>? save_array_adr_direct_dim4:?>? save_array_adr_direct_dim5:?>? transform_shadow_1:?>? transform_shadow_2:?>? transform_shadow_3:?>? transform_shadow_4:?>? transform_shadow_5:?>? transform_shadow_6:?>? transform_shadow_7:?>? transform_shadow_8:?>? transform_pixel:?>? save_pixel:?>? initNumiter_att:?>?",
    "88;init_numIter;init_numIter;0;0;init_numIter:none>c",
    "89;afterBailout_numiter;afterBailout_numiter;0;0;afterBailout_numiter:none>c afterBailout_numiter_small:none>c",
    "90;afterBailout;afterBailout;0;0;afterBailout:none>c afterBailout_small:none>c",
    "91;storez0;storez0;0;0;storez0:none>c",
    "92;storez;storez;0;0;storez:none>c",
    "93;initLastsqr;initLastsqr;0;0;initLastsqr:none>c",
    "94;defaultInside_quat;defaultInside_quat;0;0;defaultInside_quat:none>c",
    "95;init_numIter_quat;init_numIter_quat;0;0;init_numIter_quat:none>c",
    "96;afterBailout_numiter_quat;afterBailout_numiter_quat;0;0;afterBailout_numiter_quat:none>c",
    "97;afterBailout_quat;afterBailout_quat;0;0;afterBailout_quat:none>c",
    "98;storez0_quat;storez0_quat;0;0;storez0_quat:none>c",
    "99;storez_quat;storez_quat;0;0;storez_quat:none>c",
    "100;initLastsqr_quat;initLastsqr_quat;0;0;initLastsqr_quat:none>c",
    "101;collectReferences;collectReferences;0;0;collectReferences:none>c",
    "102;checkSolid;checkSolid;0;0;checkSolid_r:none>c checkSolid_q:none>c",
    "103;createRGB;createRGB;0;0;createRGB:rrr>col",
    "104;createRGBA;createRGBA;0;0;createRGBA:rrrr>col",
    "105;createHSL;createHSL;0;0;createHSL:rrr>col",
    "106;createHSLA;createHSLA;0;0;createHSLA:rrrr>col",
    "107;getRed;getRed;0;0;getRed:col>r",
    "108;getGreen;getGreen;0;0;getGreen:col>r",
    "109;getBlue;getBlue;0;0;getBlue:col>r",
    "110;getHue;getHue;0;0;getHue:col>r",
    "111;getSat;getSat;0;0;getSat:col>r",
    "112;getLum;getLum;0;0;getLum:col>r",
    "113;getAlpha;getAlpha;0;0;getAlpha:col>r",
    "114;random;random;0;0;random:r>i",
    "115;gradient;gradient;0;0;gradient:r>col",
    "116;blend;blend;0;0;blend:colcolr>col",
    "117;compose;compose;0;0;compose:colcolr>col",
    "118;mergenormal;mergenormal;0;0;mergenormal:colcol>col",
    "119;mergemultiply;mergemultiply;0;0;mergemultiply:colcol>col",
    "120;mergescreen;mergescreen;0;0;mergescreen:colcol>col",
    "121;mergeoverlay;mergeoverlay;0;0;mergeoverlay:colcol>col",
    "122;mergehardlight;mergehardlight;0;0;mergehardlight:colcol>col",
    "123;mergesoftlight;mergesoftlight;0;0;mergesoftlight:colcol>col",
    "124;mergedarken;mergedarken;0;0;mergedarken:colcol>col",
    "125;mergelighten;mergelighten;0;0;mergelighten:colcol>col",
    "126;mergedifference;mergedifference;0;0;mergedifference:colcol>col",
    "127;mergehue;mergehue;0;0;mergehue:colcol>col",
    "128;mergesaturation;mergesaturation;0;0;mergesaturation:colcol>col",
    "129;mergecolor;mergecolor;0;0;mergecolor:colcol>col",
    "130;mergeluminance;mergeluminance;0;0;mergeluminance:colcol>col",
    "131;mergeaddition;mergeaddition;0;0;mergeaddition:colcol>col",
    "132;mergesubtraction;mergesubtraction;0;0;mergesubtraction:colcol>col",
    "133;mergehsladdition;mergehsladdition;0;0;mergehsladdition:colcol>col",
    "134;mergered;mergered;0;0;mergered:colcol>col",
    "135;mergegreen;mergegreen;0;0;mergegreen:colcol>col",
    "136;mergeblue;mergeblue;0;0;mergeblue:colcol>col",
    "137;gradient_inside;gradient;0;0;gradient_inside:r>col",
    "138;ubound;ubound;0;0;ubound:ar>r",
    "139;isNaN;isNaN;87;86;isnan_r:r>b isnan_c:c>b isnan_v:v>b isnan_q:q>b",
    "140;isFinite;isFinite;86;87;isfinite_r:r>b isfinite_c:c>b isfinite_v:v>b isfinite_q:q>b",
    "141;fr_vector;vector;0;0;fr_vector:rrr>v",
    "142;partx;partx;0;0;partx:v>r",
    "143;party;party;0;0;party:v>r",
    "144;partz;partz;0;0;partz:v>r",
    "145;crossproduct;crossproduct;0;0;crossproduct:vv>v",
    "146;partj;partj;0;0;partj_r:r>r partj_c:c>r partj_q:q>r",
    "147;partk;partk;0;0;partk_r:r>r partk_c:c>r partk_q:q>r",
    "148;fr_complex;complex;0;0;fr_complex:rr>c",
    "149;fr_quaternion;quaternion;0;0;fr_quaternion:rrrr>q",
    "150;fr_perlinNoise;perlinNoise;0;0;fr_perlinNoise:rrr>r",
    "151;fr_perlinNoise3;perlinNoise3;0;0;fr_perlinNoise3:rrr>v",
    "152;trafoHistory;trafoHistory;0;0;trafoHistory:r>r",
    "153;randomReal;randomReal;0;0;fr_randomReal:none>r",
    "154;sincos;sincos;0;0;sincos:r>c",
    "155;and_opt;& (Logical AND);85;84;and_rr_opt:rr>r and_rc_opt:rc>r and_rq_opt:rq>r and_cr_opt:cr>r and_cc_opt:cc>r and_cq_opt:cq>r and_qr_opt:qr>r and_qc_opt:qc>r and_qq_opt:qq>r",
    "156;or_opt;| (Logical OR);85;84;or_rr_opt:rr>r or_rc_opt:rc>r or_rq_opt:rq>r or_cr_opt:cr>r or_cc_opt:cc>r or_cq_opt:cq>r or_qr_opt:qr>r or_qc_opt:qc>r or_qq_opt:qq>r",
    "157;equ_opt;== (Equal);84;85;equ_rr_opt:rr>r equ_rc_opt:rc>r equ_rq_opt:rq>r equ_cr_opt:cr>r equ_cc_opt:cc>r equ_cq_opt:cq>r equ_qr_opt:qr>r equ_qc_opt:qc>r equ_qq_opt:qq>r equ_colcol_opt:colcol>r",
    "158;ge_opt;>= (Greater or Equal);86;87;ge_rr_opt:rr>r ge_rc_opt:rc>r ge_rq_opt:rq>r ge_cr_opt:cr>r ge_cc_opt:cc>r ge_cq_opt:cq>r ge_qr_opt:qr>r ge_qc_opt:qc>r ge_qq_opt:qq>r",
    "159;le_opt;<= (Lower or Equal);83;82;le_rr_opt:rr>r le_rc_opt:rc>r le_rq_opt:rq>r le_cr_opt:cr>r le_cc_opt:cc>r le_cq_opt:cq>r le_qr_opt:qr>r le_qc_opt:qc>r le_qq_opt:qq>r",
    "160;nequ_opt;!= (Not Equal);85;84;nequ_rr_opt:rr>r nequ_rc_opt:rc>r nequ_rq_opt:rq>r nequ_cr_opt:cr>r nequ_cc_opt:cc>r nequ_cq_opt:cq>r nequ_qr_opt:qr>r nequ_qc_opt:qc>r nequ_qq_opt:qq>r nequ_colcol_opt:colcol>r",
    "161;lt_opt;< (Lower than);87;86;lt_rr_opt:rr>r lt_rc_opt:rc>r lt_rq_opt:rq>r lt_cr_opt:cr>r lt_cc_opt:cc>r lt_cq_opt:cq>r lt_qr_opt:qr>r lt_qc_opt:qc>r lt_qq_opt:qq>r",
    "162;gt_opt;> (Greater than);82;83;gt_rr_opt:rr>r gt_rc_opt:rc>r gt_rq_opt:rq>r gt_cr_opt:cr>r gt_cc_opt:cc>r gt_cq_opt:cq>r gt_qr_opt:qr>r gt_qc_opt:qc>r gt_qq_opt:qq>r",
    "163;not_opt;! (Logical Not);84;85;not_opt_r:r>r not_opt_c:c>r not_opt_q:q>r",
};

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

std::string TypeLetters(int type)
{
    switch (type) {
    case DT_COMPLEX: return "c";
    case DT_REAL: return "r";
    case DT_QUATERNION: return "q";
    case DT_VECTOR: return "v";
    case DT_COLOR: return "col";
    case DT_ARRAY: return "a";
    case DT_BOOL: return "b";
    case DT_INT: return "i";
    default: return "?";
    }
}

std::string SignatureLetters(const CodeTemplate* t)
{
    if (t->operandCount == 0)
        return "none";
    std::string s;
    for (int i = 0; i < t->operandCount; i++)
        s += TypeLetters(t->operandTypes[i]);
    return s;
}

bool ContainsPlaceholder(const CodeTemplate* t)
{
    for (int at = 0; at + 4 <= t->codeLength; at++) {
        uint32_t window;
        memcpy(&window, t->code + at, 4);
        for (int k = 0; k < RC_COUNT; k++)
            if (window == RuntimeConstantPlaceholder(k))
                return true;
    }
    return false;
}

int CountConstantAddresses(const CodeTemplate* t)
{
    int count = 0;
    for (int at = 0; at + 4 <= t->codeLength; at++) {
        uint32_t window;
        memcpy(&window, t->code + at, 4);
        for (int k = 0; k < RC_COUNT; k++)
            if (window == (uint32_t)(uintptr_t)RuntimeConstantAddress(k))
                count++;
    }
    return count;
}

// Every record of every list (both comparison forms), the placeholder
// list excluded.
template <typename F> void ForEachRecord(F f)
{
    std::set<const CodeTemplate*> seen;
    for (int op = 0; op < TEMPLATE_OPERATIONS; op++) {
        if (!g_TemplateTable[op] || op == OP_COLLECT_REFERENCES || !seen.insert(g_TemplateTable[op]).second)
            continue;
        for (const CodeTemplate* t = g_TemplateTable[op]; t->code; t++)
            f(op, t);
    }
}

}  // namespace

// First in this program: the fix-up on the original code.
TEST(TemplateFixup, ReplacesEveryPlaceholderInACopyOnce)
{
    ApplyProcessorFeatures(false, 0);   // both comparison forms reachable through the table
    int replaced = fixupTemplates();
    ASSERT_GE(replaced, 0);
    int addresses = 0;
    int records = 0;
    ForEachRecord([&](int op, const CodeTemplate* t) {
        SCOPED_TRACE(t->name);
        records++;
        EXPECT_FALSE(ContainsPlaceholder(t));
        addresses += CountConstantAddresses(t);
        // The code runs from executable memory of its own, not from the
        // program image.
        MEMORY_BASIC_INFORMATION info;
        ASSERT_NE(VirtualQuery(t->code, &info, sizeof info), 0u);
        EXPECT_EQ(info.Type, (DWORD)MEM_PRIVATE);
        EXPECT_EQ(info.Protect, (DWORD)PAGE_EXECUTE_READ);
        EXPECT_EQ(t->code[t->codeLength], 0) << "zero byte after the code";
    });
    EXPECT_GT(records, 0);
    EXPECT_GT(replaced, 0);
    EXPECT_EQ(addresses, replaced);
    // Each placeholder became the address of its own constant: atan_c
    // reads 1.0 (constant 0), 0.5 (1) and 4.0 (17).
    auto reads = [](const CodeTemplate* t, int k) {
        uint32_t address = (uint32_t)(uintptr_t)RuntimeConstantAddress(k);
        for (int at = 0; at + 4 <= t->codeLength; at++)
            if (memcmp(t->code + at, &address, 4) == 0)
                return true;
        return false;
    };
    const CodeTemplate* atan = FindTemplate(6, "atan_c");
    ASSERT_TRUE(atan);
    EXPECT_TRUE(reads(atan, 0));
    EXPECT_TRUE(reads(atan, 1));
    EXPECT_TRUE(reads(atan, 17));
    EXPECT_FALSE(reads(atan, 16));

    // A second run finds nothing left.
    EXPECT_EQ(fixupTemplates(), 0);

    // The placeholder list keeps its placeholders, in index order.
    const CodeTemplate* list = g_TemplateTable[OP_COLLECT_REFERENCES];
    ASSERT_TRUE(list && list->code);
    ASSERT_EQ(list->codeLength, 6 * RC_COUNT);
    for (int k = 0; k < RC_COUNT; k++) {
        EXPECT_EQ(list->code[6 * k], 0x8D);
        EXPECT_EQ(list->code[6 * k + 1], 0x05);
        uint32_t placeholder;
        memcpy(&placeholder, list->code + 6 * k + 2, 4);
        EXPECT_EQ(placeholder, RuntimeConstantPlaceholder(k)) << k;
    }
    MEMORY_BASIC_INFORMATION info;
    ASSERT_NE(VirtualQuery(list->code, &info, sizeof info), 0u);
    EXPECT_EQ(info.Type, (DWORD)MEM_IMAGE);
}

TEST(RuntimeConstants, HoldTheirValues)
{
    auto f = [](int k) { return *(const float*)RuntimeConstantAddress(k); };
    auto d = [](int k) { return *(const double*)RuntimeConstantAddress(k); };
    auto w = [](int k) { return *(const uint16_t*)RuntimeConstantAddress(k); };
    EXPECT_EQ(f(0), 1.0f);
    EXPECT_EQ(f(1), 0.5f);
    EXPECT_EQ(d(2), 1.4426950408889634);
    EXPECT_EQ(d(3), 0.34657359027997264);
    EXPECT_EQ(d(4), 0.6931471805599453);
    EXPECT_EQ(d(5), 3.321928094887362);
    EXPECT_EQ(d(6), 0.1505149978319906);
    EXPECT_EQ(d(7), 0.3010299956639812);
    const uint16_t words[] = {0x137F, 0x177F, 0x1B7F, 0x177F, 0x1F7F, 0x137F};
    for (int k = 8; k <= 13; k++)
        EXPECT_EQ(w(k), words[k - 8]) << k;
    EXPECT_EQ(d(14), 1e-14);
    // e to the last bit of a double (0x4005BF0A8B145769).
    double e = d(15);
    uint64_t bits;
    memcpy(&bits, &e, 8);
    EXPECT_EQ(bits, 0x4005BF0A8B145769ull);
    EXPECT_EQ(f(16), 3.0f);
    EXPECT_EQ(f(17), 4.0f);
    EXPECT_EQ(f(18), 6.0f);
    EXPECT_EQ(f(19), 1.0f / 6.0f);
    EXPECT_EQ(f(20), 25.0f);
    EXPECT_EQ(f(21), 1.0f / 255.0f);
    EXPECT_EQ(f(22), 10.0f);
    EXPECT_EQ(f(23), 15.0f);
    const float lanes[] = {8388608.0f, 1.0f, 10.0f, 15.0f, 6.0f};
    for (int k = 24; k <= 29; k++) {
        EXPECT_EQ((uintptr_t)RuntimeConstantAddress(k) % 16, 0u) << k;
        for (int lane = 0; lane < 4; lane++) {
            if (k == 24)
                EXPECT_EQ(((const uint32_t*)RuntimeConstantAddress(k))[lane], 0x80000000u);
            else
                EXPECT_EQ(((const float*)RuntimeConstantAddress(k))[lane], lanes[k - 25]) << k;
        }
    }
    EXPECT_EQ(f(30), 1000000.0f);
    EXPECT_EQ(RuntimeConstantAddress(RC_COUNT), nullptr);
    EXPECT_EQ(RuntimeConstantAddress(-1), nullptr);
}

TEST(TemplateTable, EqualsTheCatalogue)
{
    ApplyProcessorFeatures(false, 0);
    std::set<int> listed;
    for (const char* line : CATALOGUE) {
        std::vector<std::string> f = Split(line, ';');
        ASSERT_EQ(f.size(), 6u) << line;
        int op = atoi(f[0].c_str());
        listed.insert(op);
        SCOPED_TRACE(f[1]);
        const CodeTemplate* t = g_TemplateTable[op];
        ASSERT_TRUE(t != nullptr) << "operation " << op;
        std::vector<std::string> expected = Split(f[5], ' ');
        size_t i = 0;
        for (; t->code && i < expected.size(); t++, i++) {
            std::vector<std::string> e = Split(expected[i], ':');
            std::string name = e[0];
            std::vector<std::string> sr = Split(e[1], '>');
            EXPECT_EQ(t->name, name);
            EXPECT_STREQ(t->operationName, f[1].c_str()) << name;
            if (op != OP_DEFAULT_INSIDE || i == 0) {
                EXPECT_STREQ(t->displayName, f[2].c_str()) << name;
            }
            EXPECT_EQ(t->jumpIfTrue, (int)strtol(f[3].c_str(), nullptr, 16)) << name;
            EXPECT_EQ(t->jumpIfFalse, (int)strtol(f[4].c_str(), nullptr, 16)) << name;
            EXPECT_EQ(t->reserved, 0);
            if (sr[0] != "?") {
                EXPECT_EQ(SignatureLetters(t), sr[0]) << name;
                EXPECT_EQ(TypeLetters(t->resultType), sr[1]) << name;
            }
            EXPECT_GE(t->scratchRegisters, 0) << name;
            EXPECT_LE(t->scratchRegisters, 8) << name;
            EXPECT_GE(t->frameBytes, 0) << name;
            EXPECT_LE(t->frameBytes, 128) << name;
        }
        EXPECT_EQ(i, expected.size()) << "templates missing from the list of operation " << op;
        EXPECT_TRUE(t->code == nullptr) << "more templates than listed in operation " << op;
    }
    for (int op = 0; op < TEMPLATE_OPERATIONS; op++)
        if (!listed.count(op)) {
            EXPECT_TRUE(g_TemplateTable[op] == nullptr) << op;
        }
    EXPECT_EQ(g_TemplateTable[TEMPLATE_OPERATIONS], TEMPLATE_TABLE_END);
}

TEST(TemplateLookup, FindsBySignatureInTableOrder)
{
    ApplyProcessorFeatures(false, 0);
    const int32_t vector[] = {DT_VECTOR}, complex[] = {DT_COMPLEX}, real[] = {DT_REAL},
                  colour[] = {DT_COLOR};
    CodeTemplate* t = FindTemplateBySignature(13, vector, 1);
    ASSERT_TRUE(t);
    EXPECT_STREQ(t->name, "neg_v");
    t = FindTemplateBySignature(13, complex, 1);
    ASSERT_TRUE(t);
    EXPECT_STREQ(t->name, "neg_c");
    EXPECT_EQ(FindTemplateBySignature(13, colour, 1), nullptr);
    t = FindTemplateBySignature(13, real, 0);
    ASSERT_TRUE(t);
    EXPECT_STREQ(t->name, g_TemplateTable[13]->name);
    // More types than a record has operands never match it.
    const int32_t two[] = {DT_REAL, DT_REAL};
    EXPECT_EQ(FindTemplateBySignature(13, two, 2), nullptr);

    EXPECT_EQ(FindTemplate(13, "neg_q"), FindTemplateBySignature(13, (const int32_t[]){DT_QUATERNION}, 1));
    EXPECT_EQ(FindTemplate(13, "NEG_Q"), nullptr);
    EXPECT_EQ(FindTemplate(13, "neg"), nullptr);
    // Operations without templates, and numbers outside the table.
    EXPECT_EQ(FindTemplate(43, "neg_r"), nullptr);
    EXPECT_EQ(FindTemplateBySignature(0, real, 1), nullptr);
    EXPECT_EQ(FindTemplateBySignature(TEMPLATE_OPERATIONS, real, 1), nullptr);
    EXPECT_EQ(FindTemplate(-1, "neg_r"), nullptr);
}

TEST(TemplateLookup, CountOneMatchesTheFirstOperandOnly)
{
    ApplyProcessorFeatures(false, 0);
    const int32_t complex[] = {DT_COMPLEX}, cq[] = {DT_COMPLEX, DT_QUATERNION};
    CodeTemplate* t = FindTemplateBySignature(8, complex, 1);
    ASSERT_TRUE(t);
    EXPECT_STREQ(t->name, "add_cr");
    t = FindTemplateBySignature(8, cq, 2);
    ASSERT_TRUE(t);
    EXPECT_STREQ(t->name, "add_cq");
}

TEST(ProcessorCheck, SelectsTheCmovListsOnlyWithFpuAndCmov)
{
    CodeTemplate* plain[9];
    CodeTemplate* opt[9];
    ApplyProcessorFeatures(false, 0);
    for (int i = 0; i < 9; i++) {
        plain[i] = g_TemplateTable[OP_COMPARISONS_FIRST + i];
        opt[i] = g_TemplateTable[OP_COMPARISONS_OPT_FIRST + i];
        ASSERT_NE(plain[i], opt[i]);
    }
    struct Case { bool cpuid; uint32_t edx; uint8_t cmov; } cases[] = {
        {false, 0xFFFFFFFFu, 0},   // no CPUID instruction
        {true, 0x00000001u, 0},    // FPU without CMOV
        {true, 0x00008000u, 0},    // CMOV without FPU
        {true, 0x00008001u, 1},
        {true, 0xFFFFFFFFu, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edx);
        ApplyProcessorFeatures(c.cpuid, c.edx);
        EXPECT_EQ(g_HasCmov, c.cmov);
        for (int i = 0; i < 9; i++) {
            EXPECT_EQ(g_TemplateTable[OP_COMPARISONS_FIRST + i], c.cmov ? opt[i] : plain[i]);
            EXPECT_EQ(g_TemplateTable[OP_COMPARISONS_OPT_FIRST + i], opt[i]) << "the _opt lists stay reachable";
        }
    }
    // Any processor Wine runs on has both.
    InitProcessorFeatures();
    EXPECT_EQ(g_HasCmov, 1);
    EXPECT_EQ(g_TemplateTable[OP_COMPARISONS_FIRST], opt[0]);
    ApplyProcessorFeatures(false, 0);
}

// The harness itself: it must catch the faults it is there to catch.
TEST(TemplateHarness, SeesResultRegistersFillersAndFaults)
{
    TemplateRunner runner;
    ASSERT_TRUE(runner.ok());
    TemplateRunOptions options;
    options.fillers = 6;
    // fld1; faddp st(1), st: one scratch register; with 6 fillers and one
    // operand it fits, with 7 it overflows.
    const uint8_t addOne[] = {0xD9, 0xE8, 0xDE, 0xC1};
    TemplateRun run = runner.Run(addOne, 4, {Real(2)}, 1, options);
    EXPECT_FALSE(run.stackFault());
    EXPECT_EQ(run.registersAfter, 7);
    ASSERT_EQ(run.result.size(), 1u);
    EXPECT_EQ(run.result[0], 3.0L);
    EXPECT_EQ(run.fillers, TemplateRunner::ExpectedFillers(6));
    EXPECT_EQ(run.tagWordAtEnd, 0xFFFF);
    EXPECT_EQ(run.espChange, 0);
    EXPECT_TRUE(run.dataIntact);
    EXPECT_EQ(run.frameBytesWritten, 0);
    options.fillers = 7;
    run = runner.Run(addOne, 4, {Real(2)}, 1, options);
    EXPECT_TRUE(run.stackFault());

    // fstp st(1) with one operand: drops a filler's register.
    options.fillers = 3;
    const uint8_t dropsFiller[] = {0xDD, 0xD9};
    run = runner.Run(dropsFiller, 2, {Real(2)}, 1, options);
    EXPECT_EQ(run.registersAfter, 3);
    EXPECT_NE(run.fillers, TemplateRunner::ExpectedFillers(3));

    // Frame and data writes: fst qword [ebp-24]; fst qword [edi+8];
    // fst qword [ebp-136].
    const uint8_t writes[] = {0xDD, 0x55, 0xE8, 0xDD, 0x57, 0x08};
    run = runner.Run(writes, sizeof writes, {Real(2)}, 1, options);
    EXPECT_EQ(run.frameBytesWritten, 24);
    EXPECT_TRUE(run.frameOutsideScratchIntact);
    EXPECT_FALSE(run.dataIntact);
    const uint8_t deepFrame[] = {0xDD, 0x95, 0x78, 0xFF, 0xFF, 0xFF};
    run = runner.Run(deepFrame, sizeof deepFrame, {Real(2)}, 1, options);
    EXPECT_FALSE(run.frameOutsideScratchIntact);

    // Registers: inc ecx; push eax (ESP moves); pop eax restores it.
    const uint8_t changesEcx[] = {0x41};
    run = runner.Run(changesEcx, 1, {Real(2)}, 1, options);
    EXPECT_EQ(run.ecx, options.ecx + 1);
    const uint8_t pushes[] = {0x50};
    run = runner.Run(pushes, 1, {Real(2)}, 1, options);
    EXPECT_EQ(run.espChange, -4);

    // The operand order: first operand deepest, component 0 on top.
    options.fillers = 0;
    run = runner.Run(nullptr, 0, {Real(1), Cplx(2, 3)}, 3, options);
    EXPECT_EQ(run.result, (std::vector<long double>{2, 3, 1}));
}
