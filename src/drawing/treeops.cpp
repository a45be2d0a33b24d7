// The tree operations of the viewer: tip order, re-rooting, collapsing.
#include <algorithm>
#include <cmath>

#include "drawing/scene.h"

namespace lorvane::drawing {

namespace {

Tree::Node& at(Tree& t, int v) { return t.nodes[static_cast<std::size_t>(v)]; }

// Removes node `dead` (no parent, no children) by moving the last node into
// its place.
void removenode(Tree& t, int dead) {
  const int last = static_cast<int>(t.nodes.size()) - 1;
  if (dead != last) {
    at(t, dead) = std::move(at(t, last));
    Tree::Node& moved = at(t, dead);
    if (moved.parent >= 0)
      for (int& c : at(t, moved.parent).children)
        if (c == last) c = dead;
    for (int c : moved.children) at(t, c).parent = dead;
    if (t.root == last) t.root = dead;
  }
  t.nodes.pop_back();
}

}  // namespace

std::vector<int> tiporder(const Tree& t) {
  std::vector<int> out, stack{t.root};
  while (!stack.empty()) {
    const int v = stack.back();
    stack.pop_back();
    const auto& children = t.nodes[static_cast<std::size_t>(v)].children;
    if (children.empty() && v < t.leaves()) out.push_back(v);
    for (auto c = children.rbegin(); c != children.rend(); ++c) stack.push_back(*c);
  }
  return out;
}

Tree reroot(const Tree& source, int node) {
  Tree t = source;
  if (node < 0 || node >= static_cast<int>(t.nodes.size()) || node == t.root) return t;
  // The path from the chosen node up to the old root: v0 = node, v1, ..., vk.
  std::vector<int> path{node};
  while (path.back() != t.root) path.push_back(at(t, path.back()).parent);
  // Edge data (length, support) of every edge on the path, by its lower node.
  std::vector<std::pair<double, double>> edge;
  for (std::size_t i = 0; i + 1 < path.size(); ++i) edge.emplace_back(at(t, path[i]).length, at(t, path[i]).support);

  const int oldroot = t.root;
  const int r = t.add(-1);
  t.root = r;
  t.rooted = true;
  const auto [len0, sup0] = edge[0];
  // The chosen edge split in two halves: the support stays on the chosen side.
  at(t, r).children = {path[0], path[1]};
  at(t, path[0]).parent = r;
  at(t, path[0]).length = len0 / 2;
  at(t, path[0]).support = sup0;
  // Each node up the path now hangs below the one it was above; the edge
  // between them (stored at the lower node before) moves with it.
  for (std::size_t i = 1; i < path.size(); ++i) {
    const int v = path[i];
    Tree::Node& n = at(t, v);
    n.parent = i == 1 ? r : path[i - 1];
    n.length = i == 1 ? len0 / 2 : edge[i - 1].first;
    n.support = i == 1 ? std::numeric_limits<double>::quiet_NaN() : edge[i - 1].second;
    auto& ch = n.children;
    const auto below = std::find(ch.begin(), ch.end(), path[i - 1]);
    if (i + 1 < path.size())
      *below = path[i + 1];
    else
      ch.erase(below);
  }
  // The old root, now with one child, joins its two edges into one.
  Tree::Node& old = at(t, oldroot);
  if (old.children.size() == 1) {
    const int c = old.children[0];
    const int up = old.parent;
    Tree::Node& child = at(t, c);
    child.parent = up;
    child.length += old.length;
    if (std::isnan(child.support)) child.support = old.support;
    std::replace(at(t, up).children.begin(), at(t, up).children.end(), oldroot, c);
    at(t, oldroot) = Tree::Node{};
    removenode(t, oldroot);
  }
  return t;
}

Tree collapse(const Tree& source, double threshold) {
  Tree t;
  t.names = source.names;
  t.rooted = source.rooted;
  const int n = source.leaves();
  for (int i = 0; i < n; ++i) t.add(-1);
  // Depth-first: (source node, new parent, length carried from collapsed edges).
  struct Step {
    int v, parent;
    double extra;
  };
  std::vector<Step> stack{{source.root, -1, 0}};
  while (!stack.empty()) {
    const Step s = stack.back();
    stack.pop_back();
    const Tree::Node& node = source.nodes[static_cast<std::size_t>(s.v)];
    int target = s.parent;
    double extra = 0;
    if (s.v < n && node.children.empty()) {
      at(t, s.v).parent = s.parent;
      at(t, s.v).length = node.length + s.extra;
      at(t, s.v).support = node.support;
      at(t, s.parent).children.push_back(s.v);
      continue;
    }
    if (s.v != source.root && !std::isnan(node.support) && node.support < threshold) {
      extra = node.length + s.extra;  // dissolved: the children move up
    } else {
      target = t.add(s.parent);
      if (s.v == source.root) t.root = target;
      at(t, target).length = node.length + s.extra;
      at(t, target).support = node.support;
    }
    for (auto c = node.children.rbegin(); c != node.children.rend(); ++c) stack.push_back({*c, target, extra});
  }
  return t;
}

}  // namespace lorvane::drawing
