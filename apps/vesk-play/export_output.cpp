#include "apps/vesk-play/export_output.h"

#ifdef VESK_HAVE_EXPORT
#include "apps/export/export_file.h"
#include "apps/export/export_sinks.h"
#endif

namespace vesk::play {

#ifdef VESK_HAVE_EXPORT

std::unique_ptr<ExportOutput> ExportOutput::Create(const std::string& path,
                                                   std::function<std::int64_t()> secondClock, std::string* error) {
  std::unique_ptr<exporting::ExportFile> file = exporting::ExportFile::Create(path, error);
  if (!file) return nullptr;
  std::unique_ptr<ExportOutput> output(new ExportOutput());
  output->path_ = path;
  output->file_ = std::move(file);
  output->video_ = exporting::ExportVideoSink::Create(output->file_, secondClock);
  output->audio_ = exporting::ExportAudioSink::Create(output->file_, secondClock);
  return output;
}

long ExportOutput::Pictures() const { return file_->Pictures(); }

bool ExportOutput::Finish(const std::string& recording, std::string* report, std::string* error) {
  const HRESULT finished = file_->Finish();
  if (FAILED(finished)) {
    *error = file_->Error();
    return false;
  }
  if (finished == S_FALSE) {
    *error = recording + ": nothing was played, so " + path_ + " was not written";
    return false;
  }
  *report = "exported to " + path_ + ": " + std::to_string(file_->Pictures()) + " pictures (" +
            file_->VideoCodec() + ")";
  return true;
}

#else

std::unique_ptr<ExportOutput> ExportOutput::Create(const std::string&, std::function<std::int64_t()>,
                                                   std::string* error) {
  *error = "--export: this vesk-play was built without FFmpeg's libraries";
  return nullptr;
}

long ExportOutput::Pictures() const { return 0; }

bool ExportOutput::Finish(const std::string&, std::string*, std::string*) { return false; }

#endif

ExportOutput::~ExportOutput() = default;

}  // namespace vesk::play
