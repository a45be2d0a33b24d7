// Reading band-pattern files: the header's two counts, the strain names and
// band codes, the scratch binary copy of the band values, read back as the
// presence bits the computations count with.
#include "aflp/bands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <future>
#include <memory>
#include <new>
#include <vector>

#include "aflp/kernels/bandcodes.h"
#include "core/convert.h"
#include "core/datafile.h"
#include "core/interrupt.h"
#include "core/messages.h"

namespace lorvane {

ScratchFile& ScratchFile::operator=(ScratchFile&& o) noexcept {
  if (this != &o) {
    remove();
    path_ = std::move(o.path_);
    o.path_.clear();
  }
  return *this;
}

void ScratchFile::remove() noexcept {
  if (!path_.empty()) removetemp(path_);
  path_.clear();
}

namespace {

// The first two tokens of the header, separated by spaces and newlines only.
bool headercounts(const std::string& header, int& n, int& m) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  const std::string line = ctext(header);
  while (tokens.size() < 2 && i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\n')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\n') ++i;
    if (i > start) tokens.push_back(line.substr(start, i - start));
  }
  if (tokens.size() < 2) return false;
  n = texttoint(tokens[0]);
  m = texttoint(tokens[1]);
  return true;
}

// The rows of band values the scratch file is written and read back in:
// two chunks of a quarter of a megabyte (or of one row), used in turn, are
// all the memory the copy touches however large the file.
struct Chunks {
  std::size_t rowbytes, rows;
  std::unique_ptr<char[]> data[2];
  Chunks(int n, int m)
      : rowbytes(static_cast<std::size_t>(m) * 4),
        rows(std::min(std::max<std::size_t>(1, (std::size_t{1} << 18) / rowbytes), static_cast<std::size_t>(n))) {
    for (auto& d : data) d = std::make_unique_for_overwrite<char[]>(rows * rowbytes);
  }
};

// Read the body of the scratch file back as presence bits (value above 0).
void readpresencebits(BitMatrix& bits, int n, int m, const std::string& path, Chunks& chunks) {
  CFile in = ouvlec(path, 'b');
  const std::size_t rowbytes = chunks.rowbytes, chunkrows = chunks.rows;
  char* const chunk = chunks.data[0].get();
  for (int i0 = 0; i0 < n; i0 += static_cast<int>(chunkrows)) {
    const int rows = std::min(n - i0, static_cast<int>(chunkrows));
    const std::size_t bytes = static_cast<std::size_t>(rows) * rowbytes;
    if (std::fread(chunk, 1, bytes, in.get()) != bytes)
      errorstop(filefault("Error: can't read matrix (lecmat)", path, std::ferror(in.get()) ? errno : 0));
    for (int r = 0; r < rows; ++r) {
      const char* values = chunk + static_cast<std::size_t>(r) * rowbytes;
      std::uint64_t* row = bits.row(i0 + r);
      for (int k = 0; k < m; k += 64)
        row[k / 64] = bandcodes::presenceword(values + 4 * static_cast<std::size_t>(k), std::min(64, m - k));
    }
  }
}

// The strain lines: names, told to the run as they come, and the band
// values. With a scratch file they go into it, written by a second thread a
// chunk of rows at a time while the next lines are read; without one,
// straight into the presence bits.
void readstrains(LineReader& reader, std::string& line, BandData& d, BandEvents& events, OutputFile* scratch,
                 Chunks* store) {
  const int n = d.n, m = d.m;
  // Line capacity: m codes, a name, up to 8 further characters and the line end.
  const std::size_t capacity = static_cast<std::size_t>(m) + 20;
  std::size_t filled = 0;
  int set = 0;
  std::future<bool> writing;
  auto waitwritten = [&] {
    if (writing.valid() && !writing.get())
      errorstop(filefault("Error: can't write scalar (writescal)", scratch->path(), scratch->error()));
  };
  auto flush = [&] {
    waitwritten();
    const char* data = store->data[set].get();
    const std::size_t bytes = filled * store->rowbytes;
    writing = std::async(std::launch::async, [scratch, data, bytes] {
      scratch->bytes(data, bytes);
      return !scratch->failed();
    });
    set ^= 1;
    filled = 0;
  };
  for (int i = 1; i <= n; ++i) {
    checkinterrupt();
    if (!reader.read(line, capacity)) {
      waitwritten();
      checkinterrupt();  // a read of a pipe the signal broke into
      errorstop("Error : End of file");
    }
    // The codes end where the line does: a short line's missing codes are absent.
    std::size_t length = line.size();
    if (length > 0 && line[length - 1] == '\n') --length;
    d.names[i] = ctext(std::string_view(line).substr(0, length < 10 ? length : 10));
    events.strain(i, d.names[i]);
    // Codes present on the line, then absent ones for a short line.
    const std::size_t given = length > 10 ? std::min(length - 10, static_cast<std::size_t>(m)) : 0;
    const char* codes = line.data() + 10;
    if (!scratch) {
      bandcodes::presencebits(codes, given, d.bits.row(i - 1));
      continue;
    }
    char* to = store->data[set].get() + filled * store->rowbytes;
    bandcodes::codevalues(codes, given, to);
    std::memset(to + 4 * given, 0, 4 * (static_cast<std::size_t>(m) - given));
    if (++filled == store->rows) flush();
  }
  if (filled > 0) flush();
  waitwritten();
}

// Counts the input cannot hold are refused before any memory or scratch
// space is taken for them. Each strain needs its line; a short line's
// missing codes are absent, but a file gives most of its codes. A pipe's
// size is unknown: its counts are only kept within what a run can hold.
void checkroom(const std::string& path, std::FILE* in, int n, int m) {
  struct stat st {};
  const bool file = ::fstat(::fileno(in), &st) == 0 && S_ISREG(st.st_mode);
  const long long codes = static_cast<long long>(n) * m, bytes = file ? st.st_size : 0;
  if (file ? (n > bytes || codes > 16 * bytes + (1LL << 24)) : codes > (1LL << 31))
    errorstop("Error: the first line of " + path + " announces " + std::to_string(n) + " strains of " +
              std::to_string(m) + " bands, more than " +
              (file ? "the file's " + std::to_string(bytes) + " bytes hold" : std::string("a stream may give")) +
              " (readbands)");
}

}  // namespace

BandData readbands(const std::string& path, ReadMode mode, BandEvents& events, const std::string& scratchfolder) {
  // The input is opened first, so that a path that names no file (or a
  // folder) is reported as such and not as a scratch file that cannot be made.
  FilePtr in = openinput(path);
  struct stat st {};
  if (!in || ::fstat(::fileno(in.get()), &st) != 0 || S_ISDIR(st.st_mode))
    errorstop(filefault("Error: can't open input file " + path + " (readbands)", path, in ? EISDIR : errno));
  LineReader reader(in.get());
  return readbands(path, std::move(in), reader, nullptr, mode, events, scratchfolder);
}

BandData readbands(const std::string& path, FilePtr in, LineReader& reader, const std::string* header, ReadMode mode,
                   BandEvents& events, const std::string& scratchfolder) {
  BandData d;

  OutputFile scratch;
  std::string scratchpath;
  // A name of this run's own, made exclusively in the folder the run writes
  // in (never a user's file or another run's scratch); the file is written
  // under a temporary name, then moved onto it.
  auto openscratch = [&] {
    const std::string folder = scratchfolder.empty() ? folderof(path) : scratchfolder;
    const int fd = maketemp(folder, scratchpath);
    if (fd < 0) errorstop(filefault("Error: can't open binary output file (ouvecr)", folder, errno));
    ::close(fd);
    d.scratch = ScratchFile(scratchpath);
    scratch = ouvecr(scratchpath, 'b');
  };
  if (mode == ReadMode::Simple) openscratch();

  std::string line;
  if (header)
    line = header->substr(0, 255);  // read already, as the header's first 255 characters
  else
    reader.read(line, 256);  // the header
  if (!headercounts(line, d.n, d.m) || d.n < 1 || d.m < 1) {
    checkinterrupt();  // a read of a pipe the signal broke into
    errorstop("Error: the first line of " + path +
              " must give the number of strains and the number of bands, both 1 or more (readbands)");
  }
  // The scratch copy is a binary matrix file: its trailer holds each count in six digits.
  if (d.n > 999999 || d.m > 999999)
    errorstop("Error: the first line of " + path + " announces more than 999999 strains or bands (readbands)");
  const int n = d.n, m = d.m;
  checkroom(path, in.get(), n, m);

  try {
    line.reserve(static_cast<std::size_t>(m) + 20);  // the strain lines' capacity
  } catch (const std::bad_alloc&) {
    errorstop("Error: insufficient memory (vecalloc)");
  } catch (const std::length_error&) {
    errorstop("Error: insufficient memory (vecalloc)");
  }
  try {
    d.bits = BitMatrix(n, m);
  } catch (const std::bad_alloc&) {
    errorstop("Error: insufficient memory (taballoc)");
  }
  d.names = tabcaralloc(n, 11);

  events.counts(n, m);
  if (mode == ReadMode::Bootstrap) {
    readstrains(reader, line, d, events, nullptr, nullptr);
    return d;
  }
  Chunks chunks(n, m);
  readstrains(reader, line, d, events, &scratch, &chunks);
  in.reset();
  int error = 0;
  if (OutputFile::commitset({&scratch}, &error) >= 0)
    errorstop(filefault("Error: can't write scalar (writescal)", scratchpath, error));
  writedims(scratchpath, n, m);
  readpresencebits(d.bits, n, m, scratchpath, chunks);
  return d;
}

}  // namespace lorvane
