#pragma once
class QWidget;

namespace lorvane {

// The package's About box, modal, owned by the given window; returns when
// the user dismisses it (Continue, Enter or Esc).
void aboutbox(QWidget* owner);

}  // namespace lorvane
