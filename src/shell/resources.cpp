#include "shell/resources.h"

#include <QFile>
#include <QHash>
#include <QKeySequence>
#include <QStringList>

// The resources are compiled into the static library: register them once.
static void initresources() { Q_INIT_RESOURCE(lorvane); }

namespace lorvane {

void loadresources() {
  static const bool done = [] {
    initresources();
    return true;
  }();
  (void)done;
}

namespace {

// The data lines of a resource table: comments and empty lines left out,
// each line split at tabs.
std::vector<QStringList> tablelines(const QString& name) {
  loadresources();
  std::vector<QStringList> lines;
  QFile file(":/lorvane/" + name);
  if (!file.open(QIODevice::ReadOnly)) return lines;
  const QStringList all = QString::fromUtf8(file.readAll()).split('\n');
  for (const QString& line : all) {
    if (line.isEmpty() || line.startsWith('#')) continue;
    lines.push_back(line.split('\t'));
  }
  return lines;
}

QString untab(QString text) { return text.replace("\\t", "\t"); }

}  // namespace

QString stringresource(StringId id) {
  static const QHash<int, QString> table = [] {
    QHash<int, QString> t;
    for (const QStringList& fields : tablelines("strings.txt"))
      if (fields.size() >= 2) t.insert(fields[0].toInt(), fields.mid(1).join('\t'));
    return t;
  }();
  return table.value(static_cast<int>(id));
}

QString formatstring(StringId id, const QString& argument) {
  QString text = stringresource(id);
  const qsizetype at = text.indexOf("%s");
  if (at >= 0) text.replace(at, 2, argument);
  return text;
}

std::vector<PopupResource> menuresource() {
  std::vector<PopupResource> popups;
  for (const QStringList& fields : tablelines("menu.txt")) {
    if (fields[0] == "popup" && fields.size() >= 2) {
      popups.push_back(PopupResource{fields[1], {}});
    } else if (popups.empty()) {
      continue;
    } else if (fields[0] == "separator") {
      popups.back().items.push_back(MenuItemResource{true, 0, {}});
    } else if (fields[0] == "item" && fields.size() >= 3) {
      popups.back().items.push_back(MenuItemResource{false, fields[1].toInt(), untab(fields[2])});
    }
  }
  return popups;
}

std::vector<AcceleratorResource> acceleratorresource() {
  std::vector<AcceleratorResource> table;
  for (const QStringList& fields : tablelines("accelerators.txt")) {
    if (fields.size() < 2) continue;
    const QKeySequence keys = QKeySequence::fromString(fields[0], QKeySequence::PortableText);
    if (keys.isEmpty()) continue;
    table.push_back(AcceleratorResource{keys[0], fields[1].toInt()});
  }
  return table;
}

}  // namespace lorvane
