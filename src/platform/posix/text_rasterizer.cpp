#include "platform/text_rasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>

#include "platform/debug_trace.h"

namespace vesk::platform {
namespace {

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr char32_t kReplacement = 0xFFFD;

// One laid-out line: characters [begin, end) of the decoded text.
struct Line {
  std::size_t begin = 0;
  std::size_t end = 0;
  int width = 0;
};

// The bold face's file, checked to really be of `family`: fontconfig always
// answers with some face, and a substitute would change every text's size.
bool FindBoldFace(const char* family, std::string* file, int* index) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return false;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  bool found = false;
  if (match) {
    bool familyMatches = false;
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
      familyMatches |= FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family)) == 0;
    int weight = 0;
    FcChar8* path = nullptr;
    found = familyMatches && FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch &&
            weight >= FC_WEIGHT_BOLD && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
    if (found) {
      *file = reinterpret_cast<const char*>(path);
      if (FcPatternGetInteger(match, FC_INDEX, 0, index) != FcResultMatch) *index = 0;
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  return found;
}

}  // namespace

struct TextRasterizer::Face {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  iconv_t converter = reinterpret_cast<iconv_t>(-1);
  // Reused between texts: the decoded characters and their advances.
  std::u32string characters;
  std::vector<int> advances;
  std::vector<Line> lines;

  ~Face() {
    if (converter != reinterpret_cast<iconv_t>(-1)) iconv_close(converter);
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }

  void Decode(std::string_view text);
  bool SetSize(const FontDescription& font);
  bool MeasureCharacters();
  void BreakLines(int wrapWidth);
  void DrawLine(const Line& line, int left, int baseline, TextMask* mask);
};

// Windows-1251 to code points. A byte the code page leaves undefined becomes
// the replacement character rather than ending the text.
void TextRasterizer::Face::Decode(std::string_view text) {
  characters.clear();
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  while (inLeft > 0) {
    unsigned char out[64];
    char* outPointer = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof(out);
    const std::size_t done = iconv(converter, &in, &inLeft, &outPointer, &outLeft);
    const int error = errno;
    for (unsigned char* p = out; p + 4 <= reinterpret_cast<unsigned char*>(outPointer); p += 4)
      characters += static_cast<char32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (p[3] << 24));
    if (done == static_cast<std::size_t>(-1) && error != E2BIG) {
      characters += kReplacement;
      ++in;
      --inLeft;
    }
  }
}

// A LOGFONT's width is the average character width; the face is stretched so
// that its own average matches it.
bool TextRasterizer::Face::SetSize(const FontDescription& font) {
  FT_F26Dot6 width = 0;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (font.characterWidth > 0 && os2 && os2->xAvgCharWidth > 0)
    width = static_cast<FT_F26Dot6>(std::lround(64.0 * font.characterWidth * face->units_per_EM /
                                                os2->xAvgCharWidth));
  return FT_Set_Char_Size(face, width, font.heightPixels * 64, 72, 72) == 0;
}

bool TextRasterizer::Face::MeasureCharacters() {
  advances.clear();
  for (char32_t c : characters) {
    if (c == U'\n' || c == U'\r') {
      advances.push_back(0);
      continue;
    }
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, c), FT_LOAD_DEFAULT) != 0) return false;
    advances.push_back(static_cast<int>((face->glyph->advance.x + 32) >> 6));
  }
  return true;
}

// Breaks at line breaks, and between words where the next word would pass the
// width; the spaces at such a break are dropped. A first word always stays.
void TextRasterizer::Face::BreakLines(int wrapWidth) {
  lines.clear();
  const std::size_t size = characters.size();
  std::size_t paragraph = 0;
  while (paragraph < size) {
    std::size_t end = paragraph;
    while (end < size && characters[end] != U'\n' && characters[end] != U'\r') ++end;
    std::size_t position = paragraph;
    do {
      Line line{position, position, 0};
      for (std::size_t k = position; k < end;) {
        std::size_t word = k;
        while (word < end && characters[word] == U' ') ++word;
        while (word < end && characters[word] != U' ') ++word;
        int segment = 0;
        for (std::size_t i = k; i < word; ++i) segment += advances[i];
        if (line.end > line.begin && line.width + segment > wrapWidth) break;
        line.width += segment;
        line.end = k = word;
      }
      lines.push_back(line);
      position = line.end;
      while (position < end && characters[position] == U' ') ++position;
    } while (position < end);
    paragraph = end;
    if (paragraph < size && characters[paragraph] == U'\r') ++paragraph;
    if (paragraph < size && characters[paragraph] == U'\n') ++paragraph;
  }
}

void TextRasterizer::Face::DrawLine(const Line& line, int left, int baseline, TextMask* mask) {
  int pen = left;
  for (std::size_t i = line.begin; i < line.end; ++i) {
    if (FT_Load_Glyph(face, FT_Get_Char_Index(face, characters[i]), FT_LOAD_RENDER) == 0) {
      const FT_Bitmap& bitmap = face->glyph->bitmap;
      const int x0 = pen + face->glyph->bitmap_left;
      const int y0 = baseline - face->glyph->bitmap_top;
      for (int row = 0; row < static_cast<int>(bitmap.rows); ++row) {
        const int y = y0 + row;
        if (y < 0 || y >= mask->height) continue;
        const unsigned char* source = bitmap.buffer + row * bitmap.pitch;
        for (int column = 0; column < static_cast<int>(bitmap.width); ++column) {
          const int x = x0 + column;
          if (x < 0 || x >= mask->width) continue;
          std::uint8_t& target = mask->coverage[static_cast<std::size_t>(y) * mask->width + x];
          target = std::max(target, source[column]);
        }
      }
    }
    pen += advances[i];
  }
}

HRESULT TextRasterizer::Create(const char* family, std::unique_ptr<TextRasterizer>* rasterizer,
                               std::string* message) {
  try {
    auto face = std::make_unique<Face>();
    std::string file;
    int index = 0;
    if (!FindBoldFace(family, &file, &index)) {
      *message = std::string("text overlay: the bold face of the font \"") + family +
                 "\" is not installed (Debian package fonts-liberation2)";
      Trace(message->c_str());
      return HRESULT_FROM_WIN32(kErrorFileNotFound);
    }
    face->converter = iconv_open("UTF-32LE", "CP1251");
    if (face->converter == reinterpret_cast<iconv_t>(-1) || FT_Init_FreeType(&face->library) != 0 ||
        FT_New_Face(face->library, file.c_str(), index, &face->face) != 0) {
      *message = "text overlay: cannot open the font file " + file;
      Trace(message->c_str());
      return E_FAIL;
    }
    rasterizer->reset(new TextRasterizer(std::move(face)));
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

TextRasterizer::TextRasterizer(std::unique_ptr<Face> face) : face_(std::move(face)) {}

TextRasterizer::~TextRasterizer() = default;

HRESULT TextRasterizer::Render(const FontDescription& font, std::string_view text, int wrapWidth,
                               TextMask* mask) {
  std::lock_guard<std::mutex> hold(lock_);
  try {
    Face& f = *face_;
    f.Decode(text);
    if (!f.SetSize(font) || !f.MeasureCharacters()) return E_FAIL;
    f.BreakLines(wrapWidth);

    // Line spacing as the platform measures it: the face's Windows ascent and
    // descent, plus the external leading that DT_EXTERNALLEADING adds.
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f.face, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(f.face, FT_SFNT_HHEA));
    const double scale = static_cast<double>(font.heightPixels) / f.face->units_per_EM;
    const int winAscent = os2 ? os2->usWinAscent : f.face->ascender;
    const int winDescent = os2 ? os2->usWinDescent : -f.face->descender;
    int leadingUnits = 0;
    if (hhea)
      leadingUnits = std::max(0, hhea->Line_Gap - ((winAscent + winDescent) -
                                                   (hhea->Ascender - hhea->Descender)));
    const int ascent = static_cast<int>(std::lround(winAscent * scale));
    const int lineHeight = ascent + static_cast<int>(std::lround(winDescent * scale)) +
                           static_cast<int>(std::lround(leadingUnits * scale));

    int width = 0;
    for (const Line& line : f.lines) width = std::max(width, line.width);
    mask->width = width;
    mask->height = lineHeight * static_cast<int>(f.lines.size());
    mask->coverage.assign(static_cast<std::size_t>(mask->width) * mask->height, 0);
    for (std::size_t i = 0; i < f.lines.size(); ++i)
      f.DrawLine(f.lines[i], (width - f.lines[i].width) / 2,
                 static_cast<int>(i) * lineHeight + ascent, mask);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace vesk::platform
