// NEXUS matrices of 0/1 data: a DATA or CHARACTERS block (its taxa from a
// TAXA block when it gives no NTAX) with DATATYPE=STANDARD or RESTRICTION,
// symbols 0 and 1, its MISSING and GAP symbols (and "?") for missing scores,
// interleaved or not; names quoted ('it''s') or bare (underscores read as
// blanks); [comments] anywhere. Other blocks are passed over.
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "banddata/readers.h"

namespace lorvane::banddata {

namespace {

struct Token {
  std::string text;
  bool quoted = false;
  bool linestart = false;  // the first token of its line
  long line = 0, column = 0;
};

bool punctuation(char c) { return std::string_view(";=,(){}\"*:/\\<>").find(c) != std::string_view::npos; }

class Tokens {
 public:
  explicit Tokens(Lines& in) : in_(in) {}
  // The next token; false at the end of the file.
  bool next(Token& t) {
    if (held_) {
      t = std::move(*held_);
      held_.reset();
      return true;
    }
    for (;;) {
      while (pos_ < line_.size() && (incomment_ || std::isspace(static_cast<unsigned char>(line_[pos_])) || line_[pos_] == '[')) {
        if (incomment_) {
          if (line_[pos_] == ']') incomment_ = false;
        } else if (line_[pos_] == '[') {
          incomment_ = true;
        }
        ++pos_;
      }
      if (pos_ < line_.size()) break;
      if (!in_.next(line_)) return false;
      pos_ = 0;
      fresh_ = true;
    }
    t = Token{};
    t.line = in_.number();
    t.column = static_cast<long>(pos_) + 1;
    t.linestart = fresh_;
    fresh_ = false;
    const char c = line_[pos_];
    if (c == '\'') {
      t.quoted = true;
      for (++pos_;; ++pos_) {
        if (pos_ >= line_.size()) in_.fail("a quoted name without its closing quote", t.line);
        if (line_[pos_] == '\'' && pos_ + 1 < line_.size() && line_[pos_ + 1] == '\'') {
          t.text += '\'';
          ++pos_;
        } else if (line_[pos_] == '\'') {
          ++pos_;
          break;
        } else {
          t.text += line_[pos_];
        }
      }
    } else if (punctuation(c)) {
      t.text.assign(1, c);
      ++pos_;
    } else {
      while (pos_ < line_.size() && !std::isspace(static_cast<unsigned char>(line_[pos_])) &&
             !punctuation(line_[pos_]) && line_[pos_] != '[' && line_[pos_] != '\'')
        t.text += line_[pos_++];
    }
    return true;
  }
  Lines& in() { return in_; }
  // The token comes again from the next call.
  void putback(Token t) { held_ = std::move(t); }

 private:
  Lines& in_;
  std::optional<Token> held_;
  std::string line_;
  std::size_t pos_ = 0;
  bool incomment_ = false, fresh_ = false;
};

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A bare name's underscores are blanks.
std::string nameof(const Token& t) {
  std::string n = t.text;
  if (!t.quoted)
    for (char& c : n)
      if (c == '_') c = ' ';
  return n;
}

struct Format {
  char missing = '?', gap = '-';
  bool interleave = false;
};

class NexusReader {
 public:
  explicit NexusReader(Lines& in) : tokens_(in) {}

  ScoreGrid read() {
    Token t;
    if (!tokens_.next(t) || upper(t.text) != "#NEXUS") in().fail("the file does not start with #NEXUS", 1);
    while (tokens_.next(t)) {
      if (upper(t.text) != "BEGIN") continue;
      Token name;
      want(name, "the name of a block");
      const std::string block = upper(name.text);
      skipto(";");
      if (block == "TAXA")
        readtaxa();
      else if (block == "DATA" || block == "CHARACTERS")
        return readdata(t.line);
      else
        skipblock();
    }
    in().fail("no DATA or CHARACTERS block in the file");
  }

 private:
  Lines& in() { return tokens_.in(); }

  void want(Token& t, const char* what) {
    if (!tokens_.next(t)) in().fail(std::string("the file ends where ") + what + " should be");
  }
  void skipto(const char* end) {
    Token t;
    do want(t, "a \";\""); while (t.quoted || t.text != end);
  }
  void skipblock() {
    Token t;
    for (;;) {
      want(t, "the END of a block");
      const std::string w = upper(t.text);
      if (!t.quoted && (w == "END" || w == "ENDBLOCK")) return skipto(";");
    }
  }
  // "KEY = value" after the key; the value's token.
  Token value() {
    Token eq, v;
    want(eq, "\"=\"");
    if (eq.text != "=") in().fail("expected \"=\"", eq.line);
    want(v, "a value");
    return v;
  }
  long count(const char* what) {
    const Token v = value();
    long n = 0;
    for (char c : v.text) {
      if (c < '0' || c > '9' || n > 100000000) in().fail(std::string(what) + " is not a whole number", v.line);
      n = n * 10 + (c - '0');
    }
    if (n < 1) in().fail(std::string(what) + " must be 1 or more", v.line);
    return n;
  }

  void readtaxa() {
    Token t;
    for (;;) {
      want(t, "the END of the TAXA block");
      const std::string w = upper(t.text);
      if (w == "END" || w == "ENDBLOCK") return skipto(";");
      if (w == "DIMENSIONS") {
        ntax_ = 0;
        for (want(t, "NTAX"); t.text != ";"; want(t, "\";\""))
          if (upper(t.text) == "NTAX") ntax_ = count("NTAX");
      } else if (w == "TAXLABELS") {
        for (want(t, "a name"); t.quoted || t.text != ";"; want(t, "a name")) taxa_.push_back(nameof(t));
      } else if (w != ";") {
        skipto(";");
      }
    }
  }

  Format readformat() {
    Format f;
    Token t;
    for (want(t, "\";\""); t.quoted || t.text != ";"; want(t, "\";\"")) {
      const std::string w = upper(t.text);
      if (w == "DATATYPE") {
        const std::string type = upper(value().text);
        if (type != "STANDARD" && type != "RESTRICTION")
          in().fail("DATATYPE=" + type + " is not band data (STANDARD or RESTRICTION with symbols 0 and 1)", t.line);
      } else if (w == "SYMBOLS") {
        Token q = value();
        if (q.text == "\"")
          for (want(q, "the symbols"); q.text != "\""; want(q, "the symbols"))
            for (char c : q.text)
              if (c != '0' && c != '1') in().fail(std::string("the symbol ") + c + " is not 0 or 1", q.line);
      } else if (w == "MISSING") {
        f.missing = value().text.front();
      } else if (w == "GAP") {
        f.gap = value().text.front();
      } else if (w == "INTERLEAVE") {
        f.interleave = true;
        Token next;
        want(next, "\";\"");
        if (next.text == "=") {
          want(next, "YES or NO");
          f.interleave = upper(next.text) != "NO";
        } else {
          tokens_.putback(std::move(next));
        }
      }
    }
    return f;
  }

  ScoreGrid readdata(long begin) {
    Format f;
    long ntax = 0, nchar = 0;
    Token t;
    for (;;) {
      want(t, "MATRIX");
      const std::string w = upper(t.text);
      if (w == "END" || w == "ENDBLOCK") in().fail("the block that starts on line " + std::to_string(begin) +
                                                     " ends without a MATRIX", t.line);
      if (w == "DIMENSIONS") {
        for (want(t, "NCHAR"); t.text != ";"; want(t, "\";\"")) {
          if (upper(t.text) == "NTAX") ntax = count("NTAX");
          if (upper(t.text) == "NCHAR") nchar = count("NCHAR");
        }
      } else if (w == "FORMAT") {
        f = readformat();
      } else if (w == "MATRIX") {
        break;
      } else if (w != ";") {
        skipto(";");
      }
    }
    if (ntax == 0) ntax = ntax_ > 0 ? ntax_ : static_cast<long>(taxa_.size());
    if (ntax == 0 || nchar == 0) in().fail("MATRIX before DIMENSIONS gives NTAX and NCHAR", t.line);
    if (in().size() >= 0 && ntax > in().size() / nchar) in().fail("NTAX and NCHAR announce more scores than the file holds", t.line);
    return readmatrix(f, ntax, nchar);
  }

  ScoreGrid readmatrix(const Format& f, long ntax, long nchar) {
    ScoreGrid g;
    std::vector<std::vector<std::uint8_t>> rows;
    long current = -1;  // the taxon the scores go to
    Token t;
    for (;;) {
      want(t, "the \";\" that ends the MATRIX");
      if (!t.quoted && t.text == ";") break;
      const bool full = current >= 0 && static_cast<long>(rows[static_cast<std::size_t>(current)].size()) == nchar;
      if (t.quoted || current < 0 || (f.interleave ? t.linestart : full)) {
        current = taxon(g, rows, nameof(t), f.interleave, ntax, t.line);
        continue;
      }
      auto& row = rows[static_cast<std::size_t>(current)];
      for (std::size_t k = 0; k < t.text.size(); ++k) {
        const char c = t.text[k];
        std::uint8_t s;
        if (c == '0')
          s = kAbsent;
        else if (c == '1')
          s = kPresent;
        else if (c == '?' || c == f.missing || c == f.gap)
          s = kMissing;
        else
          in().fail(notascore(std::string(1, c), t.column + static_cast<long>(k)), t.line);
        if (static_cast<long>(row.size()) == nchar)
          in().fail("more than NCHAR = " + std::to_string(nchar) + " scores for " + g.names[static_cast<std::size_t>(current)], t.line);
        row.push_back(s);
      }
    }
    if (static_cast<long>(rows.size()) != ntax)
      in().fail("the MATRIX holds " + std::to_string(rows.size()) + " taxa where NTAX is " + std::to_string(ntax), t.line);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (static_cast<long>(rows[i].size()) != nchar)
        in().fail(g.names[i] + " has " + std::to_string(rows[i].size()) + " scores where NCHAR is " +
                  std::to_string(nchar), t.line);
      g.scores.insert(g.scores.end(), rows[i].begin(), rows[i].end());
    }
    for (long k = 1; k <= nchar; ++k) g.bandnames.push_back(std::to_string(k));
    return g;
  }

  // The row of a name: a new taxon, or (interleaved) one already met.
  long taxon(ScoreGrid& g, std::vector<std::vector<std::uint8_t>>& rows, const std::string& name, bool interleave,
             long ntax, long line) {
    if (interleave)
      for (std::size_t i = 0; i < g.names.size(); ++i)
        if (g.names[i] == name) return static_cast<long>(i);
    if (static_cast<long>(g.names.size()) == ntax)
      in().fail("more taxa in the MATRIX than NTAX = " + std::to_string(ntax), line);
    g.names.push_back(name);
    rows.emplace_back();
    return static_cast<long>(g.names.size()) - 1;
  }

  Tokens tokens_;
  long ntax_ = 0;
  std::vector<std::string> taxa_;
};

}  // namespace

ScoreGrid readnexus(Lines& in) { return NexusReader(in).read(); }

}  // namespace lorvane::banddata
