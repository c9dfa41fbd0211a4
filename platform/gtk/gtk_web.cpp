// Web views: WebKitGTK 4.1 (2.40 or later). Page messages, navigation and UI decisions are handed to the
// core's WebViewDelegate; this file only translates. WebKitGTK does not tell the frame a navigation targets
// (the response does), nor the origin of a media request (the view's address stands for it; WebKit's own
// permissions policy keeps other origins' frames from asking unless the page delegates to them).
#include "platform/gtk/gtk_web.h"

#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>
#include <libsoup/soup.h>

namespace qm::gtk {
namespace {

int navigationType(WebKitNavigationType type) {
  switch (type) {
    case WEBKIT_NAVIGATION_TYPE_LINK_CLICKED: return LinkActivated;
    case WEBKIT_NAVIGATION_TYPE_FORM_SUBMITTED: return FormSubmitted;
    case WEBKIT_NAVIGATION_TYPE_BACK_FORWARD: return BackForward;
    case WEBKIT_NAVIGATION_TYPE_RELOAD: return Reload;
    case WEBKIT_NAVIGATION_TYPE_FORM_RESUBMITTED: return FormResubmitted;
    default: return Other;
  }
}

std::optional<std::string> requestURI(WebKitNavigationAction* action) {
  WebKitURIRequest* request = action ? webkit_navigation_action_get_request(action) : nullptr;
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  if (!uri || !*uri) return std::nullopt;
  return std::string(uri);
}

struct TextAnswer {
  std::function<void(std::optional<std::string>)> answer;
};

// The script world of the relay: the page's scripts cannot reach it.
constexpr const char* kRelayWorld = "quillmere-relay";
constexpr const char* kViewKey = "quillmere-view";
constexpr const char* kGestureKey = "quillmere-players-click";

// The web process runs under bubblewrap, with its D-Bus through xdg-dbus-proxy, at the paths WebKit was
// built with. WebKit ends the app when it cannot spawn them, and a sandbox that cannot start ends every
// page, so they are tried first with the namespaces WebKit asks for.
constexpr const char* kBubblewrap = "/usr/bin/bwrap";
constexpr const char* kDBusProxy = "/usr/bin/xdg-dbus-proxy";

// Inside the sandbox there is no network: an X display is reached only through its socket file.
std::optional<std::string> unreachableDisplay() {
  if (!GDK_IS_X11_DISPLAY(gdk_display_get_default())) return std::nullopt;
  const char* display = g_getenv("DISPLAY");
  std::string name = display ? display : "";
  auto digits = name.size() > 1 && name[0] == ':' ? name.find_first_not_of("0123456789", 1) : 0;
  std::string number = digits == 0 ? "" : name.substr(1, digits == std::string::npos ? digits : digits - 1);
  if (!number.empty() && g_file_test(("/tmp/.X11-unix/X" + number).c_str(), G_FILE_TEST_EXISTS)) return std::nullopt;
  return "the X display " + name + " has no local socket";
}

// A Wayland display is reached by its name in the runtime folder (chooseBackend names one there so).
std::optional<std::string> unreachableWaylandDisplay() {
  const char* display = g_getenv("WAYLAND_DISPLAY");
  if (!GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default()) || !display || !g_path_is_absolute(display))
    return std::nullopt;
  return std::string("the Wayland display ") + display + " is outside the runtime folder";
}

std::optional<std::string> whyNoSandbox() {
  if (!g_file_test(kDBusProxy, G_FILE_TEST_IS_EXECUTABLE)) return std::string(kDBusProxy) + " is missing";
  if (auto display = unreachableDisplay()) return display;
  if (auto display = unreachableWaylandDisplay()) return display;
  const char* argv[] = {kBubblewrap,
                        "--die-with-parent",
                        "--unshare-pid",
                        "--unshare-uts",
                        "--unshare-net",
                        "--unshare-ipc",
                        "--ro-bind",
                        "/",
                        "/",
                        "--dev",
                        "/dev",
                        "--proc",
                        "/proc",
                        "--",
                        "/bin/true",
                        nullptr};
  g_autofree char* errors = nullptr;
  int status = 0;
  g_autoptr(GError) error = nullptr;
  bool ran = g_spawn_sync(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_STDOUT_TO_DEV_NULL, nullptr, nullptr,
                          nullptr, &errors, &status, &error);
  std::string problem = error ? error->message : errors ? g_strstrip(errors) : "";
  if (ran && g_spawn_check_wait_status(status, nullptr)) return std::nullopt;
  return problem.empty() ? std::string("bubblewrap failed") : problem;
}

std::string originOf(const std::string& url) {
  g_autoptr(GUri) uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (!uri) return {};
  std::string origin;
  if (const char* host = g_uri_get_host(uri)) {
    origin = std::string(g_uri_get_scheme(uri)) + "://" + host;
    if (g_uri_get_port(uri) != -1) origin += ":" + std::to_string(g_uri_get_port(uri));
  }
  return origin;
}

std::string reasonText(WebKitWebProcessTerminationReason reason) {
  switch (reason) {
    case WEBKIT_WEB_PROCESS_CRASHED: return "crashed";
    case WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT: return "over its memory limit";
    case WEBKIT_WEB_PROCESS_TERMINATED_BY_API: return "ended by the app";
    default: return "ended";
  }
}

std::string stringItem(JSCValue* array, guint index) {
  GObjectPtr<JSCValue> item(jsc_value_object_get_property_at_index(array, index));
  if (!jsc_value_is_string(item.get())) return {};
  g_autofree char* text = jsc_value_to_string(item.get());
  return text;
}

void drawAsCompositingAllows(GdkScreen* screen, WebKitSettings* settings) {
  webkit_settings_set_hardware_acceleration_policy(settings, gdk_screen_is_composited(screen)
                                                                 ? WEBKIT_HARDWARE_ACCELERATION_POLICY_ALWAYS
                                                                 : WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
}

}  // namespace

GtkWebView::GtkWebView(WebKitWebContext* context, const WebViewConfig& config, WebViewDelegate& d)
    : delegate(d), content(webkit_user_content_manager_new()) {
  g_autoptr(WebKitUserScript) script =
      webkit_user_script_new(config.userScript.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(content.get(), script);
  g_autoptr(WebKitUserScript) relay =
      webkit_user_script_new_for_world(config.relayScript.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                       WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kRelayWorld, nullptr, nullptr);
  webkit_user_content_manager_add_script(content.get(), relay);
  webkit_user_content_manager_register_script_message_handler_in_world(content.get(), config.messageHandler.c_str(),
                                                                       kRelayWorld);
  std::string signal = "script-message-received::" + config.messageHandler;
  g_signal_connect(content.get(), signal.c_str(), G_CALLBACK(onMessage), this);
  contentSignals.bind(content.get(), this);

  GObjectPtr<WebKitSettings> settings(webkit_settings_new_with_settings(
      "enable-developer-extras", config.developerExtras, "media-playback-requires-user-gesture",
      config.mediaNeedsGesture, "enable-media-stream", TRUE, "enable-webrtc", TRUE, nullptr));
  // On an X screen without a compositing manager WebKit's accelerated mode paints only the frames the page
  // renders: what a closed menu or dialog uncovered stays unpainted until the page changes. There the page
  // is drawn as GTK asks.
  GdkScreen* screen = gdk_screen_get_default();
  if (screen && GDK_IS_X11_SCREEN(screen)) {
    drawAsCompositingAllows(screen, settings.get());
    g_signal_connect_object(screen, "composited-changed", G_CALLBACK(+[](GdkScreen* changed, gpointer settings) {
                              drawAsCompositingAllows(changed, WEBKIT_SETTINGS(settings));
                            }),
                            settings.get(), GConnectFlags{});
  }
  view = GObjectPtr<WebKitWebView>(WEBKIT_WEB_VIEW(
      g_object_ref_sink(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "user-content-manager",
                                     content.get(), "settings", settings.get(), nullptr))));
  g_object_set_data(G_OBJECT(view.get()), kViewKey, this);
  defaultAgent = webkit_settings_get_user_agent(webkit_web_view_get_settings(view.get()));
  GdkRGBA under{config.underPageColor.r, config.underPageColor.g, config.underPageColor.b, config.underPageColor.a};
  webkit_web_view_set_background_color(view.get(), &under);

  g_signal_connect(view.get(), "decide-policy", G_CALLBACK(onDecidePolicy), this);
  g_signal_connect(view.get(), "create", G_CALLBACK(onCreate), this);
  g_signal_connect(view.get(), "permission-request", G_CALLBACK(onPermission), this);
  g_signal_connect(view.get(), "script-dialog", G_CALLBACK(onScriptDialog), this);
  g_signal_connect(view.get(), "run-file-chooser", G_CALLBACK(onFileChooser), this);
  g_signal_connect(view.get(), "web-process-terminated", G_CALLBACK(onTerminated), this);
  g_signal_connect(view.get(), "load-changed", G_CALLBACK(onLoadChanged), this);
  g_signal_connect(view.get(), "load-failed", G_CALLBACK(onLoadFailed), this);
  g_signal_connect(view.get(), "notify::uri", G_CALLBACK(onURI), this);
  g_signal_connect(view.get(), "button-press-event", G_CALLBACK(onBackButton), this);
  // WebKit hands a key back only once the page has not used it: after its own handler.
  g_signal_connect_after(view.get(), "key-press-event", G_CALLBACK(onUnhandledKey), this);
  viewSignals.bind(view.get(), this);
}

GtkWebView::~GtkWebView() = default;

void GtkWebView::load(const std::string& url, double timeoutSeconds) {
  // WebKitGTK has no per-request timeout: a load not under way by then is stopped and fails as timed out.
  loadDeadline.set(g_timeout_add(static_cast<guint>(timeoutSeconds * 1000), onLoadTimeout, this));
  webkit_web_view_load_uri(view.get(), url.c_str());
}

gboolean GtkWebView::onLoadTimeout(gpointer self) {
  auto* me = static_cast<GtkWebView*>(self);
  me->loadDeadline.fired();
  webkit_web_view_stop_loading(me->view.get());  // its own failure is a cancel, which is not reported
  me->delegate.onLoadFailed(*me, "The request timed out.");
  return G_SOURCE_REMOVE;
}

void GtkWebView::loadHTML(const std::string& html) { webkit_web_view_load_html(view.get(), html.c_str(), nullptr); }

void GtkWebView::reload() { webkit_web_view_reload(view.get()); }

bool GtkWebView::canGoBack() const { return webkit_web_view_can_go_back(view.get()) != FALSE; }

void GtkWebView::goBack() { webkit_web_view_go_back(view.get()); }

void GtkWebView::evaluate(const std::string& script) {
  webkit_web_view_evaluate_javascript(view.get(), script.data(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                      nullptr, nullptr, nullptr);
}

void GtkWebView::evaluateForText(const std::string& script, std::function<void(std::optional<std::string>)> answer) {
  auto* pending = new TextAnswer{std::move(answer)};
  webkit_web_view_evaluate_javascript(
      view.get(), script.data(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<TextAnswer> pending(static_cast<TextAnswer*>(data));
        GObjectPtr<JSCValue> value(
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr));
        std::optional<std::string> text;
        if (value && jsc_value_is_string(value.get())) {
          g_autofree char* s = jsc_value_to_string(value.get());
          text = s;
        }
        pending->answer(text);
      },
      pending);
}

std::optional<std::string> GtkWebView::url() const {
  const char* uri = webkit_web_view_get_uri(view.get());
  if (!uri || !*uri) return std::nullopt;
  return std::string(uri);
}

void GtkWebView::setCustomUserAgent(const std::optional<std::string>& agent) {
  webkit_settings_set_user_agent(webkit_web_view_get_settings(view.get()),
                                 agent ? agent->c_str() : defaultAgent.c_str());
}

void GtkWebView::onMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self) {
  // The relay runs in the top frame only and sends [the document's origin, the page's JSON text].
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (!value || !jsc_value_is_array(value)) return;
  auto* me = static_cast<GtkWebView*>(self);
  me->delegate.onMessage(*me, {true, stringItem(value, 0)}, stringItem(value, 1));
}

gboolean GtkWebView::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                    gpointer self) {
  auto* me = static_cast<GtkWebView*>(self);
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
    return me->decideResponse(WEBKIT_RESPONSE_POLICY_DECISION(decision));
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    webkit_policy_decision_use(decision);  // the pop-up request follows as "create"
    return TRUE;
  }
  auto* nav = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(nav);
  NavigationAction asked{requestURI(action), navigationType(webkit_navigation_action_get_navigation_type(action)),
                         std::nullopt, webkit_navigation_action_is_user_gesture(action) != FALSE,
                         webkit_navigation_action_is_redirect(action) != FALSE};
  g_object_ref(decision);
  bool answered = false, allowed = false;
  me->delegate.decidePolicy(*me, asked, [decision, &answered, &allowed](Policy p) {
    if (answered) return;
    answered = true;
    allowed = p == Policy::Allow;
    allowed ? webkit_policy_decision_use(decision) : webkit_policy_decision_ignore(decision);
  });
  if (!answered) webkit_policy_decision_ignore(decision);
  g_object_unref(decision);
  // A download it turns into counts as the player's only when the player's click started it.
  if (allowed) me->lastAllowed = {asked.url.value_or(""), asked.userGesture};
  return TRUE;
}

gboolean GtkWebView::decideResponse(WebKitResponsePolicyDecision* decision) {
  WebKitURIRequest* request = webkit_response_policy_decision_get_request(decision);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  WebKitURIResponse* answer = webkit_response_policy_decision_get_response(decision);
  NavigationResponse response{uri ? uri : "",
                              webkit_response_policy_decision_is_main_frame_main_resource(decision) != FALSE,
                              answer ? static_cast<int>(webkit_uri_response_get_status_code(answer)) : 0};
  if (delegate.decideResponse(*this, response) == Policy::Allow) return FALSE;  // WebKit shows it, or downloads it
  webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
  return TRUE;
}

void GtkWebView::onDownload(WebKitDownload* download) {
  WebKitURIRequest* request = webkit_download_get_request(download);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  bool playersClick = uri && lastAllowed.url == uri && lastAllowed.userGesture;
  g_object_set_data(G_OBJECT(download), kGestureKey, GINT_TO_POINTER(playersClick));
  g_signal_connect(download, "decide-destination", G_CALLBACK(onDecideDestination), this);
}

GtkWebView* GtkWebView::of(WebKitWebView* view) {
  return view ? static_cast<GtkWebView*>(g_object_get_data(G_OBJECT(view), kViewKey)) : nullptr;
}

gboolean GtkWebView::onDecideDestination(WebKitDownload* download, gchar* suggestedName, gpointer self) {
  auto* me = static_cast<GtkWebView*>(self);
  WebKitURIRequest* request = webkit_download_get_request(download);
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  DownloadRequest asked{uri ? uri : "", suggestedName ? suggestedName : "",
                        g_object_get_data(G_OBJECT(download), kGestureKey) != nullptr};
  g_object_ref(download);
  me->delegate.onDownload(*me, asked, [download](std::optional<std::string> path) {
    g_autofree char* uri = path ? g_filename_to_uri(path->c_str(), nullptr, nullptr) : nullptr;
    if (uri) {
      webkit_download_set_allow_overwrite(download, TRUE);  // the save dialog asked about replacing
      webkit_download_set_destination(download, uri);
    } else {
      webkit_download_cancel(download);
    }
    g_object_unref(download);
  });
  return TRUE;
}

GtkWidget* GtkWebView::onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self) {
  struct Popup {
    GtkWebView* view;
    std::optional<std::string> url;
    int type;
  };
  // Loading inside "create" itself is not reliable: answer from an idle callback.
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer data) -> gboolean {
        auto* p = static_cast<Popup*>(data);
        p->view->delegate.onPopup(*p->view, p->url, p->type);
        return G_SOURCE_REMOVE;
      },
      new Popup{static_cast<GtkWebView*>(self), requestURI(action),
                navigationType(webkit_navigation_action_get_navigation_type(action))},
      [](gpointer data) { delete static_cast<Popup*>(data); });
  return nullptr;
}

gboolean GtkWebView::onPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer self) {
  if (!WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) return FALSE;
  auto* me = static_cast<GtkWebView*>(self);
  std::string origin = originOf(me->url().value_or(""));
  me->delegate.allowMedia(*me, origin) ? webkit_permission_request_allow(request)
                                       : webkit_permission_request_deny(request);
  return TRUE;
}

gboolean GtkWebView::onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self) {
  auto* me = static_cast<GtkWebView*>(self);
  std::string message = webkit_script_dialog_get_message(dialog);
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT: me->delegate.onAlert(*me, message); return TRUE;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      webkit_script_dialog_confirm_set_confirmed(dialog, me->delegate.onConfirm(*me, message));
      return TRUE;
    default: return FALSE;
  }
}

gboolean GtkWebView::onFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer self) {
  auto* me = static_cast<GtkWebView*>(self);
  g_object_ref(request);
  me->delegate.onFileChooser(*me, webkit_file_chooser_request_get_select_multiple(request),
                             [request](std::optional<std::vector<std::string>> files) {
                               if (files) {
                                 std::vector<const char*> list;
                                 for (auto& f : *files) list.push_back(f.c_str());
                                 list.push_back(nullptr);
                                 webkit_file_chooser_request_select_files(request, list.data());
                               } else {
                                 webkit_file_chooser_request_cancel(request);
                               }
                               g_object_unref(request);
                             });
  return TRUE;
}

void GtkWebView::onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer self) {
  auto* me = static_cast<GtkWebView*>(self);
  me->delegate.onProcessTerminated(*me, reasonText(reason));
}

void GtkWebView::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  auto* me = static_cast<GtkWebView*>(self);
  if (event == WEBKIT_LOAD_STARTED) me->failedProvisionally = false;
  if (event == WEBKIT_LOAD_COMMITTED) me->loadDeadline.cancel();
  if (event != WEBKIT_LOAD_FINISHED) return;
  me->loadDeadline.cancel();
  // WebKitGTK finishes a failed load too; only a real finish counts.
  if (std::exchange(me->failedProvisionally, false)) return;
  me->delegate.onLoadFinished(*me);
}

gboolean GtkWebView::onLoadFailed(WebKitWebView*, WebKitLoadEvent event, gchar*, GError* error, gpointer self) {
  auto* me = static_cast<GtkWebView*>(self);
  if (event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_REDIRECTED) {
    me->failedProvisionally = true;
    if (!g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED))
      me->delegate.onLoadFailed(*me, error ? error->message : "");
  }
  return TRUE;  // keep the page that was there
}

void GtkWebView::onURI(GObject*, GParamSpec*, gpointer self) {
  auto* me = static_cast<GtkWebView*>(self);
  me->delegate.onURLChanged(*me);
}

// The mouse's back button (X button 8).
gboolean GtkWebView::onBackButton(GtkWidget*, GdkEventButton* event, gpointer self) {
  if (event->type != GDK_BUTTON_PRESS || event->button != 8) return FALSE;
  auto* me = static_cast<GtkWebView*>(self);
  me->delegate.onBackRequested(*me);
  return TRUE;
}

// BackSpace outside a text field: a text field uses it, so it never comes back here.
gboolean GtkWebView::onUnhandledKey(GtkWidget*, GdkEventKey* event, gpointer self) {
  auto mods = event->state & gtk_accelerator_get_default_mod_mask();
  if (event->keyval != GDK_KEY_BackSpace || mods != 0) return FALSE;
  auto* me = static_cast<GtkWebView*>(self);
  me->delegate.onBackRequested(*me);
  return TRUE;
}

GtkWebContext::GtkWebContext(std::string dataDir, std::string cacheDir, std::string certificate,
                             std::vector<std::string> trustedHosts)
    : dataDir(std::move(dataDir)),
      cacheDir(std::move(cacheDir)),
      certificate(std::move(certificate)),
      trustedHosts(std::move(trustedHosts)) {
  if (auto problem = whyNoSandbox())
    unsandboxed = "Pages run without their sandbox: it cannot start on this system (" + *problem + ").";
}

// WebKit's start is the longest step of a launch: it waits for the first page, after the window is drawn.
void GtkWebContext::start() {
  data.reset(webkit_website_data_manager_new("base-data-directory", dataDir.c_str(), "base-cache-directory",
                                             cacheDir.c_str(), nullptr));
  context.reset(webkit_web_context_new_with_website_data_manager(data.get()));
  // The pages need no path beyond WebKit's own; nothing is added to the sandbox.
  if (!unsandboxed) webkit_web_context_set_sandbox_enabled(context.get(), TRUE);
  g_signal_connect(context.get(), "download-started", G_CALLBACK(onDownloadStarted), nullptr);
  std::string cookies = dataDir + "/cookies.sqlite";
  webkit_cookie_manager_set_persistent_storage(webkit_website_data_manager_get_cookie_manager(data.get()),
                                               cookies.c_str(), WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  if (!certificate.empty()) {
    g_autoptr(GError) error = nullptr;
    g_autoptr(GTlsCertificate) cert = g_tls_certificate_new_from_file(certificate.c_str(), &error);
    for (const auto& host : trustedHosts)
      if (cert) webkit_web_context_allow_tls_certificate_for_host(context.get(), cert, host.c_str());
    if (!cert) g_warning("test certificate %s: %s", certificate.c_str(), error->message);
  }
}

void GtkWebContext::onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  if (auto* view = GtkWebView::of(webkit_download_get_web_view(download)))
    view->onDownload(download);
  else
    webkit_download_cancel(download);  // none of our pages asked for it
}

std::shared_ptr<WebView> GtkWebContext::makeWebView(const WebViewConfig& config, WebViewDelegate& delegate) {
  if (!context) start();
  return std::make_shared<GtkWebView>(context.get(), config, delegate);
}

void GtkWebContext::releaseMemoryCache() {
  if (!context) return;
  webkit_website_data_manager_clear(data.get(), WEBKIT_WEBSITE_DATA_MEMORY_CACHE, 0, nullptr, nullptr, nullptr);
}

void GtkWebContext::allCookies(std::function<void(std::vector<Cookie>)> answer) {
  if (!context) start();
  auto* pending = new std::function<void(std::vector<Cookie>)>(std::move(answer));
  webkit_cookie_manager_get_all_cookies(
      webkit_website_data_manager_get_cookie_manager(data.get()), nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<std::function<void(std::vector<Cookie>)>> pending(
            static_cast<std::function<void(std::vector<Cookie>)>*>(data));
        GList* list = webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source), result, nullptr);
        std::vector<Cookie> cookies;
        for (GList* l = list; l; l = l->next) {
          auto* c = static_cast<SoupCookie*>(l->data);
          cookies.push_back({soup_cookie_get_name(c), soup_cookie_get_domain(c)});
        }
        g_list_free_full(list, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
        (*pending)(std::move(cookies));
      },
      pending);
}

}  // namespace qm::gtk
