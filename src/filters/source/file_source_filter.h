// TFileSourceFilter: "File Source (Async.)", the file source the container descriptors name.
//
// What it is: IFileSourceFilter::Load opens a local file; the one output pin ("Output")
// offers MEDIATYPE_Stream and serves reads by offset through IAsyncReader to the
// demultiplexer connected to it. It has no streaming thread: the demultiplexer pulls on
// its own threads.
//
// Ownership: the filter owns the pin and the open file. Threads: Load, GetCurFile and
// connection calls on the user-interface thread; SyncRead and Length on the
// demultiplexer's threads, any number at once (positional reads, no lock); BeginFlush /
// EndFlush from the thread that seeks or stops. fileMutex_ guards the file name and type;
// the reader is only replaced while the pin is not connected.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "filters/source/file_reader.h"
#include "platform/graph/base_filter.h"

namespace kv::source {

inline constexpr CLSID CLSID_AsyncReader = GuidLiteral("{E436EBB5-524F-11CE-9F53-0020AF0BA770}");
inline constexpr const char* kFileSourceName = "File Source (Async.)";

class TFileSourceFilter;

class TAsyncOutputPin final : public TBasePin, public IAsyncReader {
 public:
  explicit TAsyncOutputPin(TFileSourceFilter* filter);
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // TBasePin: the loaded file's stream type, and nothing before Load.
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT GetMediaType(int position, MediaType* type) override;
  // A pull connection: the peer needs no allocator or IMemInputPin from us.
  HRESULT CompleteConnect(IPin* receivePin) override { return S_OK; }

  // IAsyncReader
  HRESULT SyncRead(int64_t position, int32_t length, uint8_t* buffer, int32_t* read) override;
  HRESULT Length(int64_t* total, int64_t* available) override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 private:
  TFileSourceFilter* source_;
  std::atomic<bool> flushing_{false};
};

class TFileSourceFilter final : public TBaseFilter, public IFileSourceFilter {
 public:
  TFileSourceFilter();
  ~TFileSourceFilter() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  int GetPinCount() override { return 1; }
  TBasePin* GetPin(int n) override;

  // IFileSourceFilter. Load fails with the system's error as an HRESULT (0x80070002 for a
  // missing file), VFW_E_ALREADY_CONNECTED when the pin is connected to another file.
  HRESULT Load(const std::string& fileName, const MediaType* type) override;
  HRESULT GetCurFile(std::string* fileName, MediaType* type) override;

  // The open file, or nullptr before Load. Valid while the pin is connected.
  TFileReader* Reader() { return reader_.get(); }
  MediaType StreamType();

 private:
  std::unique_ptr<TAsyncOutputPin> pin_;
  std::mutex fileMutex_;  // guards fileName_ and type_
  std::string fileName_;
  MediaType type_;
  std::unique_ptr<TFileReader> reader_;  // replaced by Load only while not connected
};

// Registers "File Source (Async.)" with the class registry.
HRESULT RegisterFileSource();

}  // namespace kv::source
