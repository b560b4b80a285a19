// The rule table of the UltraFractal converter: per row the mode it applies
// to (0 transformation, 1 iteration formula, 2 colouring, 4 every mode),
// its stack condition (-1 the empty stack, scoring 1; -2 none, scoring 0),
// its state, match kind and pattern, its output action, the next state
// (-1 ends the entry) and its priority. Among equal scores the higher
// priority wins, then the earlier row.
#pragma once

enum UfMatch {
    UM_IDENTIFIER = 0, UM_ENTRY_NAME = 2, UM_EXPRESSION = 3, UM_ONE_OF = 5, UM_ONE_OF_NOCASE = 6,
    UM_LITERAL = 7, UM_KEYWORD = 8, UM_PREFIX = 9, UM_REST_OF_LINE = 11,
};

enum { UF_ANY = 4, UF_EMPTY = -1, UF_NONE = -2 };

//  X(mode, stack, state, match, pattern, action, next, priority)
#define ULTRAFRACTAL_RULES(X)                                                                          \
    X(UF_ANY, UF_EMPTY, 0, UM_ENTRY_NAME, "", 1, 1, 0)                                                 \
    X(1, UF_EMPTY, 1, UM_LITERAL, "(", 2, 2, 0)                                                        \
    X(2, UF_EMPTY, 1, UM_LITERAL, "(", 3, 2, 0)                                                        \
    X(UF_ANY, UF_EMPTY, 1, UM_LITERAL, "{", 4, 10, 0)                                                  \
    X(1, UF_EMPTY, 2, UM_ONE_OF, "XAXIS_NOPARM|XAXIS|YAXIS_NOPARM|YAXIS|ORIGIN", 5, 3, 0)              \
    X(2, UF_EMPTY, 2, UM_ONE_OF, "INSIDE|OUTSIDE|BOTH", 6, 3, 0)                                       \
    X(UF_ANY, UF_EMPTY, 2, UM_IDENTIFIER, "", 90, 3, 0)                                                \
    X(UF_ANY, UF_EMPTY, 2, UM_LITERAL, ")", 7, 1, 0)                                                   \
    X(UF_ANY, UF_EMPTY, 3, UM_LITERAL, ")", 7, 1, 0)                                                   \
    X(UF_ANY, UF_EMPTY, 10, UM_PREFIX, "builtin:", 91, 110, 0)                                         \
    X(0, UF_EMPTY, 10, UM_PREFIX, "transform:", 8, 110, 0)                                             \
    X(0, UF_EMPTY, 10, UM_PREFIX, "global:", 127, 110, 0)                                              \
    X(0, UF_EMPTY, 10, UM_PREFIX, "", 9, 110, 0)                                                       \
    X(2, UF_EMPTY, 10, UM_PREFIX, "init:", 120, 110, 0)                                                \
    X(2, UF_EMPTY, 10, UM_PREFIX, "loop:", 121, 110, 0)                                                \
    X(2, UF_EMPTY, 10, UM_PREFIX, "final:", 122, 110, 0)                                               \
    X(2, UF_EMPTY, 10, UM_PREFIX, "global:", 126, 110, 0)                                              \
    X(2, UF_EMPTY, 10, UM_PREFIX, "", 123, 110, 0)                                                     \
    X(2, UF_EMPTY, 110, UM_PREFIX, "loop:", 124, 110, 0)                                               \
    X(2, UF_EMPTY, 110, UM_PREFIX, "final:", 125, 110, 0)                                              \
    X(2, UF_EMPTY, 110, UM_PREFIX, "init:", 120, 110, 0)                                               \
    X(0, UF_EMPTY, 110, UM_PREFIX, "transform:", 8, 110, 0)                                            \
    X(1, UF_EMPTY, 10, UM_PREFIX, "init:", 100, 110, 0)                                                \
    X(1, UF_EMPTY, 10, UM_PREFIX, "global:", 106, 110, 0)                                              \
    X(1, UF_EMPTY, 10, UM_PREFIX, "", 101, 110, 0)                                                     \
    X(1, UF_EMPTY, 110, UM_PREFIX, "init:", 100, 110, 0)                                               \
    X(UF_ANY, UF_EMPTY, 110, UM_PREFIX, "builtin:", 91, 110, 0)                                        \
    X(1, UF_EMPTY, 110, UM_PREFIX, "loop:", 102, 110, 0)                                               \
    X(1, UF_EMPTY, 110, UM_PREFIX, ":", 102, 110, 0)                                                   \
    X(1, UF_EMPTY, 110, UM_PREFIX, "bailout:", 103, 110, 0)                                            \
    X(UF_ANY, UF_NONE, 110, UM_KEYWORD, "elseif", 27, 130, 0)                                          \
    X(UF_ANY, UF_NONE, 110, UM_KEYWORD, "if", 10, 130, 0)                                              \
    X(UF_ANY, UF_NONE, 110, UM_KEYWORD, "while", 12, 130, 0)                                           \
    X(UF_ANY, UF_NONE, 110, UM_KEYWORD, "repeat", 14, 110, 0)                                          \
    X(UF_ANY, UF_NONE, 110, UM_KEYWORD, "endwhile", 16, 110, 0)                                        \
    X(UF_ANY, UF_NONE, 110, UM_KEYWORD, "until", 18, 131, 0)                                           \
    X(UF_ANY, UF_NONE, 110, UM_KEYWORD, "else", 24, 110, 0)                                            \
    X(UF_ANY, UF_NONE, 110, UM_KEYWORD, "endif", 22, 110, 0)                                           \
    X(UF_ANY, UF_NONE, 110, UM_PREFIX, "default:", 29, 150, 0)                                         \
    X(UF_ANY, UF_NONE, 110, UM_LITERAL, "}", 31, -1, 0)                                                \
    X(UF_ANY, UF_NONE, 110, UM_PREFIX, "switch:", 104, 200, 0)                                         \
    X(UF_ANY, UF_NONE, 110, UM_EXPRESSION, "", 20, 110, 0)                                             \
    X(UF_ANY, UF_NONE, 130, UM_EXPRESSION, "", 21, 110, 0)                                             \
    X(UF_ANY, UF_NONE, 131, UM_EXPRESSION, "", 50, 110, 0)                                             \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "title", 30, 150, 0)                                            \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "helpfile", 33, 150, 0)                                         \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "helptopic", 34, 150, 0)                                        \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "precision", 160, 150, 0)                                       \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "skew", 161, 150, 0)                                            \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "stretch", 162, 150, 0)                                         \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "render", 163, 150, 0)                                          \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "maxiter", 35, 150, 0)                                          \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "#maxiter", 35, 150, 0)                                         \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "periodicity", 36, 150, 0)                                      \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "method", 37, 150, 0)                                           \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "angle", 38, 150, 0)                                            \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "#angle", 38, 150, 0)                                           \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "magn", 39, 150, 0)                                             \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "center", 40, 150, 0)                                           \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "#center", 40, 150, 0)                                          \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "}", 70, -1, 0)                                                 \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "switch:", 105, 200, 0)                                         \
    X(UF_ANY, UF_NONE, 150, UM_ONE_OF_NOCASE, "bool.|int.|float.|complex.|color.", 135, 150, 0)        \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "param", 41, 160, 0)                                            \
    X(UF_ANY, UF_NONE, 150, UM_IDENTIFIER, "", 135, 150, -1)                                           \
    X(UF_ANY, UF_NONE, 160, UM_IDENTIFIER, "", 42, 161, 0)                                             \
    X(UF_ANY, UF_NONE, 161, UM_PREFIX, "caption", 43, 161, 0)                                          \
    X(UF_ANY, UF_NONE, 161, UM_PREFIX, "min", 44, 161, 0)                                              \
    X(UF_ANY, UF_NONE, 161, UM_PREFIX, "max", 45, 161, 0)                                              \
    X(UF_ANY, UF_NONE, 161, UM_PREFIX, "hint", 46, 161, 0)                                             \
    X(UF_ANY, UF_NONE, 161, UM_PREFIX, "enum", 47, 161, 0)                                             \
    X(UF_ANY, UF_NONE, 161, UM_PREFIX, "default", 48, 162, 0)                                          \
    X(UF_ANY, UF_NONE, 161, UM_PREFIX, "visible", 128, 162, 0)                                         \
    X(UF_ANY, UF_NONE, 161, UM_PREFIX, "enabled", 129, 162, 0)                                         \
    X(UF_ANY, UF_NONE, 161, UM_PREFIX, "exponential", 220, 161, 0)                                     \
    X(UF_ANY, UF_NONE, 161, UM_PREFIX, "endparam", 49, 150, 0)                                         \
    X(UF_ANY, UF_NONE, 161, UM_REST_OF_LINE, "", 899, 161, -2)                                         \
    X(UF_ANY, UF_NONE, 162, UM_PREFIX, "=", 200, 163, 0)                                               \
    X(UF_ANY, UF_NONE, 163, UM_EXPRESSION, "", 201, 161, 0)                                            \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "func", 60, 170, 0)                                             \
    X(UF_ANY, UF_NONE, 170, UM_IDENTIFIER, "", 61, 171, 0)                                             \
    X(UF_ANY, UF_NONE, 171, UM_PREFIX, "caption", 62, 171, 0)                                          \
    X(UF_ANY, UF_NONE, 171, UM_PREFIX, "hint", 63, 171, 0)                                             \
    X(UF_ANY, UF_NONE, 171, UM_PREFIX, "default", 64, 171, 0)                                          \
    X(UF_ANY, UF_NONE, 171, UM_PREFIX, "visible", 65, 172, 0)                                          \
    X(UF_ANY, UF_NONE, 171, UM_PREFIX, "enabled", 66, 172, 0)                                          \
    X(UF_ANY, UF_NONE, 172, UM_PREFIX, "=", 67, 173, 0)                                                \
    X(UF_ANY, UF_NONE, 173, UM_EXPRESSION, "", 68, 171, 0)                                             \
    X(UF_ANY, UF_NONE, 171, UM_PREFIX, "endfunc", 69, 150, 0)                                          \
    X(UF_ANY, UF_NONE, 171, UM_REST_OF_LINE, "", 899, 171, -2)                                         \
    X(UF_ANY, UF_NONE, 150, UM_PREFIX, "heading", 130, 180, 0)                                         \
    X(UF_ANY, UF_NONE, 180, UM_PREFIX, "caption", 131, 180, 0)                                         \
    X(UF_ANY, UF_NONE, 180, UM_PREFIX, "visible", 132, 181, 0)                                         \
    X(UF_ANY, UF_NONE, 180, UM_PREFIX, "expanded", 136, 180, 0)                                        \
    X(UF_ANY, UF_NONE, 180, UM_PREFIX, "enabled", 133, 181, 0)                                         \
    X(UF_ANY, UF_NONE, 180, UM_PREFIX, "text", 137, 180, 0)                                            \
    X(UF_ANY, UF_NONE, 181, UM_PREFIX, "=", 202, 182, 0)                                               \
    X(UF_ANY, UF_NONE, 182, UM_EXPRESSION, "", 203, 180, 0)                                            \
    X(UF_ANY, UF_NONE, 180, UM_PREFIX, "endheading", 134, 150, 0)                                      \
    X(UF_ANY, UF_NONE, 180, UM_REST_OF_LINE, "", 899, 180, -2)                                         \
    X(UF_ANY, UF_NONE, 200, UM_PREFIX, "default:", 80, 150, 0)                                         \
    X(UF_ANY, UF_NONE, 200, UM_IDENTIFIER, "", 81, 200, 0)                                             \
    X(UF_ANY, UF_NONE, 200, UM_LITERAL, "}", 82, -1, 0)                                                \
    X(UF_ANY, UF_NONE, 150, UM_REST_OF_LINE, "", 899, 150, -2)

// The action number of a row of the table.
int UltraFractalRuleAction(int row);
