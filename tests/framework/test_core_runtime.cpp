#include "framework/runtime/class_cast.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/heap_optional.h"
#include "framework/runtime/packed_optional.h"
#include "framework/math/vector3d.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Base {
  virtual ~Base() = default;
  int base = 0;
};
struct Tag {
  virtual ~Tag() = default;
  double tag = 0.0;
};
struct Middle : Base {
  int middle = 1;
};
// Tag first: the Base part of a Tagged lies away from its start.
struct Tagged : Tag, Middle {
  int tagged = 2;
};
struct Other : Base {};

}  // namespace

// Over a long run of objects of mixed classes, with the answers for one class
// reused for the next object of it, every cast is the dynamic_cast's.
TEST(CoreRuntime, ClassCastAgreesWithDynamicCastOverMixedRuns) {
  std::vector<std::unique_ptr<Base>> objects;
  for (int i = 0; i < 40; ++i) {
    switch ((i * 7) % 5) {
      case 0: objects.push_back(std::make_unique<Base>()); break;
      case 1: objects.push_back(std::make_unique<Middle>()); break;
      case 2:
      case 3: objects.push_back(std::make_unique<Tagged>()); break;
      default: objects.push_back(std::make_unique<Other>());
    }
  }
  int found = 0;
  for (int round = 0; round < 2; ++round) {
    for (const auto& o : objects) {
      Base* p = o.get();
      EXPECT_EQ(ClassCast<Middle>(p), dynamic_cast<Middle*>(p));
      EXPECT_EQ(ClassCast<Tagged>(p), dynamic_cast<Tagged*>(p));
      EXPECT_EQ(ClassCast<Tag>(p), dynamic_cast<Tag*>(p));  // across to the other base
      const Base* c = p;
      EXPECT_EQ(ClassCast<const Tagged>(c), dynamic_cast<const Tagged*>(c));
      if (auto* t = ClassCast<Tagged>(p)) {
        EXPECT_EQ(t->tagged, 2);
        ++found;
      }
    }
  }
  EXPECT_EQ(found, 2 * 16);
  EXPECT_EQ(ClassCast<Middle>(static_cast<Base*>(nullptr)), nullptr);
}

// An optional kept on the heap behaves as std::optional does: empty until
// set, copies that do not share, a value that reads back.
TEST(CoreRuntime, HeapOptionalReadsLikeAnOptional) {
  HeapOptional<std::string> a;
  EXPECT_FALSE(a.has_value());
  EXPECT_TRUE(a == std::nullopt);
  EXPECT_THROW((void)a.value(), std::bad_optional_access);
  a = std::string("field");
  ASSERT_TRUE(a);
  EXPECT_EQ(*a, "field");
  EXPECT_EQ(a->size(), 5u);

  HeapOptional<std::string> b = a;  // a copy, not a second name
  b->append("s");
  EXPECT_EQ(*a, "field");
  EXPECT_TRUE(b == std::string("fields"));
  a = b;
  EXPECT_EQ(a.value(), "fields");
  b = std::nullopt;
  EXPECT_FALSE(b);
  EXPECT_TRUE(a);
  a = b;  // copying an empty one empties
  EXPECT_FALSE(a.has_value());
  HeapOptional<std::string> c(std::string("x"));
  HeapOptional<std::string> d = std::move(c);
  EXPECT_EQ(*d, "x");
  d.reset();
  EXPECT_FALSE(d);
}

// The optional whose flag leaves the room after it to the next member: it
// reads like std::optional, and the member after it takes that room.
TEST(CoreRuntime, PackedOptionalReadsLikeAnOptionalAndLendsItsTail) {
  PackedOptional<Vector3D> a;
  EXPECT_FALSE(a.has_value());
  EXPECT_TRUE(a == std::nullopt);
  EXPECT_THROW((void)a.value(), std::bad_optional_access);
  a = Vector3D(1, 2, 3);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Y, 2.0);
  (*a).Z = 7.0;
  EXPECT_EQ(a.value().Z, 7.0);
  PackedOptional<Vector3D> b = a;
  b->X = 5.0;
  EXPECT_EQ(a->X, 1.0);
  a = std::nullopt;
  EXPECT_FALSE(a);
  a = b;
  EXPECT_EQ(a->X, 5.0);
  // An empty one holds a zero vector inside but equals no value, not even zero.
  EXPECT_TRUE(a == Vector3D(5, 2, 7));
  EXPECT_TRUE(a != Vector3D(5, 2, 8));
  a.reset();
  EXPECT_TRUE(a != Vector3D(0, 0, 0));

  struct Holder {
    [[no_unique_address]] PackedOptional<Vector3D> value;
    std::uint32_t next = 0;
  };
  EXPECT_EQ(sizeof(Holder), sizeof(Vector3D) + 8);
  Holder h;
  h.value = Vector3D(4, 5, 6);
  h.next = 0xFFFFFFFFu;
  EXPECT_TRUE(h.value);
  EXPECT_EQ(h.value->Z, 6.0);
  h.value.reset();
  EXPECT_EQ(h.next, 0xFFFFFFFFu);
  // Copying a whole optional into the field leaves the neighbour in its tail alone.
  const PackedOptional<Vector3D> other = Vector3D(7, 8, 9);
  h.value = other;
  EXPECT_EQ(h.next, 0xFFFFFFFFu);
  EXPECT_EQ(h.value->Y, 8.0);
  h.value = PackedOptional<Vector3D>();
  EXPECT_EQ(h.next, 0xFFFFFFFFu);
  EXPECT_FALSE(h.value);
}

namespace {
// An object that hands out references to itself while it is set up, and
// makes a part that does the same.
struct Made {
  std::shared_ptr<Made> seenSelf;
  std::shared_ptr<Made> part;
  std::shared_ptr<Made> partSawHolder;
  void Constructor(int depth) {
    seenSelf = OwnerScope::Of(this);
    if (depth > 0) {
      part = New<Made>(depth - 1);
      partSawHolder = OwnerScope::Of(this);  // the inner scope has closed
    }
  }
};
}  // namespace

// While New sets an object up, the object finds its owner by its address,
// in nested scopes too; outside them it finds none.
TEST(CoreRuntime, OwnerScopeGivesTheOwnerOfWhatIsBeingMade) {
  const auto made = New<Made>(1);
  EXPECT_EQ(made->seenSelf, made);
  EXPECT_EQ(made->part->seenSelf, made->part);
  EXPECT_EQ(made->partSawHolder, made);
  EXPECT_EQ(made->part->part, nullptr);
  EXPECT_EQ(OwnerScope::Of(made.get()), nullptr);
  // References handed out share the ownership.
  const std::weak_ptr<Made> watch = made->part;
  made->part->seenSelf.reset();
  made->part.reset();
  EXPECT_TRUE(watch.expired());
  const std::weak_ptr<Made> watchMade = made;
  made->seenSelf.reset();
  made->partSawHolder.reset();
  EXPECT_EQ(watchMade.use_count(), 1);

  // An address inside a derived object, through a base that does not start it.
  auto tagged = std::make_shared<Tagged>();
  {
    const OwnerScope scope(tagged);
    Base* base = tagged.get();
    ASSERT_NE(static_cast<void*>(base), static_cast<void*>(tagged.get()));
    EXPECT_EQ(OwnerScope::Of(base).get(), base);
    EXPECT_EQ(OwnerScope::Of(base).use_count(), 3);  // tagged, the scope and this one
  }
  EXPECT_EQ(OwnerScope::Of(static_cast<Base*>(tagged.get())), nullptr);
}
