#pragma once
// A window system whose file dialogs are answered from a queue and which
// records what the dialogs asked of it.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/windowsystem.h"

namespace lorvane {

class FakeWindowSystem : public HeadlessWindowSystem {
 public:
  std::deque<std::optional<std::string>> answers;  // empty: cancelled
  std::vector<FileDialogRequest> requests;
  std::vector<std::string> infos;
  std::vector<std::string> events;  // "info", "file", "wait", "arrow", ...
  std::string document;

  std::optional<std::string> fileDialog(const FileDialogRequest& request) override {
    requests.push_back(request);
    events.emplace_back("file");
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
  void infoBox(const std::string& text) override {
    infos.push_back(text);
    events.emplace_back("info");
  }
  void setWaitCursor(bool on) override { events.emplace_back(on ? "wait" : "arrow"); }
  std::string documentPath() const override { return document; }
};

}  // namespace lorvane
