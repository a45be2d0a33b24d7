#pragma once
#include "frame/frame.h"

namespace lorvane {

// The module's two options and their parameter specifications.
inline constexpr const char* kModuleName = "Lorvane";
inline constexpr const char* kOptionTitles = "Simple computation\nBootstrap computation\n";
inline constexpr const char* kSimpleSpecification =
    "Input file\n[text,,]Length of recognition sites : \n[int,0,]K value (default = 1.0) ? \n[int,0,1]"
    "Index : Jaccard(1), Dice(2) or Nei&Li(3) ?\n[int,1,3]Jukes-Cantor correction (yes = 1, default = no) ? "
    "\n[int,0,1]VELK outputs (yes = 1, default = no) ? \n[int,0,1]";
inline constexpr const char* kBootstrapSpecification =
    "Input file\n[text,,]Length of recognition sites : \n[int,0,]K value (default = 1.0) ? \n[int,0,1]"
    "Index : Jaccard (1) or Dice (2) ?\n[int,1,2]Jukes-Cantor correction (yes = 1, default = no) ? "
    "\n[int,0,1]Number of bootstrap repetitions : \n[int,0,]";

// Describe the module to the frame: name, report set-up, options, handler.
void registermodule(Frame& frame);

// The option handler: converts the answers and runs the computation.
void runlorvane(Frame& frame, int option);

}  // namespace lorvane
