// Import statements: "import L.C as a;" makes the functions of class C of
// the function library L available as "a.name". The library's index file
// (brought up to date first) lists the class's functions with their heads
// and the place of their text in the library; the compiler writes a
// declaration "type a.name(...);" for each into generatedText, which the
// driver parses next, and each prototype parsed from there takes its body
// from the library text. At the formula's closing brace the driver compiles
// the bodies of the imported functions that are called.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "compiler/FormulaCompiler.h"
#include "formulas/FormulaIndex.h"
#include "formulas/FormulaLookup.h"
#include "formulas/FormulaNode.h"
#include "foundation/Buffers.h"

namespace {

void CopyMatch(char* out, int size, const char* text, int start, int end)
{
    int length = end - start + 1;
    if (length < 0)
        length = 0;
    if (length > size - 1)
        length = size - 1;
    memcpy(out, text + start, (size_t)length);
    out[length] = 0;
}

bool IsWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsNameCharacter(char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.';
}

// The plain function names of the class, from the decorated names of its
// "F:" lines ("F:Ctwice@@C##..." -> "twice").
std::vector<std::string> ClassFunctionNames(const char* index)
{
    std::vector<std::string> names;
    for (const char* line = index; line != nullptr && *line != 0;) {
        const char* end = strchr(line, '\n');
        if (end == nullptr)
            end = line + strlen(line);
        std::string text(line, (size_t)(end - line));
        if (text.compare(0, 2, "F:") == 0 && text.size() > 3) {
            size_t at = text.find("@@", 3);
            if (at != std::string::npos && at > 3)
                names.push_back(text.substr(3, at - 3));
        }
        line = *end ? end + 1 : end;
    }
    return names;
}

// Inside a library a function calls the other functions of its class by
// their plain names; the formula knows them only under the alias. Gives the
// calls of class functions in body (names followed by "(", outside
// strings) the alias.
std::string QualifyClassCalls(const std::string& body, const std::vector<std::string>& names,
                              const char* alias)
{
    std::string out;
    out.reserve(body.size() + 64);
    bool inString = false;
    size_t p = 0;
    while (p < body.size()) {
        char c = body[p];
        if (c == '"' || c == '\n') {
            inString = c == '"' ? !inString : false;
            out += c;
            p++;
            continue;
        }
        if (inString || !IsNameCharacter(c)) {
            out += c;
            p++;
            continue;
        }
        size_t end = p;
        while (end < body.size() && IsNameCharacter(body[end]))
            end++;
        std::string name = body.substr(p, end - p);
        size_t look = end;
        while (look < body.size() && IsWhite(body[look]))
            look++;
        if (IsNameStart(c) && look < body.size() && body[look] == '(') {
            for (const std::string& known : names) {
                if (known == name) {
                    out += alias;
                    break;
                }
            }
        }
        out += name;
        p = end;
    }
    return out;
}

// Replaces a compiler text block by a new one of capacity bytes holding
// text.
char* NewTextBlock(char* old, const std::string& text, size_t capacity)
{
    free(old);
    if (capacity < text.size() + 1)
        capacity = text.size() + 1;
    char* block = static_cast<char*>(calloc(capacity, 1));
    if (block != nullptr)
        memcpy(block, text.data(), text.size());
    return block;
}

// Action 162: the library named in nameBuffer, with a current index.
int FindLibrary(FormulaCompiler& c, const char* text, int start, int end)
{
    int counter = 0;
    FormulaNode* node = FindFormulaInFile(&g_FunctionLibraries, c.nameBuffer, 0, &counter);
    if (node == nullptr) {
        c.reportf(text, start, end, false, MSG_ERROR, "Compiler error 813: Import library %s cannot be found.",
                  c.nameBuffer);
        return ACTION_FAILED;
    }
    if (node->WriteIndexFile() != 0) {
        c.reportf(text, start, end, false, MSG_ERROR, "Compiler error 814: Import library %s contains errors.",
                  c.nameBuffer);
        return ACTION_FAILED;
    }
    c.libraryNode = node;
    return ACTION_NEXT_STATE;
}

// Action 164: reads the library and the class's functions from its index
// and writes their declarations under the alias.
int ReadClass(FormulaCompiler& c, const char* text, int start, int end)
{
    char library[sizeof c.nameBuffer];
    memcpy(library, c.nameBuffer, sizeof library);
    CopyMatch(c.nameBuffer, (int)sizeof c.nameBuffer - 1, text, start, end);
    snprintf(c.aliasName, sizeof c.aliasName, "%s.", c.nameBuffer);
    if (c.libraryNode == nullptr)
        return ACTION_FAILED;

    char libraryPath[FORMULA_PATH_SIZE];
    char indexPath[FORMULA_PATH_SIZE];
    c.libraryNode->GetPath(libraryPath, sizeof libraryPath);
    IndexFilePath(libraryPath, indexPath, sizeof indexPath);
    int length = 0;
    char* source = ReadFormulaTextFile(libraryPath, 100, &length);
    free(c.librarySource);
    c.librarySource = source;
    if (source == nullptr) {
        c.reportf(text, start, end, false, MSG_ERROR, "Compiler error 813: Import library %s cannot be found.",
                  library);
        return ACTION_FAILED;
    }

    std::vector<std::string> lines;
    int found = ReadIndexClass(indexPath, c.propertyName, &lines);
    std::string index;
    std::string declarations;
    for (const std::string& line : lines) {
        std::string declaration;
        if (!ParseIndexFunctionLine(line, nullptr, nullptr, nullptr, &declaration))
            continue;
        index += line;
        index += '\n';
        // The result type (the first word and the white space after it),
        // the alias, then the name and the parameters.
        size_t p = 0;
        while (p < declaration.size() && IsWhite(declaration[p]))
            p++;
        while (p < declaration.size() && !IsWhite(declaration[p]))
            p++;
        while (p < declaration.size() && IsWhite(declaration[p]))
            p++;
        declarations += declaration.substr(0, p);
        declarations += c.aliasName;
        declarations += declaration.substr(p);
        declarations += '\n';
    }
    c.libraryIndex = NewTextBlock(c.libraryIndex, index, index.size() + 100);

    c.generatedText->Reset((int)declarations.size() + 300);
    if (c.generatedText->GetData() != nullptr && c.generatedText->GetCapacity() > (int)declarations.size()) {
        char* generated = static_cast<char*>(c.generatedText->GetData());
        memcpy(generated, declarations.c_str(), declarations.size() + 1);
        // A head may carry comments; the driver parses the text as it is.
        FormulaCompiler::stripComments(generated);
    }

    if (found != 1) {
        c.reportf(text, start, end, false, MSG_ERROR,
                  "Compiler error 815: Import library %s does not contain class %s.", library, c.propertyName);
        return ACTION_FAILED;
    }
    return ACTION_NEXT_STATE;
}

}  // namespace

int FormulaCompiler::importStatement(char* text, int start, int end, int row)
{
    int action = row >= 0 && row < PARSE_TABLE_ROWS ? g_ParseTable[row].action : -1;
    switch (action) {
    case 160:
        CopyMatch(nameBuffer, (int)sizeof nameBuffer, text, start, end);
        return ACTION_NEXT_STATE;
    case 162:
        CopyMatch(propertyName, (int)sizeof propertyName, text, start, end);
        return FindLibrary(*this, text, start, end);
    case 164:
        return ReadClass(*this, text, start, end);
    case 165:
        if (generatedText && generatedText->GetData() && static_cast<char*>(generatedText->GetData())[0]) {
            generatedTextPending = 1;
            generatedTextMode = 1;
        }
        return ACTION_NEXT_STATE;
    default:
        return ACTION_NEXT_STATE;
    }
}

void FormulaCompiler::takeImportedFunctionSource(FormulaFunction* function)
{
    if (function == nullptr || libraryIndex == nullptr || librarySource == nullptr)
        return;
    // The decorated name without the alias ("Ca.twice@@C" -> "Ctwice@@C"),
    // searched as a whole name of a function line.
    std::string name = function->decoratedName;
    size_t aliasLength = strlen(aliasName);
    if (aliasLength == 0 || name.size() <= aliasLength || name.compare(1, aliasLength, aliasName) != 0)
        return;
    name.erase(1, aliasLength);
    std::string key = "F:" + name + "##";
    const char* line = strstr(libraryIndex, key.c_str());
    while (line != nullptr && line != libraryIndex && line[-1] != '\n')
        line = strstr(line + 1, key.c_str());
    if (line == nullptr)
        return;
    int first = 0, last = 0;
    if (sscanf(line + key.size(), "%d##%d##", &first, &last) != 2)
        return;
    int length = (int)strlen(librarySource);
    if (first < 0 || last < first || last >= length)
        return;
    // The head stays as in the library; the calls in the body get the alias.
    std::string source(librarySource + first, (size_t)(last - first + 1));
    size_t brace = source.find('{');
    if (brace != std::string::npos)
        source = source.substr(0, brace) +
                 QualifyClassCalls(source.substr(brace), ClassFunctionNames(libraryIndex), aliasName);
    delete function->sourceText;
    function->sourceText = new GrowBuffer((int)source.size() + 1);
    if (function->sourceText->GetData() != nullptr)
        memcpy(function->sourceText->GetData(), source.c_str(), source.size() + 1);
    function->imported = 1;
}
