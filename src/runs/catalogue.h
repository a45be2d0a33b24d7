#pragma once
// The module's options, each described once, and its registration with the
// frame.
#include "frame/frame.h"
#include "frame/optiondescription.h"

namespace lorvane {

inline constexpr const char* kModuleName = "Lorvane";

// Options 1 to 12, in menu order.
const OptionCatalogue& catalogue();

// Describe the module to the frame: name, report set-up, options, handler.
void registermodule(Frame& frame);

}  // namespace lorvane
