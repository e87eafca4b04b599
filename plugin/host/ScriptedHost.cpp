#include "plugin/host/ScriptedHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <thread>

struct CHostInstance::OpenStream {
  NPStream stream{};
  CHostInstance* instance = nullptr;
  StreamRecord* record = nullptr;
  std::string url;
};

namespace {

CHostInstance* HostOf(NPP npp) { return npp ? static_cast<CHostInstance*>(npp->ndata) : nullptr; }

}  // namespace

// The browser calls the plug-in makes through the host's function table.
struct HostBrowserCalls {
  static NPError GetURL(NPP npp, const char* url, const char* target);
  static NPError RequestRead(NPStream* stream, NPByteRange* ranges);
  static void Status(NPP npp, const char* message);
};

size_t StreamRecord::BytesAccepted() const {
  size_t total = 0;
  for (const WriteRecord& w : writes)
    if (w.result > 0) total += static_cast<size_t>(w.result);
  return total;
}

size_t StreamRecord::BytesSent() const {
  size_t total = 0;
  for (const WriteRecord& w : writes) total += static_cast<size_t>(w.length);
  return total;
}

// ------------------------------------------------------------ host

CScriptedHost::CScriptedHost() = default;

CScriptedHost::~CScriptedHost() { Unload(); }

bool CScriptedHost::Load(const std::string& libraryPath, std::string& error) {
  m_library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!m_library) {
    const char* reason = dlerror();
    error = reason ? reason : "dlopen failed";
    return false;
  }
  getEntryPoints = reinterpret_cast<NP_GetEntryPointsFunc>(dlsym(m_library, "NP_GetEntryPoints"));
  initialize = reinterpret_cast<NP_InitializeFunc>(dlsym(m_library, "NP_Initialize"));
  shutdown = reinterpret_cast<NP_ShutdownFunc>(dlsym(m_library, "NP_Shutdown"));
  getMIMEDescription = reinterpret_cast<NP_GetMIMEDescriptionFunc>(dlsym(m_library, "NP_GetMIMEDescription"));
  getValue = reinterpret_cast<NP_GetValueFunc>(dlsym(m_library, "NP_GetValue"));
  if (!getEntryPoints || !initialize || !shutdown) {
    error = "the library lacks the plug-in entry points";
    return false;
  }
  m_pluginFuncs.size = sizeof m_pluginFuncs;
  entryPointsResult = getEntryPoints(&m_pluginFuncs);
  m_browserFuncs.size = sizeof m_browserFuncs;
  m_browserFuncs.version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
  m_browserFuncs.geturl = HostBrowserCalls::GetURL;
  m_browserFuncs.requestread = HostBrowserCalls::RequestRead;
  m_browserFuncs.status = HostBrowserCalls::Status;
  initializeResult = initialize(&m_browserFuncs);
  if (entryPointsResult != NPERR_NO_ERROR || initializeResult != NPERR_NO_ERROR) {
    error = "the plug-in refused to initialise";
    return false;
  }
  return true;
}

void CScriptedHost::Unload() {
  if (!m_library) return;
  if (shutdown) shutdown();
  dlclose(m_library);
  m_library = nullptr;
  getEntryPoints = nullptr;
  initialize = nullptr;
  shutdown = nullptr;
  getMIMEDescription = nullptr;
  getValue = nullptr;
}

const std::vector<uint8_t>* CScriptedHost::File(const std::string& url) const {
  auto it = m_files.find(url);
  return it == m_files.end() ? nullptr : &it->second;
}

std::unique_ptr<CHostInstance> CScriptedHost::CreateInstance(
    uint16 mode, std::vector<std::pair<std::string, std::string>> attributes, int width, int height,
    bool paletteDevice) {
  return std::make_unique<CHostInstance>(*this, mode, std::move(attributes), width, height, paletteDevice);
}

// ------------------------------------------------------------ browser calls

NPError HostBrowserCalls::GetURL(NPP npp, const char* url, const char* target) {
  CHostInstance* host = HostOf(npp);
  if (!host || !url) return NPERR_INVALID_PARAM;
  host->getUrlCalls.emplace_back(url, target ? target : "");
  if (target) return NPERR_NO_ERROR;  // shown in another window, not this instance
  if (!host->m_host.File(url)) return NPERR_INVALID_URL;
  host->m_pendingStreams.push_back({url});
  return NPERR_NO_ERROR;
}

NPError HostBrowserCalls::RequestRead(NPStream* stream, NPByteRange* ranges) {
  if (!stream || !stream->ndata || !ranges) return NPERR_INVALID_PARAM;
  auto* open = static_cast<CHostInstance::OpenStream*>(stream->ndata);
  if (!open->record->seekable) return NPERR_STREAM_NOT_SEEKABLE;
  std::vector<NPByteRange> list;
  for (NPByteRange* r = ranges; r; r = r->next) {
    list.push_back({r->offset, r->length, nullptr});
    open->instance->rangeRequests.emplace_back(r->offset, r->length);
  }
  open->instance->m_pendingRanges.emplace_back(open, std::move(list));
  return NPERR_NO_ERROR;
}

void HostBrowserCalls::Status(NPP npp, const char* message) {
  if (CHostInstance* host = HostOf(npp)) host->statusTexts.push_back(message ? message : "");
}

// ------------------------------------------------------------ instance

CHostInstance::CHostInstance(CScriptedHost& host, uint16 mode,
                             std::vector<std::pair<std::string, std::string>> attributes, int width, int height,
                             bool paletteDevice)
    : m_host(host), m_mode(mode), m_attributes(std::move(attributes)), m_desktop(paletteDevice) {
  m_npp.ndata = this;
  m_window = m_desktop.CreateWindow(width, height);
  m_window->onPainted = [this](CHeadlessWindow& w) { OnPainted(w); };
}

CHostInstance::~CHostInstance() {
  if (m_created) Destroy();
}

NPError CHostInstance::New() {
  std::vector<char*> names;
  std::vector<char*> values;
  for (auto& [name, value] : m_attributes) {
    names.push_back(name.data());
    values.push_back(value.data());
  }
  const NPError result = m_host.Plugin().newp(const_cast<char*>("image/x-tavix"), &m_npp, m_mode,
                                              static_cast<int16>(names.size()), names.data(), values.data(), nullptr);
  m_created = result == NPERR_NO_ERROR;
  return result;
}

NPError CHostInstance::SetWindow() { return SetWindow(m_window.get()); }

NPError CHostInstance::SetWindow(CWindow* window) {
  m_npWindow.window = window;
  const CRect rect = window ? window->GetClientRect() : CRect{};
  m_npWindow.width = static_cast<uint32>(rect.Width());
  m_npWindow.height = static_cast<uint32>(rect.Height());
  m_npWindow.type = NPWindowTypeWindow;
  return m_host.Plugin().setwindow(&m_npp, &m_npWindow);
}

NPError CHostInstance::Destroy() {
  const NPError result = m_host.Plugin().destroy(&m_npp, nullptr);
  m_created = false;
  m_pendingRanges.clear();
  m_pendingStreams.clear();
  return result;
}

CHeadlessWindow& CHostInstance::DrawingWindow() {
  return m_window->Children().empty() ? *m_window : *m_window->Children().front();
}

int CHostInstance::PreviewPaintsPosted() { return DrawingWindow().PostedPaints(); }

int CHostInstance::Pump() {
  for (const auto& child : m_window->Children())
    if (!child->onPainted) child->onPainted = [this](CHeadlessWindow& w) { OnPainted(w); };
  return m_window->DispatchPosted();
}

void CHostInstance::OnPainted(CHeadlessWindow& window) {
  if (!m_recordSnapshots || &window != &DrawingWindow()) return;
  const CMemoryCanvas& canvas = window.Canvas();
  if (!m_snapshots.empty() && m_snapshots.back().rgb == canvas.Rgb()) return;
  m_snapshots.push_back({canvas.Width(), canvas.Height(), canvas.Rgb(), std::chrono::steady_clock::now()});
}

bool CHostInstance::WaitForDecodeEnded(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    Pump();
    if (m_host.Plugin().writeready(&m_npp, nullptr) == NP_MAXREADY) {
      Pump();
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

void CHostInstance::Push(OpenStream& open, const std::vector<uint8_t>& bytes, size_t begin, size_t end,
                         const StreamOptions& options) {
  constexpr int kMaxIdleRounds = 10000;
  int idle = 0;
  size_t offset = begin;
  while (offset < end) {
    const int32 ready = m_host.Plugin().writeready(&m_npp, &open.stream);
    if (ready <= 0) {
      Pump();
      if (++idle > kMaxIdleRounds) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    const size_t allowed = options.honourWriteReady ? static_cast<size_t>(ready) : SIZE_MAX;
    const size_t n = std::min({options.chunkSize, allowed, end - offset});
    std::vector<uint8_t> chunk(bytes.begin() + static_cast<long>(offset), bytes.begin() + static_cast<long>(offset + n));
    const int32 result = m_host.Plugin().write(&m_npp, &open.stream, static_cast<int32>(offset),
                                               static_cast<int32>(n), chunk.data());
    open.record->writes.push_back({static_cast<int32>(offset), static_cast<int32>(n), result});
    if (result < 0) {
      open.record->stoppedByPlugin = true;
      return;
    }
    offset += std::min(static_cast<size_t>(result), n);
    Pump();
    if (options.pace.count() > 0) std::this_thread::sleep_for(options.pace);
  }
}

StreamRecord& CHostInstance::Deliver(const std::string& url, const StreamOptions& options) {
  streams.push_back(std::make_unique<StreamRecord>());
  StreamRecord& record = *streams.back();
  record.url = url;
  const std::vector<uint8_t>* bytes = m_host.File(url);
  if (!bytes) {
    record.newStreamResult = NPERR_INVALID_URL;
    return record;
  }
  auto open = std::make_unique<OpenStream>();
  open->instance = this;
  open->record = &record;
  open->url = url;
  open->stream.ndata = open.get();
  open->stream.url = open->url.c_str();
  open->stream.end = static_cast<uint32>(options.announcedLength >= 0 ? options.announcedLength : bytes->size());
  record.seekable = options.seekable;
  record.end = open->stream.end;

  uint16 type = NP_NORMAL;
  record.newStreamResult = m_host.Plugin().newstream(&m_npp, const_cast<char*>(options.mimeType), &open->stream,
                                                     options.seekable, &type);
  record.streamType = type;
  if (record.newStreamResult != NPERR_NO_ERROR) return record;

  bool stalled = false;
  if (type == NP_SEEK) {
    // Only the ranges the plug-in asks for are sent.
    while (!m_pendingRanges.empty() && m_pendingRanges.front().first == open.get()) {
      auto ranges = std::move(m_pendingRanges.front().second);
      m_pendingRanges.pop_front();
      for (const NPByteRange& range : ranges) {
        const int64_t size = static_cast<int64_t>(bytes->size());
        int64_t start = range.offset < 0 ? size + range.offset : range.offset;
        const int64_t stop = std::min<int64_t>(start + range.length, size);
        start = std::clamp<int64_t>(start + options.rangeShift, 0, size);
        if (start < stop) Push(*open, *bytes, static_cast<size_t>(start), static_cast<size_t>(stop), options);
      }
    }
  } else {
    const size_t stop = std::min(bytes->size(), options.stallAfter);
    Push(*open, *bytes, 0, stop, options);
    stalled = stop < bytes->size() && !record.stoppedByPlugin;
  }
  if (!stalled) {
    const NPReason reason = record.stoppedByPlugin ? NPReason{NPRES_USER_BREAK} : options.reason;
    record.destroyResult = m_host.Plugin().destroystream(&m_npp, &open->stream, reason);
    record.destroyed = true;
  }
  m_openStreams.push_back(std::move(open));
  return record;
}

void CHostInstance::ProcessRequests(const StreamOptions& options) {
  while (!m_pendingStreams.empty()) {
    const std::string url = m_pendingStreams.front().url;
    m_pendingStreams.pop_front();
    Deliver(url, options);
  }
}

LRESULT CHostInstance::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  return DrawingWindow().SendMessage(message, wParam, lParam);
}

const RecordedMenu* CHostInstance::RightClick(int x, int y, UINT choice) {
  const size_t before = m_desktop.menus.size();
  m_desktop.QueueMenuChoice(choice);
  Send(WM_RBUTTONDOWN, 0, MAKELPARAM(x, y));
  if (m_desktop.menus.size() == before) {
    m_desktop.menuChoices.pop_back();  // no menu took it
    return nullptr;
  }
  return m_desktop.menus.back().get();
}

void CHostInstance::Resize(int width, int height) {
  m_window->MoveWindow(0, 0, width, height, true);
  m_window->UpdateWindow();
  Pump();
}
