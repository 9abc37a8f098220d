#include "openfiles/folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace kv {
namespace {

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Folder or not, following symbolic links; entries that cannot be examined count as neither.
enum class EntryKind { Folder, File, Unknown };

EntryKind KindOf(const std::string& dir, const dirent* entry) {
  if (entry->d_type == DT_DIR) return EntryKind::Folder;
  if (entry->d_type == DT_REG) return EntryKind::File;
  struct stat st {};
  if (stat(JoinPath(dir, entry->d_name).c_str(), &st) != 0) return EntryKind::Unknown;
  return S_ISDIR(st.st_mode) ? EntryKind::Folder : EntryKind::File;
}

TDirectoryListing List(const std::string& path, EntryKind wanted) {
  TDirectoryListing out;
  DIR* dir = opendir(path.c_str());
  if (!dir) {
    out.error = std::strerror(errno);
    return out;
  }
  errno = 0;
  while (const dirent* entry = readdir(dir)) {
    if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, "..")) continue;
    if (KindOf(path, entry) == wanted) out.names.emplace_back(entry->d_name);
  }
  out.ok = errno == 0;
  if (!out.ok) out.error = std::strerror(errno);
  closedir(dir);
  return out;
}

}  // namespace

TDirectoryListing ListFolders(const std::string& path) { return List(path, EntryKind::Folder); }
TDirectoryListing ListFiles(const std::string& path) { return List(path, EntryKind::File); }

bool FolderNameLess(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::tolower(static_cast<unsigned char>(a[i]));
    int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string NormalizeFolderPath(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

bool IsExistingFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsNetworkMount(const TMountInfo& m) {
  static const char* const kTypes[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs",
                                       "9p", "davfs", "fuse.sshfs", "fuse.gvfsd-fuse",
                                       "fuse.rclone", "fuse.davfs2", "ceph", "glusterfs"};
  return std::any_of(std::begin(kTypes), std::end(kTypes), [&](const char* t) { return m.fsType == t; });
}

bool IsUserVolume(const TMountInfo& m) {
  if (m.rootPath == "/") return true;
  if (IsNetworkMount(m)) return true;
  for (const char* system : {"/proc", "/sys", "/dev", "/run/user", "/run/lock", "/boot/efi/"})
    if (StartsWith(m.rootPath, system)) return false;
  if (!IsExistingFolder(m.rootPath)) return false;  // a bind-mounted single file
  if (StartsWith(m.rootPath, "/run/") && !StartsWith(m.rootPath, "/run/media/")) return false;
  return StartsWith(m.device, "/dev/");
}

bool IsRemovableMount(const TMountInfo& m) {
  return StartsWith(m.rootPath, "/media/") || StartsWith(m.rootPath, "/run/media/");
}

}  // namespace kv
