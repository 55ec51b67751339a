// Reads back what the writers made, without their code: the file's bytes, a walk
// over an AVI's RIFF chunks that checks every size, and ffprobe's view of a file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace vesk::capture::testing {

inline std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline std::string Fourcc(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::string(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + 4));
}

struct ParsedAvi {
  std::string error;  // empty when every chunk fits its parent
  std::size_t avih = 0, strh = 0, strf = 0;  // offsets of the chunk data
  std::size_t movi_type = 0;                 // offset of the 'movi' list type
  std::vector<std::size_t> frames;           // offsets of the '00db' chunk headers, in every RIFF
  std::size_t idx1 = 0;
  std::uint32_t idx1_size = 0;
  std::size_t indx = 0, dmlh = 0;              // offsets of the OpenDML chunks' data
  std::vector<std::size_t> standard_indexes;  // offsets of the 'ix00' chunk headers
  std::size_t riffs = 0;
  std::vector<std::uint8_t> bytes;
};

// Walks the chunks in [begin, end), descending into lists.
inline void WalkChunks(ParsedAvi& avi, std::size_t begin, std::size_t end, const std::string& list) {
  const auto& b = avi.bytes;
  std::size_t at = begin;
  while (at < end && avi.error.empty()) {
    if (end - at < 8) {
      avi.error = "truncated chunk header in " + list;
      return;
    }
    const std::string id = Fourcc(b, at);
    const std::uint32_t size = Le32(b, at + 4);
    if (size > end - at - 8) {
      avi.error = id + " overruns " + list;
      return;
    }
    if (id == "LIST") {
      const std::string type = Fourcc(b, at + 8);
      if (type == "movi" && avi.movi_type == 0) avi.movi_type = at + 8;
      WalkChunks(avi, at + 12, at + 8 + size, type);
    } else if (id == "avih") {
      avi.avih = at + 8;
    } else if (id == "strh") {
      avi.strh = at + 8;
    } else if (id == "strf") {
      avi.strf = at + 8;
    } else if (id == "00db" && list == "movi") {
      avi.frames.push_back(at);
    } else if (id == "ix00" && list == "movi") {
      avi.standard_indexes.push_back(at);
    } else if (id == "indx") {
      avi.indx = at + 8;
    } else if (id == "dmlh") {
      avi.dmlh = at + 8;
    } else if (id == "idx1") {
      avi.idx1 = at + 8;
      avi.idx1_size = size;
    }
    at += 8 + size + (size & 1u);
  }
  if (at != end && avi.error.empty()) avi.error = "padding runs past the end of " + list;
}

inline ParsedAvi ParseAvi(const std::string& path) {
  ParsedAvi avi;
  avi.bytes = ReadFile(path);
  const auto& b = avi.bytes;
  // RIFF 'AVI ', then any number of RIFF 'AVIX', each filling its size exactly.
  for (std::size_t at = 0; at < b.size() && avi.error.empty(); ++avi.riffs) {
    const std::string type = avi.riffs == 0 ? "AVI " : "AVIX";
    if (b.size() - at < 12 || Fourcc(b, at) != "RIFF" || Fourcc(b, at + 8) != type) {
      avi.error = "not a RIFF " + type + " at " + std::to_string(at);
    } else if (Le32(b, at + 4) > b.size() - at - 8) {
      avi.error = "RIFF size " + std::to_string(Le32(b, at + 4)) + " runs past the file's end";
    } else {
      WalkChunks(avi, at + 12, at + 8 + Le32(b, at + 4), type);
    }
    at += 8 + Le32(b, at + 4);
  }
  if (avi.error.empty() && (avi.avih == 0 || avi.strh == 0 || avi.strf == 0 || avi.movi_type == 0))
    avi.error = "header chunks missing";
  return avi;
}

inline bool HaveFfprobe() { return std::system("command -v ffprobe >/dev/null 2>&1") == 0; }

// Runs a command and returns what it wrote to stdout and stderr.
inline std::string RunCommand(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    pclose(pipe);
  }
  return output;
}

// ffprobe's width, height, header frame count and decoded frame count of the
// first video stream; any other line (an error) lands under "unexpected".
inline std::map<std::string, std::string> ProbeVideo(const std::string& path) {
  const std::string output =
      RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
          "stream=width,height,nb_frames,nb_read_frames,duration -of default=noprint_wrappers=1 '" + path + "'");
  std::map<std::string, std::string> fields;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) fields["unexpected"] += line + "\n";
    else fields[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return fields;
}

}  // namespace vesk::capture::testing
