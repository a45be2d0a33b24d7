#include "banddata/bandwriters.h"

#include <algorithm>
#include <map>

#include "tables/distancetable.h"

namespace lorvane {

namespace {

// Strain i's (0-based) score of band k: 1, 0, or -1 for missing.
int score(const BandData& d, int i, int k) {
  if (d.hasmissing() && !d.scored.test(i, k)) return -1;
  return d.bits.test(i, k) ? 1 : 0;
}

std::string bandname(const BandData& d, int k) {
  return d.bandnames.empty() ? "B" + std::to_string(k + 1) : d.bandnames[static_cast<std::size_t>(k)];
}

std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The populations (the groups' last level) in order of first appearance,
// and each strain's.
struct Populations {
  std::vector<std::string> names;
  std::vector<int> of;  // per strain, an index into names
};
Populations populations(const BandData& d) {
  Populations p;
  std::map<std::string, int> index;
  for (int i = 0; i < d.n; ++i) {
    const std::string label = d.groups.empty() ? std::string("Pop1") : d.groups.labels.back()[static_cast<std::size_t>(i)];
    const auto [it, fresh] = index.emplace(label, static_cast<int>(p.names.size()));
    if (fresh) p.names.push_back(label);
    p.of.push_back(it->second);
  }
  return p;
}

std::string nexusname(const std::string& name) {
  std::string q = "'";
  for (char c : name) q += c == '\'' ? std::string("''") : std::string(1, c);
  return q + "'";
}

}  // namespace

std::vector<std::string> namesbeyondten(const BandData& d) {
  std::vector<std::string> beyond;
  for (int i = 1; i <= d.n; ++i)
    if (trimmed(d.names[i]).size() > 10) beyond.push_back(trimmed(d.names[i]));
  return beyond;
}

std::string fixedlayouttext(const BandData& d) {
  std::string text = std::to_string(d.n) + " " + std::to_string(d.m) + "\r\n";
  for (int i = 0; i < d.n; ++i) {
    std::string name = trimmed(d.names[i + 1]);
    name.resize(10, ' ');
    text += name;
    for (int k = 0; k < d.m; ++k) text += d.bits.test(i, k) ? '1' : '0';
    text += "\r\n";
  }
  return text;
}

std::string groupstext(const BandData& d) {
  if (d.groups.empty()) return {};
  std::string text = "name";
  for (const std::string& l : d.groups.levels) text += "," + csvfield(l);
  text += "\r\n";
  for (int i = 0; i < d.n; ++i) {
    text += csvfield(trimmed(d.names[i + 1]));
    for (const auto& labels : d.groups.labels) text += "," + csvfield(labels[static_cast<std::size_t>(i)]);
    text += "\r\n";
  }
  return text;
}

std::string genalextext(const BandData& d, const std::string& title) {
  const Populations p = populations(d);
  std::vector<int> order(static_cast<std::size_t>(d.n));
  for (int i = 0; i < d.n; ++i) order[static_cast<std::size_t>(i)] = i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return p.of[static_cast<std::size_t>(a)] < p.of[static_cast<std::size_t>(b)]; });
  std::vector<int> sizes(p.names.size(), 0);
  for (int pop : p.of) ++sizes[static_cast<std::size_t>(pop)];
  std::string text = std::to_string(d.m) + "," + std::to_string(d.n) + "," + std::to_string(p.names.size());
  for (int s : sizes) text += "," + std::to_string(s);
  text += "\r\n" + csvfield(title) + ",,";
  for (const std::string& name : p.names) text += "," + csvfield(name);
  text += "\r\nSample,Pop";
  for (int k = 0; k < d.m; ++k) text += "," + csvfield(bandname(d, k));
  text += "\r\n";
  for (int i : order) {
    text += csvfield(trimmed(d.names[i + 1])) + "," + csvfield(p.names[static_cast<std::size_t>(p.of[static_cast<std::size_t>(i)])]);
    for (int k = 0; k < d.m; ++k) text += "," + std::to_string(score(d, i, k));
    text += "\r\n";
  }
  return text;
}

std::string nexustext(const BandData& d) {
  std::string text = "#NEXUS\r\nBEGIN DATA;\r\n  DIMENSIONS NTAX=" + std::to_string(d.n) + " NCHAR=" + std::to_string(d.m) +
                     ";\r\n  FORMAT DATATYPE=STANDARD SYMBOLS=\"01\" MISSING=? GAP=-;\r\nMATRIX\r\n";
  for (int i = 0; i < d.n; ++i) {
    text += nexusname(trimmed(d.names[i + 1])) + " ";
    for (int k = 0; k < d.m; ++k) {
      const int s = score(d, i, k);
      text += s < 0 ? '?' : static_cast<char>('0' + s);
    }
    text += "\r\n";
  }
  return text + ";\r\nEND;\r\n";
}

std::string structuretext(const BandData& d) {
  const Populations p = populations(d);
  std::string text;
  for (int k = 0; k < d.m; ++k) text += (k ? " " : "") + bandname(d, k);
  text += "\r\n";
  for (int k = 0; k < d.m; ++k) text += k ? " 0" : "0";
  text += "\r\n";
  for (int i = 0; i < d.n; ++i) {
    std::string name = trimmed(d.names[i + 1]);
    std::replace(name.begin(), name.end(), ' ', '_');  // STRUCTURE's labels hold no blank
    text += name + " " + std::to_string(p.of[static_cast<std::size_t>(i)] + 1);
    for (int k = 0; k < d.m; ++k) {
      const int s = score(d, i, k);
      text += s < 0 ? " -9" : s ? " 1" : " 0";
    }
    text += "\r\n";
  }
  return text;
}

}  // namespace lorvane
