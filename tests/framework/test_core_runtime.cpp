#include "framework/runtime/class_cast.h"
#include "framework/runtime/heap_optional.h"

#include <gtest/gtest.h>

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
