// TCOMPlay: the playback engine.
//
// What it is: one object, created by the main window and kept for the life of the program,
// that owns the component catalogue (catalogue.h), the renderer device lists, one filter
// graph manager and a named slot for every filter the engine puts into that graph. The
// engine never asks the graph to build itself: it creates each filter, adds it under a
// fixed name and connects pin to pin. One source file per concern:
//   catalogue.cpp  descriptor files, filter and mask strings      formats.cpp  stream names
//   devices.cpp    renderer name lists                            open.cpp     OpenVideo
//   videochain.cpp video chain, plug-ins, teletext link           audiochain.cpp audio chain
//   renderers.cpp  renderer construction, video window, clock     graph.cpp    graph utilities
//   control.cpp    run/pause/stop, seeking, zoom, events          statistics.cpp bitrates
//   capture.cpp    GrabFrame                                      filterinfo.cpp pin lists
//   teletext.cpp   showing, paging and saving teletext pages
// Ownership: each slot holds one reference; the graph holds its own reference to every
// filter added to it, so a slot may be cleared while the filter stays in the graph.
// Threads: every method runs on the user-interface thread; the engine takes no locks. The
// statistics callbacks handed to the statistics filters run on streaming threads (istat.h).
// Failures: Boolean or empty results; user-visible errors go through ShowError (an "Error"
// message box, platform/ui/messagebox.h) and everything else to the debug log.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/catalogue.h"
#include "settings/filterstruct.h"
#include "engine/formats.h"
#include "engine/istat.h"
#include "engine/ittx.h"
#include "engine/ivfgrab.h"
#include "engine/renderer_config.h"
#include "platform/com/device_enum.h"
#include "platform/graph/filter.h"
#include "platform/graph/graph_interfaces.h"

namespace kv {

struct TOpenScan;

// TFilterStruct and TFiltersInChain (one filter plug-in slot, five slots) are shared with the
// settings, which read them from the registry: settings/filterstruct.h.
// The filters created for a TFiltersInChain, slot by slot (empty where none).
using TBaseFilters = std::array<ComPtr<IBaseFilter>, 5>;

// One audio renderer device.
struct TEnumInfo {
  std::string Name;
  ComPtr<IMoniker> Moniker;  // empty for "External to DV"
};

enum TPlayState : int32_t { psNone = 0, psRunning = 1, psOpened = 2, psPaused = 3, psStopped = 4, psEmpty = 5 };

// Class identifiers of the renderers and helper filters the engine builds itself.
inline constexpr CLSID CLSID_NullRenderer = GuidLiteral("{C1F400A4-3F08-11D3-9F0B-006008039E37}");
inline constexpr CLSID CLSID_VideoRenderer = GuidLiteral("{70E102B0-5556-11CE-97C0-00AA0055595A}");
inline constexpr CLSID CLSID_OverlayMixer = GuidLiteral("{CD8743A1-3736-11D0-9E69-00C04FD7C15B}");
inline constexpr CLSID CLSID_OverlayMixer2 = GuidLiteral("{A0025E90-E45B-11D1-ABE9-00A0C905F375}");
inline constexpr CLSID CLSID_VideoMixingRenderer = GuidLiteral("{B87BEB7B-8D29-423F-AE4D-6582C10175AC}");
inline constexpr CLSID CLSID_VideoMixingRenderer9 = GuidLiteral("{51B4ABF3-748F-4E3B-A276-C828330E926A}");
inline constexpr CLSID CLSID_DVMux = GuidLiteral("{129D7E40-C10D-11D0-AFB9-00AA00B67A42}");
inline constexpr CLSID CLSID_DVVideoEnc = GuidLiteral("{13AA3650-BB6F-11D0-AFB9-00AA00B67A42}");

// The window system side of the engine, implemented by the main window (tests replace it).
// Called on the user-interface thread.
class IEngineHost {
 public:
  virtual ~IEngineHost() = default;
  // Client size of the video panel the renderer window is placed in.
  virtual void VideoPanelSize(int32_t* width, int32_t* height) = 0;
  // Height of a horizontal window border (subtracted when the renderer window is fitted).
  virtual int32_t BorderHeight() { return 1; }
  // Shows the property pages of a filter, modally, owned by the media properties dialog.
  virtual void ShowFilterProperties(IBaseFilter* filter, const std::string& name) {}
  // Shows the property pages of a chain plug-in, modally, owned by the main window and
  // captioned with the filter's name in the graph.
  virtual void ShowPluginProperties(IBaseFilter* filter, const std::string& caption) {}
};

class TCOMPlay : public TCatalogue, public TStreamInfo {
 public:
  // Loads the catalogue from the program directory (programDir empty: ProgramDirectory()),
  // creates the graph manager and the device lists. host may be null (no video panel).
  explicit TCOMPlay(IEngineHost* host = nullptr, const std::string& programDir = {});
  ~TCOMPlay();
  TCOMPlay(const TCOMPlay&) = delete;
  TCOMPlay& operator=(const TCOMPlay&) = delete;

  // ---- fields (public: the main window reads and sets them) ----
  uint32_t RotCookie = uint32_t(-1);
  std::string FileName;       // non-empty only while a file is open
  std::string AudioFileName;  // file whose audio stream is connected
  std::string VideoStreamName, AudioStreamName;
  std::vector<std::string> VideoStreams, AudioStreams;
  int32_t VideoStreamIndex = 0;
  int32_t AudioStreamIndex = -1;

  ComPtr<IGraphBuilder> Graph;
  ComPtr<IMediaSeeking> MediaSeeking;
  ComPtr<IMediaControl> MediaControl;
  ComPtr<IMediaEventEx> MediaEvent;
  ComPtr<IBasicVideo> BasicVideo;
  ComPtr<IVideoWindow> VideoWindow;

  ComPtr<IBaseFilter> SourceFilter, SplitterFilter;
  ComPtr<IBaseFilter> AudioSourceFilter, AudioSplitterFilter;
  ComPtr<IBaseFilter> VideoRendererTail, VideoRenderer, DVEncoder, AudioRenderer;
  ComPtr<IBaseFilter> TeletextDecoder, FrameGrabber;
  ComPtr<IBaseFilter> VideoDecoder, AudioDecoder;
  ComPtr<IBaseFilter> VideoStatFilter, AudioStatFilter, ImageStatFilter;
  ComPtr<IBaseFilter> VideoConverter;
  TBaseFilters VideoPlugins, AudioPlugins;
  ComPtr<IStatistics> VideoStat, AudioStat, ImageStat;
  ComPtr<ITeletextDecoder> Teletext;
  TFiltersInChain VideoFilterChain, AudioFilterChain;
  ComPtr<IPin> VideoOutPin, AudioOutPin;

  double ZoomFactor = 1.0;
  int32_t ZoomX = 0, ZoomY = 0, ZoomCrop = 0;

  // Inputs the caller sets before OpenVideo.
  bool UseClock = false;
  bool NullRenderers = false;
  bool StatisticsWanted = true;
  bool ImageAnalysisWanted = false;
  bool DVNTSC = false;
  // Settings the engine follows (the main window copies them from the settings object).
  bool AC3WaveOut = true;       // "Player"\"AC3WaveOut"
  bool CaptureEnabled = true;   // not "Frame Capture"\"Disable"
  int32_t ColorDepth = 3;       // "Frame Capture"\"ColorDepth": 1, 3 or 256 (JPEG)
  int32_t Quality = 75;         // "Frame Capture"\"Quality", JPEG 1..100

  int32_t DisplayWidth = 0, DisplayHeight = 0;
  bool TeletextActive = false;
  bool TeletextShown = false;
  bool TeletextTransparent = false;
  bool TeletextTransparentSet = false;
  bool GrabberConnected = false;

  TStatCallback VideoStatCallback = nullptr;
  TStatCallback AudioStatCallback = nullptr;
  TStatCallback ImageStatCallback = nullptr;

  uint16_t AudioDeviceCount = 0;
  std::string AudioRendererName;
  std::string ActiveAudioRenderer;
  std::vector<std::string> AudioRendererNames;
  std::string VideoRendererName = "Video Renderer";
  std::vector<std::string> VideoRendererNames;
  std::vector<TEnumInfo> AudioDevices;

  TPlayState State = psNone;
  // The video panel the renderer window is put into (the renderer's owner window).
  uintptr_t VideoPanelHandle = 0;
  // Called on the user-interface thread when graph events are waiting; the main window
  // then calls HandleGraphEvents. Set before OpenVideo.
  std::function<void()> GraphNotify;

  // ---- graph data model (graph.cpp) ----
  bool CreateGraph();
  void ReleaseGraph();
  void TearDownGraph();
  // Finds a filter or device by friendly name in a category, creates it and adds it to the
  // graph under that name. Null (and a debug-log line) when none matches or the add fails.
  ComPtr<IBaseFilter> FindCategoryFilter(const GUID& category, const std::string& name);
  bool DevicePresent(const GUID& category, const std::string& name);
  bool DisconnectFilter(IBaseFilter* filter);
  void RemoveDownstream(IBaseFilter* filter);
  // Debug log, then the modal "Error" box.
  void ShowError(const std::string& message);
  // Pin number index (0-based) of the given direction, in enumeration order; null if none.
  static ComPtr<IPin> FindPin(IBaseFilter* filter, PIN_DIRECTION direction, int index);
  // A pin name as the stream lists hold it: at most 127 characters (the pin name field of the
  // platform), cut on a character boundary so that a UTF-8 title is never split.
  static std::string StreamName(const std::string& pinName);
  // Names of the filters in the graph, in enumeration order.
  std::vector<std::string> FilterNames();

  // ---- device lists (devices.cpp) ----
  // Fills VideoRendererNames (the kinds this machine can build) and AudioRendererNames /
  // AudioDevices (index-aligned) from the audio renderer category. Constructor only.
  void BuildDeviceList();
  // Releases the audio devices' monikers and empties the audio lists. Destructor only.
  void CloseDeviceList();

  // ---- opening (open.cpp, videochain.cpp, audiochain.cpp) ----
  // Tears down the old graph and builds one for fileName (empty: close). Success: FileName
  // set and State psOpened.
  // Failure: FileName stays empty; State psNone when the graph was torn down, psEmpty
  // when the partly built graph stays until the next open. Error boxes as the chain says.
  void OpenVideo(const std::string& fileName);
  // Connects the audio of fileName (the open file or a separate one) instead of the current
  // audio, keeping the position and the running or paused state.
  void OpenAudio(const std::string& fileName);
  // Connects the audio pin of that name (one of AudioStreams) instead of the current one.
  void SelectAudioStream(const std::string& name);
  // Rebuild the chain with another plug-in list without reopening; the graph stays
  // stopped with an error box when the new chain cannot be connected.
  void RerenderVideo(const TFiltersInChain& chain);
  void RerenderAudio(const TFiltersInChain& chain);
  bool FindVideoDecoder(size_t& position, const MediaType& mt, ComPtr<IBaseFilter>& decoder);
  bool ConnectVideoChain(IPin* pin);
  void DisconnectVideoChain();
  bool FindAudioDecoder(const MediaType& mt, ComPtr<IBaseFilter>& decoder);
  bool ConnectAudioChain(IPin* pin);
  void DisconnectAudioChain();
  void CreatePluginFilters(const TFiltersInChain& chain, TBaseFilters& filters);
  void RemovePluginFilters(TBaseFilters& filters);
  // ---- plug-in property pages (plugins.cpp) ----
  // Opens the pages of the n-th (1..5) plug-in of the running chain through the host; false
  // when that slot holds no filter in the graph or the filter has no pages. A plug-in whose
  // new settings need another connection (a quarter turn) has its chain rebuilt afterwards.
  bool ShowVideoPluginProperties(int n);
  bool ShowAudioPluginProperties(int n);

  // ---- renderers and video window (renderers.cpp) ----
  // Build the renderer construction of a name into the renderer slots; false when any
  // creation or add fails (what was added stays in the graph).
  bool CreateVideoRenderer(const std::string& name);
  bool CreateAudioRenderer(const std::string& name);
  // Switch the chosen renderer (names of the device lists only, compared without case) and
  // rewire a built graph to it; an unknown name or the current one changes nothing.
  void ChangeVideoRenderer(const std::string& name);
  void ChangeAudioRenderer(const std::string& name);
  // Puts the renderer's window into the video panel (VideoPanelHandle) and fits it.
  bool SetupVideoWindow();
  // Sizes the renderer window to the panel (IEngineHost) and resets the digital zoom.
  bool FitVideoWindow();
  bool RefreshVideoWindow();
  // The audio renderer's clock when the audio comes from a separate file or goes to DV,
  // else the graph's default clock.
  bool ChooseSyncSource();

  // ---- playback control (control.cpp) ----
  // Every operation is safe without a graph or an open file: it then does nothing and
  // returns its empty value (false, 0, 1.0 for the rate, the default colour key).
  // Times are milliseconds; the graph's 100-ns units are converted by 10000.
  void Play();
  bool Pause();
  bool Stop();
  // Stops the graph where it stands, for a program that is closing: no rewind and no new
  // first picture (Stop decodes one), which nobody would see.
  bool StopForExit();
  int32_t GetDuration();
  int32_t GetPosition();
  void SetPosition(int32_t ms);
  // Seeks to the frame at ms itself rather than the key frame before it: the graph decodes
  // from that key frame and shows nothing until the target (used where the desktop asks for
  // a position, MPRIS SetPosition; the program's own seek commands keep key-frame seeking).
  void SetPositionExact(int32_t ms);
  double GetPositionPercent();
  void SetPositionPercent(double percent);
  void SetRate(double rate);
  double GetRate();
  // Drains the graph's event queue (every event is freed); true when the end of the stream
  // was among them, after which the graph is paused on the last frame. A stream error among
  // them (EC_ERRORABORT, EC_ERRORABORTEX, EC_STREAM_ERROR_STOPPED) leaves its text in
  // LastStreamError for the caller to take; the graph is left as it is.
  bool HandleGraphEvents();
  std::string LastStreamError;
  // The text of a stream error event before FreeEventParams: the user's text and the
  // developer's detail of EC_ERRORABORTEX, else the event and its result code.
  static std::string StreamErrorText(int32_t code, intptr_t param1, intptr_t param2);
  bool SetMute(bool on);
  uint32_t GetColorKey();
  std::string GetVideoInputFormatName();
  void SetZoom(double factor);
  void SetZoomPosition(int32_t x, int32_t y);
  void SetZoomCrop(int32_t crop);

  // ---- statistics (statistics.cpp) ----
  // Bits per second from the statistics filters' counters, -1 when unknown.
  int32_t GetVideoBitrate();
  int32_t GetVideoCurrentBitrate();
  int32_t GetAudioBitrate();
  int32_t GetAudioCurrentBitrate();
  void ResetStatistics();

  // ---- frame capture (capture.cpp) ----
  // Writes the grabber's last picture to path: JPEG when ColorDepth is 256 (Quality),
  // else a bitmap of ColorDepth 1 (16 bits) or 3 (24 bits). False on any failure.
  bool GrabFrame(const std::string& path);

  // ---- teletext (teletext.cpp) ----
  // Settings of the "Teletext" section the save operations follow (the main window copies
  // them): the directory, the file name mode 0..3, the format 0..3 (bitmap, text, raw
  // packets, HTML) and whether all pages go to one file.
  std::string TeletextDirectory;
  int32_t TeletextFilename = 0;
  int32_t TeletextSaveAs = 0;
  bool TeletextAllToOne = false;
  // Each does nothing (false, empty) without a teletext decoder.
  bool ShowTeletextPage(bool on);
  void PutTeletextDigit(int32_t digit);
  bool TeletextNextPage();
  bool TeletextPrevPage();
  // Calls the decoder only when the value changes.
  void SetTeletextTransparent(bool on);
  // Save the page on screen / every page; the result is the OSD text to show ("... saved",
  // "Pages saved", "Not implemented", "Error saving"), empty when nothing was attempted.
  std::string SaveTeletextPage();
  std::string SaveTeletextPages();

  // ---- filter information for the media properties dialog (filterinfo.cpp) ----
  bool FilterHasPropertyPages(const std::string& name);
  // Pin texts of a filter: name, and " -> " + peer filter name when connected. False when
  // no filter of that name is in the graph (the lists are then untouched).
  // With inTypes/outTypes: the connection media type of each pin, parallel to the lists
  // ("" for an unconnected pin).
  bool ListFilterPins(const std::string& name, std::vector<std::string>* inPins, std::vector<std::string>* outPins,
                      std::vector<std::string>* inTypes = nullptr, std::vector<std::string>* outTypes = nullptr);
  // A connection's media type in words: major type, subtype, picture size or audio format.
  static std::string DescribeConnection(const MediaType& mt);
  void ShowNamedFilterProperties(const std::string& name);

 private:
  enum class TContainerResult { Done, Next, Fail, Stop };
  // Source, splitter and renderer for one container (OpenVideo steps 6 to 9).
  TContainerResult OpenContainer(const TContainerDesc& c, const std::string& fileName);
  bool ScanPins(TOpenScan& scan, IBaseFilter* demux);
  // Both return false when the open ended (failure or stop already applied).
  bool HandleVideoPin(TOpenScan& scan, IPin* pin, int index, const MediaType& mt);
  bool HandleAudioPin(TOpenScan& scan, IPin* pin, int index, const MediaType& mt);
  void LinkTeletext(const TOpenScan& scan, IBaseFilter* demux);
  std::string TeletextSaveName(bool singlePage);
  void ReadDisplaySize(const TOpenScan& scan);
  void FailOpen();
  // Creates a filter by class and adds it under name; null on either failure.
  ComPtr<IBaseFilter> CreateFilter(const CLSID& clsid, const std::string& name);
  ComPtr<IBaseFilter> CreateFilterNoAdd(const CLSID& clsid);
  bool ChooseAudioRenderer(bool* needed);
  // How OpenAudio ends: on (None), failure exit (resume), plain exit (stay stopped).
  enum class TAudioExit { None, Failure, Plain };
  TAudioExit OpenAudioFile(const std::string& fileName, const std::string& ext, IBaseFilter** demux);
  TAudioExit ConnectFirstAudioPin(IBaseFilter* demux, const std::string& fileName);
  bool UseAudioClock();
  void ResumeState();
  // A renderer change rewires a stopped graph and then restores what the user had.
  struct TResumePoint {
    bool active = false;  // the graph was running or paused
    int32_t position = 0;
  };
  TResumePoint StopForRewiring();
  void ResumeAfterRewiring(const TResumePoint& point);
  int LinkAfter(ComPtr<IPin>* out, IBaseFilter* filter);
  bool LinkVideoFront(ComPtr<IPin>* out);
  bool LinkVideoBack(ComPtr<IPin>* out);
  void ApplyZoom(double z, int32_t x, int32_t y, int32_t crop, int what);
  int32_t Bitrate(IStatistics* stat, bool total, bool log);
  bool RemoveFromGraph(ComPtr<IBaseFilter>& slot);
  bool MediaTimeBracket(const std::function<HRESULT()>& call);

  IEngineHost* host_;
  const TContainerDesc* container_ = nullptr;  // chosen for the open in progress
  bool dvDevicePresent_ = false;
};

}  // namespace kv
