#include "platform/CupsKnowledge.h"

#include <cstring>
#include <map>

#include "platform/CupsHandles.h"
#include "platform/CupsPpd.h"

namespace {

// The description users know a queue by; its queue name when it has none.
std::string descriptionOf(const cups_dest_t& dest) {
  const char* info = cupsGetOption("printer-info", dest.num_options, dest.options);
  return (info != nullptr && *info != '\0') ? info : dest.name;
}

std::vector<std::string> stringsOf(ipp_attribute_t* attr) {
  std::vector<std::string> values;
  for (int i = 0; i < ippGetCount(attr); ++i) {
    if (const char* value = ippGetString(attr, i, nullptr)) values.emplace_back(value);
  }
  return values;
}

struct Capabilities {
  bool formatsListed = false;
  std::vector<std::string> formats;
  std::vector<std::string> compression;
  std::vector<std::string> media;
};

// Every queue's capabilities in one CUPS-Get-Printers request.
std::map<std::string, Capabilities> capabilitiesOf(http_t* http) {
  static const char* const kWanted[] = {"printer-name", "document-format-supported",
                                        "compression-supported", "media-supported"};
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kWanted)), nullptr, kWanted);
  const IppMessage response(cupsDoRequest(http, request, "/"));
  std::map<std::string, Capabilities> result;
  if (!response) return result;
  std::string name;
  Capabilities current;
  const auto flush = [&] {
    if (!name.empty()) result[name] = std::move(current);
    name.clear();
    current = {};
  };
  for (ipp_attribute_t* attr = ippFirstAttribute(response.get()); attr != nullptr;
       attr = ippNextAttribute(response.get())) {
    const char* attrName = ippGetName(attr);
    if (attrName == nullptr) {  // the separator between two printers
      flush();
      continue;
    }
    if (ippGetGroupTag(attr) != IPP_TAG_PRINTER) continue;
    if (std::strcmp(attrName, "printer-name") == 0) {
      name = ippGetString(attr, 0, nullptr);
    } else if (std::strcmp(attrName, "document-format-supported") == 0) {
      current.formatsListed = true;
      current.formats = stringsOf(attr);
    } else if (std::strcmp(attrName, "compression-supported") == 0) {
      current.compression = stringsOf(attr);
    } else if (std::strcmp(attrName, "media-supported") == 0) {
      current.media = stringsOf(attr);
    }
  }
  flush();
  return result;
}

bool contains(const std::vector<std::string>& values, const char* value) {
  for (const std::string& v : values) {
    if (v == value) return true;
  }
  return false;
}

}  // namespace

const CupsQueue* CupsKnowledge::resolve(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (const CupsQueue& queue : queues) {
    if (queue.printerName == name) return &queue;
  }
  // A queue name; never a description that two queues share, which names neither.
  return byQueue(name);
}

const CupsQueue* CupsKnowledge::byQueue(const std::string& queue) const {
  for (const CupsQueue& q : queues) {
    if (q.queue == queue) return &q;
  }
  return nullptr;
}

CupsKnowledge readKnowledge(http_t* http) {
  CupsKnowledge knowledge;
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(http, &dests);
  // Read at once: the next libcups call overwrites them.
  knowledge.status = cupsLastError();
  knowledge.error = cupsLastErrorString() != nullptr ? cupsLastErrorString() : "";
  // A scheduler without printers answers client-error-not-found.
  knowledge.answered = count > 0 || knowledge.status <= IPP_STATUS_OK_EVENTS_COMPLETE ||
                       knowledge.status == IPP_STATUS_ERROR_NOT_FOUND;
  if (!knowledge.answered) {
    // A request given up on after the timeout leaves errno's "Success" as its text.
    if (knowledge.error.empty() || knowledge.error == "Success")
      knowledge.error = "it does not answer";
    cupsFreeDests(count, dests);
    return knowledge;
  }

  std::map<std::string, Capabilities> capabilities = capabilitiesOf(http);
  for (int i = 0; i < count; ++i) {
    const cups_dest_t& dest = dests[i];
    // The default may be an lpoptions instance; it is named after its queue.
    if (dest.is_default) knowledge.defaultQueue = dest.name;
    // lpoptions instances are option presets of a queue, not printers of their own.
    if (dest.instance != nullptr) continue;
    CupsQueue queue;
    queue.queue = dest.name;
    // Where another queue has the same description (one printer model on USB and on the
    // network), the queue name in parentheses makes every name name exactly one queue.
    queue.printerName = descriptionOf(dest);
    for (int j = 0; j < count; ++j) {
      const cups_dest_t& other = dests[j];
      if (other.instance != nullptr || std::strcmp(other.name, dest.name) == 0) continue;
      if (descriptionOf(other) == queue.printerName) {
        queue.printerName += std::string(" (") + dest.name + ")";
        break;
      }
    }
    const char* uri = cupsGetOption("printer-uri-supported", dest.num_options, dest.options);
    queue.uri = uri != nullptr ? uri : std::string("ipp://localhost/printers/") + dest.name;
    const Capabilities& caps = capabilities[queue.queue];
    queue.formatsListed = caps.formatsListed;
    queue.acceptsRaw = contains(caps.formats, CUPS_FORMAT_RAW);
    queue.acceptsGzip = contains(caps.compression, "gzip");
    queue.media = caps.media;
    queue.inputSlots = CupsPpd::inputSlots(http, dest.name);
    knowledge.queues.push_back(std::move(queue));
  }
  cupsFreeDests(count, dests);
  return knowledge;
}
