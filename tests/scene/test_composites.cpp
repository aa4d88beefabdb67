#include "scene/pd_arrow.h"
#include "scene/pd_cylinder.h"
#include "scene/pd_label.h"
#include "scene/pd_line.h"
#include "scene/pd_round_arrow.h"
#include "scene/pd_sphere.h"
#include "scene_fixture.h"

#include <numbers>

namespace {

// The length of the major radius vector (text line 5) of a cylinder or cone.
double RadiusOf(const std::string& text) {
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) start = text.find('\r', start) + 1;
  Vector3D v;
  std::sscanf(text.c_str() + start, " %lf %lf %lf", &v.X, &v.Y, &v.Z);
  return v.Length();
}

// A kind the view has never heard of: a marker with a dot as its part, kept
// in display units and turned with the camera.
class Badge : public PD3DObject {
public:
  std::shared_ptr<PDSphere> dot;
  int turned = 0;
  Vector3D seenCenter;

  void Constructor() {
    TakeCurrentSpace();
    dot = New<PDSphere>(nullptr, 0u, 1.0);
    dot->SetCompositeHolder(Self());
    PlaceAt(Vector3D());
    JoinSpace();
    KeepFacingCamera();
  }
  [[nodiscard]] std::vector<PD3DObject*> Parts() const override { return {dot.get()}; }
  [[nodiscard]] bool FollowsSceneScale() const override { return false; }
  void FaceCamera(const CameraFrame& frame) override {
    ++turned;
    seenCenter = frame.center;
    // Within its owner's scope, as a label renewing its leader line needs.
    EXPECT_EQ(Self().get(), this);
  }
};

}  // namespace

using CompositeTest = SceneTest;

TEST_F(CompositeTest, ObjectsTheViewDoesNotKnowAnswerForThemselves) {
  const int before = count();
  auto badge = New<Badge>();
  ASSERT_EQ(count(), before + 2);
  const double badgeScale = badge->Scale;
  const double dotScale = badge->dot->Scale;
  view->Center = Vector3D(4, 5, 6);
  view->DoZoom(2.0);
  view->Update();
  EXPECT_EQ(badge->turned, 1);
  EXPECT_VEC(badge->seenCenter, 4, 5, 6);
  EXPECT_EQ(badge->Scale, badgeScale);          // left out of the rescaling
  EXPECT_EQ(badge->dot->Scale, 2.0 * dotScale);  // its part is not
  view->RemoveObject(badge->dot);
  EXPECT_EQ(count(), before);
  EXPECT_EQ(group().IndexOf(badge.get()), -1);
  // Out of the scene, it is turned no more.
  view->Update();
  EXPECT_EQ(badge->turned, 1);
}

TEST_F(CompositeTest, ObjectBaseScaleAndRotate) {
  const Vector3D p(2, 0, 0);
  auto s = New<PDSphere>(&p, 0u, 1.0);
  s->ApplyScale(2.0);
  EXPECT_DOUBLE_EQ(s->Scale, 2.0);
  EXPECT_VEC(s->Position, 4, 0, 0);
  s->ApplyScale(2.0);  // before the view stores 2.0 in lastscale
  EXPECT_DOUBLE_EQ(s->Scale, 4.0);
  s->Scale = 3.0;
  s->Position = Vector3D();
  s->ApplyScale(view->lastscale);
  EXPECT_DOUBLE_EQ(s->Scale, 3.0);
  EXPECT_VEC(s->Position, 2, 0, 0);

  Vector3D axis(0, 0, 5);
  const Quaternion before = s->Orientation;
  s->Rotate(0.0, axis, Vector3D(7, 7, 7));
  EXPECT_VEC(axis, 0, 0, 1);
  EXPECT_VEC(*s->pos, 2, 0, 0);
  EXPECT_EQ(s->Orientation.W, before.W);

  view->DoZoom(3.0);
  view->Update();
  Vector3D z(0, 0, 1);
  s->Rotate(std::numbers::pi, z, Vector3D(1, 0, 0));
  EXPECT_VEC(*s->pos, 0, 0, 0);
  EXPECT_VEC(s->Position, 0, 0, 0);
  EXPECT_NEAR(std::abs(s->Orientation.Z), 1.0, 1e-12);  // half turn about z
}

// With two views, rescaling, turning and the half height of the bounds read
// the current view's scale, whichever view the object joined; a label's
// renewed leader line joins the current view.
TEST_F(CompositeTest, ObjectsFollowTheCurrentViewsScale) {
  const Vector3D p(2, 0, 0), up(0, 0, 10);
  auto s = New<PDSphere>(&p, 0u, 1.0);
  auto cyl = New<PDCylinder>(nullptr, 0u, &up, 1.0);
  const Vector3D anchor(0, 5, 0);
  auto label = New<PDLabel>(&anchor, "L", 0.0, 0.0, 0, 0, "", 0u, 0u, false, true);
  const int mine = count();

  TestSpace other;
  QObject::connect(&other, &PD3DSpace::Open, &other, [&] { other.StopAutoUpdate(); });
  other.OpenView();
  ASSERT_EQ(PD3D::SelectedSpace.data(), &other);
  other.lastscale = 2.0;
  other.Scale = 4.0;

  s->ApplyScale(4.0);  // 4 × (1 ÷ the other view's lastscale 2)
  EXPECT_DOUBLE_EQ(s->Scale, 2.0);
  EXPECT_VEC(s->Position, 8, 0, 0);
  Vector3D z(0, 0, 1);
  s->Rotate(std::numbers::pi, z, Vector3D());
  EXPECT_VEC(s->Position, -8, 0, 0);  // pos (-2, 0, 0) × the other view's scale
  const Vector3D bmax = cyl->GetBoundMax();
  EXPECT_NEAR(bmax.Z, 20 + cyl->Bounds().Radius, 1e-9);  // half height 10 × 4 ÷ 2

  // The label's own view loses the old line; the new one joins the current view.
  view->UpdateCamera();
  EXPECT_EQ(count(), mine - 1);
  ASSERT_EQ(other.Objects()->Count(), 1);
  EXPECT_EQ(other.Objects()->Item(0).get(), label->line.get());
  view->DoSelect();
}

TEST_F(CompositeTest, RoundArrowProportions) {
  const int before = count();
  const Vector3D ten(10, 0, 0);
  auto arrow = New<PDRoundArrow>(nullptr, 0xFFFF00u, &ten);
  ASSERT_EQ(count(), before + 3);
  EXPECT_EQ(item(before), arrow->cylinder.get());
  EXPECT_EQ(item(before + 1), arrow->cone.get());
  EXPECT_EQ(item(before + 2), arrow.get());
  EXPECT_VEC(*arrow->cylinder->axis, 7, 0, 0);
  EXPECT_VEC(*arrow->cylinder->pos, 0, 0, 0);
  EXPECT_NEAR(RadiusOf(textOf(arrow->cylinder)), 0.5, 1e-12);
  EXPECT_VEC(*arrow->cone->pos, 7, 0, 0);
  EXPECT_VEC(*arrow->cone->axis, 3, 0, 0);
  EXPECT_NEAR(RadiusOf(textOf(arrow->cone)), 1.0, 1e-12);
  EXPECT_TRUE(arrow->MeshShapes().empty());
  EXPECT_TRUE(arrow->Visible);
  EXPECT_VEC(arrow->GetBoundMax(), 0, 0, 0);
  EXPECT_VEC(arrow->GetBoundMin(), 0, 0, 0);

  const Vector3D start(1, 2, 3), hundred(100, 0, 0);
  auto longer = New<PDRoundArrow>(&start, 0u, &hundred);
  EXPECT_VEC(*longer->cylinder->axis, 82, 0, 0);
  EXPECT_NEAR(RadiusOf(textOf(longer->cylinder)), 3.0, 1e-12);
  EXPECT_VEC(*longer->cone->pos, 83, 2, 3);
  EXPECT_VEC(*longer->cone->axis, 18, 0, 0);
  EXPECT_NEAR(RadiusOf(textOf(longer->cone)), 6.0, 1e-12);
  EXPECT_VEC(start, 1, 2, 3);
  EXPECT_VEC(hundred, 100, 0, 0);

  auto unit = New<PDRoundArrow>(nullptr, 0u, nullptr);
  EXPECT_VEC(*unit->cylinder->axis, 0.7, 0, 0);
  EXPECT_NEAR(RadiusOf(textOf(unit->cylinder)), 0.05, 1e-12);
  EXPECT_VEC(*unit->cone->axis, 0.3, 0, 0);
  EXPECT_NEAR(RadiusOf(textOf(unit->cone)), 0.1, 1e-12);
}

TEST_F(CompositeTest, ZeroLengthArrowsCarryNoNaN) {
  const Vector3D zero, inf(std::numeric_limits<double>::infinity(), 0, 0);
  auto a = New<PDRoundArrow>(nullptr, 0u, &zero);
  auto b = New<PDRoundArrow>(nullptr, 0u, &inf);
  for (const auto& arrow : {a, b}) {
    for (const std::shared_ptr<PD3DObject>& part : {std::shared_ptr<PD3DObject>(arrow->cylinder), std::shared_ptr<PD3DObject>(arrow->cone)}) {
      EXPECT_EQ(textOf(part).find("nan"), std::string::npos);
      EXPECT_EQ(textOf(part).find("inf"), std::string::npos);
      EXPECT_TRUE(part->Position.IsFinite());
      EXPECT_TRUE(std::isfinite(part->Scale));
    }
  }
  // Re-aiming a zero arrow, or aiming at zero, leaves it as it was.
  a->SetAxis(Vector3D(10, 0, 0));
  EXPECT_VEC(*a->axis, 0, 0, 0);
  const Vector3D ten(10, 0, 0);
  auto c = New<PDRoundArrow>(nullptr, 0u, &ten);
  c->SetAxis(Vector3D());
  EXPECT_VEC(*c->axis, 10, 0, 0);
  EXPECT_EQ(c->Scale, 1.0);
}

TEST_F(CompositeTest, RoundArrowRotateAndSetAxis) {
  const Vector3D start(1, 0, 0), ten(10, 0, 0);
  auto arrow = New<PDRoundArrow>(&start, 0u, &ten);
  Vector3D axis(0, 0, 4);
  arrow->Rotate(0.0, axis, Vector3D());
  EXPECT_VEC(axis, 0, 0, 1);
  EXPECT_VEC(*arrow->cone->pos, 8, 0, 0);

  arrow->Rotate(std::numbers::pi / 2, axis, Vector3D(1, 0, 0));
  EXPECT_VEC(*arrow->cone->pos, 1, 7, 0);
  EXPECT_VEC(*arrow->cylinder->pos, 1, 0, 0);
  EXPECT_NE(arrow->cone->Orientation.W, 1.0);
  EXPECT_NE(arrow->cylinder->Orientation.W, 1.0);
  EXPECT_EQ(arrow->Orientation.W, 1.0);
  EXPECT_VEC(*arrow->pos, 1, 0, 0);
  EXPECT_VEC(arrow->Position, 1, 0, 0);

  auto straight = New<PDRoundArrow>(&start, 0u, &ten);
  straight->SetAxis(Vector3D(20, 0, 0));
  EXPECT_EQ(straight->cone->Orientation.W, 1.0);
  EXPECT_DOUBLE_EQ(straight->Scale, 2.0);
  EXPECT_DOUBLE_EQ(straight->cylinder->Scale, 2.0);
  EXPECT_DOUBLE_EQ(straight->cone->Scale, 2.0);
  EXPECT_VEC(*straight->cylinder->axis, 14, 0, 0);
  EXPECT_VEC(*straight->cone->axis, 6, 0, 0);
  EXPECT_VEC(*straight->cone->pos, 15, 0, 0);
  EXPECT_VEC(*straight->axis, 20, 0, 0);

  // Opposite: the turning axis vanishes; nothing turns, no NaN.
  straight->SetAxis(Vector3D(-20, 0, 0));
  EXPECT_TRUE(std::isfinite(straight->cone->Orientation.W));
  EXPECT_VEC(*straight->cone->pos, -13, 0, 0);
}

TEST_F(CompositeTest, FlatArrowPartsAndCallersUp) {
  const int before = count();
  const Vector3D ten(10, 0, 0);
  Vector3D up(0, 0, 5);
  auto arrow = New<PDArrow>(nullptr, 0x00FFFFu, &ten, &up);
  ASSERT_EQ(count(), before + 3);
  EXPECT_EQ(item(before), arrow->Box.get());
  EXPECT_EQ(item(before + 1), arrow->pyramid.get());
  EXPECT_EQ(item(before + 2), arrow.get());
  EXPECT_VEC(up, 0, 0, 1);
  EXPECT_VEC(*arrow->Box->pos, 3.5, 0, 0);
  EXPECT_NE(textOf(arrow->Box).find("\t\t\t7 0 0\r\t\t\t0 0 1\r\t\t\t0 -1 0\r"), std::string::npos);
  EXPECT_VEC(*arrow->pyramid->pos, 7, 0, 0);
  EXPECT_NE(textOf(arrow->pyramid).find("\t\t\t 3 0 0\r\t\t\t# bounding box"), std::string::npos);  // apex
  EXPECT_TRUE(messages.empty());

  const Vector3D thousand(1000, 0, 0);
  auto big = New<PDArrow>(nullptr, 0u, &thousand, nullptr);
  EXPECT_NE(textOf(big->Box).find("\t\t\t700 0 0\r\t\t\t0 0 100\r\t\t\t0 -100 0\r"), std::string::npos);

  // Up along the arrow: the box warns once, the arrow is built all the same.
  Vector3D along(5, 0, 0);
  const int n = count();
  New<PDArrow>(nullptr, 0u, &ten, &along);
  EXPECT_EQ(messages, std::vector<std::string>{"Axis and Up Direction are parallel!"});
  EXPECT_EQ(count(), n + 3);

  arrow->SetAxis(Vector3D(20, 0, 0));
  EXPECT_DOUBLE_EQ(arrow->Scale, 2.0);
  EXPECT_DOUBLE_EQ(arrow->Box->Scale, 2.0);
  EXPECT_DOUBLE_EQ(arrow->pyramid->Scale, 2.0);
  EXPECT_VEC(*arrow->Box->axis, 14, 0, 0);
  EXPECT_VEC(*arrow->Box->pos, 7, 0, 0);
  EXPECT_VEC(*arrow->pyramid->axis, 6, 0, 0);
  EXPECT_VEC(*arrow->pyramid->pos, 14, 0, 0);
}

TEST_F(CompositeTest, RemoveObjectTakesWholeComposites) {
  const Vector3D ten(10, 0, 0);
  auto sphere = New<PDSphere>(nullptr, 0u, 1.0);
  auto round = New<PDRoundArrow>(nullptr, 0u, &ten);
  auto flat = New<PDArrow>(nullptr, 0u, &ten, nullptr);
  auto label = New<PDLabel>(nullptr, "a", 0.0, 0.0, 0, 0, "", 0u, 0xFFu, true, true);
  auto bare = New<PDLabel>(nullptr, "b", 0.0, 0.0, 0, 0, "", 0u, 0u, false, false);
  auto last = New<PDRoundArrow>(nullptr, 0u, &ten);
  ASSERT_EQ(count(), 1 + 3 + 3 + 2 + 1 + 3);

  view->RemoveObject(round->cone);
  EXPECT_EQ(count(), 10);
  for (Element3D* e : {static_cast<Element3D*>(round->cone.get()), static_cast<Element3D*>(round->cylinder.get()),
                       static_cast<Element3D*>(round.get())})
    EXPECT_EQ(group().IndexOf(e), -1);
  view->RemoveObject(flat);
  EXPECT_EQ(count(), 7);
  EXPECT_EQ(group().IndexOf(flat->pyramid.get()), -1);
  view->RemoveObject(label->line);
  EXPECT_EQ(count(), 5);
  EXPECT_EQ(group().IndexOf(label.get()), -1);
  view->RemoveObject(bare);
  EXPECT_EQ(count(), 4);
  view->RemoveObject(last);  // the holder is the last item
  EXPECT_EQ(count(), 1);
  EXPECT_EQ(item(0), sphere.get());

  // Objects not in the group, and nil, change nothing.
  view->RemoveObject(round);
  view->RemoveObject(static_cast<PD3DObject*>(nullptr));
  EXPECT_EQ(count(), 1);
  view->RemoveObject(sphere);
  EXPECT_EQ(count(), 0);
}

TEST_F(CompositeTest, RemoveAllObjectsKeepsTheAxisLines) {
  view->RemoveAllObjects();
  EXPECT_EQ(count(), 0);
  New<PDSphere>(nullptr, 0u, 1.0);
  view->ShowAxes = true;
  view->Update();
  const Vector3D ten(10, 0, 0);
  New<PDRoundArrow>(nullptr, 0u, &ten);
  EXPECT_EQ(count(), 7);
  view->RemoveAllObjects();
  ASSERT_EQ(count(), 3);
  EXPECT_EQ(item(0), view->XAxis.get());
  EXPECT_EQ(item(1), view->YAxis.get());
  EXPECT_EQ(item(2), view->ZAxis.get());
  PDLine* x = view->XAxis.get();
  view->Update();
  EXPECT_EQ(view->XAxis.get(), x);
  EXPECT_EQ(count(), 3);

  view->ShowAxes = false;
  view->Update();
  New<PDSphere>(nullptr, 0u, 1.0);
  view->RemoveAllObjects();
  EXPECT_EQ(count(), 0);
}

TEST_F(CompositeTest, LabelPictureAndPlace) {
  auto plain = New<PDLabel>(nullptr, "Hello", 10.0, 20.0, 0, 0, "", 0x000000u, 0xFF0000u, false, false);
  ASSERT_EQ(plain->PictureShapes().size(), 1u);
  const QImage& img = plain->PictureShapes()[0].image;
  EXPECT_EQ(img.height(), 22);
  EXPECT_GT(img.width(), 10 + 10);
  EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);  // unframed: nothing drawn in the corner
  EXPECT_VEC(plain->relpos, 0, 20, -10);
  EXPECT_VEC(*plain->pos, 0, 0, 0);
  EXPECT_FALSE(plain->line);
  EXPECT_EQ(plain->lineclr, 0u);
  EXPECT_TRUE(plain->RenderBackFaces && plain->NullShader);

  const Vector3D high(0, 0, 100);
  auto framed = New<PDLabel>(&high, "", 0.0, 0.0, 20, 4, "NoSuchFontAnywhere", 0x000000u, 0x0000FFu, true, false);
  const QImage& box = framed->PictureShapes()[0].image;
  EXPECT_EQ(box.width(), 8);
  EXPECT_EQ(box.height(), 28);
  EXPECT_EQ(box.pixel(0, 0) & 0xFFFFFFu, 0x0000FFu);
  EXPECT_EQ(box.pixel(3, 3) & 0xFFFFFFu, 0xFEFEFEu);
  EXPECT_VEC(framed->relpos, 100 * std::cos(0.17453292519943295), -100 * std::sin(0.17453292519943295), 0);

  // The closed form: (y sin a + z cos a, y cos a - z sin a + h, -x - v).
  const Vector3D p(1, 2, 3);
  auto general = New<PDLabel>(&p, "g", 4.0, 5.0, 0, 0, "", 0u, 0u, false, false);
  const double sa = std::sin(0.17453292519943295), ca = std::cos(0.17453292519943295);
  EXPECT_VEC(general->relpos, 2 * sa + 3 * ca, 2 * ca - 3 * sa + 5, -1 - 4);

  // A font name no installed font has gives the default font.
  auto unknown = New<PDLabel>(nullptr, "Hello", 10.0, 20.0, 0, 0, "NoSuchFontAnywhere", 0x000000u, 0xFF0000u, false, false);
  EXPECT_EQ(unknown->PictureShapes()[0].image, img);
}

TEST_F(CompositeTest, LabelFacesCameraAndRenewsItsLeaderLine) {
  const int before = count();
  const Vector3D anchor(10, 20, 30);
  auto label = New<PDLabel>(&anchor, "L", 0.0, 0.0, 0, 0, "", 0u, 0x00FF00u, true, true);
  ASSERT_EQ(count(), before + 2);
  EXPECT_EQ(item(before), label.get());
  ASSERT_TRUE(label->line);
  EXPECT_EQ(item(before + 1), label->line.get());
  EXPECT_TRUE(label->line->labelline);
  EXPECT_EQ(label->lineclr, 0x00FF00u);

  auto sphere = New<PDSphere>(nullptr, 0u, 1.0);
  view->DoZoom(2.0);
  view->Latitude = 0.0;
  view->Longitude = 0.0;
  view->Center = Vector3D(1, 2, 3);
  const std::shared_ptr<PDLine> old = label->line;
  view->Update();
  // Placed from relpos, not rescaled; the leader line renewed at the end.
  EXPECT_VEC(label->Position, label->relpos.X + 1, label->relpos.Y + 2, label->relpos.Z + 3);
  EXPECT_EQ(count(), before + 3);
  EXPECT_EQ(group().IndexOf(old.get()), -1);
  EXPECT_EQ(item(count() - 1), label->line.get());
  EXPECT_TRUE(label->line->labelline);
  EXPECT_VEC(label->line->Position, 20, 40, 60);  // the anchor at scene scale 2
  EXPECT_VEC(*label->line->axis, label->Position.X - 20, label->Position.Y - 40, label->Position.Z - 60);
  EXPECT_EQ(label->line->myColor, 0x00FF00u);
  // Drawn from the anchor to the label, also by the update that changed the scale.
  const Vector3D lineEnd = label->line->Position.Plus(label->line->axis->Times(label->line->Scale));
  EXPECT_VEC(lineEnd, label->Position.X, label->Position.Y, label->Position.Z);

  // The label's face (+z) looks at the camera, upright, not mirrored.
  const Vector3D forward = view->Camera()->Orientation.Transform(Vector3D(0, 0, 1));
  const Vector3D up = view->Camera()->Orientation.Transform(Vector3D(0, 1, 0));
  const Vector3D right = forward.Cross(up);
  EXPECT_VEC(label->Orientation.Transform(Vector3D(0, 0, 1)), -forward.X, -forward.Y, -forward.Z);
  EXPECT_VEC(label->Orientation.Transform(Vector3D(0, 1, 0)), up.X, up.Y, up.Z);
  EXPECT_VEC(label->Orientation.Transform(Vector3D(1, 0, 0)), right.X, right.Y, right.Z);

  // Removing the old line does nothing; the current one takes the label along.
  view->RemoveObject(old);
  EXPECT_EQ(count(), before + 3);
  view->RemoveObject(label->line);
  EXPECT_EQ(count(), before + 1);
  EXPECT_EQ(item(before), sphere.get());
}
