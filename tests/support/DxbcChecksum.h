// The checksum of a Direct3D shader container (DXBC), recomputed by the tests that check or patch
// compiled shader code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace EngineTest {

// MD5 with the container's own padding over everything after the magic and the checksum (byte 20
// on); the compiler stores the four words at bytes 4 to 19.
void DxbcChecksum(const uint8_t* container, size_t size, uint32_t out[4]);

}  // namespace EngineTest
