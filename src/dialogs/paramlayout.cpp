#include "dialogs/paramlayout.h"

#include <algorithm>

namespace lorvane {

bool Tokenizer::next(std::string_view delimiters, std::string& token) {
  std::size_t start = text_.find_first_not_of(delimiters, pos_);
  if (start == std::string_view::npos) {
    pos_ = text_.size();
    return false;
  }
  std::size_t end = text_.find_first_of(delimiters, start);
  if (end == std::string_view::npos) {
    token.assign(text_.substr(start));
    pos_ = text_.size();
  } else {
    token.assign(text_.substr(start, end - start));
    pos_ = end + 1;  // the delimiter that ends a token is used up
  }
  return true;
}

SplitLayout splitlayout(std::string_view layout, int n) {
  SplitLayout s;
  // The work buffer holds 1023 characters; a NUL ends the text as well.
  std::string_view work = layout.substr(0, 1023);
  work = work.substr(0, work.find('\0'));
  Tokenizer tokens(work);
  if (n > 10) n = 10;
  for (int i = 1; i <= n; ++i) {
    const auto slot = static_cast<std::size_t>(i);
    if (!tokens.next("[", s.labels[slot])) break;
    const bool closed = tokens.next("]", s.descriptors[slot]) && work[tokens.position() - 1] == ']';
    if (!closed || s.labels[slot].find(']') != std::string::npos ||
        s.descriptors[slot].find('[') != std::string::npos) {
      s.found = i - 1;
      s.labels[slot].clear();
      s.descriptors[slot].clear();
      return s;
    }
    Tokenizer lines(s.labels[slot]);
    lines.next("\n", s.captions[slot]);
    s.found = i;
  }
  return s;
}

Descriptor splitdescriptor(std::string_view descriptor) {
  Descriptor d;
  Tokenizer fields(descriptor.substr(0, descriptor.find('\0')));
  if (fields.next(",", d.type) && fields.next(",", d.min)) fields.next(",", d.max);
  d.type = d.type.substr(0, std::min<std::size_t>(d.type.size(), 19));
  d.min = d.min.substr(0, std::min<std::size_t>(d.min.size(), 9));
  d.max = d.max.substr(0, std::min<std::size_t>(d.max.size(), 9));
  return d;
}

SetAction setaction(const std::string& type) {
  if (type == "bin") return SetAction::OpenBinary;
  if (type == "text") return SetAction::OpenText;
  if (type == "new") return SetAction::Save;
  if (type == "int" || type == "float" || type == "string" || type == "selection") return SetAction::Prompt;
  return SetAction::None;
}

std::string filtertext(const std::string& type, const std::string& min) {
  std::string t;
  switch (min.size()) {
    case 1:
      return type == "bin" ? "Files without extension (*)|*|" : "Files without extensions (*)|*|";
    case 2:
      t = "Files with xx extension (*.*xx)|*.*xx|";
      break;
    case 3:
      t = "Files with xxx extension (*.xxx)|*.xxx|";
      break;
    case 4:
      t = "Files with xxxx extension (*.xxxx)|*.xxxx|";
      break;
    default:  // none, or more letters than any template holds
      return "All files (*.*)|*.*|";
  }
  // Overwrite each placeholder group; the lone "x" of "extension" is no group.
  const std::string group(min.size(), 'x');
  for (std::size_t at = t.find(group); at != std::string::npos; at = t.find(group, at + group.size())) {
    t.replace(at, group.size(), min);
  }
  return t;
}

std::vector<std::string> labellines(std::string_view label) {
  std::vector<std::string> lines;
  std::string_view work = label.substr(0, std::min<std::size_t>(label.size(), 1023));
  work = work.substr(0, work.find('\0'));
  while (!work.empty()) {
    const std::size_t end = work.find('\n');
    const std::string_view line = work.substr(0, end);
    lines.emplace_back(line.substr(0, std::min<std::size_t>(line.size(), 255)));
    if (end == std::string_view::npos) break;
    work.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace lorvane
