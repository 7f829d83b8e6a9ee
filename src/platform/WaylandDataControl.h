#pragma once

#include <cstdint>
#include <span>
#include <string_view>

struct wl_interface;
struct wl_proxy;
struct wl_registry;

// The calls of the data-control protocols that the clipboard makes. The ext protocol and the
// older wlr one (all that sway 1.7 has) carry the same requests and events, in the same order
// and with the same arguments, under other interface names. So one set of calls on plain
// proxies serves both; only the interfaces given to new objects depend on which one is bound.
class WaylandDataControl {
 public:
  // Best first: ext, then wlr.
  static std::span<const WaylandDataControl> all();

  std::string_view managerName() const;
  wl_proxy* bindManager(wl_registry* registry, std::uint32_t name) const;
  wl_proxy* createSource(wl_proxy* manager) const;
  wl_proxy* getDevice(wl_proxy* manager, wl_proxy* seat) const;

  static void destroyManager(wl_proxy* manager);
  // A device, source or offer.
  static void destroy(wl_proxy* object);
  // Nothing (null) empties the selection.
  static void setSelection(wl_proxy* device, wl_proxy* source);
  static void offer(wl_proxy* source, const char* mimeType);
  // The owner writes into `fd`; our copy may be closed as soon as this returns.
  static void receive(wl_proxy* offer, const char* mimeType, int fd);

  // The events, in their order on the wire. An offer is introduced by dataOffer and its types
  // come before the selection event that names it; the primary selection is not ours to use.
  struct DeviceEvents {
    void (*dataOffer)(void* data, wl_proxy* device, wl_proxy* offer);
    void (*selection)(void* data, wl_proxy* device, wl_proxy* offer);
    void (*finished)(void* data, wl_proxy* device);
    void (*primarySelection)(void* data, wl_proxy* device, wl_proxy* offer);
  };
  struct SourceEvents {
    void (*send)(void* data, wl_proxy* source, const char* mimeType, std::int32_t fd);
    void (*cancelled)(void* data, wl_proxy* source);
  };
  struct OfferEvents {
    void (*offer)(void* data, wl_proxy* offer, const char* mimeType);
  };
  static void listen(wl_proxy* device, const DeviceEvents& events, void* data);
  static void listen(wl_proxy* source, const SourceEvents& events, void* data);
  static void listen(wl_proxy* offer, const OfferEvents& events, void* data);

 private:
  WaylandDataControl(const wl_interface* manager, const wl_interface* device,
                     const wl_interface* source)
      : manager_(manager), device_(device), source_(source) {}

  const wl_interface* manager_;
  const wl_interface* device_;
  const wl_interface* source_;
};
