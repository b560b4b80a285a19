#include "formulas/FormulaNode.h"

#include <stdlib.h>
#include <string.h>

PTreeView* g_FormulaTrees[FORMULA_KIND_COUNT];
volatile int g_ScanAddsTreeItems;

FormulaNode::FormulaNode(int formulaKind, int nodeKind)
    : nameText(NULL), entryText(NULL), fileText(NULL), size(0), loaded(0),
      startOffset(-1), endOffset(-1), formulaKind(formulaKind), parent(NULL)
{
    kind = nodeKind;
    key = 0.0;
    memset(&creationTime, 0, sizeof(creationTime));
    memset(&lastWriteTime, 0, sizeof(lastWriteTime));
}

FormulaNode::~FormulaNode()
{
    free(nameText);
    free(entryText);
    free(fileText);
}
