#!/usr/bin/python3
"""Stands in for a desktop application that D-Bus starts (DBusActivatable=true,
as GNOME's newer PDF viewer and Flatpak applications are): the session bus
starts it by its .service file, it takes its name and records each Open call
as fake_browser.py records a start (program "fake-dbus-app", the URIs as argv)
before it answers. Ends when the bus goes, or after a minute.
   fake_dbus_app.py BUS-NAME
"""
import os
import sys

from gi.repository import Gio, GLib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fake_browser import record  # noqa: E402

INTERFACE = Gio.DBusNodeInfo.new_for_xml("""<node>
  <interface name="org.freedesktop.Application">
    <method name="Activate"><arg type="a{sv}" direction="in"/></method>
    <method name="Open">
      <arg type="as" direction="in"/><arg type="a{sv}" direction="in"/>
    </method>
    <method name="ActivateAction">
      <arg type="s" direction="in"/><arg type="av" direction="in"/>
      <arg type="a{sv}" direction="in"/>
    </method>
  </interface>
</node>""").interfaces[0]


def on_call(connection, sender, path, interface, method, parameters, invocation):
    if method == "Open":
        record("fake-dbus-app", parameters.unpack()[0])
    invocation.return_value(None)


def main():
    name = sys.argv[1]
    loop = GLib.MainLoop()

    def on_bus(connection, _name):
        connection.register_object("/" + name.replace(".", "/"), INTERFACE, on_call)

    Gio.bus_own_name(Gio.BusType.SESSION, name, Gio.BusNameOwnerFlags.NONE, on_bus, None,
                     lambda *_: loop.quit())
    GLib.timeout_add_seconds(60, loop.quit)
    loop.run()


main()
