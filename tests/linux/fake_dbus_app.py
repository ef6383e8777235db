#!/usr/bin/python3
"""Stands in for a PDF application that D-Bus starts (DBusActivatable=true, as
GNOME's newer PDF viewer and Flatpak applications are): takes its name on the
session bus and, for each Open call, runs RECORDER (fake_browser.py under a
name of its own) with the URIs before it answers. Ends with the bus.
   fake_dbus_app.py BUS-NAME RECORDER
"""
import subprocess
import sys

from gi.repository import Gio, GLib

OPEN = Gio.DBusNodeInfo.new_for_xml(
    '<node><interface name="org.freedesktop.Application"><method name="Open">'
    '<arg type="as" direction="in"/><arg type="a{sv}" direction="in"/>'
    '</method></interface></node>').interfaces[0]


def on_call(connection, sender, path, interface, method, parameters, invocation):
    subprocess.run([sys.argv[2], *parameters.unpack()[0]])
    invocation.return_value(None)


loop = GLib.MainLoop()
Gio.bus_own_name(Gio.BusType.SESSION, sys.argv[1], Gio.BusNameOwnerFlags.NONE,
                 lambda bus, name: bus.register_object("/" + name.replace(".", "/"), OPEN,
                                                       on_call),
                 None, lambda *_: loop.quit())
GLib.timeout_add_seconds(60, loop.quit)
loop.run()
