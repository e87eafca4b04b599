// The symbol of a numeric id as written in resource.h ("ID_FILE_OPEN" for
// 57601), for objectNames that tests and accessibility tools look up. The
// table is generated from resource.h at build time.
#pragma once

#include <QString>

// `prefix` selects the kind: "ID_" commands, "IDC_" controls, "IDD_"
// dialogs, "IDS_" strings. Empty when no symbol of that kind has the value.
QString ResourceSymbol(const char* prefix, int id);
inline QString CommandSymbol(int id) { return ResourceSymbol("ID_", id); }
inline QString ControlSymbol(int id) { return ResourceSymbol("IDC_", id); }
inline QString DialogSymbol(int id) { return ResourceSymbol("IDD_", id); }
