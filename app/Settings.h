// Where the application keeps its settings: QSettings("TAVIX", "TAVIX Photo 2.5")
// and the names of its sections and entries.
#pragma once

#include <QSettings>

inline constexpr const char* kSettingsOrganization = "TAVIX";
inline constexpr const char* kSettingsApplication = "TAVIX Photo 2.5";

inline constexpr const char* kSectionWarning = "Warning";
inline constexpr const char* kEntryPalette = "Palette";
inline constexpr const char* kSectionRecentFiles = "Recent File List";
inline constexpr const char* kSectionControlBars = "Toolbar/Control Bars";
inline constexpr const char* kSectionKeyboard = "Toolbar/Keyboard";
// Context menus are loaded from and saved to the same section, so
// customised context menus come back at the next start.
inline constexpr const char* kSectionMenus = "Toolbar/Menus";

inline constexpr int kRecentFileCount = 4;

// A settings object on the application's own store.
inline QSettings OpenSettings() { return QSettings(kSettingsOrganization, kSettingsApplication); }
