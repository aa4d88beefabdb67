// Reading shape texts as the scene writes them: cold (parse and tessellate
// every time), through the text cache, and texts that differ only in colour
// (parse, then share the tessellated geometry). Also one pick over a large
// scene of such shapes.

#include "framework/3d/picking.h"
#include "framework/3d/threedmf.h"
#include "framework/text/text.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

const std::string CR = "\r";

std::string frame(const std::string& keyword, const std::vector<std::string>& fields, const std::string& colour,
                  bool capsForm) {
  std::string t = "3DMetafile ( 1 6 Normal tableofcontents0> )" + CR + "\tContainer (" + CR + "\t\t" + keyword + " (" + CR;
  for (const auto& f : fields) t += "\t\t\t" + f + CR;
  t += "\t\t)" + CR;
  if (capsForm) {
    t += "\t\tCaps ( Bottom | Top )" + CR + "\t\tContainer (" + CR + "\t\t\tAttributeSet ( )" + CR + "\t\t\t" + colour + CR +
         "\t\t)" + CR;
  } else {
    t += "\t\tAttributeSet ( )" + CR + "\t\t" + colour + CR;
  }
  return t + "\t)" + CR;
}

std::string colour(int rgb) {
  return "DiffuseColor ( " + Str(((rgb >> 16) & 255) / 255.0) + " " + Str(((rgb >> 8) & 255) / 255.0) + " " +
         Str((rgb & 255) / 255.0) + " )";
}

std::string sphere(double r, int rgb) {
  const std::string s = Str(r);
  return frame("Ellipsoid", {"0 0 " + s, s + " 0 0", "0 " + s + " 0", "0 0 0", "0 1", "0 1"}, colour(rgb), false);
}

std::string box(int rgb) { return frame("Box", {"3 0 0", "0 3 0", "0 0 3", "-1.5 -1.5 -1.5"}, colour(rgb), false); }

std::string cylinder(int rgb) {
  return frame("Cylinder", {"0 0 12.5", "0 0.8 0", "-0.8 0 0", "0 0 0", "0 1", "0 1"}, colour(rgb), true);
}

std::string pyramid(int rgb) {
  const double s = 1.0 / std::sqrt(5.0);
  const std::string n30 = Str(-s) + " " + Str(2 * s) + " 0", n23 = Str(-s) + " 0 " + Str(2 * s);
  const std::string n12 = Str(-s) + " " + Str(-2 * s) + " 0", n01 = Str(-s) + " 0 " + Str(-2 * s);
  std::vector<std::string> l = {"3DMetafile ( 1 6 Normal tableofcontents0> )", "\ttrimesh0:", "\tContainer (",
                                "\t\tTriMesh (", "\t\t\t6 1 0 0 5 0", "\t\t\t# triangles", "\t\t\t 3 4 0",
                                "\t\t\t 2 4 3", "\t\t\t 0 3 1", "\t\t\t 1 3 2", "\t\t\t 1 4 2", "\t\t\t 0 4 1",
                                "\t\t\t# verticies", "\t\t\t 0 -0.5 0.5", "\t\t\t 0 0.5 0.5", "\t\t\t 0 0.5 -0.5",
                                "\t\t\t 0 -0.5 -0.5", "\t\t\t 1 0 0", "\t\t\t# bounding box",
                                "\t\t\t 0 -0.5 -0.5 1 0.5 0.5 False", "\t\t)", "\t\tAttributeArray ( 3 0 0 0 0",
                                "\t\t\t# triangle normals", "\t\t\t " + n30, "\t\t\t " + n23, "\t\t\t -1 0 0",
                                "\t\t\t -1 0 0", "\t\t\t " + n12, "\t\t\t " + n01, "\t\t)", "\t\tattributeSet0:",
                                "\t\tContainer (", "\t\t\tAttributeSet ( )", "\t\t\tAmbientCoefficient ( 0.5 )"};
  l.push_back("\t\t\tDiffuseColor(  " + Str(((rgb >> 16) & 255) / 255.0) + " " + Str(((rgb >> 8) & 255) / 255.0) + " " +
              Str((rgb & 255) / 255.0) + " )");
  l.push_back("\t\t)");
  l.push_back("\t)");
  std::string t = l[0];
  for (std::size_t i = 1; i < l.size(); ++i) t += CR + l[i];
  return t;
}

std::string shapeText(int which, int rgb) {
  switch (which) {
    case 0: return sphere(5, rgb);
    case 1: return box(rgb);
    case 2: return cylinder(rgb);
    default: return pyramid(rgb);
  }
}

void setLabel(benchmark::State& state) {
  static const char* names[] = {"sphere", "box", "cylinder+caps", "pyramid"};
  state.SetLabel(names[state.range(0)]);
}

void BM_ReadUncached(benchmark::State& state) {
  const std::string text = shapeText(static_cast<int>(state.range(0)), 0x00FF00);
  for (auto _ : state) {
    ShapeParseResult r = ReadShapeTextUncached(text);
    benchmark::DoNotOptimize(r.shapes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  setLabel(state);
}
BENCHMARK(BM_ReadUncached)->DenseRange(0, 3);

void BM_ReadCached(benchmark::State& state) {
  ClearShapeCache();
  const std::string text = shapeText(static_cast<int>(state.range(0)), 0x00FF00);
  const ShapeParseResult keep = ReadShapeText(text);  // an element holds its shape
  for (auto _ : state) {
    ShapeParseResult r = ReadShapeText(text);
    benchmark::DoNotOptimize(r.shapes.data());
  }
  setLabel(state);
}
BENCHMARK(BM_ReadCached)->DenseRange(0, 3);

// Every read a text not held by anyone (a new colour) with a geometry that is
// held: parse, no tessellation.
void BM_ReadNewColourSharedGeometry(benchmark::State& state) {
  ClearShapeCache();
  const int which = static_cast<int>(state.range(0));
  std::vector<std::string> texts;
  for (int i = 0; i < 4096; ++i) texts.push_back(shapeText(which, i * 4099));
  const ShapeParseResult keep = ReadShapeText(texts[0]);
  std::size_t i = 0;
  for (auto _ : state) {
    ShapeParseResult r = ReadShapeText(texts[i++ % texts.size()]);
    benchmark::DoNotOptimize(r.shapes.data());
  }
  setLabel(state);
}
BENCHMARK(BM_ReadNewColourSharedGeometry)->DenseRange(0, 3);

// One click over 10,000 spheres on a grid, the ray hitting one of them.
void BM_PickTenThousand(benchmark::State& state) {
  Group3D group;
  const std::string text = sphere(1, 0xFF0000);
  for (int i = 0; i < 100; ++i) {
    for (int j = 0; j < 100; ++j) {
      auto o = std::make_shared<Object3D>();
      o->AddShapeFromString(text, -1);
      o->Position = {i * 4.0 - 200, j * 4.0 - 200, 0};
      group.Append(o);
    }
  }
  ViewGeometry view;
  view.eye = {0, -600, 300};
  view.forward = Vector3D(0, 600, -300);
  view.forward.Normalize();
  view.up = Vector3D(0, 300, 600);
  view.up.Normalize();
  view.width = 800;
  view.height = 600;
  const PickRay ray = RayThroughPixel(view, 400, 300);
  for (auto _ : state) {
    auto hit = PickNearest(group, ray, 5, 5000);
    benchmark::DoNotOptimize(hit);
  }
}
BENCHMARK(BM_PickTenThousand)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
