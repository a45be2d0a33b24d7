#pragma once
// The parameter dialog of one option.
class QWidget;

namespace lorvane {

class Frame;
class QtWindowSystem;
class WindowSystem;

// Opens the parameter dialog of option commandid - 1300 (ids 1301 to 1320),
// modal and owned by `owner`. On Ok it stores the answers, writes the run
// banner and runs the option under the wait cursor; it returns when the
// dialog has closed and the option has run.
void paramdialog(QWidget* owner, Frame& frame, WindowSystem& ws, int commandid);

}  // namespace lorvane
