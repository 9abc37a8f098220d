// TAssociate: makes the player the desktop's handler of media file extensions, gives them
// back, and lists what it handles, on the freedesktop.org mechanisms:
//
//   extension -> MIME type   shared-mime-info's "*.ext" glob (QMimeDatabase); an extension it
//                            does not know gets a type of our own, application/x-kavello-EXT,
//                            declared in $XDG_DATA_HOME/mime/packages/kavello.xml
//   the program              the desktop entry kavello.desktop in $XDG_DATA_HOME/applications,
//                            Exec from `Shell`, MimeType listing every type we handle
//   the default              $XDG_CONFIG_HOME/mimeapps.list: [Default Applications] type=ours,
//                            and ours first in [Added Associations]
//   the backup (`KeyName`)   a group of our own in mimeapps.list, "[X-<KeyName> Backup]":
//                            the previous default of each type (kept once, never overwritten),
//                            which [Added Associations] entries we added, which groups we
//                            created, and which extension we associated under which type
//
// Associate followed by Unassociate leaves mimeapps.list byte for byte as it was. Every line
// we do not own is kept as it is, also in a damaged file. Writes are atomic (temporary file,
// fsync, rename); a folder that cannot be written is logged and changes nothing. Not thread
// safe; the user-interface thread calls it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kv::assoc {

class TMimeAppsFile;

class TAssociate {
 public:
  std::string KeyName;          // "Kavello": names the backup group
  std::string PathToApp;        // the program
  std::string IconPath;         // the icon (a theme name or file)
  int Icon = 0;
  std::string ShellCmd = "Open";
  std::string Shell;            // "\"/opt/kavello/kavello\" \"%1\"": the desktop entry's Exec
  std::string TypeName;         // kept for callers; the desktop names types by MIME type
  std::string TypeDesc;         // comment of a MIME type of our own
  bool ShowInNew = false;       // no desktop equivalent; kept
  bool QuickView = false;       // no desktop equivalent; kept
  std::string DesktopFileName = "kavello.desktop";
  std::function<void(const std::string&)> Log;  // where failures are reported

  // The extension with or without its ".". False when nothing could be written.
  bool Associate(const std::string& extension);
  bool Unassociate(const std::string& extension);
  // Extensions (with ".") we associated whose type still defaults to our desktop entry.
  void GetAssociatedExtensions(std::vector<std::string>& out) const;
  // Lets the desktop see the change: update-desktop-database on our applications folder where
  // the tool exists (update-mime-database has run already when a type of our own was added).
  void NotifyAssociationsChanged() const;

  // The MIME type the desktop gives files with this extension (with or without the ".");
  // empty when shared-mime-info has no glob for it.
  static std::string MimeTypeOf(const std::string& extension);

  // Folders, from the XDG variables (with their defaults under $HOME).
  static std::string ConfigHome();
  static std::string DataHome();
  std::string MimeAppsPath() const;
  std::string DesktopFilePath() const;

 private:
  // Rewrites our desktop entry (MimeType = every type we hold) and, when a type of our own
  // came or went, the MIME package and its database.
  void WriteDesktopData(const TMimeAppsFile& file, bool ownTypesChanged) const;
};

}  // namespace kv::assoc
