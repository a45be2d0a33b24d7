#pragma once
// The text of an edit field as an answer: at most 255 bytes, cut before a
// character, never inside one.
#include <QString>
#include <string>

namespace lorvane {

inline constexpr int kAnswerLength = 255;

inline std::string answertext(const QString& text) {
  std::string s = text.toStdString();
  if (s.size() <= kAnswerLength) return s;
  std::size_t end = kAnswerLength;
  while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
  s.resize(end);
  return s;
}

}  // namespace lorvane
