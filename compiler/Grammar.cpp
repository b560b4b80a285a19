#include "compiler/Grammar.h"
#include "compiler/Scanners.h"

#include <stdlib.h>
#include <string.h>

// The parse table. Columns: action, formula kind, context, state, match
// kind, text, block operation, pushed block id, next state, priority.
//
// States: 0-3 the head with its options; 10-26 declarations; 110-163
// statements and control structures; 170-176 the bailout and stop
// functions; 200-213 the description block; 220-242 user-function heads,
// locals and return; 250-255 import; 260-261 parameter-array dimensions.
// Rows that match the empty literal come last in their state, so any other
// matching row of equal depth wins.
const ParseRule g_ParseTable[PARSE_TABLE_ROWS + 1] = {
    /*   0 */ {1, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 0, MATCH_FORMULA_NAME, nullptr, BLOCK_NONE, 0, 1, 0},
    /*   1 */ {2, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 1, MATCH_LITERAL, "(", BLOCK_NONE, 0, 2, 0},
    /*   2 */ {3, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 1, MATCH_LITERAL, "{", BLOCK_NONE, 0, 10, 0},
    /*   3 */ {4, 1, CONTEXT_NO_BLOCK, 2, MATCH_ALTERNATIVES, "XAXIS|YAXIS|ORIGIN|XYAXIS|QUATERNION|ATTRACTOR", BLOCK_NONE, 0, 3, 0},
    /*   4 */ {5, 2, CONTEXT_NO_BLOCK, 2, MATCH_ALTERNATIVES, "INSIDE|OUTSIDE|BOTH|QUATERNION|ATTRACTOR", BLOCK_NONE, 0, 3, 0},
    /*   5 */ {6, 0, CONTEXT_NO_BLOCK, 2, MATCH_ALTERNATIVES, "QUATERNION", BLOCK_NONE, 0, 3, 0},
    /*   6 */ {290, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 2, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 3, 0},
    /*   7 */ {7, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 3, MATCH_LITERAL, ")", BLOCK_NONE, 0, 1, 0},
    /*   8 */ {9, 0, CONTEXT_NO_BLOCK, 10, MATCH_ALTERNATIVES, "import ", BLOCK_NONE, 0, 250, 0},
    /*   9 */ {9, 1, CONTEXT_NO_BLOCK, 10, MATCH_ALTERNATIVES, "import ", BLOCK_NONE, 0, 250, 0},
    /*  10 */ {9, 2, CONTEXT_NO_BLOCK, 10, MATCH_ALTERNATIVES, "import ", BLOCK_NONE, 0, 250, 0},
    /*  11 */ {10, 1, CONTEXT_NO_BLOCK, 10, MATCH_ALTERNATIVES, "parameter ", BLOCK_NONE, 0, 11, 0},
    /*  12 */ {10, 2, CONTEXT_NO_BLOCK, 10, MATCH_ALTERNATIVES, "parameter ", BLOCK_NONE, 0, 11, 0},
    /*  13 */ {10, 0, CONTEXT_NO_BLOCK, 10, MATCH_ALTERNATIVES, "parameter ", BLOCK_NONE, 0, 11, 0},
    /*  14 */ {280, 1, CONTEXT_NO_BLOCK, 10, MATCH_ALTERNATIVES, "function ", BLOCK_NONE, 0, 13, 0},
    /*  15 */ {280, 2, CONTEXT_NO_BLOCK, 10, MATCH_ALTERNATIVES, "function ", BLOCK_NONE, 0, 13, 0},
    /*  16 */ {280, 0, CONTEXT_NO_BLOCK, 10, MATCH_ALTERNATIVES, "function ", BLOCK_NONE, 0, 13, 0},
    /*  17 */ {11, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 10, MATCH_LITERAL, "}", BLOCK_NONE, 0, -1, 0},
    /*  18 */ {12, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 10, MATCH_LITERAL, "", BLOCK_NONE, 0, 11, 0},
    /*  19 */ {270, 1, CONTEXT_NO_BLOCK, 11, MATCH_ALTERNATIVES, "shared ", BLOCK_NONE, 0, 12, 0},
    /*  20 */ {270, 2, CONTEXT_NO_BLOCK, 11, MATCH_ALTERNATIVES, "shared ", BLOCK_NONE, 0, 12, 0},
    /*  21 */ {270, 0, CONTEXT_NO_BLOCK, 11, MATCH_ALTERNATIVES, "shared ", BLOCK_NONE, 0, 12, 0},
    /*  22 */ {271, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 11, MATCH_LITERAL, "", BLOCK_NONE, 0, 12, 0},
    /*  23 */ {13, 1, CONTEXT_NO_BLOCK, 12, MATCH_ALTERNATIVES, "const ", BLOCK_NONE, 0, 13, 0},
    /*  24 */ {13, 2, CONTEXT_NO_BLOCK, 12, MATCH_ALTERNATIVES, "const ", BLOCK_NONE, 0, 13, 0},
    /*  25 */ {13, 0, CONTEXT_NO_BLOCK, 12, MATCH_ALTERNATIVES, "const ", BLOCK_NONE, 0, 13, 0},
    /*  26 */ {14, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 12, MATCH_LITERAL, "", BLOCK_NONE, 0, 13, 0},
    /*  27 */ {15, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 13, MATCH_ALTERNATIVES, "vector |quaternion |double |complex |float |bool |real |int |void |color ", BLOCK_NONE, 0, 14, 0},
    /*  28 */ {16, 0, CONTEXT_NO_BLOCK, 13, MATCH_LITERAL, "array ", BLOCK_NONE, 0, 20, 0},
    /*  29 */ {16, 1, CONTEXT_NO_BLOCK, 13, MATCH_LITERAL, "array ", BLOCK_NONE, 0, 20, 0},
    /*  30 */ {16, 2, CONTEXT_NO_BLOCK, 13, MATCH_LITERAL, "array ", BLOCK_NONE, 0, 20, 0},
    /*  31 */ {107, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 14, MATCH_LITERAL, "description(", BLOCK_NONE, 0, 200, 0},
    /*  32 */ {19, 1, CONTEXT_NO_BLOCK, 14, MATCH_LITERAL, "bailout(", BLOCK_NONE, 0, 170, 0},
    /*  33 */ {19, 1, CONTEXT_NO_BLOCK, 14, MATCH_LITERAL, "stop(", BLOCK_NONE, 0, 170, 0},
    /*  34 */ {20, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 14, MATCH_DOTTED_IDENTIFIER, nullptr, BLOCK_NONE, 0, 15, 0},
    /*  35 */ {170, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 20, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 21, 0},
    /*  36 */ {171, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 21, MATCH_LITERAL, "[", BLOCK_NONE, 0, 22, 0},
    /*  37 */ {172, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 22, MATCH_CONSTANT, nullptr, BLOCK_NONE, 0, 23, 0},
    /*  38 */ {174, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 23, MATCH_LITERAL, "]", BLOCK_NONE, 0, 24, 0},
    /*  39 */ {176, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 24, MATCH_LITERAL, "of", BLOCK_NONE, 0, 25, 0},
    /*  40 */ {177, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 25, MATCH_ALTERNATIVES, "vector|quaternion|double|complex|float|bool|real|int|color", BLOCK_NONE, 0, 26, 0},
    /*  41 */ {178, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 26, MATCH_LITERAL, ";", BLOCK_NONE, 0, 10, 0},
    /*  42 */ {21, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 15, MATCH_LITERAL, "(", BLOCK_NONE, 0, 220, 0},
    /*  43 */ {190, 1, CONTEXT_NO_BLOCK, 15, MATCH_LITERAL, "[", BLOCK_NONE, 0, 260, 0},
    /*  44 */ {190, 2, CONTEXT_NO_BLOCK, 15, MATCH_LITERAL, "[", BLOCK_NONE, 0, 260, 0},
    /*  45 */ {190, 0, CONTEXT_NO_BLOCK, 15, MATCH_LITERAL, "[", BLOCK_NONE, 0, 260, 0},
    /*  46 */ {191, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 15, MATCH_LITERAL, "", BLOCK_NONE, 0, 16, 0},
    /*  47 */ {192, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 260, MATCH_EXPRESSION_SEMICOLON, nullptr, BLOCK_NONE, 0, 261, 0},
    /*  48 */ {193, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 261, MATCH_LITERAL, ",", BLOCK_NONE, 0, 260, 0},
    /*  49 */ {194, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 261, MATCH_LITERAL, "]", BLOCK_NONE, 0, 15, 0},
    /*  50 */ {22, 1, CONTEXT_NO_BLOCK, 16, MATCH_LITERAL, ",", BLOCK_NONE, 0, 14, 0},
    /*  51 */ {22, 2, CONTEXT_NO_BLOCK, 16, MATCH_LITERAL, ",", BLOCK_NONE, 0, 14, 0},
    /*  52 */ {22, 0, CONTEXT_NO_BLOCK, 16, MATCH_LITERAL, ",", BLOCK_NONE, 0, 14, 0},
    /*  53 */ {23, 1, CONTEXT_NO_BLOCK, 16, MATCH_LITERAL, ";", BLOCK_NONE, 0, 10, 0},
    /*  54 */ {23, 2, CONTEXT_NO_BLOCK, 16, MATCH_LITERAL, ";", BLOCK_NONE, 0, 10, 0},
    /*  55 */ {23, 0, CONTEXT_NO_BLOCK, 16, MATCH_LITERAL, ";", BLOCK_NONE, 0, 10, 0},
    /*  56 */ {28, RULE_ANY_KIND, CONTEXT_ANY, 110, MATCH_KEYWORD, "for", BLOCK_NONE, 0, 130, 0},
    /*  57 */ {29, RULE_ANY_KIND, CONTEXT_ANY, 110, MATCH_KEYWORD, "if", BLOCK_NONE, 0, 112, 0},
    /*  58 */ {30, RULE_ANY_KIND, CONTEXT_ANY, 110, MATCH_KEYWORD, "do", BLOCK_NONE, 0, 150, 0},
    /*  59 */ {31, RULE_ANY_KIND, CONTEXT_ANY, 110, MATCH_KEYWORD, "while", BLOCK_NONE, 0, 160, 0},
    /*  60 */ {32, RULE_ANY_KIND, 3, 110, MATCH_KEYWORD, "break", BLOCK_NONE, 0, 116, 0},
    /*  61 */ {33, RULE_ANY_KIND, 4, 110, MATCH_KEYWORD, "break", BLOCK_NONE, 0, 116, 0},
    /*  62 */ {34, RULE_ANY_KIND, 5, 110, MATCH_KEYWORD, "break", BLOCK_NONE, 0, 116, 0},
    /*  63 */ {35, RULE_ANY_KIND, 1, 110, MATCH_LITERAL, "}", BLOCK_POP, 0, 120, 0},
    /*  64 */ {36, RULE_ANY_KIND, 2, 110, MATCH_LITERAL, "}", BLOCK_POP, 0, 110, 0},
    /*  65 */ {37, RULE_ANY_KIND, 3, 110, MATCH_LITERAL, "}", BLOCK_POP, 0, 110, 0},
    /*  66 */ {38, RULE_ANY_KIND, 4, 110, MATCH_LITERAL, "}", BLOCK_POP, 0, 151, 0},
    /*  67 */ {91, RULE_ANY_KIND, 5, 110, MATCH_LITERAL, "}", BLOCK_POP, 0, 110, 0},
    /*  68 */ {39, RULE_ANY_KIND, 10, 110, MATCH_LITERAL, "}", BLOCK_POP, 0, 10, 0},
    /*  69 */ {150, RULE_ANY_KIND, CONTEXT_ANY, 110, MATCH_LITERAL, "return", BLOCK_NONE, 0, 241, 0},
    /*  70 */ {152, RULE_ANY_KIND, CONTEXT_ANY, 241, MATCH_EXPRESSION_SEMICOLON, nullptr, BLOCK_NONE, 0, 242, 0},
    /*  71 */ {153, RULE_ANY_KIND, CONTEXT_ANY, 242, MATCH_LITERAL, ";", BLOCK_NONE, 0, 110, 0},
    /*  72 */ {40, RULE_ANY_KIND, CONTEXT_ANY, 110, MATCH_EXPRESSION_SEMICOLON, nullptr, BLOCK_NONE, 0, 111, 0},
    /*  73 */ {41, RULE_ANY_KIND, CONTEXT_ANY, 111, MATCH_LITERAL, ";", BLOCK_NONE, 0, 110, 0},
    /*  74 */ {42, RULE_ANY_KIND, CONTEXT_ANY, 112, MATCH_LITERAL, "(", BLOCK_NONE, 0, 113, 0},
    /*  75 */ {43, RULE_ANY_KIND, CONTEXT_ANY, 113, MATCH_EXPRESSION_PAREN, nullptr, BLOCK_NONE, 0, 115, 0},
    /*  76 */ {44, RULE_ANY_KIND, CONTEXT_ANY, 115, MATCH_LITERAL, "{", BLOCK_PUSH, 1, 110, 0},
    /*  77 */ {45, RULE_ANY_KIND, 3, 116, MATCH_LITERAL, ";", BLOCK_NONE, 0, 110, 0},
    /*  78 */ {46, RULE_ANY_KIND, 4, 116, MATCH_LITERAL, ";", BLOCK_NONE, 0, 110, 0},
    /*  79 */ {47, RULE_ANY_KIND, 5, 116, MATCH_LITERAL, ";", BLOCK_NONE, 0, 110, 0},
    /*  80 */ {48, RULE_ANY_KIND, CONTEXT_ANY, 120, MATCH_KEYWORD, "else", BLOCK_NONE, 0, 121, 0},
    /*  81 */ {49, RULE_ANY_KIND, CONTEXT_ANY, 120, MATCH_LITERAL, "", BLOCK_NONE, 0, 110, 0},
    /*  82 */ {50, RULE_ANY_KIND, CONTEXT_ANY, 121, MATCH_LITERAL, "if", BLOCK_NONE, 0, 112, 0},
    /*  83 */ {51, RULE_ANY_KIND, CONTEXT_ANY, 121, MATCH_LITERAL, "{", BLOCK_PUSH, 2, 110, 0},
    /*  84 */ {52, RULE_ANY_KIND, CONTEXT_ANY, 130, MATCH_LITERAL, "(", BLOCK_NONE, 0, 131, 0},
    /*  85 */ {53, RULE_ANY_KIND, CONTEXT_ANY, 131, MATCH_EXPRESSION_SEMICOLON, nullptr, BLOCK_NONE, 0, 132, 0},
    /*  86 */ {54, RULE_ANY_KIND, CONTEXT_ANY, 132, MATCH_LITERAL, ",", BLOCK_NONE, 0, 131, 0},
    /*  87 */ {55, RULE_ANY_KIND, CONTEXT_ANY, 132, MATCH_LITERAL, ";", BLOCK_NONE, 0, 133, 0},
    /*  88 */ {56, RULE_ANY_KIND, CONTEXT_ANY, 133, MATCH_EXPRESSION_SEMICOLON, nullptr, BLOCK_NONE, 0, 134, 0},
    /*  89 */ {57, RULE_ANY_KIND, CONTEXT_ANY, 134, MATCH_LITERAL, ";", BLOCK_NONE, 0, 135, 0},
    /*  90 */ {59, RULE_ANY_KIND, CONTEXT_ANY, 135, MATCH_EXPRESSION_PAREN, nullptr, BLOCK_NONE, 0, 137, 0},
    /*  91 */ {58, RULE_ANY_KIND, CONTEXT_ANY, 135, MATCH_EXPRESSION_SEMICOLON, nullptr, BLOCK_NONE, 0, 136, 0},
    /*  92 */ {60, RULE_ANY_KIND, CONTEXT_ANY, 136, MATCH_LITERAL, ",", BLOCK_NONE, 0, 135, 0},
    /*  93 */ {61, RULE_ANY_KIND, CONTEXT_ANY, 136, MATCH_LITERAL, ")", BLOCK_NONE, 0, 137, 0},
    /*  94 */ {62, RULE_ANY_KIND, CONTEXT_ANY, 137, MATCH_LITERAL, "{", BLOCK_PUSH, 3, 110, 0},
    /*  95 */ {70, RULE_ANY_KIND, CONTEXT_ANY, 150, MATCH_LITERAL, "{", BLOCK_PUSH, 4, 110, 0},
    /*  96 */ {71, RULE_ANY_KIND, CONTEXT_ANY, 151, MATCH_KEYWORD, "while", BLOCK_NONE, 0, 152, 0},
    /*  97 */ {72, RULE_ANY_KIND, CONTEXT_ANY, 152, MATCH_LITERAL, "(", BLOCK_NONE, 0, 153, 0},
    /*  98 */ {73, RULE_ANY_KIND, CONTEXT_ANY, 153, MATCH_EXPRESSION_PAREN, nullptr, BLOCK_NONE, 0, 155, 0},
    /*  99 */ {80, RULE_ANY_KIND, CONTEXT_ANY, 155, MATCH_LITERAL, ";", BLOCK_NONE, 0, 110, 0},
    /* 100 */ {85, RULE_ANY_KIND, CONTEXT_ANY, 160, MATCH_LITERAL, "(", BLOCK_NONE, 0, 161, 0},
    /* 101 */ {86, RULE_ANY_KIND, CONTEXT_ANY, 161, MATCH_EXPRESSION_SEMICOLON, nullptr, BLOCK_NONE, 0, 162, 0},
    /* 102 */ {87, RULE_ANY_KIND, CONTEXT_ANY, 162, MATCH_LITERAL, ",", BLOCK_NONE, 0, 161, 0},
    /* 103 */ {88, RULE_ANY_KIND, CONTEXT_ANY, 162, MATCH_LITERAL, ")", BLOCK_NONE, 0, 163, 0},
    /* 104 */ {89, RULE_ANY_KIND, CONTEXT_ANY, 163, MATCH_LITERAL, "{", BLOCK_PUSH, 5, 110, 0},
    /* 105 */ {100, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 170, MATCH_KEYWORD, "void", BLOCK_NONE, 0, 171, 0},
    /* 106 */ {101, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 171, MATCH_LITERAL, ")", BLOCK_NONE, 0, 172, 0},
    /* 107 */ {102, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 172, MATCH_LITERAL, "{", BLOCK_NONE, 0, 173, 0},
    /* 108 */ {103, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 173, MATCH_LITERAL, "return(", BLOCK_NONE, 0, 174, 0},
    /* 109 */ {104, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 174, MATCH_EXPRESSION_PAREN, nullptr, BLOCK_NONE, 0, 175, 0},
    /* 110 */ {105, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 175, MATCH_LITERAL, ";", BLOCK_NONE, 0, 176, 0},
    /* 111 */ {106, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 176, MATCH_LITERAL, "}", BLOCK_NONE, 0, 10, 0},
    /* 112 */ {109, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 200, MATCH_KEYWORD, "void", BLOCK_NONE, 0, 201, 0},
    /* 113 */ {110, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 201, MATCH_LITERAL, ")", BLOCK_NONE, 0, 202, 0},
    /* 114 */ {111, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 202, MATCH_LITERAL, "{", BLOCK_PUSH, 11, 203, 0},
    /* 115 */ {112, RULE_ANY_KIND, 11, 203, MATCH_LITERAL, "}", BLOCK_POP, 0, 10, 0},
    /* 116 */ {121, RULE_ANY_KIND, CONTEXT_ANY, 203, MATCH_LITERAL, "separator", BLOCK_NONE, 0, 211, 0},
    /* 117 */ {122, RULE_ANY_KIND, CONTEXT_ANY, 211, MATCH_LITERAL, ".", BLOCK_NONE, 0, 212, 0},
    /* 118 */ {123, RULE_ANY_KIND, CONTEXT_ANY, 212, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 213, 0},
    /* 119 */ {124, RULE_ANY_KIND, CONTEXT_ANY, 213, MATCH_LITERAL, ".", BLOCK_NONE, 0, 205, 0},
    /* 120 */ {113, RULE_ANY_KIND, CONTEXT_ANY, 203, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 204, 0},
    /* 121 */ {114, RULE_ANY_KIND, CONTEXT_ANY, 204, MATCH_LITERAL, ".", BLOCK_NONE, 0, 205, 0},
    /* 122 */ {119, RULE_ANY_KIND, CONTEXT_ANY, 205, MATCH_LITERAL, "visible", BLOCK_NONE, 0, 209, 0},
    /* 123 */ {119, RULE_ANY_KIND, CONTEXT_ANY, 205, MATCH_LITERAL, "default", BLOCK_NONE, 0, 209, 0},
    /* 124 */ {119, RULE_ANY_KIND, CONTEXT_ANY, 205, MATCH_LITERAL, "enabled", BLOCK_NONE, 0, 209, 0},
    /* 125 */ {119, RULE_ANY_KIND, CONTEXT_ANY, 205, MATCH_LITERAL, "randomizable", BLOCK_NONE, 0, 209, 0},
    /* 126 */ {119, RULE_ANY_KIND, CONTEXT_ANY, 205, MATCH_LITERAL, "randomizationType", BLOCK_NONE, 0, 209, 0},
    /* 127 */ {115, RULE_ANY_KIND, CONTEXT_ANY, 205, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 206, 0},
    /* 128 */ {116, RULE_ANY_KIND, CONTEXT_ANY, 206, MATCH_LITERAL, "=", BLOCK_NONE, 0, 207, 0},
    /* 129 */ {116, RULE_ANY_KIND, CONTEXT_ANY, 209, MATCH_LITERAL, "=", BLOCK_NONE, 0, 210, 0},
    /* 130 */ {117, RULE_ANY_KIND, CONTEXT_ANY, 207, MATCH_CONSTANT, nullptr, BLOCK_NONE, 0, 208, 0},
    /* 131 */ {118, RULE_ANY_KIND, CONTEXT_ANY, 208, MATCH_LITERAL, ";", BLOCK_NONE, 0, 203, 0},
    /* 132 */ {120, RULE_ANY_KIND, CONTEXT_ANY, 210, MATCH_EXPRESSION_SEMICOLON, nullptr, BLOCK_NONE, 0, 208, 0},
    /* 133 */ {131, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 220, MATCH_ALTERNATIVES, "vector |quaternion |double |complex |float |bool |real |int |color ", BLOCK_NONE, 0, 221, 0},
    /* 134 */ {132, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 220, MATCH_ALTERNATIVES, "void", BLOCK_NONE, 0, 231, 0},
    /* 135 */ {180, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 220, MATCH_LITERAL, "array ", BLOCK_NONE, 0, 223, 0},
    /* 136 */ {133, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 221, MATCH_LITERAL, "&", BLOCK_NONE, 0, 222, 0},
    /* 137 */ {134, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 221, MATCH_LITERAL, "", BLOCK_NONE, 0, 222, 0},
    /* 138 */ {135, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 222, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 230, 0},
    /* 139 */ {181, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 223, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 224, 0},
    /* 140 */ {182, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 224, MATCH_LITERAL, "[", BLOCK_NONE, 0, 225, 0},
    /* 141 */ {183, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 225, MATCH_CONSTANT, nullptr, BLOCK_NONE, 0, 226, 0},
    /* 142 */ {184, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 226, MATCH_LITERAL, "]", BLOCK_NONE, 0, 227, 0},
    /* 143 */ {185, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 227, MATCH_LITERAL, "of", BLOCK_NONE, 0, 228, 0},
    /* 144 */ {186, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 228, MATCH_ALTERNATIVES, "vector|quaternion|double|complex|float|bool|real|int|color", BLOCK_NONE, 0, 230, 0},
    /* 145 */ {136, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 230, MATCH_LITERAL, ",", BLOCK_NONE, 0, 220, 0},
    /* 146 */ {137, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 230, MATCH_LITERAL, ")", BLOCK_NONE, 0, 232, 0},
    /* 147 */ {137, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 231, MATCH_LITERAL, ")", BLOCK_NONE, 0, 232, 0},
    /* 148 */ {138, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 232, MATCH_LITERAL, ";", BLOCK_NONE, 0, 10, 0},
    /* 149 */ {139, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 232, MATCH_LITERAL, "{", BLOCK_PUSH, 10, 237, 0},
    /* 150 */ {140, RULE_ANY_KIND, 10, 237, MATCH_ALTERNATIVES, "vector |quaternion |double |complex |float |bool |real |int |color ", BLOCK_NONE, 0, 238, 0},
    /* 151 */ {141, RULE_ANY_KIND, 10, 237, MATCH_LITERAL, "", BLOCK_NONE, 0, 110, 0},
    /* 152 */ {142, RULE_ANY_KIND, 10, 238, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 239, 0},
    /* 153 */ {143, RULE_ANY_KIND, 10, 239, MATCH_LITERAL, ",", BLOCK_NONE, 0, 238, 0},
    /* 154 */ {144, RULE_ANY_KIND, 10, 239, MATCH_LITERAL, ";", BLOCK_NONE, 0, 237, 0},
    /* 155 */ {160, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 250, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 251, 0},
    /* 156 */ {161, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 251, MATCH_LITERAL, ".", BLOCK_NONE, 0, 252, 0},
    /* 157 */ {162, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 252, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 253, 0},
    /* 158 */ {163, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 253, MATCH_LITERAL, "as", BLOCK_NONE, 0, 254, 0},
    /* 159 */ {164, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 254, MATCH_IDENTIFIER, nullptr, BLOCK_NONE, 0, 255, 0},
    /* 160 */ {165, RULE_ANY_KIND, CONTEXT_NO_BLOCK, 255, MATCH_LITERAL, ";", BLOCK_NONE, 0, 10, 0},
    /* end */ {0, RULE_ANY_KIND, TABLE_END, TABLE_END, MATCH_LITERAL, nullptr, BLOCK_NONE, 0, TABLE_END, 0},
};

namespace {

// Rows of each state, built once from the table.
struct ParseStateIndex {
    int stateCount = 0;  // largest state + 5
    int** rowsByState = nullptr;

    ParseStateIndex()
    {
        int largest = 0;
        for (int r = 0; r < PARSE_TABLE_ROWS; ++r)
            if (g_ParseTable[r].state > largest)
                largest = g_ParseTable[r].state;
        stateCount = largest + 5;
        rowsByState = (int**)calloc(stateCount, sizeof(int*));
        if (!rowsByState) {
            stateCount = 0;
            return;
        }
        for (int r = 0; r < PARSE_TABLE_ROWS; ++r) {
            int state = g_ParseTable[r].state;
            if (state < 0 || rowsByState[state])
                continue;
            int count = 0;
            for (int k = r; k < PARSE_TABLE_ROWS; ++k)
                if (g_ParseTable[k].state == state)
                    ++count;
            int* rows = (int*)malloc((count + 1) * sizeof(int));
            if (!rows)
                continue;
            int n = 0;
            for (int k = r; k < PARSE_TABLE_ROWS; ++k)
                if (g_ParseTable[k].state == state)
                    rows[n++] = k;
            rows[n] = -1;
            rowsByState[state] = rows;
        }
    }
};

const ParseStateIndex& stateIndex()
{
    // Built on first use; the initialisation of a function-local static is
    // thread-safe, so compiles on several threads may race to it.
    static const ParseStateIndex index;
    return index;
}

bool isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Option words that may stand in the group between a formula's name and its
// body, tested in this order against the end of the group. A word that does
// not follow the group's "(" directly leaves the name to the nearest "(".
const char* const kOptionWords[] = {
    "XAXIS_NOPARM", "YAXIS_NOPARM", "XYAXIS_NOPARM", "ORIGIN_NOPARM", "QUATERNION", "ATTRACTOR", "OUTSIDE",
    "XYAXIS",       "ORIGIN",       "INSIDE",        "XAXIS",         "YAXIS",      "BOTH",      "3D",
};

}  // namespace

void buildParseStateIndex()
{
    stateIndex();
}

const int* parseStateRows(int state)
{
    const ParseStateIndex& index = stateIndex();
    if (state < 0 || state >= index.stateCount)
        return nullptr;
    return index.rowsByState[state];
}

int findFormulaName(const char* text, int* nameEnd)
{
    const char* brace = strchr(text, '{');
    if (!brace)
        return -1;
    int q = (int)(brace - text) - 1;
    while (q >= 0 && isWhite(text[q]))
        --q;
    if (q < 0)
        return -1;
    int last = q;  // last character of the name
    if (text[q] == ')') {
        int r = q - 1;
        while (r >= 0 && isWhite(text[r]))
            --r;
        bool found = false;
        for (const char* word : kOptionWords) {
            int length = (int)strlen(word);
            if (r + 1 < length || _strnicmp(text + r + 1 - length, word, length) != 0)
                continue;
            int s = r - length;
            while (s >= 0 && isWhite(text[s]))
                --s;
            if (s >= 0 && text[s] == '(') {
                last = s - 1;
                found = true;
            }
            break;
        }
        if (!found) {
            int s = q - 1;
            while (s >= 0 && text[s] != '(')
                --s;
            if (s >= 0)
                last = s - 1;  // without a "(" the token ending in ")" is the name
        }
        while (last >= 0 && isWhite(text[last]))
            --last;
    }
    if (last < 0 || (unsigned char)text[last] < '!')
        return -1;
    int first = last;
    while (first > 0 && (unsigned char)text[first - 1] >= '!')
        --first;
    *nameEnd = last + 1;
    return first;
}

namespace {

bool isIdentifierChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Characters that belong to an expression wherever they stand (a "," only
// inside parentheses or brackets).
bool isExpressionChar(unsigned char c)
{
    if (c >= 128)
        return false;
    if (isIdentifierChar((char)c))
        return true;
    return c != 0 && strchr("!#$%&()*+-./<=>[]^_|", c) != nullptr;
}

// Depth of a row's context on the block stack: 0 for any block, 1 for "no
// block" while none is open, 3 + the position (from the outermost) of the
// innermost open block of the row's id, so that a row of an inner block wins
// over one of an outer block; -1 when the row does not apply.
int contextDepth(int context, const BlockStack* blocks)
{
    if (context == CONTEXT_ANY)
        return 0;
    if (context == CONTEXT_NO_BLOCK)
        return !blocks || blocks->isEmpty() ? 1 : -1;
    int position = blocks ? blocks->innermost(context) : -1;
    return position < 0 ? -1 : position + 3;
}

}  // namespace

int FormulaCompiler::matchStatementRule(const char* text, int position, int state)
{
    const int* rows = parseStateRows(state);
    if (!rows || !matchScratch)
        return -1;
    const int p = position;
    int winner = -1;
    for (; *rows >= 0; ++rows) {
        const int r = *rows;
        const ParseRule& rule = g_ParseTable[r];
        MatchRecord& m = matchScratch[r];
        m.depth = -1;
        m.priority = rule.priority;
        m.next = -1;
        if (rule.kind != RULE_ANY_KIND && rule.kind != kind)
            continue;
        int depth = contextDepth(rule.context, blockStack);
        if (depth < 0)
            continue;

        int start = p, end = p - 1, next = -1;
        switch (rule.match) {
        case MATCH_IDENTIFIER:
        case MATCH_DOTTED_IDENTIFIER: {
            int q = p;
            while (isIdentifierChar(text[q]) || (rule.match == MATCH_DOTTED_IDENTIFIER && text[q] == '.'))
                ++q;
            if (q > p) {
                end = q - 1;
                next = q;
            }
            break;
        }
        case MATCH_FORMULA_NAME: {
            // The formula's entry name, found in the whole text, is taken
            // as standing at the position: its length counts from there, so
            // white space, comments and directives in front of it are
            // passed over by the driver.
            int nameEnd;
            int nameStart = findFormulaName(text, &nameEnd);
            if (nameStart >= 0) {
                end = p + (nameEnd - nameStart) - 1;
                next = p + (nameEnd - nameStart);
            }
            break;
        }
        case MATCH_EXPRESSION_SEMICOLON:
        case MATCH_EXPRESSION_PAREN: {
            int q = p, parenDepth;
            bool found;
            matchBalancedExpression(text, &q, &parenDepth, &start, &end, &found, r);
            if (found)
                next = q;
            break;
        }
        case MATCH_ALTERNATIVES: {
            int q = p;
            bool found;
            matchKeywordAlternatives(text, &q, rule.text, &start, &end, &found);
            if (found)
                next = q;
            break;
        }
        case MATCH_LITERAL:
        case MATCH_KEYWORD: {
            int length = matchLiteralPrefix(text + p, rule.text);
            if (length < 0)
                break;
            if (rule.match == MATCH_KEYWORD && (length == 0 || isIdentifierChar(text[p + length])))
                break;
            end = p + length - 1;
            next = p + length;
            break;
        }
        case MATCH_CONSTANT: {
            int s, e, n;
            constantType = scanConstant(text + p, &s, &e, &n, constantValue, false);
            if (constantType >= 0) {
                start = p + s;
                end = p + e;
                next = p + n;
            }
            break;
        }
        default:
            break;  // kinds 6 and 9 never match
        }
        if (next < 0)
            continue;
        m.depth = depth;
        m.start = start;
        m.end = end;
        m.next = next;
        if (winner < 0) {
            winner = r;
        } else {
            const MatchRecord& w = matchScratch[winner];
            if (depth > w.depth || (depth == w.depth && m.priority > w.priority))
                winner = r;
        }
    }
    return winner;
}

void FormulaCompiler::matchKeywordAlternatives(const char* text, int* position, const char* alternatives,
                                               int* start, int* end, bool* found)
{
    *found = false;
    const int p = *position;
    const char* a = alternatives;
    while (a && *a) {
        const char* bar = strchr(a, '|');
        int length = bar ? (int)(bar - a) : (int)strlen(a);
        if (length > 0 && a[length - 1] == ' ') {
            // A keyword that must be followed by white space; the match
            // takes that character too.
            int k = length - 1;
            char after = text[p + k];
            if (strncmp(text + p, a, k) == 0 &&
                (after == ' ' || after == '\t' || after == '\n' || after == '\r')) {
                *start = p;
                *end = p + k;
                *position = p + k + 1;
                *found = true;
                return;
            }
        } else if (strncmp(text + p, a, length) == 0) {
            *start = p;
            *end = p + length - 1;
            *position = p + length;
            *found = true;
            return;
        }
        a += length;
        if (*a == '|')
            ++a;
    }
}

void FormulaCompiler::matchBalancedExpression(const char* text, int* position, int* depth, int* start,
                                              int* end, bool* found, int row)
{
    const int p = *position;
    int q = p;
    bool inString = false;
    int parens = 0, brackets = 0, significant = 0;
    for (;; ++q) {
        unsigned char c = (unsigned char)text[q];
        if (c == 0)
            break;
        if (inString) {
            if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            continue;
        if (c == '(') {
            ++parens;
        } else if (c == ')') {
            if (--parens < 0)
                break;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            if (--brackets < 0)
                break;
        }
        if (isExpressionChar(c) || (c == ',' && (parens > 0 || brackets > 0))) {
            ++significant;
            continue;
        }
        break;
    }
    *depth = parens;
    *found = false;
    if (g_ParseTable[row].match == MATCH_EXPRESSION_PAREN) {
        if (text[q] == ')' && parens < 0) {
            *start = p;
            *end = q - 1;
            *position = q + 1;
            *found = true;
        }
        return;
    }
    if (significant == 0 && text[q] != ';')
        return;
    *start = p;
    *end = q - 1;
    *position = q;  // the ending character is left to the next rule
    *found = true;
}
