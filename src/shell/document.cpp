#include "shell/document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QTextDocument>
#include <vector>

#include "frame/filedialogrecord.h"
#include "shell/prompter.h"
#include "shell/resources.h"

namespace lorvane {

bool DocumentFile::open(const std::string& path, bool empty) {
  close();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (empty ? O_TRUNC : 0), 0666);
  if (fd < 0) return false;
  // Other programs may read the file; writers that honour locks are kept out.
  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(fd, F_SETLK, &lock) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool DocumentFile::close() {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0;
}

TextDocument::TextDocument(QPlainTextEdit& edit, Prompter& prompter, FileDialogRecord& record,
                           std::function<void(const QString&)> setcaption)
    : edit_(edit), prompter_(prompter), record_(record), setcaption_(std::move(setcaption)), title_(defaulttitle()) {}

QString TextDocument::defaulttitle() const { return stringresource(StringId::MainTitle); }

bool TextDocument::modified() const { return edit_.document()->isModified(); }

void TextDocument::forgetfile() {
  file_.close();
  path_.clear();
  title_.clear();
}

namespace {

BoxAnswer stringbox(Prompter& prompter, StringId id, BoxIcon icon, BoxButtons buttons, const QString& caption,
                    const QString& argument) {
  prompter.beep();
  return prompter.message(formatstring(id, argument).left(255), caption, icon, buttons);
}

}  // namespace

void TextDocument::docnew() {
  if (!docquery()) return;
  path_.clear();
  title_ = defaulttitle();
  setcaption_(defaulttitle());
}

void TextDocument::docopen() {
  const auto chosen = prompter_.fileDialog(record_.request(FileDialogRequest::Kind::Open));
  if (!chosen) return;
  record_.setfilename(*chosen);
  file_.close();
  docload(*chosen);
}

void TextDocument::docload(const std::string& path) {
  step(file_.open(path, false));
  if (error_) {
    forgetfile();
    return;
  }
  path_ = path.substr(0, 259);
  title_ = QFileInfo(QString::fromStdString(path_)).fileName().left(63);
  docrevert();
}

bool TextDocument::docquery() {
  if (modified()) {
    switch (stringbox(prompter_, StringId::SaveQuestion, BoxIcon::Question, BoxButtons::YesNoCancel, "???", title_)) {
      case BoxAnswer::Yes:
        error_ = false;
        docsave();
        if (error_) return false;
        break;
      case BoxAnswer::No:
        break;
      default:
        return false;
    }
  }
  file_.close();
  edit_.clear();
  edit_.document()->setModified(false);
  return true;
}

void TextDocument::docsave() {
  if (!file_.isopen())
    docsaveas();
  else
    docwrite();
}

void TextDocument::docsaveas() {
  FileDialogRequest request = record_.request(FileDialogRequest::Kind::Save);
  request.fileName = path_;
  const auto chosen = prompter_.fileDialog(request);
  if (!chosen) {
    error_ = true;
    return;
  }
  record_.setfilename(*chosen);
  if (*chosen == path_ && file_.isopen()) {
    docwrite();
    return;
  }
  if (file_.isopen()) {
    step(file_.close());
    if (error_) return;
  }
  step(file_.open(*chosen, true));
  if (error_) {
    forgetfile();
    setcaption_(defaulttitle());
    return;
  }
  path_ = chosen->substr(0, 259);
  title_ = QFileInfo(QString::fromStdString(path_)).fileName().left(63);
  setcaption_(title_);
  docwrite();
}

QByteArray TextDocument::encode() const {
  QString text = edit_.document()->toRawText();
  text.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
  QByteArray bytes;
  std::size_t line = 0;
  for (const QStringView part : QStringView(text).split(u'\n')) {
    if (line > 0) bytes += line <= lineends_.size() ? lineends_[line - 1] : newlineend_;
    bytes += utf8_ ? part.toUtf8() : part.toLatin1();
    ++line;
  }
  return bytes;
}

void TextDocument::decode(const QByteArray& bytes) {
  // The text ends at its first zero byte.
  const qsizetype zero = bytes.indexOf('\0');
  const QByteArray data = zero >= 0 ? bytes.left(zero) : bytes;
  // The line ends as they are: CR LF, LF or a lone CR (the text area makes
  // a line break of each).
  lineends_.clear();
  for (qsizetype i = 0; i < data.size(); ++i) {
    if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
      lineends_.emplace_back("\r\n"), ++i;
    else if (data[i] == '\r' || data[i] == '\n')
      lineends_.emplace_back(1, data[i]);
  }
  const bool crlf = std::all_of(lineends_.begin(), lineends_.end(), [](const QByteArray& e) { return e == "\r\n"; });
  newlineend_ = crlf ? "\r\n" : "\n";
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8(data);
  utf8_ = !utf8.hasError();
  if (!utf8_) text = QString::fromLatin1(data);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
  edit_.setPlainText(text);
  edit_.document()->setModified(false);
}

void TextDocument::docwrite() {
  if (!file_.isopen()) {
    error_ = true;
    return;
  }
  const QByteArray bytes = encode();
  // The file is rewritten in place: room for the whole text is taken first,
  // so that a full disk stops the save before the file is touched instead of
  // halfway through it. File systems without that request go on as before.
  if (!bytes.isEmpty() && ::fallocate(file_.fd(), 0, 0, static_cast<off_t>(bytes.size())) != 0) {
    step(errno == EOPNOTSUPP || errno == ENOSYS);
    if (error_) return;
  }
  step(::lseek(file_.fd(), 0, SEEK_SET) == 0);
  if (error_) return;
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(file_.fd(), bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
    step(n > 0);
    if (error_) return;
    done += n;
  }
  step(::ftruncate(file_.fd(), static_cast<off_t>(bytes.size())) == 0);
  if (error_) return;
  step(::fsync(file_.fd()) == 0);
  if (error_) return;
  edit_.document()->setModified(false);
}

void TextDocument::docrevert() {
  if (modified() &&
      stringbox(prompter_, StringId::RevertQuestion, BoxIcon::Question, BoxButtons::OkCancel, "???", title_) !=
          BoxAnswer::Ok)
    return;
  if (!file_.isopen()) return;
  struct stat st {};
  step(::fstat(file_.fd(), &st) == 0);
  if (error_) return;
  if (st.st_size > kMaxDocumentBytes) {
    stringbox(prompter_, StringId::TooLong, BoxIcon::Warning, BoxButtons::Ok, QString(), title_);
    file_.close();
    error_ = true;
    return;
  }
  step(::lseek(file_.fd(), 0, SEEK_SET) == 0);
  if (error_) return;
  std::vector<char> buffer(static_cast<std::size_t>(st.st_size) + 10, '\0');
  std::size_t got = 0;
  while (got < static_cast<std::size_t>(st.st_size)) {
    const ssize_t n = ::read(file_.fd(), buffer.data() + got, static_cast<std::size_t>(st.st_size) - got);
    step(n > 0);
    if (error_) return;
    got += static_cast<std::size_t>(n);
  }
  decode(QByteArray(buffer.data(), static_cast<qsizetype>(got)));
}

}  // namespace lorvane
