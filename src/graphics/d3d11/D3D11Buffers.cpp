// Vertex and index buffers on the device: creation, locking (mapped memory or a CPU copy),
// unlocking with the colour byte order the device wants, and binding for a draw.
#include <cstdlib>
#include <cstring>

#include "core/ApiTable.h"
#include "foundation/ComPointer.h"
#include "graphics/ShaderManager.h"
#include "graphics/VertexFormat.h"
#include "graphics/d3d11/RendererBuffer.h"
#include "graphics/d3d11/RendererImplementation.h"

namespace {

const uint32_t kIndexSize = 2;
const uint32_t kColorOffset = 12;  // COLOR follows POSITION's three floats

// Creation of any buffer; failures give a handle with a null buffer.
RendererBuffer* NewBuffer(RendererImplementation* renderer, uint64_t byteSize, uint32_t stride, UINT bind,
                          uint32_t flags, const void* data, const char* what) {
    RendererBuffer* handle = static_cast<RendererBuffer*>(calloc(1, sizeof(RendererBuffer)));
    if (handle == nullptr) {
        return nullptr;
    }
    handle->flags = flags;
    // D3D11 sizes are 32-bit: a larger buffer cannot be made.
    HRESULT result = E_INVALIDARG;
    if (renderer->device != nullptr && byteSize > 0 && byteSize <= UINT32_MAX) {
        handle->byteSize = static_cast<uint32_t>(byteSize);
        D3D11_BUFFER_DESC desc = {};
        desc.ByteWidth = handle->byteSize;
        const bool dynamic = (flags & RENDERER_BUFFER_DYNAMIC) != 0;
        desc.Usage = dynamic ? D3D11_USAGE_DYNAMIC : D3D11_USAGE_DEFAULT;
        desc.CPUAccessFlags = dynamic ? D3D11_CPU_ACCESS_WRITE : 0;
        desc.BindFlags = bind;
        desc.StructureByteStride = stride;
        D3D11_SUBRESOURCE_DATA initial = {data, 0, 0};
        result = renderer->device->CreateBuffer(&desc, data != nullptr ? &initial : nullptr, &handle->buffer);
    }
    if (FAILED(result)) {
        handle->buffer = nullptr;
        handle->byteSize = 0;
        renderer->ReportError(ERRCODE_D3D11_CREATE_BUFFER, result, String(what));
    }
    return handle;
}

void* LockBuffer(RendererImplementation* renderer, RendererBuffer* buffer, const char* failure) {
    if (buffer == nullptr) {
        return nullptr;
    }
    buffer->locked = 1;
    if (buffer->buffer == nullptr) {
        ZQ_Popup(2, "%s", failure);
        return nullptr;
    }
    if ((buffer->flags & RENDERER_BUFFER_CPU_COPY) != 0) {
        if (buffer->cpuCopy == nullptr) {
            buffer->cpuCopy = static_cast<uint8_t*>(malloc(buffer->byteSize));
        }
        if (buffer->cpuCopy == nullptr) {
            ZQ_Popup(2, "%s", failure);
        }
        return buffer->cpuCopy;
    }
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (renderer->context == nullptr ||
        FAILED(renderer->context->Map(buffer->buffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped))) {
        ZQ_Popup(2, "%s", failure);
        return nullptr;
    }
    buffer->mapped = mapped.pData;
    return buffer->mapped;
}

}  // namespace

RendererBuffer* RendererImplementation::CreateVertexBuffer(uint32_t vertexFormat, uint32_t count,
                                                           uint32_t flags, const void* data) {
    const uint32_t stride = ZQI_VertexSize(vertexFormat);
    RendererBuffer* handle = NewBuffer(this, uint64_t(count) * stride, stride, D3D11_BIND_VERTEX_BUFFER,
                                       flags, data, "Vertex buffer");
    if (handle != nullptr) {
        handle->count = count;
        handle->vertexFormat = vertexFormat;
    }
    return handle;
}

RendererBuffer* RendererImplementation::CreateIndexBuffer(uint32_t count, uint32_t flags,
                                                          const uint16_t* data) {
    RendererBuffer* handle = NewBuffer(this, uint64_t(count) * kIndexSize, kIndexSize,
                                       D3D11_BIND_INDEX_BUFFER, flags, data, "Index buffer");
    if (handle != nullptr) {
        handle->count = count;
    }
    return handle;
}

void* RendererImplementation::LockVertexBuffer(RendererBuffer* buffer) {
    return LockBuffer(this, buffer, "D3D11 renderer failed to lock a vertex buffer.");
}

void* RendererImplementation::LockIndexBuffer(RendererBuffer* buffer) {
    return LockBuffer(this, buffer, "D3D11 renderer failed to lock an index buffer.");
}

void RendererImplementation::UnlockVertexBuffer(RendererBuffer* buffer) {
    if (buffer == nullptr) {
        return;
    }
    const bool cpuCopy = (buffer->flags & RENDERER_BUFFER_CPU_COPY) != 0;
    uint8_t* written = static_cast<uint8_t*>(cpuCopy ? buffer->cpuCopy : buffer->mapped);
    const uint32_t stride = ZQI_VertexSize(buffer->vertexFormat);
    if (written != nullptr && (buffer->vertexFormat & ZQ_VERTEX_FORMAT_COLOR) != 0 &&
        (capabilities & RENDERER_CAPS_BGRA_VERTEX_COLOR) == 0) {
        for (uint32_t i = 0; i < buffer->count && uint64_t(i + 1) * stride <= buffer->byteSize; ++i) {
            uint8_t* color = written + uint64_t(i) * stride + kColorOffset;
            uint8_t swap = color[0];
            color[0] = color[2];
            color[2] = swap;
        }
    }
    const bool wasLocked = buffer->locked != 0;
    buffer->locked = 0;
    if (buffer->buffer == nullptr || context == nullptr || !wasLocked) {
        return;
    }
    if (cpuCopy) {
        if (buffer->cpuCopy != nullptr) {
            context->UpdateSubresource(buffer->buffer, 0, nullptr, buffer->cpuCopy, 0, 0);
        }
    } else if (buffer->mapped != nullptr) {
        context->Unmap(buffer->buffer, 0);
    }
    buffer->mapped = nullptr;
}

void RendererImplementation::FreeBuffer(RendererBuffer* buffer) {
    if (buffer == nullptr) {
        return;
    }
    if (buffer->mapped != nullptr && context != nullptr) {
        context->Unmap(buffer->buffer, 0);
    }
    ZQI_ReleaseComPointer(&buffer->buffer);
    free(buffer->cpuCopy);
    free(buffer);
}

void RendererImplementation::UpdateConstantBuffer(const void* data, uint32_t size, ID3D11Buffer* buffer) {
    if (context == nullptr || buffer == nullptr) {
        return;
    }
    D3D11_MAPPED_SUBRESOURCE mapped;
    if (FAILED(context->Map(buffer, 0, D3D11_MAP_WRITE_DISCARD, 0, &mapped))) {
        ZQ_Popup(2, "D3D11 Failed to lock constant buffer.");
        return;
    }
    memcpy(mapped.pData, data, size);
    context->Unmap(buffer, 0);
}

void RendererImplementation::BindGeometry(RendererBuffer* vertices, RendererBuffer* indices) {
    if (context == nullptr) {
        return;
    }
    if (!depthStateValid) {
        ApplyDepthState();
        depthStateValid = 1;
    }
    RendererShader* shader =
        currentShader != nullptr ? static_cast<RendererShader*>(currentShader->renderer_data) : nullptr;
    if (shader != nullptr) {
        const bool uploaded = (currentShader->flags & SHADER_FLAG_CONSTANTS_CLEAN) != 0;
        const zq_shader_constant_table_t& vertexSet = currentShader->vertex_constants;
        const zq_shader_constant_table_t& pixelSet = currentShader->pixel_constants;
        if (shader->vertexConstants != nullptr) {
            if (!uploaded && vertexSet.data != nullptr) {
                UpdateConstantBuffer(vertexSet.data, static_cast<uint32_t>(vertexSet.total_size),
                                     shader->vertexConstants);
            }
            context->VSSetConstantBuffers(0, 1, &shader->vertexConstants);
        }
        if (shader->pixelConstants != nullptr) {
            if (!uploaded && pixelSet.data != nullptr) {
                UpdateConstantBuffer(pixelSet.data, static_cast<uint32_t>(pixelSet.total_size),
                                     shader->pixelConstants);
            }
            context->PSSetConstantBuffers(0, 1, &shader->pixelConstants);
        }
        currentShader->flags |= SHADER_FLAG_CONSTANTS_CLEAN;
    }
    if (vertices != nullptr) {
        const UINT stride = ZQI_VertexSize(vertices->vertexFormat);
        const UINT offset = 0;
        context->IASetVertexBuffers(0, 1, &vertices->buffer, &stride, &offset);
    }
    if (indices != nullptr) {
        context->IASetIndexBuffer(indices->buffer, DXGI_FORMAT_R16_UINT, 0);
    }
}
