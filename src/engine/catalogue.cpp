// The component catalogue: descriptor reading, the filter and mask strings, decoder order.
#include "engine/catalogue.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>

#include "platform/ini/ini_file.h"

namespace kv {

namespace {

constexpr size_t kTextLimit = 255;

std::string Cut(std::string text) {
  if (text.size() > kTextLimit) text.resize(kTextLimit);
  return text;
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    size_t hit = text.find(from, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos);
    out += to;
    pos = hit + from.size();
  }
  out.append(text, pos, std::string::npos);
  return out;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Reads characters [first, last] (1-based, inclusive) as hex, skipping non-hex characters.
uint32_t HexGroup(const std::string& text, size_t first, size_t last) {
  uint32_t value = 0;
  for (size_t i = first; i <= last; ++i) {
    char c = text[i - 1];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit >= 0) value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

bool ExtensionListed(const TContainerList& list, const std::string& fileName) {
  std::string ext = FileExtension(fileName);
  if (ext.empty()) return false;
  for (const auto& entry : list)
    if (entry->Extension.find(ext) != std::string::npos) return true;
  return false;
}

class TIniValues : public IProfileValues {
 public:
  explicit TIniValues(const std::string& path) : file_(path) {}
  bool Exists() const { return file_.Exists(); }
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) override {
    return file_.ReadString(section, key, fallback);
  }
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) override {
    return file_.ReadInteger(section, key, fallback);
  }

 private:
  ini::TIniFile file_;
};

}  // namespace

std::unique_ptr<IProfileValues> OpenDescriptorFile(const std::string& path) {
  auto file = std::make_unique<TIniValues>(path);
  if (!file->Exists()) return nullptr;
  return file;
}

GUID TextToGUID(const std::string& text) {
  GUID g;
  if (text.size() != 38) return g;
  g.Data1 = HexGroup(text, 2, 9);
  g.Data2 = static_cast<uint16_t>(HexGroup(text, 11, 14));
  g.Data3 = static_cast<uint16_t>(HexGroup(text, 16, 19));
  g.Data4[0] = static_cast<uint8_t>(HexGroup(text, 21, 22));
  g.Data4[1] = static_cast<uint8_t>(HexGroup(text, 23, 24));
  for (int i = 0; i < 6; ++i) {
    size_t first = 26 + 2 * static_cast<size_t>(i);
    g.Data4[2 + i] = static_cast<uint8_t>(HexGroup(text, first, first + 1));
  }
  return g;
}

std::string MergeMaskList(const std::string& text) {
  std::vector<std::string> items;
  size_t pos = 0;
  for (;;) {
    size_t sep = text.find(';', pos);
    items.push_back(text.substr(pos, sep == std::string::npos ? std::string::npos : sep - pos));
    if (sep == std::string::npos) break;
    pos = sep + 1;
  }
  std::vector<std::string> kept;
  for (const auto& item : items)
    if (std::find(kept.begin(), kept.end(), item) == kept.end()) kept.push_back(item);
  std::string result;
  for (const auto& item : kept) {
    if (!result.empty()) result += ';';
    result += item;
  }
  return result;
}

void SortDecoders(TDecoderList& list) {
  // The exchange sort is kept as it is (not a stable sort) because which of two decoders of
  // equal priority is tried first depends on exactly these swaps.
  for (size_t i = 0; i < list.size(); ++i)
    for (size_t j = i + 1; j < list.size(); ++j)
      if (list[j]->Priority > list[i]->Priority) std::swap(list[i], list[j]);
}

TContainerDesc ReadContainerDesc(IProfileValues& file, bool video) {
  TContainerDesc d;
  d.Extension = Cut(file.ReadString("Main", "Extension", ""));
  d.Description = Cut(file.ReadString("Main", "Description", ""));
  d.Priority = file.ReadInteger("Main", "Priority", 0);
  if (video) d.Statistics = file.ReadInteger("Main", "Statistics", 1) != 0;
  d.SourceName = Cut(file.ReadString("Source", "Name", ""));
  d.SourceGUID = TextToGUID(file.ReadString("Source", "GUID", ""));
  d.SourceIsSplitter = file.ReadInteger("Source", "Splitter", 0) != 0;
  d.SplitterName = Cut(file.ReadString("Splitter", "Name", ""));
  d.SplitterGUID = TextToGUID(file.ReadString("Splitter", "GUID", ""));
  if (video) {
    d.RendererName = Cut(file.ReadString("Video Renderer", "Name", ""));
    d.RendererGUID = TextToGUID(file.ReadString("Video Renderer", "GUID", ""));
    d.RendererCategory = TextToGUID(file.ReadString("Video Renderer", "Category", ""));
  }
  return d;
}

std::vector<TDecoderDesc> ReadDecoderDescs(IProfileValues& file) {
  TDecoderDesc base;
  base.Name = Cut(file.ReadString("Main", "Name", ""));
  base.DecoderName = Cut(file.ReadString("Decoder", "Name", ""));
  base.Priority = file.ReadInteger("Main", "Priority", 0);
  base.DecoderGUID = TextToGUID(file.ReadString("Decoder", "GUID", ""));
  std::vector<TDecoderDesc> out;
  for (int n = 1;; ++n) {
    std::string format = file.ReadString("Formats", std::to_string(n), "");
    if (format.empty()) break;
    TDecoderDesc entry = base;
    entry.Format = TextToGUID(format);
    out.push_back(std::move(entry));
  }
  return out;
}

std::string FileExtension(const std::string& fileName) {
  size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) return {};
  // A dot in a folder name is not an extension on Linux paths.
  size_t slash = fileName.rfind('/');
  if (slash != std::string::npos && slash > dot) return {};
  return Upper(fileName.substr(dot + 1));
}

void TCatalogue::AddVideoContainer(const TContainerDesc& desc) {
  VideoContainers.push_back(std::make_unique<TContainerDesc>(desc));
  const std::string& e = desc.Extension;
  if (VideoFileFilter.find(e) == std::string::npos) {
    if (!VideoFileFilter.empty()) VideoFileFilter += '|';
    VideoFileFilter += desc.Description + " (*." + Lower(ReplaceAll(e, ",", ",*.")) + ")|*." +
                       ReplaceAll(e, ",", ";*.");
  }
  if (VideoFileMask.find(e) == std::string::npos) {
    if (!VideoFileMask.empty()) VideoFileMask += ';';
    VideoFileMask += "*." + ReplaceAll(e, ",", ";*.");
  }
}

void TCatalogue::AddAudioContainer(const TContainerDesc& desc) {
  AudioContainers.push_back(std::make_unique<TContainerDesc>(desc));
  const std::string& e = desc.Extension;
  if (!AudioFileFilter.empty()) AudioFileFilter += '|';
  AudioFileFilter += desc.Description + "|*." + ReplaceAll(e, ",", ";*.");
  if (!AudioFileMask.empty()) AudioFileMask += ';';
  AudioFileMask += "*." + ReplaceAll(e, ",", ";*.");
}

std::vector<std::string> ListDescriptorFiles(const std::string& folder, const std::string& extension) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  const std::string wanted = "." + Lower(extension);
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() <= wanted.size()) continue;
    if (Lower(name.substr(name.size() - wanted.size())) != wanted) continue;
    names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

void TCatalogue::Load(const std::string& programDir, TOpener openFile) {
  std::string base = programDir;
  if (!base.empty() && base.back() != '/') base += '/';
  auto each = [&](const char* folder, const char* ext, auto&& use) {
    std::string dir = base + folder + "/";
    for (const auto& name : ListDescriptorFiles(dir, ext)) {
      auto file = openFile(dir + name);
      if (file) use(*file);
    }
  };
  each("Containers", "vc", [&](IProfileValues& f) { AddVideoContainer(ReadContainerDesc(f, true)); });
  FinishVideoContainers();
  each("Decoders", "vd", [&](IProfileValues& f) {
    for (auto& d : ReadDecoderDescs(f)) VideoDecoders.push_back(std::make_unique<TDecoderDesc>(std::move(d)));
  });
  SortDecoders(VideoDecoders);
  each("Containers", "ac", [&](IProfileValues& f) { AddAudioContainer(ReadContainerDesc(f, false)); });
  FinishAudioContainers();
  each("Decoders", "ad", [&](IProfileValues& f) {
    for (auto& d : ReadDecoderDescs(f)) AudioDecoders.push_back(std::make_unique<TDecoderDesc>(std::move(d)));
  });
  SortDecoders(AudioDecoders);
}

bool TCatalogue::IsVideoFile(const std::string& fileName) const {
  return ExtensionListed(VideoContainers, fileName);
}

bool TCatalogue::IsAudioFile(const std::string& fileName) const {
  return ExtensionListed(AudioContainers, fileName);
}

std::string TCatalogue::OpenDialogFilter() const {
  return "All media|" + VideoFileMask + "|" + VideoFileFilter + "|All files|*.*";
}

}  // namespace kv
