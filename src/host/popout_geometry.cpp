// Pop-out window size from scales, and the saved scales: reading, committing a settled gesture, writing back.
#include "host/popout_geometry.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace quillex {

using nlohmann::json;

namespace {

// lround of a value known to lie within [low, high]; NaN and anything outside
// take the nearest bound, so no conversion is ever undefined.
std::int64_t roundWithin(double value, std::int64_t low, std::int64_t high) {
    if (std::isnan(value) || value <= static_cast<double>(low)) return low;
    if (value >= static_cast<double>(high)) return high;
    return std::clamp<std::int64_t>(std::llround(value), low, high);
}

double roundScale(std::int32_t size, std::int32_t docked) {
    const double base = std::max(docked, 1);
    return std::round(size / base * 10000.0) / 10000.0;  // std::round takes halves away from zero
}

}  // namespace

PopoutWindowSize computeWindowSize(double desiredWidth, double desiredHeight, std::int32_t baseWidth,
                                   std::int32_t baseHeight) {
    const std::int64_t bh = std::max(baseHeight, 1);
    const std::int64_t hMax = std::max<std::int64_t>(
        bh, std::min<std::int64_t>(static_cast<std::int64_t>(std::floor(static_cast<double>(bh) * 2.5)),
                                   std::numeric_limits<std::int32_t>::max()));
    const std::int64_t h = roundWithin(desiredHeight, bh, hMax);

    const std::int64_t bw = std::max(baseWidth, 1);
    const double wMinExact = std::ceil(static_cast<double>(bw) * static_cast<double>(h) / static_cast<double>(bh));
    const auto wMin =
        static_cast<std::int64_t>(std::min(wMinExact, static_cast<double>(std::numeric_limits<std::int32_t>::max())));
    std::int64_t w;
    if (!std::isnan(desiredWidth) && desiredWidth >= kMaximumWindowWidth + 0.5)
        w = kMaximumWindowWidth;
    else
        w = roundWithin(desiredWidth, std::min<std::int64_t>(wMin, kMaximumWindowWidth),
                        std::max<std::int64_t>(wMin, kMaximumWindowWidth));
    if (w < wMin) w = wMin;
    return {static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)};
}

bool readExternalWindowGeometry(const UserSettingsPaths& paths, PopoutGeometry& geometry) {
    const UserSettingsResult loaded = loadUserSettings(paths, "");
    if (!loaded.ok) return false;
    try {
        const json settings = json::parse(loaded.settingsJson);
        const json& saved = settings.at("externalWindowGeometry");
        PopoutGeometry next = geometry;
        if (saved.is_null()) {
            next.hasSaved = false;
        } else {
            next.widthScale = saved.at("widthScale").get<double>();
            next.heightScale = saved.at("heightScale").get<double>();
            next.hasSaved = true;
        }
        next.dirty = false;
        geometry = next;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

GeometryCommit commitPopoutGeometry(PopoutGeometry& geometry, std::int32_t width, std::int32_t height,
                                    std::int32_t dockedWidth, std::int32_t dockedHeight) {
    const double widthScale = roundScale(width, dockedWidth);
    const double heightScale = roundScale(height, dockedHeight);
    if (geometry.hasSaved && std::abs(widthScale - geometry.widthScale) <= 0.0001 &&
        std::abs(heightScale - geometry.heightScale) <= 0.0001)
        return geometry.dirty ? GeometryCommit::rearm : GeometryCommit::nothing;
    geometry.widthScale = widthScale;
    geometry.heightScale = heightScale;
    geometry.hasSaved = true;
    geometry.dirty = true;
    return GeometryCommit::rearm;
}

std::string nextGeometryTransactionId() {
    static std::atomic<std::uint64_t> counter{0};
    return "external-window-geometry-" + std::to_string(counter.fetch_add(1) + 1);
}

GeometryPersistOutcome persistPopoutGeometry(const UserSettingsPaths& paths, PersistenceTransactionRegistry& registry,
                                             PopoutGeometry& geometry, const std::string& transactionId) {
    if (!geometry.dirty || !geometry.hasSaved) return {};
    const json value = {{"widthScale", geometry.widthScale}, {"heightScale", geometry.heightScale}};
    GeometryPersistOutcome outcome;
    try {
        auto guard = PersistenceTransactionGuard::acquire(registry, transactionId);
        if (!guard) throw std::runtime_error("External window geometry transaction ID is already pending");
        const UserSettingsResult written = writeUserSettings(paths, "externalWindowGeometry", value.dump());
        if (!written.ok) throw std::runtime_error(written.message);
        json stored = json::parse(written.settingsJson);
        if (!stored.is_object() || !stored.contains("externalWindowGeometry") ||
            stored["externalWindowGeometry"] != value)
            throw std::runtime_error("External window geometry persistence readback did not match");
        geometry.dirty = false;
        outcome.settings = std::move(stored);
    } catch (const std::exception& e) {
        outcome.ok = false;
        outcome.error = e.what();
    }
    return outcome;
}

}  // namespace quillex
