// Factory of the default gesture section.
#include "document/gesture_section.h"

namespace quillex {

std::shared_ptr<const GestureSection> makeDefaultGestureSection() { return std::make_shared<const GestureSection>(); }

}  // namespace quillex
