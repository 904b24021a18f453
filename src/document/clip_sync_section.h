// The document's clip-sync setting.
#pragma once

#include <memory>
#include <string>

namespace quillex {

struct ClipSyncSection {
    std::string mode = "off";  // "off", "bound" or "detached"

    friend bool operator==(const ClipSyncSection&, const ClipSyncSection&) = default;
};

std::shared_ptr<const ClipSyncSection> makeDefaultClipSyncSection();

}  // namespace quillex
