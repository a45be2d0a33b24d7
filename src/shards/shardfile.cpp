#include "shards/shardfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/messages.h"
#include "runs/runsupport.h"

namespace lorvane {

namespace {

// The first line, with the version of the layout of the blocks.
constexpr std::string_view kMagic = "Lorvane shard 2";
constexpr std::string_view kAnyVersion = "Lorvane shard ";
constexpr std::size_t kMostHeader = std::size_t{1} << 20;

std::string headertext(const ShardHeader& h) {
  std::string text = std::string(kMagic) + "\nkind: " + h.kind + "\n";
  for (const ShardInput& in : h.inputs) text += "input: " + in.sha256 + " " + in.name + "\n";
  text += "parameters: " + h.parameters + "\nseed: " + std::to_string(h.seed) + "\n";
  text += "shard: " + std::to_string(h.part.index) + " of " + std::to_string(h.part.count) + "\n";
  text += "range: " + std::to_string(h.range.first) + " " + std::to_string(h.range.last()) + " of " +
          std::to_string(h.total) + "\n";
  return text;
}

// A whole decimal number of the text, or -1.
long long wholenumber(std::string_view text) {
  if (text.empty() || text.size() > 18) return -1;
  long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

// The words of a line, split at blanks, the last `words`-th taking the rest.
std::vector<std::string_view> split(std::string_view line, std::size_t words) {
  std::vector<std::string_view> out;
  while (out.size() + 1 < words) {
    const auto blank = line.find(' ');
    if (blank == std::string_view::npos) break;
    out.push_back(line.substr(0, blank));
    line.remove_prefix(blank + 1);
  }
  out.push_back(line);
  return out;
}

}  // namespace

ItemRange shardrange(const ShardPart& part, int total) {
  const int base = total / part.count, extra = total % part.count, before = part.index - 1;
  return ItemRange{1 + before * base + std::min(before, extra), base + (before < extra ? 1 : 0)};
}

void damagedshard(const std::string& path) { errorstop("Error: the shard file " + path + " is damaged (merge)"); }

void ShardWriter::add(std::string name, std::string bytes) {
  const std::uint64_t size = bytes.size();
  blocks_.push_back(Block{std::move(name), std::move(bytes), nullptr, size});
}

void ShardWriter::add(std::string name, CFile& output) {
  std::fflush(output.get());
  struct stat st {};
  if (::fstat(::fileno(output.get()), &st) != 0) st.st_size = 0;
  blocks_.push_back(Block{std::move(name), {}, &output, static_cast<std::uint64_t>(st.st_size)});
}

void ShardWriter::commit(const std::string& path, const char* operation) {
  OutputFile out = openoutput(path, operation);
  std::string text = headertext(header_);
  for (const Block& b : blocks_) text += "block: " + b.name + " " + std::to_string(b.size) + "\n";
  out.text(text + "\n");
  for (const Block& b : blocks_) {
    if (!b.output) {
      out.bytes(b.bytes.data(), b.bytes.size());
      continue;
    }
    if (b.output->failed() || out.copyfrom(::fileno(b.output->get()), 0, b.size) != b.size)
      errorstop(filefault("Error: can't write output file " + path + " (" + operation + ")", path,
                          b.output->failed() ? b.output->error() : EIO));
  }
  commitall({&out}, operation);
}

ShardReader::ShardReader(const std::string& path) : path_(path), file_(openinput(path)) {
  if (!file_) errorstop(filefault("Error: can't open shard file " + path + " (merge)", path, errno));
  std::vector<std::string> lines;
  std::string line;
  std::size_t read = 0;
  bool ended = false;  // at the empty line after the header
  for (int c; !ended && (c = std::getc(file_.get())) != EOF && ++read <= kMostHeader;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (lines.empty() && line != kMagic) {
      if (line.starts_with(kAnyVersion))
        errorstop("Error: " + path + " was written by another version of this program (" + line +
                  "): make its shards again (merge)");
      break;
    }
    ended = line.empty();
    if (!ended) lines.push_back(std::move(line));
    line.clear();
  }
  if (lines.empty()) errorstop("Error: " + path + " is not a shard file (merge)");
  if (!ended) damaged();
  std::uint64_t offset = static_cast<std::uint64_t>(::ftello(file_.get()));
  for (std::size_t k = 1; k < lines.size(); ++k) {
    const auto colon = lines[k].find(": ");
    if (colon == std::string::npos) damaged();
    const std::string key = lines[k].substr(0, colon);
    const std::string_view value = std::string_view(lines[k]).substr(colon + 2);
    if (key == "kind") {
      header_.kind = value;
    } else if (key == "input") {
      const auto w = split(value, 2);
      if (w.size() != 2) damaged();
      header_.inputs.push_back({std::string(w[0]), std::string(w[1])});
    } else if (key == "parameters") {
      header_.parameters = value;
    } else if (key == "seed") {
      const long long seed = wholenumber(value);
      if (seed < 0 || seed > 4294967295LL) damaged();
      header_.seed = static_cast<std::uint32_t>(seed);
    } else if (key == "shard") {
      const auto w = split(value, 3);
      if (w.size() != 3 || w[1] != "of") damaged();
      header_.part = {static_cast<int>(wholenumber(w[0])), static_cast<int>(wholenumber(w[2]))};
    } else if (key == "range") {
      const auto w = split(value, 4);
      if (w.size() != 4 || w[2] != "of") damaged();
      const long long first = wholenumber(w[0]), last = wholenumber(w[1]), total = wholenumber(w[3]);
      if (first < 1 || last < first - 1 || last > INT32_MAX || total < 0 || total > INT32_MAX) damaged();
      header_.range = {static_cast<int>(first), static_cast<int>(last - first + 1)};
      header_.total = static_cast<int>(total);
    } else if (key == "block") {
      const auto w = split(value, 2);
      const long long size = w.size() == 2 ? wholenumber(w[1]) : -1;
      if (size < 0) damaged();
      blocks_.push_back({std::string(w[0]), offset, static_cast<std::uint64_t>(size)});
      offset += static_cast<std::uint64_t>(size);
    }
  }
  struct stat st {};
  if (header_.kind.empty() || header_.part.index < 1 || header_.part.index > header_.part.count ||
      ::fstat(::fileno(file_.get()), &st) != 0 || static_cast<std::uint64_t>(st.st_size) != offset)
    damaged();
}

void ShardReader::damaged() const { damagedshard(path_); }

bool ShardReader::has(std::string_view name) const {
  return std::any_of(blocks_.begin(), blocks_.end(), [name](const Block& b) { return b.name == name; });
}

std::vector<std::string> ShardReader::blocks() const {
  std::vector<std::string> names;
  for (const Block& b : blocks_) names.push_back(b.name);
  return names;
}

const ShardReader::Block& ShardReader::find(std::string_view name) const {
  for (const Block& b : blocks_)
    if (b.name == name) return b;
  damaged();
}

std::string ShardReader::block(std::string_view name) const {
  const Block& b = find(name);
  std::string bytes(b.size, '\0');
  if (::fseeko(file_.get(), static_cast<off_t>(b.offset), SEEK_SET) != 0 ||
      std::fread(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size())
    damaged();
  return bytes;
}

void ShardReader::copy(std::string_view name, CFile& out) const {
  const Block& b = find(name);
  if (out.copyfrom(::fileno(file_.get()), b.offset, b.size) != b.size && !out.failed()) damaged();
}

void Packer::u64(std::uint64_t v) {
  for (int i = 0; i < 8; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Packer::text(std::string_view s) {
  u64(s.size());
  bytes.append(s);
}

void Packer::f64(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  u64(bits);
}

std::uint64_t Unpacker::u64() {
  if (bytes_.size() - at_ < 8) damagedshard(where_);
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= std::uint64_t{static_cast<unsigned char>(bytes_[at_ + static_cast<std::size_t>(i)])} << (8 * i);
  at_ += 8;
  return v;
}

double Unpacker::f64() {
  const std::uint64_t bits = u64();
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

std::string Unpacker::text() {
  const std::size_t size = count(1);
  std::string s(bytes_.substr(at_, size));
  at_ += size;
  return s;
}

std::size_t Unpacker::count(std::size_t size) {
  const std::uint64_t n = u64();
  if (size > 0 && n > (bytes_.size() - at_) / size) damagedshard(where_);
  return static_cast<std::size_t>(n);
}

}  // namespace lorvane
