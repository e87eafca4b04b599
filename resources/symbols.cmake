# Generates the id -> symbol table of resources/ResourceSymbols.h from
# resource.h. Run as a script: cmake -DINPUT=resource.h -DOUTPUT=out.cpp -P symbols.cmake
file(STRINGS ${INPUT} lines REGEX "^constexpr int [A-Z_0-9]+ = ")
set(rows "")
foreach(line IN LISTS lines)
  if(line MATCHES "^constexpr int ([A-Z_0-9]+) = ([0-9]+|0x[0-9A-Fa-f]+);")
    string(APPEND rows "  {\"${CMAKE_MATCH_1}\", ${CMAKE_MATCH_2}},\n")
  endif()
endforeach()
file(WRITE ${OUTPUT}.tmp "// Generated from resources/resource.h; do not edit.
#include \"resources/ResourceSymbols.h\"

#include <cstring>

namespace {
struct Symbol {
  const char* name;
  int id;
};
constexpr Symbol kSymbols[] = {
${rows}};
}  // namespace

QString ResourceSymbol(const char* prefix, int id) {
  const size_t length = std::strlen(prefix);
  for (const Symbol& symbol : kSymbols) {
    if (symbol.id != id || std::strncmp(symbol.name, prefix, length) != 0)
      continue;
    // \"ID_\" must not match \"IDC_\" or \"IDD_\": the prefix ends at the first '_'.
    if (std::strchr(symbol.name, '_') - symbol.name + 1 != static_cast<long>(length))
      continue;
    return QString::fromLatin1(symbol.name);
  }
  return {};
}
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
