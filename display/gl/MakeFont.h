// MAKEFONT: bitmap fonts as OpenGL display lists, rasterised by FreeType.
#pragma once

#include <memory>
#include <string>

namespace velmora {

// The face fontconfig gives for "Arial" (Liberation Sans on our systems), rasterised in
// monochrome at a pixel height: the height is the font's cell (ascender plus descender), as a
// positive height asks of the original platform's font mapper. Rasterised glyphs are kept per
// height, so rebuilding the display lists of a font every frame costs no rasterising.
//
// One FontCache serves any number of contexts: the display lists it builds belong to whichever
// context is current when build() runs.
class FontCache {
 public:
  FontCache();
  ~FontCache();
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;

  // Builds the 255 display lists base + 0 .. base + 254, one glBitmap per character code 0..254
  // (Windows-1252 codes). Needs a current context. When no face can be loaded the lists are
  // built empty, so text draws nothing and everything else goes on.
  void build(unsigned base, int height, bool italic);

  // Empty when the face loaded; otherwise what went wrong (reported once by the view).
  const std::string& problem();
  // The font file in use (empty when none was found).
  const std::string& fontFile();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// MAKEFONT(list base, height, italic flag): the font of the given pixel height at the list base.
void MAKEFONT(FontCache& F, int base, int height, int italic);

}  // namespace velmora
