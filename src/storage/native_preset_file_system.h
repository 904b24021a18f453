// The preset file system on the operating system's durable file layer.
#pragma once

#include <memory>

#include "storage/preset_file_system.h"

namespace quillex::host {

// One object per library. Files are read and written through platform/file_system.h
// with the 2 MiB limit; failures throw std::runtime_error with the store's fixed messages.
std::shared_ptr<PresetFileSystem> makeNativePresetFileSystem();

}  // namespace quillex::host
