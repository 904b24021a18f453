// Hand-built trigger rows and collecting sinks shared by the expansion, playback and phrase tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <random>
#include <vector>

#include "performance/hit_expansion.h"
#include "performance/trigger_row.h"

namespace quillex::testing {

// A page over `pitches` with onset offsets (in spread units, 0 when not given) and unit multipliers.
inline TriggerPage pageOf(std::initializer_list<int> pitches, std::initializer_list<double> offsets = {}) {
    TriggerPage page{};
    std::size_t i = 0;
    for (const int pitch : pitches) page.pitches[i++] = static_cast<std::uint8_t>(pitch);
    page.noteCount = static_cast<std::uint8_t>(pitches.size());
    i = 0;
    for (const double offset : offsets) page.onsetOffsets[i++] = offset;
    for (std::size_t k = 0; k < page.noteCount; ++k) page.velocityMultipliers[k] = 1.0;
    return page;
}

// A fixed strum spread in beats at every velocity.
inline void setSpread(TriggerRow& row, double beats) {
    row.spreadAtSoftest = beats;
    row.spreadAtMiddle = beats;
    row.spreadAtHardest = beats;
}

// An enabled chord row with the given pages.
inline TriggerRow chordRow(std::initializer_list<TriggerPage> pages, double duration = 4.0, bool step = false) {
    TriggerRow row;
    row.enabled = 1;
    row.step = step ? 1 : 0;
    row.duration = duration;
    std::size_t p = 0;
    for (const TriggerPage& page : pages) row.pages[p++] = page;
    row.pageCount = static_cast<std::uint8_t>(pages.size());
    return row;
}

// Adds a hit at `onset` sounding the row's pages (each note `length` beats).
inline void addHit(TriggerRow& row, double onset, double length) {
    TriggerHit& hit = row.hits[row.hitCount++];
    hit.onset = onset;
    hit.noteCount = row.pages[0].noteCount;
    hit.pageCount = row.pageCount;
    for (std::size_t k = 0; k < hit.noteCount; ++k) {
        hit.pitches[k] = row.pages[0].pitches[k];
        hit.lengths[k] = length;
        hit.velocityFactors[k] = 1.0;
    }
    hit.pages = row.pages;
}

// A rhythmic row of `cycle` beats with one-note hits at the given onsets.
inline TriggerRow rhythmRow(std::initializer_list<TriggerPage> pages, double cycle, double duration,
                            std::initializer_list<double> onsets, double length = 0.5) {
    TriggerRow row = chordRow(pages, duration);
    row.rhythmic = 1;
    row.cycleLength = cycle;
    for (const double onset : onsets) addHit(row, onset, length);
    return row;
}

// A sink that keeps every note; stops after `limit` notes when given.
struct NoteList {
    std::vector<ExpandedNote> notes;
    std::size_t limit = SIZE_MAX;

    static bool sink(void* context, const ExpandedNote& note) noexcept {
        auto& list = *static_cast<NoteList*>(context);
        if (list.notes.size() >= list.limit) return false;
        list.notes.push_back(note);
        return true;
    }
};

// A compiled-looking rhythmic row from a seed: 1..16 hits, 1..8 pages, 1..16 notes, strums and steps.
inline TriggerRow randomRhythmRow(std::mt19937& rng) {
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto unit = [&] { return std::uniform_real_distribution<double>(0.0, 1.0)(rng); };
    TriggerRow row;
    row.enabled = 1;
    row.rhythmic = 1;
    row.step = pick(0, 1);
    row.globalFollow = pick(0, 1);
    row.cycleLength = 0.25 * pick(1, 16);
    row.duration = 0.25 * pick(1, 32);
    row.velocity = static_cast<std::uint8_t>(pick(1, 127));
    setSpread(row, pick(0, 2) == 0 ? 0.0 : 0.05 * unit());
    row.pageCount = static_cast<std::uint8_t>(pick(1, 8));
    const int notes = pick(1, 16);
    const int base = pick(0, 100);
    for (std::size_t p = 0; p < row.pageCount; ++p) {
        TriggerPage& page = row.pages[p];
        page.noteCount = static_cast<std::uint8_t>(notes);
        for (int k = 0; k < notes; ++k) {
            page.pitches[static_cast<std::size_t>(k)] =
                static_cast<std::uint8_t>(base + (k * 7 + static_cast<int>(p)) % 27);
            page.onsetOffsets[static_cast<std::size_t>(k)] = unit();
            page.velocityMultipliers[static_cast<std::size_t>(k)] = 0.5 + unit();
        }
    }
    const int hits = pick(1, 16);
    const int steps = static_cast<int>(row.cycleLength / 0.25);
    for (int h = 0; h < hits; ++h) {
        TriggerHit& hit = row.hits[row.hitCount++];
        hit.onset = 0.25 * ((h * steps) / hits);
        hit.noteCount = static_cast<std::uint8_t>(notes);
        hit.pageCount = row.pageCount;
        hit.pages = row.pages;
        for (int k = 0; k < notes; ++k) {
            hit.pitches[static_cast<std::size_t>(k)] = row.pages[0].pitches[static_cast<std::size_t>(k)];
            hit.lengths[static_cast<std::size_t>(k)] = 0.25 * pick(1, 8);
            hit.velocityFactors[static_cast<std::size_t>(k)] = 0.01 * pick(1, 100);
        }
    }
    return row;
}

}  // namespace quillex::testing
