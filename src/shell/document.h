#pragma once
// The text area's document: at most one file, held open (others may read
// it, not write it) while it is the document, and the commands New, Open,
// Save, Save As and Revert with their questions. Each command stops
// silently at its first failed step, through the error flag.
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QPlainTextEdit;

namespace lorvane {

class FileDialogRecord;
class Prompter;

inline constexpr long kMaxDocumentBytes = 32767;

// An open document file: read and write for us, a shared lock against
// writers elsewhere. Closed on destruction.
class DocumentFile {
 public:
  DocumentFile() = default;
  ~DocumentFile() { close(); }
  DocumentFile(const DocumentFile&) = delete;
  DocumentFile& operator=(const DocumentFile&) = delete;
  // Open (creating it empty when absent; emptying it when `empty`).
  bool open(const std::string& path, bool empty);
  bool close();
  bool isopen() const { return fd_ >= 0; }
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

class TextDocument {
 public:
  // `record` is the shared file dialog record of Open and Save As;
  // `setcaption` changes the main window's caption.
  TextDocument(QPlainTextEdit& edit, Prompter& prompter, FileDialogRecord& record,
               std::function<void(const QString&)> setcaption);

  void docnew();
  void docopen();
  void docload(const std::string& path);
  // The close question: true to go on (the text is then empty and the
  // document has no file), false to stop.
  bool docquery();
  void docsave();
  void docsaveas();
  void docwrite();
  void docrevert();

  bool holdsfile() const { return file_.isopen(); }
  void releasefile() { file_.close(); }
  bool modified() const;
  const std::string& path() const { return path_; }
  const QString& title() const { return title_; }
  bool failed() const { return error_; }
  void clearerror() { error_ = false; }

  // The text as the file holds it, and back: each line keeps the line end
  // it was read with; lines added get CR LF when every line end read was CR
  // LF (or there was none), LF otherwise. The encoding is the file's.
  QByteArray encode() const;
  void decode(const QByteArray& bytes);

 private:
  void step(bool ok) { error_ = !ok; }
  void forgetfile();
  QString defaulttitle() const;

  QPlainTextEdit& edit_;
  Prompter& prompter_;
  FileDialogRecord& record_;
  std::function<void(const QString&)> setcaption_;
  DocumentFile file_;
  std::string path_;
  QString title_;
  bool error_ = false;
  std::vector<QByteArray> lineends_;  // as read, in order
  QByteArray newlineend_ = "\r\n";   // for lines beyond those read
  bool utf8_ = true;  // the file's bytes were valid UTF-8; otherwise Latin-1
};

}  // namespace lorvane
