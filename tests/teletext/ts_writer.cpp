#include "ts_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace kv::test {

namespace {

constexpr int kPmtPid = 0x100;
constexpr int kVideoPid = 0x101;
constexpr int kAudioPid = 0x102;
constexpr int kTeletextPid = 0x103;
constexpr int64_t kStartPts = 90000;  // the first picture at 1 s
constexpr int kFrameTicks = 3600;     // 25 pictures a second
constexpr int kAudioTicks = 2160;     // 1152 samples at 48 kHz

// Hamming 8/4 code words, bit 0 first.
constexpr uint8_t kHamming84[16] = {0x15, 0x02, 0x49, 0x5E, 0x64, 0x73, 0x38, 0x2F,
                                    0xD0, 0xC7, 0x8C, 0x9B, 0xA1, 0xB6, 0xFD, 0xEA};

uint8_t OddParity(uint8_t c) {
  c &= 0x7F;
  int ones = __builtin_popcount(c);
  return ones % 2 ? c : static_cast<uint8_t>(c | 0x80);
}

uint8_t Reverse(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i)
    if (b & (1 << i)) r |= static_cast<uint8_t>(0x80 >> i);
  return r;
}

void Address(std::array<uint8_t, 42>& p, int magazine, int packet) {
  p[0] = kHamming84[(magazine & 7) | ((packet & 1) << 3)];
  p[1] = kHamming84[(packet >> 1) & 15];
}

void Text(std::array<uint8_t, 42>& p, size_t from, const std::string& text) {
  for (size_t i = from; i < 42; ++i) {
    size_t k = i - from;
    p[i] = OddParity(k < text.size() ? static_cast<uint8_t>(text[k]) : ' ');
  }
}

uint32_t Crc32(const std::vector<uint8_t>& data) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t b : data) {
    crc ^= static_cast<uint32_t>(b) << 24;
    for (int i = 0; i < 8; ++i) crc = crc & 0x80000000 ? (crc << 1) ^ 0x04C11DB7 : crc << 1;
  }
  return crc;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One PES with its decode position; the mux writes them in pts order.
struct TPes {
  int64_t pts;
  int pid;
  std::vector<uint8_t> bytes;
};

void PutPts(std::vector<uint8_t>& out, int64_t pts) {
  out.push_back(static_cast<uint8_t>(0x21 | ((pts >> 29) & 0x0E)));
  out.push_back(static_cast<uint8_t>(pts >> 22));
  out.push_back(static_cast<uint8_t>(0x01 | ((pts >> 14) & 0xFE)));
  out.push_back(static_cast<uint8_t>(pts >> 7));
  out.push_back(static_cast<uint8_t>(0x01 | ((pts << 1) & 0xFE)));
}

std::vector<uint8_t> MakePes(int streamId, int64_t pts, const std::vector<uint8_t>& payload, int headerLength) {
  std::vector<uint8_t> pes = {0, 0, 1, static_cast<uint8_t>(streamId), 0, 0, 0x84, 0x80,
                              static_cast<uint8_t>(headerLength)};
  PutPts(pes, pts);
  while (static_cast<int>(pes.size()) < 9 + headerLength) pes.push_back(0xFF);
  pes.insert(pes.end(), payload.begin(), payload.end());
  size_t length = pes.size() - 6;
  if (length < 65536) {
    pes[4] = static_cast<uint8_t>(length >> 8);
    pes[5] = static_cast<uint8_t>(length);
  }
  return pes;
}

// Access units of an MPEG-2 video elementary stream: each picture with the sequence and
// group headers in front of it.
std::vector<std::vector<uint8_t>> SplitPictures(const std::vector<uint8_t>& es) {
  std::vector<size_t> starts;
  long pending = -1;
  for (size_t i = 0; i + 3 < es.size(); ++i) {
    if (es[i] != 0 || es[i + 1] != 0 || es[i + 2] != 1) continue;
    uint8_t code = es[i + 3];
    if ((code == 0xB3 || code == 0xB8) && pending < 0) pending = static_cast<long>(i);
    if (code == 0x00) {
      starts.push_back(pending >= 0 ? static_cast<size_t>(pending) : i);
      pending = -1;
    }
  }
  std::vector<std::vector<uint8_t>> units;
  for (size_t k = 0; k < starts.size(); ++k) {
    size_t end = k + 1 < starts.size() ? starts[k + 1] : es.size();
    units.emplace_back(es.begin() + static_cast<long>(starts[k]), es.begin() + static_cast<long>(end));
  }
  return units;
}

// MPEG-1 Layer II frames.
std::vector<std::vector<uint8_t>> SplitAudioFrames(const std::vector<uint8_t>& es) {
  static const int kBitrates[16] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0};
  static const int kRates[4] = {44100, 48000, 32000, 0};
  std::vector<std::vector<uint8_t>> frames;
  size_t i = 0;
  while (i + 4 <= es.size()) {
    if (es[i] != 0xFF || (es[i + 1] & 0xF0) != 0xF0) {
      ++i;
      continue;
    }
    int bitrate = kBitrates[es[i + 2] >> 4] * 1000;
    int rate = kRates[(es[i + 2] >> 2) & 3];
    int padding = (es[i + 2] >> 1) & 1;
    if (!bitrate || !rate) {
      ++i;
      continue;
    }
    size_t length = static_cast<size_t>(144 * bitrate / rate + padding);
    if (i + length > es.size()) break;
    frames.emplace_back(es.begin() + static_cast<long>(i), es.begin() + static_cast<long>(i + length));
    i += length;
  }
  return frames;
}

class TTsMux {
 public:
  explicit TTsMux(int pcrPid) : PcrPid_(pcrPid) {}

  void Section(int pid, std::vector<uint8_t> section) {
    uint32_t crc = Crc32(section);
    for (int s = 24; s >= 0; s -= 8) section.push_back(static_cast<uint8_t>(crc >> s));
    std::vector<uint8_t> payload = {0};  // pointer field
    payload.insert(payload.end(), section.begin(), section.end());
    Packets(pid, payload, -1);
  }

  void Pes(const TPes& pes) { Packets(pes.pid, pes.bytes, pes.pid == PcrPid_ ? pes.pts - 27000 : -1); }

  const std::vector<uint8_t>& Bytes() const { return Out_; }

 private:
  void Packets(int pid, const std::vector<uint8_t>& data, int64_t pcr) {
    size_t offset = 0;
    bool first = true;
    while (offset < data.size() || first) {
      uint8_t packet[188];
      packet[0] = 0x47;
      packet[1] = static_cast<uint8_t>((first ? 0x40 : 0) | ((pid >> 8) & 0x1F));
      packet[2] = static_cast<uint8_t>(pid);
      uint8_t& cc = Counters_[pid];
      std::vector<uint8_t> adaptation;
      if (first && pcr >= 0) {
        adaptation = {0x10, static_cast<uint8_t>(pcr >> 25), static_cast<uint8_t>(pcr >> 17),
                      static_cast<uint8_t>(pcr >> 9), static_cast<uint8_t>(pcr >> 1),
                      static_cast<uint8_t>(((pcr & 1) << 7) | 0x7E), 0};
      }
      bool withAdaptation = !adaptation.empty();
      size_t room = 184 - (withAdaptation ? adaptation.size() + 1 : 0);
      size_t take = std::min(room, data.size() - offset);
      if (take < room) {
        // Stuffing in the adaptation field fills the packet.
        size_t missing = room - take;
        if (!withAdaptation) {
          withAdaptation = true;
          --missing;  // the length byte
          if (missing > 0) {
            adaptation.push_back(0x00);
            --missing;
          }
        }
        adaptation.insert(adaptation.end(), missing, 0xFF);
      }
      size_t pos = 4;
      if (withAdaptation) {
        packet[3] = static_cast<uint8_t>(0x30 | (cc & 15));
        packet[4] = static_cast<uint8_t>(adaptation.size());
        std::copy(adaptation.begin(), adaptation.end(), packet + 5);
        pos = 5 + adaptation.size();
      } else {
        packet[3] = static_cast<uint8_t>(0x10 | (cc & 15));
      }
      std::copy(data.begin() + static_cast<long>(offset), data.begin() + static_cast<long>(offset + take), packet + pos);
      offset += take;
      ++cc;
      first = false;
      Out_.insert(Out_.end(), packet, packet + 188);
    }
  }

  int PcrPid_;
  uint8_t Counters_[0x2000] = {};
  std::vector<uint8_t> Out_;
};

std::vector<uint8_t> Pat() {
  return {0x00, 0xB0, 13, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, static_cast<uint8_t>(0xE0 | (kPmtPid >> 8)),
          static_cast<uint8_t>(kPmtPid)};
}

std::vector<uint8_t> Pmt(const TTsWriterOptions& o, int pcrPid) {
  std::vector<uint8_t> streams;
  auto add = [&](uint8_t type, int pid, std::vector<uint8_t> descriptors) {
    streams.push_back(type);
    streams.push_back(static_cast<uint8_t>(0xE0 | (pid >> 8)));
    streams.push_back(static_cast<uint8_t>(pid));
    streams.push_back(static_cast<uint8_t>(0xF0 | (descriptors.size() >> 8)));
    streams.push_back(static_cast<uint8_t>(descriptors.size()));
    streams.insert(streams.end(), descriptors.begin(), descriptors.end());
  };
  // Teletext descriptor: language "eng", type 1 (initial page), magazine 1, page 00.
  auto teletext = [&] { add(0x06, kTeletextPid, {0x56, 5, 'e', 'n', 'g', (1 << 3) | 1, 0x00}); };
  if (o.teletextFirst) teletext();
  if (o.video) add(0x02, kVideoPid, {});
  if (o.audio) add(0x03, kAudioPid, {});
  if (!o.teletextFirst) teletext();
  std::vector<uint8_t> s = {0x02, 0xB0, 0, 0x00, 0x01, 0xC1, 0x00, 0x00,
                            static_cast<uint8_t>(0xE0 | (pcrPid >> 8)), static_cast<uint8_t>(pcrPid), 0xF0, 0x00};
  s.insert(s.end(), streams.begin(), streams.end());
  size_t length = s.size() - 3 + 4;
  s[1] = static_cast<uint8_t>(0xB0 | (length >> 8));
  s[2] = static_cast<uint8_t>(length);
  return s;
}

// Every packet of one page cycle: each page's header and rows, then a filler header that
// ends the last page.
std::vector<std::array<uint8_t, 42>> PageCycle(const std::vector<TTeletextPageText>& pages) {
  std::vector<std::array<uint8_t, 42>> packets;
  for (const TTeletextPageText& p : pages) {
    packets.push_back(HeaderPacket(p.page, 0, p.header));
    for (size_t r = 0; r < p.rows.size() && r < 24; ++r)
      packets.push_back(RowPacket(p.page >> 8, static_cast<int>(r + 1), p.rows[r]));
  }
  for (int m = 1; m <= 8; ++m) {
    bool used = false;
    for (const TTeletextPageText& p : pages) used |= (p.page >> 8) == m;
    if (used) packets.push_back(HeaderPacket((m << 8) | 0xFF, 0x3F7F, ""));
  }
  return packets;
}

// A teletext PES payload: data identifier 0x10 and 3 + 4k data units of 46 bytes, so that
// the whole PES fills whole transport packets.
std::vector<uint8_t> TeletextPayload(const std::vector<std::array<uint8_t, 42>>& lines) {
  std::vector<uint8_t> out = {0x10};
  size_t units = lines.size() < 3 ? 3 : 3 + ((lines.size() - 3 + 3) / 4) * 4;
  for (size_t i = 0; i < units; ++i) {
    if (i < lines.size()) {
      out.push_back(0x02);  // EBU teletext non-subtitle data
      out.push_back(0x2C);
      out.push_back(static_cast<uint8_t>(0xC0 | 0x20 | (7 + i % 16)));  // field 1, line 7..22
      out.push_back(0xE4);                                               // framing code
      for (uint8_t b : lines[i]) out.push_back(Reverse(b));
    } else {
      out.push_back(0xFF);  // stuffing unit
      out.push_back(0x2C);
      out.insert(out.end(), 44, 0xFF);
    }
  }
  return out;
}

bool Run(const std::string& command) {
  if (std::system(command.c_str()) == 0) return true;
  std::fprintf(stderr, "ts_writer: failed: %s\n", command.c_str());
  return false;
}

}  // namespace

std::array<uint8_t, 42> HeaderPacket(int page, int subpage, const std::string& header) {
  std::array<uint8_t, 42> p{};
  Address(p, page >> 8, 0);
  p[2] = kHamming84[page & 15];
  p[3] = kHamming84[(page >> 4) & 15];
  p[4] = kHamming84[subpage & 15];
  p[5] = kHamming84[((subpage >> 4) & 7) | 8];  // C4: erase page
  p[6] = kHamming84[(subpage >> 8) & 15];
  p[7] = kHamming84[(subpage >> 12) & 3];
  p[8] = kHamming84[0];
  p[9] = kHamming84[1];  // C11: magazines in serial order
  Text(p, 10, header);
  return p;
}

std::array<uint8_t, 42> RowPacket(int magazine, int row, const std::string& text) {
  std::array<uint8_t, 42> p{};
  Address(p, magazine, row);
  Text(p, 2, text);
  return p;
}

std::vector<TTeletextPageText> StandardPages() {
  const std::string header = "KAVELLO TEXT  Mon 07 Dec 12:00";
  std::vector<TTeletextPageText> pages(4);
  pages[0] = {0x100, header, {"Kavello teletext index", "News                 101", "Colours              102"}};
  pages[1] = {0x101, header, {"News of the day", "Second page text"}};
  pages[2] = {0x102, header,
              {"Colour page", std::string(1, kAlphaRed) + "Red row", std::string(1, kAlphaYellow) + "Yellow row"}};
  pages[3] = {0x200, header, {"Magazine two"}};
  for (auto& p : pages) p.rows.resize(24);
  return pages;
}

bool WriteTeletextTs(const std::string& path, const TTsWriterOptions& options) {
  const std::string seconds = std::to_string(options.seconds);
  std::vector<TPes> pes;
  int pcrPid = options.video ? kVideoPid : options.audio ? kAudioPid : kTeletextPid;
  int64_t end = kStartPts + static_cast<int64_t>(options.seconds * 90000);
  if (options.video) {
    const std::string es = path + ".m2v";
    if (!Run("ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=480x270:rate=25 -t " + seconds +
             " -c:v mpeg2video -bf 0 -g 12 -q:v 4 -f mpeg2video '" + es + "'"))
      return false;
    auto pictures = SplitPictures(ReadFile(es));
    std::remove(es.c_str());
    for (size_t i = 0; i < pictures.size(); ++i) {
      int64_t pts = kStartPts + static_cast<int64_t>(i) * kFrameTicks;
      pes.push_back({pts, kVideoPid, MakePes(0xE0, pts, pictures[i], 5)});
    }
  }
  if (options.audio) {
    const std::string es = path + ".mp2";
    if (!Run("ffmpeg -loglevel error -y -f lavfi -i sine=frequency=440:sample_rate=48000 -t " + seconds +
             " -ac 2 -c:a mp2 -b:a 128k -f mp2 '" + es + "'"))
      return false;
    auto frames = SplitAudioFrames(ReadFile(es));
    std::remove(es.c_str());
    for (size_t i = 0; i < frames.size(); ++i) {
      int64_t pts = kStartPts + static_cast<int64_t>(i) * kAudioTicks;
      pes.push_back({pts, kAudioPid, MakePes(0xC0, pts, frames[i], 5)});
    }
  }
  // Teletext: seven lines per picture period, cycling through the pages.
  const auto cycle = PageCycle(options.pages);
  size_t next = 0;
  for (int64_t pts = kStartPts; pts < end && !cycle.empty(); pts += kFrameTicks) {
    std::vector<std::array<uint8_t, 42>> lines;
    for (int k = 0; k < 7; ++k) lines.push_back(cycle[next++ % cycle.size()]);
    pes.push_back({pts, kTeletextPid, MakePes(0xBD, pts, TeletextPayload(lines), 0x24)});
  }
  std::stable_sort(pes.begin(), pes.end(), [](const TPes& a, const TPes& b) { return a.pts < b.pts; });

  TTsMux mux(pcrPid);
  int64_t lastTables = -1;
  for (const TPes& p : pes) {
    if (lastTables < 0 || p.pts - lastTables >= 9000) {
      mux.Section(0, Pat());
      mux.Section(kPmtPid, Pmt(options, pcrPid));
      lastTables = p.pts;
    }
    mux.Pes(p);
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(mux.Bytes().data()), static_cast<std::streamsize>(mux.Bytes().size()));
  return static_cast<bool>(out);
}

}  // namespace kv::test
