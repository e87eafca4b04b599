// The library's exports: the three entry points of the plug-in interface,
// and the MIME description and name queries Linux browsers use in place of
// a version resource.
#include <cstddef>

#include "plugin/BrowserFuncs.h"
#include "plugin/PluginCalls.h"
#include "plugin/VersionInfo.h"

namespace {

constexpr uint16 kPluginTableVersion = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;

// A browser that states its table size must have room for what we fill.
bool TableHolds(const NPPluginFuncs* funcs, size_t end) { return funcs->size == 0 || funcs->size >= end; }

}  // namespace

NP_EXPORT(NPError) NP_GetEntryPoints(NPPluginFuncs* pFuncs) {
  if (!pFuncs || !TableHolds(pFuncs, offsetof(NPPluginFuncs, urlnotify))) return NPERR_INVALID_FUNCTABLE_ERROR;
  pFuncs->version = kPluginTableVersion;
  pFuncs->newp = NPP_New;
  pFuncs->destroy = NPP_Destroy;
  pFuncs->setwindow = NPP_SetWindow;
  pFuncs->newstream = NPP_NewStream;
  pFuncs->destroystream = NPP_DestroyStream;
  pFuncs->asfile = NPP_StreamAsFile;
  pFuncs->writeready = NPP_WriteReady;
  pFuncs->write = NPP_Write;
  pFuncs->print = NPP_Print;
  pFuncs->event = nullptr;
  SetPluginFuncs(pFuncs);
  return NPERR_NO_ERROR;
}

NP_EXPORT(NPError) NP_Initialize(NPNetscapeFuncs* pFuncs) {
  if (!pFuncs) return NPERR_INVALID_FUNCTABLE_ERROR;
  if ((pFuncs->version >> 8) > NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
  SetBrowserFuncs(pFuncs);
  NPPluginFuncs* plugin = PluginFuncs();
  if ((pFuncs->version & 0xFF) >= NP_VERSION_MINOR && plugin &&
      TableHolds(plugin, offsetof(NPPluginFuncs, getvalue))) {
    plugin->urlnotify = NPP_URLNotify;
    plugin->javaClass = nullptr;
  }
  return NPERR_NO_ERROR;
}

NP_EXPORT(NPError) NP_Shutdown() {
  SetBrowserFuncs(nullptr);
  return NPERR_NO_ERROR;
}

NP_EXPORT(const char*) NP_GetMIMEDescription() { return version_info::kMIMEDescription; }

NP_EXPORT(NPError) NP_GetValue(void*, NPPVariable variable, void* value) {
  if (!value) return NPERR_INVALID_PARAM;
  switch (variable) {
    case NPPVpluginNameString:
      *static_cast<const char**>(value) = version_info::kInternalName;
      return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
      *static_cast<const char**>(value) = version_info::kFileDescription;
      return NPERR_NO_ERROR;
  }
  return NPERR_INVALID_PARAM;
}
