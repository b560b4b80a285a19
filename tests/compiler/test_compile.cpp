// The whole compile: the driver's passes and cycles over the statement
// grammar and the rule actions, the required functions and every syntax and
// declaration error with its text, line and column.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "foundation/Messages.h"
#include "calc/FractalTask.h"
#include "compiler/FormulaCompiler.h"
#include "document/Fractal.h"
#include "foundation/Buffers.h"
#include "foundation/Guard.h"
#include "formulas/FormulaNode.h"
#include "tests/support/ScriptedBoxes.h"
#include "tests/formulas/FormulaTestSupport.h"

namespace {

std::vector<std::string> TakeMessages()
{
    std::vector<std::string> out;
    LockMessageList();
    for (ListNode* n = g_Messages.GetHead(); n; n = n->next)
        out.push_back(static_cast<MessageNode*>(n)->text);
    UnlockMessageList();
    DeleteAllMessages();
    return out;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines)
        s += l + "\n";
    return s;
}

class Compile : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteAllMessages();
        g_NumberOfOutputMessages = 1000;
    }
    void TearDown() override
    {
        DeleteAllMessages();
        g_NumberOfOutputMessages = 200;
    }

    bool Run(FormulaHolder& holder, const char* text, int subKind = SK_PLANE, const char* name = "Bad1",
             Fractal* fractal = nullptr, NodeList* inputs = nullptr, bool clear = false)
    {
        return holder.compiler->compile(text, 0, -128, inputs, nullptr, fractal, name, subKind, nullptr,
                                        clear, false);
    }
};

// A formula of each kind and sub kind that uses the statements its kind
// allows: options, every declaration form, user functions with reference
// and array parameters and locals, control statements, the description
// block with formula properties, separators and enumerations, and the
// preprocessor.
const char* const kIteration =
    "AllConstructs(XAXIS) {\n"
    "// comment\n"
    "#define EXTRA\n"
    "parameter complex seed;\n"
    "parameter shared real amount;\n"
    "parameter const int count;\n"
    "parameter bool flag;\n"
    "parameter color tint;\n"
    "parameter vector dir;\n"
    "parameter quaternion q;\n"
    "parameter float fl;\n"
    "parameter double db;\n"
    "parameter int mode;\n"
    "function complex fn;\n"
    "function color mix;\n"
    "shared real sh;\n"
    "const real k;\n"
    "complex a, b, c;\n"
    "array arr[2] of real;\n"
    "real grid[10, 20];\n"
    "parameter real pgrid[4, 4];\n"
    "/* block\n   comment */\n"
    "complex helper(complex x, real &y, array m[2] of double);\n"
    "complex helper(complex x, real &y, array m[2] of double)\n"
    "{\n"
    "  complex t;\n"
    "  real u, v;\n"
    "  t = x * y;\n"
    "  for (u = 0, v = 1; u < 3; u = u + 1, v = v * 2) {\n"
    "    if (u > 1) {\n"
    "      break;\n"
    "    } else if (u < 0) {\n"
    "      t = t + 1;\n"
    "    } else {\n"
    "      t = t - 1;\n"
    "    }\n"
    "  }\n"
    "  do {\n"
    "    v = v + 1;\n"
    "  } while (v < 10);\n"
    "  while (v > 0, v < 100) {\n"
    "    v = v - 1;\n"
    "  }\n"
    "  return(t);\n"
    "}\n"
    "void init(void)\n"
    "{\n"
    "#ifdef EXTRA\n"
    "  a = 1;\n"
    "#else\n"
    "  a = 2;\n"
    "#endif\n"
    "  z = 0;\n"
    "}\n"
    "void loop(void)\n"
    "{\n"
    "  z = z*z + seed;\n"
    "}\n"
    "bool bailout(void)\n"
    "{\n"
    "  return(|z| < 4);\n"
    "}\n"
    "void description(void)\n"
    "{\n"
    "  this.title = \"All constructs\";\n"
    "  this.helpfile = \"help.chm\";\n"
    "  this.helptopic = \"all\";\n"
    "  this.maxiter = 250;\n"
    "  this.periodicity = 1;\n"
    "  this.method = \"guessing\";\n"
    "  this.angle = 30;\n"
    "  this.magn = 2.5e3;\n"
    "  this.center = (0.5, -0.25);\n"
    "  this.functionorder = 1;\n"
    "  separator.main.caption = \"Main\";\n"
    "  seed.caption = \"Seed\";\n"
    "  seed.hint = \"The seed\";\n"
    "  seed.default = (0.1, 0.2);\n"
    "  amount.min = 0;\n"
    "  amount.max = 10;\n"
    "  amount.default = 2.5;\n"
    "  amount.randomizable = true;\n"
    "  amount.randomizationType = 1;\n"
    "  count.default = 3;\n"
    "  count.visible = flag;\n"
    "  flag.default = true;\n"
    "  mode.enum = \"one\\ntwo\\nthree\";\n"
    "  mode.default = 1;\n"
    "}\n"
    "}\n";

struct Accepted {
    int kind;
    int subKind;
    const char* text;
};

TEST_F(Compile, FormulasOfEveryKindAreAccepted)
{
    const Accepted cases[] = {
        {FK_ITERATION, SK_PLANE, kIteration},
        {FK_ITERATION, SK_QUATERNION,
         "Quat(QUATERNION) {\n parameter quaternion c;\n void init(void) {\n z = 0;\n }\n"
         " void loop(void) {\n z = z*z + c;\n }\n bool bailout(void) {\n return(|z| < 4);\n }\n}\n"},
        {FK_ITERATION, SK_ATTRACTOR,
         "Attr(ATTRACTOR) {\n parameter real a;\n void loop(void) {\n z = z + a;\n }\n"
         " bool bailout(void) {\n return(numiter > 10);\n }\n}\n"},
        {FK_COLORING, SK_PLANE,
         "Col(INSIDE) {\n real sum;\n void init(void) {\n sum = 0;\n }\n void loop(void) {\n"
         " sum = sum + |z|;\n }\n void final(void) {\n index = sum;\n }\n"
         " void description(void) {\n this.title = \"Sum\";\n }\n}\n"},
        {FK_COLORING, SK_ATTRACTOR,
         "ACol {\n void loop(void) {\n pixelcolor = rgb(1, 0, 0);\n }\n}\n"},
        {FK_COLORING, SK_QUATERNION,
         "QCol(QUATERNION) {\n void final(void) {\n index = 0;\n }\n}\n"},
        {FK_TRANSFORMATION, SK_PLANE,
         "Trafo {\n parameter complex shift;\n void transform(void) {\n pixel = pixel + shift;\n }\n"
         " void description(void) {\n shift.caption = \"Shift\";\n }\n}\n"},
        {FK_TRANSFORMATION, SK_QUATERNION,
         "QTrafo(QUATERNION) {\n void transform(void) {\n pixel = pixel;\n }\n}\n"},
        {FK_LIBRARY, SK_PLANE,
         "Lib {\n complex twice(complex x) {\n return(x + x);\n }\n"
         " color tint(color c, real &f) {\n return(c);\n }\n}\n"},
    };
    for (const Accepted& c : cases) {
        FormulaHolder holder(c.kind);
        EXPECT_TRUE(Run(holder, c.text, c.subKind, "Good")) << c.text;
        // The one formula that declares complex variables it assigns only
        // real values (a) or none (b, c) gets the optimizer's notes.
        const char* notes = c.text == kIteration
                                ? "Tip - formula Good:\nOptimizer Info: Global variable a can be defined as real instead "
                                  "of complex\nTip - formula Good:\nOptimizer Info: Global variable b can be defined "
                                  "as real instead of complex\nTip - formula Good:\nOptimizer Info: Global variable c "
                                  "can be defined as real instead of complex\n"
                                : "";
        EXPECT_EQ(notes, Joined(TakeMessages())) << c.text;
        EXPECT_EQ(-1, holder.compiler->parseState);
        EXPECT_TRUE(holder.compiler->blockStack->isEmpty());
        holder.compiler->freeResults();
    }
}

TEST_F(Compile, ConstructsLeaveTheirRecords)
{
    FormulaHolder holder(FK_ITERATION);
    ASSERT_TRUE(Run(holder, kIteration, SK_PLANE, "AllConstructs"));
    FormulaCompiler* c = holder.compiler;
    EXPECT_EQ(1, c->symmetry);
    EXPECT_STREQ("All constructs", c->title);
    EXPECT_EQ(250, c->maxIter);
    EXPECT_EQ(2500.0, c->magnification);   // an exponent literal, read exactly
    EXPECT_EQ(0.5, c->center[0]);
    EXPECT_EQ(-0.25, c->center[1]);
    ASSERT_EQ(1, c->helpFileCount);
    EXPECT_STREQ("help.chm", c->helpFiles[0]);
    EXPECT_STREQ("all", c->helpTopics[0]);

    auto* seed = static_cast<FormulaSymbol*>(c->symbols.Find("seed"));
    ASSERT_NE(nullptr, seed);
    EXPECT_EQ(SYM_PARAMETER, seed->symbolClass);
    EXPECT_EQ(DT_COMPLEX, seed->dataType);
    EXPECT_STREQ("Seed", seed->captionText());
    EXPECT_EQ(0.2, seed->defaultValue[1]);
    auto* mode = static_cast<FormulaSymbol*>(c->symbols.Find("mode"));
    ASSERT_NE(nullptr, mode);
    EXPECT_EQ(DT_INT, mode->dataType);
    EXPECT_EQ(DT_ENUM, mode->precision);
    auto* amount = static_cast<FormulaSymbol*>(c->symbols.Find("amount"));
    ASSERT_NE(nullptr, amount);
    EXPECT_EQ(1, amount->shared);
    EXPECT_EQ(10.0, amount->maximum);
    EXPECT_EQ(1, amount->randomizable);
    EXPECT_NE(nullptr, c->symbols.Find("__fn"));
    EXPECT_NE(nullptr, c->symbols.Find("__mix"));
    EXPECT_NE(nullptr, c->symbols.Find("main"));   // the separator
    auto* grid = static_cast<FormulaSymbol*>(c->symbols.Find("grid"));
    ASSERT_NE(nullptr, grid);
    EXPECT_EQ(DT_PREDEFINED_ARRAY, grid->dataType);
    EXPECT_EQ(2.0, grid->value[0]);

    // Parameters follow the order of their description entries.
    std::vector<std::string> parameters;
    for (ListNode* n = c->symbols.GetHead(); n; n = n->next) {
        auto* s = static_cast<FormulaSymbol*>(n);
        if (s->symbolClass == SYM_PARAMETER)
            parameters.push_back(s->name);
    }
    ASSERT_GE(parameters.size(), 6u);
    std::vector<std::string> tail(parameters.end() - 6, parameters.end());
    EXPECT_EQ((std::vector<std::string>{"main", "seed", "amount", "count", "flag", "mode"}), tail);

    FormulaFunction* helper = findFunction(&c->functions, "Chelper@@CRA");
    ASSERT_NE(nullptr, helper);
    EXPECT_EQ(FUNCTION_DEFINED, helper->stateWord);
    EXPECT_EQ(6, helper->locals.Count());   // three formal parameters, three locals
    EXPECT_NE(nullptr, findFunction(&c->functions, "Vinit@@"));
    EXPECT_NE(nullptr, findFunction(&c->functions, "Bbailout@@"));

    // Expression statements are matched and recorded for the statement
    // compiler, their positions those of the text.
    ASSERT_GT(c->expressionLogCount, 0);
    const int32_t* log = static_cast<const int32_t*>(c->expressionLog->GetData());
    bool sawLoop = false;
    for (int i = 0; i < c->expressionLogCount; i++) {
        std::string expr(kIteration + log[3 * i + 1], kIteration + log[3 * i + 2] + 1);
        if (expr == "z = z*z + seed")
            sawLoop = log[3 * i] == 40;
    }
    EXPECT_TRUE(sawLoop);

    // The results stay until freeResults or takeFunctions.
    NodeList taken;
    c->takeFunctions(&taken);
    EXPECT_TRUE(c->functions.IsEmpty());
    EXPECT_EQ(4, taken.Count());
    DeleteAllNodes(&taken);
}

struct Failing {
    int kind;
    const char* text;
    const char* messages;   // the message lines, each ended by "\n"
};

// Every syntax and declaration error, with the text, line and column the
// message window shows. Formulas that fail early name no required function.
const Failing kFailing[] = {
    // Formula head.
    {FK_ITERATION, "{\n}", "Error in formula Bad1, line 1 at char 0:\nSyntax Error perr-0400: Formula name expected\n"},
    {FK_ITERATION, "Bad1(+) {\n}", "Error in formula Bad1, line 1 at char 5:\nSyntax Error perr-0402: Formula symmetry or formula option expected\n"},
    {FK_ITERATION, "Bad1(XAXIS XAXIS) {\n}", "Error in formula Bad1, line 1 at char 11:\nSyntax Error perr-0403: Closing bracket after symmetry or formula option expected\n"},
    // Declarations.
    {FK_ITERATION, "Bad1 {\n  parameter 5;\n}", "Error in formula Bad1, line 2 at char 12:\nSyntax Error perr-0412: Variable type declaration or function return type definition expected\n"},
    {FK_ITERATION, "Bad1 {\n  complex +;\n}", "Error in formula Bad1, line 2 at char 10:\nSyntax Error perr-0413: Variable identifier or function name expected\n"},
    {FK_ITERATION, "Bad1 {\n  complex a b;\n}", "Error in formula Bad1, line 2 at char 12:\nSyntax Error perr-0415: Expected either a comma to specify further variables or a semicolon to end the variable declarations.\n"},
    {FK_ITERATION, "Bad1 {\r\n  complex a\r\n}", "Error in formula Bad1, line 3 at char 0:\nSyntax Error perr-0415: Expected either a comma to specify further variables or a semicolon to end the variable declarations.\n"},
    // A function library declares no variables.
    {FK_LIBRARY, "Bad1 {\n  complex a;\n}", "Error in formula Bad1, line 2 at char 11:\nSyntax Error perr-0415: Expected either a comma to specify further variables or a semicolon to end the variable declarations.\n"},
    {FK_ITERATION, "Bad1 {\n  array +[2] of real;\n}", "Error in formula Bad1, line 2 at char 8:\nSyntax Error perr-0420: Expected a valid identifier for an array.\n"},
    {FK_ITERATION, "Bad1 {\n  array a of real;\n}", "Error in formula Bad1, line 2 at char 10:\nSyntax Error perr-0421: Expected \"[\" to specify array dimension\n"},
    {FK_ITERATION, "Bad1 {\n  array a[x] of real;\n}", "Error in formula Bad1, line 2 at char 10:\nSyntax Error perr-0422: Expected an integer number (1 to 5) in order to specify the number of dimensions\n"},
    {FK_ITERATION, "Bad1 {\n  array a[2 of real;\n}", "Error in formula Bad1, line 2 at char 12:\nSyntax Error perr-0423: Expected \"]\" to finish specifying the array dimension\n"},
    {FK_ITERATION, "Bad1 {\n  array a[2] real;\n}", "Error in formula Bad1, line 2 at char 13:\nSyntax Error perr-0424: Expected keyword \"of\" after array definition in order to specify the type of variables the array should contain\n"},
    {FK_ITERATION, "Bad1 {\n  array a[2] of string;\n}", "Error in formula Bad1, line 2 at char 16:\nSyntax Error perr-0425: Expected a valid variable type for the array elements\n"},
    {FK_ITERATION, "Bad1 {\n  array a[2] of real\n}", "Error in formula Bad1, line 3 at char 0:\nSyntax Error perr-0426: Expected \";\" to end this array declaration.\n"},
    {FK_ITERATION, "Bad1 {\n  real a[};\n}", "Error in formula Bad1, line 2 at char 9:\nSyntax Error perr-0660: Expecting a constant expression specifying the array dimension.\n"},
    {FK_ITERATION, "Bad1 {\n  real a[2;\n}", "Error in formula Bad1, line 2 at char 10:\nSyntax Error perr-0661: Expecting either a comma to specify further array dimensions or a closing bracket ']'.\n"},
    {FK_ITERATION, "Bad1 {\n  complex a, a;\n}", "Error - formula Bad1, line 2 at char 13:\nCompiler error 020: Variable a has already been defined\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(complex abc, real abc);\n}", "Error - formula Bad1, line 2 at char 30:\nCompiler error 020: Parameter abc has already been defined\n"},
    {FK_ITERATION, "Bad1 {\n  parameter complex f(complex a);\n}", "Error - formula Bad1, line 2 at char 0:\nCompiler error 024: Invalid function definition: No 'parameter', 'const', 'shared' or 'function' keyword may precede the function definition.\n"},
    {FK_ITERATION, "Bad1 {\n  parameter array p[3] of real;\n}", "Error - formula Bad1, line 2 at char 18:\nCompiler error 097: Parameter arrays must have two dimensions\n"},
    {FK_ITERATION, "Bad1 {\n  parameter real p[2, 3, 4];\n}", "Error - formula Bad1, line 2 at char 17:\nCompiler error 097: Parameter arrays must have two dimensions\n"},
    {FK_ITERATION, "Bad1 {\n  array a[0] of real;\n}", "Error - formula Bad1, line 2 at char 8:\nCompiler error 616: Array dimension must be a positive integer value between 1 and 5.\n"},
    {FK_ITERATION, "Bad1 {\n  array a[6] of real;\n}", "Error - formula Bad1, line 2 at char 8:\nCompiler error 617: The maximum array dimension supported in Spiralix is 5.\n"},
    {FK_ITERATION, "Bad1 {\n  function array a[1] of real;\n}", "Error - formula Bad1, line 2 at char 11:\nCompiler error 817: Datatype for function must be complex or color.\n"},
    {FK_ITERATION, "Bad1 {\n  function real fn;\n}", "Error - formula Bad1, line 2 at char 11:\nCompiler error 819: Function datatype must be either complex or color\n"},
    // Statements.
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    z = 0;\n", "Error in formula Bad1, line 5 at char 0:\nSyntax Error perr-0510: Expecting a \"}\" in order to close the current function, or an expression or some control structures like \"for\", \"if\", \"do\", \"while\" inside the current function.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    for (;;) {\n      z = 0;\n", "Error in formula Bad1, line 6 at char 0:\nSyntax Error perr-0510: Expecting a \"}\" in order to close the opened for loop, or an expression or some control structures like \"for\", \"if\", \"do\", \"while\", \"break\" inside this for loop.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    z = 0, 1;\n  }\n}", "Error in formula Bad1, line 4 at char 9:\nSyntax Error perr-0511: Semicolon expected.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    if z {\n  }\n}", "Error in formula Bad1, line 4 at char 7:\nSyntax Error perr-0512: Opening bracket after if keyword expected.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    if (z;\n  }\n}", "Error in formula Bad1, line 4 at char 8:\nSyntax Error perr-0513: A boolean expression terminated by a closing bracket expected.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    if (1) z = 1;\n  }\n}", "Error in formula Bad1, line 4 at char 11:\nSyntax Error perr-0515: Expecting \"{\" to specify an expression block\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    while (1) {\n      break\n    }\n  }\n}", "Error in formula Bad1, line 6 at char 4:\nSyntax Error perr-0516: Semicolon after break keyword expected.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    if (1) {\n    } else z = 1;\n  }\n}", "Error in formula Bad1, line 5 at char 11:\nSyntax Error perr-0521: Expected either a further if statement following else or \"{\"\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    for z\n  }\n}", "Error in formula Bad1, line 4 at char 8:\nSyntax Error perr-0530: Keyword \"for\" must be followed by \"(\" .\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    for (}\n  }\n}", "Error in formula Bad1, line 4 at char 9:\nSyntax Error perr-0531: Expecting intialization expression belonging to this for-loop.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    for (z = 1 }\n  }\n}", "Error in formula Bad1, line 4 at char 15:\nSyntax Error perr-0532: Expecting either a \",\" to specify further initiazitaion expressions or a semicolon to advance to the conditional part.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    for (z = 1; }\n  }\n}", "Error in formula Bad1, line 4 at char 16:\nSyntax Error perr-0533: Expecting a (conditional) expression.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    for (z = 1; 1 }\n  }\n}", "Error in formula Bad1, line 4 at char 18:\nSyntax Error perr-0534: Expecting a semicolon to terminate the (conditional) expression.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    for (z = 1; 1; }\n  }\n}", "Error in formula Bad1, line 4 at char 19:\nSyntax Error perr-0535: Expecting an expression evaluated after each loop.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    for (z = 1; 1; z = 2 }\n  }\n}", "Error in formula Bad1, line 4 at char 25:\nSyntax Error perr-0536: Expecting either a \",\" to separate another iteration expression from the current one or a closing bracket to specify the end of the for construct.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    for (z = 1; 1; z = 2) z = 3;\n  }\n}", "Error in formula Bad1, line 4 at char 26:\nSyntax Error perr-0537: Expecting \"{\" to start the loop block.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    do z = 1;\n  }\n}", "Error in formula Bad1, line 4 at char 7:\nSyntax Error perr-0550: Expecting \"{\" to start the loop block of this do-while-loop.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    do {\n    } z = 1;\n  }\n}", "Error in formula Bad1, line 5 at char 6:\nSyntax Error perr-0551: Expecting while keyword for this do-loop.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    do {\n    } while z;\n  }\n}", "Error in formula Bad1, line 5 at char 12:\nSyntax Error perr-0552: Expecting an opening bracket.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    do {\n    } while (;\n  }\n}", "Error in formula Bad1, line 5 at char 13:\nSyntax Error perr-0553: Expecting an expression inside while().\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    do {\n    } while (1)\n    z = 1;\n  }\n}", "Error in formula Bad1, line 6 at char 4:\nSyntax Error perr-0555: Semicolon expected.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    while z\n  }\n}", "Error in formula Bad1, line 4 at char 10:\nSyntax Error perr-0560: Opening bracket after while expected.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    while (}\n  }\n}", "Error in formula Bad1, line 4 at char 11:\nSyntax Error perr-0561: Expecting an expression inside while().\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    while (1 }\n  }\n}", "Error in formula Bad1, line 4 at char 13:\nSyntax Error perr-0562: Expecting either a comma to separate different expressions or a closing bracket.\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void)\n  {\n    while (1) z = 1;\n  }\n}", "Error in formula Bad1, line 4 at char 14:\nSyntax Error perr-0563: Expecting \"{\" to start the loop expressions.\n"},
    // Bailout and stop functions.
    {FK_ITERATION, "Bad1 {\n  bool bailout(x)\n}", "Error in formula Bad1, line 2 at char 15:\nSyntax Error perr-0570: Expecting \"void\" as parameter to bailout/stop function.\n"},
    {FK_ITERATION, "Bad1 {\n  bool bailout(void {\n}", "Error in formula Bad1, line 2 at char 20:\nSyntax Error perr-0571: Expecting \")\" after void.\n"},
    {FK_ITERATION, "Bad1 {\n  bool bailout(void) return(1);\n}", "Error in formula Bad1, line 2 at char 21:\nSyntax Error perr-0572: Expecting \"{\" to start the function body.\n"},
    {FK_ITERATION, "Bad1 {\n  bool bailout(void) {\n    z = 1;\n  }\n}", "Error in formula Bad1, line 3 at char 4:\nSyntax Error perr-0573: Expecting \"return\" keyword: this function body must consist of a single return(boolean expression) statement.\n"},
    {FK_ITERATION, "Bad1 {\n  bool bailout(void) {\n    return(}\n}", "Error in formula Bad1, line 3 at char 11:\nSyntax Error perr-0574: Expecting a boolean expression: bailout/stop function body must consist of a single return(boolean expression) statement.\n"},
    {FK_ITERATION, "Bad1 {\n  bool bailout(void) {\n    return(1)\n  }\n}", "Error in formula Bad1, line 4 at char 2:\nSyntax Error perr-0575: Expecting \";\"  to specify the end of the return expression.\n"},
    {FK_ITERATION, "Bad1 {\n  bool bailout(void) {\n    return(1);\n    z = 1;\n  }\n}", "Error in formula Bad1, line 4 at char 4:\nSyntax Error perr-0576: Expecting \"}\"  to specify the end of the bailout/stop function.\n"},
    {FK_ITERATION, "Bad1 {\n  bool bailout(void) {\n    return(1);\n  }\n  bool bailout(void) {\n    return(1);\n  }\n}", "Error - formula Bad1, line 4 at char 0:\nCompiler Error 091: this function has already been defined.\n"},
    // Description block.
    {FK_ITERATION, "Bad1 {\n  void description(x)\n}", "Error in formula Bad1, line 2 at char 19:\nSyntax Error perr-0600: void expected\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void {\n}", "Error in formula Bad1, line 2 at char 24:\nSyntax Error perr-0601: closing bracket expected\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void) this.title = \"x\";\n}", "Error in formula Bad1, line 2 at char 25:\nSyntax Error perr-0602: Expecting \"{\" to start the description function body.\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void) {\n    +;\n  }\n}", "Error in formula Bad1, line 3 at char 4:\nSyntax Error perr-0603: Expecting either \"}\" to finish the description function body or a variable description expression.\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void) {\n    this caption;\n  }\n}", "Error in formula Bad1, line 3 at char 9:\nSyntax Error perr-0604: Expecting a '.' to separate the property from the identifier.\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void) {\n    this.+ = 1;\n  }\n}", "Error in formula Bad1, line 3 at char 9:\nSyntax Error perr-0605: Expecting a property name like title or caption.\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void) {\n    this.title \"x\";\n  }\n}", "Error in formula Bad1, line 3 at char 15:\nSyntax Error perr-0606: Expecting a '=' to assign a value to this property.\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void) {\n    this.title = x;\n  }\n}", "Error in formula Bad1, line 3 at char 17:\nSyntax Error perr-0607: Expecting a boolean, double, complex or string constant.\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void) {\n    this.title = \"x\"\n  }\n}", "Error in formula Bad1, line 4 at char 2:\nSyntax Error perr-0608: Expecting a semicolon to terminate this property assignment.\n"},
    {FK_ITERATION, "Bad1 {\n  parameter real p;\n  void description(void) {\n    p.visible true;\n  }\n}", "Error in formula Bad1, line 4 at char 14:\nSyntax Error perr-0609: Expecting a '=' to assign a value to this property.\n"},
    {FK_ITERATION, "Bad1 {\n  parameter real p;\n  void description(void) {\n    p.visible = }\n}", "Error in formula Bad1, line 4 at char 16:\nSyntax Error perr-0610: Expecting an expression for this property.\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void) {\n    separator main;\n  }\n}", "Error in formula Bad1, line 3 at char 14:\nSyntax Error perr-0611: Expecting a fullstop '.'\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void) {\n    separator.+;\n  }\n}", "Error in formula Bad1, line 3 at char 14:\nSyntax Error perr-0612: Expecting an identifier (a label) for this separator.\n"},
    {FK_ITERATION, "Bad1 {\n  void description(void) {\n    separator.main caption = \"x\";\n  }\n}", "Error in formula Bad1, line 3 at char 19:\nSyntax Error perr-0613: Expecting a fullstop after the separator identifier.\n"},
    // Function heads and locals.
    {FK_ITERATION, "Bad1 {\n  complex f(5);\n}", "Error in formula Bad1, line 2 at char 12:\nSyntax Error perr-0620: Parameter type expected in this function declaration.\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(complex &+);\n}", "Error in formula Bad1, line 2 at char 21:\nSyntax Error perr-0622: Parameter identifier expected.\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(array +[2] of real);\n}", "Error in formula Bad1, line 2 at char 18:\nSyntax Error perr-0623: Valid array identifier expected.\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(array m of real);\n}", "Error in formula Bad1, line 2 at char 20:\nSyntax Error perr-0624: Expected \"[\" to specify array dimension\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(array m[x] of real);\n}", "Error in formula Bad1, line 2 at char 20:\nSyntax Error perr-0625: Expected an integer number specifying the array dimension\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(array m[2 of real);\n}", "Error in formula Bad1, line 2 at char 22:\nSyntax Error perr-0626: Expected \"]\" to finish specifying the array dimension\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(array m[2] real);\n}", "Error in formula Bad1, line 2 at char 23:\nSyntax Error perr-0627: Expected keyword \"of\" after array definition in order to specify the type of variables the array should contain\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(array m[2] of text);\n}", "Error in formula Bad1, line 2 at char 26:\nSyntax Error perr-0628: Expected a valid variable type for the array elements\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(complex a;\n}", "Error in formula Bad1, line 2 at char 21:\nSyntax Error perr-0630: Expected either a comma or a closing bracket after that parameter definition.\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(void;\n}", "Error in formula Bad1, line 2 at char 16:\nSyntax Error perr-0631: Expected a closing bracket after void\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(complex a)\n  z = 1;\n}", "Error in formula Bad1, line 3 at char 2:\nSyntax Error perr-0632: Expected either a semicolon or the start of a function definition.\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(complex a) {\n    complex +;\n  }\n}", "Error in formula Bad1, line 3 at char 12:\nSyntax Error perr-0638: Identifier for a local variable expected\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(complex a) {\n    complex b c;\n  }\n}", "Error in formula Bad1, line 3 at char 14:\nSyntax Error perr-0639: Either comma or semicolon expected\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(complex a) {\n    return\n  }\n}", "Error in formula Bad1, line 4 at char 2:\nSyntax Error perr-0641: Expecting a return value\n"},
    {FK_ITERATION, "Bad1 {\n  complex f(complex a) {\n    return(a) }\n}", "Error in formula Bad1, line 3 at char 14:\nSyntax Error perr-0642: Expecting a semicolon to end this return statement.\n"},
    {FK_LIBRARY, "Lib1 {\n  complex f(complex a) {\n    return(a);\n  }\n  complex f(complex a) {\n    return(a);\n  }\n}", "Error - formula Bad1, line 4 at char 0:\nCompiler Error 090: A function with the same signature has already been defined.\n"},
    // Import statements.
    {FK_ITERATION, "Bad1 {\n  import +;\n}", "Error in formula Bad1, line 2 at char 9:\nSyntax Error perr-0650: Expected an identifier for a library file.\n"},
    {FK_ITERATION, "Bad1 {\n  import lib cls;\n}", "Error in formula Bad1, line 2 at char 13:\nSyntax Error perr-0651: Expected a \".\"\n"},
    {FK_ITERATION, "Bad1 {\n  import lib.+;\n}", "Error in formula Bad1, line 2 at char 13:\nSyntax Error perr-0652: Expected an identifier for a class inside a library file.\n"},
    {FK_ITERATION, "Bad1 {\n  import lib.cls so x;\n}", "Error in formula Bad1, line 2 at char 17:\nSyntax Error perr-0653: Expected keyword \"as\" to specify an alias name for that imported class.\n"},
    {FK_ITERATION, "Bad1 {\n  import lib.cls as +;\n}", "Error in formula Bad1, line 2 at char 20:\nSyntax Error perr-0654: Expected an alias name for that imported class.\n"},
    {FK_ITERATION, "Bad1 {\n  import lib.cls as x\n}", "Error in formula Bad1, line 3 at char 0:\nSyntax Error perr-0655: Semicolon expected\n"},
    // The preprocessor; a blanked branch keeps its line ends, so the line
    // of a later error stays right.
    {FK_ITERATION, "Bad1 {\n#else\n}", "Error - formula Bad1, line 2 at char 0:\nCompiler error P-001: Found #else directive without #ifdef-directive.\n"},
    {FK_ITERATION, "Bad1 {\n  #endif\n}", "Error - formula Bad1, line 2 at char 2:\nCompiler error P-002: Found #endif directive without #ifdef-directive.\n"},
    {FK_ITERATION, "Bad1 {\n#ifdef X\n}", "Error - formula Bad1, line 2 at char 0:\nCompiler error P-003: Did not find #endif directive for this #ifdef-directive.\n"},
    {FK_ITERATION, "Bad1 {\n#ifdef NOTDEFINED\n  complex a;\n  complex b;\n#endif\n  complex c\n}", "Error in formula Bad1, line 7 at char 0:\nSyntax Error perr-0415: Expected either a comma to specify further variables or a semicolon to end the variable declarations.\n"},
    {FK_ITERATION, "Bad1 {\n/* two\n lines */ complex c\n}", "Error in formula Bad1, line 4 at char 0:\nSyntax Error perr-0415: Expected either a comma to specify further variables or a semicolon to end the variable declarations.\n"},
    // Required functions.
    {FK_ITERATION, "Bad1 {\n}", "Error - formula Bad1:\nCompiler error 910: Formula does not contain function \"void init(void)\".\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void) {\n  }\n}", "Error - formula Bad1:\nCompiler error 911: Formula does not contain function \"void loop(void)\".\n"},
    {FK_ITERATION, "Bad1 {\n  void init(void) {\n  }\n  void loop(void) {\n  }\n}", "Error - formula Bad1:\nCompiler error 912: Formula does not contain function \"bool bailout(void)\".\n"},
    {FK_TRANSFORMATION, "Bad1 {\n}", "Error - formula Bad1:\nCompiler error 913: Formula does not contain function \"void transform(void)\".\n"},
    {FK_COLORING, "Bad1 {\n  void loop(void) {\n  }\n}", "Error - formula Bad1:\nCompiler error 916: Formula does not contain function \"void final(void)\".\n"},
};

TEST_F(Compile, SyntaxAndDeclarationErrors)
{
    // The import statements name a library that exists.
    formulatest::ScopedLibrary library("lib.lib", "cls {\n}\n");
    for (const Failing& c : kFailing) {
        FormulaHolder holder(c.kind);
        EXPECT_FALSE(Run(holder, c.text)) << c.text;
        EXPECT_EQ(c.messages, Joined(TakeMessages())) << c.text;
        holder.compiler->freeResults();
    }
}

struct Warned {
    int kind;
    const char* text;
    const char* messages;
    bool result;
};

TEST_F(Compile, WarningsLeaveTheCompileGoing)
{
    const Warned cases[] = {
        {FK_LIBRARY, "Lib1 {\n  complex f(complex a);\n  complex f(complex b);\n}",
         "Warning - formula Bad1, line 3 at char 0:\nCompiler warning 089: A function with the same signature "
         "has already been declared.\nStatement will be ignored.\nWarning - formula Bad1:\nCompiler warning 709: "
         "Function f has been declared, but has not been defined\n",
         true},
        {FK_LIBRARY, "Lib1 {\n  complex f(complex a);\n  complex f(complex a) {\n    return(a);\n  }\n}", "", true},
        {FK_LIBRARY, "Lib1 {\n  void description(void) {\n    quux.caption = \"x\";\n  }\n}",
         "Warning - formula Bad1, line 3 at char 4:\nCompiler warning 601: Identifier quux specifies neither the "
         "formula nor a known parameter/user function.\nStatement will be ignored\n",
         true},
        {FK_LIBRARY, "Lib1 {\n  void description(void) {\n    this.colour = \"x\";\n  }\n}",
         "Warning - formula Bad1, line 3 at char 9:\nCompiler warning 603: formula does not have any property "
         "called colour.\nStatement will be ignored\n",
         true},
        {FK_LIBRARY, "Lib1 {\n  void description(void) {\n    this.title = 5;\n  }\n}",
         "Warning - formula Bad1:\nCompiler warning 606: The property this.title expects another type than "
         "provided.\nStatement will be ignored.\n",
         true},
        {FK_TRANSFORMATION,
         "Bad1 {\n  parameter complex a;\n  complex vee;\n  void transform(void) {\n  }\n"
         "  void description(void) {\n    a.colour = \"x\";\n    vee.caption = \"V\";\n  }\n}",
         "Warning - formula Bad1, line 7 at char 6:\nCompiler warning 605: Variables do not have a property called "
         "colour.\nStatement will be ignored.\nWarning - formula Bad1, line 8 at char 4:\nCompiler warning 602: "
         "Identifier vee specifies a known variable, but the variable has not been declared as a parameter.\nOnly "
         "parameters can have properties.\nStatement will be ignored\nTip - formula Bad1:\nOptimizer Info: "
         "Global variable vee can be defined as real instead of complex\n",
         true},
        {FK_TRANSFORMATION,
         "Bad1 {\n  parameter real a;\n  void transform(void) {\n  }\n"
         "  void description(void) {\n    a.default = \"x\";\n  }\n}",
         "Warning - formula Bad1:\nCompiler warning 606: The property a.default expects another type than "
         "provided.\nStatement will be ignored.\n",
         true},
    };
    for (const Warned& c : cases) {
        FormulaHolder holder(c.kind);
        EXPECT_EQ(c.result, Run(holder, c.text)) << c.text;
        EXPECT_EQ(c.messages, Joined(TakeMessages())) << c.text;
        holder.compiler->freeResults();
    }
}

TEST_F(Compile, RequiredFunctionsByKindAndSubKind)
{
    struct Case {
        int kind, subKind;
        const char* text;
        bool result;
        const char* messages;
    } cases[] = {
        // An attractor needs only its loop; its bailout becomes "stop".
        {FK_ITERATION, SK_ATTRACTOR, "A {\n void loop(void) {\n }\n}", true, ""},
        {FK_ITERATION, SK_ATTRACTOR, "A {\n}", false,
         "Error - formula Bad1:\nCompiler error 911: Formula does not contain function \"void loop(void)\".\n"},
        {FK_ITERATION, SK_QUATERNION, "A {\n void loop(void) {\n }\n}", false,
         "Error - formula Bad1:\nCompiler error 910: Formula does not contain function \"void init(void)\".\n"},
        {FK_COLORING, SK_ATTRACTOR, "A {\n void final(void) {\n }\n}", false,
         "Error - formula Bad1:\nCompiler error 916: Formula does not contain function \"void loop(void)\".\n"},
        {FK_COLORING, SK_QUATERNION, "A {\n void final(void) {\n }\n}", true, ""},
        {FK_TRANSFORMATION, SK_ATTRACTOR, "A {\n void transform(void) {\n }\n}", true, ""},
        {FK_LIBRARY, SK_PLANE, "A {\n}", true, ""},
    };
    for (const Case& c : cases) {
        FormulaHolder holder(c.kind);
        EXPECT_EQ(c.result, Run(holder, c.text, c.subKind)) << c.text;
        EXPECT_EQ(c.messages, Joined(TakeMessages())) << c.text;
        holder.compiler->freeResults();
    }

    FormulaHolder attractor(FK_ITERATION);
    ASSERT_TRUE(Run(attractor, "A {\n void loop(void) {\n }\n bool bailout(void) {\n return(1);\n }\n}",
                    SK_ATTRACTOR));
    EXPECT_NE(nullptr, findFunction(&attractor.compiler->functions, "Bstop@@"));
    EXPECT_EQ(nullptr, findFunction(&attractor.compiler->functions, "Bbailout@@"));

    // An option of the formula sets the sub kind for the checks.
    FormulaHolder optioned(FK_ITERATION);
    EXPECT_TRUE(Run(optioned, "A(ATTRACTOR) {\n void loop(void) {\n }\n}"));
    EXPECT_EQ(SK_ATTRACTOR, optioned.compiler->subKind);
    EXPECT_EQ(SUBKIND_MASK_ATTRACTOR, optioned.compiler->subKindMask);
}

TEST_F(Compile, CalleesOfRequiredFunctionsMustBeDefined)
{
    FormulaCompiler compiler;
    strcpy(compiler.name, "Lib1");
    FormulaFunction* a = new FormulaFunction();
    a->SetName("a");
    strcpy(a->decoratedName, "Va@@");
    a->stateWord = FUNCTION_DEFINED;
    FormulaFunction* b = new FormulaFunction();
    b->SetName("b");
    strcpy(b->decoratedName, "Vb@@");
    b->stateWord = FUNCTION_DEFINED;
    FormulaFunction* c = new FormulaFunction();
    c->SetName("c");
    strcpy(c->decoratedName, "Vc@@");
    c->stateWord = FUNCTION_DECLARED;
    compiler.functions.Append(a);
    compiler.functions.Append(b);
    compiler.functions.Append(c);
    a->addCallSite(b);
    b->addCallSite(a);   // a cycle ends the walk
    b->addCallSite(c);

    EXPECT_EQ(1, compiler.checkFunctionPresent("Va@@", 917, nullptr));
    EXPECT_EQ("Error - formula Lib1:\nCompiler error 708: Function b references function c, but that function "
              "has not been defined\n",
              Joined(TakeMessages()));
    EXPECT_EQ(1, compiler.checkFunctionPresent("Vx@@", 917, nullptr));
    EXPECT_EQ("Error - formula Lib1:\nCompiler error 917: Function with signature \"Vx@@\" is missing.\n",
              Joined(TakeMessages()));
    c->stateWord = FUNCTION_DEFINED;
    EXPECT_EQ(0, compiler.checkFunctionPresent("Ia@@", 917, nullptr));   // the result letter is ignored
    EXPECT_EQ("", Joined(TakeMessages()));
}

TEST_F(Compile, OptimizerNotesCompareTypeRanks)
{
    FormulaCompiler compiler;
    strcpy(compiler.name, "F");
    auto add = [](NodeList* list, const char* name, int type, int current) {
        FormulaSymbol* s = new FormulaSymbol();
        s->SetName(name);
        s->dataType = type;
        s->currentType = current;
        list->Append(s);
    };
    add(&compiler.symbols, "a", DT_COMPLEX, DT_REAL);
    add(&compiler.symbols, "b", DT_COMPLEX, DT_COMPLEX);
    add(&compiler.symbols, "q", DT_QUATERNION, DT_COMPLEX);
    add(&compiler.symbols, "v", DT_VECTOR, DT_REAL);
    add(&compiler.symbols, "INFO:some constant value 3", DT_COMPLEX, DT_REAL);
    FormulaFunction* f = new FormulaFunction();
    f->SetName("helper");
    add(&f->locals, "t", DT_COMPLEX, DT_REAL);
    compiler.functions.Append(f);
    compiler.reportOptimizerNotes();
    EXPECT_EQ("Tip - formula F:\nOptimizer Info: Global variable a can be defined as real instead of complex\n"
              "Tip - formula F:\nOptimizer Info: Global variable q can be defined as complex instead of quaternion\n"
              "Tip - formula F:\nOptimizer Info: Local variable t in function \"helper\" can be defined as real "
              "instead of complex\n",
              Joined(TakeMessages()));
}

// A compile without a fractal runs the first pass of its list; with a
// fractal all three passes run, each repeating the rule actions (here a
// description warning). With handed-in parameter values pass 0 is left out.
TEST_F(Compile, PassesRunByFractalAndInputs)
{
    const char* text = "Lib1 {\n  void description(void) {\n    quux.caption = \"x\";\n  }\n}";
    const std::string warning = "Warning - formula Bad1, line 3 at char 4:\nCompiler warning 601: Identifier quux "
                                "specifies neither the formula nor a known parameter/user function.\nStatement "
                                "will be ignored\n";
    Fractal fractal;
    FractalTask task;
    fractal.task = &task;
    task.fractal = &fractal;
    NodeList inputs;

    FormulaHolder holder(FK_LIBRARY);
    EXPECT_TRUE(Run(holder, text));
    EXPECT_EQ(warning, Joined(TakeMessages()));
    EXPECT_TRUE(Run(holder, text, SK_PLANE, "Bad1", &fractal));
    EXPECT_EQ(warning + warning + warning, Joined(TakeMessages()));
    EXPECT_TRUE(Run(holder, text, SK_PLANE, "Bad1", &fractal, &inputs));
    EXPECT_EQ(warning + warning, Joined(TakeMessages()));
    // Clearing the messages at every cycle leaves the last cycle's.
    EXPECT_TRUE(Run(holder, text, SK_PLANE, "Bad1", &fractal, nullptr, true));
    EXPECT_EQ(warning, Joined(TakeMessages()));
    fractal.task = nullptr;
}

TEST_F(Compile, ThreadCommandsDuringACompile)
{
    Fractal fractal;
    FractalTask task;
    fractal.task = &task;
    task.fractal = &fractal;
    const char* text = "Lib1 {\n  void description(void) {\n    quux.caption = \"x\";\n  }\n}";

    // A pending 3D redraw is dropped and the compile goes on.
    FormulaHolder holder(FK_LIBRARY);
    task.command = FTC_REDRAW3D;
    EXPECT_TRUE(Run(holder, text, SK_PLANE, "Bad1", &fractal));
    EXPECT_EQ(0, task.command);
    TakeMessages();

    // Any other command stops it silently and stays pending.
    task.command = FTC_STOP;
    EXPECT_FALSE(Run(holder, text, SK_PLANE, "Bad1", &fractal));
    EXPECT_EQ(FTC_STOP, task.command);
    EXPECT_TRUE(TakeMessages().empty());

    // Without a fractal no command word is read.
    EXPECT_TRUE(Run(holder, text));
    EXPECT_EQ(FTC_STOP, task.command);
    TakeMessages();
    fractal.task = nullptr;
}

TEST_F(Compile, NamesOfTheFormula)
{
    FormulaHolder holder(FK_ITERATION);
    EXPECT_FALSE(Run(holder, "X {\n  complex a\n}", SK_PLANE, ""));
    std::vector<std::string> m = TakeMessages();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ("Error in formula <Unnamed>, line 3 at char 0:", m[0]);

    // A null name reports nothing at all.
    EXPECT_FALSE(Run(holder, "X {\n  complex a\n}", SK_PLANE, nullptr));
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_STREQ("", holder.compiler->name);

    std::string longName(150, 'n');
    EXPECT_FALSE(Run(holder, "X {\n}", SK_PLANE, longName.c_str()));
    EXPECT_EQ(std::string(99, 'n'), holder.compiler->name);
    TakeMessages();
}

TEST_F(Compile, PropertyMarkersAreSetForEveryCompile)
{
    FormulaHolder holder(FK_LIBRARY);
    FormulaCompiler* c = holder.compiler;
    EXPECT_EQ(PROPERTY_NOT_GIVEN, c->maxIter);
    EXPECT_STREQ("New Formula", c->title);
    ASSERT_TRUE(Run(holder,
                    "L {\n void description(void) {\n this.maxiter = 100;\n this.periodicity = 2;\n"
                    " this.angle = 45;\n this.magn = 3;\n this.center = (1, 2);\n this.functionorder = 2;\n }\n}"));
    EXPECT_EQ(100, c->maxIter);
    EXPECT_EQ(2, c->periodicity);
    EXPECT_EQ(45.0, c->angle);
    EXPECT_EQ(2, c->functionOrder);
    ASSERT_TRUE(Run(holder, "L {\n}"));
    EXPECT_EQ(PROPERTY_NOT_GIVEN, c->maxIter);
    EXPECT_EQ(PROPERTY_NOT_GIVEN, c->periodicity);
    EXPECT_EQ(PROPERTY_NOT_GIVEN_DOUBLE, c->angle);
    EXPECT_EQ(PROPERTY_NOT_GIVEN_DOUBLE, c->magnification);
    EXPECT_EQ(PROPERTY_NOT_GIVEN_DOUBLE, c->center[0]);
    EXPECT_EQ(0, c->functionOrder);
    EXPECT_EQ(0, c->symmetry);
}

TEST_F(Compile, ColoringInsideModes)
{
    struct Case {
        const char* head;
        int insideMode;
    } cases[] = {{"C", 3}, {"C(INSIDE)", 1}, {"C(OUTSIDE)", 2}, {"C(BOTH)", 3}};
    for (const Case& c : cases) {
        FormulaHolder holder(FK_COLORING);
        std::string text = std::string(c.head) + " {\n void final(void) {\n }\n}";
        EXPECT_TRUE(Run(holder, text.c_str()));
        EXPECT_EQ(c.insideMode, holder.compiler->insideMode) << c.head;
    }
    TakeMessages();
}

TEST_F(Compile, HolderOwnsItsCompilerAndSource)
{
    FormulaHolder holder(FK_COLORING);
    EXPECT_EQ(FK_COLORING, holder.compiler->kind);
    EXPECT_EQ(0, holder.compiler->insideColoring);
    holder.SetSource("C {\n}");
    EXPECT_STREQ("C {\n}", holder.GetSource());
    holder.SetSource(nullptr);
    EXPECT_EQ(nullptr, holder.GetSource());
    holder.compiler->setKind2(FK_COLORING, 1);
    EXPECT_EQ(1, holder.compiler->insideColoring);
    holder.compiler->setKind(FK_ITERATION);
    EXPECT_EQ(0, holder.compiler->insideColoring);
}

}  // namespace

namespace {

DWORD g_RaisedCode;

// Raises an exception from inside a compile: the editor selection hook is
// called while a syntax error is reported for a formula with a node.
void RaiseInsideCompile(int, int, int, bool)
{
    RaiseException(g_RaisedCode, 0, 0, nullptr);
}

TEST_F(Compile, ExceptionsInsideACompile)
{
    FormulaNode node(FK_ITERATION, FNK_FORMULA);
    FormulaHolder holder(FK_ITERATION);
    auto compile = [&] {
        return holder.compiler->compile("Bad1 {\n complex a\n}", 0, -128, nullptr, nullptr, nullptr, "Bad1",
                                        SK_PLANE, &node, false, false);
    };
    g_FormulaEditorSelectRange = &RaiseInsideCompile;

    // A software exception is reported naming the formula; the compile fails.
    {
        ScriptedBoxes boxes;
        g_RaisedCode = 0x20000001;
        EXPECT_FALSE(compile());
        auto shown = boxes.Shown();
        ASSERT_EQ(1u, shown.size());
        EXPECT_EQ("Exception", shown[0].title);
        EXPECT_EQ(0, shown[0].text.find("Serious software failure")) << shown[0].text;
        EXPECT_NE(std::string::npos, shown[0].text.find("compile(): Tried to compile the formula \"Bad1\""));
    }
    // The stop request of a calculation thread fails it silently.
    {
        ScriptedBoxes boxes;
        g_RaisedCode = EXCEPTION_STOP_THREAD;
        EXPECT_FALSE(compile());
        EXPECT_EQ(0u, boxes.Count());
    }
    // A hardware fault is not the compile's to handle: it reaches the
    // handler outside.
    {
        ScriptedBoxes boxes;
        g_RaisedCode = EXCEPTION_ACCESS_VIOLATION;
        bool returned = false;
        DWORD outer = Guarded([&] {
            compile();
            returned = true;
        });
        EXPECT_EQ((DWORD)EXCEPTION_ACCESS_VIOLATION, outer);
        EXPECT_FALSE(returned);
        EXPECT_EQ(0u, boxes.Count());
    }
    g_FormulaEditorSelectRange = nullptr;
    TakeMessages();

    // The compiler that an exception left is whole again for the next compile.
    holder.compiler->setKind(FK_LIBRARY);
    EXPECT_TRUE(holder.compiler->compile("L {\n}", 0, -128, nullptr, nullptr, nullptr, "L", SK_PLANE, nullptr,
                                         false, false));
    EXPECT_EQ("", Joined(TakeMessages()));
}

}  // namespace
