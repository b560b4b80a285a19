// The rule table of the Fractint converter: per row the state it applies
// in, how it matches, its pattern, its priority (1 for rows that need the
// empty state stack, which wins over 0), its output action and the next
// state (-1 ends the entry). Rows are tried in this order; among equal
// scores the first one wins.
#pragma once

enum FractintMatch { FM_ENTRY_NAME, FM_LITERAL, FM_KEYWORD, FM_ONE_OF, FM_EXPRESSION };

enum FractintAction {
    FA_TITLE = 1, FA_OPEN_GROUP = 2, FA_OPEN_BODY = 4, FA_GROUP_WORD = 5, FA_CLOSE_GROUP = 7,
    FA_IF = 10, FA_STATEMENT = 20, FA_CONDITION = 21, FA_END_IF = 22, FA_NOTHING = 23,
    FA_ELSE = 24, FA_DROP_COMMA = 25, FA_ELSE_IF = 27, FA_FINISH = 31, FA_FINISH_LOOP = 32,
    FA_START_INIT = 101, FA_START_LOOP = 102,
};

// The symmetry groups: the four the compiler knows are kept; the "_NOPARM"
// forms (symmetric only while the parameters are zero) are dropped.
#define FRACTINT_GROUP_WORDS \
    "XAXIS_NOPARM|YAXIS_NOPARM|XYAXIS_NOPARM|ORIGIN_NOPARM|PI_SYM_NOPARM|XAXIS|YAXIS|ORIGIN|XYAXIS"

//  X(state, match, pattern, priority, action, next)
#define FRACTINT_RULES(X)                                              \
    X(0, FM_ENTRY_NAME, "", 1, FA_TITLE, 1)                            \
    X(1, FM_LITERAL, "(", 1, FA_OPEN_GROUP, 2)                         \
    X(1, FM_LITERAL, "{", 1, FA_OPEN_BODY, 10)                         \
    X(2, FM_ONE_OF, FRACTINT_GROUP_WORDS, 1, FA_GROUP_WORD, 3)         \
    X(3, FM_LITERAL, ")", 1, FA_CLOSE_GROUP, 1)                        \
    X(10, FM_KEYWORD, "", 1, FA_START_INIT, 110)                       \
    X(110, FM_KEYWORD, ":", 1, FA_START_LOOP, 140)                     \
    X(110, FM_KEYWORD, "elseif", 0, FA_ELSE_IF, 130)                   \
    X(110, FM_KEYWORD, "else if", 0, FA_ELSE_IF, 130)                  \
    X(110, FM_KEYWORD, "if", 0, FA_IF, 130)                            \
    X(110, FM_KEYWORD, "else", 0, FA_ELSE, 110)                        \
    X(110, FM_KEYWORD, "endif", 0, FA_END_IF, 110)                     \
    X(110, FM_LITERAL, "}", 0, FA_FINISH, -1)                          \
    X(110, FM_EXPRESSION, "", 0, FA_STATEMENT, 111)                    \
    X(111, FM_LITERAL, ",", 0, FA_DROP_COMMA, 110)                     \
    X(111, FM_LITERAL, "", 0, FA_NOTHING, 110)                         \
    X(130, FM_EXPRESSION, "", 0, FA_CONDITION, 110)                    \
    X(140, FM_KEYWORD, ":", 1, FA_FINISH_LOOP, -1)                     \
    X(140, FM_KEYWORD, "elseif", 0, FA_ELSE_IF, 150)                   \
    X(140, FM_KEYWORD, "else if", 0, FA_ELSE_IF, 150)                  \
    X(140, FM_KEYWORD, "if", 0, FA_IF, 150)                            \
    X(140, FM_KEYWORD, "else", 0, FA_ELSE, 140)                        \
    X(140, FM_KEYWORD, "endif", 0, FA_END_IF, 140)                     \
    X(140, FM_LITERAL, "}", 0, FA_FINISH, -1)                          \
    X(140, FM_EXPRESSION, "", 0, FA_STATEMENT, 141)                    \
    X(141, FM_LITERAL, ",", 0, FA_DROP_COMMA, 140)                     \
    X(141, FM_LITERAL, "", 0, FA_NOTHING, 140)                         \
    X(150, FM_EXPRESSION, "", 0, FA_CONDITION, 140)
