#pragma once
// The program's resource tables (menu, accelerators, string table), read
// from the data files compiled into the program under ":/lorvane/".
#include <QKeyCombination>
#include <QString>
#include <vector>

namespace lorvane {

// The commands of the menu and the accelerators (the Options entries,
// 1301 to 1320, are numbered by the registry).
enum class CommandId : int {
  New = 1001,
  Open = 1002,
  Close = 1003,
  Save = 1004,
  SaveAs = 1005,
  Revert = 1006,
  PrintSetup = 1007,
  Print = 1008,
  Exit = 1009,
  ChangeFolder = 1010,
  HelpMessages = 1011,
  Undo = 1101,
  Cut = 1102,
  Copy = 1103,
  Paste = 1104,
  Delete = 1105,
  SelectAll = 1106,
  ChooseFont = 1201,
  StandardFormat = 1202,
  ChooseBackground = 1203,
  OpenResults = 1501,
  LastResults = 1502,
  Help = 1401,
  About = 1402,
};
constexpr int commandnumber(CommandId id) { return static_cast<int>(id); }

// The strings of the string table.
enum class StringId : int {
  WindowClass = 1001,
  MainTitle = 1002,
  FileFilter = 1003,
  SaveQuestion = 2001,
  RevertQuestion = 2002,
  StandardFormatQuestion = 2003,
  TooLong = 2005,
};

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
QString stringresource(StringId id);
// stringresource(id) with its "%s" replaced by the argument.
QString formatstring(StringId id, const QString& argument);
std::vector<PopupResource> menuresource();
std::vector<AcceleratorResource> acceleratorresource();

}  // namespace lorvane
