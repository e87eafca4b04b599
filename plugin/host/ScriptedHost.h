// A scripted browser for the plug-in: loads the library with dlopen,
// provides the browser calls, creates instances with embed attributes,
// serves files as streams in chunks (seekable or not, at a chosen pace),
// answers byte-range requests, sends window messages, picks menu items and
// records everything the plug-in did.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "plugin/headless/HeadlessWindow.h"
#include "plugin/npapi.h"

class CScriptedHost;

struct StreamOptions {
  size_t chunkSize = 1000;
  bool honourWriteReady = true;       // write no more than NPP_WriteReady allows
  bool seekable = true;
  std::chrono::milliseconds pace{0};  // pause after each chunk
  int64_t announcedLength = -1;       // NPStream::end; -1 means the file size
  size_t stallAfter = SIZE_MAX;       // stop sending after this many bytes, leaving the stream open
  int rangeShift = 0;                 // answer range requests this many bytes off (overlap < 0 < gap)
  NPReason reason = NPRES_DONE;
  const char* mimeType = "image/x-tavix";
};

struct WriteRecord {
  int32 offset;
  int32 length;
  int32 result;
};

struct StreamRecord {
  std::string url;
  NPError newStreamResult = NPERR_NO_ERROR;
  uint16 streamType = NP_NORMAL;
  bool seekable = true;
  uint32 end = 0;
  std::vector<WriteRecord> writes;
  bool stoppedByPlugin = false;  // a write returned a negative value
  bool destroyed = false;
  NPError destroyResult = NPERR_NO_ERROR;
  size_t BytesAccepted() const;  // by writes that returned a positive count
  size_t BytesSent() const;      // by every write
};

struct Snapshot {
  int width;
  int height;
  std::vector<uint8_t> rgb;
  std::chrono::steady_clock::time_point paintedAt;
};

class CHostInstance {
public:
  CHostInstance(CScriptedHost& host, uint16 mode, std::vector<std::pair<std::string, std::string>> attributes,
                int width, int height, bool paletteDevice);
  ~CHostInstance();

  NPError New();
  NPError SetWindow();                 // gives the plug-in the instance's window
  NPError SetWindow(CWindow* window);  // or another one (null clears it)
  NPError Destroy();

  // Serves the file registered under `url` as one stream, then answers the
  // browser requests it caused (range requests, new streams).
  StreamRecord& Deliver(const std::string& url, const StreamOptions& options = {});
  // Answers what the plug-in asked for since the last call.
  void ProcessRequests(const StreamOptions& options = {});

  // Runs posted window messages; returns how many ran.
  int Pump();
  // Pumps until decoding has stopped (finished, failed or paused at the
  // limit); false if that did not happen within `limit`.
  bool WaitForDecodeEnded(std::chrono::milliseconds limit = std::chrono::seconds(60));

  // A right click at a client point of the drawing window, answering the
  // menu with `choice` (0 dismisses it). Returns the menu shown, or null.
  const RecordedMenu* RightClick(int x, int y, UINT choice = 0);
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);  // to the drawing window
  void Resize(int width, int height);

  CHeadlessWindow& Window() { return *m_window; }
  CHeadlessWindow& DrawingWindow();
  CHeadlessDesktop& Desktop() { return m_desktop; }
  NPP Npp() { return &m_npp; }
  // Paint results that differ from the one before, when recording.
  std::vector<Snapshot>& Snapshots() { return m_snapshots; }
  void RecordSnapshots(bool on) { m_recordSnapshots = on; }
  int PreviewPaintsPosted();  // paint messages posted by the decoder

  std::vector<std::string> statusTexts;
  std::vector<std::pair<std::string, std::string>> getUrlCalls;  // url, target ("" for none)
  std::vector<std::pair<int32, uint32>> rangeRequests;
  std::vector<std::unique_ptr<StreamRecord>> streams;

private:
  friend class CScriptedHost;
  friend struct HostBrowserCalls;
  struct PendingStream {
    std::string url;
  };
  struct OpenStream;

  void Push(OpenStream& stream, const std::vector<uint8_t>& bytes, size_t begin, size_t end,
            const StreamOptions& options);
  void OnPainted(CHeadlessWindow& window);

  CScriptedHost& m_host;
  NPP_t m_npp{};
  uint16 m_mode;
  std::vector<std::pair<std::string, std::string>> m_attributes;
  CHeadlessDesktop m_desktop;
  std::unique_ptr<CHeadlessWindow> m_window;
  NPWindow m_npWindow{};
  bool m_created = false;
  std::deque<PendingStream> m_pendingStreams;
  std::deque<std::pair<OpenStream*, std::vector<NPByteRange>>> m_pendingRanges;
  std::vector<std::unique_ptr<OpenStream>> m_openStreams;
  std::vector<Snapshot> m_snapshots;
  bool m_recordSnapshots = false;
};

class CScriptedHost {
public:
  CScriptedHost();
  ~CScriptedHost();
  CScriptedHost(const CScriptedHost&) = delete;
  CScriptedHost& operator=(const CScriptedHost&) = delete;

  // dlopen, NP_GetEntryPoints, NP_Initialize. False with a reason on failure.
  bool Load(const std::string& libraryPath, std::string& error);
  void Unload();  // NP_Shutdown and dlclose

  // The "web server": bytes served for a URL.
  void Serve(const std::string& url, std::vector<uint8_t> bytes) { m_files[url] = std::move(bytes); }
  const std::vector<uint8_t>* File(const std::string& url) const;

  std::unique_ptr<CHostInstance> CreateInstance(uint16 mode,
                                                std::vector<std::pair<std::string, std::string>> attributes = {},
                                                int width = 400, int height = 300, bool paletteDevice = false);

  NPPluginFuncs& Plugin() { return m_pluginFuncs; }
  NPNetscapeFuncs& Browser() { return m_browserFuncs; }
  NPError initializeResult = NPERR_NO_ERROR;
  NPError entryPointsResult = NPERR_NO_ERROR;
  NP_GetMIMEDescriptionFunc getMIMEDescription = nullptr;
  NP_GetValueFunc getValue = nullptr;
  NP_InitializeFunc initialize = nullptr;
  NP_GetEntryPointsFunc getEntryPoints = nullptr;
  NP_ShutdownFunc shutdown = nullptr;

private:
  void* m_library = nullptr;
  NPPluginFuncs m_pluginFuncs{};
  NPNetscapeFuncs m_browserFuncs{};
  std::map<std::string, std::vector<uint8_t>> m_files;
};
