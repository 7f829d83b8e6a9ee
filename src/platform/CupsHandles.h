#pragma once

#include <cups/cups.h>

#include <memory>
#include <string>

// Owners for what libcups hands out. The agent runs for weeks and talks to CUPS on every job, so
// each connection, destination, option array and IPP message is freed on every path out.

struct CupsConnectionClose {
  void operator()(http_t* http) const { httpClose(http); }
};
using CupsConnection = std::unique_ptr<http_t, CupsConnectionClose>;

// A single destination from cupsGetNamedDest.
struct CupsDestFree {
  void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using CupsDest = std::unique_ptr<cups_dest_t, CupsDestFree>;

struct CupsDestInfoFree {
  void operator()(cups_dinfo_t* info) const { cupsFreeDestInfo(info); }
};
using CupsDestInfo = std::unique_ptr<cups_dinfo_t, CupsDestInfoFree>;

struct IppMessageDelete {
  void operator()(ipp_t* message) const { ippDelete(message); }
};
using IppMessage = std::unique_ptr<ipp_t, IppMessageDelete>;

// An option array built with cupsAddOption.
class CupsOptions {
 public:
  CupsOptions() = default;
  ~CupsOptions() { cupsFreeOptions(count_, options_); }
  CupsOptions(const CupsOptions&) = delete;
  CupsOptions& operator=(const CupsOptions&) = delete;

  void add(const char* name, const std::string& value) {
    count_ = cupsAddOption(name, value.c_str(), count_, &options_);
  }
  const char* get(const char* name) const { return cupsGetOption(name, count_, options_); }
  int count() const { return count_; }
  cups_option_t* data() const { return options_; }

 private:
  int count_ = 0;
  cups_option_t* options_ = nullptr;
};

// Where the scheduler is, as the environment named it (CUPS_SERVER, client.conf, cupsSetServer)
// on the thread that asked: libcups keeps these per thread, and requests run on another one.
struct CupsServer {
  std::string host = cupsServer();
  int port = ippPort();
  http_encryption_t encryption = cupsEncryption();
  std::string user = cupsUser();

  // The address for log lines: libcups words a refused connection as whatever errno holds after
  // its clean-up (often "Bad file descriptor").
  std::string address() const {
    return !host.empty() && host.front() == '/' ? host : host + ":" + std::to_string(port);
  }
};

// A request about the object the URI names (printer-uri, job-uri), made as this user.
inline ipp_t* userRequest(ipp_op_t op, const char* uriName, const std::string& uri) {
  ipp_t* request = ippNewRequest(op);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, uriName, nullptr, uri.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  return request;
}

// What libcups says of the last request that failed, in words where it has them.
inline std::string lastCupsError() {
  const char* text = cupsLastErrorString();
  if (text != nullptr && *text != '\0') return text;
  return ippErrorString(cupsLastError());
}

// Every wait on a connection is bounded: a scheduler that is stopped or frozen (it accepts the
// connection but never answers) costs a few seconds, not the minutes of libcups's defaults.
inline constexpr int kSchedulerTimeoutMs = 5000;

inline CupsConnection connectToScheduler(const CupsServer& server) {
  CupsConnection http(httpConnect2(server.host.c_str(), server.port, nullptr, AF_UNSPEC,
                                   server.encryption, 1, kSchedulerTimeoutMs, nullptr));
  if (http) {
    // Returning 0 from the callback gives up the request that is waiting.
    httpSetTimeout(
        http.get(), kSchedulerTimeoutMs / 1000.0, [](http_t*, void*) { return 0; }, nullptr);
  }
  return http;
}
