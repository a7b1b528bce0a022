#include "platform/unique_resource.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace varnel::platform {
namespace {

// A resource whose none is all ones, as on Windows, and that records what it closes.
std::vector<int> closed;
struct RecordingTraits {
    using Native = int;
    static constexpr int none() { return -1; }
    static void close(int native) { closed.push_back(native); }
};
using Owner = UniqueResource<RecordingTraits>;

TEST(UniqueResource, ClosesEachResourceExactlyOnceAndNeverNoneOrZero) {
    closed.clear();
    {
        Owner none;
        Owner zero(0);  // zero is a resource like any other
        Owner a(7);
        Owner b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_TRUE(zero.valid());
        Owner c(8);
        c = std::move(b);  // closes 8, takes 7
        EXPECT_EQ(closed, std::vector<int>{8});
        Owner& same = c;
        c = std::move(same);  // moving into itself keeps the resource open
        EXPECT_EQ(c.get(), 7);
        Owner d(9);
        EXPECT_EQ(d.release(), 9);  // the caller's now
        EXPECT_FALSE(d.valid());
        none.reset(10);
        none.reset();
        EXPECT_EQ(closed, (std::vector<int>{8, 10}));
    }
    EXPECT_EQ(closed, (std::vector<int>{8, 10, 7, 0}));
}

}  // namespace
}  // namespace varnel::platform
