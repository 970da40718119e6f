# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P EmbedFile.cmake
# Writes <file>'s bytes as the AFX_RESDATA res_image::<name>.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
if(digits EQUAL 0)
  message(FATAL_ERROR "${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x..," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n" bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp" "// Embedded from ${name} by the build.
#include \"platform/afx/AfxRes.h\"

namespace {
constexpr unsigned char kBytes[] = {
${bytes}
};
}  // namespace

namespace res_image {
extern const AFX_RESDATA ${SYMBOL};
const AFX_RESDATA ${SYMBOL} = {kBytes, sizeof kBytes};
}  // namespace res_image
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
