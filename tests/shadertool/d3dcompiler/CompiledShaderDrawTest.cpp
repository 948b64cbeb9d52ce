// Corpus shaders compiled by the compile driver at run time on Wine's compiler: every HLSL11
// variant gives byte code, and the model 4/5 code of the sprite is accepted by Direct3D 11 and
// draws pixels that the test computes itself; the facing sign is read back from front and back
// faces.
#include <windows.h>

#include <d3d11.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../CorpusSupport.h"
#include "DxbcChecksum.h"
#include "foundation/ComPointer.h"
#include "shadertool/CompileDriver.h"
#include "shadertool/d3dcompiler/HLSLCompiler.h"

using namespace ShaderTool;

namespace {

// Corpus documents whose HLSL11 text stays inside the part of HLSL that Wine's compiler knows (no
// calls of user functions, no ternary operator, no SampleLevel).
const char* const kWineSubset[] = {"sprite.xml",           "multiple-outputs.xml",
                                   "legacy-constants.xml", "source-specific-target.xml",
                                   "target-dependent.xml", "matrix-varyings.xml"};

// Translates and compiles a corpus document for HLSL11 in the requested variants.
bool CompileCorpusDocument(const std::string& name, VariantFlags variants) {
    std::string text;
    EXPECT_TRUE(ShaderToolTest::ReadFile(ShaderToolTest::CorpusDirectory("translation") / name, &text));
    ResetShaderToolState();
    if (!InitializeTargets(TARGET_HLSL11, variants, "", false) ||
        !ReadShaderXml(name.c_str(), text.c_str(), false, false)) {
        return false;
    }
    ShaderTranslationRequest request;
    request.targets = TARGET_HLSL11;
    request.variants = variants;
    request.compile = 1;
    request.descriptionRead = 1;
    return TranslateShaderXml(name.c_str(), request, false);
}

std::string OutputLog() {
    return GetShaderToolState().outputLog.text.CStr();
}

// How many DXBC containers a stage buffer holds back to back; -1 when it holds anything else.
int CountContainers(const ByteStream& buffer) {
    int count = 0;
    int32_t offset = 0;
    while (offset < buffer.size) {
        uint32_t size = 0;
        if (buffer.size - offset < 32 || memcmp(buffer.data + offset, "DXBC", 4) != 0) {
            return -1;
        }
        memcpy(&size, buffer.data + offset + 24, sizeof(size));
        if (size < 32 || size > static_cast<uint32_t>(buffer.size - offset)) {
            return -1;
        }
        offset += static_cast<int32_t>(size);
        ++count;
    }
    return count;
}

// Shader model 3 code is a token stream: the version token ("vs_3_0" 0xFFFE0300, "ps_3_0"
// 0xFFFF0300) first, the end token last.
bool IsModel3Code(const ByteStream& buffer, uint32_t version) {
    uint32_t first = 0;
    uint32_t last = 0;
    if (buffer.size < 8 || buffer.size % 4 != 0) {
        return false;
    }
    memcpy(&first, buffer.data, 4);
    memcpy(&last, buffer.data + buffer.size - 4, 4);
    return first == version && last == 0x0000FFFFu;
}

// The model 4/5 variants append one DXBC container each; without a variant the compile is
// shader model 3.
TEST(CompiledCorpusShaders, EveryVariantGivesByteCode) {
    for (const char* document : kWineSubset) {
        // matrix-varyings.xml's texture coordinates pass level 9_1's eight TEXCOORD registers.
        const bool low = std::string(document) != "matrix-varyings.xml";
        ASSERT_TRUE(CompileCorpusDocument(document, VARIANT_HLSL11_DEFAULT | VARIANT_HLSL11_XBOX |
                                                        (low ? VariantFlags{VARIANT_HLSL11_LOW} : 0u)))
            << document << ":\n"
            << OutputLog();
        const State& state = GetShaderToolState();
        EXPECT_EQ(state.producedStages, 3u) << document;
        EXPECT_EQ(CountContainers(state.stageBuffers[STAGE_VERTEX]), low ? 3 : 2) << document;
        EXPECT_EQ(CountContainers(state.stageBuffers[STAGE_PIXEL]), low ? 3 : 2) << document;
        ASSERT_TRUE(CompileCorpusDocument(document, 0)) << document << ":\n" << OutputLog();
        EXPECT_TRUE(IsModel3Code(state.stageBuffers[STAGE_VERTEX], 0xFFFE0300u)) << document;
        EXPECT_TRUE(IsModel3Code(state.stageBuffers[STAGE_PIXEL], 0xFFFF0300u)) << document;
    }
    ResetShaderToolState();
}

// Vertex outputs that fill a level's registers (vectors narrower than four components packed
// from model 4 on) compile for it; one matrix column or vector more is refused before the compiler.
TEST(CompiledCorpusShaders, StageVariablesUpToTheLevelsRegistersCompile) {
    const struct {
        const char* full;
        const char* past;
        VariantFlags variant;
    } cases[] = {
        {"interpolators-full-model3.xml", "interpolators-past-model3.xml", 0},
        {"interpolators-full-level9.xml", "interpolators-past-level9.xml", VARIANT_HLSL11_LOW},
        {"interpolators-full-model4.xml", "interpolators-past-model4.xml", VARIANT_HLSL11_DEFAULT},
        {"interpolators-full-model5.xml", "interpolators-past-model5.xml", VARIANT_HLSL11_XBOX},
        {"interpolators-packed-model4.xml", "interpolators-packed-past-model4.xml", VARIANT_HLSL11_DEFAULT},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(CompileCorpusDocument(c.full, c.variant)) << c.full << ":\n" << OutputLog();
        EXPECT_FALSE(CompileCorpusDocument(c.past, c.variant)) << c.past;
        EXPECT_NE(OutputLog().find("goes past the"), std::string::npos) << c.past << ":\n" << OutputLog();
        EXPECT_EQ(OutputLog().find("Compilation output"), std::string::npos) << c.past;
    }
    ResetShaderToolState();
}

// A device without a window, a 4x4 colour target and a 4x4 texture of distinct texels.
class SpriteDraw : public ::testing::Test {
protected:
    static const UINT kSize = 4;

    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, nullptr, 0,
                                                D3D11_SDK_VERSION, &device_, nullptr, &context_)));
        D3D11_TEXTURE2D_DESC desc = {};
        desc.Width = kSize;
        desc.Height = kSize;
        desc.MipLevels = 1;
        desc.ArraySize = 1;
        desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        desc.SampleDesc.Count = 1;
        desc.BindFlags = D3D11_BIND_RENDER_TARGET;
        ASSERT_TRUE(SUCCEEDED(device_->CreateTexture2D(&desc, nullptr, &target_)));
        ASSERT_TRUE(SUCCEEDED(device_->CreateRenderTargetView(target_, nullptr, &targetView_)));
        for (UINT i = 0; i < kSize * kSize; ++i) {
            texels_.push_back(0xFF000000u | (i * 16u) << 16 | (255u - i * 8u) << 8 | (i * 13u + 7u));
        }
        desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
        D3D11_SUBRESOURCE_DATA data = {texels_.data(), kSize * 4, 0};
        ASSERT_TRUE(SUCCEEDED(device_->CreateTexture2D(&desc, &data, &texture_)));
        ASSERT_TRUE(SUCCEEDED(device_->CreateShaderResourceView(texture_, nullptr, &textureView_)));
        D3D11_SAMPLER_DESC sampler = {};
        sampler.Filter = D3D11_FILTER_MIN_MAG_MIP_POINT;
        sampler.AddressU = sampler.AddressV = sampler.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
        sampler.MaxLOD = D3D11_FLOAT32_MAX;
        ASSERT_TRUE(SUCCEEDED(device_->CreateSamplerState(&sampler, &sampler_)));
    }

    void TearDown() override {
        if (context_ != nullptr) {
            context_->ClearState();
        }
        for (IUnknown** object :
             {reinterpret_cast<IUnknown**>(&sampler_), reinterpret_cast<IUnknown**>(&textureView_),
              reinterpret_cast<IUnknown**>(&texture_), reinterpret_cast<IUnknown**>(&targetView_),
              reinterpret_cast<IUnknown**>(&target_), reinterpret_cast<IUnknown**>(&context_),
              reinterpret_cast<IUnknown**>(&device_)}) {
            ZQI_ReleaseComPointer(object);
        }
    }

    ID3D11Buffer* NewBuffer(UINT bind, const void* bytes, UINT size) {
        D3D11_BUFFER_DESC desc = {};
        desc.ByteWidth = size;
        desc.BindFlags = bind;
        D3D11_SUBRESOURCE_DATA data = {bytes, 0, 0};
        ID3D11Buffer* buffer = nullptr;
        EXPECT_TRUE(SUCCEEDED(device_->CreateBuffer(&desc, &data, &buffer)));
        return buffer;
    }

    // Draws a quad over the whole target with the compiled stage buffers of the shader tool.
    void DrawSprite() {
        const ByteStream& vertexCode = GetShaderToolState().stageBuffers[STAGE_VERTEX];
        const ByteStream& pixelCode = GetShaderToolState().stageBuffers[STAGE_PIXEL];
        ID3D11VertexShader* vertexShader = nullptr;
        ID3D11PixelShader* pixelShader = nullptr;
        ID3D11InputLayout* layout = nullptr;
        ASSERT_TRUE(
            SUCCEEDED(device_->CreateVertexShader(vertexCode.data, vertexCode.size, nullptr, &vertexShader)));
        ASSERT_TRUE(
            SUCCEEDED(device_->CreatePixelShader(pixelCode.data, pixelCode.size, nullptr, &pixelShader)));
        const D3D11_INPUT_ELEMENT_DESC elements[] = {
            {"POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0},
            {"COLOR", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 16, D3D11_INPUT_PER_VERTEX_DATA, 0},
            {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 32, D3D11_INPUT_PER_VERTEX_DATA, 0},
        };
        ASSERT_TRUE(
            SUCCEEDED(device_->CreateInputLayout(elements, 3, vertexCode.data, vertexCode.size, &layout)));
        // Clip-space corners as a strip, white, with the texture's corners.
        const float vertices[4][10] = {{-1, 1, 0, 1, 1, 1, 1, 1, 0, 0},
                                       {1, 1, 0, 1, 1, 1, 1, 1, 1, 0},
                                       {-1, -1, 0, 1, 1, 1, 1, 1, 0, 1},
                                       {1, -1, 0, 1, 1, 1, 1, 1, 1, 1}};
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        const float tint[4] = {1, 1, 0, 1};  // drops blue: every channel stays exact
        ID3D11Buffer* vertexBuffer = NewBuffer(D3D11_BIND_VERTEX_BUFFER, vertices, sizeof(vertices));
        ID3D11Buffer* transform = NewBuffer(D3D11_BIND_CONSTANT_BUFFER, identity, sizeof(identity));
        ID3D11Buffer* tintBuffer = NewBuffer(D3D11_BIND_CONSTANT_BUFFER, tint, 16);
        const UINT stride = sizeof(vertices[0]);
        const UINT offset = 0;
        const D3D11_VIEWPORT viewport = {0, 0, kSize, kSize, 0, 1};
        context_->IASetInputLayout(layout);
        context_->IASetVertexBuffers(0, 1, &vertexBuffer, &stride, &offset);
        context_->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP);
        context_->VSSetShader(vertexShader, nullptr, 0);
        context_->VSSetConstantBuffers(0, 1, &transform);
        context_->PSSetShader(pixelShader, nullptr, 0);
        context_->PSSetConstantBuffers(0, 1, &tintBuffer);
        context_->PSSetShaderResources(0, 1, &textureView_);
        context_->PSSetSamplers(0, 1, &sampler_);
        context_->RSSetViewports(1, &viewport);
        context_->OMSetRenderTargets(1, &targetView_, nullptr);
        const float black[4] = {0, 0, 0, 0};
        context_->ClearRenderTargetView(targetView_, black);
        context_->Draw(4, 0);
        for (IUnknown* object : {static_cast<IUnknown*>(vertexBuffer), static_cast<IUnknown*>(transform),
                                 static_cast<IUnknown*>(tintBuffer), static_cast<IUnknown*>(layout),
                                 static_cast<IUnknown*>(vertexShader), static_cast<IUnknown*>(pixelShader)}) {
            object->Release();
        }
    }

    std::vector<uint32_t> ReadTarget() {
        D3D11_TEXTURE2D_DESC desc = {};
        target_->GetDesc(&desc);
        desc.BindFlags = 0;
        desc.Usage = D3D11_USAGE_STAGING;
        desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
        ID3D11Texture2D* staging = nullptr;
        std::vector<uint32_t> pixels;
        if (FAILED(device_->CreateTexture2D(&desc, nullptr, &staging))) {
            return pixels;
        }
        context_->CopyResource(staging, target_);
        D3D11_MAPPED_SUBRESOURCE mapped = {};
        if (SUCCEEDED(context_->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
            for (UINT y = 0; y < kSize; ++y) {
                const uint32_t* row = reinterpret_cast<const uint32_t*>(
                    static_cast<const uint8_t*>(mapped.pData) + y * mapped.RowPitch);
                pixels.insert(pixels.end(), row, row + kSize);
            }
            context_->Unmap(staging, 0);
        }
        staging->Release();
        return pixels;
    }

    ID3D11Device* device_ = nullptr;
    ID3D11DeviceContext* context_ = nullptr;
    ID3D11Texture2D* target_ = nullptr;
    ID3D11RenderTargetView* targetView_ = nullptr;
    ID3D11Texture2D* texture_ = nullptr;
    ID3D11ShaderResourceView* textureView_ = nullptr;
    ID3D11SamplerState* sampler_ = nullptr;
    std::vector<uint32_t> texels_;  // R8G8B8A8 words as memory holds them (0xAABBGGRR)
};

// Each pixel centre samples its own texel with point filtering; the tint clears the blue byte.
TEST_F(SpriteDraw, ModelFourAndFiveCodeDrawsTheTexelsTinted) {
    std::vector<uint32_t> expected;
    for (uint32_t texel : texels_) {
        expected.push_back(texel & 0xFF00FFFFu);
    }
    for (VariantFlags variant : {VARIANT_HLSL11_DEFAULT, VARIANT_HLSL11_XBOX}) {
        ASSERT_TRUE(CompileCorpusDocument("sprite.xml", variant)) << OutputLog();
        DrawSprite();
        EXPECT_EQ(ReadTarget(), expected) << "variant " << variant;
    }
    ResetShaderToolState();
}

// ---- The facing as a sign ------------------------------------------------------------------------

// Wine 8's compiler knows no SV_IsFrontFace ("E5013: Invalid semantic"), so the translated text is
// compiled with a user semantic of the same length in its place, and the input signature of the
// byte code is then given the system value back: Direct3D delivers the facing as a bool, as it
// would to code compiled by Microsoft's compiler, and the translated expression has to make the
// sign of it.
const char kFacingSemantic[] = "SV_IsFrontFace";
const char kStandInSemantic[] = "ZQ_IsFrontFace";
const uint32_t kIsFrontFaceName = 9;  // D3D_NAME_IS_FRONT_FACE

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

uint32_t ReadWord(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t word = 0;
    memcpy(&word, bytes.data() + offset, 4);
    return word;
}

void WriteWord(std::vector<uint8_t>* bytes, size_t offset, uint32_t word) {
    memcpy(bytes->data() + offset, &word, 4);
}

// The container's checksum, written where the compiler keeps it.
void UpdateChecksum(std::vector<uint8_t>* container) {
    uint32_t checksum[4];
    EngineTest::DxbcChecksum(container->data(), container->size(), checksum);
    memcpy(container->data() + 4, checksum, sizeof(checksum));
}

// Gives the input signature element of the stand-in semantic its system value and name back.
bool RestoreFacingSemantic(std::vector<uint8_t>* container) {
    const uint32_t chunks = ReadWord(*container, 28);
    for (uint32_t i = 0; i < chunks; ++i) {
        const uint32_t chunk = ReadWord(*container, 32 + 4 * i);
        if (memcmp(container->data() + chunk, "ISGN", 4) != 0) {
            continue;
        }
        const size_t base = chunk + 8;
        const uint32_t elements = ReadWord(*container, base);
        for (uint32_t e = 0; e < elements; ++e) {
            const size_t element = base + 8 + 24 * e;
            char* name = reinterpret_cast<char*>(container->data() + base + ReadWord(*container, element));
            if (strcmp(name, kStandInSemantic) == 0) {
                memcpy(name, kFacingSemantic, sizeof(kFacingSemantic) - 1);
                WriteWord(container, element + 8, kIsFrontFaceName);
                UpdateChecksum(container);
                return true;
            }
        }
    }
    return false;
}

std::vector<uint8_t> CompileCorpusStage(const char* file, int32_t stage) {
    std::string text;
    EXPECT_TRUE(ShaderToolTest::ReadFile(ShaderToolTest::CorpusDirectory("translation") / file, &text));
    text = Replaced(text, kFacingSemantic, kStandInSemantic);
    MessageLog log;
    HLSLCompiler compiler(&log);
    ByteStream code;
    EXPECT_TRUE(compiler.Initialize());
    EXPECT_TRUE(compiler.Compile(TARGET_HLSL11, VARIANT_HLSL11_DEFAULT, stage, text.c_str(), false, &code))
        << file << ":\n"
        << log.text.CStr();
    return std::vector<uint8_t>(code.data, code.data + code.size);
}

// The left half of the target is covered by clockwise (front) triangles, the right half by
// counter-clockwise (back) ones, drawn without culling: red is 255 where the sign is 1 and 0
// where it is -1.
TEST_F(SpriteDraw, FaceDirectionIsMinusOneOnBackFaces) {
    const std::vector<uint8_t> vertexCode = CompileCorpusStage("face-direction.HLSL11.vertex", STAGE_VERTEX);
    std::vector<uint8_t> pixelCode = CompileCorpusStage("face-direction.HLSL11.pixel", STAGE_PIXEL);
    ASSERT_FALSE(vertexCode.empty());
    ASSERT_GE(pixelCode.size(), 32u);
    std::vector<uint8_t> recomputed = pixelCode;
    UpdateChecksum(&recomputed);
    ASSERT_EQ(recomputed, pixelCode) << "the checksum is the compiler's own";
    ASSERT_TRUE(RestoreFacingSemantic(&pixelCode));
    ID3D11VertexShader* vertexShader = nullptr;
    ID3D11PixelShader* pixelShader = nullptr;
    ID3D11InputLayout* layout = nullptr;
    ID3D11RasterizerState* noCulling = nullptr;
    ASSERT_TRUE(
        SUCCEEDED(device_->CreateVertexShader(vertexCode.data(), vertexCode.size(), nullptr, &vertexShader)));
    ASSERT_TRUE(
        SUCCEEDED(device_->CreatePixelShader(pixelCode.data(), pixelCode.size(), nullptr, &pixelShader)));
    const D3D11_INPUT_ELEMENT_DESC position = {
        "POSITION", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 0, 0, D3D11_INPUT_PER_VERTEX_DATA, 0};
    ASSERT_TRUE(
        SUCCEEDED(device_->CreateInputLayout(&position, 1, vertexCode.data(), vertexCode.size(), &layout)));
    D3D11_RASTERIZER_DESC rasterizer = {};
    rasterizer.FillMode = D3D11_FILL_SOLID;
    rasterizer.CullMode = D3D11_CULL_NONE;
    rasterizer.DepthClipEnable = TRUE;
    ASSERT_TRUE(SUCCEEDED(device_->CreateRasterizerState(&rasterizer, &noCulling)));
    const float vertices[12][4] = {
        {-1, 1, 0, 1}, {0, 1, 0, 1},  {-1, -1, 0, 1}, {0, 1, 0, 1}, {0, -1, 0, 1}, {-1, -1, 0, 1},  // front
        {0, 1, 0, 1},  {0, -1, 0, 1}, {1, 1, 0, 1},   {1, 1, 0, 1}, {0, -1, 0, 1}, {1, -1, 0, 1},   // back
    };
    ID3D11Buffer* vertexBuffer = NewBuffer(D3D11_BIND_VERTEX_BUFFER, vertices, sizeof(vertices));
    const UINT stride = sizeof(vertices[0]);
    const UINT offset = 0;
    const D3D11_VIEWPORT viewport = {0, 0, kSize, kSize, 0, 1};
    context_->IASetInputLayout(layout);
    context_->IASetVertexBuffers(0, 1, &vertexBuffer, &stride, &offset);
    context_->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    context_->VSSetShader(vertexShader, nullptr, 0);
    context_->PSSetShader(pixelShader, nullptr, 0);
    context_->RSSetState(noCulling);
    context_->RSSetViewports(1, &viewport);
    context_->OMSetRenderTargets(1, &targetView_, nullptr);
    const float clear[4] = {0, 0, 1, 1};
    context_->ClearRenderTargetView(targetView_, clear);
    context_->Draw(12, 0);
    std::vector<uint32_t> expected;
    for (UINT y = 0; y < kSize; ++y) {
        for (UINT x = 0; x < kSize; ++x) {
            expected.push_back(x < kSize / 2 ? 0xFF0000FFu : 0xFF000000u);
        }
    }
    EXPECT_EQ(ReadTarget(), expected);
    for (IUnknown* object : {static_cast<IUnknown*>(vertexBuffer), static_cast<IUnknown*>(noCulling),
                             static_cast<IUnknown*>(layout), static_cast<IUnknown*>(vertexShader),
                             static_cast<IUnknown*>(pixelShader)}) {
        object->Release();
    }
}

}  // namespace
