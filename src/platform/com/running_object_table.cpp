#include "platform/com/running_object_table.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>

namespace kv {
namespace {

class TItemMoniker : public TUnknown, public IMoniker {
 public:
  explicit TItemMoniker(std::string name) : name_(std::move(name)) {}
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IMoniker::kIid) return GetInterface(static_cast<IMoniker*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT BindToObject(IBindCtx*, IMoniker*, const IID& iid, void** object) override;
  HRESULT BindToStorage(IBindCtx*, IMoniker*, const IID&, void** object) override {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT GetDisplayName(IBindCtx*, IMoniker*, std::string* name) override {
    if (!name) return E_POINTER;
    *name = name_;
    return S_OK;
  }

 private:
  std::string name_;
};

bool MakeFolder(const std::string& path) {
  // Create each level; the last levels are private to the user.
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      std::string part = path.substr(0, i);
      if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

bool ProcessAlive(int pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

std::string DisplayNameOf(IMoniker* m) {
  std::string s;
  if (m) m->GetDisplayName(nullptr, nullptr, &s);
  return s;
}

class TRunningObjectTable : public TUnknown, public IRunningObjectTable {
 public:
  TRunningObjectTable() { NonDelegatingAddRef(); }  // lives for the process
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IRunningObjectTable::kIid) return GetInterface(static_cast<IRunningObjectTable*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }

  HRESULT Register(uint32_t, IUnknown* object, IMoniker* name, uint32_t* cookie) override {
    if (!object || !name || !cookie) return E_POINTER;
    Entry e;
    e.object = object;
    e.name = DisplayNameOf(name);
    {
      std::lock_guard lock(mutex_);
      e.cookie = nextCookie_++;
      e.path = RunningObjectFolder() + "/" + std::to_string(getpid()) + "-" + std::to_string(e.cookie) + ".txt";
      entries_.push_back(e);
    }
    *cookie = e.cookie;
    WriteEntry(e);
    return S_OK;
  }

  HRESULT Revoke(uint32_t cookie) override {
    Entry removed;
    {
      std::lock_guard lock(mutex_);
      auto it = std::find_if(entries_.begin(), entries_.end(), [&](auto& e) { return e.cookie == cookie; });
      if (it == entries_.end()) return E_INVALIDARG;
      removed = std::move(*it);
      entries_.erase(it);
    }
    std::lock_guard fileLock(fileMutex_);
    unlink(removed.path.c_str());
    return S_OK;
  }

  HRESULT IsRunning(IMoniker* name) override {
    std::string n = DisplayNameOf(name);
    std::lock_guard lock(mutex_);
    for (auto& e : entries_)
      if (e.name == n) return S_OK;
    return S_FALSE;
  }

  HRESULT GetObject(IMoniker* name, IUnknown** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    std::string n = DisplayNameOf(name);
    std::lock_guard lock(mutex_);
    for (auto& e : entries_)
      if (e.name == n) return GetInterface(e.object.Get(), reinterpret_cast<void**>(object));
    return MK_E_UNAVAILABLE;
  }

  void Changed(IUnknown* object) {
    std::vector<Entry> hits;
    {
      std::lock_guard lock(mutex_);
      for (auto& e : entries_)
        if (e.object.Get() == object || IsSameObject(e.object.Get(), object)) hits.push_back(e);
    }
    for (auto& e : hits) WriteEntry(e);
  }

 private:
  struct Entry {
    uint32_t cookie = 0;
    ComPtr<IUnknown> object;
    std::string name;
    std::string path;
  };

  void WriteEntry(const Entry& e) {
    std::string text = e.name + "\n";
    if (auto d = ComPtr<IUnknown>(e.object).Query<IRunningObjectDescription>()) {
      std::string body;
      if (SUCCEEDED(d->Describe(&body))) text += body;
    }
    std::lock_guard fileLock(fileMutex_);
    {
      // A revoked entry must not be written back after its file was removed.
      std::lock_guard lock(mutex_);
      if (std::none_of(entries_.begin(), entries_.end(), [&](auto& x) { return x.cookie == e.cookie; })) return;
    }
    if (!MakeFolder(RunningObjectFolder())) return;
    std::string tmp = e.path + ".tmp";
    {
      std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
      if (!f) return;
      f << text;
      if (!f.flush()) return;
    }
    std::rename(tmp.c_str(), e.path.c_str());
  }

  std::mutex fileMutex_;  // serialises writing and removing entry files (taken before mutex_)
  std::mutex mutex_;      // guards entries_ and nextCookie_
  std::vector<Entry> entries_;
  uint32_t nextCookie_ = 1;
};

TRunningObjectTable& Table() {
  static TRunningObjectTable* table = new TRunningObjectTable;  // never destroyed: used at exit
  return *table;
}

HRESULT TItemMoniker::BindToObject(IBindCtx*, IMoniker*, const IID& iid, void** object) {
  if (!object) return E_POINTER;
  ComPtr<IUnknown> unk;
  HRESULT hr = Table().GetObject(this, unk.Put());
  if (FAILED(hr)) return hr;
  return unk->QueryInterface(iid, object);
}

}  // namespace

HRESULT GetRunningObjectTable(uint32_t, IRunningObjectTable** table) {
  if (!table) return E_POINTER;
  return GetInterface(static_cast<IRunningObjectTable*>(&Table()), reinterpret_cast<void**>(table));
}

HRESULT CreateItemMoniker(const std::string& delimiter, const std::string& item, IMoniker** moniker) {
  if (!moniker) return E_POINTER;
  *moniker = new TItemMoniker(delimiter + item);
  (*moniker)->AddRef();
  return S_OK;
}

void NotifyRunningObjectChanged(IUnknown* object) { Table().Changed(object); }

std::string RunningObjectFolder() {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/kavello/graphs";
  return "/tmp/kavello-" + std::to_string(getuid()) + "/graphs";
}

std::vector<TRunningObjectFile> ListRunningObjects() {
  std::vector<TRunningObjectFile> out;
  std::string folder = RunningObjectFolder();
  DIR* dir = opendir(folder.c_str());
  if (!dir) return out;
  std::vector<std::string> names;
  while (dirent* e = readdir(dir)) {
    std::string n = e->d_name;
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".txt") == 0) names.push_back(n);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  for (auto& n : names) {
    TRunningObjectFile f;
    f.path = folder + "/" + n;
    f.pid = std::atoi(n.c_str());
    if (!ProcessAlive(f.pid)) {
      unlink(f.path.c_str());
      continue;
    }
    std::ifstream in(f.path, std::ios::binary);
    if (!in) continue;
    std::getline(in, f.displayName);
    std::stringstream rest;
    rest << in.rdbuf();
    f.description = rest.str();
    out.push_back(std::move(f));
  }
  return out;
}

}  // namespace kv
