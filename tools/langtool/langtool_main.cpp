// kavello-langtool --english FILE     writes the English language file from the forms
// kavello-langtool --check DIR        checks every DIR/*.lng against the forms' texts
//
// The tool builds the program's forms as the player does (the main window with every form it
// creates, and the options dialog of the options library), offscreen and with private settings
// folders, and reads their texts. --check reports, per file, keys that no longer address a text
// of the forms (stale) and texts that the file does not translate (missing); for English.lng it
// also reports values that differ from the forms' texts. Exit status: 0 clean, 1 when a file
// has findings, 2 on a usage error or when the forms cannot be built.
#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "app/mainform.h"
#include "form_texts.h"
#include "i18n/lang_file.h"
#include "platform/module/module.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"
#include "plugins/pluginsform.h"
#include "subtitles/subtitle_controller.h"

namespace fs = std::filesystem;

namespace {

// Private folders so that building the forms reads and writes no user's settings.
std::string PrepareEnvironment() {
  char tmpl[] = "/tmp/kavello-langtool-XXXXXX";
  const std::string root = mkdtemp(tmpl);
  fs::create_directories(root + "/config/kavello");
  fs::create_directories(root + "/runtime");
  fs::permissions(root + "/runtime", fs::perms::owner_all, fs::perm_options::replace);
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);
  setenv("HOME", root.c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("PULSE_SERVER", "unix:/nonexistent", 1);
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  std::ofstream(root + "/config/kavello/user.reg")
      << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
      << "\"Version\"=\"2.3.0.0\"\r\n\"MultipleInst\"=dword:00000001\r\n";
  return root;
}

QList<QWidget*> Forms() {
  QList<QWidget*> forms;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName().endsWith(QLatin1String("Form"))) forms << w;
  std::sort(forms.begin(), forms.end(), [](QWidget* a, QWidget* b) {
    // The main window first, then the others by name, so the file reads in a stable order.
    if ((a->objectName() == "MainForm") != (b->objectName() == "MainForm")) return a->objectName() == "MainForm";
    return a->objectName() < b->objectName();
  });
  return forms;
}

// The texts of a component library's modal dialog (options, About): it exists only while it is
// shown, so it is read from inside its own modal loop and then dismissed.
std::vector<kv::i18n::TLangEntry> ModalDialogTexts(const char* library, const std::function<void(kv::TModule&)>& show,
                                                   QStringList* warnings) {
  std::vector<kv::i18n::TLangEntry> entries;
  kv::TModule module(kv::ProgramPath(library));
  if (!module.IsLoaded()) {
    *warnings << QStringLiteral("%1 not found: its texts are not listed").arg(QLatin1String(library));
    return entries;
  }
  QTimer::singleShot(0, [&] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      entries = kv::langtool::CollectFormTexts({dialog}, warnings);
      dialog->close();
    }
  });
  show(module);
  return entries;
}

std::vector<kv::i18n::TLangEntry> OptionsDialogTexts(QStringList* warnings) {
  return ModalDialogTexts("Components/Options.so", [](kv::TModule& m) {
    if (auto show = m.Function<bool (*)(void*, int)>("ShowOptions")) show(nullptr, 0);
  }, warnings);
}

std::vector<kv::i18n::TLangEntry> AboutTexts(QStringList* warnings) {
  return ModalDialogTexts("Components/About.so", [](kv::TModule& m) {
    if (auto show = m.Function<void (*)()>("ShowAbout")) show();
  }, warnings);
}

std::vector<kv::i18n::TLangEntry> CollectAll(QStringList* warnings) {
  kv::TMainForm mainForm({}, QDir::currentPath().toStdString());
  if (!mainForm.ShowMainForm()) return {};
  mainForm.show();
  // Forms the window makes on first use: made here so that their texts are listed too.
  mainForm.AnalyzerForm();
  mainForm.CreateFiltersForm();
  if (mainForm.Subtitles) mainForm.Subtitles->FramerateForm();
  new kv::TPluginsForm(&mainForm, kv::ProgramPath("Filters"), "English");
  QApplication::processEvents();
  auto entries = kv::langtool::CollectFormTexts(Forms(), warnings);
  for (const auto& more : {OptionsDialogTexts(warnings), AboutTexts(warnings)})
    entries.insert(entries.end(), more.begin(), more.end());
  mainForm.close();
  return entries;
}

int Check(const std::vector<kv::i18n::TLangEntry>& english, const fs::path& dir) {
  std::map<std::string, std::string> texts;
  for (const auto& e : english) texts[e.Path] = e.Value;
  int findings = 0;
  std::vector<fs::path> files;
  for (const auto& f : fs::directory_iterator(dir))
    if (f.path().extension() == ".lng") files.push_back(f.path());
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    auto entries = kv::i18n::ReadLanguageFile(file.string());
    if (!entries) {
      std::printf("%s: cannot be read\n", file.filename().c_str());
      ++findings;
      continue;
    }
    std::set<std::string> keys;
    const bool isEnglish = file.filename() == "English.lng";
    for (const auto& e : *entries) {
      keys.insert(e.Path);
      auto it = texts.find(e.Path);
      if (it == texts.end()) {
        std::printf("%s: stale key %s\n", file.filename().c_str(), e.Path.c_str());
        ++findings;
      } else if (isEnglish && it->second != e.Value) {
        std::printf("%s: %s is \"%s\" in the forms, \"%s\" in the file\n", file.filename().c_str(), e.Path.c_str(),
                    it->second.c_str(), e.Value.c_str());
        ++findings;
      }
    }
    for (const auto& [path, text] : texts) {
      if (!keys.count(path)) {
        std::printf("%s: missing %s (\"%s\")\n", file.filename().c_str(), path.c_str(), text.c_str());
        ++findings;
      }
    }
  }
  std::printf("%zu files, %zu texts, %d findings\n", files.size(), texts.size(), findings);
  return findings ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::string(argv[1]) != "--english" && std::string(argv[1]) != "--check")) {
    std::fprintf(stderr, "usage: kavello-langtool --english FILE | --check DIR\n");
    return 2;
  }
  const std::string mode = argv[1];
  const fs::path target = fs::absolute(argv[2]);
  const std::string root = PrepareEnvironment();
  QApplication app(argc, argv);
  kv::ui::SetMessageBoxHandler([](const std::string& text, const std::string&) {
    std::fprintf(stderr, "kavello-langtool: %s\n", text.c_str());
  });
  QStringList warnings;
  const auto english = CollectAll(&warnings);
  for (const QString& w : warnings) std::fprintf(stderr, "warning: %s\n", qPrintable(w));
  std::error_code ec;
  fs::remove_all(root, ec);
  if (english.empty()) {
    std::fprintf(stderr, "kavello-langtool: the forms could not be built\n");
    return 2;
  }
  if (mode == "--english") {
    std::ofstream out(target, std::ios::binary);
    out << kv::langtool::EnglishFile(english);
    return out ? 0 : 2;
  }
  return Check(english, target);
}
