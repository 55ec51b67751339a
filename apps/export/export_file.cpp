#include "apps/export/export_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <vector>

#include "host/staged_file.h"

namespace vesk::exporting {
namespace {

constexpr AVRational kMilliseconds{1, 1000};
// Longer gaps in the sound are left as gaps.
constexpr std::int64_t kLongestSilenceSeconds = 2;

std::string Reason(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

// Whatever the letters' case: "OUT.MP4" is an MP4 file too.
bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() > end.size() &&
         std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// What libavformat writes goes into a staged file, so that the file appears
// under its name only when complete.
struct StagedOutput {
  std::unique_ptr<host::StagedFile> file;
  std::int64_t position = 0;
  std::int64_t size = 0;

  static int Write(void* opaque, std::uint8_t* data, int bytes) {
    auto* out = static_cast<StagedOutput*>(opaque);
    if (FAILED(out->file->WriteAt(static_cast<std::uint64_t>(out->position), data, static_cast<std::size_t>(bytes))))
      return AVERROR(EIO);
    out->position += bytes;
    out->size = std::max(out->size, out->position);
    return bytes;
  }

  static std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
    auto* out = static_cast<StagedOutput*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
      case AVSEEK_SIZE: return out->size;
      case SEEK_SET: out->position = offset; break;
      case SEEK_CUR: out->position += offset; break;
      case SEEK_END: out->position = out->size + offset; break;
      default: return AVERROR(EINVAL);
    }
    return out->position;
  }
};

template <class T, void (*Free)(T**)>
struct Freed {
  void operator()(T* object) const { Free(&object); }
};
using CodecContext = std::unique_ptr<AVCodecContext, Freed<AVCodecContext, avcodec_free_context>>;
using Frame = std::unique_ptr<AVFrame, Freed<AVFrame, av_frame_free>>;
using Packet = std::unique_ptr<AVPacket, Freed<AVPacket, av_packet_free>>;

}  // namespace

// The muxer and both encoders, made at the first write.
class ExportFile::Writer {
 public:
  ~Writer() {
    sws_freeContext(scaler_);
    if (format_) {
      // The context's buffer is the caller's to free, and may have been replaced.
      if (format_->pb) av_freep(&format_->pb->buffer);
      avio_context_free(&format_->pb);
      avformat_free_context(format_);
    }
  }

  // Empty on success, else why not.
  std::string Open(const std::string& path, const std::optional<PictureSize>& picture,
                   const std::optional<SoundFormat>& sound) {
    if (int e = avformat_alloc_output_context2(&format_, nullptr, nullptr, path.c_str()); e < 0)
      return "cannot make the file: " + Reason(e);
    if (picture) {
      if (std::string why = OpenVideo(*picture); !why.empty()) return why;
    }
    if (sound) {
      if (std::string why = OpenAudio(*sound); !why.empty()) return why;
    }
    if (FAILED(host::StagedFile::Create(path, &output_.file))) return "cannot be created";
    constexpr int kBufferBytes = 1 << 16;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferBytes));
    format_->pb = buffer ? avio_alloc_context(buffer, kBufferBytes, 1, &output_, nullptr, StagedOutput::Write,
                                              StagedOutput::Seek)
                         : nullptr;
    if (!format_->pb) {
      av_free(buffer);
      return "out of memory";
    }
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (int e = avformat_write_header(format_, nullptr); e < 0) return "cannot be written: " + Reason(e);
    return "";
  }

  std::string WritePicture(const std::uint8_t* pixels, PictureSize size, std::int64_t startMs,
                           std::int64_t durationMs) {
    if (!video_) return "";
    // A picture that does not come after the one before cannot be shown: left out.
    if (startMs <= lastPictureMs_) return "";
    lastPictureMs_ = startMs;
    scaler_ = sws_getCachedContext(scaler_, size.width, size.height, AV_PIX_FMT_BGR0, video_->width,
                                   video_->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!scaler_) return "cannot convert the pictures";
    if (int e = av_frame_make_writable(picture_.get()); e < 0) return Reason(e);
    // Rows bottom-up: read from the last row, upwards.
    const int stride = 4 * size.width;
    const std::uint8_t* top = pixels + static_cast<std::ptrdiff_t>(size.height - 1) * stride;
    const int upwards = -stride;
    sws_scale(scaler_, &top, &upwards, 0, size.height, picture_->data, picture_->linesize);
    picture_->pts = startMs;
    durations_[startMs] = durationMs;
    ++pictures_;
    return Encode(video_.get(), videoStream_, picture_.get());
  }

  std::string WriteSound(const std::uint8_t* pcm, std::size_t bytes, std::int64_t earliestMs) {
    if (!audio_) return "";
    const int channels = sound_.channels;
    // Sound missing for a moment is filled with silence, a frame at a time.
    // Where a recorder paused, the sound resumes later in the file instead:
    // a clock that jumps a day must not make a day of silence to encode.
    const std::int64_t earliest = earliestMs * sound_.rate / 1000;
    if (earliest - Queued() > kLongestSilenceSeconds * sound_.rate) {
      if (std::string why = EncodeRest(); !why.empty()) return why;
      samplesEncoded_ = earliest;
    }
    for (std::int64_t missing = earliest - Queued(); missing > 0; missing = earliest - Queued()) {
      const auto room = static_cast<std::size_t>(
          std::min<std::int64_t>(missing, audio_->frame_size - static_cast<std::int64_t>(pending_[0].size())));
      for (auto& channel : pending_) channel.insert(channel.end(), room, 0.0f);
      if (static_cast<int>(pending_[0].size()) < audio_->frame_size) break;
      if (std::string why = EncodeSound(audio_->frame_size); !why.empty()) return why;
    }
    const std::size_t sampleBytes = static_cast<std::size_t>(sound_.bits / 8);
    for (std::size_t at = 0; at + sampleBytes * channels <= bytes;) {
      for (int c = 0; c < channels; ++c, at += sampleBytes) {
        const float value = sampleBytes == 1 ? (pcm[at] - 128) / 128.0f
                                             : static_cast<std::int16_t>(pcm[at] | pcm[at + 1] << 8) / 32768.0f;
        pending_[c].push_back(value);
      }
    }
    while (static_cast<int>(pending_[0].size()) >= audio_->frame_size) {
      if (std::string why = EncodeSound(audio_->frame_size); !why.empty()) return why;
    }
    return "";
  }

  std::string Finish() {
    if (audio_) {
      if (std::string why = EncodeRest(); !why.empty()) return why;
    }
    if (video_) {
      if (std::string why = Encode(video_.get(), videoStream_, nullptr); !why.empty()) return why;
    }
    if (audio_) {
      if (std::string why = Encode(audio_.get(), audioStream_, nullptr); !why.empty()) return why;
    }
    if (int e = av_write_trailer(format_); e < 0) return "cannot be completed: " + Reason(e);
    avio_flush(format_->pb);
    if (format_->pb->error < 0) return "cannot be written: " + Reason(format_->pb->error);
    if (FAILED(output_.file->Commit())) return "cannot be completed (no space, or no permission)";
    return "";
  }

  long Pictures() const { return pictures_; }
  std::string VideoCodec() const { return video_ ? video_->codec->name : ""; }

 private:
  AVStream* NewStream(AVCodecContext& encoder) {
    AVStream* stream = avformat_new_stream(format_, nullptr);
    if (!stream) return nullptr;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    return stream;
  }

  std::string OpenStream(AVCodecContext& encoder, AVStream*& stream, AVDictionary** options) {
    stream = NewStream(encoder);
    if (!stream) return "out of memory";
    if (int e = avcodec_open2(&encoder, encoder.codec, options); e < 0)
      return std::string("the ") + encoder.codec->name + " encoder refused: " + Reason(e);
    avcodec_parameters_from_context(stream->codecpar, &encoder);
    stream->time_base = encoder.time_base;
    return "";
  }

  std::string OpenVideo(PictureSize size) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (!codec) return "libavcodec has neither an H.264 nor an MPEG-4 encoder";
    video_.reset(avcodec_alloc_context3(codec));
    if (!video_) return "out of memory";
    video_->width = size.width;
    video_->height = size.height;
    video_->pix_fmt = AV_PIX_FMT_YUV420P;
    video_->time_base = kMilliseconds;
    AVDictionary* options = nullptr;
    if (codec->id == AV_CODEC_ID_H264) {
      av_dict_set(&options, "preset", "veryfast", 0);
      av_dict_set(&options, "crf", "18", 0);
    } else {
      // The encoder's own default aims at 200 kbit/s, which blurs a camera grid.
      video_->flags |= AV_CODEC_FLAG_QSCALE;
      video_->global_quality = FF_QP2LAMBDA * 3;
    }
    const std::string why = OpenStream(*video_, videoStream_, &options);
    av_dict_free(&options);
    if (!why.empty()) return why;
    picture_.reset(av_frame_alloc());
    if (!picture_) return "out of memory";
    picture_->format = AV_PIX_FMT_YUV420P;
    picture_->width = size.width;
    picture_->height = size.height;
    if (int e = av_frame_get_buffer(picture_.get(), 0); e < 0) return Reason(e);
    return "";
  }

  std::string OpenAudio(SoundFormat format) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!codec) return "libavcodec has no AAC encoder";
    audio_.reset(avcodec_alloc_context3(codec));
    if (!audio_) return "out of memory";
    sound_ = format;
    audio_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    audio_->sample_rate = format.rate;
    av_channel_layout_default(&audio_->ch_layout, format.channels);
    audio_->bit_rate = 64000 * format.channels;
    audio_->time_base = AVRational{1, format.rate};
    if (std::string why = OpenStream(*audio_, audioStream_, nullptr); !why.empty()) return why;
    pending_.assign(static_cast<std::size_t>(format.channels), {});
    sound_frame_.reset(av_frame_alloc());
    return sound_frame_ ? "" : "out of memory";
  }

  // Encodes the samples that wait, fewer than a frame.
  std::string EncodeRest() {
    if (pending_[0].empty()) return "";
    const int left = static_cast<int>(pending_[0].size());
    const bool small = audio_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    if (!small) {
      for (auto& channel : pending_) channel.resize(static_cast<std::size_t>(audio_->frame_size), 0.0f);
    }
    return EncodeSound(small ? left : audio_->frame_size);
  }

  // Samples encoded or waiting, from the start.
  std::int64_t Queued() const { return samplesEncoded_ + static_cast<std::int64_t>(pending_[0].size()); }

  std::string EncodeSound(int samples) {
    AVFrame* frame = sound_frame_.get();
    av_frame_unref(frame);
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = sound_.rate;
    frame->nb_samples = samples;
    av_channel_layout_copy(&frame->ch_layout, &audio_->ch_layout);
    if (int e = av_frame_get_buffer(frame, 0); e < 0) return Reason(e);
    for (int c = 0; c < sound_.channels; ++c) {
      auto& channel = pending_[static_cast<std::size_t>(c)];
      std::copy_n(channel.begin(), samples, reinterpret_cast<float*>(frame->data[c]));
      channel.erase(channel.begin(), channel.begin() + samples);
    }
    frame->pts = samplesEncoded_;
    samplesEncoded_ += samples;
    return Encode(audio_.get(), audioStream_, frame);
  }

  std::string Encode(AVCodecContext* encoder, AVStream* stream, AVFrame* frame) {
    if (int e = avcodec_send_frame(encoder, frame); e < 0) return Reason(e);
    Packet packet(av_packet_alloc());
    if (!packet) return "out of memory";
    for (;;) {
      const int e = avcodec_receive_packet(encoder, packet.get());
      if (e == AVERROR(EAGAIN) || e == AVERROR_EOF) return "";
      if (e < 0) return Reason(e);
      if (encoder == video_.get()) {
        // Each picture lasts until the next, and the last to the end of its second.
        const auto duration = durations_.find(packet->pts);
        if (duration != durations_.end()) {
          packet->duration = duration->second;
          durations_.erase(duration);
        }
      }
      av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (int w = av_interleaved_write_frame(format_, packet.get()); w < 0) return "cannot be written: " + Reason(w);
    }
  }

  AVFormatContext* format_ = nullptr;
  StagedOutput output_;
  CodecContext video_;
  AVStream* videoStream_ = nullptr;
  Frame picture_;
  SwsContext* scaler_ = nullptr;
  std::map<std::int64_t, std::int64_t> durations_;  // of the pictures in the encoder, by start
  std::int64_t lastPictureMs_ = -1;
  long pictures_ = 0;
  CodecContext audio_;
  AVStream* audioStream_ = nullptr;
  SoundFormat sound_;
  Frame sound_frame_;
  std::vector<std::vector<float>> pending_;  // per channel, not yet encoded
  std::int64_t samplesEncoded_ = 0;
};

std::unique_ptr<ExportFile> ExportFile::Create(const std::string& path, std::string* error) {
  if (!EndsWith(path, ".mp4") && !EndsWith(path, ".mkv")) {
    *error = "--export writes an .mp4 or .mkv file, not " + path;
    return nullptr;
  }
  // The libraries' own messages would break the one-line reports made of their failures.
  av_log_set_level(AV_LOG_QUIET);
  return std::unique_ptr<ExportFile>(new ExportFile(path));
}

ExportFile::ExportFile(std::string path) : path_(std::move(path)) {}

ExportFile::~ExportFile() = default;

void ExportFile::SetPictureSize(PictureSize size) {
  std::lock_guard hold(lock_);
  if (!writer_) pictureSize_ = size;
}

void ExportFile::SetSoundFormat(SoundFormat format) {
  std::lock_guard hold(lock_);
  if (!writer_) soundFormat_ = format;
}

HRESULT ExportFile::WritePicture(const std::uint8_t* pixels, PictureSize size, std::int64_t startMs,
                                 std::int64_t durationMs) {
  std::lock_guard hold(lock_);
  return Write([&](Writer& writer) { return writer.WritePicture(pixels, size, startMs, durationMs); });
}

HRESULT ExportFile::WriteSound(const std::uint8_t* pcm, std::size_t bytes, std::int64_t earliestMs) {
  std::lock_guard hold(lock_);
  return Write([&](Writer& writer) { return writer.WriteSound(pcm, bytes, earliestMs); });
}

HRESULT ExportFile::Write(const std::function<std::string(Writer&)>& write) {
  if (finished_ || !error_.empty()) return E_FAIL;
  if (!writer_) {
    writer_ = std::make_unique<Writer>();
    if (std::string why = writer_->Open(path_, pictureSize_, soundFormat_); !why.empty()) return Fail(why);
  }
  const std::string why = write(*writer_);
  return why.empty() ? S_OK : Fail(why);
}

HRESULT ExportFile::Fail(const std::string& why) {
  error_ = path_ + ": " + why;
  writer_.reset();  // the staged file goes with it
  return E_FAIL;
}

HRESULT ExportFile::Finish() {
  std::lock_guard hold(lock_);
  if (finished_) return S_FALSE;
  finished_ = true;
  if (!error_.empty()) return E_FAIL;
  if (!writer_) return S_FALSE;
  pictures_ = writer_->Pictures();
  if (std::string why = writer_->Finish(); !why.empty()) return Fail(why);
  videoCodec_ = writer_->VideoCodec();
  writer_.reset();
  return S_OK;
}

long ExportFile::Pictures() const {
  std::lock_guard hold(lock_);
  return writer_ ? writer_->Pictures() : pictures_;
}

std::string ExportFile::VideoCodec() const {
  std::lock_guard hold(lock_);
  return writer_ ? writer_->VideoCodec() : videoCodec_;
}

std::string ExportFile::Error() const {
  std::lock_guard hold(lock_);
  return error_;
}

}  // namespace vesk::exporting
