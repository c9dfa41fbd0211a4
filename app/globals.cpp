#include "app/app.h"
#include "app/config.h"
#include "hotkeys/key_tables.h"

namespace qm {

std::string SITE;
std::string VERSION;
std::string UPDATE_MANIFEST;
std::map<std::string, int> DEFAULT_KEYS;
std::vector<std::pair<std::string, std::string>> KEY_LABELS;
std::map<int, std::string> KEY_NAMES;

void setGlobals(const std::string& version) {
  SITE = std::string("https://") + config::kMainHost + config::kPortSuffix;
  VERSION = version.empty() ? "1.0.0" : version;
  UPDATE_MANIFEST =
      std::string("https://") + config::kManifestHost + config::kPortSuffix + "/downloads/quillmere-mac.json";
  DEFAULT_KEYS = defaultKeysTable();
  KEY_LABELS = keyLabelsTable();
  KEY_NAMES = keyNamesTable();
}

}  // namespace qm
