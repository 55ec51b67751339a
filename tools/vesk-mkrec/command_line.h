// vesk-mkrec's arguments: the output file and either --demo or the options
// that build a RecordingPlan.
#pragma once

#include <string>
#include <vector>

#include "cli/output_files.h"
#include "mkrec/recording_plan.h"
#include "mkrec/status.h"

namespace vesk::mkrec {

class CommandLine {
 public:
  Status Parse(const std::vector<std::string>& args);

  bool helpWanted() const { return help_; }
  bool versionWanted() const { return version_; }
  cli::Overwrite overwrite() const { return overwrite_; }
  // The Y4M and WAV files the recording is made from.
  std::vector<std::string> InputFiles() const;
  const std::string& outputPath() const { return output_; }
  const RecordingPlan& plan() const { return plan_; }

  static const char* Usage();

 private:
  Status Option(const std::string& name, const std::string& value);
  Status Camera(const std::string& spec);
  Status Audio(const std::string& spec);
  Status Text(const std::string& spec);
  Status Start(const std::string& text);

  bool help_ = false;
  bool version_ = false;
  cli::Overwrite overwrite_ = cli::Overwrite::kAsk;
  bool demo_ = false;
  bool planOptionGiven_ = false;
  bool statusOptionGiven_ = false;
  std::string output_;
  RecordingPlan plan_;
};

}  // namespace vesk::mkrec
