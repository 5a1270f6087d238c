#!/usr/bin/env python3
"""Builds the zipped time-zone tables that the programs carry as a resource.

Entries: "TimeTools_date_time_zonespec.csv" (Boost's zone-rule table as it is) and
"WindowsToIANA.csv" (one line per Windows zone key and region: key, region and zone name,
separated by tabs, taken from CLDR's windowsZones.xml; where CLDR lists several zones for a
region, the first is the region's zone).

usage: make_timezone_archive.py ZONESPEC_CSV WINDOWS_ZONES_XML OUTPUT_ZIP
"""
import sys
import xml.etree.ElementTree as ET
import zipfile


def windows_table(xml_path):
    lines = []
    for zone in ET.parse(xml_path).getroot().iter("mapZone"):
        key, region, names = zone.get("other"), zone.get("territory"), zone.get("type", "").split()
        if key and region and names:
            lines.append(f"{key}\t{region}\t{names[0]}\n")
    return "".join(lines)


def main():
    zonespec, xml_path, out = sys.argv[1:4]
    with open(zonespec, "rb") as f:
        rules = f.read()
    fixed = (2020, 1, 1, 0, 0, 0)  # the same bytes on every build
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo("TimeTools_date_time_zonespec.csv", fixed), rules, zipfile.ZIP_DEFLATED)
        z.writestr(zipfile.ZipInfo("WindowsToIANA.csv", fixed), windows_table(xml_path).encode("ascii"),
                   zipfile.ZIP_DEFLATED)


if __name__ == "__main__":
    main()
