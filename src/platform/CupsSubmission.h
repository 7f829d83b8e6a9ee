#pragma once

#include <cups/cups.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/CupsHandles.h"
#include "platform/CupsKnowledge.h"

// A job of ours carries this job attribute, so that the agent knows its own jobs again when
// it starts after it was killed half-way through one.
inline constexpr const char* kAgentJobAttribute = "zelbrin-client-job";

struct JobOutcome {
  bool submitted = false;
  bool reachedCups = true;  // false: CUPS gave no answer at all
  int jobId = 0;
  ipp_status_t status = IPP_STATUS_OK;
  std::string error;
};

// Writes the document body; returns an error text, or nothing when all was sent.
using BodyWriter = std::function<std::optional<std::string>(http_t*)>;

// A job in two requests, Create-Job and Send-Document, on the given connection. A job that
// was created but not completed is cancelled on a connection of its own.
JobOutcome submitJob(http_t* http, const CupsServer& server, const CupsQueue& queue,
                     const std::string& title, const char* format, const CupsOptions& jobOptions,
                     bool gzipped, const BodyWriter& writeBody);

// The jobs of ours that an agent left half-made (created, no document): each is cancelled, with
// a line on standard error. Returns how many.
int cancelLeftoverJobs(http_t* http, const CupsServer& server);
