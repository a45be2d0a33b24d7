// Placeholder until the parameter dialog lands: it only makes the option
// current, so that the Options menu and "-o" reach their entry point.
#include "dialogs/qt/paramdialog.h"

#include "frame/frame.h"

namespace lorvane {

void paramdialog(QWidget* /*owner*/, Frame& frame, WindowSystem& /*ws*/, int commandid) {
  frame.currentoption = commandid - 1300;
}

}  // namespace lorvane
