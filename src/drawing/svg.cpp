// The SVG renderer, and PNG pixels for the images it embeds.
#include <zlib.h>

#include <cerrno>
#include <cstdio>

#include "core/messages.h"
#include "core/textio.h"
#include "drawing/scene.h"

namespace lorvane::drawing {

namespace {

void put32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

void chunk(std::string& out, const char* type, const std::string& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.append(type, 4);
  out += data;
  const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
  put32(out, static_cast<std::uint32_t>(crc32(0, bytes, static_cast<uInt>(out.size() - start))));
}

std::string base64(const std::string& in) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((in.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    const std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(in[i])) << 16 |
                            static_cast<std::uint32_t>(static_cast<unsigned char>(in[i + 1])) << 8 |
                            static_cast<unsigned char>(in[i + 2]);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < in.size()) {
    std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(in[i])) << 16;
    if (i + 1 < in.size()) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[i + 1])) << 8;
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < in.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string number(double v) {
  char s[32];
  std::snprintf(s, sizeof s, "%.2f", v);
  std::string t = s;
  while (t.back() == '0') t.pop_back();
  if (t.back() == '.') t.pop_back();
  return t == "-0" ? "0" : t;
}

std::string colour(Colour c) {
  char s[8];
  std::snprintf(s, sizeof s, "#%02x%02x%02x", c.r, c.g, c.b);
  return s;
}

// fill="..." or stroke="..." with its opacity when not opaque.
std::string paint(const char* what, Colour c) {
  std::string s = " ";
  s.append(what).append("=\"").append(c.a == 0 ? std::string("none") : colour(c)).append("\"");
  if (c.a != 0 && c.a != 255) s.append(" ").append(what).append("-opacity=\"").append(number(c.a / 255.0)).append("\"");
  return s;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        // Control characters other than tab are not allowed in XML.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') out += ' ';
        else out += c;
    }
  return out;
}

struct Writer {
  std::string out;
  template <class... Texts>
  void put(const Texts&... texts) {
    (out.append(texts), ...);
  }
  void operator()(const Line& l) {
    if (l.points.size() < 2) return;
    put("<polyline points=\"");
    for (std::size_t k = 0; k < l.points.size(); ++k) {
      if (k) put(" ");
      put(number(l.points[k].x), ",", number(l.points[k].y));
    }
    put("\" fill=\"none\"", paint("stroke", l.colour), " stroke-width=\"", number(l.width), "\"/>\n");
  }
  void operator()(const Rect& r) {
    put("<rect x=\"", number(r.x), "\" y=\"", number(r.y), "\" width=\"", number(r.w), "\" height=\"", number(r.h),
        "\"", paint("fill", r.fill));
    if (r.stroke.a) put(paint("stroke", r.stroke), " stroke-width=\"", number(r.strokewidth), "\"");
    put("/>\n");
  }
  void operator()(const Image& im) {
    put("<image x=\"", number(im.x), "\" y=\"", number(im.y), "\" width=\"", number(im.w), "\" height=\"",
        number(im.h), "\" preserveAspectRatio=\"none\" style=\"image-rendering:pixelated\"",
        " xlink:href=\"data:image/png;base64,", base64(png(im.columns, im.rows, im.rgba)), "\"/>\n");
  }
  void operator()(const Text& t) {
    static constexpr const char* kAnchors[] = {"start", "middle", "end"};
    put("<text x=\"", number(t.x), "\" y=\"", number(t.y), "\" font-size=\"", number(t.size), "\"");
    if (t.anchor != Anchor::Start) put(" text-anchor=\"", kAnchors[static_cast<int>(t.anchor)], "\"");
    if (t.colour != kBlack) put(paint("fill", t.colour));
    if (t.rotation != 0) put(" transform=\"rotate(", number(t.rotation), " ", number(t.x), " ", number(t.y), ")\"");
    put(">", escaped(t.text), "</text>\n");
  }
  void operator()(const Circle& c) {
    put("<circle cx=\"", number(c.centre.x), "\" cy=\"", number(c.centre.y), "\" r=\"", number(c.radius), "\"",
        paint("fill", c.fill));
    if (c.stroke.a) put(paint("stroke", c.stroke), " stroke-width=\"", number(c.strokewidth), "\"");
    put("/>\n");
  }
  void operator()(const Begin& b) { put("<g class=\"", escaped(b.name), "\">\n"); }
  void operator()(const End&) { put("</g>\n"); }
};

}  // namespace

std::string png(int width, int height, const std::vector<std::uint8_t>& rgba) {
  const std::size_t row = static_cast<std::size_t>(width) * 4;
  // Each row: filter type 0 (none), then its pixels.
  std::string raw;
  raw.reserve((row + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw += '\0';
    raw.append(reinterpret_cast<const char*>(rgba.data()) + static_cast<std::size_t>(y) * row, row);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
                static_cast<uLong>(raw.size()), 6) != Z_OK)
    throw ErrorStop("Error: can't compress an image (png)");
  packed.resize(size);
  std::string out = "\x89PNG\r\n\x1a\n";
  std::string header;
  put32(header, static_cast<std::uint32_t>(width));
  put32(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter choice, no interlace
  chunk(out, "IHDR", header);
  chunk(out, "IDAT", packed);
  chunk(out, "IEND", "");
  return out;
}

std::string svg(const Scene& scene) {
  Writer w;
  w.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n",
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" version=\"1.1\"",
        " width=\"", number(scene.width), "\" height=\"", number(scene.height), "\" viewBox=\"0 0 ", number(scene.width),
        " ", number(scene.height), "\" font-family=\"sans-serif\">\n");
  if (scene.background.a)
    w(Rect{0, 0, scene.width, scene.height, scene.background, kNone, 0});
  for (const Item& item : scene.items) std::visit(w, item);
  w.out += "</svg>\n";
  return std::move(w.out);
}

void writesvg(const Scene& scene, const std::string& path) {
  const std::string text = svg(scene);
  OutputFile f = OutputFile::open(path);
  if (!f) throw ErrorStop(filefault("Error: can't open output file " + path + " (writesvg)", path, errno));
  f.text(text);
  int error = 0;
  if (OutputFile::commitset({&f}, &error) >= 0)
    throw ErrorStop(filefault("Error: can't write output file " + path + " (writesvg)", path, error));
}

}  // namespace lorvane::drawing
