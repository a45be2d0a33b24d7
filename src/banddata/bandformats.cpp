#include "banddata/bandformats.h"

#include <cctype>

#include "banddata/readers.h"
#include "core/messages.h"

namespace lorvane {

namespace {

// Whole numbers separated by `delimiter`, at least three of them first:
// the first line of a GenAlEx file.
bool countsline(const std::string& line, char delimiter) {
  int numbers = 0;
  for (std::size_t k = 0; k <= line.size() && numbers < 3;) {
    std::size_t e = line.find(delimiter, k);
    if (e == std::string::npos) e = line.size();
    const std::string cell = banddata::trimcell(std::string_view(line).substr(k, e - k));
    if (cell.empty() || cell.find_first_not_of("0123456789") != std::string::npos) return false;
    ++numbers;
    k = e + 1;
  }
  return numbers == 3;
}

char genalexdelimiter(const std::string& line) {
  for (char d : {',', ';', '\t'})
    if (countsline(line, d)) return d;
  return 0;
}

// Numbers only, separated by blanks or tabs: a header of the fixed layout
// (right or wrong, as its reader tells).
bool numberswords(const std::string& line) {
  if (line.empty()) return true;
  for (char c : line)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != ' ' && c != '\t' && c != '-' && c != '+') return false;
  return true;
}

BandFormat formatof(const std::string& firstline) {
  const std::string first = banddata::trimcell(firstline);
  if (numberswords(first)) return BandFormat::Seed;
  std::string head = first.substr(0, 6);
  for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (head == "#NEXUS") return BandFormat::Nexus;
  if (genalexdelimiter(first)) return BandFormat::GenAlEx;
  // The fixed layout's header has two counts separated by blanks, and no
  // delimiter; a file that is none of these is read as the fixed layout,
  // whose reader says what is wrong.
  if (first.find_first_of(",;\t") != std::string::npos) return BandFormat::Table;
  return BandFormat::Seed;
}

}  // namespace

const char* bandformatname(BandFormat format) {
  switch (format) {
    case BandFormat::Seed: return "band-pattern file";
    case BandFormat::GenAlEx: return "GenAlEx";
    case BandFormat::Table: return "0/1 table";
    case BandFormat::Nexus: return "NEXUS";
    case BandFormat::Auto: break;
  }
  return "band data";
}

BandFormat detectbandformat(const std::string& path) {
  banddata::Lines in(path);
  std::string line;
  in.next(line);
  return formatof(line);
}

BandData readbanddata(const std::string& path, const BandReadOptions& options, ReadMode mode, BandEvents& events,
                      BandFormat* read) {
  if (read) *read = BandFormat::Seed;
  if (options.format == BandFormat::Seed) return readbands(path, mode, events, options.scratchfolder);
  // One open of the input, whatever it is (a pipe is read once): its first
  // line tells the format, then goes back to the format's reader.
  banddata::Lines in(path);
  std::string first;
  const bool any = in.next(first);
  const BandFormat format = options.format == BandFormat::Auto ? formatof(first) : options.format;
  if (read) *read = format;
  if (format == BandFormat::Seed) {
    if (in.size() >= 0) {
      in.file().reset();  // a file: read again from its start, as it always was
      return readbands(path, mode, events, options.scratchfolder);
    }
    return readbands(path, std::move(in.file()), in.reader(), any ? &first : nullptr, mode, events,
                     options.scratchfolder);
  }
  if (any) in.putback(first);
  banddata::ScoreGrid grid;
  if (format == BandFormat::GenAlEx) {
    const char delimiter = genalexdelimiter(banddata::trimcell(first));
    if (!delimiter) in.fail("the first line of a GenAlEx file gives the numbers of loci, samples and populations", 1);
    grid = banddata::readgenalex(in, delimiter);
  } else if (format == BandFormat::Nexus) {
    grid = banddata::readnexus(in);
  } else {
    grid = banddata::readtable(in, options);
  }
  return banddata::tobanddata(std::move(grid), events);
}

}  // namespace lorvane
