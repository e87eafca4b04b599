// The function tables exchanged with the browser, and the browser calls the
// plug-in makes. The interface keeps one browser table per loaded library,
// so it is held here for the library's lifetime (NP_Initialize to NP_Shutdown).
#pragma once

#include "plugin/npapi.h"

void SetBrowserFuncs(NPNetscapeFuncs* funcs);
NPNetscapeFuncs* BrowserFuncs();
void SetPluginFuncs(NPPluginFuncs* funcs);
NPPluginFuncs* PluginFuncs();

// Each returns NPERR_GENERIC_ERROR (or does nothing) without a browser table.
NPError NPN_GetURL(NPP instance, const char* url, const char* target);
NPError NPN_RequestRead(NPStream* stream, NPByteRange* rangeList);
void NPN_Status(NPP instance, const char* message);
