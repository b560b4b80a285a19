// The UltraFractal converter's passes: the first pass over the entry
// (comments, continued lines), the statement loop with the scored rule
// matcher, comments and directives, and the declarations inserted in front
// of the first section. The rows' output is UltraFractalActions.cpp.
#include "formulas/convert/UltraFractalConverter.h"

#include <string.h>

#include "compiler/FormulaSymbol.h"
#include "formulas/FormulaNode.h"
#include "formulas/convert/UltraFractalRules.h"
#include "foundation/Guard.h"

using namespace convert;

namespace {

struct UfRule {
    int mode, stack, state, match;
    const char* pattern;
    int action, next, priority;
};

#define UF_ROW(mode, stack, state, match, pattern, action, next, priority) \
    {mode, stack, state, match, pattern, action, next, priority},
const UfRule kRules[] = {ULTRAFRACTAL_RULES(UF_ROW)};
#undef UF_ROW
const int kRuleCount = sizeof(kRules) / sizeof(kRules[0]);

bool IsExpressionChar(char c)
{
    return c != 0 && (IsLetter(c) || IsDigit(c) || strchr("_!+-*/()[]^=%&|<>.@#", c) != NULL);
}

const char* const kDirectives[] = {"define", "undef", "ifdef", "else", "endif"};

// The directive word at text ("$" already passed), or null.
const char* DirectiveAt(const char* text)
{
    for (const char* word : kDirectives)
        if (StartsNoCase(text, word))
            return word;
    return NULL;
}

const char* TypeName(int type)
{
    switch (type) {
    case 0: return "complex";
    case 1: return "double";
    case 2: return "int";
    case 3: return "bool";
    case 8: return "color";
    default: return "complex";
    }
}

}  // namespace

int UltraFractalRuleAction(int row)
{
    return row >= 0 && row < kRuleCount ? kRules[row].action : -1;
}

UltraFractalConverter::UltraFractalConverter() {}

UltraFractalConverter::~UltraFractalConverter() {}

bool UltraFractalConverter::Convert(const char* entryText)
{
    bool ok = false;
    if (Guarded([&] { ok = ConvertEntry(entryText); }) != 0)
        return false;
    return ok;
}

UltraFractalConverter::Symbol* UltraFractalConverter::FindSymbol(const std::string& name)
{
    for (Symbol& s : symbols)
        if (EqualNoCase(s.name, name.c_str()))
            return &s;
    return NULL;
}

void UltraFractalConverter::FirstPass(const char* entryText)
{
    input.clear();
    bool inString = false;
    for (const char* p = entryText; *p != 0;) {
        char c = *p;
        if (c == '"')
            inString = !inString;
        if (c == ';' && !inString) {
            for (; *p != 0 && *p != '\n' && *p != '\r'; p++)
                if (*p != '\\')
                    input += *p;
            if (*p == 0)
                break;
            input += '\n';
            while (*p == '\n' || *p == '\r')
                p++;
            continue;
        }
        if (c == '\\') {
            const char* q = p + 1;
            while (IsBlank(*q))
                q++;
            if (*q == '\n' || *q == '\r' || *q == 0) {
                while (*q == '\n' || *q == '\r' || IsBlank(*q))
                    q++;
                p = q;
                continue;
            }
        }
        input += c;
        p++;
    }
}

bool UltraFractalConverter::ConvertEntry(const char* entryText)
{
    matches.assign(kRuleCount, Match());
    hasInit = hasLoop = hasBailout = hasFinal = hasTransform = false;
    output.Clear();
    indentation = statementStart = statementEnd = 0;
    symbols.clear();
    declarationPosition = -1;
    pendingType = -1;
    bailoutState = -1;
    headingCounter = 1;
    currentName.clear();

    FirstPass(entryText);
    const char* text = input.c_str();
    int length = (int)input.size();
    int position = 0;
    int state = 0;
    while (state >= 0) {
        while (position < length && IsSpace(text[position]))
            output.Write(text[position++]);
        while (text[position] == ',')
            position++;
        while (IsBlank(text[position]))
            position++;
        if (position >= length)
            break;
        if (text[position] == ';') {
            WriteCommentOrDirective(text, &position, false, state);
            continue;
        }
        if (text[position] == '$' && DirectiveAt(text + position + 1) != NULL) {
            WriteCommentOrDirective(text, &position, true, state);
            continue;
        }
        int row = MatchRules(text, position, state);
        if (row < 0)
            break;
        int next = matches[row].next;
        if (!ApplyAction(text, matches[row].start, matches[row].end, row, &next))
            return false;
        position = next;
        state = kRules[row].next;
    }
    if (state >= 0)
        return false;
    WriteDeclarations();
    symbols.clear();
    return true;
}

void UltraFractalConverter::WriteCommentOrDirective(const char* text, int* position, bool directive, int state)
{
    std::string& out = output.text;
    bool reopen = false;
    if (!out.empty() && out.back() == '{' && state == 110) {
        // A block was just opened: the comment goes beside its condition and
        // the brace below it.
        out.pop_back();
        while (!out.empty() && IsSpace(out.back()))
            out.pop_back();
        reopen = true;
        if (directive)
            out += '\n';
        else
            out += "  ";
    } else {
        size_t lineStart = out.rfind('\n');
        lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
        bool hasText = out.find_first_not_of(" \t\r", lineStart) != std::string::npos;
        if (hasText) {
            if (directive) {
                out += '\n';
            } else {
                while (IsBlank(out.back()))
                    out.pop_back();
                out += "  ";
            }
        } else if (!directive) {
            output.IndentAt(indentation);
        }
    }
    int p = *position;
    if (!directive) {
        p++;
        int end = p;
        while (text[end] != 0 && text[end] != '\n' && text[end] != '\r')
            end++;
        out += "//" + std::string(text + p, (size_t)(end - p));
        p = end;
    } else {
        p++;
        const char* word = DirectiveAt(text + p);
        out += '#';
        out += word;
        p += (int)strlen(word);
        if (IsBlank(text[p])) {
            out += ' ';
            while (IsBlank(text[p]))
                p++;
        }
        int nameEnd = p;
        while (IsWordChar(text[nameEnd]))
            nameEnd++;
        std::string name(text + p, (size_t)(nameEnd - p));
        if (name.size() >= 5 && StartsNoCase(name.c_str(), "VER") && IsDigit(name[3]) && IsDigit(name[4]))
            name = "UF_" + name;
        out += name;
        p = nameEnd;
        for (; text[p] != 0 && text[p] != '\n' && text[p] != '\r'; p++) {
            if (text[p] == ';')
                out += "  //";
            else
                out += text[p];
        }
    }
    *position = p;
    if (reopen) {
        output.LineEnd();
        out.append(indentation > 1 ? (size_t)(indentation - 1) : 0, '\t');
        out += '{';
    }
}

int UltraFractalConverter::MatchRules(const char* text, int position, int state)
{
    const char* at = text + position;
    int best = -1;
    for (int r = 0; r < kRuleCount; r++) {
        const UfRule& rule = kRules[r];
        Match& m = matches[r];
        m.score = -1000;
        if ((rule.mode != mode && rule.mode != UF_ANY) || rule.state != state)
            continue;
        m.priority = rule.priority;
        // The state stack always stays empty.
        m.score = rule.stack == UF_NONE ? 0 : 1;
        int start = position, length = -1, consumed = -1;
        switch (rule.match) {
        case UM_IDENTIFIER: {
            int p = at[0] == '@' ? 1 : 0;
            int q = p;
            while (IsWordChar(at[q]))
                q++;
            if (q > p) {
                start = position + p;
                length = q - p;
            }
            break;
        }
        case UM_ENTRY_NAME: {
            char name[64];
            if (FindEntryName(text, name, NULL, 1) == 0 && name[0] != 0) {
                int n = 0;
                while ((unsigned char)text[n] >= '!' && text[n] != '(' && text[n] != '{')
                    n++;
                length = n - position;
            }
            break;
        }
        case UM_EXPRESSION: {
            int p = 0, paren = 0, bracket = 0, first = -1, last = -1;
            for (;;) {
                char c = at[p];
                if (IsBlank(c)) {
                    p++;
                    continue;
                }
                if (c == '"') {
                    if (first < 0)
                        first = p;
                    p++;
                    while (at[p] != 0 && at[p] != '"')
                        p++;
                    last = at[p] == '"' ? p : p - 1;
                    if (at[p] == 0)
                        break;
                    p++;
                    continue;
                }
                if ((c == ')' && paren == 0) || (c == ']' && bracket == 0))
                    break;
                if (c == ',' ? paren == 0 && bracket == 0 : !IsExpressionChar(c))
                    break;
                paren += c == '(' ? 1 : c == ')' ? -1 : 0;
                bracket += c == '[' ? 1 : c == ']' ? -1 : 0;
                if (first < 0)
                    first = p;
                last = p;
                p++;
            }
            if (first >= 0) {
                start = position + first;
                length = last - first + 1;
            } else if (at[p] == ',' || at[p] == ';') {
                start = position + p;
                length = 0;
                consumed = p + 1;
            }
            break;
        }
        case UM_ONE_OF:
        case UM_ONE_OF_NOCASE: {
            const char* alt = rule.pattern;
            while (*alt != 0 && length < 0) {
                const char* bar = strchr(alt, '|');
                int n = bar != NULL ? (int)(bar - alt) : (int)strlen(alt);
                std::string word(alt, (size_t)n);
                alt += bar != NULL ? n + 1 : n;
                char marker = word.empty() ? 0 : word.back();
                if (marker == ' ' || marker == '.')
                    word.pop_back();
                bool same = rule.match == UM_ONE_OF ? strncmp(at, word.c_str(), word.size()) == 0
                                                    : StartsNoCase(at, word.c_str());
                if (!same)
                    continue;
                char after = at[word.size()];
                int taken = (int)word.size();
                if (marker == ' ') {
                    if (!IsSpace(after))
                        continue;
                    taken++;
                } else if (marker == '.') {
                    if (IsLetter(after) || IsDigit(after))
                        continue;
                    if (after != 0)
                        taken++;
                }
                length = taken;
            }
            break;
        }
        case UM_LITERAL:
            if (strncmp(at, rule.pattern, strlen(rule.pattern)) == 0)
                length = (int)strlen(rule.pattern);
            break;
        case UM_KEYWORD: {
            int n = (int)strlen(rule.pattern);
            if (StartsNoCase(at, rule.pattern) && !IsWordChar(at[n]))
                length = n;
            break;
        }
        case UM_PREFIX:
            if (StartsNoCase(at, rule.pattern))
                length = (int)strlen(rule.pattern);
            break;
        case UM_REST_OF_LINE: {
            int n = 0;
            while (at[n] != 0 && at[n] != '\n' && at[n] != '\r')
                n++;
            length = n;
            consumed = n;
            while (at[consumed] == '\n' || at[consumed] == '\r')
                consumed++;
            break;
        }
        }
        if (length < 0) {
            m.score = -1;
            continue;
        }
        m.start = start;
        m.end = start + length - 1;
        m.next = consumed >= 0 ? position + consumed : start + length;
        if (best < 0 || m.score > matches[best].score ||
            (m.score == matches[best].score && m.priority > matches[best].priority))
            best = r;
    }
    return best;
}

void UltraFractalConverter::WriteDeclarations()
{
    std::string decl;
    int lineType = -1, lineLength = -1, lineClass = -1;
    bool first = true, lastWasArray = false;
    static const char* const kUndeclared[] = {"z", "e", "maxit", "pi", "pixel", "scrnmax", "rand", "scrnpix",
                                              "whitesq"};
    for (Symbol& s : symbols) {
        if (s.name == "p1" || s.name == "p2" || s.name == "p3" || s.name == "p4")
            s.symbolClass = SYM_PARAMETER;
        if (s.symbolClass == SYM_VARIABLE) {
            bool skip = false;
            for (const char* name : kUndeclared)
                skip = skip || s.name == name;
            if (skip)
                continue;
            if (!s.dimension.empty()) {
                if (!first && !lastWasArray)
                    decl += ";\n";
                decl += std::string(TypeName(s.dataType)) + " " + s.name + s.dimension + "\n";
                first = true;
                lastWasArray = true;
                lineType = lineLength = lineClass = -1;
                continue;
            }
        }
        if (s.dataType == lineType && (int)s.name.size() == lineLength && s.symbolClass == lineClass) {
            decl += "," + s.name;
        } else {
            if (!first)
                decl += ";\n";
            decl += (s.symbolClass == SYM_PARAMETER ? "parameter " : "") + std::string(TypeName(s.dataType)) +
                    " " + s.name;
            lineType = s.dataType;
            lineLength = (int)s.name.size();
            lineClass = s.symbolClass;
        }
        first = false;
        lastWasArray = false;
    }
    if (!first)
        decl += ";\n";
    if (declarationPosition < 0)
        return;
    size_t at = (size_t)declarationPosition;
    while (at > 0 && IsBlank(output.text[at - 1]))
        at--;
    output.text.insert(at, decl);
}
