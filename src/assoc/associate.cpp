#include "assoc/associate.h"

#include <QMimeDatabase>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "assoc/mimeapps_file.h"

namespace kv::assoc {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaults = "Default Applications";
constexpr const char* kAdded = "Added Associations";
constexpr const char* kOwnTypePrefix = "application/x-kavello-";

std::string Normalize(std::string e) {
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return e;
}

bool ReadWhole(const std::string& path, std::string& out, bool& exists) {
  std::error_code ec;
  exists = fs::exists(path, ec);
  out.clear();
  if (!exists) return true;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Temporary file beside the target, fsync, rename: readers see the old file or the new one.
bool WriteAtomically(const std::string& path, const std::string& content, std::string& error) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  const std::string temp = path + ".kavello-tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  if (!ok) error = std::strerror(errno);
  ::close(fd);
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
    ok = false;
  }
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

// Runs a desktop tool if it is installed; its output is not ours to show.
void RunTool(const char* tool, const std::string& argument) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
    }
    ::execlp(tool, tool, argument.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (pid > 0) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

// The Exec line: the program, then the file. The program is quoted only when it must be:
// xdg-utils' default-application lookup cannot read a quoted program and passes over entries
// whose program it cannot find.
std::string DesktopExec(const std::string& shell, const std::string& app) {
  std::string program = app;
  if (!shell.empty()) {
    if (shell[0] == '"') {
      const size_t close = shell.find('"', 1);
      program = shell.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
      program = shell.substr(0, shell.find(' '));
    }
  }
  if (program.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos) {
    std::string quoted = "\"";
    for (char c : program) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
      quoted += c;
    }
    program = quoted + "\"";
  }
  return program + " %f";
}

}  // namespace

std::string TAssociate::ConfigHome() {
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') return x;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.config";
}

std::string TAssociate::DataHome() {
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') return x;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + "/.local/share";
}

std::string TAssociate::MimeAppsPath() const { return ConfigHome() + "/mimeapps.list"; }
std::string TAssociate::DesktopFilePath() const { return DataHome() + "/applications/" + DesktopFileName; }

std::string TAssociate::MimeTypeOf(const std::string& extension) {
  const std::string e = Normalize(extension);
  if (e.empty()) return {};
  QMimeDatabase db;
  const QList<QMimeType> types = db.mimeTypesForFileName(QStringLiteral("file.") + QString::fromStdString(e));
  for (const QMimeType& t : types)
    if (t.isValid() && !t.isDefault()) return t.name().toStdString();
  return {};
}

bool TAssociate::Associate(const std::string& extension) {
  const std::string e = Normalize(extension);
  if (e.empty()) return false;
  std::string mime = MimeTypeOf(e);
  const bool ownType = mime.empty();
  if (ownType) mime = kOwnTypePrefix + e;
  const std::string backup = "X-" + KeyName + " Backup";

  std::string text;
  bool exists = false;
  if (!ReadWhole(MimeAppsPath(), text, exists)) {
    if (Log) Log("Associations: cannot read " + MimeAppsPath() + ", nothing changed");
    return false;
  }
  TMimeAppsFile file = TMimeAppsFile::Parse(text);

  // The default: the earlier line is kept once, exactly as it stood.
  if (!file.HasGroup(kDefaults) && !file.Get(backup, std::string("Created/") + kDefaults))
    file.Set(backup, std::string("Created/") + kDefaults, "1");
  const auto current = file.Get(kDefaults, mime);
  if (!current) {
    if (!file.Get(backup, "DefaultNew/" + mime)) file.Set(backup, "DefaultNew/" + mime, "1");
  } else if (*current != DesktopFileName && !file.Get(backup, "Default/" + mime)) {
    file.Set(backup, "Default/" + mime, *current);
  }
  file.Set(kDefaults, mime, DesktopFileName);

  // Ours first among the added associations, unless we are listed already.
  const auto added = file.Get(kAdded, mime);
  std::vector<std::string> items = added ? SplitDesktopList(*added) : std::vector<std::string>{};
  if (std::find(items.begin(), items.end(), DesktopFileName) == items.end()) {
    if (!file.HasGroup(kAdded) && !file.Get(backup, std::string("Created/") + kAdded))
      file.Set(backup, std::string("Created/") + kAdded, "1");
    if (added)
      file.Set(backup, "Added/" + mime, *added);
    else
      file.Set(backup, "AddedNew/" + mime, "1");
    items.insert(items.begin(), DesktopFileName);
    file.Set(kAdded, mime, JoinDesktopList(items));
  }
  file.Set(backup, "Extension/" + e, mime);

  std::string error;
  if (!WriteAtomically(MimeAppsPath(), file.Serialize(), error)) {
    if (Log) Log("Associations: cannot write " + MimeAppsPath() + " (" + error + "), nothing changed");
    return false;
  }
  WriteDesktopData(file, ownType);
  return true;
}

bool TAssociate::Unassociate(const std::string& extension) {
  const std::string e = Normalize(extension);
  const std::string backup = "X-" + KeyName + " Backup";
  std::string text;
  bool exists = false;
  if (!ReadWhole(MimeAppsPath(), text, exists)) {
    if (Log) Log("Associations: cannot read " + MimeAppsPath() + ", nothing changed");
    return false;
  }
  TMimeAppsFile file = TMimeAppsFile::Parse(text);
  const auto mimeRecord = file.Get(backup, "Extension/" + e);
  if (!mimeRecord) return true;  // not ours: nothing to give back
  const std::string mime = *mimeRecord;
  file.Remove(backup, "Extension/" + e);

  // Another extension of ours with the same type keeps the type ours.
  bool shared = false;
  for (const std::string& key : file.Keys(backup))
    if (key.rfind("Extension/", 0) == 0 && file.Get(backup, key) == mime) shared = true;

  if (!shared) {
    if (auto previous = file.Get(backup, "Default/" + mime)) {
      file.Set(kDefaults, mime, *previous);
      file.Remove(backup, "Default/" + mime);
    } else {
      if (file.Get(kDefaults, mime) == DesktopFileName) file.Remove(kDefaults, mime);
      file.Remove(backup, "DefaultNew/" + mime);
    }
    if (auto previous = file.Get(backup, "Added/" + mime)) {
      file.Set(kAdded, mime, *previous);
      file.Remove(backup, "Added/" + mime);
    } else if (file.Remove(backup, "AddedNew/" + mime)) {
      file.Remove(kAdded, mime);
    }
  }
  // Groups we created go when nothing is left in them; the backup group too.
  bool ownDefaultsLeft = false;
  for (const std::string& key : file.Keys(backup))
    if (key.rfind("Extension/", 0) == 0) ownDefaultsLeft = true;
  if (!ownDefaultsLeft) {
    for (const char* group : {kDefaults, kAdded}) {
      if (file.Remove(backup, std::string("Created/") + group)) file.RemoveGroupIfEmpty(group);
    }
  }
  file.RemoveGroupIfEmpty(backup);

  std::string error;
  if (!WriteAtomically(MimeAppsPath(), file.Serialize(), error)) {
    if (Log) Log("Associations: cannot write " + MimeAppsPath() + " (" + error + "), nothing changed");
    return false;
  }
  WriteDesktopData(file, mime.rfind(kOwnTypePrefix, 0) == 0);
  return true;
}

void TAssociate::GetAssociatedExtensions(std::vector<std::string>& out) const {
  out.clear();
  std::string text;
  bool exists = false;
  if (!ReadWhole(MimeAppsPath(), text, exists) || !exists) return;
  const TMimeAppsFile file = TMimeAppsFile::Parse(text);
  const std::string backup = "X-" + KeyName + " Backup";
  for (const std::string& key : file.Keys(backup)) {
    if (key.rfind("Extension/", 0) != 0) continue;
    const auto mime = file.Get(backup, key);
    if (mime && file.Get(kDefaults, *mime) == DesktopFileName) out.push_back("." + key.substr(10));
  }
}

void TAssociate::WriteDesktopData(const TMimeAppsFile& file, bool ownTypesChanged) const {
  const std::string backup = "X-" + KeyName + " Backup";
  std::set<std::string> types;
  std::set<std::string> ownTypes;
  for (const std::string& key : file.Keys(backup)) {
    if (key.rfind("Extension/", 0) != 0) continue;
    const std::string mime = file.Get(backup, key).value_or("");
    if (mime.empty()) continue;
    types.insert(mime);
    if (mime.rfind(kOwnTypePrefix, 0) == 0) ownTypes.insert(mime);
  }
  std::string mimeList;
  for (const auto& t : types) mimeList += t + ";";
  std::string desktop =
      "[Desktop Entry]\n"
      "Type=Application\n"
      "Name=Kavello\n"
      "GenericName=Video Player\n"
      "Comment=Play local media files with subtitles\n"
      "Exec=" + DesktopExec(Shell, PathToApp) + "\n"
      "Icon=" + (IconPath.empty() ? std::string("kavello") : IconPath) + "\n"
      "Terminal=false\n"
      "Categories=AudioVideo;Video;Player;\n"
      "MimeType=" + mimeList + "\n";
  std::string error;
  if (!WriteAtomically(DesktopFilePath(), desktop, error) && Log)
    Log("Associations: cannot write " + DesktopFilePath() + " (" + error + ")");

  if (!ownTypesChanged) return;
  const std::string packageDir = DataHome() + "/mime/packages";
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  for (const auto& t : ownTypes) {
    const std::string e = t.substr(std::strlen(kOwnTypePrefix));
    xml += "  <mime-type type=\"" + t + "\">\n    <comment>" + (TypeDesc.empty() ? "Kavello file" : TypeDesc) +
           " (." + e + ")</comment>\n    <glob pattern=\"*." + e + "\"/>\n  </mime-type>\n";
  }
  xml += "</mime-info>\n";
  const std::string package = packageDir + "/kavello.xml";
  if (ownTypes.empty()) {
    ::unlink(package.c_str());
  } else if (!WriteAtomically(package, xml, error)) {
    if (Log) Log("Associations: cannot write " + package + " (" + error + ")");
    return;
  }
  RunTool("update-mime-database", DataHome() + "/mime");
}

void TAssociate::NotifyAssociationsChanged() const {
  RunTool("update-desktop-database", DataHome() + "/applications");
}

}  // namespace kv::assoc
