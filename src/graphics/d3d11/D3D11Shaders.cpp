// Shaders on the device: vertex and pixel shader objects from compiled code, the input layout of
// the shader's vertex format, and its constant buffers.
#include <cstdlib>

#include "core/ApiTable.h"
#include "foundation/ComPointer.h"
#include "graphics/d3d11/RendererBuffer.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

struct LayoutElement {
    uint32_t bit;
    const char* semantic;
    UINT semanticIndex;
    DXGI_FORMAT format;
    UINT bytes;
};

// Memory order of the elements; TEXCOORD 1 comes before NORMAL. COLOR's format depends on the device.
const LayoutElement kLayoutElements[] = {
    {ZQ_VERTEX_FORMAT_POSITION, "POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 12},
    {ZQ_VERTEX_FORMAT_COLOR, "COLOR", 0, DXGI_FORMAT_B8G8R8A8_UNORM, 4},
    {ZQ_VERTEX_FORMAT_TEXCOORD0, "TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 8},
    {ZQ_VERTEX_FORMAT_TEXCOORD1, "TEXCOORD", 1, DXGI_FORMAT_R32G32_FLOAT, 8},
    {ZQ_VERTEX_FORMAT_NORMAL, "NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 12},
    {ZQ_VERTEX_FORMAT_TANGENT, "TANGENT", 0, DXGI_FORMAT_R32G32B32_FLOAT, 12},
    {ZQ_VERTEX_FORMAT_BINORMAL, "BINORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 12},
    {ZQ_VERTEX_FORMAT_BLENDINDICES, "BLENDINDICES", 0, DXGI_FORMAT_R8G8B8A8_UINT, 4},
    {ZQ_VERTEX_FORMAT_BLENDWEIGHT, "BLENDWEIGHT", 0, DXGI_FORMAT_R32G32B32A32_FLOAT, 16},
};

// Always at least 16 bytes beyond the last full 16-byte block: 16 bytes of constants get 32.
UINT ConstantBufferSize(int32_t constantBytes) {
    return static_cast<UINT>((constantBytes / 16 + 1) * 16);
}

bool CreateConstantBuffer(ID3D11Device* device, int32_t constantBytes, ID3D11Buffer** buffer,
                          const char* failure) {
    if (constantBytes <= 0) {
        return true;
    }
    D3D11_BUFFER_DESC desc = {};
    desc.ByteWidth = ConstantBufferSize(constantBytes);
    desc.Usage = D3D11_USAGE_DYNAMIC;
    desc.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_WRITE;
    if (FAILED(device->CreateBuffer(&desc, nullptr, buffer))) {
        ZQ_Log(2, "%s", failure);
        return false;
    }
    return true;
}

const char* NameOf(const zq_shader_t* shader) {
    return shader->name != nullptr ? shader->name : "";
}

}  // namespace

uint32_t RendererImplementation::BuildInputLayout(uint32_t vertexFormat, D3D11_INPUT_ELEMENT_DESC* elements) {
    uint32_t count = 0;
    UINT offset = 0;
    for (const LayoutElement& entry : kLayoutElements) {
        if ((vertexFormat & entry.bit) == 0) {
            continue;
        }
        D3D11_INPUT_ELEMENT_DESC& element = elements[count++];
        element.SemanticName = entry.semantic;
        element.SemanticIndex = entry.semanticIndex;
        element.Format = entry.format;
        if (entry.bit == ZQ_VERTEX_FORMAT_COLOR && (capabilities & RENDERER_CAPS_BGRA_VERTEX_COLOR) == 0) {
            element.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
        }
        element.InputSlot = 0;
        element.AlignedByteOffset = offset;
        element.InputSlotClass = D3D11_INPUT_PER_VERTEX_DATA;
        element.InstanceDataStepRate = 0;
        offset += entry.bytes;
    }
    return count;
}

bool RendererImplementation::CreateShader(zq_shader_t* shader, const void* vertexCode, uint32_t vertexSize,
                                          const void* pixelCode, uint32_t pixelSize) {
    if (device == nullptr || shader == nullptr) {
        return false;
    }
    RendererShader* record = static_cast<RendererShader*>(calloc(1, sizeof(RendererShader)));
    if (record == nullptr) {
        return false;
    }
    shader->renderer_data = record;
    bool created = true;
    if (FAILED(device->CreateVertexShader(vertexCode, vertexSize, nullptr, &record->vertexShader))) {
        ZQ_Log(1, "D3D11 renderer failed to create vertex shader '%s'.", NameOf(shader));
        created = false;
    }
    D3D11_INPUT_ELEMENT_DESC elements[sizeof(kLayoutElements) / sizeof(kLayoutElements[0])];
    const uint32_t elementCount = BuildInputLayout(shader->vertex_format, elements);
    if (created && FAILED(device->CreateInputLayout(elements, elementCount, vertexCode, vertexSize,
                                                    &record->inputLayout))) {
        ZQ_Log(1, "D3D11 renderer failed to create an input layout.");
        created = false;
    }
    if (created && FAILED(device->CreatePixelShader(pixelCode, pixelSize, nullptr, &record->pixelShader))) {
        ZQ_Log(1, "D3D11 renderer failed to create pixel shader '%s'.", NameOf(shader));
        created = false;
    }
    created = created &&
              CreateConstantBuffer(device, shader->vertex_constants.total_size, &record->vertexConstants,
                                   "D3D11 renderer failed to create a vertex constant buffer.") &&
              CreateConstantBuffer(device, shader->pixel_constants.total_size, &record->pixelConstants,
                                   "D3D11 renderer failed to create a pixel constant buffer.");
    if (!created || record->vertexShader == nullptr || record->pixelShader == nullptr ||
        record->inputLayout == nullptr) {
        FreeShader(shader);
        return false;
    }
    return true;
}

void RendererImplementation::FreeShader(zq_shader_t* shader) {
    if (shader == nullptr || shader->renderer_data == nullptr) {
        return;
    }
    RendererShader* record = static_cast<RendererShader*>(shader->renderer_data);
    if (currentShader == shader) {
        currentShader = nullptr;
    }
    ZQI_ReleaseComPointer(&record->pixelConstants);
    ZQI_ReleaseComPointer(&record->vertexConstants);
    ZQI_ReleaseComPointer(&record->pixelShader);
    ZQI_ReleaseComPointer(&record->inputLayout);
    ZQI_ReleaseComPointer(&record->vertexShader);
    free(record);
    shader->renderer_data = nullptr;
}
