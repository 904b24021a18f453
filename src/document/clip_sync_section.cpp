// Factory of the default clip-sync section.
#include "document/clip_sync_section.h"

namespace quillex {

std::shared_ptr<const ClipSyncSection> makeDefaultClipSyncSection() {
    return std::make_shared<const ClipSyncSection>();
}

}  // namespace quillex
