'''A ModemManager stand-in for python3-dbusmock (its --template): the manager
object with its object manager and, below it, modems with the Location
interface. Once a client enables the GPS NMEA source with location signals,
the modem sends the NMEA capture given in the parameters as Location updates,
one fix (the lines up to an RMC) per GPS refresh interval (GpsRefreshRate
seconds, 30 until a client sets another), as the modem's GPS would.

Parameters (JSON):
  modems    list of {"index": N, "capabilities": BITS, "enabled": BITS,
            "refresh": SECONDS}
  capture   path of the NMEA capture the modems send
  deny      true: Setup fails as it does for a user without the right
  second_ms how long one of the modem's seconds lasts, in milliseconds (default
            1000): tests play the modem at a faster pace
  first_ms  delay of the first update after the source is enabled (default
            half a second_ms)
'''

import dbus
from dbusmock.mockobject import objects
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.ModemManager1'
MAIN_OBJ = '/org/freedesktop/ModemManager1'
MAIN_IFACE = 'org.freedesktop.ModemManager1'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MODEM_IFACE = 'org.freedesktop.ModemManager1.Modem'
LOCATION_IFACE = 'org.freedesktop.ModemManager1.Modem.Location'
SOURCE_GPS_NMEA = 4
DEFAULT_REFRESH_S = 30


def read_fixes(path):
    '''The capture's NMEA lines, grouped into one list per fix.'''
    fixes, fix = [], []
    with open(path, 'rb') as capture:
        for raw in capture:
            line = raw.decode('ascii', 'replace').strip()
            if not line.startswith('$'):
                continue
            fix.append(line)
            if line[3:6] == 'RMC':
                fixes.append(fix)
                fix = []
    if fix:
        fixes.append(fix)
    return fixes


def change(modem, properties):
    '''Sets Location properties and signals the change, as ModemManager does.'''
    modem.props[LOCATION_IFACE].update(properties)
    modem.EmitSignal(dbus.PROPERTIES_IFACE, 'PropertiesChanged', 'sa{sv}as',
                     [LOCATION_IFACE, dbus.Dictionary(properties, signature='sv'), dbus.Array([], signature='s')])


def send_next(modem):
    if not modem.feeding or modem.next_fix >= len(modem.fixes):
        return False
    # ModemManager joins the traces of one update with CR LF and ends the
    # text without a line end.
    text = '\r\n'.join(modem.fixes[modem.next_fix])
    modem.next_fix += 1
    GLib.timeout_add(max(1, modem.props[LOCATION_IFACE]['GpsRefreshRate']) * modem.second_ms, send_next, modem)
    location = dbus.Dictionary({dbus.UInt32(SOURCE_GPS_NMEA): dbus.String(text, variant_level=1)},
                               signature='uv')
    change(modem, {'Location': dbus.Dictionary(location, signature='uv', variant_level=1)})
    return False


def set_refresh_rate(modem, rate):
    change(modem, {'GpsRefreshRate': dbus.UInt32(rate, variant_level=1)})


def setup(modem, sources, signals):
    if modem.deny:
        raise dbus.exceptions.DBusException('Unauthorized: not allowed to control location',
                                            name='org.freedesktop.ModemManager1.Error.Core.Unauthorized')
    caps = modem.props[LOCATION_IFACE]['Capabilities']
    if sources & ~caps:
        raise dbus.exceptions.DBusException('Cannot enable unsupported location sources',
                                            name='org.freedesktop.ModemManager1.Error.Core.Unsupported')
    change(modem, {'Enabled': dbus.UInt32(sources, variant_level=1),
                   'SignalsLocation': dbus.Boolean(signals, variant_level=1)})
    feeding = bool(sources & SOURCE_GPS_NMEA) and bool(signals)
    if feeding and not modem.feeding:
        GLib.timeout_add(modem.first_ms, send_next, modem)
    modem.feeding = feeding


def load(mock, parameters):
    mock.AddMethods(MAIN_IFACE, [('ScanDevices', '', '', '')])
    fixes = read_fixes(parameters['capture']) if parameters.get('capture') else []
    for modem_entry in parameters.get('modems', []):
        path = f'{MAIN_OBJ}/Modem/{modem_entry["index"]}'
        mock.AddObject(path, MODEM_IFACE, {
            'Manufacturer': dbus.String('veltrip test', variant_level=1),
            'Model': dbus.String('stand-in', variant_level=1),
            'State': dbus.Int32(8, variant_level=1),
        }, [])
        modem = objects[path]
        modem.AddProperties(LOCATION_IFACE, {
            'Capabilities': dbus.UInt32(modem_entry.get('capabilities', 0), variant_level=1),
            'SupportedAssistanceData': dbus.UInt32(0, variant_level=1),
            'Enabled': dbus.UInt32(modem_entry.get('enabled', 0), variant_level=1),
            'SignalsLocation': dbus.Boolean(False, variant_level=1),
            'Location': dbus.Dictionary({}, signature='uv', variant_level=1),
            'GpsRefreshRate': dbus.UInt32(modem_entry.get('refresh', DEFAULT_REFRESH_S), variant_level=1),
        })
        modem.fixes = fixes
        modem.next_fix = 0
        modem.feeding = False
        modem.deny = bool(parameters.get('deny', False))
        modem.second_ms = int(parameters.get('second_ms', 1000))
        modem.first_ms = int(parameters.get('first_ms', modem.second_ms // 2))
        modem.AddMethod(LOCATION_IFACE, 'Setup', 'ub', '', lambda self, sources, signals: setup(self, sources, signals))
        modem.AddMethod(LOCATION_IFACE, 'SetGpsRefreshRate', 'u', '',
                        lambda self, rate: set_refresh_rate(self, rate))
        modem.AddMethod(LOCATION_IFACE, 'GetLocation', '', 'a{uv}',
                        lambda self: self.props[LOCATION_IFACE]['Location'])
        mock.object_manager_emit_added(path)
    # The name is taken before the template loads: the clients may come.
    mock.log('ready')
