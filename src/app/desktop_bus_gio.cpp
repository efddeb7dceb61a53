#include "app/desktop_bus.h"

#include <gio/gio.h>

#include <cstdlib>
#include <memory>
#include <utility>

struct DesktopBus::Connection {
  GCancellable* cancellable = g_cancellable_new();
  GDBusConnection* bus = nullptr;  // once reached
  bool closed = false;             // the DesktopBus is gone: a late connection is closed at once

  ~Connection() {
    Close();
    g_object_unref(cancellable);
  }
  void Close() {
    closed = true;
    g_cancellable_cancel(cancellable);
    if (!bus) return;
    // What was sent has gone to the bus already: the connection's worker writes at once.
    g_dbus_connection_close(bus, nullptr, nullptr, nullptr);
    g_object_unref(bus);
    bus = nullptr;
  }
};

namespace {

// A connection of our own: a shared one would end the program should the bus go away.
void Reached(GObject* /*source*/, GAsyncResult* result, gpointer data) {
  const std::unique_ptr<std::shared_ptr<DesktopBus::Connection>> holder(
      static_cast<std::shared_ptr<DesktopBus::Connection>*>(data));
  GError* error = nullptr;
  GDBusConnection* bus = g_dbus_connection_new_for_address_finish(result, &error);
  if (!bus) {
    g_error_free(error);  // no bus is no desktop to tell: nothing to say
    return;
  }
  DesktopBus::Connection& connection = **holder;
  if (connection.closed) {
    g_dbus_connection_close(bus, nullptr, nullptr, nullptr);
    g_object_unref(bus);
    return;
  }
  connection.bus = bus;
}

// The launcher entry's object path: any path serves, the docks match the interface.
std::string EntryPath(const std::string& desktopId) {
  std::string path = "/com/canonical/unity/launcherentry/";
  for (const char c : desktopId) {
    path += g_ascii_isalnum(c) ? c : '_';
  }
  return path;
}

}  // namespace

DesktopBus::DesktopBus(std::string desktopId, std::string appName)
    : m_desktopId(std::move(desktopId)), m_appName(std::move(appName)) {
  // Only the address given: GIO would otherwise try to start a bus of its own.
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!address || !*address) return;
  m_connection = std::make_shared<Connection>();
  g_dbus_connection_new_for_address(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, m_connection->cancellable, Reached,
      // GIO always calls Reached, cancelled or not, and Reached takes the holder back.
      std::make_unique<std::shared_ptr<Connection>>(m_connection).release());
}

DesktopBus::~DesktopBus() {
  if (m_connection) m_connection->Close();
}

void DesktopBus::ShowProgress(double fraction, bool visible) {
  if (!m_connection || !m_connection->bus) return;
  GVariantBuilder properties;
  g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&properties, "{sv}", "progress", g_variant_new_double(fraction));
  g_variant_builder_add(&properties, "{sv}", "progress-visible", g_variant_new_boolean(visible));
  const std::string uri = "application://" + m_desktopId;
  g_dbus_connection_emit_signal(m_connection->bus, nullptr, EntryPath(m_desktopId).c_str(),
                                "com.canonical.Unity.LauncherEntry", "Update",
                                g_variant_new("(sa{sv})", uri.c_str(), &properties), nullptr);
}

void DesktopBus::Notify(const std::string& title, const std::string& body) {
  if (!m_connection || !m_connection->bus) return;
  std::string entry = m_desktopId;
  if (const std::size_t dot = entry.rfind(".desktop"); dot != std::string::npos) entry.resize(dot);
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(entry.c_str()));
  const char* const noActions[] = {nullptr};
  // No callback: the call goes out marked as wanting no reply, and none is waited for.
  g_dbus_connection_call(m_connection->bus, "org.freedesktop.Notifications",
                         "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                         "Notify",
                         g_variant_new("(susss^asa{sv}i)", m_appName.c_str(), 0U, entry.c_str(),
                                       title.c_str(), body.c_str(), noActions, &hints, -1),
                         nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}
