#include "core/textio.h"

#include <limits.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace lorvane {

void FileCloser::operator()(std::FILE* f) const noexcept {
  if (f) std::fclose(f);
}

void CFile::fail() {
  if (!failed_) error_ = errno ? errno : EIO;
  failed_ = true;
}

void CFile::bytes(const void* data, std::size_t size) {
  if (!f_ || size == 0) return;
  if (std::fwrite(data, 1, size, f_.get()) != size) fail();
}

void CFile::gather(iovec* parts, std::size_t count) {
  if (!f_ || count == 0) return;
  // A little goes through the stream's buffer, as bytes() would: small
  // files then reach the disk at their close, one after the other.
  std::size_t total = 0;
  for (std::size_t k = 0; k < count; ++k) total += parts[k].iov_len;
  if (total < kGatherDirect) {
    for (std::size_t k = 0; k < count; ++k) bytes(parts[k].iov_base, parts[k].iov_len);
    return;
  }
  if (std::fflush(f_.get()) != 0) {
    fail();
    return;
  }
  const int fd = ::fileno(f_.get());
  std::size_t at = 0;
  while (at < count && parts[at].iov_len == 0) ++at;
  while (at < count) {
    const int batch = static_cast<int>(std::min<std::size_t>(count - at, IOV_MAX));
    const ssize_t written = ::writev(fd, parts + at, batch);
    if (written <= 0) {
      if (written < 0 && errno == EINTR) continue;
      if (written == 0) errno = EIO;
      fail();
      return;
    }
    // Skip what went out, then start again inside a part written in part.
    auto left = static_cast<std::size_t>(written);
    while (at < count && left >= parts[at].iov_len) left -= parts[at++].iov_len;
    if (left > 0) {
      parts[at].iov_base = static_cast<char*>(parts[at].iov_base) + left;
      parts[at].iov_len -= left;
    }
    while (at < count && parts[at].iov_len == 0) ++at;
  }
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
  if (!f_) return !failed_;
  std::FILE* f = f_.release();
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

int maketemp(const std::string& folder, std::string& name) {
  name = folder + (folder.ends_with('/') ? "" : "/") + ".lv" + std::to_string(::getpid()) + "-XXXXXX";
  return ::mkstemp(name.data());
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
    ::unlink(temp.c_str());
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
  if (failed < 0) locks.emplace(folders);
  // Every target must be one a file can replace.
  for (int k = 0; k < count && failed < 0; ++k) {
    struct stat st {};
    const std::string& path = outputs[static_cast<std::size_t>(k)]->path_;
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) fail(k, EISDIR);
    else if (::access(folders[static_cast<std::size_t>(k)].c_str(), W_OK) != 0) fail(k, errno);
  }
  // The earlier files moved aside (one rename alone replaces its file or
  // leaves it), then the new ones moved in.
  std::vector<std::string> aside(outputs.size());
  int moved = 0, placed = 0;
  for (; count > 1 && moved < count && failed < 0; ++moved) {
    const auto k = static_cast<std::size_t>(moved);
    const std::string& path = outputs[k]->path_;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) continue;
    std::string name;
    const int fd = maketemp(folders[k], name);
    if (fd < 0) {
      fail(moved, errno);
      break;
    }
    ::close(fd);
    if (::rename(path.c_str(), name.c_str()) != 0) {
      fail(moved, errno);
      ::unlink(name.c_str());
      break;
    }
    aside[k] = std::move(name);
  }
  for (; placed < count && failed < 0; ++placed) {
    OutputFile& o = *outputs[static_cast<std::size_t>(placed)];
    if (::rename(o.temp_.c_str(), o.path_.c_str()) != 0) {
      fail(placed, errno);
      break;
    }
    o.temp_.clear();
  }
  if (failed >= 0) {  // back as it was
    for (int k = 0; k < placed; ++k) ::unlink(outputs[static_cast<std::size_t>(k)]->path_.c_str());
    for (std::size_t k = 0; k < aside.size(); ++k)
      if (!aside[k].empty() && ::rename(aside[k].c_str(), outputs[k]->path_.c_str()) == 0) aside[k].clear();
    for (OutputFile* o : outputs) o->discard();
  }
  for (const auto& name : aside)  // on a failure, any still here are the only copies
    if (!name.empty() && failed < 0) ::unlink(name.c_str());
  if (error) *error = reason;
  return failed;
}

void OutputFile::discard() noexcept {
  if (temp_.empty()) return;
  close();
  ::unlink(temp_.c_str());
  temp_.clear();
}

int LineReader::get() {
  if (pos_ == end_) {
    end_ = std::fread(buf_.data(), 1, buf_.size(), f_);
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
      end_ = std::fread(buf_.data(), 1, buf_.size(), f_);
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
