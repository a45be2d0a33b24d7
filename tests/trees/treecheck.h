#pragma once
// Newick trees compared by their splits: the trees' edges as the sets of
// leaves below them, with their lengths and labels.
#include <map>
#include <set>
#include <string>
#include <utility>

namespace lorvane::test {

// The folder of the trees' test data.
extern const std::string kTreeData;

// A Newick tree as its edges: the leaves on the side away from the root
// (for an unrooted tree, the side without `first`), with length and label.
struct Edges {
  std::map<std::set<std::string>, std::pair<double, std::string>> edges;
  std::set<std::string> leaves;
};
Edges edgesof(const std::string& newicktext, bool rooted, const std::string& first);
// The same leaves and splits, lengths within `tolerance`, the same labels.
void expectsame(const std::string& ours, const std::string& golden, bool rooted, const std::string& first,
                double tolerance, const std::string& what);

}  // namespace lorvane::test
