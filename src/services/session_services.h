// The platform services of a recorded or replayed session.
#pragma once

#include <memory>

#include "services/platform_services.h"

namespace kr35 {

// The services of this machine's own devices (each platform defines them).
std::unique_ptr<PlatformServices> CreateNativeServices();

// A recording played back as the adapter; null with `error` when it cannot be read.
std::unique_ptr<PlatformServices> CreateReplayServices(const ServiceOptions& options,
                                                       std::string& error);
// `inner` with every HID call and device notice written to the recording;
// null with `error` when the file cannot be written.
std::unique_ptr<PlatformServices> RecordServices(std::unique_ptr<PlatformServices> inner,
                                                 const ServiceOptions& options, std::string& error);

}  // namespace kr35
