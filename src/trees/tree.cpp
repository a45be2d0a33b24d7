#include "trees/tree.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>

namespace lorvane {

int Tree::add(int parent) {
  nodes.emplace_back();
  const int v = static_cast<int>(nodes.size()) - 1;
  nodes.back().parent = parent;
  if (parent >= 0) nodes[static_cast<std::size_t>(parent)].children.push_back(v);
  return v;
}

std::size_t SplitHash::operator()(SplitView s) const noexcept {
  std::uint64_t h = 0x9e3779b97f4a7c15ull;
  for (std::uint64_t w : s) {
    h ^= w + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    h *= 0xff51afd7ed558ccdull;
  }
  return static_cast<std::size_t>(h ^ (h >> 33));
}

namespace {

// Nodes with every child before its parent.
std::vector<int> postorder(const Tree& t) {
  std::vector<int> order, stack{t.root};
  order.reserve(t.nodes.size());
  while (!stack.empty()) {
    const int v = stack.back();
    stack.pop_back();
    order.push_back(v);
    for (int c : t.nodes[static_cast<std::size_t>(v)].children) stack.push_back(c);
  }
  std::reverse(order.begin(), order.end());
  return order;
}

bool subset(const Split& a, const Split& b) {
  for (std::size_t k = 0; k < a.size(); ++k)
    if (a[k] & ~b[k]) return false;
  return true;
}
bool disjoint(const Split& a, const Split& b) {
  for (std::size_t k = 0; k < a.size(); ++k)
    if (a[k] & b[k]) return false;
  return true;
}
int popcount(const Split& s) {
  int c = 0;
  for (std::uint64_t w : s) c += __builtin_popcountll(w);
  return c;
}

}  // namespace

void edgesplits(const Tree& t, EdgeSplits& out) {
  const int n = t.leaves();
  const std::size_t words = (static_cast<std::size_t>(n) + 63) / 64;
  // The leaves under each node, as bits and counted, in storage each
  // thread keeps from one tree to the next.
  thread_local std::vector<std::uint64_t> under;
  thread_local std::vector<int> leaves;
  under.assign(t.nodes.size() * words, 0);
  leaves.assign(t.nodes.size(), 0);
  for (int v : postorder(t)) {
    std::uint64_t* s = under.data() + static_cast<std::size_t>(v) * words;
    int& count = leaves[static_cast<std::size_t>(v)];
    if (v < n) s[static_cast<std::size_t>(v) / 64] |= std::uint64_t{1} << (v % 64), count = 1;
    for (int c : t.nodes[static_cast<std::size_t>(v)].children) {
      const std::uint64_t* cs = under.data() + static_cast<std::size_t>(c) * words;
      for (std::size_t k = 0; k < words; ++k) s[k] |= cs[k];
      count += leaves[static_cast<std::size_t>(c)];
    }
  }
  out.words = words;
  out.bits.clear();
  out.nodes.clear();
  for (int v = n; v < static_cast<int>(t.nodes.size()); ++v) {
    if (t.nodes[static_cast<std::size_t>(v)].parent < 0) continue;  // the root
    const std::uint64_t* s = under.data() + static_cast<std::size_t>(v) * words;
    int count = leaves[static_cast<std::size_t>(v)];
    // An unrooted tree's split is the side without leaf 0.
    const bool flip = !t.rooted && (s[0] & 1);
    if (flip) count = n - count;
    // An edge whose side holds one leaf (or all but one) splits nothing.
    if (count <= 1 || count >= n - (t.rooted ? 0 : 1)) continue;
    out.nodes.push_back(v);
    for (std::size_t k = 0; k < words; ++k) out.bits.push_back(flip ? ~s[k] : s[k]);
    if (flip && n % 64) out.bits.back() &= (std::uint64_t{1} << (n % 64)) - 1;
  }
}

SupportCounter::SupportCounter(const Tree& reference) : counts_(reference.nodes.size(), 0) {
  EdgeSplits s;
  edgesplits(reference, s);
  for (std::size_t k = 0; k < s.size(); ++k) edges_.emplace(Split(s[k].begin(), s[k].end()), s.nodes[k]);
}

void SupportCounter::add(const Tree& replicate) {
  EdgeSplits s;
  edgesplits(replicate, s);
  add(s);
}

void SupportCounter::add(const EdgeSplits& replicate) {
  ++trees_;
  for (std::size_t k = 0; k < replicate.size(); ++k) {
    auto it = edges_.find(replicate[k]);
    if (it != edges_.end()) ++counts_[static_cast<std::size_t>(it->second)];
  }
}

void SupportCounter::label(Tree& reference) const {
  if (trees_ == 0) return;
  for (const auto& [split, v] : edges_)
    reference.nodes[static_cast<std::size_t>(v)].support = 100.0 * counts_[static_cast<std::size_t>(v)] / trees_;
}

void SupportCounter::add(const std::vector<SplitTally>& tallies, int trees) {
  for (const SplitTally& t : tallies)
    if (auto it = edges_.find(t.split); it != edges_.end()) counts_[static_cast<std::size_t>(it->second)] += t.count;
  trees_ += trees;
}

std::vector<Consensus::Tally> Consensus::tallies() const {
  std::vector<std::pair<long long, Tally>> order;
  order.reserve(seen_.size());
  for (const auto& [s, e] : seen_) order.push_back({e.first, Tally{s, e.count}});
  std::sort(order.begin(), order.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<Tally> out;
  out.reserve(order.size());
  for (auto& [first, tally] : order) out.push_back(std::move(tally));
  return out;
}

void Consensus::add(const Tree& like, const std::vector<Tally>& tallies, int trees) {
  if (trees <= 0) return;
  if (trees_ == 0) {
    names_ = like.names;
    rooted_ = like.rooted;
  }
  trees_ += trees;
  for (const Tally& t : tallies) {
    auto [it, fresh] = seen_.try_emplace(t.split);
    if (fresh) it->second.first = order_++;
    it->second.count += t.count;
  }
}

void Consensus::add(const Tree& replicate) {
  EdgeSplits s;
  edgesplits(replicate, s);
  add(replicate.names, replicate.rooted, s);
}

void Consensus::add(const std::vector<std::string>& names, bool rooted, const EdgeSplits& edges) {
  if (trees_ == 0) {
    names_ = names;
    rooted_ = rooted;
  }
  ++trees_;
  for (std::size_t k = 0; k < edges.size(); ++k) {
    auto it = seen_.find(edges[k]);
    if (it == seen_.end()) it = seen_.emplace(Split(edges[k].begin(), edges[k].end()), Entry{0, order_++}).first;
    ++it->second.count;
  }
}

Tree Consensus::build() const {
  const int n = static_cast<int>(names_.size());
  std::vector<std::pair<const Split*, Entry>> order;
  order.reserve(seen_.size());
  for (const auto& [s, e] : seen_) order.emplace_back(&s, e);
  std::sort(order.begin(), order.end(), [](const auto& x, const auto& y) {
    return x.second.count != y.second.count ? x.second.count > y.second.count : x.second.first < y.second.first;
  });
  // Two splits (sides without leaf 0, or clades) are compatible when one
  // holds the other or they share no leaf.
  const int most = rooted_ ? n - 2 : n - 3;  // the edges of a resolved tree
  std::vector<std::pair<const Split*, int>> taken;
  for (const auto& [s, e] : order) {
    if (static_cast<int>(taken.size()) >= most) break;
    bool fits = true;
    for (const auto& [t, c] : taken)
      if (!(disjoint(*s, *t) || subset(*s, *t) || subset(*t, *s))) {
        fits = false;
        break;
      }
    if (fits) taken.emplace_back(s, e.count);
  }
  // Larger sets first, each under the smallest set taken so far that holds it.
  std::stable_sort(taken.begin(), taken.end(),
                   [](const auto& x, const auto& y) { return popcount(*x.first) > popcount(*y.first); });
  Tree t;
  t.names = names_;
  t.rooted = rooted_;
  for (int i = 0; i < n; ++i) t.add(-1);
  t.root = t.add(-1);
  std::vector<int> holder(static_cast<std::size_t>(n), t.root);
  for (const auto& [s, c] : taken) {
    int first = -1;
    for (int i = 0; i < n && first < 0; ++i)
      if (((*s)[static_cast<std::size_t>(i) / 64] >> (i % 64)) & 1) first = i;
    const int v = t.add(holder[static_cast<std::size_t>(first)]);
    t.nodes[static_cast<std::size_t>(v)].support = trees_ > 0 ? 100.0 * c / trees_ : 0;
    for (int i = 0; i < n; ++i)
      if (((*s)[static_cast<std::size_t>(i) / 64] >> (i % 64)) & 1) holder[static_cast<std::size_t>(i)] = v;
  }
  for (int i = 0; i < n; ++i) {
    auto& leaf = t.nodes[static_cast<std::size_t>(i)];
    leaf.parent = holder[static_cast<std::size_t>(i)];
    t.nodes[static_cast<std::size_t>(leaf.parent)].children.push_back(i);
  }
  return t;
}

std::string percenttext(double percent) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", percent);
  std::string s = text;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

std::string newickname(const std::string& name) {
  std::string s = name;
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  // Bare: letters, digits, '.', '-' and bytes of UTF-8 characters. Readers
  // turn a bare '_' into a blank, and the other punctuation has meanings.
  auto bare = [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           u >= 0x80;
  };
  if (std::all_of(s.begin(), s.end(), bare)) return s;
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("''") : std::string(1, c);
  return q + "'";
}

std::string newick(const Tree& t, bool lengths) {
  constexpr int kComma = std::numeric_limits<int>::min();
  std::string out;
  char number[40];
  // Children of a node are written in their order; the stack holds nodes
  // to open (>= 0) and nodes to close (~v).
  std::vector<int> stack{t.root};
  while (!stack.empty()) {
    const int item = stack.back();
    stack.pop_back();
    if (item == kComma) {
      out += ',';
      continue;
    }
    const int v = item >= 0 ? item : ~item;
    const auto& node = t.nodes[static_cast<std::size_t>(v)];
    if (item >= 0 && !node.children.empty()) {
      out += '(';
      stack.push_back(~v);
      for (std::size_t k = node.children.size(); k-- > 0;) {
        stack.push_back(node.children[k]);
        if (k > 0) stack.push_back(kComma);
      }
      continue;
    }
    if (item < 0) {
      out += ')';
      if (!std::isnan(node.support)) out += percenttext(node.support);
    } else {
      out += newickname(t.names[static_cast<std::size_t>(v)]);
    }
    if (lengths && v != t.root) {
      // As printf's %.10g, without its parsing of the format and locale.
      number[0] = ':';
      const auto done = std::to_chars(number + 1, number + sizeof number, node.length, std::chars_format::general, 10);
      out.append(number, done.ptr);
    }
  }
  out += ";\n";
  return out;
}

}  // namespace lorvane
