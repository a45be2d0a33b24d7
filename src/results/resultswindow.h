#pragma once
// The results window: a distance table as a heat map in the tree's tip
// order beside the tree with its support, or the scatter of principal
// coordinates (a NAME.pcoa.csv file). Tables and trees are read and
// laid out on a worker thread, with progress in the status bar, so the
// window answers while a large table loads.
#include <QMainWindow>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "drawing/scatter.h"
#include "drawing/scene.h"
#include "runs/runresult.h"

class QLabel;
class QProgressBar;

namespace lorvane {

class ResultsView;

class ResultsWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit ResultsWindow(QWidget* parent = nullptr);
  ~ResultsWindow() override;

  // Read a table (first of its file), a Newick tree, or both (an empty path
  // keeps what is shown) on the worker thread; loaded() is emitted when the
  // new picture shows, failed() with the message of an error. A table path
  // ending in ".pcoa.csv" is a coordinates file: its scatter (axes 1 and 2)
  // replaces the table and the tree.
  void open(const QString& tablepath, const QString& treepath);
  // What a run returned: its coordinates, or its table and tree, from memory
  // where the run kept them and from the file that holds its table where
  // it did not (a table streamed to its file).
  void open(const RunResult& result);
  bool busy() const { return busy_; }

  ResultsView& view() { return *view_; }
  const std::optional<DistanceTable>& table() const { return table_; }
  const std::optional<Tree>& tree() const { return shown_; }
  const std::optional<drawing::Coordinates>& coordinates() const { return coordinates_; }
  drawing::Style& style() { return style_; }

  // The axes of the scatter shown (1-based; y 0: a file of one axis).
  int xaxis() const { return xaxis_; }
  int yaxis() const { return yaxis_; }
  // The scatter of other axes, laid out again on the worker thread; false
  // when no scatter is shown or the file holds no such axes.
  bool setaxes(int x, int y);

  // The strains coloured by the first level of a groups file (a header
  // "name,LEVEL,..." and a row a strain shown); false (and the message in
  // `error`) when it cannot be read or does not name the strains shown.
  bool colourbygroup(const QString& path, QString& error);

  // Tree changes, laid out again on the worker thread.
  void reroot(int node);
  void collapse(double threshold);
  void restoretree();

  // Exports; false (and the message in `error`) when the file could not be
  // written.
  bool exportsvg(const QString& path, QString& error);
  bool exportpng(const QString& path, double dpi, QString& error);
  bool exportpdf(const QString& path, QString& error);
  bool exporttable(const QString& path, bool csv, QString& error);
  // The picture as an image at `scale` pixels a point.
  QImage render(double scale) const;

 signals:
  void loaded();
  void failed(const QString& message);

 private:
  struct Loaded;
  void buildmenus();
  void buildfilemenu();
  void buildtreemenu();
  void buildviewmenu();
  // Lays out a scatter of `c` on axes 1 and 2 (axis 1 alone for one axis).
  void openscatter(std::function<drawing::Coordinates()> read);
  // Run `work` on the worker thread; its result is shown on the GUI thread.
  void start(const QString& what, std::function<std::shared_ptr<Loaded>(std::atomic<double>&)> work);
  void finish(int generation, std::shared_ptr<Loaded> result, QString error);
  void relayout();
  drawing::ScatterStyle scatterstyle() const;
  void choose(const QString& what);
  QString describecell(int row, int column) const;
  QString describepoint(int point) const;

  ResultsView* view_;
  QProgressBar* progress_;
  QLabel* status_;
  std::optional<DistanceTable> table_;
  std::optional<Tree> tree_;   // as read
  std::optional<Tree> shown_;  // re-rooted or collapsed
  std::optional<drawing::Coordinates> coordinates_;  // a scatter is shown
  int xaxis_ = 1, yaxis_ = 2;
  drawing::Style style_;
  std::vector<std::thread> workers_;  // joined when the window goes
  std::shared_ptr<std::atomic<double>> fraction_;
  int generation_ = 0;
  bool busy_ = false;
};

}  // namespace lorvane
