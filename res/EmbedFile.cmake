# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P EmbedFile.cmake
# Writes a source that embeds <file>'s bytes, 64-byte aligned in the program's read-only data, as
# the AFX_RESDATA res_image::<name>. The assembler reads the file itself (.incbin): a picture of
# some megabytes costs neither a source of ten times its size nor the compiler's time to read it.
file(SIZE "${INPUT}" size)
if(size EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty")
endif()
if(INPUT MATCHES "[\"\\\\\n]")
  message(FATAL_ERROR "${INPUT}: the path must not hold a quote, a backslash or a line break")
endif()
get_filename_component(name "${INPUT}" NAME)
set(label "quillon_res_${SYMBOL}")
file(WRITE "${OUTPUT}.tmp" "// Embedded from ${name} by the build.
#include \"platform/afx/AfxRes.h\"

__asm__(\".section .rodata\\n\"
        \".balign 64\\n\"
        \".globl ${label}\\n\"
        \".hidden ${label}\\n\"
        \"${label}:\\n\"
        \".incbin \\\"${INPUT}\\\"\\n\"
        \".previous\\n\");

extern \"C\" const unsigned char ${label}[];

namespace res_image {
extern const AFX_RESDATA ${SYMBOL};
const AFX_RESDATA ${SYMBOL} = {${label}, ${size}};
}  // namespace res_image
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
