#pragma once
// The desktop around the window, over the D-Bus session bus: the bar on the program's launcher
// entry (the com.canonical.Unity.LauncherEntry signal "Update", which GNOME's and KDE's docks
// read) and notifications (org.freedesktop.Notifications). Nothing here waits: the bus is
// reached in the background, signals and calls are only sent, never answered. Without a session
// bus (no DBUS_SESSION_BUS_ADDRESS), or before it is reached, every call does nothing, silently.
// Use it on one thread, whose main loop runs (the window's).

#include <memory>
#include <string>

class DesktopBus {
 public:
  /// desktopId: the name of the program's installed menu entry ("tga2avi.desktop"), which
  /// names its launcher entry; appName: the program's name in notifications.
  DesktopBus(std::string desktopId, std::string appName);
  ~DesktopBus();
  DesktopBus(const DesktopBus&) = delete;
  DesktopBus& operator=(const DesktopBus&) = delete;

  /// The launcher entry's bar at fraction (0 to 1); visible false takes it away.
  void ShowProgress(double fraction, bool visible);
  /// A notification with a title and a body (plain text).
  void Notify(const std::string& title, const std::string& body);

  struct Connection;  // shared with a connection under way, which may outlive this

 private:
  std::string m_desktopId;
  std::string m_appName;
  std::shared_ptr<Connection> m_connection;
};
