#pragma once
#include "frame/frame.h"

namespace lorvane {

// The module's options and their parameter layouts.
inline constexpr const char* kModuleName = "Lorvane";
inline constexpr const char* kOptionTitles =
    "Simple computation\nBootstrap computation\nTree from a distance table\nBootstrap tree\nConvert a distance table\n"
    "Principal coordinates\nMantel test\n";
inline constexpr const char* kSimpleLayout =
    "Input file\n[text,,]Length of recognition sites : \n[int,0,]K value (default = 1.0) ? \n[int,0,1]"
    "Index : Jaccard(1), Dice(2) or Nei&Li(3) ?\n[int,1,3]Jukes-Cantor correction (yes = 1, default = no) ? "
    "\n[int,0,1]VELK outputs (yes = 1, default = no) ? \n[int,0,1]";
inline constexpr const char* kBootstrapLayout =
    "Input file\n[text,,]Length of recognition sites : \n[int,0,]K value (default = 1.0) ? \n[int,0,1]"
    "Index : Jaccard (1) or Dice (2) ?\n[int,1,2]Jukes-Cantor correction (yes = 1, default = no) ? "
    "\n[int,0,1]Number of bootstrap repetitions : \n[int,0,]";

// Describe the module to the frame: name, report set-up, options, handler.
void registermodule(Frame& frame);

// The answers of an option converted for its computation.
struct OptionArguments {
  bool runs = false;  // false when a required answer is empty
  std::string path;
  int r = 0;
  float k = 1.0f;
  int index = 1;
  int jukescantor = 0;
  int sixth = 0;  // option 1: binary outputs; option 2: repetitions
};
OptionArguments convertanswers(const AnswerStore& store, int option);

// The option handler: converts the answers and runs the computation.
void runlorvane(Frame& frame, int option);

}  // namespace lorvane
