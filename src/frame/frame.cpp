#include "frame/frame.h"

#include <new>

#include "core/messages.h"

namespace lorvane {

Frame::Frame(WindowSystem& ws) : ws_(ws) { optionsmenu.push_back(MenuEntry{true, "", 0}); }

Frame::~Frame() = default;

void Frame::buildoptionsmenu(const std::string& titles, int count) {
  if (count >= kMaxOptions) {
    reporterrorstop(ws_, "Error: Too many options in program");
    return;
  }
  int id = kFirstOptionId;
  std::size_t start = 0;
  for (int k = 1; k <= count && start < titles.size(); ++k, ++id) {
    std::size_t end = titles.find('\n', start);
    if (end == std::string::npos) end = titles.size();
    const std::string title = titles.substr(start, end - start);
    start = end + 1;
    if (title == "-")
      optionsmenu.push_back(MenuEntry{true, "", 0});
    else
      optionsmenu.push_back(MenuEntry{false, title, id});
  }
}

void Frame::runoption(int option) {
  lastrunfailed_ = false;
  if (!handler) return;
  try {
    handler(*this, option);
  } catch (const ErrorStop& e) {
    failrun(e.what());
  } catch (const std::bad_alloc&) {
    // Memory a computation asked for beyond its tables.
    failrun("Error: insufficient memory (runoption)");
  } catch (const std::exception& e) {
    failrun(std::string("Error: ") + e.what() + " (runoption)");
  }
}

void Frame::failrun(const std::string& message) {
  lastrunfailed_ = true;
  reporterrorstop(ws_, message);
  // What the run wrote to the report so far still reaches the report file,
  // and so does the message that ended it.
  try {
    if (tempreport_) tempreport_.text(message + "\n");
    refreshreport();
  } catch (const std::exception&) {
  }
}

}  // namespace lorvane
