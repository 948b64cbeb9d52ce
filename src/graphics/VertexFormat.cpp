// Vertex sizes by format.
#include "graphics/VertexFormat.h"

namespace {

struct FormatSize {
    uint32_t format;
    uint32_t bytes;
};

const FormatSize kSizes[] = {{1, 12},   {7, 24},   {15, 36},  {47, 48},
                             {111, 60}, {385, 32}, {399, 56}, {495, 80}};
const uint32_t kOtherFormatSize = 24;

}  // namespace

uint32_t ZQI_VertexSize(uint32_t vertexFormat) {
    for (const FormatSize& entry : kSizes) {
        if (entry.format == vertexFormat) {
            return entry.bytes;
        }
    }
    return kOtherFormatSize;
}
