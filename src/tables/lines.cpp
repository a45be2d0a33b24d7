#include "tables/lines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/interrupt.h"
#include "core/messages.h"

namespace lorvane {

namespace {
constexpr std::size_t kLineBase = 4096;  // a name and the line's end, generously
constexpr std::size_t kFieldBytes = 64;  // a field of a long row, on average
}  // namespace

void tablefault(const std::string& path, long line, const std::string& what) {
  std::string where = path;
  if (line > 0) where += ", line " + std::to_string(line);
  errorstop("Error: " + where + ": " + what + " (readtables)");
}

TableLines::TableLines(FilePtr file, std::string path, long long size)
    : file_(std::move(file)), path_(std::move(path)), size_(size) {
  limitwords(0);
}

void TableLines::limitwords(std::size_t words) {
  limit_ = words == 0 ? static_cast<std::size_t>(-1) : kLineBase + kFieldBytes * words;
}

bool TableLines::fill() {
  for (;;) {
    checkinterrupt();
    end_ = std::fread(buffer_.data(), 1, buffer_.size(), file_.get());
    at_ = 0;
    if (end_ > 0) return true;
    if (!std::ferror(file_.get())) return false;
    const int error = errno;
    std::clearerr(file_.get());
    // A signal broke into the read: the run stops if it asked to, the
    // read goes on otherwise.
    if (error == EINTR) continue;
    errorstop(filefault("Error: can't read distance table " + path_ + " (readtables)", path_, error));
  }
}

void TableLines::toolong(const std::string& what) const { tablefault(path_, read_ + 1, what); }

// The piece appended from `from` on: the run after the last separator is
// found from the piece's end, so a line of fields costs a few bytes' look.
void TableLines::checklength(const std::string& line, std::size_t from) {
  auto separator = [](char c) { return c == ' ' || c == ',' || c == '\t'; };
  std::size_t k = line.size();
  while (k > from && !separator(line[k - 1])) --k;
  run_ = k == from ? run_ + (line.size() - from) : line.size() - k;
  if (run_ > kLongestField)
    toolong("a field goes on for more than " + std::to_string(kLongestField) +
            " characters without a blank, comma or tab: no table holds such a name or number");
  if (line.size() > limit_)
    toolong("the line goes on for more than " + std::to_string(limit_) + " bytes, longer than a row of the table can be");
}

bool TableLines::read(std::string& line, long& number) {
  line.clear();
  run_ = 0;
  bool any = false;
  for (;;) {
    if (at_ == end_ && !fill()) break;
    any = true;
    const char* from = buffer_.data() + at_;
    const void* nl = std::memchr(from, '\n', end_ - at_);
    const std::size_t length = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - from) : end_ - at_;
    const std::size_t before = line.size();
    line.append(from, length);
    at_ += length;
    consumed_ += static_cast<long long>(length);
    checklength(line, before);
    if (nl) {
      ++at_;
      ++consumed_;
      break;
    }
  }
  if (!any) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  number = ++read_;
  return true;
}

bool TableLines::get(std::string& line, long& number) {
  if (back_.empty()) return read(line, number);
  line = std::move(back_.front().first);
  number = back_.front().second;
  held_ -= static_cast<long long>(line.size()) + 1;
  back_.pop_front();
  return true;
}

void TableLines::unget(std::string line, long number) {
  held_ += static_cast<long long>(line.size()) + 1;
  back_.emplace_front(std::move(line), number);
}

long long TableLines::available(long long wanted) {
  if (!stream()) return held_ + std::max(0LL, size_ - consumed_);
  std::string line;
  long number = 0;
  while (held_ < wanted && read(line, number)) {
    held_ += static_cast<long long>(line.size()) + 1;
    back_.emplace_back(std::move(line), number);
  }
  return held_;
}

bool TableLines::readbytes(void* to, std::size_t count) {
  auto* out = static_cast<char*>(to);
  while (count > 0) {
    if (at_ == end_ && !fill()) return false;
    const std::size_t take = std::min(count, end_ - at_);
    std::memcpy(out, buffer_.data() + at_, take);
    at_ += take;
    consumed_ += static_cast<long long>(take);
    out += take;
    count -= take;
  }
  return true;
}

}  // namespace lorvane
