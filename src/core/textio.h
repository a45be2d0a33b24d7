#pragma once
// Files as the system writes and reads them: text lines end in CR LF on every
// platform, outputs appear under their names only when complete, and text is
// read back with CR LF taken as one line end.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct iovec;

namespace lorvane {

struct FileCloser {
  void operator()(std::FILE* f) const noexcept;
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// An open stream with CR LF text writing on top of byte writing. A write
// that does not complete is remembered in failed().
class CFile {
 public:
  CFile() = default;
  explicit CFile(std::FILE* f) : file_(f) {}
  explicit operator bool() const { return file_ != nullptr; }
  std::FILE* get() const { return file_.get(); }

  // Text: every "\n" is written as CR LF.
  void text(std::string_view s);
  // Formatted text, as the formatted print gives it, then as text().
  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void bytes(const void* data, std::size_t size);
  // The pieces in order, after everything written before, in as few system
  // writes as it takes (large outputs, written without another copy). The
  // pieces are used up: their bases and lengths are changed. Less than
  // kGatherDirect bytes in all go through the stream's buffer instead.
  void gather(iovec* pieces, std::size_t count);
  static constexpr std::size_t kGatherDirect = std::size_t{1} << 16;
  // `size` bytes of the file open as `fd`, from `offset` on, after everything
  // written before: copied by the system where it can, through memory
  // otherwise. The count copied: less when the input ends first.
  std::uint64_t copyfrom(int fd, std::uint64_t offset, std::uint64_t size);
  bool failed() const { return failed_; }
  // The system's reason for the first failed write or close (errno), 0 when
  // none is known.
  int error() const { return error_; }
  // Close; false when the stream had a failed write or the close failed
  // (then or at an earlier close: failed() stays true).
  bool close();

 private:
  void fail();
  FilePtr file_;
  bool failed_ = false;
  int error_ = 0;
};

// An output file written under a temporary name in its own folder and renamed
// onto its path by commit(). Destroyed without commit, it removes the
// temporary file and leaves any earlier file of that name untouched.
class OutputFile : public CFile {
 public:
  // An output that could not be opened is returned closed (operator bool false).
  static OutputFile open(const std::string& path);
  OutputFile() = default;
  OutputFile(OutputFile&&) noexcept = default;
  OutputFile& operator=(OutputFile&&) noexcept;
  ~OutputFile();
  const std::string& path() const { return path_; }
  // Close and move into place; false when anything failed (nothing is moved).
  bool commit();
  // Give up: remove the temporary file.
  void discard() noexcept;
  // Move a set of outputs into place as one: every output or none replaces
  // the file of its name. Commits of sets in the same folders take turns (an
  // advisory lock on each folder). Returns the index of the output that
  // failed, with the system's reason in *error, or -1 when all are in place;
  // on a failure every earlier file is back under its name, and no output's
  // temporary file stays.
  static int commitset(const std::vector<OutputFile*>& outputs, int* error = nullptr);

 private:
  std::string path_;
  std::string temp_;
};

// A new empty file of a short unique name in the folder, made exclusively,
// with this process's id in its name (".lv<pid>-XXXXXX"): its descriptor,
// or -1 with errno set. `name` receives the path. Until removetemp() (or
// forgettemporary() once it is moved), a second signal removes it.
int maketemp(const std::string& folder, std::string& name);
// Remove a file made by maketemp.
void removetemp(const std::string& name);
// The process id in a name made by maketemp (".lv" + pid + "-" + six letters
// or digits), or -1 for any other name.
long temporaryowner(std::string_view name);
// Remove the files of that form in the folder whose process is gone: only
// regular files of this user, never those of a live process. The first
// maketemp in a folder does this once. Returns how many went.
int removedeadtemporaries(const std::string& folder);
// The folder of a path ("." for a bare name).
std::string folderof(const std::string& path);

// Reads lines in text mode: CR LF is one line end ("\n").
class LineReader {
 public:
  explicit LineReader(std::FILE* f) : file_(f) {}
  // As the standard line read into a buffer of `capacity` characters: at
  // most capacity - 1 characters, up to and including a newline. False at
  // the end of the file when nothing was read.
  bool read(std::string& line, std::size_t capacity);

 private:
  int get();
  int peek();
  std::FILE* file_;
  std::vector<char> buf_ = std::vector<char>(1 << 16);
  std::size_t pos_ = 0, end_ = 0;
};

// An input opened for reading. An open that blocks (a FIFO with no writer)
// gives up when a signal asks the run to stop: an error stop then says so.
FilePtr openinput(const std::string& path);
// Whole content of a file, byte for byte; false when it cannot be read.
bool readwhole(const std::string& path, std::string& content);
// Write the content to the path through a temporary file; false on failure.
bool writewhole(const std::string& path, std::string_view content);
// Copy a file over another, replacing it only when the copy is complete.
bool copyover(const std::string& from, const std::string& to);
bool fileexists(const std::string& path);
// Cut a C string at its first NUL byte, as the C library would read it.
std::string ctext(std::string_view s);

}  // namespace lorvane
