// The stream analyzer's side of the main window: the statistics callbacks handed to the
// engine before each open, "Open file to analyze", the batch walk at the end of each file,
// and the chart's seek.
#include <QAction>
#include <QDir>
#include <QFileDialog>

#include <filesystem>

#include "analyzer/StatForm.h"
#include "analyzer/analysis_text.h"
#include "analyzer/stat_callbacks.h"
#include "app/app_paths.h"
#include "app/mainform.h"
#include "app/playback_logic.h"
#include "debugsup/debugsup.h"
#include "settings/optunit.h"

namespace kv {

TStatForm* TMainForm::AnalyzerForm() {
  if (!StatForm) {
    // A window of its own, owned by this one so that it lives as long as the program.
    StatForm = new TStatForm(this);
    BindAnalysis(&AnalyzeMode, &StatForm->Table());
    StatForm->SeekTo = [this](int32_t ms) { AnalyzerSeek(ms); };
  }
  return StatForm;
}

void TMainForm::HandStatCallbacks() {
  if (!Player) return;
  // The callbacks fill the analyzer's table only while an analysis runs; the window and its
  // table are made by the first analysis (before its graph streams), not by every playback.
  Player->VideoStatCallback = AnalyzerSampleCallback;
  Player->AudioStatCallback = IgnoreSampleCallback;
  Player->ImageStatCallback = AnalyzerImageCallback;
}

void TMainForm::MMFileAnalyzeClick() {
  CursorHideAllowed = false;
  const QString saved = QDir::currentPath();
  const std::string filter =
      playback::QtFileFilter(Player ? Player->OpenDialogFilter() : std::string("All files|*.*"));
  const QStringList chosen = QFileDialog::getOpenFileNames(this, QStringLiteral("Open"),
                                                           QString::fromStdString(Options->OpenDir),
                                                           QString::fromStdString(filter));
  QDir::setCurrent(saved);
  if (!chosen.isEmpty()) {
    std::vector<std::string> files;
    for (const QString& f : chosen) files.push_back(f.toStdString());
    AnalyzeFiles(files);
  }
  CursorHideAllowed = true;
}

void TMainForm::AnalyzeFiles(const std::vector<std::string>& files) {
  if (files.empty()) return;
  CurrentFile = files.front();
  if (files.size() == 1) AnalyzeList.clear();
  else AnalyzeList = files;
  Options->OpenDir = std::filesystem::path(CurrentFile).parent_path().string() + "/";
  TitleIndex = 0;
  if (Player) Player->StatisticsWanted = true;
  if (StartAnalysis()) {
    StatForm->show();
    StatForm->raise();
  }
}

bool TMainForm::StartAnalysis() {
  if (!OpenMedia(false, !Options->DisablePreview, !Options->DisableImageAnalyze)) return false;
  TStatForm* form = AnalyzerForm();
  form->SetMPEGMode(IsMPEGFormatName(Player->VideoCodec));
  form->SetMediaFile(CurrentFile);
  AnalyzeMode = true;
  form->ResetAnalysis();
  Player->SetMute(true);
  Player->Play();
  Debug.TextOut("Analyzing " + CurrentFile);
  return true;
}

bool TMainForm::AnalyzeEndOfStream(bool* started) {
  *started = false;
  if (!AnalyzeMode) return false;
  if (AnalyzeList.empty()) {
    // One file: its analysis ends with it, and the playlist walk goes on as after playback.
    AnalyzeMode = false;
    return false;
  }
  const std::string target = TableFileFor(CurrentFile, UserDataDirectory());
  std::string error;
  if (WriteTable(StatForm->Table(), target, &error))
    Debug.TextOut("Analysis table saved: " + target);
  else
    Debug.TextOut("Analysis table not saved: " + error);
  if (TitleIndex < static_cast<int>(AnalyzeList.size()) - 1) {
    ++TitleIndex;
    CurrentFile = AnalyzeList[static_cast<size_t>(TitleIndex)];
    *started = StartAnalysis();
  }
  // A file that cannot be opened ends the batch silently; the window keeps its table.
  if (!*started) AnalyzeMode = false;
  return true;
}

bool TMainForm::AnalysisStoppedByError() {
  if (!Player || Player->LastStreamError.empty()) return false;
  const std::string error = std::move(Player->LastStreamError);
  Player->LastStreamError.clear();
  if (!AnalyzeMode) return false;
  Debug.TextOut("Analysis of " + CurrentFile + " stopped by a stream error: " + error);
  // What the frames up to the error show is kept: the file ends here.
  return Player->Pause();
}

void TMainForm::AnalyzerSeek(int32_t ms) {
  if (!Player) return;
  AnalyzeMode = false;
  if (Player->State == psRunning || Player->State == psPaused) SeekTo(ms);  // the one seek routine
  else Player->SetPosition(ms);
}

}  // namespace kv
