"""The Windows generations Wine can report, each with the version the
simulated machine is given for it, and the programs that run on each."""

import collections

# `name` is Wine's name for the version (the prefix's HKCU\Software\Wine
# "Version"); `version` is the machine image's version line; `kind` is the
# generation code the program derives from it (1 for NT 6.1 and later, 2
# Vista, 3 XP and Server 2003, 4 Windows 2000, 5 NT 4, 6 Me, 7 98, 8 95).
Generation = collections.namedtuple("Generation", "name version kind")

WIN95 = Generation("win95", "9x 4.0.950", 8)
WIN98 = Generation("win98", "9x 4.10.2222", 7)
WINME = Generation("winme", "9x 4.90.3000", 6)
NT40 = Generation("nt40", "NT 4.0.1381 Service Pack 6a", 5)
WIN2K = Generation("win2k", "NT 5.0.2195 Service Pack 4", 4)
WINXP = Generation("winxp", "NT 5.1.2600 Service Pack 3", 3)
WINXP64 = Generation("winxp64", "NT 5.2.3790 Service Pack 2", 3)
WIN2003 = Generation("win2003", "NT 5.2.3790 Service Pack 2", 3)
VISTA = Generation("vista", "NT 6.0.6002 Service Pack 2", 2)
WIN7 = Generation("win7", "NT 6.1.7601 Service Pack 1", 1)
# Wine reports 10.0 only to a program whose manifest lists Windows 10;
# cvlsetup.exe's lists no system, so it is told 6.2, as Windows tells it.
WIN10 = Generation("win10", "NT 6.2.9200", 1)

# What Wine 8 reports when the prefix names no version: Windows 7 (a
# workstation). A prefix that names "win7" reports a server product type.
DEFAULT = WIN7

# What Wine reports to each program: the 32-bit program is the one for
# 32-bit Windows of every generation, the 64-bit one for 64-bit Windows from
# XP x64 and Server 2003 x64 on.
BY_BITS = {
    32: [WIN95, WIN98, WINME, NT40, WIN2K, WINXP, VISTA, WIN7, WIN10],
    64: [WINXP64, WIN2003, VISTA, WIN7, WIN10],
}

# The compatibility registration runs on NT 6.1 and later only.
REGISTERS_COMPATIBILITY = {1}
# "/vdevq2dp" is kept on the NT 5 and NT 6 generations only.
KEEPS_VDEV_Q2DP = {1, 2, 3, 4}
# The install log is \INST.TXT at the root of the current drive on 98.
ROOT_LOG_KIND = 7
