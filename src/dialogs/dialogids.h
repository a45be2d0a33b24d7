#pragma once
// Control ids of the parameter dialog and the value prompt. Every piece of
// code that addresses a row of the parameter dialog goes through the five
// row tables, indexed by parameter number 1..10 (index 0 has no row).
#include <array>

namespace lorvane {

inline constexpr int kParamDialogId = 1100;
inline constexpr int kOkId = 1;
inline constexpr int kCancelId = 2;
inline constexpr int kDialogRows = 10;

using RowIds = std::array<int, kDialogRows + 1>;
inline constexpr RowIds kCaptionIds = {0, 1101, 1106, 1111, 1116, 1121, 1126, 1131, 1136, 1141, 1146};
inline constexpr RowIds kFirstNumberIds = {0, 1102, 1107, 1112, 1117, 1122, 1127, 1132, 1137, 1142, 1147};
inline constexpr RowIds kSecondNumberIds = {0, 1103, 1108, 1113, 1118, 1123, 1128, 1133, 1138, 1143, 1148};
inline constexpr RowIds kEditIds = {0, 1104, 1109, 1114, 1119, 1124, 1129, 1134, 1139, 1144, 1149};
inline constexpr RowIds kSetIds = {0, 1105, 1110, 1115, 1120, 1125, 1130, 1135, 1140, 1145, 1150};

// The value prompt: its title static, its edit field and the statics of the
// label lines 1..12.
inline constexpr int kValuePromptId = 1500;
inline constexpr int kPromptTitleId = 1501;
inline constexpr int kPromptEditId = 1502;
inline constexpr int kPromptLines = 12;
inline constexpr int promptlineid(int line) { return kPromptEditId + line; }

}  // namespace lorvane
