// Shared reading of shape texts: a scene of many equal objects reads one
// text once, and objects that differ only in colour share one tessellation.

#include "framework/3d/threedmf.h"
#include "framework/3d/threedmf_tessellate.h"

#include <algorithm>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Entries hold weak references: a shape or geometry that no element uses any
// more is dropped, so redrawing a changing scene does not grow the caches.
template <typename Map>
void sweepExpired(Map& map, std::size_t& threshold) {
  if (map.size() < threshold) return;
  for (auto it = map.begin(); it != map.end();) {
    if (it->second.expired()) it = map.erase(it);
    else ++it;
  }
  threshold = std::max<std::size_t>(1024, map.size() * 2);
}

struct TextEntry {
  std::vector<std::weak_ptr<const MeshShape>> shapes;
  [[nodiscard]] bool expired() const {
    return std::any_of(shapes.begin(), shapes.end(), [](const auto& w) { return w.expired(); });
  }
};

// Texts of segments alone: the same few again and again in a cylinder's or
// a plane's outline (a side of every ring has one text), all different in a
// ring's, of which a scene holds a million. A small table of the latest,
// indexed by the text's hash, finds the repeats and keeps nothing of the rest.
struct RecentSegments {
  static constexpr std::size_t kSlots = 256;
  struct Slot {
    std::string text;
    TextEntry entry;
  };
  std::vector<Slot> table = std::vector<Slot>(kSlots);
  static std::size_t slotOf(const std::string& text) { return std::hash<std::string>{}(text) % kSlots; }
};

struct Caches {
  std::mutex mutex;
  std::unordered_map<std::string, std::weak_ptr<const MeshGeometry>> geometries;
  std::unordered_map<std::string, TextEntry> texts;
  RecentSegments segments;
  std::size_t geometrySweep = 1024;
  std::size_t textSweep = 1024;
};

// The shapes an entry still holds, all of them, or none.
bool liveShapes(const TextEntry& entry, ShapeParseResult& out) {
  out.shapes.clear();
  out.shapes.reserve(entry.shapes.size());
  for (const auto& w : entry.shapes) {
    if (auto s = w.lock()) out.shapes.push_back(std::move(s));
  }
  return !out.shapes.empty() && out.shapes.size() == entry.shapes.size();
}

Caches& caches() {
  static Caches c;
  return c;
}

std::shared_ptr<const MeshGeometry> sharedGeometry(const GeometrySpec& spec) {
  std::string key = GeometryKey(spec);
  Caches& c = caches();
  {
    std::lock_guard lock(c.mutex);
    auto it = c.geometries.find(key);
    if (it != c.geometries.end()) {
      if (auto g = it->second.lock()) return g;
    }
  }
  std::shared_ptr<const MeshGeometry> made = TessellateGeometry(spec);
  if (!made) return nullptr;
  std::lock_guard lock(c.mutex);
  auto& slot = c.geometries[key];
  if (auto other = slot.lock()) return other;  // another thread was quicker
  slot = made;
  sweepExpired(c.geometries, c.geometrySweep);
  return made;
}

}  // namespace

ShapeParseResult ReadShapeText(const std::string& text) {
  Caches& c = caches();
  const std::size_t slot = RecentSegments::slotOf(text);
  {
    std::lock_guard lock(c.mutex);
    ShapeParseResult hit;
    auto it = c.texts.find(text);
    if (it != c.texts.end() && liveShapes(it->second, hit)) return hit;
    const RecentSegments::Slot& recent = c.segments.table[slot];
    if (recent.text == text && liveShapes(recent.entry, hit)) return hit;
  }
  // Malformed texts are rare and not cached; their error is cheap to find again.
  ShapeParseResult result = ReadShapeTextWith(text, sharedGeometry);
  if (!result.ok() || result.shapes.empty()) return result;
  std::lock_guard lock(c.mutex);
  if (std::all_of(result.shapes.begin(), result.shapes.end(), [](const auto& s) { return s->segment.has_value(); })) {
    RecentSegments::Slot& recent = c.segments.table[slot];
    recent.text = text;
    recent.entry.shapes.assign(result.shapes.begin(), result.shapes.end());
    return result;
  }
  TextEntry& entry = c.texts[text];
  entry.shapes.assign(result.shapes.begin(), result.shapes.end());
  sweepExpired(c.texts, c.textSweep);
  return result;
}

void ClearShapeCache() {
  Caches& c = caches();
  std::lock_guard lock(c.mutex);
  c.geometries.clear();
  c.texts.clear();
  c.segments = RecentSegments();
  c.geometrySweep = 1024;
  c.textSweep = 1024;
}
