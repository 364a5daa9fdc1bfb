# Turns a data file into a C++ source defining `std::string_view FUNCTION()`,
# which answers the file's bytes. Run as
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DFUNCTION=name -DHEADER=dir/x.h -P embed.cmake
# Byte values rather than a string literal: any content, any compiler.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" length)
math(EXPR bytes "${length} / 2")
# Sixteen bytes a line.
string(REGEX REPLACE "(................................)" "\\1\n" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
file(WRITE ${OUTPUT}.tmp
"// The bytes of ${INPUT}, written by cmake/embed.cmake; do not edit.
#include \"${HEADER}\"

namespace {
const char kBytes[${bytes} + 1] = {
${hex}0};
}  // namespace

std::string_view ${FUNCTION}() {
    return {kBytes, ${bytes}};
}
")
# Replaced only when it differs, so an unchanged file compiles nothing again.
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
