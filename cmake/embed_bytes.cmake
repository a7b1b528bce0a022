# Writes the bytes of INPUT as a C++ array NAME in namespace varnel::platform into OUTPUT, with a
# terminating zero that NAMESize does not count, so that embedded text reads as a C string:
#   cmake -DINPUT=FILE -DOUTPUT=FILE.cpp -DNAME=identifier -P embed_bytes.cmake
file(READ "${INPUT}" hex HEX)
get_filename_component(source_name "${INPUT}" NAME)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
# Sixteen bytes a line, so that the generated file stays readable in a diff or a debugger.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${source_name} at build time; do not edit.\n"
  "#include <cstddef>\n\n"
  "namespace varnel::platform {\n\n"
  "extern const unsigned char ${NAME}[];\n"
  "extern const std::size_t ${NAME}Size;\n"
  "const unsigned char ${NAME}[] = {\n${bytes}\n0x00};\n"
  "const std::size_t ${NAME}Size = ${size};\n\n"
  "}  // namespace varnel::platform\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
