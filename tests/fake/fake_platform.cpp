#include "tests/fake/fake_platform.h"

namespace qm::fake {

AppendResult FakeFiles::append(const std::string& path, const std::string& bytes) {
  auto it = files.find(path);
  if (it == files.end()) return AppendResult::Missing;
  if (unwritable) return AppendResult::Unwritable;
  it->second += bytes;
  return AppendResult::Written;
}

std::shared_ptr<ModalAlert> FakeDesktop::makeAlert(const std::string& message, const std::string& informative,
                                                   const std::vector<std::string>& buttons) {
  auto alert = std::make_shared<FakeAlert>();
  alert->message = message, alert->informative = informative, alert->buttons = buttons;
  alert->whileOpen = nextAlertAnswer;
  return alerts.emplace_back(alert);
}

void FakeDesktop::runPosted() {
  std::unique_lock lock(postedMutex);
  while (!posted.empty()) {
    auto work = std::move(posted.front());
    posted.pop_front();
    lock.unlock();
    work();
    lock.lock();
  }
}

void FakeDesktop::fireTimers() {
  for (auto& t : std::vector(timers))
    if (t->valid) t->tick(*t);
}

}  // namespace qm::fake
