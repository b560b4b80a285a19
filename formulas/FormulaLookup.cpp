#include "formulas/FormulaLookup.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "foundation/Messages.h"
#include "foundation/Services.h"
#include "compiler/FormulaCompiler.h"
#include "compiler/CompileHost.h"
#include "formulas/FormulaNode.h"

namespace {

const char kQz001[] =
    "qz_001\n{\n\n\tvoid init(void)\n\t{\n\t\tz=0;\n\t}\n\tvoid loop(void)\n\t{\n\t\tz=z*z+pixel;\n\t}\n"
    "\tbool bailout(void)\n\t{\n\t\treturn(|z|<16);\n\t}\n\tvoid description(void)\n\t{\n"
    "\t\tthis.title=\"Formula Not Found\";\n\t}\n}";
const char kQz002[] =
    "qz_002\n{\n\tvoid final(void)\n\t{\n\t\tindex=numiter/256;\n\t}\n\tvoid description(void)\n\t{\n"
    "\t\tthis.title = \"Avg Coloring\";\n\t}\n}";
const char kQz003[] =
    "qz_003 {\n\n\tvoid transform(void)\n\t{\n\t\tpixel=pixel;\n\t}\n\tvoid description(void)\n\t{\n"
    "\t\tthis.title=\"Transformation Not Found\";\n\t}\n}";
const char kQz004[] =
    "qz_004(QUATERNION)\n{parameter real Bailout;\nparameter quaternion c;\n\n\tvoid init(void)\n\t{\n"
    "\t\tz=c;\n\t}\n\tvoid loop(void)\n\t{\n\t\tz=z*z+pixel;\n\t}\n\tbool bailout(void)\n\t{\n"
    "\t\treturn(|z|<=Bailout);\n\t}\n\tvoid description(void)\n\t{\n\t\tthis.title=\"Formula Not Found\";\n"
    "\t\tc.default=(0.3,0.2,0.3,-0.4);\n\t\tBailout.default=16;\n\t\tthis.maxiter=9;\n\t}\n}";
const char kQz005[] =
    "qz_005(QUATERNION)\n{\n\tvoid final(void)\n\t{\n\t\tindex=abs(sin((real(pixel))+cos(imag(pixel))));\n"
    "\t}\n\tvoid description(void)\n\t{\n\t\tthis.title = \"Avg Coloring\";\n\t}\n}";
const char kQz006[] =
    "qz_006(QUATERNION) {\n\n\tvoid transform(void)\n\t{\n\t\tpixel=pixel;\n\t}\n\tvoid description(void)\n"
    "\t{\n\t\tthis.title=\"Transformation Not Found\";\n\t}\n}";
const char kAttractorDefault[] =
    "Attractor_Default(ATTRACTOR)\n{\n\tvoid loop(void)\n\t{\n\t\tindex=partx(abs(z))/3;\n\t}\n"
    "\tvoid description(void)\n\t{\n\t\tthis.title = \"Attractor Def Coloring\";\n"
    "\t\tthis.helpfile = \"Spiralix.chm\";\n\t\tthis.helptopic = \"Coloring Formula\";\n\t}\n}";
const char kUnitCube[] =
    "unitcube(ATTRACTOR)\n{\nreal h,v,n;\nreal posX,posY,posZ;\n\n\tvoid loop(void)\n\t{\n"
    "\t\th=random.real();\n\t\tv=random.real();\n\t\tn=random.real();\n\t\tn=n*6;\n"
    "\t\tif (n<1) {\n\t\t\tposX=-1;\n\t\t\tposY=h*2-1;\n\t\t\tposZ=v*2-1;\n"
    "\t\t} else if (n<2) {\n\t\t\tposX=1;\n\t\t\tposY=h*2-1;\n\t\t\tposZ=v*2-1;\n"
    "\t\t} else if (n<3) {\n\t\t\tposY=-1;\n\t\t\tposX=h*2-1;\n\t\t\tposZ=v*2-1;\n"
    "\t\t} else if (n<4) {\n\t\t\tposY=1;\n\t\t\tposX=h*2-1;\n\t\t\tposZ=v*2-1;\n"
    "\t\t} else if (n<5) {\n\t\t\tposZ=-1;\n\t\t\tposX=h*2-1;\n\t\t\tposY=v*2-1;\n"
    "\t\t} else {\n\t\t\tposZ=1;\n\t\t\tposX=h*2-1;\n\t\t\tposY=v*2-1;\n\t\t}\n"
    "\t\tz=vector(posX,posY,posZ);\n\t}\n\tvoid description(void)\n\t{\n\t\tthis.title=\"Unit Cube\";\n"
    "\t\tthis.helpfile = \"Spiralix.chm\";\n\t\tthis.helptopic = \"Iteration Formula\";\n\t}\n}";

// Length of a file name without a three-letter extension.
size_t BaseLength(const char* name)
{
    size_t n = strlen(name);
    return n >= 4 && name[n - 4] == '.' ? n - 4 : n;
}

bool SameFileName(const char* a, const char* b)
{
    size_t na = BaseLength(a), nb = BaseLength(b);
    return na == nb && _strnicmp(a, b, na) == 0;
}

// The fractal as the lookup messages name it.
std::string FractalClause(const CompileHost* fractal, const char* layerFormat, const char* fractalFormat,
                          const char* noFractal)
{
    char text[400];
    if (fractal == NULL)
        return noFractal;
    if (fractal->HostBaseName() != NULL)
        snprintf(text, sizeof(text), layerFormat, fractal->HostName(), fractal->HostBaseName());
    else
        snprintf(text, sizeof(text), fractalFormat, fractal->HostName());
    return text;
}

void AddTwoLines(const std::string& first, const std::string& second, int type)
{
    const char* lines[3] = {first.c_str(), second.c_str(), NULL};
    AddMessage(lines, type, 0, 0, 0, 0, 0, 0, true);
    RaiseMessageWindow();
}

}  // namespace

const char* DefaultFormulaText(int fractalType, int formulaKind)
{
    switch (fractalType) {
    case FT_ESCAPETIME:
        return formulaKind == FK_ITERATION ? kQz001
               : formulaKind == FK_COLORING ? kQz002
               : formulaKind == FK_TRANSFORMATION ? kQz003
                                                  : NULL;
    case FT_QUATERNION:
        return formulaKind == FK_ITERATION ? kQz004
               : formulaKind == FK_COLORING ? kQz005
               : formulaKind == FK_TRANSFORMATION ? kQz006
                                                  : NULL;
    case FT_ATTRACTOR:
        return formulaKind == FK_ITERATION ? kUnitCube : formulaKind == FK_COLORING ? kAttractorDefault : NULL;
    default:
        return NULL;
    }
}

FormulaNode* FindFormulaInFile(NodeList* list, const char* fileName, int n, int* counter)
{
    if (list == NULL || counter == NULL)
        return NULL;
    if (fileName == NULL)
        fileName = "";
    for (ListNode* l = list->GetHead(); l != NULL; l = l->next) {
        FormulaNode* node = static_cast<FormulaNode*>(l);
        if (node->kind == FNK_FILE) {
            bool match = fileName[0] == 0 || SameFileName(node->name, fileName) ||
                         (node->nameText != NULL && SameFileName(node->nameText, fileName));
            if (match) {
                if (*counter == n)
                    return node;
                (*counter)++;
            }
        } else if (node->kind == FNK_FOLDER) {
            if (FormulaNode* found = FindFormulaInFile(&node->children, fileName, n, counter))
                return found;
        }
    }
    return NULL;
}

FormulaNode* FindFormulaInFiles(NodeList* list, const char* formulaName, const char* folderName, int* count)
{
    if (list == NULL || count == NULL)
        return NULL;
    FormulaNode* result = NULL;
    bool inOrgform = folderName != NULL && _stricmp(folderName, "orgform") == 0;
    for (ListNode* l = list->GetHead(); l != NULL; l = l->next) {
        FormulaNode* node = static_cast<FormulaNode*>(l);
        if (node->kind == FNK_FILE) {
            if (!inOrgform)
                continue;
            char* text = node->FindEntryText(formulaName, NULL);
            if (text != NULL) {
                free(text);
                (*count)++;
                if (result == NULL)
                    result = node;
            }
        } else if (node->kind == FNK_FOLDER) {
            FormulaNode* found = FindFormulaInFiles(&node->children, formulaName, node->name, count);
            if (result == NULL)
                result = found;
        }
    }
    return result;
}

void LookupFormula(CompileHost* fractal, int fractalType, char* fileName, size_t fileNameSize,
                   const char* formulaName, char* foundName, FormulaHolder* holder)
{
    if (holder == NULL)
        return;
    // 1. The formula name counts up to its first "(".
    holder->SetSource(NULL);
    std::string name = formulaName != NULL ? formulaName : "";
    size_t paren = name.find('(');
    if (paren != std::string::npos)
        name.erase(paren);

    // 2. Default and tree.
    int kind = holder->compiler != NULL ? holder->compiler->kind : FK_ITERATION;
    const char* defaultText = DefaultFormulaText(fractalType, kind);
    NodeList* root = defaultText != NULL ? FormulaRoot(kind) : NULL;

    // 3.
    char found[ListNode::NODE_NAME_SIZE] = "";
    char title[ListNode::NODE_NAME_SIZE] = "";
    char* source = NULL;
    std::string file = fileName != NULL ? fileName : "";

    if (file.empty()) {
        // 4. Without a file name: the known-formula table, or a search of
        // the "orgform" folders.
        FormulaNode* fileNode = NULL;
        int count = 0;
        int known = Services().findKnownFormula != NULL ? Services().findKnownFormula(name.c_str()) : -1;
        if (known < 0) {
            fileNode = FindFormulaInFiles(root, name.c_str(), NULL, &count);
            if (fileNode != NULL) {
                CopyCut(fileName, fileNameSize, fileNode->name);
                if (Services().addKnownFormula != NULL)
                    Services().addKnownFormula(name.c_str(), fileNode->name, count);
            }
        } else {
            int counter = 0;
            fileNode = FindFormulaInFile(root, Services().knownFormulaFile(known), 0, &counter);
            CopyCut(found, sizeof(found), name.c_str());
            count = Services().knownFormulaCount(known);
        }
        if (fileNode != NULL && count >= 1) {
            source = fileNode->FindEntryText(name.c_str(), title);
            if (title[0] != 0)
                CopyCut(found, sizeof(found), title);
            if (count > 1) {
                char first[300];
                snprintf(first, sizeof(first),
                         "Warning: Formula %s has been found in more than one file. Using first file.",
                         name.c_str());
                AddTwoLines(first,
                            FractalClause(fractal, "Layer \"%s\" in fractal \"%s\" might not be correct.",
                                          "Fractal \"%s\" might not be correct.",
                                          "Fractal might not be correct."),
                            MSG_WARNING);
            }
        }
    } else {
        // 5. With a file name: every file of that name in tree order until
        // one holds the entry.
        for (int n = 0;; n++) {
            int counter = 0;
            FormulaNode* fileNode = FindFormulaInFile(root, file.c_str(), n, &counter);
            if (fileNode == NULL)
                break;
            CopyCut(found, sizeof(found), name.c_str());
            source = fileNode->FindEntryText(name.c_str(), title);
            if (source != NULL) {
                if (title[0] != 0)
                    CopyCut(found, sizeof(found), title);
                break;
            }
        }
    }

    // 6.
    if (foundName != NULL)
        CopyCut(foundName, ListNode::NODE_NAME_SIZE, found);

    // 7. The default formula.
    if (source == NULL) {
        if (!name.empty()) {
            char first[400];
            snprintf(first, sizeof(first), "Error: Unable to find formula %s (in %s)", name.c_str(),
                     file.c_str());
            AddTwoLines(first,
                        FractalClause(fractal,
                                      "Layer \"%s\" in fractal \"%s\" cannot be calculated. Using default "
                                      "formula instead",
                                      "Fractal \"%s\" cannot be calculated. Using default formula instead",
                                      "Fractal cannot be calculated. Using default formula instead"),
                        MSG_ERROR);
        }
        holder->SetSource(defaultText != NULL ? defaultText : "");
        if (foundName != NULL) {
            char notFound[200];
            snprintf(notFound, sizeof(notFound), "Not Found: %s", found);
            CopyCut(foundName, ListNode::NODE_NAME_SIZE, notFound);
        }
    } else {
        holder->SetSource(source);
        free(source);
    }

    // 8.
    holder->word = 0;
}
