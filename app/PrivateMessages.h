// The private window messages as Qt event types (the numbers are kept).
#pragma once

#include <QEvent>

#include "resources/resource.h"

// Posted by the Preview dialog to itself on its first paint.
inline constexpr QEvent::Type kCreatePreviewEvent = static_cast<QEvent::Type>(QEvent::User + WM_CREATEPREVIEW);
// Posted by the settings dialogs' "Preview" button to the document's view.
inline constexpr QEvent::Type kShowPreviewEvent = static_cast<QEvent::Type>(QEvent::User + WM_SHOWPREVIEW);
