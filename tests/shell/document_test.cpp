// The document commands on temporary files.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextDocument>

#include "harness.h"
#include "shell/document.h"
#include "shell_tests.h"

using namespace lorvane;
using namespace lorvane::test;

void DocumentTest::sizeLimit() {
  Program p;
  TextDocument& doc = p.window().document();
  writefile(p.path("full.txt"), QByteArray(32767, 'a'));
  writefile(p.path("long.txt"), QByteArray(32768, 'b'));
  doc.docload(p.spath("full.txt"));
  QVERIFY(!doc.failed());
  QCOMPARE(p.window().editor().toPlainText().size(), 32767);

  doc.docload(p.spath("long.txt"));
  QVERIFY(doc.failed());
  QCOMPARE(p.prompter.boxes.back().text, QString("Sorry, document \"long.txt\" is too long for Velko to read."));
  QCOMPARE(p.prompter.boxes.back().icon, BoxIcon::Warning);
  // The text stays; the document keeps its path and title but has no file.
  QCOMPARE(p.window().editor().toPlainText().size(), 32767);
  QCOMPARE(doc.title(), QString("long.txt"));
  QVERIFY(!doc.holdsfile());
}

void DocumentTest::openingAMissingPathCreatesIt() {
  Program p;
  p.window().editor().setPlainText("old");
  p.window().editor().document()->setModified(false);
  p.prompter.files.push_back(p.spath("new.txt"));
  p.window().runcommand(1002);
  // The Open dialog may name a new file: it asks before creating one.
  QVERIFY(p.prompter.filerequests.back().askBeforeCreate);
  QVERIFY(QFileInfo::exists(p.path("new.txt")));
  QCOMPARE(p.window().editor().toPlainText(), QString());
  QVERIFY(p.window().document().holdsfile());
  // Opening does not change the caption.
  QCOMPARE(p.window().windowTitle(), QString("Quillmoor"));
  // A path that cannot be opened leaves no document file, silently.
  const auto boxes = p.prompter.boxes.size();
  p.window().document().docload(p.spath("no/such/folder/x.txt"));
  QVERIFY(p.window().document().failed());
  QVERIFY(!p.window().document().holdsfile());
  QCOMPARE(p.window().document().title(), QString());
  QCOMPARE(p.prompter.boxes.size(), boxes);
}

// The real Open dialog takes a name that does not exist once the user says
// Yes to creating it.
void DocumentTest::openDialogAsksBeforeCreating() {
  QTemporaryDir dir;
  const QString path = dir.filePath("new.txt");
  QtPrompter prompter;
  FileDialogRequest request;
  request.initialFolder = dir.path().toStdString();
  request.askBeforeCreate = true;
  QString question;
  answermodal([&path, &question](QWidget* w) {
    auto* files = qobject_cast<QFileDialog*>(w);
    QVERIFY(files);
    answermodal([&question](QWidget* box) {
      auto* message = qobject_cast<QMessageBox*>(box);
      QVERIFY(message);
      question = message->text();
      message->done(QMessageBox::Yes);
    });
    files->selectFile(path);
    static_cast<QDialog*>(files)->accept();
    if (files->isVisible()) files->reject();  // the name was refused
  });
  QCOMPARE(prompter.fileDialog(request), std::optional<std::string>(path.toStdString()));
  QCOMPARE(question, QString("new.txt\nThis file does not exist.\nCreate it?"));
}

void DocumentTest::lineEndsRoundTrip() {
  Program p;
  TextDocument& doc = p.window().document();
  QPlainTextEdit& edit = p.window().editor();
  writefile(p.path("report.txt"), "first\r\nsecond\r\n");
  doc.docload(p.spath("report.txt"));
  QCOMPARE(edit.toPlainText(), QString("first\nsecond\n"));
  QCOMPARE(edit.document()->blockCount(), 3);
  edit.moveCursor(QTextCursor::End);
  edit.insertPlainText("third\n");
  p.window().runcommand(1004);
  QCOMPARE(readfile(p.path("report.txt")), QByteArray("first\r\nsecond\r\nthird\r\n"));

  // Every other file is written back byte for byte, each line with its own
  // line end (bytes that are not UTF-8 too); a line added to a file that is
  // not CR LF throughout gets a bare line feed.
  struct Case {
    QByteArray file, added, saved;
  };
  for (const Case& c : {Case{"a\nb\xe9\n", "", "a\nb\xe9\n"}, Case{"a\r\nb\nc\r\n", "", "a\r\nb\nc\r\n"},
                        Case{"a\rb\r\nc", "", "a\rb\r\nc"}, Case{"a\r\nb\n", "new\n", "a\r\nb\nnew\n"},
                        Case{"", "new\n", "new\r\n"}}) {
    writefile(p.path("other.txt"), c.file);
    doc.docload(p.spath("other.txt"));
    edit.moveCursor(QTextCursor::End);
    edit.insertPlainText(QString::fromLatin1(c.added));
    edit.document()->setModified(true);
    p.window().runcommand(1004);
    QCOMPARE(readfile(p.path("other.txt")), c.saved);
  }
}

void DocumentTest::saveAsOwnPathCutsOldContent() {
  Program p;
  TextDocument& doc = p.window().document();
  writefile(p.path("doc.txt"), "a much longer old content\r\n");
  doc.docload(p.spath("doc.txt"));
  p.window().editor().setPlainText("short");
  p.prompter.files.push_back(p.spath("doc.txt"));
  p.window().runcommand(1005);
  QCOMPARE(readfile(p.path("doc.txt")), QByteArray("short"));
  QVERIFY(!doc.modified());

  // Save As elsewhere: the new file is the document, its title the caption.
  p.prompter.files.push_back(p.spath("other.txt"));
  p.window().runcommand(1005);
  QCOMPARE(readfile(p.path("other.txt")), QByteArray("short"));
  QCOMPARE(p.window().windowTitle(), QString("other.txt"));
  QCOMPARE(doc.path(), p.spath("other.txt"));
  // Cancel sets the error flag and changes nothing.
  p.window().runcommand(1005);
  QVERIFY(doc.failed());
  QCOMPARE(doc.path(), p.spath("other.txt"));
}

void DocumentTest::zeroByteEndsTheText() {
  Program p;
  writefile(p.path("z.txt"), QByteArray("before\0after", 12));
  p.window().document().docload(p.spath("z.txt"));
  QCOMPARE(p.window().editor().toPlainText(), QString("before"));
}

void DocumentTest::questionsGuardUnsavedChanges() {
  Program p;
  TextDocument& doc = p.window().document();
  QPlainTextEdit& edit = p.window().editor();
  writefile(p.path("one.txt"), "one");
  writefile(p.path("two.txt"), "two");
  doc.docload(p.spath("one.txt"));
  edit.insertPlainText("edited ");

  // Open with unsaved changes asks the revert question with the new title;
  // Cancel keeps the old text while the new file is already the document.
  p.prompter.files.push_back(p.spath("two.txt"));
  p.window().runcommand(1002);
  QCOMPARE(p.prompter.boxes.back().text, QString("Revert to most recently saved version of document\"two.txt\"?"));
  QCOMPARE(p.prompter.boxes.back().caption, QString("???"));
  QCOMPARE(p.prompter.boxes.back().buttons, BoxButtons::OkCancel);
  QCOMPARE(edit.toPlainText(), QString("edited one"));
  QCOMPARE(doc.path(), p.spath("two.txt"));
  // Revert with Ok reads the file.
  p.prompter.answers.push_back(BoxAnswer::Ok);
  p.window().runcommand(1006);
  QCOMPARE(edit.toPlainText(), QString("two"));

  // New with unsaved changes: Cancel keeps everything; No empties the text.
  edit.insertPlainText("x");
  p.prompter.answers.push_back(BoxAnswer::Cancel);
  p.window().runcommand(1001);
  QCOMPARE(p.prompter.boxes.back().text, QString("Save document \"two.txt\" before closing?"));
  QCOMPARE(p.prompter.boxes.back().buttons, BoxButtons::YesNoCancel);
  QCOMPARE(edit.toPlainText(), QString("xtwo"));
  QVERIFY(doc.holdsfile());
  p.prompter.answers.push_back(BoxAnswer::No);
  p.window().runcommand(1001);
  QCOMPARE(edit.toPlainText(), QString());
  QCOMPARE(doc.title(), QString("Quillmoor"));
  QVERIFY(!doc.holdsfile());
  QCOMPARE(readfile(p.path("two.txt")), QByteArray("two"));

  // Revert without a file asks and leaves the text.
  edit.insertPlainText("kept");
  p.prompter.answers.push_back(BoxAnswer::Ok);
  p.window().runcommand(1006);
  QCOMPARE(edit.toPlainText(), QString("kept"));
}

void DocumentTest::fileIsHeldWhileItIsTheDocument() {
  Program p;
  writefile(p.path("held.txt"), "held");
  p.window().document().docload(p.spath("held.txt"));
  // Another process may read the file but gets no write lock on it.
  const std::string path = p.spath("held.txt");
  auto otherprocess = [&path]() {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int fd = ::open(path.c_str(), O_RDWR);
      char c;
      struct flock lock {};
      lock.l_type = F_WRLCK;
      lock.l_whence = SEEK_SET;
      const bool readable = fd >= 0 && ::read(fd, &c, 1) == 1;
      const bool writelock = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0;
      ::_exit(readable ? (writelock ? 2 : 1) : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WEXITSTATUS(status);
  };
  QCOMPARE(otherprocess(), 1);
  p.window().document().releasefile();
  QCOMPARE(otherprocess(), 2);
}

// A save that meets a full disk fails and leaves the file as it was (the
// disk is a small tmpfs on a private mount; root only).
void DocumentTest::saveOnAFullDiskKeepsTheFile() {
  Program p;
  const std::string folder = p.spath("full");
  ::mkdir(folder.c_str(), 0777);
  if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
    QSKIP("no private tmpfs here (needs root)");
  const QString path = p.path("full/doc.txt");
  writefile(path, "old content\r\n");
  TextDocument& doc = p.window().document();
  doc.docload(path.toStdString());
  struct statvfs fsinfo {};
  QCOMPARE(::statvfs(folder.c_str(), &fsinfo), 0);
  writefile(p.path("full/filler"), QByteArray(static_cast<qsizetype>(fsinfo.f_bavail * fsinfo.f_bsize), 'x'));
  p.window().editor().setPlainText(QString(20000, u'n'));
  p.window().editor().document()->setModified(true);
  p.window().runcommand(1004);
  const bool failed = doc.failed();
  const QByteArray kept = readfile(path);
  doc.releasefile();
  ::umount2(folder.c_str(), MNT_DETACH);
  QVERIFY(failed);
  QCOMPARE(kept, QByteArray("old content\r\n"));
  QVERIFY(doc.modified());
}
