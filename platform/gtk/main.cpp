// The Linux entry: a single-instance GtkApplication. A second start brings the window forward; a second
// start with a "quillmere:" URL hands the URL to the running instance. SIGTERM, SIGINT and SIGHUP end
// the program through the same orderly shutdown as Quit, so the window state is always saved. On a Wayland
// session with XWayland the windows go through XWayland (see session.h).
#include <X11/Xlib.h>
#include <glib-unix.h>
#include <gtk/gtk.h>

#include <memory>

#include "app/app.h"
#include "app/config.h"
#include "platform/gtk/coords.h"
#include "platform/gtk/gtk_desktop.h"
#include "platform/gtk/gtk_services.h"
#include "platform/gtk/gtk_web.h"
#include "platform/gtk/session.h"
#include "platform/gtk/session_capture.h"
#include "platform/posix/file_settings.h"
#include "platform/posix/posix_files.h"
#include "platform/posix/system_crypto.h"

namespace qm::gtk {
namespace {

struct Backend {
  explicit Backend(GtkApplication* application)
      : settings(configDir() + "/settings.json",
                 [this](const std::string& line) {
                   if (auto a = app.lock()) a->note(line);
                 }),
        files(stateDir() + "/Quillmere.log"),
        desktop(application, currentSession(),
                [this](const std::string& line) {
                  if (auto a = app.lock()) a->note(line);
                }),
        web(dataDir(), cacheDir(), QM_TRUSTED_CERT, hosts()),
        http(QM_TRUSTED_CERT),
        capture(
            gdk_display_get_name(gdk_display_get_default()),
            [] {
              return ScreenUnits{windowScale(), primaryBottom()};
            },
            settings, currentSession() != SessionKind::X11,
            [this](const std::string& line) {
              if (auto a = app.lock()) a->note(line);
            },
            [this] { return desktop.portalParent(); }) {}

  std::string configDir() { return dir(g_get_user_config_dir()); }
  std::string stateDir() { return dir(g_get_user_state_dir()); }
  std::string dataDir() { return dir(g_get_user_data_dir()); }
  std::string cacheDir() { return dir(g_get_user_cache_dir()); }
  std::string dir(const char* base) {
    std::string d = std::string(base) + "/quillmere";
    if (privateFolder(d) == FolderCheck::NotOurs) refused.push_back(d);
    return d;
  }
  static std::vector<std::string> hosts() {
    return {config::kMainHost, config::kAltHost, config::kSignInHost, config::kManifestHost};
  }
  Platform platform() { return {settings, files, desktop, web, crypto, http, capture}; }

  std::vector<std::string> refused;  // our folders that another user owns; first, as the others use it
  std::weak_ptr<App> app;
  FileSettings settings;
  PosixFiles files;
  GtkDesktop desktop;
  GtkWebContext web;
  SystemCrypto crypto;
  SoupHttp http;
  SessionCapture capture;
};

std::unique_ptr<Backend> backend;
std::shared_ptr<App> app;
bool firstActivate = true;

void onStartup(GApplication* application, gpointer) {
  g_application_hold(application);  // closing the main window never ends the program
  backend = std::make_unique<Backend>(GTK_APPLICATION(application));
  app = std::make_shared<App>(backend->platform());
  backend->app = app;
  backend->desktop.noteSession();
  if (!backend->refused.empty()) {
    app->refuseFolder(backend->refused.front());
    app.reset();  // nothing is saved into a folder that is not ours
    g_application_quit(application);
    return;
  }
  app->applicationDidFinishLaunching();
}

void onActivate(GApplication*, gpointer) {
  // The first activation is the launch itself; later ones are a second start: reopen.
  if (std::exchange(firstActivate, false)) return;
  if (app) app->applicationShouldHandleReopen();
}

void onOpen(GApplication*, GFile** files, gint count, gchar*, gpointer) {
  firstActivate = false;
  for (gint i = 0; i < count; ++i) {
    char* uri = g_file_get_uri(files[i]);
    // Handled once the main loop turns, so launch is always complete first.
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer data) -> gboolean {
          if (app) app->onURL(std::string(static_cast<char*>(data)));
          return G_SOURCE_REMOVE;
        },
        uri, g_free);
  }
}

void onShutdown(GApplication*, gpointer) {
  if (app) app->applicationWillTerminate();
  app.reset();
  backend.reset();
}

gboolean onSignal(gpointer application) {
  if (backend)
    backend->desktop.terminate();
  else
    g_application_quit(G_APPLICATION(application));
  return G_SOURCE_CONTINUE;
}

}  // namespace
}  // namespace qm::gtk

int main(int argc, char** argv) {
  using namespace qm::gtk;
  XInitThreads();  // the capture worker has a Display of its own
  chooseBackend(currentSession());
  qm::setGlobals(qm::config::kVersion);
  g_set_prgname("quillmere");
  g_autoptr(GtkApplication) application = gtk_application_new("app.quillmere.Quillmere", G_APPLICATION_HANDLES_OPEN);
  g_signal_connect(application, "startup", G_CALLBACK(onStartup), nullptr);
  g_signal_connect(application, "activate", G_CALLBACK(onActivate), nullptr);
  g_signal_connect(application, "open", G_CALLBACK(onOpen), nullptr);
  g_signal_connect(application, "shutdown", G_CALLBACK(onShutdown), nullptr);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) g_unix_signal_add(sig, onSignal, application);
  return g_application_run(G_APPLICATION(application), argc, argv);
}
