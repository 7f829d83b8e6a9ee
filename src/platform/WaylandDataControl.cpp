#include "platform/WaylandDataControl.h"

#include <wayland-client.h>

#include "ext-data-control-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

// What lets one set of calls serve both protocols; our own descriptions of them in
// protocols/*.xml keep it so.
static_assert(EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE ==
                  ZWLR_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE &&
              EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE ==
                  ZWLR_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE &&
              EXT_DATA_CONTROL_MANAGER_V1_DESTROY == ZWLR_DATA_CONTROL_MANAGER_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION ==
                  ZWLR_DATA_CONTROL_DEVICE_V1_SET_SELECTION &&
              EXT_DATA_CONTROL_DEVICE_V1_DESTROY == ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY &&
              EXT_DATA_CONTROL_SOURCE_V1_DESTROY == ZWLR_DATA_CONTROL_SOURCE_V1_DESTROY &&
              EXT_DATA_CONTROL_OFFER_V1_DESTROY == ZWLR_DATA_CONTROL_OFFER_V1_DESTROY &&
              EXT_DATA_CONTROL_DEVICE_V1_DESTROY == EXT_DATA_CONTROL_SOURCE_V1_DESTROY &&
              EXT_DATA_CONTROL_DEVICE_V1_DESTROY == EXT_DATA_CONTROL_OFFER_V1_DESTROY);
static_assert(EXT_DATA_CONTROL_SOURCE_V1_OFFER == ZWLR_DATA_CONTROL_SOURCE_V1_OFFER &&
              EXT_DATA_CONTROL_OFFER_V1_RECEIVE == ZWLR_DATA_CONTROL_OFFER_V1_RECEIVE);
static_assert(
    sizeof(WaylandDataControl::DeviceEvents) == sizeof(ext_data_control_device_v1_listener) &&
    sizeof(WaylandDataControl::DeviceEvents) == sizeof(zwlr_data_control_device_v1_listener) &&
    sizeof(WaylandDataControl::SourceEvents) == sizeof(ext_data_control_source_v1_listener) &&
    sizeof(WaylandDataControl::OfferEvents) == sizeof(ext_data_control_offer_v1_listener));

namespace {

std::uint32_t versionOf(wl_proxy* proxy) { return wl_proxy_get_version(proxy); }

template <typename Events>
void addListener(wl_proxy* proxy, const Events& events, void* data) {
  // libwayland calls the entries by the event's opcode, with the arguments its signature says.
  wl_proxy_add_listener(proxy, reinterpret_cast<void (**)(void)>(const_cast<Events*>(&events)),
                        data);
}

}  // namespace

std::span<const WaylandDataControl> WaylandDataControl::all() {
  static const WaylandDataControl protocols[] = {
      {&ext_data_control_manager_v1_interface, &ext_data_control_device_v1_interface,
       &ext_data_control_source_v1_interface},
      {&zwlr_data_control_manager_v1_interface, &zwlr_data_control_device_v1_interface,
       &zwlr_data_control_source_v1_interface},
  };
  return protocols;
}

std::string_view WaylandDataControl::managerName() const { return manager_->name; }

wl_proxy* WaylandDataControl::bindManager(wl_registry* registry, std::uint32_t name) const {
  // Version 1 has all we use, in both.
  return static_cast<wl_proxy*>(wl_registry_bind(registry, name, manager_, 1));
}

wl_proxy* WaylandDataControl::createSource(wl_proxy* manager) const {
  return wl_proxy_marshal_flags(manager, EXT_DATA_CONTROL_MANAGER_V1_CREATE_DATA_SOURCE, source_,
                                versionOf(manager), 0, nullptr);
}

wl_proxy* WaylandDataControl::getDevice(wl_proxy* manager, wl_proxy* seat) const {
  return wl_proxy_marshal_flags(manager, EXT_DATA_CONTROL_MANAGER_V1_GET_DATA_DEVICE, device_,
                                versionOf(manager), 0, nullptr, seat);
}

void WaylandDataControl::destroyManager(wl_proxy* manager) {
  wl_proxy_marshal_flags(manager, EXT_DATA_CONTROL_MANAGER_V1_DESTROY, nullptr, versionOf(manager),
                         WL_MARSHAL_FLAG_DESTROY);
}

void WaylandDataControl::destroy(wl_proxy* object) {
  wl_proxy_marshal_flags(object, EXT_DATA_CONTROL_DEVICE_V1_DESTROY, nullptr, versionOf(object),
                         WL_MARSHAL_FLAG_DESTROY);
}

void WaylandDataControl::setSelection(wl_proxy* device, wl_proxy* source) {
  wl_proxy_marshal_flags(device, EXT_DATA_CONTROL_DEVICE_V1_SET_SELECTION, nullptr,
                         versionOf(device), 0, source);
}

void WaylandDataControl::offer(wl_proxy* source, const char* mimeType) {
  wl_proxy_marshal_flags(source, EXT_DATA_CONTROL_SOURCE_V1_OFFER, nullptr, versionOf(source), 0,
                         mimeType);
}

void WaylandDataControl::receive(wl_proxy* offer, const char* mimeType, int fd) {
  // The library sends a duplicate of the descriptor.
  wl_proxy_marshal_flags(offer, EXT_DATA_CONTROL_OFFER_V1_RECEIVE, nullptr, versionOf(offer), 0,
                         mimeType, fd);
}

void WaylandDataControl::listen(wl_proxy* device, const DeviceEvents& events, void* data) {
  addListener(device, events, data);
}

void WaylandDataControl::listen(wl_proxy* source, const SourceEvents& events, void* data) {
  addListener(source, events, data);
}

void WaylandDataControl::listen(wl_proxy* offer, const OfferEvents& events, void* data) {
  addListener(offer, events, data);
}
