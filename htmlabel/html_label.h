// THTMLabel: a window-less label whose text is markup. It paints the markup
// with DrawHTML, shows the hand cursor over anchors, raises events when the
// mouse enters and leaves them, gives anchor and full-text hints, and opens a
// clicked web or mail address with the shell (any other anchor goes to
// OnAnchorClick).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/label.h"
#include "framework/string_list.h"
#include "htmlabel/anchor_tracker.h"
#include "htmlabel/draw_html.h"
#include "htmlabel/label_layout.h"
#include "htmlabel/picture_cache.h"
#include "htmlabel/picture_container.h"

namespace htmlabel {

// An anchor event: sender and the anchor's target.
using TAnchorClick = std::function<void(fw::TObject* sender, const std::string& anchor)>;
// The anchor hint event: sender and the anchor's target, which the handler may change.
using TAnchorHintEvent = std::function<void(fw::TObject* sender, std::string& anchor)>;

// The HTML label control.
class THTMLabel : public fw::TLabel {
 public:
  // Raised for a click on an anchor that is neither a web nor a mail address.
  TAnchorClick OnAnchorClick;
  // Raised when the mouse enters an anchor (also straight from another one).
  TAnchorClick OnAnchorEnter;
  // Raised with an empty text when the mouse leaves the anchors.
  TAnchorClick OnAnchorExit;
  // Raised before an anchor's target is shown as the hint.
  TAnchorHintEvent OnAnchorHint;

  // A label owned by owner with the defaults of every property.
  explicit THTMLabel(fw::TComponent* owner);
  ~THTMLabel() override;

  // "THTMLabel".
  std::string ClassName() const override { return "THTMLabel"; }
  // HTMLText (a string: its lines become one), URLColor, Hover, HoverColor,
  // HoverFontColor, ShadowColor, ShadowOffset, AnchorHint, HintShowFull,
  // HTMLHint, AutoSizing, AutoSizeType, VAlignment, Ellipsis, BevelInner,
  // BevelOuter, BevelWidth, BorderWidth, BorderStyle, Align, PictureContainer
  // (the name of a container of the same owner) and the properties of labels.
  bool SetProperty(std::string_view name, const fw::PropertyValue& value) override;
  // Empties the caption again once the description is applied and finds the
  // picture container the description named.
  void Loaded() override;

  // The markup list; every change of it repaints.
  fw::TStringList& HTMLText() { return html_text_; }
  // Stores the whole text of lines as one line, line breaks removed.
  void SetHTMLText(const fw::TStringList& lines);
  // The same for a text whose lines are separated by CR, LF or CR LF.
  void SetHTMLText(std::string_view text);

  // Anchor text colour.
  htmlabel::Color URLColor() const { return look_.url_color; }
  // Sets the anchor text colour (repaints when it changes).
  void SetURLColor(htmlabel::Color color);
  // True when only the hovered anchor is underlined and hover-coloured.
  bool Hover() const { return look_.hover; }
  // Switches hover highlighting.
  void SetHover(bool value);
  // Background of the hovered anchor (clNone: none).
  htmlabel::Color HoverColor() const { return look_.hover_color; }
  // Sets the hovered anchor's background.
  void SetHoverColor(htmlabel::Color color);
  // Text colour of the hovered anchor (clNone: none).
  htmlabel::Color HoverFontColor() const { return look_.hover_font_color; }
  // Sets the hovered anchor's text colour.
  void SetHoverFontColor(htmlabel::Color color);
  // Shadow text colour.
  htmlabel::Color ShadowColor() const { return look_.shadow_color; }
  // Sets the shadow text colour.
  void SetShadowColor(htmlabel::Color color);
  // Shadow offset in pixels.
  int ShadowOffset() const { return look_.shadow_offset; }
  // Sets the shadow offset.
  void SetShadowOffset(int offset);
  // True when the anchor's target is the hint over an anchor.
  bool AnchorHint() const { return anchor_hint_; }
  // Sets AnchorHint.
  void SetAnchorHint(bool value) { anchor_hint_ = value; }
  // True when the whole text is the hint away from anchors.
  bool HintShowFull() const { return hint_show_full_; }
  // Sets HintShowFull.
  void SetHintShowFull(bool value) { hint_show_full_ = value; }
  // True when the full hint is the markup itself rather than its plain text.
  bool HTMLHint() const { return html_hint_; }
  // Sets HTMLHint.
  void SetHTMLHint(bool value) { html_hint_ = value; }
  // True when the control takes the size of its text.
  bool AutoSizing() const { return look_.auto_sizing; }
  // Switches automatic sizing; turned on, an aligned control first gets a
  // small width or height, then grows to its text when painted.
  void SetAutoSizing(bool value);
  // Which dimension automatic sizing changes.
  TAutoSizeType AutoSizeType() const { return look_.auto_size_type; }
  // Sets AutoSizeType and applies AutoSizing again.
  void SetAutoSizeType(TAutoSizeType type);
  // Vertical placement of the text.
  TVAlignment VAlignment() const { return look_.valignment; }
  // Sets the vertical placement (repaints when it changes).
  void SetVAlignment(TVAlignment alignment);
  // True when lines are not wrapped and end in an ellipsis.
  bool Ellipsis() const { return look_.ellipsis; }
  // Sets Ellipsis (repaints when it changes).
  void SetEllipsis(bool value);
  // Inner bevel.
  TBevelCut BevelInner() const { return look_.bevel_inner; }
  // Sets the inner bevel.
  void SetBevelInner(TBevelCut cut);
  // Outer bevel.
  TBevelCut BevelOuter() const { return look_.bevel_outer; }
  // Sets the outer bevel.
  void SetBevelOuter(TBevelCut cut);
  // Bevel width in pixels.
  int BevelWidth() const { return look_.bevel_width; }
  // Sets the bevel width.
  void SetBevelWidth(int width);
  // Border width in pixels.
  int BorderWidth() const { return look_.border_width; }
  // Sets the border width.
  void SetBorderWidth(int width);
  // The label's own border.
  TLabelBorderStyle BorderStyle() const { return look_.border_style; }
  // Sets the border style.
  void SetBorderStyle(TLabelBorderStyle style);
  // Alignment in the parent (read by automatic sizing).
  TAlign Align() const { return look_.align; }
  // Sets the alignment.
  void SetAlign(TAlign align);
  // The number (from 1) of the anchor under the mouse, -1 for none.
  int HoverAnchor() const { return tracker_.HoverIndex(); }
  // Images for IMG sources "IDX:", or null.
  const TImageList* Images() const { return images_; }
  // Sets the image list (not owned) and repaints.
  void SetImages(const TImageList* images);
  // Named pictures for IMG and BODY BACKGROUND, or null.
  TPictureContainer* PictureContainer() const { return picture_container_; }
  // Sets the picture container (not owned).
  void SetPictureContainer(TPictureContainer* container) { picture_container_ = container; }
  // The pictures named by address in the markup; emptied whenever the markup changes.
  THTMLPictureCache& PictureCache() { return picture_cache_; }

  // The markup: the lines of HTMLText joined with nothing between them.
  virtual std::string GetHTMLSource() const;
  // Called after the markup changed: repaints.
  virtual void HTMLTextChanged();
  // Lays out markup with the label's own settings (focus index -1, word
  // wrapping unless Ellipsis); returns DrawHTML's result.
  virtual bool RenderHTML(DrawingSurface& surface, std::string_view markup,
                          const DrawHtmlArgs& args, DrawHtmlResults& results);
  // The anchor target under (x, y) of the label, empty for none, with its
  // box; records the hovered anchor's number.
  std::string AnchorAt(int x, int y, Rect* box);

  // Paints background, frames and markup; resizes when AutoSizing asks.
  void Paint(fw::TCanvas& canvas) override;
  // Tracks the anchor under the mouse: cursor, events, debug output, hover repaint.
  void MouseMove(unsigned keys, int x, int y) override;
  // Opens a clicked web or mail address, or raises OnAnchorClick.
  void MouseDown(fw::TMouseButton button, unsigned keys, int x, int y) override;
  // Forgets the hovered anchor.
  void MouseLeave() override;
  // The anchor's target over an anchor (AnchorHint), else the whole text (HintShowFull).
  int HintShow(fw::THintInfo& info) override;

 private:
  htmlabel::Font SurfaceFont();
  LabelLook Look();
  void Apply(const HoverActions& actions);
  void InvalidateBox(const Rect& box);

  fw::TStringList html_text_;
  THTMLPictureCache picture_cache_;
  const TImageList* images_ = nullptr;
  TPictureContainer* picture_container_ = nullptr;
  std::string picture_container_name_;  // from the description, found once it is loaded
  LabelLook look_;
  AnchorTracker tracker_;
  bool anchor_hint_ = false;
  bool hint_show_full_ = false;
  bool html_hint_ = false;
};

// Registers THTMLabel with the framework's component classes.
void RegisterHTMLabel();

// Writes the number of the hovered anchor, in decimal, to the debug output.
void WriteHoverDebugLine(int number);

}  // namespace htmlabel
