#include "mkrec/y4m_reader.h"

#include <charconv>
#include <sstream>

namespace vesk::mkrec {

namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr int kMaxSide = 16384;

enum class LineRead { kLine, kEnd, kTooLong };

// A line without its '\n'; a file ending inside the line counts as kEnd with
// what was read in `line`.
LineRead ReadLine(std::FILE* file, std::string& line) {
  line.clear();
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
    if (c == '\n') return LineRead::kLine;
    if (line.size() == kMaxLine) return LineRead::kTooLong;
    line.push_back(static_cast<char>(c));
  }
  return LineRead::kEnd;
}

bool ParseSide(const std::string& text, int& out) {
  const char* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(text.data(), end, out);
  return error == std::errc() && next == end && out > 0 && out <= kMaxSide;
}

// "30000:1001" as frames per second.
bool ParseRate(const std::string& text, double& out) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  unsigned numerator = 0, denominator = 0;
  const char* end = text.data() + text.size();
  const auto first = std::from_chars(text.data(), text.data() + colon, numerator);
  const auto second = std::from_chars(text.data() + colon + 1, end, denominator);
  if (first.ec != std::errc() || first.ptr != text.data() + colon || second.ec != std::errc() ||
      second.ptr != end || numerator == 0 || denominator == 0)
    return false;
  out = static_cast<double>(numerator) / denominator;
  return true;
}

// The 8-bit 4:2:0 variants, which differ only in where chroma samples sit.
bool Is420(const std::string& chroma) {
  return chroma == "420" || chroma == "420jpeg" || chroma == "420paldv" || chroma == "420mpeg2";
}

}  // namespace

Status Y4mReader::Open(const std::string& path) {
  path_ = path;
  file_.reset(std::fopen(path.c_str(), "rb"));
  if (!file_) return Status::Error(path + ": cannot open");
  std::string line;
  if (ReadLine(file_.get(), line) != LineRead::kLine)
    return Status::Error(path + ": not a YUV4MPEG2 file (no header line)");
  if (Status header = ParseHeader(line); !header.ok()) return header;
  dataStart_ = std::ftell(file_.get());
  frameNumber_ = 0;
  return Status::Ok();
}

Status Y4mReader::ParseHeader(const std::string& line) {
  std::istringstream words(line);
  std::string word;
  if (!(words >> word) || word != "YUV4MPEG2")
    return Status::Error(path_ + ": not a YUV4MPEG2 file");
  width_ = height_ = 0;
  framesPerSecond_ = 0;
  while (words >> word) {
    const char tag = word[0];
    const std::string value = word.substr(1);
    if (tag == 'W' && !ParseSide(value, width_))
      return Status::Error(path_ + ": bad width '" + value + "'");
    if (tag == 'H' && !ParseSide(value, height_))
      return Status::Error(path_ + ": bad height '" + value + "'");
    if (tag == 'F' && !ParseRate(value, framesPerSecond_))
      return Status::Error(path_ + ": bad frame rate '" + value + "'");
    if (tag == 'C' && !Is420(value))
      return Status::Error(path_ + ": colour layout C" + value +
                           " is not supported, only 8-bit 4:2:0");
  }
  if (width_ == 0 || height_ == 0) return Status::Error(path_ + ": header lacks width or height");
  return Status::Ok();
}

Status Y4mReader::ReadFrame(I420Picture& picture, bool& gotFrame) {
  gotFrame = false;
  if (!file_) return Status::Error("Y4M file is not open");
  const std::string where = path_ + ": frame " + std::to_string(frameNumber_);
  std::string line;
  const LineRead read = ReadLine(file_.get(), line);
  if (read == LineRead::kEnd && line.empty()) return Status::Ok();
  if (read != LineRead::kLine || line.compare(0, 5, "FRAME") != 0 ||
      (line.size() > 5 && line[5] != ' '))
    return Status::Error(where + " lacks its FRAME header");
  picture.Resize(width_, height_);
  for (std::vector<std::uint8_t>* plane : {&picture.y, &picture.u, &picture.v}) {
    if (std::fread(plane->data(), 1, plane->size(), file_.get()) != plane->size())
      return Status::Error(where + " is cut short");
  }
  ++frameNumber_;
  gotFrame = true;
  return Status::Ok();
}

Status Y4mReader::Rewind() {
  if (!file_ || std::fseek(file_.get(), dataStart_, SEEK_SET) != 0)
    return Status::Error(path_ + ": cannot go back to the first frame");
  frameNumber_ = 0;
  return Status::Ok();
}

}  // namespace vesk::mkrec
