#pragma once

#include <string>
#include <vector>

#include "platform/CupsHandles.h"
#include "ports/PrintSystem.h"

// The IPP options of a PDF job: collation, copies, sides, InputSlot, media (by the queue's own
// size names where one fits), fit-to-page, page ranges, and last the user's own choices.
void addPdfOptions(CupsOptions& out, const PrintOptions& options,
                   const std::vector<std::string>& mediaSupported);
