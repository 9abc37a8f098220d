// The file-system side of the folder tree and the file list: folders and files of one
// directory as raw names (bytes as they lie on disk, any encoding), the order the tree shows
// them in, and which mounted file systems count as volumes and which as network shares.
// Pure logic, no Qt; any thread.
#pragma once

#include <string>
#include <vector>

namespace kv {

struct TDirectoryListing {
  bool ok = false;
  std::string error;               // the system's reason when !ok
  std::vector<std::string> names;  // entries without "." and ".."; hidden ones included
};

// The sub-folders of `path` (symbolic links to folders count as folders).
TDirectoryListing ListFolders(const std::string& path);
// The files of `path` that are not folders (symbolic links to files count as files).
TDirectoryListing ListFiles(const std::string& path);

// The tree's order: letters compared without case (ASCII), then byte order, so that the
// order is total and stable.
bool FolderNameLess(const std::string& a, const std::string& b);

// Joins a folder and a name with one "/".
std::string JoinPath(const std::string& folder, const std::string& name);
// Strips trailing "/" except for the root itself.
std::string NormalizeFolderPath(const std::string& path);
bool IsExistingFolder(const std::string& path);

// One mounted file system as the volume enumeration reports it.
struct TMountInfo {
  std::string rootPath;
  std::string device;
  std::string fsType;
  std::string name;  // label or mount point
};

// Network file systems (NFS, SMB/CIFS, SSHFS, GVFS and the like).
bool IsNetworkMount(const TMountInfo& mount);
// Mounts a person thinks of as a volume of the computer: the root file system, block
// devices, network shares; not the container and kernel helpers (tmpfs under /run, /dev,
// /sys, /proc, bind-mounted single files).
bool IsUserVolume(const TMountInfo& mount);
// Removable media are mounted by the desktop under /media or /run/media.
bool IsRemovableMount(const TMountInfo& mount);

}  // namespace kv
