// Desktop services on GTK 3.24 under X11 (on a Wayland session through XWayland). The main menu is a menu
// bar inside the main window (Command is Ctrl); the status item is an Ayatana AppIndicator labelled with its
// title, whose menu is also exported over D-Bus; on a Wayland session whose panel shows no status items, the
// same menu is also in the menu bar. Global keys: XInput2 on X11 (no permission needed), the desktop's
// global shortcut portal on Wayland, else XInput2 through XWayland (keys of X11 windows only); Wayland
// without XWayland runs on GDK's Wayland backend, where the panels are windows the desktop places and the
// capture sees the game only through the screen-cast portal.
#include "platform/gtk/gtk_desktop.h"

#include <algorithm>
#include <utility>

#include <gdk/gdkx.h>
#include <libayatana-appindicator/app-indicator.h>
#include <webkit2/webkit2.h>

#include "app/app.h"
// Made by glib-compile-resources from resources/icons.gresource.xml: the icons built into the binary.
extern "C" void quillmere_icons_register_resource();
#include "platform/gtk/coords.h"
#include "platform/gtk/main_loop.h"
#include "platform/gtk/x11/focus.h"
#include "platform/gtk/x11/key_monitor.h"

namespace qm::gtk {
namespace {

class GtkTimer : public Timer {
 public:
  explicit GtkTimer(std::function<void(Timer&)> t) : tick(std::move(t)) {}
  void invalidate() override {
    if (source) g_source_remove(std::exchange(source, 0));
  }
  static gboolean fire(gpointer data) {
    auto* self = static_cast<std::shared_ptr<GtkTimer>*>(data)->get();
    self->tick(*self);
    if (self->source) return G_SOURCE_CONTINUE;
    return G_SOURCE_REMOVE;
  }
  std::function<void(Timer&)> tick;
  guint source = 0;
};

const char* editingCommand(StandardAction a) {
  switch (a) {
    case StandardAction::Undo: return WEBKIT_EDITING_COMMAND_UNDO;
    case StandardAction::Cut: return WEBKIT_EDITING_COMMAND_CUT;
    case StandardAction::Copy: return WEBKIT_EDITING_COMMAND_COPY;
    case StandardAction::Paste: return WEBKIT_EDITING_COMMAND_PASTE;
    case StandardAction::SelectAll: return WEBKIT_EDITING_COMMAND_SELECT_ALL;
    default: return nullptr;
  }
}

// As X tells it where it can: the overlay takes the keyboard from X directly, past the window manager.
bool hasKeyboard(GtkWindow* w) {
  GdkWindow* gw = gtk_widget_get_window(GTK_WIDGET(w));
  if (!gw || !gtk_widget_get_visible(GTK_WIDGET(w))) return false;
  return GDK_IS_X11_WINDOW(gw) ? hasFocus(gw) : gtk_window_has_toplevel_focus(w);
}

constexpr const char* kIconResources = "/app/quillmere/Quillmere/icons";
constexpr const char* kStatusIcon = "quillmere-status";

// The icons come from the binary, so they show run from anywhere. The status item's host reads its icon
// from a file: the binary's copy is written to a folder of the user's own for it; none if it cannot be.
std::string installIcons() {
  quillmere_icons_register_resource();
  gtk_icon_theme_add_resource_path(gtk_icon_theme_get_default(), kIconResources);
  gtk_window_set_default_icon_name("quillmere");
  std::string file = std::string(kStatusIcon) + ".svg";
  g_autoptr(GBytes) svg = g_resources_lookup_data((std::string(kIconResources) + "/scalable/apps/" + file).c_str(),
                                                  G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  if (!svg) return {};
  g_autofree char* dir = g_build_filename(g_get_user_runtime_dir(), "quillmere", "icons", nullptr);
  g_autofree char* path = g_build_filename(dir, file.c_str(), nullptr);
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(svg, &size));
  bool written =
      g_mkdir_with_parents(dir, 0700) == 0 && g_file_set_contents(path, data, static_cast<gssize>(size), nullptr);
  if (!written) return {};
  // The status item's tray fallback reads past the end of the theme's search path while its folder is not in it.
  gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), dir);
  return dir;
}

}  // namespace

class GtkAlert : public ModalAlert {
 public:
  GtkAlert(std::set<GtkDialog*>& running, GtkWindow* parent, const std::string& message, const std::string& informative,
           const std::vector<std::string>& buttons)
      : running(running),
        dialog(GTK_DIALOG(gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE, "%s",
                                                 message.c_str()))) {
    if (!informative.empty()) setInformativeText(informative);
    wrapWithinWords();
    for (std::size_t i = 0; i < buttons.size(); ++i)
      gtk_dialog_add_button(dialog, buttons[i].c_str(), static_cast<int>(i));
    gtk_dialog_set_default_response(dialog, 0);
    gtk_window_set_title(GTK_WINDOW(dialog), "Quillmere");
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    // wlroots' compositor maps a new window under a full-screen game, but gives its keyboard to an
    // override-redirect dialog when it maps: there the alert floats in the screen's middle and, once mapped,
    // grabs the X keyboard (its window manager takes back any X focus change).
    if (wlrootsWindowManager(gtk_widget_get_screen(GTK_WIDGET(dialog)))) {
      floats = true;
      gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
      gtk_widget_realize(GTK_WIDGET(dialog));
      gdk_window_set_override_redirect(gtk_widget_get_window(GTK_WIDGET(dialog)), TRUE);
    }
    g_signal_connect(dialog, "map-event", G_CALLBACK(+[](GtkWidget* w, GdkEvent*, gpointer self) -> gboolean {
                       auto* me = static_cast<GtkAlert*>(self);
                       GdkWindow* gw = gtk_widget_get_window(w);
                       if (me->floats)
                         gdk_seat_grab(gdk_display_get_default_seat(gdk_window_get_display(gw)), gw,
                                       GDK_SEAT_CAPABILITY_KEYBOARD, TRUE, nullptr, nullptr, nullptr, nullptr);
                       else if (me->inFront)
                         focusAsAsked(gw);
                       return FALSE;
                     }),
                     this);
  }
  ~GtkAlert() override { gtk_widget_destroy(GTK_WIDGET(dialog)); }
  // The app was activated for this alert: it comes up over the game with the keyboard, whatever window
  // was used last. Other alerts (the update offer, the session warning) leave the keyboard where it is.
  void comeToFront() {
    inFront = true;
    if (gtk_widget_get_mapped(GTK_WIDGET(dialog))) focusAsAsked(gtk_widget_get_window(GTK_WIDGET(dialog)));
  }
  void setInformativeText(const std::string& text) override {
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", text.c_str());
  }
  // A server's text with no blanks in it wraps too, and the lines are as wide whatever the text: the
  // dialog keeps its width when its text changes (the key picker's does).
  void wrapWithinWords() {
    GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
    g_autoptr(GList) children = gtk_container_get_children(GTK_CONTAINER(area));
    for (GList* child = children; child; child = child->next)
      if (GTK_IS_LABEL(child->data)) {
        GtkLabel* label = GTK_LABEL(child->data);
        gtk_label_set_line_wrap_mode(label, PANGO_WRAP_WORD_CHAR);
        gtk_label_set_width_chars(label, gtk_label_get_max_width_chars(label));
      }
  }
  int run() override {
    running.insert(dialog);
    int answer = gtk_dialog_run(dialog);
    running.erase(dialog);
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(dialog));
    if (floats) gdk_seat_ungrab(gdk_display_get_default_seat(display));
    // Given before the unmap: a keyboard that leaves with the alert goes where X or the window manager choose
    // (openbox: its focus order, perhaps our main window, whose late answer could take it from the game).
    if (keyboardAfter) giveFocusTo(display, keyboardAfter), focusAsAsked(display, keyboardAfter);
    gtk_widget_hide(GTK_WIDGET(dialog));
    return answer >= 0 ? answer : -1;
  }
  void returnKeyboardTo(std::uint64_t owner) override { keyboardAfter = owner; }
  void answerByClick() override {
    gtk_window_set_default(GTK_WINDOW(dialog), nullptr);
    for (int i = 0; GtkWidget* button = gtk_dialog_get_widget_for_response(dialog, i); ++i)
      gtk_widget_set_can_focus(button, FALSE);
  }

 private:
  std::set<GtkDialog*>& running;
  GtkDialog* dialog;
  unsigned long keyboardAfter = 0;
  bool inFront = false;
  bool floats = false;  // override-redirect, on wlroots
};

struct GtkDesktop::Indicator {
  AppIndicator* item = nullptr;
  ~Indicator() {
    if (item) g_object_unref(item);
  }
};

GtkDesktop::GtkDesktop(GtkApplication* a, SessionKind kind, Note n)
    : app(a), session(kind), note(std::move(n)), keys(G_APPLICATION(a), kind, note), iconFolder(installIcons()) {}

void GtkDesktop::noteSession() {
  bool host = statusNotifierHost(g_application_get_dbus_connection(G_APPLICATION(app)));
  note("Session: " + sessionName(session) + ", status notifier host: " + (host ? "yes" : "none"));
}

GtkDesktop::~GtkDesktop() = default;

std::vector<Screen> GtkDesktop::screens() const {
  std::vector<Screen> list;
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return list;
  GdkMonitor* primary = gdk_display_get_primary_monitor(display);
  for (int i = 0; i < gdk_display_get_n_monitors(display); ++i) {
    GdkMonitor* m = gdk_display_get_monitor(display, i);
    GdkRectangle geometry, work;
    gdk_monitor_get_geometry(m, &geometry);
    gdk_monitor_get_workarea(m, &work);
    Screen s{fromX(geometry), fromX(work)};
    if (m == primary)
      list.insert(list.begin(), s);
    else
      list.push_back(s);
  }
  return list;
}

Point GtkDesktop::mouseLocation() const {
  GdkDisplay* display = gdk_display_get_default();
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
  int x = 0, y = 0;
  gdk_device_get_position(pointer, nullptr, &x, &y);
  return pointFromX(x, y);
}

bool GtkDesktop::leftButtonDown() const {
  GdkDisplay* display = gdk_display_get_default();
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
  GdkModifierType mask{};
  gdk_window_get_device_position(gdk_get_default_root_window(), pointer, nullptr, nullptr, &mask);
  return (mask & GDK_BUTTON1_MASK) != 0;
}

std::unique_ptr<Window> GtkDesktop::makeWindow(const WindowOptions& options, WindowDelegate* delegate) {
  auto window = std::make_unique<GtkAppWindow>(options, delegate, app);
  if (options.kind == WindowKind::Main) {
    mainWindow = window.get();
    GObjectPtr<GtkAccelGroup> accel(gtk_accel_group_new());
    gtk_window_add_accel_group(window->gtkWindow(), accel.get());
    GtkWidget* bar = gtk_menu_bar_new();
    for (const auto& menu : mainMenus) {
      GtkWidget* top = gtk_menu_item_new_with_label(menu.title.empty() ? "Quillmere" : menu.title.c_str());
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), buildMenu(menu.items, mainItems, accel.get()));
      gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
    }
    gtk_box_pack_start(window->box(), bar, FALSE, FALSE, 0);
    menuBar = bar;
    gtk_widget_show_all(bar);
  }
  return window;
}

void GtkDesktop::setMainMenu(const std::vector<Menu>& menus) { mainMenus = menus; }

GtkWidget* GtkDesktop::buildMenu(const std::vector<MenuItem>& items, std::list<MenuItem>& keep, GtkAccelGroup* accel) {
  GtkWidget* menu = gtk_menu_new();
  if (accel) gtk_menu_set_accel_group(GTK_MENU(menu), accel);
  for (const auto& item : items) {
    if (item.separator) {
      gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
      continue;
    }
    GtkWidget* widget = gtk_menu_item_new_with_label(item.title.c_str());
    gtk_widget_set_sensitive(widget, item.enabled);
    if (item.hasSubmenu()) {
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), buildMenu(item.submenu, keep, accel));
    } else {
      const MenuItem& kept = keep.emplace_back(item);
      using Target = std::pair<GtkDesktop*, const MenuItem*>;
      g_signal_connect_data(
          widget, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer data) {
            auto* target = static_cast<Target*>(data);
            target->first->perform(*target->second);
          }),
          new Target(this, &kept), [](gpointer data, GClosure*) { delete static_cast<Target*>(data); },
          GConnectFlags{});
      if (accel && !item.key.empty()) {
        auto mods = static_cast<GdkModifierType>((item.alt ? GDK_MOD1_MASK : GDK_CONTROL_MASK) |
                                                 (item.shift ? GDK_SHIFT_MASK : 0));
        guint key = item.key.size() == 1 ? gdk_unicode_to_keyval(item.key[0]) : gdk_keyval_from_name(item.key.c_str());
        gtk_widget_add_accelerator(widget, "activate", accel, key, mods, GTK_ACCEL_VISIBLE);
      }
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), widget);
  }
  gtk_widget_show_all(menu);
  return menu;
}

// Our window that has the keyboard, else the main window: never merely the newest one, a panel perhaps.
GtkWindow* GtkDesktop::keyboardWindow() const {
  for (GList* l = gtk_application_get_windows(app); l; l = l->next)
    if (hasKeyboard(GTK_WINDOW(l->data))) return GTK_WINDOW(l->data);
  return mainWindow ? mainWindow->gtkWindow() : nullptr;
}

void GtkDesktop::perform(const MenuItem& item) {
  if (item.action) return item.action(item);
  GtkWindow* target = keyboardWindow();
  switch (item.standard) {
    case StandardAction::Quit: terminate(); break;
    case StandardAction::About:
      gtk_show_about_dialog(parentWindow(), "program-name", "Quillmere", "version", VERSION.c_str(), "comments",
                            "The desktop companion for ER:LC.", "logo-icon-name", "quillmere", nullptr);
      break;
    case StandardAction::Minimize:
      if (target) gtk_window_iconify(target);
      break;
    default: {
      GtkWidget* focus = target ? gtk_window_get_focus(target) : nullptr;
      if (const char* command = editingCommand(item.standard); command && focus && WEBKIT_IS_WEB_VIEW(focus))
        webkit_web_view_execute_editing_command(WEBKIT_WEB_VIEW(focus), command);
    }
  }
}

void GtkDesktop::setStatusMenu(const std::string& title, const std::vector<MenuItem>& items) {
  if (!indicator) {
    indicator = std::make_unique<Indicator>();
    indicator->item = app_indicator_new("quillmere", kStatusIcon, APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
    // The installed icon where there is no copy of the binary's.
    if (!iconFolder.empty()) app_indicator_set_icon_theme_path(indicator->item, iconFolder.c_str());
    app_indicator_set_status(indicator->item, APP_INDICATOR_STATUS_ACTIVE);
  }
  // The icon reads as the title; the title names the item for the panel's tooltip and screen readers.
  app_indicator_set_title(indicator->item, title.c_str());
  std::list<MenuItem> fresh;
  GtkWidget* menu = buildMenu(items, fresh, nullptr);
  app_indicator_set_menu(indicator->item, GTK_MENU(menu));
  showStatusInMenuBar(title, items, fresh);
  statusItems.splice(statusItems.end(), fresh);  // earlier items stay valid for a menu still open
}

// X11 sessions keep their tray as it is; on Wayland, without a panel that shows the item, the menu bar has it.
void GtkDesktop::showStatusInMenuBar(const std::string& title, const std::vector<MenuItem>& items,
                                     std::list<MenuItem>& keep) {
  bool inBar = session != SessionKind::X11 && menuBar &&
               !statusNotifierHost(g_application_get_dbus_connection(G_APPLICATION(app)));
  if (inBar && !statusInMenuBar) {
    statusInMenuBar = gtk_menu_item_new_with_label(title.c_str());
    gtk_menu_shell_append(GTK_MENU_SHELL(menuBar), statusInMenuBar);
  }
  if (!statusInMenuBar) return;
  if (inBar) gtk_menu_item_set_submenu(GTK_MENU_ITEM(statusInMenuBar), buildMenu(items, keep, nullptr));
  gtk_widget_set_visible(statusInMenuBar, inBar);
}

std::shared_ptr<ModalAlert> GtkDesktop::makeAlert(const std::string& message, const std::string& informative,
                                                  const std::vector<std::string>& buttons) {
  auto alert = std::make_shared<GtkAlert>(runningAlerts, parentWindow(), message, informative, buttons);
  newestAlert = alert;
  return alert;
}

// A desktop gives the keyboard to a dialog's parent once the dialog closes (a Wayland one activates it, openbox
// puts a modal dialog's parent next in its focus order): the main window is the parent only while the player is
// in it, so that answering the MDT's question never takes the game's keyboard nor brings our window over it.
GtkWindow* GtkDesktop::parentWindow() const {
  GtkWindow* main = shownMainWindow();
  return main && gtk_window_is_active(main) ? main : nullptr;
}

GtkWindow* GtkDesktop::shownMainWindow() const {
  return mainWindow && mainWindow->visible() ? mainWindow->gtkWindow() : nullptr;
}

void GtkDesktop::openPanel(bool multiple, std::function<void(std::optional<std::vector<std::string>>)> done) {
  GtkFileChooserNative* chooser =
      gtk_file_chooser_native_new("Choose a file", nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, "Open", "Cancel");
  gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser), multiple);
  auto* pending = new std::function<void(std::optional<std::vector<std::string>>)>(std::move(done));
  g_signal_connect(chooser, "response", G_CALLBACK(+[](GtkNativeDialog* dialog, int response, gpointer data) {
                     std::unique_ptr<std::function<void(std::optional<std::vector<std::string>>)>> done(
                         static_cast<std::function<void(std::optional<std::vector<std::string>>)>*>(data));
                     std::optional<std::vector<std::string>> files;
                     if (response == GTK_RESPONSE_ACCEPT) {
                       files.emplace();
                       GSList* uris = gtk_file_chooser_get_uris(GTK_FILE_CHOOSER(dialog));
                       for (GSList* l = uris; l; l = l->next) files->push_back(static_cast<char*>(l->data));
                       g_slist_free_full(uris, g_free);
                     }
                     (*done)(files);
                     g_object_unref(dialog);
                   }),
                   pending);
  gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
}

// A dialog of our own rather than the portal's, so it can be kept above the MDT, which floats over everything.
void GtkDesktop::savePanel(const std::string& suggestedName, std::function<void(std::optional<std::string>)> done) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new("Save the file", parentWindow(), GTK_FILE_CHOOSER_ACTION_SAVE,
                                                  "Cancel", GTK_RESPONSE_CANCEL, "Save", GTK_RESPONSE_ACCEPT, nullptr);
  auto* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  // Where a browser saves: the download folder, else home; never the folder the app was started in.
  const char* downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  gtk_file_chooser_set_current_folder(chooser, downloads ? downloads : g_get_home_dir());
  if (!suggestedName.empty()) gtk_file_chooser_set_current_name(chooser, suggestedName.c_str());
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  using Done = std::function<void(std::optional<std::string>)>;
  g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog* d, int response, gpointer data) {
                     std::unique_ptr<Done> done(static_cast<Done*>(data));
                     std::optional<std::string> path;
                     if (response == GTK_RESPONSE_ACCEPT) {
                       g_autofree char* file = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(d));
                       if (file) path = file;
                     }
                     gtk_widget_destroy(GTK_WIDGET(d));
                     (*done)(path);
                   }),
                   new Done(std::move(done)));
  gtk_widget_show(dialog);
}

void GtkDesktop::openURL(const std::string& url) {
  g_autoptr(GError) error = nullptr;
  if (!g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error))
    note(std::string("Browser: the link could not be opened (") + error->message + ")");
}

// Activation hands the keyboard to an alert about to run, else to our most recent window that shows and
// takes it; it shows no window.
void GtkDesktop::activate() {
  if (auto alert = newestAlert.lock()) return alert->comeToFront();
  for (GList* l = gtk_application_get_windows(app); l; l = l->next) {
    GtkWindow* w = GTK_WINDOW(l->data);
    if (gtk_widget_get_visible(GTK_WIDGET(w)) && gtk_window_get_accept_focus(w)) return gtk_window_present(w);
  }
}

std::uint64_t GtkDesktop::keyboardOwner() const { return keyboardXWindow(gdk_display_get_default()); }

void GtkDesktop::terminate() {
  // A modal alert runs a loop of its own; it must end before the application's loop can.
  for (GtkDialog* dialog : std::set(runningAlerts)) gtk_dialog_response(dialog, GTK_RESPONSE_DELETE_EVENT);
  g_application_quit(G_APPLICATION(app));
}

std::shared_ptr<Timer> GtkDesktop::scheduleRepeating(double seconds, std::function<void(Timer&)> tick) {
  auto timer = std::make_shared<GtkTimer>(std::move(tick));
  timer->source = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(seconds * 1000), GtkTimer::fire,
                                     new std::shared_ptr<GtkTimer>(timer),
                                     [](gpointer d) { delete static_cast<std::shared_ptr<GtkTimer>*>(d); });
  return timer;
}

void GtkDesktop::postToMain(std::function<void()> work) { postToMainLoop(std::move(work)); }

bool GtkDesktop::keysTrusted(bool prompt) { return keys.trusted(prompt); }

bool GtkDesktop::keysLimited() const { return keys.limited(); }

bool GtkDesktop::addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) {
  return keys.addGlobalMonitor(std::move(handler));
}

void GtkDesktop::addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) {
  installLocalKeyMonitor(std::move(handler));
}

void GtkDesktop::offerShortcuts(const std::vector<Shortcut>& shortcuts, std::function<void()> changed) {
  keys.offer(shortcuts, std::move(changed));
}

std::optional<std::string> GtkDesktop::shortcutTrigger(const std::string& action) const { return keys.trigger(action); }

bool GtkDesktop::canChangeShortcuts() const { return keys.canChange(); }

void GtkDesktop::changeShortcuts() { keys.change(); }

KeysHelp GtkDesktop::keysHelp() const { return {"", keys.obstacle()}; }

// GNOME's window chooser opens on the parent's display: given our X11 window, it is an XWayland window too.
std::string GtkDesktop::portalParent() const {
  GtkWindow* main = shownMainWindow();
  GdkWindow* gw = main ? gtk_widget_get_window(GTK_WIDGET(main)) : nullptr;
  if (!gw || !GDK_IS_X11_WINDOW(gw)) return "";
  char name[32];
  g_snprintf(name, sizeof name, "x11:%lx", GDK_WINDOW_XID(gw));
  return name;
}

bool GtkDesktop::withoutXWayland() const { return session == SessionKind::WaylandOnly; }

bool GtkDesktop::compositing() const {
  GdkScreen* screen = gdk_screen_get_default();
  return screen && gdk_screen_is_composited(screen);
}

void GtkDesktop::onCompositingChanged(std::function<void()> changed) {
  GdkScreen* screen = gdk_screen_get_default();
  if (!screen) return;
  using Changed = std::function<void()>;
  g_signal_connect_data(
      screen, "composited-changed", G_CALLBACK(+[](GdkScreen*, gpointer data) { (*static_cast<Changed*>(data))(); }),
      new Changed(std::move(changed)), [](gpointer data, GClosure*) { delete static_cast<Changed*>(data); },
      GConnectFlags{});
}

}  // namespace qm::gtk
