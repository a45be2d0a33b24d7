#include "treecheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace lorvane::test {

const std::string kTreeData = std::string(LORVANE_TEST_DATA) + "/trees/";

namespace {

class NewickParser {
 public:
  NewickParser(const std::string& text, Edges& out) : s_(text), out_(out) {}
  std::set<std::string> subtree() {
    std::set<std::string> under;
    if (s_[at_] == '(') {
      do {
        ++at_;
        auto c = subtree();
        under.insert(c.begin(), c.end());
      } while (s_[at_] == ',');
      ++at_;  // ')'
      label_ = name();
    } else {
      const std::string leaf = name();
      under.insert(leaf);
      out_.leaves.insert(leaf);
    }
    double length = NAN;
    if (s_[at_] == ':') {
      ++at_;
      std::size_t used = 0;
      length = std::stod(s_.substr(at_), &used);
      at_ += used;
    }
    if (s_[at_] != ';') out_.edges[under] = {length, under.size() > 1 ? label_ : ""};
    return under;
  }

 private:
  std::string name() {
    std::string n;
    if (s_[at_] == '\'') {
      for (++at_; !(s_[at_] == '\'' && s_[at_ + 1] != '\''); ++at_) {
        n += s_[at_];
        if (s_[at_] == '\'') ++at_;
      }
      ++at_;
      return n;
    }
    while (std::string(":,();").find(s_[at_]) == std::string::npos) n += s_[at_++];
    return n;
  }
  const std::string& s_;
  Edges& out_;
  std::size_t at_ = 0;
  std::string label_;
};

}  // namespace

Edges edgesof(const std::string& newicktext, bool rooted, const std::string& first) {
  Edges e;
  NewickParser(newicktext, e).subtree();
  if (rooted) return e;
  Edges u;
  u.leaves = e.leaves;
  for (auto& [side, value] : e.edges) {
    std::set<std::string> s = side;
    if (s.count(first)) {
      s.clear();
      std::set_difference(e.leaves.begin(), e.leaves.end(), side.begin(), side.end(), std::inserter(s, s.end()));
    }
    u.edges[s] = value;
  }
  return u;
}

void expectsame(const std::string& ours, const std::string& golden, bool rooted, const std::string& first,
                double tolerance, const std::string& what) {
  const Edges a = edgesof(ours, rooted, first), b = edgesof(golden, rooted, first);
  ASSERT_EQ(a.leaves, b.leaves) << what;
  ASSERT_EQ(a.edges.size(), b.edges.size()) << what;
  for (const auto& [side, value] : b.edges) {
    auto it = a.edges.find(side);
    ASSERT_NE(it, a.edges.end()) << what << ": a split of the golden tree is missing\n" << ours << "\n" << golden;
    EXPECT_NEAR(it->second.first, value.first, tolerance) << what;
    EXPECT_EQ(it->second.second, value.second) << what;
  }
}

}  // namespace lorvane::test
