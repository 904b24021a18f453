// The document's bass-split setting.
#pragma once

#include <string>

namespace quillex {

struct BassSplitSection {
    std::string target = "off";
    std::string mode = "migrate";  // "duplicate" or "migrate"

    friend bool operator==(const BassSplitSection&, const BassSplitSection&) = default;
};

}  // namespace quillex
