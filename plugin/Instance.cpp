// Instance calls: creation from the embed attributes, the browser's window,
// printing and destruction.
#include <new>

#include "plugin/Attributes.h"
#include "plugin/BrowserFuncs.h"
#include "plugin/DecoderState.h"
#include "plugin/PluginCalls.h"
#include "plugin/PluginInstance.h"
#include "plugin/WindowProcs.h"

PluginInstance::~PluginInstance() = default;

namespace {

PluginInstance* InstanceOf(NPP instance) { return instance ? static_cast<PluginInstance*>(instance->pdata) : nullptr; }

void Unsubclass(PluginInstance& inst) {
  if (!inst.hwnd) return;
  inst.hwnd->SetWindowProc(inst.prevWndProc);
  inst.hwnd->RemoveProp(kInstanceProperty);
  std::lock_guard<std::mutex> guard(inst.windowLock);
  inst.hwnd = nullptr;
  inst.prevWndProc = nullptr;
}

// On a palette device images are dithered to the 216-colour cube and drawn
// through a logical palette of the cube's colours.
void SetUpPalette(PluginInstance& inst, HWND drawing) {
  std::shared_ptr<const CColorQuantizer> quantizer;
  std::unique_ptr<CPalette> palette;
  if (drawing->IsPaletteDevice()) {
    auto cube = std::make_shared<CColorQuantizer>();
    unsigned count = 0;
    const BYTE* rgb = nullptr;
    cube->GetPalette(count, rgb);
    std::vector<PALETTEENTRY> entries(count);
    for (unsigned i = 0; i < count; ++i) entries[i] = {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], 0};
    palette = std::make_unique<CPalette>(std::move(entries));
    quantizer = std::move(cube);
  }
  std::lock_guard<std::mutex> guard(inst.windowLock);
  inst.quantizer = std::move(quantizer);
  inst.palette = std::move(palette);
}

}  // namespace

NPError NPP_New(NPMIMEType, NPP instance, uint16 mode, int16 argc, char* argn[], char* argv[], NPSavedData*) {
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  PluginInstance* inst = new (std::nothrow) PluginInstance;
  if (!inst) return NPERR_OUT_OF_MEMORY_ERROR;
  inst->npp = instance;
  inst->mode = mode;
  const EmbedAttributes attributes = ReadEmbedAttributes(argc, argn, argv, mode == NP_FULL);
  inst->progressive = attributes.progressive;
  inst->limit = attributes.limit;
  inst->limited = attributes.limit != 0;
  inst->noMenu = attributes.noMenu;
  inst->partial = inst->limited;
  inst->limitReached = !inst->limited;
  instance->pdata = inst;
  NPN_Status(instance, "TAVIX Plugin running");
  return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  PluginInstance* inst = InstanceOf(instance);
  if (!inst) return NPERR_INVALID_INSTANCE_ERROR;
  HWND handle = window ? static_cast<HWND>(window->window) : nullptr;

  if (inst->hwnd) {
    if (!handle) {
      // The browser is taking its window away (and may free it next): the
      // full-page child goes with it, so the next window gets a new one.
      DestroyFullPageWindow(*inst);
      Unsubclass(*inst);
      inst->window = window;
      return NPERR_NO_ERROR;
    }
    if (handle == inst->hwnd) {
      inst->DrawingWindow()->InvalidateRect(nullptr, true);
      inst->DrawingWindow()->UpdateWindow();
      inst->window = window;
      return NPERR_NO_ERROR;
    }
    DestroyFullPageWindow(*inst);
    Unsubclass(*inst);
  } else if (!handle) {
    inst->window = window;
    return NPERR_NO_ERROR;
  }

  WNDPROC previous = handle->SetWindowProc(PluginWindowProc);
  {
    std::lock_guard<std::mutex> guard(inst->windowLock);
    inst->prevWndProc = previous;
    inst->hwnd = handle;
  }
  handle->SetProp(kInstanceProperty, inst);
  if (inst->mode == NP_FULL && !inst->fullWindow) CreateFullPageWindow(*inst);

  HWND drawing = inst->DrawingWindow();
  SetUpPalette(*inst, drawing);
  drawing->InvalidateRect(nullptr, true);
  drawing->UpdateWindow();
  inst->window = window;
  return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
  if (!instance) return NPERR_INVALID_INSTANCE_ERROR;
  PluginInstance* inst = InstanceOf(instance);
  if (!inst) return NPERR_INVALID_INSTANCE_ERROR;
  StopDecoder(*inst);
  DestroyFullPageWindow(*inst);
  Unsubclass(*inst);
  delete inst;
  instance->pdata = nullptr;
  return NPERR_NO_ERROR;
}

void NPP_Print(NPP instance, NPPrint* printInfo) {
  if (!instance || !printInfo) return;
  // A full page is printed by the browser itself.
  if (printInfo->mode == NP_FULL) printInfo->print.fullPrint.pluginPrinted = false;
}

void NPP_StreamAsFile(NPP, NPStream*, const char*) {}

void NPP_URLNotify(NPP, const char*, NPReason, void*) {}
