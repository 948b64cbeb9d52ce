// Helpers for the Direct3D 11 back end's tests: a window to present into, a fixture that captures
// the log lines and error reports the back end writes, and pixel read-back through a staging copy.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/d3d11/RendererImplementation.h"

// A hidden frameless window of the given client size, destroyed with the object.
class TestWindow {
public:
    TestWindow(int width, int height);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND handle() const { return handle_; }

private:
    HWND handle_;
};

// Pixels of a B8G8R8A8 texture, one word per pixel as memory holds it (0xAARRGGBB).
struct TexturePixels {
    UINT width = 0;
    UINT height = 0;
    std::vector<uint32_t> words;
};

bool ReadTexturePixels(const RendererImplementation& renderer, ID3D11Texture2D* texture,
                       TexturePixels* pixels);
// The texels of one mip level (and array slice) of a texture with 4-byte texels, row by row.
std::vector<uint8_t> ReadTexels(const RendererImplementation* renderer, ID3D11Texture2D* texture, UINT level = 0,
                                UINT slice = 0, UINT* width = nullptr, UINT* height = nullptr);
bool ReadBackBuffer(const RendererImplementation& renderer, TexturePixels* pixels);
// True when there are pixels and every one equals word.
bool AllPixelsAre(const TexturePixels& pixels, uint32_t word);

// Windowed, vertical sync on.
RendererPlatform WindowedPlatform(HWND window);

struct CapturedReport {
    int32_t level;
    std::string text;
};

// Logging runs into the console ring (no file) and error reports are captured; renderers made
// with NewRenderer are deleted, releasing everything, after each test.
class RendererTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Value-initialised (zero-filled with its defaults), as the core creates it.
    RendererImplementation* NewRenderer();
    // A log line with its "[LEVEL] " prefix, written since the test began.
    bool HasLogLine(const std::string& line) const;
    const std::vector<CapturedReport>& Reports() const;

private:
    std::vector<RendererImplementation*> renderers_;
};
