// The component catalogue: which source, splitter and decoder filters serve which files.
//
// What it is: four lists read once from the descriptor files beside the program
// ("Containers/*.vc", "Decoders/*.vd", "Containers/*.ac", "Decoders/*.ad") and the open-dialog
// filter and mask strings derived from them. Adding a format to the player is dropping a
// descriptor file into one of those folders.
// Ownership: TCatalogue owns its entries (one allocation each, as the lists hand out stable
// pointers to the graph-building code). Pure logic, no Qt, no graph: tested directly.
// Threads: built by the engine's constructor and read on the user-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/guid.h"

namespace kv {

// One container descriptor (.vc or .ac). Text fields are cut to 255 characters.
struct TContainerDesc {
  std::string Extension;    // comma-separated extensions without dots, e.g. "AVI,DIVX"
  std::string Description;  // shown in the open dialog
  int32_t Priority = 0;     // stored; containers are not ordered by it
  bool Statistics = true;   // statistics filters may be inserted (video containers only)
  std::string SourceName;
  GUID SourceGUID;
  bool SourceIsSplitter = false;  // the source delivers the elementary streams itself
  std::string SplitterName;
  GUID SplitterGUID;
  GUID RendererCategory;    // video containers only: where RendererName is looked up
  std::string RendererName;  // non-empty: this renderer instead of the user's choice
  GUID RendererGUID;
};

// One media subtype of a decoder descriptor (.vd or .ad).
struct TDecoderDesc {
  std::string Name;  // descriptor name
  int32_t Priority = 0;
  GUID Format;  // the media subtype
  std::string DecoderName;
  GUID DecoderGUID;  // GUID_NULL: no decoder (video: unsupported; audio: pass the stream on)
};

// Reads values of one initialisation file with the profile rules (case-insensitive names,
// the default for a missing key, texts cut to 255 characters, "0x" integers).
class IProfileValues {
 public:
  virtual ~IProfileValues() = default;
  virtual std::string ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) = 0;
  virtual int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) = 0;
};

// A descriptor file read through the initialisation-file reader; nullptr when it is missing.
std::unique_ptr<IProfileValues> OpenDescriptorFile(const std::string& path);

using TContainerList = std::vector<std::unique_ptr<TContainerDesc>>;
using TDecoderList = std::vector<std::unique_ptr<TDecoderDesc>>;

// A GUID from its 38-character text: any other length gives GUID_NULL; within the groups
// a character that is not a hexadecimal digit is skipped without shifting the value.
GUID TextToGUID(const std::string& text);

// Removes repeated items of a ";"-separated list (case-sensitive), keeping first places.
std::string MergeMaskList(const std::string& text);

// Sorts a decoder list by Priority, highest first, with the exchange sort whose tie
// behaviour the catalogue relies on (equal priorities may swap; see the .cpp).
void SortDecoders(TDecoderList& list);

// Readers of one descriptor file.
TContainerDesc ReadContainerDesc(IProfileValues& file, bool video);
std::vector<TDecoderDesc> ReadDecoderDescs(IProfileValues& file);

// Upper-cased extension after the last "." of a file name, without the dot; empty when the
// name has no dot (or the dot belongs to a folder name).
std::string FileExtension(const std::string& fileName);

struct TCatalogue {
  TContainerList VideoContainers;
  std::string VideoFileFilter;
  std::string VideoFileMask;
  TDecoderList VideoDecoders;
  TContainerList AudioContainers;
  std::string AudioFileFilter;
  std::string AudioFileMask;
  TDecoderList AudioDecoders;

  // Appends a container and extends the filter and mask strings. Call Finish* after the
  // last one of its kind.
  void AddVideoContainer(const TContainerDesc& desc);
  void AddAudioContainer(const TContainerDesc& desc);
  void FinishVideoContainers() { VideoFileMask = MergeMaskList(VideoFileMask); }
  void FinishAudioContainers() { AudioFileMask = MergeMaskList(AudioFileMask); }

  // Loads the four kinds from programDir ("/"-terminated or not), in the order video
  // containers, video decoders, audio containers, audio decoders; files of a kind are taken
  // in name order. openFile opens one descriptor (nullptr when it cannot be read: skipped).
  using TOpener = std::unique_ptr<IProfileValues> (*)(const std::string& path);
  void Load(const std::string& programDir, TOpener openFile = OpenDescriptorFile);

  bool IsVideoFile(const std::string& fileName) const;
  bool IsAudioFile(const std::string& fileName) const;

  // The main window's open-dialog filter: "All media|" mask "|" filter "|All files|*.*".
  std::string OpenDialogFilter() const;
};

// The descriptor files of one kind in folder, matching "*." + extension (case-insensitive),
// sorted by name so that every machine sees the same order.
std::vector<std::string> ListDescriptorFiles(const std::string& folder, const std::string& extension);

}  // namespace kv
