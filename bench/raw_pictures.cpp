// Plays a recording through the built module, as vesk-play does, and writes
// every picture of the video pin to standard output as raw B, G, R, X bytes
// (rows bottom-up): what export_bench.sh pipes into ffmpeg to compare its
// encoding with vesk-play's export of the same pictures.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "built_module.h"
#include "host/counting_sink.h"
#include "host/filter_graph.h"
#include "host/null_sink.h"
#include "vesk/splitter_settings.h"

int main(int argc, char** argv) {
  using namespace vesk;
  if (argc != 2 || ::isatty(STDOUT_FILENO)) {
    std::fprintf(stderr, "usage: raw_pictures RECORDING.vsk | ffmpeg -f rawvideo ...\n");
    return 2;
  }
  host::ModuleLoader* module = bench::BuiltModule();
  ComPtr<host::FilterGraph> graph = host::FilterGraph::Create();
  ComPtr<IBaseFilter> filter;
  ComPtr<IFileSourceFilter> source;
  ComPtr<IMediaSeeking> seeking;
  ComPtr<IPin> video, audio;
  const std::string path = argv[1];
  const std::u16string name(path.begin(), path.end());
  ComPtr<host::CountingSink> pictures = host::CountingSink::Create();
  ComPtr<host::SinkFilter> sound = host::NullSink::Create();
  bool written = true;
  pictures->SetSampleHook([&](IMediaSample& sample) {
    BYTE* data = nullptr;
    if (SUCCEEDED(sample.GetPointer(&data)))
      written = std::fwrite(data, 1, static_cast<std::size_t>(sample.GetActualDataLength()), stdout) ==
                    static_cast<std::size_t>(sample.GetActualDataLength()) && written;
  });
  LONGLONG first = 0;
  if (!module ||
      FAILED(module->CreateInstance(CLSID_SplitterFilter, IID_IBaseFilter,
                                    reinterpret_cast<void**>(filter.GetAddressOf()))) ||
      FAILED(graph->AddFilter(filter.Get(), u"source")) || FAILED(filter.As(IID_IFileSourceFilter, &source)) ||
      FAILED(source->Load(name.c_str(), nullptr)) || FAILED(filter->FindPin(u"VideoOutput0", video.GetAddressOf())) ||
      FAILED(filter->FindPin(u"Audio", audio.GetAddressOf())) || FAILED(graph->AddFilter(pictures.Get(), u"pictures")) ||
      FAILED(graph->AddFilter(sound.Get(), u"sound")) || FAILED(graph->ConnectDirect(video.Get(), pictures->Pin(), nullptr)) ||
      FAILED(graph->ConnectDirect(audio.Get(), sound->Pin(), nullptr)) || FAILED(filter.As(IID_IMediaSeeking, &seeking)) ||
      // From the first index position on, as vesk-play exports.
      FAILED(seeking->SetPositions(&first, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning)) ||
      FAILED(graph->Run())) {
    std::fprintf(stderr, "raw_pictures: cannot play %s\n", path.c_str());
    return 1;
  }
  while (!graph->WaitForCompletion(std::chrono::milliseconds(250))) {
  }
  graph->Stop();
  std::fprintf(stderr, "raw_pictures: %ld pictures\n", pictures->Samples());
  return written ? 0 : 1;
}
