// What each row of the UltraFractal rule table writes: sections become
// functions, control statements the own language's blocks, the "default:"
// section the description, and statements and values are translated name
// by name ("@" parameters, "#" predefined values, reserved names).
#include "formulas/convert/UltraFractalConverter.h"

#include <stdio.h>
#include <string.h>

#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Scanners.h"
#include "formulas/convert/UltraFractalRules.h"

using namespace convert;

namespace {

// Names of the own language that an UltraFractal name must not take.
const char* const kReserved[] = {"angle", "alpha", "center", "color", "height", "index", "magn",
                                 "maxiter", "numiter", "random", "screenmax", "screenpixel", "solid",
                                 "randomrange", "width", "separator", "x", "y", "z"};

bool IsReserved(const std::string& name)
{
    for (const char* r : kReserved)
        if (EqualNoCase(name, r))
            return true;
    return false;
}

struct TypeWord {
    const char* word;
    int type;
};
const TypeWord kDeclarationWords[] = {{"complex", 0}, {"float", 1}, {"color", 8}, {"int", 2}, {"bool", 3}};

// The builtin row of the own language named exactly name, or null.
const BuiltinName* FindBuiltin(const std::string& name)
{
    for (int r = 0; r < BUILTIN_NAME_ROWS; r++)
        if (name == g_BuiltinNames[r].name)
            return &g_BuiltinNames[r];
    return NULL;
}

}  // namespace

void UltraFractalConverter::PropertyLine(const std::string& property)
{
    // Blank lines left by dropped block lines ("param", "endparam") go.
    output.NewLineAt(indentation);
    output.Write(property);
}

void UltraFractalConverter::CopyValue(const char* text, int* position)
{
    int p = *position, depth = 0;
    bool inString = false;
    std::string value;
    for (;; p++) {
        char c = text[p];
        if (c == 0 || c == '\n' || c == '\r')
            break;
        if (c == '"')
            inString = !inString;
        if (!inString) {
            if (c == ';' || ((c == ',' || c == '}') && depth == 0))
                break;
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        }
        value += c;
    }
    while (!value.empty() && IsBlank(value.back()))
        value.pop_back();
    output.Write(value + ";");
    *position = p;
}

void UltraFractalConverter::CopyLine(const char* text, int* position)
{
    int p = *position;
    for (; text[p] != 0 && text[p] != '\n' && text[p] != '\r'; p++)
        output.Write(text[p] == ';' ? std::string("  //") : std::string(1, text[p]));
    *position = p;
}

void UltraFractalConverter::CopyMethodValue(const char* text, int* position)
{
    int p = *position;
    bool inString = false, afterEquals = false, inWord = false, done = false;
    std::string value;
    for (; text[p] != 0 && text[p] != '\n' && text[p] != '\r'; p++) {
        char c = text[p];
        if (c == '"')
            inString = !inString;
        if (c == ';' && !inString)
            break;
        if (afterEquals && !done) {
            if (!inWord && IsLetter(c)) {
                value += '"';
                inWord = true;
            } else if (inWord && !IsLetter(c)) {
                value += '"';
                done = true;
            }
        }
        if (c == '=')
            afterEquals = true;
        value += c;
    }
    if (inWord && !done)
        value += '"';
    while (!value.empty() && IsBlank(value.back()))
        value.pop_back();
    output.Write(value + ";");
    *position = p;
}

void UltraFractalConverter::TypeFromDefault(const char* text, int position)
{
    Symbol* symbol = FindSymbol(currentName);
    if (symbol == NULL)
        return;
    int p = position;
    for (int k = 0; k < 10 && text[p] != 0 && text[p] != '='; k++)
        p++;
    if (text[p] != '=')
        return;
    p++;
    while (IsBlank(text[p]))
        p++;
    int start, end, next;
    double value[4];
    int kind = scanConstant(text + p, &start, &end, &next, value, false);
    if (kind >= DT_COMPLEX && kind <= DT_BOOL) {
        if (symbol->dataType == DT_COMPLEX)
            symbol->dataType = kind;
    } else if (kind == DT_ENUM) {
        symbol->dataType = DT_INT;
    }
}

void UltraFractalConverter::CutBailoutStatement(const char* close)
{
    std::string& out = output.text;
    std::string statement = out.substr((size_t)statementStart, (size_t)(statementEnd - statementStart));
    // What followed the statement (a comment) is put aside; its ";" goes.
    size_t afterAt = (size_t)statementEnd < out.size() && out[(size_t)statementEnd] == ';' ? statementEnd + 1
                                                                                            : statementEnd;
    std::string aside = afterAt < out.size() ? out.substr(afterAt) : std::string();
    size_t from = aside.find_first_not_of(" \t\r\n");
    aside = from == std::string::npos ? std::string() : aside.substr(from);
    out.resize((size_t)statementStart);
    output.IndentAt(1);
    out += "}\n\tbool bailout(void)\n\t{\n\t\treturn(" + statement + close;
    if (!aside.empty()) {
        // The comment stays inside the bailout function.
        size_t closing = out.rfind("\t}\n");
        if (closing != std::string::npos && closing + 3 == out.size())
            out.insert(closing, "\t\t" + aside + (aside.back() == '\n' ? "" : "\n"));
        else
            out += aside;
    }
    hasBailout = true;
}

void UltraFractalConverter::EndOfCode(bool description)
{
    if (description) {
        if (bailoutState == 1)
            CutBailoutStatement(");\n");
        else
            output.NewLineAt(0);
        output.Write("\t}\n");
        AddEmptySections();
        output.Write("\tvoid description(void)\n\t{");
        indentation = 2;
        pendingType = -1;
    } else {
        output.NewLineAt(0);
        if (bailoutState == 1) {
            CutBailoutStatement(");\n\t}\n");
        } else {
            output.Write("\t}\n");
        }
        AddEmptySections();
        output.Write("}");
    }
    bailoutState = -1;
}

void UltraFractalConverter::AddEmptySections()
{
    if (mode == 1) {
        if (!hasInit)
            output.Write("\tvoid init(void)\n\t{\n\t\t// empty init section\n\t}\n");
        if (!hasLoop)
            output.Write("\tvoid loop(void)\n\t{\n\t\t// empty loop section\n\t}\n");
        if (!hasBailout)
            output.Write(
                "\tbool bailout(void)\n\t{\n\t\treturn(false); // bailout section empty, always returning false!\n\t}\n");
    } else if (mode == 2) {
        if (!hasFinal)
            output.Write("\tvoid final(void)\n\t{\n\t\t// empty final section\n\t}\n");
    } else if (mode == 0) {
        if (!hasTransform)
            output.Write("\tvoid transform(void)\n\t{\n\t\t// empty init section\n\t}\n");
    }
}

void UltraFractalConverter::Statement(const std::string& matched)
{
    std::string s = matched;
    size_t p = 0;
    bool declaredArray = false;
    for (;;) {
        while (p < s.size() && IsBlank(s[p]))
            p++;
        const TypeWord* word = NULL;
        for (const TypeWord& w : kDeclarationWords) {
            size_t n = strlen(w.word);
            if (StartsNoCase(s.c_str() + p, w.word) && p + n < s.size() && s[p + n] == ' ')
                word = &w;
        }
        if (word == NULL)
            break;
        size_t q = p + strlen(word->word);
        while (q < s.size() && IsBlank(s[q]))
            q++;
        s.erase(p, q - p);
        if (p < s.size() && s[p] == '#')
            break;
        size_t nameEnd = p;
        while (nameEnd < s.size() && IsWordChar(s[nameEnd]))
            nameEnd++;
        std::string name = LowerText(s.substr(p, nameEnd - p));
        Symbol* existing = FindSymbol(name);
        if (IsReserved(name) || (existing != NULL && existing->symbolClass == SYM_PARAMETER)) {
            name = "Var_" + name;
            existing = FindSymbol(name);
        }
        if (existing == NULL) {
            symbols.push_back({name, word->type, SYM_VARIABLE, std::string()});
            existing = &symbols.back();
        }
        size_t after = nameEnd;
        while (after < s.size() && IsBlank(s[after]))
            after++;
        if (after < s.size() && s[after] == '[') {
            // Translating may add symbols, so the record is looked up again.
            std::string dimension = TranslateExpression(s.substr(after)) + ";";
            existing = FindSymbol(name);
            existing->dimension = dimension;
            declaredArray = true;
            break;
        }
        if (after < s.size() && s[after] == '=' && (after + 1 >= s.size() || s[after + 1] != '=')) {
            p = after + 1;
            continue;
        }
        break;
    }
    if (declaredArray)
        return;
    size_t lead = s.find_first_not_of(" \t");
    if (lead != std::string::npos && StartsNoCase(s.c_str() + lead, "print") &&
        (s[lead + 5] == ' ' || s[lead + 5] == '(')) {
        output.IndentAt(indentation);
        output.Write("//" + TranslateExpression(s.substr(lead)));
        return;
    }
    std::string translated = TranslateExpression(s);
    size_t a = translated.find_first_not_of(" \t");
    size_t b = translated.find_last_not_of(" \t");
    std::string core = a == std::string::npos ? std::string() : translated.substr(a, b - a + 1);
    bool singleName = !core.empty() && (IsLetter(core[0]) || core[0] == '_');
    for (char c : core)
        singleName = singleName && IsWordChar(c);
    if ((singleName || core.empty()) && bailoutState != 2)
        return;
    // Statements that shared a line in the entry get a line each.
    size_t lineStart = output.text.rfind('\n');
    lineStart = lineStart == std::string::npos ? 0 : lineStart + 1;
    if (output.text.find_first_not_of(" \t", lineStart) != std::string::npos)
        output.LineEnd();
    output.IndentAt(indentation);
    statementStart = (int)output.text.size();
    if (bailoutState == 2) {
        output.NewLineAt(indentation);
        output.Write("return(" + core + ");");
        bailoutState = -1;
    } else {
        output.Write(core);
        statementEnd = (int)output.text.size();
        output.Write(';');
    }
}

std::string UltraFractalConverter::TranslateExpression(const std::string& textIn)
{
    std::string out;
    const char* t = textIn.c_str();
    size_t n = textIn.size();
    for (size_t i = 0; i < n;) {
        char c = t[i];
        if (c == '"') {
            size_t j = i + 1;
            while (j < n && t[j] != '"')
                j++;
            j = j < n ? j + 1 : n;
            out.append(t + i, j - i);
            i = j;
            continue;
        }
        int number = IsDigit(c) || (c == '.' && IsDigit(t[i + 1])) ? NumberLength(t + i) : 0;
        if (number > 0) {
            out.append(t + i, (size_t)number);
            i += (size_t)number;
            if (t[i] == 'i' || t[i] == 'I')
                out += t[i++];
            continue;
        }
        char sign = 0;
        size_t nameStart = i;
        if ((c == '@' || c == '#') && (IsLetter(t[i + 1]) || t[i + 1] == '_')) {
            sign = c;
            nameStart = i + 1;
        } else if (!(IsLetter(c) || c == '_')) {
            out += c;
            i++;
            continue;
        }
        size_t j = nameStart;
        while (j < n && IsWordChar(t[j]))
            j++;
        std::string name = LowerText(textIn.substr(nameStart, j - nameStart));
        i = j;
        size_t k = j;
        while (k < n && IsBlank(t[k]))
            k++;
        char follow = k < n ? t[k] : 0;
        bool assigned = follow == '=' && (k + 1 >= n || t[k + 1] != '=');

        if (sign == 0) {
            const BuiltinName* builtin = FindBuiltin(name);
            if (builtin != NULL &&
                (OperationStackEffect(builtin->element) != 0 || follow == '(' || follow == '.' ||
                 IsLetter(follow) || IsDigit(follow))) {
                out += name;
                continue;
            }
        }
        if (follow == '(') {
            out += name;
            continue;
        }
        if (sign == 0 && IsReserved(name) && !(name == "z" && mode == 1))
            name = "Var_" + name;
        else if (sign == '@' && IsReserved(name))
            name = "Parm_" + name;
        if (name == "true" || name == "false" || name == "pixel") {
            out += name;
            continue;
        }
        if (name == "i" && !assigned && sign == 0) {
            // The imaginary unit, unless the entry has a variable i.
            out += FindSymbol("i") != NULL ? "i" : "(0,1)";
            continue;
        }
        if (sign == '#' && (name == "color" || name == "skew" || name == "stretch")) {
            out += name == "color" ? "pixelcolor" : name == "skew" ? "UF_skew" : "UF_stretch";
            continue;
        }
        Symbol* symbol = FindSymbol(name);
        if (symbol != NULL && sign == 0 && symbol->symbolClass == SYM_PARAMETER) {
            name = "Var_" + name;
            symbol = FindSymbol(name);
        } else if (symbol != NULL && sign == '@' && symbol->symbolClass == SYM_VARIABLE) {
            name = "Parm_" + name;
            symbol = FindSymbol(name);
        }
        if (symbol != NULL) {
            out += symbol->name;
        } else if (sign == '#') {
            out += name;
        } else {
            symbols.push_back({name, DT_COMPLEX, sign == '@' ? SYM_PARAMETER : SYM_VARIABLE, std::string()});
            out += name;
        }
    }
    return out;
}

bool UltraFractalConverter::ApplyAction(const char* text, int start, int end, int row, int* position)
{
    static const struct {
        int action;
        const char* property;
    } kPlainProperties[] = {
        {30, "this.title"}, {33, "this.helpfile"}, {34, "// (removed) this.helptopic"},
        {160, "// (removed) this.precision"}, {161, "// (removed) this.skew"},
        {162, "// (removed) this.stretch"}, {163, "// (removed) this.render"}, {35, "this.maxiter"},
        {36, "this.periodicity"}, {38, "this.angle"}, {39, "this.magn"}, {40, "this.center"},
    };
    static const struct {
        int action;
        const char* property;
    } kNamedProperties[] = {
        {43, "caption"}, {62, "caption"}, {44, "min"}, {45, "max"}, {46, "hint"}, {63, "hint"},
    };
    std::string matched(text + start, (size_t)(end >= start ? end - start + 1 : 0));
    int action = UltraFractalRuleAction(row);

    for (const auto& p : kPlainProperties)
        if (p.action == action) {
            PropertyLine(p.property);
            CopyValue(text, position);
            return true;
        }
    for (const auto& p : kNamedProperties)
        if (p.action == action) {
            PropertyLine(currentName + "." + p.property);
            CopyValue(text, position);
            return true;
        }

    char label[80];
    switch (action) {
    case 1:
        output.Write(matched);
        break;
    case 2: case 3: case 7: case 90: case 104: case 105: case 899:
        break;
    case 4:
        output.Write("{");
        break;
    case 5: case 6:
        if (EqualNoCase(matched, "XAXIS") || EqualNoCase(matched, "YAXIS") || EqualNoCase(matched, "ORIGIN"))
            output.Write("(" + matched + ")");
        break;
    case 91:
        output.Clear();
        symbols.clear();
        return false;
    case 8: case 9: case 100: case 120: case 101: case 121: case 124: {
        const char* function = action <= 9 ? "transform" : action == 121 || action == 124 ? "loop" : "init";
        if (action <= 9)
            hasTransform = true;
        else if (action == 121 || action == 124)
            hasLoop = true;
        else
            hasInit = true;
        if (action != 101)
            output.NewLineAt(0);
        char header[80];
        if (declarationPosition < 0) {
            declarationPosition = (int)output.text.size();
            snprintf(header, sizeof header, "\n\tvoid %s(void)\n\t{", function);
        } else {
            snprintf(header, sizeof header, "\t}\n\tvoid %s(void)\n\t{", function);
        }
        output.Write(header);
        if (action == 101)
            output.Write('\n');
        indentation = 2;
        break;
    }
    case 102:
        hasLoop = true;
        if (!output.EndsWith('\n'))
            output.Write('\n');
        output.Write("\t}\n\tvoid loop(void)\n\t{");
        indentation = 2;
        bailoutState = 1;
        break;
    case 103:
        hasBailout = true;
        output.NewLineAt(0);
        output.Write("\t}\n\tbool bailout(void)\n\t{\n\t\t");
        indentation = 2;
        bailoutState = 2;
        break;
    case 122: case 123: case 125:
        hasFinal = true;
        output.NewLineAt(0);
        if (action != 125 && declarationPosition < 0)
            declarationPosition = (int)output.text.size();
        output.Write(action != 125 ? "\n\tvoid final(void)\n\t{" : "\t}\n\tvoid final(void)\n\t{");
        indentation = 2;
        break;
    case 106: case 126: case 127:
        output.NewLineAt(0);
        declarationPosition = (int)output.text.size();
        output.Write("\n\tvoid init_once(void)\n\t{");
        indentation = 2;
        break;
    case 20:
        Statement(matched);
        break;
    case 10:
        output.IndentAt(indentation);
        output.Write("if ");
        break;
    case 12:
        output.IndentAt(indentation);
        output.Write("while ");
        break;
    case 21: {
        std::string condition = TranslateExpression(matched);
        if (!condition.empty() && condition[0] == '(' && condition.back() == ')') {
            int depth = 0;
            size_t partner = 0;
            for (size_t k = 0; k < condition.size(); k++) {
                depth += condition[k] == '(' ? 1 : condition[k] == ')' ? -1 : 0;
                if (depth == 0) {
                    partner = k;
                    break;
                }
            }
            if (partner == condition.size() - 1)
                condition = condition.substr(1, condition.size() - 2);
        }
        output.Write("(" + condition + ")");
        output.LineEnd();
        output.IndentAt(indentation);
        output.Write("{");
        indentation++;
        break;
    }
    case 27:
        indentation--;
        output.IndentAt(indentation);
        output.Write("}");
        output.LineEnd();
        output.IndentAt(indentation);
        output.Write("else if ");
        break;
    case 24:
        output.IndentAt(indentation - 1);
        output.Write("}");
        output.LineEnd();
        output.IndentAt(indentation - 1);
        output.Write("else\n");
        output.IndentAt(indentation - 1);
        output.Write("{");
        output.LineEnd();
        break;
    case 16: case 22:
        indentation--;
        output.IndentAt(indentation);
        output.Write("}");
        break;
    case 14:
        output.IndentAt(indentation);
        output.Write("do\n");
        output.IndentAt(indentation);
        output.Write("{");
        output.LineEnd();
        indentation++;
        break;
    case 18:
        output.IndentAt(indentation - 1);
        output.Write("} while (!");
        break;
    case 50:
        output.Write("(" + TranslateExpression(matched) + "));");
        output.LineEnd();
        indentation--;
        break;
    case 81: {
        int p = *position;
        bool inString = false;
        for (; text[p] != 0 && text[p] != '\n' && text[p] != '\r'; p++) {
            if (text[p] == '"')
                inString = !inString;
            if (text[p] == ';' && !inString)
                break;
        }
        *position = p;
        break;
    }
    case 29: case 80:
        EndOfCode(true);
        break;
    case 31: case 82:
        EndOfCode(false);
        break;
    case 70:
        output.NewLineAt(0);
        output.Write("\t}\n}");
        break;
    case 37:
        PropertyLine("this.method");
        CopyMethodValue(text, position);
        break;
    case 135:
        if (matched.compare(0, 7, "complex") == 0)
            pendingType = 0;
        else if (matched.compare(0, 6, "double") == 0 || matched.compare(0, 5, "float") == 0 ||
                 matched.compare(0, 4, "real") == 0)
            pendingType = 1;
        else if (matched.compare(0, 3, "int") == 0)
            pendingType = 2;
        else if (matched.compare(0, 4, "bool") == 0)
            pendingType = 3;
        else if (matched.compare(0, 5, "color") == 0)
            pendingType = 8;
        break;
    case 41: case 60:
        output.NewLineAt(0);
        break;
    case 42: {
        std::string name = matched;
        if (IsReserved(name))
            name = "Parm_" + name;
        Symbol* symbol = FindSymbol(name);
        if (symbol != NULL && symbol->symbolClass == SYM_VARIABLE && name != "p1" && name != "p2" &&
            name != "p3") {
            name = "Parm_" + name;
            symbol = FindSymbol(name);
        }
        if (symbol == NULL) {
            symbols.push_back({name, pendingType >= 0 ? pendingType : DT_COMPLEX, SYM_PARAMETER, std::string()});
            symbol = &symbols.back();
        }
        currentName = symbol->name;
        if (pendingType >= 0)
            symbol->dataType = pendingType;
        pendingType = -1;
        break;
    }
    case 61:
        currentName = LowerText(matched);
        break;
    case 47: {
        PropertyLine(currentName + ".enum");
        size_t before = output.text.size();
        CopyValue(text, position);
        // Strings in a row become one, their parts separated by "\n".
        std::string value = output.text.substr(before);
        for (size_t q = value.find('"'); q != std::string::npos;) {
            size_t close = value.find('"', q + 1);
            if (close == std::string::npos)
                break;
            size_t next = value.find_first_not_of(" \t", close + 1);
            if (next != std::string::npos && value[next] == '"') {
                value.replace(close, next - close + 1, "\\n");
                q = close;   // the joined string goes on
                q = value.rfind('"', close);
                continue;
            }
            q = value.find('"', close + 1);
        }
        output.text.resize(before);
        output.Write(value);
        if (Symbol* symbol = FindSymbol(currentName))
            symbol->dataType = DT_INT;
        break;
    }
    case 48:
        PropertyLine(currentName + ".default");
        TypeFromDefault(text, *position);
        break;
    case 64: {
        PropertyLine(currentName + ".default");
        TypeFromDefault(text, *position);
        size_t before = output.text.size();
        CopyValue(text, position);
        std::string value = output.text.substr(before);
        size_t q = value.find_first_not_of(" \t=");
        if (q != std::string::npos) {
            value.insert(q, "\"");
            size_t paren = value.find('(', q);
            if (paren != std::string::npos) {
                value[paren] = '"';
                if (paren + 1 < value.size())
                    value[paren + 1] = ' ';
            }
        }
        output.text.resize(before);
        output.Write(value);
        break;
    }
    case 128: case 65:
        PropertyLine(currentName + ".visible");
        break;
    case 129: case 66:
        PropertyLine(currentName + ".enabled");
        break;
    case 220:
        PropertyLine("// commented out as Spiralix cannot handle this property");
        PropertyLine("// " + currentName + ".exponential");
        CopyValue(text, position);
        break;
    case 49: case 69:
        pendingType = -1;
        break;
    case 200: case 202: case 67:
        output.Write("= ");
        break;
    case 201: case 203: case 68:
        output.Write(TranslateExpression(matched) + ";");
        break;
    case 130:
        headingCounter++;
        output.LineEnd();
        break;
    case 131: case 132: case 133: case 137:
        snprintf(label, sizeof label,
                 action == 131   ? "separator.label%d.caption "
                 : action == 132 ? "separator.label%d.visible"
                 : action == 133 ? "separator.label%d.enabled"
                                 : "// separator.label%d.text ",
                 headingCounter);
        PropertyLine(label);
        if (action == 131 || action == 137)
            CopyValue(text, position);
        break;
    case 136:
        PropertyLine("// commented out as Spiralix cannot handle this property");
        PropertyLine("// separator.expanded");
        CopyValue(text, position);
        break;
    case 134:
        output.LineEnd();
        break;
    default:
        return false;
    }
    return true;
}
