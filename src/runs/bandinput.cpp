#include "runs/bandinput.h"

#include <cstdio>
#include <map>

#include "runs/runsupport.h"

namespace lorvane {

namespace {

// "name (count), name (count), ..." in the order of first appearance.
std::string groupcounts(const std::vector<std::string>& labels) {
  std::vector<std::string> order;
  std::map<std::string, int> count;
  for (const std::string& l : labels)
    if (count[l]++ == 0) order.push_back(l);
  std::string text;
  for (const std::string& l : order) text += (text.empty() ? "" : ", ") + l + " (" + std::to_string(count[l]) + ")";
  return std::to_string(order.size()) + ": " + text;
}

std::string listof(const std::vector<std::string>& names) {
  std::string text;
  for (std::size_t k = 0; k < names.size() && k < 20; ++k) text += (k ? ", " : "") + names[k];
  if (names.size() > 20) text += ", ... (" + std::to_string(names.size()) + " in all)";
  return text;
}

void reportmissing(RunContext& ctx, const BandData& d, MissingScores missing) {
  const MissingSummary s = summarisemissing(d, ctx.settings);
  ctx.report.print("Missing scores: %lld of %lld (%.2f %%), counted %s\n", s.missing, s.cells,
                   s.cells ? 100.0 * static_cast<double>(s.missing) / static_cast<double>(s.cells) : 0.0,
                   missing == MissingScores::Pairwise ? "pairwise (over the bands scored in both strains)"
                                                      : "as absent bands");
  std::string most;
  for (const auto& [i, count] : s.most) most += (most.empty() ? "" : ", ") + d.names[i] + " (" + std::to_string(count) + ")";
  ctx.report.print("--- Strains with the most missing scores: %s\n", most.c_str());
  if (s.leasti > 0)
    ctx.report.print("--- Least number of bands scored in both strains of a pair: %lld (%s and %s)\n",
                     s.leastcompared, d.names[s.leasti].c_str(), d.names[s.leastj].c_str());
}

}  // namespace

std::string settingstext(const BandInput& in) {
  char text[96];
  std::snprintf(text, sizeof text, " format=%d layout=%d groupcolumns=%d missing=%d drop=%.9g,%.9g groups=",
                static_cast<int>(in.format), static_cast<int>(in.layout), in.groupcolumns, static_cast<int>(in.missing),
                in.dropbands, in.dropstrains);
  return text + in.groups;
}

BandData readinput(RunContext& ctx, const std::string& path, const BandInput& input, ReadMode mode,
                   bool strainlines) {
  ReportedBands bandlines(ctx.report, path, strainlines);
  BandFormat format = BandFormat::Seed;
  BandData d = readbanddata(path,
                            BandReadOptions{input.format, input.layout, input.groupcolumns,
                                            folderof(outputstem(ctx, path))},
                            mode, bandlines, &format);
  if (format != BandFormat::Seed) {
    ctx.report.print("--- Format: %s\n", bandformatname(format));
    checkuniquenames(d, path);
  }
  if (!input.groups.empty()) {
    readgroupsfile(d, input.groups);
    ctx.report.print("Groups file: %s\n", input.groups.c_str());
  }
  if (d.hasmissing()) {
    const auto [bands, strains] = dropmissing(d, input.dropbands, input.dropstrains);
    if (!bands.empty())
      ctx.report.print("Bands left out, with more than %g %% of their scores missing: %zu: %s\n",
                       100 * input.dropbands, bands.size(), listof(bands).c_str());
    if (!strains.empty())
      ctx.report.print("Strains left out, with more than %g %% of their scores missing: %zu: %s\n",
                       100 * input.dropstrains, strains.size(), listof(strains).c_str());
    if (!bands.empty() || !strains.empty()) ctx.report.print("--- Number of rows: %d, columns: %d\n", d.n, d.m);
    reportmissing(ctx, d, input.missing);
    if (input.missing == MissingScores::Absent) countasabsent(d);
  }
  for (std::size_t l = 0; l < d.groups.levels.size(); ++l)
    ctx.report.print("Groups (%s) %s\n", d.groups.levels[l].c_str(), groupcounts(d.groups.labels[l]).c_str());
  return d;
}

}  // namespace lorvane
