// MAKEFONT: fontconfig finds the face, FreeType rasterises it, glBitmap lists draw it.
#include "display/gl/MakeFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include <fontconfig/fontconfig.h>

#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "display/gl/gl.h"

namespace velmora {
namespace {

constexpr int NGLYPHS = 255;

// Unicode of the Windows-1252 codes 128..159; the other codes are Latin-1 already.
constexpr std::array<std::uint32_t, 32> CP1252_HIGH = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint32_t unicodeOf(int code) {
  if (code >= 128 && code < 160) return CP1252_HIGH[static_cast<std::size_t>(code - 128)];
  return static_cast<std::uint32_t>(code);
}

// One rasterised glyph, rows bottom-up as glBitmap takes them.
struct Glyph {
  int width = 0, rows = 0;
  float xorig = 0, yorig = 0, advance = 0;
  std::vector<GLubyte> bits;
};
using GlyphSet = std::array<Glyph, NGLYPHS>;

// The file fontconfig chooses for "Arial" at normal weight, upright.
std::pair<std::string, int> findArial() {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return {};
  std::pair<std::string, int> found;
  FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>("Arial"));
  if (pat) {
    FcPatternAddInteger(pat, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pat, &result);
    if (match) {
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        found = {reinterpret_cast<const char*>(file), index};
      }
      FcPatternDestroy(match);
    }
    FcPatternDestroy(pat);
  }
  FcConfigDestroy(config);
  return found;
}

}  // namespace

struct FontCache::Impl {
  bool tried = false;
  std::string problem, file;
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  std::map<std::pair<int, bool>, GlyphSet> cache;

  ~Impl() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }

  bool load() {
    if (tried) return face != nullptr;
    tried = true;
    auto [path, index] = findArial();
    if (path.empty()) {
      problem = "no font found for \"Arial\" (install fonts-liberation2): texts are not drawn";
      return false;
    }
    if (FT_Init_FreeType(&lib) != 0) {
      problem = "FreeType cannot start: texts are not drawn";
      return false;
    }
    if (FT_New_Face(lib, path.c_str(), index, &face) != 0) {
      face = nullptr;
      problem = "cannot load the font \"" + path + "\": texts are not drawn";
      return false;
    }
    file = path;
    return true;
  }

  // Rasterises the 255 glyphs at a cell height of `height` pixels.
  void rasterise(int height, bool italic, GlyphSet& set) {
    FT_Size_RequestRec req{};
    req.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
    req.width = 0;
    req.height = static_cast<FT_Long>(height) * 64;
    if (FT_Request_Size(face, &req) != 0) return;
    for (int code = 0; code < NGLYPHS; ++code) {
      const FT_UInt index = FT_Get_Char_Index(face, unicodeOf(code));
      if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) != 0) continue;
      if (italic) FT_GlyphSlot_Oblique(face->glyph);
      if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0) continue;
      const FT_GlyphSlot g = face->glyph;
      const FT_Bitmap& bm = g->bitmap;
      Glyph& out = set[static_cast<std::size_t>(code)];
      out.advance = static_cast<float>(g->advance.x) / 64.0f;
      if (bm.pixel_mode != FT_PIXEL_MODE_MONO || bm.width == 0 || bm.rows == 0) continue;
      out.width = static_cast<int>(bm.width);
      out.rows = static_cast<int>(bm.rows);
      out.xorig = static_cast<float>(-g->bitmap_left);
      out.yorig = static_cast<float>(out.rows - g->bitmap_top);
      const std::size_t rowBytes = (bm.width + 7u) / 8u;
      out.bits.resize(rowBytes * bm.rows);
      // FreeType gives rows top-down, glBitmap takes them bottom-up.
      for (unsigned row = 0; row < bm.rows; ++row) {
        const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(row) * bm.pitch;
        GLubyte* dst = out.bits.data() + (bm.rows - 1u - row) * rowBytes;
        for (std::size_t k = 0; k < rowBytes; ++k) dst[k] = src[k];
      }
    }
  }

  const GlyphSet* glyphs(int height, bool italic) {
    if (height <= 0 || !load()) return nullptr;
    const auto key = std::make_pair(height, italic);
    auto it = cache.find(key);
    if (it == cache.end()) {
      it = cache.emplace(key, GlyphSet{}).first;
      rasterise(height, italic, it->second);
    }
    return &it->second;
  }
};

FontCache::FontCache() : impl_(std::make_unique<Impl>()) {}
FontCache::~FontCache() = default;

void FontCache::build(unsigned base, int height, bool italic) {
  const GlyphSet* set = impl_->glyphs(height, italic);
  GLint align = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &align);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int code = 0; code < NGLYPHS; ++code) {
    glNewList(base + static_cast<unsigned>(code), GL_COMPILE);
    if (set) {
      const Glyph& g = (*set)[static_cast<std::size_t>(code)];
      glBitmap(g.width, g.rows, g.xorig, g.yorig, g.advance, 0.0f, g.bits.empty() ? nullptr : g.bits.data());
    }
    glEndList();
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, align);
}

const std::string& FontCache::problem() {
  impl_->load();
  return impl_->problem;
}

const std::string& FontCache::fontFile() {
  impl_->load();
  return impl_->file;
}

void MAKEFONT(FontCache& F, int base, int height, int italic) {
  if (base < 0) return;
  F.build(static_cast<unsigned>(base), height, italic != 0);
}

}  // namespace velmora
