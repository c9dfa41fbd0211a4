// xdg-desktop-portal ScreenCast (version 4 and later remember the choice; Debian 12 ships 1.16 with KDE's
// and GNOME's backends). Window streams carry no size, so the size is the one the PipeWire stream agrees on.
#include "platform/gtk/portal/portal_capture.h"

#include <gio/gunixfdlist.h>

#include <unistd.h>

#include "platform/gtk/portal/pipewire_stream.h"
#include "platform/gtk/portal/replies.h"
#include "platform/gtk/portal/request.h"

namespace qm::gtk {
namespace {

constexpr const char* kScreenCast = "org.freedesktop.portal.ScreenCast";
constexpr std::uint32_t kWindowSource = 2, kHiddenCursor = 1, kRememberUntilRevoked = 2;
constexpr std::chrono::seconds kFirstFormatWait{5};

// What the core holds of a share: turning the bodycam off ends the share itself, so the desktop no longer
// shows the window as shared.
class ShareStream : public CaptureStream {
 public:
  ShareStream(std::shared_ptr<PipeWireStream> stream, std::function<void()> endShare)
      : stream(std::move(stream)), endShare(std::move(endShare)) {}
  void stop() override {
    stream->stop();
    postToMainLoop(endShare);
  }

 private:
  std::shared_ptr<PipeWireStream> stream;
  std::function<void()> endShare;
};

}  // namespace

// One window shared by the player: the portal session, and its stream once the portal handed it out.
class PortalCapture::Share : public std::enable_shared_from_this<Share> {
 public:
  using Done = std::function<void(std::optional<std::vector<CaptureWindow>>)>;
  Share(PortalCapture& owner, std::uint64_t id, Done done) : owner(owner), id(id), done(std::move(done)) {}
  ~Share() {
    if (stream) stream->stop();  // joins its thread, even while the core still holds the stream
    close();
  }

  void open(bool remembered) {
    usedToken = remembered;
    PortalOptions options;
    options.add("session_handle_token", g_variant_new_string(PortalRequest::nextToken().c_str()));
    call("CreateSession", g_variant_new("(@a{sv})", options.end()), options.token, &Share::selectSources);
  }

  bool begin(const StreamConfig& config, StreamCallbacks callbacks) {
    streamed = stream && stream->begin(config, std::move(callbacks));
    return streamed;
  }
  std::shared_ptr<PipeWireStream> stream;

 private:
  using Step = void (Share::*)(GVariant* results);

  void call(const char* method, GVariant* args, const std::string& token, Step next) {
    std::weak_ptr<Share> weak = weak_from_this();
    std::string step = method;
    request = std::make_unique<PortalRequest>(owner.bus.get(), owner.portalName, kScreenCast, method, args, token,
                                              [weak, next, step](std::uint32_t response, GVariant* results) {
                                                auto self = weak.lock();
                                                if (!self) return;
                                                self->answerTimer.cancel();
                                                if (response != 0)
                                                  return self->finish(std::nullopt,
                                                                      step + " answered " + std::to_string(response));
                                                ((*self).*next)(results);
                                              });
    waiting = step;
    answerTimer.set(g_timeout_add_seconds(
        static_cast<guint>(owner.answerWait.count()),
        [](gpointer data) -> gboolean {
          auto self = static_cast<Share*>(data)->shared_from_this();  // kept while it ends
          self->answerTimer.fired();
          self->request.reset();
          self->owner.unanswered = true;
          self->finish(std::nullopt, "no answer to " + self->waiting + " in " +
                                         std::to_string(self->owner.answerWait.count()) + " s");
          return G_SOURCE_REMOVE;
        },
        this));
  }

  void selectSources(GVariant* results) {
    session = sessionHandle(results);
    if (session.empty()) return finish(std::nullopt, "no session");
    PortalOptions options;
    options.add("types", g_variant_new_uint32(kWindowSource));
    options.add("multiple", g_variant_new_boolean(false));
    options.add("cursor_mode", g_variant_new_uint32(kHiddenCursor));
    if (owner.remembers) {
      options.add("persist_mode", g_variant_new_uint32(kRememberUntilRevoked));
      auto saved = owner.settings.get(kRestoreTokenKey);
      if (usedToken && saved && saved->is_string())
        options.add("restore_token", g_variant_new_string(saved->get<std::string>().c_str()));
    }
    call("SelectSources", g_variant_new("(o@a{sv})", session.c_str(), options.end()), options.token, &Share::start);
  }

  void start(GVariant*) {
    PortalOptions options;
    call("Start", g_variant_new("(os@a{sv})", session.c_str(), owner.parent().c_str(), options.end()), options.token,
         &Share::openRemote);
  }

  void openRemote(GVariant* results) {
    // Every start hands out a new token and the old one is spent: keep only the new one.
    if (auto token = textEntry(results, "restore_token"); !token.empty()) owner.keepToken(token);
    auto first = firstStreamNode(results);
    if (!first) return finish(std::nullopt, "no stream");
    node = *first;
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    std::weak_ptr<Share> weak = weak_from_this();
    g_dbus_connection_call_with_unix_fd_list(
        owner.bus.get(), owner.portalName.c_str(), kPortalPath, kScreenCast, "OpenPipeWireRemote",
        g_variant_new("(oa{sv})", session.c_str(), &options), G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, -1,
        nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer p) {
          std::unique_ptr<std::weak_ptr<Share>> weak(static_cast<std::weak_ptr<Share>*>(p));
          g_autoptr(GUnixFDList) fds = nullptr;
          g_autoptr(GVariant) reply =
              g_dbus_connection_call_with_unix_fd_list_finish(G_DBUS_CONNECTION(source), &fds, result, nullptr);
          int fd = -1;
          if (reply && fds) {
            gint32 index = -1;
            g_variant_get(reply, "(h)", &index);
            fd = g_unix_fd_list_get(fds, index, nullptr);
          }
          if (auto self = weak->lock())
            self->connect(fd);
          else if (fd >= 0)
            ::close(fd);
        },
        new std::weak_ptr<Share>(weak));
  }

  void connect(int fd) {
    if (fd < 0) return finish(std::nullopt, "no PipeWire remote");
    std::weak_ptr<Share> weak = weak_from_this();
    auto sized = [weak](std::optional<FrameSize> size) {
      postToMainLoop([weak, size] {
        if (auto self = weak.lock()) self->sized(size);
      });
    };
    auto ended = [note = owner.note](std::string why) { postToMainLoop([note, why] { note(why); }); };
    stream = std::make_shared<PipeWireStream>(fd, node, kFirstFormatWait, sized, ended);
  }

  void sized(std::optional<FrameSize> size) {
    if (size) {
      CaptureWindow window{owner.gameOwnerId(), id, {0, 0, double(size->width), double(size->height)}, true};
      return finish(std::vector{window},
                    "window shared, " + std::to_string(size->width) + "x" + std::to_string(size->height));
    }
    // The shared window is gone (it closed, or a remembered choice named a window that no longer
    // exists): the token is spent, and a remembered choice is asked for again in the dialog.
    owner.dropToken();
    stream.reset();
    close();
    if (usedToken) {
      owner.note("Bodycam share: the remembered window is gone, asking again");
      return open(false);
    }
    finish(std::vector<CaptureWindow>{}, "the shared window is gone");
  }

  void finish(std::optional<std::vector<CaptureWindow>> windows, const std::string& end) {
    if (!done) return;
    owner.note("Bodycam share: " + end);
    bool offered = windows && !windows->empty();
    if (!offered) close();
    if (done) std::exchange(done, nullptr)(std::move(windows));
    if (!offered) return;
    // The core streams a window it takes as soon as it is offered; one it turned down (too small to be
    // the game) is no longer shared once the main loop turns.
    std::weak_ptr<Share> weak = weak_from_this();
    postToMainLoop([weak] {
      if (auto self = weak.lock(); self && !self->streamed) self->owner.forget(self->id);
    });
  }

  void close() { closeSession(owner.bus.get(), owner.portalName, session); }

  PortalCapture& owner;
  std::uint64_t id;
  Done done;
  bool usedToken = false, streamed = false;
  std::string session;
  std::uint32_t node = 0;
  std::unique_ptr<PortalRequest> request;  // the step in flight
  std::string waiting;                     // its name
  SourceScope answerTimer;                 // its time limit
};

PortalCapture::PortalCapture(Settings& settings, Note note, Parent parent, std::chrono::seconds answerWait,
                             const std::string& portalName)
    : settings(settings),
      note(note ? std::move(note) : [](const std::string&) {}),
      parent(parent ? std::move(parent) : [] { return std::string(); }),
      answerWait(answerWait),
      portalName(portalName),
      bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
  if (!bus) return;
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      bus.get(), portalName.c_str(), kPortalPath, "org.freedesktop.DBus.Properties", "GetAll",
      g_variant_new("(s)", kScreenCast), G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
  if (!reply) return;
  g_autoptr(GVariant) properties = g_variant_get_child_value(reply, 0);
  windowsShareable = (unsignedEntry(properties, "AvailableSourceTypes") & kWindowSource) != 0;
  remembers = unsignedEntry(properties, "version") >= 4;  // persist_mode and restore_token came with version 4
}

PortalCapture::~PortalCapture() { shares.clear(); }

void PortalCapture::listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) {
  if (!windowsShareable) return done(std::nullopt);
  unanswered = false;
  // One share at a time: a new start closes the window shared before.
  shares.clear();
  std::uint64_t id = nextId++;
  auto share = std::make_shared<Share>(*this, id, std::move(done));
  shares.emplace(id, share);
  auto saved = settings.get(kRestoreTokenKey);
  share->open(remembers && saved && saved->is_string());
}

void PortalCapture::startStream(std::uint64_t windowId, const StreamConfig& config, StreamCallbacks callbacks) {
  auto found = shares.find(windowId);
  auto started = std::move(callbacks.started);
  auto stopped = std::move(callbacks.stopped);
  // Runs on the main thread; the share may have gone already (a new start, or the capture itself).
  auto endShare = [this, windowId,
                   alive = std::weak_ptr<Share>(found != shares.end() ? found->second : nullptr)](bool spent) {
    if (alive.expired()) return;
    if (spent) dropToken();
    forget(windowId);
  };
  // The end is told to the core at once; the spent token and the session are let go on the main thread.
  callbacks.stopped = [stopped, endShare] {
    stopped();
    postToMainLoop([endShare] { endShare(true); });
  };
  if (found == shares.end() || !found->second->begin(config, std::move(callbacks)))
    return started(nullptr, "the shared window is gone");
  started(std::make_shared<ShareStream>(found->second->stream, [endShare] { endShare(false); }), std::nullopt);
}

void PortalCapture::keepToken(const std::string& token) { settings.set(kRestoreTokenKey, token); }

void PortalCapture::dropToken() { settings.remove(kRestoreTokenKey); }

void PortalCapture::forget(std::uint64_t id) { shares.erase(id); }

}  // namespace qm::gtk
