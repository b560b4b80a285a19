// The L-system records and their rule editing. Texts are heap copies owned
// by their record; every change of a formula that may be calculated takes
// g_LSystemFormulasLock so the calculation's copy is always whole.
#include "fractals/lsystem/LSystemFormula.h"

#include <stdlib.h>
#include <string.h>

#include "files/entry/EntryTokens.h"
#include "foundation/Thread.h"

BusyLock g_LSystemFormulasLock;

namespace {

char* CopyText(const char* text)
{
    if (!text)
        return nullptr;
    size_t n = strlen(text);
    char* copy = (char*)malloc(n + 1);
    if (copy)
        memcpy(copy, text, n + 1);
    return copy;
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Joins later rules of the same symbol into the first one; the caller
// holds the lock or owns the formula alone.
void MergeRulesUnlocked(NodeList& rules)
{
    for (ListNode* n = rules.GetHead(); n; n = n->next) {
        LSystemRule* first = static_cast<LSystemRule*>(n);
        ListNode* m = n->next;
        while (m) {
            ListNode* following = m->next;
            LSystemRule* later = static_cast<LSystemRule*>(m);
            if (later->symbol == first->symbol) {
                size_t a = first->replacement ? strlen(first->replacement) : 0;
                size_t b = later->replacement ? strlen(later->replacement) : 0;
                char* joined = (char*)malloc(a + b + 1);
                if (joined) {
                    if (a)
                        memcpy(joined, first->replacement, a);
                    if (b)
                        memcpy(joined + a, later->replacement, b);
                    joined[a + b] = 0;
                    free(first->replacement);
                    first->replacement = joined;
                }
                rules.Remove(later);
                delete later;
            }
            m = following;
        }
    }
}

}  // namespace

LSystemRule::LSystemRule() : symbol(0), replacement(nullptr) {}

LSystemRule::~LSystemRule()
{
    free(replacement);
}

void LSystemRule::SetReplacement(const char* text)
{
    char* copy = CopyText(text);
    free(replacement);
    replacement = copy;
}

LSystemFormula::LSystemFormula(const char* name) : secondText(nullptr), axiom(nullptr), angleDivisor(8.0)
{
    SetName(name);
}

LSystemFormula::~LSystemFormula()
{
    rules.DeleteAllNodes();
    free(axiom);
    free(secondText);
}

void LSystemFormula::SetAxiom(const char* text)
{
    char* copy = CopyText(text);
    g_LSystemFormulasLock.Lock();
    free(axiom);
    axiom = copy;
    g_LSystemFormulasLock.Unlock();
}

LSystemRule* LSystemFormula::AddRule(char symbol, const char* replacement)
{
    LSystemRule* rule = new LSystemRule();
    rule->symbol = symbol;
    rule->replacement = CopyText(replacement);
    rules.Append(rule);
    return rule;
}

LSystemRule* LSystemFormula::FindRule(char symbol) const
{
    for (ListNode* n = rules.GetHead(); n; n = n->next)
        if (static_cast<LSystemRule*>(n)->symbol == symbol)
            return static_cast<LSystemRule*>(n);
    return nullptr;
}

void LSystemFormula::SetRules(const char* text)
{
    g_LSystemFormulasLock.Lock();
    ListNode* reuse = rules.GetHead();
    char token[TOKEN_CAPACITY];
    int position = 0;
    while (text && (position = NextToken(text, token, position)) >= 0) {
        if (!IsLetter(token[0]) || token[1] != '=')
            continue;
        if (reuse) {
            LSystemRule* rule = static_cast<LSystemRule*>(reuse);
            rule->symbol = token[0];
            rule->SetReplacement(token + 2);
            reuse = reuse->next;
        } else {
            AddRule(token[0], token + 2);
        }
    }
    while (reuse) {
        ListNode* following = reuse->next;
        rules.Remove(reuse);
        delete reuse;
        reuse = following;
    }
    MergeRulesUnlocked(rules);
    g_LSystemFormulasLock.Unlock();
}

void LSystemFormula::MergeRules()
{
    g_LSystemFormulasLock.Lock();
    MergeRulesUnlocked(rules);
    g_LSystemFormulasLock.Unlock();
}
