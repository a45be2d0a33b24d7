// Reading Newick text.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "core/messages.h"
#include "trees/tree.h"

namespace lorvane {

namespace {

class NewickParser {
 public:
  NewickParser(const std::string& text, const std::string& where) : text_(text), where_(where) {}

  Tree parse() {
    skip();
    if (pos_ >= text_.size()) fail("no tree");
    // Nodes are made in reading order; leaves are renumbered first at the end.
    std::vector<int> stack;
    std::vector<bool> leaf;
    const int root = make(-1, leaf);
    stack.push_back(root);
    bool expectnode = true;  // at the start of a node (after '(' or ',')
    int current = root;
    while (true) {
      skip();
      if (pos_ >= text_.size()) fail("the tree does not end in ';'");
      const char c = text_[pos_];
      if (expectnode && c == '(') {
        ++pos_;
        const int child = make(current, leaf);
        leaf[static_cast<std::size_t>(current)] = false;
        stack.push_back(child);
        current = child;
        continue;
      }
      if (expectnode) {
        // A leaf's name (maybe empty), then its length.
        names_[static_cast<std::size_t>(current)] = name();
        leaf[static_cast<std::size_t>(current)] = true;
        length(current);
        expectnode = false;
        continue;
      }
      if (c == ',') {
        ++pos_;
        stack.pop_back();
        if (stack.empty()) fail("',' outside of parentheses");
        const int child = make(stack.back(), leaf);
        stack.push_back(child);
        current = child;
        expectnode = true;
        continue;
      }
      if (c == ')') {
        ++pos_;
        stack.pop_back();
        if (stack.empty()) fail("unbalanced ')'");
        current = stack.back();
        const std::string label = name();
        if (!label.empty()) {
          char* end = nullptr;
          const double v = std::strtod(label.c_str(), &end);
          if (end && *end == '\0' && std::isfinite(v)) nodes_[static_cast<std::size_t>(current)].support = v;
        }
        length(current);
        continue;
      }
      if (c == ';') {
        if (stack.size() != 1) fail("unbalanced '('");
        break;
      }
      fail(std::string("unexpected '") + c + "'");
    }
    return build(root, leaf);
  }

 private:
  int make(int parent, std::vector<bool>& leaf) {
    nodes_.emplace_back();
    nodes_.back().parent = parent;
    names_.emplace_back();
    leaf.push_back(true);
    const int v = static_cast<int>(nodes_.size()) - 1;
    if (parent >= 0) nodes_[static_cast<std::size_t>(parent)].children.push_back(v);
    return v;
  }

  void skip() {
    while (pos_ < text_.size()) {
      if (std::isspace(static_cast<unsigned char>(text_[pos_]))) {
        ++pos_;
      } else if (text_[pos_] == '[') {
        const auto end = text_.find(']', pos_);
        if (end == std::string::npos) fail("a comment '[' does not end");
        pos_ = end + 1;
      } else {
        break;
      }
    }
  }

  std::string name() {
    skip();
    std::string out;
    if (pos_ < text_.size() && text_[pos_] == '\'') {
      ++pos_;
      while (true) {
        if (pos_ >= text_.size()) fail("a quoted name does not end");
        if (text_[pos_] == '\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
            out += '\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        out += text_[pos_++];
      }
      return out;
    }
    while (pos_ < text_.size() && std::string_view(" \t\r\n:;()[],'").find(text_[pos_]) == std::string_view::npos)
      out += text_[pos_++];
    return out;
  }

  void length(int v) {
    skip();
    if (pos_ >= text_.size() || text_[pos_] != ':') return;
    ++pos_;
    skip();
    const char* begin = text_.c_str() + pos_;
    char* end = nullptr;
    const double x = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(x)) fail("a length is not a number");
    pos_ += static_cast<std::size_t>(end - begin);
    nodes_[static_cast<std::size_t>(v)].length = x;
  }

  Tree build(int root, const std::vector<bool>& leaf) {
    std::vector<int> index(nodes_.size(), -1);
    Tree t;
    for (std::size_t v = 0; v < nodes_.size(); ++v)
      if (leaf[v]) {
        index[v] = static_cast<int>(t.names.size());
        t.names.push_back(names_[v]);
      }
    int next = static_cast<int>(t.names.size());
    for (std::size_t v = 0; v < nodes_.size(); ++v)
      if (!leaf[v]) index[v] = next++;
    t.nodes.resize(nodes_.size());
    for (std::size_t v = 0; v < nodes_.size(); ++v) {
      Tree::Node n = nodes_[v];
      if (n.parent >= 0) n.parent = index[static_cast<std::size_t>(n.parent)];
      for (int& c : n.children) c = index[static_cast<std::size_t>(c)];
      t.nodes[static_cast<std::size_t>(index[v])] = std::move(n);
    }
    t.root = index[static_cast<std::size_t>(root)];
    t.nodes[static_cast<std::size_t>(t.root)].support = std::numeric_limits<double>::quiet_NaN();
    t.rooted = t.nodes[static_cast<std::size_t>(t.root)].children.size() == 2;
    return t;
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw ErrorStop("Error: " + where_ + ": " + what + " at character " + std::to_string(pos_ + 1) + " (readnewick)");
  }

  const std::string& text_;
  const std::string& where_;
  std::size_t pos_ = 0;
  std::vector<Tree::Node> nodes_;
  std::vector<std::string> names_;
};

}  // namespace

Tree readnewick(const std::string& text, const std::string& where) { return NewickParser(text, where).parse(); }

}  // namespace lorvane
