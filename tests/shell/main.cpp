// The desktop program's tests, run offscreen. The first argument names the
// group to run (all groups when none); the rest go to QTest.
#include <QApplication>
#include <QTest>
#include <cstring>
#include <vector>

#include "shell_tests.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  const char* group = argc > 1 && argv[1][0] != '-' ? argv[1] : "";
  std::vector<char*> args{argv[0]};
  for (int i = *group ? 2 : 1; i < argc; ++i) args.push_back(argv[i]);
  const int n = static_cast<int>(args.size());

  MenusTest menus;
  DocumentTest document;
  CloseTest closing;
  DisplayTest display;
  ProgressTest progress;
  CommandFileTest commandfile;
  ResultsTest results;
  const std::pair<const char*, QObject*> groups[] = {{"menus", &menus},       {"document", &document},
                                                     {"close", &closing},     {"display", &display},
                                                     {"progress", &progress}, {"commandfile", &commandfile},
                                                     {"results", &results}};
  int failures = 0;
  for (const auto& [name, test] : groups)
    if (!*group || std::strcmp(group, name) == 0) failures += QTest::qExec(test, n, args.data());
  return failures;
}
