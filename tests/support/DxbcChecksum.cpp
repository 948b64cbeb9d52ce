// MD5 with the DXBC container's own padding, as the Direct3D compiler checksums its output.
#include "DxbcChecksum.h"

#include <cmath>
#include <cstring>

namespace EngineTest {
namespace {

uint32_t Rotate(uint32_t x, int c) {
    return (x << c) | (x >> (32 - c));
}

void Md5Block(uint32_t state[4], const uint8_t* block) {
    static const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                   5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                   4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                   6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    uint32_t words[16];
    memcpy(words, block, sizeof(words));
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d), g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c), g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d, g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d), g = (7 * i) % 16;
        }
        const uint32_t k = static_cast<uint32_t>(std::fabs(std::sin(double(i + 1))) * 4294967296.0);
        const uint32_t rotated = Rotate(a + f + k + words[g], kShift[i]);
        a = d;
        d = c;
        c = b;
        b = b + rotated;
    }
    state[0] += a, state[1] += b, state[2] += c, state[3] += d;
}

}  // namespace

// The checksum covers everything after the magic and the checksum (byte 20 on); its last block
// carries the bit count first and (bits >> 2) | 1 last instead of MD5's length field.
void DxbcChecksum(const uint8_t* container, size_t size, uint32_t out[4]) {
    const uint8_t* data = container + 20;
    const size_t length = size - 20;
    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    size_t done = 0;
    for (; done + 64 <= length; done += 64) {
        Md5Block(state, data + done);
    }
    const size_t rest = length - done;
    const uint32_t bits = static_cast<uint32_t>(length * 8);
    const uint32_t last = (bits >> 2) | 1;
    uint8_t block[64] = {};
    if (rest >= 56) {
        memcpy(block, data + done, rest);
        block[rest] = 0x80;
        Md5Block(state, block);
        memset(block, 0, 56);  // bytes 56 to 59 keep what the first block had there
    } else {
        memcpy(block + 4, data + done, rest);
        block[4 + rest] = 0x80;
    }
    memcpy(block, &bits, 4);
    memcpy(block + 60, &last, 4);
    Md5Block(state, block);
    memcpy(out, state, 16);
}

}  // namespace EngineTest
