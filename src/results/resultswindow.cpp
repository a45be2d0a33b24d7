#include "results/resultswindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProgressBar>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <cerrno>
#include <cmath>

#include "core/messages.h"
#include "core/textio.h"
#include "banddata/prepare.h"
#include "drawing/groups.h"
#include "results/resultsview.h"
#include "results/scenepainter.h"

namespace lorvane {

struct ResultsWindow::Loaded {
  std::optional<DistanceTable> table;
  std::optional<Tree> tree;   // as read (set when a tree file was read)
  std::optional<Tree> shown;  // what is drawn
  std::optional<drawing::Coordinates> coordinates;  // a scatter instead
  int xaxis = 1, yaxis = 2;                         // of these axes
  drawing::Scene scene;
};

namespace {

DistanceTable readfirsttable(const std::string& path, std::atomic<double>& fraction) {
  TableReader reader(path);
  DistanceTable table;
  fraction = 0.05;
  if (!reader.next(table)) errorstop("Error: " + path + " holds no table");
  return table;
}

Tree readtreefile(const std::string& path) {
  std::string text;
  if (!readwhole(path, text)) errorstop(filefault("Error: can't open tree file " + path, path, errno));
  return readnewick(text, path);
}

}  // namespace

ResultsWindow::ResultsWindow(QWidget* parent)
    : QMainWindow(parent), view_(new ResultsView(this)), progress_(new QProgressBar(this)), status_(new QLabel(this)) {
  setObjectName(QStringLiteral("results"));
  setWindowTitle(QStringLiteral("Results"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  setCentralWidget(view_);
  statusBar()->addWidget(status_, 1);
  statusBar()->addPermanentWidget(progress_);
  progress_->setRange(0, 1000);
  progress_->setMaximumWidth(200);
  progress_->hide();
  view_->describecell = [this](int row, int column) { return describecell(row, column); };
  view_->describepoint = [this](int point) { return describepoint(point); };
  connect(view_, &ResultsView::hovered, this, [this](const QString& text) { status_->setText(text); });
  connect(view_, &ResultsView::selectionchanged, this, [this](int row, int node) {
    const drawing::Geometry& g = view_->scene().geometry;
    QString text;
    if (row >= 0 && row < static_cast<int>(g.tips.size()) && shown_) {
      const int leaf = g.tips[static_cast<std::size_t>(row)];
      if (leaf >= 0 && leaf < shown_->leaves()) text = QString::fromStdString(shown_->names[static_cast<std::size_t>(leaf)]);
    } else if (row >= 0 && table_ && row < static_cast<int>(g.tablerows.size())) {
      const int r = g.tablerows[static_cast<std::size_t>(row)];
      if (r >= 0) text = QString::fromStdString(table_->names[static_cast<std::size_t>(r)]);
    }
    if (node >= 0) text += (text.isEmpty() ? "" : "; ") + QStringLiteral("edge above node %1 chosen").arg(node);
    status_->setText(text);
  });
  buildmenus();
  resize(1100, 760);
}

ResultsWindow::~ResultsWindow() {
  ++generation_;
  for (std::thread& t : workers_)
    if (t.joinable()) t.join();
}

void ResultsWindow::buildmenus() {
  buildfilemenu();
  buildtreemenu();
  buildviewmenu();
}

void ResultsWindow::buildfilemenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("Open &table..."), this, [this] { choose(QStringLiteral("table")); });
  file->addAction(QStringLiteral("Open t&ree..."), this, [this] { choose(QStringLiteral("tree")); });
  file->addSeparator();
  auto exporter = [this](const QString& title, const QString& filter, auto write) {
    return [this, title, filter, write] {
      const QString path = QFileDialog::getSaveFileName(this, title, QString(), filter);
      if (path.isEmpty()) return;
      QString error;
      if (!write(path, error)) QMessageBox::warning(this, title, error);
    };
  };
  file->addAction(QStringLiteral("Export as &SVG..."), this,
                  exporter("Export as SVG", "SVG pictures (*.svg)",
                           [this](const QString& p, QString& e) { return exportsvg(p, e); }));
  file->addAction(QStringLiteral("Export as &PNG..."), this, [this] {
    bool ok = false;
    const int dpi = QInputDialog::getInt(this, QStringLiteral("Export as PNG"), QStringLiteral("Resolution (dots per inch):"),
                                         300, 36, 2400, 1, &ok);
    if (!ok) return;
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export as PNG"), QString(),
                                                      QStringLiteral("PNG pictures (*.png)"));
    QString error;
    if (!path.isEmpty() && !exportpng(path, dpi, error)) QMessageBox::warning(this, QStringLiteral("Export as PNG"), error);
  });
  file->addAction(QStringLiteral("Export as P&DF..."), this,
                  exporter("Export as PDF", "PDF documents (*.pdf)",
                           [this](const QString& p, QString& e) { return exportpdf(p, e); }));
  file->addAction(QStringLiteral("Export table as P&HYLIP..."), this,
                  exporter("Export table as PHYLIP", "PHYLIP distance matrices (*.phy)",
                           [this](const QString& p, QString& e) { return exporttable(p, false, e); }));
  file->addAction(QStringLiteral("Export table as &CSV..."), this,
                  exporter("Export table as CSV", "CSV tables (*.csv)",
                           [this](const QString& p, QString& e) { return exporttable(p, true, e); }));
  file->addSeparator();
  file->addAction(QStringLiteral("&Close"), QKeySequence::Close, this, &QWidget::close);
}

void ResultsWindow::buildtreemenu() {
  QMenu* tree = menuBar()->addMenu(QStringLiteral("&Tree"));
  tree->addAction(QStringLiteral("&Re-root on the chosen edge"), this, [this] {
    if (view_->selectednode() < 0) {
      QMessageBox::information(this, QStringLiteral("Re-root"), QStringLiteral("Click a node of the tree first: the tree is re-rooted on the edge above it."));
      return;
    }
    reroot(view_->selectednode());
  });
  tree->addAction(QStringLiteral("&Collapse edges below support..."), this, [this] {
    bool ok = false;
    const double t = QInputDialog::getDouble(this, QStringLiteral("Collapse"), QStringLiteral("Support threshold (percent):"),
                                             style_.supportthreshold, 0, 100, 1, &ok);
    if (ok) collapse(t);
  });
  tree->addAction(QStringLiteral("&Support shown from..."), this, [this] {
    bool ok = false;
    const double t = QInputDialog::getDouble(this, QStringLiteral("Support"), QStringLiteral("Hide support below (percent):"),
                                             style_.supportthreshold, 0, 100, 1, &ok);
    if (!ok) return;
    style_.supportthreshold = t;
    relayout();
  });
  tree->addAction(QStringLiteral("&Tree as read"), this, [this] { restoretree(); });
}

void ResultsWindow::buildviewmenu() {
  QMenu* viewmenu = menuBar()->addMenu(QStringLiteral("&View"));
  viewmenu->addAction(QStringLiteral("Zoom &in"), QKeySequence::ZoomIn, this,
                      [this] { view_->zoomby(1.25, QPointF(view_->width() / 2.0, view_->height() / 2.0)); });
  viewmenu->addAction(QStringLiteral("Zoom &out"), QKeySequence::ZoomOut, this,
                      [this] { view_->zoomby(0.8, QPointF(view_->width() / 2.0, view_->height() / 2.0)); });
  viewmenu->addAction(QStringLiteral("&Fit in window"), this, [this] { view_->fit(); });
  viewmenu->addAction(QStringLiteral("&Colour by group..."), this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Colour by group"), QString(),
                                                      QStringLiteral("Groups files (*.csv *.tsv *.txt);;All files (*)"));
    QString error;
    if (!path.isEmpty() && !colourbygroup(path, error)) QMessageBox::warning(this, QStringLiteral("Colour by group"), error);
  });
  viewmenu->addAction(QStringLiteral("Scatter &axes..."), this, [this] {
    if (!coordinates_ || coordinates_->axiscount() < 2) {
      QMessageBox::information(this, QStringLiteral("Scatter axes"),
                               QStringLiteral("Open a principal coordinates file of two axes or more first."));
      return;
    }
    const int count = coordinates_->axiscount();
    bool ok = false;
    const int x = QInputDialog::getInt(this, QStringLiteral("Scatter axes"), QStringLiteral("Axis across:"), xaxis_, 1,
                                       count, 1, &ok);
    if (!ok) return;
    const int y = QInputDialog::getInt(this, QStringLiteral("Scatter axes"), QStringLiteral("Axis up:"),
                                       x == yaxis_ ? xaxis_ : yaxis_, 1, count, 1, &ok);
    if (ok) setaxes(x, y);
  });
}

void ResultsWindow::choose(const QString& what) {
  const bool table = what == QLatin1String("table");
  const QString path = QFileDialog::getOpenFileName(
      this, table ? QStringLiteral("Open a distance table") : QStringLiteral("Open a Newick tree"), QString(),
      table ? QStringLiteral("Distance tables (*);;Principal coordinates (*.pcoa.csv)") : QStringLiteral("Newick trees (*.nwk *.tre *.tree *.newick);;All files (*)"));
  if (path.isEmpty()) return;
  open(table ? path : QString(), table ? QString() : path);
}

void ResultsWindow::open(const QString& tablepath, const QString& treepath) {
  const std::string tpath = tablepath.toStdString(), npath = treepath.toStdString();
  std::optional<DistanceTable> table = tablepath.isEmpty() ? table_ : std::nullopt;
  std::optional<Tree> tree = treepath.isEmpty() ? shown_ : std::nullopt;
  const drawing::Style style = style_;
  setWindowTitle(QStringLiteral("Results: ") + QFileInfo(tablepath.isEmpty() ? treepath : tablepath).fileName());
  if (tablepath.endsWith(QLatin1String(".pcoa.csv"))) {
    openscatter([tpath] { return drawing::readcoordinates(tpath); });
    return;
  }
  start(QStringLiteral("Reading"), [=](std::atomic<double>& fraction) mutable {
    auto out = std::make_shared<Loaded>();
    out->table = tpath.empty() ? std::move(table) : std::optional<DistanceTable>(readfirsttable(tpath, fraction));
    fraction = 0.6;
    if (!npath.empty()) out->tree = readtreefile(npath);
    out->shown = npath.empty() ? std::move(tree) : out->tree;
    fraction = 0.7;
    out->scene = drawing::layout(out->shown ? &*out->shown : nullptr, out->table ? &*out->table : nullptr, style);
    return out;
  });
}

void ResultsWindow::openscatter(std::function<drawing::Coordinates()> read) {
  start(QStringLiteral("Reading"), [read = std::move(read), scatter = scatterstyle()](std::atomic<double>& fraction) {
    auto out = std::make_shared<Loaded>();
    out->coordinates = read();
    fraction = 0.7;
    out->yaxis = out->coordinates->axiscount() >= 2 ? 2 : 0;
    out->scene = drawing::scatterscene(*out->coordinates, out->xaxis, out->yaxis, scatter);
    return out;
  });
}

void ResultsWindow::open(const RunResult& result) {
  auto name = [](const std::string& path) { return QFileInfo(QString::fromStdString(path)).fileName(); };
  style_.groups = drawing::groupcolours(result.groups, result.strains);
  if (result.ordination) {
    setWindowTitle(QStringLiteral("Results: ") + name(result.ordinationfile));
    openscatter([o = result.ordination] { return drawing::coordinatesof(o->names, o->pcoa); });
    return;
  }
  setWindowTitle(QStringLiteral("Results: ") + name(result.tablefile.empty() ? result.treefile : result.tablefile));
  const std::string tablepath = result.table ? std::string() : result.tablefile;
  std::shared_ptr<const DistanceTable> table = result.table;
  std::shared_ptr<const Tree> tree = result.tree;
  const drawing::Style style = style_;
  start(QStringLiteral("Reading"), [=](std::atomic<double>& fraction) {
    auto out = std::make_shared<Loaded>();
    if (table)
      out->table = *table;
    else if (!tablepath.empty())
      out->table = readfirsttable(tablepath, fraction);
    fraction = 0.6;
    if (tree) out->tree = *tree;
    out->shown = out->tree;
    fraction = 0.7;
    out->scene = drawing::layout(out->shown ? &*out->shown : nullptr, out->table ? &*out->table : nullptr, style);
    return out;
  });
}

bool ResultsWindow::colourbygroup(const QString& path, QString& error) {
  const std::vector<std::string> names =
      coordinates_ ? coordinates_->names : shown_ ? shown_->names : table_ ? table_->names : std::vector<std::string>{};
  if (names.empty()) {
    error = QStringLiteral("Open a table, a tree or principal coordinates first.");
    return false;
  }
  try {
    style_.groups = drawing::groupcolours(readgroups(path.toStdString(), names), names);
  } catch (const ErrorStop& e) {
    error = QString::fromStdString(e.what());
    return false;
  }
  return coordinates_ ? setaxes(xaxis_, yaxis_ ? yaxis_ : 1) : (relayout(), true);
}

drawing::ScatterStyle ResultsWindow::scatterstyle() const {
  drawing::ScatterStyle scatter;
  scatter.groups = style_.groups;
  return scatter;
}

void ResultsWindow::relayout() {
  if (!table_ && !shown_) return;
  auto table = std::make_shared<const std::optional<DistanceTable>>(table_);
  std::optional<Tree> tree = shown_;
  const drawing::Style style = style_;
  start(QStringLiteral("Drawing"), [table, tree, style](std::atomic<double>&) {
    auto out = std::make_shared<Loaded>();
    out->table = *table;
    out->shown = tree;
    out->scene = drawing::layout(tree ? &*tree : nullptr, *table ? &**table : nullptr, style);
    return out;
  });
}

bool ResultsWindow::setaxes(int x, int y) {
  if (!coordinates_ || x < 1 || x > coordinates_->axiscount() || y < 1 || y > coordinates_->axiscount()) return false;
  start(QStringLiteral("Drawing"), [c = *coordinates_, x, y, scatter = scatterstyle()](std::atomic<double>&) {
    auto out = std::make_shared<Loaded>();
    out->coordinates = c;
    out->xaxis = x;
    out->yaxis = y;
    out->scene = drawing::scatterscene(c, x, y, scatter);
    return out;
  });
  return true;
}

void ResultsWindow::reroot(int node) {
  if (!shown_ || node < 0 || node == shown_->root || node >= static_cast<int>(shown_->nodes.size())) return;
  try {
    shown_ = drawing::reroot(*shown_, node);
  } catch (const ErrorStop& e) {
    QMessageBox::warning(this, QStringLiteral("Re-root"), QString::fromStdString(e.what()));
    return;
  }
  view_->select(view_->selectedrow(), -1);
  relayout();
}

void ResultsWindow::collapse(double threshold) {
  if (!shown_) return;
  shown_ = drawing::collapse(*shown_, threshold);
  view_->select(view_->selectedrow(), -1);
  relayout();
}

void ResultsWindow::restoretree() {
  if (!tree_) return;
  shown_ = tree_;
  relayout();
}

void ResultsWindow::start(const QString& what, std::function<std::shared_ptr<Loaded>(std::atomic<double>&)> work) {
  const int generation = ++generation_;
  busy_ = true;
  auto fraction = std::make_shared<std::atomic<double>>(0.0);
  fraction_ = fraction;
  status_->setText(what + QStringLiteral("..."));
  progress_->setValue(0);
  progress_->show();
  QApplication::setOverrideCursor(Qt::BusyCursor);
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, [this, timer, fraction, generation] {
    if (generation != generation_ || !busy_) {
      timer->deleteLater();
      return;
    }
    progress_->setValue(static_cast<int>(1000 * fraction->load()));
  });
  timer->start(100);
  workers_.emplace_back([this, generation, fraction, work = std::move(work)] {
    std::shared_ptr<Loaded> result;
    QString error;
    try {
      result = work(*fraction);
    } catch (const std::bad_alloc&) {
      error = QStringLiteral("Error: insufficient memory");
    } catch (const std::exception& e) {
      error = QString::fromStdString(e.what());
    }
    QMetaObject::invokeMethod(
        this, [this, generation, result, error] { finish(generation, result, error); }, Qt::QueuedConnection);
  });
}

void ResultsWindow::finish(int generation, std::shared_ptr<Loaded> result, QString error) {
  if (generation != generation_) return;
  busy_ = false;
  progress_->hide();
  QApplication::restoreOverrideCursor();
  if (!result) {
    status_->setText(error);
    emit failed(error);
    if (isVisible() && !QApplication::platformName().startsWith(QLatin1String("offscreen")))
      QMessageBox::warning(this, windowTitle(), error);
    return;
  }
  table_ = std::move(result->table);
  if (result->tree) tree_ = std::move(result->tree);
  shown_ = std::move(result->shown);
  coordinates_ = std::move(result->coordinates);
  xaxis_ = result->xaxis;
  yaxis_ = result->yaxis;
  view_->setscene(std::move(result->scene));
  if (coordinates_) {
    status_->setText(QStringLiteral("%1 strains, %2 axes").arg(coordinates_->size()).arg(coordinates_->axiscount()));
    emit loaded();
    return;
  }
  status_->setText(QStringLiteral("%1 strains%2").arg(table_ ? table_->size() : shown_ ? shown_->leaves() : 0)
                       .arg(shown_ ? QStringLiteral(", tree with %1 tips").arg(shown_->leaves()) : QString()));
  emit loaded();
}

QString ResultsWindow::describecell(int row, int column) const {
  const drawing::Geometry& g = view_->scene().geometry;
  if (!table_ || row < 0 || column < 0 || static_cast<std::size_t>(row) >= g.tablerows.size() ||
      static_cast<std::size_t>(column) >= g.tablerows.size())
    return {};
  const int i = g.tablerows[static_cast<std::size_t>(row)], j = g.tablerows[static_cast<std::size_t>(column)];
  if (i < 0 || j < 0) return {};
  return QStringLiteral("%1 / %2: %3")
      .arg(QString::fromStdString(table_->names[static_cast<std::size_t>(i)]),
           QString::fromStdString(table_->names[static_cast<std::size_t>(j)]),
           QString::fromStdString(shortestnumber((*table_)(i, j), table_->single)));
}

QString ResultsWindow::describepoint(int point) const {
  if (!coordinates_ || point < 0 || point >= coordinates_->size()) return {};
  const auto i = static_cast<std::size_t>(point);
  QStringList axes;
  for (const int a : {xaxis_, yaxis_})
    if (a >= 1 && a <= coordinates_->axiscount())
      axes << QStringLiteral("axis %1: %2").arg(a).arg(coordinates_->axes[static_cast<std::size_t>(a - 1)][i], 0, 'g', 6);
  return QString::fromStdString(coordinates_->names[i]) + QStringLiteral(" (") + axes.join(QStringLiteral(", ")) +
         QStringLiteral(")");
}

QImage ResultsWindow::render(double scale) const {
  const drawing::Scene& s = view_->scene();
  QImage image(std::max(1, static_cast<int>(std::ceil(s.width * scale))),
               std::max(1, static_cast<int>(std::ceil(s.height * scale))), QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.scale(scale, scale);
  paintscene(p, s);
  return image;
}

bool ResultsWindow::exportsvg(const QString& path, QString& error) {
  try {
    drawing::writesvg(view_->scene(), path.toStdString());
    return true;
  } catch (const std::exception& e) {
    error = QString::fromStdString(e.what());
    return false;
  }
}

bool ResultsWindow::exportpng(const QString& path, double dpi, QString& error) {
  const double scale = dpi / 72.0;
  const drawing::Scene& s = view_->scene();
  if (s.width * scale * s.height * scale > 400e6) {
    error = QStringLiteral("Error: the picture would be too large at %1 dots per inch").arg(dpi);
    return false;
  }
  QImage image = render(scale);
  image.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
  image.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
  if (!image.save(path, "PNG")) {
    error = QStringLiteral("Error: can't write output file ") + path;
    return false;
  }
  return true;
}

bool ResultsWindow::exportpdf(const QString& path, QString& error) {
  const drawing::Scene& s = view_->scene();
  QPdfWriter writer(path);
  writer.setPageSize(QPageSize(QSizeF(s.width, s.height), QPageSize::Point));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setTitle(windowTitle());
  QPainter p;
  if (!p.begin(&writer)) {
    error = QStringLiteral("Error: can't write output file ") + path;
    return false;
  }
  p.setRenderHint(QPainter::Antialiasing, true);
  const double scale = writer.resolution() / 72.0;
  p.scale(scale, scale);
  paintscene(p, s);
  return p.end();
}

bool ResultsWindow::exporttable(const QString& path, bool csv, QString& error) {
  if (!table_) {
    error = QStringLiteral("Error: no table is shown");
    return false;
  }
  const std::string name = path.toStdString();
  OutputFile out = OutputFile::open(name);
  int reason = errno;
  if (out) out.text(csv ? csvtable(*table_) : phylipsquare(*table_));
  if (!out || OutputFile::commitset({&out}, &reason) >= 0) {
    error = QString::fromStdString(filefault("Error: can't write output file " + name, name, reason));
    return false;
  }
  return true;
}

}  // namespace lorvane
