// Stream calls: the browser delivers the file (or, after "Improve...", the
// rest of it as one byte range) and the bytes go to the decoder.
#include <algorithm>
#include <cstring>
#include <new>

#include "plugin/Attributes.h"
#include "plugin/BrowserFuncs.h"
#include "plugin/DecoderState.h"
#include "plugin/PluginCalls.h"
#include "plugin/PluginInstance.h"

namespace {

PluginInstance* InstanceOf(NPP instance) { return instance ? static_cast<PluginInstance*>(instance->pdata) : nullptr; }

// The stream "Improve..." asked for: fetch the missing bytes as one range.
NPError RequestRemainder(PluginInstance& inst, NPStream* stream, uint16* stype) {
  if (stype) *stype = NP_SEEK;
  uint32_t received;
  {
    std::lock_guard<std::mutex> guard(inst.decoder->lock);
    received = inst.received;
  }
  if (received >= inst.streamLength) return NPERR_NO_ERROR;
  NPByteRange range{static_cast<int32>(received), inst.streamLength - received, nullptr};
  NPN_RequestRead(stream, &range);
  return NPERR_NO_ERROR;
}

// Appends the part of [offset, offset + len) that lies beyond what has been
// received. Bytes already there are skipped; a gap, or a buffer that cannot
// grow, refuses the whole write and leaves everything as it was. The
// caller holds the decoder's lock.
bool AppendBytes(PluginInstance& inst, uint32_t offset, uint32_t len, const uint8_t* bytes) {
  const uint64_t end = static_cast<uint64_t>(offset) + len;
  if (offset > inst.received) return false;
  if (end <= inst.received) return true;
  const uint32_t skip = inst.received - offset;
  const uint32_t fresh = len - skip;
  if (end > kMaxReceivedBytes) return false;
  try {
    if (inst.data.capacity() < end)
      inst.data.reserve(std::min<size_t>(std::max<size_t>(end, inst.data.capacity() * 2), kMaxReceivedBytes));
    inst.data.insert(inst.data.end(), bytes + skip, bytes + skip + fresh);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  inst.received += fresh;
  return true;
}

}  // namespace

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream* stream, NPBool seekable, uint16* stype) {
  PluginInstance* inst = InstanceOf(instance);
  if (!inst || !stream) return NPERR_INVALID_INSTANCE_ERROR;

  if (inst->limited && !inst->partial && inst->decoder) return RequestRemainder(*inst, stream, stype);

  try {
    inst->url = stream->url ? stream->url : "";
    inst->saveName = SaveNameFromUrl(inst->url);
  } catch (const std::bad_alloc&) {
    return NPERR_OUT_OF_MEMORY_ERROR;
  }
  inst->streamLength = stream->end;
  bool limited = inst->limited && seekable && stream->url && stream->end != 0;
  if (limited && static_cast<uint32_t>(inst->limit) >= inst->streamLength) limited = false;
  if (!limited) inst->limit = 0;
  if (stype) *stype = NP_NORMAL;

  if (inst->decoder) {
    std::lock_guard<std::mutex> guard(inst->decoder->lock);
    inst->limited = limited;
    inst->partial = limited;
    inst->limitReached = !limited;
    return NPERR_NO_ERROR;
  }
  inst->limited = limited;
  inst->partial = limited;
  inst->limitReached = !limited;
  try {
    StartDecoder(*inst);
  } catch (const std::bad_alloc&) {
    return NPERR_OUT_OF_MEMORY_ERROR;
  }
  return NPERR_NO_ERROR;
}

int32 NPP_WriteReady(NPP instance, NPStream*) {
  PluginInstance* inst = InstanceOf(instance);
  if (!inst || !inst->decoder) return 0;
  if (inst->decodeEnded) return NP_MAXREADY;
  std::lock_guard<std::mutex> guard(inst->decoder->lock);
  return inst->requested > 0 ? inst->requested : 1024;
}

int32 NPP_Write(NPP instance, NPStream*, int32 offset, int32 len, void* buffer) {
  PluginInstance* inst = InstanceOf(instance);
  if (!inst || !inst->decoder) return -1;
  DecoderState& decoder = *inst->decoder;
  if (!decoder.ready || decoder.result != 0 || inst->decodeEnded) return -1;
  if (offset < 0 || len < 0 || (len > 0 && !buffer)) return -1;

  bool stop;
  {
    std::lock_guard<std::mutex> guard(decoder.lock);
    if (len > 0 &&
        !AppendBytes(*inst, static_cast<uint32_t>(offset), static_cast<uint32_t>(len),
                     static_cast<const uint8_t*>(buffer)))
      return -1;
    inst->limitReached = inst->limited && inst->partial && inst->received >= static_cast<uint32_t>(inst->limit);
    if (len > 0) decoder.SignalData();
    stop = inst->limitReached || (inst->limited && inst->received >= inst->streamLength);
  }
  return stop ? -1 : len;
}

NPError NPP_DestroyStream(NPP instance, NPStream*, NPReason) {
  PluginInstance* inst = InstanceOf(instance);
  if (!inst) return NPERR_INVALID_INSTANCE_ERROR;
  if (!inst->decoder) return NPERR_INVALID_PLUGIN_ERROR;
  DecoderState& decoder = *inst->decoder;
  std::lock_guard<std::mutex> guard(decoder.lock);
  // A limited first transfer that stopped at the limit is not the end: the
  // decoder waits for "Improve...". One that ended short of the limit is.
  if (!inst->partial || !inst->limitReached) {
    decoder.streamEnded = true;
    decoder.SignalData();
  }
  return NPERR_NO_ERROR;
}
