// Writes what a host window showed as a binary PPM image.
#pragma once

#include <string>

#include "plugin/host/ScriptedHost.h"

bool WritePpm(const std::string& path, const Snapshot& snapshot);
