// The drawing surface the markup renderer lays text out on: a font, a brush, a
// pen and a background mode, single-line text drawing and measuring with the
// system's DT_ flag values, rectangles, lines, focus rectangles and clipping.
// A GDI device context implements it as a thin adapter; tests use a recording one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace htmlabel {

// A colour: 0x00BBGGRR, 0x80000000 + system colour index, or clNone.
using Color = std::uint32_t;

constexpr Color clNone = 0x1FFFFFFF;  // no colour: transparent background
constexpr Color clBlack = 0x000000;   // black
constexpr Color clRed = 0x0000FF;     // red

// True when the value names a system colour (0x80000000 + index).
constexpr bool IsSystemColor(Color color) {
  return (color & 0xFF000000u) == 0x80000000u;
}

// A rectangle in surface pixels; right and bottom are exclusive.
struct Rect {
  int left = 0;    // left edge
  int top = 0;     // top edge
  int right = 0;   // right edge
  int bottom = 0;  // bottom edge

  // Equal edges.
  friend bool operator==(const Rect&, const Rect&) = default;
};

// A point in surface pixels.
struct Point {
  int x = 0;  // horizontal position
  int y = 0;  // vertical position
};

// A width and height in pixels.
struct Size {
  int cx = 0;  // width
  int cy = 0;  // height
};

// Font style bits.
enum FontStyle : unsigned {
  kBold = 1,       // bold weight
  kItalic = 2,     // italic
  kUnderline = 4,  // underlined
  kStrikeOut = 8,  // struck out
};

// A font description; the surface realises it when text is drawn or measured.
struct Font {
  std::string name = "MS Sans Serif";  // face name
  int size = 8;                        // size in points
  Color color = clBlack;               // text colour
  unsigned style = 0;                  // FontStyle bits
  int escapement = 0;                  // angle of the text line, tenths of a degree
  int orientation = 0;                 // angle of each character, tenths of a degree
  int charset = 1;                     // character set (1: the default one)

  // Equal in every field.
  friend bool operator==(const Font&, const Font&) = default;
};

// Brush styles: solid fills and opaque text, or nothing.
enum class BrushStyle { kSolid, kClear };

// Pen styles as the system's line drawing knows them.
enum class PenStyle { kSolid, kDash, kDot, kNull };

// A pen for lines and rectangle outlines.
struct Pen {
  Color color = clBlack;              // line colour
  int width = 1;                      // width in pixels
  PenStyle style = PenStyle::kSolid;  // line pattern

  // Equal in every field.
  friend bool operator==(const Pen&, const Pen&) = default;
};

// Whether text cells are filled with the brush colour behind the glyphs.
enum class BackgroundMode { kTransparent, kOpaque };

// The text-drawing flags of the system's DrawText call, with its values.
namespace text_format {
constexpr unsigned kBottom = 0x8;             // align to the bottom (single line only)
constexpr unsigned kSingleLine = 0x20;        // one line, no breaks
constexpr unsigned kExpandTabs = 0x40;        // expand tab characters
constexpr unsigned kExternalLeading = 0x200;  // include the font's external leading
constexpr unsigned kCalcRect = 0x400;         // measure only, adjusting the rectangle
constexpr unsigned kNoPrefix = 0x800;         // show "&" literally
constexpr unsigned kEndEllipsis = 0x8000;     // end text that does not fit in "..."
}  // namespace text_format

// A picture the surface can draw; pictures come from the image sources.
class SurfacePicture {
 public:
  virtual ~SurfacePicture() = default;
  // Natural width in pixels.
  virtual int Width() const = 0;
  // Natural height in pixels.
  virtual int Height() const = 0;
};

// A list of images of one size that the surface can draw (on Windows an
// image list of the common controls).
class TImageList {
 public:
  virtual ~TImageList() = default;
  // The number of images.
  virtual int Count() const = 0;
  // The width and height of every image, in pixels.
  virtual Size ImageSize() const = 0;
};

// What the renderer draws on. Colours are passed as they are; the surface
// resolves system colours itself.
class DrawingSurface {
 public:
  virtual ~DrawingSurface() = default;

  // The current font.
  virtual Font GetFont() const = 0;
  // Replaces the font used by the following text calls.
  virtual void SetFont(const Font& font) = 0;

  // The brush colour.
  virtual Color BrushColor() const = 0;
  // Sets the brush colour and makes the brush solid.
  virtual void SetBrushColor(Color color) = 0;
  // The brush style.
  virtual BrushStyle GetBrushStyle() const = 0;
  // Sets the brush style; a clear brush also makes text transparent.
  virtual void SetBrushStyle(BrushStyle style) = 0;

  // The pen.
  virtual Pen GetPen() const = 0;
  // Replaces the pen.
  virtual void SetPen(const Pen& pen) = 0;

  // The background mode for text.
  virtual BackgroundMode GetBackgroundMode() const = 0;
  // Sets the background mode for text.
  virtual void SetBackgroundMode(BackgroundMode mode) = 0;

  // DrawText: draws text in rect with text_format flags, processing "&"
  // prefixes unless kNoPrefix; with kCalcRect draws nothing and sets rect's
  // right and bottom to the text's extent. Returns the text height.
  virtual int DrawText(std::string_view text, Rect* rect, unsigned format) = 0;
  // The width and height of one line of text, "&" taken literally.
  virtual Size TextExtent(std::string_view text) = 0;

  // Fills rect with the brush, no outline.
  virtual void FillRect(const Rect& rect) = 0;
  // Draws rect outlined with the pen and filled with the brush.
  virtual void Rectangle(const Rect& rect) = 0;
  // Moves the current position for LineTo.
  virtual void MoveTo(int x, int y) = 0;
  // Draws a line with the pen from the current position to (x, y), excluding
  // that end point, and makes it the current position.
  virtual void LineTo(int x, int y) = 0;
  // Draws the system's dotted focus rectangle (drawn twice it disappears).
  virtual void DrawFocusRect(const Rect& rect) = 0;

  // Limits drawing to rect; a null rect removes the limit.
  virtual void SetClipRect(const Rect* rect) = 0;
  // Pixels per logical inch of the device.
  virtual int PixelsPerInch() const = 0;
  // The 0x00BBGGRR value of a system colour index.
  virtual Color SystemColor(int index) const = 0;

  // Draws a picture stretched into rect.
  virtual void DrawPicture(const SurfacePicture& picture, const Rect& rect) = 0;
  // Fills area with copies of the picture at its natural size, row by row
  // from area's top-left corner, clipped to area.
  virtual void TilePicture(const SurfacePicture& picture, const Rect& area) = 0;
  // Draws image index of list into rect (stretched when rect differs from
  // the list's image size).
  virtual void DrawListImage(const TImageList& list, int index, const Rect& rect) = 0;

  // The index in the system's small or large file icon list of the icon of
  // an existing file or folder, or of any other name taken as a file name of
  // that kind (an extension, for example); -1 when there is none.
  virtual int SystemIconIndex(std::string_view name, bool large) = 0;
  // The size of the system's small or large file icons.
  virtual Size SystemIconSize(bool large) = 0;
  // Draws a system file icon transparently into rect (stretched when rect
  // differs from the icon size).
  virtual void DrawSystemIcon(int index, bool large, const Rect& rect) = 0;
};

}  // namespace htmlabel
