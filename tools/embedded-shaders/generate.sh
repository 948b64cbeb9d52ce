#!/usr/bin/env bash
# Makes src/graphics/EmbeddedShaders.cpp from src/graphics/shaders: the HLSL through Wine's
# D3DCompile (vs_4_0 / ps_4_0, built as compile-hlsl.exe in the windows configuration), the Vulkan
# GLSL through glslangValidator, then generate.py embeds them with the text sources and the
# Shader XML. Run it after changing any file of src/graphics/shaders (a test fails until then).
#   tools/embedded-shaders/generate.sh [windows build folder]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/windows}
tool=$build/tools/embedded-shaders/compile-hlsl.exe
shaders=$root/src/graphics/shaders
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
[ -f "$tool" ] || { echo "build $tool first (cmake --build $build --target zq_compile_hlsl)" >&2; exit 1; }
for shader in internal_default internal_distance_field; do
    "$root/tools/wine-run.sh" "$tool" vs_4_0 "$shaders/$shader.vertex.hlsl" "$out/$shader.vertex.dxbc"
    "$root/tools/wine-run.sh" "$tool" ps_4_0 "$shaders/$shader.pixel.hlsl" "$out/$shader.pixel.dxbc"
    glslangValidator -V -o "$out/$shader.vert.spv" "$shaders/$shader.SPIRV.vert" >/dev/null
    glslangValidator -V -o "$out/$shader.frag.spv" "$shaders/$shader.SPIRV.frag" >/dev/null
done
python3 "$root/tools/embedded-shaders/generate.py" --root "$root" --compiled "$out"
clang-format -i "$root/src/graphics/EmbeddedShaders.cpp"
echo "wrote src/graphics/EmbeddedShaders.cpp"
