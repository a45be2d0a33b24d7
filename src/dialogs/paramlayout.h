#pragma once
// Parameter layouts: per parameter a label (one or more lines, each
// ending in a line feed) and a bracketed descriptor "[type,min,max]".
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "frame/answerstore.h"

namespace lorvane {

struct SplitLayout {
  SlotTexts labels{};
  SlotTexts descriptors{};
  SlotTexts captions{};
  // Parameters actually found (the count asked for, or fewer when the
  // layout runs out).
  int found = 0;
};

// Split a layout into n labels and descriptors (n at most 10). A
// pair with a bracket out of place (a "]" in the label, a "[" in the
// descriptor, or a descriptor without its "]") ends the split: `found`
// counts the well-formed pairs before it.
SplitLayout splitlayout(std::string_view layout, int n);

struct Descriptor {
  std::string type;  // at most 19 characters
  std::string min;   // at most 9
  std::string max;   // at most 9
};
// Split a descriptor at commas; runs of commas count as one.
Descriptor splitdescriptor(std::string_view descriptor);

enum class SetAction { OpenBinary, OpenText, Save, Prompt, None };
SetAction setaction(const std::string& type);

// The extension filter of a "bin" or "text" row, as the "|"-separated text
// (for example "Files with tab extension (*.tab)|*.tab|").
std::string filtertext(const std::string& type, const std::string& min);

// The lines of a label as the value prompt shows them: each line up to its
// line feed (a last line without one counts too), empty lines included, each
// cut to 255 characters; the label is read as far as 1023 characters.
std::vector<std::string> labellines(std::string_view label);

// Tokens as the standard string tokenizer gives them: runs of delimiters
// count as one, leading delimiters are skipped.
class Tokenizer {
 public:
  explicit Tokenizer(std::string_view text) : text_(text) {}
  // The next token, or false when none is left.
  bool next(std::string_view delimiters, std::string& token);
  // Where the next search starts: just past the delimiter that ended the
  // last token, or the end of the text.
  std::size_t position() const { return pos_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace lorvane
