// The parameter dialog and the value prompt, driven through their control ids.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cstdlib>
#include <functional>
#include <map>

#include "../testutil.h"
#include "runs/catalogue.h"
#include "core/datafile.h"
#include "core/textio.h"
#include "dialogs/qt/paramdialog.h"
#include "dialogs/qt/valueprompt.h"
#include "frame/cmdfile.h"

using namespace lorvane;

namespace {

template <class T>
T* control(QWidget* dialog, int id) {
  return dialog->findChild<T*>(QString::number(id));
}

// Acts on the modal dialog that the next exec() shows; gives up after a
// few seconds so that a dialog that never appears cannot hang the test.
void whenmodal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, act] {
    QWidget* w = QApplication::activeModalWidget();
    if (w || ++*tries > 300) {
      timer->stop();
      timer->deleteLater();
      if (w) act(w);
    }
  });
  timer->start(10);
}

using test::readfile;
using test::writefile;

// Layouts for the filters and the Set actions.
constexpr const char* kFilterLayout =
    "All\n[text,,]One text\n[text,a,]One bin\n[bin,a,]Two\n[text,mt,]Three\n[text,tab,]Four\n[bin,xlsx,]"
    "Long\n[text,toolong,]New file\n[new,,]";
constexpr const char* kOddTypesLayout = "Capital\n[Bin,,]Blank\n[ text,,]Number\nhelp line\n[int,,5]";

}  // namespace

class ParamDialogTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir data_;
  QTemporaryDir work_;
  test::RecordingWindowSystem ws_;
  std::unique_ptr<Frame> frame_;
  std::vector<std::string> runs_;  // "option: answers" of each run

  std::string workpath(const std::string& name) const { return work_.path().toStdString() + "/" + name; }
  void recordruns() {
    frame_->registry.handler = [this](Frame& f, int option) {
      std::string s = std::to_string(option) + ":";
      for (int i = 1; i <= kMaxParameters; ++i) s += f.store.answers[static_cast<std::size_t>(i)] + "|";
      runs_.push_back(s);
      ws_.events.emplace_back("run");
      return std::shared_ptr<const RunOutcome>();
    };
  }
  void addoption(int option, const char* layout, int count) {
    frame_->registry.layout[static_cast<std::size_t>(option)] = layout;
    frame_->registry.paramcount[static_cast<std::size_t>(option)] = count;
  }

 private slots:
  void initTestCase() {
    QVERIFY(data_.isValid() && work_.isValid());
  }
  void init() {
    ws_ = test::RecordingWindowSystem{};
    runs_.clear();
    frame_ = std::make_unique<Frame>(ws_, data_.filePath("lorvane").toStdString());
    registermodule(*frame_);
    recordruns();
  }
  void cleanup() { frame_->shutdown(); }

  void rowsFollowTheParameterCount() {
    ParamDialog simple(nullptr, dialogframe(*frame_), ws_, 1);
    QCOMPARE(simple.windowTitle(), QString("Simple computation"));
    QVERIFY(control<QPushButton>(&simple, 1)->isDefault());
    for (int k = 1; k <= kDialogRows; ++k) {
      const bool shown = k <= 6;
      const auto at = static_cast<std::size_t>(k);
      for (const RowIds* ids : {&kCaptionIds, &kFirstNumberIds, &kSecondNumberIds, &kEditIds, &kSetIds}) {
        QWidget* w = control<QWidget>(&simple, (*ids)[at]);
        QVERIFY2(w, qPrintable(QString::number((*ids)[at])));
        QCOMPARE(w->isHidden(), !shown);
        QCOMPARE(w->isEnabled(), shown);
      }
      QCOMPARE(control<QLineEdit>(&simple, kEditIds[at])->text(), QString());
      QCOMPARE(control<QLabel>(&simple, kFirstNumberIds[at])->text(), QString(" "));
    }
    QCOMPARE(control<QLabel>(&simple, 1101)->text(), QString("Input file"));
    QCOMPARE(control<QLabel>(&simple, 1116)->text(), QString("Index : Jaccard(1), Dice(2) or Nei&Li(3) ?"));
    QCOMPARE(frame_->store.descriptors[4], std::string("int,1,3"));

    ParamDialog boot(nullptr, dialogframe(*frame_), ws_, 2);
    QCOMPARE(boot.windowTitle(), QString("Bootstrap computation"));
    QCOMPARE(control<QLabel>(&boot, 1126)->text(), QString("Number of bootstrap repetitions : "));

  }

  void okWithEmptyFieldsStillRuns() {
    frame_->store.answers[7] = "kept";
    whenmodal([](QWidget* d) { QTest::mouseClick(control<QPushButton>(d, 1), Qt::LeftButton); });
    paramdialog(nullptr, *frame_, 1301);
    QCOMPARE(frame_->store.currentoption, 1);
    QCOMPARE(runs_, std::vector<std::string>{"1:||||||kept||||"});
    QCOMPARE(ws_.events, (std::vector<std::string>{"wait", "run", "arrow"}));
    // The run banner went to the temporary report before the run.
    QVERIFY(frame_->files.temporaryreportopen());
    std::fflush(frame_->files.report().get());
    QVERIFY(readfile(frame_->files.temporaryreportpath()).find("Quillmoor: Simple computation") != std::string::npos);

    // Enter in an edit field acts as Ok.
    whenmodal([](QWidget* d) {
      auto* e = control<QLineEdit>(d, 1124);
      QTest::keyClicks(e, "3");
      QTest::keyClick(e, Qt::Key_Return);
    });
    paramdialog(nullptr, *frame_, 1302);
    QCOMPARE(runs_.back(), std::string("2:||||3||kept||||"));
  }

  void cancelAndEscapeChangeNothing() {
    for (int i = 1; i <= 6; ++i) frame_->store.answers[static_cast<std::size_t>(i)] = "a" + std::to_string(i);
    const AnswerStore before = frame_->store;
    whenmodal([](QWidget* d) {
      QTest::keyClicks(control<QLineEdit>(d, 1104), "typed");
      QTest::mouseClick(control<QPushButton>(d, 2), Qt::LeftButton);
    });
    paramdialog(nullptr, *frame_, 1301);
    whenmodal([](QWidget* d) {
      QTest::keyClicks(control<QLineEdit>(d, 1104), "typed");
      QTest::keyClick(d, Qt::Key_Escape);
    });
    paramdialog(nullptr, *frame_, 1301);
    QVERIFY(runs_.empty());
    QCOMPARE(frame_->store.answers, before.answers);
    QVERIFY(!frame_->files.temporaryreportopen());
    QVERIFY(ws_.events.empty());
  }

  void setChangesOnlyItsRow() {
    ParamDialog d(nullptr, dialogframe(*frame_), ws_, 1);
    for (int k = 1; k <= 6; ++k) d.edit(k)->setText(QString("r%1").arg(k));
    frame_->dialogs.setfilename("/earlier/choice");
    frame_->dialogs.setfolder("/default/folder");

    ws_.answers = {std::string("/data/bands.txt")};
    QTest::mouseClick(d.setbutton(1), Qt::LeftButton);
    QCOMPARE(ws_.requests.size(), std::size_t{1});
    const FileDialogRequest& r = ws_.requests.back();
    QVERIFY(r.kind == FileDialogRequest::Kind::Open);
    QCOMPARE(r.fileName, std::string("/earlier/choice"));
    QCOMPARE(r.initialFolder, std::string("/default/folder"));
    QCOMPARE(frame_->dialogs.filename(), std::string("/data/bands.txt"));
    QCOMPARE(d.edit(1)->text(), QString("/data/bands.txt"));
    QCOMPARE(d.firstnumber(1)->text(), QString(" "));  // a text row has no counts

    // A cancelled dialog leaves the row; with help messages on the label comes first.
    frame_->files.togglehelpmessages();
    QTest::mouseClick(d.setbutton(1), Qt::LeftButton);
    QCOMPARE(d.edit(1)->text(), QString("/data/bands.txt"));
    QCOMPARE(ws_.infos, std::vector<std::string>{"Input file\n"});
    QCOMPARE(ws_.events, (std::vector<std::string>{"file", "beep", "info", "file"}));

    // A value row opens the prompt, without any help message.
    int prompts = 0;
    d.runprompt = [&prompts](ValuePrompt& p) {
      ++prompts;
      QTest::keyClicks(p.edit(), "7");
      p.ok();
    };
    QTest::mouseClick(d.setbutton(2), Qt::LeftButton);
    QCOMPARE(prompts, 1);
    QCOMPARE(ws_.infos.size(), std::size_t{1});
    QCOMPARE(d.edit(2)->text(), QString("7"));
    for (int k = 3; k <= 6; ++k) QCOMPARE(d.edit(k)->text(), QString("r%1").arg(k));

    // Type words are matched exactly: these Set buttons do nothing.
    addoption(3, kOddTypesLayout, 3);
    ParamDialog odd(nullptr, dialogframe(*frame_), ws_, 3);
    odd.runprompt = [&prompts](ValuePrompt&) { ++prompts; };
    QTest::mouseClick(odd.setbutton(1), Qt::LeftButton);
    QTest::mouseClick(odd.setbutton(2), Qt::LeftButton);
    QCOMPARE(ws_.requests.size(), std::size_t{2});
    QCOMPARE(prompts, 1);
    QTest::mouseClick(odd.setbutton(3), Qt::LeftButton);
    QCOMPARE(prompts, 2);
  }

  void filtersFollowMin() {
    addoption(3, kFilterLayout, 8);
    ParamDialog d(nullptr, dialogframe(*frame_), ws_, 3);
    for (int k = 1; k <= 7; ++k) QTest::mouseClick(d.setbutton(k), Qt::LeftButton);
    const std::vector<std::pair<std::string, std::string>> expected{
        {"All files (*.*)", "*.*"},
        {"Files without extensions (*)", "*"},
        {"Files without extension (*)", "*"},
        {"Files with mt extension (*.*mt)", "*.*mt"},
        {"Files with tab extension (*.tab)", "*.tab"},
        {"Files with xlsx extension (*.xlsx)", "*.xlsx"},
        {"All files (*.*)", "*.*"},
    };
    QCOMPARE(ws_.requests.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      QCOMPARE(ws_.requests[i].filterDescription, expected[i].first);
      QCOMPARE(ws_.requests[i].filterPattern, expected[i].second);
    }
    // The save dialog keeps the last open dialog's filter and starts from the document.
    QTest::mouseClick(d.setbutton(6), Qt::LeftButton);
    ws_.document = "/reports/l-Lorvane.txt";
    ws_.answers = {std::string("/out/new.mat")};
    QTest::mouseClick(d.setbutton(8), Qt::LeftButton);
    const FileDialogRequest& save = ws_.requests.back();
    QVERIFY(save.kind == FileDialogRequest::Kind::Save);
    QCOMPARE(save.filterPattern, std::string("*.xlsx"));
    QCOMPARE(save.fileName, std::string("/reports/l-Lorvane.txt"));
    QCOMPARE(d.edit(8)->text(), QString("/out/new.mat"));
    QCOMPARE(frame_->dialogs.filename(), std::string("/out/new.mat"));
  }

  void binaryChooserShowsTrailerCounts() {
    addoption(3, "Matrix\n[bin,,]No extension\n[bin,a,]", 2);
    ParamDialog d(nullptr, dialogframe(*frame_), ws_, 3);
    const std::string matrix = workpath("dist.mat");
    writefile(matrix, std::string(3 * 4 * 4, '\0') + dimstrailer(3, 4));
    ws_.answers = {matrix};
    QTest::mouseClick(d.setbutton(1), Qt::LeftButton);
    QCOMPARE(d.edit(1)->text(), QString::fromStdString(matrix));
    QCOMPARE(d.firstnumber(1)->text(), QString("3"));
    QCOMPARE(d.secondnumber(1)->text(), QString("4"));

    // No trailer: the path is taken, the counts stay blank.
    const std::string plain = workpath("plain.mat");
    writefile(plain, "no numbers here at all");
    ws_.answers = {plain};
    QTest::mouseClick(d.setbutton(1), Qt::LeftButton);
    QCOMPARE(d.edit(1)->text(), QString::fromStdString(plain));
    QCOMPARE(d.firstnumber(1)->text(), QString(" "));

    // A one-letter min refuses any path with a dot, folders included.
    ws_.answers = {std::string("/data.d/matrix")};
    QTest::mouseClick(d.setbutton(2), Qt::LeftButton);
    QCOMPARE(d.edit(2)->text(), QString());
    QCOMPARE(frame_->dialogs.filename(), std::string("/data.d/matrix"));
    ws_.answers = {std::string("/nowhere/matrix")};
    QTest::mouseClick(d.setbutton(2), Qt::LeftButton);
    QCOMPARE(d.edit(2)->text(), QString("/nowhere/matrix"));
    QCOMPARE(d.edit(1)->text(), QString::fromStdString(plain));
  }

  void promptShowsLabelLines() {
    QLineEdit row;
    row.setText("old");
    ValuePrompt one(nullptr, "Length of recognition sites : \n", &row);
    QCOMPARE(one.line(1)->text(), QString("Length of recognition sites : "));
    for (int k = 2; k <= kPromptLines; ++k) QCOMPARE(control<QLabel>(&one, 1502 + k)->text(), QString(" "));
    QCOMPARE(one.edit()->text(), QString());  // starts empty whatever the row holds
    one.ok();
    QCOMPARE(row.text(), QString("old"));
    QCOMPARE(one.result(), int(QDialog::Accepted));

    std::string label;
    for (int k = 1; k <= 14; ++k) label += "line " + std::to_string(k) + (k == 3 ? "" : " text") + "\n";
    label.replace(label.find("line 5 text"), 11, "");
    ValuePrompt many(nullptr, label, &row);
    QCOMPARE(control<QLabel>(&many, 1503)->text(), QString("line 1 text"));
    QCOMPARE(control<QLabel>(&many, 1505)->text(), QString("line 3"));
    QCOMPARE(control<QLabel>(&many, 1507)->text(), QString());  // an empty line still counts
    QCOMPARE(control<QLabel>(&many, 1514)->text(), QString("line 12 text"));
    QVERIFY(!many.findChild<QLabel*>("1515"));
    QTest::keyClicks(many.edit(), "abc");
    QTest::keyClick(many.edit(), Qt::Key_Escape);
    QCOMPARE(many.result(), int(QDialog::Rejected));
    QCOMPARE(row.text(), QString("old"));
    ValuePrompt again(nullptr, label, &row);
    again.show();
    QTest::keyClicks(again.edit(), "abc");
    QTest::keyClick(again.edit(), Qt::Key_Return);
    QCOMPARE(again.result(), int(QDialog::Accepted));
    QCOMPARE(row.text(), QString("abc"));
  }

  void presetOptionOpensOnlyRegisteredOptions() {
    QString title;
    whenmodal([&title](QWidget* d) {
      title = d->windowTitle();
      QTest::mouseClick(control<QPushButton>(d, 2), Qt::LeftButton);
    });
    openpresetoption(nullptr, *frame_, 19);
    openpresetoption(nullptr, *frame_, 0);
    openpresetoption(nullptr, *frame_, 2);
    QCOMPARE(title, QString("Bootstrap computation"));
    QCOMPARE(frame_->store.currentoption, 2);
  }

  void interactiveRunWritesWhatACommandFileWrites() {
    registermodule(*frame_);
    const std::string input = workpath("bands.txt");
    writefile(input,
              "5 8\nstrain A  11010011\nstrain B  11010010\nstrain C  01110011\nstrain D  10011101\n"
              "strain E  11111111\n");
    ws_.answers = {input};
    whenmodal([](QWidget* w) {
      auto* d = qobject_cast<ParamDialog*>(w);
      QVERIFY(d);
      d->runprompt = [](ValuePrompt& p) {
        p.show();
        QTest::keyClicks(p.edit(), "6");
        QTest::keyClick(p.edit(), Qt::Key_Return);
      };
      QTest::mouseClick(d->setbutton(1), Qt::LeftButton);
      QTest::mouseClick(d->setbutton(2), Qt::LeftButton);
      QTest::keyClicks(d->edit(3), "0.5");
      QTest::keyClicks(d->edit(4), "2");
      QTest::keyClicks(d->edit(5), "1");
      QTest::mouseClick(control<QPushButton>(d, 1), Qt::LeftButton);
    });
    paramdialog(nullptr, *frame_, 1301);
    QVERIFY(!frame_->lastrunfailed());
    const std::vector<std::string> typed{input, "6", "0.5", "2", "1", ""};
    QCOMPARE(std::vector<std::string>(frame_->store.answers.begin() + 1, frame_->store.answers.begin() + 7), typed);

    std::map<std::string, std::string> outputs;
    for (const char* ext : {".matD", ".matDP", ".matDJC", ".matJ", ".matJP", ".nxy", ".matNL"}) {
      const std::string path = input + ext;
      if (QFile::exists(QString::fromStdString(path))) {
        outputs[ext] = readfile(path);
        QFile::remove(QString::fromStdString(path));
      }
    }
    QVERIFY(outputs.count(".matD") && outputs.count(".matDJC"));

    const std::string commands = workpath("run.cmd");
    writefile(commands, "Same run\n1\n6\n" + input + "\n6\n0.5\n2\n1\n\n");
    HeadlessWindowSystem headless;
    Frame batch(headless, data_.filePath("lorvane").toStdString());
    registermodule(batch);
    QVERIFY(runcommandfile(batch, commands).status == CommandFileResult::Status::Completed);
    for (const auto& [ext, bytes] : outputs) {
      QVERIFY2(readfile(input + ext) == bytes, ext.c_str());
    }
  }
};

QTEST_MAIN(ParamDialogTest)
#include "tst_paramdialog.moc"
