// Walker base class for the syntax tree: visits a node and its children depth first, with an
// explicit stack, so that the long left-leaning chains a source like a + a + ... + a produces
// cannot exhaust the machine stack. Derived walkers override Enter and Leave.
#pragma once

#include <cstdint>

#include "shadertool/SyntaxTree.h"

namespace ShaderTool {

class TreeWalker {
public:
    virtual ~TreeWalker() {}

    // Walks node and everything below it. Null nodes are skipped.
    void Walk(Node* node);

    // The child slots of a node in source order: a block's statements, a function's parameter
    // block and body, a call's argument block, a loop's init, condition, step and body, a jump's
    // operand, an operation's left and right operands, an if's condition, then and else branch.
    // ChildAt may give null for an empty slot (a loop without init, a unary operation).
    static int32_t ChildCount(const Node* node);
    static Node* ChildAt(Node* node, int32_t index);

protected:
    // Called before a node's children, with its depth below the walked node. Returning false
    // skips the children (and the Leave call).
    virtual bool Enter(Node* node, int32_t depth) = 0;
    virtual void Leave(Node* node, int32_t depth) {
        (void)node;
        (void)depth;
    }
};

}  // namespace ShaderTool
