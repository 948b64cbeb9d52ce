// The formatted append of the text builder (see TextBuilder.h).
#include "shadertool/TextBuilder.h"

#include <cstdarg>
#include <cstdlib>

namespace ShaderTool {

void TextBuilder::AppendFormat(const char* format, ...) {
    char buffer[ZQI_FORMAT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    char* text = ZQI_FormatToBuffer(buffer, format, args);
    va_end(args);
    Append(text);
    if (text != buffer) {
        free(text);
    }
}

}  // namespace ShaderTool
