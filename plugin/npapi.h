// The browser plug-in interface as the plug-in and its hosts see it: the
// records, codes and function tables of the Netscape plug-in interface,
// declared here from its published layout (function-table version 0.9,
// with the later fields a host may fill).
#pragma once

#include <cstdint>

#if defined(_WIN32)
#  define NP_LOADDS __stdcall
#  define NP_EXPORT(type) extern "C" __declspec(dllexport) type NP_LOADDS
#else
#  define NP_LOADDS
#  define NP_EXPORT(type) extern "C" __attribute__((visibility("default"))) type
#endif

using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;
using NPBool = unsigned char;
using NPError = int16;
using NPReason = int16;
using NPMIMEType = char*;

enum : int { NP_VERSION_MAJOR = 0, NP_VERSION_MINOR = 9 };

// Error codes.
enum : NPError {
  NPERR_NO_ERROR = 0,
  NPERR_GENERIC_ERROR = 1,
  NPERR_INVALID_INSTANCE_ERROR = 2,
  NPERR_INVALID_FUNCTABLE_ERROR = 3,
  NPERR_MODULE_LOAD_FAILED_ERROR = 4,
  NPERR_OUT_OF_MEMORY_ERROR = 5,
  NPERR_INVALID_PLUGIN_ERROR = 6,
  NPERR_INVALID_PLUGIN_DIR_ERROR = 7,
  NPERR_INCOMPATIBLE_VERSION_ERROR = 8,
  NPERR_INVALID_PARAM = 9,
  NPERR_INVALID_URL = 10,
  NPERR_FILE_NOT_FOUND = 11,
  NPERR_NO_DATA = 12,
  NPERR_STREAM_NOT_SEEKABLE = 13
};

// Why a stream ended.
enum : NPReason { NPRES_DONE = 0, NPRES_NETWORK_ERR = 1, NPRES_USER_BREAK = 2 };

// Stream types a plug-in may ask for in NPP_NewStream.
enum : uint16 { NP_NORMAL = 1, NP_SEEK = 2, NP_ASFILE = 3, NP_ASFILEONLY = 4 };

// Instance modes.
enum : uint16 { NP_EMBED = 1, NP_FULL = 2 };

// NPP_WriteReady's answer when a plug-in takes any amount.
constexpr int32 NP_MAXREADY = 0x0FFFFFFF;

struct NPP_t {
  void* pdata;  // the plug-in's instance data
  void* ndata;  // the browser's instance data
};
using NPP = NPP_t*;

struct NPStream {
  void* pdata;  // plug-in private
  void* ndata;  // browser private
  const char* url;
  uint32 end;   // length of the whole resource, 0 if unknown
  uint32 lastmodified;
  void* notifyData;
  const char* headers;
};

struct NPByteRange {
  int32 offset;  // negative counts from the end
  uint32 length;
  NPByteRange* next;
};

struct NPSavedData {
  int32 len;
  void* buf;
};

struct NPRect {
  uint16 top;
  uint16 left;
  uint16 bottom;
  uint16 right;
};

enum NPWindowType { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

struct NPWindow {
  void* window;  // the plug-in window handle (here a window of the window layer)
  int32 x;
  int32 y;
  uint32 width;
  uint32 height;
  NPRect clipRect;
  void* ws_info;
  NPWindowType type;
};

struct NPFullPrint {
  NPBool pluginPrinted;  // the plug-in printed the page itself
  NPBool printOne;
  void* platformPrint;
};

struct NPEmbedPrint {
  NPWindow window;
  void* platformPrint;
};

struct NPPrint {
  uint16 mode;  // NP_FULL or NP_EMBED
  union {
    NPFullPrint fullPrint;
    NPEmbedPrint embedPrint;
  } print;
};

// Values a host may query with NP_GetValue / NPP_GetValue.
enum NPPVariable { NPPVpluginNameString = 1, NPPVpluginDescriptionString = 2 };

// Plug-in calls.
using NPP_NewProcPtr = NPError (*)(NPMIMEType pluginType, NPP instance, uint16 mode, int16 argc, char* argn[],
                                   char* argv[], NPSavedData* saved);
using NPP_DestroyProcPtr = NPError (*)(NPP instance, NPSavedData** save);
using NPP_SetWindowProcPtr = NPError (*)(NPP instance, NPWindow* window);
using NPP_NewStreamProcPtr = NPError (*)(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                                         uint16* stype);
using NPP_DestroyStreamProcPtr = NPError (*)(NPP instance, NPStream* stream, NPReason reason);
using NPP_StreamAsFileProcPtr = void (*)(NPP instance, NPStream* stream, const char* fname);
using NPP_WriteReadyProcPtr = int32 (*)(NPP instance, NPStream* stream);
using NPP_WriteProcPtr = int32 (*)(NPP instance, NPStream* stream, int32 offset, int32 len, void* buffer);
using NPP_PrintProcPtr = void (*)(NPP instance, NPPrint* platformPrint);
using NPP_HandleEventProcPtr = int16 (*)(NPP instance, void* event);
using NPP_URLNotifyProcPtr = void (*)(NPP instance, const char* url, NPReason reason, void* notifyData);
using NPP_GetValueProcPtr = NPError (*)(NPP instance, NPPVariable variable, void* value);
using NPP_SetValueProcPtr = NPError (*)(NPP instance, int variable, void* value);

struct NPPluginFuncs {
  uint16 size;
  uint16 version;
  NPP_NewProcPtr newp;
  NPP_DestroyProcPtr destroy;
  NPP_SetWindowProcPtr setwindow;
  NPP_NewStreamProcPtr newstream;
  NPP_DestroyStreamProcPtr destroystream;
  NPP_StreamAsFileProcPtr asfile;
  NPP_WriteReadyProcPtr writeready;
  NPP_WriteProcPtr write;
  NPP_PrintProcPtr print;
  NPP_HandleEventProcPtr event;
  NPP_URLNotifyProcPtr urlnotify;
  void* javaClass;
  NPP_GetValueProcPtr getvalue;
  NPP_SetValueProcPtr setvalue;
};

// Browser calls.
using NPN_GetURLProcPtr = NPError (*)(NPP instance, const char* url, const char* window);
using NPN_PostURLProcPtr = NPError (*)(NPP instance, const char* url, const char* window, uint32 len,
                                       const char* buf, NPBool file);
using NPN_RequestReadProcPtr = NPError (*)(NPStream* stream, NPByteRange* rangeList);
using NPN_NewStreamProcPtr = NPError (*)(NPP instance, NPMIMEType type, const char* window, NPStream** stream);
using NPN_WriteProcPtr = int32 (*)(NPP instance, NPStream* stream, int32 len, void* buffer);
using NPN_DestroyStreamProcPtr = NPError (*)(NPP instance, NPStream* stream, NPReason reason);
using NPN_StatusProcPtr = void (*)(NPP instance, const char* message);
using NPN_UserAgentProcPtr = const char* (*)(NPP instance);
using NPN_MemAllocProcPtr = void* (*)(uint32 size);
using NPN_MemFreeProcPtr = void (*)(void* ptr);
using NPN_MemFlushProcPtr = uint32 (*)(uint32 size);
using NPN_ReloadPluginsProcPtr = void (*)(NPBool reloadPages);
using NPN_GetJavaEnvProcPtr = void* (*)();
using NPN_GetJavaPeerProcPtr = void* (*)(NPP instance);

struct NPNetscapeFuncs {
  uint16 size;
  uint16 version;  // major << 8 | minor
  NPN_GetURLProcPtr geturl;
  NPN_PostURLProcPtr posturl;
  NPN_RequestReadProcPtr requestread;
  NPN_NewStreamProcPtr newstream;
  NPN_WriteProcPtr write;
  NPN_DestroyStreamProcPtr destroystream;
  NPN_StatusProcPtr status;
  NPN_UserAgentProcPtr uagent;
  NPN_MemAllocProcPtr memalloc;
  NPN_MemFreeProcPtr memfree;
  NPN_MemFlushProcPtr memflush;
  NPN_ReloadPluginsProcPtr reloadplugins;
  NPN_GetJavaEnvProcPtr getJavaEnv;
  NPN_GetJavaPeerProcPtr getJavaPeer;
};

// The library's exports.
using NP_GetEntryPointsFunc = NPError (*)(NPPluginFuncs* pluginFuncs);
using NP_InitializeFunc = NPError (*)(NPNetscapeFuncs* browserFuncs);
using NP_ShutdownFunc = NPError (*)();
using NP_GetMIMEDescriptionFunc = const char* (*)();
using NP_GetValueFunc = NPError (*)(void* future, NPPVariable variable, void* value);
