#include "base/unique_any.h"

#include <gtest/gtest.h>

#include <vector>

namespace dovrel {
namespace {

std::vector<int> released;
void ReleaseNumber(int value) { released.push_back(value); }
using unique_number = unique_any<int, ReleaseNumber, -1>;

// A pointer handle whose "none" is (T*)-1, as FindFirstFile's and iconv_open's failures.
std::vector<const char*> releasedPointers;
void ReleasePointer(const char* value) { releasedPointers.push_back(value); }
using unique_marked = unique_any<const char*, ReleasePointer, -1>;

// An out-parameter function as the platform's: writes a new handle, or nothing on failure.
bool Open(int value, int* out) {
  if (value < 0) return false;
  *out = value;
  return true;
}

TEST(UniqueAny, PutLetsGoOfTheOldHandleAndTakesTheNewOne) {
  released.clear();
  {
    unique_number number(3);
    ASSERT_TRUE(Open(7, number.put()));
    EXPECT_EQ(released, std::vector<int>{3});
    EXPECT_EQ(number.get(), 7);
    EXPECT_FALSE(Open(-1, number.put()));
    EXPECT_FALSE(number);  // a failed open leaves the slot empty
    EXPECT_EQ(released, (std::vector<int>{3, 7}));
  }
  EXPECT_EQ(released, (std::vector<int>{3, 7}));  // nothing more to let go
}

TEST(UniqueAny, AnIntegerNoneStandsForAPointerHandle) {
  releasedPointers.clear();
  const char text[] = "x";
  {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the failure value under test
    const unique_marked failed(reinterpret_cast<const char*>(-1));
    EXPECT_FALSE(failed);
    const unique_marked empty;
    EXPECT_FALSE(empty);
    const unique_marked held(text);
    EXPECT_TRUE(held);
    unique_marked null(nullptr);
    EXPECT_TRUE(null);  // only -1 means none here
    null.release();
  }
  EXPECT_EQ(releasedPointers, std::vector<const char*>{text});
}

TEST(UniqueAny, MovesOwnership) {
  released.clear();
  unique_number first(1);
  unique_number second(std::move(first));
  EXPECT_FALSE(first);  // NOLINT(bugprone-use-after-move): the moved-from state is the point
  unique_number third;
  third = std::move(second);
  EXPECT_EQ(third.get(), 1);
  EXPECT_EQ(third.release(), 1);
  EXPECT_TRUE(released.empty());
}

}  // namespace
}  // namespace dovrel
