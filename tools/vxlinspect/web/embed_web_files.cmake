# Turns the pages' files (HTML, CSS, JavaScript) into one C++ source, so
# that vxlinspect carries them and needs nothing beside it once installed.
#
# Run as a script at build time (see ../CMakeLists.txt):
#   cmake -DWEB_DIR=<folder of the files> -DOUTPUT=<.cc to write>
#         -DFILES=<file names, ;-separated> -P embed_web_files.cmake
#
# Each file becomes one entry of kWebFiles (declared in web_files.h): its
# name and its text as a raw string literal, unchanged byte for byte, so a
# reader of the generated file sees the page's code as it is in the
# repository. The output is replaced only when it changes, so that editing
# nothing rebuilds nothing.
cmake_minimum_required(VERSION 3.25)

set(delimiter "vxlweb")
set(code "// Generated at build time by tools/vxlinspect/web/embed_web_files.cmake\n")
string(APPEND code "// from the files in tools/vxlinspect/web/: edit those, not this.\n")
string(APPEND code "#include \"vxlinspect/web_files.h\"\n\nnamespace vxlforge {\n\n")
string(APPEND code "const WebFile kWebFiles[] = {\n")
set(count 0)
foreach(name IN LISTS FILES)
  file(READ "${WEB_DIR}/${name}" text)
  # A raw string ends at )vxlweb" and nothing in the files may say that.
  string(FIND "${text}" ")${delimiter}\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${name} contains )${delimiter}\", which would end its C++ raw string")
  endif()
  string(APPEND code "    {\"${name}\", R\"${delimiter}(${text})${delimiter}\"},\n")
  math(EXPR count "${count} + 1")
endforeach()
string(APPEND code "};\n\nconst std::size_t kWebFileCount = ${count};\n\n}  // namespace vxlforge\n")

file(WRITE "${OUTPUT}.new" "${code}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
