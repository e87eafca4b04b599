#include "plugin/BrowserFuncs.h"

#include <atomic>

namespace {
std::atomic<NPNetscapeFuncs*> g_browserFuncs{nullptr};
std::atomic<NPPluginFuncs*> g_pluginFuncs{nullptr};
}  // namespace

void SetBrowserFuncs(NPNetscapeFuncs* funcs) { g_browserFuncs = funcs; }
NPNetscapeFuncs* BrowserFuncs() { return g_browserFuncs; }
void SetPluginFuncs(NPPluginFuncs* funcs) { g_pluginFuncs = funcs; }
NPPluginFuncs* PluginFuncs() { return g_pluginFuncs; }

NPError NPN_GetURL(NPP instance, const char* url, const char* target) {
  NPNetscapeFuncs* funcs = BrowserFuncs();
  if (!funcs || !funcs->geturl) return NPERR_GENERIC_ERROR;
  return funcs->geturl(instance, url, target);
}

NPError NPN_RequestRead(NPStream* stream, NPByteRange* rangeList) {
  NPNetscapeFuncs* funcs = BrowserFuncs();
  if (!funcs || !funcs->requestread) return NPERR_GENERIC_ERROR;
  return funcs->requestread(stream, rangeList);
}

void NPN_Status(NPP instance, const char* message) {
  NPNetscapeFuncs* funcs = BrowserFuncs();
  if (funcs && funcs->status) funcs->status(instance, message);
}
