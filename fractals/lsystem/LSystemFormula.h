// The L-system records: a named formula (axiom, angle divisor, production
// rules) in the global list g_LSystemFormulas, and the rule editing the
// formula window and the file reader share (SetRules, MergeRules).
#pragma once
#include <stdint.h>
#include "foundation/List.h"

class BusyLock;

// Guards the texts and rules of every formula in g_LSystemFormulas: the
// editing operations below take it, and the calculation copies a formula
// under it, so a rule replaced on the main thread is never read half freed.
extern BusyLock g_LSystemFormulasLock;

// One production rule: a symbol and the text that replaces it.
class LSystemRule : public ListNode {
public:
    LSystemRule();                 // symbol 0, no replacement
    virtual ~LSystemRule();        // frees the replacement

    // Replaces the replacement with a heap copy of text (null clears it).
    void SetReplacement(const char* text);

    char symbol;
    char* replacement;
};

class LSystemFormula : public ListNode {
public:
    // Named (cut to 63 characters), no axiom, divisor 8, no rules.
    explicit LSystemFormula(const char* name);
    virtual ~LSystemFormula();     // frees the texts and deletes the rules

    // Replaces the axiom with a heap copy of text (null clears it).
    void SetAxiom(const char* text);
    // Replaces the rules from the rule editor's text: blank-separated
    // tokens "X=text" whose first character is a letter; existing rules are
    // reused in order, new ones appended, left-overs deleted; then merged.
    void SetRules(const char* text);
    // Joins every later rule with the same symbol into the first one.
    void MergeRules();
    // Appends a rule with the symbol and a copy of the replacement (for
    // readers building a formula that no other thread sees yet).
    LSystemRule* AddRule(char symbol, const char* replacement);
    // The first rule for the symbol, null when there is none.
    LSystemRule* FindRule(char symbol) const;

    char* secondText;      // unused by the calculation, released with the formula
    char* axiom;           // null when there is none
    double angleDivisor;   // the turn step is 360 / angleDivisor degrees
    NodeList rules;        // LSystemRule nodes in order, owned
};
