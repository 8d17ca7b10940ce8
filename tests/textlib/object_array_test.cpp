// The owning object array: block growth, the block size fallback, deletion
// once per element in index order (counted by an element type that records
// its own destruction), non-owning arrays, and the count cap.
#include "textlib/object_array.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#if defined(DX_WRAPPED_REALLOC)
// The link sends the array's realloc calls here (--wrap=realloc).
namespace {
bool gFailRealloc = false;
}  // namespace
extern "C" void* __real_realloc(void* p, size_t size);
extern "C" void* __wrap_realloc(void* p, size_t size) { return gFailRealloc ? nullptr : __real_realloc(p, size); }
#endif

namespace {

std::vector<int> deletedIds;  // ids in the order their elements were destroyed

struct TCounted {
  explicit TCounted(int ident) : id(ident) {}
  virtual ~TCounted() { deletedIds.push_back(id); }
  int id;
};

// Deleted through the base pointer: the virtual destructor must run this one.
struct TCountedChild : TCounted {
  explicit TCountedChild(int ident) : TCounted(ident) {}
  ~TCountedChild() override { deletedIds.push_back(-id); }
};

class ObjectArrayTest : public testing::Test {
 protected:
  void SetUp() override { deletedIds.clear(); }
};

TEST_F(ObjectArrayTest, Growth_AddsOneBlockWhenFull) {
  FlexObjectArray<TCounted> array(16, true);
  const struct {
    int adds;  // total elements after this row
    int capacity;
  } kSteps[] = {{1, 16}, {16, 16}, {17, 32}, {32, 32}, {33, 48}};
  int added = 0;
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.adds);
    while (added < step.adds) ASSERT_EQ(array.add(new TCounted(added++)), 0);
    EXPECT_EQ(array.count(), step.adds);
    EXPECT_EQ(array.capacity(), step.capacity);
  }
  for (int i = 0; i < added; ++i) ASSERT_EQ(array.item(i)->id, i);  // nothing lost in the moves
}

// Far past the first blocks the capacity still counts whole blocks, however the
// storage behind it is reserved, and clear still shrinks it to one block.
TEST_F(ObjectArrayTest, ManyElements_CapacityStaysBlockwise) {
  static int slots[3];
  FlexObjectArray<int> array(16, false);
  for (int i = 0; i < 100000; ++i) ASSERT_EQ(array.add(&slots[i % 3]), 0);
  EXPECT_EQ(array.capacity(), 100000);
  array.add(&slots[0]);
  EXPECT_EQ(array.capacity(), 100016);
  EXPECT_EQ(array.item(0), &slots[0]);
  EXPECT_EQ(array.item(99998), &slots[2]);
  EXPECT_EQ(array.item(100000), &slots[0]);
  array.clear();
  EXPECT_EQ(array.capacity(), 16);
  for (int i = 0; i < 17; ++i) ASSERT_EQ(array.add(&slots[1]), 0);
  EXPECT_EQ(array.capacity(), 32);
  EXPECT_EQ(array.item(16), &slots[1]);
}

TEST_F(ObjectArrayTest, BlockSize_FallsBackTo16) {
  const struct {
    int32_t given;
    int32_t capacity;         // after construction
    int32_t capacityAfterTwo;  // after two adds
  } kCases[] = {{0, 16, 16}, {-5, 16, 16}, {1, 1, 2}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.given);
    FlexObjectArray<TCounted> array(c.given, true);
    EXPECT_EQ(array.capacity(), c.capacity);
    array.add(nullptr);
    array.add(nullptr);
    EXPECT_EQ(array.count(), 2);
    EXPECT_EQ(array.capacity(), c.capacityAfterTwo);
  }
}

TEST_F(ObjectArrayTest, Clear_DeletesEachOnceInIndexOrder) {
  FlexObjectArray<TCounted> array(4, true);
  array.add(new TCounted(1));
  array.add(nullptr);  // null slots are skipped
  array.add(new TCountedChild(2));
  array.add(new TCounted(3));
  array.add(nullptr);
  array.add(new TCounted(4));
  EXPECT_EQ(array.capacity(), 8);
  array.clear();
  EXPECT_EQ(deletedIds, (std::vector<int>{1, -2, 2, 3, 4}));
  EXPECT_EQ(array.count(), 0);
  EXPECT_EQ(array.capacity(), 4);  // shrunk back to one block

  array.add(new TCounted(5));  // usable again after clear
  EXPECT_EQ(array.item(0)->id, 5);
}

TEST_F(ObjectArrayTest, Destruction_DeletesOwnedElements) {
  {
    FlexObjectArray<TCounted> array(16, true);
    array.add(new TCounted(7));
    array.add(new TCounted(8));
  }
  EXPECT_EQ(deletedIds, (std::vector<int>{7, 8}));
}

TEST_F(ObjectArrayTest, NonOwning_NeverDeletes) {
  TCounted a(1);
  TCounted b(2);
  {
    FlexObjectArray<TCounted> array(16, false);
    array.add(&a);
    array.add(&b);
    array.clear();
    EXPECT_EQ(array.count(), 0);
    array.add(&a);
  }
  EXPECT_TRUE(deletedIds.empty());
}

TEST_F(ObjectArrayTest, MaxCount_RefusesAndLeavesItemWithCaller) {
  auto* third = new TCounted(3);
  {
    FlexObjectArray<TCounted> array(16, true);
    array.setMaxCount(2);
    EXPECT_EQ(array.add(new TCounted(1)), 0);
    EXPECT_EQ(array.add(new TCounted(2)), 0);
    EXPECT_EQ(array.add(third), -1);
    EXPECT_EQ(array.count(), 2);
  }
  EXPECT_EQ(deletedIds, (std::vector<int>{1, 2}));  // the refused item was not taken
  delete third;
}

#if defined(DX_WRAPPED_REALLOC)
// When the storage cannot grow, add refuses and the capacity still counts
// only the slots the storage has, so the next add cannot write past them.
// Only the native link can wrap realloc; the Windows program leaves it out.
TEST_F(ObjectArrayTest, FailedGrowth_KeepsCapacityAndRefuses) {
  static int slots[17];
  FlexObjectArray<int> array(16, false);
  for (int i = 0; i < 16; ++i) ASSERT_EQ(array.add(&slots[i]), 0);
  gFailRealloc = true;
  EXPECT_EQ(array.add(&slots[16]), -1);
  EXPECT_EQ(array.add(&slots[16]), -1);
  gFailRealloc = false;
  EXPECT_EQ(array.count(), 16);
  EXPECT_EQ(array.capacity(), 16);
  EXPECT_EQ(array.add(&slots[16]), 0);  // and it grows once it can
  EXPECT_EQ(array.capacity(), 32);
  EXPECT_EQ(array.item(16), &slots[16]);
}
#endif

TEST_F(ObjectArrayTest, StringVector_OwnsItsStrings) {
  kvstrT_vec<__kvstrW, char16_t> names(16, true);
  for (const char16_t* name : {u"English", u"", u"日本語"}) names.add(new __kvstrW(name));
  ASSERT_EQ(names.count(), 3);
  EXPECT_EQ(std::u16string(names.item(0)->str()), u"English");
  EXPECT_EQ(names.item(1)->length(), 0);
  EXPECT_EQ(std::u16string(names.item(2)->str()), u"日本語");
  // The sanitizer build reports any string the vector fails to delete.
}

}  // namespace
