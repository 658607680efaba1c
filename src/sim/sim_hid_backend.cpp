#include "sim/sim_hid_backend.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

#ifdef _WIN32
#include "hid/win32/named_mutex_claim.h"
#else
#include "hid/hidraw/flock_claim.h"
#endif
#include "hid/report_descriptor_parser.h"
#include "hid/timed_report_queue.h"
#include "sim/adapter_model.h"
#include "sim/adapter_wire.h"
#include "sim/sim_report_descriptor.h"
#include "sim/sim_trace.h"

namespace kr35 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr char kAdapterPathPrefix[] = "sim:adapter";
constexpr char kDevicePathPrefix[] = "sim:device";

// What the devices that are not the adapter describe: one vendor input report.
const std::vector<std::uint8_t> kOtherDeviceDescriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
                                                          0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
                                                          0x95, 0x08, 0x09, 0x01, 0x81, 0x02, 0xC0};

enum class SimString { kManufacturer, kProduct, kSerial, kPort };

// One open read handle: the reports waiting for it and its pending read.
struct ReadState {
  std::size_t device = 0;
  std::uint64_t generation = 0;
  bool dead = false;  // its device went away
  bool interrupted = false;
  bool pending = false;
  std::span<std::uint8_t> buffer;
  TimedReportQueue queue;
};

struct SimDevice {
  bool isAdapter = false;
  int adapterNumber = 0;  // the i of its path "sim:adapter<i>"
  std::string path;
  HidAttributes attributes;
  std::optional<std::string> manufacturer;
  std::optional<std::string> product;
  std::optional<std::string> serial;
  bool present = true;
  std::uint64_t generation = 0;  // grows at every unplug; older handles fail
  // The adapter's own scenario (the scenario's entry for it, with the events
  // that happen on it), its report descriptor and what parsing it gives.
  std::unique_ptr<Scenario> scenario;
  std::vector<std::uint8_t> descriptor;
  std::unique_ptr<PreparsedData> parsed;
  HidpCaps caps{};
  std::unique_ptr<AdapterModel> model;
  std::unique_ptr<AdapterWire> wire;  // on `model`
  std::vector<std::shared_ptr<ReadState>> readers;
  bool opened = false;
};

// Adapter i's scenario: its entry in the scenario's adapter list (or the
// scenario itself), with the events that happen on it.
Scenario AdapterScenario(const Scenario& scenario, int i) {
  const auto index = static_cast<std::size_t>(i);
  Scenario own =
      index < scenario.adapterScenarios.size() ? scenario.adapterScenarios[index] : scenario;
  own.adapterScenarios.clear();
  own.hid.events.clear();
  for (const HidEvent& event : scenario.hid.events) {
    if (event.adapter == i) own.hid.events.push_back(event);
  }
  return own;
}

}  // namespace

class SimWorld {
 public:
  SimWorld(Scenario scenario, std::unique_ptr<SimTrace> trace);
  ~SimWorld() { Stop(); }

  void Stop();
  std::optional<std::vector<std::string>> Enumerate();
  // Index of the device at `path` when it is present.
  std::optional<std::size_t> Find(const std::string& path);

  std::shared_ptr<ReadState> OpenReader(std::size_t device);
  void CloseReader(const std::shared_ptr<ReadState>& state);
  bool ReaderAlive(const ReadState& state) const;

  bool GetAttributes(const ReadState& state, HidAttributes& attributes);
  bool GetString(const ReadState& state, SimString which, std::string& text);
  std::unique_ptr<PreparsedData> GetPreparsedData(const ReadState& state);
  std::optional<std::vector<std::uint8_t>> GetReportDescriptor(const ReadState& state);
  ReadStart StartRead(ReadState& state, std::span<std::uint8_t> buffer);
  ReadWait WaitRead(ReadState& state, std::chrono::milliseconds timeout);
  void Interrupt(ReadState& state);
  void CancelRead(ReadState& state);

  bool CanWrite(std::size_t device);
  std::uint64_t Generation(std::size_t device);
  bool Write(std::size_t device, std::uint64_t generation, std::span<const std::uint8_t> report);

  void AddQueue(DialogQueue* queue);
  void RemoveQueue(DialogQueue* queue);

  void Unplug(std::size_t adapter, double replugAfterMs);
  void Replug(std::size_t adapter);
  bool IsPresent(std::size_t adapter);
  FlashState Flash(std::size_t adapter);
  void TraceObject(std::string_view object);
  std::string TraceWriteError() const;
  void SetFlash(FlashState flash, std::size_t adapter);
  std::vector<std::uint8_t> Descriptor();
  // The key the adapter's flash is kept under in the state file.
  std::string FlashKey(std::size_t adapter);
  std::size_t AdapterCount() const { return adapters_.size(); }
  const Scenario& LoadedScenario() const { return scenario_; }

 private:
  // Everything below runs with mutex_ held.
  SimDevice* Adapter(std::size_t adapter);
  double SinceStart(Clock::time_point t) const {
    return std::chrono::duration<double, std::milli>(t - start_).count();
  }
  void Emit(SimDevice& device, std::vector<std::uint8_t> report, Clock::time_point due);
  std::vector<std::uint8_t> ResponseReport(const SimDevice& device,
                                           const ResponseFrame& frame) const;
  void Fire(const HidEvent& event);
  void DoUnplug(SimDevice& device, double replugAfterMs);
  void DoReplug(SimDevice& device);
  void PostNotices(std::uintptr_t event);
  void Schedule(Clock::time_point due, std::function<void()> action);
  void WorkerLoop();

  const Clock::time_point start_ = Clock::now();
  const Scenario scenario_;
  const HidSettings& hid_ = scenario_.hid;
  const std::unique_ptr<SimTrace> trace_;

  mutable std::mutex mutex_;
  std::condition_variable readable_;  // reports queued, devices gone, interrupts
  std::condition_variable workerWake_;
  std::vector<SimDevice> devices_;
  std::vector<std::size_t> adapters_;  // indexes into devices_
  std::vector<DialogQueue*> queues_;
  std::multimap<Clock::time_point, std::function<void()>> actions_;
  bool stopping_ = false;
  std::thread worker_;
};

SimWorld::SimWorld(Scenario scenario, std::unique_ptr<SimTrace> trace)
    : scenario_(std::move(scenario)), trace_(std::move(trace)) {
  for (std::size_t i = 0; i < hid_.devicesBefore.size(); ++i) {
    const OtherHidDevice& other = hid_.devicesBefore[i];
    SimDevice device;
    device.path = kDevicePathPrefix + std::to_string(i);
    device.attributes = {other.vendorId, other.productId, 0x0100};
    device.manufacturer = other.manufacturer;
    device.product = other.product;
    devices_.push_back(std::move(device));
  }
  const int adapterCount = hid_.adapterPresent ? hid_.adapterCount : 0;
  for (int i = 0; i < adapterCount; ++i) {
    SimDevice device;
    device.isAdapter = true;
    device.adapterNumber = i;
    device.path = kAdapterPathPrefix + std::to_string(i);
    device.scenario = std::make_unique<Scenario>(AdapterScenario(scenario_, i));
    const HidSettings& hid = device.scenario->hid;
    device.attributes = {hid.vendorId, hid.productId, hid.versionNumber};
    device.manufacturer = hid.manufacturer;
    device.product = hid.product;
    device.serial = hid.serial;
    device.descriptor = BuildSimReportDescriptor(hid);
    device.parsed = ParseReportDescriptor(device.descriptor);
    if (device.parsed) device.parsed->GetCaps(device.caps);
    device.model =
        std::make_unique<AdapterModel>(*device.scenario, device.caps.outputReportByteLength);
    device.wire = std::make_unique<AdapterWire>(*device.model, hid);
    adapters_.push_back(devices_.size());
    devices_.push_back(std::move(device));
  }
  worker_ = std::thread(&SimWorld::WorkerLoop, this);
}

void SimWorld::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  workerWake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void SimWorld::WorkerLoop() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (actions_.empty()) {
      workerWake_.wait(lock);
      continue;
    }
    const auto first = actions_.begin();
    if (first->first > Clock::now()) {
      workerWake_.wait_until(lock, first->first);
      continue;
    }
    const std::function<void()> action = std::move(first->second);
    actions_.erase(first);
    action();
  }
}

void SimWorld::Schedule(Clock::time_point due, std::function<void()> action) {
  actions_.emplace(due, std::move(action));
  workerWake_.notify_all();
}

std::optional<std::vector<std::string>> SimWorld::Enumerate() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> paths;
  for (const SimDevice& device : devices_) {
    if (device.present) paths.push_back(device.path);
  }
  return paths;
}

std::optional<std::size_t> SimWorld::Find(const std::string& path) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    if (devices_[i].path == path && devices_[i].present) return i;
  }
  return std::nullopt;
}

SimDevice* SimWorld::Adapter(std::size_t adapter) {
  return adapter < adapters_.size() ? &devices_[adapters_[adapter]] : nullptr;
}

std::shared_ptr<ReadState> SimWorld::OpenReader(std::size_t index) {
  std::lock_guard lock(mutex_);
  SimDevice& device = devices_[index];
  if (!device.present) return nullptr;
  auto state = std::make_shared<ReadState>();
  state->device = index;
  state->generation = device.generation;
  device.readers.push_back(state);
  // Timed events count from the first open of the adapter they happen on.
  if (device.isAdapter && !device.opened) {
    const Clock::time_point now = Clock::now();
    for (const HidEvent& event : device.scenario->hid.events) {
      if (event.at.atMs >= 0) {
        Schedule(now + WireTime(event.at.atMs), [this, &event] { Fire(event); });
      }
    }
  }
  device.opened = true;
  return state;
}

void SimWorld::CloseReader(const std::shared_ptr<ReadState>& state) {
  std::lock_guard lock(mutex_);
  auto& readers = devices_[state->device].readers;
  readers.erase(std::remove(readers.begin(), readers.end(), state), readers.end());
}

bool SimWorld::ReaderAlive(const ReadState& state) const {
  const SimDevice& device = devices_[state.device];
  return !state.dead && device.present && device.generation == state.generation;
}

bool SimWorld::GetAttributes(const ReadState& state, HidAttributes& attributes) {
  std::lock_guard lock(mutex_);
  if (!ReaderAlive(state)) return false;
  attributes = devices_[state.device].attributes;
  return true;
}

bool SimWorld::GetString(const ReadState& state, SimString which, std::string& text) {
  std::lock_guard lock(mutex_);
  if (!ReaderAlive(state)) return false;
  const SimDevice& device = devices_[state.device];
  if (which == SimString::kPort) {
    // A simulated adapter sits on the port named by its index.
    if (!device.isAdapter) return false;
    text = std::to_string(device.adapterNumber);
    return true;
  }
  const std::optional<std::string>& value = which == SimString::kProduct ? device.product
                                            : which == SimString::kManufacturer
                                                ? device.manufacturer
                                                : device.serial;
  if (!value) return false;
  text = *value;
  return true;
}

std::unique_ptr<PreparsedData> SimWorld::GetPreparsedData(const ReadState& state) {
  const auto descriptor = GetReportDescriptor(state);
  return descriptor ? ParseReportDescriptor(*descriptor) : nullptr;
}

std::optional<std::vector<std::uint8_t>> SimWorld::GetReportDescriptor(const ReadState& state) {
  std::lock_guard lock(mutex_);
  if (!ReaderAlive(state)) return std::nullopt;
  const SimDevice& device = devices_[state.device];
  return device.isAdapter ? device.descriptor : kOtherDeviceDescriptor;
}

std::vector<std::uint8_t> SimWorld::Descriptor() {
  std::lock_guard lock(mutex_);
  const SimDevice* first = Adapter(0);
  return first ? first->descriptor : BuildSimReportDescriptor(hid_);
}

std::string SimWorld::FlashKey(std::size_t adapter) {
  std::lock_guard lock(mutex_);
  const SimDevice* device = Adapter(adapter);
  if (device == nullptr) return {};
  // A serial number given by another adapter too does not tell it apart.
  const auto same = std::count_if(adapters_.begin(), adapters_.end(), [&](std::size_t other) {
    return devices_[other].serial == device->serial;
  });
  if (device->serial && same == 1) return "serial:" + *device->serial;
  return "port:" + std::to_string(device->adapterNumber);
}

namespace {

#ifdef _WIN32
// Named kernel objects are keyed by the state file's absolute path, so that
// programs started from other folders meet on one adapter.
std::string AbsoluteName(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.string();
}
#endif

// A device's report reaches the host when it is due, give or take the
// interrupt timing of the bus. The reading thread's timed waits would
// otherwise end up to the kernel's default timer slack (50 µs) late, which
// adds up over the thousand exchanges of a download.
void TightenTimerSlack() {
#if defined(__linux__)
  thread_local bool tightened = false;
  if (!tightened) {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    tightened = true;
  }
#endif
}

}  // namespace

ReadStart SimWorld::StartRead(ReadState& state, std::span<std::uint8_t> buffer) {
  std::lock_guard lock(mutex_);
  if (!ReaderAlive(state)) return ReadStart::kError;
  if (state.queue.Due(Clock::now())) {
    state.queue.TakeInto(buffer);
    state.pending = false;
    return ReadStart::kComplete;
  }
  state.buffer = buffer;
  state.pending = true;
  return ReadStart::kPending;
}

ReadWait SimWorld::WaitRead(ReadState& state, std::chrono::milliseconds timeout) {
  TightenTimerSlack();
  std::unique_lock lock(mutex_);
  const Clock::time_point deadline = Clock::now() + timeout;
  const auto wait = state.queue.WaitUntilDue(lock, readable_, deadline, [&] {
    return state.interrupted || !ReaderAlive(state) || !state.pending;
  });
  if (wait == TimedReportQueue::Wait::kStopped && !state.interrupted && !ReaderAlive(state)) {
    return ReadWait::kError;
  }
  if (wait != TimedReportQueue::Wait::kDue) return ReadWait::kTimeout;
  state.queue.TakeInto(state.buffer);
  state.pending = false;
  state.buffer = {};
  return ReadWait::kComplete;
}

void SimWorld::Interrupt(ReadState& state) {
  {
    std::lock_guard lock(mutex_);
    state.interrupted = true;
  }
  readable_.notify_all();
}

void SimWorld::CancelRead(ReadState& state) {
  std::lock_guard lock(mutex_);
  state.pending = false;
  state.buffer = {};
}

bool SimWorld::CanWrite(std::size_t index) {
  std::lock_guard lock(mutex_);
  const SimDevice& device = devices_[index];
  return device.present && (!device.isAdapter || device.scenario->hid.writeOpens);
}

std::uint64_t SimWorld::Generation(std::size_t index) {
  std::lock_guard lock(mutex_);
  return devices_[index].generation;
}

bool SimWorld::Write(std::size_t index, std::uint64_t generation,
                     std::span<const std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  SimDevice& device = devices_[index];
  if (!device.present || device.generation != generation) return false;
  if (!device.isAdapter) return true;  // other devices take anything and say nothing
  if (device.wire->WriteFails()) return false;
  // A report of another length or id does not fit the descriptor: the write fails.
  if (!device.parsed || report.size() != device.caps.outputReportByteLength ||
      report[0] != kSimCommandReportId) {
    return false;
  }
  std::vector<std::uint8_t> frame(device.wire->CommandLength());
  if (device.parsed->GetUsageValueArray(HidReportType::kOutput, kSimVendorPage, 0, kSimCommandUsage,
                                        frame, report) != HIDP_STATUS_SUCCESS) {
    return false;
  }
  const Clock::time_point now = Clock::now();
  if (trace_) trace_->Record(SinceStart(now), "rx", device.adapterNumber, report);

  const AdapterWire::Answer answer = device.wire->Take(frame);
  const Clock::time_point due = now + answer.after;
  for (const ResponseFrame& response : answer.frames) {
    Emit(device, ResponseReport(device, response), due);
  }
  for (const HidEvent* event : device.wire->EventsAfterCommand()) Fire(*event);
  if (answer.restartAfter) {
    const double restartMs = device.scenario->hid.restartMs;
    Schedule(now + *answer.restartAfter,
             [this, &device, restartMs] { DoUnplug(device, restartMs); });
  }
  return true;
}

std::vector<std::uint8_t> SimWorld::ResponseReport(const SimDevice& device,
                                                   const ResponseFrame& frame) const {
  std::vector<std::uint8_t> report(std::max<std::size_t>(device.caps.inputReportByteLength, 1), 0);
  report[0] = kSimResponseReportId;
  std::vector<std::uint8_t> values(static_cast<std::size_t>(device.scenario->hid.responseLength),
                                   0);
  std::copy_n(frame.begin(), std::min(values.size(), frame.size()), values.begin());
  if (device.parsed) {
    device.parsed->SetUsageValueArray(HidReportType::kInput, kSimVendorPage, 0, kSimResponseUsage,
                                      values, report);
  }
  return report;
}

void SimWorld::Emit(SimDevice& device, std::vector<std::uint8_t> report, Clock::time_point due) {
  if (!device.present) return;
  if (trace_) trace_->Record(SinceStart(due), "tx", device.adapterNumber, report);
  for (const auto& reader : device.readers) reader->queue.Push(due, report);
  readable_.notify_all();
}

void SimWorld::Fire(const HidEvent& event) {
  SimDevice* target = Adapter(static_cast<std::size_t>(event.adapter));
  if (target == nullptr) return;
  SimDevice& device = *target;
  const Clock::time_point due = Clock::now() + device.wire->Latency();
  switch (event.kind) {
    case HidEvent::Kind::kButton:
      Emit(device,
           BuildSimButtonReport(event.buttonCode, event.usages, device.caps.inputReportByteLength),
           due);
      break;
    case HidEvent::Kind::kReport:
      Emit(device, event.bytes, due);
      break;
    case HidEvent::Kind::kResponse:
      Emit(device, ResponseReport(device, event.Response()), due);
      break;
    case HidEvent::Kind::kUnplug:
      DoUnplug(device, event.replugAfterMs);
      break;
    case HidEvent::Kind::kReplug:
      DoReplug(device);
      break;
  }
}

void SimWorld::PostNotices(std::uintptr_t event) {
  for (DialogQueue* queue : queues_) {
    for (const DialogMessage& message : DeviceChangeMessages(event)) queue->Post(message);
  }
}

void SimWorld::DoUnplug(SimDevice& device, double replugAfterMs) {
  if (!device.present) return;
  device.present = false;
  ++device.generation;
  for (const auto& reader : device.readers) {
    reader->dead = true;
    reader->queue.Clear();
  }
  device.readers.clear();
  PostNotices(DBT_DEVICEREMOVECOMPLETE);
  readable_.notify_all();
  if (replugAfterMs >= 0) {
    Schedule(Clock::now() + WireTime(replugAfterMs), [this, &device] { DoReplug(device); });
  }
}

void SimWorld::DoReplug(SimDevice& device) {
  if (device.present) return;
  device.present = true;
  if (device.model) device.model->Restart();
  PostNotices(DBT_DEVICEARRIVAL);
}

void SimWorld::AddQueue(DialogQueue* queue) {
  std::lock_guard lock(mutex_);
  queues_.push_back(queue);
}

void SimWorld::RemoveQueue(DialogQueue* queue) {
  std::lock_guard lock(mutex_);
  queues_.erase(std::remove(queues_.begin(), queues_.end(), queue), queues_.end());
}

void SimWorld::Unplug(std::size_t adapter, double replugAfterMs) {
  std::lock_guard lock(mutex_);
  if (SimDevice* device = Adapter(adapter)) DoUnplug(*device, replugAfterMs);
}

void SimWorld::Replug(std::size_t adapter) {
  std::lock_guard lock(mutex_);
  if (SimDevice* device = Adapter(adapter)) DoReplug(*device);
}

bool SimWorld::IsPresent(std::size_t adapter) {
  std::lock_guard lock(mutex_);
  const SimDevice* device = Adapter(adapter);
  return device != nullptr && device->present;
}

void SimWorld::TraceObject(std::string_view object) {
  if (trace_) trace_->RecordObject(SinceStart(Clock::now()), object);
}

std::string SimWorld::TraceWriteError() const {
  return trace_ ? trace_->WriteError() : std::string();
}

FlashState SimWorld::Flash(std::size_t adapter) {
  std::lock_guard lock(mutex_);
  const SimDevice* device = Adapter(adapter);
  return device ? device->model->Flash() : FlashState{};
}

void SimWorld::SetFlash(FlashState flash, std::size_t adapter) {
  std::lock_guard lock(mutex_);
  if (SimDevice* device = Adapter(adapter)) device->model->SetFlash(std::move(flash));
}

namespace {

class SimReadHandle : public HidReadHandle {
 public:
  SimReadHandle(std::shared_ptr<SimWorld> world, std::shared_ptr<ReadState> state)
      : world_(std::move(world)), state_(std::move(state)) {}
  ~SimReadHandle() override { world_->CloseReader(state_); }

  bool GetAttributes(HidAttributes& attributes) override {
    return world_->GetAttributes(*state_, attributes);
  }
  bool GetManufacturerString(std::string& text) override {
    return world_->GetString(*state_, SimString::kManufacturer, text);
  }
  bool GetProductString(std::string& text) override {
    return world_->GetString(*state_, SimString::kProduct, text);
  }
  bool GetSerialNumberString(std::string& text) override {
    return world_->GetString(*state_, SimString::kSerial, text);
  }
  bool GetPortPath(std::string& text) override {
    return world_->GetString(*state_, SimString::kPort, text);
  }
  std::unique_ptr<PreparsedData> GetPreparsedData() override {
    return world_->GetPreparsedData(*state_);
  }
  std::optional<std::vector<std::uint8_t>> GetReportDescriptor() override {
    return world_->GetReportDescriptor(*state_);
  }
  ReadStart StartRead(std::span<std::uint8_t> buffer) override {
    return world_->StartRead(*state_, buffer);
  }
  ReadWait WaitRead(std::chrono::milliseconds timeout) override {
    return world_->WaitRead(*state_, timeout);
  }
  void Interrupt() override { world_->Interrupt(*state_); }
  void CancelRead() override { world_->CancelRead(*state_); }

 private:
  std::shared_ptr<SimWorld> world_;
  std::shared_ptr<ReadState> state_;
};

class SimWriteHandle : public HidWriteHandle {
 public:
  SimWriteHandle(std::shared_ptr<SimWorld> world, std::size_t device)
      : world_(std::move(world)), device_(device), generation_(world_->Generation(device)) {}
  bool Write(std::span<const std::uint8_t> report) override {
    return world_->Write(device_, generation_, report);
  }

 private:
  std::shared_ptr<SimWorld> world_;
  std::size_t device_;
  std::uint64_t generation_;
};

class SimRegistration : public NotificationRegistration {
 public:
  SimRegistration(std::shared_ptr<SimWorld> world, DialogQueue* queue)
      : world_(std::move(world)), queue_(queue) {
    world_->AddQueue(queue_);
  }
  ~SimRegistration() override { world_->RemoveQueue(queue_); }

 private:
  std::shared_ptr<SimWorld> world_;
  DialogQueue* queue_;
};

}  // namespace

std::unique_ptr<NotificationRegistration> SimNotificationBackend::Register(DialogQueue* queue) {
  if (queue == nullptr) return nullptr;
  return std::make_unique<SimRegistration>(world_, queue);
}

std::unique_ptr<SimHidBackend> SimHidBackend::Open(const std::string& scenarioPath,
                                                   const SimOptions& options, std::string& error) {
  Scenario scenario;
  if (!scenarioPath.empty()) {
    auto loaded = LoadScenarioFile(scenarioPath, error);
    if (!loaded) return nullptr;
    scenario = std::move(*loaded);
  }
  return Create(std::move(scenario), options, error);
}

std::unique_ptr<SimHidBackend> SimHidBackend::Create(Scenario scenario, const SimOptions& options,
                                                     std::string& error) {
  std::unique_ptr<SimTrace> trace;
  if (!options.tracePath.empty()) {
    trace = SimTrace::Open(options.tracePath, error);
    if (!trace) return nullptr;
  }
  auto backend = std::make_unique<SimHidBackend>(std::move(scenario), std::move(trace));
  if (!options.statePath.empty()) {
    std::optional<SimFlashFile> file;
    if (!OpenSimFlashFile(options.statePath, file, error)) return nullptr;
    for (std::size_t i = 0; file && i < backend->world_->AdapterCount(); ++i) {
      // A file of an older version holds the first adapter's flash only.
      const auto kept = file->adapters.find(backend->world_->FlashKey(i));
      if (kept != file->adapters.end()) {
        backend->SetFlash(kept->second, i);
      } else if (i == 0) {
        backend->SetFlash(file->first, i);
      }
    }
    backend->statePath_ = options.statePath;
  }
  return backend;
}

const Scenario& SimHidBackend::LoadedScenario() const {
  return world_->LoadedScenario();
}

bool SimHidBackend::SaveState(std::string& error) const {
  if (statePath_.empty()) return true;
  SimFlashFile file;
  file.first = Flash(0);
  for (std::size_t i = 0; i < world_->AdapterCount(); ++i) {
    file.adapters[world_->FlashKey(i)] = Flash(i);
  }
  return SaveSimFlashFile(file, statePath_, error);
}

SimHidBackend::SimHidBackend(Scenario scenario, std::unique_ptr<SimTrace> trace)
    : world_(std::make_shared<SimWorld>(std::move(scenario), std::move(trace))),
      notifications_(world_) {}

SimHidBackend::~SimHidBackend() {
  world_->Stop();
}

std::optional<std::vector<std::string>> SimHidBackend::EnumerateInterfaces() {
  return world_->Enumerate();
}

std::unique_ptr<HidReadHandle> SimHidBackend::OpenRead(const std::string& path, OpenError* error) {
  const std::optional<std::size_t> device = world_->Find(path);
  std::shared_ptr<ReadState> state = device ? world_->OpenReader(*device) : nullptr;
  if (!state) {
    if (error) *error = OpenError::kNotFound;
    return nullptr;
  }
  if (error) *error = OpenError::kNone;
  return std::make_unique<SimReadHandle>(world_, std::move(state));
}

std::unique_ptr<HidWriteHandle> SimHidBackend::OpenWrite(const std::string& path) {
  const std::optional<std::size_t> device = world_->Find(path);
  if (!device || !world_->CanWrite(*device)) return nullptr;
  return std::make_unique<SimWriteHandle>(world_, *device);
}

std::vector<std::uint8_t> SimHidBackend::ReportDescriptor() const {
  return world_->Descriptor();
}

void SimHidBackend::Unplug(std::size_t adapter, double replugAfterMs) {
  world_->Unplug(adapter, replugAfterMs);
}

void SimHidBackend::Replug(std::size_t adapter) {
  world_->Replug(adapter);
}

bool SimHidBackend::IsPresent(std::size_t adapter) const {
  return world_->IsPresent(adapter);
}

void SimHidBackend::TraceObject(std::string_view object) {
  world_->TraceObject(object);
}

std::string SimHidBackend::TraceWriteError() const {
  return world_->TraceWriteError();
}

FlashState SimHidBackend::Flash(std::size_t adapter) const {
  return world_->Flash(adapter);
}

void SimHidBackend::SetFlash(FlashState flash, std::size_t adapter) {
  world_->SetFlash(std::move(flash), adapter);
}

ClaimAttempt SimHidBackend::TryClaim(const std::string& path) {
  if (statePath_.empty()) return ClaimAttempt::Unguarded();
  // Each simulated adapter has its lock: the first's is STATE.lock, adapter
  // i's STATE.adapter<i>.lock, so that programs may work on different
  // adapters of one state file at once.
  const std::string first = std::string(kAdapterPathPrefix) + "0";
  const std::string own =
      statePath_ + (path.starts_with(kAdapterPathPrefix) && path != first ? "." + path.substr(4)
                                                                          : std::string());
#ifdef _WIN32
  return TryNamedMutexClaim(AbsoluteName(own));
#else
  // Not the state file itself: saving replaces it with a new file.
  return TryFlockClaim(own + ".lock", LockFile::kCreate);
#endif
}

std::unique_ptr<AdapterClaim> SimHidBackend::HoldMirrorMark(const std::string& /*key*/) {
  if (statePath_.empty()) return nullptr;
#ifdef _WIN32
  return HoldNamedMark(AbsoluteName(statePath_));
#else
  return HoldSharedFlock(statePath_ + ".mirror");
#endif
}

bool SimHidBackend::MirrorMarkHeld(const std::string& /*key*/) {
  if (statePath_.empty()) return false;
#ifdef _WIN32
  return NamedMarkHeld(AbsoluteName(statePath_));
#else
  return FlockHeldElsewhere(statePath_ + ".mirror");
#endif
}

}  // namespace kr35
