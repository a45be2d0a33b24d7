#include "core/textio.h"

#include <limits.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>

#include "core/interrupt.h"

namespace lorvane {

void FileCloser::operator()(std::FILE* f) const noexcept {
  if (f) std::fclose(f);
}

void CFile::fail() {
  if (!failed_) error_ = errno ? errno : EIO;
  failed_ = true;
}

void CFile::bytes(const void* data, std::size_t size) {
  if (!file_ || size == 0) return;
  if (std::fwrite(data, 1, size, file_.get()) != size) fail();
}

void CFile::gather(iovec* pieces, std::size_t count) {
  if (!file_ || count == 0) return;
  // A little goes through the stream's buffer, as bytes() would: small
  // files then reach the disk at their close, one after the other.
  std::size_t total = 0;
  for (std::size_t k = 0; k < count; ++k) total += pieces[k].iov_len;
  if (total < kGatherDirect) {
    for (std::size_t k = 0; k < count; ++k) bytes(pieces[k].iov_base, pieces[k].iov_len);
    return;
  }
  if (std::fflush(file_.get()) != 0) {
    fail();
    return;
  }
  const int fd = ::fileno(file_.get());
  std::size_t at = 0;
  while (at < count && pieces[at].iov_len == 0) ++at;
  while (at < count) {
    const int batch = static_cast<int>(std::min<std::size_t>(count - at, IOV_MAX));
    const ssize_t written = ::writev(fd, pieces + at, batch);
    if (written <= 0) {
      if (written < 0 && errno == EINTR) continue;
      if (written == 0) errno = EIO;
      fail();
      return;
    }
    // Skip what went out, then start again inside a piece half written.
    auto left = static_cast<std::size_t>(written);
    while (at < count && left >= pieces[at].iov_len) left -= pieces[at++].iov_len;
    if (left > 0) {
      pieces[at].iov_base = static_cast<char*>(pieces[at].iov_base) + left;
      pieces[at].iov_len -= left;
    }
    while (at < count && pieces[at].iov_len == 0) ++at;
  }
}

std::uint64_t CFile::copyfrom(int fd, std::uint64_t offset, std::uint64_t size) {
  if (!file_ || size == 0) return 0;
  if (std::fflush(file_.get()) != 0) {
    fail();
    return 0;
  }
  auto from = static_cast<off_t>(offset);
  std::uint64_t left = size;
  while (left > 0) {
    const ssize_t n = ::copy_file_range(fd, &from, ::fileno(file_.get()), nullptr, left, 0);
    if (n > 0) {
      left -= static_cast<std::uint64_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) return size - left;  // the input's end
    // Not between these files (other file systems, a pipe, kernels without
    // it): through memory. Another error is the output's.
    if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL || errno == EBADF) break;
    fail();
    return size - left;
  }
  constexpr std::size_t kPiece = std::size_t{1} << 16;
  std::vector<char> piece(left > 0 ? kPiece : 0);
  while (left > 0) {
    const ssize_t n = ::pread(fd, piece.data(), static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, left)), from);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes(piece.data(), static_cast<std::size_t>(n));
    from += n;
    left -= static_cast<std::uint64_t>(n);
  }
  return size - left;
}

void CFile::text(std::string_view s) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\n') {
      bytes(s.data() + start, i - start);
      bytes("\r\n", 2);
      start = i + 1;
    }
  }
  bytes(s.data() + start, s.size() - start);
}

void CFile::print(const char* format, ...) {
  char small[512];
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    fail();
  } else if (static_cast<std::size_t>(n) < sizeof small) {
    text(std::string_view(small, static_cast<std::size_t>(n)));
  } else {
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, again);
    big.resize(static_cast<std::size_t>(n));
    text(big);
  }
  va_end(again);
}

bool CFile::close() {
  if (!file_) return !failed_;
  std::FILE* f = file_.release();
  errno = 0;
  const bool flushed = std::fflush(f) == 0 && !std::ferror(f);
  if (!flushed) fail();
  const bool closed = std::fclose(f) == 0;
  if (!closed) fail();
  return !failed_;
}

namespace {
mode_t filemode() {
  static const mode_t mode = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}
}  // namespace

std::string folderof(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {
const std::string kTempPrefix = ".lv";
constexpr std::size_t kTempRandom = 6;  // the characters mkstemp chooses

bool isalnumascii(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Once per folder in a process: the first temporary file made there clears
// out the ones of earlier runs that ended without removing theirs.
void sweeponce(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> swept;
  {
    const std::lock_guard lock(mutex);
    if (!swept.insert(folder).second) return;
  }
  removedeadtemporaries(folder);
}
}  // namespace

long temporaryowner(std::string_view name) {
  if (!name.starts_with(kTempPrefix)) return -1;
  name.remove_prefix(kTempPrefix.size());
  const auto dash = name.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash > 9 || name[0] == '0') return -1;
  long pid = 0;
  for (const char c : name.substr(0, dash)) {
    if (c < '0' || c > '9') return -1;
    pid = pid * 10 + (c - '0');
  }
  const std::string_view random = name.substr(dash + 1);
  if (random.size() != kTempRandom || !std::all_of(random.begin(), random.end(), isalnumascii)) return -1;
  return pid;
}

int removedeadtemporaries(const std::string& folder) {
  DIR* d = ::opendir(folder.c_str());
  if (!d) return 0;
  const int fd = ::dirfd(d);
  const long self = ::getpid();
  int removed = 0;
  while (const dirent* e = ::readdir(d)) {
    const long pid = temporaryowner(e->d_name);
    // Only a process that is gone: a live one (or one of another user,
    // EPERM) keeps its files.
    if (pid <= 0 || pid == self || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
      continue;
    if (::unlinkat(fd, e->d_name, 0) == 0) ++removed;
  }
  ::closedir(d);
  return removed;
}

int maketemp(const std::string& folder, std::string& name) {
  sweeponce(folder);
  name = folder + (folder.ends_with('/') ? "" : "/") + kTempPrefix + std::to_string(::getpid()) + "-" +
         std::string(kTempRandom, 'X');
  const int fd = ::mkstemp(name.data());
  if (fd >= 0) registertemporary(name);
  return fd;
}

void removetemp(const std::string& name) {
  ::unlink(name.c_str());
  forgettemporary(name);
}

OutputFile OutputFile::open(const std::string& path) {
  OutputFile out;
  std::string temp;
  const int fd = maketemp(folderof(path), temp);
  if (fd < 0) return out;
  ::fchmod(fd, filemode());
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    ::close(fd);
    removetemp(temp);
    return out;
  }
  static_cast<CFile&>(out) = CFile(f);
  out.path_ = path;
  out.temp_ = std::move(temp);
  return out;
}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    discard();
    static_cast<CFile&>(*this) = std::move(static_cast<CFile&>(other));
    path_ = std::move(other.path_);
    temp_ = std::move(other.temp_);
    other.temp_.clear();
  }
  return *this;
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::commit() { return commitset({this}) < 0; }

namespace {
// Exclusive advisory locks on folders, taken in the order of their names.
class FolderLocks {
 public:
  explicit FolderLocks(std::vector<std::string> folders) {
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const auto& f : folders) {
      const int fd = ::open(f.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) continue;  // the renames report what is wrong with the folder
      while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
      }
      fds_.push_back(fd);
    }
  }
  ~FolderLocks() {
    for (const int fd : fds_) ::close(fd);
  }
  FolderLocks(const FolderLocks&) = delete;
  FolderLocks& operator=(const FolderLocks&) = delete;

 private:
  std::vector<int> fds_;
};

// Each earlier file among `paths` gets a second name to be put back from
// (aside[k]): a hard link (linked[k] set), so that its own name never goes
// missing (a run killed here leaves it whole), or, where no link can be
// made, the file moved there. Stops at the first failure: returns its
// index, its errno in *error; -1 when every earlier file has its second name.
int setaside(const std::vector<std::string>& paths, const std::vector<std::string>& folders,
             std::vector<std::string>& aside, std::vector<char>& linked, int* error) {
  for (std::size_t k = 0; k < paths.size(); ++k) {
    struct stat st {};
    if (::lstat(paths[k].c_str(), &st) != 0) continue;
    std::string name;
    const int fd = maketemp(folders[k], name);
    if (fd < 0) {
      *error = errno;
      return static_cast<int>(k);
    }
    ::close(fd);
    ::unlink(name.c_str());  // a name of this process: free for the link
    if (::link(paths[k].c_str(), name.c_str()) == 0) {
      linked[k] = 1;
    } else if (::rename(paths[k].c_str(), name.c_str()) != 0) {
      *error = errno;
      removetemp(name);
      return static_cast<int>(k);
    }
    aside[k] = std::move(name);
  }
  return -1;
}

// After the first `placed` new files moved in: the second names go, or,
// when the set failed, the earlier files come back under their names.
void settle(const std::vector<std::string>& paths, std::vector<std::string>& aside, const std::vector<char>& linked,
            int placed, bool failed) {
  for (std::size_t k = 0; k < paths.size(); ++k) {
    const bool isplaced = static_cast<int>(k) < placed;
    if (!failed || (!isplaced && linked[k])) {
      // The new file, or the earlier one still under its name, holds it.
      if (!aside[k].empty()) removetemp(aside[k]);
    } else if (!aside[k].empty()) {
      // Back as it was; when that fails, the second name holds the only
      // copy of the earlier file and stays.
      ::rename(aside[k].c_str(), paths[k].c_str());
      forgettemporary(aside[k]);
    } else if (isplaced) {
      ::unlink(paths[k].c_str());  // no earlier file
    }
  }
}
}  // namespace

int OutputFile::commitset(const std::vector<OutputFile*>& outputs, int* error) {
  const int count = static_cast<int>(outputs.size());
  int failed = -1, reason = 0;
  auto fail = [&](int k, int e) {
    failed = k;
    reason = e;
  };
  for (int k = 0; k < count && failed < 0; ++k) {
    OutputFile& o = *outputs[static_cast<std::size_t>(k)];
    if (o.temp_.empty()) fail(k, EBADF);
    else if (!o.close()) fail(k, o.error() ? o.error() : EIO);
  }
  std::vector<std::string> folders;
  for (const OutputFile* o : outputs) folders.push_back(folderof(o->path_));
  std::optional<FolderLocks> locks;
  std::optional<SignalHold> hold;  // a second signal waits until the set is in place or put back
  if (failed < 0) {
    locks.emplace(folders);
    hold.emplace();
  }
  // Every target must be one a file can replace.
  for (int k = 0; k < count && failed < 0; ++k) {
    struct stat st {};
    const std::string& path = outputs[static_cast<std::size_t>(k)]->path_;
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) fail(k, EISDIR);
    else if (::access(folders[static_cast<std::size_t>(k)].c_str(), W_OK) != 0) fail(k, errno);
  }
  std::vector<std::string> paths, aside(outputs.size());
  for (const OutputFile* o : outputs) paths.push_back(o->path_);
  std::vector<char> linked(outputs.size(), 0);
  if (count > 1 && failed < 0) {
    int e = 0;
    const int k = setaside(paths, folders, aside, linked, &e);
    if (k >= 0) fail(k, e);
  }
  // The new ones move in, each rename replacing its file at once.
  int placed = 0;
  for (; placed < count && failed < 0; ++placed) {
    OutputFile& o = *outputs[static_cast<std::size_t>(placed)];
    if (::rename(o.temp_.c_str(), o.path_.c_str()) != 0) {
      fail(placed, errno);
      break;
    }
    forgettemporary(o.temp_);
    o.temp_.clear();
  }
  settle(paths, aside, linked, placed, failed >= 0);
  if (failed >= 0)
    for (OutputFile* o : outputs) o->discard();
  if (error) *error = reason;
  return failed;
}

void OutputFile::discard() noexcept {
  if (temp_.empty()) return;
  close();
  removetemp(temp_);
  temp_.clear();
}

int LineReader::get() {
  if (pos_ == end_) {
    end_ = std::fread(buf_.data(), 1, buf_.size(), file_);
    pos_ = 0;
    if (end_ == 0) return EOF;
  }
  return static_cast<unsigned char>(buf_[pos_++]);
}

int LineReader::peek() {
  const int c = get();
  if (c != EOF) --pos_;
  return c;
}

bool LineReader::read(std::string& line, std::size_t capacity) {
  line.clear();
  if (capacity < 2) return false;
  while (line.size() + 1 < capacity) {
    if (pos_ == end_) {
      end_ = std::fread(buf_.data(), 1, buf_.size(), file_);
      pos_ = 0;
      if (end_ == 0) break;
    }
    // Runs without a CR are taken whole, up to the newline or the capacity.
    const char* start = buf_.data() + pos_;
    const std::size_t scan = std::min(end_ - pos_, capacity - 1 - line.size());
    const auto* nl = static_cast<const char*>(std::memchr(start, '\n', scan));
    const std::size_t upto = nl ? static_cast<std::size_t>(nl - start) + 1 : scan;
    const auto* cr = static_cast<const char*>(std::memchr(start, '\r', upto));
    if (!cr) {
      line.append(start, upto);
      pos_ += upto;
      if (nl) break;
      continue;
    }
    // A CR: one line end with a newline right after it, a character otherwise.
    line.append(start, static_cast<std::size_t>(cr - start));
    pos_ += static_cast<std::size_t>(cr - start) + 1;
    if (peek() == '\n') {
      get();
      line.push_back('\n');
      break;
    }
    line.push_back('\r');
  }
  return !line.empty();
}

FilePtr openinput(const std::string& path) {
  checkinterrupt();  // a signal just before the open would not break into it
  for (;;) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (f || errno != EINTR) return f;
    checkinterrupt();
  }
}

bool readwhole(const std::string& path, std::string& content) {
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  content.clear();
  char chunk[1 << 14];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) content.append(chunk, n);
  return !std::ferror(f.get());
}

bool writewhole(const std::string& path, std::string_view content) {
  OutputFile out = OutputFile::open(path);
  if (!out) return false;
  out.bytes(content.data(), content.size());
  return out.commit();
}

bool copyover(const std::string& from, const std::string& to) {
  std::string content;
  return readwhole(from, content) && writewhole(to, content);
}

bool fileexists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ctext(std::string_view s) {
  const auto nul = s.find('\0');
  return std::string(nul == std::string_view::npos ? s : s.substr(0, nul));
}

}  // namespace lorvane
