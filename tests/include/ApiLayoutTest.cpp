// Run-time side of the engine API layout test. The sizes and offsets themselves are checked at
// compile time in ApiLayout.c (built as C and as C++); here the two builds are compared, and the
// records the engine fills by hand are checked against the header's own constants.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "zorqa.h"

extern "C" size_t ZQ_ApiLayoutSummaryC(size_t* sizes, size_t capacity);
extern "C" size_t ZQ_ApiLayoutSummaryCpp(size_t* sizes, size_t capacity);

namespace {

std::vector<size_t> Summary(size_t (*summary)(size_t*, size_t)) {
    const size_t count = summary(nullptr, 0);
    std::vector<size_t> sizes(count);
    summary(sizes.data(), sizes.size());
    return sizes;
}

TEST(ApiLayout, CAndCppAgreeOnEveryMeasuredSize) {
    const std::vector<size_t> c = Summary(ZQ_ApiLayoutSummaryC);
    const std::vector<size_t> cpp = Summary(ZQ_ApiLayoutSummaryCpp);
    ASSERT_FALSE(c.empty());
    EXPECT_EQ(c, cpp);
}

TEST(ApiLayout, EventViewsShareTheTypeWord) {
    zq_event_t event;
    std::memset(&event, 0, sizeof(event));
    event.key.type = ZQ_EVENT_KEY_DOWN;
    event.key.input_id = 0x1234;
    EXPECT_EQ(ZQ_EVENT_KEY_DOWN, event.type);
    EXPECT_EQ(0x34, event.bytes[4]);
    EXPECT_EQ(0x12, event.bytes[5]);
}

TEST(ApiLayout, InterfaceVersionSplitsIntoItsFields) {
    const uint32_t version = ZQ_MAKE_INTERFACE_VERSION(15, 46, 4095);
    EXPECT_EQ(15u, ZQ_INTERFACE_VERSION_MAJOR(version));
    EXPECT_EQ(46u, ZQ_INTERFACE_VERSION_MINOR(version));
    EXPECT_EQ(4095u, ZQ_INTERFACE_VERSION_PATCH(version));
    EXPECT_EQ(0x03C2E001u, ZQ_MAKE_INTERFACE_VERSION(15, 46, 1));
}

}  // namespace
