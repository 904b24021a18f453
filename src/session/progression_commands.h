// The dispatcher steps of the five progression commands.
#pragma once

#include "session/document_command.h"

namespace quillex {

BridgeReply runReplaceProgressionText(const DocumentCommandContext& context);
BridgeReply runApplySlotEdits(const DocumentCommandContext& context);
BridgeReply runTransposeProgression(const DocumentCommandContext& context);
BridgeReply runSetParallelMode(const DocumentCommandContext& context);
BridgeReply runApplyGeneratedProgression(const DocumentCommandContext& context);

}  // namespace quillex
