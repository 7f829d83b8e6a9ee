#pragma once

#include <cups/cups.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the agent keeps of one CUPS queue: everything a job needs, so that a job asks CUPS
// nothing but to take it.
struct CupsQueue {
  std::string queue;        // the queue name
  std::string printerName;  // what users see: the description, made unique where two share it
  std::string uri;          // printer-uri for requests about this queue
  std::optional<std::vector<std::string>> inputSlots;  // the PPD's InputSlot choices
  bool formatsListed = false;                          // document-format-supported was given
  bool acceptsRaw = false;
  bool acceptsGzip = false;
  std::vector<std::string> media;  // media-supported, by PWG name
};

// The destinations as CUPS last told them.
struct CupsKnowledge {
  bool answered = false;  // false: the lists below are empty because CUPS could not be asked
  ipp_status_t status = IPP_STATUS_OK;
  std::string error;  // why CUPS could not be asked
  std::vector<CupsQueue> queues;
  std::optional<std::string> defaultQueue;
  std::uint64_t generation = 0;  // later readings have higher numbers

  // A printer name (descriptions first, then queue names, both exactly) to its queue.
  const CupsQueue* resolve(const std::string& name) const;
  const CupsQueue* byQueue(const std::string& queue) const;
};

// Reads it all over the connection: the destination list with the default, the capabilities of
// every queue in one request, and each queue's PPD.
CupsKnowledge readKnowledge(http_t* http);
