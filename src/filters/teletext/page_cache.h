// TTeletextPageCache: the teletext pages received so far, on libzvbi.
//
// What it is: the decoder's memory of the stream. Each PES payload of a DVB teletext
// stream (data identifier, then EN 300 472 data units) is cut into 42-byte packets, bit
// order turned back to transmission order, and fed to libzvbi's page cache as sliced lines
// with rising timestamps; libzvbi's VBI_EVENT_TTX_PAGE handler reports each page that
// arrives. Beside libzvbi the cache keeps, for every page, the raw packets of its last
// complete transmission (for saving them) and the text of the last header row.
// Ownership: owns its vbi_decoder (RAII). Threads: not synchronised; the filter's page
// mutex guards every call.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct vbi_decoder;
struct vbi_page;
struct vbi_event;

namespace kv::teletext {

using TPacket = std::array<uint8_t, 42>;  // transmission order, bit 0 first

// libzvbi's page, released with vbi_unref_page when it goes.
class TFetchedPage {
 public:
  TFetchedPage();
  ~TFetchedPage();
  TFetchedPage(const TFetchedPage&) = delete;
  TFetchedPage& operator=(const TFetchedPage&) = delete;
  vbi_page* Get() { return page_.get(); }
  const vbi_page* Get() const { return page_.get(); }
  bool fetched = false;

 private:
  std::unique_ptr<vbi_page> page_;
};

class TTeletextPageCache {
 public:
  TTeletextPageCache();
  ~TTeletextPageCache();
  TTeletextPageCache(const TTeletextPageCache&) = delete;
  TTeletextPageCache& operator=(const TTeletextPageCache&) = delete;

  // Feeds one PES payload; returns the number of teletext packets found. Malformed units
  // are skipped; a payload that is not teletext (wrong data identifier) feeds nothing.
  int FeedPes(const uint8_t* data, size_t size);
  // Feeds packets in transmission order (as a raw page file holds them).
  void FeedPackets(const std::vector<TPacket>& packets);

  // Pages (0x100..0x899) that have arrived, in order.
  const std::set<int>& Pages() const { return pages_; }
  // Counts arrivals of a page (any subpage); changes whenever a new copy arrives.
  uint64_t Arrivals(int page) const;
  // The page as libzvbi formats it (25 rows); false when it is not in the cache.
  bool Fetch(int page, int subpage, TFetchedPage* out) const;
  // The raw packets of the page's last complete transmission (header first); empty when none.
  std::vector<TPacket> RawPackets(int page) const;
  // Header columns 8..39 of the last header received, as text (32 characters).
  const std::string& HeaderText() const { return header_; }

 private:
  static void OnEvent(::vbi_event* event, void* self);
  void TrackPacket(const TPacket& p);
  void Decode(const std::vector<TPacket>& packets);

  vbi_decoder* decoder_ = nullptr;
  double time_ = 0;  // the timestamp of the next lines, seconds
  std::set<int> pages_;
  std::map<int, uint64_t> arrivals_;
  std::string header_;
  // Raw tracking per magazine (index 0..7): the page in transmission and its packets.
  std::array<int, 8> inTransmission_;
  std::array<std::vector<TPacket>, 8> receiving_;
  std::map<int, std::vector<TPacket>> raw_;
};

}  // namespace kv::teletext
