// Compilation of an expression text, second half: the terms of a statement put in postfix
// order, then built into the tree that the evaluation walks; the trees' release.
#include <cstdlib>

#include "calc/calcint.h"
#include "foundation/pile.h"
#include "foundation/tree.h"

namespace {

// Number of operand subtrees a postfix term takes from the stack.
int Arity(const CalcTerm* term) {
    switch (term->kind) {
        case CALC_OPERATEUR:
            return term->op == CALC_OP_NEGATION || term->op == CALC_OP_NON ? 1 : 2;
        case CALC_FONCTION:
            return term->argCount;
        default:
            return 0;
    }
}

// Pops one postfix subtree and frees it (arguments beyond the two a function node can hold).
void DiscardSubtree(PILE* pile, int depth) {
    CalcTerm* term = static_cast<CalcTerm*>(PILE_Pop(pile));
    if (!term) return;
    if (depth < CALC_MAX_DEPTH)
        for (int i = Arity(term); i > 0; --i) DiscardSubtree(pile, depth + 1);
    FreeTerm(term);
}

void FreeTreeTerms(TREE_NODE* node) {
    if (!node) return;
    FreeTreeTerms(node->left);
    FreeTreeTerms(node->right);
    FreeTerm(static_cast<CalcTerm*>(node->userData));
}

}  // namespace

int Est_Prioritaire(const CalcTerm* top, const CalcTerm* incoming) {
    if (incoming->kind == CALC_FONCTION) return 0;
    if (top->kind != CALC_OPERATEUR || incoming->kind != CALC_OPERATEUR) return 1;
    // A prefix operator has no left operand: it never sends anything out before itself.
    if (incoming->op == CALC_OP_NEGATION || incoming->op == CALC_OP_NON) return 0;
    if (top->op == CALC_OP_NEGATION || top->op == CALC_OP_NON) return 1;
    if (top->op == incoming->op) return 1;
    if (top->op == CALC_OP_PUISSANCE) return 1;
    if ((top->op == CALC_OP_MULT || top->op == CALC_OP_DIV) && incoming->op != CALC_OP_PUISSANCE)
        return 1;
    if (top->op == CALC_OP_EGAL && (incoming->op == CALC_OP_OU || incoming->op == CALC_OP_ET))
        return 1;
    if (top->op <= 8 && incoming->op >= 9) return 1;
    return 0;
}

int Postfixer(CalcContext* ctx, CalcTermQueue* infix, CalcTermQueue* postfix) {
    PILE* stack = PILE_New();
    if (!stack) {
        ctx->status = CALC_STATUS_NO_MEMORY;
        for (CalcTerm* t : *infix) FreeTerm(t);
        infix->clear();
        return 0;
    }
    auto top = [stack] { return static_cast<CalcTerm*>(PILE_Top(stack)); };
    for (CalcTerm* term : *infix) {
        switch (term->kind) {
            case CALC_OPERANDE:
            case CALC_REFERENCE:
                postfix->push_back(term);
                break;
            case CALC_OPERATEUR:
            case CALC_FONCTION:
                while (top() && top()->kind != CALC_PARENTHESE_OUVRANTE &&
                       Est_Prioritaire(top(), term))
                    postfix->push_back(static_cast<CalcTerm*>(PILE_Pop(stack)));
                PILE_Push(stack, term);
                break;
            case CALC_PARENTHESE_OUVRANTE:
                PILE_Push(stack, term);
                break;
            case CALC_PARENTHESE_FERMANTE:
                while (top() && top()->kind != CALC_PARENTHESE_OUVRANTE)
                    postfix->push_back(static_cast<CalcTerm*>(PILE_Pop(stack)));
                FreeTerm(static_cast<CalcTerm*>(PILE_Pop(stack)));
                FreeTerm(term);
                break;
            case CALC_SEPARATEUR:
                // The argument before the separator is complete: its operators go out.
                while (top() && top()->kind != CALC_PARENTHESE_OUVRANTE)
                    postfix->push_back(static_cast<CalcTerm*>(PILE_Pop(stack)));
                FreeTerm(term);
                break;
            default:
                FreeTerm(term);
                break;
        }
    }
    infix->clear();
    while (CalcTerm* rest = static_cast<CalcTerm*>(PILE_Pop(stack))) {
        if (rest->kind == CALC_PARENTHESE_OUVRANTE)
            FreeTerm(rest);
        else
            postfix->push_back(rest);
    }
    PILE_Destroy(stack);
    return 1;
}

TREE_NODE* Arboriser(CalcContext* ctx, PILE* pile, TREE* tree, TREE_NODE* parent, int where,
                     int depth) {
    CalcTerm* term = static_cast<CalcTerm*>(PILE_Pop(pile));
    if (!term) return nullptr;
    TREE_NODE* node = TREE_AddNode(tree, parent, where, term);
    if (!node) {
        FreeTerm(term);
        ctx->status = CALC_STATUS_NO_MEMORY;
        return nullptr;
    }
    int arity = Arity(term);
    if (arity == 0) return node;
    if (depth >= CALC_MAX_DEPTH) {
        ctx->depth = CALC_MAX_DEPTH + 1;  // reported by the caller
        return node;
    }
    Arboriser(ctx, pile, tree, node, TREE_RIGHT, depth + 1);
    if (arity >= 2) Arboriser(ctx, pile, tree, node, TREE_LEFT, depth + 1);
    for (int extra = arity - 2; extra > 0; --extra) DiscardSubtree(pile, depth + 1);
    return node;
}

// Builds the tree of one statement from its infix terms (ownership taken).
bool CalcBuildStatement(CalcContext* ctx, CalcTermQueue* infix, CalcStatement* statement) {
    CalcTermQueue postfix;
    Postfixer(ctx, infix, &postfix);
    PILE* pile = PILE_New();
    statement->tree = TREE_New();
    if (!pile || !statement->tree) {
        for (CalcTerm* t : postfix) FreeTerm(t);
        PILE_Destroy(pile);
        ctx->status = CALC_STATUS_NO_MEMORY;
        return false;
    }
    for (CalcTerm* t : postfix) PILE_Push(pile, t);
    ctx->depth = 0;
    Arboriser(ctx, pile, statement->tree, nullptr, TREE_ROOT, 0);
    // Terms left over once the root is complete are not part of the tree.
    while (CalcTerm* rest = static_cast<CalcTerm*>(PILE_Pop(pile))) FreeTerm(rest);
    PILE_Destroy(pile);
    statement->value.name = statement->assignName;
    if (ctx->depth > CALC_MAX_DEPTH) {
        ctx->depth = 0;
        PostMsgF(ctx, CALC_MSG_INFO, 1, 0, "%s", ctx->text);
        PostMsgF(ctx, CALC_MSG_SYNTAX_ERROR, 1, 0,
                 "Expression trop complexe (plus de %i niveaux d'imbrication).", CALC_MAX_DEPTH);
        ctx->status = CALC_STATUS_SYNTAX_ERROR;
        return false;
    }
    return ctx->status == CALC_STATUS_OK;
}

void CalcFreeStatements(CalcContext* ctx) {
    for (int i = 0; i < ctx->statementCount; ++i) {
        CalcStatement& s = ctx->statements[i];
        if (s.tree) {
            FreeTreeTerms(s.tree->root);
            TREE_Destroy(s.tree);
        }
        free(s.assignName);
    }
    delete[] ctx->statements;
    ctx->statements = nullptr;
    ctx->statementCount = 0;
    ctx->tree = nullptr;
}
