// Pop-out window size from scales, and the saved scales: reading, committing a settled gesture, writing back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "host/persistence_transaction_guard.h"
#include "storage/user_settings_store.h"

namespace quillex {

inline constexpr std::int32_t kDockedWidth = 834;
inline constexpr std::int32_t kDockedHeight = 179;
inline constexpr std::int32_t kMaximumWindowWidth = 32767;

struct PopoutWindowSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const PopoutWindowSize&, const PopoutWindowSize&) = default;
};

// The window size nearest the desired one within the bounds of the base size:
// heights base .. 2.5 x base, widths from the base aspect ratio to 32767. Any
// double is accepted: NaN reads as the lower bound, infinities as the nearest bound.
PopoutWindowSize computeWindowSize(double desiredWidth, double desiredHeight, std::int32_t baseWidth,
                                   std::int32_t baseHeight);

// The user's remembered window scales relative to the docked size.
struct PopoutGeometry {
    double widthScale = 0.0;
    double heightScale = 0.0;
    bool hasSaved = false;
    bool dirty = false;  // the scales differ from what the settings file holds
    friend bool operator==(const PopoutGeometry&, const PopoutGeometry&) = default;
};

// Loads the saved scales from the settings; false (fields untouched) when
// the settings cannot be read.
bool readExternalWindowGeometry(const UserSettingsPaths& paths, PopoutGeometry& geometry);

// What a finished gesture to (width, height) asks of the geometry timer.
enum class GeometryCommit { nothing, rearm };
// Stores the scales of a settled size (4 decimals, halves away from zero);
// re-arming is asked when the scales changed or a write is still due.
GeometryCommit commitPopoutGeometry(PopoutGeometry& geometry, std::int32_t width, std::int32_t height,
                                    std::int32_t dockedWidth, std::int32_t dockedHeight);

// "external-window-geometry-N" from a counter shared by every object of the process.
std::string nextGeometryTransactionId();

struct GeometryPersistOutcome {
    bool ok = true;
    std::string error;                       // why the write failed
    std::optional<nlohmann::json> settings;  // the stored settings after a write
};

// Writes the scales when a write is due, under a claim on `transactionId`, and
// checks the stored value; the scales stay dirty when anything fails.
GeometryPersistOutcome persistPopoutGeometry(const UserSettingsPaths& paths, PersistenceTransactionRegistry& registry,
                                             PopoutGeometry& geometry, const std::string& transactionId);

}  // namespace quillex
