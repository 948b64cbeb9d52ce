// Construction and clearing of a shader description.
#include "shadertool/ShaderDescription.h"

namespace ShaderTool {

ShaderDescription::ShaderDescription()
    : constantsSlot(-1),
      constantsSize(0),
      pixelConstantsSlot(-1),
      pixelConstantsSize(0),
      vertexConstantsSlot(-1),
      vertexConstantsSize(0),
      rayTracingGroup(-1),
      stages(0),
      targets(0),
      modificationTime(0),
      version(0) {}

void ShaderDescription::Clear() {
    buffers.Clear();
    constants.Clear();
    definitions.Clear();
    images.Clear();
    pixelConstants.Clear();
    pixelOutputs.Clear();
    pixelTextures.Clear();
    rayPayloads.Clear();
    sources.Clear();
    tags.Assign(nullptr);
    vertexConstants.Clear();
    vertexInputs.Clear();
    vertexOutputs.Clear();
    constantsSlot = -1;
    pixelConstantsSlot = -1;
    vertexConstantsSlot = -1;
    constantsSize = 0;
    pixelConstantsSize = 0;
    vertexConstantsSize = 0;
    rayTracingGroup = -1;
    stages = 0;
    modificationTime = 0;
}

}  // namespace ShaderTool
