#include "app/app.h"
#include "app/plain_text.h"
#include "update/version_compare.h"
#include "web/url.h"

namespace qm {

std::optional<Manifest> readManifest(const std::string& body) {
  auto json = nlohmann::json::parse(body, nullptr, false);
  if (json.is_discarded() || !json.is_object()) return std::nullopt;
  auto text = [&](const char* k) -> std::optional<std::string> {
    auto it = json.find(k);
    if (it == json.end() || !it->is_string()) return std::nullopt;
    return it->get<std::string>();
  };
  auto version = text("version"), url = text("url");
  if (!version || !url || url->rfind("https://", 0) != 0) return std::nullopt;
  return Manifest{*version, *url, text("notes")};
}

void App::checkForUpdate() {
  std::weak_ptr<App> weak = weak_from_this();
  Desktop& desk = platform.desktop;
  // A broken server can neither hang the check nor fill memory.
  platform.http.get(UPDATE_MANIFEST, 30, 256 * 1024, [weak, &desk](std::optional<HttpAnswer> answer) {
    // A redirect to plain http must not decide what the user is offered.
    if (!answer || schemeOf(answer->url) != "https") return;
    auto manifest = readManifest(answer->body);
    if (!manifest) return;
    if (!isReleaseVersion(manifest->version)) {
      desk.postToMain([weak] {
        if (auto app = weak.lock()) app->note("update manifest ignored: version is not a release number");
      });
      return;
    }
    if (compareVersions(manifest->version, VERSION) <= 0) return;
    desk.postToMain([weak, manifest = *manifest] {
      auto app = weak.lock();
      if (!app) return;
      // Settings are used on the main thread only.
      auto skipped = app->defaults.get("skipped");
      if (skipped && skipped->is_string() && skipped->get<std::string>() == manifest.version) return;
      app->offerUpdate(manifest);
    });
  });
}

void App::offerUpdate(const Manifest& manifest) {
  std::string info = "You have " + VERSION + ".";
  // The notes are the server's text: a short, plain paragraph at most.
  constexpr std::size_t kNoteChars = 400, kNoteLines = 8;
  if (manifest.notes) info += "\n\n" + displayable(*manifest.notes, kNoteChars, kNoteLines);
  auto alert = platform.desktop.makeAlert("Quillmere " + manifest.version + " is available", info,
                                          {"Download", "Later", "Skip this version"});
  int answer = runAside(*alert);
  // "Download" opens only a secure address that reads as one.
  if (answer == 0 && schemeOf(manifest.url) == "https")
    openInBrowser(manifest.url);
  else if (answer == 2)
    defaults.set("skipped", manifest.version);
}

}  // namespace qm
