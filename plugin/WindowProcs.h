// The plug-in's window procedures: the subclass procedure of the browser's
// window and the procedure of the full-page window, with painting,
// scrolling and the context menu.
#pragma once

#include "plugin/window_layer.h"

struct PluginInstance;

LRESULT PluginWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT FullPageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the full-page child window over `instance.hwnd` (registering its
// class when needed); null on failure.
HWND CreateFullPageWindow(PluginInstance& instance);
// Destroys the full-page window and unregisters its class.
void DestroyFullPageWindow(PluginInstance& instance);

// Sets the full-page window's scroll ranges from the image and client size.
void UpdateScrollBars(PluginInstance& instance);

inline constexpr const char* kFullPageClassName = "5077A664-E682-11d0-BD0D-004F4902035F";
inline constexpr const char* kFullPageTitle = "aFullPluginWindow";
