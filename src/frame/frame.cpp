#include "frame/frame.h"

#include <new>

#include "core/interrupt.h"
#include "core/messages.h"

namespace lorvane {

Frame::Frame(WindowSystem& ws, std::string datafolder) : files(std::move(datafolder)), ws_(ws) {}

void Frame::buildoptionsmenu(const std::string& titles, int count) {
  if (!registry.buildoptionsmenu(titles, count)) reporterrorstop(ws_, "Error: Too many options in program");
}

void Frame::runoption(int option) {
  if (!registry.handler) {
    lastrunfailed_ = false;
    lastresult_.reset();
    return;
  }
  runtask([this, option] { return registry.handler(*this, option); });
}

void Frame::runtask(const std::function<std::shared_ptr<const RunOutcome>()>& run) {
  lastrunfailed_ = false;
  lastresult_.reset();
  try {
    lastresult_ = run();
    if (lastresult_) refreshreport();
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
  lastresult_.reset();
  // A run that the person cancelled ends like any failed run, but with no
  // error box and no close request: the program stays for the next run.
  if (interruptsignal() != kCancelledByUser) reporterrorstop(ws_, message);
  // What the run wrote to the report so far still reaches the report file,
  // and so does the message that ended it.
  try {
    if (CFile& report = files.report()) report.text(message + "\n");
    refreshreport();
  } catch (const std::exception&) {
  }
}

void Frame::setupfiles(const std::string& name) {
  if (const auto folder = files.setup(name)) dialogs.setfolder(*folder);
  // Fresh answers; the current option stays.
  const int current = store.currentoption;
  store = AnswerStore{};
  store.currentoption = current;
}

void Frame::beginreport() { files.begin(registry.title(store.currentoption)); }

void Frame::writebanner() { files.writebanner(registry.title(store.currentoption)); }

void Frame::refreshreport() { files.refresh(ws_); }

void Frame::changefolder() {
  const auto pick = [this] { return dialogs.show(ws_, dialogs.request(FileDialogRequest::Kind::Open)); };
  if (const auto folder = files.changefolder(pick)) dialogs.setfolder(*folder);
}

void Frame::shutdown() { files.shutdown(ws_); }

}  // namespace lorvane
