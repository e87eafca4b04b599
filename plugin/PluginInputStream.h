// The codec's input stream for the plug-in: reads the bytes the browser
// has delivered so far, waits when there are none, pauses at the byte limit
// and shows every preview the codec renders.
#pragma once

#include "codec/TavixLib.h"

struct PluginInstance;

class PluginInputStream : public TXpreviewInputStream {
public:
  explicit PluginInputStream(PluginInstance* instance);
  ~PluginInputStream() override;

  long newTransferSize(float fractionRead, float bitsPerPixelRead) override;
  int fillBuffer(long requestedBytes) override;
  bool wantPreview(long bytesRead, float fractionRead, float bitsPerPixelRead) override;
  bool previewReady() override;

  PluginInstance* instance;

private:
  int EndWithoutData(int code);
};

// What fillBuffer returns when the instance is being destroyed.
inline constexpr int kReadAborted = -13;
// Smallest transfer per read, and the read size assumed when the codec asks
// for nothing in particular.
inline constexpr long kMinTransferSize = 1024;
