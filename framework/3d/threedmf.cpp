// Reader for the 3DMF text form, limited to the objects our scene writes:
// Line, Box, Ellipsoid, Cylinder, Cone, Disk, Torus and TriMesh, with diffuse
// colour and ambient coefficient. Anything else is skipped by matching
// parentheses; malformed text is rejected with the line at fault.

#include "framework/3d/threedmf.h"

#include "framework/3d/threedmf_tessellate.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <utility>

namespace {

// ---------------------------------------------------------------- tokens

enum class Tok { LParen, RParen, Number, Word, Label, Pointer, Bar, String, End };

struct Token {
  Tok kind = Tok::End;
  std::string_view text;
  int line = 1;
  double number = 0.0;
};

struct ParseError {
  int line;
  std::string message;
};

[[noreturn]] void fail(int line, std::string message) { throw ParseError{line, std::move(message)}; }

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool endsWord(char c) { return isSpace(c) || c == '(' || c == ')' || c == '#' || c == '"' || c == '|'; }

bool looksNumeric(std::string_view w) {
  std::size_t i = 0;
  if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
  if (i < w.size() && w[i] == '.') ++i;
  return i < w.size() && isDigit(w[i]);
}

// The whole token as a finite double; false if it is not one.
bool parseNumber(std::string_view w, int line, double& out) {
  std::string_view digits = w;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  const auto res = std::from_chars(digits.data(), digits.data() + digits.size(), out);
  if (res.ptr != digits.data() + digits.size()) return false;
  if (res.ec == std::errc::result_out_of_range) {
    // Underflow reads as (nearly) zero; overflow is an error, not infinity.
    const std::string copy(w);
    out = std::strtod(copy.c_str(), nullptr);
    if (!std::isfinite(out)) fail(line, "number out of range: " + copy);
    return true;
  }
  return res.ec == std::errc();
}

std::vector<Token> tokenize(std::string_view s) {
  std::vector<Token> out;
  out.reserve(s.size() / 3 + 4);
  int line = 1;
  std::size_t i = 0;
  auto newline = [&](std::size_t& k) {
    // CR, LF and CRLF each end one line.
    if (s[k] == '\r' && k + 1 < s.size() && s[k + 1] == '\n') ++k;
    ++line;
    ++k;
  };
  while (i < s.size()) {
    const char c = s[i];
    if (c == '\r' || c == '\n') {
      newline(i);
    } else if (isSpace(c)) {
      ++i;
    } else if (c == '#') {
      while (i < s.size() && s[i] != '\r' && s[i] != '\n') ++i;
    } else if (c == '(' || c == ')' || c == '|') {
      out.push_back({c == '(' ? Tok::LParen : c == ')' ? Tok::RParen : Tok::Bar, s.substr(i, 1), line, 0.0});
      ++i;
    } else if (c == '"') {
      const int startLine = line;
      const std::size_t start = i++;
      while (i < s.size() && s[i] != '"') {
        if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] != '\r' && s[i + 1] != '\n') {
          i += 2;
        } else if (s[i] == '\r' || s[i] == '\n') {
          newline(i);
        } else {
          ++i;
        }
      }
      if (i >= s.size()) fail(startLine, "unterminated string");
      ++i;
      out.push_back({Tok::String, s.substr(start, i - start), startLine, 0.0});
    } else {
      const std::size_t start = i;
      while (i < s.size() && !endsWord(s[i])) ++i;
      Token t{Tok::Word, s.substr(start, i - start), line, 0.0};
      if (t.text.size() >= 2 && t.text.back() == ':') {
        t.kind = Tok::Label;
      } else if (t.text.size() >= 2 && t.text.back() == '>') {
        t.kind = Tok::Pointer;
      } else if (looksNumeric(t.text) && parseNumber(t.text, line, t.number)) {
        t.kind = Tok::Number;
      }
      out.push_back(t);
    }
  }
  out.push_back({Tok::End, {}, line, 0.0});
  return out;
}

bool sameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string describe(const Token& t) {
  switch (t.kind) {
    case Tok::End: return "the end of the text";
    case Tok::String: return "a quoted string";
    default: {
      std::string shown(t.text.substr(0, 40));
      return "\"" + shown + "\"";
    }
  }
}

// ---------------------------------------------------------------- parser

struct ParsedShape {
  GeometrySpec geometry;
  int line = 1;  // where the geometry starts
  float red = 1.0f, green = 1.0f, blue = 1.0f;
  float ambient = 1.0f;
};

constexpr int kMaxNesting = 64;

class Parser {
public:
  explicit Parser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

  std::vector<ParsedShape> run() {
    header();
    while (peek().kind != Tok::End) topLevelObject();
    if (shapes_.empty()) fail(peek().line, "the text holds no shape");
    return std::move(shapes_);
  }

private:
  std::vector<Token> t_;
  std::size_t pos_ = 0;
  std::vector<ParsedShape> shapes_;

  const Token& peek() const { return t_[pos_]; }
  const Token& next() {
    const Token& tok = t_[pos_];
    if (tok.kind != Tok::End) ++pos_;
    return tok;
  }
  void skipLabels() {
    while (peek().kind == Tok::Label) ++pos_;
  }

  [[noreturn]] void unexpected(const Token& tok, const std::string& what, std::string_view where) {
    if (tok.kind == Tok::End) fail(tok.line, "unexpected end of text in " + std::string(where));
    fail(tok.line, "expected " + what + " in " + std::string(where) + ", found " + describe(tok));
  }

  void expectOpen(std::string_view where) {
    const Token& tok = next();
    if (tok.kind != Tok::LParen) {
      if (tok.kind == Tok::End) fail(tok.line, "unexpected end of text after " + std::string(where));
      fail(tok.line, "expected \"(\" after " + std::string(where) + ", found " + describe(tok));
    }
  }
  void expectClose(std::string_view where) {
    const Token& tok = next();
    if (tok.kind != Tok::RParen) unexpected(tok, "\")\"", where);
  }
  double number(std::string_view where) {
    const Token& tok = next();
    if (tok.kind != Tok::Number) unexpected(tok, "a number", where);
    // Vertices, normals and colours are kept as floats: a number beyond their
    // range would become infinite there.
    if (std::abs(tok.number) > std::numeric_limits<float>::max()) {
      fail(tok.line, "number out of range in " + std::string(where) + ": " + std::string(tok.text.substr(0, 40)));
    }
    return tok.number;
  }
  Vector3D vector(std::string_view where) {
    const double x = number(where);
    const double y = number(where);
    const double z = number(where);
    return {x, y, z};
  }
  std::uint32_t count(std::string_view where, std::uint64_t limit) {
    const Token& tok = next();
    if (tok.kind != Tok::Number) unexpected(tok, "a number", where);
    if (tok.number < 0.0 || tok.number != std::floor(tok.number) || tok.number > static_cast<double>(limit)) {
      fail(tok.line, "expected a whole number up to " + std::to_string(limit) + " in " + std::string(where) +
                         ", found " + describe(tok));
    }
    return static_cast<std::uint32_t>(tok.number);
  }

  // Skips the rest of an object whose "(" has been read.
  void skipRest(std::string_view where) {
    int depth = 1;
    while (depth > 0) {
      const Token& tok = next();
      if (tok.kind == Tok::End) fail(tok.line, "unexpected end of text in " + std::string(where));
      if (tok.kind == Tok::LParen) ++depth;
      if (tok.kind == Tok::RParen) --depth;
    }
  }

  // "Name ( ... )" skipped whole; the name has been read.
  void skipObject(const Token& name) {
    const std::string where(name.text.substr(0, 40));
    expectOpen(where);
    skipRest(where);
  }

  void header() {
    const Token& tok = next();
    if (tok.kind == Tok::End) fail(tok.line, "the text is empty");
    if (tok.kind != Tok::Word || !sameWord(tok.text, "3DMetafile")) {
      fail(tok.line, "not a 3DMF text: expected \"3DMetafile\", found " + describe(tok));
    }
    expectOpen("3DMetafile");
    const Token& major = peek();
    const std::uint32_t ver = count("3DMetafile", 1000);
    const std::uint32_t minor = count("3DMetafile", 1000);
    if (ver != 1) {
      fail(major.line, "unsupported 3DMF version " + std::to_string(ver) + "." + std::to_string(minor));
    }
    const Token& flag = next();
    if (flag.kind != Tok::Word ||
        !(sameWord(flag.text, "Normal") || sameWord(flag.text, "Stream") || sameWord(flag.text, "Database"))) {
      unexpected(flag, "Normal, Stream or Database", "3DMetafile");
    }
    // The table-of-contents pointer; we resolve no references, so it is not used.
    if (peek().kind == Tok::Pointer) next();
    expectClose("3DMetafile");
  }

  static bool geometryKind(std::string_view w, GeometrySpec::Kind& kind) {
    static constexpr std::pair<std::string_view, GeometrySpec::Kind> kinds[] = {
        {"Line", GeometrySpec::Kind::Line},         {"Box", GeometrySpec::Kind::Box},
        {"Ellipsoid", GeometrySpec::Kind::Ellipsoid}, {"Cylinder", GeometrySpec::Kind::Cylinder},
        {"Cone", GeometrySpec::Kind::Cone},         {"Disk", GeometrySpec::Kind::Disk},
        {"Torus", GeometrySpec::Kind::Torus},       {"TriMesh", GeometrySpec::Kind::TriMesh}};
    for (const auto& [name, k] : kinds) {
      if (sameWord(w, name)) {
        kind = k;
        return true;
      }
    }
    return false;
  }

  void topLevelObject() {
    skipLabels();
    const Token& tok = next();
    if (tok.kind == Tok::End) return;
    if (tok.kind == Tok::RParen) fail(tok.line, "unmatched \")\"");
    if (tok.kind != Tok::Word) fail(tok.line, "expected an object, found " + describe(tok));
    GeometrySpec::Kind kind;
    if (sameWord(tok.text, "Container")) {
      expectOpen("Container");
      container(1);
    } else if (geometryKind(tok.text, kind)) {
      // A bare geometry outside any container: default attributes.
      ParsedShape shape;
      shape.line = tok.line;
      geometry(tok, kind, shape.geometry);
      shapes_.push_back(std::move(shape));
    } else {
      skipObject(tok);
    }
  }

  // A container whose "(" has been read: a geometry first and its attributes
  // after it, or something we do not draw, which is skipped.
  void container(int depth) {
    if (depth > kMaxNesting) fail(peek().line, "containers nested too deeply");
    skipLabels();
    const Token& first = next();
    if (first.kind == Tok::RParen) return;  // empty container
    if (first.kind != Tok::Word) unexpected(first, "an object", "Container");
    GeometrySpec::Kind kind;
    if (!geometryKind(first.text, kind)) {
      // A group or another parent we do not draw: skip it and its children.
      skipObject(first);
      skipRest("Container");
      return;
    }
    ParsedShape shape;
    shape.line = first.line;
    geometry(first, kind, shape.geometry);
    bool skipNextAttributeContainer = false;
    for (;;) {
      skipLabels();
      const Token& tok = next();
      if (tok.kind == Tok::RParen) break;
      if (tok.kind != Tok::Word) unexpected(tok, "an object", "Container");
      if (sameWord(tok.text, "Container")) {
        expectOpen("Container");
        if (skipNextAttributeContainer) {
          skipNextAttributeContainer = false;
          skipRest("Container");
        } else {
          nestedContainer(shape, depth + 1);
        }
      } else if (sameWord(tok.text, "Caps")) {
        caps(shape.geometry);
      } else if (sameWord(tok.text, "AttributeArray")) {
        attributeArray(shape.geometry);
      } else if (sameWord(tok.text, "TopCapAttributeSet") || sameWord(tok.text, "BottomCapAttributeSet") ||
                 sameWord(tok.text, "FaceCapAttributeSet")) {
        // Part attributes beside the geometry: their set follows in a container.
        skipObject(tok);
        skipNextAttributeContainer = true;
      } else if (!attribute(tok, shape)) {
        skipObject(tok);  // AttributeSet ( ) itself, and anything unknown
      }
    }
    // Without Caps a cylinder or cone is an open tube.
    shapes_.push_back(std::move(shape));
  }

  // A container inside a geometry's container, "(" read: an attribute set for
  // the geometry, or a set for one part of it (ignored), or something unknown.
  void nestedContainer(ParsedShape& shape, int depth) {
    if (depth > kMaxNesting) fail(peek().line, "containers nested too deeply");
    skipLabels();
    const Token& first = next();
    if (first.kind == Tok::RParen) return;
    if (first.kind != Tok::Word) unexpected(first, "an object", "Container");
    if (!sameWord(first.text, "AttributeSet")) {
      skipObject(first);
      skipRest("Container");
      return;
    }
    skipObject(first);
    for (;;) {
      skipLabels();
      const Token& tok = next();
      if (tok.kind == Tok::RParen) return;
      if (tok.kind != Tok::Word) unexpected(tok, "an attribute", "AttributeSet");
      if (!attribute(tok, shape)) skipObject(tok);
    }
  }

  // DiffuseColor or AmbientCoefficient into the shape; false for other names.
  bool attribute(const Token& name, ParsedShape& shape) {
    if (sameWord(name.text, "DiffuseColor")) {
      expectOpen("DiffuseColor");
      // Writers may exceed [0, 1]; the colour model does not.
      shape.red = static_cast<float>(std::clamp(number("DiffuseColor"), 0.0, 1.0));
      shape.green = static_cast<float>(std::clamp(number("DiffuseColor"), 0.0, 1.0));
      shape.blue = static_cast<float>(std::clamp(number("DiffuseColor"), 0.0, 1.0));
      expectClose("DiffuseColor");
      return true;
    }
    if (sameWord(name.text, "AmbientCoefficient")) {
      expectOpen("AmbientCoefficient");
      shape.ambient = static_cast<float>(std::clamp(number("AmbientCoefficient"), 0.0, 1.0));
      expectClose("AmbientCoefficient");
      return true;
    }
    return false;
  }

  void caps(GeometrySpec& g) {
    expectOpen("Caps");
    bool wantFlag = true;
    for (;;) {
      const Token& tok = next();
      if (tok.kind == Tok::RParen && !wantFlag) break;
      if (wantFlag && tok.kind == Tok::Word) {
        if (sameWord(tok.text, "Top")) g.topCap = true;
        else if (sameWord(tok.text, "Bottom")) g.bottomCap = true;
        else if (!sameWord(tok.text, "None") && !sameWord(tok.text, "Interior")) unexpected(tok, "a cap flag", "Caps");
        wantFlag = false;
      } else if (!wantFlag && tok.kind == Tok::Bar) {
        wantFlag = true;
      } else {
        unexpected(tok, wantFlag ? "a cap flag" : "\"|\" or \")\"", "Caps");
      }
    }
  }

  // Reads the optional "uMin uMax vMin vMax" ranges and the closing ")". Only
  // the full range is drawn; other ranges are read but not honoured.
  void parameterRangesAndClose(std::string_view where) {
    if (peek().kind != Tok::RParen) {
      for (int i = 0; i < 4; ++i) number(where);
    }
    expectClose(where);
  }

  void geometry(const Token& name, GeometrySpec::Kind kind, GeometrySpec& g) {
    g.kind = kind;
    const std::string where(name.text);
    expectOpen(where);
    switch (kind) {
      case GeometrySpec::Kind::Line:
        g.v[0] = vector(where);
        g.v[1] = vector(where);
        expectClose(where);
        break;
      case GeometrySpec::Kind::Box:
        for (auto& v : g.v) v = vector(where);
        expectClose(where);
        break;
      case GeometrySpec::Kind::Ellipsoid:
      case GeometrySpec::Kind::Cylinder:
      case GeometrySpec::Kind::Cone:
        for (auto& v : g.v) v = vector(where);
        parameterRangesAndClose(where);
        break;
      case GeometrySpec::Kind::Disk:
        for (int i = 0; i < 3; ++i) g.v[static_cast<std::size_t>(i)] = vector(where);
        parameterRangesAndClose(where);
        break;
      case GeometrySpec::Kind::Torus:
        for (auto& v : g.v) v = vector(where);
        g.ratio = number(where);
        parameterRangesAndClose(where);
        break;
      case GeometrySpec::Kind::TriMesh:
        triMesh(g);
        break;
    }
  }

  void triMesh(GeometrySpec& g) {
    constexpr std::string_view where = "TriMesh";
    // Counts are bounded by what the text can hold, so a huge count fails on
    // missing data instead of exhausting memory.
    const std::uint64_t limit = t_.size();
    const std::uint32_t numTriangles = count(where, limit);
    count(where, limit);  // triangle attribute types: the arrays follow the mesh
    const std::uint32_t numEdges = count(where, limit);
    count(where, limit);  // edge attribute types
    const std::uint32_t numPoints = count(where, limit);
    count(where, limit);  // vertex attribute types
    g.triangles.reserve(static_cast<std::size_t>(numTriangles) * 3);
    std::vector<int> lines;
    lines.reserve(g.triangles.capacity());
    for (std::uint64_t i = 0; i < static_cast<std::uint64_t>(numTriangles) * 3; ++i) {
      lines.push_back(peek().line);
      g.triangles.push_back(count(where, std::numeric_limits<std::uint32_t>::max()));
    }
    for (std::uint64_t i = 0; i < static_cast<std::uint64_t>(numEdges) * 4; ++i) number(where);
    g.points.reserve(numPoints);
    for (std::uint32_t i = 0; i < numPoints; ++i) g.points.push_back(vector(where));
    for (std::size_t i = 0; i < g.triangles.size(); ++i) {
      if (g.triangles[i] >= numPoints) fail(lines[i], "point index out of range in TriMesh");
    }
    // Optional bounding box: min, max and whether it is empty. We recompute it.
    if (peek().kind != Tok::RParen) {
      vector(where);
      vector(where);
      const Token& empty = next();
      if (empty.kind != Tok::Word || !(sameWord(empty.text, "True") || sameWord(empty.text, "False"))) {
        unexpected(empty, "True or False", where);
      }
    }
    expectClose(where);
  }

  // "AttributeArray ( type 0 position index useFlag data... )". Normals per
  // triangle or per vertex are used; every other array is skipped.
  void attributeArray(GeometrySpec& g) {
    constexpr std::string_view where = "AttributeArray";
    expectOpen(where);
    const double type = number(where);
    number(where);  // reserved
    const double position = number(where);
    number(where);  // index among arrays of that kind
    const double useFlag = number(where);
    const bool isMesh = g.kind == GeometrySpec::Kind::TriMesh;
    std::vector<Vector3D>* target = nullptr;
    std::size_t elements = 0;
    if (isMesh && type == 3.0 && useFlag == 0.0) {
      if (position == 0.0) {
        target = &g.triangleNormals;
        elements = g.triangles.size() / 3;
      } else if (position == 2.0) {
        target = &g.vertexNormals;
        elements = g.points.size();
      }
    }
    if (target == nullptr) {
      skipRest(where);
      return;
    }
    target->clear();
    target->reserve(elements);
    for (std::size_t i = 0; i < elements; ++i) target->push_back(vector(where));
    expectClose(where);
  }
};

std::vector<ParsedShape> parseText(const std::string& text) {
  return Parser(tokenize(text)).run();
}

}  // namespace

ShapeParseResult ReadShapeTextWith(const std::string& text, const GeometrySource& geometryFor) {
  ShapeParseResult result;
  try {
    std::vector<ParsedShape> parsed = parseText(text);
    result.shapes.reserve(parsed.size());
    for (ParsedShape& p : parsed) {
      auto shape = std::make_shared<MeshShape>();
      // A segment is kept as its two points, never tessellated.
      bool fits = false;
      if (p.geometry.kind == GeometrySpec::Kind::Line) {
        shape->segment = SegmentOf(p.geometry);
        fits = shape->segment.has_value();
      } else {
        shape->geometry = geometryFor(p.geometry);
        fits = shape->geometry != nullptr;
      }
      if (!fits) {
        result.shapes.clear();
        result.error = "line " + std::to_string(p.line) + ": a " +
                       std::string(p.geometry.kind == GeometrySpec::Kind::TriMesh ? "TriMesh" : "shape") +
                       " is too large to draw";
        return result;
      }
      shape->red = p.red;
      shape->green = p.green;
      shape->blue = p.blue;
      shape->ambientCoefficient = p.ambient;
      result.shapes.push_back(std::move(shape));
    }
  } catch (const ParseError& e) {
    result.shapes.clear();
    result.error = "line " + std::to_string(e.line) + ": " + e.message;
  } catch (const std::bad_alloc&) {
    result.shapes.clear();
    result.error = "the shape text is too large";
  }
  return result;
}

ShapeParseResult ReadShapeTextUncached(const std::string& text) {
  return ReadShapeTextWith(text, [](const GeometrySpec& spec) { return TessellateGeometry(spec); });
}
