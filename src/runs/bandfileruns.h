#pragma once
// Options 8 and 9, "Import band data" and "Export band data": band data of
// any format written as a fixed-layout band file with its groups, or in the
// formats of other programs.
#include <memory>
#include <string>

#include "runs/bandinput.h"
#include "runs/runresult.h"

namespace lorvane {

struct ImportRequest : BandInput {
  std::string path, output;
};

enum class ExportFormat : int { GenAlEx = 1, Nexus = 2, Structure = 3 };

struct ExportRequest : BandInput {
  std::string path, output;
  ExportFormat to = ExportFormat::GenAlEx;
};

// OUTPUT, the fixed layout (when every name fits its 10 characters and no
// score is missing), and OUTPUT.groups.csv when the data hold groups.
std::shared_ptr<const RunResult> importbands(RunContext& ctx, const ImportRequest& request);
// OUTPUT in GenAlEx, NEXUS or STRUCTURE form.
std::shared_ptr<const RunResult> exportbands(RunContext& ctx, const ExportRequest& request);

}  // namespace lorvane
