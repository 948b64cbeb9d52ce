// Text form of a syntax tree for the corpus tests: one line per node, indented by depth, with
// the node's kind, what it names and its type.
#pragma once

#include <string>

#include "shadertool/SyntaxTree.h"

namespace ShaderToolTest {

std::string DescribeType(const ShaderTool::Type& type);
std::string DumpTree(ShaderTool::Node* root);

}  // namespace ShaderToolTest
