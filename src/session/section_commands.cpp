// Section commands: the session's section setters and their dispatcher handlers.
#include "session/section_commands.h"

#include <stdexcept>
#include <vector>

#include "document/document_reader.h"
#include "theory/chord_symbol.h"
#include "document/document_theory.h"

namespace quillex {

using nlohmann::json;

SessionResult DocumentSession::setKey(std::shared_ptr<const KeySection> key, const UserSettingsSection& userSettings,
                                      std::uint64_t baseRevision, std::string transactionId) {
    return changeDocument(baseRevision, std::move(transactionId), userSettings, ResolveImpact::Harmony,
                          [&](ProjectDocument& document, const ProjectDocument& base) {
                              auto progression = std::make_shared<ProgressionSection>(*document.progression);
                              auto newKey = std::make_shared<KeySection>(*key);
                              std::vector<Chord> chords;
                              chords.reserve(progression->slots.size());
                              for (const auto& slot : progression->slots) {
                                  if (slot.isRest) continue;
                                  auto chord = parseChordSymbol(slot.chord.original);
                                  if (!chord) throw std::runtime_error("Existing slot chord is invalid");
                                  chords.push_back(std::move(*chord));
                              }
                              if (!base.key->autoKey && newKey->autoKey) applyAutoKey(*newKey, chords);
                              std::size_t next = 0;
                              for (auto& slot : progression->slots) {
                                  if (!slot.isRest) slot.chord = analyzeSlotChord(chords[next++], *newKey);
                              }
                              document.key = std::move(newKey);
                              document.progression = std::move(progression);
                          });
}

SessionResult DocumentSession::setVoicingPolicy(std::shared_ptr<const VoicingSection> voicing,
                                                const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                                std::string transactionId) {
    return changeDocument(baseRevision, std::move(transactionId), userSettings, ResolveImpact::Harmony,
                          [&](ProjectDocument& document, const ProjectDocument& base) {
                              if (voicing->autoVoiceLeading != base.voicing->autoVoiceLeading) {
                                  auto progression = std::make_shared<ProgressionSection>(*document.progression);
                                  bool first = true;
                                  for (auto& slot : progression->slots) {
                                      if (slot.isRest) continue;
                                      slot.isAutoVoiced = first ? false : voicing->autoVoiceLeading;
                                      first = false;
                                  }
                                  document.progression = std::move(progression);
                              }
                              document.voicing = voicing;
                          });
}

SessionResult DocumentSession::setRhythm(std::shared_ptr<const RhythmSection> rhythm,
                                         const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                         std::string transactionId) {
    return changeDocument(baseRevision, std::move(transactionId), userSettings, ResolveImpact::Performance,
                          [&](ProjectDocument& document, const ProjectDocument&) { document.rhythm = rhythm; });
}

SessionResult DocumentSession::setGestureDefaults(std::shared_ptr<const GestureSection> gesture,
                                                  const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                                  std::string transactionId) {
    return changeDocument(baseRevision, std::move(transactionId), userSettings, ResolveImpact::None,
                          [&](ProjectDocument& document, const ProjectDocument&) { document.gesture = gesture; });
}

SessionResult DocumentSession::setBassSplit(std::shared_ptr<const BassSplitSection> bassSplit,
                                            const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                            std::string transactionId) {
    return changeDocument(baseRevision, std::move(transactionId), userSettings, ResolveImpact::None,
                          [&](ProjectDocument& document, const ProjectDocument&) { document.bassSplit = bassSplit; });
}

SessionResult DocumentSession::setClipSync(std::shared_ptr<const ClipSyncSection> clipSync,
                                           const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                           std::string transactionId) {
    return changeDocument(baseRevision, std::move(transactionId), userSettings, ResolveImpact::None,
                          [&](ProjectDocument& document, const ProjectDocument&) { document.clipSync = clipSync; });
}

SessionResult DocumentSession::setClipSyncWithBassSplit(std::shared_ptr<const ClipSyncSection> clipSync,
                                                        std::shared_ptr<const BassSplitSection> bassSplit,
                                                        const UserSettingsSection& userSettings,
                                                        std::uint64_t baseRevision, std::string transactionId) {
    return changeDocument(baseRevision, std::move(transactionId), userSettings, ResolveImpact::None,
                          [&](ProjectDocument& document, const ProjectDocument&) {
                              document.clipSync = clipSync;
                              document.bassSplit = bassSplit;
                          });
}

SessionResult DocumentSession::updateProgressionLog(std::shared_ptr<const ProgressionLog> log,
                                                    const UserSettingsSection& userSettings, std::uint64_t baseRevision,
                                                    std::string transactionId) {
    return changeDocument(baseRevision, std::move(transactionId), userSettings, ResolveImpact::None,
                          [&](ProjectDocument& document, const ProjectDocument&) { document.progressionLog = log; });
}

namespace {

template <typename Section>
using SectionReader = std::shared_ptr<const Section> (*)(const json&);

template <typename Section>
using SectionSetter = SessionResult (DocumentSession::*)(std::shared_ptr<const Section>, const UserSettingsSection&,
                                                         std::uint64_t, std::string);

// The frame of the six handlers: strict envelope, exactly "type" and the section key,
// read the section, run the setter, report the change.
template <typename Section>
bool handleSection(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply,
                   std::string_view type, const char* key, SectionReader<Section> reader,
                   SectionSetter<Section> setter) {
    if (context.type != type) return false;
    if (!readDocumentCommandEnvelope(context.request) || !hasExactlyKeys(context.command, {"type", key})) {
        std::string message(type);
        message += " fields are invalid";
        reply = makeDocumentErrorReply(context.request, "invalid_document_command", message);
        return true;
    }
    const std::uint64_t baseRevision = readBaseRevision(context);
    const RevisionPtr previous = context.session.currentRevision();
    std::string transactionId = context.transactionId;
    auto section = reader(context.command.at(key));
    const auto& settings = requireUserSettings(context);
    const SessionResult result =
        (context.session.*setter)(std::move(section), settings, baseRevision, std::move(transactionId));
    reply = replyToChange(context, previous, result, sections);
    return true;
}

}  // namespace

bool handleSetKey(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply) {
    return handleSection<KeySection>(context, sections, reply, "set_key", "key", readKeySection,
                                     &DocumentSession::setKey);
}

bool handleSetVoicingPolicy(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply) {
    return handleSection<VoicingSection>(context, sections, reply, "set_voicing_policy", "voicing", readVoicingSection,
                                         &DocumentSession::setVoicingPolicy);
}

bool handleSetRhythm(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply) {
    return handleSection<RhythmSection>(context, sections, reply, "set_rhythm", "rhythm", readRhythmSection,
                                        &DocumentSession::setRhythm);
}

bool handleSetGestureDefaults(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply) {
    return handleSection<GestureSection>(context, sections, reply, "set_gesture_defaults", "gesture",
                                         readGestureSection, &DocumentSession::setGestureDefaults);
}

bool handleSetBassSplit(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply) {
    return handleSection<BassSplitSection>(context, sections, reply, "set_bass_split", "bassSplit",
                                           readBassSplitSection, &DocumentSession::setBassSplit);
}

bool handleSetClipSync(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply) {
    return handleSection<ClipSyncSection>(context, sections, reply, "set_clip_sync", "clipSync", readClipSyncSection,
                                          &DocumentSession::setClipSync);
}

}  // namespace quillex
