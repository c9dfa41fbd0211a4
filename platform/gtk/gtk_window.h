// Windows and floating panels on GTK 3: X11, XWayland, and GDK's Wayland backend where no XWayland runs.
#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <optional>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/x11/focus.h"
#include "platform/window.h"

namespace qm::gtk {

class GtkAppWindow : public Window {
 public:
  GtkAppWindow(const WindowOptions& options, WindowDelegate* delegate, GtkApplication* app);
  ~GtkAppWindow() override;
  GtkAppWindow(const GtkAppWindow&) = delete;
  GtkAppWindow& operator=(const GtkAppWindow&) = delete;

  Rect frame() const override;
  void setFrame(const Rect& frame) override;
  void setOrigin(const Point& origin) override;
  void showAsKey() override;
  void showWithoutActivating() override;
  void hide() override;
  bool visible() const override;
  void setAlpha(double alpha) override;
  void setContent(WebView& view) override;
  void whenDrawn(std::function<void()> then) override;
  void setBubbleContent(const BubbleStyle& style, BubbleHandlers handlers) override;
  std::optional<Rect> screenVisibleFrame() const override;
  bool knowsPosition() const override;

  GtkWindow* gtkWindow() const { return GTK_WINDOW(window.get()); }
  GtkBox* box() const { return GTK_BOX(layout); }
  WindowKind kind() const { return options.kind; }

 private:
  struct Extents {
    int left = 0, right = 0, top = 0, bottom = 0;
  };
  Extents extents() const;
  Extents placingExtents() const;
  void placeOnceDecorated();
  void place(const Rect& rect, bool isFrame);
  void showAtLastFrame();
  void applyShape(int width, int height);
  void showPointingHand();
  void showLoading();
  static gboolean onFirstDraw(GtkWidget*, cairo_t*, gpointer self);
  static gboolean onDrawn(gpointer self);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onMap(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onConfigure(GtkWidget*, GdkEventConfigure* e, gpointer self);
  static gboolean onDrawBubble(GtkWidget* w, cairo_t* cr, gpointer self);
  static gboolean onButton(GtkWidget*, GdkEventButton* e, gpointer self);
  static gboolean onMotion(GtkWidget*, GdkEventMotion* e, gpointer self);

  WindowOptions options;
  WindowDelegate* delegate;
  GObjectPtr<GtkWidget> window;
  GtkWidget* layout = nullptr;        // owned by the window
  GtkWidget* loading = nullptr;       // the page's place under the loading words, owned by the window
  GtkWidget* loadingWords = nullptr;  // gone once the first page commits
  std::function<void()> afterDraw;
  gulong drawnWatch = 0;
  SourceScope drawnTimer;
  SignalScope signals;
  std::optional<Rect> hiddenFrame;       // the frame a hidden window had on screen
  std::optional<Extents> hiddenExtents;  // the decorations it had then
  std::optional<Rect> pendingPlace;      // placed again once the decorations are known
  bool pendingIsFrame = false;
  int decorationWaits = 0;
  SourceScope pendingTimer;
  int shapedWidth = 0, shapedHeight = 0;
  BubbleStyle bubbleStyle;
  BubbleHandlers bubbleHandlers;
  bool pressed = false;
  // Edge resizing of the borderless overlay, done here: no window manager handles an unmanaged panel.
  struct Resize {
    GdkWindowEdge edge;
    GdkRectangle start;
    double pointerX, pointerY;
  };
  std::optional<GdkWindowEdge> edgeAt(double x, double y) const;
  void resizeTo(double pointerX, double pointerY);
  void takeKeyboard(guint32 time);
  void remapAs(bool managed);
  void showWhenBackOnRoot();
  static gboolean onFocusOut(GtkWidget*, GdkEvent*, gpointer self);
  bool backOnRoot() const;
  void activateOrMapAgain();
  void grabKeyboard();
  void giveKeyboardBack();
  static gboolean onLeave(GtkWidget*, GdkEventCrossing* e, gpointer self);
  static void onRealize(GtkWidget* w, gpointer self);
  unsigned long keyboardOwner = 0;  // the X window that had the keyboard before a click took it
  // Under XWayland the compositor gives its keyboard to no override-redirect window (KWin), or to none of a
  // utility's type (wlroots): a click into the overlay makes it a managed keep-above window, activated by the
  // click, or an override-redirect one of a normal type with the X keyboard grabbed, until it hides.
  bool keysByActivation = false;
  bool managed = false;  // wanted: a window the compositor gives the keyboard
  bool keyed = false;    // now: such a window
  bool floating = true;  // now: override-redirect
  bool grabbed = false;  // the X keyboard, on wlroots
  guint32 clickTime = 0;
  int remapTries = 0;
  SourceScope remapTimer;  // waits for the root, then for the activation
  int activations = 0;
  bool activeHere = false;  // the desktop made the managed panel its active window
  std::unique_ptr<RestackWatch> keepOnTop;
  std::optional<Resize> resizing;
};

}  // namespace qm::gtk
