// The markup the label benchmarks lay out: the welcome window's link, and a
// sample of about 4 KB that uses every tag the renderer knows.
#pragma once

#include <string>

namespace bench {

// The welcome window's link label, in its 145 x 17 box.
inline constexpr char kWelcomeMarkup[] =
    "<A href=\"http://www.velmo.com\">Visit www.velmo.com now</A>";

// About 4 KB of markup with every tag: paragraphs with alignment, indent and
// backgrounds (plain and gradient), fonts, styles, anchors, lists, shadow,
// highlight, error marks, blinking, rotated, hidden, sub- and superscript
// text, positions, rules, images and entities. The body's background comes
// once, at the start, as in a real label (each BODY tag fills the whole
// rectangle again).
inline std::string MarkupSample() {
  std::string sample = "<BODY BGCOLOR=\"clWhite\">";
  const std::string block =
      "<P ALIGN=\"LEFT\">Plain text with <B>bold</B>, <I>italic</I>, <U>underlined</U> and "
      "<S>struck</S> words, an <A href=\"http://www.velmo.com/page\">anchor to a page</A> and "
      "a <A href=\"mailto:info@velmo.com\">mail address</A>.</P>"
      "<P ALIGN=\"CENTER\" BGCOLOR=\"clYellow\">A centred paragraph on yellow &amp; more "
      "&lt;text&gt; with &copy; &reg; &trade; &euro; signs.</P>"
      "<P ALIGN=\"RIGHT\" INDENT=\"10\" BGCOLOR=\"#E0E0FF\" BGCOLORTO=\"#FFFFFF\">Right aligned "
      "on a gradient</P><BR>"
      "<FONT FACE=\"Arial\" SIZE=\"3\" COLOR=\"clRed\" BGCOLOR=\"#FFFFC0\">Red twelve point "
      "text</FONT> then <FONT SIZE=\"5\">sixteen point</FONT> text.<BR>"
      "<UL><LI>first item<LI>second item with <SH>shadow</SH></UL>"
      "H<SUB>2</SUB>O and E=mc<SUP>2</SUP>, <HI>highlighted</HI>, <E>misspeled</E>, "
      "<BL>blinking</BL>, <Z>hidden text</Z><R a=\"10\">rotated</R><IND x=\"220\">at 220 "
      "<IMG SRC=\"IDX:0\"> image<HR>"
      "Closing words of the block, long enough to wrap over several "
      "lines of the rectangle that the label lays its text out in.<BR>";
  while (sample.size() + block.size() <= 4096)
    sample += block;
  return sample;
}

// About 4 KB of markup with pictures: named pictures at natural size,
// stretched and inside an anchor, image-list images and a system file icon,
// over a body whose background picture is tiled over its whole rectangle.
// The pictures are "logo" (24 x 16) and "paper" (7 x 5) of the container and
// images 0 and 1 of the image list (16 x 16).
inline std::string PictureSample() {
  std::string sample = "<BODY BGCOLOR=\"clWhite\" BACKGROUND=\"paper\">";
  const std::string block =
      "<P ALIGN=\"LEFT\">A picture <IMG SRC=\"logo\"> in the text, a stretched one "
      "<IMG SRC=\"logo\" WIDTH=\"48\" HEIGHT=\"24\">, list images <IMG SRC=\"IDX:0\">"
      "<IMG SRC=\"IDX:1\"> and a file icon <IMG SRC=\"SSYS:.txt\"> beside "
      "<A href=\"http://www.velmo.com\">a linked <IMG SRC=\"logo\" ALIGN=\"MIDDLE\"> "
      "picture</A>.</P>"
      "<B>Bold words</B> and plain ones after the pictures, long enough to wrap over several "
      "lines of the rectangle that the label lays its text out in.<BR>";
  while (sample.size() + block.size() <= 4096)
    sample += block;
  return sample;
}

}  // namespace bench
