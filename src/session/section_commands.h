// The six section-command handlers of the dispatcher.
#pragma once

#include "session/document_command.h"

namespace quillex {

// Each returns false, leaving the reply alone, when the context's command is not its
// type; otherwise it fills the reply and returns true. Field reading and setter
// errors are thrown to the dispatcher.
bool handleSetKey(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply);
bool handleSetVoicingPolicy(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply);
bool handleSetRhythm(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply);
bool handleSetGestureDefaults(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply);
bool handleSetBassSplit(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply);
bool handleSetClipSync(const DocumentCommandContext& context, SectionNames sections, BridgeReply& reply);

}  // namespace quillex
