#include "frame/filedialogrecord.h"

namespace lorvane {

std::vector<FilterPair> filterpairs(const std::string& text) {
  std::vector<FilterPair> pairs;
  if (text.empty()) return pairs;
  const char sep = text.back();
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == sep) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) pairs.push_back({parts[i], parts[i + 1]});
  return pairs;
}

FileDialogRequest FileDialogRecord::request(FileDialogRequest::Kind kind) const {
  FileDialogRequest request;
  request.kind = kind;
  if (const auto pairs = filterpairs(filter_); !pairs.empty()) {
    request.filterDescription = pairs.front().description;
    request.filterPattern = pairs.front().pattern;
  }
  request.initialFolder = folder_;
  request.fileName = filename_;
  request.askBeforeOverwrite = true;
  request.askBeforeCreate = true;
  return request;
}

std::optional<std::string> FileDialogRecord::show(WindowSystem& ws, const FileDialogRequest& request) {
  auto chosen = ws.fileDialog(request);
  if (chosen) filename_ = *chosen;
  return chosen;
}

}  // namespace lorvane
