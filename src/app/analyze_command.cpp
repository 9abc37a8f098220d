#include "app/analyze_command.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "analyzer/analysis_text.h"
#include "analyzer/stat_callbacks.h"
#include "app/app_paths.h"
#include "app/commandline.h"
#include "engine/contrl.h"
#include "filters/builtin/builtin_filters.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"

namespace kv {

namespace {

// A file that makes no progress for this long is given up (a hang guard only: the
// analysis runs unclocked, so a healthy file never waits).
constexpr auto kStallLimit = std::chrono::seconds(60);

struct TOptions {
  bool image = true;
  std::vector<std::string> files;
};

bool ParseOptions(const std::vector<std::string>& args, const std::string& cwd, TOptions& o, std::string& error) {
  bool filesOnly = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!filesOnly && a == "--no-image") {
      o.image = false;
    } else if (!filesOnly && a == "--") {
      filesOnly = true;
    } else if (!filesOnly && a.rfind("--", 0) == 0) {
      error = "unknown switch " + a;
      return false;
    } else if (!a.empty()) {
      o.files.push_back(ResolveAgainst(cwd, a));
    }
  }
  if (o.files.empty()) error = "no file named";
  return !o.files.empty();
}

// Graph events arrive on any thread; the batch waits for them here.
struct TEventSignal {
  std::mutex mutex;  // guards signalled
  std::condition_variable wake;
  bool signalled = false;
  void Notify() {
    std::lock_guard<std::mutex> lock(mutex);
    signalled = true;
    wake.notify_one();
  }
  void Wait(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait_for(lock, limit, [this] { return signalled; });
    signalled = false;
  }
};

enum class TRunEnd { Complete, StreamError, Stalled };

// Drains the graph's events; true when the run ended (how, in *end; a stream error's text
// in *error).
bool RunEnded(TCOMPlay& player, TRunEnd* end, std::string* error) {
  if (!player.MediaEvent) return false;
  bool ended = false;
  int32_t code = 0;
  intptr_t p1 = 0, p2 = 0;
  while (player.MediaEvent->GetEvent(&code, &p1, &p2, 0) == S_OK) {
    if (code == EC_COMPLETE && !ended) {
      *end = TRunEnd::Complete;
      ended = true;
    } else if (code == EC_ERRORABORTEX || code == EC_ERRORABORT || code == EC_USERABORT ||
               code == EC_STREAM_ERROR_STOPPED) {
      *end = TRunEnd::StreamError;
      *error = TCOMPlay::StreamErrorText(code, p1, p2);
      ended = true;
    }
    player.MediaEvent->FreeEventParams(code, p1, p2);
  }
  return ended;
}

TRunEnd RunToEnd(TCOMPlay& player, TEventSignal& events, const TFrameTable& table, const std::string& name,
                 std::FILE* err, bool progress, std::string* error) {
  player.UseClock = false;
  player.Play();
  int32_t lastCount = -1;
  auto lastChange = std::chrono::steady_clock::now();
  TRunEnd end = TRunEnd::Complete;
  for (;;) {
    events.Wait(std::chrono::milliseconds(200));
    if (RunEnded(player, &end, error)) break;
    const int32_t count = table.Count();
    const auto now = std::chrono::steady_clock::now();
    if (count != lastCount) {
      lastCount = count;
      lastChange = now;
      if (progress) std::fprintf(err, "\r%s: %d frames", name.c_str(), count), std::fflush(err);
    } else if (now - lastChange > kStallLimit) {
      end = TRunEnd::Stalled;
      break;
    }
  }
  if (progress) std::fprintf(err, "\r\033[K"), std::fflush(err);
  return end;
}

}  // namespace

bool IsAnalyzeCommand(const std::vector<std::string>& args) { return !args.empty() && args.front() == "--analyze"; }

int RunAnalyzeCommand(const std::vector<std::string>& args, const std::string& callerCwd, std::FILE* out,
                      std::FILE* err) {
  TOptions options;
  std::string usageError;
  if (!ParseOptions(args, callerCwd, options, usageError)) {
    std::fprintf(err, "kavello: %s\nUsage: kavello --analyze [--no-image] FILE...\n", usageError.c_str());
    return 2;
  }
  // The engine's error boxes become the reason printed for the file.
  std::string lastMessage;
  ui::MessageBoxHandler previousHandler =
      ui::SetMessageBoxHandler([&lastMessage](const std::string& text, const std::string&) { lastMessage = text; });
  RegisterBuiltinFilters(false);
  LoadComponentFilters(ProgramDirectory());

  std::atomic<bool> analysing{false};
  auto table = std::make_unique<TFrameTable>();
  BindAnalysis(&analysing, table.get());
  TEventSignal events;
  int exitCode = 0;
  {
    TCOMPlay player(nullptr);
    player.NullRenderers = true;
    player.StatisticsWanted = true;
    player.ImageAnalysisWanted = options.image;
    player.VideoStatCallback = AnalyzerSampleCallback;
    player.AudioStatCallback = IgnoreSampleCallback;
    player.ImageStatCallback = AnalyzerImageCallback;
    player.GraphNotify = [&events] { events.Notify(); };
    const bool progress = isatty(fileno(err)) != 0;

    for (const std::string& file : options.files) {
      std::error_code ec;
      if (!std::filesystem::is_regular_file(file, ec)) {
        std::fprintf(err, "kavello: %s: no such file\n", file.c_str());
        exitCode = 1;
        continue;
      }
      lastMessage.clear();
      player.OpenVideo(file);
      if (player.FileName.empty()) {
        std::fprintf(err, "kavello: %s: cannot be analysed: %s\n", file.c_str(),
                     lastMessage.empty() ? "the file cannot be opened" : lastMessage.c_str());
        exitCode = 1;
        continue;
      }
      table->SetMPEGMode(IsMPEGFormatName(player.VideoCodec));
      table->ResetAnalysis();
      analysing = true;
      std::string streamError;
      const TRunEnd end = RunToEnd(player, events, *table, file, err, progress, &streamError);
      analysing = false;
      // Streaming ends here (its threads joined) before the table is read. Not the player's
      // Stop: that rewinds and prerolls the first picture again (the container reopened and
      // probed) for a window this batch does not have; the next open tears the graph down.
      if (player.MediaControl) player.MediaControl->Stop();

      const TFrameTotals totals = table->Totals();
      std::string line = file + ": " + std::to_string(totals.Count) + " frames, " + std::to_string(totals.TotalBytes) +
                         " bytes, ";
      const int64_t bitrate = TableBitrate(totals);
      line += bitrate >= 0 ? std::to_string(bitrate) + " bit/s" : std::string("bit rate unknown");
      if (totals.Count > 0) {
        const std::string target = TableFileFor(file, UserDataDirectory());
        std::string writeError;
        if (WriteTable(*table, target, &writeError)) {
          line += ", table " + target;
        } else {
          line += ", no table: " + writeError;
          exitCode = 1;
        }
      } else {
        line += ", no table: no video frames";
      }
      if (totals.Full) line += ", frame table full: only the first " + std::to_string(table->Capacity()) + " frames";
      if (end == TRunEnd::StreamError) line += ", stopped by a stream error: " + streamError;
      if (end == TRunEnd::Stalled) line += ", given up: no progress";
      std::fprintf(out, "%s\n", line.c_str());
      std::fflush(out);
    }
    player.OpenVideo("");
  }
  BindAnalysis(nullptr, nullptr);
  ui::SetMessageBoxHandler(previousHandler);
  return exitCode;
}

}  // namespace kv
