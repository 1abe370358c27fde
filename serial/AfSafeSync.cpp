#include "serial/AfSafeSync.h"

#include "serial/AfMainThreadQueue.h"
#include "serial/AfUtils.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Shared between a waiting caller and the queued call; whichever side ends
// last frees it, so a late handler never touches a caller that gave up.
struct HandOver {
  std::mutex lock;
  std::condition_variable changed;
  bool finished = false;
  bool cancelled = false;

  void Mark(bool HandOver::*flag) {
    {
      std::lock_guard guard(lock);
      this->*flag = true;
    }
    changed.notify_all();
  }
};

// Marks the call finished when the queued job goes away, run or discarded.
struct Finisher {
  std::shared_ptr<HandOver> record;
  explicit Finisher(std::shared_ptr<HandOver> held) : record(std::move(held)) {}
  Finisher(const Finisher&) = delete;
  Finisher& operator=(const Finisher&) = delete;
  ~Finisher() {
    if (record) record->Mark(&HandOver::finished);
  }
};

struct Slot {
  bool enabled = false;
  TAfSafeSyncHandler handler;
  std::uint32_t id = 0;
  std::vector<std::weak_ptr<HandOver>> inFlight;

  void CancelCalls() {
    for (auto& weak : inFlight) {
      if (auto record = weak.lock()) record->Mark(&HandOver::cancelled);
    }
    inFlight.clear();
  }
};

std::uint32_t idCounter = 0;
bool initialised = false;
std::unique_ptr<std::array<Slot, AfSafeSyncSlotCount>> table;

Slot* FindSlot(std::uint32_t id) {
  if (!table || id == 0) return nullptr;
  for (Slot& slot : *table) {
    if (slot.id == id) return &slot;
  }
  return nullptr;
}

void Deliver(std::uint32_t id, const std::any& payload, HandOver* record) {
  TAfSafeSyncHandler handler;
  {
    std::lock_guard guard(AfSafeSyncTableLock);
    if (!initialised) return;
    // A call dropped by disabling its slot stays dropped, also when the
    // slot has been enabled again since (a port closed and reopened).
    if (record != nullptr) {
      std::lock_guard recordGuard(record->lock);
      if (record->cancelled) return;
    }
    Slot* slot = FindSlot(id);
    if (slot == nullptr || !slot->enabled || !slot->handler) return;
    handler = slot->handler;
  }
  try {
    handler(payload);
  } catch (const std::exception& e) {
    ShowStandardError(e.what());
  } catch (...) {
    ShowStandardError("Unknown exception");
  }
}

}  // namespace

std::mutex AfSafeSyncTableLock;

std::uint32_t AfSafeSyncNextId(std::uint32_t& counter) {
  ++counter;
  if (counter == 0) ++counter;
  return counter;
}

std::uint32_t SafeSyncRegister(TAfSafeSyncHandler handler) {
  std::lock_guard guard(AfSafeSyncTableLock);
  if (!initialised) {
    table = std::make_unique<std::array<Slot, AfSafeSyncSlotCount>>();
    initialised = true;
  }
  for (Slot& slot : *table) {
    if (slot.handler) continue;
    slot.enabled = false;
    slot.handler = handler ? std::move(handler) : [](const std::any&) {};
    slot.id = AfSafeSyncNextId(idCounter);
    return slot.id;
  }
  return 0;
}

bool SafeSyncUnregister(std::uint32_t id) {
  std::lock_guard guard(AfSafeSyncTableLock);
  Slot* slot = FindSlot(id);
  if (slot == nullptr) return false;
  slot->handler = nullptr;
  slot->id = 0;
  slot->enabled = false;
  slot->CancelCalls();
  return true;
}

bool SafeSyncEnable(std::uint32_t id, bool enabled) {
  std::lock_guard guard(AfSafeSyncTableLock);
  Slot* slot = FindSlot(id);
  if (slot == nullptr || !slot->handler) return false;
  slot->enabled = enabled;
  if (!enabled) slot->CancelCalls();
  return true;
}

bool SafeSyncCall(std::uint32_t id, std::uint32_t timeoutMs, std::any payload) {
  auto record = std::make_shared<HandOver>();
  bool onMainThread = false;
  {
    std::lock_guard guard(AfSafeSyncTableLock);
    Slot* slot = FindSlot(id);
    if (slot == nullptr || !slot->handler || !slot->enabled) return false;
    // Asked here, under the lock: the loop may end as soon as it is released.
    onMainThread = AfOnMainThreadLocked();
    std::erase_if(slot->inFlight, [](const auto& weak) { return weak.expired(); });
    slot->inFlight.push_back(record);
  }

  bool cancelled = false;
  if (onMainThread) {
    // The main thread calling itself runs the handler directly.
    Deliver(id, payload, record.get());
  } else {
    {
      std::lock_guard guard(AfSafeSyncTableLock);
      if (!initialised || !AfHasMainThreadWakerLocked()) return false;
      auto finisher = std::make_shared<Finisher>(record);
      AfPostToMainThreadLocked([id, payload = std::move(payload), finisher] {
        Deliver(id, payload, finisher->record.get());
      });
    }
    std::unique_lock wait(record->lock);
    record->changed.wait_for(wait, std::chrono::milliseconds(timeoutMs),
                             [&] { return record->finished || record->cancelled; });
    cancelled = record->cancelled;
  }

  std::lock_guard guard(AfSafeSyncTableLock);
  Slot* slot = FindSlot(id);
  // A slot disabled during the wait counts as disabled even if it was
  // enabled again since: the call belonged to the earlier session.
  if (cancelled || !initialised || slot == nullptr || !slot->handler || !slot->enabled) {
    return false;
  }
  std::erase_if(slot->inFlight, [&](const auto& weak) {
    auto held = weak.lock();
    return !held || held == record;
  });
  return true;
}

void AfRunOnMainThread(std::function<void()> job) {
  {
    std::lock_guard guard(AfSafeSyncTableLock);
    if (!AfOnMainThreadLocked()) {
      AfPostToMainThreadLocked(std::move(job));
      return;
    }
  }
  // On the main thread already, or no hand-over exists yet.
  job();
}

void AfEndSafeSyncLocked() {
  if (!initialised) return;
  initialised = false;
  for (Slot& slot : *table) slot.CancelCalls();
  table.reset();
}
