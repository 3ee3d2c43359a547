"""The network adapters of a device scenario, made twice: as the registry keys
Wine's SetupAPI lists (instance key, driver key, and the node status the test
cfgmgr32.dll reports), and as the device rows of a machine image that mirror
every device of the prefix, Wine's own included, in Wine's order."""

import dataclasses

import registry_file
from wine_prefix import NET_CLASS_KEY

NET_CLASS_GUID = "{4d36e972-e325-11ce-bfc1-08002be10318}"
ENUM_KEY = r"HKLM\System\CurrentControlSet\Enum"
# REG_DWORD values named by instance id; read by the test cfgmgr32.dll.
NODE_STATUS_KEY = r"HKLM\Software\CvlWineTest\DevNodeStatus"

DN_DRIVER_LOADED = 0x2
DN_STARTED = 0x8
DN_DISABLEABLE = 0x2000
DN_NT_ENUMERATOR = 0x800000
DN_NT_DRIVER = 0x1000000
DN_NO_SHOW_IN_DM = 0x40000000

# What Windows reports for a PCI adapter whose driver runs, and for one that
# was switched off.
RUNNING = DN_DRIVER_LOADED | DN_STARTED | DN_DISABLEABLE | DN_NT_ENUMERATOR | DN_NT_DRIVER
SWITCHED_OFF = DN_DISABLEABLE | DN_NT_ENUMERATOR | DN_NT_DRIVER


@dataclasses.dataclass
class Device:
    instance_id: str
    hardware_ids: list
    compatible_ids: list = dataclasses.field(default_factory=list)
    driver: str = None  # the driver key's name under the network class key
    driver_values: dict = dataclasses.field(default_factory=dict)  # text or number
    status: int = 0  # node status under the test cfgmgr32.dll; Wine's own says 0

    @property
    def driver_key(self):
        return NET_CLASS_KEY + "\\" + self.driver


def pci_adapter(device_id, subsystem, revision, instance, **fields):
    """A Corvane PCI adapter with the ids a PCI bus reports, most specific
    first."""
    base = r"PCI\VEN_1F3A&DEV_%s" % device_id.upper()
    hardware = [base + "&SUBSYS_%s&REV_%s" % (subsystem, revision), base + "&SUBSYS_" + subsystem,
                base + "&CC_020000", base + "&CC_0200"]
    compatible = [base + "&REV_" + revision, base, r"PCI\VEN_1F3A&CC_020000",
                  r"PCI\VEN_1F3A&CC_0200", r"PCI\VEN_1F3A", r"PCI\CC_020000", r"PCI\CC_0200"]
    return Device(hardware[0] + "\\" + instance, hardware, compatible, **fields)


def prefix_keys(devices):
    """What to load into the prefix for `devices`."""
    keys = []
    statuses = {}
    for device in devices:
        instance = {"HardwareID": device.hardware_ids, "ClassGUID": NET_CLASS_GUID,
                    "Class": "Net"}
        if device.compatible_ids:
            instance["CompatibleIDs"] = device.compatible_ids
        if device.driver:
            instance["Driver"] = NET_CLASS_GUID + "\\" + device.driver
            keys.append((device.driver_key, dict(device.driver_values)))
        keys.append((ENUM_KEY + "\\" + device.instance_id, instance))
        statuses[device.instance_id] = device.status
    keys.append((NODE_STATUS_KEY, statuses))
    return keys


def machine_state(status):
    state = "started" if status & DN_STARTED else "stopped"
    if status & DN_DISABLEABLE:
        state += ",disableable"
    if status & DN_NO_SHOW_IN_DM:
        state += ",hidden"
    return state


def _ids(ids):
    for device_id in ids:
        if not device_id or " " in device_id or "," in device_id:
            raise ValueError("a device row cannot hold the id %r" % device_id)
    return ",".join(ids)


def _row(instance_id, class_field, state, hardware, compatible, device):
    fields = [instance_id, class_field, "state=" + state]
    if hardware:
        fields.append("hardware=" + _ids(hardware))
    if compatible:
        fields.append("compatible=" + _ids(compatible))
    if device and device.driver:
        texts = ['%s="%s"' % (name, value.replace('"', '""'))
                 for name, value in device.driver_values.items() if isinstance(value, str)]
        fields.append(" ".join(["driver=" + device.driver] + texts))
    return " | ".join(fields)


def machine_image(enum_export, devices, node_status_served):
    """(device rows, registry keys) of a machine image holding what the
    prefix's Enum export lists, in its order. `devices` supply driver keys and
    node status; without the test cfgmgr32.dll every node reports 0, and the
    machine's adapters are stopped and not disableable alike. Wine's own
    devices are started devices of their own classes."""
    ours = {device.instance_id.upper(): device for device in devices}
    prefix = registry_file.full_key(ENUM_KEY).lower() + "\\"
    rows = []
    for path, values in enum_export:
        instance_id = path[len(prefix):]
        if not path.lower().startswith(prefix) or instance_id.count("\\") != 2:
            continue
        if "classguid" not in values:
            continue  # SetupAPI does not list it
        device = ours.get(instance_id.upper())
        class_name = values.get("class", (None, None, "Unknown"))[2]
        class_guid = values["classguid"][2]
        if device:
            class_field = "class=Net"
            state = machine_state(device.status if node_status_served else 0)
        else:
            class_field = "class=%s %s" % (class_name, class_guid)
            state = "started"
        hardware = values.get("hardwareid", (None, None, []))[2]
        compatible = values.get("compatibleids", (None, None, []))[2]
        rows.append(_row(instance_id, class_field, state, hardware, compatible, device))
    numbers = [(device.driver_key, {name: value for name, value in device.driver_values.items()
                                    if isinstance(value, int)})
               for device in devices if device.driver]
    return rows, [(key, values) for key, values in numbers if values]
