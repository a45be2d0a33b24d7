#pragma once
// The one file dialog record the program shares: the document commands, the
// parameter dialog's Set buttons and "Change default folder" all start from
// its filter, its initial folder and the last path chosen in any of them.
#include <optional>
#include <string>
#include <vector>

#include "core/windowsystem.h"

namespace lorvane {

struct FilterPair {
  std::string description;
  std::string pattern;
};
// The filter text cut at its separator (its last character) into pairs.
std::vector<FilterPair> filterpairs(const std::string& text);

class FileDialogRecord {
 public:
  // The filter list as "|"-separated text, its last character the separator.
  explicit FileDialogRecord(std::string filter = "All files (*.*)|*.*|") : filter_(std::move(filter)) {}

  // A request of the given kind with the record's first filter pair, initial
  // folder and last path. The record asks before overwriting and before
  // creating a file.
  FileDialogRequest request(FileDialogRequest::Kind kind) const;
  // Show a dialog; a chosen path becomes the record's last path.
  std::optional<std::string> show(WindowSystem& ws, const FileDialogRequest& request);

  void setfilter(std::string filter) { filter_ = std::move(filter); }
  void setfolder(std::string folder) { folder_ = std::move(folder); }
  void setfilename(std::string path) { filename_ = std::move(path); }
  const std::string& filter() const { return filter_; }
  const std::string& folder() const { return folder_; }
  const std::string& filename() const { return filename_; }
  bool operator==(const FileDialogRecord&) const = default;

 private:
  std::string filter_;
  std::string folder_;    // the initial folder: the default folder
  std::string filename_;  // the shared file-name buffer
};

}  // namespace lorvane
