#pragma once
// The program's resource tables (menu, accelerators, string table), read
// from the data files compiled into the program under ":/lorvane/".
#include <QKeyCombination>
#include <QString>
#include <vector>

namespace lorvane {

struct MenuItemResource {
  bool separator = false;
  int id = 0;
  QString text;  // "&" marks the access key, a tab precedes the shortcut text
};

struct PopupResource {
  QString title;
  std::vector<MenuItemResource> items;
};

struct AcceleratorResource {
  QKeyCombination keys;
  int id = 0;
};

// Register the compiled-in resources (tables, icon); called before use.
void loadresources();
// String `id` of the string table; empty when the table has none.
QString stringresource(int id);
// stringresource(id) with its "%s" replaced by the argument.
QString formatstring(int id, const QString& argument);
std::vector<PopupResource> menuresource();
std::vector<AcceleratorResource> acceleratorresource();

}  // namespace lorvane
