#pragma once

// StatusNotifierItem trays (KDE Plasma, GNOME's AppIndicator extension, Wayland panels),
// which Qt reaches over D-Bus on Linux. Windows has one notification area of its own and
// never has such a tray.
namespace StatusNotifier {

// Whether the session bus has a StatusNotifierItem watcher with a host registered: the
// test by which Qt chooses its D-Bus tray, made the same way (through an interface
// validated by introspection), so that both come to the same answer.
bool hostRegistered();

} // namespace StatusNotifier
