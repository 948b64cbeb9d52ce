// Byte buffers and the "ostc" compressed container: creation, round trips, and every way a
// container header or stream can be wrong.
#include "core/Buffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Owns a buffer for the length of a test.
struct BufferHolder {
    zq_buffer_t* buffer;
    explicit BufferHolder(zq_buffer_t* b) : buffer(b) {}
    ~BufferHolder() { ZQ_FreeBuffer(buffer); }
    BufferHolder(const BufferHolder&) = delete;
    BufferHolder& operator=(const BufferHolder&) = delete;
};

uint32_t ReadU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void WriteU32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& input) {
    BufferHolder packed(ZQ_CompressBuffer(input.data(), static_cast<uint32_t>(input.size())));
    if (packed.buffer == nullptr) return {};
    return std::vector<uint8_t>(packed.buffer->data, packed.buffer->data + packed.buffer->size);
}

std::vector<uint8_t> PseudoRandomBytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(seed >> 24);
    }
    return bytes;
}

bool DecompressesTo(const std::vector<uint8_t>& container, const std::vector<uint8_t>& expected) {
    BufferHolder unpacked(ZQ_DecompressBuffer(container.data(), static_cast<uint32_t>(container.size())));
    if (unpacked.buffer == nullptr) return false;
    return unpacked.buffer->size == expected.size() &&
           (expected.empty() || std::memcmp(unpacked.buffer->data, expected.data(), expected.size()) == 0);
}

}  // namespace

TEST(BufferTest, CreateBufferAllocatesTheRequestedSize) {
    BufferHolder holder(ZQ_CreateBuffer(100));
    ASSERT_NE(holder.buffer, nullptr);
    EXPECT_NE(holder.buffer->data, nullptr);
    EXPECT_EQ(holder.buffer->size, 100u);
    EXPECT_EQ(holder.buffer->capacity, 100u);
    EXPECT_EQ(holder.buffer->reserved, 0u);
    EXPECT_EQ(holder.buffer->unused, 0u);
    std::memset(holder.buffer->data, 0xAB, 100);  // the whole block is usable (ASan checks)
}

TEST(BufferTest, CreateBufferOfZeroOrNegativeSizeIsAnEmptyRecord) {
    for (int32_t size : {0, -1, INT32_MIN}) {
        BufferHolder holder(ZQ_CreateBuffer(size));
        ASSERT_NE(holder.buffer, nullptr) << size;
        EXPECT_EQ(holder.buffer->data, nullptr) << size;
        EXPECT_EQ(holder.buffer->size, 0u) << size;
        EXPECT_EQ(holder.buffer->capacity, 0u) << size;
    }
}

// Null returns at once; a record without a data block (the case checked first, so the test
// frees what it says) is freed whole: the host build's sanitizers report a leak, a bad free or a
// read of the missing block.
TEST(BufferTest, FreeBufferIgnoresNull) {
    ZQ_FreeBuffer(nullptr);
    zq_buffer_t* empty = ZQ_CreateBuffer(0);
    ASSERT_NE(empty, nullptr);
    ASSERT_EQ(empty->data, nullptr);
    EXPECT_EQ(empty->size, 0u);
    ZQ_FreeBuffer(empty);
    zq_buffer_t* foreign = ZQ_CreateBuffer(0);
    ASSERT_NE(foreign, nullptr);
    foreign->data = static_cast<uint8_t*>(malloc(3));  // a block the program put in the record
    foreign->size = foreign->capacity = 3;
    ZQ_FreeBuffer(foreign);
}

TEST(BufferTest, ContainerOfThreeBytesHasTheDocumentedHeader) {
    const std::vector<uint8_t> abc = {'a', 'b', 'c'};
    const std::vector<uint8_t> container = Compress(abc);
    ASSERT_EQ(container.size(), 23u);
    EXPECT_EQ(std::memcmp(container.data(), "ostc", 4), 0);
    EXPECT_EQ(ReadU32(container.data() + 4), 3u);
    EXPECT_EQ(ReadU32(container.data() + 8), 11u);
    EXPECT_EQ(container[12], 0x78);  // zlib header, best compression: 78 DA
    EXPECT_EQ(container[13], 0xDA);
    EXPECT_TRUE(ZQ_IsCompressedBuffer(container.data(), 23));
    EXPECT_TRUE(DecompressesTo(container, abc));
}

TEST(BufferTest, CompressedBufferKeepsItsCapacity) {
    const std::vector<uint8_t> input(1000, 'x');
    BufferHolder packed(ZQ_CompressBuffer(input.data(), 1000));
    ASSERT_NE(packed.buffer, nullptr);
    EXPECT_EQ(packed.buffer->capacity, 1000u + 524u);
    EXPECT_LT(packed.buffer->size, 100u);
}

TEST(BufferTest, RoundTripsCompressibleAndIncompressibleData) {
    std::vector<uint8_t> text;
    for (int i = 0; i < 5000; ++i) text.push_back(static_cast<uint8_t>("save data "[i % 10]));
    std::vector<uint8_t> noise = PseudoRandomBytes(200000, 7);
    std::vector<uint8_t> single = {0};
    for (std::vector<uint8_t>* input : {&text, &noise, &single}) {
        const std::vector<uint8_t> container = Compress(*input);
        ASSERT_FALSE(container.empty());
        EXPECT_TRUE(ZQ_IsCompressedBuffer(container.data(), static_cast<uint32_t>(container.size())));
        EXPECT_TRUE(DecompressesTo(container, *input));
    }
}

TEST(BufferTest, CompressRefusesNullAndEmptyInput) {
    const uint8_t byte = 1;
    EXPECT_EQ(ZQ_CompressBuffer(nullptr, 10), nullptr);
    EXPECT_EQ(ZQ_CompressBuffer(&byte, 0), nullptr);
}

TEST(BufferTest, IsCompressedBufferChecksMagicLengthAndMinimumSize) {
    const std::vector<uint8_t> good = Compress({'a', 'b', 'c'});
    EXPECT_FALSE(ZQ_IsCompressedBuffer(nullptr, 23));
    EXPECT_FALSE(ZQ_IsCompressedBuffer(good.data(), 0));

    // A 12-byte header that is consistent with its length is still too short.
    std::vector<uint8_t> headerOnly(good.begin(), good.begin() + 12);
    WriteU32(headerOnly.data() + 8, 0);
    EXPECT_FALSE(ZQ_IsCompressedBuffer(headerOnly.data(), 12));

    std::vector<uint8_t> badMagic = good;
    badMagic[3] = 'C';
    EXPECT_FALSE(ZQ_IsCompressedBuffer(badMagic.data(), 23));
    EXPECT_EQ(ZQ_DecompressBuffer(badMagic.data(), 23), nullptr);
}

TEST(BufferTest, CompressedLengthFieldMustMatchTheInputLength) {
    for (int32_t delta : {-1, 1}) {
        std::vector<uint8_t> container = Compress({'a', 'b', 'c'});
        WriteU32(container.data() + 8, static_cast<uint32_t>(11 + delta));
        EXPECT_FALSE(ZQ_IsCompressedBuffer(container.data(), 23)) << delta;
        EXPECT_EQ(ZQ_DecompressBuffer(container.data(), 23), nullptr) << delta;
    }
}

TEST(BufferTest, StoredLengthMustMatchTheInflatedLength) {
    for (uint32_t stored : {2u, 4u, 0u, 100u}) {
        std::vector<uint8_t> container = Compress({'a', 'b', 'c'});
        WriteU32(container.data() + 4, stored);
        EXPECT_TRUE(ZQ_IsCompressedBuffer(container.data(), 23)) << stored;
        EXPECT_EQ(ZQ_DecompressBuffer(container.data(), 23), nullptr) << stored;
    }
}

TEST(BufferTest, LyingStoredLengthsAreRejected) {
    // Lengths no 11-byte stream can reach, including ones that are negative as a signed size
    // (for which no output block can be made at all).
    for (uint32_t stored : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x10000000u}) {
        std::vector<uint8_t> container = Compress({'a', 'b', 'c'});
        WriteU32(container.data() + 4, stored);
        EXPECT_EQ(ZQ_DecompressBuffer(container.data(), 23), nullptr) << stored;
    }
}

TEST(BufferTest, HighlyCompressedDataStillRoundTrips) {
    // Long runs approach deflate's best ratio; the plausibility limit must let them through.
    const std::vector<uint8_t> zeros(4 * 1024 * 1024, 0);
    const std::vector<uint8_t> container = Compress(zeros);
    ASSERT_FALSE(container.empty());
    EXPECT_TRUE(DecompressesTo(container, zeros));
}

TEST(BufferTest, TruncatedOrCorruptStreamsAreRejected) {
    const std::vector<uint8_t> input = PseudoRandomBytes(3000, 11);
    const std::vector<uint8_t> container = Compress(input);
    ASSERT_GT(container.size(), 40u);

    // Truncated, with the length field corrected so only the stream is at fault.
    for (size_t keep : {size_t{13}, size_t{20}, container.size() - 1}) {
        std::vector<uint8_t> cut(container.begin(), container.begin() + keep);
        WriteU32(cut.data() + 8, static_cast<uint32_t>(keep - 12));
        EXPECT_EQ(ZQ_DecompressBuffer(cut.data(), static_cast<uint32_t>(cut.size())), nullptr) << keep;
    }
    // A flipped byte in the zlib header, and one in the Adler-32 trailer.
    for (size_t at : {size_t{12}, container.size() - 1}) {
        std::vector<uint8_t> broken = container;
        broken[at] ^= 0x5A;
        EXPECT_EQ(ZQ_DecompressBuffer(broken.data(), static_cast<uint32_t>(broken.size())), nullptr) << at;
    }
}

TEST(BufferTest, EmptyStreamWithZeroStoredLengthGivesAnEmptyBuffer) {
    // The program cannot make this with CompressBuffer, but a container may still hold it.
    const uint8_t emptyStream[] = {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
    std::vector<uint8_t> container = {'o', 's', 't', 'c', 0, 0, 0, 0, 0, 0, 0, 0};
    container.insert(container.end(), std::begin(emptyStream), std::end(emptyStream));
    WriteU32(container.data() + 8, sizeof emptyStream);
    BufferHolder unpacked(ZQ_DecompressBuffer(container.data(), static_cast<uint32_t>(container.size())));
    ASSERT_NE(unpacked.buffer, nullptr);
    EXPECT_EQ(unpacked.buffer->size, 0u);
}
