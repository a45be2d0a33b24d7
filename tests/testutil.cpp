#include "testutil.h"

#include "runs/catalogue.h"
#include "runs/distanceruns.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "aflp/bootstrap.h"
#include "aflp/distance.h"
#include "core/messages.h"
#include "core/textio.h"
#include "frame/frame.h"

namespace lorvane::test {

namespace {
void removetree(const std::string& path) {
  if (DIR* d = ::opendir(path.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      const std::string full = path + "/" + name;
      struct stat st {};
      if (::lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        removetree(full);
      else
        ::unlink(full.c_str());
    }
    ::closedir(d);
  }
  ::rmdir(path.c_str());
}
}  // namespace

TempDir::TempDir() {
  std::string tmpl = "/tmp/lorvane-test-XXXXXX";
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
  path_ = tmpl;
  previous_ = currentfolder();
  if (const char* x = std::getenv("XDG_DATA_HOME")) {
    hadxdg_ = true;
    previousxdg_ = x;
  }
  ::setenv("XDG_DATA_HOME", (path_ + "/xdg").c_str(), 1);
  if (::chdir(path_.c_str()) != 0) throw std::runtime_error("chdir");
}

TempDir::~TempDir() {
  if (::chdir(previous_.c_str()) != 0) {
  }
  if (hadxdg_)
    ::setenv("XDG_DATA_HOME", previousxdg_.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
  removetree(path_);
}

void RecordingWindowSystem::log(const std::string& what) {
  if (!report_) return;
  std::fflush(report_->get());
  timeline.push_back(what + " @" + std::to_string(std::ftell(report_->get())));
}

std::string errorstopof(const std::function<void()>& call) {
  try {
    call();
  } catch (const ErrorStop& e) {
    return e.what();
  }
  return "";
}

std::string readfile(const std::string& path) {
  std::string s;
  if (!readwhole(path, s)) throw std::runtime_error("cannot read " + path);
  return s;
}

void writefile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::vector<std::string> listfolder(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(path.c_str())) {
    while (dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

int startprogram(const std::vector<std::string>& args, const std::string& folder, int out, int err) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

bool waituntil(const std::function<bool()>& condition, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

int waitprogram(int pid, double seconds) {
  int raw = 0;
  if (!waituntil([&] { return ::waitpid(pid, &raw, WNOHANG) == pid; }, seconds)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &raw, 0);
    return -1;
  }
  return WIFSIGNALED(raw) ? 256 + WTERMSIG(raw) : WEXITSTATUS(raw);
}

Run runprogram(const std::string& command, const std::string& folder) {
  const std::string out = folder + "/.stdout", err = folder + "/.stderr";
  const std::string full = "cd '" + folder + "' && " + command + " >'" + out + "' 2>'" + err + "' </dev/null";
  const int raw = std::system(full.c_str());
  Run r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = readfile(out);
  r.err = readfile(err);
  ::unlink(out.c_str());
  ::unlink(err.c_str());
  return r;
}

void compute(RunContext& ctx, const std::string& path, const Computation& c) {
  const auto index = static_cast<DistanceIndex>(c.index);
  if (c.option == 2) {
    BootstrapRequest rq;
    rq.path = path, rq.sites = c.r, rq.k = c.k, rq.index = index, rq.jukescantor = c.jukescantor == 1;
    rq.replicates = c.last;
    calcboot(ctx, rq);
  } else {
    DistanceRequest rq;
    rq.path = path, rq.sites = c.r, rq.k = c.k, rq.index = index, rq.jukescantor = c.jukescantor == 1;
    rq.binary = c.last == 1;
    calcdist(ctx, rq);
  }
}

std::string OptionRunner::run(int option, const std::vector<std::string>& answers) {
  Answers a{};
  for (std::size_t k = 0; k < answers.size(); ++k) a[k + 1] = answers[k];
  CFile report(std::fopen((dir / "report").c_str(), "wb"));
  RunContext ctx{ws, report, settings};
  error.clear();
  try {
    catalogue().find(option)->run(ctx, a);
  } catch (const ErrorStop& e) {
    error = e.what();
  }
  report.close();
  return readfile(dir / "report");
}

std::vector<std::string> svgtexts(const std::string& svgpath) {
  const std::size_t slash = svgpath.rfind('/');
  const Run r = runprogram("python3 -c \"import sys, xml.etree.ElementTree as E; "
                           "[print(t.text or '') for t in E.parse(sys.argv[1]).iter('{http://www.w3.org/2000/svg}text')]\" '" +
                               svgpath + "'",
                           slash == std::string::npos ? "." : svgpath.substr(0, slash));
  std::vector<std::string> texts;
  if (r.status != 0) return texts;
  for (std::size_t start = 0; start < r.out.size();) {
    const std::size_t end = r.out.find('\n', start);
    texts.push_back(r.out.substr(start, end - start));
    start = end == std::string::npos ? r.out.size() : end + 1;
  }
  return texts;
}

}  // namespace lorvane::test
