// The rhythm and gesture rows of the preset store.
#include "storage/preset_library_definition.h"

#include "storage/gesture_preset_codec.h"
#include "storage/rhythm_preset_codec.h"

namespace quillex {

PresetLibraryDefinition rhythmPresetLibraryDefinition() {
    return PresetLibraryDefinition{
        "Rhythm preset",           "rhythm_preset",       "rhythm_presets.json",  kRhythmPresetSchemaVersion,
        decodeRhythmPresetLibrary, makeRhythmPresetEntry, renameRhythmPresetEntry};
}

PresetLibraryDefinition gesturePresetLibraryDefinition() {
    return PresetLibraryDefinition{
        "Gesture preset",           "gesture_preset",       "gesture_presets.json",  kGesturePresetSchemaVersion,
        decodeGesturePresetLibrary, makeGesturePresetEntry, renameGesturePresetEntry};
}

}  // namespace quillex
