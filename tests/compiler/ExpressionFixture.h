// A compiler that has compiled a formula declaring a variable of every type,
// user functions and selectable functions, so that expressions can be run
// through the lexer, the parser and the pipeline on their own, and a small
// notation for the expected element streams.
#pragma once

#include <gtest/gtest.h>

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>
#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "compiler/ElementStream.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/Scanners.h"
#include "foundation/Buffers.h"

namespace expr {

typedef std::vector<int32_t> Words;

inline const char* kFixture =
    "Fixture {\n"
    "  parameter int mode;\n"
    "  parameter real level;\n"
    "  real r, k;\n"
    "  complex c, cw;\n"
    "  int n;\n"
    "  bool b;\n"
    "  quaternion q;\n"
    "  vector v;\n"
    "  color col, c1, c2;\n"
    "  array a1[1] of real;\n"
    "  array a2[2] of real;\n"
    "  array ac[1] of color;\n"
    "  function complex fn;\n"
    "  function color mix;\n"
    "  complex twice(complex x) {\n"
    "    return(x + x);\n"
    "  }\n"
    "  void poke(real &t) {\n"
    "    t = t + 1;\n"
    "  }\n"
    "  void init(void) {\n"
    "    c = fn(z);\n"
    "    col = mix(c1, c2);\n"
    "  }\n"
    "  void loop(void) {\n"
    "  }\n"
    "  bool bailout(void) {\n"
    "    return(r > 4);\n"
    "  }\n"
    "  void description(void) {\n"
    "    mode.enum = \"one\\ntwo\";\n"
    "  }\n"
    "}\n";

inline std::vector<std::string> MessageLines()
{
    std::vector<std::string> out;
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        out.push_back(static_cast<MessageNode*>(n)->text);
    UnlockMessageList();
    return out;
}

inline std::string Joined(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines)
        s += l + "\n";
    return s;
}

// The words of a stream before its end word.
inline Words StreamOf(const int32_t* stream)
{
    Words w;
    for (int i = 0; stream[i] != OPC_END;) {
        int n = ElementWords(stream[i]);
        for (int k = 0; k < n; k++)
            w.push_back(stream[i + k]);
        i += n;
    }
    return w;
}

class ExpressionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteAllMessages();
        g_NumberOfOutputMessages = 1000;
        holder = new FormulaHolder(FK_ITERATION);
        c = holder->compiler;
        ASSERT_TRUE(c->compile(kFixture, 0, -128, nullptr, nullptr, nullptr, "Fixture", SK_PLANE, nullptr, false,
                               false))
            << Joined(MessageLines());
        // Only the notes on the two variables the fixture never assigns.
        ASSERT_EQ(std::vector<std::string>({"Tip - formula Fixture:",
                                            "Optimizer Info: Global variable cw can be defined as real instead of "
                                            "complex",
                                            "Tip - formula Fixture:",
                                            "Optimizer Info: Global variable q can be defined as real instead of "
                                            "quaternion"}),
                  MessageLines())
            << Joined(MessageLines());
        DeleteAllMessages();
        // Expressions below are checked as if written in the loop section.
        c->currentFunction = nullptr;
        if (!c->expressionBuffer)
            c->expressionBuffer = new GrowBuffer(1000);
        if (!c->messageText)
            c->messageText = new GrowBuffer(1000);
    }
    void TearDown() override
    {
        delete holder;
        DeleteAllMessages();
        g_NumberOfOutputMessages = 200;
    }

    FormulaSymbol* Symbol(const char* name) const { return c->findVariableByName(name); }
    int32_t Id(const std::string& name) const
    {
        FormulaSymbol* s = c->findVariableByName(name.c_str());
        EXPECT_NE(nullptr, s) << name;
        return s ? s->id : 0;
    }
    int32_t FuncParameter(const std::string& name) const
    {
        ListNode* n = findNodeByName(c->funcParameters.GetHead(), name.c_str());
        EXPECT_NE(nullptr, n) << name;
        return n ? OPC_FUNC_PARAMETER + static_cast<FormulaFuncParameter*>(n)->id : 0;
    }
    int32_t UserFunction(const std::string& name) const
    {
        ListNode* n = findNodeByName(c->functions.GetHead(), name.c_str());
        EXPECT_NE(nullptr, n) << name;
        return n ? OPC_USER_FUNCTION + static_cast<FormulaFunction*>(n)->index : 0;
    }

    // The expected words written in a short notation: numbers stand for
    // themselves; "#n" is the small constant n; "name" reads a symbol,
    // "=name" stores it, "[name" reads an array element, "[=name" stores
    // one; "f:name" calls a function parameter, "u:name" a user function.
    Words W(const std::string& notation) const
    {
        Words w;
        std::istringstream in(notation);
        std::string t;
        while (in >> t) {
            if (isdigit((unsigned char)t[0]) || (t[0] == '-' && t.size() > 1)) {
                w.push_back((int32_t)strtol(t.c_str(), nullptr, 10));
            } else if (t[0] == '#') {
                w.push_back(OPC_VARIABLE);
                w.push_back(encodeSmallInt(atoi(t.c_str() + 1)));
            } else if (t.compare(0, 2, "[=") == 0) {
                w.push_back(OPC_ARRAY_STORE);
                w.push_back(Id(t.substr(2)));
            } else if (t[0] == '[') {
                w.push_back(OPC_ARRAY_READ);
                w.push_back(Id(t.substr(1)));
            } else if (t[0] == '=') {
                w.push_back(OPC_STORE);
                w.push_back(Id(t.substr(1)));
            } else if (t.compare(0, 2, "f:") == 0) {
                w.push_back(FuncParameter(t.substr(2)));
            } else if (t.compare(0, 2, "u:") == 0) {
                w.push_back(UserFunction(t.substr(2)));
            } else {
                w.push_back(OPC_VARIABLE);
                w.push_back(Id(t));
            }
        }
        return w;
    }

    // The lexer's stream of text; result in *result.
    Words Lex(const char* text, int mode = EXPRESSION_STATEMENT, int* result = nullptr)
    {
        GrowBuffer elements(100);
        int r = c->tokenizeExpression(text, &elements, c->messageText, &c->dataTop, c->usageFlags,
                                      &c->constantCounter, mode);
        if (result)
            *result = r;
        return r == LEX_OK ? StreamOf(static_cast<int32_t*>(elements.GetData())) : Words();
    }

    // The parser's postfix stream (parenthesis markers included), or the
    // parser's error in *result.
    Words Parse(const char* text, int* result = nullptr)
    {
        c->prepareExpression(text);
        GrowBuffer out(100);
        int r = c->parseExpression(static_cast<const char*>(c->expressionText->GetData()), &out,
                                   c->messageText, EXPRESSION_STATEMENT);
        if (result)
            *result = r;
        return r < 0 ? StreamOf(static_cast<int32_t*>(out.GetData())) : Words();
    }

    // The whole pipeline at a key of its own; its result in *result.
    Words Process(const char* text, int* result = nullptr, int mode = EXPRESSION_STATEMENT, int key = -1,
                  bool useCache = false)
    {
        c->errorText[0] = 0;
        static_cast<char*>(c->messageText->GetData())[0] = 0;
        FormulaCompiler::ExpressionRequest request = {text, c->expressionBuffer, c->messageText,
                                                      key < 0 ? nextKey++ : key, 0, useCache ? (uint8_t)1 : (uint8_t)0,
                                                      mode};
        int r = c->processExpression(request);
        if (result)
            *result = r;
        return r >= 0 ? StreamOf(static_cast<int32_t*>(c->expressionBuffer->GetData())) : Words();
    }

    std::string Message() const { return static_cast<const char*>(c->messageText->GetData()); }

    FormulaHolder* holder = nullptr;
    FormulaCompiler* c = nullptr;
    int nextKey = 100000;
};

}  // namespace expr
