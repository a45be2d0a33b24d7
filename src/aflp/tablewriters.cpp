// The output files of the pair tables: the set written then renamed as a
// whole, the writer thread of each file, and the triangle text and binary
// square rows of a table.
#include "aflp/tablewriters.h"

#include <cstring>

#include "core/datafile.h"
#include "core/fixedformat.h"
#include "core/messages.h"

namespace lorvane {

Output& OutputSet::add(const std::string& path, char mode, std::string writefailure, std::string closefailure) {
  outputs_.push_back(Output{path, ouvecr(path, mode), std::move(writefailure), std::move(closefailure)});
  return outputs_.back();
}

void OutputSet::commit() {
  std::vector<OutputFile*> files;
  for (Output& o : outputs_) files.push_back(&o.file);
  int error = 0;
  const int failed = OutputFile::commitset(files, &error);
  if (failed >= 0) {
    const Output& o = outputs_[static_cast<std::size_t>(failed)];
    errorstop(filefault(o.closefailure, o.path, error));
  }
}

BackgroundWriter::~BackgroundWriter() {
  if (job_.valid()) job_.wait();
}

void BackgroundWriter::wait() {
  if (job_.valid()) job_.get();
  if (out_.file.failed()) errorstop(filefault(out_.writefailure, out_.path, out_.file.error()));
}

void BackgroundWriter::start(std::function<void()> job) {
  wait();
  job_ = std::async(std::launch::async, std::move(job));
}

namespace {
double PairFigures::*memberof(Figure f) {
  switch (f) {
    case Figure::Distance: return &PairFigures::distance;
    case Figure::Similarity: return &PairFigures::similarity;
    case Figure::Shared: return &PairFigures::shared;
    case Figure::Corrected: return &PairFigures::corrected;
    case Figure::NeiLi: return &PairFigures::neili;
  }
  return &PairFigures::distance;
}
}  // namespace

TableWriter::TableWriter(Output& out, Figure figure, OutputForm form, const CharTable& names, Mode mode, int namewidth)
    : writer_(out), figure_(figure), member_(memberof(figure)), form_(form), names_(names), mode_(mode),
      namewidth_(namewidth) {}

void TableWriter::begintable(int n, int rowblock) {
  n_ = n;
  const std::size_t rows = mode_ == Mode::Whole ? 1 : static_cast<std::size_t>(rowblock);
  for (auto& set : rows_)
    if (set.size() < rows) set.resize(rows);
  if (mode_ == Mode::Whole) rows_[set_][0].clear();
}

void TableWriter::beginrow(int slot, int i, int bands) {
  RowBuffer& rb = buffer(slot);
  if (mode_ == Mode::Streamed) rb.clear();
  if (form_ == OutputForm::Binary) return;
  if (i == 1) {  // the count line, as "%d\n" is written; with wide names, their width too
    std::string count = std::to_string(n_);
    if (namewidth_ > 10) count.append(" ").append(std::to_string(namewidth_));
    rb.append(count.append("\r\n"));
  }
  rb.append(names_[i]);
  if (namewidth_ > static_cast<int>(names_[i].size()))
    rb.gap(static_cast<std::size_t>(namewidth_) - names_[i].size());
  rb.gap(static_cast<std::size_t>(i - 1) * 6);  // the blank lower triangle
  if (figure_ == Figure::Shared) rb.count(bands);
}

void TableWriter::fields(int slot, int /*j0*/, const PairFigures* const* f, int count) {
  RowBuffer& rb = buffer(slot);
  const auto member = member_;  // a local: the stores of the fields cannot change it
  if (form_ == OutputForm::Binary) {
    for (int k = 0; k < count; ++k) rb.binary(f[k]->*member);
    return;
  }
  char* p = rb.fieldcursor(static_cast<std::size_t>(count));  // room for 16 bytes a field
  const int kept = static_cast<int>(figure_);
  const bool shared = figure_ == Figure::Shared;
  for (int k = 0; k < count; ++k) {
    if (const FigureText* t = f[k]->text; t && t[kept].length) {  // formatted when it was worked out
      std::memcpy(p, t[kept].text, 16);
      p += t[kept].length;
    } else {
      const auto v = static_cast<float>(f[k]->*member);
      p += shared ? fixed0field(p, v) : fixed3field(p, v);
    }
  }
  rb.commit(p);
}

void TableWriter::diagonal(int slot, int bands) { buffer(slot).binary(figure_ == Figure::Shared ? bands : 0.0); }

void TableWriter::endrow(int slot) {
  if (form_ == OutputForm::Text) buffer(slot).lineend();
}

void TableWriter::endblock(int r0, int r1) {
  if (mode_ == Mode::Whole) return;
  const RowBuffer* rows = rows_[set_].data();
  CFile& file = writer_.output().file;
  writer_.start([&file, rows, count = static_cast<std::size_t>(r1 - r0)] { writerows(file, rows, count); });
  set_ ^= 1;
}

void TableWriter::endtable() {
  if (mode_ == Mode::Whole) return;
  writer_.wait();
  if (form_ == OutputForm::Binary) {
    const std::string trailer = dimstrailer(n_, n_);
    writer_.output().file.bytes(trailer.data(), trailer.size());
  }
}

}  // namespace lorvane
