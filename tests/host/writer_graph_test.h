// A running graph of a fake source and a file writer, and a folder of the
// test's own for the file, as the writer sinks' tests use them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "fake_source.h"
#include "host/filter_graph.h"
#include "scratch_dir.h"

namespace vesk::test {

template <class Writer>
class WriterGraphTest : public ::testing::Test {
 protected:
  explicit WriterGraphTest(const char* fileName) : path_(directory_.File(fileName)) {}

  // Connects a fake source offering `type` to `writer` and runs the graph.
  void Start(const host::MediaType& type, ComPtr<Writer> writer) {
    source_ = FakeSource::Create({type});
    sink_ = std::move(writer);
    graph_->AddFilter(source_.Get(), u"Source");
    graph_->AddFilter(sink_.Get(), u"Writer");
    ASSERT_EQ(graph_->ConnectDirect(&source_->Pin(), sink_->Pin(), nullptr), S_OK);
    ASSERT_EQ(graph_->Run(), S_OK);
  }

  mkrec::testing::ScratchDir directory_;
  std::string path_;
  ComPtr<host::FilterGraph> graph_ = host::FilterGraph::Create();
  ComPtr<FakeSource> source_;
  ComPtr<Writer> sink_;
};

}  // namespace vesk::test
