#pragma once
// Where the controls of the parameter dialog and the value prompt stand, in
// dialog units (a quarter of the average character width across, an eighth
// of the character height down).
#include <array>

#include "dialogs/dialogids.h"

namespace lorvane {

struct Place {
  int x, y, w, h;
};

// The parameter dialog.
inline constexpr Place kParamDialogPlace{40, 40, 300, 180};
inline constexpr Place kOkPlace{200, 160, 40, 15};
inline constexpr Place kCancelPlace{250, 160, 40, 15};

// The five controls of a row, in template order. Row k stands `kRowPitch`
// (k - 1) units below row 1.
enum class RowControl { Caption, FirstNumber, SecondNumber, Edit, Set };
inline constexpr int kRowPitch = 14;
struct RowColumn {
  RowControl control;
  const RowIds* ids;
  Place first;  // the place in row 1
};
inline constexpr std::array<RowColumn, 5> kRowColumns{{
    {RowControl::Caption, &kCaptionIds, {10, 10, 100, 8}},
    {RowControl::FirstNumber, &kFirstNumberIds, {250, 10, 25, 12}},
    {RowControl::SecondNumber, &kSecondNumberIds, {275, 10, 25, 12}},
    {RowControl::Edit, &kEditIds, {150, 8, 100, 12}},
    {RowControl::Set, &kSetIds, {110, 8, 30, 12}},
}};
constexpr Place rowplace(const RowColumn& column, int row) {
  Place p = column.first;
  p.y += kRowPitch * (row - 1);
  return p;
}

// The value prompt. Label line k goes to the static `promptlineid(k)`.
inline constexpr Place kValuePromptPlace{40, 40, 300, 180};
inline constexpr Place kPromptTitlePlace{10, 10, 100, 8};
inline constexpr Place kPromptEditPlace{210, 8, 80, 12};
inline constexpr Place kPromptOkPlace{250, 160, 40, 15};
constexpr Place promptlineplace(int line) {
  if (line == 1) return {10, 10, 200, 8};
  if (line <= 10) return {10, 24 + kRowPitch * (line - 2), 280, 8};
  return {10, line == 11 ? 150 : 164, 240, 8};
}

}  // namespace lorvane
