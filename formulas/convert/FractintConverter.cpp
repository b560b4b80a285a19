// The Fractint converter: line joining, the rule machine over the entry
// text, the output of each rule, the translation of statements and the
// description and declarations added at the end.
#include "formulas/convert/FractintConverter.h"

#include <stdio.h>
#include <string.h>

#include "compiler/FormulaCompiler.h"
#include "formulas/FormulaNode.h"
#include "formulas/convert/FractintRules.h"
#include "foundation/Guard.h"

using namespace convert;

namespace {

struct FractintRule {
    int state;
    int match;
    const char* pattern;
    int priority;
    int action;
    int next;
};

#define FRACTINT_ROW(state, match, pattern, priority, action, next) {state, match, pattern, priority, action, next},
const FractintRule kRules[] = {FRACTINT_RULES(FRACTINT_ROW)};
#undef FRACTINT_ROW
const int kRuleCount = sizeof(kRules) / sizeof(kRules[0]);

// Names the own language predefines that a Fractint formula may use as its
// own variables: they get the prefix "var_".
const char* const kOwnPredefined[] = {
    "center", "angle", "rotation_center", "screenmax", "maxiter", "corner_lefttop", "corner_rightbottom",
    "magn", "width", "height", "index", "numiter", "random", "screenpixel", "solid", "x", "y", "alpha",
};

// Characters an expression is made of (besides letters and digits).
bool IsExpressionChar(char c)
{
    return c != 0 && (IsLetter(c) || IsDigit(c) || (unsigned char)c >= 0x80 || strchr("_!+-*/()^=%&|<>.@#", c) != NULL);
}

bool IsBuiltinFunction(const std::string& name)
{
    for (int r = 0; r < BUILTIN_NAME_ROWS; r++)
        if ((g_BuiltinNames[r].flags & 4) != 0 && name == g_BuiltinNames[r].name)
            return true;
    return false;
}

}  // namespace

FractintConverter::FractintConverter() : matches(kRuleCount) {}

FractintConverter::~FractintConverter() {}

bool FractintConverter::Convert(const char* entryText)
{
    bool ok = false;
    if (Guarded([&] { ok = ConvertEntry(entryText); }) != 0)
        return false;
    return ok;
}

bool FractintConverter::IsKnownName(const std::string& lowerName) const
{
    for (const Variable& v : variables)
        if (EqualNoCase(v.name, lowerName.c_str()))
            return true;
    for (const PredefinedVariable* p = PredefinedTable(FK_ITERATION, SK_PLANE); p != NULL && p->name != NULL; p++)
        if (EqualNoCase(lowerName, p->name))
            return true;
    return false;
}

void FractintConverter::JoinContinuedLines(const char* entryText)
{
    input.clear();
    for (const char* p = entryText; *p != 0; p++) {
        if (*p == '\\') {
            const char* q = p + 1;
            while (IsBlank(*q))
                q++;
            if (*q == '\n' || *q == '\r' || *q == 0) {
                while (IsSpace(*q))
                    q++;
                p = q - 1;
                continue;
            }
        }
        input += *p;
    }
}

bool FractintConverter::ConvertEntry(const char* entryText)
{
    output.Clear();
    indentation = 0;
    declarationPosition = -1;
    memset(functionUsed, 0, sizeof(functionUsed));
    variables.clear();
    title.clear();
    statementStart = statementEnd = statementCount = 0;
    dropGroup = false;

    JoinContinuedLines(entryText);
    const char* text = input.c_str();
    int length = (int)input.size();
    int position = 0;
    int state = 0;
    while (state >= 0) {
        while (position < length && IsSpace(text[position]))
            output.Write(text[position++]);
        if (position >= length)
            break;
        if (text[position] == ';') {
            int end = position;
            while (end < length && text[end] != '\n' && text[end] != '\r')
                end++;
            output.Write("//" + input.substr((size_t)position + 1, (size_t)(end - position - 1)));
            position = end;
            continue;
        }
        int row = MatchRules(text, position, state);
        if (row < 0)
            break;
        ApplyAction(text, matches[row].start, matches[row].end, row);
        state = kRules[row].next;
        if (state >= 0)
            position = matches[row].next;
    }
    if (state >= 0)
        return false;
    AddDescriptionAndDeclarations();
    return true;
}

int FractintConverter::MatchRules(const char* text, int position, int state)
{
    int best = -1;
    const char* at = text + position;
    for (int r = 0; r < kRuleCount; r++) {
        Match& m = matches[r];
        m.score = -1;
        const FractintRule& rule = kRules[r];
        if (rule.state != state)
            continue;
        int length = -1;
        switch (rule.match) {
        case FM_ENTRY_NAME: {
            char name[64];
            if (FindEntryName(at, name, NULL, 1) == 0 && name[0] != 0) {
                length = 0;
                while ((unsigned char)at[length] >= '!' && at[length] != '(' && at[length] != '{')
                    length++;
            }
            break;
        }
        case FM_LITERAL:
            if (strncmp(at, rule.pattern, strlen(rule.pattern)) == 0)
                length = (int)strlen(rule.pattern);
            break;
        case FM_KEYWORD: {
            // A keyword that ends in a letter is a whole word: "iffy" is a name.
            int n = (int)strlen(rule.pattern);
            if (StartsNoCase(at, rule.pattern) && !(n > 0 && IsWordChar(rule.pattern[n - 1]) && IsWordChar(at[n])))
                length = n;
            break;
        }
        case FM_ONE_OF: {
            const char* word = rule.pattern;
            while (*word != 0 && length < 0) {
                const char* bar = strchr(word, '|');
                int n = bar != NULL ? (int)(bar - word) : (int)strlen(word);
                if (strncmp(at, word, (size_t)n) == 0)
                    length = n;
                word += bar != NULL ? n + 1 : n;
            }
            break;
        }
        case FM_EXPRESSION: {
            int p = 0, depth = 0, count = 0, first = -1, last = -1;
            for (;; p++) {
                char c = at[p];
                if (IsBlank(c))
                    continue;
                if (c == ')' && depth == 0)
                    break;
                if (c == ',' ? depth == 0 : !IsExpressionChar(c))
                    break;
                if (c == '(')
                    depth++;
                else if (c == ')')
                    depth--;
                if (first < 0)
                    first = p;
                last = p;
                count++;
            }
            if (count > 2) {
                m.start = position + first;
                m.end = position + last;
                m.next = m.end + 1;
                m.score = rule.priority;
            } else if (count > 0 && (at[last + 1] == ',' || at[last + 1] == ';')) {
                m.start = position + first;
                m.end = position + last;
                m.next = m.end + 2;
                m.score = rule.priority;
            }
            break;
        }
        }
        if (rule.match != FM_EXPRESSION && length >= 0) {
            m.start = position;
            m.end = position + length - 1;
            m.next = position + length;
            m.score = rule.priority;
        }
        if (m.score >= 0 && (best < 0 || m.score > matches[best].score))
            best = r;
    }
    return best;
}

std::string FractintConverter::TranslateExpression(const std::string& expression)
{
    std::string out;
    const char* e = expression.c_str();
    for (size_t i = 0; i < expression.size();) {
        // A number is copied whole, so that its exponent is never a name.
        int number = IsDigit(e[i]) || (e[i] == '.' && IsDigit(e[i + 1])) ? NumberLength(e + i) : 0;
        if (number > 0) {
            out.append(e + i, (size_t)number);
            i += (size_t)number;
            continue;
        }
        if (!IsLetter(e[i])) {
            out += e[i++];
            continue;
        }
        size_t j = i;
        while (j < expression.size() && IsWordChar(e[j]))
            j++;
        std::string name = LowerText(expression.substr(i, j - i));
        i = j;
        if (name.size() == 3 && name.compare(0, 2, "fn") == 0 && name[2] >= '1' && name[2] <= '4')
            functionUsed[name[2] - '1'] = true;
        if (IsBuiltinFunction(name) || e[j] == '(') {
            out += name;
            continue;
        }
        for (const char* own : kOwnPredefined)
            if (name == own) {
                name = "var_" + name;
                break;
            }
        out += name;
        if (name != "true" && name != "false" && !IsKnownName(name))
            variables.push_back({name, name == "ismand" ? "bool" : "complex"});
    }
    return out;
}

void FractintConverter::ApplyAction(const char* text, int start, int end, int row)
{
    std::string matched(text + start, (size_t)(end >= start ? end - start + 1 : 0));
    switch (kRules[row].action) {
    case FA_TITLE:
        title = matched;
        output.Write(matched);
        break;
    case FA_GROUP_WORD:
        if (matched.find("_NOPARM") != std::string::npos) {
            // Symmetric only while the parameters are zero: no group.
            size_t open = output.text.rfind('(');
            if (open != std::string::npos)
                output.text.resize(open);
            dropGroup = true;
        } else {
            output.Write(matched);
        }
        break;
    case FA_CLOSE_GROUP:
        if (!dropGroup)
            output.Write(matched);
        break;
    case FA_OPEN_GROUP:
    case FA_OPEN_BODY:
    case FA_NOTHING:
        output.Write(matched);
        break;
    case FA_DROP_COMMA:
        break;
    case FA_START_INIT:
        output.NewLineAt(0);
        declarationPosition = (int)output.text.size();
        output.Write("\n\tvoid init(void)\n\t{");
        indentation = 2;
        break;
    case FA_START_LOOP:
        if (!output.EndsWith('\n'))
            output.Write('\n');
        output.Write("\t}\n\tvoid loop(void)\n\t{\n");
        indentation = 2;
        statementCount = 0;
        break;
    case FA_STATEMENT:
        statementCount++;
        while (output.EndsWith(' ') || output.EndsWith('\t'))
            output.text.pop_back();
        if (!output.EndsWith('\n'))
            output.Write('\n');
        output.NewLineAt(indentation);
        statementStart = (int)output.text.size();
        output.Write(LowerText(TranslateExpression(matched)));
        statementEnd = (int)output.text.size();
        output.Write(';');
        break;
    case FA_IF:
        output.NewLineAt(indentation);
        output.Write("if ");
        break;
    case FA_CONDITION: {
        std::string condition = LowerText(TranslateExpression(matched));
        // Parentheses are added unless one pair already encloses the whole.
        bool enclosed = false;
        if (!condition.empty() && condition[0] == '(' && condition.back() == ')') {
            int depth = 0;
            enclosed = true;
            for (size_t k = 0; k < condition.size(); k++) {
                depth += condition[k] == '(' ? 1 : condition[k] == ')' ? -1 : 0;
                if (depth == 0 && k + 1 < condition.size()) {
                    enclosed = false;
                    break;
                }
            }
        }
        output.Write(enclosed ? condition : "(" + condition + ")");
        output.Write('\n');
        output.NewLineAt(indentation);
        output.Write('{');
        indentation++;
        break;
    }
    case FA_ELSE_IF:
        indentation--;
        output.NewLineAt(indentation);
        output.Write("}\n");
        output.NewLineAt(indentation);
        output.Write("else if ");
        break;
    case FA_ELSE:
        output.NewLineAt(indentation - 1);
        output.Write("}\n");
        output.NewLineAt(indentation - 1);
        output.Write("else\n");
        output.NewLineAt(indentation - 1);
        output.Write("{\n");
        break;
    case FA_END_IF:
        indentation--;
        output.NewLineAt(indentation);
        output.Write('}');
        break;
    case FA_FINISH:
    case FA_FINISH_LOOP:
        Finish();
        break;
    }
}

void FractintConverter::Finish()
{
    if (statementStart > 0) {
        if (statementCount == 1) {
            output.NewLineAt(1);
            output.Write("}\n\tbool bailout(void)\n\t{\n\t\treturn(z!=0 && !overflowOccurred);\n\t}");
        } else {
            // The last statement is the bailout test; a comment behind it
            // goes behind the return.
            std::string statement = output.text.substr((size_t)statementStart, (size_t)(statementEnd - statementStart));
            while (!statement.empty() && (IsSpace(statement.back()) || statement.back() == ';'))
                statement.pop_back();
            std::string after = output.text.substr((size_t)statementEnd);
            size_t from = after.find_first_not_of(" \t\r\n/;");
            after = from == std::string::npos ? std::string() : after.substr(from);
            while (!after.empty() && IsSpace(after.back()))
                after.pop_back();
            output.text.resize((size_t)statementStart);
            output.NewLineAt(1);
            output.Write("}\n\tbool bailout(void)\n\t{\n\t\treturn(" + statement + " && !overflowOccurred);");
            if (!after.empty())
                output.Write("\t\t//" + after);
            output.Write("\n\t}");
        }
    }
    output.Write("\n}");
}

void FractintConverter::AddDescriptionAndDeclarations()
{
    std::string& out = output.text;
    size_t insertion;
    size_t found = out.find("void description(void)");
    if (found == std::string::npos) {
        size_t brace = out.rfind('}');
        if (brace == std::string::npos)
            return;
        out.replace(brace, 1, "\tvoid description(void)\n\t{\n\t}\n}");
        insertion = brace + strlen("\tvoid description(void)\n\t{\n");
    } else {
        size_t open = out.find('\n', found);
        if (open == std::string::npos)
            return;
        open = out.find('\n', open + 1);
        insertion = open == std::string::npos ? out.size() : open + 1;
    }
    char line[600];
    snprintf(line, sizeof line, "\t\tthis.title=\"%s\";\n\n", title.c_str());
    out.insert(insertion, line);
    insertion += strlen(line);

    for (int f = 4; f >= 1; f--) {
        if (!functionUsed[f - 1])
            continue;
        snprintf(line, sizeof line,
                 "\t\tfn%d.caption=\"Function %d\";\n\t\tfn%d.default=\"sinh\";\n"
                 "\t\tfn%d.hint=\"Choose a function and watch the result.\";\n\n",
                 f, f, f, f);
        out.insert(insertion, line);
    }
    auto declare = [&](const std::string& declaration) {
        if (declarationPosition < 0)
            return;
        out.insert((size_t)declarationPosition, declaration);
        insertion += declaration.size();
    };
    for (const Variable& v : variables) {
        const char* n = v.name.c_str();
        if (v.name == "p1" || v.name == "p2" || v.name == "p3") {
            declare("parameter complex " + v.name + ";\n");
            snprintf(line, sizeof line,
                     "\t\t%s.caption=\"%s\";\n\t\t%s.default=(0,0);\n"
                     "\t\t%s.hint=\"Parameter for formula. Change it and watch the result.\";\n\n",
                     n, n, n, n);
            out.insert(insertion, line);
        } else if (v.name == "ismand") {
            declare("parameter bool " + v.name + ";\n");
            snprintf(line, sizeof line,
                     "\t\tismand.caption=\"Mandelbrot Mode\";\n\t\t%s.default=true;\n"
                     "\t\t%s.hint=\"Flag which indicates whether you want to render a Mandelbrot set or a "
                     "Julia set.\";\n\n",
                     n, n);
            out.insert(insertion, line);
        } else {
            declare(std::string(v.typeName) + " " + v.name + ";\n");
        }
    }
}

bool NarrowComplexDeclarations(FormulaCompiler* compiler, std::string& convertedText, CompileHost* fractal)
{
    compiler->setKind(FK_ITERATION);
    // Without a name the compiler reports nothing: the notes this compile
    // raises are acted on here.
    bool ok = compiler->compile(convertedText.c_str(), 0, -128, nullptr, nullptr, fractal, "", SK_PLANE,
                                nullptr, false, false);
    if (ok) {
        for (ListNode* n = compiler->symbols.GetHead(); n != NULL; n = n->next) {
            FormulaSymbol* s = static_cast<FormulaSymbol*>(n);
            if (strstr(s->name, "some constant value") != NULL || s->symbolClass != SYM_VARIABLE)
                continue;
            if (s->dataType != DT_COMPLEX || s->currentType != DT_REAL)
                continue;
            // The word before the declared name; "complex" becomes "real   ".
            size_t at = 0;
            std::string name = s->name;
            while ((at = convertedText.find(name, at)) != std::string::npos) {
                size_t p = at;
                while (p > 0 && IsSpace(convertedText[p - 1]))
                    p--;
                size_t w = p;
                while (w > 0 && IsLetter(convertedText[w - 1]))
                    w--;
                if (convertedText.compare(w, p - w, "complex") == 0 && p - w == 7 &&
                    !IsWordChar(convertedText[at + name.size()])) {
                    convertedText.replace(w, 7, "real   ");
                    break;
                }
                at += name.size();
            }
        }
    }
    compiler->freeResults();
    return ok;
}
