// The results window: the picture of a table and a tree on screen, the
// tree operations, the exports, and the outputs of the last run.
#include <QImage>
#include <QPdfWriter>
#include <QSignalSpy>
#include <QTest>
#include <set>

#include "frame/cmdfile.h"
#include "harness.h"
#include "results/resultsview.h"
#include "results/scenepainter.h"
#include "results/resultswindow.h"
#include "shell/mainwindow.h"
#include "shell_tests.h"

using namespace lorvane;
using namespace lorvane::test;

namespace {

const char* const kTable =
    "5\n"
    "A          0 0.1 0.5 0.6 0.9\n"
    "B          0.1 0 0.5 0.6 0.9\n"
    "C          0.5 0.5 0 0.2 0.8\n"
    "D          0.6 0.6 0.2 0 0.8\n"
    "E          0.9 0.9 0.8 0.8 0\n";
const char* const kTree = "((A:1,B:1)90:1,(C:1,D:1)40:1,E:2);\n";

struct Shown {
  QTemporaryDir dir;
  ResultsWindow window;
  QString path(const QString& name) const { return dir.filePath(name); }
  Shown() {
    writefile(path("t.phy"), kTable);
    writefile(path("t.nwk"), kTree);
    window.style().supportthreshold = 0;
    window.resize(800, 600);
    window.show();
  }
  bool open(const QString& table, const QString& tree) {
    QSignalSpy spy(&window, &ResultsWindow::loaded);
    window.open(table, tree);
    return spy.wait(20000);
  }
  bool wait() {
    QSignalSpy spy(&window, &ResultsWindow::loaded);
    return spy.wait(20000);
  }
  const drawing::Geometry& geometry() { return window.view().scene().geometry; }
};

// The leaf names under a node of a tree.
std::set<std::string> leavesunder(const Tree& t, int node) {
  std::set<std::string> names;
  std::vector<int> stack{node};
  while (!stack.empty()) {
    const int n = stack.back();
    stack.pop_back();
    if (n < t.leaves()) names.insert(t.names[static_cast<std::size_t>(n)]);
    for (int c : t.nodes[static_cast<std::size_t>(n)].children) stack.push_back(c);
  }
  return names;
}

// The node each support text labels, by text.
std::map<std::string, int> supportlabels(const drawing::Scene& scene, const Tree& t) {
  std::map<std::string, int> labels;
  for (const drawing::Item& item : scene.items)
    if (const auto* text = std::get_if<drawing::Text>(&item); text && text->node >= t.leaves())
      labels[text->text] = text->node;
  return labels;
}

}  // namespace

void ResultsTest::tableAndTreeShowInTipOrder() {
  Shown s;
  QVERIFY(s.open(s.path("t.phy"), s.path("t.nwk")));
  const drawing::Geometry& g = s.geometry();
  QCOMPARE(g.tips, drawing::tiporder(*s.window.tree()));
  // Every heat map row is the table row of the tip's strain.
  for (std::size_t k = 0; k < g.tips.size(); ++k)
    QCOMPARE(s.window.table()->names[static_cast<std::size_t>(g.tablerows[k])],
             s.window.tree()->names[static_cast<std::size_t>(g.tips[k])]);

  // The screen shows each cell in the colour of its value, as the scene says.
  const double scale = 3;
  const QImage image = s.window.render(scale);
  for (const auto& [row, column] : {std::pair{0, 1}, {0, 4}, {2, 3}, {1, 1}}) {
    const double v = (*s.window.table())(g.tablerows[static_cast<std::size_t>(row)], g.tablerows[static_cast<std::size_t>(column)]);
    const QColor expected = qcolour(drawing::viridis((v - g.low) / (g.high - g.low)));
    const QPointF centre(g.mapx + (column + 0.5) * g.cellwidth, g.mapy + (row + 0.5) * g.rowheight);
    const QColor got = image.pixelColor((centre * scale).toPoint());
    QVERIFY2(std::abs(got.red() - expected.red()) + std::abs(got.green() - expected.green()) +
                     std::abs(got.blue() - expected.blue()) <= 6,
             qPrintable(QString("cell %1,%2: %3 for %4").arg(row).arg(column).arg(got.name(), expected.name())));
    // The pointer over the cell names both strains and the value.
    const QString text = s.window.view().describecell(row, column);
    QVERIFY2(text.endsWith(": " + QString::number(v)), qPrintable(text));
  }

  // A click on a cell highlights its row and column; one on a tip name its row.
  ResultsView& view = s.window.view();
  QTest::mouseClick(&view, Qt::LeftButton, {},
                    view.towidget(QPointF(g.mapx + 3.5 * g.cellwidth, g.mapy + 2.5 * g.rowheight)).toPoint());
  QCOMPARE(view.selectedrow(), 2);
  QTest::mouseClick(&view, Qt::LeftButton, {}, view.towidget(QPointF(g.mapx - 2, g.top + 4.5 * g.rowheight)).toPoint());
  QCOMPARE(view.selectedrow(), 4);
  const int leaf = g.tips[4];
  QTest::mouseClick(&view, Qt::LeftButton, {}, view.towidget(QPointF(g.nodes[static_cast<std::size_t>(leaf)].x, g.nodes[static_cast<std::size_t>(leaf)].y)).toPoint());
  QCOMPARE(view.selectednode(), leaf);

  // A tree alone, then a table alone.
  QVERIFY(s.open(QString(), s.path("t.nwk")));
  QVERIFY(s.window.table().has_value());
  Shown t;
  QVERIFY(t.open(t.path("t.phy"), QString()));
  QCOMPARE(t.geometry().tips.size(), std::size_t{5});
  QSignalSpy failed(&t.window, &ResultsWindow::failed);
  t.window.open(t.path("missing.phy"), QString());
  QVERIFY(failed.wait(20000));
  QCOMPARE(t.geometry().tips.size(), std::size_t{5});
}

void ResultsTest::rerootKeepsSupportAndExportsWrite() {
  Shown s;
  QVERIFY(s.open(s.path("t.phy"), s.path("t.nwk")));
  auto clades = [&s] {
    std::map<std::string, std::set<std::string>> sides;
    const Tree& t = *s.window.tree();
    for (const auto& [text, node] : supportlabels(s.window.view().scene(), t)) {
      std::set<std::string> under = leavesunder(t, node);
      // The edge's split: the side without A.
      if (under.count("A")) {
        std::set<std::string> other;
        for (const std::string& n : t.names)
          if (!under.count(n)) other.insert(n);
        under = other;
      }
      sides[text] = under;
    }
    return sides;
  };
  const auto before = clades();
  QCOMPARE(before.at("90"), (std::set<std::string>{"C", "D", "E"}));
  QCOMPARE(before.at("40"), (std::set<std::string>{"C", "D"}));
  // Re-rooted on the edge above C: the support stays on the same splits.
  int c = 0;
  while (s.window.tree()->names[static_cast<std::size_t>(c)] != "C") ++c;
  s.window.reroot(c);
  QVERIFY(s.wait());
  QVERIFY(s.window.tree()->rooted);
  QCOMPARE(clades(), before);
  // Collapse below 50: the edge of 40 goes, the one of 90 stays.
  s.window.collapse(50);
  QVERIFY(s.wait());
  QCOMPARE(clades().count("40"), std::size_t{0});
  QCOMPARE(clades().count("90"), std::size_t{1});

  QString error;
  QVERIFY(s.window.exportsvg(s.path("p.svg"), error));
  QVERIFY(readfile(s.path("p.svg")).contains("<svg"));
  QVERIFY(s.window.exportpng(s.path("p.png"), 144, error));
  const QImage png(s.path("p.png"));
  QCOMPARE(png.width(), static_cast<int>(std::ceil(s.window.view().scene().width * 2)));
  QVERIFY(s.window.exportpdf(s.path("p.pdf"), error));
  QVERIFY(readfile(s.path("p.pdf")).startsWith("%PDF"));
  QVERIFY(s.window.exporttable(s.path("p.csv"), true, error));
  QCOMPARE(readfile(s.path("p.csv")), QByteArray::fromStdString(csvtable(*s.window.table())).replace("\n", "\r\n"));
  QVERIFY(s.window.exporttable(s.path("p.phy"), false, error));
  QVERIFY(readfile(s.path("p.phy")).startsWith("5\r\nA "));
  QVERIFY(!s.window.exporttable(s.path("no/such/folder.csv"), true, error));
  QVERIFY(!error.isEmpty());
}

void ResultsTest::lastRunIsOffered() {
  Program p;
  QFile::copy(LORVANE_EXAMPLE_INPUT, p.path("strains.txt"));
  const std::string cmd = p.examplecommandfile("stops.cmd", p.spath("strains.txt"));
  writefile(p.path("stops.cmd"), readfile(p.path("stops.cmd")) + "----------\n");
  p.window().enablepopup(3);
  QVERIFY(!p.window().menuaction(1502)->isEnabled());
  p.window().runcommandfiles({QString::fromStdString(cmd)});
  const RunResult* last = p.window().lastresult();
  QVERIFY(last && QFileInfo::exists(QString::fromStdString(last->tablefile)));
  QVERIFY(!last->tree && !last->table);
  p.window().enablepopup(3);
  QVERIFY(p.window().menuaction(1502)->isEnabled());
  QSignalSpy spy(&p.window().results(), &ResultsWindow::loaded);
  p.window().runcommand(1502);
  QVERIFY(spy.wait(20000));
  QCOMPARE(p.window().results().table()->size(), 6);
  p.window().results().close();
}

void ResultsTest::scatterNamesThePointUnderThePointer() {
  Shown s;
  writefile(s.path("t.pcoa.csv"), "name,axis1,axis2\r\nA,-0.4,0.1\r\n\"B, b\",0.35,0.2\r\nC,0.05,-0.3\r\n");
  writefile(s.path("t.eig.csv"), "axis,eigenvalue,share,cumulative\r\n1,2,0.5,0.5\r\n2,1,0.25,0.75\r\n");
  QVERIFY(s.open(s.path("t.pcoa.csv"), QString()));
  QCOMPARE(s.window.coordinates()->size(), 3);
  QVERIFY(!s.window.table() && !s.window.tree());
  ResultsView& view = s.window.view();
  QSignalSpy hovered(&view, &ResultsView::hovered);
  const QStringList expected{"A (axis 1: -0.4, axis 2: 0.1)", "B, b (axis 1: 0.35, axis 2: 0.2)",
                             "C (axis 1: 0.05, axis 2: -0.3)"};
  for (int i = 0; i < 3; ++i) {
    // At the marker's centre and at its edge.
    const drawing::Point p = s.geometry().points[static_cast<std::size_t>(i)];
    for (const double dx : {0.0, s.geometry().radius}) {
      QTest::mouseMove(&view, view.towidget(QPointF(p.x + dx, p.y)).toPoint());
      QTRY_VERIFY(!hovered.isEmpty());
      QCOMPARE(hovered.takeLast().at(0).toString(), expected[i]);
    }
  }
  // Away from every point: nothing.
  QTest::mouseMove(&view, view.towidget(QPointF(s.geometry().framex + 1, s.geometry().framey + 1)).toPoint());
  QTRY_VERIFY(!hovered.isEmpty());
  QCOMPARE(hovered.takeLast().at(0).toString(), QString());
  // Axis 2 across and axis 1 up: the points turn about the diagonal.
  QVERIFY(!s.window.setaxes(1, 3));
  QVERIFY(s.window.setaxes(2, 1));
  QVERIFY(s.wait());
  const auto& p = s.geometry().points;
  QVERIFY(p[2].x < p[0].x && p[0].x < p[1].x && p[1].y < p[2].y && p[2].y < p[0].y);
  QTest::mouseMove(&view, view.towidget(QPointF(p[1].x, p[1].y)).toPoint());
  QTRY_COMPARE(hovered.last().at(0).toString(), QStringLiteral("B, b (axis 2: 0.2, axis 1: 0.35)"));
  // A table opened after it takes its place.
  QVERIFY(s.open(s.path("t.phy"), QString()));
  QVERIFY(!s.window.coordinates() && s.geometry().points.empty());
}
