#include "runs/bandfileruns.h"

#include "banddata/bandwriters.h"
#include "core/messages.h"
#include "runs/runsupport.h"

namespace lorvane {

namespace {

std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t k = 0; k < names.size() && k < 10; ++k) text += (k ? ", \"" : "\"") + names[k] + "\"";
  return names.size() > 10 ? text + ", ..." : text;
}

// Writes the texts to their files as one set and reports them.
std::shared_ptr<const RunResult> writeall(RunContext& ctx, const std::vector<std::pair<std::string, std::string>>& files,
                                          const char* operation) {
  std::vector<OutputFile> outs;
  for (const auto& [path, text] : files) {
    outs.push_back(openoutput(path, operation));
    outs.back().text(text);
  }
  OutputFile none;
  commitall({&outs[0], outs.size() > 1 ? &outs[1] : &none}, operation);
  auto result = std::make_shared<RunResult>();
  for (const auto& [path, text] : files) {
    ctx.report.print("Output file: %s\n", path.c_str());
    result->wrote(path);
  }
  return result;
}

}  // namespace

std::shared_ptr<const RunResult> importbands(RunContext& ctx, const ImportRequest& rq) {
  ctx.report.print("Lorvane: Importing band data\n");
  const BandData d = readinput(ctx, rq.path, rq, ReadMode::Bootstrap, false);
  if (const std::vector<std::string> beyond = namesbeyondten(d); !beyond.empty())
    errorstop("Error: " + std::to_string(beyond.size()) +
              " names do not fit the 10 characters of the band-pattern file: " + listed(beyond) +
              "; the data can stay in their own format, which every option reads (import)");
  if (d.hasmissing())
    errorstop("Error: the band-pattern file has no missing score, and these data hold some: --missing absent "
              "writes them as absent bands (import)");
  std::vector<std::pair<std::string, std::string>> files{{rq.output, fixedlayouttext(d)}};
  if (!d.groups.empty()) files.emplace_back(rq.output + ".groups.csv", groupstext(d));
  return writeall(ctx, files, "import");
}

std::shared_ptr<const RunResult> exportbands(RunContext& ctx, const ExportRequest& rq) {
  const int to = static_cast<int>(rq.to);
  if (to < 1 || to > 3) errorstop("Error: the format must be 1, 2 or 3 (export)");
  ctx.report.print("Lorvane: Exporting band data\n");
  const BandData d = readinput(ctx, rq.path, rq, ReadMode::Bootstrap, false);
  const std::string text = rq.to == ExportFormat::GenAlEx ? genalextext(d, rq.path.substr(rq.path.rfind('/') + 1))
                           : rq.to == ExportFormat::Nexus ? nexustext(d)
                                                          : structuretext(d);
  static const char* const names[] = {"", "GenAlEx", "NEXUS", "STRUCTURE"};
  ctx.report.print("--- Written as: %s\n", names[to]);
  if (rq.to == ExportFormat::Structure)
    ctx.report.print("--- For STRUCTURE: LABEL=1, POPDATA=1, MARKERNAMES=1, RECESSIVEALLELES=1, MISSING=-9, "
                     "ONEROWPERIND=1, PLOIDY=2; blanks in names written as underscores\n");
  return writeall(ctx, {{rq.output, text}}, "export");
}

}  // namespace lorvane
