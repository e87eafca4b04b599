// The compression modes of the settings dialogs and commands.
#pragma once

enum CompressionMode : int { CompressNone = 0, CompressFileSize = 1, CompressQuality = 2, CompressLossless = 3 };
