// Windows on GTK 3 under X11, with or without an EWMH window manager. The main window is a managed,
// decorated toplevel; its saved frame includes the decorations (_NET_FRAME_EXTENTS). Floating panels are
// unmanaged (override-redirect), so no window manager can stack a full-screen game above them; they are
// on every workspace, out of the taskbar and pager, and never take the focus when shown. A click into the
// overlay takes the keyboard, which goes back to the window that had it when the pointer leaves or the
// panel hides; a window that raises itself above them is covered again at once (without a window manager
// nothing else keeps them on top). Their round corners and the bubble's circle come from an input and
// bounding shape, so they work without a compositor (smooth edges and the alpha value show only with
// one). Under XWayland the compositor's keyboard goes only to managed windows (KWin) or to override-redirect
// ones not of a utility's type (wlroots): a click into the overlay makes it one for as long as it has the
// keyboard. Without XWayland (GDK's Wayland backend) windows have
// no position to read or set.
#include "platform/gtk/gtk_window.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/gtk/coords.h"
#include "platform/gtk/gtk_web.h"
#include "platform/gtk/session.h"

namespace qm::gtk {
namespace {

constexpr int kResizeBorder = 6;

// GTK counts a keyboard grab as no focus: the window is told, so that its page knows it has the keyboard.
void tellFocus(GtkWidget* window, bool in) {
  g_autoptr(GdkEvent) event = gdk_event_new(GDK_FOCUS_CHANGE);
  event->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
  event->focus_change.send_event = TRUE;
  event->focus_change.in = in;
  gtk_widget_send_focus_change(window, event);
}

// One of our modal dialogs (the key picker, an alert) is showing: the floating panels must not cover it.
bool modalShowing() {
  g_autoptr(GList) windows = gtk_window_list_toplevels();
  bool found = false;
  for (GList* w = windows; w && !found; w = w->next)
    found = gtk_window_get_modal(GTK_WINDOW(w->data)) && gtk_widget_get_visible(GTK_WIDGET(w->data));
  return found;
}

GdkMonitor* monitorOf(GtkWidget* w) {
  GdkWindow* gw = gtk_widget_get_window(w);
  GdkDisplay* display = gdk_display_get_default();
  if (gw) return gdk_display_get_monitor_at_window(display, gw);
  return nullptr;
}

void roundedPath(cairo_t* cr, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, w - r, r, r, -M_PI / 2, 0);
  cairo_arc(cr, w - r, h - r, r, 0, M_PI / 2);
  cairo_arc(cr, r, h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, r, r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

}  // namespace

GtkAppWindow::GtkAppWindow(const WindowOptions& opts, WindowDelegate* d, GtkApplication* app)
    : options(opts), delegate(d), window(adopt(gtk_window_new(GTK_WINDOW_TOPLEVEL))) {
  GtkWindow* w = gtkWindow();
  if (app) gtk_application_add_window(app, w);
  layout = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(w), layout);
  gtk_widget_show(layout);
  if (options.kind == WindowKind::Main) {
    gtk_window_set_title(w, options.title.c_str());
    GdkGeometry hints{};
    hints.min_width = static_cast<int>(options.minWidth);
    hints.min_height = static_cast<int>(options.minHeight);
    gtk_window_set_geometry_hints(w, nullptr, &hints, GDK_HINT_MIN_SIZE);
    g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr);
    GObjectPtr<GtkCssProvider> css(gtk_css_provider_new());
    char rule[128];
    g_snprintf(rule, sizeof rule, "window { background-color: rgba(%d,%d,%d,%.2f); }",
               static_cast<int>(options.background.r * 255), static_cast<int>(options.background.g * 255),
               static_cast<int>(options.background.b * 255), options.background.a);
    gtk_css_provider_load_from_data(css.get(), rule, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(window.get()), GTK_STYLE_PROVIDER(css.get()),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  } else {
    gtk_window_set_title(w, options.kind == WindowKind::Overlay ? "MDT" : "MDT bubble");
    gtk_window_set_decorated(w, FALSE);
    gtk_window_set_keep_above(w, TRUE);
    gtk_window_stick(w);
    gtk_window_set_skip_taskbar_hint(w, TRUE);
    gtk_window_set_skip_pager_hint(w, TRUE);
    gtk_window_set_accept_focus(w, FALSE);
    gtk_window_set_focus_on_map(w, FALSE);
    gtk_window_set_type_hint(w, GDK_WINDOW_TYPE_HINT_UTILITY);
    GdkScreen* screen = gtk_widget_get_screen(window.get());
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(screen)) gtk_widget_set_visual(window.get(), rgba);
    gtk_widget_set_app_paintable(window.get(), options.kind == WindowKind::Bubble);
    g_signal_connect(window.get(), "realize", G_CALLBACK(onRealize), this);
    keysByActivation = options.kind == WindowKind::Overlay && currentSession() == SessionKind::WaylandWithX;
    if (keysByActivation) g_signal_connect(window.get(), "focus-out-event", G_CALLBACK(onFocusOut), this);
    gtk_widget_add_events(window.get(), GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                            GDK_LEAVE_NOTIFY_MASK);
    g_signal_connect(window.get(), "leave-notify-event", G_CALLBACK(onLeave), this);
    // A managed panel is kept above by the window manager, and its own restacking would wake this again.
    keepOnTop = std::make_unique<RestackWatch>([this] {
      GdkWindow* gw = gtk_widget_get_window(window.get());
      if (gw && floating && gtk_widget_get_visible(window.get()) && !modalShowing()) gdk_window_raise(gw);
    });
    g_signal_connect(window.get(), "button-press-event", G_CALLBACK(onButton), this);
    g_signal_connect(window.get(), "button-release-event", G_CALLBACK(onButton), this);
    g_signal_connect(window.get(), "motion-notify-event", G_CALLBACK(onMotion), this);
  }
  g_signal_connect(window.get(), "delete-event", G_CALLBACK(onDelete), this);
  g_signal_connect(window.get(), "map-event", G_CALLBACK(onMap), this);
  g_signal_connect(window.get(), "configure-event", G_CALLBACK(onConfigure), this);
  signals.bind(window.get(), this);
  place(options.rect, options.rectIsFrame);
  if (!options.loadingText.empty()) showLoading();
}

GtkAppWindow::~GtkAppWindow() {
  if (window) gtk_widget_destroy(window.get());
}

GtkAppWindow::Extents GtkAppWindow::extents() const {
  GdkWindow* gw = gtk_widget_get_window(window.get());
  if (!gw || !gtk_widget_get_mapped(window.get()) || !gtk_window_get_decorated(gtkWindow())) return {};
  GdkRectangle outer;
  gdk_window_get_frame_extents(gw, &outer);
  int x, y;
  gdk_window_get_origin(gw, &x, &y);
  int w = gdk_window_get_width(gw), h = gdk_window_get_height(gw);
  return {x - outer.x, outer.x + outer.width - x - w, y - outer.y, outer.y + outer.height - y - h};
}

// A hidden window is placed with the decorations it had on screen; a new one learns them after its map.
GtkAppWindow::Extents GtkAppWindow::placingExtents() const {
  return gtk_widget_get_mapped(window.get()) ? extents() : hiddenExtents.value_or(Extents{});
}

void GtkAppWindow::place(const Rect& rect, bool isFrame) {
  pendingPlace.reset();  // the newest placement is the one kept
  pendingTimer.cancel();
  Extents e = placingExtents();
  GdkRectangle r = toX(rect);
  int w = r.width, h = r.height, x = r.x, y = r.y;
  if (isFrame) {
    w -= e.left + e.right;
    h -= e.top + e.bottom;
  } else {
    x -= e.left;
    y -= e.top;
  }
  gtk_window_move(gtkWindow(), x, y);
  gtk_window_resize(gtkWindow(), std::max(w, 1), std::max(h, 1));
  // Without a window manager no decorations are coming, and a placement made after the map would undo a
  // move the player made meanwhile.
  if (!gtk_widget_get_mapped(window.get()) && gtk_window_get_decorated(gtkWindow()) && !hiddenExtents &&
      windowManagerOf(gtk_widget_get_screen(window.get())) != WindowManager::none) {
    pendingPlace = rect;
    pendingIsFrame = isFrame;
  }
  applyShape(std::max(w, 1), std::max(h, 1));
}

Rect GtkAppWindow::frame() const {
  GdkWindow* gw = gtk_widget_get_window(window.get());
  if (!gw || !gtk_widget_get_mapped(window.get())) {
    if (hiddenFrame) return *hiddenFrame;
    int x, y, w, h;
    gtk_window_get_position(gtkWindow(), &x, &y);
    gtk_window_get_size(gtkWindow(), &w, &h);
    GdkRectangle r{x, y, w, h};
    return fromX(r);
  }
  GdkRectangle outer;
  gdk_window_get_frame_extents(gw, &outer);
  return fromX(outer);
}

void GtkAppWindow::setFrame(const Rect& f) {
  if (hiddenFrame) hiddenFrame = f;
  place(f, true);
}

void GtkAppWindow::setOrigin(const Point& origin) {
  Rect f = frame();
  GdkRectangle r = toX({origin.x, origin.y, f.w, f.h});
  gtk_window_move(gtkWindow(), r.x, r.y);
}

void GtkAppWindow::showAsKey() {
  showAtLastFrame();
  gtk_window_present_with_time(gtkWindow(), gtk_get_current_event_time());
}

void GtkAppWindow::showWithoutActivating() {
  showAtLastFrame();
  if (GdkWindow* gw = gtk_widget_get_window(window.get())) gdk_window_raise(gw);
}

// GTK forgets where the window manager or the user put a window once it is hidden: keep the frame so
// that it is stored and shown again as it was.
void GtkAppWindow::hide() {
  activeHere = false;  // no remap on the focus going
  giveKeyboardBack();
  remapTimer.cancel();
  if (gtk_widget_get_mapped(window.get())) {
    hiddenFrame = frame();
    hiddenExtents = extents();
  }
  gtk_widget_hide(window.get());
  managed = activeHere = false;  // the keyboard went with it: the panel floats again when shown
}

void GtkAppWindow::showAtLastFrame() {
  if (managed != keyed && gtk_widget_get_realized(window.get())) return showWhenBackOnRoot();
  if (auto last = std::exchange(hiddenFrame, std::nullopt)) place(*last, true);
  gtk_widget_show(window.get());
}

bool GtkAppWindow::visible() const { return gtk_widget_get_visible(window.get()); }

void GtkAppWindow::setAlpha(double alpha) { gtk_widget_set_opacity(window.get(), alpha); }

void GtkAppWindow::setContent(WebView& view) {
  GtkWidget* w = static_cast<GtkWebView&>(view).widget();
  if (loading) {
    gtk_container_add(GTK_CONTAINER(loading), w);
    // Tied to the words: the handler goes with them.
    g_signal_connect_object(w, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer words) {
                              if (event == WEBKIT_LOAD_COMMITTED) gtk_widget_destroy(GTK_WIDGET(words));
                            }),
                            loadingWords, GConnectFlags{});
  } else {
    gtk_box_pack_end(GTK_BOX(layout), w, TRUE, TRUE, 0);
  }
  gtk_widget_show(w);
  if (options.kind != WindowKind::Overlay) return;
  // The page covers the whole panel: see its clicks first, for the edges and for the keyboard.
  g_signal_connect(w, "button-press-event", G_CALLBACK(onButton), this);
  g_signal_connect(w, "button-release-event", G_CALLBACK(onButton), this);
  g_signal_connect(w, "motion-notify-event", G_CALLBACK(onMotion), this);
  g_signal_connect(w, "leave-notify-event", G_CALLBACK(onLeave), this);
}

// The window's words, over its page until the first page commits: the window says "wait" at once.
void GtkAppWindow::showLoading() {
  loading = gtk_overlay_new();
  GtkWidget* label = loadingWords = gtk_label_new(options.loadingText.c_str());
  GObjectPtr<GtkCssProvider> css(gtk_css_provider_new());
  gtk_css_provider_load_from_data(css.get(), "label { color: #a1a1aa; font-size: 15px; }", -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(label), GTK_STYLE_PROVIDER(css.get()),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  gtk_overlay_add_overlay(GTK_OVERLAY(loading), label);
  gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(loading), label, TRUE);
  gtk_box_pack_end(GTK_BOX(layout), loading, TRUE, TRUE, 0);
  gtk_widget_show_all(loading);
}

// After the first frame, or after a second if none comes (a desktop that keeps the window off screen).
void GtkAppWindow::whenDrawn(std::function<void()> then) {
  afterDraw = std::move(then);
  drawnWatch = g_signal_connect_after(window.get(), "draw", G_CALLBACK(onFirstDraw), this);
  drawnTimer.set(g_timeout_add_seconds(1, onDrawn, this));
}

gboolean GtkAppWindow::onFirstDraw(GtkWidget*, cairo_t*, gpointer self) {
  // The frame reaches the screen once this paint ends: the work waits for the loop's next turn.
  static_cast<GtkAppWindow*>(self)->drawnTimer.set(g_idle_add(onDrawn, self));
  return FALSE;
}

gboolean GtkAppWindow::onDrawn(gpointer self) {
  auto* me = static_cast<GtkAppWindow*>(self);
  me->drawnTimer.fired();
  if (me->drawnWatch) g_signal_handler_disconnect(me->window.get(), std::exchange(me->drawnWatch, 0));
  if (auto then = std::exchange(me->afterDraw, nullptr)) then();
  return G_SOURCE_REMOVE;
}

void GtkAppWindow::setBubbleContent(const BubbleStyle& style, BubbleHandlers handlers) {
  bubbleStyle = style;
  bubbleHandlers = std::move(handlers);
  g_signal_connect(window.get(), "draw", G_CALLBACK(onDrawBubble), this);
  applyShape(static_cast<int>(options.rect.w), static_cast<int>(options.rect.h));
  showPointingHand();
}

// The bubble is a button: the pointer says so. Set again on each map, as the window may be new.
void GtkAppWindow::showPointingHand() {
  if (GdkWindow* gw = gtk_widget_get_window(window.get())) {
    GObjectPtr<GdkCursor> pointer(gdk_cursor_new_from_name(gdk_display_get_default(), "pointer"));
    gdk_window_set_cursor(gw, pointer.get());
  }
}

std::optional<Rect> GtkAppWindow::screenVisibleFrame() const {
  GdkMonitor* m = monitorOf(window.get());
  if (!m) return std::nullopt;
  GdkRectangle area;
  gdk_monitor_get_workarea(m, &area);
  return fromX(area);
}

bool GtkAppWindow::knowsPosition() const { return GDK_IS_X11_DISPLAY(gtk_widget_get_display(window.get())); }

void GtkAppWindow::applyShape(int width, int height) {
  if (options.kind == WindowKind::Main || (width == shapedWidth && height == shapedHeight)) return;
  shapedWidth = width;
  shapedHeight = height;
  // A 1-bit mask: clean enough edges without a compositor, and clicks outside go through.
  cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A1, width, height);
  cairo_t* cr = cairo_create(mask);
  if (options.kind == WindowKind::Bubble)
    cairo_arc(cr, width / 2.0, height / 2.0, width / 2.0 - bubbleStyle.inset + 1, 0, 2 * M_PI);
  else
    roundedPath(cr, width, height, options.cornerRadius);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_region_t* region = gdk_cairo_region_create_from_surface(mask);
  gtk_widget_shape_combine_region(window.get(), region);
  gtk_widget_input_shape_combine_region(window.get(), region);
  cairo_region_destroy(region);
  cairo_surface_destroy(mask);
}

gboolean GtkAppWindow::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  auto* me = static_cast<GtkAppWindow*>(self);
  if (me->delegate) me->delegate->windowWillClose(*me);
  me->hide();
  return TRUE;  // closing only takes the window off the screen
}

gboolean GtkAppWindow::onMap(GtkWidget*, GdkEvent*, gpointer self) {
  auto* me = static_cast<GtkAppWindow*>(self);
  if (me->pendingPlace) {
    me->decorationWaits = 0;
    me->placeOnceDecorated();
  }
  if (me->options.kind == WindowKind::Bubble) me->showPointingHand();
  if (me->managed && me->floating)
    me->grabKeyboard();
  else if (me->managed)
    me->activateOrMapAgain();
  return FALSE;
}

// The window manager frames a new window some time after its map, later on a busy machine: wait for the
// decorations (up to 2 s) before putting the frame where it was asked.
void GtkAppWindow::placeOnceDecorated() {
  Extents e = extents();
  bool framed = e.left || e.right || e.top || e.bottom;
  if (!framed && ++decorationWaits < 40) {
    pendingTimer.set(g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
          auto* w = static_cast<GtkAppWindow*>(data);
          w->pendingTimer.fired();
          w->placeOnceDecorated();
          return G_SOURCE_REMOVE;
        },
        this));
    return;
  }
  if (auto rect = std::exchange(pendingPlace, std::nullopt)) place(*rect, pendingIsFrame);
}

gboolean GtkAppWindow::onConfigure(GtkWidget*, GdkEventConfigure* e, gpointer self) {
  static_cast<GtkAppWindow*>(self)->applyShape(e->width, e->height);
  return FALSE;
}

gboolean GtkAppWindow::onDrawBubble(GtkWidget* w, cairo_t* cr, gpointer self) {
  auto* me = static_cast<GtkAppWindow*>(self);
  const auto& s = me->bubbleStyle;
  double size = gtk_widget_get_allocated_width(w);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  double r = size / 2 - s.inset;
  cairo_arc(cr, size / 2, size / 2, r, 0, 2 * M_PI);
  cairo_set_source_rgba(cr, s.fill.r, s.fill.g, s.fill.b, s.fill.a);
  cairo_fill_preserve(cr);
  cairo_set_source_rgba(cr, s.outline.r, s.outline.g, s.outline.b, s.outline.a);
  cairo_set_line_width(cr, s.outlineWidth);
  cairo_stroke(cr);
  double iconSize = size - 2 * s.iconInset;
  g_autoptr(GdkPixbuf) icon = gtk_icon_theme_load_icon(gtk_icon_theme_get_default(), "quillmere",
                                                       static_cast<int>(iconSize), GTK_ICON_LOOKUP_FORCE_SIZE, nullptr);
  if (icon) {
    gdk_cairo_set_source_pixbuf(cr, icon, s.iconInset, s.iconInset);
    cairo_paint(cr);
  }
  return TRUE;
}

std::optional<GdkWindowEdge> GtkAppWindow::edgeAt(double x, double y) const {
  int w = gtk_widget_get_allocated_width(window.get()), h = gtk_widget_get_allocated_height(window.get());
  bool left = x < kResizeBorder, top = y < kResizeBorder;
  bool right = x > w - kResizeBorder, bottom = y > h - kResizeBorder;
  if (top && left) return GDK_WINDOW_EDGE_NORTH_WEST;
  if (top && right) return GDK_WINDOW_EDGE_NORTH_EAST;
  if (bottom && left) return GDK_WINDOW_EDGE_SOUTH_WEST;
  if (bottom && right) return GDK_WINDOW_EDGE_SOUTH_EAST;
  if (left) return GDK_WINDOW_EDGE_WEST;
  if (right) return GDK_WINDOW_EDGE_EAST;
  if (top) return GDK_WINDOW_EDGE_NORTH;
  if (bottom) return GDK_WINDOW_EDGE_SOUTH;
  return std::nullopt;
}

gboolean GtkAppWindow::onButton(GtkWidget*, GdkEventButton* e, gpointer self) {
  auto* me = static_cast<GtkAppWindow*>(self);
  if (e->button != 1) return FALSE;
  if (me->options.kind == WindowKind::Bubble) {
    me->pressed = e->type == GDK_BUTTON_PRESS;
    auto& h = me->bubbleHandlers;
    if (e->type == GDK_BUTTON_PRESS && h.down) h.down();
    if (e->type == GDK_BUTTON_RELEASE && h.up) h.up();
    return TRUE;
  }
  if (e->type == GDK_BUTTON_RELEASE && me->resizing) {
    me->resizing.reset();
    return TRUE;
  }
  if (e->type == GDK_BUTTON_PRESS) {
    int originX = 0, originY = 0;
    gdk_window_get_origin(gtk_widget_get_window(me->window.get()), &originX, &originY);
    if (auto edge = me->edgeAt(e->x_root - originX, e->y_root - originY)) {
      int x, y, w, h;
      gtk_window_get_position(me->gtkWindow(), &x, &y);
      gtk_window_get_size(me->gtkWindow(), &w, &h);
      me->resizing = Resize{*edge, {x, y, w, h}, e->x_root, e->y_root};
      return TRUE;
    }
    // A click into the overlay page takes the keyboard, so the user can type there.
    me->takeKeyboard(e->time);
  }
  return FALSE;
}

void GtkAppWindow::onRealize(GtkWidget* w, gpointer) {
  gdk_window_set_override_redirect(gtk_widget_get_window(w), TRUE);
}

void GtkAppWindow::takeKeyboard(guint32 time) {
  GdkWindow* gw = gtk_widget_get_window(window.get());
  if (!gw || !GDK_IS_X11_WINDOW(gw)) return;
  if (keysByActivation) {
    clickTime = time;
    if (managed && floating) return grabKeyboard();
    if (managed) return focusAsAsked(gw, time);
    return remapAs(true);
  }
  if (!hasFocus(gw)) keyboardOwner = focusedXWindow(gdk_window_get_display(gw));
  XSetInputFocus(GDK_WINDOW_XDISPLAY(gw), GDK_WINDOW_XID(gw), RevertToParent, time);
}

void GtkAppWindow::remapAs(bool wanted) {
  managed = wanted;
  activeHere = false;
  hiddenFrame = frame();
  gtk_widget_hide(window.get());
  showWhenBackOnRoot();
}

// KWin now and then never shows a window mapped again right after its unmap, and then takes no
// activation of it: the desktop's active window says whether it worked; if not, the panel is mapped again.
void GtkAppWindow::activateOrMapAgain() {
  focusAsAsked(gtk_widget_get_window(window.get()), clickTime);
  remapTimer.set(g_timeout_add(
      300,
      [](gpointer data) -> gboolean {
        auto* me = static_cast<GtkAppWindow*>(data);
        me->remapTimer.fired();
        GdkWindow* gw = gtk_widget_get_window(me->window.get());
        bool activated = activeXWindow(gdk_window_get_display(gw)) == GDK_WINDOW_XID(gw);
        me->activeHere = activated;
        if (!me->managed || activated || ++me->activations >= 5)
          me->activations = 0;
        else
          me->remapAs(true);
        return G_SOURCE_REMOVE;
      },
      this));
}

// wlroots' window manager puts the X focus back where the compositor has it: the keyboard is grabbed instead,
// and the compositor gave its own to the panel when it mapped or was clicked.
void GtkAppWindow::grabKeyboard() {
  GdkWindow* gw = gtk_widget_get_window(window.get());
  grabbed = gdk_seat_grab(gdk_display_get_default_seat(gdk_window_get_display(gw)), gw, GDK_SEAT_CAPABILITY_KEYBOARD,
                          TRUE, nullptr, nullptr, nullptr, nullptr) == GDK_GRAB_SUCCESS;
  activeHere = grabbed;
  if (grabbed) tellFocus(window.get(), true);
}

// The player went back to the game: a managed panel would go under its full screen, a floating one stays. On
// wlroots the pointer left the panel: only its unmap gives the compositor's keyboard back to the game.
gboolean GtkAppWindow::onFocusOut(GtkWidget* w, GdkEvent*, gpointer self) {
  auto* me = static_cast<GtkAppWindow*>(self);
  if (me->managed && me->activeHere && gtk_widget_get_mapped(w)) me->remapAs(false);
  return FALSE;
}

// A window the window manager let go of is put back on the root; mapped before that, KWin takes it off
// the screen again. Then the window changes kind (override-redirect or managed) and shows.
void GtkAppWindow::showWhenBackOnRoot() {
  if (!backOnRoot() && ++remapTries < 100) {
    remapTimer.set(g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
          auto* me = static_cast<GtkAppWindow*>(data);
          me->remapTimer.fired();
          me->showWhenBackOnRoot();
          return G_SOURCE_REMOVE;
        },
        this));
    return;
  }
  remapTries = 0;
  keyed = managed;
  bool byType = wlrootsWindowManager(gtk_widget_get_screen(window.get()));
  floating = !managed || byType;
  gdk_window_set_override_redirect(gtk_widget_get_window(window.get()), floating);
  gtk_window_set_type_hint(gtkWindow(), managed && byType ? GDK_WINDOW_TYPE_HINT_NORMAL : GDK_WINDOW_TYPE_HINT_UTILITY);
  gtk_window_set_accept_focus(gtkWindow(), managed);
  // KWin lets a window keep the focus only if its last user time is not 0 (GTK's "do not focus on map").
  gtk_window_set_focus_on_map(gtkWindow(), managed);
  if (managed) gdk_x11_window_set_user_time(gtk_widget_get_window(window.get()), clickTime);
  // The rounded input shape stops pointer motion reaching a managed window under KWin.
  shapedWidth = shapedHeight = 0;
  if (managed && !floating)
    gtk_widget_input_shape_combine_region(window.get(), nullptr);
  else
    applyShape(gtk_widget_get_allocated_width(window.get()), gtk_widget_get_allocated_height(window.get()));
  showAtLastFrame();
}

bool GtkAppWindow::backOnRoot() const {
  GdkWindow* gw = gtk_widget_get_window(window.get());
  GdkDisplay* display = gdk_window_get_display(gw);
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  ::Window root = None, parent = None, *children = nullptr;
  unsigned count = 0;
  gdk_display_sync(display);
  gdk_x11_display_error_trap_push(display);
  bool answered = XQueryTree(x, GDK_WINDOW_XID(gw), &root, &parent, &children, &count);
  gdk_x11_display_error_trap_pop_ignored(display);
  if (children) XFree(children);
  return answered && parent == root;
}

void GtkAppWindow::giveKeyboardBack() {
  GdkWindow* gw = gtk_widget_get_window(window.get());
  if (std::exchange(grabbed, false)) {
    gdk_seat_ungrab(gdk_display_get_default_seat(gdk_window_get_display(gw)));
    tellFocus(window.get(), false);
  }
  unsigned long owner = std::exchange(keyboardOwner, 0);
  if (owner && hasFocus(gw)) giveFocusTo(gdk_window_get_display(gw), owner);
}

gboolean GtkAppWindow::onLeave(GtkWidget*, GdkEventCrossing* e, gpointer self) {
  auto* me = static_cast<GtkAppWindow*>(self);
  GdkWindow* gw = gtk_widget_get_window(me->window.get());
  if (!gw || me->resizing) return FALSE;
  // Crossings into the page's own windows are not a leave: only a pointer outside the panel is.
  int x = 0, y = 0;
  gdk_window_get_origin(gw, &x, &y);
  bool outside = e->x_root < x || e->y_root < y || e->x_root >= x + gdk_window_get_width(gw) ||
                 e->y_root >= y + gdk_window_get_height(gw);
  if (outside) me->giveKeyboardBack();
  return FALSE;
}

void GtkAppWindow::resizeTo(double pointerX, double pointerY) {
  const Resize& r = *resizing;
  int dx = static_cast<int>(pointerX - r.pointerX), dy = static_cast<int>(pointerY - r.pointerY);
  int minW = std::max(static_cast<int>(options.minWidth), 2 * kResizeBorder + 1);
  int minH = std::max(static_cast<int>(options.minHeight), 2 * kResizeBorder + 1);
  GdkRectangle next = r.start;
  auto west =
      r.edge == GDK_WINDOW_EDGE_WEST || r.edge == GDK_WINDOW_EDGE_NORTH_WEST || r.edge == GDK_WINDOW_EDGE_SOUTH_WEST;
  auto east =
      r.edge == GDK_WINDOW_EDGE_EAST || r.edge == GDK_WINDOW_EDGE_NORTH_EAST || r.edge == GDK_WINDOW_EDGE_SOUTH_EAST;
  auto north =
      r.edge == GDK_WINDOW_EDGE_NORTH || r.edge == GDK_WINDOW_EDGE_NORTH_WEST || r.edge == GDK_WINDOW_EDGE_NORTH_EAST;
  auto south =
      r.edge == GDK_WINDOW_EDGE_SOUTH || r.edge == GDK_WINDOW_EDGE_SOUTH_WEST || r.edge == GDK_WINDOW_EDGE_SOUTH_EAST;
  if (east) next.width = std::max(minW, r.start.width + dx);
  if (south) next.height = std::max(minH, r.start.height + dy);
  if (west) {
    next.width = std::max(minW, r.start.width - dx);
    next.x = r.start.x + r.start.width - next.width;
  }
  if (north) {
    next.height = std::max(minH, r.start.height - dy);
    next.y = r.start.y + r.start.height - next.height;
  }
  gtk_window_move(gtkWindow(), next.x, next.y);
  gtk_window_resize(gtkWindow(), next.width, next.height);
  applyShape(next.width, next.height);
}

gboolean GtkAppWindow::onMotion(GtkWidget*, GdkEventMotion* e, gpointer self) {
  auto* me = static_cast<GtkAppWindow*>(self);
  if (me->resizing) {
    me->resizeTo(e->x_root, e->y_root);
    return TRUE;
  }
  if (me->options.kind == WindowKind::Bubble && me->pressed && me->bubbleHandlers.dragged) me->bubbleHandlers.dragged();
  return FALSE;
}

}  // namespace qm::gtk
